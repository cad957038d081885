#include "platform/winlocale.h"

#include <unicode/uloc.h>

#include <cstdio>
#include <mutex>

namespace platform {
namespace {

// The languages the program knows, in the order of its language table. They
// stand for the installed locales: every one of them counts as installed.
constexpr uint16_t kKnownLanguages[] = {
  0x402, 0x403, 0x404, 0x804, 0xC04, 0x1004, 0x405, 0x406, 0x407, 0x807, 0xC07, 0x1007,
  0x1407, 0x408, 0x409, 0x809, 0xC09, 0x1009, 0x1409, 0x1809, 0x1C09, 0x2009, 0x2409, 0x2809,
  0x2C09, 0x40A, 0x80A, 0xC0A, 0x100A, 0x140A, 0x180A, 0x1C0A, 0x200A, 0x240A, 0x280A, 0x2C0A,
  0x300A, 0x340A, 0x380A, 0x3C0A, 0x400A, 0x440A, 0x480A, 0x4C0A, 0x500A, 0x40B, 0x40C, 0x80C,
  0xC0C, 0x100C, 0x140C, 0x40E, 0x40F, 0x410, 0x810, 0x411, 0x412, 0x812, 0x413, 0x813,
  0x414, 0x814, 0x415, 0x416, 0x816, 0x418, 0x419, 0x41A, 0xC1A, 0x41B, 0x41C, 0x41D,
  0x81D, 0x41E, 0x41F, 0x421, 0x422, 0x423, 0x424, 0x425, 0x426, 0x427, 0x81A, 0x42D,
};
static_assert(sizeof kKnownLanguages / sizeof kKnownLanguages[0] == 84);

std::mutex sourceMutex;
std::function<std::vector<std::string>()> localeSource;

uint16_t lcidOf(const char* locale)
{
  const uint32_t lcid = uloc_getLCID(locale);
  return static_cast<uint16_t>(lcid & 0xFFFF);
}

}  // namespace

uint16_t ansiCodePage(uint16_t langId)
{
  const unsigned primary = langId & 0x3FF, sub = langId >> 10;
  switch (primary) {
  case 0x05: case 0x0E: case 0x15: case 0x18: case 0x1B: case 0x1C: case 0x24:
    return 1250;
  case 0x1A:
    return sub == 3 ? 1251 : 1250;  // Serbian in Cyrillic | Croatian, Serbian in Latin
  case 0x02: case 0x19: case 0x22: case 0x23:
    return 1251;
  case 0x08: return 1253;
  case 0x1F: return 1254;
  case 0x0D: return 1255;
  case 0x01: case 0x20: case 0x29: return 1256;
  case 0x25: case 0x26: case 0x27: return 1257;
  case 0x2A: return 1258;
  case 0x1E: return 874;
  case 0x11: return 932;
  case 0x12: return 949;  // Johab (0x812) too: ICU has no converter for 1361
  case 0x04: return (sub == 2 || sub == 4) ? 936 : 950;
  case 0x03: case 0x06: case 0x07: case 0x09: case 0x0A: case 0x0B: case 0x0C: case 0x0F:
  case 0x10: case 0x13: case 0x14: case 0x16: case 0x1D: case 0x21: case 0x2D:
    return 1252;
  default:
    return 0;
  }
}

uint16_t userDefaultLangId()
{
  const char* def = uloc_getDefault();
  char language[ULOC_LANG_CAPACITY] = {};
  char country[ULOC_COUNTRY_CAPACITY] = {};
  UErrorCode status = U_ZERO_ERROR;
  uloc_getLanguage(def, language, sizeof language, &status);
  status = U_ZERO_ERROR;
  uloc_getCountry(def, country, sizeof country, &status);
  if (language[0] == '\0')
    return 0x409;
  std::string name = language;
  if (country[0] != '\0')
    name += std::string("_") + country;
  uint16_t id = lcidOf(name.c_str());
  if (id == 0)
    id = lcidOf(language);
  // The C and POSIX locales stand for US English.
  if (id == 0 || id == 0x7F)
    return 0x409;
  if ((id >> 10) == 0)  // a neutral language: its first sub-language
    id = static_cast<uint16_t>(id | (1 << 10));
  return id;
}

uint16_t systemAnsiCodePage()
{
  const uint16_t cp = ansiCodePage(userDefaultLangId());
  return cp ? cp : 1252;
}

std::string icuLocaleForLangId(uint16_t langId)
{
  char buf[ULOC_FULLNAME_CAPACITY] = {};
  UErrorCode status = U_ZERO_ERROR;
  int32_t n = uloc_getLocaleForLCID(langId, buf, sizeof buf, &status);
  if (U_FAILURE(status) || n <= 0)
    return "en_US";
  return std::string(buf, n);
}

std::vector<std::string> installedLocaleTexts()
{
  std::function<std::vector<std::string>()> source;
  {
    std::lock_guard lock(sourceMutex);
    source = localeSource;
  }
  if (source)
    return source();
  std::vector<std::string> texts;
  texts.reserve(std::size(kKnownLanguages));
  for (uint16_t id : kKnownLanguages) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08X", static_cast<unsigned>(id));
    texts.emplace_back(buf);
  }
  return texts;
}

void setInstalledLocaleTexts(std::function<std::vector<std::string>()> source)
{
  std::lock_guard lock(sourceMutex);
  localeSource = std::move(source);
}

}  // namespace platform
