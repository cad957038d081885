// Locale-aware comparison of code-page text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// Compares two texts of the language's code page in the language's order,
// hyphen and apostrophe ignored except as a tie-break. The order is total:
// the result is -1, 0 or 1, and 0 only for equal bytes (equal after
// lower-casing when ignoreCase is set).
int compareText(uint16_t langId, std::string_view a, std::string_view b, bool ignoreCase);

// A byte string that orders texts as compareText does: for any a and b,
// orderKey(a).compare(orderKey(b)) has the sign of compareText(a, b). For
// sorting many texts, where one key per text is cheaper than a collation per
// comparison.
std::string orderKey(uint16_t langId, std::string_view text, bool ignoreCase);

}  // namespace platform
