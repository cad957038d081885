// The rows of a word-list window ("Corpus Frequency Data") without its
// widgets: filling them from a word table, the texts of the grid's cells,
// the window's word-list file, the clipboard text and the table made back
// from the rows; and the batch form of the word-list file, written straight
// from a word table.
//
// The rows are the window's own copies: the word table they came from may be
// sorted again for another window, or freed, while the window stays open.
// So is every word of that table with its count, which the corpus comparison
// takes as the current corpus: Maximum Lines and the frequency filter limit
// what the window shows, not what the corpus holds.
#pragma once

#include "foundation/hash_strings.h"
#include "foundation/text_sink.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct TWordListRow {
  int32_t Count = 0;
  float Percent = 0;  // Count / total x 100
  std::string Word;
};

// How FillWordList orders the table before it takes the rows.
enum TWordListMode : int { wlmKeep = 0, wlmAlphabetical = 1, wlmByCount = 2 };

inline constexpr const char* FreqOrderCaption = "Corpus Frequency List";
inline constexpr const char* AlphaOrderCaption = "Alphabetical Word List";
inline constexpr const char* BatchFreqOrderTitle = "Batch Frequency Data - Frequency Order";
inline constexpr const char* BatchAlphaOrderTitle = "Batch Frequency Data - Alphabetical Order";

class TWordListRows {
public:
  static constexpr int ColumnCount = 3;
  static constexpr const char* HeaderTexts[ColumnCount] = {"Count", "Pct", "Word"};

  // Sorts the table by the mode, then takes, in table order, every word that
  // passes the frequency filter, until MaximumLines rows are reached (tested
  // after each row, so a limit of 0 or below still takes one). Percentages
  // refer to total; a total of 0 or below gives 0. A rowLimit above 0
  // takes at most that many rows as well.
  void Fill(THashStrings& table, int mode, std::string caption, int64_t total, int64_t rowLimit = 0);

  const std::string& Caption() const { return caption_; }
  // The word total the percentages refer to, as the fill got it.
  int64_t Total() const { return total_; }
  int32_t Count() const { return int32_t(rows_.size()); }
  const TWordListRow& Row(int32_t i) const { return rows_[size_t(i)]; }
  // The first row of the largest count (0 without rows), kept by the fill:
  // the row whose count and percentage are the longest texts of theirs.
  int32_t largestRow() const { return largestRow_; }

  // "%d" of the count, the percentage with four decimals and "%", the word.
  std::string CellText(int32_t row, int column) const;

  // The window's word-list file: the caption and " (<total> words)", an
  // empty line, then one line per row (at most maxLines when it is above
  // 0): the three cells joined by TAB, or the word alone without
  // frequencies. Lines end in CR LF. The sink is not closed.
  void Write(TTextSink& file, int32_t maxLines, bool withFrequencies) const;
  // Rows first..last (inclusive, clipped to the rows), three cells joined by
  // TAB, rows by CR LF, no line end after the last row.
  std::string CopyText(int32_t first, int32_t last) const;
  // A new table, in the current language and folding case, of every word of
  // the table the rows were filled from (not only the rows), with its count.
  std::unique_ptr<THashStrings> ToTable() const;

private:
  std::string caption_;
  int64_t total_ = 0;
  std::vector<TWordListRow> rows_;
  int32_t largestRow_ = 0;
  // Every word of the filled table with its count, in the table's order:
  // its bytes at Offset in wordBytes_.
  struct TWord {
    size_t Offset;
    uint32_t Length;
    int32_t Count;
  };
  std::vector<TWord> words_;
  std::string wordBytes_;
};

// count / total x 100, in extended precision, as a 32-bit float; 0 when the
// total is 0 or below.
float WordListPercent(int32_t count, int64_t total);

// The batch form of the word-list file: the title by the order, 38 hyphens,
// then the frequency lines of the table's words that pass the filter, by
// count or alphabetically. The sink is not closed.
void WriteBatchFrequencyList(TTextSink& file, THashStrings& table, bool alphabetical);
