#include "workbench/dialogs/stop_list_dlg.h"

#include "foundation/chartables.h"
#include "workbench/dialogs/edit_helpers.h"
#include "workbench/frame/qt_text.h"

#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPalette>
#include <QPointer>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {

QString FromPath(const std::string& path)
{
  return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string ToPath(const QString& path)
{
  return QFile::encodeName(path).toStdString();
}

// The record's name (when given), size and style over the base font.
QFont FontOver(const TFontRec& rec, const QFont& base)
{
  QFont font = base;
  if (!rec.Name.empty())
    font.setFamily(ToQString(rec.Name));
  if (rec.Size > 0)
    font.setPointSize(rec.Size);
  font.setBold(rec.Style & fsBold);
  font.setItalic(rec.Style & fsItalic);
  font.setUnderline(rec.Style & fsUnderline);
  font.setStrikeOut(rec.Style & fsStrikeOut);
  return font;
}

bool RunFileDialog(QWidget* parent, bool save, const std::string& title, const std::string& startFolder,
                   std::string& fileName)
{
  const QString caption = QString::fromLatin1(title.c_str());
  const QString filter = QString::fromLatin1(TViewStopListDlg::FileFilter);
  // The save dialog asks nothing about an existing file.
  const QString chosen = save ? QFileDialog::getSaveFileName(parent, caption, FromPath(startFolder), filter,
                                                             nullptr, QFileDialog::DontConfirmOverwrite)
                              : QFileDialog::getOpenFileName(parent, caption, FromPath(startFolder), filter);
  if (chosen.isEmpty())
    return false;
  fileName = ToPath(chosen);
  return true;
}

}  // namespace

bool TQtStopListFileChooser::ChooseLoadFile(const std::string& title, const std::string& startFolder,
                                            std::string& fileName)
{
  return RunFileDialog(parent_, false, title, startFolder, fileName);
}

bool TQtStopListFileChooser::ChooseSaveFile(const std::string& title, const std::string& startFolder,
                                            std::string& fileName)
{
  return RunFileDialog(parent_, true, title, startFolder, fileName);
}

TViewStopListDlg::TViewStopListDlg(TStopList& list, TStopListFileChooser* chooser, QWidget* parent)
  : TWordListEditorForm("ViewStopListDlg", TViewStopListModel::Caption, TViewStopListModel::TitleText, parent)
{
  if (!chooser) {
    ownChooser_ = std::make_unique<TQtStopListFileChooser>(this);
    chooser = ownChooser_.get();
  }
  model_ = std::make_unique<TViewStopListModel>(list, *chooser);

  Title->setBuddy(WordList);
  CloseButton = MakeDialogButton(this, "CloseButton", "C&lose");

  auto* left = new QVBoxLayout;
  left->addWidget(Title);
  left->addWidget(WordList, 1);
  left->addWidget(FileNameLabel);
  auto* right = ButtonColumn();
  right->addWidget(CloseButton);
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(left, 1);
  layout->addLayout(right);

  connect(AddButton, &QPushButton::clicked, this, &TViewStopListDlg::AddButtonClick);
  connect(RemoveButton, &QPushButton::clicked, this, &TViewStopListDlg::RemoveButtonClick);
  connect(ClearButton, &QPushButton::clicked, this, &TViewStopListDlg::ClearButtonClick);
  connect(SaveButton, &QPushButton::clicked, this, &TViewStopListDlg::SaveButtonClick);
  connect(LoadButton, &QPushButton::clicked, this, &TViewStopListDlg::LoadButtonClick);
  connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);

  SetTextFont(SystemFont);
  QPointer<TViewStopListDlg> self(this);
  AddDialogFontListener([self] {
    if (self)
      self->SetTextFont(SystemFont);
  });
  ShowModel();
}

TViewStopListDlg::~TViewStopListDlg() = default;

void TViewStopListDlg::SetTextFont(const TFontRec& font)
{
  model_->SetTextFont(font);
  WordList->setFont(FontOver(font, this->font()));
  QPalette palette = WordList->palette();
  if (font.Color >= 0)  // BGR; negative values are system colours
    palette.setColor(QPalette::Text, QColor(font.Color & 0xFF, (font.Color >> 8) & 0xFF, (font.Color >> 16) & 0xFF));
  else
    palette.setColor(QPalette::Text, this->palette().color(QPalette::Text));
  WordList->setPalette(palette);
}

void TViewStopListDlg::showEvent(QShowEvent* event)
{
  TWordListEditorForm::showEvent(event);
  // Opening, not a window system's re-show after minimising.
  if (event->spontaneous())
    return;
  model_->Open();
  ShowModel();
}

void TViewStopListDlg::done(int result)
{
  model_->Close();
  TWordListEditorForm::done(result);
}

void TViewStopListDlg::AddButtonClick()
{
  model_->Add();
  ShowModel();
}

void TViewStopListDlg::RemoveButtonClick()
{
  TakeSelection();
  model_->Remove();
  ShowModel();
}

void TViewStopListDlg::ClearButtonClick()
{
  model_->Clear();
  ShowModel();
}

void TViewStopListDlg::SaveButtonClick()
{
  model_->Save();
  ShowModel();
}

void TViewStopListDlg::LoadButtonClick()
{
  model_->Load();
  ShowModel();
}

void TViewStopListDlg::ShowModel()
{
  ShowList(model_->FileNameLabel());
}

void TViewStopListDlg::UpdateButtons()
{
  RemoveButton->setEnabled(model_->RemoveEnabled());
  ClearButton->setEnabled(model_->ClearEnabled());
}
