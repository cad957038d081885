// Filling the collocation window ("Frequency Statistics") from the collocate
// tables of a million hits (../collocation_hits.h), with MaximumLines 950000,
// the window made and filled as Collocate Frequency makes it, offscreen.
#include "../collocation_hits.h"
#include "offscreen_app.h"
#include "search/collocates.h"
#include "workbench/windows/collocation_form.h"

#include <QApplication>
#include <benchmark/benchmark.h>

namespace {

using namespace collocbench;

void BM_FillCollocationWindow(benchmark::State& state)
{
  OffscreenApp();
  TConcordItems& hits = Hits();
  const TCollocWindow w = CurrentCollocWindow();
  hits.GenerateCollocation(w.First, w.Last);
  FrequencySettings.MaximumLines = 950000;
  int32_t rows = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    std::unique_ptr<TCollocationForm> form(
        CreateCollocationForm(nullptr, 0, Word(), hits.CollocTables, w.Last, w.First));
    form->show();
    QApplication::processEvents();
    state.SetIterationTime(Seconds(t0, Clock::now()));
    rows = form->Model().RowCount();
  }
  state.counters["hits"] = double(hits.Count());
  state.counters["rows"] = rows;
}

}  // namespace

BENCHMARK(BM_FillCollocationWindow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
