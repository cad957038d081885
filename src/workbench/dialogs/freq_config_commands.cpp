// Frequency Options of the Frequency menu: the dialog, then whatever the
// changed settings make stale is refreshed, closed or dropped.
#include "workbench/frame/frame_commands.h"

#include "foundation/corpus_list.h"
#include "foundation/settings.h"
#include "foundation/stop_list.h"
#include "forms/frequency_config.h"
#include "workbench/dialogs/freq_config_dlg.h"
#include "workbench/frame/frame_form.h"
#include "workbench/windows/concordance_form.h"

namespace {

void ApplyFreqOptionsChanges(TFrameForm& frame, const TFreqOptionsChanges& changes)
{
  if (changes.FreeFreqList) {
    CorpusFreqList.reset();
    UpdateCorpusInfo(frame);
  }
  if (changes.ResetWordCounts)
    ResetWordCounts(frame);
  if (changes.CloseListWindows) {
    frame.CloseChildWindows(mkCollocation);
    frame.CloseChildWindows(mkWordList);
  }
  if (!changes.ReRankCollocates && !changes.DropCollocates)
    return;
  for (TMDIChildForm* child : frame.ChildWindows()) {
    auto* concordance = child->kind() == mkConcordance ? dynamic_cast<TConcordanceForm*>(child) : nullptr;
    if (!concordance)
      continue;
    if (changes.DropCollocates)
      concordance->DropCollocates();
    else
      concordance->ReRankCollocates(FrequencySettings.CollocHighliteFirst);
  }
}

void FreqOptions(TFrameForm& frame)
{
  if (!FreqConfigDlg)
    return;
  const TFrequencySettings before = FrequencySettings;
  const bool stopActiveBefore = GlobalStopList.Active();
  if (ExecuteFreqConfigDlg(*FreqConfigDlg) != QDialog::Accepted)
    return;
  ApplyFreqOptionsChanges(frame, FreqOptionsChanges(before, stopActiveBefore, FrequencySettings,
                                                    GlobalStopList.Active(), FreqConfigDlg->Model().StopListEdited));
}

}  // namespace

void installFreqConfigCommands(TFrameForm& frame)
{
  TFrameForm* f = &frame;
  frame.RegisterCommand(QStringLiteral("FMQ_FreqOptions"), [f] { FreqOptions(*f); });
}
