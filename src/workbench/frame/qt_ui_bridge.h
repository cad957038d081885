// The UI bridge over Qt: create it on the GUI thread after the QApplication
// and install it with platform::setUiBridge. Calls from another thread run as
// blocking queued calls on the GUI thread, and an exception they throw is
// raised again in the caller. Stop every worker that may call it before the
// QApplication goes.
#pragma once

#include "platform/ui_bridge.h"

#include <QObject>

class QtUiBridge final : public QObject, public platform::UiBridge
{
  Q_OBJECT
public:
  explicit QtUiBridge(QObject* parent = nullptr);
  ~QtUiBridge() override;

  void synchronize(const std::function<void()>& fn) override;
  void processMessages() override;
  bool isUiThread() const override;
  void post(std::function<void()> fn) override;
  void beginBusyCursor() override;
  void endBusyCursor() override;
  // Installs this bridge until it is destroyed.
  void install();

private:
  platform::UiBridge* previous_ = nullptr;
  bool installed_ = false;
};
