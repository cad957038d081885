// "Frequency and Collocation Options": the Qt form of the frequency settings
// dialog. The values, the settings area and the stop-list logic live in
// TFreqConfigModel; the form shows the model when it is shown and hands the
// controls back to it on OK. Created once at start-up.
#pragma once

#include "forms/frequency_config.h"

#include <QDialog>
#include <QPointer>

#include <functional>
#include <memory>

class QComboBox;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class TUpDownEdit;

class TFreqConfigDlg : public QDialog {
  Q_OBJECT
public:
  // Edit shows the host's stop-list editor; without a host, the start-up's
  // "View Stop List" dialog.
  explicit TFreqConfigDlg(TFreqConfigHost* host = nullptr, QWidget* parent = nullptr);
  ~TFreqConfigDlg() override;

  TFreqConfigModel& Model() { return *model_; }

  QLabel* MinFreqLabel = nullptr;
  TUpDownEdit* MinFreqUpDown = nullptr;
  QLineEdit* MinFreqEdit = nullptr;
  QLabel* MaxFreqLabel = nullptr;
  TUpDownEdit* MaxFreqUpDown = nullptr;
  QLineEdit* MaxFreqEdit = nullptr;
  QLabel* MaxLinesLabel = nullptr;
  QLineEdit* MaxLinesEdit = nullptr;
  QCheckBox* IgnoreCaseBox = nullptr;
  QCheckBox* TagsBox = nullptr;
  QLabel* Label1 = nullptr;
  QComboBox* CollocSpanCombo = nullptr;
  QLabel* Label2 = nullptr;
  TUpDownEdit* HighlightFirstUpDown = nullptr;
  QLineEdit* HighlightFirstEdit = nullptr;
  QLabel* Label3 = nullptr;
  QGroupBox* RadioGroup = nullptr;
  QRadioButton* CountAllRadio = nullptr;
  QRadioButton* ContentWordsRadio = nullptr;
  QPushButton* EditButton = nullptr;
  QPushButton* OKBtn = nullptr;
  QPushButton* CancelBtn = nullptr;

  void FormShow();
  void OKBtnClick();
  void EditButtonClick();
  void reject() override;

protected:
  void showEvent(QShowEvent* event) override;

private:
  void ToModel();
  void FromModel();
  void UpdateMaxFreqLabel();

  std::unique_ptr<TFreqConfigHost> ownHost_;
  std::unique_ptr<TFreqConfigModel> model_;
};

// The dialog created at start-up.
extern QPointer<TFreqConfigDlg> FreqConfigDlg;

// Shows the dialog modally; its result (QDialog::Accepted or Rejected).
// Tests install a runner that works the controls instead of exec(); an empty
// runner restores exec(). Returns the runner it replaced.
using TFreqConfigRunner = std::function<int(TFreqConfigDlg&)>;
TFreqConfigRunner SetFreqConfigRunner(TFreqConfigRunner runner);
int ExecuteFreqConfigDlg(TFreqConfigDlg& dlg);
