#include "workbench/dialogs/hdctx_form.h"

#include "workbench/dialogs/edit_helpers.h"
#include "workbench/dialogs/headings_dlg.h"
#include "workbench/frame/qt_text.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

THdCtxDlg* HdCtxForm = nullptr;

namespace {

template <class W> W* Named(W* widget, const char* name)
{
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

QComboBox* MakePatternBox(QWidget* parent, const char* name)
{
  auto* box = Named(MakeHistoryBox(parent), name);
  box->lineEdit()->setMaxLength(int(TPatternBox::MaxLength));
  return box;
}

void ShowCheck(QCheckBox* check, const TControlState& state)
{
  const QSignalBlocker block(check);
  check->setChecked(state.Checked);
  check->setEnabled(state.Enabled);
}

}  // namespace

THdCtxDlg::THdCtxDlg(THeadingsDlg& headings, QWidget* parent)
  : QDialog(parent), headings_(headings), model_(headings.Model(), this)
{
  setObjectName(QStringLiteral("HdCtxForm"));
  setWindowTitle(QString::fromLatin1(THdCtxForm::Caption));
  const THdCtxForm& m = model_;
  HeadingCheck = Named(new QCheckBox(ToQString(m.HeadingCheck.Caption), this), "HeadingCheck");
  HeadingCombo = Named(new QComboBox(this), "HeadingCombo");
  HeadingEditBtn = Named(new QPushButton(ToQString(m.HeadingEditBtn.Caption), this), "HeadingEditBtn");
  HeadingEditBtn->setAutoDefault(false);
  HeadingPattern = MakePatternBox(this, "HeadingPattern");
  HeadPatternLabel = Named(new QLabel(ToQString(m.HeadPatternLabel.Caption), this), "HeadPatternLabel");
  HeadPatternLabel->setBuddy(HeadingPattern);
  ContextCheck = Named(new QCheckBox(ToQString(m.ContextCheck.Caption), this), "ContextCheck");
  LeftPattern = MakePatternBox(this, "LeftPattern");
  LeftPatternLabel = Named(new QLabel(ToQString(m.LeftPatternLabel.Caption), this), "LeftPatternLabel");
  LeftPatternLabel->setBuddy(LeftPattern);
  RightPattern = MakePatternBox(this, "RightPattern");
  RightPatternLabel = Named(new QLabel(ToQString(m.RightPatternLabel.Caption), this), "RightPatternLabel");
  RightPatternLabel->setBuddy(RightPattern);
  OKButton = Named(new QPushButton(ToQString(m.OKButton.Caption), this), "OKButton");
  OKButton->setDefault(true);

  auto* grid = new QGridLayout(this);
  grid->addWidget(HeadingCheck, 0, 0);
  grid->addWidget(HeadingCombo, 0, 1);
  grid->addWidget(HeadingEditBtn, 0, 2);
  grid->addWidget(HeadPatternLabel, 1, 0, Qt::AlignRight);
  grid->addWidget(HeadingPattern, 1, 1, 1, 2);
  grid->addWidget(ContextCheck, 2, 0);
  grid->addWidget(LeftPatternLabel, 3, 0, Qt::AlignRight);
  grid->addWidget(LeftPattern, 3, 1, 1, 2);
  grid->addWidget(RightPatternLabel, 4, 0, Qt::AlignRight);
  grid->addWidget(RightPattern, 4, 1, 1, 2);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(OKButton);
  grid->addLayout(buttons, 5, 0, 1, 3);
  grid->setColumnStretch(1, 1);
  grid->setColumnMinimumWidth(1, 220);

  connect(HeadingCheck, &QCheckBox::clicked, this, [this](bool on) { Handle([&] { model_.HeadingCheckClick(on); }); });
  connect(ContextCheck, &QCheckBox::clicked, this, [this](bool on) { Handle([&] { model_.ContextCheckClick(on); }); });
  connect(HeadingCombo, &QComboBox::activated, this, [this](int i) { Handle([&] { model_.HeadingComboChange(i); }); });
  connect(HeadingEditBtn, &QPushButton::clicked, this, [this] { Handle([this] { model_.HeadingEditBtnClick(); }); });
  connect(OKButton, &QPushButton::clicked, this, [this] {
    closingByButton_ = true;
    reject();
  });
  for (QComboBox* combo : {HeadingPattern, LeftPattern, RightPattern}) {
    connect(combo, &QComboBox::editTextChanged, this, [this, combo](const QString& text) {
      if (!showing_)
        BoxOf(combo).Text = FromQString(text);
    });
    connect(combo, &QComboBox::currentIndexChanged, this, [this, combo](int index) {
      if (!showing_)
        BoxOf(combo).ItemIndex = index;
    });
    combo->installEventFilter(this);
  }

  SetTextFont(SystemFont);
  QPointer<THdCtxDlg> self(this);
  AddDialogFontListener([self] {
    if (self)
      self->SetTextFont(SystemFont);
  });
  ShowModel();
  HdCtxForm = this;
}

THdCtxDlg::~THdCtxDlg()
{
  if (HdCtxForm == this)
    HdCtxForm = nullptr;
}

template <class F> void THdCtxDlg::Handle(F&& handler)
{
  if (showing_)
    return;
  handler();
  ShowModel();
}

TPatternBox& THdCtxDlg::BoxOf(QObject* combo)
{
  if (combo == HeadingPattern)
    return model_.HeadingPattern();
  if (combo == LeftPattern)
    return model_.LeftPattern();
  return model_.RightPattern();
}

bool THdCtxDlg::eventFilter(QObject* watched, QEvent* event)
{
  if (event->type() == QEvent::FocusOut &&
      (watched == HeadingPattern || watched == LeftPattern || watched == RightPattern)) {
    // Leaving the box; not when its list drops down or another window comes up.
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    // Text the code page cannot hold is not remembered; the search refuses it.
    if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason &&
        UnrepresentableChars(static_cast<QComboBox*>(watched)->currentText()).empty())
      Handle([&] { model_.PatternExit(BoxOf(watched)); });
  }
  return QDialog::eventFilter(watched, event);
}

void THdCtxDlg::SetTextFont(const TFontRec& font)
{
  const QFont f = ToQFont(font);
  HeadingPattern->setFont(f);
  LeftPattern->setFont(f);
  RightPattern->setFont(f);
}

void THdCtxDlg::ShowModel()
{
  THdCtxForm& m = model_;
  showing_ = true;
  ShowCheck(HeadingCheck, m.HeadingCheck);
  ShowCheck(ContextCheck, m.ContextCheck);
  {
    const QSignalBlocker block(HeadingCombo);
    ShowItems(HeadingCombo, m.HeadingCombo.Items, m.HeadingCombo.ItemIndex);
    HeadingCombo->setEnabled(m.HeadingCombo.Enabled);
  }
  HeadPatternLabel->setEnabled(m.HeadPatternLabel.Enabled);
  LeftPatternLabel->setEnabled(m.LeftPatternLabel.Enabled);
  RightPatternLabel->setEnabled(m.RightPatternLabel.Enabled);
  ShowPatternBox(HeadingPattern, m.HeadingPattern());
  ShowPatternBox(LeftPattern, m.LeftPattern());
  ShowPatternBox(RightPattern, m.RightPattern());
  showing_ = false;
}

bool THdCtxDlg::IsActiveForm() const
{
  return isVisible() && QApplication::activeModalWidget() == this;
}

void THdCtxDlg::ShowModal()
{
  if (IsActiveForm()) {
    FocusActiveControl();
    return;
  }
  model_.FormShow();
  ShowModel();
  FocusActiveControl();
  exec();
}

void THdCtxDlg::FocusActiveControl()
{
  if (QWidget* w = findChild<QWidget*>(QString::fromStdString(model_.ActiveControl)))
    w->setFocus(Qt::OtherFocusReason);
}

void THdCtxDlg::ShowHeadings()
{
  headings_.ShowModal();
}

void THdCtxDlg::done(int result)
{
  // Closing with the button leaves it the active control; closing by Escape
  // keeps the control that had the focus, which gets it again at the next
  // show.
  if (closingByButton_) {
    model_.ActiveControl = "OKButton";
  } else {
    for (QWidget* w = focusWidget(); w && w != this; w = w->parentWidget())
      if (w->parentWidget() == this && !w->objectName().isEmpty()) {
        model_.ActiveControl = w->objectName().toStdString();
        break;
      }
  }
  closingByButton_ = false;
  QDialog::done(result);
}
