#include "forms/search_dialog_model.h"

#include "forms/code_page_text.h"

#include "foundation/chartables.h"
#include "foundation/config_file.h"
#include "foundation/dialogs.h"
#include "foundation/settings.h"
#include "foundation/utils.h"
#include "platform/read_file.h"
#include "search/regexp/regexp.h"
#include "search/search_defaults.h"

#include <algorithm>
#include <stdexcept>

bool ConcordanceActive = false;
bool AppendSearch = false;
bool BatchSearch = false;
bool SaveSearchToFile = false;
TBatchOutputOptions BatchOutputOptions;

namespace {

TSearchTemplateModel* currentModel = nullptr;

// A setting's character as text: nothing for character 0, so that no NUL
// reaches a label or a message.
std::string CharText(char c)
{
  return c ? std::string(1, c) : std::string();
}

// The single-byte characters of `set`, in its order and each once, that
// stand in `pattern` as characters of their own. With `exempt` the first
// occurrence of `separator` in the set is not tested. A double-byte
// character is a letter: it is never one of these, and its trail byte never
// matches one.
std::string CollectChars(std::string_view set, std::string_view pattern, bool exempt, char separator)
{
  std::string found;
  bool exempted = false;
  for (size_t i = 0, n = 0; i < set.size(); i += n) {
    n = CharBytes(set, i);
    const char c = set[i];
    if (n > 1)
      continue;
    if (exempt && !exempted && c == separator) {
      exempted = true;
      continue;
    }
    if (c == 0 || found.find(c) != std::string::npos)
      continue;
    if (FindChars(pattern, set.substr(i, 1)) != std::string_view::npos)
      found += c;
  }
  return found;
}

// Sets the control with the focus on another form: directly when that form
// is active, else by showing it modally with that control active.
void FocusOnForm(TPatternBoxForm& form, const std::string& name)
{
  form.SetActiveControl(name);
  if (!form.IsActiveForm())
    form.ShowModal();
}

}  // namespace

// ---------------------------------------------------------------------------
// Batch pieces and the patterns file.

std::vector<TBatchPattern> BuildBatchPatterns(TSearchMode syntax, std::vector<std::string>& list)
{
  std::vector<TBatchPattern> pieces;
  int32_t offset = 0;
  for (std::string& line : list) {
    line = TrimBlanks(line);
    const size_t n = line.size();
    if (n > 0 && syntax == TSearchMode::Regex) {
      pieces.push_back({line, offset});
    } else {
      size_t pos = 0;
      while (pos < n) {
        size_t comma = line.find(',', pos);
        if (comma == std::string::npos)
          comma = n;
        if (comma > pos)
          pieces.push_back({line.substr(pos, comma - pos), offset + int32_t(pos)});
        pos = comma;
        while (pos < n && (line[pos] == ' ' || line[pos] == ','))
          ++pos;
      }
    }
    offset += int32_t(n) + 2;
  }
  return pieces;
}

std::vector<std::string> LoadPatternsFile(const std::string& fileName)
{
  // Only a regular file: a FIFO or a device is refused at once.
  std::string data;
  if (platform::readRegularFile(fileName, data) != 0)
    throw std::runtime_error("Unable to open file: " + fileName + ".");
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < data.size()) {
    size_t end = data.find_first_of("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(data.substr(start));
      break;
    }
    lines.push_back(data.substr(start, end - start));
    start = end + 1;
    if (data[end] == '\r' && start < data.size() && data[start] == '\n')
      ++start;
  }
  return lines;
}

// ---------------------------------------------------------------------------
// Controls and services.

void TPatternBox::AddToHistory()
{
  ItemIndex = ::AddToHistory(Items, Text);
}

void TPatternBox::ForgetText()
{
  const auto it = std::find(Items.begin(), Items.end(), Text);
  if (it == Items.end())
    return;
  Items.erase(it);
  ItemIndex = -1;
}

int TSearchDialogServices::ExecuteSearchParameters(bool enableContext)
{
  (void)enableContext;
  return mrCancel;
}

bool TSearchDialogServices::EditBatchOutputOptions(TBatchOutputOptions& options)
{
  (void)options;
  return false;
}

bool TSearchDialogServices::EditPatterns(std::vector<std::string>& list, int32_t selStart, int32_t selLength)
{
  (void)list;
  (void)selStart;
  (void)selLength;
  return false;
}

void TSearchDialogServices::ShowException(const std::exception& error)
{
  ShowError(error.what());
}

// ---------------------------------------------------------------------------
// The model.

TSearchTemplateModel::TSearchTemplateModel(TSearchDialogServices& services, TSearchDialogView* view)
  : services_(services), view_(view)
{
  SearchString.Name = "SearchString";
  PatternLabel.Caption = PatternPrompt;
  EditPatternsBtn.Caption = "Edit &Patterns...";
  ImportPatternsBtn.Caption = "I&mport Patterns...";
  BatchOptionsBtn.Caption = "Ba&tch Options...";
  PatternRadio.Caption = "Te&xt Search";
  GrepRadio.Caption = "&Regular Expression";
  TagRadio.Caption = "Ta&g Search";
  PatternRadio.Checked = true;
  IgnoreCaseCheckBox.Caption = "&Ignore case of letters";
  PaddingCheck.Caption = "&Use skipping and equal characters";
  SentCheck.Caption = "Sente&nce mode";
  HdCtxCheck.Caption = "&Headings/Contexts";
  HdCtxBtn.Caption = "&Edit...";
  AppendSearchCheck.Caption = "&Append search";
  BatchSearchCheck.Caption = "&Batch search";
  SaveToFileCheck.Caption = "&Save to file";
  SaveOptionsBtn.Caption = "Sa&ve Options...";
  OptionsBtn.Caption = "&Options...";
  AdvancedBtn.Caption = AdvancedBtnCaption;
  OKBtn.Caption = "OK";
  CancelBtn.Caption = "Cancel";
  CurrentPatterns = &Patterns;
  UpdateBatchLayout();
  HdCtxCheckClick(false);
  UpdateServiceControls();
  UpdateAppendEnabled();
  UpdateExamples();

  previous_ = currentModel;
  currentModel = this;
  InstallInterimSettingsReaders();
  previousArea_ = RegisterConfigArea(csSearchDialog, {ReadSearchDialogSettings, WriteSearchDialogSettings});
}

TSearchTemplateModel::~TSearchTemplateModel()
{
  RegisterConfigArea(csSearchDialog, std::move(previousArea_));
  if (currentModel == this)
    currentModel = previous_;
}

bool TSearchTemplateModel::Execute(TSearchRec& request, bool advanced)
{
  SetLayout(advanced);
  SetBatchSearchCheck(false);
  UpdateBatchLayout();
  if (!SearchString.Items.empty())
    SearchString.Text = SearchString.Items[0];
  UpdateAppendEnabled();
  UpdateExamples();
  SelectSyntaxHistory();
  FormShow();
  ModalResult = mrNone;
  if (!view_ || view_->ShowModal() != mrOk || ModalResult != mrOk)
    return false;
  FillSearchRec(request);
  return true;
}

void TSearchTemplateModel::SetLayout(bool advanced)
{
  Advanced = advanced;
  Caption = advanced ? AdvancedCaption : SimpleCaption;
  AdvancedBtn.Visible = !advanced;
  if (!advanced)
    AdvancedBtn.Caption = AdvancedBtnCaption;
  AdvancedPanel.Visible = advanced;
}

void TSearchTemplateModel::FormShow()
{
  CurrentHistory = nullptr;
  IgnoreCaseCheckBox.Checked = ConcordSettings.IgnoreCase && !FarEastLanguage;
  IgnoreCaseCheckBox.Enabled = !FarEastLanguage;
  PaddingCheck.Checked = ConcordSettings.UseSkipEqualChars;
  if (!Advanced)
    ResetSyntax();
  else if (ConcordSettings.TagSearch)
    SetRadio(TSearchMode::Tag);
  else if (ConcordSettings.RegularExpressions)
    SetRadio(TSearchMode::Regex);
  else
    SetRadio(TSearchMode::Text);
  SetSentCheck(ConcordSettings.SentenceMode);
  UpdateExamples();
  AppendSearchCheck.Checked = false;
  FocusFirstControl();
  UpdateServiceControls();
  SetHdCtxCheck(false);
  SelectSyntaxHistory();
}

void TSearchTemplateModel::SelectSyntaxHistory()
{
  if (CurrentHistory)
    *CurrentHistory = SearchString.Items;
  switch (GetSearchSyntax()) {
  case TSearchMode::Regex:
    CurrentHistory = &GrepHistory;
    CurrentPatterns = &GrepPatterns;
    break;
  case TSearchMode::Tag:
    CurrentHistory = &TagHistory;
    CurrentPatterns = &TagsPatterns;
    break;
  default:
    CurrentHistory = &TextHistory;
    CurrentPatterns = &Patterns;
    break;
  }
  SearchString.Items = *CurrentHistory;
  if (SearchString.Items.empty()) {
    SearchString.ItemIndex = -1;
    SearchString.Text.clear();
  } else {
    SearchString.ItemIndex = 0;
    SearchString.Text = SearchString.Items[0];
  }
}

void TSearchTemplateModel::UpdateExamples()
{
  const ConcordConfig& c = ConcordSettings;
  switch (GetSearchSyntax()) {
  case TSearchMode::Regex:
    Examples.Caption = "e.g. \"colou?r\", \"\\ba\\W\\w+\\Wof\\b\", \"(\\b[A-Z]\\w*\\W){2}\"";
    break;
  case TSearchMode::Tag: {
    const std::string s = CharText(c.TagSearchSeparator);
    Examples.Caption = "e.g. \"computer" + s + " " + s + "NNS\", \"run" + s + "VBN " + s + "N\"";
    break;
  }
  default:
    Examples.Caption = "e.g. \"colo" + CharText(c.WildCard0or1) + "r\", \"a " + CharText(c.WildCard0orMore) +
                       " of\", \"thr" + CharText(c.WildCardExactly1) + "w\", or \"made " +
                       CharText(c.WildCardMatchWords) + " mind\"";
    break;
  }
}

void TSearchTemplateModel::UpdateBatchLayout()
{
  BatchSearch = BatchSearchCheck.Checked;
  if (BatchSearch) {
    PatternLabel.Caption = BatchPrompt;
    SearchString.Visible = false;
    EditPatternsBtn.Visible = ImportPatternsBtn.Visible = BatchOptionsBtn.Visible = true;
    BatchOptionsBtn.Enabled = false;
    SaveToFileCheck.Enabled = true;
  } else {
    PatternLabel.Caption = PatternPrompt;
    SearchString.Visible = true;
    EditPatternsBtn.Visible = ImportPatternsBtn.Visible = BatchOptionsBtn.Visible = false;
    SetSaveToFileCheck(false);
    SaveToFileCheck.Enabled = false;
    SaveSearchToFile = false;
  }
}

void TSearchTemplateModel::ResetSyntax()
{
  SetRadio(TSearchMode::Text);
}

TSearchMode TSearchTemplateModel::GetSearchSyntax() const
{
  if (GrepRadio.Checked)
    return TSearchMode::Regex;
  if (TagRadio.Checked)
    return TSearchMode::Tag;
  return TSearchMode::Text;
}

// --- handlers ---

void TSearchTemplateModel::SyntaxRadioClick(TSearchMode syntax)
{
  PatternRadio.Checked = syntax == TSearchMode::Text;
  GrepRadio.Checked = syntax == TSearchMode::Regex;
  TagRadio.Checked = syntax == TSearchMode::Tag;
  UpdateExamples();
  SelectSyntaxHistory();
}

void TSearchTemplateModel::SentCheckClick(bool checked)
{
  SentCheck.Checked = checked;
  UpdateExamples();
  SelectSyntaxHistory();
}

void TSearchTemplateModel::BatchSearchCheckClick(bool checked)
{
  BatchSearchCheck.Checked = checked;
  UpdateBatchLayout();
}

void TSearchTemplateModel::SaveToFileCheckClick(bool checked)
{
  SaveToFileCheck.Checked = checked;
  SaveSearchToFile = checked;
  BatchOptionsBtn.Enabled = checked && services_.HasBatchOptions();
  SaveOptionsBtn.Enabled = checked && services_.HasOutputOptions();
  UpdateAppendEnabled();
}

void TSearchTemplateModel::HdCtxCheckClick(bool checked)
{
  HdCtxCheck.Checked = checked;
  HdCtxBtn.Enabled = checked && services_.Restrictions() != nullptr;
}

void TSearchTemplateModel::AdvancedBtnClick()
{
  if (Advanced) {
    Advanced = false;
    Caption = SimpleCaption;
    AdvancedPanel.Visible = false;
    AdvancedBtn.Caption = AdvancedBtnCaption;
    ResetSyntax();
  } else {
    Advanced = true;
    Caption = AdvancedCaption;
    AdvancedPanel.Visible = true;
    AdvancedBtn.Caption = SimpleBtnCaption;
  }
  FocusFirstControl();
}

void TSearchTemplateModel::OptionsBtnClick()
{
  if (!services_.HasSearchParameters())
    return;
  services_.ExecuteSearchParameters(!SaveToFileCheck.Checked);
  UpdateExamples();
}

void TSearchTemplateModel::HdCtxBtnClick()
{
  if (THdCtxRestrictions* r = services_.Restrictions())
    r->ShowModal();
}

void TSearchTemplateModel::BatchOptionsBtnClick()
{
  if (services_.HasBatchOptions())
    services_.ShowBatchOptions();
}

void TSearchTemplateModel::SaveOptionsBtnClick()
{
  if (services_.HasOutputOptions())
    services_.EditBatchOutputOptions(BatchOutputOptions);
}

void TSearchTemplateModel::EditPatternsBtnClick()
{
  if (services_.HasPatternsEditor())
    services_.EditPatterns(*CurrentPatterns, 0, 0);
}

void TSearchTemplateModel::ImportPatternsBtnClick()
{
  std::string fileName;
  if (!services_.ChoosePatternsFile(fileName))
    return;
  std::vector<std::string> backup = *CurrentPatterns;
  try {
    *CurrentPatterns = LoadPatternsFile(fileName);
  } catch (const std::exception& error) {
    *CurrentPatterns = std::move(backup);
    services_.ShowException(error);
  }
}

void TSearchTemplateModel::SearchStringExit()
{
  SearchString.AddToHistory();
}

TSearchOkOutcome TSearchTemplateModel::OKBtnClick()
{
  TSearchOkOutcome outcome;
  outcome_ = &outcome;
  struct Reset {
    TSearchOkOutcome*& p;
    ~Reset() { p = nullptr; }
  } reset{outcome_};

  const TSearchMode syntax = GetSearchSyntax();
  if (syntax == TSearchMode::Tag && ConcordSettings.WordTag == 0) {
    ShowError(TagSearchRefused);
    return outcome;
  }
  if (ConcordanceActive || SaveSearchToFile)
    AppendSearch = AppendSearchCheck.Checked;
  const char gap = ConcordSettings.WildCardMatchWords;
  StoreSearchSwitches();

  if (!BatchSearchCheck.Checked) {
    if (!CheckPatternBox("search term", false, SearchString))
      return outcome;
    if (syntax != TSearchMode::Regex && gap != 0 &&
        FindChars(SearchString.Text, std::string(2, gap)) != std::string::npos) {
      ShowError("You cannot specify " + std::string(2, gap) + " in the search term");
      SearchString.ForgetText();
      FocusPatternBox(SearchString);
      return outcome;
    }
  } else if (!CheckBatchPieces(syntax, gap, outcome)) {
    return outcome;
  }
  if (HdCtxCheck.Checked && !CheckRestrictions())
    return outcome;
  ModalResult = mrOk;
  outcome.Close = true;
  return outcome;
}

void TSearchTemplateModel::CancelBtnClick()
{
  ModalResult = mrCancel;
}

// --- OK's helpers ---

void TSearchTemplateModel::StoreSearchSwitches()
{
  ConcordConfig& c = ConcordSettings;
  c.IgnoreCase = IgnoreCaseCheckBox.Checked;
  c.UseSkipEqualChars = PaddingCheck.Checked;
  c.RegularExpressions = GrepRadio.Checked;
  c.TagSearch = TagRadio.Checked;
  c.SentenceMode = SentCheck.Checked;
  BuildFoldTable();
}

bool TSearchTemplateModel::CheckPatternBox(const std::string& name, bool emptyAllowed, TPatternBox& box)
{
  box.AddToHistory();
  if (box.Text.empty()) {
    if (emptyAllowed)
      return true;
    FocusPatternBox(box);
    return false;
  }
  SkippingWarning = false;
  std::string message;
  if (!ValidatePattern(box.Text, name, message)) {
    ShowError(message);
    box.ForgetText();
    FocusPatternBox(box);
    return false;
  }
  if (SkippingWarning && !WarnYesNo(message, true)) {
    box.ForgetText();
    FocusPatternBox(box);
    return false;
  }
  return true;
}

void TSearchTemplateModel::FocusPatternBox(TPatternBox& box)
{
  if (box.Form) {
    FocusOnForm(*box.Form, box.Name);
    return;
  }
  ActiveControl = box.Name;
  if (outcome_)
    outcome_->Focus = box.Name;
}

bool TSearchTemplateModel::ValidatePattern(const std::string& pattern, const std::string& name,
                                           std::string& message)
{
  const TSearchMode syntax = GetSearchSyntax();
  if (syntax == TSearchMode::Regex) {
    try {
      TRegExp expression(pattern);
    } catch (const ERegExp& error) {
      message = error.what();
      return false;
    }
    return true;
  }
  const ConcordConfig& c = ConcordSettings;
  const bool tag = syntax == TSearchMode::Tag;
  const std::string invalid = CollectChars(c.NonWordChars, pattern, tag, c.TagSearchSeparator);
  if (!invalid.empty()) {
    message = "The following characters in the " + name + " are invalid:\r\n" + invalid;
    return false;
  }
  const char gap = c.WildCardMatchWords;
  if (gap != 0 && !pattern.empty() && (pattern.front() == gap || EndsWithChar(pattern, gap))) {
    message = "You cannot begin or end a " + name + " with " + std::string(1, gap);
    return false;
  }
  if (PaddingCheck.Checked) {
    const std::string skipping = CollectChars(c.SkippingChars, pattern, tag, c.TagSearchSeparator);
    if (!skipping.empty()) {
      SkippingWarning = true;
      message = "There are skipping characters in the " + name + ":\r\n" + skipping + "\r\nContinue anyway?";
    }
  }
  return true;
}

void TSearchTemplateModel::FillSearchRec(TSearchRec& request)
{
  const TSearchMode syntax = GetSearchSyntax();
  request.DisplayPatterns.clear();
  request.Patterns.clear();
  if (BatchSearchCheck.Checked) {
    for (const TBatchPattern& piece : BuildBatchPatterns(syntax, *CurrentPatterns)) {
      request.DisplayPatterns.push_back(piece.Text);
      request.Patterns.push_back(piece.Text);
    }
  } else {
    request.DisplayPatterns.push_back(SearchString.Text);
    request.Patterns.push_back(SearchString.Text);
  }
  THdCtxRestrictions* r = services_.Restrictions();
  if (HdCtxCheck.Checked && r) {
    if (r->HeadingChecked()) {
      request.Options |= soHeading;
      r->GetHeading(r->HeadingName(), request.HeadStart, request.HeadStop, request.TextStart, request.TextStop);
      request.HeadingPattern = r->HeadingPattern().Text;
    }
    if (r->ContextChecked()) {
      request.Options |= soContext;
      request.LeftContext = r->LeftPattern().Text;
      request.RightContext = r->RightPattern().Text;
    }
  }
  request.Mode = syntax;
  if (SentCheck.Checked)
    request.Options |= soSentence;
  if (!IgnoreCaseCheckBox.Checked)
    request.Options |= soCaseSensitive;
  if (PaddingCheck.Checked) {
    request.Options |= soSkipEqual;
    request.SkipChars = ConcordSettings.SkippingChars;
  }
}

// --- settings ---

void TSearchTemplateModel::ReadSettings(const platform::IniFile& ini)
{
  ConcordConfig& c = ConcordSettings;
  c.IgnoreCase = ini.readBool(ConcordanceConfigSection, "IgnoreCase", true);
  c.UseSkipEqualChars = ini.readBool(ConcordanceConfigSection, "UseSkipEqualChars", false);
  c.RegularExpressions = ini.readBool(ConcordanceConfigSection, "RegularExpressions", false);
  c.TagSearch = ini.readBool(ConcordanceConfigSection, "TagSearch", false);
  c.SentenceMode = ini.readBool(ConcordanceConfigSection, "SentenceMode", false);
  ReadIniList(ini, SearchHistorySection, "Search", TextHistory);
  ReadIniList(ini, SearchHistorySection, "Grep", GrepHistory);
  ReadIniList(ini, SearchHistorySection, "Tag", TagHistory);
  // The combo shows the history just read; its old items must not flow back
  // into it at the next opening.
  CurrentHistory = nullptr;
  SelectSyntaxHistory();
}

void TSearchTemplateModel::WriteSettings(platform::IniFile& ini)
{
  SelectSyntaxHistory();
  const ConcordConfig& c = ConcordSettings;
  ini.writeBool(ConcordanceConfigSection, "IgnoreCase", c.IgnoreCase);
  ini.writeBool(ConcordanceConfigSection, "UseSkipEqualChars", c.UseSkipEqualChars);
  ini.writeBool(ConcordanceConfigSection, "RegularExpressions", c.RegularExpressions);
  ini.writeBool(ConcordanceConfigSection, "TagSearch", c.TagSearch);
  ini.writeBool(ConcordanceConfigSection, "SentenceMode", c.SentenceMode);
  ini.eraseSection(SearchHistorySection);
  WriteIniList(ini, SearchHistorySection, "Search", TextHistory);
  WriteIniList(ini, SearchHistorySection, "Grep", GrepHistory);
  WriteIniList(ini, SearchHistorySection, "Tag", TagHistory);
}

// --- private ---

void TSearchTemplateModel::SetRadio(TSearchMode syntax)
{
  if (GetSearchSyntax() != syntax)
    SyntaxRadioClick(syntax);
}

void TSearchTemplateModel::SetSentCheck(bool checked)
{
  if (SentCheck.Checked != checked)
    SentCheckClick(checked);
}

void TSearchTemplateModel::SetBatchSearchCheck(bool checked)
{
  if (BatchSearchCheck.Checked != checked)
    BatchSearchCheckClick(checked);
}

void TSearchTemplateModel::SetSaveToFileCheck(bool checked)
{
  if (SaveToFileCheck.Checked != checked)
    SaveToFileCheckClick(checked);
}

void TSearchTemplateModel::SetHdCtxCheck(bool checked)
{
  if (HdCtxCheck.Checked != checked)
    HdCtxCheckClick(checked);
  else
    HdCtxBtn.Enabled = checked && services_.Restrictions() != nullptr;
}

void TSearchTemplateModel::UpdateAppendEnabled()
{
  AppendSearchCheck.Enabled = ConcordanceActive || SaveToFileCheck.Checked;
}

void TSearchTemplateModel::UpdateServiceControls()
{
  OptionsBtn.Enabled = services_.HasSearchParameters();
  EditPatternsBtn.Enabled = services_.HasPatternsEditor();
  HdCtxCheck.Enabled = services_.Restrictions() != nullptr;
  BatchOptionsBtn.Enabled = SaveToFileCheck.Checked && services_.HasBatchOptions();
  SaveOptionsBtn.Enabled = SaveToFileCheck.Checked && services_.HasOutputOptions();
}

void TSearchTemplateModel::FocusFirstControl()
{
  ActiveControl = BatchSearchCheck.Checked ? "EditPatternsBtn" : "SearchString";
}

bool TSearchTemplateModel::CheckBatchPieces(TSearchMode syntax, char gap, TSearchOkOutcome& outcome)
{
  if (AllStringsBlank(*CurrentPatterns)) {
    OpenPatternsEditor(0, 0, outcome);
    return false;
  }
  const std::vector<TBatchPattern> pieces = BuildBatchPatterns(syntax, *CurrentPatterns);
  // A list of nothing but commas holds no pattern either.
  if (pieces.empty()) {
    OpenPatternsEditor(0, 0, outcome);
    return false;
  }
  const std::string doubleGap(2, gap);
  for (const TBatchPattern& piece : pieces) {
    SkippingWarning = false;
    std::string message;
    bool ok = ValidatePattern(piece.Text, "search pattern", message);
    if (!ok) {
      ShowError(message);
    } else if (SkippingWarning && !WarnYesNo(message, true)) {
      ok = false;
    } else if (syntax != TSearchMode::Regex && gap != 0 && FindChars(piece.Text, doubleGap) != std::string::npos) {
      ShowError("You cannot specify " + doubleGap + " in the search pattern");
      ok = false;
    }
    if (!ok) {
      OpenPatternsEditor(piece.Offset, int32_t(piece.Text.size()), outcome);
      return false;
    }
  }
  return true;
}

bool TSearchTemplateModel::CheckRestrictions()
{
  THdCtxRestrictions* r = services_.Restrictions();
  if (!r)
    return true;
  if (r->HeadingChecked()) {
    if (!CheckPatternBox("heading pattern", false, r->HeadingPattern()))
      return false;
    std::string headStart, headStop, textStart, textStop;
    if (!r->GetHeading(r->HeadingName(), headStart, headStop, textStart, textStop)) {
      FocusOnForm(*r, "HeadingCombo");
      return false;
    }
  }
  if (r->ContextChecked()) {
    if (!CheckPatternBox("left context pattern", false, r->LeftPattern()))
      return false;
    if (!CheckPatternBox("right context pattern", true, r->RightPattern()))
      return false;
  }
  return true;
}

void TSearchTemplateModel::OpenPatternsEditor(int32_t selStart, int32_t selLength, TSearchOkOutcome& outcome)
{
  outcome.ToEditor = true;
  outcome.SelStart = selStart;
  outcome.SelLength = selLength;
  if (services_.HasPatternsEditor())
    services_.EditPatterns(*CurrentPatterns, selStart, selLength);
}

// ---------------------------------------------------------------------------

TSearchTemplateModel* SearchTemplateModel()
{
  return currentModel;
}

bool ExecuteSearchDialog(TSearchRec& request, bool advanced)
{
  TSearchTemplateModel* model = SearchTemplateModel();
  return model && model->Execute(request, advanced);
}

void ReadSearchDialogSettings(const platform::IniFile& ini)
{
  if (TSearchTemplateModel* model = SearchTemplateModel())
    model->ReadSettings(ini);
}

void WriteSearchDialogSettings(platform::IniFile& ini)
{
  if (TSearchTemplateModel* model = SearchTemplateModel())
    model->WriteSettings(ini);
}
