#include "workbench/frame/grid_metrics.h"

#include "workbench/frame/qt_text.h"

#include <QAbstractItemModel>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QHeaderView>
#include <QStyle>
#include <QTableView>

#include <algorithm>
#include <utility>

namespace {

int TextWidthIn(const QWidget& widget, const QString& text)
{
  // The item delegate keeps a focus-frame margin and one pixel on each side
  // of the text; the grid line takes one pixel of the cell.
  const int margin = widget.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &widget) + 1;
  return QFontMetrics(widget.font()).horizontalAdvance(text) + 2 * margin + 1;
}

}  // namespace

int CellTextWidth(const QTableView& view, const QString& text)
{
  return TextWidthIn(view, text);
}

int HeaderTextWidth(const QTableView& view, int column)
{
  const QHeaderView* header = view.horizontalHeader();
  const QString text = view.model() ? view.model()->headerData(column, Qt::Horizontal).toString() : QString();
  if (text.isEmpty())
    return 0;
  // The section's own hint holds the style's margins around the text; the
  // sort indicator it reserves room for is never shown here.
  return std::max(header->sectionSizeHint(column), TextWidthIn(*header, text));
}

int ColumnTextWidth(const QTableView& view, int column, std::initializer_list<int> rows)
{
  int width = HeaderTextWidth(view, column);
  const QAbstractItemModel* model = view.model();
  if (!model)
    return width;
  for (int row : rows)
    if (row >= 0 && row < model->rowCount())
      width = std::max(width, CellTextWidth(view, model->index(row, column).data().toString()));
  return width;
}

std::vector<int32_t> longestTextRows(int32_t rowCount, const std::function<double(int32_t)>& lengthKey,
                                     int32_t limit)
{
  // A heap of the rows kept so far with the one to drop first on top: the
  // smallest key, and of equal keys the latest row.
  using TKeyedRow = std::pair<double, int32_t>;
  const auto keptBefore = [](const TKeyedRow& a, const TKeyedRow& b) {
    return a.first > b.first || (a.first == b.first && a.second < b.second);
  };
  std::vector<TKeyedRow> kept;
  kept.reserve(size_t(std::max(limit, 0)));
  for (int32_t row = 0; row < rowCount && limit > 0; ++row) {
    const double key = lengthKey(row);
    if (int32_t(kept.size()) < limit) {
      kept.emplace_back(key, row);
      std::push_heap(kept.begin(), kept.end(), keptBefore);
    } else if (key > kept.front().first) {  // a later row never wins a tie
      std::pop_heap(kept.begin(), kept.end(), keptBefore);
      kept.back() = {key, row};
      std::push_heap(kept.begin(), kept.end(), keptBefore);
    }
  }
  std::vector<int32_t> rows;
  rows.reserve(kept.size());
  for (const TKeyedRow& k : kept)
    rows.push_back(k.second);
  std::sort(rows.begin(), rows.end());
  return rows;
}

TTextWidthBound::TTextWidthBound(const QFont& font)
{
  const QFontMetricsF metrics(font);
  for (int b = 0; b < 256; ++b) {
    const char byte = char(b);
    const QString text = ToQString(std::string_view(&byte, 1));
    double width = metrics.horizontalAdvance(text);
    // A lead byte, an undefined byte or a control character: alone it may
    // measure narrow, while in a text it becomes a wide glyph or a box drawn
    // from a fallback font.
    if (text.size() != 1 || text[0] == QChar::ReplacementCharacter || (text[0] == QChar(0x1A) && b != 0x1A) ||
        !text[0].isPrint())
      width = std::max(width, metrics.height());
    // Kerning moves a pair of glyphs apart by far less than an eighth of
    // their widths (under 5 % in the fonts tried).
    byteWidth_[b] = width * 9 / 8;
  }
}

double TTextWidthBound::operator()(std::string_view text) const
{
  double width = 1;  // the measure rounds to whole pixels
  for (const char c : text)
    width += byteWidth_[uint8_t(c)];
  return width;
}

int widestOfRows(int32_t rowCount, const std::function<double(int32_t)>& bound,
                 const std::function<int(int32_t)>& measure)
{
  std::vector<double> bounds(size_t(std::max(rowCount, 0)));
  for (int32_t row = 0; row < rowCount; ++row)
    bounds[size_t(row)] = bound(row);
  const std::vector<int32_t> first = longestTextRows(rowCount, [&](int32_t row) { return bounds[size_t(row)]; });
  int widest = 0;
  for (int32_t row : first)
    widest = std::max(widest, measure(row));
  auto measured = first.begin();  // in row order
  for (int32_t row = 0; row < rowCount; ++row) {
    if (measured != first.end() && *measured == row) {
      ++measured;
      continue;
    }
    if (bounds[size_t(row)] > widest)
      widest = std::max(widest, measure(row));
  }
  return widest;
}
