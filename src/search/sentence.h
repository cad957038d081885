// Sentence ends, the sentence test of sentence mode, and the extents of a hit
// line's left and right context.
//
// A sentence ends at a character of SentDelimiters (".!?" by default) unless
// the word before it, with the delimiter appended unless it already ends in
// it, is an abbreviation (only with SmartAbbrDetect) or a listed exception
// (only without it). The word before a delimiter is the nearest run of word
// characters (class ccWord) to its left. Delimiters inside a markup tag or a
// part-of-speech tag never end a sentence.
//
// Every reader operation here stops by position: a NUL byte in the text is an
// ordinary character, never the end of the data.
//
// Edge cases kept on purpose:
//   - "!" and "?" after a short capitalised word still end a sentence: the
//     abbreviation test wants a final ".";
//   - the sentence test gives up on hits that span 8192 bytes or more from 64
//     bytes before their start: such a hit counts as crossing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TBufStream;
class TSearchContext;
namespace platform {
struct CodePage;
}

// Context types of the hit lines and their sizes.
enum TContextType : uint8_t { ctCharacters = 0, ctWords = 1, ctLines = 2, ctSentence = 3 };

// c is one of SentDelimiters. On a double-byte page only its single-byte
// characters count: a double-byte one adds neither of its bytes.
bool IsSentenceDelimiter(char c);
// Only with SmartAbbrDetect: w is shorter than five characters, begins with an
// upper-case letter of the text language and ends in ".".
bool IsAbbreviation(std::string_view w);
// Only without SmartAbbrDetect: w ends in "." and w without it is one of
// SentDelimitersExcepts, compared without regard to case.
bool IsException(std::string_view w);
// The entry of SentDelimitersExcepts equal to w without regard to case;
// end() when there is none.
std::vector<std::string>::iterator FindSentException(std::string_view w);
// Whether the word w before the delimiter c makes c a sentence end.
bool EndsSentence(std::string_view w, char c);

// The sentence test of sentence mode on a hit reader. hitStart is where the
// attempt that found the hit began (it may lie on delimiters before the hit's
// first word), hitEnd the end of the hit's own characters. Classifies
// [max(0, hitStart - 64), hitEnd) into the reader, so the reader's range is
// that afterwards. A delimiter before the hit's first word never counts.
bool CrossesSentence(TBufStream& reader, int32_t hitStart, int32_t hitEnd);
// The same on the context's current reader (the search run's hit reader).
bool CrossesSentence(TSearchContext& context, int32_t hitStart, int32_t hitEnd);

// From the reader's cursor, the next sentence delimiter outside tags, read
// forwards up to `upper` (or the range end); its position, or -1 when there is
// none. The cursor ends after it, or where the reading stopped.
int32_t NextSentenceDelimiter(TBufStream& reader, int32_t upper);
// Backwards from the cursor, not below `lower`, in a validated range; the
// position of the delimiter (the cursor is then on it), or -1.
int32_t PrevSentenceDelimiter(TBufStream& reader, int32_t lower);

// Character boundaries of the current language's code page in the reader's
// file (on a single-byte page, pos itself). The first boundary at or after
// pos that the bytes [lo, anchor) tell, anchor being a boundary (a hit's
// start): a byte that cannot lead ends a character, a byte below 0x40 (never
// a trail byte) begins one, and the lead bytes between pair up from the
// nearer of those; a run of lead bytes across lo is read up to 4 KB further
// back, and where even that cannot tell, the cut moves on to the next
// boundary that can be told. The work is bounded by those bytes.
int32_t BoundaryAfter(TBufStream& reader, int32_t lo, int32_t pos, int32_t anchor);
int32_t BoundaryBefore(TBufStream& reader, int32_t from, int32_t pos);

// In a double-byte code page hitStart, hitEnd and the reader's cursor where a
// search for sentence delimiters begins are character boundaries, and a
// delimiter byte that is the trail byte of a character ends no sentence.
//
// Where a hit line's left context begins: the reader holds a validated range
// that covers [lower, hitStart]. Characters: size characters before the hit
// (in a double-byte code page not below the first boundary at or after
// lower); Words: the first character of the size-th word to the left;
// Lines: the start of the line size - 1 lines above the hit's; Sentence: the
// first character above 32 after the last real sentence end before the hit
// (at or above lower). Never below 0 nor below the reader's range start for
// the reading types.
int32_t LeftExtent(TBufStream& reader, int32_t hitStart, int contextType, int32_t size, int32_t lower,
                   int32_t upper);
// Where the right context ends: reading forwards from hitEnd, not past `upper`
// nor the reader's range. Characters: size characters after the hit (in a
// double-byte code page none that reaches past upper); Words: after the
// character that ended the size-th word; Lines: after the size-th line end;
// Sentence: after the first real sentence end, or where the reading stopped.
// Never beyond the end of the file.
int32_t RightExtent(TBufStream& reader, int32_t hitEnd, int contextType, int32_t size, int32_t lower,
                    int32_t upper);
