#include "workbench/frame/startup.h"

#include "foundation/inet_stream.h"
#include "foundation/program_state.h"
#include "foundation/run_files.h"
#include "foundation/settings.h"
#include "foundation/stop_list.h"
#include "forms/advanced_sort.h"
#include "forms/batch_options.h"
#include "workbench/dialogs/advanced_sort_form.h"
#include "workbench/dialogs/batch_options_form.h"
#include "workbench/frame/app_exceptions.h"
#include "workbench/dialogs/concord_config_dlg.h"
#include "workbench/dialogs/context_options_form.h"
#include "workbench/dialogs/corpora_list_dlg.h"
#include "workbench/windows/concordance_form.h"
#include "workbench/windows/distribution_form.h"
#include "workbench/dialogs/freq_config_dlg.h"
#include "workbench/dialogs/hdctx_form.h"
#include "workbench/dialogs/headings_dlg.h"
#include "workbench/dialogs/tag_cfg_dlg.h"
#include "workbench/dialogs/word_tags_cfg_dlg.h"
#include "workbench/dialogs/patterns_edit_form.h"
#include "workbench/frame/frame_commands.h"
#include "workbench/frame/frame_form.h"
#include "workbench/dialogs/qt_dialogs.h"
#include "workbench/frame/qt_ui_bridge.h"
#include "workbench/frame/window_look.h"
#include "workbench/dialogs/search_template_dlg.h"
#include "workbench/dialogs/stop_list_dlg.h"

#include <QFont>
#include <QTimer>

std::string ApplicationHelpFile;
QPointer<TViewStopListDlg> ViewStopListDlg;

namespace {

// The units' initialisation: the settings object, the fonts and the busy
// flags, the shared program state and the frame unit's own values.
void InitUnits()
{
  // The stock system font is the toolkit's default font; the program state
  // is created from it before any window exists.
  const QFont font = QApplication::font();
  const int size = font.pointSize() > 0 ? font.pointSize() : 9;
  SetStockSystemFont(TFontRec{font.family().toStdString(), size, 0, clWindowText, 1});
  InitProgramState();
  InitSharedState();
  InstallContextOptionsForms();
  InstallAdvancedSortSettings();
  InstallBatchSearchSettings();
  InstallAdvancedSortForm();
  InstallPatternsEditor();
  FirstActivation = true;
  EscapePressed = false;
}

TCorporaListDlg* createCorporaListDlg(TFrameForm& frame)
{
  TFrameForm* f = &frame;
  TCorporaListModel::THooks hooks;
  hooks.RemoveFileHits = [f](int32_t fileIndex) {
    for (TMDIChildForm* child : f->ChildWindows())
      if (auto* concordance = dynamic_cast<TConcordanceForm*>(child))
        concordance->RemoveFileHits(fileIndex);
  };
  hooks.ResetDistributions = [] { ResetDistributions(); };
  auto* dialog = new TCorporaListDlg(frame, std::move(hooks), f);
  // The idle menu update refreshes the buttons too (a long operation may
  // have begun or ended).
  QObject::connect(frame.IdleTimer, &QTimer::timeout, dialog, [dialog] {
    if (dialog->isVisible())
      dialog->UpdateCorporaButtons();
  });
  // After the close was accepted (and any save on exit), while the frame
  // still exists: every download stops and its worker is joined, then
  // every item goes, last to first, its temporary files with it.
  QObject::connect(f, &TFrameForm::Closed, f, [f] {
    StopLoadingURLs = true;
    StopAllDownloads();
    for (int32_t i = CorpusList.Count() - 1; i >= 0; --i)
      RemoveCorpusItem(*f, std::min(i, CorpusList.Count() - 1));
  });
  return dialog;
}

}  // namespace

TProgramForms StartQuillmar(std::vector<std::string> arguments)
{
  InitUnits();
  InstallDownloadClient();
  TProgramForms forms;
  try {
    QApplication::setApplicationName(QStringLiteral("Quillmar Pro"));
    QApplication::setWindowIcon(ProgramIcon());
    ApplicationTitle = "Quillmar Pro";
    ApplicationHelpFile = "QX2.2.HLP";
    forms.Frame = std::make_unique<TFrameForm>();
    forms.Frame->SetCommandLine(std::move(arguments));
    InstallFrameCommands(*forms.Frame);
    // The long-lived dialogs follow, in their order, as children of the
    // frame.
    new TConcordConfigDlg(forms.Frame.get());  // ConcordConfigDlg
    ViewStopListDlg = new TViewStopListDlg(GlobalStopList, nullptr, forms.Frame.get());
    CorporaListDlg = createCorporaListDlg(*forms.Frame);
    InstallWorkspaceHooks(*forms.Frame);
    FreqConfigDlg = new TFreqConfigDlg(nullptr, forms.Frame.get());
    new TSearchTemplateDlg(nullptr, forms.Frame.get());  // SearchTemplateDlg
    new THeadingsDlg(forms.Frame.get());                 // HeadingsDlg
    new TTagCfgDialog(forms.Frame.get());                // TagCfgDialog
    new TBatchSearchCfgDlg(forms.Frame.get());           // BatchSearchCfgForm
    new TWordTagsCfgDialog(forms.Frame.get());           // WordTagsCfgDialog
    // The restrictions form comes last.
    new THdCtxDlg(*HeadingsDlg, forms.Frame.get());      // HdCtxForm
  } catch (...) {
    ViewStopListDlg = nullptr;
    CorporaListDlg = nullptr;
    FreqConfigDlg = nullptr;
    forms = TProgramForms{};
    ShowStopBox(StartupErrorCaption, StartupErrorText);
    return forms;
  }
  forms.Frame->show();
  return forms;
}

int RunQuillmar(int argc, char** argv)
{
  TQuillmarApplication app(argc, argv);
  InstallWindowLook(app);
  // The arguments as the shell passed them, after the toolkit took its own.
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i)
    arguments.emplace_back(argv[i]);
  // The seams between the core and the toolkit: calls from worker threads,
  // message pumping, messages, input and progress.
  QtUiBridge bridge;
  bridge.install();
  QtDialogService dialogs;
  dialogs.install();
  TProgramForms forms = StartQuillmar(std::move(arguments));
  if (!forms.Frame)
    return 1;
  // Before the first activation loads anything: the leftovers of runs that
  // are gone go, and this run's temporary files get a folder of their own.
  StartRunFiles();
  QApplication::setQuitOnLastWindowClosed(false);
  QObject::connect(forms.Frame.get(), &TFrameForm::Closed, &app, &QCoreApplication::quit);
  const int result = QApplication::exec();
  // No download worker may outlive the frame and the toolkit.
  StopAllDownloads();
  EndRunFiles();
  return result;
}
