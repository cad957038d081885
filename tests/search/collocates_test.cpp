// Collocate tables over a real search of a generated corpus, checked against
// a count written here from the corpus text itself: the report for every
// span with the frequency range and row limits, ranks, cancelling, and hits
// appended after the tables were made.
#include "search/collocates.h"

#include "foundation/abort.h"
#include "foundation/hash_strings.h"
#include "foundation/stop_list.h"
#include "foundation/text_sink.h"
#include "search/concord_items.h"
#include "search_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

// Words of the generated corpus; "cat" is searched for.
const std::vector<std::string> Vocabulary = {"cat", "Cat", "the", "The", "dog", "a", "A", "ran", "sat",
                                             "mat", "on", "blue", "Blue", "big", "z"};

struct Params {
  int32_t Span;
  bool IgnoreCase;
  bool StopList;
  int32_t MinFrequency;
  int32_t MaxFrequency;
  int32_t MaxRows;
};

class Collocates : public testsupport::SearchFixture {
protected:
  void SetUp() override
  {
    SearchFixture::SetUp();
    FrequencySettings.CollocHighliteFirst = 5;
    GlobalStopList.SetWords({"the", "a"});
    GlobalStopList.SetActive(false);
  }
  void TearDown() override
  {
    GlobalStopList.SetWords({});
    GlobalStopList.SetActive(false);
    SearchFixture::TearDown();
  }

  // Three files of random words, eleven to a line; files start with "cat"
  // so the left positions are missing there.
  void MakeCorpus(int wordsPerFile, unsigned seed)
  {
    std::mt19937 random(seed);
    std::vector<std::pair<std::string, std::string>> texts;
    tokens_.clear();
    for (int f = 0; f < 3; ++f) {
      std::vector<std::string> words = {"cat"};
      std::string text = "cat";
      for (int i = 1; i < wordsPerFile; ++i) {
        // Skewed towards the first words, so counts differ and tie.
        const size_t k = std::min(random() % Vocabulary.size(), random() % Vocabulary.size());
        words.push_back(Vocabulary[k]);
        text += (i % 11 == 0 ? "\r\n" : " ") + Vocabulary[k];
      }
      texts.emplace_back("file" + std::to_string(f) + ".txt", text);
      tokens_.push_back(words);
    }
    Load(texts);
    list_ = ListOf(Run(Request({"cat"})));
  }

  std::string Fold(std::string word) const
  {
    if (FrequencySettings.IgnoreCase)
      for (char& c : word)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return word;
  }

  // Per position 1..8: the words at that position of every "cat" in the
  // text, folded, stop words left out, in first-seen order with counts.
  using Table = std::vector<std::pair<std::string, int32_t>>;
  std::map<int, Table> ReferenceTables(int first, int last) const
  {
    std::map<int, Table> tables;
    for (int p = first; p <= last; ++p)
      tables[p];
    for (const auto& words : tokens_)
      for (size_t i = 0; i < words.size(); ++i) {
        if (words[i] != "cat" && words[i] != "Cat")  // the search ignores case
          continue;
        for (int p = first; p <= last; ++p) {
          const long at = long(i) + (p <= 4 ? p - 5 : p - 4);
          if (at < 0 || at >= long(words.size()))
            continue;
          const std::string w = Fold(words[size_t(at)]);
          if (GlobalStopList.Active() && (w == "the" || w == "a"))
            continue;
          Table& t = tables[p];
          auto it = std::find_if(t.begin(), t.end(), [&](const auto& e) { return e.first == w; });
          if (it == t.end())
            t.emplace_back(w, 1);
          else
            ++it->second;
        }
      }
    for (auto& [p, t] : tables)
      std::stable_sort(t.begin(), t.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
    return tables;
  }

  static bool InRange(int32_t c)
  {
    return c >= FrequencySettings.MinimumFrequency &&
           (FrequencySettings.MaximumFrequency == 0 || c <= FrequencySettings.MaximumFrequency);
  }

  // The report from the reference tables: a column's shown words are its
  // entries in range; it needs one row more when entries out of range follow
  // its last shown one.
  std::string ReferenceReport(const std::map<int, Table>& tables, int32_t maxRows) const
  {
    std::string out = "Word: cat\r\n\r\n";
    std::map<int, Table> shown;
    size_t rows = 0;
    for (const auto& [p, t] : tables) {
      out += (p == tables.begin()->first ? "" : "\t\t") + std::string(CollocatePositionNames[p - 1]);
      size_t lastShown = 0;
      for (size_t i = 0; i < t.size(); ++i)
        if (InRange(t[i].second)) {
          shown[p].push_back(t[i]);
          lastShown = i + 1;
        }
      rows = std::max(rows, shown[p].size() + (lastShown < t.size() ? 1 : 0));
    }
    out += "\r\n";
    if (maxRows > 0)
      rows = std::min(rows, size_t(maxRows));
    for (size_t r = 0; r < rows; ++r) {
      for (const auto& [p, t] : tables) {
        out += p == tables.begin()->first ? "" : "\t";
        const Table& s = shown[p];
        out += r < s.size() ? std::to_string(s[r].second) + "\t" + s[r].first : "\t";
      }
      out += "\r\n";
    }
    return out;
  }

  // Rank of a count among the tracked highest distinct counts.
  static int ReferenceRank(const Table& t, const std::string& word, int32_t limit)
  {
    std::set<int32_t, std::greater<>> counts;
    int32_t count = 0;
    for (const auto& [w, c] : t) {
      counts.insert(c);
      count = w == word ? c : count;
    }
    const auto at = std::distance(counts.begin(), counts.find(count));
    return count > 1 && at < limit ? int(at) : -1;
  }

  void ExpectRanks(const std::map<int, Table>& tables, int32_t limit)
  {
    for (int32_t i = 0; i < list_->Count(); ++i) {
      const TConcordItem& hit = *list_->GetItem(i);
      for (const auto& [p, t] : tables) {
        const int expected = hit.HasWord(p) ? ReferenceRank(t, Fold(std::string(hit.Word(p))), limit) : -1;
        ASSERT_EQ(hit.CollocRanks[size_t(p)], expected) << "hit " << i << " position " << p;
      }
    }
  }

  std::string Report(int32_t maxRows)
  {
    TStringTextSink sink;
    list_->WriteCollocationTable(sink, maxRows, "cat");
    return sink.Text();
  }


  std::vector<std::vector<std::string>> tokens_;
  std::unique_ptr<TConcordItems> list_;
};

class CollocateReport : public Collocates, public testing::WithParamInterface<Params> {};

TEST_P(CollocateReport, MatchesACountOfTheCorpusText)
{
  const Params& c = GetParam();
  FrequencySettings.CollocationSpan = c.Span;
  FrequencySettings.IgnoreCase = c.IgnoreCase;
  FrequencySettings.MinimumFrequency = c.MinFrequency;
  FrequencySettings.MaximumFrequency = c.MaxFrequency;
  GlobalStopList.SetActive(c.StopList);
  MakeCorpus(400, unsigned(c.Span * 7 + c.MaxRows));
  ASSERT_GT(list_->Count(), 60);

  list_->SetHighlightCollocates(true);
  const TCollocWindow w = CurrentCollocWindow();
  ASSERT_EQ(w.Last - w.First + 1, 2 * c.Span);
  ASSERT_TRUE(list_->HighlightCollocates);
  ASSERT_TRUE(list_->CollocTablesValid(w.First, w.Last));
  const auto reference = ReferenceTables(w.First, w.Last);
  EXPECT_EQ(Report(c.MaxRows), ReferenceReport(reference, c.MaxRows));
  ExpectRanks(reference, 5);

  // A new top limit re-ranks every hit.
  for (int p = w.First; p <= w.Last; ++p)
    list_->CollocTables[size_t(p)]->SetTopLimit(2);
  list_->RankAllCollocates();
  ExpectRanks(reference, 2);
}

INSTANTIATE_TEST_SUITE_P(Spans, CollocateReport,
                         testing::Values(Params{1, true, false, 0, 0, 0}, Params{4, false, false, 0, 0, 0},
                                         Params{4, true, true, 3, 0, 0}, Params{2, true, false, 2, 5, 10},
                                         Params{3, false, true, 1, 4, 0}, Params{4, true, false, 30, 0, 3}));

TEST_F(Collocates, SpanOneHeaderAndColumnsEmptyAtFileStarts)
{
  FrequencySettings.CollocationSpan = 1;
  Load({{"a.txt", "cat one"}, {"b.txt", "cat two"}});
  list_ = ListOf(Run(Request({"cat"})));
  list_->GenerateCollocation(ctx1L, ctx1R);
  EXPECT_EQ(Report(0), "Word: cat\r\n\r\n1-Left\t\t1-Right\r\n\t\t1\tone\r\n\t\t1\ttwo\r\n");
  EXPECT_EQ(list_->GetItem(0)->CollocRanks[ctx1R], -1);
}

TEST_F(Collocates, CancelLeavesNoTablesAndTheNextRequestGeneratesAnew)
{
  FrequencySettings.CollocationSpan = 2;
  MakeCorpus(3000, 5);
  ASSERT_GT(list_->Count(), 300);
  bridge.PressCancelAt(bridge.Pumps() + 2);  // the pump at hit 256
  EXPECT_THROW(list_->SetHighlightCollocates(true), EAbort);
  EXPECT_FALSE(list_->HighlightCollocates);
  for (const auto& table : list_->CollocTables)
    EXPECT_EQ(table, nullptr);
  EXPECT_THROW(Report(0), std::runtime_error);

  list_->SetHighlightCollocates(true);
  const auto reference = ReferenceTables(ctx2L, ctx2R);
  EXPECT_EQ(Report(0), ReferenceReport(reference, 0));
}

// A list long enough to be ranked in parts side by side: every hit's ranks
// are those of a recount.
TEST_F(Collocates, RanksOfALongListAgreeWithARecount)
{
  FrequencySettings.CollocationSpan = 4;
  MakeCorpus(40000, 3);
  ASSERT_GT(list_->Count(), 3 * 4096);
  list_->SetHighlightCollocates(true);
  ExpectRanks(ReferenceTables(ctx4L, ctx4R), 5);
}

TEST_F(Collocates, HitsAppendedAreCountedOnlyWhileHighlighting)
{
  FrequencySettings.CollocationSpan = 2;
  MakeCorpus(600, 9);
  auto all = Run(Request({"cat"}));
  const size_t early = all.size() / 2;
  const auto reference = ReferenceTables(ctx2L, ctx2R);
  for (bool highlighting : {true, false}) {
    SCOPED_TRACE(highlighting);
    all = Run(Request({"cat"}));
    list_ = std::make_unique<TConcordItems>();
    for (size_t i = 0; i < early; ++i)
      list_->AddItem(std::move(all[i]));
    if (highlighting)
      list_->SetHighlightCollocates(true);
    else
      list_->GenerateCollocation(ctx2L, ctx2R);
    for (size_t i = early; i < all.size(); ++i)
      list_->AddItem(std::move(all[i]));
    EXPECT_EQ(list_->CollocTablesValid(ctx2L, ctx2R), highlighting);
    if (!highlighting)
      list_->SetHighlightCollocates(true);  // generates anew over every hit
    for (int p = ctx2L; p <= ctx2R; ++p) {
      const THashStrings& t = *list_->CollocTables[size_t(p)];
      std::map<std::string, int32_t> counted;
      for (int32_t i = 0; i < t.Count(); ++i)
        counted[std::string(t.Strings(i))] = t.Counts(i);
      EXPECT_EQ(counted, (std::map<std::string, int32_t>(reference.at(p).begin(), reference.at(p).end()))) << p;
    }
  }
}

// Hits appended while highlighting are counted and ranked one by one: each
// new hit's ranks are those of its words' counts at that moment, by a
// running recount.
TEST_F(Collocates, HitsAppendedWhileHighlightingRankByTheRunningCount)
{
  FrequencySettings.CollocationSpan = 4;
  FrequencySettings.IgnoreCase = true;
  GlobalStopList.SetActive(true);
  MakeCorpus(1500, 21);
  auto all = Run(Request({"cat"}));
  list_ = std::make_unique<TConcordItems>();
  list_->SetHighlightCollocates(true);  // over no hits yet
  std::map<int, std::map<std::string, int32_t>> counts;
  std::map<int, std::map<int32_t, int32_t, std::greater<>>> wordsPerCount;
  for (size_t i = 0; i < all.size(); ++i) {
    list_->AddItem(std::move(all[i]));
    const TConcordItem& hit = *list_->GetItem(int32_t(i));
    for (int p = ctx4L; p <= ctx4R; ++p) {
      const std::string w = Fold(std::string(hit.Word(p)));
      if (!hit.HasWord(p) || w == "the" || w == "a") {
        ASSERT_EQ(hit.CollocRanks[size_t(p)], -1) << "hit " << i << " position " << p;
        continue;
      }
      auto& histogram = wordsPerCount[p];
      const int32_t c = ++counts[p][w];
      if (c > 1 && --histogram[c - 1] == 0)
        histogram.erase(c - 1);
      ++histogram[c];
      const auto above = std::distance(histogram.begin(), histogram.find(c));
      const int expected = c > 1 && above < 5 ? int(above) : -1;
      ASSERT_EQ(hit.CollocRanks[size_t(p)], expected) << "hit " << i << " position " << p;
    }
  }
  ASSERT_GT(list_->Count(), 100);
}

TEST_F(Collocates, ACollocateSeenOnceGetsNoRankWhateverTheLimit)
{
  FrequencySettings.CollocationSpan = 1;
  Load({{"a.txt", "one cat two. three cat four. five cat six"}});
  list_ = ListOf(Run(Request({"cat"})));
  ASSERT_EQ(list_->Count(), 3);
  list_->SetHighlightCollocates(true);
  ASSERT_TRUE(list_->CollocTablesValid(ctx1L, ctx1R));
  for (int32_t i = 0; i < list_->Count(); ++i)
    for (int p : {ctx1L, ctx1R})
      EXPECT_EQ(list_->GetItem(i)->CollocRanks[size_t(p)], -1) << "hit " << i << " position " << p;
}

TEST_F(Collocates, IgnoreCaseFoldsDoubleByteCodePageText)
{
  SetTextLanguage(0x411);  // Japanese, code page 932
  FrequencySettings.CollocationSpan = 1;
  FrequencySettings.IgnoreCase = true;
  Load({{"a.txt", "cat ABC cat abc cat Abc"}});
  list_ = ListOf(Run(Request({"cat"})));
  ASSERT_EQ(list_->Count(), 3);
  list_->GenerateCollocation(ctx1L, ctx1R);
  const THashStrings& right = *list_->CollocTables[ctx1R];
  ASSERT_EQ(right.Count(), 1);
  EXPECT_EQ(right.Strings(0), "abc");
  EXPECT_EQ(right.Counts(0), 3);
}

}  // namespace
