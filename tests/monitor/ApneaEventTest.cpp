// The core notes an apnea as one event, with its duration, once breathing resumes: the simulated
// belt's wearer stops breathing for a while, and the event's times are checked against the
// simulator's truth.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "breathing/BreathTestSupport.h"
#include "monitor/MonitorCore.h"
#include "support/FakeSerialTransport.h"

namespace kelvaro {
namespace {

struct NotedApnea {
  std::uint32_t tick;
  std::uint32_t durationMs;
};

class ApneaBelt final : public breathtest::SimWire, private MeasurementConsumer {
 public:
  explicit ApneaBelt(const SimOptions& options)
      : SimWire(options), core_(ticks(), pump_, port_, scanView_, display_) {
    core_.graph().createPoints();
    core_.addConsumer(*this);
    connect();
  }
  MonitorCore& core() { return core_; }
  std::vector<NotedApnea> apneas;
  std::vector<std::uint32_t> truePeaks;

 private:
  void arrived(const std::uint8_t* bytes, std::size_t size) override { core_.feed(bytes, size); }
  void stepped() override {
    const BeltModel& belt = dongle().belts()[0];
    if (belt.breaths() != breaths_) {
      breaths_ = belt.breaths();
      truePeaks.push_back(ticks().tick());
    }
  }
  void eventNoted(const MonitorEvent& e) override {
    if (e.kind == MonitorEventKind::Apnea) apneas.push_back({e.tick, e.durationMs});
  }

  NoEventLoop pump_;
  testing::FakeSerialTransport port_;
  NullScanView scanView_;
  NullMonitorDisplay display_;
  MonitorCore core_;
  std::uint64_t breaths_ = 0;
};

TEST(ApneaEvent, OnePauseIsOneEventFromTheLastBreathToTheBreathingAgain) {
  ApneaBelt belt(breathtest::world("breathing:60,apnea:25,breathing:60", 2));
  belt.run(70000);
  EXPECT_TRUE(belt.apneas.empty()) << "noted when it is over, with its length";
  belt.run(35000);
  ASSERT_EQ(belt.apneas.size(), 1u);
  // The pause: the longest time between two true peaks.
  std::size_t k = 0;
  for (std::size_t i = 1; i + 1 < belt.truePeaks.size(); ++i) {
    if (belt.truePeaks[i + 1] - belt.truePeaks[i] > belt.truePeaks[k + 1] - belt.truePeaks[k])
      k = i;
  }
  const std::uint32_t lastPeak = belt.truePeaks[k];
  const std::uint32_t resumed = belt.truePeaks[k + 1];
  ASSERT_GT(resumed - lastPeak, 20000u);
  // It began where the last breath peaked (as the detector saw it) and lasted until a breath was
  // seen again, a little after the next true peak.
  EXPECT_NEAR(double(belt.apneas[0].tick), double(lastPeak), 700.0);
  EXPECT_NEAR(double(belt.apneas[0].tick + belt.apneas[0].durationMs), double(resumed), 2500.0);
}

TEST(ApneaEvent, AnApneaUnderWayWhenTheBeltGoesIsOverWhereTheDataStopped) {
  ApneaBelt belt(breathtest::world("breathing:60,apnea", 3));
  belt.run(60000 + 15000);
  ASSERT_TRUE(belt.apneas.empty());
  belt.core().linkConnected(QStringLiteral("000780008D83"));
  belt.core().linkDisconnected();
  ASSERT_EQ(belt.apneas.size(), 1u);
  EXPECT_GT(belt.apneas[0].durationMs, 10000u);
  EXPECT_LE(belt.apneas[0].tick + belt.apneas[0].durationMs, belt.ticks().tick());
}

}  // namespace
}  // namespace kelvaro
