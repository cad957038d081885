// Text at the widget boundary: the core's bytes of the current language's
// ANSI code page to and from QString, through the core's own code-page
// tables, and the core's font records as QFonts.
#pragma once

#include "foundation/settings.h"

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QString>
#include <string>
#include <string_view>

QString ToQString(std::string_view bytes);
std::string FromQString(const QString& text);
// The characters of text that the current code page cannot hold, each once,
// in order of appearance; empty when it holds them all.
QString UnrepresentableChars(const QString& text);
// Refuses text with such characters: shows "The text contains characters that
// the current language cannot represent: %s." with them (as U+ code points,
// which the message's bytes can hold) and returns false.
bool CheckRepresentable(const QString& text);
// Name, point size and style bits (colour and character set stay with the caller).
QFont ToQFont(const TFontRec& font);
// A colour value (0x00BBGGRR, negative for a system colour, resolved on the
// palette); fallback stands for values that name no colour.
QColor ColorFromTColor(TColor c, const QPalette& pal, const QColor& fallback);
