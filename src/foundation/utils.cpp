#include "foundation/utils.h"

#include "foundation/chartables.h"
#include "foundation/dialogs.h"
#include "foundation/program_state.h"
#include "foundation/sync_stream.h"
#include "platform/codepage.h"
#include "platform/frame_sink.h"
#include "platform/paths.h"
#include "platform/temp_file.h"
#include "platform/ui_bridge.h"

#include <algorithm>
#include <cctype>
#include <functional>
#include <charconv>
#include <cstring>
#include <unicode/uloc.h>
#include <unicode/unum.h>
#include <utility>

namespace {

// Runs fn on the user-interface thread.
void onUiThread(const std::function<void()>& fn)
{
  platform::UiBridge& bridge = platform::uiBridge();
  if (bridge.isUiThread())
    fn();
  else
    bridge.synchronize(fn);
}

// An integer the way the edits are read: optional sign, decimal digits or
// "$"/"0x" hexadecimal, within 32 bits.
bool parseInt32(std::string_view s, int32_t& value)
{
  bool negative = false;
  if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
    negative = s[0] == '-';
    s.remove_prefix(1);
  }
  int base = 10;
  if (!s.empty() && s[0] == '$') {
    base = 16;
    s.remove_prefix(1);
  } else if (s.size() > 1 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    base = 16;
    s.remove_prefix(2);
  }
  if (s.empty())
    return false;
  uint64_t v = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, base);
  if (ec != std::errc() || end != s.data() + s.size())
    return false;
  if (negative) {
    if (v > uint64_t(INT32_MAX) + 1)
      return false;
    value = int32_t(-int64_t(v));
  } else {
    if (base == 10 ? v > uint64_t(INT32_MAX) : v > UINT32_MAX)
      return false;
    value = int32_t(uint32_t(v));
  }
  return true;
}

}  // namespace

bool TryStrToInt(std::string_view text, int32_t& value)
{
  return parseInt32(TrimBlanks(text), value);
}

bool IsTextFile(const std::string& fileName)
{
  auto handle = OpenFileHandle(fileName);
  unsigned char buf[256];
  int32_t n = handle->ReadAt(0, sizeof buf, buf);
  int binary = 0;
  for (int32_t i = 0; i < n; ++i) {
    unsigned char c = buf[i];
    if (c <= 8 || c == 11 || (c >= 14 && c <= 31) || c == 127 || c == 255)
      ++binary;
  }
  return binary < 5;
}

bool IsURL(std::string_view text)
{
  std::string head(text.substr(0, 7));
  for (char& c : head)
    c = char(std::tolower(static_cast<unsigned char>(c)));
  return head.starts_with("http://") || head.starts_with("ftp://");
}

std::string ItemDisplayName(const std::string& name)
{
  if (IsURL(name))
    return name;
  const size_t slash = name.find_last_of('/');
  return slash == std::string::npos ? name : name.substr(slash + 1);
}

std::string FixedText(double value, int decimals)
{
  char buf[64];
  const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
  return std::string(buf, ec == std::errc() ? end : buf);
}

void CloseChildWindows(int kind)
{
  onUiThread([kind] { platform::frameSink().closeChildWindows(kind); });
}

std::string TrimBlanks(std::string_view text)
{
  size_t b = text.find_first_not_of(' ');
  if (b == std::string_view::npos)
    return {};
  size_t e = text.find_last_not_of(' ');
  return std::string(text.substr(b, e - b + 1));
}

std::string RemoveBlanks(std::string_view text)
{
  std::string out;
  out.reserve(text.size());
  for (char c : text)
    if (c != ' ')
      out.push_back(c);
  return out;
}

std::string LowerCaseText(std::string_view text)
{
  return LocaleLowerStr(text);
}

bool CharsEqual(char a, char b)
{
  if (a == b)
    return true;
  if (!ConcordSettings.UseSkipEqualChars)
    return false;
  for (const TCharSet& group : ConcordSettings.EqualCharSets)
    if (group.test(uint8_t(a)) && group.test(uint8_t(b)))
      return true;
  return false;
}

bool ParseEqualChars()
{
  std::string s = TrimBlanks(ConcordSettings.EqualChars);
  if (s.empty()) {
    ConcordSettings.EqualCharSets.clear();
    return true;
  }
  s = RemoveBlanks(s);
  if (s.back() != ';')
    s += ';';
  CharSetArray groups;
  for (size_t semi; (semi = s.find(';')) != std::string::npos;) {
    std::string group = s.substr(0, semi);
    s.erase(0, semi + 1);
    if (group.empty())
      return false;
    TCharSet members;
    for (size_t i = 0; i < group.size(); ++i) {
      const auto c = static_cast<unsigned char>(group[i]);
      if (i % 2 == 0) {
        if (c < 65)
          return false;
        members.set(c);
      } else if (c != '=') {
        return false;
      }
    }
    groups.push_back(members);
  }
  ConcordSettings.EqualCharSets = std::move(groups);
  return true;
}

int32_t ClampEditToRange(std::string& text, int32_t fallback, int32_t min, int32_t max)
{
  int32_t value = 0;
  if (!parseInt32(TrimBlanks(text), value))
    value = fallback;
  // Compared as unsigned numbers, as the up-down edits do: a negative entry
  // is above every maximum.
  auto v = uint32_t(value);
  if (v < uint32_t(min))
    v = uint32_t(min);
  else if (v > uint32_t(max))
    v = uint32_t(max);
  value = int32_t(v);
  text = std::to_string(value);
  return value;
}

bool AllStringsBlank(const std::vector<std::string>& list)
{
  return std::all_of(list.begin(), list.end(), [](const std::string& s) { return TrimBlanks(s).empty(); });
}

int32_t IndexOfExact(std::string_view text, const std::vector<std::string>& list)
{
  for (size_t i = 0; i < list.size(); ++i)
    if (list[i] == text)
      return int32_t(i);
  return -1;
}

void FlattenLineBreaks(char* text)
{
  if (!text)
    return;
  char* out = text;
  for (const char* p = text; *p;) {
    const char c = *p;
    if (c == '\r' || c == '\n') {
      const char pair = c == '\r' ? '\n' : '\r';
      p += p[1] == pair ? 2 : 1;
      *out++ = ' ';
    } else {
      if (static_cast<unsigned char>(c) >= 32)
        *out++ = c;
      ++p;
    }
  }
  *out = '\0';
}

void FlattenLineBreaks(std::string& text)
{
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      const char pair = c == '\r' ? '\n' : '\r';
      i += (i + 1 < text.size() && text[i + 1] == pair) ? 2 : 1;
      out.push_back(' ');
    } else {
      if (static_cast<unsigned char>(c) >= 32)
        out.push_back(c);
      ++i;
    }
  }
  text = std::move(out);
}

const char* FindBytes(const char* buffer, const char* pattern, size_t length)
{
  if (!buffer || !pattern)
    return nullptr;
  size_t n = std::strlen(pattern);
  if (n == 0 || n > length)
    return nullptr;
  return static_cast<const char*>(memmem(buffer, length, pattern, n));
}

const char* FindByte(const char* buffer, char byte, size_t length)
{
  if (!buffer || length == 0)
    return nullptr;
  return static_cast<const char*>(std::memchr(buffer, static_cast<unsigned char>(byte), length));
}

std::string MakeTempFileName(std::string_view prefix)
{
  return platform::makeTempFile(TempFolder.empty() ? platform::tempFolder() : TempFolder, prefix);
}

std::string IndexHeaderFileName(std::string_view name)
{
  std::string folder;
  std::string file(name);
  if (size_t slash = file.find_last_of('/'); slash != std::string::npos) {
    folder = file.substr(0, slash + 1);
    file.erase(0, slash + 1);
  }
  if (!folder.empty() && folder.back() != '/')
    folder += '/';
  if (size_t dot = file.find_last_of('.'); dot != std::string::npos)
    file.erase(dot);
  return folder + file + "H.tmp";
}

void SetStatusText(std::string_view text)
{
  std::string copy(text);
  onUiThread([&] {
    platform::frameSink().statusText(copy);
    platform::uiBridge().processMessages();
  });
}

void RefreshCorpusInfo()
{
  onUiThread([] {
    platform::frameSink().corpusInfo();
    platform::uiBridge().processMessages();
  });
}

std::string SizeText(int64_t n, bool withUnit)
{
  if (n < 0)
    return {};
  std::string number;
  std::string unit;
  if (n < 1024) {
    number = std::to_string(n);
    unit = "byte";
  } else {
    const bool kilo = n < 1048576;
    number = FixedText(double(n) / (kilo ? 1024.0 : 1048576.0), 2);
    unit = kilo ? "kbyte" : "mbyte";
  }
  if (number != "1")
    unit += 's';
  return withUnit ? number + " " + unit : number;
}

char ThousandsSeparator()
{
  UErrorCode status = U_ZERO_ERROR;
  UNumberFormat* fmt = unum_open(UNUM_DECIMAL, nullptr, 0, uloc_getDefault(), nullptr, &status);
  UChar sym[8] = {};
  int32_t len = 0;
  if (U_SUCCESS(status))
    len = unum_getSymbol(fmt, UNUM_GROUPING_SEPARATOR_SYMBOL, sym, 8, &status);
  if (fmt)
    unum_close(fmt);
  if (U_FAILURE(status) || len != 1)
    return ' ';
  char16_t u = sym[0] == 0x202F ? char16_t(0x00A0) : char16_t(sym[0]);
  const platform::CodePage& cp = platform::codePage(AnsiCodePage ? AnsiCodePage : 1252);
  std::string bytes = platform::fromUtf16(cp, std::u16string_view(&u, 1));
  if (bytes.size() != 1 || (bytes[0] == '?' && u != u'?'))
    return ' ';
  return bytes[0];
}

std::string CountText(int64_t n, std::string_view noun)
{
  const uint64_t magnitude = n < 0 ? uint64_t(0) - uint64_t(n) : uint64_t(n);
  const std::string plain = std::to_string(magnitude);
  const char sep = ThousandsSeparator();
  std::string digits;
  const size_t len = plain.size();
  for (size_t i = 0; i < len; ++i) {
    if (i > 0 && (len - i) % 3 == 0)
      digits.push_back(sep);
    digits.push_back(plain[i]);
  }
  if (n < 0)
    digits.insert(digits.begin(), '-');
  std::string result = digits + " " + std::string(noun);
  if (digits != "1")
    result += 's';
  return result;
}

int32_t AddToHistory(std::vector<std::string>& items, std::string& text)
{
  text = TrimBlanks(text);
  if (text.empty())
    return -1;
  int32_t i = IndexOfExact(text, items);
  if (i == -1)
    items.insert(items.begin(), text);
  else if (i > 0)
    std::swap(items[0], items[size_t(i)]);
  return 0;
}

bool AskConfirmation(std::string_view text)
{
  return ConfirmOkCancel(text, true);
}

std::string IncludeBackslash(std::string_view folder)
{
  std::string out(folder);
  if (!out.empty() && out.back() != '/')
    out += '/';
  return out;
}
