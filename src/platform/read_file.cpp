#include "platform/read_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

int readRegularFile(const std::string& path, std::string& out, uint64_t maxBytes)
{
  out.clear();
  // Non-blocking, so that opening a FIFO without a writer returns at once.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0)
    return errno;
  int err = 0;
  struct stat st {};
  if (::fstat(fd, &st) != 0)
    err = errno;
  else if (!S_ISREG(st.st_mode))
    err = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
  else if (uint64_t(st.st_size) > maxBytes)
    err = EFBIG;
  if (err == 0) {
    out.reserve(size_t(st.st_size));
    char buffer[65536];
    for (;;) {
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n == 0)
        break;
      if (n < 0) {
        if (errno == EINTR)
          continue;
        err = errno;
        break;
      }
      if (out.size() + size_t(n) > maxBytes) {  // grew while being read
        err = EFBIG;
        break;
      }
      out.append(buffer, size_t(n));
    }
  }
  ::close(fd);
  if (err != 0)
    out.clear();
  return err;
}

}  // namespace platform
