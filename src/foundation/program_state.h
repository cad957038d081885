// Program-wide variables that are not part of the settings object.
//
// The lists of the corpus items (the corpus list, its streams, readers, index
// lists and workspace flags), the stop list, the corpus frequency list and the
// tracked tags live with their own modules.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

// "Version 2.2 (Build 242)": shown by the About box, sent by the download client.
extern std::string VersionText;
// Words in the whole corpus.
extern int64_t TotalWordCount;
// Words after which a sentence delimiter does not end a sentence, lower case.
extern std::vector<std::string> SentDelimitersExcepts;
// Folders, each ending with '/': the executable's, the settings fallback
// folder and the system temp folder.
extern std::string ProgramFolder;
extern std::string WindowsFolder;
extern std::string TempFolder;
// Last folders of the file dialogs.
extern std::string CorpusPath, WorkspacePath, ConcordancePath, FreqPath, CorpusFreqPath, StopListPath,
    SentDelimitersPath;
// The open workspace's companion folder and what it keeps.
extern std::string WorkspaceFolder;
extern bool KeepLinePages, KeepWatchedTags, KeepURLs, KeepFreq;
extern bool SaveOnExit;
// The frame's title text.
extern std::string ProgramTitle;
// Downloads begun and not finished.
extern int32_t PendingURLCount;
// Set by Stop Loading URLs, cleared when a new load begins; the download
// workers read it on their own threads.
extern std::atomic<bool> StopLoadingURLs;

// Sets every variable above to its value at start; the folders come from the
// platform layer (so TMPDIR and XDG_CONFIG_HOME must be set before, in tests).
void InitSharedState();
