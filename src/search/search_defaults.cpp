#include "search/search_defaults.h"

#include "foundation/config_file.h"
#include "foundation/settings.h"
#include "foundation/utils.h"

#include <array>
#include <utility>

namespace {

constexpr std::array<int32_t, 4> DefaultContextSizes = {40, 8, 3, 1};

// Registers `area` in `slot` unless the slot already holds one.
void FillEmptySlot(int slot, TConfigArea area)
{
  TConfigArea old = RegisterConfigArea(slot, std::move(area));
  if (old.Read || old.Write)
    RegisterConfigArea(slot, std::move(old));
}

}  // namespace

void ApplySearchParameterDefaults()
{
  ConcordConfig& c = ConcordSettings;
  c.MaximumHits = 500;
  c.FrequencyOfHits = 1;
  c.ContextType = 0;
  c.ContextSizes = DefaultContextSizes;
  c.NonWordChars = DefaultNonWordChars;
  c.SkippingChars = DefaultSkippingChars;
  c.EqualChars.clear();
  ParseEqualChars();
  c.WildCard0orMore = '*';
  c.WildCard0or1 = '%';
  c.WildCardExactly1 = '?';
  c.WildCardMatchWords = '@';
  c.MatchWordsLo = 2;
  c.MatchWordsHi = 5;
  c.TagSearchSeparator = '&';
}

void ApplyBatchOptionDefaults()
{
  ConcordConfig& c = ConcordSettings;
  c.BatchContextType = 0;
  c.BatchContextSizes = DefaultContextSizes;
  c.BatchSuppress = {false, false, false};
  const bool custom = c.BatchSort.Custom;  // not part of the section
  ResetSortSpec(c.BatchSort);
  c.BatchSort.Custom = custom;
  c.BatchSortItems.clear();
}

void ApplyFrequencyOptionDefaults()
{
  TFrequencySettings& f = FrequencySettings;
  f.MinimumFrequency = 3;
  f.MaximumFrequency = 0;
  f.MaximumLines = 100;
  f.CollocationSpan = 2;
  f.CollocHighliteFirst = 5;
  f.IgnoreCase = true;
  f.SkipTags = true;
  f.ScanTextsOnLoad = false;
}

void InstallInterimSettingsReaders()
{
  FillEmptySlot(csSearchParameters, {[](const platform::IniFile&) { ApplySearchParameterDefaults(); }, {}});
  FillEmptySlot(csBatchOptions, {[](const platform::IniFile&) { ApplyBatchOptionDefaults(); }, {}});
  FillEmptySlot(csFrequencyOptions, {[](const platform::IniFile&) { ApplyFrequencyOptionDefaults(); }, {}});
}
