// A panel of a window's status row: its text in one line, cut with "..."
// when the panel is narrower than the text, so that no panel ever needs
// more room than the row gives it or draws over its neighbour.
#pragma once

#include <QLabel>

class TStatusLabel : public QLabel
{
  Q_OBJECT
public:
  explicit TStatusLabel(QWidget* parent = nullptr);

  // The text as drawn at the present width.
  QString ShownText() const;

  QSize minimumSizeHint() const override;

protected:
  void paintEvent(QPaintEvent* event) override;
};
