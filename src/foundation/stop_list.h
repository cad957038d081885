// The stop list: words that frequency lists and collocate tables leave out,
// kept in a stop-list file or, without a file, in the settings file itself.
#pragma once

#include "foundation/settings.h"
#include "foundation/word_list.h"
#include "platform/ini_file.h"

#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

inline constexpr const char* StopListSection = "StopList";
inline constexpr const char* StopListFileNameKey = "StopListFileName";
inline constexpr const char* StopListNameSection = "FrequencyConfiguration";

class TStopList {
public:
  // Path of the stop-list file; empty when the words live in [StopList].
  std::string FileName;

  const std::vector<std::string>& Words() const { return words_; }
  // In use; only ever true while the list holds a word.
  bool Active() const { return active_ && !words_.empty(); }

  // Replaces FileName, Words and Active from the settings (or workspace) file.
  void ReadSettings(const platform::IniFile& ini);
  // Writes StopListFileName; without a file name and with at least one word,
  // erases [StopList] and writes the words there.
  void WriteSettings(platform::IniFile& ini) const;

  // Empties the words and sets FileName.
  void SetFileName(const std::string& name);
  // Reads Words from FileName; Active := the list is not empty. On failure
  // shows "Unable to load stop-list words from file \r\n<file>", empties the
  // words and returns false.
  bool LoadFromFile();
  void SetActive(bool flag);
  // False unless Active; else whether a word equals `word`, without regard to
  // case when FrequencySettings.IgnoreCase is on. Constant time.
  bool IsStopWord(std::string_view word) const;

  // IsStopWord for a word that is already lower-cased when
  // FrequencySettings.IgnoreCase is on (as the collocate tables hold words).
  bool IsFoldedStopWord(std::string_view folded) const;

  // The comparison of IsStopWord, whatever Active says.
  bool HasWord(std::string_view word) const;
  // Replaces the words; Active keeps its flag.
  void SetWords(std::vector<std::string> words);
  void AddWord(std::string word);
  // Removes the first entry equal byte for byte; false when there is none.
  bool RemoveWord(std::string_view word);

private:
  void Changed() { indexed_ = false; }
  void BuildIndex() const;

  std::vector<std::string> words_;
  bool active_ = false;
  // Hash sets of the words and of their lower-cased forms, built on demand
  // and again when the words or the text language change.
  mutable bool indexed_ = false;
  mutable int32_t indexLanguage_ = 0;
  // Looked up by string_view, so a lookup allocates nothing.
  struct TWordHash {
    using is_transparent = void;
    size_t operator()(std::string_view word) const { return std::hash<std::string_view>{}(word); }
  };
  using TWordSet = std::unordered_set<std::string, TWordHash, std::equal_to<>>;
  mutable TWordSet exact_;
  mutable TWordSet lower_;
};

extern TStopList GlobalStopList;

// StopListFile: a word-list file (see ReadWordListFile).
std::vector<std::string> ReadStopListFile(const std::string& fileName);
void WriteStopListFile(const std::string& fileName, const std::vector<std::string>& words);

// Reads a stop-list file under the hourglass; false (and no words) when it
// cannot be read.
bool readStopListWords(const std::string& fileName, std::vector<std::string>& words);
// The message shown when a stop-list file cannot be loaded.
std::string stopListLoadFailureText(const std::string& fileName);
