// The full-text windows' part of the frame: the corpus operations open the
// first loaded file's window and close an item's window through the frame's
// hooks. The window's own menu carries its commands.
#include "workbench/frame/frame_commands.h"
#include "workbench/frame/frame_form.h"
#include "workbench/windows/full_text_form.h"

void installFullTextCommands(TFrameForm& frame, TFrameCommands& /*commands*/)
{
  frame.ShowFullTextHook = [](const std::string& name) { ShowFullText(name, 0); };
  frame.CloseFullTextHook = [](const std::string& name) { CloseFullText(name); };
}
