#include "workbench/output/concordance_writer.h"

#include "foundation/chartables.h"

#include <QGuiApplication>
#include <QPalette>
#include <gtest/gtest.h>

namespace {

TSVFormatInfo run(int32_t start, int32_t length, bool hit, TColor colour = 0)
{
  TSVFormatInfo r;
  r.Start = start;
  r.Length = length;
  r.Hilite = hit;
  r.Center = hit;
  r.Font.Color = colour;
  return r;
}

// The characters a run covers.
std::string covered(const std::string& text, const TSVFormatInfo& r)
{
  return text.substr(size_t(r.Start - 1), size_t(r.Length));
}

}  // namespace

// --- styles and charsets --------------------------------------------------------------

TEST(HtmlStyles, CharsetTableLooksUpTheFirstRowOrNothing)
{
  EXPECT_EQ(HtmlCharsetName(1251), "windows-1251");
  EXPECT_EQ(HtmlCharsetName(65000), "unicode-1-1-utf-7");
  EXPECT_EQ(HtmlCharsetName(437), "");
}

TEST(HtmlStyles, ColoursAreRedGreenBlueOfTheBgrValue)
{
  EXPECT_EQ(ColorToCss(0x0000FF), "color: #FF0000;");
  EXPECT_EQ(ColorToCss(0x804020), "color: #204080;");
  // A collocate mark takes the bytes as they are, system colour or not.
  EXPECT_EQ(ColorToCss(clWindowText), "color: #080000;");
}

TEST(HtmlStyles, FontDeclarationsOnePerLine)
{
  TFontRec font{"Arial", 12, fsBold | fsItalic | fsUnderline | fsStrikeOut, 0x00FF00, 0};
  EXPECT_EQ(FontToCss(font),
            "font-weight: bold;\r\nfont-style: italic;\r\nfont-size: 12pt;\r\ncolor: #00FF00;\r\n"
            "text-decoration: underline line-through;");
  font.Style = fsUnderline;
  EXPECT_EQ(FontToCss(font),
            "font-weight: normal;\r\nfont-style: normal;\r\nfont-size: 12pt;\r\ncolor: #00FF00;\r\n"
            "text-decoration: underline ;");
  font.Style = 0;
  font.Color = clWindowText;  // resolved on the palette
  const QColor text = QGuiApplication::palette().color(QPalette::Text);
  char expected[32];
  std::snprintf(expected, sizeof expected, "color: #%.2X%.2X%.2X;\r\n", text.red(), text.green(), text.blue());
  EXPECT_TRUE(FontToCss(font).ends_with(expected)) << FontToCss(font);
}

// --- escaping, marks and brackets --------------------------------------------------------

TEST(HtmlEscaping, EveryEntityWithRunsKeptOnTheirCharacters)
{
  EXPECT_EQ(EscapeHtml("a<b & \"c\">d"), "a&lt;b &amp; &quot;c&quot;&gt;d");
  EXPECT_EQ(EscapeHtml("plain"), "plain");

  // "x<y" is a collocate, "a&b" the hit, a "<" right after the hit, "\"q\"" a collocate.
  std::string text = "x<y ... a&b< \"q\"";
  TSVFormatArray runs = {run(1, 3, false), run(9, 3, true), run(14, 3, false)};
  EscapeHtml(text, runs);
  EXPECT_EQ(text, "x&lt;y ... a&amp;b&lt; &quot;q&quot;");
  EXPECT_EQ(covered(text, runs[0]), "x&lt;y");
  EXPECT_EQ(covered(text, runs[1]), "a&amp;b");
  EXPECT_EQ(covered(text, runs[2]), "&quot;q&quot;");
}

TEST(HtmlEscaping, MarkupSplitsAtTheHitAndColoursCollocates)
{
  std::string text = "... the cat sat on the mat ...";
  const TSVFormatArray runs = {run(5, 3, false, 0x0000FF), run(9, 3, true), run(13, 3, false, 0x00FF00)};
  std::string right;
  EXPECT_TRUE(ApplyHtmlMarkup(text, runs, right));
  EXPECT_EQ(text, "... <b class=colloc style=\"color: #FF0000;\">the</b> ");
  EXPECT_EQ(right, "<b class=hilite>cat</b> <b class=colloc style=\"color: #00FF00;\">sat</b> on the mat ...");

  std::string noHit = "only a collocate";
  EXPECT_FALSE(ApplyHtmlMarkup(noHit, {run(8, 9, false)}, right));
  EXPECT_EQ(noHit, "only a <b class=colloc style=\"color: #000000;\">collocate</b>");
  EXPECT_EQ(right, "");
}

TEST(HtmlEscaping, BracketsGoAroundTheHitWhenItHasCharacters)
{
  std::string text = "left hit right";
  BracketHit(text, 6, 3);
  EXPECT_EQ(text, "left [[hit]] right");
  std::string empty = "left right";
  BracketHit(empty, 6, 0);
  EXPECT_EQ(empty, "left right");
  std::string atEnd = "hit";
  BracketHit(atEnd, 1, 3);
  EXPECT_EQ(atEnd, "[[hit]]");
}

// --- head and tail ----------------------------------------------------------------------

TEST(HtmlDocument, HeadWithCharsetEscapedTitleAndHeaderCells)
{
  InitProgramState();
  ConcordSettings.NormalFont = TFontRec{"Arial", 10, 0, 0x000000, 204};   // Russian: code page 1251
  ConcordSettings.HiliteFont = TFontRec{"Arial", 10, fsBold, 0x0000FF, 204};
  ConcordSettings.CollocateFont = TFontRec{"Arial", 10, fsItalic, 0x008000, 204};
  TStringTextSink sink;
  WriteHtmlHeader(sink, 1, "a<b> & \"c\"");
  const std::string head = sink.Text();
  EXPECT_EQ(head,
            "<html>\r\n\r\n<head>\r\n"
            "<meta http-equiv=Content-Type content=\"text/html; charset=windows-1251\">\r\n\r\n"
            "<title>\r\nSearch Result for 'a&lt;b&gt; &amp; &quot;c&quot;'\r\n</title>\r\n\r\n"
            "<style>\r\n"
            ".normal {\r\nfont-weight: normal;\r\nfont-style: normal;\r\nfont-size: 10pt;\r\ncolor: #000000;\r\n\r\n}\r\n"
            ".hilite {\r\nfont-weight: bold;\r\nfont-style: normal;\r\nfont-size: 10pt;\r\ncolor: #FF0000;\r\n\r\n}\r\n"
            ".colloc {\r\nfont-weight: normal;\r\nfont-style: italic;\r\nfont-size: 10pt;\r\ncolor: #008000;\r\n\r\n}\r\n"
            "</style>\r\n</head>\r\n\r\n<body>\r\n"
            "<table bordercolor=\"#000000\" cellspacing=\"0\" cellpadding=\"1\"\r\n"
            "class=normal style=\"padding: 5px;\" width=\"100%\">\r\n"
            "  <th width=\"7%\" align=\"center\">\r\n    No\r\n  </th>\r\n"
            "  <th align=\"center\" colspan=\"2\">\r\n    Text\r\n  </th>\r\n");

  // A running-text layout has one text column; a code page missing from the
  // table leaves the charset empty.
  TStringTextSink running;
  WriteHtmlHeader(running, 3, "x", 437);
  EXPECT_NE(running.Text().find("content=\"text/html; charset=\">\r\n"), std::string::npos);
  EXPECT_TRUE(running.Text().ends_with("  <th align=\"left\">\r\n    Text\r\n  </th>\r\n"));

  TStringTextSink tail;
  WriteHtmlFooter(tail);
  EXPECT_EQ(tail.Text(), "</table>\r\n\r\n</body>\r\n\r\n</html>\r\n");
  InitProgramState();
}
