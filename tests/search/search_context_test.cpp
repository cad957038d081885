#include "search/search_context.h"

#include "foundation/buf_stream.h"
#include "foundation/buf_stream_config.h"
#include "foundation/chartables.h"
#include "foundation/settings.h"
#include "foundation/sync_stream.h"
#include "platform/codepage.h"
#include "search/regexp/regexp.h"
#include "support/scratch_folder.h"

#include "corpus_files.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <thread>
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
    corpusgen::useDefaultSearchSettings();
    SetTextLanguage(0x409);
    BuildCharTables();
  }

  void TearDown() override
  {
    ConcordSettings = saved_;
    SetTextLanguage(0x409);
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

struct ParseCase {
  std::string pattern;
  std::vector<Term> terms;
  TSearchMode mode = TSearchMode::Text;
  uint8_t options = 0;
};

TEST_F(SearchContextTest, PatternsBecomeTerms)
{
  ConcordSettings.MetaTags = {{"NOUN", {"NN*", "NP"}}};
  const TSearchMode tag = TSearchMode::Tag;
  const std::vector<ParseCase> cases = {
    {"the@cat", {{0, "the"}, {4, ""}, {0, "cat"}}},
    {"the @@ cat", {{0, "the"}, {5, ""}, {0, "cat"}}},
    {"@@@@ a", {{5, ""}, {0, "a"}}},
    {"gap@ x", {{0, "gap"}, {4, ""}, {0, "x"}}},
    {"  \tThe  Cat\t", {{0, "the"}, {0, "cat"}}},
    {"The CAT", {{0, "The"}, {0, "CAT"}}, TSearchMode::Text, soCaseSensitive},
    {"dog&NN", {{0, "dog&nn"}}},
    {std::string("one\0two", 7), {{0, "one"}}},
    {" \t ", {}},
    {"dog&NN*", {{0, "dog"}, {1, "nn*"}}, tag},
    {"dog&NN*", {{0, "dog"}, {1, "NN*"}}, tag, soCaseSensitive},
    {"dog", {{0, "dog"}, {1, "*"}}, tag},
    {"&", {{0, "*"}, {1, "*"}}, tag},
    {"**", {{0, "*"}, {1, ""}}, tag},
    {"&NN run&", {{0, "*"}, {1, "nn"}, {0, "run"}, {1, "*"}}, tag},
    {"a&b&c", {{0, "a"}, {1, "b&c"}}, tag},
    {"dog&Noun dog&noun?", {{0, "dog"}, {2, "noun"}, {0, "dog"}, {1, "noun?"}}, tag},
    {"big @ dog&nn", {{0, "big"}, {1, "*"}, {4, ""}, {0, "dog"}, {1, "nn"}}, tag},
  };
  for (const ParseCase& c : cases)
    EXPECT_EQ(TermsOf(*Context(c.pattern, c.mode, c.options)), c.terms) << c.pattern;
}

TEST_F(SearchContextTest, PatternCharactersComeFromTheSettings)
{
  ConcordSettings.WildCardMatchWords = '~';
  ConcordSettings.TagSearchSeparator = '/';
  EXPECT_EQ(TermsOf(*Context("a~b ~~ c@d")), (std::vector<Term>{{0, "a"}, {4, ""}, {0, "b"}, {5, ""}, {0, "c@d"}}));
  EXPECT_EQ(TermsOf(*Context("dog/nn&x", TSearchMode::Tag)), (std::vector<Term>{{0, "dog"}, {1, "nn&x"}}));

  // The tag term comes first only for outside tags written before the word.
  ConcordSettings.TagSearchSeparator = '&';
  ConcordSettings.wTagBefore = true;
  for (uint8_t style : {0, 1, 2}) {
    ConcordSettings.WordTag = style;
    const std::vector<Term> wordFirst{{0, "dog"}, {1, "nn"}};
    const std::vector<Term> tagFirst{{1, "nn"}, {0, "dog"}};
    EXPECT_EQ(TermsOf(*Context("dog&nn", TSearchMode::Tag)), style == 1 ? wordFirst : tagFirst) << int(style);
  }
}

TEST_F(SearchContextTest, RegexPatternIsOneCompiledTerm)
{
  auto context = Context("The @ (b|c)+  x", TSearchMode::Regex);
  ASSERT_EQ(TermsOf(*context), (std::vector<Term>{{3, "The @ (b|c)+  x"}}));
  EXPECT_NE(context->Terms[0].RegExp, nullptr);
  try {
    Context("(a", TSearchMode::Regex);
    FAIL() << "no ERegExp";
  } catch (const ERegExp& e) {
    EXPECT_STREQ(e.what(), "Unmatched ( or \\(");
  }
}

// ---------------------------------------------------------------------------
// Wildcards

TEST_F(SearchContextTest, Wildcards)
{
  struct Case { const char* pattern; const char* word; bool match; bool skipping = false; };
  const Case cases[] = {
    {"a*", "a", true}, {"a*", "ab", true}, {"a*", "ba", false},
    {"a%", "ab", true}, {"a%", "a", true}, {"a%", "abc", false},
    {"a%b", "ab", true}, {"a%b", "axb", true}, {"a%b", "axxb", false},
    {"?", "x", true}, {"?", "", false}, {"?", "xy", false},
    {"*%*", "", true}, {"", "", true}, {"", "a", false},
    {"a*b*c", "aXbYc", true}, {"a*b*c", "aXbY", false},
    {"a**", "a", true}, {"a*%", "abc", true}, {"a*?", "a", false}, {"\xFF*", "\xFFx", true},
    // With '-' and '=' skipping.
    {"a*", "a-b", true, true}, {"ab", "a-b", true, true}, {"ab", "-a--b-", true, true},
    {"a-b", "a-b", false, true},  // a skipping character in the pattern meets the next letter
    {"a%", "ab-", false, true},   // a final '%' counts the skipping characters
    {"a%", "a-", true, true}, {"a?c", "a-b-c", true, true}, {"?", "--", false, true}, {"", "--", true, true},
  };
  auto plain = Context("x");
  auto skipping = Context("x", TSearchMode::Text, soSkipEqual);
  for (const Case& c : cases) {
    EXPECT_EQ((c.skipping ? skipping : plain)->MatchWildcard(c.word, c.pattern), c.match)
      << c.pattern << " / " << c.word;
  }

  ConcordSettings.EqualCharSets = {SetOf("e\xE9\xE8")};
  EXPECT_FALSE(plain->MatchWildcard("caf\xE9", "cafe"));
  ConcordSettings.UseSkipEqualChars = true;
  EXPECT_TRUE(plain->MatchWildcard("caf\xE9", "cafe"));
  EXPECT_TRUE(plain->MatchWildcard("caf\xE8", "caf\xE9"));

  ConcordSettings.WildCard0orMore = '#';
  ConcordSettings.WildCard0or1 = 0;  // switched off
  auto other = Context("x");
  EXPECT_TRUE(other->MatchWildcard("walked", "walk#"));
  EXPECT_FALSE(other->MatchWildcard("walked", "walk*"));
  EXPECT_FALSE(other->MatchWildcard("walk", "walk%"));
  EXPECT_TRUE(other->MatchWildcard("walk%", "walk%"));
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
  // Inputs the plain recursion would not finish.
  auto plain = Context("x");
  const std::string as(255, 'a');
  EXPECT_FALSE(plain->MatchWildcard(as, "*a*a*a*a*a*a*a*b"));
  EXPECT_TRUE(plain->MatchWildcard(as.substr(1) + "b", "*a*a*a*a*a*a*a*b"));
  EXPECT_FALSE(plain->MatchWildcard(as, std::string(40, '%') + "b"));
  EXPECT_FALSE(plain->MatchWildcard(as, "*a%a*a%a*a%a*a%a*a%a*a%a*a%a*a%a*a%a*a%ab"));
}

// ---------------------------------------------------------------------------
// Text mode scans

struct ScanCase {
  std::string pattern;
  std::string text;
  Strings hits;
  uint8_t options = 0;
};

TEST_F(SearchContextTest, TextModeHits)
{
  ConcordSettings.NonWordChars += "-";
  const std::string dogs = "The dog, the DOG and the dogs.";
  const std::string longWord = std::string(300, 'x') + " y";
  const std::vector<ScanCase> cases = {
    {"dog", dogs, {"dog", "DOG"}},
    {"DOG", dogs, {"DOG"}, soCaseSensitive},
    {"dog*", dogs, {"dog", "DOG", "dogs"}},
    {"the dog", dogs, {"The dog", "the DOG"}},
    {"a a", "a a a", {"a a"}},  // hits never overlap
    {"a b", "a a b", {"a b"}},  // the next attempt starts after the first word
    {"wh?t", "what wh*t whit", {"what", "whit"}},       // wildcards are delimiters
    {"me%home", "me@home meXhome", {"me@home", "meXhome"}},  // the gap character is not
    {"b", "<b>cat</b>", {"b", "b"}},  // words inside markup count
    {"dog", "cat\r\ndog\r\n", {"dog"}},
    {"ab", "a-b ab- a=b", {"ab"}},
    {"ab", "a-b ab- a=b", {"a-b", "ab-", "a=b"}, soSkipEqual},  // skipping characters join words
    {std::string(255, 'x'), longWord, {std::string(300, 'x')}},  // the first 255 characters count
    {std::string(256, 'x'), longWord, {}},
    {"dog", std::string("cat\0dog\0\0bird", 13), {"dog"}},  // NUL is a delimiter, not the end
    {"cat dog bird", std::string("cat\0dog\0\0bird", 13), {std::string("cat\0dog\0\0bird", 13)}},
    {"x", "", {}},
    {"", "some words", {}},
  };
  for (const ScanCase& c : cases)
    EXPECT_EQ(Hits(c.pattern, c.text, TSearchMode::Text, c.options), c.hits) << c.pattern << " in " << c.text;
}

TEST_F(SearchContextTest, WordGaps)
{
  const std::vector<ScanCase> cases = {
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
  for (const ScanCase& c : cases)
    EXPECT_EQ(Hits(c.pattern, c.text), c.hits) << c.pattern << " in " << c.text;

  ConcordSettings.MatchWordsLo = 3;
  ConcordSettings.MatchWordsHi = 1;  // not above the lower bound: exactly 3
  EXPECT_EQ(Hits("a @ z", "a 1 2 z a 1 2 3 z a 1 2 3 4 z"), (Strings{"a 1 2 3 z"}));
}

TEST_F(SearchContextTest, HitEndKnowsWhetherADelimiterWasConsumed)
{
  auto context = Context("cat*");
  TBufStream& reader = Open("cat catalog cat");
  ASSERT_TRUE(context->FindNextHit(reader, true));
  EXPECT_EQ(context->HitStart, 0);
  EXPECT_EQ(context->HitEnd, 4);
  EXPECT_TRUE(context->HitEndAfterDelimiter);

  reader.SetRange(5, 10);  // "atalo": the range ends inside a word
  EXPECT_FALSE(context->FindNextHit(reader, true));
  reader.SetRange(3, 7);  // " cat"
  ASSERT_TRUE(context->FindNextHit(reader, true));
  EXPECT_EQ(context->HitStart, 3);
  EXPECT_EQ(context->HitEnd, 7);
  EXPECT_FALSE(context->HitEndAfterDelimiter);
  EXPECT_FALSE(context->FindNextHit(reader, true));
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

// Double-byte text: a character is its lead byte with its trail byte, so a
// trail byte that equals a delimiter, the gap character or a tag delimiter
// neither ends a word nor begins anything, and wildcards take whole
// characters.
struct DoubleByteCase {
  int32_t lcid;
  std::u16string pattern;
  std::u16string text;
  std::vector<std::u16string> hits;
  TSearchMode mode = TSearchMode::Text;
};

TEST_F(SearchContextTest, DoubleByteTextIsMatchedByCharacters)
{
  ConcordSettings.WordTag = 1;  // Tag rows: "_" ends a word and begins its tag
  ConcordSettings.MetaTags = {{"\x83\x41", {"NN"}}};  // a meta tag named ア (83 41)
  const std::u16string kanji = u"字字字字 嚴字\r\n字字字 嚴字\r\n字字 嚴字";  // 字 = 8E 9A, 嚴 = 9A 8E
  const std::vector<DoubleByteCase> cases = {
    {0x411, u"ケーキ", u"コーヒー と ケーキ", {u"ケーキ"}},  // ー = 81 5B
    {0x411, u"コーヒー", u"コーヒー と ケーキ", {u"コーヒー"}},
    {0x411, u"表示", u"表示 ソフト", {u"表示"}},                   // 表 = 95 5C
    {0x411, u"院長", u"病院 院長", {u"院長"}},                     // 院 = 89 40, "@" the gap
    {0x411, u"東?", u"東京 アイ", {u"東京"}},
    {0x411, u"??", u"東京 ア アイ 東京都", {u"東京", u"アイ"}},
    {0x411, u"東%", u"東 東京 東京都", {u"東", u"東京"}},
    {0x411, u"*嚴*", kanji, {u"嚴字", u"嚴字", u"嚴字"}},
    {0x411, u"ア", u"ヂ ア", {u"ア"}},                             // ア = 83 41, ヂ = 83 61
    {0x411, u"ａｂ", u"ＡＢ ａｂ ａＢ", {u"ＡＢ", u"ａｂ", u"ａＢ"}},   // full-width letters have case
    {0x411, u"&NN", u"ダンス_NN 犬_VB", {u"ダンス_NN"}, TSearchMode::Tag},  // ダ = 83 5F
    {0x411, u"ソ*&vb", u"ソフト_VB 表_VB", {u"ソフト_VB"}, TSearchMode::Tag},
    {0x411, u"&ヂ", u"犬_NN 猫_ヂ", {u"猫_ヂ"}, TSearchMode::Tag},  // ヂ (83 61) is no name of ア
    {0x404, u"成功", u"許多 成功", {u"成功"}},                     // 功 = A5 5C
    {0x404, u"許?", u"許多 成功", {u"許多"}},
    {0x804, u"乗?", u"乗丂 亅", {u"乗丂"}},                        // 81 5C, 81 40, 81 7C
    {0x804, u"亅", u"乗丂 亅", {u"亅"}},
    {0x412, u"갂", u"갵 갂", {u"갂"}},                             // 81 41, 81 61
    {0x412, u"%갂", u"갵갂 갂", {u"갵갂", u"갂"}},
  };
  for (const DoubleByteCase& c : cases) {
    SetTextLanguage(c.lcid);
    BuildCharTables();
    const platform::CodePage& cp = platform::codePage(AnsiCodePage);
    Strings hits;
    for (const std::u16string& hit : c.hits)
      hits.push_back(platform::fromUtf16(cp, hit));
    EXPECT_EQ(Hits(platform::fromUtf16(cp, c.pattern), platform::fromUtf16(cp, c.text), c.mode), hits)
      << c.lcid << " " << platform::fromUtf16(cp, c.pattern);
  }
  // Skipping and equal characters are characters of one byte: a trail byte
  // is never skipped, and two double-byte characters whose trail bytes are
  // in one group stay different.
  SetTextLanguage(0x411);
  BuildCharTables();
  const platform::CodePage& cp = platform::codePage(AnsiCodePage);
  const auto sjis = [&cp](std::u16string_view text) { return platform::fromUtf16(cp, text); };
  ConcordSettings.SkippingChars = "-\\";
  ConcordSettings.UseSkipEqualChars = true;
  ConcordSettings.EqualCharSets = {SetOf("Aa")};
  auto skipping = Context("x", TSearchMode::Text, soSkipEqual);
  EXPECT_TRUE(skipping->MatchWildcard(sjis(u"表示"), sjis(u"表示")));     // 表 = 95 5C
  EXPECT_TRUE(skipping->MatchWildcard(sjis(u"ソ-フト"), sjis(u"ソフト")));
  EXPECT_FALSE(skipping->MatchWildcard(sjis(u"ヂ"), sjis(u"ア")));         // 83 61, 83 41
  EXPECT_TRUE(skipping->MatchWildcard("a", "A"));
  EXPECT_EQ(Hits(sjis(u"表示"), sjis(u"表示 ソ-フト"), TSearchMode::Text, soSkipEqual), Strings{sjis(u"表示")});
  // A double-byte non-word character delimits none of its bytes: 、 (81 41)
  // leaves "A" a letter.
  ConcordSettings.NonWordChars += sjis(u"、");
  BuildCharTables();
  EXPECT_EQ(Hits("BAD", "BAD CAB", TSearchMode::Text), Strings{"BAD"});
  EXPECT_EQ(Hits("AB", "BAD CAB AB", TSearchMode::Text), Strings{"AB"});
}

// ---------------------------------------------------------------------------
// Tag mode scans

TEST_F(SearchContextTest, EmbeddedTags)
{
  ConcordSettings.WordTag = 1;
  ConcordSettings.MetaTags = {{"Noun", {"NN*", "NP"}}};
  const std::string text = "The_DT dog_NN barked_VBD at Rex_NP . cat_NNS";
  const std::vector<ScanCase> cases = {
    {"dog&NN", text, {"dog_NN"}},
    {"&nn*", text, {"dog_NN", "cat_NNS"}},
    {"*&VB?", text, {"barked_VBD"}},
    {"dog&VB", text, {}},
    {"**", text, {"at"}},  // only a word without a tag
    {"at&", text, {"at"}},
    {"at&X", text, {}},
    {"&NOUN", text, {"dog_NN", "Rex_NP", "cat_NNS"}},
    {"the dog&nn", text, {"The_DT dog_NN"}},
    {"the @ at", text, {"The_DT dog_NN barked_VBD at"}},
    {"dog @@ rex&np", text, {"dog_NN barked_VBD at Rex_NP"}},
    {"*", "big dog", {"big"}},  // the last word needs a tag after it in the range
    {"*", "big dog_NN", {"big", "dog_NN"}},
  };
  for (const ScanCase& c : cases)
    EXPECT_EQ(Hits(c.pattern, c.text, TSearchMode::Tag), c.hits) << c.pattern << " in " << c.text;
}

TEST_F(SearchContextTest, OutsideTags)
{
  ConcordSettings.WordTag = 2;
  ConcordSettings.wTagBefore = true;
  ConcordSettings.wTagStarts = {"<w "};
  const std::string text = "<w NN>dog <w VBD>barked <p>plain <w NN>cat";
  const std::vector<ScanCase> before = {
    {"dog&NN", text, {"<w NN>dog"}},
    {"&nn", text, {"<w NN>dog", "<w NN>cat"}},
    {"plain", text, {"plain"}},
    {"plain&nn", text, {}},
    {"**", text, {"plain"}},
    {"dog barked", text, {"<w NN>dog <w VBD>barked"}},
  };
  for (const ScanCase& c : before)
    EXPECT_EQ(Hits(c.pattern, c.text, TSearchMode::Tag), c.hits) << c.pattern;

  // Trimming: the start string, a blank after it, the stop character.
  ConcordSettings.wTagBefore = false;
  ConcordSettings.wTagStop = ']';
  struct TrimCase { std::string start; ScanCase scan; };
  const std::vector<TrimCase> trims = {
    {"<w", {"dog&nn", "dog<w NN]", {"dog<w NN]"}}},
    {"<w ", {"dog&nn", "dog<w NN]", {"dog<w NN]"}}},
    {"[", {"dog&nn", "dog[NN]", {"dog[NN]"}}},  // a tag letter right after the start stays
    {"[", {"dog&n", "dog[NN]", {}}},
    {"[", {"&", "dog[] cat[]", {"dog[]", "cat[]"}}},  // too short to trim: an empty tag
    {"[", {"dog&?", "dog[] cat[]", {}}},
    {"[[", {"*&", "dog[[] cat[[", {"dog[[]", "cat[["}}},
  };
  for (const TrimCase& c : trims) {
    ConcordSettings.wTagStarts = {c.start};
    EXPECT_EQ(Hits(c.scan.pattern, c.scan.text, TSearchMode::Tag), c.scan.hits) << c.scan.pattern << " in " << c.scan.text;
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

TEST_F(SearchContextTest, CancelAtAnyCheckStopsTheScan)
{
  std::string text;
  for (int i = 0; i < 2000; ++i)
    text += i % 7 ? "word " : "big ";
  for (int n : {1, 2, 3, 17, 511, 512, 513, 1500}) {
    owner_ = FakeOwner{};
    owner_.LastPump = std::chrono::steady_clock::now();
    owner_.cancelAtCheck = n;
    auto context = Context("big @@ zebra");
    EXPECT_FALSE(context->FindNextHit(Open(text), true)) << n;
    EXPECT_TRUE(owner_.Stopped) << n;
    EXPECT_LE(owner_.checks, n + 1) << n;
    EXPECT_EQ(owner_.pumps, owner_.checks / 512) << n;
  }
}

TEST_F(SearchContextTest, StopForOtherReasonsSurvivesLaterChecks)
{
  auto context = Context("word");
  TBufStream& reader = Open("word word word");
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
  // A pattern without a literal start: every word is tried and counted.
  auto context = Context("?ebra");
  ASSERT_TRUE(context->FindNextHit(Open("a b zebra c"), false));
  EXPECT_TRUE(owner_.progress.empty());
  EXPECT_EQ(owner_.WordsTried, 3);

  owner_ = FakeOwner{};
  ASSERT_TRUE(context->FindNextHit(Open("a b zebra c"), true));
  EXPECT_EQ(owner_.progress, (std::vector<int32_t>{2, 4, 4}));
}

}  // namespace

TEST(StopCheckTest, SlowChecksStillLetEventsRunAtLeastEvery100Ms)
{
  // Each check stands for a long stretch of matching; far fewer than 512
  // checks happen, yet the events must run while time passes.
  FakeOwner owner;
  owner.LastPump = std::chrono::steady_clock::now();
  const auto until = owner.LastPump + 3 * TSearchOwner::PumpInterval;
  int calls = 0;
  while (std::chrono::steady_clock::now() < until || calls % 16 != 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    owner.StopCheck();
    ++calls;
  }
  EXPECT_LT(calls, 512);
  EXPECT_GE(owner.pumps, 1);
}
