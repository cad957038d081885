#include "workbench/windows/concordance_form.h"

#include "foundation/buf_stream.h"
#include "foundation/buf_stream_config.h"
#include "foundation/chartables.h"
#include "foundation/corpus_list.h"
#include "foundation/dialogs.h"
#include "foundation/hash_strings.h"
#include "foundation/hit_location.h"
#include "foundation/program_state.h"
#include "foundation/tag_scan.h"
#include "foundation/text_sink.h"
#include "foundation/utils.h"
#include "platform/codepage.h"
#include "platform/frame_sink.h"
#include "search/collocates.h"
#include "search/concord_items.h"
#include "forms/context_options.h"
#include "search/hit_line.h"
#include "search/search_driver.h"
#include "workbench/output/concordance_writer.h"
#include "workbench/dialogs/font_color_dialog.h"
#include "workbench/dialogs/progress_form.h"
#include "workbench/frame/frame_form.h"
#include "workbench/frame/menu_table.h"
#include "workbench/output/output_config_dlg.h"
#include "workbench/frame/qt_text.h"
#include "workbench/frame/status_label.h"
#include "workbench/lineview/strings_view.h"
#include "workbench/windows/collocation_form.h"
#include "workbench/dialogs/tag_info_form.h"
#include "workbench/output/text_sink.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSplitter>
#include <QTextCursor>
#include <QTextDocumentFragment>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <exception>

namespace {

constexpr const char* HtmlFilter = "HTML files (*.HTML)|*.HTML|All files (*.*)|*.*";
constexpr const char* TextFilter = "Text files (*.TXT)|*.TXT|All files (*.*)|*.*";

std::vector<TConcordanceForm*>& Registry()
{
  static std::vector<TConcordanceForm*> windows;
  return windows;
}

TConcordanceFontChooser& FontChooser()
{
  static TConcordanceFontChooser chooser;
  return chooser;
}

// A colour value as plain red, green and blue (system colours resolved).
TColor ColorToRGB(TColor color)
{
  if (color >= 0)
    return color & 0xFFFFFF;
  const QColor c = ColorFromTColor(color, QApplication::palette(), QApplication::palette().color(QPalette::Text));
  return TColor(c.red() | (c.green() << 8) | (c.blue() << 16));
}

// The folder of a file name, ending with '/'.
std::string FolderOf(const std::string& fileName)
{
  const auto slash = fileName.find_last_of('/');
  return slash == std::string::npos ? std::string() : fileName.substr(0, slash + 1);
}

}  // namespace

TRedrawOff::TRedrawOff(QWidget* widget) : widget_(widget), locked_(widget->updatesEnabled())
{
  if (locked_)
    widget_->setUpdatesEnabled(false);
}

TRedrawOff::~TRedrawOff()
{
  if (locked_)
    widget_->setUpdatesEnabled(true);
}

void BracketHitRun(std::string& text, const TSVFormatArray& runs)
{
  for (const TSVFormatInfo& run : runs)
    if (run.Hilite) {
      BracketHit(text, run.Start, run.Length);
      return;
    }
}

TConcordanceFontChooser SetConcordanceFontChooser(TConcordanceFontChooser chooser)
{
  TConcordanceFontChooser old = std::move(FontChooser());
  FontChooser() = std::move(chooser);
  return old;
}

bool ChooseFont(TFontRec& font, const QString& title)
{
  return FontChooser() ? FontChooser()(font, title) : ExecuteFontColorDialog(font, title);
}

// ---------------------------------------------------------------------------
// Creation and destruction

TConcordanceForm::TConcordanceForm(std::string searchText, QWidget* parent) : TMDIChildForm(mkConcordance, parent)
{
  Registry().push_back(this);
  CreateComponents();
  CreateMenus();
  FormCreate();
  searchText_ = std::move(searchText);
}

TConcordanceForm::~TConcordanceForm()
{
  auto& windows = Registry();
  windows.erase(std::remove(windows.begin(), windows.end(), this), windows.end());
  ContextWindow->removeEventFilter(this);
  ConcordWindow->removeEventFilter(this);
  ConcordWindow->viewport()->removeEventFilter(this);
  CloseCollocationWindow();
  // The view outlives this body: it must not call back or read the source.
  ConcordWindow->OnFormatItem = nullptr;
  ConcordWindow->OnItemChanged = nullptr;
  ConcordWindow->SetStrings(nullptr);
  search_.reset();
  for (int32_t i = items_->Count() - 1; i >= 0; --i)
    items_->DeleteItem(i);
  strings_.reset();
  items_.reset();
  contextBuffer_.clear();
}

std::function<void(TConcordanceForm&)> TConcordanceForm::DistributionCommand;

std::vector<TConcordanceForm*> TConcordanceForm::ConcordanceWindows()
{
  return Registry();
}

void TConcordanceForm::CreateComponents()
{
  setObjectName(QStringLiteral("ConcordanceForm"));
  setWindowTitle(QStringLiteral("Concordance"));
  resize(InitialWidth, InitialHeight);

  BottomPanel = new QFrame(this);
  BottomPanel->setObjectName(QStringLiteral("BottomPanel"));
  BottomPanel->setFixedHeight(21);
  auto makeLabel = [](QWidget* parent, const char* name) {
    auto* label = new TStatusLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setTextFormat(Qt::PlainText);
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return label;
  };
  MatchCountWindow = makeLabel(BottomPanel, "MatchCountWindow");
  MatchCountWindow->setFixedWidth(116);
  SortOrderWindow = makeLabel(BottomPanel, "SortOrderWindow");
  SortOrderWindow->setFixedWidth(149);
  TemplatePanel = new QFrame(BottomPanel);
  TemplatePanel->setObjectName(QStringLiteral("TemplatePanel"));
  TemplatePanel->setFrameShape(QFrame::Panel);
  TemplatePanel->setFrameShadow(QFrame::Sunken);
  TemplateWindow = new TStatusLabel(TemplatePanel);
  TemplateWindow->setObjectName(QStringLiteral("TemplateWindow"));
  TemplateWindow->setTextFormat(Qt::PlainText);
  auto* templateLayout = new QHBoxLayout(TemplatePanel);
  templateLayout->setContentsMargins(2, 0, 2, 0);
  templateLayout->addWidget(TemplateWindow);
  auto* bottomLayout = new QHBoxLayout(BottomPanel);
  bottomLayout->setContentsMargins(0, 0, 0, 0);
  bottomLayout->setSpacing(0);
  bottomLayout->addWidget(MatchCountWindow);
  bottomLayout->addWidget(SortOrderWindow);
  bottomLayout->addWidget(TemplatePanel, 1);

  ContainerPanel = new QFrame(this);
  ContainerPanel->setObjectName(QStringLiteral("ContainerPanel"));
  Splitter = new QSplitter(Qt::Vertical, ContainerPanel);
  Splitter->setObjectName(QStringLiteral("Splitter"));
  Splitter->setHandleWidth(3);
  Splitter->setChildrenCollapsible(false);
  ContextWindow = new QTextEdit(Splitter);
  ContextWindow->setObjectName(QStringLiteral("ContextWindow"));
  ContextWindow->setReadOnly(true);
  ContextWindow->setAcceptRichText(false);
  ContextWindow->setUndoRedoEnabled(false);
  // No wrapping unless Word Wrap is ticked.
  ContextWindow->setLineWrapMode(QTextEdit::NoWrap);
  // Concealing hits shrinks the pane to one pixel.
  ContextWindow->setMinimumHeight(1);
  ContextWindow->installEventFilter(this);
  ConcordWindow = new TStringsView(Splitter);
  ConcordWindow->setObjectName(QStringLiteral("ConcordWindow"));
  ConcordWindow->SetEnableSelect(true);
  ConcordWindow->SetMultiSelect(true);
  ConcordWindow->SetExtendedSelect(true);
  ConcordWindow->setMinimumHeight(1);
  // The pop-up opens on the right-button release.
  ConcordWindow->setContextMenuPolicy(Qt::PreventContextMenu);
  ConcordWindow->installEventFilter(this);
  ConcordWindow->viewport()->installEventFilter(this);
  Splitter->addWidget(ContextWindow);
  Splitter->addWidget(ConcordWindow);
  Splitter->setStretchFactor(0, 0);
  Splitter->setStretchFactor(1, 1);
  auto* containerLayout = new QVBoxLayout(ContainerPanel);
  containerLayout->setContentsMargins(0, 0, 0, 0);
  containerLayout->addWidget(Splitter);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(ContainerPanel, 1);
  layout->addWidget(BottomPanel);

  ConcordWindow->OnFormatItem = [this](TStringsView*, const QFontMetrics&, int32_t index, std::string& text,
                                       TSVFormatArray& format, TSVLabelInfo& label) {
    ConcordWindowFormatItem(index, text, format, label);
  };
  ConcordWindow->OnItemChanged = [this](TStringsView*) {
    ShowContextOfCurrent();
    UpdateStatusLine();
  };
}

void TConcordanceForm::CreateMenus()
{
  CM_Display = addMenu(DisplayMenuGroup, QStringLiteral("CM_Display"), QStringLiteral("&Display"));
  CMD_Font = AddSubmenu(CM_Display, "CMD_Font", "&Font", "Change font in concordance window");
  CMD_ChangeFont = AddMenuItem(CMD_Font, "CMD_ChangeFont", "Change &Font ...", "Change main font in concordance window");
  CMD_ChangeHighlightFont = AddMenuItem(CMD_Font, "CMD_ChangeHighlightFont", "Change &Highlight Font...",
                                    "Change font/colour of the search word");
  CMD_ChangeCollocateFont = AddMenuItem(CMD_Font, "CMD_ChangeCollocateFont", "Change &Collocate Font ...",
                                    "Change fiont/colour of collocates");
  CMD_HiliteCollocates = AddMenuItem(CM_Display, "CMD_HiliteCollocates", "&Highlight Collocates", "Show collocates", true);
  CMD_ConcealHits = AddMenuItem(CM_Display, "CMD_ConcealHits", "Concea&l Hits", "Replace search term with -----", true);
  CMD_ConcealCollocates =
      AddMenuItem(CM_Display, "CMD_ConcealCollocates", "Conceal Collocates", "Replace collocates with -----", true);
  CMD_ContextOptions =
      AddMenuItem(CM_Display, "CMD_ContextOptions", "Context &Type...", "Change context display type");
  CMD_WordWrap = AddMenuItem(CM_Display, "CMD_WordWrap", "&Word Wrap",
                         "Control wrapping of lines longer than the display window", true);
  CMD_Suppress = AddSubmenu(CM_Display, "CMD_Suppress", "&Suppress", "Show/Hide selected items");
  CMD_SuppressTags = AddMenuItem(CMD_Suppress, "CMD_SuppressTags", "&Tags", "", true);
  CMD_SuppressPartOfSpeech = AddMenuItem(CMD_Suppress, "CMD_SuppressPartOfSpeech", "&Part of Speech", "", true);
  CMD_SuppressWords = AddMenuItem(CMD_Suppress, "CMD_SuppressWords", "&Words", "", true);
  CMD_Distribution = AddMenuItem(CM_Display, "CMD_Distribution", "Distri&bution...",
                             "Show distribution of hits across a file or the whole corpus");
  CMD_DeleteItem = AddMenuItem(CM_Display, "CMD_DeleteItem", "&Delete Item(s)",
                           "Delete selected item(s) from the concordance window");
  CMD_DeleteItem->setShortcut(QKeySequence(QStringLiteral("Ctrl+D")));
  CMD_CopytoClipboard = AddMenuItem(CM_Display, "CMD_CopytoClipboard", "&Copy to Clipboard",
                                "Copy selected item(s) from the concordance window to clipboard");
  CMD_CopytoClipboard->setShortcut(QKeySequence(QStringLiteral("Ctrl+C")));
  CreateSortMenu();

  // The ticks show the window's state; a click only asks for a change.
  connect(CMD_ChangeFont, &QAction::triggered, this, &TConcordanceForm::CMD_ChangeFontClick);
  connect(CMD_ChangeHighlightFont, &QAction::triggered, this, &TConcordanceForm::CMD_ChangeHighlightFontClick);
  connect(CMD_ChangeCollocateFont, &QAction::triggered, this, &TConcordanceForm::CMD_ChangeCollocateFontClick);
  connect(CMD_HiliteCollocates, &QAction::triggered, this, &TConcordanceForm::CMD_HiliteCollocatesClick);
  connect(CMD_ConcealHits, &QAction::triggered, this, &TConcordanceForm::CMD_ConcealHitsClick);
  connect(CMD_ConcealCollocates, &QAction::triggered, this, &TConcordanceForm::CMD_ConcealCollocatesClick);
  connect(CMD_ContextOptions, &QAction::triggered, this, &TConcordanceForm::CMD_ContextOptionsClick);
  connect(CMD_WordWrap, &QAction::triggered, this, &TConcordanceForm::CMD_WordWrapClick);
  connect(CMD_SuppressTags, &QAction::triggered, this, [this] { SuppressClick(0); });
  connect(CMD_SuppressPartOfSpeech, &QAction::triggered, this, [this] { SuppressClick(1); });
  connect(CMD_SuppressWords, &QAction::triggered, this, [this] { SuppressClick(2); });
  connect(CMD_DeleteItem, &QAction::triggered, this, &TConcordanceForm::DeleteSelectedHits);
  connect(CMD_CopytoClipboard, &QAction::triggered, this, &TConcordanceForm::CopyConcordance);
  connect(CMD_Distribution, &QAction::triggered, this, [this] {
    if (DistributionCommand)
      DistributionCommand(*this);
  });

  PopupMenu = new QMenu(this);
  PopupMenu->setObjectName(QStringLiteral("PopupMenu"));
  PM_Assign = PopupMenu->addMenu(QStringLiteral("Assign Letter"));
  PM_Assign->setObjectName(QStringLiteral("PM_Assign"));
  PM_Assign->menuAction()->setObjectName(QStringLiteral("PM_Assign"));
  for (int i = 0; i < 26; ++i) {
    const char letter = char('a' + i);
    QAction* action = PM_Assign->addAction(QString(QLatin1Char(letter)));
    action->setObjectName(QStringLiteral("PM_Letter_%1").arg(QLatin1Char(letter)));
    action->setCheckable(true);
    connect(action, &QAction::triggered, this, [this, letter] { AssignLetterClick(letter); });
    PM_Letters[size_t(i)] = action;
  }
  PM_Remove = PopupMenu->addAction(QStringLiteral("Remove Letter"));
  PM_Remove->setObjectName(QStringLiteral("PM_Remove"));
  PM_RemoveAllLetters = PopupMenu->addAction(QStringLiteral("Remove All Letters"));
  PM_RemoveAllLetters->setObjectName(QStringLiteral("PM_RemoveAllLetters"));
  PopupMenu->addSeparator();
  PM_DisplayInfo = PopupMenu->addAction(QStringLiteral("Display Info"));
  PM_DisplayInfo->setObjectName(QStringLiteral("PM_DisplayInfo"));
  connect(PopupMenu, &QMenu::aboutToShow, this, &TConcordanceForm::PopupMenuPopup);
  connect(PM_Remove, &QAction::triggered, this, &TConcordanceForm::PM_RemoveClick);
  connect(PM_RemoveAllLetters, &QAction::triggered, this, &TConcordanceForm::PM_RemoveAllLettersClick);
  connect(PM_DisplayInfo, &QAction::triggered, this, &TConcordanceForm::PM_DisplayInfoClick);

  SaveDialog.Options = ofOverwritePrompt;
}

void TConcordanceForm::FormCreate()
{
  search_.reset();
  searchText_.clear();
  MatchCountWindow->setText(QStringLiteral("  0 Matches"));
  SortOrderWindow->setText(QStringLiteral("Original text order"));
  contextType_ = ConcordSettings.ContextType;
  contextSizes_ = ConcordSettings.ContextSizes;
  ApplyListAlignment();
  highlightCollocates_ = ConcordSettings.HighlightCollocates;
  CMD_HiliteCollocates->setChecked(highlightCollocates_);
  items_ = std::make_unique<TConcordItems>();
  items_->Context.Type = contextType_;
  items_->Context.Sizes = contextSizes_;
  items_->ConcealHits = concealHits_;
  items_->ConcealCollocates = concealCollocates_;
  SetItemsHighlighting(false);
  strings_ = std::make_unique<TConcordStrings>(items_.get());
  ConcordWindow->SetStrings(strings_.get());
  contextBuffer_.clear();
  collocationWindow_ = nullptr;
  ResetSortSpec(sortSpec_);
  sortSpec_.First = ctxOrig;
  nextHitNumber_ = 0;
  ApplyConcordanceFonts();
  items_->CollocColour = InitialCollocColour;
  layout()->activate();
  SetPaneHeight();
}

// ---------------------------------------------------------------------------
// The search

void TConcordanceForm::SetSearch(std::unique_ptr<TSearch> search)
{
  search_ = std::move(search);
}

void TConcordanceForm::AddHit(std::unique_ptr<TConcordItem> item)
{
  item->HitNumber = nextHitNumber_;
  ++nextHitNumber_;
  try {
    items_->AddItem(std::move(item));
  } catch (...) {
    // The hit was freed with the argument.
    --nextHitNumber_;
    throw;
  }
  // Lines show as they arrive while the view has room for them; past that a
  // hit changes only the scroll range and the count.
  if (ConcordWindow->ViewFull())
    itemsPending_ = true;
  else
    ConcordWindow->ItemsChanged();
  scheduleCountUpdate();
  if (items_->Count() == 100 && highlightCollocates_) {
    // From now on every new hit is ranked as it arrives.
    SetItemsHighlighting(true);
    ConcordWindow->Relayout();
  }
}

void TConcordanceForm::scheduleCountUpdate()
{
  if (!countClock_.isValid() || countClock_.hasExpired(CountInterval)) {
    flushCountUpdate();
    return;
  }
  if (countTimer_ == nullptr) {
    countTimer_ = new QTimer(this);
    countTimer_->setSingleShot(true);
    connect(countTimer_, &QTimer::timeout, this, [this] { flushCountUpdate(); });
  }
  if (!countTimer_->isActive())
    countTimer_->start(CountInterval);
}

void TConcordanceForm::flushCountUpdate()
{
  if (countTimer_)
    countTimer_->stop();
  if (itemsPending_) {
    itemsPending_ = false;
    ConcordWindow->ItemsChanged();
  }
  UpdateMatchCount();
  countClock_.start();
}

void TConcordanceForm::AfterSearch()
{
  if (countTimer_ && countTimer_->isActive())
    flushCountUpdate();  // the last hits' count and scroll range
  items_->CollocColour = ColorToRGB(ConcordSettings.CollocateFont.Color);
  if (highlightCollocates_) {
    BusyScope busy(BusyCounting);
    ScopedHourglass hourglass;
    SetItemsHighlighting(true);
    // Hits that arrived after the switch ranked only themselves.
    items_->RankAllCollocates();
    ConcordWindow->Relayout();
  }
}

void TConcordanceForm::ResetCollocColour()
{
  items_->CollocColour = InitialCollocColour;
  ConcordWindow->Relayout();
}

void TConcordanceForm::SetItemsHighlighting(bool on)
{
  try {
    items_->SetHighlightCollocates(on, MakeApplicationModal);
  } catch (...) {
    // A cancelled or failed generation leaves no tables and no highlighting.
    DropCollocates();
    throw;
  }
}

// ---------------------------------------------------------------------------
// Display

void TConcordanceForm::UpdateMatchCount()
{
  const int32_t n = items_->Count();
  // Called for every hit of a search: each text is made and set only when
  // it changed.
  if (n != lastMatchCountValue_) {
    char text[32] = "  ";
    char* end = std::to_chars(text + 2, text + 16, n).ptr;
    end = std::copy_n(n != 1 ? " matches" : " match", n != 1 ? 8 : 6, end);
    lastMatchCountValue_ = n;
    MatchCountWindow->setText(QString::fromLatin1(text, qsizetype(end - text)));
  }
  if (!templateShown_ || searchText_ != lastTemplateText_) {
    lastTemplateText_ = searchText_;
    templateShown_ = true;
    TemplateWindow->setText(QStringLiteral("Strings matching: ") + ToQString(searchText_));
  }
}

void TConcordanceForm::ShowContextOfCurrent()
{
  const int32_t current = ConcordWindow->ItemIndex();
  if (current < 0 || current >= items_->Count())
    return;
  const TConcordItem& hit = *items_->GetItem(current);
  contextBuffer_.clear();
  contextRanges_.clear();
  try {
    if (hit.FileIndex < 0 || hit.FileIndex >= CorpusList.Count() || !CorpusList[hit.FileIndex].Reader)
      throw std::runtime_error("no reader");
    TBufStream& reader = *CorpusList[hit.FileIndex].Reader;
    ConfigureBufStream(reader);
    reader.ResetTagState();
    TSVFormatArray spans;
    contextBuffer_ = ContextText(reader, hit.HitStart, hit.HitEnd, spans,
                                 VisibleClassMask(items_->SuppressTags, items_->SuppressPartOfSpeech,
                                                  items_->SuppressWords));
    for (const TSVFormatInfo& run : spans)
      contextRanges_.emplace_back(run.Start, run.Length);
  } catch (...) {
    // A context that cannot be read leaves the pane empty.
    contextBuffer_.clear();
    contextRanges_.clear();
  }
  ShowContext();
  contextBuffer_.clear();
  contextBuffer_.shrink_to_fit();
}

void TConcordanceForm::ShowContext()
{
  {
    TRedrawOff redrawOff(ContextWindow);
    ContextWindow->clear();
    paneHitStart_ = 0;
    paneHitLength_ = 0;
    const std::string& text = contextBuffer_;
    if (contextRanges_.empty()) {
      AppendContextPart(text, ConcordSettings.NormalFont);
    } else {
      const size_t size = text.size();
      const size_t start = std::min(size, size_t(std::max(contextRanges_.front().first - 1, 0)));
      const size_t length = std::min(size - start, size_t(std::max(contextRanges_.front().second, 0)));
      paneHitStart_ = AppendContextPart(text.substr(0, start), ConcordSettings.NormalFont);
      int32_t end = paneHitStart_;
      if (length > 0)
        end = AppendContextPart(text.substr(start, length), ConcordSettings.HiliteFont);
      paneHitLength_ = end - paneHitStart_;
      AppendContextPart(text.substr(start + length), ConcordSettings.NormalFont);
    }
    ShowHitInPane(false, false, false);
  }
  ContextWindow->viewport()->update();
}

QTextCharFormat TConcordanceForm::CharFormatOf(const TFontRec& font) const
{
  QTextCharFormat format;
  format.setFont(ToQFont(font), QTextCharFormat::FontPropertiesAll);
  format.setForeground(ColorFromTColor(font.Color, ContextWindow->palette(),
                                      ContextWindow->palette().color(QPalette::Text)));
  return format;
}

int32_t TConcordanceForm::AppendContextPart(const std::string& text, const TFontRec& font)
{
  // The bytes are text in the code page of the normal font's character set.
  const platform::CodePage& page = platform::codePage(CharsetToCodePage(ConcordSettings.NormalFont.Charset));
  std::u16string wide = platform::toUtf16(page, text);
  // Line ends become paragraph ends, one position each; a NUL is a blank.
  std::u16string shown;
  shown.reserve(wide.size());
  for (size_t i = 0; i < wide.size(); ++i) {
    const char16_t c = wide[i];
    if (c == u'\r') {
      if (i + 1 < wide.size() && wide[i + 1] == u'\n')
        ++i;
      shown.push_back(u'\n');
    } else
      shown.push_back(c == 0 ? u' ' : c);
  }
  const QTextCharFormat format = CharFormatOf(font);
  ContextWindow->setCurrentCharFormat(format);
  QTextCursor cursor(ContextWindow->document());
  cursor.movePosition(QTextCursor::End);
  cursor.insertText(QString::fromUtf16(shown.data(), qsizetype(shown.size())), format);
  return cursor.position();
}

void TConcordanceForm::ShowHitInPane(bool redraw, bool setWrap, bool wrap)
{
  std::unique_ptr<TRedrawOff> redrawOff;
  if (redraw)
    redrawOff = std::make_unique<TRedrawOff>(ContextWindow);
  if (setWrap)
    ContextWindow->setLineWrapMode(wrap ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
  if (!contextRanges_.empty()) {
    QTextCursor hitCursor(ContextWindow->document());
    hitCursor.setPosition(paneHitStart_);
    hitCursor.setPosition(paneHitStart_ + paneHitLength_, QTextCursor::KeepAnchor);
    hitCursor.mergeCharFormat(CharFormatOf(ConcordSettings.HiliteFont));
    // Brings the hit into view with the caret at its start. The pane keeps
    // a selection the user is making in it.
    if (!(ContextWindow->hasFocus() && ContextWindow->textCursor().hasSelection())) {
      QTextCursor view(ContextWindow->document());
      view.setPosition(paneHitStart_);
      ContextWindow->setTextCursor(view);
      ContextWindow->ensureCursorVisible();
      ScrollHitIntoView();
    }
  }
  if (redraw) {
    redrawOff.reset();
    ContextWindow->viewport()->update();
  }
}

void TConcordanceForm::ScrollHitIntoView()
{
  // Sideways the text stays at its line starts while the hit shows there
  // with a quarter of the pane of right context after it; otherwise the hit
  // is centred, so that context shows on both sides.
  QTextCursor at(ContextWindow->document());
  at.setPosition(paneHitStart_);
  const QRect start = ContextWindow->cursorRect(at);
  at.setPosition(paneHitStart_ + paneHitLength_);
  const QRect end = ContextWindow->cursorRect(at);
  QScrollBar* bar = ContextWindow->horizontalScrollBar();
  const int width = ContextWindow->viewport()->width();
  const int left = start.left() + bar->value();
  const int right = std::max(end.right(), start.right()) + bar->value();
  const int target = right + width / 4 <= width ? 0 : (left + right) / 2 - width / 2;
  bar->setValue(std::clamp(target, bar->minimum(), bar->maximum()));
}

void TConcordanceForm::ClearPane()
{
  ContextWindow->clear();
  contextRanges_.clear();
  paneHitStart_ = 0;
  paneHitLength_ = 0;
}

void TConcordanceForm::UpdateStatusLine()
{
  const int32_t current = ConcordWindow->ItemIndex();
  if (current < 0 || current >= items_->Count()) {
    platform::frameSink().statusText({});
    return;
  }
  const TConcordItem& hit = *items_->GetItem(current);
  const std::string name = hit.FileIndex >= 0 && hit.FileIndex < CorpusList.Count()
                               ? CorpusList[hit.FileIndex].Name
                               : std::string();
  // The frame puts one blank before the text.
  platform::frameSink().statusText(" " + name + " " + FormatHitLocation(hit.FileIndex, hit.HitStart));
}

void TConcordanceForm::ApplyConcordanceFonts()
{
  const TFontRec& normal = ConcordSettings.NormalFont;
  ConcordWindow->setFont(ToQFont(normal));
  QPalette pal = ConcordWindow->palette();
  pal.setColor(QPalette::Text, ColorFromTColor(normal.Color, pal, pal.color(QPalette::Text)));
  ConcordWindow->setPalette(pal);
  items_->CollocColour = ColorToRGB(ConcordSettings.CollocateFont.Color);
  ConcordWindow->SetFonts(
      {ToQFont(normal), ToQFont(ConcordSettings.HiliteFont), ToQFont(ConcordSettings.CollocateFont)});
  ConcordWindow->SetLabelWidth(2 * ConcordWindow->CharWidth());
  ShowContextOfCurrent();
}

void TConcordanceForm::ApplyListAlignment()
{
  const bool running = contextType_ == 2 || contextType_ == 3;
  ConcordWindow->SetAlignment(running ? taLeftJustify : taCenter);
  ConcordWindow->SetWordWrap(running && wordWrap_);
}

void TConcordanceForm::SetPaneHeight()
{
  const int total = Splitter->height();
  const int pane = concealHits_ ? 1 : int(std::nearbyint(height() * 0.25));
  Splitter->setSizes({pane, std::max(total - pane - Splitter->handleWidth(), 1)});
}

void TConcordanceForm::UpdateLabelColumn()
{
  bool any = false;
  for (const auto& hit : items_->Items())
    if (hit->Letter < NoLetter) {
      any = true;
      break;
    }
  ConcordWindow->SetShowLabel(any);
  ConcordWindow->Relayout();
}

void TConcordanceForm::ConcordWindowFormatItem(int32_t index, std::string& text, TSVFormatArray& format,
                                               TSVLabelInfo& label)
{
  if (index < 0 || index >= items_->Count())
    return;
  text = strings_->Get(index);
  const TConcordItem& hit = *items_->GetItem(index);
  if (const TSVFormatArray* spans = hit.BuiltSpans())
    format = *spans;
  else
    format.clear();
  if (hit.Letter < NoLetter) {
    label.Text.assign(1, char(hit.Letter));
    label.Alignment = taCenter;
    label.Font.Style = fsBold;
    label.Font.Color = LetterColour;
  }
}

// ---------------------------------------------------------------------------
// Display commands

void TConcordanceForm::ChangeFont(TFontRec& font, const QString& title)
{
  TFontRec chosen = font;
  if (!ChooseFont(chosen, title))
    return;
  font = chosen;
  ApplyConcordanceFonts();
  for (TConcordanceForm* window : ConcordanceWindows())
    if (window != this)
      window->ApplyConcordanceFonts();
}

void TConcordanceForm::CMD_ChangeFontClick()
{
  ChangeFont(ConcordSettings.NormalFont, CMD_ChangeFont->text().remove(QLatin1Char('&')));
}

void TConcordanceForm::CMD_ChangeHighlightFontClick()
{
  ChangeFont(ConcordSettings.HiliteFont, CMD_ChangeHighlightFont->text().remove(QLatin1Char('&')));
}

void TConcordanceForm::CMD_ChangeCollocateFontClick()
{
  ChangeFont(ConcordSettings.CollocateFont, CMD_ChangeCollocateFont->text().remove(QLatin1Char('&')));
}

void TConcordanceForm::CMD_HiliteCollocatesClick()
{
  BusyScope busy(BusyCounting);
  highlightCollocates_ = !highlightCollocates_;
  CMD_HiliteCollocates->setChecked(highlightCollocates_);
  SetItemsHighlighting(highlightCollocates_);
  ConcordWindow->Relayout();
}

void TConcordanceForm::CMD_ConcealHitsClick()
{
  concealHits_ = !concealHits_;
  CMD_ConcealHits->setChecked(concealHits_);
  items_->ConcealHits = concealHits_;
  // The pane would show the hit: it shrinks to one pixel meanwhile.
  SetPaneHeight();
  ConcordWindow->Relayout();
}

void TConcordanceForm::CMD_ConcealCollocatesClick()
{
  concealCollocates_ = !concealCollocates_;
  CMD_ConcealCollocates->setChecked(concealCollocates_);
  items_->ConcealCollocates = concealCollocates_;
  ConcordWindow->Relayout();
}

void TConcordanceForm::CMD_WordWrapClick()
{
  wordWrap_ = !wordWrap_;
  CMD_WordWrap->setChecked(wordWrap_);
  ApplyListAlignment();
  ConcordWindow->Relayout();
  ShowHitInPane(true, true, wordWrap_);
}

void TConcordanceForm::CMD_ContextOptionsClick()
{
  TContextRecord record;
  record.ContextType = contextType_;
  record.Sizes = contextSizes_;
  if (!EditContextOptions(record))
    return;
  contextType_ = uint8_t(std::clamp(record.ContextType, 0, 3));
  contextSizes_ = record.Sizes;
  items_->Context.Type = contextType_;
  items_->Context.Sizes = contextSizes_;
  ApplyListAlignment();
  ConcordWindow->Relayout();
}

void TConcordanceForm::SuppressClick(int clicked)
{
  std::array<bool, 3> flags = {items_->SuppressTags, items_->SuppressPartOfSpeech, items_->SuppressWords};
  const bool changed = ToggleSuppressOption(flags, suppressChecks_, clicked);
  CMD_SuppressTags->setChecked(suppressChecks_[0]);
  CMD_SuppressPartOfSpeech->setChecked(suppressChecks_[1]);
  CMD_SuppressWords->setChecked(suppressChecks_[2]);
  if (!changed)
    return;
  items_->SuppressTags = flags[0];
  items_->SuppressPartOfSpeech = flags[1];
  items_->SuppressWords = flags[2];
  ConcordWindow->Relayout();
  ShowContextOfCurrent();
}

// ---------------------------------------------------------------------------
// Deleting and copying

void TConcordanceForm::DeleteSelectedHits()
{
  // A generation, save or print may be using the hit list.
  if (IsBusy())
    return;
  const bool deleted =
      strings_->DeleteItemsIf([this](int32_t i, const TConcordItem&) { return ConcordWindow->IsSelected(i); }) > 0;
  if (deleted) {
    DropCollocates();
    ClearPane();
    ConcordWindow->ClearSelection();
    ConcordWindow->ItemsChanged();
    ConcordWindow->Relayout();
    UpdateLabelColumn();
  }
  UpdateMatchCount();
}

void TConcordanceForm::CopyConcordance()
{
  QWidget* active = focusWidget();
  try {
    if (active && (active == ContextWindow || ContextWindow->isAncestorOf(active)))
      CopyPaneSelection();
    else
      CopyListLines();
  } catch (const std::exception& e) {
    ShowError(e.what());
  }
}

void TConcordanceForm::CopyListLines()
{
  std::vector<int32_t> lines = ConcordWindow->Selection();
  if (lines.empty())
    return;
  std::sort(lines.begin(), lines.end());
  TClipboardTextSink clipboard;
  for (int32_t i : lines) {
    if (i < 0 || i >= items_->Count())
      continue;
    std::string text = strings_->Get(i);
    if (const TSVFormatArray* spans = items_->GetItem(i)->BuiltSpans())
      BracketHitRun(text, *spans);
    clipboard.WriteLine(text);
  }
  clipboard.Close();
}

void TConcordanceForm::CopyPaneSelection()
{
  const QTextCursor selection = ContextWindow->textCursor();
  if (!selection.hasSelection())
    return;
  const int32_t start = selection.selectionStart();
  const int32_t length = selection.selectionEnd() - start;
  const int32_t hitStart = paneHitStart_;
  const int32_t hitLength = paneHitLength_;
  const bool overlaps = !contextRanges_.empty() && hitLength > 0 && start < hitStart + hitLength &&
                        start + length > hitStart;
  if (!overlaps) {
    ContextWindow->copy();
    return;
  }
  QString text = selection.selection().toPlainText();
  const int32_t from = std::max(hitStart, start) - start;
  const int32_t to = std::min(hitStart + hitLength, start + length) - start;
  text.insert(to, QStringLiteral("]]"));
  text.insert(from, QStringLiteral("[["));
  QGuiApplication::clipboard()->setText(text);
}

// ---------------------------------------------------------------------------
// Letters

bool TConcordanceForm::ValidTarget() const
{
  return popupTarget_ >= 0 && popupTarget_ < items_->Count();
}

void TConcordanceForm::PopupMenuPopup()
{
  for (QAction* letter : PM_Letters)
    letter->setChecked(false);
  const bool valid = ValidTarget();
  PM_Assign->menuAction()->setEnabled(valid);
  PM_Remove->setEnabled(valid);
  PM_DisplayInfo->setEnabled(valid);
  if (!valid)
    return;
  const uint8_t letter = items_->GetItem(popupTarget_)->Letter;
  for (QAction* item : PM_Letters)
    if (item->text().at(0) == QLatin1Char(char(letter)))
      item->setChecked(true);
}

void TConcordanceForm::AssignLetterClick(char letter)
{
  if (!ValidTarget())
    return;
  items_->GetItem(popupTarget_)->Letter = uint8_t(letter);
  ConcordWindow->SetLabelWidth(2 * ConcordWindow->CharWidth());
  ConcordWindow->SetShowLabel(true);
  ConcordWindow->Relayout();
}

void TConcordanceForm::PM_RemoveClick()
{
  if (!ValidTarget())
    return;
  items_->GetItem(popupTarget_)->Letter = NoLetter;
  UpdateLabelColumn();
}

void TConcordanceForm::PM_RemoveAllLettersClick()
{
  for (const auto& hit : items_->Items())
    hit->Letter = NoLetter;
  ConcordWindow->SetShowLabel(false);
  ConcordWindow->Relayout();
}

void TConcordanceForm::PM_DisplayInfoClick()
{
  if (!ValidTarget())
    return;
  std::string match;
  {
    // The information shows the hit itself, concealed or not.
    const bool conceal = items_->ConcealHits;
    items_->ConcealHits = false;
    struct Restore {
      TConcordItems& items;
      bool conceal;
      ~Restore() { items.ConcealHits = conceal; }
    } restore{*items_, conceal};
    match = items_->GetHitText(popupTarget_);
  }
  const TConcordItem& hit = *items_->GetItem(popupTarget_);
  ShowHitInfo(hit.FileIndex, hit.HitStart, match);
}

// ---------------------------------------------------------------------------
// Collocates

void TConcordanceForm::DropCollocates()
{
  items_->FreeCollocTables();
  highlightCollocates_ = false;
  CMD_HiliteCollocates->setChecked(false);
  items_->SetHighlightCollocates(false);
  ConcordWindow->Relayout();
  CloseCollocationWindow();
}

void TConcordanceForm::CloseCollocationWindow()
{
  // Closed now, freed once control is back in the event loop: whoever is
  // walking the frame's children (closing them all, say) may still hold it.
  if (TMDIChildForm* window = collocationWindow_) {
    collocationWindow_ = nullptr;
    QWidget* outer = window->subWindow() ? static_cast<QWidget*>(window->subWindow()) : window;
    outer->close();
    outer->deleteLater();
  }
}

void TConcordanceForm::ReRankCollocates(int32_t n)
{
  if (!highlightCollocates_)
    return;
  items_->CountPendingCollocates();  // the tables are changed directly below
  for (int p = items_->CollocFirst; p <= items_->CollocLast && p < TConcordItem::SlotCount; ++p)
    if (p >= 1 && items_->CollocTables[size_t(p)])
      items_->CollocTables[size_t(p)]->SetTopLimit(n);
  items_->RankAllCollocates();
  ConcordWindow->Relayout();
}

void TConcordanceForm::ShowCollocateFrequency()
{
  if (TMDIChildForm* window = collocationWindow_) {
    // Its rows are a snapshot: it is only brought to the front.
    QWidget* frame = window->subWindow() ? static_cast<QWidget*>(window->subWindow()) : window;
    if (frame->isMinimized())
      frame->showNormal();
    if (QMdiSubWindow* sub = window->subWindow(); sub && sub->mdiArea())
      sub->mdiArea()->setActiveSubWindow(sub);
    frame->raise();
    return;
  }
  ScopedHourglass hourglass;
  struct StatusReset {
    ~StatusReset() { platform::frameSink().statusText({}); }
  } statusReset;
  SetStatusText(" Generating frequency statistics... ");
  const TCollocWindow positions = CurrentCollocWindow();
  if (!items_->CollocTablesValid(positions.First, positions.Last)) {
    try {
      items_->GenerateCollocation(positions.First, positions.Last, MakeApplicationModal);
    } catch (...) {
      DropCollocates();
      throw;
    }
  }
  if (!items_->CollocTablesValid(positions.First, positions.Last))
    return;
  TCollocationForm* form =
      CreateCollocationForm(this, 0, searchText_, items_->CollocTables, positions.Last, positions.First);
  collocationWindow_ = form;
  TFrameForm* frame = nullptr;
  if (QMdiSubWindow* sub = subWindow(); sub && sub->mdiArea())
    frame = qobject_cast<TFrameForm*>(sub->mdiArea()->window());
  if (frame)
    frame->AddChildWindow(form);
  else
    form->show();
}

void TConcordanceForm::WriteCollocations(TTextSink& file, int32_t maxLines)
{
  items_->WriteCollocationTable(file, maxLines, searchText_);
}

// ---------------------------------------------------------------------------
// Corpus changes

void TConcordanceForm::RemoveFileHits(int32_t fileIndex)
{
  const bool deleted =
      strings_->DeleteItemsIf([fileIndex](int32_t, const TConcordItem& hit) { return hit.FileIndex == fileIndex; }) > 0;
  for (const auto& hit : items_->Items())
    if (hit->FileIndex > fileIndex)
      --hit->FileIndex;
  if (!deleted)
    return;
  // The tables counted the removed hits' words, and the view does not
  // renumber its selection.
  DropCollocates();
  ConcordWindow->ClearSelection();
  ClearPane();
  ConcordWindow->ItemsChanged();
  ConcordWindow->Relayout();
  UpdateLabelColumn();
  UpdateMatchCount();
}

int32_t TConcordanceForm::LongestTagNameWidth()
{
  if (WatchedTags.empty())
    return 0;
  size_t longest = 0;
  for (const TWatchedTag& tag : WatchedTags)
    longest = std::max(longest, (tag.Name.empty() ? tag.TagStart : tag.Name).size());
  return int32_t(longest) + 2;
}

// ---------------------------------------------------------------------------
// Save and print

void TConcordanceForm::WriteReport(TTextSink& file, const TOutputOptions& options, bool printing)
{
  WriteConcordance(file, *items_, this, searchText_, options,
                   {items_->SuppressTags, items_->SuppressPartOfSpeech, items_->SuppressWords}, contextSizes_,
                   contextType_, printing);
}

TOutputOptions TConcordanceForm::reportOptions() const
{
  TOutputOptions options;
  options.MaxLines = 0;
  options.ShowFile = CorpusList.Count() > 1;
  options.ConcealHits = concealHits_;
  options.ConcealCollocates = concealCollocates_;
  return options;
}

void TConcordanceForm::SaveConcordance()
{
  TOutputOptions options = reportOptions();
  if (!EditOutputOptions(okSave, options))
    return;
  SaveDialog.FileName.clear();
  SaveDialog.Filter = options.SaveAsHTML ? HtmlFilter : TextFilter;
  SaveDialog.InitialDir = ConcordancePath;
  if (!SaveDialog.Execute())
    return;
  ConcordancePath = FolderOf(SaveDialog.FileName);
  try {
    TFileTextSink file(SaveDialog.FileName);
    WriteReport(file, options, false);
    file.Close();
  } catch (const std::exception& e) {
    ShowError(e.what());
  }
}

void TConcordanceForm::PrintConcordance()
{
  TOutputOptions options = reportOptions();
  if (!EditOutputOptions(okPrint, options))
    return;
  RunShowingFailure([&] {
    TPrinterTextSink printer(searchText_);
    WriteReport(printer, options, true);
    printer.Close();
  });
}

// ---------------------------------------------------------------------------
// Messages, activation and closing

void TConcordanceForm::updateMenus()
{
  // Runs whenever the program goes idle: a property is set only when it
  // changes, so that the change does not wake the event loop again.
  const bool busy = IsBusy();
  auto enable = [](QAction* action, bool enabled) {
    if (action->isEnabled() != enabled)
      action->setEnabled(enabled);
  };
  enable(CMD_Distribution, !busy);
  enable(CMD_DeleteItem, !busy);
  enable(CMD_HiliteCollocates, !busy);
  for (const TChildMenu& menu : menus())
    if (menu.Menu->objectName() == QLatin1String("CM_Sort") && menu.Menu->menuAction()->isVisible() == busy)
      menu.Menu->menuAction()->setVisible(!busy);
}

void TConcordanceForm::tagsChanged()
{
  ConcordWindow->Relayout();
  items_->ClearTagValues();
  sortSpec_.TagName.clear();
  ShowContextOfCurrent();
}

void TConcordanceForm::refreshContext()
{
  ShowContextOfCurrent();
}

void TConcordanceForm::activated()
{
  setWindowTitle(searchText_.empty() ? QStringLiteral("Concordance")
                                     : QStringLiteral("Concordance - [") + ToQString(searchText_) +
                                           QLatin1Char(']'));
  ConcordWindow->setFocus();
  UpdateStatusLine();
}

void TConcordanceForm::deactivated()
{
  platform::frameSink().statusText({});
}

void TConcordanceForm::closeEvent(QCloseEvent* event)
{
  // A search, save or print may be using the hit list.
  if (IsBusy()) {
    event->ignore();
    return;
  }
  popupTarget_ = -1;
  // Its collocation window reads this window's tables.
  CloseCollocationWindow();
  platform::frameSink().statusText({});
  event->accept();
}

void TConcordanceForm::resizeEvent(QResizeEvent* event)
{
  TMDIChildForm::resizeEvent(event);
  if (!concealHits_)
    SetPaneHeight();
}

bool TConcordanceForm::eventFilter(QObject* watched, QEvent* event)
{
  if (watched == ContextWindow && event->type() == QEvent::Resize) {
    // A resized or maximised window brings the hit back into view, once the
    // pane has laid out its text at the new size.
    QTimer::singleShot(0, this, [this] { ShowHitInPane(false, false, false); });
  }
  if (watched == ContextWindow) {
    // The pane takes Ctrl+C for its own copy; the window's copy brackets the hit.
    if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) {
      auto* key = static_cast<QKeyEvent*>(event);
      if (key->matches(QKeySequence::Copy)) {
        if (event->type() == QEvent::ShortcutOverride)
          event->accept();
        else
          CopyConcordance();
        return true;
      }
    }
    return false;
  }
  if (watched == ConcordWindow) {
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
      EscapePressed = true;
    return false;
  }
  if (watched == ConcordWindow->viewport()) {
    if (event->type() == QEvent::MouseButtonPress) {
      auto* mouse = static_cast<QMouseEvent*>(event);
      // Alt + left press deletes the selected lines; the press then selects
      // as usual.
      if (mouse->button() == Qt::LeftButton && (mouse->modifiers() & Qt::AltModifier))
        DeleteSelectedHits();
    } else if (event->type() == QEvent::MouseButtonRelease) {
      auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() == Qt::RightButton) {
        popupTarget_ = ConcordWindow->ItemAtPos(mouse->position().toPoint(), false);
        PopupMenu->popup(mouse->globalPosition().toPoint());
        return true;
      }
    }
  }
  return false;
}
