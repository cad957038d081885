#include "support/fake_bridge.h"

namespace testsupport {

// --- FakeBridge -----------------------------------------------------------------

FakeBridge::FakeBridge() : uiThread_(std::this_thread::get_id()), previous_(platform::setUiBridge(this)) {}

FakeBridge::~FakeBridge()
{
  RunPending();
  platform::setUiBridge(previous_);
}

void FakeBridge::synchronize(const std::function<void()>& fn)
{
  if (isUiThread()) {
    fn();
    return;
  }
  std::future<void> done;
  {
    std::lock_guard lock(mutex_);
    tasks_.push_back(Task{fn, {}});
    done = tasks_.back().done.get_future();
  }
  queued_.notify_all();
  done.get();  // raises the call's exception here
}

void FakeBridge::post(std::function<void()> fn)
{
  {
    std::lock_guard lock(mutex_);
    tasks_.push_back(Task{std::move(fn), {}});
  }
  queued_.notify_all();
}

void FakeBridge::processMessages()
{
  ++pumps_;
  if (pumps_ == cancelAt_) {
    if (ProgressDialog* p = ProgressDialog::Topmost())
      p->SetTag(cancelTag_);
  }
  if (onPump_)
    onPump_(pumps_);
  RunPending();
}

void FakeBridge::PressCancelAt(int pump, int tag)
{
  cancelAt_ = pump;
  cancelTag_ = tag;
}

int FakeBridge::RunPending()
{
  int ran = 0;
  for (;;) {
    Task task;
    {
      std::lock_guard lock(mutex_);
      if (tasks_.empty())
        return ran;
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    try {
      task.fn();
      task.done.set_value();
    } catch (...) {
      task.done.set_exception(std::current_exception());
    }
    ++ran;
  }
}

bool FakeBridge::WaitForQueued(std::chrono::milliseconds timeout)
{
  std::unique_lock lock(mutex_);
  return queued_.wait_for(lock, timeout, [&] { return !tasks_.empty(); });
}

// --- RecordingFrameSink ------------------------------------------------------

RecordingFrameSink::RecordingFrameSink() : previous_(platform::setFrameSink(this)) {}

RecordingFrameSink::~RecordingFrameSink()
{
  platform::setFrameSink(previous_);
}

void RecordingFrameSink::statusText(std::string_view text)
{
  Calls.push_back("status: " + std::string(text));
}

void RecordingFrameSink::corpusInfo()
{
  Calls.push_back("corpusInfo");
}

void RecordingFrameSink::closeChildWindows(int kind)
{
  Calls.push_back("close: " + std::to_string(kind));
}

void RecordingFrameSink::urlStart(std::string_view url, int64_t totalSize)
{
  Calls.push_back("urlStart: " + std::string(url) + " " + std::to_string(totalSize));
}

void RecordingFrameSink::urlProgress(std::string_view url, int64_t received)
{
  Calls.push_back("urlProgress: " + std::string(url) + " " + std::to_string(received));
}

void RecordingFrameSink::urlDone(std::string_view url)
{
  Calls.push_back("urlDone: " + std::string(url));
}

void RecordingFrameSink::refreshConcordances()
{
  Calls.push_back("refreshConcordances");
}

void RecordingFrameSink::caption(std::string_view text)
{
  Calls.push_back("caption: " + std::string(text));
}

// --- FakeDialogs -------------------------------------------------------------

FakeDialogs::FakeDialogs() : previous_(SetDialogService(this)) {}

FakeDialogs::~FakeDialogs()
{
  SetDialogService(previous_);
}

int FakeDialogs::ShowMessageBox(const MessageBoxRequest& r)
{
  Messages.push_back(Message{r.Kind, r.Message, r.Buttons, r.Focused});
  if (!Answers.empty()) {
    int answer = Answers.front();
    Answers.pop_front();
    return answer;
  }
  return MessageButtonInfo[r.Focused].ModalResult;
}

bool FakeDialogs::QueryInput(std::string_view caption, std::string_view, const TFontRec&, std::string& text)
{
  InputCaptions.emplace_back(caption);
  if (Inputs.empty()) {
    text.clear();
    return false;
  }
  Input in = Inputs.front();
  Inputs.pop_front();
  text = in.Text;
  return in.Ok;
}

std::unique_ptr<ProgressDialog> FakeDialogs::CreateProgressForm(bool multiFile)
{
  ++ProgressFormsCreated;
  return std::make_unique<ProgressDialog>(multiFile);
}

std::unique_ptr<DoubleProgressDialog> FakeDialogs::CreateDoubleProgressForm()
{
  ++ProgressFormsCreated;
  return std::make_unique<DoubleProgressDialog>();
}

}  // namespace testsupport
