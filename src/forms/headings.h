// Heading definitions: the list of "Headings configuration", the editor of
// one definition, the lookup of a heading's markers by name and the
// settings sections [Headings] and [Heading.<name>].
//
// A definition names a kind of section heading in the corpus text and gives
// four literal markers: where the heading starts and stops, and where the
// text that belongs to it starts and stops. The scan gives them their
// meaning; a trailing "#" stands for a following blank or line end there.
//
// Every listed heading has all four markers: the reader drops a name whose
// section lacks one, and a name equal to an earlier one without regard to
// case (both would read the same section).
#pragma once

#include "platform/ini_file.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

inline constexpr const char* HeadingsSection = "Headings";
inline constexpr const char* HeadingSectionPrefix = "Heading.";

struct THeadRecord {
  std::string HeadStart;
  std::string HeadStop;
  std::string TextStart;
  std::string TextStop;
  bool operator==(const THeadRecord&) const = default;
};

struct THeading {
  std::string Name;
  THeadRecord Record;
  bool operator==(const THeading&) const = default;
};

// Index of the first name equal to `name` without regard to case (the text
// language's case); -1 when none.
int32_t IndexOfName(const std::string& name, const std::vector<std::string>& names);

// ---------------------------------------------------------------------------
// The editor of one definition ("New heading" / "Edit heading").

class THeadingEdit {
public:
  static constexpr const char* NewCaption = "New heading";
  static constexpr const char* EditCaption = "Edit heading";
  static constexpr size_t MaxMarkerLength = 255;
  // A marker that is empty once "#" is read as the blank or line end after
  // it (as "#" alone is); %s is the marker's field.
  static constexpr const char* EmptyMarkerText =
      "The %s marker must not be empty: a \"#\" only stands for the blank or line end after the marker.";

  // The three values of the run: the index of the heading being edited (-1
  // for a new one), the names to test against, and whether it is new.
  THeadingEdit(bool isNew, int32_t index, std::vector<std::string> names);

  // Fills the five edits of an existing heading (a change of each).
  void Fill(const std::string& name, const THeadRecord& record);
  // After every change of one of the five edits: OK is enabled exactly when
  // all five are non-empty after TrimBlanks.
  void EditChange();
  // OK: false (and the warning shown) when a marker has no text the scan
  // could look for (EmptyMarkerText), or when the trimmed name is already
  // used by another heading; the editor then stays open with ActiveControl
  // naming the edit to correct.
  bool OKBtnClick();

  bool IsNew() const { return isNew_; }
  int32_t Index() const { return index_; }

  std::string Caption;
  std::string HeadNameEdit, HeadStartEdit, HeadStopEdit, TextStartEdit, TextStopEdit;
  bool OKBtnEnabled = false;
  std::string ActiveControl = "HeadNameEdit";

private:
  int32_t index_;
  std::vector<std::string> names_;
  bool isNew_;
};

// Shows the editor modally; true when OK closed it. The workbench installs
// the form; without one, EditHeading answers false.
using THeadingEditor = std::function<bool(THeadingEdit& editor)>;
void SetHeadingEditor(THeadingEditor editor);

// Runs the editor; on OK the five parameters hold the texts as typed
// (untrimmed) and the result is true.
bool EditHeading(bool isNew, int32_t index, const std::vector<std::string>& names, std::string& name,
                 std::string& headStart, std::string& headStop, std::string& textStart, std::string& textStop);

// ---------------------------------------------------------------------------
// The list dialog "Headings configuration".

class THeadingsModel {
public:
  static constexpr const char* Caption = "Headings configuration";

  // Becomes the list GetHeading and the settings slot of the headings use
  // until it is destroyed.
  THeadingsModel();
  ~THeadingsModel();
  THeadingsModel(const THeadingsModel&) = delete;
  THeadingsModel& operator=(const THeadingsModel&) = delete;

  const std::vector<THeading>& Headings() const { return headings_; }
  std::vector<std::string> Names() const;
  bool GetHeading(const std::string& name, std::string& headStart, std::string& headStop,
                  std::string& textStart, std::string& textStop) const;

  // On show: the button rule, and the focus to the list.
  void FormShow();
  // AddBtn, or Insert released in the list.
  void AddBtnClick();
  // EditBtn, a double-click, or Enter pressed in the list.
  void EditBtnClick();
  // RemoveBtn, or Delete released in the list.
  void RemoveBtnClick();

  void ReadHeadings(const platform::IniFile& ini);
  void WriteHeadings(platform::IniFile& ini) const;

  // The selected item of HeadingsList; -1 when none.
  int32_t ItemIndex = -1;
  bool EditBtnEnabled = false;
  bool RemoveBtnEnabled = false;
  std::string ActiveControl = "HeadingsList";

private:
  void UpdateButtons();

  std::vector<THeading> headings_;
  THeadingsModel* previous_ = nullptr;
};

// The list of the dialog created last and not yet destroyed; nullptr when
// none.
THeadingsModel* HeadingsModel();
// The four markers of the first heading named `name` (without regard to
// case); false, and the four left as they were, when there is none.
bool GetHeading(const std::string& name, std::string& headStart, std::string& headStop, std::string& textStart,
                std::string& textStop);
