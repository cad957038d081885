// Collocate tables over a real search of a generated corpus, checked against
// a count written here from the corpus text itself: the report for every
// span with the frequency range and row limits, ranks, cancelling, and hits
// appended after the tables were made.
#include "search/collocates.h"

#include "foundation/abort.h"
#include "foundation/hash_strings.h"
#include "foundation/stop_list.h"
#include "foundation/text_sink.h"
#include "platform/codepage.h"
#include "search/concord_items.h"
#include "search_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
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

  // The words of the list's table at position p, with their counts.
  std::map<std::string, int32_t> TableWords(int p) const
  {
    const THashStrings& t = *list_->CollocTables[size_t(p)];
    std::map<std::string, int32_t> words;
    for (int32_t i = 0; i < t.Count(); ++i)
      words[std::string(t.Strings(i))] = t.Counts(i);
    return words;
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
    for (int p = ctx2L; p <= ctx2R; ++p)
      EXPECT_EQ(TableWords(p), (std::map<std::string, int32_t>(reference.at(p).begin(), reference.at(p).end()))) << p;
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

// Double-byte words are counted whole as collocates: 表 = 95 5C, whose
// trail byte is a delimiter.
TEST_F(Collocates, DoubleByteWordsAreWholeCollocates)
{
  SetTextLanguage(0x411);
  FrequencySettings.CollocationSpan = 1;
  const platform::CodePage& cp = platform::codePage(AnsiCodePage);
  std::u16string text;
  for (int i = 0; i < 5; ++i)
    text += u"表示 鍵 ソフト\r\n";
  Load({{"a.txt", platform::fromUtf16(cp, text)}});
  list_ = ListOf(Run(Request({platform::fromUtf16(cp, u"鍵")})));
  ASSERT_EQ(list_->Count(), 5);
  list_->GenerateCollocation(ctx1L, ctx1R);
  for (const auto& [slot, word] : {std::pair{ctx1L, u"表示"}, std::pair{ctx1R, u"ソフト"}}) {
    const THashStrings& table = *list_->CollocTables[size_t(slot)];
    ASSERT_EQ(table.Count(), 1) << slot;
    EXPECT_EQ(table.Strings(0), platform::fromUtf16(cp, word));
    EXPECT_EQ(table.Counts(0), 5);
  }
}

// Hits made directly, with words drawn from a skewed vocabulary of short,
// 8-byte, long and mixed-case words (so lookups compare past the first 8
// bytes and ignoring case folds), a stop word among them.
class CollocatesOfMadeHits : public Collocates {
protected:
  // n words; when distinct, no two fold to the same word.
  void MakeVocabulary(size_t n, unsigned seed, bool distinct = false)
  {
    std::mt19937 random(seed);
    vocabulary_ = {"the", "The", "a"};
    std::set<std::string> folded;
    while (vocabulary_.size() < n) {
      // Distinct words are never shorter than 7 bytes, so there are enough.
      constexpr size_t Lengths[] = {1, 3, 7, 8, 12, 30};
      const size_t length = distinct ? Lengths[2 + random() % 4] : Lengths[random() % 6];
      std::string w;
      for (size_t i = 0; i < length; ++i)
        w += char((random() % 3 == 0 ? 'A' : 'a') + random() % 4);
      if (!distinct || folded.insert(Fold(w)).second)
        vocabulary_.push_back(w);
    }
  }
  // Words drawn skewed towards the first of the vocabulary, or evenly.
  std::unique_ptr<TConcordItem> MakeHit(std::mt19937& random, bool evenly = false) const
  {
    auto hit = std::make_unique<TConcordItem>();
    hit->HitStart = 1000;
    hit->HitEnd = 1003;
    std::array<TConcordItem::TWordEntry, TConcordItem::SlotCount> words;
    words[0] = {true, "cat", 0, 0};
    // Each side stops at a random point, as at the start or end of a file.
    const int left = int(random() % 6), right = int(random() % 6);
    for (int p = 1; p < TConcordItem::SlotCount; ++p) {
      const int distance = p <= ctx1L ? ctx1L - p + 1 : p - ctx1L;
      if (distance > (p <= ctx1L ? left : right))
        continue;
      const size_t r = random() % vocabulary_.size();
      const size_t k = evenly ? r : std::min(r, random() % vocabulary_.size());
      const int32_t at = p <= ctx1L ? 1000 - 40 * distance : 1003 + 40 * distance;
      words[size_t(p)] = {true, vocabulary_[k], at, at + int32_t(vocabulary_[k].size())};
    }
    hit->SetWords(words);
    return hit;
  }
  // A running recount: per position each word's count, and the number of
  // words per count (highest first), whose place is a count's rank.
  struct Counts {
    std::map<int, std::map<std::string, int32_t>> words;
    std::map<int, std::map<int32_t, int32_t, std::greater<>>> perCount;
  };
  std::array<int8_t, TConcordItem::SlotCount> RanksOf(const TConcordItem& hit, const Counts& counts,
                                                     int32_t limit) const
  {
    std::array<int8_t, TConcordItem::SlotCount> ranks;
    ranks.fill(-1);
    for (int p = ctx4L; p <= ctx4R; ++p) {
      if (!hit.HasWord(p) || !counts.words.count(p))
        continue;
      const auto& table = counts.words.at(p);
      const auto it = table.find(Fold(std::string(hit.Word(p))));
      if (it == table.end() || it->second <= 1)
        continue;
      const auto& perCount = counts.perCount.at(p);
      const auto above = std::distance(perCount.begin(), perCount.find(it->second));
      ranks[size_t(p)] = above < limit ? int8_t(above) : int8_t(-1);
    }
    return ranks;
  }
  void Count(const TConcordItem& hit, Counts& counts) const
  {
    for (int p = ctx4L; p <= ctx4R; ++p) {
      if (!hit.HasWord(p))
        continue;
      const std::string w = Fold(std::string(hit.Word(p)));
      if (GlobalStopList.Active() && GlobalStopList.IsFoldedStopWord(w))
        continue;
      auto& perCount = counts.perCount[p];
      const int32_t c = ++counts.words[p][w];
      if (c > 1 && --perCount[c - 1] == 0)
        perCount.erase(c - 1);
      ++perCount[c];
    }
  }

  std::vector<std::string> vocabulary_;
};

// Readers coming at any moment, with any number of hits appended since the
// last, see every hit's ranks as if each had been counted and ranked as it
// arrived (a running recount); so do re-rankings, deletions and the tables.
TEST_F(CollocatesOfMadeHits, ReadersAtAnyMomentSeeTheRanksOfCountingEachHitAsItArrives)
{
  FrequencySettings.CollocationSpan = 4;
  for (unsigned seed = 1; seed <= 6; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 random(seed);
    FrequencySettings.IgnoreCase = seed % 2 == 0;
    FrequencySettings.CollocHighliteFirst = int32_t(1 + random() % 8);
    GlobalStopList.SetActive(seed % 3 != 0);
    MakeVocabulary(40 + 60 * seed, seed);
    list_ = std::make_unique<TConcordItems>();
    list_->SetHighlightCollocates(true);
    const int32_t limit = FrequencySettings.CollocHighliteFirst;
    Counts counts;
    std::vector<std::array<int8_t, TConcordItem::SlotCount>> expected;
    // The tables count a new hit while they have counted every hit of the
    // list and no other: not after a deletion, until they are made anew.
    bool valid = true;
    for (int i = 0; i < 2500; ++i) {
      auto hit = MakeHit(random);
      if (valid) {
        Count(*hit, counts);
        expected.push_back(RanksOf(*hit, counts, limit));
      } else {
        expected.emplace_back().fill(-1);
      }
      list_->AddItem(std::move(hit));
      const unsigned action = random() % 100;
      if (action < 10) {
        const auto j = int32_t(random() % expected.size());
        ASSERT_EQ(list_->GetItem(j)->CollocRanks, expected[size_t(j)]) << "hit " << j << " after " << i;
      } else if (action < 12) {
        list_->RankAllCollocates();  // nothing while the tables are not valid
        for (int32_t j = 0; j < list_->Count() && valid; ++j)
          expected[size_t(j)] = RanksOf(*list_->GetItem(j), counts, limit);
      } else if (action < 14) {
        ASSERT_EQ(list_->CollocTablesValid(ctx4L, ctx4R), valid);
        for (int p = ctx4L; p <= ctx4R; ++p)
          ASSERT_EQ(TableWords(p), counts.words[p]) << "position " << p << " after " << i;
      } else if (action == 14) {
        // The tables keep the deleted hit's words.
        const auto j = int32_t(random() % expected.size());
        list_->DeleteItem(j);
        expected.erase(expected.begin() + j);
        valid = false;
      } else if (action == 15 && !valid) {
        // Switching highlighting off and on again makes the tables anew.
        list_->SetHighlightCollocates(false);
        list_->SetHighlightCollocates(true);
        valid = true;
        counts = Counts{};
        for (int32_t j = 0; j < list_->Count(); ++j)
          Count(*list_->GetItem(j), counts);
        for (int32_t j = 0; j < list_->Count(); ++j)
          expected[size_t(j)] = RanksOf(*list_->GetItem(j), counts, limit);
      }
    }
    ASSERT_EQ(list_->Count(), int32_t(expected.size()));
    for (int32_t j = 0; j < list_->Count(); ++j)
      ASSERT_EQ(list_->GetItem(j)->CollocRanks, expected[size_t(j)]) << "hit " << j;
  }
}

// Hits deleted (or one replaced) while more are being appended with
// highlighting on, as from a running search: the tables are never taken as
// valid unless they hold the counts of exactly the list's hits, and once
// made anew (as the collocation window does when they are not valid) they do.
TEST_F(CollocatesOfMadeHits, AHitAppendedAfterADeletionLeavesNoTablesThatLookValid)
{
  FrequencySettings.CollocationSpan = 3;
  FrequencySettings.CollocHighliteFirst = 4;
  MakeVocabulary(30, 5);
  for (int way = 0; way < 4; ++way) {
    SCOPED_TRACE(way);
    std::mt19937 random(unsigned(40 + way));
    list_ = std::make_unique<TConcordItems>();
    list_->SetHighlightCollocates(true);
    const auto expectTrueCounts = [&] {
      Counts counts;
      for (int32_t j = 0; j < list_->Count(); ++j)
        Count(*list_->GetItem(j), counts);
      for (int p = ctx3L; p <= ctx3R; ++p)
        ASSERT_EQ(TableWords(p), counts.words[p]) << "position " << p;
    };
    for (int i = 0; i < 60; ++i)
      list_->AddItem(MakeHit(random));
    if (way == 0)
      list_->DeleteItem(7);
    else if (way == 1)
      list_->DeleteItemsIf([](int32_t index, const TConcordItem&) { return index % 9 == 2; });
    else if (way == 2)
      list_->DeleteItems({3, 30});
    else
      list_->PutItem(12, MakeHit(random));
    for (int i = 0; i < 3; ++i) {
      list_->AddItem(MakeHit(random));
      if (list_->CollocTablesValid(ctx3L, ctx3R))
        expectTrueCounts();
    }
    if (!list_->CollocTablesValid(ctx3L, ctx3R))
      list_->GenerateCollocation(ctx3L, ctx3R);
    ASSERT_TRUE(list_->CollocTablesValid(ctx3L, ctx3R));
    expectTrueCounts();
  }
}

// Re-ranking every hit looks words up among each table's ranked words, or
// in the whole table when those are many: both agree with a recount, for
// every top limit, with long words and ties.
TEST_F(CollocatesOfMadeHits, ReRankingEveryHitAgreesWithARecount)
{
  FrequencySettings.CollocationSpan = 4;
  for (unsigned seed = 1; seed <= 5; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 random(seed);
    FrequencySettings.IgnoreCase = seed % 2 == 1;
    GlobalStopList.SetActive(seed % 2 == 0);
    // The last runs draw so many words a few times each that, with many
    // counts tracked, a table has thousands of ranked words.
    const bool many = seed > 3;
    MakeVocabulary(many ? 6000 : 200 * seed, seed, many);
    list_ = std::make_unique<TConcordItems>();
    Counts counts;
    for (int i = 0; i < (many ? 20000 : 3000); ++i) {
      auto hit = MakeHit(random, many);
      Count(*hit, counts);
      list_->AddItem(std::move(hit));
    }
    for (int32_t limit : {1, 3, 32}) {
      SCOPED_TRACE(limit);
      FrequencySettings.CollocHighliteFirst = limit;
      list_->SetHighlightCollocates(false);
      list_->FreeCollocTables();
      list_->SetHighlightCollocates(true);
      for (int32_t j = 0; j < list_->Count(); ++j)
        ASSERT_EQ(list_->GetItem(j)->CollocRanks, RanksOf(*list_->GetItem(j), counts, limit)) << "hit " << j;
    }
  }
}

// A word lower-cased and keyed in one pass has the key, and the bytes, of
// the word lower-cased byte by byte first and then keyed; with the table's
// own code page (whose ASCII blocks skip the table) and with another.
TEST(CollocateKeys, LoweredKeysEqualTheKeysOfWordsLowerCasedFirst)
{
  std::mt19937 random(7);
  const platform::CodePage& page = platform::codePage(1252);
  for (const int32_t lcid : {0x409, 0x419}) {  // code pages 1252 and 1251
    SCOPED_TRACE(lcid);
    THashStrings table(256, lcid);
    table.FoldCase = false;
    for (int i = 0; i < 3000; ++i) {
      std::string word(random() % 40, ' ');
      const bool ascii = random() % 2 == 0;
      for (char& c : word)
        c = char(ascii ? 'A' + random() % 58 : 0x20 + random() % 224);
      std::string lowered = word;
      for (char& c : lowered)
        c = char(page.lower[static_cast<unsigned char>(c)]);
      alignas(8) char expectedBytes[64], bytes[64];
      THashStrings::Key expected, key;
      ASSERT_TRUE(table.MakeKey(lowered, expectedBytes, expected));
      ASSERT_TRUE(table.MakeLoweredKey(word, page, bytes, key));
      ASSERT_EQ(std::string_view(key.data, key.length), std::string_view(expected.data, expected.length)) << word;
      ASSERT_EQ(key.hash, expected.hash) << word;
      ASSERT_EQ(key.head, expected.head) << word;
    }
    table.FoldCase = true;
    alignas(8) char bytes[64];
    THashStrings::Key key;
    EXPECT_FALSE(table.MakeLoweredKey("Word", page, bytes, key));  // the table folds for itself
  }
  THashStrings japanese(256, 0x411);
  japanese.FoldCase = false;
  alignas(8) char bytes[64];
  THashStrings::Key key;
  EXPECT_FALSE(japanese.MakeLoweredKey("Word", platform::codePage(932), bytes, key));
}

}  // namespace
