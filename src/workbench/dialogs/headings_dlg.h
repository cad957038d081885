// "Headings configuration" and the editor of one heading: the Qt forms of
// THeadingsModel and THeadingEdit. Every control carries its name as its
// object name.
#pragma once

#include "forms/headings.h"
#include "foundation/settings.h"

#include <QDialog>

#include <memory>

class QLineEdit;
class QListWidget;
class QPushButton;

// The editor, created for each use.
class THeadingEditDlg : public QDialog {
  Q_OBJECT
public:
  THeadingEditDlg(THeadingEdit& model, QWidget* parent = nullptr);

  QLineEdit* HeadNameEdit = nullptr;
  QLineEdit* HeadStartEdit = nullptr;
  QLineEdit* HeadStopEdit = nullptr;
  QLineEdit* TextStartEdit = nullptr;
  QLineEdit* TextStopEdit = nullptr;
  QPushButton* OKBtn = nullptr;
  QPushButton* CancelBtn = nullptr;

private:
  void EditChange();
  void OKBtnClick();

  THeadingEdit& model_;
};

// Runs THeadingEditDlg modally over the active window; the editor that
// EditHeading uses once installed.
bool ExecuteHeadingEditor(THeadingEdit& model);

class THeadingsDlg : public QDialog {
  Q_OBJECT
public:
  explicit THeadingsDlg(QWidget* parent = nullptr);
  ~THeadingsDlg() override;

  THeadingsModel& Model() { return model_; }
  // Gives HeadingsList the font (the dialog font follows SetDialogFont).
  void SetTextFont(const TFontRec& font);
  // Shows the list as the model holds it.
  void ShowModel();
  // Runs the dialog modally.
  int ShowModal();

  QListWidget* HeadingsList = nullptr;
  QPushButton* AddBtn = nullptr;
  QPushButton* EditBtn = nullptr;
  QPushButton* RemoveBtn = nullptr;
  QPushButton* CloseBtn = nullptr;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  template <class F> void Handle(F&& handler);

  THeadingsModel model_;
  bool showing_ = false;
};

// The dialog created at start-up; nullptr before and after.
extern THeadingsDlg* HeadingsDlg;
