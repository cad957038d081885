#include "workbench/frame/file_association.h"

#include "platform/safe_write.h"

#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

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

bool SameContent(const std::string& path, const std::string& text)
{
  std::ifstream in(path, std::ios::binary);
  if (!in)
    return false;
  const std::string old((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return old == text;
}

// Writes the file when its content differs; true when it was written.
bool WriteWhenChanged(const std::string& path, const std::string& text)
{
  try {
    if (SameContent(path, text))
      return false;
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    platform::writeFileAtomically(path, text);
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
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
         "  <mime-type type=\"" +
         std::string(WorkspaceMimeType) +
         "\">\n"
         "    <comment>Quillmar Pro Workspace</comment>\n"
         "    <glob pattern=\"*.qws\"/>\n"
         "  </mime-type>\n"
         "</mime-info>\n";
}

std::string WorkspaceDesktopText(const std::string& programPath)
{
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=Quillmar Pro\n"
         "Exec=" +
         ExecArgument(programPath) +
         " %f\n"
         "MimeType=" +
         std::string(WorkspaceMimeType) + ";\n";
}

int WriteWorkspaceAssociation(const std::string& dataFolder, const std::string& programPath,
                              const TToolRunner& runner)
{
  if (dataFolder.empty())
    return 0;
  std::string base = dataFolder;
  if (base.back() != '/')
    base += '/';
  const bool mimeWritten = WriteWhenChanged(base + WorkspaceMimeFile, WorkspaceMimeText());
  const bool desktopWritten = WriteWhenChanged(base + WorkspaceDesktopFile, WorkspaceDesktopText(programPath));
  const TToolRunner run = runner ? runner : DefaultRunner() ? DefaultRunner() : TToolRunner(RunDetached);
  try {
    if (mimeWritten)
      run("update-mime-database", {base + "mime"});
    if (desktopWritten)
      run("update-desktop-database", {base + "applications"});
  } catch (...) {
  }
  return int(mimeWritten) + int(desktopWritten);
}
