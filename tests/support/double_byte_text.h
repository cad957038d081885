// Double-byte text of a code page for tests of character boundaries.
//
// doubleByteText: an ASCII "x" (so characters pair up from an odd byte), then
// either runs of 字 or of Greek capital alpha, whose bytes can all lead on 932
// and 936, or prose of ASCII words, tags and characters whose trail byte is
// \, [, @ or a letter.
//
// MakeDoubleByteText, for tests that cut text around hits: runs of one
// character after odd and even numbers of bytes, mixed prose with characters
// whose trail byte is '\', '[', '@', '_' or an ASCII letter, and hits on a
// character found nowhere else; with the check that a piece of shown text
// decodes cleanly into characters the text holds.
#pragma once

#include "foundation/chartables.h"
#include "platform/codepage.h"
#include "search/concord_items.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
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

struct TDoubleBytePage {
  int32_t LanguageId;
  const char* Name;
  std::string Run;                 // repeated in the runs
  std::vector<std::string> Mixed;  // the prose's characters
  std::string Hit;                 // only at the hits
};

inline const std::vector<TDoubleBytePage>& DoubleBytePages()
{
  // 932: 字 表 ゼ ァ ア あ Ｂ ダ, hit 日; 936: 字 乗 乕 丂 丄 你 乤 乢, hit 日.
  static const std::vector<TDoubleBytePage> pages = {
      {0x411, "cp932", "\x8E\x9A",
       {"\x95\x5C", "\x83\x5B", "\x83\x40", "\x83\x41", "\x82\xA0", "\x82\x61", "\x83\x5F"}, "\x93\xFA"},
      {0x804, "cp936", "\xD7\xD6",
       {"\x81\x5C", "\x81\x5B", "\x81\x40", "\x81\x41", "\xC4\xE3", "\x81\x61", "\x81\x5F"}, "\xC8\xD5"},
  };
  return pages;
}

struct TDoubleByteText {
  std::string Text;
  std::vector<std::pair<int32_t, int32_t>> Hits;  // [start, end) of each hit
};

// Each part: a run of 300 to 700 characters, after an odd or an even number
// of bytes; a hit (every fourth one long, ending in a
// single byte, the last one a run longer than 512 bytes) straight after the run,
// after a blank or after an ASCII letter; a short run; then prose of words,
// blanks, sentence ends and CR LF. No "..." anywhere.
inline TDoubleByteText MakeDoubleByteText(const TDoubleBytePage& page, unsigned seed)
{
  std::mt19937 rng(seed);
  TDoubleByteText out;
  std::string& t = out.Text;
  for (int part = 0; part < 12; ++part) {
    if (part % 2)
      t += "x";
    for (int n = 300 + int(rng() % 400); n > 0; --n)
      t += page.Run;
    static const char* const before[] = {"", " ", "a"};
    t += before[part % 3];
    const auto start = int32_t(t.size());
    t += page.Hit;
    if (part % 4 == 3) {
      for (int n = part == 11 ? 300 : 40; n > 0; --n)
        t += part == 11 ? page.Run : page.Mixed[rng() % page.Mixed.size()];
      t += "b";
    }
    out.Hits.emplace_back(start, int32_t(t.size()));
    for (int n = 0; n < 15; ++n)
      t += page.Run;
    for (int word = 0; word < 60; ++word) {
      for (int n = 1 + int(rng() % 6); n > 0; --n)
        t += rng() % 5 ? page.Mixed[rng() % page.Mixed.size()] : std::string(1, char('a' + rng() % 3));
      static const char* const gaps[] = {" ", " ", " ", ". ", "\r\n", "! "};
      t += gaps[rng() % 6];
    }
  }
  return out;
}

// The hits as hits of the first corpus file, appended to the list.
inline void AddHits(TConcordItems& list, const TDoubleByteText& text)
{
  for (const auto& [start, end] : text.Hits) {
    auto hit = std::make_unique<TConcordItem>();
    hit->FileIndex = 0;
    hit->HitStart = start;
    hit->HitEnd = end;
    list.AddItem(std::move(hit));
  }
}

inline std::u16string Decoded(const std::string& bytes)
{
  return platform::toUtf16(platform::codePage(AnsiCodePage), bytes);
}

// The text as a hit line shows it: CR LF is one blank.
inline std::u16string DecodedAsShown(const std::string& text)
{
  std::string shown;
  for (size_t i = 0; i < text.size(); ++i)
    if (text.compare(i, 2, "\r\n") == 0)
      shown += ' ', ++i;
    else
      shown += text[i];
  return Decoded(shown);
}

// The decoded line has no lone lead or trail byte, and each piece of it
// between the writer's " ... " is characters that `corpus` holds in that
// order.
inline void ExpectWholeCharacters(const std::u16string& corpus, const std::u16string& line)
{
  EXPECT_EQ(line.find(u'\uFFFD'), std::u16string::npos);
  for (size_t from = 0;;) {
    const size_t at = line.find(u" ... ", from);
    EXPECT_NE(corpus.find(line.substr(from, at == std::u16string::npos ? at : at - from)), std::u16string::npos);
    if (at == std::u16string::npos)
      return;
    from = at + 5;
  }
}

}  // namespace testsupport
