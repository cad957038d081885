// Filling a live concordance window against filling a bare hit list: the
// same search (the corpus's most frequent word, the first half million hits)
// through RunSearch, once into a TConcordItems and once into a shown
// TConcordanceForm (offscreen) with the Qt progress dialog pumping events as
// in the program. The ratio is the window's time over the bare list's; grep
// -o -w -i | head | wc -l over the same files is printed beside it. Argument
// 1 runs with the installation's default (collocate highlighting on), 0 with
// it off; the frequency options are a fresh installation's (collocation span
// 2, the 5 highest counts marked, case ignored). after_search_ms is the end
// of the search (ranking every hit), which runs without letting events
// through.
#include "ui_bench_support.h"
#include "workbench/dialogs/qt_dialogs.h"
#include "workbench/windows/concordance_form.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>

namespace {

using uibench::Clock;
using uibench::Seconds;

constexpr int32_t HitCount = 500000;

std::string Word()
{
  return uibench::CorpusWords()[0];
}

void LoadCorpus(bool highlight)
{
  OffscreenApp();
  // The widget benchmarks share one corpus list of the same files.
  if (CorpusList.Count() == 0)
    corpusgen::loadSearchCorpus(uibench::CorpusFiles());
  ConcordSettings.FrequencyOfHits = 1;
  ConcordSettings.HighlightCollocates = highlight;
  // What a settings file without a frequency section reads as.
  FrequencySettings.CollocationSpan = 2;
  FrequencySettings.CollocHighliteFirst = 5;
  FrequencySettings.IgnoreCase = true;
  FrequencySettings.MinimumFrequency = 3;
}

double GrepSeconds()
{
  std::string command = "LC_ALL=C grep -o -w -i -h '" + Word() + "'";
  for (const std::string& f : uibench::CorpusFiles())
    command += " '" + f + "'";
  command += " | head -n " + std::to_string(HitCount) + " | wc -l > /dev/null";
  return corpusgen::peerSeconds(command);
}

void BM_FillLiveWindow(benchmark::State& state)
{
  const TFrequencySettings saved = FrequencySettings;  // the other benchmarks keep theirs
  LoadCorpus(state.range(0) != 0);
  QtDialogService dialogs;
  dialogs.install();
  double bare = 0;
  double window = 0;
  double afterSearch = 0;
  int32_t shown = 0;
  for (auto _ : state) {
    {
      const std::unique_ptr<TSearch> search = corpusgen::prepareTextSearch({Word()});
      TConcordItems list;
      const auto t0 = Clock::now();
      search->RunSearch(HitCount, [&](std::unique_ptr<TConcordItem> hit) { list.AddItem(std::move(hit)); });
      bare += Seconds(t0, Clock::now());
    }
    {
      TConcordanceForm form(Word());
      form.show();
      QApplication::processEvents();
      std::unique_ptr<TSearch> search = corpusgen::prepareTextSearch({Word()});
      TSearch* running = search.get();
      form.SetSearch(std::move(search));
      const auto t0 = Clock::now();
      running->RunSearch(HitCount, [&](std::unique_ptr<TConcordItem> hit) { form.AddHit(std::move(hit)); });
      const auto t1 = Clock::now();
      form.AfterSearch();
      afterSearch += Seconds(t1, Clock::now());
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
  state.counters["after_search_ms"] = afterSearch / n * 1e3;
  state.counters["us_per_hit_window"] = window / n / double(shown) * 1e6;
  state.counters["grep_s"] = grep;
  state.counters["x_grep"] = grep / (window / n);
  FrequencySettings = saved;
}

}  // namespace

BENCHMARK(BM_FillLiveWindow)->Arg(1)->Arg(0)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
