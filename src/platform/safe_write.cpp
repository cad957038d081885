#include "platform/safe_write.h"

#include "platform/file_ops.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace platform {
namespace {

std::mutex hookMutex;
std::function<bool(int)> faultHook;
int faultCalls = 0;

// Asks the test hook whether the next low-level call may go ahead; sets errno
// as a full disk would when it may not.
bool allowed()
{
  std::lock_guard lock(hookMutex);
  if (!faultHook)
    return true;
  if (faultHook(++faultCalls))
    return true;
  errno = ENOSPC;
  return false;
}

std::runtime_error writeError(const std::string& path, int err)
{
  return std::runtime_error(writeErrorText(path, err));
}

// The file a write lands in: the target of a symbolic link, so that saving
// through a link keeps the link.
std::string resolveTarget(const std::string& path)
{
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
    return path;
  char buf[PATH_MAX];
  if (::realpath(path.c_str(), buf))
    return buf;
  return path;  // a dangling link is replaced like a missing file
}

std::string folderOf(const std::string& path)
{
  const auto slash = path.rfind('/');
  if (slash == std::string::npos)
    return ".";
  if (slash == 0)
    return "/";
  return path.substr(0, slash);
}

std::string baseOf(const std::string& path)
{
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// An existing target the user may not write is refused: renaming a new file
// over it would replace a file its owner protected.
bool writableOrMissing(const std::string& target)
{
  struct stat st {};
  if (::stat(target.c_str(), &st) != 0)
    return true;
  return ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) == 0;
}

// Creates a new temporary file beside the target; the umask applies, and an
// existing target's permission bits are copied.
int createSibling(const std::string& target, std::string& tempPath)
{
  static std::atomic<unsigned> counter{0};
  const std::string dir = folderOf(target);
  const std::string base = baseOf(target);
  for (int tries = 0; tries < 1000; ++tries) {
    char suffix[40];
    std::snprintf(suffix, sizeof suffix, ".%d.%u.tmp", static_cast<int>(::getpid()), counter.fetch_add(1));
    tempPath = (dir == "/" ? std::string("/") : dir + "/") + "." + base + suffix;
    const int fd = fileops::openForWrite(tempPath, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      struct stat st {};
      if (::stat(target.c_str(), &st) == 0)
        ::fchmod(fd, st.st_mode & 07777);
      return fd;
    }
    if (errno != EEXIST)
      return -1;
  }
  errno = EEXIST;
  return -1;
}

bool writeAll(int fd, std::string_view data)
{
  const char* p = data.data();
  size_t left = data.size();
  while (left > 0) {
    if (!allowed())
      return false;
    const size_t chunk = left < (1u << 20) ? left : (1u << 20);
    const ssize_t n = fileops::write(fd, p, chunk);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      return false;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

void writeFileAtomically(const std::string& path, std::string_view data)
{
  OutputFile file;
  int err = file.open(path, OutputFile::Mode::Replace);
  if (err == 0)
    err = file.write(data);
  if (err == 0)
    err = file.commit();
  if (err != 0)
    throw writeError(path, err);
  // Make the rename itself durable; a failure here loses nothing.
  const int dirFd = ::open(folderOf(resolveTarget(path)).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
}

std::string writeErrorText(const std::string& path, int err)
{
  return writeErrorText(path, std::string(std::strerror(err)));
}

std::string writeErrorText(const std::string& path, const std::string& reason)
{
  return "Unable to write file: " + path + " (" + reason + ").";
}

int OutputFile::open(const std::string& path, Mode mode)
{
  abandon();
  mode_ = mode;
  target_ = resolveTarget(path);
  tempPath_.clear();
  created_ = false;
  oldLength_ = 0;
  struct stat st {};
  const bool exists = ::stat(target_.c_str(), &st) == 0;
  regular_ = !exists || S_ISREG(st.st_mode);
  inPlace_ = mode == Mode::Append || !regular_;
  if (!inPlace_) {
    if (!writableOrMissing(target_))
      return EACCES;
    fd_ = createSibling(target_, tempPath_);
    return fd_ < 0 ? errno : 0;
  }
  int flags = O_WRONLY | O_CLOEXEC;
  flags |= mode == Mode::Append ? (O_APPEND | O_CREAT) : O_TRUNC;
  fd_ = fileops::openForWrite(target_, flags, 0666);
  if (fd_ < 0)
    return errno;
  if (mode == Mode::Append) {
    created_ = !exists;
    if (::fstat(fd_, &st) == 0) {
      regular_ = S_ISREG(st.st_mode);
      oldLength_ = regular_ ? static_cast<long long>(st.st_size) : 0;
    }
  }
  return 0;
}

int OutputFile::write(std::string_view data)
{
  if (fd_ < 0)
    return EBADF;
  return writeAll(fd_, data) ? 0 : errno;
}

int OutputFile::finish()
{
  if (fd_ < 0)
    return finished_ ? 0 : EBADF;
  int err = 0;
  if (regular_ && fileops::fsync(fd_) != 0)
    err = errno;
  const int fd = fd_;
  fd_ = -1;
  if (fileops::close(fd) != 0 && err == 0)
    err = errno;
  if (err != 0) {
    undo();
    return err;
  }
  finished_ = true;
  return 0;
}

int OutputFile::commit()
{
  int err = finish();
  if (err != 0)
    return err;
  finished_ = false;
  if (!inPlace_) {
    if (!allowed() || fileops::rename(tempPath_, target_) != 0)
      err = errno;
  }
  if (err != 0) {
    undo();
    return err;
  }
  tempPath_.clear();
  return 0;
}

void OutputFile::abandon() noexcept
{
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  } else if (!finished_) {
    return;
  }
  finished_ = false;
  undo();
}

void OutputFile::undo() noexcept
{
  if (!inPlace_) {
    if (!tempPath_.empty())
      fileops::unlink(tempPath_);
  } else if (mode_ == Mode::Append && regular_) {
    if (created_)
      fileops::unlink(target_);
    else
      fileops::truncate(target_, static_cast<off_t>(oldLength_));
  }
  tempPath_.clear();
}

void removeStaleSiblings(const std::string& path)
{
  const std::string target = resolveTarget(path);
  const std::string dir = folderOf(target);
  const std::string lead = "." + baseOf(target) + ".";
  DIR* d = ::opendir(dir.c_str());
  if (!d)
    return;
  std::vector<std::string> stale;
  while (const dirent* e = ::readdir(d)) {
    const std::string_view name = e->d_name;
    if (name.size() <= lead.size() + 4 || name.substr(0, lead.size()) != lead || !name.ends_with(".tmp"))
      continue;
    // "<pid>.<n>" between the two
    const std::string_view middle = name.substr(lead.size(), name.size() - lead.size() - 4);
    const size_t dot = middle.find('.');
    if (dot == 0 || dot == std::string_view::npos || dot + 1 == middle.size() || dot > 9)
      continue;
    const auto digits = [](std::string_view s) {
      return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (!digits(middle.substr(0, dot)) || !digits(middle.substr(dot + 1)))
      continue;
    const long pid = std::stol(std::string(middle.substr(0, dot)));
    if (pid <= 0 || pid == ::getpid() || processExists(static_cast<pid_t>(pid)))
      continue;
    stale.emplace_back(name);
  }
  ::closedir(d);
  for (const std::string& name : stale)
    fileops::unlink((dir == "/" ? std::string("/") : dir + "/") + name);
}

bool processExists(pid_t pid)
{
  return ::kill(pid, 0) == 0 || errno == EPERM;
}

void setWriteFaultHook(std::function<bool(int callNumber)> hook)
{
  std::lock_guard lock(hookMutex);
  faultHook = std::move(hook);
  faultCalls = 0;
}

}  // namespace platform
