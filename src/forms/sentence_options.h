// The sentence settings dialogs without their widgets: "Show Full Sentence
// Options" (the sentence delimiters and the abbreviation handling) and the
// "Sentence Delimiters Exceptions List" editor with its SentExceptsFile.
//
// SentExceptsFile: a word-list file (see ReadWordListFile).
#pragma once

#include "foundation/settings.h"
#include "forms/word_list_model.h"

#include <functional>
#include <string>
#include <vector>

class TStopListFileChooser;

class TSentCfgModel {
public:
  static constexpr const char* Caption = "Show Full Sentence Options";

  // Takes SentDelimiters and SmartAbbrDetect.
  TSentCfgModel();

  std::string Delimiters;
  bool SmartAbbr = false;

  // "Exceptions ..." applies only without smart detection.
  bool ExceptionsEnabled() const { return !SmartAbbr; }
  // OK: SentDelimiters := the delimiters without any blank; SmartAbbrDetect
  // := the check box.
  void Ok();
};

// Everything of the exceptions editor but its widgets. It works on
// SentDelimitersExcepts directly; WordList is the sorted list box (language
// order ignoring case) with its selection.
class TViewSentExceptsModel : public TWordListModel {
public:
  static constexpr const char* Caption = "Sentence Delimiters Exceptions List";
  static constexpr const char* TitleText = "Words in file:";
  static constexpr const char* LoadDialogTitle = "Load New Stop List";
  static constexpr const char* SaveDialogTitle = "Save Stop List";
  static constexpr const char* AddCaption = "Add to List";
  static constexpr const char* AddPrompt = "Enter word to add:";
  static constexpr const char* CannotAddText = "List box cannot accept more entries.";
  static constexpr const char* ClearQuestion = "Remove all words from list?";
  static constexpr const char* SaveFailedText = "Unable to save to file \r\n";
  static constexpr const char* LoadFailedText = "Unable to load words from \r\n";
  static constexpr const char* CancelQuestion =
      "Setting are modified.\rAre you sure that you want to exit without saving changes ?";

  explicit TViewSentExceptsModel(TStopListFileChooser& chooser);

  // When the dialog opens: fills WordList from SentDelimitersExcepts, takes
  // the restore point, clears Modified and the file name label.
  void Open();

  void Add();
  void Remove();
  void Clear();
  void Save();
  void Load();
  // "&OK": keeps every change.
  void Ok();
  // "C&ancel": true when the dialog may close. When modified, asks first; a
  // confirmation restores SentDelimitersExcepts from the restore point.
  bool Cancel();

  const std::string& FileName() const { return fileName_; }
  const std::string& FileNameLabel() const { return fileNameLabel_; }
  bool SaveEnabled() const { return !WordList().empty(); }

private:
  TStopListFileChooser& chooser_;
  std::vector<std::string> restorePoint_;
  std::string fileName_;
  std::string fileNameLabel_;
};

// SentExceptsFile. Both throw std::runtime_error on failure (also for
// anything but a regular file); a failed write keeps the old file.
std::vector<std::string> ReadSentExceptsFile(const std::string& fileName);
void WriteSentExceptsFile(const std::string& fileName, const std::vector<std::string>& words);

// Runs "Show Full Sentence Options"; true when the user confirmed, and the
// settings are then updated. The workbench installs the form; without one
// nothing is shown and the result is false.
bool ShowSentenceOptions();
void SetSentenceOptionsEditor(std::function<bool()> editor);
