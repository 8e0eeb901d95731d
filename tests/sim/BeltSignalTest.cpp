#include <gtest/gtest.h>

#include <algorithm>

#include "SimTestSupport.h"

namespace kelvaro {
namespace {

using simtest::ActivityMeter;
using simtest::BeltSample;
using simtest::Bench;
using simtest::Frame;

SimOptions world(const char* timeline, std::uint64_t seed = 1) {
  SimOptions options;
  options.seed = seed;
  options.timeline = *ScenarioTimeline::parse(QString::fromLatin1(timeline));
  return options;
}

// Connects, streams for `ms` of simulated time more and returns every decoded value, in order.
std::vector<BeltSample> stream(Bench& bench, std::uint32_t ms) {
  bench.take();
  bench.connectAndStream();
  bench.run(ms, 1000);
  std::vector<BeltSample> samples;
  for (const Frame& f : bench.take()) {
    if (!f.is(true, 4, 5)) continue;
    EXPECT_EQ(f.u8(4), 16);
    samples.push_back(BeltSample::fromValue(f.payload.mid(5)));
  }
  return samples;
}

TEST(BeltSignal, ValueLayoutCarriesCountingTagsAlternatingAuxAndGravity) {
  Bench bench(world("breathing"));
  const auto samples = stream(bench, 10 * 60 * 1000);
  ASSERT_GE(samples.size(), 10u * 60 * 20);
  int firstBattery = 0, lastBattery = 0;
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const BeltSample& s = samples[i];
    if (i > 0) {
      EXPECT_EQ(s.tag, (samples[i - 1].tag + 1) % 256) << i;
      EXPECT_NE(s.selector, samples[i - 1].selector) << i;
    }
    ASSERT_TRUE(s.selector == 1 || s.selector == 2) << i;
    if (s.selector == 1) {
      EXPECT_GE(s.aux, 3700) << i;
      EXPECT_LE(s.aux, 4200) << i;
      if (!firstBattery) firstBattery = s.aux;
      lastBattery = s.aux;
    } else {
      EXPECT_GE(s.aux, 2900) << "about 31 degrees";
      EXPECT_LE(s.aux, 3300) << "about 31 degrees";
    }
    EXPECT_NEAR(s.gravity(), 256.0, 16.0) << i;
    EXPECT_GT(s.raw1, s.raw2) << "force 2 is the smaller one";
  }
  EXPECT_NEAR(firstBattery, 4150, 30);
  EXPECT_LT(lastBattery, firstBattery) << "the battery runs down";
}

TEST(BeltSignal, BreathingIsAboutFifteenBreathsAMinute) {
  Bench bench(world("breathing"));
  const auto samples = stream(bench, 2 * 60 * 1000);
  // Count upward crossings of the mean of force 1.
  double mean = 0;
  for (const BeltSample& s : samples) mean += s.raw1;
  mean /= double(samples.size());
  int breaths = 0;
  for (std::size_t i = 1; i < samples.size(); ++i) {
    if (samples[i - 1].raw1 < mean - 10 && samples[i].raw1 >= mean - 10) ++breaths;
  }
  EXPECT_GE(breaths, 2 * 13);
  EXPECT_LE(breaths, 2 * 17);
}

struct ActivityCase {
  const char* scenario;
  double low;
  double high;
};

void PrintTo(const ActivityCase& c, std::ostream* os) { *os << c.scenario; }

class ScenarioActivity : public ::testing::TestWithParam<ActivityCase> {};

TEST_P(ScenarioActivity, ForceActivityOfEveryBlockIsInRange) {
  const ActivityCase& c = GetParam();
  for (std::uint64_t seed : {1, 2, 3}) {
    Bench bench(world(c.scenario, seed));
    ActivityMeter meter;
    for (const BeltSample& s : stream(bench, 5 * 60 * 1000)) meter.addNotification(s.raw1);
    ASSERT_EQ(meter.blocks.size(), 29u);
    for (std::size_t i = 0; i < meter.blocks.size(); ++i) {
      EXPECT_GE(meter.blocks[i], c.low) << c.scenario << " seed " << seed << " block " << i;
      EXPECT_LE(meter.blocks[i], c.high) << c.scenario << " seed " << seed << " block " << i;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Belt, ScenarioActivity,
    ::testing::Values(ActivityCase{"breathing", 10.0, 40.0}, ActivityCase{"shallow", 1.0, 8.0},
                      ActivityCase{"apnea", 0.0, 0.6}, ActivityCase{"hold", 0.0, 0.6},
                      ActivityCase{"moving", 40.0, 1000.0}, ActivityCase{"off", 0.0, 0.3}),
    [](const ::testing::TestParamInfo<ActivityCase>& info) {
      return std::string(info.param.scenario);
    });

TEST(BeltSignal, TimelinePlaysItsStepsAndRepeats) {
  // 60 s steps are 1200 samples, six blocks each; the two blocks after a change still carry the
  // previous step in the running mean and are left out.
  Bench bench(world("breathing:60,apnea:60,moving:60"));
  ActivityMeter meter;
  for (const BeltSample& s : stream(bench, 2 * 180 * 1000)) meter.addNotification(s.raw1);
  ASSERT_GE(meter.blocks.size(), 35u);
  int checked = 0;
  for (std::size_t b = 0; b < meter.blocks.size(); ++b) {
    const std::size_t first = 11 + 200 * b;  // sample index of the block's first sample
    const std::size_t intoStep = first % 1200;
    if (intoStep < 400 || intoStep + 200 > 1200) continue;
    const std::size_t step = (first / 1200) % 3;
    const double a = meter.blocks[b];
    if (step == 0) {
      EXPECT_TRUE(a >= 10.0 && a <= 40.0) << "breathing block " << b << ": " << a;
    } else if (step == 1) {
      EXPECT_LT(a, 0.6) << "apnea block " << b;
    } else {
      EXPECT_GT(a, 40.0) << "moving block " << b;
    }
    ++checked;
  }
  EXPECT_GE(checked, 15);
}

TEST(BeltSignal, OffLiesFlatWithGravityOnAnotherAxis) {
  Bench bench(world("off"));
  const auto samples = stream(bench, 20 * 1000);
  for (const BeltSample& s : samples) {
    EXPECT_NEAR(s.az, 256, 6);
    EXPECT_NEAR(s.ax, 0, 8);
  }
}

TEST(BeltSignal, MovingShakesTheAccelerometer) {
  Bench bench(world("moving"));
  const auto samples = stream(bench, 60 * 1000);
  int strong = 0;
  for (const BeltSample& s : samples) {
    if (std::abs(s.gravity() - 256.0) > 64.0) ++strong;
  }
  EXPECT_GT(strong, int(samples.size()) / 10);
}

struct RateCase {
  const char* rate;
  std::uint32_t ms;
  int low;
  int high;
};

void PrintTo(const RateCase& c, std::ostream* os) { *os << "rate " << c.rate; }

class StreamRate : public ::testing::TestWithParam<RateCase> {};

TEST_P(StreamRate, NotificationsPerSecond) {
  SimOptions options = world("breathing");
  QString error;
  ASSERT_TRUE(parseSimRate(QString::fromLatin1(GetParam().rate), &options, &error));
  Bench bench(options);
  bench.connectAndStream();
  bench.take();
  bench.run(GetParam().ms, 5);
  int n = 0;
  for (const Frame& f : bench.take()) n += f.is(true, 4, 5) ? 1 : 0;
  EXPECT_GE(n, GetParam().low);
  EXPECT_LE(n, GetParam().high);
}

INSTANTIATE_TEST_SUITE_P(Belt, StreamRate,
                         ::testing::Values(RateCase{"20", 10000, 199, 201},
                                           RateCase{"5", 10000, 49, 51},
                                           RateCase{"100", 2000, 199, 201},
                                           // 115200 baud, 10 bits a byte, 25 bytes: 460.8 a second.
                                           RateCase{"flood", 10000, 4600, 4609}));

TEST(BeltSignal, FloodPlaysTheSameSamplesFaster) {
  SimOptions slow = world("breathing", 4);
  SimOptions fast = slow;
  fast.flood = true;
  Bench a(slow), b(fast);
  const auto normal = stream(a, 20000);
  const auto flooded = stream(b, 1000);
  ASSERT_GE(flooded.size(), normal.size());
  for (std::size_t i = 0; i < normal.size(); ++i) ASSERT_EQ(normal[i].raw1, flooded[i].raw1) << i;
}

TEST(BeltSignal, SameSeedSameBytesOtherSeedOtherBelt) {
  const auto run = [](std::uint64_t seed) {
    SimOptions options = world("breathing:20,moving:20", seed);
    options.belts = 2;
    Bench bench(options);
    bench.send(simtest::hex(simtest::kDiscover));
    bench.run(2000);
    bench.connectAndStream(1);
    bench.run(30000, 7);
    QByteArray all;
    for (const Frame& f : bench.take()) all += f.bytes();
    return std::make_pair(bench.dongle.beltDeviceId(1), all);
  };
  const auto first = run(11);
  const auto again = run(11);
  const auto other = run(12);
  EXPECT_EQ(first.first, again.first);
  EXPECT_EQ(first.second, again.second);
  EXPECT_GT(first.second.size(), 10000);
  EXPECT_NE(first.first, other.first);
  EXPECT_NE(first.second, other.second);
}

}  // namespace
}  // namespace kelvaro
