// "Headings/Contexts Search": the two optional restrictions of a search.
//
// Heading search keeps a search to the text of headings, of one heading
// definition, whose heading text matches a pattern; context search keeps it
// between a hit of a left-context pattern and a hit of a right-context
// pattern. One form lives for the whole run, so its check boxes, texts and
// histories persist between searches; the search dialog validates its boxes
// on OK and reads them into the request.
//
// The form owns the histories of its three pattern boxes and the name of
// the heading to preselect, in [SearchHistory] after the search dialog's
// own lists.
#pragma once

#include "forms/headings.h"
#include "forms/search_dialog_model.h"

#include <string>
#include <vector>

// The form as the model drives it.
class THdCtxView {
public:
  virtual ~THdCtxView() = default;
  // The form is the active (modal, focused) window.
  virtual bool IsActiveForm() const = 0;
  // Shows the form modally; it runs FormShow first.
  virtual void ShowModal() = 0;
  // Moves the focus to the model's ActiveControl while the form is shown.
  virtual void FocusActiveControl() {}
  // Shows the headings dialog modally.
  virtual void ShowHeadings() = 0;
};

// A drop-down list (not editable).
struct TListBoxState {
  std::vector<std::string> Items;
  int32_t ItemIndex = -1;
  bool Enabled = true;
  std::string Text() const
  {
    return ItemIndex >= 0 && size_t(ItemIndex) < Items.size() ? Items[size_t(ItemIndex)] : std::string();
  }
};

class THdCtxForm : public THdCtxRestrictions {
public:
  static constexpr const char* Caption = "Headings/Contexts Search";

  // Reads its names from `headings`; becomes slot 10 of the settings hub
  // until destroyed. Neither is owned.
  explicit THdCtxForm(THeadingsModel& headings, THdCtxView* view = nullptr);
  ~THdCtxForm() override;
  THdCtxForm(const THdCtxForm&) = delete;
  THdCtxForm& operator=(const THdCtxForm&) = delete;

  void SetView(THdCtxView* view) { view_ = view; }

  // --- handlers ---
  void HeadingCheckClick(bool checked);
  void ContextCheckClick(bool checked);
  // The user chose an item of HeadingCombo.
  void HeadingComboChange(int32_t index);
  void HeadingEditBtnClick();
  // Leaving one of the three pattern boxes.
  void PatternExit(TPatternBox& box);
  // Fills HeadingCombo from the heading list and selects LastHeading.
  void RefreshHeadingCombo();
  // On every show: the refresh, then the initial focus while the active
  // control is still OKButton.
  void FormShow();

  // --- THdCtxRestrictions ---
  bool HeadingChecked() const override { return HeadingCheck.Checked; }
  bool ContextChecked() const override { return ContextCheck.Checked; }
  std::string HeadingName() const override { return HeadingCombo.Text(); }
  TPatternBox& HeadingPattern() override { return headingPattern_; }
  TPatternBox& LeftPattern() override { return leftPattern_; }
  TPatternBox& RightPattern() override { return rightPattern_; }
  bool GetHeading(const std::string& name, std::string& headStart, std::string& headStop, std::string& textStart,
                  std::string& textStop) override;
  // --- TPatternBoxForm ---
  bool IsActiveForm() const override;
  void SetActiveControl(const std::string& name) override;
  void ShowModal() override;

  // --- settings ---
  void ReadHdCtxSettings(const platform::IniFile& ini);
  void WriteHdCtxSettings(platform::IniFile& ini);

  // --- the controls ---
  TControlState HeadingCheck, ContextCheck, HeadingEditBtn, OKButton;
  TControlState HeadPatternLabel, LeftPatternLabel, RightPatternLabel;
  TListBoxState HeadingCombo;
  // The control with the focus; kept between shows.
  std::string ActiveControl = "OKButton";
  // The name of the heading to preselect.
  std::string LastHeading;

private:
  THeadingsModel& headings_;
  THdCtxView* view_;
  TPatternBox headingPattern_, leftPattern_, rightPattern_;
  TConfigArea previousArea_;
};
