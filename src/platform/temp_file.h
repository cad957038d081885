// Unique temporary file names: up to three prefix characters, 1 to 4 upper-case
// hexadecimal digits (never 0) and ".tmp". The file is created empty (O_EXCL).
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Throws std::runtime_error naming the folder when no name can be made.
std::string makeTempFile(const std::string& dir, std::string_view prefix);

}  // namespace platform
