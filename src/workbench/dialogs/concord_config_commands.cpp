// The frame's Search Options command: the search parameters with their
// context controls enabled.
#include "forms/concord_config.h"
#include "workbench/frame/frame_commands.h"
#include "workbench/frame/frame_form.h"

void installConcordConfigCommands(TFrameForm& frame, TFrameCommands& /*commands*/)
{
  frame.RegisterCommand(QStringLiteral("FMC_Configure"), [] { ExecuteSearchParameters(true); });
}
