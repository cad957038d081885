#include "foundation/utils.h"

#include "foundation/chartables.h"
#include "foundation/program_state.h"

#include "support/fake_bridge.h"
#include "support/scoped_env.h"
#include "support/scratch_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unicode/uloc.h>
#include <vector>

using testsupport::FakeBridge;
using testsupport::RecordingFrameSink;
using testsupport::ScopedEnv;
using testsupport::ScratchFolder;

namespace {

class UtilsTest : public ::testing::Test {
protected:
  void SetUp() override { InitProgramState(); }
  void TearDown() override { InitProgramState(); }
};

// Runs with another default ICU locale, then puts en_US back.
struct ScopedIcuLocale {
  explicit ScopedIcuLocale(const char* name)
  {
    UErrorCode status = U_ZERO_ERROR;
    uloc_setDefault(name, &status);
  }
  ~ScopedIcuLocale()
  {
    UErrorCode status = U_ZERO_ERROR;
    uloc_setDefault("en_US", &status);
  }
};

}  // namespace

TEST_F(UtilsTest, TextFilesAllowFourControlBytesInTheirFirst256)
{
  ScratchFolder dir;
  EXPECT_TRUE(IsTextFile(dir.write("empty.txt", "")));
  EXPECT_TRUE(IsTextFile(dir.write("four.txt", std::string("ab\0\0\0\0cd\t\r\n\f", 12))));
  EXPECT_FALSE(IsTextFile(dir.write("five.txt", std::string("ab\0\0\0\0\0cd", 9))));
  EXPECT_FALSE(IsTextFile(dir.write("del.txt", "\x7F\xFF\x7F\xFF\x1B")));
  EXPECT_TRUE(IsTextFile(dir.write("late.txt", std::string(256, 'a') + std::string(10, '\0'))));
  EXPECT_TRUE(IsTextFile(dir.write("accents.txt", "caf\xE9 \xFC\xE8")));
  EXPECT_TRUE(IsTextFile(dir.file("missing.txt"))) << "an unreadable file counts as text";
}

TEST_F(UtilsTest, UrlsAreHttpOrFtpInAnyCaseWithoutTrimming)
{
  for (const char* url : {"HTTP://example.org/a.txt", "Ftp://host/x"})
    EXPECT_TRUE(IsURL(url)) << url;
  for (const char* other : {" http://example.org", "https://example.org", "http:/x", "/home/user/http://"})
    EXPECT_FALSE(IsURL(other)) << other;
}

TEST_F(UtilsTest, BlanksAreSpacesOnly)
{
  EXPECT_EQ(TrimBlanks("  a b \t "), "a b \t");
  EXPECT_EQ(TrimBlanks("   "), "");
  EXPECT_EQ(RemoveBlanks(" a b\tc "), "ab\tc");
  EXPECT_TRUE(AllStringsBlank({}));
  EXPECT_TRUE(AllStringsBlank({"", "   "}));
  EXPECT_FALSE(AllStringsBlank({"", "\t"}));
  EXPECT_EQ(IndexOfExact("b", {"a", "B", "b", "b"}), 2);
  EXPECT_EQ(IndexOfExact("c", {"a"}), -1);
  EXPECT_EQ(LowerCaseText("ABC D"), "abc d");
}

TEST_F(UtilsTest, IntegersStayWithinThirtyTwoBitsAtBothEnds)
{
  struct Case {
    const char* Text;
    bool Valid;
    int32_t Value;
  };
  const Case cases[] = {{"-2147483648", true, INT32_MIN}, {"-2147483649", false, 0},
                        {"2147483647", true, INT32_MAX},  {"2147483648", false, 0},
                        {" -7 ", true, -7},               {"-", false, 0}};
  for (const Case& c : cases) {
    int32_t value = 12345;
    EXPECT_EQ(TryStrToInt(c.Text, value), c.Valid) << c.Text;
    if (c.Valid) {
      EXPECT_EQ(value, c.Value) << c.Text;
    }
  }
}

TEST_F(UtilsTest, EqualCharacterGroupsParseOrLeaveTheOldGroups)
{
  ConcordSettings.EqualChars = " a = b=c ; d=e";
  ASSERT_TRUE(ParseEqualChars());
  ASSERT_EQ(ConcordSettings.EqualCharSets.size(), 2u);
  EXPECT_EQ(ConcordSettings.EqualCharSets[0], CharSetOf("abc"));
  EXPECT_EQ(ConcordSettings.EqualCharSets[1], CharSetOf("de"));

  const CharSetArray before = ConcordSettings.EqualCharSets;
  for (const char* bad : {";;", "a=1", "a-b", "a==b", "a=b;;c=d", "A=\x1F"}) {
    ConcordSettings.EqualChars = bad;
    EXPECT_FALSE(ParseEqualChars()) << bad;
    EXPECT_EQ(ConcordSettings.EqualCharSets, before) << bad;
  }

  ConcordSettings.EqualChars = "a=";
  ASSERT_TRUE(ParseEqualChars());
  ASSERT_EQ(ConcordSettings.EqualCharSets.size(), 1u);
  EXPECT_EQ(ConcordSettings.EqualCharSets[0], CharSetOf("a"));

  ConcordSettings.EqualChars = "e=\xE9=\xE8;A";  // accented letters are above 65 unsigned
  ASSERT_TRUE(ParseEqualChars());
  EXPECT_EQ(ConcordSettings.EqualCharSets.size(), 2u);

  ConcordSettings.EqualChars = "   ";
  ASSERT_TRUE(ParseEqualChars());
  EXPECT_TRUE(ConcordSettings.EqualCharSets.empty());
}

TEST_F(UtilsTest, CharactersAreEqualByGroupOnlyWhileSwitchedOn)
{
  ConcordSettings.EqualChars = "e=\xE9;o=\xF6";
  ASSERT_TRUE(ParseEqualChars());
  EXPECT_TRUE(CharsEqual('x', 'x'));
  EXPECT_FALSE(CharsEqual('e', '\xE9'));
  ConcordSettings.UseSkipEqualChars = true;
  EXPECT_TRUE(CharsEqual('e', '\xE9'));
  EXPECT_TRUE(CharsEqual('\xF6', 'o'));
  EXPECT_FALSE(CharsEqual('e', 'o'));
}

TEST_F(UtilsTest, EditValuesAreClampedAsUnsignedNumbers)
{
  // Typed text, fallback, then the value and the text written back; the
  // fallback is clamped too, a negative entry becomes the maximum.
  struct Case {
    std::string typed;
    int fallback, value;
    std::string shown;
  };
  for (Case k : std::vector<Case>{{"", 500, 100, "100"}, {" 42 ", 5, 42, "42"}, {"-1", 5, 100, "100"},
                                  {"0", 5, 1, "1"}, {"12abc", 7, 7, "7"}, {"99999999999", 7, 7, "7"},
                                  {"$10", 7, 16, "16"}}) {
    std::string t = k.typed;
    EXPECT_EQ(ClampEditToRange(t, k.fallback, 1, 100), k.value) << k.typed;
    EXPECT_EQ(t, k.shown) << k.typed;
  }
}

TEST_F(UtilsTest, LineBreaksFlattenToOneBlankEach)
{
  std::string s = "a\r\nb\n\rc\rd\ne\tf\x01g\n\nh";
  FlattenLineBreaks(s);
  EXPECT_EQ(s, "a b c d efg  h");
  char buf[] = "x\r\ny\tz";
  FlattenLineBreaks(buf);
  EXPECT_STREQ(buf, "x yz");
}

TEST_F(UtilsTest, FindBytesNeedsAPatternThatFits)
{
  const char text[] = "abcabc";
  EXPECT_EQ(FindBytes(text, "ca", 6), text + 2);
  EXPECT_EQ(FindBytes(text, "abcabcd", 6), nullptr);
  EXPECT_EQ(FindBytes(text, "", 6), nullptr);
  EXPECT_EQ(FindBytes(nullptr, "a", 6), nullptr);
  EXPECT_EQ(FindBytes(text, "bc", 2), nullptr);
  EXPECT_EQ(FindByte(text, 'c', 6), text + 2);
  EXPECT_EQ(FindByte(text, 'c', 0), nullptr);
  EXPECT_EQ(FindByte(text, 'z', 6), nullptr);
}

TEST_F(UtilsTest, FoldersComeFromThePlatformAndTempFilesGoThere)
{
  ScratchFolder dir;
  ScopedEnv tmp("TMPDIR", dir.path() + "tmp");
  ScopedEnv xdg("XDG_CONFIG_HOME", dir.path() + "config");
  std::filesystem::create_directory(dir.path() + "tmp");
  InitSharedState();
  EXPECT_EQ(TempFolder, dir.path() + "tmp/");
  EXPECT_EQ(WindowsFolder, dir.path() + "config/quillmar/");
  EXPECT_TRUE(std::filesystem::is_directory(WindowsFolder));
  EXPECT_EQ(VersionText, "Version 2.2 (Build 242)");

  const std::string name = MakeTempFileName("LNT");
  EXPECT_EQ(name.rfind(TempFolder + "LNT", 0), 0u) << name;
  EXPECT_TRUE(name.ends_with(".tmp"));
  EXPECT_TRUE(std::filesystem::exists(name));
  EXPECT_NE(MakeTempFileName("LNT"), name);
  InitSharedState();
}

TEST_F(UtilsTest, IndexHeaderNamesCutTheExtensionOfTheFilePartOnly)
{
  for (auto [name, header] : std::vector<std::pair<std::string, std::string>>{
         {"/tmp/a.b/LNT12.tmp", "/tmp/a.b/LNT12H.tmp"}, {"/tmp/a.b/LNT12", "/tmp/a.b/LNT12H.tmp"},
         {"dir/x.y.z", "dir/x.yH.tmp"}, {"x", "xH.tmp"}})
    EXPECT_EQ(IndexHeaderFileName(name), header);
  EXPECT_EQ(IncludeBackslash("/tmp"), "/tmp/");
  EXPECT_EQ(IncludeBackslash("/tmp/"), "/tmp/");
  EXPECT_EQ(IncludeBackslash(""), "");
}

TEST_F(UtilsTest, StatusTextGoesToTheFrameAndThenPumps)
{
  FakeBridge bridge;
  RecordingFrameSink frame;
  SetStatusText(" Searching...");
  RefreshCorpusInfo();
  CloseChildWindows(2);
  EXPECT_EQ(frame.Calls, (std::vector<std::string>{"status:  Searching...", "corpusInfo", "close: 2"}));
  EXPECT_EQ(bridge.Pumps(), 2);
}

TEST_F(UtilsTest, SizesChooseTheirUnitBeforeRounding)
{
  for (auto [size, text] : std::vector<std::pair<int64_t, std::string>>{
         {0, "0 bytes"}, {1, "1 byte"}, {1023, "1023 bytes"}, {1024, "1.00 kbytes"}, {1536, "1.50 kbytes"},
         {1048575, "1024.00 kbytes"}, {1048576, "1.00 mbytes"}, {int64_t(5) << 30, "5120.00 mbytes"}})
    EXPECT_EQ(SizeText(size, true), text);
  EXPECT_EQ(SizeText(1536, false), "1.50");
  EXPECT_EQ(SizeText(-1, true), "");
}

TEST_F(UtilsTest, CountsUseTheLocalesThousandsSeparator)
{
  for (auto [n, text] : std::vector<std::pair<int64_t, std::string>>{
         {1000, "1,000 words"}, {1, "1 word"}, {0, "0 words"}, {1234567, "1,234,567 words"},
         {int64_t(5000000000), "5,000,000,000 words"}})
    EXPECT_EQ(CountText(n, "word"), text);
  {
    ScopedIcuLocale german("de_DE");
    EXPECT_EQ(CountText(1000, "word"), "1.000 words");
  }
  {
    ScopedIcuLocale french("fr_FR");  // U+202F, written as the page's no-break space
    EXPECT_EQ(CountText(12345, "mot"), "12\xA0" "345 mots");
  }
}

TEST_F(UtilsTest, HistoryPutsTheTextFirstBySwappingWithTheOldFirst)
{
  std::vector<std::string> items = {"a", "b", "c", "d", "e"};
  std::string text = "  d ";
  EXPECT_EQ(AddToHistory(items, text), 0);
  EXPECT_EQ(text, "d");
  EXPECT_EQ(items, (std::vector<std::string>{"d", "b", "c", "a", "e"}));
  text = "new";
  AddToHistory(items, text);
  EXPECT_EQ(items.front(), "new");
  EXPECT_EQ(items.size(), 6u);
  text = "new";
  AddToHistory(items, text);
  EXPECT_EQ(items.size(), 6u);
  text = "   ";
  EXPECT_EQ(AddToHistory(items, text), -1);
  EXPECT_EQ(items.size(), 6u);
}
