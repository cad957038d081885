// What the line view reads and draws, without the widget: the string list it
// shows, the format runs and labels of an item, and the two text walks the
// view is built on (default word wrap and the split of a display line into
// run segments). The hit-line builder fills runs here and the concordance
// writer reads them, neither of them with a window at hand.
//
// Character positions are 1-based byte positions in the item text, which is
// bytes of the ANSI code page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/settings.h"

namespace platform { struct CodePage; }

// A read-only list of strings: a count and the text of item i. The line view
// reads nothing else. Implementations whose count grows on another thread must
// answer both calls from either thread.
class TStrings {
public:
  virtual ~TStrings() = default;
  virtual int32_t Count() const = 0;
  // Item index, 0 <= index < Count().
  virtual std::string Get(int32_t index) const = 0;
  // Up to count bytes of item index from its 0-based byte from, as Get gives
  // them; length receives the item's length, or an estimate no smaller than
  // it where knowing it exactly would mean reading the whole item. A list
  // whose items can be long reads only the part asked for; this default
  // reads the whole item.
  virtual std::string textPart(int32_t index, int32_t from, int32_t count, int32_t& length) const;
  // The 0-based start of the character of code page cp that holds byte pos
  // of item index: pos on a single-byte page, pos - 1 where pos is the trail
  // byte of a double-byte character. This default reads a few bytes before
  // pos, and the item from its start where they can all lead; a list whose
  // items can be long finds it with bounded work.
  virtual int32_t charStart(int32_t index, int32_t pos, const platform::CodePage& cp) const;
};

enum TAlignment : uint8_t { taLeftJustify, taRightJustify, taCenter };

// Overrides applied on top of a base font; an empty or zero field keeps the
// base font's value (so black cannot be forced through Color).
struct TSVFontInfo {
  std::string Name;
  int Style = 0;       // fsBold | fsItalic | fsUnderline | fsStrikeOut; 0 = keep
  TColor Color = 0;
  int32_t Size = 0;    // points
  bool operator==(const TSVFontInfo&) const = default;
};
using TSVFontsArray = std::vector<TSVFontInfo>;

// One format run of an item text.
struct TSVFormatInfo {
  int32_t Start = 0;   // 1-based first character
  int32_t Length = 0;
  bool Center = false; // the anchor the line is centred on
  bool Hilite = false; // the hit (true) or a collocate (false); the view ignores it
  TSVFontInfo Font;
  bool operator==(const TSVFormatInfo&) const = default;
};
using TSVFormatArray = std::vector<TSVFormatInfo>;

struct TSVLabelInfo {
  std::string Text;    // empty: no label drawn
  TAlignment Alignment = taLeftJustify;
  TSVFontInfo Font;
};

// The display lines of one item.
using TSVStringsArray = std::vector<std::string>;

// Copies a font's name, size, style and colour into run overrides.
void FontToSVFontInfo(const TFontRec& font, TSVFontInfo& info);

// Makes runs safe to walk over text: runs of length 0 or less, starting before
// 1 or past the text, or starting inside or before the previous run kept
// (overlapping or unsorted) are dropped; a run reaching past the text is cut
// at its end. On a double-byte page of cp (may be null) an edge inside a lead
// and trail byte pair moves out to include the pair. Callers never produce
// such runs; this keeps a bad one from looping the view, reading outside the
// text or splitting a character.
void SanitizeSVFormat(TSVFormatArray& runs, std::string_view text, const platform::CodePage* cp = nullptr);

// One piece of a display line drawn in one font.
struct TSVSegment {
  int32_t Start = 0;   // 1-based position in the item text
  int32_t Length = 0;
  int32_t Run = -1;    // index of its run, -1 for the base font
  bool Center = false; // its run is a centring anchor
};

// Splits the display line that starts at 1-based linePos and is lineLength
// bytes long into segments. runs is the caller's working copy of the item's
// sanitised runs and next the first run not yet consumed; a run going on to
// the next line is shortened in the copy, so calling this for every line in
// order walks the whole item.
void SVLineSegments(int32_t linePos, int32_t lineLength, TSVFormatArray& runs, size_t& next,
                    std::vector<TSVSegment>& out);

// Measures for the default wrap: the advance of one character (one byte, or a
// lead and trail byte pair of a double-byte page) and the text height, in the
// base font (run -1) or in the base font with a run's overrides.
struct TSVWrapMeasure {
  std::function<int(std::string_view character, int run)> CharWidth;
  std::function<int(int run)> TextHeight;
};

// Default word wrap of one item into a text area width pixels wide. TAB counts
// as a blank and is given back as one; a line is cut at the last blank in it,
// which stays at the line's end, or, with no blank, before the character that
// does not fit (the first line is then empty when the first character does not
// fit). The lines joined give back the text with TABs as blanks. A double-byte
// character of cp (may be null) is never split. Returns the total height:
// every line adds max(lineHeight, the text height of the font in use when it
// was cut). runs must be sanitised.
int32_t SVWrapText(std::string_view text, const TSVFormatArray& runs, int32_t width, int32_t lineHeight,
                   const platform::CodePage* cp, const TSVWrapMeasure& measure, TSVStringsArray& lines);
