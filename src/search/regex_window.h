// The window scan of Regex mode: the text of a reader's range is copied into
// a normalised window of at most 8192 characters, the expression searches the
// window, and the match is mapped back to file positions.
//
// Normalisation:
//   - a run of CR and LF characters (any mix, blank lines too) is one blank,
//     placed at the file position of the run's last character;
//   - with skipping characters in use, those characters are left out;
//   - on a double-byte code page a lead byte is kept with its trail byte,
//     both at the lead byte's position, and a window never begins or ends
//     between them (the expression reads it by characters from its first
//     place; the context character is read whole);
//   - everything else, NUL included, is copied as it is (the expression's
//     translate table does the case folding).
//
// Window edges: a window that does not begin at the range start holds the
// character before the scan position at index 0 (the nearest character that
// is not left out) and is searched from index 1, so anchors and word
// boundaries see real text. When a full window's search ran into its end (a
// match reached it, or an attempt read or tested its last position), the
// window is re-based to one character before the earliest such attempt and
// searched again; when that would not move it forward, a match is taken as it
// stands and a window without one shifts by 4096 characters. The expression
// sees the character after a full window, so end anchors and word ends never
// hold at a window's cut, only at the range's end.
//
// Raw scan: when every match begins with bytes that are none of blank, CR
// and LF (at its first position and through its literal prefix), matches
// are bounded in length, the expression runs on an automaton and nothing is
// left out or paired, a match can begin only where those bytes stand in the
// file just as they would in the window. The file is then read in large
// blocks and searched for such places where its bytes lie; only a short
// stretch from each place on is normalised and searched, and grown while an
// attempt runs into its end. The hits are those of the window scan: with
// matches far shorter than a window, neither depends on where windows fall.
//
// The normalised text read for one call is kept for the next call on the
// same range, so dense hits do not normalise the same 8 KB again. The window
// fills from a reader of its own over the caller's stream and range, so the
// text is read once, front to back, whatever the caller's reader does at the
// hits (before, every hit sent it back to the hit's end and the next fill
// forward again, each jump reading a buffer anew).
#pragma once

#include "foundation/byte_scan.h"
#include "foundation/settings.h"

#include <cstdint>
#include <memory>
#include <vector>

class TBufStream;
class TRegExp;
class TSynchroStream;

// What the scan needs of the search run that owns it.
class TRegexScanOwner {
public:
  virtual ~TRegexScanOwner() = default;
  // Called at every word end while the window fills; may let events run.
  virtual void StopCheck() = 0;
  // The same for a batch of word ends read in one go: by default one
  // StopCheck each, until the search is stopped.
  virtual void StopChecks(int32_t wordEnds)
  {
    for (int32_t i = 0; i < wordEnds && !Stopped(); ++i)
      StopCheck();
  }
  virtual bool Stopped() const = 0;
  virtual void UpdateProgress(int32_t position, bool forced) = 0;
  // The expression gave up on a window (its failure stack or an attempt's
  // step budget ran out).
  virtual void CountGiveUp() = 0;
};

// The characters the normalisation needs.
struct TRegexScanText {
  TCharSet SkipSet;     // left out (empty unless skipping characters are in use)
  TCharSet Delimiters;  // a word ends where one of these follows another character
  bool DoubleByte = false;
};

class TRegexWindow {
public:
  static constexpr int32_t WindowSize = 8192;
  static constexpr int32_t ShiftSize = 4096;

  TRegexWindow();
  ~TRegexWindow();

  // From the reader's position, the next match of the expression inside the
  // reader's range: true with hitStart and hitEnd set and the reader at
  // hitEnd. A match is never empty, never starts on the character before
  // the scan position and always starts at or after it; hitEnd is at least
  // hitStart + 1.
  bool FindNext(TBufStream& reader, TRegExp& expression, const TRegexScanText& text,
                TRegexScanOwner* owner, bool reportProgress, int32_t& hitStart, int32_t& hitEnd);

  // The file position just after window index i of the last window
  // searched: where a match ending before index i + 1 ends in the file.
  int32_t WindowToFile(int32_t i) const;

  // The normalised text, per character its file position, and its kind:
  // 0 a single-byte character, 1 a lead byte, 2 a trail byte. Index Base()
  // is the first character of the last window searched.
  std::vector<char> Window;
  std::vector<int32_t> WindowOffsets;
  std::vector<uint8_t> WindowKinds;
  int32_t Base() const { return base_; }
  int32_t Count() const { return count_; }
  // How many windows have been searched, and how many characters were
  // normalised, since the window was made (for tests and measurements).
  int64_t Searches() const { return searches_; }
  int64_t Normalised() const { return normalised_; }
  // Off: every byte goes through the one-character step (the reference the
  // bulk copy is tested against).
  bool BulkFill = true;
  // Off: never the raw scan (the reference it is tested against).
  bool RawScan = true;
  // The bytes the raw scan reads from the stream at a time (tests make it
  // small, so that hits and line-break runs straddle the block's edges).
  int32_t RawReadSize = 256 * 1024;
  // The most bytes a short window may ask the raw block to hold (long
  // line-break runs make a few characters stand for many bytes); beyond it
  // a call is left to the window scan.
  int32_t RawBlockMost = 16 << 20;
  // Whether the raw scan serves this expression and text.
  bool UsesRawScan(const TRegExp& expression, const TRegexScanText& text) const;

private:
  // 1 a hit, 0 none, -1 left to the window scan.
  int FindNextRaw(TBufStream& reader, TRegExp& expression, const TRegexScanText& text, TRegexScanOwner* owner,
                  bool reportProgress, int32_t& hitStart, int32_t& hitEnd);
  // The raw block holds [keep, want) of the range, or as much of it as the
  // stream has.
  void LoadRaw(int32_t keep, int32_t want);
  // Normalises from file position q (a possible match start) on, at most
  // `chars` characters, into the short window, with the character before q
  // in front when q is above the range start.
  void NormaliseFrom(int32_t q, int32_t chars);
  void BuildTables(const TRegexScanText& text);
  // Whether the reader is the one, over the stream and range, that the kept
  // text belongs to; TakeRange makes it so.
  bool SameRange(const TBufStream& reader) const;
  void TakeRange(const TBufStream& reader);
  bool Continues(const TBufStream& reader, int32_t pos) const;
  // The window's own reader over the caller's stream and range.
  TBufStream& fillReader(const TBufStream& reader);
  void Reset(TBufStream& reader, int32_t pos, const TRegexScanText& text);
  // Appends characters from the reader (the window's own) until the text holds `target`
  // characters, the range ends or the search is stopped.
  void FillWindow(TBufStream& reader, int32_t target, const TRegexScanText& text, TRegexScanOwner* owner);
  // One character, one line-break run or one double-byte pair; the word
  // ends it makes are added to wordEnds.
  void FillOne(TBufStream& reader, const TRegexScanText& text, int32_t& wordEnds);
  // Plain single-byte characters straight from the reader's window, up to
  // `target` characters; stops before a line break whose run may go on past
  // the bytes at hand. On a double-byte page, characters and pairs up to the
  // next line break or skipped character. Returns the bytes taken.
  int32_t FillRun(TBufStream& reader, int32_t target, const TRegexScanText& text, int32_t& wordEnds);
  // FillRun's copy on a double-byte page: single-byte characters and pairs
  // from p (file position pos) on; returns where it stopped.
  const unsigned char* CopyPairs(const unsigned char* p, const unsigned char* end, int32_t pos, int32_t target,
                                 uint32_t& after, int32_t& ends);
  void Append(char c, int32_t pos, uint8_t kind);
  void Compact();
  int32_t CharEnd(int32_t i) const;
  // The index of the character that holds place i (one before i when i is
  // the trail byte of a pair).
  int32_t CharStartIndex(int32_t i) const;
  // The file position of the character that holds the byte at p, on a
  // double-byte page; -1 when the bytes before it cannot be read.
  int32_t FileCharStart(int32_t p) const;

  int32_t base_ = 0;     // first index of the window
  int32_t count_ = 0;    // characters held
  int32_t fillPos_ = 0;  // file position of the next byte to normalise
  bool ended_ = false;   // the reader had no byte at fillPos_
  bool afterDelimiter_ = true;
  // For FillRun, built for the text settings last used: the bytes it does
  // not copy as they are (line breaks, skipped characters), and per byte 1
  // for a delimiter.
  ByteScanSet special_;
  ByteScanSet delimiterSet_;
  uint8_t isDelimiter_[256] = {};
  bool rawWordEnds_ = false;
  TCharSet kindSkip_;
  TCharSet kindDelimiters_;
  bool kindsBuilt_ = false;
  bool firstSingle_ = false;  // the next character is the context character of a fresh start
  // Some kind other than 0 was ever stored: until then every kind is 0 and
  // none is written or moved.
  bool pairKinds_ = false;

  std::unique_ptr<TBufStream> fill_;
  // The range the text belongs to, and where the last call left off.
  const TBufStream* reader_ = nullptr;
  TSynchroStream* stream_ = nullptr;
  int32_t rangeStart_ = -1;
  int32_t rangeEnd_ = -1;
  int32_t lastEnd_ = -1;

  int64_t searches_ = 0;
  int64_t normalised_ = 0;

  // Raw scan state: a block of the file's bytes, [rawPos_, rawPos_ +
  // rawLen_); rawShort_ when the stream had no more (the text ends there for
  // now).
  std::vector<char> raw_;
  int32_t rawPos_ = 0;
  int32_t rawLen_ = 0;
  bool rawShort_ = false;
  int32_t countedTo_ = 0;  // word ends are counted up to here
  uint32_t rawAfter_ = 1;  // the byte before countedTo_ is a delimiter
  // The short window: its characters with their file positions (a blank
  // at its line break run's last byte), the index of its first possible
  // match start, and whether the text goes on after it (its next character
  // then stands at index shortCount_).
  std::vector<char> shortText_;
  std::vector<int32_t> shortPos_;
  int32_t shortCount_ = 0;
  bool shortGoesOn_ = false;
  bool rawMode_ = false;  // the last call took the raw scan
};
