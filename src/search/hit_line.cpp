#include "search/hit_line.h"

#include "foundation/chartables.h"
#include "foundation/settings.h"
#include "platform/codepage.h"
#include "search/concord_items.h"
#include "search/search_context.h"
#include "search/sentence.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string_view>

namespace {

constexpr int32_t kMaxHitText = 60;
constexpr int32_t kLastWordRoom = 54;     // the joined hit text keeps the last word below this
constexpr int32_t kHeadOfLongHit = 27;    // characters kept from the start of a long hit
constexpr int32_t kTailOfLongHit = 28;    // and from its end
constexpr std::string_view kEllipsis = " ... ";

constexpr uint8_t kNoCollocate = 10;
constexpr int32_t kNearWords = 64;  // bytes on each side of a hit classified first for its words

// Appends c with the line ends folded; CRs become blanks at the end.
void AppendFolded(std::string& out, char c)
{
  if (c == '\n') {
    if (out.empty() || out.back() == '\r')
      return;
    c = '\r';
  } else if (c == '\r' && !out.empty() && out.back() == '\r') {
    return;
  }
  out.push_back(c);
}

// Whether AppendFolded would write c.
bool FoldKeeps(const std::string& out, char c)
{
  if (c == '\n')
    return !out.empty() && out.back() != '\r';
  if (c == '\r')
    return out.empty() || out.back() != '\r';
  return true;
}

void CrToBlank(std::string& text)
{
  std::replace(text.begin(), text.end(), '\r', ' ');
}

// The collocate colour of each rank: per channel c - round(r * step), the step
// being (c - c div 10) / rankCount, so rank 0 has the full colour and the last
// about a tenth of it.
TColor RankColour(TColor colour, int32_t rank, int32_t rankCount)
{
  const auto channel = [&](int shift) {
    const int32_t c = (colour >> shift) & 0xFF;
    const double step = double(c - c / 10) / double(std::max(rankCount, 1));
    const auto v = static_cast<int32_t>(std::nearbyint(double(rank) * step));
    return std::clamp(c - v, 0, 255) << shift;
  };
  return channel(0) | channel(8) | channel(16);
}

// Decides which bytes a class mask keeps, a double-byte character whole: its
// trail byte goes where its lead byte went. Reading starts on a boundary.
class TCharMask {
public:
  explicit TCharMask(TClassMask mask) : mask_(mask), page_(TextPage()) {}
  bool Keeps(char c, TCharClass cls)
  {
    if (trailNext_) {
      trailNext_ = false;
      return leadKept_;
    }
    const bool keep = mask_ & ClassBit(cls);
    if (page_.dbcs && page_.lead[static_cast<unsigned char>(c)]) {
      trailNext_ = true;
      leadKept_ = keep;
    }
    return keep;
  }

private:
  TClassMask mask_;
  const platform::CodePage& page_;
  bool trailNext_ = false;
  bool leadKept_ = false;
};

// The last boundary at or before limit and the first at or after from, in
// text that starts on a boundary at `start`, walked forwards.
size_t LastBoundaryUpTo(std::string_view text, size_t start, size_t limit)
{
  const platform::CodePage& page = TextPage();
  size_t at = start;
  while (at < text.size()) {
    const size_t next = at + platform::charBytesAt(page, text, at);
    if (next > limit)
      break;
    at = next;
  }
  return std::min(at, limit);
}

size_t FirstBoundaryFrom(std::string_view text, size_t start, size_t from)
{
  const platform::CodePage& page = TextPage();
  size_t at = start;
  while (at < from && at < text.size())
    at += platform::charBytesAt(page, text, at);
  return std::max(at, from);
}

// Builds a display line from the classified reader, opening a run wherever the
// kind of the written characters changes.
class LineBuilder {
public:
  LineBuilder(TBufStream& reader, const TConcordItem& item, uint8_t contextType, TColor collocColour,
              int32_t rankCount, uint8_t collocFirst, uint8_t collocLast, TClassMask classMask)
    : reader_(reader), item_(item), mask_(classMask),
      marking_(collocFirst != kNoCollocate && collocLast != kNoCollocate),
      first_(collocFirst), last_(collocLast),
      centre_(contextType != ctLines && contextType != ctSentence),
      colour_(collocColour), rankCount_(std::max(rankCount, 1))
  {
    FontToSVFontInfo(ConcordSettings.HiliteFont, hitFont_);
    FontToSVFontInfo(ConcordSettings.CollocateFont, collocFont_);
  }

  void MaskedRead(int32_t from, int32_t to)
  {
    reader_.Seek(from);
    while (reader_.GetPosition() < to && !reader_.AtEnd()) {
      const int32_t pos = reader_.GetPosition();
      TCharClass cls;
      const char c = reader_.NextCharClassified(cls);
      if (!mask_.Keeps(c, cls) || !FoldKeeps(line_, c))
        continue;
      const int kind = SpanKind(pos);
      if (kind != kind_) {
        CloseRun();
        OpenRun(kind);
      }
      if (kind == 0 && hitStart_ < 0)
        hitStart_ = int32_t(line_.size());
      if (pos >= item_.HitEnd && hitEnd_ < 0)
        hitEnd_ = int32_t(line_.size());
      AppendFolded(line_, c);
    }
  }

  void CloseRun()
  {
    if (open_) {
      runs_.back().Length = int32_t(line_.size()) - runs_.back().Start;
      open_ = false;
    }
    kind_ = -1;
  }

  std::string Finish(bool framing, TSVFormatArray& spans)
  {
    CloseRun();
    const int32_t hitStart = hitStart_ < 0 ? 0 : hitStart_;
    const int32_t hitEnd = hitEnd_ < 0 ? int32_t(line_.size()) : hitEnd_;
    const int32_t hitLength = hitEnd - hitStart;
    const std::string_view head = framing ? "... " : "";
    const std::string_view tail = framing ? " ..." : "";
    const int32_t shift = framing ? 5 : 1;
    std::string out;
    if (hitLength <= kMaxHitText) {
      out.reserve(line_.size() + 8);
      out.append(head).append(line_).append(tail);
      for (TSVFormatInfo& run : runs_)
        run.Start += shift;
    } else {
      // Both cuts fall between characters: at most 27 bytes of the head and
      // 28 of the tail are kept.
      const size_t keepHead = LastBoundaryUpTo(line_, size_t(hitStart), size_t(hitStart + kHeadOfLongHit));
      const size_t keepTail = FirstBoundaryFrom(line_, keepHead, size_t(hitEnd - kTailOfLongHit));
      out.append(head).append(line_, 0, keepHead).append(kEllipsis).append(line_, keepTail).append(tail);
      const auto cut = int32_t(keepTail - keepHead - kEllipsis.size());
      const auto shownHit = int32_t(keepHead - size_t(hitStart) + kEllipsis.size() + size_t(hitEnd) - keepTail);
      for (TSVFormatArray::size_type i = 0; i < runs_.size(); ++i) {
        TSVFormatInfo& run = runs_[i];
        if (run.Start < hitEnd) {
          run.Start += shift;
          if (run.Hilite)
            run.Length = shownHit;
        } else {
          run.Start += shift - cut;
        }
      }
    }
    CrToBlank(out);
    runs_.shrink_to_fit();
    spans = std::move(runs_);
    return out;
  }

private:
  // 0 inside the hit; with marking the first slot of the window whose word
  // covers the position; -1 for no kind.
  int SpanKind(int32_t pos) const
  {
    if (pos >= item_.HitStart && pos < item_.HitEnd)
      return 0;
    if (marking_) {
      for (int s = first_; s <= last_ && s < TConcordItem::SlotCount; ++s)
        if (s > 0 && item_.HasWord(s) && item_.WordStart(s) <= pos && pos < item_.WordEnd(s))
          return s;
    }
    return -1;
  }

  void OpenRun(int kind)
  {
    kind_ = kind;
    if (kind < 0)
      return;
    TSVFormatInfo run;
    run.Start = int32_t(line_.size());
    if (kind == 0) {
      run.Center = centre_;
      run.Hilite = true;
      run.Font = hitFont_;
    } else {
      const int rank = item_.CollocRanks[size_t(kind)];
      if (rank < 0)
        return;
      run.Center = false;
      run.Hilite = false;
      run.Font = collocFont_;
      run.Font.Color = RankColour(colour_, rank, rankCount_);
    }
    runs_.push_back(std::move(run));
    open_ = true;
  }

  TBufStream& reader_;
  const TConcordItem& item_;
  TCharMask mask_;
  bool marking_;
  uint8_t first_, last_;
  bool centre_;
  TColor colour_;
  int32_t rankCount_;
  TSVFontInfo hitFont_, collocFont_;
  std::string line_;
  TSVFormatArray runs_;
  int kind_ = -1;
  bool open_ = false;
  int32_t hitStart_ = -1;
  int32_t hitEnd_ = -1;
};

}  // namespace

TClassMask VisibleClassMask(bool suppressTags, bool suppressPartOfSpeech, bool suppressWords)
{
  TClassMask mask = 0;
  for (TCharClass cls : {ccDelimiter, ccBlank, ccEndOfLine, ccWord, ccTag, ccWordTag})
    mask |= ClassBit(cls);
  if (suppressTags)
    mask &= TClassMask(~ClassBit(ccTag));
  if (suppressPartOfSpeech)
    mask &= TClassMask(~ClassBit(ccWordTag));
  if (suppressWords)
    mask &= TClassMask(~(ClassBit(ccDelimiter) | ClassBit(ccWord)));
  return mask;
}

int32_t OwnHitEnd(const TSearchContext& context)
{
  if (context.Mode == TSearchMode::Text && context.HitEndAfterDelimiter && context.HitEnd > context.HitStart)
    return context.HitEnd - 1;
  return context.HitEnd;
}

void ReportHit(TSearchContext& context, int32_t fileIndex, const THitCallback& callback)
{
  TBufStream& reader = *context.Reader;
  int32_t hitStart = context.HitStart;
  int32_t hitEnd = OwnHitEnd(context);
  reader.SetRange(hitStart, std::max(reader.StreamSize(), hitStart));
  switch (context.Mode) {
  case TSearchMode::Text:
    // The attempt may have begun on the delimiters before the first word.
    while (hitStart < hitEnd && !reader.AtEnd()) {
      const char c = reader.NextChar();
      if (!context.Delimiters.test(static_cast<unsigned char>(c)))
        break;
      ++hitStart;
    }
    break;
  case TSearchMode::Tag:
    reader.ResetTagState();
    while (hitStart < hitEnd && !reader.AtEnd()) {
      TCharClass cls;
      reader.NextCharClassified(cls);
      if (cls == ccWord || cls == ccWordTag)
        break;
      ++hitStart;
    }
    break;
  case TSearchMode::Regex:
    break;
  }

  auto item = std::make_unique<TConcordItem>();
  item->FileIndex = fileIndex;
  item->HitStart = hitStart;
  item->HitEnd = hitEnd;
  FillHitWords(reader, hitStart, hitEnd, *item, context.Mode);
  callback(std::move(item));
}

namespace {

// The words of a hit record as they are found. A word is kept as a view of
// the reader's window where it stays put until the record is made, else
// copied once into the store.
class THitWords {
public:
  std::array<TConcordItem::TWordEntry, TConcordItem::SlotCount> Words{};

  void Keep(int slot, std::string_view text, int32_t start, int32_t end)
  {
    Words[size_t(slot)] = {true, CharsWithin(text, 255), start, end};
  }
  void KeepCopy(int slot, std::string_view text, int32_t start, int32_t end)
  {
    Keep(slot, Copy(text), start, end);
  }
  // A hit text built apart, kept as it is.
  void KeepHitText(std::string text)
  {
    hitText_ = std::move(text);
    Keep(ctx0, hitText_, 0, 0);
  }
  std::string_view Copy(std::string_view text)
  {
    text = CharsWithin(text, 255);
    const size_t n = text.size();
    char* to = Reserve(n);
    std::memcpy(to, text.data(), n);
    return {to, n};
  }
  char* Reserve(size_t n)
  {
    char* to = store_ + used_;
    used_ += n;
    return to;
  }
  void Drop(int from, int to)
  {
    for (int s = from; s <= to; ++s)
      Words[size_t(s)] = {};
  }

private:
  // Each side keeps at most eight words of 255 (a second classification may
  // replace the first four), the left one more whole word, and the hit text
  // 60 characters.
  char store_[20 * 256];
  size_t used_ = 0;
  std::string hitText_;
};

// The hit text of Text and Tag mode from its successive words: joined with one
// blank each, at most 60 characters; when the whole is longer and the last
// word shorter than 54, the head, " ... " and the last word.
class TJoinedWords {
public:
  void Add(std::string_view w)
  {
    full_ += w.size() + (count_ ? 1 : 0);
    if (len_ < size_t(kMaxHitText) && !cut_) {
      if (count_)
        text_[len_++] = ' ';
      const size_t n = CharsWithin(w, size_t(kMaxHitText) - len_).size();
      std::memcpy(text_ + len_, w.data(), n);
      len_ += n;
      // A character that does not fit ends the text, even with room left.
      cut_ = n < w.size();
    }
    std::memcpy(last_, w.data(), w.size());
    lastLen_ = w.size();
    ++count_;
  }
  std::string_view Finish()
  {
    if (full_ > size_t(kMaxHitText) && lastLen_ < size_t(kLastWordRoom)) {
      len_ = CharsWithin({text_, len_}, size_t(kLastWordRoom) - lastLen_).size();
      std::memcpy(text_ + len_, kEllipsis.data(), kEllipsis.size());
      len_ += kEllipsis.size();
      std::memcpy(text_ + len_, last_, lastLen_);
      len_ += lastLen_;
    }
    return {text_, len_};
  }

private:
  char text_[kMaxHitText + 8];
  size_t len_ = 0;
  size_t full_ = 0;
  size_t count_ = 0;
  bool cut_ = false;
  char last_[256];
  size_t lastLen_ = 0;
};

// Appends the characters that `next` gives (the bytes of one each, empty at
// the end), line ends folded, while the text stays within `limit` bytes: a
// character that does not fit ends it.
template <typename NextChar>
void AppendCharsWithin(std::string& text, size_t limit, NextChar next)
{
  for (std::string_view c; !(c = next()).empty() && text.size() + c.size() <= limit;)
    for (char b : c)
      AppendFolded(text, b);
}

// The characters of bytes that start on a boundary, one by one.
auto CharsOf(std::string_view bytes)
{
  return [bytes, page = &TextPage(), i = size_t(0)]() mutable {
    const size_t n = i < bytes.size() ? platform::charBytesAt(*page, bytes, i) : 0;
    i += n;
    return bytes.substr(i - n, n);
  };
}

// The hit text of Regex mode from the hit's bytes: all of them when fewer
// than 61, else the characters in the first 27 bytes, " ... " and those from
// the first boundary in the last 28 bytes up to 60 in all; line ends folded.
std::string RegexHitText(std::string_view hit)
{
  std::string text;
  if (hit.size() < size_t(kMaxHitText) + 1) {
    for (char c : hit)
      AppendFolded(text, c);
  } else {
    AppendCharsWithin(text, size_t(kHeadOfLongHit), CharsOf(hit));
    text.append(kEllipsis);
    const size_t tail = CharEndAt(hit, hit.size() - size_t(kTailOfLongHit));
    AppendCharsWithin(text, size_t(kMaxHitText), CharsOf(hit.substr(tail)));
  }
  CrToBlank(text);
  return text;
}

// Which bytes of [lo, hi) of a held window are word characters, as bits made
// 64 at a time when first asked for, and the edges of their runs.
class TWordBits {
public:
  TWordBits(const TBufStream& reader, const unsigned char* base, int32_t lo, int32_t hi)
    : reader_(reader), base_(base), lo_(lo), hi_(hi)
  {
  }
  // The first position in [pos, limit) that is a word character (set) or is
  // none (!set); limit when there is none.
  int32_t Next(int32_t pos, int32_t limit, bool set)
  {
    while (pos < limit) {
      const int32_t off = (pos - lo_) & 63;
      const uint64_t b = (set ? Block(pos) : ~Block(pos)) >> off;
      if (b)
        return std::min(limit, pos + int32_t(__builtin_ctzll(b)));
      pos += 64 - off;
    }
    return limit;
  }
  // The position after the last one in [floor, pos) that is a word character
  // (set) or is none (!set); floor when there is none.
  int32_t PrevEdge(int32_t pos, int32_t floor, bool set)
  {
    while (pos > floor) {
      const int32_t q = pos - 1;
      const int32_t off = (q - lo_) & 63;
      const uint64_t b = (set ? Block(q) : ~Block(q)) << (63 - off);
      if (b) {
        const int32_t r = q - int32_t(__builtin_clzll(b));
        return r >= floor ? r + 1 : floor;
      }
      pos = q - off;
    }
    return floor;
  }

private:
  uint64_t Block(int32_t pos)
  {
    const auto k = size_t(pos - lo_) >> 6;
    if (!(have_[k >> 6] >> (k & 63) & 1)) {
      uint64_t b = reader_.PlainWordBits(base_ + 64 * k);
      const int64_t valid = int64_t(hi_ - lo_) - int64_t(64 * k);
      if (valid < 64)
        b &= (uint64_t(1) << valid) - 1;
      blocks_[k] = b;
      have_[k >> 6] |= uint64_t(1) << (k & 63);
    }
    return blocks_[k];
  }

  const TBufStream& reader_;
  const unsigned char* base_;
  int32_t lo_, hi_;
  uint64_t have_[TBufStream::BufferSize / 64 / 64 + 1] = {};
  uint64_t blocks_[TBufStream::BufferSize / 64 + 1];
};

// A word that a range cuts, kept whole: [start, end) of the stream, its text
// the characters in its first 255 bytes (one byte more is read to tell them).
void KeepWholeWord(TBufStream& reader, THitWords& kept, int slot, int32_t start, int32_t end)
{
  const int32_t n = std::min(end - start, 256);
  char* to = kept.Reserve(size_t(n));
  const int32_t got = reader.CopyBytes(start, to, n);
  kept.Keep(slot, std::string_view(to, size_t(std::max(got, 0))), start, end);
}

// The record's words where no byte within 255 of the hit (the hit included)
// can begin a tag: then every class is the byte's own, words are the runs of
// word characters, and all of it is read in place from one window. False,
// with nothing kept, when that does not hold.
bool FillPlainHitWords(TBufStream& reader, int32_t hitStart, int32_t hitEnd, int32_t fileSize,
                       TSearchMode mode, THitWords& kept)
{
  const int32_t lo = std::max(0, hitStart - 255);
  const auto hi = int32_t(std::min<int64_t>(int64_t(hitEnd) + 255, fileSize));
  if (hi - lo > reader.WindowSize() || reader.HeldTagBegin(lo, hi))
    return false;
  const bool checked = reader.Holds(lo, hi);
  const unsigned char* base = reader.HoldRange(lo, hi);
  if (!base || (!checked && !reader.NoTagBegins(base, base + (hi - lo))))
    return false;
  const auto at = [&](int32_t pos) { return base + (pos - lo); };
  TWordBits bits(reader, base, lo, hi);
  const auto bytes = [&](int32_t from, int32_t to) {
    return std::string_view(reinterpret_cast<const char*>(at(from)), size_t(to - from));
  };
  const auto view = [&](int32_t from, int32_t to) { return CharsWithin(bytes(from, to), 255); };

  // Left words, nearest first; a word that reaches the range's first byte is
  // read whole.
  int32_t p = hitStart;
  for (int slot = ctx1L; slot >= ctx4L; --slot) {
    p = bits.PrevEdge(p, lo, true);
    if (p == lo)
      break;
    const int32_t q = bits.PrevEdge(p - 1, lo, false);
    if (q == lo && lo > 0) {
      const int32_t first = reader.PlainWordRunStart(lo);
      if (first < lo) {
        KeepWholeWord(reader, kept, slot, first, p);
        break;
      }
    }
    kept.Keep(slot, view(q, p), q, p);
    p = q;
  }

  // The hit text.
  if (mode != TSearchMode::Regex) {
    TJoinedWords joined;
    for (int32_t x = hitStart;;) {
      x = bits.Next(x, hitEnd, true);
      if (x >= hitEnd)
        break;
      const int32_t y = bits.Next(x + 1, hitEnd, false);
      joined.Add(view(x, y));
      x = y;
    }
    kept.KeepCopy(ctx0, joined.Finish(), 0, 0);
  } else {
    kept.KeepHitText(RegexHitText(bytes(hitStart, hitEnd)));
  }

  // Right words; a word that reaches the range's last byte is read whole.
  int32_t x = hitEnd;
  for (int slot = ctx1R; slot <= ctx4R; ++slot) {
    x = bits.Next(x, hi, true);
    if (x >= hi)
      break;
    const int32_t y = bits.Next(x + 1, hi, false);
    if (y == hi && hi < fileSize) {
      KeepWholeWord(reader, kept, slot, x, reader.PlainWordRunEnd(y));
      break;
    }
    kept.Keep(slot, view(x, y), x, y);
    x = y;
  }
  return true;
}

}  // namespace

void FillHitWords(TBufStream& reader, int32_t hitStart, int32_t hitEnd, TConcordItem& item, TSearchMode mode)
{
  const int32_t fileSize = reader.StreamSize();
  hitStart = std::clamp(hitStart, 0, fileSize);
  hitEnd = std::clamp(hitEnd, hitStart, fileSize);
  THitWords kept;
  if (FillPlainHitWords(reader, hitStart, hitEnd, fileSize, mode, kept)) {
    item.SetWords(kept.Words);
    return;
  }
  std::array<TConcordItem::TWordEntry, TConcordItem::SlotCount>& words = kept.Words;

  // Left words, nearest first: slots 4, 3, 2, 1. They nearly always lie in
  // the last few dozen bytes before the hit, so those are classified first;
  // the whole range only when a word may reach past them.
  {
    const int32_t lo = std::max(0, hitStart - 255);
    const int32_t hi = std::min(hitStart + 1, fileSize);
    int32_t from = reader.ValidateBufferFrom(lo, std::max(lo, hitStart - kNearWords), hi);
    for (;;) {
      reader.Seek(hitStart);
      int slot = ctx1L;
      for (; slot >= ctx4L; --slot) {
        const std::string_view w = reader.PrevWord();
        if (w.empty())
          break;
        kept.KeepCopy(slot, w, reader.WordStart(), reader.WordEnd());
      }
      if (from == lo || (slot < ctx4L && words[ctx4L].Start > from))
        break;
      kept.Drop(ctx4L, ctx1L);
      reader.ValidateBuffer(lo, hi);
      from = lo;
    }
    // A word that begins at the range's first byte is read whole.
    for (int slot = ctx4L; slot <= ctx1L; ++slot) {
      TConcordItem::TWordEntry& w = words[size_t(slot)];
      if (!w.Present || w.Start != lo || lo == 0)
        continue;
      const int32_t first = reader.PlainWordRunStart(lo);
      if (first < lo)
        KeepWholeWord(reader, kept, slot, first, w.End);
    }
  }

  // The hit itself, read with the tag state of its first character.
  reader.Seek(hitStart);
  TCharClass firstClass;
  reader.NextCharClassified(firstClass);
  reader.SetRange(hitStart, hitEnd);
  reader.SetTagState(firstClass);
  if (mode != TSearchMode::Regex) {
    TJoinedWords joined;
    for (;;) {
      const std::string_view w = reader.NextWord();
      if (w.empty())
        break;
      joined.Add(w);
    }
    kept.KeepCopy(ctx0, joined.Finish(), 0, 0);
  } else {
    std::string text;
    if (hitEnd - hitStart < kMaxHitText + 1) {
      while (!reader.AtEnd())
        AppendFolded(text, reader.NextChar());
      CrToBlank(text);
    } else {
      const platform::CodePage& page = TextPage();
      char bytes[2];
      const auto next = [&] {
        size_t n = 0;
        if (!reader.AtEnd())
          bytes[n++] = reader.NextChar();
        if (n && page.dbcs && page.lead[static_cast<unsigned char>(bytes[0])] && !reader.AtEnd())
          bytes[n++] = reader.NextChar();
        return std::string_view(bytes, n);
      };
      AppendCharsWithin(text, size_t(kHeadOfLongHit), next);
      text.append(kEllipsis);
      const int32_t tail = hitEnd - kTailOfLongHit;
      reader.Seek(BoundaryAfter(reader, std::max(hitStart, tail - 64), tail, hitEnd));
      AppendCharsWithin(text, size_t(kMaxHitText), next);
      CrToBlank(text);
    }
    kept.KeepHitText(std::move(text));
  }

  // Right words: slots 5, 6, 7, 8, first from up to kNearWords bytes after
  // the hit. Part-of-speech start strings are matched only where they fit in
  // the range, so with them the whole range is classified at once.
  {
    const int32_t lo = std::max(0, hitEnd - 64);
    const int32_t hi = std::min(hitEnd + 255, fileSize);
    int32_t upTo = reader.WordTagStyle() == 2 ? hi : std::min(hi, hitEnd + kNearWords);
    for (;;) {
      reader.ValidateBufferFrom(lo, hitEnd, upTo);
      reader.Seek(hitEnd);
      int slot = ctx1R;
      for (; slot <= ctx4R; ++slot) {
        const std::string_view w = reader.NextWord();
        if (w.empty())
          break;
        kept.KeepCopy(slot, w, reader.WordStart(), reader.WordEnd());
      }
      // A word is whole when the character that ended it was in the range.
      if (upTo == hi || (slot > ctx4R && words[ctx4R].End < upTo))
        break;
      kept.Drop(ctx1R, ctx4R);
      upTo = hi;
    }
    // A word that ends at the range's last byte is read whole.
    for (int slot = ctx1R; slot <= ctx4R; ++slot) {
      const TConcordItem::TWordEntry& w = words[size_t(slot)];
      if (w.Present && w.End == hi && hi < fileSize)
        KeepWholeWord(reader, kept, slot, w.Start, reader.PlainWordRunEnd(hi));
    }
  }
  item.SetWords(words);
}

std::string BuildHitLine(TBufStream& reader, const TConcordItem& item, uint8_t contextType, TColor collocColour,
                         int32_t rankCount, uint8_t collocFirst, uint8_t collocLast, TSVFormatArray& spans,
                         TClassMask classMask, int32_t contextSize)
{
  const int32_t fileSize = reader.StreamSize();
  const int32_t hitStart = std::clamp(item.HitStart, 0, fileSize);
  const int32_t hitEnd = std::clamp(item.HitEnd, hitStart, fileSize);
  const bool zeroContext = contextType != ctSentence && contextSize == 0;
  LineBuilder line(reader, item, contextType, collocColour, rankCount, collocFirst, collocLast, classMask);

  const int32_t lo = std::max(0, hitStart - 512);
  const int32_t hi = std::min(hitEnd + 512, fileSize);
  const bool fits = hi - lo <= TBufStream::BufferSize;
  const bool shortHit = hitEnd - hitStart <= 512;
  int32_t leftEnd = fits && shortHit ? hitStart + (hitEnd - hitStart) / 2 : std::min(hitStart + 256, hitEnd);
  int32_t rightStart = fits && shortHit ? leftEnd : std::max(hitEnd - 256, leftEnd);
  if (rightStart > leftEnd) {
    // The middle of a long hit is left out between characters.
    leftEnd = BoundaryBefore(reader, hitStart, leftEnd);
    rightStart = BoundaryAfter(reader, std::max(leftEnd, rightStart - 64), rightStart, hitEnd);
  }

  // Left part: from where the left context begins to the middle of the hit.
  if (fits)
    reader.ValidateBuffer(lo, hi);
  else
    reader.ValidateBuffer(lo, std::min(hitStart + 256, fileSize));
  int32_t from = hitStart;
  if (!zeroContext) {
    const int32_t lower = lo == 0 ? 0 : lo + 64;
    from = LeftExtent(reader, hitStart, contextType, contextSize, lower, hitStart);
    // A characters context reaches no further than the classified window;
    // the window's first 64 bytes tell where its characters begin.
    from = BoundaryAfter(reader, lo, std::clamp(from, lower, hitStart), hitStart);
  }
  line.MaskedRead(from, leftEnd);

  // Right part: from the middle of the hit to where the right context ends.
  if (!fits)
    reader.ValidateBuffer(rightStart, hi);
  int32_t to = hitEnd;
  if (!zeroContext) {
    to = RightExtent(reader, hitEnd, contextType, contextSize, hitEnd, hi);
    to = BoundaryBefore(reader, hitEnd, std::clamp(to, hitEnd, hi));
  }
  line.MaskedRead(rightStart, to);

  const bool framing = (contextType == ctCharacters || contextType == ctWords) && !zeroContext;
  return line.Finish(framing, spans);
}

std::string ContextText(TBufStream& reader, int32_t hitStart, int32_t hitEnd, TSVFormatArray& spans,
                        TClassMask classMask)
{
  const int64_t size = int64_t(BigContextSize) * 512;
  const int32_t fileSize = reader.StreamSize();
  const auto from = int32_t(std::max<int64_t>(0, hitStart - size - 64));
  // Both ends of the window fall between characters: its first 64 bytes tell
  // where the characters begin.
  const int32_t to = BoundaryBefore(reader, hitEnd, int32_t(std::min<int64_t>(int64_t(hitEnd) + size, fileSize)));
  const auto windowStart = int32_t(std::max<int64_t>(0, hitStart - size));
  const int32_t writeFrom = BoundaryAfter(reader, from, std::max(from, windowStart - 1), hitStart);
  reader.SetRange(from, std::max(from, to));
  std::string text;
  int32_t lineStart = -1;
  int32_t lineEnd = -1;
  TCharMask mask(classMask);
  while (!reader.AtEnd()) {
    const int32_t pos = reader.GetPosition();
    TCharClass cls;
    const char c = reader.NextCharClassified(cls);
    if (pos < writeFrom || !mask.Keeps(c, cls))
      continue;
    if (pos >= hitStart && lineStart < 0)
      lineStart = int32_t(text.size());
    if (pos >= hitEnd && lineEnd < 0)
      lineEnd = int32_t(text.size());
    text.push_back(c);
  }
  if (lineStart < 0)
    lineStart = int32_t(text.size());
  if (lineEnd < 0)
    lineEnd = int32_t(text.size());
  TSVFormatInfo run;
  run.Start = lineStart + 1;
  run.Length = std::max(0, lineEnd - lineStart);
  run.Center = false;
  run.Hilite = true;
  FontToSVFontInfo(ConcordSettings.HiliteFont, run.Font);
  spans.assign(1, run);
  return text;
}
