#include "foundation/tag_scan.h"

#include "foundation/hash_strings.h"
#include "foundation/indexed_stream.h"
#include "support/scratch_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

using testsupport::ScratchFolder;

namespace {

TCharSet defaultDelimiters()
{
  TCharSet set;
  for (int c = 0; c <= 32; ++c)
    set.set(size_t(c));
  for (unsigned char c : std::string(".,;:!#$^&()[]{}<>+=/\\|`~\"*%?@"))
    set.set(c);
  return set;
}

TTagScanOptions baseOptions()
{
  TTagScanOptions o;
  o.delimiters = defaultDelimiters();
  o.tagStart = '<';
  o.tagStop = '>';
  o.wordTagStop = '>';
  return o;
}

struct ScanResult {
  std::vector<int32_t> lines;
  std::vector<int32_t> pages;
  std::vector<std::vector<int32_t>> tagRows;
  int64_t words = 0;
};

std::vector<int32_t> column(TIndexedStream& index, int32_t col)
{
  std::vector<int32_t> out;
  for (int32_t r = 0; r < index.RowCount(); ++r)
    out.push_back(index.ValueAt(r, col));
  return out;
}

// Runs the scanner over text in chunks of chunkSize, feeding the new bytes
// in reads of at most `readSize`, or of the sizes `readSizes` in turn (a
// short read ends a chunk early).
ScanResult scan(const std::string& text, TTagScanOptions options, int32_t chunkSize = TTagScanner::ChunkSize,
                int32_t readSize = 1 << 30, const std::vector<int32_t>& readSizes = {})
{
  ScratchFolder dir;
  auto lines = options.lines ? TIndexedStream::Create(dir.file("l.tmp"), 1) : nullptr;
  auto pages = !options.pageSeparator.empty() ? TIndexedStream::Create(dir.file("p.tmp"), 1) : nullptr;
  const auto columns = static_cast<int32_t>(options.tags.size());
  auto tags = columns > 0 ? TIndexedStream::Create(dir.file("t.tmp"), columns) : nullptr;
  ScanResult r;
  {
    TTagScanner scanner(options, lines.get(), pages.get(), tags.get(), chunkSize);
    size_t pos = 0;
    for (size_t read = 0; pos < text.size(); ++read) {
      const int32_t want = readSizes.empty() ? readSize : readSizes[read % readSizes.size()];
      const auto n = static_cast<int32_t>(std::min<size_t>({size_t(scanner.Room()), text.size() - pos, size_t(want)}));
      EXPECT_EQ(scanner.NextPosition(), static_cast<int32_t>(pos));
      std::memcpy(scanner.NewBytes(), text.data() + pos, size_t(n));
      scanner.Commit(n);
      pos += size_t(n);
    }
    scanner.Finish();
    r.words = scanner.Words();
  }
  if (lines)
    r.lines = column(*lines, 0);
  if (pages)
    r.pages = column(*pages, 0);
  if (tags) {
    for (int32_t row = 0; row < tags->RowCount(); ++row) {
      std::vector<int32_t> values;
      for (int32_t c = 0; c < columns; ++c)
        values.push_back(tags->ValueAt(row, c));
      r.tagRows.push_back(values);
    }
  }
  return r;
}

// Distinct positions recorded in one tag column.
std::set<int32_t> tagPositions(const ScanResult& r, size_t col)
{
  std::set<int32_t> out;
  for (const auto& row : r.tagRows)
    if (row[col] >= 0)
      out.insert(row[col]);
  return out;
}

std::string filler(size_t n, uint32_t seed)
{
  std::mt19937 rng(seed);
  static const char* const words[] = {"alpha", "beta", "gamma", "delta", "to", "a", "Zed"};
  std::string s;
  while (s.size() < n) {
    s += words[rng() % 7];
    s += (rng() % 9 == 0) ? ", " : " ";
  }
  s.resize(n);
  s.back() = ' ';
  return s;
}

}  // namespace

TEST(TagScanTest, LineEndsAreCrLfOrBareCrOrBareLfThroughTheWholeFile)
{
  // Random text of CR LF, CR and LF line ends mixed in every chunk; the line
  // ends are those of a byte-by-byte reading, however the chunks fall.
  std::mt19937 rng(7);
  std::string text;
  while (text.size() < 9000) {
    static const char* const pieces[] = {"word ", "x", "\r\n", "\r", "\n", "\n\r", "\r\r\n\n"};
    text += pieces[rng() % 7];
  }
  std::vector<int32_t> expected;
  for (size_t i = 0; i < text.size(); ++i)
    if (text[i] == '\r' || (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')))
      expected.push_back(int32_t(i));
  TTagScanOptions o = baseOptions();
  o.lines = true;
  for (int32_t chunk : {1024, 1025, TTagScanner::ChunkSize})
    EXPECT_EQ(scan(text, o, chunk, 333).lines, expected) << "chunk " << chunk;
}

TEST(TagScanTest, ShortReadsCountOnlyTheBytesRead)
{
  // After a chunk shorter than the one before, the buffer still holds older
  // bytes behind it; they are no line ends.
  TTagScanOptions o = baseOptions();
  o.lines = true;
  EXPECT_EQ(scan(std::string(3000, '\n'), o, 1024, 1024).lines.size(), 3000u);

  // A download arrives in reads of any size.
  std::mt19937 rng(5);
  std::vector<int32_t> reads;
  for (int i = 0; i < 97; ++i)
    reads.push_back(int32_t(1 + rng() % 1500));
  std::string text;
  while (text.size() < 20000)
    text += rng() % 4 == 0 ? "ab\r\n" : "\n";
  std::vector<int32_t> expected;
  for (size_t i = 0; i < text.size(); ++i)
    if (text[i] == '\r' || (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')))
      expected.push_back(int32_t(i));
  for (int32_t chunk : {1024, 4096, TTagScanner::ChunkSize})
    EXPECT_EQ(scan(text, o, chunk, 0, reads).lines, expected) << "chunk " << chunk;
}

TEST(TagScanTest, PagesAndTagsAcrossChunkEdgesAreFoundOnce)
{
  TTagScanOptions o = baseOptions();
  o.pageSeparator = "<pb>";
  o.tags = {TWatchedTag::Make("head", "<head>", "</head>")};
  for (int32_t edge : {1020, 1021, 1022, 1023, 1024}) {
    std::string text(size_t(edge - 2), 'a');
    text += " <pb> <head>x</head> ";
    text += filler(3000, 1);
    text += "<pb><pb>";
    const ScanResult r = scan(text, o, 1024);
    const auto first = static_cast<int32_t>(text.find("<pb>"));
    const auto last = static_cast<int32_t>(text.rfind("<pb>"));
    EXPECT_EQ(r.pages, (std::vector<int32_t>{first, last - 4, last})) << edge;
    EXPECT_EQ(tagPositions(r, 0), (std::set<int32_t>{static_cast<int32_t>(text.find("<head>"))})) << edge;
  }
}

TEST(TagScanTest, TrailingHashNeedsABlankAfterTheText)
{
  TTagScanOptions o = baseOptions();
  o.pageSeparator = "PAGE#";
  const std::string text = "PAGE 1 PAGE2 PAGE\r\nx PAGE\nPAGE";
  EXPECT_EQ(scan(text, o).pages, (std::vector<int32_t>{0, 13, 21}));  // not the one at the end

  // The blank that decides is the first byte of the next chunk.
  std::string edge(1020, 'a');
  edge[1019] = ' ';
  edge += "PAGE";  // 1020..1023, the end of the first chunk
  edge += " rest";
  EXPECT_EQ(scan(edge, o, 1024).pages, (std::vector<int32_t>{1020}));
  std::string digit = edge;
  digit[1024] = '7';
  EXPECT_TRUE(scan(digit, o, 1024).pages.empty());
}

TEST(TagScanTest, TagRowsRepeatTheLastPositionOfQuieterTags)
{
  TTagScanOptions o = baseOptions();
  o.tags = {TWatchedTag::Make("a", "<a>", "</a>"), TWatchedTag::Make("b", "<b>", "</b>")};
  const std::string text = "<a>1 <b>2 <a>3 <a>4";
  const ScanResult r = scan(text, o);
  EXPECT_EQ(r.tagRows, (std::vector<std::vector<int32_t>>{{0, 5}, {10, 5}, {15, 5}}));

  // A second chunk with only the second tag: the first column keeps its last.
  std::string two = std::string("<a>") + std::string(1500, ' ') + "<b>";
  const ScanResult r2 = scan(two, o, 1024);
  EXPECT_EQ(r2.tagRows, (std::vector<std::vector<int32_t>>{{0, -1}, {0, 1503}}));
}

TEST(TagScanTest, CocoaTagsMatchTheirNameAndCarryAcrossEdges)
{
  TTagScanOptions o = baseOptions();
  o.tags = {TWatchedTag::Make("speaker", "speaker", ""), TWatchedTag::Make("s", "s", "")};
  const std::string text = "<speaker Ann> hi <s> <speakers Bob> <Speaker x> <s\r\n1>";
  const ScanResult r = scan(text, o);
  EXPECT_EQ(tagPositions(r, 0), (std::set<int32_t>{0}));
  EXPECT_EQ(tagPositions(r, 1), (std::set<int32_t>{17, 48}));

  // A start near the end of a chunk whose stop is in the next one.
  std::string edge(1000, 'x');
  edge += " <speaker ";
  edge += std::string(100, 'y') + "> tail";
  EXPECT_EQ(tagPositions(scan(edge, o, 1024), 0), (std::set<int32_t>{1001}));

  // A stop more than 512 bytes away does not close the tag.
  std::string far = std::string(700, ' ') + "<speaker " + std::string(600, 'y') + "> <speaker>";
  EXPECT_EQ(tagPositions(scan(far, o, 1024), 0), (std::set<int32_t>{1311}));
  EXPECT_EQ(tagPositions(scan(far, o), 0), (std::set<int32_t>{1311}));
}

TEST(TagScanTest, TagsStartingAtEveryDistanceFromAChunkEdgeAreFoundAsInOneChunk)
{
  // A start in the last 512 bytes of a chunk is carried into the next one;
  // its stop may lie up to 512 bytes after it.
  TTagScanOptions o = baseOptions();
  o.tags = {TWatchedTag::Make("speaker", "speaker", "")};
  for (int32_t before : {1, 2, 9, 10, 256, 510, 511, 512, 513, 520}) {
    for (int32_t span : {9, 100, 512, 513}) {
      // span bytes from the start to the stop, both included
      const std::string tag = span == 9 ? "<speaker>" : "<speaker " + std::string(size_t(span - 10), 'y') + ">";
      const std::string text = std::string(size_t(1024 - before - 1), 'x') + " " + tag + " tail";
      SCOPED_TRACE(testing::Message() << before << " bytes before the edge, tag of " << span << " bytes");
      EXPECT_EQ(tagPositions(scan(text, o, 1024), 0), (std::set<int32_t>{1024 - before}));
    }
  }
}

TEST(TagScanTest, WordsSkipTagsOnlyWhenAsked)
{
  TTagScanOptions o = baseOptions();
  o.countWords = true;
  const std::string text = "a, b <c d> e";
  EXPECT_EQ(scan(text, o).words, 5);
  o.skipTags = true;
  EXPECT_EQ(scan(text, o).words, 3);

  // Style 2: the start string is found before the markup tag start.
  o.wordTagStyle = 2;
  o.wordTagStarts = {"<w "};
  o.tagStart = '[';
  o.tagStop = ']';
  EXPECT_EQ(scan("dog<w NN>cat [x y] z", o).words, 3);
  o.skipTags = false;
  EXPECT_EQ(scan("dog<w NN>cat [x y] z", o).words, 7);

  // NUL is a delimiter; the word at the very end counts.
  TTagScanOptions plain = baseOptions();
  plain.countWords = true;
  EXPECT_EQ(scan(std::string("a\0b\0\0c", 6), plain).words, 3);
  EXPECT_EQ(scan("", plain).words, 0);
}

TEST(TagScanTest, WordsGoToTheTableWithTheirFirst255Characters)
{
  THashStrings table(4096, 0x409);
  TTagScanOptions o = baseOptions();
  o.countWords = true;
  o.wordTable = &table;
  o.delimiters.reset('_');  // style 1: word and tag are one word
  const std::string longWord(300, 'L');
  std::string text = "Dog_NN cat_VB dog_NN " + std::string(900, ' ') + longWord + " end";
  const ScanResult r = scan(text, o, 1024);
  EXPECT_EQ(r.words, 5);
  EXPECT_EQ(table.CountOf("dog_nn"), 2);
  EXPECT_EQ(table.CountOf("cat_vb"), 1);
  EXPECT_EQ(table.CountOf(std::string(255, 'l')), 1);
  EXPECT_EQ(table.CountOf("end"), 1);
  EXPECT_EQ(table.Count(), 4);
}

TEST(TagScanTest, ResultsDoNotDependOnWhereChunksEnd)
{
  // Random text full of CR LF line ends, separators, tags and
  // part-of-speech tags; every chunking must give the same indexes and word
  // counts.
  std::mt19937 rng(42);
  static const char* const pieces[] = {"word", "Other", " ", " ", "\r\n", "\r\n", "<pb>", "PG ", "PG5",
                                       "<w NN>", "<w", "<div>", "</div>", "<note n=1>", "<", ">", ",",
                                       "", "longer-word", "\t", "caf\xE9", "\xA0\xFF"};
  std::string text;
  while (text.size() < 40000) {
    const size_t k = rng() % 22;
    if (k == 17)
      text.push_back('\0');
    else
      text += pieces[k];
  }

  THashStrings reference(4096, 0x409);
  TTagScanOptions o = baseOptions();
  o.lines = true;
  o.pageSeparator = "PG#";
  o.tags = {TWatchedTag::Make("div", "<div>", "</div>"), TWatchedTag::Make("note", "note", ""),
            TWatchedTag::Make("pb", "<pb>", "")};
  o.tags[2].Cocoa = false;  // a start text without stop text, searched literally
  o.countWords = true;
  o.skipTags = true;
  o.wordTagStyle = 2;
  o.wordTagStarts = {"<w "};
  o.delimiters.set(0xA0);  // a delimiter above 0x7F

  TTagScanOptions withTable = o;
  withTable.wordTable = &reference;
  const ScanResult whole = scan(text, withTable);
  EXPECT_GT(whole.words, 1000);
  EXPECT_GT(whole.pages.size(), 100u);
  for (size_t c = 0; c < 3; ++c)
    EXPECT_GT(tagPositions(whole, c).size(), 100u) << "column " << c;
  for (int32_t chunk : {1024, 1025, 1536, 4096}) {
    for (int32_t readSize : {7, 333, 1 << 30}) {
      THashStrings table(4096, 0x409);
      TTagScanOptions opt = o;
      opt.wordTable = &table;
      const ScanResult r = scan(text, opt, chunk, readSize);
      SCOPED_TRACE(testing::Message() << "chunk " << chunk << ", reads " << readSize);
      EXPECT_EQ(r.lines, whole.lines);
      EXPECT_EQ(r.pages, whole.pages);
      EXPECT_EQ(r.words, whole.words);
      for (size_t c = 0; c < 3; ++c)
        EXPECT_EQ(tagPositions(r, c), tagPositions(whole, c)) << "column " << c;
      ASSERT_EQ(table.Count(), reference.Count());
      for (int32_t i = 0; i < reference.Count(); ++i)
        EXPECT_EQ(table.CountOf(reference.Strings(i)), reference.Counts(i));
      // Counting without a table takes the block-wise path where it can.
      for (bool scalar : {false, true}) {
        ForceScalarWordCount = scalar;
        EXPECT_EQ(scan(text, o, chunk, readSize).words, whole.words) << "scalar " << scalar;
      }
      ForceScalarWordCount = false;
    }
  }
}
