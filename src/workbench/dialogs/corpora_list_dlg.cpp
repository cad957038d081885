#include "workbench/dialogs/corpora_list_dlg.h"

#include "workbench/frame/qt_text.h"

#include <QAbstractListModel>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

QPointer<TCorporaListDlg> CorporaListDlg;

// The corpus list as rows: every change of the list resets the rows, and
// the form puts the selection back from the model.
class TCorpusItemsModel : public QAbstractListModel {
public:
  using QAbstractListModel::QAbstractListModel;
  int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : CorpusList.Count(); }
  QVariant data(const QModelIndex& index, int role) const override
  {
    if (role != Qt::DisplayRole || index.row() < 0 || index.row() >= CorpusList.Count())
      return {};
    return ToQString(CorpusList[index.row()].Name);
  }
  void refresh()
  {
    beginResetModel();
    endResetModel();
  }
};

TCorporaListDlg::TCorporaListDlg(TCorpusFrame& frame, TCorporaListModel::THooks hooks, QWidget* parent)
    : QDialog(parent)
{
  setObjectName(QStringLiteral("CorporaListDlg"));
  setWindowTitle(QString::fromLatin1(CorporaListCaption));
  setModal(false);

  Title = new QLabel(QStringLiteral("Currently loaded &corpora:"), this);
  Title->setObjectName(QStringLiteral("Title"));
  CorporaList = new QListView(this);
  CorporaList->setObjectName(QStringLiteral("CorporaList"));
  CorporaList->setSelectionMode(QAbstractItemView::ExtendedSelection);
  CorporaList->setEditTriggers(QAbstractItemView::NoEditTriggers);
  Title->setBuddy(CorporaList);
  items_ = new TCorpusItemsModel(this);
  CorporaList->setModel(items_);

  auto makeButton = [this](const char* name, const char* caption) {
    auto* b = new QPushButton(QString::fromLatin1(caption), this);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    return b;
  };
  RemoveBtn = makeButton("RemoveBtn", "&Remove");
  ShowBtn = makeButton("ShowBtn", "&Show");
  ReloadBtn = makeButton("ReloadBtn", "Re&load");
  CloseBtn = makeButton("CloseBtn", "Close");
  RemoveBtn->setEnabled(false);
  ShowBtn->setEnabled(false);
  ReloadBtn->setEnabled(false);

  auto* buttons = new QVBoxLayout;
  for (QPushButton* b : {RemoveBtn, ShowBtn, ReloadBtn})
    buttons->addWidget(b);
  buttons->addStretch(1);
  buttons->addWidget(CloseBtn);
  auto* body = new QHBoxLayout;
  body->addWidget(CorporaList, 1);
  body->addLayout(buttons);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Title);
  layout->addLayout(body, 1);
  resize(460, 260);

  if (!hooks.CloseDialog)
    hooks.CloseDialog = [this] { close(); };
  if (!hooks.BringToFront)
    hooks.BringToFront = [this] {
      raise();
      activateWindow();
    };
  model_ = std::make_unique<TCorporaListModel>(frame, std::move(hooks));
  model_->OnListChanged = [this](TCorpusChange, int32_t) {
    items_->refresh();
    putSelection();
  };

  connect(CorporaList->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { takeSelection(); });
  connect(CorporaList->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] { takeSelection(); });
  connect(CorporaList, &QListView::doubleClicked, this, [this] {
    takeSelection();
    model_->DoubleClick();
    putSelection();
  });
  connect(ShowBtn, &QPushButton::clicked, this, [this] {
    model_->ShowSelectedCorpora();
    putSelection();
  });
  connect(RemoveBtn, &QPushButton::clicked, this, [this] {
    model_->RemoveSelectedCorpora();
    putSelection();
  });
  connect(ReloadBtn, &QPushButton::clicked, this, [this] { model_->ReloadClick(); });
  connect(CloseBtn, &QPushButton::clicked, this, &QDialog::close);
}

TCorporaListDlg::~TCorporaListDlg() = default;

void TCorporaListDlg::takeSelection()
{
  if (syncing_)
    return;
  std::vector<int32_t> rows;
  for (const QModelIndex& index : CorporaList->selectionModel()->selectedRows())
    rows.push_back(index.row());
  const QModelIndex current = CorporaList->selectionModel()->currentIndex();
  model_->SetSelection(rows, current.isValid() ? current.row() : -1);
  UpdateCorporaButtons();
}

void TCorporaListDlg::putSelection()
{
  syncing_ = true;
  QItemSelectionModel* selection = CorporaList->selectionModel();
  QItemSelection wanted;
  for (int32_t i : model_->SelectedItems())
    wanted.select(items_->index(i), items_->index(i));
  selection->select(wanted, QItemSelectionModel::ClearAndSelect);
  if (model_->Current >= 0)
    selection->setCurrentIndex(items_->index(model_->Current), QItemSelectionModel::NoUpdate);
  syncing_ = false;
  UpdateCorporaButtons();
}

void TCorporaListDlg::UpdateCorporaButtons()
{
  model_->UpdateCorporaButtons();
  RemoveBtn->setEnabled(model_->RemoveEnabled);
  ShowBtn->setEnabled(model_->ShowEnabled);
  ReloadBtn->setEnabled(model_->ReloadEnabled);
}

void TCorporaListDlg::ShowNonModal()
{
  if (!isVisible()) {
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
      const QRect r = screen->availableGeometry();
      move(r.x() + (r.width() - width()) / 2, r.y() + (r.height() - height()) / 2);
    }
  }
  show();
  raise();
  activateWindow();
}

void TCorporaListDlg::showEvent(QShowEvent* event)
{
  QDialog::showEvent(event);
  CorporaList->setFocus();
  UpdateCorporaButtons();
}
