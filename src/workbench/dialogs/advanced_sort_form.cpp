#include "workbench/dialogs/advanced_sort_form.h"

#include "foundation/dialogs.h"
#include "workbench/dialogs/edit_helpers.h"
#include "workbench/frame/qt_text.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>

#include <string>
#include <tuple>

namespace {

QString Latin(const char* text)
{
  return QString::fromLatin1(text);
}

template <typename Widget>
Widget* Named(Widget* widget, const char* name)
{
  widget->setObjectName(Latin(name));
  return widget;
}

QComboBox* DropDownList(QWidget* parent, const char* name)
{
  auto* combo = Named(new QComboBox(parent), name);
  combo->setEditable(false);
  combo->setMaxVisibleItems(10);
  return combo;
}

}  // namespace

TAdvancedSortColForm::TAdvancedSortColForm(TAdvancedSortColModel& model, QWidget* parent)
  : QDialog(parent), model_(model)
{
  setObjectName(QStringLiteral("AdvancedSortColForm"));
  setWindowTitle(Latin(model.Caption.c_str()));

  static constexpr const char* BoxNames[3] = {"FirstBox", "SecondBox", "ThirdBox"};
  static constexpr const char* ReverseNames[3] = {"FirstReverse", "SecondReverse", "ThirdReverse"};
  TopPanel = Named(new QWidget(this), "TopPanel");
  auto* top = new QHBoxLayout(TopPanel);
  top->setContentsMargins(0, 0, 0, 0);
  for (int i = 0; i < 3; ++i) {
    boxes_[size_t(i)] = Named(new QGroupBox(TopPanel), BoxNames[i]);
    combos_[size_t(i)] = DropDownList(boxes_[size_t(i)], TAdvancedSortColModel::KeyComboNames[i]);
    for (const TSortKeyEntry& key : model.Keys())
      combos_[size_t(i)]->addItem(Latin(key.DisplayName));
    reverses_[size_t(i)] = Named(new QCheckBox(boxes_[size_t(i)]), ReverseNames[i]);
    auto* column = new QVBoxLayout(boxes_[size_t(i)]);
    column->addWidget(combos_[size_t(i)]);
    column->addWidget(reverses_[size_t(i)]);
    top->addWidget(boxes_[size_t(i)]);
    connect(combos_[size_t(i)], &QComboBox::activated, this, [this, i](int index) {
      model_.SelectKey(i, index);
      ShowModel();
    });
    connect(reverses_[size_t(i)], &QCheckBox::clicked, this, [this, i](bool on) { model_.ReverseClick(i, on); });
  }
  std::tie(FirstBox, SecondBox, ThirdBox) = std::tuple(boxes_[0], boxes_[1], boxes_[2]);
  std::tie(FirstCombo, SecondCombo, ThirdCombo) = std::tuple(combos_[0], combos_[1], combos_[2]);
  std::tie(FirstReverse, SecondReverse, ThirdReverse) = std::tuple(reverses_[0], reverses_[1], reverses_[2]);

  CustomCheck = Named(new QCheckBox(this), "CustomCheck");
  CustomEdit = Named(new QLineEdit(this), "CustomEdit");
  connect(CustomCheck, &QCheckBox::clicked, this, [this](bool on) {
    model_.CustomCheckClick(on);
    ShowModel();
  });
  connect(CustomEdit, &QLineEdit::textChanged, this, [this](const QString& text) { model_.CustomText = FromQString(text); });

  CollocPanel = Named(new QWidget(this), "CollocPanel");
  SpanCheck = Named(new QCheckBox(CollocPanel), "SpanCheck");
  SpanCombo = DropDownList(CollocPanel, "SpanCombo");
  for (const char* item : TAdvancedSortColModel::SpanItems)
    SpanCombo->addItem(Latin(item));
  ShowFirstUpDown = Named(new TUpDownEdit(CollocPanel), "ShowFirstUpDown");
  ShowFirstUpDown->SetRange(0, TAdvancedSortColModel::ShowFirstMax);
  ShowFirstEdit = Named(ShowFirstUpDown->Edit(), "ShowFirstEdit");
  ShowFirstEdit->setMaxLength(5);
  auto* colloc = new QHBoxLayout(CollocPanel);
  colloc->setContentsMargins(0, 0, 0, 0);
  colloc->addWidget(SpanCheck);
  colloc->addWidget(SpanCombo);
  colloc->addStretch(1);
  colloc->addWidget(new QLabel(QStringLiteral("Show first:"), CollocPanel));
  colloc->addWidget(ShowFirstUpDown);
  colloc->addWidget(new QLabel(QStringLiteral("items (0 - Unlimited)"), CollocPanel));
  connect(SpanCheck, &QCheckBox::clicked, this, [this](bool on) {
    model_.SpanCheckClick(on);
    ShowModel();
  });
  connect(SpanCombo, &QComboBox::activated, this, [this](int index) { model_.SelectSpan(index); });

  SortPanel = Named(new QWidget(this), "SortPanel");
  Grid = Named(new QTableWidget(SortPanel), "Grid");
  Grid->setColumnCount(3);
  Grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  Grid->setSelectionBehavior(QAbstractItemView::SelectRows);
  Grid->setSelectionMode(QAbstractItemView::SingleSelection);
  Grid->horizontalHeader()->setStretchLastSection(true);
  Grid->horizontalHeader()->hide();
  Grid->verticalHeader()->hide();
  auto* sort = new QVBoxLayout(SortPanel);
  sort->setContentsMargins(0, 0, 0, 0);
  sort->addWidget(new QLabel(QStringLiteral("Defined Tracked Tags:"), SortPanel));
  sort->addWidget(Grid);
  connect(Grid, &QTableWidget::itemSelectionChanged, this, [this] {
    const auto rows = Grid->selectionModel()->selectedRows();
    model_.SelectGridRow(rows.isEmpty() ? -1 : rows.front().row());
  });

  OKButton = MakeDialogButton(this, "OKButton", "OK");
  OKButton->setDefault(true);
  CancelButton = MakeDialogButton(this, "CancelButton", "Cancel");
  connect(OKButton, &QPushButton::clicked, this, &TAdvancedSortColForm::OKButtonClick);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  auto* bottom = new QHBoxLayout;
  bottom->addStretch(1);
  bottom->addWidget(OKButton);
  bottom->addWidget(CancelButton);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(TopPanel);
  layout->addWidget(CustomCheck);
  layout->addWidget(CustomEdit);
  layout->addWidget(CollocPanel);
  layout->addWidget(SortPanel, 1);
  layout->addLayout(bottom);

  // The parts that do not change while the dialog is open.
  for (int i = 0; i < 3; ++i) {
    boxes_[size_t(i)]->setTitle(Latin(model.Boxes[size_t(i)].Caption.c_str()));
    reverses_[size_t(i)]->setText(Latin(model.Reverse[size_t(i)].Caption.c_str()));
    reverses_[size_t(i)]->setVisible(model.Reverse[size_t(i)].Visible);
  }
  CustomCheck->setText(Latin(model.CustomCheck.Caption.c_str()));
  CustomEdit->setText(ToQString(model.CustomText));
  SpanCheck->setText(Latin(model.SpanCheck.Caption.c_str()));
  ShowFirstUpDown->SetPosition(std::stoi(model.ShowFirstText));
  Grid->setRowCount(int(model.GridRows.size()));
  for (size_t row = 0; row < model.GridRows.size(); ++row)
    for (int col = 0; col < 3; ++col)
      Grid->setItem(int(row), col, new QTableWidgetItem(ToQString(model.GridRows[row][size_t(col)])));
  CollocPanel->setVisible(model.CollocPanelVisible);
  SortPanel->setVisible(model.SortPanelVisible);
  ShowModel();
  adjustSize();  // collocation mode: without the Reverse boxes and the sort panel
}

TAdvancedSortColForm::~TAdvancedSortColForm() = default;

void TAdvancedSortColForm::ShowModel()
{
  for (size_t i = 0; i < 3; ++i) {
    const QSignalBlocker block(combos_[i]);
    boxes_[i]->setEnabled(model_.Boxes[i].Enabled);
    combos_[i]->setCurrentIndex(model_.KeyIndex[i]);
    reverses_[i]->setEnabled(model_.Reverse[i].Enabled);
    reverses_[i]->setChecked(model_.Reverse[i].Checked);
  }
  CustomCheck->setChecked(model_.CustomCheck.Checked);
  CustomEdit->setEnabled(model_.CustomEditEnabled);
  SpanCheck->setChecked(model_.SpanCheck.Checked);
  SpanCombo->setEnabled(model_.SpanComboEnabled);
  {
    const QSignalBlocker block(SpanCombo);
    SpanCombo->setCurrentIndex(model_.SpanIndex);
  }
  const QSignalBlocker block(Grid);
  if (model_.GridRow >= 0)
    Grid->selectRow(model_.GridRow);
  else
    Grid->clearSelection();
}

void TAdvancedSortColForm::OKButtonClick()
{
  std::string customText;
  if (!TextFromWidget(CustomEdit->text(), customText)) {
    FocusControl("CustomEdit", -1);
    return;
  }
  model_.CustomText = customText;
  if (model_.CollocPanelVisible)
    model_.ShowFirstText = std::to_string(ClampUpDownEdit(ShowFirstUpDown));
  const TAdvancedSortOkOutcome outcome = model_.OKBtnClick();
  if (outcome.Close) {
    accept();
    return;
  }
  if (!outcome.Focus.empty())
    FocusControl(outcome.Focus, outcome.Caret);
}

void TAdvancedSortColForm::FocusControl(const std::string& name, int32_t caret)
{
  QWidget* w = findChild<QWidget*>(QString::fromStdString(name));
  if (!w)
    return;
  w->setFocus(Qt::OtherFocusReason);
  if (w == CustomEdit && caret >= 0)
    // The caret counts bytes of the code page; the edit counts characters.
    CustomEdit->setCursorPosition(int(ToQString(model_.CustomText.substr(0, size_t(caret))).size()));
}

int TAdvancedSortColForm::ShowModal()
{
  return exec() == QDialog::Accepted ? mrOk : mrCancel;
}

void TAdvancedSortColForm::Beep()
{
  QApplication::beep();
}

void InstallAdvancedSortForm()
{
  SetAdvancedSortViewMaker([](TAdvancedSortColModel& model) {
    return std::make_unique<TAdvancedSortColForm>(model, QApplication::activeWindow());
  });
}
