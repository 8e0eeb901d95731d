#include "base/MicrosecondClock.h"

#include <chrono>

namespace kelvaro {

std::uint64_t SteadyMicrosecondClock::microseconds() const {
  const auto since = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint64_t>(
      std::chrono::duration_cast<std::chrono::microseconds>(since).count());
}

}  // namespace kelvaro
