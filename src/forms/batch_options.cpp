#include "forms/batch_options.h"

#include "forms/advanced_sort.h"
#include "forms/context_options.h"
#include "foundation/config_file.h"
#include "foundation/dialogs.h"
#include "foundation/settings.h"
#include "search/search_defaults.h"

#include <cctype>
#include <charconv>

namespace {

constexpr const char* SizePrefix = "batch";
constexpr const char* SuppressPrefix = "Suppress";
constexpr const char* SortKeyNames[3] = {"First sort", "Second sort", "Third sort"};
constexpr const char* ReverseNames[3] = {"First Reverse", "Second Reverse", "Third Reverse"};

// The codes of the old numeric layout.
uint8_t LegacySortKey(long long n)
{
  long long key = n;
  if (n >= 7)
    key = n + 2;
  else if (n >= 1)
    key = n + 1;
  return key >= 0 && key < ContextsCount ? uint8_t(key) : uint8_t(ctxNone);
}

bool IsDecimalInteger(std::string_view text, long long& value)
{
  if (text.empty())
    return false;
  const char* first = text.data();
  if (*first == '+')
    ++first;
  const char* last = text.data() + text.size();
  const auto [end, error] = std::from_chars(first, last, value);
  if (error == std::errc::result_out_of_range) {
    value = -1;  // an integer, but no code
    return end == last;
  }
  return error == std::errc() && end == last;
}

std::string SortKeyDisplayName(uint8_t code)
{
  const int32_t index = SortKeyIndex(false, code);
  return index < 0 ? "Unsorted" : SortKeyTable(false)[size_t(index)].DisplayName;
}

}  // namespace

TBatchSearchCfgForm& BatchSearchCfgForm()
{
  static TBatchSearchCfgForm form;
  return form;
}

void TBatchSearchCfgForm::FormShow()
{
  ModalResult = 0;
  Focus = FormatGroupName;
}

void TBatchSearchCfgForm::SortingBtnClick()
{
  ConcordConfig& c = ConcordSettings;
  std::vector<TAdvancedSortColItem> list;
  if (!ExecuteAdvancedSortDialog(false, c.BatchSort, list))
    return;
  if (c.BatchSort.Custom)
    c.BatchSortItems = std::move(list);
  else
    c.BatchSortItems.clear();
}

void TBatchSearchCfgForm::ContextTypeBtnClick()
{
  TContextRecord record;
  record.ContextType = ContextType;
  record.Sizes = ContextSizes;
  record.CallerValue = 0;
  if (!EditContextOptions(record))
    return;
  ContextType = uint8_t(record.ContextType);
  ContextSizes = record.Sizes;
}

void TBatchSearchCfgForm::SuppressClick(int which, bool checked)
{
  Suppress[size_t(which)] = checked;
  SuppressChecks[size_t(which)].Checked = checked;
  UpdateEnabled(which);
}

void TBatchSearchCfgForm::UpdateEnabled(int except)
{
  for (int i = 0; i < 3; ++i)
    if (i != except)
      SuppressChecks[size_t(i)].Enabled = !(Suppress[size_t((i + 1) % 3)] && Suppress[size_t((i + 2) % 3)]);
}

void TBatchSearchCfgForm::OKBtnClick()
{
  ConcordConfig& c = ConcordSettings;
  c.BatchContextType = ContextType;
  c.BatchContextSizes = ContextSizes;
  c.BatchSuppress = Suppress;
  ModalResult = mrOk;
}

void TBatchSearchCfgForm::CancelBtnClick()
{
  ModalResult = mrCancel;
}

void TBatchSearchCfgForm::LoadWorkingCopy()
{
  const ConcordConfig& c = ConcordSettings;
  ContextType = c.BatchContextType;
  ContextSizes = c.BatchContextSizes;
  Suppress = c.BatchSuppress;
  for (size_t i = 0; i < 3; ++i)
    SuppressChecks[i].Checked = Suppress[i];
  UpdateEnabled(-1);
}

uint8_t ReadBatchSortKey(const platform::IniFile& ini, std::string_view key)
{
  const std::string text = ini.readString(BatchSearchSection, key, "");
  long long n = 0;
  if (IsDecimalInteger(text, n))
    return LegacySortKey(n);
  for (const TSortKeyEntry& entry : SortKeyTable(false))
    if (text == entry.DisplayName)
      return entry.Code;
  return ctxNone;
}

void ReadBatchSearchSettings(const platform::IniFile& ini)
{
  ApplyBatchOptionDefaults();
  ConcordConfig& c = ConcordSettings;
  const char* s = BatchSearchSection;
  c.BatchContextType = ReadContextType(ini, s, "BatchContextType");
  ReadContextSizes(ini, s, SizePrefix, c.BatchContextSizes);
  ReadSuppressFlags(ini, s, SuppressPrefix, c.BatchSuppress);
  TAdvancedSortColOptions& sort = c.BatchSort;
  uint8_t* keys[3] = {&sort.First, &sort.Second, &sort.Third};
  bool* reverse[3] = {&sort.FirstReverse, &sort.SecondReverse, &sort.ThirdReverse};
  for (size_t i = 0; i < 3; ++i) {
    *keys[i] = ReadBatchSortKey(ini, SortKeyNames[i]);
    *reverse[i] = ini.readBool(s, ReverseNames[i], false);
  }
  const bool parse = ini.readBool(s, "AdvCollocation", false);
  sort.CustomText = ini.readString(s, "AdvCollocationText", "");
  sort.TagName = ini.readString(s, "Sort Tag Name", "");

  std::vector<TAdvancedSortColItem> list;
  int32_t errorPos = 0;
  if (parse && !ParseCustomisedKeys(false, true, sort.CustomText, list, errorPos))
    list.clear();
  // Files written before the flag was kept: customised when a list was stored.
  sort.Custom = ini.valueExists(s, "Custom") ? ini.readBool(s, "Custom", false) : parse && !list.empty();
  if (!sort.Custom)
    list.clear();
  c.BatchSortItems = std::move(list);
  BatchSearchCfgForm().LoadWorkingCopy();
}

void WriteBatchSearchSettings(platform::IniFile& ini)
{
  const ConcordConfig& c = ConcordSettings;
  const char* s = BatchSearchSection;
  WriteContextType(ini, s, "BatchContextType", c.BatchContextType);
  WriteContextSizes(ini, s, SizePrefix, c.BatchContextSizes);
  WriteSuppressFlags(ini, s, SuppressPrefix, c.BatchSuppress);
  const TAdvancedSortColOptions& sort = c.BatchSort;
  const uint8_t keys[3] = {sort.First, sort.Second, sort.Third};
  const bool reverse[3] = {sort.FirstReverse, sort.SecondReverse, sort.ThirdReverse};
  for (size_t i = 0; i < 3; ++i) {
    ini.writeString(s, SortKeyNames[i], SortKeyDisplayName(keys[i]));
    ini.writeBool(s, ReverseNames[i], reverse[i]);
  }
  ini.writeBool(s, "AdvCollocation", true);  // the key list always exists
  ini.writeString(s, "AdvCollocationText", sort.CustomText);
  ini.writeString(s, "Sort Tag Name", sort.TagName);
  ini.writeBool(s, "Custom", sort.Custom);
}

void InstallBatchSearchSettings()
{
  RegisterConfigArea(csBatchOptions, {ReadBatchSearchSettings, WriteBatchSearchSettings});
}
