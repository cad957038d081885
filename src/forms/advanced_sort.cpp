#include "forms/advanced_sort.h"

#include "foundation/config_file.h"
#include "foundation/dialogs.h"
#include "foundation/tag_scan.h"
#include "foundation/utils.h"

#include <algorithm>
#include <utility>

namespace {

constexpr TSortKeyEntry SortKeys[] = {
    {"4L", "4l", ctx4L},          {"3L", "3l", ctx3L},         {"2L", "2l", ctx2L},
    {"1L", "1l", ctx1L},          {"Search term", "0", ctx0},  {"1R", "1r", ctx1R},
    {"2R", "2r", ctx2R},          {"3R", "3r", ctx3R},         {"4R", "4r", ctx4R},
    {"Defined", "def", ctxDefined}, {"Tracked tag", "tag", ctxTrackedTag},
    {"Original order", "orig", ctxOrig}, {"Unsorted", "", ctxNone},
};

constexpr TSortKeyEntry CollocKeys[] = {
    {"4L", "4l", ctx4L},  {"3L", "3l", ctx3L},        {"2L", "2l", ctx2L}, {"1L", "1l", ctx1L},
    {"Search term", "0", ctx0}, {"1R", "1r", ctx1R}, {"2R", "2r", ctx2R}, {"3R", "3r", ctx3R},
    {"4R", "4r", ctx4R},  {"None", "", ctxNone},
};

constexpr const char* UnknownItemText = "Unknown item in Customised %s.";
constexpr const char* DuplicatedItemText = "Duplicated Item in Customised %s.";
constexpr const char* InvalidOrderText = "Invalid order in Customised Collocation.";
constexpr const char* DuplicatedSortText = "Duplicated sort item.";
constexpr const char* DuplicatedCollocText = "Duplicated collocation item.";
constexpr const char* SpanMissingText = "Please select the span number.";
constexpr const char* TagMissingText = "Please select a tracked tag.";

std::string WithModeName(const char* format, bool sortMode)
{
  std::string text = format;
  text.replace(text.find("%s"), 2, sortMode ? "Sort" : "Collocation");
  return text;
}

bool IsBlankOrControl(char c)
{
  return static_cast<unsigned char>(c) <= ' ';
}

// The bounds of text without leading and trailing blanks and control
// characters.
std::pair<size_t, size_t> TrimmedBounds(std::string_view text, size_t from, size_t to)
{
  while (from < to && IsBlankOrControl(text[from]))
    ++from;
  while (to > from && IsBlankOrControl(text[to - 1]))
    --to;
  return {from, to};
}

int32_t TypedIndex(bool sortMode, std::string_view item)
{
  const auto table = SortKeyTable(!sortMode);
  for (size_t i = 0; i < table.size(); ++i)
    if (*table[i].TypedName && item == table[i].TypedName)
      return int32_t(i);
  return -1;
}

// The parse; a failure's message is left in message (empty for the empty
// text, which fails silently).
bool ParseKeys(bool sortMode, std::string_view text, std::vector<TAdvancedSortColItem>& list, int32_t& errorPos,
               std::string& message)
{
  message.clear();
  errorPos = 0;
  const std::string s = LowerCaseText(text);
  if (s.empty())
    return false;
  const auto table = SortKeyTable(!sortMode);
  // Appends the key of a table entry, or fails for the item at itemPos.
  auto add = [&](int32_t index, bool reverse, int32_t itemPos) {
    const uint8_t key = table[size_t(index)].Code;
    if (std::any_of(list.begin(), list.end(), [&](const TAdvancedSortColItem& k) { return k.Key == key; }))
      message = WithModeName(DuplicatedItemText, sortMode);
    else if (!sortMode && !list.empty() && index <= SortKeyIndex(true, list.back().Key))
      message = InvalidOrderText;
    if (!message.empty()) {
      errorPos = itemPos;
      return false;
    }
    list.push_back(TAdvancedSortColItem{key, reverse});
    return true;
  };

  int32_t previous = -1;       // table index of the item before
  bool previousReverse = false;
  bool rangeEnd = false;       // the item before was followed by '-'
  for (size_t pos = 0;;) {
    size_t end = s.find_first_of(",-", pos);
    if (end == std::string::npos)
      end = s.size();
    const auto [from, to] = TrimmedBounds(s, pos, end);
    std::string item = s.substr(from, to - from);
    const int32_t itemPos = int32_t(from);
    bool reverse = false;
    if (sortMode && (item == "0r" || (item.size() == 3 && item[0] >= '1' && item[0] <= '9' && item[2] == 'r'))) {
      item.pop_back();
      reverse = true;
    }
    const int32_t index = TypedIndex(sortMode, item);
    if (index < 0) {
      errorPos = itemPos;
      message = WithModeName(UnknownItemText, sortMode);
      return false;
    }
    if (!rangeEnd) {
      if (!add(index, reverse, itemPos))
        return false;
    } else if (index > previous) {
      for (int32_t k = previous + 1; k <= index; ++k)
        if (!add(k, previousReverse, itemPos))
          return false;
    } else {
      for (int32_t k = previous - 1; k >= index; --k)
        if (!add(k, previousReverse, itemPos))
          return false;
    }
    previous = index;
    previousReverse = reverse;
    if (end == s.size())
      return true;
    rangeEnd = s[end] == '-';
    pos = end + 1;
  }
}

// A key value of a settings section: a display name of the section's table,
// or an index of the older layout (0..6, 7 for the entry after 4R, then the
// entries after "Tracked tag").
uint8_t ReadKey(const platform::IniFile& ini, const char* section, const char* key, bool collocation)
{
  const auto table = SortKeyTable(collocation);
  const std::string value = ini.readString(section, key, "");
  for (const TSortKeyEntry& entry : table)
    if (value == entry.DisplayName)
      return entry.Code;
  const int legacy = ini.readInteger(section, key, -1);
  if (legacy < 0 || legacy > (collocation ? 7 : 9))
    return ctxNone;
  const int index = legacy <= 6 ? legacy + 1 : legacy == 7 ? 9 : legacy + 3;
  return table[size_t(index)].Code;
}

void WriteKey(platform::IniFile& ini, const char* section, const char* key, bool collocation, uint8_t code)
{
  const int32_t index = SortKeyIndex(collocation, code);
  ini.writeString(section, key, index < 0 ? "" : SortKeyTable(collocation)[size_t(index)].DisplayName);
}

void ReadRecord(const platform::IniFile& ini, bool collocation, TAdvancedSortColOptions& r)
{
  const char* section = collocation ? AdvancedCollocSection : AdvancedSortSection;
  r.First = ReadKey(ini, section, "First", collocation);
  r.FirstReverse = ini.readBool(section, "FirstReverse", false);
  r.Second = ReadKey(ini, section, "Second", collocation);
  r.SecondReverse = ini.readBool(section, "SecondReverse", false);
  r.Third = ReadKey(ini, section, "Third", collocation);
  r.ThirdReverse = ini.readBool(section, "ThirdReverse", false);
  r.Custom = ini.readBool(section, "Custom", false);
  r.CustomText = ini.readString(section, "CustomText", "");
  if (!collocation) {
    r.TagName = ini.readString(section, "TagName", "");
    return;
  }
  r.ShowFirst = ini.readInteger(section, "ShowFirst", 0);
  r.SpanCollocation = ini.readBool(section, "SpanCollocation", false);
  r.SpanNumber = ini.readInteger(section, "SpanNumber", 2);
  if (r.SpanNumber < 2 || r.SpanNumber > 5)
    r.SpanNumber = 2;
}

void WriteRecord(platform::IniFile& ini, bool collocation, const TAdvancedSortColOptions& r)
{
  const char* section = collocation ? AdvancedCollocSection : AdvancedSortSection;
  WriteKey(ini, section, "First", collocation, r.First);
  ini.writeBool(section, "FirstReverse", r.FirstReverse);
  WriteKey(ini, section, "Second", collocation, r.Second);
  ini.writeBool(section, "SecondReverse", r.SecondReverse);
  WriteKey(ini, section, "Third", collocation, r.Third);
  ini.writeBool(section, "ThirdReverse", r.ThirdReverse);
  ini.writeBool(section, "Custom", r.Custom);
  ini.writeString(section, "CustomText", r.CustomText);
  if (!collocation) {
    ini.writeString(section, "TagName", r.TagName);
    return;
  }
  ini.writeInteger(section, "ShowFirst", r.ShowFirst);
  ini.writeBool(section, "SpanCollocation", r.SpanCollocation);
  ini.writeInteger(section, "SpanNumber", r.SpanNumber);
}

TAdvancedSortViewMaker& ViewMaker()
{
  static TAdvancedSortViewMaker maker;
  return maker;
}

}  // namespace

std::span<const TSortKeyEntry> SortKeyTable(bool collocation)
{
  if (collocation)
    return CollocKeys;
  return SortKeys;
}

int32_t SortKeyIndex(bool collocation, uint8_t code)
{
  const auto table = SortKeyTable(collocation);
  for (size_t i = 0; i < table.size(); ++i)
    if (table[i].Code == code)
      return int32_t(i);
  return -1;
}

bool ParseCustomisedKeys(bool showMessages, bool sortMode, std::string_view text,
                         std::vector<TAdvancedSortColItem>& list, int32_t& errorPos)
{
  std::string message;
  if (ParseKeys(sortMode, text, list, errorPos, message))
    return true;
  if (showMessages && !message.empty())
    ShowError(message);
  return false;
}

void ReadAdvancedSortSettings(const platform::IniFile& ini)
{
  ReadRecord(ini, false, ConcordSettings.AdvancedSort);
  ReadRecord(ini, true, ConcordSettings.AdvancedColloc);
}

void WriteAdvancedSortSettings(platform::IniFile& ini)
{
  WriteRecord(ini, false, ConcordSettings.AdvancedSort);
  WriteRecord(ini, true, ConcordSettings.AdvancedColloc);
}

void InstallAdvancedSortSettings()
{
  RegisterConfigArea(csAdvancedSort, {ReadAdvancedSortSettings, WriteAdvancedSortSettings});
}

bool SameSortSpec(const TAdvancedSortColOptions& newSpec, const TAdvancedSortColOptions& current)
{
  if (newSpec.First != current.First || newSpec.Second != current.Second || newSpec.Third != current.Third ||
      newSpec.FirstReverse != current.FirstReverse || newSpec.SecondReverse != current.SecondReverse ||
      newSpec.ThirdReverse != current.ThirdReverse)
    return false;
  const uint8_t keys[3] = {newSpec.First, newSpec.Second, newSpec.Third};
  if (std::find(std::begin(keys), std::end(keys), ctxDefined) != std::end(keys))
    return false;
  if (std::find(std::begin(keys), std::end(keys), ctxTrackedTag) != std::end(keys) &&
      newSpec.TagName != current.TagName)
    return false;
  return newSpec.Custom == current.Custom && newSpec.CustomText == current.CustomText;
}

std::string SortKeyName(uint8_t code)
{
  static constexpr const char* Names[ContextsCount] = {
      "Search word", "4th left", "3th left", "2nd left", "1st left",  "1st right",  "2nd right",
      "3th right",   "4th right", "Original text order", "", "Defined", "Tracked tag",
  };
  return code < ContextsCount ? Names[code] : "";
}

// ---------------------------------------------------------------------------
// The dialog

TAdvancedSortColModel::TAdvancedSortColModel(bool collocation, const TAdvancedSortColOptions& record,
                                             std::vector<TAdvancedSortColItem>* list, TAdvancedSortColView* view)
  : Record(record), collocation_(collocation), list_(list), view_(view)
{
  static constexpr const char* SortBoxes[3] = {" First Sort ", " Second Sort ", " Third Sort "};
  static constexpr const char* CollocBoxes[3] = {"First Position", "Second Position", "Third Position"};
  Caption = collocation ? CollocCaption : SortCaption;
  SortPanelVisible = !collocation;
  CollocPanelVisible = collocation;
  CustomCheck.Caption = collocation ? "Customised Collocation:" : "Customised Sort:";
  SpanCheck.Caption = "Span:";
  const uint8_t keys[3] = {record.First, record.Second, record.Third};
  const bool reverse[3] = {record.FirstReverse, record.SecondReverse, record.ThirdReverse};
  for (int i = 0; i < 3; ++i) {
    Boxes[size_t(i)].Caption = collocation ? CollocBoxes[i] : SortBoxes[i];
    Reverse[size_t(i)].Caption = "Reverse";
    Reverse[size_t(i)].Visible = !collocation;
    SelectKey(i, SortKeyIndex(collocation, keys[i]));
    if (!collocation)
      Reverse[size_t(i)].Checked = reverse[i];
  }
  if (record.Custom)
    CustomCheckClick(true);
  CustomText = record.CustomText;
  if (!collocation) {
    for (const TWatchedTag& tag : WatchedTags)
      GridRows.push_back({tag.Name, tag.TagStart, tag.TagStop});
    for (size_t row = 0; row < GridRows.size() && GridRow < 0; ++row)
      if (GridRows[row][0] == record.TagName)
        GridRow = int32_t(row);
  } else {
    showFirstPosition_ = std::clamp(record.ShowFirst, int32_t(0), ShowFirstMax);
    ShowFirstText = std::to_string(showFirstPosition_);
    SpanCheckClick(record.SpanCollocation);
    const int32_t span = std::max(record.SpanNumber, int32_t(2));
    SpanIndex = span <= 5 ? span - 2 : -1;
  }
  UpdateBoxes();
}

uint8_t TAdvancedSortColModel::KeyOf(int position) const
{
  const int32_t index = KeyIndex[size_t(position)];
  return index < 0 ? uint8_t(ctxNone) : Keys()[size_t(index)].Code;
}

void TAdvancedSortColModel::SelectKey(int position, int32_t index)
{
  KeyIndex[size_t(position)] = index >= 0 && size_t(index) < Keys().size() ? index : -1;
  const uint8_t key = KeyOf(position);
  Reverse[size_t(position)].Enabled = key < ctxOrig || key > ctxTrackedTag;
}

void TAdvancedSortColModel::CustomCheckClick(bool checked)
{
  CustomCheck.Checked = checked;
  CustomEditEnabled = checked;
  if (collocation_ && checked && SpanCheck.Checked)
    SpanCheckClick(false);
  UpdateBoxes();
}

void TAdvancedSortColModel::SpanCheckClick(bool checked)
{
  SpanCheck.Checked = checked;
  SpanComboEnabled = checked;
  if (collocation_ && checked && CustomCheck.Checked)
    CustomCheckClick(false);
  UpdateBoxes();
}

void TAdvancedSortColModel::UpdateBoxes()
{
  // The three keys apply only while neither a list nor a span is chosen.
  for (TControlState& box : Boxes)
    box.Enabled = !CustomCheck.Checked && !SpanCheck.Checked;
}

TAdvancedSortOkOutcome TAdvancedSortColModel::Refuse(const std::string& message, std::string focus, bool beep)
{
  if (beep && view_)
    view_->Beep();
  ShowError(message);
  TAdvancedSortOkOutcome outcome;
  outcome.Focus = std::move(focus);
  return outcome;
}

TAdvancedSortOkOutcome TAdvancedSortColModel::OKBtnClick()
{
  const uint8_t keys[3] = {KeyOf(0), KeyOf(1), KeyOf(2)};
  // Every attempt starts a fresh list; only a successful OK hands it over.
  std::vector<TAdvancedSortColItem> chosen;
  if (CustomCheck.Checked) {
    const auto [from, to] = TrimmedBounds(CustomText, 0, CustomText.size());
    int32_t errorPos = 0;
    std::string message;
    if (!ParseKeys(!collocation_, std::string_view(CustomText).substr(from, to - from), chosen, errorPos, message)) {
      TAdvancedSortOkOutcome outcome;
      if (!message.empty())
        outcome = Refuse(message, {});
      outcome.Focus = "CustomEdit";
      outcome.Caret = int32_t(from) + errorPos;
      return outcome;
    }
  } else if (collocation_ && SpanCheck.Checked) {
    if (SpanIndex < 0 || SpanIndex > 3)
      return Refuse(SpanMissingText, "SpanCombo");
  } else {
    for (int p = 1; p < 3; ++p)
      if (keys[p] != ctxNone && (keys[p] == keys[0] || (p == 2 && keys[2] == keys[1])))
        return Refuse(collocation_ ? DuplicatedCollocText : DuplicatedSortText, KeyComboNames[p]);
    if (collocation_) {
      // Positions rise in table order; None (the last entry) is followed
      // only by None.
      for (int p = 1; p < 3; ++p)
        if (keys[p] != ctxNone && SortKeyIndex(true, keys[p]) <= SortKeyIndex(true, keys[p - 1]))
          return Refuse(InvalidOrderText, KeyComboNames[p]);
      for (uint8_t key : keys)
        if (key != ctxNone)
          chosen.push_back(TAdvancedSortColItem{key, false});
    }
  }
  if (!collocation_ && (GridRow < 0 || size_t(GridRow) >= GridRows.size())) {
    const bool wantsTag =
        std::find(std::begin(keys), std::end(keys), ctxTrackedTag) != std::end(keys) ||
        std::any_of(chosen.begin(), chosen.end(), [](const TAdvancedSortColItem& k) { return k.Key == ctxTrackedTag; });
    if (wantsTag)
      return Refuse(TagMissingText, {}, false);
  }

  Record.First = keys[0];
  Record.Second = keys[1];
  Record.Third = keys[2];
  Record.Custom = CustomCheck.Checked;
  Record.CustomText = CustomText;
  if (collocation_) {
    Record.ShowFirst = ClampEditToRange(ShowFirstText, showFirstPosition_, 0, ShowFirstMax);
    showFirstPosition_ = Record.ShowFirst;
    Record.SpanCollocation = SpanCheck.Checked;
    Record.SpanNumber = SpanIndex >= 0 ? SpanIndex + 2 : 2;
  } else {
    Record.FirstReverse = Reverse[0].Checked;
    Record.SecondReverse = Reverse[1].Checked;
    Record.ThirdReverse = Reverse[2].Checked;
    Record.TagName = GridRow >= 0 && size_t(GridRow) < GridRows.size() ? GridRows[size_t(GridRow)][0] : "";
  }
  if (list_)
    *list_ = std::move(chosen);
  ModalResult = mrOk;
  TAdvancedSortOkOutcome outcome;
  outcome.Close = true;
  return outcome;
}

bool ExecuteAdvancedSortDialog(bool collocation, TAdvancedSortColOptions& record,
                               std::vector<TAdvancedSortColItem>& list)
{
  if (!ViewMaker())
    return false;
  TAdvancedSortColModel model(collocation, record, &list);
  const std::unique_ptr<TAdvancedSortColView> view = ViewMaker()(model);
  if (!view)
    return false;
  model.SetView(view.get());
  if (view->ShowModal() != mrOk || model.ModalResult != mrOk)
    return false;
  record = model.Record;
  return true;
}

TAdvancedSortViewMaker SetAdvancedSortViewMaker(TAdvancedSortViewMaker maker)
{
  TAdvancedSortViewMaker old = std::move(ViewMaker());
  ViewMaker() = std::move(maker);
  return old;
}
