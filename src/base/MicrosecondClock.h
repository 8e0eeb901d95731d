#pragma once

#include <cstdint>

namespace kelvaro {

// Microseconds of a clock that never goes backwards, for what is timed finer than the program's
// millisecond tick (a capture of the dongle's bytes). Logic asks this interface, so that tests
// can say what time it is.
class MicrosecondClock {
 public:
  virtual ~MicrosecondClock() = default;
  virtual std::uint64_t microseconds() const = 0;
};

// Microseconds of a monotonic clock.
class SteadyMicrosecondClock final : public MicrosecondClock {
 public:
  std::uint64_t microseconds() const override;
};

// A clock that moves only when told to.
class ManualMicrosecondClock final : public MicrosecondClock {
 public:
  explicit ManualMicrosecondClock(std::uint64_t start = 0) : now_(start) {}
  std::uint64_t microseconds() const override { return now_; }
  void set(std::uint64_t now) { now_ = now; }
  void advance(std::uint64_t us) { now_ += us; }

 private:
  std::uint64_t now_;
};

}  // namespace kelvaro
