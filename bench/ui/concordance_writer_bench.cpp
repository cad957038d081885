// Writing a concordance report of a million hits, side by side with grep.
//
// The corpus is the shared one of the widget benchmarks (ui_bench_support.h).
// The hit list holds the first million hits of the corpus's three most
// frequent words, found by the real search. Every report goes to a file in the
// temporary folder:
//   plain   aligned plain text, words context of 5: two passes, so every
//           line is built twice from the corpus file;
//   html    the HTML table, one pass;
//   batch   what the batch search does per hit: build the line and write it
//           with WriteConcordanceLine (indent 0), no progress dialog.
// The peer is grep -o -E over the whole corpus, printing each occurrence of
// the words with up to five words of context on either side to a file;
// nearby occurrences share one printed line, and its time includes its
// search, while the report's time does not include the search.
#include "ui_bench_support.h"
#include "foundation/text_sink.h"
#include "workbench/output/concordance_writer.h"

#include <benchmark/benchmark.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using uibench::Clock;
using uibench::Seconds;

constexpr int32_t HitCount = 1000000;
constexpr int32_t WordsContext = 5;

std::vector<std::string> Words()
{
  return uibench::CorpusWords();
}

const std::vector<std::string>& Files()
{
  return uibench::CorpusFiles();
}

// The hit list filled, once.
TConcordItems& Hits()
{
  static std::unique_ptr<TConcordItems> list;
  if (!list) {
    list = std::make_unique<TConcordItems>();
    uibench::SearchCorpusHits(HitCount, [](std::unique_ptr<TConcordItem> hit) { list->AddItem(std::move(hit)); });
  }
  return *list;
}

std::array<int32_t, 4> Sizes()
{
  return {40, WordsContext, 1, 1};
}

std::string ReportPath()
{
  return corpusgen::tempPath("quill_writer_bench_report.txt");
}

// grep's run over the corpus: lines written and seconds.
std::pair<int64_t, double> RunGrep()
{
  const std::string out = corpusgen::tempPath("quill_writer_bench_grep.txt");
  const std::vector<std::string> w = Words();
  std::string command = "LC_ALL=C grep -o -h -i -E '([^[:space:]]+[[:space:]]+){0,5}\\b(" + w[0] + "|" + w[1] + "|" +
                        w[2] + ")\\b([[:space:]]+[^[:space:]]+){0,5}'";
  for (const std::string& f : Files())
    command += " '" + f + "'";
  command += " > '" + out + "'";
  const double seconds = corpusgen::peerSeconds(command);
  int64_t lines = 0;
  if (FILE* f = std::fopen(out.c_str(), "rb")) {
    char buf[1 << 16];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
      for (size_t i = 0; i < n; ++i)
        lines += buf[i] == '\n';
    std::fclose(f);
  }
  std::remove(out.c_str());
  return {lines, seconds};
}

void Report(benchmark::State& state, bool html, bool withGrep)
{
  TConcordItems& hits = Hits();
  TOutputOptions o;
  o.SaveAsHTML = html;
  double seconds = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    TFileTextSink sink(ReportPath());
    WriteConcordance(sink, hits, nullptr, Words()[0], o, {false, false, false}, Sizes(), 1, false);
    sink.Close();
    const double s = Seconds(t0, Clock::now());
    seconds += s;
    state.SetIterationTime(s);
  }
  struct stat st {};
  ::stat(ReportPath().c_str(), &st);
  std::remove(ReportPath().c_str());
  state.counters["lines"] = double(hits.Count());
  state.counters["lines_per_s"] = double(hits.Count()) * double(state.iterations()) / seconds;
  state.counters["MB"] = double(st.st_size) / (1 << 20);
  if (withGrep) {
    const auto [lines, grepSeconds] = RunGrep();
    state.counters["grep_lines"] = double(lines);
    state.counters["grep_lines_per_s"] = double(lines) / grepSeconds;
    state.counters["grep_s"] = grepSeconds;
  }
}

void BM_WritePlainTwoPasses(benchmark::State& state)
{
  Report(state, false, true);
}

void BM_WriteHtml(benchmark::State& state)
{
  Report(state, true, false);
}

void BM_WriteBatchLineByLine(benchmark::State& state)
{
  TConcordItems& hits = Hits();
  TOutputOptions o;
  TContextSetting context;
  context.Type = 1;
  context.Sizes = Sizes();
  double seconds = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    TFileTextSink sink(ReportPath());
    TSVFormatArray runs;
    for (int32_t i = 0; i < hits.Count(); ++i) {
      TConcordItem& hit = *hits.GetItem(i);
      std::string line =
          TConcordItems::BuildHitLineWithOptions(hit, context, runs, hits.CollocColour, 0, 10, 10, false, false, false);
      WriteConcordanceLine(sink, 1, hit, i, 0, o, false, runs, 0, line);
    }
    sink.Close();
    const double s = Seconds(t0, Clock::now());
    seconds += s;
    state.SetIterationTime(s);
  }
  std::remove(ReportPath().c_str());
  state.counters["lines_per_s"] = double(hits.Count()) * double(state.iterations()) / seconds;
}

}  // namespace

BENCHMARK(BM_WritePlainTwoPasses)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_WriteHtml)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_WriteBatchLineByLine)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
