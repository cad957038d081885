#include "workbench/frame/window_look.h"

#include <QApplication>
#include <QBoxLayout>
#include <QDialog>
#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QPixmap>
#include <QStyle>

#include <algorithm>

QIcon ProgramIcon()
{
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 64.0, size / 64.0);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x1f, 0x4e, 0x9c));
    painter.drawRoundedRect(QRectF(2, 2, 60, 60), 8, 8);
    for (int y : {14, 29, 44})
      painter.fillRect(QRectF(10, y, 44, 5), Qt::white);
    painter.fillRect(QRectF(25, 12, 14, 40), QColor(0xff, 0xd4, 0x00));
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

int CaptionWidth(const QWidget* dialog)
{
  // The caption in the title font, with room for the icon and the close
  // button at the sides.
  QFont font = QApplication::font("QMdiSubWindowTitleBar");
  font.setBold(true);
  const int bar = dialog->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, dialog);
  return QFontMetrics(font).horizontalAdvance(dialog->windowTitle()) + 3 * std::max(bar, 18);
}

bool TWindowLook::eventFilter(QObject* watched, QEvent* event)
{
  auto* dialog = qobject_cast<QDialog*>(watched);
  if (!dialog || !dialog->isWindow())
    return false;
  if (event->type() == QEvent::Polish && !dialog->isVisible()) {
    const Qt::WindowFlags flags = dialog->windowFlags();
    const Qt::WindowFlags wanted = (flags & ~(Qt::WindowMinMaxButtonsHint | Qt::WindowContextHelpButtonHint)) |
                                   Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                   Qt::WindowCloseButtonHint;
    if (flags != wanted && !(flags & Qt::FramelessWindowHint))
      dialog->setWindowFlags(wanted);
  } else if (event->type() == QEvent::Show) {
    const int width = CaptionWidth(dialog);
    if (dialog->width() >= width)
      return false;
    auto* box = qobject_cast<QBoxLayout*>(dialog->layout());
    if (box && box->sizeConstraint() == QLayout::SetFixedSize &&
        (box->direction() == QBoxLayout::TopToBottom || box->direction() == QBoxLayout::BottomToTop)) {
      // A dialog its layout keeps at its content's size: the layout is
      // told to be as wide as the caption.
      const QMargins margins = box->contentsMargins();
      box->addStrut(width - margins.left() - margins.right());
      box->activate();
    } else if (dialog->minimumWidth() == dialog->maximumWidth()) {
      dialog->setFixedWidth(width);
    } else if (dialog->maximumWidth() >= width) {
      dialog->setMinimumWidth(std::max(dialog->minimumWidth(), width));
      dialog->resize(width, dialog->height());
    }
  }
  return false;
}

void InstallWindowLook(QApplication& app)
{
  QApplication::setWindowIcon(ProgramIcon());
  app.installEventFilter(new TWindowLook(&app));
}
