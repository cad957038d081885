// Line view costs that must not grow with the item count: laying out and
// painting one screen, jumping to the last item, and selecting every item.
// The BM_ConcordanceWindow_* cases do the same on the list of a real
// concordance window: the first 1 000 or 1 000 000 hits of the shared
// widget-benchmark corpus (ui_bench_support.h), their rows formatted and
// painted by the window itself (hit, collocates, labels).
#include "offscreen_app.h"
#include "ui_bench_support.h"
#include "workbench/windows/concordance_form.h"

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>

#include "workbench/lineview/strings_view.h"

namespace {

// Texts made on demand; the view never holds more than a screen of them.
class SyntheticStrings : public TStrings {
public:
  explicit SyntheticStrings(int32_t n) : N(n) {}
  int32_t N;
  int32_t Count() const override { return N; }
  std::string Get(int32_t index) const override
  {
    char buf[160];
    std::snprintf(buf, sizeof buf, "of the corpus line %d with some left context hit%d and the right context after it",
                  index, index % 97);
    return buf;
  }
};

// A concordance-like view: centred hit run, two collocate runs, a label on
// every third item.
void FormatHitLine(TStringsView* v, const QFontMetrics&, int32_t i, std::string& text, TSVFormatArray& format,
                   TSVLabelInfo& label)
{
  text = v->Strings()->Get(i);
  const size_t hit = text.find("hit");
  const size_t hitEnd = text.find(' ', hit);
  auto run = [&](size_t start, size_t len, bool center, TColor color) {
    TSVFormatInfo r;
    r.Start = int32_t(start) + 1;
    r.Length = int32_t(len);
    r.Center = center;
    r.Hilite = center;
    r.Font.Color = color;
    r.Font.Style = center ? fsBold : 0;
    format.push_back(r);
  };
  run(text.find("corpus"), 6, false, 0x00FFFF);
  run(hit, hitEnd - hit, true, 0x0000FF);
  run(text.find("right"), 5, false, 0x00FFFF);
  if (i % 3 == 0) {
    label.Text.assign(1, 'A');
    label.Alignment = taCenter;
    label.Font.Style = fsBold;
    label.Font.Color = 0xFF0000;
  }
}

struct Fixture {
  QApplication& Application = OffscreenApp();  // before any widget
  SyntheticStrings Source;
  TStringsView View;
  QImage Image;
  explicit Fixture(int32_t n, bool extended = false) : Source(n)
  {
    View.resize(900, 600);
    View.SetAlignment(taCenter);
    View.SetEnableSelect(true);
    View.SetMultiSelect(extended);
    View.SetExtendedSelect(extended);
    View.OnFormatItem = FormatHitLine;
    View.show();
    QApplication::processEvents();
    View.SetStrings(&Source);
    View.SetLabelWidth(2 * View.CharWidth());
    View.SetShowLabel(true);
    Image = QImage(View.viewport()->size(), QImage::Format_RGB32);
  }
  void Paint() { View.viewport()->render(&Image); }
  void Key(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier)
  {
    QKeyEvent press(QEvent::KeyPress, key, mods);
    QApplication::sendEvent(&View, &press);
  }
};

void BM_RelayoutAndPaintScreen(benchmark::State& state)
{
  Fixture f(int32_t(state.range(0)));
  f.View.ScrollTo(f.Source.N / 2);
  for (auto _ : state) {
    f.View.Relayout();
    f.Paint();
  }
}
BENCHMARK(BM_RelayoutAndPaintScreen)->Arg(1000)->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMillisecond);

void BM_EndKeyToLastItemAndPaint(benchmark::State& state)
{
  Fixture f(int32_t(state.range(0)));
  for (auto _ : state) {
    f.Key(Qt::Key_Home);
    f.Key(Qt::Key_End);
    f.Paint();
  }
  if (f.View.ItemIndex() != f.Source.N - 1)
    state.SkipWithError("End did not reach the last item");
}
BENCHMARK(BM_EndKeyToLastItemAndPaint)->Arg(1000)->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMillisecond);

void BM_ScrollToLastAndPaint(benchmark::State& state)
{
  Fixture f(int32_t(state.range(0)));
  for (auto _ : state) {
    f.View.ScrollTo(0);
    f.View.ScrollTo(f.Source.N - 1);
    f.Paint();
  }
}
BENCHMARK(BM_ScrollToLastAndPaint)->Arg(1000)->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMillisecond);

// Home, Shift+End (every item selected one by one), then reading the selection.
void BM_SelectAllWithShiftEnd(benchmark::State& state)
{
  Fixture f(int32_t(state.range(0)), true);
  int64_t selectedEvents = 0;
  f.View.OnItemSelection = [&](TStringsView*, bool selected, int32_t) { selectedEvents += selected; };
  for (auto _ : state) {
    f.Key(Qt::Key_Home);
    f.Key(Qt::Key_End, Qt::ShiftModifier);
    int64_t sum = 0;
    for (int32_t i : f.View.Selection())
      sum += i;
    int32_t hits = 0;
    for (int32_t i = 0; i < f.Source.N; ++i)
      hits += f.View.IsSelected(i);
    benchmark::DoNotOptimize(sum);
    if (hits != f.Source.N)
      state.SkipWithError("not every item selected");
  }
  benchmark::DoNotOptimize(selectedEvents);
}
BENCHMARK(BM_SelectAllWithShiftEnd)->Arg(1000000)->Unit(benchmark::kMillisecond);

// A shown concordance window holding the first n hits, made once per n.
TConcordanceForm& ConcordanceWindow(int32_t n)
{
  static std::map<int32_t, std::unique_ptr<TConcordanceForm>> windows;
  std::unique_ptr<TConcordanceForm>& w = windows[n];
  if (!w) {
    OffscreenApp();
    w = std::make_unique<TConcordanceForm>("bench");
    w->resize(900, 700);
    w->show();
    uibench::SearchCorpusHits(n, [&](std::unique_ptr<TConcordItem> hit) { w->AddHit(std::move(hit)); });
    w->AfterSearch();
    QApplication::processEvents();
  }
  return *w;
}

void BM_ConcordanceWindow_RelayoutAndPaintScreen(benchmark::State& state)
{
  TConcordanceForm& w = ConcordanceWindow(int32_t(state.range(0)));
  TStringsView& view = *w.ConcordWindow;
  QImage image(view.viewport()->size(), QImage::Format_RGB32);
  view.ScrollTo(w.Items().Count() / 2);
  for (auto _ : state) {
    view.Relayout();
    view.viewport()->render(&image);
  }
  state.counters["hits"] = double(w.Items().Count());
}
BENCHMARK(BM_ConcordanceWindow_RelayoutAndPaintScreen)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_ConcordanceWindow_ScrollToLastAndPaint(benchmark::State& state)
{
  TConcordanceForm& w = ConcordanceWindow(int32_t(state.range(0)));
  TStringsView& view = *w.ConcordWindow;
  QImage image(view.viewport()->size(), QImage::Format_RGB32);
  for (auto _ : state) {
    view.ScrollTo(0);
    view.ScrollTo(w.Items().Count() - 1);
    view.viewport()->render(&image);
  }
  state.counters["hits"] = double(w.Items().Count());
}
BENCHMARK(BM_ConcordanceWindow_ScrollToLastAndPaint)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace
