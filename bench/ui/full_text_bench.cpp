// The full-text window over a generated corpus file of 1 GB (CR LF lines;
// QUILL_BENCH_FULLTEXT_MB sets another size) with the page cache warm,
// offscreen:
//   FullTextFirstScreen/1 and /1024  from ShowFullText to the first screen
//       laid out and painted, for a 1 MB and the 1 GB file;
//   FullTextCountingTimer  while the 1 GB file is counted, the longest delay
//       of a 10 ms timer of the GUI thread beyond its period, the updates
//       the window received and the time to count done.
// The files are deleted at exit.
#include "offscreen_app.h"
#include "corpus_files.h"
#include "foundation/corpus_list.h"
#include "foundation/program_state.h"
#include "workbench/lineview/strings_view.h"
#include "workbench/windows/full_text_form.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

namespace {

std::map<uint64_t, std::string> corpusFiles;

void removeCorpora()
{
  for (const auto& [mb, file] : corpusFiles)
    std::filesystem::remove(file);
}

uint64_t bigMegabytes()
{
  const char* mb = std::getenv("QUILL_BENCH_FULLTEXT_MB");
  const uint64_t n = mb ? std::strtoull(mb, nullptr, 10) : 1024;
  return n ? n : 1024;
}

// The corpus item of a generated file of mb megabytes, loaded without a scan.
std::string item(uint64_t mb)
{
  OffscreenApp();
  if (corpusFiles.empty()) {
    InitProgramState();
    corpusgen::useDefaultSearchSettings();
    std::atexit(removeCorpora);
  }
  std::string& file = corpusFiles[mb];
  if (file.empty()) {
    corpusgen::Options o;
    o.size = mb << 20;
    o.seed = 25;
    file = corpusgen::tempPath("quill_full_text_bench" + std::to_string(mb) + ".txt");
    corpusgen::writeToFile(o, file);
  }
  corpusgen::warmPageCache(file);
  if (CorpusList.IndexOf(file) < 0) {
    auto entry = std::make_unique<TCorpusItem>();
    entry->Name = file;
    entry->Source = std::make_unique<TFileSynchroStream>(file, CorpusFileMode);
    CorpusList.Append(std::move(entry));
  }
  return file;
}

void FullTextFirstScreen(benchmark::State& state)
{
  const std::string file = item(state.range(0) == 1 ? 1 : bigMegabytes());
  for (auto _ : state) {
    QElapsedTimer clock;
    clock.start();
    TFullTextForm* form = ShowFullText(file);
    while (!form->TextWindow->ViewFull())
      QApplication::processEvents();
    form->TextWindow->viewport()->repaint();
    state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
    state.counters["firstScreenMs"] = double(clock.nsecsElapsed()) / 1e6;
    delete form;
  }
}
BENCHMARK(FullTextFirstScreen)->Arg(1)->Arg(1024)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void FullTextCountingTimer(benchmark::State& state)
{
  const std::string file = item(bigMegabytes());
  for (auto _ : state) {
    QElapsedTimer clock;
    clock.start();
    TFullTextForm* form = ShowFullText(file);
    int64_t last = clock.elapsed();
    int64_t worst = 0;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [&] {
      const int64_t now = clock.elapsed();
      worst = std::max(worst, now - last - 10);
      last = now;
    });
    timer.start(10);
    while (!form->CountDone())
      QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
    state.counters["worstTimerDelayMs"] = double(worst);
    state.counters["updates"] = double(form->UpdatesReceived());
    state.counters["lines"] = double(form->Lines()->Count());
    delete form;
  }
}
BENCHMARK(FullTextCountingTimer)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
