#include "corpus_generator.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <future>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <unordered_set>

namespace corpusgen {

namespace {

// ---------------------------------------------------------------------------
// Random numbers: splitmix64 seeds xoshiro256**; all mappings are integer.

std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

std::uint64_t splitmix64(std::uint64_t& state)
{
  std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

class Rng {
public:
  // `stream` separates the independent sequences drawn from one seed.
  Rng(std::uint64_t seed, std::uint64_t stream)
  {
    std::uint64_t sm = seed ^ (stream * 0xD1B54A32D192ED03ULL);
    for (auto& word : s_)
      word = splitmix64(sm);
  }

  std::uint64_t next()
  {
    const std::uint64_t result = rotl(s_[1] * 5, 7) * 9;
    const std::uint64_t t = s_[1] << 17;
    s_[2] ^= s_[0];
    s_[3] ^= s_[1];
    s_[1] ^= s_[2];
    s_[0] ^= s_[3];
    s_[2] ^= t;
    s_[3] = rotl(s_[3], 45);
    return result;
  }

  // A number in [0, n) for 1 <= n <= 2^32: the top 32 bits scaled by n.
  std::uint32_t below(std::uint64_t n) { return static_cast<std::uint32_t>(((next() >> 32) * n) >> 32); }

private:
  std::array<std::uint64_t, 4> s_{};
};

// Words and their decorations come from their own engine, so that they can
// be drawn ahead in batches; sentence, line and paragraph structure from
// another.
enum RngStream : std::uint64_t { kVocabularyStream = 1, kTextStream = 2, kStartStringStream = 3, kWordStream = 4 };

// ---------------------------------------------------------------------------
// Zipf sampling in O(1): Walker's alias table, built with integer arithmetic
// so that every platform gets the same table.

class AliasTable {
public:
  explicit AliasTable(const std::vector<std::uint64_t>& weights)
  {
    const std::size_t n = weights.size();
    using u128 = unsigned __int128;
    u128 total = 0;
    for (auto w : weights)
      total += w;
    // Column capacity is `total` units; entry i brings weights[i] * n units.
    std::vector<u128> units(n);
    std::vector<std::uint32_t> small, large;
    for (std::size_t i = 0; i < n; ++i) {
      units[i] = static_cast<u128>(weights[i]) * n;
      (units[i] < total ? small : large).push_back(static_cast<std::uint32_t>(i));
    }
    // A full column keeps its own entry whatever the coin says.
    entries_.resize(n);
    for (std::size_t i = 0; i < n; ++i)
      entries_[i] = {UINT32_MAX, static_cast<std::uint32_t>(i)};
    while (!small.empty() && !large.empty()) {
      const std::uint32_t s = small.back();
      small.pop_back();
      const std::uint32_t l = large.back();
      entries_[s] = {static_cast<std::uint32_t>((units[s] << 32) / total), l};
      units[l] -= total - units[s];
      if (units[l] < total) {
        large.pop_back();
        small.push_back(l);
      }
    }
    // What is left is full up to rounding: it keeps its own column.
    n_ = n;
  }

  std::uint32_t sample(Rng& rng) const
  {
    const std::uint64_t r = rng.next();
    const auto column = static_cast<std::uint32_t>(((r >> 32) * n_) >> 32);
    const Entry e = entries_[column];
    return static_cast<std::uint32_t>(r) < e.threshold ? column : e.alias;
  }

private:
  struct Entry {
    std::uint32_t threshold;  // the coin below it keeps the column's own entry
    std::uint32_t alias;
  };
  std::vector<Entry> entries_;
  std::uint64_t n_ = 0;
};

// Zipf-Mandelbrot weights 1 / (rank + 2.7), as integers.
std::vector<std::uint64_t> zipfWeights(std::size_t n)
{
  std::vector<std::uint64_t> weights(n);
  for (std::size_t i = 0; i < n; ++i)
    weights[i] = (std::uint64_t{1} << 44) / (10 * (i + 1) + 27);
  return weights;
}

// ---------------------------------------------------------------------------
// Vocabulary.

enum Tag : std::uint8_t { NN, NNS, NP, VB, VBD, VBG, JJ, RB, DT, IN, CC, PRP, TO, TagCount };
constexpr std::array<const char*, TagCount> kTagNames = {"NN", "NNS", "NP", "VB", "VBD", "VBG", "JJ",
                                                         "RB", "DT", "IN", "CC", "PRP", "TO"};

struct Vocabulary {
  std::vector<std::string> words;
  std::vector<Tag> tags;
};

constexpr std::array<const char*, 16> kSimpleOnsets = {"b", "c", "d", "f", "g", "h", "k", "l",
                                                       "m", "n", "p", "r", "s", "t", "v", "w"};
constexpr std::array<const char*, 18> kClusterOnsets = {"br", "cr", "dr", "fr", "gr", "pr", "tr", "bl", "cl",
                                                        "fl", "pl", "sl", "st", "sp", "sh", "ch", "th", "wh"};
constexpr std::array<const char*, 5> kVowels = {"a", "e", "i", "o", "u"};
constexpr std::array<const char*, 6> kLongVowels = {"ai", "ea", "ee", "ou", "oo", "y"};
constexpr std::array<const char*, 7> kSimpleCodas = {"n", "r", "s", "t", "l", "m", "d"};
constexpr std::array<const char*, 7> kClusterCodas = {"nd", "st", "nt", "rk", "ck", "ng", "th"};

template <std::size_t N>
const char* pick(Rng& rng, const std::array<const char*, N>& list)
{
  return list[rng.below(N)];
}

std::string makeStem(Rng& rng, int syllables)
{
  std::string word;
  for (int i = 0; i < syllables; ++i) {
    const std::uint32_t onset = rng.below(100);
    if (onset < 20)
      word += pick(rng, kClusterOnsets);
    else if (onset >= 35)
      word += pick(rng, kSimpleOnsets);
    word += rng.below(100) < 85 ? pick(rng, kVowels) : pick(rng, kLongVowels);
    const std::uint32_t coda = rng.below(100);
    if (coda >= 85)
      word += pick(rng, kClusterCodas);
    else if (coda >= 45)
      word += pick(rng, kSimpleCodas);
  }
  return word;
}

bool endsWith(const std::string& s, const char* tail)
{
  const std::size_t n = std::strlen(tail);
  return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

std::string inflect(const std::string& stem, Tag tag)
{
  switch (tag) {
  case RB: return endsWith(stem, "y") ? stem.substr(0, stem.size() - 1) + "ily" : stem + "ly";
  case VBD: return endsWith(stem, "e") ? stem + "d" : stem + "ed";
  case VBG: return endsWith(stem, "e") && stem.size() > 2 ? stem.substr(0, stem.size() - 1) + "ing" : stem + "ing";
  case NNS:
    return endsWith(stem, "s") || endsWith(stem, "x") || endsWith(stem, "sh") || endsWith(stem, "ch") ? stem + "es"
                                                                                                       : stem + "s";
  default: return stem;
  }
}

std::string lowerAscii(std::string s)
{
  for (char& c : s)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c + ('a' - 'A'));
  return s;
}

Vocabulary buildVocabulary(std::uint64_t seed, std::uint32_t size)
{
  struct Anchor {
    std::uint32_t rank;
    const char* word;
    Tag tag;
  };
  static constexpr std::array<Anchor, 5> kAnchors = {{{30, "walked", VBD},
                                                      {45, "walk", VB},
                                                      {70, "walking", VBG},
                                                      {110, "walks", NNS},
                                                      {900, "walker", NN}}};
  Rng rng(seed, kVocabularyStream);
  Vocabulary v;
  v.words.resize(size);
  v.tags.resize(size);
  std::unordered_set<std::string> seen;  // lower-cased: a word and its capital form are one word
  for (const auto& a : kAnchors)
    if (a.rank <= size)
      seen.insert(a.word);
  std::vector<std::uint32_t> stems;  // ranks (0-based) of plain base words

  for (std::uint32_t i = 0; i < size; ++i) {
    const std::uint32_t rank = i + 1;
    const auto anchor = std::find_if(kAnchors.begin(), kAnchors.end(), [&](const Anchor& a) { return a.rank == rank; });
    if (anchor != kAnchors.end()) {
      v.words[i] = anchor->word;
      v.tags[i] = anchor->tag;
      continue;
    }
    for (int attempt = 0;; ++attempt) {
      const int widen = attempt / 8;  // longer words when short ones run out
      std::string word;
      Tag tag;
      if (rank <= 40) {
        static constexpr std::array<Tag, 8> kFunctionTags = {DT, DT, IN, IN, IN, CC, PRP, TO};
        tag = kFunctionTags[rng.below(kFunctionTags.size())];
        word = makeStem(rng, 1 + widen);
      } else {
        const std::uint32_t roll = rng.below(100);
        const int syllables = widen + (rank <= 300     ? 1
                                       : rank <= 3000  ? 1 + static_cast<int>(rng.below(2))
                                       : rank <= 20000 ? 2 + static_cast<int>(rng.below(2))
                                                       : 2 + static_cast<int>(rng.below(3)));
        if (roll < 26 && !stems.empty()) {
          tag = roll < 8 ? RB : roll < 14 ? VBD : roll < 20 ? VBG : NNS;
          word = inflect(v.words[stems[rng.below(stems.size())]], tag);
        } else if (roll >= 26 && roll < 31) {
          tag = NP;
          word = makeStem(rng, std::max(2, syllables));
          word[0] = static_cast<char>(word[0] - ('a' - 'A'));
        } else {
          const std::uint32_t pick = rng.below(100);
          tag = pick < 45 ? NN : pick < 70 ? VB : JJ;
          word = makeStem(rng, syllables);
        }
      }
      if (word.size() < 2 && rank > 40)
        continue;
      if (!seen.insert(lowerAscii(word)).second)
        continue;
      v.words[i] = std::move(word);
      v.tags[i] = tag;
      if (tag == NN || tag == VB || tag == JJ)
        stems.push_back(i);
      break;
    }
  }
  return v;
}

// ---------------------------------------------------------------------------

bool isAsciiLetterOrDigit(char c)
{
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool hasLineBreak(const std::string& s) { return s.find_first_of("\r\n") != std::string::npos; }

// A separator or marker ending in '#' is written without it.
std::string withoutStopMark(const std::string& s)
{
  return !s.empty() && s.back() == '#' ? s.substr(0, s.size() - 1) : s;
}

constexpr std::array<const char*, 4> kPairedTagNames = {"hi", "name", "foreign", "emph"};

}  // namespace

void validate(const Options& o)
{
  auto fail = [](const std::string& what) { throw std::invalid_argument(what); };
  if (o.vocabularySize < 100 || o.vocabularySize > (1u << 24))
    fail("vocabulary size must lie between 100 and 16777216");
  if (o.minLineLength < 1 || o.maxLineLength < o.minLineLength || o.maxLineLength > (1u << 20))
    fail("line lengths must satisfy 1 <= minimum <= maximum <= 1048576");
  if (o.markupTags) {
    if (o.tagEveryWords < 1)
      fail("tag interval must be at least 1 word");
    for (char c : {o.tagStart, o.tagStop})
      if (isAsciiLetterOrDigit(c) || c == ' ' || c == '\r' || c == '\n' || c == '\0')
        fail("markup tag start and stop must be punctuation characters");
    if (o.tagStart == '#')
      fail("markup tag start cannot be '#'");
  }
  if (o.posStyle < 0 || o.posStyle > 2)
    fail("part-of-speech style must be 0, 1 or 2");
  if (o.posStyle == 1 &&
      (isAsciiLetterOrDigit(o.posDelimiter) || o.posDelimiter == ' ' || o.posDelimiter == '\r' ||
       o.posDelimiter == '\n' || o.posDelimiter == '\0'))
    fail("part-of-speech delimiter must be a punctuation character");
  if (o.posStyle == 2) {
    if (o.posStarts.empty())
      fail("part-of-speech style 2 needs at least one start string");
    for (const auto& s : o.posStarts)
      if (s.empty() || hasLineBreak(s) || s.size() > 255)
        fail("part-of-speech start strings must hold 1 to 255 characters and no line break");
    if (isAsciiLetterOrDigit(o.posStop) || o.posStop == ' ' || o.posStop == '\r' || o.posStop == '\n' ||
        o.posStop == '\0')
      fail("part-of-speech stop must be a punctuation character or '#'");
  }
  if (!o.pageSeparator.empty()) {
    if (o.pageEveryLines < 1)
      fail("page interval must be at least 1 line");
    if (hasLineBreak(o.pageSeparator) || withoutStopMark(o.pageSeparator).empty() || o.pageSeparator.size() > 4096)
      fail("page separator must hold 1 to 4096 characters besides a final '#' and no line break");
  }
  if (!o.headingMarker.empty()) {
    if (o.headingEveryLines < 1)
      fail("heading interval must be at least 1 line");
    if (hasLineBreak(o.headingMarker) || withoutStopMark(o.headingMarker).empty() || o.headingMarker.size() > 4096)
      fail("heading marker must hold 1 to 4096 characters besides a final '#' and no line break");
  }
}

std::vector<std::string> vocabulary(const Options& options)
{
  validate(options);
  return buildVocabulary(options.seed, options.vocabularySize).words;
}

// ---------------------------------------------------------------------------
// The generator's state. Text is written straight into the current buffer
// (`start_`) through `p_`;
// one step (one word with what comes before it) writes at most `maxStep_`
// bytes, which the buffer keeps free beyond the chunk size.

struct CorpusGenerator::State {
  explicit State(const Options& o, std::size_t chunkBytes);

  void fill();  // generate until the chunk is full or the text complete
  void step();

  // Writing with the size budget; each returns false when the text is complete.
  bool fits(std::size_t n) const { return emitted() + n + eol_.size() <= o_.size; }
  std::uint64_t emitted() const { return base_ + static_cast<std::uint64_t>(p_ - start_); }
  void write(const char* s, std::size_t n)
  {
    std::memcpy(p_, s, n);
    p_ += n;
  }
  void write(const std::string& s) { write(s.data(), s.size()); }
  bool writeEol();
  bool endLine();  // line end, then a page separator when one is due
  // Breaks the line when the token does not fit on it, and writes the blank
  // before the token; the caller writes the token's `length` bytes.
  bool placeToken(std::size_t length)
  {
    if (lineLength_ > 0 && lineLength_ + 1 + length > lineTarget_ && !endLine())
      return false;
    const std::size_t need = (lineLength_ > 0 ? 1 : 0) + length;
    if (!fits(need)) {
      finish();
      return false;
    }
    if (lineLength_ > 0)
      *p_++ = ' ';
    lineLength_ += static_cast<std::uint32_t>(need);
    return true;
  }
  bool paragraphStart();
  bool heading();
  void finish();

  Options o_;
  Vocabulary vocab_;
  AliasTable zipf_;
  Rng rng_;
  std::string eol_;

  // Each word's token as written (with its part-of-speech tag), and where in
  // the token the word itself begins.
  struct Token {
    std::uint32_t offset;   // in arena_
    std::uint16_t length;
    std::uint16_t wordPos;  // where the word begins in the token
  };
  std::vector<char> arena_;  // tokens, then kCopyBlock bytes of padding
  std::vector<Token> tokens_;

  // Words drawn ahead: the token and the bits that decide its decorations.
  static constexpr std::size_t kBatch = 256;
  static constexpr std::size_t kCopyBlock = 32;
  void drawWords();
  Rng wordRng_;
  std::array<Token, kBatch> batchToken_{};
  std::array<std::uint64_t, kBatch> batchBits_{};
  std::size_t batchNext_ = kBatch;
  std::vector<std::uint32_t> properNouns_;

  // Markup pieces.
  std::array<std::string, 4> openTag_, closeTag_;
  std::string cocoaOpen_, cocoaClose_, paragraphOpen_, paragraphClose_;
  std::string pageLine_, headingMarker_;

  // Buffer.
  std::size_t chunk_;
  std::size_t maxStep_;
  std::array<std::vector<char>, 2> buffers_;  // used in turn
  int current_ = 0;
  char* start_ = nullptr;
  char* p_ = nullptr;
  std::uint64_t base_ = 0;  // bytes handed out before the buffer's start
  bool done_ = false;

  // Text state.
  std::uint32_t lineLength_ = 0;
  std::uint32_t lineTarget_ = 0;
  std::uint32_t linesInPage_ = 0;
  std::uint64_t lineCount_ = 0;
  std::uint64_t lastHeadingLine_ = 0;
  bool headingWritten_ = false;
  bool firstParagraph_ = true;
  std::uint32_t sentenceLeft_ = 0;
  std::uint32_t paragraphLeft_ = 0;
  std::uint64_t paragraphNumber_ = 0;
};

CorpusGenerator::State::State(const Options& o, std::size_t chunkBytes)
    : o_(o),
      vocab_(buildVocabulary(o.seed, o.vocabularySize)),
      zipf_(zipfWeights(o.vocabularySize)),
      rng_(o.seed, kTextStream),
      wordRng_(o.seed, kWordStream),
      chunk_(std::max<std::size_t>(chunkBytes, 1))
{
  eol_ = o.lineEnd == LineEnd::CrLf ? "\r\n" : o.lineEnd == LineEnd::Lf ? "\n" : "\r";

  // Tokens.
  const std::size_t n = vocab_.words.size();
  tokens_.resize(n);
  Rng startRng(o.seed, kStartStringStream);
  const char posStop = o.posStop == '#' ? ' ' : o.posStop;
  std::size_t maxToken = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const std::string& word = vocab_.words[i];
    const char* tag = kTagNames[vocab_.tags[i]];
    std::string token;
    std::size_t wordPos = 0;
    if (o.posStyle == 1) {
      token = word + o.posDelimiter + tag;
    } else if (o.posStyle == 2) {
      const std::string tagText = o.posStarts[startRng.below(o.posStarts.size())] + tag + posStop;
      token = o.posTagBefore ? tagText + word : word + tagText;
      wordPos = o.posTagBefore ? tagText.size() : 0;
    } else {
      token = word;
    }
    tokens_[i] = {static_cast<std::uint32_t>(arena_.size()), static_cast<std::uint16_t>(token.size()),
                  static_cast<std::uint16_t>(wordPos)};
    arena_.insert(arena_.end(), token.begin(), token.end());
    maxToken = std::max(maxToken, token.size());
    if (word[0] >= 'A' && word[0] <= 'Z')
      properNouns_.push_back(static_cast<std::uint32_t>(i));
  }
  arena_.resize(arena_.size() + kCopyBlock, ' ');

  // Markup.
  const bool blankStop = o.tagStop == '#';
  const std::string stop = blankStop ? " " : std::string(1, o.tagStop);
  for (std::size_t k = 0; k < kPairedTagNames.size(); ++k) {
    openTag_[k] = o.tagStart + std::string(kPairedTagNames[k]) + stop;
    closeTag_[k] = o.tagStart + std::string("/") + kPairedTagNames[k] + stop;
  }
  cocoaOpen_ = o.tagStart + std::string(blankStop ? "A" : "A ");
  cocoaClose_ = stop;
  paragraphOpen_ = o.tagStart + std::string(blankStop ? "p" : "p n=");
  paragraphClose_ = stop;

  if (!o.pageSeparator.empty())
    pageLine_ = withoutStopMark(o.pageSeparator);
  if (!o.headingMarker.empty())
    headingMarker_ = withoutStopMark(o.headingMarker);

  std::size_t maxWord = 0;
  for (const auto& w : vocab_.words)
    maxWord = std::max(maxWord, w.size());
  // Worst step: a paragraph boundary (three line ends, each possibly with a
  // page separator, and a heading line) and one word with tags around it.
  maxStep_ = 4096 + 8 * (pageLine_.size() + 2 * eol_.size()) + headingMarker_.size() + 6 * (maxWord + 1) +
             paragraphOpen_.size() + paragraphClose_.size() + 24 + cocoaOpen_.size() + maxWord + cocoaClose_.size() +
             2 * (maxToken + 32);
  for (auto& b : buffers_)
    b.resize(chunk_ + maxStep_);
  start_ = p_ = buffers_[0].data();
  done_ = o.size == 0;
  lineTarget_ = o.minLineLength + rng_.below(o.maxLineLength - o.minLineLength + 1);
}

void CorpusGenerator::State::finish()
{
  const std::uint64_t left = o_.size - emitted();
  if (left >= eol_.size()) {
    std::memset(p_, ' ', left - eol_.size());
    p_ += left - eol_.size();
    write(eol_);
  } else {
    std::memset(p_, ' ', left);
    p_ += left;
  }
  done_ = true;
}

bool CorpusGenerator::State::writeEol()
{
  const std::uint64_t after = emitted() + eol_.size();
  // Write the line end only when it ends the text exactly or leaves room for
  // a final one, so that the text always ends with a line end.
  if (after != o_.size && after + eol_.size() > o_.size) {
    finish();
    return false;
  }
  write(eol_);
  ++lineCount_;
  lineLength_ = 0;
  lineTarget_ = o_.minLineLength + rng_.below(o_.maxLineLength - o_.minLineLength + 1);
  if (after == o_.size) {
    done_ = true;
    return false;
  }
  return true;
}

bool CorpusGenerator::State::endLine()
{
  if (!writeEol())
    return false;
  if (pageLine_.empty() || ++linesInPage_ < o_.pageEveryLines)
    return true;
  if (!fits(pageLine_.size())) {
    finish();
    return false;
  }
  write(pageLine_);
  linesInPage_ = 0;
  return writeEol();
}

bool CorpusGenerator::State::heading()
{
  const std::uint32_t words = 1 + rng_.below(6);
  char* const start = p_;
  write(headingMarker_);
  for (std::uint32_t i = 0; i < words; ++i) {
    const std::string& w = vocab_.words[zipf_.sample(rng_)];
    *p_++ = ' ';
    char* const first = p_;
    write(w);
    if (*first >= 'a' && *first <= 'z')
      *first = static_cast<char>(*first - ('a' - 'A'));
  }
  // Written first, checked afterwards: the bytes are taken back when they do
  // not fit.
  const std::size_t length = static_cast<std::size_t>(p_ - start);
  p_ = start;
  if (!fits(length)) {
    finish();
    return false;
  }
  p_ += length;
  headingWritten_ = true;
  lastHeadingLine_ = lineCount_;
  return endLine() && endLine();
}

bool CorpusGenerator::State::paragraphStart()
{
  if (!firstParagraph_ && !(endLine() && endLine()))
    return false;
  firstParagraph_ = false;
  if (!headingMarker_.empty() && (!headingWritten_ || lineCount_ - lastHeadingLine_ >= o_.headingEveryLines) &&
      !heading())
    return false;
  paragraphLeft_ = 1 + rng_.below(8);
  if (o_.markupTags) {
    ++paragraphNumber_;
    char digits[24];
    std::size_t nd = 0;
    if (o_.tagStop != '#')
      for (std::uint64_t v = paragraphNumber_; v; v /= 10)
        digits[nd++] = static_cast<char>('0' + v % 10);
    if (!placeToken(paragraphOpen_.size() + nd + paragraphClose_.size()))
      return false;
    write(paragraphOpen_);
    while (nd)
      *p_++ = digits[--nd];
    write(paragraphClose_);
  }
  return true;
}

void CorpusGenerator::State::step()
{
  bool capitalise = false;
  if (sentenceLeft_ == 0) {
    if (paragraphLeft_ == 0 && !paragraphStart())
      return;
    sentenceLeft_ = 3 + rng_.below(10) + rng_.below(10);
    --paragraphLeft_;
    capitalise = true;
  }

  if (batchNext_ == kBatch)
    drawWords();
  const Token token = batchToken_[batchNext_];
  const std::uint64_t r = batchBits_[batchNext_];
  ++batchNext_;
  // Low bits of r: the inline tag; high bits: punctuation.
  int paired = -1;
  if (o_.markupTags && ((r & 0xFFFFFFFFu) * o_.tagEveryWords >> 32) == 0) {
    const std::uint32_t kind = static_cast<std::uint32_t>(((r >> 32) & 0xFFFF) * 5 >> 16);
    if (kind < 4) {
      paired = static_cast<int>(kind);
    } else {
      const std::string& name =
          properNouns_.empty() ? vocab_.words[zipf_.sample(rng_)] : vocab_.words[properNouns_[rng_.below(properNouns_.size())]];
      const bool withName = o_.tagStop != '#';
      if (!placeToken(cocoaOpen_.size() + (withName ? name.size() : 0) + cocoaClose_.size()))
        return;
      write(cocoaOpen_);
      if (withName)
        write(name);
      write(cocoaClose_);
    }
  }
  char punct = 0;
  const std::uint32_t roll = static_cast<std::uint32_t>((r >> 48) * 1000 >> 16);
  if (sentenceLeft_ == 1)
    punct = roll < 880 ? '.' : roll < 950 ? '?' : '!';
  else
    punct = roll < 80 ? ',' : roll < 86 ? ';' : roll < 90 ? ':' : 0;

  const std::size_t tokenLength = token.length;
  std::size_t length = tokenLength + (punct ? 1 : 0);
  if (paired >= 0)
    length += openTag_[paired].size() + closeTag_[paired].size();
  if (!placeToken(length))
    return;
  if (paired >= 0)
    write(openTag_[paired]);
  char* const tokenStart = p_;
  // Most tokens are short: copy a fixed block (the buffer and the arena have
  // room for it) and take back what is too much.
  const char* const source = arena_.data() + token.offset;
  std::memcpy(p_, source, kCopyBlock);
  if (tokenLength > kCopyBlock)
    std::memcpy(p_ + kCopyBlock, source + kCopyBlock, tokenLength - kCopyBlock);
  p_ += tokenLength;
  if (capitalise) {
    char& first = tokenStart[token.wordPos];
    if (first >= 'a' && first <= 'z')
      first = static_cast<char>(first - ('a' - 'A'));
  }
  if (paired >= 0)
    write(closeTag_[paired]);
  if (punct)
    *p_++ = punct;
  --sentenceLeft_;
}

void CorpusGenerator::State::drawWords()
{
  // Independent iterations, so the table lookups of many words overlap.
  for (std::size_t i = 0; i < kBatch; ++i) {
    const Token token = tokens_[zipf_.sample(wordRng_)];
#if defined(__GNUC__)
    __builtin_prefetch(arena_.data() + token.offset);
#endif
    batchToken_[i] = token;
    batchBits_[i] = wordRng_.next();
  }
  batchNext_ = 0;
}

void CorpusGenerator::State::fill()
{
  char* const limit = start_ + chunk_;
  while (!done_ && p_ < limit)
    step();
}

CorpusGenerator::CorpusGenerator(const Options& options, std::size_t chunkBytes)
{
  validate(options);
  state_ = std::make_unique<State>(options, chunkBytes);
}

CorpusGenerator::~CorpusGenerator() = default;

std::string_view CorpusGenerator::next()
{
  State& s = *state_;
  // Hand the previous chunk over to the past.
  s.base_ += static_cast<std::uint64_t>(s.p_ - s.start_);
  s.current_ ^= 1;
  s.start_ = s.p_ = s.buffers_[s.current_].data();
  s.fill();
  return {s.start_, static_cast<std::size_t>(s.p_ - s.start_)};
}

std::uint64_t CorpusGenerator::produced() const { return state_->emitted(); }

std::string generateToString(const Options& options)
{
  CorpusGenerator gen(options, 1 << 20);
  std::string text;
  text.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(options.size, std::uint64_t{1} << 30)));
  for (auto piece = gen.next(); !piece.empty(); piece = gen.next())
    text.append(piece);
  return text;
}

namespace {

void writeAll(int fd, std::string_view data, const std::string& name)
{
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR)
        continue;
      throw std::runtime_error("Cannot write " + name + ": " + std::strerror(errno));
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
}

// The next chunk is generated while the previous one is being written.
void writeCorpus(const Options& options, int fd, const std::string& name)
{
  CorpusGenerator gen(options, 4 << 20);
  std::future<void> writing;
  for (auto piece = gen.next(); !piece.empty(); piece = gen.next()) {
    if (writing.valid())
      writing.get();
    writing = std::async(std::launch::async, writeAll, fd, piece, std::cref(name));
  }
  if (writing.valid())
    writing.get();
}

}  // namespace

void writeToFile(const Options& options, const std::string& path)
{
  validate(options);
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0)
    throw std::runtime_error("Cannot create " + path + ": " + std::strerror(errno));
  try {
    writeCorpus(options, fd, path);
  } catch (...) {
    ::close(fd);
    ::unlink(path.c_str());
    throw;
  }
  if (::close(fd) != 0) {
    const int err = errno;
    ::unlink(path.c_str());
    throw std::runtime_error("Cannot write " + path + ": " + std::strerror(err));
  }
}

void writeToDescriptor(const Options& options, int fd)
{
  writeCorpus(options, fd, "output");
}

}  // namespace corpusgen
