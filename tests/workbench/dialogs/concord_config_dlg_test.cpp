#include "workbench/dialogs/concord_config_dlg.h"
#include "workbench/dialogs/patterns_edit_form.h"
#include "workbench/dialogs/search_template_dlg.h"

#include "foundation/dialogs.h"
#include "foundation/settings.h"
#include "search/search_defaults.h"
#include "support/fake_bridge.h"
#include "support/scratch_folder.h"
#include "workbench/dialogs/edit_helpers.h"
#include "workbench/dialogs/modal_steps.h"
#include "workbench/frame/frame_dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <deque>

using testsupport::WhenModal;

namespace {

class QueuedFiles : public TFileDialogProvider {
public:
  QueuedFiles() : previous_(SetFileDialogProvider(this)) {}
  ~QueuedFiles() override { SetFileDialogProvider(previous_); }
  bool ExecuteFileDialog(TFileDialog& dialog) override
  {
    Titles.push_back(dialog.Title);
    if (Answers.empty())
      return false;
    dialog.FileName = Answers.front();
    Answers.pop_front();
    return true;
  }
  bool ExecutePrinterSetup() override { return false; }
  std::deque<std::string> Answers;
  std::vector<std::string> Titles;

private:
  TFileDialogProvider* previous_;
};

class ConcordConfigDlgTest : public ::testing::Test {
protected:
  ConcordConfigDlgTest()
  {
    InitProgramState();
    ApplySearchParameterDefaults();
    BigContextSize = 10;
    InstallPatternsEditor();
  }
  ~ConcordConfigDlgTest() override { SetPatternsEditor({}); }
  testsupport::FakeDialogs dialogs_;
  testsupport::RecordingFrameSink frame_;
  TConcordConfigDlg dlg_;
};

TEST_F(ConcordConfigDlgTest, AUserSetsTheParametersAndOkStoresThem)
{
  WhenModal([this](QWidget*) {
    EXPECT_TRUE(dlg_.MaxSearchHitsEdit->hasFocus());
    EXPECT_FALSE(dlg_.ContextTypeCombo->isEnabled());
    EXPECT_FALSE(dlg_.LabelEOLN->isVisible());
    dlg_.MaxSearchHitsEdit->clear();
    QTest::keyClicks(dlg_.MaxSearchHitsEdit, "1x2");
    EXPECT_EQ(dlg_.MaxSearchHitsEdit->text(), "12");
    dlg_.WordMatchLoUpDown->Edit()->selectAll();
    QTest::keyClicks(dlg_.WordMatchLoUpDown->Edit(), "7");
    EXPECT_EQ(dlg_.WordMatchHiUpDown->Edit()->text(), "7");
    dlg_.ContextWindowSizeCombo->setCurrentIndex(2);
    dlg_.SkippingBox->setFocus();
    dlg_.SkippingBox->setEditText(" -_ ");
    dlg_.OKBtn->setFocus();  // leaving the box trims it into its history
    EXPECT_EQ(dlg_.SkippingBox->itemText(0), "-_");
    QTest::mouseClick(dlg_.OKBtn, Qt::LeftButton);
  });
  EXPECT_EQ(ExecuteSearchParameters(false), mrOk);
  EXPECT_EQ(std::make_tuple(ConcordSettings.MaximumHits, ConcordSettings.MatchWordsLo, ConcordSettings.MatchWordsHi,
                            ConcordSettings.SkippingChars, BigContextSize),
            std::make_tuple(12, 7, 7, std::string("-_"), 30));
  EXPECT_EQ(frame_.Calls, std::vector<std::string>{"refreshConcordances"});

  // The type change shows the sentence options instead of the size; Cancel
  // keeps the settings.
  WhenModal([this](QWidget*) {
    EXPECT_TRUE(dlg_.ContextTypeCombo->isEnabled());
    dlg_.ContextTypeCombo->setCurrentIndex(3);
    EXPECT_TRUE(dlg_.FullSentOpts->isVisible());
    EXPECT_FALSE(dlg_.ContextSizeUpDown->isVisible());
    dlg_.Char0orMore->setText("+");
    QTest::mouseClick(dlg_.Revert, Qt::LeftButton);  // the special characters only
    EXPECT_EQ(dlg_.SkippingBox->currentText(), "-=");
    EXPECT_EQ(dlg_.WordMatchLoUpDown->Edit()->text() + dlg_.WordMatchHiUpDown->Edit()->text(), "25");
    EXPECT_EQ(dlg_.Char0orMore->text() + dlg_.MaxSearchHitsEdit->text(), "+12");
    QTest::mouseClick(dlg_.CancelBtn, Qt::LeftButton);
  });
  EXPECT_EQ(ExecuteSearchParameters(true), mrCancel);
  EXPECT_EQ(ConcordSettings.ContextType, 0);
  EXPECT_EQ(ConcordSettings.SkippingChars, "-_");
}

TEST_F(ConcordConfigDlgTest, TextTheCodePageCannotHoldIsRefused)
{
  WhenModal([this](QWidget* modal) {
    dlg_.WordCharBox->setEditText(QString::fromUtf8(".,\u0436"));
    QTest::mouseClick(dlg_.OKBtn, Qt::LeftButton);
    EXPECT_TRUE(modal->isVisible());
    EXPECT_TRUE(dlg_.WordCharBox->hasFocus());
  });
  EXPECT_EQ(ExecuteSearchParameters(true), mrCancel);
  ASSERT_EQ(dialogs_.Messages.size(), 1u);
  EXPECT_NE(dialogs_.Messages[0].Text.find("cannot represent"), std::string::npos);
  EXPECT_EQ(ConcordSettings.NonWordChars, DefaultNonWordChars);
}

TEST_F(ConcordConfigDlgTest, TheEditorSelectsLoadsAsksAndReturnsItsLines)
{
  testsupport::ScratchFolder dir;
  QueuedFiles files;
  files.Answers = {dir.file("missing.txt"), dir.write("p.txt", "x\r\ny\r\n")};
  std::vector<std::string> list = {"abc", "defg"};
  WhenModal([&](QWidget* modal) {
    auto* form = static_cast<TPatternsEditForm*>(modal);
    EXPECT_EQ(form->PatternsMemo->textCursor().selectedText(), "f");
    QTest::mouseClick(form->LoadBtn, Qt::LeftButton);  // the file is missing
    EXPECT_EQ(form->PatternsMemo->toPlainText(), "abc\ndefg");
    EXPECT_FALSE(form->PatternsMemo->document()->isModified());
    QTest::mouseClick(form->LoadBtn, Qt::LeftButton);
    EXPECT_EQ(form->PatternsMemo->toPlainText(), "x\ny");
    dialogs_.Answers = {mrNo};
    QTest::keyClick(form->PatternsMemo, Qt::Key_Escape);  // asks; No stays
    EXPECT_TRUE(form->isVisible());
    QTest::mouseClick(form->OKBtn, Qt::LeftButton);
  });
  EXPECT_TRUE(EditPatterns(list, 7, 1));
  EXPECT_EQ(list, (std::vector<std::string>{"x", "y"}));
  EXPECT_EQ(files.Titles.size(), 2u);
  EXPECT_EQ(dialogs_.Texts(), (std::vector<std::string>{"Unable to open file: " + dir.file("missing.txt") + ".",
                                               "Patterns modified. Abandon changes?"}));
}

TEST_F(ConcordConfigDlgTest, TheSearchDialogOpensBothDialogs)
{
  TQtSearchDialogServices services(nullptr);
  ASSERT_TRUE(services.HasSearchParameters());
  ASSERT_TRUE(services.HasPatternsEditor());
  std::vector<std::string> list;
  WhenModal([](QWidget* modal) {
    auto* form = static_cast<TPatternsEditForm*>(modal);
    QTest::mouseClick(form->OKBtn, Qt::LeftButton);  // blank: refused
    EXPECT_TRUE(form->isVisible());
    QTest::keyClicks(form->PatternsMemo, "dog");
    QTest::mouseClick(form->OKBtn, Qt::LeftButton);
  });
  EXPECT_TRUE(services.EditPatterns(list, 0, 0));
  EXPECT_EQ(list, std::vector<std::string>{"dog"});
  EXPECT_EQ(dialogs_.Texts(), std::vector<std::string>{"This is an empty patterns list."});
  WhenModal([](QWidget* modal) { EXPECT_EQ(modal->windowTitle(), "Set Search Parameters"); });
  EXPECT_EQ(services.ExecuteSearchParameters(true), mrCancel);
}

}  // namespace
