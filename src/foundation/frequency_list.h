// Counting the words of the whole corpus, the frequency filter and the
// lines of a frequency list.
#pragma once

#include "foundation/hash_strings.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

// Counts every word of the corpus into a new table (4096 buckets, the text
// language, folding case by FrequencySettings.IgnoreCase), with a progress
// dialog; markup and part-of-speech tags are skipped when
// FrequencySettings.SkipTags is on. Each word is stored as its first 64
// characters. Sets TotalWordCount and returns the table sorted by count;
// returns none, with TotalWordCount unchanged, when the user cancels.
std::unique_ptr<THashStrings> CountCorpusWords();

// CountCorpusWords looks at its progress dialog every 4096 characters, once
// this much time has passed since it last did (200 ms; tests shorten it).
extern std::chrono::milliseconds CountWordsReportInterval;

// False when count is below MinimumFrequency or above a MaximumFrequency
// other than 0; else true unless the word is a stop word.
bool PassesFrequencyFilter(std::string_view word, int32_t count);

// A percentage with four decimals and "." as the point, rounded half away
// from zero (12.5 gives "12.5000"); every frequency list and grid shows its
// percentages through this.
std::string FormatPercent(double value);

// Length keys: numbers that order texts by length without making them. A
// text of more characters has a greater key: a text of n characters before
// its point (a "-" counted; an integer's all) has a key from 10^(n+3) up to
// 10^(n+4).
// FormatPercent's text of value:
double percentLengthKey(double value);
// The text of an integer in decimal:
double integerLengthKey(int64_t value);

// One frequency line, without line end: the count right-aligned in 10
// characters (no digit for 0), ": ", the count as a percentage of
// TotalWordCount with four decimals (0.0000 when the total is 0 or less),
// "% " and the word. The decimal point is always ".".
std::string FormatFrequencyLine(int32_t count, std::string_view word);

// Sorts the table (by word when alphabetical, else by count) and hands one
// line to writeLine for every item that passes the filter.
void WriteFrequencyList(const std::function<void(const std::string& line)>& writeLine, THashStrings& table,
                        bool alphabetical);
