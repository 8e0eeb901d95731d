#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "sim/Scenario.h"
#include "sim/SimRandom.h"

namespace kelvaro {

// One KELVARO belt as seen over the air: its address, its small GATT table and the sensor values
// it notifies. The signals run on the belt's own sample clock, 20 samples a second: sample k
// belongs to second k / 20 of the scenario timeline, however fast the samples are sent.
class BeltModel {
 public:
  static constexpr std::size_t kValueSize = 16;
  using Value = std::array<std::uint8_t, kValueSize>;
  using Address = std::array<std::uint8_t, 6>;  // least significant byte first, as on the wire

  // GATT handles of the belt's measurement service.
  static constexpr std::uint16_t kMeasurementHandle = 0x19;  // the notified value
  static constexpr std::uint16_t kConfigHandle = 0x1A;       // its client configuration
  static constexpr std::uint16_t kControlHandle = 0x1C;      // a one-byte mode register
  static constexpr std::uint16_t kLastHandle = 0x1D;
  static constexpr std::uint32_t kSampleMs = 50;

  // ATT error codes as BGAPI reports them.
  static constexpr std::uint16_t kInvalidHandle = 0x0401;
  static constexpr std::uint16_t kWriteNotPermitted = 0x0403;
  static constexpr std::uint16_t kInvalidLength = 0x040D;

  // index tells the belts of one seed apart.
  BeltModel(std::uint64_t seed, int index);

  // A recorded belt keeps the address and the signal strength a capture heard.
  void takeIdentity(const Address& address, int rssiMean) {
    address_ = address;
    rssiMean_ = rssiMean;
  }

  const Address& address() const { return address_; }
  int rssiMean() const { return rssiMean_; }
  bool notifying() const { return notifying_; }
  std::uint8_t controlValue() const { return control_; }
  std::uint64_t samples() const { return samples_; }

  // A write request from the connected client; returns the ATT result (0 = written).
  std::uint16_t write(std::uint16_t handle, const std::uint8_t* data, std::size_t size);
  // The link is gone: the client configuration of an unbonded client is forgotten.
  void linkClosed();

  // Produces the next sample, in the value layout the monitor decodes.
  void nextValue(const ScenarioTimeline& timeline, Value& out);

  // The truth about the wearer's breathing, for tests and benchmarks to compare with. A breath is
  // counted at the sample where it peaks (the end of breathing in). When breathing stops (apnea)
  // or the belt is taken off, no new breath starts once the one in progress is out; when the
  // breath is held after breathing in (hold), the one in progress is breathed in to its peak, or,
  // past it, out and in once more, and rests there: that peak is the last one until it resumes.
  std::uint64_t breaths() const { return breaths_; }
  // The sample number (0 for the first) of the latest breath's peak; none before the first.
  std::optional<std::uint64_t> lastBreathSample() const;
  // Breaths a minute: the median of the latest five breath-to-breath intervals, from the third
  // breath since the start or since breathing last stopped; none before that.
  std::optional<double> breathingRate() const;

 private:
  struct Targets {
    double force1Base, force2Base, breathAmplitude, breathSeconds, noise;
    double tiltX, tiltY, tiltZ;  // gravity direction (unit vector, roughly)
    double temperature;          // centidegrees the sensor settles to
    bool motion;
    bool worn = true;
    bool holdsIn = false;  // not breathing: held at the end of breathing in, not of breathing out
    double pacedSeconds = 0;  // kept to a pacer: every breath this long (0: the pace wanders)
  };
  static constexpr int kRateIntervals = 5;

  Targets targetsFor(Scenario scenario) const;
  Targets targetsFor(const ScenarioTimeline::Step& step) const;
  double breathShape(double phase) const;
  void advanceBreath(const Targets& target);
  void startBreath(const Targets& target);

  Address address_{};
  int rssiMean_ = -55;
  SimRandom random_;
  bool notifying_ = false;
  std::uint8_t control_ = 0;

  std::uint64_t samples_ = 0;
  std::uint16_t tag_ = 0;
  // Per-belt constants.
  double force1Offset_ = 0, force2Offset_ = 0, batteryStart_ = 4150, temperatureOffset_ = 0;
  // Smoothed state, so that a change of scenario blends in over a second or two.
  double force1Base_ = 0, force2Base_ = 0, amplitude_ = 0, noise_ = 1;
  double tiltX_ = 0, tiltY_ = 1, tiltZ_ = 0;
  double temperature_ = 3100;
  double breathPhase_ = 0, breathSamples_ = 80, breathDepth_ = 1;
  // The pace wanders slowly from breath to breath around the scenario's own; a stream of its own,
  // so that the other signals draw the same numbers as without it.
  SimRandom paceRandom_;
  double pace_ = 1.0;
  bool holding_ = false;  // not breathing: the phase rests at the end of breathing out or in
  // Kept to a pacer: breath k of the run ends k periods after its start, give or take 2 % of a
  // period, so the breathing keeps one steady phase instead of drifting away from the pacer.
  bool paced_ = false;
  double pacedPeriod_ = 0, pacedOrigin_ = 0;
  std::uint64_t pacedBreaths_ = 0;
  // The truth: breaths, and the sample numbers of the latest peaks since breathing last stopped.
  std::uint64_t breaths_ = 0;
  std::uint64_t lastPeak_ = 0;
  int runBreaths_ = 0;
  std::array<std::uint64_t, kRateIntervals> intervals_{};
  int intervalCount_ = 0;
  // Motion: bursts of steps and turns, with a posture shift in the force base line.
  int burstLeft_ = 0;
  double burstPhase_ = 0, burstStep_ = 0.1, burstAccel_ = 0, burstForce_ = 0, posture_ = 0;
};

}  // namespace kelvaro
