// Dialogs are at least as wide as their captions: resizable ones, ones of
// a fixed size and ones their layout keeps at the size of their content.
#include "workbench/frame/window_look.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

TEST(WindowLookTest, EveryDialogIsAsWideAsItsCaption)
{
  const std::vector<std::function<void(QDialog&)>> sizings = {
      [](QDialog& d) { d.resize(40, 40); },
      [](QDialog& d) { d.setFixedSize(40, 40); },
      [](QDialog& d) {
        auto* layout = new QVBoxLayout(&d);
        layout->addWidget(new QLabel(QStringLiteral("OK?"), &d));
        layout->setSizeConstraint(QLayout::SetFixedSize);
      },
  };
  TWindowLook look;
  for (size_t i = 0; i < sizings.size(); ++i) {
    SCOPED_TRACE(i);
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("Part of Speech Tags Settings, a caption longer than the content"));
    sizings[i](dialog);
    dialog.installEventFilter(&look);
    dialog.show();
    QApplication::processEvents();
    EXPECT_GE(dialog.width(), CaptionWidth(&dialog));
  }
}
