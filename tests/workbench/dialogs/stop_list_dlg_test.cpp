#include "workbench/dialogs/stop_list_dlg.h"

#include "foundation/dialogs.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include "workbench/dialogs/word_list_test_support.h"

namespace {

using wordlisttest::NoFiles;
using wordlisttest::ScriptedDialogs;

class StopListDlgTest : public ::testing::Test {
protected:
  StopListDlgTest()
  {
    InitProgramState();
    ConcordSettings.NonWordChars = ",;";
    FrequencySettings.IgnoreCase = true;
  }

  QStringList Items() const { return wordlisttest::Items(dlg_.WordList); }

  ScriptedDialogs dialogs_;
  TStopList list_;
  NoFiles files_;
  TViewStopListDlg dlg_{list_, &files_};
};

}  // namespace

TEST_F(StopListDlgTest, ShowsTheSortedWordsAndEnablesRemoveAndClear)
{
  list_.FileName = "/some/folder/stop.txt";
  list_.SetWords({"zeta", "\xC9t\xE9", "Alpha"});
  dlg_.show();
  EXPECT_EQ(Items(), (QStringList{"Alpha", QString::fromUtf8("Été"), "zeta"}));
  EXPECT_EQ(dlg_.FileNameLabel->text(), QStringLiteral("stop.txt"));
  EXPECT_FALSE(dlg_.RemoveButton->isEnabled());
  EXPECT_TRUE(dlg_.ClearButton->isEnabled());

  dlg_.WordList->item(2)->setSelected(true);
  EXPECT_TRUE(dlg_.RemoveButton->isEnabled());
  QTest::mouseClick(dlg_.RemoveButton, Qt::LeftButton);
  EXPECT_EQ(Items(), (QStringList{"Alpha", QString::fromUtf8("Été")}));
  EXPECT_FALSE(dlg_.RemoveButton->isEnabled());

  dialogs_.answers = {true};
  QTest::mouseClick(dlg_.ClearButton, Qt::LeftButton);
  EXPECT_EQ(dlg_.WordList->count(), 0);
  EXPECT_FALSE(dlg_.ClearButton->isEnabled());

  dialogs_.answers = {true};  // keep the changes
  QTest::mouseClick(dlg_.CloseButton, Qt::LeftButton);
  EXPECT_FALSE(dlg_.isVisible());
  EXPECT_TRUE(list_.Words().empty());
}

TEST_F(StopListDlgTest, AddThenCloseWithCancelRestoresTheWords)
{
  list_.SetWords({"the"});
  list_.SetActive(true);
  dlg_.show();
  dialogs_.inputs = {"a, b;THE"};
  QTest::mouseClick(dlg_.AddButton, Qt::LeftButton);
  EXPECT_EQ(Items(), (QStringList{"a", "b", "the"}));
  EXPECT_EQ(list_.Words(), (std::vector<std::string>{"the", "a", "b"}));

  dialogs_.answers = {false};  // "Save changes?" answered with Cancel
  dlg_.reject();
  EXPECT_EQ(dialogs_.messages, (std::vector<std::string>{"Save changes?"}));
  EXPECT_EQ(list_.Words(), (std::vector<std::string>{"the"}));
  EXPECT_TRUE(list_.Active());

}

TEST_F(StopListDlgTest, TheDialogFontReachesTheWordList)
{
  SetDialogFont(TFontRec{"Serif", 15, fsBold, 0x0000FF, 0});
  EXPECT_EQ(dlg_.WordList->font().pointSize(), 15);
  EXPECT_TRUE(dlg_.WordList->font().bold());
  EXPECT_EQ(dlg_.WordList->palette().color(QPalette::Text), QColor(255, 0, 0));
  EXPECT_EQ(dlg_.Model().TextFont().Size, 15);
}
