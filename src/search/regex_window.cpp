#include "search/regex_window.h"

#include "foundation/buf_stream.h"
#include "foundation/chartables.h"
#include "foundation/sync_stream.h"
#include "platform/codepage.h"
#include "search/regexp/regexp.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

// Room for a window, the character after it and a double-byte pair, twice,
// so that the text moves to the front only once per window.
constexpr int32_t Capacity = 2 * TRegexWindow::WindowSize + 8;

// Raw scan: the bytes looked at between two stop checks; the bytes kept
// ahead of the scan position; the longest match it takes on (far below half
// a window, so that the window scan never cuts one either).
constexpr int32_t RawStep = 64 * 1024;
constexpr int32_t RawAhead = 4096;
constexpr int32_t RawLongest = 1024;

// pos + n, at most the largest position.
int32_t Ahead(int32_t pos, int64_t n)
{
  return int32_t(std::min<int64_t>(int64_t(pos) + n, INT32_MAX));
}

bool IsLineBreak(unsigned char c)
{
  return c == '\r' || c == '\n';
}

// to[t] := first + t for t in [0, n).
void FillPositions(int32_t* to, int32_t first, int32_t n)
{
  int32_t t = 0;
#ifdef __SSE2__
  __m128i v = _mm_setr_epi32(first, first + 1, first + 2, first + 3);
  const __m128i four = _mm_set1_epi32(4);
  for (; t + 4 <= n; t += 4) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + t), v);
    v = _mm_add_epi32(v, four);
  }
#endif
  for (; t < n; ++t)
    to[t] = first + t;
}

// After a search: a give-up is counted for the owner; false when the
// expression was cancelled or the search is stopped.
bool SearchGoesOn(const TRegExp& expression, TRegexScanOwner* owner)
{
  switch (expression.LastOutcome()) {
  case TRegExpOutcome::Cancelled: return false;
  case TRegExpOutcome::GaveUp:
    if (owner)
      owner->CountGiveUp();
    break;
  default: break;
  }
  return !(owner && owner->Stopped());
}

}  // namespace

TRegexWindow::TRegexWindow()
  : Window(size_t(Capacity) + 1, 0), WindowOffsets(size_t(Capacity) + 1, 0), WindowKinds(size_t(Capacity) + 1, 0)
{
}

TRegexWindow::~TRegexWindow() = default;

TBufStream& TRegexWindow::fillReader(const TBufStream& reader)
{
  if (!fill_ || fill_->Stream() != reader.Stream() || fill_->WindowSize() != reader.WindowSize())
    fill_ = std::make_unique<TBufStream>(reader.Stream(), TCharSet(), reader.WindowSize());
  if (fill_->RangeStart() != reader.RangeStart() || fill_->RangeEnd() != reader.RangeEnd())
    fill_->SetRange(reader.RangeStart(), reader.RangeEnd());
  return *fill_;
}

int32_t TRegexWindow::CharEnd(int32_t i) const
{
  // A trail byte carries its lead byte's position.
  return WindowOffsets[size_t(i)] + (WindowKinds[size_t(i)] == 2 && i > 0 && WindowKinds[size_t(i) - 1] == 1 ? 2 : 1);
}

int32_t TRegexWindow::WindowToFile(int32_t i) const
{
  const int32_t at = base_ + i;
  if (at < count_)
    return WindowOffsets[size_t(at)];
  return count_ > 0 ? CharEnd(count_ - 1) : fillPos_;
}

bool TRegexWindow::SameRange(const TBufStream& reader) const
{
  return &reader == reader_ && reader.Stream() == stream_ && reader.RangeStart() == rangeStart_ &&
         reader.RangeEnd() == rangeEnd_;
}

void TRegexWindow::TakeRange(const TBufStream& reader)
{
  reader_ = &reader;
  stream_ = reader.Stream();
  rangeStart_ = reader.RangeStart();
  rangeEnd_ = reader.RangeEnd();
}

bool TRegexWindow::Continues(const TBufStream& reader, int32_t pos) const
{
  return count_ > 0 && SameRange(reader) && pos == lastEnd_;
}

void TRegexWindow::Reset(TBufStream& reader, int32_t pos, const TRegexScanText& text)
{
  TakeRange(reader);
  lastEnd_ = -1;
  base_ = 0;
  count_ = 0;
  ended_ = false;
  afterDelimiter_ = true;
  firstSingle_ = false;
  // The context character: the nearest character before the scan position
  // that the window keeps. Line breaks are stepped over too, so that a run
  // of them is normalised whole.
  TBufStream& fill = fillReader(reader);
  int32_t start = rangeStart_;
  if (pos > rangeStart_) {
    fill.Seek(pos);
    for (int32_t p = pos; p > rangeStart_;) {
      const auto c = static_cast<unsigned char>(fill.PrevChar());
      if (fill.GetPosition() != p - 1)
        break;
      --p;
      if (IsLineBreak(c) || text.SkipSet.test(c))
        continue;
      start = p;
      // On a double-byte page the context character is read whole, from
      // the start of the character that holds the byte; where that cannot
      // be read, the byte stands alone.
      if (text.DoubleByte) {
        start = FileCharStart(p);
        firstSingle_ = start < 0;
        if (start < 0)
          start = p;
      }
      break;
    }
  }
  fillPos_ = start;
}

int32_t TRegexWindow::FileCharStart(int32_t p) const
{
  // Read back until a byte before p that cannot lead: the text from there
  // begins on a character.
  constexpr int32_t Chunk = 4096;
  std::string back;
  int32_t from = p + 1;
  bool bounded = false;
  while (!bounded && from > rangeStart_) {
    const int32_t at = std::max(rangeStart_, from - Chunk);
    std::string chunk(size_t(from - at), '\0');
    int32_t readPos = at;
    if (!stream_ || stream_->ReadAt(readPos, chunk.data(), from - at) != from - at)
      return -1;
    for (size_t i = 0; i < chunk.size() && !bounded; ++i)
      bounded = at + int32_t(i) < p && !IsLeadByte(static_cast<unsigned char>(chunk[i]));
    back.insert(0, chunk);
    from = at;
  }
  return from + int32_t(CharStartAt(back, size_t(p - from)));
}

int32_t TRegexWindow::CharStartIndex(int32_t i) const
{
  return pairKinds_ && i > 0 && WindowKinds[size_t(i)] == 2 && WindowKinds[size_t(i) - 1] == 1 ? i - 1 : i;
}

void TRegexWindow::Compact()
{
  if (base_ == 0)
    return;
  const auto n = size_t(count_ - base_);
  std::memmove(Window.data(), Window.data() + base_, n);
  std::memmove(WindowOffsets.data(), WindowOffsets.data() + base_, n * sizeof(int32_t));
  if (pairKinds_)
    std::memmove(WindowKinds.data(), WindowKinds.data() + base_, n);
  count_ -= base_;
  base_ = 0;
}

void TRegexWindow::Append(char c, int32_t pos, uint8_t kind)
{
  Window[size_t(count_)] = c;
  WindowOffsets[size_t(count_)] = pos;
  if (kind != 0 || pairKinds_)
    WindowKinds[size_t(count_)] = kind;
  pairKinds_ |= kind != 0;
  ++count_;
  ++normalised_;
}

void TRegexWindow::FillWindow(TBufStream& reader, int32_t target, const TRegexScanText& text,
                              TRegexScanOwner* owner)
{
  // A double-byte pair may take one place more than asked for.
  target = std::min(target, Capacity - 2);
  if (count_ >= target || ended_)
    return;
  if (reader.GetPosition() != fillPos_)
    reader.Seek(fillPos_);
  while (count_ < target) {
    if (owner && owner->Stopped())
      break;
    if (reader.GetPosition() != fillPos_ || reader.AtEnd()) {
      ended_ = true;
      break;
    }
    int32_t wordEnds = 0;
    if (!BulkFill || FillRun(reader, target, text, wordEnds) == 0)
      FillOne(reader, text, wordEnds);
    if (wordEnds > 0 && owner)
      owner->StopChecks(wordEnds);
  }
  Window[size_t(count_)] = 0;
}

void TRegexWindow::FillOne(TBufStream& reader, const TRegexScanText& text, int32_t& wordEnds)
{
  auto wordCheck = [&](bool delimiter) {
    if (delimiter && !afterDelimiter_)
      ++wordEnds;
    afterDelimiter_ = delimiter;
  };
  const auto c = static_cast<unsigned char>(reader.NextChar());
  const int32_t pos = fillPos_++;
  if (firstSingle_) {
    firstSingle_ = false;
    Append(char(c), pos, 2);
    wordCheck(text.Delimiters.test(c));
    return;
  }
  if (IsLineBreak(c)) {
    int32_t last = pos;
    while (!reader.AtEnd()) {
      const auto d = static_cast<unsigned char>(reader.NextChar());
      if (!IsLineBreak(d)) {
        reader.PrevChar();
        break;
      }
      last = fillPos_++;
    }
    Append(' ', last, 0);
    wordCheck(true);
    return;
  }
  if (text.SkipSet.test(c))
    return;
  if (text.DoubleByte && IsLeadByte(c) && !reader.AtEnd()) {
    const char trail = reader.NextChar();
    ++fillPos_;
    Append(char(c), pos, 1);
    Append(trail, pos, 2);
    wordCheck(false);
    return;
  }
  Append(char(c), pos, 0);
  wordCheck(text.Delimiters.test(c));
}

void TRegexWindow::BuildTables(const TRegexScanText& text)
{
  if (!kindsBuilt_ || kindSkip_ != text.SkipSet || kindDelimiters_ != text.Delimiters) {
    special_.Clear();
    for (int c = 0; c < 256; ++c) {
      const auto b = static_cast<unsigned char>(c);
      isDelimiter_[c] = text.Delimiters.test(b) ? 1 : 0;
      if (IsLineBreak(b) || text.SkipSet.test(b))
        special_.Add(b);
    }
    // Without skipped characters, and with line breaks among the
    // delimiters, a word ends in the window exactly where one ends in the
    // raw bytes: the word ends of a whole run are counted at once.
    rawWordEnds_ = text.SkipSet.none() && text.Delimiters.test('\r') && text.Delimiters.test('\n');
    delimiterSet_.Clear();
    for (int c = 0; c < 256; ++c)
      if (isDelimiter_[c])
        delimiterSet_.Add(static_cast<unsigned char>(c));
    kindSkip_ = text.SkipSet;
    kindDelimiters_ = text.Delimiters;
    kindsBuilt_ = true;
  }
}

int32_t TRegexWindow::FillRun(TBufStream& reader, int32_t target, const TRegexScanText& text, int32_t& wordEnds)
{
  if (firstSingle_)
    return 0;
  BuildTables(text);
  const std::string_view bytes = reader.Readable();
  const auto* const p = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto* const end = p + bytes.size();
  const int32_t pos = fillPos_;
  const int32_t before = count_;
  uint32_t after = afterDelimiter_ ? 1 : 0;
  int32_t ends = 0;
  const auto* q = text.DoubleByte ? CopyPairs(p, end, pos, target, after, ends) : p;
  while (!text.DoubleByte && q < end && count_ < target) {
    // Plain characters up to the next line break or skipped character.
    const auto* stop = special_.FindIn(q, std::min(end, q + (target - count_)));
    const auto n = int32_t(stop - q);
    if (n > 0) {
      std::memcpy(Window.data() + count_, q, size_t(n));
      FillPositions(WindowOffsets.data() + count_, pos + int32_t(q - p), n);
      if (pairKinds_)
        std::memset(WindowKinds.data() + count_, 0, size_t(n));
      if (!rawWordEnds_) {
        for (int32_t t = 0; t < n; ++t) {
          const uint32_t d = isDelimiter_[q[t]];
          ends += int32_t(d & (after ^ 1));
          after = d;
        }
      }
      count_ += n;
      q = stop;
      continue;
    }
    if (!IsLineBreak(*q)) {
      ++q;  // left out
      continue;
    }
    const auto* last = q;
    while (last + 1 < end && IsLineBreak(last[1]))
      ++last;
    if (last + 1 == end)
      break;  // the run may go on past these bytes
    Window[size_t(count_)] = ' ';
    WindowOffsets[size_t(count_)] = pos + int32_t(last - p);
    if (pairKinds_)
      WindowKinds[size_t(count_)] = 0;
    ++count_;
    if (!rawWordEnds_) {
      ends += int32_t(after ^ 1);
      after = 1;
    }
    q = last + 1;
  }
  const auto taken = int32_t(q - p);
  if (rawWordEnds_ && !text.DoubleByte)
    ends = delimiterSet_.CountRunStarts(p, taken, after);
  normalised_ += count_ - before;
  fillPos_ += taken;
  afterDelimiter_ = after != 0;
  wordEnds += ends;
  reader.Skip(taken);
  return taken;
}

const unsigned char* TRegexWindow::CopyPairs(const unsigned char* p, const unsigned char* end, int32_t pos,
                                             int32_t target, uint32_t& after, int32_t& ends)
{
  // Up to the next line break or skipped character, and never past a lead
  // byte whose trail byte is not at hand: those go one at a time.
  const bool* lead = platform::codePage(AnsiCodePage).lead.data();
  const auto* q = p;
  while (q < end && count_ < target && !special_.Contains(*q)) {
    const auto at = size_t(count_);
    const int32_t filePos = pos + int32_t(q - p);
    Window[at] = char(*q);
    WindowOffsets[at] = filePos;
    if (lead[*q]) {
      if (q + 1 == end)
        break;
      Window[at + 1] = char(q[1]);
      WindowOffsets[at + 1] = filePos;
      WindowKinds[at] = 1;
      WindowKinds[at + 1] = 2;
      pairKinds_ = true;
      count_ += 2;
      q += 2;
      after = 0;
      continue;
    }
    if (pairKinds_)
      WindowKinds[at] = 0;
    ++count_;
    const uint32_t d = isDelimiter_[*q++];
    ends += int32_t(d & (after ^ 1));
    after = d;
  }
  return q;
}

bool TRegexWindow::UsesRawScan(const TRegExp& expression, const TRegexScanText& text) const
{
  // Line breaks among the delimiters: the raw bytes end words where the
  // window's text does.
  if (!RawScan || text.DoubleByte || text.SkipSet.any() || !text.Delimiters.test('\r') ||
      !text.Delimiters.test('\n'))
    return false;
  const int32_t longest = expression.LongestMatch();
  return expression.Matcher() != TRegExpMatcher::Backtracker && expression.HasStartFilter() && longest >= 1 &&
         longest <= RawLongest && expression.StartAvoids(" \r\n");
}

void TRegexWindow::LoadRaw(int32_t keep, int32_t want)
{
  want = std::min(want, rangeEnd_);
  const int32_t end = rawPos_ + rawLen_;
  const bool holdsKeep = rawLen_ > 0 && keep >= rawPos_ && keep <= end;
  if (holdsKeep && (want <= end || rawShort_))
    return;
  int32_t kept = 0;
  if (holdsKeep) {
    kept = end - keep;
    if (keep > rawPos_ && kept > 0)
      std::memmove(raw_.data(), raw_.data() + (keep - rawPos_), size_t(kept));
  }
  rawPos_ = keep;
  rawLen_ = kept;
  const auto room = size_t(std::max<int64_t>(RawReadSize, int64_t(want) - keep));
  if (raw_.size() < room)
    raw_.resize(room);
  const auto readEnd = int32_t(std::min<int64_t>(rangeEnd_, int64_t(rawPos_) + int64_t(raw_.size())));
  rawShort_ = false;
  while (rawPos_ + rawLen_ < readEnd) {
    int32_t at = rawPos_ + rawLen_;
    const int32_t got = stream_ ? stream_->ReadAt(at, raw_.data() + rawLen_, readEnd - at) : 0;
    if (got <= 0) {
      rawShort_ = true;
      break;
    }
    rawLen_ += got;
  }
}

void TRegexWindow::NormaliseFrom(int32_t q, int32_t chars)
{
  const int32_t rawEnd = rawPos_ + rawLen_;
  const int32_t textEnd = rawShort_ ? rawEnd : rangeEnd_;
  if (shortText_.size() < size_t(chars) + 2) {
    shortText_.resize(size_t(chars) + 2);
    shortPos_.resize(size_t(chars) + 2);
  }
  const auto* raw = reinterpret_cast<const unsigned char*>(raw_.data());
  auto at = [&](int32_t pos) { return raw[pos - rawPos_]; };
  int32_t n = 0;
  if (q > rangeStart_) {
    // The character before: a line break there ends a run (q holds none).
    const unsigned char c = at(q - 1);
    shortText_[0] = IsLineBreak(c) ? ' ' : char(c);
    shortPos_[0] = q - 1;
    n = 1;
  }
  const int32_t limit = n + chars;
  int32_t p = q;
  // Mostly no line break is near: the bytes as they are.
  if (int64_t(q) + chars < rawEnd) {
    const auto* from = raw + (q - rawPos_);
    const auto* stop = special_.FindIn(from, from + chars + 1);
    if (stop == from + chars + 1) {
      std::memcpy(shortText_.data() + n, from, size_t(chars));
      FillPositions(shortPos_.data() + n, q, chars);
      n += chars;
      p += chars;
    }
  }
  while (n < limit && p < textEnd) {
    const unsigned char c = at(p);
    int32_t last = p;
    if (IsLineBreak(c))
      while (last + 1 < rawEnd && IsLineBreak(at(last + 1)))
        ++last;
    // What follows must be known too: a run may go on past the bytes at
    // hand, and the expression sees the character after the text.
    if (last + 1 < textEnd && last + 1 >= rawEnd)
      break;
    shortText_[size_t(n)] = IsLineBreak(c) ? ' ' : char(c);
    shortPos_[size_t(n)] = last;
    ++n;
    p = last + 1;
  }
  shortGoesOn_ = p < textEnd;
  shortText_[size_t(n)] = shortGoesOn_ ? (IsLineBreak(at(p)) ? ' ' : char(at(p))) : 0;
  shortPos_[size_t(n)] = p;
  shortCount_ = n;
  normalised_ += n;
}

int TRegexWindow::FindNextRaw(TBufStream& reader, TRegExp& expression, const TRegexScanText& text,
                              TRegexScanOwner* owner, bool reportProgress, int32_t& hitStart, int32_t& hitEnd)
{
  const int32_t scanPos = reader.GetPosition();
  if (scanPos < 0 || scanPos >= reader.RangeEnd())
    return 0;
  const bool sameRange = SameRange(reader);
  if (!sameRange) {
    TakeRange(reader);
    rawLen_ = 0;
    rawShort_ = false;
    shortCount_ = 0;
  } else if (rawShort_) {
    // A download may have brought more.
    rawShort_ = false;
    shortCount_ = 0;
  }
  BuildTables(text);
  if (!sameRange || scanPos != lastEnd_) {
    // Word ends are counted as the window scan counts them from a fresh
    // start: from the nearest byte before the scan position that is not a
    // line break (a run of them between ends a word there at most once).
    int32_t context = -1;
    unsigned char contextByte = 0;
    char back[256];
    for (int32_t p = scanPos; p > rangeStart_ && context < 0;) {
      int32_t at = std::max(rangeStart_, p - int32_t(sizeof back));
      const int32_t from = at;
      if (stream_->ReadAt(at, back, p - from) != p - from)
        break;
      for (int32_t i = p - from; i-- > 0;)
        if (!IsLineBreak(static_cast<unsigned char>(back[i]))) {
          context = from + i;
          contextByte = static_cast<unsigned char>(back[i]);
          break;
        }
      p = from;
    }
    countedTo_ = scanPos;
    rawAfter_ = 1;
    if (context >= 0 && context == scanPos - 1) {
      countedTo_ = context;
    } else if (context >= 0 && !isDelimiter_[contextByte] && owner) {
      owner->StopChecks(1);
      if (owner->Stopped())
        return 0;
    }
  }
  auto stopped = [owner] { return owner && owner->Stopped(); };
  const int32_t lo = rangeStart_;
  const int32_t span = expression.StartSpan();
  const int32_t freshChars = std::max(32, 2 * expression.LongestMatch() + 16);
  int32_t from = scanPos;
  for (;;) {
    if (stopped())
      return 0;
    LoadRaw(std::max(lo, std::min(from - 1, countedTo_)), Ahead(from, span + RawAhead));
    const int32_t rawEnd = rawPos_ + rawLen_;
    const int32_t textEnd = rawShort_ ? rawEnd : rangeEnd_;
    if (from >= textEnd)
      return 0;
    // Possible starts whose bytes are all at hand.
    const int32_t stepEnd = std::min(Ahead(from, RawStep), rawEnd == textEnd ? textEnd : rawEnd - (span - 1));
    // Word ends are counted well ahead, in large steps.
    if (countedTo_ < stepEnd && (countedTo_ < Ahead(from, RawStep / 4) || stepEnd == textEnd)) {
      const int32_t ends = delimiterSet_.CountRunStarts(
          reinterpret_cast<const unsigned char*>(raw_.data()) + (countedTo_ - rawPos_), stepEnd - countedTo_, rawAfter_);
      countedTo_ = stepEnd;
      if (owner) {
        if (ends > 0)
          owner->StopChecks(ends);
        if (reportProgress)
          owner->UpdateProgress(from, true);
      }
      if (stopped())
        return 0;
    }
    int32_t q = expression.NextStart(raw_.data(), rawLen_, from - rawPos_, stepEnd - rawPos_);
    if (q < 0) {
      from = stepEnd;
      continue;
    }
    q += rawPos_;
    // The expression over a short window from q on, grown while an attempt
    // runs into its end; a window already made from an earlier place serves
    // when it holds q.
    int32_t chars = freshChars;
    for (;;) {
      int32_t i = -1;
      if (shortCount_ > 0 && q > shortPos_[0] && q <= shortPos_[size_t(shortCount_) - 1]) {
        const auto* it = std::lower_bound(shortPos_.data(), shortPos_.data() + shortCount_, q);
        if (*it == q)
          i = int32_t(it - shortPos_.data());
      }
      if (i < 0) {
        // Long line-break runs can make a short window stand for many
        // bytes: beyond a bound this call is left to the window scan.
        if (4 * int64_t(chars) + 64 > RawBlockMost)
          return -1;
        LoadRaw(std::max(lo, std::min(q - 1, countedTo_)), Ahead(q, 4 * chars + 64));
        NormaliseFrom(q, chars);
        i = q > lo ? 1 : 0;
        if (i >= shortCount_) {
          shortCount_ = 0;
          from = q + 1;
          break;
        }
      }
      ++searches_;
      int32_t s = -1;
      int32_t e = -1;
      int32_t touch = -1;
      const bool found = expression.Search(shortText_.data(), shortCount_, i, s, e, touch, shortGoesOn_);
      if (!SearchGoesOn(expression, owner))
        return 0;
      if (shortGoesOn_ && touch >= 0) {
        if (touch > i) {
          // Every place before the attempt that ran into the end is done.
          from = shortPos_[size_t(touch)];
          break;
        }
        chars *= 2;
        shortCount_ = 0;
        continue;
      }
      if (!found) {
        from = shortPos_[size_t(shortCount_) - 1] + 1;
        break;
      }
      int32_t start = shortPos_[size_t(s)];
      int32_t end = e < shortCount_ ? shortPos_[size_t(e)] : shortPos_[size_t(e) - 1] + 1;
      const int32_t rangeEnd = reader.RangeEnd();
      if (start >= rangeEnd)
        start = rangeEnd - 1;
      end = std::min(end, rangeEnd);
      // A hit ends at the last character before a line break.
      const auto* raw = reinterpret_cast<const unsigned char*>(raw_.data());
      if (end < rangeEnd && end > start + 1 && end < rawPos_ + rawLen_ && IsLineBreak(raw[end - rawPos_]))
        while (end > start + 1 && IsLineBreak(raw[end - 1 - rawPos_]))
          --end;
      end = std::max(end, start + 1);
      // The caller's reader only carries the position on to the next call.
      reader.SeekLazily(end);
      hitStart = start;
      hitEnd = end;
      lastEnd_ = end;
      if (reportProgress && owner)
        owner->UpdateProgress(start, false);
      return 1;
    }
  }
}

bool TRegexWindow::FindNext(TBufStream& reader, TRegExp& expression, const TRegexScanText& text,
                            TRegexScanOwner* owner, bool reportProgress, int32_t& hitStart, int32_t& hitEnd)
{
  if (UsesRawScan(expression, text)) {
    if (!rawMode_) {
      rawMode_ = true;
      reader_ = nullptr;
      count_ = 0;
    }
    const int found = FindNextRaw(reader, expression, text, owner, reportProgress, hitStart, hitEnd);
    if (found >= 0)
      return found > 0;
    // The window scan from the same place: with matches this short its hits
    // do not depend on where its windows fall.
    count_ = 0;
  } else if (rawMode_) {
    rawMode_ = false;
    reader_ = nullptr;
    rawLen_ = 0;
    shortCount_ = 0;
  }
  const int32_t scanPos = reader.GetPosition();
  if (scanPos < 0 || scanPos >= reader.RangeEnd())
    return false;
  if (!Continues(reader, scanPos))
    Reset(reader, scanPos, text);
  else if (ended_ && fillPos_ < rangeEnd_)
    ended_ = false;  // a download may have brought more
  auto stopped = [owner] { return owner && owner->Stopped(); };

  // The first character at or after the scan position, with the one before
  // it as the context character.
  auto firstAtOrAfter = [&]() {
    return int32_t(std::lower_bound(WindowOffsets.begin() + base_, WindowOffsets.begin() + count_, scanPos) -
                   WindowOffsets.begin());
  };
  int32_t k = firstAtOrAfter();
  // The window begins on a character: the expression reads it by
  // characters from its first place.
  while (k == count_ && !ended_ && !stopped()) {
    base_ = std::max(base_, CharStartIndex(count_ - 1));
    Compact();
    FillWindow(*fill_, count_ + WindowSize, text, owner);
    k = firstAtOrAfter();
  }
  if (k == count_ || stopped())
    return false;
  base_ = std::max(base_, CharStartIndex(k - 1));
  int32_t from = k - base_;

  for (;;) {
    if (base_ > WindowSize)
      Compact();
    FillWindow(*fill_, base_ + WindowSize + 1, text, owner);
    if (stopped())
      return false;
    int32_t n = std::min(WindowSize, count_ - base_);
    if (n == WindowSize && WindowKinds[size_t(base_ + n - 1)] == 1)
      --n;  // a pair is never cut
    if (n <= from)
      return false;
    const bool full = base_ + n < count_;
    if (reportProgress && owner)
      owner->UpdateProgress(WindowOffsets[size_t(base_)], true);
    ++searches_;
    const char* w = Window.data() + base_;
    int32_t s = -1;
    int32_t e = -1;
    int32_t touch = -1;
    // A full window is followed by the next character (its anchors and word
    // boundaries see it): '$' and word ends never hold at its cut.
    bool found = expression.Search(w, n, from, s, e, touch, full);
    // On a double-byte code page a match never begins on a trail byte.
    while (found && WindowKinds[size_t(base_ + s)] == 2) {
      int32_t again = -1;
      found = s + 1 < n && expression.Search(w, n, s + 1, s, e, again, full);
      if (again >= 0 && (touch < 0 || again < touch))
        touch = again;
    }
    if (!SearchGoesOn(expression, owner))
      return false;
    // A search that gave up is not searched again from its attempts that
    // ran into the end: the attempt that gave up would mostly give up
    // again, a second count for the same text. The window shifts on.
    const bool gaveUp = expression.LastOutcome() == TRegExpOutcome::GaveUp;
    if (full && touch >= 2 && !gaveUp) {
      // The result may change with the text after the window: search again
      // from just before the earliest attempt that ran into its end.
      const int32_t at = base_ + touch;
      base_ = CharStartIndex(at - 1);
      from = at - base_;
      continue;
    }
    if (found) {
      int32_t start = WindowOffsets[size_t(base_ + s)];
      int32_t end = base_ + e < count_ ? WindowOffsets[size_t(base_ + e)] : CharEnd(base_ + e - 1);
      const int32_t rangeEnd = reader.RangeEnd();
      if (start >= rangeEnd)
        start = rangeEnd - 1;
      end = std::min(end, rangeEnd);
      // A hit ends at the last character before a line break.
      if (end < rangeEnd && end > start + 1) {
        reader.Seek(end);
        if (!reader.AtEnd() && IsLineBreak(static_cast<unsigned char>(reader.NextChar()))) {
          reader.Seek(end);
          while (end > start + 1) {
            const auto c = static_cast<unsigned char>(reader.PrevChar());
            if (!IsLineBreak(c) || reader.GetPosition() != end - 1)
              break;
            --end;
          }
        }
      }
      end = std::max(end, start + 1);
      reader.Seek(end);
      hitStart = start;
      hitEnd = end;
      lastEnd_ = end;
      if (reportProgress && owner)
        owner->UpdateProgress(start, false);
      return true;
    }
    if (!full)
      return false;
    // Every attempt from `from` on failed without looking at the window's
    // end: in the shifted window they would fail again on the same text, so
    // the search goes on where this one stopped.
    const bool settled = touch < 0 && expression.LastOutcome() == TRegExpOutcome::NoMatch &&
                         !expression.LastMatchWasEmpty();
    const int32_t at = settled ? std::max(base_ + ShiftSize + 1, base_ + n) : base_ + ShiftSize + 1;
    base_ = CharStartIndex(base_ + ShiftSize);
    from = at - base_;
  }
}
