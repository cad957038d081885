#include "workbench/output/concordance_writer.h"

#include "foundation/chartables.h"
#include "foundation/corpus_list.h"
#include "foundation/dialogs.h"
#include "foundation/hit_location.h"
#include "foundation/tag_scan.h"
#include "search/concord_items.h"
#include "workbench/dialogs/progress_form.h"
#include "workbench/frame/qt_text.h"

#include <QGuiApplication>
#include <QWidget>

#include <algorithm>
#include <chrono>
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

// --- the report ---------------------------------------------------------------------

namespace {

constexpr std::chrono::milliseconds PumpInterval{50};

std::string NumberOrNotAvailable(int32_t value)
{
  return value < 0 ? std::string(NotAvailableText) : std::to_string(value);
}

// The text right-aligned in width characters (never cut).
std::string RightAligned(std::string_view text, int32_t width)
{
  std::string out;
  if (int64_t(text.size()) < width)
    out.assign(size_t(width) - text.size(), ' ');
  out.append(text);
  return out;
}

// Every character of the hit runs, or of the collocate runs, made "_".
void Conceal(std::string& text, const TSVFormatArray& runs, bool hits, bool collocates)
{
  for (const TSVFormatInfo& r : runs) {
    if (r.Hilite ? !hits : !collocates)
      continue;
    const size_t from = size_t(std::clamp<int64_t>(int64_t(r.Start) - 1, 0, int64_t(text.size())));
    const size_t to = size_t(std::clamp<int64_t>(int64_t(from) + r.Length, int64_t(from), int64_t(text.size())));
    std::fill(text.begin() + ptrdiff_t(from), text.begin() + ptrdiff_t(to), '_');
  }
}

const TSVFormatInfo* FirstHitRun(const TSVFormatArray& runs)
{
  for (const TSVFormatInfo& r : runs)
    if (r.Hilite)
      return &r;
  return nullptr;
}

const TSVFormatInfo* LastHitRun(const TSVFormatArray& runs)
{
  for (auto it = runs.rbegin(); it != runs.rend(); ++it)
    if (it->Hilite)
      return &*it;
  return nullptr;
}

}  // namespace

int32_t TagColumnWidth(bool printing, bool trackedTags)
{
  if (printing || !trackedTags)
    return 0;
  size_t widest = 0;
  for (const TWatchedTag& tag : WatchedTags)
    widest = std::max(widest, (tag.Name.empty() ? tag.TagStart : tag.Name).size());
  return int32_t(widest) + 2;
}

void WriteConcordanceLine(TTextSink& file, uint8_t contextType, const TConcordItem& hit, int32_t lineIndex,
                          int32_t tagColumnWidth, const TOutputOptions& options, bool printing,
                          TSVFormatArray& runs, int32_t indent, std::string& lineText)
{
  const bool html = options.SaveAsHTML && !printing;
  const bool keyWordLayout = contextType <= 1;
  // The index files are read only when the numbers or tags are asked for.
  THitLocation loc;
  if (options.LineNumbers || options.PageNumbers || options.TrackedTags)
    loc = GetHitLocation(hit.FileIndex, hit.HitStart);
  const std::string rowColour = lineIndex % 2 == 0 ? "bgcolor=\"#E7FAFE\"" : "";
  const std::string rowStart = "  <tr " + rowColour + ">";
  const std::string cellStart =
      std::string("   <td colspan=\"") + (keyWordLayout ? "3" : "2") + "\" align=\"left\">";
  if (html)
    file.WriteLine(rowStart);

  // The information line: file, line and page.
  std::string info;
  if (options.ShowFile && hit.FileIndex >= 0 && hit.FileIndex < CorpusList.Count())
    info = CorpusList[hit.FileIndex].Name;
  if (options.LineNumbers && !options.RelativeLines) {
    if (!info.empty())
      info += ", ";
    info += "Line " + NumberOrNotAvailable(loc.AbsLine);
  }
  if (options.PageNumbers) {
    if (!info.empty())
      info += ", ";
    info += "Page " + NumberOrNotAvailable(loc.Page);
    if (options.RelativeLines)
      info += ", Line " + NumberOrNotAvailable(loc.LineInPage);
  }
  bool cellOpen = false;
  if (!info.empty()) {
    file.WriteLine();
    if (html) {
      file.WriteLine(cellStart);
      cellOpen = true;
      file.WriteLine(EscapeHtml(info) + ":");
    } else {
      file.WriteLine(info + ":");
    }
  }

  // One line per tracked tag.
  if (options.TrackedTags && !WatchedTags.empty() && loc.TagValues) {
    if (html && !cellOpen) {
      file.WriteLine(cellStart);
      cellOpen = true;
    }
    const std::vector<std::string>& values = *loc.TagValues;
    for (size_t k = 0; k < WatchedTags.size() && k < values.size(); ++k) {
      const TWatchedTag& tag = WatchedTags[k];
      const std::string& name = tag.Name.empty() ? tag.TagStart : tag.Name;
      if (html)
        file.WriteLine(RightAligned(" <br><b> " + EscapeHtml(name) + " </b> " + ": ", tagColumnWidth) +
                       EscapeHtml(values[k]));
      else
        file.WriteLine(RightAligned(name + ": ", tagColumnWidth) + values[k]);
    }
  }
  if (cellOpen) {
    file.WriteLine("   </td>");
    file.WriteLine("  </tr>");
    file.WriteLine(rowStart);
  }

  // The number cell, with the sort label.
  std::string label;
  if (options.SortLabels) {
    label = "  ";
    if (hit.Letter >= 'a' && hit.Letter <= 'z')
      label[0] = char(hit.Letter);
  }
  char number[16];
  std::snprintf(number, sizeof number, "%4d", lineIndex + 1);
  if (html) {
    file.WriteLine("   <td align=\"center\"> ");
    file.WriteLine(std::string(number) + ". " + label);
    file.WriteLine("   </td>");
  } else {
    file.Write(number);
    file.Write(". ");
    file.Write(label);
  }

  // The text: concealed first, so that a concealed character stays one
  // character, then escaped for HTML.
  if (options.ConcealHits || options.ConcealCollocates)
    Conceal(lineText, runs, options.ConcealHits, options.ConcealCollocates);
  if (!html) {
    if (const TSVFormatInfo* hitRun = LastHitRun(runs))
      BracketHit(lineText, hitRun->Start, hitRun->Length);
    if (indent > 0)
      file.Write(std::string(size_t(indent), ' '));
    file.WriteLine(lineText);
    return;
  }
  EscapeHtml(lineText, runs);
  std::string right;
  const bool hasHit = ApplyHtmlMarkup(lineText, runs, right);
  if (!keyWordLayout)
    file.WriteLine("<td align= \"left\">" + lineText + right + "</td>");
  else if (hasHit)
    file.WriteLine("<td align= \"right\">" + lineText + "</td>" + "<td align= \"left\">" + right + "</td>");
  else
    file.WriteLine("<td align= \"center\" colspan=\"2\">" + lineText + "</td>");
  file.WriteLine("  </tr>");
}

void WriteConcordance(TTextSink& file, TConcordItems& items, QWidget* window, std::string_view title,
                      const TOutputOptions& options, const std::array<bool, 3>& suppress,
                      const std::array<int32_t, 4>& contextSizes, uint8_t contextType, bool printing)
{
  (void)window;  // the report depends only on the arguments
  using Clock = std::chrono::steady_clock;
  const bool html = options.SaveAsHTML && !printing;
  const bool twoPass = !html && contextType <= 1;
  const int32_t count = items.Count();
  const int32_t maxLines = options.MaxLines;

  std::unique_ptr<ProgressDialog> progress = CreateProgressForm(false);
  progress->SetCaption(printing ? "Printing" : "Saving");
  progress->SetSpecialText("");
  progress->SetMaxValue(int64_t(maxLines > 0 ? maxLines - 1 : count) * (twoPass ? 2 : 1));
  // Modal for the whole application: the list must not change while it is
  // being written.
  MakeApplicationModal(*progress);
  progress->Show();

  const int32_t tagWidth = TagColumnWidth(printing, options.TrackedTags);
  if (html)
    WriteHtmlHeader(file, contextType, title);

  // The builder's collocate marking follows the list's.
  uint8_t collocFirst = 10;
  uint8_t collocLast = 10;
  int32_t rankCount = 0;
  if (items.HighlightCollocates && items.CollocTablesValid(items.CollocFirst, items.CollocLast)) {
    collocFirst = items.CollocFirst;
    collocLast = items.CollocLast;
    rankCount = std::max(1, items.CollocTables[collocFirst]->TopLimit());
  }
  TContextSetting context;
  context.Type = contextType;
  context.Sizes = contextSizes;

  TSVFormatArray runs;
  std::string line;
  int32_t maxHitStart = 0;
  int64_t handled = 0;
  Clock::time_point nextPump = Clock::now();
  const int passes = twoPass ? 2 : 1;
  for (int pass = 0; pass < passes; ++pass) {
    const bool lastPass = pass == passes - 1;
    for (int32_t i = 0; i < count; ++i, ++handled) {
      const bool due = Clock::now() >= nextPump;
      if (due) {
        progress->poll();
        nextPump = Clock::now() + PumpInterval;
      }
      if (progress->Tag() != ProgressRunning)
        return;
      if (due)
        progress->SetProgress(handled);
      if (maxLines > 0 && i >= maxLines)
        break;
      TConcordItem& hit = *items.GetItem(i);
      line = TConcordItems::BuildHitLineWithOptions(hit, context, runs, items.CollocColour, rankCount, collocFirst,
                                                    collocLast, suppress[0], suppress[1], suppress[2]);
      std::replace(line.begin(), line.end(), '\t', ' ');
      // A line without a hit run takes no part in the alignment.
      const TSVFormatInfo* hitRun = FirstHitRun(runs);
      if (!lastPass) {
        if (hitRun)
          maxHitStart = std::max(maxHitStart, hitRun->Start);
        continue;
      }
      const int32_t indent = hitRun ? std::max(0, maxHitStart - hitRun->Start) : 0;
      WriteConcordanceLine(file, contextType, hit, i, tagWidth, options, printing, runs, indent, line);
    }
  }
  if (html)
    WriteHtmlFooter(file);
}
