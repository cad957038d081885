// Program start-up, shared by main() and the tests.
#pragma once

#include <QPointer>

#include <memory>
#include <string>
#include <vector>

class TFrameForm;
class TViewStopListDlg;

inline constexpr const char* StartupErrorCaption = "Quillmar Pro - Error";
inline constexpr const char* StartupErrorText = "Not enough memory to load the program.";

// The application's help file.
extern std::string ApplicationHelpFile;

// The dialogs that live for the whole run, once start-up has created them.
extern QPointer<TViewStopListDlg> ViewStopListDlg;

// Everything start-up creates: the frame (the main window) and, as its
// children, the dialogs that live for the whole run.
struct TProgramForms {
  std::unique_ptr<TFrameForm> Frame;
};

// Start-up on an existing application object: the units' initialisation,
// the title and help file, then the frame and the long-lived dialogs in
// their order; the frame is shown and gets the arguments (corpus files and
// URLs, or one workspace). When any of this fails, the stop box reports
// "Not enough memory to load the program." and the result is empty.
TProgramForms StartQuillmar(std::vector<std::string> arguments);

// Creates the application, runs StartQuillmar with the program's arguments
// and then the event loop until the frame closes. Returns the exit code.
int RunQuillmar(int argc, char** argv);
