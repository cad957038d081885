// The corpus comparison: the current corpus's word counts beside those of a
// reference word-list file, with both percentages, their difference and a
// log-likelihood value per word; its sort on three keys, its report and its
// clipboard text. Widget-free; the window lives in the workbench.
#pragma once

#include "foundation/hash_strings.h"
#include "foundation/text_sink.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class ProgressDialog;

// One compared word.
struct TCorpusCompRec {
  int32_t CurCount = 0;
  float CurPercent = 0;  // CurCount / current total x 100
  std::string Word;      // as the tables hold it (lower-cased)
  int32_t RefCount = 0;
  float RefPercent = 0;  // RefCount / reference total x 100
  long double LL = 0;    // log-likelihood of the difference
};

using TCompRecords = std::vector<TCorpusCompRec>;
// Key 1, descending 1, key 2, descending 2, key 3, descending 3.
using TCompSortKeys = std::array<uint8_t, 6>;

inline constexpr int CompColumnCount = 7;
inline constexpr const char* CompHeaderTexts[CompColumnCount] = {
    "Current Count", "Current Pct", "Current Word", "Reference Count", "Reference Pct", "Pct Change", "LL"};
// The sort keys in key order (0 "Unsorted", then one per column).
inline constexpr const char* CompSortKeyNames[CompColumnCount + 1] = {
    "Unsorted",        "Current Count",     "Current Percent", "Current Word",
    "Reference Count", "Reference Percent", "Percent change",  "LL"};
// The column boxes of the save and print choice; column c is bit 1 << c.
inline constexpr const char* CompColumnNames[CompColumnCount] = {
    "Current Count", "Current Percent", "Current Word", "Reference Count", "Reference Percent", "Percent Change",
    "LL"};
inline constexpr uint32_t AllCompColumns = (1u << CompColumnCount) - 1;

inline constexpr const char* InvalidFrequencyFileText = "Invalid frequency file!";
inline constexpr const char* MissingWordCountText = "Missing word count.\r\nDo you want to calculata it?";
inline constexpr const char* UnknownCurrentTotalText = "The word total of the current corpus is not known.";
inline constexpr const char* FrequencyFileCaption = "Corpus Frequency File";
inline constexpr const char* CompFileCaption = "Corpus Comparision File";

// Reads a word-list file (the word-list window's form or the batch form)
// into a new table folding case in the current language, with bucketCount
// (at least 1) as its bucket count. total is the word total of the title,
// or after the user agrees the sum of the counts. A file that cannot be
// read, a title of another kind, a total that is no number or not above 0,
// and a data line without a leading count that fits 32 bits or without a
// word are shown with ShowError; No to the missing-total question and
// Cancel in the progress dialog fail without a word. On failure table is
// empty. BusyLoading is set meanwhile.
bool ReadFrequencyFile(const std::string& fileName, int32_t bucketCount, int64_t& total,
                       std::unique_ptr<THashStrings>& table);

// Adds every word of current (without counting) to reference, then gives one
// record per word of reference in its order. Both totals must be above 0.
TCompRecords BuildComparison(const THashStrings& current, int64_t currentTotal, THashStrings& reference,
                             int64_t referenceTotal);

// The change in percentage points, CurPercent - RefPercent, taken wide (as
// the grid, the report and the sort on "Percent change" use it).
double CompPercentChange(const TCorpusCompRec& record);

// The three-key comparison (below, at or above 0).
int CompareCompRecords(const TCompSortKeys& keys, const TCorpusCompRec& x, const TCorpusCompRec& y);
// Sorts with the hit list's quicksort: equal records end where it leaves them.
void SortCompRecords(TCompRecords& records, const TCompSortKeys& keys);

// A cell's text: "%d", the percentages with four decimals and "%", the word,
// the LL with four decimals; "." is always the point.
std::string CompCellText(const TCorpusCompRec& record, int column);
// A key that orders a column's cell texts by length without making them: a
// longer text never has a smaller key. The word's bytes; for the numbers
// their length keys (frequency_list.h).
double compCellLengthKey(const TCorpusCompRec& record, int column);
// The selected columns of the mask, in column order, joined by TAB.
std::string FormatCompRecord(const TCorpusCompRec& record, uint32_t mask);
// Rows first..last and columns firstColumn..lastColumn: every cell followed by
// TAB, every row by CR LF.
std::string CompCopyText(const TCompRecords& records, int32_t first, int32_t last, int firstColumn,
                         int lastColumn);

// One report line per record in order, with a progress dialog (prepare may
// make it modal before it shows); Cancel ends the report early. The sink is
// closed in either case; write errors pass on to the caller. BusySaving is
// set meanwhile, for printing too.
void WriteComparison(const TCompRecords& records, TTextSink& file, bool printing, uint32_t mask,
                     const std::function<void(ProgressDialog&)>& prepare = {});
