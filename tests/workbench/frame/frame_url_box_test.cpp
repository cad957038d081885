#include "workbench/frame/frame_test_support.h"

#include "workbench/dialogs/url_info_box.h"

#include <QFrame>
#include <QImage>
#include <QPainter>

using frametest::FrameTest;

namespace {

const QColor Navy(0, 0, 0x80);
const QColor Maroon(0x80, 0, 0);
const QColor Yellow(0xFF, 0xFF, 0);

// Paints a box of the given size into an image filled white first.
QImage Render(int32_t total, int32_t loaded, int width = 16, int height = 13)
{
  TURLInfoBox box;
  box.resize(width, height);
  box.TotalSize = total;
  box.LoadedSize = loaded;
  QImage image(width, height, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  box.Paint(painter);
  return image;
}

int CountColour(const QImage& image, const QColor& colour)
{
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      n += image.pixelColor(x, y) == colour;
  return n;
}

}  // namespace

TEST(URLInfoBoxTest, BarHeightRoundsHalvesToEvenAndStaysInsideTheBox)
{
  EXPECT_EQ(URLBoxBarHeight(0, 100, 13), 0);
  EXPECT_EQ(URLBoxBarHeight(1, 8, 4), 0);   // 0.5
  EXPECT_EQ(URLBoxBarHeight(3, 8, 4), 2);   // 1.5
  EXPECT_EQ(URLBoxBarHeight(5, 8, 4), 2);   // 2.5
  EXPECT_EQ(URLBoxBarHeight(100, 100, 13), 13);
  EXPECT_EQ(URLBoxBarHeight(500, 100, 13), 13);
  EXPECT_EQ(URLBoxBarHeight(5, 0, 13), 13);   // zero size: complete
  EXPECT_EQ(URLBoxBarHeight(0, -1, 13), 13);
}

TEST(URLInfoBoxTest, HintNamesTheUrlAndTheProgress)
{
  EXPECT_EQ(URLBoxHint("http://a.org/x", URLSizeNotGiven, 1536), "http://a.org/x (1.50 kbytes of unknown)");
  EXPECT_EQ(URLBoxHint("http://a.org/x", 2048, 512), "http://a.org/x (25.00% of 2.00 kbytes)");
  EXPECT_EQ(URLBoxHint("ftp://b/y", 3, 1), "ftp://b/y (33.33% of 3 bytes)");
  EXPECT_EQ(URLBoxHint("ftp://b/y", 0, 0), "ftp://b/y (100.00% of 0 bytes)");
}

TEST(URLInfoBoxTest, BoxesShareThePanelWidth)
{
  const auto nine = URLBoxPlaces(9, 156, 19);
  ASSERT_EQ(nine.size(), 9u);
  EXPECT_EQ(nine[0], QRect(2, 2, 16, 13));
  EXPECT_EQ(nine[8], QRect(2 + 8 * 16, 2, 16, 13));
  const auto twelve = URLBoxPlaces(12, 156, 19);
  EXPECT_EQ(twelve[1], QRect(14, 2, 12, 13));
  EXPECT_EQ(twelve[11].right(), 2 + 12 * 12 - 1);
  EXPECT_TRUE(URLBoxPlaces(0, 156, 19).empty());
}

TEST(URLInfoBoxTest, UnknownSizeShowsAQuestionMark)
{
  const QImage image = Render(URLSizeNotGiven, 1000, 40, 30);
  EXPECT_GT(CountColour(image, Yellow), 0);
  EXPECT_GT(CountColour(image, Navy), 0);
  EXPECT_EQ(CountColour(image, Maroon), 0);
}

TEST_F(FrameTest, URLBoxesLiveFromStartToDone)
{
  TFrameForm& frame = Start();
  frame.URLStartMessage("http://a.org/1", 1000);
  frame.URLStartMessage("http://a.org/2", URLSizeNotGiven);
  EXPECT_TRUE(frame.URLStatusPanel->isVisible());
  ASSERT_EQ(frame.URLBoxes.size(), 2u);
  EXPECT_EQ(frame.URLBoxes[1]->geometry(), QRect(18, 2, 16, frame.URLStatusPanel->height() - 6));
  EXPECT_EQ(frame.URLBoxes[0]->toolTip(), QStringLiteral("http://a.org/1 (0.00% of 1000 bytes)"));

  frame.URLProgressMessage("http://a.org/1", 250);
  EXPECT_EQ(frame.URLBoxes[0]->LoadedSize, 250);
  EXPECT_EQ(frame.URLBoxes[0]->toolTip(), QStringLiteral("http://a.org/1 (25.00% of 1000 bytes)"));
  frame.URLProgressMessage("HTTP://a.org/1", 999);  // no such box: ignored
  frame.URLProgressMessage("http://other/", 5);
  EXPECT_EQ(frame.URLBoxes[0]->LoadedSize, 250);
  EXPECT_EQ(frame.FindURLBox("http://A.org/1"), nullptr);

  frame.URLDoneMessage("http://a.org/1");
  ASSERT_EQ(frame.URLBoxes.size(), 1u);
  EXPECT_EQ(frame.URLBoxes[0]->geometry().left(), 2);  // laid out again
  frame.URLDoneMessage("http://a.org/1");              // already gone
  frame.URLDoneMessage("http://a.org/2");
  EXPECT_TRUE(frame.URLBoxes.empty());
  EXPECT_FALSE(frame.URLStatusPanel->isVisible());
}
