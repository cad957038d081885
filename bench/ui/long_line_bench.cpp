// Opening a file whose text is one long line, against the same bytes in
// lines, offscreen with the page cache warm. One pass opens each file as a
// load does: the Corpus Text window shows it, the tag scan runs with its
// progress form (which pumps the window's paints), the line count ends and
// the window paints its first screen and, scrolled to the middle of the
// longest line, once more. Then it closes and the item is removed.
//   LongLineOpen  linedMs and oneLineMs (random words and blanks, 100 MB;
//       QUILL_BENCH_LONGLINE_MB sets another size; the lined file has the
//       same bytes with a line break about every 80), ratio = oneLine /
//       lined; nulMs and nulRatio for twice the size of NUL bytes then a
//       word; the peak resident memory of each pass (linedPeakMB,
//       oneLinePeakMB) and extraPeakMB = oneLine - lined.
// The files are deleted at exit.
#include "offscreen_app.h"
#include "corpus_files.h"
#include "foundation/corpus_list.h"
#include "foundation/dialogs.h"
#include "foundation/program_state.h"
#include "workbench/dialogs/qt_dialogs.h"
#include "workbench/lineview/strings_view.h"
#include "workbench/windows/full_text_form.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<std::string> benchFiles;

void removeFiles()
{
  for (const std::string& file : benchFiles)
    std::filesystem::remove(file);
}

uint64_t megabytes()
{
  const char* mb = std::getenv("QUILL_BENCH_LONGLINE_MB");
  const uint64_t n = mb ? std::strtoull(mb, nullptr, 10) : 100;
  return n ? n : 100;
}

std::string writeFile(const std::string& name, const std::string& bytes)
{
  const std::string file = corpusgen::tempPath(name);
  std::ofstream(file, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
  benchFiles.push_back(file);
  corpusgen::warmPageCache(file);
  return file;
}

// Random words of 1 to 9 letters separated by blanks.
std::string randomWords(uint64_t size)
{
  std::mt19937 rng(45);
  std::string bytes(size, ' ');
  size_t i = 0;
  while (i < size) {
    const size_t n = 1 + rng() % 9;
    for (size_t k = 0; k < n && i < size; ++k)
      bytes[i++] = char('a' + rng() % 26);
    ++i;  // the blank
  }
  return bytes;
}

// The blank at or before every 80th byte becomes a line break.
std::string inLines(std::string bytes)
{
  for (size_t mark = 80; mark < bytes.size(); mark += 80) {
    size_t at = mark;
    while (at > mark - 80 && bytes[at] != ' ')
      --at;
    if (bytes[at] == ' ')
      bytes[at] = '\n';
  }
  return bytes;
}

// The peak resident memory since the last reset, which starts a new peak.
double peakMegabytes(bool reset)
{
  double kb = 0;
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0)
      kb = std::strtod(line.c_str() + 6, nullptr);
  if (reset)
    std::ofstream("/proc/self/clear_refs") << "5";
  return kb / 1024;
}

// The Qt progress forms (which pump events as in the program); every
// question, such as whether to open the NUL file, is answered OK.
class TBenchDialogs : public DialogService {
public:
  int ShowMessageBox(const MessageBoxRequest&) override { return mrOk; }
  bool QueryInput(std::string_view, std::string_view, const TFontRec&, std::string&) override { return false; }
  std::unique_ptr<ProgressDialog> CreateProgressForm(bool multiFile) override
  {
    return qt.CreateProgressForm(multiFile);
  }
  QtDialogService qt;
};

// The frame's part in a load: the first file is shown in its window.
class TBenchFrame : public TCorpusFrame {
public:
  void ShowFullText(const std::string& name) override { Shown = ::ShowFullText(name, 0); }
  TFullTextForm* Shown = nullptr;
};

// One open of file as the user makes it; returns the milliseconds taken.
double openFile(const std::string& file)
{
  TBenchFrame frame;
  QElapsedTimer clock;
  clock.start();
  LoadCorpusItems(frame, {file});
  TFullTextForm* form = frame.Shown;
  if (!form)
    return 0;
  while (!form->CountDone())
    QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  QApplication::processEvents();
  form->TextWindow->viewport()->repaint();
  QApplication::processEvents();  // the scroll range follows the paint
  form->TextWindow->SetHorzPos(form->TextWindow->horizontalScrollBar()->maximum() / 2);
  form->TextWindow->viewport()->repaint();
  QApplication::processEvents();
  const double ms = double(clock.nsecsElapsed()) / 1e6;
  delete form;
  RemoveCorpusItem(frame, CorpusList.IndexOf(file));
  return ms;
}

void LongLineOpen(benchmark::State& state)
{
  OffscreenApp();
  InitProgramState();
  corpusgen::useDefaultSearchSettings();
  TBenchDialogs dialogs;
  DialogService* const previous = SetDialogService(&dialogs);
  std::atexit(removeFiles);
  const uint64_t size = megabytes() << 20;
  const std::string oneLine = writeFile("quill_long_line_bench_one.txt", randomWords(size));
  const std::string lined = writeFile("quill_long_line_bench_lined.txt", inLines(randomWords(size)));
  std::string nulBytes(2 * size, '\0');
  nulBytes += "word";
  const std::string nul = writeFile("quill_long_line_bench_nul.txt", nulBytes);
  nulBytes = std::string();
  for (auto _ : state) {
    peakMegabytes(true);
    const double linedMs = openFile(lined);
    const double linedPeak = peakMegabytes(true);
    const double oneLineMs = openFile(oneLine);
    const double oneLinePeak = peakMegabytes(true);
    const double nulMs = openFile(nul);
    state.SetIterationTime(oneLineMs / 1e3);
    state.counters["linedMs"] = linedMs;
    state.counters["oneLineMs"] = oneLineMs;
    state.counters["ratio"] = oneLineMs / linedMs;
    state.counters["nulMs"] = nulMs;
    state.counters["nulRatio"] = nulMs / linedMs;
    state.counters["linedPeakMB"] = linedPeak;
    state.counters["oneLinePeakMB"] = oneLinePeak;
    state.counters["extraPeakMB"] = oneLinePeak - linedPeak;
  }
  SetDialogService(previous);
}
BENCHMARK(LongLineOpen)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
