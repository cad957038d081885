// "View Stop List": the Qt form of the stop-list editor. The logic lives in
// TViewStopListModel; this form shows it and forwards the buttons.
#pragma once

#include "forms/stop_list_model.h"
#include "workbench/dialogs/word_list_editor_form.h"

#include <memory>

// File dialogs with the stop list's filter.
class TQtStopListFileChooser : public TStopListFileChooser {
public:
  explicit TQtStopListFileChooser(QWidget* parent) : parent_(parent) {}
  bool ChooseLoadFile(const std::string& title, const std::string& startFolder, std::string& fileName) override;
  bool ChooseSaveFile(const std::string& title, const std::string& startFolder, std::string& fileName) override;

private:
  QWidget* parent_;
};

class TViewStopListDlg : public TWordListEditorForm {
  Q_OBJECT
public:
  static constexpr const char* FileFilter = "Text Files (*.TXT *.txt);;All Files (*)";

  // Uses the given file chooser, or file dialogs when it is null.
  explicit TViewStopListDlg(TStopList& list, TStopListFileChooser* chooser = nullptr,
                            QWidget* parent = nullptr);
  ~TViewStopListDlg() override;

  // Gives WordList the font (the dialog font follows SetDialogFont).
  void SetTextFont(const TFontRec& font);
  TViewStopListModel& Model() { return *model_; }

  QPushButton* CloseButton = nullptr;

  void done(int result) override;

protected:
  void showEvent(QShowEvent* event) override;

private:
  void AddButtonClick();
  void RemoveButtonClick();
  void ClearButtonClick();
  void SaveButtonClick();
  void LoadButtonClick();
  TWordListModel& ListModel() override { return *model_; }
  void ShowModel();  // list items, selection, file name and buttons
  void UpdateButtons() override;

  std::unique_ptr<TStopListFileChooser> ownChooser_;
  std::unique_ptr<TViewStopListModel> model_;
};
