#pragma once

#include <QCoreApplication>
#include <algorithm>
#include <cstdint>
#include <functional>

#include "base/EventPump.h"
#include "base/TickSource.h"
#include "sim/SimSerialTransport.h"

namespace kelvaro::simtest {

// The event loop on the simulator's clock: each sleep lasts until the dongle has something to
// say or the deadline, and the port is pumped after it as its timer would.
class SimPump final : public EventPump {
 public:
  SimPump(ManualTickSource& clock, SimSerialTransport& port) : clock_(clock), port_(port) {}

  void processPending() override {
    port_.pump();
    QCoreApplication::processEvents();
  }
  void waitForEvents(std::uint32_t maxMs) override {
    const std::uint32_t next = std::max<std::uint32_t>(1, port_.dongle().msUntilNextActivity());
    clock_.advance(std::min(maxMs, next));
    port_.pump();
    if (onWake) onWake();
  }

  // Runs after every sleep, as a click handled inside a wait would (or the further belts'
  // timers).
  std::function<void()> onWake;

 private:
  ManualTickSource& clock_;
  SimSerialTransport& port_;
};

}  // namespace kelvaro::simtest
