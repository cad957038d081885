// The frame's common dialogs as plain objects: the open and save dialogs
// keep their properties between uses, as the commands set them; showing
// them goes through an installable provider, so tests supply the chosen
// names without a modal dialog.
#pragma once

#include <string>
#include <vector>

class QWidget;

// Options of a file dialog (bits).
enum TFileDialogOption : unsigned {
  ofOverwritePrompt = 1u << 0,
  ofHideReadOnly = 1u << 1,
  ofAllowMultiSelect = 1u << 2,
  ofPathMustExist = 1u << 3,
  ofFileMustExist = 1u << 4,
  ofEnableSizing = 1u << 5,
};

class TFileDialog {
public:
  enum TMode { OpenMode, SaveMode };

  TFileDialog(const char* name, TMode mode) : Name(name), Mode(mode) {}

  std::string Name;          // object name
  TMode Mode;
  std::string DefaultExt;    // without the point
  // Pairs of description and patterns, all joined by "|":
  // "Text files (*.txt)|*.txt|All files (*.*)|*.*".
  std::string Filter;
  int FilterIndex = 1;       // 1-based, the pair selected at start
  std::string Title;
  std::string InitialDir;
  unsigned Options = 0;
  // The chosen file (the first when several), and every chosen file.
  std::string FileName;
  std::vector<std::string> Files;

  // Shows the dialog; true when the user chose, with FileName and Files set.
  // A save dialog gives a name chosen without an extension its extension.
  bool Execute();
  // The extension a save dialog adds: DefaultExt, else that of the chosen
  // filter when it names a single "*.ext" pattern; empty for none.
  std::string SaveExtension() const;
};

// The printer set-up dialog.
class TPrinterSetupDialog {
public:
  std::string Name = "PrinterSetupDialog";
  bool Execute();
};

class TFileDialogProvider {
public:
  virtual ~TFileDialogProvider() = default;
  // Fills dialog.FileName and dialog.Files; false when cancelled.
  virtual bool ExecuteFileDialog(TFileDialog& dialog) = 0;
  virtual bool ExecutePrinterSetup() = 0;
};

// Installs a provider (nullptr restores the Qt dialogs); returns the old one.
TFileDialogProvider* SetFileDialogProvider(TFileDialogProvider* provider);
// The parent of the Qt dialogs (the frame).
void SetFileDialogParent(QWidget* parent);

// A filter in dialog form to the Qt name filters: "*.*" matches every name,
// and each "*.EXT" pattern is offered in upper and lower case.
std::vector<std::string> QtNameFilters(const std::string& filter);
