#include "foundation/tag_scan.h"

#include "foundation/hash_strings.h"
#include "foundation/indexed_stream.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

std::vector<TWatchedTag> WatchedTags;
bool TagScanCancelled = false;

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
  for (int c = 0; c <= 32; ++c)
    set.set(size_t(c));
  for (char c : cfg.NonWordChars)
    set.set(static_cast<unsigned char>(c));
  for (char c : {cfg.WildCard0orMore, cfg.WildCard0or1, cfg.WildCardExactly1, cfg.WildCardMatchWords})
    set.set(static_cast<unsigned char>(c));
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
    if (inWord_)
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

// Line ends among the new bytes: every CR when there is one, else every LF
// except one right after a CR (which ended its line already).
void TTagScanner::scanLines(const char* chunk, int32_t newStart, int32_t length)
{
  const char* first = chunk + newStart;
  const char* end = chunk + length;
  const char* cr = static_cast<const char*>(std::memchr(first, '\r', size_t(end - first)));
  if (cr) {
    for (const char* p = cr; p; p = static_cast<const char*>(std::memchr(p + 1, '\r', size_t(end - p - 1))))
      lines_->Add(offset_ + int32_t(p - chunk));
    return;
  }
  for (const char* p = static_cast<const char*>(std::memchr(first, '\n', size_t(end - first))); p;
       p = static_cast<const char*>(std::memchr(p + 1, '\n', size_t(end - p - 1)))) {
    if (p > chunk && p[-1] == '\r')
      continue;
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
  const char* p = chunk + from;
  const char* end = chunk + length - (mustEndAtBlank ? 1 : 0);
  while (p < end) {
    const void* hit = ::memmem(p, size_t(end - p), text.data(), text.size());
    if (!hit)
      break;
    const char* h = static_cast<const char*>(hit);
    if (!mustEndAtBlank || isBlankByte(static_cast<unsigned char>(h[text.size()])))
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
  if (!options_.wordTable)
    return;
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
  int32_t i = std::max(wordNext_ - offset_, 0);
  if (inWord_)
    wordFrom_ = i;
  int64_t words = words_;
  while (i < length) {
    if (inTag_) {
      while (i < length && !tagStopSet_[p[i]])
        ++i;
      if (i < length) {
        inTag_ = false;
        ++i;
      }
      continue;
    }
    if (inWordTag_) {
      while (i < length && !wordTagStopSet_[p[i]])
        ++i;
      if (i < length) {
        inWordTag_ = false;
        ++i;
      }
      continue;
    }
    const uint8_t k = classes_[p[i]];
    if (k == 0) {
      if (!inWord_) {
        inWord_ = true;
        ++words;
        wordFrom_ = i;
      }
      ++i;
      while (i < length && classes_[p[i]] == 0)
        ++i;
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
        if (inWord_)
          endWord(chunk, i);
        inWordTag_ = true;
        ++i;
        continue;
      }
    }
    if (k & kTagStart) {
      if (inWord_)
        endWord(chunk, i);
      inTag_ = true;
      ++i;
      continue;
    }
    if (k & kDelimiter) {
      if (inWord_)
        endWord(chunk, i);
      ++i;
      continue;
    }
    // A first character of a start string that starts none is a word character.
    if (!inWord_) {
      inWord_ = true;
      ++words;
      wordFrom_ = i;
    }
    ++i;
  }
  words_ = words;
  wordNext_ = offset_ + i;
  if (inWord_ && options_.wordTable && !atEnd) {
    // Keep the word's bytes so far; the chunk buffer moves on.
    const size_t room = MaxStoredWord - std::min(MaxStoredWord, word_.size());
    word_.append(chunk + wordFrom_, std::min(room, size_t(i - wordFrom_)));
    wordFrom_ = i;
  }
}
