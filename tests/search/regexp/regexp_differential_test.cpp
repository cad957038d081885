// Differential tests: the automaton, the NFA simulation and the backtracker
// must give the same extent on generated patterns and texts; on the subset
// the C library shares (ASCII, no translation, no newlines, no escapes of
// this dialect) its POSIX matcher serves as a referee.
#include "regexp_fixture.h"

#include <regex.h>

#include <cstdint>
#include <algorithm>
#include <random>
#include <string>
#include <vector>

using namespace regexptest;

namespace {

class RegExpDifferentialTest : public RegExpFixture {
protected:
  uint32_t Draw(uint32_t n) { return static_cast<uint32_t>(rng_() % n); }

  std::string Alternatives(int depth, bool dialect)
  {
    std::string s = Sequence(depth, dialect);
    while (Draw(4) == 0)
      s += "|" + Sequence(depth, dialect);
    return s;
  }

  std::string Sequence(int depth, bool dialect)
  {
    std::string s;
    const uint32_t pieces = 1 + Draw(3);
    for (uint32_t i = 0; i < pieces; ++i)
      s += Piece(depth, dialect);
    return s;
  }

  std::string Piece(int depth, bool dialect)
  {
    std::string atom;
    const uint32_t kinds = dialect ? 14 : 8;
    switch (Draw(depth < 2 ? kinds : kinds - 1)) {
    case 0:
    case 1: atom = "a"; break;
    case 2: atom = "b"; break;
    case 3: atom = "."; break;
    case 4: atom = "[ab]"; break;
    case 5: atom = "[^a]"; break;
    case 6: atom = "a"; break;
    case 7: atom = "b"; break;
    case 8: atom = "\\w"; break;
    case 9: atom = "\\W"; break;
    case 10: {
      static const char* const anchors[] = {"^", "$", "\\b", "\\B", "\\<", "\\>", "\\`", "\\'"};
      return anchors[Draw(8)];
    }
    case 11: atom = "\\s"; break;
    case 12: atom = "[^ .]"; break;
    default: atom = "(" + Alternatives(depth + 1, dialect) + ")"; break;
    }
    std::string piece = atom;
    switch (Draw(10)) {
    case 0:
    case 1: piece += "*"; break;
    case 2: piece += "+"; break;
    case 3: piece += "?"; break;
    case 4: {
      const uint32_t m = Draw(3);
      switch (Draw(3)) {
      case 0: piece += "{" + std::to_string(m) + "}"; break;
      case 1: piece += "{" + std::to_string(m) + ",}"; break;
      default: piece += "{" + std::to_string(m) + "," + std::to_string(m + Draw(3)) + "}"; break;
      }
      break;
    }
    default: return atom;
    }
    if (stackRepeats_ && Draw(2) == 0) {
      static const char* const second[] = {"*", "+", "?", "{2,}", "{0}", "{0,2}", "{1,2}"};
      piece += second[Draw(7)];
    }
    return piece;
  }

  std::string Text(const char* alphabet, size_t letters)
  {
    std::string t;
    const uint32_t n = Draw(11);
    for (uint32_t i = 0; i < n; ++i)
      t += alphabet[Draw(static_cast<uint32_t>(letters))];
    return t;
  }

  // The C library's leftmost-longest match from the text start; an empty
  // one is passed over, the search going on at the next position (with the
  // text before it still in view).
  static std::string Referee(const regex_t& re, const std::string& text)
  {
    regmatch_t m[1];
    for (regoff_t from = 0; from < regoff_t(text.size()); from = m[0].rm_so + 1) {
      m[0].rm_so = from;
      m[0].rm_eo = regoff_t(text.size());
      if (regexec(&re, text.c_str(), 1, m, REG_STARTEND) != 0)
        return "none";
      if (m[0].rm_eo > m[0].rm_so)
        return std::to_string(m[0].rm_so) + "-" + std::to_string(m[0].rm_eo);
    }
    return "none";
  }

  // Every matcher agrees with the C library on each pattern and text.
  template <class Patterns, class Texts>
  static void ExpectAgreementWithTheReferee(const Patterns& patterns, const Texts& texts)
  {
    for (const std::string pattern : patterns) {
      regex_t posix;
      ASSERT_EQ(regcomp(&posix, pattern.c_str(), REG_EXTENDED), 0) << pattern;
      for (TRegExpMatcher m : AllMatchers) {
        TRegExp re(pattern, m);
        for (const std::string& text : texts)
          EXPECT_EQ(Extent(re, text), Referee(posix, text))
              << "'" << pattern << "' on '" << text << "' (" << MatcherName(m) << ")";
      }
      regfree(&posix);
    }
  }

  // Texts of runs of odd and even length: a, aaa, abab, ababa and so on.
  std::string RunsText()
  {
    std::string t;
    const uint32_t runs = Draw(4);
    for (uint32_t i = 0; i < runs; ++i) {
      const uint32_t n = 1 + Draw(5);
      for (uint32_t k = 0; k < n; ++k)
        t += Draw(3) == 0 ? "ab"[k % 2] : 'a';
      t += 'b';
    }
    return t;
  }

  std::mt19937 rng_{20240611u};
  bool stackRepeats_ = false;  // a second repeat operator after a repeated atom
};

}  // namespace

TEST_F(RegExpDifferentialTest, MatchersAgreeWithEachOtherAndThePosixReferee)
{
  int compared = 0;
  for (int round = 0; round < 250; ++round) {
    const std::string pattern = Alternatives(0, false);
    regex_t posix;
    ASSERT_EQ(regcomp(&posix, pattern.c_str(), REG_EXTENDED), 0) << pattern;
    TRegExp automaton(pattern);
    TRegExp nfa(pattern, TRegExpMatcher::Nfa);
    TRegExp backtracker(pattern, TRegExpMatcher::Backtracker);
    for (int t = 0; t < 25; ++t) {
      const std::string text = Text("ab", 2);
      const std::string expected = Referee(posix, text);
      EXPECT_EQ(Extent(automaton, text), expected) << "'" << pattern << "' on '" << text << "'";
      for (int32_t start = 0; start <= static_cast<int32_t>(text.size()); ++start) {
        const std::string a = Extent(automaton, text, start);
        EXPECT_EQ(Extent(nfa, text, start), a) << "'" << pattern << "' on '" << text << "' at " << start;
        EXPECT_EQ(Extent(backtracker, text, start), a)
            << "'" << pattern << "' on '" << text << "' at " << start;
        ++compared;
      }
    }
    regfree(&posix);
  }
  EXPECT_GT(compared, 10000);
}

TEST_F(RegExpDifferentialTest, StackedRepeatsAgreeWithThePosixReferee)
{
  // Counted repeats under a second repeat, on runs of odd and even length
  // (short: the backtracker tries every split of a run).
  const char* const fixed[] = {"ba{2,}*c", "ba{2,}+c", "a{2,}*", "(ab){2,}*", "(ab){2,}*b", "ba{0}*c",
                               "ba*{0}c", "a{0,2}{0,2}", "a{2,}{0}b", "(a{2,})?b"};
  const std::string texts[] = {"", "bc", "bac", "baac", "baaac", "aaaa", "aaaaab", "ababa", "abababab", "ababab b"};
  ExpectAgreementWithTheReferee(fixed, texts);

  stackRepeats_ = true;
  for (int round = 0; round < 200; ++round) {
    const std::string pattern = Alternatives(0, false);
    regex_t posix;
    ASSERT_EQ(regcomp(&posix, pattern.c_str(), REG_EXTENDED), 0) << pattern;
    for (TRegExpMatcher m : AllMatchers) {
      TRegExp re(pattern, m);
      for (int t = 0; t < 12; ++t) {
        const std::string text = RunsText();
        EXPECT_EQ(Extent(re, text), Referee(posix, text))
            << "'" << pattern << "' on '" << text << "' (" << MatcherName(m) << ")";
      }
    }
    regfree(&posix);
  }
}

TEST_F(RegExpDifferentialTest, MatchersAgreeOnTheDialect)
{
  // Anchors, word operators and this dialect's classes, with newlines, word
  // and non-word characters in the text.
  for (int round = 0; round < 300; ++round) {
    const std::string pattern = Alternatives(0, true);
    TRegExp automaton(pattern);
    TRegExp nfa(pattern, TRegExpMatcher::Nfa);
    TRegExp backtracker(pattern, TRegExpMatcher::Backtracker);
    for (int t = 0; t < 20; ++t) {
      const std::string text = Text("ab. \n", 5);
      for (int32_t start = 0; start <= static_cast<int32_t>(text.size()); ++start) {
        const std::string a = Extent(automaton, text, start);
        EXPECT_EQ(Extent(nfa, text, start), a) << "'" << pattern << "' on '" << text << "' at " << start;
        EXPECT_EQ(Extent(backtracker, text, start), a)
            << "'" << pattern << "' on '" << text << "' at " << start;
      }
    }
  }
}

TEST_F(RegExpDifferentialTest, IgnoreCaseAgreesAcrossMatchers)
{
  SetFolding(true, false);
  for (int round = 0; round < 150; ++round) {
    const std::string pattern = Alternatives(0, false);
    TRegExp automaton(pattern);
    TRegExp nfa(pattern, TRegExpMatcher::Nfa);
    TRegExp backtracker(pattern, TRegExpMatcher::Backtracker);
    for (int t = 0; t < 15; ++t) {
      const std::string text = Text("abAB", 4);
      const std::string a = Extent(automaton, text);
      EXPECT_EQ(Extent(nfa, text), a) << "'" << pattern << "' on '" << text << "'";
      EXPECT_EQ(Extent(backtracker, text), a) << "'" << pattern << "' on '" << text << "'";
    }
  }
}

TEST_F(RegExpDifferentialTest, ArbitraryPatternTextCompilesOrFailsCleanly)
{
  // Random strings of the operator characters: every one either compiles or
  // raises one of the error texts, and what compiles gives one answer on
  // every matcher.
  static const char alphabet[] = "ab.()[]{}|*+?^$\\-:,1205wWbB<>`'";
  const std::vector<std::string> known(RegExpErrorTexts, RegExpErrorTexts + RegExpErrorCount);
  int compiled = 0;
  for (int round = 0; round < 1500; ++round) {
    std::string pattern;
    const uint32_t n = 1 + Draw(10);
    for (uint32_t i = 0; i < n; ++i)
      pattern += alphabet[Draw(sizeof alphabet - 1)];
    const std::string error = CompileError(pattern);
    if (!error.empty()) {
      EXPECT_NE(std::find(known.begin(), known.end(), error), known.end()) << pattern;
      continue;
    }
    ++compiled;
    TRegExp automaton(pattern);
    TRegExp nfa(pattern, TRegExpMatcher::Nfa);
    TRegExp backtracker(pattern, TRegExpMatcher::Backtracker);
    for (int t = 0; t < 6; ++t) {
      const std::string text = Text("ab.(){}*-1\n ", 12);
      const int32_t start = static_cast<int32_t>(Draw(static_cast<uint32_t>(text.size()) + 1));
      const std::string b = Extent(backtracker, text, start);
      if (automaton.Matcher() != TRegExpMatcher::Backtracker) {
        EXPECT_EQ(Extent(automaton, text, start), b) << "'" << pattern << "' on '" << text << "' at " << start;
        EXPECT_EQ(Extent(nfa, text, start), b) << "'" << pattern << "' on '" << text << "' at " << start;
      }
    }
  }
  EXPECT_GT(compiled, 250);
}

TEST_F(RegExpDifferentialTest, FixedPatternsAgreeWithThePosixReferee)
{
  // Repeats stacked on counted repeats, brackets that only look like class
  // names, and rare-byte literals whose hit lies in the last bytes of the
  // text, where the start scan leaves its wide steps.
  const char* const patterns[] = {"a{2}*", "a{2,3}?", "(ab){2}+", "a{1,2}{2}", "(a|b){2}*b",
                                  "[a:b:]+", "[:a]b", "q[xyz]", "b[a]a", "ab?q[xy]"};
  std::vector<std::string> texts = {"", "a", "aa", "aaa", "aaaaa", "abab", "ababab", "ab:b", ":b", "aaqy", "qz"};
  for (size_t pad : {0u, 1u, 14u, 15u, 16u, 17u, 31u, 32u, 33u, 64u})
    for (const char* tail : {"qy", "aqx", "bqz", "ba", "aa"})
      texts.push_back(std::string(pad, 'a') + tail);
  ExpectAgreementWithTheReferee(patterns, texts);
}

// Literal prefixes whose two rarest positions the start scan tests 16 places
// at a time: long random texts, hits anywhere (near the end too).
TEST_F(RegExpDifferentialTest, PrefixScansOverLongTextsAgreeWithThePosixReferee)
{
  const char* const patterns[] = {"walk(ed|ing)", "[wW]alk", "wa[lk]k", "w.lk", "ab?q[xy]", "k[ae]w+", "lkw"};
  for (const char* pattern : patterns) {
    regex_t posix;
    ASSERT_EQ(regcomp(&posix, pattern, REG_EXTENDED), 0) << pattern;
    for (TRegExpMatcher m : AllMatchers) {
      TRegExp re(pattern, m);
      for (int t = 0; t < 60; ++t) {
        // Pieces that put the rare bytes close together, so that candidates
        // that fail and ones that hold share a block.
        static const char* const pieces[] = {"walk", "wal", "w", "k", "wk", "ed", "ing", "ab", "q", "x", "y", " ", "W"};
        std::string text;
        const uint32_t n = Draw(120);
        for (uint32_t i = 0; i < n; ++i)
          text += pieces[Draw(13)];
        EXPECT_EQ(Extent(re, text), Referee(posix, text))
            << "'" << pattern << "' on '" << text << "' (" << MatcherName(m) << ")";
      }
    }
    regfree(&posix);
  }
}
