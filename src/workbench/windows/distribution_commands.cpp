// The concordance window's Distribution command: the line indexes the
// corpus lacks are built, then the window of that concordance opens or comes
// to the front; and the reset of every distribution window after corpus
// items were removed.
#include "workbench/windows/distribution_form.h"

#include "foundation/corpus_list.h"
#include "foundation/dialogs.h"
#include "foundation/settings.h"
#include "foundation/tag_scan.h"
#include "workbench/frame/frame_commands.h"
#include "workbench/frame/frame_form.h"
#include "workbench/output/text_sink.h"
#include "workbench/windows/concordance_form.h"

#include <QComboBox>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSignalBlocker>

namespace {

bool AllLineIndexesPresent()
{
  for (int32_t i = 0; i < CorpusList.Count(); ++i)
    if (!CorpusList[i].LineIndex.Present())
      return false;
  return true;
}

// The line pass over every item without a line index; Cancel stops it.
void CollectMissingLineIndexes(TCorpusFrame& frame)
{
  // The pass lets events in; the flag keeps the corpus where it is.
  BusyScope busy(BusyCollecting);
  TagScanCancelled = false;
  for (int32_t i = 0; i < CorpusList.Count() && !TagScanCancelled; ++i) {
    TCorpusItem& item = CorpusList[i];
    if (item.LineIndex.Present())
      continue;
    const TCorpusItem* wanted = &item;
    const std::string name = item.Name;
    int32_t words = item.WordCount;
    if (CollectTagInfo(name, true, words, false, false, false) != TTagScanResult::Done)
      continue;
    const int32_t k = CorpusList.IndexOf(wanted);
    if (k >= 0)
      CorpusList[k].WordCount = words;
  }
  UpdateWordTotal(frame);
  UpdateCorpusInfo(frame);
}

}  // namespace

TDistributionForm* ShowDistribution(TConcordanceForm& concordance)
{
  for (TDistributionForm* window : TDistributionForm::DistributionWindows()) {
    if (window->OwnerForm() != &concordance)
      continue;
    if (FrameForm && window->subWindow())
      FrameForm->ClientArea->setActiveSubWindow(window->subWindow());
    else
      window->raise();
    return window;
  }

  if (!AllLineIndexesPresent()) {
    TCorpusFrame none;
    CollectMissingLineIndexes(FrameForm ? static_cast<TCorpusFrame&>(*FrameForm) : none);
    if (!AllLineIndexesPresent())
      return nullptr;
  }

  auto* form = new TDistributionForm(&concordance);
  TDistributionModel& model = form->Model();
  model.Open();
  {
    const QSignalBlocker blocker(form->StepCombo);
    form->StepCombo->setCurrentIndex(model.StepIndex);
  }
  form->FillScopeCombo();
  form->SetStepControlsEnabled(model.StepControlsEnabled());
  form->DrawDistribution(true);
  form->FillDistributionInfo();
  form->PrintBtn->setEnabled(ProgramPrinter() != nullptr);
  if (FrameForm)
    FrameForm->AddChildWindow(form);
  else
    form->show();
  return form;
}

void ResetDistributions()
{
  for (TDistributionForm* window : TDistributionForm::DistributionWindows())
    window->ResetDistribution();
}

void installDistributionCommands(TFrameForm& /*frame*/, TFrameCommands& /*commands*/)
{
  TConcordanceForm::DistributionCommand = [](TConcordanceForm& concordance) {
    try {
      ShowDistribution(concordance);
    } catch (const std::exception& e) {
      ShowError(e.what());
    }
  };
}
