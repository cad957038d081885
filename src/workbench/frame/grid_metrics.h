// Column widths by the real font metrics: what a table view's column needs
// so that its header and its cell texts show whole in the fonts the view
// draws them with, margins and the grid line included.
#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string_view>
#include <vector>

class QFont;
class QTableView;

// The width a cell of the view needs for text in the view's font.
int CellTextWidth(const QTableView& view, const QString& text);
// The width the view's horizontal header needs for its section's text.
int HeaderTextWidth(const QTableView& view, int column);
// The widest of the header of the column and the cells of the given rows,
// as the model gives their texts.
int ColumnTextWidth(const QTableView& view, int column, std::initializer_list<int> rows);

// A column that fits its widest text measures at most this many of its
// cells, those of the longest texts: shaping text in the font is what costs,
// and a word list can hold a million words.
inline constexpr int32_t kMeasuredCells = 128;

// The rows of the `limit` greatest length keys among rows 0..rowCount - 1,
// in row order; of equal keys the earlier rows. lengthKey(row) orders the
// rows' texts by length: a longer text never has a smaller key (the byte
// length itself, or a number's length key).
std::vector<int32_t> longestTextRows(int32_t rowCount, const std::function<double(int32_t)>& lengthKey,
                                     int32_t limit = kMeasuredCells);

// An upper bound of the width of a text of the current code page in a font,
// without shaping it: the advances of its bytes' characters, each with an
// eighth more for kerning, and a pixel for rounding. A byte that is no character
// alone may lead a double-byte one and counts as wide as a line is high.
class TTextWidthBound {
public:
  explicit TTextWidthBound(const QFont& font);
  double operator()(std::string_view text) const;

private:
  double byteWidth_[256] = {};
};

// The greatest measure(row) of rows 0..rowCount - 1, or 0 when there are
// none. Only the kMeasuredCells rows of greatest bound(row) are measured,
// and then every other row whose bound exceeds the widest measured, so no
// row can be wider than the result; bound(row) is never below measure(row).
int widestOfRows(int32_t rowCount, const std::function<double(int32_t)>& bound,
                 const std::function<int(int32_t)>& measure);
