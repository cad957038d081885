// Program start-up, shared by main() and the tests.
#pragma once

// Creates the application, the frame and the long-lived dialogs, then runs the
// event loop. Returns the process exit code.
int RunQuillmar(int argc, char** argv);
