#include "link/Stopwatch.h"

namespace kelvaro {

void Waiter::waitMs(std::uint16_t ms) {
  stopwatch_.start();
  for (;;) {
    pump_.processPending();
    if (stopwatch_.expired(ms)) break;
    // The stopwatch may have been restarted by a nested wait, so the remainder is recomputed on
    // every pass.
    const std::int32_t left = ms - stopwatch_.elapsed();
    pump_.waitForEvents(left > 0 ? static_cast<std::uint32_t>(left) : 0u);
  }
}

}  // namespace kelvaro
