// The regular-expression engine's limits and surroundings: patterns that must
// finish, cancelling, give-ups that never pass for a miss, long input, threads,
// and the syntax table that BuildCharTables keeps.
#include "regexp_fixture.h"

#include "search/regexp/regexp_match.h"

#include <cstring>
#include <string>
#include <thread>
#include <vector>

using namespace regexptest;

namespace {

class RegExpLimitsTest : public RegExpFixture {};

}  // namespace

TEST_F(RegExpLimitsTest, PathologicalPatternsFinishOnTheAutomaton)
{
  const std::string as(10000, 'a');
  EXPECT_EQ(Extent("(a|aa)*b", as), "none");
  EXPECT_EQ(Extent("(a*)*b", as), "none");
  EXPECT_EQ(Extent("(a|a?)+c", as), "none");
  EXPECT_EQ(Extent("(x+x+)+y", std::string(5000, 'x')), "none");
  EXPECT_EQ(Extent("(a|aa)*b", as + "b"), "0-10001");
  EXPECT_EQ(Extent("(.*)*a(.*)*b", as), "none");
  EXPECT_EQ(Extent("(a|aa)*b", as, 0, TRegExpMatcher::Nfa), "none");
}

TEST_F(RegExpLimitsTest, CancelHookStopsASearch)
{
  const std::string as(300000, 'a');
  TRegExp re("(a|aa)*b");
  int polls = 0;
  re.SetCancelHook([&] {
    ++polls;
    return false;
  });
  int32_t s = -1, e = -1;
  EXPECT_FALSE(re.Search(as.data(), static_cast<int32_t>(as.size()), 0, s, e));
  EXPECT_EQ(re.LastOutcome(), TRegExpOutcome::NoMatch);
  EXPECT_GT(polls, 0);

  // A hook that never stops changes nothing.
  const std::string text = as + "b";
  EXPECT_TRUE(re.Search(text.data(), static_cast<int32_t>(text.size()), 5, s, e));
  EXPECT_EQ(s, 5);
  EXPECT_EQ(e, static_cast<int32_t>(text.size()));

  re.SetCancelHook([] { return true; });
  EXPECT_FALSE(re.Search(text.data(), static_cast<int32_t>(text.size()), 0, s, e));
  EXPECT_EQ(re.LastOutcome(), TRegExpOutcome::Cancelled);
  EXPECT_EQ(re.GiveUpCount(), 0);
}

TEST_F(RegExpLimitsTest, CancelHookStopsEveryMatcher)
{
  const std::string text(2000000, 'a');
  for (TRegExpMatcher m : AllMatchers) {
    TRegExp literal("b", m);
    literal.SetCancelHook([] { return true; });
    int32_t s = -1, e = -1;
    EXPECT_FALSE(literal.Search(text.data(), static_cast<int32_t>(text.size()), 0, s, e));
    EXPECT_EQ(literal.LastOutcome(), TRegExpOutcome::Cancelled) << MatcherName(m);
  }
}

TEST_F(RegExpLimitsTest, ExponentialBacktrackingIsCancelled)
{
  // A back-reference forces the backtracker, which tries every way of
  // splitting the run; the hook ends it long before its step budget would.
  const std::string as(10000, 'a');
  TRegExp re("(a|aa)*\\1b");
  ASSERT_EQ(re.Matcher(), TRegExpMatcher::Backtracker);
  int polls = 0;
  re.SetCancelHook([&] { return ++polls == 20; });
  int32_t s = -1, e = -1;
  EXPECT_FALSE(re.Search(as.data(), static_cast<int32_t>(as.size()), 0, s, e));
  EXPECT_EQ(re.LastOutcome(), TRegExpOutcome::Cancelled);
  EXPECT_EQ(polls, 20);
}

TEST_F(RegExpLimitsTest, GiveUpsAreCountedAndNeverAPlainMiss)
{
  // Every 'b' leaves a choice on the failure stack.
  const std::string deep = "a" + std::string(400000, 'b') + "ca";
  TRegExp re("(a)b*c\\1");
  int32_t s = -1, e = -1;
  EXPECT_FALSE(re.Search(deep.data(), static_cast<int32_t>(deep.size()), 0, s, e));
  EXPECT_EQ(re.LastOutcome(), TRegExpOutcome::GaveUp);
  EXPECT_EQ(re.GiveUpCount(), 1);
  EXPECT_FALSE(re.Search(deep.data(), static_cast<int32_t>(deep.size()), 0, s, e));
  EXPECT_EQ(re.GiveUpCount(), 2);

  // A search that ends normally says so, and the count stays.
  const std::string shallow = "xabbca";
  EXPECT_TRUE(re.Search(shallow.data(), static_cast<int32_t>(shallow.size()), 0, s, e));
  EXPECT_EQ(re.LastOutcome(), TRegExpOutcome::Found);
  EXPECT_EQ(re.GiveUpCount(), 2);
  EXPECT_FALSE(re.Search("xyz", 0, s, e));
  EXPECT_EQ(re.LastOutcome(), TRegExpOutcome::NoMatch);
  re.ResetGiveUpCount();
  EXPECT_EQ(re.GiveUpCount(), 0);

  // The automaton has no such limit.
  EXPECT_EQ(Extent("(a)b*ca", deep), "0-400003");
}

TEST_F(RegExpLimitsTest, AttemptsGiveUpOnTheirStepBudget)
{
  // Counted repeats too large for the automaton, of parts that can match
  // empty: the ways to share the text among the passes grow without bound.
  // The hook would stop a search only long after the budget ran out; polls
  // count the work (one per 64K steps). An attempt gets the whole cap at
  // most, after a run on the base budget.
  using regexp::Backtracker;
  constexpr int CapPolls = int((Backtracker::kMaxAttemptSteps + Backtracker::kAttemptBaseSteps) /
                               regexp::StepCounter::StepsPerPoll) + 2;
  const std::string spaced = [] {
    std::string t;
    while (t.size() < 1000000)
      t += "aa ";
    return t;
  }();
  std::string pairs;
  for (int i = 0; i < 1500; ++i)
    pairs += "ab";
  pairs += "c";
  const std::string es(10000, 'e');
  const std::string as24 = std::string(24, 'a') + "c";
  const std::string as26 = std::string(26, 'a') + "c";
  struct Row {
    const char* pattern;
    std::string_view text;
    int32_t start;
    const char* expected;
    int mostPolls = 1000;
  };
  const Row cases[] = {
    {"(a*){5000}x", "aa", 0, "gave up"},
    {"h(.*){5000}x", "hab", 0, "gave up"},
    {"a{0,1}{245}{0,22}b", "aaaa", 0, "gave up"},
    // The budget grows with the text an attempt reads, not with the text
    // it could read: one near the start of a long text ends as soon.
    {"(a*){5000}x", spaced, 0, "gave up"},
    // Attempts that end within it keep their results; with back-references
    // the budget grows with the square of the text read, as the steps of
    // attempts that try every pair of ends do.
    {"(a*){5000}x", "bax", 0, "1-3"},
    {"(a*){5000}x", "aa", 2, "none"},
    {"(.).*\\1.*\\1", pairs, 0, "0-2999"},
    // The base budget: every way to split 26 letters is tried.
    {"(a|aa)*\\1b|a", as24, 0, "0-1"},
    {"(a|aa)*\\1b|a", as26, 0, "0-1"},
    // The square of 10 KB would allow minutes; the cap holds it to a second.
    {"(e|ee)*\\1d", es, 0, "gave up", CapPolls},
  };
  for (const Row& c : cases) {
    TRegExp re(c.pattern);
    ASSERT_EQ(re.Matcher(), TRegExpMatcher::Backtracker) << c.pattern;
    int polls = 0;
    re.SetCancelHook([&] { return ++polls > 2 * c.mostPolls; });
    const std::string extent = Extent(re, c.text, c.start);
    const bool gaveUp = re.LastOutcome() == TRegExpOutcome::GaveUp;
    EXPECT_EQ(gaveUp ? "gave up" : extent, c.expected) << c.pattern << " on " << c.text.size() << " bytes";
    EXPECT_EQ(re.GiveUpCount(), gaveUp ? 1 : 0) << c.pattern;
    EXPECT_LT(polls, c.mostPolls) << c.pattern;
  }
}

TEST_F(RegExpLimitsTest, AnAttemptFarIntoTheTextGivesUpAsSoonAsOneAtTheStart)
{
  // Polls count the steps, one per 64K: those of the scan over the text
  // before the attempt, and those of the attempt.
  const std::string before(1000000, 'x');
  const std::string hard(40, 'e');
  TRegExp re("(e|ee)*\\1d");
  int polls = 0;
  re.SetCancelHook([&] { return ++polls > 20000; });
  const auto pollsFor = [&](const std::string& text) {
    polls = 0;
    re.ResetGiveUpCount();
    EXPECT_EQ(Extent(re, text), "none");
    return polls;
  };
  const int scan = pollsFor(before);
  const int atStart = pollsFor(hard);
  ASSERT_EQ(re.LastOutcome(), TRegExpOutcome::GaveUp);
  EXPECT_LE(pollsFor(before + hard), scan + atStart + 2);
  EXPECT_EQ(re.LastOutcome(), TRegExpOutcome::GaveUp);
}

TEST_F(RegExpLimitsTest, AfterAGiveUpAttemptsRunOnASmallBudget)
{
  // A scan searches part after part of a long text; once the expression has
  // given up, the parts where it gives up again cost a small share of the
  // steps (polls count them, one per 64K), and cheap searches keep their
  // results. Resetting the count brings the whole budget back.
  struct Row {
    const char* pattern;
    const char* hard;
    const char* cheap;
    const char* expected;
  };
  const Row rows[] = {
    {"(a*){5000}x", "aa", "aax", "0-3"},
    {"h(.*){5000}x", "hab", "ab", "none"},
    {"a{0,1}{245}{0,22}b", "aaaa", "hab", "1-3"},
  };
  for (const Row& r : rows) {
    TRegExp re(r.pattern);
    int polls = 0;
    re.SetCancelHook([&] { return ++polls > 1000; });
    auto pollsToGiveUp = [&] {
      polls = 0;
      EXPECT_EQ(Extent(re, r.hard), "none");
      EXPECT_EQ(re.LastOutcome(), TRegExpOutcome::GaveUp) << r.pattern;
      return polls;
    };
    const int whole = pollsToGiveUp();
    const int again = pollsToGiveUp();
    EXPECT_EQ(re.GiveUpCount(), 2);
    EXPECT_LE(16 * again, whole) << r.pattern;
    EXPECT_EQ(Extent(re, r.cheap), r.expected) << r.pattern;
    re.ResetGiveUpCount();
    EXPECT_GE(2 * pollsToGiveUp(), whole) << r.pattern;
  }
}

TEST_F(RegExpLimitsTest, LongInputOnEveryMatcher)
{
  // The matchers keep their state on the heap: long texts and long matches
  // do not exhaust the call stack.
  const std::string bs = "a" + std::string(300000, 'b') + "ca";
  EXPECT_EQ(Extent("(a)b*c\\1", bs), "0-300003");
  std::string ab;
  for (int i = 0; i < 100000; ++i)
    ab += "ab";
  ab += "c";
  for (TRegExpMatcher m : AllMatchers)
    EXPECT_EQ(Extent("(a|b)*c", ab, 0, m), "0-200001") << MatcherName(m);
  EXPECT_EQ(Extent("x(a|b)*c", "x" + ab + ab), "0-200002");
}

TEST_F(RegExpLimitsTest, DeeplyNestedPatterns)
{
  std::string nested(5000, '(');
  nested += "a";
  nested += std::string(5000, ')');
  for (TRegExpMatcher m : AllMatchers)
    EXPECT_EQ(Extent(nested, "xa", 0, m), "1-2") << MatcherName(m);
  std::string stars = "a" + std::string(20000, '*');
  EXPECT_EQ(Extent(stars, "aaab"), "0-3");
  std::string intervals = "a";
  for (int i = 0; i < 2000; ++i)
    intervals += "{1,1}";
  EXPECT_EQ(Extent(intervals, "aaab"), "0-1");
}

TEST_F(RegExpLimitsTest, TwoThreadsSearchDifferentExpressions)
{
  std::string text;
  for (int i = 0; i < 2000; ++i)
    text += (i % 7 == 0) ? "He walked quickly. " : "They are walking slowly, Smith said. ";
  auto collect = [&](TRegExp& re) {
    std::vector<std::pair<int32_t, int32_t>> hits;
    int32_t s = -1, e = -1;
    for (int32_t p = 0; re.Search(text.data(), static_cast<int32_t>(text.size()), p, s, e); p = e)
      hits.emplace_back(s, e);
    return hits;
  };
  TRegExp a1("walk(ed|ing)");
  TRegExp b1("[[:upper:]][a-z]+ly\\b");
  const auto expectedA = collect(a1);
  const auto expectedB = collect(b1);
  ASSERT_FALSE(expectedA.empty());
  ASSERT_FALSE(expectedB.empty());

  bool sameA = true;
  bool sameB = true;
  std::thread ta([&] {
    TRegExp a("walk(ed|ing)");
    for (int round = 0; round < 20; ++round)
      sameA = sameA && collect(a) == expectedA;
  });
  std::thread tb([&] {
    TRegExp b("[[:upper:]][a-z]+ly\\b");
    for (int round = 0; round < 20; ++round)
      sameB = sameB && collect(b) == expectedB;
  });
  ta.join();
  tb.join();
  EXPECT_TRUE(sameA);
  EXPECT_TRUE(sameB);
}

TEST_F(RegExpLimitsTest, SyntaxTableFollowsTheCharacterTables)
{
  const uint8_t* syn = RegExpSyntaxTable;
  EXPECT_EQ(syn['a'], sySword);
  EXPECT_EQ(syn['Z'], sySword);
  EXPECT_EQ(syn['5'], sySword | syDigit);
  EXPECT_EQ(syn[' '], sySpace);
  EXPECT_EQ(syn['\t'], sySpace);
  EXPECT_EQ(syn['\n'], sySpace);
  EXPECT_EQ(syn[0xA0], sySpace);     // no-break space: space and blank
  EXPECT_EQ(syn['_'], sySword);
  EXPECT_EQ(syn[0xE9], sySword);     // e acute
  EXPECT_EQ(syn['.'], 0);            // a non-word character
  EXPECT_EQ(syn[0], 0);
  for (char c : std::string("-'@%*?"))  // other punctuation counts as letters
    EXPECT_EQ(syn[static_cast<unsigned char>(c)], sySword) << c;

  // Making '-' a non-word character takes it out of \w for expressions
  // compiled afterwards; an earlier expression keeps the table it copied.
  TRegExp before("\\w+");
  ConcordSettings.NonWordChars += "-";
  BuildCharTables();
  EXPECT_EQ(syn['-'], 0);
  TRegExp after("\\w+");
  EXPECT_EQ(Extent(before, "well-known"), "0-10");
  EXPECT_EQ(Extent(after, "well-known"), "0-4");
  EXPECT_EQ(Extent("[[:alpha:]]+", "well-known"), "0-4");
}

TEST_F(RegExpLimitsTest, IntervalDigitsAreAsciiOnly)
{
  // A hand-made table in which superscript two is a digit.
  std::memset(CharTypeTable, 0, sizeof CharTypeTable);
  for (int c = '0'; c <= '9'; ++c)
    CharTypeTable[c] = ctDigit;
  for (int c = 'a'; c <= 'z'; ++c)
    CharTypeTable[c] = ctLower;
  CharTypeTable[0xB2] = ctDigit;
  BuildRegExpSyntaxTable();
  EXPECT_EQ(RegExpSyntaxTable[0xB2], sySword | syDigit);
  EXPECT_EQ(Extent("x{\xB2}", "xx x{\xB2}"), "3-7");
  EXPECT_EQ(Extent("x{1\xB2}", "x{1\xB2}"), "0-5");
  EXPECT_EQ(Extent("\\d+", "a1\xB2" "3b"), "1-4");
  EXPECT_EQ(Extent("[[:digit:]]+", "a1\xB2" "3b"), "1-4");
  EXPECT_EQ(Extent("x{2}", "xxx"), "0-2");
}
