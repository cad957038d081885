// Hit records and hit lines: turning a found hit into a TConcordItem, and
// building a hit's display line and context-pane text from its corpus file.
//
// Every read is bounded: 255 bytes on each side for the context words (a word
// that range cuts is read on to its start or end, so that it is whole), 512
// on each side for a display line, BigContextSize x 512 for the context pane.
//
// In a double-byte code page every cut of those ranges falls between
// characters (a hit starts and ends on a character boundary), and so do the
// cuts of a word's text at 255 bytes and of the hit text; a class mask keeps
// or drops a character whole.
//
// Line ends in built text are folded: an LF first in the text or after a CR
// is dropped, any other LF counts as CR, a CR after a CR is dropped, and at
// the end every CR becomes a blank (the context pane keeps its line ends).
#pragma once

#include "foundation/buf_stream.h"
#include "foundation/strings_view_types.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TConcordItem;
class TSearchContext;
enum class TSearchMode : uint8_t;

// The receiver of new hits (a concordance window or a batch writer). It owns
// each hit it gets; an exception it throws ends the search run.
using THitCallback = std::function<void(std::unique_ptr<TConcordItem> hit)>;

// The reader character classes shown in a line, one bit per TCharClass.
using TClassMask = uint8_t;
inline constexpr TClassMask ClassBit(TCharClass cls) { return TClassMask(1u << cls); }
// Classes 1..6, less markup tags, part-of-speech tags, or words and delimiters.
TClassMask VisibleClassMask(bool suppressTags, bool suppressPartOfSpeech, bool suppressWords);

// The end of the hit's own characters as the matcher left it: in Text mode
// HitEnd less the delimiter that ended the last word, when one was consumed.
int32_t OwnHitEnd(const TSearchContext& context);

// Normalises the context's last hit on its reader (the hit reader), makes a
// TConcordItem of it and hands it to callback. When filling the record raises,
// the half-made hit is freed and the exception passes on.
void ReportHit(TSearchContext& context, int32_t fileIndex, const THitCallback& callback);

// The context words (slots 1..8) and the hit text (slot 0) of a hit.
void FillHitWords(TBufStream& reader, int32_t hitStart, int32_t hitEnd, TConcordItem& item, TSearchMode mode);

// A hit's display line. contextType 0 characters, 1 words, 2 lines, 3
// sentence; collocFirst or collocLast 10 means no collocate marking, and
// rankCount (at least 1 while marking) spreads the collocate colour over the
// ranks. spans receives the runs of the hit and its ranked collocates.
// Throws when the file cannot be read around the hit.
std::string BuildHitLine(TBufStream& reader, const TConcordItem& item, uint8_t contextType, TColor collocColour,
                         int32_t rankCount, uint8_t collocFirst, uint8_t collocLast, TSVFormatArray& spans,
                         TClassMask classMask, int32_t contextSize);

// The text of the context pane: BigContextSize x 512 bytes on each side of
// the hit, line ends kept, with one run marking the hit.
std::string ContextText(TBufStream& reader, int32_t hitStart, int32_t hitEnd, TSVFormatArray& spans,
                        TClassMask classMask);
