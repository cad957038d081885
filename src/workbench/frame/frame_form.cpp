#include "workbench/frame/frame_form.h"

#include "foundation/abort.h"
#include "foundation/chartables.h"
#include "foundation/config_file.h"
#include "foundation/dialogs.h"
#include "foundation/program_state.h"
#include "foundation/settings.h"
#include "foundation/stop_list.h"
#include "foundation/tag_scan.h"
#include "platform/codepage.h"
#include "platform/frame_sink.h"
#include "workbench/frame/app_exceptions.h"
#include "workbench/frame/child_window.h"
#include "workbench/frame/file_association.h"
#include "workbench/frame/menu_table.h"
#include "workbench/frame/qt_text.h"
#include "workbench/dialogs/url_info_box.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStyle>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusTipEvent>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>
#include <new>
#include <stdexcept>

std::unique_ptr<char[]> EmergencyReserve;
bool FirstActivation = true;
bool EscapePressed = false;
TFrameForm* FrameForm = nullptr;
QString LongTimeFormat;

namespace {

TStopBox& StopBox()
{
  static TStopBox box;
  return box;
}

// The first characters of text up to 255 bytes, never splitting a
// double-byte character.
std::string_view CutStatusText(std::string_view text)
{
  constexpr std::size_t Limit = 255;
  if (text.size() <= Limit)
    return text;
  const auto& cp = platform::codePage(AnsiCodePage);
  std::size_t n = 0;
  while (n < text.size()) {
    const std::size_t step = cp.dbcs && n + 1 < text.size() && cp.lead[static_cast<unsigned char>(text[n])] ? 2 : 1;
    if (n + step > Limit)
      break;
    n += step;
  }
  return text.substr(0, n);
}

std::string UpperExtension(const std::string& fileName)
{
  const auto slash = fileName.find_last_of('/');
  const auto dot = fileName.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
    return {};
  std::string ext = fileName.substr(dot);
  for (char& c : ext)
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 'a' + 'A');
  return ext;
}

QString CorpusCountText(int32_t n)
{
  if (n < 1)
    return QStringLiteral("No files loaded");
  return QStringLiteral("%1 file%2 in current corpus").arg(n).arg(n == 1 ? "" : "s");
}

}  // namespace

TStopBox SetStopBox(TStopBox box)
{
  TStopBox old = std::move(StopBox());
  StopBox() = std::move(box);
  return old;
}

void ShowStopBox(const std::string& caption, const std::string& text)
{
  if (StopBox()) {
    StopBox()(caption, text);
    return;
  }
  QMessageBox box(QMessageBox::Critical, QString::fromStdString(caption), QString::fromStdString(text),
                  QMessageBox::Ok);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

// ---------------------------------------------------------------------------
// The frame interface the core calls

class TFrameForm::TSink : public platform::FrameSink
{
public:
  explicit TSink(TFrameForm& frame) : frame_(frame), previous_(platform::setFrameSink(this)) {}
  ~TSink() override
  {
    if (&platform::frameSink() == this)
      platform::setFrameSink(previous_);
  }

  void statusText(std::string_view text) override { frame_.StatusTextMessage(text); }
  void corpusInfo() override { frame_.CorpusInfoMessage(); }
  void closeChildWindows(int kind) override { frame_.CloseChildWindows(kind); }
  void urlStart(std::string_view url, int64_t totalSize) override
  {
    frame_.URLStartMessage(std::string(url), totalSize < 0 || totalSize >= URLSizeNotGiven
                                                 ? URLSizeNotGiven
                                                 : static_cast<int32_t>(totalSize));
  }
  void urlProgress(std::string_view url, int64_t received) override
  {
    frame_.URLProgressMessage(std::string(url), static_cast<int32_t>(std::clamp<int64_t>(
                                                    received, 0, std::numeric_limits<int32_t>::max())));
  }
  void urlDone(std::string_view url) override { frame_.URLDoneMessage(std::string(url)); }
  void refreshConcordances() override { frame_.RefreshConcordancesMessage(); }

private:
  TFrameForm& frame_;
  platform::FrameSink* previous_;
};

// ---------------------------------------------------------------------------
// Creation and destruction

TFrameForm::TFrameForm(QWidget* parent) : QMainWindow(parent)
{
  setObjectName(QStringLiteral("FrameForm"));
  FrameForm = this;
  resize(742, 396);

  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  ClientArea = new QMdiArea(central);
  ClientArea->setObjectName(QStringLiteral("ClientArea"));
  // Closing the active child brings back the child used before it (the
  // window beneath), not the next one in creation order.
  ClientArea->setActivationOrder(QMdiArea::ActivationHistoryOrder);
  layout->addWidget(ClientArea, 1);
  CreateStatusBar();
  layout->addWidget(HintBar);
  setCentralWidget(central);
  CreateMenus();
  // Ctrl+F4 closes the active child window, whatever the platform binds to
  // its sub-windows' Close.
  auto* closeChild = new QAction(this);
  closeChild->setObjectName(QStringLiteral("CloseActiveChild"));
  closeChild->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F4));
  addAction(closeChild);
  connect(closeChild, &QAction::triggered, ClientArea, &QMdiArea::closeActiveSubWindow);

  IdleTimer = new QTimer(this);
  IdleTimer->setObjectName(QStringLiteral("IdleTimer"));
  IdleTimer->setInterval(1000);
  connect(IdleTimer, &QTimer::timeout, this, &TFrameForm::UpdateMenuStateOnTimer);
  IdleTimer->start();

  OpenDialog.DefaultExt = "QWS";
  OpenDialog.Filter = "Quillmar Pro Workspace (*.QWS)|*.QWS|All Files (*.*)|*.*";
  OpenDialog.FilterIndex = 2;
  OpenDialog.Options = ofHideReadOnly | ofPathMustExist | ofFileMustExist;
  SaveDialog.DefaultExt = "txt";
  SaveDialog.Filter = "Text files (*.txt)|*.txt|All files (*.*)|*.*";
  SaveDialog.Title = "Select where to save batch search results";
  SaveDialog.Options = ofOverwritePrompt | ofHideReadOnly | ofPathMustExist | ofEnableSizing;
  WorkSpaceSaveDialog.DefaultExt = "QWS";
  WorkSpaceSaveDialog.Filter = "Quillmar Pro Workspaces (*.QWS)|*.QWS|All Files (*.*)|*.*";
  WorkSpaceSaveDialog.Title = "Save Workspace As";
  WorkSpaceSaveDialog.Options = ofOverwritePrompt | ofHideReadOnly | ofPathMustExist;
  SetFileDialogParent(this);

  connect(ClientArea, &QMdiArea::subWindowActivated, this, &TFrameForm::OnSubWindowActivated);
  sink_ = std::make_unique<TSink>(*this);
  childWatch_ = std::make_unique<QObject>();
  // Key preview: the frame sees Escape before the focused control.
  qApp->installEventFilter(this);

  FormCreate();
}

void TFrameForm::FormCreate()
{
  LongTimeFormat = QLocale().timeFormat(QLocale::ShortFormat);
  // The hint event is the status tips caught in event(); exceptions that
  // escape an event handler come here.
  SetAppExceptionHandler([this](std::exception_ptr e) { HandleAppException(e); });
  ProgramTitle = "Quillmar Pro";
  setWindowTitle(ToQString(ProgramTitle));
  FreqOrderWindow = nullptr;
  AlphaOrderWindow = nullptr;
  EmergencyReserve.reset(new char[EmergencyReserveSize]);
  RegisterWorkspaceFileType();
  if (auto* dispatcher = QAbstractEventDispatcher::instance())
    connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &TFrameForm::RequestIdleUpdate);
  URLBoxes.clear();
  ConfirmOnExit = true;
  UpdateMenuState();
}

TFrameForm::~TFrameForm()
{
  destroying_ = true;
  childWatch_.reset();
  ClientArea->disconnect(this);
  IdleTimer->stop();
  // Children go first, while the frame is still whole.
  for (QMdiSubWindow* sub : ClientArea->subWindowList())
    delete sub;
  sink_.reset();
  SetAppExceptionHandler({});
  if (FrameForm == this)
    FrameForm = nullptr;
  // FormDestroy
  CorpusFreqList.reset();
  EmergencyReserve.reset();
  URLBoxes.clear();
}

void TFrameForm::CreateStatusBar()
{
  HintBar = new QFrame(this);
  HintBar->setObjectName(QStringLiteral("HintBar"));
  HintBar->setFixedHeight(21);
  auto* bar = new QHBoxLayout(HintBar);
  bar->setContentsMargins(0, 1, 0, 1);
  bar->setSpacing(0);

  HintWindow = new QLabel(HintBar);
  HintWindow->setObjectName(QStringLiteral("HintWindow"));
  HintWindow->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  HintWindow->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  HintWindow->setTextFormat(Qt::PlainText);
  HintWindow->setMinimumWidth(1);
  HintWindow->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  bar->addWidget(HintWindow, 1);

  URLStatusPanel = new QFrame(HintBar);
  URLStatusPanel->setObjectName(QStringLiteral("URLStatusPanel"));
  URLStatusPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  URLStatusPanel->setFixedSize(156, 19);
  URLStatusPanel->setVisible(false);
  bar->addWidget(URLStatusPanel);

  CorpusInfoWindow = new QLabel(HintBar);
  CorpusInfoWindow->setObjectName(QStringLiteral("CorpusInfoWindow"));
  CorpusInfoWindow->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  CorpusInfoWindow->setTextFormat(Qt::PlainText);
  CorpusInfoWindow->setFixedWidth(176);
  bar->addWidget(CorpusInfoWindow);
}

void TFrameForm::CreateMenus()
{
  QMenuBar* bar = menuBar();
  bar->setObjectName(QStringLiteral("FrameMenu"));
  for (const TMenuEntry& entry : FrameMenuTable()) {
    const QString name = QString::fromLatin1(entry.Name);
    const QString caption = QString::fromLatin1(entry.Caption);
    QAction* action = nullptr;
    if (entry.Kind == TMenuEntryKind::Menu || entry.Kind == TMenuEntryKind::Submenu) {
      auto* menu = new QMenu(caption, this);
      menu->setObjectName(name);
      action = menu->menuAction();
      menus_[name] = menu;
      if (entry.Kind == TMenuEntryKind::Menu)
        frameMenus_.push_back(TFrameMenu{entry.Group, menu});
      else
        menus_.at(QString::fromLatin1(entry.Parent))->addMenu(menu);
      connect(menu, &QMenu::aboutToShow, this, &TFrameForm::UpdateMenuState);
    } else {
      action = new QAction(caption, this);
      action->setCheckable(entry.Checkable);
      if (entry.Shortcut[0])
        action->setShortcut(QKeySequence(QString::fromLatin1(entry.Shortcut)));
      menus_.at(QString::fromLatin1(entry.Parent))->addAction(action);
      // Until its command is registered the item stays disabled.
      action->setEnabled(false);
      connect(action, &QAction::triggered, this, [this, name] {
        const auto it = commands_.find(name);
        if (it != commands_.end() && it->second)
          it->second();
      });
    }
    action->setObjectName(name);
    if (entry.Hint[0])
      action->setStatusTip(QString::fromLatin1(entry.Hint));
    items_[name] = action;
  }
  for (const char* name : {"FM_Concordance", "FM_Frequency", "DM_Display", "FM_Window"})
    Item(QString::fromLatin1(name))->setVisible(false);
  connect(Menu(QStringLiteral("FM_Window")), &QMenu::aboutToShow, this, &TFrameForm::FillWindowMenu);
  RegisterCommand(QStringLiteral("FMF_Exit"), [this] { FMF_ExitClick(); });
  MergeMenus();
}

// ---------------------------------------------------------------------------
// Menus and commands

QAction* TFrameForm::Item(const QString& name) const
{
  const auto it = items_.find(name);
  return it == items_.end() ? nullptr : it->second;
}

QMenu* TFrameForm::Menu(const QString& name) const
{
  const auto it = menus_.find(name);
  return it == menus_.end() ? nullptr : it->second;
}

void TFrameForm::RegisterCommand(const QString& name, std::function<void()> command)
{
  if (!Item(name))
    throw std::logic_error("No frame menu item " + name.toStdString());
  commands_[name] = std::move(command);
}

bool TFrameForm::IsCommandRegistered(const QString& name) const
{
  const auto it = commands_.find(name);
  return it != commands_.end() && it->second;
}

void TFrameForm::SetItemEnabled(const char* name, bool enabled)
{
  const QString key = QString::fromLatin1(name);
  QAction* action = Item(key);
  // Commands are enabled by their rule only once they exist; menus are not
  // commands.
  if (!menus_.count(key))
    enabled = enabled && IsCommandRegistered(key);
  if (action->isEnabled() != enabled)
    action->setEnabled(enabled);
}

void TFrameForm::SetItemVisible(const char* name, bool visible)
{
  QAction* action = Item(QString::fromLatin1(name));
  if (action->isVisible() != visible)
    action->setVisible(visible);
}

void TFrameForm::SetItemChecked(const char* name, bool checked)
{
  QAction* action = Item(QString::fromLatin1(name));
  if (action->isChecked() != checked)
    action->setChecked(checked);
}

bool TFrameForm::FilesNeedCollecting() const
{
  for (int32_t i = 0; i < CorpusList.Count(); ++i) {
    const TCorpusItem& item = CorpusList[i];
    if ((!WatchedTags.empty() && !item.TagIndex.Present()) || !item.PageIndex.Present() || item.WordCount <= 0)
      return true;
  }
  return false;
}

void TFrameForm::UpdateMenuState()
{
  if (updatingMenus_ || destroying_)
    return;
  updatingMenus_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{updatingMenus_};

  const bool busy = IsBusy();
  const bool corpus = CorpusList.Count() >= 1;
  const bool collect = FilesNeedCollecting();
  const bool anyConc = HasConcordanceWindow();
  TMDIChildForm* active = ActiveChild();
  const int activeKind = active ? active->kind() : 0;
  const bool activeConc = activeKind == mkConcordance;
  const bool activeColl = activeKind == mkCollocation;
  const bool activeList = activeKind == mkWordList;
  const bool activeComp = activeKind == mkCorpusComp;
  const bool urls = PendingURLCount > 0;
  const bool workspace = !WorkspaceName.empty();
  const bool children = !ChildWindows().empty();

  SetItemEnabled("FMF_Open", !busy);
  SetItemChecked("ScanFrequencyonLoadItem", FrequencySettings.ScanTextsOnLoad);
  SetItemEnabled("FMF_URL", !busy);
  // Also while items are added: a download may still be looking its host
  // up, connecting or waiting for its reply header.
  SetItemEnabled("FMF_StopURLsloading", urls || BusyLoading);
  SetItemEnabled("FMF_Close", corpus && !busy);
  SetItemEnabled("FMF_View", corpus);
  SetItemEnabled("FMF_LoadWorkspace", !busy);
  SetItemEnabled("FMF_SaveWorkspaceAs", !busy);
  SetItemEnabled("FMF_SaveWorkspace", workspace && !busy);
  SetItemEnabled("FMC_SaveOnExit", workspace);
  SetItemChecked("FMC_SaveOnExit", workspace && SaveOnExit);
  SetItemEnabled("FMF_CollectTagInfo", collect && !busy);
  for (const char* name : {"CMD_TagSettings", "CMD_WordTagSettings", "FMF_Language", "FMF_PrintSetup", "FMF_Exit"})
    SetItemEnabled(name, !busy);
  SetItemVisible("FM_Concordance", corpus);
  // A search may also run while the only thing going on is the scan of a
  // download that is still arriving.
  const bool searchable = !busy || SearchAllowedWhileBusy();
  for (const char* name : {"FMC_Generate", "FMC_GenerateAdvanced"})
    SetItemEnabled(name, corpus && searchable);
  SetItemEnabled("FMC_Configure", corpus && !busy);
  SetItemEnabled("FMC_Save", activeConc && !busy);
  SetItemEnabled("FMC_Print", activeConc && !busy);
  SetItemEnabled("FMC_CloseAll", anyConc && !busy);
  SetItemVisible("FM_Frequency", corpus);
  SetItemEnabled("FMQ_Frequency", corpus && activeConc && !busy);
  SetItemEnabled("FMQ_AdvColloc", corpus && activeConc && !busy);
  for (const char* name : {"FMQ_WordListFreq", "FMQ_WordListAlpha", "FMQ_BatchWordListFreq",
                           "FMQ_BatchWordListAlpha", "FMQ_FreqOptions"})
    SetItemEnabled(name, corpus && !busy);
  const bool listWindow = (activeColl || activeList || activeComp) && !busy;
  SetItemEnabled("FMQ_Save", listWindow);
  SetItemEnabled("FMQ_Print", listWindow);
  SetItemEnabled("FMQ_CopyClipboard", listWindow);
  SetItemEnabled("FMQ_CorpusComp", listWindow);  // the value FMQ_Save just received
  SetItemEnabled("FMQ_CorpusSort", activeComp);
  const bool display = activeColl || activeList || activeComp;
  SetItemEnabled("DM_Display", display);
  SetItemVisible("DM_Display", display);
  SetItemEnabled("FM_Window", children);
  SetItemVisible("FM_Window", children);
  // Items the rules leave alone are enabled once their command exists.
  for (const char* name : {"ScanFrequencyonLoadItem", "CMD_Font", "FMW_Tile", "FMW_Cascade", "FMW_ArrangeIcons",
                           "FMI_Help", "FMI_About"})
    SetItemEnabled(name, true);

  BroadcastUpdateMenus();
}

void TFrameForm::UpdateMenuStateOnTimer()
{
  if (IsBusy())
    UpdateMenuState();
}

void TFrameForm::RequestIdleUpdate()
{
  // The event loop is about to wait: the program is idle.
  UpdateMenuState();
}

void TFrameForm::MergeMenus()
{
  if (destroying_)
    return;
  TMDIChildForm* child = ActiveChild();
  std::vector<TFrameMenu> merged;
  for (const TFrameMenu& own : frameMenus_) {
    const bool replaced = child && std::any_of(child->menus().begin(), child->menus().end(),
                                               [&](const TChildMenu& m) { return m.Group == own.Group; });
    if (!replaced)
      merged.push_back(own);
  }
  if (child)
    for (const TChildMenu& m : child->menus())
      merged.push_back(TFrameMenu{m.Group, m.Menu});
  std::stable_sort(merged.begin(), merged.end(),
                   [](const TFrameMenu& a, const TFrameMenu& b) { return a.Group < b.Group; });

  bool same = merged.size() == mergedMenus_.size();
  for (std::size_t i = 0; same && i < merged.size(); ++i)
    same = mergedMenus_[i] == merged[i].Menu;
  if (same)
    return;
  QMenuBar* bar = menuBar();
  bar->clear();
  mergedMenus_.clear();
  for (const TFrameMenu& m : merged) {
    bar->addMenu(m.Menu);
    mergedMenus_.emplace_back(m.Menu);
    if (m.Menu->parent() != this)
      connect(m.Menu, &QMenu::aboutToShow, this, &TFrameForm::UpdateMenuState, Qt::UniqueConnection);
  }
}

void TFrameForm::FillWindowMenu()
{
  QMenu* menu = Menu(QStringLiteral("FM_Window"));
  for (QAction* action : windowListActions_)
    delete action;
  windowListActions_.clear();
  const auto subs = ClientArea->subWindowList(QMdiArea::CreationOrder);
  if (subs.isEmpty())
    return;
  windowListActions_.push_back(menu->addSeparator());
  QMdiSubWindow* current = ClientArea->currentSubWindow();
  int number = 0;
  for (QMdiSubWindow* sub : subs) {
    ++number;
    const QString prefix = number <= 9 ? QStringLiteral("&%1 ").arg(number) : QStringLiteral("%1 ").arg(number);
    // A caption's own "&" is text, not a mnemonic marker.
    QString title = sub->windowTitle();
    title.replace(QLatin1Char('&'), QStringLiteral("&&"));
    QAction* action = menu->addAction(prefix + title);
    action->setCheckable(true);
    action->setChecked(sub == current);
    QPointer<QMdiSubWindow> target(sub);
    connect(action, &QAction::triggered, this, [this, target] {
      if (target)
        ClientArea->setActiveSubWindow(target);
    });
    windowListActions_.push_back(action);
  }
}

// ---------------------------------------------------------------------------
// Child windows

QMdiSubWindow* TFrameForm::AddChildWindow(TMDIChildForm* child)
{
  // The form was built at its own size; the sub-window's frame and title bar
  // come on top of it.
  const QSize formSize = child->size();
  const QList<QMdiSubWindow*> before = ClientArea->subWindowList(QMdiArea::CreationOrder);
  QMdiSubWindow* previous = before.isEmpty() ? nullptr : before.last();
  QMdiSubWindow* sub = ClientArea->addSubWindow(child);
  sub->setAttribute(Qt::WA_DeleteOnClose);
  // The frame's Ctrl+F4 is the one: the same key on the sub-window's own
  // Close would make it ambiguous, and neither would run.
  if (QMenu* system = sub->systemMenu())
    for (QAction* action : system->actions()) {
      QList<QKeySequence> keys = action->shortcuts();
      if (keys.removeAll(QKeySequence(Qt::CTRL | Qt::Key_F4)) > 0)
        action->setShortcuts(keys);
    }
  connect(sub, &QObject::destroyed, childWatch_.get(), [this] {
    // The last child may go without an activation to follow.
    QTimer::singleShot(0, childWatch_.get(), [this] {
      MergeMenus();
      UpdateMenuState();
    });
  });
  child->show();
  sub->show();
  if (!sub->isMaximized()) {
    sub->resize(sub->size() + formSize - child->size());
    PlaceChildWindow(sub, previous);
  }
  return sub;
}

void TFrameForm::PlaceChildWindow(QMdiSubWindow* sub, QMdiSubWindow* previous)
{
  // Cascading: one title bar's height down and right of the window opened
  // last, back at the top-left corner when it would leave the area.
  QPoint at(0, 0);
  if (previous && !previous->isMaximized() && !previous->isMinimized()) {
    const int step = sub->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, sub);
    at = previous->pos() + QPoint(step, step);
    const QSize area = ClientArea->viewport()->size();
    if (at.x() + sub->width() > area.width() || at.y() + sub->height() > area.height())
      at = QPoint(0, 0);
  }
  sub->move(at);
}

TMDIChildForm* TFrameForm::ActiveChild() const
{
  QMdiSubWindow* sub = ClientArea->currentSubWindow();
  return sub ? qobject_cast<TMDIChildForm*>(sub->widget()) : nullptr;
}

std::vector<TMDIChildForm*> TFrameForm::ChildWindows() const
{
  std::vector<TMDIChildForm*> children;
  for (QMdiSubWindow* sub : ClientArea->subWindowList(QMdiArea::CreationOrder))
    if (auto* child = qobject_cast<TMDIChildForm*>(sub->widget()))
      children.push_back(child);
  return children;
}

bool TFrameForm::HasConcordanceWindow() const
{
  for (TMDIChildForm* child : ChildWindows())
    if (child->kind() == mkConcordance)
      return true;
  return false;
}

void TFrameForm::CloseChildWindows(int kind)
{
  for (TMDIChildForm* child : ChildWindows())
    if (child->kind() == kind)
      if (QMdiSubWindow* sub = child->subWindow())
        sub->close();
}

void TFrameForm::CloseAllChildWindows()
{
  for (TMDIChildForm* child : ChildWindows())
    if (QMdiSubWindow* sub = child->subWindow())
      sub->close();
}

void TFrameForm::BroadcastTagsChanged()
{
  for (TMDIChildForm* child : ChildWindows())
    child->tagsChanged();
}

void TFrameForm::BroadcastUpdateMenus()
{
  for (TMDIChildForm* child : ChildWindows())
    child->updateMenus();
}

void TFrameForm::OnSubWindowActivated(QMdiSubWindow*)
{
  if (destroying_)
    return;
  // The current sub-window stays current while the frame itself is
  // inactive (a dialog is open); only a change of it matters.
  TMDIChildForm* now = ActiveChild();
  TMDIChildForm* old = activeChild_;
  activeChild_ = now;
  if (old != now && old)
    old->deactivated();
  // Merge and enable at once, so that a shortcut bound in two windows finds
  // exactly one enabled action before the next key arrives.
  MergeMenus();
  UpdateMenuState();
  if (old != now && now)
    now->activated();
}

// ---------------------------------------------------------------------------
// Activation, status texts and closing

void TFrameForm::showEvent(QShowEvent* event)
{
  QMainWindow::showEvent(event);
  if (!shown_) {
    shown_ = true;
    // A platform that never activates the window still gets the first
    // activation's work, once.
    QTimer::singleShot(0, this, [this] {
      if (FirstActivation)
        FormActivate();
    });
  }
}

void TFrameForm::FormActivate()
{
  if (FirstActivation && !inFirstActivation_)
    RunFirstActivation();
  ShowStatusHint();
}

void TFrameForm::RunFirstActivation()
{
  inFirstActivation_ = true;
  struct Done {
    bool& running;
    ~Done()
    {
      running = false;
      FirstActivation = false;
    }
  } done{inFirstActivation_};

  // A first argument ending in ".QWS" is opened as a workspace only: one
  // that is refused has shown its message and loads nothing as a corpus.
  const bool workspace = !commandLine_.empty() && UpperExtension(commandLine_.front()) == ".QWS";
  const bool opened = workspace && OpenWorkspaceHook && OpenWorkspaceHook(commandLine_.front());
  if (!opened)
    LoadSettings();
  if (!workspace)
    LoadCorpusItems(*this, commandLine_);
  FirstActivation = false;
  ReadSaveOnExit();
  ReadWorkspacePath();
}

QString TFrameForm::HintText() const
{
  QString text = HintWindow->text();
  if (text.startsWith(QLatin1Char(' ')))
    text.remove(0, 1);
  return text;
}

void TFrameForm::SetHint(const QString& text)
{
  if (HintWindow->text() != text)
    HintWindow->setText(text);
}

void TFrameForm::ShowStatusHint()
{
  const QString text = currentHint_.isEmpty() ? CorpusCountText(CorpusList.Count()) : currentHint_;
  SetHint(QLatin1Char(' ') + text);
}

void TFrameForm::StatusTextMessage(std::string_view text)
{
  if (text.empty()) {
    ShowStatusHint();
    return;
  }
  SetHint(QLatin1Char(' ') + ToQString(CutStatusText(text)));
}

void TFrameForm::CorpusInfoMessage()
{
  UpdateCorpusInfo(*this);
}

void TFrameForm::SetCorpusInfo(const std::string& text)
{
  const QString shown = ToQString(text);
  if (CorpusInfoWindow->text() != shown)
    CorpusInfoWindow->setText(shown);
  CorpusInfoWindow->setFixedWidth(CorpusInfoWindow->fontMetrics().horizontalAdvance(shown) + 8);
  ShowStatusHint();
}

void TFrameForm::ShowFullText(const std::string& name)
{
  if (ShowFullTextHook)
    ShowFullTextHook(name);
}

void TFrameForm::CloseFullText(const std::string& name)
{
  if (CloseFullTextHook)
    CloseFullTextHook(name);
}

void TFrameForm::ForgetWordListWindows()
{
  FreqOrderWindow = nullptr;
  AlphaOrderWindow = nullptr;
}

void TFrameForm::RefreshConcordancesMessage()
{
  for (TMDIChildForm* child : ChildWindows())
    if (child->kind() == mkConcordance)
      child->refreshContext();
}

bool TFrameForm::event(QEvent* event)
{
  switch (event->type()) {
  case QEvent::StatusTip:
    // The hint of the item under the mouse, or empty when it leaves.
    currentHint_ = static_cast<QStatusTipEvent*>(event)->tip();
    ShowStatusHint();
    return true;
  case QEvent::WindowActivate: {
    const bool result = QMainWindow::event(event);
    FormActivate();
    return result;
  }
  default:
    return QMainWindow::event(event);
  }
}

bool TFrameForm::eventFilter(QObject* watched, QEvent* event)
{
  if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
      static_cast<QWidget*>(watched)->window() == this)
    EscapePressed = true;
  return false;
}

bool TFrameForm::FormCloseQuery()
{
  if (IsBusy())
    return false;
  if (ConfirmOnExit && !ConfirmYesNo(QuitQuestion, true))
    return false;
  // A failed write has been shown; the close goes ahead.
  if (WorkspaceName.empty())
    SaveSettings();
  else if (SaveOnExit && SaveWorkspaceHook)
    SaveWorkspaceHook(WorkspaceName);
  GlobalStopList = TStopList();
  SentDelimitersExcepts.clear();
  return true;
}

void TFrameForm::closeEvent(QCloseEvent* event)
{
  if (FormCloseQuery()) {
    event->accept();
    emit Closed();
  } else
    event->ignore();
}

void TFrameForm::FMF_ExitClick()
{
  ConfirmOnExit = false;
  close();
}

// ---------------------------------------------------------------------------
// Exceptions and the file association

void TFrameForm::HandleAppException(std::exception_ptr exception)
{
  if (!EmergencyReserve)
    return;
  EmergencyReserve.reset();
  try {
    try {
      std::rethrow_exception(exception);
    } catch (const std::bad_alloc&) {
      ShowStopBox("Error", OutOfMemoryText);
    } catch (const EAbort&) {
      // The user stopped the operation: nothing to report.
    } catch (const std::logic_error&) {
      ShowStopBox("Error", InternalErrorText);
    } catch (const std::exception& e) {
      ShowError(e.what());
    } catch (...) {
      ShowStopBox("Error", InternalErrorText);
    }
  } catch (...) {
  }
  try {
    EmergencyReserve.reset(new char[EmergencyReserveSize]);
  } catch (...) {
  }
}

void TFrameForm::RegisterWorkspaceFileType()
{
  try {
    WriteWorkspaceAssociation(DataHomeFolder(), QCoreApplication::applicationFilePath().toStdString());
  } catch (...) {
  }
}

// ---------------------------------------------------------------------------
// URL boxes

void TFrameForm::URLStartMessage(const std::string& url, int32_t totalSize)
{
  AddURLBox(url, totalSize);
}

void TFrameForm::URLProgressMessage(const std::string& url, int32_t loadedSize)
{
  UpdateURLBox(url, loadedSize);
}

void TFrameForm::URLDoneMessage(const std::string& url)
{
  RemoveURLBox(url);
}

TURLInfoBox* TFrameForm::AddURLBox(const std::string& url, int32_t totalSize)
{
  auto* box = new TURLInfoBox(URLStatusPanel);
  box->URL = url;
  box->TotalSize = totalSize;
  box->LoadedSize = 0;
  UpdateURLBoxHint(box);
  URLStatusPanel->setVisible(true);
  URLBoxes.push_back(box);
  LayoutURLBoxes();
  box->show();
  box->update();
  return box;
}

void TFrameForm::UpdateURLBox(const std::string& url, int32_t loadedSize)
{
  TURLInfoBox* box = FindURLBox(url);
  if (!box)
    return;
  box->LoadedSize = loadedSize;
  UpdateURLBoxHint(box);
  box->update();
}

void TFrameForm::RemoveURLBox(const std::string& url)
{
  TURLInfoBox* box = FindURLBox(url);
  if (!box)
    return;
  URLBoxes.erase(std::find(URLBoxes.begin(), URLBoxes.end(), box));
  delete box;
  if (!URLBoxes.empty())
    LayoutURLBoxes();
  else
    URLStatusPanel->setVisible(false);
}

TURLInfoBox* TFrameForm::FindURLBox(const std::string& url) const
{
  for (TURLInfoBox* box : URLBoxes)
    if (box->URL == url)
      return box;
  return nullptr;
}

void TFrameForm::LayoutURLBoxes()
{
  const auto places = URLBoxPlaces(static_cast<int>(URLBoxes.size()), URLStatusPanel->width(),
                                   URLStatusPanel->height());
  for (std::size_t i = 0; i < URLBoxes.size(); ++i)
    URLBoxes[i]->setGeometry(places[i]);
}

void TFrameForm::UpdateURLBoxHint(TURLInfoBox* box)
{
  const QString hint = ToQString(URLBoxHint(box->URL, box->TotalSize, box->LoadedSize));
  box->setToolTip(hint);
  box->setStatusTip(hint);
}
