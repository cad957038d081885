#include "search/concord_items.h"

#include "foundation/buf_stream.h"
#include "foundation/buf_stream_config.h"
#include "foundation/chartables.h"
#include "foundation/corpus_list.h"
#include "foundation/hash_strings.h"
#include "foundation/hit_location.h"
#include "foundation/tag_scan.h"
#include "platform/codepage.h"
#include "search/hit_line.h"
#include "search/quick_sort.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <deque>
#include <numeric>
#include <stdexcept>
#include <unordered_map>

// --- TConcordItem -------------------------------------------------------------

struct TConcordItem::Extras {
  TSVFormatArray Spans;
  bool SpansBuilt = false;
  std::string TagValue;
  bool HasTagValue = false;
  // Word positions that lie too far from the hit for the compact offsets.
  bool FarPositions = false;
  std::array<int32_t, 2 * (SlotCount - 1)> Positions{};
};

TConcordItem::TConcordItem()
{
  CollocRanks.fill(-1);
}

TConcordItem::~TConcordItem() = default;

TConcordItem::Extras& TConcordItem::extras()
{
  if (!extras_)
    extras_ = std::make_unique<Extras>();
  return *extras_;
}

std::string_view TConcordItem::Word(int slot) const
{
  if (slot < 0 || slot >= SlotCount || !HasWord(slot))
    return {};
  size_t offset = 0;
  for (int s = 0; s < slot; ++s)
    if (HasWord(s))
      offset += length_[s];
  return {words_.get() + offset, length_[slot]};
}

int32_t TConcordItem::WordStart(int slot) const
{
  if (slot <= 0 || slot >= SlotCount || !HasWord(slot))
    return 0;
  const size_t i = 2 * size_t(slot - 1);
  if (extras_ && extras_->FarPositions)
    return extras_->Positions[i];
  return (slot <= ctx1L ? HitStart : HitEnd) + offsets_[i];
}

int32_t TConcordItem::WordEnd(int slot) const
{
  if (slot <= 0 || slot >= SlotCount || !HasWord(slot))
    return 0;
  const size_t i = 2 * size_t(slot - 1) + 1;
  if (extras_ && extras_->FarPositions)
    return extras_->Positions[i];
  return (slot <= ctx1L ? HitStart : HitEnd) + offsets_[i];
}

void TConcordItem::SetWords(const std::array<TWordEntry, SlotCount>& words)
{
  size_t total = 0;
  for (const TWordEntry& w : words)
    if (w.Present)
      total += std::min<size_t>(w.Text.size(), 255);
  std::unique_ptr<char[]> block(total ? new char[total] : nullptr);
  uint16_t present = 0;
  uint8_t length[SlotCount] = {};
  size_t at = 0;
  for (int s = 0; s < SlotCount; ++s) {
    const TWordEntry& w = words[size_t(s)];
    if (!w.Present)
      continue;
    present = uint16_t(present | (1u << s));
    length[s] = uint8_t(std::min<size_t>(w.Text.size(), 255));
    if (length[s])
      std::memcpy(block.get() + at, w.Text.data(), length[s]);
    at += length[s];
  }

  // Positions relative to the hit; when one does not fit, all are kept whole.
  int16_t offsets[2 * (SlotCount - 1)] = {};
  bool far = false;
  std::array<int32_t, 2 * (SlotCount - 1)> positions{};
  for (int s = 1; s < SlotCount; ++s) {
    const TWordEntry& w = words[size_t(s)];
    if (!w.Present)
      continue;
    const int64_t base = s <= ctx1L ? HitStart : HitEnd;
    const size_t i = 2 * size_t(s - 1);
    positions[i] = w.Start;
    positions[i + 1] = w.End;
    for (size_t k : {i, i + 1}) {
      const int64_t d = int64_t(positions[k]) - base;
      if (d < INT16_MIN || d > INT16_MAX)
        far = true;
      else
        offsets[k] = int16_t(d);
    }
  }

  words_ = std::move(block);
  present_ = present;
  std::memcpy(length_, length, sizeof length_);
  std::memcpy(offsets_, offsets, sizeof offsets_);
  if (far) {
    extras().FarPositions = true;
    extras().Positions = positions;
  } else if (extras_) {
    extras_->FarPositions = false;
  }
}

const std::string* TConcordItem::TrackedTagValue() const
{
  return extras_ && extras_->HasTagValue ? &extras_->TagValue : nullptr;
}

void TConcordItem::SetTrackedTagValue(std::string value)
{
  Extras& e = extras();
  e.TagValue = std::move(value);
  e.HasTagValue = true;
}

void TConcordItem::ClearTrackedTagValue()
{
  if (extras_) {
    extras_->TagValue.clear();
    extras_->HasTagValue = false;
  }
}

TSVFormatArray& TConcordItem::Spans()
{
  Extras& e = extras();
  e.SpansBuilt = true;
  return e.Spans;
}

const TSVFormatArray* TConcordItem::BuiltSpans() const
{
  return extras_ && extras_->SpansBuilt ? &extras_->Spans : nullptr;
}

int32_t TContextSetting::Size() const
{
  const int type = Type <= 3 ? Type : 0;
  return ClampContextSize(type, Sizes[size_t(type)]);
}

// --- TConcordItems ------------------------------------------------------------

namespace {

const char* const kOutOfMemoryLine = "<out of memory>";

// The reader of a hit's corpus item.
TBufStream& HitReader(int32_t fileIndex)
{
  if (fileIndex < 0 || fileIndex >= CorpusList.Count() || !CorpusList[fileIndex].Reader)
    throw std::out_of_range("The hit's corpus item is not loaded.");
  return *CorpusList[fileIndex].Reader;
}

bool IsWordKey(uint8_t key)
{
  return key <= ctx4R;
}

// The key table has rows for 0..9, 11 and 12; any other code compares equal.
bool IsKnownKey(uint8_t key)
{
  return key <= ctxOrig || key == ctxDefined || key == ctxTrackedTag;
}

// A word as the word keys compare it: without the skipping characters when
// they are in use at sort time.
class WordKeyText {
public:
  WordKeyText()
    : strip_(ConcordSettings.UseSkipEqualChars && !ConcordSettings.SkippingChars.empty())
  {
    for (unsigned char c : SingleByteChars(ConcordSettings.SkippingChars))
      skip_[c] = true;
  }
  bool Strips() const { return strip_; }
  std::string Apply(std::string_view word) const
  {
    std::string out;
    out.reserve(word.size());
    if (page_.dbcs) {
      // Only characters of one byte are skipped; a trail byte never is.
      for (size_t i = 0; i < word.size();) {
        const size_t n = platform::charBytesAt(page_, word, i);
        if (n == 2 || !skip_[static_cast<unsigned char>(word[i])])
          out.append(word, i, n);
        i += n;
      }
      return out;
    }
    for (unsigned char c : word)
      if (!skip_[c])
        out.push_back(char(c));
    return out;
  }

private:
  bool strip_;
  bool skip_[256] = {};
  const platform::CodePage& page_ = platform::codePage(AnsiCodePage);
};

// Bytes compared from the end, lower-cased one character at a time when
// ignoring case; a word that runs out first (a suffix of the other) sorts
// first.
int ReverseCompare(std::string_view a, std::string_view b, bool ignoreCase)
{
  const platform::CodePage& page = platform::codePage(AnsiCodePage);
  if (page.dbcs) {
    // Characters from the end, each compared as its bytes; only characters
    // of one byte are lower-cased.
    const auto starts = [&page](std::string_view w) {
      std::vector<size_t> at;
      for (size_t i = 0; i < w.size(); i += platform::charBytesAt(page, w, i))
        at.push_back(i);
      return at;
    };
    const std::vector<size_t> sa = starts(a);
    const std::vector<size_t> sb = starts(b);
    // The k-th character of w, whose characters begin at s.
    const auto charOf = [](std::string_view w, const std::vector<size_t>& s, size_t k) {
      return std::string(w.substr(s[k], (k + 1 < s.size() ? s[k + 1] : w.size()) - s[k]));
    };
    size_t i = sa.size();
    size_t j = sb.size();
    while (i > 0 && j > 0) {
      std::string x = charOf(a, sa, --i);
      std::string y = charOf(b, sb, --j);
      if (ignoreCase) {
        if (x.size() == 1)
          x[0] = LocaleLowerChar(x[0]);
        if (y.size() == 1)
          y[0] = LocaleLowerChar(y[0]);
      }
      if (const int c = x.compare(y); c != 0)
        return c < 0 ? -1 : 1;
    }
    if (i == 0 && j == 0)
      return 0;
    return i == 0 ? -1 : 1;
  }
  size_t i = a.size();
  size_t j = b.size();
  while (i > 0 && j > 0) {
    char x = a[--i];
    char y = b[--j];
    if (ignoreCase) {
      x = LocaleLowerChar(x);
      y = LocaleLowerChar(y);
    }
    if (x != y)
      return static_cast<unsigned char>(x) < static_cast<unsigned char>(y) ? -1 : 1;
  }
  if (i == 0 && j == 0)
    return 0;
  return i == 0 ? -1 : 1;
}

int CompareWords(std::string_view a, std::string_view b, bool reverse)
{
  const bool ignoreCase = ConcordSettings.IgnoreCase;
  return reverse ? ReverseCompare(a, b, ignoreCase) : LocaleCompare(a, b, ignoreCase);
}

int Sign(int64_t v)
{
  return v < 0 ? -1 : v > 0 ? 1 : 0;
}

// Ranks texts so that comparing ranks gives the comparison of the texts:
// each distinct text is compared once, equal texts share a rank.
template <class Compare>
std::vector<int32_t> RankTexts(const std::vector<std::string_view>& distinct, Compare compare)
{
  std::vector<int32_t> order(distinct.size());
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(),
            [&](int32_t x, int32_t y) { return compare(distinct[size_t(x)], distinct[size_t(y)]) < 0; });
  std::vector<int32_t> rank(distinct.size());
  int32_t r = 0;
  for (size_t k = 0; k < order.size(); ++k) {
    if (k > 0 && compare(distinct[size_t(order[k - 1])], distinct[size_t(order[k])]) != 0)
      r = int32_t(k);
    rank[size_t(order[k])] = r;
  }
  return rank;
}

// The same for the locale comparison, through one order key per text; the
// first eight bytes of each key, as a number, settle most comparisons.
std::vector<int32_t> RankByLocale(const std::vector<std::string_view>& distinct, bool ignoreCase)
{
  std::vector<std::string> keys;
  keys.reserve(distinct.size());
  std::vector<uint64_t> prefix;
  prefix.reserve(distinct.size());
  for (std::string_view text : distinct) {
    keys.push_back(LocaleOrderKey(text, ignoreCase));
    uint64_t p = 0;
    for (size_t i = 0; i < 8; ++i)
      p = (p << 8) | (i < keys.back().size() ? static_cast<unsigned char>(keys.back()[i]) : 0u);
    prefix.push_back(p);
  }
  auto compare = [&](int32_t x, int32_t y) {
    if (prefix[size_t(x)] != prefix[size_t(y)])
      return prefix[size_t(x)] < prefix[size_t(y)] ? -1 : 1;
    return keys[size_t(x)].compare(keys[size_t(y)]);
  };
  std::vector<int32_t> order(distinct.size());
  std::iota(order.begin(), order.end(), 0);
  std::sort(order.begin(), order.end(), [&](int32_t x, int32_t y) { return compare(x, y) < 0; });
  std::vector<int32_t> rank(distinct.size());
  int32_t r = 0;
  for (size_t k = 0; k < order.size(); ++k) {
    if (k > 0 && compare(order[k - 1], order[k]) != 0)
      r = int32_t(k);
    rank[size_t(order[k])] = r;
  }
  return rank;
}

// Collects the distinct texts of the items; id -1 for an item without one.
class DistinctTexts {
public:
  explicit DistinctTexts(size_t expected) { ids_.reserve(expected); }
  int32_t Add(std::string_view text)
  {
    auto [it, inserted] = ids_.try_emplace(text, int32_t(texts_.size()));
    if (inserted)
      texts_.push_back(text);
    return it->second;
  }
  // Keeps a copy whose view stays valid.
  std::string_view Keep(std::string text) { return store_.emplace_back(std::move(text)); }
  const std::vector<std::string_view>& Texts() const { return texts_; }

private:
  std::deque<std::string> store_;
  std::unordered_map<std::string_view, int32_t> ids_;
  std::vector<std::string_view> texts_;
};

// The rank of every item for one key, in the items' current order.
std::vector<int32_t> RankKey(const TConcordItems::TItemList& items, uint8_t key, bool reverse)
{
  const size_t n = items.size();
  std::vector<int32_t> out(n);
  if (key == ctxOrig) {
    for (size_t i = 0; i < n; ++i)
      out[i] = items[i]->HitNumber;
    return out;
  }
  if (key == ctxDefined) {
    for (size_t i = 0; i < n; ++i)
      out[i] = items[i]->Letter;
    return out;
  }
  DistinctTexts distinct(n / 4 + 16);
  std::vector<int32_t> ids(n, -1);
  if (key == ctxTrackedTag) {
    for (size_t i = 0; i < n; ++i)
      if (const std::string* v = items[i]->TrackedTagValue())
        ids[i] = distinct.Add(*v);
    const std::vector<int32_t> rank = RankByLocale(distinct.Texts(), ConcordSettings.IgnoreCase);
    // A missing value sorts before every present one.
    for (size_t i = 0; i < n; ++i)
      out[i] = ids[i] < 0 ? -1 : rank[size_t(ids[i])];
    return out;
  }
  const WordKeyText wordText;
  for (size_t i = 0; i < n; ++i) {
    if (!items[i]->HasWord(key))
      continue;
    std::string_view w = items[i]->Word(key);
    if (wordText.Strips())
      w = distinct.Keep(wordText.Apply(w));
    ids[i] = distinct.Add(w);
  }
  const bool ignoreCase = ConcordSettings.IgnoreCase;
  const std::vector<int32_t> rank =
    reverse ? RankTexts(distinct.Texts(),
                        [&](std::string_view a, std::string_view b) { return ReverseCompare(a, b, ignoreCase); })
            : RankByLocale(distinct.Texts(), ignoreCase);
  // An absent word sorts after every present one, whatever the direction.
  for (size_t i = 0; i < n; ++i)
    out[i] = ids[i] < 0 ? INT32_MAX : rank[size_t(ids[i])];
  return out;
}

// A rank as an unsigned number of the same order.
uint64_t Biased(int32_t rank)
{
  return uint64_t(uint32_t(rank) ^ 0x80000000u);
}

// The hits' order by their ranks (ranks[k][i]: key k of hit i), as positions
// into the hit list. The ranks of two keys share one number.
std::vector<uint32_t> SortByRanks(const std::vector<std::vector<int32_t>>& ranks, size_t n)
{
  const size_t words = (ranks.size() + 1) / 2;
  std::vector<uint64_t> packed(n * std::max<size_t>(words, 1), 0);
  for (size_t k = 0; k < ranks.size(); ++k)
    for (size_t i = 0; i < n; ++i)
      packed[i * words + k / 2] |= Biased(ranks[k][i]) << (k % 2 ? 0 : 32);
  std::vector<uint32_t> order(n);
  if (words <= 1) {
    struct Entry {
      uint64_t key;
      uint32_t index;
    };
    std::vector<Entry> entries(n);
    for (size_t i = 0; i < n; ++i)
      entries[i] = {packed[i], uint32_t(i)};
    search::QuickSort(entries, 0, int64_t(n) - 1, [](const Entry& x, const Entry& y) {
      return x.key == y.key ? 0 : (x.key < y.key ? -1 : 1);
    });
    for (size_t i = 0; i < n; ++i)
      order[i] = entries[i].index;
    return order;
  }
  std::iota(order.begin(), order.end(), 0u);
  search::QuickSort(order, 0, int64_t(n) - 1, [&](uint32_t x, uint32_t y) {
    const uint64_t* px = packed.data() + size_t(x) * words;
    const uint64_t* py = packed.data() + size_t(y) * words;
    for (size_t w = 0; w < words; ++w)
      if (px[w] != py[w])
        return px[w] < py[w] ? -1 : 1;
    return 0;
  });
  return order;
}

void ConcealRuns(std::string& line, const TSVFormatArray& runs, bool hits, bool collocates)
{
  for (const TSVFormatInfo& run : runs) {
    if (!(run.Hilite ? hits : collocates))
      continue;
    const int64_t from = std::max<int64_t>(run.Start - 1, 0);
    const int64_t to = std::min<int64_t>(int64_t(run.Start) - 1 + run.Length, int64_t(line.size()));
    for (int64_t i = from; i < to; ++i)
      line[size_t(i)] = '-';
  }
}

}  // namespace

TConcordItems::TConcordItems() = default;
TConcordItems::~TConcordItems() = default;

void TConcordItems::PutItem(int32_t index, std::unique_ptr<TConcordItem> hit)
{
  countPending();
  items_.at(size_t(index)) = std::move(hit);
  collocHitsDeleted();  // the old hit's words stay counted, the new hit's are not
}

void TConcordItems::AddItem(std::unique_ptr<TConcordItem> hit)
{
  // While highlighting over valid tables, the new hit is counted and ranked
  // as it arrives (the tables are not re-sorted, nor earlier hits
  // re-ranked); the counting itself may wait for the next appends.
  // Otherwise it is not counted, and the tables stop being valid.
  const bool count = HighlightCollocates && tablesComplete(CollocFirst, CollocLast);
  items_.push_back(std::move(hit));
  if (count)
    queueCollocates(*items_.back());
}

void TConcordItems::DeleteItem(int32_t index)
{
  if (index < 0 || index >= Count())
    throw std::out_of_range("TConcordItems::DeleteItem: index out of range");
  countPending();
  items_.erase(items_.begin() + index);
  collocHitsDeleted();
}

void TConcordItems::collocHitsDeleted()
{
  if (collocCounted_ > 0)
    collocStale_ = true;
}

int32_t TConcordItems::DeleteItemsIf(const TItemPicker& pick)
{
  countPending();
  std::vector<bool> doomed(items_.size());
  int32_t count = 0;
  for (size_t i = 0; i < items_.size(); ++i)
    if (pick(int32_t(i), *items_[i])) {
      doomed[i] = true;
      ++count;
    }
  if (count > 0)
    Compact(doomed);
  return count;
}

int32_t TConcordItems::DeleteItems(std::vector<int32_t> indices)
{
  if (indices.empty())
    return 0;
  std::sort(indices.begin(), indices.end());
  indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
  if (indices.front() < 0 || indices.back() >= Count())
    throw std::out_of_range("TConcordItems::DeleteItems: index out of range");
  std::vector<bool> doomed(items_.size());
  for (int32_t i : indices)
    doomed[size_t(i)] = true;
  Compact(doomed);
  return int32_t(indices.size());
}

void TConcordItems::Compact(const std::vector<bool>& doomed)
{
  countPending();
  size_t kept = 0;
  for (size_t i = 0; i < items_.size(); ++i) {
    if (doomed[i]) {
      items_[i].reset();
      continue;
    }
    if (kept != i)
      items_[kept] = std::move(items_[i]);
    ++kept;
  }
  items_.resize(kept);
  collocHitsDeleted();
}

int TConcordItems::CompareByKey(const TConcordItem& a, const TConcordItem& b, uint8_t key, bool reverse)
{
  switch (key) {
  case ctxOrig:
    return Sign(int64_t(a.HitNumber) - b.HitNumber);
  case ctxDefined:
    return Sign(int(a.Letter) - int(b.Letter));
  case ctxTrackedTag: {
    const std::string* x = a.TrackedTagValue();
    const std::string* y = b.TrackedTagValue();
    if (x && y)
      return LocaleCompare(*x, *y, ConcordSettings.IgnoreCase);
    if (!x && !y)
      return 0;
    return x ? 1 : -1;
  }
  default:
    break;
  }
  if (!IsWordKey(key))
    return 0;
  const bool hasA = a.HasWord(key);
  const bool hasB = b.HasWord(key);
  if (!hasA || !hasB)
    return hasA == hasB ? 0 : (hasA ? -1 : 1);
  const WordKeyText wordText;
  if (wordText.Strips())
    return CompareWords(wordText.Apply(a.Word(key)), wordText.Apply(b.Word(key)), reverse);
  return CompareWords(a.Word(key), b.Word(key), reverse);
}

int TConcordItems::CompareItems(const TConcordItem& a, const TConcordItem& b) const
{
  if (!CustomKeys.empty()) {
    for (const TAdvancedSortColItem& k : CustomKeys)
      if (int r = CompareByKey(a, b, k.Key, k.Reverse))
        return r;
    return 0;
  }
  for (const TSortKey& k : SortKeys) {
    if (k.Key == ctxNone)
      continue;
    if (int r = CompareByKey(a, b, k.Key, k.Reverse))
      return r;
  }
  return 0;
}

void TConcordItems::SortItems(const TAdvancedSortColOptions& sortSpec, const std::vector<TAdvancedSortColItem>* customKeys)
{
  countPending();
  SortKeys = {TSortKey{sortSpec.First, sortSpec.FirstReverse}, TSortKey{sortSpec.Second, sortSpec.SecondReverse},
              TSortKey{sortSpec.Third, sortSpec.ThirdReverse}};
  // An empty customised list counts as none.
  CustomKeys = customKeys ? *customKeys : std::vector<TAdvancedSortColItem>{};

  std::vector<TSortKey> keys;
  if (!CustomKeys.empty()) {
    for (const TAdvancedSortColItem& k : CustomKeys)
      keys.push_back({k.Key, k.Reverse});
  } else {
    for (const TSortKey& k : SortKeys)
      if (k.Key != ctxNone)
        keys.push_back(k);
  }

  bool needsTags = std::any_of(SortKeys.begin(), SortKeys.end(),
                               [](const TSortKey& k) { return k.Key == ctxTrackedTag; });
  if (!needsTags)
    needsTags = std::any_of(CustomKeys.begin(), CustomKeys.end(),
                            [](const TAdvancedSortColItem& k) { return k.Key == ctxTrackedTag; });
  if (needsTags && !sortSpec.TagName.empty()) {
    int32_t index = -1;
    for (size_t t = 0; t < WatchedTags.size(); ++t)
      if (WatchedTags[t].Name == sortSpec.TagName) {
        index = int32_t(t);
        break;
      }
    if (index != TagIndex) {
      TagIndex = index;
      if (index >= 0)
        for (const auto& hit : items_)
          hit->SetTrackedTagValue(GetTrackedTagValue(hit->FileIndex, hit->HitStart, index));
    }
  }

  const size_t n = items_.size();
  if (n < 2)
    return;
  keys.erase(std::remove_if(keys.begin(), keys.end(), [](const TSortKey& k) { return !IsKnownKey(k.Key); }),
             keys.end());
  // Each key ranks the hits once; the sort then compares ranks only.
  std::vector<std::vector<int32_t>> ranks;
  for (const TSortKey& k : keys)
    ranks.push_back(RankKey(items_, k.Key, k.Reverse));
  const std::vector<uint32_t> order = SortByRanks(ranks, n);
  TItemList sorted;
  sorted.reserve(n);
  for (uint32_t i : order)
    sorted.push_back(std::move(items_[i]));
  items_ = std::move(sorted);
}

void TConcordItems::ClearTagValues()
{
  for (const auto& hit : items_)
    hit->ClearTrackedTagValue();
  TagIndex = -1;
}

std::string TConcordItems::BuildHitLineWithOptions(TConcordItem& hit, const TContextSetting& context,
                                                   TSVFormatArray& spans, TColor collocColour, int32_t rankCount,
                                                   uint8_t collocFirst, uint8_t collocLast, bool suppressTags,
                                                   bool suppressPartOfSpeech, bool suppressWords)
{
  try {
    TBufStream& reader = HitReader(hit.FileIndex);
    ConfigureBufStream(reader);
    reader.ResetTagState();
    return BuildHitLine(reader, hit, context.Type, collocColour, rankCount, collocFirst, collocLast, spans,
                        VisibleClassMask(suppressTags, suppressPartOfSpeech, suppressWords), context.Size());
  } catch (...) {
    spans.clear();
    return kOutOfMemoryLine;
  }
}

std::string TConcordItems::GetLine(int32_t index)
{
  TConcordItem& hit = *GetItem(index);
  uint8_t first = 10;
  uint8_t last = 10;
  int32_t rankCount = 0;
  // Tables that are missing (a cancelled generation freed them) mean no marking.
  if (HighlightCollocates && CollocTablesValid(CollocFirst, CollocLast)) {
    first = CollocFirst;
    last = CollocLast;
    rankCount = std::max(1, CollocTables[first]->TopLimit());
  }
  TSVFormatArray& spans = hit.Spans();
  std::string line = BuildHitLineWithOptions(hit, Context, spans, CollocColour, rankCount, first, last,
                                             SuppressTags, SuppressPartOfSpeech, SuppressWords);
  if (ConcealHits || ConcealCollocates)
    ConcealRuns(line, spans, ConcealHits, ConcealCollocates);
  return line;
}

std::string TConcordItems::GetHitText(int32_t index)
{
  std::string line = GetLine(index);
  for (const TSVFormatInfo& run : GetItem(index)->Spans()) {
    if (!run.Hilite)
      continue;
    const int64_t from = std::clamp<int64_t>(run.Start - 1, 0, int64_t(line.size()));
    const int64_t length = std::clamp<int64_t>(run.Length, 0, int64_t(line.size()) - from);
    return line.substr(size_t(from), size_t(length));
  }
  return line;
}

// --- TConcordStrings ------------------------------------------------------------

void TConcordStrings::Clear()
{
  throw std::runtime_error("\"Clear\" is unsupported method for TConcordStrings");
}

void TConcordStrings::Insert(int32_t, const std::string&)
{
  throw std::runtime_error("\"Insert\" is unsupported method for TConcordStrings");
}

void TConcordStrings::Add(const std::string& text)
{
  Insert(Count(), text);
}
