#include "workbench/windows/bar_chart.h"

#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

const QColor kMarkBackground(255, 255, 225);
const QColor kGridColour(208, 208, 208);

// A tick step of 1, 2 or 5 times a power of ten, giving about `wanted`
// ticks up to maxValue; at least 1 (the values are counts).
double tickStep(double maxValue, int wanted)
{
  const double raw = maxValue / std::max(1, wanted);
  const double power = std::pow(10.0, std::floor(std::log10(std::max(raw, 1.0))));
  for (double factor : {1.0, 2.0, 5.0, 10.0})
    if (factor * power >= raw)
      return std::max(1.0, factor * power);
  return std::max(1.0, 10.0 * power);
}

QString tickText(double value)
{
  return QString::number(qint64(std::llround(value)));
}

}  // namespace

TBarChart::TBarChart(QWidget* parent) : QWidget(parent)
{
  setAutoFillBackground(false);
  setMinimumSize(120, 80);
}

void TBarChart::Clear()
{
  bars_.clear();
  update();
}

void TBarChart::AddBar(double value, double position, const QString& label, const QColor& colour)
{
  bars_.push_back({value, position, label, colour});
  update();
}

void TBarChart::SetLeftAxisTitle(const QString& title)
{
  leftTitle_ = title;
  update();
}

void TBarChart::SetBottomAxisTitle(const QString& title)
{
  bottomTitle_ = title;
  update();
}

void TBarChart::SetMarksVisible(bool visible)
{
  marksVisible_ = visible;
  update();
}

void TBarChart::SetMarkTextHandler(TMarkTextHandler handler)
{
  markText_ = std::move(handler);
  update();
}

QString TBarChart::MarkText(int index) const
{
  if (index < 0 || index >= BarCount())
    return {};
  return markText_ ? markText_(index) : tickText(bars_[size_t(index)].Value);
}

void TBarChart::paintEvent(QPaintEvent* event)
{
  (void)event;
  QPainter painter(this);
  PaintInto(painter, rect());
}

void TBarChart::PaintInto(QPainter& painter, const QRect& area) const
{
  painter.save();
  painter.setClipRect(area);
  painter.fillRect(area, Qt::white);
  painter.setRenderHint(QPainter::Antialiasing, false);

  // Sizes in device pixels: one "point" of the screen design.
  const double unit = std::max(1.0, painter.device()->logicalDpiY() / 96.0);
  const double pad = 6 * unit;
  const QFont font(this->font(), painter.device());
  QFont titleFont(font);
  titleFont.setBold(true);
  painter.setFont(font);
  const QFontMetricsF fm(font, painter.device());
  const QFontMetricsF titleFm(titleFont, painter.device());
  const double lineHeight = fm.height();

  // Which labels and marks fit: every one, or every k-th when bars are thin.
  const int count = BarCount();
  std::vector<QString> marks;
  double labelWidth = 0;
  double markWidth = 0;
  for (int i = 0; i < count; ++i) {
    labelWidth = std::max(labelWidth, fm.horizontalAdvance(bars_[size_t(i)].Label));
    if (marksVisible_) {
      marks.push_back(MarkText(i));
      markWidth = std::max(markWidth, fm.horizontalAdvance(marks.back()) + 6 * unit);
    }
  }
  labelWidth = std::min(labelWidth, area.width() * 0.35);
  double maxValue = 0;
  for (const TBar& bar : bars_)
    maxValue = std::max(maxValue, bar.Value);

  const double titleWidth = leftTitle_.isEmpty() ? 0 : titleFm.height() + pad;
  const double bottomTitle = bottomTitle_.isEmpty() ? 0 : titleFm.height() + pad;
  QRectF plot(area.left() + pad + titleWidth + labelWidth + pad, area.top() + pad, 0, 0);
  const double right = area.right() - pad - std::max(markWidth + 4 * unit, fm.horizontalAdvance(QStringLiteral("0000")) / 2);
  const double bottom = area.bottom() - pad - bottomTitle - lineHeight - 2 * unit;
  plot.setRight(std::max(plot.left() + 1, right));
  plot.setBottom(std::max(plot.top() + 1, bottom));

  // The value axis: grid lines and their numbers, no axis line.
  const int wantedTicks = std::max(1, int(plot.width() / (fm.horizontalAdvance(tickText(maxValue)) * 3 + 1)));
  const double step = tickStep(std::max(maxValue, 1.0), std::min(wantedTicks, 10));
  const double axisMax = std::max(step, std::ceil(std::max(maxValue, 1.0) / step) * step);
  const auto xOf = [&](double value) { return plot.left() + value / axisMax * plot.width(); };
  painter.setPen(QPen(kGridColour, unit, Qt::DotLine));
  for (double v = 0; v <= axisMax + step / 2; v += step) {
    const double x = xOf(v);
    painter.setPen(QPen(kGridColour, unit, Qt::DotLine));
    painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
    painter.setPen(Qt::black);
    const QString text = tickText(v);
    const double w = fm.horizontalAdvance(text);
    painter.drawText(QRectF(x - w / 2 - unit, plot.bottom() + 2 * unit, w + 2 * unit, lineHeight),
                     Qt::AlignCenter, text);
  }

  // Titles.
  painter.setFont(titleFont);
  painter.setPen(Qt::black);
  if (!bottomTitle_.isEmpty())
    painter.drawText(QRectF(plot.left(), plot.bottom() + 2 * unit + lineHeight + pad / 2, plot.width(),
                            titleFm.height()),
                     Qt::AlignCenter, bottomTitle_);
  if (!leftTitle_.isEmpty()) {
    painter.save();
    painter.translate(area.left() + pad, plot.center().y());
    painter.rotate(-90);
    painter.drawText(QRectF(-plot.height() / 2, 0, plot.height(), titleFm.height()), Qt::AlignCenter,
                     leftTitle_);
    painter.restore();
  }
  painter.setFont(font);

  if (count == 0) {
    painter.restore();
    return;
  }

  // Bars, top to bottom in point order; labels and marks of every k-th bar
  // when they would overlap.
  const double slot = plot.height() / count;
  const double rowHeight = lineHeight + (marksVisible_ ? 3 * unit : 0);
  const int every = std::max(1, int(std::ceil(rowHeight / slot)));
  const double thickness = std::max(unit, slot * 0.7);
  for (int i = 0; i < count; ++i) {
    const TBar& bar = bars_[size_t(i)];
    const double mid = plot.top() + slot * (i + 0.5);
    const QRectF box(plot.left(), mid - thickness / 2, std::max(0.0, xOf(bar.Value) - plot.left()), thickness);
    if (box.width() > 0) {
      painter.fillRect(box, bar.Colour);
      painter.setPen(QPen(bar.Colour.darker(150), unit));
      painter.drawRect(box);
    }
    if (i % every != 0)
      continue;
    painter.setPen(Qt::black);
    const QString label = fm.elidedText(bar.Label, Qt::ElideMiddle, labelWidth);
    painter.drawText(QRectF(plot.left() - pad - labelWidth, mid - lineHeight / 2, labelWidth, lineHeight),
                     Qt::AlignRight | Qt::AlignVCenter, label);
    if (!marksVisible_)
      continue;
    const QString& mark = marks[size_t(i)];
    const QRectF markBox(box.right() + 4 * unit, mid - lineHeight / 2 - unit, fm.horizontalAdvance(mark) + 6 * unit,
                         lineHeight + 2 * unit);
    painter.fillRect(markBox, kMarkBackground);
    painter.setPen(QPen(Qt::gray, unit));
    painter.drawRect(markBox);
    painter.setPen(Qt::black);
    painter.drawText(markBox, Qt::AlignCenter, mark);
  }
  painter.restore();
}
