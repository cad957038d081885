// The workspace file association: a desktop entry that opens Quillmar Pro
// with a file, a shared-mime-info type for "*.qws" (the glob matches any
// case) and the program's icon, under a data folder ($XDG_DATA_HOME, default
// ~/.local/share). The texts are those shipped in data/, which CMake also
// installs.
#pragma once

#include <functional>
#include <string>
#include <vector>

inline constexpr const char* WorkspaceMimeType = "application/x-quillmar-workspace";
inline constexpr const char* WorkspaceMimeFile = "mime/packages/quillmar-workspace.xml";
inline constexpr const char* WorkspaceDesktopFile = "applications/quillmar-pro.desktop";
inline constexpr const char* WorkspaceIconFile = "icons/hicolor/scalable/apps/quillmar-pro.svg";

// $XDG_DATA_HOME when it is set and absolute, else $HOME/.local/share;
// ends with '/'. Empty when neither can be found.
std::string DataHomeFolder();

// The texts of the three files; the desktop entry's Exec starts programPath.
std::string WorkspaceMimeText();
std::string WorkspaceIconText();
std::string WorkspaceDesktopText(const std::string& programPath);
// The program a desktop entry's Exec key starts (escapes and quotes undone).
std::string ExecProgramOf(const std::string& desktopEntry);

// Runs one tool in the background, without waiting: program and arguments.
using TToolRunner = std::function<void(const std::string& program, const std::vector<std::string>& args)>;

// Replaces the default runner, which starts the tools detached when they
// are found on the PATH (an empty runner restores it); returns the old one.
TToolRunner SetAssociationToolRunner(TToolRunner runner);

// Writes the files under dataFolder that are missing (creating folders as
// needed), and the desktop entry also when the program its Exec names no
// longer exists, so a second build never takes over a working entry. Then
// lets the tools refresh their caches: update-mime-database for the mime
// folder, update-desktop-database for the applications folder and
// gtk-update-icon-cache for the icons, each only when installed. Nothing runs
// when nothing was written. Every failure is silent. Returns the number of
// files written. An empty runner means the default.
int WriteWorkspaceAssociation(const std::string& dataFolder, const std::string& programPath,
                              const TToolRunner& runner = {});
