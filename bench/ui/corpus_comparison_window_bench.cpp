// Corpus Comparison as the user runs it on two word lists of 100 000 words
// each (word-list files in the window's form, half of the words shared, so
// 150 000 records): both lists read, the records built, the window filled,
// shown and its first screen painted, then sorted on LL descending and
// painted again. Beside it, in the same iteration, a Python script does the
// same work on the same files (read both lists, count per word, percentages
// and log-likelihood per word, sort on it); x_python is its time over ours.
#include "offscreen_app.h"

#include "corpus_files.h"
#include "forms/corpus_comparison.h"
#include "foundation/program_state.h"
#include "foundation/settings.h"
#include "foundation/text_sink.h"
#include "workbench/dialogs/qt_dialogs.h"
#include "workbench/windows/corpus_comp_form.h"

#include <QImage>
#include <QTableView>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int32_t kListWords = 100000;

const char* const kPeerScript = R"(import math, sys

def read(path):
    with open(path, 'rb') as f:
        lines = f.read().split(b'\r\n')
    total = int(lines[0].rsplit(b'(', 1)[1].split()[0])
    counts = {}
    for line in lines[2:]:
        if line:
            count, _, word = line.split(b'\t', 2)
            word = word.lower()
            counts[word] = counts.get(word, 0) + int(count)
    return counts, total

def term(n, expected):
    return n * math.log(n / expected) if n else 0.0

cur, ct = read(sys.argv[1])
ref, rt = read(sys.argv[2])
both = ct + rt
rows = []
for word in list(ref) + [w for w in cur if w not in ref]:
    a, b = cur.get(word, 0), ref.get(word, 0)
    e1, e2 = ct / both * (a + b), rt / both * (a + b)
    rows.append((a, a / ct * 100, word, b, b / rt * 100, 2 * (term(a, e1) + term(b, e2))))
rows.sort(key=lambda r: r[5], reverse=True)
)";

// Word number n: 3 to 10 letters of its own, then n.
std::string wordNumber(int32_t n)
{
  std::minstd_rand random(uint32_t(n) + 1);
  std::string word;
  for (int letters = 3 + int(random() % 8); letters > 0; --letters)
    word += char('a' + random() % 26);
  return word + std::to_string(n);
}

// A list of the kListWords words from number `first` on, Zipf-like counts, in
// the form the word-list window saves.
std::string writeList(const std::string& name, int32_t first, int32_t scale)
{
  std::string body;
  int64_t total = 0;
  for (int32_t i = 0; i < kListWords; ++i) {
    const int32_t count = std::max<int32_t>(1, scale / (i + 1));
    total += count;
    body += std::to_string(count) + "\t0.0000%\t" + wordNumber(first + i) + "\r\n";
  }
  const std::string path = corpusgen::tempPath(name);
  TFileTextSink file(path);
  file.WriteLine("Corpus Frequency List (" + std::to_string(total) + " words)");
  file.WriteLine();
  file.Write(body);
  file.Close();
  return path;
}

struct TLists {
  std::string Current, Reference, Script;
};

const TLists& theLists()
{
  static const TLists lists = [] {
    InitProgramState();
    TLists l;
    l.Current = writeList("quill_comparison_window_cur.txt", kListWords / 2, 1500000);
    l.Reference = writeList("quill_comparison_window_ref.txt", 0, 2000000);
    l.Script = corpusgen::tempPath("quill_comparison_window_peer.py");
    std::ofstream(l.Script) << kPeerScript;
    return l;
  }();
  return lists;
}

std::unique_ptr<THashStrings> readList(const std::string& path, int32_t buckets, int64_t& total)
{
  std::unique_ptr<THashStrings> table;
  if (!ReadFrequencyFile(path, buckets, total, table))
    std::abort();
  return table;
}

void BM_CorpusComparisonWindow(benchmark::State& state)
{
  OffscreenApp();
  const TLists& lists = theLists();
  QtDialogService dialogs;  // the progress dialogs of reading, as the user sees them
  dialogs.install();
  const std::string peerCommand = "python3 '" + lists.Script + "' '" + lists.Current + "' '" + lists.Reference + "'";
  using Clock = std::chrono::steady_clock;
  std::vector<double> ours, peer, ratio;
  size_t records = 0;
  for (auto _ : state) {
    corpusgen::warmPageCache(lists.Current);
    corpusgen::warmPageCache(lists.Reference);
    const auto t0 = Clock::now();
    int64_t currentTotal = 0, referenceTotal = 0;
    const std::unique_ptr<THashStrings> current = readList(lists.Current, 1, currentTotal);
    std::unique_ptr<THashStrings> reference = readList(lists.Reference, current->Count(), referenceTotal);
    TCompRecords built = BuildComparison(*current, currentTotal, *reference, referenceTotal);
    TCorpusCompForm window;
    window.SetComparison(std::move(reference), std::move(built));
    window.show();
    QApplication::processEvents();
    QImage image(window.CompGrid->viewport()->size(), QImage::Format_RGB32);
    window.CompGrid->viewport()->render(&image);
    window.SortKeys = TCompSortKeys{7, 1, 0, 0, 0, 0};
    window.SortComparison();
    window.CompGrid->viewport()->render(&image);
    const double s = std::chrono::duration<double>(Clock::now() - t0).count();
    state.SetIterationTime(s);
    records = window.Records.size();
    ours.push_back(s);
    try {
      peer.push_back(corpusgen::peerSeconds(peerCommand));  // paired with this run
    } catch (const std::exception& e) {
      state.SkipWithError(e.what());
      return;
    }
    ratio.push_back(peer.back() / s);
  }
  using corpusgen::median;
  state.counters["records"] = double(records);
  state.counters["ours_s"] = median(ours);
  state.counters["python_s"] = median(peer);
  state.counters["x_python"] = median(ratio);  // median of the paired ratios
}
BENCHMARK(BM_CorpusComparisonWindow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
