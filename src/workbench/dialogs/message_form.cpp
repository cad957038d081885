#include "workbench/dialogs/message_form.h"

#include "workbench/frame/qt_text.h"

#include <QApplication>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

TMessageForm::TMessageForm(QWidget* parent) : QDialog(parent)
{
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint);
}

void TMessageForm::keyPressEvent(QKeyEvent* event)
{
  // The underlined letter of a button presses it without Alt, as in the
  // message boxes of the desktop the program comes from.
  const Qt::KeyboardModifiers mods = event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier);
  const QString typed = event->text();
  if (mods == Qt::NoModifier && typed.size() == 1 && typed[0].isLetterOrNumber()) {
    for (int b = 0; b < MessageButtonCount; ++b) {
      if (!buttons_[b])
        continue;
      const QString caption = buttons_[b]->text();
      const qsizetype amp = caption.indexOf(QLatin1Char('&'));
      if (amp >= 0 && amp + 1 < caption.size() && caption[amp + 1].toLower() == typed[0].toLower()) {
        buttons_[b]->click();
        return;
      }
    }
  }
  QDialog::keyPressEvent(event);
}

void TMessageForm::Press(TMsgDlgBtn button)
{
  const int result = MessageButtonInfo[button].ModalResult;
  if (result == mrNone) {
    ShowHelp(helpContext_);  // Help does not close the box
    return;
  }
  done(result);
}

void TMessageForm::reject()
{
  if (escapeButton_ >= 0)
    Press(TMsgDlgBtn(escapeButton_));
  else
    done(mrCancel);
}

std::unique_ptr<TMessageForm> CreateMessageForm(std::string_view message, TMsgDlgType kind,
                                                TMsgDlgButtons buttons, TMsgDlgBtn focused, QWidget* parent)
{
  auto form = std::make_unique<TMessageForm>(parent);
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setPointSize(8);
  form->setFont(font);
  const QFontMetrics fm(font);

  // Average character size of the 52 letters.
  const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  const int w = std::max(1, fm.horizontalAdvance(letters) / 52);
  const int h = std::max(1, fm.height());
  const int hMargin = 8 * w / 4;
  const int vMargin = 8 * h / 8;
  const int hSpacing = 10 * w / 4;
  const int vSpacing = 10 * h / 8;
  const int buttonWidth = 50 * w / 4;
  const int buttonHeight = 14 * h / 8;
  const int buttonSpacing = 4 * w / 4;

  QScreen* screen = QGuiApplication::primaryScreen();
  const QRect screenRect = screen ? screen->geometry() : QRect(0, 0, 800, 600);
  const QString text = ToQString(message);
  const QRect textRect = fm.boundingRect(QRect(0, 0, screenRect.width() / 2, 0),
                                         Qt::TextWordWrap | Qt::TextExpandTabs, text);

  QStyle::StandardPixmap icon = QStyle::SP_CustomBase;
  switch (kind) {
  case mtWarning: icon = QStyle::SP_MessageBoxWarning; break;
  case mtError: icon = QStyle::SP_MessageBoxCritical; break;
  case mtInformation: icon = QStyle::SP_MessageBoxInformation; break;
  case mtConfirmation: icon = QStyle::SP_MessageBoxQuestion; break;
  default: break;
  }
  const bool hasIcon = icon != QStyle::SP_CustomBase;
  int textBlockWidth = textRect.width();
  int textBlockHeight = textRect.height();
  if (hasIcon) {
    textBlockWidth += 32 + hSpacing;
    textBlockHeight = std::max(textBlockHeight, 32);
  }

  int count = 0;
  for (int b = 0; b < MessageButtonCount; ++b)
    if (buttons & Btn(TMsgDlgBtn(b)))
      ++count;
  const int groupWidth = count > 0 ? count * buttonWidth + (count - 1) * buttonSpacing : 0;
  const int clientWidth = std::max(textBlockWidth, groupWidth) + 2 * hMargin;
  const int clientHeight = textBlockHeight + buttonHeight + vSpacing + 2 * vMargin;
  form->setFixedSize(clientWidth, clientHeight);
  form->move(screenRect.x() + (screenRect.width() - clientWidth) / 2,
             screenRect.y() + (screenRect.height() - clientHeight) / 2);
  form->setWindowTitle(ToQString(MessageCaption(kind)));

  int textLeft = hMargin;
  if (hasIcon) {
    form->image_ = new QLabel(form.get());
    form->image_->setObjectName(QStringLiteral("Image"));
    form->image_->setGeometry(hMargin, vMargin, 32, 32);
    form->image_->setPixmap(form->style()->standardIcon(icon).pixmap(32, 32));
    textLeft += 32 + hSpacing;
  }
  form->message_ = new QLabel(form.get());
  form->message_->setObjectName(QStringLiteral("Message"));
  form->message_->setTextFormat(Qt::PlainText);  // a "<...>" in a file name is no markup
  form->message_->setWordWrap(true);
  form->message_->setText(text);
  form->message_->setGeometry(textLeft, vMargin, textRect.width(), textRect.height());

  form->defaultButton_ = DefaultMessageButton(buttons);
  form->escapeButton_ = CancelMessageButton(buttons);
  int x = (clientWidth - groupWidth) / 2;
  const int y = textBlockHeight + vMargin + vSpacing;
  for (int b = 0; b < MessageButtonCount; ++b) {
    if (!(buttons & Btn(TMsgDlgBtn(b))))
      continue;
    auto* button = new QPushButton(QString::fromUtf8(MessageButtonInfo[b].Caption), form.get());
    button->setObjectName(QString::fromUtf8(MessageButtonInfo[b].Name));
    button->setGeometry(x, y, buttonWidth, buttonHeight);
    button->setAutoDefault(true);
    button->setDefault(b == form->defaultButton_);
    QObject::connect(button, &QPushButton::clicked, form.get(),
                     [f = form.get(), b] { f->Press(TMsgDlgBtn(b)); });
    form->buttons_[b] = button;
    x += buttonWidth + buttonSpacing;
  }
  if (QPushButton* f = form->buttons_[focused])
    f->setFocus();
  return form;
}
