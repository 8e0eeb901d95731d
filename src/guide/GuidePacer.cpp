#include "guide/GuidePacer.h"

#include <algorithm>
#include <cmath>

namespace kelvaro {

namespace {

constexpr double kPi = 3.141592653589793;

double toStep(double value, double low, double high, double step, double fallback) {
  if (!std::isfinite(value)) return fallback;
  return std::clamp(std::round(value / step) * step, low, high);
}

std::uint32_t toMs(double seconds) {
  return static_cast<std::uint32_t>(std::lround(seconds * 1000));
}

}  // namespace

GuideSettings GuideSettings::clamped() const {
  GuideSettings s;
  s.pacePerMinute = toStep(pacePerMinute, guide::kMinPace, guide::kMaxPace, guide::kPaceStep,
                           guide::kDefaultPace);
  s.inSharePercent = std::clamp(inSharePercent, guide::kMinInShare, guide::kMaxInShare);
  s.holdInSeconds = toStep(holdInSeconds, 0.0, guide::kMaxHoldSeconds, guide::kHoldStep, 0.0);
  s.holdOutSeconds = toStep(holdOutSeconds, 0.0, guide::kMaxHoldSeconds, guide::kHoldStep, 0.0);
  s.minutes = std::clamp(minutes, guide::kMinMinutes, guide::kMaxMinutes);
  return s;
}

bool GuideSettings::operator==(const GuideSettings& o) const {
  return pacePerMinute == o.pacePerMinute && inSharePercent == o.inSharePercent &&
         holdInSeconds == o.holdInSeconds && holdOutSeconds == o.holdOutSeconds &&
         minutes == o.minutes;
}

GuidePacer::GuidePacer(const GuideSettings& settings) : settings_(settings.clamped()) {
  cycleMs_ = toMs(60.0 / settings_.pacePerMinute);
  std::uint32_t holdIn = toMs(settings_.holdInSeconds);
  std::uint32_t holdOut = toMs(settings_.holdOutSeconds);
  const std::uint32_t most = cycleMs_ / 2;
  if (holdIn + holdOut > most) {
    const double factor = double(most) / double(holdIn + holdOut);
    holdIn = static_cast<std::uint32_t>(std::lround(holdIn * factor));
    holdOut = std::min(most - holdIn, static_cast<std::uint32_t>(std::lround(holdOut * factor)));
  }
  holdInMs_ = holdIn;
  holdOutMs_ = holdOut;
  const std::uint32_t breathing = cycleMs_ - holdIn - holdOut;
  inMs_ = static_cast<std::uint32_t>(std::lround(breathing * settings_.inSharePercent / 100.0));
  outMs_ = breathing - inMs_;
  lengthMs_ = std::uint64_t(settings_.minutes) * 60 * 1000;
}

GuideMoment GuidePacer::at(std::uint64_t ms) const {
  GuideMoment m;
  if (ms >= lengthMs_) {
    m.finished = true;
    // As at the last millisecond: the level the wave ends at.
    ms = lengthMs_ - 1;
  }
  m.cycle = ms / cycleMs_;
  std::uint32_t into = static_cast<std::uint32_t>(ms % cycleMs_);
  const std::uint32_t lengths[] = {inMs_, holdInMs_, outMs_, holdOutMs_};
  const GuidePhase phases[] = {GuidePhase::In, GuidePhase::HoldIn, GuidePhase::Out,
                               GuidePhase::HoldOut};
  for (int i = 0; i < 4; ++i) {
    if (into < lengths[i] || i == 3) {
      m.phase = phases[i];
      m.phaseMs = lengths[i];
      m.intoPhaseMs = into;
      break;
    }
    into -= lengths[i];
  }
  const double progress = m.phaseMs > 0 ? double(m.intoPhaseMs) / double(m.phaseMs) : 0.0;
  switch (m.phase) {
    case GuidePhase::In:
      m.level = 0.5 - 0.5 * std::cos(kPi * progress);
      break;
    case GuidePhase::HoldIn:
      m.level = 1.0;
      break;
    case GuidePhase::Out:
      m.level = 0.5 + 0.5 * std::cos(kPi * progress);
      break;
    case GuidePhase::HoldOut:
      m.level = 0.0;
      break;
  }
  return m;
}

std::uint64_t GuidePacer::nextChangeAfter(std::uint64_t ms) const {
  if (ms >= lengthMs_) return lengthMs_;
  const std::uint64_t cycleStart = ms / cycleMs_ * cycleMs_;
  const std::uint32_t lengths[] = {inMs_, holdInMs_, outMs_, holdOutMs_};
  std::uint64_t end = cycleStart;
  for (const std::uint32_t length : lengths) {
    end += length;
    if (length > 0 && end > ms) return std::min(end, lengthMs_);
  }
  return std::min(end, lengthMs_);
}

}  // namespace kelvaro
