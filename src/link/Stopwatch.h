#pragma once

#include <QTimer>
#include <cstdint>

#include "base/TickSource.h"

namespace kelvaro {

// The program's one millisecond stopwatch. Ticks wrap at 2^32 and so do the differences, which
// makes the wrap every 49.7 days harmless.
class tTimer {
 public:
  explicit tTimer(const TickSource& ticks) : ticks_(ticks) {}

  std::uint32_t Tick() const { return ticks_.tick(); }
  // b - a, modulo 2^32.
  static std::uint32_t Diff(std::uint32_t a, std::uint32_t b) { return b - a; }
  void Start() { start_ = Tick(); }
  // Milliseconds since Start(), read as a signed 32-bit number.
  std::int32_t Elapsed() const { return static_cast<std::int32_t>(Diff(start_, Tick())); }
  bool Expired(std::uint16_t limit) const { return Elapsed() >= limit; }

 private:
  const TickSource& ticks_;
  std::uint32_t start_ = 0;
};

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

// The pumping wait: received bytes, timer ticks and clicks are all handled while it waits.
class Waiter {
 public:
  Waiter(tTimer& stopwatch, EventPump& pump) : stopwatch_(stopwatch), pump_(pump) {}

  // Returns after at least ms milliseconds; nothing cuts a wait short. Pending events are handled
  // at least once, even for 0. A wait started by a handler inside this one restarts the shared
  // stopwatch, so this wait then ends no earlier than ms after the inner one began.
  void WaitMs(std::uint16_t ms);

 private:
  tTimer& stopwatch_;
  EventPump& pump_;
};

}  // namespace kelvaro
