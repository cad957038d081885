// Collocate tables over a million hits of the corpus's most frequent word,
// found by the real search in two generated files of 128 MiB (fixed seeds;
// kept for later runs in $QUILL_COLLOC_CORPUS, else
// $TMPDIR/quill_colloc_bench, TMPDIR defaulting to /tmp; remove by hand).
// Span 4, ignoring case, a stop list of the 300 next most frequent words,
// highlighting on with 5 ranks.
//
//   generate  GenerateCollocation by phase: counting (up to the last pump of
//             the progress dialog), ranking (timed again on its own) and
//             sorting (the rest);
//   search    the search into a hit list with highlighting off and on: the
//             difference is what AddItem's counting and ranking cost per hit;
//   report    WriteCollocationTable of all rows into a file.
// The peer is LC_ALL=C sort | uniq -c | sort -rn over the same position
// words (folded, stop words left out) written one per line with their
// position.
#include "corpus_files.h"
#include "corpus_generator.h"
#include "foundation/chartables.h"
#include "foundation/corpus_list.h"
#include "foundation/dialogs.h"
#include "foundation/program_state.h"
#include "foundation/settings.h"
#include "foundation/stop_list.h"
#include "foundation/text_sink.h"
#include "search/collocates.h"
#include "search/concord_items.h"
#include "search/search_driver.h"

#include <benchmark/benchmark.h>

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int FileCount = 2;
constexpr uint64_t FileBytes = uint64_t(128) << 20;
constexpr int32_t HitCount = 1000000;

double Seconds(Clock::time_point from, Clock::time_point to)
{
  return std::chrono::duration<double>(to - from).count();
}

corpusgen::Options FileOptions(int index)
{
  corpusgen::Options o;
  o.size = FileBytes;
  o.seed = uint64_t(500 + index);
  return o;
}

const std::vector<std::string>& Files()
{
  static std::vector<std::string> files;
  if (files.empty()) {
    const char* env = std::getenv("QUILL_COLLOC_CORPUS");
    const std::string folder = env && *env ? std::string(env) + "/" : corpusgen::tempPath("quill_colloc_bench/");
    ::mkdir(folder.c_str(), 0700);
    for (int i = 0; i < FileCount; ++i) {
      const std::string path = folder + "plain_" + std::to_string(i) + ".txt";
      corpusgen::writeUnlessPresent(FileOptions(i), path);
      files.push_back(path);
    }
  }
  for (const std::string& f : files)
    corpusgen::warmPageCache(f);
  return files;
}

// Progress dialogs that note when they were last polled.
class TimedDialogs : public DialogService {
public:
  int ShowMessageBox(const MessageBoxRequest&) override { return mrOk; }
  bool QueryInput(std::string_view, std::string_view, const TFontRec&, std::string&) override { return false; }
  std::unique_ptr<ProgressDialog> CreateProgressForm(bool multiFile) override
  {
    class Timed : public ProgressDialog {
    public:
      Timed(bool multiFile, Clock::time_point& lastPoll) : ProgressDialog(multiFile), lastPoll_(lastPoll) {}
      int poll() override
      {
        lastPoll_ = Clock::now();
        return Tag();
      }

    private:
      Clock::time_point& lastPoll_;
    };
    return std::make_unique<Timed>(multiFile, LastPoll);
  }
  Clock::time_point LastPoll;
};

TimedDialogs& Dialogs()
{
  static TimedDialogs dialogs;
  return dialogs;
}

void SetUp()
{
  static bool done = false;
  if (done)
    return;
  done = true;
  InitProgramState();
  InitSharedState();
  SetTextLanguage(0x409);
  corpusgen::useDefaultSearchSettings();
  ConcordSettings.TagSearchSeparator = '&';
  ConcordSettings.IgnoreCase = true;
  ConcordSettings.FrequencyOfHits = 1;
  BuildCharTables();
  SetDialogService(&Dialogs());
  for (const std::string& path : Files()) {
    auto item = std::make_unique<TCorpusItem>();
    item->Name = path;
    item->Source = std::make_unique<TFileSynchroStream>(path, CorpusFileMode);
    item->Reader = std::make_unique<TBufStream>(item->Source.get());
    CorpusList.Append(std::move(item));
  }
  const std::vector<std::string> v = corpusgen::vocabulary(FileOptions(0));
  GlobalStopList.SetWords(std::vector<std::string>(v.begin() + 1, v.begin() + 301));
  GlobalStopList.SetActive(true);
  FrequencySettings.CollocationSpan = 4;
  FrequencySettings.CollocHighliteFirst = 5;
  FrequencySettings.IgnoreCase = true;
  FrequencySettings.MinimumFrequency = 1;
  FrequencySettings.MaximumFrequency = 0;
}

std::string Word()
{
  return corpusgen::vocabulary(FileOptions(0))[0];
}

// The search's hits in a new list, highlighting on from the first hit or
// not at all; the seconds the search took.
std::unique_ptr<TConcordItems> Search(bool highlighting, double& seconds)
{
  SetUp();
  TSearchRec request;
  request.Mode = TSearchMode::Text;
  request.Patterns = {Word()};
  request.DisplayPatterns = request.Patterns;
  TSearch search;
  int32_t phase = 0;
  std::string error;
  search.Prepare(request, phase, error);
  if (phase != 0)
    throw std::runtime_error(error);
  auto list = std::make_unique<TConcordItems>();
  if (highlighting)
    list->SetHighlightCollocates(true);  // empty tables, valid for no hits
  int32_t number = 0;
  const auto t0 = Clock::now();
  search.RunSearch(HitCount, [&](std::unique_ptr<TConcordItem> hit) {
    hit->HitNumber = number++;
    list->AddItem(std::move(hit));
  });
  seconds = Seconds(t0, Clock::now());
  return list;
}

TConcordItems& Hits()
{
  static std::unique_ptr<TConcordItems> list;
  if (!list) {
    double seconds = 0;
    list = Search(false, seconds);
  }
  return *list;
}

// The peer: the position words one per line, then sort | uniq -c | sort -rn.
double RunSortUniq(const TConcordItems& hits)
{
  const std::string words = corpusgen::tempPath("quill_colloc_bench_words.txt");
  {
    FILE* f = std::fopen(words.c_str(), "wb");
    if (!f)
      throw std::runtime_error("cannot write " + words);
    const TCollocWindow w = CurrentCollocWindow();
    for (const auto& hit : hits.Items())
      for (int p = w.First; p <= w.Last; ++p)
        if (hit->HasWord(p)) {
          const std::string word = LocaleLowerStr(hit->Word(p));
          if (!GlobalStopList.IsStopWord(word))
            std::fprintf(f, "%d\t%s\n", p, word.c_str());
        }
    std::fclose(f);
  }
  const std::string command = "LC_ALL=C sort '" + words + "' | LC_ALL=C uniq -c | LC_ALL=C sort -rn > /dev/null";
  const auto t0 = Clock::now();
  if (std::system(command.c_str()) != 0)
    throw std::runtime_error("sort failed");
  const double seconds = Seconds(t0, Clock::now());
  std::remove(words.c_str());
  return seconds;
}

void BM_GenerateCollocation(benchmark::State& state)
{
  TConcordItems& hits = Hits();
  const TCollocWindow w = CurrentCollocWindow();
  double count = 0, rank = 0, sort = 0;
  for (auto _ : state) {
    hits.HighlightCollocates = true;
    const auto t0 = Clock::now();
    hits.GenerateCollocation(w.First, w.Last);
    const auto t1 = Clock::now();
    hits.RankAllCollocates();
    const auto t2 = Clock::now();
    const double total = Seconds(t0, t1);
    const double counting = Seconds(t0, Dialogs().LastPoll);
    const double ranking = Seconds(t1, t2);
    count += counting;
    rank += ranking;
    sort += total - counting - ranking;
    state.SetIterationTime(total);
  }
  const double n = double(state.iterations());
  state.counters["hits"] = double(hits.Count());
  state.counters["count_s"] = count / n;
  state.counters["rank_s"] = rank / n;
  state.counters["sort_s"] = sort / n;
  const double peer = RunSortUniq(hits);
  state.counters["sort_uniq_s"] = peer;
  state.counters["ratio_to_peer"] = (count + rank + sort) / n / peer;
}

void BM_SearchHighlightingOffAndOn(benchmark::State& state)
{
  double off = 0, on = 0;
  int32_t hits = 0;
  for (auto _ : state) {
    double s = 0;
    hits = Search(false, s)->Count();
    off += s;
    Search(true, s);
    on += s;
    state.SetIterationTime(s);
  }
  const double n = double(state.iterations());
  state.counters["hits"] = hits;
  state.counters["search_off_s"] = off / n;
  state.counters["search_on_s"] = on / n;
  state.counters["add_item_ns_per_hit"] = (on - off) / n / hits * 1e9;
}

void BM_WriteCollocationReport(benchmark::State& state)
{
  TConcordItems& hits = Hits();
  const TCollocWindow w = CurrentCollocWindow();
  if (!hits.CollocTablesValid(w.First, w.Last))
    hits.GenerateCollocation(w.First, w.Last);
  const std::string path = corpusgen::tempPath("quill_colloc_bench_report.txt");
  for (auto _ : state) {
    const auto t0 = Clock::now();
    TFileTextSink sink(path);
    hits.WriteCollocationTable(sink, 0, Word());
    sink.Close();
    state.SetIterationTime(Seconds(t0, Clock::now()));
  }
  struct stat st {};
  ::stat(path.c_str(), &st);
  state.counters["MB"] = double(st.st_size) / (1 << 20);
  std::remove(path.c_str());
}

}  // namespace

BENCHMARK(BM_GenerateCollocation)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SearchHighlightingOffAndOn)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_WriteCollocationReport)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
