// "Print Setup": chooses the program's printer among the system's printers
// and the PDF file printer, and sets up its pages.
#pragma once

#include <QDialog>

#include <functional>

class QComboBox;
class QLabel;
class QPushButton;

class TPrintSetupDlg : public QDialog {
  Q_OBJECT
public:
  explicit TPrintSetupDlg(QWidget* parent = nullptr);

  QLabel* NameLabel = nullptr;          // "&Name:"
  QComboBox* PrinterCombo = nullptr;    // PrinterNames, the chosen one shown
  QPushButton* PropertiesBtn = nullptr;  // "&Properties...": paper and orientation
  QPushButton* OKBtn = nullptr;
  QPushButton* CancelBtn = nullptr;

  // OK: the program's printer becomes the chosen one.
  void accept() override;
};

// Tests drive the dialog through this (empty: shown modally).
using TPrintSetupRunner = std::function<int(TPrintSetupDlg&)>;
TPrintSetupRunner SetPrintSetupRunner(TPrintSetupRunner runner);
// Runs "Print Setup"; true on OK.
bool RunPrintSetup(QWidget* parent);
