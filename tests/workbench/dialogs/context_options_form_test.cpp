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
#include <QTableWidget>
#include <QListWidget>
#include <QPushButton>
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
  EXPECT_EQ(form.ContextTypeCombo->currentText(), QStringLiteral("Words"));
  EXPECT_EQ(form.ContextSizeUpDown->Edit()->text(), QStringLiteral("8"));
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

TEST_F(ContextFormsTest, ExceptionsListButtonsReachTheModel)
{
  SentDelimitersExcepts = {"vs", "etc"};
  TViewSentExceptsDlg dlg(&files_);
  dlg.show();
  EXPECT_EQ(Items(dlg.WordList), (QStringList{"etc", "vs"}));
  EXPECT_FALSE(dlg.RemoveButton->isEnabled());
  dlg.WordList->item(0)->setSelected(true);
  EXPECT_TRUE(dlg.RemoveButton->isEnabled());
  QTest::mouseClick(dlg.RemoveButton, Qt::LeftButton);
  EXPECT_EQ(Items(dlg.WordList), QStringList{"vs"});
  // Escape asks, as Cancel does, and the list of the opening comes back.
  dialogs_.answers = {true};
  QTest::keyClick(&dlg, Qt::Key_Escape);
  EXPECT_FALSE(dlg.isVisible());
  EXPECT_EQ(SentDelimitersExcepts, (std::vector<std::string>{"vs", "etc"}));
}

TEST_F(ContextFormsTest, HitInformationForm)
{
  THitInfo info;
  info.Match = "the \xE9lan";
  info.FileName = "/corpus/a.txt";
  info.Tags = {{"Speaker", "<sp Ann>"}, {"<div", "N/A"}};
  ConcordSettings.HiliteFont = TFontRec{"DejaVu Sans", 14, fsBold, 0xFF0000, 1};
  ConcordSettings.NormalFont = TFontRec{"DejaVu Sans", 7, 0, 0, 1};
  TTagInfoForm form(info);
  EXPECT_EQ(form.MatchLabel->text(), QString::fromUtf8("the élan"));
  EXPECT_EQ(form.MatchLabel->font().pointSize(), 14);
  EXPECT_EQ(form.MatchLabel->palette().color(QPalette::WindowText), QColor(0, 0, 255));
  EXPECT_EQ(form.FilenameLabel->text(), QStringLiteral("/corpus/a.txt"));
  ASSERT_EQ(form.Grid->rowCount(), 2);
  EXPECT_EQ(form.Grid->item(0, 1)->text(), QStringLiteral("<sp Ann>"));
  EXPECT_EQ(form.Grid->item(1, 0)->text(), QStringLiteral("<div"));
  QTest::mouseClick(form.CloseBtn, Qt::LeftButton);
  EXPECT_EQ(form.result(), QDialog::Rejected);
}

}  // namespace
