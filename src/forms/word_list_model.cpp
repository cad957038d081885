#include "forms/word_list_model.h"

#include "foundation/chartables.h"

#include <algorithm>

// ---------------------------------------------------------------------------
// TWordListModel

namespace {

bool ListOrder(const std::string& a, const std::string& b)
{
  return LocaleCompare(a, b, true) < 0;
}

}  // namespace

TWordListModel::TWordListModel() : textFont_(SystemFont) {}

void TWordListModel::SetSelection(std::vector<bool> selected)
{
  selected.resize(wordList_.size(), false);
  selected_ = std::move(selected);
}

bool TWordListModel::RemoveEnabled() const
{
  return std::find(selected_.begin(), selected_.end(), true) != selected_.end();
}

void TWordListModel::SetWordList(std::vector<std::string> words)
{
  std::stable_sort(words.begin(), words.end(), ListOrder);
  wordList_ = std::move(words);
  selected_.assign(wordList_.size(), false);
}

size_t TWordListModel::InsertSorted(const std::string& word)
{
  const auto at = std::upper_bound(wordList_.begin(), wordList_.end(), word, ListOrder);
  const auto index = at - wordList_.begin();
  wordList_.insert(at, word);
  selected_.insert(selected_.begin() + index, false);
  return static_cast<size_t>(index);
}

void TWordListModel::ClearWordList()
{
  wordList_.clear();
  selected_.clear();
}
