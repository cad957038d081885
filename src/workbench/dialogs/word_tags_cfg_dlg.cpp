#include "workbench/dialogs/word_tags_cfg_dlg.h"

#include "workbench/dialogs/tag_cfg_dlg.h"
#include "workbench/frame/qt_text.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

QPointer<TWordTagsCfgDialog> WordTagsCfgDialog;

namespace {

template <typename W>
W* Named(W* widget, const char* name)
{
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

// Window text while the label's option is on, grey text while it is off.
void Recolour(QWidget* label, bool on)
{
  QPalette p = label->palette();
  p.setColor(QPalette::WindowText, QApplication::palette().color(on ? QPalette::Active : QPalette::Disabled,
                                                                 QPalette::WindowText));
  label->setPalette(p);
}

}  // namespace

using namespace tagforms;

// ---------------------------------------------------------------------------
// The meta-tag editor.

TEditMetaTagsDlg::TEditMetaTagsDlg(TEditMetaTagsModel& model, QWidget* parent) : QDialog(parent), model_(model)
{
  setObjectName(QStringLiteral("EditMetaTagsDlg"));
  setWindowTitle(QString::fromStdString(model.Caption()));
  Label1 = MakeLabel(this, "Label1", "Meta-tag Name:");
  NameEdit = MakeEdit(this, "NameEdit", ToQString(model.Name));
  TagStartLabel = MakeLabel(this, "TagStartLabel", "Contents:");
  ContentsEdit = MakeEdit(this, "ContentsEdit", ToQString(model.Contents));
  auto* grid = new QGridLayout(this);
  grid->addWidget(Label1, 0, 0);
  grid->addWidget(NameEdit, 0, 1);
  grid->addWidget(TagStartLabel, 1, 0);
  grid->addWidget(ContentsEdit, 1, 1);
  grid->addLayout(OkCancelRow(this, "OKBtn", OKBtn, CancelBtn), 2, 0, 1, 2);
  connect(OKBtn, &QPushButton::clicked, this, &TEditMetaTagsDlg::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &TEditMetaTagsDlg::reject);
}

void TEditMetaTagsDlg::accept()
{
  if (!TextFromWidget(NameEdit->text(), model_.Name) || !TextFromWidget(ContentsEdit->text(), model_.Contents))
    return;
  bool beep = false;
  if (model_.OKBtnClick(beep)) {
    QDialog::accept();
    return;
  }
  if (beep)
    QApplication::beep();
  if (model_.ActiveControl == "NameEdit")
    NameEdit->setFocus();
  else if (model_.ActiveControl == "ContentsEdit")
    ContentsEdit->setFocus();
}

// ---------------------------------------------------------------------------
// "Part of Speech Tags Settings".

TWordTagsCfgDialog::TWordTagsCfgDialog(QWidget* parent) : QDialog(parent), model_(this)
{
  setObjectName(QStringLiteral("WordTagsCfgDialog"));
  setWindowTitle(QString::fromLatin1(TWordTagsCfgModel::Caption));

  GeneralGroup = Named(new QGroupBox(QStringLiteral(" General Settings "), this), "GeneralGroup");
  EmbededCB = Named(new QCheckBox(QStringLiteral("Embedded in Word"), GeneralGroup), "EmbededCB");
  EmbededPanel = Named(new QWidget(GeneralGroup), "EmbededPanel");
  DelimiterLabel = MakeLabel(EmbededPanel, "DelimiterLabel", "Delimiter Character:");
  DelimiterEdit = MakeEdit(EmbededPanel, "DelimiterEdit");
  DelimiterEdit->setMaxLength(1);
  DelimiterEdit->setFixedWidth(DelimiterEdit->fontMetrics().horizontalAdvance(QLatin1Char('W')) * 3);
  auto* ep = new QHBoxLayout(EmbededPanel);
  ep->addWidget(DelimiterLabel);
  ep->addWidget(DelimiterEdit);
  ep->addStretch();
  OutsideCB = Named(new QCheckBox(QStringLiteral("Outside Word"), GeneralGroup), "OutsideCB");
  OutsidePanel = Named(new QWidget(GeneralGroup), "OutsidePanel");
  TagStartLabel = MakeLabel(OutsidePanel, "TagStartLabel", "Tag Start:");
  TagStartGrid = MakeGrid(OutsidePanel, "TagStartGrid", TWordTagsCfgModel::StartRows, {100}, false);
  TagStartGrid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  TagStartGrid->setFixedSize(100 + 2 * TagStartGrid->frameWidth(),
                             TWordTagsCfgModel::StartRows * TagStartGrid->verticalHeader()->defaultSectionSize() +
                                 2 * TagStartGrid->frameWidth());
  TagStopLabel = MakeLabel(OutsidePanel, "TagStopLabel", "Tag Stop:");
  TagStopEdit = MakeCharEdit(OutsidePanel, "TagStopEdit");
  OutsideBeforeCB = Named(new QCheckBox(QStringLiteral("Before Word"), OutsidePanel), "OutsideBeforeCB");
  auto* op = new QGridLayout(OutsidePanel);
  op->addWidget(TagStartLabel, 0, 0);
  op->addWidget(TagStartGrid, 0, 1, 3, 1);
  op->addWidget(TagStopLabel, 0, 2);
  op->addWidget(TagStopEdit, 0, 3);
  op->addWidget(OutsideBeforeCB, 1, 2, 1, 2);
  auto* general = new QVBoxLayout(GeneralGroup);
  general->addWidget(EmbededCB);
  general->addWidget(EmbededPanel);
  general->addWidget(OutsideCB);
  general->addWidget(OutsidePanel);

  MetaGroup = Named(new QGroupBox(QStringLiteral(" Meta-tags "), this), "MetaGroup");
  MetaGrid = MakeGrid(MetaGroup, "MetaGrid", 1, {100, 150}, true, {"Meta-tag Name", "Contents"});
  LayOutGridGroup(MetaGroup, MetaGrid, AddBtn, EditBtn, RemoveBtn);

  auto* main = new QVBoxLayout(this);
  main->addWidget(GeneralGroup);
  main->addWidget(MetaGroup, 1);
  main->addLayout(OkCancelRow(this, "OkBtn", OkBtn, CancelBtn));

  connect(EmbededCB, &QCheckBox::clicked, this, [this](bool on) {
    model_.EmbededCB = on;
    model_.EmbededCBClick();
    ShowPanels();
  });
  connect(OutsideCB, &QCheckBox::clicked, this, [this](bool on) {
    model_.OutsideCB = on;
    model_.OutsideCBClick();
    ShowPanels();
  });
  connect(AddBtn, &QPushButton::clicked, this, [this] { MetaButton(&TWordTagsCfgModel::AddBtnClick); });
  connect(EditBtn, &QPushButton::clicked, this, [this] { MetaButton(&TWordTagsCfgModel::EditBtnClick); });
  connect(RemoveBtn, &QPushButton::clicked, this, [this] { MetaButton(&TWordTagsCfgModel::RemoveBtnClick); });
  connect(OkBtn, &QPushButton::clicked, this, &TWordTagsCfgDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &TWordTagsCfgDialog::reject);
  ShowModel();
  WordTagsCfgDialog = this;
}

TWordTagsCfgDialog::~TWordTagsCfgDialog() = default;

void TWordTagsCfgDialog::ShowPanels()
{
  EmbededCB->setChecked(model_.EmbededCB);
  OutsideCB->setChecked(model_.OutsideCB);
  EmbededPanel->setEnabled(model_.EmbededPanelEnabled());
  OutsidePanel->setEnabled(model_.OutsidePanelEnabled());
  Recolour(DelimiterLabel, model_.EmbededCB);
  for (QWidget* w : std::initializer_list<QWidget*>{TagStartLabel, TagStopLabel, OutsideBeforeCB})
    Recolour(w, model_.OutsideCB);
}

void TWordTagsCfgDialog::ShowModel()
{
  // The general controls show what the settings reader put there.
  DelimiterEdit->setText(ToQString(model_.DelimiterEdit));
  TagStopEdit->setText(ToQString(model_.TagStopEdit));
  OutsideBeforeCB->setChecked(model_.OutsideBeforeCB);
  TagStartGrid->setRowCount(static_cast<int>(model_.TagStartGrid.size()));
  for (int r = 0; r < TagStartGrid->rowCount(); ++r)
    TagStartGrid->setItem(r, 0, new QTableWidgetItem(ToQString(model_.TagStartGrid[static_cast<size_t>(r)])));
  MetaGrid->setRowCount(static_cast<int>(model_.MetaGrid.size()));
  for (int r = 0; r < MetaGrid->rowCount(); ++r)
    for (int c = 0; c < 2; ++c)
      MetaGrid->setItem(r, c,
                        new QTableWidgetItem(ToQString(model_.MetaGrid[static_cast<size_t>(r)][static_cast<size_t>(c)])));
  ShowCurrentRow(MetaGrid, model_.CurrentMetaRow);
  ShowPanels();
}

bool TWordTagsCfgDialog::ReadControls()
{
  std::string delimiter, stop;
  std::vector<std::string> starts(static_cast<size_t>(TagStartGrid->rowCount()));
  if (!TextFromWidget(DelimiterEdit->text(), delimiter) || !TextFromWidget(TagStopEdit->text(), stop))
    return false;
  for (int r = 0; r < TagStartGrid->rowCount(); ++r)
    if (QTableWidgetItem* item = TagStartGrid->item(r, 0))
      if (!TextFromWidget(item->text(), starts[static_cast<size_t>(r)]))
        return false;
  model_.DelimiterEdit = delimiter;
  model_.TagStopEdit = stop;
  model_.TagStartGrid = starts;
  model_.EmbededCB = EmbededCB->isChecked();
  model_.OutsideCB = OutsideCB->isChecked();
  model_.OutsideBeforeCB = OutsideBeforeCB->isChecked();
  model_.CurrentMetaRow = std::max(0, MetaGrid->currentRow());
  return true;
}

void TWordTagsCfgDialog::MetaButton(void (TWordTagsCfgModel::*handler)())
{
  if (!ReadControls())
    return;
  (model_.*handler)();
  ShowModel();
}

void TWordTagsCfgDialog::accept()
{
  // A cell being typed into is taken as it stands: leaving it commits it.
  if (QWidget* f = focusWidget(); f && TagStartGrid->isAncestorOf(f))
    OkBtn->setFocus();
  if (!ReadControls())
    return;
  if (model_.OkBtnClick()) {
    QDialog::accept();
    return;
  }
  if (model_.ActiveControl == "TagStartGrid")
    TagStartGrid->setFocus();
  else if (model_.ActiveControl == "DelimiterEdit")
    DelimiterEdit->setFocus();
}

bool TWordTagsCfgDialog::ShowModal()
{
  ShowModel();
  return ExecuteTagDialog(*this) == QDialog::Accepted;
}

void TWordTagsCfgDialog::Beep()
{
  QApplication::beep();
}

bool TWordTagsCfgDialog::RunMetaTagEditor(TEditMetaTagsModel& editor)
{
  TEditMetaTagsDlg dlg(editor, this);
  return ExecuteTagDialog(dlg) == QDialog::Accepted;
}
