#include "forms/sentence_options.h"

#include "foundation/chartables.h"
#include "foundation/dialogs.h"
#include "foundation/program_state.h"
#include "forms/stop_list_model.h"
#include "foundation/utils.h"
#include "search/sentence.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace {

std::function<bool()>& SentenceOptionsEditor()
{
  static std::function<bool()> editor;
  return editor;
}

}  // namespace

// ---------------------------------------------------------------------------
// SentExceptsFile

std::vector<std::string> ReadSentExceptsFile(const std::string& fileName)
{
  return ReadWordListFile(fileName);
}

void WriteSentExceptsFile(const std::string& fileName, const std::vector<std::string>& words)
{
  WriteWordListFile(fileName, words);
}

// ---------------------------------------------------------------------------
// TSentCfgModel

TSentCfgModel::TSentCfgModel() : Delimiters(SentDelimiters), SmartAbbr(SmartAbbrDetect) {}

void TSentCfgModel::Ok()
{
  SentDelimiters = RemoveBlanks(Delimiters);
  SmartAbbrDetect = SmartAbbr;
}

bool ShowSentenceOptions()
{
  auto& editor = SentenceOptionsEditor();
  return editor ? editor() : false;
}

void SetSentenceOptionsEditor(std::function<bool()> editor)
{
  SentenceOptionsEditor() = std::move(editor);
}

// ---------------------------------------------------------------------------
// TViewSentExceptsModel

TViewSentExceptsModel::TViewSentExceptsModel(TStopListFileChooser& chooser) : chooser_(chooser) {}

void TViewSentExceptsModel::Open()
{
  SetWordList(SentDelimitersExcepts);
  restorePoint_ = SentDelimitersExcepts;
  modified_ = false;
  fileNameLabel_.clear();
}

void TViewSentExceptsModel::Add()
{
  std::string text;
  if (!QueryInput(AddCaption, AddPrompt, textFont_, text) || text.empty())
    return;
  std::string word = LowerCaseText(TrimBlanks(text));
  if (!word.empty() && word.back() == '.')
    word.pop_back();
  if (word.empty() || FindSentException(word) != SentDelimitersExcepts.end())
    return;
  try {
    SentDelimitersExcepts.push_back(word);
    const size_t index = InsertSorted(word);
    SetSelection({});
    Select(index);
    modified_ = true;
  } catch (const std::exception&) {
    ShowWarning(CannotAddText);
  }
}

void TViewSentExceptsModel::Remove()
{
  if (!RemoveEnabled())
    return;
  // Each word that followed a removed one is selected.
  RemoveSelected([this](const std::string& word, size_t index) {
    const auto found = FindSentException(word);
    if (found != SentDelimitersExcepts.end())
      SentDelimitersExcepts.erase(found);
    if (index < WordList().size())
      Select(index);
    modified_ = true;
  });
}

void TViewSentExceptsModel::Clear()
{
  if (WordList().empty() || !AskConfirmation(ClearQuestion))
    return;
  SentDelimitersExcepts.clear();
  ClearWordList();
  fileNameLabel_.clear();
  modified_ = true;
}

void TViewSentExceptsModel::Save()
{
  if (!SaveEnabled())
    return;
  if (fileName_.empty()) {
    std::string chosen;
    if (!chooser_.ChooseSaveFile(SaveDialogTitle, SentDelimitersPath, chosen))
      return;
    fileName_ = MakeFileName(chosen, "TXT");
  }
  try {
    WriteSentExceptsFile(fileName_, WordList());
  } catch (const std::exception&) {
    ShowError(SaveFailedText + fileName_);
    fileName_.clear();
    fileNameLabel_.clear();
    return;
  }
  SentDelimitersPath = FolderOfPath(fileName_);
  fileNameLabel_ = NameOfPath(fileName_);
  modified_ = false;
}

void TViewSentExceptsModel::Load()
{
  std::string chosen;
  if (!chooser_.ChooseLoadFile(LoadDialogTitle, SentDelimitersPath, chosen))
    return;
  const std::string name = MakeFileName(chosen, "TXT");
  SentDelimitersPath = FolderOfPath(name);
  std::vector<std::string> words;
  try {
    words = ReadSentExceptsFile(name);
  } catch (const std::exception&) {
    // The list and the file name of the last save stay as they were.
    ShowError(LoadFailedText + name);
    return;
  }
  fileName_ = name;
  SetWordList(words);
  SentDelimitersExcepts = WordList();
  fileNameLabel_ = NameOfPath(fileName_);
  if (!WordList().empty())
    Select(0);
  modified_ = false;
}

void TViewSentExceptsModel::Ok()
{
  restorePoint_.clear();
}

bool TViewSentExceptsModel::Cancel()
{
  if (!modified_)
    return true;
  if (!AskConfirmation(CancelQuestion))
    return false;
  SentDelimitersExcepts = restorePoint_;
  return true;
}
