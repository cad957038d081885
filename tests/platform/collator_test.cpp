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
  EXPECT_NE(compareText(0x411, hiraganaA, katakanaA, false), 0);
  EXPECT_EQ(compareText(0x411, hiraganaA, kanji, false), -1);
  EXPECT_EQ(compareText(0x411, katakanaA, kanji, false), -1);
}
