#include <gtest/gtest.h>

#include <QRegularExpression>
#include <algorithm>
#include <numeric>
#include <optional>
#include <string>
#include <vector>

#include "SimTestSupport.h"
#include "sim/SimStats.h"

namespace kelvaro {
namespace {

// One belt's force 1 and its truth, sample by sample.
struct Played {
  std::vector<int> raw1;
  std::vector<std::uint64_t> breathsAfter;  // the belt's count after each sample
  std::vector<std::optional<double>> rateAfter;
};

Played play(const char* timeline, std::uint64_t seed, std::uint32_t seconds) {
  BeltModel belt(seed, 0);
  const ScenarioTimeline t = *ScenarioTimeline::parse(QString::fromLatin1(timeline));
  Played p;
  BeltModel::Value value{};
  for (std::uint32_t i = 0; i < seconds * 20; ++i) {
    belt.nextValue(t, value);
    p.raw1.push_back(value[4] | (value[5] << 8));
    p.breathsAfter.push_back(belt.breaths());
    p.rateAfter.push_back(belt.breathingRate());
  }
  return p;
}

// The running mean takes this many samples (4 s) before the rises below are counted.
constexpr std::size_t kMeanSamples = 80;

// Breaths counted from the force alone: rises through the 4 s running mean, with a hysteresis of
// a quarter of the signal's spread.
int countRises(const std::vector<int>& raw) {
  const int n = int(raw.size());
  const auto [low, high] = std::minmax_element(raw.begin(), raw.end());
  const double margin = 0.25 * 0.5 * (*high - *low);
  int rises = 0;
  bool below = false;
  double sum = 0;
  for (int i = 0; i < n; ++i) {
    sum += raw[std::size_t(i)];
    if (i >= int(kMeanSamples)) sum -= raw[std::size_t(i) - kMeanSamples];
    if (i < int(kMeanSamples)) continue;
    const double mean = sum / double(kMeanSamples);
    if (raw[std::size_t(i)] < mean - margin) below = true;
    if (below && raw[std::size_t(i)] > mean + margin) {
      below = false;
      ++rises;
    }
  }
  return rises;
}

struct TruthCase {
  const char* scenario;
  double lowRate, highRate;  // every rate the belt reports over ten minutes
};

void PrintTo(const TruthCase& c, std::ostream* os) { *os << c.scenario; }

class BreathTruth : public ::testing::TestWithParam<TruthCase> {};

TEST_P(BreathTruth, CountsTheBreathsOfItsOwnForceAtTheScenariosRate) {
  const TruthCase& c = GetParam();
  for (std::uint64_t seed : {1, 2, 3}) {
    const Played p = play(c.scenario, seed, 600);
    const int counted = countRises(p.raw1);
    const auto truth = double(p.breathsAfter.back());
    // The last breath's rise may come before its peak, at the end of the ten minutes.
    const auto truthCounted = double(p.breathsAfter.back() - p.breathsAfter[kMeanSamples - 1]);
    EXPECT_NEAR(truthCounted, counted, 1) << c.scenario << " seed " << seed;
    double low = 1e9, high = 0;
    int withRate = 0;
    for (const auto& rate : p.rateAfter) {
      if (!rate) continue;
      ++withRate;
      low = std::min(low, *rate);
      high = std::max(high, *rate);
    }
    EXPECT_GT(withRate, int(p.rateAfter.size()) * 9 / 10) << c.scenario << " seed " << seed;
    EXPECT_GE(low, c.lowRate) << c.scenario << " seed " << seed;
    EXPECT_LE(high, c.highRate) << c.scenario << " seed " << seed;
    // The pace wanders: not one fixed rate with a little noise on it.
    EXPECT_GE(high - low, 0.1 * c.lowRate) << c.scenario << " seed " << seed;
    // 60 / 4 s, 60 / 3.3 s and 60 / 2.6 s on average over ten minutes.
    EXPECT_NEAR(truth / 10.0, 0.5 * (c.lowRate + c.highRate), 0.15 * c.lowRate);
  }
}

INSTANTIATE_TEST_SUITE_P(Belt, BreathTruth,
                         ::testing::Values(TruthCase{"breathing", 12.0, 18.5},
                                           TruthCase{"shallow", 14.5, 22.5},
                                           TruthCase{"moving", 18.5, 28.5}),
                         [](const ::testing::TestParamInfo<TruthCase>& info) {
                           return std::string(info.param.scenario);
                         });

struct PacedCase {
  const char* timeline;
  double pace;  // breaths a minute
};

void PrintTo(const PacedCase& c, std::ostream* os) { *os << c.timeline; }

class PacedBreathing : public ::testing::TestWithParam<PacedCase> {};

// Told a pace, the wearer keeps it: the true rate is the pace, and the breaths keep one phase (the
// peaks stay within a few percent of a period of a fixed grid) instead of wandering off it.
TEST_P(PacedBreathing, KeepsThePaceAtOneSteadyPhase) {
  const PacedCase& c = GetParam();
  const double period = 60.0 * 20 / c.pace;  // samples
  for (std::uint64_t seed : {1, 2, 3}) {
    const Played p = play(c.timeline, seed, 600);
    std::vector<std::size_t> peaks;
    for (std::size_t i = 1; i < p.breathsAfter.size(); ++i) {
      if (p.breathsAfter[i] != p.breathsAfter[i - 1]) peaks.push_back(i);
    }
    ASSERT_GE(peaks.size(), std::size_t(10 * c.pace) - 2) << c.timeline << " seed " << seed;
    // Once the median of five intervals leaves out the first (begun before the pace was told).
    for (std::size_t i = std::size_t(8 * period); i < p.rateAfter.size(); ++i) {
      ASSERT_TRUE(p.rateAfter[i].has_value());
      EXPECT_NEAR(*p.rateAfter[i], c.pace, 0.03 * c.pace) << c.timeline << " at " << i;
    }
    // From the second peak on (the first breath was under way when the pace was told).
    const double origin = double(peaks[1]);
    double farthest = 0;
    for (std::size_t k = 1; k < peaks.size(); ++k) {
      const double expected = origin + double(k - 1) * period;
      farthest = std::max(farthest, std::abs(double(peaks[k]) - expected));
    }
    EXPECT_LE(farthest, 0.05 * period + 1) << c.timeline << " seed " << seed;
  }
}

INSTANTIATE_TEST_SUITE_P(Belt, PacedBreathing,
                         ::testing::Values(PacedCase{"breathing@6", 6.0},
                                           PacedCase{"breathing@6.5", 6.5},
                                           PacedCase{"breathing@12", 12.0},
                                           PacedCase{"breathing@30", 30.0}),
                         [](const ::testing::TestParamInfo<PacedCase>& info) {
                           std::string name = info.param.timeline;
                           for (char& ch : name) {
                             if (ch == '@') ch = '_';
                             if (ch == '.') ch = 'p';
                           }
                           return name;
                         });

class NotBreathing : public ::testing::TestWithParam<const char*> {};

TEST_P(NotBreathing, FromTheStartKnowsNoBreathAndNoRate) {
  const Played p = play(GetParam(), 1, 120);
  EXPECT_EQ(p.breathsAfter.back(), 0u);
  EXPECT_TRUE(std::none_of(p.rateAfter.begin(), p.rateAfter.end(),
                           [](const auto& rate) { return rate.has_value(); }));
  const auto [low, high] = std::minmax_element(p.raw1.begin() + 2 * 20, p.raw1.end());
  EXPECT_LE(*high - *low, 8) << "still from the start";
}

INSTANTIATE_TEST_SUITE_P(Belt, NotBreathing, ::testing::Values("apnea", "hold"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           return std::string(info.param);
                         });

struct StopCase {
  const char* name;
  const char* timeline;                 // breathing for 30 s, stopped for 30 s, breathing again
  std::uint64_t leastPeaks, mostPeaks;  // after breathing stops
  bool restsAtTheTop;                   // held after breathing in, not after breathing out
};

void PrintTo(const StopCase& c, std::ostream* os) { *os << c.name; }

class StoppedBreathing : public ::testing::TestWithParam<StopCase> {};

TEST_P(StoppedBreathing, FinishesTheBreathAndRestsWhereItStopped) {
  const StopCase& c = GetParam();
  const Played p = play(c.timeline, 7, 90);
  const std::size_t stop = 30 * 20, resume = 60 * 20;
  // The breath in progress at 30 s (at most about 5.6 s long) still peaks, or, held after
  // breathing in, the one after it; no later one does.
  const std::uint64_t atStop = p.breathsAfter[stop - 1];
  const std::uint64_t peaks = p.breathsAfter[stop + 6 * 20] - atStop;
  EXPECT_GE(peaks, c.leastPeaks);
  EXPECT_LE(peaks, c.mostPeaks);
  EXPECT_EQ(p.breathsAfter[resume - 1], p.breathsAfter[stop + 6 * 20]);
  EXPECT_FALSE(p.rateAfter[stop + 10 * 20].has_value()) << "no rate while breathing has stopped";

  // Still where the chest stopped: after breathing out well below the breathing's mean, after
  // breathing in at the level of the last peak, well above it.
  const auto from = p.raw1.begin() + std::ptrdiff_t(stop + 8 * 20);
  const auto to = p.raw1.begin() + std::ptrdiff_t(resume);
  const auto [low, high] = std::minmax_element(from, to);
  EXPECT_LE(*high - *low, 8) << "the held chest does not move";
  const double breathingMean =
      std::accumulate(p.raw1.begin(), p.raw1.begin() + std::ptrdiff_t(stop), 0.0) / double(stop);
  if (c.restsAtTheTop) {
    EXPECT_GT(*low, breathingMean + 20);
    const std::size_t lastPeak = std::size_t(
        std::find(p.breathsAfter.begin(), p.breathsAfter.end(), p.breathsAfter[resume - 1]) -
        p.breathsAfter.begin());
    EXPECT_NEAR(*low, p.raw1[lastPeak], 8) << "resting where the last breath peaked";
  } else {
    EXPECT_LT(*high, breathingMean - 20);
  }

  // Breathing resumes: breaths again, and a rate from the third breath on.
  EXPECT_GE(p.breathsAfter.back() - p.breathsAfter[resume - 1], 5u);
  EXPECT_TRUE(p.rateAfter.back().has_value());
}

INSTANTIATE_TEST_SUITE_P(Belt, StoppedBreathing,
                         ::testing::Values(StopCase{"apnea", "breathing:30,apnea:30", 0, 1, false},
                                           StopCase{"hold", "breathing:30,hold:30", 1, 1, true}),
                         [](const ::testing::TestParamInfo<StopCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(SimStats, LineCarriesTheCountersAndTheBeltsTruth) {
  SimOptions options;
  options.timeline = ScenarioTimeline(Scenario::Breathing);
  simtest::Bench bench(options);
  EXPECT_TRUE(simStatsLine(bench.dongle).endsWith(QStringLiteral(" breaths=0 rate=none")))
      << simStatsLine(bench.dongle).toStdString();
  bench.connectAndStream();
  bench.run(60000, 50);
  const QString line = simStatsLine(bench.dongle);
  const QRegularExpression form(QStringLiteral(
      "^stats t=[0-9]+\\.[0-9]{3} notifications=([0-9]+) wire=[0-9]+ dropped=0 lost=0 txlost=0 "
      "waiting=[0-9]+ breaths=([0-9]+) rate=([0-9]+\\.[0-9])$"));
  const QRegularExpressionMatch m = form.match(line);
  ASSERT_TRUE(m.hasMatch()) << line.toStdString();
  const BeltModel& belt = bench.dongle.belts()[0];
  EXPECT_EQ(m.captured(1).toULongLong(), bench.dongle.counters().notifications);
  EXPECT_EQ(m.captured(2).toULongLong(), belt.breaths());
  EXPECT_GE(belt.breaths(), 10u);
  ASSERT_TRUE(belt.breathingRate().has_value());
  EXPECT_EQ(m.captured(3), QString::number(*belt.breathingRate(), 'f', 1));
}

TEST(SimStats, ReportsThePaceTheWearerWasTold) {
  SimOptions options;
  options.timeline = *ScenarioTimeline::parse(QStringLiteral("breathing@6"));
  simtest::Bench bench(options);
  bench.connectAndStream();
  bench.run(90000, 50);
  EXPECT_TRUE(simStatsLine(bench.dongle).endsWith(QStringLiteral(" rate=6.0")))
      << simStatsLine(bench.dongle).toStdString();
}

}  // namespace
}  // namespace kelvaro
