// "Tag Settings" and "Part of Speech Tags Settings" without their widgets:
// the markup characters, page delimiter, display switches and tracked tags
// (slot 8, [Tag Settings] and one "Watched." section per tag), and the
// part-of-speech style, delimiters, start strings and meta tags (slot 9,
// [Word Tag Settings]); with the logic of the two small editors that add or
// edit one tracked tag or one meta tag.
//
// Each dialog model lives as long as its form and owns its settings area
// meanwhile. The forms show the model after every handler; sub-dialogs, the
// modal run and beeps go through the view; messages through foundation/dialogs.h.
#pragma once

#include "foundation/config_file.h"
#include "platform/ini_file.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

inline constexpr const char* TagSettingsSection = "Tag Settings";
inline constexpr const char* WordTagSettingsSection = "Word Tag Settings";
inline constexpr const char* WatchedSectionPrefix = "Watched.";

// One row of the tracked-tag grid: name, start text, stop text.
using TTagRow = std::array<std::string, 3>;
// One row of the meta-tag grid: name, members as comma-separated text.
using TMetaRow = std::array<std::string, 2>;

// ---------------------------------------------------------------------------
// The tracked-tag editor.

class TEditWatchTagsModel {
public:
  static constexpr const char* DuplicateText = "Duplicated tag name.";

  // rows: the grid the name is checked against; editedRow: the row being
  // edited, -1 when adding.
  TEditWatchTagsModel(const std::vector<TTagRow>& rows, int editedRow);

  std::string Caption() const { return editedRow_ < 0 ? "Add new tag" : "Edit tag"; }
  std::string Name, Start, Stop;
  bool Cocoa = false;

  bool OkEnabled() const;
  const char* StartLabel() const { return Cocoa ? "Tag:" : "Tag Start:"; }
  bool StopEnabled() const { return !Cocoa; }
  // OK: false (after the message) when another row has the name; else the
  // name is trimmed and a COCOA tag loses its stop text.
  bool OKBtnClick();

private:
  const std::vector<TTagRow>& rows_;
  int editedRow_;
};

// ---------------------------------------------------------------------------
// The meta-tag editor.

class TEditMetaTagsModel {
public:
  static constexpr const char* DuplicateText = "Duplicated meta-tag name.";

  TEditMetaTagsModel(const std::vector<TMetaRow>& rows, int editedRow);

  std::string Caption() const { return editedRow_ < 0 ? "Add new meta-tag" : "Edit meta-tag"; }
  std::string Name, Contents;
  // After a refused OK: the edit to focus ("NameEdit", "ContentsEdit"), or
  // empty when the duplicate message was shown.
  std::string ActiveControl;

  // OK: true with the trimmed name and contents; false when the dialog stays
  // open (Beep is true when the refusal beeps).
  bool OKBtnClick(bool& beep);

private:
  const std::vector<TMetaRow>& rows_;
  int editedRow_;
};

// ---------------------------------------------------------------------------
// What the two dialogs ask of their forms.

class TTagSettingsView {
public:
  virtual ~TTagSettingsView() = default;
  // Runs the dialog modally (the form shows the model first); true on OK.
  virtual bool ShowModal() = 0;
  virtual void Beep() {}
  // Runs one editor modally; true on OK.
  virtual bool RunWatchTagEditor(TEditWatchTagsModel& editor) = 0;
  virtual bool RunMetaTagEditor(TEditMetaTagsModel& editor) = 0;
};

// ---------------------------------------------------------------------------
// "Tag Settings".

class TTagCfgModel {
public:
  static constexpr const char* Caption = "Tag Settings";
  static constexpr const char* HashRefused = "Tag start could not be \" \".";

  // Becomes the dialog ExecuteTagSettings runs and the area of slot 8 until
  // destroyed. The view is not owned.
  explicit TTagCfgModel(TTagSettingsView* view = nullptr);
  ~TTagCfgModel();
  TTagCfgModel(const TTagCfgModel&) = delete;
  TTagCfgModel& operator=(const TTagCfgModel&) = delete;
  void SetView(TTagSettingsView* view) { view_ = view; }

  // --- the controls and fields ---
  std::string TagStartEdit, TagStopEdit, PageDelimiterEdit;
  bool DisplayLinesCB = false, PageNumbersCB = false, RelativeLinesCB = false;
  std::vector<TTagRow> Grid;
  int CurrentRow = 0;
  char OldTagStart = '<', OldTagStop = '>';
  bool GridChanged = false;

  bool RelativeLinesEnabled() const { return PageNumbersCB; }

  // --- handlers ---
  void LoadTagDialog();
  void WrapPageDelimiter();
  void RewrapTagTexts();
  // The tag start edit holds what it refuses: "#" or a double-byte
  // character.
  bool TagStartRefused() const;
  // Leaving the tag start edit: false when it was refused (the focus goes
  // back to the edit).
  bool TagStartExit();
  // Leaving the tag stop edit: a double-byte character is not taken, the
  // old stop character stays.
  void TagStopExit();
  void AddBtnClick();
  void EditBtnClick();
  void RemoveBtnClick();
  void BuildWatchedTags();

  // Shows the dialog; true when the tracked tags or tag characters changed.
  bool ExecuteTagSettings();

  void ReadTagSettings(const platform::IniFile& ini);
  void WriteTagSettings(platform::IniFile& ini);

private:
  TTagSettingsView* view_;
  TTagCfgModel* previous_ = nullptr;
  TConfigArea previousArea_;
};

// ---------------------------------------------------------------------------
// "Part of Speech Tags Settings".

class TWordTagsCfgModel {
public:
  static constexpr const char* Caption = "Part of Speech Tags Settings";
  static constexpr int StartRows = 4;

  explicit TWordTagsCfgModel(TTagSettingsView* view = nullptr);
  ~TWordTagsCfgModel();
  TWordTagsCfgModel(const TWordTagsCfgModel&) = delete;
  TWordTagsCfgModel& operator=(const TWordTagsCfgModel&) = delete;
  void SetView(TTagSettingsView* view) { view_ = view; }

  // --- the controls ---
  bool EmbededCB = false, OutsideCB = false, OutsideBeforeCB = false;
  std::string DelimiterEdit = "_";
  std::vector<std::string> TagStartGrid = std::vector<std::string>(StartRows);
  std::string TagStopEdit = ">";
  std::vector<TMetaRow> MetaGrid{TMetaRow{}};
  int CurrentMetaRow = 0;
  // After a refused OK, the control to focus.
  std::string ActiveControl;
  // The last store took the delimiter out of NonWordChars.
  bool DelimiterRemoved = false;

  // 0 none, 1 embedded, 2 outside.
  uint8_t Style() const { return EmbededCB ? 1 : OutsideCB ? 2 : 0; }
  // The panels follow their check boxes (labels grey while off).
  bool EmbededPanelEnabled() const { return EmbededCB; }
  bool OutsidePanelEnabled() const { return OutsideCB; }

  // --- handlers ---
  void EmbededCBClick();
  void OutsideCBClick();
  // False (after the beep, with ActiveControl set) when the dialog stays open:
  // no tag start string, or an embedded delimiter that is blank or a
  // double-byte character.
  bool OkBtnClick();
  void AddBtnClick();
  void EditBtnClick();
  void RemoveBtnClick();
  void StoreMetaTags();

  // Shows the dialog; true when the part-of-speech settings changed.
  bool EditWordTagSettings();
  // Whether the controls differ from ConcordSettings in what the tags use.
  bool TagSettingsDiffer() const;
  // The controls into ConcordSettings (all but the meta tags).
  void StoreSettings();

  void ReadWordTagSettings(const platform::IniFile& ini);
  void WriteWordTagSettings(platform::IniFile& ini) const;
  // The general controls (style, delimiter, stop character, before-word
  // switch, tag starts) from ConcordSettings.
  void LoadGeneralControls();

private:
  std::vector<std::string> StartStrings() const;

  TTagSettingsView* view_;
  TWordTagsCfgModel* previous_ = nullptr;
  TConfigArea previousArea_;
};

// The dialogs created last and not yet destroyed; nullptr when none.
TTagCfgModel* TagCfgModel();
TWordTagsCfgModel* WordTagsCfgModel();
