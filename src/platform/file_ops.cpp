#include "platform/file_ops.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

std::mutex planMutex;
FileFaultPlan plan;
std::atomic<int> calls{0};

// Asks the plan about the next call: true when it may go ahead; otherwise
// errno holds the failure.
bool proceed(FileOp op)
{
  const int n = ++calls;
  FileFaultPlan current;
  {
    std::lock_guard lock(planMutex);
    if (!plan)
      return true;
    current = plan;
  }
  const int verdict = current(op, n);
  if (verdict == FaultNone)
    return true;
  if (verdict == FaultKill)
    ::raise(SIGKILL);
  errno = verdict;
  return false;
}

}  // namespace

const char* fileOpName(FileOp op)
{
  static const char* const names[FileOpCount] = {"create", "open", "write", "fsync", "close",
                                                 "rename", "unlink", "mkdir", "rmdir", "truncate"};
  return names[static_cast<int>(op)];
}

void setFileFaultPlan(FileFaultPlan p)
{
  std::lock_guard lock(planMutex);
  plan = std::move(p);
  calls = 0;
}

int fileOpCalls()
{
  return calls;
}

namespace fileops {

int openForWrite(const std::string& path, int flags, mode_t mode)
{
  if (!proceed((flags & O_CREAT) ? FileOp::Create : FileOp::OpenWrite))
    return -1;
  return ::open(path.c_str(), flags, mode);
}

ssize_t write(int fd, const void* data, size_t size)
{
  if (!proceed(FileOp::Write))
    return -1;
  return ::write(fd, data, size);
}

ssize_t pwrite(int fd, const void* data, size_t size, off_t offset)
{
  if (!proceed(FileOp::Write))
    return -1;
  return ::pwrite(fd, data, size, offset);
}

int fsync(int fd)
{
  if (!proceed(FileOp::Sync))
    return -1;
  return ::fsync(fd);
}

int close(int fd)
{
  if (!proceed(FileOp::Close)) {
    const int err = errno;
    ::close(fd);
    errno = err;
    return -1;
  }
  return ::close(fd);
}

int rename(const std::string& from, const std::string& to)
{
  if (!proceed(FileOp::Rename))
    return -1;
  return ::rename(from.c_str(), to.c_str());
}

int unlink(const std::string& path)
{
  if (!proceed(FileOp::Unlink))
    return -1;
  return ::unlink(path.c_str());
}

int mkdir(const std::string& path, mode_t mode)
{
  if (!proceed(FileOp::Mkdir))
    return -1;
  return ::mkdir(path.c_str(), mode);
}

int rmdir(const std::string& path)
{
  if (!proceed(FileOp::Rmdir))
    return -1;
  return ::rmdir(path.c_str());
}

int mkdirAll(const std::string& path, mode_t mode)
{
  struct stat st {};
  for (size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
    const std::string folder = path.substr(0, end);
    if (!folder.empty() && ::stat(folder.c_str(), &st) != 0 && mkdir(folder, mode) != 0 && errno != EEXIST)
      return -1;
    if (end == std::string::npos)
      break;
  }
  if (::stat(path.c_str(), &st) != 0)
    return -1;
  if (!S_ISDIR(st.st_mode)) {
    errno = ENOTDIR;
    return -1;
  }
  return 0;
}

int truncate(const std::string& path, off_t length)
{
  if (!proceed(FileOp::Truncate))
    return -1;
  return ::truncate(path.c_str(), length);
}

}  // namespace fileops
}  // namespace platform
