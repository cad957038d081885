#include "workbench/windows/collocation_form.h"

#include "foundation/dialogs.h"
#include "foundation/program_state.h"
#include "foundation/settings.h"
#include "foundation/text_sink.h"
#include "foundation/word_list.h"
#include "platform/frame_sink.h"
#include "platform/ui_bridge.h"
#include "workbench/frame/grid_metrics.h"
#include "workbench/frame/menu_table.h"
#include "workbench/frame/qt_text.h"
#include "workbench/output/output_config_dlg.h"
#include "workbench/output/text_sink.h"
#include "workbench/windows/concordance_form.h"

#include <QAbstractTableModel>
#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>
#include <functional>
#include <vector>

// The list view's rows: the texts are made when asked for.
class TCollocationForm::TTableModel : public QAbstractTableModel
{
public:
  TTableModel(const TCollocationModel& model, QObject* parent) : QAbstractTableModel(parent), model_(model) {}

  int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : model_.RowCount(); }
  int columnCount(const QModelIndex& parent) const override
  {
    return parent.isValid() ? 0 : model_.ColumnCount();
  }
  QVariant data(const QModelIndex& index, int role) const override
  {
    if (role == Qt::DisplayRole)
      return ToQString(model_.CellText(index.row(), index.column()));
    if (role == Qt::TextAlignmentRole)
      return AlignmentOf(index.column());
    return {};
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override
  {
    if (orientation != Qt::Horizontal)
      return {};
    if (role == Qt::DisplayRole)
      return ToQString(model_.HeaderText(section));
    if (role == Qt::TextAlignmentRole)
      return AlignmentOf(section);
    return {};
  }
  // The list is filled anew while no view reads it.
  void Reset(const std::function<void()>& fill)
  {
    beginResetModel();
    fill();
    endResetModel();
  }

private:
  static QVariant AlignmentOf(int column)
  {
    const bool count = TCollocationModel::KindOf(column) == TCollocationModel::TColumnKind::Count;
    return int((count ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
  }

  const TCollocationModel& model_;
};

TCollocationForm::TCollocationForm(TConcordanceForm* owner, int32_t page, QWidget* parent)
  : TMDIChildForm(mkCollocation, parent), owner_(owner), page_(page)
{
  setObjectName(QStringLiteral("CollocationForm"));
  setWindowTitle(QString::fromLatin1(TCollocationModel::FormCaption));
  resize(InitialWidth, InitialHeight);
  DisplayMenu = addMenu(DisplayMenuGroup, QStringLiteral("DisplayMenu"), QStringLiteral("&Display"));
  ChangeFontItem = DisplayMenu->addAction(QStringLiteral("Change &Font..."));
  ChangeFontItem->setObjectName(QStringLiteral("ChangeFontItem"));
  connect(ChangeFontItem, &QAction::triggered, this, &TCollocationForm::FontCommand);

  SaveDialog.Title = SaveDialogTitle;
  SaveDialog.Filter = SaveDialogFilter;
  SaveDialog.Options = ofOverwritePrompt;
}

TConcordanceForm* TCollocationForm::Owner() const
{
  return owner_;
}

TCollocationForm::~TCollocationForm()
{
  if (ListView)
    ListView->removeEventFilter(this);
}

void TCollocationForm::FillCollocationList(TConcordItems::TCollocTableArray& tables, uint8_t first, uint8_t last)
{
  building_ = true;
  if (!ListView) {
    ListView = new QTableView(this);
    ListView->setObjectName(QStringLiteral("ListView"));
    tableModel_ = new TTableModel(model_, ListView);
    ListView->setModel(tableModel_);
    ListView->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView->setSortingEnabled(false);
    ListView->setWordWrap(false);
    ListView->setShowGrid(false);
    ListView->verticalHeader()->hide();
    ListView->horizontalHeader()->setMinimumSectionSize(0);
    ListView->horizontalHeader()->setSectionsClickable(false);
    ListView->horizontalHeader()->setHighlightSections(false);
    ListView->installEventFilter(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(ListView);
  }
  tableModel_->Reset([&] { model_.Fill(tables, first, last, FrequencySettings.MaximumLines); });
  layout()->activate();
  ApplyFont(FrequencySettings.Font);
  UpdateColumnWidths();
  ListView->setFocus();
  building_ = false;
}

void TCollocationForm::ApplyFont(const TFontRec& font)
{
  ListView->setFont(ToQFont(font));
  // Rows as high as a line of the font.
  ListView->verticalHeader()->setMinimumSectionSize(0);
  ListView->verticalHeader()->setDefaultSectionSize(ListView->fontMetrics().height() + 4);
}

void TCollocationForm::UpdateColumnWidths()
{
  if (!ListView)
    return;
  const TRedrawOff redrawOff(this);
  // A count column is 40 pixels wide, or as wide as its largest count (its
  // first row) needs in the list's font.
  std::vector<int> counts(size_t(PositionCount()), TCollocationModel::CountColumnWidth);
  int countWidths = 0;
  for (int p = 0; p < PositionCount(); ++p) {
    counts[size_t(p)] = std::max(counts[size_t(p)], ColumnTextWidth(*ListView, 3 * p + 1, {0}));
    countWidths += counts[size_t(p)];
  }
  const int scrollBar = ListView->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, ListView);
  const int word = TCollocationModel::WordColumnWidth(ListView->width(), PositionCount(), scrollBar, countWidths);
  for (int column = 0; column < model_.ColumnCount(); ++column)
    switch (TCollocationModel::KindOf(column)) {
    case TCollocationModel::TColumnKind::Separator: ListView->setColumnWidth(column, 0); break;
    case TCollocationModel::TColumnKind::Count: ListView->setColumnWidth(column, counts[size_t(column / 3)]); break;
    case TCollocationModel::TColumnKind::Word:
      // Never narrower than the position's name over it.
      ListView->setColumnWidth(column, std::max(word, HeaderTextWidth(*ListView, column)));
      break;
    }
}

void TCollocationForm::resizeEvent(QResizeEvent* event)
{
  TMDIChildForm::resizeEvent(event);
  if (!building_) {
    // The list view follows the window through the layout.
    if (layout())
      layout()->activate();
    UpdateColumnWidths();
  }
}

bool TCollocationForm::eventFilter(QObject* watched, QEvent* event)
{
  if (watched == ListView && event->type() == QEvent::FocusIn)
    platform::frameSink().statusText({});
  return TMDIChildForm::eventFilter(watched, event);
}

void TCollocationForm::activated()
{
  platform::frameSink().statusText({});
}

// ---------------------------------------------------------------------------
// The frame's commands

void TCollocationForm::SaveCommand()
{
  int32_t maxLines = 0;
  if (!EditMaxOutputLines(okSave, maxLines))
    return;
  SaveDialog.FileName.clear();
  SaveDialog.InitialDir = FreqPath;
  if (!SaveDialog.Execute())
    return;
  FreqPath = FolderOfPath(SaveDialog.FileName);
  if (!owner_)
    return;
  try {
    TFileTextSink file(SaveDialog.FileName);
    owner_->WriteCollocations(file, maxLines);
    file.Close();
  } catch (const std::exception& e) {
    ShowError(e.what());
  }
}

void TCollocationForm::PrintCommand()
{
  int32_t maxLines = 0;
  if (!EditMaxOutputLines(okPrint, maxLines) || !owner_)
    return;
  RunShowingFailure([&] {
    TPrinterTextSink printer(windowTitle().toStdString());
    owner_->WriteCollocations(printer, maxLines);
    printer.Close();
  });
}

void TCollocationForm::CopyCommand()
{
  if (!ListView)
    return;
  std::vector<int32_t> rows;
  for (const QModelIndex& index : ListView->selectionModel()->selectedRows())
    rows.push_back(index.row());
  if (rows.empty())
    return;
  std::sort(rows.begin(), rows.end());
  RunShowingFailure([&] {
    TClipboardTextSink clipboard;
    clipboard.Write(model_.CopyText(rows));
    clipboard.Close();
  });
}

void TCollocationForm::FontCommand()
{
  if (!ListView || focusWidget() != ListView)
    return;
  TFontRec font = FrequencySettings.Font;
  if (!ChooseFont(font, ChangeFontItem->text().remove(QLatin1Char('&'))))
    return;
  FrequencySettings.Font = font;
  ApplyFont(font);
  UpdateColumnWidths();
}

// ---------------------------------------------------------------------------

TCollocationForm* CreateCollocationForm(TConcordanceForm* owner, int32_t page, const std::string& pattern,
                                        TConcordItems::TCollocTableArray& tables, uint8_t last, uint8_t first)
{
  auto form = std::make_unique<TCollocationForm>(owner, page);
  form->setWindowTitle(QString::fromLatin1(TCollocationModel::FillingCaption));
  platform::uiBridge().processMessages();
  {
    const TRedrawOff redrawOff(form.get());
    form->FillCollocationList(tables, first, last);
  }
  form->setWindowTitle(ToQString(TCollocationModel::Caption(pattern)));
  return form.release();
}
