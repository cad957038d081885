// The "List of Open Corpora" dialog: a multi-select list whose rows are the
// corpus items themselves and the Remove, Show, Reload and Close buttons.
// The work is TCorporaListModel's; this form mirrors the selection into it
// and its button states back.
#pragma once

#include "forms/corpora_list_model.h"

#include <QDialog>
#include <QPointer>

#include <memory>

class QLabel;
class QListView;
class QPushButton;
class TCorpusItemsModel;

class TCorporaListDlg : public QDialog {
  Q_OBJECT
public:
  TCorporaListDlg(TCorpusFrame& frame, TCorporaListModel::THooks hooks, QWidget* parent = nullptr);
  ~TCorporaListDlg() override;

  TCorporaListModel& Model() { return *model_; }
  // Shows the dialog without blocking, in front.
  void ShowNonModal();
  // The buttons from the model's rules.
  void UpdateCorporaButtons();

  QLabel* Title = nullptr;
  QListView* CorporaList = nullptr;
  QPushButton* RemoveBtn = nullptr;
  QPushButton* ShowBtn = nullptr;
  QPushButton* ReloadBtn = nullptr;
  QPushButton* CloseBtn = nullptr;

protected:
  void showEvent(QShowEvent* event) override;

private:
  void takeSelection();
  void putSelection();

  TCorpusItemsModel* items_ = nullptr;
  std::unique_ptr<TCorporaListModel> model_;
  bool syncing_ = false;
};

extern QPointer<TCorporaListDlg> CorporaListDlg;
