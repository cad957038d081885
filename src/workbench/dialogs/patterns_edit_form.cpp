#include "workbench/dialogs/patterns_edit_form.h"

#include "foundation/settings.h"
#include "workbench/dialogs/edit_helpers.h"
#include "workbench/frame/frame_dialogs.h"
#include "workbench/frame/qt_text.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QVBoxLayout>

#include <algorithm>

TPatternsEditForm::TPatternsEditForm(TPatternsEditModel& model, QWidget* parent) : QDialog(parent), model_(model)
{
  setObjectName(QStringLiteral("PatternsEditForm"));
  setWindowTitle(QString::fromLatin1(TPatternsEditModel::Caption));
  PatternsMemo = new QPlainTextEdit(this);
  PatternsMemo->setObjectName(QStringLiteral("PatternsMemo"));
  PatternsMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
  PatternsMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  PatternsMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  auto* label = new QLabel(QStringLiteral("&Patterns:"), this);
  label->setBuddy(PatternsMemo);
  OKBtn = MakeDialogButton(this, "OKBtn", "OK");
  OKBtn->setDefault(true);
  CancelBtn = MakeDialogButton(this, "CancelBtn", "Cancel");
  LoadBtn = MakeDialogButton(this, "LoadBtn", "&Load...");
  SaveBtn = MakeDialogButton(this, "SaveBtn", "&Save...");

  auto* buttons = new QVBoxLayout;
  for (QPushButton* b : {OKBtn, CancelBtn, LoadBtn, SaveBtn})
    buttons->addWidget(b);
  buttons->addStretch(1);
  auto* memo = new QVBoxLayout;
  memo->addWidget(label);
  memo->addWidget(PatternsMemo, 1);
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(memo, 1);
  layout->addLayout(buttons);
  resize(460, 300);

  connect(OKBtn, &QPushButton::clicked, this, &TPatternsEditForm::ClickOK);
  connect(CancelBtn, &QPushButton::clicked, this, &TPatternsEditForm::reject);
  connect(LoadBtn, &QPushButton::clicked, this, &TPatternsEditForm::ClickLoad);
  connect(SaveBtn, &QPushButton::clicked, this, &TPatternsEditForm::ClickSave);

  model_.SetView(this);
  PatternsMemo->setFont(ToQFont(SystemFont));
  ShowLines();
  PatternsMemo->document()->setModified(false);
  model_.Modified = false;
  // The selection: memo positions, clipped to the text.
  QTextCursor cursor(PatternsMemo->document());
  const int end = PatternsMemo->document()->characterCount() - 1;
  cursor.setPosition(std::min(int(model_.SelStart), end));
  cursor.setPosition(std::min(int(model_.SelStart + model_.SelLength), end), QTextCursor::KeepAnchor);
  PatternsMemo->setTextCursor(cursor);
  PatternsMemo->setFocus(Qt::OtherFocusReason);
}

bool TPatternsEditForm::Collect()
{
  std::string text;
  if (!TextFromWidget(PatternsMemo->toPlainText(), text)) {
    PatternsMemo->setFocus(Qt::OtherFocusReason);
    return false;
  }
  model_.Lines = PatternsMemoLines(text);
  model_.Modified = PatternsMemo->document()->isModified();
  return true;
}

void TPatternsEditForm::ShowLines()
{
  const QString text = ToQString(PatternsMemoText(model_.Lines));
  if (PatternsMemo->toPlainText() != text)
    PatternsMemo->setPlainText(text);
  PatternsMemo->document()->setModified(model_.Modified);
}

void TPatternsEditForm::ClickOK()
{
  if (!Collect())
    return;
  const bool close = model_.OKBtnClick();
  PatternsMemo->setFocus(Qt::OtherFocusReason);
  if (close)
    accept();
}

void TPatternsEditForm::ClickLoad()
{
  // The memo stays as it is unless a file was loaded, so text the code page
  // cannot hold is kept when the user keeps it or the load fails.
  model_.Modified = PatternsMemo->document()->isModified();
  if (UnrepresentableChars(PatternsMemo->toPlainText()).empty())
    model_.Lines = PatternsMemoLines(FromQString(PatternsMemo->toPlainText()));
  if (model_.LoadBtnClick())
    ShowLines();
  PatternsMemo->setFocus(Qt::OtherFocusReason);
}

void TPatternsEditForm::ClickSave()
{
  if (Collect())
    model_.SaveBtnClick();
  PatternsMemo->setFocus(Qt::OtherFocusReason);
}

bool ChoosePatternsFile(TFileDialog::TMode mode, std::string& fileName)
{
  const bool load = mode == TFileDialog::OpenMode;
  TFileDialog dialog(load ? "OpenDialog" : "SaveDialog", mode);
  dialog.Title = load ? TPatternsEditModel::LoadTitle : TPatternsEditModel::SaveTitle;
  dialog.DefaultExt = TPatternsEditModel::DefaultExt;
  dialog.Filter = TPatternsEditModel::Filter;
  dialog.Options = load ? ofPathMustExist | ofFileMustExist : ofOverwritePrompt | ofPathMustExist;
  if (!dialog.Execute())
    return false;
  fileName = dialog.FileName;
  return true;
}

bool TPatternsEditForm::ChooseLoadFile(std::string& fileName)
{
  return ChoosePatternsFile(TFileDialog::OpenMode, fileName);
}

bool TPatternsEditForm::ChooseSaveFile(std::string& fileName)
{
  return ChoosePatternsFile(TFileDialog::SaveMode, fileName);
}

void TPatternsEditForm::reject()
{
  model_.Modified = PatternsMemo->document()->isModified();
  if (!model_.CanCancel()) {
    PatternsMemo->setFocus(Qt::OtherFocusReason);
    return;
  }
  QDialog::reject();
}

void TPatternsEditForm::closeEvent(QCloseEvent* event)
{
  // The window's close button takes the Cancel rule.
  event->ignore();
  reject();
}

bool ExecutePatternsEditor(TPatternsEditModel& model)
{
  QWidget* parent = QApplication::activeModalWidget();
  if (!parent)
    parent = QApplication::activeWindow();
  TPatternsEditForm form(model, parent);
  return form.exec() == QDialog::Accepted;
}

void InstallPatternsEditor()
{
  SetPatternsEditor(ExecutePatternsEditor);
}
