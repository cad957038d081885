// Where the benchmarks keep their generated corpora, and the reader settings
// that tests and benchmarks share for such text. Header only: the settings
// part needs the program's foundation library, which the corpus generator
// itself does not use.
#pragma once

#include "corpus_generator.h"
#include "foundation/buf_stream.h"
#include "foundation/chartables.h"
#include "foundation/corpus_list.h"
#include "foundation/program_state.h"
#include "foundation/settings.h"
#include "search/search_defaults.h"
#include "search/search_driver.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace corpusgen {

// Runs a peer's shell command (grep, sort, ...) and gives the seconds it
// took; raises when the command fails.
inline double peerSeconds(const std::string& command)
{
  const auto start = std::chrono::steady_clock::now();
  if (std::system(command.c_str()) != 0)
    throw std::runtime_error("peer command failed: " + command);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The median of paired timings or their ratios (0 for none).
inline double median(std::vector<double> v)
{
  std::sort(v.begin(), v.end());
  return v.empty() ? 0.0 : v[v.size() / 2];
}

// `name` in $TMPDIR, or in /tmp when TMPDIR is unset or empty.
inline std::string tempPath(const std::string& name)
{
  const char* tmp = std::getenv("TMPDIR");
  return std::string(tmp && *tmp ? tmp : "/tmp") + "/" + name;
}

// Writes the corpus of `options` to `path` unless a file of exactly
// options.size bytes is already there (kept from an earlier run).
inline void writeUnlessPresent(const Options& options, const std::string& path)
{
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || static_cast<uint64_t>(st.st_size) != options.size)
    writeToFile(options, path);
}

// Reads a file through once, so that what is measured next finds it in the
// page cache. Throws std::runtime_error when it cannot be opened.
inline void warmPageCache(const std::string& path)
{
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    throw std::runtime_error("cannot open " + path);
  std::vector<char> buf(size_t(1) << 20);
  while (::read(fd, buf.data(), buf.size()) > 0) {
  }
  ::close(fd);
}

// The reader settings the generated text is written for: the program's
// default non-word characters, the wildcards "*", "%", "?" and "@", and
// markup tags from "<" through ">".
// The settings a fresh installation searches with, as the settings reader
// gives them for missing keys: the search parameters' defaults, markup tags
// in angle brackets, no part-of-speech tags, case ignored.
inline void useDefaultSearchSettings()
{
  ApplySearchParameterDefaults();
  ConcordSettings.IgnoreCase = true;
  ConcordSettings.UseSkipEqualChars = false;
  ConcordSettings.TagStart = '<';
  ConcordSettings.TagStop = '>';
  ConcordSettings.WordTag = 0;
  ConcordSettings.wTagBefore = false;
  ConcordSettings.wTagDelimiter = '_';
  ConcordSettings.wTagStarts.clear();
  ConcordSettings.wTagStop = '>';
  ConcordSettings.MetaTags.clear();
}

// A fresh program in US English with the default search settings and the
// files as its corpus items; no indexes are made, searching needs none.
inline void loadSearchCorpus(const std::vector<std::string>& files)
{
  InitProgramState();
  InitSharedState();
  SetTextLanguage(0x409);
  useDefaultSearchSettings();
  BuildCharTables();
  for (const std::string& path : files) {
    auto item = std::make_unique<TCorpusItem>();
    item->Name = path;
    item->Source = std::make_unique<TFileSynchroStream>(path, CorpusFileMode);
    item->Reader = std::make_unique<TBufStream>(item->Source.get());
    CorpusList.Append(std::move(item));
  }
}

// A Text-mode search for the patterns, prepared; raises what made the
// preparation fail.
inline std::unique_ptr<TSearch> prepareTextSearch(const std::vector<std::string>& patterns)
{
  TSearchRec request;
  request.Mode = TSearchMode::Text;
  request.Patterns = patterns;
  request.DisplayPatterns = patterns;
  auto search = std::make_unique<TSearch>();
  int32_t phase = 0;
  std::string error;
  search->Prepare(request, phase, error);
  if (phase != 0)
    throw std::runtime_error(error);
  return search;
}

}  // namespace corpusgen
