// Text at the widget boundary: the core's bytes of the current language's
// ANSI code page to and from QString, through the core's own code-page
// tables, and the core's font records as QFonts.
#pragma once

#include "foundation/settings.h"

#include <QFont>
#include <QString>
#include <string>
#include <string_view>

QString ToQString(std::string_view bytes);
std::string FromQString(const QString& text);
// Name, point size and style bits (colour and character set stay with the caller).
QFont ToQFont(const TFontRec& font);
