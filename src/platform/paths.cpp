#include "platform/paths.h"

#include "platform/file_ops.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

std::mutex folderMutex;
std::string programFolderOverride;

std::string withSlash(std::string dir)
{
  if (dir.empty() || dir.back() != '/')
    dir += '/';
  return dir;
}

std::string envOr(const char* name, const std::string& def)
{
  const char* v = std::getenv(name);
  return (v && *v) ? std::string(v) : def;
}

}  // namespace

std::string programFolder()
{
  {
    std::lock_guard lock(folderMutex);
    if (!programFolderOverride.empty())
      return programFolderOverride;
  }
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec)
    return withSlash(std::filesystem::current_path().string());
  return withSlash(exe.parent_path().string());
}

void setProgramFolder(const std::string& dir)
{
  std::lock_guard lock(folderMutex);
  programFolderOverride = dir.empty() ? std::string() : withSlash(dir);
}

std::string windowsFolder()
{
  std::string base = envOr("XDG_CONFIG_HOME", "");
  if (base.empty())
    base = envOr("HOME", "/tmp") + "/.config";
  std::string dir = withSlash(base) + "quillmar/";
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) {
    fileops::mkdirAll(base, 0777);
    if (fileops::mkdir(dir, 0700) != 0 && errno != EEXIST)
      return dir;  // callers find out when they try to write there
  }
  return dir;
}

std::string tempFolder()
{
  std::string dir = envOr("TMPDIR", "/tmp");
  return withSlash(dir);
}

}  // namespace platform
