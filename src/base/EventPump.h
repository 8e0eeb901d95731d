#pragma once

#include <QTimer>
#include <cstdint>

namespace kelvaro {

// What a wait needs from the event loop. The real one is Qt's; tests drive a fake together with
// a manual clock.
class EventPump {
 public:
  virtual ~EventPump() = default;
  // Handles every event that is already pending and returns at once when there is none.
  virtual void processPending() = 0;
  // Sleeps until an event arrives, handling it, or until maxMs have passed.
  virtual void waitForEvents(std::uint32_t maxMs) = 0;
};

// No event loop at all, for a core fed by hand: there is nothing to handle, and a wait returns at
// once (so nothing that waits for an answer may run on it).
class NoEventLoop final : public EventPump {
 public:
  void processPending() override {}
  void waitForEvents(std::uint32_t) override {}
};

// The GUI thread's event loop.
class QtEventPump final : public EventPump {
 public:
  QtEventPump();
  void processPending() override;
  void waitForEvents(std::uint32_t maxMs) override;

 private:
  // Wakes the loop at the deadline when nothing else does; reused so that a wait allocates
  // nothing per pass.
  QTimer wakeUp_;
};

}  // namespace kelvaro
