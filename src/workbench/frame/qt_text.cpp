#include "workbench/frame/qt_text.h"

#include "forms/code_page_text.h"
#include "foundation/chartables.h"
#include "foundation/dialogs.h"
#include "platform/codepage.h"

namespace {

const platform::CodePage& currentPage()
{
  return platform::codePage(AnsiCodePage ? AnsiCodePage : 1252);
}

std::u16string_view utf16Of(const QString& text)
{
  return std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()), size_t(text.size()));
}

}  // namespace

QString ToQString(std::string_view bytes)
{
  const std::u16string u = platform::toUtf16(currentPage(), bytes);
  return QString::fromUtf16(u.data(), qsizetype(u.size()));
}

std::string FromQString(const QString& text)
{
  return platform::fromUtf16(currentPage(), utf16Of(text));
}

std::u32string UnrepresentableChars(const QString& text)
{
  std::u32string unmapped;
  platform::fromUtf16(currentPage(), utf16Of(text), &unmapped);
  return unmapped;
}

bool TextFromWidget(const QString& text, std::string& bytes)
{
  std::u32string unmapped;
  std::string converted = platform::fromUtf16(currentPage(), utf16Of(text), &unmapped);
  if (!unmapped.empty()) {
    ShowError(UnrepresentableText(unmapped));
    return false;
  }
  bytes = std::move(converted);
  return true;
}

QFont ToQFont(const TFontRec& font)
{
  QFont f(ToQString(font.Name));
  if (font.Size > 0)
    f.setPointSize(font.Size);
  f.setBold(font.Style & fsBold);
  f.setItalic(font.Style & fsItalic);
  f.setUnderline(font.Style & fsUnderline);
  f.setStrikeOut(font.Style & fsStrikeOut);
  return f;
}

TFontRec FontRecFromQFont(const QFont& f, const TFontRec& base)
{
  TFontRec font = base;
  font.Name = FromQString(f.family());
  if (f.pointSize() > 0)
    font.Size = f.pointSize();
  font.Style = (f.bold() ? fsBold : 0) | (f.italic() ? fsItalic : 0) | (f.underline() ? fsUnderline : 0) |
               (f.strikeOut() ? fsStrikeOut : 0);
  return font;
}

QColor ColorFromTColor(TColor c, const QPalette& pal, const QColor& fallback)
{
  if (c < 0) {
    switch (c & 0xFF) {
      case 5: return pal.color(QPalette::Base);             // window
      case 8: return pal.color(QPalette::Text);             // window text
      case 13: return pal.color(QPalette::Highlight);
      case 14: return pal.color(QPalette::HighlightedText);
      case 15: return pal.color(QPalette::Button);          // button face
      case 16: return pal.color(QPalette::Mid);             // button shadow
      case 17: return pal.color(QPalette::Disabled, QPalette::Text);  // grey text
      case 18: return pal.color(QPalette::ButtonText);
      case 20: return pal.color(QPalette::Light);
      case 23: return pal.color(QPalette::ToolTipText);
      case 24: return pal.color(QPalette::ToolTipBase);
      default: return pal.color(QPalette::WindowText);
    }
  }
  if (c > 0xFFFFFF)
    return fallback;
  return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}
