// The collocation window ("Frequency Statistics") without its widgets: the
// rows it shows, copied from the collocate tables of a concordance's hit list
// when it is made, its columns and captions, the clipboard text of selected
// rows and the width of the word columns.
//
// Each word position from first to last has three columns: a separator (no
// header, width 0), the count (no header, right-aligned, width 40) and the
// word (the position's name). The first column of a row is always empty, as
// is every separator; a position whose words are exhausted shows two empty
// cells.
#pragma once

#include "search/concord_items.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TCollocationModel {
public:
  static constexpr const char* FormCaption = "Frequency Statistics";
  static constexpr const char* FillingCaption = "Filling list...";
  static constexpr int32_t CountColumnWidth = 40;

  // The tables first..last (positions 1..8, each table present) sorted by
  // count, then their words in range copied, at most maxLines rows (0 or
  // less: none).
  void Fill(TConcordItems::TCollocTableArray& tables, uint8_t first, uint8_t last, int32_t maxLines);

  uint8_t First() const { return first_; }
  uint8_t Last() const { return last_; }
  int32_t PositionCount() const { return int32_t(columns_.size()); }
  int32_t RowCount() const { return rows_; }
  int32_t ColumnCount() const { return 3 * PositionCount(); }

  enum class TColumnKind { Separator, Count, Word };
  static TColumnKind KindOf(int32_t column) { return TColumnKind(column % 3); }
  // The position's name over its word column; empty elsewhere.
  std::string HeaderText(int32_t column) const;
  std::string CellText(int32_t row, int32_t column) const;

  // The rows, in the order given: the cells after the first column joined by
  // TAB, rows joined by CR LF, nothing after the last.
  std::string CopyText(const std::vector<int32_t>& rows) const;

  // "Frequency Statistics - [" + pattern + "]", or "Frequency Statistics"
  // without a pattern.
  static std::string Caption(std::string_view pattern);
  // The word columns share what the count columns (countWidths together,
  // CountColumnWidth each unless their texts need more), a vertical scroll
  // bar and 5 pixels leave of the list's width; never below 0.
  static int32_t WordColumnWidth(int32_t listWidth, int32_t positionCount, int32_t scrollBarWidth,
                                 int32_t countWidths);

private:
  // The shown words of one position, top down, in one block.
  struct TColumn {
    std::vector<int32_t> Counts;
    std::vector<uint32_t> Ends;  // end of each word in Text
    std::string Text;
    bool Has(int32_t row) const { return row >= 0 && size_t(row) < Counts.size(); }
    std::string_view Word(int32_t row) const;
  };

  uint8_t first_ = 0;
  uint8_t last_ = 0;
  int32_t rows_ = 0;
  std::vector<TColumn> columns_;
};
