// Where a hit is: its absolute line, its page, its line within the page and
// the current values of the tracked tags, looked up in the item's line, page
// and tracked-tag indexes. Missing indexes give -1 (shown "N/A"), never an
// error.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class TIndexedStream;
class TSynchroStream;
struct TWatchedTag;

// The text shown for a number or tag value that cannot be determined.
inline constexpr const char* NotAvailableText = "N/A";
// Most bytes of a tag occurrence read for its value.
inline constexpr int32_t TrackedTagValueLength = 128;

struct THitLocation {
  int32_t AbsLine = -1;     // 1-based; -1 without a line index
  int32_t Page = -1;        // 1-based; -1 without a page index or page separator
  int32_t LineInPage = -1;  // 1-based; -1 without a page, or without a line index
  // One text per tracked tag, in the order of WatchedTags ("N/A" when the
  // value cannot be determined); none when no tracked tags are defined.
  std::optional<std::vector<std::string>> TagValues;
};

// The sources of one corpus item; each may be missing.
struct THitSources {
  TSynchroStream* Stream = nullptr;
  TIndexedStream* LineIndex = nullptr;
  TIndexedStream* PageIndex = nullptr;
  TIndexedStream* TagIndex = nullptr;
};

// The sources of corpus item fileIndex; all missing for an index outside
// the corpus list.
THitSources HitSourcesOf(int32_t fileIndex);

THitLocation GetHitLocation(const THitSources& item, int32_t position);
THitLocation GetHitLocation(int32_t fileIndex, int32_t position);

// One line: the page and line texts as ShowPages, ShowLines and
// RelativeLines say ("Page 3", "Line 120", "Page 3, Line 14",
// "Line 120, Page 3"; numbers of 0 or less read "N/A"), then every known tag
// value, each after ", " when the text is not empty.
std::string FormatHitLocation(const THitLocation& location);
std::string FormatHitLocation(int32_t fileIndex, int32_t position);

// The value of tracked tag k at a position; empty when it cannot be
// determined.
std::string GetTrackedTagValue(const THitSources& item, int32_t position, int32_t k);
std::string GetTrackedTagValue(int32_t fileIndex, int32_t position, int32_t k);

// The text of one tag occurrence: at most 128 bytes from tagPosition, up to
// and including the first TagStop (COCOA tags) or the first match of the stop
// text (a final "#" tried as a blank, then CR, then LF), else all bytes read;
// line breaks made blanks and other control characters removed.
std::string ReadTrackedTagValue(const TWatchedTag& tag, TSynchroStream& stream, int32_t tagPosition);

// What the "Info" form shows of a hit: the match text, the corpus item, the
// three numbers in decimal when they are 0 or more (else "N/A"), and one
// (name, value) row per tracked tag; a tag without a name shows its start
// text. No rows when no tracked tags are defined.
struct THitInfo {
  std::string Match;
  std::string FileName;
  std::string AbsLine;
  std::string Page;
  std::string LineInPage;
  std::vector<std::pair<std::string, std::string>> Tags;
};
THitInfo GetHitInfo(int32_t fileIndex, int32_t position, const std::string& matchText);
