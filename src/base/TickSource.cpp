#include "base/TickSource.h"

#include <algorithm>
#include <chrono>

namespace kelvaro {

std::uint32_t SteadyTickSource::tick() const {
  const auto since = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

FastTickSource::FastTickSource(int speed)
    : speed_(speed > 0 ? speed : 1), start_(SteadyTickSource().tick()) {}

std::uint32_t FastTickSource::tick() const {
  const std::uint64_t real = static_cast<std::uint32_t>(SteadyTickSource().tick() - start_);
  const std::uint64_t target = real * static_cast<std::uint64_t>(speed_);
  if (target > elapsed_) elapsed_ = std::min(target, elapsed_ + kMaxStepMs);
  return start_ + static_cast<std::uint32_t>(elapsed_);
}

}  // namespace kelvaro
