// The settings as the corpus readers take them.
#pragma once

#include "foundation/settings.h"

class TBufStream;

// Characters 0..32, every character of NonWordChars and the four wildcard
// characters of ConcordSettings (*, %, ? and @ by default). The reader, the
// tag scan and the stop list split text with it.
void BuildDelimiterSet(TCharSet& set);

// Copies the tag and part-of-speech settings into a reader, in this order:
// tag start, tag stop, word-tag style, start strings, word-tag stop, word-tag
// delimiter (wTagBefore is not the reader's business). Run it before every
// pass over a corpus file.
void ConfigureBufStream(TBufStream& reader);
