#include "workbench/dialogs/about_box.h"

#include "foundation/program_state.h"
#include "workbench/frame/qt_text.h"

#include <QApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

// ---------------------------------------------------------------------------
// TCubeSpin

TCubeSpin::TCubeSpin(QWidget* parent) : QWidget(parent)
{
  setObjectName(QStringLiteral("SpinningCube"));
  setAttribute(Qt::WA_OpaquePaintEvent);
  geometry_.Resize(width(), height());
}

void TCubeSpin::SetAngles(int x, int y, int z)
{
  geometry_.SetAngles(x, y, z);
  update();
  if (OnSpin)
    OnSpin();
}

void TCubeSpin::SetOptions(TCubeDrawOptions options)
{
  geometry_.SetOptions(options);
  update();
}

void TCubeSpin::SetContinuous(bool on)
{
  if (on == Continuous())
    return;
  if (on) {
    timer_ = new QTimer(this);
    timer_->setInterval(kTickMs);
    connect(timer_, &QTimer::timeout, this, &TCubeSpin::Spin);
    timer_->start();
  } else {
    delete timer_;
    timer_ = nullptr;
  }
}

void TCubeSpin::Spin()
{
  TCubeGeometry next = geometry_;
  next.Step();
  SetAngles(next.XSpin(), next.YSpin(), next.ZSpin());
}

void TCubeSpin::Draw(QPainter& painter)
{
  const TCubeDrawOptions options = geometry_.Options();
  painter.setRenderHint(QPainter::Antialiasing, false);
  const QBrush background(palette().color(QPalette::Window));
  // Qt double-buffers every widget, so cdoDblBuf paints as a direct paint
  // with the erase always on.
  if (eraseNeeded_ || (options & (cdoErase | cdoDblBuf)))
    painter.fillRect(QRect(0, 0, width(), height()), background);
  painter.setPen(Qt::black);
  if (options & cdoFaces) {
    for (const TCubeFace& face : geometry_.Faces()) {
      QPolygon polygon;
      for (const TCubePoint& p : face.Points)
        polygon << QPoint(p.X, p.Y);
      painter.setBrush(QColor(face.Red, face.Green, face.Blue));
      painter.drawPolygon(polygon);
    }
  } else {
    for (const TCubeEdge& e : geometry_.Edges())
      painter.drawLine(e.From.X, e.From.Y, e.To.X, e.To.Y);
  }
  eraseNeeded_ = false;
}

void TCubeSpin::paintEvent(QPaintEvent*)
{
  QPainter painter(this);
  Draw(painter);
}

void TCubeSpin::resizeEvent(QResizeEvent* event)
{
  geometry_.Resize(width(), height());
  eraseNeeded_ = true;
  update();
  QWidget::resizeEvent(event);
}

void TCubeSpin::mouseReleaseEvent(QMouseEvent* event)
{
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && OnClick)
    OnClick();
  QWidget::mouseReleaseEvent(event);
}

// ---------------------------------------------------------------------------
// TAboutBox

namespace {

QLabel* MakeLabel(QWidget* parent, const char* text, const char* name = nullptr)
{
  auto* label = new QLabel(QString::fromLatin1(text), parent);
  if (name)
    label->setObjectName(QString::fromLatin1(name));
  return label;
}

}  // namespace

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent)
{
  setObjectName(QStringLiteral("AboutBox"));
  setWindowTitle(QString::fromLatin1(Caption));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

  auto* panel = new QFrame(this);
  panel->setFrameShape(QFrame::Panel);
  panel->setFrameShadow(QFrame::Raised);

  // The cube breathes inside a fixed square, placed by hand.
  auto* cubeArea = new QWidget(panel);
  cubeArea->setFixedSize(81, 81);
  SpinningCube = new TCubeSpin(cubeArea);
  SpinningCube->setGeometry(8, 8, 65, 65);
  SpinningCube->SetOptions(kDefaultCubeOptions);
  SpinningCube->Geometry().SpinInc = 7;
  SpinningCube->Geometry().YSpinOn = false;
  SpinningCube->Geometry().SetAngles(6, 20, 336);
  SpinningCube->OnSpin = [this] { SpinningCubeSpin(); };
  SpinningCube->OnClick = [this] { SpinningCube->SetContinuous(!SpinningCube->Continuous()); };

  ProductName = MakeLabel(panel, "Quillmar Pro", "ProductName");
  QFont big = ProductName->font();
  big.setPointSize(big.pointSize() + 4);
  big.setBold(true);
  ProductName->setFont(big);
  Version = MakeLabel(panel, "", "Version");
  // FormCreate.
  Version->setText(ToQString(VersionText));
  SpinningCube->SetContinuous(true);

  auto* texts = new QVBoxLayout;
  texts->addWidget(ProductName);
  texts->addWidget(Version);
  texts->addSpacing(8);
  texts->addWidget(MakeLabel(panel, "Copyright \xA9 The Quillmar Pro authors"));
  texts->addWidget(MakeLabel(panel, "Quillmar Pro project"));
  texts->addWidget(MakeLabel(panel, "Corpus Tools Workshop"));
  texts->addWidget(MakeLabel(panel, "Linguistics Lane 1"));
  texts->addWidget(MakeLabel(panel, "Phone: none"));
  texts->addWidget(MakeLabel(panel, "E-mail: quillmar@localhost"));
  texts->addWidget(MakeLabel(panel, "Programming: the Quillmar Pro developers"));
  auto* panelLayout = new QHBoxLayout(panel);
  panelLayout->addWidget(cubeArea, 0, Qt::AlignTop);
  panelLayout->addLayout(texts);

  OKBtn = new QPushButton(QStringLiteral("OK"), this);
  OKBtn->setObjectName(QStringLiteral("OKBtn"));
  OKBtn->setDefault(true);
  connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(panel);
  layout->addWidget(OKBtn, 0, Qt::AlignHCenter);
  setFixedSize(sizeHint());
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

bool TAboutBox::event(QEvent* event)
{
  if (event->type() == QEvent::WindowActivate)
    FormActivate();
  return QDialog::event(event);
}

void TAboutBox::FormActivate()
{
  SpinningCube->SetContinuous(true);
  breath_.Reset();
  SpinningCube->setGeometry(breath_.Left, breath_.Top, breath_.Width, breath_.Height);
}

void TAboutBox::SpinningCubeSpin()
{
  breath_.Spin();
  SpinningCube->setGeometry(breath_.Left, breath_.Top, breath_.Width, breath_.Height);
}

void TAboutBox::done(int result)
{
  // FormClose: nothing spins once the box is gone.
  SpinningCube->SetContinuous(false);
  QDialog::done(result);
}

void ShowAbout()
{
  TAboutBox box(QApplication::activeWindow());
  box.exec();
}
