// Double-byte text of a code page for tests of character boundaries: an
// ASCII "x" (so characters pair up from an odd byte), then either runs of
// 字 or of Greek capital alpha, whose bytes can all lead on 932 and 936, or
// prose of ASCII words, tags and characters whose trail byte is \, [, @ or a
// letter.
#pragma once

#include "platform/codepage.h"

#include <random>
#include <string>
#include <vector>

namespace testsupport {

inline std::string doubleByteText(const platform::CodePage& cp, bool runs, size_t size, std::mt19937& rng)
{
  const std::string ji = platform::fromUtf16(cp, u"\u5B57");
  const std::string alpha = platform::fromUtf16(cp, u"\u0391");
  std::vector<char> leads;
  for (int c = 0x80; c < 256; ++c)
    if (cp.lead[size_t(c)])
      leads.push_back(char(c));
  std::string text = "x";
  while (text.size() < size) {
    if (runs) {
      const std::string& ch = rng() % 2 ? ji : alpha;
      for (int n = 1 + int(rng() % 40); n > 0; --n)
        text += ch;
    } else if (rng() % 3 == 0) {
      text += rng() % 2 ? "word " : "<b>";
    } else {
      text += leads[rng() % leads.size()];
      text += "\\[@aZq"[rng() % 6];
    }
  }
  return text;
}

}  // namespace testsupport
