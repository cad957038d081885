// Word lists of a table of 1 000 000 distinct words with Zipf-like counts:
// sorting by count and by word from an unsorted table (against `sort -rn`
// and `sort` of the same "count TAB word" lines under LC_ALL=C, timed in
// the same run), and writing the window's file and the batch list.
#include "corpus_files.h"
#include "forms/word_list_rows.h"
#include "foundation/program_state.h"
#include "foundation/settings.h"
#include "foundation/text_sink.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int32_t WordCount = 1000000;

struct Words {
  std::vector<std::string> Text;
  std::vector<int32_t> Counts;
  int64_t Total = 0;
  std::string LinesFile;  // "count TAB word" per line, for the peers
};

const Words& words()
{
  static const Words w = [] {
    InitProgramState();
    Words w;
    std::mt19937 random(42);
    w.Text.reserve(WordCount);
    for (int32_t i = 0; i < WordCount; ++i) {
      std::string word;
      for (uint32_t v = uint32_t(i) * 2654435761u, n = 4 + random() % 6; n > 0; --n, v = v / 26 + random())
        word += char('a' + v % 26);
      word += std::to_string(i);  // distinct
      w.Text.push_back(std::move(word));
      w.Counts.push_back(std::max<int32_t>(1, int32_t(2000000 / (i + 1))));
      w.Total += w.Counts.back();
    }
    std::vector<int32_t> order(WordCount);
    for (int32_t i = 0; i < WordCount; ++i)
      order[size_t(i)] = i;
    std::shuffle(order.begin(), order.end(), random);
    w.LinesFile = std::filesystem::temp_directory_path().string() + "/quill_word_list_bench.txt";
    std::ofstream out(w.LinesFile, std::ios::binary);
    for (int32_t i : order)
      out << w.Counts[size_t(i)] << '\t' << w.Text[size_t(i)] << '\n';
    return w;
  }();
  return w;
}

// An unsorted table of the words, in a shuffled order.
std::unique_ptr<THashStrings> makeTable()
{
  const Words& w = words();
  auto table = std::make_unique<THashStrings>(4096, 0x409);
  for (int32_t i = 0; i < WordCount; i += 2)
    table->AddCount(w.Text[size_t(i)], w.Counts[size_t(i)]);
  for (int32_t i = 1; i < WordCount; i += 2)
    table->AddCount(w.Text[size_t(i)], w.Counts[size_t(i)]);
  return table;
}

void settings()
{
  FrequencySettings.MinimumFrequency = 1;
  FrequencySettings.MaximumFrequency = 0;
  FrequencySettings.MaximumLines = WordCount;
}

void runSort(benchmark::State& state, int mode)
{
  words();
  for (auto _ : state) {
    state.PauseTiming();
    std::unique_ptr<THashStrings> table = makeTable();
    state.ResumeTiming();
    table->Sort(mode);
    benchmark::DoNotOptimize(table->Strings(0).data());
  }
  state.SetItemsProcessed(state.iterations() * WordCount);
}

void BM_WordList_SortByCount(benchmark::State& state)
{
  runSort(state, THashStrings::ssByCount);
}

void BM_WordList_SortAlphabetically(benchmark::State& state)
{
  runSort(state, THashStrings::ssByWord);
}

void runPeer(benchmark::State& state, const std::string& options)
{
  const std::string command = "LC_ALL=C sort " + options + " '" + words().LinesFile + "' > /dev/null";
  for (auto _ : state) {
    try {
      state.SetIterationTime(corpusgen::peerSeconds(command));
    } catch (const std::exception& e) {
      state.SkipWithError(e.what());
      return;
    }
  }
  state.SetItemsProcessed(state.iterations() * WordCount);
}

void BM_WordList_Peer_SortRn(benchmark::State& state)
{
  runPeer(state, "-rn");
}

void BM_WordList_Peer_Sort(benchmark::State& state)
{
  runPeer(state, "-k2");
}

// Every row of the window's file, and the batch list, to a temporary file.
void BM_WordList_WriteWordList(benchmark::State& state)
{
  settings();
  std::unique_ptr<THashStrings> table = makeTable();
  TWordListRows rows;
  rows.Fill(*table, wlmByCount, FreqOrderCaption, words().Total);
  const std::string file = words().LinesFile + ".out";
  for (auto _ : state) {
    TFileTextSink sink(file);
    rows.Write(sink, 0, true);
    sink.Close();
  }
  std::filesystem::remove(file);
  state.SetItemsProcessed(state.iterations() * rows.Count());
}

void BM_WordList_WriteBatchList(benchmark::State& state)
{
  settings();
  TotalWordCount = words().Total;
  std::unique_ptr<THashStrings> table = makeTable();
  const std::string file = words().LinesFile + ".batch";
  for (auto _ : state) {
    TFileTextSink sink(file);
    WriteBatchFrequencyList(sink, *table, false);
    sink.Close();
  }
  std::filesystem::remove(file);
  state.SetItemsProcessed(state.iterations() * WordCount);
}

}  // namespace

BENCHMARK(BM_WordList_SortByCount)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_WordList_Peer_SortRn)->Unit(benchmark::kMillisecond)->Iterations(2)->UseManualTime();
BENCHMARK(BM_WordList_SortAlphabetically)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_WordList_Peer_Sort)->Unit(benchmark::kMillisecond)->Iterations(2)->UseManualTime();
BENCHMARK(BM_WordList_WriteWordList)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_WordList_WriteBatchList)->Unit(benchmark::kMillisecond)->Iterations(2);
