#include "foundation/chartables.h"

#include "foundation/settings.h"
#include "platform/codepage.h"
#include "platform/collator.h"
#include "platform/winlocale.h"

#include <algorithm>
#include <cstring>

int32_t LanguageId = 0;
uint16_t AnsiCodePage = 0;
bool FarEastLanguage = false;
std::vector<std::string> LanguageNames;
uint8_t CharTypeTable[256] = {};
char FoldTable[256] = {};

namespace {

struct LanguageRow {
  int32_t id;
  const char* name;
};

// Searched in this order; "Serbian" stands twice.
constexpr LanguageRow kLanguages[] = {
  {0x402, "Bulgarian"}, {0x403, "Catalan"}, {0x404, "Chinese (Taiwan)"}, {0x804, "Chinese (PRC)"},
  {0xC04, "Chinese (Hong Kong)"}, {0x1004, "Chinese (Singapore)"}, {0x405, "Czech"},
  {0x406, "Danish"}, {0x407, "German (Standard)"}, {0x807, "German (Swiss)"},
  {0xC07, "German (Austrian)"}, {0x1007, "German (Luxembourg)"}, {0x1407, "German (Liechtenstein)"},
  {0x408, "Greek"}, {0x409, "English (United States)"}, {0x809, "English (United Kingdom)"},
  {0xC09, "English (Australian)"}, {0x1009, "English (Canadian)"}, {0x1409, "English (New Zealand)"},
  {0x1809, "English (Ireland)"}, {0x1C09, "English (South Africa)"}, {0x2009, "English (Jamaica)"},
  {0x2409, "English (Caribbean)"}, {0x2809, "English (Belize)"}, {0x2C09, "English (Trinidad)"},
  {0x40A, "Spanish (Traditional Sort)"}, {0x80A, "Spanish (Mexican)"}, {0xC0A, "Spanish (Modern Sort)"},
  {0x100A, "Spanish (Guatemala)"}, {0x140A, "Spanish (Costa Rica)"}, {0x180A, "Spanish (Panama)"},
  {0x1C0A, "Spanish (Dominican Republic)"}, {0x200A, "Spanish (Venezuela)"},
  {0x240A, "Spanish (Colombia)"}, {0x280A, "Spanish (Peru)"}, {0x2C0A, "Spanish (Argentina)"},
  {0x300A, "Spanish (Ecuador)"}, {0x340A, "Spanish (Chile)"}, {0x380A, "Spanish (Uruguay)"},
  {0x3C0A, "Spanish (Paraguay)"}, {0x400A, "Spanish (Bolivia)"}, {0x440A, "Spanish (El Salvador)"},
  {0x480A, "Spanish (Honduras)"}, {0x4C0A, "Spanish (Nicaragua)"}, {0x500A, "Spanish (Puerto Rico)"},
  {0x40B, "Finnish"}, {0x40C, "French (Standard)"}, {0x80C, "French (Belgian)"},
  {0xC0C, "French (Canadian)"}, {0x100C, "French (Swiss)"}, {0x140C, "French (Luxembourg)"},
  {0x40E, "Hungarian"}, {0x40F, "Icelandic"}, {0x410, "Italian (Standard)"}, {0x810, "Italian (Swiss)"},
  {0x411, "Japanese"}, {0x412, "Korean"}, {0x812, "Korean (JoHab)"}, {0x413, "Dutch (Standard)"},
  {0x813, "Dutch (Belgian)"}, {0x414, "Norwegian (Bokmal)"}, {0x814, "Norwegian (Nynorsk)"},
  {0x415, "Polish"}, {0x416, "Portuguese (Brazilian)"}, {0x816, "Portuguese (Standard)"},
  {0x418, "Romanian"}, {0x419, "Russian"}, {0x41A, "Croatian"}, {0xC1A, "Serbian"}, {0x41B, "Slovak"},
  {0x41C, "Albanian"}, {0x41D, "Swedish"}, {0x81D, "Swedish (Finland)"}, {0x41E, "Thai"},
  {0x41F, "Turkish"}, {0x421, "Indonesian"}, {0x422, "Ukrainian"}, {0x423, "Belarusian"},
  {0x424, "Slovenian"}, {0x425, "Estonian"}, {0x426, "Latvian"}, {0x427, "Lithuanian"},
  {0x81A, "Serbian"}, {0x42D, "Basque"},
};
static_assert(std::size(kLanguages) == 84);

struct CharsetRow {
  int charset;
  uint16_t codePage;
};

constexpr CharsetRow kCharsets[] = {
  {0, 1252}, {204, 1251}, {238, 1250}, {161, 1253}, {162, 1254}, {186, 1257},
};

constexpr int32_t kFarEast[] = {0x404, 0x804, 0xC04, 0x1004, 0x411, 0x412, 0x812};

std::vector<std::function<void()>>& charTablesListeners()
{
  static std::vector<std::function<void()>> listeners;
  return listeners;
}

const platform::CodePage& currentPage()
{
  return TextPage();
}

bool parseHex(const std::string& text, uint32_t& value)
{
  if (text.empty() || text.size() > 8)
    return false;
  uint32_t v = 0;
  for (char c : text) {
    int d;
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    else
      return false;
    v = v * 16 + static_cast<uint32_t>(d);
  }
  value = v;
  return true;
}

}  // namespace

uint16_t LanguageCodePage()
{
  const uint16_t cp = platform::ansiCodePage(static_cast<uint16_t>(LanguageId & 0xFFFF));
  return cp ? cp : platform::systemAnsiCodePage();
}

uint16_t CharsetToCodePage(int charset)
{
  for (const auto& row : kCharsets)
    if (row.charset == charset)
      return row.codePage;
  return LanguageCodePage();
}

bool IsFarEastLanguage(int32_t langId)
{
  return std::find(std::begin(kFarEast), std::end(kFarEast), langId) != std::end(kFarEast);
}

int32_t LanguageIdByName(std::string_view name)
{
  for (const auto& row : kLanguages)
    if (name == row.name)
      return row.id;
  return 0;
}

std::string LanguageNameById(int32_t langId)
{
  for (const auto& row : kLanguages)
    if (row.id == langId)
      return row.name;
  return {};
}

const uint8_t* GetCharTypeTable()
{
  return CharTypeTable;
}

char LocaleLowerChar(char c)
{
  return static_cast<char>(currentPage().lower[static_cast<unsigned char>(c)]);
}

char LocaleUpperChar(char c)
{
  return static_cast<char>(currentPage().upper[static_cast<unsigned char>(c)]);
}

char CaseCounterpart(char c)
{
  const uint8_t flags = CharTypeTable[static_cast<unsigned char>(c)];
  if (flags & ctUpper)
    return LocaleLowerChar(c);
  if (flags & ctLower)
    return LocaleUpperChar(c);
  return '\0';
}

void LocaleLowerBytes(char* text, size_t n)
{
  const platform::CodePage& cp = currentPage();
  if (!cp.dbcs) {
    for (size_t i = 0; i < n; ++i)
      text[i] = static_cast<char>(cp.lower[static_cast<unsigned char>(text[i])]);
    return;
  }
  const std::string lowered = platform::lowerText(cp, std::string_view(text, n));
  std::memcpy(text, lowered.data(), std::min(n, lowered.size()));
}

void LocaleLowerPChar(char* text)
{
  if (text)
    LocaleLowerBytes(text, std::strlen(text));
}

std::string LocaleLowerStr(std::string_view s)
{
  return platform::lowerText(currentPage(), s);
}

int LocaleCompare(std::string_view a, std::string_view b, bool ignoreCase)
{
  return platform::compareText(static_cast<uint16_t>(LanguageId & 0xFFFF), a, b, ignoreCase);
}

std::string LocaleOrderKey(std::string_view text, bool ignoreCase)
{
  return platform::orderKey(static_cast<uint16_t>(LanguageId & 0xFFFF), text, ignoreCase);
}

const platform::CodePage& TextPage()
{
  thread_local uint16_t id = 0;
  thread_local const platform::CodePage* page = nullptr;
  if (!page || id != AnsiCodePage) {
    page = &platform::codePage(AnsiCodePage);
    id = AnsiCodePage;
  }
  return *page;
}

bool IsDoubleByteChar(const char* p)
{
  return platform::isDoubleByteChar(currentPage(), p);
}

bool IsLeadByte(unsigned char c)
{
  const platform::CodePage& cp = currentPage();
  return cp.dbcs && cp.lead[c];
}

size_t CharStartAt(std::string_view text, size_t pos)
{
  return platform::charStartAt(currentPage(), text, pos);
}

size_t CharEndAt(std::string_view text, size_t pos)
{
  return platform::charEndAt(currentPage(), text, pos);
}

std::string_view CharsWithin(std::string_view text, size_t size)
{
  return platform::charsWithin(currentPage(), text, size);
}

std::string SingleByteChars(std::string_view text)
{
  return platform::singleByteChars(currentPage(), text);
}

void AddLocaleLanguage(const std::string& localeText)
{
  uint32_t value;
  if (!parseHex(localeText, value))
    return;
  const std::string name = LanguageNameById(static_cast<int32_t>(value & 0xFFFF));
  if (!name.empty() && std::find(LanguageNames.begin(), LanguageNames.end(), name) == LanguageNames.end())
    LanguageNames.push_back(name);
}

void InitLanguages()
{
  LanguageNames.clear();
  for (const std::string& text : platform::installedLocaleTexts())
    AddLocaleLanguage(text);
  // The user's default language stands even when the table has no row for it.
  LanguageId = platform::userDefaultLangId();
  AnsiCodePage = LanguageCodePage();
  FarEastLanguage = IsFarEastLanguage(LanguageId);
}

void SetTextLanguage(int32_t langId)
{
  if (LanguageNameById(langId).empty())
    langId = platform::userDefaultLangId();
  LanguageId = langId;
  AnsiCodePage = LanguageCodePage();
  FarEastLanguage = IsFarEastLanguage(LanguageId);
}

void ResetCharTables()
{
  std::memset(CharTypeTable, 0, sizeof CharTypeTable);
  for (int i = 0; i < 256; ++i)
    FoldTable[i] = static_cast<char>(i);
}

void BuildFoldTable()
{
  const ConcordConfig& cfg = ConcordSettings;
  for (int i = 0; i < 256; ++i) {
    const char c = static_cast<char>(i);
    FoldTable[i] = (cfg.IgnoreCase && (CharTypeTable[i] & ctUpper)) ? LocaleLowerChar(c) : c;
  }
  if (!cfg.UseSkipEqualChars)
    return;
  for (const TCharSet& group : cfg.EqualCharSets) {
    int lowest = -1;
    for (int i = 0; i < 256 && lowest < 0; ++i)
      if (group.test(static_cast<size_t>(i)))
        lowest = i;
    if (lowest < 0)
      continue;
    char representative = static_cast<char>(lowest);
    if (cfg.IgnoreCase)
      representative = LocaleLowerChar(representative);
    for (int i = 0; i < 256; ++i) {
      if (!group.test(static_cast<size_t>(i)))
        continue;
      FoldTable[i] = representative;
      if (cfg.IgnoreCase) {
        const char counterpart = CaseCounterpart(static_cast<char>(i));
        if (counterpart != '\0')
          FoldTable[static_cast<unsigned char>(counterpart)] = representative;
      }
    }
  }
}

void BuildCharTables()
{
  const platform::CodePage& cp = platform::codePage(LanguageCodePage());
  const std::string nonWord = platform::singleByteChars(cp, ConcordSettings.NonWordChars);
  bool inNonWord[256] = {};
  for (char c : nonWord)
    inNonWord[static_cast<unsigned char>(c)] = true;
  for (int i = 0; i < 256; ++i) {
    const uint16_t c1 = cp.ctype[i];
    uint8_t flags = 0;
    if (c1 & platform::C1_UPPER) flags |= ctUpper;
    if (c1 & platform::C1_LOWER) flags |= ctLower;
    if (c1 & platform::C1_DIGIT) flags |= ctDigit;
    if (c1 & platform::C1_SPACE) flags |= ctSpace;
    if (c1 & platform::C1_PUNCT) flags |= ctPunct;
    if (c1 & platform::C1_CNTRL) flags |= ctControl;
    if (c1 & platform::C1_BLANK) flags |= ctBlank;
    if (c1 & platform::C1_XDIGIT) flags |= ctHexDigit;
    // A non-word character is punctuation only; any other punctuation counts
    // as a letter.
    if (inNonWord[i])
      flags = ctPunct;
    else if (flags & ctPunct)
      flags = ctUpper | ctLower;
    CharTypeTable[i] = flags;
  }
  BuildFoldTable();
  for (const auto& listener : charTablesListeners())
    listener();
}

void AddCharTablesListener(std::function<void()> listener)
{
  charTablesListeners().push_back(std::move(listener));
}
