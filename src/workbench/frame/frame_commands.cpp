#include "workbench/frame/frame_commands.h"

#include "foundation/corpus_list.h"
#include "search/concord_items.h"
#include "search/search_driver.h"
#include "foundation/dialogs.h"
#include "foundation/frequency_list.h"
#include "foundation/program_state.h"
#include "foundation/settings.h"
#include "foundation/tag_scan.h"
#include "foundation/utils.h"
#include "platform/frame_sink.h"
#include "workbench/frame/child_window.h"
#include "workbench/frame/frame_form.h"
#include "workbench/frame/startup.h"
#include "workbench/output/text_sink.h"

#include <QAction>
#include <QDesktopServices>
#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QUrl>

#include <filesystem>
#include <memory>

namespace {

// Hands the file to xdg-open when there is one, and watches it: a viewer
// that cannot be started, or an xdg-open that finds no browser and ends with
// an error, is reported with the file's name. Without xdg-open the desktop
// services of Qt try their own launchers.
class TDesktopHelp final : public THelpService {
public:
  bool OpenHelpFile(const std::string& path) override
  {
    const QString file = QFile::decodeName(QByteArray::fromStdString(path));
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty())
      return QDesktopServices::openUrl(QUrl::fromLocalFile(file));
    auto* process = new QProcess(qApp);
    auto reported = std::make_shared<bool>(false);
    auto report = [path, reported] {
      if (!*reported) {
        *reported = true;
        ShowError("Unable to open file: " + path + ".");
      }
    };
    QObject::connect(process, &QProcess::errorOccurred, process, [process, report](QProcess::ProcessError error) {
      if (error == QProcess::FailedToStart) {
        report();
        process->deleteLater();
      }
    });
    QObject::connect(process, &QProcess::finished, process,
                     [process, report](int exitCode, QProcess::ExitStatus status) {
                       if (status != QProcess::NormalExit || exitCode != 0)
                         report();
                       process->deleteLater();
                     });
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    process->start(opener, {QUrl::fromLocalFile(file).toString()});
    return true;
  }
};

THelpService* helpService = nullptr;

THelpService& CurrentHelp()
{
  static TDesktopHelp desktop;
  return helpService ? *helpService : desktop;
}

bool FileExists(const std::string& path)
{
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

}  // namespace

THelpService* SetHelpService(THelpService* service)
{
  THelpService* old = helpService;
  helpService = service;
  return old;
}

std::string HelpFilePath()
{
  const std::string name = ApplicationHelpFile.empty() ? std::string("QX2.2.HLP") : ApplicationHelpFile;
  const std::string helpFile = IncludeBackslash(ProgramFolder) + name;
  const std::string base = helpFile.substr(0, helpFile.size() - std::filesystem::path(name).extension().string().size());
  for (const char* ext : {".html", ".htm"})
    if (FileExists(base + ext))
      return base + ext;
  return helpFile;
}

void EnsureCorpusFreqList(TCorpusFrame& frame)
{
  if (CorpusFreqList)
    return;
  CorpusFreqList = CountCorpusWords();
  if (CorpusFreqList)
    UpdateCorpusInfo(frame);
}

void DropCorpusFreqList()
{
  CloseChildWindows(platform::ckWordList);
  CorpusFreqList.reset();
}

// ---------------------------------------------------------------------------

TFrameCommands::TFrameCommands(TFrameForm& frame) : QObject(&frame), frame_(frame)
{
  setObjectName(QStringLiteral("FrameCommands"));
  Register("FMF_Open", &TFrameCommands::FMF_OpenClick);
  Register("ScanFrequencyonLoadItem", &TFrameCommands::ScanFrequencyonLoadItemClick);
  Register("FMF_Close", &TFrameCommands::FMF_CloseClick);
  Register("FMF_CollectTagInfo", &TFrameCommands::FMF_CollectTagInfoClick);
  Register("FMC_CloseAll", &TFrameCommands::FMC_CloseAllClick);
  Register("FMW_Tile", &TFrameCommands::FMW_TileClick);
  Register("FMW_Cascade", &TFrameCommands::FMW_CascadeClick);
  Register("FMW_ArrangeIcons", &TFrameCommands::FMW_ArrangeIconsClick);
  Register("FMI_Help", &TFrameCommands::FMI_HelpClick);
  RegisterSearchCommands();
  RegisterOutputCommands();
}

TFrameCommands::~TFrameCommands() = default;

void TFrameCommands::Register(const char* name, void (TFrameCommands::*command)())
{
  frame_.RegisterCommand(QString::fromLatin1(name), [this, command] { (this->*command)(); });
}

void TFrameCommands::FMF_OpenClick()
{
  TFileDialog& d = frame_.OpenDialog;
  d.DefaultExt = "TXT";
  d.FileName.clear();
  d.InitialDir = CorpusPath;
  d.Filter = "Text Files (*.TXT)|*.TXT|All Files (*.*)|*.*";
  d.FilterIndex = 2;
  d.Title = "Select File(s) to Open";
  d.Options = ofHideReadOnly | ofAllowMultiSelect | ofPathMustExist | ofFileMustExist;
  if (!d.Execute())
    return;
  LoadCorpusItems(frame_, d.Files);
}

void TFrameCommands::ScanFrequencyonLoadItemClick()
{
  // The checkable item has flipped its tick already.
  QAction* item = frame_.Item(QStringLiteral("ScanFrequencyonLoadItem"));
  FrequencySettings.ScanTextsOnLoad = item ? item->isChecked() : !FrequencySettings.ScanTextsOnLoad;
}

void TFrameCommands::FMF_CloseClick()
{
  UnloadCorpus(frame_);
}

void TFrameCommands::FMF_CollectTagInfoClick()
{
  // The pass lets events in while it reads each item; the flag keeps the
  // corpus from being unloaded under it.
  BusyScope busy(BusyCollecting);
  TagScanCancelled = false;
  for (int32_t i = 0; i < CorpusList.Count(); ++i) {
    const TCorpusItem& item = CorpusList[i];
    const TCorpusItem* wanted = &item;
    const std::string name = item.Name;
    const bool wantLines = !item.LineIndex.Present();
    const bool wantTags = !WatchedTags.empty() && !item.TagIndex.Present();
    const bool wantPages = !item.PageIndex.Present();
    int32_t words = 0;
    const TTagScanResult result = CollectTagInfo(name, wantLines, words, true, wantTags, wantPages);
    if (result == TTagScanResult::Done) {
      const int32_t k = CorpusList.IndexOf(wanted);
      if (k >= 0)
        CorpusList[k].WordCount = words;
    }
    if (TagScanCancelled)
      break;
  }
  UpdateWordTotal(frame_);
  UpdateCorpusInfo(frame_);
}

void TFrameCommands::FMC_CloseAllClick()
{
  frame_.CloseChildWindows(mkConcordance);
}

void TFrameCommands::FMW_TileClick()
{
  frame_.ClientArea->tileSubWindows();
}

void TFrameCommands::FMW_CascadeClick()
{
  frame_.ClientArea->cascadeSubWindows();
}

void TFrameCommands::FMW_ArrangeIconsClick()
{
  // The minimised windows in a row along the bottom edge, in child order.
  int left = 0;
  const int bottom = frame_.ClientArea->viewport()->height();
  for (QMdiSubWindow* w : frame_.ClientArea->subWindowList(QMdiArea::CreationOrder)) {
    if (!w->isMinimized())
      continue;
    w->move(left, bottom - w->height());
    left += w->width();
  }
}

void TFrameCommands::FMI_HelpClick()
{
  const std::string path = HelpFilePath();
  if (!FileExists(path) || !CurrentHelp().OpenHelpFile(path))
    ShowError("Unable to open file: " + path + ".");
}

TFrameCommands* InstallFrameCommands(TFrameForm& frame)
{
  if (auto* existing = frame.findChild<TFrameCommands*>(QStringLiteral("FrameCommands"), Qt::FindDirectChildrenOnly))
    return existing;
  auto* commands = new TFrameCommands(frame);
  installFeatureCommands(frame, *commands);
  return commands;
}
