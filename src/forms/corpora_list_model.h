// The "List of Open Corpora" dialog without its widgets: the selection over
// the corpus list (kept in step with it through the list's change
// notification), the enabling of its three buttons and what they do.
#pragma once

#include "foundation/corpus_list.h"

#include <cstdint>
#include <functional>
#include <vector>

inline constexpr const char* CorporaListCaption = "List of Open Corpora";
inline constexpr const char* ViewFilesCaption = "Select File(s) to View";

class TCorporaListModel {
public:
  // What the dialog's actions ask of the windows around it.
  struct THooks {
    // Every concordance window drops the hits of a removed item.
    std::function<void(int32_t fileIndex)> RemoveFileHits;
    // Every distribution window returns to the whole corpus.
    std::function<void()> ResetDistributions;
    std::function<void()> CloseDialog;
    std::function<void()> BringToFront;
  };

  TCorporaListModel(TCorpusFrame& frame, THooks hooks);
  ~TCorporaListModel();
  TCorporaListModel(const TCorporaListModel&) = delete;
  TCorporaListModel& operator=(const TCorporaListModel&) = delete;

  // The selection, one entry per corpus item, and the current item (-1: none).
  std::vector<bool> Selected;
  int32_t Current = -1;
  void SetSelection(const std::vector<int32_t>& items, int32_t current);
  std::vector<int32_t> SelectedItems() const;

  bool RemoveEnabled = false;
  bool ShowEnabled = false;
  bool ReloadEnabled = false;

  void UpdateCorporaButtons();
  void ShowSelectedCorpora();
  void RemoveSelectedCorpora();
  void ReloadClick();
  void DoubleClick();

  // Called after the corpus list changed and the selection followed it.
  std::function<void(TCorpusChange, int32_t)> OnListChanged;

private:
  void listChanged(TCorpusChange change, int32_t i);

  TCorpusFrame& frame_;
  THooks hooks_;
  int listener_ = 0;
};
