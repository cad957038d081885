#include "forms/word_list_rows.h"

#include "foundation/chartables.h"
#include "foundation/frequency_list.h"
#include "foundation/program_state.h"
#include "foundation/settings.h"
#include "foundation/stop_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

class WordListRowsTest : public testing::Test {
protected:
  void SetUp() override
  {
    InitProgramState();
    FrequencySettings.MinimumFrequency = 1;
    FrequencySettings.MaximumLines = 1000000;
  }
  void TearDown() override
  {
    GlobalStopList.SetWords({});
    GlobalStopList.SetActive(false);
    InitProgramState();
  }
  // A table of made-up words with Zipf-like counts, and the same counts in a
  // plain map.
  void MakeTable(int words)
  {
    std::mt19937 random(7);
    for (int i = 0; i < words; ++i) {
      std::string word = "w" + std::to_string(random() % 100000);
      const int32_t count = int32_t(2000 / (i + 1)) + int32_t(random() % 3);
      table.AddCount(word, count);
      reference[word] += count;
    }
  }
  std::string Lines(const TWordListRows& rows, int32_t maxLines, bool withFrequencies)
  {
    TStringTextSink sink;
    rows.Write(sink, maxLines, withFrequencies);
    return sink.Text();
  }

  THashStrings table{4096, 0x409};
  std::map<std::string, int32_t> reference;
};

}  // namespace

// The rows are the words that pass the filter, by count or by word; the row
// limit cuts after the row that reaches it (so 0 and below give one row).
TEST_F(WordListRowsTest, FillFiltersSortsAndLimits)
{
  MakeTable(3000);
  GlobalStopList.SetWords({"w1", "w2", "w3"});
  struct Case {
    int32_t min, max, lines;
    bool stop;
  };
  for (const Case& c : {Case{1, 0, 1000000, false}, Case{3, 50, 1000000, true}, Case{2, 0, 10, false},
                        Case{1, 0, 0, false}, Case{1, 0, -5, true}, Case{60, 10, 100, false}}) {
    FrequencySettings.MinimumFrequency = c.min;
    FrequencySettings.MaximumFrequency = c.max;
    FrequencySettings.MaximumLines = c.lines;
    GlobalStopList.SetActive(c.stop);
    std::vector<std::pair<int32_t, std::string>> expected;
    for (const auto& [word, count] : reference)
      if (count >= c.min && (c.max == 0 || count <= c.max) && !(c.stop && word.size() == 2 && word[1] <= '3' &&
                                                                 word[1] >= '1'))
        expected.emplace_back(count, word);
    std::sort(expected.begin(), expected.end(), [](auto& a, auto& b) { return a.first > b.first; });
    const size_t wanted = std::min<size_t>(expected.size(), size_t(std::max(c.lines, 1)));

    TWordListRows rows;
    rows.Fill(table, wlmByCount, FreqOrderCaption, 12345);
    ASSERT_EQ(size_t(rows.Count()), wanted) << c.min << " " << c.max << " " << c.lines;
    for (int32_t i = 0; i < rows.Count(); ++i) {
      EXPECT_EQ(rows.Row(i).Count, expected[size_t(i)].first);  // ties may come in another order
      EXPECT_EQ(reference[rows.Row(i).Word], rows.Row(i).Count);
    }
    rows.Fill(table, wlmAlphabetical, AlphaOrderCaption, 12345);
    int32_t largest = 0;  // the first row of the largest count
    for (int32_t i = 1; i < rows.Count(); ++i)
      largest = rows.Row(i).Count > rows.Row(largest).Count ? i : largest;
    EXPECT_EQ(rows.largestRow(), largest);
    if (c.lines >= 1000000) {
      ASSERT_EQ(size_t(rows.Count()), expected.size());
      for (int32_t i = 1; i < rows.Count(); ++i)
        EXPECT_LE(LocaleCompare(rows.Row(i - 1).Word, rows.Row(i).Word, false), 0);
    }
  }
}

// The window's file keeps the total of its fill, whatever the program's
// total is by then; MaxLines cuts the rows; a total of 0 divides nothing.
TEST_F(WordListRowsTest, WindowFileForms)
{
  table.AddCount("apple", 5);
  table.AddCount("pear", 3);
  table.AddCount("fig", 2);
  TWordListRows rows;
  rows.Fill(table, wlmByCount, FreqOrderCaption, 40);
  TotalWordCount = 0;
  EXPECT_EQ(Lines(rows, 0, true), "Corpus Frequency List (40 words)\r\n\r\n5\t12.5000%\tapple\r\n"
                                  "3\t7.5000%\tpear\r\n2\t5.0000%\tfig\r\n");
  EXPECT_EQ(Lines(rows, 2, false), "Corpus Frequency List (40 words)\r\n\r\napple\r\npear\r\n");
  rows.Fill(table, wlmAlphabetical, AlphaOrderCaption, 0);
  EXPECT_EQ(Lines(rows, 1, true), "Alphabetical Word List (0 words)\r\n\r\n5\t0.0000%\tapple\r\n");
  EXPECT_EQ(rows.CellText(2, 1), "0.0000%");
}

TEST_F(WordListRowsTest, CopyTextAndTable)
{
  MakeTable(200);
  TWordListRows rows;
  rows.Fill(table, wlmByCount, FreqOrderCaption, 5000);
  const std::string text = rows.CopyText(2, 4);
  std::string expected;
  for (int32_t i = 2; i <= 4; ++i)
    expected += (i > 2 ? "\r\n" : "") + rows.CellText(i, 0) + "\t" + rows.CellText(i, 1) + "\t" + rows.Row(i).Word;
  EXPECT_EQ(text, expected);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\t'), 6);
  EXPECT_EQ(rows.CopyText(rows.Count() - 1, rows.Count() + 5).find("\r\n"), std::string::npos);

  const std::unique_ptr<THashStrings> back = rows.ToTable();
  EXPECT_TRUE(back->FoldCase);
  ASSERT_EQ(back->Count(), rows.Count());
  for (const auto& [word, count] : reference)
    EXPECT_EQ(back->CountOf(word), count) << word;
  TWordListRows one;
  FrequencySettings.MaximumLines = 0;
  one.Fill(table, wlmKeep, FreqOrderCaption, 1);
  EXPECT_EQ(one.ToTable()->CountOf(one.Row(0).Word), one.Row(0).Count);
}

// The batch form: its title, 38 hyphens and the frequency lines, no total
// and no row limit.
TEST_F(WordListRowsTest, BatchForm)
{
  MakeTable(500);
  FrequencySettings.MaximumLines = 3;
  TotalWordCount = 10000;
  for (bool alphabetical : {false, true}) {
    TStringTextSink sink;
    WriteBatchFrequencyList(sink, table, alphabetical);
    std::string expected = std::string(alphabetical ? "Batch Frequency Data - Alphabetical Order"
                                                    : "Batch Frequency Data - Frequency Order") +
                           "\r\n--------------------------------------\r\n";
    WriteFrequencyList([&](const std::string& line) { expected += line + "\r\n"; }, table, alphabetical);
    EXPECT_EQ(sink.Text(), expected);
    EXPECT_EQ(std::count(expected.begin(), expected.end(), '\n'), int(reference.size()) + 2);
  }
}
