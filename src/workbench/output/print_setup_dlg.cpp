#include "workbench/output/print_setup_dlg.h"

#include "workbench/output/text_sink.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QPushButton>

namespace {

TPrintSetupRunner& Runner()
{
  static TPrintSetupRunner runner;
  return runner;
}

}  // namespace

TPrintSetupDlg::TPrintSetupDlg(QWidget* parent) : QDialog(parent)
{
  setObjectName(QStringLiteral("PrintSetupDlg"));
  setWindowTitle(QStringLiteral("Print Setup"));
  PrinterCombo = new QComboBox(this);
  PrinterCombo->setObjectName(QStringLiteral("PrinterCombo"));
  PrinterCombo->addItems(PrinterNames());
  PrinterCombo->setCurrentText(SelectedPrinterName());
  PrinterCombo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  NameLabel = new QLabel(QStringLiteral("&Name:"), this);
  NameLabel->setBuddy(PrinterCombo);
  PropertiesBtn = new QPushButton(QStringLiteral("&Properties..."), this);
  PropertiesBtn->setObjectName(QStringLiteral("PropertiesBtn"));
  PropertiesBtn->setAutoDefault(false);
  OKBtn = new QPushButton(QStringLiteral("OK"), this);
  OKBtn->setObjectName(QStringLiteral("OKBtn"));
  OKBtn->setDefault(true);
  CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
  CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
  CancelBtn->setAutoDefault(false);
  connect(OKBtn, &QPushButton::clicked, this, &TPrintSetupDlg::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  connect(PropertiesBtn, &QPushButton::clicked, this, [this] {
    if (QPrinter* printer = ProgramPrinter()) {
      QPageSetupDialog pages(printer, this);
      pages.exec();
    }
  });

  auto* layout = new QGridLayout(this);
  layout->addWidget(NameLabel, 0, 0);
  layout->addWidget(PrinterCombo, 0, 1);
  layout->addWidget(PropertiesBtn, 0, 2);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(OKBtn);
  buttons->addWidget(CancelBtn);
  layout->addLayout(buttons, 1, 0, 1, 3);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TPrintSetupDlg::accept()
{
  SelectPrinter(PrinterCombo->currentText());
  QDialog::accept();
}

TPrintSetupRunner SetPrintSetupRunner(TPrintSetupRunner runner)
{
  TPrintSetupRunner old = std::move(Runner());
  Runner() = std::move(runner);
  return old;
}

bool RunPrintSetup(QWidget* parent)
{
  TPrintSetupDlg dlg(parent);
  const int result = Runner() ? Runner()(dlg) : dlg.exec();
  return result == QDialog::Accepted;
}
