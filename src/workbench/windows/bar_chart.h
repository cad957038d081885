// A small horizontal bar chart: one series of bars, one per point in the
// order they were added (the first at the top), each with its label on the
// left axis and, when marks are shown, a mark at its end whose text the
// owner supplies by point index. The left and bottom axes have titles; the
// axis lines are not drawn. The same routine paints on screen and into a
// rectangle of a printer page.
#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

#include <functional>
#include <vector>

class QPainter;

class TBarChart : public QWidget
{
  Q_OBJECT
public:
  struct TBar {
    double Value = 0;      // the bar's length
    double Position = 0;   // the point's position value
    QString Label;
    QColor Colour;
  };
  // The text of the mark of point index.
  using TMarkTextHandler = std::function<QString(int index)>;

  explicit TBarChart(QWidget* parent = nullptr);

  // The series.
  void Clear();
  void AddBar(double value, double position, const QString& label, const QColor& colour);
  int BarCount() const { return int(bars_.size()); }
  const TBar& Bar(int index) const { return bars_.at(size_t(index)); }

  void SetLeftAxisTitle(const QString& title);
  QString LeftAxisTitle() const { return leftTitle_; }
  void SetBottomAxisTitle(const QString& title);
  QString BottomAxisTitle() const { return bottomTitle_; }

  void SetMarksVisible(bool visible);
  bool MarksVisible() const { return marksVisible_; }
  void SetMarkTextHandler(TMarkTextHandler handler);
  // The mark's text as the handler gives it; the value without a handler.
  QString MarkText(int index) const;

  // Paints the chart into rect with the painter's device (screen or page);
  // sizes follow the device's resolution.
  void PaintInto(QPainter& painter, const QRect& rect) const;

  QSize sizeHint() const override { return {400, 300}; }

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  std::vector<TBar> bars_;
  QString leftTitle_;
  QString bottomTitle_;
  bool marksVisible_ = true;
  TMarkTextHandler markText_;
};
