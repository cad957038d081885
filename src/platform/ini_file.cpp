#include "platform/ini_file.h"

#include "platform/read_file.h"
#include "platform/safe_write.h"

#include <climits>
#include <cstdint>
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

std::string lowered(std::string_view s)
{
  std::string out(s);
  for (char& c : out)
    c = asciiLower(c);
  return out;
}

// The name of a section header line, or false when the line is no header.
// The name runs to the line's last ']', so a name may hold ']' itself.
bool sectionName(std::string_view line, std::string_view& name)
{
  line = trim(line);
  if (line.empty() || line.front() != '[')
    return false;
  line.remove_prefix(1);
  const auto close = line.rfind(']');
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
  std::string data;
  if (readRegularFile(path_, data) != 0)
    return;
  auto addLine = [this](std::string line) {
    std::string_view name;
    if (sectionName(line, name)) {
      sections_.push_back(Section{std::move(line), {}, {}, false});
    } else if (sections_.empty()) {
      preamble_.push_back(std::move(line));
    } else {
      sections_.back().lines.push_back(std::move(line));
    }
  };
  size_t start = 0;
  for (size_t i = 0; i < data.size(); ++i) {
    if (data[i] != '\r' && data[i] != '\n')
      continue;
    addLine(data.substr(start, i - start));
    if (data[i] == '\r' && i + 1 < data.size() && data[i + 1] == '\n')
      ++i;
    start = i + 1;
  }
  if (start < data.size())
    addLine(data.substr(start));
  reindexSections();
}

IniFile IniFile::empty(std::string path)
{
  IniFile ini;
  ini.path_ = std::move(path);
  ini.dirty_ = true;
  return ini;
}

void IniFile::reindexSections()
{
  sectionIndex_.clear();
  for (size_t i = 0; i < sections_.size(); ++i) {
    std::string_view name;
    sectionName(sections_[i].header, name);
    sectionIndex_.emplace(lowered(name), i);  // the first section of a name wins
  }
}

const IniFile::Section* IniFile::findSection(std::string_view name) const
{
  auto it = sectionIndex_.find(lowered(trim(name)));
  return it == sectionIndex_.end() ? nullptr : &sections_[it->second];
}

IniFile::Section* IniFile::findSection(std::string_view name)
{
  return const_cast<Section*>(static_cast<const IniFile*>(this)->findSection(name));
}

const std::string* IniFile::findValueLine(const Section& sec, std::string_view key, size_t* at)
{
  if (!sec.indexed) {
    sec.keys.clear();
    for (size_t i = 0; i < sec.lines.size(); ++i) {
      std::string_view k, v;
      if (keyLine(sec.lines[i], k, v))
        sec.keys.emplace(lowered(k), i);  // the first line of a key wins
    }
    sec.indexed = true;
  }
  auto it = sec.keys.find(lowered(trim(key)));
  if (it == sec.keys.end())
    return nullptr;
  if (at)
    *at = it->second;
  return &sec.lines[it->second];
}

std::string IniFile::readString(std::string_view section, std::string_view key, std::string_view def) const
{
  const Section* sec = findSection(section);
  const std::string* line = sec ? findValueLine(*sec, key) : nullptr;
  if (!line)
    return std::string(def);
  std::string_view k, v;
  keyLine(*line, k, v);
  return std::string(v);
}

int IniFile::readInteger(std::string_view section, std::string_view key, int def) const
{
  const Section* sec = findSection(section);
  const std::string* line = sec ? findValueLine(*sec, key) : nullptr;
  if (!line)
    return def;
  std::string_view k, v;
  keyLine(*line, k, v);
  int value;
  return parseInteger(v, value) ? value : def;
}

bool IniFile::readBool(std::string_view section, std::string_view key, bool def) const
{
  return readInteger(section, key, def ? 1 : 0) != 0;
}

bool IniFile::valueExists(std::string_view section, std::string_view key) const
{
  const Section* sec = findSection(section);
  return sec && findValueLine(*sec, key);
}

bool IniFile::sectionExists(std::string_view section) const
{
  return findSection(section) != nullptr;
}

std::vector<std::string> IniFile::readSection(std::string_view section) const
{
  std::vector<std::string> keys;
  const Section* sec = findSection(section);
  if (!sec)
    return keys;
  for (const std::string& line : sec->lines) {
    std::string_view k, v;
    if (keyLine(line, k, v) && !k.empty())
      keys.emplace_back(k);
  }
  return keys;
}

void IniFile::writeString(std::string_view section, std::string_view key, std::string_view value)
{
  const std::string k = cleanValue(trim(key));
  const std::string v = cleanValue(value);
  dirty_ = true;
  Section* sec = findSection(section);
  if (!sec) {
    // A new section goes at the end, after one blank line.
    std::vector<std::string>& before = sections_.empty() ? preamble_ : sections_.back().lines;
    if (!before.empty() && !trim(before.back()).empty())
      before.emplace_back();
    sections_.push_back(Section{"[" + cleanValue(trim(section)) + "]", {k + "=" + v}, {}, false});
    // Only the new section needs indexing; an earlier one of the name wins.
    std::string_view name;
    sectionName(sections_.back().header, name);
    sectionIndex_.emplace(lowered(name), sections_.size() - 1);
    return;
  }
  size_t at = 0;
  if (const std::string* line = findValueLine(*sec, k, &at)) {
    std::string_view oldKey, oldValue;
    keyLine(*line, oldKey, oldValue);
    sec->lines[at] = std::string(oldKey) + "=" + v;  // the key keeps its spelling
    return;
  }
  // After the section's last non-blank line; only blank lines follow it, so
  // the key index stays valid.
  at = sec->lines.size();
  while (at > 0 && trim(sec->lines[at - 1]).empty())
    --at;
  sec->lines.insert(sec->lines.begin() + static_cast<std::ptrdiff_t>(at), k + "=" + v);
  sec->keys.emplace(lowered(k), at);
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
  Section* sec = findSection(section);
  size_t at = 0;
  if (!sec || !findValueLine(*sec, key, &at))
    return;
  sec->lines.erase(sec->lines.begin() + static_cast<std::ptrdiff_t>(at));
  sec->indexed = false;
  dirty_ = true;
}

void IniFile::eraseSection(std::string_view section)
{
  auto it = sectionIndex_.find(lowered(trim(section)));
  if (it == sectionIndex_.end())
    return;
  sections_.erase(sections_.begin() + static_cast<std::ptrdiff_t>(it->second));
  reindexSections();
  dirty_ = true;
}

void IniFile::flush()
{
  std::string data;
  size_t size = 0;
  for (const auto& l : preamble_)
    size += l.size() + 2;
  for (const auto& sec : sections_) {
    size += sec.header.size() + 2;
    for (const auto& l : sec.lines)
      size += l.size() + 2;
  }
  data.reserve(size);
  auto put = [&data](const std::string& line) {
    data += line;
    data += "\r\n";
  };
  for (const auto& l : preamble_)
    put(l);
  for (const auto& sec : sections_) {
    put(sec.header);
    for (const auto& l : sec.lines)
      put(l);
  }
  writeFileAtomically(path_, data);
  dirty_ = false;
}

}  // namespace platform
