#include "forms/sentence_options.h"

#include "foundation/chartables.h"
#include "foundation/program_state.h"
#include "foundation/settings.h"
#include "forms/stop_list_model.h"
#include "platform/safe_write.h"
#include "support/fake_bridge.h"
#include "support/scoped_env.h"
#include "support/scratch_folder.h"

#include <gtest/gtest.h>

#include <deque>

using testsupport::readFile;
using Words = std::vector<std::string>;

namespace {

// Answers the file dialogs from a script and records what they were asked.
class FakeChooser : public TStopListFileChooser {
public:
  bool ChooseLoadFile(const std::string& title, const std::string& folder, std::string& name) override
  {
    return Answer(title, folder, name);
  }
  bool ChooseSaveFile(const std::string& title, const std::string& folder, std::string& name) override
  {
    return Answer(title, folder, name);
  }
  std::deque<std::string> Names;  // "" cancels
  std::vector<std::string> Titles;
  std::vector<std::string> Folders;

private:
  bool Answer(const std::string& title, const std::string& folder, std::string& name)
  {
    Titles.push_back(title);
    Folders.push_back(folder);
    EXPECT_TRUE(name.empty());
    if (Names.empty())
      return false;
    name = Names.front();
    Names.pop_front();
    return !name.empty();
  }
};

class SentenceOptionsTest : public ::testing::Test {
protected:
  SentenceOptionsTest() : tmp_("TMPDIR", dir_.path())
  {
    InitProgramState();
    InitSharedState();
  }
  ~SentenceOptionsTest() override
  {
    platform::setWriteFaultHook({});
    InitSharedState();
  }

  std::vector<std::string> Texts(TMsgDlgType kind) const
  {
    std::vector<std::string> texts;
    for (const auto& m : dialogs_.Messages)
      if (m.Kind == kind)
        texts.push_back(m.Text);
    return texts;
  }
  void Answer(bool ok) { dialogs_.Answers.push_back(ok ? mrOk : mrCancel); }
  void Input(const std::string& text, bool ok = true) { dialogs_.Inputs.push_back({ok, text}); }
  // Selects the entries of the model's list that are in `words`.
  void Select(TViewSentExceptsModel& m, const Words& words)
  {
    std::vector<bool> sel;
    for (const auto& w : m.WordList())
      sel.push_back(std::find(words.begin(), words.end(), w) != words.end());
    m.SetSelection(sel);
  }
  Words Selected(const TViewSentExceptsModel& m)
  {
    Words out;
    for (size_t i = 0; i < m.WordList().size(); ++i)
      if (m.Selection()[i])
        out.push_back(m.WordList()[i]);
    return out;
  }

  testsupport::ScratchFolder dir_;
  testsupport::ScopedEnv tmp_;
  testsupport::FakeDialogs dialogs_;
  FakeChooser chooser_;
};

TEST_F(SentenceOptionsTest, SentenceSettings)
{
  SentDelimiters = ".!?";
  SmartAbbrDetect = false;
  TSentCfgModel m;
  EXPECT_EQ(m.Delimiters, ".!?");
  EXPECT_TRUE(m.ExceptionsEnabled());
  m.Delimiters = " . ! ?; ";
  m.SmartAbbr = true;
  EXPECT_FALSE(m.ExceptionsEnabled());
  EXPECT_EQ(SentDelimiters, ".!?");  // nothing changes before OK
  m.Ok();
  EXPECT_EQ(SentDelimiters, ".!?;");
  EXPECT_TRUE(SmartAbbrDetect);

  // Without an installed form the entry point shows nothing.
  SetSentenceOptionsEditor({});
  EXPECT_FALSE(ShowSentenceOptions());
  SetSentenceOptionsEditor([] { return true; });
  EXPECT_TRUE(ShowSentenceOptions());
  SetSentenceOptionsEditor({});
}

TEST_F(SentenceOptionsTest, AddNormalisesAndRefusesDuplicates)
{
  SentDelimitersExcepts = {"vs", "Approx"};
  TViewSentExceptsModel m(chooser_);
  m.Open();
  EXPECT_EQ(m.WordList(), (Words{"Approx", "vs"}));
  EXPECT_FALSE(m.Modified());
  EXPECT_FALSE(m.RemoveEnabled());
  EXPECT_TRUE(m.SaveEnabled());

  Input(" Etc. ");
  m.Add();
  EXPECT_EQ(SentDelimitersExcepts, (Words{"vs", "Approx", "etc"}));
  EXPECT_EQ(m.WordList(), (Words{"Approx", "etc", "vs"}));
  EXPECT_EQ(Selected(m), (Words{"etc"}));
  EXPECT_TRUE(m.Modified());
  EXPECT_TRUE(m.RemoveEnabled());
  EXPECT_EQ(dialogs_.InputCaptions, (Words{"Add to List"}));

  // Present without regard to case, empty after the cut, cancelled: nothing.
  Input("ETC");
  Input("approx.");
  Input(".");
  Input("   ");
  Input("new", false);
  for (int i = 0; i < 5; ++i)
    m.Add();
  EXPECT_EQ(SentDelimitersExcepts, (Words{"vs", "Approx", "etc"}));
  EXPECT_TRUE(dialogs_.Messages.empty());
  // Only one final "." is cut.
  Input("E.G..");
  m.Add();
  EXPECT_EQ(SentDelimitersExcepts.back(), "e.g.");
}

// On a double-byte page ヂ (83 61) is no case variant of ア (83 41).
TEST_F(SentenceOptionsTest, AddTellsDoubleByteWordsApartByCharacters)
{
  SetTextLanguage(0x411);
  BuildCharTables();
  SentDelimitersExcepts = {"\x83\x41"};
  TViewSentExceptsModel m(chooser_);
  m.Open();
  Input("\x83\x61");
  m.Add();
  const Words kept = SentDelimitersExcepts;
  SetTextLanguage(0x409);
  BuildCharTables();
  EXPECT_EQ(kept, (Words{"\x83\x41", "\x83\x61"}));
}

TEST_F(SentenceOptionsTest, RemoveGoesFromTheLastSelectedToTheFirst)
{
  SentDelimitersExcepts = {"a", "B", "c", "d", "e"};
  TViewSentExceptsModel m(chooser_);
  m.Open();
  Select(m, {"B", "d"});
  m.Remove();
  EXPECT_EQ(m.WordList(), (Words{"a", "c", "e"}));
  EXPECT_EQ(SentDelimitersExcepts, (Words{"a", "c", "e"}));
  // Each removal selected the entry that moved into its place.
  EXPECT_EQ(Selected(m), (Words{"c", "e"}));
  EXPECT_TRUE(m.Modified());

  Select(m, {"e"});
  m.Remove();
  EXPECT_EQ(m.WordList(), (Words{"a", "c"}));
  EXPECT_TRUE(Selected(m).empty());
  EXPECT_FALSE(m.RemoveEnabled());
  m.Remove();  // nothing selected: nothing happens
  EXPECT_EQ(m.WordList().size(), 2u);
}

TEST_F(SentenceOptionsTest, ClearAsksFirst)
{
  SentDelimitersExcepts = {"etc", "vs"};
  TViewSentExceptsModel m(chooser_);
  m.Open();
  Answer(false);
  m.Clear();
  EXPECT_EQ(SentDelimitersExcepts.size(), 2u);
  EXPECT_FALSE(m.Modified());
  m.Clear();  // the default answer is OK
  EXPECT_TRUE(SentDelimitersExcepts.empty());
  EXPECT_TRUE(m.WordList().empty());
  EXPECT_TRUE(m.Modified());
  EXPECT_FALSE(m.SaveEnabled());
  EXPECT_EQ(Texts(mtConfirmation), (Words{"Remove all words from list?", "Remove all words from list?"}));
  m.Clear();  // an empty list asks nothing
  EXPECT_EQ(dialogs_.Messages.size(), 2u);
}

TEST_F(SentenceOptionsTest, SaveAsksForANameOnce)
{
  SentDelimitersExcepts = {"vs", "etc", "Approx"};
  SentDelimitersPath = dir_.path();
  TViewSentExceptsModel m(chooser_);
  m.Open();
  Input("al");
  m.Add();
  chooser_.Names.push_back(dir_.file("words"));
  m.Save();
  EXPECT_EQ(chooser_.Titles, (Words{"Save Stop List"}));
  EXPECT_EQ(chooser_.Folders, (Words{dir_.path()}));
  const std::string saved = dir_.file("words.TXT");
  EXPECT_EQ(m.FileName(), saved);
  EXPECT_EQ(m.FileNameLabel(), "words.TXT");
  EXPECT_EQ(readFile(saved), "al\r\nApprox\r\netc\r\nvs\r\n");
  EXPECT_FALSE(m.Modified());
  EXPECT_EQ(SentDelimitersPath, dir_.path());

  // Later saves write to the same file without asking.
  Select(m, {"vs"});
  m.Remove();
  m.Save();
  EXPECT_EQ(chooser_.Titles.size(), 1u);
  EXPECT_EQ(readFile(saved), "al\r\nApprox\r\netc\r\n");

  // A cancelled dialog saves nothing.
  TViewSentExceptsModel other(chooser_);
  other.Open();
  other.Save();
  EXPECT_TRUE(other.FileName().empty());
}

TEST_F(SentenceOptionsTest, FailedSaveKeepsTheOldFileAndForgetsTheName)
{
  const std::string file = dir_.write("old.txt", "one\r\ntwo\r\n");
  SentDelimitersExcepts = {"three"};
  TViewSentExceptsModel m(chooser_);
  m.Open();
  chooser_.Names.push_back(file);
  platform::setWriteFaultHook([](int) { return false; });
  m.Save();
  platform::setWriteFaultHook({});
  EXPECT_EQ(Texts(mtError), (Words{"Unable to save to file \r\n" + file}));
  EXPECT_EQ(readFile(file), "one\r\ntwo\r\n");
  EXPECT_TRUE(m.FileName().empty());
  EXPECT_TRUE(m.FileNameLabel().empty());
  EXPECT_EQ(dir_.names(), (Words{"old.txt"}));
  EXPECT_EQ(SentDelimitersExcepts, (Words{"three"}));

  // A folder that does not exist.
  chooser_.Names.push_back(dir_.file("missing/list.txt"));
  m.Save();
  EXPECT_EQ(Texts(mtError).back(), "Unable to save to file \r\n" + dir_.file("missing/list.txt"));
}

TEST_F(SentenceOptionsTest, LoadKeepsWordsAsRead)
{
  const std::string file = dir_.write("list.txt", "Etc.\rvs\n\nvs\r\nAbc");
  SentDelimitersExcepts = {"old"};
  TViewSentExceptsModel m(chooser_);
  m.Open();
  Input("new");
  m.Add();
  chooser_.Names.push_back(file);
  m.Load();
  EXPECT_EQ(chooser_.Titles, (Words{"Load New Stop List"}));
  EXPECT_EQ(m.WordList(), (Words{"", "Abc", "Etc.", "vs", "vs"}));
  EXPECT_EQ(SentDelimitersExcepts, m.WordList());
  EXPECT_EQ(Selected(m), (Words{""}));
  EXPECT_EQ(m.FileNameLabel(), "list.txt");
  EXPECT_EQ(m.FileName(), file);
  EXPECT_EQ(SentDelimitersPath, dir_.path());
  EXPECT_FALSE(m.Modified());
  // A line break after the last line adds no empty word.
  dir_.write("two.txt", "x\r\ny\r\n");
  chooser_.Names.push_back(dir_.file("two.txt"));
  m.Load();
  EXPECT_EQ(SentDelimitersExcepts, (Words{"x", "y"}));
}

TEST_F(SentenceOptionsTest, FailedLoadLosesNothing)
{
  SentDelimitersExcepts = {"etc"};
  TViewSentExceptsModel m(chooser_);
  m.Open();
  chooser_.Names.push_back(dir_.file("saved"));
  m.Save();
  ASSERT_EQ(m.FileName(), dir_.file("saved.TXT"));
  // The chosen name gets the default extension; no such file exists.
  chooser_.Names.push_back(dir_.file("absent"));
  m.Load();
  EXPECT_EQ(Texts(mtError), (Words{"Unable to load words from \r\n" + dir_.file("absent.TXT")}));
  EXPECT_EQ(SentDelimitersExcepts, (Words{"etc"}));
  EXPECT_EQ(m.WordList(), (Words{"etc"}));
  EXPECT_EQ(m.FileName(), dir_.file("saved.TXT"));
  // A folder cannot be read as a list either.
  chooser_.Names.push_back(dir_.path() + ".");
  m.Load();
  EXPECT_EQ(Texts(mtError).size(), 2u);
  EXPECT_EQ(SentDelimitersExcepts, (Words{"etc"}));
}

TEST_F(SentenceOptionsTest, CancelRestoresTheListOfTheOpening)
{
  SentDelimitersExcepts = {"etc", "vs"};
  TViewSentExceptsModel m(chooser_);
  m.Open();
  EXPECT_TRUE(m.Cancel());  // unmodified: closes without asking
  EXPECT_TRUE(dialogs_.Messages.empty());

  Select(m, {"etc"});
  m.Remove();
  Input("approx");
  m.Add();
  Answer(false);
  EXPECT_FALSE(m.Cancel());  // declined: the dialog stays, changes too
  EXPECT_EQ(SentDelimitersExcepts, (Words{"vs", "approx"}));
  EXPECT_TRUE(m.Cancel());
  EXPECT_EQ(SentDelimitersExcepts, (Words{"etc", "vs"}));
  EXPECT_EQ(Texts(mtConfirmation),
            (Words{"Setting are modified.\rAre you sure that you want to exit without saving changes ?",
                   "Setting are modified.\rAre you sure that you want to exit without saving changes ?"}));

  // OK keeps every change.
  TViewSentExceptsModel ok(chooser_);
  ok.Open();
  Input("ibid");
  ok.Add();
  ok.Ok();
  EXPECT_EQ(SentDelimitersExcepts, (Words{"etc", "vs", "ibid"}));
}

}  // namespace
