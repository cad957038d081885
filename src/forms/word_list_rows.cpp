#include "forms/word_list_rows.h"

#include "foundation/chartables.h"
#include "foundation/frequency_list.h"
#include "foundation/settings.h"

#include <algorithm>

float WordListPercent(int32_t count, int64_t total)
{
  if (total <= 0)
    return 0;
  return float(static_cast<long double>(count) / static_cast<long double>(total) * 100.0L);
}

void TWordListRows::Fill(THashStrings& table, int mode, std::string caption, int64_t total, int64_t rowLimit)
{
  caption_ = std::move(caption);
  total_ = total;
  if (mode == wlmAlphabetical)
    table.Sort(THashStrings::ssByWord);
  else if (mode == wlmByCount)
    table.Sort(THashStrings::ssByCount);
  rows_.clear();
  largestRow_ = 0;
  // Every word's bytes back to back in one block, not one string each.
  size_t bytes = 0;
  for (int32_t i = 0; i < table.Count(); ++i)
    bytes += table.Strings(i).size();
  wordBytes_.clear();
  wordBytes_.reserve(bytes);
  words_.clear();
  words_.reserve(size_t(table.Count()));
  for (int32_t i = 0; i < table.Count(); ++i) {
    const std::string_view word = table.Strings(i);
    words_.push_back({wordBytes_.size(), uint32_t(word.size()), table.Counts(i)});
    wordBytes_.append(word);
  }
  int64_t limit = FrequencySettings.MaximumLines;
  if (rowLimit > 0 && rowLimit < limit)
    limit = rowLimit;
  for (int32_t i = 0; i < table.Count(); ++i) {
    const std::string_view word = table.Strings(i);
    const int32_t count = table.Counts(i);
    if (!PassesFrequencyFilter(word, count))
      continue;
    if (!rows_.empty() && count > rows_[size_t(largestRow_)].Count)
      largestRow_ = int32_t(rows_.size());
    rows_.push_back({count, WordListPercent(count, total), std::string(word)});
    if (int64_t(rows_.size()) >= limit)
      break;
  }
  rows_.shrink_to_fit();
}

std::string TWordListRows::CellText(int32_t row, int column) const
{
  const TWordListRow& r = rows_[size_t(row)];
  switch (column) {
  case 0:
    return std::to_string(r.Count);
  case 1:
    return FormatPercent(r.Percent) + "%";
  default:
    return r.Word;
  }
}

void TWordListRows::Write(TTextSink& file, int32_t maxLines, bool withFrequencies) const
{
  file.WriteLine(caption_ + " (" + std::to_string(total_) + " words)");
  file.WriteLine();
  const int32_t n = maxLines > 0 ? std::min(maxLines, Count()) : Count();
  std::string line;
  for (int32_t i = 0; i < n; ++i) {
    if (withFrequencies) {
      line = CellText(i, 0);
      line += '\t';
      line += CellText(i, 1);
      line += '\t';
      line += rows_[size_t(i)].Word;
      file.WriteLine(line);
    } else {
      file.WriteLine(rows_[size_t(i)].Word);
    }
  }
}

std::string TWordListRows::CopyText(int32_t first, int32_t last) const
{
  first = std::max(first, 0);
  last = std::min(last, Count() - 1);
  std::string text;
  for (int32_t i = first; i <= last; ++i) {
    if (i > first)
      text += "\r\n";
    text += CellText(i, 0);
    text += '\t';
    text += CellText(i, 1);
    text += '\t';
    text += rows_[size_t(i)].Word;
  }
  return text;
}

std::unique_ptr<THashStrings> TWordListRows::ToTable() const
{
  // The table needs one bucket at least, also for a list of one word.
  auto table = std::make_unique<THashStrings>(std::max<int32_t>(1, int32_t(words_.size() / 2)), LanguageId);
  table->FoldCase = true;
  for (const TWord& w : words_)
    table->AddCount(std::string_view(wordBytes_).substr(w.Offset, w.Length), w.Count);
  return table;
}

void WriteBatchFrequencyList(TTextSink& file, THashStrings& table, bool alphabetical)
{
  file.WriteLine(alphabetical ? BatchAlphaOrderTitle : BatchFreqOrderTitle);
  file.WriteLine(std::string(38, '-'));
  WriteFrequencyList([&file](const std::string& line) { file.WriteLine(line); }, table, alphabetical);
}
