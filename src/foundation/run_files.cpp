#include "foundation/run_files.h"

#include "foundation/config_file.h"
#include "foundation/program_state.h"
#include "platform/file_ops.h"
#include "platform/paths.h"
#include "platform/safe_write.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string runFolder;  // this run's folder, "" until StartRunFiles

bool sameName(std::string_view a, std::string_view b)
{
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

std::string_view fileNameOf(std::string_view path)
{
  const size_t slash = path.find_last_of('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::vector<std::string> entriesOf(const std::string& folder)
{
  std::vector<std::string> names;
  DIR* d = ::opendir(folder.c_str());
  if (!d)
    return names;
  while (const dirent* e = ::readdir(d))
    if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
      names.emplace_back(e->d_name);
  ::closedir(d);
  return names;
}

std::string withSlash(std::string folder)
{
  if (!folder.empty() && folder.back() != '/')
    folder += '/';
  return folder;
}

// Removes a run folder's program files, then the folder when it is empty.
void clearRunFolder(const std::string& folder)
{
  RemoveProgramFiles(folder, {});
  platform::fileops::rmdir(folder.substr(0, folder.size() - 1));
}

// The process id a run folder's name holds, or 0.
long runFolderPid(const std::string& name)
{
  const size_t n = std::strlen(RunFolderPrefix);
  if (name.size() <= n || name.size() > n + 10 || name.compare(0, n, RunFolderPrefix) != 0)
    return 0;
  long pid = 0;
  for (size_t i = n; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9')
      return 0;
    pid = pid * 10 + (name[i] - '0');
  }
  return pid;
}

}  // namespace

bool IsProgramFileName(std::string_view name)
{
  if (name == "FREQ.tmp")
    return true;
  static constexpr std::string_view prefixes[] = {"IST", "LNT", "PGT", "WTT", "FST", "FRQ"};
  if (name.size() < 3 + 1 + 4 || !name.ends_with(".tmp"))
    return false;
  if (std::none_of(std::begin(prefixes), std::end(prefixes), [&](std::string_view p) { return name.starts_with(p); }))
    return false;
  std::string_view digits = name.substr(3, name.size() - 3 - 4);
  if (digits.ends_with('H'))
    digits.remove_suffix(1);
  return !digits.empty() && digits.size() <= 4 &&
         std::all_of(digits.begin(), digits.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); });
}

namespace {

// The writer's process id when name is the temporary sibling of a program
// file that a whole-file write makes (".<name>.<pid>.<n>.tmp"), else 0.
long siblingWriter(std::string_view name)
{
  if (!name.starts_with('.') || !name.ends_with(".tmp"))
    return 0;
  name.remove_prefix(1);
  name.remove_suffix(4);
  const size_t lastDot = name.find_last_of('.');
  if (lastDot == std::string_view::npos || lastDot + 1 == name.size())
    return 0;
  const size_t pidDot = name.find_last_of('.', lastDot - 1);
  if (pidDot == std::string_view::npos || pidDot + 1 == lastDot || lastDot - pidDot > 10)
    return 0;
  if (!IsProgramFileName(name.substr(0, pidDot)))
    return 0;
  long pid = 0;
  for (char c : name.substr(pidDot + 1, lastDot - pidDot - 1)) {
    if (c < '0' || c > '9')
      return 0;
    pid = pid * 10 + (c - '0');
  }
  for (char c : name.substr(lastDot + 1))
    if (c < '0' || c > '9')
      return 0;
  return pid;
}

}  // namespace

void RemoveProgramFiles(const std::string& folder, const std::vector<std::string>& keep)
{
  const std::string dir = withSlash(folder);
  for (const std::string& name : entriesOf(dir)) {
    if (const long writer = siblingWriter(name); writer > 0) {
      // A sibling of a write that a dead run left half done.
      if (writer != static_cast<long>(::getpid()) && !platform::processExists(static_cast<pid_t>(writer)))
        platform::fileops::unlink(dir + name);
      continue;
    }
    if (!IsProgramFileName(name))
      continue;
    if (std::any_of(keep.begin(), keep.end(), [&](const std::string& k) { return sameName(fileNameOf(k), name); }))
      continue;
    struct stat st {};
    if (::lstat((dir + name).c_str(), &st) == 0 && S_ISREG(st.st_mode))
      platform::fileops::unlink(dir + name);
  }
}

void StartRunFiles()
{
  const std::string temp = platform::tempFolder();
  const long self = static_cast<long>(::getpid());
  for (const std::string& name : entriesOf(temp)) {
    const long pid = runFolderPid(name);
    if (pid <= 0 || pid == self || platform::processExists(static_cast<pid_t>(pid)))
      continue;
    struct stat st {};
    if (::lstat((temp + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid())
      clearRunFolder(temp + name + "/");
  }
  platform::removeStaleSiblings(platform::programFolder() + SettingsFileName);
  platform::removeStaleSiblings(platform::windowsFolder() + SettingsFileName);

  const std::string own = temp + RunFolderPrefix + std::to_string(self) + "/";
  const std::string ownDir = own.substr(0, own.size() - 1);
  struct stat st {};
  // A folder of this id is a dead run's that had the same id.
  if (::lstat(ownDir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid())
    RemoveProgramFiles(own, {});
  if (platform::fileops::mkdir(ownDir, 0700) == 0 || errno == EEXIST) {
    if (::lstat(ownDir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid()) {
      runFolder = own;
      TempFolder = own;
    }
  }
}

void EndRunFiles()
{
  if (runFolder.empty())
    return;
  clearRunFolder(runFolder);
  if (TempFolder == runFolder)
    TempFolder = platform::tempFolder();
  runFolder.clear();
}
