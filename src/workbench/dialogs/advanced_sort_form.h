// The form of "Advanced Sort" and "Advanced Collocation", created for one use
// over the dialog's model (forms/advanced_sort.h). It shows the model after
// every handler and passes on what the user chose; collocation mode hides
// the sort panel and the Reverse boxes and shrinks the dialog.
#pragma once

#include "forms/advanced_sort.h"

#include <QDialog>

#include <array>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QWidget;
class TUpDownEdit;

class TAdvancedSortColForm : public QDialog, public TAdvancedSortColView {
  Q_OBJECT
public:
  explicit TAdvancedSortColForm(TAdvancedSortColModel& model, QWidget* parent = nullptr);
  ~TAdvancedSortColForm() override;

  TAdvancedSortColModel& Model() { return model_; }

  // TAdvancedSortColView
  int ShowModal() override;
  void Beep() override;

  QWidget* TopPanel = nullptr;
  QGroupBox* FirstBox = nullptr;
  QGroupBox* SecondBox = nullptr;
  QGroupBox* ThirdBox = nullptr;
  QComboBox* FirstCombo = nullptr;
  QComboBox* SecondCombo = nullptr;
  QComboBox* ThirdCombo = nullptr;
  QCheckBox* FirstReverse = nullptr;
  QCheckBox* SecondReverse = nullptr;
  QCheckBox* ThirdReverse = nullptr;
  QCheckBox* CustomCheck = nullptr;
  QLineEdit* CustomEdit = nullptr;
  QWidget* CollocPanel = nullptr;
  QCheckBox* SpanCheck = nullptr;
  QComboBox* SpanCombo = nullptr;
  TUpDownEdit* ShowFirstUpDown = nullptr;
  QLineEdit* ShowFirstEdit = nullptr;  // the up-down's edit
  QWidget* SortPanel = nullptr;
  QTableWidget* Grid = nullptr;
  QPushButton* OKButton = nullptr;
  QPushButton* CancelButton = nullptr;

  // OK: the model's checks; closes on success, else focuses what it names.
  void OKButtonClick();

private:
  // Every widget from the model.
  void ShowModel();
  void FocusControl(const std::string& name, int32_t caret);

  TAdvancedSortColModel& model_;
  std::array<QGroupBox*, 3> boxes_{};
  std::array<QComboBox*, 3> combos_{};
  std::array<QCheckBox*, 3> reverses_{};
};

// Makes the form the one ExecuteAdvancedSortDialog shows.
void InstallAdvancedSortForm();
