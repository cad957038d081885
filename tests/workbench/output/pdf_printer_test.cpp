// Printing without a print server: Print Setup offers the PDF file printer
// after the system's printers, and every window's Print then writes the PDF
// file the printer asks for; cancelling that question prints nothing and
// reports nothing.
#include "workbench/frame/frame_test_support.h"
#include "support/text_checks.h"

#include "workbench/frame/frame_commands.h"
#include "workbench/output/output_config_dlg.h"
#include "workbench/output/print_setup_dlg.h"
#include "workbench/output/text_sink.h"
#include "workbench/windows/collocation_form.h"
#include "workbench/windows/concordance_form.h"
#include "workbench/windows/distribution_form.h"
#include "workbench/windows/full_text_form.h"
#include "workbench/windows/scripted_search.h"

#include <QComboBox>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QThread>

#include <chrono>
#include <filesystem>

using frametest::FrameTest;
using frametest::ScriptedSearch;

namespace {

// File dialogs answered from the queue; Print Setup runs the real dialog.
class FilesAndSetup : public frametest::ChosenFiles {
public:
  bool ExecutePrinterSetup() override { return RunPrintSetup(nullptr); }
};

class PdfPrinterTest : public FrameTest {
protected:
  PdfPrinterTest()
  {
    Start({folder_.write("a.txt", "The dog and the cat.\r\nA dog ran.\r\nThe dog sat on the mat.\r\n")});
    SearchTemplateDlg->Model().SetView(&view_);
    view_.Fill = [](TSearchTemplateModel& m) { m.SearchString.Text = "dog"; };
    commands_ = InstallFrameCommands(Frame());
    FrequencySettings.MinimumFrequency = 1;
    outputRunner_ = SetOutputConfigRunner([](TOutputConfigDlg& dlg) {
      dlg.OKBtnClick();
      return int(QDialog::Accepted);
    });
  }
  ~PdfPrinterTest() override
  {
    SetOutputConfigRunner(std::move(outputRunner_));
    SetPrintSetupRunner({});
    SearchTemplateDlg->Model().SetView(SearchTemplateDlg);
  }
  void Trigger(const char* name)
  {
    Frame().UpdateMenuState();
    ASSERT_TRUE(Item(name)->isEnabled()) << name;
    Item(name)->trigger();
  }

  ScriptedSearch view_;
  FilesAndSetup files_;
  TFrameCommands* commands_ = nullptr;
  TOutputConfigRunner outputRunner_;
};

TEST_F(PdfPrinterTest, EveryWindowPrintsToTheFileThePdfPrinterAsksFor)
{
  SetPrintSetupRunner([](TPrintSetupDlg& dlg) {
    EXPECT_EQ(dlg.PrinterCombo->itemText(dlg.PrinterCombo->count() - 1), PdfFilePrinterName);
    dlg.PrinterCombo->setCurrentText(PdfFilePrinterName);
    dlg.accept();
    return dlg.result();
  });
  Trigger("FMF_PrintSetup");
  ASSERT_EQ(SelectedPrinterName(), PdfFilePrinterName);

  commands_->GenerateConcordance(false);
  TConcordanceForm& concordance = *TConcordanceForm::ConcordanceWindows().back();
  const auto activate = [this](QWidget* child) {
    Frame().ClientArea->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(child->parentWidget()));
  };
  const std::vector<std::pair<const char*, std::function<void()>>> prints = {
      {"concordance", [&] { activate(&concordance); Trigger("FMC_Print"); }},
      {"collocation", [&] { activate(&concordance); Trigger("FMQ_Frequency"); Trigger("FMQ_Print"); }},
      {"word list", [&] { Trigger("FMQ_WordListFreq"); Trigger("FMQ_Print"); }},
      {"distribution", [&] {
         concordance.updateMenus();
         concordance.CMD_Distribution->trigger();
         TDistributionForm* d = TDistributionForm::DistributionWindows().back();
         ASSERT_TRUE(d->PrintBtn->isEnabled());
         d->PrintBtn->click();
       }},
      {"full text", [&] {
         auto* text = dynamic_cast<TFullTextForm*>(Frame().ChildWindows().front());
         ASSERT_TRUE(text);
         const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
         while (!text->TMT_Print->isEnabled() && std::chrono::steady_clock::now() < until) {
           QThread::msleep(5);
           QApplication::processEvents();
           text->updateMenus();
         }
         text->TMT_Print->trigger();
       }},
  };
  for (const auto& [window, print] : prints) {
    SCOPED_TRACE(window);
    const std::string file = folder_.file(std::string(window) + ".pdf");
    files_.Answers.push_back(file);
    print();
    EXPECT_EQ(files_.Shown.back().Title, PdfFileDialogTitle);
    const std::string pdf = testsupport::readFile(file);
    EXPECT_EQ(pdf.rfind("%PDF", 0), 0u);
    EXPECT_GT(pdf.size(), 500u);
  }
  // Cancelling the question for the file prints nothing and says nothing.
  for (const auto& [window, print] : prints) {
    SCOPED_TRACE(window);
    const size_t asked = files_.Shown.size();
    print();
    EXPECT_EQ(files_.Shown.size(), asked + 1);
  }
  EXPECT_TRUE(Messages(mtError).empty());
}

}  // namespace
