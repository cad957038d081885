#include "foundation/hash_strings.h"

#include "platform/codepage.h"
#include "platform/collator.h"
#include "platform/safe_write.h"
#include "platform/winlocale.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <stdexcept>

namespace {

constexpr size_t FirstChunkSize = 4096;
constexpr size_t MaxChunkSize = size_t(1) << 20;
constexpr uint32_t FirstSlotCount = 64;
constexpr size_t MaxStoredWordLength = 255;
constexpr char FrequencyMagic[4] = {'H', 'S', 'T', 'R'};
constexpr int32_t FrequencyVersion = 1;

uint64_t load64(const char* p)
{
  uint64_t v;
  std::memcpy(&v, p, 8);
  return v;
}

// A fast mixing hash over the word's bytes; the table size is a power of
// two, so the high bits of a well-mixed value are used.
uint32_t hashWord(std::string_view s)
{
  uint64_t h = 0x9E3779B97F4A7C15ull ^ (s.size() * 0xFF51AFD7ED558CCDull);
  const char* p = s.data();
  size_t n = s.size();
  while (n >= 8) {
    h = (h ^ load64(p)) * 0xBF58476D1CE4E5B9ull;
    h ^= h >> 31;
    p += 8;
    n -= 8;
  }
  if (n) {
    uint64_t tail = 0;
    std::memcpy(&tail, p, n);
    h = (h ^ tail) * 0x94D049BB133111EBull;
  }
  h ^= h >> 29;
  h *= 0xBF58476D1CE4E5B9ull;
  h ^= h >> 32;
  return static_cast<uint32_t>(h);
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
  codePageId_ = cp ? cp : platform::systemAnsiCodePage();
}

THashStrings::~THashStrings() = default;

std::string_view THashStrings::folded(std::string_view word, std::string& scratch) const
{
  if (!FoldCase)
    return word;
  const platform::CodePage& cp = platform::codePage(codePageId_);
  if (cp.dbcs) {
    scratch = platform::lowerText(cp, word);
    return scratch;
  }
  scratch.resize(word.size());
  for (size_t i = 0; i < word.size(); ++i)
    scratch[i] = static_cast<char>(cp.lower[static_cast<unsigned char>(word[i])]);
  return scratch;
}

int64_t THashStrings::find(std::string_view key, uint32_t hash) const
{
  if (slots_.empty())
    return -1;
  for (uint32_t i = hash & slotMask_;; i = (i + 1) & slotMask_) {
    const Slot& s = slots_[i];
    if (s.item == 0)
      return -1;
    if (s.hash != hash)
      continue;
    const Item& it = items_[s.item - 1];
    if (it.length == key.size() && std::memcmp(it.word, key.data(), key.size()) == 0)
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
  const size_t newSize = slots_.empty() ? FirstSlotCount : slots_.size() * 2;
  slots_.assign(newSize, Slot{0, 0});
  slotMask_ = static_cast<uint32_t>(newSize - 1);
  for (uint32_t n = 0; n < items_.size(); ++n) {
    const Item& it = items_[n];
    const uint32_t h = hashWord(std::string_view(it.word, it.length));
    uint32_t i = h & slotMask_;
    while (slots_[i].item != 0)
      i = (i + 1) & slotMask_;
    slots_[i] = Slot{n + 1, h};
  }
}

void THashStrings::rebuildSlots()
{
  if (slots_.empty())
    return;
  std::fill(slots_.begin(), slots_.end(), Slot{0, 0});
  for (uint32_t n = 0; n < items_.size(); ++n) {
    const Item& it = items_[n];
    const uint32_t h = hashWord(std::string_view(it.word, it.length));
    uint32_t i = h & slotMask_;
    while (slots_[i].item != 0)
      i = (i + 1) & slotMask_;
    slots_[i] = Slot{n + 1, h};
  }
}

uint32_t THashStrings::insert(std::string_view key, uint32_t hash)
{
  if ((items_.size() + 1) * 2 > slots_.size())
    growSlots();
  if (items_.size() >= std::numeric_limits<int32_t>::max())
    throw std::length_error("Too many words in one table.");
  const auto index = static_cast<uint32_t>(items_.size());
  items_.push_back(Item{storeWord(key), static_cast<uint32_t>(key.size()), 0});
  uint32_t i = hash & slotMask_;
  while (slots_[i].item != 0)
    i = (i + 1) & slotMask_;
  slots_[i] = Slot{index + 1, hash};
  return index;
}

THashStrings::Item& THashStrings::findOrInsert(std::string_view word)
{
  const std::string_view key = folded(word, scratch_);
  const uint32_t h = hashWord(key);
  const int64_t found = find(key, h);
  sortState_ = ssUnsorted;
  if (found >= 0)
    return items_[static_cast<size_t>(found)];
  return items_[insert(key, h)];
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

void THashStrings::AddCount(std::string_view word, int32_t n)
{
  changeCount(findOrInsert(word), n);
}

int32_t THashStrings::CountOf(std::string_view word) const
{
  std::string scratch;
  const std::string_view key = folded(word, scratch);
  const int64_t found = find(key, hashWord(key));
  return found < 0 ? 0 : items_[static_cast<size_t>(found)].count;
}

std::string_view THashStrings::Strings(int32_t index) const
{
  const Item& it = items_.at(static_cast<size_t>(index));
  return std::string_view(it.word, it.length);
}

int32_t THashStrings::Counts(int32_t index) const
{
  return items_.at(static_cast<size_t>(index)).count;
}

void THashStrings::Sort(int mode)
{
  if (mode == sortState_)
    return;
  if (mode == ssByWord) {
    const uint16_t lang = languageOf(lcid_);
    std::sort(items_.begin(), items_.end(), [lang](const Item& a, const Item& b) {
      return platform::compareText(lang, std::string_view(a.word, a.length),
                                   std::string_view(b.word, b.length), false) < 0;
    });
  } else if (mode == ssByCount) {
    std::stable_sort(items_.begin(), items_.end(),
                     [](const Item& a, const Item& b) { return a.count > b.count; });
  } else {
    sortState_ = ssUnsorted;
    return;
  }
  rebuildSlots();
  sortState_ = static_cast<uint8_t>(mode);
}

void THashStrings::Clear()
{
  items_.clear();
  items_.shrink_to_fit();
  slots_.clear();
  slots_.shrink_to_fit();
  slotMask_ = 0;
  chunks_.clear();
  chunkSize_ = chunkUsed_ = chunkBytes_ = 0;
  histogram_.clear();
  topDirty_ = true;
  sortState_ = ssUnsorted;
}

void THashStrings::countChanged(int32_t oldCount, int32_t newCount)
{
  if (oldCount > 0) {
    auto it = histogram_.find(oldCount);
    if (it != histogram_.end() && --it->second == 0)
      histogram_.erase(it);
  }
  if (newCount > 0)
    ++histogram_[newCount];
  topDirty_ = true;
}

void THashStrings::rebuildHistogram()
{
  histogram_.clear();
  for (const Item& it : items_)
    if (it.count > 0)
      ++histogram_[it.count];
  topDirty_ = true;
}

void THashStrings::SetTopLimit(int32_t limit)
{
  limit = std::clamp<int32_t>(limit, 0, MaxTopCounts);
  if (limit == 0)
    histogram_.clear();
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
  for (auto it = histogram_.begin(); it != histogram_.end() && topUsed_ < topLimit_; ++it)
    topCounts_[topUsed_++] = *it;
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
  refreshTop();
  for (int32_t i = 0; i < topUsed_; ++i)
    if (topCounts_[i].first == count)
      return i;
  return -1;
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
  for (const Item& it : items_) {
    const auto length = static_cast<int32_t>(std::min<size_t>(it.length, MaxStoredWordLength));
    putInt32(data, length);
    data.append(it.word, static_cast<size_t>(length));
    putInt32(data, it.count);
  }
  platform::writeFileAtomically(fileName, data);
}

void THashStrings::LoadFromFile(const std::string& fileName)
{
  Clear();
  std::string data;
  {
    std::ifstream in(fileName, std::ios::binary);
    if (!in)
      throw std::runtime_error("Unable to open file: " + fileName + ".");
    data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad())
      throw std::runtime_error("Invalid frequency file: " + fileName);
  }
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
  // A map node holds the pair plus three pointers and a colour word.
  constexpr size_t MapNodeBytes = sizeof(std::pair<const int32_t, int32_t>) + 32;
  return items_.capacity() * sizeof(Item) + slots_.capacity() * sizeof(Slot) + chunkBytes_ +
         chunks_.capacity() * sizeof(chunks_[0]) + histogram_.size() * MapNodeBytes;
}
