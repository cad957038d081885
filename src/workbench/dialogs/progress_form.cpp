#include "workbench/dialogs/progress_form.h"

#include "workbench/dialogs/edit_helpers.h"
#include "workbench/frame/qt_text.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <qdrawutil.h>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>

namespace {

constexpr int PumpIntervalMs = 30;

// A percentage gauge in blue: the percentage is drawn in the middle, white
// where the blue part lies under it and black elsewhere, so it reads at any
// value.
class TGauge : public QProgressBar
{
public:
  using QProgressBar::QProgressBar;

protected:
  void paintEvent(QPaintEvent*) override
  {
    QPainter painter(this);
    qDrawShadePanel(&painter, rect(), palette(), true, 1);
    const QRect inner = rect().adjusted(1, 1, -1, -1);
    painter.fillRect(inner, Qt::white);
    const int64_t span = int64_t(maximum()) - minimum();
    const int filled = span > 0 ? int(int64_t(inner.width()) * (int64_t(value()) - minimum()) / span) : 0;
    const QRect done(inner.left(), inner.top(), std::clamp(filled, 0, inner.width()), inner.height());
    painter.fillRect(done, Qt::blue);
    if (!isTextVisible())
      return;
    const QString label = text();
    painter.setClipRect(inner.adjusted(done.width(), 0, 0, 0));
    painter.setPen(Qt::black);
    painter.drawText(inner, Qt::AlignCenter, label);
    painter.setClipRect(done);
    painter.setPen(Qt::white);
    painter.drawText(inner, Qt::AlignCenter, label);
  }
};

QProgressBar* makeGauge(QWidget* parent, const char* name)
{
  auto* bar = new TGauge(parent);
  bar->setObjectName(QString::fromLatin1(name));
  bar->setRange(0, 100);
  bar->setValue(0);
  return bar;
}

QLabel* makeLabel(QWidget* parent, const char* name)
{
  auto* label = new QLabel(parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setTextFormat(Qt::PlainText);
  return label;
}

void centre(QDialog* dialog)
{
  dialog->adjustSize();
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect r = screen->geometry();
    dialog->move(r.x() + (r.width() - dialog->width()) / 2, r.y() + (r.height() - dialog->height()) / 2);
  }
}

// Lets events run when the last pump is long enough ago.
void pumpNow(QElapsedTimer& last)
{
  if (!last.isValid() || last.elapsed() >= PumpIntervalMs) {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    last.start();
  }
}

// Shows what both forms show alike: the caption, the progress label, the
// special text, the gauge and the form itself. False for other fields.
bool showSharedField(QDialog& form, const ProgressDialog& values, ProgressField field, QLabel* progressLabel,
                     QProgressBar* gauge, QLabel* specialText)
{
  switch (field) {
  case ProgressField::Caption: form.setWindowTitle(ToQString(values.Caption())); return true;
  case ProgressField::ProgressLabel: progressLabel->setText(ToQString(values.ProgressLabel())); return true;
  case ProgressField::SpecialText:
    specialText->setText(ToQString(values.SpecialText()));
    specialText->setVisible(values.SpecialTextVisible());
    return true;
  case ProgressField::Gauge: gauge->setValue(values.Percent()); return true;
  case ProgressField::Visible:
    if (values.Visible()) {
      // A box in the background stays above the window the user works in
      // but leaves the keyboard to it.
      form.setAttribute(Qt::WA_ShowWithoutActivating, values.Background());
      if (QWidget* main = QApplication::activeWindow(); values.Background() && main && main != &form) {
        form.winId();
        if (form.windowHandle() && main->windowHandle())
          form.windowHandle()->setTransientParent(main->windowHandle());
      }
      form.show();
      form.raise();
    } else {
      form.hide();
    }
    return true;
  default: return false;
  }
}

}  // namespace

// --- TProgressForm -----------------------------------------------------------

void MakeApplicationModal(ProgressDialog& progress)
{
  if (auto* form = dynamic_cast<QWidget*>(&progress))
    form->setWindowModality(Qt::ApplicationModal);
}

TProgressForm::TProgressForm(bool multiFile, QWidget* parent) : QDialog(parent), ProgressDialog(multiFile)
{
  setModal(false);
  setObjectName(QStringLiteral("ProgressForm"));
  auto* layout = new QVBoxLayout(this);
  ProgressLabel = makeLabel(this, "ProgressLabel");
  ProgressBar = makeGauge(this, "ProgressBar");
  SpecialText = makeLabel(this, "SpecialText");
  Cancel1Btn = MakeDialogButton(this, "Cancel1Btn", "Cancel");
  CancelAllBtn = MakeDialogButton(this, "CancelAllBtn", "Cancel All");
  CancelBtn = MakeDialogButton(this, "CancelBtn", "Cancel");
  layout->addWidget(ProgressLabel);
  layout->addWidget(ProgressBar);
  layout->addWidget(SpecialText);
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(Cancel1Btn);
  row->addWidget(CancelAllBtn);
  row->addWidget(CancelBtn);
  row->addStretch();
  layout->addLayout(row);
  ProgressBar->setMinimumWidth(300);

  connect(Cancel1Btn, &QPushButton::clicked, this, [this] { SetTag(ProgressCancel); });
  connect(CancelAllBtn, &QPushButton::clicked, this, [this] { SetTag(ProgressCancelAll); });
  connect(CancelBtn, &QPushButton::clicked, this, [this] { SetTag(ProgressCancel); });
  Cancel1Btn->setVisible(multiFile);
  CancelAllBtn->setVisible(multiFile);
  CancelBtn->setVisible(!multiFile);
  SpecialText->setVisible(SpecialTextVisible());
  centre(this);
}

int TProgressForm::poll()
{
  pumpNow(lastPump_);
  return Tag();
}

void TProgressForm::reject()
{
  SetTag(ProgressCancel);
}

void TProgressForm::OnChanged(ProgressField field)
{
  showSharedField(*this, *this, field, ProgressLabel, ProgressBar, SpecialText);
}

// --- TDoubleProgressForm -------------------------------------------------------

TDoubleProgressForm::TDoubleProgressForm(QWidget* parent) : QDialog(parent)
{
  setModal(false);
  setObjectName(QStringLiteral("DoubleProgressForm"));
  auto* layout = new QVBoxLayout(this);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  MainPanel = new QWidget(this);
  MainPanel->setObjectName(QStringLiteral("MainPanel"));
  auto* main = new QVBoxLayout(MainPanel);
  main->setContentsMargins(0, 0, 0, 0);
  SubProgressLabel = makeLabel(MainPanel, "SubProgressLabel");
  SubProgressBar = makeGauge(MainPanel, "SubProgressBar");
  ProgressLabel = makeLabel(MainPanel, "ProgressLabel");
  ProgressBar = makeGauge(MainPanel, "ProgressBar");
  SpecialText = makeLabel(MainPanel, "SpecialText");
  ActionLabel = makeLabel(MainPanel, "ActionLabel");
  CancelBtn = MakeDialogButton(MainPanel, "CancelBtn", "Cancel");
  DetailsBtn = MakeDialogButton(MainPanel, "DetailsBtn", "Details >>");
  SubProgressBar->setMinimumWidth(360);
  for (QWidget* w : {static_cast<QWidget*>(SubProgressLabel), static_cast<QWidget*>(SubProgressBar),
                     static_cast<QWidget*>(ProgressLabel), static_cast<QWidget*>(ProgressBar),
                     static_cast<QWidget*>(SpecialText), static_cast<QWidget*>(ActionLabel)})
    main->addWidget(w);
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(CancelBtn);
  row->addWidget(DetailsBtn);
  row->addStretch();
  main->addLayout(row);
  layout->addWidget(MainPanel);

  // The detail panels: pairs of caption and value label, 5 pixels apart.
  struct Pair {
    SearchInfoField field;
    const char* caption;
    const char* name;
  };
  auto makePanel = [&](const char* name, std::initializer_list<Pair> pairs) {
    auto* panel = new QWidget(this);
    panel->setObjectName(QString::fromLatin1(name));
    auto* h = new QHBoxLayout(panel);
    h->setContentsMargins(0, 0, 0, 0);
    h->setSpacing(5);
    for (const Pair& p : pairs) {
      auto* caption = new QLabel(QString::fromLatin1(p.caption), panel);
      auto* value = makeLabel(panel, p.name);
      h->addWidget(caption);
      h->addWidget(value);
      info_[int(p.field)] = value;
    }
    h->addStretch();
    layout->addWidget(panel);
    return panel;
  };
  OptionsPanel = makePanel("OptionsPanel", {{SearchInfoField::Syntax, "Search syntax:", "SyntaxLabel"},
                                            {SearchInfoField::IgnoreCase, "Ignore case:", "IgnoreCaseLabel"},
                                            {SearchInfoField::FreqOfHits, "Frequency of hits:", "FreqOfHitsLabel"},
                                            {SearchInfoField::SentMode, "Sentence mode:", "SentModeLabel"}});
  PaddingPanel = makePanel("PaddingPanel", {{SearchInfoField::SkipChars, "Skipping characters:", "SkipCharsLabel"},
                                            {SearchInfoField::EqualChars, "Equal characters:", "EqualCharsLabel"}});
  HeadingPanel = makePanel("HeadingPanel", {{SearchInfoField::HeadStart, "Heading start:", "HeadStartLabel"},
                                            {SearchInfoField::HeadStop, "Heading stop:", "HeadStopLabel"},
                                            {SearchInfoField::HeadMatch, "Heading match:", "HeadMatchLabel"},
                                            {SearchInfoField::TextStart, "Text start:", "TextStartLabel"},
                                            {SearchInfoField::TextStop, "Text stop:", "TextStopLabel"}});
  ContextPanel = makePanel("ContextPanel", {{SearchInfoField::LeftContext, "Left context:", "LeftContextLabel"},
                                            {SearchInfoField::RightContext, "Right context:", "RightContextLabel"}});

  connect(CancelBtn, &QPushButton::clicked, this, [this] { SetTag(ProgressCancel); });
  connect(DetailsBtn, &QPushButton::clicked, this, [this] { SetDetailsShown(!DetailsShown()); });
  LayOutPanels();
  centre(this);
}

QWidget* TDoubleProgressForm::Panel(SearchInfoPanel panel) const
{
  switch (panel) {
  case SearchInfoPanel::Options: return OptionsPanel;
  case SearchInfoPanel::Padding: return PaddingPanel;
  case SearchInfoPanel::Heading: return HeadingPanel;
  default: return ContextPanel;
  }
}

void TDoubleProgressForm::LayOutPanels()
{
  const bool shown = DetailsShown();
  OptionsPanel->setVisible(shown);
  for (SearchInfoPanel p : {SearchInfoPanel::Padding, SearchInfoPanel::Heading, SearchInfoPanel::Context})
    Panel(p)->setVisible(shown && PanelVisible(p));
  DetailsBtn->setText(shown ? QStringLiteral("No details <<") : QStringLiteral("Details >>"));
  adjustSize();
}

int TDoubleProgressForm::PanelHeight(SearchInfoPanel panel) const
{
  return Panel(panel)->sizeHint().height();
}

int TDoubleProgressForm::poll()
{
  pumpNow(lastPump_);
  return Tag();
}

void TDoubleProgressForm::reject()
{
  SetTag(ProgressCancel);
}

void TDoubleProgressForm::OnChanged(ProgressField field)
{
  if (showSharedField(*this, *this, field, ProgressLabel, ProgressBar, SpecialText))
    return;
  switch (field) {
  case ProgressField::SubGauge: SubProgressBar->setValue(SubPercent()); break;
  case ProgressField::SubProgressLabel:
    SubProgressLabel->setText(ToQString(DoubleProgressDialog::SubProgressLabel()));
    break;
  case ProgressField::ActionLabel: ActionLabel->setText(ToQString(DoubleProgressDialog::ActionLabel())); break;
  case ProgressField::DetailsButton: DetailsBtn->setVisible(DetailsButtonVisible()); break;
  case ProgressField::SearchInfo:
    for (int i = 0; i < SearchInfoFieldCount; ++i)
      info_[i]->setText(ToQString(SearchInfo(SearchInfoField(i))));
    break;
  case ProgressField::Panels: LayOutPanels(); break;
  default: break;
  }
}
