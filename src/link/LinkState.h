#pragma once

#include <cstdint>

namespace kelvaro {

// What the dongle has answered to a command (or said in the event that follows it).
enum class LinkAnswer : std::int32_t {
  None,  // no answer yet
  Good,
  Bad,
};

// Answers of the dongle, set by the dispatcher and cleared by whoever waits for them. The
// discover's result is not looked at: discoverAnswered is only ever None or Good.
struct LinkState {
  LinkAnswer connectResult = LinkAnswer::None;
  LinkAnswer connectionStatus = LinkAnswer::None;
  LinkAnswer set1Result = LinkAnswer::None;
  LinkAnswer set2Result = LinkAnswer::None;
  LinkAnswer discoverAnswered = LinkAnswer::None;
};

}  // namespace kelvaro
