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
//   LongLineDoubleByte  the same open on code page 932, also scrolled to the
//       end, of 100 MB of double-byte characters whose bytes can all lead
//       (no byte is a character by itself, so no character boundary is seen
//       without knowing where the run began): linedMs (a line break instead
//       of a character about every 80 bytes), oneLineMs, ratio = oneLine /
//       lined.
//   LongLineSuppressedStep  a 100 MB tagged line between two short lines,
//       with Suppress > Tags, once read to its end: the median time of one
//       sideways step (and its repaint) at 10 %, 50 % and 90 % of the
//       horizontal range (step10Ms, step50Ms, step90Ms) and ratio50,
//       ratio90 = the step there / the step at 10 %.
// The files are deleted at exit.
#include "offscreen_app.h"
#include "corpus_files.h"
#include "foundation/chartables.h"
#include "foundation/corpus_list.h"
#include "foundation/dialogs.h"
#include "foundation/program_state.h"
#include "workbench/dialogs/qt_dialogs.h"
#include "workbench/lineview/strings_view.h"
#include "workbench/windows/full_text_form.h"
#include "platform/codepage.h"

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

// Characters of the current language's double-byte page whose bytes can
// both lead: a run of 字 now and then, else pairs of random lead bytes.
std::string doubleByteRun(uint64_t size)
{
  const platform::CodePage& cp = platform::codePage(AnsiCodePage);
  const std::string ji = platform::fromUtf16(cp, u"\u5B57");
  std::vector<char> leads;
  for (int c = 0x80; c < 256; ++c)
    if (cp.lead[size_t(c)])
      leads.push_back(char(c));
  std::mt19937 rng(48);
  std::string bytes(size & ~uint64_t(1), ' ');
  for (size_t i = 0; i < bytes.size(); i += 2) {
    const bool run = (i / 64) % 3 == 0;
    bytes[i] = run ? ji[0] : leads[rng() % leads.size()];
    bytes[i + 1] = run ? ji[1] : leads[rng() % leads.size()];
  }
  return bytes;
}

// A CR LF pair instead of the character at every 80th byte.
std::string pairsInLines(std::string bytes)
{
  for (size_t at = 78; at + 1 < bytes.size(); at += 80) {
    bytes[at] = '\r';
    bytes[at + 1] = '\n';
  }
  return bytes;
}

// Random words with a tag after about every third.
std::string taggedWords(uint64_t size)
{
  std::mt19937 rng(50);
  std::string bytes;
  bytes.reserve(size + 32);
  while (bytes.size() < size) {
    for (size_t n = 1 + rng() % 9; n > 0; --n)
      bytes += char('a' + rng() % 26);
    bytes += rng() % 3 ? " " : " <tag n=1> ";
  }
  bytes.resize(size);
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

// What every row runs in: the program's state with the default search
// settings and the dialogs above; the files are deleted at exit.
class TBenchSession {
public:
  TBenchSession()
  {
    OffscreenApp();
    InitProgramState();
    corpusgen::useDefaultSearchSettings();
    previous_ = SetDialogService(&dialogs_);
    static const bool removal = std::atexit(removeFiles) == 0;
    (void)removal;
  }
  ~TBenchSession() { SetDialogService(previous_); }
  TBenchSession(const TBenchSession&) = delete;
  TBenchSession& operator=(const TBenchSession&) = delete;

private:
  TBenchDialogs dialogs_;
  DialogService* previous_ = nullptr;
};

// Scrolls the window to horizontal position pos and paints it.
void showAt(TStringsView* view, int32_t pos)
{
  view->SetHorzPos(pos);
  view->viewport()->repaint();
  QApplication::processEvents();  // the scroll range follows the paint
}

// One open of file as the user makes it; returns the milliseconds taken.
// toEnd: the window is scrolled to the end of the range as well.
double openFile(const std::string& file, bool toEnd = false)
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
  TStringsView* view = form->TextWindow;
  showAt(view, 0);
  showAt(view, view->horizontalScrollBar()->maximum() / 2);
  if (toEnd)
    showAt(view, view->horizontalScrollBar()->maximum());
  const double ms = double(clock.nsecsElapsed()) / 1e6;
  delete form;
  RemoveCorpusItem(frame, CorpusList.IndexOf(file));
  return ms;
}

void LongLineOpen(benchmark::State& state)
{
  TBenchSession session;
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
}
BENCHMARK(LongLineOpen)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

void LongLineDoubleByte(benchmark::State& state)
{
  TBenchSession session;
  const int32_t language = LanguageId;
  SetTextLanguage(0x411);  // Japanese, code page 932
  BuildCharTables();
  const uint64_t size = megabytes() << 20;
  const std::string oneLine = writeFile("quill_long_line_bench_dbcs_one.txt", doubleByteRun(size));
  const std::string lined = writeFile("quill_long_line_bench_dbcs_lined.txt", pairsInLines(doubleByteRun(size)));
  for (auto _ : state) {
    const double linedMs = openFile(lined, true);
    const double oneLineMs = openFile(oneLine, true);
    state.SetIterationTime(oneLineMs / 1e3);
    state.counters["linedMs"] = linedMs;
    state.counters["oneLineMs"] = oneLineMs;
    state.counters["ratio"] = oneLineMs / linedMs;
  }
  SetTextLanguage(language);
  BuildCharTables();
}
BENCHMARK(LongLineDoubleByte)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

void LongLineSuppressedStep(benchmark::State& state)
{
  TBenchSession session;
  const std::string file = writeFile("quill_long_line_bench_tagged.txt",
                                     "a short line\r\n" + taggedWords(megabytes() << 20) + "\r\nanother short line");
  TBenchFrame frame;
  LoadCorpusItems(frame, {file});
  TFullTextForm* form = frame.Shown;
  if (!form) {
    state.SkipWithError("the file was not shown");
    return;
  }
  while (!form->CountDone())
    QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  form->SuppressClick(0);
  TStringsView* view = form->TextWindow;
  // Once to the end: the line's shown length is known from then on.
  showAt(view, 0);
  showAt(view, view->horizontalScrollBar()->maximum());
  const int32_t range = view->horizontalScrollBar()->maximum();
  for (auto _ : state) {
    std::vector<double> steps[3];
    const double fractions[3] = {0.1, 0.5, 0.9};
    for (int k = 0; k < 3; ++k) {
      const auto pos = int32_t(range * fractions[k]);
      showAt(view, pos);
      for (int i = 1; i <= 9; ++i) {
        QElapsedTimer clock;
        clock.start();
        showAt(view, pos + i);
        steps[k].push_back(double(clock.nsecsElapsed()) / 1e6);
      }
    }
    const double at10 = corpusgen::median(steps[0]);
    state.SetIterationTime(corpusgen::median(steps[2]) / 1e3);
    state.counters["step10Ms"] = at10;
    state.counters["step50Ms"] = corpusgen::median(steps[1]);
    state.counters["step90Ms"] = corpusgen::median(steps[2]);
    state.counters["ratio50"] = corpusgen::median(steps[1]) / at10;
    state.counters["ratio90"] = corpusgen::median(steps[2]) / at10;
    state.counters["rangeChars"] = range;
  }
  delete form;
  RemoveCorpusItem(frame, CorpusList.IndexOf(file));
}
BENCHMARK(LongLineSuppressedStep)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
