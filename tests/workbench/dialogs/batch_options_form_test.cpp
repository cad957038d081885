#include "workbench/dialogs/batch_options_form.h"

#include "foundation/dialogs.h"
#include "foundation/settings.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

TEST(BatchOptionsForm, BoxesFollowTheRuleAndOnlyOkApplies)
{
  ConcordSettings.BatchSuppress = {false, false, false};
  BatchSearchCfgForm().LoadWorkingCopy();
  TBatchSearchCfgDlg form;
  EXPECT_EQ(BatchSearchCfgDlg, &form);
  auto run = [&](std::function<void()> steps) {
    QTimer::singleShot(0, &form, steps);
    return form.ShowModal();
  };
  EXPECT_EQ(run([&] {
              EXPECT_EQ(form.focusWidget(), form.FormatGroup);
              form.TagsCheck->click();
              form.PartOfSpeechCheck->click();
              EXPECT_FALSE(form.WordsCheck->isEnabled());
              form.CancelBtn->click();
            }),
            mrCancel);
  EXPECT_EQ(ConcordSettings.BatchSuppress, (std::array<bool, 3>{false, false, false}));
  EXPECT_EQ(run([&] {
              EXPECT_TRUE(form.PartOfSpeechCheck->isChecked());
              form.TagsCheck->click();
              EXPECT_TRUE(form.WordsCheck->isEnabled());
              form.OKBtn->click();
            }),
            mrOk);
  EXPECT_EQ(ConcordSettings.BatchSuppress, (std::array<bool, 3>{false, true, false}));
  ConcordSettings.BatchSuppress = {};
}

}  // namespace
