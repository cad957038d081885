#include "search/concord_items.h"

#include "foundation/chartables.h"
#include "foundation/settings.h"
#include "foundation/tag_scan.h"
#include "platform/codepage.h"
#include "search_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using testsupport::SearchFixture;

// A hit with the given words; nullptr leaves a slot absent.
struct Words {
  std::array<const char*, TConcordItem::SlotCount> slots{};
};

std::unique_ptr<TConcordItem> MakeHit(int32_t number, const Words& w, uint8_t letter = TConcordItem::NoLetter)
{
  auto hit = std::make_unique<TConcordItem>();
  hit->HitNumber = number;
  hit->HitStart = 1000;
  hit->HitEnd = 1005;
  hit->Letter = letter;
  std::array<TConcordItem::TWordEntry, TConcordItem::SlotCount> entries;
  for (int s = 0; s < TConcordItem::SlotCount; ++s)
    if (w.slots[size_t(s)])
      entries[size_t(s)] = {true, w.slots[size_t(s)], 990 - 10 * s, 995 - 10 * s};
  hit->SetWords(entries);
  return hit;
}

// A list of hits numbered 0.. with one word each at `slot` (nullptr: absent).
std::unique_ptr<TConcordItems> ListWith(int slot, const std::vector<const char*>& words)
{
  auto list = std::make_unique<TConcordItems>();
  for (size_t i = 0; i < words.size(); ++i) {
    Words w;
    w.slots[size_t(slot)] = words[i];
    list->AddItem(MakeHit(int32_t(i), w));
  }
  return list;
}

std::vector<int32_t> Numbers(const TConcordItems& list)
{
  std::vector<int32_t> out;
  for (int32_t i = 0; i < list.Count(); ++i)
    out.push_back(list.GetItem(i)->HitNumber);
  return out;
}

TAdvancedSortColOptions Keys(uint8_t first, bool firstReverse = false, uint8_t second = ctxNone,
                             bool secondReverse = false, uint8_t third = ctxNone)
{
  TAdvancedSortColOptions sortSpec;
  ResetSortSpec(sortSpec);
  sortSpec.First = first;
  sortSpec.FirstReverse = firstReverse;
  sortSpec.Second = second;
  sortSpec.SecondReverse = secondReverse;
  sortSpec.Third = third;
  return sortSpec;
}

class ConcordItemsTest : public SearchFixture {};

// --- the hit record --------------------------------------------------------------

TEST_F(ConcordItemsTest, RecordKeepsWordsAndPositionsNearAndFar)
{
  auto hit = std::make_unique<TConcordItem>();
  hit->HitStart = 100000;
  hit->HitEnd = 190000;  // a long hit: the right words lie far from its start
  std::array<TConcordItem::TWordEntry, TConcordItem::SlotCount> e;
  e[ctx0] = {true, "hit text", 0, 0};
  e[ctx1L] = {true, "left", 99990, 99994};
  e[ctx1R] = {true, "", 190001, 190001};  // present and empty
  const std::string longWord(300, 'x');
  e[ctx2R] = {true, longWord, 190002, 190302};
  hit->SetWords(e);
  EXPECT_EQ(hit->Word(ctx0), "hit text");
  EXPECT_EQ(hit->WordStart(ctx0), 0);
  EXPECT_EQ(hit->Word(ctx1L), "left");
  EXPECT_EQ(hit->WordStart(ctx1L), 99990);
  EXPECT_EQ(hit->WordEnd(ctx1L), 99994);
  EXPECT_TRUE(hit->HasWord(ctx1R));
  EXPECT_EQ(hit->Word(ctx1R), "");
  EXPECT_EQ(hit->Word(ctx2R).size(), 255u);
  EXPECT_EQ(hit->WordEnd(ctx2R), 190302);
  EXPECT_FALSE(hit->HasWord(ctx2L));
  EXPECT_EQ(hit->WordStart(ctx2L), 0);

  // Positions a long way from the hit are kept whole.
  e[ctx2L] = {true, "far", 10, 13};
  hit->SetWords(e);
  EXPECT_EQ(hit->WordStart(ctx2L), 10);
  EXPECT_EQ(hit->WordEnd(ctx1L), 99994);
  EXPECT_EQ(hit->WordStart(ctx2R), 190002);
  EXPECT_EQ(hit->Letter, 255);
  EXPECT_EQ(hit->CollocRanks[ctx1R], -1);
  EXPECT_EQ(hit->TrackedTagValue(), nullptr);
}

// --- word keys -----------------------------------------------------------------

TEST_F(ConcordItemsTest, AbsentWordsSortLastInBothDirections)
{
  auto list = ListWith(ctx1R, {"b", nullptr, "a", "C", nullptr});
  list->SortItems(Keys(ctx1R, false, ctxOrig), nullptr);
  EXPECT_EQ(Numbers(*list), (std::vector<int32_t>{2, 0, 3, 1, 4}));
  list->SortItems(Keys(ctx1R, true, ctxOrig), nullptr);
  EXPECT_EQ(Numbers(*list), (std::vector<int32_t>{2, 0, 3, 1, 4}));
}

TEST_F(ConcordItemsTest, ReverseKeysCompareBytesFromTheEnd)
{
  auto list = ListWith(ctx0, {"walked", "talked", "ed"});
  list->SortItems(Keys(ctx0, true), nullptr);
  EXPECT_EQ(Numbers(*list), (std::vector<int32_t>{2, 1, 0}));

  // Ignoring case, Ab and aB are equal; the second key decides.
  ConcordSettings.IgnoreCase = true;
  list = ListWith(ctx0, {"aB", "AB", "Ab"});
  list->SortItems(Keys(ctx0, true, ctxOrig), nullptr);
  EXPECT_EQ(Numbers(*list), (std::vector<int32_t>{0, 1, 2}));
  // Without, codes decide: 'A' (0x41) before 'a' (0x61), from the end.
  ConcordSettings.IgnoreCase = false;
  list->SortItems(Keys(ctx0, true, ctxOrig), nullptr);
  EXPECT_EQ(Numbers(*list), (std::vector<int32_t>{1, 0, 2}));
}

// Double-byte words are sorted by characters: the words of the hits are
// whole, a reverse key compares characters from the end and folds no trail
// byte, and a skipping character is never a trail byte.
TEST_F(ConcordItemsTest, DoubleByteWordKeysCompareCharacters)
{
  SetTextLanguage(0x411);  // 932: ソ = 83 5C, タ = 83 5E, ア = 83 41, ヂ = 83 61, 表 = 95 5C
  BuildCharTables();
  const platform::CodePage& cp = platform::codePage(AnsiCodePage);
  const auto sjis = [&cp](std::u16string_view text) { return platform::fromUtf16(cp, text); };
  Load({{"a.txt", sjis(u"タあ 鍵\r\nソう 鍵\r\nシえ 鍵\r\nセい 鍵\r\n")}});
  auto list = ListOf(Run(Request({sjis(u"鍵")})));
  list->SortItems(Keys(ctx1L, false, ctxOrig), nullptr);
  std::vector<std::string> left;
  for (int32_t i = 0; i < list->Count(); ++i)
    left.emplace_back(list->GetItem(i)->Word(ctx1L));
  EXPECT_EQ(left, (std::vector<std::string>{sjis(u"シえ"), sjis(u"セい"), sjis(u"ソう"), sjis(u"タあ")}));

  ConcordSettings.IgnoreCase = true;
  const std::string a = sjis(u"ア"), dzi = sjis(u"ヂ");
  list = ListWith(ctx0, {dzi.c_str(), a.c_str()});
  list->SortItems(Keys(ctx0, true, ctxOrig), nullptr);
  EXPECT_EQ(Numbers(*list), (std::vector<int32_t>{1, 0}));

  ConcordSettings.UseSkipEqualChars = true;
  ConcordSettings.SkippingChars = "\\";
  const std::string shown = sjis(u"表示"), cut = "\x95\x8E\xA6";
  list = ListWith(ctx1L, {shown.c_str(), cut.c_str()});
  EXPECT_NE(TConcordItems::CompareByKey(*list->GetItem(0), *list->GetItem(1), ctx1L, false), 0);
  SetTextLanguage(0x409);
  BuildCharTables();
}

TEST_F(ConcordItemsTest, SkippingCharactersAreLeftOutAtSortTime)
{
  ConcordSettings.UseSkipEqualChars = true;
  ConcordSettings.SkippingChars = "-=";
  auto list = ListWith(ctx1L, {"cooperate", "--", nullptr, "co-operate", "alpha"});
  list->SortItems(Keys(ctx1L, false, ctxOrig), nullptr);
  // "--" becomes empty but stays present: before every word, before the
  // absent one.
  EXPECT_EQ(Numbers(*list), (std::vector<int32_t>{1, 4, 0, 3, 2}));
  EXPECT_EQ(TConcordItems::CompareByKey(*list->GetItem(2), *list->GetItem(3), ctx1L, false), 0);
  // The words themselves are unchanged.
  EXPECT_EQ(list->GetItem(3)->Word(ctx1L), "co-operate");

  ConcordSettings.UseSkipEqualChars = false;
  EXPECT_NE(TConcordItems::CompareByKey(*list->GetItem(2), *list->GetItem(3), ctx1L, false), 0);
}

// --- other keys, customised lists -----------------------------------------------

TEST_F(ConcordItemsTest, LettersAndArrivalOrderIgnoreTheReverseFlag)
{
  auto list = std::make_unique<TConcordItems>();
  const uint8_t letters[] = {'c', TConcordItem::NoLetter, 'a', 'b', TConcordItem::NoLetter};
  for (int i = 0; i < 5; ++i)
    list->AddItem(MakeHit(i, {}, letters[i]));
  list->SortItems(Keys(ctxDefined, true, ctxOrig, true), nullptr);
  EXPECT_EQ(Numbers(*list), (std::vector<int32_t>{2, 3, 0, 1, 4}));
  list->SortItems(Keys(ctxOrig, true), nullptr);
  EXPECT_EQ(Numbers(*list), (std::vector<int32_t>{0, 1, 2, 3, 4}));
}

TEST_F(ConcordItemsTest, CustomisedListReplacesTheKeysAndIsCopied)
{
  auto list = std::make_unique<TConcordItems>();
  list->AddItem(MakeHit(0, Words{{"x", {}, {}, {}, "b"}}));
  list->AddItem(MakeHit(1, Words{{"y", {}, {}, {}, "a"}}));
  list->AddItem(MakeHit(2, Words{{"x", {}, {}, {}, "a"}}));
  {
    auto custom = std::make_unique<std::vector<TAdvancedSortColItem>>(
      std::vector<TAdvancedSortColItem>{{ctx1L, false}, {ctx0, true}});
    list->SortItems(Keys(ctxOrig), custom.get());
  }
  EXPECT_EQ(Numbers(*list), (std::vector<int32_t>{2, 1, 0}));
  // The list keeps its keys after the caller's list is gone.
  EXPECT_LT(list->CompareItems(*list->GetItem(0), *list->GetItem(1)), 0);

  // An empty customised list counts as none: the three keys apply.
  const std::vector<TAdvancedSortColItem> none;
  list->SortItems(Keys(ctxOrig), &none);
  EXPECT_EQ(Numbers(*list), (std::vector<int32_t>{0, 1, 2}));
  EXPECT_TRUE(list->CustomKeys.empty());
}

// The Part's quicksort on the list itself, comparing hits directly: what the
// ranked sort must reproduce exactly, ties included.
void ReferenceSort(std::vector<TConcordItem*>& a, int64_t l, int64_t r,
                   const std::function<int(const TConcordItem&, const TConcordItem&)>& cmp)
{
  for (;;) {
    int64_t i = l;
    int64_t j = r;
    TConcordItem* p = a[size_t((l + r) / 2)];
    do {
      while (cmp(*a[size_t(i)], *p) < 0)
        ++i;
      while (cmp(*a[size_t(j)], *p) > 0)
        --j;
      if (i <= j) {
        std::swap(a[size_t(i)], a[size_t(j)]);
        ++i;
        --j;
      }
    } while (i <= j);
    if (l < j)
      ReferenceSort(a, l, j, cmp);
    l = i;
    if (i >= r)
      return;
  }
}

TEST_F(ConcordItemsTest, RankedSortGivesTheOrderOfDirectComparisons)
{
  const std::vector<std::string> vocabulary = {"the", "The", "THE", "walk", "walked", "Walked", "co-op",
                                               "coop", "a", "b", "", "zz", "x-y", "xy"};
  std::mt19937 rng(11);
  struct Config {
    TAdvancedSortColOptions sortSpec;
    std::vector<TAdvancedSortColItem> custom;
    bool ignoreCase;
    bool skipping;
  };
  const std::vector<Config> configs = {
    {Keys(ctx1R, false, ctx1L), {}, true, false},
    {Keys(ctx1R, true, ctx2L, true, ctx0), {}, false, true},
    {Keys(ctxNone, false, ctxNone), {}, true, false},
    {Keys(ctxOrig), {{ctxDefined, false}, {ctx3R, true}, {ctx4L, false}}, true, true},
  };
  for (const Config& c : configs) {
    ConcordSettings.IgnoreCase = c.ignoreCase;
    ConcordSettings.UseSkipEqualChars = c.skipping;
    ConcordSettings.SkippingChars = "-";
    auto list = std::make_unique<TConcordItems>();
    for (int n = 0; n < 3000; ++n) {
      Words w;
      for (int s = 0; s < TConcordItem::SlotCount; ++s)
        if (rng() % 5)
          w.slots[size_t(s)] = vocabulary[rng() % vocabulary.size()].c_str();
      const uint8_t letter = rng() % 3 ? TConcordItem::NoLetter : uint8_t('a' + rng() % 4);
      list->AddItem(MakeHit(n, w, letter));
    }
    std::vector<TConcordItem*> expected;
    for (int32_t i = 0; i < list->Count(); ++i)
      expected.push_back(list->GetItem(i));
    list->SortItems(c.sortSpec, c.custom.empty() ? nullptr : &c.custom);
    // The reference compares key by key as the request names them, not
    // through the list's own key table.
    std::vector<std::pair<uint8_t, bool>> keys;
    if (!c.custom.empty())
      for (const TAdvancedSortColItem& k : c.custom)
        keys.emplace_back(k.Key, k.Reverse);
    else
      keys = {{c.sortSpec.First, c.sortSpec.FirstReverse},
              {c.sortSpec.Second, c.sortSpec.SecondReverse},
              {c.sortSpec.Third, c.sortSpec.ThirdReverse}};
    auto reference = [&](const TConcordItem& a, const TConcordItem& b) {
      for (const auto& [key, reverse] : keys)
        if (key != ctxNone)
          if (int r = TConcordItems::CompareByKey(a, b, key, reverse))
            return r;
      return 0;
    };
    ReferenceSort(expected, 0, int64_t(expected.size()) - 1, reference);
    std::vector<int32_t> want;
    for (TConcordItem* h : expected)
      want.push_back(h->HitNumber);
    EXPECT_EQ(Numbers(*list), want);
    for (int32_t i = 1; i < list->Count(); ++i)
      ASSERT_EQ(list->CompareItems(*list->GetItem(i - 1), *list->GetItem(i)),
                reference(*list->GetItem(i - 1), *list->GetItem(i)));
  }
}

TEST_F(ConcordItemsTest, ListsOfFewerThanTwoHitsStay)
{
  TConcordItems empty;
  empty.SortItems(Keys(ctx0), nullptr);
  EXPECT_EQ(empty.Count(), 0);
  auto one = ListWith(ctx0, {"a"});
  one->SortItems(Keys(ctx0, true), nullptr);
  EXPECT_EQ(Numbers(*one), (std::vector<int32_t>{0}));
}

// --- tracked-tag values ---------------------------------------------------------

TEST_F(ConcordItemsTest, TrackedTagValuesAreComputedOncePerTag)
{
  WatchedTags = {TWatchedTag::Make("div", "<div", ">"), TWatchedTag::Make("Sec", "<sec", ">")};
  Load({{"t.txt", "alpha <div n=2> alpha <sec b> <div N=1> alpha\r\n"}});
  auto list = ListOf(Run(Request({"alpha"})));
  ASSERT_EQ(list->Count(), 3);

  TAdvancedSortColOptions sortSpec = Keys(ctxTrackedTag, true, ctxOrig);
  sortSpec.TagName = "div";
  list->SortItems(sortSpec, nullptr);
  EXPECT_EQ(list->TagIndex, 0);
  // No value yet (empty, not absent) first; then by locale, ignoring case.
  EXPECT_EQ(Numbers(*list), (std::vector<int32_t>{0, 2, 1}));
  ASSERT_NE(list->GetItem(0)->TrackedTagValue(), nullptr);
  EXPECT_EQ(*list->GetItem(0)->TrackedTagValue(), "");
  EXPECT_EQ(*list->GetItem(1)->TrackedTagValue(), "<div N=1>");

  // A name no tracked tag carries (names are exact) forgets the tag and keeps
  // the values; the same index keeps them too.
  sortSpec.TagName = "Div";
  list->SortItems(sortSpec, nullptr);
  EXPECT_EQ(list->TagIndex, -1);
  EXPECT_EQ(*list->GetItem(1)->TrackedTagValue(), "<div N=1>");

  sortSpec.TagName = "Sec";
  list->SortItems(sortSpec, nullptr);
  EXPECT_EQ(list->TagIndex, 1);
  EXPECT_EQ(Numbers(*list), (std::vector<int32_t>{0, 1, 2}));
  EXPECT_EQ(*list->GetItem(2)->TrackedTagValue(), "<sec b>");

  list->ClearTagValues();
  EXPECT_EQ(list->TagIndex, -1);
  EXPECT_EQ(list->GetItem(0)->TrackedTagValue(), nullptr);
  // Without a tag name nothing is computed; missing values compare equal.
  list->SortItems(Keys(ctxTrackedTag), nullptr);
  EXPECT_EQ(list->GetItem(2)->TrackedTagValue(), nullptr);
  EXPECT_EQ(TConcordItems::CompareByKey(*list->GetItem(0), *list->GetItem(2), ctxTrackedTag, false), 0);
}

// --- the string view ------------------------------------------------------------

TEST_F(ConcordItemsTest, StringViewReadsLinesDeletesAndRefusesTheRest)
{
  Load({{"s.txt", "one alpha two alpha three"}});
  auto list = ListOf(Run(Request({"alpha"})));
  list->Context.Type = 1;
  list->Context.Sizes = {0, 1, 0, 1};
  TConcordStrings strings(list.get());
  ASSERT_EQ(strings.Count(), 2);
  // A words context ends after the character that ended its last word.
  EXPECT_EQ(strings.Get(0), "... one alpha two  ...");
  EXPECT_EQ(strings.Get(1), "... two alpha three ...");
  strings.Delete(0);
  EXPECT_EQ(strings.Count(), 1);
  EXPECT_EQ(list->GetItem(0)->HitNumber, 1);

  auto message = [](const std::function<void()>& f) {
    try {
      f();
    } catch (const std::runtime_error& e) {
      return std::string(e.what());
    }
    return std::string("no exception");
  };
  EXPECT_EQ(message([&] { strings.Clear(); }), "\"Clear\" is unsupported method for TConcordStrings");
  EXPECT_EQ(message([&] { strings.Insert(0, "x"); }), "\"Insert\" is unsupported method for TConcordStrings");
  EXPECT_EQ(message([&] { strings.Add("x"); }), "\"Insert\" is unsupported method for TConcordStrings");
  EXPECT_EQ(strings.Count(), 1);
  EXPECT_THROW(list->DeleteItem(1), std::out_of_range);
}

// --- deleting many hits at once ---------------------------------------------------

// What a reader of the list can see of it after a delete.
struct ListState {
  std::vector<std::tuple<int32_t, int32_t, int32_t, int32_t, std::string>> Hits;
  std::vector<std::pair<uint8_t, bool>> Keys;
  int32_t TagIndex = 0;
  bool operator==(const ListState&) const = default;
};

ListState StateOf(TConcordItems& list)
{
  ListState state;
  for (int32_t i = 0; i < list.Count(); ++i) {
    const TConcordItem& h = *list.GetItem(i);
    state.Hits.emplace_back(h.HitNumber, h.FileIndex, h.HitStart, h.HitEnd, list.GetLine(i));
  }
  for (const auto& key : list.SortKeys)
    state.Keys.emplace_back(key.Key, key.Reverse);
  state.TagIndex = list.TagIndex;
  return state;
}

class ConcordItemsBulkDeleteTest : public ConcordItemsTest {
protected:
  // A sorted list of the hits of a two-file corpus, built afresh each time.
  std::unique_ptr<TConcordItems> SortedList()
  {
    auto list = ListOf(Run(Request({"alpha"})));
    list->Context.Type = 1;
    list->Context.Sizes = {0, 2, 0, 1};
    TAdvancedSortColOptions sortSpec = Keys(ctx1R, false, ctx1L, true, ctxOrig);
    list->SortItems(sortSpec, nullptr);
    return list;
  }

  void SetUp() override
  {
    ConcordItemsTest::SetUp();
    std::string a, b;
    const char* words[] = {"red", "blue", "green", "gold", "grey"};
    for (int i = 0; i < 40; ++i) {
      a += std::string(words[i % 5]) + " alpha " + words[(i * 3) % 5] + " ";
      b += std::string(words[(i * 2) % 5]) + " alpha " + words[(i + 1) % 5] + ".\r\n";
    }
    Load({{"a.txt", a}, {"b.txt", b}});
  }
};

TEST_F(ConcordItemsBulkDeleteTest, OnePassGivesWhatDeletingFromTheLastOneByOneGives)
{
  const int32_t n = SortedList()->Count();
  ASSERT_EQ(n, 80);
  std::mt19937 random(7);
  std::vector<std::function<bool(int32_t, const TConcordItem&)>> picks = {
      [](int32_t, const TConcordItem&) { return false; },
      [](int32_t, const TConcordItem&) { return true; },
      [](int32_t i, const TConcordItem&) { return i % 2 == 1; },
      [](int32_t i, const TConcordItem&) { return i == 0; },
      [n](int32_t i, const TConcordItem&) { return i == n - 1; },
      [](int32_t, const TConcordItem& h) { return h.FileIndex == 0; },
      [](int32_t, const TConcordItem& h) { return h.Word(5) == "gold"; },
  };
  std::vector<bool> scattered(static_cast<size_t>(n));
  for (size_t i = 0; i < scattered.size(); ++i)
    scattered[i] = random() % 3 == 0;
  picks.push_back([scattered](int32_t i, const TConcordItem&) { return bool(scattered[size_t(i)]); });

  for (size_t p = 0; p < picks.size(); ++p) {
    SCOPED_TRACE(p);
    auto single = SortedList();
    std::vector<int32_t> doomed;
    for (int32_t i = single->Count() - 1; i >= 0; --i)
      if (picks[p](i, *single->GetItem(i))) {
        single->DeleteItem(i);
        doomed.push_back(i);
      }
    const ListState want = StateOf(*single);

    auto bulk = SortedList();
    EXPECT_EQ(bulk->DeleteItemsIf(picks[p]), int32_t(doomed.size()));
    EXPECT_EQ(StateOf(*bulk), want);
    // The rest are still in the order of the last sort.
    for (int32_t i = 0; i + 1 < bulk->Count(); ++i)
      EXPECT_LE(bulk->CompareItems(*bulk->GetItem(i), *bulk->GetItem(i + 1)), 0);

    // By index: any order, repeats allowed, through the string view.
    auto byIndex = SortedList();
    TConcordStrings strings(byIndex.get());
    std::vector<int32_t> indices = doomed;
    indices.insert(indices.end(), doomed.begin(), doomed.begin() + std::min<size_t>(doomed.size(), 3));
    std::shuffle(indices.begin(), indices.end(), random);
    EXPECT_EQ(strings.DeleteItems(indices), int32_t(doomed.size()));
    EXPECT_EQ(StateOf(*byIndex), want);
  }
}

TEST_F(ConcordItemsBulkDeleteTest, RefusalsAndFailingPredicatesFreeNothing)
{
  auto list = SortedList();
  const ListState before = StateOf(*list);

  EXPECT_THROW(list->DeleteItems({3, list->Count()}), std::out_of_range);
  EXPECT_THROW(list->DeleteItems({-1, 3}), std::out_of_range);
  EXPECT_EQ(StateOf(*list), before);

  // The predicate sees every hit once, in list order, before any is freed.
  std::vector<int32_t> seen;
  EXPECT_THROW(list->DeleteItemsIf([&](int32_t i, const TConcordItem& h) {
    EXPECT_EQ(&h, list->GetItem(i));
    EXPECT_EQ(list->Count(), 80);
    seen.push_back(i);
    if (i == 50)
      throw std::runtime_error("stop");
    return i % 2 == 0;
  }),
               std::runtime_error);
  EXPECT_EQ(seen.size(), 51u);
  EXPECT_EQ(seen.back(), 50);
  EXPECT_EQ(StateOf(*list), before);

  EXPECT_EQ(list->DeleteItems({}), 0);
  EXPECT_EQ(StateOf(*list), before);
  TConcordItems empty;
  EXPECT_EQ(empty.DeleteItemsIf([](int32_t, const TConcordItem&) { return true; }), 0);
}

}  // namespace
