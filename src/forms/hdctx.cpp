#include "forms/hdctx.h"

#include "foundation/config_file.h"

#include <utility>

namespace {

void ReadHistory(const platform::IniFile& ini, const char* prefix, TPatternBox& box)
{
  ReadIniList(ini, SearchHistorySection, prefix, box.Items);
  // The most recent entry is the box's text.
  box.ItemIndex = box.Items.empty() ? -1 : 0;
  if (!box.Items.empty())
    box.Text = box.Items[0];
}

}  // namespace

THdCtxForm::THdCtxForm(THeadingsModel& headings, THdCtxView* view) : headings_(headings), view_(view)
{
  HeadingCheck.Caption = "&Heading search:";
  HeadingEditBtn.Caption = "&Edit...";
  HeadPatternLabel.Caption = "Pattern:";
  ContextCheck.Caption = "&Context search:";
  LeftPatternLabel.Caption = "&Left:";
  RightPatternLabel.Caption = "&Right:";
  OKButton.Caption = "Close";
  headingPattern_.Name = "HeadingPattern";
  leftPattern_.Name = "LeftPattern";
  rightPattern_.Name = "RightPattern";
  for (TPatternBox* box : {&headingPattern_, &leftPattern_, &rightPattern_})
    box->Form = this;
  HeadingCheckClick(false);
  ContextCheckClick(false);
  previousArea_ = RegisterConfigArea(csHeadingContext, {[this](const platform::IniFile& ini) { ReadHdCtxSettings(ini); },
                                                        [this](platform::IniFile& ini) { WriteHdCtxSettings(ini); }});
}

THdCtxForm::~THdCtxForm()
{
  RegisterConfigArea(csHeadingContext, std::move(previousArea_));
}

void THdCtxForm::HeadingCheckClick(bool checked)
{
  HeadingCheck.Checked = checked;
  HeadingCombo.Enabled = HeadPatternLabel.Enabled = headingPattern_.Enabled = checked;
}

void THdCtxForm::ContextCheckClick(bool checked)
{
  ContextCheck.Checked = checked;
  LeftPatternLabel.Enabled = RightPatternLabel.Enabled = checked;
  leftPattern_.Enabled = rightPattern_.Enabled = checked;
}

void THdCtxForm::HeadingComboChange(int32_t index)
{
  HeadingCombo.ItemIndex = index;
  // The user's choice is the heading preselected next time.
  if (index >= 0 && size_t(index) < HeadingCombo.Items.size())
    LastHeading = HeadingCombo.Items[size_t(index)];
}

void THdCtxForm::HeadingEditBtnClick()
{
  if (view_)
    view_->ShowHeadings();
  RefreshHeadingCombo();
}

void THdCtxForm::PatternExit(TPatternBox& box)
{
  box.AddToHistory();
}

void THdCtxForm::RefreshHeadingCombo()
{
  HeadingCombo.Items = headings_.Names();
  if (HeadingCombo.Items.empty()) {
    HeadingCombo.ItemIndex = -1;
    // An empty list turns heading search off, so that no search looks up a
    // heading without a name.
    HeadingCheckClick(false);
    HeadingCheck.Enabled = false;
  } else {
    const int32_t i = LastHeading.empty() ? -1 : IndexOfName(LastHeading, HeadingCombo.Items);
    HeadingCombo.ItemIndex = i < 0 ? 0 : i;
    HeadingCheck.Enabled = true;
  }
  HeadingCheckClick(HeadingCheck.Checked);
  ContextCheckClick(ContextCheck.Checked);
}

void THdCtxForm::FormShow()
{
  RefreshHeadingCombo();
  if (ActiveControl != "OKButton")
    return;
  if (HeadingCheck.Checked)
    ActiveControl = headingPattern_.Name;
  else if (ContextCheck.Checked)
    ActiveControl = leftPattern_.Name;
  else if (HeadingCheck.Enabled)
    ActiveControl = "HeadingCheck";
  else
    ActiveControl = "ContextCheck";
}

bool THdCtxForm::GetHeading(const std::string& name, std::string& headStart, std::string& headStop,
                            std::string& textStart, std::string& textStop)
{
  return headings_.GetHeading(name, headStart, headStop, textStart, textStop);
}

bool THdCtxForm::IsActiveForm() const
{
  return view_ && view_->IsActiveForm();
}

void THdCtxForm::SetActiveControl(const std::string& name)
{
  ActiveControl = name;
  if (IsActiveForm())
    view_->FocusActiveControl();
}

void THdCtxForm::ShowModal()
{
  if (view_)
    view_->ShowModal();
}

void THdCtxForm::ReadHdCtxSettings(const platform::IniFile& ini)
{
  ReadHistory(ini, "Heading", headingPattern_);
  ReadHistory(ini, "Left", leftPattern_);
  ReadHistory(ini, "Right", rightPattern_);
  LastHeading = ini.readString(SearchHistorySection, "LastHeading", "");
}

void THdCtxForm::WriteHdCtxSettings(platform::IniFile& ini)
{
  // The search dialog's writer has erased and refilled the section before.
  WriteIniList(ini, SearchHistorySection, "Heading", headingPattern_.Items);
  WriteIniList(ini, SearchHistorySection, "Left", leftPattern_.Items);
  WriteIniList(ini, SearchHistorySection, "Right", rightPattern_.Items);
  ini.writeString(SearchHistorySection, "LastHeading", LastHeading);
}
