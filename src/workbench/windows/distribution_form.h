// The distribution window: how the hits of one concordance window spread
// over the text of the corpus or of one item (slices of 2 to 50 percent of
// the lines) or over the corpus items, as a horizontal bar chart under the
// settings of the search that made the hits. The numbers can be saved as
// text and the chart printed.
//
// One window per concordance window; it closes with its owner. It does not
// follow later changes of the owner's hits until the scope or the step is
// chosen again.
#pragma once

#include "forms/distribution_model.h"
#include "foundation/dialogs.h"
#include "workbench/frame/child_window.h"
#include "workbench/frame/frame_dialogs.h"

#include <QPointer>

#include <array>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QPainter;
class QPushButton;
class TBarChart;
class TConcordanceForm;

class TDistributionForm : public TMDIChildForm, public SearchInfoLabels
{
  Q_OBJECT
public:
  explicit TDistributionForm(TConcordanceForm* owner, QWidget* parent = nullptr);
  ~TDistributionForm() override;

  // Every distribution window that exists, in the order of creation.
  static std::vector<TDistributionForm*> DistributionWindows();

  // --- components -------------------------------------------------------
  QFrame* TopPanel = nullptr;
  QFrame* OptionsPanel = nullptr;
  QLabel* SyntaxTypeLabelLabel = nullptr;
  QLabel* SyntaxTypeLabel = nullptr;
  QLabel* IgnoreCaseLabelLabel = nullptr;
  QLabel* IgnoreCaseLabel = nullptr;
  QLabel* PatternLabelLabel = nullptr;
  QLabel* PatternLabel = nullptr;
  QLabel* TotalLabelLabel = nullptr;
  QLabel* TotalLabel = nullptr;
  QLabel* SentModeLabelLabel = nullptr;
  QLabel* SentModeLabel = nullptr;
  QLabel* FreqOfHitsLabelLabel = nullptr;
  QLabel* FreqOfHitsLabel = nullptr;
  QFrame* PaddingPanel = nullptr;
  QLabel* SkipCharLabelLabel = nullptr;
  QLabel* SkipCharLabel = nullptr;
  QLabel* EqualCharsLabelLabel = nullptr;
  QLabel* EqualCharsLabel = nullptr;
  QFrame* HeadingPanel = nullptr;
  QLabel* HeadStartLabelLabel = nullptr;
  QLabel* HeadStartLabel = nullptr;
  QLabel* HeadStopLabelLabel = nullptr;
  QLabel* HeadStopLabel = nullptr;
  QLabel* HeadMatchLabelLabel = nullptr;
  QLabel* HeadMatchLabel = nullptr;
  QLabel* TextStartLabelLabel = nullptr;
  QLabel* TextStartLabel = nullptr;
  QLabel* TextStopLabelLabel = nullptr;
  QLabel* TextStopLabel = nullptr;
  QFrame* ContextPanel = nullptr;
  QLabel* LeftContextLabelLabel = nullptr;
  QLabel* LeftContextLabel = nullptr;
  QLabel* RightContextLabelLabel = nullptr;
  QLabel* RightContextLabel = nullptr;
  QFrame* ScopePanel = nullptr;
  QLabel* ScopeLabel = nullptr;
  QComboBox* FilesCombo = nullptr;
  QLabel* StepLabel = nullptr;
  QComboBox* StepCombo = nullptr;
  QCheckBox* PercentsCheck = nullptr;
  QCheckBox* LabelsCheck = nullptr;
  QPushButton* PrintBtn = nullptr;
  QPushButton* SaveBtn = nullptr;
  TBarChart* Chart = nullptr;
  TFileDialog SaveDialog{"SaveDialog", TFileDialog::SaveMode};

  // --- fields -----------------------------------------------------------
  // Scope, Items, StepIndex and Total.
  TDistributionModel& Model() { return model_; }
  const TDistributionModel& Model() const { return model_; }
  // The concordance window whose hits are shown; nullptr once it is gone.
  TConcordanceForm* OwnerForm() const { return owner_; }

  // --- operations -------------------------------------------------------
  // Counts again (Recompute) or redraws the bars last counted.
  void DrawDistribution(bool recompute);
  // The caption, the pattern, the total and the owner's search settings.
  void FillDistributionInfo();
  // The mark of bar index.
  QString DistribMarkText(int index) const;
  void FillScopeCombo();
  // The step box, its label and the Percent box.
  void SetStepControlsEnabled(bool enabled);
  // The report through the save dialog; failures are shown.
  void SaveDistribution();
  // The chart with the search settings on the program's printer; failures
  // are shown, the printer's orientation is restored.
  void PrintDistribution();
  // After corpus items were removed: back to the entire corpus.
  void ResetDistribution();

  // --- handlers ---------------------------------------------------------
  void FilesComboChange();
  void StepComboChange();
  void PercentsCheckClick();
  void LabelsCheckClick();
  void SaveBtnClick() { SaveDistribution(); }
  void PrintBtnClick() { PrintDistribution(); }

  // SearchInfoLabels.
  void SetSearchInfo(SearchInfoField field, std::string_view text) override;
  void SetPanelVisible(SearchInfoPanel panel, bool visible) override;
  int PanelHeight(SearchInfoPanel panel) const override;

protected:
  void closeEvent(QCloseEvent* event) override;

private:
  void FormCreate();
  // Closes the window with its sub-window.
  void closeWindow();
  void CreateComponents();
  QFrame* Panel(SearchInfoPanel panel) const;
  // Prints the rows of labels from top; returns the bottom of the last row.
  int PrintLabelRows(QPainter& painter, int left, int top, const QLabel* filesLabel);

  TDistributionModel model_;
  QPointer<TConcordanceForm> owner_;
  std::array<QLabel*, SearchInfoFieldCount> info_{};
  std::array<bool, SearchInfoPanelCount> panelShown_{};
};

// Opens the distribution window of a concordance window, or brings up the
// open one. Builds the line indexes the corpus lacks first; a cancelled scan
// opens nothing. Returns the window or nullptr.
TDistributionForm* ShowDistribution(TConcordanceForm& concordance);
// Resets every open distribution window to the entire corpus (after corpus
// items were removed).
void ResetDistributions();
