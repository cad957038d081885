// Collocate tables over a million hits of the corpus's most frequent word
// (collocation_hits.h): span 4, ignoring case, a stop list of 300 words,
// highlighting on with 5 ranks.
//
//   generate  GenerateCollocation by phase: counting (up to the last pump of
//             the progress dialog), then ranking and sorting; ranking is also
//             timed again on its own (what re-ranking after a search costs);
//   search    the search into a hit list with highlighting off and on: the
//             difference is what AddItem's counting and ranking cost per hit;
//   report    WriteCollocationTable of all rows into a file.
// The peer is LC_ALL=C sort | uniq -c | sort -rn over the same position
// words (folded, stop words left out) written one per line with their
// position.
#include "collocation_hits.h"
#include "foundation/chartables.h"
#include "foundation/corpus_list.h"
#include "foundation/dialogs.h"
#include "foundation/program_state.h"
#include "foundation/settings.h"
#include "foundation/stop_list.h"
#include "foundation/text_sink.h"
#include "search/collocates.h"
#include "search/concord_items.h"
#include "search/search_driver.h"

#include <benchmark/benchmark.h>

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace collocbench;

// The peer: the position words one per line, then sort | uniq -c | sort -rn.
double RunSortUniq(const TConcordItems& hits)
{
  const std::string words = corpusgen::tempPath("quill_colloc_bench_words.txt");
  {
    FILE* f = std::fopen(words.c_str(), "wb");
    if (!f)
      throw std::runtime_error("cannot write " + words);
    const TCollocWindow w = CurrentCollocWindow();
    for (const auto& hit : hits.Items())
      for (int p = w.First; p <= w.Last; ++p)
        if (hit->HasWord(p)) {
          const std::string word = LocaleLowerStr(hit->Word(p));
          if (!GlobalStopList.IsStopWord(word))
            std::fprintf(f, "%d\t%s\n", p, word.c_str());
        }
    std::fclose(f);
  }
  const std::string command = "LC_ALL=C sort '" + words + "' | LC_ALL=C uniq -c | LC_ALL=C sort -rn > /dev/null";
  const auto t0 = Clock::now();
  if (std::system(command.c_str()) != 0)
    throw std::runtime_error("sort failed");
  const double seconds = Seconds(t0, Clock::now());
  std::remove(words.c_str());
  return seconds;
}

void BM_GenerateCollocation(benchmark::State& state)
{
  TConcordItems& hits = Hits();
  const TCollocWindow w = CurrentCollocWindow();
  double total = 0, count = 0, rank = 0;
  for (auto _ : state) {
    hits.HighlightCollocates = true;
    const auto t0 = Clock::now();
    hits.GenerateCollocation(w.First, w.Last);
    const auto t1 = Clock::now();
    hits.RankAllCollocates();
    const double s = Seconds(t0, t1);
    total += s;
    count += Seconds(t0, Dialogs().LastPoll);
    rank += Seconds(t1, Clock::now());
    state.SetIterationTime(s);
  }
  const double n = double(state.iterations());
  state.counters["hits"] = double(hits.Count());
  state.counters["count_s"] = count / n;
  // Ranking and sorting follow the last pump; ranking is timed again alone.
  state.counters["rank_sort_s"] = (total - count) / n;
  state.counters["rank_again_s"] = rank / n;
  const double peer = RunSortUniq(hits);
  state.counters["sort_uniq_s"] = peer;
  state.counters["ratio_to_peer"] = total / n / peer;
}

void BM_SearchHighlightingOffAndOn(benchmark::State& state)
{
  double off = 0, on = 0;
  int32_t hits = 0;
  for (auto _ : state) {
    double s = 0;
    hits = Search(false, s)->Count();
    off += s;
    Search(true, s);
    on += s;
    state.SetIterationTime(s);
  }
  const double n = double(state.iterations());
  state.counters["hits"] = hits;
  state.counters["search_off_s"] = off / n;
  state.counters["search_on_s"] = on / n;
  state.counters["add_item_ns_per_hit"] = (on - off) / n / hits * 1e9;
}

void BM_WriteCollocationReport(benchmark::State& state)
{
  TConcordItems& hits = Hits();
  const TCollocWindow w = CurrentCollocWindow();
  if (!hits.CollocTablesValid(w.First, w.Last))
    hits.GenerateCollocation(w.First, w.Last);
  const std::string path = corpusgen::tempPath("quill_colloc_bench_report.txt");
  for (auto _ : state) {
    const auto t0 = Clock::now();
    TFileTextSink sink(path);
    hits.WriteCollocationTable(sink, 0, Word());
    sink.Close();
    state.SetIterationTime(Seconds(t0, Clock::now()));
  }
  struct stat st {};
  ::stat(path.c_str(), &st);
  state.counters["MB"] = double(st.st_size) / (1 << 20);
  std::remove(path.c_str());
}

}  // namespace

BENCHMARK(BM_GenerateCollocation)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SearchHighlightingOffAndOn)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_WriteCollocationReport)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
