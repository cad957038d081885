// The workspace file association: a desktop entry that opens Quillmar Pro
// with a file, and a shared-mime-info type for "*.qws" (the glob matches any
// case), both under a data folder ($XDG_DATA_HOME, default ~/.local/share).
#pragma once

#include <functional>
#include <string>
#include <vector>

inline constexpr const char* WorkspaceMimeType = "application/x-quillmar-workspace";
inline constexpr const char* WorkspaceMimeFile = "mime/packages/quillmar-workspace.xml";
inline constexpr const char* WorkspaceDesktopFile = "applications/quillmar-pro.desktop";

// $XDG_DATA_HOME when it is set and absolute, else $HOME/.local/share;
// ends with '/'. Empty when neither can be found.
std::string DataHomeFolder();

// The text of the two files for a program path.
std::string WorkspaceMimeText();
std::string WorkspaceDesktopText(const std::string& programPath);

// Runs one tool in the background, without waiting: program and arguments.
using TToolRunner = std::function<void(const std::string& program, const std::vector<std::string>& args)>;

// Replaces the default runner, which starts the tools detached when they
// are found on the PATH (an empty runner restores it); returns the old one.
TToolRunner SetAssociationToolRunner(TToolRunner runner);

// Writes each of the two files under dataFolder whose content differs from
// what is there (creating folders as needed), then lets the tools refresh
// their caches: update-mime-database for the mime folder, and
// update-desktop-database for the applications folder when that tool is
// installed. Nothing runs when nothing was written. Every failure is silent.
// Returns the number of files written. An empty runner means the default.
int WriteWorkspaceAssociation(const std::string& dataFolder, const std::string& programPath,
                              const TToolRunner& runner = {});
