#include "forms/stop_list_model.h"

#include "forms/code_page_text.h"

#include "foundation/buf_stream_config.h"
#include "foundation/chartables.h"
#include "foundation/dialogs.h"
#include "foundation/program_state.h"

#include <algorithm>
#include <stdexcept>

// ---------------------------------------------------------------------------
// TViewStopListModel

TViewStopListModel::TViewStopListModel(TStopList& list, TStopListFileChooser& chooser)
  : list_(list), chooser_(chooser)
{
}

void TViewStopListModel::Open()
{
  FillWordList();
  modified_ = false;
  backup_ = Backup{list_.FileName, list_.Words()};
}

void TViewStopListModel::FillWordList()
{
  SetWordList(list_.Words());
}

std::string TViewStopListModel::FileNameLabel() const
{
  return NameOfPath(list_.FileName);
}

void TViewStopListModel::Add()
{
  std::string text;
  if (!QueryInput("Add to Stop List", "Enter word(s) to add to stop list:", textFont_, text))
    return;
  // Cut and split between characters: a double-byte character is a letter,
  // whatever its trail byte.
  text = std::string(CharPrefix(text, 255));
  TCharSet delimiters;
  BuildDelimiterSet(delimiters);
  size_t start = 0;
  for (size_t i = 0, n = 1; i <= text.size(); i += n) {
    n = i < text.size() ? CharBytes(text, i) : 1;
    if (i < text.size() && (n > 1 || !delimiters.test(static_cast<unsigned char>(text[i]))))
      continue;
    if (i > start) {
      std::string word = text.substr(start, i - start);
      // Compared as IsStopWord compares, whether or not the list is in use.
      if (!list_.HasWord(word)) {
        list_.AddWord(word);
        InsertSorted(word);
        modified_ = true;
      }
    }
    start = i + 1;
  }
}

void TViewStopListModel::Remove()
{
  RemoveSelected([this](const std::string& word, size_t) {
    list_.RemoveWord(word);
    modified_ = true;
  });
}

void TViewStopListModel::Clear()
{
  if (WordList().empty() || !ConfirmOkCancel("Remove all words from stop list?", true))
    return;
  ClearWordList();
  list_.SetFileName("");
  modified_ = true;
}

void TViewStopListModel::Save()
{
  const std::string before = list_.FileName;
  if (list_.FileName.empty()) {
    std::string chosen;
    if (!chooser_.ChooseSaveFile(SaveDialogTitle, StopListPath, chosen) || chosen.empty())
      return;
    // Not SetFileName, which would empty the words.
    list_.FileName = MakeFileName(chosen, "TXT");
  }
  try {
    WriteStopListFile(list_.FileName, WordList());
  } catch (const std::exception&) {
    const std::string failed = list_.FileName;
    list_.FileName = before;
    ShowError("Unable to save stop-list words to file \r\n" + failed);
    return;
  }
  StopListPath = FolderOfPath(list_.FileName);
  modified_ = false;
}

void TViewStopListModel::Load()
{
  std::string chosen;
  if (!chooser_.ChooseLoadFile(LoadDialogTitle, StopListPath, chosen) || chosen.empty())
    return;
  const std::string fileName = MakeFileName(chosen, "TXT");
  std::vector<std::string> words;
  if (!readStopListWords(fileName, words)) {
    ShowError(stopListLoadFailureText(fileName));
    return;
  }
  // The new name and words in one step, so the list's Active flag stays.
  SetWordList(std::move(words));
  list_.FileName = fileName;
  list_.SetWords(WordList());
  StopListPath = FolderOfPath(fileName);
  modified_ = false;
}

void TViewStopListModel::Close()
{
  if (modified_ && !ConfirmOkCancel("Save changes?", true) && backup_) {
    list_.FileName = backup_->FileName;
    list_.SetWords(backup_->Words);
    list_.SetActive(!backup_->Words.empty());
  }
  backup_.reset();
  modified_ = false;
}
