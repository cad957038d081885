// Speed of the corpus reader over a large generated corpus with markup tags
// and part-of-speech tags (style 1): a full NextCharClassified pass and a
// full NextWord pass, next to `wc -w` on the same file under LC_ALL=C and
// under the default locale (the faster of the two is the peer).
//
// The corpus (QUILL_READER_BENCH_MB megabytes, default 1024) is written once
// to the temporary folder and read once to warm the page cache. Each pass
// reports MB/s and the number of locked positional reads it made.
//
//   quill_bench --benchmark_filter=BufStream
#include "corpus_files.h"
#include "foundation/buf_stream.h"
#include "foundation/buf_stream_config.h"
#include "foundation/settings.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

struct Corpus {
  std::string path;
  int64_t size = 0;

  Corpus()
  {
    const char* mb = std::getenv("QUILL_READER_BENCH_MB");
    size = int64_t(mb && *mb ? std::atoll(mb) : 1024) << 20;
    if (size >= (int64_t(1) << 31))
      size = (int64_t(1) << 31) - 1;  // the reader's files stay below 2 GiB
    path = corpusgen::tempPath("quill_reader_bench_" + std::to_string(::getpid()) + ".txt");
    corpusgen::Options o;
    o.size = uint64_t(size);
    o.markupTags = true;
    o.posStyle = 1;
    corpusgen::writeToFile(o, path);
    corpusgen::warmPageCache(path);
  }
  ~Corpus() { ::unlink(path.c_str()); }
};

Corpus& corpus()
{
  static Corpus c;
  return c;
}

void configureSettings()
{
  InitProgramState();
  corpusgen::useDefaultSearchSettings();
  ConcordSettings.WordTag = 1;
  ConcordSettings.wTagDelimiter = '_';
}

// One full pass of a fresh reader over the corpus per iteration; `pass`
// returns the count reported under `counter`.
template <typename Pass>
void runReaderPass(benchmark::State& state, const char* counter, Pass pass)
{
  Corpus& c = corpus();
  configureSettings();
  TFileSynchroStream stream(c.path, CorpusFileMode);
  int64_t reads = 0;
  int64_t count = 0;
  for (auto _ : state) {
    TBufStream reader(&stream);
    ConfigureBufStream(reader);
    count = pass(reader);
    benchmark::DoNotOptimize(count);
    reads = reader.LockedReads();
  }
  state.SetBytesProcessed(state.iterations() * c.size);
  state.counters["locked_reads"] = double(reads);
  state.counters[counter] = double(count);
}

void BM_BufStream_NextCharClassified(benchmark::State& state)
{
  runReaderPass(state, "word_chars", [](TBufStream& reader) {
    int64_t wordChars = 0;
    while (!reader.AtEnd()) {
      TCharClass cls;
      reader.NextCharClassified(cls);
      wordChars += cls == ccWord;
    }
    return wordChars;
  });
}

void BM_BufStream_NextWord(benchmark::State& state)
{
  runReaderPass(state, "words", [](TBufStream& reader) {
    int64_t n = 0;
    while (!reader.NextWord().empty())
      ++n;
    return n;
  });
}

// Times `wc -w` on the corpus, with the given locale setting prefixed.
void runWc(benchmark::State& state, const std::string& env)
{
  Corpus& c = corpus();
  const std::string command = env + " wc -w < '" + c.path + "'";
  double words = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    FILE* p = ::popen(command.c_str(), "r");
    long long n = 0;
    if (!p || std::fscanf(p, "%lld", &n) != 1) {
      state.SkipWithError("wc failed");
      if (p)
        ::pclose(p);
      return;
    }
    ::pclose(p);
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    words = double(n);
  }
  state.SetBytesProcessed(state.iterations() * c.size);
  state.counters["words"] = words;
}

void BM_BufStream_WcWords_C(benchmark::State& state)
{
  runWc(state, "LC_ALL=C");
}

void BM_BufStream_WcWords_DefaultLocale(benchmark::State& state)
{
  runWc(state, "");
}

}  // namespace

BENCHMARK(BM_BufStream_NextCharClassified)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_BufStream_NextWord)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_BufStream_WcWords_C)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();
BENCHMARK(BM_BufStream_WcWords_DefaultLocale)->Unit(benchmark::kMillisecond)->Iterations(3)->UseManualTime();
