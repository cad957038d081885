#include "platform/temp_file.h"

#include "platform/file_ops.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

namespace platform {

std::string makeTempFile(const std::string& dir, std::string_view prefix, unsigned mode)
{
  // Numbers run on from a start that differs between runs, as Windows' do.
  static std::atomic<unsigned> next{static_cast<unsigned>(::getpid() ^ std::time(nullptr)) & 0xFFFF};
  std::string folder = dir.empty() ? std::string("./") : dir;
  if (folder.back() != '/')
    folder += '/';
  const std::string pre(prefix.substr(0, 3));
  for (unsigned tries = 0; tries < 0x10000; ++tries) {
    const unsigned n = next.fetch_add(1) & 0xFFFF;
    if (n == 0)
      continue;
    char name[32];
    std::snprintf(name, sizeof name, "%X.tmp", n);
    const std::string path = folder + pre + name;
    const int fd = fileops::openForWrite(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, static_cast<mode_t>(mode));
    if (fd >= 0) {
      fileops::close(fd);
      return path;
    }
    if (errno != EEXIST && errno != EISDIR)
      break;
  }
  throw std::runtime_error("Unable to create a temporary file in " + folder + ".");
}

}  // namespace platform
