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

// A rise or a fall is a breath's only if the band itself, the baseline left on, moved by this
// share of the hysteresis too: a baseline creeping towards a held chest moves only the freed band.
// Breaths riding on a steep drift barely move the band back; a band that has been quiet for a
// while (longer than the band's own turns on a drift stay quiet) must have moved by the larger
// share.
constexpr double kBandShare = 0.25;
constexpr double kQuietBandShare = 0.75;
constexpr double kQuietTurnMs = 500.0;
// Quiet: the band's range (envelopes letting go within this time) below this share of the latest
// breaths' depth. Still: quiet for this share of the breaths' length (at least the shortest time,
// the longest until a rate is known), which is longer than a breath's top stays quiet; it ends
// when the range grows past the other share. The depth stays what it was while breathing has
// stopped, so a slow drift of the chest does not end the stillness.
constexpr double kEnvelopeMs = 500.0;
constexpr double kQuietShare = 0.05;
constexpr double kMovingShare = 0.1;
// Breathing shallower than that moves the band by this share of the depth within half a breath,
// or turns it back by it within a breath; for turning back, a share that fades the longer the band
// lies still (breathing may have grown much shallower), down to a multiple of the noise (the
// shaking's mean spans what the noise makes of the band).
constexpr double kSwingShare = 0.15;
constexpr double kSwingFadeMs = 20000.0;
constexpr double kSwingNoise = 3.0;
constexpr double kSwingMaxMs = 2000.0;  // ... within half a breath, but no longer than this
constexpr double kQuietBreathShare = 0.3;
constexpr double kQuietMinMs = 1500.0;
constexpr double kQuietMaxMs = 4500.0;
// An inhale at least this share of the latest breaths' depth, this share of their length after
// its trough, is a breath when it is held.
constexpr double kHeldDepthShare = 0.7;
constexpr double kInhaleShare = 0.6;
constexpr double kHeldLagMs = 1000.0;
// How much of the depth, and of the lag between a peak and its being seen, each breath makes.
constexpr double kDepthStep = 0.3;
constexpr double kLagStep = 0.3;

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
  // A breath held after breathing in is timed as if seen as late after its top as the latest
  // breaths were, but no more than a second: its top is known, the slow fall of a slow breath is
  // not waited for.
  const std::uint64_t seen =
      heldTopMs_ > 0 ? std::max(lastSeenMs_, heldTopMs_ + heldLagMs_) : lastSeenMs_;
  const std::uint64_t unseen = observedMs_ > seen ? observedMs_ - seen : 0;
  if (!apnea_ && unseen > std::uint64_t(apneaLimitSeconds_) * 1000) {
    apnea_ = true;
    apneaFromMs_ = observedMs_;
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
  update.inhaling = phase_ == Phase::SeekPeak;
  return update;
}

void BreathDetector::seed(double force) {
  smooth1_ = smooth2_ = smooth3_ = baseline_ = force;
  bandHigh_ = bandLow_ = bandExtreme_ = force;
  shakeLow_ = 0.0;
  baselineMs_ = 0.0;
  detrended_ = 0.0;
  levelMean_ = 0.0;
  quietMs_ = 0.0;
  still_ = false;
  restedSinceTurn_ = false;
  phase_ = Phase::SeekTrough;
  extreme_ = 0.0;
}

void BreathDetector::filter(double x, std::uint32_t dtMs) {
  const double dt = dtMs;
  if (dt != stepMs_) {
    // The step is nearly always the last one's: its shares are worked out once.
    stepMs_ = dt;
    smoothShare_ = share(dt, kSmoothMs);
    envelopeShare_ = share(dt, kEnvelopeMs);
    fadeShare_ = share(dt, kSwingFadeMs);
  }
  const double smooth = smoothShare_;
  const double band = smooth3_;
  smooth1_ += smooth * (x - smooth1_);
  smooth2_ += smooth * (smooth1_ - smooth2_);
  smooth3_ += smooth * (smooth2_ - smooth3_);

  watchStillness(dt);

  // Until the baseline has seen a full time constant it is the plain mean since it was seeded,
  // so that a first sample taken at a peak does not linger. While the band lies still the
  // baseline moves with it: a mean creeping towards a held chest would be taken for breathing.
  baselineMs_ += dt;
  if (still_) {
    baseline_ += smooth3_ - band;
  } else {
    const double toBaseline =
        std::max(share(dt, kBaselineMs), baselineMs_ > 0 ? dt / baselineMs_ : 1.0);
    baseline_ += toBaseline * (smooth3_ - baseline_);
  }
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

void BreathDetector::watchStillness(double dt) {
  // The band's range over the last moments, against the breathing's depth: has the chest stopped?
  const double band = smooth3_;
  bandHigh_ = std::max(band, bandHigh_ + envelopeShare_ * (band - bandHigh_));
  bandLow_ = std::min(band, bandLow_ + envelopeShare_ * (band - bandLow_));
  const double range = bandHigh_ - bandLow_;
  if (!still_) {
    if (depth_ <= 0.0 || range >= kQuietShare * depth_) {
      quietMs_ = 0.0;
      return;
    }
    quietMs_ += dt;
    const double quietEnough =
        breathMs_ > 0.0 ? std::clamp(kQuietBreathShare * breathMs_, kQuietMinMs, kQuietMaxMs)
                        : kQuietMaxMs;
    if (quietMs_ < quietEnough) return;
    still_ = true;
    restedSinceTurn_ = true;
    stillMs_ = 0.0;
    swingFade_ = 1.0;
    swingDirection_ = 0;
    swingHigh_ = swingLow_ = swingExtreme_ = band;
    swingHighMs_ = swingLowMs_ = 0.0;
    return;
  }
  if (range > kMovingShare * depth_) {
    still_ = false;
    quietMs_ = 0.0;
    return;
  }
  // Breathing shallower than the stillness allows for still moves the band by a share of the
  // depth within half a breath, or turns it back within a breath; a slow drift, however far it
  // goes, does neither. That ends the stillness, and the depth is what the band swung by.
  stillMs_ += dt;
  swingFade_ -= fadeShare_ * swingFade_;
  const double swing = std::max(kSwingShare * depth_, kSwingNoise * shaking_);
  const double turn = std::max(kSwingShare * depth_ * swingFade_, kSwingNoise * shaking_);
  const double breath = breathMs_ > 0.0 ? breathMs_ : kQuietMaxMs;
  if (swingDirection_ == 0) {
    if (band > swingHigh_) {
      swingHigh_ = band;
      swingHighMs_ = stillMs_;
    }
    if (band < swingLow_) {
      swingLow_ = band;
      swingLowMs_ = stillMs_;
    }
    if (band < swingLow_ + turn && band > swingHigh_ - turn) return;
    // The first move: from the low up or from the high down.
    swingDirection_ = band >= swingLow_ + turn ? 1 : -1;
    swingFrom_ = swingDirection_ > 0 ? swingLow_ : swingHigh_;
    swingFromMs_ = swingDirection_ > 0 ? swingLowMs_ : swingHighMs_;
    swingExtreme_ = band;
    swingExtremeMs_ = stillMs_;
  }
  if (swingDirection_ * (band - swingExtreme_) > 0.0) {
    swingExtreme_ = band;
    swingExtremeMs_ = stillMs_;
  }
  const double moved = std::fabs(swingExtreme_ - swingFrom_);
  const double took = swingExtremeMs_ - swingFromMs_;
  const bool turnedBack = std::fabs(swingExtreme_ - band) >= turn;
  if ((moved >= swing && took <= std::min(0.5 * breath, kSwingMaxMs)) ||
      (turnedBack && moved >= turn && took <= breath)) {
    still_ = false;
    quietMs_ = 0.0;
    depth_ = std::min(depth_, moved);
    return;
  }
  if (turnedBack) {
    // Too slow for a breath: the next move starts where this one turned.
    swingDirection_ = -swingDirection_;
    swingFrom_ = swingExtreme_;
    swingFromMs_ = swingExtremeMs_;
    swingExtreme_ = band;
    swingExtremeMs_ = stillMs_;
  }
}

void BreathDetector::detect(BreathUpdate& update) {
  turn(update);
  findHeldTop();
}

void BreathDetector::turn(BreathUpdate& update) {
  remember(centre_);
  followDelayed();
  const double hysteresis = std::max({kFloorGrams, kLevelShare * level_, kShakeShare * shaking_});
  const double d = detrended_;
  const double band = smooth3_;
  const double bandTurn = (quietMs_ >= kQuietTurnMs ? kQuietBandShare : kBandShare) * hysteresis;
  // A still chest turns no breath, however small the hysteresis has grown since it stopped; when it
  // moves again, a rise or a fall is measured from where it rested.
  if (still_) {
    extreme_ = d;
    bandExtreme_ = band;
    if (phase_ == Phase::SeekTrough) troughMs_ = centre_.ms;
    return;
  }
  if (phase_ == Phase::SeekTrough) {
    if (d < extreme_) {
      extreme_ = d;
      troughMs_ = centre_.ms;
    }
    bandExtreme_ = std::min(bandExtreme_, band);
    if (d > extreme_ + hysteresis && band > bandExtreme_ + bandTurn) {
      // Breathing in: the trough is behind, the peak is ahead.
      phase_ = Phase::SeekPeak;
      restedSinceTurn_ = false;
      troughLevel_ = extreme_;
      extreme_ = topLevel_ = d;
      bandExtreme_ = band;
      peakMark_ = delayed_;
      deepInhale_ = false;
    }
    return;
  }
  // A quiet band creeping up (a drift, the baseline's lag) moves no breath's top.
  if (d > topLevel_ && quietMs_ == 0.0) {
    topLevel_ = d;
    peakMark_ = delayed_;
  }
  // An inhale as deep as the latest breaths, taken within a breath's time of its trough: if it is
  // held, it is a breath held after breathing in.
  if (!deepInhale_ && breathMs_ > 0.0 && topLevel_ - troughLevel_ >= kHeldDepthShare * depth_ &&
      double(centre_.ms - troughMs_) <= kInhaleShare * breathMs_) {
    deepInhale_ = true;
  }
  extreme_ = std::max(extreme_, d);
  bandExtreme_ = std::max(bandExtreme_, band);
  if (d < extreme_ - hysteresis && band < bandExtreme_ - bandTurn) {
    // Breathing out: the breath has peaked.
    const double depth = topLevel_ - troughLevel_;
    const bool rested = restedSinceTurn_;
    phase_ = Phase::SeekTrough;
    extreme_ = d;
    bandExtreme_ = band;
    restedSinceTurn_ = false;
    countBreath(update, depth, rested);
  }
}

void BreathDetector::countBreath(BreathUpdate& update, double depth, bool rested) {
  const Moment peak = peakMark_;
  if (anyBreath_ && peak.ms < lastBreathMs_ + breathing::kRefractoryMs) return;
  ++breaths_;
  if (haveLastPeak_) pushInterval(static_cast<std::uint32_t>(peak.ms - lastBreathMs_));
  // A breath held into an apnea and breathed out at its end ends it, but the time from its top to
  // the next breath is the pause's, no breath's interval.
  haveLastPeak_ = !(apnea_ && peak.ms < apneaFromMs_);
  depth_ = anyBreath_ ? depth_ + kDepthStep * (depth - depth_) : depth;
  // A breath whose fall barely passed the hysteresis is seen late; the apnea clock takes it as seen
  // no later after its peak than the latest breaths were. One held before it was breathed out is
  // seen when it is: the apnea clock ran from its top meanwhile.
  const auto lag = double(observedMs_ - peak.ms);
  if (rested) {
    lastSeenMs_ = observedMs_;
  } else {
    lastSeenMs_ = peak.ms + std::uint64_t(anyBreath_ ? std::min(lag, seenLagMs_) : lag);
    seenLagMs_ = anyBreath_ ? seenLagMs_ + kLagStep * (lag - seenLagMs_) : lag;
    heldLagMs_ = std::uint64_t(std::min(seenLagMs_, kHeldLagMs));
  }
  anyBreath_ = true;
  lastBreathMs_ = peak.ms;
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
  ++remembered_;
}

void BreathDetector::followDelayed() {
  // The time asked for only grows, so the slot walks on: a step or two a sample.
  const std::uint64_t ms = centre_.ms > kBandDelayMs ? centre_.ms - kBandDelayMs : 0;
  const std::uint64_t oldest = remembered_ - historyCount_;
  if (delayedSlot_ < oldest) delayedSlot_ = oldest;
  while (delayedSlot_ + 1 < remembered_ && history_[(delayedSlot_ + 1) % kHistory].ms <= ms) {
    ++delayedSlot_;
  }
  delayed_ = history_[delayedSlot_ % kHistory];
}

void BreathDetector::findHeldTop() {
  heldTopMs_ = 0;
  if (phase_ != Phase::SeekPeak || !deepInhale_) return;
  // However long the band goes on creeping up, the top lies within an inhale's time of the trough
  // (set back, as the mark is, by the band's lag).
  const std::uint64_t latest = troughMs_ + inhaleMs_;
  const std::uint64_t top =
      std::min(peakMark_.ms, latest > kBandDelayMs ? latest - kBandDelayMs : 0);
  if (top <= lastBreathMs_) return;
  // A breath held into an apnea goes on timing it; an inhale during one ends it only when seen.
  if (apnea_ && top >= apneaFromMs_) return;
  heldTopMs_ = top;
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
  if (middle > 0.0) {
    rate_ = 60000.0 / middle;
    breathMs_ = middle;
    inhaleMs_ = std::uint64_t(kInhaleShare * middle);
  }
}

std::uint32_t BreathDetector::msSinceBreath() const {
  const std::uint64_t from = std::max(lastBreathMs_, heldTopMs_);
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(
      observedMs_ > from ? observedMs_ - from : 0, std::numeric_limits<std::uint32_t>::max()));
}

}  // namespace kelvaro
