// "Batch search options": the form over the model BatchSearchCfgForm(),
// created once at start-up and shown modally by the search dialog.
#pragma once

#include "forms/batch_options.h"

#include <QDialog>

#include <array>

class QCheckBox;
class QGroupBox;
class QPushButton;

class TBatchSearchCfgDlg : public QDialog {
  Q_OBJECT
public:
  explicit TBatchSearchCfgDlg(QWidget* parent = nullptr);
  ~TBatchSearchCfgDlg() override;

  QGroupBox* FormatGroup = nullptr;
  QPushButton* SortingBtn = nullptr;
  QPushButton* ContextTypeBtn = nullptr;
  QGroupBox* SuppressGroup = nullptr;
  QCheckBox* TagsCheck = nullptr;
  QCheckBox* PartOfSpeechCheck = nullptr;
  QCheckBox* WordsCheck = nullptr;
  QPushButton* OKBtn = nullptr;
  QPushButton* CancelBtn = nullptr;

  // Shows the model's state and runs the form; its modal result.
  int ShowModal();
  void accept() override;
  void reject() override;

private:
  void ShowChecks();
  std::array<QCheckBox*, 3> checks() const { return {TagsCheck, PartOfSpeechCheck, WordsCheck}; }
};

// The form created at start-up; nullptr before and after.
extern TBatchSearchCfgDlg* BatchSearchCfgDlg;
