// Sorting a concordance window of a million hits, side by side with sort(1).
//
// The window holds the first million hits of the shared widget-benchmark
// corpus (ui_bench_support.h). Each iteration first puts the hits back into
// arrival order (not timed), then:
//   menu        the Sort menu's "1st Right, 1st Left" through SortConcordance:
//               the sort, the relayout and the first paint of the list;
//   sortitems   the hit list's SortItems alone on the same two keys;
//   custom      Advanced Sort's customised list "1r,1l,2r,2l,0" through
//               SortConcordance, with the paint.
// The peer is LC_ALL=C sort on the same two keys, over a file of one line per
// hit holding its first right and first left word (its time includes reading
// and writing that file).
#include "ui_bench_support.h"
#include "forms/advanced_sort.h"
#include "workbench/lineview/strings_view.h"
#include "workbench/windows/concordance_form.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using uibench::Clock;
using uibench::Seconds;

constexpr int32_t HitCount = 1000000;

TConcordanceForm& Window()
{
  static TConcordanceForm* window = nullptr;
  if (!window) {
    OffscreenApp();
    window = new TConcordanceForm("bench");
    window->resize(900, 700);
    window->show();
    uibench::SearchCorpusHits(HitCount, [](std::unique_ptr<TConcordItem> hit) { window->AddHit(std::move(hit)); });
    window->AfterSearch();
    QApplication::processEvents();
  }
  return *window;
}

TAdvancedSortColOptions Keys(uint8_t first, uint8_t second)
{
  TAdvancedSortColOptions sortSpec;
  ResetSortSpec(sortSpec);
  sortSpec.First = first;
  sortSpec.Second = second;
  return sortSpec;
}

// sort(1) on the two words of every hit: seconds.
double RunSort(const TConcordItems& hits)
{
  const std::string in = corpusgen::tempPath("quill_sort_bench_keys.txt");
  {
    std::ofstream out(in, std::ios::binary);
    for (const auto& h : hits.Items())
      out << h->Word(ctx1R) << '\t' << h->Word(ctx1L) << '\n';
  }
  const std::string command = "LC_ALL=C sort -t '\t' -k1,1 -k2,2 -o /dev/null '" + in + "'";
  const double seconds = corpusgen::peerSeconds(command);
  std::remove(in.c_str());
  return seconds;
}

// Times one way of sorting, starting from arrival order each time.
template <typename Sort>
void Measure(benchmark::State& state, Sort sort, bool withPeer)
{
  TConcordanceForm& w = Window();
  double seconds = 0;
  for (auto _ : state) {
    w.SortConcordance(Keys(ctxOrig, ctxNone), nullptr, false);
    QApplication::processEvents();
    const auto t0 = Clock::now();
    sort(w);
    const double s = Seconds(t0, Clock::now());
    seconds += s;
    state.SetIterationTime(s);
  }
  state.counters["hits"] = double(w.Items().Count());
  if (withPeer) {
    const double peer = RunSort(w.Items());
    state.counters["sort1_s"] = peer;
    state.counters["x_sort1"] = peer / (seconds / double(state.iterations()));
  }
}

void BM_MenuSortThroughWindow(benchmark::State& state)
{
  Measure(state, [](TConcordanceForm& w) {
    w.SortByKeys(ctx1R, ctx1L);
    w.ConcordWindow->repaint();
  }, true);
}

void BM_SortItemsAlone(benchmark::State& state)
{
  Measure(state, [](TConcordanceForm& w) { w.Items().SortItems(Keys(ctx1R, ctx1L), nullptr); }, true);
}

void BM_CustomisedFiveKeys(benchmark::State& state)
{
  std::vector<TAdvancedSortColItem> keys;
  int32_t errorPos = 0;
  if (!ParseCustomisedKeys(false, true, "1r,1l,2r,2l,0", keys, errorPos))
    throw std::runtime_error("bad key list");
  TAdvancedSortColOptions sortSpec = Keys(ctxNone, ctxNone);
  sortSpec.Custom = true;
  Measure(state, [&](TConcordanceForm& w) {
    w.SortConcordance(sortSpec, &keys, true);
    w.ConcordWindow->repaint();
  }, false);
}

}  // namespace

BENCHMARK(BM_MenuSortThroughWindow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SortItemsAlone)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CustomisedFiveKeys)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
