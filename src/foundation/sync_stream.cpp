#include "foundation/sync_stream.h"

#include "platform/file_ops.h"
#include "platform/safe_write.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int accessFlags(uint16_t mode)
{
  switch (mode & 3) {
  case 1: return O_WRONLY;
  case 2: return O_RDWR;
  default: return O_RDONLY;
  }
}

// Reads up to count bytes at offset, going on after interrupted or partial
// reads until the end of the file. Returns the bytes read, or -1 on an error
// before any byte.
int64_t readFully(int fd, void* buffer, int64_t count, int64_t offset)
{
  auto* p = static_cast<char*>(buffer);
  int64_t done = 0;
  while (done < count) {
    ssize_t n = ::pread(fd, p + done, size_t(count - done), off_t(offset + done));
    if (n < 0) {
      if (errno == EINTR)
        continue;
      return done > 0 ? done : -1;
    }
    if (n == 0)
      break;
    done += n;
  }
  return done;
}

// Writes all count bytes at offset; false on any failure.
bool writeFully(int fd, const void* buffer, int64_t count, int64_t offset)
{
  auto* p = static_cast<const char*>(buffer);
  int64_t done = 0;
  while (done < count) {
    ssize_t n = platform::fileops::pwrite(fd, p + done, size_t(count - done), off_t(offset + done));
    if (n < 0) {
      if (errno == EINTR)
        continue;
      return false;
    }
    if (n == 0)
      return false;
    done += n;
  }
  return true;
}

}  // namespace

// Opens only a regular file: O_NONBLOCK keeps the open of a FIFO or a
// device from waiting (a regular file ignores it, and it is cleared after).
// -1 for anything else or a failure.
static int openRegularFile(const std::string& fileName, int flags, struct stat& st)
{
  const int all = flags | O_CLOEXEC | O_NONBLOCK;
  const int fd = (flags & O_ACCMODE) == O_RDONLY ? ::open(fileName.c_str(), all)
                                                 : platform::fileops::openForWrite(fileName, all, 0);
  if (fd < 0)
    return -1;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return -1;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

std::string UnableToOpenText(const std::string& fileName)
{
  return "Unable to open file: " + fileName + ".";
}

int OpenStreamFile(const std::string& fileName, uint16_t mode, int32_t& size)
{
  struct stat st;
  const int fd = openRegularFile(fileName, accessFlags(mode), st);
  if (fd < 0)
    throw std::runtime_error(UnableToOpenText(fileName));
  if (st.st_size > INT32_MAX) {
    ::close(fd);
    throw std::runtime_error("File is too large (2 GB or more): " + fileName + ".");
  }
  size = int32_t(st.st_size);
  return fd;
}

// --- TSynchroStream -------------------------------------------------------

int32_t TSynchroStream::ReadAt(int32_t& pos, void* buffer, int32_t count)
{
  if (pos < 0 || count <= 0)
    return 0;
  std::lock_guard lock(CriticalSection);
  if (Seek(pos, soFromBeginning) != pos)
    return 0;
  int32_t n = Read(buffer, count);
  if (n < 0)
    n = 0;
  pos += n;
  return n;
}

int32_t TSynchroStream::SeekLocked(int32_t offset, int origin, int32_t& newPos)
{
  std::lock_guard lock(CriticalSection);
  newPos = Seek(offset, origin);
  return newPos;
}

// --- TFileSynchroStream ---------------------------------------------------

TFileSynchroStream::TFileSynchroStream(const std::string& fileName, uint16_t mode)
    : FileName(fileName), Mode(mode)
{
  Handle = OpenStreamFile(fileName, mode, Size);
  FilePos = 0;
}

TFileSynchroStream::~TFileSynchroStream()
{
  if (Handle >= 0)
    ::close(Handle);
}

int32_t TFileSynchroStream::Read(void* buffer, int32_t count)
{
  if (count <= 0 || Handle < 0)
    return 0;
  int64_t n = readFully(Handle, buffer, count, FilePos);
  if (n <= 0)
    return 0;
  FilePos += n;
  return int32_t(n);
}

int32_t TFileSynchroStream::Write(const void* buffer, int32_t count)
{
  if (count <= 0 || Handle < 0)
    return 0;
  auto* p = static_cast<const char*>(buffer);
  int32_t done = 0;
  while (done < count) {
    ssize_t n = platform::fileops::pwrite(Handle, p + done, size_t(count - done), off_t(FilePos));
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      break;
    done += int32_t(n);
    FilePos += n;
  }
  return done;
}

int32_t TFileSynchroStream::Seek(int32_t offset, int origin)
{
  int64_t base = 0;
  if (origin == soFromCurrent) {
    base = FilePos;
  } else if (origin == soFromEnd) {
    struct stat st;
    if (Handle < 0 || ::fstat(Handle, &st) != 0)
      return -1;
    base = st.st_size;
  }
  int64_t target = base + offset;
  if (target < 0 || target > INT32_MAX)
    return -1;
  FilePos = target;
  return int32_t(target);
}

void TFileSynchroStream::CopyToFile(const std::string& newName)
{
  std::lock_guard lock(Mutex());
  // The copy is written whole: a failure leaves whatever was at newName.
  platform::OutputFile out;
  if (out.open(newName, platform::OutputFile::Mode::Replace) != 0)
    throw std::runtime_error(UnableToOpenText(newName));
  char block[8192];
  int64_t pos = 0;
  int err = 0;
  for (;;) {
    int64_t n = readFully(Handle, block, sizeof block, pos);
    if (n < 0) {
      err = EIO;
      break;
    }
    if (n == 0)
      break;
    if ((err = out.write(std::string_view(block, size_t(n)))) != 0)
      break;
    pos += n;
  }
  if (err == 0)
    err = out.commit();
  if (err != 0) {
    out.abandon();
    throw std::runtime_error("Unable to write file: " + newName + ".");
  }
  FilePos = pos;
}

void TFileSynchroStream::SwitchToFile(const std::string& newName)
{
  std::lock_guard lock(Mutex());
  int32_t ignoredSize = 0;
  int fd = OpenStreamFile(newName, Mode, ignoredSize);
  struct stat st;
  int64_t endPos = (Handle >= 0 && ::fstat(Handle, &st) == 0) ? st.st_size : FilePos;
  if (Handle >= 0)
    ::close(Handle);
  Handle = fd;
  FileName = newName;
  FilePos = endPos;
}

// --- TFileHandle ----------------------------------------------------------

TFileHandle::~TFileHandle()
{
  Close();
}

int32_t TFileHandle::ReadAt(int32_t pos, int32_t count, void* buffer)
{
  if (!Valid || count <= 0)
    return 0;
  if (pos >= 0 && pos != Position)
    Position = pos;
  int64_t n = readFully(Handle, buffer, count, Position);
  if (n <= 0)
    return 0;
  Position += int32_t(n);
  return int32_t(n);
}

void TFileHandle::Close()
{
  if (Handle >= 0)
    ::close(Handle);
  Handle = -1;
  Valid = false;
}

std::unique_ptr<TFileHandle> OpenFileHandle(const std::string& fileName)
{
  auto h = std::make_unique<TFileHandle>();
  struct stat st;
  if (const int fd = openRegularFile(fileName, O_RDONLY, st); fd >= 0) {
    h->Handle = fd;
    h->Valid = true;
    h->Size = st.st_size > INT32_MAX ? INT32_MAX : int32_t(st.st_size);
  }
  h->Position = 0;
  return h;
}
