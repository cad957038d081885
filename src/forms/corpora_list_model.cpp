#include "forms/corpora_list_model.h"

#include "foundation/settings.h"
#include "foundation/utils.h"
#include "platform/ui_bridge.h"

TCorporaListModel::TCorporaListModel(TCorpusFrame& frame, THooks hooks) : frame_(frame), hooks_(std::move(hooks))
{
  Selected.assign(static_cast<size_t>(CorpusList.Count()), false);
  listener_ = CorpusList.AddListener([this](TCorpusChange change, int32_t i) { listChanged(change, i); });
}

TCorporaListModel::~TCorporaListModel()
{
  CorpusList.RemoveListener(listener_);
}

void TCorporaListModel::listChanged(TCorpusChange change, int32_t i)
{
  const size_t at = static_cast<size_t>(i);
  if (change == TCorpusChange::Added && at <= Selected.size()) {
    Selected.insert(Selected.begin() + static_cast<std::ptrdiff_t>(at), false);
    if (Current >= i)
      ++Current;
  } else if (change == TCorpusChange::Removed && at < Selected.size()) {
    Selected.erase(Selected.begin() + static_cast<std::ptrdiff_t>(at));
    if (Current == i)
      Current = -1;
    else if (Current > i)
      --Current;
  }
  if (OnListChanged)
    OnListChanged(change, i);
}

void TCorporaListModel::SetSelection(const std::vector<int32_t>& items, int32_t current)
{
  Selected.assign(static_cast<size_t>(CorpusList.Count()), false);
  for (int32_t i : items)
    if (i >= 0 && i < CorpusList.Count())
      Selected[static_cast<size_t>(i)] = true;
  Current = current >= 0 && current < CorpusList.Count() ? current : -1;
}

std::vector<int32_t> TCorporaListModel::SelectedItems() const
{
  std::vector<int32_t> items;
  for (size_t i = 0; i < Selected.size(); ++i)
    if (Selected[i])
      items.push_back(static_cast<int32_t>(i));
  return items;
}

void TCorporaListModel::UpdateCorporaButtons()
{
  const std::vector<int32_t> items = SelectedItems();
  RemoveEnabled = ShowEnabled = ReloadEnabled = false;
  if (Current < 0 || items.empty())
    return;
  RemoveEnabled = !IsBusy();
  ShowEnabled = true;
  for (int32_t i : items) {
    const TCorpusItem& item = CorpusList[i];
    if (IsURL(item.Name) && !dynamic_cast<const TDownloadStream*>(item.Source.get())) {
      ReloadEnabled = true;
      break;
    }
  }
}

void TCorporaListModel::ShowSelectedCorpora()
{
  for (int32_t i = 0; i < CorpusList.Count() && static_cast<size_t>(i) < Selected.size(); ++i) {
    if (!Selected[static_cast<size_t>(i)])
      continue;
    frame_.ShowFullText(CorpusList[i].Name);
    if (static_cast<size_t>(i) < Selected.size())
      Selected[static_cast<size_t>(i)] = false;
  }
  UpdateCorporaButtons();
  if (hooks_.BringToFront)
    hooks_.BringToFront();
}

void TCorporaListModel::RemoveSelectedCorpora()
{
  // The data of a running operation stays where it is.
  if (IsBusy())
    return;
  const std::vector<int32_t> items = SelectedItems();
  for (auto it = items.rbegin(); it != items.rend(); ++it) {
    if (*it >= CorpusList.Count())
      continue;
    RemoveCorpusItem(frame_, *it);
    if (hooks_.RemoveFileHits)
      hooks_.RemoveFileHits(*it);
  }
  UpdateCorpusInfo(frame_);
  platform::uiBridge().processMessages();
  if (CorpusList.Empty()) {
    if (hooks_.CloseDialog)
      hooks_.CloseDialog();
    UnloadCorpus(frame_);
  } else {
    if (hooks_.ResetDistributions)
      hooks_.ResetDistributions();
    UpdateCorporaButtons();
    if (hooks_.BringToFront)
      hooks_.BringToFront();
  }
}

void TCorporaListModel::ReloadClick()
{
  if (IsBusy())
    return;
  ReloadCorpusItem(frame_, SelectedItems());
  if (hooks_.CloseDialog)
    hooks_.CloseDialog();
}

void TCorporaListModel::DoubleClick()
{
  ShowSelectedCorpora();
  if (hooks_.CloseDialog)
    hooks_.CloseDialog();
}
