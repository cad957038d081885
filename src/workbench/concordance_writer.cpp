#include "workbench/concordance_writer.h"

#include "foundation/chartables.h"
#include "workbench/qt_text.h"

#include <QGuiApplication>

#include <algorithm>
#include <cstdio>
#include <vector>

const THtmlCharset HtmlCharsets[HtmlCharsetCount] = {
    {1252, "windows-1252"}, {20105, "us-ascii"},    {28592, "iso-8859-2"},   {1250, "windows-1250"},
    {1251, "windows-1251"}, {1253, "windows-1253"}, {1254, "windows-1254"},  {932, "shift-jis"},
    {51932, "x-euc-jp"},    {50220, "iso-2022-jp"}, {1257, "windows-1257"},  {950, "big5"},
    {936, "gb2312"},        {20866, "koi8-r"},      {949, "ks_c_5601"},      {1255, "windows-1255"},
    {862, "dos-862"},       {1256, "windows-1256"}, {720, "dos-720"},        {874, "windows-874"},
    {1258, "windows-1258"}, {65001, "utf-8"},       {65000, "unicode-1-1-utf-7"}, {50225, "iso-2022-kr"},
    {52936, "hz-gb-2312"},  {28594, "iso-8859-4"},  {28595, "iso-8859-5"},   {28597, "iso-8859-7"},
    {28599, "iso-8859-9"},
};

std::string HtmlCharsetName(uint16_t codePage)
{
  for (const THtmlCharset& row : HtmlCharsets)
    if (row.CodePage == codePage)
      return row.Name;
  return {};
}

std::string ColorToCss(TColor colour)
{
  const auto c = static_cast<uint32_t>(colour);
  char buf[32];
  std::snprintf(buf, sizeof buf, "color: #%.2X%.2X%.2X;", c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
  return buf;
}

std::string FontToCss(const TFontRec& font)
{
  std::string css;
  css += (font.Style & fsBold) ? "font-weight: bold;" : "font-weight: normal;";
  css += LineEnd;
  css += (font.Style & fsItalic) ? "font-style: italic;" : "font-style: normal;";
  css += LineEnd;
  css += "font-size: " + std::to_string(font.Size) + "pt;";
  css += LineEnd;
  const QColor c = ColorFromTColor(font.Color, QGuiApplication::palette(), QColor(Qt::black));
  css += ColorToCss(TColor(c.red() | (c.green() << 8) | (c.blue() << 16)));
  css += LineEnd;
  if (font.Style & (fsUnderline | fsStrikeOut)) {
    css += "text-decoration: ";
    if (font.Style & fsUnderline)
      css += "underline ";
    if (font.Style & fsStrikeOut)
      css += "line-through";
    css += ";";
  }
  return css;
}

// --- escaping -------------------------------------------------------------------

namespace {

const char* Entity(char c)
{
  switch (c) {
    case '&': return "&amp;";
    case '<': return "&lt;";
    case '>': return "&gt;";
    case '"': return "&quot;";
    default: return nullptr;
  }
}

bool NeedsEscape(std::string_view text)
{
  return text.find_first_of("&<>\"") != std::string_view::npos;
}

}  // namespace

std::string EscapeHtml(std::string_view text)
{
  if (!NeedsEscape(text))
    return std::string(text);
  std::string out;
  out.reserve(text.size() + text.size() / 4 + 8);
  for (const char c : text) {
    if (const char* e = Entity(c))
      out += e;
    else
      out += c;
  }
  return out;
}

void EscapeHtml(std::string& text, TSVFormatArray& runs)
{
  if (!NeedsEscape(text))
    return;
  // added[k]: bytes added by the escapes before the k-th escaped character,
  // whose position is at[k].
  std::vector<size_t> at;
  std::vector<size_t> added;
  std::string out;
  out.reserve(text.size() + 32);
  size_t total = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (const char* e = Entity(text[i])) {
      at.push_back(i);
      added.push_back(total);
      const size_t n = std::char_traits<char>::length(e);
      out += e;
      total += n - 1;
    } else {
      out += text[i];
    }
  }
  // The shift of a position: what the escapes before it added.
  auto shift = [&](size_t pos) -> size_t {
    const auto it = std::lower_bound(at.begin(), at.end(), pos);
    if (it == at.end())
      return total;
    return added[size_t(it - at.begin())];
  };
  for (TSVFormatInfo& run : runs) {
    const size_t from = size_t(std::clamp<int64_t>(int64_t(run.Start) - 1, 0, int64_t(text.size())));
    const size_t to = size_t(std::clamp<int64_t>(int64_t(from) + run.Length, int64_t(from), int64_t(text.size())));
    const size_t newFrom = from + shift(from);
    const size_t newTo = to + shift(to);
    run.Start = int32_t(newFrom + 1);
    run.Length = int32_t(newTo - newFrom);
  }
  text = std::move(out);
}

// --- marks ------------------------------------------------------------------------

bool ApplyHtmlMarkup(std::string& text, const TSVFormatArray& runs, std::string& right)
{
  right.clear();
  bool hit = false;
  for (auto it = runs.rbegin(); it != runs.rend(); ++it) {
    const size_t from = size_t(std::clamp<int64_t>(int64_t(it->Start) - 1, 0, int64_t(text.size())));
    const size_t to = size_t(std::clamp<int64_t>(int64_t(from) + it->Length, int64_t(from), int64_t(text.size())));
    text.insert(to, "</b>");
    if (it->Hilite) {
      text.insert(from, "<b class=hilite>");
      right = text.substr(from) + right;
      text.erase(from);
      hit = true;
    } else {
      text.insert(from, "<b class=colloc style=\"" + ColorToCss(it->Font.Color) + "\">");
    }
  }
  return hit;
}

void BracketHit(std::string& text, int32_t start, int32_t length)
{
  if (length <= 0)
    return;
  const size_t from = size_t(std::clamp<int64_t>(int64_t(start) - 1, 0, int64_t(text.size())));
  const size_t to = size_t(std::clamp<int64_t>(int64_t(from) + length, int64_t(from), int64_t(text.size())));
  text.insert(to, "]]");
  text.insert(from, "[[");
}

// --- head and tail -----------------------------------------------------------------

void WriteHtmlHeader(TTextSink& file, uint8_t contextType, std::string_view title)
{
  WriteHtmlHeader(file, contextType, title, CharsetToCodePage(ConcordSettings.NormalFont.Charset));
}

void WriteHtmlHeader(TTextSink& file, uint8_t contextType, std::string_view title, uint16_t codePage)
{
  const std::string charset = HtmlCharsetName(codePage);
  const std::string lines[] = {
      "<html>",
      "",
      "<head>",
      "<meta http-equiv=Content-Type content=\"text/html; charset=" + charset + "\">",
      "",
      "<title>",
      "Search Result for '" + EscapeHtml(title) + "'",
      "</title>",
      "",
      "<style>",
      ".normal {",
      FontToCss(ConcordSettings.NormalFont),
      "}",
      ".hilite {",
      FontToCss(ConcordSettings.HiliteFont),
      "}",
      ".colloc {",
      FontToCss(ConcordSettings.CollocateFont),
      "}",
      "</style>",
      "</head>",
      "",
      "<body>",
      "<table bordercolor=\"#000000\" cellspacing=\"0\" cellpadding=\"1\"",
      "class=normal style=\"padding: 5px;\" width=\"100%\">",
  };
  for (const std::string& line : lines)
    file.WriteLine(line);
  file.WriteLine("  <th width=\"7%\" align=\"center\">");
  file.WriteLine("    No");
  file.WriteLine("  </th>");
  file.WriteLine(contextType <= 1 ? "  <th align=\"center\" colspan=\"2\">" : "  <th align=\"left\">");
  file.WriteLine("    Text");
  file.WriteLine("  </th>");
}

void WriteHtmlFooter(TTextSink& file)
{
  for (const char* line : {"</table>", "", "</body>", "", "</html>"})
    file.WriteLine(line);
}
