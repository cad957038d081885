#include "workbench/frame/frame_test_support.h"

#include "workbench/frame/menu_table.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QTest>

using frametest::FrameTest;
using frametest::MenuBarNames;
using frametest::TTestChild;

namespace {

class FrameChildrenTest : public FrameTest
{
protected:
  FrameChildrenTest()
  {
    // A corpus, so that the Concordance and Frequency menus show.
    Start({folder_.write("corpus.txt", "Some words of a corpus.\r\n")});
    // The first file's own full-text window would join the children counted here.
    Frame().CloseAllChildWindows();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (const char* name : {"FMQ_CopyClipboard", "FMQ_Print", "FMC_Print", "FMQ_Save", "FMQ_CorpusComp",
                             "FMQ_CorpusSort", "FMC_CloseAll", "FMC_Save"})
      Frame().RegisterCommand(QString::fromLatin1(name), [this, name] { Fired.push_back(name); });
  }

  // A concordance-like child: its Display menu replaces the frame's, its
  // sort menu comes in by group, and it binds Ctrl+C itself.
  TTestChild* AddConcordance()
  {
    auto* child = new TTestChild(mkConcordance, QStringLiteral("Concordance"));
    QMenu* display = child->AddMenu(DisplayMenuGroup, QStringLiteral("CM_Display"), QStringLiteral("&Display"));
    QAction* copy = display->addAction(QStringLiteral("&Copy to Clipboard"));
    copy->setObjectName(QStringLiteral("CMD_CopytoClipboard"));
    copy->setShortcut(QKeySequence(QStringLiteral("Ctrl+C")));
    QObject::connect(copy, &QAction::triggered, [this] { Fired.push_back("CMD_CopytoClipboard"); });
    child->AddMenu(5, QStringLiteral("CM_Sort"), QStringLiteral("&Sort"));
    Frame().AddChildWindow(child);
    return child;
  }

  TTestChild* AddChild(int kind, const QString& title)
  {
    auto* child = new TTestChild(kind, title);
    Frame().AddChildWindow(child);
    return child;
  }

  void Activate(TTestChild* child)
  {
    Frame().ClientArea->setActiveSubWindow(child->subWindow());
    ASSERT_EQ(Frame().ActiveChild(), child);
  }

  // A key typed in the frame; the window is made the active one first, as
  // shortcuts only reach the active window.
  void Type(const QKeySequence& keys)
  {
    QApplication::setActiveWindow(&Frame());
    QTest::keySequence(&Frame(), keys);
  }

  std::vector<std::string> Fired;
};

}  // namespace

TEST_F(FrameChildrenTest, ActiveChildMenusMergeByGroup)
{
  TTestChild* fullText = AddChild(mkFullText, QStringLiteral("Corpus Text"));
  fullText->AddMenu(1, QStringLiteral("TM_CorpusText"), QStringLiteral("Corpus &Text"));
  TTestChild* conc = AddConcordance();
  TTestChild* list = AddChild(mkWordList, QStringLiteral("Corpus Frequency List"));

  Activate(conc);
  EXPECT_EQ(MenuBarNames(Frame().menuBar()), "FM_File FM_Concordance FM_Frequency CM_Display CM_Sort FM_Window FM_Info");
  EXPECT_FALSE(Item("DM_Display")->isVisible());

  Activate(list);
  EXPECT_EQ(MenuBarNames(Frame().menuBar()), "FM_File FM_Concordance FM_Frequency DM_Display FM_Window FM_Info");
  EXPECT_TRUE(Item("DM_Display")->isVisible());
  EXPECT_TRUE(Item("DM_Display")->isEnabled());

  Activate(fullText);
  EXPECT_EQ(MenuBarNames(Frame().menuBar()),
            "FM_File TM_CorpusText FM_Concordance FM_Frequency FM_Window FM_Info");

  // Activation calls pair up: each child that lost the focus was told.
  EXPECT_EQ(conc->Activations, conc->Deactivations);
  EXPECT_EQ(list->Activations, list->Deactivations);
  EXPECT_EQ(fullText->Activations, fullText->Deactivations + 1);
}

TEST_F(FrameChildrenTest, ShortcutBoundTwiceReachesOnlyTheActiveWindowsCommand)
{
  TTestChild* conc = AddConcordance();
  TTestChild* list = AddChild(mkWordList, QStringLiteral("Corpus Frequency List"));

  Activate(list);
  Type(QKeySequence(QStringLiteral("Ctrl+C")));
  Type(QKeySequence(QStringLiteral("Ctrl+P")));
  EXPECT_EQ(Fired, (std::vector<std::string>{"FMQ_CopyClipboard", "FMQ_Print"}));

  Fired.clear();
  Activate(conc);
  Type(QKeySequence(QStringLiteral("Ctrl+C")));
  Type(QKeySequence(QStringLiteral("Ctrl+P")));
  EXPECT_EQ(Fired, (std::vector<std::string>{"CMD_CopytoClipboard", "FMC_Print"}));
}

TEST_F(FrameChildrenTest, MenuRulesFollowTheKindOfTheActiveChild)
{
  TTestChild* comp = AddChild(mkCorpusComp, QStringLiteral("Corpus Comparison"));
  TTestChild* coll = AddChild(mkCollocation, QStringLiteral("Collocation"));
  Activate(comp);
  EXPECT_TRUE(Item("FMQ_CorpusSort")->isEnabled());
  EXPECT_TRUE(Item("FMQ_CorpusComp")->isEnabled());
  EXPECT_FALSE(Item("FMC_CloseAll")->isEnabled());
  {
    BusyScope busy(BusyCounting);
    Frame().UpdateMenuState();
    EXPECT_TRUE(Item("FMQ_CorpusSort")->isEnabled());  // also while busy
    EXPECT_FALSE(Item("FMQ_Save")->isEnabled());
    EXPECT_FALSE(Item("FMQ_CorpusComp")->isEnabled());  // follows FMQ_Save
  }
  Activate(coll);
  EXPECT_FALSE(Item("FMQ_CorpusSort")->isEnabled());
  EXPECT_TRUE(Item("FMQ_CorpusComp")->isEnabled());

  AddConcordance();
  Frame().UpdateMenuState();
  EXPECT_TRUE(Item("FMC_CloseAll")->isEnabled());
  EXPECT_TRUE(Item("FMC_Save")->isEnabled());
  EXPECT_FALSE(Item("DM_Display")->isVisible());
}

TEST_F(FrameChildrenTest, BroadcastsReachEveryChildInOrder)
{
  TTestChild* a = AddChild(mkFullText, QStringLiteral("a"));
  TTestChild* b = AddConcordance();
  TTestChild* c = AddChild(mkWordList, QStringLiteral("c"));
  const auto children = Frame().ChildWindows();
  EXPECT_EQ(children, (std::vector<TMDIChildForm*>{a, b, c}));

  const int before = a->UpdateMenusCalls;
  Frame().UpdateMenuState();
  EXPECT_EQ(a->UpdateMenusCalls, before + 1);
  EXPECT_GT(c->UpdateMenusCalls, 0);

  Frame().BroadcastTagsChanged();
  EXPECT_EQ(a->TagsChangedCalls + b->TagsChangedCalls + c->TagsChangedCalls, 3);
  Frame().RefreshConcordancesMessage();
  EXPECT_EQ(b->RefreshCalls, 1);
  EXPECT_EQ(a->RefreshCalls + c->RefreshCalls, 0);
  Frame().UpdateMenuStateOnTimer();  // not busy: nothing
  const int idle = c->UpdateMenusCalls;
  Frame().UpdateMenuStateOnTimer();
  EXPECT_EQ(c->UpdateMenusCalls, idle);
  {
    BusyScope busy(BusySearching);
    Frame().UpdateMenuStateOnTimer();
    EXPECT_EQ(c->UpdateMenusCalls, idle + 1);
  }
}

TEST_F(FrameChildrenTest, ClosingChildrenOfAKindHappensAfterTheCurrentEvent)
{
  QPointer<TTestChild> a = AddChild(mkWordList, QStringLiteral("a"));
  QPointer<TTestChild> b = AddConcordance();
  QPointer<TTestChild> c = AddChild(mkWordList, QStringLiteral("c"));
  Frame().CloseChildWindows(mkWordList);
  EXPECT_TRUE(a && c);  // released later
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QApplication::processEvents();
  EXPECT_FALSE(a);
  EXPECT_FALSE(c);
  ASSERT_TRUE(b);
  EXPECT_EQ(Frame().ChildWindows(), std::vector<TMDIChildForm*>{b.data()});
  EXPECT_EQ(MenuBarNames(Frame().menuBar()), "FM_File FM_Concordance FM_Frequency CM_Display CM_Sort FM_Window FM_Info");

  Frame().CloseAllChildWindows();
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QApplication::processEvents();
  EXPECT_FALSE(b);
  EXPECT_EQ(MenuBarNames(Frame().menuBar()), "FM_File FM_Concordance FM_Frequency FM_Info");
  EXPECT_FALSE(Item("FM_Window")->isVisible());
}

TEST_F(FrameChildrenTest, WindowMenuListsTheChildren)
{
  TTestChild* a = AddChild(mkWordList, QStringLiteral("Alphabetical Word List"));
  AddChild(mkCollocation, QStringLiteral("Collocation"));
  AddChild(mkFullText, QStringLiteral("Corpus Text - tom&jerry.txt"));  // "&" is shown, not a marker
  QMenu* window = Frame().Menu(QStringLiteral("FM_Window"));
  emit window->aboutToShow();
  QStringList titles;
  for (QAction* action : window->actions())
    if (!action->isSeparator() && action->objectName().isEmpty())
      titles << action->text();
  EXPECT_EQ(titles.join(QLatin1Char('|')).toStdString(),
            "&1 Alphabetical Word List|&2 Collocation|&3 Corpus Text - tom&&jerry.txt");
  window->actions().at(window->actions().size() - 3)->trigger();
  EXPECT_EQ(Frame().ActiveChild(), a);
  emit window->aboutToShow();  // the list is rebuilt, not appended to
  EXPECT_EQ(window->actions().size(), 3 + 1 + 3);
}

TEST_F(FrameChildrenTest, ChildWindowsOpenAtTheirSizeCascadingFromTheLastOne)
{
  Frame().resize(1400, 1000);
  Frame().show();
  std::vector<TTestChild*> children;
  for (int i = 0; i < 3; ++i) {
    auto* child = new TTestChild(mkConcordance, QStringLiteral("Concordance"));
    child->resize(580, 445);
    Frame().AddChildWindow(child);
    children.push_back(child);
  }
  const QPoint first = children[0]->subWindow()->pos();
  EXPECT_EQ(first, QPoint(0, 0));
  for (size_t i = 0; i < children.size(); ++i) {
    EXPECT_EQ(children[i]->size(), QSize(580, 445)) << i;
    if (i > 0) {
      const QPoint step = children[i]->subWindow()->pos() - children[i - 1]->subWindow()->pos();
      EXPECT_GT(step.x(), 0) << i;
      EXPECT_EQ(step.x(), step.y()) << i;
    }
  }
}

TEST_F(FrameChildrenTest, CtrlF4ClosesTheActiveChild)
{
  TTestChild* first = AddChild(mkWordList, QStringLiteral("first"));
  QPointer<TTestChild> second = AddChild(mkCollocation, QStringLiteral("second"));
  Activate(second);
  // Under X11 a sub-window's own Close is Ctrl+W alone.
  for (QAction* action : second->subWindow()->systemMenu()->actions())
    if (action->shortcuts().contains(QKeySequence(QStringLiteral("Ctrl+F4"))))
      action->setShortcut(QKeySequence(QStringLiteral("Ctrl+W")));
  Type(QKeySequence(QStringLiteral("Ctrl+F4")));
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(second.isNull());
  EXPECT_EQ(Frame().ChildWindows(), std::vector<TMDIChildForm*>{first});
}

TEST_F(FrameChildrenTest, ClosingTheActiveChildBringsBackTheOneUsedBeforeIt)
{
  // A collocation window closed returns to its concordance, not to the
  // first window ever opened.
  TTestChild* text = AddChild(mkFullText, QStringLiteral("text"));
  TTestChild* concordance = AddConcordance();
  QPointer<TTestChild> collocation = AddChild(mkCollocation, QStringLiteral("collocation"));
  for (TTestChild* child : {text, concordance, collocation.data()})
    Activate(child);
  Type(QKeySequence(QStringLiteral("Ctrl+F4")));
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  ASSERT_TRUE(collocation.isNull());
  EXPECT_EQ(Frame().ActiveChild(), concordance);
}
