#pragma once

#include <cstdint>
#include "base/EventPump.h"

#include "base/TickSource.h"

namespace kelvaro {

// The program's one millisecond stopwatch. Ticks wrap at 2^32 and so do the differences, which
// makes the wrap every 49.7 days harmless.
class Stopwatch {
 public:
  explicit Stopwatch(const TickSource& ticks) : ticks_(ticks) {}

  std::uint32_t tick() const { return ticks_.tick(); }
  // b - a, modulo 2^32.
  static std::uint32_t diff(std::uint32_t a, std::uint32_t b) { return b - a; }
  void start() { start_ = tick(); }
  // Milliseconds since start(), read as a signed 32-bit number.
  std::int32_t elapsed() const { return static_cast<std::int32_t>(diff(start_, tick())); }
  bool expired(std::uint16_t limit) const { return elapsed() >= limit; }

 private:
  const TickSource& ticks_;
  std::uint32_t start_ = 0;
};

// The pumping wait: received bytes, timer ticks and clicks are all handled while it waits.
class Waiter {
 public:
  Waiter(Stopwatch& stopwatch, EventPump& pump) : stopwatch_(stopwatch), pump_(pump) {}

  // Returns after at least ms milliseconds; nothing cuts a wait short. Pending events are handled
  // at least once, even for 0. A wait started by a handler inside this one restarts the shared
  // stopwatch, so this wait then ends no earlier than ms after the inner one began.
  void waitMs(std::uint16_t ms);

 private:
  Stopwatch& stopwatch_;
  EventPump& pump_;
};

}  // namespace kelvaro
