// The application object: every event goes through one guarded delivery, so
// an exception that escapes an event handler reaches the program's handler
// instead of ending the program.
#pragma once

#include <QApplication>

#include <exception>
#include <functional>

using TAppExceptionHandler = std::function<void(std::exception_ptr)>;

// Installs the handler (an empty one drops exceptions); returns the old one.
TAppExceptionHandler SetAppExceptionHandler(TAppExceptionHandler handler);

// Runs one delivery; an exception it raises goes to the installed handler
// and the delivery counts as not handled.
bool NotifyGuarded(const std::function<bool()>& deliver);

class TQuillmarApplication : public QApplication
{
  Q_OBJECT
public:
  TQuillmarApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};
