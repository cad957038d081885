// Advanced Collocation from the menu on a real concordance: span and list
// modes, the window's rows against the core count, the busy flag, cancel,
// and the window closing with its concordance.
#include "workbench/frame/frame_test_support.h"

#include "forms/advanced_sort.h"
#include "foundation/hash_strings.h"
#include "search/advanced_collocation.h"
#include "search/concord_items.h"
#include "workbench/dialogs/search_template_dlg.h"
#include "workbench/frame/frame_commands.h"
#include "workbench/windows/concordance_form.h"
#include "workbench/windows/word_list_form.h"

#include <QMdiArea>
#include <QMdiSubWindow>

namespace {

class TypedSearch : public TSearchDialogView {
public:
  int ShowModal() override
  {
    TSearchTemplateModel& m = SearchTemplateDlg->Model();
    m.SearchString.Text = "cat";
    return m.OKBtnClick().Close ? mrOk : mrCancel;
  }
};

class ScriptedView : public TAdvancedSortColView {
public:
  explicit ScriptedView(std::function<int()> run) : run_(std::move(run)) {}
  int ShowModal() override { return run_(); }
  void Beep() override {}

private:
  std::function<int()> run_;
};

class AdvCollocTest : public frametest::FrameTest {
protected:
  AdvCollocTest()
  {
    std::string text;
    const char* words[] = {"cat", "the", "dog", "sat", "on", "mat"};
    for (int i = 0; i < 3000; ++i)
      text += std::string(i % 10 ? " " : "\r\n") + words[(i * 7 + i / 5) % 6];
    Start({folder_.write("one.txt", text)});
    SearchTemplateDlg->Model().SetView(&search_);
    FrequencySettings.MinimumFrequency = 1;
    old_ = SetAdvancedSortViewMaker([this](TAdvancedSortColModel& m) {
      return std::make_unique<ScriptedView>([this, &m] { return script_(m) && m.OKBtnClick().Close ? mrOk : mrCancel; });
    });
    InstallFrameCommands(Frame())->GenerateConcordance(false);
    concordance_ = dynamic_cast<TConcordanceForm*>(Frame().ActiveChild());
  }
  ~AdvCollocTest() override { SetAdvancedSortViewMaker(std::move(old_)); }

  TWordListForm* Run(std::function<bool(TAdvancedSortColModel&)> script)
  {
    script_ = std::move(script);
    Frame().ClientArea->setActiveSubWindow(concordance_->subWindow());
    Frame().UpdateMenuState();
    EXPECT_TRUE(Item("FMQ_AdvColloc")->isEnabled());
    Item("FMQ_AdvColloc")->trigger();
    return dynamic_cast<TWordListForm*>(Frame().ActiveChild());
  }

  testsupport::FakeBridge bridge_;
  TypedSearch search_;
  TConcordanceForm* concordance_ = nullptr;
  std::function<bool(TAdvancedSortColModel&)> script_;
  TAdvancedSortViewMaker old_;
};

TEST_F(AdvCollocTest, CountsIntoAWindowThatClosesWithItsConcordance)
{
  ASSERT_TRUE(concordance_);
  ASSERT_GT(concordance_->Items().Count(), 256);
  bool busy = false;
  bridge_.OnPump([&](int) { busy = busy || BusyCounting; });
  TWordListForm* span = Run([](TAdvancedSortColModel& m) {
    m.SpanCheckClick(true);
    m.SelectSpan(1);
    return true;
  });
  ASSERT_TRUE(span);
  EXPECT_TRUE(busy);
  EXPECT_FALSE(IsBusy());
  EXPECT_EQ(span->windowTitle(), QStringLiteral("Advanced Collocation - Span 3"));
  EXPECT_EQ(span->Total(), concordance_->Items().Count());
  TAdvancedSortColOptions record;
  record.SpanCollocation = true;
  record.SpanNumber = 3;
  const auto table = CountAdvancedCollocation(concordance_->Items(), {}, record);
  ASSERT_EQ(span->Rows().Count(), table->Count());
  for (int32_t i = 0; i < table->Count(); ++i)
    EXPECT_EQ(span->Rows().CellText(i, 2), table->Strings(i));

  TWordListForm* list = Run([](TAdvancedSortColModel& m) {
    m.CustomCheckClick(true);
    m.CustomText = "1l,1r";
    return true;
  });
  ASSERT_TRUE(list && list != span);
  EXPECT_EQ(list->windowTitle(), QStringLiteral("Advanced Collocation - 1L, 1R"));

  // Cancel at the second pump: no window, the flag cleared.
  const auto windows = Frame().ClientArea->subWindowList().size();
  bridge_.PressCancelAt(bridge_.Pumps() + 2);
  Run([](TAdvancedSortColModel&) { return true; });
  EXPECT_EQ(Frame().ClientArea->subWindowList().size(), windows);
  EXPECT_FALSE(IsBusy());

  QPointer<TWordListForm> watched = list;
  concordance_->subWindow()->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(watched.isNull());
}

}  // namespace
