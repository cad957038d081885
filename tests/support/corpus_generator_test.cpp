#include "corpus_generator.h"
#include "support/scratch_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
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
bool allLetters(const std::string& s) { return !s.empty() && std::all_of(s.begin(), s.end(), isLetter); }

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

// --- Words and sentences ---------------------------------------------------

TEST(CorpusGeneratorTest, ZipfWordsInCapitalisedPunctuatedSentences)
{
  Options o;
  o.size = 1024 * 1024;
  o.lineEnd = LineEnd::Lf;
  const std::string text = corpusgen::generateToString(o);
  // Plain text holds only letters, blanks, line ends and sentence punctuation.
  for (char c : text)
    ASSERT_TRUE(isLetter(c) || std::string(" \n.,;:?!").find(c) != std::string::npos) << int(c);

  std::map<std::string, std::size_t> counts;
  std::size_t capitalised = 0, adverbs = 0, walkForms = 0;
  for (const auto& token : tokensOf(text)) {
    ASSERT_TRUE(allLetters(token)) << token;
    ++counts[lower(token)];
    capitalised += isUpper(token[0]);
    adverbs += token.size() > 4 && token.compare(token.size() - 2, 2, "ly") == 0;
    walkForms += lower(token).rfind("walk", 0) == 0;
  }
  std::vector<std::size_t> byCount;
  for (const auto& [word, n] : counts)
    byCount.push_back(n);
  std::sort(byCount.rbegin(), byCount.rend());
  ASSERT_GT(byCount.size(), 1000u);
  // Zipf: the k-th word is about 1/k as frequent as the first.
  EXPECT_GT(byCount[0], 20 * byCount[199]);
  EXPECT_LT(byCount[0], 200 * byCount[199]);
  EXPECT_GT(capitalised, 1000u);
  EXPECT_GT(adverbs, 1000u);
  EXPECT_GT(walkForms, 500u);
  for (const char* w : {"walk", "walked", "walking", "walks"})
    EXPECT_GT(counts[w], 0u) << w;

  // Every sentence starts with a capital; all three ends and the inner marks occur.
  std::size_t ends = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '.' && text[i] != '?' && text[i] != '!')
      continue;
    ++ends;
    std::size_t j = i + 1;
    while (j < text.size() && !isLetter(text[j]))
      ++j;
    if (j < text.size()) {
      ASSERT_TRUE(isUpper(text[j])) << text.substr(i, j - i + 10);
    }
  }
  EXPECT_GT(ends, 5000u);
  for (char mark : {'.', '?', '!', ',', ';', ':'})
    EXPECT_NE(text.find(mark), std::string::npos) << mark;
}

// --- Options ---------------------------------------------------------------

TEST(CorpusGeneratorTest, MarkupTagsCloseAndCarryNames)
{
  Options o = sized(300000);
  o.markupTags = true;
  const std::string text = corpusgen::generateToString(o);
  EXPECT_EQ(text.find('_'), std::string::npos);

  std::map<std::string, std::size_t> names;
  std::vector<std::string> paragraphNumbers;
  std::size_t pos = 0;
  while ((pos = text.find('<', pos)) != std::string::npos) {
    const std::size_t end = text.find('>', pos);
    ASSERT_NE(end, std::string::npos);
    const std::string tag = text.substr(pos + 1, end - pos - 1);
    ASSERT_EQ(tag.find_first_of("<\r\n"), std::string::npos) << tag;
    const std::string name = tag.substr(0, tag.find(' '));
    ++names[name];
    if (name == "p")
      paragraphNumbers.push_back(tag.substr(2));
    if (name == "A") {
      EXPECT_TRUE(tag.size() > 3 && isUpper(tag[2])) << tag;
    }
    if (name == "hi" || name == "name" || name == "foreign" || name == "emph") {
      // A paired element around one word.
      const std::string close = "</" + name + ">";
      const std::size_t closeAt = text.find(close, end);
      ASSERT_NE(closeAt, std::string::npos);
      EXPECT_TRUE(allLetters(text.substr(end + 1, closeAt - end - 1))) << text.substr(pos, 40);
    }
    pos = end + 1;
  }
  for (const char* name : {"p", "A", "hi", "/hi", "name", "foreign", "emph"})
    EXPECT_GT(names[name], 0u) << name;
  EXPECT_EQ(names["hi"], names["/hi"]);
  for (std::size_t i = 0; i < paragraphNumbers.size(); ++i)
    ASSERT_EQ(paragraphNumbers[i], "n=" + std::to_string(i + 1));
  // About one inline tag per 40 words.
  const std::size_t words = tokensOf(text).size();
  const std::size_t inline_ = names["hi"] + names["name"] + names["foreign"] + names["emph"] + names["A"];
  EXPECT_GT(inline_, words / 80);
  EXPECT_LT(inline_, words / 20);
}

TEST(CorpusGeneratorTest, PartOfSpeechStyleOneJoinsWordDelimiterTag)
{
  for (char delimiter : {'_', '/'}) {
    Options o = sized(200000);
    o.posStyle = 1;
    o.posDelimiter = delimiter;
    const std::string text = corpusgen::generateToString(o);
    EXPECT_EQ(text.find_first_of("<>"), std::string::npos);
    std::map<std::string, std::string> tagOf;
    for (const auto& token : tokensOf(text)) {
      const std::size_t at = token.find(delimiter);
      ASSERT_NE(at, std::string::npos) << token;
      ASSERT_EQ(token.find(delimiter, at + 1), std::string::npos) << token;
      const std::string word = token.substr(0, at), tag = token.substr(at + 1);
      ASSERT_TRUE(allLetters(word)) << token;
      ASSERT_TRUE(kPosTags.count(tag)) << token;
      // A word keeps its tag wherever it occurs.
      auto [it, added] = tagOf.emplace(lower(word), tag);
      ASSERT_EQ(it->second, tag) << token;
    }
    EXPECT_EQ(tagOf["walked"], "VBD");
    EXPECT_EQ(tagOf["walking"], "VBG");
  }
}

TEST(CorpusGeneratorTest, PartOfSpeechStyleTwoPutsStartTagStopBesideTheWord)
{
  Options o = sized(200000);
  o.posStyle = 2;
  o.posStarts = {"<w ", "<c "};
  for (bool before : {false, true}) {
    o.posTagBefore = before;
    const std::string text = corpusgen::generateToString(o);
    std::set<std::string> startsSeen;
    std::string stripped;
    std::size_t tags = 0, from = 0;
    for (std::size_t pos = text.find('<'); pos != std::string::npos; pos = text.find('<', from)) {
      const std::size_t close = text.find('>', pos);
      ASSERT_NE(close, std::string::npos);
      const std::string start = text.substr(pos, 3);
      ASSERT_TRUE(start == "<w " || start == "<c ") << text.substr(pos, 20);
      startsSeen.insert(start);
      ASSERT_TRUE(kPosTags.count(text.substr(pos + 3, close - pos - 3))) << text.substr(pos, 20);
      // Right beside its word, on the asked side.
      const bool letterBefore = pos > 0 && isLetter(text[pos - 1]);
      const bool letterAfter = close + 1 < text.size() && isLetter(text[close + 1]);
      ASSERT_EQ(letterBefore, !before) << text.substr(pos, 20);
      ASSERT_EQ(letterAfter, before) << text.substr(pos, 20);
      stripped += text.substr(from, pos - from);
      from = close + 1;
      ++tags;
    }
    stripped += text.substr(from);
    EXPECT_EQ(startsSeen, (std::set<std::string>{"<w ", "<c "}));
    // One tag per word, and nothing else added.
    const auto words = tokensOf(stripped);
    EXPECT_EQ(tags, words.size());
    for (const auto& w : words)
      ASSERT_TRUE(allLetters(w)) << w;
  }

  // A stop of '#' is written as a blank.
  o.posStarts = {"<w "};
  o.posTagBefore = false;
  o.posStop = '#';
  const std::string text = corpusgen::generateToString(o);
  EXPECT_EQ(text.find_first_of(">#"), std::string::npos);
  EXPECT_NE(text.find("<w NN "), std::string::npos);
}

TEST(CorpusGeneratorTest, PageSeparatorLineAfterEveryNLines)
{
  for (LineEnd e : {LineEnd::CrLf, LineEnd::Cr}) {
    Options o = sized(100000, e);
    o.pageSeparator = "<page>";
    o.pageEveryLines = 7;
    const auto lines = linesOf(corpusgen::generateToString(o), eolOf(e));
    std::size_t sinceLast = 0, pages = 0;
    for (const auto& line : lines) {
      if (line == "<page>") {
        EXPECT_EQ(sinceLast, 7u);
        ++pages;
        sinceLast = 0;
      } else {
        EXPECT_EQ(line.find("<page>"), std::string::npos);
        ++sinceLast;
      }
    }
    EXPECT_GT(pages, 100u);
  }

  // A final '#' asks for a blank or line end after the separator: it is not written.
  Options o = sized(20000);
  o.pageSeparator = "PAGE#";
  o.pageEveryLines = 5;
  const std::string text = corpusgen::generateToString(o);
  EXPECT_EQ(text.find('#'), std::string::npos);
  EXPECT_EQ(linesOf(text, "\n")[5], "PAGE");
}

TEST(CorpusGeneratorTest, HeadingsOfMarkerAndWordsAtIntervals)
{
  Options o = sized(200000);
  o.headingMarker = "<head>";
  o.headingEveryLines = 20;
  const auto lines = linesOf(corpusgen::generateToString(o), "\n");
  std::vector<std::size_t> at;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].rfind("<head>", 0) != 0) {
      EXPECT_EQ(lines[i].find("<head>"), std::string::npos);
      continue;
    }
    at.push_back(i);
    std::istringstream words(lines[i].substr(6));
    std::string word;
    int n = 0;
    while (words >> word) {
      EXPECT_TRUE(allLetters(word) && isUpper(word[0])) << lines[i];
      ++n;
    }
    EXPECT_GE(n, 1);
    EXPECT_LE(n, 6);
    EXPECT_EQ(lines[i][6], ' ');
    if (i + 1 < lines.size()) {
      EXPECT_EQ(lines[i + 1], "");
    }
  }
  ASSERT_GT(at.size(), 20u);
  EXPECT_EQ(at[0], 0u);
  for (std::size_t k = 1; k < at.size(); ++k)
    EXPECT_GE(at[k] - at[k - 1], 20u);

  o.headingMarker = "Chapter#";
  const std::string text = corpusgen::generateToString(o);
  EXPECT_EQ(text.rfind("Chapter ", 0), 0u);
  EXPECT_EQ(text.find('#'), std::string::npos);
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
