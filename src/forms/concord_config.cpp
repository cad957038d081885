#include "forms/concord_config.h"

#include "forms/code_page_text.h"
#include "forms/sentence_options.h"
#include "foundation/chartables.h"
#include "foundation/config_file.h"
#include "foundation/dialogs.h"
#include "foundation/settings.h"
#include "foundation/utils.h"
#include "platform/frame_sink.h"
#include "search/search_defaults.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace {

TConcordConfigModel* currentModel = nullptr;

constexpr int32_t kWordGapMax = 9;
constexpr int32_t kFrequencyMax = 16000;
constexpr int32_t kDefaultWindowSize = 10;

const char* const kSection = ConcordanceConfigSection;

void ReadSlot(const platform::IniFile& ini)
{
  if (currentModel)
    currentModel->ReadConcordanceConfig(ini);
}

void WriteSlot(platform::IniFile& ini)
{
  if (currentModel)
    currentModel->WriteConcordanceConfig(ini);
}

std::string CharText(char c)
{
  return c ? std::string(1, c) : std::string();
}

}  // namespace

// ---------------------------------------------------------------------------

void TUpDownState::SetPosition(int32_t value)
{
  Position = std::clamp(value, Min, std::max(Min, Max));
  Text = std::to_string(Position);
}

void TUpDownState::SetRange(int32_t min, int32_t max)
{
  Min = min;
  Max = max;
  if (Position != std::clamp(Position, Min, std::max(Min, Max)))
    SetPosition(Position);
}

int32_t TUpDownState::Clamp()
{
  Position = ClampEditToRange(Text, Position, Min, Max);
  return Position;
}

int32_t TUpDownState::Value(int32_t min, int32_t max) const
{
  const std::string t = TrimBlanks(Text);
  int32_t v = 0;
  const auto [end, err] = std::from_chars(t.data(), t.data() + t.size(), v);
  if (t.empty() || err != std::errc() || end != t.data() + t.size() || v < min || v > max)
    return Position;
  return v;
}

bool NumericEditAccepts(char32_t ch)
{
  return (ch >= U'0' && ch <= U'9') || ch < 32 || ch == 127;
}

// ---------------------------------------------------------------------------

TConcordConfigModel::TConcordConfigModel(TConcordConfigView* view) : view_(view)
{
  Char0orMore.Caption = "*";
  Char0or1.Caption = "%";
  CharExactly1.Caption = "?";
  CharWordMatch.Caption = "@";
  TagSearchEdit.Caption = "&";
  for (const char* name : ContextTypeNames)
    ContextTypeCombo.Items.emplace_back(name);
  ContextTypeCombo.ItemIndex = 0;
  for (const char* name : WindowSizeNames)
    ContextWindowSizeCombo.Items.emplace_back(name);
  ContextWindowSizeCombo.ItemIndex = 0;
  FullSentOpts.Visible = false;
  FrequencyofHitsUpDown.SetRange(1, kFrequencyMax);
  FrequencyofHitsUpDown.SetPosition(1);
  ContextSizeUpDown.SetRange(ContextSizeMin[0], ContextSizeMax[0]);
  WordCharBox.Name = "WordCharBox";
  SkippingBox.Name = "SkippingBox";
  EqualBox.Name = "EqualBox";
  LabelEOLN.Visible = false;
  CharEndOfLine.Visible = false;
  CharEndOfLine.Enabled = false;
  WordMatchLoUpDown.SetRange(0, kWordGapMax);
  WordMatchHiUpDown.SetRange(0, kWordGapMax);
  WordMatchChange();

  previous_ = currentModel;
  currentModel = this;
  previousArea_ = RegisterConfigArea(csSearchParameters, {ReadSlot, WriteSlot});
}

TConcordConfigModel::~TConcordConfigModel()
{
  RegisterConfigArea(csSearchParameters, std::move(previousArea_));
  if (currentModel == this)
    currentModel = previous_;
}

int TConcordConfigModel::Execute(bool enableContext)
{
  ContextCharsLabel.Enabled = ContextTypeCombo.Enabled = ContextSizeLabel.Enabled = enableContext;
  ContextSizeUpDown.Enabled = enableContext;
  ModalResult = view_ ? view_->ShowModal() : mrCancel;
  return ModalResult;
}

void TConcordConfigModel::FormShow()
{
  const ConcordConfig& c = ConcordSettings;
  MaxSearchHitsEdit.Caption = std::to_string(c.MaximumHits);
  FrequencyofHitsUpDown.SetPosition(c.FrequencyOfHits);
  ContextTypeCombo.ItemIndex = c.ContextType < 4 ? c.ContextType : 0;
  // The type change puts the range of the type and its stored size in the
  // up-down; a type chosen and then cancelled last time leaves nothing behind.
  ContextTypeComboChange();
  Char0orMore.Caption = CharText(c.WildCard0orMore);
  Char0or1.Caption = CharText(c.WildCard0or1);
  CharExactly1.Caption = CharText(c.WildCardExactly1);
  CharWordMatch.Caption = CharText(c.WildCardMatchWords);
  WordMatchLoUpDown.SetRange(0, kWordGapMax);
  WordMatchHiUpDown.SetRange(0, kWordGapMax);
  WordMatchLoUpDown.SetPosition(c.MatchWordsLo);
  WordMatchHiUpDown.SetPosition(c.MatchWordsHi);
  WordMatchChange();
  TagSearchEdit.Caption = CharText(c.TagSearchSeparator);
  WordCharBox.Text = c.NonWordChars;
  HiliteCollocatesCB.Checked = c.HighlightCollocates;
  ActiveControl = "MaxSearchHitsEdit";
}

void TConcordConfigModel::ContextTypeComboChange()
{
  const int type = std::clamp(ContextTypeCombo.ItemIndex, 0, 3);
  const bool sized = type < 3;
  ContextSizeUpDown.Visible = ContextSizeLabel.Visible = sized;
  FullSentOpts.Visible = !sized;
  ContextSizeUpDown.SetRange(ContextSizeMin[type], ContextSizeMax[type]);
  ContextSizeUpDown.SetPosition(ConcordSettings.ContextSizes[size_t(type)]);
}

void TConcordConfigModel::WordMatchChange()
{
  TUpDownState& lo = WordMatchLoUpDown;
  TUpDownState& hi = WordMatchHiUpDown;
  // What is typed counts at once, within the up-downs' widest range.
  lo.Position = lo.Value(0, kWordGapMax);
  hi.Position = hi.Value(0, kWordGapMax);
  if (hi.Position < lo.Position) {
    hi.Position = lo.Position;
    hi.Text = std::to_string(hi.Position);
  }
  hi.Min = lo.Position;
  lo.Max = hi.Position;
}

bool TConcordConfigModel::NumericKeyPress(char32_t ch)
{
  if (NumericEditAccepts(ch))
    return true;
  if (view_)
    view_->Beep();
  return false;
}

void TConcordConfigModel::CharBoxExit(TPatternBox& box)
{
  box.AddToHistory();
}

void TConcordConfigModel::RevertClick()
{
  CharWordMatch.Caption = "@";
  WordMatchLoUpDown.Text = "2";
  WordMatchHiUpDown.Text = "5";
  WordMatchChange();
  WordCharBox.Text = DefaultNonWordChars;
  SkippingBox.Text = DefaultSkippingChars;
  EqualBox.Text.clear();
  TagSearchEdit.Caption = "&";
}

void TConcordConfigModel::FullSentOptsClick()
{
  ShowSentenceOptions();
}

void TConcordConfigModel::EditHeadingsBtnClick()
{
  if (view_)
    view_->ShowHeadings();
}

char TConcordConfigModel::FirstChar(const TControlState& edit, char kept)
{
  return edit.Caption.empty() ? '\0' : SingleByteCharOr(edit.Caption, kept);
}

bool TConcordConfigModel::OKBtnClick()
{
  ConcordConfig& c = ConcordSettings;
  ClampEditToRange(MaxSearchHitsEdit.Caption, c.MaximumHits, 1, std::numeric_limits<int32_t>::max());
  for (TUpDownState* u : {&FrequencyofHitsUpDown, &ContextSizeUpDown, &WordMatchLoUpDown, &WordMatchHiUpDown})
    u->Clamp();
  c.MaximumHits = StrToIntSafe(MaxSearchHitsEdit.Caption);
  c.FrequencyOfHits = FrequencyofHitsUpDown.Position;
  c.ContextType = uint8_t(std::clamp(ContextTypeCombo.ItemIndex, 0, 3));
  c.ContextSizes[c.ContextType] = ContextSizeUpDown.Position;

  bool changed = WordCharBox.Text != c.NonWordChars;
  c.NonWordChars = WordCharBox.Text;
  const char tagDelimiter = c.wTagDelimiter;
  if (c.WordTag == 1 && tagDelimiter != 0 && FindChars(c.NonWordChars, {&tagDelimiter, 1}) != std::string::npos) {
    ShowInfo("\"" + std::string(1, tagDelimiter) +
             "\" is tag delimiter and can't be a word delimiter.\rSymbol will be deleted from word delimiters.");
    // Every occurrence goes, so the delimiter is no word delimiter at all.
    EraseChar(c.NonWordChars, tagDelimiter);
    // The delimiters change even when the box was left as shown.
    changed = true;
  }

  c.SkippingChars = SkippingBox.Text;
  c.EqualChars = EqualBox.Text;

  for (auto [edit, target] : {std::pair{&Char0orMore, &c.WildCard0orMore}, std::pair{&Char0or1, &c.WildCard0or1},
                              std::pair{&CharExactly1, &c.WildCardExactly1},
                              std::pair{&CharWordMatch, &c.WildCardMatchWords}}) {
    const char ch = FirstChar(*edit, *target);
    changed = changed || ch != *target;
    *target = ch;
  }
  c.MatchWordsLo = uint8_t(WordMatchLoUpDown.Position);
  c.MatchWordsHi = uint8_t(WordMatchHiUpDown.Position);
  c.TagSearchSeparator = SingleByteCharOr(TagSearchEdit.Caption, c.TagSearchSeparator);
  c.HighlightCollocates = HiliteCollocatesCB.Checked;

  if (changed && view_)
    view_->ResetWordCounts();

  const bool parsed = ParseEqualChars();
  if (!parsed) {
    ShowError(EqualCharsRefused);
    ActiveControl = EqualBox.Name;
  }
  BuildCharTables();
  if (!parsed)
    return false;

  const int32_t size = ChosenWindowSize();
  if (size != BigContextSize) {
    BigContextSize = size;
    platform::frameSink().refreshConcordances();
  }
  return true;
}

int32_t TConcordConfigModel::ChosenWindowSize() const
{
  const int32_t k = ContextWindowSizeCombo.ItemIndex;
  return k >= 0 && k < 3 ? (k + 1) * 10 : kDefaultWindowSize;
}

void TConcordConfigModel::SelectWindowSize(int32_t size)
{
  ContextWindowSizeCombo.ItemIndex = size == 20 ? 1 : size == 30 ? 2 : 0;
}

// ---------------------------------------------------------------------------
// Settings.

void TConcordConfigModel::ReadConcordanceConfig(const platform::IniFile& ini)
{
  ConcordConfig& c = ConcordSettings;
  // Equal characters that do not parse keep the groups there were.
  const CharSetArray oldGroups = c.EqualCharSets;
  ApplySearchParameterDefaults();  // what every missing key gives
  c.EqualCharSets = oldGroups;

  c.MaximumHits = ini.readInteger(kSection, "MaximumHits", c.MaximumHits);
  c.FrequencyOfHits = ini.readInteger(kSection, "FrequencyOfHits", c.FrequencyOfHits);
  c.ContextType = ReadContextType(ini, kSection, "ContextType");
  ReadContextSizes(ini, kSection, "", c.ContextSizes);
  c.NonWordChars = ini.readString(kSection, "NonWordChars", c.NonWordChars);
  c.SkippingChars = ini.readString(kSection, "SkippingChars", c.SkippingChars);
  c.EqualChars = ini.readString(kSection, "EqualChars", c.EqualChars);
  ParseEqualChars();
  c.WildCard0orMore = ReadCharSetting(ini, kSection, "WildCard0orMore", c.WildCard0orMore);
  c.WildCard0or1 = ReadCharSetting(ini, kSection, "WildCard0or1", c.WildCard0or1);
  c.WildCardExactly1 = ReadCharSetting(ini, kSection, "WildCardExactly1", c.WildCardExactly1);
  c.WildCardMatchWords = ReadCharSetting(ini, kSection, "WildCardMatchWords", c.WildCardMatchWords);
  c.MatchWordsLo = uint8_t(ini.readInteger(kSection, "MatchWordsLo", c.MatchWordsLo));
  c.MatchWordsHi = uint8_t(ini.readInteger(kSection, "MatchWordsHi", c.MatchWordsHi));
  c.TagSearchSeparator = ReadCharSetting(ini, kSection, "TagSearchSeparator", c.TagSearchSeparator);
  ReadFont(ini, kSection, "NormalFont", c.NormalFont);
  ReadFont(ini, kSection, "HiliteFont", c.HiliteFont);
  c.CollocateFont = c.HiliteFont;
  c.CollocateFont.Color = 255;
  ReadFont(ini, kSection, "CollocateFont", c.CollocateFont);
  c.HighlightCollocates = ini.readBool(kSection, "HighlightCollocates", true);
  const int32_t size = ini.readInteger(kSection, "BigContextSize", kDefaultWindowSize);
  BigContextSize = size >= 1 && size <= 31 ? size : kDefaultWindowSize;

  ContextTypeCombo.ItemIndex = c.ContextType;
  ContextTypeComboChange();
  WordCharBox.Text = c.NonWordChars;
  SkippingBox.Text = c.SkippingChars;
  EqualBox.Text = c.EqualChars;
  SelectWindowSize(BigContextSize);

  for (auto [section, prefix, box] :
       {std::tuple{DelimiterHistorySection, "NonWordChars", &WordCharBox},
        std::tuple{SkippingHistorySection, "SkippingChars", &SkippingBox},
        std::tuple{EqualHistorySection, "EqualChars", &EqualBox}}) {
    ReadIniList(ini, section, prefix, box->Items);
    box->ItemIndex = IndexOfExact(box->Text, box->Items);
  }
}

void TConcordConfigModel::WriteConcordanceConfig(platform::IniFile& ini) const
{
  const ConcordConfig& c = ConcordSettings;
  ini.writeInteger(kSection, "MaximumHits", c.MaximumHits);
  ini.writeInteger(kSection, "FrequencyOfHits", c.FrequencyOfHits);
  WriteContextType(ini, kSection, "ContextType", c.ContextType);
  WriteContextSizes(ini, kSection, "", c.ContextSizes);
  ini.writeString(kSection, "NonWordChars", c.NonWordChars);
  ini.writeString(kSection, "SkippingChars", c.SkippingChars);
  ini.writeString(kSection, "EqualChars", c.EqualChars);
  WriteCharSetting(ini, kSection, "WildCard0orMore", c.WildCard0orMore);
  WriteCharSetting(ini, kSection, "WildCard0or1", c.WildCard0or1);
  WriteCharSetting(ini, kSection, "WildCardExactly1", c.WildCardExactly1);
  WriteCharSetting(ini, kSection, "WildCardMatchWords", c.WildCardMatchWords);
  ini.writeInteger(kSection, "MatchWordsLo", c.MatchWordsLo);
  ini.writeInteger(kSection, "MatchWordsHi", c.MatchWordsHi);
  WriteCharSetting(ini, kSection, "TagSearchSeparator", c.TagSearchSeparator);
  WriteFont(ini, kSection, "NormalFont", c.NormalFont);
  WriteFont(ini, kSection, "HiliteFont", c.HiliteFont);
  WriteFont(ini, kSection, "CollocateFont", c.CollocateFont);
  ini.writeBool(kSection, "HighlightCollocates", c.HighlightCollocates);
  WriteIniList(ini, DelimiterHistorySection, "NonWordChars", WordCharBox.Items);
  WriteIniList(ini, SkippingHistorySection, "SkippingChars", SkippingBox.Items);
  WriteIniList(ini, EqualHistorySection, "EqualChars", EqualBox.Items);
  ini.writeInteger(kSection, "BigContextSize", BigContextSize);
}

// ---------------------------------------------------------------------------

TConcordConfigModel* ConcordConfigModel()
{
  return currentModel;
}

int ExecuteSearchParameters(bool enableContext)
{
  return currentModel ? currentModel->Execute(enableContext) : mrCancel;
}
