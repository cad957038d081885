// The two commands of the Tag Settings menu: the dialogs, then the indexes
// and counts that the changed settings make stale are dropped and every
// child window is told.
#include "foundation/corpus_list.h"
#include "foundation/settings.h"
#include "workbench/dialogs/tag_cfg_dlg.h"
#include "workbench/dialogs/word_tags_cfg_dlg.h"
#include "workbench/frame/frame_commands.h"
#include "workbench/frame/child_window.h"
#include "workbench/frame/frame_form.h"

namespace {

void TagSettings(TFrameForm& frame)
{
  if (!TagCfgDialog)
    return;
  const std::string separator = ConcordSettings.PageSeparator;
  const bool changed = TagCfgDialog->ExecuteTagSettings();
  if (changed)
    DropTagIndexes();
  if (separator != ConcordSettings.PageSeparator)
    DropPageIndexes();
  if (changed)
    frame.BroadcastTagsChanged();
}

void WordTagSettings(TFrameForm& frame)
{
  if (!WordTagsCfgDialog)
    return;
  const bool changed = WordTagsCfgDialog->EditWordTagSettings();
  // Words were counted with the delimiter as a word delimiter.
  if ((changed && FrequencySettings.SkipTags) || WordTagsCfgDialog->Model().DelimiterRemoved) {
    ResetWordCounts(frame);
    DropCorpusFreqList();
    frame.CloseChildWindows(mkCollocation);
  }
  if (changed)
    frame.BroadcastTagsChanged();
}

}  // namespace

void installTagSettingsCommands(TFrameForm& frame)
{
  TFrameForm* f = &frame;
  frame.RegisterCommand(QStringLiteral("CMD_TagSettings"), [f] { TagSettings(*f); });
  frame.RegisterCommand(QStringLiteral("CMD_WordTagSettings"), [f] { WordTagSettings(*f); });
}
