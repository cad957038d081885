#include "foundation/settings.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

class SettingsTest : public ::testing::Test {
protected:
  void SetUp() override { InitProgramState(); }
  void TearDown() override { InitProgramState(); }
};

}  // namespace

TEST_F(SettingsTest, InitProgramStateStartsAfresh)
{
  ConcordSettings.MaximumHits = 5;
  ConcordSettings.EqualCharSets.clear();
  ConcordSettings.wTagStarts.push_back("<w ");
  FrequencySettings.MinimumFrequency = 3;
  BigContextSize = 31;
  SentDelimiters = ".";
  BusySaving = true;
  InitProgramState();
  EXPECT_EQ(ConcordSettings.MaximumHits, 1024);
  EXPECT_EQ(ConcordSettings.EqualCharSets.size(), 1u);
  EXPECT_TRUE(ConcordSettings.wTagStarts.empty());
  EXPECT_EQ(FrequencySettings.MinimumFrequency, 0);
  EXPECT_EQ(BigContextSize, 10);
  EXPECT_EQ(SentDelimiters, ".!?");
  EXPECT_FALSE(IsBusy());
}

TEST_F(SettingsTest, DefaultFontsComeFromTheStockFont)
{
  const TFontRec stock = StockSystemFont();
  EXPECT_EQ(stock.Name, "DejaVu Sans");  // fixed by the test main
  EXPECT_EQ(CorpusFont, stock);
  EXPECT_EQ(ConcordSettings.NormalFont, stock);
  EXPECT_EQ(FrequencySettings.Font, stock);
  EXPECT_EQ(ConcordSettings.HiliteFont.Name, stock.Name);
  EXPECT_EQ(ConcordSettings.HiliteFont.Color, 0xFF0000);    // blue in BGR
  EXPECT_EQ(ConcordSettings.CollocateFont.Color, 0x0000FF); // red in BGR

  ConcordSettings.NormalFont.Size = 30;
  SystemFont.Name = "Other";
  CreateDefaultFonts();
  EXPECT_EQ(ConcordSettings.NormalFont, stock);
  EXPECT_EQ(SystemFont.Name, "MS Sans Serif");
}

TEST_F(SettingsTest, DialogFontReachesListeners)
{
  // Listeners stay for the whole run, so this one owns what it records.
  auto seen = std::make_shared<std::vector<std::string>>();
  AddDialogFontListener([seen] { seen->push_back(SystemFont.Name); });
  SetDialogFont(TFontRec{"Tahoma", 10, fsBold, 0, 204});
  EXPECT_EQ(*seen, std::vector<std::string>{"Tahoma"});
  EXPECT_EQ(SystemFont.Charset, 204);
  EXPECT_EQ(SystemFont.Style, fsBold);
}

TEST_F(SettingsTest, ResetSortSpecClearsEverythingButTheThreeKeys)
{
  TAdvancedSortColOptions sortSpec;
  sortSpec.First = ctx1L;
  sortSpec.FirstReverse = true;
  sortSpec.Second = ctxOrig;
  sortSpec.Third = ctxTrackedTag;
  sortSpec.ThirdReverse = true;
  sortSpec.Custom = true;
  sortSpec.CustomText = "1L,2R";
  sortSpec.TagName = "speaker";
  sortSpec.ShowFirst = 12;
  sortSpec.SpanCollocation = true;
  sortSpec.SpanNumber = 4;
  ResetSortSpec(sortSpec);
  EXPECT_EQ(sortSpec.First, ctxNone);
  EXPECT_EQ(sortSpec.Second, ctxNone);
  EXPECT_EQ(sortSpec.Third, ctxNone);
  EXPECT_FALSE(sortSpec.FirstReverse || sortSpec.SecondReverse || sortSpec.ThirdReverse);
  EXPECT_FALSE(sortSpec.Custom);
  EXPECT_TRUE(sortSpec.CustomText.empty());
  EXPECT_TRUE(sortSpec.TagName.empty());
  EXPECT_EQ(sortSpec.ShowFirst, 0);
  EXPECT_FALSE(sortSpec.SpanCollocation);
  EXPECT_EQ(sortSpec.SpanNumber, 0);
}

TEST(ToggleSuppress, AtMostTwoKindsHidden)
{
  std::array<bool, 3> flags{true, true, false};
  std::array<bool, 3> checks{true, true, false};
  // Tags and part-of-speech tags hidden: words cannot be hidden as well.
  EXPECT_FALSE(ToggleSuppressOption(flags, checks, 2));
  EXPECT_EQ(flags, (std::array<bool, 3>{true, true, false}));
  EXPECT_EQ(checks, (std::array<bool, 3>{true, true, false}));
  // A checked item can always be cleared.
  EXPECT_TRUE(ToggleSuppressOption(flags, checks, 0));
  EXPECT_EQ(flags, (std::array<bool, 3>{false, true, false}));
  EXPECT_EQ(checks, (std::array<bool, 3>{false, true, false}));
  // Now words can be hidden.
  EXPECT_TRUE(ToggleSuppressOption(flags, checks, 2));
  EXPECT_EQ(flags, (std::array<bool, 3>{false, true, true}));
  EXPECT_FALSE(ToggleSuppressOption(flags, checks, 0));
  EXPECT_FALSE(ToggleSuppressOption(flags, checks, 3));
}

TEST(ToggleSuppress, NewStateFollowsTheCheckMarkNotTheFlag)
{
  std::array<bool, 3> flags{true, false, false};   // out of step with the marks
  std::array<bool, 3> checks{false, false, false};
  EXPECT_TRUE(ToggleSuppressOption(flags, checks, 0));
  EXPECT_TRUE(flags[0]);
  EXPECT_TRUE(checks[0]);
}

TEST_F(SettingsTest, BusyScopeRestoresTheFlagEvenOnExceptions)
{
  try {
    BusyScope busy(BusySearching);
    EXPECT_TRUE(IsBusy());
    throw std::runtime_error("cancelled");
  } catch (const std::runtime_error&) {
  }
  EXPECT_FALSE(BusySearching);
  {
    BusyScope outer(BusySaving);
    {
      BusyScope inner(BusySaving);
    }
    EXPECT_TRUE(BusySaving);  // the inner scope does not clear the outer one
  }
  EXPECT_FALSE(IsBusy());
  for (bool* flag : {&BusyLoading, &BusyCollecting, &BusySearching, &BusySaving, &BusyPrinting, &BusyCounting}) {
    *flag = true;
    EXPECT_TRUE(IsBusy());
    *flag = false;
  }
}

TEST_F(SettingsTest, CheckedValuesForReaders)
{
  EXPECT_EQ(ConcordSettings.EffectiveFrequencyOfHits(), 1);  // 0 at creation acts as 1
  ConcordSettings.FrequencyOfHits = -5;
  EXPECT_EQ(ConcordSettings.EffectiveFrequencyOfHits(), 1);
  ConcordSettings.FrequencyOfHits = 7;
  EXPECT_EQ(ConcordSettings.EffectiveFrequencyOfHits(), 7);

  for (auto [type, size, clamped] : std::vector<std::array<int32_t, 3>>{
         {0, 1001, 1000}, {0, -1, 0}, {1, 41, 40}, {2, 11, 10}, {2, 4, 4}, {3, 0, 1}, {3, 5, 1}})
    EXPECT_EQ(ClampContextSize(type, size), clamped) << type << " " << size;
}
