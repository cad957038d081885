// What the forms of the word-list editors ("View Stop List" and "Sentence
// Delimiters Exceptions List") share: the title, the file name, the list box
// (several words may be selected) and the buttons Add, Remove, Clear, Save
// and Load, with the list box kept in step with the editor's model.
#pragma once

#include "forms/word_list_model.h"

#include <QDialog>

#include <string>

class QLabel;
class QListWidget;
class QPushButton;
class QVBoxLayout;

class TWordListEditorForm : public QDialog {
  Q_OBJECT
public:
  QLabel* Title = nullptr;
  QLabel* FileNameLabel = nullptr;
  QListWidget* WordList = nullptr;
  QPushButton* AddButton = nullptr;
  QPushButton* RemoveButton = nullptr;
  QPushButton* ClearButton = nullptr;
  QPushButton* SaveButton = nullptr;
  QPushButton* LoadButton = nullptr;

protected:
  // Creates the widgets above in that order; a change of the selection by
  // the user goes to the model and then to UpdateButtons.
  TWordListEditorForm(const char* objectName, const char* caption, const char* title, QWidget* parent);

  // The model; called only once the derived form is complete.
  virtual TWordListModel& ListModel() = 0;
  virtual void UpdateButtons() = 0;

  // The five buttons in a column over a stretch.
  QVBoxLayout* ButtonColumn();
  // The list box's selection to the model.
  void TakeSelection();
  // The model's words and selection, and the file name, to the widgets;
  // then UpdateButtons.
  void ShowList(const std::string& fileNameLabel);

private:
  bool syncing_ = false;
};
