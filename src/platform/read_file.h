// Whole-file reads of the program's own files (settings, workspaces,
// frequency files): only regular files are read, so a FIFO or a device given
// as such a file can neither block the program nor fill its memory.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// The largest file readRegularFile takes by default: positions inside one
// file are 32-bit.
inline constexpr uint64_t kMaxReadFileBytes = 0x7FFFFFFF;

// Reads the whole of a regular file into out. Returns 0, or an errno value:
// the system's own for a failed open or read, EISDIR for a folder, EINVAL for
// anything else that is not a regular file (a FIFO, a device), EFBIG for a
// file longer than maxBytes.
int readRegularFile(const std::string& path, std::string& out, uint64_t maxBytes = kMaxReadFileBytes);

}  // namespace platform
