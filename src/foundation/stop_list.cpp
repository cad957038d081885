#include "foundation/stop_list.h"

#include "foundation/chartables.h"
#include "foundation/config_file.h"
#include "foundation/buf_stream_config.h"
#include "foundation/dialogs.h"
#include "foundation/program_state.h"

#include <algorithm>
#include <cstring>
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

bool readStopListWords(const std::string& fileName, std::vector<std::string>& words)
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

std::string stopListLoadFailureText(const std::string& fileName)
{
  return "Unable to load stop-list words from file \r\n" + fileName;
}

bool TStopList::LoadFromFile()
{
  std::vector<std::string> words;
  const bool ok = readStopListWords(FileName, words);
  SetWords(std::move(words));
  active_ = !words_.empty();
  if (!ok)
    ShowError(stopListLoadFailureText(FileName));
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

bool TStopList::IsFoldedStopWord(std::string_view folded) const
{
  if (!Active())
    return false;
  BuildIndex();
  const TWordSet& words = FrequencySettings.IgnoreCase ? lower_ : exact_;
  return words.find(folded) != words.end();
}

bool TStopList::HasWord(std::string_view word) const
{
  if (words_.empty())
    return false;
  BuildIndex();
  if (!FrequencySettings.IgnoreCase)
    return exact_.find(word) != exact_.end();
  char buffer[256];
  if (word.size() <= sizeof buffer && !FarEastLanguage) {
    std::memcpy(buffer, word.data(), word.size());
    LocaleLowerBytes(buffer, word.size());
    return lower_.find(std::string_view(buffer, word.size())) != lower_.end();
  }
  return lower_.find(LocaleLowerStr(word)) != lower_.end();
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
