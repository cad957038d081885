#include "foundation/strings_view_types.h"

#include <algorithm>

#include "platform/codepage.h"

std::string TStrings::textPart(int32_t index, int32_t from, int32_t count, int32_t& length) const
{
  std::string text = Get(index);
  length = static_cast<int32_t>(text.size());
  const size_t at = std::min(text.size(), static_cast<size_t>(std::max(from, 0)));
  const size_t n = static_cast<size_t>(std::max(count, 0));
  if (at == 0 && n >= text.size())
    return text;
  return text.substr(at, n);
}

int32_t TStrings::charStart(int32_t index, int32_t pos, const platform::CodePage& cp) const
{
  if (!cp.dbcs || pos <= 0)
    return std::max(pos, 0);
  // A few bytes before pos first; where they all can lead, the item from
  // its start, where a character begins.
  constexpr int32_t kLookBack = 64;
  int32_t length = 0;
  const int32_t back = std::min(pos, kLookBack);
  std::string bytes = textPart(index, pos - back, back + 1, length);
  if (static_cast<int32_t>(bytes.size()) <= back)
    return pos;
  const auto lead = [&cp](char c) { return cp.lead[static_cast<unsigned char>(c)]; };
  if (back == pos || !std::all_of(bytes.begin(), bytes.begin() + back, lead))
    return pos - back + static_cast<int32_t>(platform::charStartAt(cp, bytes, static_cast<size_t>(back)));
  bytes = textPart(index, 0, pos + 1, length);
  return static_cast<int32_t>(platform::charStartAt(cp, bytes, static_cast<size_t>(pos)));
}

void FontToSVFontInfo(const TFontRec& font, TSVFontInfo& info)
{
  info.Name = font.Name;
  info.Size = font.Size;
  info.Style = font.Style;
  info.Color = font.Color;
}

void SanitizeSVFormat(TSVFormatArray& runs, std::string_view text, const platform::CodePage* cp)
{
  const int64_t len = static_cast<int64_t>(text.size());
  // trail[i]: byte i (0-based) is the second byte of a double-byte character.
  std::vector<bool> trail;
  if (cp != nullptr && cp->dbcs) {
    trail.assign(text.size(), false);
    for (size_t i = 0; i < text.size(); ++i) {
      if (cp->lead[static_cast<unsigned char>(text[i])] && i + 1 < text.size())
        trail[++i] = true;
    }
  }
  int64_t prevEnd = 0;  // last byte of the previous run kept
  size_t kept = 0;
  for (size_t i = 0; i < runs.size(); ++i) {
    TSVFormatInfo r = runs[i];
    if (r.Length <= 0 || r.Start < 1 || r.Start > len)
      continue;
    int64_t start = r.Start;
    int64_t end = std::min<int64_t>(start + r.Length - 1, len);
    if (!trail.empty()) {
      // Edges inside a pair move out to the pair's edges.
      if (trail[static_cast<size_t>(start - 1)])
        --start;
      if (end < len && trail[static_cast<size_t>(end)])
        ++end;
    }
    if (start <= prevEnd)
      continue;
    r.Start = static_cast<int32_t>(start);
    r.Length = static_cast<int32_t>(end - start + 1);
    prevEnd = end;
    runs[kept++] = std::move(r);
  }
  runs.resize(kept);
}

void SVLineSegments(int32_t linePos, int32_t lineLength, TSVFormatArray& runs, size_t& next,
                    std::vector<TSVSegment>& out)
{
  out.clear();
  int32_t off = 0;
  while (off < lineLength) {
    TSVSegment seg;
    seg.Start = linePos + off;
    seg.Length = lineLength - off;
    if (next < runs.size()) {
      TSVFormatInfo& r = runs[next];
      const int32_t s = seg.Start;
      if (s >= r.Start && s <= r.Start + r.Length) {
        seg.Run = static_cast<int32_t>(next);
        seg.Center = r.Center;
        if (r.Start + r.Length - linePos <= lineLength) {
          seg.Length = r.Start + r.Length - s;  // r.Length for a run starting here
          ++next;
        } else {
          // The run goes on to the next line: draw the rest of this line in it.
          r.Start += seg.Length;
          r.Length -= seg.Length;
        }
      } else if (linePos + lineLength >= r.Start) {
        seg.Length = r.Start - s;
      }
    }
    if (seg.Length <= 0)  // cannot happen with sanitised runs; never loop
      seg.Length = lineLength - off;
    out.push_back(seg);
    off += seg.Length;
  }
}

namespace {

struct WrapUnit {
  int32_t bytes;
  int32_t width;
};

}  // namespace

int32_t SVWrapText(std::string_view text, const TSVFormatArray& runs, int32_t width, int32_t lineHeight,
                   const platform::CodePage* cp, const TSVWrapMeasure& measure, TSVStringsArray& lines)
{
  lines.clear();
  int32_t total = 0;
  auto addLine = [&](std::string line, int run) {
    total += std::max(lineHeight, measure.TextHeight(run));
    lines.push_back(std::move(line));
  };
  if (text.empty()) {
    addLine(std::string(), -1);
    return total;
  }

  const bool dbcs = cp != nullptr && cp->dbcs;
  std::string buffer;
  std::vector<WrapUnit> units;  // the characters in buffer with their widths
  int32_t x = 0;
  size_t pos = 0;
  size_t nextRun = 0;
  while (pos < text.size()) {
    size_t chunkEnd = text.size();
    int font = -1;
    if (nextRun < runs.size()) {
      const TSVFormatInfo& r = runs[nextRun];
      const size_t runPos = static_cast<size_t>(r.Start - 1);
      if (runPos == pos) {
        chunkEnd = std::min(text.size(), runPos + static_cast<size_t>(r.Length));
        font = static_cast<int>(nextRun);
        ++nextRun;
      } else if (runPos > pos) {
        chunkEnd = std::min(text.size(), runPos);
      } else {
        ++nextRun;  // behind us: unsanitised input, skip it
        continue;
      }
    }
    while (pos < chunkEnd) {
      size_t n = 1;
      if (dbcs && cp->lead[static_cast<unsigned char>(text[pos])] && pos + 1 < chunkEnd)
        n = 2;
      std::string ch(text.substr(pos, n));
      if (ch[0] == '\t')
        ch[0] = ' ';
      const int32_t w = measure.CharWidth(ch, font);
      if (x + w > width) {
        // The last blank in the buffer; a blank is always a one-byte unit.
        size_t blankUnit = units.size();
        size_t cut = 0;
        for (size_t u = 0, at = 0; u < units.size(); at += static_cast<size_t>(units[u].bytes), ++u) {
          if (units[u].bytes == 1 && buffer[at] == ' ') {
            blankUnit = u;
            cut = at + 1;
          }
        }
        if (blankUnit < units.size()) {
          addLine(buffer.substr(0, cut), font);
          buffer.erase(0, cut);
          units.erase(units.begin(), units.begin() + static_cast<ptrdiff_t>(blankUnit + 1));
          x = 0;
          for (const WrapUnit& u : units)
            x += u.width;
        } else {
          addLine(std::move(buffer), font);
          buffer.clear();
          units.clear();
          x = 0;
        }
      }
      buffer += ch;
      units.push_back({static_cast<int32_t>(n), w});
      x += w;
      pos += n;
    }
  }
  if (!buffer.empty())
    addLine(std::move(buffer), -1);
  return total;
}
