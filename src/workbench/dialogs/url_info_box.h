// The small progress box the frame shows in its status bar for each URL
// being downloaded: a bar growing from the bottom, or a "?" while the size
// is not known, with the URL and the progress as its hint.
#pragma once

#include <QRect>
#include <QWidget>

#include <cstdint>
#include <string>
#include <vector>

class QPainter;

// TotalSize of a download whose size is not given (the largest int32).
inline constexpr int32_t URLSizeNotGiven = 2147483647;

class TURLInfoBox : public QWidget
{
  Q_OBJECT
public:
  explicit TURLInfoBox(QWidget* parent = nullptr);

  std::string URL;
  int32_t TotalSize = URLSizeNotGiven;
  int32_t LoadedSize = 0;

  // Draws the box at its current size.
  void Paint(QPainter& painter) const;

protected:
  void paintEvent(QPaintEvent* event) override;
};

// Height of the bar of a box H pixels high: LoadedSize / TotalSize * H to the
// nearest integer (halves to even), between 0 and H; a full bar when the
// total is 0 or less.
int URLBoxBarHeight(int32_t loadedSize, int32_t totalSize, int height);

// "%s (%s of unknown)" without a size, else "%s (%.2f%% of %s)"; a total of
// 0 or less counts as complete.
std::string URLBoxHint(const std::string& url, int32_t totalSize, int32_t loadedSize);

// Places of n boxes in a panel: each 16 pixels wide while n * 16 fits into
// the panel's inner width (width - 4), else that width div n; box i at left
// 2 + i * width, top 2, height panelHeight - 6.
std::vector<QRect> URLBoxPlaces(int count, int panelWidth, int panelHeight);
