#include "workbench/frame_form.h"

TFrameForm::TFrameForm(QWidget* parent) : QMainWindow(parent)
{
  setWindowTitle(QStringLiteral("Quillmar Pro"));
  resize(800, 600);
}
