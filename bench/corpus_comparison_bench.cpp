// Corpus comparison of 1 000 000 reference words (a word-list file in the
// window's form, with its total) against a current table of 1 000 000 words,
// half of them shared, Zipf-like counts: reading, building and sorting on LL
// descending; sorting on the word; writing every record with all columns.
// The peer sorts the saved report with LC_ALL=C sort on the LL column. The
// window as the user opens it, beside a Python script, is timed in
// bench/ui/corpus_comparison_window_bench.cpp.
#include "corpus_files.h"
#include "forms/corpus_comparison.h"
#include "foundation/chartables.h"
#include "foundation/program_state.h"
#include "foundation/settings.h"
#include "foundation/text_sink.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace {

constexpr int32_t WordCount = 1000000;

struct Lists {
  std::string RefFile;
  std::string ReportFile;
  std::unique_ptr<THashStrings> Current;
  int64_t CurrentTotal = 0;
};

Lists& lists()
{
  static Lists l = [] {
    InitProgramState();
    Lists l;
    const std::string dir = std::filesystem::temp_directory_path().string();
    l.RefFile = dir + "/quill_comparison_ref.txt";
    l.ReportFile = dir + "/quill_comparison_report.txt";
    std::string body;
    int64_t refTotal = 0;
    for (int32_t i = 0; i < WordCount; ++i) {
      const int32_t count = std::max<int32_t>(1, int32_t(2000000 / (i + 1)));
      refTotal += count;
      body += std::to_string(count) + "\t0.0000%\tw" + std::to_string(i) + "\r\n";
    }
    TFileTextSink file(l.RefFile);
    file.WriteLine("Corpus Frequency List (" + std::to_string(refTotal) + " words)");
    file.WriteLine();
    file.Write(body);
    file.Close();
    l.Current = std::make_unique<THashStrings>(4096, LanguageId);
    for (int32_t i = WordCount / 2; i < WordCount + WordCount / 2; ++i) {
      const int32_t count = std::max<int32_t>(1, int32_t(1500000 / (i - WordCount / 2 + 1)));
      l.Current->AddCount("w" + std::to_string(i), count);
      l.CurrentTotal += count;
    }
    return l;
  }();
  return l;
}

TCompRecords build()
{
  Lists& l = lists();
  int64_t total = 0;
  std::unique_ptr<THashStrings> ref;
  if (!ReadFrequencyFile(l.RefFile, l.Current->Count(), total, ref))
    std::abort();
  return BuildComparison(*l.Current, l.CurrentTotal, *ref, total);
}

void BM_Comparison_ReadBuildSortLL(benchmark::State& state)
{
  lists();
  size_t bytes = 0;
  for (auto _ : state) {
    TCompRecords records = build();
    SortCompRecords(records, TCompSortKeys{7, 1, 0, 0, 0, 0});
    bytes = records.capacity() * sizeof(TCorpusCompRec);
    for (const TCorpusCompRec& r : records)
      bytes += r.Word.capacity() > 15 ? r.Word.capacity() + 1 : 0;
    benchmark::DoNotOptimize(records.data());
    state.counters["records"] = double(records.size());
    state.counters["heap_bytes_per_record"] = double(bytes) / double(records.size());
  }
}

void BM_Comparison_SortWord(benchmark::State& state)
{
  TCompRecords records = build();
  for (auto _ : state) {
    SortCompRecords(records, TCompSortKeys{7, 1, 0, 0, 0, 0});
    const auto start = std::chrono::steady_clock::now();
    SortCompRecords(records, TCompSortKeys{3, 0, 0, 0, 0, 0});
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
}

void BM_Comparison_Write(benchmark::State& state)
{
  const TCompRecords records = build();
  for (auto _ : state) {
    TFileTextSink file(lists().ReportFile);
    WriteComparison(records, file, false, AllCompColumns);
  }
  state.SetItemsProcessed(state.iterations() * int64_t(records.size()));
}

void BM_Comparison_Peer_SortLL(benchmark::State& state)
{
  const std::string command = "LC_ALL=C sort -t'\t' -k7,7gr '" + lists().ReportFile + "' > /dev/null";
  for (auto _ : state) {
    try {
      state.SetIterationTime(corpusgen::peerSeconds(command));
    } catch (const std::exception& e) {
      state.SkipWithError(e.what());
      return;
    }
  }
}

}  // namespace

BENCHMARK(BM_Comparison_ReadBuildSortLL)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_Comparison_SortWord)->Unit(benchmark::kMillisecond)->Iterations(2)->UseManualTime();
BENCHMARK(BM_Comparison_Write)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_Comparison_Peer_SortLL)->Unit(benchmark::kMillisecond)->Iterations(2)->UseManualTime();
