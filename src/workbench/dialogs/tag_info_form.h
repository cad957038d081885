// "Info": where a hit is, its line, page and line in the page, and the
// current values of the tracked tags.
#pragma once

#include "foundation/hit_location.h"

#include <QDialog>

#include <string>

class QLabel;
class QPushButton;
class QTableWidget;

class TTagInfoForm : public QDialog {
  Q_OBJECT
public:
  static constexpr int ClientWidth = 394;
  static constexpr int ClientHeight = 348;

  explicit TTagInfoForm(const THitInfo& info, QWidget* parent = nullptr);
  ~TTagInfoForm() override;

  QLabel* MatchLabel = nullptr;
  QLabel* FilenameLabel = nullptr;
  QLabel* AbsLineLabel = nullptr;
  QLabel* PageLabel = nullptr;
  QLabel* RelLineLabel = nullptr;
  QTableWidget* Grid = nullptr;
  QPushButton* CloseBtn = nullptr;
};

// Shows the form for the hit at position of corpus item fileIndex, modally,
// and frees it.
void ShowHitInfo(int32_t fileIndex, int32_t position, const std::string& matchText);
