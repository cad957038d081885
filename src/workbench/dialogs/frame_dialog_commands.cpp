// The frame's Load Corpus URL, Language and About commands, and the
// workspace options dialog of Save Workspace.
#include "foundation/corpus_list.h"
#include "foundation/workspace.h"
#include "workbench/dialogs/about_box.h"
#include "workbench/dialogs/frame_dialogs_forms.h"
#include "workbench/frame/frame_commands.h"
#include "workbench/frame/frame_form.h"

void installFrameDialogCommands(TFrameForm& frame)
{
  SetWorkspaceOptionsEditor(ShowWkSpaceOptionsForm);
  frame.RegisterCommand(QStringLiteral("FMF_URL"), [&frame] {
    const std::string url = AskURL();
    if (!url.empty())
      LoadCorpusItems(frame, {url});
  });
  frame.RegisterCommand(QStringLiteral("FMF_Language"), [&frame] {
    // The corpus was read with the old character tables.
    if (SelectLanguage())
      UnloadCorpus(frame);
  });
  frame.RegisterCommand(QStringLiteral("FMI_About"), [] { ShowAbout(); });
}
