// What the collocation report and the collocation window share about the
// collocate tables of a hit list (TConcordItems): the window of word
// positions for a span, the frequency range, and the rows the tables make
// when laid side by side.
#pragma once

#include "search/concord_items.h"

#include <cstdint>
#include <vector>

// The positions of a collocation span (clamped to 1..4): 5 - span .. 4 + span,
// that many words on each side of the hit.
struct TCollocWindow {
  uint8_t First = 0;
  uint8_t Last = 0;
};
TCollocWindow CollocWindowOfSpan(int32_t span);
// The window of FrequencySettings.CollocationSpan.
TCollocWindow CurrentCollocWindow();

// A count is shown when it is at least MinimumFrequency and, with a non-zero
// MaximumFrequency, at most that.
bool CollocCountInRange(int32_t count);

// The tables of first..last side by side: each position lists the indices
// of its entries in range, in table order, one per row from the top; below
// its last one the position is exhausted. Rows go on while some position has
// entries left, in range or not (so a table ending in entries out of range
// adds a row in which it is empty), up to rowLimit rows when rowLimit >= 0.
// Every table of the window must exist.
struct TCollocRows {
  int32_t Rows = 0;
  std::vector<std::vector<int32_t>> Entries;  // per position, first..last
};
TCollocRows LayOutCollocRows(const TConcordItems::TCollocTableArray& tables, uint8_t first, uint8_t last,
                             int64_t rowLimit);
