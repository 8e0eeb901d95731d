#include "guide/FollowingScore.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace kelvaro {

namespace {

constexpr double kPi = 3.141592653589793;

// 1 up to `full`, falling straight to 0 at `none`.
double ramp(double value, double full, double none) {
  if (value <= full) return 1.0;
  if (value >= none) return 0.0;
  return (none - value) / (none - full);
}

// `ms` brought into [-cycle / 2, cycle / 2).
std::int64_t wrapped(std::int64_t ms, std::int64_t cycle) {
  std::int64_t r = (ms + cycle / 2) % cycle;
  if (r < 0) r += cycle;
  return r - cycle / 2;
}

}  // namespace

FollowingScore::FollowingScore(const GuidePacer& pacer)
    : pacer_(pacer), cycleMs_(std::int64_t(pacer.cycleMs())) {}

void FollowingScore::reset() {
  next_ = 0;
  count_ = 0;
  total_ = 0;
  firstPeakMs_ = lastPeakMs_ = 0;
  runStartMs_ = longestMs_ = 0;
  inRun_ = false;
}

const FollowingScore::Breath& FollowingScore::kept(std::size_t back) const {
  return ring_[(next_ + kKept - 1 - back) % kKept];
}

std::int64_t FollowingScore::limitMs() const {
  return std::int64_t(double(cycleMs_) * (1.0 + kLengthNone)) + kConfirmMs;
}

std::int64_t FollowingScore::delayOf(std::int64_t peakMs) const {
  return wrapped(peakMs - std::int64_t(pacer_.peakMs(0)), cycleMs_);
}

double FollowingScore::steadyDelayMs(std::int64_t fromMs, std::int64_t delayMs) const {
  const double toAngle = 2.0 * kPi / double(cycleMs_);
  double c = std::cos(double(delayMs) * toAngle), s = std::sin(double(delayMs) * toAngle);
  for (std::size_t back = 0; back < count_; ++back) {
    const Breath& b = kept(back);
    if (b.peakMs < fromMs) break;
    c += std::cos(double(b.delayMs) * toAngle);
    s += std::sin(double(b.delayMs) * toAngle);
  }
  return std::atan2(s, c) / toAngle;
}

void FollowingScore::breath(std::int64_t peakMs) {
  if (peakMs < 0 || (total_ > 0 && peakMs <= lastPeakMs_)) return;
  Breath b;
  b.startMs = total_ > 0 ? lastPeakMs_ : 0;
  b.peakMs = peakMs;
  b.judged = total_ > 0;
  b.delayMs = delayOf(peakMs);
  if (b.judged) {
    const double cycle = double(cycleMs_);
    const double steady = steadyDelayMs(peakMs - kWindowMs, b.delayMs);
    const double length = double(peakMs - b.startMs);
    const double off = double(wrapped(b.delayMs - std::llround(steady), cycleMs_));
    b.share = ramp(std::fabs(length - cycle) / cycle, kLengthFull, kLengthNone) *
              ramp(std::fabs(off) / cycle, kSteadyFull, kSteadyNone) *
              ramp(std::fabs(steady) / cycle, kDelayFull, kDelayNone);
  }
  ring_[next_] = b;
  next_ = (next_ + 1) % kKept;
  count_ = std::min(count_ + 1, kKept);
  if (total_ == 0) firstPeakMs_ = peakMs;
  lastPeakMs_ = peakMs;
  ++total_;

  if (b.judged && b.share >= kFollowedShare) {
    if (!inRun_) {
      inRun_ = true;
      runStartMs_ = b.startMs;
    }
    longestMs_ = std::max(longestMs_, peakMs - runStartMs_);
  } else {
    inRun_ = false;
  }
}

std::optional<double> FollowingScore::scoreAt(std::int64_t nowMs) const {
  const std::int64_t from = std::max<std::int64_t>(0, nowMs - kWindowMs);
  const std::int64_t limit = limitMs();
  double followed = 0.0, counted = 0.0;
  // The time since the last peak (or the start): not yet judged, unless it is already too long.
  const std::int64_t open = total_ > 0 ? lastPeakMs_ : 0;
  if (nowMs - open > limit) counted += double(nowMs - std::max(open, from));
  for (std::size_t back = 0; back < count_; ++back) {
    const Breath& b = kept(back);
    if (b.peakMs <= from) break;
    const double overlap = double(std::min(b.peakMs, nowMs) - std::max(b.startMs, from));
    if (overlap <= 0) continue;
    if (b.judged) {
      followed += b.share * overlap;
      counted += overlap;
    } else if (b.peakMs - b.startMs > limit) {
      counted += overlap;
    }
  }
  if (counted <= 0) return std::nullopt;
  return 100.0 * followed / counted;
}

std::optional<double> FollowingScore::lastBreathShare() const {
  if (count_ == 0 || !kept(0).judged) return std::nullopt;
  return kept(0).share;
}

std::optional<std::int64_t> FollowingScore::lastDelayMs() const {
  if (count_ == 0) return std::nullopt;
  return kept(0).delayMs;
}

std::optional<double> FollowingScore::meanRatePerMinute() const {
  if (total_ < 2 || lastPeakMs_ <= firstPeakMs_) return std::nullopt;
  return 60000.0 * double(total_ - 1) / double(lastPeakMs_ - firstPeakMs_);
}

}  // namespace kelvaro
