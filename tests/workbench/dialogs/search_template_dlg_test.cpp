#include "workbench/dialogs/search_template_dlg.h"

#include "foundation/dialogs.h"
#include "foundation/settings.h"
#include "search/search_defaults.h"
#include "workbench/output/output_config_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Records every message; no box is shown.
class RecordedMessages : public DialogService {
public:
  RecordedMessages() : previous_(SetDialogService(this)) {}
  ~RecordedMessages() override { SetDialogService(previous_); }
  int ShowMessageBox(const MessageBoxRequest& request) override
  {
    texts.push_back(request.Message);
    return mrOk;
  }
  bool QueryInput(std::string_view, std::string_view, const TFontRec&, std::string&) override { return false; }
  std::unique_ptr<ProgressDialog> CreateProgressForm(bool multiFile) override
  {
    return std::make_unique<ProgressDialog>(multiFile);
  }
  std::unique_ptr<DoubleProgressDialog> CreateDoubleProgressForm() override
  {
    return std::make_unique<DoubleProgressDialog>();
  }
  std::vector<std::string> texts;

private:
  DialogService* previous_;
};

class Services : public TQtSearchDialogServices {
public:
  Services() : TQtSearchDialogServices(nullptr) {}
  bool ChoosePatternsFile(std::string&) override { return false; }
};

class SearchTemplateDlgTest : public ::testing::Test {
protected:
  SearchTemplateDlgTest()
  {
    InitProgramState();
    ApplySearchParameterDefaults();
    ConcordSettings.IgnoreCase = true;
    ConcordanceActive = AppendSearch = BatchSearch = SaveSearchToFile = false;
    dlg_ = std::make_unique<TSearchTemplateDlg>(&services_);
  }
  // Runs `step` once the dialog is up (modal), then presses Cancel unless it
  // closed the dialog itself.
  bool Execute(bool advanced, std::function<void()> step, TSearchRec& request)
  {
    QTimer::singleShot(0, [this, step] {
      // Focus events need an active window.
      dlg_->activateWindow();
      (void)QTest::qWaitForWindowActive(dlg_.get(), 1000);
      step();
      if (dlg_->isVisible())
        dlg_->reject();
    });
    return ExecuteSearchDialog(request, advanced);
  }

  RecordedMessages messages_;
  Services services_;
  std::unique_ptr<TSearchTemplateDlg> dlg_;
};

TEST_F(SearchTemplateDlgTest, TypedPatternAndOkFillTheRequest)
{
  TSearchRec request;
  const bool ok = Execute(false, [this] {
    EXPECT_EQ(dlg_->windowTitle(), "Text Search");
    EXPECT_FALSE(dlg_->AdvancedPanel->isVisible());
    EXPECT_TRUE((dlg_->focusWidget() == dlg_->SearchString));
    QTest::keyClicks(dlg_->SearchString, "speak* to");
    QTest::mouseClick(dlg_->OKBtn, Qt::LeftButton);
  }, request);
  ASSERT_TRUE(ok);
  EXPECT_EQ(request.Patterns, std::vector<std::string>{"speak* to"});
  EXPECT_EQ(dlg_->SearchString->itemText(0), "speak* to");
}

TEST_F(SearchTemplateDlgTest, RefusalKeepsTheDialogOpenWithTheBoxFocused)
{
  TSearchRec request;
  EXPECT_FALSE(Execute(false, [this] {
    dlg_->AdvancedBtn->setFocus();
    dlg_->SearchString->setEditText("a@");
    QTest::mouseClick(dlg_->OKBtn, Qt::LeftButton);
    EXPECT_TRUE(dlg_->isVisible());
    EXPECT_TRUE((dlg_->focusWidget() == dlg_->SearchString));
  }, request));
  EXPECT_EQ(messages_.texts, std::vector<std::string>{"You cannot begin or end a search term with @"});
}

TEST_F(SearchTemplateDlgTest, LayoutAndBatchControlsFollowTheModel)
{
  TSearchRec request;
  Execute(false, [this] {
    const int simpleHeight = dlg_->height();
    QTest::mouseClick(dlg_->AdvancedBtn, Qt::LeftButton);
    EXPECT_TRUE(dlg_->AdvancedPanel->isVisible());
    EXPECT_GT(dlg_->height(), simpleHeight);
    QTest::mouseClick(dlg_->GrepRadio, Qt::LeftButton);
    EXPECT_TRUE(dlg_->Examples->text().contains("\\b"));
    // The model's enabling rules reach the widgets.
    QTest::mouseClick(dlg_->BatchSearchCheck, Qt::LeftButton);
    EXPECT_FALSE(dlg_->SearchString->isVisible());
    EXPECT_FALSE(dlg_->SaveOptionsBtn->isEnabled());
    QTest::mouseClick(dlg_->SaveToFileCheck, Qt::LeftButton);
    EXPECT_TRUE(SaveSearchToFile);
    EXPECT_TRUE(dlg_->SaveOptionsBtn->isEnabled());

    // Save Options edits the nine batch switches in the output options.
    SetOutputConfigRunner([](TOutputConfigDlg& d) {
      EXPECT_FALSE(d.MaxLinesEdit->isEnabled());
      d.AsHTMLCB->setChecked(true);
      d.ShowFileBox->setChecked(true);
      d.OKBtnClick();
      return int(QDialog::Accepted);
    });
    QTest::mouseClick(dlg_->SaveOptionsBtn, Qt::LeftButton);
    SetOutputConfigRunner({});
    EXPECT_TRUE(BatchOutputOptions.SaveAsHTML && BatchOutputOptions.ShowFileNames);
  }, request);
  BatchOutputOptions = TBatchOutputOptions{};
}

TEST_F(SearchTemplateDlgTest, LeavingTheBoxPutsItsTextOnTopOfTheHistory)
{
  dlg_->Model().TextHistory = {"one", "two"};
  TSearchRec request;
  Execute(false, [this] {
    EXPECT_EQ(dlg_->SearchString->count(), 2);
    dlg_->SearchString->setEditText("  two ");
    dlg_->SearchString->setFocus();
    dlg_->AdvancedBtn->setFocus();  // focus leaves the box
    QApplication::processEvents();
    EXPECT_EQ(dlg_->SearchString->itemText(0), "two");
    EXPECT_EQ(dlg_->SearchString->itemText(1), "one");
    EXPECT_EQ(dlg_->SearchString->currentText(), "two");
  }, request);
}

// What is typed runs, whatever the history holds: the box completes nothing,
// and one Enter accepts the dialog with the text shown.
struct TypedCase {
  std::vector<std::string> history;
  const char* typed;  // nullptr: Enter on the text the box opened with
  const char* runs;
};

class SearchBoxRunsWhatWasTyped : public SearchTemplateDlgTest,
                                  public ::testing::WithParamInterface<TypedCase> {};

TEST_P(SearchBoxRunsWhatWasTyped, OneEnterRunsTheTextShown)
{
  ConcordSettings.IgnoreCase = false;
  dlg_->Model().TextHistory = GetParam().history;
  TSearchRec request;
  const bool ok = Execute(false, [this] {
    QLineEdit* edit = dlg_->SearchString->lineEdit();
    if (GetParam().typed) {
      edit->selectAll();
      QTest::keyClicks(edit, QString::fromLatin1(GetParam().typed));
    }
    QTest::keyClick(edit, Qt::Key_Return);
  }, request);
  ASSERT_TRUE(ok);
  EXPECT_EQ(request.Patterns, std::vector<std::string>{GetParam().runs});
}

INSTANTIATE_TEST_SUITE_P(Histories, SearchBoxRunsWhatWasTyped,
                         ::testing::Values(TypedCase{{"love"}, "Love", "Love"},
                                           TypedCase{{"love thy neighbour"}, "Love", "Love"},
                                           TypedCase{{"lovely", "love"}, "lov", "lov"},
                                           TypedCase{{"love"}, nullptr, "love"}));

TEST_F(SearchTemplateDlgTest, TextTheCodePageCannotHoldIsRefusedAndNotRemembered)
{
  dlg_->Model().TextHistory = {"love"};
  TSearchRec request;
  EXPECT_FALSE(Execute(false, [this] {
    dlg_->SearchString->setEditText(QString::fromUtf8("\u043B\u044E\u0431\u043E\u0432\u044C"));
    dlg_->AdvancedBtn->setFocus();  // leaving the box remembers nothing
    QTest::mouseClick(dlg_->OKBtn, Qt::LeftButton);
    EXPECT_TRUE(dlg_->isVisible());
    EXPECT_TRUE((dlg_->focusWidget() == dlg_->SearchString));
    EXPECT_EQ(dlg_->SearchString->currentText().size(), 6);
    EXPECT_EQ(dlg_->SearchString->count(), 1);
  }, request));
  EXPECT_EQ(messages_.texts, std::vector<std::string>{
                                 "The text contains characters that the current language cannot represent: "
                                 "U+043B U+044E U+0431 U+043E U+0432 U+044C."});
  EXPECT_EQ(dlg_->Model().TextHistory, std::vector<std::string>{"love"});
}

}  // namespace
