#include "forms/headings.h"

#include "forms/code_page_text.h"
#include "foundation/config_file.h"
#include "foundation/dialogs.h"
#include "foundation/utils.h"
#include "search/search_driver.h"

#include <algorithm>
#include <utility>

namespace {

THeadingsModel* currentList = nullptr;
TConfigArea previousArea;
THeadingEditor headingEditor;

std::string SectionOf(const std::string& name)
{
  return HeadingSectionPrefix + TrimBlanks(name);
}

}  // namespace

int32_t IndexOfName(const std::string& name, const std::vector<std::string>& names)
{
  const std::string wanted = LowerCaseText(name);
  for (size_t i = 0; i < names.size(); ++i)
    if (LowerCaseText(names[i]) == wanted)
      return int32_t(i);
  return -1;
}

// ---------------------------------------------------------------------------
// The editor.

THeadingEdit::THeadingEdit(bool isNew, int32_t index, std::vector<std::string> names)
    : Caption(isNew ? NewCaption : EditCaption), index_(index), names_(std::move(names)), isNew_(isNew)
{
}

void THeadingEdit::Fill(const std::string& name, const THeadRecord& record)
{
  HeadNameEdit = name;
  HeadStartEdit = CharPrefix(record.HeadStart, MaxMarkerLength);
  HeadStopEdit = CharPrefix(record.HeadStop, MaxMarkerLength);
  TextStartEdit = CharPrefix(record.TextStart, MaxMarkerLength);
  TextStopEdit = CharPrefix(record.TextStop, MaxMarkerLength);
  EditChange();
}

void THeadingEdit::EditChange()
{
  OKBtnEnabled = true;
  for (const std::string* text : {&HeadNameEdit, &HeadStartEdit, &HeadStopEdit, &TextStartEdit, &TextStopEdit})
    if (TrimBlanks(*text).empty())
      OKBtnEnabled = false;
}

bool THeadingEdit::OKBtnClick()
{
  ActiveControl = "HeadNameEdit";
  const std::string name = TrimBlanks(HeadNameEdit);
  // Names compare trimmed: the settings file keeps them so, and two names
  // equal after trimming would share one section.
  std::vector<std::string> trimmed;
  trimmed.reserve(names_.size());
  for (const std::string& n : names_)
    trimmed.push_back(TrimBlanks(n));
  bool conflict = false;
  const std::string wanted = LowerCaseText(name);
  for (size_t i = 0; i < trimmed.size() && !conflict; ++i)
    conflict = LowerCaseText(trimmed[i]) == wanted && (isNew_ || int32_t(i) != index_);
  if (conflict) {
    ShowWarning("Heading with name \"" + name + "\" already exists.");
    return false;
  }
  // The scan refuses a marker without text ("#" alone only stands for the
  // blank or line end after a marker). The settings file keeps a marker
  // without its outer blanks, so that is the form checked.
  struct Marker {
    const std::string& Text;
    const char* Field;
    const char* Control;
  };
  for (const Marker& m : {Marker{HeadStartEdit, "Header Start", "HeadStartEdit"},
                          Marker{HeadStopEdit, "Header Stop", "HeadStopEdit"},
                          Marker{TextStartEdit, "Text Start", "TextStartEdit"},
                          Marker{TextStopEdit, "Text Stop", "TextStopEdit"}}) {
    if (NormalisedHeadingMarker(TrimBlanks(m.Text), true).Text.empty()) {
      std::string message = EmptyMarkerText;
      message.replace(message.find("%s"), 2, m.Field);
      ShowWarning(message);
      ActiveControl = m.Control;
      return false;
    }
  }
  return true;
}

void SetHeadingEditor(THeadingEditor editor)
{
  headingEditor = std::move(editor);
}

bool EditHeading(bool isNew, int32_t index, const std::vector<std::string>& names, std::string& name,
                 std::string& headStart, std::string& headStop, std::string& textStart, std::string& textStop)
{
  if (!headingEditor)
    return false;
  THeadingEdit editor(isNew, isNew ? -1 : index, names);
  if (!isNew)
    editor.Fill(name, THeadRecord{headStart, headStop, textStart, textStop});
  if (!headingEditor(editor))
    return false;
  name = editor.HeadNameEdit;
  headStart = editor.HeadStartEdit;
  headStop = editor.HeadStopEdit;
  textStart = editor.TextStartEdit;
  textStop = editor.TextStopEdit;
  return true;
}

// ---------------------------------------------------------------------------
// The list.

THeadingsModel::THeadingsModel() : previous_(currentList)
{
  currentList = this;
  TConfigArea old = RegisterConfigArea(
      csHeadings, {[](const platform::IniFile& ini) {
                     if (currentList)
                       currentList->ReadHeadings(ini);
                   },
                   [](platform::IniFile& ini) {
                     if (currentList)
                       currentList->WriteHeadings(ini);
                   }});
  if (!previous_)
    previousArea = std::move(old);
}

THeadingsModel::~THeadingsModel()
{
  if (currentList == this)
    currentList = previous_;
  if (!currentList)
    RegisterConfigArea(csHeadings, std::move(previousArea));
}

std::vector<std::string> THeadingsModel::Names() const
{
  std::vector<std::string> names;
  names.reserve(headings_.size());
  for (const THeading& h : headings_)
    names.push_back(h.Name);
  return names;
}

bool THeadingsModel::GetHeading(const std::string& name, std::string& headStart, std::string& headStop,
                                std::string& textStart, std::string& textStop) const
{
  const int32_t i = IndexOfName(name, Names());
  if (i < 0)
    return false;
  const THeadRecord& r = headings_[size_t(i)].Record;
  headStart = r.HeadStart;
  headStop = r.HeadStop;
  textStart = r.TextStart;
  textStop = r.TextStop;
  return true;
}

void THeadingsModel::FormShow()
{
  UpdateButtons();
  ActiveControl = "HeadingsList";
}

void THeadingsModel::AddBtnClick()
{
  THeading h;
  if (!EditHeading(true, -1, Names(), h.Name, h.Record.HeadStart, h.Record.HeadStop, h.Record.TextStart,
                   h.Record.TextStop))
    return;
  headings_.push_back(std::move(h));
  UpdateButtons();
}

void THeadingsModel::EditBtnClick()
{
  if (ItemIndex < 0 || size_t(ItemIndex) >= headings_.size())
    return;
  THeading h;
  h.Name = headings_[size_t(ItemIndex)].Name;
  GetHeading(h.Name, h.Record.HeadStart, h.Record.HeadStop, h.Record.TextStart, h.Record.TextStop);
  if (!EditHeading(false, ItemIndex, Names(), h.Name, h.Record.HeadStart, h.Record.HeadStop, h.Record.TextStart,
                   h.Record.TextStop))
    return;
  // The edited heading moves to the end of the list.
  headings_.erase(headings_.begin() + ItemIndex);
  headings_.push_back(std::move(h));
  ItemIndex = -1;
  UpdateButtons();
}

void THeadingsModel::RemoveBtnClick()
{
  if (ItemIndex < 0 || size_t(ItemIndex) >= headings_.size())
    return;
  if (!WarnYesNo("Remove \"" + headings_[size_t(ItemIndex)].Name + "\"?", true))
    return;
  headings_.erase(headings_.begin() + ItemIndex);
  ItemIndex = headings_.empty() ? -1 : std::min<int32_t>(ItemIndex, int32_t(headings_.size()) - 1);
  UpdateButtons();
}

void THeadingsModel::ReadHeadings(const platform::IniFile& ini)
{
  headings_.clear();
  ItemIndex = -1;
  std::vector<std::string> names;
  ReadIniList(ini, HeadingsSection, "Names", names);
  std::vector<std::string> kept;
  for (const std::string& name : names) {
    // A second name equal without case would read the same section.
    if (IndexOfName(name, kept) >= 0)
      continue;
    const std::string section = SectionOf(name);
    THeading h{name,
               {ini.readString(section, "HeadStart", ""), ini.readString(section, "HeadStop", ""),
                ini.readString(section, "TextStart", ""), ini.readString(section, "TextStop", "")}};
    kept.push_back(name);
    const THeadRecord& r = h.Record;
    if (r.HeadStart.empty() || r.HeadStop.empty() || r.TextStart.empty() || r.TextStop.empty())
      continue;
    headings_.push_back(std::move(h));
  }
  UpdateButtons();
}

void THeadingsModel::WriteHeadings(platform::IniFile& ini) const
{
  std::vector<std::string> names;
  names.reserve(headings_.size());
  for (const THeading& h : headings_)
    names.push_back(TrimBlanks(h.Name));
  WriteIniList(ini, HeadingsSection, "Names", names);
  for (const THeading& h : headings_) {
    const std::string section = SectionOf(h.Name);
    ini.writeString(section, "HeadStart", h.Record.HeadStart);
    ini.writeString(section, "HeadStop", h.Record.HeadStop);
    ini.writeString(section, "TextStart", h.Record.TextStart);
    ini.writeString(section, "TextStop", h.Record.TextStop);
  }
}

void THeadingsModel::UpdateButtons()
{
  EditBtnEnabled = RemoveBtnEnabled = !headings_.empty();
}

THeadingsModel* HeadingsModel()
{
  return currentList;
}

bool GetHeading(const std::string& name, std::string& headStart, std::string& headStop, std::string& textStart,
                std::string& textStop)
{
  return currentList && currentList->GetHeading(name, headStart, headStop, textStart, textStop);
}
