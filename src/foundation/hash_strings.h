// The word table: words with their counts, optional case folding, a master
// list that can be sorted by word or by count, the highest distinct counts,
// and the binary frequency file.
//
// A word is its exact bytes after folding: two different byte strings are
// never one item. The locale order serves only for sorting by word.
//
// Frequency file (little-endian): "HSTR", int32 version 1, int32 n, then n
// items of int32 length (0..255), the word's bytes and int32 count. Items
// stand in master-list order; longer words are written cut to 255 bytes.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class THashStrings {
public:
  static constexpr int MaxTopCounts = 32;
  enum : uint8_t { ssUnsorted = 0, ssByWord = 1, ssByCount = 2 };

  // BucketCount is kept for the callers' sake (4096 for corpus lists); lcid 0
  // means the user's default language. FoldCase starts true.
  THashStrings(int32_t bucketCount, int32_t lcid);
  ~THashStrings();
  THashStrings(const THashStrings&) = delete;
  THashStrings& operator=(const THashStrings&) = delete;

  // Lower-case words (in the table's language) before every use.
  bool FoldCase = true;

  int32_t LCID() const { return lcid_; }
  int32_t BucketCount() const { return bucketCount_; }
  uint8_t SortState() const { return sortState_; }

  // Finds or inserts the word; with increment its count grows by 1.
  // A new word added without increment has count 0.
  void Add(std::string_view word, bool increment);
  // Finds or inserts the word; its count grows by n.
  void AddCount(std::string_view word, int32_t n);
  // The word's count (folded as Add folds it), 0 when absent.
  int32_t CountOf(std::string_view word) const;

  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  // Word and count at a master-list index. The view stays valid until
  // Clear, LoadFromFile or destruction (words never move).
  std::string_view Strings(int32_t index) const;
  int32_t Counts(int32_t index) const;

  // 1: by word in the table's locale (case-sensitive), 2: by count, highest
  // first, equal counts keeping their previous order; 0 marks the list
  // unsorted. Nothing happens when the list is already in that order.
  void Sort(int mode);
  void Clear();

  // Tracks the limit highest distinct counts (at most 32; 0 tracks none).
  // Only counts of 1 or more are tracked.
  void SetTopLimit(int32_t limit);
  int32_t TopLimit() const { return topLimit_; }
  int32_t TopUsed() const;
  // The tracked pair at a rank: (count value, number of words with it).
  std::pair<int32_t, int32_t> TopCount(int32_t rank) const;
  // Rank of the value among the tracked counts (0 = highest), -1 when not tracked.
  int32_t IndexOfTopCount(int32_t count) const;

  // Writes the frequency file through a temporary file that replaces the old
  // one only when every write succeeded; throws std::runtime_error otherwise.
  void SaveToFile(const std::string& fileName) const;
  // Clears the table, then reads a frequency file, adding each item through
  // AddCount (so folding applies and duplicates add up). A file that cannot
  // be read raises "Unable to open file: %s."; a damaged one raises
  // "Invalid frequency file: " + name. On any failure the table is left empty.
  void LoadFromFile(const std::string& fileName);

  // Bytes of heap the table holds (items, index, word storage); for benchmarks.
  size_t MemoryUsed() const;

private:
  struct Item {
    const char* word;
    uint32_t length;
    int32_t count;
  };
  struct Slot {
    uint32_t item;  // item index + 1; 0 = empty
    uint32_t hash;
  };

  std::string_view folded(std::string_view word, std::string& scratch) const;
  int64_t find(std::string_view key, uint32_t hash) const;   // item index or -1
  uint32_t insert(std::string_view key, uint32_t hash);        // new item index
  Item& findOrInsert(std::string_view word);
  void changeCount(Item& item, int32_t n);
  const char* storeWord(std::string_view key);
  void growSlots();
  void rebuildSlots();
  void countChanged(int32_t oldCount, int32_t newCount);
  void rebuildHistogram();
  void refreshTop() const;

  int32_t bucketCount_;
  int32_t lcid_;
  uint16_t codePageId_;
  uint8_t sortState_ = ssUnsorted;

  std::vector<Item> items_;
  std::vector<Slot> slots_;  // open addressing, power-of-two size
  uint32_t slotMask_ = 0;
  std::vector<std::unique_ptr<char[]>> chunks_;
  size_t chunkSize_ = 0;
  size_t chunkUsed_ = 0;
  size_t chunkBytes_ = 0;  // total bytes of all chunks
  std::string scratch_;

  // Number of words per count value, highest value first; kept only while
  // a top limit is set.
  int32_t topLimit_ = 0;
  std::map<int32_t, int32_t, std::greater<int32_t>> histogram_;
  mutable bool topDirty_ = false;
  mutable int32_t topUsed_ = 0;
  mutable std::pair<int32_t, int32_t> topCounts_[MaxTopCounts] = {};
};
