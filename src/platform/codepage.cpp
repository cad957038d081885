#include "platform/codepage.h"

#include <algorithm>

#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/ustring.h>

#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <vector>

namespace platform {
namespace {

constexpr char16_t kUndefined = 0xFFFF;

// CT_CTYPE1 of one code point, as Windows classifies it. ICU's own space and
// punctuation predicates differ (U+001C..001F are not spaces on Windows, '$'
// is punctuation there), so the classes are derived from the general category
// with the Windows exceptions added.
uint16_t windowsCtype1(UChar32 c)
{
  uint16_t f = 0;
  switch (u_charType(c)) {
  case U_UPPERCASE_LETTER: f = C1_UPPER | C1_ALPHA; break;
  case U_LOWERCASE_LETTER: f = C1_LOWER | C1_ALPHA; break;
  case U_TITLECASE_LETTER: f = C1_UPPER | C1_LOWER | C1_ALPHA; break;
  case U_MODIFIER_LETTER:
  case U_OTHER_LETTER:
  case U_LETTER_NUMBER: f = C1_ALPHA; break;
  case U_DECIMAL_DIGIT_NUMBER: f = C1_DIGIT; break;
  case U_SPACE_SEPARATOR:
  case U_LINE_SEPARATOR:
  case U_PARAGRAPH_SEPARATOR: f = C1_SPACE; break;
  case U_CONTROL_CHAR:
  case U_FORMAT_CHAR: f = C1_CNTRL; break;  // the soft hyphen is a control
  case U_CONNECTOR_PUNCTUATION:
  case U_DASH_PUNCTUATION:
  case U_START_PUNCTUATION:
  case U_END_PUNCTUATION:
  case U_INITIAL_PUNCTUATION:
  case U_FINAL_PUNCTUATION:
  case U_OTHER_PUNCTUATION: f = C1_PUNCT; break;
  case U_MATH_SYMBOL:
  case U_CURRENCY_SYMBOL:
  case U_MODIFIER_SYMBOL:
  case U_OTHER_SYMBOL:
    // Only the ASCII and Latin-1 symbols count as punctuation; the euro sign,
    // the trade mark and the like get no class, as on current Windows.
    if (c < 0x100)
      f = C1_PUNCT;
    break;
  default: break;
  }
  if ((c >= 0x09 && c <= 0x0D) || c == 0x85)
    f |= C1_SPACE;
  if (c == 0x09 || c == 0x20 || c == 0xA0 || c == 0x3000 || c == 0xFEFF)
    f |= C1_BLANK;
  if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'))
    f |= C1_XDIGIT;
  if (c >= 0xA2 && c <= 0xBE)
    f |= C1_PUNCT;
  if (c == 0xB2 || c == 0xB3 || c == 0xB9)
    f |= C1_DIGIT;
  if (c == 0xAA || c == 0xBA)
    f |= C1_LOWER;
  return f;
}

std::string icuName(uint16_t id) { return "windows-" + std::to_string(id); }

struct ConverterCloser {
  void operator()(UConverter* c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

// A converter that stops at the first unmapped or illegal sequence.
Converter openStrict(uint16_t id)
{
  UErrorCode status = U_ZERO_ERROR;
  Converter conv(ucnv_open(icuName(id).c_str(), &status));
  if (U_FAILURE(status) || !conv)
    return nullptr;
  ucnv_setToUCallBack(conv.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  ucnv_setFromUCallBack(conv.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  return U_SUCCESS(status) ? std::move(conv) : nullptr;
}

// One character as UTF-16 from 1 or 2 bytes; empty when the bytes are not one
// defined character.
std::u16string decodeOne(UConverter* conv, const char* bytes, int n)
{
  UChar out[4];
  UErrorCode status = U_ZERO_ERROR;
  ucnv_reset(conv);
  int32_t len = ucnv_toUChars(conv, out, 4, bytes, n, &status);
  if (U_FAILURE(status) || len <= 0 || len > 2)
    return {};
  return std::u16string(reinterpret_cast<const char16_t*>(out), len);
}

// One code point (1 or 2 UTF-16 units) as bytes; empty when the page cannot
// hold it.
std::string encodeOne(UConverter* conv, const char16_t* units, int n)
{
  char out[8];
  UErrorCode status = U_ZERO_ERROR;
  ucnv_reset(conv);
  int32_t len = ucnv_fromUChars(conv, out, sizeof out, reinterpret_cast<const UChar*>(units), n, &status);
  if (U_FAILURE(status) || len <= 0)
    return {};
  return std::string(out, len);
}

struct Built {
  CodePage page;
  std::unordered_map<char16_t, unsigned char> fromU;  // single bytes only
};

std::unique_ptr<Built> build(uint16_t id)
{
  Converter conv = openStrict(id);
  if (!conv)
    return nullptr;
  auto b = std::make_unique<Built>();
  CodePage& cp = b->page;
  cp.id = id;
  cp.dbcs = ucnv_getMaxCharSize(conv.get()) > 1;
  if (cp.dbcs) {
    UBool starters[256];
    UErrorCode status = U_ZERO_ERROR;
    ucnv_getStarters(conv.get(), starters, &status);
    if (U_SUCCESS(status))
      for (int i = 0; i < 256; ++i)
        cp.lead[i] = starters[i];
  }
  for (int i = 0; i < 256; ++i) {
    cp.toU[i] = kUndefined;
    cp.lower[i] = cp.upper[i] = static_cast<unsigned char>(i);
    if (cp.lead[i])
      continue;
    const char byte = static_cast<char>(i);
    std::u16string u = decodeOne(conv.get(), &byte, 1);
    if (u.size() == 1)
      cp.toU[i] = u[0];
    else if (i >= 0x80 && i <= 0x9F)
      cp.toU[i] = static_cast<char16_t>(i);  // Windows passes these through as C1 controls
  }
  for (int i = 0; i < 256; ++i)
    if (cp.toU[i] != kUndefined)
      b->fromU.emplace(cp.toU[i], static_cast<unsigned char>(i));  // first byte wins
  for (int i = 0; i < 256; ++i) {
    const char16_t u = cp.toU[i];
    if (u == kUndefined)
      continue;
    cp.ctype[i] = windowsCtype1(u);
    // Only simple mappings that round-trip and stay on the page, as Windows'
    // non-linguistic case mapping does.
    const UChar32 lo = u_tolower(u), up = u_toupper(u);
    if (lo != u && u_toupper(lo) == u && lo <= 0xFFFF) {
      auto it = b->fromU.find(static_cast<char16_t>(lo));
      if (it != b->fromU.end())
        cp.lower[i] = it->second;
    }
    if (up != u && u_tolower(up) == u && up <= 0xFFFF) {
      auto it = b->fromU.find(static_cast<char16_t>(up));
      if (it != b->fromU.end())
        cp.upper[i] = it->second;
    }
  }
  return b;
}

std::mutex cacheMutex;

std::map<uint16_t, std::unique_ptr<Built>>& cache()
{
  static std::map<uint16_t, std::unique_ptr<Built>> pages;
  return pages;
}

const Built& builtFor(uint16_t id)
{
  std::lock_guard lock(cacheMutex);
  auto& pages = cache();
  auto it = pages.find(id);
  if (it != pages.end() && it->second)
    return *it->second;
  std::unique_ptr<Built> b = build(id);
  if (!b) {
    if (id == 1252)
      throw std::runtime_error("The ICU converter windows-1252 is missing.");
    auto fallback = pages.find(1252);
    if (fallback == pages.end())
      fallback = pages.emplace(1252, build(1252)).first;
    return *fallback->second;
  }
  return *pages.emplace(id, std::move(b)).first->second;
}

const Built& builtFor(const CodePage& cp)
{
  return builtFor(cp.id);
}

// Maps double-byte characters through ICU's full case mapping, keeping the
// bytes unchanged whenever the result would not be one double-byte character.
// Per thread, each character goes through the converter the first time the
// thread meets it and comes from a table after that, so mapping a word costs
// no converter.
struct PairCases {
  Converter conv;
  std::vector<uint16_t> lower, upper;  // by the character's two bytes; 0: not met yet
};

uint16_t mapPair(PairCases& cases, const CodePage& cp, const char* pair, bool toLower)
{
  std::vector<uint16_t>& table = toLower ? cases.lower : cases.upper;
  if (table.empty())
    table.assign(65536, 0);
  const uint16_t key = static_cast<uint16_t>(static_cast<unsigned char>(pair[0]) << 8 | static_cast<unsigned char>(pair[1]));
  if (table[key] != 0)
    return table[key];
  uint16_t result = key;
  if (!cases.conv)
    cases.conv = openStrict(cp.id);
  if (cases.conv) {
    std::u16string u = decodeOne(cases.conv.get(), pair, 2);
    if (!u.empty()) {
      UChar mapped[8];
      UErrorCode status = U_ZERO_ERROR;
      const UChar* src = reinterpret_cast<const UChar*>(u.data());
      int32_t n = toLower ? u_strToLower(mapped, 8, src, static_cast<int32_t>(u.size()), "", &status)
                          : u_strToUpper(mapped, 8, src, static_cast<int32_t>(u.size()), "", &status);
      if (U_SUCCESS(status) && n > 0) {
        std::string back = encodeOne(cases.conv.get(), reinterpret_cast<const char16_t*>(mapped), n);
        if (back.size() == 2)
          result = static_cast<uint16_t>(static_cast<unsigned char>(back[0]) << 8 | static_cast<unsigned char>(back[1]));
      }
    }
  }
  table[key] = result;
  return result;
}

std::string caseText(const CodePage& cp, std::string_view bytes, bool toLower)
{
  const auto& table = toLower ? cp.lower : cp.upper;
  std::string out(bytes);
  if (!cp.dbcs) {
    for (char& c : out)
      c = static_cast<char>(table[static_cast<unsigned char>(c)]);
    return out;
  }
  thread_local std::map<uint16_t, PairCases> casesByPage;
  PairCases* cases = nullptr;
  for (size_t i = 0; i < out.size(); ++i) {
    const unsigned char b = static_cast<unsigned char>(out[i]);
    if (!cp.lead[b]) {
      out[i] = static_cast<char>(table[b]);
      continue;
    }
    if (i + 1 >= out.size())
      break;  // a lone lead byte at the end stays as it is
    if (!cases)
      cases = &casesByPage[cp.id];
    const uint16_t mapped = mapPair(*cases, cp, &out[i], toLower);
    out[i] = static_cast<char>(mapped >> 8);
    out[i + 1] = static_cast<char>(mapped & 0xFF);
    ++i;  // never touch a trail byte
  }
  return out;
}

}  // namespace

const CodePage& codePage(uint16_t id)
{
  return builtFor(id).page;
}

std::u16string toUtf16(const CodePage& cp, std::string_view bytes)
{
  std::u16string out;
  out.reserve(bytes.size());
  Converter conv;
  for (size_t i = 0; i < bytes.size(); ++i) {
    const unsigned char b = static_cast<unsigned char>(bytes[i]);
    if (cp.dbcs && cp.lead[b]) {
      if (i + 1 < bytes.size()) {
        if (!conv)
          conv = openStrict(cp.id);
        std::u16string u = conv ? decodeOne(conv.get(), bytes.data() + i, 2) : std::u16string();
        out += u.empty() ? std::u16string(1, u'\uFFFD') : u;
        ++i;
      } else {
        out += u'\uFFFD';
      }
      continue;
    }
    const char16_t u = cp.toU[b];
    out += (u == kUndefined) ? u'\uFFFD' : u;
  }
  return out;
}

std::string fromUtf16(const CodePage& cp, std::u16string_view text, std::u32string* unmapped)
{
  const Built& built = builtFor(cp);
  std::string out;
  out.reserve(text.size());
  Converter conv;
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t u = text[i];
    const bool pair = U16_IS_LEAD(u) && i + 1 < text.size() && U16_IS_TRAIL(text[i + 1]);
    if (!pair) {
      auto it = built.fromU.find(u);
      if (it != built.fromU.end() && u != u'\uFFFD') {
        out += static_cast<char>(it->second);
        continue;
      }
    }
    std::string enc;
    if (cp.dbcs) {
      if (!conv)
        conv = openStrict(cp.id);
      if (conv)
        enc = encodeOne(conv.get(), text.data() + i, pair ? 2 : 1);
      if (enc.size() != 2)
        enc.clear();
    }
    if (enc.empty()) {
      out += '?';
      const char32_t c = pair ? char32_t(U16_GET_SUPPLEMENTARY(u, text[i + 1])) : char32_t(u);
      if (unmapped && unmapped->find(c) == std::u32string::npos)
        *unmapped += c;
    } else {
      out += enc;
    }
    if (pair)
      ++i;
  }
  return out;
}

std::string lowerText(const CodePage& cp, std::string_view bytes)
{
  return caseText(cp, bytes, true);
}

std::string upperText(const CodePage& cp, std::string_view bytes)
{
  return caseText(cp, bytes, false);
}

bool isDoubleByteChar(const CodePage& cp, const char* p)
{
  return cp.dbcs && cp.lead[static_cast<unsigned char>(p[0])] && p[1] != '\0';
}

size_t charStartAt(const CodePage& cp, std::string_view text, size_t pos)
{
  if (!cp.dbcs || pos == 0 || pos >= text.size())
    return std::min(pos, text.size());
  // Every byte of [run, pos) can lead; the byte before `run` cannot, so a
  // character ends there and the run pairs up from `run` on.
  size_t run = pos;
  while (run > 0 && cp.lead[static_cast<unsigned char>(text[run - 1])])
    --run;
  return (pos - run) % 2 == 0 ? pos : pos - 1;
}

std::string singleByteChars(const CodePage& cp, std::string_view text)
{
  if (!cp.dbcs)
    return std::string(text);
  std::string single;
  for (size_t i = 0; i < text.size();) {
    const size_t n = charBytesAt(cp, text, i);
    if (n == 1)
      single += text[i];
    i += n;
  }
  return single;
}

size_t charEndAt(const CodePage& cp, std::string_view text, size_t pos)
{
  const size_t start = charStartAt(cp, text, pos);
  return start == pos || pos >= text.size() ? std::min(pos, text.size()) : start + 2;
}

}  // namespace platform
