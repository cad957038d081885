#include "workbench/frame/file_association.h"

#include "platform/file_ops.h"
#include "platform/read_file.h"
#include "platform/safe_write.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

// The shipped desktop files are compiled into this library.
static void InitDesktopResources()
{
  Q_INIT_RESOURCE(quillmar);
}

namespace {

// The program path as one quoted argument of an Exec key: inside the quotes
// " ` $ and \ take a backslash; then the value's own escapes apply (a
// backslash doubles, control characters become \n, \t, \r) and % becomes %%.
std::string ExecArgument(const std::string& path)
{
  std::string quoted = "\"";
  for (char c : path) {
    if (c == '"' || c == '`' || c == '$' || c == '\\')
      quoted += '\\';
    quoted += c;
  }
  quoted += '"';
  std::string value;
  for (char c : quoted) {
    switch (c) {
    case '\\': value += "\\\\"; break;
    case '\n': value += "\\n"; break;
    case '\t': value += "\\t"; break;
    case '\r': value += "\\r"; break;
    case '%': value += "%%"; break;
    default: value += c; break;
    }
  }
  return value;
}

// Writes the file when it is missing; true when it was written.
bool WriteWhenMissing(const std::string& path, const std::string& text)
{
  try {
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(path, ec)))
      return false;
    platform::fileops::mkdirAll(std::filesystem::path(path).parent_path(), 0777);
    platform::writeFileAtomically(path, text);
    return true;
  } catch (...) {
    return false;
  }
}

std::string ShippedFile(const char* name)
{
  InitDesktopResources();
  QFile file(QStringLiteral(":/desktop/") + QString::fromLatin1(name));
  if (!file.open(QIODevice::ReadOnly))
    return {};
  return file.readAll().toStdString();
}

bool ProgramExists(const std::string& program)
{
  if (program.empty())
    return false;
  if (program.find('/') != std::string::npos)
    return ::access(program.c_str(), X_OK) == 0;
  return !QStandardPaths::findExecutable(QString::fromStdString(program)).isEmpty();
}

// The desktop entry is written when it is missing or starts a program that
// is gone, never over a working entry of another build.
bool WriteDesktopEntry(const std::string& path, const std::string& programPath)
{
  std::string old;
  if (platform::readRegularFile(path, old) == 0 && ProgramExists(ExecProgramOf(old)))
    return false;
  try {
    platform::fileops::mkdirAll(std::filesystem::path(path).parent_path(), 0777);
    platform::writeFileAtomically(path, WorkspaceDesktopText(programPath));
    return true;
  } catch (...) {
    return false;
  }
}

void RunDetached(const std::string& program, const std::vector<std::string>& args)
{
  const QString path = QStandardPaths::findExecutable(QString::fromStdString(program));
  if (path.isEmpty())
    return;
  QStringList arguments;
  for (const auto& a : args)
    arguments << QString::fromStdString(a);
  QProcess::startDetached(path, arguments);
}

TToolRunner& DefaultRunner()
{
  static TToolRunner runner;
  return runner;
}

}  // namespace

TToolRunner SetAssociationToolRunner(TToolRunner runner)
{
  TToolRunner old = std::move(DefaultRunner());
  DefaultRunner() = std::move(runner);
  return old;
}

std::string DataHomeFolder()
{
  std::string folder;
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && xdg[0] == '/') {
    folder = xdg;
  } else {
    const char* home = std::getenv("HOME");
    if (!home || !home[0])
      return {};
    folder = std::string(home) + "/.local/share";
  }
  if (folder.back() != '/')
    folder += '/';
  return folder;
}

std::string WorkspaceMimeText()
{
  return ShippedFile("quillmar-workspace.xml");
}

std::string WorkspaceIconText()
{
  return ShippedFile("quillmar-pro.svg");
}

std::string WorkspaceDesktopText(const std::string& programPath)
{
  // The shipped entry, with its Exec line starting this program.
  std::string text = ShippedFile("quillmar-pro.desktop");
  const size_t exec = text.find("\nExec=");
  if (exec != std::string::npos) {
    const size_t end = text.find('\n', exec + 1);
    text.replace(exec + 1, end - exec - 1, "Exec=" + ExecArgument(programPath) + " %f");
  }
  return text;
}

std::string ExecProgramOf(const std::string& entry)
{
  std::string value;
  bool inGroup = false;
  size_t start = 0;
  while (start < entry.size()) {
    size_t end = entry.find('\n', start);
    if (end == std::string::npos)
      end = entry.size();
    const std::string line = entry.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line[0] == '[') {
      inGroup = line.rfind("[Desktop Entry]", 0) == 0;
      continue;
    }
    if (inGroup && line.rfind("Exec=", 0) == 0) {
      value = line.substr(5);
      break;
    }
  }
  std::string unescaped;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\\' && i + 1 < value.size()) {
      const char c = value[++i];
      unescaped += c == 's' ? ' ' : c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
    } else {
      unescaped += value[i];
    }
  }
  std::string program;
  size_t i = 0;
  if (!unescaped.empty() && unescaped[0] == '"') {
    for (i = 1; i < unescaped.size() && unescaped[i] != '"'; ++i) {
      if (unescaped[i] == '\\' && i + 1 < unescaped.size())
        ++i;
      program += unescaped[i];
    }
  } else {
    while (i < unescaped.size() && unescaped[i] != ' ')
      program += unescaped[i++];
  }
  // "%%" is a literal "%" in an Exec line.
  for (size_t at = program.find("%%"); at != std::string::npos; at = program.find("%%", at + 1))
    program.erase(at, 1);
  return program;
}


int WriteWorkspaceAssociation(const std::string& dataFolder, const std::string& programPath,
                              const TToolRunner& runner)
{
  if (dataFolder.empty())
    return 0;
  std::string base = dataFolder;
  if (base.back() != '/')
    base += '/';
  const bool mimeWritten = WriteWhenMissing(base + WorkspaceMimeFile, WorkspaceMimeText());
  const bool desktopWritten = WriteDesktopEntry(base + WorkspaceDesktopFile, programPath);
  const bool iconWritten = WriteWhenMissing(base + WorkspaceIconFile, WorkspaceIconText());
  const TToolRunner run = runner ? runner : DefaultRunner() ? DefaultRunner() : TToolRunner(RunDetached);
  try {
    if (mimeWritten)
      run("update-mime-database", {base + "mime"});
    if (desktopWritten)
      run("update-desktop-database", {base + "applications"});
    if (iconWritten)
      run("gtk-update-icon-cache", {"-f", "-t", base + "icons/hicolor"});
  } catch (...) {
  }
  return int(mimeWritten) + int(desktopWritten) + int(iconWritten);
}
