#include "forms/tag_settings.h"

#include "forms/code_page_text.h"
#include "foundation/chartables.h"
#include "foundation/dialogs.h"
#include "foundation/settings.h"
#include "foundation/tag_scan.h"
#include "foundation/utils.h"

#include <algorithm>

namespace {

TTagCfgModel* currentTagModel = nullptr;
TWordTagsCfgModel* currentWordTagModel = nullptr;

// The plain message box: the application's title, no icon, OK.
void PlainMessage(std::string_view text)
{
  ShowMessageBox(text, mtCustom, Btn(mbOK), -1, -1, 0, mbOK);
}

bool Blank(std::string_view text)
{
  return TrimBlanks(text).empty();
}

// A character read back: the trimmed text's first character, def when empty.
char ReadTagChar(const platform::IniFile& ini, const char* section, const char* key, char def)
{
  // A NUL cannot be written back (it is the "none" of the writers) and is no
  // character a text can be split at: it reads as missing.
  const std::string text = TrimBlanks(ini.readString(section, key, ""));
  return text.empty() || text[0] == '\0' ? def : text[0];
}

// A list count read back: 1 .. MaxIniListItems.
int ReadRowCount(const platform::IniFile& ini, const char* section, const char* key)
{
  return std::clamp(ini.readInteger(section, key, 1), 1, MaxIniListItems);
}

// Item i of a list read by position (empty values keep their place).
std::string ReadListItem(const platform::IniFile& ini, const char* section, const char* prefix, int count, int i)
{
  return TrimBlanks(ini.readString(section, IniListKey(prefix, count, i), ""));
}

// The duplicate test of both editors: the trimmed name in lower case against
// every other row's trimmed name.
template <typename Rows>
bool NameTaken(const Rows& rows, int editedRow, const std::string& name)
{
  const std::string wanted = LowerCaseText(TrimBlanks(name));
  for (size_t i = 0; i < rows.size(); ++i)
    if (static_cast<int>(i) != editedRow && LowerCaseText(TrimBlanks(rows[i][0])) == wanted)
      return true;
  return false;
}

// A meta tag's members as the grid and the settings file show them.
std::string JoinMembers(const std::vector<std::string>& tags)
{
  std::string text;
  for (const std::string& t : tags)
    text += (text.empty() ? "" : ", ") + t;
  return text;
}

template <typename Row>
bool RowEmpty(const Row& row)
{
  return std::all_of(row.begin(), row.end(), [](const std::string& s) { return s.empty(); });
}

}  // namespace

// ---------------------------------------------------------------------------
// The tracked-tag editor.

TEditWatchTagsModel::TEditWatchTagsModel(const std::vector<TTagRow>& rows, int editedRow)
    : rows_(rows), editedRow_(editedRow)
{
}

bool TEditWatchTagsModel::OkEnabled() const
{
  const std::string start = TrimBlanks(Start);
  if (start.empty())
    return false;
  if (Cocoa)
    return start.find(' ') == std::string::npos;
  return !Blank(Stop);
}

bool TEditWatchTagsModel::OKBtnClick()
{
  if (NameTaken(rows_, editedRow_, Name)) {
    PlainMessage(DuplicateText);
    return false;
  }
  // The name is a section name, which the settings file keeps trimmed.
  Name = TrimBlanks(Name);
  if (Cocoa)
    Stop.clear();
  return true;
}

// ---------------------------------------------------------------------------
// The meta-tag editor.

TEditMetaTagsModel::TEditMetaTagsModel(const std::vector<TMetaRow>& rows, int editedRow)
    : rows_(rows), editedRow_(editedRow)
{
}

bool TEditMetaTagsModel::OKBtnClick(bool& beep)
{
  beep = false;
  ActiveControl.clear();
  if (Blank(Name) || Blank(Contents)) {
    ActiveControl = Blank(Name) ? "NameEdit" : "ContentsEdit";
    beep = true;
    return false;
  }
  if (NameTaken(rows_, editedRow_, Name)) {
    PlainMessage(DuplicateText);
    return false;
  }
  Name = TrimBlanks(Name);
  Contents = TrimBlanks(Contents);
  return true;
}

// ---------------------------------------------------------------------------
// "Tag Settings".

TTagCfgModel::TTagCfgModel(TTagSettingsView* view) : view_(view), previous_(currentTagModel)
{
  currentTagModel = this;
  previousArea_ = RegisterConfigArea(csTagSettings, {[this](const platform::IniFile& ini) { ReadTagSettings(ini); },
                                                     [this](platform::IniFile& ini) { WriteTagSettings(ini); }});
  LoadTagDialog();
}

TTagCfgModel::~TTagCfgModel()
{
  RegisterConfigArea(csTagSettings, std::move(previousArea_));
  if (currentTagModel == this)
    currentTagModel = previous_;
}

TTagCfgModel* TagCfgModel()
{
  return currentTagModel;
}

void TTagCfgModel::LoadTagDialog()
{
  const ConcordConfig& c = ConcordSettings;
  OldTagStart = c.TagStart;
  OldTagStop = c.TagStop;
  TagStartEdit = c.TagStart ? std::string(1, c.TagStart) : std::string();
  TagStopEdit = c.TagStop ? std::string(1, c.TagStop) : std::string();
  PageDelimiterEdit = c.PageSeparator;
  DisplayLinesCB = c.ShowLines;
  PageNumbersCB = c.ShowPages;
  RelativeLinesCB = c.RelativeLines;
  Grid.clear();
  for (const TWatchedTag& t : WatchedTags)
    Grid.push_back({t.Name, t.TagStart, t.TagStop});
  if (Grid.empty())
    Grid.emplace_back();
  CurrentRow = 0;
}

void TTagCfgModel::WrapPageDelimiter()
{
  std::string text = TrimBlanks(PageDelimiterEdit);
  if (!text.empty()) {
    if (OldTagStart && text.front() != OldTagStart)
      text.insert(text.begin(), OldTagStart);
    if (OldTagStop && !EndsWithChar(text, OldTagStop))
      text.push_back(OldTagStop);
  }
  PageDelimiterEdit = text;
}

void TTagCfgModel::RewrapTagTexts()
{
  const char newStart = SingleByteCharOr(TagStartEdit, OldTagStart);
  const char newStop = SingleByteCharOr(TagStopEdit, OldTagStop);
  // One end of one text: the old character comes off when present, the new
  // one goes on unless onlyStrip.
  const auto rewrap = [](std::string& text, bool atFront, char oldChar, char newChar, bool onlyStrip) {
    if (text.empty())
      return;
    if (atFront) {
      if (oldChar && text.front() == oldChar)
        text.erase(0, 1);
      if (!onlyStrip && newChar)
        text.insert(text.begin(), newChar);
    } else {
      if (oldChar && EndsWithChar(text, oldChar))
        text.pop_back();
      if (!onlyStrip && newChar)
        text.push_back(newChar);
    }
  };
  for (const bool front : {true, false}) {
    const char oldChar = front ? OldTagStart : OldTagStop;
    const char newChar = front ? newStart : newStop;
    rewrap(PageDelimiterEdit, front, oldChar, newChar, false);
    for (TTagRow& row : Grid) {
      const bool cocoa = row[2].empty();
      rewrap(row[1], front, oldChar, newChar, cocoa);
      if (!cocoa)
        rewrap(row[2], front, oldChar, newChar, false);
    }
  }
}

bool TTagCfgModel::TagStartRefused() const
{
  return TagStartEdit == "#" || StartsWithDoubleByteChar(TagStartEdit);
}

bool TTagCfgModel::TagStartExit()
{
  if (TagStartRefused()) {
    PlainMessage(HashRefused);
    return false;
  }
  if (TagStartEdit.empty())
    return true;
  RewrapTagTexts();
  OldTagStart = TagStartEdit[0];
  return true;
}

void TTagCfgModel::TagStopExit()
{
  if (TagStopEdit.empty() || StartsWithDoubleByteChar(TagStopEdit))
    return;
  RewrapTagTexts();
  OldTagStop = TagStopEdit[0];
}

void TTagCfgModel::AddBtnClick()
{
  if (!view_)
    return;
  TEditWatchTagsModel editor(Grid, -1);
  if (!view_->RunWatchTagEditor(editor))
    return;
  if (!(Grid.size() == 1 && RowEmpty(Grid[0])))
    Grid.emplace_back();
  CurrentRow = static_cast<int>(Grid.size()) - 1;
  Grid[CurrentRow] = {editor.Name, editor.Start, editor.Stop};
  RewrapTagTexts();
  GridChanged = true;
}

void TTagCfgModel::EditBtnClick()
{
  if (!view_ || CurrentRow < 0 || CurrentRow >= static_cast<int>(Grid.size()))
    return;
  TTagRow& row = Grid[CurrentRow];
  TEditWatchTagsModel editor(Grid, CurrentRow);
  editor.Name = row[0];
  editor.Start = row[1];
  editor.Stop = row[2];
  editor.Cocoa = row[2].empty();
  if (!view_->RunWatchTagEditor(editor))
    return;
  const TTagRow edited{editor.Name, editor.Start, editor.Stop};
  if (edited != row)
    GridChanged = true;
  row = edited;
  RewrapTagTexts();
}

void TTagCfgModel::RemoveBtnClick()
{
  if (CurrentRow < 0 || CurrentRow >= static_cast<int>(Grid.size()))
    return;
  if (Grid.size() == 1 && RowEmpty(Grid[0]))
    return;
  if (!WarnYesNo("Remove \"" + Grid[CurrentRow][0] + "\"?", false))
    return;
  if (Grid.size() == 1) {
    Grid[0] = TTagRow{};
  } else {
    Grid.erase(Grid.begin() + CurrentRow);
    CurrentRow = std::min(CurrentRow, static_cast<int>(Grid.size()) - 1);
  }
  GridChanged = true;
}

void TTagCfgModel::BuildWatchedTags()
{
  WatchedTags.clear();
  for (const TTagRow& row : Grid)
    if (!row[0].empty() || !row[1].empty())
      WatchedTags.push_back(TWatchedTag::Make(row[0], row[1], row[2]));
}

bool TTagCfgModel::ExecuteTagSettings()
{
  GridChanged = false;
  LoadTagDialog();
  if (!view_ || !view_->ShowModal())
    return false;
  ConcordConfig& c = ConcordSettings;
  const char start = SingleByteCharOr(TagStartEdit, c.TagStart);
  const char stop = SingleByteCharOr(TagStopEdit, c.TagStop);
  const bool changed = GridChanged || start != c.TagStart || stop != c.TagStop;
  if (changed)
    BuildWatchedTags();
  c.TagStart = start;
  c.TagStop = stop;
  c.PageSeparator = PageDelimiterEdit;
  c.ShowLines = DisplayLinesCB;
  c.ShowPages = PageNumbersCB;
  c.RelativeLines = RelativeLinesCB;
  return changed;
}

void TTagCfgModel::ReadTagSettings(const platform::IniFile& ini)
{
  ConcordConfig& c = ConcordSettings;
  const char* s = TagSettingsSection;
  c.TagStart = ReadTagChar(ini, s, "TagStart", '<');
  c.TagStop = ReadTagChar(ini, s, "TagStop", '>');
  c.PageSeparator = TrimBlanks(ini.readString(s, "PageSeparator", ""));
  c.ShowLines = ini.readBool(s, "ShowLines", false);
  c.ShowPages = ini.readBool(s, "ShowPages", false);
  c.RelativeLines = ini.readBool(s, "RelativeLines", false);
  const int count = ReadRowCount(ini, s, "WatchedNamesCount");
  Grid.assign(static_cast<size_t>(count), TTagRow{});
  for (int i = 0; i < count; ++i) {
    TTagRow& row = Grid[static_cast<size_t>(i)];
    row[0] = ReadListItem(ini, s, "WatchedNames", count, i);
    const std::string section = WatchedSectionPrefix + row[0];
    row[1] = ini.readString(section, "TagStart", "");
    row[2] = ini.readString(section, "TagStop", "");
  }
  BuildWatchedTags();
  LoadTagDialog();
}

void TTagCfgModel::WriteTagSettings(platform::IniFile& ini)
{
  const ConcordConfig& c = ConcordSettings;
  const char* s = TagSettingsSection;
  ini.writeString(s, "TagStart", std::string(c.TagStart ? 1 : 0, c.TagStart));
  ini.writeString(s, "TagStop", std::string(c.TagStop ? 1 : 0, c.TagStop));
  ini.writeString(s, "PageSeparator", c.PageSeparator);
  ini.writeBool(s, "ShowLines", c.ShowLines);
  ini.writeBool(s, "ShowPages", c.ShowPages);
  ini.writeBool(s, "RelativeLines", c.RelativeLines);
  LoadTagDialog();
  std::vector<std::string> names;
  for (const TTagRow& row : Grid)
    names.push_back(row[0]);
  WriteIniList(ini, s, "WatchedNames", names);
  ini.writeInteger(s, "WatchedNamesCount", static_cast<int>(Grid.size()));
  for (const TTagRow& row : Grid) {
    const std::string section = WatchedSectionPrefix + row[0];
    ini.writeString(section, "TagStart", row[1]);
    ini.writeString(section, "TagStop", row[2]);
  }
}

// ---------------------------------------------------------------------------
// "Part of Speech Tags Settings".

TWordTagsCfgModel::TWordTagsCfgModel(TTagSettingsView* view) : view_(view), previous_(currentWordTagModel)
{
  currentWordTagModel = this;
  previousArea_ =
      RegisterConfigArea(csWordTagSettings, {[this](const platform::IniFile& ini) { ReadWordTagSettings(ini); },
                                             [this](platform::IniFile& ini) { WriteWordTagSettings(ini); }});
}

TWordTagsCfgModel::~TWordTagsCfgModel()
{
  RegisterConfigArea(csWordTagSettings, std::move(previousArea_));
  if (currentWordTagModel == this)
    currentWordTagModel = previous_;
}

TWordTagsCfgModel* WordTagsCfgModel()
{
  return currentWordTagModel;
}

void TWordTagsCfgModel::EmbededCBClick()
{
  if (EmbededCB)
    OutsideCB = false;
}

void TWordTagsCfgModel::OutsideCBClick()
{
  if (OutsideCB)
    EmbededCB = false;
}

std::vector<std::string> TWordTagsCfgModel::StartStrings() const
{
  std::vector<std::string> starts;
  for (const std::string& row : TagStartGrid)
    if (std::string t = TrimBlanks(row); !t.empty())
      starts.push_back(std::move(t));
  return starts;
}

bool TWordTagsCfgModel::OkBtnClick()
{
  ActiveControl.clear();
  if (OutsideCB && StartStrings().empty())
    ActiveControl = "TagStartGrid";
  // A blank delimiter would read back as "_", an empty one as nothing.
  else if (EmbededCB && (Blank(DelimiterEdit) || StartsWithDoubleByteChar(DelimiterEdit)))
    ActiveControl = "DelimiterEdit";
  if (ActiveControl.empty())
    return true;
  if (view_)
    view_->Beep();
  return false;
}

void TWordTagsCfgModel::AddBtnClick()
{
  if (!view_)
    return;
  TEditMetaTagsModel editor(MetaGrid, -1);
  if (!view_->RunMetaTagEditor(editor))
    return;
  if (!(MetaGrid.size() == 1 && RowEmpty(MetaGrid[0])))
    MetaGrid.emplace_back();
  CurrentMetaRow = static_cast<int>(MetaGrid.size()) - 1;
  MetaGrid[CurrentMetaRow] = {editor.Name, editor.Contents};
}

void TWordTagsCfgModel::EditBtnClick()
{
  if (!view_ || CurrentMetaRow < 0 || CurrentMetaRow >= static_cast<int>(MetaGrid.size()))
    return;
  TEditMetaTagsModel editor(MetaGrid, CurrentMetaRow);
  editor.Name = MetaGrid[CurrentMetaRow][0];
  editor.Contents = MetaGrid[CurrentMetaRow][1];
  if (view_->RunMetaTagEditor(editor))
    MetaGrid[CurrentMetaRow] = {editor.Name, editor.Contents};
}

void TWordTagsCfgModel::RemoveBtnClick()
{
  if (CurrentMetaRow < 0 || CurrentMetaRow >= static_cast<int>(MetaGrid.size()))
    return;
  if (MetaGrid.size() == 1 && MetaGrid[0][0].empty())
    return;
  if (!WarnYesNo("Remove \"" + MetaGrid[CurrentMetaRow][0] + "\" ?", false))
    return;
  if (MetaGrid.size() == 1) {
    MetaGrid[0] = TMetaRow{};
  } else {
    MetaGrid.erase(MetaGrid.begin() + CurrentMetaRow);
    CurrentMetaRow = std::min(CurrentMetaRow, static_cast<int>(MetaGrid.size()) - 1);
  }
}

void TWordTagsCfgModel::StoreMetaTags()
{
  std::vector<TMetaTag>& tags = ConcordSettings.MetaTags;
  tags.clear();
  for (const TMetaRow& row : MetaGrid) {
    const std::string name = TrimBlanks(row[0]);
    if (name.empty() || Blank(row[1]))
      continue;
    TMetaTag tag{name, {}};
    size_t from = 0;
    while (from <= row[1].size()) {
      size_t comma = row[1].find(',', from);
      if (comma == std::string::npos)
        comma = row[1].size();
      if (std::string item = TrimBlanks(std::string_view(row[1]).substr(from, comma - from)); !item.empty())
        tag.Tags.push_back(std::move(item));
      from = comma + 1;
    }
    tags.push_back(std::move(tag));
  }
}

bool TWordTagsCfgModel::TagSettingsDiffer() const
{
  const ConcordConfig& c = ConcordSettings;
  const uint8_t style = Style();
  if (style != c.WordTag)
    return true;
  if (style == 1)
    return !Blank(DelimiterEdit) && SingleByteCharOr(DelimiterEdit, c.wTagDelimiter) != c.wTagDelimiter;
  if (style == 2)
    return SingleByteCharOr(TagStopEdit, c.wTagStop) != c.wTagStop || StartStrings() != c.wTagStarts;
  return false;
}

void TWordTagsCfgModel::StoreSettings()
{
  ConcordConfig& c = ConcordSettings;
  c.WordTag = Style();
  if (!Blank(DelimiterEdit))
    c.wTagDelimiter = SingleByteCharOr(DelimiterEdit, c.wTagDelimiter);
  DelimiterRemoved = false;
  if (c.WordTag == 1 && c.wTagDelimiter && FindChars(c.NonWordChars, {&c.wTagDelimiter, 1}) != std::string::npos) {
    EraseChar(c.NonWordChars, c.wTagDelimiter);
    DelimiterRemoved = true;
    BuildCharTables();
  }
  c.wTagStop = SingleByteCharOr(TagStopEdit, c.wTagStop);
  c.wTagBefore = OutsideBeforeCB;
  c.wTagStarts = StartStrings();
}

bool TWordTagsCfgModel::EditWordTagSettings()
{
  DelimiterRemoved = false;
  // What a cancelled show left in the controls goes.
  LoadGeneralControls();
  MetaGrid.clear();
  for (const TMetaTag& tag : ConcordSettings.MetaTags)
    MetaGrid.push_back({tag.Name, JoinMembers(tag.Tags)});
  if (MetaGrid.empty())
    MetaGrid.emplace_back();
  CurrentMetaRow = 0;
  if (!view_ || !view_->ShowModal())
    return false;
  StoreMetaTags();
  const bool changed = TagSettingsDiffer();
  StoreSettings();
  return changed;
}

void TWordTagsCfgModel::ReadWordTagSettings(const platform::IniFile& ini)
{
  ConcordConfig& c = ConcordSettings;
  const char* s = WordTagSettingsSection;
  c.ClearWordTagLists();
  c.WordTag = static_cast<uint8_t>(ini.readInteger(s, "WordTag", 0));
  c.wTagDelimiter = ReadTagChar(ini, s, "wTagDelimiter", '_');
  c.wTagStop = ReadTagChar(ini, s, "wTagStop", '>');
  c.wTagBefore = ini.readBool(s, "wTagBefore", false);
  ReadIniList(ini, s, "wTagStarts", c.wTagStarts);
  const int count = ReadRowCount(ini, s, "MetaTagNamesCount");
  MetaGrid.assign(static_cast<size_t>(count), TMetaRow{});
  for (int i = 0; i < count; ++i) {
    MetaGrid[static_cast<size_t>(i)][0] = ReadListItem(ini, s, "MetaTagNames", count, i);
    MetaGrid[static_cast<size_t>(i)][1] = ReadListItem(ini, s, "MetaTagStrings", count, i);
  }
  StoreMetaTags();
  LoadGeneralControls();
}

void TWordTagsCfgModel::LoadGeneralControls()
{
  const ConcordConfig& c = ConcordSettings;
  DelimiterEdit = std::string(c.wTagDelimiter ? 1 : 0, c.wTagDelimiter);
  TagStopEdit = std::string(c.wTagStop ? 1 : 0, c.wTagStop);
  TagStartGrid = c.wTagStarts;
  TagStartGrid.resize(std::max<size_t>(TagStartGrid.size(), StartRows));
  EmbededCB = c.WordTag == 1;
  OutsideCB = c.WordTag == 2;
  OutsideBeforeCB = c.wTagBefore;
}

void TWordTagsCfgModel::WriteWordTagSettings(platform::IniFile& ini) const
{
  const ConcordConfig& c = ConcordSettings;
  const char* s = WordTagSettingsSection;
  ini.writeInteger(s, "WordTag", c.WordTag);
  ini.writeString(s, "wTagDelimiter", std::string(c.wTagDelimiter ? 1 : 0, c.wTagDelimiter));
  ini.writeString(s, "wTagStop", std::string(c.wTagStop ? 1 : 0, c.wTagStop));
  ini.writeBool(s, "wTagBefore", c.wTagBefore);
  WriteIniList(ini, s, "wTagStarts", c.wTagStarts);
  std::vector<std::string> names, members;
  for (const TMetaTag& tag : c.MetaTags) {
    names.push_back(tag.Name);
    members.push_back(JoinMembers(tag.Tags));
  }
  WriteIniList(ini, s, "MetaTagNames", names);
  WriteIniList(ini, s, "MetaTagStrings", members);
}
