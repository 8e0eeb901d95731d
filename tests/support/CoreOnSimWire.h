#pragma once

#include "base/EventPump.h"
#include "breathing/BreathTestSupport.h"
#include "link/Dispatcher.h"
#include "monitor/MonitorCore.h"
#include "monitor/MonitorDisplay.h"
#include "support/FakeSerialTransport.h"

namespace kelvaro::testing {

// The simulated dongle's bytes through a core with no window, on the test's clock: the road as
// the program runs it. The display is the given one, or one that shows nothing. A test adds its
// consumers and then calls connect().
class CoreOnSimWire : public breathtest::SimWire {
 public:
  explicit CoreOnSimWire(const SimOptions& options, MonitorDisplay* display = nullptr)
      : SimWire(options),
        core_(ticks(), pump_, port_, scanView_, display ? *display : nullDisplay_) {}

  MonitorCore& core() { return core_; }
  const MonitorCore& core() const { return core_; }

 private:
  void arrived(const std::uint8_t* bytes, std::size_t size) override { core_.feed(bytes, size); }

  NoEventLoop pump_;
  FakeSerialTransport port_;
  NullScanView scanView_;
  NullMonitorDisplay nullDisplay_;
  MonitorCore core_;
};

}  // namespace kelvaro::testing
