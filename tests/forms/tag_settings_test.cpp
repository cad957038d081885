#include "forms/tag_settings.h"

#include "foundation/chartables.h"
#include "foundation/config_file.h"
#include "foundation/program_state.h"
#include "foundation/tag_scan.h"
#include "support/fake_bridge.h"
#include "support/scratch_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

namespace {

class ScriptView : public TTagSettingsView {
public:
  bool ShowModal() override
  {
    if (Work)
      Work();
    return Ok;
  }
  void Beep() override { ++Beeps; }
  bool RunWatchTagEditor(TEditWatchTagsModel& e) override { return Tag && Tag(e); }
  bool RunMetaTagEditor(TEditMetaTagsModel& e) override { return Meta && Meta(e); }
  std::function<void()> Work;
  bool Ok = true;
  int Beeps = 0;
  std::function<bool(TEditWatchTagsModel&)> Tag;
  std::function<bool(TEditMetaTagsModel&)> Meta;
};

// An editor that types these texts and presses OK.
std::function<bool(TEditWatchTagsModel&)> Types(std::string name, std::string start, std::string stop, bool cocoa = false)
{
  return [=](TEditWatchTagsModel& e) {
    e.Name = name, e.Start = start, e.Stop = stop, e.Cocoa = cocoa;
    return e.OkEnabled() && e.OKBtnClick();
  };
}

class TagSettingsTest : public testing::Test {
protected:
  TagSettingsTest()
  {
    InitProgramState();
    ConcordSettings.TagStart = '<', ConcordSettings.TagStop = '>';
    WatchedTags.clear();
  }
  ~TagSettingsTest() override { WatchedTags.clear(); }
  // Writes the settings through the hub, then reads them back.
  void RoundTrip()
  {
    const std::string file = dir_.file("q.ini");
    ASSERT_TRUE(WriteConfig(file));
    ConcordSettings = ConcordConfig();
    WatchedTags.clear();
    ASSERT_TRUE(ReadConfig(file));
  }
  testsupport::ScratchFolder dir_;
  testsupport::FakeDialogs dialogs_;
  ScriptView view_;
  TTagCfgModel tags_{&view_};
  TWordTagsCfgModel words_{&view_};
};

TEST_F(TagSettingsTest, AddedTagsAreWrappedAndRewrappedWhenTheCharactersChange)
{
  view_.Work = [&] {
    view_.Tag = Types("div", "div", "/div");
    tags_.AddBtnClick();
    view_.Tag = Types("n", "<n", "", true);
    tags_.AddBtnClick();
    tags_.PageDelimiterEdit = " page ";
    tags_.WrapPageDelimiter();
    tags_.TagStartEdit = "[";
    ASSERT_TRUE(tags_.TagStartExit());
    tags_.TagStopEdit = "]";
    tags_.TagStopExit();
  };
  ASSERT_TRUE(tags_.ExecuteTagSettings());
  ASSERT_EQ(WatchedTags.size(), 2u);
  EXPECT_EQ(WatchedTags[0].TagStart, "[div]");
  EXPECT_EQ(WatchedTags[0].TagStop, "[/div]");
  EXPECT_EQ(WatchedTags[1].TagStart, "n");  // a COCOA start only loses the old characters
  EXPECT_TRUE(WatchedTags[1].Cocoa);
  EXPECT_EQ(ConcordSettings.PageSeparator, "[page]");
  EXPECT_EQ(ConcordSettings.TagStart, '[');

  // "#" is refused as a tag start, in the plain box.
  tags_.TagStartEdit = "#";
  EXPECT_FALSE(tags_.TagStartExit());
  EXPECT_EQ(dialogs_.Messages.back().Text, TTagCfgModel::HashRefused);
  EXPECT_EQ(dialogs_.Messages.back().Kind, mtCustom);
}

TEST_F(TagSettingsTest, ATrailByteIsNoTagCharacter)
{
  SetTextLanguage(0x411);  // Japanese, code page 932
  BuildCharTables();
  ConcordSettings.TagStop = '|';
  view_.Work = [&] {
    tags_.PageDelimiterEdit = "\x83\x7c";  // ポ, trail byte 7C
    tags_.WrapPageDelimiter();
    tags_.TagStopEdit = "]";
    tags_.TagStopExit();
  };
  const bool ok = tags_.ExecuteTagSettings();
  SetTextLanguage(0x409);
  BuildCharTables();
  EXPECT_TRUE(ok);
  EXPECT_EQ(ConcordSettings.PageSeparator, "<\x83\x7c]");
}

// A tag character is one byte: 〈 (81 71) as the tag start is refused with
// its message, as the part-of-speech delimiter like a blank one, and as a
// stop character it is not taken.
TEST_F(TagSettingsTest, ADoubleByteTagCharacterIsRefusedOrNotTaken)
{
  SetTextLanguage(0x411);
  BuildCharTables();
  ConcordSettings.wTagDelimiter = '_', ConcordSettings.wTagStop = '>';
  bool startTaken = true, okTaken = true;
  view_.Work = [&] {
    tags_.TagStartEdit = tags_.TagStopEdit = "\x81\x71";
    startTaken = tags_.TagStartExit();
    tags_.TagStopExit();
    words_.EmbededCB = true;
    words_.DelimiterEdit = words_.TagStopEdit = "\x81\x71";
    okTaken = words_.OkBtnClick();
  };
  tags_.ExecuteTagSettings();
  words_.EditWordTagSettings();
  SetTextLanguage(0x409);
  BuildCharTables();
  EXPECT_FALSE(startTaken);
  EXPECT_FALSE(okTaken);
  EXPECT_EQ(words_.ActiveControl, "DelimiterEdit");
  const ConcordConfig& c = ConcordSettings;
  EXPECT_EQ(std::string({c.TagStart, c.TagStop, c.wTagDelimiter, c.wTagStop}), "<>_>");
  ASSERT_FALSE(dialogs_.Messages.empty());
  EXPECT_EQ(dialogs_.Messages.back().Text, TTagCfgModel::HashRefused);
}

TEST_F(TagSettingsTest, CancelKeepsTheTagsAndEditMarksOnlyRealChanges)
{
  view_.Work = [&] { view_.Tag = Types("p", "<p>", "</p>"), tags_.AddBtnClick(); };
  ASSERT_TRUE(tags_.ExecuteTagSettings());
  view_.Ok = false;
  view_.Work = [&] { view_.Tag = Types("q", "q", "/q"), tags_.AddBtnClick(); };
  EXPECT_FALSE(tags_.ExecuteTagSettings());
  ASSERT_EQ(WatchedTags.size(), 1u);
  tags_.LoadTagDialog();
  EXPECT_EQ(tags_.Grid.size(), 1u);

  view_.Ok = true;
  view_.Work = [&] { view_.Tag = Types("p", "<p>", "</p>"), tags_.EditBtnClick(); };
  EXPECT_FALSE(tags_.ExecuteTagSettings());
  // Names differing only in case or by a blank are the same section.
  view_.Work = [&] {
    view_.Tag = Types("P ", "x", "y");
    tags_.AddBtnClick();
    dialogs_.Answers = {mrYes};
    tags_.RemoveBtnClick();
  };
  EXPECT_TRUE(tags_.ExecuteTagSettings());
  EXPECT_EQ(dialogs_.Texts(), (std::vector<std::string>{"Duplicated tag name.", "Remove \"p\"?"}));
  EXPECT_EQ(dialogs_.Messages.back().Focused, mbNo);
  EXPECT_TRUE(WatchedTags.empty());
}

TEST_F(TagSettingsTest, EditorOkState)
{
  const struct {
    const char *start, *stop;
    bool cocoa, enabled;
  } cases[] = {{" ", "x", false, false}, {"a", " ", false, false}, {"a", "b", false, true},
               {"a", "", true, true},    {"a b", "", true, false}, {" ab ", "", true, true}};
  std::vector<TTagRow> rows;
  for (const auto& c : cases) {
    TEditWatchTagsModel e(rows, -1);
    e.Start = c.start, e.Stop = c.stop, e.Cocoa = c.cocoa;
    EXPECT_EQ(e.OkEnabled(), c.enabled) << c.start << "|" << c.stop;
  }
}

TEST_F(TagSettingsTest, TrackedTagsSurviveTheSettingsFile)
{
  WatchedTags = {TWatchedTag::Make("a]b", "<a>", "</a>"), TWatchedTag::Make("c", "c", "")};
  RoundTrip();
  ASSERT_EQ(WatchedTags.size(), 2u);
  EXPECT_EQ(WatchedTags[0].Name, "a]b");
  EXPECT_EQ(WatchedTags[0].TagStop, "</a>");
  EXPECT_TRUE(WatchedTags[1].Cocoa);

  WatchedTags.clear();
  RoundTrip();
  EXPECT_TRUE(WatchedTags.empty());
  EXPECT_EQ(tags_.Grid.size(), 1u);

  // Huge counts are capped; names keep their positions past an empty one.
  const std::string file =
      dir_.write("big.ini", "[Tag Settings]\r\nWatchedNamesCount=99999999\r\n" + IniListKey("WatchedNames", 10000, 0) +
                                "=\r\n" + IniListKey("WatchedNames", 10000, 1) +
                                "=x\r\n[Watched.x]\r\nTagStart=<x>\r\nTagStop=</x>\r\n");
  ASSERT_TRUE(ReadConfig(file));
  ASSERT_EQ(WatchedTags.size(), 1u);
  EXPECT_EQ(WatchedTags[0].TagStart, "<x>");
}

TEST_F(TagSettingsTest, TenThousandTagsReadAndWriteQuickly)
{
  for (int i = 0; i < 10000; ++i)
    WatchedTags.push_back(TWatchedTag::Make("t" + std::to_string(i), "<t>", "</t>"));
  const auto t0 = std::chrono::steady_clock::now();
  RoundTrip();
  const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  EXPECT_EQ(WatchedTags.size(), 10000u);
  std::printf("10000 tracked tags written and read in %.3f s\n", s);
}

TEST_F(TagSettingsTest, PartOfSpeechChangeDecisionAndStore)
{
  ConcordSettings.NonWordChars = "/.,/";
  const struct {
    bool embedded, outside;
    const char *delimiter, *stop;
    std::vector<std::string> starts;
    bool changed;
  } cases[] = {
      {false, false, "_", ">", {}, false},        {true, false, "_", ">", {}, true},
      {true, false, "/", "]", {}, true},          {true, false, "/", ">", {" x "}, false},
      {false, true, "/", ">", {"a", " "}, true},  {false, true, "-", ">", {" ", "a "}, false},
      {false, true, "-", ">", {"b", "a"}, true},  {false, true, "-", "]", {"b", "a"}, true},
  };
  for (const auto& c : cases) {
    // The user sets the controls while the dialog is shown.
    view_.Work = [&] {
      words_.EmbededCB = c.embedded, words_.OutsideCB = c.outside;
      words_.DelimiterEdit = c.delimiter, words_.TagStopEdit = c.stop, words_.TagStartGrid = c.starts;
    };
    EXPECT_EQ(words_.EditWordTagSettings(), c.changed) << c.delimiter << c.embedded;
  }
  EXPECT_EQ(ConcordSettings.NonWordChars, ".,");  // every "/" went with style 1
  EXPECT_EQ(ConcordSettings.wTagStarts, (std::vector<std::string>{"b", "a"}));

  // OK refusals: outside without a real start, embedded with a blank delimiter.
  words_.OutsideCB = true, words_.EmbededCB = false, words_.TagStartGrid = {" ", ""};
  EXPECT_FALSE(words_.OkBtnClick());
  EXPECT_EQ(words_.ActiveControl, "TagStartGrid");
  words_.OutsideCB = false, words_.EmbededCB = true, words_.DelimiterEdit = " ";
  EXPECT_FALSE(words_.OkBtnClick());
  EXPECT_EQ(words_.ActiveControl, "DelimiterEdit");
  EXPECT_EQ(view_.Beeps, 2);
}

TEST_F(TagSettingsTest, MetaTagsSplitAndSurviveTheSettingsFile)
{
  view_.Work = [&] {
    view_.Meta = [](TEditMetaTagsModel& e) {
      e.Name = " Noun ", e.Contents = " nn, ,nns,, np ";
      bool beep = false;
      return e.OKBtnClick(beep);
    };
    words_.AddBtnClick();
    words_.AddBtnClick();  // refused: same name
  };
  EXPECT_FALSE(words_.EditWordTagSettings());  // meta tags alone are no change
  EXPECT_EQ(dialogs_.Texts(), (std::vector<std::string>{"Duplicated meta-tag name."}));
  ASSERT_EQ(ConcordSettings.MetaTags.size(), 1u);
  EXPECT_EQ(ConcordSettings.MetaTags[0].Tags, (std::vector<std::string>{"nn", "nns", "np"}));
  ConcordSettings.wTagDelimiter = 0;
  RoundTrip();
  ASSERT_EQ(ConcordSettings.MetaTags.size(), 1u);
  EXPECT_EQ(ConcordSettings.MetaTags[0].Name, "Noun");
  EXPECT_EQ(ConcordSettings.MetaTags[0].Tags.size(), 3u);
  EXPECT_EQ(ConcordSettings.wTagDelimiter, '_');
}

TEST_F(TagSettingsTest, NulTagCharactersReadAsTheirDefaults)
{
  using namespace std::string_literals;
  const std::string file = dir_.write("nul.ini", "[Tag Settings]\r\nTagStart=\0[\r\nTagStop=\0\r\n"
                                                 "[Word Tag Settings]\r\nwTagDelimiter=\0\0x\r\nwTagStop=\0\r\n"s);
  ASSERT_TRUE(ReadConfig(file));
  const ConcordConfig& c = ConcordSettings;
  EXPECT_EQ(std::string({c.TagStart, c.TagStop, c.wTagDelimiter, c.wTagStop}), "<>_>");
}

}  // namespace
