#include "workbench/dialogs/freq_config_dlg.h"

#include "workbench/dialogs/edit_helpers.h"
#include "workbench/dialogs/stop_list_dlg.h"
#include "workbench/frame/qt_text.h"
#include "workbench/frame/startup.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QValidator>
#include <QVBoxLayout>

QPointer<TFreqConfigDlg> FreqConfigDlg;

namespace {

// The start-up's stop-list editor.
class TStartupStopListHost final : public TFreqConfigHost {
public:
  void ShowStopListEditor() override
  {
    if (ViewStopListDlg)
      ViewStopListDlg->exec();
  }
};

// Digits only: a change that would bring in any other character, typed or
// pasted, is refused with a beep. (A value shown by the program, such as a
// negative minimum read from the settings, stays editable.)
class TDigitsValidator final : public QValidator {
public:
  explicit TDigitsValidator(QLineEdit* edit) : QValidator(edit), last_(edit->text())
  {
    connect(edit, &QLineEdit::textChanged, this, [this](const QString& text) { last_ = text; });
  }
  State validate(QString& input, int&) const override
  {
    if (NonDigits(input) <= NonDigits(last_))
      return Acceptable;
    QApplication::beep();
    return Invalid;
  }

private:
  static qsizetype NonDigits(const QString& text)
  {
    return std::count_if(text.begin(), text.end(), [](QChar c) { return c < u'0' || c > u'9'; });
  }
  QString last_;  // the text before the change being validated
};

TFreqConfigRunner& Runner()
{
  static TFreqConfigRunner runner;
  return runner;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const char* caption)
{
  auto* label = new QLabel(QString::fromLatin1(caption), parent);
  label->setObjectName(QString::fromLatin1(name));
  return label;
}

QLineEdit* PrepareEdit(QLineEdit* edit, const char* name)
{
  edit->setObjectName(QString::fromLatin1(name));
  edit->setMaxLength(TFreqConfigModel::EditMaxLength);
  edit->setValidator(new TDigitsValidator(edit));
  return edit;
}

TUpDownEdit* MakeUpDown(QWidget* parent, const char* name, const char* editName, const TUpDownValue& range)
{
  auto* upDown = new TUpDownEdit(parent);
  upDown->setObjectName(QString::fromLatin1(name));
  upDown->SetRange(range.Min, range.Max);
  PrepareEdit(upDown->Edit(), editName);
  return upDown;
}

void ShowUpDown(TUpDownEdit* upDown, const TUpDownValue& value)
{
  upDown->SetRange(value.Min, value.Max);
  upDown->SetPosition(value.Position);
  upDown->Edit()->setText(ToQString(value.Text));
}

void TakeUpDown(const TUpDownEdit* upDown, TUpDownValue& value)
{
  value.Position = upDown->Position();
  value.Text = FromQString(upDown->Edit()->text());
}

}  // namespace

TFreqConfigDlg::TFreqConfigDlg(TFreqConfigHost* host, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint)
{
  if (!host) {
    ownHost_ = std::make_unique<TStartupStopListHost>();
    host = ownHost_.get();
  }
  model_ = std::make_unique<TFreqConfigModel>(*host);
  setObjectName(QStringLiteral("FreqConfigDlg"));
  setWindowTitle(QString::fromLatin1(TFreqConfigModel::Caption));

  MinFreqLabel = MakeLabel(this, "MinFreqLabel", "Mi&nimum Frequency:");
  MinFreqUpDown = MakeUpDown(this, "MinFreqUpDown", "MinFreqEdit", model_->MinFreq);
  MinFreqEdit = MinFreqUpDown->Edit();
  MinFreqLabel->setBuddy(MinFreqEdit);
  MaxFreqLabel = MakeLabel(this, "MaxFreqLabel", "Ma&ximum Frequency:");
  MaxFreqUpDown = MakeUpDown(this, "MaxFreqUpDown", "MaxFreqEdit", model_->MaxFreq);
  MaxFreqEdit = MaxFreqUpDown->Edit();
  MaxFreqLabel->setBuddy(MaxFreqEdit);
  MaxLinesLabel = MakeLabel(this, "MaxLinesLabel", "Maximum &Lines:");
  MaxLinesEdit = PrepareEdit(new QLineEdit(this), "MaxLinesEdit");
  MaxLinesLabel->setBuddy(MaxLinesEdit);
  IgnoreCaseBox = new QCheckBox(QStringLiteral("&Ignore case of letters"), this);
  IgnoreCaseBox->setObjectName(QStringLiteral("IgnoreCaseBox"));
  TagsBox = new QCheckBox(QStringLiteral("Skip tags"), this);
  TagsBox->setObjectName(QStringLiteral("TagsBox"));
  Label1 = MakeLabel(this, "Label1", "Collocate Span:");
  CollocSpanCombo = new QComboBox(this);
  CollocSpanCombo->setObjectName(QStringLiteral("CollocSpanCombo"));
  CollocSpanCombo->setEditable(false);
  Label1->setBuddy(CollocSpanCombo);
  Label2 = MakeLabel(this, "Label2", "Highlight first");
  HighlightFirstUpDown = MakeUpDown(this, "HighlightFirstUpDown", "HighlightFirstEdit", model_->HighlightFirst);
  HighlightFirstEdit = HighlightFirstUpDown->Edit();
  Label3 = MakeLabel(this, "Label3", "collocates");

  RadioGroup = new QGroupBox(QStringLiteral(" Stop List Options "), this);
  RadioGroup->setObjectName(QStringLiteral("RadioGroup"));
  CountAllRadio = new QRadioButton(QStringLiteral("Count &all words"), RadioGroup);
  CountAllRadio->setObjectName(QStringLiteral("CountAllRadio"));
  ContentWordsRadio = new QRadioButton(QStringLiteral("&Content words only"), RadioGroup);
  ContentWordsRadio->setObjectName(QStringLiteral("ContentWordsRadio"));
  EditButton = MakeDialogButton(this, "EditButton", "&Edit...");
  OKBtn = MakeDialogButton(this, "OKBtn", "OK");
  OKBtn->setDefault(true);
  CancelBtn = MakeDialogButton(this, "CancelBtn", "Cancel");

  auto* grid = new QGridLayout;
  grid->addWidget(MinFreqLabel, 0, 0);
  grid->addWidget(MinFreqUpDown, 0, 1);
  grid->addWidget(MaxFreqLabel, 1, 0);
  grid->addWidget(MaxFreqUpDown, 1, 1);
  grid->addWidget(MaxLinesLabel, 2, 0);
  grid->addWidget(MaxLinesEdit, 2, 1);
  grid->addWidget(IgnoreCaseBox, 3, 0, 1, 2);
  grid->addWidget(TagsBox, 4, 0, 1, 2);
  grid->addWidget(Label1, 5, 0);
  grid->addWidget(CollocSpanCombo, 5, 1);
  auto* highlight = new QHBoxLayout;
  highlight->addWidget(Label2);
  highlight->addWidget(HighlightFirstUpDown);
  highlight->addWidget(Label3);
  highlight->addStretch(1);
  grid->addLayout(highlight, 6, 0, 1, 2);
  auto* radios = new QVBoxLayout(RadioGroup);
  radios->addWidget(CountAllRadio);
  radios->addWidget(ContentWordsRadio);
  auto* stopRow = new QHBoxLayout;
  stopRow->addWidget(RadioGroup, 1);
  stopRow->addWidget(EditButton, 0, Qt::AlignBottom);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(OKBtn);
  buttons->addWidget(CancelBtn);
  auto* outer = new QVBoxLayout(this);
  outer->setSizeConstraint(QLayout::SetFixedSize);
  outer->addLayout(grid);
  outer->addLayout(stopRow);
  outer->addLayout(buttons);

  connect(OKBtn, &QPushButton::clicked, this, &TFreqConfigDlg::OKBtnClick);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  connect(EditButton, &QPushButton::clicked, this, &TFreqConfigDlg::EditButtonClick);
  connect(ContentWordsRadio, &QRadioButton::clicked, this, [this] {
    if (model_->ContentWordsClick())
      EditButton->setFocus();
  });
  for (QLineEdit* edit : {MaxFreqEdit, MaxLinesEdit, HighlightFirstEdit})
    connect(edit, &QLineEdit::textChanged, this, &TFreqConfigDlg::UpdateMaxFreqLabel);
}

TFreqConfigDlg::~TFreqConfigDlg() = default;

void TFreqConfigDlg::showEvent(QShowEvent* event)
{
  QDialog::showEvent(event);
  if (!event->spontaneous())
    FormShow();
}

void TFreqConfigDlg::FormShow()
{
  model_->FormShow();
  const QSignalBlocker block(CollocSpanCombo);
  CollocSpanCombo->clear();
  for (const char* span : TFreqConfigModel::SpanTexts)
    CollocSpanCombo->addItem(QString::fromLatin1(span));
  FromModel();
  MinFreqEdit->setFocus();
}

void TFreqConfigDlg::FromModel()
{
  const TFreqConfigModel& m = *model_;
  ShowUpDown(MinFreqUpDown, m.MinFreq);
  ShowUpDown(MaxFreqUpDown, m.MaxFreq);
  MaxLinesEdit->setText(ToQString(m.MaxLinesText));
  CollocSpanCombo->setCurrentIndex(m.SpanIndex);
  ShowUpDown(HighlightFirstUpDown, m.HighlightFirst);
  IgnoreCaseBox->setChecked(m.IgnoreCaseChecked);
  TagsBox->setChecked(m.SkipTagsChecked);
  (m.ContentWordsOnly ? ContentWordsRadio : CountAllRadio)->setChecked(true);
  UpdateMaxFreqLabel();
}

void TFreqConfigDlg::ToModel()
{
  TFreqConfigModel& m = *model_;
  TakeUpDown(MinFreqUpDown, m.MinFreq);
  TakeUpDown(MaxFreqUpDown, m.MaxFreq);
  m.MaxLinesText = FromQString(MaxLinesEdit->text());
  m.SpanIndex = CollocSpanCombo->currentIndex();
  TakeUpDown(HighlightFirstUpDown, m.HighlightFirst);
  m.IgnoreCaseChecked = IgnoreCaseBox->isChecked();
  m.SkipTagsChecked = TagsBox->isChecked();
  m.ContentWordsOnly = ContentWordsRadio->isChecked();
}

void TFreqConfigDlg::OKBtnClick()
{
  ToModel();
  model_->OKBtnClick();
  FromModel();
  accept();
}

void TFreqConfigDlg::EditButtonClick()
{
  ToModel();
  model_->EditButtonClick();
  ContentWordsRadio->setChecked(true);
}

void TFreqConfigDlg::reject()
{
  model_->CancelBtnClick();
  QDialog::reject();
}

void TFreqConfigDlg::UpdateMaxFreqLabel()
{
  model_->MaxFreq.Text = FromQString(MaxFreqEdit->text());
  MaxFreqLabel->setEnabled(model_->MaxFreqLabelEnabled());
}

TFreqConfigRunner SetFreqConfigRunner(TFreqConfigRunner runner)
{
  TFreqConfigRunner old = std::move(Runner());
  Runner() = std::move(runner);
  return old;
}

int ExecuteFreqConfigDlg(TFreqConfigDlg& dlg)
{
  if (Runner()) {
    dlg.FormShow();
    return Runner()(dlg);
  }
  return dlg.exec();
}
