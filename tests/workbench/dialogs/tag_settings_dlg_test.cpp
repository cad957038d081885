#include "workbench/frame/frame_test_support.h"

#include "foundation/tag_scan.h"
#include "workbench/dialogs/tag_cfg_dlg.h"
#include "workbench/dialogs/word_tags_cfg_dlg.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include <filesystem>
#include <functional>

using frametest::FrameTest;
using frametest::TTestChild;

namespace {

class TagSettingsDlgTest : public FrameTest {
protected:
  TagSettingsDlgTest()
  {
    std::filesystem::create_directories(folder_.path() + "program");
    a_ = folder_.write("a.txt", "<sp>One</sp> two/NN three.\r\n<pb>Four five.\r\n");
    SetTagDialogRunner([this](QDialog& d) {
      d.setResult(QDialog::Rejected);
      Work(d);
      return d.result();
    });
  }
  ~TagSettingsDlgTest() override
  {
    SetTagDialogRunner({});
    WatchedTags.clear();
  }
  // The corpus loaded with its tag and page indexes and a child window.
  void StartWithIndexes()
  {
    Start();
    ConcordSettings.PageSeparator = "<pb>";
    FrequencySettings.ScanTextsOnLoad = true;
    WatchedTags = {TWatchedTag::Make("Speaker", "<sp>", "</sp>")};
    Child = new TTestChild(mkConcordance, QStringLiteral("Concordance"));
    Frame().AddChildWindow(Child);
    LoadCorpusItems(Frame(), {a_});
    ASSERT_TRUE(CorpusList[0].TagIndex.Present());
    ASSERT_TRUE(CorpusList[0].PageIndex.Present());
    ASSERT_GT(CorpusList[0].WordCount, 0);
  }
  void Trigger(const char* name)
  {
    Frame().UpdateMenuState();
    Item(name)->trigger();
  }

  std::function<void(QDialog&)> Work;
  TTestChild* Child = nullptr;
  std::string a_;
};

TEST_F(TagSettingsDlgTest, TagChangeDropsTrackedTagIndexesAndTellsTheWindows)
{
  StartWithIndexes();
  const std::string tagFile = CorpusList[0].TagIndex.Index->FileName();
  Work = [](QDialog& d) {
    if (auto* editor = qobject_cast<TEditWatchTagsDlg*>(&d)) {
      EXPECT_EQ(editor->windowTitle(), "Add new tag");
      EXPECT_FALSE(editor->OKBtn->isEnabled());
      editor->InternalCB->click();
      EXPECT_EQ(editor->TagStartLabel->text(), "Tag:");
      EXPECT_FALSE(editor->StopEdit->isEnabled());
      editor->NameEdit->setText("u");
      editor->StartEdit->setText("u");
      editor->OKBtn->click();
      return;
    }
    auto& dlg = static_cast<TTagCfgDialog&>(d);
    EXPECT_EQ(dlg.windowTitle(), "Tag Settings");
    EXPECT_EQ(dlg.RelativeLinesCB->isEnabled(), dlg.PageNumbersCB->isChecked());
    dlg.AddBtn->click();
    EXPECT_EQ(dlg.Grid->rowCount(), 2);
    dlg.OkBtn->click();
  };
  Trigger("CMD_TagSettings");
  ASSERT_EQ(WatchedTags.size(), 2u);
  EXPECT_EQ(WatchedTags[1].TagStart, "u");
  EXPECT_FALSE(CorpusList[0].TagIndex.Present());
  EXPECT_FALSE(std::filesystem::exists(tagFile));
  EXPECT_TRUE(CorpusList[0].PageIndex.Present());
  EXPECT_EQ(Child->TagsChangedCalls, 1);

  // Only the separator changes: page indexes go, nothing is broadcast.
  Work = [](QDialog& d) {
    static_cast<TTagCfgDialog&>(d).PageDelimiterEdit->setText("<page>");
    static_cast<TTagCfgDialog&>(d).OkBtn->click();
  };
  Trigger("CMD_TagSettings");
  EXPECT_FALSE(CorpusList[0].PageIndex.Present());
  EXPECT_EQ(Child->TagsChangedCalls, 1);
}

TEST_F(TagSettingsDlgTest, EmbeddedDelimiterResetsCountsButMetaTagsAloneDoNot)
{
  StartWithIndexes();
  ConcordSettings.NonWordChars += "/";
  FrequencySettings.SkipTags = false;
  Work = [](QDialog& d) {
    if (auto* editor = qobject_cast<TEditMetaTagsDlg*>(&d)) {
      editor->NameEdit->setText("Noun");
      editor->ContentsEdit->setText("NN, NNS");
      editor->OKBtn->click();
      return;
    }
    auto& dlg = static_cast<TWordTagsCfgDialog&>(d);
    EXPECT_EQ(dlg.windowTitle(), "Part of Speech Tags Settings");
    dlg.AddBtn->click();
    dlg.OkBtn->click();
  };
  Trigger("CMD_WordTagSettings");
  EXPECT_EQ(ConcordSettings.MetaTags.size(), 1u);
  EXPECT_GT(CorpusList[0].WordCount, 0);
  EXPECT_EQ(Child->TagsChangedCalls, 0);

  Work = [](QDialog& d) {
    auto& dlg = static_cast<TWordTagsCfgDialog&>(d);
    dlg.EmbededCB->click();
    EXPECT_TRUE(dlg.EmbededPanel->isEnabled());
    EXPECT_FALSE(dlg.OutsidePanel->isEnabled());
    EXPECT_NE(dlg.DelimiterLabel->palette().color(QPalette::WindowText),
              dlg.TagStopLabel->palette().color(QPalette::WindowText));
    dlg.DelimiterEdit->setText("/");
    dlg.OkBtn->click();
  };
  Trigger("CMD_WordTagSettings");
  EXPECT_EQ(ConcordSettings.WordTag, 1);
  EXPECT_EQ(ConcordSettings.NonWordChars.find('/'), std::string::npos);
  EXPECT_EQ(CorpusList[0].WordCount, 0);
  EXPECT_EQ(Child->TagsChangedCalls, 1);
}

TEST_F(TagSettingsDlgTest, CancelKeepsNothingAndTheNextShowHasTheStoredSettings)
{
  Start();
  ConcordSettings.WordTag = 2;
  ConcordSettings.wTagStop = ']';
  ConcordSettings.wTagBefore = true;
  ConcordSettings.wTagStarts = {"[pos="};
  const auto shows = [](TWordTagsCfgDialog& dlg) {
    const QTableWidgetItem* start = dlg.TagStartGrid->item(0, 0);
    return std::vector<std::string>{std::to_string(dlg.EmbededCB->isChecked()),
                                    std::to_string(dlg.OutsideCB->isChecked()),
                                    std::to_string(dlg.OutsideBeforeCB->isChecked()),
                                    dlg.DelimiterEdit->text().toStdString(),
                                    dlg.TagStopEdit->text().toStdString(),
                                    start ? start->text().toStdString() : ""};
  };
  const std::vector<std::string> stored{"0", "1", "1", "_", "]", "[pos="};
  // Every general control changed, then Cancel; twice, so that the second
  // show is checked after a cancelled one too.
  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    Work = [&](QDialog& d) {
      auto& dlg = static_cast<TWordTagsCfgDialog&>(d);
      EXPECT_EQ(shows(dlg), stored);
      dlg.EmbededCB->click();
      dlg.OutsideBeforeCB->click();
      dlg.DelimiterEdit->setText("/");
      dlg.TagStopEdit->setText(">");
      dlg.TagStartGrid->setItem(0, 0, new QTableWidgetItem("<"));
      dlg.CancelBtn->click();
    };
    Trigger("CMD_WordTagSettings");
    EXPECT_EQ(ConcordSettings.WordTag, 2);
    EXPECT_TRUE(ConcordSettings.wTagBefore);
  }
  // OK with nothing touched changes nothing.
  Work = [](QDialog& d) { static_cast<TWordTagsCfgDialog&>(d).OkBtn->click(); };
  Trigger("CMD_WordTagSettings");
  EXPECT_EQ(ConcordSettings.WordTag, 2);
  EXPECT_EQ(ConcordSettings.wTagStarts, std::vector<std::string>{"[pos="});
  EXPECT_TRUE(ConcordSettings.wTagBefore);
}

TEST_F(TagSettingsDlgTest, TagGridsHaveHeadersAndShowTheirChosenRow)
{
  Start();
  const auto check = [](QTableWidget* grid, std::vector<std::string> headers, bool rowShown) {
    ASSERT_TRUE(grid->horizontalHeader()->isVisibleTo(grid));
    for (int c = 0; c < grid->columnCount(); ++c) {
      EXPECT_EQ(grid->horizontalHeaderItem(c)->text().toStdString(), headers[size_t(c)]);
      EXPECT_GE(grid->columnWidth(c), grid->horizontalHeader()->sectionSizeHint(c));
    }
    EXPECT_EQ(grid->selectionModel()->isRowSelected(0), rowShown);
    const QPalette p = grid->palette();
    EXPECT_EQ(p.color(QPalette::Inactive, QPalette::Highlight), p.color(QPalette::Active, QPalette::Highlight));
  };
  for (bool tagged : {true, false}) {
    SCOPED_TRACE(tagged);
    WatchedTags.clear();
    ConcordSettings.MetaTags.clear();
    if (tagged) {
      WatchedTags = {TWatchedTag::Make("Speaker", "<sp>", "</sp>")};
      ConcordSettings.MetaTags = {TMetaTag{"noun", {"NN", "NNS"}}};
    }
    Work = [&](QDialog& d) {
      if (auto* tags = qobject_cast<TTagCfgDialog*>(&d))
        check(tags->Grid, {"Tag Name", "Tag Start", "Tag Stop"}, tagged);
      else
        check(static_cast<TWordTagsCfgDialog&>(d).MetaGrid, {"Meta-tag Name", "Contents"}, tagged);
    };
    Trigger("CMD_TagSettings");
    Trigger("CMD_WordTagSettings");
  }
}

}  // namespace
