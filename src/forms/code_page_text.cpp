#include "forms/code_page_text.h"

#include "foundation/chartables.h"
#include "platform/codepage.h"

#include <cstdio>

namespace {

const platform::CodePage& CurrentPage()
{
  return TextPage();
}

}  // namespace

std::string UnrepresentableText(std::u32string_view chars)
{
  std::string names;
  for (char32_t c : chars) {
    char name[16];
    std::snprintf(name, sizeof name, "U+%04X", unsigned(c));
    if (!names.empty())
      names += ' ';
    names += name;
  }
  std::string text = UnrepresentableTextMessage;
  text.replace(text.find("%s"), 2, names);
  return text;
}

size_t CharBytes(std::string_view text, size_t pos)
{
  return platform::charBytesAt(CurrentPage(), text, pos);
}

size_t CharCount(std::string_view text)
{
  const platform::CodePage& cp = CurrentPage();
  size_t count = 0;
  for (size_t pos = 0; pos < text.size(); pos += platform::charBytesAt(cp, text, pos))
    ++count;
  return count;
}

size_t FindChars(std::string_view text, std::string_view what, size_t from)
{
  const platform::CodePage& cp = CurrentPage();
  for (size_t pos = from; pos + what.size() <= text.size(); pos += platform::charBytesAt(cp, text, pos)) {
    if (text.compare(pos, what.size(), what) != 0)
      continue;
    size_t end = pos;
    while (end < pos + what.size())
      end += platform::charBytesAt(cp, text, end);
    if (end == pos + what.size())
      return pos;
  }
  return std::string_view::npos;
}

bool EndsWithChar(std::string_view text, char c)
{
  return !text.empty() && text.back() == c && CharStartAt(text, text.size() - 1) == text.size() - 1;
}

void EraseChar(std::string& text, char c)
{
  const platform::CodePage& cp = CurrentPage();
  std::string kept;
  for (size_t pos = 0; pos < text.size();) {
    const size_t n = platform::charBytesAt(cp, text, pos);
    if (n > 1 || text[pos] != c)
      kept.append(text, pos, n);
    pos += n;
  }
  text = std::move(kept);
}

bool StartsWithDoubleByteChar(std::string_view text)
{
  return !text.empty() && CharBytes(text, 0) == 2;
}

char SingleByteCharOr(std::string_view text, char kept)
{
  return text.empty() || StartsWithDoubleByteChar(text) ? kept : text[0];
}

std::string_view CharPrefix(std::string_view text, size_t size)
{
  return CharsWithin(text, size);
}
