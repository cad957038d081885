// The word-list window on 1 000 000 distinct words: filling it and painting
// its first screen, and jumping to the last row with its paint. The cells
// are formatted only when drawn, so neither grows with the row count.
#include "offscreen_app.h"

#include "foundation/program_state.h"
#include "foundation/settings.h"
#include "workbench/windows/word_list_form.h"

#include <QAbstractItemModel>
#include <QImage>
#include <QTableView>
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <string>

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

}  // namespace
