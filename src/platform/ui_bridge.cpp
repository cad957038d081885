#include "platform/ui_bridge.h"

#include <atomic>

namespace platform {
namespace {

class HeadlessBridge final : public UiBridge {
public:
  void synchronize(const std::function<void()>& fn) override { fn(); }
  void processMessages() override {}
  bool isUiThread() const override { return true; }
};

HeadlessBridge headless;
std::atomic<UiBridge*> installed{nullptr};

}  // namespace

UiBridge& uiBridge()
{
  UiBridge* b = installed.load(std::memory_order_acquire);
  return b ? *b : headless;
}

UiBridge* setUiBridge(UiBridge* bridge)
{
  return installed.exchange(bridge, std::memory_order_acq_rel);
}

}  // namespace platform
