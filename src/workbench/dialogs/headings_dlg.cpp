#include "workbench/dialogs/headings_dlg.h"

#include "foundation/dialogs.h"
#include "workbench/dialogs/edit_helpers.h"
#include "workbench/frame/qt_text.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

THeadingsDlg* HeadingsDlg = nullptr;

namespace {

QLineEdit* MakeEdit(QWidget* parent, const char* name, int maxLength)
{
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::fromLatin1(name));
  if (maxLength > 0)
    edit->setMaxLength(maxLength);
  edit->setFont(ToQFont(SystemFont));
  return edit;
}

QLabel* MakeLabel(QWidget* parent, const char* caption, QWidget* buddy)
{
  auto* label = new QLabel(QString::fromLatin1(caption), parent);
  label->setBuddy(buddy);
  return label;
}

}  // namespace

// ---------------------------------------------------------------------------
// THeadingEditDlg

THeadingEditDlg::THeadingEditDlg(THeadingEdit& model, QWidget* parent) : QDialog(parent), model_(model)
{
  setObjectName(QStringLiteral("HeadingEdit"));
  setWindowTitle(ToQString(model.Caption));
  constexpr int marker = int(THeadingEdit::MaxMarkerLength);
  HeadNameEdit = MakeEdit(this, "HeadNameEdit", 0);
  auto* header = new QGroupBox(QStringLiteral("Header"), this);
  HeadStartEdit = MakeEdit(header, "HeadStartEdit", marker);
  HeadStopEdit = MakeEdit(header, "HeadStopEdit", marker);
  auto* text = new QGroupBox(QStringLiteral("Text"), this);
  TextStartEdit = MakeEdit(text, "TextStartEdit", marker);
  TextStopEdit = MakeEdit(text, "TextStopEdit", marker);

  auto* headerGrid = new QGridLayout(header);
  headerGrid->addWidget(MakeLabel(header, "&Start:", HeadStartEdit), 0, 0);
  headerGrid->addWidget(HeadStartEdit, 0, 1);
  headerGrid->addWidget(MakeLabel(header, "S&top:", HeadStopEdit), 1, 0);
  headerGrid->addWidget(HeadStopEdit, 1, 1);
  auto* textGrid = new QGridLayout(text);
  textGrid->addWidget(MakeLabel(text, "St&art:", TextStartEdit), 0, 0);
  textGrid->addWidget(TextStartEdit, 0, 1);
  textGrid->addWidget(MakeLabel(text, "Sto&p:", TextStopEdit), 1, 0);
  textGrid->addWidget(TextStopEdit, 1, 1);

  OKBtn = MakeDialogButton(this, "OKBtn", "OK");
  OKBtn->setDefault(true);
  CancelBtn = MakeDialogButton(this, "CancelBtn", "Cancel");

  auto* layout = new QVBoxLayout(this);
  auto* nameRow = new QHBoxLayout;
  nameRow->addWidget(MakeLabel(this, "Heading &name:", HeadNameEdit));
  nameRow->addWidget(HeadNameEdit, 1);
  layout->addLayout(nameRow);
  auto* groups = new QHBoxLayout;
  groups->addWidget(header);
  groups->addWidget(text);
  layout->addLayout(groups);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(OKBtn);
  buttons->addWidget(CancelBtn);
  layout->addLayout(buttons);

  HeadNameEdit->setText(ToQString(model.HeadNameEdit));
  HeadStartEdit->setText(ToQString(model.HeadStartEdit));
  HeadStopEdit->setText(ToQString(model.HeadStopEdit));
  TextStartEdit->setText(ToQString(model.TextStartEdit));
  TextStopEdit->setText(ToQString(model.TextStopEdit));
  OKBtn->setEnabled(model.OKBtnEnabled);
  for (QLineEdit* edit : {HeadNameEdit, HeadStartEdit, HeadStopEdit, TextStartEdit, TextStopEdit})
    connect(edit, &QLineEdit::textChanged, this, [this] { EditChange(); });
  connect(OKBtn, &QPushButton::clicked, this, [this] { OKBtnClick(); });
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void THeadingEditDlg::EditChange()
{
  model_.HeadNameEdit = FromQString(HeadNameEdit->text());
  model_.HeadStartEdit = FromQString(HeadStartEdit->text());
  model_.HeadStopEdit = FromQString(HeadStopEdit->text());
  model_.TextStartEdit = FromQString(TextStartEdit->text());
  model_.TextStopEdit = FromQString(TextStopEdit->text());
  model_.EditChange();
  OKBtn->setEnabled(model_.OKBtnEnabled);
}

void THeadingEditDlg::OKBtnClick()
{
  // Markers and names the code page cannot hold are refused.
  std::string bytes;
  for (QLineEdit* edit : {HeadNameEdit, HeadStartEdit, HeadStopEdit, TextStartEdit, TextStopEdit})
    if (!TextFromWidget(edit->text(), bytes)) {
      edit->setFocus(Qt::OtherFocusReason);
      return;
    }
  EditChange();
  if (!model_.OKBtnEnabled) {
    HeadNameEdit->setFocus(Qt::OtherFocusReason);
  } else if (model_.OKBtnClick()) {
    accept();
  } else {
    // The edit to correct: the name, or a marker without text.
    auto* edit = findChild<QLineEdit*>(ToQString(model_.ActiveControl));
    (edit ? edit : HeadNameEdit)->setFocus(Qt::OtherFocusReason);
  }
}

bool ExecuteHeadingEditor(THeadingEdit& model)
{
  QWidget* parent = QApplication::activeModalWidget();
  if (!parent)
    parent = QApplication::activeWindow();
  THeadingEditDlg dialog(model, parent);
  return dialog.exec() == QDialog::Accepted;
}

// ---------------------------------------------------------------------------
// THeadingsDlg

THeadingsDlg::THeadingsDlg(QWidget* parent) : QDialog(parent)
{
  setObjectName(QStringLiteral("HeadingsDlg"));
  setWindowTitle(QString::fromLatin1(THeadingsModel::Caption));
  HeadingsList = new QListWidget(this);
  HeadingsList->setObjectName(QStringLiteral("HeadingsList"));
  HeadingsList->setSortingEnabled(false);
  AddBtn = MakeDialogButton(this, "AddBtn", "&Add...");
  EditBtn = MakeDialogButton(this, "EditBtn", "&Edit");
  RemoveBtn = MakeDialogButton(this, "RemoveBtn", "&Remove");
  CloseBtn = MakeDialogButton(this, "CloseBtn", "Close");
  CloseBtn->setDefault(true);

  auto* layout = new QGridLayout(this);
  layout->addWidget(MakeLabel(this, "&Headings:", HeadingsList), 0, 0);
  layout->addWidget(HeadingsList, 1, 0, 5, 1);
  layout->addWidget(AddBtn, 1, 1);
  layout->addWidget(EditBtn, 2, 1);
  layout->addWidget(RemoveBtn, 3, 1);
  layout->setRowStretch(4, 1);
  layout->addWidget(CloseBtn, 5, 1);

  connect(AddBtn, &QPushButton::clicked, this, [this] { Handle([this] { model_.AddBtnClick(); }); });
  connect(EditBtn, &QPushButton::clicked, this, [this] { Handle([this] { model_.EditBtnClick(); }); });
  connect(RemoveBtn, &QPushButton::clicked, this, [this] { Handle([this] { model_.RemoveBtnClick(); }); });
  connect(CloseBtn, &QPushButton::clicked, this, &QDialog::reject);
  connect(HeadingsList, &QListWidget::itemDoubleClicked, this,
          [this] { Handle([this] { model_.EditBtnClick(); }); });
  connect(HeadingsList, &QListWidget::currentRowChanged, this, [this](int row) {
    if (!showing_)
      model_.ItemIndex = row;
  });
  HeadingsList->installEventFilter(this);

  SetTextFont(SystemFont);
  QPointer<THeadingsDlg> self(this);
  AddDialogFontListener([self] {
    if (self)
      self->SetTextFont(SystemFont);
  });
  SetHeadingEditor(ExecuteHeadingEditor);
  HeadingsDlg = this;
}

THeadingsDlg::~THeadingsDlg()
{
  if (HeadingsDlg == this)
    HeadingsDlg = nullptr;
}

template <class F> void THeadingsDlg::Handle(F&& handler)
{
  if (showing_)
    return;
  handler();
  ShowModel();
}

bool THeadingsDlg::eventFilter(QObject* watched, QEvent* event)
{
  if (watched == HeadingsList && (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)) {
    auto* key = static_cast<QKeyEvent*>(event);
    const bool press = event->type() == QEvent::KeyPress;
    if (press && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
      // Enter edits; it must not reach the default button.
      Handle([this] { model_.EditBtnClick(); });
      return true;
    }
    if (!press && !key->isAutoRepeat()) {
      if (key->key() == Qt::Key_Insert) {
        Handle([this] { model_.AddBtnClick(); });
        return true;
      }
      if (key->key() == Qt::Key_Delete) {
        Handle([this] { model_.RemoveBtnClick(); });
        return true;
      }
    }
  }
  return QDialog::eventFilter(watched, event);
}

void THeadingsDlg::SetTextFont(const TFontRec& font)
{
  HeadingsList->setFont(ToQFont(font));
}

void THeadingsDlg::ShowModel()
{
  showing_ = true;
  {
    const QSignalBlocker block(HeadingsList);
    HeadingsList->clear();
    for (const THeading& h : model_.Headings())
      HeadingsList->addItem(ToQString(h.Name));
    HeadingsList->setCurrentRow(model_.ItemIndex);
  }
  EditBtn->setEnabled(model_.EditBtnEnabled);
  RemoveBtn->setEnabled(model_.RemoveBtnEnabled);
  showing_ = false;
}

int THeadingsDlg::ShowModal()
{
  model_.FormShow();
  ShowModel();
  HeadingsList->setFocus(Qt::OtherFocusReason);
  return exec() == QDialog::Accepted ? mrOk : mrCancel;
}
