#include "workbench/dialogs/input_form.h"

#include "foundation/dialogs.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TIForm::TIForm(QWidget* parent) : QDialog(parent)
{
  setObjectName(QStringLiteral("IForm"));
  PromptLabel = new QLabel(this);
  PromptLabel->setObjectName(QStringLiteral("PromptLabel"));
  PromptLabel->setTextFormat(Qt::PlainText);
  EditBox = new QLineEdit(this);
  EditBox->setObjectName(QStringLiteral("EditBox"));
  EditBox->setMinimumWidth(300);
  OkBtn = new QPushButton(QStringLiteral("Ok"), this);
  OkBtn->setObjectName(QStringLiteral("OkBtn"));
  OkBtn->setDefault(true);
  CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
  CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
  CancelBtn->setAutoDefault(false);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(PromptLabel);
  layout->addWidget(EditBox);
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(OkBtn);
  row->addWidget(CancelBtn);
  layout->addLayout(row);

  connect(OkBtn, &QPushButton::clicked, this, [this] { done(mrOk); });
  connect(CancelBtn, &QPushButton::clicked, this, [this] { done(mrCancel); });
  EditBox->setFocus();
}

void TIForm::reject()
{
  done(mrCancel);
}
