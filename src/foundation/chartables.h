// The text language, case mapping, comparison and the 256-entry character
// tables (type flags and folding).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {
struct CodePage;
}

// Flags of CharTypeTable.
enum : uint8_t {
  ctSpace = 1, ctDigit = 2, ctUpper = 4, ctLower = 8, ctHexDigit = 16,
  ctControl = 32, ctPunct = 64, ctBlank = 128,
};

extern int32_t LanguageId;
extern uint16_t AnsiCodePage;
extern bool FarEastLanguage;
extern std::vector<std::string> LanguageNames;
extern uint8_t CharTypeTable[256];
extern char FoldTable[256];

uint16_t LanguageCodePage();
uint16_t CharsetToCodePage(int charset);
bool IsFarEastLanguage(int32_t langId);
int32_t LanguageIdByName(std::string_view name);
std::string LanguageNameById(int32_t langId);
const uint8_t* GetCharTypeTable();
char CaseCounterpart(char c);
char LocaleLowerChar(char c);
char LocaleUpperChar(char c);
void LocaleLowerPChar(char* text);            // NUL-terminated, any length, in place
void LocaleLowerBytes(char* text, size_t n);  // the same for a byte range
std::string LocaleLowerStr(std::string_view s);
int LocaleCompare(std::string_view a, std::string_view b, bool ignoreCase);
// A byte string ordering texts as LocaleCompare does (compare the keys).
std::string LocaleOrderKey(std::string_view text, bool ignoreCase);
bool IsDoubleByteChar(const char* p);
// The current language's code page (looked up again only when the language
// changes, so it is cheap to ask for every line or word).
const platform::CodePage& TextPage();
// The current language's code page: a DBCS lead byte (false on single-byte
// pages), and character boundaries in text that starts on one (see
// platform::charStartAt: the boundary at or before / at or after `pos`).
bool IsLeadByte(unsigned char c);
size_t CharStartAt(std::string_view text, size_t pos);
size_t CharEndAt(std::string_view text, size_t pos);
// The first `size` bytes of text that starts on a boundary, or fewer so that
// the cut falls between characters.
std::string_view CharsWithin(std::string_view text, size_t size);
// The one-byte characters of a settings text (see platform::singleByteChars).
std::string SingleByteChars(std::string_view text);

void InitLanguages();
void AddLocaleLanguage(const std::string& localeText);
// Sets LanguageId, AnsiCodePage and FarEastLanguage together; an identifier
// without a row in the language table becomes the user's default language.
void SetTextLanguage(int32_t langId);

// CharTypeTable all zero, FoldTable the identity: the state before the first
// BuildCharTables (part of InitProgramState).
void ResetCharTables();
void BuildFoldTable();
// Rebuilds CharTypeTable from the locale, then the folding table, and tells
// every registered listener (the regular-expression syntax table is one).
void BuildCharTables();
void AddCharTablesListener(std::function<void()> listener);
