#include "foundation/frequency_list.h"

#include "foundation/buf_stream.h"
#include "foundation/buf_stream_config.h"
#include "foundation/chartables.h"
#include "foundation/corpus_list.h"
#include "foundation/program_state.h"
#include "foundation/stop_list.h"
#include "corpus_generator.h"
#include "platform/codepage.h"
#include "support/corpus_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <utility>

#include <string>
#include <vector>

using testsupport::CorpusFixture;

namespace {

class FrequencyListTest : public CorpusFixture {
protected:
  void TearDown() override
  {
    CountWordsReportInterval = std::chrono::milliseconds(200);
    GlobalStopList.SetWords({});
    GlobalStopList.SetActive(false);
    CorpusFixture::TearDown();
  }
};

std::vector<std::string> linesOf(THashStrings& table, bool alphabetical)
{
  std::vector<std::string> lines;
  WriteFrequencyList([&](const std::string& line) { lines.push_back(line); }, table, alphabetical);
  return lines;
}

}  // namespace

TEST_F(FrequencyListTest, CountCorpusWordsKeeps64CharactersAndSkipsTagsWhenAsked)
{
  const std::string a = files.write("a.txt", "Alpha <b>beta</b> " + std::string(100, 'q') + " alpha");
  const std::string b = files.write("b.txt", std::string("ALPHA\0beta", 10));
  LoadCorpusItems(frame, {a, b});
  TotalWordCount = 77;
  auto table = CountCorpusWords();
  ASSERT_TRUE(table);
  EXPECT_EQ(TotalWordCount, 6);
  EXPECT_EQ(table->SortState(), THashStrings::ssByCount);
  EXPECT_EQ(table->Strings(0), "alpha");
  EXPECT_EQ(table->Counts(0), 3);
  EXPECT_EQ(table->CountOf(std::string(64, 'q')), 1);
  EXPECT_EQ(table->Count(), 3);
  EXPECT_EQ(table->CountOf("b"), 0);

  // Without SkipTags the reader has no tags: "b" is a word twice; and
  // without IgnoreCase the spellings stay apart.
  FrequencySettings.SkipTags = false;
  FrequencySettings.IgnoreCase = false;
  table = CountCorpusWords();
  EXPECT_EQ(table->CountOf("b"), 2);
  EXPECT_EQ(table->CountOf("ALPHA"), 1);
  EXPECT_EQ(TotalWordCount, 8);
}

TEST_F(FrequencyListTest, CancelGivesNoTableAndKeepsTheTotal)
{
  const std::string big = files.write("big.txt", std::string(1 << 20, 'w') + " " + std::string(100, 'v'));
  const std::string more = files.write("more.txt", "x y z");
  LoadCorpusItems(frame, {big, more});
  TotalWordCount = 5;
  const int formsBefore = dialogs.ProgressFormsCreated;
  CountWordsReportInterval = std::chrono::milliseconds(0);
  cancelWhenScanning("Scanning big.txt...", ProgressCancel);
  EXPECT_FALSE(CountCorpusWords());
  EXPECT_EQ(TotalWordCount, 5);
  EXPECT_EQ(dialogs.ProgressFormsCreated, formsBefore + 1);
}

TEST_F(FrequencyListTest, FilterAndLines)
{
  FrequencySettings.MinimumFrequency = 3;
  FrequencySettings.MaximumFrequency = 0;
  EXPECT_TRUE(PassesFrequencyFilter("w", 1000000));
  EXPECT_FALSE(PassesFrequencyFilter("w", 2));
  FrequencySettings.MaximumFrequency = 10;
  EXPECT_FALSE(PassesFrequencyFilter("w", 11));
  EXPECT_TRUE(PassesFrequencyFilter("w", 10));
  GlobalStopList.SetWords({"the"});
  GlobalStopList.SetActive(true);
  EXPECT_FALSE(PassesFrequencyFilter("the", 5));

  // The decimal point is "." and the count has no digit for 0.
  TotalWordCount = 0;
  EXPECT_EQ(FormatFrequencyLine(7, "x"), "         7: 0.0000% x");
  TotalWordCount = 3;
  EXPECT_EQ(FormatFrequencyLine(1, "abc"), "         1: 33.3333% abc");
  EXPECT_EQ(FormatFrequencyLine(0, "z"), "          : 0.0000% z");
  EXPECT_EQ(FormatFrequencyLine(1234567890, "big").substr(0, 12), "1234567890: ");

  THashStrings table(4096, 0x409);
  table.AddCount("pear", 4);
  table.AddCount("the", 9);
  table.AddCount("apple", 5);
  table.AddCount("fig", 2);
  TotalWordCount = 11;
  EXPECT_EQ(linesOf(table, true), (std::vector<std::string>{"         5: 45.4545% apple", "         4: 36.3636% pear"}));
  FrequencySettings.MaximumFrequency = 0;
  FrequencySettings.MinimumFrequency = 1;
  EXPECT_EQ(linesOf(table, false), (std::vector<std::string>{"         5: 45.4545% apple", "         4: 36.3636% pear",
                                                             "         2: 18.1818% fig"}));
}

// The load-time scan and the corpus count classify the same bytes in two
// different ways; on generated text larger than several chunks they must
// agree, and the indexes must hold every line end and page separator.
TEST_F(FrequencyListTest, LoadScanAgreesWithTheFileAndTheCorpusCount)
{
  ConcordSettings.PageSeparator = "<pb>";
  for (corpusgen::LineEnd lineEnd : {corpusgen::LineEnd::CrLf, corpusgen::LineEnd::Lf}) {
    corpusgen::Options o;
    o.size = 300 * 1024;
    o.seed = 11;
    o.vocabularySize = 2000;
    o.lineEnd = lineEnd;
    o.markupTags = true;
    o.pageSeparator = "<pb>";
    o.pageEveryLines = 25;
    const std::string text = corpusgen::generateToString(o);
    const std::string file = files.write(lineEnd == corpusgen::LineEnd::Lf ? "lf.txt" : "crlf.txt", text);
    LoadCorpusItems(frame, {file});
    const TCorpusItem& item = CorpusList[CorpusList.IndexOf(file)];

    std::vector<int32_t> lines = {0}, pages = {0};
    const char end = lineEnd == corpusgen::LineEnd::Lf ? '\n' : '\r';
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == end)
        lines.push_back(static_cast<int32_t>(i));
      if (text.compare(i, 4, "<pb>") == 0)
        pages.push_back(static_cast<int32_t>(i));
    }
    std::vector<int32_t> lineRows, pageRows;
    for (int32_t r = 0; r < item.LineIndex.Index->RowCount(); ++r)
      lineRows.push_back(item.LineIndex.Index->ValueAt(r, 0));
    for (int32_t r = 0; r < item.PageIndex.Index->RowCount(); ++r)
      pageRows.push_back(item.PageIndex.Index->ValueAt(r, 0));
    EXPECT_EQ(lineRows, lines);
    EXPECT_EQ(pageRows, pages);
    EXPECT_GT(pages.size(), 10u);

    const int32_t scanned = item.WordCount;
    UnloadCorpus(frame);
    LoadCorpusItems(frame, {file});
    ASSERT_TRUE(CountCorpusWords());
    EXPECT_EQ(TotalWordCount, scanned);
    UnloadCorpus(frame);
  }
}

// The corpus count against a plain recount of the files' bytes: words split
// at the delimiter set (and markup tags left out when tags are skipped), cut
// to 64 bytes, folded whole by the code page, counted in a map and listed by
// count in the order of first sight. Files of several windows each, one per
// line-end style, with NULs, long words, tags and double-byte pairs.
TEST_F(FrequencyListTest, CorpusCountAgreesWithARecountOfTheRawText)
{
  std::mt19937 random(3);
  const std::vector<std::string> gaps = {" ", ", ", "  ", std::string(1, '\0'), "\t", " <p n=1> ", "<b>",
                                         "-", "> "};
  const std::vector<std::string> lineEnds = {"\r\n", "\n", "\r", "\n\r"};
  for (int32_t lcid : {0x409, 0x411, 0x419}) {
    for (bool skipTags : {true, false}) {
      SetTextLanguage(lcid);
      FrequencySettings.SkipTags = skipTags;
      FrequencySettings.IgnoreCase = lcid != 0x419 || skipTags;
      std::vector<std::string> texts, paths;
      for (size_t f = 0; f < lineEnds.size(); ++f) {
        std::string text;
        while (text.size() < 20000 + random() % 20000) {
          const uint32_t kind = random() % 200;
          const size_t length = kind == 0 ? 65 + random() % 300 : 1 + random() % (kind < 30 ? 20 : 7);
          for (size_t i = 0; i < length; ++i) {
            const uint32_t c = random() % 16;
            text += c < 9 ? std::string(1, char('a' + random() % 5)) : c < 12 ? std::string(1, char('A' + random() % 5))
                    : c < 14 ? std::string(1, char(0xC0 + random() % 64))
                             : std::string{char(0x82), char(0x60 + random() % 3)};  // a double-byte letter in 932
          }
          text += random() % 8 ? gaps[random() % gaps.size()] : lineEnds[f];
        }
        texts.push_back(text);
        paths.push_back(files.write("f" + std::to_string(f) + ".txt", text));
      }
      LoadCorpusItems(frame, paths);
      const auto table = CountCorpusWords();
      ASSERT_TRUE(table);

      TCharSet delimiters;
      BuildDelimiterSet(delimiters);
      const platform::CodePage& cp = platform::codePage(uint16_t(AnsiCodePage));
      std::map<std::string, int32_t> counts;
      std::vector<std::string> order;
      int64_t total = 0;
      for (const std::string& text : texts) {
        std::string word;
        bool inTag = false;
        const auto flush = [&] {
          if (word.empty())
            return;
          std::string key(WholeCharsPrefix(cp, word, 64));
          if (FrequencySettings.IgnoreCase)
            key = platform::lowerText(cp, key);
          if (counts[key]++ == 0)
            order.push_back(key);
          ++total;
          word.clear();
        };
        for (size_t i = 0; i < text.size(); ++i) {
          const char c = text[i];
          // A double-byte character: its trail byte goes with its lead byte.
          const size_t width = platform::charBytesAt(cp, text, i);
          if (inTag) {
            inTag = c != ConcordSettings.TagStop;
          } else if (skipTags && c == ConcordSettings.TagStart) {
            flush();
            inTag = true;
          } else if (delimiters.test(uint8_t(c))) {
            flush();
          } else {
            word.append(text, i, width);
          }
          i += width - 1;
        }
        flush();
      }
      std::stable_sort(order.begin(), order.end(),
                       [&](const std::string& a, const std::string& b) { return counts[a] > counts[b]; });
      EXPECT_EQ(TotalWordCount, total);
      ASSERT_EQ(size_t(table->Count()), order.size()) << lcid << skipTags;
      for (size_t i = 0; i < order.size(); ++i) {
        ASSERT_EQ(table->Strings(int32_t(i)), order[i]) << lcid << skipTags << i;
        ASSERT_EQ(table->Counts(int32_t(i)), counts[order[i]]) << lcid << skipTags << i;
      }
      UnloadCorpus(frame);
    }
  }
  SetTextLanguage(0x409);
}

// Percentages round half away from zero at the fourth decimal. The
// reference works on the float's exact binary value with integers only.
TEST(FormatPercentTest, MatchesExactRoundingOfFloats)
{
  const auto reference = [](float f) {
    int e = 0;
    const double frac = std::frexp(double(f), &e);
    const auto mantissa = static_cast<unsigned __int128>(std::ldexp(frac, 24));  // f = mantissa * 2^(e-24)
    const int shift = 24 - e;
    unsigned __int128 scaled = mantissa * 10000;
    unsigned __int128 q = shift > 0 ? scaled >> shift : scaled << -shift;
    if (shift > 0 && ((scaled >> (shift - 1)) & 1))
      ++q;  // the first dropped bit is worth a half or more
    const auto whole = static_cast<unsigned long long>(q / 10000);
    const std::string decimals = std::to_string(static_cast<unsigned>(q % 10000) + 10000).substr(1);
    return std::to_string(whole) + "." + decimals;
  };
  for (const auto& [value, text] : std::vector<std::pair<float, std::string>>{
           {12.5f, "12.5000"}, {0.03125f, "0.0313"}, {0.15625f, "0.1563"}, {0.0f, "0.0000"},
           {100.0f, "100.0000"}, {99.99999f, "100.0000"}, {1.0f / 3 * 100, "33.3333"}})
    EXPECT_EQ(FormatPercent(value), text) << value;
  std::mt19937 random(21);
  for (int i = 0; i < 20000; ++i) {
    const int32_t total = int32_t(random() % 5000000) + 1;
    const int32_t count = int32_t(random() % uint32_t(total)) + 1;
    const float percent = float(static_cast<long double>(count) / total * 100);
    ASSERT_EQ(FormatPercent(percent), reference(percent)) << count << "/" << total;
    const float tie = float(random() % 3200000) / 32;  // every odd k/32 is a tie
    ASSERT_EQ(FormatPercent(tie), reference(tie)) << tie;
  }
}

// Length keys order texts by length: of any two values, the one whose text
// is longer has the greater key, at signs, roundings into a new digit and
// halves at the fifth decimal alike.
TEST(LengthKeyTest, ALongerTextHasAGreaterKey)
{
  const std::vector<double> percents = {
      0,       -0.0,      0.00004,  -0.00004,  0.00005,  -0.00005,  0.00006, -0.00006, 0.5,        -0.5,
      0.99995, -0.99995,  1,        -1,        9.99995,  -9.99995,  9.99996, 10,       -10,        99.99995,
      100,     -99.99995, 12.34565, -12.34565, 0.03125,  1e-300,    -1e-300, 1e12,     -1e12,      NAN,
      INFINITY, -INFINITY};
  for (double a : percents)
    for (double b : percents)
      if (FormatPercent(a).size() > FormatPercent(b).size()) {
        EXPECT_GT(percentLengthKey(a), percentLengthKey(b)) << FormatPercent(a) << " " << FormatPercent(b);
      }
  const std::vector<int64_t> integers = {0, 1, -1, 9, -9, 10, -10, 99, 100, 2147483647, -2147483647 - 1};
  for (int64_t a : integers)
    for (int64_t b : integers)
      if (std::to_string(a).size() > std::to_string(b).size()) {
        EXPECT_GT(integerLengthKey(a), integerLengthKey(b)) << a << " " << b;
      }
}
