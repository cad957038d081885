// Text typed into a widget that the current language's code page cannot
// hold is refused, never turned into '?' (a wildcard) or any other byte.
// The widgets convert through TextFromWidget (workbench/frame/qt_text.h);
// this is the message it shows.
#pragma once

#include <string>
#include <string_view>

inline constexpr const char* UnrepresentableTextMessage =
    "The text contains characters that the current language cannot represent: %s.";

// The message for the characters. They cannot be shown in the code page
// itself, so each is named by its code point: "U+043B U+044E".
std::string UnrepresentableText(std::u32string_view chars);
