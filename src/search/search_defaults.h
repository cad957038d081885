// Defaults of the search parameters, the batch search options and the
// frequency options, and the interim readers that give them to the settings
// object until the search parameters dialog, the batch options form and the
// frequency options dialog read their own sections.
//
// The settings object starts with zeros and empty characters; a search needs
// its wildcards, delimiters, context sizes and hit limit. The interim readers
// set the values their dialogs' readers give for a missing key and read
// nothing from the file; they have no writers. A dialog that registers its
// own area replaces them.
#pragma once

// The 25 default delimiters: . , ; : ! # $ ^ & ( ) [ ] { } < > + = / \ | ` ~ "
inline constexpr const char* DefaultNonWordChars = ".,;:!#$^&()[]{}<>+=/\\|`~\"";
inline constexpr const char* DefaultSkippingChars = "-=";

// Maximum hits 500, every hit, characters context with the sizes 40, 8, 3, 1,
// the default delimiters and skipping characters, no equal characters, the
// wildcards * % ? and @ for 2 to 5 words, and & between word and tag.
void ApplySearchParameterDefaults();
// Characters context with the sizes 40, 8, 3, 1, nothing suppressed, the
// three sort keys unsorted without reverse, no customised keys, no tag name.
void ApplyBatchOptionDefaults();
// The frequency options of missing keys: minimum frequency 3, no maximum,
// 100 lines, span 2, 5 collocates highlighted, ignoring case and skipping
// tags, no counting on load; the font is kept.
void ApplyFrequencyOptionDefaults();
// Puts the interim readers into the slots of the search parameters, of the
// batch options and of the frequency options, each only while its slot is
// empty.
void InstallInterimSettingsReaders();
