// Whole-file writes that never lose the old file: the data goes to a temporary
// file in the same folder, which is renamed over the target only when every
// write, the flush and the close succeeded.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace platform {

// Writes `data` as the new content of `path` (an OutputFile replacing it).
// Throws std::runtime_error on failure; the old file, if any, is then
// unchanged and no temporary is left. An existing file the user may not
// write is refused (EACCES); a device or pipe is written in place.
void writeFileAtomically(const std::string& path, std::string_view data);

// The message of every failed write, flush or close:
// "Unable to write file: <path> (<the system's reason>)."
std::string writeErrorText(const std::string& path, int err);
std::string writeErrorText(const std::string& path, const std::string& reason);

// A file written piece by piece and finished by commit().
//
// Replace: a regular file, or a missing one, gets its new content through a
// temporary file beside it, renamed over it by commit(); anything else that
// opens for writing (a device, a pipe) is written in place.
// Append: the file (created when missing) is written at its end in place,
// and its old length is remembered.
//
// Dropped without commit(), or after a failure, it undoes what it did: the
// temporary file is removed, an append is cut back to the old length, and a
// file the append created is removed. Calls return 0 or an errno value.
class OutputFile {
public:
  enum class Mode { Replace, Append };

  OutputFile() = default;
  ~OutputFile() { abandon(); }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  [[nodiscard]] int open(const std::string& path, Mode mode);
  [[nodiscard]] int write(std::string_view data);
  // Flushes to the disk, closes and, for a replacement, renames. After a
  // failure the file is abandoned.
  [[nodiscard]] int commit();
  // Flushes to the disk and closes, but leaves a replacement's temporary file
  // in place until commit(), which then only renames it: several files can
  // be written whole before any of them replaces its old version.
  [[nodiscard]] int finish();
  void abandon() noexcept;
  bool isOpen() const { return fd_ >= 0; }

private:
  void undo() noexcept;

  int fd_ = -1;
  Mode mode_ = Mode::Replace;
  bool inPlace_ = false;      // written where it is, no temporary file
  bool regular_ = false;      // a regular file (synced, cut back on failure)
  bool created_ = false;      // the append created the file
  bool finished_ = false;     // closed by finish(), not yet committed
  long long oldLength_ = 0;   // an append's length at open
  std::string target_;
  std::string tempPath_;
};

// Removes the temporary siblings of `path` that a save of a run that no
// longer exists left behind (".<name>.<pid>.<n>.tmp"); nothing else.
void removeStaleSiblings(const std::string& path);
// True while a process with this id exists.
bool processExists(pid_t pid);

// Test hook: when set, called before each low-level write and rename with a
// running count; returning false makes that call fail.
void setWriteFaultHook(std::function<bool(int callNumber)> hook);

}  // namespace platform
