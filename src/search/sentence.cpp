#include "search/sentence.h"

#include "foundation/buf_stream.h"
#include "foundation/chartables.h"
#include "foundation/program_state.h"
#include "foundation/settings.h"
#include "platform/codepage.h"
#include "search/search_context.h"

#include <algorithm>
#include <string>

namespace {

// Bytes before a hit that the sentence test classifies too.
constexpr int32_t SentenceLookBehind = 64;
// Largest span the sentence test classifies.
constexpr int32_t SentenceSpan = 8192;
// Bytes before a cut read to find the character boundary it falls on, and
// how many more when a run of lead bytes crosses them.
constexpr int32_t BoundaryLookBehind = 64;
constexpr int32_t FarLookBehind = 4096;

std::string ReadBytes(TBufStream& reader, int32_t from, int32_t to)
{
  std::string bytes(size_t(std::max(0, to - from)), '\0');
  bytes.resize(size_t(reader.CopyBytes(from, bytes.data(), int32_t(bytes.size()))));
  return bytes;
}

// Reads forwards from a character boundary and tells which bytes are
// characters of their own: neither a double-byte character's lead byte nor
// its trail byte.
class TSingleBytes {
public:
  TSingleBytes() : page_(TextPage()) {}
  // Whether c, the next byte, is a character of its own.
  bool Single(char c)
  {
    if (trailNext_) {
      trailNext_ = false;
      return false;
    }
    trailNext_ = page_.dbcs && page_.lead[static_cast<unsigned char>(c)];
    return !trailNext_;
  }

private:
  const platform::CodePage& page_;
  bool trailNext_ = false;
};

// The first character boundary at or after pos that the bytes [lo, anchor)
// tell, anchor being a boundary; npos when they cannot. A byte that cannot
// lead ends a character, a byte below 0x40 (never a trail byte) begins one,
// and the lead bytes between pair up from the nearer of those, from the file
// start or from the anchor.
size_t TellBoundary(const platform::CodePage& page, std::string_view text, size_t pos, bool startsOnBoundary)
{
  const auto canLead = [&](size_t i) { return page.lead[static_cast<unsigned char>(text[i])]; };
  size_t run = pos;  // [run, pos) can lead
  while (run > 0 && canLead(run - 1))
    --run;
  if (run > 0 || startsOnBoundary)
    return run + platform::charEndAt(page, text.substr(run), pos - run);
  size_t end = pos;  // [pos, end) can lead
  while (end < text.size() && canLead(end))
    ++end;
  if (end == text.size() || static_cast<unsigned char>(text[end]) < 0x40)
    return (end - pos) % 2 == 0 ? pos : pos + 1;
  return std::string_view::npos;
}

// The first boundary at or after pos, reading the bytes [lo, anchor) into
// text. When a run of lead bytes crosses lo so that they cannot tell, up to
// FarLookBehind bytes more before lo are read; failing that, the cut moves on
// to the first boundary after pos that the bytes tell.
int32_t FirstBoundary(TBufStream& reader, int32_t& lo, std::string& text, int32_t pos, int32_t anchor)
{
  const platform::CodePage& page = TextPage();
  text = ReadBytes(reader, lo, anchor);
  size_t at = TellBoundary(page, text, size_t(pos - lo), lo == 0);
  if (at == std::string_view::npos && lo > 0) {
    lo = std::max(0, lo - FarLookBehind);
    text = ReadBytes(reader, lo, anchor);
    at = TellBoundary(page, text, size_t(pos - lo), lo == 0);
  }
  if (at == std::string_view::npos) {
    at = size_t(pos - lo);
    while (at < text.size() && page.lead[static_cast<unsigned char>(text[at])])
      ++at;
    at = std::min(at + 1, text.size());
  }
  return lo + int32_t(at);
}

// Whether the delimiter byte at pos is a character of its own: a byte below
// 0x40 always is; on a double-byte page a lead byte or a trail byte is not.
bool DelimiterStandsAlone(TBufStream& reader, int32_t pos, char c, int32_t lower)
{
  const platform::CodePage& page = TextPage();
  const auto b = static_cast<unsigned char>(c);
  if (!page.dbcs || b < 0x40)
    return true;
  if (page.lead[b])
    return false;
  // The byte cannot lead, so a character ends after it.
  return BoundaryAfter(reader, std::max(0, std::min(lower, pos) - BoundaryLookBehind), pos, pos + 1) == pos;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b)
{
  if (a.size() != b.size())
    return false;
  // On a double-byte page the text is folded by characters, so a trail byte
  // is never folded as the letter of the same value.
  if (TextPage().dbcs)
    return a == b || LocaleLowerStr(a) == LocaleLowerStr(b);
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i] && LocaleLowerChar(a[i]) != LocaleLowerChar(b[i]))
      return false;
  return true;
}

bool OutsideTags(TCharClass cls)
{
  return cls != ccTag && cls != ccWordTag;
}

// Whether the delimiter at `pos` of the reader's validated range ends a
// sentence. The cursor is left before the word that precedes it.
bool DelimiterAtEndsSentence(TBufStream& reader, int32_t pos, char c)
{
  reader.Seek(pos);
  std::string_view word = reader.PrevWord();
  return EndsSentence(word, c);
}

// The same for the delimiter read at `pos`.
bool DelimiterAtEndsSentence(TBufStream& reader, int32_t pos)
{
  reader.Seek(pos);
  const char c = reader.NextChar();
  return DelimiterAtEndsSentence(reader, pos, c);
}

int32_t FileEnd(TBufStream& reader)
{
  return reader.StreamSize();
}

}  // namespace


int32_t BoundaryAfter(TBufStream& reader, int32_t lo, int32_t pos, int32_t anchor)
{
  if (!TextPage().dbcs || pos <= lo || pos >= anchor)
    return pos;
  std::string text;
  return FirstBoundary(reader, lo, text, pos, anchor);
}

int32_t BoundaryBefore(TBufStream& reader, int32_t from, int32_t pos)
{
  const platform::CodePage& page = TextPage();
  if (!page.dbcs || pos <= from)
    return pos;
  return from + int32_t(platform::charStartAt(page, ReadBytes(reader, from, pos + 1), size_t(pos - from)));
}

bool IsSentenceDelimiter(char c)
{
  const platform::CodePage& page = TextPage();
  if (!page.dbcs)
    return SentDelimiters.find(c) != std::string::npos;
  // Only the single-byte characters of the settings text delimit: a
  // double-byte one ends no sentence, and neither of its bytes does.
  for (size_t i = 0; i < SentDelimiters.size(); i += platform::charBytesAt(page, SentDelimiters, i))
    if (SentDelimiters[i] == c && !page.lead[static_cast<unsigned char>(c)])
      return true;
  return false;
}

bool IsAbbreviation(std::string_view w)
{
  if (!SmartAbbrDetect || w.empty() || w.size() >= 5 || w.back() != '.')
    return false;
  // The language's own character type: CharTypeTable counts punctuation
  // outside NonWordChars as letters.
  const uint16_t type = platform::codePage(AnsiCodePage).ctype[static_cast<unsigned char>(w.front())];
  return (type & platform::C1_ALPHA) && (type & platform::C1_UPPER);
}

bool IsException(std::string_view w)
{
  if (SmartAbbrDetect || w.empty() || w.back() != '.')
    return false;
  w.remove_suffix(1);
  return FindSentException(w) != SentDelimitersExcepts.end();
}

std::vector<std::string>::iterator FindSentException(std::string_view w)
{
  return std::find_if(SentDelimitersExcepts.begin(), SentDelimitersExcepts.end(),
                      [w](const std::string& entry) { return EqualIgnoringCase(entry, w); });
}

bool EndsSentence(std::string_view w, char c)
{
  std::string word(w);
  if (word.empty() || word.back() != c)
    word.push_back(c);
  return !IsAbbreviation(word) && !IsException(word);
}

bool CrossesSentence(TBufStream& reader, int32_t hitStart, int32_t hitEnd)
{
  const int32_t lo = std::max(0, hitStart - SentenceLookBehind);
  if (int64_t(hitEnd) - lo >= std::min(SentenceSpan, reader.WindowSize()))
    return true;
  reader.ValidateBuffer(lo, hitEnd);
  reader.Seek(hitStart);
  TCharClass cls = ccNone;
  TSingleBytes bytes;
  // Delimiters before the hit's first word never count.
  do {
    if (reader.AtEnd())
      return false;
    bytes.Single(reader.NextCharClassified(cls));
  } while (cls != ccWord);
  for (;;) {
    char c;
    bool single;
    do {
      if (reader.AtEnd())
        return false;
      c = reader.NextCharClassified(cls);
      single = bytes.Single(c);
    } while (!single || !IsSentenceDelimiter(c) || !OutsideTags(cls));
    const int32_t after = reader.GetPosition();
    if (DelimiterAtEndsSentence(reader, after - 1, c))
      return true;
    reader.Seek(after);
  }
}

bool CrossesSentence(TSearchContext& context, int32_t hitStart, int32_t hitEnd)
{
  return context.Reader ? CrossesSentence(*context.Reader, hitStart, hitEnd) : false;
}

int32_t NextSentenceDelimiter(TBufStream& reader, int32_t upper)
{
  TCharClass cls = ccNone;
  TSingleBytes bytes;
  for (;;) {
    const int32_t pos = reader.GetPosition();
    if (pos < 0 || pos >= upper || reader.AtEnd())
      return -1;
    const char c = reader.NextCharClassified(cls);
    if (bytes.Single(c) && IsSentenceDelimiter(c) && OutsideTags(cls))
      return pos;
  }
}

int32_t PrevSentenceDelimiter(TBufStream& reader, int32_t lower)
{
  TCharClass cls = ccNone;
  for (;;) {
    const int32_t before = reader.GetPosition();
    if (before <= lower || before <= reader.RangeStart())
      return -1;
    const char c = reader.PrevCharClassified(cls);
    if (reader.GetPosition() == before)
      return -1;
    if (IsSentenceDelimiter(c) && OutsideTags(cls) && DelimiterStandsAlone(reader, before - 1, c, lower))
      return before - 1;
  }
}

int32_t LeftExtent(TBufStream& reader, int32_t hitStart, int contextType, int32_t size, int32_t lower,
                   int32_t upper)
{
  (void)upper;
  switch (contextType) {
  case ctCharacters: {
    const platform::CodePage& page = TextPage();
    if (!page.dbcs)
      return std::max(0, hitStart - std::max(0, size));
    if (size <= 0)
      return hitStart;
    // The characters from the first boundary at or after lower, counted
    // forwards; the cut is size characters before the hit.
    const int32_t floor = std::clamp(lower, 0, std::max(0, hitStart));
    int32_t lo = std::max(0, floor - BoundaryLookBehind);
    std::string text;
    const int32_t first = FirstBoundary(reader, lo, text, floor, hitStart);
    std::vector<int32_t> starts;
    for (auto i = size_t(first - lo); i < text.size(); i += platform::charBytesAt(page, text, i))
      starts.push_back(lo + int32_t(i));
    return starts.size() > size_t(size) ? starts[starts.size() - size_t(size)]
                                        : starts.empty() ? hitStart : starts.front();
  }
  case ctWords:
  case ctLines: {
    if (size <= 0)
      return hitStart;
    reader.Seek(hitStart);
    int32_t count = 0;
    bool afterWord = false;  // the character read before (to the right) was a word character
    bool stepForward = true;
    for (;;) {
      const int32_t before = reader.GetPosition();
      if (before <= reader.RangeStart()) {
        // The text begins here: the character at the cursor was counted.
        stepForward = false;
        break;
      }
      TCharClass cls = ccNone;
      reader.PrevCharClassified(cls);
      const int32_t pos = reader.GetPosition();
      if (pos == before) {
        stepForward = false;
        break;
      }
      if (pos < lower)
        break;
      if (contextType == ctWords) {
        if (afterWord && cls != ccWord && ++count == size)
          break;
        afterWord = cls == ccWord;
      } else if (cls == ccEndOfLine && ++count == size) {
        break;
      }
    }
    int32_t result = reader.GetPosition();
    if (stepForward && result > 0)
      ++result;
    return std::max(0, result);
  }
  case ctSentence: {
    reader.Seek(hitStart);
    int32_t end = lower - 1;
    for (;;) {
      const int32_t d = PrevSentenceDelimiter(reader, lower);
      if (d < 0)
        break;
      if (DelimiterAtEndsSentence(reader, d)) {
        end = d;
        break;
      }
      reader.Seek(d);
    }
    int32_t pos = std::max(0, end + 1);
    reader.Seek(pos);
    while (pos < hitStart && !reader.AtEnd() && static_cast<unsigned char>(reader.NextChar()) < 33)
      ++pos;
    return pos;
  }
  default:
    return hitStart;
  }
}

int32_t RightExtent(TBufStream& reader, int32_t hitEnd, int contextType, int32_t size, int32_t lower,
                    int32_t upper)
{
  (void)lower;
  const int32_t fileEnd = FileEnd(reader);
  const int32_t stop = std::min(upper, reader.RangeEnd());
  switch (contextType) {
  case ctCharacters: {
    const platform::CodePage& page = TextPage();
    if (!page.dbcs)
      return int32_t(std::min<int64_t>(int64_t(hitEnd) + std::max(0, size), fileEnd));
    // The byte after the last one allowed shows whether a character ends there.
    const auto limit = int32_t(std::min<int64_t>({int64_t(hitEnd) + 2 * int64_t(std::max(0, size)), upper, fileEnd}));
    const std::string text = ReadBytes(reader, hitEnd, std::min(limit + 1, fileEnd));
    const auto room = size_t(std::max(0, limit - hitEnd));
    size_t at = 0;
    for (int32_t n = 0; n < size && at < room; ++n) {
      const size_t step = platform::charBytesAt(page, text, at);
      if (at + step > room)
        break;
      at += step;
    }
    return hitEnd + int32_t(at);
  }
  case ctWords:
  case ctLines: {
    if (size <= 0)
      return std::min(hitEnd, fileEnd);
    reader.Seek(hitEnd);
    int32_t count = 0;
    bool afterWord = false;
    for (;;) {
      const int32_t pos = reader.GetPosition();
      if (pos < 0 || pos >= stop || reader.AtEnd())
        break;
      TCharClass cls = ccNone;
      reader.NextCharClassified(cls);
      if (contextType == ctWords) {
        if (afterWord && cls != ccWord && ++count == size)
          break;
        afterWord = cls == ccWord;
      } else if (cls == ccEndOfLine && ++count == size) {
        break;
      }
    }
    return std::min(std::max(reader.GetPosition(), hitEnd), fileEnd);
  }
  case ctSentence: {
    reader.Seek(hitEnd);
    for (;;) {
      const int32_t d = NextSentenceDelimiter(reader, stop);
      if (d < 0)
        break;
      const bool ends = DelimiterAtEndsSentence(reader, d);
      reader.Seek(d + 1);
      if (ends)
        break;
    }
    const int32_t pos = reader.GetPosition();
    return std::min(pos < 0 ? hitEnd : std::max(pos, hitEnd), fileEnd);
  }
  default:
    return std::min(hitEnd, fileEnd);
  }
}
