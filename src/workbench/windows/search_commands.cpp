// The search driver: Search and Advanced Search of the Concordance menu, and
// the concordance window's Save as File and Print.
#include "workbench/frame/frame_commands.h"

#include "foundation/dialogs.h"
#include "foundation/program_state.h"
#include "foundation/settings.h"
#include "platform/ui_bridge.h"
#include "search/concord_items.h"
#include "forms/search_dialog_model.h"
#include "search/search_driver.h"
#include "workbench/frame/child_window.h"
#include "workbench/windows/concordance_form.h"
#include "workbench/output/concordance_writer.h"
#include "workbench/frame/frame_form.h"
#include "foundation/text_sink.h"
#include "workbench/output/text_sink.h"

#include <QLabel>

#include <filesystem>
#include <limits>

namespace {

// The nine batch switches as the writer takes them, without a line limit.
TOutputOptions BatchWriterOptions()
{
  const TBatchOutputOptions& o = BatchOutputOptions;
  TOutputOptions options;
  options.MaxLines = 0;
  options.ShowFile = o.ShowFileNames;
  options.SortLabels = o.SortLabels;
  options.SaveAsHTML = o.SaveAsHTML;
  options.TrackedTags = o.TrackedTags;
  options.RelativeLines = o.RelativeLines;
  options.PageNumbers = o.PageNumbers;
  options.LineNumbers = o.LineNumbers;
  options.ConcealCollocates = o.ConcealCollocates;
  options.ConcealHits = o.ConcealHits;
  return options;
}

// Every pattern of the request, each followed by a line break.
std::string PatternsText(const TSearchRec& request)
{
  std::string text;
  for (const std::string& pattern : request.Patterns)
    text += pattern + "\r\n";
  return text;
}

// A batch needs sorting when a key is not "unsorted" or the customised list
// holds keys (an empty list counts as no list).
bool BatchSortWanted()
{
  const TAdvancedSortColOptions& sortSpec = ConcordSettings.BatchSort;
  return sortSpec.First != ctxNone || sortSpec.Second != ctxNone || sortSpec.Third != ctxNone ||
         !ConcordSettings.BatchSortItems.empty();
}

// The sort order a refine keeps: text order on key 1 only, nothing reversed.
bool IsTextOrder(const TAdvancedSortColOptions& sortSpec)
{
  return sortSpec.First == ctxOrig && sortSpec.Second == ctxNone && sortSpec.Third == ctxNone && !sortSpec.FirstReverse &&
         !sortSpec.SecondReverse && !sortSpec.ThirdReverse;
}

}  // namespace

void TFrameCommands::RegisterSearchCommands()
{
  Register("FMC_Generate", &TFrameCommands::FMC_GenerateClick);
  Register("FMC_GenerateAdvanced", &TFrameCommands::FMC_GenerateAdvancedClick);
  Register("FMC_Save", &TFrameCommands::FMC_SaveClick);
  Register("FMC_Print", &TFrameCommands::FMC_PrintClick);
}

void TFrameCommands::FMC_SaveClick()
{
  if (auto* window = dynamic_cast<TConcordanceForm*>(frame_.ActiveChild())) {
    BusyScope busy(BusySaving);
    window->SaveConcordance();
  }
}

void TFrameCommands::FMC_PrintClick()
{
  if (auto* window = dynamic_cast<TConcordanceForm*>(frame_.ActiveChild())) {
    BusyScope busy(BusyPrinting);
    window->PrintConcordance();
  }
}

void TFrameCommands::GenerateConcordance(bool advanced)
{
  if (PendingURLCount > 0 && !WarnYesNo(UnfinishedURLsSearchText, true))
    return;
  batchItems_.reset();
  frame_.BatchItems = nullptr;
  TSearchRec request;
  TMDIChildForm* active = frame_.ActiveChild();
  ConcordanceActive = active && active->kind() == mkConcordance;
  AppendSearch = false;
  SaveSearchToFile = false;
  if (!ExecuteSearchDialog(request, advanced))
    return;
  const std::string caption =
      BatchSearch ? std::string(MultiplePatternsCaption) : (request.Patterns.empty() ? std::string() : request.Patterns[0]);

  // Whatever happens: not busy, the batch file closed, the status text back,
  // the collected hits freed.
  struct CleanUp {
    TFrameCommands& self;
    ~CleanUp()
    {
      self.BatchFile.reset();
      self.frame_.BatchFileOpen = false;
      self.frame_.ShowStatusHint();
      self.frame_.BatchItems = nullptr;
      self.batchItems_.reset();
    }
  } cleanUp{*this};
  BusyScope busy(BusySearching);

  auto search = std::make_unique<TSearch>();
  int32_t phase = 0;
  std::string errorText;
  search->Prepare(request, phase, errorText);
  if (phase != 0) {
    ShowError(errorText);
    return;
  }
  if (SaveSearchToFile)
    RunBatchSearch(std::move(search), request);
  else
    RunInteractiveSearch(std::move(search), caption);
}

void TFrameCommands::RunBatchSearch(std::unique_ptr<TSearch> search, const TSearchRec& request)
{
  const TOutputOptions options = BatchWriterOptions();
  TFileDialog& d = frame_.SaveDialog;
  if (AppendSearch)
    d.Options &= ~ofOverwritePrompt;
  else
    d.Options |= ofOverwritePrompt;
  d.Title = BatchSaveTitle;
  d.Filter = options.SaveAsHTML ? BatchHtmlFilter : BatchTextFilter;
  if (!d.Execute())
    return;

  frame_.BatchNeedsSort = BatchSortWanted();
  if (frame_.BatchNeedsSort) {
    batchItems_ = std::make_unique<TConcordItems>();
    frame_.BatchItems = batchItems_.get();
  }
  frame_.BatchTagColumnWidth = options.TrackedTags ? TConcordanceForm::LongestTagNameWidth() : 0;
  const std::string patterns = PatternsText(request);
  try {
    BatchFile = std::make_unique<TFileTextSink>(
        d.FileName, AppendSearch ? TFileTextSink::TMode::Append : TFileTextSink::TMode::Create);
    frame_.BatchFileOpen = true;
    frame_.BatchMatchCount = 0;
    if (!frame_.BatchNeedsSort && options.SaveAsHTML)
      WriteHtmlHeader(*BatchFile, ConcordSettings.BatchContextType, patterns);
    search->RunSearch(std::numeric_limits<int32_t>::max(),
                      [this](std::unique_ptr<TConcordItem> item) { BatchHitCallback(std::move(item)); });
    if (frame_.BatchNeedsSort) {
      ScopedHourglass hourglass;
      frame_.StatusTextMessage("Sorting batch matches... (Press Escape to stop)");
      const ConcordConfig& c = ConcordSettings;
      batchItems_->SortItems(c.BatchSort, c.BatchSortItems.empty() ? nullptr : &c.BatchSortItems);
      frame_.StatusTextMessage("Saving batch matches...");
      platform::uiBridge().processMessages();
      WriteConcordance(*BatchFile, *batchItems_, nullptr, patterns, options, c.BatchSuppress,
                       c.BatchContextSizes, c.BatchContextType, false);
    } else if (options.SaveAsHTML) {
      WriteHtmlFooter(*BatchFile);
    }
    search.reset();
    BatchFile->Close();
  } catch (const std::exception& error) {
    ShowError(error.what());
  }
}

void TFrameCommands::BatchHitCallback(std::unique_ptr<TConcordItem> item)
{
  const ConcordConfig& c = ConcordSettings;
  if (!frame_.BatchNeedsSort) {
    TContextSetting context;
    context.Type = c.BatchContextType;
    context.Sizes = c.BatchContextSizes;
    TSVFormatArray runs;
    std::string line = TConcordItems::BuildHitLineWithOptions(*item, context, runs, 0, 0, ctxNone, ctxNone,
                                                              c.BatchSuppress[0], c.BatchSuppress[1],
                                                              c.BatchSuppress[2]);
    WriteConcordanceLine(*BatchFile, c.BatchContextType, *item, frame_.BatchMatchCount, frame_.BatchTagColumnWidth,
                         BatchWriterOptions(), false, runs, 0, line);
  } else {
    item->HitNumber = frame_.BatchMatchCount;
    batchItems_->AddItem(std::move(item));
  }
  ++frame_.BatchMatchCount;
  frame_.StatusTextMessage("Batch search matches: " + std::to_string(frame_.BatchMatchCount));
}

void TFrameCommands::RunInteractiveSearch(std::unique_ptr<TSearch> search, const std::string& caption)
{
  TConcordanceForm* window = AppendSearch ? dynamic_cast<TConcordanceForm*>(frame_.ActiveChild()) : nullptr;
  const bool refine = window != nullptr;
  if (refine) {
    window->SetSearch(nullptr);
    window->SetSearchText(caption + "/" + window->SearchText());
    window->ResetCollocColour();
  } else {
    window = new TConcordanceForm(caption);
    frame_.AddChildWindow(window);
  }
  TSearch* running = search.get();
  window->SetSearch(std::move(search));
  window->show();
  try {
    running->RunSearch(ConcordSettings.MaximumHits,
                       [window](std::unique_ptr<TConcordItem> item) { window->AddHit(std::move(item)); });
    window->AfterSearch();
  } catch (...) {
    // The window keeps the hits it got; the failure reaches the
    // application's handler, which shows it.
    window->SetSearch(nullptr);
    throw;
  }
  if (refine && !IsTextOrder(window->SortSpec())) {
    ResetSortSpec(window->SortSpec());
    window->SortOrderWindow->setText(QStringLiteral("Unordered"));
  }
}
