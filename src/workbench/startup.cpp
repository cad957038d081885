#include "workbench/startup.h"

#include "foundation/settings.h"
#include "workbench/app_exceptions.h"
#include "workbench/frame_form.h"

#include <QFont>

std::string ApplicationHelpFile;

namespace {

// The units' initialisation: the settings object, the fonts and the busy
// flags, and the frame unit's own values.
void InitUnits()
{
  // The stock system font is the toolkit's default font; the program state
  // is created from it before any window exists.
  const QFont font = QApplication::font();
  const int size = font.pointSize() > 0 ? font.pointSize() : 9;
  SetStockSystemFont(TFontRec{font.family().toStdString(), size, 0, clWindowText, 1});
  InitProgramState();
  FirstActivation = true;
  EscapePressed = false;
}

}  // namespace

TProgramForms StartQuillmar(std::vector<std::string> arguments)
{
  InitUnits();
  TProgramForms forms;
  try {
    QApplication::setApplicationName(QStringLiteral("Quillmar Pro"));
    ApplicationHelpFile = "QX2.2.HLP";
    forms.Frame = std::make_unique<TFrameForm>();
    forms.Frame->SetCommandLine(std::move(arguments));
    // The long-lived dialogs follow here, in their order, as children of
    // the frame.
  } catch (...) {
    forms = TProgramForms{};
    ShowStopBox(StartupErrorCaption, StartupErrorText);
    return forms;
  }
  forms.Frame->show();
  return forms;
}

int RunQuillmar(int argc, char** argv)
{
  TQuillmarApplication app(argc, argv);
  // The arguments as the shell passed them, after the toolkit took its own.
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i)
    arguments.emplace_back(argv[i]);
  TProgramForms forms = StartQuillmar(std::move(arguments));
  if (!forms.Frame)
    return 1;
  QApplication::setQuitOnLastWindowClosed(false);
  QObject::connect(forms.Frame.get(), &TFrameForm::Closed, &app, &QCoreApplication::quit);
  return QApplication::exec();
}
