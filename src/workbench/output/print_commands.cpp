// The output commands of the frame: printer set-up, and Save, Print, Copy
// and Font of the Frequency and Display menus, carried out by the active
// collocation, word-list or comparison window.
#include "workbench/frame/frame_commands.h"

#include "foundation/dialogs.h"
#include "foundation/program_state.h"
#include "platform/frame_sink.h"
#include "workbench/frame/child_window.h"
#include "workbench/frame/frame_form.h"
#include "workbench/output/text_sink.h"

void TFrameCommands::RegisterOutputCommands()
{
  Register("FMF_PrintSetup", &TFrameCommands::FMF_PrintSetupClick);
  Register("FMQ_Save", &TFrameCommands::FMQ_SaveClick);
  Register("FMQ_Print", &TFrameCommands::FMQ_PrintClick);
  Register("FMQ_CopyClipboard", &TFrameCommands::FMQ_CopyClipboardClick);
  Register("CMD_Font", &TFrameCommands::CMD_FontClick);
}

void TFrameCommands::FMF_PrintSetupClick()
{
  if (!ProgramPrinter()) {
    ShowError(NoPrinterText);
    return;
  }
  frame_.PrinterSetupDialog.Execute();
}

TListWindowCommands* TFrameCommands::ActiveListWindow() const
{
  TMDIChildForm* child = frame_.ActiveChild();
  if (!child || child->kind() < mkCollocation || child->kind() > mkCorpusComp)
    return nullptr;
  return dynamic_cast<TListWindowCommands*>(child);
}

void TFrameCommands::FMQ_SaveClick()
{
  if (TListWindowCommands* window = ActiveListWindow()) {
    BusyScope busy(BusySaving);
    window->SaveCommand();
  }
}

void TFrameCommands::FMQ_PrintClick()
{
  if (TListWindowCommands* window = ActiveListWindow()) {
    BusyScope busy(BusyPrinting);
    window->PrintCommand();
  }
}

void TFrameCommands::FMQ_CopyClipboardClick()
{
  if (TListWindowCommands* window = ActiveListWindow())
    window->CopyCommand();
}

void TFrameCommands::CMD_FontClick()
{
  TListWindowCommands* window = ActiveListWindow();
  if (!window)
    return;
  window->FontCommand();
  if (frame_.ActiveChild()->kind() == mkCorpusComp)
    return;
  for (TMDIChildForm* child : frame_.ChildWindows())
    if (child->kind() == mkCorpusComp)
      if (auto* comparison = dynamic_cast<TListWindowCommands*>(child))
        comparison->TakeFrequencyFont();
}
