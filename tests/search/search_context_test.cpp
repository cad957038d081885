#include "search/search_context.h"

#include "foundation/buf_stream.h"
#include "foundation/buf_stream_config.h"
#include "foundation/chartables.h"
#include "foundation/settings.h"
#include "foundation/sync_stream.h"
#include "search/regexp.h"
#include "support/scratch_folder.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

// An owner that records what the matcher asks of it and presses Cancel at
// the Nth check (0: never).
class FakeOwner : public TSearchOwner {
public:
  void ProcessMessages() override { ++pumps; }
  bool CancelPressed() override
  {
    ++checks;
    return cancelAtCheck > 0 && checks >= cancelAtCheck;
  }
  void UpdateProgress(int32_t position, bool) override { progress.push_back(position); }

  int cancelAtCheck = 0;
  int checks = 0;
  int pumps = 0;
  std::vector<int32_t> progress;
};

TCharSet SetOf(const std::string& chars)
{
  TCharSet set;
  for (char c : chars)
    set.set(static_cast<unsigned char>(c));
  return set;
}

struct Term {
  int kind;
  std::string text;
  bool operator==(const Term&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Term& t)
{
  return out << "{" << t.kind << ", \"" << t.text << "\"}";
}

std::vector<Term> TermsOf(const TSearchContext& context)
{
  std::vector<Term> terms;
  for (const TTerm& t : context.Terms)
    terms.push_back({t.Kind, t.Text});
  return terms;
}

// Settings as a fresh installation reads them; every test starts from these
// and gets the previous settings back afterwards.
class SearchContextTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    saved_ = ConcordSettings;
    ConcordSettings.NonWordChars = ".,;:!#$^&()[]{}<>+=/\\|`~\"";
    ConcordSettings.SkippingChars = "-=";
    ConcordSettings.EqualChars.clear();
    ConcordSettings.EqualCharSets.assign(1, TCharSet{});
    ConcordSettings.WildCard0orMore = '*';
    ConcordSettings.WildCard0or1 = '%';
    ConcordSettings.WildCardExactly1 = '?';
    ConcordSettings.WildCardMatchWords = '@';
    ConcordSettings.MatchWordsLo = 2;
    ConcordSettings.MatchWordsHi = 5;
    ConcordSettings.TagSearchSeparator = '&';
    ConcordSettings.IgnoreCase = true;
    ConcordSettings.UseSkipEqualChars = false;
    ConcordSettings.TagStart = '<';
    ConcordSettings.TagStop = '>';
    ConcordSettings.WordTag = 0;
    ConcordSettings.wTagBefore = false;
    ConcordSettings.wTagDelimiter = '_';
    ConcordSettings.wTagStarts.clear();
    ConcordSettings.wTagStop = '>';
    ConcordSettings.MetaTags.clear();
    SetTextLanguage(0x409);
    BuildCharTables();
  }

  void TearDown() override
  {
    ConcordSettings = saved_;
    BuildCharTables();
  }

  // Opens a reader over a new file with this text, configured from the
  // settings; a small window makes words and tags straddle its slides.
  TBufStream& Open(const std::string& text, int32_t windowSize = TBufStream::BufferSize)
  {
    const std::string path = folder_.write("corpus" + std::to_string(files_++) + ".txt", text);
    text_ = text;
    reader_.reset();
    stream_ = std::make_unique<TFileSynchroStream>(path, CorpusFileMode);
    TCharSet delimiters;
    BuildDelimiterSet(delimiters);
    reader_ = std::make_unique<TBufStream>(stream_.get(), delimiters, windowSize);
    ConfigureBufStream(*reader_);
    return *reader_;
  }

  std::unique_ptr<TSearchContext> Context(const std::string& pattern, TSearchMode mode = TSearchMode::Text,
                                          uint8_t options = 0)
  {
    const bool caseSensitive = options & soCaseSensitive;
    TCharSet skip;
    if (options & soSkipEqual) {
      const std::string chars =
        caseSensitive ? ConcordSettings.SkippingChars : LocaleLowerStr(ConcordSettings.SkippingChars);
      skip = SetOf(chars);
    }
    auto context = std::make_unique<TSearchContext>(pattern, caseSensitive, "", skip, mode);
    context->Owner = &owner_;
    return context;
  }

  // The hits as text: leading blanks and line ends trimmed (in Text mode all
  // delimiters), and the consumed delimiter after the last word dropped.
  std::vector<std::string> Hits(TSearchContext& context, TBufStream& reader)
  {
    std::vector<std::string> hits;
    while (context.FindNextHit(reader, true)) {
      EXPECT_EQ(reader.GetPosition(), context.HitEnd);
      int32_t start = context.HitStart;
      const int32_t end = context.HitEnd - (context.HitEndAfterDelimiter ? 1 : 0);
      if (context.Mode == TSearchMode::Tag) {
        start = FirstTokenAt(start, end);
      } else {
        while (start < end && context.Delimiters[static_cast<unsigned char>(text_[start])])
          ++start;
      }
      hits.push_back(text_.substr(start, end - start));
      if (hits.size() > 1000)
        break;
    }
    return hits;
  }

  // Where the first word or tag of [start, end) begins, by the reader's classes.
  int32_t FirstTokenAt(int32_t start, int32_t end)
  {
    TBufStream reader(stream_.get());
    ConfigureBufStream(reader);
    reader.SetRange(start, end);
    while (!reader.AtEnd()) {
      const int32_t position = reader.GetPosition();
      TCharClass cls{};
      reader.NextCharClassified(cls);
      if (cls == ccWord || cls == ccWordTag)
        return position;
    }
    return end;
  }

  // The hits of a pattern in a text, the same with every window size (in Tag
  // mode a window must hold a tag's start string for the reader to see it).
  std::vector<std::string> Hits(const std::string& pattern, const std::string& text,
                                TSearchMode mode = TSearchMode::Text, uint8_t options = 0)
  {
    auto context = Context(pattern, mode, options);
    const std::vector<std::string> hits = Hits(*context, Open(text));
    for (int32_t windowSize : {mode == TSearchMode::Tag ? 3 : 1, 4, 7}) {
      auto again = Context(pattern, mode, options);
      EXPECT_EQ(Hits(*again, Open(text, windowSize)), hits) << "window of " << windowSize;
    }
    return hits;
  }

  FakeOwner owner_;
  std::string text_;

private:
  ConcordConfig saved_;
  testsupport::ScratchFolder folder_;
  int files_ = 0;
  std::unique_ptr<TFileSynchroStream> stream_;
  std::unique_ptr<TBufStream> reader_;
};

using Strings = std::vector<std::string>;

// ---------------------------------------------------------------------------
// Patterns to terms

TEST_F(SearchContextTest, TextPatternsSplitAtBlanksAndGaps)
{
  struct Case { std::string pattern; std::vector<Term> terms; };
  const std::vector<Case> cases = {
    {"the@cat", {{0, "the"}, {4, ""}, {0, "cat"}}},
    {"the @@ cat", {{0, "the"}, {5, ""}, {0, "cat"}}},
    {"@@@", {{5, ""}}},
    {"gap@ x", {{0, "gap"}, {4, ""}, {0, "x"}}},
    {"@@@@ a", {{5, ""}, {0, "a"}}},
    {"  \tThe  Cat\t", {{0, "the"}, {0, "cat"}}},
    {"Walk* 10%", {{0, "walk*"}, {0, "10%"}}},
    {"dog&NN", {{0, "dog&nn"}}},
    {"", {}},
    {" \t ", {}},
    {std::string("one\0two", 7), {{0, "one"}}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(TermsOf(*Context(c.pattern)), c.terms) << c.pattern;
}

TEST_F(SearchContextTest, CaseSensitivePatternsKeepTheirCase)
{
  EXPECT_EQ(TermsOf(*Context("The CAT", TSearchMode::Text, soCaseSensitive)),
            (std::vector<Term>{{0, "The"}, {0, "CAT"}}));
  EXPECT_EQ(TermsOf(*Context("dog&NN*", TSearchMode::Tag, soCaseSensitive)),
            (std::vector<Term>{{0, "dog"}, {1, "NN*"}}));
}

TEST_F(SearchContextTest, SettingsCharactersAreTheGapAndWildcards)
{
  ConcordSettings.WildCardMatchWords = '~';
  ConcordSettings.TagSearchSeparator = '/';
  EXPECT_EQ(TermsOf(*Context("a~b ~~ c@d")), (std::vector<Term>{{0, "a"}, {4, ""}, {0, "b"}, {5, ""}, {0, "c@d"}}));
  EXPECT_EQ(TermsOf(*Context("dog/nn&x", TSearchMode::Tag)), (std::vector<Term>{{0, "dog"}, {1, "nn&x"}}));
}

TEST_F(SearchContextTest, TagPatternsSplitIntoWordAndTag)
{
  ConcordSettings.MetaTags = {{"NOUN", {"NN*", "NP"}}};
  struct Case { std::string pattern; std::vector<Term> terms; };
  const std::vector<Case> cases = {
    {"dog&NN*", {{0, "dog"}, {1, "nn*"}}},
    {"dog", {{0, "dog"}, {1, "*"}}},
    {"&", {{0, "*"}, {1, "*"}}},
    {"**", {{0, "*"}, {1, ""}}},
    {"&NN", {{0, "*"}, {1, "nn"}}},
    {"run&", {{0, "run"}, {1, "*"}}},
    {"a&b&c", {{0, "a"}, {1, "b&c"}}},
    {"dog&Noun", {{0, "dog"}, {2, "noun"}}},
    {"dog&noun?", {{0, "dog"}, {1, "noun?"}}},
    {"big @ dog&nn", {{0, "big"}, {1, "*"}, {4, ""}, {0, "dog"}, {1, "nn"}}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(TermsOf(*Context(c.pattern, TSearchMode::Tag)), c.terms) << c.pattern;
}

TEST_F(SearchContextTest, TagTermComesFirstOnlyForOutsideTagsBeforeTheWord)
{
  ConcordSettings.wTagBefore = true;
  ConcordSettings.WordTag = 2;
  EXPECT_EQ(TermsOf(*Context("dog&nn", TSearchMode::Tag)), (std::vector<Term>{{1, "nn"}, {0, "dog"}}));
  ConcordSettings.WordTag = 0;
  EXPECT_EQ(TermsOf(*Context("dog&nn", TSearchMode::Tag)), (std::vector<Term>{{1, "nn"}, {0, "dog"}}));
  ConcordSettings.WordTag = 1;
  EXPECT_EQ(TermsOf(*Context("dog&nn", TSearchMode::Tag)), (std::vector<Term>{{0, "dog"}, {1, "nn"}}));
}

TEST_F(SearchContextTest, RegexPatternIsOneUntouchedTerm)
{
  auto context = Context("The @ (b|c)+  x", TSearchMode::Regex);
  ASSERT_EQ(context->TermCount, 1);
  EXPECT_EQ(context->Terms[0].Kind, tkRegExp);
  EXPECT_EQ(context->Terms[0].Text, "The @ (b|c)+  x");
  EXPECT_NE(context->Terms[0].RegExp, nullptr);
}

TEST_F(SearchContextTest, RegexCompileErrorPassesOutOfTheContext)
{
  try {
    Context("(a", TSearchMode::Regex);
    FAIL() << "no ERegExp";
  } catch (const ERegExp& e) {
    EXPECT_STREQ(e.what(), "Unmatched ( or \\(");
  }
}

// ---------------------------------------------------------------------------
// Wildcards

struct WildCase {
  const char* pattern;
  const char* word;
  bool match;
};

TEST_F(SearchContextTest, WildcardsWithoutSkipping)
{
  auto context = Context("x");
  const WildCase cases[] = {
    {"a*", "a", true}, {"a*", "ab", true}, {"a*", "ba", false},
    {"a%", "ab", true}, {"a%", "a", true}, {"a%", "abc", false},
    {"a%b", "ab", true}, {"a%b", "axb", true}, {"a%b", "axxb", false},
    {"?", "x", true}, {"?", "", false}, {"?", "xy", false},
    {"*", "", true}, {"%", "", true}, {"*%*", "", true}, {"", "", true}, {"", "a", false},
    {"a*b*c", "aXbYc", true}, {"a*b*c", "aXbY", false}, {"*ing", "walking", true},
    {"a**", "a", true}, {"a*%", "abc", true}, {"a*?", "a", false},
    {"\xE9t\xE9", "\xE9t\xE9", true}, {"\xFF*", "\xFFx", true},
  };
  for (const WildCase& c : cases)
    EXPECT_EQ(context->MatchWildcard(c.word, c.pattern), c.match) << c.pattern << " / " << c.word;
}

TEST_F(SearchContextTest, WildcardsWithSkippingCharacters)
{
  auto context = Context("x", TSearchMode::Text, soSkipEqual);
  const WildCase cases[] = {
    {"a*", "a-b", true}, {"ab", "a-b", true}, {"ab", "ab-", true}, {"ab", "-a--b-", true},
    {"a-b", "a-b", false},  // a skipping character in the pattern meets the next letter
    {"a%", "ab-", false},   // a final '%' counts the skipping characters
    {"a%", "a-", true}, {"a?c", "a-b-c", true}, {"?", "--", false}, {"", "--", true},
  };
  for (const WildCase& c : cases)
    EXPECT_EQ(context->MatchWildcard(c.word, c.pattern), c.match) << c.pattern << " / " << c.word;
}

TEST_F(SearchContextTest, WildcardsFollowTheSettingsCharacters)
{
  ConcordSettings.WildCard0orMore = '#';
  ConcordSettings.WildCard0or1 = 0;  // switched off
  auto context = Context("x");
  EXPECT_TRUE(context->MatchWildcard("walked", "walk#"));
  EXPECT_FALSE(context->MatchWildcard("walked", "walk*"));
  EXPECT_TRUE(context->MatchWildcard("walk*", "walk*"));
  EXPECT_FALSE(context->MatchWildcard("walk", "walk%"));
  EXPECT_TRUE(context->MatchWildcard("walk%", "walk%"));
}

TEST_F(SearchContextTest, EqualCharacterGroupsFollowTheSettingsSwitch)
{
  ConcordSettings.EqualCharSets = {SetOf("e\xE9\xE8")};
  auto context = Context("x");
  EXPECT_FALSE(context->MatchWildcard("caf\xE9", "cafe"));
  ConcordSettings.UseSkipEqualChars = true;
  EXPECT_TRUE(context->MatchWildcard("caf\xE9", "cafe"));
  EXPECT_TRUE(context->MatchWildcard("caf\xE8", "caf\xE9"));
  EXPECT_FALSE(context->MatchWildcard("cafa", "cafe"));
}

// The matcher as the letter has it, without a memo: exponential, so only for
// short inputs.
bool ReferenceMatch(std::string_view w, std::string_view p, const TCharSet& skip)
{
  size_t pi = 0;
  size_t wi = 0;
  while (pi < p.size() && wi < w.size()) {
    while (wi < w.size() && skip[static_cast<unsigned char>(w[wi])])
      ++wi;
    if (wi == w.size())
      break;
    if (p[pi] == '*') {
      if (pi + 1 == p.size())
        return true;
      for (size_t k = wi; k < w.size(); ++k) {
        if (ReferenceMatch(w.substr(k), p.substr(pi + 1), skip))
          return true;
      }
      return false;
    }
    if (p[pi] == '%') {
      if (pi + 1 == p.size())
        return w.size() - wi == 1;
      return ReferenceMatch(w.substr(wi), p.substr(pi + 1), skip)
             || ReferenceMatch(w.substr(wi + 1), p.substr(pi + 1), skip);
    }
    if (p[pi] != '?' && p[pi] != w[wi])
      return false;
    ++pi;
    ++wi;
  }
  if (pi < p.size())
    return p.find_first_not_of("*%", pi) == std::string_view::npos;
  for (; wi < w.size(); ++wi) {
    if (!skip[static_cast<unsigned char>(w[wi])])
      return false;
  }
  return true;
}

TEST_F(SearchContextTest, MemoisedWildcardsAgreeWithThePlainRecursion)
{
  std::mt19937 random(20240611);
  auto pick = [&random](const char* alphabet, size_t maxLength) {
    std::string s(random() % (maxLength + 1), ' ');
    const size_t n = std::char_traits<char>::length(alphabet);
    for (char& c : s)
      c = alphabet[random() % n];
    return s;
  };
  for (uint8_t options : {uint8_t{0}, uint8_t{soSkipEqual}}) {
    auto context = Context("x", TSearchMode::Text, options);
    for (int i = 0; i < 20000; ++i) {
      const std::string pattern = pick("ab*%?*", 8);
      const std::string word = pick("aab-", 10);
      ASSERT_EQ(context->MatchWildcard(word, pattern), ReferenceMatch(word, pattern, context->SkipSet))
        << "pattern " << pattern << " word " << word << " options " << int(options);
    }
  }
}

TEST_F(SearchContextTest, PathologicalStarsFinish)
{
  auto context = Context("x");
  const std::string as(255, 'a');
  EXPECT_FALSE(context->MatchWildcard(as, "*a*a*a*a*a*a*a*b"));
  EXPECT_TRUE(context->MatchWildcard(as.substr(1) + "b", "*a*a*a*a*a*a*a*b"));
  EXPECT_FALSE(context->MatchWildcard(as, std::string(40, '%') + "b"));
  EXPECT_FALSE(context->MatchWildcard(as, "*a%a*a%a*a%a*a%a*a%a*a%a*a%a*a%a*a%a*a%ab"));
}

// ---------------------------------------------------------------------------
// Text mode scans

TEST_F(SearchContextTest, TextModeHits)
{
  struct Case { std::string pattern; std::string text; Strings hits; };
  const std::vector<Case> cases = {
    {"dog", "The dog, the DOG and the dogs.", {"dog", "DOG"}},
    {"dog*", "The dog, the DOG and the dogs.", {"dog", "DOG", "dogs"}},
    {"the dog", "The dog, the DOG and the dogs.", {"The dog", "the DOG"}},
    {"a a", "a a a", {"a a"}},
    {"a b", "a a b", {"a b"}},
    {"walk*", "walk walked sidewalk walking", {"walk", "walked", "walking"}},
    {"wh?t", "what wh*t whit", {"what", "whit"}},
    {"me%home", "me@home meXhome mehome", {"me@home", "meXhome", "mehome"}},
    {"cat", "<b>cat</b>", {"cat"}},
    {"b", "<b>cat</b>", {"b", "b"}},
    {"dog", "cat\r\ndog\r\n", {"dog"}},
    {"x", "", {}},
    {"", "some words", {}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Hits(c.pattern, c.text), c.hits) << c.pattern << " in " << c.text;
}

TEST_F(SearchContextTest, CaseSensitiveTextMode)
{
  EXPECT_EQ(Hits("The", "the The THE", TSearchMode::Text, soCaseSensitive), (Strings{"The"}));
  EXPECT_EQ(Hits("The", "the The THE"), (Strings{"the", "The", "THE"}));
}

TEST_F(SearchContextTest, WordGaps)
{
  struct Case { std::string pattern; std::string text; Strings hits; };
  const std::vector<Case> cases = {
    {"big @ dog", "big a b dog", {"big a b dog"}},
    {"big @ dog", "big a b c d e dog", {"big a b c d e dog"}},
    {"big @ dog", "big a dog", {}},
    {"big @ dog", "big a b c d e f dog", {}},
    {"big @ dog", "big a b dog c dog", {"big a b dog"}},  // the shortest gap wins
    {"big @", "big a b c d", {"big a b"}},
    {"big @", "big a", {}},
    {"big @@ dog", "big dog, big a b c d e f g dog", {"big dog", "big a b c d e f g dog"}},
    {"big @@", "big a b", {"big"}},
    {"@ dog", "a b dog", {"a b dog"}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Hits(c.pattern, c.text), c.hits) << c.pattern << " in " << c.text;
}

TEST_F(SearchContextTest, WordGapWithUpperBoundNotAboveLowerIsExact)
{
  ConcordSettings.MatchWordsLo = 3;
  ConcordSettings.MatchWordsHi = 1;
  EXPECT_EQ(Hits("a @ z", "a 1 2 z a 1 2 3 z a 1 2 3 4 z"), (Strings{"a 1 2 3 z"}));
}

TEST_F(SearchContextTest, SkippingCharactersJoinWords)
{
  ConcordSettings.NonWordChars += "-";
  EXPECT_EQ(Hits("ab", "a-b ab- a=b", TSearchMode::Text, soSkipEqual), (Strings{"a-b", "ab-", "a=b"}));
  EXPECT_EQ(Hits("ab", "a-b ab- a=b"), (Strings{"ab"}));
  EXPECT_EQ(Hits("b", "a-b ab- a=b"), (Strings{"b", "b"}));
}

TEST_F(SearchContextTest, UpperCaseEqualGroupNeverFiresInIgnoreCaseSearch)
{
  ConcordSettings.UseSkipEqualChars = true;
  ConcordSettings.EqualCharSets = {SetOf("E\xC9")};
  EXPECT_EQ(Hits("cafe", "CAF\xC9"), Strings{});
  EXPECT_EQ(Hits("CAFE", "CAF\xC9", TSearchMode::Text, soCaseSensitive), (Strings{"CAF\xC9"}));
}

TEST_F(SearchContextTest, LongWordsCompareByTheirFirst255Characters)
{
  const std::string text = std::string(300, 'x') + " y";
  EXPECT_EQ(Hits(std::string(255, 'x'), text), (Strings{std::string(300, 'x')}));
  EXPECT_EQ(Hits(std::string(256, 'x'), text), Strings{});
  EXPECT_EQ(Hits("y", text), (Strings{"y"}));
}

TEST_F(SearchContextTest, NulIsADelimiterNotTheEnd)
{
  const std::string text("cat\0dog\0\0bird", 13);
  EXPECT_EQ(Hits("dog", text), (Strings{"dog"}));
  EXPECT_EQ(Hits("bird", text), (Strings{"bird"}));
  EXPECT_EQ(Hits("cat dog bird", text), (Strings{std::string("cat\0dog\0\0bird", 13)}));
}

TEST_F(SearchContextTest, HitEndKnowsWhetherADelimiterWasConsumed)
{
  auto context = Context("cat");
  TBufStream& reader = Open("cat cat");
  ASSERT_TRUE(context->FindNextHit(reader, true));
  EXPECT_EQ(context->HitStart, 0);
  EXPECT_EQ(context->HitEnd, 4);
  EXPECT_TRUE(context->HitEndAfterDelimiter);
  ASSERT_TRUE(context->FindNextHit(reader, true));
  EXPECT_EQ(context->HitStart, 4);
  EXPECT_EQ(context->HitEnd, 7);
  EXPECT_FALSE(context->HitEndAfterDelimiter);
  EXPECT_FALSE(context->FindNextHit(reader, true));
}

TEST_F(SearchContextTest, ScanKeepsToTheReadersRange)
{
  auto context = Context("cat*");
  TBufStream& reader = Open("cat one catalog cat");
  reader.SetRange(1, 11);  // "at one cat"
  EXPECT_EQ(Hits(*context, reader), (Strings{"cat"}));
  EXPECT_EQ(context->HitEnd, 11);
  EXPECT_FALSE(context->HitEndAfterDelimiter);
}

TEST_F(SearchContextTest, PatternsOfGapsOnlyStillMoveOn)
{
  ConcordSettings.MatchWordsLo = 0;
  ConcordSettings.MatchWordsHi = 0;
  for (const std::string pattern : {"@", "@@", "@@ @"}) {
    auto context = Context(pattern);
    TBufStream& reader = Open("a b c");
    std::vector<int32_t> starts;
    while (context->FindNextHit(reader, true) && starts.size() < 100)
      starts.push_back(context->HitStart);
    EXPECT_EQ(starts, (std::vector<int32_t>{0, 2, 4, 5})) << pattern;
  }
}

// ---------------------------------------------------------------------------
// Tag mode scans

TEST_F(SearchContextTest, EmbeddedTags)
{
  ConcordSettings.WordTag = 1;
  ConcordSettings.MetaTags = {{"Noun", {"NN*", "NP"}}};
  const std::string text = "The_DT dog_NN barked_VBD at Rex_NP . cat_NNS";
  struct Case { std::string pattern; Strings hits; };
  const std::vector<Case> cases = {
    {"dog&NN", {"dog_NN"}},
    {"&NN", {"dog_NN"}},
    {"&nn*", {"dog_NN", "cat_NNS"}},
    {"*&VB?", {"barked_VBD"}},
    {"dog&VB", {}},
    {"dog", {"dog_NN"}},
    {"**", {"at"}},
    {"at&", {"at"}},
    {"at&*", {"at"}},
    {"at&X", {}},
    {"&NOUN", {"dog_NN", "Rex_NP", "cat_NNS"}},
    {"the dog&nn", {"The_DT dog_NN"}},
    {"the @ at", {"The_DT dog_NN barked_VBD at"}},
    {"dog @@ rex&np", {"dog_NN barked_VBD at Rex_NP"}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Hits(c.pattern, text, TSearchMode::Tag), c.hits) << c.pattern;
}

TEST_F(SearchContextTest, LastWordWithoutTagIsNoWordFirstHit)
{
  ConcordSettings.WordTag = 1;
  EXPECT_EQ(Hits("*", "big dog", TSearchMode::Tag), (Strings{"big"}));
  EXPECT_EQ(Hits("*", "big dog_NN", TSearchMode::Tag), (Strings{"big", "dog_NN"}));
}

TEST_F(SearchContextTest, OutsideTagsBeforeTheWord)
{
  ConcordSettings.WordTag = 2;
  ConcordSettings.wTagBefore = true;
  ConcordSettings.wTagStarts = {"<w "};
  const std::string text = "<w NN>dog <w VBD>barked <p>plain <w NN>cat";
  struct Case { std::string pattern; Strings hits; };
  const std::vector<Case> cases = {
    {"dog&NN", {"<w NN>dog"}},
    {"&nn", {"<w NN>dog", "<w NN>cat"}},
    {"*&vb*", {"<w VBD>barked"}},
    {"plain", {"plain"}},
    {"plain&nn", {}},
    {"**", {"plain"}},
    {"dog barked", {"<w NN>dog <w VBD>barked"}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Hits(c.pattern, text, TSearchMode::Tag), c.hits) << c.pattern;
}

TEST_F(SearchContextTest, OutsideTagTrimmingKeepsTheTagLetters)
{
  ConcordSettings.WordTag = 2;
  ConcordSettings.wTagStop = ']';
  struct Case { std::vector<std::string> starts; std::string text; std::string pattern; Strings hits; };
  const std::vector<Case> cases = {
    {{"<w"}, "dog<w NN]", "dog&nn", {"dog<w NN]"}},
    {{"<w "}, "dog<w NN]", "dog&nn", {"dog<w NN]"}},
    {{"["}, "dog[NN]", "dog&nn", {"dog[NN]"}},
    {{"["}, "dog[NN]", "dog&n", {}},
    {{"["}, "dog[] cat[]", "&", {"dog[]", "cat[]"}},   // too short to trim: an empty tag
    {{"["}, "dog[] cat[]", "dog&?", {}},
    {{"[["}, "dog[[] cat[[", "*&", {"dog[[]", "cat[["}},
  };
  for (const Case& c : cases) {
    ConcordSettings.wTagStarts = c.starts;
    EXPECT_EQ(Hits(c.pattern, c.text, TSearchMode::Tag), c.hits) << c.pattern << " in " << c.text;
  }
}

TEST_F(SearchContextTest, MetaTagMissingAtMatchTime)
{
  ConcordSettings.WordTag = 1;
  ConcordSettings.MetaTags = {{"NOUN", {"NN*"}}};
  auto context = Context("dog&Noun", TSearchMode::Tag);
  ConcordSettings.MetaTags.clear();
  TBufStream& reader = Open("a_DT dog_NN");
  try {
    context->FindNextHit(reader, true);
    FAIL() << "no error";
  } catch (const EUnknownMetaTag& e) {
    EXPECT_STREQ(e.what(), "Unknown meta tag: noun");
  }
}

// ---------------------------------------------------------------------------
// Stopping and progress

std::string ManyWords(int count)
{
  std::string text;
  for (int i = 0; i < count; ++i)
    text += i % 7 ? "word " : "big ";
  return text;
}

TEST_F(SearchContextTest, CancelAtAnyCheckStopsTheScan)
{
  const std::string text = ManyWords(2000);
  for (int n : {1, 2, 3, 5, 17, 511, 512, 513, 1500}) {
    owner_ = FakeOwner{};
    owner_.cancelAtCheck = n;
    auto context = Context("big @@ zebra");
    TBufStream& reader = Open(text);
    EXPECT_FALSE(context->FindNextHit(reader, true)) << n;
    EXPECT_TRUE(owner_.Stopped) << n;
    EXPECT_LE(owner_.checks, n + 1) << n;
    EXPECT_EQ(owner_.pumps, owner_.checks / 512) << n;
  }
}

TEST_F(SearchContextTest, StopForOtherReasonsSurvivesLaterChecks)
{
  auto context = Context("word");
  TBufStream& reader = Open(ManyWords(50));
  ASSERT_TRUE(context->FindNextHit(reader, true));
  owner_.Stopped = true;  // the run reached its maximum number of hits
  for (int i = 0; i < 1000; ++i)
    owner_.StopCheck();
  EXPECT_TRUE(owner_.Stopped);
  EXPECT_FALSE(context->FindNextHit(reader, true));
  EXPECT_TRUE(owner_.Stopped);
}

TEST_F(SearchContextTest, ProgressIsReportedOnlyWhenAsked)
{
  auto context = Context("zebra");
  TBufStream& reader = Open("a b zebra c");
  ASSERT_TRUE(context->FindNextHit(reader, false));
  EXPECT_TRUE(owner_.progress.empty());
  EXPECT_EQ(owner_.WordsTried, 3);

  owner_ = FakeOwner{};
  auto reported = Context("zebra");
  TBufStream& again = Open("a b zebra c");
  ASSERT_TRUE(reported->FindNextHit(again, true));
  EXPECT_EQ(owner_.progress, (std::vector<int32_t>{2, 4, 4}));
}

}  // namespace
