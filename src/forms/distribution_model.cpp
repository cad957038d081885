#include "forms/distribution_model.h"

#include "foundation/utils.h"

void TDistributionModel::Open()
{
  Scope = corpus_.Count() < 2 ? ScopeCorpus : ScopeFiles;
  StepIndex = 1;
}

std::vector<std::string> TDistributionModel::ScopeComboItems() const
{
  std::vector<std::string> items{"Entire corpus", "Files"};
  for (int32_t i = 0; i < corpus_.Count(); ++i)
    items.push_back(corpus_.Name(i));
  return items;
}

std::string TDistributionModel::ScopeText() const
{
  if (Scope == ScopeCorpus)
    return "Entire corpus";
  if (Scope == ScopeFiles)
    return "Files";
  const int32_t item = Scope - FirstItemScope;
  return item < corpus_.Count() ? corpus_.Name(item) : std::string();
}

std::vector<std::string> TDistributionModel::StepComboItems()
{
  std::vector<std::string> items;
  for (int32_t step : DistributionSteps)
    items.push_back(std::to_string(step) + "%");
  return items;
}

bool TDistributionModel::ChooseScope(int32_t index)
{
  if (index == Scope || index < 0)
    return false;
  Scope = index;
  return true;
}

bool TDistributionModel::ChooseStep(int32_t index)
{
  if (index == StepIndex || index < 0 || index >= int32_t(DistributionSteps.size()))
    return false;
  StepIndex = uint8_t(index);
  return true;
}

void TDistributionModel::Recompute(const TConcordItems& hits)
{
  Items = Scope == ScopeFiles ? DistributionByFile(hits, corpus_)
                              : DistributionByPercent(Scope - FirstItemScope, hits, StepIndex, corpus_);
}

std::string TDistributionModel::AxisTitle() const
{
  if (Scope == ScopeFiles)
    return "Files";
  return Percents ? "Percent" : "Lines";
}

std::vector<TDistribBar> TDistributionModel::Bars()
{
  std::vector<TDistribBar> bars;
  Total = 0;
  for (size_t i = 0; i < Items.size(); ++i) {
    const TDistribItem& item = Items[i];
    Total += item.Hits;
    TDistribBar bar;
    bar.Value = item.Hits;
    if (Scope == ScopeFiles) {
      bar.Position = int64_t(i);
      bar.Label = int32_t(i) < corpus_.Count() ? corpus_.Name(int32_t(i)) : std::string();
    } else if (Percents) {
      bar.Position = item.Percent;
      bar.Label = std::to_string(i == 0 ? 0 : Items[i - 1].Percent) + " - " + std::to_string(item.Percent);
    } else {
      bar.Position = item.LineBoundary;
      bar.Label =
          std::to_string(i == 0 ? 1 : Items[i - 1].LineBoundary + 1) + " - " + std::to_string(item.LineBoundary);
    }
    bars.push_back(std::move(bar));
  }
  return bars;
}

std::string TDistributionModel::MarkText(int32_t index) const
{
  if (index < 0 || size_t(index) >= Items.size())
    return {};
  const int32_t hits = Items[size_t(index)].Hits;
  if (Total == 0)
    return "0 (0%)";
  return std::to_string(hits) + " (" + FixedText(double(hits) / double(Total) * 100.0, 2) + "%)";
}

std::string TDistributionModel::CaptionFor(const std::string& searchText)
{
  return "Hits Distribution for: " + searchText;
}

void TDistributionModel::WriteReport(TTextSink& file) const
{
  if (Scope == ScopeFiles)
    WriteDistributionByFile(file, Items, corpus_);
  else
    WriteDistributionByPosition(file, Items);
}
