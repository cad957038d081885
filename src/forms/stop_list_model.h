// The model of the "View Stop List" dialog that edits the stop list.
#pragma once

#include "forms/word_list_model.h"
#include "foundation/stop_list.h"

#include <optional>
#include <string>
#include <vector>

// The file dialogs of the stop-list editor; the Qt form fills it with file
// dialogs, tests with fixed answers. Each returns false when cancelled.
class TStopListFileChooser {
public:
  virtual ~TStopListFileChooser() = default;
  virtual bool ChooseLoadFile(const std::string& title, const std::string& startFolder,
                              std::string& fileName) = 0;
  virtual bool ChooseSaveFile(const std::string& title, const std::string& startFolder,
                              std::string& fileName) = 0;
};

// Everything of the "View Stop List" dialog but its widgets. `WordList` is
// the sorted list box (language order ignoring case) with its selection.
class TViewStopListModel : public TWordListModel {
public:
  static constexpr const char* Caption = "View Stop List";
  static constexpr const char* TitleText = "Words in stop list:";
  static constexpr const char* LoadDialogTitle = "Load New Stop List";
  static constexpr const char* SaveDialogTitle = "Save Stop List";

  TViewStopListModel(TStopList& list, TStopListFileChooser& chooser);

  // Each time the dialog is opened: fills WordList from Words, clears the
  // modified flag and takes the backup.
  void Open();
  // Fills WordList from Words (the list box's content when shown).
  void FillWordList();

  void Add();
  void Remove();
  void Clear();
  void Save();
  void Load();
  // When modified and "Save changes?" is not confirmed: restores FileName and
  // Words from the backup and makes the list active when the backup held
  // words. Frees the backup.
  void Close();

  std::string FileNameLabel() const;  // FileName without its folder
  bool ClearEnabled() const { return !WordList().empty(); }

private:
  struct Backup {
    std::string FileName;
    std::vector<std::string> Words;
  };

  TStopList& list_;
  TStopListFileChooser& chooser_;
  std::optional<Backup> backup_;
};
