#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <deque>
#include <limits>
#include <numeric>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "activity/ActivityMonitor.h"

namespace kelvaro {
namespace {

constexpr int kBlock = ActivityMonitor::kWindowLength;

// Force amplitudes whose blocks lie clearly above the start threshold, between the thresholds and
// below the stop threshold with the default settings.
constexpr double kActive = 10.0;
constexpr double kMiddle = 2.0;
constexpr double kQuiet = 0.1;

// Records the rule's questions and presses; a start clears the texts and a stop keeps the texts
// it would write into the history, as the session code does.
class FakeSessions final : public ActivitySessionControl {
 public:
  bool sessionOpen() const override {
    calls.push_back(open ? "open?yes" : "open?no");
    return open;
  }
  void startSession() override {
    calls.push_back("start");
    open = true;
    if (monitor != nullptr) {
      monitor->clearTexts();
    }
  }
  void stopSession() override {
    calls.push_back("stop");
    open = false;
    if (monitor != nullptr) {
      recorded = monitor->texts();
    }
  }
  int count(const std::string& call) const {
    return static_cast<int>(std::count(calls.begin(), calls.end(), call));
  }

  bool open = false;
  ActivityMonitor* monitor = nullptr;
  mutable std::vector<std::string> calls;
  ActivityTexts recorded;
};

class FakeAlarm final : public ActivityAlarm {
 public:
  void soundAlarm() override { calls.push_back("sound"); }
  void muteAlarm() override { calls.push_back("mute"); }
  std::vector<std::string> calls;
};

// One block of samples alternating +amplitude and -amplitude. Once the ring holds the same
// pattern the running mean is exactly 0, so the block's activity is the amplitude; the first
// block after an empty (or zero-primed) ring gives amplitude * 1.0025.
std::optional<ActivityBlock> feedBlock(ActivityMonitor& monitor, double forceAmplitude,
                                       double motionAmplitude = 0.0) {
  for (int i = 0; i < kBlock - 1; ++i) {
    const double sign = (i % 2 == 0) ? 1.0 : -1.0;
    if (monitor.AddActivitySample(sign * forceAmplitude, sign * motionAmplitude).has_value()) {
      ADD_FAILURE() << "block ended after " << i + 1 << " samples";
    }
  }
  return monitor.AddActivitySample(-forceAmplitude, -motionAmplitude);
}

// A monitor with its fakes; the session fake clears and records the monitor's texts.
struct Rig {
  explicit Rig(const ActivitySettings& settings = {}) : monitor(sessions, alarm, settings) {
    sessions.monitor = &monitor;
  }
  FakeSessions sessions;
  FakeAlarm alarm;
  ActivityMonitor monitor;
};

TEST(ActivityMonitorTest, BlockEndsExactlyAtTheTwoHundredthSampleAfterAnyPriming) {
  struct Case {
    const char* name;
    int samplesBeforePriming;  // -1: never primed
  };
  const Case cases[] = {{"fresh", -1},
                        {"primed at a block start", 0},
                        {"primed after one sample", 1},
                        {"primed mid-block", 137},
                        {"primed one sample before the end", 199}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeSessions sessions;
    FakeAlarm alarm;
    ActivityMonitor monitor(sessions, alarm);
    for (int i = 0; i < c.samplesBeforePriming; ++i) {
      ASSERT_FALSE(monitor.AddActivitySample(i, -i).has_value());
    }
    if (c.samplesBeforePriming >= 0) {
      monitor.PrimeActivity(0.0, 12.0);
      EXPECT_EQ(monitor.position(), 0);
    }
    for (int i = 1; i < kBlock; ++i) {
      ASSERT_FALSE(monitor.AddActivitySample(i, i).has_value()) << "sample " << i;
      EXPECT_EQ(monitor.position(), i);
    }
    const auto block = monitor.AddActivitySample(1.0, 1.0);
    ASSERT_TRUE(block.has_value());
    EXPECT_EQ(monitor.position(), 0);
    EXPECT_EQ(block->blockCount, 1);
    EXPECT_EQ(monitor.blockCount(), 1);
  }
}

// The mean absolute deviation of each sample from the mean of the 200 samples before it,
// recomputed from scratch for every sample.
struct Reference {
  std::deque<double> force;
  std::deque<double> motion;
  double forceDeviation = 0.0;
  double motionDeviation = 0.0;

  void prime(double f, double m) {
    force.assign(kBlock, f);
    motion.assign(kBlock, m);
    forceDeviation = motionDeviation = 0.0;
  }
  static double mean(const std::deque<double>& ring) {
    return std::accumulate(ring.begin(), ring.end(), 0.0) / static_cast<double>(ring.size());
  }
  void add(double f, double m) {
    forceDeviation += std::fabs(mean(force) - f);
    motionDeviation += std::fabs(mean(motion) - m);
    force.pop_front();
    force.push_back(f);
    motion.pop_front();
    motion.push_back(m);
  }
};

TEST(ActivityMonitorTest, ActivityIsTheMeanAbsoluteDeviationFromTheRunningMean) {
  std::mt19937 random(20240611u);
  std::normal_distribution<double> breathing(35.0, 12.0);
  std::uniform_int_distribution<int> accel(-2000, 2000);
  Rig rig(ActivitySettings{0, false, false, 1e9, -1.0});
  Reference reference;
  const double primeMotion = 117.0;
  rig.monitor.PrimeActivity(0.0, primeMotion);
  reference.prime(0.0, primeMotion);
  double forceTotal = 0.0;
  double motionTotal = 0.0;
  for (int blockIndex = 1; blockIndex <= 4; ++blockIndex) {
    SCOPED_TRACE(blockIndex);
    std::optional<ActivityBlock> block;
    // A drift in the third block makes the running mean differ from the block's own mean.
    const double drift = (blockIndex == 3) ? 0.5 : 0.0;
    for (int i = 0; i < kBlock; ++i) {
      const double f = breathing(random) + drift * i;
      const double m = accel(random);
      reference.add(f, m);
      block = rig.monitor.AddActivitySample(f, m);
    }
    ASSERT_TRUE(block.has_value());
    const double force = reference.forceDeviation / kBlock;
    const double motion = reference.motionDeviation / kBlock;
    reference.forceDeviation = reference.motionDeviation = 0.0;
    forceTotal += force;
    motionTotal += motion;
    EXPECT_GT(force, 1.0);
    EXPECT_NEAR(block->forceActivity, force, 1e-9 * force);
    EXPECT_NEAR(block->motionActivity, motion, 1e-9 * motion);
    EXPECT_NEAR(block->forceAverage, forceTotal / blockIndex, 1e-9 * force);
    EXPECT_NEAR(block->motionAverage, motionTotal / blockIndex, 1e-9 * motion);
    EXPECT_EQ(block->forceChartValue, block->forceActivity);
    EXPECT_EQ(block->motionChartValue, block->motionActivity);
    EXPECT_EQ(rig.monitor.forceActivity(), block->forceActivity);
    EXPECT_EQ(rig.monitor.motionActivity(), block->motionActivity);
  }
}

TEST(ActivityMonitorTest, TextsHaveAtLeastOneIntegerDigitAndTwoDecimals) {
  struct Case {
    double force;
    double motion;
    // Two blocks: the first gives amplitude * 1.0025, the second the amplitude.
    const char* forceText;
    const char* motionText;
    const char* forceAverage;
    const char* motionAverage;
  };
  const Case cases[] = {
      {0.0, 0.0, "0.00", "0.00", "0.00", "0.00"},
      {0.125, 3.0, "0.13", "3.00", "0.13", "3.00"},        // averages 0.12515625, 3.00375
      {0.994, 250.0, "0.99", "250.00", "1.00", "250.31"},  // 0.9952425, 250.3125
      {12.5, 1000.0, "12.50", "1000.00", "12.52", "1001.25"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.force);
    Rig rig(ActivitySettings{0, false, false, 1e9, -1.0});
    feedBlock(rig.monitor, c.force, c.motion);
    const auto block = feedBlock(rig.monitor, c.force, c.motion);
    ASSERT_TRUE(block.has_value());
    EXPECT_NEAR(block->forceActivity, c.force, 1e-12);
    EXPECT_NEAR(block->motionActivity, c.motion, 1e-12);
    const ActivityTexts& texts = rig.monitor.texts();
    EXPECT_EQ(texts.forceActivity, QString::fromLatin1(c.forceText));
    EXPECT_EQ(texts.motionActivity, QString::fromLatin1(c.motionText));
    EXPECT_EQ(texts.forceAverage, QString::fromLatin1(c.forceAverage));
    EXPECT_EQ(texts.motionAverage, QString::fromLatin1(c.motionAverage));
    EXPECT_EQ(block->texts.forceActivity, texts.forceActivity);
    EXPECT_EQ(block->texts.motionActivity, texts.motionActivity);
    EXPECT_EQ(block->texts.forceAverage, texts.forceAverage);
    EXPECT_EQ(block->texts.motionAverage, texts.motionAverage);
  }
}

TEST(ActivityMonitorTest, AlarmOnlyBelowTheLevelSoundBeforeMute) {
  using Calls = std::vector<std::string>;
  struct Case {
    int level;
    double activity;
    bool sound;
    bool mute;
    Calls expected;
  };
  const Case cases[] = {
      {0, 0.0, true, true, {}},                   // level 0 never alarms, not even at activity 0
      {10, 10.0, true, true, {}},                 // equal to the level
      {10, 10.25, true, true, {}},                // above it
      {10, 9.75, true, true, {"sound", "mute"}},  // below it: the sound first
      {10, 9.75, true, false, {"sound"}},
      {10, 9.75, false, true, {"mute"}},
      {10, 9.75, false, false, {}},
      {50, 49.5, true, true, {"sound", "mute"}},
      {1, 0.0, true, true, {"sound", "mute"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "level " << c.level << ", activity " << c.activity
                                    << ", sound " << c.sound << ", mute " << c.mute);
    Rig rig(ActivitySettings{c.level, c.sound, c.mute, 1e9, -1.0});
    feedBlock(rig.monitor, c.activity);  // fills the ring; its activity is a little higher
    // Every block below the level alarms again.
    for (int b = 0; b < 2; ++b) {
      rig.alarm.calls.clear();
      const auto block = feedBlock(rig.monitor, c.activity);
      ASSERT_TRUE(block.has_value());
      ASSERT_EQ(block->forceActivity, c.activity);
      EXPECT_EQ(rig.alarm.calls, c.expected);
      const bool alarmed = !c.expected.empty();
      EXPECT_EQ(block->alarms.sound, alarmed && c.sound);
      EXPECT_EQ(block->alarms.mute, alarmed && c.mute);
    }
  }
}

TEST(ActivityMonitorTest, ThresholdEqualToTheActivityDoesNotCount) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  constexpr double kAmplitude = 4.15;
  // The exact activity v of a steady block; each threshold is then set to v, or to the next
  // double on the counting side.
  double v = 0.0;
  {
    Rig probe(ActivitySettings{0, false, false, kInf, -kInf});
    feedBlock(probe.monitor, kAmplitude);
    v = feedBlock(probe.monitor, kAmplitude)->forceActivity;
    ASSERT_NEAR(v, kAmplitude, 1e-12);
  }
  struct Case {
    const char* name;
    bool open;
    double startThreshold;
    double stopThreshold;
    int countAfterFirst;
    int starts;
    int stops;
  };
  const Case cases[] = {
      {"start threshold equal", false, v, -kInf, 0, 0, 0},
      {"start threshold just below", false, std::nextafter(v, -kInf), -kInf, 1, 1, 0},
      {"stop threshold equal", true, kInf, v, 0, 0, 0},
      {"stop threshold just above", true, kInf, std::nextafter(v, kInf), 1, 0, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig(ActivitySettings{0, false, false, kInf, -kInf});
    rig.sessions.open = c.open;
    feedBlock(rig.monitor, kAmplitude);  // counts for neither rule
    ASSERT_EQ(rig.monitor.autoSessionCount(), 0);
    rig.monitor.settings().startThreshold = c.startThreshold;
    rig.monitor.settings().stopThreshold = c.stopThreshold;
    ASSERT_EQ(feedBlock(rig.monitor, kAmplitude)->forceActivity, v);
    EXPECT_EQ(rig.monitor.autoSessionCount(), c.countAfterFirst);
    EXPECT_EQ(rig.sessions.count("start") + rig.sessions.count("stop"), 0);
    const auto second = feedBlock(rig.monitor, kAmplitude);
    EXPECT_EQ(rig.monitor.autoSessionCount(), 0);
    EXPECT_EQ(rig.sessions.count("start"), c.starts);
    EXPECT_EQ(rig.sessions.count("stop"), c.stops);
    EXPECT_EQ(second->sessionStarted, c.starts == 1);
    EXPECT_EQ(second->sessionStopped, c.stops == 1);
  }
}

// A sequence of blocks with the default thresholds: what the shared counter is after each and
// which button the rule pressed. A session start makes the decoder prime the monitor at its next
// notification, so the test primes too.
TEST(ActivityMonitorTest, TwoConsecutiveQualifyingBlocksStartOrStopASession) {
  struct Step {
    double amplitude;
    int count;
    const char* pressed;  // "", "start" or "stop"
  };
  const Step steps[] = {
      {kActive, 1, ""},      {kMiddle, 0, ""},      {kActive, 1, ""}, {kQuiet, 0, ""},
      {kActive, 1, ""},      {kActive, 0, "start"},  // the stop rule then clears the count
      {kQuiet, 1, ""},       {kMiddle, 0, ""},      {kQuiet, 1, ""},  {kActive, 0, ""},
      {kQuiet, 1, ""},       {kQuiet, 0, "stop"},   {kQuiet, 0, ""},  {kActive, 1, ""},
      {kActive, 0, "start"},
  };
  Rig rig;
  rig.monitor.PrimeActivity(0.0, 0.0);
  int index = 0;
  for (const auto& step : steps) {
    SCOPED_TRACE(testing::Message() << "block " << index++);
    rig.sessions.calls.clear();
    const auto block = feedBlock(rig.monitor, step.amplitude);
    ASSERT_TRUE(block.has_value());
    EXPECT_EQ(rig.monitor.autoSessionCount(), step.count);
    const std::string pressed = step.pressed;
    EXPECT_EQ(rig.sessions.count("start"), pressed == "start" ? 1 : 0);
    EXPECT_EQ(rig.sessions.count("stop"), pressed == "stop" ? 1 : 0);
    EXPECT_EQ(block->sessionStarted, pressed == "start");
    EXPECT_EQ(block->sessionStopped, pressed == "stop");
    if (pressed == "start") {
      rig.monitor.PrimeActivity(0.0, 0.0);
    }
  }
}

// One qualifying block before the user presses a button still counts towards the other rule.
TEST(ActivityMonitorTest, SharedCounterCarriesOverAManualPress) {
  struct Case {
    const char* name;
    bool openBefore;
    double before;  // the block before the press
    double after;   // the block after it
    const char* pressed;
  };
  const Case cases[] = {
      {"active block, manual start, one quiet block stops", false, kActive, kQuiet, "stop"},
      {"quiet block, manual stop, one active block starts", true, kQuiet, kActive, "start"},
      {"middle block, manual start, one quiet block only counts", false, kMiddle, kQuiet, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig;
    rig.sessions.open = c.openBefore;
    feedBlock(rig.monitor, c.before);
    const int countBefore = (c.before == kMiddle) ? 0 : 1;
    ASSERT_EQ(rig.monitor.autoSessionCount(), countBefore);
    // The press: a start clears the texts and makes the decoder prime; neither touches the count.
    if (c.openBefore) {
      rig.sessions.stopSession();
    } else {
      rig.sessions.startSession();
      rig.monitor.PrimeActivity(0.0, 0.0);
    }
    EXPECT_EQ(rig.monitor.autoSessionCount(), countBefore);
    rig.sessions.calls.clear();
    const auto block = feedBlock(rig.monitor, c.after);
    const std::string pressed = c.pressed;
    EXPECT_EQ(rig.sessions.count("start"), pressed == "start" ? 1 : 0);
    EXPECT_EQ(rig.sessions.count("stop"), pressed == "stop" ? 1 : 0);
    EXPECT_EQ(rig.monitor.autoSessionCount(), pressed.empty() ? 1 : 0);
  }
}

TEST(ActivityMonitorTest, SessionStartedByTheRuleFacesTheStopRuleInTheSameBlock) {
  struct Case {
    const char* name;
    double startThreshold;
    double stopThreshold;
    double amplitude;
    const char* text;
    int countAfterStart;
  };
  // With the defaults the started session's block is above ActStop and clears the count; with
  // ActStart below ActStop the same block already counts towards a stop.
  const Case cases[] = {{"default thresholds", 4.15, 0.6, kActive, "10.00", 0},
                        {"start below stop", 1.0, 5.0, 3.5, "3.50", 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig(ActivitySettings{0, false, false, c.startThreshold, c.stopThreshold});
    feedBlock(rig.monitor, c.amplitude);
    rig.sessions.calls.clear();
    const auto started = feedBlock(rig.monitor, c.amplitude);
    ASSERT_TRUE(started.has_value());
    EXPECT_TRUE(started->sessionStarted);
    EXPECT_FALSE(started->sessionStopped);
    EXPECT_EQ(rig.sessions.calls, (std::vector<std::string>{"open?no", "start", "open?yes"}));
    EXPECT_EQ(rig.monitor.autoSessionCount(), c.countAfterStart);
    // The start cleared the texts to "---"; this block's values replace them at once.
    const ActivityTexts& texts = rig.monitor.texts();
    EXPECT_EQ(texts.forceActivity, QString::fromLatin1(c.text));
    EXPECT_EQ(texts.motionActivity, QStringLiteral("0.00"));
    EXPECT_NE(texts.forceAverage, QStringLiteral("---"));
    EXPECT_EQ(texts.motionAverage, QStringLiteral("0.00"));
    if (c.countAfterStart == 1) {
      const auto next = feedBlock(rig.monitor, c.amplitude);
      EXPECT_TRUE(next->sessionStopped);
      EXPECT_FALSE(rig.sessions.open);
    }
  }
}

TEST(ActivityMonitorTest, SessionStoppedByTheRuleRecordsThePreviousBlocksTexts) {
  Rig rig(ActivitySettings{0, false, false, 4.15, 0.6});
  rig.sessions.open = true;
  feedBlock(rig.monitor, 0.25);
  const ActivityTexts first = rig.monitor.texts();
  const auto stopping = feedBlock(rig.monitor, 0.5);
  ASSERT_TRUE(stopping->sessionStopped);
  EXPECT_EQ(rig.sessions.recorded.forceActivity, first.forceActivity);
  EXPECT_EQ(rig.sessions.recorded.forceAverage, first.forceAverage);
  EXPECT_EQ(rig.sessions.recorded.motionActivity, first.motionActivity);
  EXPECT_EQ(stopping->texts.forceActivity, QStringLiteral("0.50"));
  EXPECT_NE(first.forceActivity, stopping->texts.forceActivity);
}

TEST(ActivityMonitorTest, PrimingMidBlockDiscardsThePartialBlockAndRestartsTheAverages) {
  const int primedAfter[] = {1, 100, 199};
  for (const int samples : primedAfter) {
    SCOPED_TRACE(samples);
    Rig rig(ActivitySettings{0, false, false, 4.15, 0.6});
    feedBlock(rig.monitor, kActive, 300.0);  // one block counting towards a start
    const ActivityTexts before = rig.monitor.texts();
    for (int i = 0; i < samples; ++i) {
      ASSERT_FALSE(rig.monitor.AddActivitySample((i % 2) ? -50.0 : 50.0, 900.0).has_value());
    }
    rig.monitor.PrimeActivity(0.0, -40.0);
    EXPECT_EQ(rig.monitor.autoSessionCount(), 1);  // priming keeps the counter
    EXPECT_EQ(rig.monitor.texts().forceActivity, before.forceActivity);
    EXPECT_EQ(rig.monitor.texts().motionAverage, before.motionAverage);
    // A quiet block of the primed values: nothing of the wild partial block may show.
    std::optional<ActivityBlock> block;
    for (int i = 0; i < kBlock; ++i) {
      ASSERT_FALSE(block.has_value());
      block = rig.monitor.AddActivitySample(0.0, -40.0);
    }
    ASSERT_TRUE(block.has_value());
    EXPECT_EQ(block->forceActivity, 0.0);
    EXPECT_EQ(block->motionActivity, 0.0);
    EXPECT_EQ(block->blockCount, 1);
    EXPECT_EQ(block->forceAverage, 0.0);
    EXPECT_EQ(block->motionAverage, 0.0);
    EXPECT_EQ(block->texts.forceAverage, QStringLiteral("0.00"));
    EXPECT_EQ(rig.monitor.autoSessionCount(), 0);
  }
}

}  // namespace
}  // namespace kelvaro
