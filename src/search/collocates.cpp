// The collocate tables of a hit list: counting, ranking, generation with its
// progress dialog, and the CollocationReport.
#include "search/collocates.h"

#include "foundation/abort.h"
#include "foundation/buf_stream.h"
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
#include <memory>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

constexpr int32_t ProgressStep = 256;   // hits between pumps of the generation
constexpr size_t MaxCollocWordLength = 255;

// A word cut to the 255 bytes the tables keep, between characters.
std::string_view TableWord(std::string_view word)
{
  if (word.size() <= MaxCollocWordLength)
    return word;
  return WholeCharsPrefix(platform::codePage(AnsiCodePage), word, MaxCollocWordLength);
}

// Words as the tables hold them: at most 255 bytes, lower-cased when
// FrequencySettings.IgnoreCase is on. The case table is fetched once, not
// for every word.
class TWordFolder {
public:
  TWordFolder()
    : lower_(FrequencySettings.IgnoreCase ? &platform::codePage(AnsiCodePage) : nullptr),
      pairs_(lower_ && lower_->dbcs ? std::make_shared<TDoubleByteLower>(*lower_) : nullptr)
  {
  }
  // The folder of the current settings, made again only when they changed
  // since this one was made (finding the code page takes a lock).
  void Refresh()
  {
    if (FrequencySettings.IgnoreCase != (lower_ != nullptr) || (lower_ && lower_->id != AnsiCodePage))
      *this = TWordFolder();
  }
  // The code page that lower-cases, or nullptr when case is kept.
  const platform::CodePage* Lower() const { return lower_; }
  // The folded word, in buffer (room for 255 bytes) when it changed.
  std::string_view Fold(std::string_view word, char* buffer) const
  {
    word = TableWord(word);
    if (!lower_)
      return word;
    if (lower_->dbcs) {
      std::memcpy(buffer, word.data(), word.size());
      pairs_->Lower(buffer, word.size());
    } else {
      for (size_t i = 0; i < word.size(); ++i)
        buffer[i] = char(lower_->lower[static_cast<unsigned char>(word[i])]);
    }
    return {buffer, word.size()};
  }

private:
  const platform::CodePage* lower_;
  std::shared_ptr<TDoubleByteLower> pairs_;  // double-byte words, a character at a time
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

// The words of one table that have a rank, found by their keys in a small
// table of their own: ranking a hit's word then touches only memory that
// stays in the cache, and a word that is not here ranks -1. Made only when
// the ranked words are few; with many (small tables, where low counts are
// among the top counts) the table itself is looked up.
class TRankedWords {
public:
  // False when the words are too many, or one cannot be keyed.
  bool Build(const THashStrings& table)
  {
    std::vector<int32_t> ranked;
    for (int32_t i = 0; i < table.Count(); ++i) {
      const int32_t count = table.Counts(i);
      if (count > 1 && RankOfCount(table, count) >= 0) {
        if (ranked.size() == MaxWords)
          return false;
        ranked.push_back(i);
      }
    }
    size_t size = 16;
    while (size < ranked.size() * 4)
      size *= 2;
    slots_.assign(size, TSlot{});
    mask_ = uint32_t(size - 1);
    alignas(8) char buffer[MaxCollocWordLength + 17];
    for (const int32_t i : ranked) {
      const std::string_view word = table.Strings(i);
      THashStrings::Key key;
      if (word.size() > MaxCollocWordLength || !table.MakeKey(word, buffer, key))
        return false;
      uint32_t k = key.hash & mask_;
      while (slots_[k].rank >= 0)
        k = (k + 1) & mask_;
      slots_[k] = TSlot{key.hash, uint32_t(word.size()), uint32_t(bytes_.size()),
                        RankOfCount(table, table.Counts(i))};
      bytes_.append(word);
      const uint32_t sketch = Sketch(word, nullptr);
      sketches_[sketch / 64] |= uint64_t(1) << (sketch % 64);
    }
    return true;
  }
  // False for most words that have no rank, without hashing them: their
  // length and first, second and last bytes match no ranked word's. With a
  // lower-case map, for a word not yet folded byte by byte through it.
  bool MayHave(std::string_view word, const unsigned char* lower) const
  {
    const uint32_t sketch = Sketch(word, lower);
    return (sketches_[sketch / 64] >> (sketch % 64)) & 1u;
  }
  int8_t RankOf(const THashStrings::Key& key) const
  {
    for (uint32_t k = key.hash & mask_;; k = (k + 1) & mask_) {
      const TSlot& slot = slots_[k];
      if (slot.rank < 0)
        return -1;
      if (slot.hash == key.hash && slot.length == key.length &&
          std::memcmp(bytes_.data() + slot.offset, key.data, key.length) == 0)
        return slot.rank;
    }
  }

private:
  static constexpr size_t MaxWords = 4096;
  static constexpr uint32_t SketchBits = 4096;
  static uint32_t Sketch(std::string_view word, const unsigned char* lower)
  {
    const auto* b = reinterpret_cast<const unsigned char*>(word.data());
    const size_t n = word.size();
    if (n == 0)
      return 0;
    const auto at = [&](size_t i) { return uint32_t(lower ? lower[b[i]] : b[i]); };
    const uint32_t x = uint32_t(n) * 0x9E3779B1u ^ at(0) * 0x85EBCA77u ^ at(n > 1 ? 1 : 0) * 0xC2B2AE3Du ^
                       at(n - 1) * 0x27D4EB2Fu;
    return (x ^ (x >> 15)) % SketchBits;
  }
  uint64_t sketches_[SketchBits / 64] = {};
  struct TSlot {
    uint32_t hash = 0;
    uint32_t length = 0;
    uint32_t offset = 0;
    int8_t rank = -1;  // -1: empty
  };
  std::vector<TSlot> slots_;
  uint32_t mask_ = 0;
  std::string bytes_;
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

void TConcordItems::FreeCollocTables()
{
  try {
    CountPendingCollocates();
  } catch (...) {
    // The tables go; the hits they could not count are not waited for.
  }
  for (auto& table : CollocTables)
    table.reset();
  collocCounted_ = 0;
  collocStale_ = false;
}

void TConcordItems::prepareCollocTables(uint8_t first, uint8_t last, int32_t topLimit)
{
  dropPendingCollocates();
  CollocFirst = first;
  CollocLast = last;
  collocCounted_ = 0;
  collocStale_ = false;
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

// Hits waiting to be counted, oldest first, with their words folded and
// keyed. Each append takes the waiting hits a step on: a hit's table slots
// are fetched when it arrives, its items (and where long words keep their
// bytes) when the next hit arrives, those bytes with the next, and it is
// counted two appends later. Each step's memory comes in while the search
// builds the next hits.
struct TConcordItems::TCollocQueue {
  static constexpr int32_t Depth = 4;  // hits waiting at most
  static constexpr int32_t Ring = 4;   // entries: Depth, rounded up to a power of two
  struct TEntry {
    TConcordItem* hit = nullptr;
    uint16_t counted = 0;  // positions whose word is counted
    uint16_t keyed = 0;    // of those, the ones with a key
    THashStrings::Key keys[TConcordItem::SlotCount];
    std::string_view words[TConcordItem::SlotCount];  // folded, for the ones without a key
    // The folded words; each key's bytes are written over its word.
    alignas(8) char bytes[TConcordItem::SlotCount][MaxCollocWordLength + 17];
  };
  TEntry entries[Ring];
  int32_t oldest = 0;
  TWordFolder folder;
  TEntry& at(int32_t age) { return entries[(oldest + age) & (Ring - 1)]; }
};

void TConcordItems::TCollocQueueDeleter::operator()(TCollocQueue* queue) const
{
  delete queue;
}

bool TConcordItems::tablesComplete(uint8_t first, uint8_t last) const
{
  if (collocStale_)
    return false;
  if (first != CollocFirst || last != CollocLast || first < ctx4L || last > ctx4R || first > last)
    return false;
  for (int p = first; p <= last; ++p)
    if (!CollocTables[size_t(p)])
      return false;
  return collocCounted_ + collocWaiting_ == Count();
}

bool TConcordItems::CollocTablesValid(uint8_t first, uint8_t last) const
{
  countPending();
  return tablesComplete(first, last);
}

void TConcordItems::queueCollocates(TConcordItem& hit)
{
  if (!collocQueue_)
    collocQueue_.reset(new TCollocQueue);
  TCollocQueue& queue = *collocQueue_;
  if (collocWaiting_ == TCollocQueue::Depth) {
    // The oldest hit's items and word bytes were fetched with the appends
    // after it.
    try {
      countOldestPending();
    } catch (...) {
      dropPendingCollocates();
      throw;
    }
  }
  if (collocWaiting_ >= 2) {
    const TCollocQueue::TEntry& older = queue.at(collocWaiting_ - 2);
    for (int p = CollocFirst; p <= CollocLast; ++p)
      if ((older.keyed >> p) & 1u)
        CollocTables[size_t(p)]->PrefetchWordBytes(&older.keys[p], 1);
  }
  if (collocWaiting_ >= 1) {
    const TCollocQueue::TEntry& previous = queue.at(collocWaiting_ - 1);
    for (int p = CollocFirst; p <= CollocLast; ++p)
      if ((previous.keyed >> p) & 1u)
        CollocTables[size_t(p)]->PrefetchMatchingItems(&previous.keys[p], 1);
  }
  TCollocQueue::TEntry& entry = queue.at(collocWaiting_);
  entry.hit = &hit;
  entry.counted = 0;
  entry.keyed = 0;
  queue.folder.Refresh();
  const TWordFolder& folder = queue.folder;
  for (int p = CollocFirst; p <= CollocLast; ++p) {
    if (!hit.HasWord(p))
      continue;
    const THashStrings& table = *CollocTables[size_t(p)];
    // Single-byte text is lower-cased and keyed in one pass.
    const std::string_view raw = TableWord(hit.Word(p));
    std::string_view word;
    bool keyed = false;
    if (folder.Lower() && table.MakeLoweredKey(raw, *folder.Lower(), entry.bytes[p], entry.keys[p])) {
      word = {entry.bytes[p], raw.size()};
      keyed = true;
    } else {
      word = folder.Fold(raw, entry.bytes[p]);
    }
    if (GlobalStopList.IsFoldedStopWord(word))
      continue;  // never counted, so never ranked
    entry.counted |= uint16_t(1u << p);
    if (!keyed)
      keyed = table.MakeKey(word, entry.bytes[p], entry.keys[p]);
    if (keyed) {
      entry.keyed |= uint16_t(1u << p);
      table.PrefetchSlots(&entry.keys[p], 1);
    } else {
      // Not keyed: the word is counted as it is, from these bytes.
      std::memmove(entry.bytes[p], word.data(), word.size());
      entry.words[p] = {entry.bytes[p], word.size()};
    }
  }
  ++collocWaiting_;
}

void TConcordItems::countOldestPending() const
{
  // Counted and ranked by the new counts; the keys made for fetching ahead
  // are the lookups' keys, so no word is folded and hashed twice.
  TCollocQueue::TEntry& entry = collocQueue_->at(0);
  collocQueue_->oldest = (collocQueue_->oldest + 1) & (TCollocQueue::Ring - 1);
  --collocWaiting_;
  TConcordItem& hit = *entry.hit;
  hit.CollocRanks.fill(-1);
  for (int p = CollocFirst; p <= CollocLast; ++p)
    if ((entry.counted >> p) & 1u) {
      THashStrings& table = *CollocTables[size_t(p)];
      const int32_t count = ((entry.keyed >> p) & 1u) ? table.AddCountOfKey(entry.keys[p], 1)
                                                       : table.AddCount(entry.words[p], 1);
      hit.CollocRanks[size_t(p)] = RankOfCount(table, count);
    }
  ++collocCounted_;
}

void TConcordItems::CountPendingCollocates() const
{
  try {
    while (collocWaiting_ > 0)
      countOldestPending();
  } catch (...) {
    dropPendingCollocates();
    throw;
  }
}

void TConcordItems::RankAllCollocates()
{
  if (!CollocTablesValid(CollocFirst, CollocLast))
    return;
  // The tables are only read, and each hit's ranks are written by one
  // thread: parts of the list are ranked side by side. Double-byte text is
  // lower-cased through the locale and stays on this thread.
  // Positions whose ranked words are few are looked up among those alone.
  TRankedWords ranked[TConcordItem::SlotCount];
  uint16_t small = 0;
  for (int p = CollocFirst; p <= CollocLast; ++p)
    if (ranked[p].Build(*CollocTables[size_t(p)]))
      small |= uint16_t(1u << p);
  const auto rankPart = [this, &ranked, small](size_t begin, size_t end) {
    std::optional<TRankBatch> batches[TConcordItem::SlotCount];
    for (int p = CollocFirst; p <= CollocLast; ++p)
      if (!((small >> p) & 1u))
        batches[p].emplace(*CollocTables[size_t(p)]);
    const TWordFolder folder;
    // Single-byte text is lower-cased byte by byte, so a word's sketch is
    // taken from its bytes as they stand and only the words that pass are
    // lower-cased (and keyed in the same pass).
    const platform::CodePage* lower = folder.Lower();
    const bool byteWise = !lower || !lower->dbcs;
    const unsigned char* lowerMap = lower ? lower->lower.data() : nullptr;
    char buffer[MaxCollocWordLength];
    alignas(8) char keyBytes[MaxCollocWordLength + 17];
    THashStrings::Key key;
    constexpr size_t Ahead = 8;  // hits whose records are fetched ahead
    for (size_t i = begin; i < end; ++i) {
      if (i + 2 * Ahead < end)
        __builtin_prefetch(items_[i + 2 * Ahead].get());
      if (i + Ahead < end) {
        const std::string_view ahead = items_[i + Ahead]->Word(0);
        __builtin_prefetch(ahead.data());
        __builtin_prefetch(ahead.data() + 64);
      }
      TConcordItem& hit = *items_[i];
      hit.CollocRanks.fill(-1);
      for (int p = CollocFirst; p <= CollocLast; ++p) {
        if (!hit.HasWord(p))
          continue;
        const std::string_view raw = TableWord(hit.Word(p));
        if (!((small >> p) & 1u)) {
          batches[p]->Add(folder.Fold(raw, buffer), &hit.CollocRanks[size_t(p)]);
          continue;
        }
        if (byteWise && !ranked[p].MayHave(raw, lowerMap))
          continue;
        const THashStrings& table = *CollocTables[size_t(p)];
        if (lower && table.MakeLoweredKey(raw, *lower, keyBytes, key)) {
          hit.CollocRanks[size_t(p)] = ranked[p].RankOf(key);
          continue;
        }
        const std::string_view word = folder.Fold(raw, buffer);
        if (!byteWise && !ranked[p].MayHave(word, nullptr))
          continue;
        hit.CollocRanks[size_t(p)] = table.MakeKey(word, keyBytes, key) ? ranked[p].RankOf(key)
                                                                       : RankOfCount(table, table.CountOf(word));
      }
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
  CountPendingCollocates();  // the waiting hits keep the ranks they arrived with
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
  countPending();
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
