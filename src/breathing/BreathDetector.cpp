#include "breathing/BreathDetector.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kelvaro {

namespace {

// Time constants of the filters, in milliseconds.
constexpr double kSmoothMs = 180.0;  // each of the three low-passes of the breathing band
constexpr double kBaselineMs = 6000.0;
constexpr double kLevelMs = 6000.0;
constexpr double kShakeRiseMs = 100.0;   // a burst of shaking raises the hysteresis at once...
constexpr double kShakeFallMs = 2000.0;  // ... and lets it down slowly

// The hysteresis, in grams: a share of the breathing's mean absolute deviation (about a quarter of
// a breath's depth), a share of the shaking's mean (above what of it the low-passes let through,
// for shaking from 1.5 Hz up), and a floor that a still belt's noise stays far below.
constexpr double kLevelShare = 0.75;
constexpr double kShakeShare = 0.6;
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
    filled_ = 0;
  }
  // The median of three belongs to the middle sample, the one before this; the filters start
  // from the first such median, so a wild first sample cannot seed them.
  const double x = median3(before2_, before1_, force1Grams);
  before2_ = before1_;
  before1_ = force1Grams;
  filled_ = std::min(filled_ + 1, 3);
  if (filled_ == 3) {
    if (seeded_) {
      filter(x, static_cast<std::uint32_t>(newest_.ms - centre_.ms));
    } else {
      seed(x);
    }
    seeded_ = true;
    centre_ = newest_;
    detect(update);
  } else {
    seeded_ = false;
  }
  newest_ = now;

  // Counted from when the last breath was seen rather than from its peak: breaths are seen about a
  // second after they peak, so the next one, seen as late, is not taken for a pause meanwhile.
  const std::uint64_t unseen = observedMs_ - lastSeenMs_;
  if (!apnea_ && unseen > std::uint64_t(apneaLimitSeconds_) * 1000) {
    apnea_ = true;
    update.apneaBegan = true;
    // The rate starts again after a pause.
    runBreaths_ = 0;
    intervalCount_ = 0;
    intervalNext_ = 0;
    haveLastPeak_ = false;
    rate_.reset();
  }
  update.breaths = breaths_;
  update.ratePerMinute = rate_;
  update.msSinceBreath = msSinceBreath();
  update.apnea = apnea_;
  return update;
}

void BreathDetector::seed(double force) {
  smooth1_ = smooth2_ = smooth3_ = baseline_ = force;
  shakeLow_ = 0.0;
  baselineMs_ = 0.0;
  detrended_ = 0.0;
  levelMean_ = 0.0;
  phase_ = Phase::SeekTrough;
  extreme_ = 0.0;
}

void BreathDetector::filter(double x, std::uint32_t dtMs) {
  const double dt = dtMs;
  const double smooth = share(dt, kSmoothMs);
  smooth1_ += smooth * (x - smooth1_);
  smooth2_ += smooth * (smooth1_ - smooth2_);
  smooth3_ += smooth * (smooth2_ - smooth3_);

  // Until the baseline has seen a full time constant it is the plain mean since it was seeded,
  // so that a first sample taken at a peak does not linger.
  baselineMs_ += dt;
  const double toBaseline =
      std::max(share(dt, kBaselineMs), baselineMs_ > 0 ? dt / baselineMs_ : 1.0);
  baseline_ += toBaseline * (smooth3_ - baseline_);
  detrended_ = smooth3_ - baseline_;

  // What the first low-pass took out, high-passed once more so that the breathing itself hardly
  // shows in it: the shaking of motion (and the noise).
  const double high = x - smooth1_;
  shakeLow_ += smooth * (high - shakeLow_);
  const double shake = std::fabs(high - shakeLow_);
  shaking_ += share(dt, shake > shaking_ ? kShakeRiseMs : kShakeFallMs) * (shake - shaking_);

  // The level is the deviation from the band's own mean: a steady drift leaves the baseline a
  // little behind, and that offset is no breathing.
  levelMs_ += dt;
  const double toLevel = std::max(share(dt, kLevelMs), levelMs_ > 0 ? dt / levelMs_ : 1.0);
  levelMean_ += toLevel * (detrended_ - levelMean_);
  const double deviation =
      std::min(std::fabs(detrended_ - levelMean_), kLevelClip * level_ + kFloorGrams);
  level_ += toLevel * (deviation - level_);
}

void BreathDetector::detect(BreathUpdate& update) {
  remember(centre_);
  const double hysteresis = std::max({kFloorGrams, kLevelShare * level_, kShakeShare * shaking_});
  const double d = detrended_;
  if (phase_ == Phase::SeekTrough) {
    extreme_ = std::min(extreme_, d);
    if (d > extreme_ + hysteresis) {
      // Breathing in: the trough is behind, the peak is ahead.
      phase_ = Phase::SeekPeak;
      extreme_ = d;
      peakMoment_ = centre_;
    }
    return;
  }
  if (d > extreme_) {
    extreme_ = d;
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
  const Moment peak = recall(peakMoment_.ms > kBandDelayMs ? peakMoment_.ms - kBandDelayMs : 0);
  if (anyBreath_ && peak.ms < lastBreathMs_ + breathing::kRefractoryMs) return;
  ++breaths_;
  if (haveLastPeak_) pushInterval(static_cast<std::uint32_t>(peak.ms - lastBreathMs_));
  haveLastPeak_ = true;
  anyBreath_ = true;
  lastBreathMs_ = peak.ms;
  lastSeenMs_ = observedMs_;
  ++runBreaths_;
  updateRate();
  update.breath = true;
  update.peakTickMs = peak.tick;
  update.peakSamplesAgo = static_cast<std::uint32_t>(samples_ - 1 - peak.sample);
  if (apnea_) {
    apnea_ = false;
    update.apneaEnded = true;
  }
}

void BreathDetector::remember(const Moment& moment) {
  if (historyCount_ > 0) {
    const Moment& last = history_[(historyNext_ + kHistory - 1) % kHistory];
    if (moment.ms < last.ms + kHistoryStepMs) return;
  }
  history_[historyNext_] = moment;
  historyNext_ = (historyNext_ + 1) % kHistory;
  historyCount_ = std::min(historyCount_ + 1, kHistory);
}

BreathDetector::Moment BreathDetector::recall(std::uint64_t ms) const {
  // The latest remembered moment at or before ms; the oldest one when all are later.
  Moment found = history_[(historyNext_ + kHistory - 1) % kHistory];
  for (std::size_t i = 1; i <= historyCount_; ++i) {
    const Moment& m = history_[(historyNext_ + kHistory - i) % kHistory];
    found = m;
    if (m.ms <= ms) break;
  }
  return found;
}

void BreathDetector::pushInterval(std::uint32_t ms) {
  intervals_[std::size_t(intervalNext_)] = ms;
  intervalNext_ = (intervalNext_ + 1) % breathing::kRateIntervals;
  intervalCount_ = std::min(intervalCount_ + 1, breathing::kRateIntervals);
}

void BreathDetector::updateRate() {
  rate_.reset();
  if (runBreaths_ < breathing::kRateMinBreaths || intervalCount_ == 0) return;
  std::array<std::uint32_t, breathing::kRateIntervals> sorted = intervals_;
  const auto n = std::size_t(intervalCount_);
  // An insertion sort of at most five (std::sort draws a false array-bounds warning from GCC 12).
  for (std::size_t i = 1; i < n; ++i) {
    for (std::size_t j = i; j > 0 && sorted[j] < sorted[j - 1]; --j) {
      std::swap(sorted[j], sorted[j - 1]);
    }
  }
  const double middle =
      (n % 2 == 1) ? sorted[n / 2] : 0.5 * (sorted[n / 2 - 1] + double(sorted[n / 2]));
  if (middle > 0.0) rate_ = 60000.0 / middle;
}

std::uint32_t BreathDetector::msSinceBreath() const {
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(
      observedMs_ - lastBreathMs_, std::numeric_limits<std::uint32_t>::max()));
}

}  // namespace kelvaro
