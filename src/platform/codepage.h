// Single-byte and double-byte ANSI code pages, built from ICU converters.
//
// Corpus text, patterns and settings are bytes of the current language's ANSI
// code page throughout the core. These tables are the one source of truth for
// classifying, case-mapping and converting those bytes; the widgets convert
// to and from UTF-16 through them too.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// Windows CT_CTYPE1 bits, as GetStringTypeEx reports them.
enum : uint16_t {
  C1_UPPER = 0x0001, C1_LOWER = 0x0002, C1_DIGIT = 0x0004, C1_SPACE = 0x0008,
  C1_PUNCT = 0x0010, C1_CNTRL = 0x0020, C1_BLANK = 0x0040, C1_XDIGIT = 0x0080,
  C1_ALPHA = 0x0100,
};

struct CodePage {
  uint16_t id = 0;
  bool dbcs = false;                       // double-byte code page (932, 936, 949, 950)
  std::array<char16_t, 256> toU{};         // 0xFFFF: undefined byte or lead byte
  std::array<bool, 256> lead{};            // DBCS lead bytes
  std::array<uint16_t, 256> ctype{};       // C1_* bits per byte; 0 for undefined bytes
  std::array<unsigned char, 256> lower{};  // round-trip simple case mappings only;
  std::array<unsigned char, 256> upper{};  // a byte without a partner maps to itself
};

// Tables of a code page, built once and cached. An unknown code page falls
// back to 1252.
const CodePage& codePage(uint16_t id);

// Bytes of the code page to UTF-16 and back. Undefined bytes become U+FFFD;
// characters the page cannot hold become '?'. With `unmapped`, those
// characters are also listed there (as code points, each once, in the order
// they first occur), so a caller can refuse the text instead.
std::u16string toUtf16(const CodePage& cp, std::string_view bytes);
std::string fromUtf16(const CodePage& cp, std::u16string_view text, std::u32string* unmapped = nullptr);

// Lower-cases text of any length; on DBCS pages trail bytes are never touched
// and double-byte characters are mapped only when the result keeps its length.
std::string lowerText(const CodePage& cp, std::string_view bytes);
std::string upperText(const CodePage& cp, std::string_view bytes);

// True when p[0] is a lead byte of a DBCS page and p[1] is not the end.
bool isDoubleByteChar(const CodePage& cp, const char* p);

// Character boundaries. On a DBCS page a lead byte and the byte after it are
// one character (a lead byte at the very end stands alone); on a single-byte
// page every position is a boundary. `text` starts on a boundary.
//
// The boundary at or before `pos`: the start of the character holding the
// byte at `pos`. It is found by stepping back over the run of lead bytes
// just before `pos` (a byte that cannot lead always ends a character), so
// the work is that run's length, not `pos`.
size_t charStartAt(const CodePage& cp, std::string_view text, size_t pos);
// The boundary at or after `pos` (at most text.size()).
size_t charEndAt(const CodePage& cp, std::string_view text, size_t pos);
// The characters of `text` that are one byte long: the double-byte
// characters are left out. A box of single characters (non-word or skipping
// characters, sentence delimiters) becomes a set of bytes; a double-byte
// character typed into it must not make its lead and trail bytes members.
std::string singleByteChars(const CodePage& cp, std::string_view text);
// The longest prefix of `text` (which starts on a boundary) of at most
// `size` bytes that ends between characters.
inline std::string_view charsWithin(const CodePage& cp, std::string_view text, size_t size)
{
  return text.size() <= size ? text : text.substr(0, charStartAt(cp, text, size));
}
// Bytes of the character at text[pos] (pos on a boundary, pos < size): 1 or 2.
inline size_t charBytesAt(const CodePage& cp, std::string_view text, size_t pos)
{
  return cp.dbcs && cp.lead[static_cast<unsigned char>(text[pos])] && pos + 1 < text.size() ? 2 : 1;
}

}  // namespace platform
