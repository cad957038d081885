// Locale-aware comparison of code-page text.
#pragma once

#include <cstdint>
#include <string_view>

namespace platform {

// Compares two texts of the language's code page in the language's order,
// hyphen and apostrophe ignored except as a tie-break. The order is total:
// the result is -1, 0 or 1, and 0 only for equal bytes (equal after
// lower-casing when ignoreCase is set).
int compareText(uint16_t langId, std::string_view a, std::string_view b, bool ignoreCase);

}  // namespace platform
