#include "forms/collocation_model.h"

#include "foundation/hash_strings.h"
#include "foundation/settings.h"
#include "search/collocates.h"

#include <algorithm>

std::string_view TCollocationModel::TColumn::Word(int32_t row) const
{
  const uint32_t start = row == 0 ? 0 : Ends[size_t(row) - 1];
  return std::string_view(Text).substr(start, Ends[size_t(row)] - start);
}

void TCollocationModel::Fill(TConcordItems::TCollocTableArray& tables, uint8_t first, uint8_t last,
                             int32_t maxLines)
{
  first_ = first;
  last_ = last;
  rows_ = 0;
  columns_.clear();
  if (first < ctx4L || last > ctx4R || first > last)
    return;
  for (int p = first; p <= last; ++p)
    tables[size_t(p)]->Sort(THashStrings::ssByCount);
  const TCollocRows rows = LayOutCollocRows(tables, first, last, std::max(maxLines, 0));
  rows_ = rows.Rows;
  columns_.resize(rows.Entries.size());
  for (size_t i = 0; i < columns_.size(); ++i) {
    const THashStrings& table = *tables[first + i];
    TColumn& column = columns_[i];
    column.Counts.reserve(rows.Entries[i].size());
    column.Ends.reserve(rows.Entries[i].size());
    for (int32_t entry : rows.Entries[i]) {
      column.Counts.push_back(table.Counts(entry));
      column.Text += table.Strings(entry);
      column.Ends.push_back(uint32_t(column.Text.size()));
    }
  }
}

std::string TCollocationModel::HeaderText(int32_t column) const
{
  if (column < 0 || column >= ColumnCount() || KindOf(column) != TColumnKind::Word)
    return {};
  return CollocatePositionNames[first_ + column / 3 - 1];
}

std::string TCollocationModel::CellText(int32_t row, int32_t column) const
{
  if (column < 0 || column >= ColumnCount())
    return {};
  const TColumn& c = columns_[size_t(column / 3)];
  if (!c.Has(row))
    return {};
  switch (KindOf(column)) {
  case TColumnKind::Count: return std::to_string(c.Counts[size_t(row)]);
  case TColumnKind::Word: return std::string(c.Word(row));
  default: return {};
  }
}

std::string TCollocationModel::CopyText(const std::vector<int32_t>& rows) const
{
  std::string text;
  for (size_t i = 0; i < rows.size(); ++i) {
    if (i > 0)
      text += "\r\n";
    for (int32_t column = 1; column < ColumnCount(); ++column) {
      if (column > 1)
        text += '\t';
      text += CellText(rows[i], column);
    }
  }
  return text;
}

std::string TCollocationModel::Caption(std::string_view pattern)
{
  if (pattern.empty())
    return FormCaption;
  return std::string(FormCaption) + " - [" + std::string(pattern) + "]";
}

int32_t TCollocationModel::WordColumnWidth(int32_t listWidth, int32_t positionCount, int32_t scrollBarWidth,
                                           int32_t countWidths)
{
  if (positionCount <= 0)
    return 0;
  return std::max(0, (listWidth - countWidths - scrollBarWidth - 5) / positionCount);
}
