// The concordance window's Sort menu and its sort driver: two-key sorts by
// the search term and the two words on either side, text order, and the
// advanced sort with its dialog.
#include "workbench/windows/concordance_form.h"

#include "forms/advanced_sort.h"
#include "foundation/dialogs.h"
#include "foundation/program_state.h"
#include "platform/frame_sink.h"
#include "platform/ui_bridge.h"
#include "search/concord_items.h"
#include "workbench/frame/menu_table.h"
#include "workbench/frame/qt_text.h"
#include "workbench/lineview/strings_view.h"

#include <QAction>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>

#include <string>

namespace {

struct TSortItem {
  const char* Name;
  uint8_t First;
  uint8_t Second;
  const char* Hint;
};

struct TSortSubmenu {
  const char* Name;
  const char* Caption;
  TSortItem Items[5];  // "No Second Sort" first
};

// The caption of an item after its second key.
const char* SecondKeyCaption(uint8_t key)
{
  switch (key) {
    case ctx2L: return "2nd Left";
    case ctx1L: return "1st Left";
    case ctx0: return "Search Term";
    case ctx1R: return "1st Right";
    case ctx2R: return "2nd Right";
    default: return "No Second Sort";
  }
}

constexpr TSortSubmenu SortSubmenus[] = {
    {"CMS_2Left", "2nd Left",
     {{"CMS_2Left_Only", ctx2L, ctxNone, "Sort hits based on second word to the left"},
      {"CMS_2Left_1Left", ctx2L, ctx1L,
       "Sort hits based on second word to the left and then first word to the left"},
      {"CMS_2Left_SearchTerm", ctx2L, ctx0, "Sort hits based on second word to the left and then the search term"},
      {"CMS_2Left_1Right", ctx2L, ctx1R,
       "Sort hits based on second word to the left and then first word to the right"},
      {"CMS_2Left_2Right", ctx2L, ctx2R,
       "Sort hits based on second word to the left and then second word to the right"}}},
    {"CMS_1Left", "1st &Left",
     {{"CMS_1Left_Only", ctx1L, ctxNone, "Sort hits based on first word to the left"},
      {"CMS_1Left_2Left", ctx1L, ctx2L,
       "Sort hits based on first word to the left and then second word to the left"},
      {"CMS_1Left_SearchTerm", ctx1L, ctx0, "Sort hits based on first word to the left and then the search term"},
      {"CMS_1Left_1Right", ctx1L, ctx1R,
       "Sort hits based on first word to the left and then first word to the right"},
      {"CMS_1Left_2Right", ctx1L, ctx2R,
       "Sort hits based on first word to the left and then second word to the right"}}},
    {"CMS_SearchTerm", "&Search Term",
     {{"CMS_SearchTerm_Only", ctx0, ctxNone, "Sort hits based on alphabetical order of search term"},
      {"CMS_SearchTerm_2Left", ctx0, ctx2L, "Sort hits based on search term and then second word to the left"},
      {"CMS_SearchTerm_1Left", ctx0, ctx1L, "Sort hits based on search term and then first word to the left"},
      {"CMS_SearchTerm_1Right", ctx0, ctx1R, "Sort hits based on search term and then first word to the right"},
      {"CMS_SearchTerm_2Right", ctx0, ctx2R, "Sort hits based on search term and then second word to the right"}}},
    {"CMS_1Right", "1st &Right",
     {{"CMS_1Right_Only", ctx1R, ctxNone, "Sort hits based on first word to the right"},
      {"CMS_1Right_2Left", ctx1R, ctx2L,
       "Sort hits based on first word to the right and then second word to the left"},
      {"CMS_1Right_1Left", ctx1R, ctx1L,
       "Sort hits based on first word to the right and then first word to the left"},
      {"CMS_1Right_SearchTerm", ctx1R, ctx0, "Sort hits based on first word to the right and then the search term"},
      {"CMS_1Right_2Right", ctx1R, ctx2R,
       "Sort hits based on first word to the right and then second word to the right"}}},
    {"CMS_2Right", "2nd Right",
     {{"CMS_2Right_Only", ctx2R, ctxNone, "Sort hits based on second word to the right"},
      {"CMS_2Right_2Left", ctx2R, ctx2L,
       "Sort hits based on second word to the right and then second word to the left"},
      {"CMS_2Right_1Left", ctx2R, ctx1L,
       "Sort hits based on second word to the right and then first word to the left"},
      {"CMS_2Right_Searchterm", ctx2R, ctx0,
       "Sort hits based on second word to the right and then the search term"},
      {"CMS_2Right_1Right", ctx2R, ctx1R,
       "Sort hits based on second word to the right and then first word to the right"}}},
};

// Runs a function when the scope ends, however it ends.
template <typename Fn>
class TAtScopeEnd {
public:
  explicit TAtScopeEnd(Fn fn) : fn_(std::move(fn)) {}
  ~TAtScopeEnd() { fn_(); }
  TAtScopeEnd(const TAtScopeEnd&) = delete;
  TAtScopeEnd& operator=(const TAtScopeEnd&) = delete;

private:
  Fn fn_;
};

std::string PanelName(uint8_t key)
{
  return SortKeyName(key).substr(0, 64);
}

}  // namespace

void TConcordanceForm::CreateSortMenu()
{
  CM_Sort = addMenu(SortMenuGroup, QStringLiteral("CM_Sort"), QStringLiteral("&Sort"));
  for (const TSortSubmenu& sub : SortSubmenus) {
    QMenu* menu = AddSubmenu(CM_Sort, sub.Name, sub.Caption, sub.Items[0].Hint);
    for (const TSortItem& item : sub.Items) {
      QAction* action = AddMenuItem(menu, item.Name, SecondKeyCaption(item.Second), item.Hint);
      connect(action, &QAction::triggered, this, [this, item] { SortByKeys(item.First, item.Second); });
    }
  }
  CM_Sort->addSeparator();
  CMS_Right_Left = AddMenuItem(CM_Sort, "CMS_Right_Left", "1st Right, 1st Left",
                               "Sort hits based on first word to the right and then first word to the left");
  CMS_Right_Left->setShortcut(QKeySequence(QStringLiteral("Ctrl+F1")));
  CMS_Left_Right = AddMenuItem(CM_Sort, "CMS_Left_Right", "1st Left, 1st Right",
                               "Sort hits based on first word to the left and then first word to the right");
  CMS_Left_Right->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+F1")));
  CMS_TextOrder = AddMenuItem(CM_Sort, "CMS_TextOrder", "&Original Order", "Sort hits in the order they were found");
  CM_Sort->addSeparator();
  CMS_AdvSort = AddMenuItem(CM_Sort, "CMS_AdvSort", "&Advanced Sort ...", "Sort hits with customizable options");
  connect(CMS_Right_Left, &QAction::triggered, this, [this] { SortByKeys(ctx1R, ctx1L); });
  connect(CMS_Left_Right, &QAction::triggered, this, [this] { SortByKeys(ctx1L, ctx1R); });
  connect(CMS_TextOrder, &QAction::triggered, this, [this] { SortByKeys(ctxOrig, ctxNone); });
  connect(CMS_AdvSort, &QAction::triggered, this, &TConcordanceForm::CMS_AdvSortClick);
}

void TConcordanceForm::SortByKeys(uint8_t first, uint8_t second)
{
  // The menu is hidden while the program is busy; its shortcuts wait too.
  if (IsBusy())
    return;
  TAdvancedSortColOptions sortSpec;
  ResetSortSpec(sortSpec);
  sortSpec.First = first;
  sortSpec.Second = second;
  SortConcordance(sortSpec, nullptr, false);
}

void TConcordanceForm::CMS_AdvSortClick()
{
  if (IsBusy())
    return;
  std::vector<TAdvancedSortColItem> keys;
  if (!ExecuteAdvancedSortDialog(false, ConcordSettings.AdvancedSort, keys))
    return;
  const TAdvancedSortColOptions& sortSpec = ConcordSettings.AdvancedSort;
  if (!sortSpec.Custom)
    keys.clear();
  const bool unsorted = sortSpec.First == ctxNone && sortSpec.Second == ctxNone && sortSpec.Third == ctxNone;
  if (unsorted && !sortSpec.Custom)
    return;
  SortConcordance(sortSpec, sortSpec.Custom ? &keys : nullptr, true);
}

void TConcordanceForm::SortConcordance(const TAdvancedSortColOptions& sortSpec,
                                       const std::vector<TAdvancedSortColItem>* customList, bool advanced)
{
  TAdvancedSortColOptions working = sortSpec;
  if (!advanced) {
    working.Third = ctxNone;
    working.FirstReverse = working.SecondReverse = working.ThirdReverse = false;
  }
  if (SameSortSpec(working, sortSpec_) && !customList)
    return;

  // Pumping messages may close the window; it is held by a guarded pointer
  // and everything shown while sorting is put back however the sort ends.
  const QPointer<TConcordanceForm> self(this);
  const ScopedHourglass hourglass;
  const QString keptTemplate = TemplateWindow->text();
  platform::frameSink().caption(ProgramTitle + " - [Sorting]");
  TemplateWindow->setText(QStringLiteral(" Sorting... "));
  const TAtScopeEnd restore([&] {
    if (self)
      self->TemplateWindow->setText(keptTemplate);
    platform::frameSink().caption(ProgramTitle);
  });
  platform::uiBridge().processMessages();
  if (!self)
    return;
  {
    const TRedrawOff redrawOff(ConcordWindow);
    items_->SortItems(working, customList);
    sortSpec_ = working;
    std::string panel = "Advanced sort";
    if (!advanced) {
      panel = PanelName(working.First);
      if (const std::string second = PanelName(working.Second); !second.empty())
        panel += ", " + second;
    }
    SortOrderWindow->setText(ToQString(panel));
  }
  ConcordWindow->ClearSelection();
  ConcordWindow->Relayout();
  ClearPane();
}
