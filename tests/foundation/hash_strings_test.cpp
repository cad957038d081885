#include "foundation/hash_strings.h"

#include "platform/codepage.h"
#include "platform/collator.h"
#include "platform/winlocale.h"
#include "platform/safe_write.h"
#include "support/scratch_folder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

using testsupport::ScratchFolder;

namespace {

std::string le32(int32_t v)
{
  const auto u = static_cast<uint32_t>(v);
  return std::string{char(u & 0xFF), char((u >> 8) & 0xFF), char((u >> 16) & 0xFF), char(u >> 24)};
}

std::string frequencyFile(int32_t n, const std::vector<std::pair<std::string, int32_t>>& items)
{
  std::string s = "HSTR" + le32(1) + le32(n);
  for (const auto& [w, c] : items)
    s += le32(static_cast<int32_t>(w.size())) + w + le32(c);
  return s;
}

std::vector<std::pair<int32_t, int32_t>> topList(const THashStrings& t)
{
  std::vector<std::pair<int32_t, int32_t>> out;
  for (int32_t i = 0; i < t.TopUsed(); ++i)
    out.push_back(t.TopCount(i));
  return out;
}

void addTimes(THashStrings& t, const std::string& w, int n)
{
  for (int i = 0; i < n; ++i)
    t.Add(w, true);
}

using Pairs = std::vector<std::pair<int32_t, int32_t>>;

}  // namespace

TEST(HashStringsTest, FoldingDecidesWhetherCaseVariantsAreOneItem)
{
  THashStrings folded(4096, 0x409);
  folded.Add("Dog", true);
  folded.Add("dog", true);
  folded.Add("DOG", true);
  ASSERT_EQ(folded.Count(), 1);
  EXPECT_EQ(folded.Strings(0), "dog");
  EXPECT_EQ(folded.CountOf("dOg"), 3);

  THashStrings exact(4096, 0x409);
  exact.FoldCase = false;
  exact.Add("Dog", true);
  exact.Add("dog", true);
  EXPECT_EQ(exact.Count(), 2);
  EXPECT_EQ(exact.CountOf("Dog"), 1);
  EXPECT_EQ(exact.CountOf("DOG"), 0);
}

TEST(HashStringsTest, DistinctBytesAreNeverMergedAndCountsSurviveGrowth)
{
  THashStrings t(16, 0x409);
  t.FoldCase = false;
  std::map<std::string, int32_t> expected;
  // Words that a locale order might call equal, plus enough others to force
  // the index to grow many times.
  const std::vector<std::string> lookalikes = {"coop", "co-op", "co'op", "Coop", "", std::string("a\0b", 3),
                                               "a"};
  for (int round = 0; round < 3; ++round)
    for (const auto& w : lookalikes) {
      t.Add(w, true);
      ++expected[w];
    }
  for (int i = 0; i < 20000; ++i) {
    const std::string w = "w" + std::to_string(i % 7001) + std::string(i % 23, 'x');
    t.Add(w, true);
    ++expected[w];
  }
  ASSERT_EQ(t.Count(), static_cast<int32_t>(expected.size()));
  for (const auto& [w, c] : expected)
    EXPECT_EQ(t.CountOf(w), c) << w;
  int64_t total = 0;
  for (int32_t i = 0; i < t.Count(); ++i)
    total += t.Counts(i);
  EXPECT_EQ(total, 20000 + 3 * static_cast<int64_t>(lookalikes.size()));
}

TEST(HashStringsTest, SortingReordersTheMasterListAndLookupsStillWork)
{
  THashStrings t(4096, 0x409);
  t.FoldCase = false;
  addTimes(t, "pear", 2);
  addTimes(t, "apple", 5);
  addTimes(t, "fig", 2);
  addTimes(t, "Zebra", 1);
  addTimes(t, "date", 2);

  t.Sort(THashStrings::ssByCount);
  std::vector<std::string> byCount;
  for (int32_t i = 0; i < t.Count(); ++i)
    byCount.emplace_back(t.Strings(i));
  // Highest first; equal counts keep their insertion order.
  EXPECT_EQ(byCount, (std::vector<std::string>{"apple", "pear", "fig", "date", "Zebra"}));

  t.Sort(THashStrings::ssByWord);
  std::vector<std::string> byWord;
  for (int32_t i = 0; i < t.Count(); ++i)
    byWord.emplace_back(t.Strings(i));
  EXPECT_EQ(byWord.front(), "apple");
  EXPECT_EQ(std::set<std::string>(byWord.begin(), byWord.end()).size(), 5u);

  EXPECT_EQ(t.CountOf("fig"), 2);
  t.Add("fig", true);
  EXPECT_EQ(t.CountOf("fig"), 3);
  EXPECT_EQ(t.SortState(), THashStrings::ssUnsorted);  // every add unsorts
  t.Sort(THashStrings::ssByWord);
  t.Add("kiwi", false);  // inserted with zero
  t.AddCount("fig", 0);
  EXPECT_EQ(t.SortState(), THashStrings::ssUnsorted);
  EXPECT_EQ(t.CountOf("kiwi"), 0);
  EXPECT_EQ(t.CountOf("fig"), 3);
  EXPECT_EQ(t.Count(), 6);
}

// Sorting by count against a stable sort of the words as they came: narrow
// counts (zero and negative among them) and counts spread far apart.
class HashStringsByCount : public ::testing::TestWithParam<int32_t> {};

TEST_P(HashStringsByCount, EqualsAStableSortOfTheInsertionOrder)
{
  std::mt19937 rng(GetParam());
  THashStrings t(4096, 0x409);
  std::vector<std::pair<std::string, int32_t>> added;  // first-come order, summed counts
  std::map<std::string, size_t> at;
  for (int i = 0; i < 3000; ++i) {
    const std::string word = "w" + std::to_string(rng() % 1500);
    const int32_t n = int32_t(rng() % 7) - 2 + (rng() % 50 == 0 ? GetParam() : 0);
    const auto [it, fresh] = at.emplace(word, added.size());
    if (fresh)
      added.emplace_back(word, 0);
    added[it->second].second += n;
    t.AddCount(word, n);
  }
  std::stable_sort(added.begin(), added.end(), [](const auto& a, const auto& b) { return a.second > b.second; });
  t.Sort(THashStrings::ssByCount);
  ASSERT_EQ(t.Count(), int32_t(added.size()));
  for (int32_t i = 0; i < t.Count(); ++i) {
    EXPECT_EQ(t.Strings(i), added[size_t(i)].first) << i;
    EXPECT_EQ(t.Counts(i), added[size_t(i)].second) << i;
    EXPECT_EQ(t.CountOf(added[size_t(i)].first), added[size_t(i)].second) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Spreads, HashStringsByCount, ::testing::Values(0, 1000, 100000000));

// A table large enough to be keyed in several parts sorts exactly as the
// collating comparison orders its words.
TEST(HashStringsTest, LargeTableSortsInCollationOrder)
{
  THashStrings t(4096, 0x409);
  t.FoldCase = false;
  std::mt19937 random(5);
  for (int i = 0; i < 30000; ++i) {
    std::string word;
    for (int n = 1 + int(random() % 7); n > 0; --n)
      word += "aAbB-'ez\xe9"[random() % 9];
    t.Add(word, true);
  }
  t.Sort(THashStrings::ssByWord);
  for (int32_t i = 1; i < t.Count(); ++i)
    ASSERT_LT(platform::compareText(0x409, t.Strings(i - 1), t.Strings(i), false), 0) << i;
}

TEST(HashStringsTest, TopCountsAreTheHighestDistinctCounts)
{
  THashStrings t(4096, 0x409);
  t.SetTopLimit(2);
  addTimes(t, "a", 5);
  addTimes(t, "b", 5);
  addTimes(t, "c", 3);
  addTimes(t, "d", 2);
  EXPECT_EQ(topList(t), (Pairs{{5, 2}, {3, 1}}));
  EXPECT_EQ(t.IndexOfTopCount(3), 1);
  EXPECT_EQ(t.IndexOfTopCount(2), -1);

  t.Add("c", true);  // 3 -> 4 replaces 3 by 4
  EXPECT_EQ(topList(t), (Pairs{{5, 2}, {4, 1}}));

  // A word joining a tracked count empties its old pair; the next lower
  // count takes the free place.
  t.Add("c", true);  // 4 -> 5
  EXPECT_EQ(topList(t), (Pairs{{5, 3}, {2, 1}}));

  t.SetTopLimit(100);
  EXPECT_EQ(t.TopLimit(), 32);
  t.SetTopLimit(1);
  EXPECT_EQ(topList(t), (Pairs{{5, 3}}));
  t.SetTopLimit(3);  // a larger limit rebuilds from all items
  EXPECT_EQ(topList(t), (Pairs{{5, 3}, {2, 1}}));
  t.Add("new", false);
  EXPECT_EQ(t.IndexOfTopCount(0), -1);

  // Counted before any limit: setting one rebuilds from all items.
  THashStrings late(4096, 0x409);
  for (int i = 1; i <= 40; ++i)
    late.AddCount("w" + std::to_string(i), i);
  EXPECT_EQ(late.TopUsed(), 0);
  late.SetTopLimit(32);
  ASSERT_EQ(late.TopUsed(), 32);
  EXPECT_EQ(late.TopCount(0), std::make_pair(40, 1));
  EXPECT_EQ(late.TopCount(31), std::make_pair(9, 1));
  late.Clear();
  EXPECT_EQ(late.TopUsed(), 0);
}

// The tracked counts kept as counts change, against a recount of the items:
// small and very large counts, counts that fall back to zero, every limit.
TEST(HashStringsTest, TrackedCountsAgreeWithARecount)
{
  std::mt19937 rng(5);
  for (int32_t limit : {1, 3, 32}) {
    THashStrings t(4096, 0x409);
    t.SetTopLimit(limit);
    for (int step = 0; step < 3000; ++step) {
      const std::string word = "w" + std::to_string(rng() % 60);
      const int32_t jump = rng() % 50 == 0 ? 70000 : rng() % 4 == 0 ? 300 : 1;
      const int32_t n = rng() % 5 == 0 && t.CountOf(word) >= jump ? -jump : jump;
      t.AddCount(word, n);
      if (step % 7 != 0)
        continue;
      std::map<int32_t, int32_t, std::greater<>> recount;
      for (int32_t i = 0; i < t.Count(); ++i)
        if (t.Counts(i) > 0)
          ++recount[t.Counts(i)];
      Pairs expected(recount.begin(), recount.end());
      expected.resize(std::min<size_t>(expected.size(), size_t(limit)));
      ASSERT_EQ(topList(t), expected) << "step " << step;
      for (int32_t i = 0; i < t.Count(); ++i) {
        const auto rank = std::find_if(expected.begin(), expected.end(),
                                       [&](const auto& e) { return e.first == t.Counts(i); }) - expected.begin();
        EXPECT_EQ(t.IndexOfTopCount(t.Counts(i)), rank < int(expected.size()) ? int(rank) : -1);
      }
    }
  }
}

TEST(HashStringsTest, SavedFileHasTheDocumentedBytes)
{
  ScratchFolder dir;
  THashStrings t(4096, 0x409);
  t.AddCount("abc", 7);
  const std::string name = dir.file("one.frq");
  t.SaveToFile(name);
  const std::string expected = std::string("HSTR") + le32(1) + le32(1) + le32(3) + "abc" + le32(7);
  EXPECT_EQ(testsupport::readFile(name), expected);
}

TEST(HashStringsTest, FileRoundTripKeepsOrderCutsLongWordsAndSumsDuplicates)
{
  ScratchFolder dir;
  THashStrings t(4096, 0x409);
  t.FoldCase = false;
  const std::string longWord(300, 'q');
  t.AddCount("zeta", 3);
  t.AddCount(longWord, 2);
  t.AddCount("Alpha", 9);
  t.AddCount(std::string("n\0l\xE9", 4), 1);
  const std::string name = dir.file("round.frq");
  t.SaveToFile(name);

  THashStrings back(4096, 0x409);
  back.FoldCase = false;
  back.AddCount("stale", 1);
  back.LoadFromFile(name);
  ASSERT_EQ(back.Count(), 4);
  EXPECT_EQ(back.Strings(0), "zeta");
  EXPECT_EQ(back.Strings(1), std::string(255, 'q'));
  EXPECT_EQ(back.Strings(2), "Alpha");
  EXPECT_EQ(back.Strings(3), std::string("n\0l\xE9", 4));
  EXPECT_EQ(back.CountOf("stale"), 0);

  // In a double-byte code page the cut falls between characters: 表 = 95 5C.
  std::string kanji;
  for (int i = 0; i < 150; ++i)
    kanji += "\x95\x5C";
  THashStrings japanese(4096, 0x411);
  japanese.AddCount(kanji, 1);
  japanese.SaveToFile(name);
  THashStrings kanjiBack(4096, 0x411);
  kanjiBack.LoadFromFile(name);
  ASSERT_EQ(kanjiBack.Count(), 1);
  EXPECT_EQ(kanjiBack.Strings(0), kanji.substr(0, 254));

  // Loading folds like Add: two spellings and a repeat become one item.
  const std::string dup = dir.write("dup.frq", frequencyFile(3, {{"Word", 2}, {"word", 5}, {"WORD", 1}}));
  THashStrings folded(4096, 0x409);
  folded.LoadFromFile(dup);
  ASSERT_EQ(folded.Count(), 1);
  EXPECT_EQ(folded.CountOf("word"), 8);
}

TEST(HashStringsTest, DamagedFrequencyFilesAreRejectedAndLeaveTheTableEmpty)
{
  ScratchFolder dir;
  const std::string good = frequencyFile(2, {{"ab", 1}, {"cd", 2}});
  struct Case {
    const char* what;
    std::string bytes;
  };
  std::string badLength = "HSTR" + le32(1) + le32(1) + le32(256) + std::string(256, 'x') + le32(1);
  const std::vector<Case> cases = {
    {"bad magic", "HSTX" + good.substr(4)},
    {"other version", "HSTR" + le32(2) + good.substr(8)},
    {"empty", ""},
    {"short header", "HSTR" + le32(1)},
    {"negative n", "HSTR" + le32(1) + le32(-1)},
    {"n too large", frequencyFile(3, {{"ab", 1}, {"cd", 2}})},
    {"length above 255", badLength},
    {"negative length", "HSTR" + le32(1) + le32(1) + le32(-3) + le32(1)},
    {"negative count", frequencyFile(1, {{"ab", -1}})},
    {"cut inside a word", good.substr(0, good.size() - 6)},
    {"cut inside a count", good.substr(0, good.size() - 2)},
    {"bytes after the last item", good + "x"},
  };
  for (const auto& c : cases) {
    const std::string name = dir.write("bad.frq", c.bytes);
    THashStrings t(4096, 0x409);
    t.Add("kept", true);
    try {
      t.LoadFromFile(name);
      ADD_FAILURE() << c.what << ": no exception";
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()), "Invalid frequency file: " + name) << c.what;
    }
    EXPECT_EQ(t.Count(), 0) << c.what;
  }

  THashStrings t(4096, 0x409);
  const std::string missing = dir.file("missing.frq");
  try {
    t.LoadFromFile(missing);
    ADD_FAILURE() << "missing file loaded";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to open file: " + missing + ".");
  }

  // Only regular files: /dev/zero would be read until memory ran out, and a
  // FIFO without a writer would block.
  const std::string fifo = dir.file("fifo.frq");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& name : {std::string("/dev/zero"), fifo}) {
    try {
      t.LoadFromFile(name);
      ADD_FAILURE() << name << " loaded";
    } catch (const std::runtime_error& e) {
      EXPECT_EQ(std::string(e.what()), "Invalid frequency file: " + name);
    }
  }
}

TEST(HashStringsTest, FailedSaveRaisesAndKeepsTheOldFile)
{
  ScratchFolder dir;
  const std::string name = dir.write("keep.frq", "old bytes");
  THashStrings t(4096, 0x409);
  t.AddCount("abc", 7);
  platform::setWriteFaultHook([](int) { return false; });
  EXPECT_THROW(t.SaveToFile(name), std::runtime_error);
  platform::setWriteFaultHook(nullptr);
  EXPECT_EQ(testsupport::readFile(name), "old bytes");
  EXPECT_EQ(dir.names(), std::vector<std::string>{"keep.frq"});
}

TEST(HashStringsTest, BatchedAddingGivesTheSameTableAsAdd)
{
  std::vector<std::string> words;
  for (int i = 0; i < 5000; ++i)
    words.push_back((i % 3 ? "W" : "w") + std::to_string(i % 777) + std::string(size_t(i % 70), 'z'));
  words.push_back(std::string(5000, 'Q'));  // longer than a whole batch buffer
  words.push_back("");
  words.push_back(std::string("\x82\xA0\x82\x60", 4));  // double-byte text in code page 932
  for (int32_t lcid : {0x409, 0x411}) {
    for (bool fold : {true, false}) {
      THashStrings one(4096, lcid), batched(4096, lcid);
      one.FoldCase = batched.FoldCase = fold;
      for (const auto& w : words)
        one.Add(w, true);
      std::vector<std::string_view> views(words.begin(), words.end());
      batched.AddWords(views.data(), views.size());
      ASSERT_EQ(batched.Count(), one.Count());
      for (int32_t i = 0; i < one.Count(); ++i) {
        EXPECT_EQ(batched.Strings(i), one.Strings(i));
        EXPECT_EQ(batched.Counts(i), one.Counts(i));
      }
    }
  }
}

TEST(HashStringsTest, WordBatchKeepsTheOrderOfFirstSightAcrossItsGroups)
{
  // Random words of random lengths, with words too long for a group and
  // double-byte text scattered among them, so groups close early and whole
  // batches are counted in between: the master list must come out in the
  // order Add one word at a time gives.
  std::mt19937 random(11);
  std::vector<std::string> words;
  for (int i = 0; i < 20000; ++i) {
    const uint32_t kind = random() % 500;
    if (kind == 0)
      words.push_back(std::string(1000 + random() % 3000, char('a' + random() % 3)));
    else if (kind == 1)
      words.push_back(std::string("\x82\xA0\x82", 3) + char(0x40 + random() % 4));
    else {
      std::string w(1 + random() % (random() % 8 ? 12 : 70), ' ');
      for (char& c : w)
        c = char(random() % 4 ? 'A' + random() % 6 : 0xC0 + random() % 64);
      words.push_back(w);
    }
  }
  for (int32_t lcid : {0x409, 0x411}) {
    THashStrings one(4096, lcid), batched(4096, lcid);
    for (const auto& w : words)
      one.Add(w, true);
    {
      TWordBatch batch(batched);
      for (size_t i = 0; i < words.size(); ++i) {
        batch.Add(words[i]);
        if (i % 7919 == 0)
          batch.Flush();
      }
    }
    ASSERT_EQ(batched.Count(), one.Count());
    for (int32_t i = 0; i < one.Count(); ++i) {
      ASSERT_EQ(batched.Strings(i), one.Strings(i)) << i;
      ASSERT_EQ(batched.Counts(i), one.Counts(i)) << i;
    }
  }
}

TEST(HashStringsTest, EveryWordLengthKeepsItsExactFoldedBytes)
{
  // Words of every length a block boundary can fall in, each in a heap block
  // of exactly its size (so a read past either end is caught under the
  // sanitizers), in upper case, with an accented letter, and with only the
  // last byte different.
  struct Word {
    std::unique_ptr<char[]> bytes;
    size_t size;
    std::string_view view() const { return {bytes.get(), size}; }
  };
  std::vector<Word> words;
  std::map<std::string, int32_t> expected;  // folded word -> count
  const auto add = [&](const std::string& text, const std::string& folded) {
    Word w{std::make_unique<char[]>(text.size()), text.size()};
    std::copy(text.begin(), text.end(), w.bytes.get());
    words.push_back(std::move(w));
    ++expected[folded];
  };
  const std::string letters = "abcdefghijklmnopqrstuvwxyzabcdefghijklmn";
  for (size_t n = 0; n <= 40; ++n) {
    const std::string lower = letters.substr(0, n);
    std::string upper = lower;
    for (char& c : upper)
      c = char(c - 32);
    add(lower, lower);
    add(upper, lower);
    if (n > 0) {
      add(lower.substr(0, n - 1) + "\xC9", lower.substr(0, n - 1) + "\xE9");  // E acute, code page 1252
      add(lower.substr(0, n - 1) + "\xE9", lower.substr(0, n - 1) + "\xE9");
      add(lower.substr(0, n - 1) + "0", lower.substr(0, n - 1) + "0");
      add(upper.substr(0, n - 1) + std::string(1, '\0'), lower.substr(0, n - 1) + std::string(1, '\0'));
    }
  }
  THashStrings batched(4096, 0x409), single(4096, 0x409);
  {
    TWordBatch batch(batched);
    for (const Word& w : words)
      batch.Add(w.view());
  }
  for (const Word& w : words)
    single.Add(w.view(), true);
  for (const THashStrings* t : {&batched, &single}) {
    std::map<std::string, int32_t> got;
    for (int32_t i = 0; i < t->Count(); ++i)
      got[std::string(t->Strings(i))] = t->Counts(i);
    EXPECT_EQ(got, expected);
    for (const auto& [word, count] : expected)
      EXPECT_EQ(t->CountOf(word), count) << word.size();
  }
}

TEST(HashStringsTest, WordCounterAgreesWithARecountInTheOrderOfFirstSight)
{
  // Random words around every block length, with upper case, high bytes,
  // NULs, double-byte pairs, empty words, long words alike in their first
  // bytes and words longer than the counter's whole block, handed over in
  // runs of random length, padded or not; against a plain map of the words
  // folded whole by the code page, in the order they were first seen.
  std::mt19937 random(5);
  std::vector<std::string> words;
  for (int i = 0; i < 30000; ++i) {
    const uint32_t kind = random() % 1000;
    if (kind == 0) {
      const size_t length = random() % 2 ? 17000 + random() % 3000 : 2600 + random() % 2000;
      words.push_back(std::string(length, char('A' + random() % 3)));
      continue;
    }
    if (kind == 1) {
      words.emplace_back();
      continue;
    }
    if (kind < 100) {  // long words that differ only after their first 8 or 16 bytes
      std::string w = kind % 2 ? "Prefixed" : "prefixed-and-more";
      for (size_t n = 1 + random() % 3; n > 0; --n)
        w += char('a' + random() % 3);
      words.push_back(w);
      continue;
    }
    std::string w(1 + random() % (random() % 6 ? 10 : 70), ' ');
    for (char& c : w) {
      const uint32_t k = random() % 20;
      c = k < 12 ? char('a' + random() % 4) : k < 16 ? char('A' + random() % 4) : k < 19 ? char(0xC0 + random() % 64)
                                                                                       : char(random() % 2 ? 0 : 0x82);
    }
    words.push_back(w);
  }
  for (int32_t lcid : {0x409, 0x419, 0x411}) {
    const platform::CodePage& cp = platform::codePage(platform::ansiCodePage(uint16_t(lcid)));
    for (bool fold : {true, false}) {
      std::map<std::string, int64_t> counts;
      std::vector<std::string> order;
      for (const std::string& w : words) {
        const std::string key = fold ? platform::lowerText(cp, w) : w;
        if (counts[key]++ == 0)
          order.push_back(key);
      }
      THashStrings table(4096, lcid);
      table.FoldCase = fold;
      TWordCounter counter(table);
      for (size_t i = 0; i < words.size();) {
        // Every other run from a padded buffer: each word followed by 16
        // bytes that are no part of it.
        const bool padded = random() % 2;
        std::vector<std::string_view> run;
        std::string storage;
        std::vector<size_t> starts;
        for (size_t n = 1 + random() % 100; n > 0 && i < words.size(); --n) {
          run.push_back(words[i]);
          starts.push_back(storage.size());
          storage += words[i++];
          for (int junk = 0; junk < 16; ++junk)
            storage += char(random());
        }
        if (padded) {
          for (size_t k = 0; k < run.size(); ++k)
            run[k] = std::string_view(storage.data() + starts[k], run[k].size());
          counter.AddPadded(run.data(), run.size());
        } else {
          counter.Add(run.data(), run.size());
        }
      }
      EXPECT_EQ(counter.Count(), order.size());
      counter.MoveTo(table);
      EXPECT_EQ(table.FoldCase, fold);
      EXPECT_EQ(counter.Count(), 0u);
      ASSERT_EQ(size_t(table.Count()), order.size()) << lcid << fold;
      for (size_t i = 0; i < order.size(); ++i) {
        ASSERT_EQ(table.Strings(int32_t(i)), order[i]) << lcid << fold << i;
        ASSERT_EQ(table.Counts(int32_t(i)), counts[order[i]]) << lcid << fold << i;
      }
    }
  }
}

TEST(HashStringsTest, WordCounterKeepsAWordThatDoesNotFitTheRestOfItsBlock)
{
  // Long words fill part of the counter's 16 KiB block of folded bytes; the
  // next word does not fit the rest (it fits a fresh block exactly, or by a
  // few bytes, or not at all), and the same long words follow again.
  struct Row {
    size_t fillWords, fillLength, oddLength;
  };
  const Row rows[] = {{100, 100, 8000}, {128, 128, 17}, {100, 100, 16384}, {100, 100, 16385}, {150, 100, 16000}};
  for (const Row& row : rows) {
    std::vector<std::string> fill;
    for (size_t i = 0; i < row.fillWords; ++i)
      fill.push_back(std::to_string(i) + std::string(row.fillLength - std::to_string(i).size(), 'w'));
    const std::string odd(row.oddLength, 'q');
    THashStrings table(4096, 0x409);
    TWordCounter counter(table);
    for (const std::string& w : fill)
      counter.Add(w);
    counter.Add(odd);
    for (const std::string& w : fill)
      counter.Add(w);
    counter.MoveTo(table);
    ASSERT_EQ(size_t(table.Count()), fill.size() + 1) << row.oddLength;
    for (size_t i = 0; i < fill.size(); ++i) {
      EXPECT_EQ(table.Strings(int32_t(i)), fill[i]);
      EXPECT_EQ(table.Counts(int32_t(i)), 2);
    }
    EXPECT_EQ(table.Strings(int32_t(fill.size())), odd) << row.oddLength;
    EXPECT_EQ(table.Counts(int32_t(fill.size())), 1) << row.oddLength;
  }
}

// The lower-casing of double-byte words, a character at a time from the
// characters met, agrees with the code page's on random text of every byte
// pair (full-width, Greek and Cyrillic letters among them), met twice.
TEST(DoubleByteLowerTest, AgreesWithTheCodePage)
{
  std::mt19937 random(5);
  for (uint16_t id : {932, 936, 949, 950, 1252}) {
    const platform::CodePage& cp = platform::codePage(id);
    TDoubleByteLower lower(cp);
    std::string text;
    for (int i = 0; i < 4000; ++i)
      text += char(0x40 + random() % 0xBF);
    for (int round = 0; round < 2; ++round) {
      std::string out;
      lower.Lower(text, out);
      ASSERT_EQ(out, platform::lowerText(cp, text)) << id << " round " << round;
    }
  }
}
