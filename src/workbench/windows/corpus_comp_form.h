// "Corpus Comparison": the current corpus's word counts beside a reference
// word-list file's (child kind 5), sorted on three keys, saved, printed and
// copied with the columns the user picks; and its two small dialogs.
#pragma once

#include "forms/corpus_comparison.h"
#include "foundation/settings.h"
#include "workbench/frame/child_window.h"
#include "workbench/frame/frame_commands.h"
#include "workbench/frame/frame_dialogs.h"

#include <QDialog>

#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QMenu;
class QTableView;
class TFrameForm;
class TCompGridModel;

// "Sort Options": three keys, each with "Descending".
class TCCSortForm : public QDialog {
  Q_OBJECT
public:
  explicit TCCSortForm(QWidget* parent = nullptr);
  QComboBox* FirstSortCB = nullptr;
  QComboBox* SecondSortCB = nullptr;
  QComboBox* ThirdSortCB = nullptr;
  QCheckBox* FirstScandentCB = nullptr;  // "Descending"
  QCheckBox* SecondScandentCB = nullptr;
  QCheckBox* ThirdScandentCB = nullptr;
  void Load(const TCompSortKeys& keys);
  TCompSortKeys Keys() const;
};

// "Select columns to save": one box per column, all ticked at first.
class TCorpusCompColsSelectForm : public QDialog {
  Q_OBJECT
public:
  explicit TCorpusCompColsSelectForm(QWidget* parent = nullptr);
  QCheckBox* CB[CompColumnCount] = {};
  // Column c ticked gives bit 1 << c.
  uint32_t Mask() const;
};

// Tests drive the two dialogs through these (nullptr/empty: shown modally).
using TCCSortRunner = std::function<int(TCCSortForm&)>;
using TCompColumnsRunner = std::function<int(TCorpusCompColsSelectForm&)>;
TCCSortRunner SetCCSortRunner(TCCSortRunner runner);
TCompColumnsRunner SetCompColumnsRunner(TCompColumnsRunner runner);

// Runs "Sort Options" on the keys; they change only on "Sort".
bool EditCompSortKeys(TCompSortKeys& keys);
// The chosen columns; 0 when none or cancelled.
uint32_t SelectCompColumns();
// "Open Frequency file" in ConcordancePath; false when cancelled.
bool AskFrequencyFile(std::string& fileName);

class TCorpusCompForm : public TMDIChildForm, public TListWindowCommands {
  Q_OBJECT
public:
  static constexpr const char* Caption = "Corpus Comparison";
  static constexpr const char* SaveTitle = "Save Corpos Comparation";
  static constexpr const char* SaveFilter = "Text files (*.txt)|*.txt|All files (*.*)|*.*";

  explicit TCorpusCompForm(QWidget* parent = nullptr);
  ~TCorpusCompForm() override;

  QFrame* Panel1 = nullptr;
  QTableView* CompGrid = nullptr;
  QMenu* PopupMenu1 = nullptr;
  QAction* Sort1 = nullptr;
  TFileDialog SaveDialog{"SaveDialog", TFileDialog::SaveMode};

  std::unique_ptr<THashStrings> RefTable;
  TCompRecords Records;
  TCompSortKeys SortKeys{};

  // Takes the reference table and the records, shown in their order.
  void SetComparison(std::unique_ptr<THashStrings> refTable, TCompRecords records);

  void SortComparison();
  // Failures of writing raise; the frame commands show them.
  void SaveComparison();
  void PrintComparison();
  void CopyComparison();
  void ChooseCompFont();
  void ApplyCompFont();
  void Sort1Click();

  // TListWindowCommands
  void SaveCommand() override;
  void PrintCommand() override;
  void CopyCommand() override { CopyComparison(); }
  void FontCommand() override { ChooseCompFont(); }
  void TakeFrequencyFont() override { ApplyCompFont(); }

  QSize sizeHint() const override { return {600, 320}; }

protected:
  void closeEvent(QCloseEvent* event) override;

private:
  void WriteTo(TTextSink& file, bool printing, uint32_t mask);
  void SetGridFont(const TFontRec& font);
  // Each column at least 80 pixels, and as wide as its header and its
  // widest cell need in the grid's fonts, the cells of its longest texts
  // measured (longestTextRows).
  void FitColumns();
  TCompGridModel* gridModel_ = nullptr;
};

// The whole comparison from the current table and its word total: the file
// dialog, the reading and a new window. A total of 0 or less is refused.
void CompareCorpora(TFrameForm& frame, const THashStrings& current, int64_t currentTotal);
