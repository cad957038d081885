// The program's own message box, built at run time: the message as plain
// word-wrapped text within half the screen's width, an icon by kind, and the
// buttons in bit order, centred in one row.
#pragma once

#include "foundation/dialogs.h"

#include <QDialog>
#include <memory>
#include <string_view>

class QKeyEvent;
class QLabel;
class QPushButton;

class TMessageForm : public QDialog
{
  Q_OBJECT
public:
  explicit TMessageForm(QWidget* parent = nullptr);

  // nullptr when the box has no such button.
  QPushButton* Button(TMsgDlgBtn button) const { return buttons_[button]; }
  QLabel* MessageLabel() const { return message_; }
  QLabel* Image() const { return image_; }
  int DefaultButton() const { return defaultButton_; }
  int EscapeButton() const { return escapeButton_; }
  int HelpContext() const { return helpContext_; }
  void SetHelpContext(int context) { helpContext_ = context; }

  // Escape (and closing the window) presses the Escape button; without one
  // the box closes with Cancel's result.
  void reject() override;

protected:
  void keyPressEvent(QKeyEvent* event) override;

private:
  friend std::unique_ptr<TMessageForm> CreateMessageForm(std::string_view, TMsgDlgType, TMsgDlgButtons,
                                                         TMsgDlgBtn, QWidget*);
  void Press(TMsgDlgBtn button);

  QPushButton* buttons_[MessageButtonCount] = {};
  QLabel* message_ = nullptr;
  QLabel* image_ = nullptr;
  int defaultButton_ = -1;
  int escapeButton_ = -1;
  int helpContext_ = 0;
};

// Builds the box (font "MS Sans Serif" 8, metrics from its average character
// size); the focused button becomes the active control.
std::unique_ptr<TMessageForm> CreateMessageForm(std::string_view message, TMsgDlgType kind,
                                                TMsgDlgButtons buttons, TMsgDlgBtn focused,
                                                QWidget* parent = nullptr);
