#include "platform/ini_file.h"

#include "platform/safe_write.h"

#include <climits>
#include <cstdint>
#include <fstream>
#include <iterator>

namespace platform {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view s)
{
  while (!s.empty() && isBlank(s.front()))
    s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back()))
    s.remove_suffix(1);
  return s;
}

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool sameName(std::string_view a, std::string_view b)
{
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (asciiLower(a[i]) != asciiLower(b[i]))
      return false;
  return true;
}

// The name of a section header line, or false when the line is no header.
bool sectionName(std::string_view line, std::string_view& name)
{
  line = trim(line);
  if (line.empty() || line.front() != '[')
    return false;
  line.remove_prefix(1);
  const auto close = line.find(']');
  name = trim(close == std::string_view::npos ? line : line.substr(0, close));
  return true;
}

// Splits a key line; false for blank lines, comments and headers.
bool keyLine(std::string_view line, std::string_view& key, std::string_view& value)
{
  std::string_view t = trim(line);
  if (t.empty() || t.front() == ';' || t.front() == '[')
    return false;
  const auto eq = t.find('=');
  if (eq == std::string_view::npos) {
    key = t;
    value = {};
  } else {
    key = trim(t.substr(0, eq));
    value = trim(t.substr(eq + 1));
  }
  return true;
}

std::string cleanValue(std::string_view value)
{
  std::string v(value);
  for (char& c : v)
    if (c == '\r' || c == '\n')
      c = ' ';
  return v;
}

bool parseInteger(std::string_view s, int& out)
{
  s = trim(s);
  bool negative = false;
  if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  int base = 10;
  if (!s.empty() && s.front() == '$') {
    base = 16;
    s.remove_prefix(1);
  } else if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    base = 16;
    s.remove_prefix(2);
  }
  if (s.empty())
    return false;
  unsigned long long v = 0;
  for (char c : s) {
    int d;
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    else
      return false;
    v = v * base + d;
    if (v > 0xFFFFFFFFull)
      return false;
  }
  if (base == 16) {
    // Hexadecimal takes all 32 bits, so $80000005 is a negative colour.
    const int32_t bits = static_cast<int32_t>(static_cast<uint32_t>(v));
    out = negative ? static_cast<int>(-static_cast<int64_t>(bits)) : bits;
    return !(negative && bits == INT32_MIN);
  }
  const long long signedValue = negative ? -static_cast<long long>(v) : static_cast<long long>(v);
  if (signedValue < INT_MIN || signedValue > INT_MAX)
    return false;
  out = static_cast<int>(signedValue);
  return true;
}

}  // namespace

IniFile::IniFile(std::string path) : path_(std::move(path))
{
  std::ifstream in(path_, std::ios::binary);
  if (!in)
    return;
  const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  size_t start = 0;
  for (size_t i = 0; i < data.size(); ++i) {
    if (data[i] != '\r' && data[i] != '\n')
      continue;
    lines_.emplace_back(data, start, i - start);
    if (data[i] == '\r' && i + 1 < data.size() && data[i + 1] == '\n')
      ++i;
    start = i + 1;
  }
  if (start < data.size())
    lines_.emplace_back(data, start);
}

IniFile IniFile::empty(std::string path)
{
  IniFile ini;
  ini.path_ = std::move(path);
  ini.dirty_ = true;
  return ini;
}

// Index of the first line of the first matching section's header, or npos.
static size_t findSection(const std::vector<std::string>& lines, std::string_view section)
{
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string_view name;
    if (sectionName(lines[i], name) && sameName(name, section))
      return i;
  }
  return std::string::npos;
}

// One past the last line of the section whose header is at `header`.
static size_t sectionEnd(const std::vector<std::string>& lines, size_t header)
{
  size_t i = header + 1;
  std::string_view name;
  while (i < lines.size() && !sectionName(lines[i], name))
    ++i;
  return i;
}

static size_t findKey(const std::vector<std::string>& lines, size_t header, std::string_view key)
{
  const size_t end = sectionEnd(lines, header);
  for (size_t i = header + 1; i < end; ++i) {
    std::string_view k, v;
    if (keyLine(lines[i], k, v) && sameName(k, key))
      return i;
  }
  return std::string::npos;
}

std::string IniFile::readString(std::string_view section, std::string_view key, std::string_view def) const
{
  const size_t header = findSection(lines_, section);
  if (header == std::string::npos)
    return std::string(def);
  const size_t line = findKey(lines_, header, key);
  if (line == std::string::npos)
    return std::string(def);
  std::string_view k, v;
  keyLine(lines_[line], k, v);
  return std::string(v);
}

int IniFile::readInteger(std::string_view section, std::string_view key, int def) const
{
  const size_t header = findSection(lines_, section);
  if (header == std::string::npos)
    return def;
  const size_t line = findKey(lines_, header, key);
  if (line == std::string::npos)
    return def;
  std::string_view k, v;
  keyLine(lines_[line], k, v);
  int value;
  return parseInteger(v, value) ? value : def;
}

bool IniFile::readBool(std::string_view section, std::string_view key, bool def) const
{
  return readInteger(section, key, def ? 1 : 0) != 0;
}

bool IniFile::valueExists(std::string_view section, std::string_view key) const
{
  const size_t header = findSection(lines_, section);
  return header != std::string::npos && findKey(lines_, header, key) != std::string::npos;
}

bool IniFile::sectionExists(std::string_view section) const
{
  return findSection(lines_, section) != std::string::npos;
}

std::vector<std::string> IniFile::readSection(std::string_view section) const
{
  std::vector<std::string> keys;
  const size_t header = findSection(lines_, section);
  if (header == std::string::npos)
    return keys;
  const size_t end = sectionEnd(lines_, header);
  for (size_t i = header + 1; i < end; ++i) {
    std::string_view k, v;
    if (keyLine(lines_[i], k, v) && !k.empty())
      keys.emplace_back(k);
  }
  return keys;
}

void IniFile::writeString(std::string_view section, std::string_view key, std::string_view value)
{
  const std::string k = cleanValue(trim(key));
  const std::string line = k + "=" + cleanValue(value);
  dirty_ = true;
  const size_t header = findSection(lines_, section);
  if (header == std::string::npos) {
    if (!lines_.empty() && !trim(lines_.back()).empty())
      lines_.emplace_back();
    lines_.push_back("[" + cleanValue(trim(section)) + "]");
    lines_.push_back(line);
    return;
  }
  const size_t existing = findKey(lines_, header, k);
  if (existing != std::string::npos) {
    std::string_view oldKey, oldValue;
    keyLine(lines_[existing], oldKey, oldValue);
    lines_[existing] = std::string(oldKey) + "=" + cleanValue(value);
    return;
  }
  // After the section's last non-blank line.
  size_t at = sectionEnd(lines_, header);
  while (at > header + 1 && trim(lines_[at - 1]).empty())
    --at;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), line);
}

void IniFile::writeInteger(std::string_view section, std::string_view key, int value)
{
  writeString(section, key, std::to_string(value));
}

void IniFile::writeBool(std::string_view section, std::string_view key, bool value)
{
  writeString(section, key, value ? "1" : "0");
}

void IniFile::deleteKey(std::string_view section, std::string_view key)
{
  const size_t header = findSection(lines_, section);
  if (header == std::string::npos)
    return;
  const size_t line = findKey(lines_, header, key);
  if (line == std::string::npos)
    return;
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(line));
  dirty_ = true;
}

void IniFile::eraseSection(std::string_view section)
{
  const size_t header = findSection(lines_, section);
  if (header == std::string::npos)
    return;
  const size_t end = sectionEnd(lines_, header);
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(header),
               lines_.begin() + static_cast<std::ptrdiff_t>(end));
  dirty_ = true;
}

void IniFile::flush()
{
  std::string data;
  size_t size = 0;
  for (const auto& l : lines_)
    size += l.size() + 2;
  data.reserve(size);
  for (const auto& l : lines_) {
    data += l;
    data += "\r\n";
  }
  writeFileAtomically(path_, data);
  dirty_ = false;
}

}  // namespace platform
