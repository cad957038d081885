// Recounting a distribution: 1 000 000 hits over a generated corpus of four
// files (16 MB each; QUILL_BENCH_DISTRIB_MB sets another size per file), with
// their line indexes from the load-time scan. The hits are the occurrences of
// "walk" in corpus order, repeated until there are a million.
//   DistributionByLines  the whole corpus in 2 % slices (50 boundaries);
//   DistributionByItem   the same per corpus item;
// Each reports, from the same run, the time of `grep -c walk` over the four
// files (a peer that only counts the matching lines) and our time as a
// ratio of it. The files are deleted at exit.
#include "corpus_files.h"
#include "foundation/corpus_list.h"
#include "foundation/program_state.h"
#include "foundation/settings.h"
#include "foundation/tag_scan.h"
#include "search/concord_items.h"
#include "search/distribution.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int kFiles = 4;
constexpr int32_t kHits = 1000000;
std::vector<std::string> corpusFiles;

void removeCorpus()
{
  for (const std::string& file : corpusFiles)
    std::filesystem::remove(file);
}

uint64_t fileBytes()
{
  const char* mb = std::getenv("QUILL_BENCH_DISTRIB_MB");
  const uint64_t n = mb ? std::strtoull(mb, nullptr, 10) : 16;
  return (n ? n : 16) << 20;
}

// Loads the corpus once and gives the hit list.
TConcordItems& hits()
{
  static std::unique_ptr<TConcordItems> list;
  if (list)
    return *list;
  InitProgramState();
  InitSharedState();
  corpusgen::useDefaultSearchSettings();
  FrequencySettings.ScanTextsOnLoad = false;
  WatchedTags.clear();
  for (int f = 0; f < kFiles; ++f) {
    corpusgen::Options o;
    o.size = fileBytes();
    o.seed = uint64_t(11 + f);
    o.lineEnd = f % 2 ? corpusgen::LineEnd::Lf : corpusgen::LineEnd::CrLf;
    corpusFiles.push_back(corpusgen::tempPath("quill_distribution_bench" + std::to_string(f) + ".txt"));
    corpusgen::writeToFile(o, corpusFiles.back());
  }
  std::atexit(removeCorpus);
  TCorpusFrame frame;
  LoadCorpusItems(frame, corpusFiles);

  std::vector<std::pair<int32_t, int32_t>> found;
  for (int f = 0; f < kFiles; ++f) {
    std::ifstream in(corpusFiles[size_t(f)], std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    for (size_t at = text.find("walk"); at != std::string::npos; at = text.find("walk", at + 1))
      found.push_back({f, int32_t(at)});
  }
  list = std::make_unique<TConcordItems>();
  for (int32_t i = 0; i < kHits && !found.empty(); ++i) {
    auto hit = std::make_unique<TConcordItem>();
    hit->FileIndex = found[size_t(i) % found.size()].first;
    hit->HitStart = found[size_t(i) % found.size()].second;
    hit->HitEnd = hit->HitStart + 4;
    list->AddItem(std::move(hit));
  }
  return *list;
}

double peerMilliseconds()
{
  std::string command = "grep -c walk";
  for (const std::string& file : corpusFiles)
    command += " '" + file + "'";
  command += " > /dev/null";
  const auto start = std::chrono::steady_clock::now();
  if (std::system(command.c_str()) != 0)
    return 0;
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

void report(benchmark::State& state, double ourMs)
{
  const double peer = peerMilliseconds();
  state.counters["hits"] = double(hits().Count());
  state.counters["grepMs"] = peer;
  state.counters["ratio"] = peer > 0 ? ourMs / peer : 0;
}

void DistributionByLines(benchmark::State& state)
{
  TConcordItems& list = hits();
  double ms = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    TDistribItems items = DistributionByPercent(-1, list, 0);
    ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    benchmark::DoNotOptimize(items.data());
  }
  report(state, ms);
}

void DistributionByItem(benchmark::State& state)
{
  TConcordItems& list = hits();
  double ms = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    TDistribItems items = DistributionByPercent(1, list, 0);
    ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    benchmark::DoNotOptimize(items.data());
  }
  report(state, ms);
}

}  // namespace

BENCHMARK(DistributionByLines)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();
BENCHMARK(DistributionByItem)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();
