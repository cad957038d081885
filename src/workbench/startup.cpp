#include "workbench/startup.h"

#include "foundation/program_state.h"
#include "foundation/settings.h"
#include "workbench/frame_form.h"
#include "workbench/qt_dialogs.h"
#include "workbench/qt_ui_bridge.h"

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
  InitSharedState();
  // The seams between the core and the toolkit: calls from worker threads,
  // message pumping, messages, input and progress.
  QtUiBridge bridge;
  bridge.install();
  QtDialogService dialogs;
  dialogs.install();
  TFrameForm frame;
  frame.show();
  return QApplication::exec();
}
