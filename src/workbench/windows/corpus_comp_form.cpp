#include "workbench/windows/corpus_comp_form.h"

#include "foundation/dialogs.h"
#include "foundation/program_state.h"
#include "workbench/dialogs/progress_form.h"
#include "workbench/frame/frame_form.h"
#include "workbench/frame/grid_metrics.h"
#include "workbench/frame/qt_text.h"
#include "workbench/output/text_sink.h"
#include "workbench/windows/concordance_form.h"

#include <QAbstractTableModel>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

// The grid's cells, formatted from the window's records when drawn.
class TCompGridModel final : public QAbstractTableModel {
public:
  TCompGridModel(const TCompRecords& records, QObject* parent) : QAbstractTableModel(parent), records_(records) {}
  int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : int(records_.size()); }
  int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : CompColumnCount; }
  QVariant data(const QModelIndex& index, int role) const override
  {
    if (!index.isValid())
      return {};
    if (role == Qt::DisplayRole)
      return ToQString(CompCellText(records_[size_t(index.row())], index.column()));
    return {};
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override
  {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < CompColumnCount)
      return QString::fromLatin1(CompHeaderTexts[section]);
    return QAbstractTableModel::headerData(section, orientation, role);
  }
  void Reset()
  {
    beginResetModel();
    endResetModel();
  }

private:
  const TCompRecords& records_;
};

namespace {

// Margin of the text at the left of a cell, and what a column keeps besides
// its widest text: both margins and the grid line.
constexpr int CellTextMargin = 2;
constexpr int CellTextExtra = 2 * CellTextMargin + 1;
constexpr int CompWordColumn = 2;

// One cell of the grid (CompGridDrawCell): the text 2 pixels from the left
// and centred by the height of "0", clipped to the cell over its filled
// background. Header cells have the button colour and a raised frame; a
// cell selected but not focused has the highlight colours; every selected
// cell gets a focus rectangle.
void DrawCompCell(QPainter& painter, const QRect& rect, const QString& text, const QFont& font,
                  const QPalette& palette, bool fixed, bool selected, bool focused)
{
  painter.save();
  painter.setClipRect(rect);
  QColor background = palette.color(fixed ? QPalette::Button : QPalette::Base);
  QColor foreground = palette.color(fixed ? QPalette::ButtonText : QPalette::Text);
  if (selected && !focused && !fixed) {
    background = palette.color(QPalette::Highlight);
    foreground = palette.color(QPalette::HighlightedText);
  }
  painter.fillRect(rect, background);
  const QFontMetrics metrics(font);
  const int offset = std::max(0, (rect.height() - metrics.height()) / 2);
  painter.setFont(font);
  painter.setPen(foreground);
  painter.drawText(rect.left() + CellTextMargin, rect.top() + offset + metrics.ascent(), text);
  if (fixed) {
    const QRect r = rect.adjusted(0, 0, -1, -1);
    painter.setPen(palette.color(QPalette::Light));
    painter.drawLine(r.topLeft(), r.topRight());
    painter.drawLine(r.topLeft(), r.bottomLeft());
    painter.setPen(palette.color(QPalette::Dark));
    painter.drawLine(r.bottomLeft(), r.bottomRight());
    painter.drawLine(r.topRight(), r.bottomRight());
  }
  if (selected && !fixed) {
    painter.setPen(QPen(foreground, 1, Qt::DotLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect.adjusted(0, 0, -1, -1));
  }
  painter.restore();
}

// The data cells, drawn as above.
class TCompCellDrawer final : public QStyledItemDelegate {
public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
  {
    DrawCompCell(*painter, option.rect, index.data().toString(), option.font, option.palette, false,
                 option.state & QStyle::State_Selected, option.state & QStyle::State_HasFocus);
  }
};

// The header row, drawn as the grid's fixed row.
class TCompGridHeader final : public QHeaderView {
public:
  explicit TCompGridHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {}

protected:
  void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override
  {
    const QString text = model() ? model()->headerData(logicalIndex, Qt::Horizontal).toString() : QString();
    DrawCompCell(*painter, rect, text, font(), palette(), true, false, false);
  }
};

TCCSortRunner& SortRunner()
{
  static TCCSortRunner runner;
  return runner;
}

TCompColumnsRunner& ColumnsRunner()
{
  static TCompColumnsRunner runner;
  return runner;
}

QComboBox* AddSortGroup(QVBoxLayout* layout, QWidget* parent, const char* title, const char* comboName,
                        const char* boxName, QCheckBox*& descending)
{
  auto* group = new QGroupBox(QString::fromLatin1(title), parent);
  auto* row = new QHBoxLayout(group);
  auto* combo = new QComboBox(group);
  combo->setObjectName(QString::fromLatin1(comboName));
  for (const char* name : CompSortKeyNames)
    combo->addItem(QString::fromLatin1(name));
  descending = new QCheckBox(QStringLiteral("Descending"), group);
  descending->setObjectName(QString::fromLatin1(boxName));
  row->addWidget(combo, 1);
  row->addWidget(descending);
  layout->addWidget(group);
  return combo;
}

QDialogButtonBox* AddButtons(QDialog* dialog, const char* okCaption)
{
  auto* buttons = new QDialogButtonBox(dialog);
  QPushButton* ok = buttons->addButton(QString::fromLatin1(okCaption), QDialogButtonBox::AcceptRole);
  ok->setDefault(true);
  buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
  QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
  return buttons;
}

}  // namespace

TCCSortForm::TCCSortForm(QWidget* parent) : QDialog(parent)
{
  setObjectName(QStringLiteral("CCSortForm"));
  setWindowTitle(QStringLiteral("Sort Options"));
  auto* layout = new QVBoxLayout(this);
  FirstSortCB = AddSortGroup(layout, this, " First Sort ", "FirstSortCB", "FirstScandentCB", FirstScandentCB);
  SecondSortCB = AddSortGroup(layout, this, " Second Sort ", "SecondSortCB", "SecondScandentCB", SecondScandentCB);
  ThirdSortCB = AddSortGroup(layout, this, " Third Sort ", "ThirdSortCB", "ThirdScandentCB", ThirdScandentCB);
  layout->addWidget(AddButtons(this, "Sort"));
}

void TCCSortForm::Load(const TCompSortKeys& keys)
{
  QComboBox* combos[] = {FirstSortCB, SecondSortCB, ThirdSortCB};
  QCheckBox* boxes[] = {FirstScandentCB, SecondScandentCB, ThirdScandentCB};
  for (int k = 0; k < 3; ++k) {
    combos[k]->setCurrentIndex(std::min<int>(keys[size_t(2 * k)], CompColumnCount));
    boxes[k]->setChecked(keys[size_t(2 * k + 1)] != 0);
  }
}

TCompSortKeys TCCSortForm::Keys() const
{
  const QComboBox* combos[] = {FirstSortCB, SecondSortCB, ThirdSortCB};
  const QCheckBox* boxes[] = {FirstScandentCB, SecondScandentCB, ThirdScandentCB};
  TCompSortKeys keys{};
  for (int k = 0; k < 3; ++k) {
    keys[size_t(2 * k)] = uint8_t(std::max(combos[k]->currentIndex(), 0));
    keys[size_t(2 * k + 1)] = boxes[k]->isChecked() ? 1 : 0;
  }
  return keys;
}

TCorpusCompColsSelectForm::TCorpusCompColsSelectForm(QWidget* parent) : QDialog(parent)
{
  setObjectName(QStringLiteral("CorpusCompColsSelectForm"));
  setWindowTitle(QStringLiteral("Select columns to save"));
  auto* layout = new QVBoxLayout(this);
  for (int c = 0; c < CompColumnCount; ++c) {
    CB[c] = new QCheckBox(QString::fromLatin1(CompColumnNames[c]), this);
    CB[c]->setObjectName(QStringLiteral("CB%1").arg(c));
    CB[c]->setChecked(true);
    layout->addWidget(CB[c]);
  }
  layout->addWidget(AddButtons(this, "OK"));
}

uint32_t TCorpusCompColsSelectForm::Mask() const
{
  uint32_t mask = 0;
  for (int c = 0; c < CompColumnCount; ++c)
    if (CB[c]->isChecked())
      mask |= 1u << c;
  return mask;
}

TCCSortRunner SetCCSortRunner(TCCSortRunner runner)
{
  TCCSortRunner old = std::move(SortRunner());
  SortRunner() = std::move(runner);
  return old;
}

TCompColumnsRunner SetCompColumnsRunner(TCompColumnsRunner runner)
{
  TCompColumnsRunner old = std::move(ColumnsRunner());
  ColumnsRunner() = std::move(runner);
  return old;
}

bool EditCompSortKeys(TCompSortKeys& keys)
{
  TCCSortForm form(QApplication::activeWindow());
  form.Load(keys);
  const int result = SortRunner() ? SortRunner()(form) : form.exec();
  if (result != QDialog::Accepted)
    return false;
  keys = form.Keys();
  return true;
}

uint32_t SelectCompColumns()
{
  TCorpusCompColsSelectForm form(QApplication::activeWindow());
  const int result = ColumnsRunner() ? ColumnsRunner()(form) : form.exec();
  return result == QDialog::Accepted ? form.Mask() : 0;
}

bool AskFrequencyFile(std::string& fileName)
{
  TFileDialog dialog("OpenDialog", TFileDialog::OpenMode);
  dialog.Title = "Open Frequency file";
  dialog.Filter = "Text Files (*.txt)|*.txt|All Files (*.*)|*.*";
  dialog.Options = ofFileMustExist;
  dialog.InitialDir = ConcordancePath;
  if (!dialog.Execute())
    return false;
  fileName = dialog.FileName;
  return true;
}

TCorpusCompForm::TCorpusCompForm(QWidget* parent) : TMDIChildForm(mkCorpusComp, parent)
{
  setObjectName(QStringLiteral("CorpusCompForm"));
  setWindowTitle(QString::fromLatin1(Caption));
  resize(600, 320);

  Panel1 = new QFrame(this);
  Panel1->setObjectName(QStringLiteral("Panel1"));
  CompGrid = new QTableView(Panel1);
  CompGrid->setObjectName(QStringLiteral("CompGrid"));
  CompGrid->setHorizontalHeader(new TCompGridHeader(CompGrid));
  CompGrid->setItemDelegate(new TCompCellDrawer(CompGrid));
  gridModel_ = new TCompGridModel(Records, CompGrid);
  CompGrid->setModel(gridModel_);
  CompGrid->verticalHeader()->hide();
  CompGrid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  CompGrid->verticalHeader()->setMinimumSectionSize(1);
  CompGrid->verticalHeader()->setDefaultSectionSize(18);
  CompGrid->horizontalHeader()->setDefaultSectionSize(80);
  CompGrid->horizontalHeader()->setHighlightSections(false);
  CompGrid->horizontalHeader()->setStretchLastSection(false);
  CompGrid->setSelectionBehavior(QAbstractItemView::SelectItems);
  CompGrid->setSelectionMode(QAbstractItemView::ContiguousSelection);
  CompGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  CompGrid->setWordWrap(false);
  CompGrid->setShowGrid(true);

  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
  Sort1 = PopupMenu1->addAction(QStringLiteral("Sort..."));
  Sort1->setObjectName(QStringLiteral("Sort1"));
  connect(Sort1, &QAction::triggered, this, [this] { Sort1Click(); });
  CompGrid->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(CompGrid, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& p) { PopupMenu1->popup(CompGrid->viewport()->mapToGlobal(p)); });

  auto* inner = new QVBoxLayout(Panel1);
  inner->setContentsMargins(0, 0, 0, 0);
  inner->addWidget(CompGrid);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(Panel1);

  SaveDialog.Title = SaveTitle;
  SaveDialog.Filter = SaveFilter;
  // Asks before replacing: the chosen file may be the reference list itself.
  SaveDialog.Options = ofOverwritePrompt | ofHideReadOnly | ofPathMustExist | ofEnableSizing;
  SetGridFont(FrequencySettings.Font);
}

TCorpusCompForm::~TCorpusCompForm() = default;

void TCorpusCompForm::SetComparison(std::unique_ptr<THashStrings> refTable, TCompRecords records)
{
  RefTable = std::move(refTable);
  gridModel_->Reset();
  Records = std::move(records);
  gridModel_->Reset();
  FitColumns();
}

void TCorpusCompForm::FitColumns()
{
  const QFontMetrics metrics(CompGrid->font());
  const QFontMetrics headerMetrics(CompGrid->horizontalHeader()->font());
  // The header row is a row of the grid.
  CompGrid->horizontalHeader()->setFixedHeight(CompGrid->verticalHeader()->defaultSectionSize() + 1);
  const int32_t rows = int32_t(Records.size());
  for (int c = 0; c < CompColumnCount; ++c) {
    int width = std::max(80, headerMetrics.horizontalAdvance(QString::fromLatin1(CompHeaderTexts[c])) + CellTextExtra);
    const auto measure = [&](int32_t row) {
      return metrics.horizontalAdvance(ToQString(CompCellText(Records[size_t(row)], c))) + CellTextExtra;
    };
    if (c == CompWordColumn) {
      // A short word of wide letters can be wider than the longest words:
      // the words are ranked by a bound of their width, and every word that
      // could be wider than the widest measured is measured too.
      const TTextWidthBound bound(CompGrid->font());
      width = std::max(width, widestOfRows(rows, [&](int32_t row) { return bound(Records[size_t(row)].Word) + CellTextExtra; },
                                           measure));
    } else {
      // Numbers of the same length are equally wide (their digits are), so
      // only the longest are measured.
      const auto key = [&](int32_t row) { return compCellLengthKey(Records[size_t(row)], c); };
      for (int32_t row : longestTextRows(rows, key))
        width = std::max(width, measure(row));
    }
    CompGrid->setColumnWidth(c, width);
  }
}

void TCorpusCompForm::SetGridFont(const TFontRec& font)
{
  CompGrid->setFont(ToQFont(font));
  QPalette palette = CompGrid->palette();
  palette.setColor(QPalette::Text, ColorFromTColor(font.Color, palette, palette.color(QPalette::Text)));
  CompGrid->setPalette(palette);
}

void TCorpusCompForm::SortComparison()
{
  ScopedHourglass hourglass;
  SortCompRecords(Records, SortKeys);
  gridModel_->Reset();
}

void TCorpusCompForm::Sort1Click()
{
  if (EditCompSortKeys(SortKeys))
    SortComparison();
}

void TCorpusCompForm::WriteTo(TTextSink& file, bool printing, uint32_t mask)
{
  WriteComparison(Records, file, printing, mask, [](ProgressDialog& progress) { MakeApplicationModal(progress); });
}

void TCorpusCompForm::SaveComparison()
{
  const uint32_t mask = SelectCompColumns();
  if (mask == 0)
    return;
  SaveDialog.InitialDir = FreqPath;
  if (!SaveDialog.Execute())
    return;
  TFileTextSink file(SaveDialog.FileName);
  WriteTo(file, false, mask);
}

void TCorpusCompForm::PrintComparison()
{
  const uint32_t mask = SelectCompColumns();
  if (mask == 0)
    return;
  TPrinterTextSink printer(Caption);
  WriteTo(printer, true, mask);
}

void TCorpusCompForm::SaveCommand()
{
  try {
    SaveComparison();
  } catch (const std::exception& e) {
    ShowError(e.what());
  }
}

void TCorpusCompForm::PrintCommand()
{
  RunShowingFailure([this] { PrintComparison(); });
}

void TCorpusCompForm::CopyComparison()
{
  if (Records.empty())
    return;
  const QModelIndexList selected = CompGrid->selectionModel() ? CompGrid->selectionModel()->selectedIndexes()
                                                              : QModelIndexList();
  int top = 0, bottom = int(Records.size()) - 1, left = 0, right = CompColumnCount - 1;
  if (selected.size() > 1) {
    top = bottom = selected.front().row();
    left = right = selected.front().column();
    for (const QModelIndex& index : selected) {
      top = std::min(top, index.row());
      bottom = std::max(bottom, index.row());
      left = std::min(left, index.column());
      right = std::max(right, index.column());
    }
  }
  RunShowingFailure([&] {
    TClipboardTextSink clipboard;
    clipboard.Write(CompCopyText(Records, top, bottom, left, right));
    clipboard.Close();
  });
}

void TCorpusCompForm::ChooseCompFont()
{
  TFontRec font = FrequencySettings.Font;
  if (!ChooseFont(font, QStringLiteral("Font")))
    return;
  FrequencySettings.Font = font;
  ApplyCompFont();
}

void TCorpusCompForm::ApplyCompFont()
{
  SetGridFont(FrequencySettings.Font);
  CompGrid->verticalHeader()->setDefaultSectionSize(std::max(QFontMetrics(CompGrid->font()).height(), 1));
  FitColumns();
  CompGrid->viewport()->update();
}

void TCorpusCompForm::closeEvent(QCloseEvent* event)
{
  RefTable.reset();
  TMDIChildForm::closeEvent(event);
}

void CompareCorpora(TFrameForm& frame, const THashStrings& current, int64_t currentTotal)
{
  if (currentTotal <= 0) {
    ShowError(UnknownCurrentTotalText);
    return;
  }
  std::string fileName;
  if (!AskFrequencyFile(fileName))
    return;
  int64_t referenceTotal = 0;
  std::unique_ptr<THashStrings> reference;
  if (!ReadFrequencyFile(fileName, std::max(current.Count(), 1), referenceTotal, reference))
    return;
  TCompRecords records = BuildComparison(current, currentTotal, *reference, referenceTotal);
  auto* window = new TCorpusCompForm;
  window->SetComparison(std::move(reference), std::move(records));
  frame.AddChildWindow(window);
}
