#include "workbench/frame/status_label.h"

#include <QPainter>
#include <QStyle>

#include <algorithm>

TStatusLabel::TStatusLabel(QWidget* parent) : QLabel(parent)
{
  setTextFormat(Qt::PlainText);
}

QString TStatusLabel::ShownText() const
{
  const int width = contentsRect().width() - 2 * margin() - std::max(indent(), 0);
  return fontMetrics().elidedText(text(), Qt::ElideRight, std::max(width, 0));
}

QSize TStatusLabel::minimumSizeHint() const
{
  return QSize(0, QLabel::minimumSizeHint().height());
}

void TStatusLabel::paintEvent(QPaintEvent* event)
{
  (void)event;
  QPainter painter(this);
  drawFrame(&painter);
  QRect area = contentsRect().adjusted(margin() + std::max(indent(), 0), margin(), -margin(), -margin());
  style()->drawItemText(&painter, area, int(alignment()), palette(), isEnabled(), ShownText(), foregroundRole());
}
