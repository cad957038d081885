// The one QApplication of the widget benchmarks, offscreen unless
// QT_QPA_PLATFORM says otherwise; made by the first benchmark that asks.
#pragma once

#include <QApplication>

inline QApplication& OffscreenApp()
{
  static QApplication* app = [] {
    if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance()))
      return existing;
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
      qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "quill_ui_bench";
    static char* argv[] = {name, nullptr};
    return new QApplication(argc, argv);
  }();
  return *app;
}
