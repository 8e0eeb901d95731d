// The detector against the simulator's truth: the belt's bytes through the framer, the dispatcher
// and the decoder as the program reads them, with the test's clock running as fast as it can.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "BreathTestSupport.h"

namespace kelvaro {
namespace {

using breathtest::Recording;

constexpr std::uint32_t kMinute = 60 * 1000;

struct ScenarioCase {
  const char* scenario;
  std::uint64_t seed;
  std::uint32_t dropEvery;  // one byte of this many lost on the wire; 0: none
};

std::string caseName(const ScenarioCase& c) {
  return std::string(c.scenario) + "_seed" + std::to_string(c.seed) +
         (c.dropEvery ? "_drop" + std::to_string(c.dropEvery) : "");
}

void PrintTo(const ScenarioCase& c, std::ostream* os) { *os << caseName(c); }

std::vector<ScenarioCase> cases(std::initializer_list<const char*> scenarios) {
  std::vector<ScenarioCase> all;
  for (const char* scenario : scenarios) {
    for (std::uint64_t seed : {1, 2, 3}) {
      for (std::uint32_t drop : {0u, 500u}) all.push_back({scenario, seed, drop});
    }
  }
  return all;
}

std::string nameOf(const ::testing::TestParamInfo<ScenarioCase>& info) {
  return caseName(info.param);
}

// The case played for `ms` into a detector with the default limit. Lost bytes must really cost
// notifications, or the drop cases would prove nothing.
Recording play(const ScenarioCase& c, std::uint32_t ms) {
  BreathDetector detector;
  Recording r =
      breathtest::recordWire(breathtest::world(c.scenario, c.seed, c.dropEvery), ms, detector);
  if (c.dropEvery == 0) {
    EXPECT_EQ(r.notifications, r.notificationsSent);
  } else {
    EXPECT_LT(r.notifications, r.notificationsSent * 97 / 100);
  }
  return r;
}

class TenMinutes : public ::testing::TestWithParam<ScenarioCase> {};

TEST_P(TenMinutes, RateAndCountFollowTheTruth) {
  const ScenarioCase& c = GetParam();
  const Recording r = play(c, 10 * kMinute);
  const double error = breathtest::medianRateError(r);
  RecordProperty("medianRateError", std::to_string(error));
  RecordProperty("countError", std::to_string(breathtest::countError(r)));
  EXPECT_LE(error, c.dropEvery ? 2.0 : 1.0) << "breaths a minute";
  EXPECT_LE(std::abs(breathtest::countError(r)), 0.02)
      << r.detectedBreaths << " found, " << r.trueBreaths << " true";
  EXPECT_LE(breathtest::shareWithoutRate(r), 0.02) << "seconds without a rate";
  EXPECT_TRUE(r.apneaBegan.empty());
}

INSTANTIATE_TEST_SUITE_P(Sim, TenMinutes,
                         ::testing::ValuesIn(cases({"breathing", "shallow", "moving"})), nameOf);

constexpr std::uint32_t kLimitMs = breathing::kDefaultApneaSeconds * 1000;

// The true pauses of a recording of `ms` with eight 75 s rounds, each from the last breath's peak
// (to the next breath's, or to the end, more than the limit and two seconds later), each raising
// the apnea once, within the limit and two seconds, and nothing else raising it.
std::vector<std::uint32_t> checkPauses(const Recording& r, std::uint32_t ms) {
  std::vector<std::uint32_t> pauseFrom;
  for (std::size_t i = 0; i < r.truePeaks.size(); ++i) {
    const std::uint32_t next =
        i + 1 < r.truePeaks.size() ? r.truePeaks[i + 1] : breathtest::kStartTick + ms;
    if (next - r.truePeaks[i] > kLimitMs + 2000) pauseFrom.push_back(r.truePeaks[i]);
  }
  EXPECT_EQ(pauseFrom.size(), 8u) << "eight 75 s rounds";
  EXPECT_EQ(r.apneaBegan.size(), pauseFrom.size());
  if (r.apneaBegan.size() != pauseFrom.size()) return {};
  for (std::size_t i = 0; i < pauseFrom.size(); ++i) {
    const std::uint32_t delay = r.apneaBegan[i] - pauseFrom[i];
    ::testing::Test::RecordProperty("delay" + std::to_string(i), std::to_string(delay));
    EXPECT_GE(delay, kLimitMs) << "apnea " << i;
    EXPECT_LE(delay, kLimitMs + 2000) << "apnea " << i;
  }
  return pauseFrom;
}

std::string roundName(const ::testing::TestParamInfo<ScenarioCase>& info) {
  return "seed" + std::to_string(info.param.seed) + (info.param.dropEvery ? "_drop500" : "");
}

class Apneas : public ::testing::TestWithParam<ScenarioCase> {};

// Every pause of the wearer longer than the limit raises the apnea once, within the limit and two
// seconds of the last breath, and nothing else does.
TEST_P(Apneas, EachPauseIsCaughtWithinTheLimitAndTwoSeconds) {
  const Recording r = play(GetParam(), 10 * kMinute);
  const std::vector<std::uint32_t> pauseFrom = checkPauses(r, 10 * kMinute);
  ASSERT_FALSE(pauseFrom.empty());
  // Breathing again ends each one with its first breath, except the last, still going at the end.
  ASSERT_EQ(r.apneaEnded.size(), pauseFrom.size() - 1);
  for (std::size_t i = 0; i + 1 < pauseFrom.size(); ++i) {
    const auto resumed =
        std::upper_bound(r.truePeaks.begin(), r.truePeaks.end(), pauseFrom[i],
                         [](std::uint32_t a, std::uint32_t b) { return std::int32_t(a - b) < 0; });
    ASSERT_NE(resumed, r.truePeaks.end());
    EXPECT_LE(r.apneaEnded[i] - *resumed, 2500u) << "apnea " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Sim, Apneas, ::testing::ValuesIn(cases({"breathing:60,apnea:15"})),
                         roundName);

class Holds : public ::testing::TestWithParam<ScenarioCase> {};

// A breath held after breathing in is a pause from its peak: the apnea rises within the limit and
// two seconds of it, and nothing else raises one. Breathing out at the end of the hold is the
// breath that ends it (the held one, counted then). Ten minutes and the breathing of a ninth round,
// so that the last hold (whose peak may come five seconds into it) is a whole pause too.
TEST_P(Holds, EachHeldBreathIsCaughtWithinTheLimitAndTwoSecondsOfItsPeak) {
  constexpr std::uint32_t kMs = 10 * kMinute + 20000;
  const Recording r = play(GetParam(), kMs);
  const std::vector<std::uint32_t> pauseFrom = checkPauses(r, kMs);
  ASSERT_FALSE(pauseFrom.empty());
  ASSERT_EQ(r.apneaEnded.size(), pauseFrom.size());
  for (std::size_t i = 0; i < pauseFrom.size(); ++i) {
    // Held from 60 s to 75 s of every round, on the belt's clock.
    const std::uint32_t resumed = r.firstNotification + std::uint32_t(75000 * (i + 1));
    const auto endedAfter = std::int32_t(r.apneaEnded[i] - resumed);
    RecordProperty("ended" + std::to_string(i), std::to_string(endedAfter));
    EXPECT_GT(endedAfter, 0) << "apnea " << i;
    EXPECT_LE(endedAfter, 2500) << "apnea " << i;
  }
  // Every breath counted, the held ones too.
  EXPECT_LE(std::abs(breathtest::countError(r)), 0.02)
      << r.detectedBreaths << " found, " << r.trueBreaths << " true";
}

INSTANTIATE_TEST_SUITE_P(Sim, Holds, ::testing::ValuesIn(cases({"breathing:60,hold:15"})),
                         roundName);

// The timeline a plain "SIM" plays (breathing:60,shallow:30,apnea:20,moving:30), with its changes
// of depth and pace: every breath counted, one apnea in each 20 s pause and none elsewhere.
TEST(SimDefaultTimeline, CountsTheBreathsAndCatchesEveryPause) {
  for (std::uint64_t seed : {1, 2, 3}) {
    SimOptions options = breathtest::world("breathing", seed);
    options.timeline = ScenarioTimeline::standard();
    BreathDetector detector;
    const Recording r = breathtest::recordWire(options, 10 * kMinute, detector);
    EXPECT_LE(std::abs(breathtest::countError(r)), 0.02)
        << r.detectedBreaths << " found, " << r.trueBreaths << " true, seed " << seed;
    // Pauses from 90 s to 110 s of every 140 s round: four in ten minutes.
    ASSERT_EQ(r.apneaBegan.size(), 4u) << "seed " << seed;
    ASSERT_EQ(r.apneaEnded.size(), 4u) << "seed " << seed;
    for (std::size_t i = 0; i < 4; ++i) {
      const double began = (r.apneaBegan[i] - r.firstNotification) / 1000.0 - 140.0 * double(i);
      const double ended = (r.apneaEnded[i] - r.firstNotification) / 1000.0 - 140.0 * double(i);
      EXPECT_GT(began, 90.0 + 10.0 - 2.0) << "seed " << seed << " apnea " << i;
      EXPECT_LT(began, 90.0 + 4.0 + 10.0 + 2.0) << "seed " << seed << " apnea " << i;
      EXPECT_GT(ended, 110.0) << "seed " << seed << " apnea " << i;
      EXPECT_LT(ended, 110.0 + 3.0) << "seed " << seed << " apnea " << i;
    }
  }
}

class HalfAnHour : public ::testing::TestWithParam<ScenarioCase> {};

// No false alarm, and no breath missed: a missed breath would leave a gap of two breaths.
TEST_P(HalfAnHour, NoApneaAndNoBreathMissed) {
  const Recording r = play(GetParam(), 30 * kMinute);
  EXPECT_TRUE(r.apneaBegan.empty());
  std::uint32_t longest = 0;
  for (std::size_t i = 1; i < r.detectedPeaks.size(); ++i) {
    longest = std::max(longest, r.detectedPeaks[i] - r.detectedPeaks[i - 1]);
  }
  RecordProperty("longestIntervalMs", std::to_string(longest));
  EXPECT_LT(longest, 7000u);
  EXPECT_GT(r.detectedPeaks.size(), 30u * 12);
}

INSTANTIATE_TEST_SUITE_P(Sim, HalfAnHour, ::testing::ValuesIn(cases({"breathing", "moving"})),
                         nameOf);

}  // namespace
}  // namespace kelvaro
