// Regular expressions on double-byte code pages: patterns are read by
// characters, '.', lists, ranges, \w and the word assertions take whole
// characters, ignore case leaves trail bytes alone, and no match begins or
// ends inside a character. The texts are written as Unicode and converted to
// the language's code page; each hit is read back the same way.
#include "regexp_fixture.h"

#include "platform/codepage.h"

#include <ostream>
#include <vector>

namespace {

using regexptest::AllMatchers;
using regexptest::MatcherName;

struct DbcsCase {
  int32_t language;
  const char16_t* pattern;
  const char16_t* text;
  std::vector<std::u16string> hits;
  bool ignoreCase = false;
};

void PrintTo(const DbcsCase& c, std::ostream* os)
{
  *os << std::hex << c.language << std::dec << ", a pattern of "
      << std::char_traits<char16_t>::length(c.pattern) << " characters";
}

class RegExpDbcsTest : public regexptest::RegExpFixture, public ::testing::WithParamInterface<DbcsCase> {};

TEST_P(RegExpDbcsTest, HitsAreWholeCharacters)
{
  const DbcsCase& c = GetParam();
  SetTextLanguage(c.language);
  ConcordSettings.IgnoreCase = c.ignoreCase;
  BuildCharTables();
  const platform::CodePage& page = platform::codePage(AnsiCodePage);
  const std::string pattern = platform::fromUtf16(page, c.pattern);
  const std::string text = platform::fromUtf16(page, c.text);
  for (TRegExpMatcher matcher : AllMatchers) {
    TRegExp re(pattern, matcher);
    std::vector<std::u16string> hits;
    int32_t s = -1;
    int32_t e = -1;
    for (int32_t from = 0; from < int32_t(text.size()) &&
                           re.Search(text.data(), int32_t(text.size()), from, s, e);
         from = e)
      hits.push_back(platform::toUtf16(page, text.substr(size_t(s), size_t(e - s))));
    EXPECT_EQ(hits, c.hits) << MatcherName(matcher);
  }
}

constexpr int32_t Japanese = 0x411;  // 932
constexpr int32_t Chinese = 0x804;   // 936
constexpr int32_t Korean = 0x412;    // 949
constexpr int32_t Taiwan = 0x404;    // 950

// Trail bytes: 表 95 5C, ソ 83 5C, ポ 83 7C, ア 83 41, ヂ 83 61, ｂ 82 82,
// 字 8E 9A; 乗 81 5C, 亅 81 7C (936); 갂 81 41, 갵 81 61 (949); 許 B3 5C,
// 功 A5 5C (950).
INSTANTIATE_TEST_SUITE_P(
    Pages, RegExpDbcsTest,
    ::testing::Values(
        DbcsCase{Japanese, u"表", u"表示 代表", {u"表", u"表"}},
        DbcsCase{Japanese, u"ポスト", u"ポスト ポ", {u"ポスト"}},
        DbcsCase{Japanese, u"[表ソ]", u"表ソ表ソ表 ソ表ソ表ソ",
                 {u"表", u"ソ", u"表", u"ソ", u"表", u"ソ", u"表", u"ソ", u"表", u"ソ"}},
        DbcsCase{Japanese, u"[ア-ウ]", u"アィイゥウヂ", {u"ア", u"ィ", u"イ", u"ゥ", u"ウ"}},
        DbcsCase{Japanese, u"[^ア-ウ]+", u"アxヂイ", {u"xヂ"}},
        DbcsCase{Japanese, u"東.", u"東京 アイ", {u"東京"}},
        DbcsCase{Japanese, u".都", u"京都 首都", {u"京都", u"首都"}},
        DbcsCase{Japanese, u"(.)\\1", u"ｂ 字字", {u"字字"}},
        DbcsCase{Japanese, u"\\w+", u"東京 表ソ", {u"東京", u"表ソ"}},
        DbcsCase{Japanese, u"[[:alpha:]]+", u"表ソ,東京", {u"表ソ", u"東京"}},
        DbcsCase{Japanese, u".ソ\\>", u"表ソA 表ソ", {u"表ソ"}},
        DbcsCase{Japanese, u"\\<ア", u"イア ア", {u"ア"}},
        DbcsCase{Japanese, u"\\B.", u"表ソ", {u"ソ"}},
        DbcsCase{Japanese, u"A|\\\\|[|]", u"アA表ポ|", {u"A", u"|"}},
        DbcsCase{Japanese, u"\\W|\\表", u"表 ソ", {u"表", u" "}},
        DbcsCase{Japanese, u"\\S", u"表ソ", {u"表", u"ソ"}},
        DbcsCase{Japanese, u"ア", u"ヂア", {u"ア"}, true},
        DbcsCase{Chinese, u"乗.", u"乗亅乗", {u"乗亅"}},
        DbcsCase{Chinese, u"[乗亅]+", u"\\亅乗x", {u"亅乗"}},
        DbcsCase{Korean, u"갂", u"갵갂", {u"갂"}, true},
        DbcsCase{Korean, u"[갂-갃]", u"갵갂", {u"갂"}},
        DbcsCase{Taiwan, u"許.", u"許多 成功", {u"許多"}},
        DbcsCase{Taiwan, u"\\w+", u"許多 成功", {u"許多", u"成功"}},
        DbcsCase{Taiwan, u"[許功]\\>", u"許多 成功", {u"功"}}));

}  // namespace
