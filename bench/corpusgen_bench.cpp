// Speed of the synthetic corpus generator: MB/s written to a file in the
// temporary folder, and generated in memory only.
#include "corpus_files.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

std::string scratchFile()
{
  return corpusgen::tempPath("quill_corpusgen_bench_" + std::to_string(::getpid()) + ".txt");
}

corpusgen::Options benchOptions(const benchmark::State& state)
{
  corpusgen::Options o;
  o.size = static_cast<std::uint64_t>(state.range(0)) << 20;
  if (state.range(1)) {  // everything on
    o.markupTags = true;
    o.posStyle = 1;
    o.pageSeparator = "<page>";
    o.headingMarker = "<head>";
  }
  return o;
}

void BM_CorpusToFile(benchmark::State& state)
{
  const corpusgen::Options o = benchOptions(state);
  const std::string path = scratchFile();
  for (auto _ : state)
    corpusgen::writeToFile(o, path);
  ::unlink(path.c_str());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * o.size));
}

void BM_CorpusInMemory(benchmark::State& state)
{
  const corpusgen::Options o = benchOptions(state);
  for (auto _ : state) {
    corpusgen::CorpusGenerator gen(o, 4 << 20);
    for (auto piece = gen.next(); !piece.empty(); piece = gen.next())
      benchmark::DoNotOptimize(piece.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * o.size));
}

}  // namespace

// Arguments: size in MiB, plain (0) or with tags, part-of-speech tags, pages
// and headings (1).
BENCHMARK(BM_CorpusToFile)
    ->ArgNames({"MiB", "tagged"})
    ->Args({256, 0})
    ->Args({256, 1})
    ->Args({1024, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK(BM_CorpusInMemory)
    ->ArgNames({"MiB", "tagged"})
    ->Args({256, 0})
    ->Args({256, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
