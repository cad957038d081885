// One compiled pattern: its terms, and the word-by-word matcher that finds
// its hits in a range of a corpus file.
//
// Pattern syntax (Text and Tag mode; the characters are the settings'):
//   *  zero or more characters, %  zero or one, ?  exactly one;
//   @  a word gap of MatchWordsLo..MatchWordsHi words, @@ any number of words;
//   word&tag  (Tag mode) a word with its part-of-speech tag.
// Tokens are separated by blanks or TABs, and "@" always splits a token
// ("gap@" is two tokens). Edge cases worth knowing:
//   - "@@@" is one open gap; an empty token ends the pattern;
//   - Tag mode: "**" is the word "*" with an empty tag, which only an untagged
//     word satisfies; "&" alone is any word with any tag; a second separator
//     stays in the tag part; tag parts are lower-cased like the word;
//   - Regex mode: the whole pattern is one expression, nothing is split.
#pragma once

#include "foundation/buf_stream.h"
#include "foundation/chartables.h"
#include "foundation/hash_strings.h"
#include "foundation/settings.h"
#include "search/search_rec.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

class TBufStream;
class TRegExp;
class TRegexWindow;

// What a context needs from the search run that owns it. The run (TSearch)
// derives from this; tests use a fake.
class TSearchOwner {
public:
  virtual ~TSearchOwner() = default;

  // Counts the call; on every 512th, or when 100 ms have passed since the
  // last time (checked on every 16th call, so slow calls such as long
  // back-reference matches still keep the screen alive), lets pending UI
  // events run; then sets Stopped when Cancel was pressed. It never clears
  // Stopped, so a stop for another reason (the maximum number of hits)
  // survives later checks.
  void StopCheck()
  {
    ++StopCheckCalls;
    if (StopCheckCalls >= 512 || ((StopCheckCalls & 15) == 0 && PumpDue())) {
      StopCheckCalls = 0;
      LastPump = std::chrono::steady_clock::now();
      ProcessMessages();
    }
    if (CancelPressed())
      Stopped = true;
  }

  // The same for a batch of calls made at once: events run at most once,
  // when the count passes a multiple of 512 or, past a multiple of 16, when
  // 100 ms have passed; Cancel is read once.
  void StopChecks(int32_t calls)
  {
    const int32_t before = StopCheckCalls;
    StopCheckCalls += calls;
    if (StopCheckCalls >= 512 || ((before >> 4) != (StopCheckCalls >> 4) && PumpDue())) {
      StopCheckCalls = StopCheckCalls >= 512 ? StopCheckCalls % 512 : 0;
      LastPump = std::chrono::steady_clock::now();
      ProcessMessages();
    }
    if (CancelPressed())
      Stopped = true;
  }

  static constexpr std::chrono::milliseconds PumpInterval{100};
  bool PumpDue() const { return std::chrono::steady_clock::now() - LastPump >= PumpInterval; }

  bool Stopped = false;
  int64_t WordsTried = 0;      // words tried since the run's last reset
  int32_t StopCheckCalls = 0;  // reset at the start of every run
  std::chrono::steady_clock::time_point LastPump{};  // when events last ran
  bool NoRate = false;         // no words-per-second figure (Regex mode sets it)
  int64_t RegexGiveUps = 0;    // Regex-mode windows where the expression gave up

  // Lets pending UI events run (the message pump).
  virtual void ProcessMessages() = 0;
  // Whether the progress dialog's Cancel was pressed (its tag is 1); a plain
  // read that runs no events.
  virtual bool CancelPressed() = 0;
  virtual void UpdateProgress(int32_t position, bool forced) = 0;
};

// A meta tag named in a pattern that the settings no longer hold.
class EUnknownMetaTag : public std::runtime_error {
public:
  explicit EUnknownMetaTag(const std::string& name)
    : std::runtime_error("Unknown meta tag: " + name) {}
};

enum TTermKind : uint8_t {
  tkWord = 0,     // a wildcard pattern for one word
  tkTag = 1,      // a wildcard pattern for one part-of-speech tag
  tkMetaTag = 2,  // the name of a MetaTags entry
  tkRegExp = 3,   // the whole pattern as a regular expression
  tkWordGap = 4,  // MatchWordsLo..MatchWordsHi words
  tkOpenGap = 5,  // any number of words, zero included
};

class TTerm {
public:
  // Kind tkRegExp compiles Text; a compile failure throws ERegExp.
  TTerm(uint8_t kind, std::string text);
  TTerm(TTerm&&) noexcept;
  TTerm& operator=(TTerm&&) noexcept;
  ~TTerm();

  uint8_t Kind;
  std::string Text;
  std::unique_ptr<TRegExp> RegExp;  // only for tkRegExp
  bool Plain = false;               // Text holds no wildcard character
};

using TTermArray = std::vector<TTerm>;

class TSearchContext {
public:
  TSearchContext(const std::string& pattern, bool caseSensitive, const std::string& equalCharsText,
                 const TCharSet& skipSet, TSearchMode mode);
  ~TSearchContext();
  TSearchContext(const TSearchContext&) = delete;
  TSearchContext& operator=(const TSearchContext&) = delete;

  // From the reader's position, finds the next hit inside the reader's range.
  // On true HitStart and HitEnd hold it and the reader stands at HitEnd.
  // ReportProgress is false only for the heading pattern.
  bool FindNextHit(TBufStream& reader, bool reportProgress);

  // Wildcard match of a whole word against a pattern; no case folding here.
  bool MatchWildcard(std::string_view word, std::string_view pattern);
  bool MatchTerm(const TTerm& term, std::string_view word);

  // The last token read, as the matcher compares it.
  std::string_view CurrentWordView() const { return {CurrentWord, currentLength_}; }

  TSearchOwner* Owner = nullptr;
  TSearchMode Mode;
  TTermArray Terms;
  int32_t TermCount = 0;
  TBufStream* Reader = nullptr;  // not owned; the run swaps it while it handles a hit
  TCharSet SkipSet;
  std::string EqualCharsText;
  bool CaseSensitive;
  TCharSet Delimiters;          // Text mode's word delimiters
  char CurrentWord[256] = {};   // at most 255 characters and a NUL
  uint8_t TokenClass = 0;       // Tag mode: ccWord or ccWordTag
  int32_t HitStart = 0;         // may lie on delimiters before the hit
  int32_t HitEnd = 0;           // the reader's position after the hit
  // Whether the reader consumed a delimiter after the hit's last word, so
  // that HitEnd - 1 is the hit's last character. False when the range ended
  // right after the word, when no word was read, and in Tag mode, where the
  // reader stands directly behind the last token.
  bool HitEndAfterDelimiter = false;
  std::string DisplayPattern;
  // Regex mode: the normalised text window and what it keeps between calls.
  std::shared_ptr<TRegexWindow> RegexWindow;

  // Parts of the matcher, public for the scans built on this one.
  bool ReadNextWord();
  bool MatchTermSequence(int32_t i);

private:
  void ParsePattern(const std::string& pattern);
  void AddTerm(uint8_t kind, std::string text);
  void AddTagTerms(const std::string& token);
  bool ReadTextWord();
  // ReadTextWord for double-byte text: a lead byte takes its trail byte
  // along, whatever its value.
  bool ReadTextWordChars();
  bool ReadTagToken();
  // Bytes of the character at text[i] (i on a boundary): 1 or 2.
  size_t CharWidth(std::string_view text, size_t i) const
  {
    return leadTable_[static_cast<unsigned char>(text[i])] && i + 1 < text.size() ? 2 : 1;
  }
  // The first position of c in text at a character boundary, or npos.
  size_t FindChar(std::string_view text, char c) const;
  bool EndOfRange();
  void LowerCurrentWord();
  bool TokenRead(bool lower, bool afterDelimiter);
  void TrimWordTag(bool truncated);
  bool ReadGapWord();
  bool MatchTagPair(int32_t i);
  bool IsAnyTagTerm(const TTerm& tag) const;
  bool Stopped() const { return Owner && Owner->Stopped; }
  void StopCheck() { if (Owner) Owner->StopCheck(); }
  void NoteRestart();
  // The Regex-mode body of FindNextHit, the window scan over the text.
  bool RegexFindNext(bool reportProgress);
  // When the first term is a word pattern that begins with literal
  // characters (in Tag mode: of a pair whose word comes first), an attempt
  // can only succeed at a word that begins with them; after a failed attempt
  // the scan goes on at the next such word instead of at the next word, with
  // the attempt starting where the word-by-word scan would have started it.
  // Not with skipping characters or equal-character groups. In double-byte
  // text that ignores case the prefix is either characters of one byte or
  // double-byte characters without case, so that no trail byte is folded.
  void SetUpPrefilter();
  bool NoteSkipped(int32_t position, int32_t& last, bool reportProgress);
  bool JumpToCandidate(bool reportProgress);
  bool SkipTagAttempts(bool reportProgress);
  bool JumpToTagCandidate(bool reportProgress);
  bool SkimTagToken(TCharClass& cls, bool& candidate);

  // Wildcard matcher with a memo of failed (pattern index, word index) pairs.
  bool WildMatch(std::string_view word, std::string_view pattern);
  bool WildRest(size_t pi, size_t wi);
  // WildRest for double-byte text: the pattern and the word step by
  // characters; only characters of one byte are skipped or made equal.
  bool WildRestChars(size_t pi, size_t wi);
  bool WildTry(size_t pi, size_t wi);
  void ClearMemo();
  bool HasWildcard(std::string_view pattern) const;

  uint32_t currentLength_ = 0;
  bool lastTokenEmpty_ = false;
  bool lastReadAfterDelimiter_ = false;  // the last ReadNextWord consumed a delimiter
  int32_t lastReadEnd_ = -1;             // reader position after the last ReadNextWord
  int32_t restart_ = 0;
  bool startPending_ = false;
  int32_t emptyHitAt_ = -1;  // position of a hit that consumed no token, else -1

  bool delimiterTable_[256];
  bool skipTable_[256];
  bool noSkipping_ = true;
  bool prefilterOn_ = false;
  TBufStream::TWordStartFinder prefilter_;  // the literal start of the first term, as words are compared
  char lowerTable_[256];
  char identityTable_[256];
  bool doubleByteText_ = false;
  // The code page's lead bytes (none on a single-byte page).
  bool dbcs_ = false;
  bool leadTable_[256] = {};
  // Lower-cases the words of double-byte text.
  TDoubleByteLower pairLower_{platform::codePage(AnsiCodePage)};

  // Settings characters taken when the context is made.
  char star_ = '*';
  char zeroOrOne_ = '%';
  char exactlyOne_ = '?';

  // Wildcard matcher state for one MatchWildcard call.
  std::string_view wildWord_;
  std::string_view wildPattern_;
  std::vector<uint64_t> memo_;       // failed (pattern index, word index) pairs
  std::vector<size_t> starFloor_;    // per '*': the lowest word index known to fail
  size_t memoRowBits_ = 0;
  bool memoClean_ = false;
  bool equalCharsOn_ = false;
};
