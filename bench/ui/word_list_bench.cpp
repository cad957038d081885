// The word-list window on 1 000 000 distinct words: filling it and painting
// its first screen, and jumping to the last row with its paint. The cells
// are formatted only when drawn, so neither grows with the row count.
//
// BM_CorpusWordListFromMenu is Corpus Frequency Data as the user runs it on
// a 200 MiB generated corpus (seed 2; kept in $TMPDIR/quill_word_list_200m.txt
// for later runs): counting the corpus with the Qt progress dialog, the
// window filled and its first screen painted, with the installation's
// frequency options (case ignored, tags skipped, 100 lines). Beside it the
// same run times tr -cs A-Za-z '\n' | tr A-Z a-z | sort | uniq -c | sort -rn
// under LC_ALL=C on the same file; x_pipeline is the pipeline's time over ours.
#include "offscreen_app.h"

#include "corpus_files.h"
#include "foundation/corpus_list.h"
#include "foundation/frequency_list.h"
#include "foundation/program_state.h"
#include "foundation/settings.h"
#include "workbench/dialogs/qt_dialogs.h"
#include "workbench/windows/word_list_form.h"

#include <QAbstractItemModel>
#include <QImage>
#include <QTableView>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int32_t WordCount = 1000000;

std::unique_ptr<THashStrings> makeTable()
{
  std::mt19937 random(42);
  auto table = std::make_unique<THashStrings>(4096, 0x409);
  for (int32_t i = 0; i < WordCount; ++i) {
    std::string word;
    for (int n = 4 + int(random() % 6); n > 0; --n)
      word += char('a' + random() % 26);
    table->AddCount(word + std::to_string(i), std::max<int32_t>(1, 2000000 / (i + 1)));
  }
  return table;
}

struct Fixture {
  QApplication& Application = OffscreenApp();
  std::unique_ptr<THashStrings> Table;
  std::unique_ptr<TWordListForm> Window;
  QImage Image;
  Fixture()
  {
    InitProgramState();
    FrequencySettings.MinimumFrequency = 1;
    FrequencySettings.MaximumLines = WordCount;
    Table = makeTable();
    Table->Sort(THashStrings::ssByCount);
    Window = std::make_unique<TWordListForm>();
    Window->resize(500, 700);
    Window->show();
    QApplication::processEvents();
    Image = QImage(Window->FreqGrid->viewport()->size(), QImage::Format_RGB32);
  }
  void Paint() { Window->FreqGrid->viewport()->render(&Image); }
};

void BM_WordListFillAndFirstPaint(benchmark::State& state)
{
  Fixture f;
  for (auto _ : state) {
    f.Window->FillWordList(*f.Table, wlmKeep, "Corpus Frequency List", 2000000);
    f.Paint();
  }
  state.SetItemsProcessed(state.iterations() * f.Window->Rows().Count());
}
BENCHMARK(BM_WordListFillAndFirstPaint)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_WordListJumpToLastRowAndPaint(benchmark::State& state)
{
  Fixture f;
  f.Window->FillWordList(*f.Table, wlmKeep, "Corpus Frequency List", 2000000);
  f.Paint();
  QAbstractItemModel* model = f.Window->FreqGrid->model();
  for (auto _ : state) {
    f.Window->FreqGrid->scrollToTop();
    f.Window->FreqGrid->scrollTo(model->index(model->rowCount() - 1, 0));
    f.Paint();
  }
}
BENCHMARK(BM_WordListJumpToLastRowAndPaint)->Unit(benchmark::kMillisecond)->Iterations(20);

const std::string& MenuCorpus()
{
  static const std::string path = [] {
    corpusgen::Options o;
    o.size = uint64_t(200) << 20;
    o.seed = 2;
    const std::string file = corpusgen::tempPath("quill_word_list_200m.txt");
    corpusgen::writeUnlessPresent(o, file);
    return file;
  }();
  corpusgen::warmPageCache(path);
  return path;
}

void BM_CorpusWordListFromMenu(benchmark::State& state)
{
  OffscreenApp();
  const std::string& file = MenuCorpus();
  TCorpusFrame frame;
  UnloadCorpus(frame);  // the other widget benchmarks load their corpus again
  corpusgen::loadSearchCorpus({file});
  FrequencySettings.IgnoreCase = true;
  FrequencySettings.SkipTags = true;
  FrequencySettings.MinimumFrequency = 1;
  FrequencySettings.MaximumFrequency = 0;
  FrequencySettings.MaximumLines = 100;
  QtDialogService dialogs;
  dialogs.install();
  using Clock = std::chrono::steady_clock;
  const std::string pipeline = "LC_ALL=C tr -cs A-Za-z '\\n' < '" + file +
                               "' | LC_ALL=C tr A-Z a-z | LC_ALL=C sort | LC_ALL=C uniq -c | LC_ALL=C sort -rn > /dev/null";
  std::vector<double> ours, peer, ratio;
  int32_t distinct = 0;
  int64_t words = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    CorpusFreqList = CountCorpusWords();
    TWordListForm window;
    window.FillWordList(*CorpusFreqList, wlmByCount, "Corpus Frequency List", TotalWordCount);
    window.resize(500, 700);
    window.show();
    QApplication::processEvents();
    QImage image(window.FreqGrid->viewport()->size(), QImage::Format_RGB32);
    window.FreqGrid->viewport()->render(&image);
    const double s = std::chrono::duration<double>(Clock::now() - t0).count();
    state.SetIterationTime(s);
    ours.push_back(s);
    distinct = CorpusFreqList->Count();
    words = TotalWordCount;
    peer.push_back(corpusgen::peerSeconds(pipeline));  // paired with this run
    ratio.push_back(peer.back() / s);
  }
  using corpusgen::median;
  CorpusFreqList.reset();
  UnloadCorpus(frame);
  state.counters["distinct"] = double(distinct);
  state.counters["words"] = double(words);
  state.counters["ours_s"] = median(ours);
  state.counters["pipeline_s"] = median(peer);
  state.counters["x_pipeline"] = median(ratio);  // median of the paired ratios
}
BENCHMARK(BM_CorpusWordListFromMenu)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
