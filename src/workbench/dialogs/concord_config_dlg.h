// "Set Search Parameters": the Qt form of TConcordConfigModel. It shows the
// model after every handler and forwards what the user types and clicks;
// every control carries its name as its object name.
#pragma once

#include "forms/concord_config.h"
#include "foundation/settings.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TUpDownEdit;

class TConcordConfigDlg : public QDialog, public TConcordConfigView {
  Q_OBJECT
public:
  explicit TConcordConfigDlg(QWidget* parent = nullptr);
  ~TConcordConfigDlg() override;

  TConcordConfigModel& Model() { return model_; }
  // Gives the three character boxes the font (the dialog font follows
  // SetDialogFont).
  void SetTextFont(const TFontRec& font);
  // Shows every control as the model holds it.
  void ShowModel();
  // OK as the button runs it: false when the dialog stays open.
  bool ClickOK();

  // --- TConcordConfigView ---
  int ShowModal() override;
  void Beep() override;
  void ShowHeadings() override;
  void ResetWordCounts() override;

  QLineEdit* Char0orMore = nullptr;
  QLineEdit* Char0or1 = nullptr;
  QLineEdit* CharExactly1 = nullptr;
  QLineEdit* MaxSearchHitsEdit = nullptr;
  TUpDownEdit* FrequencyofHitsUpDown = nullptr;
  QLabel* ContextCharsLabel = nullptr;
  QComboBox* ContextTypeCombo = nullptr;
  QLabel* ContextSizeLabel = nullptr;
  TUpDownEdit* ContextSizeUpDown = nullptr;
  QPushButton* FullSentOpts = nullptr;
  QComboBox* ContextWindowSizeCombo = nullptr;
  QCheckBox* HiliteCollocatesCB = nullptr;
  QLineEdit* CharWordMatch = nullptr;
  TUpDownEdit* WordMatchLoUpDown = nullptr;
  TUpDownEdit* WordMatchHiUpDown = nullptr;
  QComboBox* WordCharBox = nullptr;
  QComboBox* SkippingBox = nullptr;
  QComboBox* EqualBox = nullptr;
  QLineEdit* TagSearchEdit = nullptr;
  QPushButton* Revert = nullptr;
  QLabel* LabelEOLN = nullptr;
  QLineEdit* CharEndOfLine = nullptr;
  QPushButton* EditHeadingsBtn = nullptr;
  QPushButton* OKBtn = nullptr;
  QPushButton* CancelBtn = nullptr;

  void done(int result) override;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void BuildControls();
  void Connect();
  template <class F> void Handle(F&& handler);
  TPatternBox& BoxOf(QObject* combo);
  void FocusControl(const std::string& name);

  TConcordConfigModel model_;
  bool showing_ = false;
};

// The dialog created at start-up; nullptr before and after.
extern TConcordConfigDlg* ConcordConfigDlg;
