// The full-text window in the frame: opening with the first loaded file,
// captions, bringing a window up again, the view filling while lines are
// counted, printing with its question, Cancel and a missing printer, the
// close refused during the print, the tag settings, and closing while a
// count runs when the item is removed or reloaded.
#include "workbench/frame/frame_test_support.h"

#include "workbench/lineview/strings_view.h"
#include "workbench/output/text_sink.h"
#include "workbench/windows/full_text_form.h"
#include "support/fake_download.h"

#include <QMdiSubWindow>
#include <QPrinter>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

using frametest::FrameTest;
using testsupport::FakeDownload;
using testsupport::readFile;

namespace {

std::string Lines(int count, const char* end = "\r\n")
{
  std::string text;
  for (int i = 0; i < count; ++i)
    text += "line " + std::to_string(i) + (i + 1 < count ? end : "");
  return text;
}

class FullTextFormTest : public FrameTest {
protected:
  ~FullTextFormTest() override { SetDownloadFactory(nullptr); }

  // Lets the counting thread's events in until ready holds.
  static bool Until(const std::function<bool()>& ready)
  {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!ready() && std::chrono::steady_clock::now() < until) {
      QApplication::processEvents();
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    QApplication::processEvents();
    return ready();
  }
  static bool Counted(TFullTextForm* w)
  {
    return Until([w] {
      w->updateMenus();
      return w->CountDone();
    });
  }
  // An item whose source is a download that the test fills.
  FakeDownload* AppendDownload(const std::string& url, const std::string& body)
  {
    auto item = std::make_unique<TCorpusItem>();
    item->Name = url;
    auto download = std::make_unique<FakeDownload>(folder_.write("DL" + std::to_string(CorpusList.Count()), body),
                                                   url, -1);
    FakeDownload* d = download.get();
    item->Source = std::move(download);
    CorpusList.Append(std::move(item));
    return d;
  }
  std::string PrintTo(TFullTextForm& w)
  {
    const std::string pdf = folder_.file("print.pdf");
    std::filesystem::remove(pdf);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(pdf));
    const TPrinterLookup old = SetPrinterLookup([&] { return &printer; });
    w.updateMenus();  // as when the program goes idle
    w.TMT_Print->trigger();
    SetPrinterLookup(old);
    return std::filesystem::exists(pdf) ? readFile(pdf) : std::string();
  }
};

TEST_F(FullTextFormTest, TheFirstLoadedFileOpensAndShowingAgainRestoresItsWindow)
{
  const std::string a = folder_.write("a.txt", Lines(3));
  const std::string b = folder_.write("b.txt", "b\r\n");
  Start({a, b});
  TFullTextForm* w = FindFullTextForm(a);
  ASSERT_TRUE(w);
  EXPECT_EQ(FindFullTextForm(b), nullptr);
  EXPECT_EQ(w->windowTitle(), QStringLiteral("Corpus Text - a.txt"));
  ASSERT_TRUE(Counted(w));
  EXPECT_EQ(w->Lines()->Count(), 3);
  EXPECT_EQ(w->Lines()->Get(2), "line 2");
  EXPECT_EQ(frametest::MenuBarNames(Frame().menuBar()).find("TM_CorpusText") != std::string::npos, true);

  w->subWindow()->showMaximized();
  EXPECT_EQ(ShowFullText(a), w);
  EXPECT_FALSE(w->subWindow()->isMaximized());
  EXPECT_EQ(ShowFullText(a, 1), w);
  EXPECT_TRUE(w->subWindow()->isMinimized());
  EXPECT_EQ(ShowFullText(folder_.file("not-loaded.txt")), nullptr);

  AppendDownload("http://host.example/dir/t.txt", "x\n")->done_ = true;
  TFullTextForm* u = ShowFullText("http://host.example/dir/t.txt");
  ASSERT_TRUE(u);
  EXPECT_EQ(u->windowTitle(), QStringLiteral("Corpus Text - http://host.example/dir/t.txt"));

  w->TMT_CloseAll->trigger();
  EXPECT_EQ(FindFullTextForm(a), nullptr);
  EXPECT_EQ(FindFullTextForm("http://host.example/dir/t.txt"), nullptr);
}

TEST_F(FullTextFormTest, TheFirstScreenFillsWhileADownloadIsCountedAndPrintFollowsTheCount)
{
  Start();
  FakeDownload* d = AppendDownload("http://host.example/grow.txt", "one\ntwo\nth");
  TFullTextForm* w = ShowFullText("http://host.example/grow.txt");
  ASSERT_TRUE(w);
  ASSERT_TRUE(Until([w] { return w->TextWindow->LastLaidOutItem() == 1; }));
  EXPECT_FALSE(w->TextWindow->ViewFull());
  w->updateMenus();
  EXPECT_FALSE(w->TMT_Print->isEnabled());

  std::ofstream(d->FileName, std::ios::binary | std::ios::app) << "ree\n" << Lines(500, "\n");
  ASSERT_TRUE(Until([w] { return w->TextWindow->ViewFull(); }));
  d->done_ = true;
  ASSERT_TRUE(Counted(w));
  EXPECT_EQ(w->Lines()->Count(), 503);
  EXPECT_EQ(w->Lines()->Get(502), "line 499");
  EXPECT_TRUE(w->TMT_Print->isEnabled());
  BusySearching = true;
  w->updateMenus();
  EXPECT_FALSE(w->TMT_Print->isEnabled());
  BusySearching = false;
}

TEST_F(FullTextFormTest, PrintAsksAboveAHundredLinesAndCancelAbortsTheJob)
{
  const std::string hundred = folder_.write("h.txt", Lines(100));
  const std::string more = folder_.write("m.txt", Lines(101));
  const std::string pages = folder_.write("p.txt", Lines(3000));
  Start({hundred, more, pages});
  TFullTextForm* h = FindFullTextForm(hundred);
  TFullTextForm* m = ShowFullText(more);
  TFullTextForm* p = ShowFullText(pages);
  ASSERT_TRUE(h && m && p && Counted(h) && Counted(m) && Counted(p));

  const int forms = Dialogs.ProgressFormsCreated;
  EXPECT_EQ(PrintTo(*h).rfind("%PDF", 0), 0u);
  EXPECT_TRUE(Messages(mtConfirmation).empty());
  EXPECT_EQ(Dialogs.ProgressFormsCreated, forms + 1);

  Dialogs.Answers = {mrCancel};
  EXPECT_EQ(PrintTo(*m), "");
  EXPECT_EQ(Messages(mtConfirmation),
            (std::vector<std::string>{"Print complete text of corpus?\r\n(Approximately 101 lines)"}));
  Dialogs.Answers = {mrOk};
  EXPECT_EQ(PrintTo(*m).rfind("%PDF", 0), 0u);

  // Cancel at the first pump ends the job after one block: fewer pages.
  const auto pageCount = [](const std::string& pdf) {
    size_t n = 0;
    for (size_t at = pdf.find("/Type /Page\n"); at != std::string::npos; at = pdf.find("/Type /Page\n", at + 1))
      ++n;
    return n;
  };
  Dialogs.Answers = {mrOk};
  const size_t whole = pageCount(PrintTo(*p));
  EXPECT_GT(whole, 2u);
  {
    testsupport::FakeBridge bridge;
    bool closeRefused = false;
    bool busyDuringPrint = false;
    bridge.OnPump([&](int) {
      busyDuringPrint = BusyPrinting;
      closeRefused = !p->subWindow()->close();
    });
    bridge.PressCancelAt(1);
    Dialogs.Answers = {mrOk};
    EXPECT_LT(pageCount(PrintTo(*p)), whole);
    EXPECT_TRUE(closeRefused);
    EXPECT_TRUE(busyDuringPrint);
  }
  EXPECT_FALSE(BusyPrinting);
  EXPECT_TRUE(Messages(mtError).empty());

  const TPrinterLookup old = SetPrinterLookup([] { return static_cast<QPrinter*>(nullptr); });
  h->TMT_Print->trigger();
  SetPrinterLookup(old);
  EXPECT_EQ(Messages(mtError), (std::vector<std::string>{NoPrinterText}));
  EXPECT_FALSE(BusyPrinting);
  EXPECT_TRUE(h->subWindow()->close());
}

TEST_F(FullTextFormTest, SuppressAndChangedTagSettingsRelayTheText)
{
  const std::string a = folder_.write("a.txt", "a <x> [y] b\tc");
  Start({a});
  TFullTextForm* w = FindFullTextForm(a);
  ASSERT_TRUE(w && Counted(w));
  ConcordSettings.TagStart = '<';
  ConcordSettings.TagStop = '>';
  Frame().BroadcastTagsChanged();
  EXPECT_EQ(w->Lines()->Get(0), "a <x> [y] b c");
  w->TMT_SuppressTags->trigger();
  EXPECT_TRUE(w->TMT_SuppressTags->isChecked());
  EXPECT_EQ(w->Lines()->Get(0), "a  [y] b c");
  ConcordSettings.TagStart = '[';
  ConcordSettings.TagStop = ']';
  Frame().BroadcastTagsChanged();
  EXPECT_EQ(w->Lines()->Get(0), "a <x>  b c");

  TFontRec chosen = CorpusFont;
  chosen.Size = CorpusFont.Size + 6;
  const auto old = SetFullTextFontChooser([&](TFontRec& font, const QString&) {
    font = chosen;
    return true;
  });
  const int before = w->TextWindow->LineHeight();
  w->TMT_ChangeFont->trigger();
  SetFullTextFontChooser(old);
  EXPECT_EQ(CorpusFont.Size, chosen.Size);
  EXPECT_GT(w->TextWindow->LineHeight(), before);
}

TEST_F(FullTextFormTest, ANewWindowReadsWithTheTagSettingsOfTheMoment)
{
  Start();
  ConcordSettings.TagStart = '[';
  ConcordSettings.TagStop = ']';
  const std::string a = folder_.write("a.txt", "a [x] b <y>");
  LoadCorpusItems(Frame(), {a});
  TFullTextForm* w = FindFullTextForm(a);
  ASSERT_TRUE(w && Counted(w));
  w->TMT_SuppressTags->trigger();
  EXPECT_EQ(w->Lines()->Get(0), "a  b <y>");
}

TEST_F(FullTextFormTest, RemovingOrReloadingAnItemWhileItIsCountedClosesItsWindowFirst)
{
  Start();
  AppendDownload("http://host.example/a.txt", Lines(5));  // never done: counting goes on
  TFullTextForm* w = ShowFullText("http://host.example/a.txt");
  ASSERT_TRUE(w);
  ASSERT_TRUE(Until([w] { return w->Lines()->Count() == 4; }));
  EXPECT_TRUE(w->Lines()->IsCounting());
  RemoveCorpusItem(Frame(), 0);
  EXPECT_EQ(FindFullTextForm("http://host.example/a.txt"), nullptr);
  EXPECT_EQ(CorpusList.Count(), 0);

  // A URL item opened from a kept copy is downloaded again on Reload.
  auto item = std::make_unique<TCorpusItem>();
  item->Name = "http://host.example/b.txt";
  item->Source = std::make_unique<TFileSynchroStream>(folder_.write("kept.tmp", Lines(20000)), CorpusFileMode);
  CorpusList.Append(std::move(item));
  ASSERT_TRUE(ShowFullText("http://host.example/b.txt"));
  SetDownloadFactory([&](const std::string& url) {
    auto d = std::make_unique<FakeDownload>(folder_.write("fresh.tmp", "fresh\r\n"), url, 7);
    d->done_ = true;
    return d;
  });
  ReloadCorpusItem(Frame(), {0});
  EXPECT_EQ(FindFullTextForm("http://host.example/b.txt"), nullptr);
  EXPECT_NE(dynamic_cast<TDownloadStream*>(CorpusList[0].Source.get()), nullptr);
}

}  // namespace
