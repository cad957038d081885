#include "workbench/output/output_config_dlg.h"

#include "workbench/dialogs/edit_helpers.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QCheckBox>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <functional>

namespace {

// Works the dialog through a function instead of exec() for one test.
class Runner {
public:
  explicit Runner(std::function<void(TOutputConfigDlg&)> work)
  {
    old_ = SetOutputConfigRunner([work](TOutputConfigDlg& dlg) {
      work(dlg);
      return dlg.result();
    });
  }
  ~Runner() { SetOutputConfigRunner(std::move(old_)); }

private:
  TOutputConfigRunner old_;
};

void typeLimit(TOutputConfigDlg& dlg, const char* text)
{
  dlg.MaxLinesEdit->clear();
  QTest::keyClicks(dlg.MaxLinesEdit, QString::fromLatin1(text));
}

}  // namespace

TEST(OutputConfigDlg, FullSetPresetsOnlyThreeBoxesAndReturnsEveryChoice)
{
  TOutputOptions o;
  o.MaxLines = 500;
  o.ShowFile = true;
  o.ConcealHits = true;
  o.SortLabels = o.SaveAsHTML = o.TrackedTags = o.LineNumbers = true;  // not read on entry
  Runner runner([](TOutputConfigDlg& dlg) {
    EXPECT_EQ(dlg.MaxLinesEdit->text(), "0");
    EXPECT_TRUE(dlg.ShowFileBox->isChecked());
    EXPECT_TRUE(dlg.ConcealHits->isChecked());
    EXPECT_FALSE(dlg.ConcealCollocates->isChecked());
    for (QCheckBox* box : {dlg.SortLabelsCB, dlg.AsHTMLCB, dlg.TagsCB, dlg.LinesCB, dlg.PagesCB, dlg.RelLinesCB})
      EXPECT_FALSE(box->isChecked()) << box->objectName().toStdString();
    EXPECT_TRUE(dlg.AsHTMLCB->isEnabled());
    EXPECT_FALSE(dlg.RelLinesCB->isEnabled());
    typeLimit(dlg, "99999");
    dlg.ShowFileBox->click();
    dlg.ConcealCollocates->click();
    dlg.AsHTMLCB->click();
    dlg.PagesCB->click();
    dlg.RelLinesCB->click();
    dlg.OKBtn->click();
    EXPECT_EQ(dlg.MaxLinesEdit->text(), "32000");  // clamped and written back
  });
  ASSERT_TRUE(EditOutputOptions(okSave, o));
  EXPECT_EQ(o.MaxLines, 32000);
  EXPECT_FALSE(o.ShowFile);
  EXPECT_TRUE(o.ConcealHits);
  EXPECT_TRUE(o.ConcealCollocates);
  EXPECT_TRUE(o.SaveAsHTML);
  EXPECT_TRUE(o.PageNumbers);
  EXPECT_TRUE(o.RelativeLines);
  EXPECT_FALSE(o.SortLabels);
  EXPECT_FALSE(o.TrackedTags);
  EXPECT_FALSE(o.LineNumbers);
}

TEST(OutputConfigDlg, RelativeLinesFollowPageNumbers)
{
  TOutputOptions o;
  Runner runner([](TOutputConfigDlg& dlg) {
    dlg.PagesCB->click();
    EXPECT_TRUE(dlg.RelLinesCB->isEnabled());
    dlg.RelLinesCB->click();
    dlg.PagesCB->click();  // cleared again: the ticked box is disabled
    EXPECT_FALSE(dlg.RelLinesCB->isEnabled());
    EXPECT_TRUE(dlg.RelLinesCB->isChecked());
    dlg.OKBtn->click();
  });
  ASSERT_TRUE(EditOutputOptions(okSave, o));
  EXPECT_FALSE(o.RelativeLines);
  EXPECT_FALSE(o.PageNumbers);
}

TEST(OutputConfigDlg, PrintingOffersNoHtmlAndCancelChangesNothing)
{
  TOutputOptions o;
  o.MaxLines = 7;
  o.SaveAsHTML = true;
  Runner runner([](TOutputConfigDlg& dlg) {
    EXPECT_EQ(dlg.Prompt->text(), "Enter maximum number of &lines to print:");
    EXPECT_FALSE(dlg.AsHTMLCB->isChecked());
    EXPECT_FALSE(dlg.AsHTMLCB->isEnabled());
    dlg.LinesCB->click();
    typeLimit(dlg, "40");
    dlg.CancelBtn->click();
  });
  const TOutputOptions before = o;
  EXPECT_FALSE(EditOutputOptions(okPrint, o));
  EXPECT_EQ(o.MaxLines, before.MaxLines);
  EXPECT_TRUE(o.SaveAsHTML);
  EXPECT_FALSE(o.LineNumbers);
}

TEST(OutputConfigDlg, BatchUseHasNoLineLimit)
{
  TOutputOptions o;
  o.MaxLines = -1;
  o.ConcealCollocates = true;
  Runner runner([](TOutputConfigDlg& dlg) {
    for (QWidget* w : {static_cast<QWidget*>(dlg.Prompt), static_cast<QWidget*>(dlg.MaxLinesEdit),
                       static_cast<QWidget*>(dlg.NoLimitLabel), static_cast<QWidget*>(dlg.SortLabelsCB),
                       static_cast<QWidget*>(dlg.ConcealCollocates)})
      EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_TRUE(dlg.ConcealCollocates->isChecked());
    EXPECT_TRUE(dlg.TagsCB->isEnabled());
    dlg.OKBtn->click();
  });
  ASSERT_TRUE(EditOutputOptions(okSave, o));
  EXPECT_EQ(o.MaxLines, 0);
  EXPECT_TRUE(o.ConcealCollocates);
}

TEST(OutputConfigDlg, NumberFieldTakesDigitsAndStepsByFifteen)
{
  TOutputConfigDlg dlg;
  dlg.SetUpOutputOptions(okSave, 0, false, false, false);
  typeLimit(dlg, "1a2-3 x");
  EXPECT_EQ(dlg.MaxLinesEdit->text(), "123");
  QTest::keyClick(dlg.MaxLinesEdit, Qt::Key_Backspace);
  EXPECT_EQ(dlg.MaxLinesEdit->text(), "12");
  typeLimit(dlg, "123456789");
  EXPECT_EQ(dlg.MaxLinesEdit->text(), "1234567");  // at most 7 characters

  auto* up = dlg.MaxLinesUpDown->findChild<QToolButton*>(QStringLiteral("Up"));
  auto* down = dlg.MaxLinesUpDown->findChild<QToolButton*>(QStringLiteral("Down"));
  ASSERT_TRUE(up && down);
  typeLimit(dlg, "0");
  up->click();
  up->click();
  EXPECT_EQ(dlg.MaxLinesEdit->text(), "30");
  down->click();
  EXPECT_EQ(dlg.MaxLinesEdit->text(), "15");
  typeLimit(dlg, "31990");
  up->click();
  EXPECT_EQ(dlg.MaxLinesEdit->text(), "32000");
  dlg.OKBtnClick();
  EXPECT_EQ(dlg.MaxLinesResult(), 32000);
}

TEST(OutputConfigDlg, ReducedSetUpsHideTheExtrasAndShrink)
{
  TOutputConfigDlg full;
  full.SetUpOutputOptions(okSave, 0, false, false, false);
  full.adjustSize();
  const int fullHeight = full.height();

  int32_t maxLines = 99;
  Runner limitOnly([fullHeight](TOutputConfigDlg& dlg) {
    EXPECT_EQ(dlg.Prompt->text(), "Enter maximum number of &lines to print:");
    for (QWidget* w : {dlg.ShowFileBox, dlg.ConcealHits, dlg.ConcealCollocates, dlg.LinesCB, dlg.PagesCB,
                       dlg.RelLinesCB, dlg.TagsCB, dlg.SortLabelsCB, dlg.AsHTMLCB})
      EXPECT_TRUE(w->isHidden()) << w->objectName().toStdString();
    EXPECT_LT(dlg.height(), fullHeight);
    typeLimit(dlg, "250");
    dlg.OKBtn->click();
  });
  ASSERT_TRUE(EditMaxOutputLines(okPrint, maxLines));
  EXPECT_EQ(maxLines, 250);
}

TEST(OutputConfigDlg, WordListSetUpReusesTheFileBoxForFrequencies)
{
  int32_t maxLines = 5;
  bool frequencies = true;
  Runner runner([](TOutputConfigDlg& dlg) {
    EXPECT_EQ(dlg.ShowFileBox->text(), "Include &frequencies with words");
    EXPECT_FALSE(dlg.ShowFileBox->isHidden());
    EXPECT_TRUE(dlg.ShowFileBox->isChecked());
    for (QWidget* w : {dlg.ConcealHits, dlg.ConcealCollocates, dlg.LinesCB, dlg.PagesCB, dlg.RelLinesCB,
                       dlg.TagsCB, dlg.SortLabelsCB, dlg.AsHTMLCB})
      EXPECT_TRUE(w->isHidden()) << w->objectName().toStdString();
    dlg.ShowFileBox->click();
    typeLimit(dlg, "abc");  // nothing typed: the limit stays 0
    dlg.OKBtn->click();
  });
  ASSERT_TRUE(EditWordListOutputOptions(okSave, maxLines, frequencies));
  EXPECT_EQ(maxLines, 0);
  EXPECT_FALSE(frequencies);
}
