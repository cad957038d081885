// Small routines many parts share: file and text tests, trimming, the
// equal-character groups, temp file names, status texts, size and count
// texts and the history lists of combo boxes.
//
// Widget routines are pure here (text in, text out); the workbench wraps them
// for its QComboBox and line edits.
#pragma once

#include "foundation/settings.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The first 256 bytes hold fewer than five bytes of 0..8, 11, 14..31, 127 or
// 255. A file that cannot be read counts as text.
bool IsTextFile(const std::string& fileName);
// The text begins with "http://" or "ftp://", in any case (no trimming).
bool IsURL(std::string_view text);
// A corpus item's name as lists and progress labels show it: a URL whole, a
// file without its folder.
std::string ItemDisplayName(const std::string& name);
// The value with `decimals` digits after the point, which is always ".".
std::string FixedText(double value, int decimals);
// Asks every child window of that kind (1 full text .. 5 comparison) to close.
void CloseChildWindows(int kind);
// Without leading and trailing spaces (tabs stay).
std::string TrimBlanks(std::string_view text);
// Without any space.
std::string RemoveBlanks(std::string_view text);
// Lower case in the text language.
std::string LowerCaseText(std::string_view text);
// Equal, or in one equal-character group while skipping and equal characters
// are switched on.
bool CharsEqual(char a, char b);
// Parses ConcordSettings.EqualChars into ConcordSettings.EqualCharSets:
// groups "a=b=c" separated by ";", members of code 65 ("A") or above. On
// false the old groups stay.
bool ParseEqualChars();
// The text trimmed and read as an edit's number (optional sign, decimal, or
// "$"/"0x" hexadecimal, within 32 bits); false when it is none.
bool TryStrToInt(std::string_view text, int32_t& value);
// The edit's text trimmed and read as an integer (fallback when it is none),
// compared with min and max as unsigned 32-bit numbers (so a negative entry
// becomes max) and clamped; text becomes the value in decimal, which is
// returned.
int32_t ClampEditToRange(std::string& text, int32_t fallback, int32_t min, int32_t max);
// True for an empty list or when every item is empty after TrimBlanks.
bool AllStringsBlank(const std::vector<std::string>& list);
// Index of the first item equal to text (case-sensitive); -1 when none.
int32_t IndexOfExact(std::string_view text, const std::vector<std::string>& list);
// Makes the text one line: CR LF, LF CR, CR and LF each become one space;
// other characters below 32 (tab included) go. The first form stops at a NUL.
void FlattenLineBreaks(char* text);
void FlattenLineBreaks(std::string& text);
// First occurrence of the zero-terminated pattern in buffer[0, length);
// nullptr when either is nullptr, the pattern is empty or longer than length,
// or it does not occur.
const char* FindBytes(const char* buffer, const char* pattern, size_t length);
// First occurrence of the byte; nullptr when length is 0 or it does not occur.
const char* FindByte(const char* buffer, char byte, size_t length);
// A new empty file in TempFolder named prefix + hex digits + ".tmp".
std::string MakeTempFileName(std::string_view prefix);
// The folder of name, the file name without its extension and "H.tmp".
std::string IndexHeaderFileName(std::string_view name);
// Shows a status text in the frame (empty: the default text), then lets
// pending events run: callers must expect re-entry.
void SetStatusText(std::string_view text);
// Refreshes the frame's corpus information panel, then lets events run.
void RefreshCorpusInfo();
// "1 byte", "0 bytes", "1.50 kbytes", "2.00 mbytes"; the unit only with
// withUnit; empty for a negative size. The decimal point is always ".".
std::string SizeText(int64_t n, bool withUnit);
// The number with the user's thousands separator and the noun, plural unless
// the digits are "1": "1,000 words", "1 file".
std::string CountText(int64_t n, std::string_view noun);
// The thousands separator CountText uses: the user's locale's grouping
// symbol as a byte of the current code page (a space where it has none).
char ThousandsSeparator();
// Trims text, and puts it at the top of the history: a new entry is inserted
// first; an entry found at i > 0 trades places with the first. Returns the
// index to select (0), or -1 when the trimmed text is empty.
int32_t AddToHistory(std::vector<std::string>& items, std::string& text);
// A confirmation box with OK and Cancel, OK focused; true for OK.
bool AskConfirmation(std::string_view text);
// Appends '/' when missing; empty stays empty.
std::string IncludeBackslash(std::string_view folder);
