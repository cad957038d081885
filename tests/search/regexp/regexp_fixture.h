// Shared set-up of the regular-expression tests: English (code page 1252)
// character tables with the usual non-word characters, and helpers that run a
// pattern on every matcher.
#pragma once

#include "foundation/chartables.h"
#include "foundation/settings.h"
#include "search/regexp/regexp.h"

#include "corpus_files.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace regexptest {


inline constexpr TRegExpMatcher AllMatchers[] = {TRegExpMatcher::Auto, TRegExpMatcher::Nfa,
                                                 TRegExpMatcher::Backtracker};

inline const char* MatcherName(TRegExpMatcher m)
{
  switch (m) {
  case TRegExpMatcher::Auto: return "auto";
  case TRegExpMatcher::Nfa: return "nfa";
  case TRegExpMatcher::Dfa: return "dfa";
  case TRegExpMatcher::Backtracker: return "backtracker";
  }
  return "?";
}

// "start-end" of the match, or "none".
inline std::string Extent(TRegExp& re, std::string_view text, int32_t start = 0)
{
  int32_t s = -1;
  int32_t e = -1;
  if (!re.Search(text.data(), static_cast<int32_t>(text.size()), start, s, e))
    return "none";
  return std::to_string(s) + "-" + std::to_string(e);
}

inline std::string Extent(const std::string& pattern, std::string_view text, int32_t start = 0,
                          TRegExpMatcher matcher = TRegExpMatcher::Auto)
{
  TRegExp re(pattern, matcher);
  return Extent(re, text, start);
}

// The compile error of a pattern, or "" when it compiles.
inline std::string CompileError(const std::string& pattern)
{
  try {
    TRegExp re(pattern);
  } catch (const ERegExp& e) {
    return e.what();
  }
  return "";
}

struct Case {
  const char* pattern;
  std::string_view text;
  int32_t start;
  const char* expected;
};

class RegExpFixture : public ::testing::Test {
protected:
  void SetUp() override
  {
    InitProgramState();
    InitRegExpSyntaxTable();
    SetTextLanguage(0x409);
    corpusgen::useDefaultSearchSettings();
    ConcordSettings.IgnoreCase = false;  // SetFolding switches it on
    BuildCharTables();
  }
  void TearDown() override { InitProgramState(); }

  static void SetFolding(bool ignoreCase, bool equalChars)
  {
    ConcordSettings.IgnoreCase = ignoreCase;
    ConcordSettings.UseSkipEqualChars = equalChars;
    BuildFoldTable();
  }

  // Runs every case on every matcher.
  static void Check(std::initializer_list<Case> cases)
  {
    for (const Case& c : cases)
      for (TRegExpMatcher m : AllMatchers)
        EXPECT_EQ(Extent(c.pattern, c.text, c.start, m), c.expected)
            << "pattern '" << c.pattern << "' text '" << c.text << "' start " << c.start << " on "
            << MatcherName(m);
  }
};

}  // namespace regexptest
