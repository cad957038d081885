// "Edit search patterns": the Qt form of TPatternsEditModel, created for
// each use. The memo keeps the document's modified flag; every control
// carries its name as its object name.
#pragma once

#include "forms/patterns_editor.h"
#include "workbench/frame/frame_dialogs.h"

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

class TPatternsEditForm : public QDialog, public TPatternsEditView {
  Q_OBJECT
public:
  TPatternsEditForm(TPatternsEditModel& model, QWidget* parent = nullptr);

  // The buttons as a click runs them.
  void ClickOK();
  void ClickLoad();
  void ClickSave();

  // --- TPatternsEditView ---
  bool ChooseLoadFile(std::string& fileName) override;
  bool ChooseSaveFile(std::string& fileName) override;

  QPlainTextEdit* PatternsMemo = nullptr;
  QPushButton* OKBtn = nullptr;
  QPushButton* CancelBtn = nullptr;
  QPushButton* LoadBtn = nullptr;
  QPushButton* SaveBtn = nullptr;

  // Cancel, Escape and the window's close take the Cancel rule.
  void reject() override;

protected:
  void closeEvent(QCloseEvent* event) override;

private:
  // The memo's text into the model: false (after the message) when the code
  // page cannot hold it.
  bool Collect();
  // The model's lines and flag into the memo.
  void ShowLines();

  TPatternsEditModel& model_;
};

// "Select patterns file to load" (OpenMode) or "Saving patterns" (SaveMode)
// through the frame's file dialog provider: false when cancelled.
bool ChoosePatternsFile(TFileDialog::TMode mode, std::string& fileName);

// Runs the form modally over the active window; the editor EditPatterns uses
// once installed.
bool ExecutePatternsEditor(TPatternsEditModel& model);
void InstallPatternsEditor();
