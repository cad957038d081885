#include "foundation/stop_list.h"

#include "foundation/chartables.h"
#include "foundation/config_file.h"
#include "foundation/buf_stream_config.h"
#include "foundation/dialogs.h"
#include "foundation/program_state.h"

#include <algorithm>
#include <stdexcept>

TStopList GlobalStopList;

// ---------------------------------------------------------------------------
// The stop-list file.

std::vector<std::string> ReadStopListFile(const std::string& fileName)
{
  return ReadWordListFile(fileName);
}

void WriteStopListFile(const std::string& fileName, const std::vector<std::string>& words)
{
  WriteWordListFile(fileName, words);
}

// ---------------------------------------------------------------------------
// TStopList

void TStopList::ReadSettings(const platform::IniFile& ini)
{
  FileName = ini.readString(StopListNameSection, StopListFileNameKey, "");
  if (FileName.empty()) {
    std::vector<std::string> words;
    ReadIniList(ini, StopListSection, "Word", words);
    SetWords(std::move(words));
    active_ = !words_.empty();
  } else {
    LoadFromFile();
  }
}

void TStopList::WriteSettings(platform::IniFile& ini) const
{
  ini.writeString(StopListNameSection, StopListFileNameKey, FileName);
  if (FileName.empty() && !words_.empty()) {
    ini.eraseSection(StopListSection);
    WriteIniList(ini, StopListSection, "Word", words_);
  }
}

void TStopList::SetFileName(const std::string& name)
{
  SetWords({});
  FileName = name;
}

namespace {

// Reads a stop-list file under the hourglass; false when it cannot be read.
bool ReadWordsFrom(const std::string& fileName, std::vector<std::string>& words)
{
  ScopedHourglass hourglass;
  try {
    words = ReadStopListFile(fileName);
    return true;
  } catch (const std::exception&) {
    words.clear();
    return false;
  }
}

std::string LoadFailureText(const std::string& fileName)
{
  return "Unable to load stop-list words from file \r\n" + fileName;
}

}  // namespace

bool TStopList::LoadFromFile()
{
  std::vector<std::string> words;
  const bool ok = ReadWordsFrom(FileName, words);
  SetWords(std::move(words));
  active_ = !words_.empty();
  if (!ok)
    ShowError(LoadFailureText(FileName));
  return ok;
}

void TStopList::SetActive(bool flag)
{
  active_ = flag && !words_.empty();
}

bool TStopList::IsStopWord(std::string_view word) const
{
  return Active() && HasWord(word);
}

bool TStopList::HasWord(std::string_view word) const
{
  if (words_.empty())
    return false;
  BuildIndex();
  if (FrequencySettings.IgnoreCase)
    return lower_.count(LocaleLowerStr(word)) != 0;
  return exact_.count(std::string(word)) != 0;
}

void TStopList::SetWords(std::vector<std::string> words)
{
  words_ = std::move(words);
  Changed();
}

void TStopList::AddWord(std::string word)
{
  words_.push_back(std::move(word));
  Changed();
}

bool TStopList::RemoveWord(std::string_view word)
{
  const auto it = std::find(words_.begin(), words_.end(), word);
  if (it == words_.end())
    return false;
  words_.erase(it);
  Changed();
  return true;
}

void TStopList::BuildIndex() const
{
  // The collator calls two words equal only when their bytes are (after
  // lower-casing when case is ignored), so two hash sets give its answers.
  if (indexed_ && indexLanguage_ == LanguageId)
    return;
  exact_.clear();
  lower_.clear();
  exact_.reserve(words_.size());
  lower_.reserve(words_.size());
  for (const auto& w : words_) {
    exact_.insert(w);
    lower_.insert(LocaleLowerStr(w));
  }
  indexed_ = true;
  indexLanguage_ = LanguageId;
}

// ---------------------------------------------------------------------------
// TViewStopListModel

TViewStopListModel::TViewStopListModel(TStopList& list, TStopListFileChooser& chooser)
  : list_(list), chooser_(chooser)
{
}

void TViewStopListModel::Open()
{
  FillWordList();
  modified_ = false;
  backup_ = Backup{list_.FileName, list_.Words()};
}

void TViewStopListModel::FillWordList()
{
  SetWordList(list_.Words());
}

std::string TViewStopListModel::FileNameLabel() const
{
  return NameOfPath(list_.FileName);
}

void TViewStopListModel::Add()
{
  std::string text;
  if (!QueryInput("Add to Stop List", "Enter word(s) to add to stop list:", textFont_, text))
    return;
  if (text.size() > 255)
    text.resize(255);
  TCharSet delimiters;
  BuildDelimiterSet(delimiters);
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && !delimiters.test(static_cast<unsigned char>(text[i])))
      continue;
    if (i > start) {
      std::string word = text.substr(start, i - start);
      // Compared as IsStopWord compares, whether or not the list is in use.
      if (!list_.HasWord(word)) {
        list_.AddWord(word);
        InsertSorted(word);
        modified_ = true;
      }
    }
    start = i + 1;
  }
}

void TViewStopListModel::Remove()
{
  RemoveSelected([this](const std::string& word, size_t) {
    list_.RemoveWord(word);
    modified_ = true;
  });
}

void TViewStopListModel::Clear()
{
  if (WordList().empty() || !ConfirmOkCancel("Remove all words from stop list?", true))
    return;
  ClearWordList();
  list_.SetFileName("");
  modified_ = true;
}

void TViewStopListModel::Save()
{
  const std::string before = list_.FileName;
  if (list_.FileName.empty()) {
    std::string chosen;
    if (!chooser_.ChooseSaveFile(SaveDialogTitle, StopListPath, chosen) || chosen.empty())
      return;
    // Not SetFileName, which would empty the words.
    list_.FileName = MakeFileName(chosen, "TXT");
  }
  try {
    WriteStopListFile(list_.FileName, WordList());
  } catch (const std::exception&) {
    const std::string failed = list_.FileName;
    list_.FileName = before;
    ShowError("Unable to save stop-list words to file \r\n" + failed);
    return;
  }
  StopListPath = FolderOfPath(list_.FileName);
  modified_ = false;
}

void TViewStopListModel::Load()
{
  std::string chosen;
  if (!chooser_.ChooseLoadFile(LoadDialogTitle, StopListPath, chosen) || chosen.empty())
    return;
  const std::string fileName = MakeFileName(chosen, "TXT");
  std::vector<std::string> words;
  if (!ReadWordsFrom(fileName, words)) {
    ShowError(LoadFailureText(fileName));
    return;
  }
  // The new name and words in one step, so the list's Active flag stays.
  SetWordList(std::move(words));
  list_.FileName = fileName;
  list_.SetWords(WordList());
  StopListPath = FolderOfPath(fileName);
  modified_ = false;
}

void TViewStopListModel::Close()
{
  if (modified_ && !ConfirmOkCancel("Save changes?", true) && backup_) {
    list_.FileName = backup_->FileName;
    list_.SetWords(backup_->Words);
    list_.SetActive(!backup_->Words.empty());
  }
  backup_.reset();
  modified_ = false;
}
