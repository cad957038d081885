// The corpus scan (TSearch::RunSearch) over 1 GB of generated text, side by
// side with grep over the same files; the heap bytes a kept hit costs; and
// the sort of a million hits.
//
// The corpus, eight files of 128 MiB each for the plain and for the tagged
// variant (part-of-speech tags joined to their words by "_"), is made by the
// corpus generator with fixed seeds and kept for later runs in
// $QUILL_SEARCH_CORPUS, else $TMPDIR/quill_search_bench (TMPDIR defaults to
// /tmp). Remove it by hand when done.
//
//   (a) a rare word: the two counts agree (it occurs at most once per line);
//       each run of the program is paired with a run of grep and the ratio
//       reported is the median of the pairs', as for (f);
//   (b) walk*, whose words are common; grep runs -E 'walk[a-z]*' and counts
//       lines, so its count is lower;
//   (c) a Tag-mode word&tag search over the tagged variant; grep prints
//       every occurrence of the word, the delimiter and the tag, wc counts;
//   (d) Regex mode walk(ed|ing) into a hit list, against grep -c -E;
//   (e) a common word with every hit kept, against grep -o -w -i | wc -l;
//   (f) a rare proper name in 200 MiB of English prose: the plain-text
//       documentation of this machine (licences, copyright notes, manuals)
//       joined and repeated, with the name put into a line now and then in
//       three spellings; written once to english_200m.txt beside the corpus.
//   (g) th*, a prefix of very many words, every hit kept, against
//       grep -o -w -i -E 'th[a-z]*' | wc -l.
//   (h) Regex mode with expressions that give up (counted repeats of
//       nullable parts, run on the backtracker) over 1 and 10 MB of
//       repeated "aa ab hab aaaa " and of English prose: the time per MB,
//       the hits and the give-ups of one run each.
//   (i) Regex mode over 128 MiB of generated Japanese text (code page 932:
//       words of kanji and kana, many with trail bytes that are operators
//       or backslashes), against grep -c -E over the same bytes, which it
//       reads as single bytes (so its count differs).
//   (j) a rare word in 128 MiB of Japanese text (code page 932): words of
//       one to four double-byte characters, many with a trail byte that
//       equals a delimiter, "@" or "_", and the word 表示ソフト put in about
//       every 400 KB; grep -c -F counts the lines that hold its bytes.
#include "corpus_generator.h"
#include "foundation/buf_stream.h"
#include "foundation/chartables.h"
#include "foundation/corpus_list.h"
#include "foundation/program_state.h"
#include "foundation/settings.h"
#include "platform/codepage.h"
#include "search/concord_items.h"
#include "search/search_driver.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int FileCount = 8;
constexpr uint64_t FileBytes = uint64_t(128) << 20;
constexpr double CorpusMB = double(FileCount * FileBytes) / (1 << 20);

double Seconds(Clock::time_point from, Clock::time_point to)
{
  return std::chrono::duration<double>(to - from).count();
}

corpusgen::Options FileOptions(int index, bool tagged)
{
  corpusgen::Options o;
  o.size = FileBytes;
  o.seed = uint64_t(100 + index);
  if (tagged)
    o.posStyle = 1;
  return o;
}

std::string Folder()
{
  if (const char* env = std::getenv("QUILL_SEARCH_CORPUS"); env && *env)
    return std::string(env) + "/";
  const char* tmp = std::getenv("TMPDIR");
  return std::string(tmp && *tmp ? tmp : "/tmp") + "/quill_search_bench/";
}

void Warm(const std::string& path)
{
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0)
    throw std::runtime_error("cannot open " + path);
  std::vector<char> buf(size_t(16) << 20);
  while (::read(fd, buf.data(), buf.size()) > 0) {
  }
  ::close(fd);
}

// The files of one variant, written when missing.
const std::vector<std::string>& Files(bool tagged)
{
  static std::vector<std::string> lists[2];
  std::vector<std::string>& files = lists[tagged];
  if (files.empty()) {
    const std::string folder = Folder();
    ::mkdir(folder.c_str(), 0700);
    for (int i = 0; i < FileCount; ++i) {
      const std::string path = folder + (tagged ? "tagged_" : "plain_") + std::to_string(i) + ".txt";
      struct stat st {};
      if (::stat(path.c_str(), &st) != 0 || uint64_t(st.st_size) != FileBytes) {
        std::fprintf(stderr, "Writing %s\n", path.c_str());
        corpusgen::writeToFile(FileOptions(i, tagged), path);
      }
      files.push_back(path);
    }
  }
  for (const std::string& f : files)
    Warm(f);
  return files;
}

void SetUpProgram()
{
  static bool done = false;
  if (done)
    return;
  done = true;
  InitProgramState();
  InitSharedState();
  SetTextLanguage(0x409);
  ConcordSettings.NonWordChars = ".,;:!#$^&()[]{}<>+=/\\|`~\"";
  ConcordSettings.WildCard0orMore = '*';
  ConcordSettings.WildCard0or1 = '%';
  ConcordSettings.WildCardExactly1 = '?';
  ConcordSettings.WildCardMatchWords = '@';
  ConcordSettings.MatchWordsLo = 2;
  ConcordSettings.MatchWordsHi = 5;
  ConcordSettings.TagSearchSeparator = '&';
  ConcordSettings.SkippingChars = "-=";
  ConcordSettings.IgnoreCase = true;
  ConcordSettings.FrequencyOfHits = 1;
  ConcordSettings.TagStart = '<';
  ConcordSettings.TagStop = '>';
  ConcordSettings.wTagDelimiter = '_';
  ConcordSettings.wTagStop = '>';
  BuildCharTables();
}

// Plain-text files of English prose found on this machine, in a fixed order.
std::vector<std::string> EnglishSources()
{
  namespace fs = std::filesystem;
  std::vector<std::string> found;
  auto take = [&](const fs::path& p) {
    std::error_code ec;
    if (fs::is_regular_file(p, ec) && fs::file_size(p, ec) >= 512)
      found.push_back(p.string());
  };
  std::error_code ec;
  for (const char* dir : {"/usr/share/common-licenses", "/usr/share/doc"})
    for (fs::recursive_directory_iterator it(dir, fs::directory_options::skip_permission_denied, ec), end;
         !ec && it != end; it.increment(ec)) {
      const std::string name = it->path().filename().string();
      if (std::string(dir) == "/usr/share/common-licenses" || name == "copyright" || it->path().extension() == ".txt")
        take(it->path());
    }
  for (fs::directory_iterator it("/usr/share/vim", ec), end; !ec && it != end; it.increment(ec))
    for (fs::directory_iterator d(it->path() / "doc", ec), dEnd; !ec && d != dEnd; d.increment(ec))
      if (d->path().extension() == ".txt")
        take(d->path());
  std::sort(found.begin(), found.end());
  return found;
}

constexpr const char* RareName = "Melchizedek";
constexpr uint64_t EnglishBytes = uint64_t(200) << 20;

// The English text with the rare name in it, written when missing.
const std::vector<std::string>& EnglishFiles()
{
  static std::vector<std::string> files;
  if (files.empty()) {
    const std::string path = Folder() + "english_200m.txt";
    ::mkdir(Folder().c_str(), 0700);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || uint64_t(st.st_size) != EnglishBytes) {
      std::fprintf(stderr, "Writing %s\n", path.c_str());
      std::string prose;
      for (const std::string& source : EnglishSources()) {
        std::ifstream in(source, std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (text.find('\0') == std::string::npos)  // no binary files
          prose += text;
      }
      if (prose.size() < (1 << 20))
        throw std::runtime_error("too little English text on this machine");
      // The name goes in about every 400 KB, at a line start, in three
      // spellings; grep and the program agree on every one.
      static const char* const lines[] = {"And Melchizedek king of Salem brought forth bread and wine.\n",
                                          "Priest for ever after the order of MELCHIZEDEK.\n",
                                          "The melchizedek priesthood, as the manual calls it.\n"};
      std::string out;
      out.reserve(EnglishBytes);
      uint64_t seed = 1, nextName = 0, at = 0;
      while (out.size() < EnglishBytes) {
        const size_t eol = prose.find('\n', at);
        const size_t stop = eol == std::string::npos ? prose.size() : eol + 1;
        out.append(prose, at, stop - at);
        at = stop >= prose.size() ? 0 : stop;
        if (out.size() >= nextName) {
          seed = seed * 6364136223846793005ull + 1442695040888963407ull;
          out += lines[(seed >> 33) % 3];
          nextName = out.size() + 300000 + (seed >> 40) % 200000;
        }
      }
      out.resize(EnglishBytes);
      std::ofstream file(path, std::ios::binary | std::ios::trunc);
      file.write(out.data(), std::streamsize(out.size()));
      if (!file)
        throw std::runtime_error("cannot write " + path);
    }
    files.push_back(path);
  }
  for (const std::string& f : files)
    Warm(f);
  return files;
}

enum class Corpus { Plain, Tagged, English };

const std::vector<std::string>& CorpusFiles(Corpus corpus)
{
  return corpus == Corpus::English ? EnglishFiles() : Files(corpus == Corpus::Tagged);
}

// Puts the files of one corpus into the corpus list (no indexes are needed
// for searching).
int LoadedCorpus = -1;  // the corpus in the corpus list, -1 none of these

void LoadCorpus(Corpus corpus)
{
  SetUpProgram();
  if (LoadedCorpus == int(corpus))
    return;
  while (CorpusList.Count() > 0)
    CorpusList.Take(CorpusList.Count() - 1);
  for (const std::string& path : CorpusFiles(corpus)) {
    auto item = std::make_unique<TCorpusItem>();
    item->Name = path;
    item->Source = std::make_unique<TFileSynchroStream>(path, CorpusFileMode);
    item->Reader = std::make_unique<TBufStream>(item->Source.get());
    CorpusList.Append(std::move(item));
  }
  ConcordSettings.WordTag = corpus == Corpus::Tagged ? 1 : 0;
  LoadedCorpus = int(corpus);
}

void LoadCorpus(bool tagged)
{
  LoadCorpus(tagged ? Corpus::Tagged : Corpus::Plain);
}

// A lower-case word of about the given rank.
std::string WordOfRank(size_t rank)
{
  const std::vector<std::string> v = corpusgen::vocabulary(FileOptions(0, false));
  for (size_t r = rank; r < v.size(); ++r)
    if (v[r].size() >= 5 && v[r].find_first_not_of("abcdefghijklmnopqrstuvwxyz") == std::string::npos)
      return v[r];
  return "walked";
}

struct Grep {
  int64_t count = 0;
  double seconds = 0;
};

Grep RunGrep(const std::string& options, const std::string& pattern, const std::vector<std::string>& files)
{
  std::string command = "LC_ALL=C grep " + options + " '" + pattern + "'";
  for (const std::string& f : files)
    command += " '" + f + "'";
  const auto t0 = Clock::now();
  if (options.find("-o") != std::string::npos)
    command += " | wc -l";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe)
    throw std::runtime_error("cannot run grep");
  Grep g;
  char line[4096];
  while (std::fgets(line, sizeof line, pipe)) {
    const char* colon = std::strrchr(line, ':');
    g.count += std::atoll(colon ? colon + 1 : line);
  }
  ::pclose(pipe);
  g.seconds = Seconds(t0, Clock::now());
  return g;
}

size_t HeapInUse()
{
  const struct mallinfo2 m = ::mallinfo2();
  return m.uordblks + m.hblkhd;
}

TSearchRec Request(const std::string& pattern, TSearchMode mode)
{
  TSearchRec r;
  r.Mode = mode;
  r.Patterns = {pattern};
  r.DisplayPatterns = {pattern};
  return r;
}

struct ScanResult {
  int64_t hits = 0;
  double seconds = 0;
  double bytesPerHit = 0;
};

ScanResult Scan(const TSearchRec& request, bool keepInList, int32_t maxHits = INT32_MAX)
{
  TSearch search;
  int32_t phase = 0;
  std::string error;
  search.Prepare(request, phase, error);
  if (phase != 0)
    throw std::runtime_error(error);
  ScanResult r;
  auto list = std::make_unique<TConcordItems>();
  const size_t before = HeapInUse();
  const auto t0 = Clock::now();
  search.RunSearch(maxHits, [&](std::unique_ptr<TConcordItem> hit) {
    ++r.hits;
    if (keepInList)
      list->AddItem(std::move(hit));
  });
  r.seconds = Seconds(t0, Clock::now());
  if (keepInList && r.hits > 0)
    r.bytesPerHit = double(HeapInUse() - before) / double(r.hits);
  return r;
}

void ScanVsGrep(benchmark::State& state, bool tagged, const TSearchRec& request, const std::string& grepOptions,
                const std::string& grepPattern, bool keepInList)
{
  LoadCorpus(tagged);
  Scan(request, false);  // warm-up
  ScanResult scan;
  for (auto _ : state) {
    scan = Scan(request, keepInList);
    state.SetIterationTime(scan.seconds);
  }
  const Grep grep = RunGrep(grepOptions, grepPattern, Files(tagged));
  state.SetLabel(request.Patterns[0]);
  state.counters["MBps"] = CorpusMB / scan.seconds;
  state.counters["hits"] = double(scan.hits);
  state.counters["grep_s"] = grep.seconds;
  state.counters["grep_count"] = double(grep.count);
  state.counters["grep_MBps"] = CorpusMB / grep.seconds;
  state.counters["x_grep"] = grep.seconds / scan.seconds;
  if (keepInList)
    state.counters["bytes_per_hit"] = scan.bytesPerHit;
}

// A rare word in the loaded files, each run of the program paired with a run
// of grep with these options over the same files; the ratio is the median of
// the pairs'.
void RareWordVsGrep(benchmark::State& state, const std::vector<std::string>& files, const std::string& word,
                    const std::string& grepOptions)
{
  double megabytes = 0;
  for (const std::string& f : files) {
    struct stat st {};
    ::stat(f.c_str(), &st);
    megabytes += double(st.st_size) / (1 << 20);
  }
  const TSearchRec request = Request(word, TSearchMode::Text);
  Scan(request, false);  // warm-up
  ScanResult scan;
  Grep grep;
  std::vector<double> ratios, scanTimes, grepTimes;
  for (auto _ : state) {
    scan = Scan(request, false);
    state.SetIterationTime(scan.seconds);
    state.PauseTiming();
    grep = RunGrep(grepOptions, word, files);
    state.ResumeTiming();
    ratios.push_back(grep.seconds / scan.seconds);
    scanTimes.push_back(scan.seconds);
    grepTimes.push_back(grep.seconds);
  }
  auto median = [](std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
  };
  state.SetLabel(word);
  state.counters["MBps"] = megabytes / median(scanTimes);
  state.counters["hits"] = double(scan.hits);
  state.counters["grep_s"] = median(grepTimes);
  state.counters["grep_count"] = double(grep.count);
  state.counters["grep_MBps"] = megabytes / median(grepTimes);
  state.counters["x_grep"] = median(ratios);
}

void RareWordVsGrep(benchmark::State& state, Corpus corpus, const std::string& word)
{
  LoadCorpus(corpus);
  RareWordVsGrep(state, CorpusFiles(corpus), word, "-c -w -i");
}

void BM_ScanRareWord(benchmark::State& state)
{
  RareWordVsGrep(state, Corpus::Plain, WordOfRank(20000));
}

void BM_ScanRareNameInEnglish(benchmark::State& state)
{
  RareWordVsGrep(state, Corpus::English, RareName);
}


void BM_ScanWalkStar(benchmark::State& state)
{
  ScanVsGrep(state, false, Request("walk*", TSearchMode::Text), "-c -w -i -E", "walk[a-z]*", true);
}

void BM_ScanTagged(benchmark::State& state)
{
  ScanVsGrep(state, true, Request("walked&VBD", TSearchMode::Tag), "-o -w -i", "walked_VBD", false);
}

// A prefix that begins very many words, every hit kept as a record; grep
// prints every match, wc counts.
void BM_ScanThStar(benchmark::State& state)
{
  ScanVsGrep(state, false, Request("th*", TSearchMode::Text), "-o -w -i -E", "th[a-z]*", true);
}

// Regex mode with a literal prefix, every hit kept in a hit list; grep counts
// lines, and a line holds at most a few of these hits.
void BM_ScanRegex(benchmark::State& state)
{
  ScanVsGrep(state, false, Request("walk(ed|ing)", TSearchMode::Regex), "-c -E", "walk(ed|ing)", true);
}

// A common word, every hit kept as a record; grep prints every hit, wc counts.
void BM_ScanCommonWord(benchmark::State& state)
{
  // The commonest word of three letters or more in the generated text,
  // about 4.4 M hits a GiB.
  const std::string word = "them";
  ScanVsGrep(state, false, Request(word, TSearchMode::Text), "-o -w -i", word, true);
}

// Regex mode, once with an expression that must match and once with one
// whose leftmost match is empty almost everywhere (passed over position by
// position); grep counts the lines with a non-empty match.
void BM_ScanRegexWalk(benchmark::State& state)
{
  ScanVsGrep(state, false, Request("walk[a-z]*", TSearchMode::Regex), "-c -w -i -E", "walk[a-z]*", false);
}

void BM_ScanRegexOptionalWalk(benchmark::State& state)
{
  ScanVsGrep(state, false, Request("(walk[a-z]*)?", TSearchMode::Regex), "-c -w -i -E", "walk[a-z]*", false);
}

// Puts one file alone into the corpus list.
void LoadSingleFile(const std::string& path)
{
  LoadedCorpus = -1;
  while (CorpusList.Count() > 0)
    CorpusList.Take(CorpusList.Count() - 1);
  auto item = std::make_unique<TCorpusItem>();
  item->Name = path;
  item->Source = std::make_unique<TFileSynchroStream>(path, CorpusFileMode);
  item->Reader = std::make_unique<TBufStream>(item->Source.get());
  CorpusList.Append(std::move(item));
  ConcordSettings.WordTag = 0;
}

// Whether the file at path is to be written: it is missing or not of this
// size. When it is, its folder is made and the writing announced.
bool MustWrite(const std::string& path, uint64_t size)
{
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && uint64_t(st.st_size) == size)
    return false;
  ::mkdir(Folder().c_str(), 0700);
  std::fprintf(stderr, "Writing %s\n", path.c_str());
  return true;
}

// The Japanese text of (j), written when missing.
std::string DoubleByteFile(const std::string& rareWord)
{
  const std::string path = Folder() + "words_932_128m.txt";
  if (!MustWrite(path, FileBytes))
    return path;
  uint64_t seed = 7;
  auto next = [&seed](uint64_t n) {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    return (seed >> 33) % n;
  };
  // Characters: kana (83 40 to 83 96) and kanji of 88 9F to 9F FC; one in
  // four has a trail byte of 40, 5B, 5C or 5F.
  auto character = [&]() {
    std::string c(1, char(next(4) == 0 ? 0x83 : 0x89 + next(0x9F - 0x89)));
    static const unsigned char awkward[] = {0x40, 0x5B, 0x5C, 0x5F};
    c += char(next(4) == 0 ? awkward[next(4)] : c[0] == char(0x83) ? 0x41 + next(0x55) : 0x80 + next(0x7C));
    return c;
  };
  std::vector<std::string> vocabulary(20000);
  for (std::string& w : vocabulary)
    for (uint64_t n = 1 + next(4); n > 0; --n)
      w += character();
  std::string out;
  out.reserve(FileBytes);
  uint64_t nextWord = 0;
  while (out.size() < FileBytes) {
    for (int k = 0; k < 12; ++k) {
      // Zipf-like: low ranks are much more common.
      const uint64_t r = next(20000);
      out += vocabulary[r * r / 20000];
      out += ' ';
    }
    if (out.size() >= nextWord) {
      out += rareWord + ' ';
      nextWord = out.size() + 300000 + next(200000);
    }
    out += "\r\n";
  }
  out.resize(FileBytes);
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(out.data(), std::streamsize(out.size()));
  if (!file)
    throw std::runtime_error("cannot write " + path);
  return path;
}

void BM_ScanRareDoubleByteWord(benchmark::State& state)
{
  SetUpProgram();
  SetTextLanguage(0x411);
  BuildCharTables();
  const std::string word = platform::fromUtf16(platform::codePage(932), u"表示ソフト");
  const std::string path = DoubleByteFile(word);
  Warm(path);
  LoadSingleFile(path);
  RareWordVsGrep(state, {path}, word, "-c -F");
  SetTextLanguage(0x409);
  BuildCharTables();
}

// Expressions that give up on the backtracker, searched through the run
// over one file of repeated short words or of English prose (range(0): 0 or
// 1), of range(1) MB, with the pattern range(2) of GiveUpPatterns.
constexpr const char* GiveUpPatterns[] = {"(a*){5000}x", "h(.*){5000}x", "a{0,1}{245}{0,22}b"};

void BM_ScanRegexGiveUps(benchmark::State& state)
{
  const bool english = state.range(0) != 0;
  const auto megabytes = uint64_t(state.range(1));
  const std::string pattern = GiveUpPatterns[state.range(2)];
  SetUpProgram();
  const std::string path =
      Folder() + (english ? "giveup_english_" : "giveup_words_") + std::to_string(megabytes) + "m.txt";
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || uint64_t(st.st_size) != (megabytes << 20)) {
    ::mkdir(Folder().c_str(), 0700);
    std::string unit = "aa ab hab aaaa ";
    if (english) {
      unit.clear();
      for (const std::string& source : EnglishSources()) {
        std::ifstream in(source, std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (text.find('\0') == std::string::npos)
          unit += text;
        if (unit.size() >= (megabytes << 20))
          break;
      }
    }
    std::string out;
    while (out.size() < (megabytes << 20))
      out += unit;
    out.resize(megabytes << 20);
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(out.data(), std::streamsize(out.size()));
  }
  Warm(path);
  LoadSingleFile(path);
  const TSearchRec request = Request(pattern, TSearchMode::Regex);
  TSearch search;
  int32_t phase = 0;
  std::string error;
  int64_t hits = 0;
  double seconds = 0;
  for (auto _ : state) {
    search.Prepare(request, phase, error);
    if (phase != 0)
      throw std::runtime_error(error);
    hits = 0;
    const auto t0 = Clock::now();
    search.RunSearch(INT32_MAX, [&](std::unique_ptr<TConcordItem>) { ++hits; });
    seconds = Seconds(t0, Clock::now());
    state.SetIterationTime(seconds);
  }
  state.SetLabel(pattern + (english ? " English " : " words ") + std::to_string(megabytes) + " MB");
  state.counters["s_per_MB"] = seconds / double(megabytes);
  state.counters["hits"] = double(hits);
  state.counters["give_ups"] = double(search.RegexGiveUps);
}

// The Japanese text of (i), written when missing: words from a fixed list,
// blanks, commas and full stops, lines of about 30 words.
std::string JapaneseFile()
{
  const std::string path = Folder() + "japanese_128m.txt";
  if (!MustWrite(path, FileBytes))
    return path;
  const platform::CodePage& page = platform::codePage(932);
  std::vector<std::string> words;
  for (const char16_t* w : {u"東京都", u"東京駅", u"表示", u"ソフト", u"能力", u"十分", u"申請", u"病院", u"院長",
                            u"日本語", u"学生", u"会社", u"電話", u"駅前", u"コーヒー", u"ケーキ", u"ゼミ", u"タクシー",
                            u"文字", u"予定", u"構造", u"の", u"に", u"は", u"を", u"です", u"ました"})
    words.push_back(platform::fromUtf16(page, w));
  std::string out;
  out.reserve(FileBytes);
  uint64_t seed = 7;
  for (int n = 1; out.size() < FileBytes - 64; ++n) {
    seed = seed * 6364136223846793005ull + 1442695040888963407ull;
    out += words[(seed >> 33) % words.size()];
    const uint64_t sep = (seed >> 20) % 16;
    out += n % 30 == 0 ? "\r\n" : sep == 0 ? "\x81\x41" : sep == 1 ? "\x81\x42" : " ";
  }
  out.resize(FileBytes, ' ');
  std::ofstream(path, std::ios::binary | std::ios::trunc).write(out.data(), std::streamsize(out.size()));
  return path;
}

constexpr const char* DoubleBytePatterns[] = {"\x93\x8C\x8B\x9E(\x93\x73|\x89\x77)",
                                              "[\x83\x41-\x83\x93]+\x81\x5B"};
// The same for grep, whose bytes the trail byte 5B ('[') would leave open.
constexpr const char* DoubleByteGrepPatterns[] = {"\x93\x8C\x8B\x9E(\x93\x73|\x89\x77)",
                                                  "[\x83\x41-\x83\x93]+\x81\\["};

// (i): range(0) picks the pattern of DoubleBytePatterns: 東京(都|駅), a
// literal prefix, and [ア-ン]+ー, katakana before a long vowel mark.
void BM_ScanRegexDoubleByte(benchmark::State& state)
{
  SetUpProgram();
  const std::string path = JapaneseFile();
  Warm(path);
  SetTextLanguage(0x411);
  BuildCharTables();
  LoadSingleFile(path);
  const std::string pattern = DoubleBytePatterns[state.range(0)];
  const TSearchRec request = Request(pattern, TSearchMode::Regex);
  Scan(request, false);  // warm-up
  ScanResult scan;
  for (auto _ : state) {
    scan = Scan(request, false);
    state.SetIterationTime(scan.seconds);
  }
  const Grep grep = RunGrep("-c -E", DoubleByteGrepPatterns[state.range(0)], {path});
  const double megabytes = double(FileBytes) / (1 << 20);
  state.SetLabel(state.range(0) == 0 ? "932 東京(都|駅)" : "932 [ア-ン]+ー");
  state.counters["MBps"] = megabytes / scan.seconds;
  state.counters["hits"] = double(scan.hits);
  state.counters["grep_s"] = grep.seconds;
  state.counters["grep_count"] = double(grep.count);
  state.counters["x_grep"] = grep.seconds / scan.seconds;
  SetTextLanguage(0x409);
  BuildCharTables();
}

void BM_SortMillionHits(benchmark::State& state)
{
  LoadCorpus(false);
  TSearch search;
  int32_t phase = 0;
  std::string error;
  search.Prepare(Request("walk*", TSearchMode::Text), phase, error);
  TConcordItems list;
  int32_t number = 0;
  search.RunSearch(1000000, [&](std::unique_ptr<TConcordItem> hit) {
    hit->HitNumber = number++;
    list.AddItem(std::move(hit));
  });
  TAdvancedSortColOptions sortSpec;
  ResetSortSpec(sortSpec);
  sortSpec.First = ctx1R;
  sortSpec.Second = ctx1L;
  TAdvancedSortColOptions arrival;
  ResetSortSpec(arrival);
  arrival.First = ctxOrig;
  for (auto _ : state) {
    state.PauseTiming();
    list.SortItems(arrival, nullptr);
    state.ResumeTiming();
    list.SortItems(sortSpec, nullptr);
  }
  state.counters["hits"] = double(list.Count());
}

}  // namespace

BENCHMARK(BM_ScanRareWord)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ScanRareNameInEnglish)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ScanRareDoubleByteWord)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ScanWalkStar)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ScanTagged)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ScanThStar)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ScanRegex)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ScanCommonWord)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ScanRegexWalk)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ScanRegexOptionalWalk)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ScanRegexGiveUps)
    ->ArgsProduct({{0, 1}, {1, 10}, {0, 1, 2}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK(BM_ScanRegexDoubleByte)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_SortMillionHits)->Unit(benchmark::kMillisecond)->Iterations(3);
