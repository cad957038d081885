#include "forms/concord_config.h"

#include "foundation/chartables.h"
#include "foundation/config_file.h"
#include "foundation/dialogs.h"
#include "foundation/program_state.h"
#include "foundation/settings.h"
#include "platform/paths.h"
#include "search/search_defaults.h"
#include "support/fake_bridge.h"
#include "support/scoped_env.h"
#include "support/scratch_folder.h"

#include <gtest/gtest.h>

#include <random>

using testsupport::readFile;

namespace {

class FakeView : public TConcordConfigView {
public:
  int ShowModal() override { return mrOk; }
  void ResetWordCounts() override { ++Resets; }
  int Resets = 0;
};

class ConcordConfigTest : public ::testing::Test {
protected:
  ConcordConfigTest() : config_("XDG_CONFIG_HOME", dir_.path() + "config")
  {
    InitProgramState();
    ApplySearchParameterDefaults();
    BigContextSize = 10;
    model_.SetView(&view_);
    model_.FormShow();
  }

  // OK as the user meets it: the dialog shown afresh, `edit` typed, OK.
  bool Ok(const std::function<void(TConcordConfigModel&)>& edit = {})
  {
    model_.FormShow();
    if (edit)
      edit(model_);
    return model_.OKBtnClick();
  }

  testsupport::ScratchFolder dir_;
  testsupport::ScopedEnv config_;
  testsupport::FakeDialogs dialogs_;
  testsupport::RecordingFrameSink frame_;
  FakeView view_;
  TConcordConfigModel model_;
};

TEST_F(ConcordConfigTest, OkClampsTheNumbersAndFallsBackToTheOldHits)
{
  struct Case {
    const char* hits;
    const char* frequency;
    int32_t wantHits;
    int32_t wantFrequency;
  };
  const Case cases[] = {
      {"", "0", 500, 1},          {"abc", "20000", 500, 16000}, {"0", "7", 1, 7},
      {"-5", "x", 2147483647, 1}, {" 42 ", "16000", 42, 16000},
  };
  for (const Case& c : cases) {
    ConcordSettings.MaximumHits = 500;
    ConcordSettings.FrequencyOfHits = 1;
    EXPECT_TRUE(Ok([&](TConcordConfigModel& m) {
      m.MaxSearchHitsEdit.Caption = c.hits;
      m.FrequencyofHitsUpDown.Text = c.frequency;
    }));
    EXPECT_EQ(ConcordSettings.MaximumHits, c.wantHits) << c.hits;
    EXPECT_EQ(ConcordSettings.FrequencyOfHits, c.wantFrequency) << c.frequency;
    EXPECT_EQ(model_.MaxSearchHitsEdit.Caption, std::to_string(c.wantHits));
  }
  // A changed window size refreshes once.
  EXPECT_TRUE(frame_.Calls.empty());
  model_.ContextWindowSizeCombo.ItemIndex = 1;
  EXPECT_TRUE(Ok());
  EXPECT_TRUE(Ok());
  EXPECT_EQ(BigContextSize, 20);
  EXPECT_EQ(frame_.Calls, std::vector<std::string>{"refreshConcordances"});
}

TEST_F(ConcordConfigTest, TheTagDelimiterLeavesTheDelimitersEverywhereWithOneMessage)
{
  ConcordSettings.WordTag = 1;
  ConcordSettings.wTagDelimiter = '_';
  EXPECT_TRUE(Ok([](TConcordConfigModel& m) { m.WordCharBox.Text = "._,_"; }));
  EXPECT_EQ(ConcordSettings.NonWordChars, ".,");
  ASSERT_EQ(dialogs_.Messages.size(), 1u);
  EXPECT_EQ(dialogs_.Messages[0].Kind, mtInformation);
  EXPECT_EQ(dialogs_.Messages[0].Text,
            "\"_\" is tag delimiter and can't be a word delimiter.\rSymbol will be deleted from word delimiters.");
  EXPECT_EQ(view_.Resets, 1);

  // Stored delimiters that hold the tag delimiter, OK with the box as shown:
  // the removal alone changes them, so the counts are reset, once.
  ConcordSettings.NonWordChars = ";_:";
  view_.Resets = 0;
  EXPECT_TRUE(Ok());
  EXPECT_TRUE(Ok());
  EXPECT_EQ(ConcordSettings.NonWordChars, ";:");
  EXPECT_EQ(view_.Resets, 1);
  EXPECT_EQ(dialogs_.Messages.size(), 2u);
}

TEST_F(ConcordConfigTest, TheTagDelimiterLeavesDoubleByteDelimitersWhole)
{
  SetTextLanguage(0x411);  // Japanese, code page 932
  BuildCharTables();
  ConcordSettings.WordTag = 1;
  ConcordSettings.wTagDelimiter = '_';
  // ＼ (81 5F) has the tag delimiter as its trail byte.
  const bool ok = Ok([](TConcordConfigModel& m) { m.WordCharBox.Text = ".\x81\x5f_"; });
  SetTextLanguage(0x409);
  BuildCharTables();
  EXPECT_TRUE(ok);
  EXPECT_EQ(ConcordSettings.NonWordChars, ".\x81\x5f");
  EXPECT_EQ(dialogs_.Messages.size(), 1u);
}

// A one-byte setting cannot hold ＊ (81 96): each box keeps its character.
TEST_F(ConcordConfigTest, OneCharacterBoxesKeepTheirCharacterForADoubleByteOne)
{
  SetTextLanguage(0x411);
  BuildCharTables();
  const ConcordConfig before = ConcordSettings;
  const bool ok = Ok([](TConcordConfigModel& m) {
    for (TControlState* box : {&m.Char0orMore, &m.Char0or1, &m.CharExactly1, &m.CharWordMatch, &m.TagSearchEdit})
      box->Caption = "\x81\x96";
  });
  SetTextLanguage(0x409);
  BuildCharTables();
  EXPECT_TRUE(ok);
  const ConcordConfig& c = ConcordSettings;
  EXPECT_EQ(std::string({c.WildCard0orMore, c.WildCard0or1, c.WildCardExactly1, c.WildCardMatchWords,
                         c.TagSearchSeparator}),
            std::string({before.WildCard0orMore, before.WildCard0or1, before.WildCardExactly1,
                         before.WildCardMatchWords, before.TagSearchSeparator}));
  EXPECT_EQ(view_.Resets, 0);
}

TEST_F(ConcordConfigTest, OnlyDelimitersAndWildcardsResetTheCounts)
{
  const std::pair<std::function<void(TConcordConfigModel&)>, int> cases[] = {
      {[](TConcordConfigModel&) {}, 0},
      {[](TConcordConfigModel& m) { m.SkippingBox.Text = "-"; }, 0},
      {[](TConcordConfigModel& m) { m.EqualBox.Text = "a=b"; }, 0},
      {[](TConcordConfigModel& m) { m.WordCharBox.Text = ".,;"; }, 1},
      {[](TConcordConfigModel& m) { m.Char0or1.Caption = "#"; }, 1},
      {[](TConcordConfigModel& m) { m.CharWordMatch.Caption.clear(); }, 1},
  };
  for (const auto& [edit, resets] : cases) {
    ApplySearchParameterDefaults();
    view_.Resets = 0;
    EXPECT_TRUE(Ok(edit));
    EXPECT_EQ(view_.Resets, resets);
  }
  EXPECT_EQ(ConcordSettings.WildCardMatchWords, '\0');
}

TEST_F(ConcordConfigTest, RefusedEqualCharactersKeepEverythingElseAndRefreshNothing)
{
  EXPECT_FALSE(Ok([](TConcordConfigModel& m) {
    m.MaxSearchHitsEdit.Caption = "77";
    m.EqualBox.Text = "1=2";
    m.ContextWindowSizeCombo.ItemIndex = 2;
  }));
  EXPECT_EQ(dialogs_.Texts(), std::vector<std::string>{"Wrong \"equal characters\" syntax"});
  EXPECT_EQ(model_.ActiveControl, "EqualBox");
  EXPECT_EQ(ConcordSettings.MaximumHits, 77);
  EXPECT_EQ(ConcordSettings.EqualChars, "1=2");
  EXPECT_EQ(BigContextSize, 10);
  EXPECT_TRUE(frame_.Calls.empty());
}

TEST_F(ConcordConfigTest, TheWordGapStaysOrderedWhateverIsTyped)
{
  std::mt19937 rng(7);
  for (int i = 0; i < 400; ++i) {
    TUpDownState& edit = rng() % 2 ? model_.WordMatchLoUpDown : model_.WordMatchHiUpDown;
    const bool isLo = &edit == &model_.WordMatchLoUpDown;
    const int typed = int(rng() % 12);
    const int otherBefore = isLo ? model_.WordMatchHiUpDown.Position : model_.WordMatchLoUpDown.Position;
    edit.Text = typed < 10 ? std::to_string(typed) : "";
    model_.WordMatchChange();
    const TUpDownState& lo = model_.WordMatchLoUpDown;
    const TUpDownState& hi = model_.WordMatchHiUpDown;
    ASSERT_LE(lo.Position, hi.Position);
    ASSERT_EQ(hi.Min, lo.Position);
    ASSERT_EQ(lo.Max, hi.Position);
    if (typed < 10 && isLo) {
      // Raising lo pulls hi up with it.
      ASSERT_EQ(lo.Position, typed);
      ASSERT_EQ(hi.Position, std::max(typed, otherBefore));
    } else if (typed < 10) {
      // Hi cannot go below lo.
      ASSERT_EQ(hi.Position, std::max(typed, otherBefore));
    }
  }
}

TEST_F(ConcordConfigTest, TheContextTypeSetsTheSizeControls)
{
  ConcordSettings.ContextSizes = {120, 12, 4, 1};
  const std::tuple<int, bool, int32_t, int32_t, int32_t> cases[] = {
      {0, true, 0, 1000, 120}, {1, true, 0, 40, 12}, {2, true, 0, 10, 4}, {3, false, 1, 1, 1}};
  for (const auto& [type, sized, min, max, position] : cases) {
    model_.ContextTypeCombo.ItemIndex = type;
    model_.ContextTypeComboChange();
    const TUpDownState& size = model_.ContextSizeUpDown;
    EXPECT_EQ(std::make_tuple(size.Visible, model_.ContextSizeLabel.Visible, model_.FullSentOpts.Visible, size.Min,
                              size.Max, size.Position),
              std::make_tuple(sized, sized, !sized, min, max, position)) << type;
  }
  // OK stores the size of the chosen type only.
  EXPECT_TRUE(Ok([](TConcordConfigModel& m) {
    m.ContextTypeCombo.ItemIndex = 1;
    m.ContextTypeComboChange();
    m.ContextSizeUpDown.Text = "99";
  }));
  EXPECT_EQ(ConcordSettings.ContextType, 1);
  EXPECT_EQ(ConcordSettings.ContextSizes, (std::array<int32_t, 4>{120, 40, 4, 1}));
}

TEST_F(ConcordConfigTest, SettingsComeBackAndBadValuesAreTamed)
{
  const std::string file = dir_.file("q.ini");
  ConcordSettings.WildCard0or1 = '\0';
  ConcordSettings.MatchWordsHi = 7;
  ConcordSettings.EqualChars = "a=b";
  model_.WordCharBox.Items = {".,", ";"};
  model_.EqualBox.Items = {"a=b"};
  BigContextSize = 30;
  ASSERT_TRUE(WriteConfig(file));
  const std::string text = readFile(file);
  std::vector<size_t> at;
  for (const char* key : {"MaximumHits=", "FrequencyOfHits=", "ContextType=", "ContextChars=", "NonWordChars=",
                          "SkippingChars=", "EqualChars=", "WildCard0orMore=", "WildCard0or1=\r\n",
                          "WildCardMatchWords=", "MatchWordsHi=7", "TagSearchSeparator=", "CollocateFont=",
                          "HighlightCollocates=", "BigContextSize=30", "[DelimiterHistory]", "NonWordChars1=;",
                          "[EqualHistory]"})
    at.push_back(text.find(key));
  for (size_t i = 0; i < at.size(); ++i) {
    ASSERT_NE(at[i], std::string::npos) << i;
    if (i > 0)
      EXPECT_LT(at[i - 1], at[i]) << i;
  }

  InitProgramState();
  ASSERT_TRUE(ReadConfig(file));
  EXPECT_EQ(std::make_tuple(ConcordSettings.WildCard0or1, ConcordSettings.MatchWordsHi, ConcordSettings.EqualCharSets.size()),
            std::make_tuple('\0', 7, size_t(1)));
  EXPECT_EQ(model_.WordCharBox.Items, (std::vector<std::string>{".,", ";"}));
  EXPECT_EQ(model_.EqualBox.Text, "a=b");
  EXPECT_EQ(model_.ContextWindowSizeCombo.ItemIndex, 2);

  dir_.write("bad.ini",
             "[ConcordanceConfiguration]\r\nFrequencyOfHits=0\r\nContextWords=500\r\nContextType=3\r\n"
             "BigContextSize=40\r\nEqualChars=1=2\r\nHiliteFont=Serif,12,1,65280,0\r\n");
  ASSERT_TRUE(ReadConfig(dir_.file("bad.ini")));
  EXPECT_EQ(std::make_tuple(ConcordSettings.FrequencyOfHits, ConcordSettings.EffectiveFrequencyOfHits(),
                            ConcordSettings.ContextSizes[1], BigContextSize, model_.ContextWindowSizeCombo.ItemIndex),
            std::make_tuple(0, 1, 40, 10, 0));
  EXPECT_TRUE(model_.FullSentOpts.Visible);
  EXPECT_EQ(ConcordSettings.EqualCharSets.size(), 1u);  // the old groups stay
  EXPECT_EQ(ConcordSettings.CollocateFont, (TFontRec{"Serif", 12, 1, 255, 0}));
  // Missing keys give what the search needs.
  EXPECT_EQ(std::make_tuple(std::string(ConcordSettings.NonWordChars), ConcordSettings.WildCard0orMore,
                            ConcordSettings.MaximumHits, model_.FrequencyofHitsUpDown.Position),
            std::make_tuple(std::string(DefaultNonWordChars), '*', 500, 1));
  model_.FormShow();
  EXPECT_EQ(model_.FrequencyofHitsUpDown.Text, "1");
}

}  // namespace
