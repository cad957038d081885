#include "forms/search_dialog_model.h"

#include "foundation/chartables.h"
#include "foundation/config_file.h"
#include "foundation/program_state.h"
#include "foundation/settings.h"
#include "platform/paths.h"
#include "search/search_defaults.h"
#include "support/fake_bridge.h"
#include "support/scoped_env.h"
#include "support/scratch_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

using testsupport::readFile;

namespace {

// Sub-dialogs as a test scripts them; every call is recorded.
class FakeServices : public TSearchDialogServices {
public:
  bool HasPatternsEditor() const override { return Editor; }
  bool EditPatterns(std::vector<std::string>& list, int32_t selStart, int32_t selLength) override
  {
    EditorCalls.push_back({selStart, selLength});
    (void)list;
    return true;
  }
  bool ChoosePatternsFile(std::string& fileName) override
  {
    if (ChosenFile.empty())
      return false;
    fileName = ChosenFile;
    return true;
  }
  THdCtxRestrictions* Restrictions() override { return HdCtx; }

  bool Editor = true;
  std::vector<std::pair<int32_t, int32_t>> EditorCalls;
  std::string ChosenFile;
  THdCtxRestrictions* HdCtx = nullptr;
};

// The form: runs a script on the model while "shown".
class ScriptedView : public TSearchDialogView {
public:
  int ShowModal() override { return Script ? Script() : mrCancel; }
  std::function<int()> Script;
};

class SearchDialogTest : public ::testing::Test {
protected:
  SearchDialogTest() : config_("XDG_CONFIG_HOME", dir_.path() + "config"), tmp_("TMPDIR", dir_.path())
  {
    std::filesystem::create_directory(dir_.path() + "prog");
    platform::setProgramFolder(dir_.path() + "prog");
    InitProgramState();
    InitSharedState();
    ApplySearchParameterDefaults();
    ConcordSettings.IgnoreCase = true;
    ConcordanceActive = AppendSearch = BatchSearch = SaveSearchToFile = false;
    model_ = std::make_unique<TSearchTemplateModel>(services_, &view_);
  }
  ~SearchDialogTest() override { platform::setProgramFolder(""); }

  // Opens the dialog, lets `script` act on the open dialog and returns what
  // ExecuteSearchDialog returned.
  bool Run(bool advanced, std::function<int(TSearchTemplateModel&)> script, TSearchRec& request)
  {
    view_.Script = [&] { return script(*model_); };
    return ExecuteSearchDialog(request, advanced);
  }
  // OK on a single pattern in the open dialog.
  TSearchOkOutcome Ok(const std::string& pattern)
  {
    model_->SearchString.Text = pattern;
    return model_->OKBtnClick();
  }
  std::vector<std::string> Texts() const
  {
    std::vector<std::string> out;
    for (const auto& m : dialogs_.Messages)
      out.push_back(m.Text);
    return out;
  }

  testsupport::ScratchFolder dir_;
  testsupport::ScopedEnv config_;
  testsupport::ScopedEnv tmp_;
  testsupport::FakeDialogs dialogs_;
  FakeServices services_;
  ScriptedView view_;
  std::unique_ptr<TSearchTemplateModel> model_;
};

using Strings = std::vector<std::string>;

TEST_F(SearchDialogTest, OpeningResetsBatchAppendAndRestrictionsAndReloadsSwitches)
{
  ConcordSettings.RegularExpressions = true;
  ConcordSettings.SentenceMode = true;
  model_->BatchSearchCheckClick(true);
  model_->SaveToFileCheckClick(true);
  model_->AppendSearchCheckClick(true);
  TSearchRec request;
  request.Patterns = {"untouched"};
  // The simple layout always searches Text; Cancel leaves the request alone.
  EXPECT_FALSE(Run(false, [](TSearchTemplateModel& m) {
    EXPECT_EQ(m.Caption, "Text Search");
    EXPECT_FALSE(m.AdvancedPanel.Visible);
    EXPECT_TRUE(m.AdvancedBtn.Visible);
    EXPECT_TRUE(m.PatternRadio.Checked);
    EXPECT_TRUE(m.SentCheck.Checked);
    EXPECT_FALSE(m.BatchSearchCheck.Checked);
    EXPECT_FALSE(m.SaveToFileCheck.Checked || m.SaveToFileCheck.Enabled);
    EXPECT_FALSE(m.AppendSearchCheck.Checked || m.AppendSearchCheck.Enabled);
    EXPECT_FALSE(m.HdCtxCheck.Checked || m.HdCtxBtn.Enabled);
    EXPECT_TRUE(m.SearchString.Visible);
    EXPECT_EQ(m.ActiveControl, "SearchString");
    return mrCancel;
  }, request));
  EXPECT_EQ(request.Patterns, Strings{"untouched"});
  EXPECT_FALSE(BatchSearch || SaveSearchToFile);

  // The advanced layout takes the syntax from the switches; a far-eastern
  // language unticks and disables ignore case.
  FarEastLanguage = true;
  ConcordSettings.TagSearch = true;
  ConcordanceActive = true;
  Run(true, [](TSearchTemplateModel& m) {
    EXPECT_EQ(m.Caption, "Advanced Search");
    EXPECT_FALSE(m.AdvancedBtn.Visible);
    EXPECT_TRUE(m.TagRadio.Checked);
    EXPECT_FALSE(m.IgnoreCaseCheckBox.Checked || m.IgnoreCaseCheckBox.Enabled);
    EXPECT_TRUE(m.AppendSearchCheck.Enabled);
    EXPECT_FALSE(m.AppendSearchCheck.Checked);
    return mrCancel;
  }, request);
  FarEastLanguage = false;
}

TEST_F(SearchDialogTest, ExamplesFollowTheSyntaxAndTheCharacters)
{
  model_->SyntaxRadioClick(TSearchMode::Text);
  EXPECT_EQ(model_->Examples.Caption, "e.g. \"colo%r\", \"a * of\", \"thr?w\", or \"made @ mind\"");
  ConcordSettings.WildCard0or1 = 0;
  model_->UpdateExamples();
  EXPECT_EQ(model_->Examples.Caption, "e.g. \"color\", \"a * of\", \"thr?w\", or \"made @ mind\"");
  model_->SyntaxRadioClick(TSearchMode::Tag);
  EXPECT_EQ(model_->Examples.Caption, "e.g. \"computer& &NNS\", \"run&VBN &N\"");
  model_->SyntaxRadioClick(TSearchMode::Regex);
  EXPECT_EQ(model_->Examples.Caption, R"(e.g. "colou?r", "\ba\W\w+\Wof\b", "(\b[A-Z]\w*\W){2}")");
}

TEST_F(SearchDialogTest, EachSyntaxKeepsItsHistoryAndLeavingTheBoxAddsToIt)
{
  model_->TextHistory = {"t1", "t2"};
  model_->GrepHistory = {"g1"};
  model_->SyntaxRadioClick(TSearchMode::Text);
  EXPECT_EQ(model_->SearchString.Items, (Strings{"t1", "t2"}));
  model_->SearchString.Text = "  t2 ";
  model_->SearchStringExit();  // found at 1: trades places with 0
  model_->SearchString.Text = "new";
  model_->SearchStringExit();
  model_->SyntaxRadioClick(TSearchMode::Regex);
  EXPECT_EQ(model_->SearchString.Text, "g1");
  model_->SyntaxRadioClick(TSearchMode::Tag);
  EXPECT_TRUE(model_->SearchString.Items.empty());
  EXPECT_EQ(model_->SearchString.Text, "");
  EXPECT_EQ(model_->TextHistory, (Strings{"new", "t2", "t1"}));
  // Sentence mode reselects the history too: the combo's entries reach it.
  model_->SearchString.Items.push_back("tagged");
  model_->SentCheckClick(true);
  EXPECT_EQ(model_->TagHistory, Strings{"tagged"});
}

TEST_F(SearchDialogTest, SinglePatternRefusalsGiveTheExactMessagesAndFocus)
{
  TSearchRec request;
  Run(false, [&](TSearchTemplateModel& m) {
    // Empty: no message, focus on the box.
    m.ActiveControl.clear();
    EXPECT_EQ(Ok("   ").Focus, "SearchString");
    EXPECT_EQ(Ok("a@").Focus, "SearchString");
    EXPECT_FALSE(Ok("a @@ b").Close);
    EXPECT_FALSE(Ok("a.b;c.").Close);
    EXPECT_TRUE(Ok("a*").Close);
    (void)m;
    return mrCancel;
  }, request);
  EXPECT_EQ(Texts(), (Strings{"You cannot begin or end a search term with @",
                              "You cannot specify @@ in the search term",
                              "The following characters in the search term are invalid:\r\n.;"}));
  // Refused texts left the history again, so they do not fill the box at
  // the next opening either.
  EXPECT_EQ(model_->SearchString.Items, (Strings{"a*"}));
  Run(false, [&](TSearchTemplateModel& m) {
    EXPECT_EQ(m.SearchString.Text, "a*");
    return mrCancel;
  }, request);
}

TEST_F(SearchDialogTest, TagAndRegexSyntaxValidation)
{
  ConcordSettings.TagSearch = true;
  TSearchRec request;
  Run(true, [&](TSearchTemplateModel& m) {
    // Without part-of-speech tags the Tag syntax is refused outright.
    EXPECT_FALSE(Ok("word&NN").Close);
    ConcordSettings.WordTag = 2;
    // The first & of NonWordChars is exempt under Tag syntax, a second one not.
    EXPECT_TRUE(Ok("word&NN").Close);
    ConcordSettings.NonWordChars = "&.&";
    EXPECT_FALSE(Ok("word&NN").Close);
    m.SyntaxRadioClick(TSearchMode::Regex);
    EXPECT_TRUE(Ok("a@").Close);
    EXPECT_TRUE(Ok("a,b @@").Close);
    EXPECT_EQ(Ok("(").Focus, "SearchString");
    return mrCancel;
  }, request);
  EXPECT_EQ(Texts(), (Strings{TSearchTemplateModel::TagSearchRefused,
                              "The following characters in the search term are invalid:\r\n&",
                              "Unmatched ( or \\("}));
}

// A double-byte character is read whole: its trail byte is no invalid
// character, no gap and no skipping character. Japanese (932) text, with a
// cp1252 control of the same bytes.
struct TypedCharsRow {
  int32_t Language;
  const char* Pattern;
  const char* Message;  // empty: accepted
};

void PrintTo(const TypedCharsRow& row, std::ostream* out)
{
  *out << std::hex << row.Language;
}

class TypedChars : public SearchDialogTest, public ::testing::WithParamInterface<TypedCharsRow> {
protected:
  ~TypedChars() override
  {
    SetTextLanguage(0x409);
    BuildCharTables();
  }
};

TEST_P(TypedChars, TrailBytesAreNoCharactersOfTheirOwn)
{
  SetTextLanguage(GetParam().Language);
  BuildCharTables();
  ConcordSettings.SkippingChars = "-=_";
  TSearchRec request;
  Run(false, [&](TSearchTemplateModel& m) {
    m.PaddingCheckClick(true);
    dialogs_.Answers = {mrNo};
    EXPECT_EQ(Ok(GetParam().Pattern).Close, !*GetParam().Message);
    return mrCancel;
  }, request);
  EXPECT_EQ(Texts(), *GetParam().Message ? Strings{GetParam().Message} : Strings{});
}

INSTANTIATE_TEST_SUITE_P(
    SearchDialog, TypedChars,
    ::testing::Values(
        TypedCharsRow{0x411, "\x95\x5c\x8e\xa6", ""},                  // 表示
        TypedCharsRow{0x411, "\x83\x52\x81\x5b\x83\x71\x81\x5b", ""},  // コーヒー
        TypedCharsRow{0x411, "\x95\x61\x89\x40", ""},                  // 病院
        TypedCharsRow{0x411, "\x89\x40@x", ""},                        // 院@x
        TypedCharsRow{0x411, "\x95\x5c;\x8e\xa6|",
                      "The following characters in the search term are invalid:\r\n;|"},
        TypedCharsRow{0x411, "\x95\x61\x89\x40@", "You cannot begin or end a search term with @"},
        TypedCharsRow{0x411, "\x89\x40 @@ x", "You cannot specify @@ in the search term"},
        TypedCharsRow{0x411, "\x83\x5f", ""},                          // ダ
        TypedCharsRow{0x411, "\x83\x5f_", "There are skipping characters in the search term:\r\n_\r\nContinue anyway?"},
        TypedCharsRow{0x409, "\x95\x5c\x8e\xa6", "The following characters in the search term are invalid:\r\n\\"},
        TypedCharsRow{0x409, "\x95\x61\x89\x40", "You cannot begin or end a search term with @"},
        TypedCharsRow{0x409, "\x89\x40@x", "You cannot specify @@ in the search term"},
        TypedCharsRow{0x409, "\x83\x5f", "There are skipping characters in the search term:\r\n_\r\nContinue anyway?"}));

TEST_F(SearchDialogTest, SkippingWarningOnlyWithPaddingAndNoRefuses)
{
  TSearchRec request;
  Run(false, [&](TSearchTemplateModel& m) {
    EXPECT_TRUE(Ok("re-do").Close);  // no padding: no question
    m.PaddingCheckClick(true);
    dialogs_.Answers = {mrNo};
    EXPECT_EQ(Ok("re-do").Focus, "SearchString");
    dialogs_.Answers = {mrYes};
    EXPECT_TRUE(Ok("re-do").Close);
    return mrCancel;
  }, request);
  ASSERT_EQ(dialogs_.Messages.size(), 2u);
  EXPECT_EQ(dialogs_.Messages[0].Kind, mtWarning);
  EXPECT_EQ(dialogs_.Messages[0].Text, "There are skipping characters in the search term:\r\n-\r\nContinue anyway?");
}

TEST_F(SearchDialogTest, SwitchesStayStoredAfterARefusalAndACancel)
{
  TSearchRec request;
  EXPECT_FALSE(Run(true, [&](TSearchTemplateModel& m) {
    m.IgnoreCaseCheckBoxClick(false);
    m.SentCheckClick(true);
    m.SyntaxRadioClick(TSearchMode::Regex);
    EXPECT_FALSE(Ok("(").Close);
    return mrCancel;
  }, request));
  EXPECT_FALSE(ConcordSettings.IgnoreCase);
  EXPECT_TRUE(ConcordSettings.SentenceMode);
  EXPECT_TRUE(ConcordSettings.RegularExpressions);
  EXPECT_TRUE(request.Patterns.empty());
}

TEST_F(SearchDialogTest, BatchPiecesTrimLinesAndCountLineBreaksAsTwo)
{
  Strings lines = {"  a , b,,c  ", "", " ,d", "x y"};
  const std::vector<TBatchPattern> pieces = BuildBatchPatterns(TSearchMode::Text, lines);
  EXPECT_EQ(lines, (Strings{"a , b,,c", "", ",d", "x y"}));
  EXPECT_EQ(pieces, (std::vector<TBatchPattern>{{"a ", 0}, {"b", 4}, {"c", 7}, {"d", 13}, {"x y", 16}}));
  Strings grep = {"a,b", " (c) "};
  EXPECT_EQ(BuildBatchPatterns(TSearchMode::Regex, grep),
            (std::vector<TBatchPattern>{{"a,b", 0}, {"(c)", 5}}));
}

TEST_F(SearchDialogTest, BatchRefusalsOpenTheEditorAtThePiece)
{
  TSearchRec request;
  const bool ok = Run(false, [&](TSearchTemplateModel& m) {
    m.BatchSearchCheckClick(true);
    EXPECT_EQ(m.PatternLabel.Caption, TSearchTemplateModel::BatchPrompt);
    EXPECT_FALSE(m.SearchString.Visible);
    EXPECT_TRUE(m.ImportPatternsBtn.Visible && m.EditPatternsBtn.Visible);
    m.Patterns = {" ", ""};
    TSearchOkOutcome o = m.OKBtnClick();  // all blank: the editor, no message
    EXPECT_TRUE(o.ToEditor && !o.Close);
    m.Patterns = {"good, fine", "bad@"};
    o = m.OKBtnClick();
    EXPECT_EQ(std::make_pair(o.SelStart, o.SelLength), std::make_pair(12, 4));
    m.Patterns = {"x @@ y"};
    EXPECT_FALSE(m.OKBtnClick().Close);
    // The skipping question is asked per piece, its flag reset for each.
    m.PaddingCheckClick(true);
    m.Patterns = {"a-b, c, d"};
    dialogs_.Messages.clear();
    EXPECT_TRUE(m.OKBtnClick().Close);
    EXPECT_EQ(dialogs_.Messages.size(), 1u);
    return mrOk;
  }, request);
  EXPECT_TRUE(ok);
  EXPECT_EQ(services_.EditorCalls, (std::vector<std::pair<int32_t, int32_t>>{{0, 0}, {12, 4}, {0, 6}}));
  EXPECT_TRUE(BatchSearch);
  EXPECT_EQ(request.Patterns, (Strings{"a-b", "c", "d"}));
  EXPECT_EQ(request.DisplayPatterns, request.Patterns);
  EXPECT_EQ(request.Options, soSkipEqual);  // ignore case ticked: not case-sensitive
  EXPECT_EQ(request.SkipChars, "-=");
}

TEST_F(SearchDialogTest, WithoutTheEditorOkJustStaysOpen)
{
  services_.Editor = false;
  model_->FormShow();
  model_->BatchSearchCheckClick(true);
  model_->Patterns = {"bad@"};
  const TSearchOkOutcome o = model_->OKBtnClick();
  EXPECT_FALSE(o.Close);
  EXPECT_TRUE(services_.EditorCalls.empty());
  EXPECT_EQ(Texts(), Strings{"You cannot begin or end a search pattern with @"});
  EXPECT_FALSE(model_->EditPatternsBtn.Enabled);
}

TEST_F(SearchDialogTest, RequestBitsAndMode)
{
  TSearchRec request;
  ASSERT_TRUE(Run(true, [&](TSearchTemplateModel& m) {
    m.IgnoreCaseCheckBoxClick(false);
    m.SentCheckClick(true);
    m.SyntaxRadioClick(TSearchMode::Regex);
    return Ok("col(ou|o)r").Close ? mrOk : mrCancel;
  }, request));
  EXPECT_EQ(request.Mode, TSearchMode::Regex);
  EXPECT_EQ(request.Options, soSentence | soCaseSensitive);
  EXPECT_EQ(request.Patterns, Strings{"col(ou|o)r"});
  EXPECT_TRUE(request.SkipChars.empty());
}

TEST_F(SearchDialogTest, AppendIsTakenOnlyWhileAWindowIsActiveOrSavingToFile)
{
  TSearchRec request;
  Run(true, [&](TSearchTemplateModel& m) {
    m.AppendSearchCheckClick(true);  // disabled box: its state is ignored
    EXPECT_TRUE(Ok("x").Close);
    EXPECT_FALSE(AppendSearch);
    m.BatchSearchCheckClick(true);
    m.SaveToFileCheckClick(true);
    EXPECT_TRUE(SaveSearchToFile && m.AppendSearchCheck.Enabled);
    m.Patterns = {"x"};
    EXPECT_TRUE(m.OKBtnClick().Close);
    EXPECT_TRUE(AppendSearch);
    // Leaving batch mode unticks Save to file and clears its flag.
    m.BatchSearchCheckClick(false);
    EXPECT_FALSE(SaveSearchToFile || m.SaveToFileCheck.Checked || m.AppendSearchCheck.Enabled);
    return mrCancel;
  }, request);
}

TEST_F(SearchDialogTest, ImportLoadsTheFileOrRestoresTheList)
{
  model_->Patterns = {"old"};
  services_.ChosenFile = dir_.write("p.txt", "one\r\ntwo, three\nfour\rfive\r\n");
  model_->ImportPatternsBtnClick();
  EXPECT_EQ(model_->Patterns, (Strings{"one", "two, three", "four", "five"}));
  services_.ChosenFile = dir_.file("missing.txt");
  model_->ImportPatternsBtnClick();
  EXPECT_EQ(model_->Patterns, (Strings{"one", "two, three", "four", "five"}));
  EXPECT_EQ(Texts(), Strings{"Unable to open file: " + dir_.file("missing.txt") + "."});
}

// The heading and context boxes of a stand-in form.
class FakeHdCtx : public THdCtxRestrictions {
public:
  FakeHdCtx()
  {
    for (TPatternBox* b : {&heading, &left, &right})
      b->Form = this;
    heading.Name = "HeadingPattern";
    left.Name = "LeftPattern";
    right.Name = "RightPattern";
  }
  bool IsActiveForm() const override { return false; }
  void SetActiveControl(const std::string& name) override { active = name; }
  void ShowModal() override { ++shown; }
  bool HeadingChecked() const override { return headingOn; }
  bool ContextChecked() const override { return contextOn; }
  std::string HeadingName() const override { return "Chapter"; }
  TPatternBox& HeadingPattern() override { return heading; }
  TPatternBox& LeftPattern() override { return left; }
  TPatternBox& RightPattern() override { return right; }
  bool GetHeading(const std::string& name, std::string& a, std::string& b, std::string& c,
                  std::string& d) override
  {
    if (!complete)
      return false;
    a = name + "<";
    b = ">";
    c = "[";
    d = "]";
    return true;
  }
  TPatternBox heading, left, right;
  bool headingOn = false, contextOn = false, complete = true;
  std::string active;
  int shown = 0;
};

TEST_F(SearchDialogTest, RestrictionBoxesReopenTheirFormAtTheFaultyBox)
{
  FakeHdCtx hd;
  services_.HdCtx = &hd;
  TSearchRec request;
  ASSERT_TRUE(Run(true, [&](TSearchTemplateModel& m) {
    m.HdCtxCheckClick(true);
    EXPECT_TRUE(m.HdCtxBtn.Enabled);
    hd.contextOn = true;
    EXPECT_FALSE(Ok("x").Close);  // empty left context
    EXPECT_EQ(hd.active, "LeftPattern");
    hd.left.Text = "open";  // the right one may stay empty
    hd.headingOn = true;
    hd.heading.Text = "Intro";
    hd.complete = false;
    EXPECT_FALSE(Ok("x").Close);
    EXPECT_EQ(hd.active, "HeadingCombo");
    hd.complete = true;
    return Ok("x").Close ? mrOk : mrCancel;
  }, request));
  EXPECT_EQ(hd.shown, 2);
  EXPECT_EQ(request.Options & (soHeading | soContext), soHeading | soContext);
  EXPECT_EQ(request.HeadStart, "Chapter<");
  EXPECT_EQ(request.HeadingPattern, "Intro");
  EXPECT_EQ(request.LeftContext, "open");
  EXPECT_TRUE(dialogs_.Messages.empty());
}

TEST_F(SearchDialogTest, SettingsRoundTripInTheirSectionsAndOrder)
{
  // A later writer of [SearchHistory] (the headings/contexts form) runs after
  // the erase, so its keys survive.
  const TConfigArea old = RegisterConfigArea(csHeadingContext, {{}, [](platform::IniFile& ini) {
    ini.writeString(SearchHistorySection, "LastHeading", "Chapter");
  }});
  const std::string file = dir_.file("q.ini");
  model_->TextHistory = {"cat", "dog"};
  model_->GrepHistory = {"a|b"};
  ConcordSettings.SentenceMode = true;
  ConcordSettings.IgnoreCase = false;
  ASSERT_TRUE(WriteConfig(file));
  RegisterConfigArea(csHeadingContext, old);
  const std::string text = readFile(file);
  EXPECT_NE(text.find("IgnoreCase=0\r\nUseSkipEqualChars=0\r\nRegularExpressions=0\r\nTagSearch=0\r\n"
                      "SentenceMode=1\r\n"),
            std::string::npos);
  EXPECT_NE(text.find("[SearchHistory]\r\nSearchCount=2\r\nSearch0=cat\r\nSearch1=dog\r\nGrepCount=1\r\n"
                      "Grep0=a|b\r\nTagCount=0\r\nLastHeading=Chapter\r\n"),
            std::string::npos);
  {
    // The writer erases its history section before writing it.
    platform::IniFile ini(dir_.write("h.ini", "[SearchHistory]\r\nStale=1\r\n"));
    model_->WriteSettings(ini);
    EXPECT_FALSE(ini.valueExists(SearchHistorySection, "Stale"));
    EXPECT_EQ(ini.readString(SearchHistorySection, "Search1", ""), "dog");
  }

  model_->TextHistory.clear();
  model_->SearchString.Items = {"typed"};
  ConcordSettings = ConcordConfig();
  ASSERT_TRUE(ReadConfig(file));
  EXPECT_EQ(model_->TextHistory, (Strings{"cat", "dog"}));
  EXPECT_EQ(model_->SearchString.Items, (Strings{"cat", "dog"}));
  EXPECT_TRUE(ConcordSettings.SentenceMode);
  EXPECT_FALSE(ConcordSettings.IgnoreCase);
  // The interim readers gave the search parameters their defaults.
  EXPECT_EQ(ConcordSettings.MaximumHits, 500);
  EXPECT_EQ(ConcordSettings.WildCardMatchWords, '@');
  EXPECT_EQ(ConcordSettings.NonWordChars, DefaultNonWordChars);
  EXPECT_EQ(ConcordSettings.BatchSort.First, ctxNone);
  EXPECT_EQ(ConcordSettings.BatchContextSizes, (std::array<int32_t, 4>{40, 8, 3, 1}));

  // A missing file: ignore case is on by default.
  ASSERT_TRUE(ReadConfig(dir_.file("none.ini")));
  EXPECT_TRUE(ConcordSettings.IgnoreCase);
}

}  // namespace
