// The one seam between the toolkit-free core and the user interface.
//
// Work that must happen on the user-interface thread (anything that touches a
// window) is handed over with synchronize(); long operations on that thread
// let pending events run with processMessages(). The application installs the
// Qt bridge at start; core tests install a fake one. Until then a headless
// bridge runs every call inline and has no events to process.
#pragma once

#include <functional>

namespace platform {

class UiBridge {
public:
  virtual ~UiBridge() = default;
  // Runs fn on the user-interface thread and waits for it. Called on that
  // thread, fn runs at once. An exception fn throws is raised again in the
  // caller.
  virtual void synchronize(const std::function<void()>& fn) = 0;
  // Lets pending user-interface events run (they may re-enter the caller).
  virtual void processMessages() = 0;
  virtual bool isUiThread() const = 0;
  // Runs fn later on the user-interface thread, after the current event;
  // returns at once. The headless bridge runs it at once.
  virtual void post(std::function<void()> fn) { fn(); }
  // The busy (hourglass) cursor over the whole program; calls nest.
  virtual void beginBusyCursor() {}
  virtual void endBusyCursor() {}
};

// The installed bridge, or the headless one.
UiBridge& uiBridge();
// Installs a bridge (nullptr restores the headless one); returns the previous
// one, nullptr when that was the headless bridge.
UiBridge* setUiBridge(UiBridge* bridge);

}  // namespace platform
