#include "corpus_generator.h"
#include "support/scratch_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using corpusgen::LineEnd;
using corpusgen::Options;

// A smaller vocabulary than the default builds faster; the tests that are
// about the words themselves use the default.
Options sized(std::uint64_t size, LineEnd lineEnd = LineEnd::Lf)
{
  Options o;
  o.size = size;
  o.lineEnd = lineEnd;
  o.vocabularySize = 5000;
  return o;
}

std::string eolOf(LineEnd e) { return e == LineEnd::CrLf ? "\r\n" : e == LineEnd::Lf ? "\n" : "\r"; }

// Lines without their ends; a final line end gives no empty last line.
std::vector<std::string> linesOf(const std::string& text, const std::string& eol)
{
  std::vector<std::string> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t end = text.find(eol, pos);
    if (end == std::string::npos) {
      lines.push_back(text.substr(pos));
      break;
    }
    lines.push_back(text.substr(pos, end - pos));
    pos = end + eol.size();
  }
  return lines;
}

// Blank-separated tokens with sentence punctuation taken off their end.
std::vector<std::string> tokensOf(const std::string& text)
{
  std::vector<std::string> tokens;
  std::string current;
  auto flush = [&] {
    while (!current.empty() && std::string(".,;:?!").find(current.back()) != std::string::npos)
      current.pop_back();
    if (!current.empty())
      tokens.push_back(current);
    current.clear();
  };
  for (char c : text) {
    if (c == ' ' || c == '\r' || c == '\n')
      flush();
    else
      current += c;
  }
  flush();
  return tokens;
}

bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isUpper(char c) { return c >= 'A' && c <= 'Z'; }

std::string lower(std::string s)
{
  for (char& c : s)
    if (isUpper(c))
      c = static_cast<char>(c + 32);
  return s;
}

const std::set<std::string> kPosTags = {"NN", "NNS", "NP", "VB", "VBD", "VBG", "JJ",
                                        "RB", "DT", "IN", "CC", "PRP", "TO"};

}  // namespace

// --- Determinism -----------------------------------------------------------

TEST(CorpusGeneratorTest, SameOptionsSameBytesOtherSeedOtherBytes)
{
  Options o = sized(200000);
  o.markupTags = true;
  o.posStyle = 2;
  o.pageSeparator = "<page>";
  o.headingMarker = "<head>";
  const std::string a = corpusgen::generateToString(o);
  EXPECT_EQ(a, corpusgen::generateToString(o));

  Options other = o;
  other.seed = 2;
  EXPECT_NE(a, corpusgen::generateToString(other));
  EXPECT_NE(corpusgen::vocabulary(o), corpusgen::vocabulary(other));
}

TEST(CorpusGeneratorTest, ChunksStringAndFileHoldTheSameText)
{
  Options o = sized(1536 * 1024 + 13, LineEnd::CrLf);  // more than one chunk of the writers
  o.markupTags = true;
  o.posStyle = 1;
  const std::string whole = corpusgen::generateToString(o);
  ASSERT_EQ(whole.size(), o.size);

  // Small chunks, each piece still readable after the following call.
  corpusgen::CorpusGenerator gen(o, 1000);
  std::string joined;
  std::string_view previous;
  std::string previousCopy;
  for (auto piece = gen.next(); !piece.empty(); piece = gen.next()) {
    EXPECT_EQ(previous, previousCopy);
    joined.append(piece);
    previous = piece;
    previousCopy.assign(piece);
  }
  EXPECT_EQ(gen.produced(), o.size);
  EXPECT_TRUE(gen.next().empty());
  EXPECT_EQ(joined, whole);

  testsupport::ScratchFolder dir;
  corpusgen::writeToFile(o, dir.file("corpus.txt"));
  EXPECT_EQ(testsupport::readFile(dir.file("corpus.txt")), whole);
}

// --- Size and line ends ----------------------------------------------------

TEST(CorpusGeneratorTest, ExactSizeEndingInALineEndAndPrefixOfLongerText)
{
  for (LineEnd e : {LineEnd::CrLf, LineEnd::Lf, LineEnd::Cr}) {
    const std::string eol = eolOf(e);
    Options big = sized(70000, e);
    big.markupTags = true;
    big.pageSeparator = "<page>";
    big.pageEveryLines = 3;
    big.headingMarker = "<head>";
    const std::string longer = corpusgen::generateToString(big);
    for (std::uint64_t size : {0, 1, 2, 3, 4, 5, 9, 37, 100, 1001, 4097, 65543}) {
      SCOPED_TRACE(testing::Message() << "size " << size << " eol " << eol.size());
      Options o = big;
      o.size = size;
      const std::string text = corpusgen::generateToString(o);
      ASSERT_EQ(text.size(), size);
      if (size < eol.size()) {
        EXPECT_EQ(text, std::string(size, ' '));
        continue;
      }
      EXPECT_EQ(text.substr(size - eol.size()), eol);
      // Without the blanks and line end that fill the tail, the text is the
      // start of the longer one.
      std::string body = text.substr(0, size - eol.size());
      while (!body.empty() && body.back() == ' ')
        body.pop_back();
      EXPECT_EQ(longer.compare(0, body.size(), body), 0);
    }
  }
}

// --- Options ---------------------------------------------------------------

// One pass over texts of each option: what the readers under test rely on.
TEST(CorpusGeneratorTest, OptionsShapeTheTextAsAsked)
{
  Options plain = sized(200000);
  const std::string text = corpusgen::generateToString(plain);
  for (char c : text)
    ASSERT_TRUE(isLetter(c) || std::string(" \n.,;:?!").find(c) != std::string::npos) << int(c);
  std::map<std::string, std::size_t> counts;
  for (const auto& token : tokensOf(text))
    ++counts[lower(token)];
  std::vector<std::size_t> byCount;
  for (const auto& [word, n] : counts)
    byCount.push_back(n);
  std::sort(byCount.rbegin(), byCount.rend());
  ASSERT_GT(byCount.size(), 200u);
  EXPECT_GT(byCount[0], 20 * byCount[199]);  // Zipf: the k-th word about 1/k as frequent

  Options tagged = sized(200000);
  tagged.markupTags = true;
  const std::string markup = corpusgen::generateToString(tagged);
  std::size_t opens = 0, closes = 0;
  for (std::size_t pos = 0; (pos = markup.find('<', pos)) != std::string::npos; ++pos) {
    const std::size_t end = markup.find('>', pos);
    ASSERT_NE(end, std::string::npos);
    ASSERT_EQ(markup.substr(pos + 1, end - pos - 1).find_first_of("<\r\n"), std::string::npos);
    opens += markup.compare(pos, 4, "<hi>") == 0;
    closes += markup.compare(pos, 5, "</hi>") == 0;
  }
  EXPECT_GT(opens, 0u);
  EXPECT_EQ(opens, closes);

  Options pos1 = sized(100000);
  pos1.posStyle = 1;
  std::map<std::string, std::string> tagOf;
  for (const auto& token : tokensOf(corpusgen::generateToString(pos1))) {
    const std::size_t at = token.find('_');
    ASSERT_NE(at, std::string::npos) << token;
    ASSERT_TRUE(kPosTags.count(token.substr(at + 1))) << token;
    auto [it, added] = tagOf.emplace(lower(token.substr(0, at)), token.substr(at + 1));
    ASSERT_EQ(it->second, token.substr(at + 1)) << token;  // a word keeps its tag
  }

  Options headed = sized(20000);
  headed.headingMarker = "Chapter#";
  const std::string headings = corpusgen::generateToString(headed);
  EXPECT_EQ(headings.rfind("Chapter ", 0), 0u);
  EXPECT_EQ(headings.find('#'), std::string::npos);

  Options pos2 = sized(100000);
  pos2.posStyle = 2;
  pos2.posStarts = {"<w "};
  pos2.posStop = '#';
  const std::string outside = corpusgen::generateToString(pos2);
  EXPECT_EQ(outside.find_first_of(">#"), std::string::npos);
  EXPECT_NE(outside.find("<w NN "), std::string::npos);

  Options paged = sized(50000, LineEnd::Cr);
  paged.pageSeparator = "PAGE#";
  paged.pageEveryLines = 7;
  const std::string pages = corpusgen::generateToString(paged);
  EXPECT_EQ(pages.find('#'), std::string::npos);
  std::size_t sinceLast = 0;
  for (const auto& line : linesOf(pages, "\r")) {
    if (line == "PAGE") {
      EXPECT_EQ(sinceLast, 7u);
      sinceLast = 0;
    } else {
      ++sinceLast;
    }
  }
}

TEST(CorpusGeneratorTest, UnusableOptionsAreRefused)
{
  auto refused = [](auto change) {
    Options o;
    change(o);
    EXPECT_THROW(corpusgen::validate(o), std::invalid_argument);
    EXPECT_THROW(corpusgen::generateToString(o), std::invalid_argument);
  };
  refused([](Options& o) { o.vocabularySize = 10; });
  refused([](Options& o) { o.minLineLength = 50, o.maxLineLength = 40; });
  refused([](Options& o) { o.minLineLength = 0; });
  refused([](Options& o) { o.posStyle = 3; });
  refused([](Options& o) { o.posStyle = 2, o.posStarts.clear(); });
  refused([](Options& o) { o.posStyle = 2, o.posStarts = {"<w\n"}; });
  refused([](Options& o) { o.posStyle = 1, o.posDelimiter = 'x'; });
  refused([](Options& o) { o.markupTags = true, o.tagStart = 'a'; });
  refused([](Options& o) { o.markupTags = true, o.tagStop = ' '; });
  refused([](Options& o) { o.pageSeparator = "<page>", o.pageEveryLines = 0; });
  refused([](Options& o) { o.pageSeparator = "#"; });
  refused([](Options& o) { o.headingMarker = "a\r\nb"; });
  EXPECT_NO_THROW(corpusgen::validate(Options{}));
}

TEST(CorpusGeneratorTest, FailedFileWriteRaisesNamingTheFile)
{
  testsupport::ScratchFolder dir;
  const std::string path = dir.file("missing/corpus.txt");
  try {
    corpusgen::writeToFile(sized(1000), path);
    FAIL() << "no error raised";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
  }
  EXPECT_FALSE(std::filesystem::exists(path));
}
