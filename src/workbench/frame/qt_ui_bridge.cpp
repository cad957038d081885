#include "workbench/frame/qt_ui_bridge.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QThread>
#include <exception>

QtUiBridge::QtUiBridge(QObject* parent) : QObject(parent) {}

QtUiBridge::~QtUiBridge()
{
  if (installed_)
    platform::setUiBridge(previous_);
}

void QtUiBridge::install()
{
  if (!installed_) {
    previous_ = platform::setUiBridge(this);
    installed_ = true;
  }
}

void QtUiBridge::synchronize(const std::function<void()>& fn)
{
  if (isUiThread()) {
    fn();
    return;
  }
  std::exception_ptr error;
  QMetaObject::invokeMethod(
      this,
      [&] {
        try {
          fn();
        } catch (...) {
          error = std::current_exception();
        }
      },
      Qt::BlockingQueuedConnection);
  if (error)
    std::rethrow_exception(error);
}

void QtUiBridge::post(std::function<void()> fn)
{
  QMetaObject::invokeMethod(
      this,
      [fn = std::move(fn)] {
        try {
          fn();
        } catch (...) {
          // A posted call has no caller to raise to.
        }
      },
      Qt::QueuedConnection);
}

void QtUiBridge::processMessages()
{
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool QtUiBridge::isUiThread() const
{
  return QThread::currentThread() == thread();
}

void QtUiBridge::beginBusyCursor()
{
  synchronize([] { QGuiApplication::setOverrideCursor(Qt::WaitCursor); });
}

void QtUiBridge::endBusyCursor()
{
  synchronize([] { QGuiApplication::restoreOverrideCursor(); });
}
