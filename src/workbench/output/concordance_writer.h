// The concordance report: the hit lines of a hit list as aligned plain text
// or as an HTML table, written to a text sink (a file, the printer or the
// clipboard). Every line is built afresh from its hit record with the
// context settings given; the hit and its collocates are marked by the
// line's format runs.
//
// Plain text puts the hit between "[[" and "]]"; with a characters or words
// context the report is written in two passes, the first finding the widest
// left context, so that every hit starts in the same column. HTML writes a
// table whose styles come from the three concordance fonts.
//
// HTML output escapes &, <, > and " in every piece of text it takes from the
// corpus or the user: line text, title, file names, tag names and values.
//
// Nothing here touches a widget; the writer shows only its progress dialog.
#pragma once

#include "foundation/settings.h"
#include "foundation/strings_view_types.h"
#include "foundation/text_sink.h"
#include "workbench/output/output_config_dlg.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

class QWidget;
class TConcordItem;
class TConcordItems;

// One row of the table from ANSI code page to the charset name of the HTML
// head.
struct THtmlCharset {
  uint16_t CodePage;
  const char* Name;
};
inline constexpr int HtmlCharsetCount = 29;
extern const THtmlCharset HtmlCharsets[HtmlCharsetCount];

// The name of the first row with the code page; empty when none has it.
std::string HtmlCharsetName(uint16_t codePage);

// "color: #RRGGBB;" from the colour's own red, green and blue bytes (a
// system colour is not resolved).
std::string ColorToCss(TColor colour);
// The style declarations of a font, one per line: weight, style, size in
// points, colour (system colours resolved) followed by a line break, and
// "text-decoration: ..." when underlined or struck out. No font family.
std::string FontToCss(const TFontRec& font);

// The text with &, <, > and " as HTML entities.
std::string EscapeHtml(std::string_view text);
// The same in place, keeping every run on its characters: a run holding an
// escaped character grows by the added length, a run after it moves right.
void EscapeHtml(std::string& text, TSVFormatArray& runs);

// Puts the HTML marks around the runs, from the last run to the first:
// "</b>" after each run, "<b class=hilite>" before a hit and
// "<b class=colloc style="color: ...;">" before a collocate. The marked hit
// and everything after it move to right; text keeps the left part. Returns
// whether a hit run was marked.
bool ApplyHtmlMarkup(std::string& text, const TSVFormatArray& runs, std::string& right);

// Puts "[[" before and "]]" after the length characters from the 1-based
// start; nothing when length is 0 or less.
void BracketHit(std::string& text, int32_t start, int32_t length);

// The head of the HTML document: charset from the normal concordance font,
// the escaped title, the styles of the normal, hit and collocate fonts, and
// the table's header cells ("No", "Text" over two columns for context types
// 0 and 1).
void WriteHtmlHeader(TTextSink& file, uint8_t contextType, std::string_view title);
// The same with the code page given (the charset is empty for a code page
// missing from HtmlCharsets).
void WriteHtmlHeader(TTextSink& file, uint8_t contextType, std::string_view title, uint16_t codePage);
void WriteHtmlFooter(TTextSink& file);

// The width of the tag column: 0 when printing or without tracked tags,
// else the longest tracked-tag name (the start text standing in for an empty
// name) + 2.
int32_t TagColumnWidth(bool printing, bool trackedTags);

// One hit of the report; lineIndex counts from 0. lineText and runs are the
// hit's built line and its runs; they are changed (concealed, escaped,
// marked). indent blanks go before the text in plain text. HTML only with
// options.SaveAsHTML and without printing. The information line, the tag
// lines and the number cell come before the text:
//   plain text: [empty line, "file, Line n, Page n:"] [tag lines]
//               "   1. " label indent text-with-[[hit]]
//   HTML:       a table row per hit, with an information row before it.
// options.MaxLines plays no part here.
void WriteConcordanceLine(TTextSink& file, uint8_t contextType, const TConcordItem& hit, int32_t lineIndex,
                          int32_t tagColumnWidth, const TOutputOptions& options, bool printing,
                          TSVFormatArray& runs, int32_t indent, std::string& lineText);

// The whole report, for the hits of the list in their current order, at
// most options.MaxLines of them (0: all). Every line is built from its hit
// with the context type and sizes and the suppress flags (tags,
// part-of-speech tags, words) given, and with the list's collocate marking.
// window names the calling window (nullptr for a batch); nothing is read
// from it. The title is the search pattern. With printing on the report is
// plain text whatever options.SaveAsHTML says.
//
// An application-modal progress dialog ("Saving" or "Printing") is shown
// meanwhile; events are let in about every 50 ms, and Cancel ends the
// report between two lines (HTML then lacks its tail). Write errors of the
// sink pass on to the caller.
void WriteConcordance(TTextSink& file, TConcordItems& items, QWidget* window, std::string_view title,
                      const TOutputOptions& options, const std::array<bool, 3>& suppress,
                      const std::array<int32_t, 4>& contextSizes, uint8_t contextType, bool printing);
