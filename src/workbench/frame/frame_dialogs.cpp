#include "workbench/frame/frame_dialogs.h"

#include "workbench/output/print_setup_dlg.h"

#include <QFileDialog>
#include <QPointer>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace {

std::vector<std::string> Split(const std::string& text, char separator)
{
  std::vector<std::string> parts;
  std::string::size_type start = 0;
  while (true) {
    const auto end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos)
      return parts;
    start = end + 1;
  }
}

bool IsUpperExtPattern(const std::string& pattern)
{
  if (pattern.size() < 3 || pattern.compare(0, 2, "*.") != 0)
    return false;
  bool hasUpper = false;
  for (char c : pattern.substr(2)) {
    if (c >= 'a' && c <= 'z')
      return false;
    hasUpper = hasUpper || (c >= 'A' && c <= 'Z');
  }
  return hasUpper;
}

std::string Lower(std::string text)
{
  for (char& c : text)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  return text;
}

QString FromLocal(const std::string& text)
{
  return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToLocal(const QString& text)
{
  return text.toLocal8Bit().toStdString();
}

class TQtFileDialogs : public TFileDialogProvider {
public:
  bool ExecuteFileDialog(TFileDialog& dialog) override
  {
    QFileDialog qt(parent_, FromLocal(dialog.Title), FromLocal(dialog.InitialDir));
    qt.setObjectName(FromLocal(dialog.Name));
    qt.setAcceptMode(dialog.Mode == TFileDialog::SaveMode ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    if (dialog.Mode == TFileDialog::OpenMode)
      qt.setFileMode((dialog.Options & ofAllowMultiSelect) ? QFileDialog::ExistingFiles
                                                           : QFileDialog::ExistingFile);
    else
      qt.setFileMode(QFileDialog::AnyFile);
    qt.setOption(QFileDialog::DontConfirmOverwrite, !(dialog.Options & ofOverwritePrompt));
    qt.setDefaultSuffix(FromLocal(dialog.Mode == TFileDialog::SaveMode ? dialog.SaveExtension() : dialog.DefaultExt));
    QStringList filters;
    for (const auto& f : QtNameFilters(dialog.Filter))
      filters << FromLocal(f);
    qt.setNameFilters(filters);
    if (dialog.FilterIndex >= 1 && dialog.FilterIndex <= filters.size())
      qt.selectNameFilter(filters[dialog.FilterIndex - 1]);
    if (!dialog.FileName.empty())
      qt.selectFile(FromLocal(dialog.FileName));
    if (qt.exec() != QDialog::Accepted)
      return false;
    dialog.Files.clear();
    for (const QString& f : qt.selectedFiles())
      dialog.Files.push_back(ToLocal(f));
    dialog.FileName = dialog.Files.empty() ? std::string() : dialog.Files.front();
    const int index = filters.indexOf(qt.selectedNameFilter());
    if (index >= 0)
      dialog.FilterIndex = index + 1;
    return !dialog.Files.empty();
  }

  bool ExecutePrinterSetup() override { return RunPrintSetup(parent_); }

  QPointer<QWidget> parent_;
};

TQtFileDialogs& QtDialogs()
{
  static TQtFileDialogs dialogs;
  return dialogs;
}

TFileDialogProvider* Provider = nullptr;

TFileDialogProvider& CurrentProvider()
{
  return Provider ? *Provider : QtDialogs();
}

}  // namespace

std::string TFileDialog::SaveExtension() const
{
  if (!DefaultExt.empty())
    return DefaultExt;
  // The chosen filter's own extension when it names exactly one.
  const auto parts = Split(Filter, '|');
  const size_t at = size_t(std::max(FilterIndex, 1) - 1) * 2 + 1;
  if (at >= parts.size())
    return {};
  const std::string& pattern = parts[at];
  if (pattern.size() < 3 || pattern.compare(0, 2, "*.") != 0 ||
      pattern.find_first_of("*?;", 2) != std::string::npos)
    return {};
  return pattern.substr(2);
}

bool TFileDialog::Execute()
{
  if (!CurrentProvider().ExecuteFileDialog(*this))
    return false;
  if (Mode == SaveMode && !FileName.empty()) {
    // A name typed without an extension takes the dialog's; an existing
    // file the user picked stays as it is.
    const std::string ext = SaveExtension();
    const auto slash = FileName.find_last_of('/');
    const std::string base = FileName.substr(slash == std::string::npos ? 0 : slash + 1);
    std::error_code error;
    if (!ext.empty() && !base.empty() && base.find('.') == std::string::npos &&
        !std::filesystem::exists(FileName, error)) {
      FileName += "." + ext;
      if (!Files.empty())
        Files.front() = FileName;
    }
  }
  return true;
}

bool TPrinterSetupDialog::Execute()
{
  return CurrentProvider().ExecutePrinterSetup();
}

TFileDialogProvider* SetFileDialogProvider(TFileDialogProvider* provider)
{
  TFileDialogProvider* old = Provider;
  Provider = provider;
  return old;
}

void SetFileDialogParent(QWidget* parent)
{
  QtDialogs().parent_ = parent;
}

std::vector<std::string> QtNameFilters(const std::string& filter)
{
  std::vector<std::string> result;
  if (filter.empty())
    return result;
  const auto parts = Split(filter, '|');
  for (size_t i = 0; i + 1 < parts.size(); i += 2) {
    std::string description = parts[i];
    // The description names its patterns in parentheses; the Qt filter puts
    // its own list there.
    const auto open = description.rfind(" (");
    if (open != std::string::npos && description.back() == ')')
      description.erase(open);
    std::string patterns;
    for (const auto& pattern : Split(parts[i + 1], ';')) {
      std::string list = pattern == "*.*" ? "*" : pattern;
      if (IsUpperExtPattern(pattern))
        list += " " + Lower(pattern);
      patterns += (patterns.empty() ? "" : " ") + list;
    }
    result.push_back(description + " (" + patterns + ")");
  }
  return result;
}
