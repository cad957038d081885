// The concordance window: the hits of one search as key-word-in-context
// lines (ConcordWindow, a line view over the window's hit list) and, above
// them, a read-only pane with the wider context of the current line and the
// hit highlighted (ContextWindow).
//
// The search driver creates the window with its caption text, hands it the
// search, runs the search with AddHit as the hit callback and calls
// AfterSearch; hits appear while the search runs. The window then offers
// display options, deletion, copying, letter marks, hit information, save
// and print.
//
// The window refuses to close while the program is busy: a search, save or
// print may be using its hit list.
#pragma once

#include "foundation/settings.h"
#include "foundation/strings_view_types.h"
#include "workbench/frame/child_window.h"
#include "workbench/frame/frame_dialogs.h"

#include <QElapsedTimer>
#include <QPointer>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QSplitter;
class QTextCharFormat;
class QTextEdit;
class QTimer;
class TConcordItem;
class TConcordItems;
class TConcordStrings;
class TSearch;
class TStringsView;
class TTextSink;
struct TOutputOptions;

// Asks the user for a font and its colour, starting from font; true when the
// user confirmed, font then holding the choice (its character set is kept).
using TConcordanceFontChooser = std::function<bool(TFontRec& font, const QString& title)>;
// Installs the chooser of the font commands (tests answer without a dialog);
// an empty one restores the font and colour dialog. Returns the old one.
TConcordanceFontChooser SetConcordanceFontChooser(TConcordanceFontChooser chooser);
// Asks through the installed chooser (the font and colour dialog by
// default); the font commands of the list windows use it too.
bool ChooseFont(TFontRec& font, const QString& title);

// Switches a widget's painting off for its lifetime and on again at its end,
// also when an exception leaves the scope. A widget that does not paint at
// the start (its parent holds painting off, as a sub-window does while it is
// being maximised) is left alone: switching it off and "back" would pin it
// off for good, since a widget switched off on its own no longer follows its
// parent.
class TRedrawOff {
public:
  explicit TRedrawOff(QWidget* widget);
  ~TRedrawOff();
  TRedrawOff(const TRedrawOff&) = delete;
  TRedrawOff& operator=(const TRedrawOff&) = delete;

private:
  QWidget* widget_;
  bool locked_;
};

// Puts "[[" and "]]" around the line's hit: the first run marked as the hit
// (a collocate left of the hit comes before it in the runs). A line without a
// hit run, or with an empty one, stays as it is.
void BracketHitRun(std::string& text, const TSVFormatArray& runs);

class TConcordanceForm : public TMDIChildForm
{
  Q_OBJECT
public:
  static constexpr int InitialWidth = 580;
  static constexpr int InitialHeight = 445;
  // The collocate colour of a new or refined window: yellow.
  static constexpr TColor InitialCollocColour = 0x00FFFF;
  // Letter labels: blue.
  static constexpr TColor LetterColour = 0xFF0000;
  static constexpr uint8_t NoLetter = 255;

  // An empty window for the hits of a search whose caption text is
  // searchText (the pattern, "(multiple patterns)", refinements joined by
  // "/").
  explicit TConcordanceForm(std::string searchText = {}, QWidget* parent = nullptr);
  ~TConcordanceForm() override;

  // Every concordance window that exists, in the order of creation.
  static std::vector<TConcordanceForm*> ConcordanceWindows();

  // --- components -------------------------------------------------------
  QFrame* BottomPanel = nullptr;
  QLabel* MatchCountWindow = nullptr;
  QLabel* SortOrderWindow = nullptr;
  QFrame* TemplatePanel = nullptr;
  QLabel* TemplateWindow = nullptr;
  QFrame* ContainerPanel = nullptr;
  QTextEdit* ContextWindow = nullptr;
  QSplitter* Splitter = nullptr;
  TStringsView* ConcordWindow = nullptr;

  QMenu* CM_Display = nullptr;
  QMenu* CMD_Font = nullptr;
  QAction* CMD_ChangeFont = nullptr;
  QAction* CMD_ChangeHighlightFont = nullptr;
  QAction* CMD_ChangeCollocateFont = nullptr;
  QAction* CMD_HiliteCollocates = nullptr;
  QAction* CMD_ConcealHits = nullptr;
  QAction* CMD_ConcealCollocates = nullptr;
  QAction* CMD_ContextOptions = nullptr;
  QAction* CMD_WordWrap = nullptr;
  QMenu* CMD_Suppress = nullptr;
  QAction* CMD_SuppressTags = nullptr;
  QAction* CMD_SuppressPartOfSpeech = nullptr;
  QAction* CMD_SuppressWords = nullptr;
  QAction* CMD_Distribution = nullptr;
  QAction* CMD_DeleteItem = nullptr;
  QAction* CMD_CopytoClipboard = nullptr;

  // The sort menu: five submenus of two-key sorts, two shortcuts, text
  // order and the advanced sort (windows/concordance_sort_commands.cpp).
  QMenu* CM_Sort = nullptr;
  QAction* CMS_Right_Left = nullptr;
  QAction* CMS_Left_Right = nullptr;
  QAction* CMS_TextOrder = nullptr;
  QAction* CMS_AdvSort = nullptr;

  QMenu* PopupMenu = nullptr;
  QMenu* PM_Assign = nullptr;
  std::array<QAction*, 26> PM_Letters{};  // "a" to "z"
  QAction* PM_Remove = nullptr;
  QAction* PM_RemoveAllLetters = nullptr;
  QAction* PM_DisplayInfo = nullptr;

  // The window's own save dialog.
  TFileDialog SaveDialog{"SaveDialog", TFileDialog::SaveMode};

  // --- the search -------------------------------------------------------
  // The search that produced the hits, or nullptr; the window frees it.
  TSearch* Search() const { return search_.get(); }
  // Takes the search (the old one is freed); nullptr frees it.
  void SetSearch(std::unique_ptr<TSearch> search);
  const std::string& SearchText() const { return searchText_; }
  void SetSearchText(std::string text) { searchText_ = std::move(text); }

  // The hit callback: numbers the hit and appends it; the view learns that
  // its source grew and the count is updated. When the hit cannot be
  // appended, its number is given back, it is freed and the failure passes on.
  void AddHit(std::unique_ptr<TConcordItem> item);
  // After the search run: the collocate colour from the settings' collocate
  // font, and collocate highlighting when it is switched on.
  void AfterSearch();
  // The collocate colour of a new window, and a relayout (a refine).
  void ResetCollocColour();

  TConcordItems& Items() const { return *items_; }
  TConcordStrings& Strings() const { return *strings_; }
  // The order the lines are in.
  TAdvancedSortColOptions& SortSpec() { return sortSpec_; }
  uint8_t ContextType() const { return contextType_; }
  const std::array<int32_t, 4>& ContextSizes() const { return contextSizes_; }
  bool ConcealHits() const { return concealHits_; }
  bool ConcealCollocates() const { return concealCollocates_; }
  bool HighlightCollocates() const { return highlightCollocates_; }
  bool WordWrap() const { return wordWrap_; }
  int32_t NextHitNumber() const { return nextHitNumber_; }
  int32_t PopupTarget() const { return popupTarget_; }
  // The hit's place in the pane's text (characters, not bytes).
  int32_t PaneHitStart() const { return paneHitStart_; }
  int32_t PaneHitLength() const { return paneHitLength_; }
  // The ranges of the pane's text, 1-based starts; the first is the hit.
  const std::vector<std::pair<int32_t, int32_t>>& ContextRanges() const { return contextRanges_; }
  // The window's collocation window, or nullptr.
  TMDIChildForm* CollocationWindow() const { return collocationWindow_; }
  void SetCollocationWindow(TMDIChildForm* window) { collocationWindow_ = window; }

  // --- display ----------------------------------------------------------
  // "  <n> match" or "  <n> matches", and "Strings matching: " + SearchText.
  void UpdateMatchCount();
  // Fills the pane with the context of the current line, if there is one.
  void ShowContextOfCurrent();
  // The pane: the text before the hit and after it in the normal font, the
  // hit in the highlight font.
  void ShowContext();
  // Appends text (bytes of the normal font's code page) in a font; the end
  // position in the pane.
  int32_t AppendContextPart(const std::string& text, const TFontRec& font);
  // Optionally sets the pane's wrapping, then marks the hit and brings it
  // into view, leaving the focus where it is.
  void ShowHitInPane(bool redraw, bool setWrap, bool wrap);
  // Scrolls the pane sideways so that the hit shows with context on both
  // sides, at the line starts when the hit fits there.
  void ScrollHitIntoView();
  // The frame's status line: the current hit's corpus item and location.
  void UpdateStatusLine();
  // The list, the hit list and the pane take the settings' fonts.
  void ApplyConcordanceFonts();
  // The label column shows exactly when some hit has a letter.
  void UpdateLabelColumn();

  // --- commands ---------------------------------------------------------
  void CMD_ChangeFontClick();
  void CMD_ChangeHighlightFontClick();
  void CMD_ChangeCollocateFontClick();
  void CMD_HiliteCollocatesClick();
  void CMD_ConcealHitsClick();
  void CMD_ConcealCollocatesClick();
  void CMD_WordWrapClick();
  void CMD_ContextOptionsClick();
  // clicked: 0 tags, 1 part-of-speech tags, 2 words.
  void SuppressClick(int clicked);
  // Deletes the selected lines.
  void DeleteSelectedHits();
  // Copies from the pane or the list, whichever is the active control.
  void CopyConcordance();
  // Save as File and Print of the frame's Concordance menu. Failures are
  // shown; what was written stays.
  void SaveConcordance();
  void PrintConcordance();
  // A corpus item was removed: its hits go, later items' hits move down.
  void RemoveFileHits(int32_t fileIndex);
  // Frees the collocate tables, switches highlighting off and closes the
  // collocation window.
  void DropCollocates();
  // While highlighting: the tables get the top limit n and every hit is
  // ranked anew.
  void ReRankCollocates(int32_t n);
  // Collocate Frequency: brings the collocation window to the front, or
  // makes it over the tables of the current span (generated when they are
  // not valid). A cancelled generation leaves no tables and no window.
  void ShowCollocateFrequency();
  // The collocation report of the tables, at most maxLines rows (0: all).
  void WriteCollocations(TTextSink& file, int32_t maxLines);
  // Sorts the hits by a copy of sortSpec, or by customList when one is given
  // (the hit list keeps its own copy). A menu sort (advanced false) uses
  // keys 1 and 2 only, none reversed. Nothing happens when the new order
  // would be the current one and no list is given; otherwise SortSpec and
  // the sort panel take the new order.
  void SortConcordance(const TAdvancedSortColOptions& sortSpec,
                       const std::vector<TAdvancedSortColItem>* customList, bool advanced);
  // A fixed sort of the menu: keys 1 and 2, the others unsorted.
  void SortByKeys(uint8_t first, uint8_t second);
  // "Advanced Sort": the dialog on the settings' AdvancedSort, then the sort.
  void CMS_AdvSortClick();
  // Width of the tracked-tag column of output: the longest tag name (the
  // start text standing in for an empty name) + 2; 0 without tracked tags.
  static int32_t LongestTagNameWidth();

  // --- the pop-up menu of the list --------------------------------------
  // The line the pop-up acts on (a right-button release sets it).
  void SetPopupTarget(int32_t line) { popupTarget_ = line; }
  // Before the pop-up shows: enables its items and ticks the target's letter.
  void PopupMenuPopup();
  // letter: 'a' to 'z'.
  void AssignLetterClick(char letter);
  void PM_RemoveClick();
  void PM_RemoveAllLettersClick();
  void PM_DisplayInfoClick();

  // What the Distribution command opens; set by the distribution window's
  // commands (nothing happens while it is empty).
  static std::function<void(TConcordanceForm&)> DistributionCommand;

  // --- the frame's messages ---------------------------------------------
  void updateMenus() override;     // WM_UPDATEMENUS
  void tagsChanged() override;     // WM_TAGSCHANGED
  void refreshContext() override;  // WM_REFRESHCONCORDANCES
  void activated() override;
  void deactivated() override;

  // The format callback of the list for line index.
  void ConcordWindowFormatItem(int32_t index, std::string& text, TSVFormatArray& format, TSVLabelInfo& label);

signals:
  // The window closes: the windows that show its hits close with it.
  void Closed();

protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void CreateComponents();
  void CreateMenus();
  void CreateSortMenu();
  void FormCreate();
  void SetPaneHeight();
  void ApplyListAlignment();
  void ClearPane();
  void SetItemsHighlighting(bool on);
  void CloseCollocationWindow();
  void ChangeFont(TFontRec& font, const QString& title);
  QTextCharFormat CharFormatOf(const TFontRec& font) const;
  void CopyListLines();
  void CopyPaneSelection();
  void WriteReport(TTextSink& file, const TOutputOptions& options, bool printing);
  // What the output options dialog starts from for Save and Print.
  TOutputOptions reportOptions() const;
  bool ValidTarget() const;

  int32_t popupTarget_ = -1;
  std::unique_ptr<TSearch> search_;
  std::unique_ptr<TConcordItems> items_;
  std::unique_ptr<TConcordStrings> strings_;
  uint8_t contextType_ = 0;
  std::array<int32_t, 4> contextSizes_{};
  bool concealHits_ = false;
  bool concealCollocates_ = false;
  bool highlightCollocates_ = false;
  std::string contextBuffer_;  // the pane's text while it is being filled
  std::vector<std::pair<int32_t, int32_t>> contextRanges_;
  int32_t paneHitStart_ = 0;
  int32_t paneHitLength_ = 0;
  QPointer<TMDIChildForm> collocationWindow_;
  std::string searchText_;
  TAdvancedSortColOptions sortSpec_;
  int32_t nextHitNumber_ = 0;

  bool wordWrap_ = false;                  // the tick of Word Wrap
  std::array<bool, 3> suppressChecks_{};  // ticks of the three suppress items
  int32_t lastMatchCountValue_ = -1;      // the count MatchCountWindow shows (-1: the creation text)
  // While hits arrive, the count and the scroll range are brought up to date
  // about every CountInterval ms and once at the end, not at every hit.
  static constexpr int CountInterval = 100;
  void scheduleCountUpdate();
  void flushCountUpdate();
  QTimer* countTimer_ = nullptr;
  QElapsedTimer countClock_;
  bool itemsPending_ = false;  // hits not yet told to the line view
  std::string lastTemplateText_;          // the search text TemplateWindow shows
  bool templateShown_ = false;
};
