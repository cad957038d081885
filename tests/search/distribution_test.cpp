#include "search/distribution.h"

#include "foundation/corpus_list.h"
#include "foundation/text_sink.h"
#include "search/concord_items.h"
#include "support/corpus_fixture.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>

namespace {

using testsupport::CorpusFixture;

std::unique_ptr<TConcordItems> MakeHits(const std::vector<std::pair<int32_t, int64_t>>& hits)
{
  auto items = std::make_unique<TConcordItems>();
  for (const auto& [file, start] : hits) {
    auto hit = std::make_unique<TConcordItem>();
    hit->FileIndex = file;
    hit->HitStart = int32_t(start);
    hit->HitEnd = int32_t(start + 1);
    items->AddItem(std::move(hit));
  }
  return items;
}

std::vector<int32_t> HitsOf(const TDistribItems& items)
{
  std::vector<int32_t> out;
  for (const TDistribItem& item : items)
    out.push_back(item.Hits);
  return out;
}

std::vector<int64_t> BoundariesOf(const TDistribItems& items)
{
  std::vector<int64_t> out;
  for (const TDistribItem& item : items)
    out.push_back(item.LineBoundary);
  return out;
}

// The reference: lines and slices counted straight from the bytes.
struct RefFile {
  std::string Bytes;
  bool Indexed = true;

  // Line ends as the index keeps them: every CR when the file has one, else every LF.
  std::vector<int64_t> Ends() const
  {
    const char end = Bytes.find('\r') != std::string::npos ? '\r' : '\n';
    std::vector<int64_t> ends;
    for (size_t i = 0; i < Bytes.size(); ++i)
      if (Bytes[i] == end)
        ends.push_back(int64_t(i));
    return ends;
  }
  int64_t Lines() const { return Indexed ? int64_t(Ends().size()) + 1 : 0; }
  // The 1-based line of a byte: one more than the line ends before it.
  int64_t LineOf(int64_t pos) const
  {
    const auto ends = Ends();
    return 1 + (std::lower_bound(ends.begin(), ends.end(), pos) - ends.begin());
  }
};

// k x total / slices rounded half to even, in integers.
int64_t RoundedBoundary(int64_t k, int64_t total, int64_t slices)
{
  const int64_t q = k * total / slices;
  const int64_t twice = 2 * (k * total % slices);
  return twice > slices || (twice == slices && q % 2 == 1) ? q + 1 : q;
}

std::string MakeText(std::mt19937& rng, int lines, const char* lineEnd, bool finalBreak)
{
  std::string text;
  for (int i = 0; i < lines; ++i) {
    text.append(std::uniform_int_distribution<int>(0, 12)(rng), 'a' + char(i % 26));
    if (i + 1 < lines || finalBreak)
      text += lineEnd;
  }
  return text;
}

class DistributionTest : public CorpusFixture {
protected:
  void Load(const std::vector<RefFile>& files)
  {
    refs_ = files;
    std::vector<std::string> names;
    for (size_t i = 0; i < files.size(); ++i)
      names.push_back(this->files.write("f" + std::to_string(i) + ".txt", files[i].Bytes));
    LoadCorpusItems(frame, names);
    for (size_t i = 0; i < files.size(); ++i)
      if (!files[i].Indexed)
        ReleaseIndex(CorpusList[int32_t(i)].LineIndex);
  }

  std::vector<RefFile> refs_;
};

// Hits placed by their line, against slices counted from the bytes, over
// random corpora of every line-end style, at every step, over the whole
// corpus and each item.
TEST_F(DistributionTest, HitsFallInTheSliceOfTheirLine)
{
  std::mt19937 rng(24);
  const char* lineEnds[] = {"\r\n", "\n", "\r"};
  for (int round = 0; round < 6; ++round) {
    UnloadCorpus(frame);
    std::vector<RefFile> files;
    const int count = 1 + round % 3;
    for (int f = 0; f < count; ++f) {
      const int lines = std::uniform_int_distribution<int>(1, 130)(rng);
      files.push_back({MakeText(rng, lines, lineEnds[(round + f) % 3], (round + f) % 2 == 0)});
    }
    Load(files);
    // Every line's first and last byte, each file's first and last byte, and random bytes.
    std::vector<std::pair<int32_t, int64_t>> hits;
    for (int f = 0; f < count; ++f) {
      const std::string& b = files[size_t(f)].Bytes;
      if (b.empty())
        continue;
      hits.push_back({f, 0});
      hits.push_back({f, int64_t(b.size()) - 1});
      for (int64_t e : files[size_t(f)].Ends()) {
        hits.push_back({f, e});
        if (e > 0)
          hits.push_back({f, e - 1});
        if (e + 1 < int64_t(b.size()))
          hits.push_back({f, e + 1});
      }
      for (int i = 0; i < 20; ++i)
        hits.push_back({f, std::uniform_int_distribution<int64_t>(0, int64_t(b.size()) - 1)(rng)});
    }
    const auto list = MakeHits(hits);
    for (int32_t scope = -1; scope < count; ++scope) {
      int64_t total = 0;
      for (int f = 0; f < count; ++f)
        if (scope < 0 || scope == f)
          total += files[size_t(f)].Lines();
      for (int32_t stepIndex = 0; stepIndex < 7; ++stepIndex) {
        SCOPED_TRACE(testing::Message() << "round " << round << " scope " << scope << " step " << stepIndex);
        const TDistribItems items = DistributionByPercent(scope, *list, stepIndex);
        if (total < 6)
          continue;  // the widened steps have their own test
        const int64_t slices = 100 / DistributionSteps[size_t(stepIndex)];
        std::vector<int64_t> boundaries;
        for (int64_t k = 1; k <= slices; ++k)
          boundaries.push_back(RoundedBoundary(k, total, slices));
        EXPECT_EQ(BoundariesOf(items), boundaries);
        std::vector<int32_t> expected(size_t(slices), 0);
        for (const auto& [f, pos] : hits) {
          if (scope >= 0 && f != scope)
            continue;
          int64_t line = files[size_t(f)].LineOf(pos);
          for (int g = 0; g < f; ++g)
            if (scope < 0)
              line += files[size_t(g)].Lines();
          ++expected[size_t(std::lower_bound(boundaries.begin(), boundaries.end(), line) - boundaries.begin())];
        }
        EXPECT_EQ(HitsOf(items), expected);
      }
    }
  }
}

struct StepCase {
  int lines;
  int32_t stepIndex;
  std::vector<int32_t> percents;
  std::vector<int64_t> boundaries;
};

class DistributionStepTest : public DistributionTest, public testing::WithParamInterface<StepCase> {};

TEST_P(DistributionStepTest, SlicesAndBoundaries)
{
  const StepCase& c = GetParam();
  std::string text;
  for (int i = 0; i < c.lines; ++i)
    text += i + 1 < c.lines ? "w\n" : "w";
  Load({{text}});
  const auto hits = MakeHits({{0, 0}, {0, int64_t(text.size()) - 1}});
  const TDistribItems items = DistributionByPercent(0, *hits, c.stepIndex);
  std::vector<int32_t> percents;
  for (const TDistribItem& item : items)
    percents.push_back(item.Percent);
  EXPECT_EQ(percents, c.percents);
  EXPECT_EQ(BoundariesOf(items), c.boundaries);
  int32_t total = 0;
  for (int32_t h : HitsOf(items))
    total += h;
  EXPECT_EQ(total, 2);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, DistributionStepTest,
    testing::Values(StepCase{1, 1, {100}, {1}},                                  // one line, all hits
                    StepCase{2, 0, {50, 100}, {1, 2}},                            // 2 lines: 50 %
                    StepCase{3, 2, {33, 66, 99}, {1, 2, 3}},                      // 3 lines: 33 %
                    StepCase{4, 1, {25, 50, 75, 100}, {1, 2, 3, 4}},              // 4 lines: 25 %
                    StepCase{4, 6, {50, 100}, {2, 4}},                            // ... unless 50 %
                    StepCase{5, 6, {20, 40, 60, 80, 100}, {1, 2, 3, 4, 5}},       // 5 lines: 20 % even from 50 %
                    StepCase{30, 4, {25, 50, 75, 100}, {8, 15, 22, 30}},          // 7.5 and 22.5 round to even
                    StepCase{1000, 2, {10, 20, 30, 40, 50, 60, 70, 80, 90, 100},
                             {100, 200, 300, 400, 500, 600, 700, 800, 900, 1000}}));

// A boundary that falls exactly between two items: the first item's hits,
// its last byte included, stay in the slice before; an item without a line
// index in between is counted by position and never read.
TEST_F(DistributionTest, BoundaryBetweenItems)
{
  Load({{"a\nb\nc"}, {"zzzz", false}, {"d\ne\nf"}});
  // Six lines, 50 %: the boundary after line 3 is the end of item 0.
  const auto hits = MakeHits({{0, 0}, {0, 4}, {1, 0}, {1, 3}, {2, 0}, {2, 4}, {3, 0}, {-1, 0}});
  const TDistribItems items = DistributionByPercent(-1, *hits, 6);
  EXPECT_EQ(BoundariesOf(items), (std::vector<int64_t>{3, 6}));
  EXPECT_EQ(HitsOf(items), (std::vector<int32_t>{4, 2}));
  EXPECT_EQ(items.back().Position, 5 + 4 + 5);
}

TEST_F(DistributionTest, ByFileCountsLinesAndSkipsUnknownItems)
{
  Load({{"1\n2\n3\n4\n5\n6\n7\n8\n9\n10"}, {"x", false}, {"1\n2\n3\n4\n5"}});
  const auto hits = MakeHits({{0, 0}, {1, 0}, {2, 1}, {2, 2}, {3, 0}, {-1, 0}});
  const TDistribItems items = DistributionByFile(*hits);
  EXPECT_EQ(BoundariesOf(items), (std::vector<int64_t>{11, 11, 16}));
  EXPECT_EQ(HitsOf(items), (std::vector<int32_t>{1, 1, 2}));
}

// Sizes and line rows given directly: item bases beyond 4 GiB.
class BigCorpus : public TDistribCorpus {
public:
  int32_t Count() const override { return 3; }
  int64_t Size(int32_t) const override { return 0x7FFFFFF0; }
  int64_t LineCount(int32_t) const override { return 3; }
  int64_t LineEnd(int32_t, int64_t row) const override { return row * 0x30000000; }
  std::string Name(int32_t item) const override { return "big" + std::to_string(item); }
};

TEST(DistributionSeamTest, BasesBeyondFourGigabytes)
{
  const BigCorpus corpus;
  const auto hits = MakeHits({{2, 0x30000000}, {2, 0x30000001}, {2, 0x7FFFFFEF}, {0, 0}});
  const TDistribItems items = DistributionByPercent(-1, *hits, 5, corpus);  // 9 lines, 33 %
  EXPECT_EQ(BoundariesOf(items), (std::vector<int64_t>{3, 6, 9}));
  EXPECT_EQ(items[1].Position, 2 * int64_t(0x7FFFFFF0) - 1);
  EXPECT_EQ(items[2].Position, 3 * int64_t(0x7FFFFFF0));
  EXPECT_EQ(HitsOf(items), (std::vector<int32_t>{1, 0, 3}));
  const TDistribItems ninths = DistributionByPercent(-1, *hits, 0, corpus);
  // Slices 48 to 50 all end at line 9: its hits go to the first of them.
  ASSERT_EQ(ninths.size(), 50u);
  EXPECT_EQ(ninths[47].LineBoundary, 9);
  EXPECT_EQ(ninths[47].Hits, 1);
  EXPECT_EQ(ninths[48].Hits + ninths[49].Hits, 0);
}

TEST_F(DistributionTest, ReportsReadBackByteForByte)
{
  const std::string longName = std::string(26, 'n') + ".txt";
  const std::string path = files.write(longName, "a\nb\n");
  files.write("s.txt", "x");
  LoadCorpusItems(frame, {path, files.file("s.txt")});
  const auto hits = MakeHits({{0, 0}, {0, 2}, {0, 3}, {1, 0}});
  const std::string byFile = files.file("byfile.txt");
  {
    TFileTextSink sink(byFile);
    WriteDistributionByFile(sink, DistributionByFile(*hits));
    sink.Close();
  }
  const std::string byPosition = files.file("byposition.txt");
  {
    files.write("byposition.txt", "old contents that are longer than the report");
    TFileTextSink sink(byPosition);
    WriteDistributionByPosition(sink, DistributionByPercent(0, *hits, 6));
    sink.Close();
  }
  auto read = [](const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  EXPECT_EQ(read(byFile), "File name                  Hits\r\n-------------------------------\r\n" + longName +
                              "      3\r\ns.txt                         1\r\n");
  EXPECT_EQ(read(byPosition), "  %     Line    Hits\r\n--------------------\r\n"
                              " 33       1      1\r\n 66       2      2\r\n 99       3      0\r\n");
}

TEST_F(DistributionTest, FailedWriteNamesTheFile)
{
  Load({{"a\nb"}});
  const auto hits = MakeHits({});
  TFileTextSink sink("/dev/full");
  try {
    WriteDistributionByPosition(sink, DistributionByPercent(0, *hits, 1));
    sink.Close();
    FAIL() << "no error";
  } catch (const std::exception& e) {
    EXPECT_NE(std::string(e.what()).find("/dev/full"), std::string::npos) << e.what();
  }
}

}  // namespace
