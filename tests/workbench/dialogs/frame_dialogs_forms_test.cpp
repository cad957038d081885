#include "workbench/dialogs/about_box.h"
#include "workbench/dialogs/frame_dialogs_forms.h"

#include "foundation/chartables.h"
#include "foundation/config_file.h"
#include "support/net_servers.h"
#include "workbench/dialogs/modal_steps.h"
#include "workbench/frame/frame_test_support.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <cstdlib>
#include <sys/resource.h>

using Items = std::vector<std::string>;
using frametest::FrameTest;

// Leaving the box for another control keeps the typed text; Escape does not.
TEST(OpenURLFormTest, HistoryAfterTabAndEscape)
{
  for (Qt::Key key : {Qt::Key_Tab, Qt::Key_Escape}) {
    URLHistory = {"http://old/"};
    {
      TOpenURLForm form;
      form.show();
      ASSERT_TRUE(QTest::qWaitForWindowActive(&form, 10000));
      form.URLCombo->lineEdit()->selectAll();
      QTest::keyClicks(form.URLCombo, QStringLiteral(" typed "));
      QTest::keyClick(form.URLCombo, key);
    }
    EXPECT_EQ(URLHistory, (key == Qt::Key_Tab ? Items{"typed", "http://old/"} : Items{"http://old/"}));
  }
  URLHistory.clear();
}

TEST(LangConfigTest, DoubleClickIsOkAndCancelAppliesNothing)
{
  InitProgramState();
  SetTextLanguage(0x409);
  const TFontRec before = SystemFont;
  for (bool cancel : {true, false}) {
    TLangConfig form;
    form.TakeFont(QFont(QStringLiteral("Chosen Face"), 13));
    const auto names = form.Model().Names();
    form.LangsList->setCurrentRow(int(std::find(names.begin(), names.end(), LanguageNameById(0x415)) - names.begin()));
    if (cancel)
      form.CancelBtn->click();
    else
      emit form.LangsList->itemDoubleClicked(form.LangsList->currentItem());
    EXPECT_EQ(form.Changed(), !cancel);
    EXPECT_EQ(LanguageId, cancel ? 0x409 : 0x415);
    EXPECT_EQ(SystemFont.Name, cancel ? before.Name : "Chosen Face");
    EXPECT_EQ(SystemFont.Charset, before.Charset);
  }
  InitProgramState();
}

TEST(LangConfigTest, TheFontLabelNamesTheFaceInUse)
{
  InitProgramState();
  for (const char* face : {"MS Sans Serif", "DejaVu Sans"}) {
    SystemFont.Name = face;
    TLangConfig form;
    EXPECT_EQ(form.FontLabel->text(), QFontInfo(form.FontLabel->font()).family()) << face;
    EXPECT_EQ(form.FontLabel->text() == QLatin1String(face),
              QFontInfo(QFont(QLatin1String(face))).family() == QLatin1String(face));
  }
  InitProgramState();
}

TEST(WkSpaceOptionsFormTest, OkWritesTheBoxesCancelNothing)
{
  InitProgramState();
  for (bool ok : {false, true}) {
    testsupport::WhenModal([ok](QWidget* modal) {
      auto* form = static_cast<TWkSpaceOptionsForm*>(modal);
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
  box.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&box, 10000));
  EXPECT_TRUE(box.SpinningCube->Continuous());
  QTest::mouseClick(box.SpinningCube, Qt::LeftButton);
  EXPECT_FALSE(box.SpinningCube->Continuous());
  // The timer may have turned it already on a busy machine: one step is
  // 7 degrees about x and z from wherever it stands; the breath keeps the
  // cube centred in its place.
  auto* spinning = box.SpinningCube;
  const std::array before{spinning->XSpin(), spinning->YSpin(), spinning->ZSpin()};
  spinning->Spin();
  EXPECT_EQ((std::array{spinning->XSpin(), spinning->YSpin(), spinning->ZSpin()}),
            (std::array{(before[0] + 7) % 360, before[1], (before[2] + 7) % 360}));
  EXPECT_EQ(spinning->geometry().center(), QPoint(40, 40));
  QTest::mouseClick(box.SpinningCube, Qt::LeftButton);
  EXPECT_TRUE(box.SpinningCube->Continuous());
  box.OKBtn->click();
  EXPECT_TRUE(box.SpinningCube->findChildren<QTimer*>().isEmpty());

  // A paint: background at the corner, the lit front face in the middle.
  TCubeSpin cube;
  cube.resize(64, 64);
  cube.show();
  QImage image(64, 64, QImage::Format_RGB32);
  QPainter painter(&image);
  cube.Draw(painter);
  painter.end();
  EXPECT_EQ(image.pixelColor(1, 1), cube.palette().color(QPalette::Window));
  EXPECT_EQ(image.pixelColor(32, 32), QColor(127, 63, 255));
}

class FrameDialogCommandsTest : public FrameTest {
protected:
  void Run(const char* command, std::function<void(QWidget*)> step)
  {
    testsupport::WhenModal(std::move(step));
    Frame().UpdateMenuState();
    ASSERT_TRUE(Item(command)->isEnabled());
    Item(command)->trigger();
  }
};

TEST_F(FrameDialogCommandsTest, LanguageUnloadsTheCorpusOnlyOnAChange)
{
  Start({folder_.write("a.txt", "one two three\r\n")});
  SetTextLanguage(0x409);
  for (int32_t id : {0x409, 0x419}) {
    Run("FMF_Language", [id](QWidget* modal) {
      auto* form = static_cast<TLangConfig*>(modal);
      const auto names = form->Model().Names();
      form->LangsList->setCurrentRow(int(std::find(names.begin(), names.end(), LanguageNameById(id)) - names.begin()));
      form->OKBtn->click();
    });
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
    Run("FMF_URL", [typed](QWidget* modal) {
      auto* form = static_cast<TOpenURLForm*>(modal);
      EXPECT_EQ(form->URLCombo->currentText(), QStringLiteral("http://old/"));
      form->URLCombo->setEditText(QString::fromStdString(typed));
      form->OKButton->click();
    });
  }
  EXPECT_EQ(Messages(mtError), Items{"\"http://:/\" is incomplete or bad URL."});
  ASSERT_EQ(CorpusList.Count(), 1);
  EXPECT_EQ(CorpusList[0].Name, url);
  EXPECT_EQ(URLHistory, (Items{url, "http://old/"}));
  for (int i = 0; i < 100 && PendingURLCount > 0; ++i)
    QTest::qWait(50);
}

// Under the real-window check: the About box over the frame, saved as
// about_box.png. With QUILL_ABOUT_CPU_SECONDS set it stays up that long and
// prints the process's CPU time meanwhile.
TEST_F(FrameDialogCommandsTest, AboutBoxRealWindow)
{
  const char* artefacts = std::getenv("QUILL_REAL_WINDOW_DIR");
  if (!artefacts || !artefacts[0])
    GTEST_SKIP() << "only under the real-window check (QUILL_REAL_WINDOW_DIR not set)";
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&Start({folder_.write("a.txt", "one two three\r\n")})));
  const char* cpuEnv = std::getenv("QUILL_ABOUT_CPU_SECONDS");
  const int seconds = cpuEnv ? std::atoi(cpuEnv) : 0;
  Run("FMI_About", [&](QWidget* modal) {
    QTest::qWait(500);
    const QString file = QString::fromLocal8Bit(artefacts) + QStringLiteral("/about_box.png");
    EXPECT_TRUE(modal->screen()->grabWindow(0).save(file, "PNG")) << file.toStdString();
    if (seconds > 0) {
      rusage before{}, after{};
      getrusage(RUSAGE_SELF, &before);
      QTest::qWait(seconds * 1000);
      getrusage(RUSAGE_SELF, &after);
      const double used = (after.ru_utime.tv_sec + after.ru_stime.tv_sec - before.ru_utime.tv_sec -
                           before.ru_stime.tv_sec) +
                          (after.ru_utime.tv_usec + after.ru_stime.tv_usec - before.ru_utime.tv_usec -
                           before.ru_stime.tv_usec) / 1e6;
      std::printf("About box: %.3f s CPU in %d s (%.2f%% of one core)\n", used, seconds, 100.0 * used / seconds);
    }
    static_cast<TAboutBox*>(modal)->OKBtn->click();
  });
}
