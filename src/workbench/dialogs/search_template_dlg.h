// "Generate Concordance": the Qt form of the search dialog. The logic lives
// in TSearchTemplateModel; this form shows the model after every handler and
// forwards what the user types and clicks. Every control carries its name as
// its object name.
#pragma once

#include "forms/search_dialog_model.h"

#include <QDialog>

#include <memory>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QCheckBox;
class QRadioButton;
class QWidget;

// The sub-dialogs as far as they exist: the search parameters, the output
// options, the patterns editor, and the patterns file chosen through the
// frame's file dialog provider; the others wait for their forms.
class TQtSearchDialogServices : public TSearchDialogServices {
public:

  explicit TQtSearchDialogServices(QWidget* parent) : parent_(parent) {}
  // The dialog created at start-up.
  bool HasSearchParameters() const override;
  int ExecuteSearchParameters(bool enableContext) override;
  bool HasPatternsEditor() const override { return true; }
  bool EditPatterns(std::vector<std::string>& list, int32_t selStart, int32_t selLength) override;
  bool HasOutputOptions() const override { return true; }
  bool EditBatchOutputOptions(TBatchOutputOptions& options) override;
  bool ChoosePatternsFile(std::string& fileName) override;
  // The headings/contexts form created at start-up.
  THdCtxRestrictions* Restrictions() override;

private:
  QWidget* parent_;
};

class TSearchTemplateDlg : public QDialog, public TSearchDialogView {
  Q_OBJECT
public:
  // Uses the given services, or the form's own when null (not owned).
  explicit TSearchTemplateDlg(TSearchDialogServices* services = nullptr, QWidget* parent = nullptr);
  ~TSearchTemplateDlg() override;

  TSearchTemplateModel& Model() { return *model_; }
  // Gives SearchString the font (the dialog font follows SetDialogFont).
  void SetTextFont(const TFontRec& font);

  // TSearchDialogView: shows the model, centres the form vertically and runs
  // it modally.
  int ShowModal() override;
  // Shows every control as the model holds it.
  void ShowModel();
  // OK as the button runs it: closes the form or focuses the control named
  // by the outcome.
  TSearchOkOutcome ClickOK();

  QWidget* BasePanel = nullptr;
  QWidget* AdvancedPanel = nullptr;
  QWidget* BottomPanel = nullptr;
  QLabel* PatternLabel = nullptr;
  QLabel* Examples = nullptr;
  QComboBox* SearchString = nullptr;
  QPushButton* EditPatternsBtn = nullptr;
  QPushButton* ImportPatternsBtn = nullptr;
  QPushButton* BatchOptionsBtn = nullptr;
  QGroupBox* SyntaxGroup = nullptr;
  QRadioButton* PatternRadio = nullptr;
  QRadioButton* GrepRadio = nullptr;
  QRadioButton* TagRadio = nullptr;
  QGroupBox* GeneralGroup = nullptr;
  QCheckBox* IgnoreCaseCheckBox = nullptr;
  QCheckBox* PaddingCheck = nullptr;
  QCheckBox* SentCheck = nullptr;
  QGroupBox* AdditionalGroup = nullptr;
  QCheckBox* HdCtxCheck = nullptr;
  QPushButton* HdCtxBtn = nullptr;
  QCheckBox* AppendSearchCheck = nullptr;
  QCheckBox* BatchSearchCheck = nullptr;
  QCheckBox* SaveToFileCheck = nullptr;
  QPushButton* SaveOptionsBtn = nullptr;
  QPushButton* OptionsBtn = nullptr;
  QPushButton* AdvancedBtn = nullptr;
  QPushButton* OKBtn = nullptr;
  QPushButton* CancelBtn = nullptr;

  void reject() override;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void BuildControls();
  void Connect();
  // Runs a model handler, then shows the model.
  template <class F> void Handle(F&& handler);
  void FocusControl(const std::string& name);
  void CentreVertically();
  void FitHeight();

  std::unique_ptr<TQtSearchDialogServices> ownServices_;
  std::unique_ptr<TSearchTemplateModel> model_;
  bool showing_ = false;  // ShowModel is setting the widgets
  bool shownAdvanced_ = false;
};

// The dialog created at start-up; nullptr before and after.
extern TSearchTemplateDlg* SearchTemplateDlg;
