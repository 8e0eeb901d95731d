#include "base/TickSource.h"

#include <chrono>

namespace kelvaro {

std::uint32_t SteadyTickSource::tick() const {
  const auto since = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

}  // namespace kelvaro
