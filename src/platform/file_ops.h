// The file primitives every save goes through. They behave as the system
// calls of the same names; a test can arm a fault plan that makes the Nth
// call fail with a chosen errno value or kills the process there. The
// program itself never arms one.
#pragma once

#include <functional>
#include <string>
#include <sys/types.h>

namespace platform {

enum class FileOp { Create, OpenWrite, Write, Sync, Close, Rename, Unlink, Mkdir, Rmdir, Truncate };
inline constexpr int FileOpCount = 10;
const char* fileOpName(FileOp op);

// Returned by a plan: the call goes ahead.
inline constexpr int FaultNone = 0;
// Returned by a plan: the process is killed (SIGKILL) at this call.
inline constexpr int FaultKill = -1;

// Called before each primitive with its kind and the number of primitive
// calls so far, this one included (counted over every kind); returns
// FaultNone, FaultKill or the errno value the call fails with.
using FileFaultPlan = std::function<int(FileOp op, int callNumber)>;
// Installs a plan (an empty one disarms) and restarts the count.
void setFileFaultPlan(FileFaultPlan plan);
// Primitive calls since the plan was set (counted also without a plan).
int fileOpCalls();

namespace fileops {

// open(2) for writing: with O_CREAT it counts as Create, else as OpenWrite.
int openForWrite(const std::string& path, int flags, mode_t mode);
ssize_t write(int fd, const void* data, size_t size);
// pwrite(2); counts as Write.
ssize_t pwrite(int fd, const void* data, size_t size, off_t offset);
int fsync(int fd);
// Closes the descriptor even when the plan fails the call.
int close(int fd);
int rename(const std::string& from, const std::string& to);
int unlink(const std::string& path);
int mkdir(const std::string& path, mode_t mode);
int rmdir(const std::string& path);
// mkdir of each missing folder along path (as mkdir -p); 0 when the whole
// path is a folder afterwards.
int mkdirAll(const std::string& path, mode_t mode);
int truncate(const std::string& path, off_t length);

}  // namespace fileops
}  // namespace platform
