// Workspaces: a workspace file (*.QWS) holds every setting, the corpus list
// with one flag string per item, the Keep options and the search dialog's
// batch pattern lists; its companion folder (the file's name without its
// extension) keeps what is costly to redo: line, page and tracked-tag
// indexes, finished downloads and the corpus frequency list.
//
// While a workspace is open the program reads private copies in the temp
// folder; the workspace folder changes only when the workspace is saved.
// A save composes the whole file in memory, copies what is new into the
// folder under names that never replace an existing file, commits the file
// in one atomic replace and only then deletes what the old file named and
// the new one does not.
#pragma once

#include "foundation/corpus_list.h"
#include "platform/ini_file.h"

#include <functional>
#include <string>
#include <vector>

inline constexpr const char* CorpusFilesSection = "Corpus files";
inline constexpr const char* BatchPatternsSection = "Batch patterns";
inline constexpr const char* FreqFileName = "FREQ.tmp";
inline constexpr const char* WorkspaceCaptionPrefix = "Quillmar Pro - ";
inline constexpr const char* WorkspaceFilter = "Quillmar Pro Workspaces (*.QWS)|*.QWS|All Files (*.*)|*.*";
inline constexpr const char* OpenWorkspaceTitle = "Select Workspace to Open";
inline constexpr const char* SaveWorkspaceAsTitle = "Save Workspace As";
inline constexpr const char* UnfinishedURLsSaveText =
    "There are unfinished URL(s) and will not be saved. Continue anyway?";
inline constexpr const char* LoadedWorkspaceText =
    "This is the currently loaded workspace and you can not overwrite it. Please use \"Save Workspace...\" "
    "command or choose a new name.";

// One flag string per corpus item, as the last BuildFileFlags made them.
extern std::vector<std::string> FileFlags;

// The three batch pattern lists of the search dialog.
struct TBatchPatternLists {
  std::vector<std::string>* Patterns = nullptr;
  std::vector<std::string>* GrepPatterns = nullptr;
  std::vector<std::string>* TagsPatterns = nullptr;
};

// What the workspace operations ask of the frame: its corpus operations, the
// open workspace's name, the caption, the search dialog's lists and the
// dialogs of the three commands. Tests implement it.
class TWorkspaceFrame {
public:
  virtual ~TWorkspaceFrame() = default;
  virtual TCorpusFrame& Corpus() = 0;
  // The frame's WorkspaceName: empty while none is open.
  virtual std::string& WorkspaceName() = 0;
  virtual void SetCaption(const std::string& caption) = 0;
  // The lists; all null while there is no search dialog.
  virtual TBatchPatternLists BatchPatterns() { return {}; }
  // The save dialog of Save As and the open dialog of Load; false on Cancel.
  virtual bool ChooseWorkspaceToSave(std::string& fileName) = 0;
  virtual bool ChooseWorkspaceToOpen(std::string& fileName) = 0;
};

// The workspace options dialog: the Keep options, from their current values
// or (useDefaults) from the dialog's defaults; false on Cancel. Replaceable.
using TWorkspaceOptionsEditor = std::function<bool(bool useDefaults)>;
// Installs an editor (an empty one restores ApplyWorkspaceOptions); returns the old one.
TWorkspaceOptionsEditor SetWorkspaceOptionsEditor(TWorkspaceOptionsEditor editor);
bool EditWorkspaceOptions(bool useDefaults);
// What the dialog opens with, applied without showing it: with useDefaults
// line and page and tags on, the frequency list exactly when one exists,
// URLs off; otherwise the current options with the frequency list off when
// there is none. Returns true.
bool ApplyWorkspaceOptions(bool useDefaults);

// WorkspaceFolder + id + ".tmp".
std::string WorkspaceFileName(const std::string& id);
bool IsWorkspaceOpen(const TWorkspaceFrame& frame);
// The folder of a workspace file: its name without its last extension and "/".
std::string WorkspaceFolderOf(const std::string& fileName);
// "Quillmar Pro - " and the file's base name, lower case with its first byte
// upper case (a one-letter name stays lower case).
std::string WorkspaceCaption(const std::string& fileName);

// WorkspaceFolder := the folder of the frame's WorkspaceName ("" for none);
// with create and some Keep option set, a missing folder is created (one
// level). False after a shown failure to create it.
bool SetWorkspaceFolder(TWorkspaceFrame& frame, bool create);

// The files in folder that flags name: U bodies, L, P and T indexes with
// their header files.
std::vector<std::string> CollectFlagFiles(const std::vector<std::string>& flags, const std::string& folder);

// Rebuilds FileFlags from the Keep options. Opening: every item's kept file
// (read from the workspace folder) is copied to the temp folder and read
// from there; a failed copy is shown and the item keeps reading the folder.
// Used by SaveWorkspace to fill the folder.
void BuildFileFlags(TWorkspaceFrame& frame, bool opening, bool copying);

// The [Corpus files], Keep and [Batch patterns] parts of a workspace file.
void WriteWorkspaceSections(TWorkspaceFrame& frame, platform::IniFile& ini, const std::vector<std::string>& flags);
void ReadWorkspaceSections(TWorkspaceFrame& frame, const platform::IniFile& ini);
void ReadWorkspaceOptions(const platform::IniFile& ini);
void WriteWorkspaceOptions(platform::IniFile& ini);

// Saves the settings, the corpus and the kept files as fileName; copying
// when another workspace is open. False after a shown failure, with the old
// workspace file, its kept files and the open state unchanged.
bool SaveWorkspace(TWorkspaceFrame& frame, const std::string& fileName, bool copying);
// Opens a workspace file: false after a shown failure (missing, unreadable
// or damaged file, unreadable settings) with nothing changed.
bool OpenWorkspace(TWorkspaceFrame& frame, const std::string& fileName);

// The three commands of the File menu.
void SaveWorkspaceCommand(TWorkspaceFrame& frame);
void SaveWorkspaceAs(TWorkspaceFrame& frame);
void LoadWorkspaceCommand(TWorkspaceFrame& frame);

// Forgets the flags the open workspace's file holds (for tests and for a
// new run).
void ResetWorkspaceState();
