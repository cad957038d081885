// The hit list the collocation benchmarks share: a million hits of the most
// frequent word of one generated text of 512 MiB (fixed seed; no stretch of
// it repeats, so the tables hold what a real corpus gives them;
// kept for later runs in $QUILL_COLLOC_CORPUS, else $TMPDIR/quill_colloc_bench,
// TMPDIR defaulting to /tmp; remove by hand), found by the real search, with
// span 4, ignoring case and a stop list of the 300 next most frequent words.
// Progress dialogs note when they were last polled.
#pragma once

#include "corpus_files.h"
#include "corpus_generator.h"
#include "foundation/chartables.h"
#include "foundation/corpus_list.h"
#include "foundation/dialogs.h"
#include "foundation/program_state.h"
#include "foundation/settings.h"
#include "foundation/stop_list.h"
#include "search/concord_items.h"
#include "search/search_driver.h"

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace collocbench {

using Clock = std::chrono::steady_clock;

constexpr uint64_t FileBytes = uint64_t(512) << 20;
constexpr int32_t HitCount = 1000000;

inline double Seconds(Clock::time_point from, Clock::time_point to)
{
  return std::chrono::duration<double>(to - from).count();
}

// One text of 512 MiB, whose most frequent word (frequent in this seed's
// vocabulary only) gives a million hits.
inline corpusgen::Options FileOptions()
{
  corpusgen::Options o;
  o.size = FileBytes;
  o.seed = 500;
  return o;
}

inline const std::vector<std::string>& Files()
{
  static std::vector<std::string> files;
  if (files.empty()) {
    const char* env = std::getenv("QUILL_COLLOC_CORPUS");
    const std::string folder = env && *env ? std::string(env) + "/" : corpusgen::tempPath("quill_colloc_bench/");
    ::mkdir(folder.c_str(), 0700);
    const std::string path = folder + "text_512mib.txt";
    corpusgen::writeUnlessPresent(FileOptions(), path);
    files.push_back(path);
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

inline TimedDialogs& Dialogs()
{
  static TimedDialogs dialogs;
  return dialogs;
}

inline void SetUp()
{
  static bool done = false;
  if (done)
    return;
  done = true;
  corpusgen::loadSearchCorpus(Files());
  SetDialogService(&Dialogs());
  const std::vector<std::string> v = corpusgen::vocabulary(FileOptions());
  GlobalStopList.SetWords(std::vector<std::string>(v.begin() + 1, v.begin() + 301));
  GlobalStopList.SetActive(true);
  FrequencySettings.CollocationSpan = 4;
  FrequencySettings.CollocHighliteFirst = 5;
  FrequencySettings.IgnoreCase = true;
  FrequencySettings.MinimumFrequency = 1;
  FrequencySettings.MaximumFrequency = 0;
}

// Seconds LC_ALL=C sort | uniq -c | sort -rn takes over the lines of a file,
// which is then removed.
inline double TimeSortUniq(const std::string& path)
{
  const std::string command = "LC_ALL=C sort '" + path + "' | LC_ALL=C uniq -c | LC_ALL=C sort -rn > /dev/null";
  const double seconds = corpusgen::peerSeconds(command);
  std::remove(path.c_str());
  return seconds;
}

inline std::string Word()
{
  return corpusgen::vocabulary(FileOptions())[0];
}

// The search's hits in a new list, highlighting on from the first hit or
// not at all; the seconds the search took.
inline std::unique_ptr<TConcordItems> Search(bool highlighting, double& seconds)
{
  SetUp();
  const std::unique_ptr<TSearch> search = corpusgen::prepareTextSearch({Word()});
  auto list = std::make_unique<TConcordItems>();
  if (highlighting)
    list->SetHighlightCollocates(true);  // empty tables, valid for no hits
  int32_t number = 0;
  const auto t0 = Clock::now();
  search->RunSearch(HitCount, [&](std::unique_ptr<TConcordItem> hit) {
    hit->HitNumber = number++;
    list->AddItem(std::move(hit));
  });
  seconds = Seconds(t0, Clock::now());
  return list;
}

inline TConcordItems& Hits()
{
  static std::unique_ptr<TConcordItems> list;
  if (!list) {
    double seconds = 0;
    list = Search(false, seconds);
  }
  return *list;
}

}  // namespace collocbench
