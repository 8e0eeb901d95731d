// The guide's timing on a given clock: the phase at each moment, the phase changes with holds and
// shares, the settings' ranges.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "guide/GuidePacer.h"

namespace kelvaro {
namespace {

struct Change {
  std::uint64_t ms;
  GuidePhase phase;  // the phase from then on
};

struct TimingCase {
  const char* name;
  GuideSettings settings;
  std::vector<Change> changes;  // the first breath's changes and the start of the second
};

void PrintTo(const TimingCase& c, std::ostream* os) { *os << c.name; }

GuideSettings make(double pace, int share, double holdIn, double holdOut) {
  GuideSettings s;
  s.pacePerMinute = pace;
  s.inSharePercent = share;
  s.holdInSeconds = holdIn;
  s.holdOutSeconds = holdOut;
  return s;
}

class GuideTiming : public ::testing::TestWithParam<TimingCase> {};

// Every phase begins where the table says, each millisecond before a change still belongs to the
// phase before it, and nextChangeAfter walks from change to change.
TEST_P(GuideTiming, ChangesPhaseAtTheRightTimes) {
  const TimingCase& c = GetParam();
  const GuidePacer pacer(c.settings);
  EXPECT_EQ(pacer.at(0).phase, GuidePhase::In);
  std::uint64_t at = 0;
  GuidePhase before = GuidePhase::In;
  for (const Change& change : c.changes) {
    EXPECT_EQ(pacer.nextChangeAfter(at), change.ms) << "after " << at;
    EXPECT_EQ(pacer.at(change.ms - 1).phase, before) << change.ms - 1;
    const GuideMoment m = pacer.at(change.ms);
    EXPECT_EQ(m.phase, change.phase) << change.ms;
    EXPECT_EQ(m.intoPhaseMs, 0u) << change.ms;
    at = change.ms;
    before = change.phase;
  }
  // The second breath repeats the first.
  EXPECT_EQ(pacer.at(c.changes.back().ms).cycle, 1u);
  EXPECT_EQ(pacer.peakMs(1), pacer.cycleMs() + pacer.inMs());
}

INSTANTIATE_TEST_SUITE_P(
    Pacer, GuideTiming,
    ::testing::Values(
        // 6 a minute: 10 s, 40 % in.
        TimingCase{"default", GuideSettings(), {{4000, GuidePhase::Out}, {10000, GuidePhase::In}}},
        // Holds come out of the breath; in and out share what is left (10 - 3 = 7 s).
        TimingCase{"holds",
                   make(6.0, 40, 2.0, 1.0),
                   {{2800, GuidePhase::HoldIn},
                    {4800, GuidePhase::Out},
                    {9000, GuidePhase::HoldOut},
                    {10000, GuidePhase::In}}},
        TimingCase{
            "hold after breathing out only",
            make(4.0, 50, 0.0, 5.0),
            {{5000, GuidePhase::Out}, {10000, GuidePhase::HoldOut}, {15000, GuidePhase::In}}},
        TimingCase{"fast, long breath in",
                   make(12.0, 60, 0.0, 0.0),
                   {{3000, GuidePhase::Out}, {5000, GuidePhase::In}}},
        // At 12 a minute (5 s) holds of 5 s and 5 s are shortened to half the breath together.
        TimingCase{"holds shortened",
                   make(12.0, 30, 5.0, 5.0),
                   {{750, GuidePhase::HoldIn},
                    {2000, GuidePhase::Out},
                    {3750, GuidePhase::HoldOut},
                    {5000, GuidePhase::In}}},
        TimingCase{"slowest",
                   make(3.0, 30, 0.5, 0.0),
                   {{5850, GuidePhase::HoldIn}, {6350, GuidePhase::Out}, {20000, GuidePhase::In}}}),
    [](const ::testing::TestParamInfo<TimingCase>& info) {
      std::string name = info.param.name;
      for (char& ch : name) {
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
      }
      return name;
    });

TEST(GuidePacer, TheTargetRisesWhileBreathingInAndFallsWhileBreathingOut) {
  const GuidePacer pacer(make(6.0, 40, 1.0, 1.0));  // in 3.2 s, hold 1, out 4.8 s, hold 1
  EXPECT_DOUBLE_EQ(pacer.at(0).level, 0.0);
  EXPECT_NEAR(pacer.at(1600).level, 0.5, 1e-9);
  EXPECT_DOUBLE_EQ(pacer.at(3600).level, 1.0);  // held
  EXPECT_NEAR(pacer.at(4200 + 2400).level, 0.5, 1e-9);
  EXPECT_DOUBLE_EQ(pacer.at(9500).level, 0.0);  // held
  double last = -1;
  for (std::uint64_t ms = 0; ms < 3200; ms += 100) {
    EXPECT_GT(pacer.at(ms).level, last) << ms;
    last = pacer.at(ms).level;
  }
}

TEST(GuidePacer, EndsAfterItsLength) {
  GuideSettings s;
  s.minutes = 1;
  const GuidePacer pacer(s);
  EXPECT_EQ(pacer.lengthMs(), 60000u);
  EXPECT_FALSE(pacer.at(59999).finished);
  EXPECT_TRUE(pacer.at(60000).finished);
  EXPECT_EQ(pacer.nextChangeAfter(59000), 60000u);
  EXPECT_EQ(pacer.nextChangeAfter(70000), 60000u);
}

struct ClampCase {
  GuideSettings given, expected;
};

class GuideSettingsRange : public ::testing::TestWithParam<ClampCase> {};

TEST_P(GuideSettingsRange, BringsEveryValueIntoItsRange) {
  const GuideSettings c = GetParam().given.clamped();
  const GuideSettings& e = GetParam().expected;
  EXPECT_EQ(c.pacePerMinute, e.pacePerMinute);
  EXPECT_EQ(c.inSharePercent, e.inSharePercent);
  EXPECT_EQ(c.holdInSeconds, e.holdInSeconds);
  EXPECT_EQ(c.holdOutSeconds, e.holdOutSeconds);
  EXPECT_EQ(c.minutes, e.minutes);
}

GuideSettings full(double pace, int share, double holdIn, double holdOut, int minutes) {
  GuideSettings s = make(pace, share, holdIn, holdOut);
  s.minutes = minutes;
  return s;
}

INSTANTIATE_TEST_SUITE_P(
    Pacer, GuideSettingsRange,
    ::testing::Values(ClampCase{GuideSettings(), full(6.0, 40, 0, 0, 5)},
                      ClampCase{full(2.0, 10, -1, 9, 0), full(3.0, 30, 0, 5, 1)},
                      ClampCase{full(15.0, 90, 7, -3, 45), full(12.0, 60, 5, 0, 30)},
                      ClampCase{full(6.3, 45, 1.3, 2.2, 10), full(6.5, 45, 1.5, 2.0, 10)},
                      ClampCase{full(std::nan(""), 40, std::nan(""), 0, 5),
                                full(6.0, 40, 0, 0, 5)}));

}  // namespace
}  // namespace kelvaro
