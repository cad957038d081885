#include "foundation/program_state.h"

#include "platform/paths.h"

std::string VersionText = "Version 2.2 (Build 242)";
int64_t TotalWordCount = 0;
std::vector<std::string> SentDelimitersExcepts;
std::string ProgramFolder;
std::string WindowsFolder;
std::string TempFolder;
std::string CorpusPath, WorkspacePath, ConcordancePath, FreqPath, CorpusFreqPath, StopListPath,
    SentDelimitersPath;
std::string WorkspaceFolder;
bool KeepLinePages = false, KeepWatchedTags = false, KeepURLs = false, KeepFreq = false;
bool SaveOnExit = false;
std::string ProgramTitle;
int32_t PendingURLCount = 0;
std::atomic<bool> StopLoadingURLs{false};

void InitSharedState()
{
  VersionText = "Version 2.2 (Build 242)";
  TotalWordCount = 0;
  SentDelimitersExcepts.clear();
  ProgramFolder = platform::programFolder();
  WindowsFolder = platform::windowsFolder();
  TempFolder = platform::tempFolder();
  CorpusPath.clear();
  WorkspacePath.clear();
  ConcordancePath.clear();
  FreqPath.clear();
  CorpusFreqPath.clear();
  StopListPath.clear();
  SentDelimitersPath.clear();
  WorkspaceFolder.clear();
  KeepLinePages = KeepWatchedTags = KeepURLs = KeepFreq = false;
  SaveOnExit = false;
  ProgramTitle.clear();
  PendingURLCount = 0;
  StopLoadingURLs = false;
}
