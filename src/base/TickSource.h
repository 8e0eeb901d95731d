#pragma once

#include <cstdint>

namespace kelvaro {

// The program's millisecond tick count: 32 bits, wrapping at 2^32, never going backwards.
// Logic asks this interface for the time so that tests can drive the clock themselves.
class TickSource {
 public:
  virtual ~TickSource() = default;
  virtual std::uint32_t tick() const = 0;
};

// Milliseconds of a monotonic clock, truncated to 32 bits.
class SteadyTickSource final : public TickSource {
 public:
  std::uint32_t tick() const override;
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
