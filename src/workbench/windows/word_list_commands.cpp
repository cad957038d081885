// The Frequency menu's word lists: Corpus Frequency Data in frequency or
// alphabetical order into a word-list window, and Batch Frequency Data into
// a file.
#include "workbench/frame/frame_commands.h"

#include "foundation/corpus_list.h"
#include "foundation/dialogs.h"
#include "foundation/program_state.h"
#include "foundation/settings.h"
#include "foundation/text_sink.h"
#include "forms/word_list_rows.h"
#include "workbench/frame/frame_form.h"
#include "workbench/windows/word_list_form.h"

#include <QMdiArea>
#include <QMdiSubWindow>

namespace {

// Counting a corpus that is still downloading: the user may go on.
bool ConfirmUnfinishedURLs()
{
  return PendingURLCount <= 0 || WarnYesNo(UnfinishedURLsFrequencyText, true);
}

void ShowWordList(TFrameForm& frame, bool alphabetical)
{
  QPointer<TMDIChildForm>& open = alphabetical ? frame.AlphaOrderWindow : frame.FreqOrderWindow;
  if (open) {
    if (QMdiSubWindow* sub = open->subWindow()) {
      if (sub->isMinimized())
        sub->showNormal();
      frame.ClientArea->setActiveSubWindow(sub);
    }
    return;
  }
  if (!ConfirmUnfinishedURLs())
    return;
  BusyScope busy(BusyCounting);
  EnsureCorpusFreqList(frame);
  if (!CorpusFreqList)
    return;
  auto* window = new TWordListForm;
  window->FillWordList(*CorpusFreqList, alphabetical ? wlmAlphabetical : wlmByCount,
                       alphabetical ? AlphaOrderCaption : FreqOrderCaption, TotalWordCount);
  frame.AddChildWindow(window);
  open = window;
}

void WriteBatchWordList(TFrameForm& frame, bool alphabetical)
{
  if (!ConfirmUnfinishedURLs())
    return;
  TFileDialog& d = frame.SaveDialog;
  d.Options |= ofOverwritePrompt;
  d.Title = BatchFrequencySaveTitle;
  d.Filter = BatchTextFilter;
  d.FilterIndex = 1;
  if (!d.Execute())
    return;
  BusyScope busy(BusyCounting);
  EnsureCorpusFreqList(frame);
  if (!CorpusFreqList)
    return;  // cancelled: the chosen file stays as it was
  try {
    TFileTextSink file(d.FileName);
    WriteBatchFrequencyList(file, *CorpusFreqList, alphabetical);
    file.Close();
  } catch (const std::exception& e) {
    ShowError(e.what());
  }
}

}  // namespace

void installWordListCommands(TFrameForm& frame)
{
  TFrameForm* f = &frame;
  frame.RegisterCommand(QStringLiteral("FMQ_WordListFreq"), [f] { ShowWordList(*f, false); });
  frame.RegisterCommand(QStringLiteral("FMQ_WordListAlpha"), [f] { ShowWordList(*f, true); });
  frame.RegisterCommand(QStringLiteral("FMQ_BatchWordListFreq"), [f] { WriteBatchWordList(*f, false); });
  frame.RegisterCommand(QStringLiteral("FMQ_BatchWordListAlpha"), [f] { WriteBatchWordList(*f, true); });
}
