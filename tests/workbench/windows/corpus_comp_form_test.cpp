// Corpus Comparison from a word-list window against its own saved list and a
// list with other counts: the grid, the sort and column forms, save, print,
// copy and the font, through the frame's commands.
#include "workbench/frame/frame_test_support.h"

#include "forms/word_list_rows.h"
#include "foundation/dialogs.h"
#include "workbench/output/text_sink.h"
#include "workbench/windows/concordance_form.h"
#include "workbench/windows/corpus_comp_form.h"
#include "workbench/windows/word_list_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QMdiArea>
#include <QHeaderView>
#include <QPrinter>
#include <QTableView>

#include <map>

using frametest::ChosenFiles;
using frametest::FrameTest;
using testsupport::readFile;

namespace {

class CorpusCompFormTest : public FrameTest {
protected:
  CorpusCompFormTest()
  {
    Start({folder_.write("corpus.txt", "the cat sat on the mat\r\nThe dog sat\r\n")});
    FrequencySettings.MinimumFrequency = 1;
    FrequencySettings.MaximumLines = 1000;
  }
  template <class T>
  T* Run(const char* item)
  {
    Frame().UpdateMenuState();
    Item(item)->trigger();
    QApplication::processEvents();
    return dynamic_cast<T*>(Frame().ActiveChild());
  }
  ChosenFiles files_;
};

std::string Report(const TCompRecords& records, uint32_t mask)
{
  std::string text;
  for (const TCorpusCompRec& r : records)
    text += FormatCompRecord(r, mask) + "\r\n";
  return text;
}

TEST_F(CorpusCompFormTest, CompareSortSaveCopyAndFont)
{
  TWordListForm* words = Run<TWordListForm>("FMQ_WordListFreq");
  ASSERT_NE(words, nullptr);
  const std::string ref = folder_.write("ref.txt", "Alphabetical Word List (18 words)\r\n\r\n"
                                                   "4\t40.0000%\tThe\r\n4\tx\tsat\r\n4\ty\tzebra\r\n");
  files_.Answers = {ref};
  TCorpusCompForm* comp = Run<TCorpusCompForm>("FMQ_CorpusComp");
  ASSERT_NE(comp, nullptr);
  EXPECT_EQ(comp->windowTitle(), QStringLiteral("Corpus Comparison"));
  EXPECT_EQ(files_.Shown.back().Title, "Open Frequency file");
  // Reference words in file order, then the corpus's own.
  std::vector<std::string> order;
  for (const TCorpusCompRec& r : comp->Records)
    order.push_back(r.Word);
  EXPECT_EQ(order, (std::vector<std::string>{"the", "sat", "zebra", "cat", "on", "mat", "dog"}));
  EXPECT_EQ(comp->Records[0].CurCount, 3);
  EXPECT_NEAR(double(comp->Records[1].LL), 0, 1e-12);  // 2 of 9 against 4 of 18
  EXPECT_EQ(comp->CompGrid->model()->headerData(5, Qt::Horizontal).toString(), QStringLiteral("Pct Change"));
  EXPECT_EQ(comp->CompGrid->model()->data(comp->CompGrid->model()->index(2, 2)).toString(), QStringLiteral("zebra"));

  // The first Sort shows no keys; "Sort" sorts by word, descending.
  SetCCSortRunner([](TCCSortForm& form) {
    EXPECT_EQ(form.Keys(), TCompSortKeys{});
    form.FirstSortCB->setCurrentIndex(3);
    form.FirstScandentCB->setChecked(true);
    return int(QDialog::Accepted);
  });
  Run<TCorpusCompForm>("FMQ_CorpusSort");
  SetCCSortRunner({});
  EXPECT_EQ(comp->SortKeys, (TCompSortKeys{3, 1, 0, 0, 0, 0}));
  EXPECT_EQ(comp->Records.front().Word, "zebra");

  // Save with columns 0, 2 and 6, then to a full device: shown, old file kept.
  SetCompColumnsRunner([](TCorpusCompColsSelectForm& form) {
    for (int c : {1, 3, 4, 5})
      form.CB[c]->setChecked(false);
    return int(QDialog::Accepted);
  });
  const std::string out = folder_.file("comp.txt");
  files_.Answers = {out};
  Run<TCorpusCompForm>("FMQ_Save");
  EXPECT_EQ(readFile(out), Report(comp->Records, 1 | 4 | 64));
  files_.Answers = {"/dev/full"};
  Run<TCorpusCompForm>("FMQ_Save");
  EXPECT_EQ(Messages(mtError).size(), 1u);
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(folder_.file("comp.pdf")));
  const TPrinterLookup old = SetPrinterLookup([&printer] { return &printer; });
  Run<TCorpusCompForm>("FMQ_Print");
  SetPrinterLookup(old);
  SetCompColumnsRunner({});
  EXPECT_EQ(readFile(folder_.file("comp.pdf")).substr(0, 4), "%PDF");

  // One cell copies the whole table.
  comp->CompGrid->setCurrentIndex(comp->CompGrid->model()->index(1, 1));
  Run<TCorpusCompForm>("FMQ_CopyClipboard");
  EXPECT_EQ(QApplication::clipboard()->text().toStdString(),
            CompCopyText(comp->Records, 0, int32_t(comp->Records.size()) - 1, 0, 6));

  // The word-list window's font reaches the comparison window.
  Frame().ClientArea->setActiveSubWindow(words->subWindow());
  TFontRec chosen{"Mono", 21, 0, 0, 0};
  SetConcordanceFontChooser([&chosen](TFontRec& font, const QString&) {
    font = chosen;
    return true;
  });
  Run<TWordListForm>("CMD_Font");
  SetConcordanceFontChooser({});
  EXPECT_EQ(comp->CompGrid->font().pointSize(), 21);
}

// A window cut to one row by Maximum Lines still compares the whole corpus.
TEST_F(CorpusCompFormTest, AWindowOfOneRowComparesEveryWord)
{
  FrequencySettings.MaximumLines = 1;
  TWordListForm* words = Run<TWordListForm>("FMQ_WordListFreq");
  ASSERT_NE(words, nullptr);
  ASSERT_EQ(words->Rows().Count(), 1);
  files_.Answers = {folder_.write("ref.txt", "Corpus Frequency List (5 words)\r\n\r\n5\tx\tcat\r\n")};
  TCorpusCompForm* comp = Run<TCorpusCompForm>("FMQ_CorpusComp");
  ASSERT_NE(comp, nullptr);
  std::map<std::string, int32_t> counts;
  for (const TCorpusCompRec& r : comp->Records)
    counts[r.Word] = r.CurCount;
  EXPECT_EQ(counts, (std::map<std::string, int32_t>{{"cat", 1}, {"dog", 1}, {"mat", 1}, {"on", 1}, {"sat", 2},
                                                    {"the", 3}}));
}

TEST_F(CorpusCompFormTest, RefusalsOpenNoWindow)
{
  TWordListForm* words = Run<TWordListForm>("FMQ_WordListFreq");
  ASSERT_NE(words, nullptr);
  files_.Answers = {folder_.write("bad.txt", "Word List\r\n\r\n3\tx\r\n")};
  EXPECT_EQ(Run<TCorpusCompForm>("FMQ_CorpusComp"), nullptr);
  EXPECT_EQ(Messages(mtError), std::vector<std::string>{InvalidFrequencyFileText});
  EXPECT_EQ(Run<TCorpusCompForm>("FMQ_CorpusSort"), nullptr);  // needs a comparison window
}

}  // namespace
