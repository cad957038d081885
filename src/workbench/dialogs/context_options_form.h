// The forms of the context and sentence settings: "Context Options",
// "Show Full Sentence Options" and "Sentence Delimiters Exceptions List".
// Their logic lives in the search layer's models; each form is created for
// one use and shows its model.
#pragma once

#include "forms/stop_list_model.h"
#include "forms/context_options.h"
#include "forms/sentence_options.h"
#include "workbench/dialogs/word_list_editor_form.h"

#include <QDialog>

#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TUpDownEdit;

class TContextOptionsForm : public QDialog {
  Q_OBJECT
public:
  explicit TContextOptionsForm(const TContextRecord& record, QWidget* parent = nullptr);
  ~TContextOptionsForm() override;

  TContextOptionsModel& Model() { return model_; }
  // The edited record; complete once the form was accepted.
  const TContextRecord& Record() const { return model_.Record(); }

  QComboBox* ContextTypeCombo = nullptr;
  QLabel* ContextCharsLabel = nullptr;
  TUpDownEdit* ContextSizeUpDown = nullptr;
  QPushButton* FullSentOpts = nullptr;
  QPushButton* OKButton = nullptr;
  QPushButton* CancelButton = nullptr;

  // OK: the typed size, clamped, goes into the record.
  void accept() override;

private:
  void ApplyType();

  TContextOptionsModel model_;
};

class TSentCfgDlg : public QDialog {
  Q_OBJECT
public:
  // Uses the given file chooser for the exceptions list, or file dialogs
  // when it is null.
  explicit TSentCfgDlg(TStopListFileChooser* chooser = nullptr, QWidget* parent = nullptr);
  ~TSentCfgDlg() override;

  QLineEdit* DelimitersEdit = nullptr;
  QCheckBox* SmartAbbrCB = nullptr;
  QPushButton* ExcEditBtn = nullptr;
  QPushButton* OKBtn = nullptr;
  QPushButton* CancelBtn = nullptr;

  // OK: the settings take the delimiters (without blanks) and the check box.
  void accept() override;

signals:
  // "Exceptions ..." is about to show the exceptions list (tests close it).
  void ExceptionsOpening(QDialog* dialog);

private:
  void UpdateExceptionsButton();
  void EditExceptions();

  TStopListFileChooser* chooser_;
  std::unique_ptr<TStopListFileChooser> ownChooser_;
};

class TViewSentExceptsDlg : public TWordListEditorForm {
  Q_OBJECT
public:
  // Opens on SentDelimitersExcepts and takes the restore point. Uses the
  // given file chooser, or file dialogs when it is null.
  explicit TViewSentExceptsDlg(TStopListFileChooser* chooser = nullptr, QWidget* parent = nullptr);
  ~TViewSentExceptsDlg() override;

  TViewSentExceptsModel& Model() { return *model_; }

  QPushButton* OkBtn = nullptr;
  QPushButton* CloseButton = nullptr;

  // "&OK" keeps every change.
  void accept() override;
  // "C&ancel", Escape and the close box: asks when modified, and restores
  // the list of the opening when confirmed; stays open otherwise.
  void reject() override;

private:
  TWordListModel& ListModel() override { return *model_; }
  void UpdateButtons() override;
  template <typename Action>
  void Run(Action action);

  std::unique_ptr<TStopListFileChooser> ownChooser_;
  std::unique_ptr<TViewSentExceptsModel> model_;
};

// Installs the forms as the search layer's EditContextOptions and
// ShowSentenceOptions.
void InstallContextOptionsForms();
