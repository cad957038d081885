#include "foundation/dialogs.h"

#include "support/fake_bridge.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>

using testsupport::FakeBridge;
using testsupport::FakeDialogs;

TEST(MessageButtonsTest, DefaultAndEscapeButtonsFollowTheirOrderOfPreference)
{
  const TMsgDlgButtons yesNoCancel = Btn(mbYes) | Btn(mbNo) | Btn(mbCancel);
  EXPECT_EQ(DefaultMessageButton(yesNoCancel), mbYes);
  EXPECT_EQ(CancelMessageButton(yesNoCancel), mbCancel);

  const TMsgDlgButtons abortRetry = Btn(mbAbort) | Btn(mbRetry);
  EXPECT_EQ(DefaultMessageButton(abortRetry), mbRetry);
  EXPECT_EQ(CancelMessageButton(abortRetry), mbAbort);

  EXPECT_EQ(CancelMessageButton(Btn(mbAbort) | Btn(mbCancel) | Btn(mbOK)), mbAbort);
  EXPECT_EQ(DefaultMessageButton(Btn(mbOK) | Btn(mbYes) | Btn(mbRetry)), mbOK);
  EXPECT_EQ(CancelMessageButton(Btn(mbYes) | Btn(mbNo)), mbNo);
  EXPECT_EQ(CancelMessageButton(Btn(mbOK)), mbOK);
  EXPECT_EQ(DefaultMessageButton(Btn(mbIgnore) | Btn(mbHelp)), -1);
  EXPECT_EQ(CancelMessageButton(Btn(mbIgnore) | Btn(mbHelp)), -1);

  EXPECT_STREQ(MessageButtonInfo[mbNoToAll].Name, "Not to All");
  EXPECT_STREQ(MessageButtonInfo[mbNoToAll].Caption, "&Not to All");
  EXPECT_EQ(MessageButtonInfo[mbHelp].ModalResult, mrNone);
  EXPECT_EQ(MessageCaption(mtConfirmation), "Confirm");
  EXPECT_EQ(MessageCaption(mtCustom), "Quillmar Pro");
}

TEST(MessageFunctionsTest, ShortCutsAskTheRightBoxAndReadItsAnswer)
{
  FakeDialogs dialogs;
  dialogs.Answers = {mrOk, mrCancel, mrYes, mrNo};
  EXPECT_TRUE(ConfirmOkCancel("Go on?", false));
  EXPECT_FALSE(ConfirmOkCancel("Go on?", true));
  EXPECT_TRUE(ConfirmYesNo("Sure?", true));
  EXPECT_FALSE(WarnYesNo("Really?", false));
  ShowError("Unable to open file: x.");
  ASSERT_EQ(dialogs.Messages.size(), 5u);
  const auto& m = dialogs.Messages;
  EXPECT_EQ(m[0].Kind, mtConfirmation);
  EXPECT_EQ(m[0].Buttons, Btn(mbOK) | Btn(mbCancel));
  EXPECT_EQ(m[0].Focused, mbCancel);
  EXPECT_EQ(m[1].Focused, mbOK);
  EXPECT_EQ(m[2].Buttons, Btn(mbYes) | Btn(mbNo));
  EXPECT_EQ(m[3].Kind, mtWarning);
  EXPECT_EQ(m[3].Focused, mbNo);
  EXPECT_EQ(m[4].Kind, mtError);
  EXPECT_EQ(m[4].Buttons, Btn(mbOK));
  EXPECT_EQ(m[4].Text, "Unable to open file: x.");
}

TEST(MessageFunctionsTest, WithoutAFormServiceQuestionsTakeTheSafeAnswer)
{
  EXPECT_FALSE(ConfirmYesNo("Delete everything?", true));
  EXPECT_FALSE(ConfirmOkCancel("Overwrite?", true));
  EXPECT_EQ(ShowMessageBox("x", mtWarning, Btn(mbAbort) | Btn(mbRetry), -1, -1, 0, mbRetry), mrAbort);
  std::string text = "old";
  EXPECT_FALSE(QueryInput("Caption", "Prompt:", TFontRec{}, text));
}

TEST(MessageFunctionsTest, AWorkerThreadsMessageRunsOnTheUserInterfaceThread)
{
  FakeBridge bridge;
  FakeDialogs dialogs;
  std::thread worker([] { ShowError("from the worker"); });
  ASSERT_TRUE(bridge.WaitForQueued(std::chrono::seconds(10)));
  EXPECT_TRUE(dialogs.Messages.empty());
  bridge.processMessages();
  worker.join();
  ASSERT_EQ(dialogs.Messages.size(), 1u);
  EXPECT_EQ(dialogs.Messages[0].Text, "from the worker");
}

TEST(ProgressDialogTest, MultiFileFormsShowCancelAllAndHideTheSpecialText)
{
  FakeDialogs dialogs;
  auto multi = CreateProgressForm(true);
  EXPECT_TRUE(multi->MultiFile());
  EXPECT_FALSE(multi->SpecialTextVisible());
  auto single = CreateProgressForm(false);
  EXPECT_TRUE(single->SpecialTextVisible());
  EXPECT_EQ(single->SpecialText(), "");
  EXPECT_EQ(single->Tag(), ProgressRunning);
  EXPECT_EQ(ProgressDialog::Topmost(), single.get());
  single.reset();
  EXPECT_EQ(ProgressDialog::Topmost(), multi.get());
  multi.reset();
  EXPECT_EQ(ProgressDialog::Topmost(), nullptr);
  EXPECT_EQ(dialogs.ProgressFormsCreated, 2);
}

TEST(ProgressDialogTest, PollPumpsAndSeesCancelAllPressedAtTheThirdPump)
{
  FakeBridge bridge;
  auto progress = CreateProgressForm(true);
  bridge.PressCancelAt(3, ProgressCancelAll);
  EXPECT_EQ(progress->poll(), ProgressRunning);
  EXPECT_EQ(progress->poll(), ProgressRunning);
  EXPECT_EQ(progress->Tag(), ProgressRunning) << "reading the tag pumps nothing";
  EXPECT_EQ(progress->poll(), ProgressCancelAll);
  EXPECT_EQ(bridge.Pumps(), 3);
}

TEST(ProgressDialogTest, GaugesShowPercentagesOf64BitValues)
{
  auto p = CreateDoubleProgressForm();
  p->SetMaxValue(int64_t(6) << 30);
  p->SetProgress(int64_t(3) << 30);
  EXPECT_EQ(p->Percent(), 50);
  p->SetSubMaxValue(0);
  EXPECT_EQ(p->SubPercent(), 0);
  p->SetSubMaxValue(10);
  p->SetSubProgress(20);
  EXPECT_EQ(p->SubPercent(), 100);
  EXPECT_FALSE(p->DetailsShown());
  p->SetSearchInfo(SearchInfoField::Syntax, "Text");
  EXPECT_EQ(p->SearchInfo(SearchInfoField::Syntax), "Text");
}

TEST(MakeFileNameTest, TakesTheDefaultExtensionAndCleansTheBaseOnly)
{
  const std::string cwd = std::filesystem::current_path().string();
  EXPECT_EQ(MakeFileName("report", "TXT"), "report.TXT");
  EXPECT_EQ(MakeFileName("/tmp/x//rep", "TXT"), "/tmp/x/rep.TXT");
  EXPECT_EQ(MakeFileName("sub/../out/a:b?c", "TXT"), cwd + "/out/abc.TXT");
  EXPECT_EQ(MakeFileName("name.", "TXT"), "name");
  EXPECT_EQ(MakeFileName("a.b.c", "TXT"), "a.b.c") << "the first dot splits";
  EXPECT_EQ(MakeFileName("x<y>|\"*.t:t", "TXT"), "xy.t:t") << "the extension is left as it is";
  EXPECT_EQ(MakeFileName("/top", "HTM"), "/top.HTM");
}

TEST(CharacterSetHelpersTest, CutDeleteAndCount)
{
  std::string text = "a b";
  std::string token;
  CutToken(text, CharSetOf(" "), token);
  EXPECT_EQ(token, "a");
  EXPECT_EQ(text, "b");
  CutToken(text, CharSetOf(" "), token);
  EXPECT_EQ(token, "b");
  EXPECT_EQ(text, "");

  std::string s = "a,b;c,,d";
  DeleteChars(s, CharSetOf(",;"));
  EXPECT_EQ(s, "abcd");
  EXPECT_TRUE(CharSetOf("\xE9").test(0xE9));

  EXPECT_EQ(DigitCount(0, 10), 1);
  EXPECT_EQ(DigitCount(9, 10), 1);
  EXPECT_EQ(DigitCount(10, 10), 2);
  EXPECT_EQ(DigitCount(-100, 10), 3);
  EXPECT_EQ(DigitCount(INT32_MIN, 10), 10);
  EXPECT_EQ(DigitCount(255, 16), 2);
  EXPECT_EQ(DigitCount(256, 16), 3);
}

TEST(ScopedHourglassTest, NestsThroughTheBridge)
{
  FakeBridge bridge;
  {
    ScopedHourglass outer;
    {
      ScopedHourglass inner;
      EXPECT_EQ(bridge.BusyCursorDepth(), 2);
    }
    EXPECT_EQ(bridge.BusyCursorDepth(), 1);
  }
  EXPECT_EQ(bridge.BusyCursorDepth(), 0);
}
