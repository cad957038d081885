#include "workbench/frame/qt_text.h"

#include "foundation/chartables.h"
#include "foundation/dialogs.h"
#include "platform/codepage.h"

namespace {

const platform::CodePage& currentPage()
{
  return platform::codePage(AnsiCodePage ? AnsiCodePage : 1252);
}

}  // namespace

QString ToQString(std::string_view bytes)
{
  const std::u16string u = platform::toUtf16(currentPage(), bytes);
  return QString::fromUtf16(u.data(), qsizetype(u.size()));
}

std::string FromQString(const QString& text)
{
  return platform::fromUtf16(currentPage(),
                             std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                                 size_t(text.size())));
}

QString UnrepresentableChars(const QString& text)
{
  QString out;
  for (const char32_t c : text.toUcs4()) {
    const QString one = QString::fromUcs4(&c, 1);
    if (ToQString(FromQString(one)) != one && !out.contains(one))
      out += one;
  }
  return out;
}

bool CheckRepresentable(const QString& text)
{
  const QString bad = UnrepresentableChars(text);
  if (bad.isEmpty())
    return true;
  // Messages are bytes of the code page, which cannot hold these: each is
  // named by its code point.
  std::string names;
  for (const char32_t c : bad.toUcs4())
    names += (names.empty() ? "" : " ") + QStringLiteral("U+%1").arg(uint(c), 4, 16, QLatin1Char('0')).toUpper().toStdString();
  ShowError("The text contains characters that the current language cannot represent: " + names + ".");
  return false;
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
