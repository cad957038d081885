#include "search/regex_window.h"

#include "foundation/buf_stream.h"
#include "foundation/chartables.h"
#include "search/regexp/regexp.h"

#include <algorithm>
#include <cstring>

namespace {

// Room for a window, the character after it and a double-byte pair, twice,
// so that the text moves to the front only once per window.
constexpr int32_t Capacity = 2 * TRegexWindow::WindowSize + 8;

bool IsLineBreak(unsigned char c)
{
  return c == '\r' || c == '\n';
}

bool IsLeadByte(unsigned char c)
{
  const char pair[2] = {char(c), 'a'};
  return IsDoubleByteChar(pair);
}

}  // namespace

TRegexWindow::TRegexWindow()
  : Window(size_t(Capacity) + 1, 0), WindowOffsets(size_t(Capacity) + 1, 0), WindowKinds(size_t(Capacity) + 1, 0)
{
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

bool TRegexWindow::Continues(const TBufStream& reader, int32_t pos) const
{
  return count_ > 0 && &reader == reader_ && static_cast<const void*>(reader.Stream()) == stream_ &&
         reader.RangeStart() == rangeStart_ && reader.RangeEnd() == rangeEnd_ && pos == lastEnd_;
}

void TRegexWindow::Reset(TBufStream& reader, int32_t pos, const TRegexScanText& text)
{
  reader_ = &reader;
  stream_ = reader.Stream();
  rangeStart_ = reader.RangeStart();
  rangeEnd_ = reader.RangeEnd();
  lastEnd_ = -1;
  base_ = 0;
  count_ = 0;
  ended_ = false;
  afterDelimiter_ = true;
  firstSingle_ = false;
  // The context character: the nearest character before the scan position
  // that the window keeps. Line breaks are stepped over too, so that a run
  // of them is normalised whole.
  int32_t start = rangeStart_;
  if (pos > rangeStart_) {
    reader.Seek(pos);
    for (int32_t p = pos; p > rangeStart_;) {
      const auto c = static_cast<unsigned char>(reader.PrevChar());
      if (reader.GetPosition() != p - 1)
        break;
      --p;
      if (IsLineBreak(c) || text.SkipSet.test(c))
        continue;
      start = p;
      // Where a pair begins cannot be told going backwards: the context
      // character stands alone.
      firstSingle_ = text.DoubleByte;
      break;
    }
  }
  fillPos_ = start;
}

void TRegexWindow::Compact()
{
  if (base_ == 0)
    return;
  const auto n = size_t(count_ - base_);
  std::memmove(Window.data(), Window.data() + base_, n);
  std::memmove(WindowOffsets.data(), WindowOffsets.data() + base_, n * sizeof(int32_t));
  std::memmove(WindowKinds.data(), WindowKinds.data() + base_, n);
  count_ -= base_;
  base_ = 0;
}

void TRegexWindow::Append(char c, int32_t pos, uint8_t kind)
{
  Window[size_t(count_)] = c;
  WindowOffsets[size_t(count_)] = pos;
  WindowKinds[size_t(count_)] = kind;
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
  reader.Seek(fillPos_);
  auto wordCheck = [&](bool delimiter) {
    if (delimiter && !afterDelimiter_ && owner)
      owner->StopCheck();
    afterDelimiter_ = delimiter;
  };
  while (count_ < target) {
    if (owner && owner->Stopped())
      break;
    if (reader.GetPosition() != fillPos_ || reader.AtEnd()) {
      ended_ = true;
      break;
    }
    const auto c = static_cast<unsigned char>(reader.NextChar());
    const int32_t pos = fillPos_++;
    if (firstSingle_) {
      firstSingle_ = false;
      Append(char(c), pos, 2);
      wordCheck(text.Delimiters.test(c));
      continue;
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
      continue;
    }
    if (text.SkipSet.test(c))
      continue;
    if (text.DoubleByte && IsLeadByte(c) && !reader.AtEnd()) {
      const char trail = reader.NextChar();
      ++fillPos_;
      Append(char(c), pos, 1);
      Append(trail, pos, 2);
      wordCheck(false);
      continue;
    }
    Append(char(c), pos, 0);
    wordCheck(text.Delimiters.test(c));
  }
  Window[size_t(count_)] = 0;
}

bool TRegexWindow::FindNext(TBufStream& reader, TRegExp& expression, const TRegexScanText& text,
                            TRegexScanOwner* owner, bool reportProgress, int32_t& hitStart, int32_t& hitEnd)
{
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
  while (k == count_ && !ended_ && !stopped()) {
    base_ = std::max(base_, count_ - 1);
    Compact();
    FillWindow(reader, count_ + WindowSize, text, owner);
    k = firstAtOrAfter();
  }
  if (k == count_ || stopped())
    return false;
  base_ = std::max(base_, k - 1);
  int32_t from = k - base_;

  for (;;) {
    if (base_ > WindowSize)
      Compact();
    FillWindow(reader, base_ + WindowSize + 1, text, owner);
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
    bool found = expression.Search(w, n, from, s, e, touch);
    // On a double-byte code page a match never begins on a trail byte.
    while (found && WindowKinds[size_t(base_ + s)] == 2) {
      int32_t again = -1;
      found = s + 1 < n && expression.Search(w, n, s + 1, s, e, again);
      if (again >= 0 && (touch < 0 || again < touch))
        touch = again;
    }
    switch (expression.LastOutcome()) {
    case TRegExpOutcome::Cancelled: return false;
    case TRegExpOutcome::GaveUp:
      if (owner)
        owner->CountGiveUp();
      break;
    default: break;
    }
    if (stopped())
      return false;
    if (full && touch >= 2) {
      // The result may change with the text after the window: search again
      // from just before the earliest attempt that ran into its end.
      base_ += touch - 1;
      from = 1;
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
    base_ += ShiftSize;
    from = 1;
  }
}
