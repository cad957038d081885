#include "foundation/workspace.h"
#include "workbench/dialogs/corpora_list_dlg.h"
#include "workbench/frame/frame_test_support.h"

#include <QListView>
#include <QPushButton>

namespace {

class WorkspaceFrameTest : public frametest::FrameTest {
protected:
  WorkspaceFrameTest()
  {
    ResetWorkspaceState();
    first = folder_.write("first.txt", "One two three.\r\nFour five.\r\n");
    second = folder_.write("second.txt", "Six seven eight nine ten.\r\n");
  }
  ~WorkspaceFrameTest() override { SetDownloadFactory(nullptr); }
  void run(const char* name)
  {
    // The Keep options as the options dialog opens with them, without the dialog.
    SetWorkspaceOptionsEditor(nullptr);
    Frame().UpdateMenuState();
    Item(name)->trigger();
  }
  std::string first, second;
  frametest::ChosenFiles chosen;
};

// A download whose known size has arrived but which never reports its end.
class EndlessDownload : public TDownloadStream {
public:
  EndlessDownload(const std::string& file, std::string url) : TDownloadStream(file, KeptCopyMode), url_(std::move(url))
  {
    TempCopy = true;
  }
  std::string URL() const override { return url_; }
  bool Done() const override { return false; }
  bool SizeKnown() const override { return true; }

private:
  std::string url_;
};

}  // namespace

TEST_F(WorkspaceFrameTest, SaveAsThenReopenFromTheCommandLine)
{
  TFrameForm& frame = Start({first, second});
  const std::string qws = folder_.file("Study.QWS");
  chosen.Answers = {qws};
  run("FMF_SaveWorkspaceAs");
  ASSERT_EQ(chosen.Shown.size(), 1u);
  EXPECT_EQ(chosen.Shown[0].Title, "Save Workspace As");
  EXPECT_EQ(frame.WorkspaceName, qws);
  EXPECT_EQ(frame.windowTitle(), QStringLiteral("Quillmar Pro - Study"));
  frame.UpdateMenuState();
  EXPECT_TRUE(Item("FMF_SaveWorkspace")->isEnabled());
  // Save On Exit is written at once.
  run("FMC_SaveOnExit");
  EXPECT_TRUE(SaveOnExit);
  frame.FMF_ExitClick();
  EXPECT_TRUE(CorpusList.Empty());  // every item went with the close

  forms_ = {};
  InitProgramState();
  FirstActivation = true;
  TFrameForm& again = Start({qws});
  EXPECT_EQ(CorpusList.Names(), (std::vector<std::string>{first, second}));
  EXPECT_EQ(again.WorkspaceName, qws);
  EXPECT_TRUE(Messages(mtError).empty());
}

TEST_F(WorkspaceFrameTest, ADamagedWorkspaceOnTheCommandLineLoadsNoCorpus)
{
  const std::string damaged = folder_.write("damaged.QWS", "[Corpus files]\r\nFileCount=-3\r\n");
  Start({damaged, first});
  EXPECT_EQ(Messages(mtError), std::vector<std::string>{"Invalid workspace file: " + damaged});
  EXPECT_TRUE(CorpusList.Empty());
  EXPECT_TRUE(Frame().WorkspaceName.empty());
}

TEST_F(WorkspaceFrameTest, TheCorporaDialogShowsAndRemoves)
{
  Start({first, second});
  run("FMF_View");
  ASSERT_TRUE(CorporaListDlg);
  TCorporaListDlg& dlg = *CorporaListDlg;
  EXPECT_TRUE(dlg.isVisible());
  EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Select File(s) to View"));
  ASSERT_EQ(dlg.CorporaList->model()->rowCount(), 2);
  EXPECT_FALSE(dlg.RemoveBtn->isEnabled());
  dlg.CorporaList->setCurrentIndex(dlg.CorporaList->model()->index(1, 0));
  EXPECT_TRUE(dlg.RemoveBtn->isEnabled());
  EXPECT_FALSE(dlg.ReloadBtn->isEnabled());
  dlg.RemoveBtn->click();
  EXPECT_EQ(CorpusList.Names(), (std::vector<std::string>{first}));
  EXPECT_EQ(dlg.CorporaList->model()->rowCount(), 1);
  dlg.CorporaList->setCurrentIndex(dlg.CorporaList->model()->index(0, 0));
  dlg.RemoveBtn->click();
  EXPECT_TRUE(CorpusList.Empty());
  EXPECT_FALSE(dlg.isVisible());
}

TEST_F(WorkspaceFrameTest, AnExitWithARunningDownloadRemovesItsBody)
{
  TFrameForm& frame = Start({first});
  std::string body;
  SetDownloadFactory([&](const std::string& url) {
    body = folder_.write("IST1.tmp", "partial");
    return std::make_unique<EndlessDownload>(body, url);
  });
  std::string url = "http://slow.example/text";
  ASSERT_TRUE(AddCorpusItem(frame, url, ""));
  frame.FMF_ExitClick();
  EXPECT_TRUE(CorpusList.Empty());
  EXPECT_FALSE(std::filesystem::exists(body));
}
