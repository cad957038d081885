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
#include "platform/codepage.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

constexpr int32_t ProgressStep = 256;   // hits between pumps of the generation
constexpr size_t MaxCollocWordLength = 255;

// Words as the tables hold them: at most 255 bytes, lower-cased when
// FrequencySettings.IgnoreCase is on. The case table is fetched once, not
// for every word.
class TWordFolder {
public:
  TWordFolder()
    : lower_(FrequencySettings.IgnoreCase ? &platform::codePage(AnsiCodePage) : nullptr)
  {
  }
  // The folded word, in buffer (room for 255 bytes) when it changed.
  std::string_view Fold(std::string_view word, char* buffer) const
  {
    word = word.substr(0, MaxCollocWordLength);
    if (!lower_)
      return word;
    if (lower_->dbcs) {
      std::memcpy(buffer, word.data(), word.size());
      LocaleLowerBytes(buffer, word.size());
    } else {
      for (size_t i = 0; i < word.size(); ++i)
        buffer[i] = char(lower_->lower[static_cast<unsigned char>(word[i])]);
    }
    return {buffer, word.size()};
  }

private:
  const platform::CodePage* lower_;
};

// The rank of a count among the table's tracked top counts; -1 for a count
// of 1 or less or one not tracked.
int8_t RankOfCount(const THashStrings& table, int32_t count)
{
  return count > 1 ? int8_t(table.IndexOfTopCount(count)) : int8_t(-1);
}

// Ranks the words of one position a group at a time, with the table's
// memory fetched ahead of the lookups (as TWordBatch does for counting).
class TRankBatch {
public:
  explicit TRankBatch(const THashStrings& table) : table_(table) {}
  ~TRankBatch() { Flush(); }
  TRankBatch(const TRankBatch&) = delete;
  TRankBatch& operator=(const TRankBatch&) = delete;

  // The word's rank goes to *rank, at the latest when the batch is flushed.
  void Add(std::string_view word, int8_t* rank)
  {
    if (used_ + word.size() > BufferBytes)
      Flush();
    if (word.size() > BufferBytes || !table_.MakeKey(word, buffer_ + used_, keys_[count_])) {
      *rank = RankOfCount(table_, table_.CountOf(word));  // double-byte text, folded whole
      return;
    }
    // Keys are padded to whole 8-byte blocks.
    used_ += (word.size() + 7) & ~size_t(7);
    ranks_[count_] = rank;
    if (++count_ == Group)
      Flush();
  }
  void Flush()
  {
    table_.PrefetchSlots(keys_, count_);
    table_.PrefetchItems(keys_, count_);
    for (size_t k = 0; k < count_; ++k)
      *ranks_[k] = RankOfCount(table_, table_.CountOfKey(keys_[k]));
    count_ = 0;
    used_ = 0;
  }

private:
  static constexpr size_t Group = 32;
  static constexpr size_t BufferBytes = Group * 64;
  const THashStrings& table_;
  THashStrings::Key keys_[Group];
  int8_t* ranks_[Group];
  size_t count_ = 0;
  size_t used_ = 0;
  alignas(8) char buffer_[BufferBytes + 24];  // room for the padding of the last key
};

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

void TConcordItems::countAndRankCollocates(TConcordItem& hit)
{
  // The eight tables' memory is fetched for all words at once, then each
  // word is counted and ranked by its new count.
  const TWordFolder folder;
  std::string_view words[TConcordItem::SlotCount];
  char folded[TConcordItem::SlotCount][MaxCollocWordLength];
  alignas(8) char keyBytes[TConcordItem::SlotCount][MaxCollocWordLength + 17];
  THashStrings::Key keys[TConcordItem::SlotCount];
  bool counted[TConcordItem::SlotCount] = {};
  bool keyed[TConcordItem::SlotCount] = {};
  hit.CollocRanks.fill(-1);
  for (int p = CollocFirst; p <= CollocLast; ++p) {
    if (!hit.HasWord(p))
      continue;
    words[p] = folder.Fold(hit.Word(p), folded[p]);
    if (GlobalStopList.IsFoldedStopWord(words[p]))
      continue;  // never counted, so never ranked
    counted[p] = true;
    const THashStrings& table = *CollocTables[size_t(p)];
    keyed[p] = table.MakeKey(words[p], keyBytes[p], keys[p]);
    if (keyed[p])
      table.PrefetchSlots(&keys[p], 1);
  }
  for (int p = CollocFirst; p <= CollocLast; ++p)
    if (keyed[p])
      CollocTables[size_t(p)]->PrefetchItems(&keys[p], 1);
  // The keys made for fetching ahead are the lookups' keys: no word is
  // folded and hashed twice.
  for (int p = CollocFirst; p <= CollocLast; ++p)
    if (counted[p]) {
      THashStrings& table = *CollocTables[size_t(p)];
      const int32_t count = keyed[p] ? table.AddCountOfKey(keys[p], 1) : table.AddCount(words[p], 1);
      hit.CollocRanks[size_t(p)] = RankOfCount(table, count);
    }
}

void TConcordItems::RankAllCollocates()
{
  if (!CollocTablesValid(CollocFirst, CollocLast))
    return;
  // The tables are only read, and each hit's ranks are written by one
  // thread: parts of the list are ranked side by side. Double-byte text is
  // lower-cased through the locale and stays on this thread.
  const auto rankPart = [this](size_t begin, size_t end) {
    std::optional<TRankBatch> batches[TConcordItem::SlotCount];
    for (int p = CollocFirst; p <= CollocLast; ++p)
      batches[p].emplace(*CollocTables[size_t(p)]);
    const TWordFolder folder;
    char buffer[MaxCollocWordLength];
    for (size_t i = begin; i < end; ++i) {
      TConcordItem& hit = *items_[i];
      hit.CollocRanks.fill(-1);
      for (int p = CollocFirst; p <= CollocLast; ++p)
        if (hit.HasWord(p))
          batches[p]->Add(folder.Fold(hit.Word(p), buffer), &hit.CollocRanks[size_t(p)]);
    }
  };
  const size_t n = items_.size();
  constexpr size_t MinPart = 4096;
  size_t parts = std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 8);
  if (platform::codePage(AnsiCodePage).dbcs)
    parts = 1;
  parts = std::max<size_t>(1, std::min(parts, n / MinPart));
  const size_t part = (n + parts - 1) / parts;
  std::vector<std::thread> workers;
  for (size_t k = 1; k < parts; ++k)
    workers.emplace_back(rankPart, k * part, std::min(n, (k + 1) * part));
  rankPart(0, std::min(n, part));
  for (std::thread& t : workers)
    t.join();
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
    // The tracked top counts are made once, after counting.
    prepareCollocTables(first, last, 0);
    {
      // One batch per position: its lookups run in groups, fetched ahead.
      std::optional<TWordBatch> batches[TConcordItem::SlotCount];
      for (int p = first; p <= last; ++p)
        batches[p].emplace(*CollocTables[size_t(p)]);
      const TWordFolder folder;
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
          const std::string_view word = folder.Fold(hit.Word(p), buffer);
          if (!GlobalStopList.IsFoldedStopWord(word))
            batches[p]->Add(word);
        }
      }
    }
    for (int p = first; p <= last; ++p)
      CollocTables[size_t(p)]->SetTopLimit(topLimit);
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
