#include "workbench/qt_text.h"

#include "foundation/chartables.h"
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
