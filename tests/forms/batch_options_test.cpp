// Batch search options: the [BatchSearchConfiguration] section on real
// files, the suppress boxes, the working copy and the two sub-dialogs.
#include "forms/batch_options.h"

#include "forms/advanced_sort.h"
#include "forms/context_options.h"
#include "foundation/dialogs.h"
#include "foundation/settings.h"
#include "support/fake_bridge.h"
#include "support/scratch_folder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

class BatchOptions : public testing::Test {
protected:
  void TearDown() override { ConcordSettings = ConcordConfig(); }

  void Read(const std::string& lines)
  {
    const std::string path = folder.write("q.ini", "[BatchSearchConfiguration]\r\n" + lines);
    ReadBatchSearchSettings(platform::IniFile(path));
  }
  std::string Written()
  {
    auto ini = platform::IniFile::empty(folder.file("w.ini"));
    WriteBatchSearchSettings(ini);
    ini.flush();
    std::ifstream in(folder.file("w.ini"), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static std::string Keys()
  {
    std::string out;
    for (const auto& k : ConcordSettings.BatchSortItems)
      out += std::to_string(k.Key) + (k.Reverse ? "r " : " ");
    return out;
  }

  testsupport::ScratchFolder folder;
};

struct KeyCase {
  const char* Value;
  uint8_t Key;
};

TEST_F(BatchOptions, SortKeysReadLegacyCodesAndExactNames)
{
  const KeyCase cases[] = {{"0", ctx0}, {"1", ctx3L}, {"2", ctx2L}, {"3", ctx1L},
                           {"6", ctx3R}, {"7", ctxOrig}, {"10", ctxTrackedTag}, {"11", ctxNone},
                           {"-1", ctxNone}, {"1R", ctx1R}, {"Tracked tag", ctxTrackedTag},
                           {"1r", ctxNone}, {"xyz", ctxNone}, {"", ctxNone}};
  for (const KeyCase& c : cases) {
    Read(std::string("First sort=") + c.Value + "\r\n");
    EXPECT_EQ(ConcordSettings.BatchSort.First, c.Key) << c.Value;
  }
}

struct CustomCase {
  const char* Lines;
  bool Custom;
  const char* Keys;
};

TEST_F(BatchOptions, CustomisedListFollowsTheFlagAndFailsSilently)
{
  testsupport::FakeDialogs dialogs;
  const CustomCase cases[] = {
      {"AdvCollocation=1\r\nAdvCollocationText=1l,2rr\r\n", true, "4 6r "},  // no "Custom": from the list
      {"AdvCollocation=1\r\nAdvCollocationText=1l,2rr\r\nCustom=0\r\n", false, ""},
      {"AdvCollocation=0\r\nAdvCollocationText=1l\r\nCustom=1\r\n", true, ""},
      {"AdvCollocation=1\r\nAdvCollocationText=1l,,zz\r\n", false, ""},
  };
  for (const CustomCase& c : cases) {
    Read(c.Lines);
    EXPECT_EQ(ConcordSettings.BatchSort.Custom, c.Custom) << c.Lines;
    EXPECT_EQ(Keys(), c.Keys) << c.Lines;
  }
  EXPECT_TRUE(dialogs.Messages.empty());
}

TEST_F(BatchOptions, SectionRoundTripsThroughARestart)
{
  Read("BatchContextType=1\r\nbatchContextWords=12\r\nSuppressTags=1\r\nSuppressPartOfSpeech=1\r\n"
       "SuppressWords=1\r\nFirst sort=2\r\nSecond Reverse=1\r\nThird sort=Defined\r\n"
       "AdvCollocation=1\r\nAdvCollocationText=0-1r\r\nSort Tag Name=who\r\n");
  const std::string first = Written();
  EXPECT_NE(first.find("SuppressWords=0\r\nFirst sort=2L\r\nFirst Reverse=0\r\nSecond sort=Unsorted\r\n"
                       "Second Reverse=1\r\nThird sort=Defined\r\nThird Reverse=0\r\nAdvCollocation=1\r\n"
                       "AdvCollocationText=0-1r\r\nSort Tag Name=who\r\nCustom=1\r\n"),
            std::string::npos)
      << first;
  ConcordSettings = ConcordConfig();
  Read(first.substr(first.find("\r\n") + 2));
  EXPECT_EQ(Written(), first);
  EXPECT_EQ(Keys(), "0 5 ");
  EXPECT_EQ(BatchSearchCfgForm().ContextSizes[1], 12);
}

TEST_F(BatchOptions, SubDialogsReplaceTheListAndCopyTheContextBack)
{
  Read("AdvCollocation=1\r\nAdvCollocationText=1l\r\n");
  TBatchSearchCfgForm& form = BatchSearchCfgForm();
  std::function<bool(TAdvancedSortColModel&)> script;
  struct View : TAdvancedSortColView {
    std::function<int()> run;
    int ShowModal() override { return run(); }
    void Beep() override {}
  };
  const auto old = SetAdvancedSortViewMaker([&](TAdvancedSortColModel& m) {
    auto view = std::make_unique<View>();
    view->run = [&m, &script] { return script(m) && m.OKBtnClick().Close ? int(mrOk) : int(mrCancel); };
    return view;
  });
  script = [](TAdvancedSortColModel& m) { m.CustomText = "1l"; return true; };  // same text: no duplicate
  form.SortingBtnClick();
  EXPECT_EQ(Keys(), "4 ");
  script = [](TAdvancedSortColModel&) { return false; };
  form.SortingBtnClick();
  EXPECT_EQ(Keys(), "4 ");
  script = [](TAdvancedSortColModel& m) { m.CustomCheckClick(false); return true; };
  form.SortingBtnClick();
  EXPECT_EQ(Keys(), "");
  SetAdvancedSortViewMaker(old);

  SetContextOptionsEditor([](TContextRecord& r) {
    EXPECT_EQ(r.CallerValue, 0);
    r.ContextType = 2;
    r.Sizes[2] = 9;
    return true;
  });
  form.ContextTypeBtnClick();
  SetContextOptionsEditor({});
  EXPECT_EQ(form.ContextType, 2);
  EXPECT_EQ(form.ContextSizes[2], 9);
  EXPECT_EQ(ConcordSettings.BatchContextType, 0);
}

}  // namespace
