// Advanced collocation over a real search of a generated corpus, checked
// against tuples built here from the corpus words themselves.
#include "search/advanced_collocation.h"

#include "foundation/hash_strings.h"
#include "search/concord_items.h"
#include "search_fixture.h"

#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <random>

namespace {

const std::vector<std::string> Vocabulary = {"cat", "Cat", "the", "The", "dog", "ran", "sat", "on", "Blue"};

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
      std::string text;
      for (size_t i = 0; i < words.size(); ++i)
        text += (i == 0 ? "" : i % 7 == 0 ? "\r\n" : " ") + words[i];
      texts.emplace_back("f" + std::to_string(f) + ".txt", text);
      tokens_.push_back(words);
    }
    Load(texts);
    list_ = ListOf(Run(Request({"cat"})));
  }

  // The tuples of every hit, from the word sequence: place p is at offset p - 4.
  std::map<std::string, int32_t> Reference(const Case& c) const
  {
    std::map<std::string, int32_t> counts;
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
              ++counts[fold(t)];
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
        ++counts[fold(t)];
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
  EXPECT_EQ(got, Reference(c));
}

INSTANTIATE_TEST_SUITE_P(
    Modes, AdvancedCollocation,
    ::testing::Values(Case{{3, 4, 5}, 0, true}, Case{{3, 5}, 0, false},  // 1L .. 1R: a gap
                      Case{{0, 2, 4, 8}, 0, true},                      // absent first slots
                      Case{{5}, 0, false}, Case{{}, 2, false}, Case{{}, 3, true}, Case{{}, 5, true}));

}  // namespace
