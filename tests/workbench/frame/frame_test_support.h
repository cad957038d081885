// Shared pieces of the frame tests: a fixture that points every folder the
// program touches at a scratch folder and records the stop boxes and the
// association tools, and child windows that stand in for the real ones.
#pragma once

#include "foundation/corpus_list.h"
#include "foundation/dialogs.h"
#include "foundation/program_state.h"
#include "foundation/settings.h"
#include "platform/paths.h"
#include "support/fake_bridge.h"
#include "support/scoped_env.h"
#include "support/scratch_folder.h"
#include "workbench/frame/child_window.h"
#include "workbench/frame/file_association.h"
#include "workbench/frame/frame_dialogs.h"
#include "workbench/frame/frame_form.h"
#include "workbench/frame/startup.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace frametest {

// The object names of the visible menus of a menu bar, joined by blanks.
inline std::string MenuBarNames(QMenuBar* bar)
{
  std::string names;
  for (QAction* action : bar->actions())
    if (action->menu() && action->isVisible())
      names += (names.empty() ? "" : " ") + action->menu()->objectName().toStdString();
  return names;
}

// A child window of any kind that counts the frame's calls.
class TTestChild : public TMDIChildForm
{
public:
  TTestChild(int kind, const QString& title) : TMDIChildForm(kind)
  {
    setWindowTitle(title);
    resize(200, 120);
  }
  QMenu* AddMenu(int group, const QString& name, const QString& caption) { return addMenu(group, name, caption); }

  void updateMenus() override { ++UpdateMenusCalls; }
  void tagsChanged() override { ++TagsChangedCalls; }
  void refreshContext() override { ++RefreshCalls; }
  void activated() override { ++Activations; }
  void deactivated() override { ++Deactivations; }

  int UpdateMenusCalls = 0;
  int TagsChangedCalls = 0;
  int RefreshCalls = 0;
  int Activations = 0;
  int Deactivations = 0;
};

class FrameTest : public ::testing::Test
{
protected:
  FrameTest()
      : config_("XDG_CONFIG_HOME", folder_.path() + "config"),
        data_("XDG_DATA_HOME", folder_.path() + "data"),
        temp_("TMPDIR", folder_.path())
  {
    platform::setProgramFolder(folder_.path() + "program/");
    InitProgramState();
    FirstActivation = true;
    EscapePressed = false;
    SetStopBox([this](const std::string& caption, const std::string& text) {
      StopBoxes.emplace_back(caption, text);
    });
    SetAssociationToolRunner([this](const std::string& program, const std::vector<std::string>& args) {
      ToolRuns.push_back(program + (args.empty() ? "" : " " + args.front()));
    });
  }

  ~FrameTest() override
  {
    TCorpusFrame none;
    UnloadCorpus(forms_.Frame ? static_cast<TCorpusFrame&>(*forms_.Frame) : none);
    forms_.Frame.reset();
    InitProgramState();
    SetStopBox({});
    SetAssociationToolRunner({});
    platform::setProgramFolder("");
  }

  // Runs the program's start-up with these arguments and lets the first
  // activation happen.
  TFrameForm& Start(std::vector<std::string> arguments = {})
  {
    forms_ = StartQuillmar(std::move(arguments));
    EXPECT_TRUE(forms_.Frame);
    QApplication::processEvents();
    return *forms_.Frame;
  }

  TFrameForm& Frame() { return *forms_.Frame; }
  // The texts of the message boxes of one kind, in order.
  std::vector<std::string> Messages(TMsgDlgType kind) const
  {
    std::vector<std::string> out;
    for (const auto& m : Dialogs.Messages)
      if (m.Kind == kind)
        out.push_back(m.Text);
    return out;
  }
  QAction* Item(const char* name) { return forms_.Frame->Item(QString::fromLatin1(name)); }

  testsupport::ScratchFolder folder_;
  testsupport::ScopedEnv config_;
  testsupport::ScopedEnv data_;
  testsupport::ScopedEnv temp_;
  testsupport::FakeDialogs Dialogs;
  TProgramForms forms_;
  std::vector<std::pair<std::string, std::string>> StopBoxes;
  std::vector<std::string> ToolRuns;
};

// Answers the file dialogs from a queue of names (Cancel once it runs dry)
// and keeps each dialog as it was shown; installs itself for its lifetime.
class ChosenFiles : public TFileDialogProvider {
public:
  ChosenFiles() : previous_(SetFileDialogProvider(this)) {}
  ~ChosenFiles() override { SetFileDialogProvider(previous_); }
  bool ExecuteFileDialog(TFileDialog& dialog) override
  {
    Shown.push_back(dialog);
    if (Answers.empty())
      return false;
    dialog.FileName = Answers.front();
    dialog.Files = {dialog.FileName};
    Answers.pop_front();
    return true;
  }
  bool ExecutePrinterSetup() override { return false; }
  std::deque<std::string> Answers;
  std::vector<TFileDialog> Shown;

private:
  TFileDialogProvider* previous_;
};

}  // namespace frametest
