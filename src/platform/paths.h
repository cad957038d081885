// The program's folders. Every folder text ends with '/'.
#pragma once

#include <string>

namespace platform {

std::string programFolder();                   // folder of the executable
void setProgramFolder(const std::string& dir); // tests; empty restores the default
std::string windowsFolder();                   // $XDG_CONFIG_HOME/quillmar/, created 0700 when needed
std::string tempFolder();                      // $TMPDIR, else /tmp/

}  // namespace platform
