// Widget forms of the shared edit routines, and the up-down edit every dialog
// uses for its numeric fields: typing is free, and the value is clamped to
// its range when it is read (ClampUpDownEdit), not blocked while typing.
#pragma once

#include <QWidget>
#include <cstdint>
#include <string>
#include <vector>

class QComboBox;
class QLineEdit;
class QPushButton;
class QToolButton;
struct TPatternBox;

// A dialog's push button: caption, object name, and Enter does not press it
// unless it is made the default.
QPushButton* MakeDialogButton(QWidget* parent, const char* name, const char* caption);

// An editable history combo box: what the user types is what it holds (no
// inline completion; the history is chosen from the drop-down list), and
// nothing typed is inserted into the list by the box itself.
QComboBox* MakeHistoryBox(QWidget* parent);

// Trims the combo's text and puts it at the top of its list (a new entry is
// inserted first, an older one trades places with the first), then selects it.
// A text the code page cannot hold is left out.
void AddToHistory(QComboBox* combo);
// Shows a list as the model holds it: the items are rebuilt only when they
// differ, then the index is selected.
void ShowItems(QComboBox* combo, const std::vector<std::string>& items, int32_t index);
// Shows a history box as the model holds it (items, selection, text and
// enabled state) without running its signals.
void ShowPatternBox(QComboBox* combo, const TPatternBox& box);
// Clamps the edit's number to min .. max (see the core routine); the value.
int32_t ClampEditToRange(QLineEdit* edit, int32_t fallback, int32_t min, int32_t max);

class TUpDownEdit : public QWidget
{
  Q_OBJECT
public:
  explicit TUpDownEdit(QWidget* parent = nullptr);

  QLineEdit* Edit() const { return edit_; }
  void SetRange(int32_t min, int32_t max);
  int32_t Min() const { return min_; }
  int32_t Max() const { return max_; }
  void SetIncrement(int32_t step) { increment_ = step; }
  int32_t Increment() const { return increment_; }
  // The up-down's position: what the arrows and the last clamp left.
  int32_t Position() const { return position_; }
  // Sets the position and shows it in the edit.
  void SetPosition(int32_t value);
  // One step up or down (what the arrows do): the typed text is clamped
  // first, then the position moves within the range.
  void StepBy(int steps);

private:
  friend int32_t ClampUpDownEdit(TUpDownEdit* upDown);
  QLineEdit* edit_;
  QToolButton* up_;
  QToolButton* down_;
  int32_t min_ = 0;
  int32_t max_ = 100;
  int32_t position_ = 0;
  int32_t increment_ = 1;
};

// Shows a list as the model holds it: the items are rebuilt only when they
// differ, then the index is selected.
void ShowItems(QComboBox* combo, const std::vector<std::string>& items, int32_t index);
// Shows a history box as the model holds it (items, selection, text and
// enabled state) without running its signals.
void ShowPatternBox(QComboBox* combo, const TPatternBox& box);
// Clamps the edit's number to the up-down's range, with its position as the
// fallback; the position follows. Returns the value.
int32_t ClampUpDownEdit(TUpDownEdit* upDown);
