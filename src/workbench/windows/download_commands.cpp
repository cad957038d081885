// The frame's command for the downloads: Stop Loading URLs. Each running
// download sees the flag at its worker's next wake-up and ends quietly,
// keeping what arrived.
#include "workbench/frame/frame_commands.h"

#include "foundation/program_state.h"
#include "workbench/frame/frame_form.h"

void installDownloadCommands(TFrameForm& frame)
{
  frame.RegisterCommand(QStringLiteral("FMF_StopURLsloading"), [] { StopLoadingURLs = true; });
}
