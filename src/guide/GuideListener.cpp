#include "guide/GuideListener.h"

namespace kelvaro {

void GuideListener::start(const GuideSettings& settings, std::uint32_t startTick) {
  pacer_ = GuidePacer(settings);
  score_ = FollowingScore(pacer_);
  startTick_ = startTick;
  running_ = true;
  following_.reset();
  rate_.reset();
  lastMs_ = 0;
  linkDown_ = false;
  scoredSecond_ = -1;
  scoreSum_ = 0.0;
  scoredSeconds_ = 0;
  forceNext_ = forceCount_ = 0;
}

std::int64_t GuideListener::msSinceStart(std::uint32_t tick) const {
  // The tick wraps; an exercise is far shorter than half its range.
  return std::int64_t(static_cast<std::int32_t>(tick - startTick_));
}

const GuideListener::ForcePoint& GuideListener::force(std::size_t index) const {
  return forces_[(forceNext_ + kForceKept - forceCount_ + index) % kForceKept];
}

void GuideListener::notificationDecoded(const DecodedNotification& n) {
  // The first belt's only.
  if (n.belt > 0) return;
  if (!running_) return;
  linkDown_ = false;
  const std::int64_t now = msSinceStart(n.tick);
  if (n.breath.breath) score_.breath(msSinceStart(n.breath.peakTickMs));
  following_ = score_.scoreAt(now);
  if (following_ && now / 1000 != scoredSecond_) {
    scoredSecond_ = now / 1000;
    scoreSum_ += *following_;
    ++scoredSeconds_;
  }
  rate_ = n.breath.ratePerMinute;
  lastMs_ = now;
  if (forceCount_ == 0 || now - force(forceCount_ - 1).ms >= std::int64_t(kForceStepMs)) {
    forces_[forceNext_] = {now, n.state.force1Grams};
    forceNext_ = (forceNext_ + 1) % kForceKept;
    if (forceCount_ < kForceKept) ++forceCount_;
  }
}

std::optional<double> GuideListener::meanFollowing() const {
  if (scoredSeconds_ == 0) return std::nullopt;
  return scoreSum_ / double(scoredSeconds_);
}

void GuideListener::linkChanged(const LinkChange& change) {
  // The first belt's only.
  if (change.belt > 0) return;
  if (change.event == LinkEvent::Lost || change.event == LinkEvent::Disconnected) {
    linkDown_ = true;
    rate_.reset();
  }
}

}  // namespace kelvaro
