// Speed of the regular-expression engine on a 1 GB synthetic corpus, side by
// side with grep on the same file, and the time pathological patterns take to
// finish, give up or be cancelled.
//
// The corpus is made once by the corpus generator and kept for later runs:
// $QUILL_REGEXP_CORPUS, else $TMPDIR/quill_regexp_bench_1g.txt (TMPDIR
// defaults to /tmp). Remove it by hand when done.
#include "corpus_files.h"
#include "foundation/chartables.h"
#include "foundation/settings.h"
#include "search/regexp/regexp.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint64_t CorpusBytes = uint64_t(1) << 30;
constexpr size_t BlockBytes = size_t(64) << 20;

double Seconds(Clock::time_point from, Clock::time_point to)
{
  return std::chrono::duration<double>(to - from).count();
}

corpusgen::Options CorpusOptions()
{
  corpusgen::Options o;
  o.size = CorpusBytes;
  o.seed = 1;
  o.lineEnd = corpusgen::LineEnd::Lf;
  return o;
}

const std::string& CorpusPath()
{
  static const std::string path = [] {
    std::string p;
    if (const char* env = std::getenv("QUILL_REGEXP_CORPUS"); env && *env) {
      p = env;
    } else {
      p = corpusgen::tempPath("quill_regexp_bench_1g.txt");
    }
    struct stat st {};
    if (::stat(p.c_str(), &st) != 0 || static_cast<uint64_t>(st.st_size) != CorpusBytes) {
      std::fprintf(stderr, "Writing the 1 GB corpus to %s\n", p.c_str());
      corpusgen::writeToFile(CorpusOptions(), p);
    }
    // The engine and grep both find it in the page cache.
    corpusgen::warmPageCache(p);
    return p;
  }();
  return path;
}

// A word of middle rank of the corpus vocabulary.
const std::string& LiteralWord()
{
  static const std::string word = [] {
    corpusgen::Options o = CorpusOptions();
    const std::vector<std::string> v = corpusgen::vocabulary(o);
    for (size_t rank = 300; rank < v.size(); ++rank)
      if (v[rank].size() >= 5 && v[rank].find_first_not_of("abcdefghijklmnopqrstuvwxyz") ==
                                     std::string::npos)
        return v[rank];
    return std::string("walked");
  }();
  return word;
}

void SetTables(bool ignoreCase)
{
  InitProgramState();
  SetTextLanguage(0x409);
  ConcordSettings.NonWordChars = ".,;:!#$^&()[]{}<>+=/\\|`~\"";
  ConcordSettings.IgnoreCase = ignoreCase;
  BuildCharTables();
}

struct Scan {
  int64_t matches = 0;
  double seconds = 0;
};

// Reads the file in large blocks cut after a line end and searches each
// block, continuing after each match.
Scan ScanFile(TRegExp& re, const std::string& path)
{
  const auto t0 = Clock::now();
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0)
    throw std::runtime_error("cannot open " + path);
  std::vector<char> buf(BlockBytes);
  size_t carry = 0;
  bool eof = false;
  Scan scan;
  while (!eof || carry > 0) {
    size_t total = carry;
    while (!eof && total < buf.size()) {
      const ssize_t n = ::read(fd, buf.data() + total, buf.size() - total);
      if (n <= 0)
        eof = true;
      else
        total += static_cast<size_t>(n);
    }
    size_t cut = total;
    if (!eof) {
      const void* lf = memrchr(buf.data(), '\n', total);
      if (lf)
        cut = static_cast<size_t>(static_cast<const char*>(lf) - buf.data()) + 1;
    }
    int32_t s = 0;
    int32_t e = 0;
    for (int32_t p = 0; re.Search(buf.data(), static_cast<int32_t>(cut), p, s, e); p = e)
      ++scan.matches;
    std::memmove(buf.data(), buf.data() + cut, total - cut);
    carry = total - cut;
  }
  ::close(fd);
  scan.seconds = Seconds(t0, Clock::now());
  return scan;
}

Scan Grep(const std::string& pattern, bool ignoreCase, const std::string& path)
{
  const std::string command = std::string("LC_ALL=C grep -c ") + (ignoreCase ? "-i " : "") +
                              "-E '" + pattern + "' '" + path + "'";
  const auto t0 = Clock::now();
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe)
    throw std::runtime_error("cannot run grep");
  long long lines = -1;
  if (std::fscanf(pipe, "%lld", &lines) != 1)
    lines = -1;
  ::pclose(pipe);
  return Scan{lines, Seconds(t0, Clock::now())};
}

// (a) a literal word, (b) walk(ed|ing), (c) a capitalised word in -ly.
std::string Pattern(int64_t which)
{
  switch (which) {
  case 0: return LiteralWord();
  case 1: return "walk(ed|ing)";
  default: return "[[:upper:]][a-z]+ly\\b";
  }
}

void BM_RegExpVsGrep(benchmark::State& state)
{
  const std::string& path = CorpusPath();
  const std::string pattern = Pattern(state.range(0));
  const bool ignoreCase = state.range(1) != 0;
  SetTables(ignoreCase);
  TRegExp re(pattern);
  Scan engine;
  Scan grep;
  for (auto _ : state) {
    engine = ScanFile(re, path);
    grep = Grep(pattern, ignoreCase, path);
    state.SetIterationTime(engine.seconds);
  }
  const double mb = static_cast<double>(CorpusBytes) / (1 << 20);
  state.SetLabel(pattern + (ignoreCase ? " (ignore case)" : ""));
  state.counters["engine_MBps"] = mb / engine.seconds;
  state.counters["grep_MBps"] = mb / grep.seconds;
  state.counters["time_ratio"] = engine.seconds / grep.seconds;
  state.counters["matches"] = static_cast<double>(engine.matches);
  state.counters["grep_lines"] = static_cast<double>(grep.matches);
  SetTables(false);
}

// (a|aa)*b on a run of 10 000 a's: the automaton finishes.
void BM_PathologicalAlternation(benchmark::State& state)
{
  SetTables(false);
  const std::string as(10000, 'a');
  TRegExp re("(a|aa)*b");
  for (auto _ : state) {
    int32_t s = 0;
    int32_t e = 0;
    benchmark::DoNotOptimize(re.Search(as.data(), static_cast<int32_t>(as.size()), 0, s, e));
  }
  state.counters["matcher_is_dfa"] = re.Matcher() == TRegExpMatcher::Dfa;
}

// The back-reference variant runs on the backtracker; Cancel is requested
// 100 ms into the search and the time until Search returns is measured.
void BM_BacktrackerCancelLatency(benchmark::State& state)
{
  SetTables(false);
  const std::string as(10000, 'a');
  TRegExp re("(a|aa)*\\1b");
  double worst = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    const auto request = start + std::chrono::milliseconds(100);
    re.SetCancelHook([&] { return Clock::now() >= request; });
    int32_t s = 0;
    int32_t e = 0;
    benchmark::DoNotOptimize(re.Search(as.data(), static_cast<int32_t>(as.size()), 0, s, e));
    const auto done = Clock::now();
    worst = std::max(worst, Seconds(request, done));
    state.SetIterationTime(Seconds(start, done));
  }
  state.counters["latency_ms"] = worst * 1000;
  state.counters["cancelled"] = re.LastOutcome() == TRegExpOutcome::Cancelled;
}

// Searches text once an iteration, each on the expression's whole step
// budget, not the small one after a give-up; the give-ups of all of them.
int64_t searchOnWholeBudget(benchmark::State& state, TRegExp& re, const std::string& text)
{
  int64_t giveUps = 0;
  for (auto _ : state) {
    giveUps += re.GiveUpCount();
    re.ResetGiveUpCount();
    int32_t s = 0;
    int32_t e = 0;
    benchmark::DoNotOptimize(re.Search(text.data(), static_cast<int32_t>(text.size()), 0, s, e));
  }
  return giveUps + re.GiveUpCount();
}

// A back-reference pattern whose failure stack runs out: the time to give up.
void BM_BacktrackerGiveUp(benchmark::State& state)
{
  SetTables(false);
  const std::string text = "a" + std::string(2000000, 'b') + "ca";
  TRegExp re("(a)b*c\\1");
  const int64_t giveUps = searchOnWholeBudget(state, re, text);
  state.counters["give_ups"] = static_cast<double>(giveUps);
}

// Counted repeats of nullable parts, too large for the automaton: the ways
// to share the text among the passes grow without bound, so an attempt runs
// out of steps. The time to give up, on the short texts where the fault was
// found and at the start of 1 MB of such text; and a back-reference pattern
// on 10 KB of one letter, whose budget, the square of the text read, is
// capped at about a second.
void BM_BacktrackerStepBudget(benchmark::State& state)
{
  SetTables(false);
  static const char* const patterns[] = {"(a*){5000}x", "h(.*){5000}x", "a{0,1}{245}{0,22}b", "(a*){5000}x",
                                         "(e|ee)*\\1d"};
  static const char* const texts[] = {"aa", "hab", "aaaa", nullptr, nullptr};
  const int64_t which = state.range(0);
  std::string text = texts[which] ? texts[which] : which == 4 ? std::string(10000, 'e') : "";
  while (which == 3 && text.size() < 1000000)
    text += "aa ";
  TRegExp re(patterns[which]);
  const int64_t giveUps = searchOnWholeBudget(state, re, text);
  state.SetLabel(std::string(patterns[which]) + " on " + std::to_string(text.size()) + " bytes");
  state.counters["gave_up"] = re.LastOutcome() == TRegExpOutcome::GaveUp;
  state.counters["give_ups"] = static_cast<double>(giveUps);
}

}  // namespace

BENCHMARK(BM_RegExpVsGrep)
    ->ArgNames({"pattern", "icase"})
    ->ArgsProduct({{0, 1, 2}, {0, 1}})
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PathologicalAlternation)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BacktrackerCancelLatency)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BacktrackerGiveUp)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BacktrackerStepBudget)->ArgName("case")->DenseRange(0, 4)->Unit(benchmark::kMillisecond);
