// The word-list window and the Frequency menu on a real corpus: counts
// checked against a plain count of the generated text, the window's file,
// copy, print, font, the batch list, and Frequency Options.
#include "workbench/frame/frame_test_support.h"
#include "support/text_checks.h"

#include "foundation/frequency_list.h"
#include "foundation/stop_list.h"
#include "workbench/dialogs/freq_config_dlg.h"
#include "workbench/dialogs/edit_helpers.h"
#include "workbench/output/output_config_dlg.h"
#include "workbench/output/text_sink.h"
#include "workbench/windows/concordance_form.h"
#include "workbench/windows/word_list_form.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QMdiSubWindow>
#include <QRadioButton>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPrinter>
#include <QTableView>
#include <QTest>

#include <map>
#include <random>

using frametest::ChosenFiles;
using frametest::FrameTest;
using frametest::TTestChild;
using testsupport::readFile;

namespace {

class WordListFormTest : public FrameTest {
protected:
  WordListFormTest()
  {
    // Zipf-like words over several lines, counted plainly as they are made.
    std::mt19937 random(3);
    std::string text;
    for (int i = 0; i < 30000; ++i) {
      const std::string word = "w" + std::string(1, char('a' + random() % 26)) + std::string(1, char('a' + (random() % (1 + i % 26))));
      ++reference_[word];
      text += word + (i % 12 == 11 ? "\r\n" : " ");
    }
    Start({folder_.write("corpus.txt", text)});
    FrequencySettings.MinimumFrequency = 1;
    FrequencySettings.MaximumLines = 1000000;
    SetOutputConfigRunner([this](TOutputConfigDlg& d) {
      d.MaxLinesEdit->setText(QString::number(maxLines_));
      d.OKBtnClick();
      return int(QDialog::Accepted);
    });
  }
  ~WordListFormTest() override
  {
    SetOutputConfigRunner({});
    SetFreqConfigRunner({});
    GlobalStopList = TStopList();
  }
  // The item as the user chooses it, its state brought up to date first.
  void Trigger(const char* item)
  {
    Frame().UpdateMenuState();
    Item(item)->trigger();
  }
  // The frequency-list, collocation and comparison windows open (the frame
  // also shows the first file's full text).
  size_t ListWindowCount()
  {
    size_t n = 0;
    for (TMDIChildForm* child : Frame().ChildWindows())
      n += child->kind() != mkFullText;
    return n;
  }
  TWordListForm* Run(const char* item)
  {
    Trigger(item);
    QApplication::processEvents();
    return dynamic_cast<TWordListForm*>(Frame().ActiveChild());
  }
  std::string Saved(TWordListForm& window, int32_t maxLines = 0)
  {
    TStringTextSink sink;
    window.WriteWordList(sink, maxLines, true);
    return sink.Text();
  }

  std::map<std::string, int32_t> reference_;
  int maxLines_ = 0;
  ChosenFiles files_;
};

}  // namespace

TEST_F(WordListFormTest, BothOrdersAgreeWithAPlainCountAndOpenOnce)
{
  TWordListForm* byCount = Run("FMQ_WordListFreq");
  ASSERT_NE(byCount, nullptr);
  EXPECT_EQ(byCount->windowTitle(), QStringLiteral("Corpus Frequency List"));
  EXPECT_EQ(byCount->Total(), 30000);
  ASSERT_EQ(size_t(byCount->Rows().Count()), reference_.size());
  for (int32_t i = 0; i < byCount->Rows().Count(); ++i) {
    const TWordListRow& row = byCount->Rows().Row(i);
    EXPECT_EQ(row.Count, reference_[row.Word]) << row.Word;
    if (i > 0)
      EXPECT_LE(row.Count, byCount->Rows().Row(i - 1).Count);
  }
  QAbstractItemModelTester tester(byCount->FreqGrid->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
  EXPECT_EQ(byCount->FreqGrid->model()->rowCount(), byCount->Rows().Count());
  EXPECT_EQ(byCount->FreqGrid->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Pct"));

  TWordListForm* alpha = Run("FMQ_WordListAlpha");
  ASSERT_NE(alpha, byCount);
  EXPECT_EQ(alpha->Rows().Row(0).Word, reference_.begin()->first);
  // The window keeps its rows when the shared table is sorted or freed.
  const std::string before = Saved(*byCount);
  CorpusFreqList.reset();
  TotalWordCount = 0;
  EXPECT_EQ(Saved(*byCount), before);
  EXPECT_EQ(before.substr(0, before.find("\r\n")), "Corpus Frequency List (30000 words)");

  byCount->subWindow()->showMinimized();
  EXPECT_EQ(Run("FMQ_WordListFreq"), byCount);
  EXPECT_FALSE(byCount->subWindow()->isMinimized());
  EXPECT_EQ(ListWindowCount(), 2u);
}

TEST_F(WordListFormTest, CopySavePrintAndFont)
{
  TWordListForm* window = Run("FMQ_WordListFreq");
  ASSERT_NE(window, nullptr);
  window->FreqGrid->selectionModel()->select(
      QItemSelection(window->FreqGrid->model()->index(2, 0), window->FreqGrid->model()->index(4, 2)),
      QItemSelectionModel::Select | QItemSelectionModel::Rows);
  Trigger("FMQ_CopyClipboard");
  EXPECT_EQ(QApplication::clipboard()->text().toStdString(), window->Rows().CopyText(2, 4));

  const std::string file = folder_.file("list.txt");
  files_.Answers = {file};
  maxLines_ = 10;
  Trigger("FMQ_Save");
  EXPECT_EQ(readFile(file), Saved(*window, 10));
  EXPECT_EQ(CorpusFreqPath, folder_.path());
  EXPECT_EQ(files_.Shown.back().Title, "Select filename to save to");

  // A failed save is shown and the old file stays.
  for (const std::string& bad : {std::string("/dev/full"), folder_.file("missing/list.txt")}) {
    files_.Answers = {bad};
    Trigger("FMQ_Save");
  }
  EXPECT_EQ(Messages(mtError), (std::vector<std::string>{"Unable to write file: /dev/full (No space left on device).",
                                                         "Unable to open file: " + folder_.file("missing/list.txt") + "."}));
  EXPECT_EQ(readFile(file), Saved(*window, 10));

  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(folder_.file("list.pdf")));
  const TPrinterLookup old = SetPrinterLookup([&printer] { return &printer; });
  Trigger("FMQ_Print");
  SetPrinterLookup(old);
  EXPECT_EQ(readFile(folder_.file("list.pdf")).substr(0, 4), "%PDF");

  TFontRec chosen{"Mono", 20, 0, 0, 0};
  SetConcordanceFontChooser([&chosen](TFontRec& font, const QString&) {
    font = chosen;
    return true;
  });
  Trigger("CMD_Font");
  SetConcordanceFontChooser({});
  EXPECT_EQ(FrequencySettings.Font, chosen);
  EXPECT_EQ(window->FreqGrid->verticalHeader()->defaultSectionSize(), QFontMetrics(window->FreqGrid->font()).height());
  EXPECT_GE(window->FreqGrid->columnWidth(2), 0);
}

TEST_F(WordListFormTest, BatchListsAndACancelledCount)
{
  const std::string file = folder_.write("batch.txt", "old\r\n");
  files_.Answers = {file};
  {
    // Cancel pressed at the count's first look at its progress dialog.
    testsupport::FakeBridge bridge;
    bridge.PressCancelAt(1);
    CountWordsReportInterval = std::chrono::milliseconds(0);
    Trigger("FMQ_BatchWordListAlpha");
    files_.Answers = {file};
    bridge.PressCancelAt(bridge.Pumps() + 1);
    Trigger("FMQ_WordListFreq");
    CountWordsReportInterval = std::chrono::milliseconds(200);
  }
  EXPECT_EQ(readFile(file), "old\r\n");
  EXPECT_EQ(ListWindowCount(), 0u);
  EXPECT_FALSE(BusyCounting);

  files_.Answers = {file};
  Trigger("FMQ_BatchWordListFreq");
  EXPECT_EQ(files_.Shown.back().Title, "Select where to save batch frequency data");
  std::string expected = "Batch Frequency Data - Frequency Order\r\n--------------------------------------\r\n";
  WriteFrequencyList([&](const std::string& line) { expected += line + "\r\n"; }, *CorpusFreqList, false);
  EXPECT_EQ(readFile(file), expected);
  EXPECT_EQ(testsupport::Count(expected, "\r\n"), reference_.size() + 2);
  files_.Answers = {folder_.file("missing/batch.txt")};
  Trigger("FMQ_BatchWordListFreq");
  EXPECT_EQ(Messages(mtError).size(), 1u);
}

// Frequency Options closes the list windows only when what they show
// changed; the dialog's edits refuse letters and clamp on OK.
TEST_F(WordListFormTest, FrequencyOptionsClosesWhatWentStale)
{
  ASSERT_TRUE(FreqConfigDlg);
  FrequencySettings.MaximumLines = 100;
  auto open = [this] {
    for (int kind : {mkCollocation, mkWordList})
      Frame().AddChildWindow(new TTestChild(kind, QStringLiteral("list")));
  };
  const auto options = [this](std::function<void(TFreqConfigDlg&)> work) {
    SetFreqConfigRunner([work](TFreqConfigDlg& d) {
      work(d);
      d.OKBtnClick();
      return d.result();
    });
    Trigger("FMQ_FreqOptions");
    QApplication::processEvents();
    return ListWindowCount();
  };
  open();
  EXPECT_EQ(options([](TFreqConfigDlg& d) {
              d.HighlightFirstEdit->clear();
              QTest::keyClicks(d.HighlightFirstEdit, "5x0");
            }),
            2u);
  EXPECT_EQ(FrequencySettings.CollocHighliteFirst, 32);
  EXPECT_EQ(options([](TFreqConfigDlg& d) { d.CollocSpanCombo->setCurrentIndex(3); }), 2u);
  EXPECT_EQ(options([](TFreqConfigDlg& d) { d.MaxLinesEdit->setText(QStringLiteral("7")); }), 0u);
  EXPECT_EQ(FrequencySettings.MaximumLines, 7);
  open();
  GlobalStopList.SetWords({"wa"});
  EXPECT_EQ(options([](TFreqConfigDlg& d) { d.ContentWordsRadio->setChecked(true); }), 0u);
  EXPECT_TRUE(GlobalStopList.Active());
}
