// "Set Search Parameters": the search parameters of ConcordSettings (hits,
// context, wildcards, word gap, delimiter, skipping and equal characters,
// tag-search separator) and the context window size.
//
// One model lives for the whole run. It holds the state of every control,
// runs the handlers the form forwards to it, and owns slot 3 of the settings
// hub: [ConcordanceConfiguration] (all but the search dialog's switches) and
// the histories of its three character boxes. The form shows the model after
// every handler and tells it what the user typed.
#pragma once

#include "forms/hdctx.h"
#include "forms/search_dialog_model.h"
#include "platform/ini_file.h"

#include <cstdint>
#include <string>

inline constexpr const char* DelimiterHistorySection = "DelimiterHistory";
inline constexpr const char* SkippingHistorySection = "SkippingHistory";
inline constexpr const char* EqualHistorySection = "EqualHistory";

// An edit with an up-down: the text as typed and the up-down's range and
// position. Typing is free; the text is clamped to the range when it is read.
struct TUpDownState {
  std::string Text;
  int32_t Min = 0;
  int32_t Max = 100;
  int32_t Position = 0;
  bool Visible = true;
  bool Enabled = true;

  // Sets the position, clamped to the range, and shows it in the text.
  void SetPosition(int32_t value);
  // Sets the range; the position stays (clamped into the new range).
  void SetRange(int32_t min, int32_t max);
  // The text as a number clamped to the range, the position as the fallback;
  // text and position both take the result.
  int32_t Clamp();
  // The text's number while it is one and lies in min .. max; else the position.
  int32_t Value(int32_t min, int32_t max) const;
};

// What the form does for the model.
class TConcordConfigView {
public:
  virtual ~TConcordConfigView() = default;
  // Runs the form modally (it shows the model first); the modal result.
  virtual int ShowModal() = 0;
  // The short warning sound of a refused key.
  virtual void Beep() {}
  // The headings dialog, modally.
  virtual void ShowHeadings() {}
  // The delimiters or wildcards changed: every corpus item is counted again
  // and the corpus word table is dropped with its windows.
  virtual void ResetWordCounts() {}
};

// A character typed into a numeric edit is taken: the digits, backspace and
// control characters (the editing shortcuts) pass; another printable
// character is refused with a beep.
bool NumericEditAccepts(char32_t ch);

class TConcordConfigModel {
public:
  static constexpr const char* Caption = "Set Search Parameters";
  static constexpr const char* EqualCharsRefused = "Wrong \"equal characters\" syntax";
  static constexpr const char* ContextTypeNames[4] = {"Characters", "Words", "Lines", "Sentence"};
  static constexpr const char* WindowSizeNames[3] = {"10 K", "20 K", "30 K"};

  // Creates the controls in their starting state and becomes the dialog
  // ExecuteSearchParameters shows and the area of slot 3 until destroyed.
  // The view is not owned.
  explicit TConcordConfigModel(TConcordConfigView* view = nullptr);
  ~TConcordConfigModel();
  TConcordConfigModel(const TConcordConfigModel&) = delete;
  TConcordConfigModel& operator=(const TConcordConfigModel&) = delete;

  void SetView(TConcordConfigView* view) { view_ = view; }

  // The context controls enabled or not, then the form modally.
  int Execute(bool enableContext);

  // --- handlers ---
  void FormShow();
  // The type combo changed (also run by the reader).
  void ContextTypeComboChange();
  // Either word-gap edit changed.
  void WordMatchChange();
  // A key typed into a numeric edit: false (after the beep) when refused.
  bool NumericKeyPress(char32_t ch);
  // Leaving a character box, and each box when the dialog closes: trimmed
  // and added to its history.
  void CharBoxExit(TPatternBox& box);
  void RevertClick();
  void FullSentOptsClick();
  void EditHeadingsBtnClick();
  // OK: false when the dialog stays open (the focus then is on ActiveControl).
  bool OKBtnClick();

  // The size chosen in ContextWindowSizeCombo: 10, 20 or 30; 10 with none.
  int32_t ChosenWindowSize() const;
  void SelectWindowSize(int32_t size);

  // --- settings ---
  void ReadConcordanceConfig(const platform::IniFile& ini);
  void WriteConcordanceConfig(platform::IniFile& ini) const;

  // --- the controls ---
  TControlState Char0orMore, Char0or1, CharExactly1, CharWordMatch, TagSearchEdit;  // Caption = text
  TControlState MaxSearchHitsEdit;
  TUpDownState FrequencyofHitsUpDown, ContextSizeUpDown, WordMatchLoUpDown, WordMatchHiUpDown;
  TListBoxState ContextTypeCombo, ContextWindowSizeCombo;
  TControlState ContextCharsLabel, ContextSizeLabel, FullSentOpts, HiliteCollocatesCB;
  TControlState LabelEOLN, CharEndOfLine;
  TPatternBox WordCharBox, SkippingBox, EqualBox;
  std::string ActiveControl;
  int ModalResult = 0;

private:
  // A wildcard box: its first character, none when empty; kept when it
  // begins with a double-byte character.
  static char FirstChar(const TControlState& edit, char kept);

  TConcordConfigView* view_;
  TConcordConfigModel* previous_ = nullptr;
  TConfigArea previousArea_;
};

// The dialog created last and not yet destroyed; nullptr when none.
TConcordConfigModel* ConcordConfigModel();

// Shows the search parameters with the context controls enabled or not; the
// modal result (mrCancel without a dialog).
int ExecuteSearchParameters(bool enableContext);
