#include "workbench/dialogs/about_box.h"
#include "workbench/dialogs/frame_dialogs_forms.h"

#include "foundation/chartables.h"
#include "foundation/config_file.h"
#include "workbench/dialogs/modal_steps.h"
#include "support/net_servers.h"
#include "workbench/frame/frame_test_support.h"

#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <cstdlib>
#include <sys/resource.h>

using Items = std::vector<std::string>;

namespace {

bool AnyURL(std::string_view url)
{
  return url.find("://") != std::string_view::npos;
}

// Types into the URL box of a shown form, then leaves it as key says.
Items HistoryAfter(const char* typed, Qt::Key key)
{
  URLHistory = {"http://old/"};
  {
    TOpenURLForm form(AnyURL);
    form.show();
    form.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&form, 1000));
    form.URLCombo->setFocus();
    form.URLCombo->lineEdit()->selectAll();
    QTest::keyClicks(form.URLCombo, QString::fromLatin1(typed));
    QTest::keyClick(form.URLCombo, key);
    if (form.isVisible())
      form.reject();
  }
  return URLHistory;
}

}  // namespace

TEST(OpenURLFormTest, HistoryAfterTabEscapeAndOk)
{
  testsupport::FakeDialogs dialogs;
  EXPECT_EQ(HistoryAfter(" typed ", Qt::Key_Tab), (Items{"typed", "http://old/"}));
  EXPECT_EQ(HistoryAfter("typed", Qt::Key_Escape), Items{"http://old/"});
  EXPECT_EQ(HistoryAfter("  http://new/  ", Qt::Key_Return), (Items{"http://new/", "http://old/"}));
  // Enter on a bad URL keeps the dialog up with its message.
  EXPECT_EQ(HistoryAfter("nothing", Qt::Key_Return), Items{"http://old/"});
  EXPECT_EQ(dialogs.Texts(), Items{"\"nothing\" is incomplete or bad URL."});
  URLHistory.clear();
}

TEST(LangConfigTest, DoubleClickIsOkAndCancelAppliesNothing)
{
  InitProgramState();
  SetTextLanguage(0x409);
  const TFontRec before = SystemFont;
  testsupport::WhenModal([](QWidget* modal) {
    auto* form = static_cast<TLangConfig*>(modal);
    form->TakeFont(QFont(QStringLiteral("Chosen Face"), 13));
    form->CancelBtn->click();
  });
  EXPECT_FALSE(SelectLanguage());
  EXPECT_EQ(SystemFont, before);

  TLangConfig form;
  form.TakeFont(QFont(QStringLiteral("Chosen Face"), 13));
  const auto names = form.Model().Names();
  const int row = int(std::find(names.begin(), names.end(), LanguageNameById(0x415)) - names.begin());
  ASSERT_LT(row, form.LangsList->count());
  form.LangsList->setCurrentRow(row);
  emit form.LangsList->itemDoubleClicked(form.LangsList->item(row));
  EXPECT_EQ(form.result(), QDialog::Accepted);
  EXPECT_TRUE(form.Changed());
  EXPECT_EQ(LanguageId, 0x415);
  EXPECT_EQ(SystemFont.Name, "Chosen Face");
  EXPECT_EQ(SystemFont.Size, 13);
  EXPECT_EQ(SystemFont.Charset, before.Charset);
  InitProgramState();
}

TEST(WkSpaceOptionsFormTest, OkWritesTheBoxesCancelNothing)
{
  InitProgramState();
  KeepURLs = false;
  for (bool ok : {false, true}) {
    testsupport::WhenModal([ok](QWidget* modal) {
      auto* form = static_cast<TWkSpaceOptionsForm*>(modal);
      EXPECT_FALSE(form->FreqCheck->isChecked());  // no frequency list
      form->URLsCheck->click();
      (ok ? form->OKBtn : form->CancelBtn)->click();
    });
    EXPECT_EQ(ShowWkSpaceOptionsForm(false), ok);
    EXPECT_EQ(KeepURLs, ok);
  }
  InitProgramState();
}

TEST(AboutBoxTest, SpinsWhileShownAndStopsWhenClosed)
{
  TAboutBox box;
  EXPECT_TRUE(box.SpinningCube->Continuous());
  box.show();
  box.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&box, 1000));
  EXPECT_EQ(box.SpinningCube->geometry(), QRect(8, 8, 65, 65));
  box.SpinningCube->Spin();  // one step: 7 degrees about x and z, one breath
  EXPECT_EQ(box.SpinningCube->XSpin(), 13);
  EXPECT_EQ(box.SpinningCube->YSpin(), 20);
  EXPECT_EQ(box.SpinningCube->ZSpin(), 343);
  EXPECT_EQ(box.SpinningCube->geometry(), QRect(9, 9, 63, 63));

  QTest::mouseClick(box.SpinningCube, Qt::LeftButton);
  EXPECT_FALSE(box.SpinningCube->Continuous());
  QTest::mouseClick(box.SpinningCube, Qt::LeftButton);
  EXPECT_TRUE(box.SpinningCube->Continuous());
  box.OKBtn->click();
  EXPECT_FALSE(box.SpinningCube->Continuous());
  EXPECT_TRUE(box.SpinningCube->findChildren<QTimer*>().isEmpty());

  // A paint: background at the corner, a shaded face in the middle.
  TCubeSpin cube;
  cube.resize(64, 64);
  cube.show();
  cube.SetAngles(0, 0, 0);
  QImage image(64, 64, QImage::Format_RGB32);
  QPainter painter(&image);
  cube.Draw(painter);
  painter.end();
  EXPECT_EQ(image.pixelColor(1, 1), cube.palette().color(QPalette::Window));
  EXPECT_EQ(image.pixelColor(32, 32), QColor(127, 63, 255));
}

using frametest::FrameTest;
class FrameDialogCommandsTest : public FrameTest {};

TEST_F(FrameDialogCommandsTest, UnloadsTheCorpusOnlyOnAChange)
{
  const std::string file = folder_.write("a.txt", "one two three\r\n");
  Start({file});
  ASSERT_EQ(CorpusList.Count(), 1);
  SetTextLanguage(0x409);
  for (int32_t id : {0x409, 0x419}) {
    testsupport::WhenModal([id](QWidget* modal) {
      auto* form = static_cast<TLangConfig*>(modal);
      const auto names = form->Model().Names();
      form->LangsList->setCurrentRow(
          int(std::find(names.begin(), names.end(), LanguageNameById(id)) - names.begin()));
      form->OKBtn->click();
    });
    Frame().UpdateMenuState();
    ASSERT_TRUE(Item("FMF_Language")->isEnabled());
    Item("FMF_Language")->trigger();
    EXPECT_EQ(CorpusList.Count(), id == 0x409 ? 1 : 0);
  }
}

TEST_F(FrameDialogCommandsTest, LoadCorpusURLAsksAndLoads)
{
  testsupport::ScriptedServer server([](testsupport::ServerConnection& c, int) {
    c.ReadRequest();
    c.Send("HTTP/1.1 200 OK\r\nContent-Length: 15\r\n\r\none two three\r\n");
  });
  const std::string url = server.Url("http", "/corpus.txt");
  Start();
  URLHistory = {"http://old/"};
  for (const std::string& typed : Items{"  http://:/  ", "  " + url + "  "}) {
    testsupport::WhenModal([typed](QWidget* modal) {
      auto* form = static_cast<TOpenURLForm*>(modal);
      EXPECT_EQ(form->URLCombo->currentText(), QStringLiteral("http://old/"));
      form->URLCombo->setEditText(QString::fromStdString(typed));
      form->OKButton->click();
    });
    Frame().UpdateMenuState();
    Item("FMF_URL")->trigger();
  }
  EXPECT_EQ(Messages(mtError), Items{"\"http://:/\" is incomplete or bad URL."});
  ASSERT_EQ(CorpusList.Count(), 1);
  EXPECT_EQ(CorpusList[0].Name, url);
  EXPECT_EQ(URLHistory, (Items{url, "http://old/"}));
  for (int i = 0; i < 100 && PendingURLCount > 0; ++i)
    QTest::qWait(50);
}

namespace {

double CpuSeconds()
{
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

// Under the real-window check: the About box over the frame, saved as
// about_box.png. With QUILL_ABOUT_CPU_SECONDS set it stays up that long and
// prints the process's CPU time meanwhile.
TEST_F(FrameDialogCommandsTest, AboutBoxRealWindow)
{
  const char* artefacts = std::getenv("QUILL_REAL_WINDOW_DIR");
  if (!artefacts || !artefacts[0])
    GTEST_SKIP() << "only under the real-window check (QUILL_REAL_WINDOW_DIR not set)";
  TFrameForm& frame = Start({folder_.write("a.txt", "one two three\r\n")});
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
  const char* cpuEnv = std::getenv("QUILL_ABOUT_CPU_SECONDS");
  const int seconds = cpuEnv ? std::atoi(cpuEnv) : 0;
  testsupport::WhenModal([&](QWidget* modal) {
    QTest::qWait(500);
    EXPECT_TRUE(static_cast<TAboutBox*>(modal)->SpinningCube->Continuous());
    const QPixmap shot = modal->screen()->grabWindow(0);
    const QString file = QString::fromLocal8Bit(artefacts) + QStringLiteral("/about_box.png");
    EXPECT_TRUE(shot.save(file, "PNG")) << file.toStdString();
    if (seconds > 0) {
      const double before = CpuSeconds();
      QTest::qWait(seconds * 1000);
      const double used = CpuSeconds() - before;
      std::printf("About box: %.3f s CPU in %d s (%.2f%% of one core)\n", used, seconds, 100.0 * used / seconds);
    }
    static_cast<TAboutBox*>(modal)->OKBtn->click();
  });
  frame.UpdateMenuState();
  ASSERT_TRUE(Item("FMI_About")->isEnabled());
  Item("FMI_About")->trigger();
}
