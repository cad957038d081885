// Messages, questions, one-line input and progress, as the core sees them;
// the file-name maker and a few helpers on character sets.
//
// The workbench installs a DialogService that shows Qt forms. Until one is
// installed (and in core tests that install no fake) a headless service
// prints messages to stderr, answers every question with the box's Escape
// button, refuses input and gives plain progress dialogs that only keep
// their values.
//
// Messages and progress belong to the user-interface thread; the message
// functions called on another thread run through the UI bridge.
#pragma once

#include "foundation/settings.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

// --- message boxes -------------------------------------------------------------

// Kinds: caption and icon of the box.
enum TMsgDlgType : int {
  mtWarning = 0,       // "Warning", exclamation icon
  mtError = 1,         // "Error", stop icon
  mtInformation = 2,   // "Information", information icon
  mtConfirmation = 3,  // "Confirm", question icon
  mtCustom = 4,        // the application's title, no icon
};

// Buttons, by bit number; they are laid out in this order.
enum TMsgDlgBtn : int {
  mbYes = 0, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbNoToAll, mbYesToAll, mbHelp,
};
inline constexpr int MessageButtonCount = 11;
using TMsgDlgButtons = uint32_t;
constexpr TMsgDlgButtons Btn(TMsgDlgBtn b) { return TMsgDlgButtons(1) << b; }

// Modal results.
enum : int {
  mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5,
  mrYes = 6, mrNo = 7, mrAll = 8, mrNoToAll = 9, mrYesToAll = 10,
};

struct TMsgButtonInfo {
  const char* Name;     // component name
  const char* Caption;  // with its accelerator
  int ModalResult;      // Help's 0 does not close the box
};
extern const TMsgButtonInfo MessageButtonInfo[MessageButtonCount];

// The title of kind 4 boxes and of the program's error boxes.
extern std::string ApplicationTitle;
// "Warning", "Error", "Information", "Confirm", or ApplicationTitle.
std::string MessageCaption(TMsgDlgType kind);

// The button Enter presses: OK, else Yes, else Retry; -1 when none.
int DefaultMessageButton(TMsgDlgButtons buttons);
// The button Escape presses: Abort whenever present, else Cancel, else No,
// else OK; -1 when none.
int CancelMessageButton(TMsgDlgButtons buttons);

struct MessageBoxRequest {
  std::string Message;
  TMsgDlgType Kind = mtInformation;
  TMsgDlgButtons Buttons = Btn(mbOK);
  int Y = -1;              // a non-negative value replaces the centred top
  int X = -1;              // and left
  int HelpContext = 0;
  TMsgDlgBtn Focused = mbOK;
};

// --- progress --------------------------------------------------------------

// The cancel protocol of every progress dialog's tag.
enum : int { ProgressRunning = 0, ProgressCancel = 1, ProgressCancelAll = 2 };

enum class ProgressField {
  Caption, ProgressLabel, SpecialText, Gauge, Visible,
  SubProgressLabel, SubGauge, ActionLabel, DetailsButton, SearchInfo, Panels,
};

// A single-gauge progress dialog. The caller sets its texts and gauge, shows
// it (modeless), calls poll() between units of work and frees it. Its buttons
// only set the tag: 1 for Cancel, 2 for Cancel All.
//
// The values are kept here; a form shows them when told of a change.
class ProgressDialog {
public:
  explicit ProgressDialog(bool multiFile = false);
  virtual ~ProgressDialog();
  ProgressDialog(const ProgressDialog&) = delete;
  ProgressDialog& operator=(const ProgressDialog&) = delete;

  // 0 running, 1 Cancel, 2 Cancel All. Reading it lets no event run.
  int Tag() const { return tag_; }
  void SetTag(int tag) { tag_ = tag; }
  // Lets pending user-interface events run (a button may be pressed then),
  // then reads the tag.
  virtual int poll();

  void SetCaption(std::string_view text);
  void SetProgressLabel(std::string_view text);
  void SetSpecialText(std::string_view text);
  void SetSpecialTextVisible(bool visible);
  // The gauge shows Progress as a percentage of MaxValue.
  void SetMaxValue(int64_t value);
  void SetProgress(int64_t value);
  void Show();
  void Hide();

  bool MultiFile() const { return multiFile_; }
  // The user may work on in the main window while the pass runs (the scan
  // of a download still arriving): the form shows without taking the
  // keyboard. Set before Show().
  void SetBackground(bool on) { background_ = on; }
  bool Background() const { return background_; }
  const std::string& Caption() const { return caption_; }
  const std::string& ProgressLabel() const { return progressLabel_; }
  const std::string& SpecialText() const { return specialText_; }
  bool SpecialTextVisible() const { return specialTextVisible_; }
  int64_t MaxValue() const { return maxValue_; }
  int64_t Progress() const { return progress_; }
  bool Visible() const { return visible_; }
  // The gauge's percentage, 0 to 100.
  int Percent() const { return PercentOf(progress_, maxValue_); }
  static int PercentOf(int64_t value, int64_t max);

  // The progress dialog created last and not yet freed; nullptr when none.
  // A press of Cancel by a test's fake bridge goes there.
  static ProgressDialog* Topmost();

protected:
  // A value changed; forms show it.
  virtual void OnChanged(ProgressField field) { (void)field; }

private:
  int tag_ = ProgressRunning;
  bool multiFile_;
  std::string caption_;
  std::string progressLabel_;
  std::string specialText_;
  bool specialTextVisible_;
  bool background_ = false;
  int64_t maxValue_ = 100;
  int64_t progress_ = 0;
  bool visible_ = false;
};

// The value labels of a search-information panel (the search's progress
// dialog, the distribution window).
enum class SearchInfoField {
  Syntax, IgnoreCase, FreqOfHits, SentMode,      // OptionsPanel
  SkipChars, EqualChars,                         // PaddingPanel
  HeadStart, HeadStop, HeadMatch, TextStart, TextStop,  // HeadingPanel
  LeftContext, RightContext,                     // ContextPanel
};
inline constexpr int SearchInfoFieldCount = 13;
enum class SearchInfoPanel { Options, Padding, Heading, Context };
inline constexpr int SearchInfoPanelCount = 4;

class SearchInfoLabels {
public:
  virtual ~SearchInfoLabels() = default;
  virtual void SetSearchInfo(SearchInfoField field, std::string_view text) = 0;
  virtual void SetPanelVisible(SearchInfoPanel panel, bool visible) = 0;
  // The panel's height in pixels (0 where nothing is drawn).
  virtual int PanelHeight(SearchInfoPanel panel) const = 0;
};

// The search's two-gauge progress dialog: the current file and the whole
// corpus, an action line, Cancel (tag 1) and a details toggle showing the
// search-information panels. It starts with its details hidden.
class DoubleProgressDialog : public ProgressDialog, public SearchInfoLabels {
public:
  DoubleProgressDialog();

  void SetSubProgressLabel(std::string_view text);
  void SetSubMaxValue(int64_t value);
  void SetSubProgress(int64_t value);
  void SetActionLabel(std::string_view text);
  void SetDetailsButtonVisible(bool visible);
  void SetSearchInfo(SearchInfoField field, std::string_view text) override;
  void SetPanelVisible(SearchInfoPanel panel, bool visible) override;
  int PanelHeight(SearchInfoPanel panel) const override { (void)panel; return 0; }
  // Shows or hides the details (what the details button does).
  virtual void SetDetailsShown(bool shown);

  const std::string& SubProgressLabel() const { return subProgressLabel_; }
  int64_t SubMaxValue() const { return subMaxValue_; }
  int64_t SubProgress() const { return subProgress_; }
  int SubPercent() const { return PercentOf(subProgress_, subMaxValue_); }
  const std::string& ActionLabel() const { return actionLabel_; }
  bool DetailsButtonVisible() const { return detailsButtonVisible_; }
  const std::string& SearchInfo(SearchInfoField field) const { return info_[int(field)]; }
  bool PanelVisible(SearchInfoPanel panel) const { return panels_[int(panel)]; }
  bool DetailsShown() const { return detailsShown_; }

private:
  std::string subProgressLabel_;
  int64_t subMaxValue_ = 100;
  int64_t subProgress_ = 0;
  std::string actionLabel_;
  bool detailsButtonVisible_ = true;
  std::string info_[SearchInfoFieldCount];
  bool panels_[SearchInfoPanelCount] = {true, true, true, true};
  bool detailsShown_ = false;
};

// --- the installable service -------------------------------------------------

class DialogService {
public:
  virtual ~DialogService() = default;
  // Shows the box modally; its modal result.
  virtual int ShowMessageBox(const MessageBoxRequest& request) = 0;
  // The one-line input box; true for OK. text receives what the box holds
  // when it closes, on Cancel too.
  virtual bool QueryInput(std::string_view caption, std::string_view prompt, const TFontRec& font,
                          std::string& text) = 0;
  // The progress dialogs; without a user interface, dialogs that keep their
  // values and show nothing.
  virtual std::unique_ptr<ProgressDialog> CreateProgressForm(bool multiFile);
  virtual std::unique_ptr<DoubleProgressDialog> CreateDoubleProgressForm();
};

DialogService& dialogService();
// Installs a service (nullptr restores the headless one); the previous one.
DialogService* SetDialogService(DialogService* service);

// Opens the help at a context; does nothing until a hook is installed.
void SetHelpHook(std::function<void(int helpContext)> hook);
void ShowHelp(int helpContext);

// --- the message functions -----------------------------------------------------

int ShowMessageBox(std::string_view message, TMsgDlgType kind, TMsgDlgButtons buttons, int y, int x,
                   int helpContext, TMsgDlgBtn focused);
// OK and Cancel, focus on OK when defaultOk else on Cancel; true for OK.
bool ConfirmOkCancel(std::string_view message, bool defaultOk);
// Yes and No; true for Yes.
bool ConfirmYesNo(std::string_view message, bool defaultYes);
// The same as a warning.
bool WarnYesNo(std::string_view message, bool defaultYes);
void ShowWarning(std::string_view message);
void ShowError(std::string_view message);
void ShowInfo(std::string_view message);
// The one-line input box with caption, prompt and the edit's font; the edit
// starts empty. text is what the box held when it closed, on Cancel too.
bool QueryInput(std::string_view caption, std::string_view prompt, const TFontRec& font, std::string& text);
// With multiFile: Cancel and Cancel All shown, the single Cancel and the
// special text hidden; without: the other way round, the special text empty.
std::unique_ptr<ProgressDialog> CreateProgressForm(bool multiFile);
std::unique_ptr<DoubleProgressDialog> CreateDoubleProgressForm();

// Shows the busy cursor for its lifetime (through the UI bridge); nests.
class ScopedHourglass {
public:
  ScopedHourglass();
  ~ScopedHourglass();
  ScopedHourglass(const ScopedHourglass&) = delete;
  ScopedHourglass& operator=(const ScopedHourglass&) = delete;
};

// --- file names and character sets ---------------------------------------------

// The folder part (when there is one) expanded to a full path, with trailing
// separators reduced to one; the first "." of the name splits base and
// extension; no "." takes defaultExt, a name ending in "." gets none; the
// characters " * / : < > ? \ | are removed from the base.
std::string MakeFileName(std::string_view fileName, std::string_view defaultExt);
// token := the text before the first character of the set; that part and the
// character leave text. Without such a character the token is the whole text
// and text becomes empty.
void CutToken(std::string& text, const TCharSet& set, std::string& token);
void DeleteChars(std::string& text, const TCharSet& set);
TCharSet CharSetOf(std::string_view text);
// Digits of the value's magnitude in base (2 or more; a smaller base counts
// as 10): 1 below the base, one more for each further division.
int32_t DigitCount(int32_t value, int32_t base);
// A trace hook that does nothing.
void TraceCall(std::string_view text);
