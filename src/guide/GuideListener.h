#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "guide/FollowingScore.h"
#include "guide/GuidePacer.h"
#include "monitor/MeasurementConsumer.h"

namespace kelvaro {

// The guide's ear on the road: while an exercise runs it takes the breath detector's breaths into
// the "Following" score, the current breathing rate, and the force of channel 1 for the wave the
// page draws beside the guide's. A consumer of the core's road (register it after the views);
// between exercises it only ignores what it is given. Constant work and no allocation per call.
class GuideListener final : public MeasurementConsumer {
 public:
  // The force kept for the page: one value per kForceStepMs at most, for kForceMs.
  static constexpr std::uint32_t kForceStepMs = 50;
  static constexpr std::uint32_t kForceMs = 30000;
  static constexpr std::size_t kForceKept = kForceMs / kForceStepMs;

  struct ForcePoint {
    std::int64_t ms = 0;  // since the exercise's start
    double grams = 0.0;
  };

  // An exercise starts at the core's tick `startTick` with these settings.
  void start(const GuideSettings& settings, std::uint32_t startTick);
  // It ended (or was stopped): what it found stays readable until the next start.
  void stop() { running_ = false; }
  bool running() const { return running_; }

  const GuidePacer& pacer() const { return pacer_; }
  const FollowingScore& score() const { return score_; }
  // Milliseconds since the start at the core's tick `tick`.
  std::int64_t msSinceStart(std::uint32_t tick) const;
  // The score at the latest notification, and that notification's time since the start.
  std::optional<double> following() const { return following_; }
  std::int64_t lastMs() const { return lastMs_; }
  // The mean of the score over the exercise, taken once a second while it was known.
  std::optional<double> meanFollowing() const;
  // The breath detector's rate at the latest notification ("---" when none).
  std::optional<double> ratePerMinute() const { return rate_; }
  // No data from the belt: the link was lost or ended during the exercise.
  bool linkDown() const { return linkDown_; }

  // The force kept, oldest first: index 0 .. forceCount() - 1.
  std::size_t forceCount() const { return forceCount_; }
  const ForcePoint& force(std::size_t index) const;

  void notificationDecoded(const DecodedNotification& notification) override;
  void linkChanged(const LinkChange& change) override;

 private:
  GuidePacer pacer_;
  FollowingScore score_;
  bool running_ = false;
  std::uint32_t startTick_ = 0;
  std::optional<double> following_;
  std::optional<double> rate_;
  std::int64_t lastMs_ = 0;
  bool linkDown_ = false;
  std::int64_t scoredSecond_ = -1;
  double scoreSum_ = 0.0;
  std::int64_t scoredSeconds_ = 0;
  std::array<ForcePoint, kForceKept> forces_{};
  std::size_t forceNext_ = 0, forceCount_ = 0;
};

}  // namespace kelvaro
