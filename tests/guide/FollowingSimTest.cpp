// The "Following" score on the simulator's bytes through the whole road: the simulated wearer,
// told a pace, breathes into a core whose road ends with the guide's listener, on the test's clock
// running as fast as it can. The guide starts at a moment chosen from the simulator's truth, so
// that the wearer's breaths peak a given time after the guide's ends of breathing in.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <optional>
#include <string>
#include <vector>

#include "breathing/BreathTestSupport.h"
#include "guide/GuideListener.h"
#include "monitor/MonitorCore.h"
#include "support/CoreOnSimWire.h"

namespace kelvaro {
namespace {

// The simulated belt played through a core with the guide's listener on its road.
class GuidedBelt final : public testing::CoreOnSimWire {
 public:
  GuidedBelt(const char* timeline, std::uint64_t seed)
      : CoreOnSimWire(breathtest::world(timeline, seed)) {
    core().addConsumer(listener_);
    connect();
  }
  ~GuidedBelt() override { core().removeConsumer(listener_); }

  // Plays until the belt's next true peak after its first 25 s (by then the wearer keeps the pace:
  // the first breath was under way before), then on for `ms`.
  std::uint32_t runToNextPeakThen(std::uint32_t ms) {
    while (dongle().belts()[0].samples() < 25 * 20) run(1);
    const std::uint64_t before = dongle().belts()[0].breaths();
    while (dongle().belts()[0].breaths() == before) run(1);
    const std::uint32_t peak = ticks().tick();
    run(ms);
    return peak;
  }
  // Starts the guide so that its end of breathing in comes `lagMs` before the belt's peaks, whose
  // latest was at `peakTick` and which come every `periodMs`.
  void startGuide(const GuideSettings& settings, std::uint32_t peakTick, std::uint32_t lagMs) {
    const GuidePacer pacer(settings);
    const std::uint32_t nextPeak = peakTick + pacer.cycleMs();
    listener_.start(settings, nextPeak - lagMs - pacer.inMs());
    // The start may lie a moment ahead; the clock gets there first.
    while (static_cast<std::int32_t>(ticks().tick() - (nextPeak - lagMs - pacer.inMs())) < 0) {
      run(1);
    }
  }
  // The score once a second for `seconds`.
  std::vector<std::optional<double>> scoreEverySecond(int seconds) {
    std::vector<std::optional<double>> scores;
    for (int s = 0; s < seconds; ++s) {
      run(1000);
      scores.push_back(listener_.following());
    }
    return scores;
  }
  const GuideListener& listener() const { return listener_; }

 private:
  GuideListener listener_;
};

struct FollowCase {
  const char* name;
  const char* timeline;
  std::uint32_t lagMs;     // the wearer's peaks after the guide's ends of breathing in
  double lowest, highest;  // every score from the second minute on, percent
};

void PrintTo(const FollowCase& c, std::ostream* os) { *os << c.name; }

class FollowingTheGuide : public ::testing::TestWithParam<FollowCase> {};

// Against a guide of 6 a minute for five minutes, the score of each second from the second minute
// on stays within the case's bounds, on three seeds.
TEST_P(FollowingTheGuide, ScoresHowCloseTheBreathingKeepsToTheGuide) {
  const FollowCase& c = GetParam();
  for (std::uint64_t seed : {1, 2, 3}) {
    GuidedBelt belt(c.timeline, seed);
    const std::uint32_t peak = belt.runToNextPeakThen(0);
    belt.startGuide(GuideSettings(), peak, c.lagMs);
    const auto scores = belt.scoreEverySecond(300);
    double low = 101, high = -1, sum = 0;
    int n = 0;
    for (std::size_t s = 60; s < scores.size(); ++s) {
      ASSERT_TRUE(scores[s].has_value()) << "second " << s;
      low = std::min(low, *scores[s]);
      high = std::max(high, *scores[s]);
      sum += *scores[s];
      ++n;
    }
    std::printf("following %s seed %llu: lowest %.1f %%, mean %.1f %%, highest %.1f %%\n", c.name,
                static_cast<unsigned long long>(seed), low, sum / n, high);
    RecordProperty("lowest_seed" + std::to_string(seed), std::to_string(low));
    RecordProperty("mean_seed" + std::to_string(seed), std::to_string(sum / n));
    EXPECT_GE(low, c.lowest) << "seed " << seed;
    EXPECT_LE(high, c.highest) << "seed " << seed;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sim, FollowingTheGuide,
    ::testing::Values(FollowCase{"in_step", "breathing@6", 0, 90, 100},
                      FollowCase{"lag_750ms", "breathing@6", 750, 90, 100},
                      FollowCase{"lag_1500ms", "breathing@6", 1500, 90, 100},
                      FollowCase{"lead_1000ms", "breathing@6", std::uint32_t(-1000), 90, 100},
                      // In step with the guide's rhythm, but breathing in as it breathes out.
                      FollowCase{"against_the_guide", "breathing@6", 5000, 0, 30},
                      FollowCase{"twice_as_fast", "breathing@12", 0, 0, 30},
                      FollowCase{"own_pace", "breathing", 0, 0, 30}),
    [](const ::testing::TestParamInfo<FollowCase>& info) { return std::string(info.param.name); });

// A little faster than the guide (6.5 against 6): the breaths are nearly as long, but their phase
// drifts through the guide's, so the score lies between following and not.
TEST(FollowingTheGuide, ALittleFasterScoresInBetween) {
  for (std::uint64_t seed : {1, 2, 3}) {
    GuidedBelt belt("breathing@6.5", seed);
    const std::uint32_t peak = belt.runToNextPeakThen(0);
    belt.startGuide(GuideSettings(), peak, 0);
    const auto scores = belt.scoreEverySecond(300);
    double sum = 0, high = 0;
    int n = 0;
    for (std::size_t s = 60; s < scores.size(); ++s) {
      ASSERT_TRUE(scores[s].has_value());
      sum += *scores[s];
      high = std::max(high, *scores[s]);
      ++n;
    }
    const double mean = sum / n;
    std::printf("following a_little_faster seed %llu: mean %.1f %%, highest %.1f %%\n",
                static_cast<unsigned long long>(seed), mean, high);
    RecordProperty("mean_seed" + std::to_string(seed), std::to_string(mean));
    EXPECT_GT(mean, 30) << "seed " << seed;
    EXPECT_LT(mean, 90) << "seed " << seed;
  }
}

// Breathing stops after two minutes in step: within 15 s the score has fallen by more than a
// third, and it goes on down to nothing while the breath stays away.
TEST(FollowingTheGuide, AnApneaDropsTheScoreWithinFifteenSeconds) {
  for (std::uint64_t seed : {1, 2, 3}) {
    GuidedBelt belt("breathing@6:150,apnea:60", seed);
    const std::uint32_t peak = belt.runToNextPeakThen(0);
    belt.startGuide(GuideSettings(), peak, 0);
    // To the apnea's start on the belt's clock (its sample clock runs with the test's).
    while (belt.dongle().belts()[0].samples() < 150 * 20) belt.run(1);
    const std::optional<double> before = belt.listener().following();
    ASSERT_TRUE(before.has_value());
    EXPECT_GE(*before, 90) << "seed " << seed;
    const auto after = belt.scoreEverySecond(40);
    ASSERT_TRUE(after[14].has_value());
    std::printf("apnea seed %llu: %.1f %% at its start, %.1f %% 15 s later, %.1f %% at 40 s\n",
                static_cast<unsigned long long>(seed), *before, *after[14], *after.back());
    RecordProperty("at15s_seed" + std::to_string(seed), std::to_string(*after[14]));
    EXPECT_LE(*after[14], *before - 33) << "seed " << seed;
    EXPECT_LE(*after.back(), 10) << "seed " << seed;
  }
}

}  // namespace
}  // namespace kelvaro
