#include "foundation/buf_stream.h"
#include "foundation/buf_stream_config.h"
#include "foundation/chartables.h"
#include "platform/codepage.h"

#include "corpus_generator.h"
#include "support/memory_stream.h"
#include "support/scratch_folder.h"

#include "corpus_files.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using testsupport::MemoryStream;
using testsupport::ScratchFolder;

namespace {


// The settings the readers take their delimiters and tags from.
void setDefaultSearchCharacters()
{
  InitProgramState();
  corpusgen::useDefaultSearchSettings();
  ConcordSettings.TagStart = ConcordSettings.TagStop = 0;  // each test sets its own tags
}

TCharSet defaultDelimiters()
{
  TCharSet set;
  BuildDelimiterSet(set);
  return set;
}

struct Classified {
  std::string chars;
  std::vector<int> classes;
};

// Reads the whole range on the fly, stopping by position.
Classified classifyAll(TBufStream& r)
{
  Classified out;
  while (!r.AtEnd()) {
    TCharClass cls;
    out.chars.push_back(r.NextCharClassified(cls));
    out.classes.push_back(cls);
  }
  return out;
}

std::vector<int> classes(std::initializer_list<int> l) { return l; }

// Reader tests run with the real window and with tiny ones, so that every
// word, tag and CR LF straddles a refill.
class BufStreamTest : public ::testing::TestWithParam<int> {
protected:
  void SetUp() override { setDefaultSearchCharacters(); }
  void TearDown() override { InitProgramState(); }

  TBufStream& open(const std::string& text)
  {
    stream_ = std::make_unique<TFileSynchroStream>(dir_.write("corpus.txt", text), CorpusFileMode);
    reader_ = std::make_unique<TBufStream>(stream_.get(), defaultDelimiters(), GetParam());
    return *reader_;
  }
  void configureTags(char start, char stop)
  {
    ConcordSettings.TagStart = start;
    ConcordSettings.TagStop = stop;
    ConfigureBufStream(*reader_);
  }
  // Part-of-speech tags: style 1 embedded after `delimiter`, style 2 outside
  // from one of `starts` through `stop`.
  void configureWordTags(uint8_t style, char delimiter, std::vector<std::string> starts = {}, char stop = '>')
  {
    ConcordSettings.WordTag = style;
    ConcordSettings.wTagDelimiter = delimiter;
    ConcordSettings.wTagStarts = std::move(starts);
    ConcordSettings.wTagStop = stop;
    ConfigureBufStream(*reader_);
  }

  ScratchFolder dir_;
  std::unique_ptr<TFileSynchroStream> stream_;
  std::unique_ptr<TBufStream> reader_;
};

INSTANTIATE_TEST_SUITE_P(Windows, BufStreamTest, ::testing::Values(1, 2, 7, 8192),
                         [](const auto& info) { return "Window" + std::to_string(info.param); });

}  // namespace

// --- bytes and the end of data ----------------------------------------------

TEST_P(BufStreamTest, ReadsEveryByteAndEndsByPositionEvenWithNulInside)
{
  std::string text = "ab";
  text.push_back('\0');
  text += "cd";
  text.push_back('\0');
  TBufStream& r = open(text);
  std::string got;
  while (!r.AtEnd())
    got.push_back(r.NextChar());
  EXPECT_EQ(got, text);
  EXPECT_EQ(r.GetPosition(), 6);
  EXPECT_EQ(r.NextChar(), '\0');
  EXPECT_TRUE(r.AtEnd());

  // Backwards to the start, then no further.
  std::string back;
  while (r.GetPosition() > 0)
    back.insert(back.begin(), r.PrevChar());
  EXPECT_EQ(back, text);
  EXPECT_EQ(r.PrevChar(), '\0');
  EXPECT_EQ(r.GetPosition(), 0);
}

TEST_P(BufStreamTest, RangeLimitsReadsBothWays)
{
  TBufStream& r = open("0123456789abcdef");
  r.SetRange(5, 10);
  std::string got;
  while (!r.AtEnd())
    got.push_back(r.NextChar());
  EXPECT_EQ(got, "56789");
  EXPECT_EQ(r.PrevChar(), '9');
  r.Seek(5);
  EXPECT_EQ(r.PrevChar(), '\0');
  EXPECT_EQ(r.GetPosition(), 5);

  r.Seek(12);  // past the range: nothing readable until moved back
  EXPECT_EQ(r.NextChar(), '\0');
  EXPECT_TRUE(r.AtEnd());
  r.Seek(7);
  EXPECT_EQ(r.NextChar(), '7');

  // A negative seek unsets the cursor until the next seek.
  r.SetRange(0, 16);
  r.Seek(-1);
  EXPECT_EQ(r.GetPosition(), -1);
  EXPECT_TRUE(r.AtEnd());
  EXPECT_EQ(r.NextChar(), '\0');
  EXPECT_EQ(r.PrevChar(), '\0');
  EXPECT_TRUE(r.NextWord().empty());
  EXPECT_EQ(r.FindLiteral("abc", false, nullptr, false), -1);
  r.Seek(10);
  EXPECT_EQ(r.NextWord(), "abcdef");
}

// --- classification on the fly ----------------------------------------------

TEST_P(BufStreamTest, ClassesOfMarkupAndPartOfSpeechTags)
{
  struct Case {
    const char* text;
    char tagStart, tagStop;
    uint8_t wordTag;
    std::vector<std::string> starts;
    char wordTagStop;
    std::vector<int> classes;
    int minWindow;  // a start string must fit in the window
  };
  const std::vector<Case> cases = {
    {"a<b c>d", '<', '>', 0, {}, '>', {4, 5, 5, 5, 5, 5, 4}, 1},
    // "#": the tag ends at CR, LF or space, which is part of it.
    {"a<b c\r\nd", '<', '#', 0, {}, '>', {4, 5, 5, 5, 4, 3, 2, 4}, 1},
    // Embedded tags end at the next delimiter.
    {"dog_NN cat_VB.\r\n", 0, 0, 1, {}, '>', {4, 4, 4, 6, 6, 6, 2, 4, 4, 4, 6, 6, 6, 1, 3, 2}, 1},
    // Outside tags win over the markup tag start.
    {"<w NN>dog <p>", '<', '>', 2, {"<x", "<w"}, '>', {6, 6, 6, 6, 6, 6, 4, 4, 4, 2, 5, 5, 5}, 2},
    // On the fly the stop character that ends the start string ends the tag too.
    {"a [x] b", 0, 0, 2, {"[x]"}, ']', {4, 2, 6, 6, 6, 2, 4}, 3},
  };
  for (const Case& k : cases) {
    if (GetParam() < k.minWindow)
      continue;
    TBufStream& r = open(k.text);
    ConcordSettings.TagStart = k.tagStart;
    ConcordSettings.TagStop = k.tagStop;
    configureWordTags(k.wordTag, '_', k.starts, k.wordTagStop);
    EXPECT_EQ(classifyAll(r).classes, k.classes) << k.text;
  }
}

TEST_P(BufStreamTest, LineEndsTabsAndNulGetTheirDelimiterClasses)
{
  std::string text = "a\r\nb\nc\rd\te ";
  text.push_back('\0');
  text += "\n\n";
  TBufStream& r = open(text);
  EXPECT_EQ(classifyAll(r).classes, classes({4, 3, 2, 4, 3, 4, 3, 4, 1, 4, 2, 1, 3, 3}));
}

TEST_P(BufStreamTest, AStartStringNeverMatchesPastTheRange)
{
  if (GetParam() < 2)
    GTEST_SKIP() << "a start string must fit in the window";
  TBufStream& r = open("ab<wNN> <w");
  configureWordTags(2, '_', {"<w"});
  r.SetRange(2, 3);  // only the "<"
  EXPECT_EQ(r.MatchWordTagStart(), 0);
  r.SetRange(2, 10);
  EXPECT_EQ(r.MatchWordTagStart(), 2);
  r.SetRange(0, 9);  // the last start string is cut by the range
  EXPECT_EQ(classifyAll(r).classes, classes({4, 4, 6, 6, 6, 6, 6, 2, 1}));
}

// --- words --------------------------------------------------------------------

TEST_P(BufStreamTest, NextWordConsumesTheEndingCharacterAndSkipsTags)
{
  std::string text = "  Hello, <b>big</b>\r\nworld";
  text.push_back('\0');
  text += "end";
  TBufStream& r = open(text);
  configureTags('<', '>');
  std::vector<std::string> words;
  std::vector<std::pair<int, int>> spans;
  for (std::string_view w; !(w = r.NextWord()).empty();) {
    words.emplace_back(w);
    spans.emplace_back(r.WordStart(), r.WordEnd());
  }
  EXPECT_EQ(words, (std::vector<std::string>{"Hello", "big", "world", "end"}));
  EXPECT_EQ(spans, (std::vector<std::pair<int, int>>{{2, 7}, {12, 15}, {21, 26}, {27, 30}}));
  EXPECT_TRUE(r.NextWord().empty());
}

TEST_P(BufStreamTest, LongWordsKeepTheirFirst255CharactersBothWays)
{
  std::string longWord;
  for (int i = 0; i < 300; ++i)
    longWord.push_back(char('a' + i % 26));
  TBufStream& r = open("x " + longWord + " y");
  r.Seek(2);
  EXPECT_EQ(r.NextWord(), longWord.substr(0, 255));
  EXPECT_EQ(r.WordStart(), 2);
  EXPECT_EQ(r.WordEnd(), 302);
  if (GetParam() < 304)
    return;  // PrevWord needs the range validated in one window
  r.ValidateBuffer(0, 304);
  r.Seek(303);
  EXPECT_EQ(r.PrevWord(), longWord.substr(0, 255));
  EXPECT_EQ(r.WordStart(), 2);
  EXPECT_EQ(r.WordEnd(), 302);
  EXPECT_EQ(r.GetPosition(), 1) << "the cursor ends on the character before the word";
}

// In a double-byte code page a lead byte and its trail byte are one character
// of the lead byte's class, whatever the trail byte's value: on the fly,
// validated from any position (a trail byte included), both ways, and at the
// 255-byte cut; a literal is found only where a character begins.
TEST_P(BufStreamTest, DoubleByteCharactersAreOneUnit)
{
  struct Case {
    int32_t lcid;
    std::u16string text;
    std::vector<std::u16string> words;
  };
  const std::vector<Case> cases = {
    // ー = 81 5B, 表 = 95 5C, ソ = 83 5C, ダ = 83 5F, ア = 83 41
    {0x411, u"コーヒー と ケーキ 表示\\ソ ダンス_NN ア A", {u"コーヒー", u"と", u"ケーキ", u"表示", u"ソ", u"ダンス", u"ア", u"A"}},
    {0x404, u"許多 成功", {u"許多", u"成功"}},         // 許 = B3 5C, 功 = A5 5C
    {0x804, u"乗丂|亅", {u"乗丂", u"亅"}},             // 81 5C, 81 40, 81 7C
    {0x412, u"갂갵 a", {u"갂갵", u"a"}},               // 81 41, 81 61
    // 字 = 8E 9A: both bytes can lead, over more than the 256-byte look-behind
    // (the word keeps 254 bytes).
    {0x411, std::u16string(150, u'字') + u" 嚴字", {std::u16string(127, u'字'), u"嚴字"}},
  };
  for (const Case& c : cases) {
    SetTextLanguage(c.lcid);
    BuildCharTables();
    const platform::CodePage& cp = platform::codePage(AnsiCodePage);
    const std::string text = platform::fromUtf16(cp, c.text);
    TBufStream& r = open(text);
    configureWordTags(1, '_');
    std::vector<std::string> words;
    for (std::string_view w = r.NextWord(); !w.empty(); w = r.NextWord())
      words.emplace_back(w);
    std::vector<std::string> expected;
    for (const std::u16string& w : c.words)
      expected.push_back(platform::fromUtf16(cp, w));
    EXPECT_EQ(words, expected) << c.lcid;

    r.SetRange(0, int32_t(text.size()));
    const Classified fly = classifyAll(r);
    const auto n = int32_t(text.size());
    for (int32_t lo = 0; lo < n && r.WindowSize() >= n; ++lo) {
      if (fly.classes[size_t(lo)] == ccWordTag)
        continue;
      r.ValidateBuffer(lo, n);
      for (int32_t p = lo; p < n; ++p) {
        TCharClass cls;
        r.NextCharClassified(cls);
        ASSERT_EQ(int(cls), fly.classes[size_t(p)]) << c.lcid << " position " << p << " validated from " << lo;
      }
      r.Seek(n);
      if (size_t(lo) <= text.size() - expected.back().size())
        EXPECT_EQ(r.PrevWord(), expected.back()) << c.lcid;
    }
  }
  // The 255-byte cut falls between characters.
  SetTextLanguage(0x411);
  BuildCharTables();
  std::string longWord = "ab";
  for (int i = 0; i < 130; ++i)
    longWord += "\x95\x5C";
  TBufStream& r = open(longWord + " x \x83\x41 A");
  EXPECT_EQ(r.NextWord(), longWord.substr(0, 254));
  EXPECT_EQ(r.WordEnd(), int32_t(longWord.size()));
  if (GetParam() > int32_t(longWord.size())) {
    r.ValidateBuffer(0, int32_t(longWord.size()) + 1);
    r.Seek(int32_t(longWord.size()));
    EXPECT_EQ(r.PrevWord(), longWord.substr(0, 254));
  }
  if (GetParam() >= 2) {
    r.SetRange(0, int32_t(longWord.size()) + 8);
    EXPECT_EQ(r.FindLiteral("A", false, {}, false), int32_t(longWord.size()) + 6) << "not the trail byte of \x83\x41";
  }
  const std::string kanji = platform::fromUtf16(platform::codePage(AnsiCodePage), std::u16string(150, u'字') + u" 嚴字");
  TBufStream& k = open(kanji);
  if (GetParam() >= 2)
    EXPECT_EQ(k.FindLiteral("\x9A\x8E", false, {}, false), 301) << "嚴, not the bytes across two 字";
}

TEST_P(BufStreamTest, PrevWordNeedsAValidatedRange)
{
  TBufStream& r = open("one two");
  r.Seek(7);
  EXPECT_TRUE(r.PrevWord().empty());
  TCharClass cls = ccWord;
  EXPECT_EQ(r.PrevCharClassified(cls), '\0');
  EXPECT_EQ(cls, ccNone);
}

// --- validated ranges ---------------------------------------------------------

TEST_P(BufStreamTest, ValidatedClassesAgreeWithTheOnTheFlyOnes)
{
  std::string text = "The <i>cat_NN</i>\r\nsat\n on\tthe mat_NN. ";
  text.push_back('\0');
  text += "x<y z>w";
  TBufStream& r = open(text);
  ConcordSettings.TagStart = '<';
  ConcordSettings.TagStop = '>';
  configureWordTags(1, '_');
  const Classified fly = classifyAll(r);
  ASSERT_EQ(fly.chars, text);

  // Ranges that begin outside any tag classify alike; the true previous byte
  // decides an LF at a range's first position. (The delimiter that ends an
  // embedded tag is read in the tag's state: "</i>" right after "_NN" is no
  // markup tag on the fly.)
  const int32_t n = int32_t(text.size());
  for (int32_t lo = 0; lo < n; ++lo) {
    if (fly.classes[size_t(lo)] >= ccTag || (lo > 0 && fly.classes[size_t(lo - 1)] == ccWordTag))
      continue;
    const int32_t hi = std::min(n, lo + r.WindowSize());
    r.ValidateBuffer(lo, hi);
    for (int32_t p = lo; p < hi; ++p) {
      TCharClass cls;
      char c = r.NextCharClassified(cls);
      ASSERT_EQ(c, text[size_t(p)]);
      ASSERT_EQ(int(cls), fly.classes[size_t(p)]) << "position " << p << " validated from " << lo;
    }
    TCharClass cls;
    EXPECT_EQ(r.NextCharClassified(cls), '\0');
    EXPECT_EQ(cls, ccDelimiter);
    // And backwards.
    for (int32_t p = hi - 1; p >= lo; --p) {
      char c = r.PrevCharClassified(cls);
      ASSERT_EQ(c, text[size_t(p)]);
      ASSERT_EQ(int(cls), fly.classes[size_t(p)]);
    }
    EXPECT_EQ(r.PrevCharClassified(cls), '\0');
    EXPECT_EQ(cls, ccDelimiter);
  }
}

TEST_P(BufStreamTest, ValidatedStartStringsAreWholeTags)
{
  // Validated, the start string is taken whole and the walk goes on inside
  // the tag (on the fly its stop character ends the tag).
  if (GetParam() < 7)
    GTEST_SKIP() << "the range must fit in the window";
  TBufStream& r = open("a [x] b");
  configureWordTags(2, '_', {"[x]"}, ']');
  r.ValidateBuffer(0, 7);
  EXPECT_EQ(r.ClassAt(2), ccWordTag);
  EXPECT_EQ(r.ClassAt(4), ccWordTag);
  EXPECT_EQ(r.ClassAt(5), ccWordTag) << "still inside the tag after the start string";
  EXPECT_EQ(r.ClassAt(6), ccWordTag);
}

TEST_P(BufStreamTest, ValidateFailsOnRangesOutsideTheDataAndToleratesReversedOnes)
{
  TBufStream& r = open("abcdef");
  try {
    r.ValidateBuffer(6, 9);
    FAIL() << "validated past the end of the data";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "Internal error:\rValidateBuffer failed");
  }
  EXPECT_FALSE(r.Validated());
  EXPECT_THROW(r.ValidateBuffer(-5, 1), std::runtime_error);

  r.ValidateBuffer(3, 1);  // reversed: an empty range, plus the byte after it
  EXPECT_TRUE(r.Validated());
  EXPECT_EQ(r.RangeStart(), 3);
  EXPECT_EQ(r.RangeEnd(), 3);
  EXPECT_TRUE(r.AtEnd());
  EXPECT_NE(r.ClassAt(3), ccNone);
  EXPECT_EQ(r.ClassAt(4), ccNone);

  r.SetRange(0, 6);  // drops the classes
  EXPECT_FALSE(r.Validated());
}

TEST(BufStreamWindowTest, ValidatingALongRangeClassifiesOneWindowAndTheByteAfter)
{
  setDefaultSearchCharacters();
  MemoryStream s(std::string(30000, 'w'));
  TBufStream r(&s, defaultDelimiters());
  r.ValidateBuffer(0, 20000);
  EXPECT_EQ(r.RangeEnd(), 8192);
  EXPECT_EQ(r.ClassAt(8191), ccWord);
  EXPECT_EQ(r.ClassAt(8192), ccDelimiter);  // past the window: the terminating #0
  EXPECT_EQ(r.ClassAt(8193), ccNone);
  r.ValidateBuffer(25000, 30000);
  EXPECT_EQ(r.RangeEnd(), 30000);
  EXPECT_EQ(r.ClassAt(30000), ccDelimiter);  // the terminating #0
  InitProgramState();
}

// --- the window ---------------------------------------------------------------

TEST(BufStreamWindowTest, SlidesKeep256BytesBehindTheCursor)
{
  std::string text(40000, 'x');
  uint32_t seed = 12345;
  for (char& c : text) {
    seed = seed * 1103515245u + 12345u;
    c = char('a' + (seed >> 16) % 26);
  }
  MemoryStream s(text);
  TBufStream r(&s, TCharSet{});
  EXPECT_EQ(r.BufPos(), 0);
  EXPECT_EQ(r.BufLen(), 8192);
  const int64_t firstReads = r.LockedReads();

  for (int i = 0; i < 8192 + 10; ++i)
    r.NextChar();
  EXPECT_EQ(r.BufPos(), 8192 - 256) << "one slide keeping the last 256 bytes";
  EXPECT_EQ(r.LockedReads(), firstReads + 1);
  for (int i = 0; i < 266; ++i)
    ASSERT_EQ(r.PrevChar(), text[size_t(8192 + 10 - 1 - i)]);
  EXPECT_EQ(r.LockedReads(), firstReads + 1) << "stepping back within the look-behind rereads nothing";

  // Far more than 256 unread bytes: a request that needs them keeps them all.
  r.Seek(20000);
  EXPECT_EQ(r.BufPos(), 20000 - 256);
  EXPECT_EQ(r.FindLiteral(text.substr(27900, 300), false, nullptr, false), 27900);

  // A whole pass reads each byte once: one locked read per window.
  r.SetRange(0, 40000);
  const int64_t before = r.LockedReads();
  int64_t bytes = 0;
  while (!r.AtEnd()) {
    r.NextChar();
    ++bytes;
  }
  EXPECT_EQ(bytes, 40000);
  EXPECT_LE(r.LockedReads() - before, 6);
}

TEST(BufStreamWindowTest, AGrowingStreamIsReadFurtherAfterAShortRead)
{
  setDefaultSearchCharacters();
  MemoryStream s("first part ");
  TBufStream r(&s, defaultDelimiters());
  r.SetRange(0, 1 << 30);  // the whole download, whatever its size turns out to be
  EXPECT_EQ(r.NextWord(), "first");
  EXPECT_EQ(r.NextWord(), "part");
  EXPECT_TRUE(r.NextWord().empty());
  EXPECT_TRUE(r.ShortRead());
  const int reads = s.Reads();
  EXPECT_TRUE(r.AtEnd());
  EXPECT_EQ(s.Reads(), reads) << "no reread while the stream's size is the window's end";

  s.Append("second part");
  EXPECT_FALSE(r.AtEnd());
  EXPECT_EQ(r.NextWord(), "second");
  EXPECT_EQ(r.NextWord(), "part");
  EXPECT_EQ(r.WordEnd(), 22);
  InitProgramState();
}

TEST(BufStreamWindowTest, ReadersOfOneStreamOnTwoThreadsDoNotDisturbEachOther)
{
  setDefaultSearchCharacters();
  ScratchFolder dir;
  std::string text;
  for (int i = 0; i < 60000; ++i)
    text += "w" + std::to_string(i) + (i % 17 == 0 ? "\r\n" : " ");
  TFileSynchroStream s(dir.write("c.txt", text), CorpusFileMode);
  const TCharSet delims = defaultDelimiters();
  std::atomic<int> failures{0};
  auto pass = [&](int from) {
    TBufStream r(&s, delims);
    r.SetRange(from, s.GetSize());
    if (from > 0)
      r.NextWord();  // may be the tail of a word
    int expected = -1;
    for (std::string_view w; !(w = r.NextWord()).empty();) {
      int n = std::stoi(std::string(w.substr(1)));
      if (expected >= 0 && n != expected)
        ++failures;
      expected = n + 1;
    }
    if (expected != 60000)
      ++failures;
  };
  std::thread a(pass, 0);
  std::thread b(pass, int32_t(text.size() / 2));
  a.join();
  b.join();
  EXPECT_EQ(failures.load(), 0);
  InitProgramState();
}

// --- literal and heading search --------------------------------------------------

TEST_P(BufStreamTest, FindLiteralAtBlankSkipsOccurrencesFollowedByALetter)
{
  if (GetParam() < 7)
    GTEST_SKIP() << "the literals must fit in the window";
  TBufStream& r = open("cats cat\tcatalogue cat\r\nend");
  EXPECT_EQ(r.FindLiteral("cat", true, nullptr, false), 19);
  EXPECT_EQ(r.GetPosition(), 19) << "the cursor moves onto the hit";
  r.Seek(0);
  EXPECT_EQ(r.FindLiteral("cat", false, nullptr, false), 0);
  r.Seek(1);
  EXPECT_EQ(r.FindLiteral("cats ", true, nullptr, false), -1) << "own last byte blank, but it lies before the cursor";
  r.Seek(0);
  EXPECT_EQ(r.FindLiteral("cats ", true, nullptr, false), 0);
  r.Seek(20);
  EXPECT_EQ(r.FindLiteral("end", true, nullptr, false), -1) << "no byte after it at the end of the data";
  r.Seek(0);
  EXPECT_EQ(r.FindLiteral("", false, nullptr, false), -1);
  EXPECT_EQ(r.FindLiteral(std::string(GetParam() + 1, 'c'), false, nullptr, false), -1);
}

TEST(BufStreamSearchTest, LiteralsAreFoundAcrossEveryWindowEdge)
{
  setDefaultSearchCharacters();
  ScratchFolder dir;
  std::string text(30000, '.');
  const std::vector<int32_t> at = {8190, 16380, 16381 + 20, 24570};
  for (int32_t p : at)
    text.replace(size_t(p), 7, "needle ");
  TFileSynchroStream s(dir.write("n.txt", text), CorpusFileMode);
  TBufStream r(&s, defaultDelimiters());
  std::vector<int32_t> windows;
  TBufProgressEvent progress = [&](TBufStream&, int32_t pos, bool&) { windows.push_back(pos); };
  std::vector<int32_t> found;
  for (int32_t p; (p = r.FindLiteral("needle", true, progress, false)) >= 0;) {
    found.push_back(p);
    r.Seek(p + 1);
  }
  EXPECT_EQ(found, at);
  ASSERT_FALSE(windows.empty());
  EXPECT_EQ(windows.front(), 0);

  windows.clear();
  r.Seek(0);
  EXPECT_EQ(r.FindLiteral("needle", false, progress, true), 8190);
  EXPECT_EQ(windows, std::vector<int32_t>({-1, -1}));

  r.Seek(0);
  int calls = 0;
  TBufProgressEvent stopAtSecond = [&](TBufStream&, int32_t, bool& stop) { stop = ++calls == 2; };
  EXPECT_EQ(r.FindLiteral("needle", false, stopAtSecond, false), -1);
  EXPECT_EQ(calls, 2);
  InitProgramState();
}

TEST_P(BufStreamTest, HeadingSearchPairsTheTextStartWithTheStopAfterIt)
{
  TBufStream& r = open("intro <t> body </t> more <h> next");
  int32_t start, stop, head;
  r.FindTextRange("<t>", false, "</t>", false, "<h>", false, nullptr, false, start, stop, head);
  if (GetParam() >= 4) {
    EXPECT_EQ(start, 6);
    EXPECT_EQ(stop, 15);
    // The heading is reported when it lies in the window that completed the pair.
    EXPECT_EQ(head, GetParam() == 8192 ? 25 : -1);
  } else {
    EXPECT_EQ(start, -1) << "literals longer than the window are never found";
  }
}

TEST(BufStreamSearchTest, HeadingSearchFollowsItsPairingRules)
{
  setDefaultSearchCharacters();
  auto search = [](const std::string& text) {
    MemoryStream s(text);
    TBufStream r(&s, defaultDelimiters());
    int32_t start, stop, head;
    r.FindTextRange("[s]", false, "[e]", false, "[h]", false, nullptr, false, start, stop, head);
    return std::vector<int32_t>{start, stop, head};
  };
  using V = std::vector<int32_t>;
  EXPECT_EQ(search("a [s] b [e] c"), V({2, 8, -1}));
  EXPECT_EQ(search("a [s] b [h] c [e]"), V({-1, -1, 8})) << "a new heading before the range is complete";
  EXPECT_EQ(search("a [h] b"), V({-1, -1, 2}));
  EXPECT_EQ(search("[e] a [s] b [e] c"), V({6, 12, -1})) << "a stop after the start in the same window completes the pair";
  EXPECT_EQ(search("[e] a [s] b"), V({-1, -1, -1}));
  EXPECT_EQ(search("nothing here"), V({-1, -1, -1}));

  // Across windows: the start in one, the stop and a later heading in another.
  std::string text = "x [s] " + std::string(9000, '.') + "[e] y [h]";
  EXPECT_EQ(search(text), V({2, 9006, 9012}));
  std::string twoStops = "[s]" + std::string(9000, '.') + "[e]" + std::string(9000, '.') + "[e]";
  EXPECT_EQ(search(twoStops), V({0, 9003, -1}));
  InitProgramState();
}

TEST(BufStreamSearchTest, HeadingLiteralsAcrossWindowEdgesAreFound)
{
  setDefaultSearchCharacters();
  // The text start straddles the first 8 KB edge, the text stop the second
  // (which the 11-byte carry puts at 16373); the shortest literal is 2 bytes.
  std::string text(20000, '.');
  text.replace(8185, 12, "<text-start>");
  text.replace(16368, 11, "<text-stop>");
  text.replace(17000, 2, "! ");
  MemoryStream s(text);
  TBufStream r(&s, defaultDelimiters());
  int32_t start, stop, head;
  std::vector<int32_t> windows;
  TBufProgressEvent record = [&](TBufStream&, int32_t pos, bool&) { windows.push_back(pos); };
  r.FindTextRange("<text-start>", false, "<text-stop>", false, "!", true, record, false, start, stop, head);
  EXPECT_EQ(start, 8185);
  EXPECT_EQ(stop, 16368);
  EXPECT_EQ(head, 17000);
  EXPECT_EQ(windows, std::vector<int32_t>({0, 8181, 16362}));

  r.Seek(0);
  TBufProgressEvent stopNow = [](TBufStream&, int32_t, bool& s) { s = true; };
  r.FindTextRange("<text-start>", false, "<text-stop>", false, "!", true, stopNow, false, start, stop, head);
  EXPECT_EQ(start, -1);
  EXPECT_EQ(stop, -1);
  EXPECT_EQ(head, -1);
  InitProgramState();
}

// --- the word reader against the classes ---------------------------------------

namespace {

struct WordSpan {
  std::string text;
  int32_t start;
  int32_t end;
  bool operator==(const WordSpan&) const = default;
};

// Words as the maximal runs of class 4 in the on-the-fly classes.
std::vector<WordSpan> wordsByClasses(TBufStream& r)
{
  std::vector<WordSpan> out;
  WordSpan cur{"", -1, -1};
  while (!r.AtEnd()) {
    const int32_t pos = r.GetPosition();
    TCharClass cls;
    const char c = r.NextCharClassified(cls);
    if (cls == ccWord) {
      if (cur.start < 0)
        cur.start = pos;
      if (cur.text.size() < 255)
        cur.text.push_back(c);
      cur.end = pos + 1;
    } else if (cur.start >= 0) {
      out.push_back(cur);
      cur = WordSpan{"", -1, -1};
    }
  }
  if (cur.start >= 0)
    out.push_back(cur);
  return out;
}

std::vector<WordSpan> wordsByNextWord(TBufStream& r)
{
  std::vector<WordSpan> out;
  for (std::string_view w; !(w = r.NextWord()).empty();)
    out.push_back(WordSpan{std::string(w), r.WordStart(), r.WordEnd()});
  return out;
}

}  // namespace

TEST_P(BufStreamTest, NextWordGivesTheRunsOfWordCharactersOfEveryTagStyle)
{
  struct Case {
    const char* name;
    int posStyle;
    char tagStop;
    char posStop;
  };
  for (const Case& k : {Case{"markup and embedded tags", 1, '>', '>'}, Case{"outside tags", 2, '>', '>'},
                        Case{"blank-ended tags", 2, '#', '#'}, Case{"markup only", 0, '>', '>'}}) {
    corpusgen::Options o;
    o.size = GetParam() < 100 ? 16000 : 200000;
    o.seed = 11;
    o.vocabularySize = 500;
    o.markupTags = true;
    o.tagStop = k.tagStop;
    o.tagEveryWords = 5;
    o.posStyle = k.posStyle;
    o.posStop = k.posStop;
    o.lineEnd = k.posStyle == 2 ? corpusgen::LineEnd::Lf : corpusgen::LineEnd::CrLf;
    std::string text = corpusgen::generateToString(o);
    text[1000] = '\0';  // a NUL inside the text is a delimiter
    open(text);
    ConcordSettings.TagStart = '<';
    ConcordSettings.TagStop = k.tagStop;
    configureWordTags(uint8_t(k.posStyle), '_', {"<w "}, k.posStop);
    const auto expected = wordsByClasses(*reader_);
    reader_->SetRange(0, int32_t(text.size()));
    const auto got = wordsByNextWord(*reader_);
    ASSERT_GT(expected.size(), 500u) << k.name;
    ASSERT_EQ(got.size(), expected.size()) << k.name;
    for (size_t i = 0; i < got.size(); ++i)
      ASSERT_EQ(got[i], expected[i]) << k.name << ", word " << i;
  }
}

TEST_P(BufStreamTest, NextWordInAValidatedRangeReadsTheValidatedClasses)
{
  const std::string text = "<b>one</b> two_NN three.";
  if (GetParam() < int(text.size()))
    GTEST_SKIP() << "the range must fit in the window";
  open(text);
  ConcordSettings.TagStart = '<';
  ConcordSettings.TagStop = '>';
  configureWordTags(1, '_');
  reader_->ValidateBuffer(0, int32_t(text.size()));
  const auto words = wordsByNextWord(*reader_);
  EXPECT_EQ(words, (std::vector<WordSpan>{{"one", 3, 6}, {"two", 11, 14}, {"three", 18, 23}}));
}
