// Shared pieces of the fuzz targets: one program state per process, reset
// before every input; a private folder for the files a reader must open;
// in-memory files; a reader of the input's bytes; and the property check.
//
// Each target defines LLVMFuzzerTestOneInput. Built with clang and
// -fsanitize=fuzzer it is a libFuzzer target; built with the ordinary
// compiler it links replay_main.cpp and runs the files it is given once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace testsupport {
class FakeDialogs;
}

namespace fuzz {

// Sets the process up once (fixed locale and font, TMPDIR and
// XDG_CONFIG_HOME in a private folder, the fake bridge and dialogs), then
// gives every input the same start: a fresh program state and character
// tables, cleared lists and no recorded messages.
void resetState();

// Creates, once, the owners of every settings area (the dialog models that
// register them), kept for the whole run as the program keeps them.
void registerSettingsAreas();

// The private folder of this process, with a final "/".
const std::string& privateFolder();

// The dialogs double: records the messages; answers from Answers.
testsupport::FakeDialogs& dialogs();

// A file in memory (memfd) holding the bytes; path() opens it by name.
class TMemFile {
public:
  explicit TMemFile(std::string_view bytes);
  ~TMemFile();
  TMemFile(const TMemFile&) = delete;
  TMemFile& operator=(const TMemFile&) = delete;
  const std::string& path() const { return path_; }

private:
  int fd_ = -1;
  std::string path_;
};

// Writes a file in the private folder (replacing it); its path.
std::string writePrivateFile(const std::string& name, std::string_view bytes);
std::string readWholeFile(const std::string& path);

// Takes the input apart: single bytes and numbers from the front, pieces
// separated by Separator, the rest. Reading past the end gives zeros.
class TInput {
public:
  static constexpr std::string_view Separator = "\n|#|\n";

  TInput(const uint8_t* data, size_t size) : rest_(reinterpret_cast<const char*>(data), size) {}
  uint8_t byte();
  bool flag() { return byte() & 1; }
  uint32_t u32();
  // A value in [lo, hi] from one or four bytes.
  int32_t range(int32_t lo, int32_t hi);
  // Up to the next separator (which is consumed), or all that is left.
  std::string_view piece();
  std::string_view rest() const { return rest_; }
  bool empty() const { return rest_.empty(); }

private:
  std::string_view rest_;
};

// A property that does not hold: prints the message and aborts, so that
// libFuzzer keeps the input (and a replay fails).
[[noreturn]] void fail(const std::string& message);
inline void check(bool condition, const std::string& message)
{
  if (!condition)
    fail(message);
}

// The three line-end styles of a text: every CR LF, CR and LF as LF, as
// CR LF, and as CR.
std::string withLineEnds(std::string_view text, std::string_view lineEnd);

// Reads `text` as a list file through `read` (a reader taking a file name):
// a regular file is never refused, and the three line-end styles of the
// same text read to the same lines, which are returned.
std::vector<std::string> readListFile(std::string_view text,
                                      std::vector<std::string> (*read)(const std::string&));

}  // namespace fuzz
