// Deterministic synthetic corpus generator for tests and benchmarks.
//
// The text is English-like prose over a synthetic vocabulary: Zipf-distributed
// words (some of them capitalised proper nouns, adverbs in "-ly", verbs in
// "-ed" and "-ing", and always the family "walk", "walked", "walking",
// "walks", "walker"), grouped into sentences with commas, semicolons and
// colons inside and ".", "?" or "!" at the end, sentences grouped into
// paragraphs separated by an empty line, and paragraphs broken into lines of
// varying length. On request it adds markup tags, part-of-speech tags of
// style 1 or 2, page separators and headings.
//
// Same options (seed included) give the same bytes on every platform and with
// every compiler: every draw comes from one xoshiro256** engine seeded by
// splitmix64 and mapped with integer arithmetic only; no standard-library
// distribution, floating point or hash order takes part.
//
// The output has exactly `size` bytes. Text is cut at a whole token: when the
// next piece no longer fits, the rest is filled with blanks followed by one
// line end (only blanks when fewer bytes than a line end are left). The text
// of a shorter corpus is therefore the text of a longer one with the same
// options, up to that tail.
//
// Defaults match the program's defaults for reading such text: markup tags
// from "<" through ">", part-of-speech tags joined to their word by "_"
// (style 1) or written as start string, tag and ">" (style 2), after the word;
// an empty page separator or heading marker means no pages or headings.
//
// What the options add, with the default characters:
//   markup tags     every paragraph opens with "<p n=N>" (N counts from 1),
//                   and about one word in `tagEveryWords` is either wrapped in
//                   a paired element ("<hi>word</hi>", also "<name>",
//                   "<foreign>", "<emph>") or preceded by a COCOA reference
//                   "<A Name>". A tag stop of "#" stands for a blank, as it
//                   does for the reader: the tag is then written as tag start
//                   and name followed by one blank, without a value.
//   POS style 1     word, delimiter, tag: "walked_VBD".
//   POS style 2     start string, tag, stop: "walked<w VBD>", or
//                   "<w VBD>walked" with `posTagBefore`. The start string of
//                   each vocabulary word is one of `posStarts`, fixed per
//                   word. A stop of "#" is written as a blank.
//                   Tags: NN, NNS, NP, VB, VBD, VBG, JJ, RB, DT, IN, CC, PRP,
//                   TO; a word keeps its tag wherever it occurs.
//   pages           a line holding only `pageSeparator` after every
//                   `pageEveryLines` lines (line ends counted since the
//                   previous separator; never at the start of the text). A
//                   separator ending in "#" is written without the "#"; the
//                   line end follows it.
//   headings        a line of `headingMarker`, a blank and one to six
//                   capitalised words, followed by an empty line: at the start
//                   of the text and then at the first paragraph start after
//                   at least `headingEveryLines` lines since the last heading.
//                   A marker ending in "#" is written without the "#".
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace corpusgen {

enum class LineEnd { CrLf, Lf, Cr };

struct Options {
  std::uint64_t size = 1 << 20;          // exact output size in bytes
  std::uint64_t seed = 1;
  LineEnd lineEnd = LineEnd::CrLf;
  std::uint32_t vocabularySize = 50000;  // distinct words, at least 100
  std::uint32_t minLineLength = 30;      // each line aims at a length drawn
  std::uint32_t maxLineLength = 100;     // from [min, max]; a line is never empty of words

  // Markup tags.
  bool markupTags = false;
  char tagStart = '<';
  char tagStop = '>';                    // '#': a blank ends the tag
  std::uint32_t tagEveryWords = 40;      // mean words per inline tag

  // Part-of-speech tags: 0 none, 1 word + delimiter + tag, 2 start + tag + stop.
  int posStyle = 0;
  char posDelimiter = '_';
  std::vector<std::string> posStarts = {"<w "};
  char posStop = '>';                    // '#': a blank ends the tag
  bool posTagBefore = false;

  // Pages: empty separator = no pages.
  std::string pageSeparator;
  std::uint32_t pageEveryLines = 60;

  // Headings: empty marker = no headings.
  std::string headingMarker;
  std::uint32_t headingEveryLines = 300;
};

// Throws std::invalid_argument with a readable message for options that
// cannot give the text described above.
void validate(const Options& options);

// The vocabulary of a seed, in rank order (rank 1, the most frequent word,
// first). Depends only on the seed and the vocabulary size.
std::vector<std::string> vocabulary(const Options& options);

// Pull interface: hands out the text in chunks of about `chunkBytes`.
class CorpusGenerator {
public:
  explicit CorpusGenerator(const Options& options, std::size_t chunkBytes = 1 << 20);
  ~CorpusGenerator();
  CorpusGenerator(const CorpusGenerator&) = delete;
  CorpusGenerator& operator=(const CorpusGenerator&) = delete;

  // The next piece of text; empty once all `size` bytes were handed out. The
  // generator fills two buffers in turn, so a view stays valid until the
  // second call after the one that returned it: one piece can be written out
  // while the next is generated.
  std::string_view next();

  std::uint64_t produced() const;  // bytes handed out so far

private:
  struct State;
  std::unique_ptr<State> state_;
};

// The whole text in memory (for small corpora).
std::string generateToString(const Options& options);

// Writes the text to a file, replacing it, in large writes; the text is never
// held in memory whole. Throws std::runtime_error naming the file when it
// cannot be created or written; a partly written file is removed.
void writeToFile(const Options& options, const std::string& path);

// Writes the text to an open file descriptor (e.g. standard output). Throws
// std::runtime_error when a write fails.
void writeToDescriptor(const Options& options, int fd);

}  // namespace corpusgen
