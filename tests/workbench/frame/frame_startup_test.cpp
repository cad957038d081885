#include "workbench/frame/frame_test_support.h"

#include "foundation/config_file.h"
#include "foundation/stop_list.h"
#include "platform/safe_write.h"
#include "workbench/frame/menu_table.h"
#include "workbench/dialogs/search_template_dlg.h"
#include "workbench/dialogs/stop_list_dlg.h"


#include <QLabel>
#include <QMenuBar>
#include <filesystem>

using frametest::FrameTest;
using frametest::MenuBarNames;

namespace {

class FrameStartupTest : public FrameTest
{
protected:
  FrameStartupTest()
  {
    first = folder_.write("first.txt", "One two three.\r\nFour five.\r\n");
    second = folder_.write("second.txt", "Six seven eight nine ten.\r\n");
  }

  std::string SettingsFile() const { return folder_.path() + "config/quillmar/QUILPRO.INI"; }

  std::string first;
  std::string second;
};

}  // namespace

TEST_F(FrameStartupTest, TwoCorpusFilesAreLoadedInOrderAndShown)
{
  std::vector<std::string> shown;
  forms_ = StartQuillmar({first, second});
  forms_.Frame->ShowFullTextHook = [&](const std::string& name) { shown.push_back(name); };
  QApplication::processEvents();
  TFrameForm& frame = Frame();
  frame.UpdateMenuState();  // what the next idle moment does

  EXPECT_EQ(CorpusList.Names(), (std::vector<std::string>{first, second}));
  EXPECT_EQ(shown, std::vector<std::string>{first});
  EXPECT_EQ(frame.HintWindow->text(), QStringLiteral(" 2 files in current corpus"));
  EXPECT_TRUE(frame.CorpusInfoWindow->text().endsWith(QStringLiteral("bytes, 2 files")));
  EXPECT_EQ(MenuBarNames(frame.menuBar()), "FM_File FM_Concordance FM_Frequency FM_Info");
  EXPECT_TRUE(Messages(mtError).empty());
  EXPECT_FALSE(frame.windowIcon().isNull());  // the program's own icon

  for (const char* name : {"FMF_View", "FMF_Close", "FMC_Generate", "FMQ_WordListFreq", "FMQ_Frequency",
                           "FMF_CollectTagInfo"})
    frame.RegisterCommand(QString::fromLatin1(name), [] {});
  frame.UpdateMenuState();
  EXPECT_TRUE(Item("FMF_View")->isEnabled());
  EXPECT_TRUE(Item("FMF_Close")->isEnabled());
  EXPECT_TRUE(Item("FMC_Generate")->isEnabled());
  EXPECT_TRUE(Item("FMQ_WordListFreq")->isEnabled());
  EXPECT_FALSE(Item("FMQ_Frequency")->isEnabled());  // no concordance window
  EXPECT_EQ(Item("FMF_CollectTagInfo")->isEnabled(), frame.FilesNeedCollecting());
  {
    BusyScope busy(BusyCollecting);
    frame.UpdateMenuState();
    EXPECT_TRUE(Item("FMF_View")->isEnabled());  // also while busy
    EXPECT_FALSE(Item("FMF_Close")->isEnabled());
    EXPECT_FALSE(Item("FMC_Generate")->isEnabled());
    EXPECT_FALSE(Item("FMF_CollectTagInfo")->isEnabled());
  }
}

TEST_F(FrameStartupTest, ItemsLackingTheirCountsNeedCollecting)
{
  TFrameForm& frame = Start({first});
  ASSERT_EQ(CorpusList.Count(), 1);
  CorpusList[0].WordCount = 7;
  const bool pages = CorpusList[0].PageIndex.Present();
  EXPECT_EQ(frame.FilesNeedCollecting(), !pages);
  CorpusList[0].WordCount = 0;
  EXPECT_TRUE(frame.FilesNeedCollecting());
}

TEST_F(FrameStartupTest, AWorkspaceThatFailsToOpenLoadsNothing)
{
  const std::string workspace = folder_.write("Study.qws", "Not a workspace at all.\r\n");
  std::vector<std::string> tried;
  forms_ = StartQuillmar({workspace, first});
  forms_.Frame->OpenWorkspaceHook = [&](const std::string& name) {
    tried.push_back(name);
    return false;
  };
  QApplication::processEvents();
  EXPECT_EQ(tried, std::vector<std::string>{workspace});
  EXPECT_TRUE(CorpusList.Empty());
  EXPECT_FALSE(FirstActivation);

  // Activations after the first load nothing more.
  Frame().FormActivate();
  EXPECT_TRUE(CorpusList.Empty());
  EXPECT_EQ(tried.size(), 1u);
}

TEST_F(FrameStartupTest, OnlyTheFirstArgumentCanBeAWorkspace)
{
  const std::string workspace = folder_.write("w.QWS", "text\r\n");
  int tried = 0;
  forms_ = StartQuillmar({first, workspace});
  forms_.Frame->OpenWorkspaceHook = [&](const std::string&) { return ++tried > 0; };
  QApplication::processEvents();
  EXPECT_EQ(tried, 0);
  EXPECT_EQ(CorpusList.Names(), (std::vector<std::string>{first, workspace}));
}

TEST_F(FrameStartupTest, StartupReadsTheSettingsAndTheSaveOnExitFlag)
{
  std::filesystem::create_directories(folder_.path() + "config/quillmar");
  folder_.write("config/quillmar/QUILPRO.INI",
                "[GeneralConfiguration]\r\nSaveOnExit=1\r\nWorkspacePath=/data/ws/\r\n");
  Start();
  EXPECT_TRUE(SaveOnExit);
  EXPECT_EQ(WorkspacePath, "/data/ws/");
  EXPECT_NE(ViewStopListDlg, nullptr);
  EXPECT_EQ(ViewStopListDlg->parent(), &Frame());
  ASSERT_NE(SearchTemplateDlg, nullptr);
  EXPECT_EQ(SearchTemplateDlg->parent(), &Frame());
  // Created in their order, after the frame.
  const QObjectList children = Frame().children();
  EXPECT_LT(children.indexOf(ViewStopListDlg.data()), children.indexOf(SearchTemplateDlg));
}

TEST_F(FrameStartupTest, CloseAsksThenWritesTheSettingsFile)
{
  TFrameForm& frame = Start();
  GlobalStopList.SetWords({"the", "a"});
  Dialogs.Answers = {mrNo};
  EXPECT_FALSE(frame.close());
  EXPECT_EQ(Messages(mtConfirmation), std::vector<std::string>{"Do you really want to quit?"});
  EXPECT_FALSE(std::filesystem::exists(SettingsFile()));
  EXPECT_EQ(GlobalStopList.Words().size(), 2u);

  Dialogs.Answers = {mrYes};
  EXPECT_TRUE(frame.close());
  EXPECT_TRUE(std::filesystem::exists(SettingsFile()));
  EXPECT_FALSE(std::filesystem::exists(folder_.path() + "program/QUILPRO.INI"));
  EXPECT_TRUE(GlobalStopList.Words().empty());
}

TEST_F(FrameStartupTest, AFailedSettingsWriteIsShownAndTheCloseGoesAhead)
{
  TFrameForm& frame = Start();
  frame.ConfirmOnExit = false;
  platform::setWriteFaultHook([](int) { return false; });
  const bool closed = frame.close();
  platform::setWriteFaultHook({});
  EXPECT_TRUE(closed);
  ASSERT_EQ(Messages(mtError).size(), 1u);
  EXPECT_EQ(Messages(mtError)[0].rfind("Could not write to configuration file ", 0), 0u);
}

TEST_F(FrameStartupTest, WorkspaceWithSaveOnExitIsSavedInsteadOfTheSettings)
{
  TFrameForm& frame = Start();
  std::vector<std::string> saved;
  frame.SaveWorkspaceHook = [&](const std::string& name) {
    saved.push_back(name);
    return true;
  };
  frame.WorkspaceName = folder_.file("w.QWS");
  SaveOnExit = true;
  frame.FMF_ExitClick();
  EXPECT_TRUE(Dialogs.Messages.empty());
  EXPECT_EQ(saved, std::vector<std::string>{folder_.file("w.QWS")});
  EXPECT_FALSE(std::filesystem::exists(SettingsFile()));
}

TEST_F(FrameStartupTest, EveryItemFollowsItsRuleWithACorpusIdleAndBusy)
{
  TFrameForm& frame = Start({first, second});
  for (const TMenuEntry& entry : FrameMenuTable())
    if (entry.Kind == TMenuEntryKind::Item)
      frame.RegisterCommand(QString::fromLatin1(entry.Name), [] {});
  const auto enabledItems = [&] {
    frame.UpdateMenuState();
    std::string names;
    for (const TMenuEntry& entry : FrameMenuTable())
      if (entry.Kind == TMenuEntryKind::Item && frame.Item(QString::fromLatin1(entry.Name))->isEnabled())
        names += (names.empty() ? "" : " ") + std::string(entry.Name);
    return names;
  };
  for (int32_t i = 0; i < CorpusList.Count(); ++i)
    CorpusList[i].WordCount = 0;  // not counted yet: collecting is offered

  EXPECT_EQ(enabledItems(),
            "FMF_Open FMF_URL ScanFrequencyonLoadItem FMF_Close FMF_View FMF_LoadWorkspace FMF_SaveWorkspaceAs "
            "FMF_CollectTagInfo CMD_TagSettings CMD_WordTagSettings FMF_Language FMF_PrintSetup FMF_Exit "
            "FMC_Generate FMC_GenerateAdvanced FMC_Configure FMQ_WordListFreq FMQ_WordListAlpha "
            "FMQ_BatchWordListFreq FMQ_BatchWordListAlpha FMQ_FreqOptions CMD_Font FMW_Tile FMW_Cascade "
            "FMW_ArrangeIcons FMI_Help FMI_About");

  PendingURLCount = 1;
  frame.WorkspaceName = folder_.file("w.QWS");
  BusyScope busy(BusySearching);
  EXPECT_EQ(enabledItems(),
            "ScanFrequencyonLoadItem FMF_StopURLsloading FMF_View FMC_SaveOnExit CMD_Font FMW_Tile FMW_Cascade "
            "FMW_ArrangeIcons FMI_Help FMI_About");
  PendingURLCount = 0;
}
