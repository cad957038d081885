// The distribution window opened from a concordance window filled by a real
// search: opening rules, scope, step, percent and label switching, reset,
// closing with the owner, saving and printing.
#include "workbench/frame/frame_test_support.h"
#include "support/text_checks.h"

#include "foundation/tag_scan.h"
#include "search/search_driver.h"
#include "workbench/frame/frame_commands.h"
#include "workbench/output/text_sink.h"
#include "workbench/windows/bar_chart.h"
#include "workbench/windows/concordance_form.h"
#include "workbench/windows/distribution_form.h"
#include "workbench/windows/scripted_search.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QPrinter>
#include <QRegularExpression>

using frametest::ChosenFiles;
using frametest::FrameTest;
using frametest::ScriptedSearch;
using testsupport::readFile;

namespace {

// 40 lines with "dog" on the first ten, and 10 lines with "dog" on each.
std::string Lines(int count, int withDog)
{
  std::string text;
  for (int i = 0; i < count; ++i)
    text += i < withDog ? "a dog here\r\n" : "no hit\r\n";
  return text.substr(0, text.size() - 2);
}

class DistributionFormTest : public FrameTest {
protected:
  TConcordanceForm& Open(std::vector<std::string> files)
  {
    Start(std::move(files));
    SearchTemplateDlg->Model().SetView(&view_);
    view_.Fill = [](TSearchTemplateModel& m) { m.SearchString.Text = "dog"; };
    InstallFrameCommands(Frame())->GenerateConcordance(false);
    return *TConcordanceForm::ConcordanceWindows().back();
  }
  ~DistributionFormTest() override { SearchTemplateDlg->Model().SetView(SearchTemplateDlg); }

  static TDistributionForm* Distribution(TConcordanceForm& w)
  {
    w.updateMenus();  // what the frame does when the program goes idle
    w.CMD_Distribution->trigger();
    const auto windows = TDistributionForm::DistributionWindows();
    return windows.empty() ? nullptr : windows.back();
  }
  static std::vector<QString> Labels(const TBarChart& chart)
  {
    std::vector<QString> out;
    for (int i = 0; i < chart.BarCount(); ++i)
      out.push_back(chart.Bar(i).Label);
    return out;
  }

  std::string a = folder_.write("a.txt", Lines(40, 10));
  std::string b = folder_.write("b.txt", Lines(10, 10));
  ScriptedSearch view_;
};

TEST_F(DistributionFormTest, OneItemOpensOnTheCorpusInSlicesThatSwitch)
{
  TConcordanceForm& w = Open({a});
  TDistributionForm* d = Distribution(w);
  ASSERT_TRUE(d);
  EXPECT_EQ(Distribution(w), d);
  EXPECT_EQ(TDistributionForm::DistributionWindows().size(), 1u);
  EXPECT_EQ(d->windowTitle(), QStringLiteral("Hits Distribution for: dog"));
  EXPECT_EQ(d->FilesCombo->currentText(), QStringLiteral("Entire corpus"));
  EXPECT_TRUE(d->StepCombo->isEnabled() && d->PercentsCheck->isEnabled() && d->StepLabel->isEnabled());
  EXPECT_EQ(d->TotalLabel->text(), QStringLiteral("10"));
  TBarChart& chart = *d->Chart;
  ASSERT_EQ(chart.BarCount(), 20);
  EXPECT_EQ(chart.LeftAxisTitle(), QStringLiteral("Percent"));
  EXPECT_EQ(chart.BottomAxisTitle(), QStringLiteral("Hits"));
  EXPECT_EQ(Labels(chart)[0], QStringLiteral("0 - 5"));
  EXPECT_EQ(chart.MarkText(0), QStringLiteral("2 (20.00%)"));
  EXPECT_EQ(chart.MarkText(5), QStringLiteral("0 (0.00%)"));

  d->PercentsCheck->click();
  EXPECT_EQ(chart.LeftAxisTitle(), QStringLiteral("Lines"));
  EXPECT_EQ(Labels(chart)[1], QStringLiteral("3 - 4"));
  d->StepCombo->setCurrentIndex(5);  // 33 %
  EXPECT_EQ(Labels(chart), (std::vector<QString>{"1 - 13", "14 - 27", "28 - 40"}));
  EXPECT_EQ(chart.MarkText(0), QStringLiteral("10 (100.00%)"));
  d->LabelsCheck->click();
  EXPECT_FALSE(chart.MarksVisible());
}

TEST_F(DistributionFormTest, FilesScopeItemsSaveResetAndAnEmptyResult)
{
  TConcordanceForm& w = Open({a, b});
  TDistributionForm* d = Distribution(w);
  ASSERT_TRUE(d);
  EXPECT_EQ(d->FilesCombo->currentText(), QStringLiteral("Files"));
  EXPECT_FALSE(d->StepCombo->isEnabled() || d->PercentsCheck->isEnabled() || d->StepLabel->isEnabled());
  EXPECT_EQ(Labels(*d->Chart), (std::vector<QString>{"a.txt", "b.txt"}));
  EXPECT_EQ(d->Chart->LeftAxisTitle(), QStringLiteral("Files"));
  EXPECT_EQ(d->Chart->MarkText(1), QStringLiteral("10 (50.00%)"));

  ChosenFiles chosen;
  chosen.Answers = {folder_.file("files.txt"), folder_.file("b-slices.txt"), "/dev/full"};
  d->SaveBtn->click();
  EXPECT_EQ(readFile(folder_.file("files.txt")).substr(0, 33), "File name                  Hits\r\n");
  EXPECT_EQ(chosen.Shown[0].Title, "Select where to save hits distribution");
  d->FilesCombo->setCurrentIndex(3);  // b.txt
  EXPECT_TRUE(d->StepCombo->isEnabled());
  EXPECT_EQ(d->Chart->BarCount(), 20);
  d->SaveBtn->click();
  EXPECT_NE(readFile(folder_.file("b-slices.txt")).find("\r\n  5       0      0\r\n 10       1      1\r\n"), std::string::npos);
  d->SaveBtn->click();
  ASSERT_EQ(Messages(mtError).size(), 1u);
  EXPECT_NE(Messages(mtError)[0].find("/dev/full"), std::string::npos);

  ResetDistributions();
  EXPECT_EQ(d->FilesCombo->currentText(), QStringLiteral("Entire corpus"));
  EXPECT_EQ(d->Model().Scope, 0);
  EXPECT_TRUE(d->StepCombo->isEnabled());
  EXPECT_EQ(d->Chart->MarkText(0), QStringLiteral("2 (10.00%)"));

  // An item that lost its line index gives no slices: the chart is cleared.
  ReleaseIndex(CorpusList[0].LineIndex);
  d->FilesCombo->setCurrentIndex(2);
  EXPECT_EQ(d->Chart->BarCount(), 0);
  EXPECT_EQ(d->Model().Total, 0);
}

TEST_F(DistributionFormTest, ClosesWithItsOwnerAndShowsNoSettingsWithoutASearch)
{
  TConcordanceForm& w = Open({a});
  w.SetSearch(nullptr);
  TDistributionForm* d = Distribution(w);
  ASSERT_TRUE(d);
  EXPECT_TRUE(d->SyntaxTypeLabel->text().isEmpty());
  EXPECT_TRUE(d->HeadingPanel->isHidden());
  w.subWindow()->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(TDistributionForm::DistributionWindows().empty());
}

TEST_F(DistributionFormTest, CancelledIndexScanOpensNothing)
{
  TConcordanceForm& w = Open({a, b});
  ReleaseIndex(CorpusList[1].LineIndex);
  {
    testsupport::FakeBridge bridge;
    bridge.PressCancelAt(1);
    EXPECT_EQ(Distribution(w), nullptr);
    EXPECT_FALSE(CorpusList[1].LineIndex.Present());
    EXPECT_FALSE(IsBusy());
  }
  // Without the cancel the index is built and the window opens.
  EXPECT_NE(Distribution(w), nullptr);
  EXPECT_TRUE(CorpusList[1].LineIndex.Present());
}

TEST_F(DistributionFormTest, PrintsPortraitOnlyAtTwoPercentAndRestoresTheOrientation)
{
  TConcordanceForm& w = Open({a});
  {
    const TPrinterLookup old = SetPrinterLookup([] { return static_cast<QPrinter*>(nullptr); });
    TDistributionForm* none = Distribution(w);
    ASSERT_TRUE(none);
    EXPECT_FALSE(none->PrintBtn->isEnabled());
    none->subWindow()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    SetPrinterLookup(old);
  }
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setPageOrientation(QPageLayout::Landscape);
  const TPrinterLookup old = SetPrinterLookup([&] { return &printer; });
  TDistributionForm* d = Distribution(w);
  ASSERT_TRUE(d);
  EXPECT_TRUE(d->PrintBtn->isEnabled());
  // The page box of the PDF: width and height.
  auto pageIsPortrait = [](const std::string& pdf) {
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("/MediaBox \\[0 0 ([0-9.]+) ([0-9.]+)\\]"))
                                          .match(QString::fromLatin1(pdf.data(), qsizetype(pdf.size())));
    return m.hasMatch() && m.captured(1).toDouble() < m.captured(2).toDouble();
  };
  for (const auto& [step, portrait] : {std::pair{0, true}, std::pair{1, false}}) {
    const std::string file = folder_.file("print" + std::to_string(step) + ".pdf");
    printer.setOutputFileName(QString::fromStdString(file));
    d->StepCombo->setCurrentIndex(step);
    d->PrintBtn->click();
    EXPECT_EQ(pageIsPortrait(readFile(file)), portrait) << step;
    EXPECT_EQ(printer.pageLayout().orientation(), QPageLayout::Landscape);
  }
  SetPrinterLookup(old);
  EXPECT_TRUE(Messages(mtError).empty());
}

}  // namespace
