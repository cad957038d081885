#include "platform/collator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using platform::compareText;

namespace {

std::vector<std::string> sorted(uint16_t langId, std::vector<std::string> words, bool ignoreCase = false)
{
  std::sort(words.begin(), words.end(), [&](const std::string& a, const std::string& b) {
    return compareText(langId, a, b, ignoreCase) < 0;
  });
  return words;
}

}  // namespace

TEST(Collator, WordSortIgnoresHyphenAndApostropheButForTies)
{
  EXPECT_EQ(sorted(0x409, {"cooperate", "co-op", "coop", "can't", "canon", "cant"}),
            (std::vector<std::string>{"canon", "cant", "can't", "coop", "co-op", "cooperate"}));
  EXPECT_NE(compareText(0x409, "a.b", "ab", false), 0);
}

TEST(Collator, CaseAndAccentLevels)
{
  EXPECT_EQ(compareText(0x409, "apple", "APPLE", true), 0);
  EXPECT_EQ(compareText(0x409, "apple", "Apple", false), -1);  // lower case first
  EXPECT_EQ(compareText(0x409, "r\xE9sum\xE9", "resume", true), 1);  // accents count
  EXPECT_EQ(compareText(0x409, "r\xE9sum\xE9", "R\xC9SUM\xC9", true), 0);
  EXPECT_EQ(compareText(0x409, "", "", false), 0);
  EXPECT_EQ(compareText(0x409, "", "a", false), -1);
}

TEST(Collator, OnlyEqualBytesCompareEqual)
{
  // Texts the collator alone calls equal: ignorable characters and
  // compatibility forms.
  EXPECT_NE(compareText(0x409, std::string("a\x01", 2), "a", false), 0);
  EXPECT_NE(compareText(0x409, std::string("a\0b", 3), "ab", false), 0);
  EXPECT_NE(compareText(0x409, "a'b", "a-b", false), 0);
  EXPECT_EQ(compareText(0x409, "a'b", "a-b", false), -compareText(0x409, "a-b", "a'b", false));
}

TEST(Collator, LanguageOrders)
{
  // Traditional Spanish sorts "ch" as a letter after "c"; modern Spanish does not.
  EXPECT_EQ(compareText(0x40A, "chico", "cuna", false), 1);
  EXPECT_EQ(compareText(0xC0A, "chico", "cuna", false), -1);
  // Swedish puts a-diaeresis after z; German does not.
  EXPECT_EQ(compareText(0x41D, "\xE4ta", "zeta", false), 1);
  EXPECT_EQ(compareText(0x407, "\xE4ta", "zeta", false), -1);
  // Russian text in code page 1251: Cyrillic a before be.
  EXPECT_EQ(compareText(0x419, "\xE0", "\xE1", false), -1);
  EXPECT_EQ(compareText(0x419, "\xE0", "\xC0", true), 0);
}

TEST(Collator, DoubleByteText)
{
  // Shift-JIS: hiragana a before katakana a at tertiary strength, both before
  // kanji; different bytes never compare equal.
  const std::string hiraganaA = "\x82\xA0", katakanaA = "\x83\x41", kanji = "\x88\x9F";
  EXPECT_EQ(compareText(0x411, hiraganaA, katakanaA, false), -1);
  EXPECT_EQ(compareText(0x411, katakanaA, hiraganaA, false), 1);
  EXPECT_EQ(compareText(0x411, hiraganaA, kanji, false), -1);
  EXPECT_EQ(compareText(0x411, katakanaA, kanji, false), -1);
  EXPECT_EQ(compareText(0x411, kanji, hiraganaA, false), 1);
  // Korean (code page 949): ga before na before da, whatever the byte order
  // of their trail bytes.
  const std::string ga = "\xB0\xA1", na = "\xB3\xAA", da = "\xB4\xD9";
  EXPECT_EQ(sorted(0x412, {da, ga, na}), (std::vector<std::string>{ga, na, da}));
  EXPECT_EQ(sorted(0x411, {kanji, katakanaA, hiraganaA}), (std::vector<std::string>{hiraganaA, katakanaA, kanji}));
}

TEST(Collator, OrderKeysOrderAsTheComparison)
{
  // Words made of letters, case variants, accents, hyphens and apostrophes,
  // empty and long ones, in several languages.
  const std::vector<std::string> pieces = {"a", "A", "b", "co", "op", "-", "'", "\xE9", "\xC9", "z", "1", "."};
  std::vector<std::string> words = {"", std::string(300, 'x') + "a", std::string(300, 'x') + "b"};
  uint32_t seed = 5;
  for (int n = 0; n < 300; ++n) {
    std::string w;
    for (int k = int(seed % 5); k >= 0; --k) {
      seed = seed * 1103515245u + 12345u;
      w += pieces[(seed >> 16) % pieces.size()];
    }
    words.push_back(w);
  }
  for (uint16_t lang : {uint16_t(0x409), uint16_t(0x41D), uint16_t(0x419)})
    for (bool ignoreCase : {false, true})
      for (size_t i = 0; i < words.size(); ++i)
        for (size_t j = i; j < words.size(); j += 7) {
          const int expected = compareText(lang, words[i], words[j], ignoreCase);
          const int got = platform::orderKey(lang, words[i], ignoreCase)
                            .compare(platform::orderKey(lang, words[j], ignoreCase));
          ASSERT_EQ((got > 0) - (got < 0), expected) << words[i] << " / " << words[j] << " " << lang;
        }
}
