#include "workbench/startup.h"

#include "workbench/frame_form.h"

#include <QApplication>

int RunQuillmar(int argc, char** argv)
{
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quillmar Pro"));
  TFrameForm frame;
  frame.show();
  return QApplication::exec();
}
