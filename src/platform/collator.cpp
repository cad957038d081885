#include "platform/collator.h"

#include "platform/codepage.h"
#include "platform/winlocale.h"

#include <unicode/ucol.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace platform {
namespace {

struct CollatorCloser {
  void operator()(UCollator* c) const { ucol_close(c); }
};
using CollatorPtr = std::unique_ptr<UCollator, CollatorCloser>;

// The collators of one language: tertiary strength, and secondary strength
// (case ignored, accents kept) for ignore-case comparisons.
struct LanguageCollation {
  CollatorPtr caseSensitive;
  CollatorPtr caseInsensitive;
  const CodePage* page = nullptr;
};

std::mutex cacheMutex;

const LanguageCollation& collationFor(uint16_t langId)
{
  static std::map<uint16_t, std::unique_ptr<LanguageCollation>> cache;
  std::lock_guard lock(cacheMutex);
  auto it = cache.find(langId);
  if (it != cache.end())
    return *it->second;
  auto lc = std::make_unique<LanguageCollation>();
  const uint16_t cp = ansiCodePage(langId);
  lc->page = &codePage(cp ? cp : systemAnsiCodePage());
  UErrorCode status = U_ZERO_ERROR;
  lc->caseSensitive.reset(ucol_open(icuLocaleForLangId(langId).c_str(), &status));
  if (U_FAILURE(status) || !lc->caseSensitive) {
    status = U_ZERO_ERROR;
    lc->caseSensitive.reset(ucol_open("", &status));  // the root order
  }
  if (lc->caseSensitive) {
    status = U_ZERO_ERROR;
    ucol_setStrength(lc->caseSensitive.get(), UCOL_TERTIARY);
    lc->caseInsensitive.reset(ucol_clone(lc->caseSensitive.get(), &status));
    if (lc->caseInsensitive)
      ucol_setStrength(lc->caseInsensitive.get(), UCOL_SECONDARY);
  }
  return *cache.emplace(langId, std::move(lc)).first->second;
}

// Widens code-page text to UTF-16 without hyphens and apostrophes, which the
// word order ignores except as a tie-break.
void widen(const CodePage& cp, std::string_view text, std::u16string& out)
{
  out.clear();
  if (!cp.dbcs) {
    for (char c : text) {
      if (c == '-' || c == '\'')
        continue;
      const char16_t u = cp.toU[static_cast<unsigned char>(c)];
      out += (u == 0xFFFF) ? u'\uFFFD' : u;
    }
    return;
  }
  for (char16_t u : toUtf16(cp, text))
    if (u != u'-' && u != u'\'')
      out += u;
}

}  // namespace

int compareText(uint16_t langId, std::string_view a, std::string_view b, bool ignoreCase)
{
  const LanguageCollation& lc = collationFor(langId);
  const CodePage& cp = *lc.page;
  thread_local std::u16string x, y;
  widen(cp, a, x);
  widen(cp, b, y);
  const UCollator* coll = ignoreCase ? lc.caseInsensitive.get() : lc.caseSensitive.get();
  if (coll) {
    const UCollationResult r = ucol_strcoll(coll, reinterpret_cast<const UChar*>(x.data()),
                                            static_cast<int32_t>(x.size()),
                                            reinterpret_cast<const UChar*>(y.data()),
                                            static_cast<int32_t>(y.size()));
    if (r != UCOL_EQUAL)
      return r == UCOL_LESS ? -1 : 1;
  }
  // Equal for the collator: shorter first ("coop" before "co-op"), then the
  // bytes, so that only equal texts compare equal.
  if (a.size() != b.size())
    return a.size() < b.size() ? -1 : 1;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char p = static_cast<unsigned char>(a[i]);
    unsigned char q = static_cast<unsigned char>(b[i]);
    if (ignoreCase) {
      p = cp.lower[p];
      q = cp.lower[q];
    }
    if (p != q)
      return p < q ? -1 : 1;
  }
  return 0;
}

std::string orderKey(uint16_t langId, std::string_view text, bool ignoreCase)
{
  const LanguageCollation& lc = collationFor(langId);
  const CodePage& cp = *lc.page;
  thread_local std::u16string x;
  widen(cp, text, x);
  std::string key;
  const UCollator* coll = ignoreCase ? lc.caseInsensitive.get() : lc.caseSensitive.get();
  if (coll) {
    // The collator's key, without its terminating zero; it holds no other
    // zero byte, so the zero put after it makes a shorter key sort first.
    uint8_t buf[256];
    const auto* src = reinterpret_cast<const UChar*>(x.data());
    const auto n = static_cast<int32_t>(x.size());
    int32_t len = ucol_getSortKey(coll, src, n, buf, int32_t(sizeof buf));
    if (len > int32_t(sizeof buf)) {
      key.resize(size_t(len));
      len = ucol_getSortKey(coll, src, n, reinterpret_cast<uint8_t*>(key.data()), len);
      key.resize(size_t(len > 0 ? len - 1 : 0));
    } else {
      key.assign(reinterpret_cast<const char*>(buf), size_t(len > 0 ? len - 1 : 0));
    }
  }
  key.push_back('\0');
  // The tie-break of compareText: the length, then the (lower-cased) bytes.
  const auto size = static_cast<uint32_t>(text.size());
  for (int shift = 24; shift >= 0; shift -= 8)
    key.push_back(static_cast<char>((size >> shift) & 0xFF));
  for (char c : text) {
    auto b = static_cast<unsigned char>(c);
    key.push_back(static_cast<char>(ignoreCase ? cp.lower[b] : b));
  }
  return key;
}

}  // namespace platform
