// Advanced collocation over a real search of a generated corpus, checked
// against tuples built here from the corpus words themselves.
#include "search/advanced_collocation.h"

#include "foundation/hash_strings.h"
#include "search/concord_items.h"
#include "search_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <random>

namespace {

const std::vector<std::string> Vocabulary = {"cat", "Cat", "the", "The", "dog", "ran", "sat", "on", "Blue",
                                             "Long" + std::string(26, 'W')};

struct Case {
  std::vector<int> Places;  // collocation table places, rising; empty: span mode
  int Span;
  bool IgnoreCase;
};

class AdvancedCollocation : public testsupport::SearchFixture, public ::testing::WithParamInterface<Case> {
protected:
  void MakeCorpus(int wordsPerFile, unsigned seed)
  {
    std::mt19937 random(seed);
    std::vector<std::pair<std::string, std::string>> texts;
    for (int f = 0; f < 3; ++f) {
      std::vector<std::string> words = {"cat"};  // nothing left of the first hit
      for (int i = 1; i < wordsPerFile; ++i)
        words.push_back(Vocabulary[std::min(random() % Vocabulary.size(), random() % Vocabulary.size())]);
      words.push_back("Cat");  // nothing right of the last
      // Each file its own line end; NUL bytes stand between words too.
      const std::string lineEnd = f == 0 ? "\n" : f == 1 ? "\r" : "\r\n";
      std::string text;
      for (size_t i = 0; i < words.size(); ++i)
        text += (i == 0 ? "" : i % 7 == 0 ? lineEnd : i % 5 == 0 ? std::string(1, '\0') : " ") + words[i];
      texts.emplace_back("f" + std::to_string(f) + ".txt", text);
      tokens_.push_back(words);
    }
    Load(texts);
    list_ = ListOf(Run(Request({"cat"})));
  }

  // The tuples of every hit, from the word sequence: place p is at offset p - 4.
  // first lists the tuples in the order they first came.
  std::map<std::string, int32_t> Reference(const Case& c, std::vector<std::string>& first) const
  {
    std::map<std::string, int32_t> counts;
    auto count = [&](const std::string& t) {
      if (counts[t]++ == 0)
        first.push_back(t);
    };
    auto fold = [&](std::string s) {
      if (c.IgnoreCase)
        for (char& ch : s)
          ch = char(std::tolower(static_cast<unsigned char>(ch)));
      return s;
    };
    for (const auto& words : tokens_)
      for (long i = 0; i < long(words.size()); ++i) {
        if (words[size_t(i)] != "cat" && words[size_t(i)] != "Cat")
          continue;
        auto at = [&](int place) -> const std::string* {
          const long j = i + place - 4;
          return j < 0 || j >= long(words.size()) ? nullptr : &words[size_t(j)];
        };
        if (c.Places.empty()) {
          for (int first = 4; first > 4 - c.Span; --first) {
            std::string t;
            bool whole = true;
            for (int p = first; p < first + c.Span; ++p)
              if (const std::string* w = at(p))
                t += (t.empty() ? "" : " ") + *w;
              else
                whole = false;
            if (whole)
              count(fold(t));
          }
          continue;
        }
        std::vector<std::string> parts;  // a gap mark before a word after skipped places
        int previous = -1;
        for (int p : c.Places) {
          if (const std::string* w = at(p))
            parts.push_back((previous >= 0 && p != previous + 1 ? "... " : "") + *w);
          previous = p;
        }
        std::string t;
        for (const std::string& part : parts)
          t += (t.empty() ? (part.rfind("... ", 0) == 0 ? " " : "") : " ") + part;
        count(fold(t));
      }
    return counts;
  }

  TAdvancedSortColOptions Record(const Case& c) const
  {
    TAdvancedSortColOptions r;
    r.SpanCollocation = c.Places.empty();
    r.SpanNumber = c.Span;
    return r;
  }
  static std::vector<TAdvancedSortColItem> Keys(const Case& c)
  {
    std::vector<TAdvancedSortColItem> keys;
    for (int p : c.Places)
      keys.push_back({uint8_t(AdvCollocSlot(p)), false});
    return keys;
  }

  std::vector<std::vector<std::string>> tokens_;
  std::unique_ptr<TConcordItems> list_;
};

TEST_P(AdvancedCollocation, CountsEqualAnIndependentCountSortedHighestFirst)
{
  const Case c = GetParam();
  FrequencySettings.IgnoreCase = c.IgnoreCase;
  MakeCorpus(700, 3);
  const auto keys = Keys(c);
  auto table = CountAdvancedCollocation(*list_, keys, Record(c));
  std::map<std::string, int32_t> got;
  for (int32_t i = 0; i < table->Count(); ++i) {
    got[std::string(table->Strings(i))] = table->Counts(i);
    if (i > 0)
      EXPECT_GE(table->Counts(i - 1), table->Counts(i));
  }
  EXPECT_GT(got.size(), 3u);
  std::vector<std::string> first;
  const std::map<std::string, int32_t> expected = Reference(c, first);
  EXPECT_EQ(got, expected);
  // Equal counts keep the order in which their tuples first came.
  std::stable_sort(first.begin(), first.end(),
                   [&](const std::string& a, const std::string& b) { return expected.at(a) > expected.at(b); });
  std::vector<std::string> order;
  for (int32_t i = 0; i < table->Count(); ++i)
    order.emplace_back(table->Strings(i));
  EXPECT_EQ(order, first);
  for (const auto& [tuple, count] : expected)  // the sorted table still finds each tuple
    EXPECT_EQ(table->CountOf(tuple), count) << tuple;
}

INSTANTIATE_TEST_SUITE_P(
    Modes, AdvancedCollocation,
    ::testing::Values(Case{{3, 4, 5}, 0, true}, Case{{3, 5}, 0, false},  // 1L .. 1R: a gap
                      Case{{0, 2, 4, 8}, 0, true},                      // absent first slots
                      Case{{5}, 0, false}, Case{{}, 2, false}, Case{{}, 3, true}, Case{{}, 5, true}));

}  // namespace
