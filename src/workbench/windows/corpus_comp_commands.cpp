// The Frequency menu's Corpus Comparison (from the active word-list window)
// and its Sort (on the active comparison window).
#include "workbench/frame/frame_commands.h"

#include "foundation/dialogs.h"
#include "workbench/frame/frame_form.h"
#include "workbench/windows/corpus_comp_form.h"
#include "workbench/windows/word_list_form.h"

namespace {

void CompareWithWordList(TFrameForm& frame)
{
  auto* words = dynamic_cast<TWordListForm*>(frame.ActiveChild());
  if (!words)
    return;
  // The window's own total: the rows' counts and it come from one count.
  const int64_t total = words->Total();
  if (total <= 0) {
    ShowError(UnknownCurrentTotalText);
    return;
  }
  std::unique_ptr<THashStrings> table = words->WordListToTable();
  CompareCorpora(frame, *table, total);
}

void SortActiveComparison(TFrameForm& frame)
{
  if (auto* comparison = dynamic_cast<TCorpusCompForm*>(frame.ActiveChild()))
    comparison->Sort1Click();
}

}  // namespace

void installCorpusCompCommands(TFrameForm& frame)
{
  TFrameForm* f = &frame;
  frame.RegisterCommand(QStringLiteral("FMQ_CorpusComp"), [f] { CompareWithWordList(*f); });
  frame.RegisterCommand(QStringLiteral("FMQ_CorpusSort"), [f] { SortActiveComparison(*f); });
}
