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
// Characters the code page cannot hold become '?': for texts the program
// made itself. Text the user typed goes through TextFromWidget.
std::string FromQString(const QString& text);
// The characters of text that the current code page cannot hold, each once,
// in the order they first occur; empty when all of it fits.
std::u32string UnrepresentableChars(const QString& text);
// Text typed into a widget, as bytes of the current code page: true with
// bytes set, or false after ShowError "The text contains characters that the
// current language cannot represent: %s." naming them, with bytes untouched.
// The caller then keeps its dialog open with the text and runs nothing.
bool TextFromWidget(const QString& text, std::string& bytes);
// Name, point size and style bits (colour and character set stay with the caller).
QFont ToQFont(const TFontRec& font);
// base with the font's name, point size (when it has one) and style bits.
TFontRec FontRecFromQFont(const QFont& font, const TFontRec& base);
// A colour value (0x00BBGGRR, negative for a system colour, resolved on the
// palette); fallback stands for values that name no colour.
QColor ColorFromTColor(TColor c, const QPalette& pal, const QColor& fallback);
