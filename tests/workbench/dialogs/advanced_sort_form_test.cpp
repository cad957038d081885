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
  std::vector<std::string> Messages() const
  {
    std::vector<std::string> out;
    for (const auto& m : dialogs.Messages)
      out.push_back(m.Text);
    return out;
  }
  testsupport::FakeDialogs dialogs;
  TAdvancedSortColOptions record;
};

TEST_F(AdvancedSortFormTest, TwoModesOfOneForm)
{
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
  EXPECT_EQ(sort.FirstCombo->currentText(), QStringLiteral("Unsorted"));
  EXPECT_EQ(colloc.FirstCombo->currentText(), QStringLiteral("None"));
  EXPECT_EQ(colloc.SecondBox->title(), QStringLiteral("Second Position"));
  EXPECT_EQ(colloc.SpanCombo->count(), 4);
  EXPECT_FALSE(colloc.SpanCombo->isEnabled());
  EXPECT_TRUE(sort.CollocPanel->isHidden());
  EXPECT_TRUE(colloc.SortPanel->isHidden() && colloc.FirstReverse->isHidden());
  EXPECT_LT(colloc.height(), sort.height());
  EXPECT_EQ(sort.Grid->rowCount(), 1);
  EXPECT_EQ(sort.Grid->item(0, 1)->text(), QStringLiteral("<sp "));

  // Ticking Span unticks Customised; either one disables the three boxes.
  colloc.CustomCheck->click();
  EXPECT_TRUE(colloc.CustomEdit->isEnabled());
  EXPECT_FALSE(colloc.FirstBox->isEnabled());
  colloc.SpanCheck->click();
  EXPECT_FALSE(colloc.CustomCheck->isChecked() || colloc.CustomEdit->isEnabled());
  EXPECT_TRUE(colloc.SpanCombo->isEnabled());
  EXPECT_FALSE(colloc.FirstBox->isEnabled());
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
  EXPECT_EQ(Messages(), std::vector<std::string>{"Unknown item in Customised Sort."});
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(form.CustomEdit->cursorPosition(), 7);

  // Text the code page cannot hold is refused before any check.
  form.CustomEdit->setText(QStringLiteral("1l,\u4e2d"));
  QTest::mouseClick(form.OKButton, Qt::LeftButton);
  EXPECT_EQ(Messages().back(),
            "The text contains characters that the current language cannot represent: U+4E2D.");

  // The tracked tag: chosen in the grid, kept on OK.
  form.CustomEdit->setText(QStringLiteral("1l"));
  form.CustomCheck->click();
  form.FirstCombo->setCurrentIndex(10);
  emit form.FirstCombo->activated(10);
  EXPECT_FALSE(form.FirstReverse->isEnabled());
  QTest::mouseClick(form.OKButton, Qt::LeftButton);
  EXPECT_EQ(Messages().back(), "Please select a tracked tag.");
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
