// The frame's three small dialogs: "Open URL" (AskURL), "Save Workspace
// Options" (ShowWkSpaceOptionsForm) and "Select language" (SelectLanguage).
// Each is created by its function, run modally and freed.
#pragma once

#include "forms/frame_dialogs_model.h"

#include <QDialog>

#include <string>

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;

class TOpenURLForm : public QDialog {
  Q_OBJECT
public:
  explicit TOpenURLForm(TOpenURLModel::TURLCheck check = TOpenURLModel::IsFetchableURL,
                        QWidget* parent = nullptr);

  QComboBox* URLCombo = nullptr;
  QPushButton* OKButton = nullptr;
  QPushButton* CancelButton = nullptr;

  const TOpenURLModel& Model() const { return model_; }

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void OKButtonClick();
  // The combo's text into the model; false after the code-page refusal.
  bool TakeText();
  void ShowModel();

  TOpenURLModel model_;
};

// The trimmed URL the user confirmed, else empty.
std::string AskURL();

class TWkSpaceOptionsForm : public QDialog {
  Q_OBJECT
public:
  explicit TWkSpaceOptionsForm(bool useDefaults, QWidget* parent = nullptr);

  QCheckBox* LinePageCheck = nullptr;
  QCheckBox* TagsCheck = nullptr;
  QCheckBox* URLsCheck = nullptr;
  QCheckBox* FreqCheck = nullptr;
  QPushButton* OKBtn = nullptr;
  QPushButton* CancelBtn = nullptr;

  void accept() override;

private:
  TWkSpaceOptionsModel model_;
};

// The workspace options editor of Save Workspace: true for OK, the four Keep
// flags then holding the choice.
bool ShowWkSpaceOptionsForm(bool useDefaults);

class TLangConfig : public QDialog {
  Q_OBJECT
public:
  explicit TLangConfig(QWidget* parent = nullptr);

  QListWidget* LangsList = nullptr;
  QLabel* FontLabel = nullptr;
  QPushButton* FontBtn = nullptr;
  QPushButton* OKBtn = nullptr;
  QPushButton* CancelBtn = nullptr;

  TLangConfigModel& Model() { return model_; }
  // Whether OK changed the language.
  bool Changed() const { return changed_; }
  // The font chosen in the font dialog (what FontBtn does after the dialog).
  void TakeFont(const QFont& font);

  void accept() override;

private:
  void FontBtnClick();
  void ShowFont();

  TLangConfigModel model_;
  bool changed_ = false;
};

// True when the language changed.
bool SelectLanguage();
