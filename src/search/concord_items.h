// The hit store: one hit record (TConcordItem), the ordered hit list of a
// concordance window or batch search (TConcordItems) with its sort, and the
// read-only string list through which the line view reads the display lines
// (TConcordStrings).
//
// Display lines are never stored: a hit keeps its byte range, its hit text and
// up to four words on each side, and every line is rebuilt from the corpus
// file when it is asked for (GetLine).
//
// Word slots follow TContexts: 0 the hit text, 1..4 the fourth to first word
// left of the hit, 5..8 the first to fourth word right of it. A side stops at
// its first missing word, so the slots beyond it are absent. An absent word is
// not an empty one: a word emptied by the skipping characters at sort time is
// still present.
#pragma once

#include "foundation/settings.h"
#include "foundation/strings_view_types.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class ProgressDialog;
class TBufStream;
class THashStrings;
class TTextSink;

class TConcordItem {
public:
  static constexpr int SlotCount = 9;
  static constexpr uint8_t NoLetter = 255;

  TConcordItem();
  ~TConcordItem();
  TConcordItem(const TConcordItem&) = delete;
  TConcordItem& operator=(const TConcordItem&) = delete;

  // --- context words ------------------------------------------------------
  bool HasWord(int slot) const { return (present_ >> slot) & 1u; }
  // The word of a slot; empty when absent (ask HasWord to tell the two apart).
  std::string_view Word(int slot) const;
  // Corpus byte offsets of a word's first character and of the position after
  // its last; 0 for slot 0 and for absent words.
  int32_t WordStart(int slot) const;
  int32_t WordEnd(int slot) const;

  struct TWordEntry {
    bool Present = false;
    std::string_view Text;  // at most 255 bytes are kept
    int32_t Start = 0;      // slots 1..8 only
    int32_t End = 0;
  };
  // Replaces all nine words at once, kept in one block. Positions are held
  // relative to the hit (left words to HitStart, right words to HitEnd), so
  // HitStart and HitEnd must be set first.
  void SetWords(const std::array<TWordEntry, SlotCount>& words);

  // --- tracked-tag value and format runs (made when first needed) ---------
  // The value of the tracked tag chosen for sorting; nullptr until computed.
  const std::string* TrackedTagValue() const;
  void SetTrackedTagValue(std::string value);
  void ClearTrackedTagValue();
  // The format runs of the hit's last built display line.
  TSVFormatArray& Spans();
  // The runs when a line was built, else nullptr.
  const TSVFormatArray* BuiltSpans() const;

  // Rank of each slot's word among the most frequent collocates of its
  // position; -1 = none.
  std::array<int8_t, SlotCount> CollocRanks;
  int32_t HitNumber = 0;  // arrival number in its list, from 0
  int32_t FileIndex = 0;  // index of the corpus item
  int32_t HitStart = 0;   // first character of the hit
  int32_t HitEnd = 0;     // position after the hit's last character
  uint8_t Letter = NoLetter;  // 'a'..'z' assigned by the user, 255 = none

private:
  struct Extras;
  Extras& extras();

  std::unique_ptr<char[]> words_;  // the present words, back to back
  std::unique_ptr<Extras> extras_;
  uint16_t present_ = 0;
  uint8_t length_[SlotCount] = {};
  int16_t offsets_[2 * (SlotCount - 1)] = {};  // start and end of slots 1..8
};

// The context setting of a hit list's display lines: the type (0 characters,
// 1 words, 2 lines, 3 sentence) and the size of each type.
struct TContextSetting {
  uint8_t Type = 0;
  std::array<int32_t, 4> Sizes{};
  // The size of the current type, clamped to the range of its dialog.
  int32_t Size() const;
};

class TConcordItems {
public:
  using TItemList = std::vector<std::unique_ptr<TConcordItem>>;

  TConcordItems();
  ~TConcordItems();
  TConcordItems(const TConcordItems&) = delete;
  TConcordItems& operator=(const TConcordItems&) = delete;

  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  // Every way to a hit or a table first brings the collocate counts up to
  // date with every appended hit (see CountPendingCollocates).
  TConcordItem* GetItem(int32_t index) const
  {
    countPending();
    return items_.at(static_cast<size_t>(index)).get();
  }
  // Replaces the entry (the old hit is freed); the collocate tables go as
  // for a deletion.
  void PutItem(int32_t index, std::unique_ptr<TConcordItem> hit);
  // Appends the hit, which the list then owns.
  void AddItem(std::unique_ptr<TConcordItem> hit);
  // Frees the hit and closes the gap; tables and tag state stay as they are.
  // Tables that have counted a hit then hold words of a hit the list no
  // longer has: they stop being valid (and count no appended hit) until they
  // are generated anew or freed.
  void DeleteItem(int32_t index);
  // Frees every hit the predicate picks and closes the gaps in one pass; the
  // others keep their order. The result is that of deleting the picked hits
  // one by one from the last: numbers, sort, tables and tag state stay as they
  // are. The predicate sees each hit once, in list order, before anything is
  // freed, so an exception from it leaves the list whole. Returns how many
  // hits were freed.
  using TItemPicker = std::function<bool(int32_t index, const TConcordItem& hit)>;
  int32_t DeleteItemsIf(const TItemPicker& pick);
  // The same for the hits at the given indices (any order, repeats allowed).
  // An index out of range raises std::out_of_range and frees nothing.
  int32_t DeleteItems(std::vector<int32_t> indices);
  const TItemList& Items() const
  {
    countPending();
    return items_;
  }

  // Sorts by the three keys of sortSpec, or by the customised key list when one
  // with entries is given (the list keeps its own copy). Not stable: hits
  // equal on every key end in the order the quicksort leaves them in.
  void SortItems(const TAdvancedSortColOptions& sortSpec, const std::vector<TAdvancedSortColItem>* customKeys);
  // Compares two hits by the keys of the last sort: below, at or above zero.
  int CompareItems(const TConcordItem& a, const TConcordItem& b) const;
  // One key of the comparison.
  static int CompareByKey(const TConcordItem& a, const TConcordItem& b, uint8_t key, bool reverse);

  // Frees every hit's tracked-tag value and forgets the tag (TagIndex -1).
  void ClearTagValues();

  // The display line of a hit, rebuilt from its corpus file; its runs go to
  // the hit's Spans. Never fails outward: a line that cannot be built reads
  // "<out of memory>" and has no runs.
  std::string GetLine(int32_t index);
  // The display line cut to its first hit run; the whole line without one.
  std::string GetHitText(int32_t index);
  // The display line of any hit under an explicit context setting and
  // suppress flags, its runs written into spans (the writers' entry point).
  // collocFirst or collocLast 10 means no collocate marking.
  static std::string BuildHitLineWithOptions(TConcordItem& hit, const TContextSetting& context,
                                             TSVFormatArray& spans, TColor collocColour, int32_t rankCount,
                                             uint8_t collocFirst, uint8_t collocLast, bool suppressTags,
                                             bool suppressPartOfSpeech, bool suppressWords);

  // --- collocate tables ----------------------------------------------------
  // Whether first..last are the prepared window, each of its tables exists
  // and the tables have counted every hit of the list and no other.
  bool CollocTablesValid(uint8_t first, uint8_t last) const;
  // Switches counting and marking of collocates; nothing when unchanged.
  // Switching on takes the window of the current collocation span: valid
  // tables get the top limit CollocHighliteFirst and every hit is re-ranked,
  // else the tables are generated. HighlightCollocates is set only once the
  // tables are valid; a failed or cancelled generation leaves it off, frees
  // the tables and passes the failure on (EAbort for a cancel).
  using TProgressSetup = std::function<void(ProgressDialog&)>;
  void SetHighlightCollocates(bool on, const TProgressSetup& setup = {});
  // Counts every hit into fresh tables of first..last, ranks every hit and
  // sorts the tables by count, under a progress dialog shown above 256 hits
  // (setup, when given, adjusts it before it shows). On failure or cancel
  // every table is freed and the failure passes on.
  void GenerateCollocation(uint8_t first, uint8_t last, const TProgressSetup& setup = {});
  // Ranks every hit over the valid tables; nothing without them.
  void RankAllCollocates();
  // Frees the eight tables.
  void FreeCollocTables();
  // While highlighting, AddItem counts and ranks a hit up to four appends
  // later, so that the table memory its words need is fetched while the
  // next hits are built. The counts and ranks are exactly those of counting
  // each hit as it arrives: this counts the hits still waiting, in arrival
  // order, and every reader of hits or tables in this class calls it first.
  // Code that reaches CollocTables without such a reader calls it itself.
  // A failure leaves the tables short of those hits (so no longer valid)
  // and passes on.
  void CountPendingCollocates() const;
  // The CollocationReport of the valid tables (sorted by count first), at
  // most maxRows data rows when maxRows > 0. Raises before writing when a
  // table of the window is missing; the sink is neither opened nor closed.
  void WriteCollocationTable(TTextSink& file, int32_t maxRows, std::string_view patternText);

  // Sort state of the last sort.
  struct TSortKey {
    uint8_t Key = ctxNone;
    bool Reverse = false;
  };
  std::array<TSortKey, 3> SortKeys;
  std::vector<TAdvancedSortColItem> CustomKeys;  // empty: the three keys apply
  int32_t TagIndex = -1;  // WatchedTags entry whose values the hits hold

  // Collocate tables of positions 1..8 (index 0 unused).
  using TCollocTableArray = std::array<std::unique_ptr<THashStrings>, TConcordItem::SlotCount>;
  TCollocTableArray CollocTables;
  uint8_t CollocFirst = 0;
  uint8_t CollocLast = 0;
  bool HighlightCollocates = false;
  TColor CollocColour = 0;

  TContextSetting Context;
  bool ConcealHits = false;
  bool ConcealCollocates = false;
  bool SuppressTags = false;
  bool SuppressPartOfSpeech = false;
  bool SuppressWords = false;

private:
  // Frees the hits marked in doomed (one flag per hit) and compacts the list.
  void Compact(const std::vector<bool>& doomed);
  void prepareCollocTables(uint8_t first, uint8_t last, int32_t topLimit);
  void generate(uint8_t first, uint8_t last, int32_t topLimit, const TProgressSetup& setup);
  // The window's tables exist and have counted (or hold waiting) every hit,
  // and no hit deleted since.
  bool tablesComplete(uint8_t first, uint8_t last) const;
  // A new hit: its words folded and keyed and their slots fetched; the
  // oldest waiting hit is counted and ranked by its new counts.
  void queueCollocates(TConcordItem& hit);
  void countPending() const
  {
    if (collocWaiting_ != 0)
      CountPendingCollocates();
  }
  // Counts and ranks the oldest waiting hit.
  void countOldestPending() const;
  // Forgets the waiting hits without counting them.
  void dropPendingCollocates() const { collocWaiting_ = 0; }

  TItemList items_;
  mutable int32_t collocCounted_ = 0;  // hits the tables have counted
  // A hit the tables counted may have been deleted since they were made.
  bool collocStale_ = false;
  // Marks the tables stale when they have counted any hit.
  void collocHitsDeleted();
  struct TCollocQueue;
  struct TCollocQueueDeleter {
    void operator()(TCollocQueue* queue) const;
  };
  mutable std::unique_ptr<TCollocQueue, TCollocQueueDeleter> collocQueue_;
  mutable int32_t collocWaiting_ = 0;  // hits appended but not counted yet
};

// The line view's string list over a hit list, which it does not own.
class TConcordStrings : public TStrings {
public:
  explicit TConcordStrings(TConcordItems* items) : items_(items) {}

  int32_t Count() const override { return items_->Count(); }
  std::string Get(int32_t index) const override { return items_->GetLine(index); }
  void Delete(int32_t index) { items_->DeleteItem(index); }
  // Bulk deletes, as TConcordItems's.
  int32_t DeleteItemsIf(const TConcordItems::TItemPicker& pick) { return items_->DeleteItemsIf(pick); }
  int32_t DeleteItems(std::vector<int32_t> indices) { return items_->DeleteItems(std::move(indices)); }
  // Both raise std::runtime_error: "\"Clear\" is unsupported method for
  // TConcordStrings" and "\"Insert\" is unsupported method for TConcordStrings".
  [[noreturn]] void Clear();
  [[noreturn]] void Insert(int32_t index, const std::string& text);
  // Appending goes through Insert and raises the same.
  [[noreturn]] void Add(const std::string& text);

private:
  TConcordItems* items_;
};
