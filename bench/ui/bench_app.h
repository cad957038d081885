// The offscreen application every widget benchmark of this program shares.
#pragma once

#include <QApplication>

namespace benchui {

inline QApplication& App()
{
  static QApplication* app = [] {
    // Another benchmark of this program may have made it already.
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

}  // namespace benchui
