#include "workbench/dialogs/context_options_form.h"
#include "workbench/dialogs/tag_info_form.h"

#include "foundation/dialogs.h"
#include "foundation/program_state.h"
#include "workbench/dialogs/edit_helpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "workbench/dialogs/word_list_test_support.h"

namespace {

using wordlisttest::Items;
using wordlisttest::NoFiles;
using wordlisttest::ScriptedDialogs;

class ContextFormsTest : public ::testing::Test {
protected:
  ContextFormsTest()
  {
    InitProgramState();
    InitSharedState();
  }
  ~ContextFormsTest() override { InitSharedState(); }

  ScriptedDialogs dialogs_;
  NoFiles files_;
};

TEST_F(ContextFormsTest, ContextOptionsFollowTheSelectedType)
{
  TContextRecord record{1, {40, 8, 3, 1}, 42};
  TContextOptionsForm form(record);
  form.show();
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Context Options"));
  EXPECT_EQ(form.ContextTypeCombo->currentText(), QStringLiteral("Words"));
  EXPECT_EQ(form.ContextSizeUpDown->Edit()->text(), QStringLiteral("8"));
  EXPECT_EQ(form.ContextSizeUpDown->Max(), 40);
  EXPECT_EQ(form.ContextSizeUpDown->Edit()->maxLength(), 5);
  EXPECT_FALSE(form.FullSentOpts->isVisible());

  // A size typed and then abandoned by a type change is dropped.
  form.ContextSizeUpDown->Edit()->setText(QStringLiteral("30"));
  form.ContextTypeCombo->activated(3);
  EXPECT_TRUE(form.FullSentOpts->isVisible());
  EXPECT_FALSE(form.ContextSizeUpDown->isVisible());
  EXPECT_FALSE(form.ContextCharsLabel->isVisible());
  form.ContextTypeCombo->setCurrentIndex(2);
  form.ContextTypeCombo->activated(2);
  EXPECT_EQ(form.ContextSizeUpDown->Edit()->text(), QStringLiteral("3"));
  QTest::mouseClick(form.ContextSizeUpDown->findChild<QWidget*>(QStringLiteral("Up")), Qt::LeftButton);
  EXPECT_EQ(form.ContextSizeUpDown->Edit()->text(), QStringLiteral("10"));  // step 10, kept in range
  form.ContextSizeUpDown->Edit()->setText(QStringLiteral("7"));
  QTest::mouseClick(form.OKButton, Qt::LeftButton);
  EXPECT_EQ(form.result(), QDialog::Accepted);
  EXPECT_EQ(form.Record(), (TContextRecord{2, {40, 8, 7, 1}, 42}));
}

TEST_F(ContextFormsTest, SentenceOptionsForm)
{
  SentDelimiters = ".!?";
  SmartAbbrDetect = false;
  TSentCfgDlg dlg(&files_);
  EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Show Full Sentence Options"));
  EXPECT_EQ(dlg.DelimitersEdit->text(), QStringLiteral(".!?"));
  EXPECT_TRUE(dlg.ExcEditBtn->isEnabled());
  dlg.SmartAbbrCB->setChecked(true);
  EXPECT_FALSE(dlg.ExcEditBtn->isEnabled());
  dlg.SmartAbbrCB->setChecked(false);

  // The exceptions list opens on the settings' words; its changes stand even
  // when this dialog is cancelled.
  SentDelimitersExcepts = {"etc"};
  QObject::connect(&dlg, &TSentCfgDlg::ExceptionsOpening, [this](QDialog* exceptions) {
    auto* list = exceptions->findChild<QListWidget*>(QStringLiteral("WordList"));
    EXPECT_EQ(Items(list), QStringList{"etc"});
    dialogs_.inputs = {"Vs."};
    QTimer::singleShot(0, exceptions, [exceptions] {
      QTest::mouseClick(exceptions->findChild<QPushButton*>(QStringLiteral("AddButton")), Qt::LeftButton);
      exceptions->accept();
    });
  });
  QTest::mouseClick(dlg.ExcEditBtn, Qt::LeftButton);
  EXPECT_EQ(SentDelimitersExcepts, (std::vector<std::string>{"etc", "vs"}));

  dlg.DelimitersEdit->setText(QStringLiteral(". ; !"));
  QTest::mouseClick(dlg.CancelBtn, Qt::LeftButton);
  EXPECT_EQ(SentDelimiters, ".!?");
  dlg.SmartAbbrCB->setChecked(true);
  QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
  EXPECT_EQ(SentDelimiters, ".;!");
  EXPECT_TRUE(SmartAbbrDetect);
  EXPECT_EQ(SentDelimitersExcepts, (std::vector<std::string>{"etc", "vs"}));
}

TEST_F(ContextFormsTest, ExceptionsListButtonsAndCancel)
{
  SentDelimitersExcepts = {"vs", "etc"};
  TViewSentExceptsDlg dlg(&files_);
  dlg.show();
  EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Sentence Delimiters Exceptions List"));
  EXPECT_EQ(dlg.Title->text(), QStringLiteral("Words in file:"));
  EXPECT_EQ(dlg.CloseButton->text(), QStringLiteral("C&ancel"));
  EXPECT_EQ(Items(dlg.WordList), (QStringList{"etc", "vs"}));
  EXPECT_FALSE(dlg.RemoveButton->isEnabled());
  EXPECT_TRUE(dlg.SaveButton->isEnabled());

  dlg.WordList->item(0)->setSelected(true);
  EXPECT_TRUE(dlg.RemoveButton->isEnabled());
  QTest::mouseClick(dlg.RemoveButton, Qt::LeftButton);
  EXPECT_EQ(Items(dlg.WordList), QStringList{"vs"});
  EXPECT_TRUE(dlg.WordList->item(0)->isSelected());
  dialogs_.inputs = {"Ibid"};
  QTest::mouseClick(dlg.AddButton, Qt::LeftButton);
  EXPECT_EQ(Items(dlg.WordList), (QStringList{"ibid", "vs"}));

  // Declined: the dialog stays open with the changes.
  dialogs_.answers = {false};
  QTest::mouseClick(dlg.CloseButton, Qt::LeftButton);
  EXPECT_TRUE(dlg.isVisible());
  EXPECT_EQ(SentDelimitersExcepts, (std::vector<std::string>{"vs", "ibid"}));
  // Confirmed: the list of the opening comes back, although message and
  // input boxes were shown in between.
  dialogs_.answers = {true};
  QTest::keyClick(&dlg, Qt::Key_Escape);
  EXPECT_FALSE(dlg.isVisible());
  EXPECT_EQ(SentDelimitersExcepts, (std::vector<std::string>{"vs", "etc"}));
  EXPECT_EQ(dialogs_.messages.size(), 2u);
}

TEST_F(ContextFormsTest, HitInformationForm)
{
  THitInfo info;
  info.Match = "the \xE9lan";
  info.FileName = "/corpus/a.txt";
  info.AbsLine = "12";
  info.Page = "N/A";
  info.LineInPage = "N/A";
  info.Tags = {{"Speaker", "<sp Ann>"}, {"<div", "N/A"}};
  ConcordSettings.HiliteFont = TFontRec{"DejaVu Sans", 14, fsBold, 0xFF0000, 1};
  ConcordSettings.NormalFont = TFontRec{"DejaVu Sans", 7, 0, 0, 1};
  TTagInfoForm form(info);
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Info"));
  EXPECT_EQ(form.MatchLabel->text(), QString::fromUtf8("the élan"));
  EXPECT_EQ(form.MatchLabel->font().pointSize(), 14);
  EXPECT_EQ(form.MatchLabel->palette().color(QPalette::WindowText), QColor(0, 0, 255));
  EXPECT_EQ(form.FilenameLabel->text(), QStringLiteral("/corpus/a.txt"));
  EXPECT_EQ(form.AbsLineLabel->text(), QStringLiteral("12"));
  EXPECT_EQ(form.PageLabel->text(), QStringLiteral("N/A"));
  EXPECT_EQ(form.RelLineLabel->text(), QStringLiteral("N/A"));
  EXPECT_EQ(form.Grid->font().pointSize(), 7);
  ASSERT_EQ(form.Grid->rowCount(), 2);
  EXPECT_EQ(form.Grid->columnWidth(0), 90);
  EXPECT_EQ(form.Grid->columnWidth(1), 270);
  EXPECT_EQ(form.Grid->verticalHeader()->defaultSectionSize(), 18);
  EXPECT_EQ(form.Grid->horizontalHeaderItem(0)->text(), QStringLiteral("Name"));
  EXPECT_EQ(form.Grid->horizontalHeaderItem(1)->text(), QStringLiteral("Value"));
  EXPECT_EQ(form.Grid->item(0, 1)->text(), QStringLiteral("<sp Ann>"));
  EXPECT_EQ(form.Grid->item(1, 0)->text(), QStringLiteral("<div"));
  EXPECT_EQ(form.size(), QSize(394, 348));
  QTest::mouseClick(form.CloseBtn, Qt::LeftButton);
  EXPECT_EQ(form.result(), QDialog::Rejected);
}

}  // namespace
