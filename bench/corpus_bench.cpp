// Corpus loading and word counting over a generated corpus.
//
// Makes a corpus in TMPDIR (1024 MB; QUILL_BENCH_CORPUS_MB sets another
// size) with CR LF lines, a page separator and markup tags, two of them
// tracked (one a COCOA tag), reads it once so the page cache is warm, then
// measures in one run:
//   CorpusLoadScan       the load-time scan: line, page and tracked-tag
//                        indexes and the word count;
//   CorpusWordTable      CountCorpusWords and sorting the table by count and
//                        by word, with the table's heap growth against the
//                        budget of 3 x the bytes of the distinct words plus
//                        64 bytes a word;
//   CorpusWordPipeline   tr -cs 'A-Za-z' '\n' | sort | uniq -c | sort -rn
//                        under LC_ALL=C on the same file, for comparison.
// The corpus is deleted at exit.
#include "corpus_files.h"
#include "foundation/corpus_list.h"
#include "foundation/frequency_list.h"
#include "foundation/hash_strings.h"
#include "foundation/program_state.h"
#include "foundation/settings.h"
#include "foundation/tag_scan.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <malloc.h>
#include <string>

namespace {

std::string corpusFile;

void removeCorpus()
{
  if (!corpusFile.empty())
    std::filesystem::remove(corpusFile);
}

uint64_t corpusBytes()
{
  const char* mb = std::getenv("QUILL_BENCH_CORPUS_MB");
  const uint64_t n = mb ? std::strtoull(mb, nullptr, 10) : 1024;
  return (n ? n : 1024) << 20;
}

const std::string& corpus()
{
  if (!corpusFile.empty())
    return corpusFile;
  corpusgen::Options o;
  o.size = corpusBytes();
  o.seed = 7;
  o.lineEnd = corpusgen::LineEnd::CrLf;
  o.markupTags = true;
  o.pageSeparator = "<pb>";
  corpusFile = corpusgen::tempPath("quill_corpus_bench.txt");
  corpusgen::writeToFile(o, corpusFile);
  std::atexit(removeCorpus);
  corpusgen::warmPageCache(corpusFile);
  return corpusFile;
}

size_t heapInUse()
{
  const struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
}

void setUpSettings()
{
  InitProgramState();
  InitSharedState();
  corpusgen::useDefaultSearchSettings();
  ConcordSettings.PageSeparator = "<pb>";
  FrequencySettings.IgnoreCase = true;
  FrequencySettings.SkipTags = true;
  FrequencySettings.ScanTextsOnLoad = false;
  WatchedTags = {TWatchedTag::Make("hi", "<hi>", "</hi>"), TWatchedTag::Make("p", "p", "")};
}

void unload()
{
  TCorpusFrame frame;
  UnloadCorpus(frame);
}

void CorpusLoadScan(benchmark::State& state)
{
  const std::string& file = corpus();
  setUpSettings();
  int64_t bytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    unload();
    state.ResumeTiming();
    TCorpusFrame frame;
    LoadCorpusItems(frame, {file});
    bytes += int64_t(std::filesystem::file_size(file));
  }
  if (CorpusList.Count() == 1) {
    const TCorpusItem& item = CorpusList[0];
    state.counters["words"] = double(item.WordCount);
    state.counters["lines"] = item.LineIndex.Index ? double(item.LineIndex.Index->RowCount()) : 0;
    state.counters["pages"] = item.PageIndex.Index ? double(item.PageIndex.Index->RowCount()) : 0;
    state.counters["tagRows"] = item.TagIndex.Index ? double(item.TagIndex.Index->RowCount()) : 0;
  }
  state.SetBytesProcessed(bytes);
  unload();
}

void CorpusWordTable(benchmark::State& state)
{
  const std::string& file = corpus();
  setUpSettings();
  TCorpusFrame frame;
  LoadCorpusItems(frame, {file});
  int64_t bytes = 0;
  for (auto _ : state) {
    CorpusFreqList.reset();
    const size_t before = heapInUse();
    std::unique_ptr<THashStrings> table = CountCorpusWords();
    const size_t growth = heapInUse() - before;
    table->Sort(THashStrings::ssByCount);
    table->Sort(THashStrings::ssByWord);
    bytes += int64_t(std::filesystem::file_size(file));

    size_t wordBytes = 0;
    for (int32_t i = 0; i < table->Count(); ++i)
      wordBytes += table->Strings(i).size();
    const double budget = 3.0 * double(wordBytes) + 64.0 * double(table->Count());
    state.counters["distinct"] = double(table->Count());
    state.counters["words"] = double(TotalWordCount);
    state.counters["heapGrowth"] = double(growth);
    state.counters["budget"] = budget;
    state.counters["ofBudget"] = double(growth) / budget;
    state.counters["tableBytes"] = double(table->MemoryUsed());
  }
  state.SetBytesProcessed(bytes);
  unload();
}

void CorpusWordPipeline(benchmark::State& state)
{
  const std::string& file = corpus();
  const std::string command =
    "LC_ALL=C tr -cs 'A-Za-z' '\\n' < '" + file + "' | LC_ALL=C sort | uniq -c | LC_ALL=C sort -rn > /dev/null";
  int64_t bytes = 0;
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0)
      state.SkipWithError("the pipeline failed");
    bytes += int64_t(std::filesystem::file_size(file));
  }
  state.SetBytesProcessed(bytes);
}

}  // namespace

BENCHMARK(CorpusLoadScan)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(CorpusWordTable)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();
BENCHMARK(CorpusWordPipeline)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
