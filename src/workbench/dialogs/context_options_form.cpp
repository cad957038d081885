#include "workbench/dialogs/context_options_form.h"

#include "foundation/settings.h"
#include "workbench/dialogs/edit_helpers.h"
#include "workbench/frame/qt_text.h"
#include "workbench/dialogs/stop_list_dlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPalette>
#include <QPushButton>
#include <QVBoxLayout>

#include <string>

namespace {

QString Latin(const char* text)
{
  return QString::fromLatin1(text);
}

// The font of a text box, with its colour when it is not a system colour.
void ApplyFont(QWidget* widget, const TFontRec& rec)
{
  widget->setFont(ToQFont(rec));
  if (rec.Color >= 0) {  // BGR
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Text, QColor(rec.Color & 0xFF, (rec.Color >> 8) & 0xFF, (rec.Color >> 16) & 0xFF));
    widget->setPalette(palette);
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// TContextOptionsForm

TContextOptionsForm::TContextOptionsForm(const TContextRecord& record, QWidget* parent)
  : QDialog(parent), model_(record)
{
  setObjectName(QStringLiteral("ContextOptionsForm"));
  setWindowTitle(Latin(TContextOptionsModel::Caption));

  ContextTypeCombo = new QComboBox(this);
  ContextTypeCombo->setObjectName(QStringLiteral("ContextTypeCombo"));
  for (const char* name : TContextOptionsModel::TypeNames)
    ContextTypeCombo->addItem(Latin(name));
  auto* typeLabel = new QLabel(QStringLiteral("&Type:"), this);
  typeLabel->setBuddy(ContextTypeCombo);

  ContextSizeUpDown = new TUpDownEdit(this);
  ContextSizeUpDown->setObjectName(QStringLiteral("ContextSizeUpDown"));
  ContextSizeUpDown->SetIncrement(TContextOptionsModel::SizeStep);
  ContextSizeUpDown->Edit()->setMaxLength(TContextOptionsModel::SizeMaxLength);
  ContextCharsLabel = new QLabel(QStringLiteral("&Size:"), this);
  ContextCharsLabel->setObjectName(QStringLiteral("ContextCharsLabel"));
  ContextCharsLabel->setBuddy(ContextSizeUpDown);

  FullSentOpts = MakeDialogButton(this, "FullSentOpts", "&Options..");
  OKButton = MakeDialogButton(this, "OKButton", "OK");
  OKButton->setDefault(true);
  CancelButton = MakeDialogButton(this, "CancelButton", "Cancel");

  auto* grid = new QGridLayout;
  grid->addWidget(typeLabel, 0, 0);
  grid->addWidget(ContextTypeCombo, 0, 1);
  grid->addWidget(ContextCharsLabel, 1, 0);
  grid->addWidget(ContextSizeUpDown, 1, 1);
  grid->addWidget(FullSentOpts, 1, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(OKButton);
  buttons->addWidget(CancelButton);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addLayout(buttons);

  connect(ContextTypeCombo, &QComboBox::activated, this, [this](int index) {
    model_.SelectType(index);
    ApplyType();
  });
  connect(FullSentOpts, &QPushButton::clicked, this, [] { ShowSentenceOptions(); });
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
  ApplyType();
}

TContextOptionsForm::~TContextOptionsForm() = default;

void TContextOptionsForm::ApplyType()
{
  ContextTypeCombo->setCurrentIndex(model_.Type());
  ContextCharsLabel->setVisible(model_.SizeVisible());
  ContextSizeUpDown->setVisible(model_.SizeVisible());
  FullSentOpts->setVisible(model_.OptionsVisible());
  ContextSizeUpDown->SetRange(model_.SizeMin(), model_.SizeMax());
  ContextSizeUpDown->SetPosition(model_.Position());
}

void TContextOptionsForm::accept()
{
  const int32_t size = ClampUpDownEdit(ContextSizeUpDown);
  model_.SetSizeText(std::to_string(size));
  model_.Ok();
  QDialog::accept();
}

// ---------------------------------------------------------------------------
// TSentCfgDlg

TSentCfgDlg::TSentCfgDlg(TStopListFileChooser* chooser, QWidget* parent) : QDialog(parent), chooser_(chooser)
{
  setObjectName(QStringLiteral("SentCfgDlg"));
  setWindowTitle(Latin(TSentCfgModel::Caption));
  const TSentCfgModel model;

  DelimitersEdit = new QLineEdit(ToQString(model.Delimiters), this);
  DelimitersEdit->setObjectName(QStringLiteral("DelimitersEdit"));
  ApplyFont(DelimitersEdit, SystemFont);
  auto* label = new QLabel(QStringLiteral("Sentence Delimiters:"), this);
  label->setBuddy(DelimitersEdit);
  SmartAbbrCB = new QCheckBox(QStringLiteral("Smart Abbreviations Detect"), this);
  SmartAbbrCB->setObjectName(QStringLiteral("SmartAbbrCB"));
  SmartAbbrCB->setChecked(model.SmartAbbr);
  ExcEditBtn = MakeDialogButton(this, "ExcEditBtn", "Exceptions ...");
  OKBtn = MakeDialogButton(this, "OKBtn", "OK");
  OKBtn->setDefault(true);
  CancelBtn = MakeDialogButton(this, "CancelBtn", "Cancel");

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(ExcEditBtn);
  buttons->addStretch(1);
  buttons->addWidget(OKBtn);
  buttons->addWidget(CancelBtn);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(label);
  layout->addWidget(DelimitersEdit);
  layout->addWidget(SmartAbbrCB);
  layout->addLayout(buttons);

  connect(SmartAbbrCB, &QCheckBox::toggled, this, &TSentCfgDlg::UpdateExceptionsButton);
  connect(ExcEditBtn, &QPushButton::clicked, this, &TSentCfgDlg::EditExceptions);
  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  UpdateExceptionsButton();
}

TSentCfgDlg::~TSentCfgDlg() = default;

void TSentCfgDlg::UpdateExceptionsButton()
{
  ExcEditBtn->setEnabled(!SmartAbbrCB->isChecked());
}

void TSentCfgDlg::EditExceptions()
{
  if (!chooser_) {
    ownChooser_ = std::make_unique<TQtStopListFileChooser>(this);
    chooser_ = ownChooser_.get();
  }
  // Its changes stand whatever this dialog's result.
  TViewSentExceptsDlg dialog(chooser_, this);
  emit ExceptionsOpening(&dialog);
  dialog.exec();
}

void TSentCfgDlg::accept()
{
  TSentCfgModel model;
  if (!TextFromWidget(DelimitersEdit->text(), model.Delimiters)) {
    DelimitersEdit->setFocus();
    return;
  }
  model.SmartAbbr = SmartAbbrCB->isChecked();
  model.Ok();
  QDialog::accept();
}

// ---------------------------------------------------------------------------
// TViewSentExceptsDlg

TViewSentExceptsDlg::TViewSentExceptsDlg(TStopListFileChooser* chooser, QWidget* parent)
  : TWordListEditorForm("ViewSentExceptsDlg", TViewSentExceptsModel::Caption, TViewSentExceptsModel::TitleText,
                  parent)
{
  if (!chooser) {
    ownChooser_ = std::make_unique<TQtStopListFileChooser>(this);
    chooser = ownChooser_.get();
  }
  model_ = std::make_unique<TViewSentExceptsModel>(*chooser);

  ApplyFont(WordList, SystemFont);
  model_->SetTextFont(SystemFont);

  OkBtn = MakeDialogButton(this, "OkBtn", "&OK");
  CloseButton = MakeDialogButton(this, "CloseButton", "C&ancel");

  auto* top = new QHBoxLayout;
  top->addWidget(Title);
  top->addWidget(FileNameLabel, 1);
  auto* left = new QVBoxLayout;
  left->addLayout(top);
  left->addWidget(WordList, 1);
  auto* right = ButtonColumn();
  right->addWidget(OkBtn);
  right->addWidget(CloseButton);
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(left, 1);
  layout->addLayout(right);

  connect(AddButton, &QPushButton::clicked, this, [this] { Run([this] { model_->Add(); }); });
  connect(RemoveButton, &QPushButton::clicked, this, [this] { Run([this] { model_->Remove(); }); });
  connect(ClearButton, &QPushButton::clicked, this, [this] { Run([this] { model_->Clear(); }); });
  connect(SaveButton, &QPushButton::clicked, this, [this] { Run([this] { model_->Save(); }); });
  connect(LoadButton, &QPushButton::clicked, this, [this] { Run([this] { model_->Load(); }); });
  connect(OkBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CloseButton, &QPushButton::clicked, this, &QDialog::reject);

  // The restore point is taken once, when the dialog opens: the message and
  // input boxes it shows later must not move it.
  model_->Open();
  ShowList(model_->FileNameLabel());
}

TViewSentExceptsDlg::~TViewSentExceptsDlg() = default;

template <typename Action>
void TViewSentExceptsDlg::Run(Action action)
{
  TakeSelection();
  action();
  ShowList(model_->FileNameLabel());
}

void TViewSentExceptsDlg::accept()
{
  model_->Ok();
  TWordListEditorForm::accept();
}

void TViewSentExceptsDlg::reject()
{
  if (model_->Cancel())
    TWordListEditorForm::reject();
}

void TViewSentExceptsDlg::UpdateButtons()
{
  RemoveButton->setEnabled(model_->RemoveEnabled());
  SaveButton->setEnabled(model_->SaveEnabled());
}

// ---------------------------------------------------------------------------

void InstallContextOptionsForms()
{
  SetContextOptionsEditor([](TContextRecord& record) {
    TContextOptionsForm form(record, QApplication::activeWindow());
    if (form.exec() != QDialog::Accepted)
      return false;
    record = form.Record();
    return true;
  });
  SetSentenceOptionsEditor([] {
    TSentCfgDlg dialog(nullptr, QApplication::activeWindow());
    return dialog.exec() == QDialog::Accepted;
  });
}
