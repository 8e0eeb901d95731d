#pragma once

#include "keys/KeyTriggers.h"
#include "platform/KeyInjector.h"

namespace kelvaro {

// Sends the triggers' keys to the desktop through the platform's injector; the injector must
// outlive it.
class KeyInjectorSink final : public KeySink {
 public:
  explicit KeyInjectorSink(KeyInjector& injector) : injector_(injector) {}
  void keyDown(int virtualKey) override { injector_.keyDown(virtualKey); }
  void keyUp(int virtualKey) override { injector_.keyUp(virtualKey); }

 private:
  KeyInjector& injector_;
};

}  // namespace kelvaro
