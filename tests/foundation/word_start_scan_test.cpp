// The word-start search of the reader (the jump of a Text or Tag search to
// the next word that can begin a hit) against a plain position-by-position
// reference: random text with the prefix's letters in mixed case, every
// line-end style, NUL bytes, words far apart (read in blocks beyond the
// window, or through a mapped view of a file) and close together, windows
// from tiny to full size, over a stream in memory and over a file.
#include "foundation/buf_stream.h"
#include "foundation/byte_scan.h"

#include "foundation/sync_stream.h"
#include "support/memory_stream.h"
#include "support/scratch_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

using testsupport::MemoryStream;
using testsupport::ScratchFolder;

namespace {

TEST(BytePairScanTest, FindsTheSamePositionsAsAPlainLoop)
{
  std::mt19937 rng(5);
  std::vector<unsigned char> data(700);
  for (int round = 0; round < 2400; ++round) {
    TBytePairScan pair;
    for (int j = 0; j < 2; ++j) {
      pair.Offset[j] = int32_t(rng() % 12);
      pair.Mask[j] = rng() % 2 ? 0x20 : 0;
      pair.Target[j] = uint8_t('a' + rng() % 4) | pair.Mask[j];
    }
    // Dense or sparse candidates, so that every lane and the tails find some;
    // every fourth round one candidate just inside or just outside the range.
    const unsigned spread = round % 4 == 0 ? 8 : round % 4 == 1 ? 40 : 256;
    for (auto& b : data)
      b = round % 4 == 3 ? 0 : uint8_t(rng() % spread < 8 ? 'A' + (rng() % 2) * 32 + rng() % 4 : rng());
    const size_t from = 1 + rng() % 80;
    // Planted rounds take every length up to 130 with each edge in turn.
    const int planted = round / 4;
    const size_t count = round % 4 == 3 ? size_t(planted % 130) : rng() % 600;
    const unsigned char* p = data.data() + from;
    const unsigned char* last = p + count - 1;  // [p, last]; may be empty
    if (round % 4 == 3) {
      const size_t edges[] = {from - 1, from, from + count - 1, from + count};  // p - 1, p, last, last + 1
      const size_t at = edges[planted / 130 % 4];
      for (int j = 0; j < 2; ++j)
        data[at + size_t(pair.Offset[j])] = pair.Target[j];
    }
    std::vector<const unsigned char*> expected, found;
    for (const unsigned char* q = p; q <= last; ++q)
      if ((q[pair.Offset[0]] | pair.Mask[0]) == pair.Target[0] && (q[pair.Offset[1]] | pair.Mask[1]) == pair.Target[1])
        expected.push_back(q);
    for (const unsigned char* q = p; (q = pair.FindFirst(q, last)) != nullptr; ++q)
      found.push_back(q);
    ASSERT_EQ(found, expected) << "round " << round;
  }
}

struct Case {
  std::string prefix;
  bool ignoreCase;
};

class WordStartScanTest : public ::testing::TestWithParam<int32_t> {
protected:
  void SetUp() override
  {
    for (int c = 0; c < 256; ++c)
      lower_[c] = uint8_t(std::tolower(c));
    for (int c = 0; c <= 32; ++c)
      delimiters_.set(size_t(c));
    for (char c : std::string(".,;:!()\"<>*?%"))
      delimiters_.set(uint8_t(c));
    for (int c = 0; c < 256; ++c)
      table_[c] = delimiters_[size_t(c)];
  }

  // Random text: filler words, delimiters of every kind (NUL, CR, LF, CR LF,
  // tabs), the prefix in random case inside, before and after other letters,
  // with gaps between such words from a few bytes to far more than a block.
  std::string Text(std::mt19937& rng, const std::string& prefix, size_t size, size_t gap)
  {
    static const std::string glue[] = {" ", "\r\n", "\n", "\r", "\t", std::string(1, '\0'), ", ", "(", "'"};
    std::string out;
    size_t next = rng() % gap;
    while (out.size() < size) {
      if (out.size() >= next) {
        std::string word = prefix;
        for (char& c : word)
          if (rng() % 3 == 0)
            c = char(std::toupper(uint8_t(c)));
        const unsigned kind = rng() % 8;
        if (kind == 0)
          word = "x" + word;  // no word start
        else if (kind == 1)
          word.pop_back();  // cut short
        else if (kind == 2)
          word += "ed";
        out += word;
        next = out.size() + rng() % gap;
      } else {
        const unsigned length = 1 + rng() % 9;
        for (unsigned i = 0; i < length; ++i)  // mostly the prefix's own letters
          out += rng() % 2 ? prefix[rng() % prefix.size()] : char('a' + rng() % 26);
      }
      out += glue[rng() % (sizeof glue / sizeof glue[0])];
    }
    return out;
  }

  // The first position at or after start that begins a word with the prefix.
  int32_t Reference(const std::string& text, int32_t start, int32_t hi, const Case& c) const
  {
    const auto len = int32_t(c.prefix.size());
    for (int32_t p = start; p + len <= hi; ++p) {
      int32_t i = 0;
      while (i < len && (c.ignoreCase ? char(lower_[uint8_t(text[size_t(p + i)])]) : text[size_t(p + i)]) == c.prefix[size_t(i)])
        ++i;
      if (i == len && (p == start || table_[p == 0 ? 0 : uint8_t(text[size_t(p - 1)])]))
        return p;
    }
    return -1;
  }

  void ExpectSameStarts(const std::string& text, const Case& c, int32_t lo, int32_t hi, std::mt19937& rng)
  {
    MemoryStream memory(text);
    ExpectSameStarts(memory, text, c, lo, hi, rng);
    ScratchFolder folder;
    TFileSynchroStream file(folder.write("text.txt", text), CorpusFileMode);
    ExpectSameStarts(file, text, c, lo, hi, rng);
  }

  void ExpectSameStarts(TSynchroStream& stream, const std::string& text, const Case& c, int32_t lo, int32_t hi,
                        std::mt19937& rng)
  {
    TBufStream reader(&stream, delimiters_, GetParam());
    if (int64_t(c.prefix.size()) * 2 + 16 > reader.WindowSize())
      return;  // the search walks word by word then
    const TBufStream::TWordStartFinder finder(c.prefix, c.ignoreCase ? lower_ : nullptr);
    reader.SetRange(lo, hi);
    int32_t last = -1;
    const auto onWindow = [&](int32_t position) {
      // Every window's worth of text is announced, in order.
      EXPECT_GE(position, last);
      last = position;
      return true;
    };
    int checks = 0;
    for (int32_t start = lo; start < hi;) {
      reader.SetPosition(start);
      last = start;
      const int32_t expected = Reference(text, start, hi, c);
      const int32_t found = reader.FindWordStart(finder, table_, onWindow);
      ASSERT_EQ(found, expected) << c.prefix << " from " << start << " in [" << lo << ", " << hi << ")";
      if (found < 0) {
        EXPECT_EQ(reader.GetPosition(), hi);
        break;
      }
      EXPECT_EQ(reader.GetPosition(), found);
      // The window around the word holds the text, both ways from it.
      std::string ahead;
      const int32_t span = ++checks % 64 == 1 ? reader.WindowSize() + 5 : 40;
      for (int32_t i = found; i < std::min(hi, found + span); ++i)
        ahead += reader.NextChar();
      ASSERT_EQ(ahead, text.substr(size_t(found), ahead.size())) << "after " << found;
      reader.SetPosition(found);
      for (int32_t i = found - 1; i >= std::max(lo, found - (span > 40 ? 300 : 20)); --i)
        ASSERT_EQ(reader.PrevChar(), text[size_t(i)]) << "before " << found << " at " << i;
      EXPECT_LE(found - last, reader.WindowSize()) << "a window passed unannounced";
      // The next attempt starts one byte on, or a word or two further.
      start = found + 1 + int32_t(rng() % 3 == 0 ? rng() % 40 : 0);
    }
  }

  unsigned char lower_[256] = {};
  TCharSet delimiters_;
  bool table_[256] = {};
};

INSTANTIATE_TEST_SUITE_P(Windows, WordStartScanTest, ::testing::Values(24, 48, 333, 8192),
                         [](const auto& info) { return "window" + std::to_string(info.param); });

TEST_P(WordStartScanTest, FindsEveryWordStartThePlainScanFinds)
{
  std::mt19937 rng{uint32_t(GetParam())};
  const Case cases[] = {{"melchizedek", true}, {"zq", true}, {"walk", true}, {"Walk", false}, {"x7", true}};
  // Blocks grow to 128 windows: the texts reach beyond a few of them.
  const size_t size = std::min<size_t>(size_t(GetParam()) * 700, 5 << 19);
  for (const Case& c : cases)
    for (size_t gap : {size_t(30), size_t(GetParam()) * 3, size_t(GetParam()) * 150}) {
      const std::string text = Text(rng, c.prefix, size, gap);
      const auto n = int32_t(text.size());
      ExpectSameStarts(text, c, 0, n, rng);
      const auto lo = int32_t(rng() % uint32_t(n / 3));
      ExpectSameStarts(text, c, lo, lo + int32_t(rng() % uint32_t(n - lo)), rng);
    }
}

TEST_P(WordStartScanTest, AStopRequestEndsTheSearchWithinAWindow)
{
  const Case c{"zq", true};
  std::string text;
  while (text.size() < size_t(GetParam()) * 400)
    text += "abc de\r\nf";
  text += " zq";
  MemoryStream stream(text);
  TBufStream reader(&stream, delimiters_, GetParam());
  const TBufStream::TWordStartFinder finder(c.prefix, lower_);
  int calls = 0;
  EXPECT_EQ(reader.FindWordStart(finder, table_, [&](int32_t) { return ++calls < 5; }), -1);
  EXPECT_EQ(calls, 5);
  calls = 0;
  reader.SetPosition(0);
  EXPECT_EQ(reader.FindWordStart(finder, table_, [&](int32_t) { return ++calls > 0; }), int32_t(text.size()) - 2);
  EXPECT_GE(calls, int(text.size()) / GetParam());
}

}  // namespace

namespace {

// A file cut short by another program while a mapped view of it is being
// scanned: the search goes on with the file's own reads and ends where the
// file now ends, as a search over a file cut short before it began. A word
// past the new end is not found; one just before it is, also by a Tag-mode
// search, which looks for the first tag start as it goes (with none in the
// text, that reads the whole of each window's worth, so the cut strikes
// before the word is seen).
TEST(WordStartScanFileTest, AFileCutShortUnderTheScanIsSearchedToWhereItNowEnds)
{
  struct Row {
    size_t word;     // where the word "zq" begins
    int32_t cutAt;   // the scan position that makes the cut
    int32_t cutTo;   // the file's new length
    char watch;      // the tag start a Tag-mode search notes (none stands in the text), or 0
    int32_t found;
  };
  const Row rows[] = {{size_t(20) << 20, 8 << 20, 6 << 20, 0, -1},
                      {(size_t(10) << 20) - 2, 9 << 20, 10 << 20, '<', (10 << 20) - 2}};
  TCharSet delimiters;
  bool table[256] = {};
  for (int c = 0; c <= 32; ++c)
    delimiters.set(size_t(c)), table[c] = true;
  for (const Row& row : rows) {
    std::string text;
    while (text.size() < (size_t(24) << 20))
      text += "abc de\r\nfgh ";
    text.replace(row.word - 1, 4, " zqx");
    ScratchFolder folder;
    const std::string path = folder.write("cut.txt", text);
    const TBufStream::TWordStartFinder finder("zq", nullptr);

    // Uncut, the word is found, the text read through a view, not block by block.
    {
      TFileSynchroStream stream(path, CorpusFileMode);
      TBufStream reader(&stream, delimiters);
      int32_t firstWatch = INT32_MAX;
      EXPECT_EQ(reader.FindWordStart(finder, table, nullptr, row.watch, &firstWatch), int32_t(row.word));
      EXPECT_LT(reader.LockedReads(), 8);
      EXPECT_EQ(firstWatch, INT32_MAX);
    }
    // Cut when the scan passes cutAt.
    TFileSynchroStream stream(path, CorpusFileMode);
    TBufStream reader(&stream, delimiters);
    bool cut = false;
    const auto onWindow = [&](int32_t position) {
      if (!cut && position >= row.cutAt) {
        cut = true;
        EXPECT_EQ(::truncate(path.c_str(), row.cutTo), 0);
      }
      return true;
    };
    int32_t firstWatch = INT32_MAX;
    EXPECT_EQ(reader.FindWordStart(finder, table, onWindow, row.watch, &firstWatch), row.found) << row.cutTo;
    EXPECT_TRUE(cut);
    EXPECT_EQ(reader.GetPosition(), row.found >= 0 ? row.found : int32_t(text.size()));
    EXPECT_EQ(firstWatch, INT32_MAX);
  }
}

}  // namespace
