#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

#include "base/ConsoleLog.h"
#include "base/TickSource.h"
#include "breathing/BreathDetector.h"
#include "link/Dispatcher.h"
#include "link/LinkState.h"
#include "link/RxFramer.h"
#include "link/ScanList.h"
#include "measure/MeasurementDecoder.h"
#include "measure/MeasurementState.h"
#include "sim/BeltModel.h"
#include "sim/SimDongle.h"
#include "sim/SimTestSupport.h"

// The simulated belt played into a breath detector, with the simulator's truth beside what the
// detector found, all on the host's millisecond clock.
namespace kelvaro::breathtest {

struct Recording {
  std::vector<std::uint32_t> truePeaks;      // when the belt sampled a breath's peak
  std::vector<std::uint32_t> detectedPeaks;  // when the detector says each breath peaked
  std::vector<std::uint32_t> apneaBegan;     // the sample that raised the apnea state
  std::vector<std::uint32_t> apneaEnded;
  // Once a second: the simulator's rate and the detector's.
  std::vector<std::pair<std::optional<double>, std::optional<double>>> rates;
  std::uint32_t firstNotification = 0;  // when the belt's first sample arrived
  std::uint64_t notifications = 0;      // decoded and fed to the detector
  std::uint64_t notificationsSent = 0;  // by the simulated dongle
  std::uint64_t trueBreaths = 0;
  std::uint64_t detectedBreaths = 0;
};

// The median of |detected - true| over the seconds when both have a rate.
inline double medianRateError(const Recording& r) {
  std::vector<double> errors;
  for (const auto& [truth, found] : r.rates) {
    if (truth && found) errors.push_back(std::fabs(*truth - *found));
  }
  if (errors.empty()) return 1e9;
  std::nth_element(errors.begin(), errors.begin() + std::ptrdiff_t(errors.size() / 2),
                   errors.end());
  return errors[errors.size() / 2];
}

// The share of the seconds with a true rate in which the detector showed none.
inline double shareWithoutRate(const Recording& r) {
  int withTruth = 0, missing = 0;
  for (const auto& [truth, found] : r.rates) {
    if (!truth) continue;
    ++withTruth;
    if (!found) ++missing;
  }
  return withTruth == 0 ? 1.0 : double(missing) / withTruth;
}

inline double countError(const Recording& r) {
  return double(r.detectedBreaths) / double(r.trueBreaths) - 1.0;
}

// Where a recording starts on the host's clock: a few minutes before the tick wraps, so every
// long run crosses the wrap.
constexpr std::uint32_t kStartTick = 0xFFFFFFFFu - 4 * 60 * 1000;

class Recorder {
 public:
  Recorder(BreathDetector& detector, Recording& out) : detector_(detector), out_(out) {}

  void notification(double force1, std::uint32_t tick) {
    if (out_.notifications++ == 0) out_.firstNotification = tick;
    const BreathUpdate u = detector_.addSample(force1, tick);
    if (u.breath) out_.detectedPeaks.push_back(u.peakTickMs);
    if (u.apneaBegan) out_.apneaBegan.push_back(tick);
    if (u.apneaEnded) out_.apneaEnded.push_back(tick);
    out_.detectedBreaths = u.breaths;
  }
  // The belt's truth after it may have produced a sample at `tick`.
  void truth(const BeltModel& belt, std::uint32_t tick) {
    if (belt.breaths() != out_.trueBreaths) {
      out_.trueBreaths = belt.breaths();
      out_.truePeaks.push_back(tick);
    }
    if (tick - lastSecond_ >= 1000) {
      lastSecond_ = tick;
      out_.rates.emplace_back(belt.breathingRate(), detector_.ratePerMinute());
    }
  }
  void startAt(std::uint32_t tick) { lastSecond_ = tick; }

 private:
  BreathDetector& detector_;
  Recording& out_;
  std::uint32_t lastSecond_ = 0;
};

// The simulated dongle on the test's clock, its bytes handed on millisecond by millisecond as they
// arrive, to whatever reads them the way the program does.
class SimWire {
 public:
  explicit SimWire(const SimOptions& options) : dongle_(options), ticks_(kStartTick) {}
  SimWire(const SimWire&) = delete;
  SimWire& operator=(const SimWire&) = delete;
  virtual ~SimWire() = default;

  void run(std::uint32_t ms) {
    for (std::uint32_t i = 0; i < ms; ++i) {
      ticks_.advance(1);
      dongle_.advanceTo(ticks_.tick());
      const auto* bytes = reinterpret_cast<const std::uint8_t*>(dongle_.outputData());
      const auto size = dongle_.outputSize();
      arrived(bytes, static_cast<std::size_t>(size));
      dongle_.consumeOutput(size);
      stepped();
    }
  }
  const SimDongle& dongle() const { return dongle_; }
  ManualTickSource& ticks() { return ticks_; }
  const ManualTickSource& ticks() const { return ticks_; }

 protected:
  // Connects the first belt and starts its notifications, 0.7 s of the wire; called by the reader
  // once it can take the bytes.
  void connect() {
    dongle_.advanceTo(ticks_.tick());
    dongle_.receive(simtest::connectCommand(dongle_.beltDeviceId(0)));
    run(400);
    dongle_.receive(simtest::hex(simtest::kSet1));
    run(300);
    dongle_.receive(simtest::hex(simtest::kSet2));
  }
  // Connects belt `index` of the world as well, on connection `handle` (the lowest one free), and
  // starts its notifications the same way, 0.7 s of the wire.
  void connectFurther(int index, std::uint8_t handle) {
    dongle_.receive(simtest::connectCommand(dongle_.beltDeviceId(index)));
    run(400);
    QByteArray set1 = simtest::hex(simtest::kSet1);
    QByteArray set2 = simtest::hex(simtest::kSet2);
    // The attribute write's connection follows its 4-byte header.
    set1[4] = static_cast<char>(handle);
    set2[4] = static_cast<char>(handle);
    dongle_.receive(set1);
    run(300);
    dongle_.receive(set2);
  }
  // This millisecond's bytes.
  virtual void arrived(const std::uint8_t* bytes, std::size_t size) = 0;
  // After them: the belt's truth may have moved on.
  virtual void stepped() {}

 private:
  SimDongle dongle_;
  ManualTickSource ticks_;
};

// The simulated belt read the way the program reads it: the framer, the dispatcher, the decoder
// and the calibration; every decoded notification's force 1 goes to the detector with the clock's
// time when its last byte arrived.
class WiredBelt final : public SimWire, private MeasurementSink {
 public:
  WiredBelt(const SimOptions& options, BreathDetector& detector, Recording& out)
      : SimWire(options),
        detector_(detector),
        recorder_(detector, out),
        dispatcher_(link_, scanList_, console_, scanView_, *this),
        framer_(ticks(), console_, dispatcher_) {
    connect();
    recorder_.startAt(ticks().tick());
  }

 private:
  void arrived(const std::uint8_t* bytes, std::size_t size) override {
    for (std::size_t b = 0; b < size; ++b) framer_.FeedRxByte(bytes[b]);
  }
  void stepped() override { recorder_.truth(dongle().belts()[0], ticks().tick()); }
  void handleMeasurementNotification(const BgapiPacket& packet) override {
    const NotificationOutcome o = kelvaro::handleMeasurementNotification(
        packet.payload.data(), packet.length, state_, calibration_, {}, console_);
    if (!o.decoded) return;
    if (o.zeroed) detector_.restartSignal();
    recorder_.notification(state_.force1Grams, ticks().tick());
  }

  BreathDetector& detector_;
  Recorder recorder_;
  ConsoleLog console_;
  LinkState link_;
  ScanList scanList_;
  NullScanView scanView_;
  MeasurementState state_;
  Calibration calibration_;
  Dispatcher dispatcher_;
  RxFramer framer_;
};

inline Recording recordWire(const SimOptions& options, std::uint32_t ms, BreathDetector& detector) {
  Recording out;
  WiredBelt belt(options, detector, out);
  belt.run(ms);
  out.notificationsSent = belt.dongle().counters().notifications;
  return out;
}

inline SimOptions world(const char* timeline, std::uint64_t seed, std::uint32_t dropEvery = 0) {
  SimOptions options;
  options.seed = seed;
  options.otherAdvertisers = 0;
  options.timeline = *ScenarioTimeline::parse(QString::fromLatin1(timeline));
  options.faults.dropEvery = dropEvery;
  return options;
}

}  // namespace kelvaro::breathtest
