// The regular-expression dialect through TRegExp: syntax quirks, classes,
// translation, longest matches, back-references, anchors, errors. Every table
// runs on the automaton, the NFA simulation and the backtracker.
#include "regexp_fixture.h"

#include <algorithm>
#include <string>
#include <vector>

using namespace regexptest;

namespace {

class RegExpTest : public RegExpFixture {};

}  // namespace

TEST_F(RegExpTest, SyntaxQuirksKeptAsWritten)
{
  Check({
    {"a)", "(a)", 0, "1-3"},           // an unmatched ')' is ordinary
    {"(a))", "a)", 0, "0-2"},
    {"*abc", "xabc", 0, "1-4"},        // an operator with nothing before it is ignored
    {"a|*b", "xb", 0, "1-2"},
    {"(*a)", "ba", 0, "1-2"},
    {"+?a", "ba", 0, "1-2"},
    {"{2}a", "ba", 0, "1-2"},
    {"x{2,1}", "ax{2,1}", 0, "1-7"},   // invalid intervals are ordinary text
    {"x{40000}", "x{40000}", 0, "0-8"},
    {"x{32768}", "x{32768}", 0, "0-8"},
    {"x{", "ax{", 0, "1-3"},
    {"x{,3}", "x{,3}", 0, "0-5"},
    {"x{3", "xxx{3", 0, "2-5"},
    {"x{1,x}", "x{1,x}", 0, "0-6"},
    {"x{}", "x{}", 0, "0-3"},
    {"x{2}", "xxxx", 0, "0-2"},
    {"x{2,}", "xxxxx", 0, "0-5"},
    {"x{2,3}", "xxxx", 0, "0-3"},
    {"x{0}y", "xy", 0, "1-2"},
    {"x{0,0}y", "y", 0, "0-1"},
    {"a**", "aaab", 0, "0-3"},         // repeated operators
    {"a+?", "aa", 0, "0-2"},
    {"a+?", "baa", 0, "1-3"},          // a+? is a*: empty at 0, then "aa"
    {"\\n", "\nn", 0, "1-2"},          // any other escaped character is itself
    {"\\.", "a.b", 0, "1-2"},
    {"\\{2}", "a{2}", 0, "1-4"},
    {"\\0", "x0", 0, "1-2"},
    {"[]a]+", "x]a]", 0, "1-4"},       // ']' first in a list
    {"[^]a]", "]ax", 0, "2-3"},
    {"[\\]+", "a\\\\", 0, "1-3"},      // a backslash in a list is ordinary
    {"[\\n]+", "x\\n", 0, "1-3"},
    {"[a-]+", "x-a", 0, "1-3"},
    {"[-a]+", "x-a", 0, "1-3"},
    {"[[:alpha]+", "x[:ph", 0, "1-5"}, // "[:" without ":]"
    {"[[:]+", "x:[", 0, "1-3"},
    {"[a-c-e]+", "abcde-", 0, "0-5"},
    {"a|", "b", 0, "none"},            // empty alternatives
    {"|a", "ba", 0, "1-2"},
    {"|a", "a", 0, "0-1"},
    {"()", "a", 0, "none"},
    {"a^b", "a\nb", 0, "none"},
    {"a$", "ab\na", 0, "3-4"},
    {"a$", "ba\nb", 0, "1-2"},
    {"x^*a", "xa", 0, "1-2"},          // a repeat after an anchor covers the last atom too
  });
}

TEST_F(RegExpTest, RepeatsStackedOnCountedRepeatsKeepBothCounts)
{
  // Only x* x+ x? stacked on each other collapse into one repeat.
  Check({
    {"ba{2,}*c", "bac", 0, "none"},
    {"ba{2,}+c", "bac", 0, "none"},
    {"ba{0}*c", "bac", 0, "none"},
    {"ba*{0}c", "bac", 0, "none"},
    {"a{0,2}{0,2}", "aaaa", 0, "0-4"},
    {"ba{2,}*c", "baaac", 0, "0-5"},
    {"ba{0}*c", "xbc", 0, "1-3"},
  });
}

TEST_F(RegExpTest, EscapesAndClasses)
{
  Check({
    {"\\d+", "room 101", 0, "5-8"},
    {"\\s", "ab\tc", 0, "2-3"},
    {"\\s", "abc", 0, "none"},
    {"\\S+", "  word  ", 0, "2-6"},
    {"\\s+", "a \t\r\nb", 0, "1-5"},
    {"\\w+", "well-known fact", 0, "0-10"},  // '-' is not a non-word character
    {"[[:alpha:]]+", "well-known fact", 0, "0-10"},
    {"\\W", "ab.c", 0, "2-3"},
    {"\\D+", "12ab3", 0, "2-4"},
    {"\\w", "\xB2", 0, "0-1"},              // superscript two became a letter
    {"\\d", "\xB2", 0, "none"},
    {"[[:upper:]]", "abc", 0, "0-1"},       // upper and lower admit every letter
    {"[[:lower:]]", "ABC", 0, "0-1"},
    {"[[:upper:]]+", "\xE9t\xC9", 0, "0-3"},
    {"[[:blank:]]", "a\xA0 b", 0, "2-3"},   // only blank and tab
    {"[[:space:]]", "a\xA0" "b", 0, "1-2"},
    {"[[:digit:]]+", "x42y", 0, "1-3"},
    {"[[:xdigit:]]+", "zzBEEFz", 0, "2-6"},
    {"[[:punct:]]", "ab-c.d", 0, "4-5"},
    {"[[:cntrl:]]", "a\x01" "b", 0, "1-2"},
    {"[[:alnum:]]+", ".a1.", 0, "1-3"},
    {"[[:graph:]]+", " a.1 ", 0, "1-4"},
    {"[[:print:]]+", "\x01" "a b\x01", 0, "1-4"},
    {"[^[:alpha:]]+", "ab12cd", 0, "2-4"},
    {"[^a]", "a\nb", 0, "1-2"},             // a complement list takes newline
    {".", "\n", 0, "0-1"},
    {"a.c", "a\nc", 0, "0-3"},
    {"caf\xE9+", "un caf\xE9\xE9 ", 0, "3-8"},  // bytes above 0x7F
    {"[\xE0-\xFF]+", "x\xE9\xFCy", 0, "1-3"},
    {"[a-\xE9]", "\xE0", 0, "0-1"},         // range ends compared unsigned
    {"\\w+", "na\xEFve", 0, "0-5"},
  });
}

TEST_F(RegExpTest, TranslationFollowsTheFoldTable)
{
  Check({{"the", "The THE", 0, "none"}, {"[A-C]+", "abc", 0, "none"}});
  SetFolding(true, false);
  Check({
    {"the", "The THE", 0, "0-3"},
    {"the", "The THE", 1, "4-7"},
    {"[a-c]+", "xABCa", 0, "1-5"},
    {"[A-C]+", "xabc", 0, "1-4"},
    {"[^a]", "Ab", 0, "1-2"},
    {"\xE9t\xE9", "\xC9T\xC9", 0, "0-3"},
    {"(ab)\\1", "xabAB", 0, "1-5"},
    {"[[:digit:]]", "A", 0, "none"},
  });
  // An equal-character group folds to its lowest member, lower-cased.
  TCharSet group;
  for (unsigned char c : std::string("e\xE9\xE8"))
    group.set(c);
  ConcordSettings.EqualCharSets.assign(1, group);
  SetFolding(true, true);
  Check({
    {"caf\xE9", "CAFE", 0, "0-4"},
    {"caf\xE8", "caf\xC9", 0, "0-4"},
    {"[\xE8-\xE9]+", "xeE\xC8", 0, "1-4"},
    {"(e)\\1", "\xE9\xC8", 0, "0-2"},
  });
  SetFolding(false, true);
  Check({{"caf\xE9", "cafe", 0, "0-4"}, {"caf\xE9", "CAFE", 0, "none"}});
}

TEST_F(RegExpTest, LongestMatchAtTheLeftmostStart)
{
  Check({
    {"a|ab", "abc", 0, "0-2"},
    {"(a|ab)(c|bcd)", "abcd", 0, "0-4"},
    {"abcd|bc", "abcd", 0, "0-4"},            // leftmost beats the earlier end
    {"bc|abcd", "xabcd", 0, "1-5"},
    {"(wee|week)(knights|night)", "weeknights", 0, "0-10"},
    {"(a|b)*ab", "ababx", 0, "0-4"},
    {"a*", "aab", 0, "0-2"},
    {"x*", "abx", 0, "2-3"},                  // an empty match is passed over
    {"x*", "abc", 0, "none"},
    {"b?", "ab", 0, "1-2"},
    {"[0-9]*", "ab 12", 0, "3-5"},
    {"(a|ab)(bc|c)?", "abc", 0, "0-3"},
    {"(.*)(a|b)", "aab", 0, "0-3"},
    {"a(b|bc)*c?", "abcbcx", 0, "0-5"},
    {"(ab|a)(bc|c)*(d|cd)", "abcd", 0, "0-4"},
  });
}

TEST_F(RegExpTest, BackReferences)
{
  Check({
    {"(ab)\\1", "xabab", 0, "1-5"},
    {"(a)(b)\\2\\1", "abba", 0, "0-4"},
    {"(a\\1)", "aa1", 0, "1-3"},              // a group still open: the digit itself
    {"(a)|b\\1", "bb", 0, "none"},            // a group that did not take part fails
    {"(a)|b\\1", "bab", 0, "1-2"},
    {"(a*)b\\1", "aabaa", 0, "0-5"},
    {"(a*)b\\1", "aaba", 0, "1-4"},
    {"([a-c]*)\\1", "abcabc", 0, "0-6"},
    {"(.)\\1", "abccd", 0, "2-4"},
    {"(a|ab)(c|bcd)\\2", "abcdbcd", 0, "0-7"},
    {"((a)|b)+\\2", "abba", 0, "0-4"},      // a group keeps its last text
  });
}

TEST_F(RegExpTest, AnchorsAndWordBoundariesLookBeforeTheStart)
{
  Check({
    {"^b", "ab", 1, "none"},
    {"^b", "a\nb", 2, "2-3"},
    {"^a", "a", 0, "0-1"},
    {"\\`a", "aa", 1, "none"},
    {"\\`a", "aa", 0, "0-1"},
    {"a\\'", "aa", 0, "1-2"},
    {"b$", "ab\nc", 0, "1-2"},
    {"b$", "abc", 0, "none"},
    {"\\bb", "ab", 1, "none"},
    {"\\bb", ".b", 1, "1-2"},
    {"\\Bb", "ab", 1, "1-2"},
    {"\\<b", "ab", 1, "none"},
    {"\\<b", " b", 1, "1-2"},
    {"a\\>", "ab", 0, "none"},
    {"a\\>", "a b", 0, "0-1"},
    {"a\\>", "a", 0, "0-1"},
    {"\\Ba", "a", 0, "none"},                 // \B is false at the text edges
    {"a\\B", "a", 0, "none"},
    {"\\ba\\b", "a", 0, "0-1"},
    {"\\b\\.", ".", 0, "0-1"},                // \b is true at the text edges
    {"\\.\\b", ".", 0, "0-1"},
    {"\\.\\b", ". ", 0, "none"},
    {"\\<", "ab", 0, "none"},
    {"\\<\\w+\\>", "..abc..", 2, "2-5"},
    {"\\<\\w+\\>", "..abc..", 3, "none"},
  });
}

TEST_F(RegExpTest, NulBytesAndTheTextLength)
{
  const std::string nul("a\0b", 3);
  for (TRegExpMatcher m : AllMatchers) {
    EXPECT_EQ(Extent("a.b", nul, 0, m), "none") << MatcherName(m);  // '.' never takes NUL
    EXPECT_EQ(Extent("a[^x]b", nul, 0, m), "0-3") << MatcherName(m);
    EXPECT_EQ(Extent("a\\Wb", nul, 0, m), "0-3") << MatcherName(m);
    EXPECT_EQ(Extent("b", nul, 0, m), "2-3") << MatcherName(m);

    // The NUL-terminated form ends at the first NUL.
    TRegExp re("b", m);
    int32_t s = -1, e = -1;
    EXPECT_FALSE(re.Search(nul.c_str(), 0, s, e));
    EXPECT_TRUE(re.Search("abc", 0, s, e));
    EXPECT_EQ(s, 1);
    EXPECT_EQ(e, 2);

    // Bytes past the length are never looked at; the length is the text end.
    const char buffer[] = "abc";
    EXPECT_EQ(Extent("c", std::string_view(buffer, 2), 0, m), "none");
    TRegExp end("b$", m);
    EXPECT_TRUE(end.Search(buffer, 2, 0, s, e));
    EXPECT_EQ(e, 2);
    TRegExp edge("b\\>", m);
    EXPECT_TRUE(edge.Search(buffer, 2, 0, s, e));
  }
}

TEST_F(RegExpTest, StartPositionsOutsideTheTextFindNothing)
{
  TRegExp re("a");
  int32_t s = -1, e = -1;
  EXPECT_FALSE(re.Search("aaa", 3, 3, s, e));
  EXPECT_FALSE(re.Search("aaa", 3, 7, s, e));
  EXPECT_FALSE(re.Search("aaa", 3, -1, s, e));
  EXPECT_FALSE(re.Search(nullptr, 0, s, e));
  EXPECT_EQ(re.LastOutcome(), TRegExpOutcome::NoMatch);
  EXPECT_TRUE(re.Search("aaa", 3, 2, s, e));
  EXPECT_EQ(re.LastOutcome(), TRegExpOutcome::Found);
}

TEST_F(RegExpTest, RepeatedSearchesWalkThroughABuffer)
{
  const std::string text = "He walked; she is walking, they walk. Walked!";
  for (bool ignoreCase : {false, true}) {
    SetFolding(ignoreCase, false);
    for (TRegExpMatcher m : AllMatchers) {
      TRegExp re("walk(ed|ing)", m);
      std::string found;
      int32_t s = -1, e = -1;
      for (int32_t p = 0; re.Search(text.data(), static_cast<int32_t>(text.size()), p, s, e); p = e)
        found += text.substr(s, e - s) + ";";
      EXPECT_EQ(found, ignoreCase ? "walked;walking;Walked;" : "walked;walking;") << MatcherName(m);
    }
  }
}

TEST_F(RegExpTest, ErrorTexts)
{
  const struct {
    std::string pattern;
    const char* error;
  } cases[] = {
    {"[z-a]", "Invalid range end"},
    {"[\xE9-a]", "Invalid range end"},
    {"[[:digit:]-z]", "Invalid range end"},
    {"(a", "Unmatched ( or \\("},
    {"((a)", "Unmatched ( or \\("},
    {"a(", "Unmatched ( or \\("},
    {"[a", "Unmatched [ or [^"},
    {"[-", "Unmatched [ or [^"},
    {"[a-", "Invalid range end"},             // a range whose end is missing
    {"[a-b-", "Invalid range end"},
    {"[", "Unmatched [ or [^"},
    {"[^", "Unmatched [ or [^"},
    {"[]", "Unmatched [ or [^"},
    {"[[:alpha:", "Unmatched [ or [^"},
    {"a\\", "Trailing backslash"},
    {"\\", "Trailing backslash"},
    {"\\1", "Invalid back reference"},
    {"(a)\\2", "Invalid back reference"},
    {"[[:foo:]]", "Invalid character class name"},
    {"[[:ALPHA:]]", "Invalid character class name"},
    {"[[:a]b:]", "Invalid character class name"},
    {std::string(70000, 'a'), "Regular expression too big"},
    {[] {
       std::string p;
       for (int i = 0; i < 5000; ++i)
         p += "[ab]";
       return p;
     }(),
     "Regular expression too big"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(CompileError(c.pattern), c.error) << c.pattern.substr(0, 40);

  // Counted repeats are not expanded in the compact form, however large.
  const std::string longLiteral(20000, 'a');
  for (const std::string& ok : {std::string("x{32767}"), std::string("(x{32767}){32767}"),
                                std::string("((a{1000}){1000}){1000}"), std::string("a)"),
                                std::string("x{2,1}"), std::string("[[:alpha]"), std::string("*a"),
                                longLiteral})
    EXPECT_EQ(CompileError(ok), "") << ok.substr(0, 40);

  EXPECT_STREQ(RegExpErrorTexts[0], "Success");
  EXPECT_STREQ(RegExpErrorTexts[1], "No match");
  EXPECT_STREQ(RegExpErrorTexts[9], "Unmatched \\{");
  EXPECT_STREQ(RegExpErrorTexts[10], "Invalid content of \\{\\}");
  EXPECT_STREQ(RegExpErrorTexts[16], "Unmatched ) or \\)");
  EXPECT_EQ(std::count(RegExpErrorTexts[8], RegExpErrorTexts[8] + 17, '\\'), 1);
  EXPECT_STREQ(RegExpErrorTexts[12], "Memory exhausted");
  EXPECT_STREQ(RegExpInternalError, "Internal regexp error.");
  EXPECT_TRUE((std::is_base_of_v<std::runtime_error, ERegExp>));
}

TEST_F(RegExpTest, ExpressionsMoveWithTheirTables)
{
  std::vector<TRegExp> list;
  list.emplace_back("walk(ed|ing)");
  list.emplace_back("(a)\\1");
  SetFolding(true, false);  // later tables do not touch compiled expressions
  list.emplace_back("walk");
  TRegExp moved = std::move(list[0]);
  EXPECT_EQ(Extent(moved, "WALKED walking"), "7-14");
  EXPECT_EQ(Extent(list[1], "xaa"), "1-3");
  EXPECT_EQ(Extent(list[2], "WALK"), "0-4");
}

TEST_F(RegExpTest, MatcherChoice)
{
  EXPECT_EQ(TRegExp("walk(ed|ing)").Matcher(), TRegExpMatcher::Dfa);
  EXPECT_EQ(TRegExp("(a)\\1").Matcher(), TRegExpMatcher::Backtracker);
  EXPECT_EQ(TRegExp("(x{200}){200}").Matcher(), TRegExpMatcher::Backtracker);
  EXPECT_EQ(TRegExp("x{1000}").Matcher(), TRegExpMatcher::Dfa);
  EXPECT_EQ(TRegExp("walk", TRegExpMatcher::Nfa).Matcher(), TRegExpMatcher::Nfa);
  EXPECT_EQ(TRegExp("(a)\\1", TRegExpMatcher::Nfa).Matcher(), TRegExpMatcher::Backtracker);
}

TEST_F(RegExpTest, LargeCountedRepeatsOnEitherMatcher)
{
  const std::string xs(400, 'x');
  EXPECT_EQ(Extent("x{300}", xs), "0-300");
  EXPECT_EQ(Extent("(x{12}){12}", xs), "0-144");
  EXPECT_EQ(Extent("((x{100}){100}){3}", std::string(30000, 'x')), "0-30000");  // backtracker
  EXPECT_EQ(Extent("x{32767}", xs), "none");
  EXPECT_EQ(Extent("y(x{2,5}){3,}", "y" + xs.substr(0, 17)), "0-18");
}
