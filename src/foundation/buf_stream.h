// The corpus-text reader: a window of at most 8 KB sliding over a shared
// synchronised stream, with a reading range, character classification, word
// extraction both ways and literal search.
//
// Positions are 32-bit absolute byte offsets into the raw file; text is single
// bytes, never decoded.
//
// The window and the cursor:
//  - nothing is ever read at or past RangeEnd();
//  - a slide keeps the last 256 bytes of the window, or every unread byte when
//    more than 256 are unread, so short steps back need no reread;
//  - a seek outside the window refills it from 256 bytes before the target;
//    a negative seek unsets the cursor until the next seek;
//  - a short read whose end is the stream's size means no more data; a stream
//    that grows (a download) is read further on the next slide;
//  - the stream's locked positional read happens once per slide, never per
//    byte.
//
// End of data is a position, not a byte: a NUL inside the text is an ordinary
// delimiter (class 1). NextChar() and NextCharClassified() give #0 at the end
// too, so loops ask AtEnd(); NextWord() stops on it by itself.
//
// Character classes (TCharClass), in the order the rules are tried:
//  1. inside a part-of-speech tag: style 1 ends at the next delimiter, which
//     gets its own delimiter class; style 2 runs through the first character
//     of its stop set (class 6);
//  2. inside a markup tag: class 5 through the first character of the tag
//     stop set;
//  3. style 1 and the word-tag delimiter character: 6, a tag begins;
//  4. style 2 and a start string at the character: 6, a tag begins;
//  5. the tag start character: 5, a tag begins;
//  6. a delimiter: 2 for a space or an LF right after CR, 3 for CR or another
//     LF, 1 for the rest (the true previous byte decides, across refills);
//  7. otherwise a word character, 4.
// A stop character "#" stands for LF, CR and space. A tag start or word-tag
// delimiter of #0 means "none".
//
// In a double-byte code page a lead byte and the byte after it are one
// character: the lead byte is classified by the rules above and its trail
// byte takes the same class whatever its value, so a trail byte that equals
// a delimiter or a tag character never ends a word or begins a tag. Words
// cut at 255 bytes are cut between characters. Double-byte text takes the
// byte-by-byte path; single-byte pages keep the table and mask paths.
#pragma once

#include "foundation/byte_scan.h"
#include "foundation/settings.h"
#include "foundation/sync_stream.h"
#include "platform/codepage.h"
#include "platform/mapped_file.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

enum TCharClass : uint8_t {
  ccNone = 0,         // no class (PrevCharClassified outside a validated range)
  ccDelimiter = 1,    // tab, control characters, non-word and wildcard characters, NUL
  ccBlank = 2,        // space; LF right after CR
  ccEndOfLine = 3,    // CR; LF not after CR
  ccWord = 4,
  ccTag = 5,          // markup tag
  ccWordTag = 6,      // part-of-speech tag
};

class TBufStream;

// The length of `kept`, the first bytes of a longer text that starts on a
// character boundary, without a double-byte character that the cut after it
// splits (a lead byte whose trail byte was cut off).
size_t WholeCharsLength(const platform::CodePage& cp, std::string_view kept);
// The first `max` bytes of word at most, cut between characters.
std::string_view WholeCharsPrefix(const platform::CodePage& cp, std::string_view word, size_t max);

// Called before each window of a literal or heading search with the window's
// first position (-1 when the caller asked for no positions). Setting stop
// ends the search with no result.
using TBufProgressEvent = std::function<void(TBufStream& sender, int32_t position, bool& stop)>;

class TBufStream {
public:
  // What FindWordStart looks for, prepared once: the prefix, its folding,
  // and the two rarest bytes of the prefix with their spellings.
  struct TWordStartFinder {
    TWordStartFinder() = default;
    TWordStartFinder(std::string_view prefix, const unsigned char* fold);
    std::string Prefix;
    const unsigned char* Fold = nullptr;  // nullptr: exact bytes
    // Offset[0]: index of the rarest byte of the prefix, Offset[1]: of the
    // next rarest; their spellings as Target and Mask where Simple.
    TBytePairScan Pair;
    bool Simple = true;   // each is one byte, or two that differ in the case bit
    bool Possible = true; // some byte folds to each prefix byte looked for
    bool IsFirst[256] = {};  // the bytes that fold to the rarest one
  };

  static constexpr int32_t BufferSize = 8192;
  static constexpr int32_t LookBehind = 256;

  // A reader over the whole stream, classifying with the delimiter set of the
  // current settings. The stream is not owned and must outlive the reader.
  explicit TBufStream(TSynchroStream* stream);
  // The same with an explicit delimiter set and window size (1 to 8192; tests
  // use tiny windows so that every token straddles a refill). The look-behind
  // is 256 bytes, or one byte less than the window when that is smaller.
  TBufStream(TSynchroStream* stream, const TCharSet& delimiters, int32_t windowSize = BufferSize);
  virtual ~TBufStream();
  TBufStream(const TBufStream&) = delete;
  TBufStream& operator=(const TBufStream&) = delete;

  // --- range and cursor ---------------------------------------------------
  // Reading range [lo, hi); seeks to lo, drops the validated classes and
  // clears the tag state.
  void SetRange(int32_t lo, int32_t hi);
  int32_t RangeStart() const { return rangeStart_; }
  int32_t RangeEnd() const { return rangeEnd_; }
  // The cursor's absolute position; -1 while it is unset.
  int32_t GetPosition() const { return bufPos_ < 0 ? -1 : bufPos_ + int32_t(cur_ - buffer_.get()); }
  void SetPosition(int32_t pos) { Seek(pos); }
  void Seek(int32_t pos);
  // The same, but a position outside the window reads nothing until a byte
  // is asked for (for a caller that only hands the position on).
  void SeekLazily(int32_t pos);
  // True when no byte can be read at the cursor: it is unset, at or past the
  // range end, or the stream has no more bytes.
  bool AtEnd() { return !(cur_ < limit_) && !Ensure(1); }

  // --- bytes --------------------------------------------------------------
  // The byte at the cursor, cursor advanced; #0 when nothing is left.
  char NextChar()
  {
    if (cur_ < limit_)
      return char(*cur_++);
    return NextCharSlow();
  }
  // The bytes readable from the cursor without another read of the stream
  // (empty only at the end of data), for callers that take bytes in bulk;
  // Skip(n) then moves the cursor over n of them.
  std::string_view Readable()
  {
    if (!(cur_ < limit_) && !Ensure(1))
      return {};
    return {reinterpret_cast<const char*>(cur_), size_t(limit_ - cur_)};
  }
  void Skip(int32_t n) { cur_ += n; }
  // The byte before the cursor, and the cursor moves onto it; #0 at
  // RangeStart(), or when that byte lies at or past RangeEnd() (the cursor
  // then stays).
  char PrevChar();

  // --- classification -----------------------------------------------------
  // The next byte and its class: on the fly, or from the validated range.
  // At the end of data: #0 with class 1.
  char NextCharClassified(TCharClass& cls)
  {
    if (cur_ < limit_ && !slow_) {
      unsigned char c = *cur_;
      if (inTag_) {
        ++cur_;
        if (tagStopTable_[c])
          inTag_ = false;
        cls = ccTag;
        return char(c);
      }
      if (!inWordTag_) {
        uint8_t k = fastClass_[c];
        if (k >= ccDelimiter && k <= ccWord) {
          ++cur_;
          cls = TCharClass(k);
          return char(c);
        }
        if (k == kLineFeed && cur_ > buffer_.get()) {
          cls = cur_[-1] == '\r' ? ccBlank : ccEndOfLine;
          ++cur_;
          return char(c);
        }
      } else if (wordTagStyle_ == 2) {
        ++cur_;
        if (wordTagStopTable_[c])
          inWordTag_ = false;
        cls = ccWordTag;
        return char(c);
      } else if (!delimTable_[c]) {
        ++cur_;
        cls = ccWordTag;
        return char(c);
      } else if (cur_ > buffer_.get()) {
        cls = DelimiterClass(char(cur_[-1]), char(c));
        inWordTag_ = false;
        ++cur_;
        return char(c);
      }
    }
    return NextCharClassifiedSlow(cls);
  }
  // Inside a validated range: PrevChar() and the class of the byte it moved
  // onto (#0 and class 1 at RangeStart()). Without one: #0 and class 0.
  char PrevCharClassified(TCharClass& cls);
  // Classifies [lo, hi) in advance (hi cut to lo + the window size; hi below lo
  // gives an empty range), plus the byte after it, starting outside any tag,
  // and makes it the reading range. Throws std::runtime_error
  // "Internal error:\rValidateBuffer failed" when the range cannot be read
  // into the window.
  void ValidateBuffer(int32_t lo, int32_t hi);
  // ValidateBuffer(lo, hi) for the positions from `from` on: when no byte of
  // [lo, from) can begin a tag, the walk from lo reaches `from` outside any
  // tag, so only [from, hi) is classified (with the same classes) and the
  // range starts there. Otherwise, without part-of-speech start strings, the
  // walk is outside any tag after the last delimiter before `from` that
  // begins no tag, when no markup tag start came before it, and the range
  // starts after that delimiter; failing both the whole range is classified.
  // Returns the range start chosen.
  int32_t ValidateBufferFrom(int32_t lo, int32_t from, int32_t hi);
  bool Validated() const { return validated_; }
  // The bytes [lo, hi) held in the window all at once, made the reading range
  // as SetRange(lo, hi) makes it; nullptr when they cannot be (more than the
  // window holds, or past the data). The bytes stay valid until the window
  // next moves.
  const unsigned char* HoldRange(int32_t lo, int32_t hi);
  // Whether no byte of [p, end) can begin a tag, so that outside tags each of
  // them is classified by its value (and the byte before an LF) alone.
  // In a double-byte code page a lead byte counts as one that can, and so
  // does the first byte when it may be a trail byte (the byte before it, when
  // the window holds it, is a lead byte; when it does not, it may be).
  bool NoTagBegins(const unsigned char* p, const unsigned char* end) const
  {
    if (dbcs_ && p < end && (p == buffer_.get() || lead_[p[-1]]))
      return false;
    return tagBeginSet_.FindIn(p, end) == end;
  }
  // Whether the window holds all of [lo, hi) now.
  bool Holds(int32_t lo, int32_t hi) const { return bufPos_ >= 0 && lo >= bufPos_ && hi <= bufPos_ + bufLen_; }
  // Whether a byte of [lo, hi) that the window holds now can begin a tag;
  // nothing is read.
  bool HeldTagBegin(int32_t lo, int32_t hi) const;
  // The 64 bytes at p (all readable) as bits, bit i set when p[i] is a word
  // character that begins no tag.
  uint64_t PlainWordBits(const unsigned char* p) const;
  // The first position of the run of such word characters that ends at pos
  // (pos itself when the byte before it is none); bytes the window does not
  // hold are read from the stream, and the window stays as it is.
  int32_t PlainWordRunStart(int32_t pos);
  // The end of the run of such word characters that goes on at pos (pos
  // itself when the byte there is none), read the same way.
  int32_t PlainWordRunEnd(int32_t pos);
  // Up to n bytes of the stream from pos into out, from the window where it
  // holds them; the window stays as it is. Returns the bytes copied.
  int32_t CopyBytes(int32_t pos, char* out, int32_t n);
  // Class of a position of the validated range (hi included); ccNone outside.
  TCharClass ClassAt(int32_t pos) const;
  void ResetTagState() { inTag_ = false; inWordTag_ = false; trailPos_ = -1; }
  // Puts the on-the-fly state where a byte of this class leaves it: inside a
  // markup tag for 5, inside a part-of-speech tag for 6, outside otherwise.
  void SetTagState(TCharClass cls)
  {
    inTag_ = cls == ccTag;
    inWordTag_ = cls == ccWordTag;
    trailPos_ = -1;
  }
  // Whether the reader reads a double-byte code page (fixed when the tables
  // are built).
  bool DoubleByte() const { return dbcs_; }
  // Whether the byte at pos is the trail byte of a double-byte character
  // (the characters counted from the nearest byte before it that cannot
  // lead); always false on single-byte pages.
  bool InsideChar(int32_t pos);
  bool InTag() const { return inTag_; }
  bool InWordTag() const { return inWordTag_; }
  // LF: 2 after CR, else 3; CR: 3; space: 2; anything else: 1.
  static TCharClass DelimiterClass(char prev, char c)
  {
    switch (c) {
    case '\n': return prev == '\r' ? ccBlank : ccEndOfLine;
    case '\r': return ccEndOfLine;
    case ' ': return ccBlank;
    default: return ccDelimiter;
    }
  }

  // --- words --------------------------------------------------------------
  // Skips to the next run of word characters and reads it, consuming the
  // character that ends it. WordStart()/WordEnd() span the whole run; the text
  // keeps its first 255 bytes. Empty at the end of data. The view stays valid
  // until the next word is read.
  std::string_view NextWord();
  // Inside a validated range only (else empty): the nearest run of word
  // characters left of the cursor. The cursor ends on the character before
  // the word.
  std::string_view PrevWord();
  int32_t WordStart() const { return wordStart_; }
  int32_t WordEnd() const { return wordEnd_; }
  std::string_view Word() const { return std::string_view(wordBuf_, wordLen_); }
  // Words in bulk, for counting: from the cursor, the words NextWord would
  // give one after another, as long as each lies in the window together with
  // the delimiter that ends it and no tag rule is needed; at most max of them,
  // each as its whole run of bytes in the window, valid until the reader
  // moves on. The window is padded: 16 bytes from each word's start can be
  // read, also past a shorter word. The cursor ends after the last word's
  // delimiter, or where NextWord has to take over; WordStart(), WordEnd() and
  // Word() are left as they were. 0 when the next word needs NextWord, also
  // at the end of data.
  int32_t NextPlainWords(std::string_view* out, int32_t max);

  // --- search -------------------------------------------------------------
  // The first occurrence of literal from the cursor (exact bytes); with
  // mustEndAtBlank it counts only when the byte after it or its own last byte
  // is LF, CR or space. The cursor moves onto the hit. -1 when none, when the
  // literal is empty or longer than the window, or when the progress event
  // stops the search.
  int32_t FindLiteral(std::string_view literal, bool mustEndAtBlank,
                      const TBufProgressEvent& onProgress, bool noPosition);
  // Literal and heading searches compare the text's bytes through this table
  // (the lower-case table of a search that ignores case), so that a literal
  // given in its folded form finds every spelling of it; nullptr, the
  // default, compares exact bytes. The table must outlive the reader's
  // searches.
  void SetLiteralFold(const unsigned char* table) { literalFold_ = table; }
  const unsigned char* LiteralFold() const { return literalFold_; }
  // The heading search: from the cursor, the text start with its text stop
  // after it, and the next heading start. The results are -1 or positions; a
  // pair is always a start before its stop. Each literal is found wherever it
  // lies, across window edges too.
  void FindTextRange(std::string_view textStart, bool textStartAtBlank,
                     std::string_view textStop, bool textStopAtBlank,
                     std::string_view headStart, bool headStartAtBlank,
                     const TBufProgressEvent& onProgress, bool noPosition,
                     int32_t& startPos, int32_t& stopPos, int32_t& headPos);

  // The next run of word characters or of part-of-speech tag characters
  // (class 4 or 6, classified as NextCharClassified does): characters of
  // other classes before it are skipped; the run ends before the first
  // character of another class, where the cursor stops with the tag state
  // reset (at the range end the cursor stays there, the state as it is).
  // Returns the run's class, or ccNone at the end of the range; its first
  // max bytes go to out (which may be null when max is 0) and length
  // receives its full length.
  TCharClass NextClassRun(char* out, uint32_t max, uint32_t& length);

  // The first word at or after the cursor that begins with prefix, for a
  // scan that may skip every word that does not: a position whose bytes are
  // the prefix (compared through fold, when given) and which is the cursor's
  // own position or follows a byte of delimiters (the caller's word
  // delimiters, a 256-entry table). The cursor moves there and the position
  // is returned; -1 when there is none in the range. onWindow is called
  // before each window is searched with the window's first position; when it
  // returns false the search ends with -1. With watch given, firstWatch
  // (which the caller sets to INT32_MAX) receives the first position of
  // that byte in the bytes searched, when one lies before the word found.
  int32_t FindWordStart(const TWordStartFinder& finder, const bool* delimiters,
                        const std::function<bool(int32_t)>& onWindow, char watch = 0,
                        int32_t* firstWatch = nullptr);
  // The position of the last byte in [floor, pos) that is not in delimiters;
  // -1 when there is none.
  int32_t LastNonDelimiterBefore(int32_t pos, int32_t floor, const bool* delimiters);

  // --- tag configuration (ConfigureBufStream sets all of it) --------------
  void SetTagStart(char c);
  void SetTagStop(char c);
  void SetWordTagStyle(uint8_t style);
  void SetWordTagStarts(const std::vector<std::string>* starts);
  void SetWordTagStop(char c);
  void SetWordTagDelimiter(char c);
  char TagStart() const { return tagStart_; }
  char TagStop() const { return tagStop_; }
  uint8_t WordTagStyle() const { return wordTagStyle_; }
  const std::vector<std::string>& WordTagStarts() const { return wordTagStarts_; }
  char WordTagStop() const { return wordTagStop_; }
  char WordTagDelimiter() const { return wordTagDelimiter_; }
  const TCharSet& Delimiters() const { return delimiters_; }
  // The same as a 256-entry table.
  const bool* DelimiterTable() const { return delimTable_; }
  // Length of the first start string, in list order, that stands at the
  // cursor (exact, case-sensitive, not running past the range); 0 when none.
  int32_t MatchWordTagStart();

  // --- stream -------------------------------------------------------------
  TSynchroStream* Stream() const { return stream_; }
  // Another reader of the same stream (nullptr: none) whose window this
  // reader copies bytes from, instead of reading the stream, wherever that
  // window holds what a fill needs. The bytes are the same either way; a
  // donor of another stream is ignored. The donor must outlive the reads.
  void SetDonor(const TBufStream* donor) { donor_ = donor && donor->stream_ == stream_ ? donor : nullptr; }
  int32_t StreamSize() { return stream_->ReadableSize(); }
  int32_t WindowSize() const { return windowSize_; }
  // Window facts, for tests and benchmarks.
  int32_t BufPos() const { return bufPos_; }
  int32_t BufLen() const { return bufLen_; }
  bool ShortRead() const { return shortRead_; }
  int64_t LockedReads() const { return lockedReads_; }

private:
  static constexpr uint8_t kSpecial = 0;    // decided by the slow path
  static constexpr uint8_t kLineFeed = 5;   // class depends on the byte before

  char NextCharSlow();
  char NextCharClassifiedSlow(TCharClass& cls);
  TCharClass ClassifyOnTheFly(unsigned char c);
  bool Ensure(int32_t n);
  void Slide(int32_t need);
  // Moves the window to begin at from (bytes already held are kept) with the
  // cursor at cursorPos, and fills it. need >= 0: the fill may stop once need
  // bytes from the cursor are held, when the donor holds them; -1: a full
  // window.
  void Reposition(int32_t from, int32_t cursorPos, int32_t need = -1);
  // The bytes [pos, pos + n) from the donor's window into dest; how many of
  // them it held (0 when it does not hold pos).
  int32_t FromDonor(int32_t pos, unsigned char* dest, int32_t n) const;
  void Unset();
  void UpdateLimit();
  unsigned char ByteBefore(const unsigned char* p);
  void RebuildTables();
  void SetValidated(bool on)
  {
    validated_ = on;
    slow_ = on || dbcs_;
  }
  // The class of a byte at pos whose character began before the range
  // (its lead byte is the byte before): a word character's, or a
  // delimiter's when the lead byte is one.
  TCharClass LeadClassBefore(int32_t pos);
  // Steps over delimiters and tags up to a word character, a character that
  // needs the full rules, or the end of the window.
  void SkipNonWordRun();
  // The first position in [p, lim) that is not a word character (scan 0),
  // that is a word character or needs the full rules (1), or a delimiter (2);
  // lim when none. Uses the cached 64-byte masks where it can.
  const unsigned char* Scan(const unsigned char* p, const unsigned char* lim, int scan);
  bool MasksAt(const unsigned char* p);
  // Word characters and characters that are words or need the full rules,
  // as bits of the 64 bytes at p (all of them readable).
  void PlainWordMasks(const unsigned char* p, uint64_t& word, uint64_t& stop) const;
  int32_t LimitPos() const { return bufPos_ + int32_t(limit_ - buffer_.get()); }
  // A validated range wholly in the window, its classes all there, and pos
  // inside it: words can be read from the arrays directly.
  bool WholeRangeInWindow(int32_t pos) const;
  int32_t MatchStartAt(const unsigned char* p, const unsigned char* end) const;
  // First counting occurrence of lit in [from, limit_), or nullptr. An
  // occurrence whose following byte lies past the window does not count here.
  const unsigned char* FindInWindow(const unsigned char* from, std::string_view lit,
                                    bool atBlank);
  // Moves the window to start at keepFrom (bytes already held are kept) and
  // fills it; false when that brought no new byte.
  bool AdvanceSearchWindow(int32_t keepFrom);
  // FindWordStart past the window, from the candidate position from on.
  int32_t FindWordStartInBlocks(const TWordStartFinder& finder, const bool* delimiters,
                                const std::function<bool(int32_t)>& onWindow, int32_t from, char watch, int32_t* firstWatch);
  void SeekFromBlock(int32_t pos, int32_t at, int32_t count);
  bool MapAhead(int32_t at, int32_t count);

  TSynchroStream* stream_;
  const TBufStream* donor_ = nullptr;
  int32_t windowSize_;
  int32_t lookBehind_;
  int32_t rangeStart_ = 0;
  int32_t rangeEnd_ = 0;
  std::unique_ptr<unsigned char[]> buffer_;
  // Blocks read by FindWordStart beyond the window (made on first use).
  std::unique_ptr<unsigned char[]> block_;
  // A view of the stream's file mapped for the same search, bytes
  // [viewPos_, viewEnd_).
  platform::TMappedRange view_;
  int32_t viewPos_ = 0;
  int32_t viewEnd_ = 0;
  bool mapFailed_ = false;  // the file cannot be mapped, or was cut short
  bool shortRead_ = false;
  int32_t bufLen_ = 0;
  const unsigned char* cur_ = nullptr;
  const unsigned char* limit_ = nullptr;
  int32_t bufPos_ = -1;
  int64_t lockedReads_ = 0;

  char tagStart_ = 0;
  char tagStop_ = 0;
  uint8_t wordTagStyle_ = 0;
  std::vector<std::string> wordTagStarts_;
  char wordTagStop_ = 0;
  char wordTagDelimiter_ = 0;
  bool inTag_ = false;
  bool inWordTag_ = false;
  TCharSet delimiters_;
  bool validated_ = false;
  // Classification goes by the slow path: validated, or double-byte text.
  bool slow_ = false;
  // Double-byte code page: its lead bytes, and the position of the trail
  // byte whose lead byte the on-the-fly path classified last (-1: none)
  // with the class it shares.
  const platform::CodePage* page_ = nullptr;
  uint16_t pageId_ = 0;  // the language's code page the tables were built for
  bool dbcs_ = false;
  bool lead_[256] = {};
  bool wordLead_[256] = {};  // a lead byte whose character is a plain word character
  template <bool DoubleByte>
  int32_t ClassifyPlainRun(const unsigned char* p, int32_t i, int32_t end, TCharClass* out) const;
  int32_t trailPos_ = -1;
  TCharClass trailClass_ = ccWord;
  std::vector<TCharClass> classes_;

  int32_t wordStart_ = 0;
  int32_t wordEnd_ = 0;
  uint32_t wordLen_ = 0;
  char wordBuf_[256 + 32] = {};  // room for whole 32-byte copies

  // Lookup tables built from the delimiters and the tag configuration.
  uint8_t fastClass_[256] = {};       // 1..4 final class, kLineFeed, or kSpecial
  bool delimTable_[256] = {};
  bool tagStopTable_[256] = {};
  bool wordTagStopTable_[256] = {};
  bool wordTagFirstTable_[256] = {};
  const unsigned char* literalFold_ = nullptr;
  ByteScanSet wordSet_;         // characters that are always words outside tags
  ByteScanSet skipStopSet_;     // word characters and those that need the full rules
  ByteScanSet delimSet_;
  ByteScanSet tagBeginSet_;     // characters that may begin a tag
  ByteScanSet tagStopSet_;
  ByteScanSet wordTagStopSet_;
  // Membership masks of one 64-byte block of the window (nullptr: none).
  const unsigned char* maskBlock_ = nullptr;
  uint64_t maskWord_ = 0;
  uint64_t maskStop_ = 0;
  uint64_t maskDelim_ = 0;
};
