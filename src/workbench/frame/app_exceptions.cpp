#include "workbench/frame/app_exceptions.h"

namespace {

TAppExceptionHandler& Handler()
{
  static TAppExceptionHandler handler;
  return handler;
}

}  // namespace

TAppExceptionHandler SetAppExceptionHandler(TAppExceptionHandler handler)
{
  TAppExceptionHandler old = std::move(Handler());
  Handler() = std::move(handler);
  return old;
}

bool NotifyGuarded(const std::function<bool()>& deliver)
{
  try {
    return deliver();
  } catch (...) {
    const std::exception_ptr exception = std::current_exception();
    // A handler that fails itself must not take the program down either.
    try {
      if (TAppExceptionHandler handler = Handler())
        handler(exception);
    } catch (...) {
    }
    return false;
  }
}

TQuillmarApplication::TQuillmarApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TQuillmarApplication::notify(QObject* receiver, QEvent* event)
{
  return NotifyGuarded([&] { return QApplication::notify(receiver, event); });
}
