#include "forms/stop_list_model.h"

#include "foundation/chartables.h"
#include "foundation/config_file.h"
#include "foundation/program_state.h"
#include "platform/safe_write.h"
#include "support/fake_bridge.h"
#include "support/scoped_env.h"
#include "support/scratch_folder.h"

#include <gtest/gtest.h>

#include <deque>

using platform::IniFile;
using testsupport::readFile;
using Words = std::vector<std::string>;

namespace {

// Also records the prompt and font of each input box.
class ScriptedDialogs : public testsupport::FakeDialogs {
public:
  bool QueryInput(std::string_view caption, std::string_view prompt, const TFontRec& font,
                  std::string& text) override
  {
    Prompts.emplace_back(prompt);
    Fonts.push_back(font);
    return FakeDialogs::QueryInput(caption, prompt, font, text);
  }
  std::vector<std::string> Prompts;
  std::vector<TFontRec> Fonts;
};

class StopListTest : public ::testing::Test {
protected:
  StopListTest() : tmp_("TMPDIR", dir_.path())
  {
    InitProgramState();
    InitSharedState();
    ConcordSettings.NonWordChars = ".,;:!";
    FrequencySettings.IgnoreCase = true;
  }
  ~StopListTest() override { platform::setWriteFaultHook({}); }

  // The texts of the error boxes shown so far.
  std::vector<std::string> Errors() const
  {
    std::vector<std::string> texts;
    for (const auto& m : dialogs_.Messages)
      if (m.Kind == mtError)
        texts.push_back(m.Text);
    return texts;
  }
  // The texts of the confirmations asked so far; each has OK and Cancel.
  std::vector<std::string> Confirmations() const
  {
    std::vector<std::string> texts;
    for (const auto& m : dialogs_.Messages)
      if (m.Kind == mtConfirmation) {
        EXPECT_EQ(m.Buttons, Btn(mbOK) | Btn(mbCancel));
        texts.push_back(m.Text);
      }
    return texts;
  }
  void Answer(std::initializer_list<bool> oks)
  {
    for (bool ok : oks)
      dialogs_.Answers.push_back(ok ? mrOk : mrCancel);
  }
  void Input(std::initializer_list<std::string> texts)
  {
    for (const auto& t : texts)
      dialogs_.Inputs.push_back({true, t});
  }

  testsupport::ScratchFolder dir_;
  testsupport::ScopedEnv tmp_;
  ScriptedDialogs dialogs_;
};

// File dialogs that give fixed answers; an empty answer is Cancel.
class FixedChooser : public TStopListFileChooser {
public:
  bool ChooseLoadFile(const std::string& title, const std::string& folder, std::string& name) override
  {
    return Answer(title, folder, name);
  }
  bool ChooseSaveFile(const std::string& title, const std::string& folder, std::string& name) override
  {
    return Answer(title, folder, name);
  }
  std::deque<std::string> answers;
  std::vector<std::string> asked;  // "title|folder"

private:
  bool Answer(const std::string& title, const std::string& folder, std::string& name)
  {
    asked.push_back(title + "|" + folder);
    if (answers.empty())
      return false;
    name = answers.front();
    answers.pop_front();
    return !name.empty();
  }
};

// The dialog model over its own list, with scripted input and confirmations.
class StopListDialogTest : public StopListTest {
protected:
  TStopList list_;
  FixedChooser chooser_;
  TViewStopListModel dlg_{list_, chooser_};
};

}  // namespace

namespace {

std::vector<bool> Select(const TViewStopListModel& dlg, const std::string& word)
{
  std::vector<bool> s(dlg.WordList().size(), false);
  for (size_t i = 0; i < s.size(); ++i)
    s[i] = dlg.WordList()[i] == word;
  return s;
}

}  // namespace

// --- TStopList --------------------------------------------------------------

TEST_F(StopListTest, WordsWithoutAFileLiveInTheSettings)
{
  TStopList list;
  list.SetWords({"the", "\xE9t\xE9", "\"q\""});
  IniFile ini = IniFile::empty(dir_.file("s.ini"));
  ini.writeString("StopList", "Word7", "stale");
  list.WriteSettings(ini);
  EXPECT_EQ(ini.readString("FrequencyConfiguration", "StopListFileName", "x"), "");
  EXPECT_FALSE(ini.valueExists("StopList", "Word7"));

  TStopList back;
  back.FileName = "/old.txt";
  back.ReadSettings(ini);
  EXPECT_EQ(back.FileName, "");
  EXPECT_EQ(back.Words(), list.Words());
  EXPECT_TRUE(back.Active());
}

TEST_F(StopListTest, WithAFileOnlyItsNameIsWritten)
{
  const std::string file = dir_.write("stop.txt", "the\r\nof\nand\ra\r\n");
  TStopList list;
  list.FileName = file;
  list.SetWords({"unsaved"});
  IniFile ini = IniFile::empty(dir_.file("s.ini"));
  list.WriteSettings(ini);
  EXPECT_FALSE(ini.sectionExists("StopList"));

  TStopList back;
  back.ReadSettings(ini);
  EXPECT_EQ(back.FileName, file);
  EXPECT_EQ(back.Words(), (Words{"the", "of", "and", "a"}));
  EXPECT_TRUE(back.Active());
  EXPECT_TRUE(Errors().empty());
}

TEST_F(StopListTest, EmptyOrMissingListsAreInactive)
{
  const std::string ini = dir_.write("s.ini", "[StopList]\r\nWordCount=0\r\n");
  TStopList list;
  list.ReadSettings(IniFile(ini));
  EXPECT_FALSE(list.Active());
  list.SetActive(true);
  EXPECT_FALSE(list.Active());  // needs a word

  list.SetWords({"x"});
  list.SetActive(true);
  EXPECT_TRUE(list.IsStopWord("x"));
  list.SetWords({});
  EXPECT_FALSE(list.Active());
  EXPECT_FALSE(list.IsStopWord("x"));
}

TEST_F(StopListTest, UnreadableFileShowsTheErrorAndLeavesAnEmptyList)
{
  const std::string missing = dir_.file("gone.txt");
  const std::string ini = dir_.write("s.ini", "[FrequencyConfiguration]\r\nStopListFileName=" + missing + "\r\n");
  TStopList list;
  list.SetWords({"old"});
  list.SetActive(true);
  list.ReadSettings(IniFile(ini));
  EXPECT_EQ(Errors(), (Words{"Unable to load stop-list words from file \r\n" + missing}));
  EXPECT_EQ(list.FileName, missing);
  EXPECT_TRUE(list.Words().empty());
  EXPECT_FALSE(list.Active());
}

TEST_F(StopListTest, IsStopWordFollowsTheFrequencyCaseSwitch)
{
  TStopList list;
  list.SetWords({"The", "\xC9T\xC9"});
  EXPECT_FALSE(list.IsStopWord("The"));  // inactive
  list.SetActive(true);
  ConcordSettings.IgnoreCase = false;  // the search's switch plays no part
  EXPECT_TRUE(list.IsStopWord("the"));
  EXPECT_TRUE(list.IsStopWord("\xE9t\xE9"));
  EXPECT_FALSE(list.IsStopWord("then"));
  FrequencySettings.IgnoreCase = false;
  EXPECT_FALSE(list.IsStopWord("the"));
  EXPECT_TRUE(list.IsStopWord("The"));
  list.AddWord("the");
  EXPECT_TRUE(list.IsStopWord("the"));
  EXPECT_TRUE(list.RemoveWord("The"));
  EXPECT_FALSE(list.IsStopWord("The"));
}

TEST_F(StopListTest, StopListFilesAreWrittenWithCrLf)
{
  const std::string file = dir_.file("w.txt");
  WriteStopListFile(file, {"a", "", "b\xE9"});
  EXPECT_EQ(readFile(file), "a\r\n\r\nb\xE9\r\n");
  EXPECT_EQ(ReadStopListFile(file), (Words{"a", "", "b\xE9"}));
  EXPECT_THROW(ReadStopListFile(dir_.path()), std::runtime_error);  // a folder
}

// --- The dialog -------------------------------------------------------------

TEST_F(StopListDialogTest, AddSplitsAtDelimitersAndSkipsWordsAlreadyThere)
{
  list_.SetWords({"the"});
  dlg_.Open();
  Input({"a, b", "THE a c,c;b"});
  dlg_.Add();
  EXPECT_EQ(dialogs_.InputCaptions, (Words{"Add to Stop List"}));
  EXPECT_EQ(dialogs_.Prompts, (Words{"Enter word(s) to add to stop list:"}));
  EXPECT_EQ(dialogs_.Fonts, (std::vector<TFontRec>{SystemFont}));  // the word list's font
  EXPECT_EQ(list_.Words(), (Words{"the", "a", "b"}));
  EXPECT_TRUE(dlg_.Modified());
  // The list is not active, yet duplicates are still found.
  EXPECT_FALSE(list_.Active());
  dlg_.Add();
  EXPECT_EQ(list_.Words(), (Words{"the", "a", "b", "c"}));
  EXPECT_EQ(dlg_.WordList(), (Words{"a", "b", "c", "the"}));
  EXPECT_FALSE(list_.Active());

  // With case kept, THE is a new word.
  FrequencySettings.IgnoreCase = false;
  Input({"THE"});
  dlg_.Add();
  EXPECT_EQ(list_.Words().back(), "THE");
}

TEST_F(StopListDialogTest, AddKeepsDoubleByteCharactersWhole)
{
  SetTextLanguage(0x411);  // Japanese, code page 932
  BuildCharTables();
  ConcordSettings.NonWordChars = ".,;:!\\[";
  dlg_.Open();
  // 表示 and コーヒー have trail bytes 5C and 5B; the cut at 255 bytes would
  // fall inside 表.
  Input({"\x95\x5c\x8e\xa6 \x83\x52\x81\x5b\x83\x71\x81\x5b;a\\b", std::string(253, 'x') + " \x95\x5c"});
  dlg_.Add();
  dlg_.Add();
  SetTextLanguage(0x409);
  BuildCharTables();
  EXPECT_EQ(list_.Words(), (Words{"\x95\x5c\x8e\xa6", "\x83\x52\x81\x5b\x83\x71\x81\x5b", "a", "b",
                                   std::string(253, 'x')}));
}

TEST_F(StopListDialogTest, AddTakesTheFirst255CharactersAndCancelAddsNothing)
{
  dlg_.Open();
  Input({std::string(250, 'x') + " abcdefghij"});
  dlg_.Add();
  EXPECT_EQ(list_.Words(), (Words{std::string(250, 'x'), "abcd"}));
  dlg_.Open();
  dlg_.Add();  // Cancel
  EXPECT_EQ(list_.Words().size(), 2u);
  EXPECT_FALSE(dlg_.Modified());
}

TEST_F(StopListDialogTest, RemoveTakesTheExactEntries)
{
  FrequencySettings.IgnoreCase = false;
  list_.SetWords({"The", "the", "a"});
  dlg_.Open();
  EXPECT_FALSE(dlg_.RemoveEnabled());
  EXPECT_TRUE(dlg_.ClearEnabled());
  dlg_.SetSelection(Select(dlg_, "the"));
  EXPECT_TRUE(dlg_.RemoveEnabled());
  dlg_.Remove();
  EXPECT_EQ(list_.Words(), (Words{"The", "a"}));
  EXPECT_EQ(dlg_.WordList(), (Words{"a", "The"}));
  EXPECT_FALSE(dlg_.RemoveEnabled());
  EXPECT_TRUE(dlg_.Modified());

  dlg_.SetSelection({true, true});
  dlg_.Remove();
  EXPECT_TRUE(list_.Words().empty());
  EXPECT_FALSE(dlg_.ClearEnabled());
}

TEST_F(StopListDialogTest, ClearThenCancelRestoresWordsAndFileName)
{
  const std::string file = dir_.write("stop.txt", "of\r\nthe\r\n");
  list_.FileName = file;
  ASSERT_TRUE(list_.LoadFromFile());
  dlg_.Open();
  EXPECT_EQ(dlg_.FileNameLabel(), "stop.txt");

  Answer({false});  // refuse the clearing
  dlg_.Clear();
  EXPECT_EQ(list_.Words().size(), 2u);
  EXPECT_FALSE(dlg_.Modified());

  Answer({true, false});  // clear, then drop the changes
  dlg_.Clear();
  EXPECT_TRUE(list_.Words().empty());
  EXPECT_EQ(list_.FileName, "");
  EXPECT_EQ(dlg_.FileNameLabel(), "");
  dlg_.Close();
  EXPECT_EQ(Confirmations(), (Words{"Remove all words from stop list?", "Remove all words from stop list?", "Save changes?"}));
  EXPECT_EQ(list_.FileName, file);
  EXPECT_EQ(list_.Words(), (Words{"of", "the"}));
  EXPECT_TRUE(list_.Active());

  // Keeping the changes keeps the emptied list.
  dlg_.Open();
  Answer({true, true});
  dlg_.Clear();
  dlg_.Close();
  EXPECT_TRUE(list_.Words().empty());
  EXPECT_EQ(list_.FileName, "");
}

TEST_F(StopListDialogTest, CloseWithoutChangesAsksNothing)
{
  list_.SetWords({"a"});
  dlg_.Open();
  dlg_.Close();
  EXPECT_TRUE(Confirmations().empty());
  EXPECT_EQ(list_.Words(), (Words{"a"}));
}

TEST_F(StopListDialogTest, SaveWithoutAFileNameAsksForOneAndKeepsTheWords)
{
  StopListPath = dir_.path();
  list_.SetWords({"b", "A"});
  list_.SetActive(true);
  dlg_.Open();
  Input({"c"});
  dlg_.Add();
  chooser_.answers = {dir_.file("mine")};
  dlg_.Save();
  EXPECT_EQ(chooser_.asked, (Words{"Save Stop List|" + dir_.path()}));
  const std::string file = dir_.file("mine.TXT");
  EXPECT_EQ(list_.FileName, file);
  EXPECT_EQ(readFile(file), "A\r\nb\r\nc\r\n");  // the list box's order
  EXPECT_EQ(list_.Words(), (Words{"b", "A", "c"}));
  EXPECT_TRUE(list_.Active());
  EXPECT_EQ(StopListPath, dir_.path());
  EXPECT_EQ(dlg_.FileNameLabel(), "mine.TXT");
  EXPECT_FALSE(dlg_.Modified());

  // With a name it writes without asking.
  Input({"d"});
  dlg_.Add();
  dlg_.Save();
  EXPECT_EQ(chooser_.asked.size(), 1u);
  EXPECT_EQ(readFile(file), "A\r\nb\r\nc\r\nd\r\n");

  // Cancelling the file dialog saves nothing.
  TStopList other;
  TViewStopListModel dlg2(other, chooser_);
  other.SetWords({"z"});
  dlg2.Open();
  dlg2.Save();
  EXPECT_EQ(other.FileName, "");
}

TEST_F(StopListDialogTest, FailedSaveIsReportedAndChangesNothing)
{
  StopListPath = "/start/";
  list_.SetWords({"a"});
  dlg_.Open();
  Input({"b"});
  dlg_.Add();
  chooser_.answers = {dir_.file("s.txt")};
  platform::setWriteFaultHook([](int) { return false; });
  dlg_.Save();
  EXPECT_EQ(Errors(), (Words{"Unable to save stop-list words to file \r\n" + dir_.file("s.txt")}));
  EXPECT_EQ(list_.FileName, "");
  EXPECT_EQ(dlg_.FileNameLabel(), "");
  EXPECT_EQ(StopListPath, "/start/");
  EXPECT_TRUE(dlg_.Modified());
  EXPECT_FALSE(std::filesystem::exists(dir_.file("s.txt")));

  // An existing file keeps its content.
  const std::string file = dir_.write("old.txt", "x\r\n");
  list_.FileName = file;
  dlg_.Save();
  EXPECT_EQ(readFile(file), "x\r\n");
  EXPECT_EQ(list_.FileName, file);
  EXPECT_EQ(Errors().size(), 2u);
}

TEST_F(StopListDialogTest, LoadReplacesNameAndWordsButNotActive)
{
  const std::string file = dir_.write("new.txt", "zeta\nAlpha\nbeta\n");
  list_.SetWords({"old"});
  list_.SetActive(false);
  StopListPath = "/start/";
  dlg_.Open();
  Input({"x"});
  dlg_.Add();
  chooser_.answers = {dir_.file("new")};  // completed with .TXT: not there
  dlg_.Load();
  EXPECT_EQ(Errors(), (Words{"Unable to load stop-list words from file \r\n" + dir_.file("new.TXT")}));
  EXPECT_EQ(list_.Words(), (Words{"old", "x"}));
  EXPECT_EQ(list_.FileName, "");
  EXPECT_EQ(StopListPath, "/start/");
  EXPECT_TRUE(dlg_.Modified());

  chooser_.answers = {file};
  dlg_.Load();
  EXPECT_EQ(chooser_.asked.back(), "Load New Stop List|/start/");
  EXPECT_EQ(list_.FileName, file);
  EXPECT_EQ(dlg_.WordList(), (Words{"Alpha", "beta", "zeta"}));
  EXPECT_EQ(list_.Words(), dlg_.WordList());
  EXPECT_FALSE(list_.Active());
  EXPECT_EQ(StopListPath, dir_.path());
  EXPECT_FALSE(dlg_.Modified());

  list_.SetActive(true);
  dlg_.Load();  // Cancel
  EXPECT_TRUE(list_.Active());
  chooser_.answers = {file};
  dlg_.Load();
  EXPECT_TRUE(list_.Active());
}

TEST_F(StopListDialogTest, KeptEditsOfAFileListReachTheDiskOnlyThroughSave)
{
  const std::string file = dir_.write("stop.txt", "a\r\n");
  list_.FileName = file;
  ASSERT_TRUE(list_.LoadFromFile());
  dlg_.Open();
  Input({"b"});
  dlg_.Add();
  Answer({true});
  dlg_.Close();
  IniFile ini = IniFile::empty(dir_.file("s.ini"));
  list_.WriteSettings(ini);
  EXPECT_FALSE(ini.sectionExists("StopList"));
  EXPECT_EQ(readFile(file), "a\r\n");
  EXPECT_EQ(list_.Words(), (Words{"a", "b"}));
}
