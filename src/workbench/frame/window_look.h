// How the program's windows look on the desktop: every dialog has a title
// bar with a close button only (no minimise or maximise) and is at least
// as wide as its caption, also one of a fixed size, and every window carries the program's icon, the
// one the desktop entry shows (data/quillmar-pro.svg).
#pragma once

#include <QIcon>
#include <QObject>

class QApplication;
class QWidget;

// The program's icon: a blue square with three key-word-in-context lines
// and their hits in a yellow column.
QIcon ProgramIcon();

// The smallest width at which a dialog's title bar shows its whole caption.
int CaptionWidth(const QWidget* dialog);

class TWindowLook : public QObject
{
  Q_OBJECT
public:
  using QObject::QObject;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};

// Sets the icon and makes every dialog of the application look as above.
void InstallWindowLook(QApplication& app);
