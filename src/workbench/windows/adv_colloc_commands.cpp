// The frame's Advanced Collocation command: the dialog in collocation mode,
// then the count of the active concordance window's hits.
#include "workbench/windows/adv_colloc.h"

#include "forms/advanced_sort.h"
#include "forms/word_list_rows.h"
#include "foundation/abort.h"
#include "foundation/hash_strings.h"
#include "search/advanced_collocation.h"
#include "search/concord_items.h"
#include "workbench/dialogs/progress_form.h"
#include "workbench/frame/frame_commands.h"
#include "workbench/frame/frame_form.h"
#include "workbench/windows/concordance_form.h"
#include "workbench/windows/word_list_form.h"

#include <QMdiSubWindow>

TWordListForm* AdvancedCollocation(QWidget* owner, const TConcordItems& hits,
                                   const std::vector<TAdvancedSortColItem>& keys,
                                   const TAdvancedSortColOptions& record)
{
  std::unique_ptr<THashStrings> table;
  try {
    table = CountAdvancedCollocation(hits, keys, record, MakeApplicationModal);
  } catch (const EAbort&) {
    return nullptr;
  }
  auto form = std::make_unique<TWordListForm>();
  TWordListForm* window = form.get();
  // The window holds copies of its rows; it closes with the concordance.
  if (owner) {
    auto close = [window] {
      if (QMdiSubWindow* sub = window->subWindow())
        sub->close();
      else
        window->close();
    };
    if (auto* concordance = qobject_cast<TConcordanceForm*>(owner))
      QObject::connect(concordance, &TConcordanceForm::Closed, window, close);
    QObject::connect(owner, &QObject::destroyed, window, close);
  }
  window->FillWordList(*table, wlmKeep, AdvancedCollocationCaption(record, keys), hits.Count(),
                       record.ShowFirst > 0 ? record.ShowFirst : 0);
  return form.release();
}

void installAdvancedCollocationCommands(TFrameForm& frame)
{
  frame.RegisterCommand(QStringLiteral("FMQ_AdvColloc"), [&frame] {
    auto* concordance = dynamic_cast<TConcordanceForm*>(frame.ActiveChild());
    if (!concordance)
      return;
    TAdvancedSortColOptions& record = ConcordSettings.AdvancedColloc;
    std::vector<TAdvancedSortColItem> keys;
    if (!ExecuteAdvancedSortDialog(true, record, keys))
      return;
    if (keys.empty() && !record.SpanCollocation)
      return;
    TWordListForm* window = nullptr;
    {
      // The count lets events in; the hits must stay where they are.
      BusyScope busy(BusyCounting);
      window = AdvancedCollocation(concordance, concordance->Items(), keys, record);
    }
    if (window)
      frame.AddChildWindow(window);
  });
}
