// "Edit search patterns": the editor of one batch pattern list, with the
// loading and saving of a patterns file (one line per entry, CR LF after
// every line; CR LF, LF and CR all read).
//
// The model holds the memo's lines and modified flag and runs the buttons'
// rules; the form is created for each use, shows the lines, and hands the
// file dialogs and its modal run to the model through TPatternsEditView.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <vector>

// Writes the lines, each followed by CR LF, as one whole file; throws
// std::runtime_error with the text writer's message on failure.
void SavePatternsFile(const std::string& fileName, const std::vector<std::string>& lines);

// The memo's text of the lines (LF between them) and back: a final line
// break adds no empty line.
std::string PatternsMemoText(const std::vector<std::string>& lines);
std::vector<std::string> PatternsMemoLines(const std::string& text);

// A list offset, in which every line break counts two characters, as a
// position of the memo's text, in which it counts one.
int32_t MemoPosition(const std::vector<std::string>& lines, int32_t offset);

class TPatternsEditView {
public:
  virtual ~TPatternsEditView() = default;
  // "Select patterns file to load" / "Saving patterns": false when cancelled.
  virtual bool ChooseLoadFile(std::string& fileName) = 0;
  virtual bool ChooseSaveFile(std::string& fileName) = 0;
  // The application's display of an exception.
  virtual void ShowException(const std::exception& error);
};

class TPatternsEditModel {
public:
  static constexpr const char* Caption = "Edit search patterns";
  static constexpr const char* EmptyListText = "This is an empty patterns list.";
  static constexpr const char* AbandonText = "Patterns modified. Abandon changes?";
  static constexpr const char* LoadTitle = "Select patterns file to load";
  static constexpr const char* SaveTitle = "Saving patterns";
  static constexpr const char* Filter = "Text files (*.txt)|*.txt|All files (*.*)|*.*";
  static constexpr const char* DefaultExt = "txt";

  // The lines of the list, not modified, and the selection in memo
  // positions of the list offsets selStart and selLength.
  TPatternsEditModel(std::vector<std::string> lines, int32_t selStart, int32_t selLength);

  void SetView(TPatternsEditView* view) { view_ = view; }

  // OK: false (with the message) for a blank list; the editor stays open.
  bool OKBtnClick();
  // Cancel, Escape or the window's close: false when the user keeps the edits.
  bool CanCancel();
  // True when a file was loaded into Lines.
  bool LoadBtnClick();
  void SaveBtnClick();

  std::vector<std::string> Lines;
  bool Modified = false;
  int32_t SelStart = 0;   // memo positions
  int32_t SelLength = 0;
  std::string ActiveControl = "PatternsMemo";

private:
  TPatternsEditView* view_ = nullptr;
};

// Runs the editor modally; true when OK closed it. The workbench installs
// the form; without one, EditPatterns answers false.
using TPatternsEditor = std::function<bool(TPatternsEditModel& model)>;
void SetPatternsEditor(TPatternsEditor editor);

// Edits the list with the given selection (list offsets); on OK the list
// takes the memo's lines and the result is true, else it is left as it was.
bool EditPatterns(std::vector<std::string>& list, int32_t selStart, int32_t selLength);
