// Customised key lists, the [AdvancedSort] and [AdvancedColloc] sections on
// real files, SameSortSpec, and the dialog model in both modes driven as the
// form drives it, with the messages recorded.
#include "forms/advanced_sort.h"

#include "foundation/config_file.h"
#include "foundation/tag_scan.h"
#include "support/fake_bridge.h"
#include "support/scratch_folder.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace {

using testsupport::FakeDialogs;
using Keys = std::vector<TAdvancedSortColItem>;

// "1L 0~ 1R": display-like names, '~' for reversed entries.
std::string Show(const Keys& keys)
{
  static const char* const names[ContextsCount] = {"0",    "4L",   "3L",  "2L",  "1L",  "1R",  "2R",
                                                  "3R",   "4R",   "orig", "none", "def", "tag"};
  std::string out;
  for (const TAdvancedSortColItem& k : keys)
    out += (out.empty() ? "" : " ") + std::string(names[k.Key]) + (k.Reverse ? "~" : "");
  return out;
}

class AdvancedSortTest : public testing::Test {
protected:
  void SetUp() override
  {
    InitProgramState();
    WatchedTags.clear();
  }
  void TearDown() override { WatchedTags.clear(); }
  FakeDialogs dialogs;
};

struct ParseCase {
  bool sortMode;
  const char* text;
  const char* keys;     // what the list holds afterwards
  int32_t errorPos;     // -1: the parse succeeds
  const char* message;  // "" when none is shown
};

TEST_F(AdvancedSortTest, ParsesCustomisedKeyLists)
{
  const ParseCase cases[] = {
      {true, "1r,1l", "1R 1L", -1, ""},
      {true, "1lr-1rr", "1L~ 0~ 1R~", -1, ""},
      {true, "4r-2r", "4R 3R 2R", -1, ""},
      {true, "2r-4l", "2R 1R 0 1L 2L 3L 4L", -1, ""},
      {true, "2l-2l,0r", "2L 0~", -1, ""},
      {true, " 1L , 2R ", "1L 2R", -1, ""},
      {true, "1rr,orig,\tdef,tag", "1R~ orig def tag", -1, ""},
      {true, "4r-3r-1r", "4R 3R 2R 1R", -1, ""},
      {false, "1l,0,1r", "1L 0 1R", -1, ""},
      {false, "1l-1r", "1L 0 1R", -1, ""},
      {false, "4l-4r", "4L 3L 2L 1L 0 1R 2R 3R 4R", -1, ""},
      {false, "1r,1l", "1R", 3, "Invalid order in Customised Collocation."},
      {false, "1l,  def", "1L", 5, "Unknown item in Customised Collocation."},
      {false, "tag", "", 0, "Unknown item in Customised Collocation."},
      {false, "1lr", "", 0, "Unknown item in Customised Collocation."},
      {false, "2l-2l", "2L", -1, ""},
      {false, "2r-1l", "2R", 3, "Invalid order in Customised Collocation."},
      {false, "1l,1l", "1L", 3, "Duplicated Item in Customised Collocation."},
      {true, "1l,1l", "1L", 3, "Duplicated Item in Customised Sort."},
      {true, "0,1l-1r", "0 1L", 5, "Duplicated Item in Customised Sort."},
      {true, "1l,", "1L", 3, "Unknown item in Customised Sort."},
      {true, "1l,,2l", "1L", 3, "Unknown item in Customised Sort."},
      {true, "5xr", "", 0, "Unknown item in Customised Sort."},
      {true, "0rr", "", 0, "Unknown item in Customised Sort."},
      {true, "", "", 0, ""},
  };
  for (const ParseCase& c : cases) {
    SCOPED_TRACE(c.text);
    for (bool messages : {false, true}) {
      dialogs.Messages.clear();
      Keys list;
      int32_t pos = 99;
      const bool ok = ParseCustomisedKeys(messages, c.sortMode, c.text, list, pos);
      EXPECT_EQ(ok, c.errorPos < 0);
      EXPECT_EQ(Show(list), c.keys);
      if (!ok) {
        EXPECT_EQ(pos, c.errorPos);
      }
      const bool shown = messages && *c.message;
      EXPECT_EQ(dialogs.Texts(), shown ? std::vector<std::string>{c.message} : std::vector<std::string>{});
    }
  }
  // The list is appended to: a key already in it counts as a duplicate.
  Keys list{{ctx1L, false}};
  int32_t pos = 0;
  EXPECT_FALSE(ParseCustomisedKeys(false, true, "0,1l", list, pos));
  EXPECT_EQ(Show(list), "1L 0");
  EXPECT_EQ(pos, 2);
}

TEST_F(AdvancedSortTest, SettingsKeepDisplayNamesAndReadTheOlderLayout)
{
  testsupport::ScratchFolder folder;
  const TConfigArea old = RegisterConfigArea(csAdvancedSort, {});
  InstallAdvancedSortSettings();
  // One value at a time: what a key reads as in each section.
  struct ValueCase {
    const char* value;
    int sort, colloc;
  };
  const ValueCase values[] = {
      {"Search term", ctx0, ctx0},  {"Search Term", ctxNone, ctxNone}, {"search term", ctxNone, ctxNone},
      {"Unsorted", ctxNone, ctxNone}, {"None", ctxNone, ctxNone},        {"Tracked tag", ctxTrackedTag, ctxNone},
      {"Original order", ctxOrig, ctxNone}, {"4R", ctx4R, ctx4R},       {"Defined", ctxDefined, ctxNone},
      {"3", ctx0, ctx0},            {"9", ctxNone, ctxNone},             {"10", ctxNone, ctxNone},
      {"-1", ctxNone, ctxNone},     {"$3", ctx0, ctx0},                  {"", ctxNone, ctxNone},
  };
  for (const ValueCase& v : values) {
    SCOPED_TRACE(v.value);
    platform::IniFile ini(folder.write("one.ini", std::string("[AdvancedSort]\r\nFirst=") + v.value +
                                                      "\r\n[AdvancedColloc]\r\nSpanNumber=6\r\nFirst=" + v.value + "\r\n"));
    ReadAdvancedSortSettings(ini);
    EXPECT_EQ(std::make_tuple(ConcordSettings.AdvancedColloc.SpanNumber, int(ConcordSettings.AdvancedSort.First),
                              int(ConcordSettings.AdvancedColloc.First)),
              std::make_tuple(2, v.sort, v.colloc));
  }

  // Random records make the round trip through a file; a code that is not in
  // a section's table comes back as ctxNone.
  std::mt19937 random(22);
  for (int round = 0; round < 20; ++round) {
    TAdvancedSortColOptions r[2];
    for (auto& rec : r) {
      rec.First = uint8_t(random() % 14), rec.Second = uint8_t(random() % 14), rec.Third = uint8_t(random() % 14);
      rec.FirstReverse = random() % 2, rec.ThirdReverse = random() % 2, rec.Custom = random() % 2;
      rec.CustomText = "1l, " + std::to_string(random() % 100), rec.TagName = "t " + std::to_string(random() % 9);
      rec.ShowFirst = int32_t(random() % 1001), rec.SpanCollocation = random() % 2;
      rec.SpanNumber = int32_t(2 + random() % 4);
    }
    ConcordSettings.AdvancedSort = r[0];
    ConcordSettings.AdvancedColloc = r[1];
    ASSERT_TRUE(WriteConfig(folder.file("trip.ini")));
    ConcordSettings.AdvancedSort = ConcordSettings.AdvancedColloc = {};
    ASSERT_TRUE(ReadConfig(folder.file("trip.ini")));
    for (int colloc = 0; colloc < 2; ++colloc) {
      TAdvancedSortColOptions want = r[colloc];
      for (uint8_t* key : {&want.First, &want.Second, &want.Third})
        if (SortKeyIndex(colloc, *key) < 0)
          *key = ctxNone;
      if (colloc)
        want.TagName.clear();
      else
        want.ShowFirst = 0, want.SpanCollocation = false, want.SpanNumber = 0;
      const TAdvancedSortColOptions& got = colloc ? ConcordSettings.AdvancedColloc : ConcordSettings.AdvancedSort;
      EXPECT_EQ(std::tie(got.First, got.FirstReverse, got.Second, got.Third, got.ThirdReverse, got.Custom,
                         got.CustomText, got.TagName, got.ShowFirst, got.SpanCollocation, got.SpanNumber),
                std::tie(want.First, want.FirstReverse, want.Second, want.Third, want.ThirdReverse, want.Custom,
                         want.CustomText, want.TagName, want.ShowFirst, want.SpanCollocation, want.SpanNumber));
    }
  }
  const std::string written = testsupport::readFile(folder.file("trip.ini"));
  EXPECT_NE(written.find("[AdvancedSort]\r\nFirst="), std::string::npos);
  RegisterConfigArea(csAdvancedSort, old);
}

// The window's sort tests cover keys, reverse flags, "Defined" and the
// customised flag; here the tracked tag's name.
TEST_F(AdvancedSortTest, TrackedTagSortsAreTheSameOnlyForTheSameTagName)
{
  TAdvancedSortColOptions a, b;
  ResetSortSpec(a);
  a.First = ctxTrackedTag, a.TagName = "speaker";
  b = a;
  EXPECT_TRUE(SameSortSpec(a, b));
  b.TagName = "Speaker";
  EXPECT_FALSE(SameSortSpec(a, b));
  a.First = b.First = ctx0;
  EXPECT_TRUE(SameSortSpec(a, b));
}

// The form as the model sees it: counts beeps, and runs a script when shown.
class FakeView : public TAdvancedSortColView {
public:
  int ShowModal() override { return script(); }
  void Beep() override { ++beeps; }
  std::function<int()> script;
  int beeps = 0;
};

TAdvancedSortColOptions Record(uint8_t a, uint8_t b, uint8_t c)
{
  TAdvancedSortColOptions r;
  ResetSortSpec(r);
  r.First = a, r.Second = b, r.Third = c;
  return r;
}

TEST_F(AdvancedSortTest, OkRefusesWithMessageFocusAndBeep)
{
  struct RefusalCase {
    const char* name;
    bool collocation;
    std::function<void(TAdvancedSortColModel&)> set;
    const char* message;  // "" for the silent refusal
    const char* focus;
    int32_t caret;
    int beeps;
  };
  auto keys = [](int32_t a, int32_t b, int32_t c) {
    return [=](TAdvancedSortColModel& m) { m.SelectKey(0, a), m.SelectKey(1, b), m.SelectKey(2, c); };
  };
  auto custom = [](const char* text) {
    return [=](TAdvancedSortColModel& m) { m.CustomCheckClick(true), m.CustomText = text; };
  };
  const RefusalCase cases[] = {
      {"second equals first", false, keys(3, 3, 12), "Duplicated sort item.", "SecondCombo", -1, 1},
      {"third equals second", false, keys(3, 4, 4), "Duplicated sort item.", "ThirdCombo", -1, 1},
      {"colloc duplicate", true, keys(5, 9, 5), "Duplicated collocation item.", "ThirdCombo", -1, 1},
      {"colloc falling", true, keys(5, 3, 9), "Invalid order in Customised Collocation.", "SecondCombo", -1, 1},
      {"colloc after none", true, keys(3, 9, 5), "Invalid order in Customised Collocation.", "ThirdCombo", -1, 1},
      {"no span", true, [](auto& m) { m.SpanCheckClick(true), m.SelectSpan(-1); }, "Please select the span number.",
       "SpanCombo", -1, 1},
      {"unknown item", false, custom("  1l, 9x"), "Unknown item in Customised Sort.", "CustomEdit", 6, 1},
      {"empty text", false, custom("   "), "", "CustomEdit", 3, 0},
      {"tag key without a row", false, keys(10, 12, 12), "Please select a tracked tag.", "", -1, 0},
      {"tag in the list without a row", false, custom("1l,tag"), "Please select a tracked tag.", "", -1, 0},
  };
  WatchedTags = {TWatchedTag::Make("speaker", "<sp ", ">")};
  for (const RefusalCase& c : cases) {
    SCOPED_TRACE(c.name);
    dialogs.Messages.clear();
    const TAdvancedSortColOptions start = Record(ctx2L, ctxNone, ctxNone);
    Keys list{{ctx4R, true}};
    FakeView view;
    TAdvancedSortColModel m(c.collocation, start, &list, &view);
    c.set(m);
    const TAdvancedSortOkOutcome out = m.OKBtnClick();
    EXPECT_EQ(std::make_tuple(out.Close, std::string(out.Focus), out.Caret, view.beeps),
              std::make_tuple(false, std::string(c.focus), c.caret, c.beeps));
    EXPECT_EQ(dialogs.Texts(), *c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{});
    EXPECT_EQ(Show(list), "4R~");  // the caller's list is left alone
    EXPECT_EQ(m.Record.First, ctx2L);
    EXPECT_NE(m.ModalResult, mrOk);
    if (std::string(c.message) == "Please select a tracked tag.") {
      m.SelectGridRow(0);
      EXPECT_TRUE(m.OKBtnClick().Close);
      EXPECT_EQ(m.Record.TagName, "speaker");
    }
  }
}

TEST_F(AdvancedSortTest, ExecuteReplacesTheListOnlyOnOk)
{
  TAdvancedSortColOptions record = Record(ctx1R, ctxNone, ctxNone);
  Keys list{{ctx4R, false}};
  std::function<int(TAdvancedSortColModel&)> script;
  const auto old = SetAdvancedSortViewMaker([&](TAdvancedSortColModel& m) {
    auto view = std::make_unique<FakeView>();
    view->script = [&m, &script] { return script(m); };
    return view;
  });
  // Each run ticks Customised and types the text; OK unless refused.
  auto run = [&](bool collocation, const char* text) {
    script = [text](TAdvancedSortColModel& m) {
      m.CustomCheckClick(true);
      m.CustomText = text;
      return m.OKBtnClick().Close ? int(mrOk) : int(mrCancel);
    };
    return ExecuteAdvancedSortDialog(collocation, record, list);
  };
  EXPECT_FALSE(run(false, "zz"));
  EXPECT_EQ(Show(list), "4R");
  EXPECT_FALSE(record.Custom);
  EXPECT_TRUE(run(false, " 2rr-1r "));
  EXPECT_EQ(Show(list), "2R~ 1R~");
  EXPECT_EQ(record.CustomText, " 2rr-1r ");
  EXPECT_TRUE(run(true, "1l,0"));
  EXPECT_EQ(Show(list), "1L 0");
  SetAdvancedSortViewMaker(old);
}

}  // namespace
