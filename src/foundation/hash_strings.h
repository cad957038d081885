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
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {
struct CodePage;
}

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
  // Finds or inserts the word; its count grows by n. The new count.
  int32_t AddCount(std::string_view word, int32_t n);
  // Add(word, true) for each word in turn; the same result, faster for long
  // runs of words (the table's memory is fetched for several at once).
  void AddWords(const std::string_view* words, size_t n);

  // A word as the table looks it up: its folded bytes, their hash and their
  // first 8 bytes, zero-padded.
  struct Key {
    const char* data;
    uint32_t length;
    uint32_t hash;
    uint64_t head;
  };
  // The key of a word, its folded bytes written to out, which must have room
  // for word.size() rounded up to a multiple of 8 and for at least 16 bytes
  // (the bytes after the word are written as zeros); false when the word cannot be folded byte by byte
  // (double-byte text).
  bool MakeKey(std::string_view word, char* out, Key& key) const;
  // Add(word, true) for words given by their keys; their memory is fetched
  // ahead of the lookups.
  void AddKeys(const Key* keys, size_t n);
  // The two steps of fetching ahead, for callers that pipeline them: the
  // slots of the keys, then (once those have arrived) their items.
  void PrefetchSlots(const Key* keys, size_t n) const;
  void PrefetchItems(const Key* keys, size_t n) const;
  // Add(word, true) for each key, without fetching ahead.
  void CountKeys(const Key* keys, size_t n);
  // AddCount for a word given by its key (MakeKey): the word is not folded
  // and hashed again. The new count.
  int32_t AddCountOfKey(const Key& key, int32_t n);
  // The word's count (folded as Add folds it), 0 when absent.
  int32_t CountOf(std::string_view word) const;
  // The count of a word given by its key (MakeKey), 0 when absent; callers
  // that look up many words fetch their memory ahead first.
  int32_t CountOfKey(const Key& key) const;

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

  // Fetching ahead in three steps, for callers that look up few keys at a
  // time (and so cannot hide one step's wait behind the others'): after
  // PrefetchSlots, once the slots have arrived, the items of the slots that
  // hold each key's hash, along the probe, and where those items keep their
  // words; once that has arrived, the bytes of words longer than 8, which a
  // lookup compares past the first 8 in the word storage.
  void PrefetchMatchingItems(const Key* keys, size_t n) const;
  void PrefetchWordBytes(const Key* keys, size_t n) const;
  // For a table that does not fold case itself: the key MakeKey gives for
  // the word lower-cased through the single-byte code page cp (each byte
  // mapped by cp.lower), made in one pass; the lower-cased bytes go to out
  // as MakeKey writes them. False, with nothing made, for a table that
  // folds case or a double-byte code page.
  bool MakeLoweredKey(std::string_view word, const platform::CodePage& cp, char* out, Key& key) const;

private:
  friend class TWordBatch;
  friend class TWordCounter;
  bool makeKey(std::string_view word, char* out, Key& key) const;  // MakeKey, inlined where it is hot
  // The item indices in order by word (the table's locale, case-sensitive).
  void sortByOrderKeys(std::vector<uint32_t>& order) const;
  // The item indices by count, highest first, equal counts in index order,
  // when the counts span a range not much wider than the list; else false.
  bool sortByCountBuckets(std::vector<uint32_t>& order) const;
  // What a lookup reads: 16 bytes, so that many fit in the caches.
  struct Item {
    uint64_t head;     // the first 8 bytes, zero-padded: most words compare here
    uint32_t length;
    int32_t count;
  };
  struct Slot {
    uint32_t item;  // item index + 1; 0 = empty
    uint32_t hash;
  };

  int64_t find(const Key& key) const;     // item index or -1
  uint32_t insert(const Key& key);        // new item index
  Item& findOrInsertKey(const Key& key);
  Item& findOrInsert(std::string_view word);
  void changeCount(Item& item, int32_t n);
  const char* storeWord(std::string_view key);
  void growSlots();
  void renumberSlots(const std::vector<uint32_t>& order);  // after items moved: new index i held item order[i]
  void countChanged(int32_t oldCount, int32_t newCount);
  void rebuildHistogram();
  void refreshTop() const;

  int32_t bucketCount_;
  int32_t lcid_;
  const platform::CodePage* codePage_;
  bool asciiLower_ = false;  // the code page lower-cases ASCII as ASCII does
  uint8_t sortState_ = ssUnsorted;

  std::vector<Item> items_;
  std::vector<const char*> words_;  // in the word storage, parallel to items_; never move
  std::vector<Slot> slots_;  // open addressing, power-of-two size
  uint32_t slotMask_ = 0;
  std::vector<std::unique_ptr<char[]>> chunks_;
  size_t chunkSize_ = 0;
  size_t chunkUsed_ = 0;
  size_t chunkBytes_ = 0;  // total bytes of all chunks
  std::string scratch_;

  // Number of words per count value, kept only while a top limit is set:
  // counts below SmallCounts in a flat array with a two-level bit set of the
  // counts in use (so the next count in use is found in a few steps and a
  // count's rank by counting bits); higher counts, few words have them, in a
  // short vector sorted highest first. No change of a count allocates.
  static constexpr int32_t SmallCounts = 1 << 16;
  void histogramAdd(int32_t count, int32_t delta);
  void clearHistogram();
  int32_t highestSmallBelow(int32_t limit) const;  // highest small count in use below limit, or -1
  int32_t topLimit_ = 0;
  std::vector<int32_t> smallHist_;   // words per count, grown as counts grow
  std::vector<uint64_t> smallBits_;  // per count: in use
  uint64_t smallWords_[SmallCounts / 64 / 64] = {};  // per word of smallBits_: not zero
  std::vector<std::pair<int32_t, int32_t>> bigHist_;  // (count, words), highest first
  mutable bool topDirty_ = false;
  mutable int32_t topUsed_ = 0;
  mutable std::pair<int32_t, int32_t> topCounts_[MaxTopCounts] = {};
};

// Adds words as THashStrings::Add(word, true) does, a group at a time: each
// word is folded and hashed as it comes, and the lookups run in groups with
// the table's memory fetched ahead: a full group's slots are fetched at once,
// its items while the next group fills, and it is counted when the group
// after that is full, so the fetches have arrived by then. Groups are counted
// in the order the words came. Every word is in the table once Flush() ran or
// the batch is gone.
class TWordBatch {
public:
  explicit TWordBatch(THashStrings& table) : table_(table) {}
  ~TWordBatch() { Flush(); }
  TWordBatch(const TWordBatch&) = delete;
  TWordBatch& operator=(const TWordBatch&) = delete;

  void Add(std::string_view word);
  void Flush();

private:
  static constexpr size_t Group = 32;
  static constexpr size_t BufferBytes = Group * 64;
  static constexpr size_t Stages = 3;  // filling, slots fetched, items fetched
  struct TGroup {
    THashStrings::Key keys[Group];
    size_t count = 0;
    size_t used = 0;
    char buffer[BufferBytes + 16];  // room for the last word rounded up to 16 bytes
  };
  void closeGroup();
  void countGroup(TGroup& group);
  THashStrings& table_;
  TGroup groups_[Stages];
  size_t current_ = 0;  // the group being filled
  size_t waiting_ = 0;  // full groups not counted yet, just before current_
};

// Counts a long stream of words apart from any table, then hands them to one:
// MoveTo adds each distinct word once, in the order of first sight, with its
// count, so the table ends as Add(word, true) one word at a time would leave
// it. The words are folded as the table given at construction folds them
// (FoldCase, language). Words of up to 8 bytes after folding are counted in
// 16-byte slots that hold their bytes and count, longer ones in 32-byte slots
// that hold their first 16 bytes, their hash and count (and lead to the rest
// of a word longer than 16), so nearly every word touches one cache line.
//
// Add folds and hashes the words into a block of keys; a full block is
// counted with the slots fetched a few words ahead.
// Lower-cases double-byte text as platform::lowerText does, without its
// converter for every word: characters of one byte through the code page's
// table, each double-byte character through the converter the first time it
// is met and from a table of the characters met after that. Not shared
// between threads.
class TDoubleByteLower {
public:
  explicit TDoubleByteLower(const platform::CodePage& cp) : cp_(&cp) {}
  // text[0, n) in place.
  void Lower(char* text, size_t n);
  // The lower-cased word into out.
  void Lower(std::string_view word, std::string& out);

private:
  const platform::CodePage* cp_;
  std::vector<uint16_t> pairs_;  // by the character's two bytes; 0: not met yet
};

class TWordCounter {
public:
  explicit TWordCounter(const THashStrings& like);
  ~TWordCounter();
  TWordCounter(const TWordCounter&) = delete;
  TWordCounter& operator=(const TWordCounter&) = delete;

  void Add(const std::string_view* words, size_t n);
  void Add(std::string_view word) { Add(&word, 1); }
  // Add, for words whose first 16 bytes can be read even where a word is
  // shorter (words in a padded buffer, such as the reader's window).
  void AddPadded(const std::string_view* words, size_t n);
  // Distinct words counted so far.
  size_t Count();
  // AddCount(word, count) into the table for every word counted, in the
  // order of first sight (the table's FoldCase is set aside meanwhile: the
  // words are folded already); then the counter is empty.
  void MoveTo(THashStrings& table);

private:
  struct ShortSlot {  // a word of 0 to 8 bytes
    uint64_t a;       // its bytes, zero-padded
    uint32_t count;   // at most 2^31 (the table clamps to int32)
    uint32_t ref;     // 0 empty, else Inline | length
  };
  struct LongSlot {   // a word of 9 bytes or more
    uint64_t a, b;    // its first 16 bytes, zero-padded
    uint32_t count;
    uint32_t ref;     // 0 empty; Inline | length up to 16; Spill | index into spilled_
    uint32_t hash;
    uint32_t unused;
  };
  struct Spilled {    // a word longer than 16 bytes
    uint64_t offset;  // of its bytes in bytes_
    uint32_t length;
  };
  struct WordKey {
    uint64_t a, b;     // the first 16 bytes, folded and zero-padded
    const char* data;  // all the folded bytes of a word longer than 16
    uint32_t length;
    uint32_t hash;     // its top bits pick the slot
  };
  struct Seen {        // a word in the order of first sight
    uint64_t a, b;
    uint32_t ref;
    uint32_t hash;
  };
  struct Block;
  static constexpr uint32_t Inline = 0x40000000u;
  static constexpr uint32_t Spill = 0x80000000u;

  template <bool Padded>
  void add(const std::string_view* words, size_t n);
  // The key of a word, its folded bytes at out when longer than 16; false
  // when it needs more than room bytes there.
  template <bool Padded>
  bool makeKey(std::string_view word, char* out, size_t room, WordKey& key, size_t& used);
  void countKey(const WordKey& key);
  void countBlock(Block& block);
  uint32_t* countOf(const WordKey& key);  // the word's count; nullptr when it is new
  void insert(const WordKey& key);
  void finish();  // every word added so far counted
  void reset();

  const platform::CodePage* codePage_;
  bool foldCase_;
  bool asciiLower_;
  std::vector<ShortSlot> short_;
  unsigned shortShift_ = 32;  // 32 - log2(slot count)
  size_t shortUsed_ = 0;
  std::vector<LongSlot> long_;
  unsigned longShift_ = 32;
  size_t longUsed_ = 0;
  std::vector<Spilled> spilled_;
  std::string bytes_;          // the bytes of spilled words
  std::vector<Seen> order_;    // every word, in the order of first sight
  std::string lowered_;        // double-byte text folded whole
  TDoubleByteLower lower_;
  std::unique_ptr<Block> block_;  // keys not counted yet
};
