// The search request: what the search dialog fills and the search run copies.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class TSearchMode : uint8_t { Text = 0, Regex = 1, Tag = 2 };

// Names of the three search modes, as the settings file and the dialogs use them.
extern const char* const SearchModeNames[3];

// Bits of TSearchRec::Options.
enum : uint8_t {
  soContext = 1,        // only between a left-context hit and a right-context hit
  soHeading = 2,        // only in the text of headings whose heading text matches
  soSkipEqual = 4,      // skipping characters ignored, equal characters count as one
  soCaseSensitive = 8,  // else patterns and words are lower-cased before comparison
  soSentence = 16,      // for display only: the scan follows ConcordSettings.SentenceMode
};

class TSearchRec {
public:
  TSearchRec() = default;
  // The search run's copy: Mode, Options and the eight strings LeftContext
  // through SkipChars. The pattern lists stay empty (the run compiles the
  // patterns from the caller's request) and EqualChars and HitFrequency are
  // not copied (SetRunValues fills them). Explicit, so that no copy happens
  // by accident where a whole request is meant.
  explicit TSearchRec(const TSearchRec& other);
  TSearchRec(TSearchRec&&) = default;
  TSearchRec& operator=(TSearchRec&&) = default;
  TSearchRec& operator=(const TSearchRec&) = delete;

  // Fills the two values that only the run's copy carries: HitFrequency from
  // the settings' FrequencyOfHits (below 1 acts as 1), and EqualChars from
  // the settings' EqualChars when soSkipEqual is set, else empty.
  void SetRunValues();

  TSearchMode Mode = TSearchMode::Text;
  uint8_t Options = 0;
  std::vector<std::string> DisplayPatterns;  // as shown to the user, same index as Patterns
  std::vector<std::string> Patterns;         // in the order they are searched
  std::string LeftContext;
  std::string RightContext;  // empty: a context range runs to the end of the heading range or file
  std::string HeadStart;
  std::string HeadingPattern;
  std::string HeadStop;
  std::string TextStart;
  std::string TextStop;
  std::string SkipChars;     // the settings' SkippingChars when soSkipEqual, else empty
  std::string EqualChars;    // run's copy only; kept for display
  int32_t HitFrequency = 0;  // run's copy only: keep every Nth hit
};
