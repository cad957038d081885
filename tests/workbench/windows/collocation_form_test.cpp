// The collocation window as the user reaches it: Collocate Frequency on a
// concordance window of a real search, its rows against a count of the
// hits, widths, Copy, Save and Print through the frame, the font; the
// concordance window's highlighting switch, cancelling, and the ways the
// collocation window goes with its concordance.
#include "workbench/frame/frame_test_support.h"

#include "forms/search_dialog_model.h"
#include "foundation/abort.h"
#include "foundation/chartables.h"
#include "foundation/hash_strings.h"
#include "search/collocates.h"
#include "search/concord_items.h"
#include "search/search_defaults.h"
#include "support/text_checks.h"
#include "workbench/dialogs/edit_helpers.h"
#include "workbench/dialogs/search_template_dlg.h"
#include "workbench/frame/frame_commands.h"
#include "workbench/lineview/strings_view.h"
#include "workbench/output/output_config_dlg.h"
#include "workbench/output/text_sink.h"
#include "workbench/windows/collocation_form.h"
#include "workbench/windows/concordance_form.h"

#include <QClipboard>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPrinter>
#include <QStyle>
#include <QTableView>

#include <map>
#include <random>

using frametest::ChosenFiles;
using frametest::FrameTest;
using testsupport::readFile;

namespace {

class TypedSearch : public TSearchDialogView {
public:
  int ShowModal() override
  {
    TSearchTemplateModel& m = SearchTemplateDlg->Model();
    m.SearchString.Text = Pattern;
    return m.OKBtnClick().Close ? mrOk : mrCancel;
  }
  std::string Pattern;
};

std::string RandomText(unsigned seed, int words)
{
  static const char* vocabulary[] = {"cat", "the", "The", "dog", "a", "ran", "sat", "mat", "on", "big"};
  std::mt19937 random(seed);
  std::string text;
  for (int i = 0; i < words; ++i)
    text += std::string(i ? (i % 9 ? " " : "\r\n") : "") + vocabulary[std::min(random() % 10, random() % 10)];
  return text;
}

class CollocationFormTest : public FrameTest {
protected:
  CollocationFormTest()
  {
    Start({folder_.write("one.txt", RandomText(1, 1500)), folder_.write("two.txt", RandomText(2, 900))});
    SearchTemplateDlg->Model().SetView(&view_);
    commands_ = InstallFrameCommands(Frame());
    // The settings read at start: span 2, 5 ranks, 100 lines, ignoring case.
    FrequencySettings.MinimumFrequency = 2;
    outputRunner_ = SetOutputConfigRunner([this](TOutputConfigDlg& dlg) {
      dlg.MaxLinesUpDown->SetPosition(MaxLines);
      dlg.OKBtnClick();
      return int(QDialog::Accepted);
    });
  }
  ~CollocationFormTest() override
  {
    SetOutputConfigRunner(std::move(outputRunner_));
    if (SearchTemplateDlg)
      SearchTemplateDlg->Model().SetView(SearchTemplateDlg);
  }

  TConcordanceForm& Search(const std::string& pattern)
  {
    view_.Pattern = pattern;
    commands_->GenerateConcordance(false);
    return *dynamic_cast<TConcordanceForm*>(Frame().ActiveChild());
  }
  void Trigger(const char* name)
  {
    Frame().UpdateMenuState();
    ASSERT_TRUE(Item(name)->isEnabled()) << name;
    Item(name)->trigger();
  }
  TCollocationForm& Frequency(TConcordanceForm& w)
  {
    Trigger("FMQ_Frequency");
    auto* form = dynamic_cast<TCollocationForm*>(w.CollocationWindow());
    EXPECT_TRUE(form);
    EXPECT_EQ(Frame().ActiveChild(), form);
    return *form;
  }
  // Cancel in the progress dialog at the n-th pump from now.
  void CancelAtPump(int n) { bridge_.PressCancelAt(bridge_.Pumps() + n); }

  int MaxLines = 0;
  testsupport::FakeBridge bridge_;
  TypedSearch view_;
  ChosenFiles files_;
  TFrameCommands* commands_ = nullptr;
  TOutputConfigRunner outputRunner_;
};

}  // namespace

TEST_F(CollocationFormTest, ShowsTheCountedWordsAndCopiesSavesAndPrintsThem)
{
  TConcordanceForm& w = Search("cat");
  ASSERT_GT(w.Items().Count(), 100);
  TCollocationForm& form = Frequency(w);
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Frequency Statistics - [cat]"));
  EXPECT_FALSE(IsBusy());
  const TCollocationModel& model = form.Model();
  ASSERT_EQ(model.ColumnCount(), 12);

  // Widths: separators 0, counts 40, the words share the rest, also after a resize.
  form.subWindow()->resize(700, 300);
  QApplication::processEvents();
  const int scrollBar = form.ListView->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, form.ListView);
  EXPECT_EQ(form.ListView->columnWidth(2), (form.ListView->width() - 160 - scrollBar - 5) / 4);
  EXPECT_EQ(form.ListView->columnWidth(3), 0);
  EXPECT_EQ(form.ListView->columnWidth(4), 40);

  // Save, with the report rows checked against what Copy gives.
  const std::string saved = folder_.file("colloc.txt");
  files_.Answers.push_back(saved);
  Trigger("FMQ_Save");
  EXPECT_EQ(FreqPath, folder_.path());
  const std::string report = readFile(saved);
  const std::string head = "Word: cat\r\n\r\n2-Left\t\t1-Left\t\t1-Right\t\t2-Right\r\n";
  ASSERT_EQ(report.substr(0, head.size()), head);
  std::vector<std::string> rows;
  for (size_t at = head.size(); at < report.size(); at = report.find("\r\n", at) + 2)
    rows.push_back(report.substr(at, report.find("\r\n", at) - at));
  const int last = model.RowCount() - 1;
  ASSERT_EQ(int(rows.size()), last + 1);
  for (int r : {last, 2, 0})  // the last row has exhausted columns
    form.ListView->selectionModel()->select(form.ListView->model()->index(r, 0),
                                            QItemSelectionModel::Select | QItemSelectionModel::Rows);
  Trigger("FMQ_CopyClipboard");
  std::string copied = QApplication::clipboard()->text().toStdString();
  // A report cell is count TAB word, cells joined by TAB; the list has an
  // empty separator column between two positions.
  std::string expected;
  for (int r : {0, 2, last}) {
    expected += r ? "\r\n" : "";
    int field = 0;
    for (char c : rows[size_t(r)])
      expected += c != '\t' ? std::string(1, c) : ++field % 2 ? "\t" : "\t\t";
  }
  EXPECT_EQ(copied, expected);

  // A row limit, then a failed write: the message is shown and the old file stays.
  MaxLines = 3;
  files_.Answers.push_back(saved);
  Trigger("FMQ_Save");
  EXPECT_EQ(files_.Shown.back().InitialDir, folder_.path());
  EXPECT_EQ(testsupport::Count(readFile(saved), "\r\n"), 3u + 3u);
  files_.Answers.push_back("/dev/full");
  Trigger("FMQ_Save");
  files_.Answers.push_back(folder_.file("missing/colloc.txt"));
  Trigger("FMQ_Save");
  auto table = std::move(w.Items().CollocTables[ctx1R]);
  files_.Answers.push_back(saved);
  Trigger("FMQ_Save");
  EXPECT_EQ(testsupport::Count(readFile(saved), "\r\n"), 3u + 3u);
  const auto errors = Messages(mtError);
  ASSERT_EQ(errors.size(), 3u);
  EXPECT_EQ(errors[0].rfind("Unable to write file: /dev/full (", 0), 0u) << errors[0];
  EXPECT_EQ(errors[1], "Unable to open file: " + folder_.file("missing/colloc.txt") + ".");
  EXPECT_EQ(errors[2], "There are no collocate tables to write.");
  w.Items().CollocTables[ctx1R] = std::move(table);
  EXPECT_FALSE(IsBusy());

  // Print to a PDF file.
  QPrinter printer;
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(folder_.file("colloc.pdf")));
  TPrinterLookup old = SetPrinterLookup([&] { return &printer; });
  Trigger("FMQ_Print");
  SetPrinterLookup(std::move(old));
  EXPECT_EQ(readFile(folder_.file("colloc.pdf")).rfind("%PDF", 0), 0u);

  // The font, from the window's own menu while the list is the active control.
  TConcordanceFontChooser chooser = SetConcordanceFontChooser([](TFontRec& font, const QString&) {
    font.Size = 17;
    return true;
  });
  form.ListView->setFocus();
  form.ChangeFontItem->trigger();
  SetConcordanceFontChooser(std::move(chooser));
  EXPECT_EQ(FrequencySettings.Font.Size, 17);
  EXPECT_EQ(form.ListView->font().pointSize(), 17);
  EXPECT_EQ(Messages(mtError).size(), 3u);
}

TEST_F(CollocationFormTest, TheWindowGoesWithItsConcordanceAndItsTables)
{
  const std::vector<std::function<void(TConcordanceForm&)>> drops = {
      [](TConcordanceForm& w) { w.RemoveFileHits(0); },
      [](TConcordanceForm& w) {
        w.ConcordWindow->SetItemIndex(0);
        ASSERT_TRUE(w.ConcordWindow->IsSelected(0));
        w.DeleteSelectedHits();
      },
      [](TConcordanceForm& w) { w.subWindow()->close(); },
  };
  for (size_t i = 0; i < drops.size(); ++i) {
    SCOPED_TRACE(i);
    TConcordanceForm& w = Search("cat");
    QPointer<TCollocationForm> form = &Frequency(w);
    Frame().ClientArea->setActiveSubWindow(w.subWindow());
    drops[i](w);
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(form.isNull());
  }
}

TEST_F(CollocationFormTest, HighlightingSwitchesOnAtTheHundredthHitAndCancellingDropsEverything)
{
  ConcordSettings.HighlightCollocates = true;
  TConcordanceForm& w = Search("cat");
  ASSERT_GT(w.Items().Count(), 100);
  EXPECT_TRUE(w.Items().HighlightCollocates);
  EXPECT_TRUE(w.CMD_HiliteCollocates->isChecked());
  std::vector<std::array<int8_t, 9>> ranks;
  for (const auto& hit : w.Items().Items())
    ranks.push_back(hit->CollocRanks);
  w.Items().RankAllCollocates();  // the search left every hit ranked
  for (size_t i = 0; i < ranks.size(); ++i)
    ASSERT_EQ(ranks[i], w.Items().GetItem(int32_t(i))->CollocRanks) << i;
  EXPECT_NE(std::count_if(ranks.begin(), ranks.end(), [](const auto& r) { return r[ctx1R] == 0; }), 0);

  // Off, then on again with Cancel: no tables, no highlighting, no tick.
  w.CMD_HiliteCollocatesClick();
  EXPECT_FALSE(w.Items().HighlightCollocates);
  FrequencySettings.CollocationSpan = 3;  // the tables are for span 2
  CancelAtPump(1);
  EXPECT_THROW(w.CMD_HiliteCollocatesClick(), EAbort);
  EXPECT_FALSE(IsBusy());
  EXPECT_FALSE(w.Items().HighlightCollocates);
  EXPECT_FALSE(w.HighlightCollocates());
  EXPECT_FALSE(w.CMD_HiliteCollocates->isChecked());
  for (const auto& table : w.Items().CollocTables)
    EXPECT_EQ(table, nullptr);

  // Collocate Frequency cancelled too, then generating anew.
  CancelAtPump(2);  // the first shows the status text
  EXPECT_THROW(w.ShowCollocateFrequency(), EAbort);
  EXPECT_EQ(w.CollocationWindow(), nullptr);
  EXPECT_EQ(Frequency(w).PositionCount(), 6);
  EXPECT_TRUE(w.Items().CollocTablesValid(ctx3L, ctx3R));
}

TEST_F(CollocationFormTest, AWindowOpenedOverAMaximisedChildIsDrawn)
{
  TConcordanceForm& w = Search("cat");
  w.subWindow()->showMaximized();
  QApplication::processEvents();
  TCollocationForm& form = Frequency(w);
  QApplication::processEvents();
  ASSERT_TRUE(form.subWindow()->isMaximized());
  // Every widget from the frame down to the list's viewport paints.
  for (QWidget* widget = form.ListView->viewport(); widget; widget = widget->parentWidget())
    EXPECT_TRUE(widget->updatesEnabled() && widget->isVisible()) << widget->metaObject()->className();
  EXPECT_EQ(form.ListView->rowAt(0), 0);
  EXPECT_GT(form.ListView->viewport()->height(), form.ListView->rowHeight(0));
}
