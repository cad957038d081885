// The search dialog: everything of "Generate Concordance" but its widgets.
//
// The model holds the state of every control (texts, checks, enabled and
// visible flags, captions), the three histories and the three batch pattern
// lists, and runs the handlers the form forwards to it. The form is a thin
// binder: it shows the model after every handler and tells the model what
// the user typed or clicked. Messages go through the message functions of
// foundation/dialogs.h; sub-dialogs, the patterns file chooser and the
// modal showing of the form itself go through the interfaces below, so
// tests record the messages and script the answers.
//
// Setting a check box or radio button from code runs its click handler
// when its state changes, as a click would.
//
// The model also owns the program-wide search-dialog state that the frame's
// search driver reads, and its slot of the settings hub: the five search
// switches in [ConcordanceConfiguration] and the three histories in
// [SearchHistory].
#pragma once

#include "foundation/config_file.h"
#include "platform/ini_file.h"
#include "search/search_rec.h"

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

// ---------------------------------------------------------------------------
// Program-wide search-dialog state, shared with the search driver.

// The nine switches of batch output, in their order.
struct TBatchOutputOptions {
  bool ShowFileNames = false;
  bool ConcealHits = false;
  bool ConcealCollocates = false;
  bool LineNumbers = false;
  bool PageNumbers = false;
  bool RelativeLines = false;
  bool TrackedTags = false;
  bool SortLabels = false;
  bool SaveAsHTML = false;
  bool operator==(const TBatchOutputOptions&) const = default;
};

// Set by the driver before the dialog opens: the active child window is a
// concordance window.
extern bool ConcordanceActive;
// Cleared by the driver before the dialog opens; on OK the state of
// AppendSearchCheck when ConcordanceActive or SaveSearchToFile. Refine the
// active window (interactive) or append to the output file (batch).
extern bool AppendSearch;
// The state of BatchSearchCheck.
extern bool BatchSearch;
// The state of SaveToFileCheck; cleared by the driver and on leaving batch mode.
extern bool SaveSearchToFile;
extern TBatchOutputOptions BatchOutputOptions;

inline constexpr const char* ConcordanceConfigSection = "ConcordanceConfiguration";
inline constexpr const char* SearchHistorySection = "SearchHistory";

// ---------------------------------------------------------------------------
// Batch pieces and the patterns file.

// One pattern of a batch list: its text and the character position where it
// starts in the list's text, every line break counted as two characters
// (the selection position in the patterns editor).
struct TBatchPattern {
  std::string Text;
  int32_t Offset = 0;
  bool operator==(const TBatchPattern&) const = default;
};

// Trims every line of `list` of blanks and writes it back, then cuts the
// lines into pieces. Under Regex a line is one piece; under Text and Tag a
// piece runs up to the next comma (blanks before the comma stay with it),
// and blanks and commas after it are skipped. Blank lines give nothing, and
// neither does the empty piece before a comma that begins a line; the other
// pieces keep their offsets.
std::vector<TBatchPattern> BuildBatchPatterns(TSearchMode syntax, std::vector<std::string>& list);

// Reads a patterns file: one pattern, or one comma list, per line; CR LF, LF
// and CR all end a line. Throws std::runtime_error "Unable to open file: %s."
// when it cannot be read.
std::vector<std::string> LoadPatternsFile(const std::string& fileName);

// ---------------------------------------------------------------------------
// Controls.

struct TControlState {
  std::string Caption;
  bool Visible = true;
  bool Enabled = true;
  bool Checked = false;
};

class TPatternBoxForm;

// An editable combo box with its history.
struct TPatternBox {
  static constexpr size_t MaxLength = 255;

  std::string Name;               // the control's name, for the focus
  std::string Text;
  std::vector<std::string> Items;
  int32_t ItemIndex = -1;
  bool Visible = true;
  bool Enabled = true;
  // The form holding the box; nullptr for the search dialog itself.
  TPatternBoxForm* Form = nullptr;

  // Trims the text and moves it to the top of the items (a new text becomes
  // item 0, one found at i > 0 trades places with item 0), then selects it.
  void AddToHistory();
  // A text that was refused leaves the items again (the box keeps it), so
  // it neither stays in the history nor fills the box at the next opening.
  void ForgetText();
};

// Another form that holds pattern boxes (the headings/contexts form).
class TPatternBoxForm {
public:
  virtual ~TPatternBoxForm() = default;
  virtual bool IsActiveForm() const = 0;
  // The control that gets the focus now, or when the form is shown.
  virtual void SetActiveControl(const std::string& name) = 0;
  virtual void ShowModal() = 0;
};

// The restriction boxes of the headings/contexts form as the search dialog
// reads them.
class THdCtxRestrictions : public TPatternBoxForm {
public:
  virtual bool HeadingChecked() const = 0;
  virtual bool ContextChecked() const = 0;
  // The text of HeadingCombo.
  virtual std::string HeadingName() const = 0;
  virtual TPatternBox& HeadingPattern() = 0;
  virtual TPatternBox& LeftPattern() = 0;
  virtual TPatternBox& RightPattern() = 0;
  // The four markers of the named heading; false when it has no complete record.
  virtual bool GetHeading(const std::string& name, std::string& headStart, std::string& headStop,
                          std::string& textStart, std::string& textStop) = 0;
};

// The sub-dialogs the search dialog opens. A Has... that answers false keeps
// its button disabled; the defaults stand for dialogs that do not exist yet.
class TSearchDialogServices {
public:
  virtual ~TSearchDialogServices() = default;

  // The search parameters dialog, its context controls enabled or not; the
  // modal result.
  virtual bool HasSearchParameters() const { return false; }
  virtual int ExecuteSearchParameters(bool enableContext);
  // The batch search options, modally.
  virtual bool HasBatchOptions() const { return false; }
  virtual void ShowBatchOptions() {}
  // The output options in their saving form without a line limit, on the
  // nine batch switches; true for OK.
  virtual bool HasOutputOptions() const { return false; }
  virtual bool EditBatchOutputOptions(TBatchOutputOptions& options);
  // The patterns editor on a batch list, with a selection; true for OK.
  virtual bool HasPatternsEditor() const { return false; }
  virtual bool EditPatterns(std::vector<std::string>& list, int32_t selStart, int32_t selLength);
  // "Select patterns file to load": false when cancelled.
  virtual bool ChoosePatternsFile(std::string& fileName) = 0;
  // The headings/contexts form, or nullptr while there is none.
  virtual THdCtxRestrictions* Restrictions() { return nullptr; }
  // The application's display of an exception that reached it.
  virtual void ShowException(const std::exception& error);
};

// The form, shown modally.
class TSearchDialogView {
public:
  virtual ~TSearchDialogView() = default;
  // Shows the model and runs the form until OK closes it (OKBtnClick said
  // so) or Cancel; the modal result.
  virtual int ShowModal() = 0;
};

// What OK did: close the dialog or keep it open with the focus on a control.
struct TSearchOkOutcome {
  bool Close = false;
  std::string Focus;           // control name; empty when the focus stays
  bool ToEditor = false;       // sent to the patterns editor (opened when it exists)
  int32_t SelStart = 0;        // with this selection
  int32_t SelLength = 0;
};

class TSearchTemplateModel {
public:
  static constexpr const char* FormCaption = "Generate Concordance";
  static constexpr const char* SimpleCaption = "Text Search";
  static constexpr const char* AdvancedCaption = "Advanced Search";
  static constexpr const char* AdvancedBtnCaption = "Advance&d >>";
  static constexpr const char* SimpleBtnCaption = "<< Simp&le";
  static constexpr const char* PatternPrompt = "Enter &pattern to search for:";
  static constexpr const char* BatchPrompt = "Press \"Edit\" to edit or \"Import\" to load search patterns";
  static constexpr const char* ImportTitle = "Select patterns file to load";
  static constexpr const char* TagSearchRefused =
      "You cannot use \"Tag Search\". Define \"Part of Speech Tags\" first.";

  // Creates the lists and the controls in their starting state, becomes the
  // dialog ExecuteSearchDialog shows and fills slot 4 of the settings hub
  // (and, while empty, the slots of the search parameters and the batch
  // options with their defaults; see search_defaults.h). Neither pointer is
  // owned; both must outlive the model.
  TSearchTemplateModel(TSearchDialogServices& services, TSearchDialogView* view = nullptr);
  ~TSearchTemplateModel();
  TSearchTemplateModel(const TSearchTemplateModel&) = delete;
  TSearchTemplateModel& operator=(const TSearchTemplateModel&) = delete;

  void SetView(TSearchDialogView* view) { view_ = view; }
  TSearchDialogServices& Services() { return services_; }

  // ExecuteSearchDialog: opens the dialog in the simple or advanced layout,
  // shows it, and on OK fills the request and returns true. Cancel leaves
  // the request untouched.
  bool Execute(TSearchRec& request, bool advanced);

  // --- the steps of opening ---
  void SetLayout(bool advanced);
  void FormShow();
  void SelectSyntaxHistory();
  void UpdateExamples();
  void UpdateBatchLayout();
  void ResetSyntax();
  TSearchMode GetSearchSyntax() const;

  // --- the controls' handlers ---
  // A click on a radio button (or choosing it from code).
  void SyntaxRadioClick(TSearchMode syntax);
  void SentCheckClick(bool checked);
  void BatchSearchCheckClick(bool checked);
  void SaveToFileCheckClick(bool checked);
  void HdCtxCheckClick(bool checked);
  void IgnoreCaseCheckBoxClick(bool checked) { IgnoreCaseCheckBox.Checked = checked; }
  void PaddingCheckClick(bool checked) { PaddingCheck.Checked = checked; }
  void AppendSearchCheckClick(bool checked) { AppendSearchCheck.Checked = checked; }
  void AdvancedBtnClick();
  void OptionsBtnClick();
  void HdCtxBtnClick();
  void BatchOptionsBtnClick();
  void SaveOptionsBtnClick();
  void EditPatternsBtnClick();
  void ImportPatternsBtnClick();
  // Leaving SearchString.
  void SearchStringExit();
  TSearchOkOutcome OKBtnClick();
  void CancelBtnClick();

  // --- OK's helpers ---
  void StoreSearchSwitches();
  // Adds the box's text to its history, then refuses an empty text (unless
  // allowed) or an invalid one, focusing the box; a refused text leaves the
  // history again.
  bool CheckPatternBox(const std::string& name, bool emptyAllowed, TPatternBox& box);
  void FocusPatternBox(TPatternBox& box);
  // Valid, or false with the message. A valid pattern may leave the
  // skipping-characters question in `message` with SkippingWarning set.
  bool ValidatePattern(const std::string& pattern, const std::string& name, std::string& message);
  void FillSearchRec(TSearchRec& request);

  // --- settings ---
  void ReadSettings(const platform::IniFile& ini);
  void WriteSettings(platform::IniFile& ini);

  // --- the controls ---
  std::string Caption = FormCaption;
  bool Advanced = false;  // the layout
  TControlState BasePanel, AdvancedPanel, BottomPanel;
  TControlState PatternLabel;
  TControlState Examples;
  TPatternBox SearchString;
  TControlState EditPatternsBtn, ImportPatternsBtn, BatchOptionsBtn;
  TControlState PatternRadio, GrepRadio, TagRadio;
  TControlState IgnoreCaseCheckBox, PaddingCheck, SentCheck;
  TControlState HdCtxCheck, HdCtxBtn;
  TControlState AppendSearchCheck, BatchSearchCheck, SaveToFileCheck, SaveOptionsBtn;
  TControlState OptionsBtn, AdvancedBtn, OKBtn, CancelBtn;
  // The control with the focus.
  std::string ActiveControl;
  int ModalResult = 0;

  // --- the six lists ---
  std::vector<std::string> TextHistory, GrepHistory, TagHistory;
  std::vector<std::string>* CurrentHistory = nullptr;
  std::vector<std::string>* CurrentPatterns = nullptr;
  std::vector<std::string> Patterns, GrepPatterns, TagsPatterns;

  // Set by ValidatePattern when the pattern holds skipping characters.
  bool SkippingWarning = false;

private:
  void SetRadio(TSearchMode syntax);
  void SetSentCheck(bool checked);
  void SetBatchSearchCheck(bool checked);
  void SetSaveToFileCheck(bool checked);
  void SetHdCtxCheck(bool checked);
  void UpdateAppendEnabled();
  void FocusFirstControl();
  bool CheckBatchPieces(TSearchMode syntax, char gap, TSearchOkOutcome& outcome);
  bool CheckRestrictions();
  void UpdateServiceControls();
  void OpenPatternsEditor(int32_t selStart, int32_t selLength, TSearchOkOutcome& outcome);

  TSearchDialogServices& services_;
  TSearchDialogView* view_;
  TSearchOkOutcome* outcome_ = nullptr;  // of the OK running now
  TSearchTemplateModel* previous_ = nullptr;
  TConfigArea previousArea_;
};

// The dialog ExecuteSearchDialog shows: the model created last and not yet
// destroyed; nullptr when none.
TSearchTemplateModel* SearchTemplateModel();

// Shows the search dialog (Search: advanced false; Advanced Search: true);
// true on OK, with the request filled. False without a dialog.
bool ExecuteSearchDialog(TSearchRec& request, bool advanced);
// The dialog's slot of the settings hub.
void ReadSearchDialogSettings(const platform::IniFile& ini);
void WriteSearchDialogSettings(platform::IniFile& ini);
