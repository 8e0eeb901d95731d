#pragma once

#include <cstdint>

namespace kelvaro {

// Answers of the dongle, set by the dispatcher and cleared by whoever waits for them.
// Result flags: 0 no answer yet, 1 good, 2 bad.
struct LinkState {
  std::int32_t ConnectResult = 0;
  std::int32_t ConnectionStatus = 0;
  std::int32_t Set1Result = 0;
  std::int32_t Set2Result = 0;
  std::int32_t DiscoverAnswered = 0;
};

}  // namespace kelvaro
