#include "forms/code_page_text.h"

#include <cstdio>

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
