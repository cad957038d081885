// The workspace commands of the File menu, Save Workspace On Exit, File >
// View and the frame's workspace hooks (the first activation's ".QWS"
// argument and the save on exit).
#include "foundation/config_file.h"
#include "foundation/program_state.h"
#include "foundation/workspace.h"
#include "workbench/dialogs/corpora_list_dlg.h"
#include "workbench/dialogs/search_template_dlg.h"
#include "workbench/frame/frame_commands.h"
#include "workbench/frame/frame_form.h"
#include "workbench/frame/qt_text.h"

#include <QAction>

namespace {

// The frame as the workspace operations see it.
class TFrameWorkspace : public TWorkspaceFrame {
public:
  explicit TFrameWorkspace(TFrameForm& frame) : frame_(frame) {}
  TCorpusFrame& Corpus() override { return frame_; }
  std::string& WorkspaceName() override { return frame_.WorkspaceName; }
  void SetCaption(const std::string& caption) override { frame_.setWindowTitle(ToQString(caption)); }
  TBatchPatternLists BatchPatterns() override
  {
    if (!SearchTemplateDlg)
      return {};
    TSearchTemplateModel& model = SearchTemplateDlg->Model();
    return {&model.Patterns, &model.GrepPatterns, &model.TagsPatterns};
  }
  bool ChooseWorkspaceToSave(std::string& fileName) override
  {
    TFileDialog& d = frame_.WorkSpaceSaveDialog;
    d.Title = SaveWorkspaceAsTitle;
    d.DefaultExt = "QWS";
    d.Filter = WorkspaceFilter;
    d.Options = ofOverwritePrompt | ofHideReadOnly | ofPathMustExist;
    d.InitialDir = WorkspacePath;
    if (!d.Execute())
      return false;
    fileName = d.FileName;
    return true;
  }
  bool ChooseWorkspaceToOpen(std::string& fileName) override
  {
    TFileDialog& d = frame_.OpenDialog;
    d.Title = OpenWorkspaceTitle;
    d.DefaultExt = "QWS";
    d.Filter = WorkspaceFilter;
    d.FilterIndex = 1;
    d.FileName.clear();
    d.Options = ofHideReadOnly | ofPathMustExist | ofFileMustExist;
    d.InitialDir = WorkspacePath;
    if (!d.Execute())
      return false;
    fileName = d.FileName;
    return true;
  }

private:
  TFrameForm& frame_;
};

}  // namespace

void installWorkspaceCommands(TFrameForm& frame, TFrameCommands&)
{
  TFrameForm* f = &frame;
  frame.RegisterCommand(QStringLiteral("FMF_LoadWorkspace"), [f] {
    TFrameWorkspace w(*f);
    LoadWorkspaceCommand(w);
  });
  frame.RegisterCommand(QStringLiteral("FMF_SaveWorkspace"), [f] {
    TFrameWorkspace w(*f);
    SaveWorkspaceCommand(w);
  });
  frame.RegisterCommand(QStringLiteral("FMF_SaveWorkspaceAs"), [f] {
    TFrameWorkspace w(*f);
    SaveWorkspaceAs(w);
  });
  frame.RegisterCommand(QStringLiteral("FMC_SaveOnExit"), [f] {
    // The checkable item has flipped its tick already.
    QAction* item = f->Item(QStringLiteral("FMC_SaveOnExit"));
    SaveOnExit = item ? item->isChecked() : !SaveOnExit;
    WriteSaveOnExit();
  });
  frame.RegisterCommand(QStringLiteral("FMF_View"), [] {
    if (!CorporaListDlg)
      return;
    CorporaListDlg->setWindowTitle(QString::fromLatin1(ViewFilesCaption));
    CorporaListDlg->ShowNonModal();
  });
}

void InstallWorkspaceHooks(TFrameForm& frame)
{
  TFrameForm* f = &frame;
  frame.OpenWorkspaceHook = [f](const std::string& fileName) {
    TFrameWorkspace w(*f);
    return OpenWorkspace(w, fileName);
  };
  frame.SaveWorkspaceHook = [f](const std::string& fileName) {
    TFrameWorkspace w(*f);
    return SaveWorkspace(w, fileName, false);
  };
}
