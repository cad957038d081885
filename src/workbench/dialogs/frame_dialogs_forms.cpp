#include "workbench/dialogs/frame_dialogs_forms.h"

#include "workbench/dialogs/edit_helpers.h"
#include "workbench/frame/qt_text.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QFontDialog>
#include <QFontInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QString Latin(const char* text)
{
  return QString::fromLatin1(text);
}

QFrame* MakeBevel(QWidget* parent)
{
  auto* line = new QFrame(parent);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  return line;
}

// OK and Cancel at the right of a row; OK is the default button.
QHBoxLayout* ButtonRow(QPushButton* ok, QPushButton* cancel)
{
  ok->setDefault(true);
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(ok);
  row->addWidget(cancel);
  return row;
}

QCheckBox* MakeCheck(QWidget* parent, const char* name, const char* caption, bool on)
{
  auto* box = new QCheckBox(Latin(caption), parent);
  box->setObjectName(Latin(name));
  box->setChecked(on);
  return box;
}

}  // namespace

// ---------------------------------------------------------------------------
// TOpenURLForm

TOpenURLForm::TOpenURLForm(TOpenURLModel::TURLCheck check, QWidget* parent)
  : QDialog(parent), model_(std::move(check))
{
  setObjectName(QStringLiteral("OpenURLForm"));
  setWindowTitle(Latin(TOpenURLModel::Caption));
  URLCombo = MakeHistoryBox(this);
  URLCombo->setObjectName(QStringLiteral("URLCombo"));
  URLCombo->setMinimumWidth(440);
  auto* label = new QLabel(QStringLiteral("&URL:"), this);
  label->setBuddy(URLCombo);
  OKButton = MakeDialogButton(this, "OKButton", "OK");
  CancelButton = MakeDialogButton(this, "CancelButton", "Cancel");
  connect(OKButton, &QPushButton::clicked, this, &TOpenURLForm::OKButtonClick);
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

  auto* top = new QHBoxLayout;
  top->addWidget(label);
  top->addWidget(URLCombo, 1);
  auto* bottom = ButtonRow(OKButton, CancelButton);
  bottom->insertWidget(0, new QLabel(Latin(TOpenURLModel::HintText), this));
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(MakeBevel(this));
  layout->addLayout(bottom);

  ShowModel();
  URLCombo->installEventFilter(this);
  URLCombo->setFocus();
}

void TOpenURLForm::ShowModel()
{
  ShowItems(URLCombo, model_.Items, model_.Items.empty() ? -1 : 0);
  URLCombo->setEditText(ToQString(model_.Text));
}

bool TOpenURLForm::TakeText()
{
  return TextFromWidget(URLCombo->currentText(), model_.Text);
}

void TOpenURLForm::OKButtonClick()
{
  if (TakeText() && model_.Ok()) {
    ShowModel();
    accept();
    return;
  }
  URLCombo->setFocus();
}

bool TOpenURLForm::eventFilter(QObject* watched, QEvent* event)
{
  if (watched == URLCombo && event->type() == QEvent::FocusOut) {
    // Only a move to another control of the dialog counts as leaving the box.
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if ((reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason ||
         reason == Qt::MouseFocusReason || reason == Qt::ShortcutFocusReason) &&
        UnrepresentableChars(URLCombo->currentText()).empty()) {
      model_.Text = FromQString(URLCombo->currentText());
      model_.ComboExit();
      ShowModel();
    }
  }
  return QDialog::eventFilter(watched, event);
}

std::string AskURL()
{
  TOpenURLForm form(TOpenURLModel::IsFetchableURL, QApplication::activeWindow());
  form.exec();
  return form.Model().Result();
}

// ---------------------------------------------------------------------------
// TWkSpaceOptionsForm

TWkSpaceOptionsForm::TWkSpaceOptionsForm(bool useDefaults, QWidget* parent)
  : QDialog(parent), model_(useDefaults)
{
  setObjectName(QStringLiteral("WkSpaceOptionsForm"));
  setWindowTitle(Latin(TWkSpaceOptionsModel::Caption));
  const TWkSpaceOptions& b = model_.Boxes;
  LinePageCheck = MakeCheck(this, "LinePageCheck", "&Line and Page numbers info", b.LinePages);
  TagsCheck = MakeCheck(this, "TagsCheck", "&Tracked Tags info", b.Tags);
  URLsCheck = MakeCheck(this, "URLsCheck", "Downloaded &URLs", b.URLs);
  FreqCheck = MakeCheck(this, "FreqCheck", "Corpus &Frequency", b.Freq);
  OKBtn = MakeDialogButton(this, "OKBtn", "OK");
  CancelBtn = MakeDialogButton(this, "CancelBtn", "Cancel");
  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  for (QCheckBox* box : {LinePageCheck, TagsCheck, URLsCheck, FreqCheck})
    layout->addWidget(box);
  layout->addWidget(MakeBevel(this));
  layout->addLayout(ButtonRow(OKBtn, CancelBtn));
}

void TWkSpaceOptionsForm::accept()
{
  model_.Boxes = {LinePageCheck->isChecked(), TagsCheck->isChecked(), URLsCheck->isChecked(),
                  FreqCheck->isChecked()};
  model_.Ok();
  QDialog::accept();
}

bool ShowWkSpaceOptionsForm(bool useDefaults)
{
  TWkSpaceOptionsForm form(useDefaults, QApplication::activeWindow());
  return form.exec() == QDialog::Accepted;
}

// ---------------------------------------------------------------------------
// TLangConfig

TLangConfig::TLangConfig(QWidget* parent) : QDialog(parent)
{
  setObjectName(QStringLiteral("LangConfig"));
  setWindowTitle(Latin(TLangConfigModel::Caption));
  LangsList = new QListWidget(this);
  LangsList->setObjectName(QStringLiteral("LangsList"));
  for (const std::string& name : model_.Names())
    LangsList->addItem(ToQString(name));
  if (model_.Selected >= 0)
    LangsList->setCurrentRow(model_.Selected);
  auto* listLabel = new QLabel(QStringLiteral("&Languages:"), this);
  listLabel->setBuddy(LangsList);
  FontLabel = new QLabel(this);
  FontLabel->setObjectName(QStringLiteral("FontLabel"));
  FontBtn = MakeDialogButton(this, "FontBtn", "&Font ...");
  OKBtn = MakeDialogButton(this, "OKBtn", "OK");
  CancelBtn = MakeDialogButton(this, "CancelBtn", "Cancel");
  connect(LangsList, &QListWidget::itemDoubleClicked, this, [this] { accept(); });
  connect(FontBtn, &QPushButton::clicked, this, &TLangConfig::FontBtnClick);
  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

  auto* fontRow = new QHBoxLayout;
  fontRow->addWidget(FontLabel, 1);
  fontRow->addWidget(FontBtn);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(listLabel);
  layout->addWidget(LangsList, 1);
  layout->addWidget(new QLabel(QStringLiteral("System Font:"), this));
  layout->addLayout(fontRow);
  layout->addLayout(ButtonRow(OKBtn, CancelBtn));
  resize(239, 375);
  ShowFont();
}

void TLangConfig::ShowFont()
{
  // The face the label is really drawn in: a face this machine lacks is
  // replaced by another, and the label names that one.
  FontLabel->setFont(ToQFont(model_.Font));
  FontLabel->setText(QFontInfo(FontLabel->font()).family());
}

void TLangConfig::TakeFont(const QFont& font)
{
  // Face, size and style from the dialog; colour and character set stay.
  const TFontRec chosen = FontRecFromQFont(font, model_.Font);
  model_.Font = chosen;
  ShowFont();
}

void TLangConfig::FontBtnClick()
{
  bool ok = false;
  // The font dialog always starts from the dialogs' font.
  const QFont font = QFontDialog::getFont(&ok, ToQFont(SystemFont), this);
  if (ok)
    TakeFont(font);
}

void TLangConfig::accept()
{
  model_.Selected = LangsList->currentRow();
  changed_ = model_.Ok();
  QDialog::accept();
}

bool SelectLanguage()
{
  TLangConfig form(QApplication::activeWindow());
  return form.exec() == QDialog::Accepted && form.Changed();
}
