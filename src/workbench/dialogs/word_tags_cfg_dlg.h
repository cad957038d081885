// "Part of Speech Tags Settings" and its meta-tag editor: thin Qt forms over
// TWordTagsCfgModel and TEditMetaTagsModel. The dialog is created once at
// start-up.
#pragma once

#include "forms/tag_settings.h"

#include <QDialog>
#include <QPointer>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QWidget;

class TEditMetaTagsDlg : public QDialog {
  Q_OBJECT
public:
  TEditMetaTagsDlg(TEditMetaTagsModel& model, QWidget* parent = nullptr);

  QLabel* Label1 = nullptr;
  QLineEdit* NameEdit = nullptr;
  QLabel* TagStartLabel = nullptr;
  QLineEdit* ContentsEdit = nullptr;
  QPushButton* OKBtn = nullptr;
  QPushButton* CancelBtn = nullptr;

  void accept() override;

private:
  TEditMetaTagsModel& model_;
};

class TWordTagsCfgDialog : public QDialog, private TTagSettingsView {
  Q_OBJECT
public:
  explicit TWordTagsCfgDialog(QWidget* parent = nullptr);
  ~TWordTagsCfgDialog() override;

  TWordTagsCfgModel& Model() { return model_; }

  QGroupBox* GeneralGroup = nullptr;
  QCheckBox* EmbededCB = nullptr;
  QWidget* EmbededPanel = nullptr;
  QLabel* DelimiterLabel = nullptr;
  QLineEdit* DelimiterEdit = nullptr;
  QCheckBox* OutsideCB = nullptr;
  QWidget* OutsidePanel = nullptr;
  QLabel* TagStartLabel = nullptr;
  QTableWidget* TagStartGrid = nullptr;
  QLabel* TagStopLabel = nullptr;
  QLineEdit* TagStopEdit = nullptr;
  QCheckBox* OutsideBeforeCB = nullptr;
  QGroupBox* MetaGroup = nullptr;
  QTableWidget* MetaGrid = nullptr;
  QPushButton* AddBtn = nullptr;
  QPushButton* EditBtn = nullptr;
  QPushButton* RemoveBtn = nullptr;
  QPushButton* OkBtn = nullptr;
  QPushButton* CancelBtn = nullptr;

  // Runs the dialog; true when the part-of-speech settings changed.
  bool EditWordTagSettings() { return model_.EditWordTagSettings(); }

  void accept() override;

private:
  bool ShowModal() override;
  void Beep() override;
  bool RunWatchTagEditor(TEditWatchTagsModel&) override { return false; }
  bool RunMetaTagEditor(TEditMetaTagsModel& editor) override;

  void ShowModel();
  void ShowPanels();
  bool ReadControls();
  void MetaButton(void (TWordTagsCfgModel::*handler)());

  TWordTagsCfgModel model_;
};

extern QPointer<TWordTagsCfgDialog> WordTagsCfgDialog;
