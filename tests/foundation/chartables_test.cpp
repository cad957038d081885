#include "foundation/chartables.h"

#include "foundation/settings.h"
#include "platform/winlocale.h"

#include <gtest/gtest.h>
#include <unicode/uloc.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

class CharTablesTest : public ::testing::Test {
protected:
  void SetUp() override { InitProgramState(); }
  void TearDown() override
  {
    platform::setInstalledLocaleTexts(nullptr);
    UErrorCode status = U_ZERO_ERROR;
    uloc_setDefault("en_US", &status);
    InitProgramState();
  }

  static uint8_t flags(unsigned char c) { return CharTypeTable[c]; }
  static unsigned char fold(unsigned char c) { return static_cast<unsigned char>(FoldTable[c]); }

  static TCharSet group(std::string_view members)
  {
    TCharSet set;
    for (char c : members)
      set.set(static_cast<unsigned char>(c));
    return set;
  }
};

}  // namespace

TEST_F(CharTablesTest, LanguageTableLookups)
{
  EXPECT_EQ(LanguageIdByName("Serbian"), 0xC1A);  // the first of the two rows
  EXPECT_EQ(LanguageNameById(0x81A), "Serbian");
  EXPECT_EQ(LanguageNameById(0xC1A), "Serbian");
  EXPECT_EQ(LanguageIdByName("serbian"), 0);
  EXPECT_EQ(LanguageIdByName("Norwegian (Bokmal)"), 0x414);
  EXPECT_EQ(LanguageIdByName(""), 0);
  EXPECT_EQ(LanguageNameById(0x439), "");
  EXPECT_TRUE(IsFarEastLanguage(0x812));
  EXPECT_TRUE(IsFarEastLanguage(0x1004));
  EXPECT_FALSE(IsFarEastLanguage(0x41E));
}

TEST_F(CharTablesTest, CharsetsMapToCodePages)
{
  SetTextLanguage(0x41F);  // Turkish
  EXPECT_EQ(CharsetToCodePage(204), 1251);
  EXPECT_EQ(CharsetToCodePage(0), 1252);
  EXPECT_EQ(CharsetToCodePage(186), 1257);
  EXPECT_EQ(CharsetToCodePage(2), 1254);  // any other set: the language's page
  EXPECT_EQ(CharsetToCodePage(1), 1254);
}

TEST_F(CharTablesTest, StartUpLanguageState)
{
  EXPECT_EQ(LanguageId, 0x409);
  EXPECT_EQ(AnsiCodePage, 1252);
  EXPECT_FALSE(FarEastLanguage);
  EXPECT_EQ(std::count(LanguageNames.begin(), LanguageNames.end(), "Serbian"), 1);
  for (unsigned char c : {'A', '.', ' '})
    EXPECT_EQ(flags(c), 0) << "the type table is empty until the first build";
  EXPECT_EQ(fold('A'), 'A');
}

TEST_F(CharTablesTest, InstalledLocalesGiveEachKnownLanguageOnce)
{
  platform::setInstalledLocaleTexts([] {
    return std::vector<std::string>{"00000419", "zz", "00010419", "0000047E", "", "0000040C", "0000041G",
                                    "00000C1A", "0000081A"};
  });
  InitLanguages();
  EXPECT_EQ(LanguageNames, (std::vector<std::string>{"Russian", "French (Standard)", "Serbian"}));
}

TEST_F(CharTablesTest, UserDefaultWithoutARowIsKeptAtStartButNotWhenSet)
{
  UErrorCode status = U_ZERO_ERROR;
  uloc_setDefault("hi_IN", &status);
  InitLanguages();
  EXPECT_EQ(LanguageId, 0x439);
  EXPECT_EQ(AnsiCodePage, 1252);  // no page of its own: the system's
  uloc_setDefault("ru_RU", &status);
  SetTextLanguage(0x1234);
  EXPECT_EQ(LanguageId, 0x419);
  EXPECT_EQ(AnsiCodePage, 1251);
  SetTextLanguage(0x411);
  EXPECT_EQ(LanguageId, 0x411);
  EXPECT_EQ(AnsiCodePage, 932);
  EXPECT_TRUE(FarEastLanguage);
}

TEST_F(CharTablesTest, TypeFlagsWithNonWordAdjustment)
{
  ConcordSettings.NonWordChars = ".,;Q";
  BuildCharTables();
  EXPECT_EQ(flags('A'), ctUpper | ctHexDigit);
  EXPECT_EQ(flags('a'), ctLower | ctHexDigit);
  EXPECT_EQ(flags('g'), ctLower);
  EXPECT_EQ(flags('5'), ctDigit | ctHexDigit);
  EXPECT_EQ(flags(' '), ctSpace | ctBlank);
  EXPECT_EQ(flags('\t'), ctControl | ctSpace | ctBlank);
  EXPECT_EQ(flags('\0'), ctControl);
  EXPECT_EQ(flags('.'), ctPunct);              // non-word: punctuation only
  EXPECT_EQ(flags('Q'), ctPunct);              // even a letter
  EXPECT_EQ(flags('$'), ctUpper | ctLower);    // other punctuation counts as a letter
  EXPECT_EQ(flags('-'), ctUpper | ctLower);
  EXPECT_EQ(flags(0xB2), ctUpper | ctLower);   // superscript two: punctuation and digit
  EXPECT_EQ(flags(0xE9), ctLower);
  EXPECT_EQ(flags(0x80), 0);                   // euro sign
  EXPECT_EQ(GetCharTypeTable(), CharTypeTable);
}

TEST_F(CharTablesTest, TypeFlagsFollowTheLanguage)
{
  SetTextLanguage(0x419);
  BuildCharTables();
  EXPECT_EQ(flags(0xC0), ctUpper);  // Cyrillic A
  EXPECT_EQ(flags(0xE0), ctLower);
  SetTextLanguage(0x409);
  BuildCharTables();
  EXPECT_EQ(flags(0xC0), ctUpper);  // A grave
  EXPECT_EQ(flags(0xD7), ctUpper | ctLower);  // multiplication sign: punctuation
}

TEST_F(CharTablesTest, ListenersRunAfterEachBuild)
{
  auto seen = std::make_shared<std::vector<int>>();
  AddCharTablesListener([seen] { seen->push_back(static_cast<unsigned char>(FoldTable['B'])); });
  ConcordSettings.IgnoreCase = true;
  BuildCharTables();
  ASSERT_EQ(seen->size(), 1u);
  EXPECT_EQ(seen->back(), 'b');  // the folding table is ready when listeners run
}

TEST_F(CharTablesTest, FoldTableFollowsCaseEqualGroupsAndLanguage)
{
  struct Case {
    const char* name;
    bool ignoreCase, useGroups;
    std::vector<std::string> groups;
    std::vector<std::pair<int, int>> folds;  // byte -> folded byte
  };
  const std::vector<Case> cases = {
    {"switches off", false, false, {"e\xE9"}, {{0xE9, 0xE9}, {'E', 'E'}}},
    // '$' is flagged as a letter without a partner; the micro sign keeps itself, never NUL.
    {"ignore case", true, false, {}, {{'A', 'a'}, {'a', 'a'}, {0xC9, 0xE9}, {0x9F, 0xFF}, {'$', '$'}, {0xB5, 0xB5}}},
    // Case stays; the lowest byte, compared unsigned, represents the group.
    {"groups", false, true, {"\xE9" "e\xE8", "z\xFC"},
     {{0xE9, 'e'}, {0xE8, 'e'}, {'e', 'e'}, {'E', 'E'}, {0xC9, 0xC9}, {0xFC, 'z'}}},
    {"groups, ignore case", true, true, {"\xE9" "e"}, {{'e', 'e'}, {'E', 'e'}, {0xE9, 'e'}, {0xC9, 'e'}}},
    {"lower-cased representative", true, true, {"Ez"}, {{'E', 'e'}, {'e', 'e'}, {'z', 'e'}, {'Z', 'e'}}},
    {"later group wins", false, true, {"ab", "bc", ""}, {{'a', 'a'}, {'b', 'b'}, {'c', 'b'}}},
  };
  for (const Case& k : cases) {
    InitProgramState();
    ConcordSettings.IgnoreCase = k.ignoreCase;
    ConcordSettings.UseSkipEqualChars = k.useGroups;
    for (const std::string& g : k.groups)
      ConcordSettings.EqualCharSets.push_back(group(g));
    BuildCharTables();
    for (auto [from, to] : k.folds)
      EXPECT_EQ(fold(static_cast<unsigned char>(from)), to) << k.name << ", byte " << from;
    for (int i = 1; i < 256; ++i) {
      const int folded = fold(static_cast<unsigned char>(i));
      ASSERT_NE(folded, 0) << k.name << ", byte " << i;
      if (!k.ignoreCase && !k.useGroups)
        ASSERT_EQ(folded, i) << k.name;  // the identity
    }
  }

  // Turkish: case folds without linguistic folding; the dotted capital I stays.
  InitProgramState();
  SetTextLanguage(0x41F);
  ConcordSettings.IgnoreCase = true;
  BuildCharTables();
  EXPECT_EQ(fold('I'), 'i');
  EXPECT_EQ(fold(0xDD), 0xDD);
  EXPECT_EQ(LocaleUpperChar(static_cast<char>(0xFD)), static_cast<char>(0xFD));
  EXPECT_EQ(LocaleLowerStr("\xC7I\xDE"), "\xE7i\xFE");
}

TEST_F(CharTablesTest, CaseMappingOfCharactersAndTexts)
{
  BuildCharTables();
  EXPECT_EQ(CaseCounterpart('a'), 'A');
  EXPECT_EQ(CaseCounterpart('A'), 'a');
  EXPECT_EQ(CaseCounterpart('1'), '\0');
  EXPECT_EQ(CaseCounterpart(' '), '\0');
  EXPECT_EQ(LocaleLowerChar(static_cast<char>(0xC0)), static_cast<char>(0xE0));
  EXPECT_EQ(LocaleUpperChar('q'), 'Q');
  EXPECT_EQ(LocaleLowerStr(""), "");
  EXPECT_EQ(LocaleLowerStr("MiXeD \xC9T\xC9"), "mixed \xE9t\xE9");

  // Far longer than any fixed buffer; lower-cased in place, whole.
  std::string longText(40000, 'Q');
  longText[39998] = static_cast<char>(0xC9);
  LocaleLowerPChar(longText.data());
  EXPECT_EQ(longText.find('Q'), std::string::npos);
  EXPECT_EQ(longText[39999], 'q');
  EXPECT_EQ(longText[39998], static_cast<char>(0xE9));

  std::string bytes("AB\0CD", 5);
  LocaleLowerBytes(bytes.data(), bytes.size());
  EXPECT_EQ(bytes, std::string("ab\0cd", 5));
}

TEST_F(CharTablesTest, LowerCasingJapaneseKeepsTrailBytes)
{
  SetTextLanguage(0x411);
  std::string text = "\x83\x41Z";  // katakana whose trail byte is 'A'
  LocaleLowerPChar(text.data());
  EXPECT_EQ(text, "\x83\x41z");
  EXPECT_TRUE(IsDoubleByteChar("\x83\x41"));
  EXPECT_FALSE(IsDoubleByteChar("AB"));
}

TEST_F(CharTablesTest, CompareIsATotalOrder)
{
  std::vector<std::string> words = {"co-op", "cooperate", "coop", "Coop", "co'op", "apple", "Apple",
                                    "\xE9t\xE9", "ete", "Zebra", "zebra", "10", "9", "a.b", "ab", ""};
  for (bool ignoreCase : {false, true}) {
    for (const auto& a : words) {
      for (const auto& b : words) {
        const int r = LocaleCompare(a, b, ignoreCase);
        ASSERT_TRUE(r == -1 || r == 0 || r == 1);
        EXPECT_EQ(r, -LocaleCompare(b, a, ignoreCase)) << a << " / " << b;
        if (!ignoreCase) {
          EXPECT_EQ(r == 0, a == b) << a << " / " << b;
        }
        for (const auto& c : words) {
          if (r <= 0 && LocaleCompare(b, c, ignoreCase) <= 0) {
            EXPECT_LE(LocaleCompare(a, c, ignoreCase), 0) << a << " / " << b << " / " << c;
          }
        }
      }
    }
  }
  EXPECT_LT(LocaleCompare("coop", "co-op", false), 0);
  EXPECT_LT(LocaleCompare("co-op", "cooperate", false), 0);
  EXPECT_EQ(LocaleCompare("Apple", "apple", true), 0);
  EXPECT_NE(LocaleCompare("Apple", "apple", false), 0);
  EXPECT_NE(LocaleCompare("ete", "\xE9t\xE9", true), 0);  // accents count when ignoring case
  EXPECT_LT(LocaleCompare("apple", "Zebra", false), 0);   // not byte order
}
