// Test doubles for the seams between the core and the user interface.
//
// FakeBridge: the thread that creates it is the user-interface thread. A
// synchronize() from another thread queues the call and waits for it; the
// queue runs when the test thread pumps (processMessages) or calls
// RunPending(). It can press Cancel in the topmost progress dialog at the Nth
// pump, which is how core tests cancel long operations.
//
// RecordingFrameSink: records every call on the frame interface as a line.
//
// FakeDialogs: records every message box and answers from a script; hands
// out plain progress dialogs.
//
// Each installs itself for its lifetime and restores what was there before.
#pragma once

#include "foundation/dialogs.h"
#include "platform/frame_sink.h"
#include "platform/ui_bridge.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

class FakeBridge : public platform::UiBridge {
public:
  FakeBridge();
  ~FakeBridge() override;
  FakeBridge(const FakeBridge&) = delete;
  FakeBridge& operator=(const FakeBridge&) = delete;

  void synchronize(const std::function<void()>& fn) override;
  // Counts the pump, presses a scheduled Cancel, then runs the queued calls.
  void processMessages() override;
  bool isUiThread() const override { return std::this_thread::get_id() == uiThread_; }
  // Queues fn for the next pump without waiting.
  void post(std::function<void()> fn) override;
  void beginBusyCursor() override { ++busyCursor_; }
  void endBusyCursor() override { --busyCursor_; }

  // At pump number `pump` (1-based) the topmost progress dialog's tag becomes
  // `tag` (1 Cancel, 2 Cancel All).
  void PressCancelAt(int pump, int tag = 1);
  // Called at every pump with its number, after a scheduled Cancel.
  void OnPump(std::function<void(int pump)> hook) { onPump_ = std::move(hook); }
  int Pumps() const { return pumps_; }
  int BusyCursorDepth() const { return busyCursor_; }
  // Runs the calls queued so far; how many ran.
  int RunPending();
  // Waits until a call is queued (true) or the time is up (false).
  bool WaitForQueued(std::chrono::milliseconds timeout);

private:
  struct Task {
    std::function<void()> fn;
    std::promise<void> done;
  };
  std::thread::id uiThread_;
  platform::UiBridge* previous_;
  std::mutex mutex_;
  std::condition_variable queued_;
  std::deque<Task> tasks_;
  int pumps_ = 0;
  int cancelAt_ = -1;
  int cancelTag_ = 1;
  int busyCursor_ = 0;
  std::function<void(int)> onPump_;
};

class RecordingFrameSink : public platform::FrameSink {
public:
  RecordingFrameSink();
  ~RecordingFrameSink() override;

  void statusText(std::string_view text) override;
  void corpusInfo() override;
  void closeChildWindows(int kind) override;
  void urlStart(std::string_view url, int64_t totalSize) override;
  void urlProgress(std::string_view url, int64_t received) override;
  void urlDone(std::string_view url) override;
  void refreshConcordances() override;
  void caption(std::string_view text) override;

  // "status: <text>", "corpusInfo", "close: <kind>", "urlStart: <url> <size>",
  // "urlProgress: <url> <n>", "urlDone: <url>", "refreshConcordances",
  // "caption: <text>".
  std::vector<std::string> Calls;

private:
  platform::FrameSink* previous_;
};

class FakeDialogs : public DialogService {
public:
  struct Message {
    TMsgDlgType Kind;
    std::string Text;
    TMsgDlgButtons Buttons;
    TMsgDlgBtn Focused;
  };
  struct Input {
    bool Ok;
    std::string Text;
  };

  FakeDialogs();
  ~FakeDialogs() override;

  int ShowMessageBox(const MessageBoxRequest& request) override;
  bool QueryInput(std::string_view caption, std::string_view prompt, const TFontRec& font,
                  std::string& text) override;
  std::unique_ptr<ProgressDialog> CreateProgressForm(bool multiFile) override;
  std::unique_ptr<DoubleProgressDialog> CreateDoubleProgressForm() override;

  // Every box shown, in order.
  std::vector<Message> Messages;
  // Their texts.
  std::vector<std::string> Texts() const
  {
    std::vector<std::string> texts;
    for (const Message& m : Messages)
      texts.push_back(m.Text);
    return texts;
  }
  // Modal results to answer with, in order; when empty, the focused button's.
  std::deque<int> Answers;
  // Answers of QueryInput, in order; when empty, Cancel with an empty text.
  std::deque<Input> Inputs;
  // Captions of the input boxes and the progress dialogs created.
  std::vector<std::string> InputCaptions;
  int ProgressFormsCreated = 0;

private:
  DialogService* previous_;
};

}  // namespace testsupport
