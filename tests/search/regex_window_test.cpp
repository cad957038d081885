#include "search/regex_window.h"

#include "foundation/buf_stream.h"
#include "foundation/chartables.h"
#include "foundation/settings.h"
#include "search/regexp/regexp.h"

#include "support/memory_stream.h"
#include "support/scratch_folder.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

using testsupport::ScratchFolder;

namespace {

class FakeOwner : public TRegexScanOwner {
public:
  void StopCheck() override
  {
    ++stopChecks;
    if (stopAt > 0 && stopChecks >= stopAt)
      stopped = true;
  }
  bool Stopped() const override { return stopped; }
  void UpdateProgress(int32_t position, bool forced) override { progress.emplace_back(position, forced); }
  void CountGiveUp() override { ++giveUps; }

  int stopChecks = 0;
  int stopAt = 0;
  bool stopped = false;
  int giveUps = 0;
  std::vector<std::pair<int32_t, bool>> progress;
};

using Hits = std::vector<std::pair<int32_t, int32_t>>;

class RegexWindowTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    InitProgramState();
    SetTextLanguage(0x409);
    ConcordSettings.NonWordChars = ".,;:!?";
    BuildCharTables();
    for (int c = 0; c <= 32; ++c)
      text_.Delimiters.set(size_t(c));
    for (unsigned char c : std::string(".,;:!?"))
      text_.Delimiters.set(c);
  }
  void TearDown() override { InitProgramState(); }

  // readerWindow 0: the reader's usual window; else a small one, so that
  // runs of text straddle its refills.
  TBufStream& open(const std::string& content, int32_t readerWindow = 0)
  {
    content_ = content;
    stream_ = std::make_unique<TFileSynchroStream>(dir_.write("corpus.txt", content), CorpusFileMode);
    reader_ = readerWindow > 0 ? std::make_unique<TBufStream>(stream_.get(), TCharSet(), readerWindow)
                               : std::make_unique<TBufStream>(stream_.get());
    return *reader_;
  }
  // Every hit of the pattern over the reader's range, as the scan driver
  // asks for them: each call goes on where the last hit ended.
  Hits scan(const std::string& pattern, TRegexWindow* window = nullptr, int32_t from = -1)
  {
    reader_->Seek(from >= 0 ? from : reader_->RangeStart());
    TRegExp re(pattern);
    TRegexWindow own;
    TRegexWindow& w = window ? *window : own;
    Hits hits;
    int32_t s = 0;
    int32_t e = 0;
    while (w.FindNext(*reader_, re, text_, &owner_, true, s, e)) {
      EXPECT_EQ(reader_->GetPosition(), e);
      if (!hits.empty())
        EXPECT_GE(s, hits.back().second);
      EXPECT_GT(e, s);
      hits.emplace_back(s, e);
      if (hits.size() > 100000)
        break;
    }
    return hits;
  }
  std::string hitText(const std::pair<int32_t, int32_t>& h) const
  {
    return content_.substr(size_t(h.first), size_t(h.second - h.first));
  }

  ScratchFolder dir_;
  std::string content_;
  std::unique_ptr<TFileSynchroStream> stream_;
  std::unique_ptr<TBufStream> reader_;
  TRegexScanText text_;
  FakeOwner owner_;
};

TEST_F(RegexWindowTest, NormalisedText)
{
  // A run of line breaks is one blank; a hit ends before a line break.
  open("a word\r\n\r\nnext one\nend\r\nx");
  Hits hits = scan("word next");
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hitText(hits[0]), "word\r\n\r\nnext");
  hits = scan("end");
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hitText(hits[0]), "end");
  hits = scan("one\\send");
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hitText(hits[0]), "one\nend");

  // Skipping characters are left out, and the hit spans them.
  open("x a-b y ab- z ab-");
  text_.SkipSet.set('-');
  hits = scan("ab");
  ASSERT_EQ(hits.size(), 3u);
  EXPECT_EQ(hitText(hits[0]), "a-b");
  EXPECT_EQ(hitText(hits[1]), "ab-");
  EXPECT_EQ(hitText(hits[2]), "ab");  // nothing follows in the range
  text_.SkipSet.reset();
  EXPECT_EQ(scan("ab").size(), 2u);

  // A NUL byte is an ordinary character: '.' refuses it, the text goes on.
  open(std::string("a\0b ab\0", 7));
  hits = scan("a.b");
  EXPECT_TRUE(hits.empty());
  hits = scan("b");
  EXPECT_EQ(hits, (Hits{{2, 3}, {5, 6}}));
  hits = scan("b[^a]");
  EXPECT_EQ(hits, (Hits{{2, 4}, {5, 7}}));
}

TEST_F(RegexWindowTest, SuccessiveHitsAndTheContextCharacter)
{
  open("aaaa ab b");
  EXPECT_EQ(scan("aa"), (Hits{{0, 2}, {2, 4}}));
  // The character before the scan position is seen, never matched.
  EXPECT_EQ(scan("\\bb"), (Hits{{8, 9}}));
  EXPECT_EQ(scan("\\w+"), (Hits{{0, 4}, {5, 7}, {8, 9}}));
  // An empty leftmost match gives no hit.
  EXPECT_TRUE(scan("x*").empty());

  // A range in the middle of a file: its first character has no context
  // character; nothing is read outside the range.
  open("xxab abyy");
  reader_->SetRange(2, 7);
  EXPECT_EQ(scan("^ab"), (Hits{{2, 4}}));
  EXPECT_EQ(scan("ab"), (Hits{{2, 4}, {5, 7}}));
  reader_->SetRange(2, 7);
  EXPECT_EQ(scan("aby"), Hits{});
  // A scan that starts inside the range sees the character before it.
  reader_->SetRange(0, 9);
  EXPECT_EQ(scan("\\bab", nullptr, 3), (Hits{{5, 7}}));
}

TEST_F(RegexWindowTest, MatchesAcrossWindowsAreNeverCut)
{
  // Across position 8192 of the range.
  std::string text = std::string(8190, 'x') + " word next x";
  open(text);
  Hits hits = scan("word next");
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hitText(hits[0]), "word next");

  // A match that runs over the window's end is taken whole.
  text = std::string(8180, 'x') + " a" + std::string(40, 'b') + " tail";
  open(text);
  hits = scan("ab+");
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hits[0].second - hits[0].first, 41);
  // An earlier attempt still going at the window's end wins over a later,
  // shorter match inside the window.
  text = std::string(8100, '.') + "x" + std::string(90, '.') + "b" + std::string(30, '.') + "y tail";
  open(text);
  hits = scan("x[^y]*y|b");
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(hits[0].first, 8100);
  EXPECT_EQ(content_[size_t(hits[0].second - 1)], 'y');

  // Anchors and word boundaries never fire at a window's arbitrary start.
  text = std::string(12000, 'x') + "ab";
  open(text);
  EXPECT_TRUE(scan("^x").size() == 1u);
  EXPECT_TRUE(scan("\\bxab").empty());
  EXPECT_TRUE(scan("^ab").empty());
}

TEST_F(RegexWindowTest, DenseHitsNormaliseTheTextOnce)
{
  std::string text;
  while (text.size() < 100000)
    text += "the quick brown fox jumps over the lazy dog\r\n";
  open(text);
  TRegexWindow window;
  const Hits hits = scan("e", &window);
  size_t expected = 0;
  for (char c : text)
    expected += c == 'e';
  EXPECT_EQ(hits.size(), expected);
  EXPECT_LT(window.Normalised(), int64_t(text.size()) + 2 * TRegexWindow::WindowSize);

  // A text without hits is searched window by window.
  TRegexWindow sparse;
  EXPECT_TRUE(scan("zebra", &sparse).empty());
  EXPECT_LT(sparse.Searches(), int64_t(text.size()) / 4000 + 4);
}

// Dense hits: the text is read from the stream about once (the window's
// reader front to back, the caller's reader along the hits), not once more
// for every jump between a hit's end and the fill position.
TEST_F(RegexWindowTest, DenseHitsReadTheTextOnce)
{
  std::string text;
  while (text.size() < 400000)
    text += "the quick brown fox jumps over the lazy dog\r\n";
  testsupport::MemoryStream stream(text);
  TBufStream reader(&stream);
  TRegExp re("o[a-z]*");
  TRegexWindow window;
  int hits = 0;
  int32_t s = 0;
  int32_t e = 0;
  while (window.FindNext(reader, re, text_, &owner_, false, s, e))
    ++hits;
  EXPECT_EQ(hits, int(text.size() / 45) * 4);
  EXPECT_LT(stream.Reads(), 3 * int(text.size()) / TBufStream::BufferSize + 10);
}

TEST_F(RegexWindowTest, AWindowWhereTheExpressionGaveUpIsNotSearchedAgain)
{
  // Every attempt at an 'h' reads to the window's end and gives up: each
  // window is searched and counted once, then shifted.
  std::string text;
  while (text.size() < 16 * size_t(TRegexWindow::ShiftSize))
    text += "aa ab hab aaaa ";
  open(text);
  TRegexWindow window;
  EXPECT_TRUE(scan("h(.*){5000}x", &window).empty());
  EXPECT_EQ(owner_.giveUps, window.Searches());
  EXPECT_LE(window.Searches(), int64_t(text.size()) / TRegexWindow::ShiftSize + 1);
}

TEST_F(RegexWindowTest, StopChecksAtWordEnds)
{
  std::string text;
  for (int i = 0; i < 2000; ++i)
    text += "word ";
  open(text);
  owner_.stopAt = 50;
  EXPECT_TRUE(scan("nothing").empty());
  EXPECT_TRUE(owner_.stopped);
  EXPECT_LT(owner_.stopChecks, 60);
  EXPECT_EQ(owner_.giveUps, 0);
}

TEST_F(RegexWindowTest, DoubleBytePairsStayWhole)
{
  SetTextLanguage(0x411);  // Japanese, code page 932
  text_.DoubleByte = true;
  // 0x82 0x41 is one character whose trail byte looks like 'A'.
  open("\x82\x41 A \x82\x41");
  EXPECT_EQ(scan("A"), (Hits{{3, 4}}));
  EXPECT_EQ(scan("\x82\x41"), (Hits{{0, 2}, {5, 7}}));
  // A scan that starts behind a pair takes its trail byte as the context
  // character and never matches on it.
  EXPECT_EQ(scan("A", nullptr, 2), (Hits{{3, 4}}));
  // A pair at the window's last place moves to the next window.
  std::string text = std::string(8191, 'x') + "\x82\x41" + "A";
  open(text);
  EXPECT_EQ(scan("A"), (Hits{{8193, 8194}}));
  EXPECT_EQ(scan("\x82\x41"), (Hits{{8191, 8193}}));
}

// On a double-byte page the windows begin on characters, wherever they are
// cut, shifted or started again: the hits over several windows of generated
// 932 text are those of one search over the whole normalised text, and a
// scan that starts behind a pair reads that pair as its context character.
TEST_F(RegexWindowTest, DoubleByteWindowsBeginOnCharacters)
{
  SetTextLanguage(0x411);  // Japanese, code page 932
  ConcordSettings.NonWordChars += "\\";
  BuildCharTables();
  text_.DoubleByte = true;
  // 表 95 5C and ソ 83 5C end in a backslash (not a word character), 字 8E 9A is two lead bytes,
  // ア 83 41 ends in 'A'.
  const char* const units[] = {"\x95\x5C", "\x83\x5C", "\x8E\x9A", "\x83\x41", "A", " ", "\r\n"};
  std::mt19937 rng(5);
  std::string text;
  std::string norm;
  std::vector<int32_t> pos;
  while (text.size() < 30000) {
    const std::string unit = units[rng() % 7];
    const bool lineBreak = unit == "\r\n";
    if (!(lineBreak && !norm.empty() && norm.back() == ' ' && text.back() == '\n')) {
      norm += lineBreak ? std::string(" ") : unit;
      pos.insert(pos.end(), lineBreak ? 1 : unit.size(), int32_t(text.size() + (lineBreak ? 1 : 0)));
    } else {
      pos.back() = int32_t(text.size() + 1);
    }
    text += unit;
  }
  open(text);
  for (const char* pattern : {"[\x95\x5C\x83\x5C]+", ".\x83\x5C", "\\w+", "\\<\x83\x41", "\x8E\x9A\\>", "A", "(.)\\1"}) {
    TRegExp re(pattern);
    Hits expected;
    for (int32_t k = 0, s = -1, e = -1; k < int32_t(norm.size()) && re.Search(norm.data(), int32_t(norm.size()), k, s, e);
         k = e) {
      int32_t end = e < int32_t(norm.size()) ? pos[size_t(e)] : int32_t(text.size());
      if (end < int32_t(text.size()) && (text[size_t(end)] == '\r' || text[size_t(end)] == '\n'))
        while (end > pos[size_t(s)] + 1 && (text[size_t(end - 1)] == '\r' || text[size_t(end - 1)] == '\n'))
          --end;
      expected.emplace_back(pos[size_t(s)], end);
    }
    EXPECT_EQ(scan(pattern), expected) << pattern;
  }
  // 表ソ: behind 表 the scan sees a word character, not a backslash.
  open("\x95\x5C\x83\x5C \x83\x5C");
  EXPECT_EQ(scan("\\<\x83\x5C", nullptr, 2), (Hits{{5, 7}}));
  EXPECT_EQ(scan("\\<\x83\x5C", nullptr, 0), (Hits{{5, 7}}));
  EXPECT_EQ(scan("\\B\x83\x5C", nullptr, 2), (Hits{{2, 4}}));
}

// Characters copied in bulk from the reader's window give the same text,
// positions, hits and word ends as the one-character step, whatever the line
// ends, NUL bytes, skipped characters and reader window edges.
TEST_F(RegexWindowTest, BulkFillAgreesWithTheCharacterStep)
{
  std::mt19937 rng(7);
  const char* const patterns[] = {"ab", "b a", "a\\sb", "[^ab]+", "b$", "\\<a", ".+a,$"};
  const std::string alphabet("aabb  .\r\n\r\n-\0", 14);
  // From round 8 on, 932 text: lead bytes (83, 95) pair with any byte after
  // them, line breaks and skipped characters too.
  const std::string pairs("aab  .\r\n-\x83\x95\x5C\x41", 13);
  for (int round = 0; round < 12; ++round) {
    if (round == 8) {
      SetTextLanguage(0x411);
      text_.DoubleByte = true;
    }
    const std::string& units = round < 8 ? alphabet : pairs;
    std::string text;
    const size_t size = 3000 + rng() % 20000;
    while (text.size() < size)
      text += units[rng() % units.size()];
    text_.SkipSet.reset();
    if (round % 2)
      text_.SkipSet.set('-');
    const int32_t readerWindows[] = {0, 300, 4097};
    open(text, readerWindows[round % 3]);
    // One line longer than the window: an end anchor never holds at a cut.
    if (round == 0) {
      text.clear();
      for (int i = 0; i < 10000; ++i)
        text += "xxa,";
      text += 'n';
      open(text);
    }
    for (const char* pattern : patterns) {
      TRegexWindow bulk;
      TRegexWindow single;
      single.BulkFill = false;
      FakeOwner bulkOwner;
      const Hits expected = scan(pattern, &single);
      if (round == 0 && std::string(pattern) == ".+a,$")
        EXPECT_TRUE(expected.empty());
      const int expectedChecks = owner_.stopChecks;
      owner_ = bulkOwner;
      EXPECT_EQ(scan(pattern, &bulk), expected) << pattern << " round " << round;
      EXPECT_EQ(owner_.stopChecks, expectedChecks) << pattern << " round " << round;
      EXPECT_EQ(bulk.Normalised(), single.Normalised()) << pattern << " round " << round;
      EXPECT_EQ(std::string(bulk.Window.data() + bulk.Base(), size_t(bulk.Count() - bulk.Base())),
                std::string(single.Window.data() + single.Base(), size_t(single.Count() - single.Base())));
      owner_ = bulkOwner;
    }
  }
}

// The same hits as one search over the whole normalised text, however the
// windows fall.
TEST_F(RegexWindowTest, WindowsAgreeWithOneSearchOverTheWholeText)
{
  std::mt19937 rng(99);
  // With patterns that can match empty (never a hit; the scan goes on) and
  // end anchors (true only at the range's end, never at a window's), and a
  // last text of one letter, where every position starts a live attempt.
  // The last two texts are single lines longer than a window, where an
  // attempt from a window's start reaches its cut.
  const char* const patterns[] = {"ab+a", "b a", "(ab)+", "\\ba[ab]*b\\b", "a b$", "^b", "[ab]{3}\\s",
                                  "b\\>", "\\<ab", "a\\s+b", "a{6}b", "(b a ){3}", "\\ba{5}", "b*", "(ab)?",
                                  "a|", "b\\'", "b$", ".+a,$", ".+,\\'", "x+\\>"};
  const char alphabet[] = "aab b\r\n";
  for (int round = 0; round < 9; ++round) {
    std::string text;
    const size_t size = round == 6 ? 32768 : 20000 + rng() % 9000;
    if (round == 7)
      for (int i = 0; i < 10000; ++i)
        text += "xxa,";
    if (round == 8)
      text = std::string(size, 'x');
    text += round == 7 ? "n" : round == 8 ? "1" : "";
    while (text.size() < size)
      text += round == 6 ? 'b' : alphabet[rng() % 7];
    open(text);
    // The whole range normalised: line-break runs become one blank.
    std::string norm;
    std::vector<int32_t> pos;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\r' || text[i] == '\n') {
        size_t j = i;
        while (j + 1 < text.size() && (text[j + 1] == '\r' || text[j + 1] == '\n'))
          ++j;
        norm += ' ';
        pos.push_back(int32_t(j));
        i = j;
      } else {
        norm += text[i];
        pos.push_back(int32_t(i));
      }
    }
    for (const char* pattern : patterns) {
      TRegExp re(pattern);
      Hits expected;
      int32_t at = 0;
      for (;;) {
        const auto k = int32_t(std::lower_bound(pos.begin(), pos.end(), at) - pos.begin());
        int32_t s = -1;
        int32_t e = -1;
        if (k >= int32_t(norm.size()) || !re.Search(norm.data(), int32_t(norm.size()), k, s, e))
          break;
        const int32_t start = pos[size_t(s)];
        int32_t end = e < int32_t(norm.size()) ? pos[size_t(e)] : pos[size_t(e - 1)] + 1;
        if (end < int32_t(text.size()) && (text[size_t(end)] == '\r' || text[size_t(end)] == '\n'))
          while (end > start + 1 && (text[size_t(end - 1)] == '\r' || text[size_t(end - 1)] == '\n'))
            --end;
        expected.emplace_back(start, end);
        at = end;
      }
      // A match longer than a window is cut at its edge.
      if (round == 6 && std::string(pattern) == "b*")
        continue;
      EXPECT_EQ(scan(pattern), expected) << pattern << " round " << round;
    }
  }
}

}  // namespace

namespace {

// The raw scan (possible starts looked for in the file's bytes, a short
// window normalised from each) against the window scan: the same hits, and
// the same word ends counted, on random text with every line-end style, NUL
// bytes, lines longer than a window, hits across window and block edges,
// ranges inside the file and scans that start inside a range.
TEST_F(RegexWindowTest, RawScanAgreesWithTheWindowScan)
{
  std::mt19937 rng(2024);
  // Each takes the raw scan: bounded matches beginning with bytes other than
  // blank and line breaks; the last ones end on a line-break run, whose
  // bytes the hit keeps when more text follows.
  const char* const patterns[] = {"ab",        "ba",         "a[ab]b",     "ab(a|bb)", "\\<ab",   "ab\\>",
                                  "ab$",       "^ba",        "b\\b",       "a{3}b",    "(ab){2,4}", "ab\\s?a",
                                  "a(b|x) a",  "b\\'",       "\\`a",       "a[ab]{0,300}b",          "b(a|x)\\s{1,3}b",
                                  "b(a|x)\\s", "(ab|ba)\\s{1,3}"};
  const char* const ends[] = {"\r\n", "\n", "\r", "\r\n\r\n", "\n\r"};
  for (int round = 0; round < 10; ++round) {
    std::string text;
    // The last text runs over several raw blocks.
    const size_t size = round == 9 ? 300000 : 3000 + rng() % 15000;
    const int style = round % 5;
    while (text.size() < size) {
      const unsigned r = rng() % 100;
      if (r < 40)
        text += 'a';
      else if (r < 75)
        text += 'b';
      else if (r < 88)
        text += ' ';
      else if (r < 90)
        text += '\0';
      else if (r < 92)
        text += '.';
      else if (r < 97 || round < 2)
        text += ends[r % 2 ? style : rng() % 5];
      // Some lines far longer than a window (no line break for a while).
      if (round >= 7 && rng() % 4000 == 0)
        text.append(9000 + rng() % 8000, rng() % 2 ? 'a' : 'b');
    }
    open(text);
    const int32_t n = int32_t(text.size());
    const std::pair<int32_t, int32_t> ranges[] = {{0, n}, {int32_t(rng() % 1000), n - int32_t(rng() % 1000)}};
    for (const auto& range : ranges) {
      const int32_t from = range.first + int32_t(rng() % 3 == 0 ? rng() % 20000 : 0);
      for (const char* pattern : patterns) {
        if (round == 9 && pattern != patterns[0] && pattern != patterns[6] && pattern != patterns[12])
          continue;
        TRegexWindow raw;
        TRegexWindow window;
        window.RawScan = false;
        ASSERT_TRUE(raw.UsesRawScan(TRegExp(pattern), text_)) << pattern;
        reader_->SetRange(range.first, range.second);
        owner_ = FakeOwner();
        const Hits expected = scan(pattern, &window, from);
        const int expectedChecks = owner_.stopChecks;
        // The stream read in large blocks, and in small ones.
        for (int32_t readSize : {256 * 1024, 700}) {
          raw.RawReadSize = readSize;
          reader_->SetRange(range.first, range.second);
          owner_ = FakeOwner();
          EXPECT_EQ(scan(pattern, &raw, from), expected) << pattern << " round " << round << " " << readSize;
          EXPECT_EQ(owner_.stopChecks, expectedChecks) << pattern << " round " << round << " " << readSize;
          EXPECT_EQ(owner_.giveUps, 0);
        }
      }
    }
  }
}

// A possible start whose literal prefix runs past the end of the raw block
// held: it is looked for again once the block holds all of it, wherever the
// block's end falls inside the prefix.
TEST_F(RegexWindowTest, RawScanFindsAPrefixAcrossTheEndOfTheBlockHeld)
{
  struct Row {
    const char* pattern;
    std::string word;
  };
  const Row rows[] = {{"walking", "walking"}, {"walk(ed|ing)", "walked"}, {"melchizedek", "melchizedek"}};
  constexpr int32_t blockSize = 5000;  // the first block holds [0, 5000)
  for (const Row& row : rows) {
    for (int32_t before = 1; before <= int32_t(row.word.size()); ++before) {
      const int32_t at = blockSize - before;
      std::string text;
      while (int32_t(text.size()) < at)
        text += "xy z\r\n"[text.size() % 6];
      text.resize(size_t(at));
      text += row.word + " xy z";
      open(text);
      TRegexWindow raw;
      raw.RawReadSize = blockSize;
      ASSERT_TRUE(raw.UsesRawScan(TRegExp(row.pattern), text_)) << row.pattern;
      const Hits expected{{at, at + int32_t(row.word.size())}};
      EXPECT_EQ(scan(row.pattern, &raw), expected) << row.pattern << " " << before;
      TRegexWindow window;
      window.RawScan = false;
      EXPECT_EQ(scan(row.pattern, &window), expected) << row.pattern << " " << before;
    }
  }
}

// The raw scan reads the text once, in large blocks; the caller's reader
// is only moved to each hit's end, and reads the right bytes from there
// when asked.
TEST_F(RegexWindowTest, RawScanReadsTheTextOnceInLargeBlocks)
{
  std::string text;
  while (text.size() < 1000000)
    text += "she walked and he is walking\r\n";
  testsupport::MemoryStream stream(text);
  TBufStream reader(&stream);
  TRegExp re("walk(ed|ing)");
  TRegexWindow window;
  ASSERT_TRUE(window.UsesRawScan(re, text_));
  int hits = 0;
  int32_t s = 0;
  int32_t e = 0;
  while (window.FindNext(reader, re, text_, &owner_, false, s, e)) {
    ++hits;
    ASSERT_EQ(reader.GetPosition(), e);
    ASSERT_EQ(text.substr(size_t(s), 4), "walk");
    if (hits % 5000 == 0) {
      EXPECT_EQ(reader.NextChar(), text[size_t(e)]);
      reader.Seek(e);
      EXPECT_EQ(reader.PrevChar(), text[size_t(e) - 1]);
      reader.Seek(e);
    }
  }
  EXPECT_EQ(hits, 2 * int(text.size() / 30));
  EXPECT_LT(stream.Reads(), 60);
}

// A match across a line-break run longer than the raw block may hold: the
// call is left to the window scan, and the hits stay the same.
TEST_F(RegexWindowTest, RawScanLeavesLongRunsToTheWindowScan)
{
  std::string text = "xab " + std::string(300000, '\n') + "b ab\r\nb ab " + std::string(5000, '\r') + "x ab";
  open(text);
  const char* const pattern = "a(b|x)\\s{1,3}b";
  TRegexWindow window;
  window.RawScan = false;
  const Hits expected = scan(pattern, &window);
  ASSERT_EQ(expected.size(), 2u);
  EXPECT_EQ(expected[0], (Hits::value_type{1, 300005}));
  for (int32_t most : {16 << 20, 100000, 1000}) {
    TRegexWindow raw;
    raw.RawBlockMost = most;
    ASSERT_TRUE(raw.UsesRawScan(TRegExp(pattern), text_));
    EXPECT_EQ(scan(pattern, &raw), expected) << most;
  }
}

// From every start, before, inside and after line-break runs: the same
// hits and word ends as the window scan.
TEST_F(RegexWindowTest, RawScanFromAnyStart)
{
  const std::string text = "one ab\r\n\r\n\r\nab three,\n\n, ab\r\rx. ab";
  open(text);
  for (int32_t from = 0; from < int32_t(text.size()); ++from) {
    TRegexWindow raw;
    TRegexWindow window;
    window.RawScan = false;
    owner_ = FakeOwner();
    const Hits expected = scan("ab", &window, from);
    const int expectedChecks = owner_.stopChecks;
    owner_ = FakeOwner();
    EXPECT_EQ(scan("ab", &raw, from), expected) << from;
    EXPECT_EQ(owner_.stopChecks, expectedChecks) << from;
  }
}

// A stream still arriving: what has arrived is the text for now, and the
// scan goes on from the same place once more is there.
TEST_F(RegexWindowTest, RawScanOverAStreamStillArriving)
{
  std::mt19937 rng(5);
  std::string text;
  while (text.size() < 40000)
    text += "ab ba\r\nab\n"[rng() % 11];
  for (const char* pattern : {"ab", "\\<ba", "b\\'", "a(b|x)\\s{1,3}b"}) {
    Hits results[2];
    for (int raw = 0; raw < 2; ++raw) {
      testsupport::MemoryStream stream(text.substr(0, 7000));
      TBufStream reader(&stream);
      reader.SetRange(0, int32_t(text.size()));
      TRegExp re(pattern);
      TRegexWindow window;
      window.RawScan = raw == 1;
      window.RawReadSize = 3000;
      int32_t s = 0;
      int32_t e = 0;
      for (size_t arrived = 7000;;) {
        while (window.FindNext(reader, re, text_, &owner_, false, s, e))
          results[raw].emplace_back(s, e);
        if (arrived == text.size())
          break;
        const size_t more = std::min(text.size() - arrived, size_t(5000));
        stream.Append(std::string_view(text).substr(arrived, more));
        arrived += more;
      }
    }
    EXPECT_FALSE(results[0].empty()) << pattern;
    EXPECT_EQ(results[1], results[0]) << pattern;
  }
}

// Expressions the raw scan leaves to the window scan: matches that may
// begin with a blank or a line break, unbounded or long matches,
// back-references; text with skipped characters or double-byte pairs.
TEST_F(RegexWindowTest, RawScanOnlyWhereItsStartsHold)
{
  TRegexWindow w;
  for (const char* pattern : {"a.b", " ab", "a b", "ab+", "a[ab]{0,2000}b", "(a)\\1", "[^x]a", "x*a"})
    EXPECT_FALSE(w.UsesRawScan(TRegExp(pattern), text_)) << pattern;
  EXPECT_TRUE(w.UsesRawScan(TRegExp("walk(ed|ing)"), text_));
  TRegexScanText skip = text_;
  skip.SkipSet.set('-');
  EXPECT_FALSE(w.UsesRawScan(TRegExp("ab"), skip));
  TRegexScanText pairs = text_;
  pairs.DoubleByte = true;
  EXPECT_FALSE(w.UsesRawScan(TRegExp("ab"), pairs));
}

}  // namespace
