// The first path through the whole program: start with two corpus files,
// Search from the Concordance menu, see the hits in a concordance window,
// save them as text and as HTML, and run a batch search into a file. File
// names and output options come from the test's providers; no dialog waits
// for a person.
//
// Run once offscreen, and once more by the real-window check under a
// virtual X server, where it leaves a screenshot of the frame with the
// filled concordance window in $QUILL_REAL_WINDOW_DIR.
#include "workbench/frame/frame_test_support.h"
#include "support/text_checks.h"

#include "search/concord_items.h"
#include "workbench/windows/concordance_form.h"
#include "workbench/frame/frame_dialogs.h"
#include "workbench/output/output_config_dlg.h"
#include "workbench/dialogs/search_template_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QScreen>
#include <QWindow>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPixmap>
#include <QTest>
#include <QTimer>

#include <cstdlib>

using frametest::ChosenFiles;
using frametest::FrameTest;
using testsupport::Count;
using testsupport::readFile;

namespace {

// Every line ends in CR LF.
bool OnlyCrLf(const std::string& text)
{
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
      return false;
    if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))
      return false;
  }
  return !text.empty();
}

class EndToEndTest : public FrameTest {
protected:
  EndToEndTest()
  {
    first = folder_.write("first.txt", "The cat sat on the mat.\r\nA cat & a dog <met> here.\r\n");
    second = folder_.write("second.txt", "Cats and dogs. The cat ran.\r\n");
    patterns = folder_.write("patterns.txt", "cat\r\ndog, mat\r\n");
  }
  ~EndToEndTest() override { SetOutputConfigRunner({}); }

  // Presses a shortcut in the frame while `inDialog` works the search dialog.
  void Search(int key, std::function<void(TSearchTemplateDlg&)> inDialog)
  {
    TFrameForm& frame = Frame();
    frame.UpdateMenuState();
    // A modal dialog has just closed: the frame is the active window again.
    frame.windowHandle()->requestActivate();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QGuiApplication::focusWindow() == frame.windowHandle(); }));
    QTimer::singleShot(0, [inDialog] {
      ASSERT_NE(SearchTemplateDlg, nullptr);
      ASSERT_TRUE(SearchTemplateDlg->isVisible());
      inDialog(*SearchTemplateDlg);
      if (SearchTemplateDlg->isVisible())
        SearchTemplateDlg->reject();
    });
    QTest::keyClick(&frame, Qt::Key(key), Qt::ControlModifier);
  }

  TConcordanceForm* ConcordanceWindow()
  {
    for (TMDIChildForm* child : Frame().ChildWindows())
      if (auto* w = dynamic_cast<TConcordanceForm*>(child))
        return w;
    return nullptr;
  }

  void RunThePath(const char* screenshotDir)
  {
    TFrameForm& frame = Start({first, second});
    if (screenshotDir) {
      // The whole screen (there is no window manager to maximise it), so the
      // screenshot shows the concordance window at its full size.
      frame.setGeometry(frame.screen()->availableGeometry());
      ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    }

    // Search: Ctrl+S, the pattern typed, OK.
    Search(Qt::Key_S, [](TSearchTemplateDlg& dlg) {
      EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Text Search"));
      QTest::keyClicks(dlg.SearchString, QStringLiteral("cat"));
      QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
    });
    TConcordanceForm* window = ConcordanceWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->Items().Count(), 3);
    EXPECT_EQ(window->SearchText(), "cat");
    EXPECT_FALSE(IsBusy());

    if (screenshotDir) {
      ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
      QEventLoop loop;
      QTimer::singleShot(300, &loop, &QEventLoop::quit);
      loop.exec();
      const QPixmap shot = frame.screen()->grabWindow(frame.winId());
      ASSERT_FALSE(shot.isNull());
      EXPECT_TRUE(shot.save(QString::fromLocal8Bit(screenshotDir) + QStringLiteral("/concordance.png"), "PNG"));
    }

    // Save as File, as text and then as HTML.
    const std::string text = folder_.file("hits.txt");
    const std::string html = folder_.file("hits.html");
    files_.Answers = {text, html};
    bool asHtml = false;
    SetOutputConfigRunner([&asHtml](TOutputConfigDlg& d) {
      d.AsHTMLCB->setChecked(asHtml);
      d.OKBtnClick();
      return int(QDialog::Accepted);
    });
    frame.UpdateMenuState();
    frame.Item(QStringLiteral("FMC_Save"))->trigger();
    asHtml = true;
    frame.Item(QStringLiteral("FMC_Save"))->trigger();
    const std::string saved = readFile(text);
    EXPECT_TRUE(OnlyCrLf(saved));
    EXPECT_EQ(Count(saved, "[[cat]]"), 3u) << saved;
    EXPECT_NE(saved.find("<met>"), std::string::npos);
    const std::string page = readFile(html);
    EXPECT_TRUE(OnlyCrLf(page));
    EXPECT_NE(page.find("&amp; a dog &lt;met&gt;"), std::string::npos) << page;
    EXPECT_EQ(page.find("<met>"), std::string::npos);

    // A batch search to a file: Advanced Search, Batch search, Save to file,
    // Import Patterns, OK.
    const std::string batch = folder_.file("batch.txt");
    files_.Answers = {patterns, batch};
    Search(Qt::Key_A, [](TSearchTemplateDlg& dlg) {
      EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Advanced Search"));
      QTest::mouseClick(dlg.BatchSearchCheck, Qt::LeftButton);
      QTest::mouseClick(dlg.SaveToFileCheck, Qt::LeftButton);
      QTest::mouseClick(dlg.ImportPatternsBtn, Qt::LeftButton);
      QTest::mouseClick(dlg.OKBtn, Qt::LeftButton);
    });
    EXPECT_EQ(files_.Shown.back().Title, "Select where to save batch search results");
    const std::string written = readFile(batch);
    EXPECT_TRUE(OnlyCrLf(written));
    EXPECT_EQ(Count(written, "[[cat]]"), 3u) << written;
    EXPECT_EQ(Count(written, "[[dog]]"), 1u);
    EXPECT_EQ(Count(written, "[[mat]]"), 1u);
    EXPECT_FALSE(IsBusy());
    EXPECT_TRUE(Messages(mtError).empty());
  }

  ChosenFiles files_;
  std::string first, second, patterns;
};

}  // namespace

TEST_F(EndToEndTest, SearchSaveAndBatch)
{
  if (std::getenv("QUILL_REAL_WINDOW_DIR"))
    GTEST_SKIP() << "runs offscreen; the real-window check runs RealWindow";
  RunThePath(nullptr);
}

TEST_F(EndToEndTest, RealWindow)
{
  const char* artefacts = std::getenv("QUILL_REAL_WINDOW_DIR");
  if (!artefacts || !artefacts[0])
    GTEST_SKIP() << "only under the real-window check (QUILL_REAL_WINDOW_DIR not set)";
  ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
  RunThePath(artefacts);
}
