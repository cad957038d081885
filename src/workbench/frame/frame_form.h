// The frame window: the one multiple-document window that holds every child
// window, owns the main menu and the status bar, keeps the menu items in
// step with the program's state, receives the program's own messages, shows
// a progress box per downloading URL and decides how the program ends.
//
// The commands behind the menu items are attached by name with
// RegisterCommand; an item is enabled only when its rule allows it and a
// command is registered for it.
#pragma once

#include "foundation/corpus_list.h"
#include "workbench/frame/frame_dialogs.h"

#include <QMainWindow>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QAction;
class QFrame;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QTimer;
class TConcordItems;
class TFrameForm;
class TMDIChildForm;
class TURLInfoBox;

// Program-wide values of the frame.
// A memory block of 2048 bytes released before an out-of-memory report.
extern std::unique_ptr<char[]> EmergencyReserve;
inline constexpr std::size_t EmergencyReserveSize = 2048;
// True until the frame's first activation has loaded the start-up corpus.
extern bool FirstActivation;
// Set whenever Escape is pressed in the frame, the concordance list or the
// word-list grid.
extern bool EscapePressed;
// The frame while it exists.
extern TFrameForm* FrameForm;
// The program's long time format: the locale's short one (QLocale::ShortFormat),
// so that no time the program prints shows seconds.
extern QString LongTimeFormat;

// The stop box of fatal reports (a critical message box); tests replace it.
using TStopBox = std::function<void(const std::string& caption, const std::string& text)>;
// Installs a stop box (an empty one restores the message box); the old one.
TStopBox SetStopBox(TStopBox box);
void ShowStopBox(const std::string& caption, const std::string& text);

inline constexpr const char* OutOfMemoryText =
    "Not enough memory to complete the requested operation. Please quit some applications and try again.";
inline constexpr const char* InternalErrorText =
    "Internal error has occurred. Please save your work and restart the program.";
inline constexpr const char* QuitQuestion = "Do you really want to quit?";

class TFrameForm : public QMainWindow, public TCorpusFrame
{
  Q_OBJECT
public:
  explicit TFrameForm(QWidget* parent = nullptr);
  ~TFrameForm() override;

  // --- components -------------------------------------------------------
  QMdiArea* ClientArea = nullptr;
  QFrame* HintBar = nullptr;
  QLabel* HintWindow = nullptr;
  QFrame* URLStatusPanel = nullptr;
  QLabel* CorpusInfoWindow = nullptr;
  QTimer* IdleTimer = nullptr;
  TFileDialog OpenDialog{"OpenDialog", TFileDialog::OpenMode};
  TFileDialog SaveDialog{"SaveDialog", TFileDialog::SaveMode};
  TFileDialog WorkSpaceSaveDialog{"WorkSpaceSaveDialog", TFileDialog::SaveMode};
  TPrinterSetupDialog PrinterSetupDialog;

  // --- fields -----------------------------------------------------------
  bool BatchFileOpen = false;
  int32_t BatchMatchCount = 0;
  bool BatchNeedsSort = false;
  int32_t BatchTagColumnWidth = 0;
  TConcordItems* BatchItems = nullptr;
  // Path of the open workspace file; empty when none is open.
  std::string WorkspaceName;
  // Boxes of the running downloads, in the order of their creation.
  std::vector<TURLInfoBox*> URLBoxes;
  bool ConfirmOnExit = true;
  // The open word-list windows of the two orders.
  QPointer<TMDIChildForm> FreqOrderWindow;
  QPointer<TMDIChildForm> AlphaOrderWindow;

  // --- hooks filled by later parts of the program --------------------------
  // Opens a workspace file; false when it could not (it reports why itself).
  std::function<bool(const std::string& fileName)> OpenWorkspaceHook;
  // Writes the open workspace to its file.
  std::function<bool(const std::string& fileName)> SaveWorkspaceHook;
  // Shows a corpus item's full-text window in normal state.
  std::function<void(const std::string& name)> ShowFullTextHook;
  // Closes a corpus item's full-text window when one is open.
  std::function<void(const std::string& name)> CloseFullTextHook;

  // The program's arguments (corpus files and URLs, or one workspace), as
  // the shell passed them.
  void SetCommandLine(std::vector<std::string> arguments) { commandLine_ = std::move(arguments); }
  const std::vector<std::string>& CommandLine() const { return commandLine_; }

  // --- menus ------------------------------------------------------------
  // The action of a menu, submenu or item of the frame's own menus by its
  // object name; nullptr when there is none.
  QAction* Item(const QString& name) const;
  // A menu or submenu of the frame by object name.
  QMenu* Menu(const QString& name) const;
  // Attaches the command of an item and lets its rule enable it. A second
  // registration replaces the first. A checkable item (FMC_SaveOnExit,
  // ScanFrequencyonLoadItem) has already flipped its tick when its command
  // runs.
  void RegisterCommand(const QString& name, std::function<void()> command);
  bool IsCommandRegistered(const QString& name) const;

  // --- child windows ----------------------------------------------------
  // Puts a child into a new sub-window (deleted when it closes) and shows it.
  // Puts the child into a sub-window sized so that the child keeps the size
  // it was built with, cascaded from the child window opened last.
  QMdiSubWindow* AddChildWindow(TMDIChildForm* child);
  // The active child, or nullptr.
  TMDIChildForm* ActiveChild() const;
  // Every child, in child order (the order of creation).
  std::vector<TMDIChildForm*> ChildWindows() const;
  bool HasConcordanceWindow() const;
  // Asks every child of the kind to close, after the current event.
  void CloseChildWindows(int kind);
  // Asks every child to close, after the current event.
  void CloseAllChildWindows() override;
  void BroadcastTagsChanged();
  void BroadcastUpdateMenus();

  // --- the frame's operations -------------------------------------------
  void FormActivate();
  // False when the close is refused.
  bool FormCloseQuery();
  void FMF_ExitClick();
  void ShowStatusHint();
  void UpdateMenuState();
  void UpdateMenuStateOnTimer();
  void HandleAppException(std::exception_ptr exception);
  void RegisterWorkspaceFileType();
  // Some corpus item lacks an index it should have, or its word count.
  bool FilesNeedCollecting() const;
  // The text of the corpus information panel; the panel takes its width.
  void SetCorpusInfo(const std::string& text) override;
  // What the corpus operations ask of the frame besides.
  void ShowFullText(const std::string& name) override;
  void CloseFullText(const std::string& name) override;
  void ForgetWordListWindows() override;

  // --- messages ---------------------------------------------------------
  void StatusTextMessage(std::string_view text);                            // WM_STATUSTEXT
  void CorpusInfoMessage();                                                 // WM_CORPUSINFO
  void URLStartMessage(const std::string& url, int32_t totalSize);          // WM_URLSTART
  void URLProgressMessage(const std::string& url, int32_t loadedSize);      // WM_URLPROGRESS
  void URLDoneMessage(const std::string& url);                              // WM_URLDONE
  void RefreshConcordancesMessage();                                        // WM_REFRESHCONCORDANCES

  // --- URL boxes --------------------------------------------------------
  TURLInfoBox* AddURLBox(const std::string& url, int32_t totalSize);
  void UpdateURLBox(const std::string& url, int32_t loadedSize);
  void RemoveURLBox(const std::string& url);
  TURLInfoBox* FindURLBox(const std::string& url) const;
  void LayoutURLBoxes();
  void UpdateURLBoxHint(TURLInfoBox* box);

  // The text the hint panel shows, without its leading blank.
  QString HintText() const;

signals:
  // The close went ahead.
  void Closed();

protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

private:
  struct TFrameMenu {
    int Group;
    QMenu* Menu;
  };

  void FormCreate();
  void CreateStatusBar();
  void PlaceChildWindow(QMdiSubWindow* sub, QMdiSubWindow* previous);
  void CreateMenus();
  void RunFirstActivation();
  void OnSubWindowActivated(QMdiSubWindow* window);
  void MergeMenus();
  void FillWindowMenu();
  void RequestIdleUpdate();
  void SetItemEnabled(const char* name, bool enabled);
  void SetItemVisible(const char* name, bool visible);
  void SetItemChecked(const char* name, bool checked);
  void SetHint(const QString& text);

  class TSink;
  std::unique_ptr<TSink> sink_;
  // Context of the connections to the children's destruction; it goes first
  // when the frame is destroyed, so that no child reaches a dying frame.
  std::unique_ptr<QObject> childWatch_;

  std::vector<std::string> commandLine_;
  std::map<QString, QAction*> items_;
  std::map<QString, QMenu*> menus_;
  std::map<QString, std::function<void()>> commands_;
  std::vector<TFrameMenu> frameMenus_;
  std::vector<QPointer<QMenu>> mergedMenus_;
  std::vector<QAction*> windowListActions_;
  QPointer<TMDIChildForm> activeChild_;
  QString currentHint_;
  bool shown_ = false;
  bool inFirstActivation_ = false;
  bool updatingMenus_ = false;
  bool destroying_ = false;
};
