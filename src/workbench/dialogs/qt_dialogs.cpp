#include "workbench/dialogs/qt_dialogs.h"

#include "workbench/dialogs/input_form.h"
#include "workbench/dialogs/message_form.h"
#include "workbench/dialogs/progress_form.h"
#include "workbench/frame/qt_text.h"

#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>

QtDialogService::~QtDialogService()
{
  if (installed_)
    SetDialogService(previous_);
}

void QtDialogService::install()
{
  if (!installed_) {
    previous_ = SetDialogService(this);
    installed_ = true;
  }
}

int QtDialogService::ShowMessageBox(const MessageBoxRequest& r)
{
  QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
  auto form = CreateMessageForm(r.Message, r.Kind, r.Buttons, r.Focused);
  form->SetHelpContext(r.HelpContext);
  QPoint pos = form->pos();
  if (r.X >= 0)
    pos.setX(r.X);
  if (r.Y >= 0)
    pos.setY(r.Y);
  form->move(pos);
  const int result = form->exec();
  form.reset();
  QGuiApplication::restoreOverrideCursor();
  return result;
}

bool QtDialogService::QueryInput(std::string_view caption, std::string_view prompt, const TFontRec& font,
                                 std::string& text)
{
  TIForm form;
  form.setWindowTitle(ToQString(caption));
  form.PromptLabel->setText(ToQString(prompt));
  form.EditBox->setFont(ToQFont(font));
  form.EditBox->clear();
  int result = form.exec();
  // OK on text the code page cannot hold says so and keeps the box open.
  while (result == mrOk && !TextFromWidget(form.EditBox->text(), text))
    result = form.exec();
  if (result != mrOk)
    text = FromQString(form.EditBox->text());
  return result == mrOk;
}

std::unique_ptr<ProgressDialog> QtDialogService::CreateProgressForm(bool multiFile)
{
  return std::make_unique<TProgressForm>(multiFile);
}

std::unique_ptr<DoubleProgressDialog> QtDialogService::CreateDoubleProgressForm()
{
  return std::make_unique<TDoubleProgressForm>();
}
