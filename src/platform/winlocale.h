// Language identifiers (Windows LANGIDs) mapped onto ICU locales.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform {

// Default ANSI code page of a language; 0 when the language has none.
uint16_t ansiCodePage(uint16_t langId);

// The user's default language from ICU's default locale; C and POSIX give 0x409.
uint16_t userDefaultLangId();

// The system ANSI code page: that of the user's default language, else 1252.
uint16_t systemAnsiCodePage();

// ICU locale name for a LANGID ("es_ES@collation=traditional" for 0x40A).
std::string icuLocaleForLangId(uint16_t langId);

// The installed locales as "%08X" texts, in the order they are enumerated.
// By default the 84 languages the program knows; tests install their own list.
std::vector<std::string> installedLocaleTexts();
void setInstalledLocaleTexts(std::function<std::vector<std::string>()> source);  // empty: default

}  // namespace platform
