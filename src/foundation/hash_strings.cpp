#include "foundation/hash_strings.h"

#include "foundation/buf_stream.h"
#include "foundation/byte_scan.h"
#include "platform/codepage.h"
#include "platform/collator.h"
#include "platform/read_file.h"
#include "platform/safe_write.h"
#include "platform/winlocale.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <limits>
#include <stdexcept>
#include <thread>

namespace {

constexpr size_t FirstChunkSize = 4096;
constexpr size_t MaxChunkSize = size_t(1) << 20;
constexpr uint32_t FirstSlotCount = 64;
constexpr size_t MaxStoredWordLength = 255;
constexpr char FrequencyMagic[4] = {'H', 'S', 'T', 'R'};
constexpr int32_t FrequencyVersion = 1;

// Equal bytes; short words are compared in place, without a call.
inline bool sameBytes(const char* a, const char* b, size_t n)
{
  while (n >= 8) {
    uint64_t x, y;
    std::memcpy(&x, a, 8);
    std::memcpy(&y, b, 8);
    if (x != y)
      return false;
    a += 8;
    b += 8;
    n -= 8;
  }
  for (size_t i = 0; i < n; ++i)
    if (a[i] != b[i])
      return false;
  return true;
}

using Key = THashStrings::Key;

constexpr uint64_t HighBits = 0x8080808080808080ull;

// Lower-cases 8 ASCII bytes at once (every byte below 0x80).
inline uint64_t asciiLower8(uint64_t x)
{
  const uint64_t fromA = x + 0x3F3F3F3F3F3F3F3Full;  // high bit set from 'A' up
  const uint64_t pastZ = x + 0x2525252525252525ull;  // high bit set from '[' up
  return x | (((fromA & ~pastZ) & HighBits) >> 2);
}

inline uint64_t load64(const unsigned char* p)
{
  uint64_t x;
  std::memcpy(&x, p, 8);
  return x;
}

inline uint32_t load32(const unsigned char* p)
{
  uint32_t x;
  std::memcpy(&x, p, 4);
  return x;
}

// The n bytes (0..16) at p as two zero-padded little-endian blocks, read
// with overlapping loads that never touch a byte outside the word.
inline void shortBlocks(const unsigned char* p, size_t n, uint64_t& a, uint64_t& b)
{
  b = 0;
  if (n >= 8) {
    a = load64(p);
    if (n > 8)
      b = load64(p + n - 8) >> (8 * (16 - n));
  } else if (n >= 4) {
    a = uint64_t(load32(p)) | (uint64_t(load32(p + n - 4)) << (8 * (n - 4)));
  } else if (n > 0) {
    a = uint64_t(p[0]) | (uint64_t(p[n / 2]) << (8 * (n / 2))) | (uint64_t(p[n - 1]) << (8 * (n - 1)));
  } else {
    a = 0;
  }
}

// Maps the bytes of a block of r bytes (0..8) through a 256-byte table.
inline uint64_t mapBlock(uint64_t x, size_t r, const unsigned char* map)
{
  uint64_t y = 0;
  for (unsigned b = 0; b < r; ++b)
    y |= uint64_t(map[(x >> (8 * b)) & 0xFF]) << (8 * b);
  return y;
}

// One block of a word's bytes (zero-padded) folded: with asciiFast, map leaves
// ASCII bytes as ASCII does when fold is false, or lower-cases exactly the
// ASCII letters when it is true, so blocks of ASCII bytes need no table.
inline uint64_t foldBlock(uint64_t x, size_t r, const unsigned char* map, bool asciiFast, bool fold)
{
  if (asciiFast && (x & HighBits) == 0)
    return fold ? asciiLower8(x) : x;
  return mapBlock(x, r, map);
}

inline uint64_t hashSeed(size_t n)
{
  return 0x9E3779B97F4A7C15ull ^ (n * 0xFF51AFD7ED558CCDull);
}

inline uint32_t finishHash(uint64_t h)
{
  h *= 0x94D049BB133111EBull;
  h ^= h >> 32;
  return static_cast<uint32_t>(h);
}

// Folds the n bytes at src through the 256-byte table `map` (lower case or
// identity) into out, computing the hash and head on the way, one pass over
// 8-byte blocks. out must have room for n rounded up to a multiple of 8 and
// for at least 16 bytes; the bytes past n are written as zeros. src and out
// may be the same bytes. Words of up to 16 bytes, nearly all of them, take
// two blocks read without a loop. Always inlined: a Key handed back through
// memory and read again at once stalls on store forwarding.
[[gnu::always_inline]] inline Key foldKey(const char* src, size_t n, char* out, const unsigned char* map, bool asciiFast, bool fold)
{
  const auto* p = reinterpret_cast<const unsigned char*>(src);
  if (n <= 16) {
    uint64_t a, b;
    shortBlocks(p, n, a, b);
    if (asciiFast && ((a | b) & HighBits) == 0) {
      if (fold) {
        a = asciiLower8(a);
        b = asciiLower8(b);
      }
    } else {
      a = mapBlock(a, std::min<size_t>(n, 8), map);
      b = mapBlock(b, n > 8 ? n - 8 : 0, map);
    }
    std::memcpy(out, &a, 8);
    std::memcpy(out + 8, &b, 8);
    uint64_t h = ((hashSeed(n) ^ a) * 0xBF58476D1CE4E5B9ull) ^ (b * 0xD6E8FEB86659FD93ull);
    h ^= h >> 29;
    return Key{out, static_cast<uint32_t>(n), finishHash(h), a};
  }
  uint64_t h = hashSeed(n);
  uint64_t head = 0;
  for (size_t i = 0; i < n; i += 8) {
    const size_t take = std::min<size_t>(8, n - i);
    const uint64_t x = foldBlock(take == 8 ? load64(p + i) : load64(p + n - 8) >> (8 * (8 - take)), take,
                                 map, asciiFast, fold);
    std::memcpy(out + i, &x, 8);
    if (i == 0)
      head = x;
    h = (h ^ x) * 0xBF58476D1CE4E5B9ull;
    h ^= h >> 31;
  }
  return Key{out, static_cast<uint32_t>(n), finishHash(h), head};
}

// The table lower-cases exactly the ASCII letters among the ASCII bytes.
bool lowersAsciiPlainly(const unsigned char* map)
{
  for (int c = 0; c < 128; ++c) {
    const int expected = (c >= 'A' && c <= 'Z') ? c + 32 : c;
    if (map[c] != expected)
      return false;
  }
  return true;
}

struct IdentityMap {
  unsigned char bytes[256];
  IdentityMap()
  {
    for (int i = 0; i < 256; ++i)
      bytes[i] = static_cast<unsigned char>(i);
  }
};
const IdentityMap identity;

// The word's key, folded when foldCase is set, its bytes in out.
Key keyOf(std::string_view word, bool foldCase, const platform::CodePage& cp, bool asciiLower,
          std::string& out)
{
  if (foldCase && cp.dbcs) {
    // Double-byte characters are lower-cased whole, never byte by byte.
    const std::string lower = platform::lowerText(cp, word);
    out.resize(lower.size() + 16);
    return foldKey(lower.data(), lower.size(), out.data(), identity.bytes, true, false);
  }
  out.resize(word.size() + 16);
  if (!foldCase)
    return foldKey(word.data(), word.size(), out.data(), identity.bytes, true, false);
  return foldKey(word.data(), word.size(), out.data(), cp.lower.data(), asciiLower, true);
}

void putInt32(std::string& out, int32_t v)
{
  const auto u = static_cast<uint32_t>(v);
  const char b[4] = {char(u & 0xFF), char((u >> 8) & 0xFF), char((u >> 16) & 0xFF), char(u >> 24)};
  out.append(b, 4);
}

int32_t getInt32(const unsigned char* p)
{
  return static_cast<int32_t>(uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) |
                              (uint32_t(p[3]) << 24));
}

uint16_t languageOf(int32_t lcid)
{
  return lcid == 0 ? platform::userDefaultLangId() : static_cast<uint16_t>(lcid);
}

}  // namespace

THashStrings::THashStrings(int32_t bucketCount, int32_t lcid)
  : bucketCount_(bucketCount), lcid_(lcid)
{
  const uint16_t cp = platform::ansiCodePage(languageOf(lcid));
  codePage_ = &platform::codePage(cp ? cp : platform::systemAnsiCodePage());
  asciiLower_ = lowersAsciiPlainly(codePage_->lower.data());
}

THashStrings::~THashStrings() = default;

int64_t THashStrings::find(const Key& key) const
{
  if (slots_.empty())
    return -1;
  for (uint32_t i = key.hash & slotMask_;; i = (i + 1) & slotMask_) {
    const Slot& s = slots_[i];
    if (s.item == 0)
      return -1;
    if (s.hash != key.hash)
      continue;
    const Item& it = items_[s.item - 1];
    if (it.length == key.length && it.head == key.head &&
        (key.length <= 8 || sameBytes(words_[s.item - 1] + 8, key.data + 8, key.length - 8)))
      return s.item - 1;
  }
}

const char* THashStrings::storeWord(std::string_view key)
{
  if (key.empty())
    return "";
  if (chunks_.empty() || chunkSize_ - chunkUsed_ < key.size()) {
    size_t next = chunks_.empty() ? FirstChunkSize : std::min(chunkSize_ * 2, MaxChunkSize);
    next = std::max(next, key.size());
    chunks_.push_back(std::make_unique<char[]>(next));
    chunkSize_ = next;
    chunkUsed_ = 0;
    chunkBytes_ += next;
  }
  char* p = chunks_.back().get() + chunkUsed_;
  std::memcpy(p, key.data(), key.size());
  chunkUsed_ += key.size();
  return p;
}

void THashStrings::growSlots()
{
  // Each slot keeps its word's hash, so the words move to the larger array
  // without being read or hashed again.
  const size_t newSize = slots_.empty() ? FirstSlotCount : slots_.size() * 2;
  std::vector<Slot> old(newSize, Slot{0, 0});
  old.swap(slots_);
  slotMask_ = static_cast<uint32_t>(newSize - 1);
  for (const Slot& s : old) {
    if (s.item == 0)
      continue;
    uint32_t i = s.hash & slotMask_;
    while (slots_[i].item != 0)
      i = (i + 1) & slotMask_;
    slots_[i] = s;
  }
}

void THashStrings::renumberSlots(const std::vector<uint32_t>& order)
{
  // The items moved, the hashes did not: every slot stays where it is and
  // takes its item's new index.
  std::vector<uint32_t> newIndex(order.size());
  for (uint32_t i = 0; i < order.size(); ++i)
    newIndex[order[i]] = i;
  for (Slot& s : slots_)
    if (s.item != 0)
      s.item = newIndex[s.item - 1] + 1;
}

uint32_t THashStrings::insert(const Key& key)
{
  if ((items_.size() + 1) * 2 > slots_.size())
    growSlots();
  if (items_.size() >= std::numeric_limits<int32_t>::max())
    throw std::length_error("Too many words in one table.");
  const auto index = static_cast<uint32_t>(items_.size());
  const char* word = storeWord(std::string_view(key.data, key.length));
  items_.push_back(Item{key.head, key.length, 0});
  words_.push_back(word);
  uint32_t i = key.hash & slotMask_;
  while (slots_[i].item != 0)
    i = (i + 1) & slotMask_;
  slots_[i] = Slot{index + 1, key.hash};
  return index;
}

THashStrings::Item& THashStrings::findOrInsertKey(const Key& key)
{
  const int64_t found = find(key);
  sortState_ = ssUnsorted;
  if (found >= 0)
    return items_[static_cast<size_t>(found)];
  return items_[insert(key)];
}

THashStrings::Item& THashStrings::findOrInsert(std::string_view word)
{
  const Key key = keyOf(word, FoldCase, *codePage_, asciiLower_, scratch_);
  return findOrInsertKey(key);
}

[[gnu::always_inline]] inline bool THashStrings::makeKey(std::string_view word, char* out, Key& key) const
{
  if (!FoldCase) {
    key = foldKey(word.data(), word.size(), out, identity.bytes, true, false);
    return true;
  }
  if (codePage_->dbcs)
    return false;
  key = foldKey(word.data(), word.size(), out, codePage_->lower.data(), asciiLower_, true);
  return true;
}

bool THashStrings::MakeKey(std::string_view word, char* out, Key& key) const
{
  return makeKey(word, out, key);
}

void THashStrings::PrefetchSlots(const Key* keys, size_t n) const
{
  if (slots_.empty())
    return;
  for (size_t k = 0; k < n; ++k)
    __builtin_prefetch(&slots_[keys[k].hash & slotMask_]);
}

void THashStrings::PrefetchItems(const Key* keys, size_t n) const
{
  if (slots_.empty())
    return;
  for (size_t k = 0; k < n; ++k) {
    const Slot& slot = slots_[keys[k].hash & slotMask_];
    if (slot.item != 0)
      __builtin_prefetch(&items_[slot.item - 1]);
  }
}

void THashStrings::CountKeys(const Key* keys, size_t n)
{
  for (size_t k = 0; k < n; ++k)
    changeCount(findOrInsertKey(keys[k]), 1);
}

void THashStrings::AddKeys(const Key* keys, size_t n)
{
  PrefetchSlots(keys, n);
  PrefetchItems(keys, n);
  CountKeys(keys, n);
}

void THashStrings::AddWords(const std::string_view* words, size_t n)
{
  TWordBatch batch(*this);
  for (size_t k = 0; k < n; ++k)
    batch.Add(words[k]);
}

void TWordBatch::Add(std::string_view word)
{
  TGroup* g = &groups_[current_];
  if (word.size() > BufferBytes - g->used) {
    closeGroup();
    g = &groups_[current_];
  }
  if (word.size() > BufferBytes || !table_.makeKey(word, g->buffer + g->used, g->keys[g->count])) {
    Flush();
    table_.Add(word, true);  // a very long word, or double-byte text folded whole
    return;
  }
  g->used += word.size();
  if (++g->count == Group)
    closeGroup();
}

void TWordBatch::countGroup(TGroup& group)
{
  table_.CountKeys(group.keys, group.count);
  group.count = 0;
  group.used = 0;
}

void TWordBatch::closeGroup()
{
  TGroup& g = groups_[current_];
  if (g.count == 0)
    return;
  table_.PrefetchSlots(g.keys, g.count);
  if (waiting_ == Stages - 1) {
    countGroup(groups_[(current_ + 1) % Stages]);  // the oldest
    --waiting_;
  }
  if (waiting_ == 1) {
    const TGroup& previous = groups_[(current_ + Stages - 1) % Stages];
    table_.PrefetchItems(previous.keys, previous.count);
  }
  ++waiting_;
  current_ = (current_ + 1) % Stages;
}

void TWordBatch::Flush()
{
  for (; waiting_ > 0; --waiting_)
    countGroup(groups_[(current_ + Stages - waiting_) % Stages]);
  countGroup(groups_[current_]);
}

// --- TWordCounter --------------------------------------------------------------

namespace {

constexpr unsigned FirstCounterBits = 10;

// Masks that keep the first n bytes of a 16-byte block, n = 0..16.
struct PrefixMasks {
  uint64_t a[17], b[17];
  PrefixMasks()
  {
    for (unsigned n = 0; n <= 16; ++n) {
      a[n] = n >= 8 ? ~uint64_t(0) : (uint64_t(1) << (8 * n)) - 1;
      b[n] = n <= 8 ? 0 : n >= 16 ? ~uint64_t(0) : (uint64_t(1) << (8 * (n - 8))) - 1;
    }
  }
};
const PrefixMasks prefixMasks;

// The hash of a word of up to 16 bytes from its zero-padded blocks.
inline uint32_t hash16(uint64_t a, uint64_t b, uint32_t n)
{
  uint64_t h = (a * 0x9E3779B97F4A7C15ull) ^ (b * 0xC2B2AE3D27D4EB4Full) ^ n;
  h ^= h >> 29;
  h *= 0xBF58476D1CE4E5B9ull;
  return uint32_t(h >> 32);
}

// Open addressing by the hash's top bits (shift: 32 - log2 of the slot
// count): the slot goes to the first free place from its hash's.
template <class Slot>
void placeSlot(std::vector<Slot>& slots, unsigned shift, uint32_t hash, const Slot& slot)
{
  const size_t mask = slots.size() - 1;
  size_t i = hash >> shift;
  while (slots[i].ref != 0)
    i = (i + 1) & mask;
  slots[i] = slot;
}

// The slots in use moved to an array twice as large.
template <class Slot, class HashOf>
void doubleSlots(std::vector<Slot>& slots, unsigned& shift, HashOf hashOf)
{
  std::vector<Slot> old(slots.size() * 2, Slot{});
  old.swap(slots);
  --shift;
  for (const Slot& s : old)
    if (s.ref != 0)
      placeSlot(slots, shift, hashOf(s), s);
}

}  // namespace

// Keys wait in blocks, small enough to stay in the nearest caches while the
// slots of the words a few places ahead are fetched.
struct TWordCounter::Block {
  static constexpr size_t Words = 1024;
  static constexpr size_t Bytes = 16 * 1024;
  WordKey keys[Words];
  char bytes[Bytes + 16];
  size_t count = 0;
  size_t used = 0;
};

TWordCounter::TWordCounter(const THashStrings& like)
  : codePage_(like.codePage_), foldCase_(like.FoldCase), asciiLower_(like.asciiLower_),
    lower_(*like.codePage_), block_(std::make_unique<Block>())
{
  reset();
}

TWordCounter::~TWordCounter() = default;

void TWordCounter::reset()
{
  short_.assign(size_t(1) << FirstCounterBits, ShortSlot{0, 0, 0});
  shortShift_ = 32 - FirstCounterBits;
  shortUsed_ = 0;
  long_.assign(size_t(1) << FirstCounterBits, LongSlot{0, 0, 0, 0, 0, 0});
  longShift_ = 32 - FirstCounterBits;
  longUsed_ = 0;
  spilled_.clear();
  bytes_.clear();
  order_.clear();
}

void TWordCounter::finish()
{
  countBlock(*block_);
  block_->count = block_->used = 0;
}

size_t TWordCounter::Count()
{
  finish();
  return order_.size();
}

template <bool Padded>
[[gnu::always_inline]] inline bool TWordCounter::makeKey(std::string_view word, char* out, size_t room,
                                                          WordKey& key, size_t& used)
{
  const unsigned char* map = identity.bytes;
  bool asciiFast = true;
  bool fold = false;
  bool padded = Padded;
  if (foldCase_) {
    if (codePage_->dbcs) {
      // Double-byte characters are lower-cased whole, never byte by byte.
      lower_.Lower(word, lowered_);
      word = lowered_;
      padded = false;
    } else {
      map = codePage_->lower.data();
      asciiFast = asciiLower_;
      fold = true;
    }
  }
  const auto* p = reinterpret_cast<const unsigned char*>(word.data());
  const size_t n = word.size();
  if (n <= 16) {
    uint64_t a, b;
    if (padded) {
      a = load64(p) & prefixMasks.a[n];
      b = load64(p + 8) & prefixMasks.b[n];
    } else {
      shortBlocks(p, n, a, b);
    }
    if (fold) {
      if (asciiFast && ((a | b) & HighBits) == 0) {
        a = asciiLower8(a);
        b = asciiLower8(b);
      } else {
        a = mapBlock(a, std::min<size_t>(n, 8), map);
        b = mapBlock(b, n > 8 ? n - 8 : 0, map);
      }
    }
    key.a = a;
    key.b = b;
    key.data = nullptr;
    key.length = uint32_t(n);
    key.hash = hash16(a, b, uint32_t(n));
    used = 0;
    return true;
  }
  const size_t need = (n + 7) / 8 * 8;
  if (need > room)
    return false;
  const Key k = foldKey(word.data(), n, out, map, asciiFast, fold);
  key.a = k.head;
  key.b = load64(reinterpret_cast<const unsigned char*>(out) + 8);
  key.data = out;
  key.length = uint32_t(n);
  key.hash = k.hash;
  used = need;
  return true;
}

[[gnu::always_inline]] inline uint32_t* TWordCounter::countOf(const WordKey& key)
{
  if (key.length <= 8) {
    const size_t mask = short_.size() - 1;
    const uint32_t ref = Inline | key.length;
    for (size_t i = key.hash >> shortShift_;; i = (i + 1) & mask) {
      ShortSlot& s = short_[i];
      if (s.a == key.a && s.ref == ref)
        return &s.count;
      if (s.ref == 0)
        return nullptr;
    }
  }
  const size_t mask = long_.size() - 1;
  for (size_t i = key.hash >> longShift_;; i = (i + 1) & mask) {
    LongSlot& s = long_[i];
    if (s.ref == 0)
      return nullptr;
    if (s.hash != key.hash || s.a != key.a || s.b != key.b)
      continue;
    if (key.length <= 16) {
      if (s.ref == (Inline | key.length))
        return &s.count;
      continue;
    }
    if (s.ref & Spill) {
      const Spilled& w = spilled_[s.ref & ~Spill];
      if (w.length == key.length && sameBytes(bytes_.data() + w.offset + 16, key.data + 16, key.length - 16))
        return &s.count;
    }
  }
}

void TWordCounter::insert(const WordKey& key)
{
  if (key.length <= 8) {
    placeSlot(short_, shortShift_, key.hash, ShortSlot{key.a, 1, Inline | key.length});
    order_.push_back(Seen{key.a, 0, Inline | key.length, key.hash});
    if (++shortUsed_ * 4 > short_.size() * 3)
      doubleSlots(short_, shortShift_, [](const ShortSlot& s) { return hash16(s.a, 0, s.ref & 0xFF); });
    return;
  }
  uint32_t ref = Inline | key.length;
  if (key.length > 16) {
    if (spilled_.size() >= Spill)
      throw std::length_error("Too many words in one table.");
    ref = Spill | uint32_t(spilled_.size());
    spilled_.push_back(Spilled{bytes_.size(), key.length});
    bytes_.append(key.data, key.length);
  }
  placeSlot(long_, longShift_, key.hash, LongSlot{key.a, key.b, 1, ref, key.hash, 0});
  order_.push_back(Seen{key.a, key.b, ref, key.hash});
  if (++longUsed_ * 4 > long_.size() * 3)
    doubleSlots(long_, longShift_, [](const LongSlot& s) { return s.hash; });
}

[[gnu::always_inline]] inline void TWordCounter::countKey(const WordKey& key)
{
  if (uint32_t* count = countOf(key)) {
    *count += *count < 0x80000000u;
    return;
  }
  insert(key);
}

void TWordCounter::countBlock(Block& block)
{
  constexpr size_t Ahead = 16;
  const WordKey* keys = block.keys;
  const size_t n = block.count;
  auto fetch = [this](const WordKey& key) {
    if (key.length <= 8)
      __builtin_prefetch(&short_[key.hash >> shortShift_]);
    else
      __builtin_prefetch(&long_[key.hash >> longShift_]);
  };
  for (size_t i = 0; i < n && i < Ahead; ++i)
    fetch(keys[i]);
  for (size_t i = 0; i < n; ++i) {
    if (i + Ahead < n)
      fetch(keys[i + Ahead]);
    countKey(keys[i]);
  }
}

template <bool Padded>
void TWordCounter::add(const std::string_view* words, size_t n)
{
  Block& b = *block_;
  for (size_t k = 0; k < n; ++k) {
    size_t took = 0;
    if (!makeKey<Padded>(words[k], b.bytes + b.used, Block::Bytes - b.used, b.keys[b.count], took)) {
      finish();
      if (makeKey<Padded>(words[k], b.bytes, Block::Bytes, b.keys[0], took)) {
        b.used = took;
        b.count = 1;
        continue;
      }
      // Longer than a whole block's bytes: counted on its own.
      const size_t length = foldCase_ && codePage_->dbcs ? lowered_.size() : words[k].size();
      std::string big((length + 7) / 8 * 8 + 16, '\0');
      WordKey key{};
      makeKey<false>(words[k], big.data(), big.size(), key, took);
      countKey(key);
      continue;
    }
    b.used += took;
    if (++b.count == Block::Words)
      finish();
  }
}

void TWordCounter::Add(const std::string_view* words, size_t n)
{
  add<false>(words, n);
}

void TWordCounter::AddPadded(const std::string_view* words, size_t n)
{
  add<true>(words, n);
}

void TWordCounter::MoveTo(THashStrings& table)
{
  struct FoldAside {
    THashStrings& table;
    bool fold;
    ~FoldAside() { table.FoldCase = fold; }
  } aside{table, table.FoldCase};
  finish();
  table.FoldCase = false;
  for (const Seen& o : order_) {
    WordKey key{o.a, o.b, nullptr, 0, o.hash};
    char head[16];
    std::string_view word;
    if (o.ref & Spill) {
      const Spilled& w = spilled_[o.ref & ~Spill];
      word = std::string_view(bytes_.data() + w.offset, w.length);
      key.data = word.data();
    } else {
      std::memcpy(head, &o.a, 8);
      std::memcpy(head + 8, &o.b, 8);
      word = std::string_view(head, o.ref & 0xFF);
    }
    key.length = uint32_t(word.size());
    const uint32_t count = *countOf(key);
    table.AddCount(word, int32_t(std::min<uint32_t>(count, uint32_t(std::numeric_limits<int32_t>::max()))));
  }
  reset();
}

void THashStrings::changeCount(Item& item, int32_t n)
{
  if (n == 0)
    return;
  const int32_t old = item.count;
  const int64_t sum = int64_t(old) + n;
  item.count = static_cast<int32_t>(std::clamp<int64_t>(sum, std::numeric_limits<int32_t>::min(),
                                                        std::numeric_limits<int32_t>::max()));
  if (topLimit_ > 0)
    countChanged(old, item.count);
}

void THashStrings::Add(std::string_view word, bool increment)
{
  Item& item = findOrInsert(word);
  if (increment)
    changeCount(item, 1);
}

int32_t THashStrings::AddCount(std::string_view word, int32_t n)
{
  Item& item = findOrInsert(word);
  changeCount(item, n);
  return item.count;
}

int32_t THashStrings::AddCountOfKey(const Key& key, int32_t n)
{
  Item& item = findOrInsertKey(key);
  changeCount(item, n);
  return item.count;
}

int32_t THashStrings::CountOf(std::string_view word) const
{
  // Words of ordinary length are folded on the stack: lookups allocate nothing.
  alignas(8) char buffer[256 + 16];
  Key key;
  std::string scratch;
  if (word.size() > 256 || !MakeKey(word, buffer, key))
    key = keyOf(word, FoldCase, *codePage_, asciiLower_, scratch);
  const int64_t found = find(key);
  return found < 0 ? 0 : items_[static_cast<size_t>(found)].count;
}

int32_t THashStrings::CountOfKey(const Key& key) const
{
  const int64_t found = find(key);
  return found < 0 ? 0 : items_[static_cast<size_t>(found)].count;
}

std::string_view THashStrings::Strings(int32_t index) const
{
  return std::string_view(words_.at(static_cast<size_t>(index)), items_[static_cast<size_t>(index)].length);
}

int32_t THashStrings::Counts(int32_t index) const
{
  return items_.at(static_cast<size_t>(index)).count;
}

void THashStrings::sortByOrderKeys(std::vector<uint32_t>& order) const
{
  // One collation key per word, made on several threads (the collator is
  // only read), then plain byte comparisons, most of them decided by the
  // keys' first eight bytes: far cheaper than collating at each comparison.
  const uint16_t lang = languageOf(lcid_);
  const size_t n = items_.size();
  struct KeyRef {
    uint64_t head;
    uint32_t item;
    uint32_t length;
    const char* data;
  };
  std::vector<KeyRef> refs(n);
  const size_t threads = std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 8);
  const size_t chunk = std::max<size_t>((n + threads - 1) / threads, 4096);
  std::vector<std::string> arenas((n + chunk - 1) / chunk);
  std::vector<std::vector<uint32_t>> offsets(arenas.size());
  auto makeKeys = [&](size_t part) {
    const size_t begin = part * chunk;
    const size_t end = std::min(n, begin + chunk);
    std::string& arena = arenas[part];
    offsets[part].reserve(end - begin + 1);
    for (size_t i = begin; i < end; ++i) {
      offsets[part].push_back(uint32_t(arena.size()));
      arena += platform::orderKey(lang, std::string_view(words_[i], items_[i].length), false);
    }
    offsets[part].push_back(uint32_t(arena.size()));
  };
  std::vector<std::thread> workers;
  for (size_t part = 1; part < arenas.size(); ++part)
    workers.emplace_back(makeKeys, part);
  if (!arenas.empty())
    makeKeys(0);
  for (std::thread& t : workers)
    t.join();
  for (size_t part = 0; part < arenas.size(); ++part) {
    for (size_t k = 0; k + 1 < offsets[part].size(); ++k) {
      KeyRef& r = refs[part * chunk + k];
      r.item = uint32_t(part * chunk + k);
      r.data = arenas[part].data() + offsets[part][k];
      r.length = offsets[part][k + 1] - offsets[part][k];
      unsigned char head[8] = {};
      std::memcpy(head, r.data, std::min<size_t>(8, r.length));
      r.head = 0;
      for (unsigned char b : head)
        r.head = (r.head << 8) | b;
    }
  }
  std::sort(refs.begin(), refs.end(), [](const KeyRef& a, const KeyRef& b) {
    if (a.head != b.head)
      return a.head < b.head;
    return std::string_view(a.data, a.length) < std::string_view(b.data, b.length);
  });
  for (size_t i = 0; i < n; ++i)
    order[i] = refs[i].item;
}

bool THashStrings::sortByCountBuckets(std::vector<uint32_t>& order) const
{
  if (items_.empty())
    return true;
  int32_t lowest = items_[0].count;
  int32_t highest = lowest;
  for (const Item& item : items_) {
    lowest = std::min(lowest, item.count);
    highest = std::max(highest, item.count);
  }
  const uint64_t range = uint64_t(int64_t(highest) - lowest) + 1;
  if (range > items_.size() + 1024)
    return false;
  // One bucket per count, highest first; each bucket keeps the items in the
  // order they stood, as a stable sort does.
  std::vector<uint32_t> next(range + 1, 0);
  for (const Item& item : items_)
    ++next[size_t(highest - item.count) + 1];
  for (size_t b = 1; b <= range; ++b)
    next[b] += next[b - 1];
  for (uint32_t i = 0; i < items_.size(); ++i)
    order[next[size_t(highest - items_[i].count)]++] = i;
  return true;
}

void THashStrings::Sort(int mode)
{
  if (mode == sortState_)
    return;
  if (mode != ssByWord && mode != ssByCount) {
    sortState_ = ssUnsorted;
    return;
  }
  std::vector<uint32_t> order(items_.size());
  for (uint32_t i = 0; i < order.size(); ++i)
    order[i] = i;
  if (mode == ssByWord) {
    sortByOrderKeys(order);
  } else if (!sortByCountBuckets(order)) {
    std::stable_sort(order.begin(), order.end(),
                     [this](uint32_t a, uint32_t b) { return items_[a].count > items_[b].count; });
  }
  std::vector<Item> items(items_.size());
  std::vector<const char*> words(words_.size());
  for (size_t i = 0; i < order.size(); ++i) {
    items[i] = items_[order[i]];
    words[i] = words_[order[i]];
  }
  items_.swap(items);
  words_.swap(words);
  renumberSlots(order);
  sortState_ = static_cast<uint8_t>(mode);
}

void THashStrings::Clear()
{
  items_.clear();
  items_.shrink_to_fit();
  words_.clear();
  words_.shrink_to_fit();
  slots_.clear();
  slots_.shrink_to_fit();
  slotMask_ = 0;
  chunks_.clear();
  chunkSize_ = chunkUsed_ = chunkBytes_ = 0;
  clearHistogram();
  topDirty_ = true;
  sortState_ = ssUnsorted;
}

void THashStrings::histogramAdd(int32_t count, int32_t delta)
{
  if (count >= SmallCounts) {
    auto it = std::lower_bound(bigHist_.begin(), bigHist_.end(), count,
                               [](const std::pair<int32_t, int32_t>& e, int32_t c) { return e.first > c; });
    if (it != bigHist_.end() && it->first == count) {
      if ((it->second += delta) == 0)
        bigHist_.erase(it);
    } else if (delta > 0) {
      bigHist_.insert(it, {count, delta});
    }
    return;
  }
  const auto c = size_t(count);
  if (c >= smallHist_.size()) {
    if (delta < 0)
      return;
    size_t size = std::max<size_t>(smallHist_.size(), 1024);
    while (size <= c)
      size *= 2;
    smallHist_.resize(size, 0);
    smallBits_.resize(size / 64, 0);
  }
  const int32_t before = smallHist_[c];
  const int32_t after = before + delta;
  smallHist_[c] = after;
  if ((before > 0) == (after > 0))
    return;
  uint64_t& word = smallBits_[c / 64];
  if (after > 0)
    word |= uint64_t(1) << (c % 64);
  else
    word &= ~(uint64_t(1) << (c % 64));
  uint64_t& summary = smallWords_[c / 4096];
  if (word != 0)
    summary |= uint64_t(1) << (c / 64 % 64);
  else
    summary &= ~(uint64_t(1) << (c / 64 % 64));
}

void THashStrings::clearHistogram()
{
  smallHist_.clear();
  smallHist_.shrink_to_fit();
  smallBits_.clear();
  smallBits_.shrink_to_fit();
  std::fill(std::begin(smallWords_), std::end(smallWords_), 0);
  bigHist_.clear();
  bigHist_.shrink_to_fit();
}

int32_t THashStrings::highestSmallBelow(int32_t limit) const
{
  limit = std::min<int32_t>(limit, int32_t(smallHist_.size()));
  if (limit <= 0)
    return -1;
  const int32_t last = limit - 1;
  int32_t w = last / 64;
  uint64_t bits = smallBits_[size_t(w)] & (~uint64_t(0) >> (63 - last % 64));
  if (bits != 0)
    return w * 64 + 63 - __builtin_clzll(bits);
  // Earlier words that are not zero, through the summary.
  for (int32_t s = (w - 1) / 64; w > 0 && s >= 0; --s) {
    uint64_t sum = smallWords_[s];
    if (s == (w - 1) / 64)
      sum &= ~uint64_t(0) >> (63 - (w - 1) % 64);
    if (sum != 0) {
      const int32_t word = s * 64 + 63 - __builtin_clzll(sum);
      return word * 64 + 63 - __builtin_clzll(smallBits_[size_t(word)]);
    }
  }
  return -1;
}

void THashStrings::countChanged(int32_t oldCount, int32_t newCount)
{
  if (oldCount > 0)
    histogramAdd(oldCount, -1);
  if (newCount > 0)
    histogramAdd(newCount, 1);
  topDirty_ = true;
}

void THashStrings::rebuildHistogram()
{
  clearHistogram();
  for (const Item& it : items_)
    if (it.count > 0)
      histogramAdd(it.count, 1);
  topDirty_ = true;
}

void THashStrings::SetTopLimit(int32_t limit)
{
  limit = std::clamp<int32_t>(limit, 0, MaxTopCounts);
  if (limit == 0)
    clearHistogram();
  else if (topLimit_ == 0)
    rebuildHistogram();  // a histogram is kept only while a limit is set
  topLimit_ = limit;
  topDirty_ = true;
}

void THashStrings::refreshTop() const
{
  if (!topDirty_)
    return;
  topUsed_ = 0;
  for (size_t i = 0; i < bigHist_.size() && topUsed_ < topLimit_; ++i)
    topCounts_[topUsed_++] = bigHist_[i];
  for (int32_t c = highestSmallBelow(SmallCounts); c > 0 && topUsed_ < topLimit_; c = highestSmallBelow(c))
    topCounts_[topUsed_++] = {c, smallHist_[size_t(c)]};
  topDirty_ = false;
}

int32_t THashStrings::TopUsed() const
{
  refreshTop();
  return topUsed_;
}

std::pair<int32_t, int32_t> THashStrings::TopCount(int32_t rank) const
{
  refreshTop();
  if (rank < 0 || rank >= topUsed_)
    throw std::out_of_range("THashStrings::TopCount");
  return topCounts_[rank];
}

int32_t THashStrings::IndexOfTopCount(int32_t count) const
{
  // The rank is the number of counts in use above this one; it is counted
  // directly, so ranking after every change costs no walk of the top list.
  if (count <= 0 || topLimit_ == 0)
    return -1;
  if (count >= SmallCounts) {
    for (size_t i = 0; i < bigHist_.size() && int32_t(i) < topLimit_; ++i)
      if (bigHist_[i].first == count)
        return int32_t(i);
    return -1;
  }
  const auto c = size_t(count);
  if (c >= smallHist_.size() || smallHist_[c] <= 0)
    return -1;
  auto rank = int32_t(bigHist_.size());
  if (rank >= topLimit_)
    return -1;
  // Counts in use above c: the rest of c's word, then the words that are
  // not zero, found through the summary.
  size_t w = c / 64;
  if (c % 64 != 63)
    rank += PopCount64(smallBits_[w] >> (c % 64 + 1));
  const size_t words = smallBits_.size();
  for (size_t s = (w + 1) / 64; rank < topLimit_ && w + 1 < words && s < std::size(smallWords_); ++s) {
    uint64_t sum = smallWords_[s];
    if (s == (w + 1) / 64)
      sum &= ~uint64_t(0) << ((w + 1) % 64);
    for (; sum != 0 && rank < topLimit_; sum &= sum - 1)
      rank += PopCount64(smallBits_[s * 64 + size_t(__builtin_ctzll(sum))]);
  }
  return rank < topLimit_ ? rank : -1;
}

void THashStrings::SaveToFile(const std::string& fileName) const
{
  std::string data;
  size_t bytes = 12;
  for (const Item& it : items_)
    bytes += 8 + std::min<size_t>(it.length, MaxStoredWordLength);
  data.reserve(bytes);
  data.append(FrequencyMagic, 4);
  putInt32(data, FrequencyVersion);
  putInt32(data, Count());
  for (size_t i = 0; i < items_.size(); ++i) {
    const Item& it = items_[i];
    // A longer word keeps its first 255 bytes, cut between characters.
    const auto length = static_cast<int32_t>(
      it.length <= MaxStoredWordLength
        ? size_t(it.length)
        : WholeCharsLength(*codePage_, std::string_view(words_[i], MaxStoredWordLength)));
    putInt32(data, length);
    data.append(words_[i], static_cast<size_t>(length));
    putInt32(data, it.count);
  }
  platform::writeFileAtomically(fileName, data);
}

void THashStrings::LoadFromFile(const std::string& fileName)
{
  Clear();
  std::string data;
  // Only a regular file of at most 2 GB is read (positions are 32-bit).
  const int err = platform::readRegularFile(fileName, data);
  if (err == ENOENT || err == EACCES || err == ENOTDIR || err == ELOOP || err == ENAMETOOLONG)
    throw std::runtime_error("Unable to open file: " + fileName + ".");
  if (err != 0)
    throw std::runtime_error("Invalid frequency file: " + fileName);
  const auto invalid = [&] {
    Clear();
    return std::runtime_error("Invalid frequency file: " + fileName);
  };
  const auto* p = reinterpret_cast<const unsigned char*>(data.data());
  const size_t size = data.size();
  if (size < 12 || std::memcmp(p, FrequencyMagic, 4) != 0 || getInt32(p + 4) != FrequencyVersion)
    throw invalid();
  const int32_t n = getInt32(p + 8);
  // Every item takes at least 8 bytes, so n is bounded by the file's size.
  if (n < 0 || static_cast<uint64_t>(n) > (size - 12) / 8)
    throw invalid();
  size_t pos = 12;
  for (int32_t i = 0; i < n; ++i) {
    if (size - pos < 4)
      throw invalid();
    const int32_t length = getInt32(p + pos);
    pos += 4;
    if (length < 0 || length > static_cast<int32_t>(MaxStoredWordLength) ||
        size - pos < static_cast<size_t>(length) + 4)
      throw invalid();
    const std::string_view word(data.data() + pos, static_cast<size_t>(length));
    pos += static_cast<size_t>(length);
    const int32_t count = getInt32(p + pos);
    pos += 4;
    if (count < 0)
      throw invalid();
    AddCount(word, count);
  }
  if (pos != size)
    throw invalid();
}

size_t THashStrings::MemoryUsed() const
{
  return items_.capacity() * sizeof(Item) + words_.capacity() * sizeof(const char*) +
         slots_.capacity() * sizeof(Slot) + chunkBytes_ + chunks_.capacity() * sizeof(chunks_[0]) +
         smallHist_.capacity() * sizeof(int32_t) + smallBits_.capacity() * sizeof(uint64_t) +
         bigHist_.capacity() * sizeof(bigHist_[0]);
}

// The item index + 1 of the first slot along the key's probe that holds its
// hash (0 when an empty slot comes first), looking at most a few slots on.
namespace {
template <class Slots>
uint32_t probeByHash(const Slots& slots, uint32_t mask, uint32_t hash)
{
  constexpr int Reach = 4;
  uint32_t i = hash & mask;
  for (int step = 0; step < Reach; ++step, i = (i + 1) & mask) {
    if (slots[i].item == 0)
      return 0;
    if (slots[i].hash == hash)
      return slots[i].item;
  }
  return 0;
}
}  // namespace

void THashStrings::PrefetchMatchingItems(const Key* keys, size_t n) const
{
  if (slots_.empty())
    return;
  for (size_t k = 0; k < n; ++k) {
    const uint32_t item = probeByHash(slots_, slotMask_, keys[k].hash);
    if (item == 0)
      continue;
    __builtin_prefetch(&items_[item - 1]);
    if (keys[k].length > 8)
      __builtin_prefetch(&words_[item - 1]);
  }
}

void THashStrings::PrefetchWordBytes(const Key* keys, size_t n) const
{
  if (slots_.empty())
    return;
  for (size_t k = 0; k < n; ++k) {
    if (keys[k].length <= 8)
      continue;
    const uint32_t item = probeByHash(slots_, slotMask_, keys[k].hash);
    if (item == 0)
      continue;
    const char* word = words_[item - 1];
    __builtin_prefetch(word + 8);
    __builtin_prefetch(word + keys[k].length - 1);
  }
}

bool THashStrings::MakeLoweredKey(std::string_view word, const platform::CodePage& cp, char* out,
                                  Key& key) const
{
  if (FoldCase || cp.dbcs)
    return false;
  // ASCII blocks skip the table when it lower-cases ASCII as ASCII does.
  const bool asciiFast = &cp == codePage_ ? asciiLower_ : false;
  key = foldKey(word.data(), word.size(), out, cp.lower.data(), asciiFast, true);
  return true;
}

void TDoubleByteLower::Lower(char* text, size_t n)
{
  if (!cp_->dbcs) {
    for (size_t i = 0; i < n; ++i)
      text[i] = char(cp_->lower[uint8_t(text[i])]);
    return;
  }
  if (pairs_.empty())
    pairs_.assign(65536, 0);
  for (size_t i = 0; i < n;) {
    const auto c = uint8_t(text[i]);
    if (!cp_->lead[c] || i + 1 == n) {
      text[i++] = char(cp_->lower[c]);
      continue;
    }
    uint16_t& lowered = pairs_[size_t(c) << 8 | uint8_t(text[i + 1])];
    if (lowered == 0) {
      const std::string pair = platform::lowerText(*cp_, std::string_view(text + i, 2));
      lowered = uint16_t(uint8_t(pair[0]) << 8 | uint8_t(pair[1]));
    }
    text[i] = char(lowered >> 8);
    text[i + 1] = char(lowered & 0xFF);
    i += 2;
  }
}

void TDoubleByteLower::Lower(std::string_view word, std::string& out)
{
  out.assign(word);
  Lower(out.data(), out.size());
}
