// Unique temporary file names: up to three prefix characters, 1 to 4 upper-case
// hexadecimal digits (never 0) and ".tmp". The file is created empty (O_EXCL).
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Throws std::runtime_error naming the folder when no name can be made.
// The file is private (0600) unless a mode is given (the umask applies).
std::string makeTempFile(const std::string& dir, std::string_view prefix, unsigned mode = 0600);

}  // namespace platform
