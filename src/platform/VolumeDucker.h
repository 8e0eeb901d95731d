#pragma once

#include <optional>

#include "platform/MasterVolume.h"

namespace kelvaro {

// The mute alarm's volume half: lowers the master volume to a third and later puts back the level
// it had before. The owner keeps the restore timer (2000 ms, single shot) and calls restore() from
// it, so nothing here reads a clock.
class VolumeDucker {
 public:
  static constexpr int kRestoreDelayMs = 2000;
  static constexpr float kLoweredFraction = 1.0f / 3.0f;

  explicit VolumeDucker(MasterVolume& volume) : volume_(volume) {}

  // Saves the current level and sets a third of it. Returns true when the owner should start its
  // restore timer now. While a restore is pending a further alarm changes nothing and returns
  // false: reading the lowered level again would make the restore bring back only a third, and the
  // pending restore keeps its original time. Without a readable volume nothing is lowered.
  bool lower();

  // The restore timer's step: sets the saved level back. Nothing when nothing is lowered.
  void restore();

  // For closing the program while the volume is lowered: restores at once, as restore() does.
  void restoreNow() { restore(); }

  bool isLowered() const { return saved_.has_value(); }
  // The level before the first alarm of the pending restore.
  std::optional<float> savedLevel() const { return saved_; }

 private:
  MasterVolume& volume_;
  std::optional<float> saved_;
};

}  // namespace kelvaro
