// The distribution window without its widgets: the scope and step the user
// chose, the bars last computed and what the chart, the scope list, the
// marks and the saved report show of them.
#pragma once

#include "search/distribution.h"

#include <cstdint>
#include <string>
#include <vector>

class TConcordItems;
class TTextSink;

// One bar as the chart shows it.
struct TDistribBar {
  int32_t Value = 0;     // the bar's length: the hits
  int64_t Position = 0;  // the item index, the LineBoundary or the Percent
  std::string Label;     // the left axis text
};

class TDistributionModel {
public:
  static constexpr int32_t ScopeCorpus = 0;
  static constexpr int32_t ScopeFiles = 1;
  static constexpr int32_t FirstItemScope = 2;  // scope k >= 2: corpus item k - 2
  // The series colour ($00BBGGRR).
  static constexpr uint32_t SeriesColour = 8421440;

  explicit TDistributionModel(const TDistribCorpus& corpus = LoadedCorpus()) : corpus_(corpus) {}

  // A new window: the files when the corpus has two items or more, else the
  // whole corpus; 5 % slices.
  void Open();

  // 0 the whole corpus by position, 1 by files, k >= 2 item k - 2.
  int32_t Scope = ScopeCorpus;
  // The bars last computed.
  TDistribItems Items;
  // Index into DistributionSteps.
  uint8_t StepIndex = 1;
  // The sum of Hits over Items.
  int32_t Total = 0;
  // Percent labels (the Percent box) or line labels.
  bool Percents = true;

  // The step box, its label and the Percent box serve slices only.
  bool StepControlsEnabled() const { return Scope != ScopeFiles; }

  // "Entire corpus", "Files", then each item's name.
  std::vector<std::string> ScopeComboItems() const;
  // The name shown for the scope in print: "Entire corpus", "Files" or the item's.
  std::string ScopeText() const;
  // The step box's entries: "2%" ... "50%".
  static std::vector<std::string> StepComboItems();

  // A choice in the scope or step box; false (and nothing changes) when it
  // is the one already shown.
  bool ChooseScope(int32_t index);
  bool ChooseStep(int32_t index);

  // Counts the hits again for Scope and StepIndex; Items is replaced.
  void Recompute(const TConcordItems& hits);
  // Total from Items, and the bars with their axis title.
  std::vector<TDistribBar> Bars();
  std::string AxisTitle() const;

  // The mark of bar i: "<hits> (<percent of Total, 2 decimals>%)"; "0 (0%)"
  // while Total is 0.
  std::string MarkText(int32_t index) const;

  // "Hits Distribution for: " + the search text.
  static std::string CaptionFor(const std::string& searchText);

  // The report of the bars: by file in the Files scope, else by position.
  void WriteReport(TTextSink& file) const;

private:
  const TDistribCorpus& corpus_;
};
