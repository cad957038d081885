#include "workbench/frame_form.h"

#include <QApplication>
#include <gtest/gtest.h>

TEST(FrameFormTest, OpensAndClosesWithItsCaption)
{
  auto* frame = new TFrameForm;
  frame->show();
  QApplication::processEvents();
  EXPECT_EQ(frame->windowTitle(), QStringLiteral("Quillmar Pro"));
  EXPECT_TRUE(frame->isVisible());
  EXPECT_TRUE(frame->close());
  delete frame;
}
