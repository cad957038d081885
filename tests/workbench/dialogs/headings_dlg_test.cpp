#include "workbench/dialogs/headings_dlg.h"
#include "workbench/dialogs/modal_steps.h"

#include "foundation/dialogs.h"
#include "foundation/program_state.h"
#include "foundation/settings.h"
#include "support/fake_bridge.h"

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

using testsupport::WhenModal;

namespace {

using Strings = std::vector<std::string>;

// Types a heading into the editor that is up and presses OK.
void TypeHeading(QWidget* editor, const Strings& texts)
{
  const char* names[] = {"HeadNameEdit", "HeadStartEdit", "HeadStopEdit", "TextStartEdit", "TextStopEdit"};
  auto* ok = editor->findChild<QPushButton*>(QStringLiteral("OKBtn"));
  EXPECT_EQ(editor->windowTitle(), texts.size() == 5 ? QStringLiteral("New heading") : QStringLiteral("Edit heading"));
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_TRUE(ok->isEnabled() == (texts.size() != 5)) << i;  // a new heading starts without OK
    auto* edit = editor->findChild<QLineEdit*>(QString::fromLatin1(names[i]));
    ASSERT_NE(edit, nullptr);
    if (i > 0)
      EXPECT_EQ(edit->maxLength(), 255);
    if (i < texts.size()) {
      edit->clear();
      QTest::keyClicks(edit, QString::fromStdString(texts[i]));
    }
  }
  EXPECT_TRUE(ok->isEnabled());
  QTest::mouseClick(ok, Qt::LeftButton);
}

class HeadingsDlgTest : public ::testing::Test {
protected:
  HeadingsDlgTest()
  {
    InitProgramState();
    headings_ = std::make_unique<THeadingsDlg>();
  }
  // Shows the headings dialog with `step` working in it.
  void InHeadings(std::function<void(THeadingsDlg&)> step)
  {
    WhenModal([this, step](QWidget*) { step(*headings_); });
    headings_->ShowModal();
  }
  void Key(QEvent::Type type, int key)
  {
    QKeyEvent event(type, key, Qt::NoModifier);
    QApplication::sendEvent(headings_->HeadingsList, &event);
  }

  testsupport::FakeDialogs dialogs_;
  std::unique_ptr<THeadingsDlg> headings_;
};

TEST_F(HeadingsDlgTest, KeysAndButtonsOfTheHeadingList)
{
  InHeadings([this](THeadingsDlg& d) {
    EXPECT_TRUE(d.focusWidget() == d.HeadingsList);
    EXPECT_FALSE(d.EditBtn->isEnabled() || d.RemoveBtn->isEnabled());
    // Insert acts when released.
    Key(QEvent::KeyPress, Qt::Key_Insert);
    EXPECT_TRUE(QApplication::activeModalWidget() == &d);
    WhenModal([](QWidget* e) { TypeHeading(e, {"Chapter", "<h>", "</h>", "<t>", "</t>"}); });
    Key(QEvent::KeyRelease, Qt::Key_Insert);
    WhenModal([](QWidget* e) { TypeHeading(e, {"Verse", "[v", "]", "{", "}"}); });
    QTest::mouseClick(d.AddBtn, Qt::LeftButton);
    EXPECT_EQ(d.HeadingsList->count(), 2);
    EXPECT_TRUE(d.EditBtn->isEnabled() && d.RemoveBtn->isEnabled());
    // Enter edits the selection, which moves to the end.
    d.HeadingsList->setCurrentRow(0);
    WhenModal([](QWidget* e) { TypeHeading(e, {"Part"}); });
    Key(QEvent::KeyPress, Qt::Key_Return);
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(d.HeadingsList->item(1)->text(), QStringLiteral("Part"));
    // Delete asks when released.
    d.HeadingsList->setCurrentRow(0);
    dialogs_.Answers = {mrYes};
    Key(QEvent::KeyRelease, Qt::Key_Delete);
    EXPECT_EQ(d.HeadingsList->count(), 1);
  });
  EXPECT_EQ(dialogs_.Messages.size(), 1u);
  EXPECT_EQ(dialogs_.Messages[0].Text, "Remove \"Verse\"?");
  std::string a, b, c, d;
  ASSERT_TRUE(GetHeading("part", a, b, c, d));
  EXPECT_EQ(Strings({a, b, c, d}), (Strings{"<h>", "</h>", "<t>", "</t>"}));
}

}  // namespace
