// What the frame's menu commands do. Most hand over to the dialog or window
// that owns the work; the frame keeps the busy flags around them (by scope,
// so that an exception never leaves the program busy) and dispatches on the
// kind of the active child window. The one command the frame carries out
// itself is the search (GenerateConcordance).
//
// InstallFrameCommands registers the frame's own commands (File, Window and
// Info menus, the search driver and the output commands) and then lets each
// feature register its own from a file of its own (installFeatureCommands);
// an item without a command stays disabled.
#pragma once

#include <QObject>

#include <memory>
#include <string>

class TConcordItem;
class TConcordItems;
class TCorpusFrame;
class TFileTextSink;
class TFrameForm;
class TSearch;
class TSearchRec;

inline constexpr const char* UnfinishedURLsSearchText =
    "There are unfinished URL(s). Search results may be incomplete. Continue anyway?";
inline constexpr const char* MultiplePatternsCaption = "(multiple patterns)";
inline constexpr const char* BatchSaveTitle = "Select where to save batch search results";
inline constexpr const char* BatchHtmlFilter = "HTML files (*.HTML)|*.HTML|All files (*.*)|*.*";
inline constexpr const char* BatchTextFilter = "Text files (*.TXT)|*.TXT|All files (*.*)|*.*";
inline constexpr const char* UnfinishedURLsFrequencyText =
    "There are unfinished URL(s). Frequency results may be incomplete. Continue anyway?";
inline constexpr const char* BatchFrequencySaveTitle = "Select where to save batch frequency data";

// Opens the help file with the desktop's viewer; tests replace it.
class THelpService {
public:
  virtual ~THelpService() = default;
  // False when the file could not be opened.
  virtual bool OpenHelpFile(const std::string& path) = 0;
};
// Installs a service (nullptr restores the desktop's); returns the old one.
THelpService* SetHelpService(THelpService* service);
// The file the help command opens: the HTML rendition of the help file
// (its name with ".html", else ".htm") in the program's folder, when one
// exists; else the help file itself.
std::string HelpFilePath();

// What the frame's Frequency and Display commands ask of a collocation,
// word-list or comparison window (kinds 3 to 5); each such window implements
// it.
class TListWindowCommands {
public:
  virtual ~TListWindowCommands() = default;
  virtual void SaveCommand() = 0;
  virtual void PrintCommand() = 0;
  virtual void CopyCommand() = 0;
  virtual void FontCommand() = 0;
  // A comparison window takes the frequency font after the font of a
  // word-list or collocation window changed.
  virtual void TakeFrequencyFont() {}
};

// The corpus frequency list: built by counting the corpus when missing
// (with its own progress dialog; the corpus panel is refreshed when that
// gave a list), or dropped with every word-list window.
void EnsureCorpusFreqList(TCorpusFrame& frame);
void DropCorpusFreqList();

class TFrameCommands : public QObject {
  Q_OBJECT
public:
  // Owned by the frame (a child object); registers its commands.
  explicit TFrameCommands(TFrameForm& frame);
  ~TFrameCommands() override;

  // File menu.
  void FMF_OpenClick();
  void ScanFrequencyonLoadItemClick();
  void FMF_CloseClick();
  void FMF_CollectTagInfoClick();
  void FMF_PrintSetupClick();
  // Concordance menu.
  void FMC_GenerateClick() { GenerateConcordance(false); }
  void FMC_GenerateAdvancedClick() { GenerateConcordance(true); }
  void FMC_SaveClick();
  void FMC_PrintClick();
  void FMC_CloseAllClick();
  // Frequency and Display menus: by the kind of the active window.
  void FMQ_SaveClick();
  void FMQ_PrintClick();
  void FMQ_CopyClipboardClick();
  void CMD_FontClick();
  // Window and Info menus.
  void FMW_TileClick();
  void FMW_CascadeClick();
  void FMW_ArrangeIconsClick();
  void FMI_HelpClick();

  // The search driver: the search dialog's request run into a concordance
  // window (a new one, or the active one refined), or written to a file.
  void GenerateConcordance(bool advanced);
  // The hit callback of a batch search run: the hit is written at once, or
  // kept for sorting; the status line shows the running count.
  void BatchHitCallback(std::unique_ptr<TConcordItem> item);

  // The file of the running batch search.
  std::unique_ptr<TFileTextSink> BatchFile;

private:
  void RegisterSearchCommands();
  void RegisterOutputCommands();
  void RunBatchSearch(std::unique_ptr<TSearch> search, const TSearchRec& request);
  void RunInteractiveSearch(std::unique_ptr<TSearch> search, const std::string& caption);
  // The active child when it is a window of kind 3 to 5.
  TListWindowCommands* ActiveListWindow() const;
  void Register(const char* name, void (TFrameCommands::*command)());

  TFrameForm& frame_;
  std::unique_ptr<TConcordItems> batchItems_;  // the hits of a sorted batch
};

// Creates the frame's commands (once per frame).
TFrameCommands* InstallFrameCommands(TFrameForm& frame);

// Every feature window or dialog registers its menu commands with
// frame.RegisterCommand in its own commands file (windows/..._commands.cpp,
// dialogs/..._commands.cpp) through an installer declared here and called
// by installFeatureCommands (frame/feature_commands.cpp).
void installFeatureCommands(TFrameForm& frame, TFrameCommands& commands);
// The concordance window's Distribution command (windows/distribution_commands.cpp).
void installDistributionCommands(TFrameForm& frame, TFrameCommands& commands);
// The workspace commands, Save Workspace On Exit and File > View
// (frame/workspace_commands.cpp).
void installWorkspaceCommands(TFrameForm& frame, TFrameCommands& commands);
// Fills the frame's hooks that open a workspace at the first activation and
// save it on exit.
void InstallWorkspaceHooks(TFrameForm& frame);
// The full-text windows' hooks of the frame (windows/full_text_commands.cpp).
void installFullTextCommands(TFrameForm& frame, TFrameCommands& commands);
// Corpus Frequency Data and Batch Frequency Data (windows/word_list_commands.cpp).
void installWordListCommands(TFrameForm& frame);
// Frequency Options (dialogs/freq_config_commands.cpp).
void installFreqConfigCommands(TFrameForm& frame);
// windows/collocation_commands.cpp: Collocate Frequency.
void installCollocationCommands(TFrameForm& frame);
// windows/corpus_comp_commands.cpp: Corpus Comparison and its Sort.
void installCorpusCompCommands(TFrameForm& frame);
// The search parameters command (dialogs/concord_config_commands.cpp).
void installConcordConfigCommands(TFrameForm& frame, TFrameCommands& commands);
// Normal and part-of-speech tag settings (dialogs/tag_settings_commands.cpp).
void installTagSettingsCommands(TFrameForm& frame);
// Advanced Collocation (windows/adv_colloc_commands.cpp).
void installAdvancedCollocationCommands(TFrameForm& frame);
// File menu: Stop Loading URLs (windows/download_commands.cpp).
void installDownloadCommands(TFrameForm& frame);
// Load Corpus URL, Language and About (dialogs/frame_dialog_commands.cpp).
void installFrameDialogCommands(TFrameForm& frame);
