#include "search/search_context.h"

#include "foundation/buf_stream.h"
#include "foundation/chartables.h"
#include "foundation/hash_strings.h"
#include "foundation/utils.h"
#include "platform/codepage.h"
#include "search/regexp/regexp.h"

#include <algorithm>
#include <cstring>

namespace {

inline unsigned char Byte(char c)
{
  return static_cast<unsigned char>(c);
}

bool SameTextIgnoringCase(std::string_view a, std::string_view b)
{
  if (a.size() != b.size())
    return false;
  const platform::CodePage& cp = platform::codePage(AnsiCodePage);
  for (size_t i = 0; i < a.size(); i += platform::charBytesAt(cp, a, i)) {
    // A double-byte character is compared as it is: its trail byte never folds.
    if (platform::charBytesAt(cp, a, i) == 2) {
      if (a.compare(i, 2, b, i, 2) != 0)
        return false;
    } else if (a[i] != b[i] && LocaleLowerChar(a[i]) != LocaleLowerChar(b[i])) {
      return false;
    }
  }
  return true;
}

// The meta tag of that name, compared without case; none when it is missing.
const TMetaTag* FindMetaTag(std::string_view name)
{
  for (const TMetaTag& meta : ConcordSettings.MetaTags) {
    if (SameTextIgnoringCase(meta.Name, name))
      return &meta;
  }
  return nullptr;
}

}  // namespace

TTerm::TTerm(uint8_t kind, std::string text) : Kind(kind), Text(std::move(text))
{
  if (Kind == tkRegExp)
    RegExp = std::make_unique<TRegExp>(Text.c_str());
}

TTerm::TTerm(TTerm&&) noexcept = default;
TTerm& TTerm::operator=(TTerm&&) noexcept = default;
TTerm::~TTerm() = default;

TSearchContext::TSearchContext(const std::string& pattern, bool caseSensitive,
                               const std::string& equalCharsText, const TCharSet& skipSet,
                               TSearchMode mode)
  : Mode(mode), SkipSet(skipSet), EqualCharsText(equalCharsText), CaseSensitive(caseSensitive)
{
  for (int c = 0; c < 256; ++c) {
    lowerTable_[c] = LocaleLowerChar(static_cast<char>(c));
    identityTable_[c] = static_cast<char>(c);
  }
  doubleByteText_ = FarEastLanguage;
  for (int c = 0; c < 256; ++c) {
    leadTable_[c] = IsLeadByte(static_cast<unsigned char>(c));
    dbcs_ = dbcs_ || leadTable_[c];
  }
  star_ = ConcordSettings.WildCard0orMore;
  zeroOrOne_ = ConcordSettings.WildCard0or1;
  exactlyOne_ = ConcordSettings.WildCardExactly1;

  for (int c = 0; c <= 32; ++c)
    Delimiters.set(c);
  for (char c : SingleByteChars(ConcordSettings.NonWordChars))
    Delimiters.set(Byte(c));
  Delimiters.set(Byte(star_));
  Delimiters.set(Byte(zeroOrOne_));
  Delimiters.set(Byte(exactlyOne_));
  Delimiters &= ~SkipSet;
  for (int c = 0; c < 256; ++c) {
    delimiterTable_[c] = Delimiters[c];
    skipTable_[c] = SkipSet[c];
  }
  noSkipping_ = SkipSet.none();

  ParsePattern(pattern);
  SetUpPrefilter();
}

void TSearchContext::SetUpPrefilter()
{
  prefilterOn_ = false;
  // Skipping characters, equal-character groups and lower-casing outside the
  // code page's tables make the first bytes of a matching word
  // unpredictable: no jumps then.
  // In Tag mode only a pair whose word comes first can be tested on its
  // first token.
  const bool wordFirst = Mode == TSearchMode::Tag && TermCount >= 2 && Terms[0].Kind == tkWord;
  if ((Mode != TSearchMode::Text && !wordFirst) || TermCount == 0 || Terms[0].Kind != tkWord || !noSkipping_ ||
      (doubleByteText_ && !dbcs_))
    return;
  if (ConcordSettings.UseSkipEqualChars)
    for (const TCharSet& group : ConcordSettings.EqualCharSets)
      if (group.any())
        return;
  const std::string& text = Terms[0].Text;
  const auto wild = [this](char c) { return c != 0 && (c == star_ || c == zeroOrOne_ || c == exactlyOne_); };
  size_t n = 0;
  auto* fold = CaseSensitive ? nullptr : reinterpret_cast<const unsigned char*>(lowerTable_);
  if (!dbcs_) {
    while (n < text.size() && !wild(text[n]))
      ++n;
  } else if (CaseSensitive) {
    while (n < text.size() && !(CharWidth(text, n) == 1 && wild(text[n])))
      n += CharWidth(text, n);
  } else if (CharWidth(text, 0) == 1) {
    // Ignoring case, a trail byte must not fold: characters of one byte,
    // through the case table ...
    while (n < text.size() && CharWidth(text, n) == 1 && !wild(text[n]))
      ++n;
  } else {
    // ... or double-byte characters that have no other case, as they are.
    const platform::CodePage& cp = platform::codePage(AnsiCodePage);
    while (n < text.size() && CharWidth(text, n) == 2) {
      const std::string_view pair = std::string_view(text).substr(n, 2);
      if (platform::lowerText(cp, pair) != pair || platform::upperText(cp, pair) != pair)
        break;
      n += 2;
    }
    fold = nullptr;
  }
  if (n == 0)
    return;
  prefilter_ = TBufStream::TWordStartFinder(std::string_view(text).substr(0, n), fold);
  prefilterOn_ = true;
}

// Called for each window a prefix scan moves past: checks for a stop
// request (false when stopped) and counts the words skipped since `last`,
// estimated at six bytes each, for the rate figure.
bool TSearchContext::NoteSkipped(int32_t position, int32_t& last, bool reportProgress)
{
  StopCheck();
  if (Stopped())
    return false;
  if (Owner) {
    Owner->WordsTried += (position - last) / 6;
    last = std::max(last, position);
    if (reportProgress)
      Owner->UpdateProgress(position, false);
  }
  return true;
}

// After a failed attempt: moves to the next attempt whose first word begins
// with the prefix, starting it where the word-by-word scan would have (just
// after the delimiter that ended the word before it), so that the attempts
// skipped are exactly those that would have failed on their first word.
bool TSearchContext::JumpToCandidate(bool reportProgress)
{
  TBufStream& reader = *Reader;
  reader.SetPosition(restart_);
  // A window too small to hold the prefix with room to spare: word by word.
  if (int64_t(prefilter_.Prefix.size()) * 2 + 16 > reader.WindowSize())
    return true;
  const int32_t from = restart_;
  int32_t last = from;
  const auto onWindow = [&](int32_t position) { return NoteSkipped(position, last, reportProgress); };
  int32_t word = reader.FindWordStart(prefilter_, delimiterTable_, onWindow);
  // In double-byte text the byte before a word must be a delimiter of its
  // own, not the trail byte of a character (a search that goes on from
  // inside a word may also give its own first position).
  while (dbcs_ && word > from) {
    char before = 0;
    reader.CopyBytes(word - 1, &before, 1);
    if (delimiterTable_[Byte(before)] && !reader.InsideChar(word - 1))
      break;
    reader.SetPosition(word + 1);
    word = reader.FindWordStart(prefilter_, delimiterTable_, onWindow);
  }
  if (word < 0)
    return false;
  const int32_t before = reader.LastNonDelimiterBefore(word, from, delimiterTable_);
  // The attempt starts behind the delimiter that ended the word before, which
  // is a double-byte character when its trail byte is a delimiter.
  restart_ = before < 0 ? from : before + (dbcs_ && reader.InsideChar(before + 1) ? 3 : 2);
  reader.SetPosition(restart_);
  return true;
}

TSearchContext::~TSearchContext() = default;

// ---------------------------------------------------------------------------
// Pattern to terms

void TSearchContext::AddTerm(uint8_t kind, std::string text)
{
  Terms.emplace_back(kind, std::move(text));
  Terms.back().Plain = !HasWildcard(Terms.back().Text);
  TermCount = static_cast<int32_t>(Terms.size());
}

void TSearchContext::ParsePattern(const std::string& pattern)
{
  if (Mode == TSearchMode::Regex) {
    AddTerm(tkRegExp, pattern);
    return;
  }
  const char gap = ConcordSettings.WildCardMatchWords;
  const char* p = pattern.c_str();  // a NUL ends the pattern
  auto skipBlanks = [&p] {
    while (*p == ' ' || *p == '\t')
      ++p;
  };

  skipBlanks();
  for (;;) {
    if (gap != 0 && *p == gap) {
      const bool open = p[1] == gap;
      p += open ? 2 : 1;
      while (open && *p == gap)
        ++p;
      skipBlanks();
      AddTerm(open ? tkOpenGap : tkWordGap, {});
      continue;
    }
    const char* start = p;
    // A trail byte is part of its character, never a gap or a blank.
    while (*p != 0 && *p != '\t' && *p != ' ' && *p != gap)
      p += leadTable_[Byte(*p)] && p[1] != 0 ? 2 : 1;
    if (p == start)
      break;
    std::string token(start, p);
    skipBlanks();
    if (!CaseSensitive)
      token = LocaleLowerStr(token);
    if (Mode == TSearchMode::Tag)
      AddTagTerms(token);
    else
      AddTerm(tkWord, std::move(token));
  }
}

void TSearchContext::AddTagTerms(const std::string& token)
{
  const char star = star_ != 0 ? star_ : '*';
  const char separator = ConcordSettings.TagSearchSeparator;
  const size_t split = separator != 0 ? FindChar(token, separator) : std::string::npos;
  std::string word;
  std::string tag;
  if (split == std::string::npos) {
    if (token.size() == 2 && token[0] == star && token[1] == star) {
      word.assign(1, star);
    } else {
      word = token;
      tag.assign(1, star);
    }
  } else {
    word = split == 0 ? std::string(1, star) : token.substr(0, split);
    tag = token.substr(split + 1);
    if (tag.empty())
      tag.assign(1, star);
  }

  const bool wild = HasWildcard(tag);
  const uint8_t tagKind = !wild && FindMetaTag(tag) ? tkMetaTag : tkTag;
  if (ConcordSettings.WordTag != 1 && ConcordSettings.wTagBefore) {
    AddTerm(tagKind, std::move(tag));
    AddTerm(tkWord, std::move(word));
  } else {
    AddTerm(tkWord, std::move(word));
    AddTerm(tagKind, std::move(tag));
  }
}

// ---------------------------------------------------------------------------
// Wildcard matching

bool TSearchContext::MatchWildcard(std::string_view word, std::string_view pattern)
{
  if (noSkipping_ && !ConcordSettings.UseSkipEqualChars && !HasWildcard(pattern))
    return word == pattern;
  return WildMatch(word, pattern);
}

bool TSearchContext::WildMatch(std::string_view word, std::string_view pattern)
{
  wildWord_ = word;
  wildPattern_ = pattern;
  memoClean_ = false;
  equalCharsOn_ = ConcordSettings.UseSkipEqualChars;
  return WildRest(0, 0);
}

// Whether pattern[pi..] matches word[wi..]. Each wildcard that needs a choice
// tries the rest through WildTry, which remembers every (pi, wi) that failed,
// and a '*' remembers the lowest word index from which all its tries failed,
// so a call costs at most pattern length x word length steps.
bool TSearchContext::HasWildcard(std::string_view pattern) const
{
  for (size_t i = 0; i < pattern.size(); i += CharWidth(pattern, i)) {
    const char c = pattern[i];
    if ((c == star_ || c == zeroOrOne_ || c == exactlyOne_) && c != 0 && CharWidth(pattern, i) == 1)
      return true;
  }
  return false;
}

size_t TSearchContext::FindChar(std::string_view text, char c) const
{
  for (size_t i = 0; i < text.size(); i += CharWidth(text, i))
    if (text[i] == c && CharWidth(text, i) == 1)
      return i;
  return std::string_view::npos;
}

bool TSearchContext::WildRest(size_t pi, size_t wi)
{
  if (dbcs_)
    return WildRestChars(pi, wi);
  const size_t plen = wildPattern_.size();
  const size_t wlen = wildWord_.size();
  while (pi < plen && wi < wlen) {
    while (wi < wlen && skipTable_[Byte(wildWord_[wi])])
      ++wi;
    if (wi == wlen)
      break;
    const char pc = wildPattern_[pi];
    if (pc == star_ && pc != 0) {
      if (pi + 1 == plen)
        return true;
      if (!memoClean_)
        ClearMemo();
      const size_t floor = starFloor_[pi];
      for (size_t k = wi; k < std::min(wlen, floor); ++k) {
        if (WildTry(pi + 1, k))
          return true;
      }
      starFloor_[pi] = std::min(floor, wi);
      return false;
    }
    if (pc == zeroOrOne_ && pc != 0) {
      if (pi + 1 == plen)
        return wlen - wi == 1;
      return WildTry(pi + 1, wi) || WildTry(pi + 1, wi + 1);
    }
    if (!(pc == exactlyOne_ && pc != 0) && pc != wildWord_[wi]
        && !(equalCharsOn_ && CharsEqual(pc, wildWord_[wi])))
      return false;
    ++pi;
    ++wi;
  }
  if (pi < plen) {
    for (; pi < plen; ++pi) {
      const char pc = wildPattern_[pi];
      if (pc == 0 || (pc != star_ && pc != zeroOrOne_))
        return false;
    }
    return true;
  }
  for (; wi < wlen; ++wi) {
    if (!skipTable_[Byte(wildWord_[wi])])
      return false;
  }
  return true;
}

bool TSearchContext::WildRestChars(size_t pi, size_t wi)
{
  const size_t plen = wildPattern_.size();
  const size_t wlen = wildWord_.size();
  const auto skipped = [&](size_t i) { return skipTable_[Byte(wildWord_[i])] && CharWidth(wildWord_, i) == 1; };
  while (pi < plen && wi < wlen) {
    while (wi < wlen && skipped(wi))
      ++wi;
    if (wi == wlen)
      break;
    const char pc = wildPattern_[pi];
    const size_t pw = CharWidth(wildPattern_, pi);
    const size_t ww = CharWidth(wildWord_, wi);
    if (pw == 1 && pc == star_ && pc != 0) {
      if (pi + 1 == plen)
        return true;
      if (!memoClean_)
        ClearMemo();
      const size_t floor = starFloor_[pi];
      for (size_t k = wi; k < std::min(wlen, floor); k += CharWidth(wildWord_, k)) {
        if (WildTry(pi + 1, k))
          return true;
      }
      starFloor_[pi] = std::min(floor, wi);
      return false;
    }
    if (pw == 1 && pc == zeroOrOne_ && pc != 0) {
      if (pi + 1 == plen)
        return wlen - wi == ww;
      return WildTry(pi + 1, wi) || WildTry(pi + 1, wi + ww);
    }
    if (!(pw == 1 && pc == exactlyOne_ && pc != 0)) {
      if (pw != ww)
        return false;
      if (pw == 2 ? wildPattern_.compare(pi, 2, wildWord_, wi, 2) != 0
                  : pc != wildWord_[wi] && !(equalCharsOn_ && CharsEqual(pc, wildWord_[wi])))
        return false;
    }
    pi += pw;
    wi += ww;
  }
  if (pi < plen) {
    for (; pi < plen; ++pi) {
      const char pc = wildPattern_[pi];
      if (pc == 0 || (pc != star_ && pc != zeroOrOne_) || CharWidth(wildPattern_, pi) != 1)
        return false;
    }
    return true;
  }
  for (; wi < wlen; ++wi) {
    if (!skipped(wi))
      return false;
  }
  return true;
}

bool TSearchContext::WildTry(size_t pi, size_t wi)
{
  if (!memoClean_)
    ClearMemo();
  const size_t bit = pi * memoRowBits_ + wi;
  const uint64_t mask = uint64_t{1} << (bit & 63);
  if (memo_[bit >> 6] & mask)
    return false;
  if (WildRest(pi, wi))
    return true;
  memo_[bit >> 6] |= mask;
  return false;
}

void TSearchContext::ClearMemo()
{
  memoRowBits_ = wildWord_.size() + 1;
  const size_t rows = wildPattern_.size() + 1;
  const size_t words = (rows * memoRowBits_ + 63) / 64;
  if (memo_.size() < words)
    memo_.resize(words);
  std::fill_n(memo_.begin(), words, 0);
  if (starFloor_.size() < rows)
    starFloor_.resize(rows);
  std::fill_n(starFloor_.begin(), rows, memoRowBits_);
  memoClean_ = true;
}

bool TSearchContext::MatchTerm(const TTerm& term, std::string_view word)
{
  if (term.Kind != tkMetaTag) {
    if (term.Plain && noSkipping_ && !ConcordSettings.UseSkipEqualChars)
      return word == term.Text;
    return WildMatch(word, term.Text);
  }
  const TMetaTag* meta = FindMetaTag(term.Text);
  if (meta == nullptr)
    throw EUnknownMetaTag(term.Text);
  for (const std::string& tagPattern : meta->Tags) {
    if (CaseSensitive ? MatchWildcard(word, tagPattern)
                      : MatchWildcard(word, LocaleLowerStr(tagPattern)))
      return true;
  }
  return false;
}

// ---------------------------------------------------------------------------
// Reading tokens

bool TSearchContext::EndOfRange()
{
  CurrentWord[0] = 0;
  currentLength_ = 0;
  lastTokenEmpty_ = true;
  lastReadAfterDelimiter_ = false;
  lastReadEnd_ = Reader->GetPosition();
  return false;
}

bool TSearchContext::ReadNextWord()
{
  return Mode == TSearchMode::Tag ? ReadTagToken() : ReadTextWord();
}

void TSearchContext::LowerCurrentWord()
{
  if (dbcs_) {
    pairLower_.Lower(CurrentWord, currentLength_);
    return;
  }
  if (doubleByteText_) {
    LocaleLowerBytes(CurrentWord, currentLength_);
    return;
  }
  for (uint32_t i = 0; i < currentLength_; ++i)
    CurrentWord[i] = lowerTable_[Byte(CurrentWord[i])];
}

// The word in CurrentWord is the token just read: lower-cased when `lower`
// says so, with where and how the read ended noted.
bool TSearchContext::TokenRead(bool lower, bool afterDelimiter)
{
  if (lower)
    LowerCurrentWord();
  lastTokenEmpty_ = false;
  lastReadAfterDelimiter_ = afterDelimiter;
  lastReadEnd_ = Reader->GetPosition();
  return true;
}

// A run of characters outside Delimiters; the delimiter that ends it is
// consumed. Only the range end ends a word or the text: a NUL is a delimiter.
bool TSearchContext::ReadTextWord()
{
  if (dbcs_)
    return ReadTextWordChars();
  TBufStream& reader = *Reader;
  const bool* delimiters = delimiterTable_;
  char c;
  do {
    if (reader.AtEnd())
      return EndOfRange();
    c = reader.NextChar();
  } while (delimiters[Byte(c)]);

  // Collected in a local buffer, so that the compiler knows the stores do not
  // touch the reader's cursor; lower-cased on the way unless that needs the
  // double-byte rules.
  const char* lower = !CaseSensitive && !doubleByteText_ ? lowerTable_ : identityTable_;
  char word[256];
  uint32_t n = 0;
  word[n++] = lower[Byte(c)];
  bool afterDelimiter = false;
  while (!reader.AtEnd()) {
    c = reader.NextChar();
    if (delimiters[Byte(c)]) {
      afterDelimiter = true;
      break;
    }
    if (n < 255)
      word[n++] = lower[Byte(c)];
  }
  std::memcpy(CurrentWord, word, n);
  CurrentWord[n] = 0;
  currentLength_ = n;
  return TokenRead(!CaseSensitive && doubleByteText_, afterDelimiter);
}

bool TSearchContext::ReadTextWordChars()
{
  TBufStream& reader = *Reader;
  const bool* delimiters = delimiterTable_;
  const bool* lead = leadTable_;
  char c;
  for (;;) {
    if (reader.AtEnd())
      return EndOfRange();
    c = reader.NextChar();
    if (!delimiters[Byte(c)])
      break;
    if (lead[Byte(c)] && !reader.AtEnd())
      reader.NextChar();  // a delimiter of two bytes
  }
  char word[257];
  uint32_t n = 0;
  uint32_t whole = 0;  // bytes of whole characters kept
  bool afterDelimiter = false;
  for (;;) {
    if (n < 256)
      word[n++] = c;
    if (lead[Byte(c)] && !reader.AtEnd()) {
      c = reader.NextChar();
      if (n < 256)
        word[n++] = c;
    }
    if (n <= 255)
      whole = n;
    if (reader.AtEnd())
      break;
    c = reader.NextChar();
    if (delimiters[Byte(c)]) {
      afterDelimiter = true;
      if (lead[Byte(c)] && !reader.AtEnd())
        reader.NextChar();
      break;
    }
  }
  std::memcpy(CurrentWord, word, whole);
  CurrentWord[whole] = 0;
  currentLength_ = whole;
  return TokenRead(!CaseSensitive, afterDelimiter);
}

// A run of word characters or of part-of-speech tag characters, by the
// reader's classes. A tag token keeps only the tag's text.
bool TSearchContext::ReadTagToken()
{
  TBufStream& reader = *Reader;
  TCharClass cls{};
  char c;
  for (;;) {
    if (reader.AtEnd())
      return EndOfRange();
    c = reader.NextCharClassified(cls);
    if (cls == ccWord || cls == ccWordTag)
      break;
  }
  TokenClass = cls;
  uint32_t n = 0;
  CurrentWord[n++] = c;
  bool truncated = false;
  while (!reader.AtEnd()) {
    TCharClass next{};
    c = reader.NextCharClassified(next);
    if (next != cls) {
      reader.PrevChar();
      reader.ResetTagState();
      break;
    }
    if (n < 255)
      CurrentWord[n++] = c;
    else
      truncated = true;
  }
  currentLength_ = n;
  if (truncated && dbcs_)
    currentLength_ = uint32_t(WholeCharsLength(platform::codePage(AnsiCodePage), CurrentWordView()));
  if (cls == ccWordTag)
    TrimWordTag(truncated);
  CurrentWord[currentLength_] = 0;
  return TokenRead(!CaseSensitive, false);
}

// Cuts the tag text out of a tag token. Outside tags (style 2) lose their
// start string, then one blank after it, and their stop character unless
// the token was cut at 255; embedded tags lose their delimiter. A token
// shorter than what is to be dropped becomes empty.
void TSearchContext::TrimWordTag(bool truncated)
{
  uint32_t n = currentLength_;
  uint32_t drop = 1;
  if (Reader->WordTagStyle() == 2) {
    drop = 0;
    for (const std::string& start : Reader->WordTagStarts()) {
      if (!start.empty() && start.size() <= n && std::memcmp(CurrentWord, start.data(), start.size()) == 0) {
        drop = static_cast<uint32_t>(start.size());
        break;
      }
    }
    if (drop < n && CurrentWord[drop] == ' ')
      ++drop;
    if (!truncated && n > 0)
      --n;
  }
  if (n <= drop) {
    currentLength_ = 0;
    return;
  }
  std::memmove(CurrentWord, CurrentWord + drop, n - drop);
  currentLength_ = n - drop;
}

// One word of a gap; in Tag mode a word and its tag, read as two tokens of
// any class.
bool TSearchContext::ReadGapWord()
{
  if (!ReadNextWord())
    return false;
  if (Mode == TSearchMode::Tag)
    return ReadNextWord();
  return true;
}

void TSearchContext::NoteRestart()
{
  if (startPending_) {
    restart_ = Reader->GetPosition();
    startPending_ = false;
  }
}

// ---------------------------------------------------------------------------
// Matching the term sequence

bool TSearchContext::IsAnyTagTerm(const TTerm& tag) const
{
  if (tag.Kind != tkTag)
    return false;
  return tag.Text.empty() || (tag.Text.size() == 1 && tag.Text[0] == (star_ != 0 ? star_ : '*'));
}

bool TSearchContext::MatchTermSequence(int32_t i)
{
  StopCheck();
  if (Stopped() || i >= TermCount)
    return false;
  const TTerm& term = Terms[i];
  const bool last = i == TermCount - 1;

  if (term.Kind == tkWordGap) {
    const int lo = ConcordSettings.MatchWordsLo;
    const int hi = ConcordSettings.MatchWordsHi;
    for (int k = 0; k < lo; ++k) {
      if (!ReadGapWord())
        return false;
      if (k == 0)
        NoteRestart();
    }
    if (last)
      return true;
    if (hi <= lo)
      return MatchTermSequence(i + 1);
    int32_t resume = Reader->GetPosition();
    for (int n = lo;;) {
      if (MatchTermSequence(i + 1))
        return true;
      if (Stopped())
        return false;
      Reader->SetPosition(resume);
      Reader->ResetTagState();
      if (!ReadGapWord())
        return false;
      NoteRestart();
      if (++n > hi)
        return false;
      resume = Reader->GetPosition();
    }
  }

  if (term.Kind == tkOpenGap) {
    if (last)
      return true;
    int32_t resume = Reader->GetPosition();
    for (;;) {
      if (MatchTermSequence(i + 1))
        return true;
      if (Stopped())
        return false;
      Reader->SetPosition(resume);
      if (!ReadNextWord())
        return false;
      NoteRestart();
      resume = Reader->GetPosition();
    }
  }

  if (term.Kind == tkRegExp)
    return false;  // Regex mode never walks words

  int32_t next = i + 1;
  if (Mode == TSearchMode::Tag) {
    if (!MatchTagPair(i))
      return false;
    next = i + 2;
  } else {
    if (!ReadTextWord())
      return false;
    if (startPending_)
      restart_ = Reader->GetPosition();
    if (!MatchTerm(term, CurrentWordView())) {
      startPending_ = false;
      return false;
    }
  }
  startPending_ = false;
  if (next < TermCount)
    return MatchTermSequence(next);
  return true;
}

// A word term and its tag term against a word token and the tag token that
// belongs to it, in the order in which the pattern put them.
bool TSearchContext::MatchTagPair(int32_t i)
{
  if (i + 1 >= TermCount)
    return false;
  const bool wordFirst = Terms[i].Kind == tkWord;
  const TTerm& wordTerm = wordFirst ? Terms[i] : Terms[i + 1];
  const TTerm& tagTerm = wordFirst ? Terms[i + 1] : Terms[i];
  TBufStream& reader = *Reader;

  if (!ReadNextWord())
    return false;
  if (startPending_)
    restart_ = reader.GetPosition();

  if (wordFirst) {
    if (TokenClass != ccWord) {
      startPending_ = false;
      return false;
    }
    if (!MatchTerm(wordTerm, CurrentWordView())) {
      // Step over the word's own tag, so that the next attempt starts behind it.
      const int32_t back = reader.GetPosition();
      if (!ReadNextWord() || TokenClass != ccWordTag) {
        reader.SetPosition(back);
        reader.ResetTagState();
      }
      NoteRestart();
      return false;
    }
    const int32_t wordEnd = reader.GetPosition();
    if (!ReadNextWord())
      return false;
    if (TokenClass != ccWordTag) {
      if (!IsAnyTagTerm(tagTerm)) {
        startPending_ = false;
        return false;
      }
      reader.SetPosition(wordEnd);
      reader.ResetTagState();
      return true;
    }
    if (startPending_)
      restart_ = reader.GetPosition();
    if (!MatchTerm(tagTerm, CurrentWordView())) {
      startPending_ = false;
      return false;
    }
    return true;
  }

  // The tag stands before its word.
  if (TokenClass != ccWordTag) {
    if (!IsAnyTagTerm(tagTerm)) {
      startPending_ = false;
      return false;
    }
  } else if (!MatchTerm(tagTerm, CurrentWordView())) {
    // Step over the tag's own word.
    const int32_t back = reader.GetPosition();
    if (!ReadNextWord() || TokenClass != ccWord) {
      reader.SetPosition(back);
      reader.ResetTagState();
    }
    NoteRestart();
    return false;
  } else {
    const int32_t tagEnd = reader.GetPosition();
    if (!ReadNextWord())
      return false;
    if (TokenClass != ccWord) {
      reader.SetPosition(tagEnd);
      reader.ResetTagState();
      startPending_ = false;
      return false;
    }
    if (startPending_)
      restart_ = reader.GetPosition();
  }
  if (!MatchTerm(wordTerm, CurrentWordView())) {
    startPending_ = false;
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// Stepping from one attempt to the next

// Reads one token as ReadTagToken does, without keeping its text: its class,
// and whether it is a word that begins with the prefix. False at the end of
// the range.
bool TSearchContext::SkimTagToken(TCharClass& cls, bool& candidate)
{
  const std::string& prefix = prefilter_.Prefix;
  const unsigned char* fold = prefilter_.Fold;
  char head[255];
  const auto want = uint32_t(std::min<size_t>(prefix.size(), sizeof head));
  uint32_t length = 0;
  cls = Reader->NextClassRun(head, want, length);
  if (cls == ccNone)
    return false;
  candidate = cls == ccWord && length >= want;
  for (uint32_t i = 0; candidate && i < want; ++i)
    candidate = (fold ? char(fold[Byte(head[i])]) : head[i]) == prefix[i];
  return true;
}

// Tag mode, after a failed attempt: walks the attempts that are bound to fail
// on their first token (a tag, or a word that does not begin with the
// prefix) the way the matcher would, stepping over each failed word's own
// tag, and stops at the start of the next attempt whose first token could
// match. False when the range ends first or the search is stopped.
bool TSearchContext::SkipTagAttempts(bool reportProgress)
{
  TBufStream& reader = *Reader;
  reader.SetPosition(restart_);
  reader.ResetTagState();
  for (int32_t skipped = 1;; ++skipped) {
    const int32_t start = reader.GetPosition();
    if ((skipped & 255) == 0) {
      StopCheck();
      if (Stopped())
        return false;
      if (reportProgress && Owner)
        Owner->UpdateProgress(start, false);
    }
    TCharClass cls;
    bool candidate = false;
    if (!SkimTagToken(cls, candidate))
      return false;
    if (candidate) {
      restart_ = start;
      reader.SetPosition(start);
      reader.ResetTagState();
      return true;
    }
    if (Owner)
      ++Owner->WordsTried;
    if (cls == ccWord) {
      // The failed word's own tag is stepped over.
      const int32_t back = reader.GetPosition();
      TCharClass tag;
      bool unused;
      if (!SkimTagToken(tag, unused))
        return false;
      if (tag != ccWordTag)
        reader.SetPosition(back);
    }
    reader.ResetTagState();
  }
}

// Tag mode, after a failed attempt, where no markup tag and no outside
// part-of-speech tag can interfere: a word then begins after a delimiter of
// the reader and an embedded tag runs from its delimiter up to the next
// delimiter, so every word that begins with the prefix is found by its
// bytes, and the attempt that reads it starts just behind the last token
// before it (behind the last byte that is no delimiter). Where a markup tag
// lies on the way, the attempts are walked.
bool TSearchContext::JumpToTagCandidate(bool reportProgress)
{
  TBufStream& reader = *Reader;
  const bool* delimiters = reader.DelimiterTable();
  const char tagStart = reader.TagStart();
  const char tagStop = reader.TagStop();
  const uint8_t style = reader.WordTagStyle();
  const char embedded = reader.WordTagDelimiter();
  // Double-byte text is walked token by token: a trail byte may equal a
  // delimiter or a tag character.
  bool byBytes = !dbcs_ && style <= 1 && (!tagStart || tagStop == '#' || delimiters[Byte(tagStop)]) &&
                 !(style == 1 && embedded && delimiters[Byte(embedded)]);
  for (char c : prefilter_.Prefix)
    if (delimiters[Byte(c)] || (tagStart && c == tagStart) || (style == 1 && embedded && c == embedded))
      byBytes = false;
  if (!byBytes || int64_t(prefilter_.Prefix.size()) * 2 + 16 > reader.WindowSize())
    return SkipTagAttempts(reportProgress);

  const int32_t from = restart_;
  reader.SetPosition(from);
  reader.ResetTagState();
  int32_t last = from;
  // The first tag start in the bytes the search passes: one past the word
  // found does not matter, one before it lies in [from, word).
  int32_t firstTagStart = INT32_MAX;
  const auto onWindow = [&](int32_t position) { return NoteSkipped(position, last, reportProgress); };
  const int32_t word = reader.FindWordStart(prefilter_, delimiters, onWindow, tagStart, &firstTagStart);
  if (word < 0)
    return false;
  if (tagStart && firstTagStart < word) {
    reader.SetPosition(from);
    reader.ResetTagState();
    return SkipTagAttempts(reportProgress);
  }
  const int32_t before = reader.LastNonDelimiterBefore(word, from, delimiters);
  restart_ = before < 0 ? from : before + 1;
  reader.SetPosition(restart_);
  reader.ResetTagState();
  return true;
}

bool TSearchContext::FindNextHit(TBufStream& reader, bool reportProgress)
{
  Reader = &reader;
  HitStart = reader.GetPosition();
  StopCheck();
  if (Mode == TSearchMode::Regex)
    return RegexFindNext(reportProgress);
  if (TermCount == 0)
    return false;

  // A hit that consumed no token: step one token, or the next call would
  // find the same empty hit again.
  if (emptyHitAt_ >= 0 && emptyHitAt_ == HitStart) {
    emptyHitAt_ = -1;
    if (!ReadNextWord())
      return false;
    HitStart = reader.GetPosition();
  }
  emptyHitAt_ = -1;

  restart_ = HitStart;
  startPending_ = true;
  if (Owner)
    ++Owner->WordsTried;
  for (;;) {
    if (Stopped())
      return false;
    if (MatchTermSequence(0))
      break;
    StopCheck();
    if (Stopped())
      return false;
    if (lastTokenEmpty_ || restart_ <= HitStart)
      return false;
    if (prefilterOn_ && !(Mode == TSearchMode::Tag ? JumpToTagCandidate(reportProgress) : JumpToCandidate(reportProgress)))
      return false;
    if (reader.GetPosition() != restart_)
      reader.SetPosition(restart_);
    reader.ResetTagState();
    HitStart = restart_;
    startPending_ = true;
    if (Owner) {
      ++Owner->WordsTried;
      if (reportProgress)
        Owner->UpdateProgress(HitStart, false);
    }
  }
  if (reportProgress && Owner)
    Owner->UpdateProgress(HitStart, false);
  HitEnd = reader.GetPosition();
  HitEndAfterDelimiter = Mode == TSearchMode::Text && lastReadAfterDelimiter_ && lastReadEnd_ == HitEnd;
  if (HitEnd == HitStart)
    emptyHitAt_ = HitEnd;
  return true;
}
