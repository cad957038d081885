#include "workbench/dialogs/batch_options_form.h"

#include "foundation/dialogs.h"
#include "workbench/dialogs/edit_helpers.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

TBatchSearchCfgDlg* BatchSearchCfgDlg = nullptr;

TBatchSearchCfgDlg::TBatchSearchCfgDlg(QWidget* parent) : QDialog(parent)
{
  setObjectName(QStringLiteral("BatchSearchCfgForm"));
  setWindowTitle(QString::fromLatin1(TBatchSearchCfgForm::Caption));

  FormatGroup = new QGroupBox(QStringLiteral("Output format"), this);
  FormatGroup->setObjectName(QStringLiteral("FormatGroup"));
  FormatGroup->setFocusPolicy(Qt::TabFocus);
  SortingBtn = MakeDialogButton(FormatGroup, "SortingBtn", "&Sorting...");
  ContextTypeBtn = MakeDialogButton(FormatGroup, "ContextTypeBtn", "&Context type...");
  auto* format = new QVBoxLayout(FormatGroup);
  format->addWidget(SortingBtn);
  format->addWidget(ContextTypeBtn);

  SuppressGroup = new QGroupBox(QStringLiteral("S&uppress"), this);
  SuppressGroup->setObjectName(QStringLiteral("SuppressGroup"));
  auto* suppress = new QVBoxLayout(SuppressGroup);
  const char* names[3] = {"TagsCheck", "PartOfSpeechCheck", "WordsCheck"};
  const char* captions[3] = {"&Tags", "&Part of Speech", "&Words"};
  QCheckBox** boxes[3] = {&TagsCheck, &PartOfSpeechCheck, &WordsCheck};
  for (int i = 0; i < 3; ++i) {
    auto* box = new QCheckBox(QString::fromLatin1(captions[i]), SuppressGroup);
    box->setObjectName(QString::fromLatin1(names[i]));
    suppress->addWidget(box);
    *boxes[i] = box;
    connect(box, &QCheckBox::clicked, this, [this, i](bool checked) {
      BatchSearchCfgForm().SuppressClick(i, checked);
      ShowChecks();
    });
  }

  OKBtn = MakeDialogButton(this, "OKBtn", "OK");
  OKBtn->setDefault(true);
  CancelBtn = MakeDialogButton(this, "CancelBtn", "Cancel");
  auto* groups = new QHBoxLayout;
  groups->addWidget(FormatGroup);
  groups->addWidget(SuppressGroup);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(OKBtn);
  buttons->addWidget(CancelBtn);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(groups);
  layout->addLayout(buttons);

  connect(SortingBtn, &QPushButton::clicked, this, [] { BatchSearchCfgForm().SortingBtnClick(); });
  connect(ContextTypeBtn, &QPushButton::clicked, this, [] { BatchSearchCfgForm().ContextTypeBtnClick(); });
  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  BatchSearchCfgDlg = this;
}

TBatchSearchCfgDlg::~TBatchSearchCfgDlg()
{
  if (BatchSearchCfgDlg == this)
    BatchSearchCfgDlg = nullptr;
}

void TBatchSearchCfgDlg::ShowChecks()
{
  const TBatchSearchCfgForm& model = BatchSearchCfgForm();
  const auto boxes = checks();
  for (size_t i = 0; i < boxes.size(); ++i) {
    const QSignalBlocker blocker(boxes[i]);
    boxes[i]->setChecked(model.SuppressChecks[i].Checked);
    boxes[i]->setEnabled(model.SuppressChecks[i].Enabled);
  }
}

int TBatchSearchCfgDlg::ShowModal()
{
  TBatchSearchCfgForm& model = BatchSearchCfgForm();
  model.FormShow();
  ShowChecks();
  FormatGroup->setFocus();
  exec();
  return model.ModalResult;
}

void TBatchSearchCfgDlg::accept()
{
  BatchSearchCfgForm().OKBtnClick();
  QDialog::accept();
}

void TBatchSearchCfgDlg::reject()
{
  BatchSearchCfgForm().CancelBtnClick();
  QDialog::reject();
}
