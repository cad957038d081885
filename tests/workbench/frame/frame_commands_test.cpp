#include "workbench/frame/frame_test_support.h"

#include "foundation/abort.h"
#include "foundation/corpus_list.h"
#include "foundation/settings.h"
#include "foundation/tag_scan.h"
#include "support/fake_download.h"
#include "workbench/frame/frame_commands.h"
#include "workbench/frame/frame_dialogs.h"
#include "workbench/output/text_sink.h"


#include <QMdiArea>
#include <QMdiSubWindow>
#include <deque>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <fstream>
#include <thread>

using frametest::FrameTest;
using frametest::TTestChild;

namespace {

// File dialogs answered from a script; every dialog shown is kept.
class ScriptedFileDialogs : public TFileDialogProvider {
public:
  ScriptedFileDialogs() : previous_(SetFileDialogProvider(this)) {}
  ~ScriptedFileDialogs() override { SetFileDialogProvider(previous_); }
  bool ExecuteFileDialog(TFileDialog& dialog) override
  {
    Shown.push_back(dialog);
    if (Answers.empty())
      return false;
    dialog.Files = Answers.front();
    Answers.pop_front();
    dialog.FileName = dialog.Files.empty() ? std::string() : dialog.Files.front();
    return !dialog.Files.empty();
  }
  bool ExecutePrinterSetup() override
  {
    ++PrinterSetups;
    return true;
  }
  std::deque<std::vector<std::string>> Answers;
  std::vector<TFileDialog> Shown;
  int PrinterSetups = 0;

private:
  TFileDialogProvider* previous_;
};

class RecordingHelp : public THelpService {
public:
  RecordingHelp() : previous_(SetHelpService(this)) {}
  ~RecordingHelp() override { SetHelpService(previous_); }
  bool OpenHelpFile(const std::string& path) override
  {
    Opened.push_back(path);
    return true;
  }
  std::vector<std::string> Opened;

private:
  THelpService* previous_;
};

class FrameCommandsTest : public FrameTest {
protected:
  FrameCommandsTest()
  {
    std::filesystem::create_directories(folder_.path() + "program");
    a = folder_.write("a.txt", "<sp>One</sp> two three.\r\nFour five.\r\n");
    b = folder_.write("b.txt", "Six seven <sp>eight</sp> nine ten.\r\n");
  }
  ~FrameCommandsTest() override { WatchedTags.clear(); }

  void Trigger(const char* name)
  {
    Frame().UpdateMenuState();
    ASSERT_TRUE(Item(name)->isEnabled()) << name;
    Item(name)->trigger();
  }

  ScriptedFileDialogs files_;
  std::string a, b;
};

}  // namespace

TEST_F(FrameCommandsTest, OpenLoadsTheChosenFilesInDialogOrder)
{
  Start();
  CorpusPath = folder_.path();
  files_.Answers.push_back({b, a});
  Trigger("FMF_Open");
  ASSERT_EQ(files_.Shown.size(), 1u);
  const TFileDialog& d = files_.Shown[0];
  EXPECT_EQ(d.Title, "Select File(s) to Open");
  EXPECT_EQ(d.FilterIndex, 2);
  EXPECT_EQ(d.InitialDir, folder_.path());
  EXPECT_TRUE(d.Options & ofAllowMultiSelect);
  EXPECT_EQ(CorpusList.Names(), (std::vector<std::string>{b, a}));

  // Cancel loads nothing; Unload Corpus empties the list.
  Trigger("FMF_Open");
  EXPECT_EQ(CorpusList.Count(), 2);
  Trigger("FMF_Close");
  EXPECT_EQ(CorpusList.Count(), 0);
}

TEST_F(FrameCommandsTest, CollectTagInfoBuildsMissingIndexesAndEndsNotBusy)
{
  Start({a, b});
  WatchedTags.push_back(TWatchedTag::Make("Speaker", "<sp>", "</sp>"));
  EXPECT_TRUE(Frame().FilesNeedCollecting());
  Trigger("FMF_CollectTagInfo");
  EXPECT_FALSE(IsBusy());
  for (int32_t i = 0; i < CorpusList.Count(); ++i) {
    EXPECT_TRUE(CorpusList[i].TagIndex.Present());
    EXPECT_GT(CorpusList[i].WordCount, 0);
  }
  EXPECT_FALSE(Frame().FilesNeedCollecting());
}

TEST_F(FrameCommandsTest, ScanOnLoadTickFollowsTheSetting)
{
  Start();
  const bool before = FrequencySettings.ScanTextsOnLoad;
  Trigger("ScanFrequencyonLoadItem");
  EXPECT_NE(FrequencySettings.ScanTextsOnLoad, before);
  Frame().UpdateMenuState();
  EXPECT_EQ(Item("ScanFrequencyonLoadItem")->isChecked(), FrequencySettings.ScanTextsOnLoad);
}

TEST_F(FrameCommandsTest, HelpOpensTheHtmlRenditionOrReportsTheMissingFile)
{
  RecordingHelp help;
  Start();
  Trigger("FMI_Help");
  const std::string hlp = folder_.path() + "program/QX2.2.HLP";
  EXPECT_EQ(Messages(mtError), std::vector<std::string>{"Unable to open file: " + hlp + "."});
  EXPECT_TRUE(help.Opened.empty());
  folder_.write("program/QX2.2.html", "<html></html>");
  Trigger("FMI_Help");
  EXPECT_EQ(help.Opened, std::vector<std::string>{folder_.path() + "program/QX2.2.html"});
}

TEST_F(FrameCommandsTest, HelpWithoutABrowserNamesTheGuide)
{
  // The desktop's opener finds no browser and says so by its exit code.
  const std::string bin = folder_.path() + "bin";
  std::filesystem::create_directories(bin);
  const std::string asked = folder_.path() + "asked.txt";
  const std::string opener = folder_.write("bin/xdg-open", "#!/bin/sh\necho \"$1\" > '" + asked + "'\nexit 3\n");
  std::filesystem::permissions(opener, std::filesystem::perms::owner_all);
  const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
  ::setenv("PATH", (bin + ":" + path).c_str(), 1);
  Start();
  const std::string guide = folder_.write("program/QX2.2.html", "<html></html>");
  Trigger("FMI_Help");
  for (int i = 0; i < 500 && Messages(mtError).empty(); ++i) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ::setenv("PATH", path.c_str(), 1);
  EXPECT_EQ(Messages(mtError), std::vector<std::string>{"Unable to open file: " + guide + "."});
  std::ifstream in(asked);
  std::string url;
  std::getline(in, url);
  EXPECT_EQ(url, "file://" + guide);
}

// A download whose rest arrives once the test has looked at the frame
// while the load scan waited for it.
class ArrivingDownload : public testsupport::FakeDownload {
public:
  using FakeDownload::FakeDownload;
  bool WaitForPosition(int32_t) override
  {
    if (!done_) {
      whileWaiting();
      done_ = true;
    }
    return true;
  }
  std::function<void()> whileWaiting;
};

TEST_F(FrameCommandsTest, SearchIsOpenWhileADownloadIsScanned)
{
  TFrameForm& frame = Start();
  std::vector<bool> enabled;
  SetDownloadFactory([&](const std::string& url) {
    auto d = std::make_unique<ArrivingDownload>(folder_.write("IST1.tmp", "arriving words\r\n"), url, -1);
    d->whileWaiting = [&] {
      frame.UpdateMenuState();
      for (const char* name : {"FMC_Generate", "FMC_GenerateAdvanced", "FMC_Configure", "FMF_Open"})
        enabled.push_back(Item(name)->isEnabled());
      // The scan's box leaves the keyboard to the main window.
      const ProgressDialog* box = ProgressDialog::Topmost();
      enabled.push_back(box && box->Visible() && box->Background());
    };
    return d;
  });
  LoadCorpusItems(frame, {"http://host.example/t"});
  SetDownloadFactory(nullptr);
  // Searching, yes; what would change the corpus or the scan's rules, no.
  EXPECT_EQ(enabled, (std::vector<bool>{true, true, false, false, true}));
  EXPECT_FALSE(CollectingArrivingURL);
}

TEST_F(FrameCommandsTest, StopIsOpenWhileADownloadConnects)
{
  TFrameForm& frame = Start();
  bool stoppable = false;
  int started = 0;
  SetDownloadFactory([&](const std::string&) -> std::unique_ptr<TDownloadStream> {
    ++started;
    // As the download's constructor lets events run before its header.
    frame.UpdateMenuState();
    stoppable = Item("FMF_StopURLsloading")->isEnabled();
    Item("FMF_StopURLsloading")->trigger();
    EXPECT_TRUE(StopLoadingURLs);
    throw EAbort();
  });
  LoadCorpusItems(frame, {"http://host.example/t", "http://host.example/u"});
  SetDownloadFactory(nullptr);
  EXPECT_TRUE(stoppable);
  EXPECT_EQ(started, 1);  // the stop skips the next URL
  EXPECT_TRUE(CorpusList.Empty());
  EXPECT_TRUE(Messages(mtError).empty());
}

TEST_F(FrameCommandsTest, PrintSetupNeedsAPrinter)
{
  Start();
  const TPrinterLookup old = SetPrinterLookup([] { return static_cast<QPrinter*>(nullptr); });
  Trigger("FMF_PrintSetup");
  SetPrinterLookup(old);
  EXPECT_EQ(Messages(mtError), std::vector<std::string>{NoPrinterText});
  EXPECT_EQ(files_.PrinterSetups, 0);
}

TEST_F(FrameCommandsTest, CloseAllClosesConcordanceWindowsAndIconsLineUpAtTheBottom)
{
  Start();
  TFrameForm& frame = Frame();
  auto* text = new TTestChild(mkFullText, "text");
  auto* conc1 = new TTestChild(mkConcordance, "c1");
  auto* conc2 = new TTestChild(mkConcordance, "c2");
  for (TTestChild* c : {text, conc1, conc2})
    frame.AddChildWindow(c);
  frame.resize(800, 600);
  QApplication::processEvents();

  conc1->subWindow()->showMinimized();
  conc2->subWindow()->showMinimized();
  Trigger("FMW_ArrangeIcons");
  const int bottom = frame.ClientArea->viewport()->height();
  EXPECT_EQ(conc1->subWindow()->geometry().bottom() + 1, bottom);
  EXPECT_EQ(conc1->subWindow()->x(), 0);
  EXPECT_EQ(conc2->subWindow()->x(), conc1->subWindow()->width());

  Trigger("FMC_CloseAll");
  QApplication::processEvents();
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  ASSERT_EQ(frame.ChildWindows().size(), 1u);
  EXPECT_EQ(frame.ChildWindows()[0]->kind(), mkFullText);
}

namespace {

// A window of kind 3 to 5 that records what the frame asks of it.
class TListChild : public TTestChild, public TListWindowCommands {
public:
  TListChild(int kind, std::vector<std::string>& log) : TTestChild(kind, "list"), log_(log) {}
  void SaveCommand() override
  {
    log_.push_back(std::string("save") + (BusySaving ? " busy" : ""));
    if (Throw)
      throw std::runtime_error("disk full");
  }
  void PrintCommand() override { log_.push_back(std::string("print") + (BusyPrinting ? " busy" : "")); }
  void CopyCommand() override { log_.push_back(std::string("copy") + (IsBusy() ? " busy" : "")); }
  void FontCommand() override { log_.push_back("font " + std::to_string(kind())); }
  void TakeFrequencyFont() override { log_.push_back("frequency font " + std::to_string(kind())); }
  bool Throw = false;

private:
  std::vector<std::string>& log_;
};

}  // namespace

TEST_F(FrameCommandsTest, ListCommandsDispatchOnTheActiveKindWithTheirBusyFlags)
{
  Start({a});
  TFrameForm& frame = Frame();
  std::vector<std::string> log;
  auto* comparison = new TListChild(mkCorpusComp, log);
  auto* words = new TListChild(mkWordList, log);
  frame.AddChildWindow(comparison);
  frame.AddChildWindow(words);
  frame.ClientArea->setActiveSubWindow(words->subWindow());
  for (const char* name : {"FMQ_Save", "FMQ_Print", "FMQ_CopyClipboard", "CMD_Font"})
    Trigger(name);
  EXPECT_EQ(log, (std::vector<std::string>{"save busy", "print busy", "copy", "font 4", "frequency font 5"}));

  // A failing save leaves the program idle; the failure passes on.
  words->Throw = true;
  TFrameCommands* commands = InstallFrameCommands(frame);
  EXPECT_THROW(commands->FMQ_SaveClick(), std::runtime_error);
  EXPECT_FALSE(IsBusy());

  // Another kind does nothing.
  log.clear();
  auto* text = new TTestChild(mkFullText, "text");
  frame.AddChildWindow(text);
  frame.ClientArea->setActiveSubWindow(text->subWindow());
  commands->FMQ_SaveClick();
  commands->CMD_FontClick();
  EXPECT_TRUE(log.empty());
}
