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

bool EqualIgnoringCase(std::string_view a, std::string_view b)
{
  if (a.size() != b.size())
    return false;
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

bool IsSentenceDelimiter(char c)
{
  return SentDelimiters.find(c) != std::string::npos;
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
  // Delimiters before the hit's first word never count.
  do {
    if (reader.AtEnd())
      return false;
    reader.NextCharClassified(cls);
  } while (cls != ccWord);
  for (;;) {
    char c;
    do {
      if (reader.AtEnd())
        return false;
      c = reader.NextCharClassified(cls);
    } while (!IsSentenceDelimiter(c) || !OutsideTags(cls));
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
  for (;;) {
    const int32_t pos = reader.GetPosition();
    if (pos < 0 || pos >= upper || reader.AtEnd())
      return -1;
    const char c = reader.NextCharClassified(cls);
    if (IsSentenceDelimiter(c) && OutsideTags(cls))
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
    if (IsSentenceDelimiter(c) && OutsideTags(cls))
      return before - 1;
  }
}

int32_t LeftExtent(TBufStream& reader, int32_t hitStart, int contextType, int32_t size, int32_t lower,
                   int32_t upper)
{
  (void)upper;
  switch (contextType) {
  case ctCharacters:
    return std::max(0, hitStart - std::max(0, size));
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
  case ctCharacters:
    return int32_t(std::min<int64_t>(int64_t(hitEnd) + std::max(0, size), fileEnd));
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
