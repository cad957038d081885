// How the hits of a concordance spread over the text: slices of equal
// numbers of lines over one corpus item or the whole corpus (by position),
// or one count per corpus item (by file); and the plain-text report of
// either.
//
// Lines come from each item's line index: row 0 holds 0, every further row
// the position of a line end, so an item has as many lines as its index has
// rows (a file ending in a line break has a last, empty line). An item
// without a line index has no lines; its hits still count by position.
//
// Positions across items are 64-bit: the items in scope are laid end to
// end, item i starting at Base[i], the sum of the sizes before it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class TConcordItems;
class TTextSink;

// One bar.
struct TDistribItem {
  // By position: the slice's upper bound in percent of the lines; 0 by file.
  int32_t Percent = 0;
  // By position: the lines up to the slice's end, over the items in scope.
  // By file: 1 plus the lines of this item and every item before it.
  int64_t LineBoundary = 0;
  int32_t Hits = 0;
  // By position: the last position (items laid end to end) that belongs to
  // the slice; a hit counts in the first slice whose Position is at or
  // after it. 0 by file.
  int64_t Position = 0;
};

using TDistribItems = std::vector<TDistribItem>;

// Slice widths in percent, by step index.
inline constexpr std::array<int32_t, 7> DistributionSteps{2, 5, 10, 20, 25, 33, 50};

// What the counting reads of the corpus. The loaded corpus is the default;
// tests give sizes and line rows directly.
class TDistribCorpus {
public:
  virtual ~TDistribCorpus() = default;
  virtual int32_t Count() const = 0;
  virtual int64_t Size(int32_t item) const = 0;
  // The rows of the item's line index; 0 when it has none.
  virtual int64_t LineCount(int32_t item) const = 0;
  // Row `row` (1 .. LineCount - 1) of the item's line index.
  virtual int64_t LineEnd(int32_t item, int64_t row) const = 0;
  // The name reports and bars show: a file without its folder, a URL whole.
  virtual std::string Name(int32_t item) const = 0;
};

// The corpus of CorpusList: source stream sizes, line indexes, names.
const TDistribCorpus& LoadedCorpus();

// The slices of scope (a corpus item, any negative value the whole corpus)
// at DistributionSteps[stepIndex]. With 2 to 5 lines the step is widened so
// that no slice is empty (5 lines: 20 %). No lines give no slices; one line
// one slice of 100 %.
TDistribItems DistributionByPercent(int32_t scope, const TConcordItems& hits, int32_t stepIndex,
                                    const TDistribCorpus& corpus = LoadedCorpus());
// One bar per corpus item, in corpus order. A hit whose FileIndex names no
// item is skipped.
TDistribItems DistributionByFile(const TConcordItems& hits, const TDistribCorpus& corpus = LoadedCorpus());

// The report, lines ending CR LF. By position: Percent, LineBoundary and
// Hits per slice; by file: each item's name and Hits. Failures of the sink
// pass on.
void WriteDistributionByPosition(TTextSink& file, const TDistribItems& items);
void WriteDistributionByFile(TTextSink& file, const TDistribItems& items,
                             const TDistribCorpus& corpus = LoadedCorpus());
