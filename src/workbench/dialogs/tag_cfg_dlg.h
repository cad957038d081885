// "Tag Settings" and its tracked-tag editor: thin Qt forms over TTagCfgModel
// and TEditWatchTagsModel. The tag dialog is created once at start-up.
#pragma once

#include "forms/tag_settings.h"

#include <QDialog>
#include <QPointer>

#include <functional>
#include <initializer_list>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

class QHBoxLayout;

// Pieces the tag dialogs share: named widgets, the grids with their
// Add/Edit/Remove column, and the OK/Cancel row.
namespace tagforms {
// One-character edit that must hold a character.
QLineEdit* MakeCharEdit(QWidget* parent, const char* name);
QLineEdit* MakeEdit(QWidget* parent, const char* name, const QString& text = {});
QLabel* MakeLabel(QWidget* parent, const char* name, const char* caption);
QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption);
// A grid with columns of these widths, headed by the given texts (none: no
// header row), each column at least as wide as its header; wholeRows:
// read-only, selected by whole rows, the selection shown also while the
// grid has no focus.
QTableWidget* MakeGrid(QWidget* parent, const char* name, int rows, std::initializer_list<int> widths,
                       bool wholeRows, std::initializer_list<const char*> headers = {});
// Makes row the grid's current row; a grid holding one empty row shows no
// selection (there is nothing to select).
void ShowCurrentRow(QTableWidget* grid, int row);
// The group's grid with the Add, Edit and Remove buttons beside it.
void LayOutGridGroup(QGroupBox* group, QTableWidget* grid, QPushButton*& add, QPushButton*& edit,
                     QPushButton*& remove);
// OK (default) and Cancel, right-aligned.
QHBoxLayout* OkCancelRow(QWidget* parent, const char* okName, QPushButton*& ok, QPushButton*& cancel);
}  // namespace tagforms

class TEditWatchTagsDlg : public QDialog {
  Q_OBJECT
public:
  TEditWatchTagsDlg(TEditWatchTagsModel& model, QWidget* parent = nullptr);

  QLabel* Label1 = nullptr;
  QLineEdit* NameEdit = nullptr;
  QLabel* TagStartLabel = nullptr;
  QLineEdit* StartEdit = nullptr;
  QLabel* TagStopLabel = nullptr;
  QLineEdit* StopEdit = nullptr;
  QCheckBox* InternalCB = nullptr;
  QPushButton* OKBtn = nullptr;
  QPushButton* CancelBtn = nullptr;

  void UpdateOk();
  void accept() override;

private:
  TEditWatchTagsModel& model_;
};

class TTagCfgDialog : public QDialog, private TTagSettingsView {
  Q_OBJECT
public:
  explicit TTagCfgDialog(QWidget* parent = nullptr);
  ~TTagCfgDialog() override;

  TTagCfgModel& Model() { return model_; }

  QGroupBox* GroupBox1 = nullptr;
  QLabel* Label1 = nullptr;
  QLineEdit* TagStartEdit = nullptr;
  QLabel* Label2 = nullptr;
  QLineEdit* TagStopEdit = nullptr;
  QLabel* Label4 = nullptr;
  QLineEdit* PageDelimiterEdit = nullptr;
  QGroupBox* GroupBox3 = nullptr;
  QCheckBox* DisplayLinesCB = nullptr;
  QCheckBox* PageNumbersCB = nullptr;
  QCheckBox* RelativeLinesCB = nullptr;
  QGroupBox* GroupBox2 = nullptr;
  QTableWidget* Grid = nullptr;
  QPushButton* AddBtn = nullptr;
  QPushButton* EditBtn = nullptr;
  QPushButton* RemoveBtn = nullptr;
  QPushButton* OkBtn = nullptr;
  QPushButton* CancelBtn = nullptr;

  // Runs the dialog; true when the tracked tags or the tag characters changed.
  bool ExecuteTagSettings() { return model_.ExecuteTagSettings(); }

  void accept() override;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  bool ShowModal() override;
  void Beep() override;
  bool RunWatchTagEditor(TEditWatchTagsModel& editor) override;
  bool RunMetaTagEditor(TEditMetaTagsModel&) override { return false; }

  void ShowModel();
  // The edits into the model; false when one holds text the code page cannot.
  bool ReadEdits();
  // The leave handler of one of the three edits; false when refused.
  bool LeaveEdit(QObject* edit);
  void GridButton(void (TTagCfgModel::*handler)());

  TTagCfgModel model_;
  bool hashShown_ = false;  // the "#" refusal was shown for the current text
};

extern QPointer<TTagCfgDialog> TagCfgDialog;

// Modal runs of the dialogs and editors of this file and of the
// part-of-speech dialog go through one runner; tests install their own
// (an empty one restores exec()). Returns the runner it replaced.
using TTagDialogRunner = std::function<int(QDialog&)>;
TTagDialogRunner SetTagDialogRunner(TTagDialogRunner runner);
int ExecuteTagDialog(QDialog& dlg);
