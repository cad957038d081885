#include "forms/full_text_model.h"

#include "foundation/buf_stream.h"
#include "foundation/buf_stream_config.h"
#include "foundation/corpus_list.h"
#include "foundation/dialogs.h"
#include "foundation/settings.h"
#include "foundation/text_sink.h"
#include "foundation/utils.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr int32_t PrintBlockSize = 4096;
constexpr int64_t RateInterval = 300;  // ms between rate displays
constexpr int64_t PumpInterval = 50;   // ms between message pumps

}  // namespace

std::string FullTextCaption(const std::string& name)
{
  return "Corpus Text - " + ItemDisplayName(name);
}

std::string PrintQuestionText(int32_t lines)
{
  return "Print complete text of corpus?\r\n(Approximately " + std::to_string(lines) + " lines)";
}

bool ViewShouldGrow(int32_t lastLaidOut, int32_t viewLastLaidOut, int32_t topIndex, int32_t lineHeight,
                    int32_t clientHeight)
{
  return lastLaidOut == -1 || int64_t(viewLastLaidOut - topIndex + 1) * lineHeight < clientHeight;
}

bool TFullTextModel::Load(const std::string& name, TEvents events)
{
  Release();
  const int32_t j = CorpusList.IndexOf(name);
  if (j < 0 || !CorpusList[j].Source)
    return false;
  TSynchroStream* source = CorpusList[j].Source.get();
  FileName = name;
  LastLaidOut = -1;
  CountDone = false;
  auto reader = std::make_unique<TBufStream>(source);
  ConfigureBufStream(*reader);
  Lines_ = std::make_unique<TFileStrings>(source, reader.get(), std::move(events.LineCounted),
                                          std::move(events.CountDone), std::move(events.Failed));
  Reader_ = std::move(reader);
  Lines_->Suppress = suppressChecks_;
  return true;
}

void TFullTextModel::Release()
{
  Lines_.reset();
  Reader_.reset();
}

bool TFullTextModel::TagsChanged()
{
  if (!Reader_)
    return false;
  ConfigureBufStream(*Reader_);
  if (Lines_)
    Lines_->ClassificationChanged();
  return true;
}

bool TFullTextModel::ToggleSuppress(int clicked)
{
  std::array<bool, 3> flags = Lines_ ? Lines_->Suppress : suppressChecks_;
  const bool changed = ToggleSuppressOption(flags, suppressChecks_, clicked);
  if (changed && Lines_)
    Lines_->Suppress = flags;
  return changed;
}

bool TFullTextModel::PrintEnabled() const
{
  return CountDone && !IsBusy();
}

void PrintFullText(const TFullTextModel& model, const TPrintJobOpener& openJob, const std::function<void()>& menusChanged,
                   const std::function<int64_t()>& nowMs)
{
  TFileStrings* lines = model.Lines();
  if (!lines)
    return;
  const int32_t count = lines->Count();
  if (count > PrintQuestionLines && !ConfirmOkCancel(PrintQuestionText(count), true))
    return;
  const int32_t j = CorpusList.IndexOf(model.FileName);
  if (j < 0 || !CorpusList[j].Source)
    return;
  TSynchroStream& source = *CorpusList[j].Source;

  BusyScope busy(BusyPrinting);
  if (menusChanged)
    menusChanged();
  std::unique_ptr<ProgressDialog> progress = CreateProgressForm(false);
  std::string shortName = model.FileName;
  if (const size_t slash = shortName.find_last_of('/'); slash != std::string::npos)
    shortName.erase(0, slash + 1);
  progress->SetCaption("Printing Progress");
  progress->SetProgressLabel("Printing " + shortName + "...");
  progress->SetSpecialText("");
  progress->SetSpecialTextVisible(true);
  progress->SetMaxValue(100);
  progress->Show();
  progress->poll();

  std::unique_ptr<TTextSink> job = openJob("Quillmar - " + model.FileName);
  const int64_t size = std::max<int32_t>(lines->GetFileSize(), 1);
  const int64_t start = nowMs();
  int64_t lastRate = start;
  int64_t lastPump = start;
  int64_t sent = 0;
  int64_t lineCount = 0;
  int32_t pos = 0;
  std::string block(PrintBlockSize, '\0');
  bool cancelled = false;
  for (;;) {
    const int32_t got = source.ReadAt(pos, block.data(), PrintBlockSize);
    if (got <= 0)
      break;
    std::string_view bytes(block.data(), size_t(got));
    // A NUL is ordinary text: it prints as a blank.
    std::replace(block.begin(), block.begin() + got, '\0', ' ');
    job->Write(bytes);
    lineCount += std::count(bytes.begin(), bytes.end(), '\r');
    sent += got;
    progress->SetProgress(std::clamp<int64_t>(std::llround(double(sent) * 100.0 / double(size)), 0, 100));
    const int64_t now = nowMs();
    if (now - lastRate > RateInterval) {
      const double seconds = double(now - start) / 1000.0;
      char rate[48];
      std::snprintf(rate, sizeof rate, "%d lines/sec", int(std::lround(double(lineCount) / seconds)));
      progress->SetSpecialText(rate);
      lastRate = now;
    }
    int tag;
    if (now - lastPump >= PumpInterval) {
      tag = progress->poll();
      lastPump = nowMs();
    } else {
      tag = progress->Tag();
    }
    if (tag != ProgressRunning) {
      cancelled = true;
      break;
    }
  }
  progress->Hide();
  if (!cancelled)
    job->Close();
  // A job left open is aborted when it goes.
}
