#include "platform/VolumeDucker.h"

namespace kelvaro {

bool VolumeDucker::lower() {
  if (isLowered()) return false;
  const auto level = volume_.level();
  if (!level) return false;
  saved_ = level;
  // A failed set is not examined: restoring the saved level later is harmless either way.
  volume_.setLevel(*level * kLoweredFraction);
  return true;
}

void VolumeDucker::restore() {
  if (!saved_) return;
  volume_.setLevel(*saved_);
  saved_.reset();
}

}  // namespace kelvaro
