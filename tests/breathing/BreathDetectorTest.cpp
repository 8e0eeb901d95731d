#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "SyntheticWearer.h"
#include "breathing/BreathDetector.h"

namespace kelvaro {
namespace {

using synthetic::Feed;
using synthetic::Played;
using synthetic::Shake;
using synthetic::Wearer;

Wearer steady(double rate, double depth) {
  Wearer w;
  w.breathSeconds = [rate](int) { return 60.0 / rate; };
  w.depth = [depth](int) { return depth; };
  w.build();
  return w;
}

// How far a breath's mark may lie from its true peak: a few samples, a sixteenth of the breath
// (the baseline's lead on slow breaths), and for noise on a flat top, more.
double markTolerance(double breathSeconds, double intervalMs = 50, double noiseShare = 0) {
  return 0.15 + 2 * intervalMs / 1000.0 + breathSeconds / 16 + breathSeconds * noiseShare / 2;
}

// The last true peak before `t` seconds.
double lastPeakBefore(const Wearer& w, double t) {
  double last = -1;
  for (double p : w.peaks(t)) last = p;
  return last;
}

struct SineCase {
  const char* name;
  double rate;   // breaths a minute
  double depth;  // grams
  double driftPerMinute, wander, noise;
  double intervalMs, jitterMs, lossShare;
};

void PrintTo(const SineCase& c, std::ostream* os) { *os << c.name; }

class Sines : public ::testing::TestWithParam<SineCase> {};

TEST_P(Sines, FindEveryBreathWhereItPeaksAndItsRate) {
  const SineCase& c = GetParam();
  Wearer w = steady(c.rate, c.depth);
  w.driftPerMinute = c.driftPerMinute;
  w.wander = c.wander;
  w.noise = c.noise;
  Feed f;
  f.intervalMs = c.intervalMs;
  f.jitterMs = c.jitterMs;
  f.lossShare = c.lossShare;
  // Six breaths a minute are 10 s apart: the limit must not take them for pauses.
  BreathDetector detector(15);
  const Played run = synthetic::feed(w, f, detector);

  // The first breath may peak before a trough was seen, the last may not have fallen yet.
  const auto truth = w.peaks(w.seconds);
  EXPECT_GE(run.peaks.size() + 2, truth.size());
  EXPECT_LE(run.peaks.size(), truth.size());
  const double tolerance =
      markTolerance(60.0 / c.rate, c.intervalMs + c.jitterMs, c.noise / c.depth);
  EXPECT_EQ(synthetic::unmatched(run.peaks, truth, tolerance), 0);
  EXPECT_TRUE(run.marksPointAtTheirSamples);

  ASSERT_TRUE(detector.ratePerMinute().has_value());
  EXPECT_NEAR(*detector.ratePerMinute(), c.rate, 0.02 * c.rate);
  EXPECT_TRUE(run.apneaBegan.empty());
  EXPECT_EQ(detector.breaths(), run.peaks.size());
}

INSTANTIATE_TEST_SUITE_P(
    Breathing, Sines,
    ::testing::Values(SineCase{"calm", 15, 30, 0, 0, 0.3, 50, 0, 0},
                      SineCase{"slow", 6, 40, 0, 0, 0.3, 50, 0, 0},
                      SineCase{"fast", 40, 12, 0, 0, 0.3, 50, 0, 0},
                      SineCase{"shallow", 20, 3, 0, 0, 0.15, 50, 0, 0},
                      SineCase{"drifting", 12, 20, 300, 40, 0.3, 50, 0, 0},
                      SineCase{"noisy", 18, 10, 0, 0, 1.5, 50, 0, 0},
                      SineCase{"fiveAsecond", 15, 30, 0, 0, 0.3, 200, 0, 0},
                      SineCase{"hundredAsecond", 15, 30, 0, 0, 0.3, 10, 0, 0},
                      SineCase{"jittery", 15, 30, 0, 0, 0.3, 50, 30, 0},
                      SineCase{"aQuarterLost", 15, 30, 0, 0, 0.3, 50, 0, 0.25}),
    [](const ::testing::TestParamInfo<SineCase>& info) { return std::string(info.param.name); });

TEST(BreathDetector, DeepAndShallowBreathsAllCount) {
  Wearer w;
  const double depths[] = {30, 12, 50, 18, 40};
  w.depth = [&depths](int k) { return depths[k % 5]; };
  w.breathSeconds = [](int k) { return 3.5 + 0.5 * (k % 3); };
  w.build();
  BreathDetector detector;
  const Played run = synthetic::feed(w, Feed{}, detector);
  const auto truth = w.peaks(w.seconds);
  EXPECT_GE(run.peaks.size() + 2, truth.size());
  EXPECT_EQ(synthetic::unmatched(run.peaks, truth, markTolerance(4.5)), 0);
}

TEST(BreathDetector, RateFollowsAFasterPaceWithinSixBreaths) {
  Wearer w;
  w.breathSeconds = [](int k) { return k < 30 ? 4.0 : 2.0; };
  w.seconds = 180;
  w.build();
  BreathDetector detector;
  const Played run = synthetic::feed(w, Feed{}, detector);
  ASSERT_GT(run.peaks.size(), 40u);
  const double change = w.starts[30];
  // Before the change the rate is 15; from the sixth breath after it, 30.
  int after = 0;
  for (std::size_t b = 0; b < run.peaks.size(); ++b) {
    const auto& rate = run.updates[run.breathSample[b]].ratePerMinute;
    if (run.peaks[b] > 30 && run.peaks[b] < change) {
      ASSERT_TRUE(rate.has_value());
      EXPECT_NEAR(*rate, 15.0, 0.3) << "breath at " << run.peaks[b] << " s";
    }
    if (run.peaks[b] > change && ++after >= 6) {
      ASSERT_TRUE(rate.has_value());
      EXPECT_NEAR(*rate, 30.0, 0.6) << "breath at " << run.peaks[b] << " s";
    }
  }
}

struct PauseCase {
  int limitSeconds;
  double pauseSeconds;
};

void PrintTo(const PauseCase& c, std::ostream* os) {
  *os << c.limitSeconds << " s limit, " << c.pauseSeconds << " s pause";
}

class Pauses : public ::testing::TestWithParam<PauseCase> {};

TEST_P(Pauses, RaiseTheApneaAtTheLimitAndBreathingEndsIt) {
  const PauseCase& c = GetParam();
  Wearer w = steady(15, 30);
  w.pauseAfter[15] = c.pauseSeconds;
  w.seconds = 15 * 4 + c.pauseSeconds + 60;
  w.build();
  BreathDetector detector(c.limitSeconds);
  const Played run = synthetic::feed(w, Feed{}, detector);

  const double resume = w.starts[16];
  const double lastBreath = lastPeakBefore(w, resume);
  ASSERT_EQ(run.apneaBegan.size(), 1u);
  EXPECT_GE(run.apneaBegan[0] - lastBreath, c.limitSeconds);
  EXPECT_LE(run.apneaBegan[0] - lastBreath, c.limitSeconds + 2.0);
  // It ends with the first breath after the pause, as soon as that breath has been seen.
  ASSERT_EQ(run.apneaEnded.size(), 1u);
  EXPECT_GT(run.apneaEnded[0], resume);
  EXPECT_LT(run.apneaEnded[0], resume + w.lengths[16] + 1.0);

  // No rate during the apnea, nor before the third breath after it.
  int breathsAfter = 0;
  for (std::size_t i = 0; i < run.updates.size(); ++i) {
    const BreathUpdate& u = run.updates[i];
    const double t = double(run.ticks[i] - Feed{}.startTick) / 1000.0;
    if (u.apnea) {
      EXPECT_FALSE(u.ratePerMinute.has_value()) << t;
      EXPECT_GT(u.msSinceBreath, std::uint32_t(c.limitSeconds) * 1000) << t;
    }
    if (t > resume && u.breath) ++breathsAfter;
    if (t > resume) {
      EXPECT_EQ(u.ratePerMinute.has_value(), breathsAfter >= 3) << t;
    }
  }
  EXPECT_GE(breathsAfter, 10);
}

INSTANTIATE_TEST_SUITE_P(Breathing, Pauses,
                         ::testing::Values(PauseCase{10, 25}, PauseCase{5, 12}, PauseCase{30, 45},
                                           PauseCase{60, 70}),
                         [](const ::testing::TestParamInfo<PauseCase>& info) {
                           return "limit" + std::to_string(info.param.limitSeconds);
                         });

struct HoldCase {
  const char* name;
  double phase;   // of the breath where it is held (0.5: its peak)
  double deeper;  // the held breath's depth, times the others'
  double noise, driftPerMinute, wander;
  int limitSeconds = breathing::kDefaultApneaSeconds;
  double holdSeconds = 20;
};

void PrintTo(const HoldCase& c, std::ostream* os) { *os << c.name; }

class HeldBreaths : public ::testing::TestWithParam<HoldCase> {};

// Breathing stops anywhere in a breath: no breath until it resumes, the apnea raised once within
// the limit and two seconds of the last peak (a breath held at its top peaked there) with the time
// since that peak, and ended only by breathing again.
TEST_P(HeldBreaths, ArePausesWhereverTheyStop) {
  const HoldCase& c = GetParam();
  constexpr int kHeld = 15;
  Wearer w;
  w.depth = [&c](int k) { return k == kHeld ? 30.0 * c.deeper : 30.0; };
  w.holds[kHeld] = synthetic::Hold{c.phase, c.holdSeconds};
  w.seconds = 4.0 * kHeld + c.holdSeconds + 60;
  w.noise = c.noise;
  w.driftPerMinute = c.driftPerMinute;
  w.wander = c.wander;
  w.build();
  BreathDetector detector(c.limitSeconds);
  const Played run = synthetic::feed(w, Feed{}, detector);

  const double stopped = w.starts[kHeld] + c.phase * w.lengths[kHeld];
  const double resumed = stopped + c.holdSeconds;
  const double lastPeak = lastPeakBefore(w, stopped + 0.01);
  // A breath breathed out as the chest stops is seen within two seconds; then nothing until the
  // chest moves again.
  for (std::size_t b = 0; b < run.peaks.size(); ++b) {
    const double seen = double(run.ticks[run.breathSample[b]] - Feed{}.startTick) / 1000.0;
    EXPECT_FALSE(seen > stopped + 2.0 && seen < resumed) << "breath seen at " << seen;
  }
  EXPECT_EQ(synthetic::unmatched(run.peaks, w.peaks(w.seconds), markTolerance(4)), 0);

  ASSERT_EQ(run.apneaBegan.size(), 1u);
  const double delay = run.apneaBegan[0] - lastPeak;
  RecordProperty("apneaAfterLastPeak", std::to_string(delay));
  EXPECT_GE(delay, c.limitSeconds);
  EXPECT_LE(delay, c.limitSeconds + 2.0);
  const auto began = std::find_if(run.updates.begin(), run.updates.end(),
                                  [](const BreathUpdate& u) { return u.apneaBegan; });
  EXPECT_NEAR(began->msSinceBreath / 1000.0, delay, 0.5) << "the banner's time since the breath";
  ASSERT_EQ(run.apneaEnded.size(), 1u);
  EXPECT_GT(run.apneaEnded[0], resumed);
  EXPECT_LT(run.apneaEnded[0], resumed + w.lengths[kHeld + 1] + 1.0);

  const auto after = std::count_if(run.peaks.begin(), run.peaks.end(),
                                   [resumed](double p) { return p > resumed; });
  EXPECT_GE(after, 12);
  ASSERT_TRUE(detector.ratePerMinute().has_value());
  EXPECT_NEAR(*detector.ratePerMinute(), 15.0, 0.3);
}

INSTANTIATE_TEST_SUITE_P(
    Breathing, HeldBreaths,
    ::testing::Values(
        HoldCase{"risingStill", 0.25, 1, 0, 0, 0}, HoldCase{"peakStill", 0.5, 1, 0, 0, 0},
        HoldCase{"fallingStill", 0.75, 1, 0, 0, 0}, HoldCase{"troughStill", 1.0, 1, 0, 0, 0},
        HoldCase{"deepInhaleStill", 0.5, 2, 0, 0, 0}, HoldCase{"risingNoisy", 0.25, 1, 1.0, 0, 0},
        HoldCase{"peakNoisy", 0.5, 1, 1.0, 0, 0}, HoldCase{"fallingNoisy", 0.75, 1, 1.0, 0, 0},
        HoldCase{"troughNoisy", 1.0, 1, 1.0, 0, 0}, HoldCase{"deepInhaleNoisy", 0.5, 2, 1.0, 0, 0},
        HoldCase{"risingDrifting", 0.25, 1, 0.3, 30, 15},
        HoldCase{"peakDrifting", 0.5, 1, 0.3, 30, 15},
        HoldCase{"fallingDrifting", 0.75, 1, 0.3, 30, 15},
        HoldCase{"troughDrifting", 1.0, 1, 0.3, 30, 15},
        HoldCase{"deepInhaleDrifting", 0.5, 2, 0.3, 30, 15},
        HoldCase{"peakFiveSecondLimit", 0.5, 1, 0.3, 0, 0, 5, 12},
        HoldCase{"deepInhaleHalfMinuteLimit", 0.5, 2, 0.3, 0, 0, 30, 40}),
    [](const ::testing::TestParamInfo<HoldCase>& info) { return std::string(info.param.name); });

struct StopCase {
  int stop;         // samples of 250 + 30 sin(2 pi i / 80) g, 50 ms apart, before the force holds
  double lastTopS;  // the last top the chest reached before it held (its own, held at the peak)
};

void PrintTo(const StopCase& c, std::ostream* os) { *os << "stopped after " << c.stop; }

class StoppedSine : public ::testing::TestWithParam<StopCase> {};

// The force holds its last value for 20 s wherever the sine stops: halfway up (the last breath's
// top is the one before), at the peak (held there), halfway down and at the trough.
TEST_P(StoppedSine, IsAPauseWhereverItStops) {
  const StopCase& c = GetParam();
  BreathDetector detector;
  double force = 0;
  std::uint64_t breathsAtStop = 0;
  std::vector<double> began, ended;
  for (int i = 0; i < c.stop + 400; ++i) {
    if (i < c.stop) force = 250 + 30 * std::sin(2 * synthetic::kPi * i / 80);
    const BreathUpdate u = detector.addSample(force, 1000 + 50u * std::uint32_t(i));
    if (i == c.stop + 40) breathsAtStop = u.breaths;  // a breath breathed out is seen by then
    if (u.breath) {
      EXPECT_LE((u.peakTickMs - 1000) / 1000.0, c.lastTopS + 0.3) << "at " << i;
    }
    if (u.apneaBegan) began.push_back(i * 0.05);
    if (u.apneaEnded) ended.push_back(i * 0.05);
  }
  EXPECT_EQ(detector.breaths(), breathsAtStop) << "no breath in the pause";
  ASSERT_EQ(began.size(), 1u);
  EXPECT_GE(began[0] - c.lastTopS, breathing::kDefaultApneaSeconds);
  EXPECT_LE(began[0] - c.lastTopS, breathing::kDefaultApneaSeconds + 2.0);
  EXPECT_TRUE(ended.empty()) << "the apnea lasts while the force holds";
  EXPECT_TRUE(detector.apnea());
}

INSTANTIATE_TEST_SUITE_P(Breathing, StoppedSine,
                         ::testing::Values(StopCase{1200, 57.0}, StopCase{1220, 61.0},
                                           StopCase{1240, 61.0}, StopCase{1260, 61.0}),
                         [](const ::testing::TestParamInfo<StopCase>& info) {
                           return "after" + std::to_string(info.param.stop);
                         });

struct ShallowerCase {
  double rate;
  double share;  // of the earlier depth
};

void PrintTo(const ShallowerCase& c, std::ostream* os) {
  *os << c.rate << " a minute, " << c.share << " of the depth";
}

class GrownShallower : public ::testing::TestWithParam<ShallowerCase> {};

// Breathing grown much shallower from one breath to the next lies still against the earlier depth
// at its tops; it is breathing all the same.
TEST_P(GrownShallower, IsStillBreathing) {
  const ShallowerCase& c = GetParam();
  Wearer w = steady(c.rate, 60);
  const int change = int(c.rate);  // after a minute
  w.depth = [&c, change](int k) { return k < change ? 60.0 : 60.0 * c.share; };
  w.seconds = 180;
  w.build();
  BreathDetector detector;
  const Played run = synthetic::feed(w, Feed{}, detector);
  const auto truth = w.peaks(w.seconds);
  EXPECT_TRUE(run.apneaBegan.empty());
  EXPECT_GE(run.peaks.size() + 3, truth.size());
  EXPECT_EQ(synthetic::unmatched(run.peaks, truth, markTolerance(60.0 / c.rate)), 0);
}

INSTANTIATE_TEST_SUITE_P(Breathing, GrownShallower,
                         ::testing::Values(ShallowerCase{15, 0.2}, ShallowerCase{24, 0.2},
                                           ShallowerCase{10, 0.3}),
                         [](const ::testing::TestParamInfo<ShallowerCase>& info) {
                           return "rate" + std::to_string(int(info.param.rate)) + "share" +
                                  std::to_string(int(info.param.share * 100));
                         });

TEST(BreathDetector, PauseShorterThanTheLimitIsNoApnea) {
  // 8 s from peak to peak: the breath after the pause is seen within the 10 s.
  Wearer w = steady(15, 30);
  w.pauseAfter[15] = 4;
  w.build();
  BreathDetector detector;
  const Played run = synthetic::feed(w, Feed{}, detector);
  EXPECT_TRUE(run.apneaBegan.empty());
  EXPECT_EQ(synthetic::unmatched(run.peaks, w.peaks(w.seconds), markTolerance(4)), 0);
}

TEST(BreathDetector, StillBeltFromTheStartRaisesTheApneaAtTheLimit) {
  Wearer w;
  w.depth = [](int) { return 0.0; };
  w.seconds = 30;
  w.build();
  BreathDetector detector;
  const Played run = synthetic::feed(w, Feed{}, detector);
  EXPECT_TRUE(run.peaks.empty());
  ASSERT_EQ(run.apneaBegan.size(), 1u);
  EXPECT_NEAR(run.apneaBegan[0], 10.0, 0.1) << "from the first sample on";
}

struct ShakeCase {
  double hz;
  double grams;
};

void PrintTo(const ShakeCase& c, std::ostream* os) { *os << c.grams << " g at " << c.hz << " Hz"; }

class Shaking : public ::testing::TestWithParam<ShakeCase> {};

// Bursts of 8 s every 30 s on 30 g breaths: they may hide a breath, never add one.
TEST_P(Shaking, BurstsAddNoBreath) {
  Wearer w = steady(15, 30);
  for (double from = 20; from < w.seconds; from += 30) {
    w.shakes.push_back(Shake{from, from + 8, GetParam().grams, GetParam().hz});
  }
  BreathDetector detector;
  const Played run = synthetic::feed(w, Feed{}, detector);
  const auto truth = w.peaks(w.seconds);
  // A mark under shaking may sit on the crest of a shake next to the breath's peak.
  EXPECT_EQ(synthetic::unmatched(run.peaks, truth, markTolerance(4) + 1 / GetParam().hz), 0);
  EXPECT_GE(run.peaks.size() + 2 + w.shakes.size(), truth.size()) << "at most one hidden a burst";
  EXPECT_TRUE(run.apneaBegan.empty());
  ASSERT_TRUE(detector.ratePerMinute().has_value());
  EXPECT_NEAR(*detector.ratePerMinute(), 15.0, 0.5);
}

// ... and shaking without breathing is no breathing.
TEST_P(Shaking, DuringAPauseAreNoBreathing) {
  Wearer w = steady(15, 30);
  w.pauseAfter[10] = 40;
  w.build();
  const double pause = w.starts[10] + w.lengths[10];
  w.shakes.push_back(Shake{pause + 1, pause + 39, GetParam().grams, GetParam().hz});
  BreathDetector detector;
  const Played run = synthetic::feed(w, Feed{}, detector);
  const double lastBreath = lastPeakBefore(w, pause + 1);
  for (double p : run.peaks) {
    EXPECT_FALSE(p > pause && p < pause + 40) << "breath at " << p;
  }
  ASSERT_FALSE(run.apneaBegan.empty());
  EXPECT_NEAR(run.apneaBegan[0] - lastBreath, 11.0, 1.0);
}

INSTANTIATE_TEST_SUITE_P(Breathing, Shaking,
                         ::testing::Values(ShakeCase{1.5, 30}, ShakeCase{2.0, 40},
                                           ShakeCase{3.0, 60}),
                         [](const ::testing::TestParamInfo<ShakeCase>& info) {
                           return "hz" + std::to_string(int(info.param.hz * 10));
                         });

TEST(BreathDetector, IsolatedSpikesChangeNothing) {
  const Wearer w = steady(15, 20);
  Feed clean;
  Feed spiky;
  spiky.spikeEvery = 37;
  BreathDetector a, b;
  const Played expected = synthetic::feed(w, clean, a);
  const Played run = synthetic::feed(w, spiky, b);
  EXPECT_EQ(run.peaks.size(), expected.peaks.size());
  EXPECT_EQ(synthetic::unmatched(run.peaks, w.peaks(w.seconds), markTolerance(4)), 0);
}

TEST(BreathDetector, GapInTheDataDoesNotCountTowardsAnApnea) {
  Wearer w = steady(15, 30);
  Feed f;
  f.gapFrom = 100;
  f.gapTo = 112;
  BreathDetector detector;
  const Played run = synthetic::feed(w, f, detector);
  EXPECT_TRUE(run.apneaBegan.empty());
  const auto truth = w.peaks(w.seconds);
  const auto inGap = std::count_if(truth.begin(), truth.end(),
                                   [&f](double p) { return p >= f.gapFrom && p < f.gapTo; });
  EXPECT_GE(run.peaks.size() + std::size_t(inGap) + 4, truth.size());
  EXPECT_EQ(synthetic::unmatched(run.peaks, truth, markTolerance(4)), 0);
}

TEST(BreathDetector, AnnouncedJumpOfTheZeroIsNoBreath) {
  const Wearer w = steady(15, 30);
  Feed f;
  f.restartAt = 121.0;  // breathing out
  f.jumpGrams = -400;
  BreathDetector plain, jumped;
  const Played expected = synthetic::feed(w, Feed{}, plain);
  const Played run = synthetic::feed(w, f, jumped);
  EXPECT_EQ(synthetic::unmatched(run.peaks, w.peaks(w.seconds), markTolerance(4)), 0);
  EXPECT_GE(run.peaks.size() + 1, expected.peaks.size());
  EXPECT_TRUE(run.apneaBegan.empty());
  // The rate carries on through the restart.
  for (std::size_t i = 0; i < run.updates.size(); ++i) {
    if (run.ticks[i] - f.startTick > 60000) {
      EXPECT_TRUE(run.updates[i].ratePerMinute.has_value()) << run.ticks[i];
    }
  }
}

TEST(BreathDetector, SameBreathsAcrossTheTicksWrap) {
  const Wearer w = steady(17, 25);
  Feed early, wrapping;
  early.jitterMs = wrapping.jitterMs = 20;
  wrapping.startTick = 0xFFFFFFFFu - 60000;
  BreathDetector a, b;
  const Played x = synthetic::feed(w, early, a);
  const Played y = synthetic::feed(w, wrapping, b);
  ASSERT_EQ(x.updates.size(), y.updates.size());
  ASSERT_GT(x.peaks.size(), 50u);
  for (std::size_t i = 0; i < x.updates.size(); ++i) {
    const BreathUpdate& u = x.updates[i];
    const BreathUpdate& v = y.updates[i];
    ASSERT_EQ(u.breath, v.breath) << i;
    EXPECT_EQ(u.peakSamplesAgo, v.peakSamplesAgo) << i;
    if (u.breath) {
      EXPECT_EQ(u.peakTickMs - early.startTick, v.peakTickMs - wrapping.startTick) << i;
    }
    EXPECT_EQ(u.ratePerMinute, v.ratePerMinute) << i;
    EXPECT_EQ(u.msSinceBreath, v.msSinceBreath) << i;
  }
}

TEST(BreathDetector, ResetForgetsEverythingButTheLimit) {
  Wearer w = steady(15, 30);
  w.seconds = 40;
  w.pauseAfter[5] = 30;
  w.build();
  BreathDetector used(20);
  synthetic::feed(w, Feed{}, used);
  ASSERT_GT(used.breaths(), 0u);
  used.reset();
  EXPECT_EQ(used.breaths(), 0u);
  EXPECT_EQ(used.samples(), 0u);
  EXPECT_FALSE(used.ratePerMinute().has_value());
  EXPECT_FALSE(used.apnea());
  EXPECT_EQ(used.msSinceBreath(), 0u);
  EXPECT_EQ(used.apneaLimitSeconds(), 20);

  const Wearer next = steady(12, 20);
  BreathDetector fresh(20);
  const Played x = synthetic::feed(next, Feed{}, used);
  const Played y = synthetic::feed(next, Feed{}, fresh);
  ASSERT_EQ(x.updates.size(), y.updates.size());
  EXPECT_EQ(x.peaks, y.peaks);
  EXPECT_EQ(x.apneaBegan, y.apneaBegan);
  EXPECT_EQ(used.ratePerMinute(), fresh.ratePerMinute());
}

TEST(BreathDetector, ApneaLimitStaysWithinFiveToSixtySeconds) {
  BreathDetector detector;
  EXPECT_EQ(detector.apneaLimitSeconds(), 10);
  const int asked[] = {-1, 4, 5, 17, 60, 61, 1000};
  const int kept[] = {5, 5, 5, 17, 60, 60, 60};
  for (std::size_t i = 0; i < std::size(asked); ++i) {
    detector.setApneaLimitSeconds(asked[i]);
    EXPECT_EQ(detector.apneaLimitSeconds(), kept[i]) << asked[i];
    EXPECT_EQ(BreathDetector(asked[i]).apneaLimitSeconds(), kept[i]) << asked[i];
  }
}

}  // namespace
}  // namespace kelvaro
