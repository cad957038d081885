// The corpus comparison over generated word lists in both file forms, checked
// against plain counts and a log-likelihood computed here; refusals, the
// sort, the report and the copy text.
#include "forms/corpus_comparison.h"

#include "corpus_generator.h"
#include "forms/word_list_rows.h"
#include "foundation/chartables.h"
#include "foundation/frequency_list.h"
#include "foundation/dialogs.h"
#include "foundation/settings.h"
#include "support/corpus_fixture.h"
#include "support/fake_bridge.h"
#include "support/scratch_folder.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <algorithm>
#include <map>
#include <tuple>
#include <random>

namespace {

using Counts = std::vector<std::pair<std::string, int32_t>>;  // in order, words may repeat in case

std::string Lower(std::string s)
{
  for (char& c : s)
    c = char(std::tolower(uint8_t(c)));
  return s;
}

Counts RandomCounts(std::mt19937& random, int n, const char* prefix)
{
  Counts counts;
  for (int i = 0; i < n; ++i) {
    std::string word = std::string(prefix) + char('a' + random() % 6) + char('a' + random() % 6);
    if (random() % 4 == 0)
      word[0] = char(std::toupper(uint8_t(word[0])));
    counts.push_back({word, int32_t(1 + random() % 50)});
  }
  return counts;
}

struct FileForm {
  bool Batch;
  bool WithTotal;
  const char* LineEnd;
};

class CompareFiles : public ::testing::TestWithParam<FileForm> {};

TEST_P(CompareFiles, MatchPlainCounts)
{
  const FileForm form = GetParam();
  testsupport::ScratchFolder folder;
  testsupport::FakeDialogs dialogs;
  dialogs.Answers.push_back(mrYes);
  std::mt19937 random(7);
  const Counts ref = RandomCounts(random, 60, "w");
  const Counts cur = RandomCounts(random, 60, "w");
  int64_t rt = 0;
  for (const auto& [w, c] : ref)
    rt += c;
  const std::string eol = form.LineEnd;
  std::string text = form.Batch ? "Batch Frequency Data - Frequency Order" : "Corpus Frequency List";
  if (form.WithTotal)
    text += " (" + std::to_string(rt) + " words)";
  text += eol + (form.Batch ? std::string(38, '-') : "") + eol;
  for (const auto& [w, c] : ref) {
    char line[80];
    std::snprintf(line, sizeof line, form.Batch ? "%10d: 0.1234%% %s" : "%d\t0.1234%%\t%s", c, w.c_str());
    text += line + eol + (c % 7 == 0 ? "  " + eol : "");
  }
  THashStrings current(16, LanguageId);
  int64_t ct = 0;
  std::map<std::string, int32_t> curPlain, refPlain;
  std::vector<std::string> order;
  for (const auto& [w, c] : ref)
    if (refPlain[Lower(w)]++ == 0)
      order.push_back(Lower(w));
  refPlain.clear();
  for (const auto& [w, c] : ref)
    refPlain[Lower(w)] += c;
  for (const auto& [w, c] : cur) {
    current.AddCount(w, c);
    curPlain[Lower(w)] += c;
    ct += c;
    if (!refPlain.count(Lower(w)) && std::find(order.begin(), order.end(), Lower(w)) == order.end())
      order.push_back(Lower(w));
  }

  int64_t total = 0;
  std::unique_ptr<THashStrings> table;
  ASSERT_TRUE(ReadFrequencyFile(folder.write("ref.txt", text), current.Count(), total, table));
  EXPECT_EQ(total, rt);
  EXPECT_EQ(dialogs.Messages.size(), form.WithTotal ? 0u : 1u);
  const TCompRecords records = BuildComparison(current, ct, *table, total);
  ASSERT_EQ(records.size(), order.size());
  for (size_t i = 0; i < records.size(); ++i) {
    const TCorpusCompRec& r = records[i];
    const double a = curPlain[order[i]], b = refPlain[order[i]];
    EXPECT_EQ(r.Word, order[i]);
    EXPECT_EQ(r.CurCount, a);
    EXPECT_EQ(r.RefCount, b);
    EXPECT_FLOAT_EQ(r.CurPercent, float(a / double(ct) * 100));
    EXPECT_FLOAT_EQ(r.RefPercent, float(b / double(rt) * 100));
    const double e1 = double(ct) * (a + b) / double(ct + rt), e2 = double(rt) * (a + b) / double(ct + rt);
    const double ll = 2 * ((a > 0 ? a * std::log(a / e1) : 0) + (b > 0 ? b * std::log(b / e2) : 0));
    EXPECT_NEAR(double(r.LL), ll, 1e-9 * (1 + ll));
    EXPECT_TRUE(std::isfinite(double(r.LL)));
  }
}

INSTANTIATE_TEST_SUITE_P(Forms, CompareFiles,
                         ::testing::Values(FileForm{false, true, "\r\n"}, FileForm{false, true, "\n"},
                                           FileForm{true, false, "\r"}, FileForm{true, false, "\r\n"},
                                           FileForm{false, false, "\n"}));

// The current side is the whole counted corpus, whatever the word-list
// window shows: a window cut to a few rows by Maximum Lines (and a minimum
// frequency) still compares every word of generated text with its count
// from the text itself.
class CompareCorpus : public testsupport::CorpusFixture {};

TEST_F(CompareCorpus, TheWindowsTableHoldsEveryWordOfTheText)
{
  for (uint64_t seed : {3u, 8u}) {
    corpusgen::Options o;
    o.size = 24 * 1024;
    o.seed = seed;
    o.vocabularySize = 400;
    const std::string text = corpusgen::generateToString(o);
    std::map<std::string, int32_t> counted;  // the text's words, lower-cased
    int64_t words = 0;
    for (size_t i = 0; i < text.size();) {
      size_t j = i;
      while (j < text.size() && std::isalnum(uint8_t(text[j])))
        ++j;
      if (j > i) {
        ++counted[Lower(text.substr(i, j - i))];
        ++words;
      }
      i = std::max(j, i + 1);
    }
    LoadCorpusItems(frame, {files.write("corpus" + std::to_string(seed) + ".txt", text)});
    std::unique_ptr<THashStrings> corpus = CountCorpusWords();
    ASSERT_TRUE(corpus);
    ASSERT_EQ(TotalWordCount, words);

    FrequencySettings.MaximumLines = 5;
    FrequencySettings.MinimumFrequency = 2;
    TWordListRows rows;
    rows.Fill(*corpus, seed % 2 ? wlmByCount : wlmAlphabetical, FreqOrderCaption, TotalWordCount);
    ASSERT_EQ(rows.Count(), 5);
    ASSERT_GT(counted.size(), 100u);

    const std::string ref = "Corpus Frequency List (10 words)\r\n\r\n7\t1%\tzzz\r\n3\t1%\tthe\r\n";
    int64_t refTotal = 0;
    std::unique_ptr<THashStrings> reference;
    ASSERT_TRUE(ReadFrequencyFile(files.write("ref.txt", ref), 16, refTotal, reference));
    const TCompRecords records = BuildComparison(*rows.ToTable(), TotalWordCount, *reference, refTotal);
    std::map<std::string, int32_t> compared;
    for (const TCorpusCompRec& r : records)
      compared[r.Word] = r.CurCount;
    std::map<std::string, int32_t> expected = counted;
    expected.emplace("zzz", 0);  // words of the reference alone
    expected.emplace("the", 0);
    EXPECT_EQ(compared, expected);
    UnloadCorpus(frame);
  }
}

struct Refusal {
  const char* Text;
  int Answer;
  const char* Message;  // nullptr: refused without a word
};

class RefuseFiles : public ::testing::TestWithParam<Refusal> {};

TEST_P(RefuseFiles, ShowTheMessageAndGiveNoTable)
{
  testsupport::ScratchFolder folder;
  testsupport::FakeDialogs dialogs;
  dialogs.Answers.push_back(GetParam().Answer);
  int64_t total = 5;
  std::unique_ptr<THashStrings> table;
  EXPECT_FALSE(ReadFrequencyFile(folder.write("f.txt", GetParam().Text), 1, total, table));
  EXPECT_FALSE(table);
  EXPECT_FALSE(BusyLoading);
  const std::vector<std::string> expected =
      GetParam().Message ? std::vector<std::string>{GetParam().Message} : std::vector<std::string>{};
  std::vector<std::string> shown = dialogs.Texts();
  std::erase(shown, MissingWordCountText);
  EXPECT_EQ(shown, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefuseFiles,
    ::testing::Values(Refusal{"Some other list (10 words)\r\n\r\n10\tx\r\n", mrYes, InvalidFrequencyFileText},
                      Refusal{"Corpus Frequency List (1x0 words)\r\n\r\n10\tx\r\n", mrYes, InvalidFrequencyFileText},
                      Refusal{"Corpus Frequency List (0 words)\r\n\r\n10\tx\r\n", mrYes, InvalidFrequencyFileText},
                      Refusal{"Alphabetical Word List (3 words)\r\n\r\nx\r\n", mrYes, InvalidFrequencyFileText},
                      Refusal{"Alphabetical Word List (3 words)\r\n\r\n3\r\n", mrYes, InvalidFrequencyFileText},
                      Refusal{"Alphabetical Word List (3 words)\r\n\r\n3000000000 x\r\n", mrYes,
                              InvalidFrequencyFileText},
                      Refusal{"Batch Frequency Data - Alphabetical Order\n---\n0: x\n", mrYes,
                              InvalidFrequencyFileText},
                      Refusal{"Corpus Frequency List (words)\r\n\r\n10\tx\r\n", mrYes, InvalidFrequencyFileText},
                      Refusal{"Corpus Frequency List ( 10 words)\r\n\r\n10\tx\r\n", mrYes, InvalidFrequencyFileText},
                      Refusal{"Corpus Frequency List (1000000000000000000 words)\r\n\r\n10\tx\r\n", mrYes,
                              InvalidFrequencyFileText},
                      Refusal{"Batch Frequency Data - Alphabetical Order\n---\n3: x\n", mrNo, nullptr}));

TEST(CorpusComparison, SumsInSixtyFourBitsAndSortsOnThreeKeys)
{
  testsupport::ScratchFolder folder;
  testsupport::FakeDialogs dialogs;
  dialogs.Answers.push_back(mrYes);
  int64_t total = 0;
  std::unique_ptr<THashStrings> table;
  ASSERT_TRUE(ReadFrequencyFile(
      folder.write("big.txt", "Batch Frequency Data - Frequency Order\n-\n2000000000 a\n2000000000 b\n"), 1, total,
      table));
  EXPECT_EQ(total, 4000000000);

  std::mt19937 random(11);
  TCompRecords records(300);
  for (TCorpusCompRec& r : records) {
    r.CurCount = int32_t(random() % 5);
    r.RefCount = int32_t(random() % 5);
    r.Word = std::string(1, char('a' + random() % 4));
    r.LL = static_cast<long double>(random() % 3);
  }
  const TCompSortKeys keys = {1, 1, 3, 0, 7, 1};  // count down, word up, LL down
  TCompRecords two(records.begin(), records.begin() + 2);
  two[0].CurCount = 1;
  two[1].CurCount = 4;
  SortCompRecords(two, keys);
  EXPECT_EQ(two[0].CurCount, 4);
  SortCompRecords(records, keys);
  for (size_t i = 1; i < records.size(); ++i) {
    const TCorpusCompRec& x = records[i - 1];
    const TCorpusCompRec& y = records[i];
    const auto kx = std::make_tuple(-x.CurCount, x.Word, -x.LL), ky = std::make_tuple(-y.CurCount, y.Word, -y.LL);
    EXPECT_LE(kx, ky) << i;
  }

  // "Percent change" is taken wide, as the grid prints it: changes 5e-7
  // apart near 50 are one float, yet they order the rows before the word does.
  const float refs[] = {0.0f, 5e-7f, 1e-6f, 2.5f};
  for (TCorpusCompRec& r : records) {
    r.CurPercent = 50.0f;
    r.RefPercent = refs[random() % 4];
  }
  SortCompRecords(records, TCompSortKeys{6, 0, 3, 1, 0, 0});  // change up, word down
  for (size_t i = 1; i < records.size(); ++i) {
    const TCorpusCompRec& x = records[i - 1];
    const TCorpusCompRec& y = records[i];
    const double cx = double(x.CurPercent) - double(x.RefPercent), cy = double(y.CurPercent) - double(y.RefPercent);
    EXPECT_LE(std::make_tuple(cx, y.Word), std::make_tuple(cy, x.Word)) << i;
  }
  EXPECT_EQ(CompCellText(records.front(), 5), "47.5000%");
}

TEST(CorpusComparison, ReportAndCopyText)
{
  TCorpusCompRec r{3, 1.5f, "cat", 0, 0.0f, 2.25L};
  const TCompRecords records = {r, TCorpusCompRec{0, 0.0f, "dog", 7, 12.125f, 10.5L}};
  EXPECT_EQ(FormatCompRecord(r, AllCompColumns), "3\t1.5000%\tcat\t0\t0.0000%\t1.5000%\t2.2500");
  EXPECT_EQ(FormatCompRecord(records[1], 4 | 32 | 64), "dog\t-12.1250%\t10.5000");
  EXPECT_EQ(CompCopyText(records, 1, 1, 2, 3), "dog\t7\t\r\n");
  // A selection inside the table copies only its own rows and columns.
  const TCompRecords three = {r, records[1], TCorpusCompRec{1, 0.5f, "eel", 1, 0.5f, 0.0L}};
  EXPECT_EQ(CompCopyText(three, 0, 1, 1, 2), "1.5000%\tcat\t\r\n0.0000%\tdog\t\r\n");

  testsupport::ScratchFolder folder;
  testsupport::FakeDialogs dialogs;
  const std::string path = folder.write("out.txt", "old");
  {
    TFileTextSink file(path);
    WriteComparison(records, file, false, 1 | 4);
  }
  EXPECT_EQ(testsupport::readFile(path), "3\tcat\r\n0\tdog\r\n");
  TFileTextSink full("/dev/full");
  EXPECT_THROW(WriteComparison(records, full, false, AllCompColumns), std::exception);
  EXPECT_FALSE(BusySaving);
}

}  // namespace
