#include "workbench/dialogs/edit_helpers.h"
#include "workbench/dialogs/input_form.h"
#include "workbench/dialogs/message_form.h"
#include "workbench/dialogs/progress_form.h"
#include "workbench/dialogs/qt_dialogs.h"
#include "workbench/frame/qt_text.h"
#include "workbench/frame/qt_ui_bridge.h"
#include "workbench/frame/window_look.h"

#include <QCursor>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace {

// Acts on the modal dialog once it is up, so that exec() never blocks a test.
template <typename Dialog, typename Fn>
void whenModal(Fn fn)
{
  QTimer::singleShot(0, [fn] {
    auto* d = qobject_cast<Dialog*>(QApplication::activeModalWidget());
    ASSERT_NE(d, nullptr);
    fn(d);
  });
}

std::vector<QString> buttonNamesLeftToRight(const TMessageForm& form)
{
  std::vector<QPushButton*> buttons;
  for (int b = 0; b < MessageButtonCount; ++b)
    if (QPushButton* p = form.Button(TMsgDlgBtn(b)))
      buttons.push_back(p);
  std::sort(buttons.begin(), buttons.end(), [](auto* a, auto* b) { return a->x() < b->x(); });
  std::vector<QString> names;
  for (auto* b : buttons)
    names.push_back(b->objectName());
  return names;
}

}  // namespace

// --- message box ------------------------------------------------------------------

TEST(MessageFormTest, DefaultAndEscapeButtonsFollowTheButtonSet)
{
  // Yes/No/Cancel: Yes is the default, the focus on the asked button, Escape
  // gives Cancel; Abort/Retry/Ignore: Retry is the default, Escape Abort.
  auto form = CreateMessageForm("Save the changes?", mtConfirmation, Btn(mbYes) | Btn(mbNo) | Btn(mbCancel), mbNo);
  EXPECT_EQ(buttonNamesLeftToRight(*form), (std::vector<QString>{"Yes", "No", "Cancel"}));
  EXPECT_TRUE(form->Button(mbYes)->isDefault());
  EXPECT_EQ(form->focusWidget(), form->Button(mbNo));
  form->show();
  form->reject();  // Escape
  EXPECT_EQ(form->result(), mrCancel);
  EXPECT_FALSE(form->isVisible());

  auto error = CreateMessageForm("Disk error", mtError, Btn(mbAbort) | Btn(mbRetry) | Btn(mbIgnore), mbRetry);
  EXPECT_TRUE(error->Button(mbRetry)->isDefault());
  error->show();
  error->reject();
  EXPECT_EQ(error->result(), mrAbort);
}

TEST(MessageFormTest, TheUnderlinedLetterAlonePressesItsButton)
{
  const struct {
    Qt::Key key;
    Qt::KeyboardModifiers mods;
    int result;  // mrNone: the box stays open
  } cases[] = {{Qt::Key_Y, Qt::NoModifier, mrYes}, {Qt::Key_N, Qt::ShiftModifier, mrNo},
               {Qt::Key_C, Qt::NoModifier, mrNone},  // "Cancel" has no underlined letter
               {Qt::Key_X, Qt::NoModifier, mrNone}, {Qt::Key_Y, Qt::ControlModifier, mrNone}};
  for (const auto& c : cases) {
    auto form = CreateMessageForm("Save?", mtConfirmation, Btn(mbYes) | Btn(mbNo) | Btn(mbCancel), mbNo);
    form->show();
    QTest::keyClick(form->focusWidget(), c.key, c.mods);
    EXPECT_EQ(form->isVisible(), c.result == mrNone) << c.key;
    if (c.result != mrNone)
      EXPECT_EQ(form->result(), c.result) << c.key;
  }
}

TEST(MessageFormTest, HelpOpensTheHelpAndKeepsTheBoxOpen)
{
  int opened = -1;
  SetHelpHook([&](int context) { opened = context; });
  auto form = CreateMessageForm("Hmm", mtInformation, Btn(mbOK) | Btn(mbHelp), mbOK);
  form->SetHelpContext(77);
  form->show();
  form->Button(mbHelp)->click();
  EXPECT_EQ(opened, 77);
  EXPECT_TRUE(form->isVisible());
  form->Button(mbOK)->click();
  EXPECT_EQ(form->result(), mrOk);
  EXPECT_FALSE(form->isVisible());
  SetHelpHook(nullptr);
}

TEST(MessageFormTest, LongMessagesWrapWithinHalfTheScreenAndShowAsPlainText)
{
  const int halfScreen = QGuiApplication::primaryScreen()->geometry().width() / 2;
  std::string longText;
  for (int i = 0; i < 60; ++i)
    longText += "Unable to open file: <corpus" + std::to_string(i) + ">. ";
  auto form = CreateMessageForm(longText, mtError, Btn(mbOK), mbOK);
  EXPECT_LE(form->MessageLabel()->width(), halfScreen);
  EXPECT_EQ(form->MessageLabel()->textFormat(), Qt::PlainText);
  EXPECT_EQ(form->MessageLabel()->text(), ToQString(longText));
}

TEST(MessageFormTest, ShowMessageBoxRunsModallyWithTheNormalCursor)
{
  QtDialogService service;
  service.install();
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  Qt::CursorShape during = Qt::BlankCursor;
  whenModal<TMessageForm>([&](TMessageForm* f) {
    during = QGuiApplication::overrideCursor()->shape();
    f->Button(mbNo)->click();
  });
  EXPECT_FALSE(ConfirmYesNo("Remove it?", true));
  EXPECT_EQ(during, Qt::ArrowCursor);
  ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
  QGuiApplication::restoreOverrideCursor();
}

// --- input --------------------------------------------------------------------------

TEST(InputFormTest, QueryInputGivesTheTextBackOnCancelToo)
{
  QtDialogService service;
  service.install();
  QString caption, prompt, startText;
  whenModal<TIForm>([&](TIForm* f) {
    caption = f->windowTitle();
    prompt = f->PromptLabel->text();
    startText = f->EditBox->text();
    EXPECT_EQ(f->OkBtn->text(), "Ok");
    f->EditBox->setText(QStringLiteral("caf\u00E9"));
    f->CancelBtn->click();
  });
  std::string text = "old";
  EXPECT_FALSE(QueryInput("Add to Stop List", "Enter word(s) to add to stop list:", TFontRec{}, text));
  EXPECT_EQ(caption, "Add to Stop List");
  EXPECT_EQ(prompt, "Enter word(s) to add to stop list:");
  EXPECT_EQ(startText, "");
  EXPECT_EQ(text, "caf\xE9");

  whenModal<TIForm>([](TIForm* f) {
    f->EditBox->setText(QStringLiteral("the"));
    f->OkBtn->click();
  });
  EXPECT_TRUE(QueryInput("c", "p", TFontRec{}, text));
  EXPECT_EQ(text, "the");
}

// --- progress -----------------------------------------------------------------------

TEST(ProgressFormTest, ButtonsOnlySetTheTag)
{
  QtDialogService service;
  service.install();
  auto multi = CreateProgressForm(true);
  auto* form = dynamic_cast<TProgressForm*>(multi.get());
  ASSERT_NE(form, nullptr);
  multi->SetCaption("Collecting tag information");
  multi->SetProgressLabel("corpus.txt");
  multi->SetMaxValue(200);
  multi->SetProgress(50);
  multi->Show();
  EXPECT_TRUE(form->isVisible());
  EXPECT_FALSE(form->isModal());
  EXPECT_EQ(form->ProgressBar->value(), 25);
  EXPECT_TRUE(form->Cancel1Btn->isVisible());
  EXPECT_TRUE(form->CancelAllBtn->isVisible());
  EXPECT_FALSE(form->CancelBtn->isVisible());
  EXPECT_FALSE(form->SpecialText->isVisible());
  form->CancelAllBtn->click();
  EXPECT_EQ(multi->Tag(), ProgressCancelAll);
  form->Cancel1Btn->click();
  EXPECT_EQ(multi->Tag(), ProgressCancel);
  EXPECT_TRUE(form->isVisible()) << "the caller frees it";

  auto single = CreateProgressForm(false);
  auto* one = dynamic_cast<TProgressForm*>(single.get());
  single->Show();
  EXPECT_TRUE(one->CancelBtn->isVisible());
  EXPECT_FALSE(one->CancelAllBtn->isVisible());
  EXPECT_TRUE(one->SpecialText->isVisible());
  one->reject();  // Escape
  EXPECT_EQ(single->Tag(), ProgressCancel);
  EXPECT_TRUE(one->isVisible());
}

TEST(ProgressFormTest, PollLetsAPendingClickThrough)
{
  QtDialogService service;
  service.install();
  auto p = CreateProgressForm(false);
  auto* form = dynamic_cast<TProgressForm*>(p.get());
  p->Show();
  QMetaObject::invokeMethod(form->CancelBtn, &QPushButton::click, Qt::QueuedConnection);
  EXPECT_EQ(p->Tag(), ProgressRunning);
  EXPECT_EQ(p->poll(), ProgressCancel);
}

TEST(ProgressFormTest, DoubleFormStartsCutToItsMainPanelAndTogglesDetails)
{
  QtDialogService service;
  service.install();
  auto p = CreateDoubleProgressForm();
  auto* form = dynamic_cast<TDoubleProgressForm*>(p.get());
  ASSERT_NE(form, nullptr);
  p->SetSearchInfo(SearchInfoField::Syntax, "Text");
  p->SetPanelVisible(SearchInfoPanel::Padding, false);
  p->SetPanelVisible(SearchInfoPanel::Heading, true);
  p->SetPanelVisible(SearchInfoPanel::Context, false);
  p->SetSubProgressLabel("Scanning a.txt...");
  p->SetSubMaxValue(1000);
  p->SetSubProgress(500);
  p->Show();
  QApplication::processEvents();
  EXPECT_FALSE(form->OptionsPanel->isVisible());
  EXPECT_FALSE(form->HeadingPanel->isVisible());
  EXPECT_EQ(form->SubProgressBar->value(), 50);
  const int cut = form->height();

  form->DetailsBtn->click();
  QApplication::processEvents();
  EXPECT_TRUE(p->DetailsShown());
  EXPECT_TRUE(form->OptionsPanel->isVisible());
  EXPECT_FALSE(form->PaddingPanel->isVisible());
  EXPECT_TRUE(form->HeadingPanel->isVisible());
  EXPECT_FALSE(form->ContextPanel->isVisible());
  EXPECT_GT(form->height(), cut);
  EXPECT_GT(p->PanelHeight(SearchInfoPanel::Heading), 0);

  form->DetailsBtn->click();
  QApplication::processEvents();
  EXPECT_EQ(form->height(), cut);
  form->CancelBtn->click();
  EXPECT_EQ(p->Tag(), ProgressCancel);
}

// --- the bridge ---------------------------------------------------------------------

TEST(QtUiBridgeTest, AWorkersCallsRunOnTheGuiThreadAndRaiseInTheWorker)
{
  QtUiBridge bridge;
  bridge.install();
  std::atomic<bool> done{false};
  bool ranOnGui = false;
  std::string caught;
  std::thread worker([&] {
    platform::uiBridge().synchronize([&] { ranOnGui = platform::uiBridge().isUiThread(); });
    try {
      platform::uiBridge().synchronize([] { throw std::runtime_error("Connection refused"); });
    } catch (const std::runtime_error& e) {
      caught = e.what();
    }
    done = true;
  });
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done && std::chrono::steady_clock::now() < deadline) {
    platform::uiBridge().processMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  worker.join();
  EXPECT_TRUE(ranOnGui);
  EXPECT_EQ(caught, "Connection refused");

  int inline_ = 0;
  bridge.synchronize([&] { ++inline_; });  // on the GUI thread: at once
  EXPECT_EQ(inline_, 1);
}

// --- edits --------------------------------------------------------------------------

TEST(EditHelpersTest, ComboHistorySwapsTheTextWithTheFirstItem)
{
  QComboBox combo;
  combo.setEditable(true);
  combo.addItems({"a", "b", "c", "d", "e"});
  combo.setEditText("  d  ");
  AddToHistory(&combo);
  QStringList items;
  for (int i = 0; i < combo.count(); ++i)
    items << combo.itemText(i);
  EXPECT_EQ(items, QStringList({"d", "b", "c", "a", "e"}));
  EXPECT_EQ(combo.currentIndex(), 0);
  EXPECT_EQ(combo.currentText(), "d");
  combo.setEditText("new word");
  AddToHistory(&combo);
  EXPECT_EQ(combo.count(), 6);
  EXPECT_EQ(combo.itemText(0), "new word");
}

TEST(EditHelpersTest, UpDownEditsClampWhenReadNotWhileTyping)
{
  TUpDownEdit upDown;
  upDown.SetRange(1, 16000);
  upDown.SetPosition(10);
  upDown.Edit()->setText("-5");  // typing is free
  EXPECT_EQ(upDown.Edit()->text(), "-5");
  EXPECT_EQ(ClampUpDownEdit(&upDown), 16000);
  EXPECT_EQ(upDown.Edit()->text(), "16000");
  upDown.Edit()->setText("abc");
  EXPECT_EQ(ClampUpDownEdit(&upDown), 16000) << "the position is the fallback";
  upDown.SetIncrement(10);
  upDown.Edit()->setText("42");
  upDown.StepBy(1);
  EXPECT_EQ(upDown.Position(), 52);
  upDown.SetPosition(15995);
  upDown.StepBy(1);
  EXPECT_EQ(upDown.Edit()->text(), "16000");

  QLineEdit edit;
  edit.setText(" 7 ");
  EXPECT_EQ(ClampEditToRange(&edit, 3, 0, 5), 5);
  EXPECT_EQ(edit.text(), "5");
}
