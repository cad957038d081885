// Filling a live concordance window against filling a bare hit list: the
// same search (the corpus's most frequent word, the first half million hits)
// through RunSearch, once into a TConcordItems and once into a shown
// TConcordanceForm (offscreen) with the Qt progress dialog pumping events as
// in the program. The ratio is the window's time over the bare list's; grep
// -o -w -i | wc -l over the same file is printed beside it.
//
// The corpus is the concordance writer benchmark's first file (generator
// seed 300, 128 MiB), kept in $QUILL_WRITER_CORPUS, else
// $TMPDIR/quill_writer_bench (TMPDIR defaults to /tmp).
#include "bench_app.h"
#include "corpus_files.h"
#include "corpus_generator.h"
#include "foundation/chartables.h"
#include "foundation/corpus_list.h"
#include "foundation/program_state.h"
#include "foundation/settings.h"
#include "search/concord_items.h"
#include "search/search_driver.h"
#include "workbench/dialogs/qt_dialogs.h"
#include "workbench/windows/concordance_form.h"

#include <QApplication>
#include <benchmark/benchmark.h>

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int32_t HitCount = 500000;

double Seconds(Clock::time_point from, Clock::time_point to)
{
  return std::chrono::duration<double>(to - from).count();
}

corpusgen::Options FileOptions()
{
  corpusgen::Options o;
  o.size = uint64_t(128) << 20;
  o.seed = 300;
  return o;
}

std::string CorpusFile()
{
  const char* env = std::getenv("QUILL_WRITER_CORPUS");
  const std::string folder = env && *env ? std::string(env) + "/" : corpusgen::tempPath("quill_writer_bench/");
  ::mkdir(folder.c_str(), 0700);
  const std::string path = folder + "plain_0.txt";
  corpusgen::writeUnlessPresent(FileOptions(), path);
  corpusgen::warmPageCache(path);
  return path;
}

void SetUp()
{
  benchui::App();
  InitProgramState();
  InitSharedState();
  SetTextLanguage(0x409);
  corpusgen::useDefaultSearchSettings();
  ConcordSettings.IgnoreCase = true;
  ConcordSettings.FrequencyOfHits = 1;
  ConcordSettings.HighlightCollocates = false;
  BuildCharTables();
  while (CorpusList.Count() > 0)
    CorpusList.Take(CorpusList.Count() - 1);
  const std::string path = CorpusFile();
  auto item = std::make_unique<TCorpusItem>();
  item->Name = path;
  item->Source = std::make_unique<TFileSynchroStream>(path, CorpusFileMode);
  item->Reader = std::make_unique<TBufStream>(item->Source.get());
  CorpusList.Append(std::move(item));
}

std::string Word()
{
  return corpusgen::vocabulary(FileOptions())[0];
}

std::unique_ptr<TSearch> Prepared()
{
  TSearchRec request;
  request.Mode = TSearchMode::Text;
  request.Patterns = {Word()};
  request.DisplayPatterns = request.Patterns;
  auto search = std::make_unique<TSearch>();
  int32_t phase = 0;
  std::string error;
  search->Prepare(request, phase, error);
  if (phase != 0)
    throw std::runtime_error(error);
  return search;
}

double GrepSeconds()
{
  std::string command = "LC_ALL=C grep -o -w -i '" + Word() + "' '" + CorpusFile() + "' | head -n " +
                        std::to_string(HitCount) + " | wc -l > /dev/null";
  const auto t0 = Clock::now();
  if (std::system(command.c_str()) != 0)
    throw std::runtime_error("grep failed");
  return Seconds(t0, Clock::now());
}

void BM_FillLiveWindow(benchmark::State& state)
{
  SetUp();
  QtDialogService dialogs;
  dialogs.install();
  double bare = 0;
  double window = 0;
  int32_t shown = 0;
  for (auto _ : state) {
    {
      std::unique_ptr<TSearch> search = Prepared();
      TConcordItems list;
      const auto t0 = Clock::now();
      search->RunSearch(HitCount, [&](std::unique_ptr<TConcordItem> hit) { list.AddItem(std::move(hit)); });
      bare += Seconds(t0, Clock::now());
    }
    {
      TConcordanceForm form(Word());
      form.show();
      QApplication::processEvents();
      std::unique_ptr<TSearch> search = Prepared();
      TSearch* running = search.get();
      form.SetSearch(std::move(search));
      const auto t0 = Clock::now();
      running->RunSearch(HitCount, [&](std::unique_ptr<TConcordItem> hit) { form.AddHit(std::move(hit)); });
      form.AfterSearch();
      QApplication::processEvents();
      const double s = Seconds(t0, Clock::now());
      window += s;
      state.SetIterationTime(s);
      shown = form.Items().Count();
    }
  }
  const double n = double(state.iterations());
  const double grep = GrepSeconds();
  state.counters["hits"] = double(shown);
  state.counters["bare_s"] = bare / n;
  state.counters["window_s"] = window / n;
  state.counters["window_over_bare"] = window / bare;
  state.counters["us_per_hit_window"] = window / n / double(shown) * 1e6;
  state.counters["grep_s"] = grep;
  state.counters["x_grep"] = grep / (window / n);
}

}  // namespace

BENCHMARK(BM_FillLiveWindow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
