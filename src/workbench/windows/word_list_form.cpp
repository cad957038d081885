#include "workbench/windows/word_list_form.h"

#include "foundation/dialogs.h"
#include "foundation/program_state.h"
#include "foundation/settings.h"
#include "foundation/word_list.h"
#include "workbench/frame/frame_form.h"
#include "workbench/frame/grid_metrics.h"
#include "workbench/frame/qt_text.h"
#include "workbench/output/output_config_dlg.h"
#include "workbench/output/text_sink.h"
#include "workbench/windows/concordance_form.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

// The grid's cells, formatted from the window's rows when they are drawn.
class TWordListGridModel final : public QAbstractTableModel {
public:
  TWordListGridModel(const TWordListRows& rows, QObject* parent) : QAbstractTableModel(parent), rows_(rows) {}

  int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : rows_.Count(); }
  int columnCount(const QModelIndex& parent) const override
  {
    return parent.isValid() ? 0 : TWordListRows::ColumnCount;
  }
  QVariant data(const QModelIndex& index, int role) const override
  {
    if (!index.isValid())
      return {};
    if (role == Qt::DisplayRole)
      return ToQString(rows_.CellText(index.row(), index.column()));
    if (role == Qt::TextAlignmentRole)  // numbers to the right, words to the left
      return QVariant::fromValue(Qt::Alignment((index.column() < 2 ? Qt::AlignRight : Qt::AlignLeft) |
                                               Qt::AlignVCenter));
    return {};
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override
  {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < TWordListRows::ColumnCount)
      return QString::fromLatin1(TWordListRows::HeaderTexts[section]);
    return QAbstractTableModel::headerData(section, orientation, role);
  }
  void Reset()
  {
    beginResetModel();
    endResetModel();
  }

private:
  const TWordListRows& rows_;
};

namespace {

constexpr int GridLineWidth = 1;

}  // namespace

TWordListForm::TWordListForm(QWidget* parent) : TMDIChildForm(mkWordList, parent)
{
  setObjectName(QStringLiteral("WordListForm"));
  setWindowTitle(QString::fromLatin1(InitialCaption));
  resize(425, 300);

  Container = new QFrame(this);
  Container->setObjectName(QStringLiteral("Container"));
  Container->setFrameShape(QFrame::Panel);
  Container->setFrameShadow(QFrame::Raised);
  Container->setLineWidth(2);
  FreqGrid = new QTableView(Container);
  FreqGrid->setObjectName(QStringLiteral("FreqGrid"));
  gridModel_ = new TWordListGridModel(rows_, FreqGrid);
  FreqGrid->setModel(gridModel_);
  FreqGrid->verticalHeader()->hide();
  FreqGrid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  FreqGrid->verticalHeader()->setMinimumSectionSize(1);
  FreqGrid->verticalHeader()->setDefaultSectionSize(18);
  FreqGrid->horizontalHeader()->setHighlightSections(false);
  FreqGrid->horizontalHeader()->setStretchLastSection(false);
  FreqGrid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  FreqGrid->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  FreqGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
  FreqGrid->setSelectionMode(QAbstractItemView::ContiguousSelection);
  FreqGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  FreqGrid->setWordWrap(false);
  FreqGrid->setShowGrid(true);
  FreqGrid->setColumnWidth(0, 71);
  FreqGrid->setColumnWidth(1, 77);
  FreqGrid->setColumnWidth(2, 253);
  FreqGrid->installEventFilter(this);

  auto* inner = new QVBoxLayout(Container);
  inner->setContentsMargins(2, 2, 2, 2);
  inner->addWidget(FreqGrid);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(Container);

  SaveDialog.Title = SaveTitle;
  SaveDialog.Filter = SaveFilter;
  SaveDialog.Options = ofOverwritePrompt;
  ApplyFont(FrequencySettings.Font);
}

TWordListForm::~TWordListForm() = default;

void TWordListForm::ApplyFont(const TFontRec& font)
{
  gridFont_ = font;
  FreqGrid->setFont(ToQFont(font));
  QPalette palette = FreqGrid->palette();
  palette.setColor(QPalette::Text, ColorFromTColor(font.Color, palette, palette.color(QPalette::Text)));
  FreqGrid->setPalette(palette);
}

void TWordListForm::SetRowHeight(int height)
{
  FreqGrid->verticalHeader()->setDefaultSectionSize(std::max(height, 1));
}

void TWordListForm::SetColumnWidths(bool withScrollBar)
{
  const QFontMetrics metrics(FreqGrid->font());
  const int zero = metrics.horizontalAdvance(QLatin1Char('0'));
  // Six and ten widths of "0", or what the largest count and percentage
  // need when that is more.
  const int first = std::max(6 * zero, ColumnTextWidth(*FreqGrid, 0, {rows_.largestRow()}));
  const int second = std::max(10 * zero, ColumnTextWidth(*FreqGrid, 1, {rows_.largestRow()}));
  int rest = FreqGrid->width() - 2 * FreqGrid->frameWidth() - first - second - 2 * GridLineWidth - 3;
  if (withScrollBar)
    rest -= FreqGrid->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, FreqGrid);
  FreqGrid->setColumnWidth(0, first);
  FreqGrid->setColumnWidth(1, second);
  FreqGrid->setColumnWidth(2, std::max(rest, 0));
}

void TWordListForm::FillWordList(THashStrings& table, int mode, const std::string& caption, int64_t total,
                                 int64_t rowLimit)
{
  setWindowTitle(ToQString(caption));
  SetRowHeight(QFontMetrics(FreqGrid->font()).height() + 4);
  rows_.Fill(table, mode, caption, total, rowLimit);
  gridModel_->Reset();
  SetColumnWidths(true);
}

void TWordListForm::WriteWordList(TTextSink& file, int32_t maxLines, bool withFrequencies) const
{
  rows_.Write(file, maxLines, withFrequencies);
  file.Close();
}

void TWordListForm::SaveWordList()
{
  int32_t maxLines = 0;
  bool withFrequencies = true;
  if (!EditWordListOutputOptions(okSave, maxLines, withFrequencies))
    return;
  SaveDialog.FileName.clear();
  SaveDialog.InitialDir = CorpusFreqPath;
  if (!SaveDialog.Execute())
    return;
  CorpusFreqPath = FolderOfPath(SaveDialog.FileName);
  try {
    TFileTextSink file(SaveDialog.FileName);
    WriteWordList(file, maxLines, withFrequencies);
  } catch (const std::exception& e) {
    ShowError(e.what());
  }
}

void TWordListForm::PrintWordList()
{
  int32_t maxLines = 0;
  bool withFrequencies = true;
  if (!EditWordListOutputOptions(okPrint, maxLines, withFrequencies))
    return;
  RunShowingFailure([&] {
    TPrinterTextSink printer(rows_.Caption());
    WriteWordList(printer, maxLines, withFrequencies);
  });
}

void TWordListForm::CopyWordListRows()
{
  const QModelIndexList selected = FreqGrid->selectionModel()->selectedRows();
  if (selected.isEmpty())
    return;
  int first = selected.front().row();
  int last = first;
  for (const QModelIndex& index : selected) {
    first = std::min(first, index.row());
    last = std::max(last, index.row());
  }
  RunShowingFailure([&] {
    TClipboardTextSink clipboard;
    clipboard.Write(rows_.CopyText(first, last));
    clipboard.Close();
  });
}

void TWordListForm::ChangeWordListFont()
{
  TFontRec font = gridFont_;
  if (!ChooseFont(font, QStringLiteral("Font")))
    return;
  FrequencySettings.Font = font;
  ApplyFont(font);
  SetRowHeight(QFontMetrics(FreqGrid->font()).height());
  SetColumnWidths(true);
  FreqGrid->viewport()->update();
}

std::unique_ptr<THashStrings> TWordListForm::WordListToTable() const
{
  return rows_.ToTable();
}

void TWordListForm::activated()
{
  SetColumnWidths(true);
  FreqGrid->setFocus();
}

bool TWordListForm::eventFilter(QObject* watched, QEvent* event)
{
  // The window's resize reaches the grid through the layouts: its own size
  // is the one the widths follow.
  if (watched == FreqGrid && event->type() == QEvent::Resize)
    SetColumnWidths(false);
  if (watched == FreqGrid && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
    EscapePressed = true;
  return TMDIChildForm::eventFilter(watched, event);
}
