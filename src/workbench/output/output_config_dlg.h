// "Output Information": how many lines to save or print, and which extras go
// into the output. The dialog is made anew for each use, so every box the
// caller does not preset starts clear. Three set-ups:
//   EditOutputOptions         - the full set, for concordance lines (saving,
//                               printing, and the batch search with no limit);
//   EditMaxOutputLines        - the line limit alone;
//   EditWordListOutputOptions - the limit and "Include &frequencies with words".
// Each returns true for OK and writes its results back; Cancel changes
// nothing.
#pragma once

#include <QDialog>

#include <cstdint>
#include <functional>

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class TUpDownEdit;

// The options of a concordance report, as the dialog edits them.
struct TOutputOptions {
  int32_t MaxLines = 0;       // at most this many hits; 0 = all
  bool ShowFile = false;      // the corpus file in the information line
  bool SortLabels = false;    // the sort letter before the text
  bool SaveAsHTML = false;
  bool TrackedTags = false;   // one line per tracked tag
  bool RelativeLines = false; // with PageNumbers: the line in the page
  bool PageNumbers = false;
  bool LineNumbers = false;
  bool ConcealCollocates = false;
  bool ConcealHits = false;
};

// Kinds of output, the word in the prompt.
enum TOutputKind : int { okSave = 0, okPrint = 1 };

class TOutputConfigDlg : public QDialog {
  Q_OBJECT
public:
  static constexpr int32_t MaxLinesLimit = 32000;
  static constexpr int32_t MaxLinesStep = 15;

  explicit TOutputConfigDlg(QWidget* parent = nullptr);

  // The prompt: "Enter maximum number of &lines to " + "save" or "print" + ":".
  void SetKind(int kind);
  // The full set: ShowFile, ConcealHits and ConcealCollocates preset, the
  // rest clear; MaxLines -1 (the batch use) disables the line limit, the
  // sort labels and concealing collocates; printing never offers HTML.
  void SetUpOutputOptions(int kind, int32_t maxLines, bool showFile, bool concealCollocates, bool concealHits);
  // The line limit alone.
  void SetUpMaxOutputLines(int kind);
  // The limit and ShowFileBox as "Include &frequencies with words".
  void SetUpWordListOutputOptions(int kind, bool includeFrequencies);

  // OK: the number is clamped to 0..32000 and written back, then the dialog
  // closes with OK.
  void OKBtnClick();
  // The line limit: the up-down's position read as a 16-bit signed value.
  int32_t MaxLinesResult() const;
  // RelLinesCB ticked and enabled.
  bool RelativeLinesResult() const;

  QFrame* Bevel;
  QLabel* Prompt;
  TUpDownEdit* MaxLinesUpDown;
  QLineEdit* MaxLinesEdit;   // the up-down's edit
  QLabel* NoLimitLabel;
  QCheckBox* ShowFileBox;
  QCheckBox* ConcealHits;
  QCheckBox* ConcealCollocates;
  QCheckBox* LinesCB;
  QCheckBox* PagesCB;
  QCheckBox* RelLinesCB;
  QCheckBox* SortLabelsCB;
  QCheckBox* TagsCB;
  QCheckBox* AsHTMLCB;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void Shrink(std::initializer_list<QWidget*> hidden);
};

// Shows the dialog modally; its result (QDialog::Accepted or Rejected).
// Tests install a runner that works the controls instead of exec(); an empty
// runner restores exec(). Returns the runner it replaced.
using TOutputConfigRunner = std::function<int(TOutputConfigDlg&)>;
TOutputConfigRunner SetOutputConfigRunner(TOutputConfigRunner runner);

bool EditOutputOptions(int kind, int32_t& maxLines, bool& showFile, bool& sortLabels, bool& saveAsHTML,
                       bool& trackedTags, bool& relativeLines, bool& pageNumbers, bool& lineNumbers,
                       bool& concealCollocates, bool& concealHits);
bool EditOutputOptions(int kind, TOutputOptions& options);
bool EditMaxOutputLines(int kind, int32_t& maxLines);
bool EditWordListOutputOptions(int kind, int32_t& maxLines, bool& includeFrequencies);
