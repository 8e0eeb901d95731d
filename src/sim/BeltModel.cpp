#include "sim/BeltModel.h"

#include <algorithm>
#include <cmath>

namespace kelvaro {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kGravityCounts = 256.0;  // 1 g
constexpr double kSamplesPerSecond = 1000.0 / BeltModel::kSampleMs;
// Scenario changes blend in with a time constant of one second.
constexpr double kBlend = 1.0 / kSamplesPerSecond;
// The sensor's housing warms up or cools down slowly (three minutes).
constexpr double kThermalBlend = 1.0 / (180.0 * kSamplesPerSecond);
// A breath's phase runs from 0 to 1: breathing in up to its peak here, breathing out after it.
constexpr double kPeakPhase = 0.4;

std::uint16_t toUnsigned16(double value) {
  return static_cast<std::uint16_t>(std::clamp(std::lround(value), 0L, 65535L));
}
std::int16_t toSigned16(double value) {
  return static_cast<std::int16_t>(std::clamp(std::lround(value), -32768L, 32767L));
}
void put16(std::uint8_t* at, std::uint16_t value) {
  at[0] = static_cast<std::uint8_t>(value & 0xFF);
  at[1] = static_cast<std::uint8_t>(value >> 8);
}

}  // namespace

BeltModel::BeltModel(std::uint64_t seed, int index)
    : random_(SimRandom::derive(seed, 0x100 + static_cast<std::uint64_t>(index))),
      paceRandom_(SimRandom::derive(seed, 0x200 + static_cast<std::uint64_t>(index))) {
  // Bluegiga's OUI, then three bytes of the belt's own: written most significant first as
  // 00:07:80:xx:xx:xx, stored least significant first as the air and BGAPI carry it.
  address_ = {static_cast<std::uint8_t>(random_.next()),
              static_cast<std::uint8_t>(random_.next()),
              static_cast<std::uint8_t>(index),
              0x80,
              0x07,
              0x00};
  rssiMean_ = -42 - static_cast<int>(random_.between(0, 8)) - 6 * index;
  // Whole counts, so that a still belt reads one steady number rather than flickering between
  // two.
  force1Offset_ = static_cast<double>(random_.between(-150, 150));
  force2Offset_ = static_cast<double>(random_.between(-80, 80));
  batteryStart_ = 4150.0 + random_.uniform(-20.0, 20.0);
  temperatureOffset_ = random_.uniform(-40.0, 40.0);
  tag_ = static_cast<std::uint16_t>(random_.next());
  breathPhase_ = random_.uniform();
}

std::uint16_t BeltModel::write(std::uint16_t handle, const std::uint8_t* data, std::size_t size) {
  switch (handle) {
    case kConfigHandle:
      if (size != 2) return kInvalidLength;
      // Bit 0 switches notifications; the belt offers no indications.
      notifying_ = (data[0] & 0x01) != 0;
      return 0;
    case kControlHandle:
      if (size != 1) return kInvalidLength;
      control_ = data[0];
      return 0;
    default:
      if (handle == 0 || handle > kLastHandle) return kInvalidHandle;
      return kWriteNotPermitted;
  }
}

void BeltModel::linkClosed() { notifying_ = false; }

BeltModel::Targets BeltModel::targetsFor(Scenario scenario) const {
  const double worn = 3100.0 + temperatureOffset_;
  switch (scenario) {
    case Scenario::Shallow:
      return {
          1205 + force1Offset_, 822 + force2Offset_, 11.0, 3.3, 0.8, 0.06, 0.99, 0.10, worn, false};
    case Scenario::Apnea:
      return {
          1190 + force1Offset_, 818 + force2Offset_, 0.0, 4.0, 0.7, 0.06, 0.99, 0.10, worn, false};
    case Scenario::Hold: {
      // As still as an apnea, at the top of the breath rather than at its bottom.
      Targets held = targetsFor(Scenario::Apnea);
      held.holdsIn = true;
      return held;
    }
    case Scenario::Moving:
      return {
          1220 + force1Offset_, 830 + force2Offset_, 175.0, 2.6, 2.0, 0.15, 0.97, 0.18, worn, true};
    case Scenario::Off:
      return {940 + force1Offset_,
              700 + force2Offset_,
              0.0,
              4.0,
              0.2,
              0.01,
              0.02,
              1.0,
              2450.0 + temperatureOffset_,
              false,
              false};
    case Scenario::Breathing:
      break;
  }
  return {1200 + force1Offset_, 820 + force2Offset_, 62.0, 4.0, 1.0, 0.06, 0.99, 0.12, worn, false};
}

BeltModel::Targets BeltModel::targetsFor(const ScenarioTimeline::Step& step) const {
  Targets target = targetsFor(step.scenario);
  if (step.pacePerMinute > 0) {
    target.breathSeconds = 60.0 / step.pacePerMinute;
    target.pacedSeconds = target.breathSeconds;
  }
  return target;
}

// One breath, -1 (end of breathing out) to 1 (end of breathing in): in for 40 %, out for 60 %.
double BeltModel::breathShape(double phase) const {
  phase -= std::floor(phase);
  if (phase < kPeakPhase) return -std::cos(kPi * phase / kPeakPhase);
  return std::cos(kPi * (phase - kPeakPhase) / (1.0 - kPeakPhase));
}

std::optional<std::uint64_t> BeltModel::lastBreathSample() const {
  if (breaths_ == 0) return std::nullopt;
  return lastPeak_;
}

std::optional<double> BeltModel::breathingRate() const {
  if (runBreaths_ < 3) return std::nullopt;
  const int n = std::min(intervalCount_, kRateIntervals);
  std::array<std::uint64_t, kRateIntervals> sorted = intervals_;
  // An insertion sort of at most five (std::sort draws a false array-bounds warning from GCC 12).
  for (std::size_t i = 1; i < std::size_t(n); ++i) {
    for (std::size_t j = i; j > 0 && sorted[j] < sorted[j - 1]; --j) {
      std::swap(sorted[j], sorted[j - 1]);
    }
  }
  const double samples =
      n % 2 == 1 ? double(sorted[std::size_t(n / 2)])
                 : 0.5 * double(sorted[std::size_t(n / 2 - 1)] + sorted[std::size_t(n / 2)]);
  return 60.0 * kSamplesPerSecond / samples;
}

void BeltModel::startBreath(const Targets& target) {
  if (target.pacedSeconds > 0) {
    const double period = target.pacedSeconds * kSamplesPerSecond;
    if (!paced_ || pacedPeriod_ != period) {
      paced_ = true;
      pacedPeriod_ = period;
      pacedOrigin_ = static_cast<double>(samples_);
      pacedBreaths_ = 0;
    }
    ++pacedBreaths_;
    const double end = pacedOrigin_ + static_cast<double>(pacedBreaths_) * period +
                       period * random_.uniform(-0.02, 0.02);
    breathSamples_ = std::max(0.5 * period, end - static_cast<double>(samples_));
    breathDepth_ = random_.uniform(0.9, 1.1);
    return;
  }
  paced_ = false;
  // Every breath is a little different in length and depth, and the pace drifts slowly.
  breathSamples_ = target.breathSeconds * kSamplesPerSecond * random_.uniform(0.88, 1.12);
  breathDepth_ = random_.uniform(0.85, 1.15);
  pace_ = std::clamp(pace_ + 0.1 * (1.0 - pace_) + 0.03 * paceRandom_.gauss(), 0.85, 1.15);
  breathSamples_ *= pace_;
}

void BeltModel::advanceBreath(const Targets& target) {
  const bool breathes = target.breathAmplitude > 0;
  if (holding_) {
    if (!breathes) return;
    holding_ = false;
    // Held after breathing out, a new breath starts; held after breathing in, this one goes on.
    if (breathPhase_ < kPeakPhase) {
      breathPhase_ = 0.0;
      startBreath(target);
    }
  }
  const double before = breathPhase_;
  breathPhase_ += 1.0 / breathSamples_;
  if (breathPhase_ >= 1.0) {
    if (breathes || target.holdsIn) {
      breathPhase_ -= 1.0;
      startBreath(target);
    } else {
      // Breathing stops at the end of breathing out; the rate starts again when it resumes.
      holding_ = true;
      paced_ = false;
      breathPhase_ = 0.0;
      runBreaths_ = 0;
      intervalCount_ = 0;
      return;
    }
  }
  if (before < kPeakPhase && breathPhase_ >= kPeakPhase) {
    if (runBreaths_ > 0) {
      intervals_[std::size_t(intervalCount_ % kRateIntervals)] = samples_ - lastPeak_;
      ++intervalCount_;
    }
    ++runBreaths_;
    ++breaths_;
    lastPeak_ = samples_;
    if (!breathes && target.holdsIn) {
      // Breathed in, and held there; the rate starts again when breathing resumes.
      holding_ = true;
      paced_ = false;
      breathPhase_ = kPeakPhase;
      runBreaths_ = 0;
      intervalCount_ = 0;
    }
  }
}

void BeltModel::nextValue(const ScenarioTimeline& timeline, Value& out) {
  const Targets target = targetsFor(timeline.stepAt(samples_ * kSampleMs));
  if (samples_ == 0) {
    // The first sample finds the belt already in its first scenario's state.
    force1Base_ = target.force1Base;
    force2Base_ = target.force2Base;
    amplitude_ = target.breathAmplitude;
    noise_ = target.noise;
    tiltX_ = target.tiltX;
    tiltY_ = target.tiltY;
    tiltZ_ = target.tiltZ;
    temperature_ = target.temperature;
    holding_ = target.breathAmplitude <= 0;
    if (holding_) breathPhase_ = target.holdsIn ? kPeakPhase : 0.0;
  }

  force1Base_ += (target.force1Base - force1Base_) * kBlend;
  force2Base_ += (target.force2Base - force2Base_) * kBlend;
  // A held breath keeps the chest where the last breath left it; a belt taken off goes slack.
  if (target.breathAmplitude > 0 || !target.worn) {
    amplitude_ += (target.breathAmplitude - amplitude_) * kBlend;
  }
  noise_ += (target.noise - noise_) * kBlend;
  tiltX_ += (target.tiltX - tiltX_) * kBlend;
  tiltY_ += (target.tiltY - tiltY_) * kBlend;
  tiltZ_ += (target.tiltZ - tiltZ_) * kBlend;
  temperature_ += (target.temperature - temperature_) * kThermalBlend;

  advanceBreath(target);
  const double breath = breathShape(breathPhase_);
  const double breathLate = breathShape(breathPhase_ - 0.03);  // the lower sensor lags a little

  double motionForce = 0, ax = 0, ay = 0, az = 0;
  if (target.motion) {
    if (burstLeft_ == 0 && random_.uniform() < 0.15) {
      burstLeft_ = static_cast<int>(random_.between(20, 80));
      burstStep_ = 1.0 / static_cast<double>(random_.between(8, 12));
      burstAccel_ = random_.uniform(80.0, 260.0);
      burstForce_ = random_.uniform(60.0, 140.0);
      posture_ = std::clamp(posture_ + random_.gauss() * 25.0, -120.0, 120.0);
    }
    if (burstLeft_ > 0) {
      --burstLeft_;
      burstPhase_ += burstStep_;
      const double s = std::sin(2 * kPi * burstPhase_);
      const double c = std::cos(2 * kPi * burstPhase_);
      motionForce = burstForce_ * s + random_.gauss() * 8.0;
      ax = 0.5 * burstAccel_ * c + random_.gauss() * 25.0;
      ay = burstAccel_ * s + random_.gauss() * 25.0;
      az = 0.3 * burstAccel_ * s + random_.gauss() * 20.0;
    }
  } else {
    burstLeft_ = 0;
    posture_ *= 1.0 - kBlend;
  }

  const double force1 = force1Base_ + posture_ + amplitude_ * breathDepth_ * breath + motionForce +
                        noise_ * random_.gauss();
  const double force2 = force2Base_ + 0.3 * posture_ +
                        0.3 * amplitude_ * breathDepth_ * breathLate + 0.5 * motionForce +
                        noise_ * random_.gauss();

  // Gravity along the belt's tilt, the chest's rise leaning it a little with every breath.
  const double norm = std::sqrt(tiltX_ * tiltX_ + tiltY_ * tiltY_ + tiltZ_ * tiltZ_);
  const double chest = 0.1 * amplitude_ * breathDepth_ * breath;
  const double accelNoise = 0.4 + 0.7 * noise_;
  ax += kGravityCounts * tiltX_ / norm + accelNoise * random_.gauss();
  ay += kGravityCounts * tiltY_ / norm - 0.1 * chest + accelNoise * random_.gauss();
  az += kGravityCounts * tiltZ_ / norm + chest + accelNoise * random_.gauss();

  // The auxiliary reading alternates: battery on even tags, temperature on odd ones.
  const bool battery = (tag_ & 1U) == 0;
  double aux = 0;
  if (battery) {
    // About 1 mV a minute of streaming, read with a few millivolts of noise.
    aux = std::max(3300.0, batteryStart_ - static_cast<double>(samples_) / 1200.0) +
          static_cast<double>(random_.between(-2, 2));
  } else {
    aux = temperature_ + static_cast<double>(random_.between(-3, 3));
  }

  out[0] = 0x00;
  out[1] = static_cast<std::uint8_t>(tag_ >> 8);
  out[2] = static_cast<std::uint8_t>(tag_ & 0xFF);
  out[3] = battery ? 1 : 2;
  put16(&out[4], toUnsigned16(force1));
  put16(&out[6], toUnsigned16(force2));
  put16(&out[8], static_cast<std::uint16_t>(toSigned16(ax)));
  put16(&out[10], static_cast<std::uint16_t>(toSigned16(ay)));
  put16(&out[12], static_cast<std::uint16_t>(toSigned16(az)));
  put16(&out[14], toUnsigned16(aux));

  ++tag_;
  ++samples_;
}

}  // namespace kelvaro
