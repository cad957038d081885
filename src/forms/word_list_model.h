// What the word-list editors share (the stop list and the sentence
// delimiters' exceptions): the sorted list box of the editor with its
// selection.
#pragma once

#include "foundation/settings.h"
#include "foundation/word_list.h"

#include <cstddef>
#include <string>
#include <vector>

// The list box of a word-list editor: its words sorted in the text
// language's order ignoring case, a selection flag for each, the modified
// flag and the font of the input box.
class TWordListModel {
public:
  const std::vector<std::string>& WordList() const { return wordList_; }
  const std::vector<bool>& Selection() const { return selected_; }
  void SetSelection(std::vector<bool> selected);  // one flag per WordList entry
  bool Modified() const { return modified_; }
  // At least one word is selected.
  bool RemoveEnabled() const;

  void SetTextFont(const TFontRec& font) { textFont_ = font; }
  const TFontRec& TextFont() const { return textFont_; }

protected:
  TWordListModel();
  ~TWordListModel() = default;

  // Replaces the words (sorted here) and selects none.
  void SetWordList(std::vector<std::string> words);
  // Inserts after any equal word, unselected; the index.
  size_t InsertSorted(const std::string& word);
  // Removes the selected words, last first, and calls removed(word, index)
  // after each, with the index the word had.
  template <typename Removed>
  void RemoveSelected(Removed removed);
  void ClearWordList();
  void Select(size_t index) { selected_[index] = true; }

  bool modified_ = false;
  TFontRec textFont_;

private:
  std::vector<std::string> wordList_;
  std::vector<bool> selected_;
};

template <typename Removed>
void TWordListModel::RemoveSelected(Removed removed)
{
  for (size_t i = wordList_.size(); i-- > 0;) {
    if (!selected_[i])
      continue;
    std::string word = std::move(wordList_[i]);
    wordList_.erase(wordList_.begin() + static_cast<std::ptrdiff_t>(i));
    selected_.erase(selected_.begin() + static_cast<std::ptrdiff_t>(i));
    removed(word, i);
  }
}
