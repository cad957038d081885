// The one place that calls each feature's command installer; a feature adds
// its installer's declaration to frame_commands.h and one call here.
#include "workbench/frame/frame_commands.h"

void installFeatureCommands(TFrameForm& frame, TFrameCommands& commands)
{
  installDistributionCommands(frame, commands);
  installFullTextCommands(frame, commands);
  installWordListCommands(frame);
  installFreqConfigCommands(frame);
  installCollocationCommands(frame);
  installCorpusCompCommands(frame);
  installConcordConfigCommands(frame, commands);
  installTagSettingsCommands(frame);
  installAdvancedCollocationCommands(frame);
  installDownloadCommands(frame);
  installWorkspaceCommands(frame, commands);
  installFrameDialogCommands(frame);
}
