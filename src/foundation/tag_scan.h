// The pass over one corpus item that collects its line, page and
// tracked-tag indexes and counts its words, reading the file once in chunks
// of 64 KB.
#pragma once

#include "foundation/settings.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TIndexedStream;
class THashStrings;

// One tracked tag: a start text (searched literally; a final "#" means the
// text must be followed by CR, LF or space) with its stop text, or a tag in
// the COCOA format (start character, name, content, stop character) given by
// its name alone.
struct TWatchedTag {
  std::string Name;
  std::string TagStart;   // start text; for COCOA the tag name
  std::string TagStop;    // stop text; empty for COCOA
  int32_t StartLength = 0;
  int32_t StopLength = 0;
  bool Cocoa = false;     // TagStop is empty

  static TWatchedTag Make(std::string name, std::string start, std::string stop);
};

// The tracked tags; an empty list means no tracked-tag index is built.
extern std::vector<TWatchedTag> WatchedTags;

// Set when the user cancels a tag scan for all items (or a single-file
// scan); while it is set CollectTagInfo does nothing.
extern bool TagScanCancelled;

enum class TTagScanResult {
  Done,       // the indexes were built (and the words counted when asked)
  Skipped,    // TagScanCancelled was set, or the name is not in the corpus
  Cancelled,  // the user cancelled; this pass's files are deleted
};

// The pass over the corpus item named fileName: builds the line, page and
// tracked-tag indexes asked for (tags only when WatchedTags is not empty),
// stores them in the item's entries, and counts the words when words is
// below 1 (adding them to CorpusFreqList when FrequencySettings says so).
// Cancel All, or Cancel in a single-file pass, sets TagScanCancelled. On a
// cancel or a failure only the indexes this pass created are freed, their
// files deleted and their entries cleared; a failure is raised again.
TTagScanResult CollectTagInfo(const std::string& fileName, bool wantLines, int32_t& words, bool multiFile,
                              bool wantTags, bool wantPages);

// What one pass looks for, taken from the settings when it starts.
struct TTagScanOptions {
  bool lines = false;
  std::string pageSeparator;             // empty: no page index
  std::vector<TWatchedTag> tags;         // empty: no tag index
  bool countWords = false;
  THashStrings* wordTable = nullptr;     // words are added here when set
  TCharSet delimiters;                   // the word delimiter set of the pass
  bool skipTags = false;                 // markup tags are not words
  char tagStart = 0;                     // markup and COCOA tags
  char tagStop = 0;                      // "#": CR, LF or space
  uint8_t wordTagStyle = 0;
  std::vector<std::string> wordTagStarts;
  char wordTagStop = 0;

  // The options of the settings: page separator, tracked tags, tag
  // characters, part-of-speech settings and the reader's delimiter set
  // (less the part-of-speech delimiter when the style is not 2).
  static TTagScanOptions FromSettings(bool wantLines, bool wantPages, bool wantTags, bool countWords,
                                      THashStrings* wordTable);
};

// The word delimiter set of the scan: the reader's set (bytes 0 to 32, the
// non-word characters, the four wildcards) without the part-of-speech
// delimiter when the style is not 2.
TCharSet ScanDelimiterSet();

// The scan itself, fed chunk by chunk. Each chunk after the first keeps
// min(512, previous chunk's length) bytes of its predecessor in front of the
// new bytes, so literals across a chunk edge are found once, and the word
// count classifies every byte exactly once.
class TTagScanner {
public:
  static constexpr int32_t ChunkSize = 65536;
  static constexpr int32_t Overlap = 512;

  // The indexes may be null when not wanted; the tag index has one column
  // per tag of the options. chunkSize is for tests (at least 2 x Overlap).
  TTagScanner(TTagScanOptions options, TIndexedStream* lineIndex, TIndexedStream* pageIndex,
              TIndexedStream* tagIndex, int32_t chunkSize = ChunkSize);
  ~TTagScanner();

  // Where the next new bytes go, how many fit, and their file position.
  char* NewBytes() { return buffer_.data() + kept_; }
  int32_t Room() const { return chunkSize_ - kept_; }
  int32_t NextPosition() const { return offset_ + kept_; }
  // File position of the current chunk's first byte.
  int32_t ChunkOffset() const { return offset_; }

  // Scans the chunk made of the kept bytes and `count` new bytes, then
  // keeps its tail for the next one.
  void Commit(int32_t count);
  // End of data: the last word counts; pending rows are written.
  void Finish();

  int64_t Words() const { return words_; }

  struct ByteSets;

private:
  void scanLines(const char* chunk, int32_t newStart, int32_t length);
  void findLiteral(std::string_view text, bool mustEndAtBlank, const char* chunk, int32_t newStart, int32_t length,
                   std::vector<int32_t>& out);
  void scanCocoa(const char* chunk, int32_t length, std::vector<std::vector<int32_t>>& found);
  void scanTags(const char* chunk, int32_t newStart, int32_t length);
  void scanWords(const char* chunk, int32_t length, bool atEnd);
  void endWord(const char* chunk, int32_t end);
  void flushIndexes();

  TTagScanOptions options_;
  TIndexedStream* lines_;
  TIndexedStream* pages_;
  TIndexedStream* tags_;
  int32_t chunkSize_;
  std::vector<char> buffer_;
  int32_t kept_ = 0;       // bytes kept in front of the new ones
  int32_t offset_ = 0;     // file position of buffer_[0]
  int32_t length_ = 0;     // bytes in the current chunk

  // Pages and tags.
  std::string pageText_;
  bool pageBlank_ = false;
  std::vector<std::string> tagTexts_;
  std::vector<bool> tagBlank_;
  std::vector<int32_t> cocoaTags_;     // indexes of the COCOA tags
  int32_t cocoaNext_ = 0;              // where the next COCOA search starts
  bool tagStopSet_[256] = {};
  bool cocoaNameEnd_[256] = {};
  std::vector<std::vector<int32_t>> occurrences_;
  std::vector<int32_t> lastWritten_;
  std::vector<int32_t> row_;
  std::vector<int32_t> found_;

  // Word count state, carried across chunks.
  uint8_t classes_[256] = {};
  bool wordTagStopSet_[256] = {};
  size_t longestWordTagStart_ = 0;
  int32_t wordNext_ = 0;   // file position of the next byte to classify
  bool inWord_ = false;
  bool inTag_ = false;
  bool inWordTag_ = false;
  int32_t wordFrom_ = 0;   // chunk index where the current word's unsaved bytes begin
  std::string word_;       // saved bytes of a word that crosses a chunk edge
  int64_t words_ = 0;
  std::unique_ptr<ByteSets> byteSets_;  // block-wise counting where available
};

// Tests: count words byte by byte even where blocks could be used.
extern bool ForceScalarWordCount;
