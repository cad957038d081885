// Workspaces over a generated corpus of four files (1024 MB in all;
// QUILL_BENCH_CORPUS_MB sets another size) with tracked tags, in one run:
//   WorkspaceRoundTrip  the fresh load (scan and count), a save with every
//                       Keep option, the opening of that workspace (the kept
//                       indexes and list reused and copied to the temp
//                       folder) and `cp` of the kept files, for comparison.
// Counters: freshSec, saveSec, openSec, cpSec, freshOverOpen (target >= 5)
// copiesSec (the copies to the temp folder alone) and copiesOverCp (against
// cp of the same files; target <= 1.5).
#include "corpus_files.h"
#include "foundation/corpus_list.h"
#include "foundation/frequency_list.h"
#include "foundation/program_state.h"
#include "foundation/settings.h"
#include "foundation/tag_scan.h"
#include "foundation/workspace.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

class BenchWorkspaceFrame : public TWorkspaceFrame {
public:
  TCorpusFrame& Corpus() override { return corpus_; }
  std::string& WorkspaceName() override { return name_; }
  void SetCaption(const std::string&) override {}
  bool ChooseWorkspaceToSave(std::string&) override { return false; }
  bool ChooseWorkspaceToOpen(std::string&) override { return false; }

private:
  TCorpusFrame corpus_;
  std::string name_;
};

double seconds(const std::function<void()>& work)
{
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void WorkspaceRoundTrip(benchmark::State& state)
{
  const char* mb = std::getenv("QUILL_BENCH_CORPUS_MB");
  const uint64_t total = (mb && std::strtoull(mb, nullptr, 10) ? std::strtoull(mb, nullptr, 10) : 1024) << 20;
  const std::string folder = corpusgen::tempPath("quill_workspace_bench/");
  std::filesystem::create_directories(folder);
  std::vector<std::string> files;
  for (int i = 0; i < 4; ++i) {
    corpusgen::Options o;
    o.size = total / 4;
    o.seed = 11 + i;
    o.lineEnd = corpusgen::LineEnd::CrLf;
    o.markupTags = true;
    o.pageSeparator = "<pb>";
    files.push_back(folder + "part" + std::to_string(i) + ".txt");
    corpusgen::writeToFile(o, files.back());
    corpusgen::warmPageCache(files.back());
  }
  InitProgramState();
  InitSharedState();
  corpusgen::useDefaultSearchSettings();
  ConcordSettings.PageSeparator = "<pb>";
  FrequencySettings.SkipTags = true;
  WatchedTags = {TWatchedTag::Make("hi", "<hi>", "</hi>"), TWatchedTag::Make("p", "p", "")};
  const std::string qws = folder + "Bench.QWS";
  for (auto _ : state) {
    BenchWorkspaceFrame frame;
    UnloadCorpus(frame.Corpus());
    ResetWorkspaceState();
    const double fresh = seconds([&] {
      LoadCorpusItems(frame.Corpus(), files);
      CorpusFreqList = CountCorpusWords();
    });
    KeepLinePages = KeepWatchedTags = KeepURLs = KeepFreq = true;
    const double save = seconds([&] { SaveWorkspace(frame, qws, false); });
    frame.WorkspaceName().clear();
    UnloadCorpus(frame.Corpus());
    const double open = seconds([&] { OpenWorkspace(frame, qws); });
    // The copies alone: the kept files reopened from the folder, then
    // copied to the temp folder, beside cp of the same files.
    const std::vector<std::string> flags = FileFlags;
    UnloadCorpus(frame.Corpus());
    frame.WorkspaceName() = qws;
    WorkspaceFolder = folder + "Bench/";
    LoadCorpusItems(frame.Corpus(), files, &flags);
    const double copies = seconds([&] { BuildFileFlags(frame, true, false); });
    const std::string copy = folder + "cp/";
    std::filesystem::remove_all(copy);
    std::filesystem::create_directories(copy);
    const double cp = seconds([&] {
      const std::string command = "cp " + folder + "Bench/*T*.tmp '" + copy + "'";
      if (std::system(command.c_str()) != 0)
        state.SkipWithError("cp failed");
    });
    state.counters["freshSec"] = fresh;
    state.counters["saveSec"] = save;
    state.counters["openSec"] = open;
    state.counters["cpSec"] = cp;
    state.counters["freshOverOpen"] = fresh / open;
    state.counters["copiesSec"] = copies;
    state.counters["copiesOverCp"] = copies / cp;
    UnloadCorpus(frame.Corpus());
  }
  std::filesystem::remove_all(folder);
}

}  // namespace

BENCHMARK(WorkspaceRoundTrip)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
