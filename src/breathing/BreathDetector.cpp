#include "breathing/BreathDetector.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kelvaro {

namespace {

// Time constants of the filters, in milliseconds.
constexpr double kSmoothMs = 200.0;  // each of the two low-passes of the breathing band
constexpr double kFastMs = 60.0;     // the copy the peak's time is read from
constexpr double kBaselineMs = 6000.0;
constexpr double kLevelMs = 6000.0;
constexpr double kShakeRiseMs = 300.0;   // a burst of shaking raises the hysteresis at once...
constexpr double kShakeFallMs = 2000.0;  // ... and lets it down slowly

// The hysteresis, in grams: a share of the breathing's mean absolute deviation (about a quarter of
// a breath's depth), a multiple of the shaking's mean (well above what of it the low-passes let
// through, down to about 1 Hz), and a floor that a still belt's noise stays far below.
constexpr double kLevelShare = 0.75;
constexpr double kShakeShare = 1.5;
constexpr double kFloorGrams = 1.0;
// A single sample counts towards the level at most this many times the level (plus the floor),
// so a spike or a jump the median lets through does not blow the hysteresis up at once.
constexpr double kLevelClip = 3.0;

double share(double dtMs, double tauMs) { return dtMs / (tauMs + dtMs); }

double median3(double a, double b, double c) {
  return std::max(std::min(a, b), std::min(std::max(a, b), c));
}

}  // namespace

BreathDetector::BreathDetector(int apneaLimitSeconds) : apneaLimitSeconds_(0) {
  setApneaLimitSeconds(apneaLimitSeconds);
}

void BreathDetector::setApneaLimitSeconds(int seconds) {
  apneaLimitSeconds_ =
      std::clamp(seconds, breathing::kMinApneaSeconds, breathing::kMaxApneaSeconds);
}

void BreathDetector::reset() { *this = BreathDetector(apneaLimitSeconds_); }

void BreathDetector::restartSignal() { restart_ = true; }

BreathUpdate BreathDetector::addSample(double force1Grams, std::uint32_t tickMs) {
  BreathUpdate update;
  if (haveTick_) {
    // Unsigned, so the tick's wrap at 2^32 gives the right difference.
    const std::uint32_t dt = tickMs - lastTick_;
    if (dt > breathing::kGapMs) {
      restart_ = true;
      haveLastPeak_ = false;  // a breath may have been missed in the gap
    } else {
      observedMs_ += dt;
    }
  }
  haveTick_ = true;
  lastTick_ = tickMs;
  const Moment now{samples_++, tickMs, observedMs_};

  if (restart_) {
    restart_ = false;
    seed(force1Grams);
    before2_ = before1_ = force1Grams;
    centre_ = now;
  } else {
    // The median of three belongs to the middle sample, the one before this.
    const double x = median3(before2_, before1_, force1Grams);
    before2_ = before1_;
    before1_ = force1Grams;
    filter(x, static_cast<std::uint32_t>(newest_.ms - centre_.ms));
    centre_ = newest_;
    detect(update);
  }
  newest_ = now;

  const std::uint64_t since = observedMs_ - lastBreathMs_;
  if (!apnea_ && since > std::uint64_t(apneaLimitSeconds_) * 1000) {
    apnea_ = true;
    update.apneaBegan = true;
    // The rate starts again after a pause.
    runBreaths_ = 0;
    intervalCount_ = 0;
    intervalNext_ = 0;
    haveLastPeak_ = false;
  }
  update.breaths = breaths_;
  update.ratePerMinute = ratePerMinute();
  update.msSinceBreath = msSinceBreath();
  update.apnea = apnea_;
  return update;
}

void BreathDetector::seed(double force) {
  smooth1_ = smooth2_ = fast_ = baseline_ = force;
  shakeLow_ = 0.0;
  baselineMs_ = 0.0;
  detrended_ = fastDetrended_ = 0.0;
  phase_ = Phase::SeekTrough;
  extreme_ = 0.0;
  peakValue_ = 0.0;
}

void BreathDetector::filter(double x, std::uint32_t dtMs) {
  const double dt = dtMs;
  const double smooth = share(dt, kSmoothMs);
  smooth1_ += smooth * (x - smooth1_);
  smooth2_ += smooth * (smooth1_ - smooth2_);
  fast_ += share(dt, kFastMs) * (x - fast_);

  // Until the baseline has seen a full time constant it is the plain mean since it was seeded,
  // so that a first sample taken at a peak does not linger.
  baselineMs_ += dt;
  const double toBaseline =
      std::max(share(dt, kBaselineMs), baselineMs_ > 0 ? dt / baselineMs_ : 1.0);
  baseline_ += toBaseline * (smooth2_ - baseline_);
  detrended_ = smooth2_ - baseline_;
  fastDetrended_ = fast_ - baseline_;

  // What the first low-pass took out, high-passed once more so that the breathing itself hardly
  // shows in it: the shaking of motion (and the noise).
  const double high = x - smooth1_;
  shakeLow_ += smooth * (high - shakeLow_);
  const double shake = std::fabs(high - shakeLow_);
  shaking_ += share(dt, shake > shaking_ ? kShakeRiseMs : kShakeFallMs) * (shake - shaking_);

  levelMs_ += dt;
  const double deviation = std::min(std::fabs(detrended_), kLevelClip * level_ + kFloorGrams);
  const double toLevel = std::max(share(dt, kLevelMs), levelMs_ > 0 ? dt / levelMs_ : 1.0);
  level_ += toLevel * (deviation - level_);
}

void BreathDetector::detect(BreathUpdate& update) {
  const double hysteresis = std::max({kFloorGrams, kLevelShare * level_, kShakeShare * shaking_});
  const double d = detrended_;
  if (phase_ == Phase::SeekTrough) {
    extreme_ = std::min(extreme_, d);
    if (d > extreme_ + hysteresis) {
      // Breathing in: the trough is behind, the peak is ahead.
      phase_ = Phase::SeekPeak;
      extreme_ = d;
      peakValue_ = fastDetrended_;
      peakMoment_ = centre_;
    }
    return;
  }
  extreme_ = std::max(extreme_, d);
  if (fastDetrended_ > peakValue_) {
    peakValue_ = fastDetrended_;
    peakMoment_ = centre_;
  }
  if (d < extreme_ - hysteresis) {
    // Breathing out: the breath has peaked.
    phase_ = Phase::SeekTrough;
    extreme_ = d;
    countBreath(update);
  }
}

void BreathDetector::countBreath(BreathUpdate& update) {
  const Moment& peak = peakMoment_;
  if (anyBreath_ && peak.ms - lastBreathMs_ < breathing::kRefractoryMs) return;
  ++breaths_;
  if (haveLastPeak_) pushInterval(static_cast<std::uint32_t>(peak.ms - lastBreathMs_));
  haveLastPeak_ = true;
  anyBreath_ = true;
  lastBreathMs_ = peak.ms;
  ++runBreaths_;
  update.breath = true;
  update.peakTickMs = peak.tick;
  update.peakSamplesAgo = static_cast<std::uint32_t>(samples_ - 1 - peak.sample);
  if (apnea_) {
    apnea_ = false;
    update.apneaEnded = true;
  }
}

void BreathDetector::pushInterval(std::uint32_t ms) {
  intervals_[std::size_t(intervalNext_)] = ms;
  intervalNext_ = (intervalNext_ + 1) % breathing::kRateIntervals;
  intervalCount_ = std::min(intervalCount_ + 1, breathing::kRateIntervals);
}

std::optional<double> BreathDetector::ratePerMinute() const {
  if (runBreaths_ < breathing::kRateMinBreaths || intervalCount_ == 0) return std::nullopt;
  std::array<std::uint32_t, breathing::kRateIntervals> sorted = intervals_;
  const auto n = std::size_t(intervalCount_);
  std::sort(sorted.begin(), sorted.begin() + std::ptrdiff_t(n));
  const double middle =
      (n % 2 == 1) ? sorted[n / 2] : 0.5 * (sorted[n / 2 - 1] + double(sorted[n / 2]));
  if (middle <= 0.0) return std::nullopt;
  return 60000.0 / middle;
}

std::uint32_t BreathDetector::msSinceBreath() const {
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(
      observedMs_ - lastBreathMs_, std::numeric_limits<std::uint32_t>::max()));
}

}  // namespace kelvaro
