#include "forms/frequency_config.h"

#include "foundation/config_file.h"
#include "foundation/program_state.h"
#include "foundation/stop_list.h"
#include "support/fake_bridge.h"
#include "support/scoped_env.h"
#include "support/scratch_folder.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

// The stop-list editor as a script.
class ScriptedHost : public TFreqConfigHost {
public:
  void ShowStopListEditor() override
  {
    ++Shown;
    IgnoreCaseSeen = FrequencySettings.IgnoreCase;
    if (Edit)
      Edit();
  }
  int Shown = 0;
  bool IgnoreCaseSeen = false;
  std::function<void()> Edit;
};

class FreqConfigTest : public testing::Test {
protected:
  FreqConfigTest() : tmp_("TMPDIR", dir_.path())
  {
    InitProgramState();
    GlobalStopList = TStopList();
  }
  ~FreqConfigTest() override { GlobalStopList = TStopList(); }

  // Reads a settings file of these lines through the hub.
  void Read(const std::string& lines)
  {
    const std::string file = dir_.write("in.ini", lines);
    ASSERT_TRUE(ReadConfig(file));
  }
  std::string Written()
  {
    const std::string file = dir_.file("out.ini");
    EXPECT_TRUE(WriteConfig(file));
    return testsupport::readFile(file);
  }

  testsupport::ScratchFolder dir_;
  testsupport::ScopedEnv tmp_;
  testsupport::FakeDialogs dialogs_;
  ScriptedHost host_;
  TFreqConfigModel model_{host_};
};

}  // namespace

// Written in the fixed key order; read back to the same values; the reader
// resets a span or highlight count out of range.
TEST_F(FreqConfigTest, SettingsRoundTripAndReadChecks)
{
  FrequencySettings = {7, 90, 1234, 3, 12, false, false, {"Mono", 11, 1, 255, 0}, true};
  model_.CountAllWords = false;
  const std::string text = Written();
  size_t at = text.find("[FrequencyConfiguration]");
  ASSERT_NE(at, std::string::npos);
  for (const char* line : {"MinimumFrequency=7\r\n", "MaximumFrequency=90\r\n", "MaximumLines=1234\r\n",
                           "CollocationSpan=3\r\n", "CollocHighliteFirst=12\r\n", "IgnoreCase=0\r\n",
                           "CountAllWords=0\r\n", "SkipTags=0\r\n", "ScanTextsOnLoad=1\r\n", "Font=Mono,11,1,255,0"}) {
    const size_t next = text.find(line, at);
    ASSERT_NE(next, std::string::npos) << line;
    at = next;
  }
  const TFrequencySettings written = FrequencySettings;
  InitProgramState();
  Read(text);
  const TFrequencySettings& s = FrequencySettings;
  EXPECT_EQ(std::tie(s.MinimumFrequency, s.MaximumLines, s.CollocHighliteFirst, s.ScanTextsOnLoad, s.Font),
            std::tie(written.MinimumFrequency, written.MaximumLines, written.CollocHighliteFirst,
                     written.ScanTextsOnLoad, written.Font));
  EXPECT_FALSE(model_.CountAllWords);

  struct Case {
    const char* values;
    int32_t min, span, highlight;
  };
  for (const Case& c : {Case{"", 3, 2, 5}, Case{"CollocationSpan=7\r\nCollocHighliteFirst=0\r\nMinimumFrequency=-4", 1, 2, 5},
                        Case{"CollocationSpan=4\r\nCollocHighliteFirst=32", 3, 4, 32},
                        Case{"CollocationSpan=0\r\nCollocHighliteFirst=33", 3, 2, 5}}) {
    Read(std::string("[FrequencyConfiguration]\r\n") + c.values + "\r\n");
    EXPECT_EQ(std::tie(s.MinimumFrequency, s.CollocationSpan, s.CollocHighliteFirst), std::tie(c.min, c.span, c.highlight))
        << c.values;
  }
  EXPECT_EQ(FrequencySettings.MaximumLines, 100);
  EXPECT_TRUE(FrequencySettings.IgnoreCase);
  EXPECT_TRUE(FrequencySettings.SkipTags);
}

// Limits out of the dialog's ranges read clamped to them, and an OK with
// nothing touched stores what was read.
TEST_F(FreqConfigTest, StoredLimitsReadWithinTheDialogsRanges)
{
  struct Case {
    const char* values;
    int32_t min, max, lines;
  };
  for (const Case& c : {Case{"MinimumFrequency=-4\r\nMaximumFrequency=-4\r\nMaximumLines=-5", 1, 0, 0},
                        Case{"MinimumFrequency=0\r\nMaximumFrequency=40000\r\nMaximumLines=2000000", 1, 32000, 950000},
                        Case{"MinimumFrequency=-2147483648\r\nMaximumFrequency=-1", 1, 0, 100},
                        Case{"MinimumFrequency=99999\r\nMaximumFrequency=32000\r\nMaximumLines=0", 32000, 32000, 0},
                        Case{"MinimumFrequency=32000\r\nMaximumFrequency=0\r\nMaximumLines=950000", 32000, 0, 950000}}) {
    Read(std::string("[FrequencyConfiguration]\r\n") + c.values + "\r\n");
    const TFrequencySettings& s = FrequencySettings;
    const auto want = std::make_tuple(c.min, c.max, c.lines);
    EXPECT_EQ(std::make_tuple(s.MinimumFrequency, s.MaximumFrequency, s.MaximumLines), want) << c.values;
    model_.FormShow();
    model_.OKBtnClick();
    EXPECT_EQ(std::make_tuple(s.MinimumFrequency, s.MaximumFrequency, s.MaximumLines), want) << c.values;
  }
}

// The stop list is read first; CountAllWords defaults to its not being in
// use, and a list stays in use only when not every word is counted.
TEST_F(FreqConfigTest, CountAllWordsFollowsTheStopListReadBefore)
{
  const std::string words = "[StopList]\r\nWordCount=2\r\nWord0=the\r\nWord1=a\r\n";
  struct Case {
    std::string text;
    bool countAll, active;
  };
  for (const Case& c : {Case{words, false, true}, Case{"", true, false},
                        Case{words + "[FrequencyConfiguration]\r\nCountAllWords=1\r\n", true, false},
                        Case{"[FrequencyConfiguration]\r\nCountAllWords=0\r\n", false, false}}) {
    Read(c.text);
    EXPECT_EQ(model_.CountAllWords, c.countAll) << c.text;
    EXPECT_EQ(GlobalStopList.Active(), c.active) << c.text;
  }
}

// Showing takes the settings; OK clamps the up-down edits as unsigned
// numbers, bounds the line count and stores everything back.
TEST_F(FreqConfigTest, ShowAndOk)
{
  FrequencySettings = {3, 0, 100, 2, 5, true, true, {}, false};
  GlobalStopList.SetWords({"the"});
  GlobalStopList.SetActive(true);
  model_.CountAllWords = false;
  model_.FormShow();
  EXPECT_EQ(std::make_tuple(model_.MinFreq.Text, model_.SpanIndex, model_.ContentWordsOnly, model_.MaxFreqLabelEnabled()),
            std::make_tuple(std::string("3"), 1, true, false));

  struct Case {
    const char *min, *max, *lines, *highlight;
    int32_t minV, maxV, linesV, highlightV;
  };
  for (const Case& c : {Case{"0", "40000", "", "50", 1, 32000, 100, 32}, Case{"12", "7", "2000000", "x", 12, 7, 950000, 5},
                        Case{"-3", "", "17", "0", 32000, 0, 17, 1}}) {
    FrequencySettings = {3, 0, 100, 2, 5, true, true, {}, false};
    model_.FormShow();
    model_.MinFreq.Text = c.min;
    model_.MaxFreq.Text = c.max;
    model_.MaxLinesText = c.lines;
    model_.HighlightFirst.Text = c.highlight;
    model_.SpanIndex = 3;
    model_.ContentWordsOnly = false;
    model_.OKBtnClick();
    const TFrequencySettings& s = FrequencySettings;
    EXPECT_EQ(std::make_tuple(s.MinimumFrequency, s.MaximumFrequency, s.MaximumLines, s.CollocHighliteFirst,
                              s.CollocationSpan, model_.CountAllWords, GlobalStopList.Active()),
              std::make_tuple(c.minV, c.maxV, c.linesV, c.highlightV, 4, true, false)) << c.min;
  }
}

// Edit runs the editor with the box's case setting, which it puts back;
// Cancel puts back the stop list's state even when the editor loaded words.
TEST_F(FreqConfigTest, EditAndCancel)
{
  FrequencySettings.IgnoreCase = true;
  model_.FormShow();
  EXPECT_TRUE(model_.ContentWordsClick());  // no stop words: the focus goes to Edit
  model_.IgnoreCaseChecked = false;
  host_.Edit = [] {
    GlobalStopList.SetWords({"of"});
    GlobalStopList.SetActive(true);
  };
  model_.EditButtonClick();
  EXPECT_EQ(std::make_tuple(host_.Shown, host_.IgnoreCaseSeen, FrequencySettings.IgnoreCase, model_.StopListEdited,
                            model_.ContentWordsOnly),
            std::make_tuple(1, false, true, true, true));
  model_.CancelBtnClick();
  EXPECT_FALSE(GlobalStopList.Active());
  EXPECT_TRUE(model_.CountAllWords);
}

// What the frame refreshes after OK.
TEST(FreqOptionsChangesTest, Decisions)
{
  const TFrequencySettings base{3, 0, 100, 2, 5, true, true, {}, false};
  struct Case {
    const char* name;
    std::function<void(TFrequencySettings&)> change;
    bool stopBefore, stopAfter, edited;
    bool freeList, reset, close, rerank, drop;
  };
  const std::vector<Case> cases = {
      {"nothing", [](TFrequencySettings&) {}, false, false, false, false, false, false, false, false},
      {"highlight only", [](TFrequencySettings& s) { s.CollocHighliteFirst = 9; }, false, false, false, false, false, false, true, false},
      {"span", [](TFrequencySettings& s) { s.CollocationSpan = 4; }, false, false, false, false, false, false, false, true},
      {"limits", [](TFrequencySettings& s) { s.MaximumLines = 5; }, false, false, false, false, false, true, false, true},
      {"case", [](TFrequencySettings& s) { s.IgnoreCase = false; }, false, false, false, true, false, true, false, true},
      {"tags", [](TFrequencySettings& s) { s.SkipTags = false; }, false, false, false, true, true, true, false, true},
      {"stop switched off", [](TFrequencySettings&) {}, true, false, false, false, false, true, false, true},
      {"stop edited", [](TFrequencySettings&) {}, true, true, true, false, false, true, false, true},
      {"edited, inactive", [](TFrequencySettings& s) { s.CollocHighliteFirst = 1; }, false, false, true, false, false, false, true, false},
  };
  for (const Case& c : cases) {
    TFrequencySettings after = base;
    c.change(after);
    const TFreqOptionsChanges d = FreqOptionsChanges(base, c.stopBefore, after, c.stopAfter, c.edited);
    EXPECT_EQ(std::tie(d.FreeFreqList, d.ResetWordCounts, d.CloseListWindows, d.ReRankCollocates, d.DropCollocates),
              std::tie(c.freeList, c.reset, c.close, c.rerank, c.drop)) << c.name;
  }
}
