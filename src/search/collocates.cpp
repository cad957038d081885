// The collocate tables of a hit list: counting, ranking, generation with its
// progress dialog, and the CollocationReport.
#include "search/collocates.h"

#include "foundation/abort.h"
#include "foundation/chartables.h"
#include "foundation/dialogs.h"
#include "foundation/hash_strings.h"
#include "foundation/settings.h"
#include "foundation/stop_list.h"
#include "foundation/text_sink.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <optional>
#include <stdexcept>

namespace {

constexpr int32_t ProgressStep = 256;   // hits between pumps of the generation
constexpr size_t MaxCollocWordLength = 255;

// The word as the tables hold it: at most 255 bytes, lower-cased into buffer
// (room for 255 bytes) when FrequencySettings.IgnoreCase is on.
std::string_view TableWord(std::string_view word, char* buffer)
{
  word = word.substr(0, MaxCollocWordLength);
  if (!FrequencySettings.IgnoreCase)
    return word;
  std::memcpy(buffer, word.data(), word.size());
  LocaleLowerBytes(buffer, word.size());
  return {buffer, word.size()};
}

void AppendNumber(std::string& out, int32_t value)
{
  char digits[16];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  out.append(digits, end);
}

}  // namespace

TCollocWindow CollocWindowOfSpan(int32_t span)
{
  span = std::clamp<int32_t>(span, 1, 4);
  return {uint8_t(5 - span), uint8_t(4 + span)};
}

TCollocWindow CurrentCollocWindow()
{
  return CollocWindowOfSpan(FrequencySettings.CollocationSpan);
}

bool CollocCountInRange(int32_t count)
{
  return count >= FrequencySettings.MinimumFrequency &&
         (FrequencySettings.MaximumFrequency == 0 || count <= FrequencySettings.MaximumFrequency);
}

TCollocRows LayOutCollocRows(const TConcordItems::TCollocTableArray& tables, uint8_t first, uint8_t last,
                             int64_t rowLimit)
{
  TCollocRows out;
  if (first < ctx4L || last > ctx4R || first > last)
    return out;
  const size_t n = size_t(last - first + 1);
  out.Entries.resize(n);
  std::vector<int32_t> cursor(n, 0);
  const auto table = [&](size_t i) -> const THashStrings& { return *tables[first + i]; };
  while (rowLimit < 0 || out.Rows < rowLimit) {
    bool more = false;
    for (size_t i = 0; i < n && !more; ++i)
      more = cursor[i] < table(i).Count();
    if (!more)
      break;
    for (size_t i = 0; i < n; ++i) {
      const THashStrings& t = table(i);
      while (cursor[i] < t.Count() && !CollocCountInRange(t.Counts(cursor[i])))
        ++cursor[i];
      if (cursor[i] < t.Count())
        out.Entries[i].push_back(cursor[i]++);
    }
    ++out.Rows;
  }
  return out;
}

// --- TConcordItems: collocate tables --------------------------------------------

bool TConcordItems::CollocTablesValid(uint8_t first, uint8_t last) const
{
  if (first != CollocFirst || last != CollocLast || first < ctx4L || last > ctx4R || first > last)
    return false;
  for (int p = first; p <= last; ++p)
    if (!CollocTables[size_t(p)])
      return false;
  return collocCounted_ == Count();
}

void TConcordItems::FreeCollocTables()
{
  for (auto& table : CollocTables)
    table.reset();
  collocCounted_ = 0;
}

void TConcordItems::prepareCollocTables(uint8_t first, uint8_t last, int32_t topLimit)
{
  CollocFirst = first;
  CollocLast = last;
  collocCounted_ = 0;
  const int32_t buckets = std::max(Count() / 64, 256);
  for (int p = first; p <= last; ++p) {
    auto& table = CollocTables[size_t(p)];
    if (!table)
      table = std::make_unique<THashStrings>(buckets, LanguageId);
    else
      table->Clear();
    table->FoldCase = false;
    table->SetTopLimit(topLimit);
  }
}

void TConcordItems::countCollocates(const TConcordItem& hit)
{
  char buffer[MaxCollocWordLength];
  for (int p = CollocFirst; p <= CollocLast; ++p) {
    if (!hit.HasWord(p))
      continue;
    const std::string_view word = TableWord(hit.Word(p), buffer);
    if (!GlobalStopList.IsStopWord(word))
      CollocTables[size_t(p)]->Add(word, true);
  }
}

void TConcordItems::rankCollocates(TConcordItem& hit) const
{
  char buffer[MaxCollocWordLength];
  hit.CollocRanks.fill(-1);
  for (int p = CollocFirst; p <= CollocLast; ++p) {
    if (!hit.HasWord(p))
      continue;
    const THashStrings& table = *CollocTables[size_t(p)];
    const int32_t count = table.CountOf(TableWord(hit.Word(p), buffer));
    if (count > 1)
      hit.CollocRanks[size_t(p)] = int8_t(table.IndexOfTopCount(count));
  }
}

void TConcordItems::RankAllCollocates()
{
  if (!CollocTablesValid(CollocFirst, CollocLast))
    return;
  for (const auto& hit : items_)
    rankCollocates(*hit);
}

void TConcordItems::generate(uint8_t first, uint8_t last, int32_t topLimit, const TProgressSetup& setup)
{
  const int32_t n = Count();
  std::unique_ptr<ProgressDialog> progress = CreateProgressForm(false);
  try {
    progress->SetCaption("Generating collocation");
    progress->SetMaxValue(n);
    if (setup)
      setup(*progress);
    if (n > ProgressStep)
      progress->Show();
    prepareCollocTables(first, last, topLimit);
    {
      // One batch per position: its lookups run in groups, fetched ahead.
      std::optional<TWordBatch> batches[TConcordItem::SlotCount];
      for (int p = first; p <= last; ++p)
        batches[p].emplace(*CollocTables[size_t(p)]);
      char buffer[MaxCollocWordLength];
      for (int32_t i = 0; i < n; ++i) {
        if (i % ProgressStep == 0) {
          progress->SetProgress(i);
          if (progress->poll() != ProgressRunning)
            throw EAbort();
        }
        const TConcordItem& hit = *items_[size_t(i)];
        for (int p = first; p <= last; ++p) {
          if (!hit.HasWord(p))
            continue;
          const std::string_view word = TableWord(hit.Word(p), buffer);
          if (!GlobalStopList.IsStopWord(word))
            batches[p]->Add(word);
        }
      }
    }
    collocCounted_ = n;
    RankAllCollocates();
    for (int p = first; p <= last; ++p)
      CollocTables[size_t(p)]->Sort(THashStrings::ssByCount);
    progress.reset();
  } catch (...) {
    progress.reset();
    FreeCollocTables();
    HighlightCollocates = false;
    throw;
  }
}

void TConcordItems::GenerateCollocation(uint8_t first, uint8_t last, const TProgressSetup& setup)
{
  generate(first, last, HighlightCollocates ? FrequencySettings.CollocHighliteFirst : 0, setup);
}

void TConcordItems::SetHighlightCollocates(bool on, const TProgressSetup& setup)
{
  if (on == HighlightCollocates)
    return;
  if (!on) {
    HighlightCollocates = false;
    return;
  }
  const TCollocWindow window = CurrentCollocWindow();
  const int32_t topLimit = FrequencySettings.CollocHighliteFirst;
  if (CollocTablesValid(window.First, window.Last)) {
    for (int p = window.First; p <= window.Last; ++p)
      CollocTables[size_t(p)]->SetTopLimit(topLimit);
    HighlightCollocates = true;
    RankAllCollocates();
    return;
  }
  generate(window.First, window.Last, topLimit, setup);
  HighlightCollocates = true;
}

void TConcordItems::WriteCollocationTable(TTextSink& file, int32_t maxRows, std::string_view patternText)
{
  const uint8_t first = CollocFirst;
  const uint8_t last = CollocLast;
  bool complete = first >= ctx4L && last <= ctx4R && first <= last;
  for (int p = first; complete && p <= last; ++p)
    complete = CollocTables[size_t(p)] != nullptr;
  if (!complete)
    throw std::runtime_error("There are no collocate tables to write.");
  // Hits counted after the generation leave the tables out of order.
  for (int p = first; p <= last; ++p)
    CollocTables[size_t(p)]->Sort(THashStrings::ssByCount);
  const TCollocRows rows = LayOutCollocRows(CollocTables, first, last, maxRows > 0 ? maxRows : -1);

  std::string line = "Word: ";
  line.append(patternText);
  file.WriteLine(line);
  file.WriteLine();
  line.clear();
  for (int p = first; p <= last; ++p) {
    if (p > first)
      line += "\t\t";
    line += CollocatePositionNames[p - 1];
  }
  file.WriteLine(line);
  for (int32_t r = 0; r < rows.Rows; ++r) {
    line.clear();
    for (size_t i = 0; i < rows.Entries.size(); ++i) {
      if (i > 0)
        line += '\t';
      const std::vector<int32_t>& entries = rows.Entries[i];
      if (size_t(r) < entries.size()) {
        const THashStrings& table = *CollocTables[first + i];
        AppendNumber(line, table.Counts(entries[size_t(r)]));
        line += '\t';
        line += table.Strings(entries[size_t(r)]);
      } else {
        line += '\t';
      }
    }
    file.WriteLine(line);
  }
}
