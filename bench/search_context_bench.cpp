// Text-mode matching speed: FindNextHit over a generated corpus of about
// 50 MB read through TBufStream, in nanoseconds per word, and one
// pathological wildcard match.
#include "corpus_files.h"
#include "foundation/buf_stream.h"
#include "foundation/buf_stream_config.h"
#include "foundation/chartables.h"
#include "foundation/settings.h"
#include "foundation/sync_stream.h"
#include "search/search_context.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace {

constexpr uint64_t CorpusBytes = 50u << 20;

class QuietOwner : public TSearchOwner {
public:
  void ProcessMessages() override {}
  bool CancelPressed() override { return false; }
  void UpdateProgress(int32_t, bool) override {}
};

void UseSearchDefaults()
{
  static bool done = false;
  if (done)
    return;
  done = true;
  InitProgramState();
  corpusgen::useDefaultSearchSettings();
  ConcordSettings.SkippingChars = "-=";
  ConcordSettings.MatchWordsLo = 2;
  ConcordSettings.MatchWordsHi = 5;
  ConcordSettings.TagSearchSeparator = '&';
  ConcordSettings.IgnoreCase = true;
  SetTextLanguage(0x409);
  BuildCharTables();
}

// The corpus file, made once per machine in the temporary folder.
const std::string& CorpusPath()
{
  static const std::string path = [] {
    const std::string file = corpusgen::tempPath("quill_search_bench_50mb.txt");
    corpusgen::Options options;
    options.size = CorpusBytes;
    options.seed = 6;
    corpusgen::writeUnlessPresent(options, file);
    return file;
  }();
  return path;
}

// Text-mode words of the corpus, as the matcher reads them.
int64_t CorpusWords()
{
  static const int64_t words = [] {
    UseSearchDefaults();
    TFileSynchroStream stream(CorpusPath(), CorpusFileMode);
    TBufStream reader(&stream);
    TSearchContext context("x", false, "", TCharSet{}, TSearchMode::Text);
    context.Reader = &reader;
    int64_t n = 0;
    while (context.ReadNextWord())
      ++n;
    return n;
  }();
  return words;
}

void ScanCorpus(benchmark::State& state, const std::string& pattern)
{
  UseSearchDefaults();
  const int64_t words = CorpusWords();
  TFileSynchroStream stream(CorpusPath(), CorpusFileMode);
  QuietOwner owner;
  TSearchContext context(pattern, false, "", TCharSet{}, TSearchMode::Text);
  context.Owner = &owner;
  int64_t hits = 0;
  for (auto _ : state) {
    TBufStream reader(&stream);
    ConfigureBufStream(reader);
    hits = 0;
    while (context.FindNextHit(reader, true))
      ++hits;
    benchmark::DoNotOptimize(hits);
  }
  state.SetLabel(pattern);
  state.counters["hits"] = static_cast<double>(hits);
  state.counters["words"] = static_cast<double>(words);
  state.counters["per_word"] = benchmark::Counter(static_cast<double>(words),
                                                  benchmark::Counter::kIsIterationInvariantRate
                                                    | benchmark::Counter::kInvert);
}

void BM_PlainWord(benchmark::State& state)
{
  ScanCorpus(state, "walked");
}

void BM_WildcardWord(benchmark::State& state)
{
  ScanCorpus(state, "walk*");
}

void BM_WordGap(benchmark::State& state)
{
  UseSearchDefaults();
  corpusgen::Options options;
  options.seed = 6;
  const std::string frequent = corpusgen::vocabulary(options).front();
  ScanCorpus(state, frequent + " @ walked");
}

void BM_PathologicalWildcard(benchmark::State& state)
{
  UseSearchDefaults();
  TSearchContext context("x", false, "", TCharSet{}, TSearchMode::Text);
  const std::string word(255, 'a');
  for (auto _ : state)
    benchmark::DoNotOptimize(context.MatchWildcard(word, "*a*a*a*a*a*a*a*b"));
}

BENCHMARK(BM_PlainWord)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_WildcardWord)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_WordGap)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_PathologicalWildcard)->Unit(benchmark::kMicrosecond);

}  // namespace
