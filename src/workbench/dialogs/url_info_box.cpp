#include "workbench/dialogs/url_info_box.h"

#include "foundation/utils.h"

#include <QFont>
#include <QFontMetrics>
#include <QColor>
#include <QPainter>

#include <charconv>
#include <cmath>

namespace {

// Colours as $00BBGGRR values.
constexpr uint32_t Navy = 0x800000;
constexpr uint32_t Maroon = 0x000080;
constexpr uint32_t Yellow = 0x00FFFF;

QColor BgrColor(uint32_t bgr)
{
  return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

}  // namespace

TURLInfoBox::TURLInfoBox(QWidget* parent) : QWidget(parent) {}

int URLBoxBarHeight(int32_t loadedSize, int32_t totalSize, int height)
{
  if (totalSize <= 0)
    return height;
  const double bar = std::nearbyint(static_cast<double>(loadedSize) / totalSize * height);
  if (bar > height)
    return height;
  if (bar < 0)
    return 0;
  return static_cast<int>(bar);
}

std::string URLBoxHint(const std::string& url, int32_t totalSize, int32_t loadedSize)
{
  if (totalSize == URLSizeNotGiven)
    return url + " (" + SizeText(loadedSize, true) + " of unknown)";
  const double percent = totalSize > 0 ? static_cast<double>(loadedSize) / totalSize * 100 : 100.0;
  return url + " (" + FixedText(percent, 2) + "% of " + SizeText(totalSize, true) + ")";
}

std::vector<QRect> URLBoxPlaces(int count, int panelWidth, int panelHeight)
{
  std::vector<QRect> places;
  if (count <= 0)
    return places;
  const int inner = panelWidth - 4;
  const int width = count * 16 <= inner ? 16 : inner / count;
  for (int i = 0; i < count; ++i)
    places.emplace_back(2 + i * width, 2, width, panelHeight - 6);
  return places;
}

void TURLInfoBox::Paint(QPainter& painter) const
{
  const int h = height();
  const int r = width() - 2;
  // The filled rectangle runs from (1, 1) up to, but not including, (R, H).
  const QRect box(QPoint(1, 1), QPoint(r - 1, h - 1));
  painter.fillRect(box, BgrColor(Navy));
  if (TotalSize == URLSizeNotGiven) {
    QFont bold = painter.font();
    bold.setBold(true);
    painter.setFont(bold);
    const QFontMetrics metrics(bold);
    const QString text = QStringLiteral("?");
    const int tw = metrics.horizontalAdvance(text);
    const int th = metrics.height();
    const int x = (r - tw) / 2;
    const int y = (h - th) / 2;
    painter.setPen(BgrColor(Yellow));
    painter.drawText(QRect(x, y, tw, th), Qt::AlignLeft | Qt::AlignTop, text);
    return;
  }
  const int bar = URLBoxBarHeight(LoadedSize, TotalSize, h);
  if (bar > 0)
    painter.fillRect(QRect(QPoint(1, h - bar), QPoint(r - 1, h - 1)), BgrColor(Maroon));
}

void TURLInfoBox::paintEvent(QPaintEvent*)
{
  QPainter painter(this);
  Paint(painter);
}
