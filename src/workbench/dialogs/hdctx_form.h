// "Headings/Contexts Search": the Qt form of THdCtxForm. It shows the model
// after every handler and forwards what the user types and clicks; every
// control carries its name as its object name.
#pragma once

#include "forms/hdctx.h"
#include "foundation/settings.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class THeadingsDlg;

class THdCtxDlg : public QDialog, public THdCtxView {
  Q_OBJECT
public:
  // The form shows `headings` for its "&Edit..." button and reads its names.
  explicit THdCtxDlg(THeadingsDlg& headings, QWidget* parent = nullptr);
  ~THdCtxDlg() override;

  THdCtxForm& Model() { return model_; }
  // Gives the three pattern boxes the font (the dialog font follows
  // SetDialogFont).
  void SetTextFont(const TFontRec& font);
  // Shows every control as the model holds it.
  void ShowModel();

  // --- THdCtxView ---
  bool IsActiveForm() const override;
  void ShowModal() override;
  void FocusActiveControl() override;
  void ShowHeadings() override;

  QCheckBox* HeadingCheck = nullptr;
  QComboBox* HeadingCombo = nullptr;
  QPushButton* HeadingEditBtn = nullptr;
  QLabel* HeadPatternLabel = nullptr;
  QComboBox* HeadingPattern = nullptr;
  QCheckBox* ContextCheck = nullptr;
  QLabel* LeftPatternLabel = nullptr;
  QComboBox* LeftPattern = nullptr;
  QLabel* RightPatternLabel = nullptr;
  QComboBox* RightPattern = nullptr;
  QPushButton* OKButton = nullptr;

  void done(int result) override;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  template <class F> void Handle(F&& handler);
  TPatternBox& BoxOf(QObject* combo);

  THeadingsDlg& headings_;
  THdCtxForm model_;
  bool showing_ = false;
  bool closingByButton_ = false;
};

// The form created at start-up; nullptr before and after.
extern THdCtxDlg* HdCtxForm;
