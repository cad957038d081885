#include "foundation/settings.h"

#include "foundation/chartables.h"

#include <algorithm>

ConcordConfig ConcordSettings;
TFrequencySettings FrequencySettings;

bool BusyLoading = false, BusyCollecting = false, BusySearching = false, BusySaving = false,
     BusyPrinting = false, BusyCounting = false;

int32_t BigContextSize = 10;
TFontRec CorpusFont;
TFontRec SystemFont;
std::string SentDelimiters = ".!?";
bool SmartAbbrDetect = false;

namespace {

TFontRec& stockFont()
{
  static TFontRec font{"Sans Serif", 8, 0, clWindowText, 1};
  return font;
}

std::vector<std::function<void()>>& dialogFontListeners()
{
  static std::vector<std::function<void()>> listeners;
  return listeners;
}

}  // namespace

// Every field zero or empty, except HighlightCollocates (true, in the class).
ConcordConfig::ConcordConfig() = default;

void ConcordConfig::ClearWordTagLists()
{
  wTagStarts.clear();
  MetaTags.clear();
}

int32_t ConcordConfig::EffectiveFrequencyOfHits() const
{
  return std::max<int32_t>(FrequencyOfHits, 1);
}

int32_t ClampContextSize(int contextType, int32_t size)
{
  if (contextType < 0 || contextType > 3)
    contextType = 0;
  return std::clamp(size, ContextSizeMin[contextType], ContextSizeMax[contextType]);
}

bool CollectingArrivingURL = false;

bool SearchAllowedWhileBusy()
{
  return CollectingArrivingURL && BusyCollecting && !BusyLoading && !BusySearching && !BusySaving && !BusyPrinting &&
         !BusyCounting;
}

bool IsBusy()
{
  return BusyLoading || BusyCollecting || BusySearching || BusySaving || BusyPrinting || BusyCounting;
}

void SetStockSystemFont(const TFontRec& font)
{
  stockFont() = font;
}

const TFontRec& StockSystemFont()
{
  return stockFont();
}

void ResetSortSpec(TAdvancedSortColOptions& sortSpec)
{
  sortSpec = TAdvancedSortColOptions{};
  sortSpec.First = ctxNone;
  sortSpec.Second = ctxNone;
  sortSpec.Third = ctxNone;
}

bool ToggleSuppressOption(std::array<bool, 3>& flags, std::array<bool, 3>& checks, int clicked)
{
  if (clicked < 0 || clicked > 2)
    return false;
  const bool newState = !checks[clicked];
  const bool othersChecked = checks[(clicked + 1) % 3] && checks[(clicked + 2) % 3];
  if (newState && othersChecked)
    return false;
  flags[clicked] = newState;
  checks[clicked] = newState;
  return true;
}

void CreateDefaultFonts()
{
  const TFontRec& stock = StockSystemFont();
  CorpusFont = stock;
  SystemFont = TFontRec{"MS Sans Serif", 8, 0, clWindowText, 1};
  ConcordSettings.NormalFont = stock;
  ConcordSettings.HiliteFont = stock;
  ConcordSettings.HiliteFont.Color = 0xFF0000;
  ConcordSettings.CollocateFont = stock;
  ConcordSettings.CollocateFont.Color = 0x0000FF;
  FrequencySettings.Font = stock;
}

void SetDialogFont(const TFontRec& font)
{
  SystemFont = font;
  for (const auto& listener : dialogFontListeners())
    listener();
}

void AddDialogFontListener(std::function<void()> listener)
{
  dialogFontListeners().push_back(std::move(listener));
}

void InitProgramState()
{
  BusyLoading = BusyCollecting = BusySearching = BusySaving = BusyPrinting = BusyCounting = false;
  CollectingArrivingURL = false;
  BigContextSize = 10;
  SentDelimiters = ".!?";
  SmartAbbrDetect = false;
  FrequencySettings = TFrequencySettings{};
  ConcordSettings = ConcordConfig{};
  ConcordSettings.MaximumHits = 1024;
  ConcordSettings.EqualCharSets.assign(1, TCharSet{});
  ConcordSettings.BatchSortItems.clear();
  CreateDefaultFonts();
  InitLanguages();
  ResetCharTables();
}
