// A fixture for tests of the corpus list and its passes: corpus files in a
// scratch folder, TMPDIR and XDG_CONFIG_HOME in scratch folders of their own,
// a fresh program state with the default reader settings, the fake bridge,
// dialogs and frame sink, and a frame that records what the corpus asks of it.
#pragma once

#include "corpus_files.h"
#include "foundation/corpus_list.h"
#include "foundation/dialogs.h"
#include "foundation/program_state.h"
#include "foundation/settings.h"
#include "foundation/tag_scan.h"
#include "support/fake_bridge.h"
#include "support/scoped_env.h"
#include "support/scratch_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace testsupport {

class RecordingCorpusFrame : public TCorpusFrame {
public:
  std::vector<std::string> Calls;
  std::string Info;

  void ShowFullText(const std::string& name) override { Calls.push_back("show " + name); }
  void CloseFullText(const std::string& name) override { Calls.push_back("close " + name); }
  void CloseAllChildWindows() override { Calls.push_back("close all"); }
  void ForgetWordListWindows() override { Calls.push_back("forget word lists"); }
  void SetCorpusInfo(const std::string& text) override { Info = text; }
};

class CorpusFixture : public testing::Test {
protected:
  void SetUp() override
  {
    InitProgramState();
    InitSharedState();
    corpusgen::useDefaultSearchSettings();
    FrequencySettings.IgnoreCase = true;
    FrequencySettings.SkipTags = true;
    WatchedTags.clear();
    TagScanCancelled = false;
    CorpusFreqList.reset();
    SetDownloadFactory(nullptr);
    bridge.OnPump([this](int pump) {
      if (onPump)
        onPump(pump);
    });
  }

  void TearDown() override
  {
    onPump = nullptr;
    UnloadCorpus(frame);
    SetDownloadFactory(nullptr);
    WatchedTags.clear();
    WorkspaceFolder.clear();
    CorpusFreqList.reset();
  }

  // Every error box shown, in order.
  std::vector<std::string> errors() const { return messagesOf(mtError); }
  // Every question asked, in order.
  std::vector<std::string> questions() const { return messagesOf(mtConfirmation); }

  // Files the program left in the temp folder (tests may make folders there).
  std::vector<std::string> tempFiles() const
  {
    std::vector<std::string> out;
    for (const std::string& n : temp.names())
      if (std::filesystem::is_regular_file(temp.file(n)))
        out.push_back(n);
    return out;
  }

  // Presses a button of the progress dialog whose label is `label` when it
  // is next polled.
  void cancelWhenScanning(const std::string& label, int tag)
  {
    onPump = [label, tag](int) {
      ProgressDialog* p = ProgressDialog::Topmost();
      if (p && p->ProgressLabel() == label)
        p->SetTag(tag);
    };
  }

  ScratchFolder files;
  ScratchFolder temp;
  ScratchFolder config;
  ScopedEnv tmpdir{"TMPDIR", temp.path()};
  ScopedEnv xdg{"XDG_CONFIG_HOME", config.path()};
  FakeBridge bridge;
  FakeDialogs dialogs;
  RecordingFrameSink sink;
  RecordingCorpusFrame frame;
  std::function<void(int pump)> onPump;

private:
  std::vector<std::string> messagesOf(TMsgDlgType kind) const
  {
    std::vector<std::string> out;
    for (const auto& m : dialogs.Messages)
      if (m.Kind == kind)
        out.push_back(m.Text);
    return out;
  }
};

}  // namespace testsupport
