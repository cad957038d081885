// The real-window check: run by the frame_real_window ctest case under a
// virtual X server (xcb platform), it starts the program with two corpus
// files, waits until the frame with the first file's full-text window is
// on the screen, saves a screenshot into
// $QUILL_REAL_WINDOW_DIR and leaves through File > Exit. Skipped elsewhere.
#include "workbench/frame/frame_test_support.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QTimer>
#include <QPixmap>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include <cstdlib>

using frametest::FrameTest;

TEST_F(FrameTest, RealWindowCheck)
{
  const char* artefacts = std::getenv("QUILL_REAL_WINDOW_DIR");
  if (!artefacts || !artefacts[0])
    GTEST_SKIP() << "only under the real-window check (QUILL_REAL_WINDOW_DIR not set)";
  ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));

  const std::string first = folder_.write("first.txt", "The first corpus file.\r\nIt has two lines.\r\n");
  const std::string second = folder_.write("second.txt", "A second file, shorter.\r\n");
  TFrameForm& frame = Start({first, second});
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
  // A real event loop, which waits and so lets the idle update run.
  QEventLoop loop;
  QTimer::singleShot(300, &loop, &QEventLoop::quit);
  loop.exec();
  // The first file's full-text window is open and active.
  EXPECT_EQ(frametest::MenuBarNames(frame.menuBar()),
            "FM_File TM_CorpusText FM_Concordance FM_Frequency FM_Window FM_Info");
  ASSERT_NE(frame.ActiveChild(), nullptr);
  EXPECT_EQ(frame.ActiveChild()->windowTitle(), QStringLiteral("Corpus Text - first.txt"));
  EXPECT_EQ(frame.HintText(), QStringLiteral("2 files in current corpus"));

  QScreen* screen = frame.screen();
  ASSERT_NE(screen, nullptr);
  const QPixmap shot = screen->grabWindow(frame.winId());
  ASSERT_FALSE(shot.isNull());
  const QString file = QString::fromLocal8Bit(artefacts) + QStringLiteral("/frame.png");
  EXPECT_TRUE(shot.save(file, "PNG")) << file.toStdString();

  QSignalSpy closed(&frame, &TFrameForm::Closed);
  frame.Item(QStringLiteral("FMF_Exit"))->trigger();
  EXPECT_EQ(closed.count(), 1);
  EXPECT_FALSE(frame.isVisible());
}
