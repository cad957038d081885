// Advanced collocation over a million hits of the corpus's most frequent
// word (collocation_hits.h, ignoring case): the counting pass with its sort,
// for the key list 1L, search term, 1R and for span 5, then the word-list
// window's rows taken from the table as the command fills them (fill_s;
// hits_per_s_to_rows counts both). The peer is
// LC_ALL=C sort | uniq -c | sort -rn over the same tuples, folded, one per
// line; heap_per_tuple is the table's memory over its distinct tuples.
#include "collocation_hits.h"
#include "forms/word_list_rows.h"
#include "foundation/hash_strings.h"
#include "search/advanced_collocation.h"

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

using namespace collocbench;

double RunSortUniq(const TConcordItems& hits, const std::vector<TAdvancedSortColItem>& keys,
                   const TAdvancedSortColOptions& record)
{
  const std::string path = corpusgen::tempPath("quill_advcolloc_bench_tuples.txt");
  {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
      throw std::runtime_error("cannot write " + path);
    std::string tuple;
    std::vector<std::string> tuples;
    for (const auto& hit : hits.Items()) {
      tuples.clear();
      if (record.SpanCollocation) {
        SpanModeTuples(*hit, record.SpanNumber, tuples);
      } else {
        ListModeTuple(*hit, keys, tuple);
        tuples.push_back(tuple);
      }
      for (const std::string& t : tuples)
        std::fprintf(f, "%s\n", LocaleLowerStr(t).c_str());
    }
    std::fclose(f);
  }
  return TimeSortUniq(path);
}

void BM_AdvancedCollocation(benchmark::State& state)
{
  TConcordItems& hits = Hits();
  TAdvancedSortColOptions record;
  std::vector<TAdvancedSortColItem> keys;
  if (state.range(0) == 0) {
    keys = {{ctx1L, false}, {ctx0, false}, {ctx1R, false}};
  } else {
    record.SpanCollocation = true;
    record.SpanNumber = int32_t(state.range(0));
  }
  double total = 0;
  double fill = 0;
  int32_t distinct = 0;
  size_t memory = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    auto table = CountAdvancedCollocation(hits, keys, record);
    const double s = Seconds(t0, Clock::now());
    distinct = table->Count();
    memory = table->MemoryUsed();
    total += s;
    state.SetIterationTime(s);
    const auto t1 = Clock::now();
    TWordListRows rows;
    rows.Fill(*table, wlmKeep, AdvancedCollocationCaption(record, keys), hits.Count(),
              record.ShowFirst > 0 ? record.ShowFirst : 0);
    fill += Seconds(t1, Clock::now());
    benchmark::DoNotOptimize(rows.Count());
  }
  const double mean = total / double(state.iterations());
  state.counters["hits"] = hits.Count();
  state.counters["hits_per_s"] = hits.Count() / mean;
  state.counters["fill_s"] = fill / double(state.iterations());
  state.counters["hits_per_s_to_rows"] = hits.Count() / (mean + fill / double(state.iterations()));
  state.counters["distinct"] = distinct;
  state.counters["heap_per_tuple"] = double(memory) / std::max(distinct, 1);
  const double peer = RunSortUniq(hits, keys, record);
  state.counters["sort_uniq_s"] = peer;
  state.counters["ratio_to_peer"] = mean / peer;
}

}  // namespace

BENCHMARK(BM_AdvancedCollocation)->Arg(0)->Arg(5)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
