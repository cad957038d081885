#include "platform/codepage.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

using namespace platform;

namespace {

uint16_t flagsOf(uint16_t page, unsigned char b) { return codePage(page).ctype[b]; }

}  // namespace

TEST(CodePageTypes, AsciiAndLatin1ClassesOf1252)
{
  EXPECT_EQ(flagsOf(1252, 'A'), C1_UPPER | C1_ALPHA | C1_XDIGIT);
  EXPECT_EQ(flagsOf(1252, 'g'), C1_LOWER | C1_ALPHA);
  EXPECT_EQ(flagsOf(1252, '7'), C1_DIGIT | C1_XDIGIT);
  EXPECT_EQ(flagsOf(1252, ' '), C1_SPACE | C1_BLANK);
  EXPECT_EQ(flagsOf(1252, '\t'), C1_CNTRL | C1_SPACE | C1_BLANK);
  EXPECT_EQ(flagsOf(1252, '\n'), C1_CNTRL | C1_SPACE);
  EXPECT_EQ(flagsOf(1252, 0x1C), C1_CNTRL);  // not a space on Windows
  EXPECT_EQ(flagsOf(1252, '$'), C1_PUNCT);
  EXPECT_EQ(flagsOf(1252, '.'), C1_PUNCT);
  EXPECT_EQ(flagsOf(1252, 0xA0), C1_SPACE | C1_BLANK);
  EXPECT_EQ(flagsOf(1252, 0xE9), C1_LOWER | C1_ALPHA);  // e acute
  EXPECT_EQ(flagsOf(1252, 0xB2), C1_PUNCT | C1_DIGIT);  // superscript two
  EXPECT_EQ(flagsOf(1252, 0x80), 0);                    // the euro sign has no class
  EXPECT_EQ(flagsOf(1252, 0x81), C1_CNTRL);             // undefined: passed through as C1 control
  EXPECT_EQ(flagsOf(1252, 0xAA) & C1_LOWER, C1_LOWER);  // feminine ordinal
}

TEST(CodePageTypes, UndefinedBytesHaveNoClassAndDecodeAsReplacement)
{
  const CodePage& greek = codePage(1253);
  EXPECT_EQ(greek.toU[0xD2], 0xFFFF);
  EXPECT_EQ(greek.ctype[0xD2], 0);
  EXPECT_EQ(toUtf16(greek, "\xD2"), u"\uFFFD");
}

TEST(CodePageCase, Windows1252RoundTripMappingsOnly)
{
  const CodePage& cp = codePage(1252);
  EXPECT_EQ(cp.lower['A'], 'a');
  EXPECT_EQ(cp.upper['z'], 'Z');
  EXPECT_EQ(cp.upper[0xFF], 0x9F);  // y diaeresis <-> Y diaeresis
  EXPECT_EQ(cp.lower[0x9F], 0xFF);
  EXPECT_EQ(cp.lower[0x8A], 0x9A);  // S caron
  EXPECT_EQ(cp.upper[0xE9], 0xC9);  // e acute
  EXPECT_EQ(cp.upper[0xB5], 0xB5);  // micro sign: its capital is not on the page
  EXPECT_EQ(cp.lower[0xB5], 0xB5);
  EXPECT_EQ(cp.upper[0xDF], 0xDF);  // sharp s has no single-character capital
  EXPECT_EQ(cp.lower['1'], '1');
  EXPECT_EQ(lowerText(cp, "\xC9T\xC9 D\xE9j\xE0"), "\xE9t\xE9 d\xE9j\xE0");
}

TEST(CodePageCase, Windows1254KeepsDottedAndDotlessIApart)
{
  const CodePage& cp = codePage(1254);
  EXPECT_EQ(cp.lower['I'], 'i');
  EXPECT_EQ(cp.upper['i'], 'I');
  EXPECT_EQ(cp.lower[0xDD], 0xDD);  // capital I with dot
  EXPECT_EQ(cp.upper[0xFD], 0xFD);  // dotless i
  EXPECT_EQ(cp.lower[0xC7], 0xE7);  // C cedilla
}

TEST(CodePageConversion, RoundTripAndUnmappableCharacters)
{
  const CodePage& cyr = codePage(1251);
  const std::string bytes = "\xCF\xF0\xE8\xE2\xE5\xF2, world";  // "Привет, world"
  const std::u16string text = toUtf16(cyr, bytes);
  EXPECT_EQ(text, u"Привет, world");
  EXPECT_EQ(fromUtf16(cyr, text), bytes);
  EXPECT_EQ(fromUtf16(codePage(1252), u"Привет"), "??????");
  EXPECT_EQ(fromUtf16(codePage(1252), u"a\U0001F600b"), "a?b");  // one '?' per code point
}

TEST(CodePageConversion, UnknownPageFallsBackTo1252)
{
  EXPECT_EQ(codePage(4242).id, 1252);
  EXPECT_EQ(&codePage(1252), &codePage(1252));  // built once
}

TEST(CodePageDbcs, ShiftJisLeadBytes)
{
  const CodePage& sjis = codePage(932);
  ASSERT_TRUE(sjis.dbcs);
  int leads = 0;
  for (bool b : sjis.lead)
    leads += b;
  EXPECT_EQ(leads, 60);
  EXPECT_TRUE(sjis.lead[0x81]);
  EXPECT_TRUE(sjis.lead[0xE0]);
  EXPECT_FALSE(sjis.lead[0xA1]);  // half-width katakana stand alone
  EXPECT_FALSE(sjis.lead['A']);
  EXPECT_TRUE(isDoubleByteChar(sjis, "\x83\x41"));
  EXPECT_FALSE(isDoubleByteChar(sjis, "\x83"));  // a lead byte at the end
  EXPECT_FALSE(isDoubleByteChar(sjis, "AB"));
  EXPECT_FALSE(isDoubleByteChar(codePage(1252), "\x83\x41"));
  EXPECT_EQ(codePage(936).dbcs, true);
}

TEST(CodePageDbcs, LowerCasingNeverTouchesTrailBytes)
{
  const CodePage& sjis = codePage(932);
  // Katakana "a" is 0x83 0x41: its trail byte is an ASCII 'A'.
  EXPECT_EQ(lowerText(sjis, "\x83\x41X"), "\x83\x41x");
  // Full-width A (0x82 0x60) lower-cases to full-width a (0x82 0x81).
  EXPECT_EQ(lowerText(sjis, "\x82\x60"), "\x82\x81");
  EXPECT_EQ(upperText(sjis, "\x82\x81"), "\x82\x60");
  EXPECT_EQ(lowerText(sjis, "A\x83"), "a\x83");  // a lone lead byte at the end stays
  // Met a second time, each direction still maps by its own rule.
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(lowerText(sjis, "\x82\x60\x82\x81\x83\x41"), "\x82\x81\x82\x81\x83\x41");
    EXPECT_EQ(upperText(sjis, "\x82\x60\x82\x81\x83\x41"), "\x82\x60\x82\x60\x83\x41");
  }
  EXPECT_EQ(toUtf16(sjis, "\x83\x41"), u"ア");
  EXPECT_EQ(fromUtf16(sjis, u"アa"), "\x83\x41" "a");
}

// Character boundaries found backwards agree with a walk from the start, on
// every DBCS page and on random bytes heavy in lead bytes.
TEST(CodePageDbcs, CharBoundariesAgreeWithAForwardWalk)
{
  std::mt19937 rng(7);
  for (uint16_t id : {932, 936, 949, 950, 1252}) {
    const platform::CodePage& cp = platform::codePage(id);
    for (int round = 0; round < 200; ++round) {
      std::string text(rng() % 40, '\0');
      for (char& c : text)
        c = static_cast<char>(rng() % 3 ? 0x81 + rng() % 0x7E : 0x20 + rng() % 0x60);
      std::vector<bool> boundary(text.size() + 1, false);
      for (size_t i = 0; i < text.size(); i += platform::charBytesAt(cp, text, i))
        boundary[i] = true;
      boundary[text.size()] = true;
      for (size_t pos = 0; pos <= text.size(); ++pos) {
        size_t start = pos, end = pos;
        while (!boundary[start]) --start;
        while (!boundary[end]) ++end;
        ASSERT_EQ(platform::charStartAt(cp, text, pos), start) << id << " at " << pos;
        ASSERT_EQ(platform::charEndAt(cp, text, pos), end) << id << " at " << pos;
      }
    }
  }
}
