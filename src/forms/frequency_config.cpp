#include "forms/frequency_config.h"

#include "foundation/config_file.h"
#include "foundation/stop_list.h"
#include "foundation/utils.h"

#include <algorithm>

namespace {

TFreqConfigModel* currentModel = nullptr;

// The area the first model replaced, restored when the last one goes.
TConfigArea& previousArea()
{
  static TConfigArea area;
  return area;
}

// Restores a value on leaving the scope.
template <typename T>
class TRestore {
public:
  explicit TRestore(T& value) : value_(value), old_(value) {}
  ~TRestore() { value_ = old_; }
  TRestore(const TRestore&) = delete;
  TRestore& operator=(const TRestore&) = delete;

private:
  T& value_;
  T old_;
};

}  // namespace

int32_t TUpDownValue::Clamp()
{
  Position = ClampEditToRange(Text, Position, Min, Max);
  return Position;
}

TFreqConfigModel::TFreqConfigModel(TFreqConfigHost& host) : host_(host), previous_(currentModel)
{
  if (!currentModel)
    previousArea() = RegisterConfigArea(csFrequencyOptions, {ReadFrequencySettings, WriteFrequencySettings});
  currentModel = this;
}

TFreqConfigModel::~TFreqConfigModel()
{
  if (currentModel == this)
    currentModel = previous_;
  if (!currentModel)
    RegisterConfigArea(csFrequencyOptions, std::move(previousArea()));
}

void TFreqConfigModel::FormShow()
{
  const TFrequencySettings& s = FrequencySettings;
  MinFreq.Set(s.MinimumFrequency);
  MaxFreq.Set(s.MaximumFrequency);
  MaxLinesText = std::to_string(s.MaximumLines);
  SpanIndex = s.CollocationSpan - 1;
  HighlightFirst.Min = 1;
  HighlightFirst.Max = 32;
  HighlightFirst.Set(s.CollocHighliteFirst);
  IgnoreCaseChecked = s.IgnoreCase;
  SkipTagsChecked = s.SkipTags;
  ContentWordsOnly = !CountAllWords && !GlobalStopList.Words().empty() && GlobalStopList.Active();
  stopActiveAtShow_ = GlobalStopList.Active();
}

void TFreqConfigModel::CancelBtnClick()
{
  GlobalStopList.SetActive(stopActiveAtShow_);
}

void TFreqConfigModel::OKBtnClick()
{
  MinFreq.Clamp();
  MaxFreq.Clamp();
  HighlightFirst.Clamp();
  TFrequencySettings& s = FrequencySettings;
  s.MinimumFrequency = MinFreq.Position;
  s.MaximumFrequency = MaxFreq.Position;
  int32_t lines = 0;
  s.MaximumLines = TryStrToInt(MaxLinesText, lines) ? std::min(lines, MaxLinesLimit) : 100;
  s.CollocationSpan = std::max(SpanIndex + 1, 1);
  s.CollocHighliteFirst = HighlightFirst.Position;
  s.IgnoreCase = IgnoreCaseChecked;
  s.SkipTags = SkipTagsChecked;
  CountAllWords = !ContentWordsOnly;
  GlobalStopList.SetActive(!CountAllWords);
}

void TFreqConfigModel::EditButtonClick()
{
  ContentWordsOnly = true;
  {
    TRestore<bool> ignoreCase(FrequencySettings.IgnoreCase);
    FrequencySettings.IgnoreCase = IgnoreCaseChecked;
    host_.ShowStopListEditor();
  }
  StopListEdited = true;
}

bool TFreqConfigModel::ContentWordsClick()
{
  ContentWordsOnly = true;
  return GlobalStopList.Words().empty();
}

bool TFreqConfigModel::MaxFreqLabelEnabled() const
{
  int32_t value = 0;
  return !TryStrToInt(MaxFreq.Text, value) || value > 0;
}

void TFreqConfigModel::ReadSettings(const platform::IniFile& ini)
{
  const char* const sec = FrequencySection;
  TFrequencySettings& s = FrequencySettings;
  // The limits are brought into the dialog's ranges as they are read, so the
  // dialog shows what is in force and an OK with nothing touched keeps it
  // (its clamp takes a negative number as unsigned, above every maximum).
  s.MinimumFrequency = std::clamp(ini.readInteger(sec, "MinimumFrequency", 3), MinFreq.Min, MinFreq.Max);
  s.MaximumFrequency = std::clamp(ini.readInteger(sec, "MaximumFrequency", 0), MaxFreq.Min, MaxFreq.Max);
  s.MaximumLines = std::clamp(ini.readInteger(sec, "MaximumLines", 100), 0, MaxLinesLimit);
  s.CollocationSpan = ini.readInteger(sec, "CollocationSpan", 2);
  if (s.CollocationSpan < 1 || s.CollocationSpan > 4)
    s.CollocationSpan = 2;
  s.CollocHighliteFirst = ini.readInteger(sec, "CollocHighliteFirst", 5);
  if (s.CollocHighliteFirst < 1 || s.CollocHighliteFirst > 32)
    s.CollocHighliteFirst = 5;
  s.IgnoreCase = ini.readBool(sec, "IgnoreCase", true);
  CountAllWords = ini.readBool(sec, "CountAllWords", !GlobalStopList.Active());
  s.SkipTags = ini.readBool(sec, "SkipTags", true);
  s.ScanTextsOnLoad = ini.readBool(sec, "ScanTextsOnLoad", false);
  GlobalStopList.SetActive(GlobalStopList.Active() && !CountAllWords);
  ReadFont(ini, sec, "Font", s.Font);
}

void TFreqConfigModel::WriteSettings(platform::IniFile& ini) const
{
  const char* const sec = FrequencySection;
  const TFrequencySettings& s = FrequencySettings;
  ini.writeInteger(sec, "MinimumFrequency", s.MinimumFrequency);
  ini.writeInteger(sec, "MaximumFrequency", s.MaximumFrequency);
  ini.writeInteger(sec, "MaximumLines", s.MaximumLines);
  ini.writeInteger(sec, "CollocationSpan", s.CollocationSpan);
  ini.writeInteger(sec, "CollocHighliteFirst", s.CollocHighliteFirst);
  ini.writeBool(sec, "IgnoreCase", s.IgnoreCase);
  ini.writeBool(sec, "CountAllWords", CountAllWords);
  ini.writeBool(sec, "SkipTags", s.SkipTags);
  ini.writeBool(sec, "ScanTextsOnLoad", s.ScanTextsOnLoad);
  WriteFont(ini, sec, "Font", s.Font);
}

void ReadFrequencySettings(const platform::IniFile& ini)
{
  if (currentModel)
    currentModel->ReadSettings(ini);
}

void WriteFrequencySettings(platform::IniFile& ini)
{
  if (currentModel)
    currentModel->WriteSettings(ini);
}

TFreqOptionsChanges FreqOptionsChanges(const TFrequencySettings& before, bool stopActiveBefore,
                                       const TFrequencySettings& after, bool stopActiveAfter,
                                       bool stopListEdited)
{
  const bool stop = (stopActiveAfter && stopListEdited) || stopActiveBefore != stopActiveAfter;
  const bool limits = before.MinimumFrequency != after.MinimumFrequency ||
                      before.MaximumFrequency != after.MaximumFrequency ||
                      before.MaximumLines != after.MaximumLines;
  const bool icase = before.IgnoreCase != after.IgnoreCase;
  const bool tags = before.SkipTags != after.SkipTags;
  TFreqOptionsChanges changes;
  changes.FreeFreqList = icase || tags;
  changes.ResetWordCounts = tags;
  changes.CloseListWindows = stop || limits || icase || tags;
  if (!changes.CloseListWindows && before.CollocationSpan == after.CollocationSpan)
    changes.ReRankCollocates = before.CollocHighliteFirst != after.CollocHighliteFirst;
  else
    changes.DropCollocates = true;
  return changes;
}
