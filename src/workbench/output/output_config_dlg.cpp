#include "workbench/output/output_config_dlg.h"

#include "workbench/dialogs/edit_helpers.h"

#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {

QCheckBox* makeBox(QWidget* parent, const char* name, const char* caption)
{
  auto* box = new QCheckBox(QString::fromLatin1(caption), parent);
  box->setObjectName(QString::fromLatin1(name));
  return box;
}

QLabel* makeLabel(QWidget* parent, const char* name, const char* caption)
{
  auto* label = new QLabel(QString::fromLatin1(caption), parent);
  label->setObjectName(QString::fromLatin1(name));
  return label;
}

TOutputConfigRunner& Runner()
{
  static TOutputConfigRunner runner;
  return runner;
}

int Run(TOutputConfigDlg& dlg)
{
  if (Runner())
    return Runner()(dlg);
  dlg.adjustSize();
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect r = screen->geometry();
    dlg.move(r.x() + (r.width() - dlg.width()) / 2, r.y() + (r.height() - dlg.height()) / 2);
  }
  return dlg.exec();
}

}  // namespace

TOutputConfigDlg::TOutputConfigDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint)
{
  setObjectName(QStringLiteral("OutputConfigDlg"));
  setWindowTitle(QStringLiteral("Output Information"));

  Bevel = new QFrame(this);
  Bevel->setObjectName(QStringLiteral("Bevel"));
  Bevel->setFrameShape(QFrame::Box);
  Bevel->setFrameShadow(QFrame::Sunken);

  Prompt = makeLabel(Bevel, "Prompt", "Enter maximum number of &lines to print/save:");
  MaxLinesUpDown = new TUpDownEdit(Bevel);
  MaxLinesUpDown->setObjectName(QStringLiteral("MaxLinesUpDown"));
  MaxLinesUpDown->SetRange(0, MaxLinesLimit);
  MaxLinesUpDown->SetIncrement(MaxLinesStep);
  MaxLinesUpDown->SetPosition(0);
  MaxLinesEdit = MaxLinesUpDown->Edit();
  MaxLinesEdit->setObjectName(QStringLiteral("MaxLinesEdit"));
  MaxLinesEdit->setMaxLength(7);
  MaxLinesEdit->installEventFilter(this);
  Prompt->setBuddy(MaxLinesEdit);
  NoLimitLabel = makeLabel(Bevel, "NoLimitLabel", "(0 indicates no limit)");

  ShowFileBox = makeBox(Bevel, "ShowFileBox", "Show &file names on each line");
  ConcealHits = makeBox(Bevel, "ConcealHits", "&Conceal hits");
  ConcealCollocates = makeBox(Bevel, "ConcealCollocates", "Conceal Collocates");
  LinesCB = makeBox(Bevel, "LinesCB", "Line Numbers");
  PagesCB = makeBox(Bevel, "PagesCB", "Page Numbers");
  RelLinesCB = makeBox(Bevel, "RelLinesCB", "Relative Lines");
  SortLabelsCB = makeBox(Bevel, "SortLabelsCB", "Defined Sort Labels");
  TagsCB = makeBox(Bevel, "TagsCB", "Tracked Tags");
  AsHTMLCB = makeBox(Bevel, "AsHTMLCB", "Save as HTML");
  RelLinesCB->setEnabled(false);
  connect(PagesCB, &QCheckBox::toggled, RelLinesCB, &QWidget::setEnabled);

  OKBtn = new QPushButton(QStringLiteral("OK"), this);
  OKBtn->setObjectName(QStringLiteral("OKBtn"));
  OKBtn->setDefault(true);
  CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
  CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
  connect(OKBtn, &QPushButton::clicked, this, &TOutputConfigDlg::OKBtnClick);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

  auto* limitRow = new QHBoxLayout;
  limitRow->addWidget(MaxLinesUpDown);
  limitRow->addWidget(NoLimitLabel);
  limitRow->addStretch(1);
  auto* inner = new QVBoxLayout(Bevel);
  inner->addWidget(Prompt);
  inner->addLayout(limitRow);
  for (QCheckBox* box : {ShowFileBox, ConcealHits, ConcealCollocates, LinesCB, PagesCB, RelLinesCB, SortLabelsCB,
                         TagsCB, AsHTMLCB})
    inner->addWidget(box);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(OKBtn);
  buttons->addWidget(CancelBtn);
  auto* outer = new QVBoxLayout(this);
  outer->setSizeConstraint(QLayout::SetFixedSize);
  outer->addWidget(Bevel);
  outer->addLayout(buttons);

  QWidget* order[] = {MaxLinesEdit, ShowFileBox, ConcealHits, ConcealCollocates, LinesCB, PagesCB, RelLinesCB,
                      SortLabelsCB, TagsCB, AsHTMLCB, OKBtn, CancelBtn};
  for (size_t i = 1; i < std::size(order); ++i)
    setTabOrder(order[i - 1], order[i]);
  MaxLinesEdit->setFocus();
}

void TOutputConfigDlg::SetKind(int kind)
{
  Prompt->setText(QStringLiteral("Enter maximum number of &lines to ") +
                  (kind == okPrint ? QStringLiteral("print") : QStringLiteral("save")) + QStringLiteral(":"));
}

void TOutputConfigDlg::SetUpOutputOptions(int kind, int32_t maxLines, bool showFile, bool concealCollocates,
                                          bool concealHits)
{
  SetKind(kind);
  ShowFileBox->setChecked(showFile);
  ConcealHits->setChecked(concealHits);
  ConcealCollocates->setChecked(concealCollocates);
  if (maxLines == -1) {
    // The batch search writes every hit: no line limit to ask for.
    for (QWidget* w : {static_cast<QWidget*>(Prompt), static_cast<QWidget*>(MaxLinesUpDown),
                       static_cast<QWidget*>(NoLimitLabel), static_cast<QWidget*>(SortLabelsCB),
                       static_cast<QWidget*>(ConcealCollocates)})
      w->setEnabled(false);
  }
  if (kind == okPrint) {
    // A printer gets plain text, never HTML source.
    AsHTMLCB->setChecked(false);
    AsHTMLCB->setEnabled(false);
  }
}

void TOutputConfigDlg::SetUpMaxOutputLines(int kind)
{
  SetKind(kind);
  Shrink({ShowFileBox, ConcealHits, ConcealCollocates, LinesCB, PagesCB, RelLinesCB, TagsCB, SortLabelsCB, AsHTMLCB});
}

void TOutputConfigDlg::SetUpWordListOutputOptions(int kind, bool includeFrequencies)
{
  SetKind(kind);
  ShowFileBox->setText(QStringLiteral("Include &frequencies with words"));
  ShowFileBox->setChecked(includeFrequencies);
  Shrink({ConcealHits, ConcealCollocates, LinesCB, PagesCB, RelLinesCB, TagsCB, SortLabelsCB, AsHTMLCB});
}

void TOutputConfigDlg::Shrink(std::initializer_list<QWidget*> hidden)
{
  for (QWidget* w : hidden)
    w->hide();
  adjustSize();
}

void TOutputConfigDlg::OKBtnClick()
{
  ClampUpDownEdit(MaxLinesUpDown);
  accept();
}

int32_t TOutputConfigDlg::MaxLinesResult() const
{
  return static_cast<int16_t>(MaxLinesUpDown->Position());
}

bool TOutputConfigDlg::RelativeLinesResult() const
{
  return RelLinesCB->isChecked() && RelLinesCB->isEnabled();
}

bool TOutputConfigDlg::eventFilter(QObject* watched, QEvent* event)
{
  if (watched != MaxLinesEdit || event->type() != QEvent::KeyPress)
    return QDialog::eventFilter(watched, event);
  const auto* key = static_cast<QKeyEvent*>(event);
  switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
      return false;
    default:
      break;
  }
  const QString text = key->text();
  if (text.isEmpty())
    return false;  // moves and other keys that type nothing
  if (text.size() == 1 && text[0] >= QLatin1Char('0') && text[0] <= QLatin1Char('9'))
    return false;
  QApplication::beep();
  return true;
}

// --- the three set-ups ----------------------------------------------------------

TOutputConfigRunner SetOutputConfigRunner(TOutputConfigRunner runner)
{
  TOutputConfigRunner old = std::move(Runner());
  Runner() = std::move(runner);
  return old;
}

bool EditOutputOptions(int kind, int32_t& maxLines, bool& showFile, bool& sortLabels, bool& saveAsHTML,
                       bool& trackedTags, bool& relativeLines, bool& pageNumbers, bool& lineNumbers,
                       bool& concealCollocates, bool& concealHits)
{
  TOutputConfigDlg dlg(QApplication::activeWindow());
  dlg.SetUpOutputOptions(kind, maxLines, showFile, concealCollocates, concealHits);
  if (Run(dlg) != QDialog::Accepted)
    return false;
  maxLines = dlg.MaxLinesResult();
  showFile = dlg.ShowFileBox->isChecked();
  sortLabels = dlg.SortLabelsCB->isChecked();
  saveAsHTML = dlg.AsHTMLCB->isChecked();
  trackedTags = dlg.TagsCB->isChecked();
  pageNumbers = dlg.PagesCB->isChecked();
  lineNumbers = dlg.LinesCB->isChecked();
  concealCollocates = dlg.ConcealCollocates->isChecked();
  concealHits = dlg.ConcealHits->isChecked();
  relativeLines = dlg.RelativeLinesResult();
  return true;
}

bool EditOutputOptions(int kind, TOutputOptions& o)
{
  return EditOutputOptions(kind, o.MaxLines, o.ShowFile, o.SortLabels, o.SaveAsHTML, o.TrackedTags, o.RelativeLines,
                           o.PageNumbers, o.LineNumbers, o.ConcealCollocates, o.ConcealHits);
}

bool EditMaxOutputLines(int kind, int32_t& maxLines)
{
  TOutputConfigDlg dlg(QApplication::activeWindow());
  dlg.SetUpMaxOutputLines(kind);
  if (Run(dlg) != QDialog::Accepted)
    return false;
  maxLines = dlg.MaxLinesResult();
  return true;
}

bool EditWordListOutputOptions(int kind, int32_t& maxLines, bool& includeFrequencies)
{
  TOutputConfigDlg dlg(QApplication::activeWindow());
  dlg.SetUpWordListOutputOptions(kind, includeFrequencies);
  if (Run(dlg) != QDialog::Accepted)
    return false;
  maxLines = dlg.MaxLinesResult();
  includeFrequencies = dlg.ShowFileBox->isChecked();
  return true;
}
