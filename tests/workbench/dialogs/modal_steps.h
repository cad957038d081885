// Working a modal dialog from a test: the step runs once the next modal
// dialog is up and active, and the dialog is closed with Escape's path
// afterwards unless the step closed it.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>

namespace testsupport {

inline void WhenModal(std::function<void(QWidget*)> step)
{
  QTimer::singleShot(0, [step] {
    QWidget* modal = QApplication::activeModalWidget();
    ASSERT_NE(modal, nullptr);
    modal->activateWindow();
    (void)QTest::qWaitForWindowActive(modal, 1000);
    step(modal);
    if (modal->isVisible())
      static_cast<QDialog*>(modal)->reject();
  });
}

}  // namespace testsupport
