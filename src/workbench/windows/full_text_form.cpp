#include "workbench/windows/full_text_form.h"

#include "foundation/abort.h"
#include "foundation/dialogs.h"
#include "workbench/dialogs/font_color_dialog.h"
#include "workbench/frame/frame_form.h"
#include "workbench/frame/menu_table.h"
#include "workbench/frame/qt_text.h"
#include "workbench/lineview/strings_view.h"
#include "workbench/output/text_sink.h"

#include <QAction>
#include <QCloseEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPointer>
#include <QVBoxLayout>

#include <chrono>

namespace {

TFullTextFontChooser& FontChooser()
{
  static TFullTextFontChooser chooser;
  return chooser;
}

int64_t SteadyMs()
{
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

TFullTextFontChooser SetFullTextFontChooser(TFullTextFontChooser chooser)
{
  TFullTextFontChooser old = std::move(FontChooser());
  FontChooser() = std::move(chooser);
  return old;
}

// ---------------------------------------------------------------------------
// Creation and destruction

TFullTextForm::TFullTextForm(QWidget* parent) : TMDIChildForm(mkFullText, parent)
{
  setObjectName(QStringLiteral("FullTextForm"));
  setWindowTitle(QStringLiteral("Corpus Text"));
  QFont formFont = font();
  formFont.setPixelSize(13);
  setFont(formFont);

  TextWindow = new TStringsView(this);
  TextWindow->setObjectName(QStringLiteral("TextWindow"));
  TextWindow->SetAlignment(taLeftJustify);
  TextWindow->SetEnableSelect(false);
  TextWindow->SetWordWrap(false);
  TextWindow->setFont(ToQFont(CorpusFont));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(TextWindow);
  resize(InitialWidth, InitialHeight);
  CreateMenus();
}

TFullTextForm::~TFullTextForm()
{
  ReleaseText();
}

void TFullTextForm::CreateMenus()
{
  TM_CorpusText = addMenu(CorpusTextMenuGroup, QStringLiteral("TM_CorpusText"), QStringLiteral("Corpus &Text"));
  TMT_ChangeFont = AddMenuItem(TM_CorpusText, "TMT_ChangeFont", "Change &Font...", "Change font in full text window");
  TMT_Wrap = AddMenuItem(TM_CorpusText, "TMT_Wrap", "Word W&rap",
                     "Control wrapping of lines longer than the display window", true);
  TMT_Suppress = AddSubmenu(TM_CorpusText, "TMT_Suppress", "&Suppress", "Show/Hide selected items");
  TMT_SuppressTags = AddMenuItem(TMT_Suppress, "TMT_SuppressTags", "&Tags", "", true);
  TMT_SuppressPartOfspeech = AddMenuItem(TMT_Suppress, "TMT_SuppressPartOfspeech", "&Part of Speech", "", true);
  TMT_SuppressWords = AddMenuItem(TMT_Suppress, "TMT_SuppressWords", "&Words", "", true);
  TMT_Print = AddMenuItem(TM_CorpusText, "TMT_Print", "&Print",
                      "Print the full text window to the currently selected printer");
  TMT_CloseAll = AddMenuItem(TM_CorpusText, "TMT_CloseAll", "&Hide All", "Close all corpus text windows");
  TMT_Print->setEnabled(false);

  connect(TMT_ChangeFont, &QAction::triggered, this, &TFullTextForm::TMT_ChangeFontClick);
  connect(TMT_Wrap, &QAction::triggered, this, &TFullTextForm::TMT_WrapClick);
  connect(TMT_SuppressTags, &QAction::triggered, this, [this] { SuppressClick(0); });
  connect(TMT_SuppressPartOfspeech, &QAction::triggered, this, [this] { SuppressClick(1); });
  connect(TMT_SuppressWords, &QAction::triggered, this, [this] { SuppressClick(2); });
  connect(TMT_Print, &QAction::triggered, this, &TFullTextForm::TMT_PrintClick);
  connect(TMT_CloseAll, &QAction::triggered, this, &TFullTextForm::TMT_CloseAllClick);
}

bool TFullTextForm::LoadFullText(const std::string& name)
{
  TextWindow->SetStrings(nullptr);
  updatePending_->store(false);
  // The worker only posts; the window handles its events on the GUI thread.
  // A call still queued when the window is gone is dropped with it.
  QPointer<TFullTextForm> self(this);
  TFullTextModel::TEvents events;
  events.LineCounted = [this, pending = updatePending_](TFileStrings&) {
    if (pending->load(std::memory_order_relaxed) || pending->exchange(true))
      return;
    QMetaObject::invokeMethod(
        this,
        [this, pending] {
          pending->store(false);
          LineCountedEvent();
        },
        Qt::QueuedConnection);
  };
  events.CountDone = [this](TFileStrings&) {
    QMetaObject::invokeMethod(this, [this] { CountDoneEvent(); }, Qt::QueuedConnection);
  };
  events.Failed = [this](TFileStrings& lines, const std::string& message) {
    QMetaObject::invokeMethod(
        this,
        [this, list = &lines, message] {
          if (model_.Lines() != list)
            return;
          TextWindow->ItemsChanged();
          ShowError(message);
        },
        Qt::QueuedConnection);
  };
  if (!model_.Load(name, std::move(events)))
    return false;
  setWindowTitle(ToQString(FullTextCaption(name)));
  TextWindow->SetStrings(model_.Lines());
  return true;
}

void TFullTextForm::ReleaseText()
{
  if (TextWindow)
    TextWindow->SetStrings(nullptr);
  model_.Release();
}

void TFullTextForm::closeEvent(QCloseEvent* event)
{
  // The window's own print reads the item through it.
  if (printing_) {
    event->ignore();
    return;
  }
  ReleaseText();
  event->accept();
}

// ---------------------------------------------------------------------------
// Events of the count

void TFullTextForm::LineCountedEvent()
{
  if (!model_.Lines())
    return;
  ++updatesReceived_;
  // The view fills while its first screen is incomplete; once it is full,
  // it hears of the growth when the count is done.
  if (ViewShouldGrow(model_.LastLaidOut, TextWindow->LastLaidOutItem(), TextWindow->TopIndex(),
                     TextWindow->LineHeight(), TextWindow->viewport()->height()))
    TextWindow->ItemsChanged();
  model_.LastLaidOut = TextWindow->LastLaidOutItem();
}

void TFullTextForm::CountDoneEvent()
{
  if (!model_.Lines())
    return;
  TextWindow->ItemsChanged();
  model_.CountDone = true;
  updateMenus();
}

// ---------------------------------------------------------------------------
// Commands

void TFullTextForm::TMT_ChangeFontClick()
{
  TFontRec chosen = CorpusFont;
  const QString title = TMT_ChangeFont->text().remove(QLatin1Char('&'));
  const bool ok = FontChooser() ? FontChooser()(chosen, title) : ExecuteFontColorDialog(chosen, title);
  if (!ok)
    return;
  CorpusFont = chosen;
  TextWindow->setFont(ToQFont(CorpusFont));
  TextWindow->Relayout();
}

void TFullTextForm::TMT_WrapClick()
{
  // The tick was flipped by the click.
  TextWindow->SetWordWrap(TMT_Wrap->isChecked());
  TextWindow->Relayout();
}

void TFullTextForm::SuppressClick(int clicked)
{
  const bool changed = model_.ToggleSuppress(clicked);
  TMT_SuppressTags->setChecked(model_.SuppressChecks()[0]);
  TMT_SuppressPartOfspeech->setChecked(model_.SuppressChecks()[1]);
  TMT_SuppressWords->setChecked(model_.SuppressChecks()[2]);
  if (changed)
    TextWindow->Relayout();
}

void TFullTextForm::TMT_PrintClick()
{
  if (printing_ || !model_.Lines())
    return;
  BusyScope printing(printing_);  // also cleared when the print fails
  try {
    PrintFullText(
        model_, [](const std::string& title) { return std::make_unique<TPrinterTextSink>(title); },
        [] {
          if (FrameForm)
            FrameForm->UpdateMenuState();
        },
        SteadyMs);
  } catch (const EAbort&) {
    // The user cancelled the printer's question for a file.
  } catch (const std::exception& e) {
    ShowError(e.what());
  }
  if (FrameForm)
    FrameForm->UpdateMenuState();
  else
    updateMenus();
}

void TFullTextForm::TMT_CloseAllClick()
{
  if (FrameForm)
    FrameForm->CloseChildWindows(mkFullText);
}

void TFullTextForm::updateMenus()
{
  const bool enabled = model_.PrintEnabled();
  if (TMT_Print->isEnabled() != enabled)
    TMT_Print->setEnabled(enabled);
}

void TFullTextForm::tagsChanged()
{
  if (model_.TagsChanged())
    TextWindow->Relayout();
}

// ---------------------------------------------------------------------------
// Finding, showing and closing

TFullTextForm* FindFullTextForm(const std::string& name)
{
  if (!FrameForm)
    return nullptr;
  TFullTextForm* found = nullptr;
  for (TMDIChildForm* child : FrameForm->ChildWindows())
    if (child->kind() == mkFullText)
      if (auto* form = qobject_cast<TFullTextForm*>(child); form && form->FileName() == name && form->Lines())
        found = form;
  return found;
}

TFullTextForm* ShowFullText(const std::string& name, int minimised)
{
  TFullTextForm* form = FindFullTextForm(name);
  if (!form) {
    auto fresh = std::make_unique<TFullTextForm>();
    try {
      if (!fresh->LoadFullText(name))
        return nullptr;
    } catch (const std::exception& e) {
      ShowError(e.what());
      return nullptr;
    }
    form = fresh.release();
    if (FrameForm)
      FrameForm->AddChildWindow(form);
    else
      form->show();
  } else if (FrameForm && form->subWindow()) {
    FrameForm->ClientArea->setActiveSubWindow(form->subWindow());
  }
  QWidget* window = form->subWindow() ? static_cast<QWidget*>(form->subWindow()) : form;
  if (minimised & 1)
    window->showMinimized();
  else if (window->isMinimized() || window->isMaximized())
    window->showNormal();
  return form;
}

void CloseFullText(const std::string& name)
{
  // Every window of the item closes now, so that none reads its stream later.
  while (TFullTextForm* form = FindFullTextForm(name)) {
    const bool closed = form->subWindow() ? form->subWindow()->close() : form->close();
    if (!closed)
      break;
  }
}
