// Text the current code page cannot hold, typed into the heading editor's
// markers, is refused with the message naming it; the editor stays open.
#include "forms/headings.h"
#include "foundation/dialogs.h"
#include "foundation/settings.h"
#include "support/fake_bridge.h"
#include "workbench/dialogs/headings_dlg.h"

#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

TEST(CodePageRefusal, HeadingMarkersTheCodePageCannotHoldAreRefused)
{
  InitProgramState();
  testsupport::FakeDialogs dialogs;
  THeadingEdit model(true, -1, {});
  THeadingEditDlg dialog(model);
  dialog.show();
  dialog.HeadNameEdit->setText(QStringLiteral("Chapter"));
  dialog.HeadStartEdit->setText(QString::fromUtf8("\xD0\x93\xD0\xBB"));  // Cyrillic
  dialog.HeadStopEdit->setText(QStringLiteral("</h>"));
  dialog.TextStartEdit->setText(QStringLiteral("<p>"));
  dialog.TextStopEdit->setText(QStringLiteral("</p>"));
  dialog.OKBtn->click();
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(dialog.result(), 0);
  ASSERT_EQ(dialogs.Messages.size(), 1u);
  EXPECT_EQ(dialogs.Messages[0].Text,
            "The text contains characters that the current language cannot represent: U+0413 U+043B.");
  dialog.HeadStartEdit->setText(QStringLiteral("<h>"));
  dialog.OKBtn->click();
  EXPECT_EQ(dialog.result(), int(QDialog::Accepted));
  EXPECT_EQ(model.HeadStartEdit, "<h>");
}
