// The collocation window "Frequency Statistics" (child kind 3) of one
// concordance window: for each word position around the hits, the words
// found there with their counts, most frequent first, side by side in one
// report list (TCollocationModel, copied from the concordance's collocate
// tables when the window is made).
//
// The frame's Save, Print, Copy and Font commands reach it through
// TListWindowCommands; its own Display menu has the font command too. Save
// and print write the owner's tables as the collocation report.
#pragma once

#include "forms/collocation_model.h"
#include "search/concord_items.h"
#include "workbench/frame/child_window.h"
#include "workbench/frame/frame_commands.h"
#include "workbench/frame/frame_dialogs.h"

#include <QPointer>

#include <cstdint>
#include <memory>
#include <string>

class QAction;
class QMenu;
class QTableView;
class TConcordanceForm;

class TCollocationForm : public TMDIChildForm, public TListWindowCommands
{
  Q_OBJECT
public:
  static constexpr const char* SaveDialogTitle = "Select filename to save to";
  static constexpr const char* SaveDialogFilter = "Text files (*.TXT)|*.TXT|All files (*.*)|*.*";
  static constexpr int InitialWidth = 580;
  static constexpr int InitialHeight = 320;

  TCollocationForm(TConcordanceForm* owner, int32_t page, QWidget* parent = nullptr);
  ~TCollocationForm() override;

  QMenu* DisplayMenu = nullptr;      // "&Display"
  QAction* ChangeFontItem = nullptr;  // "Change &Font..."
  QTableView* ListView = nullptr;
  TFileDialog SaveDialog{"SaveDialog", TFileDialog::SaveMode};

  // The concordance window whose tables are shown; nullptr once it is gone.
  TConcordanceForm* Owner() const;
  int32_t Page() const { return page_; }
  uint8_t FirstPosition() const { return model_.First(); }
  uint8_t LastPosition() const { return model_.Last(); }
  int32_t PositionCount() const { return model_.PositionCount(); }
  const TCollocationModel& Model() const { return model_; }

  // Makes the list view's rows from the tables first..last (sorted by count
  // here), at most MaximumLines of the frequency settings.
  void FillCollocationList(TConcordItems::TCollocTableArray& tables, uint8_t first, uint8_t last);
  // Count columns 40 pixels, separators 0, the word columns share the rest.
  void UpdateColumnWidths();

  // TListWindowCommands: the frame's commands.
  void SaveCommand() override;
  void PrintCommand() override;
  void CopyCommand() override;
  void FontCommand() override;

  void activated() override;

protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  class TTableModel;
  void ApplyFont(const TFontRec& font);

  QPointer<TConcordanceForm> owner_;
  int32_t page_ = 0;
  TCollocationModel model_;
  TTableModel* tableModel_ = nullptr;
  bool building_ = false;
};

// Makes the collocation window of owner over its tables first..last: caption
// "Filling list..." while the list is filled, then the window's caption for
// the pattern. The window belongs to the caller (the frame once added).
TCollocationForm* CreateCollocationForm(TConcordanceForm* owner, int32_t page, const std::string& pattern,
                                        TConcordItems::TCollocTableArray& tables, uint8_t last, uint8_t first);
