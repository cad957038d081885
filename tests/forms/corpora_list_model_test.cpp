#include "forms/corpora_list_model.h"

#include "foundation/settings.h"
#include "support/corpus_fixture.h"

#include <gtest/gtest.h>

using testsupport::CorpusFixture;
using testsupport::ScratchFolder;

namespace {

class CorporaListModelTest : public CorpusFixture {
protected:
  void SetUp() override
  {
    CorpusFixture::SetUp();
    // Two files around a URL opened from a kept copy.
    WorkspaceFolder = kept.path();
    kept.write("K1.tmp", "kept text\r\n");
    const std::vector<std::string> flags = {"", "U.K1 ", ""};
    LoadCorpusItems(frame, {files.write("a.txt", "a"), "http://x.example/k", files.write("b.txt", "b")}, &flags);
    hooks.RemoveFileHits = [this](int32_t i) { log.push_back("hits " + std::to_string(i)); };
    hooks.ResetDistributions = [this] { log.push_back("reset"); };
    hooks.CloseDialog = [this] { log.push_back("close"); };
    hooks.BringToFront = [this] { log.push_back("front"); };
  }
  ScratchFolder kept;
  TCorporaListModel::THooks hooks;
  std::vector<std::string> log;
};

}  // namespace

TEST_F(CorporaListModelTest, ButtonsFollowTheSelectionAndTheBusyState)
{
  ASSERT_EQ(CorpusList.Count(), 3);
  TCorporaListModel model(frame, hooks);
  struct Case {
    std::vector<int32_t> selected;
    int32_t current;
    bool remove, show, reload;
  };
  for (const Case& c : {Case{{}, 0, false, false, false}, Case{{0}, -1, false, false, false},
                        Case{{0, 2}, 0, true, true, false}, Case{{0, 1}, 1, true, true, true}}) {
    model.SetSelection(c.selected, c.current);
    model.UpdateCorporaButtons();
    EXPECT_EQ(model.RemoveEnabled, c.remove);
    EXPECT_EQ(model.ShowEnabled, c.show);
    EXPECT_EQ(model.ReloadEnabled, c.reload);
  }
  BusyScope busy(BusySearching);
  model.UpdateCorporaButtons();
  EXPECT_FALSE(model.RemoveEnabled);
  model.RemoveSelectedCorpora();
  EXPECT_EQ(CorpusList.Count(), 3);
}

TEST_F(CorporaListModelTest, RemovalGoesLastToFirstAndAnEmptyCorpusClosesEverything)
{
  TCorporaListModel model(frame, hooks);
  model.SetSelection({0, 2}, 2);
  model.RemoveSelectedCorpora();
  EXPECT_EQ(log, (std::vector<std::string>{"hits 2", "hits 0", "reset", "front"}));
  ASSERT_EQ(CorpusList.Names(), (std::vector<std::string>{"http://x.example/k"}));
  EXPECT_EQ(model.Selected, (std::vector<bool>{false}));
  EXPECT_TRUE(std::filesystem::exists(kept.file("K1.tmp")));  // a kept copy is never deleted

  log.clear();
  model.SetSelection({0}, 0);
  model.RemoveSelectedCorpora();
  EXPECT_EQ(log, (std::vector<std::string>{"hits 0", "close"}));
  EXPECT_EQ(frame.Calls.back(), "forget word lists");
}

TEST_F(CorporaListModelTest, ShowGoesFirstToLastAndReloadDownloadsTheKeptURL)
{
  TCorporaListModel model(frame, hooks);
  frame.Calls.clear();
  model.SetSelection({2, 1}, 1);
  model.DoubleClick();
  EXPECT_EQ(frame.Calls, (std::vector<std::string>{"show http://x.example/k", "show " + CorpusList[2].Name}));
  EXPECT_TRUE(model.SelectedItems().empty());
  EXPECT_EQ(log, (std::vector<std::string>{"front", "close"}));

  std::vector<std::string> requested;
  SetDownloadFactory([&](const std::string& url) -> std::unique_ptr<TDownloadStream> {
    requested.push_back(url);
    throw std::runtime_error("offline");
  });
  model.SetSelection({0, 1}, 0);
  model.ReloadClick();
  EXPECT_EQ(requested, (std::vector<std::string>{"http://x.example/k"}));
  EXPECT_EQ(log.back(), "close");
}
