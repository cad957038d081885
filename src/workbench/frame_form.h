// The frame window: the program's main window holding every child window.
#pragma once

#include <QMainWindow>

class TFrameForm : public QMainWindow
{
  Q_OBJECT
public:
  explicit TFrameForm(QWidget* parent = nullptr);
};
