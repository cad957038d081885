#include "platform/winlocale.h"

#include <gtest/gtest.h>
#include <unicode/uloc.h>

#include <cctype>

using namespace platform;

namespace {

// Switches ICU's default locale for one test and back to the test default.
class DefaultLocale {
public:
  explicit DefaultLocale(const char* name)
  {
    UErrorCode status = U_ZERO_ERROR;
    uloc_setDefault(name, &status);
  }
  ~DefaultLocale()
  {
    UErrorCode status = U_ZERO_ERROR;
    uloc_setDefault("en_US", &status);
  }
};

}  // namespace

TEST(WinLocaleCodePages, ByPrimaryLanguage)
{
  EXPECT_EQ(ansiCodePage(0x409), 1252);
  EXPECT_EQ(ansiCodePage(0x40A), 1252);
  EXPECT_EQ(ansiCodePage(0x405), 1250);
  EXPECT_EQ(ansiCodePage(0x419), 1251);
  EXPECT_EQ(ansiCodePage(0xC1A), 1251);  // Serbian in Cyrillic
  EXPECT_EQ(ansiCodePage(0x81A), 1250);  // Serbian in Latin
  EXPECT_EQ(ansiCodePage(0x41A), 1250);
  EXPECT_EQ(ansiCodePage(0x408), 1253);
  EXPECT_EQ(ansiCodePage(0x41F), 1254);
  EXPECT_EQ(ansiCodePage(0x426), 1257);
  EXPECT_EQ(ansiCodePage(0x41E), 874);
  EXPECT_EQ(ansiCodePage(0x411), 932);
  EXPECT_EQ(ansiCodePage(0x804), 936);
  EXPECT_EQ(ansiCodePage(0x1004), 936);
  EXPECT_EQ(ansiCodePage(0x404), 950);
  EXPECT_EQ(ansiCodePage(0xC04), 950);
  EXPECT_EQ(ansiCodePage(0x812), 949);
  EXPECT_EQ(ansiCodePage(0x7F), 0);
  EXPECT_EQ(ansiCodePage(0x439), 0);  // Hindi has no ANSI page
}

TEST(WinLocaleDefault, FollowsIcusDefaultLocale)
{
  EXPECT_EQ(userDefaultLangId(), 0x409);
  EXPECT_EQ(systemAnsiCodePage(), 1252);
  {
    DefaultLocale de("de_AT");
    EXPECT_EQ(userDefaultLangId(), 0xC07);
  }
  {
    DefaultLocale ru("ru_RU");
    EXPECT_EQ(userDefaultLangId(), 0x419);
    EXPECT_EQ(systemAnsiCodePage(), 1251);
  }
  {
    DefaultLocale posix("en_US_POSIX");
    EXPECT_EQ(userDefaultLangId(), 0x409);
  }
  {
    DefaultLocale neutral("fr");
    EXPECT_EQ(userDefaultLangId(), 0x40C);
  }
  {
    DefaultLocale hindi("hi_IN");
    EXPECT_EQ(systemAnsiCodePage(), 1252);  // no ANSI page of its own
  }
}

TEST(WinLocaleNames, IcuLocales)
{
  EXPECT_NE(icuLocaleForLangId(0x40A).find("collation=traditional"), std::string::npos);
  EXPECT_EQ(icuLocaleForLangId(0x409), "en_US");
  EXPECT_EQ(icuLocaleForLangId(0x419), "ru_RU");
}

TEST(WinLocaleEnumeration, KnownLanguagesAsHexTextsAndInjectable)
{
  const auto texts = installedLocaleTexts();
  ASSERT_EQ(texts.size(), 84u);
  EXPECT_EQ(texts.front(), "00000402");
  EXPECT_EQ(texts[14], "00000409");
  EXPECT_EQ(texts.back(), "0000042D");
  for (const auto& t : texts) {
    ASSERT_EQ(t.size(), 8u);
    for (char c : t)
      EXPECT_TRUE(std::isxdigit(static_cast<unsigned char>(c)) && !std::islower(static_cast<unsigned char>(c)));
  }
  setInstalledLocaleTexts([] { return std::vector<std::string>{"00000419", "zz"}; });
  EXPECT_EQ(installedLocaleTexts(), (std::vector<std::string>{"00000419", "zz"}));
  setInstalledLocaleTexts(nullptr);
  EXPECT_EQ(installedLocaleTexts().size(), 84u);
}
