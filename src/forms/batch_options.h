// "Batch search options": how the hits of a batch search are written to a
// file (sort order, context of each line, suppressed kinds of text), the
// form's model without its widgets, and the settings area
// [BatchSearchConfiguration].
//
// The form keeps a working copy of the batch context and suppress settings;
// OK copies it into ConcordSettings, Cancel keeps it for the next showing.
// "&Sorting..." changes the batch sort at once, through the advanced sort
// dialog; "&Context type..." edits the working copy through the context
// options form. Both sub-dialogs are reached through their installable
// runners (ExecuteAdvancedSortDialog, EditContextOptions).
#pragma once

#include "forms/search_dialog_model.h"  // TControlState
#include "platform/ini_file.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

inline constexpr const char* BatchSearchSection = "BatchSearchConfiguration";

class TBatchSearchCfgForm {
public:
  static constexpr const char* Caption = "Batch search options";
  static constexpr const char* FormatGroupName = "FormatGroup";

  // --- the working copy ---
  uint8_t ContextType = 0;
  std::array<int32_t, 4> ContextSizes{40, 8, 3, 1};
  std::array<bool, 3> Suppress{};  // tags, part of speech, words

  // TagsCheck, PartOfSpeechCheck, WordsCheck
  std::array<TControlState, 3> SuppressChecks;
  std::string Focus;  // the control that takes the focus on show
  int ModalResult = 0;

  // --- handlers ---
  void FormShow();
  void SortingBtnClick();
  void ContextTypeBtnClick();
  // which: 0 tags, 1 part of speech, 2 words.
  void SuppressClick(int which, bool checked);
  void OKBtnClick();
  void CancelBtnClick();

  // Takes the batch settings of ConcordSettings into the working copy and
  // the check boxes (after a settings read).
  void LoadWorkingCopy();

private:
  // Each box other than except is enabled unless its two others are checked.
  void UpdateEnabled(int except);
};

// The one instance, living for the whole run.
TBatchSearchCfgForm& BatchSearchCfgForm();

// A sort key of the section: a decimal integer is an old numeric code, any
// other text a sort display name; unknown values read as Unsorted.
uint8_t ReadBatchSortKey(const platform::IniFile& ini, std::string_view key);
void ReadBatchSearchSettings(const platform::IniFile& ini);
void WriteBatchSearchSettings(platform::IniFile& ini);
// Puts the two into their slot of the settings hub.
void InstallBatchSearchSettings();
