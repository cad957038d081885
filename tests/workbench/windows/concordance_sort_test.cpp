// The concordance window's Sort menu in a running frame: every menu sort and
// the advanced sort checked against a plain reference sort over hits of a
// random corpus, the skipping of sorts that change nothing, the panel texts,
// and the shortcuts with two windows open.
#include "workbench/frame/frame_test_support.h"

#include "forms/advanced_sort.h"
#include "search/concord_items.h"
#include "search/search_driver.h"
#include "support/fake_bridge.h"
#include "workbench/lineview/strings_view.h"
#include "workbench/windows/concordance_form.h"

#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTest>

#include <algorithm>
#include <functional>
#include <map>
#include <random>

namespace {

using frametest::FrameTest;

// One sort key as the reference sees it: a word slot (reversed or not) or,
// for ctxOrig, the arrival number.
struct RefKey {
  uint8_t Key;
  bool Reverse;
};

// Plain comparison of one key: words by their bytes (the corpus has lower-case
// letters only), reversed words from their ends, absent words last.
int RefCompare(const TConcordItem& a, const TConcordItem& b, RefKey k)
{
  if (k.Key == ctxOrig)
    return a.HitNumber < b.HitNumber ? -1 : a.HitNumber > b.HitNumber;
  if (!a.HasWord(k.Key) || !b.HasWord(k.Key))
    return a.HasWord(k.Key) == b.HasWord(k.Key) ? 0 : a.HasWord(k.Key) ? -1 : 1;
  std::string x(a.Word(k.Key)), y(b.Word(k.Key));
  if (k.Reverse) {
    std::reverse(x.begin(), x.end());
    std::reverse(y.begin(), y.end());
  }
  return x.compare(y) < 0 ? -1 : x.compare(y) > 0;
}

// What the keys see of each hit, in list order: the order is right when
// this equals the same for a stable reference sort (ties may differ).
std::vector<std::string> Projection(std::vector<const TConcordItem*> hits, const std::vector<RefKey>& keys)
{
  std::vector<std::string> out;
  for (const TConcordItem* h : hits) {
    std::string row;
    for (RefKey k : keys)
      row += (k.Key == ctxOrig ? std::to_string(h->HitNumber)
                               : h->HasWord(k.Key) ? std::string(h->Word(k.Key)) : std::string("~")) + "|";
    out.push_back(row);
  }
  return out;
}

class ConcordanceSortTest : public FrameTest {
protected:
  ConcordanceSortTest()
  {
    // Lines of random lower-case words; "ab" is frequent.
    std::mt19937 random(104);
    const std::vector<std::string> words = {"ab", "abc", "b", "ba", "cab", "dab", "bcd", "a", "ca", "ab"};
    std::string text;
    for (int line = 0; line < 120; ++line) {
      for (int w = 0, n = 1 + int(random() % 9); w < n; ++w)
        text += words[random() % words.size()] + " ";
      text += "ab.\r\n";
    }
    corpus_ = folder_.write("corpus.txt", text);
  }
  ~ConcordanceSortTest() override { SetAdvancedSortViewMaker({}); }

  struct View : TAdvancedSortColView {
    int ShowModal() override { return run(); }
    void Beep() override {}
    std::function<int()> run;
  };

  // A concordance window in the frame holding the hits of "ab".
  TConcordanceForm& Window()
  {
    if (!captions_) {
      Start({corpus_});
      // After the frame, which installs its own frame interface.
      captions_ = std::make_unique<testsupport::RecordingFrameSink>();
      // In place of the form the start-up installed: the dialog worked by dialog_.
      SetAdvancedSortViewMaker([this](TAdvancedSortColModel& m) {
        auto view = std::make_unique<View>();
        view->run = [this, &m] { return dialog_ ? dialog_(m) : int(mrCancel); };
        return view;
      });
    }
    auto* w = new TConcordanceForm("ab");
    Frame().AddChildWindow(w);
    w->show();
    TSearchRec request;
    request.Patterns = request.DisplayPatterns = {"ab"};
    TSearch search;
    int32_t phase = -1;
    std::string error;
    search.Prepare(request, phase, error);
    EXPECT_EQ(phase, 0) << error;
    search.RunSearch(100000, [w](std::unique_ptr<TConcordItem> hit) { w->AddHit(std::move(hit)); });
    w->AfterSearch();
    EXPECT_GT(w->Items().Count(), 200);
    return *w;
  }

  static std::vector<const TConcordItem*> Hits(const TConcordanceForm& w)
  {
    std::vector<const TConcordItem*> hits;
    for (const auto& h : w.Items().Items())
      hits.push_back(h.get());
    return hits;
  }

  // The window's order agrees with a stable sort by the keys.
  static void ExpectSortedBy(const TConcordanceForm& w, const std::vector<RefKey>& keys)
  {
    std::vector<const TConcordItem*> expected = Hits(w);
    std::stable_sort(expected.begin(), expected.end(), [&](const TConcordItem* a, const TConcordItem* b) {
      for (RefKey k : keys)
        if (int c = RefCompare(*a, *b, k))
          return c < 0;
      return false;
    });
    EXPECT_EQ(Projection(Hits(w), keys), Projection(expected, keys));
  }

  static std::string Panel(const TConcordanceForm& w) { return w.SortOrderWindow->text().toStdString(); }

  // Runs Advanced Sort with the dialog worked by `work`; OK unless it refuses.
  void AdvancedSort(TConcordanceForm& w, std::function<void(TAdvancedSortColModel&)> work)
  {
    dialog_ = [work](TAdvancedSortColModel& m) {
      work(m);
      return m.OKBtnClick().Close ? int(mrOk) : int(mrCancel);
    };
    w.CMS_AdvSort->trigger();
  }

  // How often a sort ran since the last call (the frame caption says so).
  int Sorts()
  {
    const int n = int(std::count(captions_->Calls.begin(), captions_->Calls.end(), "caption: Quillmar Pro - [Sorting]"));
    captions_->Calls.clear();
    return n;
  }

  std::string corpus_;
  std::function<int(TAdvancedSortColModel&)> dialog_;
  std::unique_ptr<testsupport::RecordingFrameSink> captions_;
};

TEST_F(ConcordanceSortTest, EveryMenuItemSortsByItsTwoKeys)
{
  TConcordanceForm& w = Window();
  // The keys of an item follow from its name: CMS_<first>_<second>.
  const std::map<std::string, uint8_t> keyOf = {{"2Left", ctx2L}, {"1Left", ctx1L}, {"SearchTerm", ctx0},
                                                {"Searchterm", ctx0}, {"1Right", ctx1R}, {"2Right", ctx2R},
                                                {"Only", ctxNone}};
  int items = 0;
  for (QAction* sub : w.CM_Sort->actions()) {
    if (!sub->menu())
      continue;
    const QList<QAction*> actions = sub->menu()->actions();
    ASSERT_EQ(actions.size(), 5);
    for (QAction* a : actions) {
      SCOPED_TRACE(a->objectName().toStdString());
      const QStringList parts = a->objectName().split(QLatin1Char('_'));
      ASSERT_EQ(parts.size(), 3);
      const uint8_t first = keyOf.at(parts[1].toStdString()), second = keyOf.at(parts[2].toStdString());
      a->trigger();
      std::vector<RefKey> keys{{first, false}};
      if (second != ctxNone)
        keys.push_back({second, false});
      ExpectSortedBy(w, keys);
      EXPECT_EQ(w.SortSpec().First, first);
      EXPECT_EQ(w.SortSpec().Second, second);
      ++items;
    }
  }
  EXPECT_EQ(items, 25);

  // The shortcut items sort as their submenu twins.
  w.CMS_Right_Left->trigger();
  EXPECT_EQ(Panel(w), "1st right, 1st left");
  ExpectSortedBy(w, {{ctx1R, false}, {ctx1L, false}});
  w.CMS_Left_Right->trigger();
  ExpectSortedBy(w, {{ctx1L, false}, {ctx1R, false}});
  w.CMS_TextOrder->trigger();
  for (int i = 0; i < w.Items().Count(); ++i)
    ASSERT_EQ(w.Items().GetItem(i)->HitNumber, i);
}

TEST_F(ConcordanceSortTest, SortsOnlyWhenTheOrderChanges)
{
  TConcordanceForm& w = Window();
  QAction* leftOnly = w.findChild<QAction*>(QStringLiteral("CMS_1Left_Only"));
  Sorts();
  leftOnly->trigger();
  leftOnly->trigger();
  EXPECT_EQ(Sorts(), 1);
  EXPECT_EQ(Panel(w), "1st left");

  // An advanced sort by 1L reversed, then the menu's 1L again: sorted twice.
  AdvancedSort(w, [](TAdvancedSortColModel& m) {
    m.SelectKey(0, 3), m.SelectKey(1, 12), m.SelectKey(2, 12), m.ReverseClick(0, true);
  });
  ExpectSortedBy(w, {{ctx1L, true}});
  EXPECT_EQ(Panel(w), "Advanced sort");
  leftOnly->trigger();
  EXPECT_EQ(Sorts(), 2);
  EXPECT_EQ(Panel(w), "1st left");

  // "Defined" sorts every time; Cancel and three unsorted keys never do.
  for (int i = 0; i < 2; ++i)
    AdvancedSort(w, [](TAdvancedSortColModel& m) { m.SelectKey(0, 9); });
  EXPECT_EQ(Sorts(), 2);
  dialog_ = [](TAdvancedSortColModel&) { return int(mrCancel); };
  w.CMS_AdvSort->trigger();
  AdvancedSort(w, [](TAdvancedSortColModel& m) { m.SelectKey(0, 12), m.SelectKey(1, 12), m.SelectKey(2, 12); });
  EXPECT_EQ(Sorts(), 0);

  // A customised list with the keys left unsorted still sorts, every time;
  // a menu sort with the leftover keys afterwards too.
  for (int i = 0; i < 2; ++i)
    AdvancedSort(w, [](TAdvancedSortColModel& m) { m.CustomCheckClick(true), m.CustomText = "2lr, 1r-2r, orig"; });
  ExpectSortedBy(w, {{ctx2L, true}, {ctx1R, false}, {ctx2R, false}, {ctxOrig, false}});
  EXPECT_EQ(Panel(w), "Advanced sort");
  w.CMS_TextOrder->trigger();
  EXPECT_EQ(Sorts(), 3);
  EXPECT_EQ(Panel(w), "Original text order");
}

TEST_F(ConcordanceSortTest, ShortcutsReachOnlyTheActiveWindow)
{
  TConcordanceForm& a = Window();
  TConcordanceForm& b = Window();
  for (TConcordanceForm* w : {&a, &b}) {
    Frame().ClientArea->setActiveSubWindow(w->subWindow());
    Frame().UpdateMenuState();
    QTest::keyClick(&Frame(), Qt::Key_F1, w == &a ? Qt::ControlModifier : Qt::ControlModifier | Qt::ShiftModifier);
  }
  EXPECT_EQ(Panel(a), "1st right, 1st left");
  EXPECT_EQ(Panel(b), "1st left, 1st right");
  EXPECT_EQ(Sorts(), 2);

  // Ctrl+D deletes the selected lines of the active window only.
  const int32_t count = a.Items().Count();
  a.ConcordWindow->SetItemIndex(0);
  b.ConcordWindow->SetItemIndex(0);
  QTest::keyClick(&Frame(), Qt::Key_D, Qt::ControlModifier);
  EXPECT_EQ(a.Items().Count(), count);
  EXPECT_EQ(b.Items().Count(), count - 1);
}

TEST_F(ConcordanceSortTest, WindowClosedWhileSortingWaits)
{
  TConcordanceForm& w = Window();
  testsupport::FakeBridge bridge;
  QPointer<TConcordanceForm> alive(&w);
  bridge.OnPump([&](int) {
    if (alive)
      delete alive->subWindow();
  });
  w.CMS_Right_Left->trigger();
  EXPECT_TRUE(alive.isNull());
  EXPECT_EQ(captions_->Calls.back(), "caption: Quillmar Pro");
  EXPECT_EQ(bridge.BusyCursorDepth(), 0);
}

}  // namespace
