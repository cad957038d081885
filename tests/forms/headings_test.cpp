#include "forms/hdctx.h"
#include "forms/headings.h"
#include "forms/search_dialog_model.h"

#include "foundation/chartables.h"
#include "foundation/config_file.h"
#include "foundation/program_state.h"
#include "foundation/settings.h"
#include "foundation/utils.h"
#include "platform/paths.h"
#include "search/search_defaults.h"
#include "search/search_driver.h"
#include "support/fake_bridge.h"
#include "support/scoped_env.h"
#include "support/scratch_folder.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <functional>

using testsupport::readFile;
using Strings = std::vector<std::string>;

namespace {

// The form as the search dialog's correction path and the "&Edit..." button
// meet it: shows are counted, the headings dialog is a script.
class FakeHdCtxView : public THdCtxView {
public:
  bool IsActiveForm() const override { return false; }
  void ShowModal() override
  {
    ++Shown;
    Form->FormShow();
  }
  void ShowHeadings() override
  {
    if (OnHeadings)
      OnHeadings();
  }
  THdCtxForm* Form = nullptr;
  int Shown = 0;
  std::function<void()> OnHeadings;
};

class HeadingsTest : public ::testing::Test {
protected:
  HeadingsTest() : config_("XDG_CONFIG_HOME", dir_.path() + "config"), tmp_("TMPDIR", dir_.path())
  {
    std::filesystem::create_directory(dir_.path() + "prog");
    platform::setProgramFolder(dir_.path() + "prog");
    InitProgramState();
    InitSharedState();
    ApplySearchParameterDefaults();
    // The editor: each call takes the next script; none left means Cancel.
    SetHeadingEditor([this](THeadingEdit& e) {
      if (edits_.empty())
        return false;
      auto script = std::move(edits_.front());
      edits_.pop_front();
      return script(e);
    });
    form_.SetView(&view_);
    view_.Form = &form_;
  }
  ~HeadingsTest() override
  {
    SetHeadingEditor({});
    platform::setProgramFolder("");
  }

  // Adds a heading through the editor as a user types it.
  void Add(const std::string& name, const THeadRecord& r)
  {
    edits_.push_back([=](THeadingEdit& e) {
      std::tie(e.HeadNameEdit, e.HeadStartEdit, e.HeadStopEdit, e.TextStartEdit, e.TextStopEdit) =
          std::tie(name, r.HeadStart, r.HeadStop, r.TextStart, r.TextStop);
      e.EditChange();
      return e.OKBtnEnabled && e.OKBtnClick();
    });
    list_.AddBtnClick();
  }

  testsupport::ScratchFolder dir_;
  testsupport::ScopedEnv config_;
  testsupport::ScopedEnv tmp_;
  testsupport::FakeDialogs dialogs_;
  std::deque<std::function<bool(THeadingEdit&)>> edits_;
  THeadingsModel list_;
  FakeHdCtxView view_;
  THdCtxForm form_{list_};
};

const THeadRecord kMarks{"<h>", "</h>", "<t>", "</t>"};

TEST_F(HeadingsTest, ReaderKeepsOnlyCompleteFirstNamesAndWritesThemBack)
{
  const std::pair<const char*, Strings> cases[] = {
      {"[Headings]\r\nNamesCount=1\r\nNames0=A\r\n[Heading.A]\r\nHeadStart=a\r\nHeadStop=b\r\nTextStart=c\r\n", {}},
      {"[Headings]\r\nNamesCount=3\r\nNames0=A\r\nNames1=B\r\nNames2=a\r\n"
       "[Heading.A]\r\nHeadStart=a\r\nHeadStop=b\r\nTextStart=c\r\nTextStop=d\r\n"
       "[Heading.B]\r\nHeadStart=a\r\nHeadStop=\r\nTextStart=c\r\nTextStop=d\r\n",
       {"A"}},
      // No Count: twenty keys are tried and empty values dropped.
      {"[Headings]\r\nNames00=Z\r\nNames05=Y\r\nNames19=\r\n"
       "[heading.z]\r\nHeadStart=1\r\nHeadStop=2\r\nTextStart=3\r\nTextStop=4\r\n"
       "[HEADING.Y]\r\nHeadStart=1\r\nHeadStop=2\r\nTextStart=3\r\nTextStop=4\r\n",
       {"Z", "Y"}}};
  for (const auto& [settings, names] : cases) {
    const std::string file = dir_.write("q.ini", settings);
    ASSERT_TRUE(ReadConfig(file));
    EXPECT_EQ(list_.Names(), names) << settings;
    EXPECT_EQ(list_.EditBtnEnabled, !names.empty());
    // Every listed name has its record, so the settings write at exit holds
    // exactly these, and reads back the same.
    ASSERT_TRUE(WriteConfig(file));
    THeadingsModel again;
    ASSERT_TRUE(ReadConfig(file));
    EXPECT_EQ(again.Headings(), list_.Headings());
  }
}

TEST_F(HeadingsTest, RoundTripTrimsBlanksAndKeepsBrackets)
{
  Add(" Chapter ", {" == ", "end#", "<t>", "</t>"});
  Add("a]b", kMarks);
  Add("[x]", kMarks);
  EXPECT_EQ(list_.Names(), (Strings{" Chapter ", "a]b", "[x]"}));  // typed, untrimmed
  const std::string file = dir_.file("r.ini");
  ASSERT_TRUE(WriteConfig(file));
  list_.ReadHeadings(platform::IniFile(dir_.write("x.ini", "")));
  EXPECT_TRUE(list_.Names().empty());
  ASSERT_TRUE(ReadConfig(file));
  EXPECT_EQ(list_.Names(), (Strings{"Chapter", "a]b", "[x]"}));
  std::string a, b, c, d;
  ASSERT_TRUE(GetHeading("CHAPTER", a, b, c, d));
  EXPECT_EQ(Strings({a, b, c, d}), (Strings{"==", "end#", "<t>", "</t>"}));
  ASSERT_TRUE(GetHeading("A]B", a, b, c, d));
  EXPECT_EQ(a, "<h>");
  // Not found: the four stay as they were.
  a = "kept";
  EXPECT_FALSE(GetHeading("a", a, b, c, d));
  EXPECT_EQ(a, "kept");
}

TEST_F(HeadingsTest, EditorEnablesOkAndRefusesTakenNames)
{
  struct Case {
    bool isNew;
    int32_t index;
    Strings texts;  // name and four markers
    bool enabled, accepted;
  };
  const Case cases[] = {{true, -1, {"Part", "a", "b", "c", "d"}, true, true},
                        {true, -1, {"Part", "a", " ", "c", "d"}, false, false},
                        {true, -1, {"Part", "a", "\t", "c", "d"}, true, true},  // a tab is content
                        {true, -1, {"", "a", "b", "c", "d"}, false, false},
                        {true, -1, {" chapter ", "a", "b", "c", "d"}, true, false},
                        {true, -1, {"verse", "a", "b", "c", "d"}, true, false},
                        {false, 0, {"CHAPTER", "a", "b", "c", "d"}, true, true},  // itself
                        {false, 0, {"Verse", "a", "b", "c", "d"}, true, false},
                        {false, 1, {"New name", "a", "b", "c", "d"}, true, true}};
  for (const Case& p : cases) {
    dialogs_.Messages.clear();
    THeadingEdit e(p.isNew, p.index, {"Chapter", " Verse ", "Book"});
    EXPECT_FALSE(e.OKBtnEnabled);
    std::tie(e.HeadNameEdit, e.HeadStartEdit, e.HeadStopEdit, e.TextStartEdit, e.TextStopEdit) =
        std::tie(p.texts[0], p.texts[1], p.texts[2], p.texts[3], p.texts[4]);
    e.EditChange();
    EXPECT_EQ(e.OKBtnEnabled, p.enabled) << p.texts[0];
    if (p.enabled)
      EXPECT_EQ(e.OKBtnClick(), p.accepted) << p.texts[0];
    EXPECT_EQ(dialogs_.Texts(), p.enabled && !p.accepted
                           ? Strings{"Heading with name \"" + TrimBlanks(p.texts[0]) + "\" already exists."}
                           : Strings{});
  }
}

// A marker the scan would find empty ("#" alone, also with blanks around it,
// which the settings file drops) is refused with its field named, and the
// focus goes to it; "##" and "#x" have text and pass. What the editor
// accepts, the scan takes.
TEST_F(HeadingsTest, EditorRefusesMarkersWithoutText)
{
  struct Case {
    int field;  // 0..3: Header Start, Header Stop, Text Start, Text Stop
    const char* marker;
    const char* refusedIn;  // nullptr: accepted
  };
  const char* const controls[] = {"HeadStartEdit", "HeadStopEdit", "TextStartEdit", "TextStopEdit"};
  for (const Case& c : {Case{0, "#", "Header Start"}, Case{1, "#", "Header Stop"}, Case{2, " # ", "Text Start"},
                        Case{3, "# ", "Text Stop"}, Case{0, "##", nullptr}, Case{3, "#x", nullptr},
                        Case{1, "end#", nullptr}}) {
    dialogs_.Messages.clear();
    THeadingEdit e(true, -1, {});
    Strings markers = {"<h>", "</h>", "<t>", "</t>"};
    markers[size_t(c.field)] = c.marker;
    e.HeadNameEdit = "Part";
    std::tie(e.HeadStartEdit, e.HeadStopEdit, e.TextStartEdit, e.TextStopEdit) =
        std::tie(markers[0], markers[1], markers[2], markers[3]);
    e.EditChange();
    ASSERT_TRUE(e.OKBtnEnabled);
    EXPECT_EQ(e.OKBtnClick(), c.refusedIn == nullptr) << c.marker;
    if (!c.refusedIn) {
      EXPECT_TRUE(dialogs_.Messages.empty());
      TSearchRec r;
      r.Options = soHeading;
      r.Patterns = {"a"};
      r.HeadingPattern = "b";
      std::tie(r.HeadStart, r.HeadStop, r.TextStart, r.TextStop) = std::tie(markers[0], markers[1], markers[2], markers[3]);
      TSearch scan;
      int32_t phase = 0;
      std::string error;
      scan.Prepare(r, phase, error);
      EXPECT_EQ(error, "") << c.marker;
      continue;
    }
    ASSERT_EQ(dialogs_.Messages.size(), 1u);
    EXPECT_EQ(dialogs_.Messages[0].Kind, mtWarning);
    EXPECT_EQ(dialogs_.Messages[0].Text, "The " + std::string(c.refusedIn) +
                                             " marker must not be empty: a \"#\" only stands for the blank or "
                                             "line end after the marker.");
    EXPECT_EQ(e.ActiveControl, controls[c.field]);
  }
  // Through the list: a refused editor adds nothing.
  Add("Chapter", {"#", "</h>", "<t>", "</t>"});
  EXPECT_TRUE(list_.Names().empty());
}

TEST_F(HeadingsTest, EditorCutsLongMarkersBetweenCharacters)
{
  SetTextLanguage(0x411);  // Japanese, code page 932
  BuildCharTables();
  // 表 would end at byte 256, one past the editor's length.
  const std::string marker = std::string(254, 'm') + "\x95\x5c";
  THeadingEdit e(false, 0, {"h"});
  e.Fill("h", THeadRecord{marker, marker, "<t>", "</t>"});
  SetTextLanguage(0x409);
  BuildCharTables();
  EXPECT_EQ(e.HeadStartEdit, std::string(254, 'm'));
  EXPECT_EQ(e.TextStartEdit, "<t>");
}

TEST_F(HeadingsTest, EditMovesToTheEndAndRemoveAsks)
{
  for (const char* name : {"One", "Two", "Three"})
    Add(name, kMarks);
  // Edit the first: the editor gets its markers and index, returns the texts
  // untrimmed, and the heading goes last.
  list_.ItemIndex = 0;
  edits_.push_back([](THeadingEdit& e) {
    EXPECT_EQ(e.Index(), 0);
    EXPECT_TRUE(e.OKBtnEnabled);
    EXPECT_EQ(e.HeadStopEdit, "</h>");
    e.HeadNameEdit = " One ";
    e.TextStopEdit = "end# ";
    return e.OKBtnClick();
  });
  list_.EditBtnClick();
  EXPECT_EQ(list_.Names(), (Strings{"Two", "Three", " One "}));
  EXPECT_EQ(list_.Headings().back().Record.TextStop, "end# ");
  // Without a selection nothing happens.
  list_.ItemIndex = -1;
  list_.EditBtnClick();
  list_.RemoveBtnClick();
  EXPECT_TRUE(edits_.empty() && dialogs_.Messages.empty());
  // Remove asks; No keeps the heading, Yes removes it.
  list_.ItemIndex = 1;
  dialogs_.Answers = {mrNo, mrYes};
  list_.RemoveBtnClick();
  list_.RemoveBtnClick();
  EXPECT_EQ(dialogs_.Texts(), (Strings{"Remove \"Three\"?", "Remove \"Three\"?"}));
  EXPECT_EQ(dialogs_.Messages[0].Kind, mtWarning);
  EXPECT_EQ(list_.Names(), (Strings{"Two", " One "}));
  list_.ItemIndex = 0;
  dialogs_.Answers = {mrYes, mrYes};
  list_.RemoveBtnClick();
  list_.RemoveBtnClick();
  EXPECT_TRUE(list_.Names().empty());
  EXPECT_FALSE(list_.EditBtnEnabled || list_.RemoveBtnEnabled);
}

TEST_F(HeadingsTest, RefreshFollowsTheListAndTheUsersChoice)
{
  // No headings: heading search is off and cannot be turned on.
  form_.HeadingCheckClick(true);
  form_.FormShow();
  EXPECT_FALSE(form_.HeadingCheck.Checked || form_.HeadingCheck.Enabled);
  EXPECT_FALSE(form_.HeadingCombo.Enabled || form_.HeadPatternLabel.Enabled || form_.HeadingPattern().Enabled);
  EXPECT_EQ(form_.ActiveControl, "ContextCheck");
  // A heading added through "&Edit..." enables the box at once.
  view_.OnHeadings = [this] {
    Add("Chapter", kMarks);
    Add("Verse", kMarks);
  };
  form_.HeadingEditBtnClick();
  EXPECT_TRUE(form_.HeadingCheck.Enabled);
  EXPECT_EQ(form_.HeadingCombo.Items, (Strings{"Chapter", "Verse"}));
  EXPECT_EQ(form_.HeadingName(), "Chapter");
  // The user's choice is preselected next time; the refresh's own choice is not stored.
  form_.HeadingComboChange(1);
  form_.FormShow();
  EXPECT_EQ(form_.HeadingName(), "Verse");
  EXPECT_EQ(form_.LastHeading, "Verse");
  list_.ItemIndex = 1;
  dialogs_.Answers = {mrYes};
  list_.RemoveBtnClick();
  form_.FormShow();
  EXPECT_EQ(form_.HeadingName(), "Chapter");
  EXPECT_EQ(form_.LastHeading, "Verse");
  // The initial focus is chosen only when the close button had it.
  struct Case {
    bool heading, context;
    const char* focus;
  };
  const Case cases[] = {{true, true, "HeadingPattern"}, {false, true, "LeftPattern"}, {false, false, "HeadingCheck"}};
  for (const Case& p : cases) {
    form_.RefreshHeadingCombo();
    form_.HeadingCheckClick(p.heading);
    form_.ContextCheckClick(p.context);
    form_.ActiveControl = "OKButton";
    form_.FormShow();
    EXPECT_EQ(form_.ActiveControl, p.focus);
    // A control made active from outside keeps the focus.
    form_.SetActiveControl("RightPattern");
    form_.FormShow();
    EXPECT_EQ(form_.ActiveControl, "RightPattern");
  }
}

// The search dialog's services with this form as its restrictions.
class Services : public TSearchDialogServices {
public:
  explicit Services(THdCtxForm& form) : form_(form) {}
  bool ChoosePatternsFile(std::string&) override { return false; }
  THdCtxRestrictions* Restrictions() override { return &form_; }

private:
  THdCtxForm& form_;
};

TEST_F(HeadingsTest, SearchDialogRefusesWhatTheScanCouldNotRun)
{
  Services services(form_);
  TSearchTemplateModel search(services);
  Add("Chapter", {"<h>", "</h>", "<t>", "</t>"});
  form_.FormShow();
  search.HdCtxCheckClick(true);
  form_.HeadingCheckClick(true);
  form_.ContextCheckClick(true);
  search.SearchString.Text = "cat";
  form_.HeadingPattern().Text = " intro ";
  form_.LeftPattern().Text = "open";
  EXPECT_TRUE(search.OKBtnClick().Close);  // the right context may stay empty
  TSearchRec request;
  search.FillSearchRec(request);
  EXPECT_EQ(request.Options & (soHeading | soContext), soHeading | soContext);
  EXPECT_EQ(Strings({request.HeadStart, request.HeadStop, request.TextStart, request.TextStop, request.HeadingPattern,
                     request.LeftContext}),
            (Strings{"<h>", "</h>", "<t>", "</t>", "intro", "open"}));

  // The heading is removed through another dialog after the form last showed.
  list_.ItemIndex = 0;
  dialogs_.Answers = {mrYes};
  list_.RemoveBtnClick();
  EXPECT_FALSE(search.OKBtnClick().Close);
  EXPECT_EQ(form_.ActiveControl, "HeadingCombo");
  EXPECT_EQ(view_.Shown, 1);
  // The scan's own guard: the markers of a name that no longer exists.
  EXPECT_FALSE(form_.HeadingCheck.Checked || form_.HeadingCheck.Enabled);
  form_.HeadingCombo = {{"Chapter"}, 0, true};
  form_.HeadingCheckClick(true);
  TSearchRec stale;
  search.FillSearchRec(stale);
  TSearch scan;
  int32_t phase = 0;
  std::string error;
  scan.Prepare(stale, phase, error);
  EXPECT_EQ(phase, TSearch::phHeading);
  EXPECT_EQ(error, "Heading markers must not be empty.");
}

TEST_F(HeadingsTest, SearchHistoryHoldsBothWritersInOrder)
{
  Services services(form_);
  TSearchTemplateModel search(services);
  search.TextHistory = {"cat"};
  form_.HeadingPattern().Text = "intro";
  form_.PatternExit(form_.HeadingPattern());
  form_.LeftPattern().Items = {"l1", "l2"};
  form_.RightPattern().Text = " r ";
  form_.PatternExit(form_.RightPattern());
  form_.LastHeading = "Verse";
  const std::string file = dir_.write("h.ini", "[SearchHistory]\r\nStale=1\r\n");
  ASSERT_TRUE(WriteConfig(file));
  EXPECT_NE(readFile(file).find("[SearchHistory]\r\nSearchCount=1\r\nSearch0=cat\r\nGrepCount=0\r\nTagCount=0\r\n"
                                "HeadingCount=1\r\nHeading0=intro\r\nLeftCount=2\r\nLeft0=l1\r\nLeft1=l2\r\n"
                                "RightCount=1\r\nRight0=r\r\nLastHeading=Verse\r\n"),
            std::string::npos)
      << readFile(file);
  THeadingsModel list;
  THdCtxForm back(list);
  ASSERT_TRUE(ReadConfig(file));
  EXPECT_EQ(back.LeftPattern().Items, (Strings{"l1", "l2"}));
  EXPECT_EQ(Strings({back.LeftPattern().Text, back.RightPattern().Text, back.LastHeading}), (Strings{"l1", "r", "Verse"}));
}

}  // namespace
