// Column widths by the real font metrics: what a table view's column needs
// so that its header and its cell texts show whole in the fonts the view
// draws them with, margins and the grid line included.
#pragma once

#include <QString>

#include <initializer_list>

class QTableView;

// The width a cell of the view needs for text in the view's font.
int CellTextWidth(const QTableView& view, const QString& text);
// The width the view's horizontal header needs for its section's text.
int HeaderTextWidth(const QTableView& view, int column);
// The widest of the header of the column and the cells of the given rows,
// as the model gives their texts.
int ColumnTextWidth(const QTableView& view, int column, std::initializer_list<int> rows);
