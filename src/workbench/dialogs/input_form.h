// The one-line input dialog.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

class TIForm : public QDialog
{
  Q_OBJECT
public:
  explicit TIForm(QWidget* parent = nullptr);

  QLabel* PromptLabel;
  QLineEdit* EditBox;
  QPushButton* OkBtn;      // "Ok", default, modal result 1
  QPushButton* CancelBtn;  // "Cancel", modal result 2

  void reject() override;
};
