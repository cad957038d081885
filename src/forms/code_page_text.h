// Text typed into a widget that the current language's code page cannot
// hold is refused, never turned into '?' (a wildcard) or any other byte.
// The widgets convert through TextFromWidget (workbench/frame/qt_text.h);
// this is the message it shows.
//
// Typed text is read by characters of the current language's code page: on
// a double-byte page a lead byte and its trail byte are one character, and a
// trail byte never stands for the single-byte character of the same value.
#pragma once

#include <string>
#include <string_view>

inline constexpr const char* UnrepresentableTextMessage =
    "The text contains characters that the current language cannot represent: %s.";

// The message for the characters. They cannot be shown in the code page
// itself, so each is named by its code point: "U+043B U+044E".
std::string UnrepresentableText(std::u32string_view chars);

// Bytes of the character at text[pos] (pos on a character boundary): 1 or 2.
size_t CharBytes(std::string_view text, size_t pos);
// The number of characters of `text`.
size_t CharCount(std::string_view text);
// The first position at or after `from` (a boundary) where the whole
// characters `what` stand in `text`, beginning and ending between its
// characters; npos when nowhere.
size_t FindChars(std::string_view text, std::string_view what, size_t from = 0);
// The last character of `text` is the single-byte character `c`.
bool EndsWithChar(std::string_view text, char c);
// Removes every single-byte character `c` from `text`; a trail byte of that
// value stays with its character.
void EraseChar(std::string& text, char c);
// `text` begins with a double-byte character.
bool StartsWithDoubleByteChar(std::string_view text);
// What a one-character box stores: the first character of `text` when it is
// a single-byte one; `kept` when `text` is empty or begins with a
// double-byte character, which one byte cannot hold.
char SingleByteCharOr(std::string_view text, char kept);
// The first `size` bytes of `text`, or fewer so that the cut falls between
// characters.
std::string_view CharPrefix(std::string_view text, size_t size);
