// The advanced sort form in both modes, worked through its widgets.
#include "workbench/dialogs/advanced_sort_form.h"

#include "foundation/settings.h"
#include "foundation/tag_scan.h"
#include "support/fake_bridge.h"
#include "workbench/dialogs/edit_helpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <utility>

namespace {

class AdvancedSortFormTest : public testing::Test {
protected:
  void SetUp() override
  {
    InitProgramState();
    WatchedTags = {TWatchedTag::Make("speaker", "<sp ", ">")};
    ResetSortSpec(record);
  }
  void TearDown() override { WatchedTags.clear(); }
  testsupport::FakeDialogs dialogs;
  TAdvancedSortColOptions record;
};

TEST_F(AdvancedSortFormTest, TwoModesOfOneForm)
{
  record.First = ctx1L, record.FirstReverse = true, record.Second = ctxOrig, record.TagName = "speaker";
  record.Custom = record.SpanCollocation = true;  // a span wins over a list
  TAdvancedSortColModel sortModel(false, record, nullptr);
  TAdvancedSortColForm sort(sortModel);
  TAdvancedSortColModel collocModel(true, record, nullptr);
  TAdvancedSortColForm colloc(collocModel);
  for (const char* name : {"FirstBox", "SecondCombo", "ThirdReverse", "CustomCheck", "CustomEdit", "SpanCheck",
                           "SpanCombo", "ShowFirstEdit", "Grid", "OKButton", "CancelButton"})
    EXPECT_NE(sort.findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
  EXPECT_EQ(sort.windowTitle(), QStringLiteral("Advanced Sort"));
  EXPECT_EQ(colloc.windowTitle(), QStringLiteral("Advanced Collocation"));
  EXPECT_EQ(sort.FirstCombo->count(), 13);
  EXPECT_EQ(colloc.FirstCombo->count(), 10);
  EXPECT_EQ(sort.SecondCombo->currentText(), QStringLiteral("Original order"));
  EXPECT_EQ(colloc.SecondCombo->currentIndex(), -1);  // not a collocation key
  EXPECT_EQ(sort.ThirdCombo->currentText(), QStringLiteral("Unsorted"));
  EXPECT_EQ(colloc.ThirdCombo->currentText(), QStringLiteral("None"));
  EXPECT_TRUE(sort.FirstReverse->isChecked() && sort.FirstReverse->isEnabledTo(sort.FirstBox));
  EXPECT_FALSE(sort.SecondReverse->isEnabledTo(sort.SecondBox));
  EXPECT_TRUE(sort.CustomCheck->isChecked() && !sort.FirstBox->isEnabled());
  EXPECT_EQ(sort.Grid->currentRow(), 0);
  EXPECT_TRUE(sort.CollocPanel->isHidden());
  EXPECT_TRUE(colloc.SortPanel->isHidden() && colloc.FirstReverse->isHidden());
  EXPECT_LT(colloc.height(), sort.height());
  EXPECT_TRUE(colloc.SpanCheck->isChecked() && colloc.SpanCombo->isEnabled());
  EXPECT_FALSE(colloc.CustomCheck->isChecked() || colloc.CustomEdit->isEnabled());
  EXPECT_EQ(colloc.SpanCombo->currentText(), QStringLiteral("2"));

  // Ticking Customised unticks Span; the boxes stay disabled.
  colloc.CustomCheck->click();
  EXPECT_TRUE(colloc.CustomEdit->isEnabled());
  EXPECT_FALSE(colloc.SpanCheck->isChecked() || colloc.SpanCombo->isEnabled());
  EXPECT_FALSE(colloc.FirstBox->isEnabled());
  colloc.CustomCheck->click();
  EXPECT_TRUE(colloc.FirstBox->isEnabled());
}

TEST_F(AdvancedSortFormTest, RefusalsKeepTheFormOpen)
{
  std::vector<TAdvancedSortColItem> list;
  TAdvancedSortColModel model(false, record, &list);
  TAdvancedSortColForm form(model);
  form.show();
  form.CustomCheck->click();
  QTest::keyClicks(form.CustomEdit, QStringLiteral("0, 1l, xy"));
  QTest::mouseClick(form.OKButton, Qt::LeftButton);
  EXPECT_EQ(dialogs.Texts(), std::vector<std::string>{"Unknown item in Customised Sort."});
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(form.CustomEdit->cursorPosition(), 7);

  // Text the code page cannot hold is refused before any check.
  form.CustomEdit->setText(QStringLiteral("1l,\u4e2d"));
  QTest::mouseClick(form.OKButton, Qt::LeftButton);
  EXPECT_EQ(dialogs.Texts().back(),
            "The text contains characters that the current language cannot represent: U+4E2D.");

  // The tracked tag: chosen in the grid, kept on OK.
  form.CustomEdit->setText(QStringLiteral("1l"));
  form.CustomCheck->click();
  form.FirstCombo->setCurrentIndex(10);
  emit form.FirstCombo->activated(10);
  EXPECT_FALSE(form.FirstReverse->isEnabled());
  QTest::mouseClick(form.OKButton, Qt::LeftButton);
  EXPECT_EQ(dialogs.Texts().back(), "Please select a tracked tag.");
  form.Grid->selectRow(0);
  QTest::mouseClick(form.OKButton, Qt::LeftButton);
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(form.result(), QDialog::Accepted);
  EXPECT_EQ(model.Record.TagName, "speaker");
  EXPECT_EQ(model.Record.First, ctxTrackedTag);
}

TEST_F(AdvancedSortFormTest, ExecuteShowsTheInstalledForm)
{
  InstallAdvancedSortForm();
  record.SpanNumber = 4;
  std::vector<TAdvancedSortColItem> list;
  QTimer::singleShot(0, [] {
    auto* form = qobject_cast<TAdvancedSortColForm*>(QApplication::activeModalWidget());
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->SpanCombo->currentText(), QStringLiteral("4"));
    form->ShowFirstEdit->setText(QStringLiteral("1234"));
    for (auto [combo, index] : {std::pair{form->FirstCombo, 3}, std::pair{form->SecondCombo, 5}}) {
      combo->setCurrentIndex(index);
      emit combo->activated(index);
    }
    QTest::mouseClick(form->OKButton, Qt::LeftButton);
  });
  ASSERT_TRUE(ExecuteAdvancedSortDialog(true, record, list));
  EXPECT_EQ(record.ShowFirst, 1000);
  EXPECT_EQ(record.Second, ctx1R);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[1].Key, ctx1R);
  SetAdvancedSortViewMaker({});
}

}  // namespace
