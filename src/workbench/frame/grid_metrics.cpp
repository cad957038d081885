#include "workbench/frame/grid_metrics.h"

#include <QAbstractItemModel>
#include <QFontMetrics>
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
