#include "search/hit_line.h"

#include "foundation/corpus_list.h"
#include "foundation/hash_strings.h"
#include "foundation/settings.h"
#include "search/concord_items.h"
#include "search_fixture.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using testsupport::SearchFixture;

class HitLineTest : public SearchFixture {
protected:
  // Loads one file and gives the hits of the patterns as a hit list.
  std::unique_ptr<TConcordItems> Hits(const std::string& text, std::vector<std::string> patterns)
  {
    Load({{"f.txt", text}});
    return ListOf(Run(Request(std::move(patterns))));
  }

  static void SetContext(TConcordItems& list, uint8_t type, int32_t size)
  {
    list.Context.Type = type;
    list.Context.Sizes = {0, 0, 0, 1};
    list.Context.Sizes[type] = size;
  }

  static std::string RunText(const std::string& line, const TSVFormatInfo& run)
  {
    return line.substr(size_t(run.Start - 1), size_t(run.Length));
  }

  static const TSVFormatInfo* HitRun(const TSVFormatArray& runs)
  {
    for (const TSVFormatInfo& r : runs)
      if (r.Hilite)
        return &r;
    return nullptr;
  }
};

TEST_F(HitLineTest, CharactersContextIsFramedAndCentredOnTheHit)
{
  auto list = Hits("The quick brown fox jumps over the lazy dog\r\nand runs away.", {"jumps", "dog"});
  SetContext(*list, 0, 10);
  ASSERT_EQ(list->Count(), 2);
  EXPECT_EQ(list->GetLine(0), "... brown fox jumps over the  ...");
  const TSVFormatArray& runs = list->GetItem(0)->Spans();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].Start, 15);
  EXPECT_EQ(runs[0].Length, 5);
  EXPECT_TRUE(runs[0].Center);
  EXPECT_TRUE(runs[0].Hilite);
  TSVFontInfo hilite;
  FontToSVFontInfo(ConcordSettings.HiliteFont, hilite);
  EXPECT_EQ(runs[0].Font, hilite);

  // CR LF is one blank.
  const std::string line = list->GetLine(1);
  EXPECT_EQ(line, "...  the lazy dog and runs ...");
  EXPECT_EQ(RunText(line, list->GetItem(1)->Spans()[0]), "dog");
}

TEST_F(HitLineTest, ZeroContextIsTheHitAlone)
{
  auto list = Hits("alpha beta gamma", {"alpha", "beta"});
  SetContext(*list, 1, 0);
  EXPECT_EQ(list->GetLine(1), "beta");
  EXPECT_EQ(list->GetItem(1)->Spans()[0].Start, 1);
  EXPECT_EQ(list->GetItem(1)->Spans()[0].Length, 4);
  // A hit at the start of the file: its left part starts there too.
  SetContext(*list, 1, 3);
  EXPECT_EQ(list->GetLine(0), "... alpha beta gamma ...");
}

TEST_F(HitLineTest, LinesAndSentenceContextsAreNeitherFramedNorCentred)
{
  auto list = Hits("First line.\r\nSecond one. The fox jumps. Last\r\nThird line.", {"jumps"});
  SetContext(*list, 2, 1);
  EXPECT_EQ(list->GetLine(0), "Second one. The fox jumps. Last ");
  const TSVFormatInfo* run = HitRun(list->GetItem(0)->Spans());
  ASSERT_NE(run, nullptr);
  EXPECT_FALSE(run->Center);
  SetContext(*list, 3, 1);
  EXPECT_EQ(list->GetLine(0), "The fox jumps.");
  EXPECT_FALSE(HitRun(list->GetItem(0)->Spans())->Center);
  EXPECT_EQ(list->GetHitText(0), "jumps");
}

TEST_F(HitLineTest, LongHitIsCutAndLaterRunsFollowTheCut)
{
  std::string middle;
  for (int i = 0; i < 12; ++i)
    middle += "word" + std::to_string(i) + " ";
  const std::string hit = "alpha " + middle + "omega";
  auto list = Hits("before left " + hit + " right after", {"alpha @@ omega"});
  ASSERT_EQ(list->Count(), 1);
  TConcordItem& item = *list->GetItem(0);
  ASSERT_EQ(item.HitEnd - item.HitStart, int32_t(hit.size()));
  SetContext(*list, 0, 12);

  // Mark the words around the hit: 1L with rank 0, 1R with rank 2, 2L unranked.
  list->GenerateCollocation(ctx2L, ctx2R);
  list->CollocTables[ctx2L]->SetTopLimit(5);
  list->HighlightCollocates = true;
  list->CollocColour = 0x0000FF;
  item.CollocRanks[ctx1L] = 0;
  item.CollocRanks[ctx1R] = 2;

  const std::string line = list->GetLine(0);
  const std::string cut = hit.substr(0, 27) + " ... " + hit.substr(hit.size() - 28);
  EXPECT_EQ(line, "... before left " + cut + " right after ...");
  const TSVFormatArray& runs = item.Spans();
  ASSERT_EQ(runs.size(), 3u);
  EXPECT_EQ(RunText(line, runs[0]), "left");
  EXPECT_FALSE(runs[0].Hilite);
  EXPECT_FALSE(runs[0].Center);
  EXPECT_EQ(runs[0].Font.Color, 0x0000FF);
  EXPECT_EQ(runs[1].Length, 60);
  EXPECT_EQ(RunText(line, runs[1]), cut);
  EXPECT_EQ(RunText(line, runs[2]), "right");
  // Rank 2 of 5: 255 - round(2 * (255 - 25) / 5) = 163.
  EXPECT_EQ(runs[2].Font.Color, 163);

  // Tables that are gone mean no marking.
  list->CollocTables[ctx1R].reset();
  list->GetLine(0);
  EXPECT_EQ(item.Spans().size(), 1u);
}

TEST_F(HitLineTest, SuppressedClassesAndConcealedRuns)
{
  ConcordSettings.TagStart = '<';
  ConcordSettings.TagStop = '>';
  auto list = Hits("<p>alpha <b>beta</b> gamma</p>", {"beta"});
  SetContext(*list, 1, 1);
  list->SuppressTags = true;
  EXPECT_EQ(list->GetLine(0), "... alpha beta gamma ...");
  list->SuppressTags = false;
  list->SuppressWords = true;
  // The context ends after the character that ended its word: the "<" of "</p>".
  EXPECT_EQ(list->GetLine(0), "...  <b></b> < ...");
  list->SuppressWords = false;

  list->ConcealHits = true;
  EXPECT_EQ(list->GetHitText(0), "----");
  EXPECT_EQ(list->GetLine(0).find("beta"), std::string::npos);
}

TEST_F(HitLineTest, LineThatCannotBeBuiltReadsOutOfMemory)
{
  auto list = Hits("alpha beta", {"beta"});
  SetContext(*list, 0, 10);
  list->GetLine(0);
  ASSERT_FALSE(list->GetItem(0)->Spans().empty());
  list->GetItem(0)->FileIndex = 7;
  EXPECT_EQ(list->GetLine(0), "<out of memory>");
  EXPECT_TRUE(list->GetItem(0)->Spans().empty());
  EXPECT_EQ(list->GetHitText(0), "<out of memory>");
}

TEST_F(HitLineTest, ContextPaneKeepsLineEndsAndMarksTheHit)
{
  BigContextSize = 1;
  std::string text;
  for (int i = 0; i < 60; ++i)
    text += "line " + std::to_string(i) + " of the text\r\n";
  text += "the target word\r\n" + text;
  auto list = Hits(text, {"target"});
  ASSERT_EQ(list->Count(), 1);
  const TConcordItem& item = *list->GetItem(0);
  TSVFormatArray runs;
  const std::string pane = ContextText(*CorpusList[0].Reader, item.HitStart, item.HitEnd, runs,
                                       VisibleClassMask(false, false, false));
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(RunText(pane, runs[0]), "target");
  EXPECT_FALSE(runs[0].Center);
  EXPECT_NE(pane.find("\r\n"), std::string::npos);
  // 512 bytes each side (and the character whose end reaches that limit).
  EXPECT_EQ(pane, text.substr(size_t(item.HitStart - 513), size_t(item.HitEnd - item.HitStart + 1025)));
}

}  // namespace
