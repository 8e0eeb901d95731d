#pragma once

#include <cstdint>

namespace kelvaro {

// The program's millisecond tick count: 32 bits, wrapping at 2^32, never going backwards.
// Logic asks this interface for the time so that tests can drive the clock themselves.
class TickSource {
 public:
  virtual ~TickSource() = default;
  virtual std::uint32_t tick() const = 0;
  // How many of its milliseconds pass in one real millisecond: 1, unless the clock is run fast
  // on purpose. A timer that waits for a time on this clock waits that many times less.
  virtual int speed() const { return 1; }
};

// A real timer's wait for `ms` of `clock`'s time: at least a millisecond.
inline int realWaitMs(const TickSource& clock, std::uint32_t ms) {
  const std::uint32_t wait = ms / static_cast<std::uint32_t>(clock.speed() > 0 ? clock.speed() : 1);
  return static_cast<int>(wait > 0 ? wait : 1);
}

// Milliseconds of a monotonic clock, truncated to 32 bits.
class SteadyTickSource final : public TickSource {
 public:
  std::uint32_t tick() const override;
};

// A monotonic clock run `speed` times as fast as the real one, from the moment it is made: the
// simulated belt and the program around it live through an hour in a minute at speed 60. It never
// leaps by more than kMaxStepMs from one reading to the next: a program held up by its machine for
// a moment (a time its fast world would count as seconds of silence) finds its world held up with
// it, and the clock catches up over the next readings.
class FastTickSource final : public TickSource {
 public:
  static constexpr std::uint64_t kMaxStepMs = 100;

  explicit FastTickSource(int speed);
  std::uint32_t tick() const override;
  int speed() const override { return speed_; }

 private:
  int speed_;
  std::uint32_t start_;
  mutable std::uint64_t elapsed_ = 0;  // of this clock's time, since the start
};

// A clock that moves only when told to; the tests' and the simulator's virtual time.
class ManualTickSource final : public TickSource {
 public:
  explicit ManualTickSource(std::uint32_t start = 0) : now_(start) {}
  std::uint32_t tick() const override { return now_; }
  void set(std::uint32_t now) { now_ = now; }
  void advance(std::uint32_t ms) { now_ += ms; }

 private:
  std::uint32_t now_;
};

}  // namespace kelvaro
