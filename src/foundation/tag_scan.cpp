#include "foundation/tag_scan.h"

#include "foundation/chartables.h"
#include "foundation/corpus_list.h"
#include "foundation/hash_strings.h"
#include "foundation/indexed_stream.h"
#include "foundation/abort.h"
#include "foundation/byte_scan.h"
#include "foundation/buf_stream_config.h"
#include "foundation/dialogs.h"
#include "foundation/settings.h"
#include "foundation/utils.h"
#include "platform/file_ops.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <thread>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

std::vector<TWatchedTag> WatchedTags;
bool TagScanCancelled = false;
bool ForceScalarWordCount = false;

namespace {

// Byte classes of the word count.
enum : uint8_t { kDelimiter = 1, kTagStart = 2, kWordTagFirst = 4 };

constexpr size_t MaxBlankText = 254;   // text before a final "#"
constexpr size_t MaxStoredWord = 255;  // characters of a word added to the table

inline bool isBlankByte(unsigned char c) { return c == '\r' || c == '\n' || c == ' '; }

void fillStopSet(bool (&set)[256], char stop)
{
  std::fill(std::begin(set), std::end(set), false);
  if (stop == '#')
    set['\r'] = set['\n'] = set[' '] = true;
  else
    set[static_cast<unsigned char>(stop)] = true;
}

// A text that ends in "#" is searched without it and must be followed by
// CR, LF or space.
std::string searchText(const std::string& text, bool& mustEndAtBlank)
{
  mustEndAtBlank = !text.empty() && text.back() == '#';
  if (!mustEndAtBlank)
    return text;
  return text.substr(0, std::min(text.size() - 1, MaxBlankText));
}

}  // namespace

// Membership of every byte of a 32-byte block in two sets (word bytes, and
// bytes that may start a tag), with AVX2 where the processor has it: each
// set is looked up by the byte's low nibble (one table for high nibbles 0
// to 7, one for 8 to 15), then tested against the bit of its high nibble.
struct TTagScanner::ByteSets {
  struct Set {
    alignas(32) uint8_t rowsLow[32];   // bit h: byte (h << 4 | lo) is in the set, h 0..7
    alignas(32) uint8_t rowsHigh[32];  // the same for h 8..15
  };
  Set word;
  Set special;

  static void fill(Set& set, const bool (&member)[256])
  {
    std::memset(&set, 0, sizeof set);
    for (int b = 0; b < 256; ++b) {
      if (!member[b])
        continue;
      const int lo = b & 15, hi = b >> 4;
      uint8_t* rows = hi < 8 ? set.rowsLow : set.rowsHigh;
      rows[lo] |= uint8_t(1u << (hi & 7));
      rows[lo + 16] |= uint8_t(1u << (hi & 7));
    }
  }

  static bool available() { return CpuHasAvx2(); }

  // Counts word starts in whole blocks from j until a block holds a byte of
  // the special set, which it reaches exactly; the new position.
  int32_t countWords(const unsigned char* p, int32_t j, int32_t length, unsigned& prev, int64_t& starts) const;
};

#if defined(__x86_64__) && defined(__GNUC__)
namespace {

__attribute__((target("avx2"))) inline uint32_t membersOf(__m256i v, __m256i hiNibbles, __m256i isHigh,
                                                         __m256i loNibbles, const TTagScanner::ByteSets::Set& set)
{
  const __m256i bits = _mm256_setr_epi8(1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128, 1, 2, 4, 8, 16,
                                        32, 64, -128, 1, 2, 4, 8, 16, 32, 64, -128);
  const __m256i rowsLow = _mm256_load_si256(reinterpret_cast<const __m256i*>(set.rowsLow));
  const __m256i rowsHigh = _mm256_load_si256(reinterpret_cast<const __m256i*>(set.rowsHigh));
  const __m256i rows =
    _mm256_blendv_epi8(_mm256_shuffle_epi8(rowsLow, loNibbles), _mm256_shuffle_epi8(rowsHigh, loNibbles), isHigh);
  const __m256i bit = _mm256_shuffle_epi8(bits, hiNibbles);
  const __m256i none = _mm256_cmpeq_epi8(_mm256_and_si256(rows, bit), _mm256_setzero_si256());
  return ~static_cast<uint32_t>(_mm256_movemask_epi8(none));
}

__attribute__((target("avx2"))) int32_t countWordsAvx2(const unsigned char* p, int32_t j, int32_t length,
                                                       unsigned& prev, int64_t& starts,
                                                       const TTagScanner::ByteSets& sets)
{
  const __m256i nibble = _mm256_set1_epi8(0x0F);
  unsigned carry = prev;
  int64_t count = 0;
  while (length - j >= 32) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + j));
    const __m256i lo = _mm256_and_si256(v, nibble);
    const __m256i hi = _mm256_and_si256(_mm256_srli_epi16(v, 4), nibble);
    const __m256i isHigh = _mm256_cmpgt_epi8(_mm256_setzero_si256(), v);
    const uint32_t special = membersOf(v, hi, isHigh, lo, sets.special);
    uint32_t word = membersOf(v, hi, isHigh, lo, sets.word);
    int n = 32;
    if (special) {
      n = std::countr_zero(special);
      if (n == 0)
        break;
      word &= (1u << n) - 1u;
    }
    count += PopCount64(word & ~((word << 1) | carry));
    carry = (word >> (n - 1)) & 1u;
    j += n;
    if (n < 32)
      break;
  }
  prev = carry;
  starts += count;
  return j;
}

}  // namespace

int32_t TTagScanner::ByteSets::countWords(const unsigned char* p, int32_t j, int32_t length, unsigned& prev,
                                          int64_t& starts) const
{
  return countWordsAvx2(p, j, length, prev, starts, *this);
}
#else
int32_t TTagScanner::ByteSets::countWords(const unsigned char*, int32_t j, int32_t, unsigned&, int64_t&) const
{
  return j;
}
#endif

TWatchedTag TWatchedTag::Make(std::string name, std::string start, std::string stop)
{
  TWatchedTag t;
  t.Name = std::move(name);
  t.TagStart = std::move(start);
  t.TagStop = std::move(stop);
  t.StartLength = static_cast<int32_t>(t.TagStart.size());
  t.StopLength = static_cast<int32_t>(t.TagStop.size());
  t.Cocoa = t.TagStop.empty();
  return t;
}

TTagScanOptions TTagScanOptions::FromSettings(bool wantLines, bool wantPages, bool wantTags, bool countWords,
                                              THashStrings* wordTable)
{
  const ConcordConfig& cfg = ConcordSettings;
  TTagScanOptions o;
  o.lines = wantLines;
  if (wantPages)
    o.pageSeparator = cfg.PageSeparator;
  if (wantTags)
    o.tags = WatchedTags;
  o.countWords = countWords;
  o.wordTable = countWords ? wordTable : nullptr;
  o.delimiters = ScanDelimiterSet();
  o.skipTags = FrequencySettings.SkipTags;
  o.tagStart = cfg.TagStart;
  o.tagStop = cfg.TagStop;
  o.wordTagStyle = cfg.WordTag;
  o.wordTagStarts = cfg.wTagStarts;
  o.wordTagStop = cfg.wTagStop;
  return o;
}

TCharSet ScanDelimiterSet()
{
  const ConcordConfig& cfg = ConcordSettings;
  TCharSet set;
  BuildDelimiterSet(set);
  // A word and its embedded part-of-speech tag count as one word; #0 stays
  // a delimiter whatever the setting.
  if (cfg.WordTag != 2 && cfg.wTagDelimiter != 0)
    set.reset(static_cast<unsigned char>(cfg.wTagDelimiter));
  return set;
}

TTagScanner::TTagScanner(TTagScanOptions options, TIndexedStream* lineIndex, TIndexedStream* pageIndex,
                         TIndexedStream* tagIndex, int32_t chunkSize)
  : options_(std::move(options)), lines_(lineIndex), pages_(pageIndex), tags_(tagIndex), chunkSize_(chunkSize),
    buffer_(static_cast<size_t>(chunkSize) + 1)
{
  if (chunkSize < 2 * Overlap)
    throw std::invalid_argument("tag scan chunk too small");
  if (pages_)
    pageText_ = searchText(options_.pageSeparator, pageBlank_);
  if (!tags_)
    options_.tags.clear();
  for (size_t i = 0; i < options_.tags.size(); ++i) {
    const TWatchedTag& t = options_.tags[i];
    bool blank = false;
    tagTexts_.push_back(t.Cocoa ? t.TagStart : searchText(t.TagStart, blank));
    tagBlank_.push_back(blank);
    if (t.Cocoa)
      cocoaTags_.push_back(static_cast<int32_t>(i));
  }
  occurrences_.resize(options_.tags.size());
  lastWritten_.assign(options_.tags.size(), -1);
  row_.resize(options_.tags.size());
  fillStopSet(tagStopSet_, options_.tagStop);
  for (int c = 0; c < 256; ++c)
    cocoaNameEnd_[c] = options_.delimiters.test(size_t(c)) || tagStopSet_[c];

  for (int c = 0; c < 256; ++c)
    classes_[c] = options_.delimiters.test(size_t(c)) ? kDelimiter : 0;
  if (options_.skipTags && options_.tagStart != 0)
    classes_[static_cast<unsigned char>(options_.tagStart)] |= kTagStart;
  if (options_.skipTags && options_.wordTagStyle == 2) {
    for (const std::string& s : options_.wordTagStarts) {
      if (s.empty())
        continue;
      classes_[static_cast<unsigned char>(s[0])] |= kWordTagFirst;
      longestWordTagStart_ = std::max(longestWordTagStart_, s.size());
    }
  }
  fillStopSet(wordTagStopSet_, options_.wordTagStop);

  if (ByteSets::available() && !ForceScalarWordCount) {
    bool word[256], special[256];
    for (int c = 0; c < 256; ++c) {
      word[c] = classes_[c] == 0;
      special[c] = classes_[c] > kDelimiter;
    }
    byteSets_ = std::make_unique<ByteSets>();
    ByteSets::fill(byteSets_->word, word);
    ByteSets::fill(byteSets_->special, special);
  }
}

TTagScanner::~TTagScanner() = default;

void TTagScanner::Commit(int32_t count)
{
  if (count < 0 || count > Room())
    throw std::out_of_range("tag scan chunk overflow");
  const int32_t newStart = kept_;
  length_ = kept_ + count;
  const char* chunk = buffer_.data();
  if (count > 0) {
    if (lines_)
      scanLines(chunk, newStart, length_);
    if (pages_ && !pageText_.empty()) {
      found_.clear();
      findLiteral(pageText_, pageBlank_, chunk, newStart, length_, found_);
      for (int32_t p : found_)
        pages_->Add(offset_ + p);
    }
    if (tags_)
      scanTags(chunk, newStart, length_);
    if (options_.countWords)
      scanWords(chunk, length_, false);
    flushIndexes();
  }
  // The next chunk keeps this one's tail.
  const int32_t keep = std::min(Overlap, length_);
  if (keep < length_) {
    std::memmove(buffer_.data(), buffer_.data() + (length_ - keep), static_cast<size_t>(keep));
    wordFrom_ -= length_ - keep;
    offset_ += length_ - keep;
  }
  kept_ = keep;
  length_ = keep;
}

void TTagScanner::Finish()
{
  if (options_.countWords) {
    scanWords(buffer_.data(), length_, true);
    if (inWord_ && options_.wordTable)
      endWord(buffer_.data(), length_);
  }
  flushIndexes();
}

void TTagScanner::flushIndexes()
{
  if (lines_)
    lines_->Flush();
  if (pages_)
    pages_->Flush();
  if (tags_)
    tags_->Flush();
}

// Line ends among the new bytes, one rule for the whole file: a CR ends its
// line, and so does an LF that does not follow a CR (CR LF ends one line,
// at the CR). The byte before the first new one is the overlap's last byte.
void TTagScanner::scanLines(const char* chunk, int32_t newStart, int32_t length)
{
  const char* first = chunk + newStart;
  const char* end = chunk + length;
  const char* cr = static_cast<const char*>(std::memchr(first, '\r', size_t(end - first)));
  const char* lf = static_cast<const char*>(std::memchr(first, '\n', size_t(end - first)));
  while (cr || lf) {
    const char* p;
    if (cr && (!lf || cr < lf)) {
      p = cr;
      cr = static_cast<const char*>(std::memchr(p + 1, '\r', size_t(end - p - 1)));
    } else {
      p = lf;
      lf = static_cast<const char*>(std::memchr(p + 1, '\n', size_t(end - p - 1)));
      if (p > chunk && p[-1] == '\r')
        continue;
    }
    lines_->Add(offset_ + int32_t(p - chunk));
  }
}

// Occurrences of text that end among the new bytes (with mustEndAtBlank,
// whose following byte is among them and is CR, LF or space); positions in
// the chunk. Each occurrence is thus found in exactly one chunk.
void TTagScanner::findLiteral(std::string_view text, bool mustEndAtBlank, const char* chunk, int32_t newStart,
                              int32_t length, std::vector<int32_t>& out)
{
  const int32_t n = static_cast<int32_t>(text.size()) + (mustEndAtBlank ? 1 : 0);
  if (text.empty() || n > length)
    return;
  const int32_t from = std::max(0, newStart - (n - 1));
  // Candidates by their first byte, then the rest compared.
  const char first = text[0];
  const char* p = chunk + from;
  const char* last = chunk + length - n;  // the last place an occurrence may start
  while (p <= last) {
    const char* h = static_cast<const char*>(std::memchr(p, first, size_t(last - p) + 1));
    if (!h)
      break;
    if (std::memcmp(h + 1, text.data() + 1, text.size() - 1) == 0 &&
        (!mustEndAtBlank || isBlankByte(static_cast<unsigned char>(h[text.size()]))))
      out.push_back(int32_t(h - chunk));
    p = h + 1;
  }
}

// COCOA tags: the tag start character, a name, content and the stop within
// 512 bytes. A start whose stop may lie in the next chunk is carried there.
void TTagScanner::scanCocoa(const char* chunk, int32_t length, std::vector<std::vector<int32_t>>& found)
{
  const char startChar = options_.tagStart;
  int32_t i = std::max(cocoaNext_ - offset_, 0);
  cocoaNext_ = offset_ + length;
  if (startChar == 0)
    return;
  while (i < length) {
    const void* hit = std::memchr(chunk + i, startChar, size_t(length - i));
    if (!hit)
      break;
    const int32_t q = int32_t(static_cast<const char*>(hit) - chunk);
    const int32_t limit = std::min(length - 1, q + Overlap);
    int32_t s = q + 1;
    while (s <= limit && !tagStopSet_[static_cast<unsigned char>(chunk[s])])
      ++s;
    if (s > limit) {
      if (length - q < Overlap + 1) {  // the stop may still come: look again next chunk
        cocoaNext_ = offset_ + q;
        return;
      }
      i = q + 1;  // no stop within 512 bytes
      continue;
    }
    int32_t nameEnd = q + 1;
    while (nameEnd < s && !cocoaNameEnd_[static_cast<unsigned char>(chunk[nameEnd])])
      ++nameEnd;
    const std::string_view name(chunk + q + 1, size_t(nameEnd - q - 1));
    for (int32_t t : cocoaTags_)
      if (tagTexts_[size_t(t)] == name)
        found[size_t(t)].push_back(offset_ + q);
    i = s + 1;
  }
}

void TTagScanner::scanTags(const char* chunk, int32_t newStart, int32_t length)
{
  for (auto& list : occurrences_)
    list.clear();
  for (size_t t = 0; t < options_.tags.size(); ++t) {
    if (options_.tags[t].Cocoa)
      continue;
    found_.clear();
    findLiteral(tagTexts_[t], tagBlank_[t], chunk, newStart, length, found_);
    for (int32_t p : found_)
      occurrences_[t].push_back(offset_ + p);
  }
  if (!cocoaTags_.empty())
    scanCocoa(chunk, length, occurrences_);

  size_t rows = 0;
  for (const auto& list : occurrences_)
    rows = std::max(rows, list.size());
  for (size_t r = 0; r < rows; ++r) {
    for (size_t t = 0; t < occurrences_.size(); ++t) {
      if (r < occurrences_[t].size())
        lastWritten_[t] = occurrences_[t][r];
      row_[t] = lastWritten_[t];
    }
    tags_->AddRow(row_.data());
  }
}

void TTagScanner::endWord(const char* chunk, int32_t end)
{
  inWord_ = false;
  const std::string_view tail(chunk + wordFrom_, size_t(end - wordFrom_));
  if (word_.empty()) {
    options_.wordTable->Add(tail.substr(0, MaxStoredWord), true);
    return;
  }
  word_.append(tail.substr(0, MaxStoredWord - std::min(MaxStoredWord, word_.size())));
  options_.wordTable->Add(word_, true);
  word_.clear();
}

// Classifies the bytes not yet classified: words, delimiters, skipped
// markup and part-of-speech tags. A possible part-of-speech start string
// that runs past the chunk waits for the next chunk, unless atEnd.
void TTagScanner::scanWords(const char* chunk, int32_t length, bool atEnd)
{
  const auto* p = reinterpret_cast<const unsigned char*>(chunk);
  const uint8_t* classes = classes_;
  int32_t i = std::max(wordNext_ - offset_, 0);
  bool inWord = inWord_;
  bool inTag = inTag_;
  bool inWordTag = inWordTag_;
  if (inWord)
    wordFrom_ = i;
  int64_t words = words_;
  const auto finishWord = [&](int32_t end) {
    inWord = false;
    if (options_.wordTable)
      endWord(chunk, end);
  };
  const bool fast = options_.wordTable == nullptr;
  while (i < length) {
    if (fast && !inTag && !inWordTag) {
      // Plain words and delimiters without a branch per byte: a word starts
      // wherever a word byte follows a byte that is not one. Stops at the
      // first byte that may start a tag.
      unsigned prev = inWord ? 1u : 0u;
      int64_t starts = 0;
      int32_t j = i;
      if (byteSets_)
        j = byteSets_->countWords(p, j, length, prev, starts);
      for (; j < length; ++j) {
        const uint8_t k = classes[p[j]];
        if (k > kDelimiter)
          break;
        const unsigned w = k == 0 ? 1u : 0u;
        starts += w & (prev ^ 1u);
        prev = w;
      }
      words += starts;
      inWord = prev != 0;
      i = j;
      if (i >= length)
        break;
    }
    if (inTag) {
      while (i < length && !tagStopSet_[p[i]])
        ++i;
      if (i < length) {
        inTag = false;
        ++i;
      }
      continue;
    }
    if (inWordTag) {
      while (i < length && !wordTagStopSet_[p[i]])
        ++i;
      if (i < length) {
        inWordTag = false;
        ++i;
      }
      continue;
    }
    uint8_t k = classes[p[i]];
    if (k == 0) {
      if (!inWord) {
        inWord = true;
        ++words;
        wordFrom_ = i;
      }
      do
        ++i;
      while (i < length && classes[p[i]] == 0);
      continue;
    }
    if (k == kDelimiter) {
      if (inWord)
        finishWord(i);
      do
        ++i;
      while (i < length && classes[p[i]] == kDelimiter);
      continue;
    }
    if (k & kWordTagFirst) {
      bool matched = false;
      bool undecided = false;
      for (const std::string& s : options_.wordTagStarts) {
        if (s.empty() || static_cast<unsigned char>(s[0]) != p[i])
          continue;
        if (size_t(length - i) >= s.size()) {
          if (std::memcmp(p + i, s.data(), s.size()) == 0) {
            matched = true;
            break;
          }
        } else if (!atEnd && std::memcmp(p + i, s.data(), size_t(length - i)) == 0 && length - i < Overlap) {
          undecided = true;  // the rest of it arrives with the next chunk
          break;
        }
      }
      if (undecided)
        break;
      if (matched) {
        if (inWord)
          finishWord(i);
        inWordTag = true;
        ++i;
        continue;
      }
    }
    if (k & kTagStart) {
      if (inWord)
        finishWord(i);
      inTag = true;
      ++i;
      continue;
    }
    if (k & kDelimiter) {
      if (inWord)
        finishWord(i);
      ++i;
      continue;
    }
    // A first character of a start string that starts none is a word character.
    if (!inWord) {
      inWord = true;
      ++words;
      wordFrom_ = i;
    }
    ++i;
  }
  inWord_ = inWord;
  inTag_ = inTag;
  inWordTag_ = inWordTag;
  words_ = words;
  wordNext_ = offset_ + i;
  if (inWord && options_.wordTable && !atEnd) {
    // Keep the word's bytes so far; the chunk buffer moves on.
    const size_t room = MaxStoredWord - std::min(MaxStoredWord, word_.size());
    word_.append(chunk + wordFrom_, std::min(room, size_t(i - wordFrom_)));
    wordFrom_ = i;
  }
}

// --- the pass over one corpus item ------------------------------------------

namespace {

// The indexes one pass creates, with the entries they belong to.
struct NewIndex {
  TIndexEntry* entry = nullptr;
  std::string previousName;
  std::string fileName;
  std::unique_ptr<TIndexedStream> index;
};

void createIndex(NewIndex& n, TIndexEntry& entry, const char* prefix, int32_t columns, bool rowZero)
{
  n.entry = &entry;
  n.previousName = entry.FileName;
  n.fileName = MakeTempFileName(prefix);
  entry.FileName = n.fileName;
  n.index = TIndexedStream::Create(n.fileName, columns);
  n.index->TempCopy = true;
  if (rowZero)
    n.index->Add(0);
}

// Undoes what the pass created: the indexes, their files and, while the
// item is still in the corpus, their entries.
void discard(std::vector<NewIndex>& created, bool itemAlive)
{
  for (NewIndex& n : created) {
    n.index.reset();
    if (!n.fileName.empty())
      platform::fileops::unlink(n.fileName);
    if (itemAlive && n.entry && n.entry->FileName == n.fileName)
      n.entry->FileName = n.entry->Index ? n.previousName : std::string(" ");
  }
  created.clear();
}

}  // namespace

TTagScanResult CollectTagInfo(const std::string& fileName, bool wantLines, int32_t& words, bool multiFile,
                              bool wantTags, bool wantPages)
{
  if (TagScanCancelled)
    return TTagScanResult::Skipped;
  const int32_t j = CorpusList.IndexOf(fileName);
  if (j < 0)
    return TTagScanResult::Skipped;
  TCorpusItem* item = &CorpusList[j];
  TSynchroStream* source = item->Source.get();
  if (!source)
    return TTagScanResult::Skipped;
  auto* download = dynamic_cast<TDownloadStream*>(source);
  wantTags = wantTags && !WatchedTags.empty();
  const bool countWords = words < 1;

  std::vector<NewIndex> created;
  bool addingWords = false;
  THashStrings* wordTable = nullptr;
  try {
    if (wantPages)
      createIndex(created.emplace_back(), item->PageIndex, "PGT", 1, true);
    if (wantLines)
      createIndex(created.emplace_back(), item->LineIndex, "LNT", 1, true);
    if (wantTags)
      createIndex(created.emplace_back(), item->TagIndex, "WTT", static_cast<int32_t>(WatchedTags.size()), false);
    auto indexOf = [&created](TIndexEntry& entry) -> TIndexedStream* {
      for (NewIndex& n : created)
        if (n.entry == &entry)
          return n.index.get();
      return nullptr;
    };

    if (countWords && FrequencySettings.ScanTextsOnLoad) {
      if (!CorpusFreqList) {
        CorpusFreqList = std::make_unique<THashStrings>(4096, LanguageId);
        CorpusFreqList->FoldCase = FrequencySettings.IgnoreCase;
      }
      wordTable = CorpusFreqList.get();
      addingWords = true;
    }
    TTagScanner scanner(TTagScanOptions::FromSettings(wantLines, wantPages, wantTags, countWords, wordTable),
                        indexOf(item->LineIndex), indexOf(item->PageIndex), indexOf(item->TagIndex));

    // A download still arriving may take long: a search may run meanwhile.
    BusyScope arriving(CollectingArrivingURL);
    if (!download || download->Done())
      CollectingArrivingURL = false;
    std::unique_ptr<ProgressDialog> progress = CreateProgressForm(multiFile);
    progress->SetBackground(CollectingArrivingURL);
    progress->SetCaption("Collecting tag information");
    progress->SetProgressLabel(fileName);
    progress->SetMaxValue(source->GetSize());
    progress->Show();

    int32_t pos = 0;
    for (;;) {
      progress->SetProgress(scanner.ChunkOffset());
      const int tag = progress->poll();
      if (tag != 0) {
        if (tag == 2 || !multiFile)
          TagScanCancelled = true;
        throw EAbort();
      }
      // The item or the word list went away while events ran.
      if (CorpusList.IndexOf(item) < 0 || (addingWords && CorpusFreqList.get() != wordTable))
        throw EAbort();
      const bool finished = download ? download->Done() : true;
      const int32_t size = source->GetSize();
      const int32_t before = pos;
      const int32_t got = source->ReadAt(pos, scanner.NewBytes(), scanner.Room());
      if (got > 0) {
        scanner.Commit(got);
        if (!download && pos >= size)
          break;
        continue;
      }
      pos = before;
      if (finished)
        break;  // no more bytes: the end, or a file that shrank
      // A download still arriving: its own wait lets its bytes in (and
      // every other event run) and returns as soon as the next one is here.
      if (download->WaitForPosition(pos + 1) && source->ReadableSize() <= pos && !download->Done())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));  // a stream that does not wait: no spinning
    }
    scanner.Finish();

    for (NewIndex& n : created) {
      ReleaseIndex(*n.entry);  // an index the entry held before
      n.entry->Index = std::move(n.index);
    }
    created.clear();
    if (countWords)
      words = static_cast<int32_t>(std::min<int64_t>(scanner.Words(), std::numeric_limits<int32_t>::max()));
    return TTagScanResult::Done;
  } catch (const EAbort&) {
    discard(created, CorpusList.IndexOf(item) >= 0);
    if (addingWords)
      CorpusFreqList.reset();
    return TTagScanResult::Cancelled;
  } catch (...) {
    discard(created, CorpusList.IndexOf(item) >= 0);
    if (addingWords)
      CorpusFreqList.reset();
    throw;
  }
}
