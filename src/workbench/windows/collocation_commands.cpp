// The frame's Collocate Frequency command: the collocation window of the
// active concordance window.
#include "foundation/settings.h"
#include "workbench/frame/frame_commands.h"
#include "workbench/frame/frame_form.h"
#include "workbench/windows/concordance_form.h"

void installCollocationCommands(TFrameForm& frame)
{
  frame.RegisterCommand(QStringLiteral("FMQ_Frequency"), [&frame] {
    auto* window = dynamic_cast<TConcordanceForm*>(frame.ActiveChild());
    if (!window)
      return;
    BusyScope busy(BusyCounting);
    window->ShowCollocateFrequency();
  });
}
