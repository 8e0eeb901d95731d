// The road of one measurement through the headless core, without any window: a recording
// display stands where the window's read-outs and chart would be.
#include <QByteArray>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/EventPump.h"
#include "base/TickSource.h"
#include "link/Dispatcher.h"
#include "monitor/MonitorCore.h"
#include "support/FakeSerialTransport.h"
#include "support/NotificationPackets.h"

namespace kelvaro {
namespace {

using testing::FakeSerialTransport;

// Every call of the road, with what the core held at that moment.
class RecordingDisplay final : public MonitorDisplay {
 public:
  explicit RecordingDisplay(const MonitorCore*& core) : core_(core) {}
  void showReadings(const NotificationOutcome& out, const MeasurementState& state) override {
    calls.push_back("readings count=" + std::to_string(state.notificationCount) + " slot=" +
                    std::to_string(core_->graph().graphSlot()) + (out.gated ? " gated" : ""));
  }
  void samplePlotted(int slot) override {
    calls.push_back("plotted " + std::to_string(slot) +
                    " slot=" + std::to_string(core_->graph().graphSlot()));
  }
  void activityBlock(const ActivityBlock& block) override {
    calls.push_back("block " + std::to_string(block.blockCount) +
                    " slot=" + std::to_string(core_->graph().graphSlot()));
  }
  std::vector<std::string> calls;

 private:
  const MonitorCore*& core_;
};

// Raw forces 1000 and 500 (1250 and 500 with forces()), accelerations 16, -16, 256, battery.
QByteArray value(int raw1 = 1000, int raw2 = 500) {
  testing::RawValues raw;
  raw.force1 = static_cast<std::uint16_t>(raw1);
  raw.force2 = static_cast<std::uint16_t>(raw2);
  const testing::SensorValue v = testing::sensorValue(raw);
  return QByteArray(reinterpret_cast<const char*>(v.data()), static_cast<qsizetype>(v.size()));
}
QByteArray notification(const QByteArray& v) { return testing::notificationBytes(v); }

class MonitorCoreTest : public ::testing::Test {
 protected:
  MonitorCoreTest() : display(watched), core(ticks, pump, port, scanView, display) {
    watched = &core;
    core.graph().createPoints();
  }
  void receive(const QByteArray& bytes) {
    core.feed(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
              static_cast<std::size_t>(bytes.size()));
  }
  // As if the forces had been zeroed long ago: the next notification is plotted.
  void pastTheZeroing() { core.measurement().notificationCount = 20; }

  ManualTickSource ticks{1000};
  NoEventLoop pump;
  FakeSerialTransport port;
  NullScanView scanView;
  const MonitorCore* watched = nullptr;
  RecordingDisplay display;
  MonitorCore core;
};

TEST_F(MonitorCoreTest, AGatedNotificationIsShownPlottedAndAdvances) {
  pastTheZeroing();
  receive(notification(value(1250, 500)));

  EXPECT_EQ(display.calls,
            (std::vector<std::string>{"readings count=21 slot=0 gated", "plotted 0 slot=0"}));
  EXPECT_EQ(core.graph().graphSlot(), 1);
  EXPECT_DOUBLE_EQ(core.graph().points(livegraph::kForce1)[0], 125.0);
  EXPECT_DOUBLE_EQ(core.graph().points(livegraph::kAccelZ)[0], 256.0);
}

TEST_F(MonitorCoreTest, AnUngatedNotificationIsShownOnly) {
  receive(notification(value(1250, 500)));

  EXPECT_EQ(display.calls, (std::vector<std::string>{"readings count=1 slot=0"}));
  EXPECT_EQ(core.graph().graphSlot(), 0);
  EXPECT_DOUBLE_EQ(core.graph().points(livegraph::kForce1)[0], 0.0);
}

TEST_F(MonitorCoreTest, GraphFreezeHoldsTheGraphButNotTheReadOuts) {
  pastTheZeroing();
  core.switches().freeze = true;
  receive(notification(value(1250, 500)));
  receive(notification(value(1300, 500)));

  EXPECT_EQ(display.calls,
            (std::vector<std::string>{"readings count=21 slot=0", "readings count=22 slot=0"}));
  EXPECT_EQ(core.graph().graphSlot(), 0);
  EXPECT_DOUBLE_EQ(core.measurement().force1Grams, 150.0);

  core.switches().freeze = false;
  receive(notification(value(1350, 500)));
  EXPECT_EQ(display.calls.back(), "plotted 0 slot=0");
  EXPECT_EQ(core.graph().graphSlot(), 1);
}

// After a reset of the count the tenth notification zeroes both forces, the eleventh is still
// held back and the twelfth is the first one plotted.
TEST_F(MonitorCoreTest, TheTenthZeroesAndTheTwelfthIsTheFirstPlotted) {
  for (int i = 1; i <= 9; ++i) receive(notification(value(1250, 500)));
  const struct {
    std::uint32_t count;
    int raw1;
    double grams;
    int slotAfter;
    bool plotted;
  } steps[] = {{10, 1200, 0.0, 0, false}, {11, 1250, 25.0, 0, false}, {12, 1300, 50.0, 1, true}};
  for (const auto& s : steps) {
    SCOPED_TRACE(s.count);
    display.calls.clear();
    receive(notification(value(s.raw1, 500)));
    EXPECT_EQ(core.measurement().notificationCount, s.count);
    EXPECT_DOUBLE_EQ(core.measurement().force1Grams, s.grams);
    EXPECT_EQ(core.graph().graphSlot(), s.slotAfter);
    EXPECT_EQ(display.calls.size(), s.plotted ? 2u : 1u);
  }
  EXPECT_EQ(core.calibration().ofs1, 1200);
  EXPECT_DOUBLE_EQ(core.graph().points(livegraph::kForce1)[0], 50.0);
}

TEST_F(MonitorCoreTest, TheWritePositionWrapsAfterThe501stPoint) {
  pastTheZeroing();
  for (int i = 0; i < livegraph::kLastPoint; ++i) core.graph().advanceSlot();
  receive(notification(value(1250, 500)));

  EXPECT_EQ(display.calls.back(), "plotted 500 slot=500");
  EXPECT_DOUBLE_EQ(core.graph().points(livegraph::kForce1)[livegraph::kLastPoint], 125.0);
  EXPECT_EQ(core.graph().graphSlot(), 0);

  receive(notification(value(1300, 500)));
  EXPECT_EQ(display.calls.back(), "plotted 0 slot=0");
  EXPECT_EQ(core.graph().graphSlot(), 1);
}

TEST_F(MonitorCoreTest, AValueShorterThanSixteenBytesChangesNothing) {
  pastTheZeroing();
  receive(notification(value().left(15)));

  EXPECT_TRUE(display.calls.empty());
  EXPECT_EQ(core.measurement().notificationCount, 20u);
  EXPECT_EQ(core.graph().graphSlot(), 0);
}

TEST_F(MonitorCoreTest, LogTracesEachNotification) {
  receive(notification(value()));
  const int lines = core.console().count();
  core.switches().log = true;
  receive(notification(value()));
  ASSERT_EQ(core.console().count(), lines + 1);
  EXPECT_EQ(core.console().last(),
            QStringLiteral("E45 EvtVal=16 = 00 00 7F 01 E8 03 F4 01 10 00 F0 FF 00 01 7A 0F "));
}

// The activity computation is primed by the zeroing (the tenth notification) and sees only the
// charted ones: its first block ends with the 200th of them, right after that sample is plotted
// and before the write position advances.
TEST_F(MonitorCoreTest, TheActivityBlockEndsWithThe200thChartedSample) {
  for (int i = 1; i <= 11; ++i) receive(notification(value(1000 + 10 * (i % 3), 500)));
  EXPECT_EQ(core.activity().position(), 0);
  for (int i = 0; i < 199; ++i) receive(notification(value(1000 + 10 * (i % 3), 500)));
  EXPECT_EQ(core.activity().position(), 199);
  display.calls.clear();

  receive(notification(value(1000, 500)));

  EXPECT_EQ(display.calls, (std::vector<std::string>{"readings count=211 slot=199 gated",
                                                     "plotted 199 slot=199", "block 1 slot=199"}));
  EXPECT_EQ(core.activity().blockCount(), 1);
  EXPECT_GT(core.activity().forceActivity(), 0.0);
}

// The port's receive event goes through the same road as fed bytes.
TEST_F(MonitorCoreTest, ReceiveReadsThePort) {
  pastTheZeroing();
  port.inject(notification(value(1250, 500)), false);
  core.receive();
  EXPECT_EQ(core.measurement().notificationCount, 21u);
  EXPECT_EQ(core.graph().graphSlot(), 1);
}

// A consumer of every notification, registered as the Scratch link is, sits at the end of the
// road and sees every decoded notification: the first eleven and frozen ones too, after the plot
// and the advance of the write position.
class RecordingScratch final : public MeasurementConsumer {
 public:
  RecordingScratch(const MonitorCore& core, std::vector<std::string>& calls)
      : core_(core), calls_(calls) {}
  void notificationDecoded(const DecodedNotification& n) override {
    const MeasurementState& m = n.state;
    calls_.push_back("scratch " + std::to_string(m.accelX) + " " + std::to_string(m.accelY) + " " +
                     std::to_string(m.accelZ) + " " + std::to_string(m.force1Grams) + " " +
                     std::to_string(m.force2Grams) +
                     " slot=" + std::to_string(core_.graph().graphSlot()));
  }

 private:
  const MonitorCore& core_;
  std::vector<std::string>& calls_;
};

TEST_F(MonitorCoreTest, EveryDecodedNotificationGoesToScratchLast) {
  RecordingScratch scratch(core, display.calls);
  core.addConsumer(scratch);
  const std::string values = "scratch 16 -16 256 ";
  for (int i = 1; i <= 11; ++i) receive(notification(value(1250, 500)));
  ASSERT_EQ(display.calls.size(), 22u) << "the first eleven: shown and sent";
  EXPECT_EQ(display.calls[1], values + "125.000000 -250.000000 slot=0");
  EXPECT_EQ(display.calls[21], values + "0.000000 0.000000 slot=0") << "zeroed at the tenth";

  display.calls.clear();
  receive(notification(value(1300, 500)));
  EXPECT_EQ(display.calls,
            (std::vector<std::string>{"readings count=12 slot=0 gated", "plotted 0 slot=0",
                                      values + "25.000000 0.000000 slot=1"}));

  display.calls.clear();
  core.switches().freeze = true;
  receive(notification(value(1350, 500)));
  EXPECT_EQ(display.calls, (std::vector<std::string>{"readings count=13 slot=1",
                                                     values + "50.000000 0.000000 slot=1"}));

  display.calls.clear();
  receive(notification(value().left(15)));
  EXPECT_TRUE(display.calls.empty()) << "nothing decoded, nothing sent";

  core.removeConsumer(scratch);
  receive(notification(value(1350, 500)));
  EXPECT_EQ(display.calls.size(), 1u);
}

// Breaths on the road: every decoded notification feeds the detector with the core's clock, a
// breath is marked where its peak was plotted, and an apnea sounds the activity alarm's outputs.
class BreathDisplay final : public MonitorDisplay {
 public:
  void showReadings(const NotificationOutcome&, const MeasurementState&) override {}
  void samplePlotted(int) override {}
  void breathing(const BreathUpdate& update) override {
    last = update;
    if (update.apneaBegan) ++apneas;
  }
  void breathMarked(int slot) override { marked.push_back(slot); }
  BreathUpdate last;
  int apneas = 0;
  std::vector<int> marked;
};

class CountingAlarm final : public ActivityAlarm {
 public:
  void soundAlarm() override { ++sounds; }
  void muteAlarm() override { ++mutes; }
  int sounds = 0;
  int mutes = 0;
};

TEST(MonitorCoreBreathingTest, BreathsAreCountedMarkedAndTheirAbsenceAlarms) {
  ManualTickSource ticks(1000);
  NoEventLoop pump;
  FakeSerialTransport port;
  NullScanView scanView;
  BreathDisplay display;
  MonitorCore core(ticks, pump, port, scanView, display);
  core.graph().createPoints();
  CountingAlarm alarm;
  core.activity().setAlarm(&alarm);
  core.activity().settings().sound = true;
  core.activity().settings().mute = false;
  core.activity().settings().alarmLevel = -1;  // the activity itself never alarms here
  const auto feed = [&](int raw1) {
    const QByteArray bytes = notification(value(raw1, 500));
    core.feed(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
              static_cast<std::size_t>(bytes.size()));
    ticks.advance(50);
  };
  // 63 s of breathing at 15 a minute (4 s a breath, 60 g deep at the default slope of 0.5),
  // ending breathed out.
  for (int i = 0; i < 1260; ++i) {
    feed(1500 + static_cast<int>(std::lround(60.0 * std::sin(2 * M_PI * i / 80.0))));
  }
  // 16 crests, the first of them before the forces were zeroed.
  EXPECT_GE(display.last.breaths, 15u);
  EXPECT_LE(display.last.breaths, 16u);
  ASSERT_TRUE(display.last.ratePerMinute.has_value());
  EXPECT_NEAR(*display.last.ratePerMinute, 15.0, 0.5);
  ASSERT_FALSE(display.marked.empty());
  // One mark a breath on the chart's sweep of 501 points: 80 samples a breath.
  int onTheChart = 0;
  for (int slot = 0; slot <= livegraph::kLastPoint; ++slot)
    onTheChart += core.graph().breathMarked(slot);
  EXPECT_GE(onTheChart, 5);
  EXPECT_LE(onTheChart, 7);
  EXPECT_TRUE(core.graph().breathMarked(display.marked.back()));
  // A mark sits at a crest of the plotted wave.
  const int crest = display.marked.back();
  const auto& force = core.graph().points(livegraph::kForce1);
  const double high = *std::max_element(force.begin(), force.end());
  EXPECT_GT(force[static_cast<std::size_t>(crest)], high - 10.0) << "slot " << crest;
  EXPECT_EQ(alarm.sounds, 0);

  // Then the breathing stops: 15 s of a still belt.
  for (int i = 0; i < 300; ++i) feed(1440);
  EXPECT_TRUE(display.last.apnea) << display.last.msSinceBreath << " ms since the last breath";
  EXPECT_EQ(display.apneas, 1);
  EXPECT_EQ(alarm.sounds, 1) << "as ticked for the activity alarm";
  EXPECT_EQ(alarm.mutes, 0);
  EXPECT_FALSE(display.last.ratePerMinute.has_value());

  // A new connection starts afresh.
  core.measurement().notificationCount = 0;
  feed(1500);
  EXPECT_FALSE(display.last.apnea);
  EXPECT_EQ(display.last.breaths, 0u);
}

// A core breathing at 15 a minute (4 s a breath, 60 g deep), that notes the slot each sample went
// to, for the tests of where breaths are marked.
class BreathMarksTest : public ::testing::Test {
 protected:
  BreathMarksTest() : core(ticks, pump, port, scanView, display) { core.graph().createPoints(); }
  // One notification of force 1 (raw), 50 ms after the last; returns the slot it was plotted at.
  int feed(int raw1) {
    const int slot = core.graph().graphSlot();
    const QByteArray bytes = notification(value(raw1, 500));
    core.feed(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
              static_cast<std::size_t>(bytes.size()));
    ticks.advance(50);
    return slot;
  }
  // Whole breaths from breathed out, half way in; the slot of the last crest.
  int breathe(int breaths) {
    int crest = -1;
    for (int i = 0; i < 80 * breaths; ++i) {
      const int slot =
          feed(1500 + static_cast<int>(std::lround(60.0 * std::sin(2 * M_PI * i / 80.0))));
      if (i % 80 == 20) crest = slot;
    }
    return crest;
  }
  // Breathing in from half way and holding it at the top for `ms`; the slot where the top began.
  int breatheInAndHold(int ms) {
    int top = -1;
    for (int i = 0; i <= 20; ++i) {
      top = feed(1500 + static_cast<int>(std::lround(60.0 * std::sin(2 * M_PI * i / 80.0))));
    }
    for (int i = 0; i < ms / 50; ++i) feed(1560);
    return top;
  }
  // Breathing out from the top, to half way.
  void breatheOut() {
    for (int i = 20; i < 40; ++i) {
      feed(1500 + static_cast<int>(std::lround(60.0 * std::sin(2 * M_PI * i / 80.0))));
    }
  }
  int marksBetween(int from, int to) const {
    int n = 0;
    for (int slot = std::max(from, 0); slot <= std::min(to, livegraph::kLastPoint); ++slot) {
      n += core.graph().breathMarked(slot);
    }
    return n;
  }

  ManualTickSource ticks{1000};
  NoEventLoop pump;
  FakeSerialTransport port;
  NullScanView scanView;
  BreathDisplay display;
  MonitorCore core;
};

// The last breath before the chest rests breathed out is marked at its crest like any other.
TEST_F(BreathMarksTest, TheLastBreathBeforeAnApneaIsMarkedAtItsCrest) {
  breathe(10);
  const int crest = breathe(1);
  for (int i = 0; i < 280; ++i) feed(1440);
  ASSERT_TRUE(display.last.apnea);
  EXPECT_EQ(marksBetween(crest - 20, crest + 20), 1) << "crest at slot " << crest;
  EXPECT_TRUE(core.graph().breathMarked(display.marked.back()));
  EXPECT_LE(std::abs(display.marked.back() - crest), 3) << "crest at slot " << crest;
}

// A breath held after breathing in for 15 s (300 notifications, more than a sweep's half) and
// counted when it is breathed out gets its mark at its top, where the sweep still shows it.
TEST_F(BreathMarksTest, ABreathHeldLongerThanHalfTheSweepIsMarkedAtItsTop) {
  breathe(10);
  const std::uint64_t before = display.last.breaths;
  const std::size_t marked = display.marked.size();
  const int top = breatheInAndHold(15000);
  EXPECT_EQ(display.last.breaths, before) << "not counted while held";
  EXPECT_EQ(display.marked.size(), marked);
  breatheOut();
  breathe(1);
  ASSERT_GE(display.last.breaths, before + 1);
  ASSERT_GE(display.marked.size(), marked + 1);
  const int held = display.marked[marked];
  EXPECT_LE(std::abs(held - top), 20) << "top at slot " << top;
  EXPECT_TRUE(core.graph().breathMarked(held));
}

// Held for longer than the sweep: the top's slot has been written again by the time the breath is
// counted, so the breath is counted without a mark rather than marked on what replaced its top.
TEST_F(BreathMarksTest, ABreathHeldLongerThanTheSweepLeavesNoMarkOnWhatReplacedIt) {
  core.breathing().setApneaLimitSeconds(60);
  breathe(10);
  const std::uint64_t before = display.last.breaths;
  const std::size_t marked = display.marked.size();
  breatheInAndHold(30000);
  const int from = core.graph().graphSlot();
  breatheOut();
  breathe(1);
  ASSERT_GE(display.last.breaths, before + 1) << "the held breath is counted";
  // The marks since: only the breath after it, whose crest came after `from`.
  for (std::size_t i = marked; i < display.marked.size(); ++i) {
    const int slot = display.marked[i];
    EXPECT_LT((slot - from + livegraph::kPointCount) % livegraph::kPointCount, 100) << slot;
  }
  EXPECT_EQ(display.marked.size() - marked, display.last.breaths - before - 1);
}

}  // namespace
}  // namespace kelvaro
