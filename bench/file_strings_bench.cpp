// Counting the lines of a generated corpus file of 1 GB (CR LF lines;
// QUILL_BENCH_FULLTEXT_MB sets another size) with the page cache warm: from
// the list's creation to its count-done event. Reports, from the same run,
// the time of `wc -l` on the file and our time as a ratio of it; the counts
// agree (ours has one more line, the empty one after the final break). The
// file is deleted at exit.
#include "corpus_files.h"
#include "foundation/buf_stream.h"
#include "foundation/file_strings.h"
#include "foundation/program_state.h"
#include "foundation/sync_stream.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>

namespace {

std::string corpusFile;

void removeCorpus()
{
  std::filesystem::remove(corpusFile);
}

const std::string& corpus()
{
  if (!corpusFile.empty())
    return corpusFile;
  InitProgramState();
  corpusgen::useDefaultSearchSettings();
  const char* mb = std::getenv("QUILL_BENCH_FULLTEXT_MB");
  const uint64_t n = mb ? std::strtoull(mb, nullptr, 10) : 1024;
  corpusgen::Options o;
  o.size = (n ? n : 1024) << 20;
  o.seed = 25;
  o.lineEnd = corpusgen::LineEnd::CrLf;
  corpusFile = corpusgen::tempPath("quill_file_strings_bench.txt");
  corpusgen::writeToFile(o, corpusFile);
  std::atexit(removeCorpus);
  corpusgen::warmPageCache(corpusFile);
  return corpusFile;
}

// wc -l on the file: its milliseconds and its count.
std::pair<double, long> wcLines(const std::string& file)
{
  const auto start = std::chrono::steady_clock::now();
  FILE* pipe = ::popen(("wc -l < '" + file + "'").c_str(), "r");
  long lines = -1;
  if (pipe) {
    if (std::fscanf(pipe, "%ld", &lines) != 1)
      lines = -1;
    ::pclose(pipe);
  }
  return {std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count(), lines};
}

void FileStringsCountLines(benchmark::State& state)
{
  const std::string& file = corpus();
  TFileSynchroStream stream(file, CorpusFileMode);
  TBufStream reader(&stream);
  double ms = 0;
  int32_t lines = 0;
  for (auto _ : state) {
    std::mutex lock;
    std::condition_variable done;
    bool finished = false;
    const auto start = std::chrono::steady_clock::now();
    TFileStrings list(&stream, &reader, {}, [&](TFileStrings&) {
      std::lock_guard guard(lock);
      finished = true;
      done.notify_one();
    });
    std::unique_lock wait(lock);
    done.wait(wait, [&] { return finished; });
    ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    lines = list.Count();
  }
  const auto [wcMs, wc] = wcLines(file);
  const double bytes = double(stream.GetSize());
  state.counters["GBps"] = bytes / (ms / 1000.0) / 1e9;
  state.counters["lines"] = lines;
  state.counters["wcLines"] = double(wc);
  state.counters["wcMs"] = wcMs;
  state.counters["ratio"] = wcMs > 0 ? ms / wcMs : 0;
  if (wc + 1 != lines)
    state.SkipWithError("the line counts differ from wc -l");
}
BENCHMARK(FileStringsCountLines)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
