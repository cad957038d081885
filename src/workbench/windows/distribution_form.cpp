#include "workbench/windows/distribution_form.h"

#include "foundation/dialogs.h"
#include "foundation/settings.h"
#include "foundation/text_sink.h"
#include "platform/safe_write.h"
#include "search/concord_items.h"
#include "search/search_driver.h"
#include "workbench/frame/frame_form.h"
#include "workbench/frame/qt_text.h"
#include "workbench/output/text_sink.h"
#include "workbench/windows/bar_chart.h"
#include "workbench/windows/concordance_form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QMdiSubWindow>
#include <QCloseEvent>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>

namespace {

std::vector<TDistributionForm*>& registry()
{
  static std::vector<TDistributionForm*> windows;
  return windows;
}

QLabel* makeLabel(QWidget* parent, const char* name, const char* caption = "")
{
  auto* label = new QLabel(QString::fromLatin1(caption), parent);
  label->setObjectName(QString::fromLatin1(name));
  return label;
}

// A panel of caption and value labels in one row, 5 pixels apart.
QFrame* makeRow(QWidget* parent, const char* name)
{
  auto* panel = new QFrame(parent);
  panel->setObjectName(QString::fromLatin1(name));
  auto* row = new QHBoxLayout(panel);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(5);
  return panel;
}

// Adds caption and value to the panel's row; the value label is returned.
QLabel* addPair(QFrame* panel, const char* captionName, const char* caption, const char* valueName,
                QLabel*& captionLabel, int gapBefore = 10)
{
  auto* row = static_cast<QHBoxLayout*>(panel->layout());
  if (row->count() > 0)
    row->addSpacing(gapBefore);
  captionLabel = makeLabel(panel, captionName, caption);
  QLabel* value = makeLabel(panel, valueName);
  value->setTextInteractionFlags(Qt::TextSelectableByMouse);
  row->addWidget(captionLabel);
  row->addWidget(value);
  return value;
}

QString printerName(const QPrinter& printer)
{
  return printer.outputFormat() == QPrinter::PdfFormat ? printer.outputFileName() : printer.printerName();
}

}  // namespace

TDistributionForm::TDistributionForm(TConcordanceForm* owner, QWidget* parent)
    : TMDIChildForm(0, parent), owner_(owner)
{
  registry().push_back(this);
  CreateComponents();
  FormCreate();
  if (owner) {
    // The window lives no longer than the concordance it shows.
    connect(owner, &TConcordanceForm::Closed, this, &TDistributionForm::closeWindow);
    connect(owner, &QObject::destroyed, this, &TDistributionForm::closeWindow);
  }
}

TDistributionForm::~TDistributionForm()
{
  auto& windows = registry();
  windows.erase(std::remove(windows.begin(), windows.end(), this), windows.end());
}

void TDistributionForm::closeEvent(QCloseEvent* event)
{
  // A closing window is no longer the one its owner brings up.
  auto& windows = registry();
  windows.erase(std::remove(windows.begin(), windows.end(), this), windows.end());
  TMDIChildForm::closeEvent(event);
}

void TDistributionForm::closeWindow()
{
  if (QMdiSubWindow* sub = subWindow())
    sub->close();
  else
    close();
}

std::vector<TDistributionForm*> TDistributionForm::DistributionWindows()
{
  return registry();
}

void TDistributionForm::CreateComponents()
{
  setObjectName(QStringLiteral("DistributionForm"));
  resize(560, 460);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->setSpacing(4);

  TopPanel = new QFrame(this);
  TopPanel->setObjectName(QStringLiteral("TopPanel"));
  auto* top = new QVBoxLayout(TopPanel);
  top->setContentsMargins(4, 4, 4, 4);
  top->setSpacing(3);

  OptionsPanel = new QFrame(TopPanel);
  OptionsPanel->setObjectName(QStringLiteral("OptionsPanel"));
  auto* options = new QVBoxLayout(OptionsPanel);
  options->setContentsMargins(0, 0, 0, 0);
  options->setSpacing(3);
  QFrame* settingsRow = makeRow(OptionsPanel, "SettingsRow");
  SyntaxTypeLabel = addPair(settingsRow, "SyntaxTypeLabelLabel", "Search:", "SyntaxTypeLabel", SyntaxTypeLabelLabel);
  IgnoreCaseLabel =
      addPair(settingsRow, "IgnoreCaseLabelLabel", "Ignore case:", "IgnoreCaseLabel", IgnoreCaseLabelLabel);
  SentModeLabel = addPair(settingsRow, "SentModeLabelLabel", "Sent. mode:", "SentModeLabel", SentModeLabelLabel);
  FreqOfHitsLabel =
      addPair(settingsRow, "FreqOfHitsLabelLabel", "Freq. of hits:", "FreqOfHitsLabel", FreqOfHitsLabelLabel);
  static_cast<QHBoxLayout*>(settingsRow->layout())->addStretch();
  QFrame* patternRow = makeRow(OptionsPanel, "PatternRow");
  PatternLabel = addPair(patternRow, "PatternLabelLabel", "Search pattern:", "PatternLabel", PatternLabelLabel);
  TotalLabel = addPair(patternRow, "TotalLabelLabel", "Hits:", "TotalLabel", TotalLabelLabel);
  static_cast<QHBoxLayout*>(patternRow->layout())->addStretch();
  options->addWidget(patternRow);
  options->addWidget(settingsRow);
  top->addWidget(OptionsPanel);

  PaddingPanel = makeRow(TopPanel, "PaddingPanel");
  SkipCharLabel =
      addPair(PaddingPanel, "SkipCharLabelLabel", "Skipping characters:", "SkipCharLabel", SkipCharLabelLabel);
  EqualCharsLabel =
      addPair(PaddingPanel, "EqualCharsLabelLabel", "Equal characters:", "EqualCharsLabel", EqualCharsLabelLabel);
  static_cast<QHBoxLayout*>(PaddingPanel->layout())->addStretch();
  top->addWidget(PaddingPanel);

  HeadingPanel = new QFrame(TopPanel);
  HeadingPanel->setObjectName(QStringLiteral("HeadingPanel"));
  auto* heading = new QVBoxLayout(HeadingPanel);
  heading->setContentsMargins(0, 0, 0, 0);
  heading->setSpacing(3);
  QFrame* headRow = makeRow(HeadingPanel, "HeadRow");
  HeadStartLabel = addPair(headRow, "HeadStartLabelLabel", "Heading start:", "HeadStartLabel", HeadStartLabelLabel);
  HeadStopLabel = addPair(headRow, "HeadStopLabelLabel", "Heading stop:", "HeadStopLabel", HeadStopLabelLabel);
  static_cast<QHBoxLayout*>(headRow->layout())->addStretch();
  QFrame* matchRow = makeRow(HeadingPanel, "HeadMatchRow");
  HeadMatchLabel = addPair(matchRow, "HeadMatchLabelLabel", "Heading match:", "HeadMatchLabel", HeadMatchLabelLabel);
  static_cast<QHBoxLayout*>(matchRow->layout())->addStretch();
  QFrame* textRow = makeRow(HeadingPanel, "TextRow");
  TextStartLabel = addPair(textRow, "TextStartLabelLabel", "Text start:", "TextStartLabel", TextStartLabelLabel);
  TextStopLabel = addPair(textRow, "TextStopLabelLabel", "Text stop:", "TextStopLabel", TextStopLabelLabel);
  static_cast<QHBoxLayout*>(textRow->layout())->addStretch();
  heading->addWidget(headRow);
  heading->addWidget(matchRow);
  heading->addWidget(textRow);
  top->addWidget(HeadingPanel);

  ContextPanel = makeRow(TopPanel, "ContextPanel");
  LeftContextLabel =
      addPair(ContextPanel, "LeftContextLabelLabel", "Left context:", "LeftContextLabel", LeftContextLabelLabel);
  RightContextLabel =
      addPair(ContextPanel, "RightContextLabelLabel", "Right context:", "RightContextLabel", RightContextLabelLabel);
  static_cast<QHBoxLayout*>(ContextPanel->layout())->addStretch();
  top->addWidget(ContextPanel);

  ScopePanel = makeRow(TopPanel, "ScopePanel");
  auto* scope = static_cast<QHBoxLayout*>(ScopePanel->layout());
  ScopeLabel = makeLabel(ScopePanel, "ScopeLabel", "Scope:");
  FilesCombo = new QComboBox(ScopePanel);
  FilesCombo->setObjectName(QStringLiteral("FilesCombo"));
  FilesCombo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  FilesCombo->setMinimumContentsLength(14);
  StepLabel = makeLabel(ScopePanel, "StepLabel", "Ste&p:");
  StepCombo = new QComboBox(ScopePanel);
  StepCombo->setObjectName(QStringLiteral("StepCombo"));
  for (const std::string& step : TDistributionModel::StepComboItems())
    StepCombo->addItem(ToQString(step));
  StepLabel->setBuddy(StepCombo);
  ScopeLabel->setBuddy(FilesCombo);
  PercentsCheck = new QCheckBox(QStringLiteral("Per&cent"), ScopePanel);
  PercentsCheck->setObjectName(QStringLiteral("PercentsCheck"));
  PercentsCheck->setChecked(true);
  LabelsCheck = new QCheckBox(QStringLiteral("&Labels"), ScopePanel);
  LabelsCheck->setObjectName(QStringLiteral("LabelsCheck"));
  LabelsCheck->setChecked(true);
  PrintBtn = new QPushButton(QStringLiteral("&Print"), ScopePanel);
  PrintBtn->setObjectName(QStringLiteral("PrintBtn"));
  SaveBtn = new QPushButton(QStringLiteral("&Save"), ScopePanel);
  SaveBtn->setObjectName(QStringLiteral("SaveBtn"));
  scope->addWidget(ScopeLabel);
  scope->addWidget(FilesCombo);
  scope->addSpacing(10);
  scope->addWidget(StepLabel);
  scope->addWidget(StepCombo);
  scope->addSpacing(10);
  scope->addWidget(PercentsCheck);
  scope->addWidget(LabelsCheck);
  scope->addStretch();
  scope->addWidget(PrintBtn);
  scope->addWidget(SaveBtn);
  top->addWidget(ScopePanel);
  layout->addWidget(TopPanel);

  Chart = new TBarChart(this);
  Chart->setObjectName(QStringLiteral("Chart"));
  Chart->SetLeftAxisTitle(QStringLiteral("Percentages"));
  Chart->SetBottomAxisTitle(QStringLiteral("Hits"));
  layout->addWidget(Chart, 1);

  using F = SearchInfoField;
  info_[int(F::Syntax)] = SyntaxTypeLabel;
  info_[int(F::IgnoreCase)] = IgnoreCaseLabel;
  info_[int(F::FreqOfHits)] = FreqOfHitsLabel;
  info_[int(F::SentMode)] = SentModeLabel;
  info_[int(F::SkipChars)] = SkipCharLabel;
  info_[int(F::EqualChars)] = EqualCharsLabel;
  info_[int(F::HeadStart)] = HeadStartLabel;
  info_[int(F::HeadStop)] = HeadStopLabel;
  info_[int(F::HeadMatch)] = HeadMatchLabel;
  info_[int(F::TextStart)] = TextStartLabel;
  info_[int(F::TextStop)] = TextStopLabel;
  info_[int(F::LeftContext)] = LeftContextLabel;
  info_[int(F::RightContext)] = RightContextLabel;

  connect(FilesCombo, &QComboBox::currentIndexChanged, this, &TDistributionForm::FilesComboChange);
  connect(StepCombo, &QComboBox::currentIndexChanged, this, &TDistributionForm::StepComboChange);
  connect(PercentsCheck, &QCheckBox::clicked, this, &TDistributionForm::PercentsCheckClick);
  connect(LabelsCheck, &QCheckBox::clicked, this, &TDistributionForm::LabelsCheckClick);
  connect(PrintBtn, &QPushButton::clicked, this, &TDistributionForm::PrintBtnClick);
  connect(SaveBtn, &QPushButton::clicked, this, &TDistributionForm::SaveBtnClick);
}

void TDistributionForm::FormCreate()
{
  QFont bold = ToQFont(SystemFont);
  bold.setBold(true);
  for (QLabel* label : {PatternLabel, SkipCharLabel, EqualCharsLabel, HeadStartLabel, HeadStopLabel, HeadMatchLabel,
                        TextStartLabel, TextStopLabel, LeftContextLabel, RightContextLabel})
    label->setFont(bold);
  Chart->SetMarkTextHandler([this](int index) { return DistribMarkText(index); });
  SaveDialog.Title = "Select where to save hits distribution";
  SaveDialog.DefaultExt = "txt";
  SaveDialog.Filter = "Text files (*.txt)|*.txt|All files (*.*)|*.*";
  SaveDialog.Options = ofOverwritePrompt;
  for (SearchInfoPanel p : {SearchInfoPanel::Padding, SearchInfoPanel::Heading, SearchInfoPanel::Context})
    SetPanelVisible(p, false);
}

// --- search information -------------------------------------------------------

QFrame* TDistributionForm::Panel(SearchInfoPanel panel) const
{
  switch (panel) {
  case SearchInfoPanel::Options: return OptionsPanel;
  case SearchInfoPanel::Padding: return PaddingPanel;
  case SearchInfoPanel::Heading: return HeadingPanel;
  default: return ContextPanel;
  }
}

void TDistributionForm::SetSearchInfo(SearchInfoField field, std::string_view text)
{
  info_[size_t(field)]->setText(ToQString(text));
}

void TDistributionForm::SetPanelVisible(SearchInfoPanel panel, bool visible)
{
  panelShown_[size_t(panel)] = visible;
  Panel(panel)->setVisible(visible);
}

int TDistributionForm::PanelHeight(SearchInfoPanel panel) const
{
  return panelShown_[size_t(panel)] ? Panel(panel)->sizeHint().height() : 0;
}

// --- drawing ------------------------------------------------------------------

void TDistributionForm::DrawDistribution(bool recompute)
{
  if (recompute) {
    if (owner_)
      model_.Recompute(owner_->Items());
    else
      model_.Items.clear();
  }
  const std::vector<TDistribBar> bars = model_.Bars();
  const QColor colour = ColorFromTColor(TColor(TDistributionModel::SeriesColour), palette(), Qt::darkCyan);
  Chart->Clear();
  Chart->SetLeftAxisTitle(ToQString(model_.AxisTitle()));
  for (const TDistribBar& bar : bars)
    Chart->AddBar(bar.Value, double(bar.Position), ToQString(bar.Label), colour);
}

QString TDistributionForm::DistribMarkText(int index) const
{
  return ToQString(model_.MarkText(index));
}

void TDistributionForm::FillDistributionInfo()
{
  const std::string searchText = owner_ ? owner_->SearchText() : std::string();
  setWindowTitle(ToQString(TDistributionModel::CaptionFor(searchText)));
  PatternLabel->setText(ToQString(searchText));
  TotalLabel->setText(QString::number(model_.Total));
  if (owner_ && owner_->Search()) {
    FillSearchInfo(*this, *owner_->Search());
    return;
  }
  // A search that failed keeps its hits but no settings to show.
  for (QLabel* label : info_)
    label->clear();
  for (SearchInfoPanel p : {SearchInfoPanel::Padding, SearchInfoPanel::Heading, SearchInfoPanel::Context})
    SetPanelVisible(p, false);
}

void TDistributionForm::FillScopeCombo()
{
  const QSignalBlocker blocker(FilesCombo);
  FilesCombo->clear();
  for (const std::string& item : model_.ScopeComboItems())
    FilesCombo->addItem(ToQString(item));
  FilesCombo->setCurrentIndex(model_.Scope);
}

void TDistributionForm::SetStepControlsEnabled(bool enabled)
{
  PercentsCheck->setEnabled(enabled);
  StepCombo->setEnabled(enabled);
  StepLabel->setEnabled(enabled);
}

// --- handlers -----------------------------------------------------------------

void TDistributionForm::FilesComboChange()
{
  if (!model_.ChooseScope(FilesCombo->currentIndex()))
    return;
  SetStepControlsEnabled(model_.StepControlsEnabled());
  DrawDistribution(true);
  FillDistributionInfo();
}

void TDistributionForm::StepComboChange()
{
  if (model_.ChooseStep(StepCombo->currentIndex()))
    DrawDistribution(true);
}

void TDistributionForm::PercentsCheckClick()
{
  model_.Percents = PercentsCheck->isChecked();
  DrawDistribution(false);
}

void TDistributionForm::LabelsCheckClick()
{
  Chart->SetMarksVisible(LabelsCheck->isChecked());
}

void TDistributionForm::ResetDistribution()
{
  model_.Scope = TDistributionModel::ScopeCorpus;
  FillScopeCombo();
  SetStepControlsEnabled(true);
  DrawDistribution(true);
  FillDistributionInfo();
}

// --- save and print -----------------------------------------------------------

void TDistributionForm::SaveDistribution()
{
  SaveDialog.FileName.clear();
  if (!SaveDialog.Execute())
    return;
  try {
    BusyScope busy(BusySaving);
    TFileTextSink file(SaveDialog.FileName);
    model_.WriteReport(file);
    file.Close();
  } catch (const std::exception& e) {
    ShowError(e.what());
  }
}

int TDistributionForm::PrintLabelRows(QPainter& painter, int left, int top, const QLabel* filesLabel)
{
  std::vector<std::vector<const QLabel*>> rows{
      {ScopeLabel, filesLabel},
      {PatternLabelLabel, PatternLabel, TotalLabelLabel, TotalLabel},
      {SyntaxTypeLabelLabel, SyntaxTypeLabel, IgnoreCaseLabelLabel, IgnoreCaseLabel, FreqOfHitsLabelLabel,
       FreqOfHitsLabel, SentModeLabelLabel, SentModeLabel}};
  if (panelShown_[size_t(SearchInfoPanel::Padding)])
    rows.push_back({SkipCharLabelLabel, SkipCharLabel, EqualCharsLabelLabel, EqualCharsLabel});
  if (panelShown_[size_t(SearchInfoPanel::Heading)]) {
    rows.push_back({HeadStartLabelLabel, HeadStartLabel, HeadStopLabelLabel, HeadStopLabel});
    rows.push_back({HeadMatchLabelLabel, HeadMatchLabel});
    rows.push_back({TextStartLabelLabel, TextStartLabel, TextStopLabelLabel, TextStopLabel});
  }
  if (panelShown_[size_t(SearchInfoPanel::Context)])
    rows.push_back({LeftContextLabelLabel, LeftContextLabel, RightContextLabelLabel, RightContextLabel});

  int y = top;
  for (const auto& row : rows) {
    int x = left;
    int height = 0;
    for (const QLabel* label : row) {
      const QFont font(label->font(), painter.device());
      const QFontMetrics metrics(font, painter.device());
      const QString text = label->text().remove(QLatin1Char('&'));
      painter.setFont(font);
      painter.drawText(x, y + metrics.ascent(), text);
      x += metrics.horizontalAdvance(text) + metrics.horizontalAdvance(QLatin1Char('W'));
      height = std::max(height, metrics.height());
    }
    y += height;
  }
  return y;
}

void TDistributionForm::PrintDistribution()
{
  QPrinter* printer = ProgramPrinter();
  if (!printer) {
    ShowError(NoPrinterText);
    return;
  }
  if (!PreparePrintJob(*printer))
    return;
  const QPageLayout::Orientation oldOrientation = printer->pageLayout().orientation();
  // The orientation goes back whatever happens below.
  struct TRestore {
    QPrinter* printer;
    QPageLayout::Orientation orientation;
    ~TRestore() { printer->setPageOrientation(orientation); }
  } restore{printer, oldOrientation};
  printer->setPageOrientation(model_.StepIndex == 0 ? QPageLayout::Portrait : QPageLayout::Landscape);

  std::string error;
  try {
    BusyScope busy(BusyPrinting);
    QPainter painter;
    if (!painter.begin(printer))
      throw std::runtime_error(
          platform::writeErrorText(FromQString(printerName(*printer)), "the print job could not be started"));
    const int width = printer->width();
    const int height = printer->height();
    const int left = width * 5 / 100;
    const int right = width - left;
    const int top = height * 5 / 100;
    const int bottom = height - top;
    painter.setPen(Qt::black);

    QFont titleFont(QStringLiteral("Arial"), 12, QFont::Bold);
    titleFont = QFont(titleFont, painter.device());
    const QFontMetrics titleMetrics(titleFont, painter.device());
    painter.setFont(titleFont);
    painter.drawText(left, top + titleMetrics.ascent(), QStringLiteral("Hits Distribution"));

    const QLocale locale;
    const QDateTime now = QDateTime::currentDateTime();
    const QString footer = QStringLiteral("Printed by Quillmar Pro on ") +
                           locale.toString(now.date(), QLocale::ShortFormat) + QStringLiteral(" at ") +
                           locale.toString(now.time(), LongTimeFormat.isEmpty()
                                                           ? locale.timeFormat(QLocale::ShortFormat)
                                                           : LongTimeFormat);
    const QFont footerFont(QFont(QStringLiteral("Arial"), 8), painter.device());
    const QFontMetrics footerMetrics(footerFont, painter.device());
    painter.setFont(footerFont);
    painter.drawText(left, bottom - footerMetrics.descent(), footer);

    QLabel filesLabel(ToQString(model_.ScopeText()));
    filesLabel.setFont(PatternLabel->font());
    const int rowsBottom =
        PrintLabelRows(painter, left, top + titleMetrics.height() + titleMetrics.height() / 2, &filesLabel);
    const int gap = titleMetrics.height() / 2;
    const QRect chartRect(QPoint(left, rowsBottom + gap), QPoint(right, bottom - footerMetrics.height() - gap));
    if (chartRect.isValid())
      Chart->PaintInto(painter, chartRect);
    const bool ended = painter.end();
    if (!ended || printer->printerState() == QPrinter::Error)
      throw std::runtime_error(
          platform::writeErrorText(FromQString(printerName(*printer)), "the printer reported an error"));
  } catch (const std::exception& e) {
    error = e.what();
  }
  if (!error.empty())
    ShowError(error);
}
