// The concordance window driven as the search driver drives it: created with
// its caption text, given the search, filled by AddHit during the run and
// finished by AfterSearch; then its pane, copying, deleting, letters, corpus
// removal, saving, printing, closing and the frame's messages.
#include "search/search_fixture.h"

#include "foundation/hash_strings.h"
#include "foundation/program_state.h"
#include "foundation/tag_scan.h"
#include "search/concord_items.h"
#include "forms/context_options.h"
#include "search/search_driver.h"
#include "support/scoped_env.h"
#include "support/scratch_folder.h"
#include "workbench/windows/concordance_form.h"
#include "workbench/frame/file_association.h"
#include "workbench/dialogs/font_color_dialog.h"
#include "workbench/frame/frame_dialogs.h"
#include "workbench/frame/frame_form.h"
#include "workbench/output/output_config_dlg.h"
#include "workbench/lineview/strings_view.h"
#include "workbench/dialogs/tag_info_form.h"
#include "workbench/output/text_sink.h"

#include <QCheckBox>
#include <QClipboard>
#include <QFontDialog>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QScrollBar>
#include <QSplitter>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPrinter>
#include <QTest>
#include <QTextCursor>
#include <QScrollBar>
#include <QTextEdit>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

using testsupport::readFile;

// Answers the window's save dialog with a chosen name and records what it
// was shown with.
class ChosenFile : public TFileDialogProvider {
public:
  explicit ChosenFile(std::string name) : name_(std::move(name)), old_(SetFileDialogProvider(this)) {}
  ~ChosenFile() override { SetFileDialogProvider(old_); }
  bool ExecuteFileDialog(TFileDialog& dialog) override
  {
    Filter = dialog.Filter;
    InitialDir = dialog.InitialDir;
    dialog.FileName = name_;
    dialog.Files = {name_};
    return true;
  }
  bool ExecutePrinterSetup() override { return false; }
  std::string Filter, InitialDir;

private:
  std::string name_;
  TFileDialogProvider* old_;
};

// Accepts "Output Information", ticking HTML when asked, and records the
// preset of the file-name box.
class OutputOptions {
public:
  explicit OutputOptions(bool html)
  {
    old_ = SetOutputConfigRunner([this, html](TOutputConfigDlg& dlg) {
      ShowFilePreset = dlg.ShowFileBox->isChecked();
      dlg.AsHTMLCB->setChecked(html);
      dlg.OKBtnClick();
      return int(QDialog::Accepted);
    });
  }
  ~OutputOptions() { SetOutputConfigRunner(std::move(old_)); }
  bool ShowFilePreset = false;

private:
  TOutputConfigRunner old_;
};

class ConcordanceFormTest : public testsupport::SearchFixture {
protected:
  void SetUp() override
  {
    SearchFixture::SetUp();
    ConcordSettings.ContextType = 1;
    ConcordSettings.ContextSizes = {40, 8, 3, 1};
    ConcordSettings.HighlightCollocates = false;
    SetAssociationToolRunner([](const std::string&, const std::vector<std::string>&) {});
  }
  void TearDown() override
  {
    windows_.clear();
    SetAssociationToolRunner({});
    SearchFixture::TearDown();
  }

  // A window for the patterns, shown and filled by a search run; perHit runs
  // after every hit the window received.
  TConcordanceForm& Run(const std::vector<std::string>& patterns,
                        const std::function<void(TConcordanceForm&)>& perHit = {})
  {
    windows_.push_back(std::make_unique<TConcordanceForm>(patterns.front()));
    TConcordanceForm& w = *windows_.back();
    auto search = std::make_unique<TSearch>();
    int32_t phase = -1;
    std::string error;
    search->Prepare(Request(patterns), phase, error);
    EXPECT_EQ(phase, 0) << error;
    TSearch* running = search.get();
    w.SetSearch(std::move(search));
    w.show();
    QApplication::processEvents();
    {
      BusyScope busy(BusySearching);
      running->RunSearch(INT32_MAX, [&](std::unique_ptr<TConcordItem> hit) {
        w.AddHit(std::move(hit));
        if (perHit)
          perHit(w);
      });
    }
    w.AfterSearch();
    return w;
  }

  static std::string Text(const QLabel* label) { return label->text().toStdString(); }

  // Clicks line i of the list with the modifiers.
  static void Click(TConcordanceForm& w, int32_t i, Qt::KeyboardModifiers mods = Qt::NoModifier)
  {
    const QRect r = w.ConcordWindow->ItemRect(i);
    ASSERT_GE(r.top(), 0) << "line " << i << " not shown";
    QTest::mouseClick(w.ConcordWindow->viewport(), Qt::LeftButton, mods, r.center());
  }

  static std::vector<int32_t> HitNumbers(const TConcordanceForm& w)
  {
    std::vector<int32_t> out;
    for (const auto& hit : w.Items().Items())
      out.push_back(hit->HitNumber);
    return out;
  }

  static std::string Clipboard() { return QGuiApplication::clipboard()->text().toStdString(); }

  std::vector<std::unique_ptr<TConcordanceForm>> windows_;
};

// --- filling and counting ------------------------------------------------------

TEST_F(ConcordanceFormTest, HitsArriveWhileTheSearchRunsWithTheirCountTexts)
{
  Load({{"a.txt", "One cat, two cats and a cat.\r\nA dog.\r\n"}});
  std::vector<std::string> counts;
  std::vector<int32_t> laidOut;
  TConcordanceForm& w = Run({"cat"}, [&](TConcordanceForm& win) {
    counts.push_back(Text(win.MatchCountWindow));
    laidOut.push_back(win.ConcordWindow->LastLaidOutItem());
  });
  // The count shows at the first hit, then about every 100 ms, and at the end.
  ASSERT_EQ(counts.size(), 2u);
  EXPECT_EQ(counts[0], "  1 match");
  EXPECT_EQ(Text(w.MatchCountWindow), "  2 matches");
  EXPECT_EQ(laidOut, (std::vector<int32_t>{0, 1}));  // each line shows as it arrives
  EXPECT_EQ(Text(w.TemplateWindow), "Strings matching: cat");
  EXPECT_EQ(Text(w.SortOrderWindow), "Original text order");
  EXPECT_EQ(HitNumbers(w), (std::vector<int32_t>{0, 1}));
  EXPECT_EQ(w.NextHitNumber(), 2);
  EXPECT_EQ(w.SortSpec().First, ctxOrig);
  EXPECT_EQ(w.Items().CollocColour, ConcordSettings.CollocateFont.Color & 0xFFFFFF);

  // No hit: the creation text stays, capital M and all.
  TConcordanceForm& none = Run({"zebra"});
  EXPECT_EQ(Text(none.MatchCountWindow), "  0 Matches");
  EXPECT_EQ(none.Items().CollocColour, ConcordSettings.CollocateFont.Color & 0xFFFFFF);

  // Deleting every line counts in the small letters.
  Click(w, 0);
  Click(w, 1, Qt::ShiftModifier);
  w.DeleteSelectedHits();
  EXPECT_EQ(Text(w.MatchCountWindow), "  0 matches");
}

// Many hits fill the view: the count and the scroll range that were brought
// up to date only now and then are right once the search ends.
TEST_F(ConcordanceFormTest, CountAndScrollRangeAfterARunMatchTheList)
{
  std::string text;
  for (int i = 0; i < 3000; ++i)
    text += "a cat sat\r\n";
  Load({{"a.txt", text}});
  TConcordanceForm& w = Run({"cat"});
  EXPECT_EQ(w.Items().Count(), 3000);
  EXPECT_EQ(Text(w.MatchCountWindow), "  3000 matches");
  const int maximum = w.ConcordWindow->verticalScrollBar()->maximum();
  w.ConcordWindow->ItemsChanged();
  EXPECT_EQ(w.ConcordWindow->verticalScrollBar()->maximum(), maximum);
  EXPECT_GT(maximum, 2000);
}

TEST_F(ConcordanceFormTest, HighlightingStartsWithTheHundredthHitWhenSwitchedOn)
{
  std::string text;
  for (int i = 0; i < 120; ++i)
    text += "a cat ";
  Load({{"a.txt", text}});
  ConcordSettings.HighlightCollocates = true;
  std::vector<int32_t> highlightedFrom;
  TConcordanceForm& w = Run({"cat"}, [&](TConcordanceForm& win) {
    if (win.Items().HighlightCollocates && highlightedFrom.empty())
      highlightedFrom.push_back(win.Items().Count());
  });
  EXPECT_EQ(highlightedFrom, (std::vector<int32_t>{100}));
  EXPECT_TRUE(w.CMD_HiliteCollocates->isChecked());
  w.DropCollocates();
  EXPECT_FALSE(w.Items().HighlightCollocates);
  EXPECT_FALSE(w.CMD_HiliteCollocates->isChecked());

  ConcordSettings.HighlightCollocates = false;
  TConcordanceForm& off = Run({"cat"});
  EXPECT_FALSE(off.Items().HighlightCollocates);
}

TEST_F(ConcordanceFormTest, CreationTakesTheSettingsContextAndAlignment)
{
  Load({{"a.txt", "a cat\r\n"}});
  ConcordSettings.ContextType = 2;
  TConcordanceForm& lines = Run({"cat"});
  EXPECT_EQ(lines.ConcordWindow->Alignment(), taLeftJustify);
  EXPECT_EQ(lines.Items().Context.Type, 2);
  EXPECT_EQ(lines.Items().Context.Sizes, ConcordSettings.ContextSizes);
  EXPECT_EQ(lines.Splitter->sizes().front(), 111);  // 25% of 445, rounded
  ConcordSettings.ContextType = 0;
  EXPECT_EQ(Run({"cat"}).ConcordWindow->Alignment(), taCenter);

  // Word wrap wraps the list only for the running-text contexts.
  lines.CMD_WordWrapClick();
  EXPECT_TRUE(lines.CMD_WordWrap->isChecked());
  EXPECT_TRUE(lines.ConcordWindow->WordWrap());
  EXPECT_EQ(lines.ContextWindow->lineWrapMode(), QTextEdit::WidgetWidth);
  TContextRecord chosen;
  SetContextOptionsEditor([&](TContextRecord& record) {
    chosen = record;
    record.ContextType = 1;
    record.Sizes[1] = 3;
    return true;
  });
  lines.CMD_ContextOptionsClick();
  SetContextOptionsEditor({});
  EXPECT_EQ(chosen.ContextType, 2);
  EXPECT_EQ(lines.ContextType(), 1);
  EXPECT_EQ(lines.Items().Context.Sizes[1], 3);
  EXPECT_EQ(lines.ConcordWindow->Alignment(), taCenter);
  EXPECT_FALSE(lines.ConcordWindow->WordWrap());
  lines.CMD_WordWrapClick();
  EXPECT_EQ(lines.ContextWindow->lineWrapMode(), QTextEdit::NoWrap);
}

// --- the context pane --------------------------------------------------------------

TEST_F(ConcordanceFormTest, ThePaneKeepsTheHitInViewWhenTheWindowIsResized)
{
  std::string line;
  for (int i = 0; i < 150; ++i)
    line += "some words ";
  Load({{"a.txt", line + "the cat " + line + "\r\n"}});
  TConcordanceForm& w = Run({"cat"});
  w.ConcordWindow->SetItemIndex(0);
  EXPECT_EQ(w.ContextWindow->lineWrapMode(), QTextEdit::NoWrap);
  auto hitInView = [&w] {
    QTextCursor at(w.ContextWindow->document());
    at.setPosition(w.PaneHitStart());
    return w.ContextWindow->viewport()->rect().contains(w.ContextWindow->cursorRect(at).center());
  };
  EXPECT_TRUE(hitInView());
  for (QSize size : {QSize(900, 600), QSize(300, 250), QSize(1400, 900)}) {
    w.resize(size);
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_TRUE(hitInView()) << size.width();
  }
}

TEST_F(ConcordanceFormTest, ThePaneShowsTheHitWithContextOnBothSidesAndLineStartsWhereItFits)
{
  // Lines of 40 words; the hit is the 3rd or the 30th word of the middle one.
  std::string text;
  for (int hitAt : {3, 30}) {
    for (int line = 0; line < 3; ++line) {
      for (int word = 0; word < 40; ++word)
        text += line == 1 && word == hitAt ? "Gerar " : "sojourned ";
      text += "\r\n";
    }
  }
  Load({{"a.txt", text}});
  TConcordanceForm& w = Run({"Gerar"});
  ASSERT_EQ(w.Items().Count(), 2);
  QTextEdit& pane = *w.ContextWindow;
  for (int32_t hit : {0, 1}) {
    SCOPED_TRACE(hit);
    w.ConcordWindow->SetItemIndex(hit);
    QApplication::processEvents();
    QTextCursor at(pane.document());
    at.setPosition(w.PaneHitStart());
    const QRect start = pane.cursorRect(at);
    at.setPosition(w.PaneHitStart() + w.PaneHitLength());
    const QRect end = pane.cursorRect(at);
    const int width = pane.viewport()->width();
    EXPECT_GE(start.left(), width / 4);
    EXPECT_LE(end.right(), width - width / 4);
    EXPECT_EQ(pane.horizontalScrollBar()->value() == 0, hit == 0);
  }
}

TEST_F(ConcordanceFormTest, ThePaneShowsTheHitAtItsCharacterPositionWithTheVisibleClasses)
{
  // "\xE9" is one byte of the code page and one character in the pane; the
  // CR LF is one paragraph end.
  Load({{"a.txt", "Caf\xE9 <b>au</b> lait.\r\nThe cat sleeps.\r\n"}});
  TConcordanceForm& w = Run({"cat"});
  w.ConcordWindow->SetItemIndex(0);
  const QString pane = w.ContextWindow->toPlainText();
  EXPECT_EQ(pane.left(4), QString::fromUtf8("Caf\xC3\xA9"));
  EXPECT_EQ(w.PaneHitStart(), 25);
  EXPECT_EQ(pane.mid(w.PaneHitStart(), w.PaneHitLength()), QStringLiteral("cat"));
  EXPECT_EQ(w.ContextRanges().size(), 1u);
  EXPECT_TRUE(w.ContextWindow->updatesEnabled());
  EXPECT_EQ(sink.Calls.back(), "status:  " + CorpusList[0].Name + " ");

  // Suppressing tags takes them out of the pane; the hit stays marked.
  w.SuppressClick(0);
  EXPECT_TRUE(w.CMD_SuppressTags->isChecked());
  const QString bare = w.ContextWindow->toPlainText();
  EXPECT_FALSE(bare.contains(QStringLiteral("<b>")));
  EXPECT_EQ(bare.mid(w.PaneHitStart(), w.PaneHitLength()), QStringLiteral("cat"));
  // Hiding all three kinds is refused.
  w.SuppressClick(2);
  w.SuppressClick(1);
  EXPECT_FALSE(w.CMD_SuppressPartOfSpeech->isChecked());
  EXPECT_FALSE(w.Items().SuppressPartOfSpeech);

  // A context that cannot be read leaves the pane empty, without a message.
  w.Items().GetItem(0)->FileIndex = 7;
  w.ShowContextOfCurrent();
  EXPECT_TRUE(w.ContextWindow->toPlainText().isEmpty());
  EXPECT_TRUE(w.ContextRanges().empty());
  EXPECT_TRUE(w.ContextWindow->updatesEnabled());
  EXPECT_TRUE(errors().empty());
}

TEST_F(ConcordanceFormTest, ConcealingHitsShrinksThePaneUntilSwitchedOff)
{
  Load({{"a.txt", "a cat\r\n"}});
  TConcordanceForm& w = Run({"cat"});
  w.CMD_ConcealHitsClick();
  EXPECT_TRUE(w.CMD_ConcealHits->isChecked());
  EXPECT_EQ(w.Splitter->sizes().front(), 1);
  EXPECT_NE(w.Items().GetLine(0).find("---"), std::string::npos);
  w.resize(600, 500);
  QApplication::processEvents();
  EXPECT_EQ(w.Splitter->sizes().front(), 1);
  w.CMD_ConcealHitsClick();
  EXPECT_EQ(w.Splitter->sizes().front(), 125);
  w.resize(600, 402);
  QApplication::processEvents();
  EXPECT_EQ(w.Splitter->sizes().front(), 100);  // 100.5 rounds to even
}

// --- copying ------------------------------------------------------------------------

TEST_F(ConcordanceFormTest, CopyingListLinesBracketsEachHitAndEndsEveryLine)
{
  Load({{"a.txt", "One cat here. Two cat there. Three cat.\r\n"}});
  TConcordanceForm& w = Run({"cat"});
  QGuiApplication::clipboard()->setText(QStringLiteral("before"));
  w.CopyConcordance();  // nothing selected: nothing copied
  EXPECT_EQ(Clipboard(), "before");

  Click(w, 2);
  Click(w, 0, Qt::ControlModifier);
  w.ConcordWindow->setFocus();
  w.CopyConcordance();
  std::string expected;
  for (int32_t i : {0, 2}) {
    std::string line = w.Strings().Get(i);
    BracketHitRun(line, *w.Items().GetItem(i)->BuiltSpans());
    expected += line + "\r\n";
  }
  EXPECT_EQ(Clipboard(), expected);
  EXPECT_NE(expected.find("One [[cat]] here"), std::string::npos);
  EXPECT_NE(expected.find("Three [[cat]]"), std::string::npos);
}

TEST(FontColorDialog, GivesTheChosenFontAndColourAndKeepsTheCharacterSet)
{
  const TFontRec start{"DejaVu Sans", 10, fsBold, clWindowText, 204};
  TFontColorDialog unchanged(start, QStringLiteral("Font"));
  EXPECT_EQ(unchanged.Font().Color, clWindowText);  // a system colour stays one
  EXPECT_EQ(unchanged.Font().Style, fsBold);

  TFontColorDialog dialog(start, QStringLiteral("Font"));
  dialog.FontPart->setCurrentFont(QFont(QStringLiteral("DejaVu Sans"), 14));
  dialog.SetColor(QColor(0x11, 0x22, 0x33));
  const TFontRec chosen = dialog.Font();
  EXPECT_EQ(chosen.Size, 14);
  EXPECT_EQ(chosen.Color, 0x332211);
  EXPECT_EQ(chosen.Charset, 204);
}

TEST(BracketHitRun, BracketsTheHitRunNotACollocateBeforeIt)
{
  TSVFormatArray runs(2);
  runs[0].Start = 1;  // a collocate
  runs[0].Length = 3;
  runs[1].Start = 5;
  runs[1].Length = 3;
  runs[1].Hilite = true;
  std::string line = "big cat sat";
  BracketHitRun(line, runs);
  EXPECT_EQ(line, "big [[cat]] sat");

  std::string noHit = "big cat sat";
  runs[1].Hilite = false;
  BracketHitRun(noHit, runs);
  EXPECT_EQ(noHit, "big cat sat");
  runs[1].Hilite = true;
  runs[1].Length = 0;
  BracketHitRun(noHit, runs);
  EXPECT_EQ(noHit, "big cat sat");
}

TEST_F(ConcordanceFormTest, CopyingFromThePaneBracketsOnlyARealOverlapWithTheHit)
{
  Load({{"a.txt", "The black cat sat down.\r\n"}});
  TConcordanceForm& w = Run({"cat"});
  w.ConcordWindow->SetItemIndex(0);
  const int hs = w.PaneHitStart();
  ASSERT_EQ(w.PaneHitLength(), 3);
  w.ContextWindow->setFocus();
  auto copy = [&](int from, int to) {
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    QTextCursor c(w.ContextWindow->document());
    c.setPosition(from);
    c.setPosition(to, QTextCursor::KeepAnchor);
    w.ContextWindow->setTextCursor(c);
    w.CopyConcordance();
    return Clipboard();
  };
  EXPECT_EQ(copy(hs - 6, hs + 3), "black [[cat]]");
  EXPECT_EQ(copy(hs + 1, hs + 7), "[[at]] sat");  // clipped to the selection
  EXPECT_EQ(copy(hs - 6, hs), "black ");          // ends just before the hit
  EXPECT_EQ(copy(hs + 3, hs + 7), " sat");        // starts just after it
  EXPECT_EQ(copy(hs, hs), "before");              // no selection: nothing
}

// --- deleting --------------------------------------------------------------------------

TEST_F(ConcordanceFormTest, DeleteAndAltClickRemoveTheSelectedLines)
{
  Load({{"a.txt", "cat one. cat two. cat three. cat four.\r\n"}});
  TConcordanceForm& w = Run({"cat"});
  Click(w, 3);
  Click(w, 1, Qt::ControlModifier);  // the current line stays within the list
  ASSERT_FALSE(w.ContextRanges().empty());
  w.Items().CollocTables[5] = std::make_unique<THashStrings>(16, 0);
  w.DeleteSelectedHits();
  EXPECT_EQ(HitNumbers(w), (std::vector<int32_t>{0, 2}));
  EXPECT_EQ(w.ConcordWindow->SelCount(), 0);
  EXPECT_TRUE(w.ContextWindow->toPlainText().isEmpty());
  EXPECT_TRUE(w.ContextRanges().empty());
  EXPECT_EQ(w.Items().CollocTables[5], nullptr);
  EXPECT_EQ(Text(w.MatchCountWindow), "  2 matches");

  // Alt + click on an unselected line deletes the selected one, then selects.
  Click(w, 1);
  Click(w, 0, Qt::AltModifier);
  EXPECT_EQ(HitNumbers(w), (std::vector<int32_t>{0}));
  EXPECT_TRUE(w.ConcordWindow->IsSelected(0));
  // Ctrl+D through the menu item.
  w.CMD_DeleteItem->trigger();
  EXPECT_EQ(w.Items().Count(), 0);
}

TEST_F(ConcordanceFormTest, KeyboardSelectionIsWhatCopyAndDeleteActOn)
{
  std::string text;
  for (int i = 0; i < 500; ++i)
    text += "a cat here\r\n";
  Load({{"a.txt", text}});
  TConcordanceForm& w = Run({"cat"});
  Click(w, 0);
  w.ConcordWindow->setFocus();
  QTest::keyClick(w.ConcordWindow, Qt::Key_End, Qt::ControlModifier);
  QTest::keyClick(w.ConcordWindow, Qt::Key_Home, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(w.ConcordWindow->SelCount(), 500);
  for (int32_t i : {0, 250, 498, 499})
    EXPECT_TRUE(w.ConcordWindow->IsSelected(i)) << i;
  w.CopyConcordance();
  const std::string copied = Clipboard();
  EXPECT_EQ(std::count(copied.begin(), copied.end(), '\n'), 500);  // every line ends
  w.CMD_DeleteItem->trigger();
  EXPECT_EQ(w.Items().Count(), 0);
}

// --- letters ----------------------------------------------------------------------------

TEST_F(ConcordanceFormTest, LettersShowInTheLabelColumnWhileAnyLineHasOne)
{
  Load({{"a.txt", "cat one. cat two. cat three.\r\n"}});
  TConcordanceForm& w = Run({"cat"});
  auto releaseRight = [&](QPoint at) {
    QTest::mouseRelease(w.ConcordWindow->viewport(), Qt::RightButton, Qt::NoModifier, at);
    w.PopupMenu->hide();
  };
  releaseRight(w.ConcordWindow->ItemRect(1).center());
  EXPECT_EQ(w.PopupTarget(), 1);
  w.PopupMenuPopup();
  EXPECT_TRUE(w.PM_Assign->menuAction()->isEnabled());
  w.AssignLetterClick('q');
  EXPECT_TRUE(w.ConcordWindow->ShowLabel());
  EXPECT_EQ(w.ConcordWindow->LabelWidth(), 2 * w.ConcordWindow->CharWidth());
  std::string text;
  TSVFormatArray format;
  TSVLabelInfo label;
  w.ConcordWindowFormatItem(1, text, format, label);
  EXPECT_EQ(label.Text, "q");
  EXPECT_EQ(label.Alignment, taCenter);
  EXPECT_EQ(label.Font.Style, fsBold);
  EXPECT_EQ(label.Font.Color, 0xFF0000);
  w.PopupMenuPopup();
  for (QAction* item : w.PM_Letters)
    EXPECT_EQ(item->isChecked(), item->text() == QStringLiteral("q")) << item->text().toStdString();

  // Removing the only letter hides the column; another letter keeps it.
  w.PM_RemoveClick();
  EXPECT_FALSE(w.ConcordWindow->ShowLabel());
  w.AssignLetterClick('b');
  w.SetPopupTarget(0);
  w.AssignLetterClick('a');
  w.PM_RemoveClick();
  EXPECT_TRUE(w.ConcordWindow->ShowLabel());
  w.PM_RemoveAllLettersClick();
  EXPECT_FALSE(w.ConcordWindow->ShowLabel());
  EXPECT_EQ(w.Items().GetItem(1)->Letter, 255);

  // Released below the lines: no target, and the target's items are off.
  releaseRight(QPoint(5, w.ConcordWindow->viewport()->height() - 2));
  EXPECT_EQ(w.PopupTarget(), -1);
  w.PopupMenuPopup();
  EXPECT_FALSE(w.PM_Assign->menuAction()->isEnabled());
  EXPECT_FALSE(w.PM_Remove->isEnabled());
  EXPECT_FALSE(w.PM_DisplayInfo->isEnabled());
  EXPECT_TRUE(w.PM_RemoveAllLetters->isEnabled());
}

TEST_F(ConcordanceFormTest, DisplayInfoShowsTheHitEvenWhileHitsAreConcealed)
{
  Load({{"a.txt", "a cat here\r\n"}});
  TConcordanceForm& w = Run({"cat"});
  w.CMD_ConcealHitsClick();
  w.SetPopupTarget(0);
  std::string shown;
  QTimer::singleShot(0, [&] {
    if (auto* form = qobject_cast<TTagInfoForm*>(QApplication::activeModalWidget())) {
      shown = form->MatchLabel->text().toStdString();
      form->reject();
    }
  });
  w.PM_DisplayInfoClick();
  EXPECT_EQ(shown, "cat");
  EXPECT_TRUE(w.Items().ConcealHits);
}

// --- corpus removal ----------------------------------------------------------------------

TEST_F(ConcordanceFormTest, RemovingAFileDropsItsHitsAndRenumbersLaterFiles)
{
  Load({{"a.txt", "a cat\r\n"}, {"b.txt", "cat and cat\r\n"}, {"c.txt", "the cat\r\n"}});
  TConcordanceForm& w = Run({"cat"});
  ASSERT_EQ(w.Items().Count(), 4);
  Click(w, 3);
  Click(w, 0, Qt::ControlModifier);
  w.Items().CollocTables[6] = std::make_unique<THashStrings>(16, 0);

  w.RemoveFileHits(5);  // no hit of it: nothing changes
  EXPECT_EQ(w.ConcordWindow->SelCount(), 2);

  w.RemoveFileHits(1);
  std::vector<int32_t> files;
  for (const auto& hit : w.Items().Items())
    files.push_back(hit->FileIndex);
  EXPECT_EQ(files, (std::vector<int32_t>{0, 1}));
  EXPECT_EQ(HitNumbers(w), (std::vector<int32_t>{0, 3}));
  EXPECT_EQ(w.ConcordWindow->SelCount(), 0);
  EXPECT_EQ(w.Items().CollocTables[6], nullptr);
  EXPECT_TRUE(w.ContextRanges().empty());
  EXPECT_EQ(Text(w.MatchCountWindow), "  2 matches");
}

// --- save and print ------------------------------------------------------------------------

TEST_F(ConcordanceFormTest, SavesTextAndHtmlThroughTheWriterAndRemembersTheFolder)
{
  Load({{"a.txt", "a cat here\r\n"}, {"b.txt", "the cat there\r\n"}});
  TConcordanceForm& w = Run({"cat"});
  testsupport::ScratchFolder out;
  ConcordancePath = out.path();
  {
    OutputOptions options(false);
    ChosenFile chosen(out.file("report.txt"));
    w.SaveConcordance();
    EXPECT_TRUE(options.ShowFilePreset);  // more than one corpus item
    EXPECT_EQ(chosen.Filter, "Text files (*.TXT)|*.TXT|All files (*.*)|*.*");
    EXPECT_EQ(chosen.InitialDir, out.path());
  }
  const std::string text = readFile(out.file("report.txt"));
  EXPECT_NE(text.find("[[cat]]"), std::string::npos);
  EXPECT_NE(text.find("\r\n"), std::string::npos);

  testsupport::ScratchFolder other;
  {
    OutputOptions options(true);
    ChosenFile chosen(other.file("report.html"));
    w.SaveConcordance();
    EXPECT_EQ(chosen.Filter, "HTML files (*.HTML)|*.HTML|All files (*.*)|*.*");
    EXPECT_EQ(chosen.InitialDir, out.path());
  }
  EXPECT_EQ(readFile(other.file("report.html")).rfind("<html>", 0), 0u);
  EXPECT_EQ(ConcordancePath, other.path());
  EXPECT_TRUE(errors().empty());
}

TEST_F(ConcordanceFormTest, PrintsToThePrinterAndShowsFailedSaves)
{
  Load({{"a.txt", "a cat here\r\n"}});
  TConcordanceForm& w = Run({"cat"});
  testsupport::ScratchFolder out;
  {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(out.file("print.pdf")));
    TPrinterLookup old = SetPrinterLookup([&] { return &printer; });
    OutputOptions options(false);
    w.PrintConcordance();
    SetPrinterLookup(std::move(old));
    EXPECT_FALSE(options.ShowFilePreset);
  }
  EXPECT_EQ(readFile(out.file("print.pdf")).rfind("%PDF", 0), 0u);
  EXPECT_TRUE(errors().empty());

  OutputOptions options(false);
  {
    ChosenFile chosen("/dev/full");
    w.SaveConcordance();
  }
  ASSERT_EQ(errors().size(), 1u);
  EXPECT_NE(errors()[0].find("/dev/full"), std::string::npos);
  {
    ChosenFile chosen(out.file("missing/report.txt"));
    w.SaveConcordance();
  }
  ASSERT_EQ(errors().size(), 2u);
  EXPECT_NE(errors()[1].find("Unable to open file"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(out.file("missing")));

  TPrinterLookup old = SetPrinterLookup([] { return nullptr; });
  w.PrintConcordance();
  SetPrinterLookup(std::move(old));
  ASSERT_EQ(errors().size(), 3u);
  EXPECT_EQ(errors()[2], NoPrinterText);
}

// --- fonts -------------------------------------------------------------------------------------

TEST_F(ConcordanceFormTest, AFontCommandChangesEveryConcordanceWindow)
{
  Load({{"a.txt", "a cat\r\n"}});
  TConcordanceForm& first = Run({"cat"});
  TConcordanceForm& second = Run({"a"});
  const int lineHeight = first.ConcordWindow->LineHeight();
  TConcordanceFontChooser old = SetConcordanceFontChooser([](TFontRec& font, const QString&) {
    font.Size = 20;
    font.Color = 0x0000FF;
    return true;
  });
  first.CMD_ChangeCollocateFontClick();
  EXPECT_EQ(ConcordSettings.CollocateFont.Size, 20);
  EXPECT_EQ(second.Items().CollocColour, 0x0000FF);
  EXPECT_GT(second.ConcordWindow->LineHeight(), lineHeight);
  EXPECT_EQ(second.ConcordWindow->LabelWidth(), 2 * second.ConcordWindow->CharWidth());

  // A smaller font leaves the line spacing as it was.
  const int raised = first.ConcordWindow->LineHeight();
  SetConcordanceFontChooser([](TFontRec& font, const QString&) {
    font.Size = 6;
    return true;
  });
  first.CMD_ChangeCollocateFontClick();
  EXPECT_EQ(first.ConcordWindow->LineHeight(), raised);
  SetConcordanceFontChooser(std::move(old));
}

// --- the frame's messages, activation and closing ----------------------------------------------

// A window with the sort menu the sorting commands add.
class SortableConcordance : public TConcordanceForm {
public:
  using TConcordanceForm::TConcordanceForm;
  QMenu* AddSortMenu() { return addMenu(5, QStringLiteral("CM_Sort"), QStringLiteral("&Sort")); }
};

TEST_F(ConcordanceFormTest, BusyWindowsRefuseToCloseAndDisableTheirCommands)
{
  Load({{"a.txt", "a cat\r\n"}});
  SortableConcordance w("cat");
  QMenu* sort = w.AddSortMenu();
  w.show();
  {
    BusyScope busy(BusySaving);
    w.updateMenus();
    EXPECT_FALSE(w.CMD_DeleteItem->isEnabled());
    EXPECT_FALSE(w.CMD_Distribution->isEnabled());
    EXPECT_FALSE(sort->menuAction()->isVisible());
    EXPECT_FALSE(w.close());
    EXPECT_TRUE(w.isVisible());
  }
  w.updateMenus();
  EXPECT_TRUE(w.CMD_DeleteItem->isEnabled());
  EXPECT_TRUE(sort->menuAction()->isVisible());
  EXPECT_TRUE(w.CMD_Distribution->isEnabled());
  EXPECT_TRUE(w.close());
}

TEST_F(ConcordanceFormTest, ChangedTagSettingsForgetTheTrackedTagValues)
{
  Load({{"a.txt", "a cat\r\n"}});
  TConcordanceForm& w = Run({"cat"});
  w.SortSpec().TagName = "speaker";
  w.Items().TagIndex = 0;
  w.Items().GetItem(0)->SetTrackedTagValue("Ann");
  w.tagsChanged();
  EXPECT_TRUE(w.SortSpec().TagName.empty());
  EXPECT_EQ(w.Items().TagIndex, -1);
  EXPECT_EQ(w.Items().GetItem(0)->TrackedTagValue(), nullptr);

  EXPECT_EQ(TConcordanceForm::LongestTagNameWidth(), 0);
  WatchedTags = {TWatchedTag::Make("speaker", "<sp ", ">"), TWatchedTag::Make("", "<chapter-start ", ">")};
  EXPECT_EQ(TConcordanceForm::LongestTagNameWidth(), 17);
}

TEST_F(ConcordanceFormTest, InTheFrameTheWindowMergesItsMenuAndRoutesCopy)
{
  testsupport::ScratchFolder data;
  testsupport::ScopedEnv dataHome("XDG_DATA_HOME", data.path());
  Load({{"a.txt", "The black cat sat.\r\n"}});
  TFrameForm frame;
  frame.show();
  auto* w = new TConcordanceForm("cat");
  frame.AddChildWindow(w);
  frame.ClientArea->setActiveSubWindow(w->subWindow());
  QApplication::setActiveWindow(&frame);
  QApplication::processEvents();
  EXPECT_EQ(w->subWindow()->windowTitle(), QStringLiteral("Concordance - [cat]"));
  bool display = false;
  for (QAction* action : frame.menuBar()->actions())
    display = display || (action->menu() && action->menu()->objectName() == QStringLiteral("CM_Display"));
  EXPECT_TRUE(display);
  EXPECT_FALSE(frame.Item(QStringLiteral("FMQ_CopyClipboard"))->isEnabled());

  // Fill it as the driver does, then copy from the pane with Ctrl+C.
  {
    auto search = std::make_unique<TSearch>();
    int32_t phase = -1;
    std::string error;
    search->Prepare(Request({"cat"}), phase, error);
    BusyScope busy(BusySearching);
    search->RunSearch(INT32_MAX, [w](std::unique_ptr<TConcordItem> hit) { w->AddHit(std::move(hit)); });
    w->SetSearch(std::move(search));
    // Closing is refused while the search runs.
    w->subWindow()->close();
    QApplication::processEvents();
    EXPECT_EQ(frame.ChildWindows().size(), 1u);
  }
  w->AfterSearch();
  w->ConcordWindow->SetItemIndex(0);
  EXPECT_EQ(frame.HintText().toStdString(), " " + CorpusList[0].Name + " ");
  const int hs = w->PaneHitStart();
  QTextCursor c(w->ContextWindow->document());
  c.setPosition(hs - 2);
  c.setPosition(hs + 3, QTextCursor::KeepAnchor);
  w->ContextWindow->setTextCursor(c);
  w->ContextWindow->setFocus();
  QTest::keySequence(w->ContextWindow, QKeySequence::Copy);
  EXPECT_EQ(Clipboard(), "k [[cat]]");

  // In the list the menu's Ctrl+C copies the selected lines, Ctrl+D deletes them.
  QApplication::setActiveWindow(&frame);
  w->ConcordWindow->setFocus();
  Click(*w, 0);
  QTest::keySequence(w->ConcordWindow, QKeySequence(QStringLiteral("Ctrl+C")));
  EXPECT_NE(Clipboard().find("black [[cat]] sat"), std::string::npos);
  EXPECT_EQ(Clipboard().substr(Clipboard().size() - 2), "\r\n");
  QTest::keySequence(w->ConcordWindow, QKeySequence(QStringLiteral("Ctrl+D")));
  EXPECT_EQ(w->Items().Count(), 0);

  w->subWindow()->close();
  QApplication::processEvents();
  EXPECT_TRUE(frame.ChildWindows().empty());
}

}  // namespace
