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
  std::vector<std::string> Messages() const
  {
    std::vector<std::string> out;
    for (const auto& m : dialogs.Messages)
      out.push_back(m.Text);
    return out;
  }
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
      EXPECT_EQ(Messages(), shown ? std::vector<std::string>{c.message} : std::vector<std::string>{});
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
  const std::string file = folder.write(
      "QUILPRO.INI",
      "[AdvancedSort]\r\nFirst=0\r\nSecond=7\r\nThird=8\r\nCustom=1\r\nCustomText= 1l-1r \r\nTagName=speaker\r\n"
      "[AdvancedColloc]\r\nFirst=6\r\nSecond=7\r\nThird=Tracked tag\r\nShowFirst=25\r\nSpanNumber=6\r\n");
  const TConfigArea old = RegisterConfigArea(csAdvancedSort, {});
  InstallAdvancedSortSettings();
  ASSERT_TRUE(ReadConfig(file));
  const TAdvancedSortColOptions& s = ConcordSettings.AdvancedSort;
  const TAdvancedSortColOptions& c = ConcordSettings.AdvancedColloc;
  EXPECT_EQ(std::vector<int>({s.First, s.Second, s.Third}), std::vector<int>({ctx3L, ctxDefined, ctxOrig}));
  EXPECT_TRUE(s.Custom);
  EXPECT_EQ(s.CustomText, "1l-1r");  // the file's blanks around values go
  EXPECT_EQ(s.TagName, "speaker");
  EXPECT_EQ(std::vector<int>({c.First, c.Second, c.Third}), std::vector<int>({ctx3R, ctxNone, ctxNone}));
  EXPECT_EQ(c.ShowFirst, 25);
  EXPECT_EQ(c.SpanNumber, 2);

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
                                                      "\r\n[AdvancedColloc]\r\nFirst=" + v.value + "\r\n"));
    ReadAdvancedSortSettings(ini);
    EXPECT_EQ(ConcordSettings.AdvancedSort.First, v.sort);
    EXPECT_EQ(ConcordSettings.AdvancedColloc.First, v.colloc);
  }

  // Random records make the round trip through a file; a code that is not in
  // a section's table comes back as ctxNone.
  std::mt19937 random(22);
  for (int round = 0; round < 50; ++round) {
    TAdvancedSortColOptions r[2];
    for (auto& rec : r) {
      rec.First = uint8_t(random() % 14);
      rec.Second = uint8_t(random() % 14);
      rec.Third = uint8_t(random() % 14);
      rec.FirstReverse = random() % 2;
      rec.ThirdReverse = random() % 2;
      rec.Custom = random() % 2;
      rec.CustomText = "1l, " + std::to_string(random() % 100);
      rec.TagName = "tag " + std::to_string(random() % 100);
      rec.ShowFirst = int32_t(random() % 1001);
      rec.SpanCollocation = random() % 2;
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

TEST_F(AdvancedSortTest, SameSortSpec)
{
  auto spec = [](uint8_t a, uint8_t b, uint8_t c, bool rev = false, std::string tag = {}) {
    TAdvancedSortColOptions s;
    ResetSortSpec(s);
    s.First = a, s.Second = b, s.Third = c, s.SecondReverse = rev, s.TagName = std::move(tag);
    return s;
  };
  EXPECT_TRUE(SameSortSpec(spec(ctx1L, ctxNone, ctxNone), spec(ctx1L, ctxNone, ctxNone)));
  EXPECT_FALSE(SameSortSpec(spec(ctx1L, ctx1R, ctxNone), spec(ctx1L, ctxNone, ctxNone)));
  EXPECT_FALSE(SameSortSpec(spec(ctx1L, ctx1R, ctxNone, true), spec(ctx1L, ctx1R, ctxNone)));
  EXPECT_FALSE(SameSortSpec(spec(ctx1L, ctxDefined, ctxNone), spec(ctx1L, ctxDefined, ctxNone)));
  EXPECT_TRUE(SameSortSpec(spec(ctxTrackedTag, ctxNone, ctxNone, false, "a"), spec(ctxTrackedTag, ctxNone, ctxNone, false, "a")));
  EXPECT_FALSE(SameSortSpec(spec(ctxTrackedTag, ctxNone, ctxNone, false, "a"), spec(ctxTrackedTag, ctxNone, ctxNone, false, "A")));
  EXPECT_TRUE(SameSortSpec(spec(ctx0, ctxNone, ctxNone, false, "a"), spec(ctx0, ctxNone, ctxNone, false, "b")));
  TAdvancedSortColOptions custom = spec(ctx0, ctxNone, ctxNone);
  custom.Custom = true;
  EXPECT_FALSE(SameSortSpec(spec(ctx0, ctxNone, ctxNone), custom));
}

// The form as the model sees it: counts beeps, and runs a script when shown.
class FakeView : public TAdvancedSortColView {
public:
  int ShowModal() override { return script ? script() : mrCancel; }
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

TEST_F(AdvancedSortTest, DialogOpensInEitherMode)
{
  WatchedTags = {TWatchedTag::Make("speaker", "<sp ", ">"), TWatchedTag::Make("year", "<y ", ">")};
  TAdvancedSortColOptions r = Record(ctx1L, ctxOrig, ctx0);
  r.FirstReverse = r.SecondReverse = true;
  r.TagName = "year";
  r.Custom = true;
  r.CustomText = "1l,0";
  TAdvancedSortColModel sort(false, r, nullptr);
  EXPECT_EQ(sort.Caption, "Advanced Sort");
  EXPECT_EQ(sort.KeyIndex, (std::array<int32_t, 3>{3, 11, 4}));
  EXPECT_TRUE(sort.Reverse[0].Enabled && sort.Reverse[0].Checked);
  EXPECT_FALSE(sort.Reverse[1].Enabled);
  EXPECT_TRUE(sort.CustomCheck.Checked && sort.CustomEditEnabled);
  EXPECT_FALSE(sort.Boxes[0].Enabled);
  EXPECT_EQ(sort.GridRows.size(), 2u);
  EXPECT_EQ(sort.GridRow, 1);

  r.SpanCollocation = true;  // a span wins over a customised list
  r.SpanNumber = 0;
  r.ShowFirst = 5000;
  TAdvancedSortColModel colloc(true, r, nullptr);
  EXPECT_EQ(colloc.Caption, "Advanced Collocation");
  EXPECT_EQ(colloc.CustomCheck.Caption, "Customised Collocation:");
  EXPECT_EQ(colloc.Boxes[2].Caption, "Third Position");
  EXPECT_EQ(colloc.KeyIndex, (std::array<int32_t, 3>{3, -1, 4}));
  EXPECT_FALSE(colloc.Reverse[0].Visible);
  EXPECT_TRUE(colloc.SpanCheck.Checked && colloc.SpanComboEnabled);
  EXPECT_FALSE(colloc.CustomCheck.Checked || colloc.CustomEditEnabled);
  EXPECT_EQ(colloc.SpanIndex, 0);
  EXPECT_EQ(colloc.ShowFirstText, "1000");
  EXPECT_TRUE(colloc.GridRows.empty());
  colloc.CustomCheckClick(true);
  EXPECT_FALSE(colloc.SpanCheck.Checked || colloc.SpanComboEnabled);
  EXPECT_FALSE(colloc.Boxes[1].Enabled);
  colloc.CustomCheckClick(false);
  EXPECT_TRUE(colloc.Boxes[1].Enabled);
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
    EXPECT_FALSE(out.Close);
    EXPECT_EQ(out.Focus, c.focus);
    EXPECT_EQ(out.Caret, c.caret);
    EXPECT_EQ(view.beeps, c.beeps);
    EXPECT_EQ(Messages(), *c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{});
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
  record.ShowFirst = 7;
  Keys list{{ctx4R, false}};
  std::function<int(TAdvancedSortColModel&, FakeView&)> script;
  const auto old = SetAdvancedSortViewMaker([&](TAdvancedSortColModel& m) {
    auto view = std::make_unique<FakeView>();
    FakeView* v = view.get();
    view->script = [&m, v, &script] { return script(m, *v); };
    return view;
  });

  // Cancel after a refusal: record and list as they were.
  script = [](TAdvancedSortColModel& m, FakeView&) {
    m.CustomCheckClick(true);
    m.CustomText = "zz";
    EXPECT_FALSE(m.OKBtnClick().Close);
    return int(mrCancel);
  };
  EXPECT_FALSE(ExecuteAdvancedSortDialog(false, record, list));
  EXPECT_EQ(Show(list), "4R");
  EXPECT_FALSE(record.Custom);

  // Collocation by three positions: the list holds them, and only them.
  script = [](TAdvancedSortColModel& m, FakeView&) {
    m.SelectKey(0, 3), m.SelectKey(1, 5), m.SelectKey(2, 9);
    m.ShowFirstText = "-4";
    return m.OKBtnClick().Close ? int(mrOk) : int(mrCancel);
  };
  EXPECT_TRUE(ExecuteAdvancedSortDialog(true, record, list));
  EXPECT_EQ(Show(list), "1L 1R");
  EXPECT_EQ(std::vector<int>({record.First, record.Second, record.Third}),
            std::vector<int>({ctx1L, ctx1R, ctxNone}));
  EXPECT_EQ(record.ShowFirst, 1000);
  EXPECT_EQ(record.SpanNumber, 2);

  // Sort mode without a customised list fills none; a customised one is
  // stored as typed.
  EXPECT_TRUE(ExecuteAdvancedSortDialog(false, record, list));
  EXPECT_EQ(Show(list), "");
  script = [](TAdvancedSortColModel& m, FakeView&) {
    m.CustomCheckClick(true);
    m.CustomText = " 2rr-1r ";
    return m.OKBtnClick().Close ? int(mrOk) : int(mrCancel);
  };
  EXPECT_TRUE(ExecuteAdvancedSortDialog(false, record, list));
  EXPECT_EQ(Show(list), "2R~ 1R~");
  EXPECT_TRUE(record.Custom);
  EXPECT_EQ(record.CustomText, " 2rr-1r ");
  SetAdvancedSortViewMaker(old);
}

}  // namespace
