#include "workbench/startup.h"

#include "foundation/settings.h"
#include "workbench/frame_form.h"

#include <QApplication>
#include <QFont>

int RunQuillmar(int argc, char** argv)
{
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quillmar Pro"));
  // The stock system font is the toolkit's default font; the program state
  // is created from it before any window exists.
  const QFont font = QApplication::font();
  const int size = font.pointSize() > 0 ? font.pointSize() : 9;
  SetStockSystemFont(TFontRec{font.family().toStdString(), size, 0, clWindowText, 1});
  InitProgramState();
  TFrameForm frame;
  frame.show();
  return QApplication::exec();
}
