// The progress dialogs as Qt forms: modeless, centred, their buttons only set
// the tag. poll() lets events run at most every 30 ms but reads the tag on
// every call.
#pragma once

#include "foundation/dialogs.h"

#include <QDialog>
#include <QElapsedTimer>

class QLabel;
class QProgressBar;
class QPushButton;
class QWidget;

// Makes a progress form modal for the whole application (before it shows),
// so that nothing can change the data the operation is working on; a
// dialog without a form is left as it is.
void MakeApplicationModal(ProgressDialog& progress);

class TProgressForm : public QDialog, public ProgressDialog
{
  Q_OBJECT
public:
  explicit TProgressForm(bool multiFile, QWidget* parent = nullptr);

  int poll() override;
  // Escape presses Cancel; the form stays until the caller frees it.
  void reject() override;

  QLabel* ProgressLabel;
  QProgressBar* ProgressBar;
  QLabel* SpecialText;
  QPushButton* Cancel1Btn;
  QPushButton* CancelAllBtn;
  QPushButton* CancelBtn;

protected:
  void OnChanged(ProgressField field) override;

private:
  QElapsedTimer lastPump_;
};

class TDoubleProgressForm : public QDialog, public DoubleProgressDialog
{
  Q_OBJECT
public:
  explicit TDoubleProgressForm(QWidget* parent = nullptr);

  int poll() override;
  void reject() override;
  int PanelHeight(SearchInfoPanel panel) const override;

  QWidget* MainPanel;
  QLabel* SubProgressLabel;
  QProgressBar* SubProgressBar;
  QLabel* ProgressLabel;
  QProgressBar* ProgressBar;
  QLabel* SpecialText;
  QLabel* ActionLabel;
  QPushButton* CancelBtn;
  QPushButton* DetailsBtn;
  QWidget* OptionsPanel;
  QWidget* PaddingPanel;
  QWidget* HeadingPanel;
  QWidget* ContextPanel;
  // The value label of each search-information field.
  QLabel* InfoLabel(SearchInfoField field) const { return info_[int(field)]; }

protected:
  void OnChanged(ProgressField field) override;

private:
  QWidget* Panel(SearchInfoPanel panel) const;
  void LayOutPanels();

  QLabel* info_[SearchInfoFieldCount] = {};
  QElapsedTimer lastPump_;
};
