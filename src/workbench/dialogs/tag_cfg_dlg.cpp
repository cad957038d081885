#include "workbench/dialogs/tag_cfg_dlg.h"

#include "workbench/frame/qt_text.h"

#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

QPointer<TTagCfgDialog> TagCfgDialog;

namespace {

TTagDialogRunner& Runner()
{
  static TTagDialogRunner runner;
  return runner;
}

}  // namespace

namespace tagforms {

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption)
{
  auto* b = new QPushButton(QString::fromLatin1(caption), parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setAutoDefault(false);
  return b;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const char* caption)
{
  auto* l = new QLabel(QString::fromLatin1(caption), parent);
  l->setObjectName(QString::fromLatin1(name));
  return l;
}

QLineEdit* MakeEdit(QWidget* parent, const char* name, const QString& text)
{
  auto* e = new QLineEdit(text, parent);
  e->setObjectName(QString::fromLatin1(name));
  return e;
}

QTableWidget* MakeGrid(QWidget* parent, const char* name, int rows, std::initializer_list<int> widths,
                       bool wholeRows, std::initializer_list<const char*> headers)
{
  auto* g = new QTableWidget(rows, static_cast<int>(widths.size()), parent);
  g->setObjectName(QString::fromLatin1(name));
  g->verticalHeader()->hide();
  if (headers.size() == 0) {
    g->horizontalHeader()->hide();
  } else {
    QStringList labels;
    for (const char* h : headers)
      labels << QString::fromLatin1(h);
    g->setHorizontalHeaderLabels(labels);
    g->horizontalHeader()->setHighlightSections(false);
    g->horizontalHeader()->setSectionsClickable(false);
  }
  int c = 0;
  for (int w : widths) {
    g->setColumnWidth(c, headers.size() ? std::max(w, g->horizontalHeader()->sectionSizeHint(c)) : w);
    ++c;
  }
  if (wholeRows) {
    g->setSelectionBehavior(QAbstractItemView::SelectRows);
    g->setSelectionMode(QAbstractItemView::SingleSelection);
    g->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The chosen row stays marked while the buttons beside the grid have
    // the focus.
    QPalette p = g->palette();
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
      p.setColor(QPalette::Inactive, role, p.color(QPalette::Active, role));
    g->setPalette(p);
  }
  return g;
}

void ShowCurrentRow(QTableWidget* grid, int row)
{
  grid->setCurrentCell(row, 0);
  bool empty = grid->rowCount() == 1;
  for (int c = 0; empty && c < grid->columnCount(); ++c)
    empty = !grid->item(0, c) || grid->item(0, c)->text().isEmpty();
  if (empty)
    grid->clearSelection();
}

void LayOutGridGroup(QGroupBox* group, QTableWidget* grid, QPushButton*& add, QPushButton*& edit,
                     QPushButton*& remove)
{
  add = MakeButton(group, "AddBtn", "Add");
  edit = MakeButton(group, "EditBtn", "Edit");
  remove = MakeButton(group, "RemoveBtn", "Remove");
  auto* row = new QHBoxLayout(group);
  row->addWidget(grid, 1);
  auto* buttons = new QVBoxLayout;
  buttons->addWidget(add);
  buttons->addWidget(edit);
  buttons->addWidget(remove);
  buttons->addStretch();
  row->addLayout(buttons);
}

QHBoxLayout* OkCancelRow(QWidget* parent, const char* okName, QPushButton*& ok, QPushButton*& cancel)
{
  ok = MakeButton(parent, okName, "OK");
  ok->setDefault(true);
  cancel = MakeButton(parent, "CancelBtn", "Cancel");
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(ok);
  row->addWidget(cancel);
  return row;
}

QLineEdit* MakeCharEdit(QWidget* parent, const char* name)
{
  QLineEdit* e = MakeEdit(parent, name);
  e->setMaxLength(1);
  e->setInputMask(QStringLiteral("X"));
  e->setFixedWidth(e->fontMetrics().horizontalAdvance(QLatin1Char('W')) * 3);
  return e;
}

}  // namespace tagforms

using namespace tagforms;

TTagDialogRunner SetTagDialogRunner(TTagDialogRunner runner)
{
  TTagDialogRunner old = std::move(Runner());
  Runner() = std::move(runner);
  return old;
}

int ExecuteTagDialog(QDialog& dlg)
{
  if (Runner()) {
    TTagDialogRunner runner = Runner();
    return runner(dlg);
  }
  return dlg.exec();
}

// ---------------------------------------------------------------------------
// The tracked-tag editor.

TEditWatchTagsDlg::TEditWatchTagsDlg(TEditWatchTagsModel& model, QWidget* parent) : QDialog(parent), model_(model)
{
  setObjectName(QStringLiteral("EditWatchTagsDlg"));
  setWindowTitle(QString::fromStdString(model.Caption()));
  Label1 = MakeLabel(this, "Label1", "Tag Name:");
  NameEdit = MakeEdit(this, "NameEdit");
  TagStartLabel = MakeLabel(this, "TagStartLabel", "Tag Start:");
  StartEdit = MakeEdit(this, "StartEdit");
  TagStopLabel = MakeLabel(this, "TagStopLabel", "Tag Stop:");
  StopEdit = MakeEdit(this, "StopEdit");
  InternalCB = new QCheckBox(QStringLiteral("COCOA Format"), this);
  InternalCB->setObjectName(QStringLiteral("InternalCB"));
  auto* grid = new QGridLayout(this);
  grid->addWidget(Label1, 0, 0);
  grid->addWidget(NameEdit, 0, 1);
  grid->addWidget(TagStartLabel, 1, 0);
  grid->addWidget(StartEdit, 1, 1);
  grid->addWidget(TagStopLabel, 2, 0);
  grid->addWidget(StopEdit, 2, 1);
  grid->addWidget(InternalCB, 3, 1);
  grid->addLayout(OkCancelRow(this, "OKBtn", OKBtn, CancelBtn), 4, 0, 1, 2);

  NameEdit->setText(ToQString(model.Name));
  StartEdit->setText(ToQString(model.Start));
  StopEdit->setText(ToQString(model.Stop));
  InternalCB->setChecked(model.Cocoa);
  connect(StartEdit, &QLineEdit::textChanged, this, &TEditWatchTagsDlg::UpdateOk);
  connect(StopEdit, &QLineEdit::textChanged, this, &TEditWatchTagsDlg::UpdateOk);
  connect(InternalCB, &QCheckBox::clicked, this, &TEditWatchTagsDlg::UpdateOk);
  connect(OKBtn, &QPushButton::clicked, this, &TEditWatchTagsDlg::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &TEditWatchTagsDlg::reject);
  UpdateOk();
}

void TEditWatchTagsDlg::UpdateOk()
{
  // Characters the code page cannot hold count as typed here; OK refuses them.
  model_.Start = StartEdit->text().toStdString();
  model_.Stop = StopEdit->text().toStdString();
  model_.Cocoa = InternalCB->isChecked();
  OKBtn->setEnabled(model_.OkEnabled());
  TagStartLabel->setText(QString::fromLatin1(model_.StartLabel()));
  TagStopLabel->setEnabled(model_.StopEnabled());
  StopEdit->setEnabled(model_.StopEnabled());
}

void TEditWatchTagsDlg::accept()
{
  if (!OKBtn->isEnabled())
    return;
  if (!TextFromWidget(NameEdit->text(), model_.Name) || !TextFromWidget(StartEdit->text(), model_.Start) ||
      !TextFromWidget(StopEdit->text(), model_.Stop))
    return;
  model_.Cocoa = InternalCB->isChecked();
  if (model_.OKBtnClick())
    QDialog::accept();
}

// ---------------------------------------------------------------------------
// "Tag Settings".

TTagCfgDialog::TTagCfgDialog(QWidget* parent) : QDialog(parent), model_(this)
{
  setObjectName(QStringLiteral("TagCfgDialog"));
  setWindowTitle(QString::fromLatin1(TTagCfgModel::Caption));

  GroupBox1 = new QGroupBox(this);
  GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
  Label1 = MakeLabel(GroupBox1, "Label1", "Tag Start:");
  TagStartEdit = MakeCharEdit(GroupBox1, "TagStartEdit");
  Label2 = MakeLabel(GroupBox1, "Label2", "Tag Stop:");
  TagStopEdit = MakeCharEdit(GroupBox1, "TagStopEdit");
  Label4 = MakeLabel(GroupBox1, "Label4", "Page Delimiter: ");
  PageDelimiterEdit = MakeEdit(GroupBox1, "PageDelimiterEdit");
  auto* g1 = new QHBoxLayout(GroupBox1);
  for (QWidget* w : std::initializer_list<QWidget*>{Label1, TagStartEdit, Label2, TagStopEdit, Label4})
    g1->addWidget(w);
  g1->addWidget(PageDelimiterEdit, 1);

  GroupBox3 = new QGroupBox(QStringLiteral(" Options "), this);
  GroupBox3->setObjectName(QStringLiteral("GroupBox3"));
  DisplayLinesCB = new QCheckBox(QStringLiteral("Display Line Numbers"), GroupBox3);
  DisplayLinesCB->setObjectName(QStringLiteral("DisplayLinesCB"));
  PageNumbersCB = new QCheckBox(QStringLiteral("Display Page Numbers"), GroupBox3);
  PageNumbersCB->setObjectName(QStringLiteral("PageNumbersCB"));
  RelativeLinesCB = new QCheckBox(QStringLiteral("Relative Lines"), GroupBox3);
  RelativeLinesCB->setObjectName(QStringLiteral("RelativeLinesCB"));
  auto* g3 = new QVBoxLayout(GroupBox3);
  g3->addWidget(DisplayLinesCB);
  g3->addWidget(PageNumbersCB);
  g3->addWidget(RelativeLinesCB);

  GroupBox2 = new QGroupBox(QStringLiteral(" Tracked Tags "), this);
  GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
  Grid = MakeGrid(GroupBox2, "Grid", 1, {130, 55, 55}, true, {"Tag Name", "Tag Start", "Tag Stop"});
  LayOutGridGroup(GroupBox2, Grid, AddBtn, EditBtn, RemoveBtn);

  auto* main = new QVBoxLayout(this);
  main->addWidget(GroupBox1);
  main->addWidget(GroupBox3);
  main->addWidget(GroupBox2, 1);
  main->addLayout(OkCancelRow(this, "OkBtn", OkBtn, CancelBtn));

  for (QLineEdit* e : {TagStartEdit, TagStopEdit, PageDelimiterEdit})
    e->installEventFilter(this);
  connect(TagStartEdit, &QLineEdit::textEdited, this, [this] { hashShown_ = false; });
  connect(PageNumbersCB, &QCheckBox::clicked, this,
          [this](bool on) { RelativeLinesCB->setEnabled(on); });
  connect(AddBtn, &QPushButton::clicked, this, [this] { GridButton(&TTagCfgModel::AddBtnClick); });
  connect(EditBtn, &QPushButton::clicked, this, [this] { GridButton(&TTagCfgModel::EditBtnClick); });
  connect(RemoveBtn, &QPushButton::clicked, this, [this] { GridButton(&TTagCfgModel::RemoveBtnClick); });
  connect(OkBtn, &QPushButton::clicked, this, &TTagCfgDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &TTagCfgDialog::reject);
  TagCfgDialog = this;
}

TTagCfgDialog::~TTagCfgDialog() = default;

void TTagCfgDialog::ShowModel()
{
  TagStartEdit->setText(ToQString(model_.TagStartEdit));
  TagStopEdit->setText(ToQString(model_.TagStopEdit));
  PageDelimiterEdit->setText(ToQString(model_.PageDelimiterEdit));
  DisplayLinesCB->setChecked(model_.DisplayLinesCB);
  PageNumbersCB->setChecked(model_.PageNumbersCB);
  RelativeLinesCB->setChecked(model_.RelativeLinesCB);
  RelativeLinesCB->setEnabled(model_.RelativeLinesEnabled());
  Grid->setRowCount(static_cast<int>(model_.Grid.size()));
  for (int r = 0; r < Grid->rowCount(); ++r)
    for (int c = 0; c < 3; ++c)
      Grid->setItem(r, c, new QTableWidgetItem(ToQString(model_.Grid[static_cast<size_t>(r)][static_cast<size_t>(c)])));
  ShowCurrentRow(Grid, model_.CurrentRow);
}

bool TTagCfgDialog::ReadEdits()
{
  std::string start, stop, page;
  if (!TextFromWidget(TagStartEdit->text(), start) || !TextFromWidget(TagStopEdit->text(), stop) ||
      !TextFromWidget(PageDelimiterEdit->text(), page))
    return false;
  model_.TagStartEdit = start;
  model_.TagStopEdit = stop;
  model_.PageDelimiterEdit = page;
  model_.DisplayLinesCB = DisplayLinesCB->isChecked();
  model_.PageNumbersCB = PageNumbersCB->isChecked();
  model_.RelativeLinesCB = RelativeLinesCB->isChecked();
  model_.CurrentRow = std::max(0, Grid->currentRow());
  return true;
}

bool TTagCfgDialog::LeaveEdit(QObject* edit)
{
  if (!ReadEdits())
    return false;
  bool ok = true;
  if (edit == TagStartEdit) {
    // The refusal was shown when the focus left; OK does not show it again.
    if (model_.TagStartRefused() && hashShown_)
      ok = false;
    else
      ok = model_.TagStartExit();
    hashShown_ = !ok;
  } else if (edit == TagStopEdit) {
    model_.TagStopExit();
  } else if (edit == PageDelimiterEdit) {
    model_.WrapPageDelimiter();
  }
  ShowModel();
  if (!ok)
    TagStartEdit->setFocus();
  return ok;
}

bool TTagCfgDialog::eventFilter(QObject* watched, QEvent* event)
{
  if (event->type() == QEvent::FocusOut && isVisible())
    LeaveEdit(watched);
  return QDialog::eventFilter(watched, event);
}

void TTagCfgDialog::GridButton(void (TTagCfgModel::*handler)())
{
  if (!ReadEdits())
    return;
  (model_.*handler)();
  ShowModel();
}

void TTagCfgDialog::accept()
{
  // Enter does not move the focus, so the focused edit is left here.
  QWidget* focused = focusWidget();
  if (focused == TagStartEdit || focused == TagStopEdit || focused == PageDelimiterEdit) {
    if (!LeaveEdit(focused))
      return;
  } else if (!ReadEdits()) {
    return;
  } else if (model_.TagStartEdit == "#") {
    TagStartEdit->setFocus();
    return;
  }
  QDialog::accept();
}

bool TTagCfgDialog::ShowModal()
{
  ShowModel();
  return ExecuteTagDialog(*this) == QDialog::Accepted;
}

void TTagCfgDialog::Beep()
{
  QApplication::beep();
}

bool TTagCfgDialog::RunWatchTagEditor(TEditWatchTagsModel& editor)
{
  TEditWatchTagsDlg dlg(editor, this);
  return ExecuteTagDialog(dlg) == QDialog::Accepted;
}
