#include "workbench/dialogs/word_list_editor_form.h"

#include "workbench/dialogs/edit_helpers.h"
#include "workbench/frame/qt_text.h"

#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

TWordListEditorForm::TWordListEditorForm(const char* objectName, const char* caption, const char* title,
                             QWidget* parent)
  : QDialog(parent)
{
  setObjectName(QString::fromLatin1(objectName));
  setWindowTitle(QString::fromLatin1(caption));

  Title = new QLabel(QString::fromLatin1(title), this);
  Title->setObjectName(QStringLiteral("Title"));
  FileNameLabel = new QLabel(this);
  FileNameLabel->setObjectName(QStringLiteral("FileNameLabel"));
  FileNameLabel->setTextFormat(Qt::PlainText);
  WordList = new QListWidget(this);
  WordList->setObjectName(QStringLiteral("WordList"));
  WordList->setSelectionMode(QAbstractItemView::ExtendedSelection);

  AddButton = MakeDialogButton(this, "AddButton", "&Add...");
  RemoveButton = MakeDialogButton(this, "RemoveButton", "&Remove");
  ClearButton = MakeDialogButton(this, "ClearButton", "&Clear");
  SaveButton = MakeDialogButton(this, "SaveButton", "&Save...");
  LoadButton = MakeDialogButton(this, "LoadButton", "&Load...");

  connect(WordList, &QListWidget::itemSelectionChanged, this, [this] {
    if (syncing_)
      return;
    TakeSelection();
    UpdateButtons();
  });
}

QVBoxLayout* TWordListEditorForm::ButtonColumn()
{
  auto* column = new QVBoxLayout;
  for (QPushButton* b : {AddButton, RemoveButton, ClearButton, SaveButton, LoadButton})
    column->addWidget(b);
  column->addStretch(1);
  return column;
}

void TWordListEditorForm::TakeSelection()
{
  std::vector<bool> selected(static_cast<size_t>(WordList->count()), false);
  for (int i = 0; i < WordList->count(); ++i)
    selected[static_cast<size_t>(i)] = WordList->item(i)->isSelected();
  ListModel().SetSelection(std::move(selected));
}

void TWordListEditorForm::ShowList(const std::string& fileNameLabel)
{
  syncing_ = true;
  const auto& words = ListModel().WordList();
  const auto& selected = ListModel().Selection();
  WordList->clear();
  for (size_t i = 0; i < words.size(); ++i) {
    auto* item = new QListWidgetItem(ToQString(words[i]), WordList);
    item->setSelected(selected[i]);
  }
  FileNameLabel->setText(QFile::decodeName(QByteArray::fromStdString(fileNameLabel)));
  syncing_ = false;
  UpdateButtons();
}
