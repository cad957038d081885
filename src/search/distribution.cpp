#include "search/distribution.h"

#include "foundation/corpus_list.h"
#include "foundation/text_sink.h"
#include "foundation/utils.h"
#include "search/concord_items.h"

#include <algorithm>
#include <cmath>

namespace {

class TLoadedCorpus final : public TDistribCorpus {
public:
  int32_t Count() const override { return CorpusList.Count(); }
  int64_t Size(int32_t item) const override
  {
    const TCorpusItem& it = CorpusList[item];
    return it.Source ? it.Source->GetSize() : 0;
  }
  int64_t LineCount(int32_t item) const override
  {
    const TIndexEntry& index = CorpusList[item].LineIndex;
    return index.Present() ? index.Index->RowCount() : 0;
  }
  int64_t LineEnd(int32_t item, int64_t row) const override
  {
    return CorpusList[item].LineIndex.Index->ValueAt(static_cast<int32_t>(row), 0);
  }
  std::string Name(int32_t item) const override { return ItemDisplayName(CorpusList[item].Name); }
};

// The items in scope laid end to end.
struct TScopeLayout {
  int32_t First = 0;
  std::vector<int64_t> Base;   // one per item in scope, then the sum of all
  std::vector<int64_t> Lines;  // one per item in scope
  int64_t TotalLines = 0;
};

TScopeLayout layoutScope(const TDistribCorpus& corpus, int32_t first, int32_t count)
{
  TScopeLayout layout;
  layout.First = first;
  layout.Base.reserve(size_t(count) + 1);
  int64_t base = 0;
  for (int32_t i = 0; i < count; ++i) {
    layout.Base.push_back(base);
    base += corpus.Size(first + i);
    layout.Lines.push_back(corpus.LineCount(first + i));
    layout.TotalLines += layout.Lines.back();
  }
  layout.Base.push_back(base);
  return layout;
}

// The last position of the first `boundary` lines of the scope: the line end
// that closes line `boundary`. A boundary between two items (or 0) ends just
// before the next item with lines; with no such item left, at the end.
int64_t boundaryPosition(const TDistribCorpus& corpus, const TScopeLayout& layout, int64_t boundary)
{
  int64_t before = 0;
  for (size_t f = 0; f < layout.Lines.size(); ++f) {
    const int64_t lines = layout.Lines[f];
    if (lines == 0)
      continue;
    const int64_t row = boundary - before;
    if (row == 0)
      return layout.Base[f] - 1;
    if (row < lines)
      return layout.Base[f] + corpus.LineEnd(layout.First + int32_t(f), row);
    before += lines;
  }
  return layout.Base.back();
}

// The step after the widening for texts of 2 to 5 lines.
int32_t effectiveStep(int64_t totalLines, int32_t stepIndex)
{
  switch (totalLines) {
  case 2: return 6;
  case 3: return 5;
  case 4: return stepIndex == 6 ? 6 : 4;
  case 5: return 3;
  default: return stepIndex;
  }
}

std::string padLeft(const std::string& text, size_t width)
{
  return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

std::string padRight(const std::string& text, size_t width)
{
  return text.size() >= width ? text : text + std::string(width - text.size(), ' ');
}

}  // namespace

const TDistribCorpus& LoadedCorpus()
{
  static const TLoadedCorpus corpus;
  return corpus;
}

TDistribItems DistributionByPercent(int32_t scope, const TConcordItems& hits, int32_t stepIndex,
                                    const TDistribCorpus& corpus)
{
  const int32_t count = corpus.Count();
  const bool oneItem = scope >= 0;
  if (oneItem && scope >= count)
    return {};
  const TScopeLayout layout = oneItem ? layoutScope(corpus, scope, 1) : layoutScope(corpus, 0, count);

  TDistribItems items;
  if (layout.TotalLines == 0)
    return items;
  if (layout.TotalLines == 1) {
    items.push_back({100, 1, 0, 0});
  } else {
    const int32_t step = DistributionSteps.at(size_t(effectiveStep(layout.TotalLines, stepIndex)));
    const int32_t slices = 100 / step;
    const double linesPerSlice = double(layout.TotalLines) / slices;
    for (int32_t k = 1; k * step <= 100; ++k) {
      TDistribItem item;
      item.Percent = k * step;
      // Halves go to the even neighbour (the default rounding mode).
      item.LineBoundary = k == slices ? layout.TotalLines : int64_t(std::nearbyint(k * linesPerSlice));
      item.Position = boundaryPosition(corpus, layout, item.LineBoundary);
      items.push_back(item);
    }
  }

  std::vector<int64_t> positions;
  positions.reserve(items.size());
  for (const TDistribItem& item : items)
    positions.push_back(item.Position);
  for (const auto& hit : hits.Items()) {
    const int32_t file = hit->FileIndex;
    if (file < 0 || file >= count || (oneItem && file != scope))
      continue;
    const int64_t pos = oneItem ? hit->HitStart : layout.Base[size_t(file)] + hit->HitStart;
    // The first slice ending at or after the hit; past every end, the last.
    const auto it = std::lower_bound(positions.begin(), positions.end(), pos);
    const size_t slice = it == positions.end() ? positions.size() - 1 : size_t(it - positions.begin());
    ++items[slice].Hits;
  }
  return items;
}

TDistribItems DistributionByFile(const TConcordItems& hits, const TDistribCorpus& corpus)
{
  const int32_t count = corpus.Count();
  TDistribItems items(static_cast<size_t>(count));
  int64_t lines = 1;
  for (int32_t i = 0; i < count; ++i) {
    lines += corpus.LineCount(i);
    items[size_t(i)].LineBoundary = lines;
  }
  for (const auto& hit : hits.Items())
    if (hit->FileIndex >= 0 && hit->FileIndex < count)
      ++items[size_t(hit->FileIndex)].Hits;
  return items;
}

void WriteDistributionByPosition(TTextSink& file, const TDistribItems& items)
{
  file.WriteLine("  %     Line    Hits");
  file.WriteLine(std::string(20, '-'));
  for (const TDistribItem& item : items)
    file.WriteLine(padLeft(std::to_string(item.Percent), 3) + padLeft(std::to_string(item.LineBoundary), 8) +
                   padLeft(std::to_string(item.Hits), 7));
}

void WriteDistributionByFile(TTextSink& file, const TDistribItems& items, const TDistribCorpus& corpus)
{
  file.WriteLine("File name                  Hits");
  file.WriteLine(std::string(31, '-'));
  const int32_t count = corpus.Count();
  for (size_t i = 0; i < items.size(); ++i) {
    const std::string name = int32_t(i) < count ? corpus.Name(int32_t(i)) : std::string();
    file.WriteLine(padRight(name, 24) + padLeft(std::to_string(items[i].Hits), 7));
  }
}
