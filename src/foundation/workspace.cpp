#include "foundation/workspace.h"

#include "foundation/abort.h"
#include "foundation/chartables.h"
#include "foundation/config_file.h"
#include "foundation/dialogs.h"
#include "foundation/frequency_list.h"
#include "foundation/program_state.h"
#include "foundation/settings.h"
#include "foundation/utils.h"
#include "foundation/run_files.h"
#include "platform/file_ops.h"
#include "platform/read_file.h"
#include "platform/safe_write.h"
#include "platform/temp_file.h"
#include "platform/ui_bridge.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <set>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

std::vector<std::string> FileFlags;

namespace {

// The flags the open workspace's file holds: read at opening, or written by
// the last save. A save deletes only files these name.
std::vector<std::string> committedFlags;

TWorkspaceOptionsEditor optionsEditor;

std::string baseName(const std::string& path)
{
  const size_t slash = path.find_last_of('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (const size_t dot = name.find_last_of('.'); dot != std::string::npos)
    name.erase(dot);
  return name;
}

std::string folderOf(const std::string& path)
{
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

bool fileExists(const std::string& path)
{
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

// Reserves folder + id + ".tmp" (and, for an index, a free header name) by
// creating it empty; when that name is taken, a new temporary name with the
// same prefix. `renamed` tells which. A name it does not use it removes.
std::string reserveName(const std::string& folder, const std::string& id, bool index, bool& renamed)
{
  renamed = false;
  std::string path = folder + id + ".tmp";
  if (!index || !fileExists(IndexHeaderFileName(path))) {
    const int fd = platform::fileops::openForWrite(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      platform::fileops::close(fd);
      return path;
    }
    if (errno != EEXIST)
      throw std::runtime_error(platform::writeErrorText(path, errno));
  }
  renamed = true;
  for (int tries = 0; tries < 16; ++tries) {
    path = platform::makeTempFile(folder, id.substr(0, 3), 0666);
    if (!index || !fileExists(IndexHeaderFileName(path)))
      return path;
    platform::fileops::unlink(path);
  }
  throw std::runtime_error(UnableToOpenText(folder + id + ".tmp"));
}

// What one BuildFileFlags pass did, so that a save can finish or undo it.
struct TFlagPass {
  bool opening = false;
  bool copying = false;
  std::string folder;                  // the workspace folder of this pass
  std::vector<bool*> savedMarks;       // set once the save is committed
  std::vector<std::string> created;    // files copied into the folder
};

void appendFlag(std::string& flags, char letter, const std::string& value)
{
  flags += letter;
  flags += '.';
  flags += value;
  flags += ' ';
}

// Copies an item's URL body; true when its flag (and so its index flags)
// may be written. A copy failure throws while saving and is shown while
// opening.
bool processURLForWorkspace(TFlagPass& pass, TCorpusItem& item, bool keep, char letter, std::string& flags)
{
  if (!IsURL(item.Name))
    return true;
  auto* stream = dynamic_cast<TFileSynchroStream*>(item.Source.get());
  if (!stream)
    return false;
  auto* download = dynamic_cast<TDownloadStream*>(stream);
  // A running or finished download already reads the program's own file.
  const bool toTemp = pass.opening && !stream->TempCopy && !download;
  bool toFolder = !pass.opening && (pass.copying || !stream->Saved);
  if (download && !download->Complete())
    toFolder = false;
  std::string id = baseName(stream->FileName);
  bool flagged = keep && (toFolder || stream->Saved);
  if ((keep || pass.opening) && (toTemp || toFolder)) {
    bool renamed = false;
    const std::string target = reserveName(pass.opening ? TempFolder : pass.folder, id, false, renamed);
    try {
      stream->CopyToFile(target);
    } catch (...) {
      platform::fileops::unlink(target);
      if (!pass.opening)
        throw;
      ShowError(std::string("Unable to write file: ") + target + ".");
      return flagged;
    }
    if (pass.opening) {
      stream->SwitchToFile(target);
      stream->TempCopy = true;
      if (renamed)
        stream->Saved = false;
    } else {
      pass.created.push_back(target);
      id = baseName(target);
      // A copy under a new name is copied again by the next save, which
      // then keeps it under its own name.
      if (!renamed)
        pass.savedMarks.push_back(&stream->Saved);
    }
  }
  if (flagged)
    appendFlag(flags, letter, id);
  return flagged;
}

void processIndexForWorkspace(TFlagPass& pass, TIndexEntry& entry, bool keep, char letter, std::string& flags)
{
  TIndexedStream* index = entry.Index.get();
  if (!index)
    return;
  const bool toTemp = pass.opening && !index->TempCopy;
  const bool toFolder = !pass.opening && (pass.copying || !index->Saved);
  if (!keep && !pass.opening)
    return;
  std::string id = baseName(index->FileName());
  if (toTemp || toFolder) {
    bool renamed = false;
    const std::string target = reserveName(pass.opening ? TempFolder : pass.folder, id, true, renamed);
    try {
      index->SaveIndex(target);
    } catch (const std::exception& e) {
      platform::fileops::unlink(target);
      if (!pass.opening)
        throw;
      ShowError(e.what());
      if (keep)
        appendFlag(flags, letter, id);
      return;
    }
    if (pass.opening) {
      try {
        auto copy = TIndexedStream::Open(target);
        copy->TempCopy = true;
        if (renamed)
          copy->Saved = false;
        entry.Index = std::move(copy);
        entry.FileName = target;
      } catch (const std::exception& e) {
        platform::fileops::unlink(IndexHeaderFileName(target));
        platform::fileops::unlink(target);
        ShowError(e.what());
      }
    } else {
      pass.created.push_back(target);
      pass.created.push_back(IndexHeaderFileName(target));
      id = baseName(target);
      if (!renamed)
        pass.savedMarks.push_back(&index->Saved);
    }
  }
  if (keep)
    appendFlag(flags, letter, id);
}

std::vector<std::string> buildFlags(TFlagPass& pass)
{
  std::vector<std::string> result;
  for (int32_t i = 0; i < CorpusList.Count(); ++i) {
    TCorpusItem& item = CorpusList[i];
    std::string flags;
    const bool body = processURLForWorkspace(pass, item, KeepURLs, 'U', flags);
    // Without its body an item keeps no index flags; its kept indexes are
    // still copied to the temp folder at opening.
    processIndexForWorkspace(pass, item.LineIndex, KeepLinePages && body, 'L', flags);
    processIndexForWorkspace(pass, item.PageIndex, KeepLinePages && body, 'P', flags);
    processIndexForWorkspace(pass, item.TagIndex, KeepWatchedTags && body, 'T', flags);
    if (body && item.WordCount != 0)
      appendFlag(flags, 'W', std::to_string(item.WordCount));
    result.push_back(std::move(flags));
  }
  return result;
}

void undoPass(const TFlagPass& pass)
{
  for (const std::string& file : pass.created)
    platform::fileops::unlink(file);
}

bool sameFileName(const std::string& a, const std::string& b)
{
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

// The list "prefix" of a section read by position: value i for i below
// prefix + "Count", empty values kept in their place.
std::vector<std::string> readListByPosition(const platform::IniFile& ini, const std::string& prefix, int count)
{
  std::vector<std::string> list;
  const int n = std::clamp(count, 0, MaxIniListItems);
  for (int i = 0; i < n; ++i)
    list.push_back(ini.readString(CorpusFilesSection, IniListKey(prefix, count, i), ""));
  return list;
}

std::string absoluteName(const std::string& name)
{
  std::error_code ec;
  const std::filesystem::path p = std::filesystem::absolute(name, ec);
  return ec ? name : p.lexically_normal().string();
}

// FileCount must lie between 0 and the number of "File" keys present, and
// each of its positions must have its key at the width the count gives it
// (a damaged count would otherwise change the keys' width and hide them; a
// hand-written list of another width would lose its entries silently).
bool fileCountFits(const platform::IniFile& ini)
{
  const int count = ini.readInteger(CorpusFilesSection, "FileCount", 0);
  if (count < 0)
    return false;
  auto lower = [](std::string key) {
    std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return key;
  };
  std::set<std::string> keys;
  for (const std::string& key : ini.readSection(CorpusFilesSection))
    keys.insert(lower(key));
  if (size_t(count) > keys.size())
    return false;
  for (int i = 0; i < std::min(count, MaxIniListItems); ++i)
    if (!keys.count(lower(IniListKey("File", count, i))))
      return false;
  return true;
}

// A workspace file must be a readable regular file in INI form; one without
// the corpus section opens with its settings and an empty corpus. A NUL byte
// (no settings file) or a FileCount its keys do not bear is refused before
// anything changes.
bool checkWorkspaceFile(const std::string& fileName)
{
  std::string data;
  if (platform::readRegularFile(fileName, data) != 0) {
    ShowError(UnableToOpenText(fileName));
    return false;
  }
  const platform::IniFile ini(fileName);
  if (data.find('\0') != std::string::npos || !fileCountFits(ini)) {
    ShowError("Invalid workspace file: " + fileName);
    return false;
  }
  return true;
}

}  // namespace

// --- options ----------------------------------------------------------------

TWorkspaceOptionsEditor SetWorkspaceOptionsEditor(TWorkspaceOptionsEditor editor)
{
  std::swap(editor, optionsEditor);
  return editor;
}

bool EditWorkspaceOptions(bool useDefaults)
{
  return optionsEditor ? optionsEditor(useDefaults) : ApplyWorkspaceOptions(useDefaults);
}

bool ApplyWorkspaceOptions(bool useDefaults)
{
  const bool haveList = CorpusFreqList != nullptr;
  if (useDefaults) {
    KeepLinePages = KeepWatchedTags = true;
    KeepFreq = haveList;
    KeepURLs = false;
  } else if (!haveList) {
    KeepFreq = false;
  }
  return true;
}

// --- names ------------------------------------------------------------------

std::string WorkspaceFileName(const std::string& id)
{
  return WorkspaceFolder + id + ".tmp";
}

bool IsWorkspaceOpen(const TWorkspaceFrame& frame)
{
  return !const_cast<TWorkspaceFrame&>(frame).WorkspaceName().empty();
}

std::string WorkspaceFolderOf(const std::string& fileName)
{
  if (fileName.empty())
    return std::string();
  const std::string folder = folderOf(fileName);
  return folder + baseName(fileName) + "/";
}

std::string WorkspaceCaption(const std::string& fileName)
{
  std::string name = LowerCaseText(baseName(fileName));
  if (name.size() > 1)
    name[0] = LocaleUpperChar(name[0]);
  return WorkspaceCaptionPrefix + name;
}

bool SetWorkspaceFolder(TWorkspaceFrame& frame, bool create)
{
  WorkspaceFolder = WorkspaceFolderOf(frame.WorkspaceName());
  if (!create || WorkspaceFolder.empty() || !(KeepLinePages || KeepWatchedTags || KeepURLs || KeepFreq))
    return true;
  const std::string dir = WorkspaceFolder.substr(0, WorkspaceFolder.size() - 1);
  if (platform::fileops::mkdir(dir, 0777) != 0 && errno != EEXIST) {
    ShowError(platform::writeErrorText(dir, errno));
    return false;
  }
  return true;
}

std::vector<std::string> CollectFlagFiles(const std::vector<std::string>& flags, const std::string& folder)
{
  std::vector<std::string> files;
  for (const std::string& f : flags) {
    if (const std::string id = GetFlagValue('U', f); !id.empty())
      files.push_back(folder + id + ".tmp");
    for (char letter : {'L', 'P', 'T'})
      if (const std::string id = GetFlagValue(letter, f); !id.empty()) {
        files.push_back(folder + id + ".tmp");
        files.push_back(IndexHeaderFileName(folder + id + ".tmp"));
      }
  }
  return files;
}

void BuildFileFlags(TWorkspaceFrame&, bool opening, bool copying)
{
  TFlagPass pass;
  pass.opening = opening;
  pass.copying = copying;
  pass.folder = WorkspaceFolder;
  FileFlags = buildFlags(pass);
  for (bool* mark : pass.savedMarks)
    *mark = true;
}

// --- sections ---------------------------------------------------------------

void WriteWorkspaceOptions(platform::IniFile& ini)
{
  ini.writeBool(GeneralSection, "KeepLinePages", KeepLinePages);
  ini.writeBool(GeneralSection, "KeepWatchedTags", KeepWatchedTags);
  ini.writeBool(GeneralSection, "KeepFreq", KeepFreq);
  ini.writeBool(GeneralSection, "KeepURLs", KeepURLs);
}

void ReadWorkspaceOptions(const platform::IniFile& ini)
{
  KeepLinePages = ini.readBool(GeneralSection, "KeepLinePages", false);
  KeepWatchedTags = ini.readBool(GeneralSection, "KeepWatchedTags", false);
  KeepFreq = ini.readBool(GeneralSection, "KeepFreq", false);
  KeepURLs = ini.readBool(GeneralSection, "KeepURLs", false);
}

void WriteWorkspaceSections(TWorkspaceFrame& frame, platform::IniFile& ini, const std::vector<std::string>& flags)
{
  WriteIniList(ini, CorpusFilesSection, "File", CorpusList.Names());
  WriteIniList(ini, CorpusFilesSection, "File flags", flags);
  WriteWorkspaceOptions(ini);
  const TBatchPatternLists lists = frame.BatchPatterns();
  const std::vector<std::string> none;
  WriteIniList(ini, BatchPatternsSection, "Patterns", lists.Patterns ? *lists.Patterns : none);
  WriteIniList(ini, BatchPatternsSection, "GrepPatterns", lists.GrepPatterns ? *lists.GrepPatterns : none);
  WriteIniList(ini, BatchPatternsSection, "TagsPatterns", lists.TagsPatterns ? *lists.TagsPatterns : none);
}

void ReadWorkspaceSections(TWorkspaceFrame& frame, const platform::IniFile& ini)
{
  try {
    const int count = ini.readInteger(CorpusFilesSection, "FileCount", 0);
    const int flagCount = ini.readInteger(CorpusFilesSection, "File flagsCount", count);
    std::vector<std::string> names = readListByPosition(ini, "File", count);
    std::vector<std::string> flags = readListByPosition(ini, "File flags", flagCount);
    flags.resize(names.size());
    // An empty name drops its position together with its flags.
    std::vector<std::string> files, fileFlags;
    for (size_t i = 0; i < names.size(); ++i)
      if (!names[i].empty()) {
        files.push_back(names[i]);
        fileFlags.push_back(flags[i]);
      }
    committedFlags = fileFlags;
    FileFlags = fileFlags;
    ReadWorkspaceOptions(ini);
    if (!files.empty()) {
      LoadCorpusItems(frame.Corpus(), files, &fileFlags);
      const std::string freqFile = WorkspaceFolder + FreqFileName;
      if (!WorkspaceFolder.empty() && fileExists(freqFile)) {
        try {
          auto list = std::make_unique<THashStrings>(4096, LanguageId);
          list->LoadFromFile(freqFile);
          CorpusFreqList = std::move(list);
        } catch (const std::exception& e) {
          CorpusFreqList.reset();
          ShowError(e.what());
        }
      } else if (!CorpusFreqList && FrequencySettings.ScanTextsOnLoad) {
        CorpusFreqList = CountCorpusWords();
      }
    }
  } catch (const std::exception& e) {
    CorpusFreqList.reset();
    if (!dynamic_cast<const EAbort*>(&e))
      ShowError(e.what());
  }
  const TBatchPatternLists lists = frame.BatchPatterns();
  if (lists.Patterns)
    ReadIniList(ini, BatchPatternsSection, "Patterns", *lists.Patterns);
  if (lists.GrepPatterns)
    ReadIniList(ini, BatchPatternsSection, "GrepPatterns", *lists.GrepPatterns);
  if (lists.TagsPatterns)
    ReadIniList(ini, BatchPatternsSection, "TagsPatterns", *lists.TagsPatterns);
}

// --- save and open ----------------------------------------------------------

bool SaveWorkspace(TWorkspaceFrame& frame, const std::string& fileName, bool copying)
{
  ScopedHourglass hourglass;
  const std::string oldFolder = WorkspaceFolder;
  const std::vector<std::string> old = copying ? std::vector<std::string>() : CollectFlagFiles(committedFlags, oldFolder);
  const std::string folder = WorkspaceFolderOf(fileName);
  const bool keepSome = KeepLinePages || KeepWatchedTags || KeepURLs || KeepFreq;
  const std::string dir = folder.substr(0, folder.size() - 1);
  const std::string freqFile = folder + FreqFileName;

  TFlagPass pass;
  pass.copying = copying;
  pass.folder = folder;
  std::vector<std::string> flags;
  std::string newFreq;
  bool madeFolder = false;
  // Undoes what this save made: its copies and, while still empty, its folder.
  const auto undo = [&] {
    undoPass(pass);
    if (madeFolder)
      platform::fileops::rmdir(dir);
  };
  try {
    if (keepSome) {
      if (platform::fileops::mkdir(dir, 0777) == 0)
        madeFolder = true;
      else if (errno != EEXIST)
        throw std::runtime_error(platform::writeErrorText(dir, errno));
    }
    flags = buildFlags(pass);
    if (KeepFreq && CorpusFreqList) {
      newFreq = platform::makeTempFile(folder, "FRQ", 0666);
      pass.created.push_back(newFreq);
      CorpusFreqList->SaveToFile(newFreq);
    }
  } catch (const std::exception& e) {
    undo();
    ShowError(e.what());
    return false;
  }
  // The old frequency list steps aside until the file is committed: a kill
  // from here on leaves no list beside a workspace file it does not belong
  // to, and a failed commit puts it back.
  std::string asideFreq;
  if (fileExists(freqFile)) {
    try {
      asideFreq = platform::makeTempFile(folder, "FRQ", 0666);
    } catch (const std::exception& e) {
      undo();
      ShowError(e.what());
      return false;
    }
    if (platform::fileops::rename(freqFile, asideFreq) != 0) {
      const int err = errno;
      platform::fileops::unlink(asideFreq);
      undo();
      ShowError(platform::writeErrorText(freqFile, err));
      return false;
    }
  }

  if (!SaveConfigFile(fileName, [&](platform::IniFile& ini) { WriteWorkspaceSections(frame, ini, flags); })) {
    if (!asideFreq.empty())
      platform::fileops::rename(asideFreq, freqFile);
    undo();
    return false;
  }

  // Committed: the new state takes over.
  if (!asideFreq.empty())
    platform::fileops::unlink(asideFreq);
  bool freqKept = false;
  if (!newFreq.empty()) {
    freqKept = platform::fileops::rename(newFreq, freqFile) == 0;
    if (!freqKept) {
      ShowError(platform::writeErrorText(freqFile, errno));
      platform::fileops::unlink(newFreq);
    }
  }
  for (bool* mark : pass.savedMarks)
    *mark = true;
  frame.WorkspaceName() = fileName;
  WorkspaceFolder = folder;
  FileFlags = flags;
  committedFlags = flags;
  ProgramTitle = WorkspaceCaption(fileName);
  frame.SetCaption(ProgramTitle);
  if (!old.empty()) {
    const std::vector<std::string> now = CollectFlagFiles(flags, oldFolder);
    for (const std::string& file : old) {
      const bool kept = std::any_of(now.begin(), now.end(), [&](const std::string& n) { return sameFileName(n, file); });
      if (!kept)
        platform::fileops::unlink(file);
    }
  }
  // What earlier saves left behind (killed ones included): the program's
  // files the committed file does not name, and dead saves' siblings of it.
  std::vector<std::string> named = CollectFlagFiles(flags, folder);
  if (freqKept)
    named.push_back(freqFile);
  RemoveProgramFiles(folder, named);
  platform::removeStaleSiblings(fileName);
  // Only an empty folder goes; a user's files in it stay.
  if (!copying)
    platform::fileops::rmdir(dir);
  return true;
}

bool OpenWorkspace(TWorkspaceFrame& frame, const std::string& fileName)
{
  const std::string name = absoluteName(fileName);
  if (!checkWorkspaceFile(name) || !LoadConfigFile(name))
    return false;
  UnloadCorpus(frame.Corpus());
  platform::uiBridge().processMessages();
  frame.WorkspaceName() = name;
  SetWorkspaceFolder(frame, false);
  const platform::IniFile ini(name);
  ReadWorkspaceSections(frame, ini);
  UpdateWordTotal(frame.Corpus());
  UpdateCorpusInfo(frame.Corpus());
  ProgramTitle = WorkspaceCaption(name);
  frame.SetCaption(ProgramTitle);
  ScopedHourglass hourglass;
  BuildFileFlags(frame, true, false);
  return true;
}

void ResetWorkspaceState()
{
  committedFlags.clear();
  FileFlags.clear();
}

// --- commands ---------------------------------------------------------------

namespace {

bool confirmUnfinishedURLs()
{
  return !(PendingURLCount > 0 && KeepURLs) || WarnYesNo(UnfinishedURLsSaveText, false);
}

}  // namespace

void SaveWorkspaceCommand(TWorkspaceFrame& frame)
{
  if (!EditWorkspaceOptions(false) || !confirmUnfinishedURLs())
    return;
  SaveWorkspace(frame, frame.WorkspaceName(), false);
}

void SaveWorkspaceAs(TWorkspaceFrame& frame)
{
  std::string fileName;
  if (!frame.ChooseWorkspaceToSave(fileName))
    return;
  if (fileName == frame.WorkspaceName()) {
    ShowError(LoadedWorkspaceText);
    return;
  }
  const bool lines = KeepLinePages, tags = KeepWatchedTags, urls = KeepURLs;
  if (!EditWorkspaceOptions(true))
    return;
  if (!confirmUnfinishedURLs()) {
    KeepLinePages = lines;
    KeepWatchedTags = tags;
    KeepURLs = urls;
    return;
  }
  SaveWorkspace(frame, fileName, IsWorkspaceOpen(frame));
  WorkspacePath = folderOf(fileName);
  WriteWorkspacePath();
}

void LoadWorkspaceCommand(TWorkspaceFrame& frame)
{
  std::string fileName;
  if (!frame.ChooseWorkspaceToOpen(fileName))
    return;
  OpenWorkspace(frame, fileName);
  WorkspacePath = folderOf(fileName);
  WriteWorkspacePath();
}
