#include "forms/patterns_editor.h"

#include "forms/search_dialog_model.h"
#include "foundation/chartables.h"
#include "foundation/dialogs.h"
#include "foundation/program_state.h"
#include "support/fake_bridge.h"
#include "support/scratch_folder.h"

#include <gtest/gtest.h>

#include <random>

#include <sys/stat.h>

using testsupport::readFile;
using Strings = std::vector<std::string>;

namespace {

class FakeEditView : public TPatternsEditView {
public:
  bool ChooseLoadFile(std::string& fileName) override { return Choose(fileName); }
  bool ChooseSaveFile(std::string& fileName) override { return Choose(fileName); }
  bool Choose(std::string& fileName)
  {
    ++Chosen;
    fileName = File;
    return !File.empty();
  }
  std::string File;
  int Chosen = 0;
};

class PatternsEditorTest : public ::testing::Test {
protected:
  PatternsEditorTest() { InitProgramState(); }
  TPatternsEditModel Model(Strings lines, bool modified)
  {
    TPatternsEditModel m(std::move(lines), 0, 0);
    m.SetView(&view_);
    m.Modified = modified;
    return m;
  }
  testsupport::ScratchFolder dir_;
  testsupport::FakeDialogs dialogs_;
  FakeEditView view_;
};

TEST_F(PatternsEditorTest, ListOffsetsBecomeMemoPositions)
{
  // Against the list's own text with CR LF breaks: the character at each
  // offset is the memo's character at the mapped position.
  std::mt19937 rng(3);
  for (int round = 0; round < 200; ++round) {
    Strings lines(rng() % 5);
    for (std::string& line : lines)
      for (int n = int(rng() % 4); n > 0; --n)
        line += char('a' + rng() % 26);
    std::string crlf;
    for (const std::string& line : lines)
      crlf += line + "\r\n";
    const std::string memo = PatternsMemoText(lines);
    if (lines.empty() || !lines.back().empty())
      ASSERT_EQ(PatternsMemoLines(memo), lines);
    for (size_t offset = 0; offset < crlf.size(); ++offset)
      if (crlf[offset] != '\r' && crlf[offset] != '\n')
        ASSERT_EQ(memo[size_t(MemoPosition(lines, int32_t(offset)))], crlf[offset]) << offset;
  }
  EXPECT_EQ(PatternsMemoLines("a\n\nb\n"), (Strings{"a", "", "b"}));  // no line after the last break
  const TPatternsEditModel m({"abc", "defg"}, 7, 1);
  EXPECT_EQ(m.SelStart, 6);
  EXPECT_EQ(m.SelLength, 1);
}

TEST_F(PatternsEditorTest, ADoubleByteCharacterIsOneMemoPosition)
{
  SetTextLanguage(0x411);  // Japanese, code page 932
  BuildCharTables();
  // "表示, 病院@" and "x": list offset -> memo position.
  const Strings lines = {"\x95\x5c\x8e\xa6, \x95\x61\x89\x40@", "x"};
  const std::pair<int32_t, int32_t> cases[] = {{0, 0}, {2, 1}, {4, 2}, {6, 4}, {10, 6}, {11, 7}, {13, 8}, {14, 9}};
  for (const auto& [offset, position] : cases)
    EXPECT_EQ(MemoPosition(lines, offset), position) << offset;
  const TPatternsEditModel m(lines, 6, 5);  // the piece "病院@"
  EXPECT_EQ(std::make_pair(m.SelStart, m.SelLength), std::make_pair(4, 3));
  SetTextLanguage(0x409);
  BuildCharTables();
  EXPECT_EQ(MemoPosition(lines, 13), 12);
}

TEST_F(PatternsEditorTest, BlankListsAreRefused)
{
  for (const Strings& lines : {Strings{}, Strings{"", "  ", " "}}) {
    TPatternsEditModel m = Model(lines, true);
    EXPECT_FALSE(m.OKBtnClick());
  }
  ASSERT_EQ(dialogs_.Messages.size(), 2u);
  EXPECT_EQ(dialogs_.Messages[1].Text, "This is an empty patterns list.");
  EXPECT_TRUE(Model({" x"}, false).OKBtnClick());
}

TEST_F(PatternsEditorTest, CancelAsksOnlyForModifiedText)
{
  EXPECT_TRUE(Model({"a"}, false).CanCancel());
  EXPECT_TRUE(dialogs_.Messages.empty());
  dialogs_.Answers = {mrNo, mrYes};
  TPatternsEditModel m = Model({"a"}, true);
  EXPECT_FALSE(m.CanCancel());
  EXPECT_TRUE(m.CanCancel());
  ASSERT_EQ(dialogs_.Messages.size(), 2u);
  EXPECT_EQ(dialogs_.Messages[0].Text, "Patterns modified. Abandon changes?");
}

TEST_F(PatternsEditorTest, LoadAsksFirstReadsEveryLineEndAndRestoresOnFailure)
{
  view_.File = dir_.write("p.txt", "one\r\ntwo\nthree\rfour\r\n\r\n");
  TPatternsEditModel m = Model({"mine"}, true);
  dialogs_.Answers = {mrNo};
  EXPECT_FALSE(m.LoadBtnClick());
  EXPECT_EQ(view_.Chosen, 0);
  dialogs_.Answers = {mrYes};
  EXPECT_TRUE(m.LoadBtnClick());
  EXPECT_EQ(m.Lines, (Strings{"one", "two", "three", "four", ""}));
  EXPECT_TRUE(m.Modified);

  TPatternsEditModel kept = Model({"mine"}, false);
  view_.File = dir_.file("missing.txt");
  EXPECT_FALSE(kept.LoadBtnClick());
  EXPECT_EQ(kept.Lines, Strings{"mine"});
  EXPECT_FALSE(kept.Modified);
  EXPECT_EQ(dialogs_.Messages.back().Text, "Unable to open file: " + view_.File + ".");
}

TEST_F(PatternsEditorTest, SaveWritesCrLfAndReportsFailures)
{
  const Strings lines = {"a,b", "", "c d"};
  TPatternsEditModel m = Model(lines, true);
  view_.File = dir_.file("out.txt");
  m.SaveBtnClick();
  EXPECT_EQ(readFile(view_.File), "a,b\r\n\r\nc d\r\n");
  EXPECT_EQ(LoadPatternsFile(view_.File), lines);
  EXPECT_TRUE(m.Modified);
  EXPECT_TRUE(dialogs_.Messages.empty());

  const std::pair<std::string, std::string> failures[] = {
      {"/dev/full", "Unable to write file: /dev/full"},
      {dir_.file("no/such/p.txt"), "Unable to open file: " + dir_.file("no/such/p.txt") + "."}};
  for (const auto& [file, message] : failures) {
    view_.File = file;
    m.SaveBtnClick();
    ASSERT_FALSE(dialogs_.Messages.empty());
    EXPECT_EQ(dialogs_.Messages.back().Kind, mtError);
    EXPECT_EQ(dialogs_.Messages.back().Text.substr(0, message.size()), message);
    EXPECT_EQ(m.Lines, lines);
    EXPECT_TRUE(m.Modified);
    EXPECT_EQ(m.ActiveControl, "PatternsMemo");
  }
}

TEST_F(PatternsEditorTest, EditPatternsReturnsTheMemoOnlyOnOk)
{
  Strings list = {"x"};
  EXPECT_FALSE(EditPatterns(list, 0, 0));  // no editor installed
  for (const bool ok : {false, true}) {
    SetPatternsEditor([ok](TPatternsEditModel& m) {
      m.Lines = {"y", ""};
      return ok;
    });
    EXPECT_EQ(EditPatterns(list, 0, 1), ok);
    EXPECT_EQ(list, ok ? (Strings{"y", ""}) : Strings{"x"});
  }
  SetPatternsEditor({});
}

}  // namespace

TEST(PatternsFileTest, OnlyARegularFileIsRead)
{
  // A FIFO nobody writes to and an endless device are refused at once.
  testsupport::ScratchFolder dir;
  const std::string fifo = dir.file("patterns.txt");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& name : {fifo, std::string("/dev/zero")}) {
    try {
      LoadPatternsFile(name);
      ADD_FAILURE() << name;
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()), "Unable to open file: " + name + ".");
    }
  }
}
