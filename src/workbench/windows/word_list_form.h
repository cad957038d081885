// "Corpus Frequency Data": the word-list window (child kind 4). A grid of
// count, percentage and word over the window's own rows, in frequency or
// alphabetical order; saved, printed and copied as a word-list file, its
// font changed, and its words handed back as a word table.
#pragma once

#include "forms/word_list_rows.h"
#include "foundation/settings.h"
#include "workbench/frame/child_window.h"
#include "workbench/frame/frame_commands.h"
#include "workbench/frame/frame_dialogs.h"

#include <QString>

#include <memory>

class QFrame;
class QTableView;
class TWordListGridModel;

class TWordListForm : public TMDIChildForm, public TListWindowCommands {
  Q_OBJECT
public:
  static constexpr const char* InitialCaption = "Corpus Frequency Data";
  static constexpr const char* SaveTitle = "Select filename to save to";
  static constexpr const char* SaveFilter = "Text files (*.TXT)|*.TXT|All files (*.*)|*.*";

  explicit TWordListForm(QWidget* parent = nullptr);
  ~TWordListForm() override;

  QFrame* Container = nullptr;
  QTableView* FreqGrid = nullptr;
  TFileDialog SaveDialog{"SaveDialog", TFileDialog::SaveMode};

  // Sorts the table by the mode (0 keep, 1 alphabetical, 2 by count) and
  // takes the rows that pass the frequency filter, at most MaximumLines;
  // the caption becomes the window's, total is what percentages refer to.
  // A rowLimit above 0 takes at most that many rows as well.
  void FillWordList(THashStrings& table, int mode, const std::string& caption, int64_t total,
                    int64_t rowLimit = 0);
  // The frame's Save, Print and Copy of this window; failures are shown.
  void SaveWordList();
  void PrintWordList();
  void CopyWordListRows();
  void ChangeWordListFont();
  // A new table of every word of the table the window was filled from, with
  // its count, not only the rows shown (the caller owns it).
  std::unique_ptr<THashStrings> WordListToTable() const;
  // Writes the window's word-list file to the sink and closes it; raises
  // when writing fails.
  void WriteWordList(TTextSink& file, int32_t maxLines, bool withFrequencies) const;

  const TWordListRows& Rows() const { return rows_; }
  // The word total the fill was given (the comparison uses it).
  int64_t Total() const { return rows_.Total(); }

  // TListWindowCommands
  void SaveCommand() override { SaveWordList(); }
  void PrintCommand() override { PrintWordList(); }
  void CopyCommand() override { CopyWordListRows(); }
  void FontCommand() override { ChangeWordListFont(); }

  void activated() override;
  QSize sizeHint() const override { return {425, 300}; }

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void ApplyFont(const TFontRec& font);
  // Column 0 six and column 1 ten widths of "0" (wider when the largest
  // count or percentage needs it), the word column the rest less the grid
  // lines and 3 pixels; withScrollBar takes a vertical scroll bar's width
  // off as well.
  void SetColumnWidths(bool withScrollBar);
  void SetRowHeight(int height);

  TWordListRows rows_;
  TWordListGridModel* gridModel_ = nullptr;
  TFontRec gridFont_;  // the grid's font, where the font dialog starts
};
