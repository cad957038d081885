// Which attempts of a search ran into the end of the text: the report that
// lets a caller holding a window of a longer text know where its result
// stops being final, and the search of a cut that sees the character after it.
#include "regexp_fixture.h"

#include <random>
#include <string>

using namespace regexptest;

namespace {

struct Outcome {
  bool found = false;
  int32_t start = -1;
  int32_t end = -1;
  int32_t touch = -1;
};

Outcome SearchWithTouch(TRegExp& re, const std::string& text, int32_t from = 0)
{
  Outcome o;
  o.found = re.Search(text.data(), int32_t(text.size()), from, o.start, o.end, o.touch);
  return o;
}

class RegExpEndTouchTest : public RegExpFixture {
protected:
  uint32_t Draw(uint32_t n) { return uint32_t(rng_() % n); }

  std::string Pattern(int depth)
  {
    std::string s;
    const uint32_t pieces = 1 + Draw(3);
    for (uint32_t i = 0; i < pieces; ++i)
      s += Piece(depth);
    if (Draw(4) == 0)
      s += "|" + Pattern(depth + 1);
    return s;
  }
  std::string Piece(int depth)
  {
    static const char* const atoms[] = {"a", "b", "a", ".", "[ab]", "[^a]", "\\w", "\\s"};
    static const char* const anchors[] = {"^", "$", "\\b", "\\B", "\\<", "\\>", "\\`", "\\'"};
    const uint32_t kind = Draw(depth < 2 ? 11 : 10);
    std::string atom;
    if (kind < 8)
      atom = atoms[kind];
    else if (kind < 10)
      return anchors[Draw(8)];
    else
      atom = "(" + Pattern(depth + 1) + ")";
    switch (Draw(8)) {
    case 0: return atom + "*";
    case 1: return atom + "+";
    case 2: return atom + "?";
    case 3: return atom + "{" + std::to_string(Draw(3)) + "," + std::to_string(2 + Draw(3)) + "}";
    default: return atom;
    }
  }
  std::string Text(uint32_t max)
  {
    static const char alphabet[] = "ab. \n";
    std::string t;
    const uint32_t n = Draw(max + 1);
    for (uint32_t i = 0; i < n; ++i)
      t += alphabet[Draw(5)];
    return t;
  }

  std::mt19937 rng_{4711u};
};

TEST_F(RegExpEndTouchTest, AttemptsThatReachTheEnd)
{
  for (TRegExpMatcher m : AllMatchers) {
    SCOPED_TRACE(MatcherName(m));
    // A literal cut by the end: its first bytes are there.
    TRegExp literal("abc", m);
    Outcome o = SearchWithTouch(literal, "xxab");
    EXPECT_FALSE(o.found);
    EXPECT_EQ(o.touch, 2);
    o = SearchWithTouch(literal, "abcxx");
    EXPECT_TRUE(o.found);
    EXPECT_EQ(o.touch, -1);
    // A match that could grow, an anchor tested at the end.
    TRegExp plus("ab+", m);
    o = SearchWithTouch(plus, "xabbb");
    EXPECT_EQ(o.start, 1);
    EXPECT_EQ(o.end, 5);
    EXPECT_GE(o.touch, 0);
    EXPECT_LE(o.touch, 1);
    TRegExp dollar("a$", m);
    o = SearchWithTouch(dollar, "bxa");
    EXPECT_TRUE(o.found);
    EXPECT_GE(o.touch, 0);
    EXPECT_LE(o.touch, 2);
    TRegExp boundary("\\bfoo\\b", m);
    o = SearchWithTouch(boundary, "a foo");
    EXPECT_TRUE(o.found);
    EXPECT_GE(o.touch, 0);
    EXPECT_LE(o.touch, 2);
    o = SearchWithTouch(boundary, "a foo bar");
    EXPECT_EQ(o.touch, -1);
    // An earlier attempt still going at the end beats a later match.
    TRegExp either("x[^y]*y|b", m);
    o = SearchWithTouch(either, "..x..b..");
    EXPECT_EQ(o.start, 5);
    EXPECT_GE(o.touch, 0);
    EXPECT_LE(o.touch, 2);
    o = SearchWithTouch(either, "..x..b.y.");
    EXPECT_EQ(o.start, 2);
    EXPECT_EQ(o.end, 8);
    EXPECT_EQ(o.touch, -1);
    // A match up to the end could go on.
    o = SearchWithTouch(either, "..x..b.y");
    EXPECT_EQ(o.start, 2);
    EXPECT_EQ(o.touch, 2);
    // Nothing reaches the end.
    TRegExp two("word next", m);
    o = SearchWithTouch(two, "a word next to");
    EXPECT_TRUE(o.found);
    EXPECT_EQ(o.touch, -1);
    o = SearchWithTouch(two, "a word nex");
    EXPECT_FALSE(o.found);
    EXPECT_GE(o.touch, 0);
    EXPECT_LE(o.touch, 2);
    TRegExp one("a", m);
    o = SearchWithTouch(one, "bbbb");
    EXPECT_EQ(o.touch, -1);
    // The report never lies before the start position.
    o = SearchWithTouch(either, "..x..b..", 4);
    EXPECT_EQ(o.start, 5);
    EXPECT_EQ(o.touch, -1);
  }
  // A back-reference that the end cuts off.
  TRegExp backRef("(ab)\\1");
  Outcome o = SearchWithTouch(backRef, "xxaba");
  EXPECT_FALSE(o.found);
  EXPECT_GE(o.touch, 0);
  EXPECT_LE(o.touch, 2);
}

TEST_F(RegExpEndTouchTest, AResultWithoutTouchIsFinalInEveryLongerText)
{
  // For a text and a longer text with the same beginning: attempts before the
  // reported start give the same outcome in both, so a different match in
  // the longer text begins at or after it (after the shorter text when
  // nothing was reported).
  int checked = 0;
  static const char* const tails[] = {"a", "b", "[ab]", ".", "\\s"};
  for (int round = 0; round < 300; ++round) {
    // The second pattern cannot match the empty string, so a failed search
    // tried every start.
    const std::string inner = Pattern(0);
    const std::string patterns[] = {inner, "(" + inner + ")" + tails[Draw(5)]};
    for (int which = 0; which < 2; ++which) {
      const std::string& pattern = patterns[which];
      for (TRegExpMatcher m : {TRegExpMatcher::Auto, TRegExpMatcher::Nfa, TRegExpMatcher::Backtracker}) {
        TRegExp re(pattern, m);
        for (int t = 0; t < 6; ++t) {
          const std::string text = Text(9);
          const std::string longer = text + Text(6) + "x";
          for (int32_t from = 0; from < int32_t(text.size()); ++from) {
            const Outcome shortRun = SearchWithTouch(re, text, from);
            if (re.LastOutcome() != TRegExpOutcome::Found && re.LastOutcome() != TRegExpOutcome::NoMatch)
              continue;
            const Outcome longRun = SearchWithTouch(re, longer, from);
            const std::string where = "'" + pattern + "' on '" + text + "' / '" + longer + "' from " +
                                      std::to_string(from) + " " + MatcherName(m);
            EXPECT_TRUE(shortRun.touch == -1 || (shortRun.touch >= from && shortRun.touch < int32_t(text.size())))
                << where;
            if (shortRun.found) {
              EXPECT_LE(shortRun.touch, shortRun.start) << where;
              if (shortRun.touch < 0) {
                EXPECT_TRUE(longRun.found) << where;
                EXPECT_EQ(longRun.start, shortRun.start) << where;
                EXPECT_EQ(longRun.end, shortRun.end) << where;
              } else if (longRun.found) {
                EXPECT_GE(longRun.start, shortRun.touch) << where;
              }
            } else if (which == 1 && longRun.found) {
              const int32_t bound = shortRun.touch >= 0 ? shortRun.touch : int32_t(text.size());
              EXPECT_GE(longRun.start, bound) << where;
            }
            // The same beginning searched as a cut of the longer text: every
            // match it finds is one of the longer text, so the longer text's
            // leftmost-longest match starts no later and, there, ends no earlier.
            Outcome cut;
            cut.found = re.Search(longer.data(), int32_t(text.size()), from, cut.start, cut.end, cut.touch, true);
            if (cut.found) {
              EXPECT_TRUE(longRun.found) << where << " (cut)";
              EXPECT_LE(longRun.start, cut.start) << where << " (cut)";
              if (longRun.start == cut.start)
                EXPECT_GE(longRun.end, cut.end) << where << " (cut)";
            }
            ++checked;
          }
        }
      }
    }
  }
  EXPECT_GT(checked, 5000);
}

}  // namespace
