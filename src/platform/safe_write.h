// Whole-file writes that never lose the old file: the data goes to a temporary
// file in the same folder, which is renamed over the target only when every
// write, the flush and the close succeeded.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace platform {

// Writes `data` as the new content of `path`. Throws std::runtime_error on
// failure; the old file, if any, is then unchanged and no temporary is left.
void writeFileAtomically(const std::string& path, std::string_view data);

// Test hook: when set, called before each low-level write and rename with a
// running count; returning false makes that call fail.
void setWriteFaultHook(std::function<bool(int callNumber)> hook);

}  // namespace platform
