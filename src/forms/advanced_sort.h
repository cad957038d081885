// "Advanced Sort" and "Advanced Collocation": one dialog in two modes over a
// TAdvancedSortColOptions record, without its widgets; the key tables of the
// two modes, the parser of customised key lists, the settings areas
// [AdvancedSort] and [AdvancedColloc], and the two helpers of the
// concordance window's sort driver (SameSortSpec, SortKeyName).
//
// Customised key text: items separated by ',' or '-' (a range), each one of
// the typed names of the mode's table, case ignored. In sort mode "0r", or a
// three-character item of a digit 1..9, any character and 'r' ("1lr",
// "4rr"), sorts that key reversed; "1r" is the first word right, not
// reversed. A range "a-b" adds the keys after a up to b in table order, or
// downwards when b comes before a; all of them take a's reverse flag. In
// collocation mode the keys must rise in table order.
//
// The model keeps the state of every control and runs the handlers the form
// forwards to it; setting a check box or a combo from code runs its handler
// as a click would. Messages go through foundation/dialogs.h; the form and
// its beep through TAdvancedSortColView, so tests script the dialog.
#pragma once

#include "forms/search_dialog_model.h"  // TControlState
#include "foundation/settings.h"
#include "platform/ini_file.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

inline constexpr const char* AdvancedSortSection = "AdvancedSort";
inline constexpr const char* AdvancedCollocSection = "AdvancedColloc";

// One entry of a key table; its index in the table is its place, which the
// ranges and the collocation order follow.
struct TSortKeyEntry {
  const char* DisplayName;  // combo item and settings value
  const char* TypedName;    // what customised text accepts; "" never matches
  uint8_t Code;             // a TContexts value
};

// 13 entries for sorting, 10 for collocation.
std::span<const TSortKeyEntry> SortKeyTable(bool collocation);
// The index of a code in the mode's table; -1 when it is not there.
int32_t SortKeyIndex(bool collocation, uint8_t code);

// Parses customised key text and appends its keys to list (entries added
// before a failure stay). On failure errorPos is where the failing item
// starts (after its leading blanks), counted from 0; the empty text fails
// at once with errorPos 0 and no message. With showMessages the reason is
// shown with ShowError.
bool ParseCustomisedKeys(bool showMessages, bool sortMode, std::string_view text,
                         std::vector<TAdvancedSortColItem>& list, int32_t& errorPos);

// The two records of ConcordSettings, AdvancedSort and AdvancedColloc.
// A key is written as its display name in the section's table; it is read
// back by that name (case-sensitive) or, when the value is an integer, as an
// index of the older ten-entry layout. Anything else reads as ctxNone.
void ReadAdvancedSortSettings(const platform::IniFile& ini);
void WriteAdvancedSortSettings(platform::IniFile& ini);
// Puts the two into their slot of the settings hub.
void InstallAdvancedSortSettings();

// Whether sorting by newSpec orders the hits as current does: keys and
// reverse flags equal, no "Defined" key (always sorted again), the same
// tracked tag when a key is "Tracked tag", and the same customised setting.
bool SameSortSpec(const TAdvancedSortColOptions& newSpec, const TAdvancedSortColOptions& current);
// The name of a key in the concordance window's sort panel ("" for ctxNone
// and for codes that are no key).
std::string SortKeyName(uint8_t code);

// The form as the model sees it.
class TAdvancedSortColView {
public:
  virtual ~TAdvancedSortColView() = default;
  // Shows the model and runs until OK closes the dialog (the model's
  // ModalResult is then mrOk) or the user cancels; the modal result.
  virtual int ShowModal() = 0;
  // The warning sound before a refusal.
  virtual void Beep() = 0;
};

// What OK did: close, or stay with the focus on a control (and the caret).
struct TAdvancedSortOkOutcome {
  bool Close = false;
  std::string Focus;    // control name; empty when the focus stays
  int32_t Caret = -1;   // in CustomEdit's text; -1 when not set
};

class TAdvancedSortColModel {
public:
  static constexpr const char* SortCaption = "Advanced Sort";
  static constexpr const char* CollocCaption = "Advanced Collocation";
  static constexpr const char* SpanItems[4] = {"2", "3", "4", "5"};
  static constexpr int32_t ShowFirstMax = 1000;
  static constexpr const char* KeyComboNames[3] = {"FirstCombo", "SecondCombo", "ThirdCombo"};

  // Opens the dialog on a copy of record. list is the caller's key list: an
  // OK that passes every check replaces its contents; nothing else touches
  // it. Neither pointer is owned.
  TAdvancedSortColModel(bool collocation, const TAdvancedSortColOptions& record,
                        std::vector<TAdvancedSortColItem>* list, TAdvancedSortColView* view = nullptr);

  void SetView(TAdvancedSortColView* view) { view_ = view; }
  bool Collocation() const { return collocation_; }
  // The display names the key combos hold.
  std::span<const TSortKeyEntry> Keys() const { return SortKeyTable(collocation_); }

  // --- handlers (a click, or a change made from code) ---
  // A key combo (0 first .. 2 third) selects an entry (-1: none).
  void SelectKey(int position, int32_t index);
  void ReverseClick(int position, bool checked) { Reverse[size_t(position)].Checked = checked; }
  void CustomCheckClick(bool checked);
  void SpanCheckClick(bool checked);
  void SelectSpan(int32_t index) { SpanIndex = index; }
  void SelectGridRow(int32_t row) { GridRow = row; }
  // OK: checks the controls, stores them in Record and fills the caller's
  // list, or refuses with a message and keeps the dialog open.
  TAdvancedSortOkOutcome OKBtnClick();

  // The code the combo at position stands for; ctxNone without a selection.
  uint8_t KeyOf(int position) const;

  // --- the controls ---
  std::string Caption;
  bool SortPanelVisible = true;    // "Defined Tracked Tags:" and Grid
  bool CollocPanelVisible = false; // Span and Show first
  std::array<TControlState, 3> Boxes;     // " First Sort " .. (Enabled: the box and its controls)
  std::array<int32_t, 3> KeyIndex{-1, -1, -1};  // the combos' selections
  std::array<TControlState, 3> Reverse;
  TControlState CustomCheck;
  std::string CustomText;          // CustomEdit
  bool CustomEditEnabled = false;
  TControlState SpanCheck;
  int32_t SpanIndex = -1;          // SpanCombo's selection
  bool SpanComboEnabled = false;
  std::string ShowFirstText = "0"; // ShowFirstEdit
  std::vector<std::array<std::string, 3>> GridRows;  // name, start, stop
  int32_t GridRow = -1;
  int ModalResult = 0;

  // The record being edited; Execute copies it back on OK.
  TAdvancedSortColOptions Record;

private:
  void UpdateBoxes();
  // A refusal: the beep (unless silent), the message, the focus.
  TAdvancedSortOkOutcome Refuse(const std::string& message, std::string focus, bool beep = true);

  bool collocation_;
  int32_t showFirstPosition_ = 0;  // ShowFirstUpDown's position
  std::vector<TAdvancedSortColItem>* list_;
  TAdvancedSortColView* view_;
};

// Runs the dialog (collocation or sort mode) on record; true on OK, with the
// record updated and list holding the chosen keys (empty where the mode
// fills none). Cancel leaves both unchanged. False without an installed form.
bool ExecuteAdvancedSortDialog(bool collocation, TAdvancedSortColOptions& record,
                               std::vector<TAdvancedSortColItem>& list);
// The workbench installs the maker of its form; tests install fakes. Returns
// the old one.
using TAdvancedSortViewMaker = std::function<std::unique_ptr<TAdvancedSortColView>(TAdvancedSortColModel&)>;
TAdvancedSortViewMaker SetAdvancedSortViewMaker(TAdvancedSortViewMaker maker);
