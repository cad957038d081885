#include "foundation/strings_view_types.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "platform/codepage.h"

namespace {

TSVFormatInfo MakeRun(int32_t start, int32_t length, bool center = false)
{
  TSVFormatInfo r;
  r.Start = start;
  r.Length = length;
  r.Center = center;
  return r;
}

std::string Join(const TSVStringsArray& lines)
{
  std::string s;
  for (const std::string& l : lines)
    s += l;
  return s;
}

// Every character 10 pixels wide in the base font, 20 in a run's font; text
// height 12 in the base font, 30 in a run's.
TSVWrapMeasure FixedMeasure()
{
  TSVWrapMeasure m;
  m.CharWidth = [](std::string_view ch, int run) { return (run < 0 ? 10 : 20) * int(ch.size()); };
  m.TextHeight = [](int run) { return run < 0 ? 12 : 30; };
  return m;
}

}  // namespace

TEST(SVFormatTest, SanitizeDropsBadRunsAndCutsAtTheTextEnd)
{
  TSVFormatArray runs{MakeRun(1, 0), MakeRun(2, 3), MakeRun(3, 2) /* overlaps */, MakeRun(1, 1) /* unsorted */,
                      MakeRun(8, -1), MakeRun(6, 10) /* past the end */, MakeRun(0, 2), MakeRun(11, 1)};
  SanitizeSVFormat(runs, "0123456789");
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].Start, 2);
  EXPECT_EQ(runs[0].Length, 3);
  EXPECT_EQ(runs[1].Start, 6);
  EXPECT_EQ(runs[1].Length, 5);
}

TEST(SVFormatTest, RunEdgesNeverSplitADoubleByteCharacter)
{
  const platform::CodePage& cp = platform::codePage(932);
  const std::string text = "a\x82\xA0\x82\xA0" "b";  // a, two Hiragana letters, b
  // Starts on a trail byte; ends on a lead byte.
  TSVFormatArray runs{MakeRun(3, 1), MakeRun(5, 1)};
  SanitizeSVFormat(runs, text, &cp);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].Start, 2);
  EXPECT_EQ(runs[0].Length, 2);
  EXPECT_EQ(runs[1].Start, 4);
  EXPECT_EQ(runs[1].Length, 2);
}

TEST(SVSegmentsTest, OneLineSplitsAtRunEdges)
{
  // "left KEY right": the hit at 6..8.
  TSVFormatArray runs{MakeRun(6, 3, true)};
  size_t next = 0;
  std::vector<TSVSegment> segs;
  SVLineSegments(1, 14, runs, next, segs);
  ASSERT_EQ(segs.size(), 3u);
  EXPECT_EQ(segs[0].Start, 1);
  EXPECT_EQ(segs[0].Length, 5);
  EXPECT_EQ(segs[0].Run, -1);
  EXPECT_EQ(segs[1].Start, 6);
  EXPECT_EQ(segs[1].Length, 3);
  EXPECT_EQ(segs[1].Run, 0);
  EXPECT_TRUE(segs[1].Center);
  EXPECT_EQ(segs[2].Start, 9);
  EXPECT_EQ(segs[2].Length, 6);
  EXPECT_EQ(next, 1u);
}

TEST(SVSegmentsTest, RunGoingOnToTheNextLineCentresBothParts)
{
  // Lines "abc de" (1..6) and "fgh" (7..9); the centred run covers 5..8.
  TSVFormatArray runs{MakeRun(5, 4, true)};
  const TSVFormatArray original = runs;
  size_t next = 0;
  std::vector<TSVSegment> segs;
  SVLineSegments(1, 6, runs, next, segs);
  ASSERT_EQ(segs.size(), 2u);
  EXPECT_EQ(segs[1].Start, 5);
  EXPECT_EQ(segs[1].Length, 2);
  EXPECT_TRUE(segs[1].Center);
  EXPECT_EQ(next, 0u);  // shortened, not consumed
  SVLineSegments(7, 3, runs, next, segs);
  ASSERT_EQ(segs.size(), 2u);
  EXPECT_EQ(segs[0].Start, 7);
  EXPECT_EQ(segs[0].Length, 2);
  EXPECT_TRUE(segs[0].Center);
  EXPECT_EQ(segs[1].Run, -1);
  EXPECT_EQ(next, 1u);
  EXPECT_EQ(original[0].Start, 5);  // only the working copy changed
}

TEST(SVSegmentsTest, SegmentsCoverEveryByteOnceWhateverTheRuns)
{
  std::mt19937 rng(7);
  for (int round = 0; round < 300; ++round) {
    const int len = int(rng() % 40);
    TSVFormatArray runs;
    for (int k = int(rng() % 6); k > 0; --k)
      runs.push_back(MakeRun(int(rng() % 45) - 2, int(rng() % 12) - 2, rng() % 2 == 0));
    SanitizeSVFormat(runs, std::string(size_t(len), 'x'));
    // Random line breaks.
    std::vector<int> lens;
    for (int rest = len; rest > 0;) {
      const int n = 1 + int(rng() % std::max(1, rest));
      lens.push_back(n);
      rest -= n;
    }
    if (lens.empty())
      lens.push_back(0);
    std::vector<int> covered(size_t(len) + 1, 0);
    size_t next = 0;
    int pos = 1;
    std::vector<TSVSegment> segs;
    for (int n : lens) {
      SVLineSegments(pos, n, runs, next, segs);
      for (const TSVSegment& s : segs) {
        ASSERT_GT(s.Length, 0);
        ASSERT_GE(s.Start, pos);
        ASSERT_LE(s.Start + s.Length, pos + n);
        for (int i = s.Start; i < s.Start + s.Length; ++i)
          ++covered[size_t(i)];
      }
      pos += n;
    }
    for (int i = 1; i <= len; ++i)
      ASSERT_EQ(covered[size_t(i)], 1) << "round " << round << " byte " << i;
  }
}

TEST(SVWrapTest, CutsAtTheLastBlankWhichStaysAtTheLineEnd)
{
  TSVStringsArray lines;
  const int32_t h = SVWrapText("one two three", {}, 85, 14, nullptr, FixedMeasure(), lines);
  EXPECT_EQ(lines, (TSVStringsArray{"one two ", "three"}));
  EXPECT_EQ(h, 28);  // two lines of max(14, 12)
}

TEST(SVWrapTest, TabsAreBlanksAndTheLinesGiveTheTextBack)
{
  TSVStringsArray lines;
  const std::string text = "alpha\tbeta gamma\tdelta epsilon";
  SVWrapText(text, {MakeRun(7, 4), MakeRun(18, 5)}, 120, 14, nullptr, FixedMeasure(), lines);
  std::string expected = text;
  std::replace(expected.begin(), expected.end(), '\t', ' ');
  EXPECT_GT(lines.size(), 2u);
  EXPECT_EQ(Join(lines), expected);
  EXPECT_EQ(lines[0], "alpha ");
}

TEST(SVWrapTest, WordLongerThanTheAreaIsCutAtTheLastCharacterThatFits)
{
  TSVStringsArray lines;
  SVWrapText("abcdefgh", {}, 50, 14, nullptr, FixedMeasure(), lines);
  EXPECT_EQ(lines, (TSVStringsArray{"abcde", "fgh"}));
  // Not even the first character fits: the first line is empty.
  SVWrapText("ab", {}, 5, 14, nullptr, FixedMeasure(), lines);
  EXPECT_EQ(lines, (TSVStringsArray{"", "a", "b"}));
}

TEST(SVWrapTest, EmptyTextIsOneEmptyLine)
{
  TSVStringsArray lines;
  EXPECT_EQ(SVWrapText("", {}, 50, 14, nullptr, FixedMeasure(), lines), 14);
  EXPECT_EQ(lines, TSVStringsArray{""});
}

TEST(SVWrapTest, RunsAreMeasuredInTheirFontAndATallerFontMakesATallerLine)
{
  // "ab CDE fg": CDE in the run font (20 px each, 30 high).
  TSVStringsArray lines;
  const int32_t h = SVWrapText("ab CDE fg", {MakeRun(4, 3)}, 80, 14, nullptr, FixedMeasure(), lines);
  // a b _ = 30, C D = 70, E would reach 90: cut at "ab ", inside the run.
  EXPECT_EQ(lines, (TSVStringsArray{"ab ", "CDE ", "fg"}));
  EXPECT_EQ(h, 30 + 14 + 14);
}

TEST(SVWrapTest, DoubleBytePairsAreNeverSplit)
{
  const platform::CodePage& cp = platform::codePage(932);
  ASSERT_TRUE(cp.dbcs);
  // Five Hiragana letters (two bytes each, 20 px) in an area of 50 px.
  const std::string a = "\x82\xA0";
  const std::string text = a + a + a + a + a;
  TSVStringsArray lines;
  SVWrapText(text, {}, 50, 14, &cp, FixedMeasure(), lines);
  EXPECT_EQ(lines, (TSVStringsArray{a + a, a + a, a}));
}
