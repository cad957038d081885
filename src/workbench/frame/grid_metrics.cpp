#include "workbench/frame/grid_metrics.h"

#include <QAbstractItemModel>
#include <QFontMetrics>
#include <QHeaderView>
#include <QStyle>
#include <QTableView>

#include <algorithm>

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
