// What the widget benchmarks that read a corpus share: a corpus
// of two files of 128 MiB from the corpus generator (fixed seeds) loaded as
// the corpus list and searched for its three most frequent words.
//
// The corpus is kept for later runs in $QUILL_WRITER_CORPUS, else
// $TMPDIR/quill_writer_bench (TMPDIR defaults to /tmp); remove it by hand.
#pragma once

#include "offscreen_app.h"
#include "corpus_files.h"
#include "corpus_generator.h"
#include "foundation/chartables.h"
#include "foundation/corpus_list.h"
#include "foundation/program_state.h"
#include "foundation/settings.h"
#include "search/concord_items.h"
#include "search/search_driver.h"

#include <QApplication>

#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace uibench {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::time_point from, Clock::time_point to)
{
  return std::chrono::duration<double>(to - from).count();
}

inline constexpr int CorpusFileCount = 2;
inline constexpr uint64_t CorpusFileBytes = uint64_t(128) << 20;

inline corpusgen::Options CorpusFileOptions(int index)
{
  corpusgen::Options o;
  o.size = CorpusFileBytes;
  o.seed = uint64_t(300 + index);
  return o;
}

// The corpus files, made when missing and read into the page cache.
inline const std::vector<std::string>& CorpusFiles()
{
  static std::vector<std::string> files;
  if (files.empty()) {
    std::string folder;
    if (const char* env = std::getenv("QUILL_WRITER_CORPUS"); env && *env)
      folder = std::string(env) + "/";
    else
      folder = corpusgen::tempPath("quill_writer_bench/");
    ::mkdir(folder.c_str(), 0700);
    for (int i = 0; i < CorpusFileCount; ++i) {
      const std::string path = folder + "plain_" + std::to_string(i) + ".txt";
      corpusgen::writeUnlessPresent(CorpusFileOptions(i), path);
      files.push_back(path);
    }
  }
  for (const std::string& f : files)
    corpusgen::warmPageCache(f);
  return files;
}

// The three most frequent words of the corpus.
inline std::vector<std::string> CorpusWords()
{
  const std::vector<std::string> v = corpusgen::vocabulary(CorpusFileOptions(0));
  return {v[0], v[1], v[2]};
}

// Loads the corpus (once) and hands the first maxHits hits of the three
// words to sink, numbered from 0.
inline void SearchCorpusHits(int32_t maxHits, const std::function<void(std::unique_ptr<TConcordItem>)>& sink)
{
  OffscreenApp();
  static bool loaded = false;
  if (!loaded) {
    loaded = true;
    corpusgen::loadSearchCorpus(CorpusFiles());
  }
  const std::unique_ptr<TSearch> search = corpusgen::prepareTextSearch(CorpusWords());
  int32_t number = 0;
  search->RunSearch(maxHits, [&](std::unique_ptr<TConcordItem> hit) {
    hit->HitNumber = number++;
    sink(std::move(hit));
  });
}

}  // namespace uibench
