#include "workbench/dialogs/edit_helpers.h"

#include "forms/search_dialog_model.h"
#include "foundation/utils.h"
#include "workbench/frame/qt_text.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <string>
#include <vector>

QComboBox* MakeHistoryBox(QWidget* parent)
{
  auto* combo = new QComboBox(parent);
  combo->setEditable(true);
  combo->setInsertPolicy(QComboBox::NoInsert);
  // The box never changes what was typed: no inline completion from the
  // history, which stays in the drop-down list.
  combo->setCompleter(nullptr);
  return combo;
}

void AddToHistory(QComboBox* combo)
{
  // Text the code page cannot hold stays out of the history (it is refused
  // when the dialog takes it).
  if (!UnrepresentableChars(combo->currentText()).empty())
    return;
  std::vector<std::string> items;
  items.reserve(size_t(combo->count()));
  for (int i = 0; i < combo->count(); ++i)
    items.push_back(FromQString(combo->itemText(i)));
  std::string text = FromQString(combo->currentText());
  const int32_t selected = AddToHistory(items, text);
  if (selected < 0) {
    combo->setEditText(QString());
    return;
  }
  const QSignalBlocker block(combo);
  combo->clear();
  for (const std::string& item : items)
    combo->addItem(ToQString(item));
  combo->setCurrentIndex(selected);
  combo->setEditText(ToQString(text));
}

void ShowItems(QComboBox* combo, const std::vector<std::string>& items, int32_t index)
{
  bool same = combo->count() == int(items.size());
  for (int i = 0; same && i < combo->count(); ++i)
    same = FromQString(combo->itemText(i)) == items[size_t(i)];
  if (!same) {
    combo->clear();
    for (const std::string& item : items)
      combo->addItem(ToQString(item));
  }
  combo->setCurrentIndex(index);
}

void ShowPatternBox(QComboBox* combo, const TPatternBox& box)
{
  const QSignalBlocker block(combo);
  ShowItems(combo, box.Items, box.ItemIndex);
  if (FromQString(combo->currentText()) != box.Text)
    combo->setEditText(ToQString(box.Text));
  combo->setEnabled(box.Enabled);
}

int32_t ClampEditToRange(QLineEdit* edit, int32_t fallback, int32_t min, int32_t max)
{
  std::string text = FromQString(edit->text());
  const int32_t value = ClampEditToRange(text, fallback, min, max);
  edit->setText(ToQString(text));
  return value;
}

TUpDownEdit::TUpDownEdit(QWidget* parent) : QWidget(parent)
{
  edit_ = new QLineEdit(this);
  edit_->setObjectName(QStringLiteral("Edit"));
  up_ = new QToolButton(this);
  up_->setArrowType(Qt::UpArrow);
  up_->setObjectName(QStringLiteral("Up"));
  down_ = new QToolButton(this);
  down_->setArrowType(Qt::DownArrow);
  down_->setObjectName(QStringLiteral("Down"));
  for (QToolButton* b : {up_, down_}) {
    b->setAutoRepeat(true);
    b->setFixedSize(16, 11);
    b->setFocusPolicy(Qt::NoFocus);
  }
  auto* arrows = new QVBoxLayout;
  arrows->setContentsMargins(0, 0, 0, 0);
  arrows->setSpacing(0);
  arrows->addWidget(up_);
  arrows->addWidget(down_);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(edit_);
  layout->addLayout(arrows);
  setFocusProxy(edit_);
  connect(up_, &QToolButton::clicked, this, [this] { StepBy(1); });
  connect(down_, &QToolButton::clicked, this, [this] { StepBy(-1); });
  SetPosition(0);
}

void TUpDownEdit::SetRange(int32_t min, int32_t max)
{
  min_ = min;
  max_ = max;
  SetPosition(std::clamp(position_, min_, std::max(min_, max_)));
}

void TUpDownEdit::SetPosition(int32_t value)
{
  position_ = value;
  edit_->setText(QString::number(value));
}

void TUpDownEdit::StepBy(int steps)
{
  const int64_t value = int64_t(ClampUpDownEdit(this)) + int64_t(steps) * increment_;
  SetPosition(int32_t(std::clamp<int64_t>(value, min_, std::max(min_, max_))));
}

int32_t ClampUpDownEdit(TUpDownEdit* upDown)
{
  const int32_t value = ClampEditToRange(upDown->edit_, upDown->position_, upDown->min_, upDown->max_);
  upDown->position_ = value;
  return value;
}

QPushButton* MakeDialogButton(QWidget* parent, const char* name, const char* caption)
{
  auto* b = new QPushButton(QString::fromLatin1(caption), parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setAutoDefault(false);
  return b;
}
