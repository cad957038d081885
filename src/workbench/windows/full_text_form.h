// The full-text window: one corpus file or URL as plain lines in a line view
// (TextWindow), shown at once while a worker counts its lines. It can change
// the corpus font, wrap lines, leave out tags, part-of-speech tags or words,
// and print the whole text.
//
// The counting thread's events reach the window on the GUI thread, one
// queued update at a time. Closing the window stops the count and frees the
// list and the reader before the close returns, so nothing reads the item's
// stream afterwards; the window refuses to close while its own print runs.
#pragma once

#include "forms/full_text_model.h"
#include "foundation/settings.h"
#include "workbench/frame/child_window.h"

#include <QSize>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <string>

class QAction;
class QMenu;
class TStringsView;

// Asks the user for a font and its colour, starting from font; true when
// confirmed, font then holding the choice.
using TFullTextFontChooser = std::function<bool(TFontRec& font, const QString& title)>;
// Installs the chooser of Change Font (tests answer without a dialog); an
// empty one restores the font and colour dialog. Returns the old one.
TFullTextFontChooser SetFullTextFontChooser(TFullTextFontChooser chooser);

class TFullTextForm : public TMDIChildForm
{
  Q_OBJECT
public:
  static constexpr int InitialWidth = 432;
  static constexpr int InitialHeight = 284;

  explicit TFullTextForm(QWidget* parent = nullptr);
  ~TFullTextForm() override;

  TStringsView* TextWindow = nullptr;
  QMenu* TM_CorpusText = nullptr;
  QAction* TMT_ChangeFont = nullptr;
  QAction* TMT_Wrap = nullptr;
  QMenu* TMT_Suppress = nullptr;
  QAction* TMT_SuppressTags = nullptr;
  QAction* TMT_SuppressPartOfspeech = nullptr;
  QAction* TMT_SuppressWords = nullptr;
  QAction* TMT_Print = nullptr;
  QAction* TMT_CloseAll = nullptr;

  TFullTextModel& Model() { return model_; }
  const std::string& FileName() const { return model_.FileName; }
  TFileStrings* Lines() const { return model_.Lines(); }
  bool CountDone() const { return model_.CountDone; }
  bool Printing() const { return printing_; }
  // Line-count updates that reached the window.
  int UpdatesReceived() const { return updatesReceived_; }

  // Shows the corpus item name; false when it is not in the corpus. Raises
  // when its line list cannot be made.
  bool LoadFullText(const std::string& name);
  // Stops the count and frees the list and the reader.
  void ReleaseText();

  // On the GUI thread, for the counting thread's events.
  void LineCountedEvent();
  void CountDoneEvent();

  void TMT_ChangeFontClick();
  void TMT_WrapClick();
  // clicked: 0 tags, 1 part-of-speech tags, 2 words.
  void SuppressClick(int clicked);
  void TMT_PrintClick();
  void TMT_CloseAllClick();

  void updateMenus() override;
  void tagsChanged() override;
  // The initial size, which the sub-window takes when it is added.
  QSize sizeHint() const override { return {InitialWidth, InitialHeight}; }

protected:
  void closeEvent(QCloseEvent* event) override;

private:
  void CreateMenus();
  // Posts one update of the view to the GUI thread unless one is pending.
  void PostLineCounted();

  TFullTextModel model_;
  std::shared_ptr<std::atomic<bool>> updatePending_ = std::make_shared<std::atomic<bool>>(false);
  bool printing_ = false;
  int updatesReceived_ = 0;
};

// Among the frame's full-text windows, the last in child order that shows
// exactly name; nullptr when none.
TFullTextForm* FindFullTextForm(const std::string& name);
// Brings the item's window to the front or creates it; then minimised when
// bit 0 of minimised is set, else normal. Returns nullptr when no window
// could be opened (the reason was shown).
TFullTextForm* ShowFullText(const std::string& name, int minimised = 0);
// Closes the item's window, when one is open, before returning.
void CloseFullText(const std::string& name);
