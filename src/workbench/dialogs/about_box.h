// The About box with its spinning, breathing cube, and the cube control.
#pragma once

#include "forms/cube_spin.h"

#include <QDialog>
#include <QWidget>

#include <functional>
#include <memory>

class QLabel;
class QPushButton;
class QTimer;

// A cube rotated by three angles and, while Continuous is on, turned one
// step on every tick of its own timer.
class TCubeSpin : public QWidget {
  Q_OBJECT
public:
  static constexpr int kTickMs = 15;

  explicit TCubeSpin(QWidget* parent = nullptr);

  TCubeGeometry& Geometry() { return geometry_; }
  int XSpin() const { return geometry_.XSpin(); }
  int YSpin() const { return geometry_.YSpin(); }
  int ZSpin() const { return geometry_.ZSpin(); }
  void SetXSpin(int value) { SetAngles(value, YSpin(), ZSpin()); }
  void SetYSpin(int value) { SetAngles(XSpin(), value, ZSpin()); }
  void SetZSpin(int value) { SetAngles(XSpin(), YSpin(), value); }
  // Stores the three angles, repaints and runs OnSpin once.
  void SetAngles(int x, int y, int z);
  void SetOptions(TCubeDrawOptions options);

  bool Continuous() const { return timer_ != nullptr; }
  // On: a timer owned by the cube steps it; off: the timer is freed.
  void SetContinuous(bool on);
  // One step of the angles (what a tick does).
  void Spin();

  std::function<void()> OnSpin;
  std::function<void()> OnClick;

  // Draws the cube as a paint would onto any device (the painter's pen and
  // brush are set here).
  void Draw(QPainter& painter);

protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

private:
  TCubeGeometry geometry_;
  QTimer* timer_ = nullptr;
  bool eraseNeeded_ = true;
};

class TAboutBox : public QDialog {
  Q_OBJECT
public:
  static constexpr const char* Caption = "About Quillmar Pro";

  explicit TAboutBox(QWidget* parent = nullptr);

  QLabel* ProductName = nullptr;
  QLabel* Version = nullptr;
  TCubeSpin* SpinningCube = nullptr;
  QPushButton* OKBtn = nullptr;

  const TCubeBreath& Breath() const { return breath_; }

protected:
  bool event(QEvent* event) override;
  void done(int result) override;

private:
  void FormActivate();
  void SpinningCubeSpin();

  TCubeBreath breath_;
};

void ShowAbout();
