#include <vector>

#include <gtest/gtest.h>

#include "sim/SimOptions.h"

namespace kelvaro {
namespace {

struct TimelineCase {
  const char* text;
  const char* canonical;  // empty: not a timeline
};

void PrintTo(const TimelineCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class TimelineParsing : public ::testing::TestWithParam<TimelineCase> {};

TEST_P(TimelineParsing, ParsesOrRefuses) {
  QString error;
  const auto timeline = ScenarioTimeline::parse(QString::fromLatin1(GetParam().text), &error);
  if (*GetParam().canonical == '\0') {
    EXPECT_FALSE(timeline) << GetParam().text;
    EXPECT_FALSE(error.isEmpty());
  } else {
    ASSERT_TRUE(timeline) << GetParam().text << ": " << error.toStdString();
    EXPECT_EQ(timeline->toString().toStdString(), GetParam().canonical);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Scenario, TimelineParsing,
    ::testing::Values(TimelineCase{"breathing", "breathing"}, TimelineCase{"Apnea", "apnea"},
                      TimelineCase{"HOLD", "hold"},
                      TimelineCase{"breathing:60,hold:15", "breathing:60,hold:15"},
                      TimelineCase{"breathing:60,shallow:30,apnea:20,moving:30",
                                   "breathing:60,shallow:30,apnea:20,moving:30"},
                      TimelineCase{" off:5 , moving ", "off:5,moving"}, TimelineCase{"", ""},
                      TimelineCase{"sleeping", ""}, TimelineCase{"breathing:0", ""},
                      TimelineCase{"breathing:-5", ""}, TimelineCase{"breathing:1.5", ""},
                      TimelineCase{"breathing:60,", ""}, TimelineCase{"breathing:60:5", ""},
                      // A pace, breaths a minute, for breathing only.
                      TimelineCase{"breathing@6:120", "breathing@6:120"},
                      TimelineCase{"Breathing@6.5", "breathing@6.5"},
                      TimelineCase{"breathing@6:120, apnea:20", "breathing@6:120,apnea:20"},
                      TimelineCase{"breathing@2:10,breathing@40", "breathing@2:10,breathing@40"},
                      TimelineCase{"breathing@", ""}, TimelineCase{"breathing@1.9", ""},
                      TimelineCase{"breathing@40.5", ""}, TimelineCase{"breathing@six", ""},
                      TimelineCase{"breathing@nan", ""}, TimelineCase{"breathing@6@7", ""},
                      TimelineCase{"apnea@6:20", ""}, TimelineCase{"@6", ""}));

struct AtCase {
  const char* timeline;
  std::uint64_t ms;
  Scenario expected;
};

void PrintTo(const AtCase& c, std::ostream* os) { *os << c.timeline << " at " << c.ms; }

class TimelineAt : public ::testing::TestWithParam<AtCase> {};

TEST_P(TimelineAt, ScenarioAtTime) {
  const auto timeline = ScenarioTimeline::parse(QString::fromLatin1(GetParam().timeline));
  ASSERT_TRUE(timeline);
  EXPECT_EQ(timeline->at(GetParam().ms), GetParam().expected)
      << GetParam().timeline << " at " << GetParam().ms;
}

INSTANTIATE_TEST_SUITE_P(
    Scenario, TimelineAt,
    ::testing::Values(AtCase{"apnea", 0, Scenario::Apnea},
                      AtCase{"apnea", 1000000000, Scenario::Apnea},
                      AtCase{"breathing:60,apnea:20", 59999, Scenario::Breathing},
                      AtCase{"breathing:60,apnea:20", 60000, Scenario::Apnea},
                      AtCase{"breathing:60,apnea:20", 79999, Scenario::Apnea},
                      // Timed steps repeat.
                      AtCase{"breathing:60,apnea:20", 80000, Scenario::Breathing},
                      AtCase{"breathing:60,apnea:20", 80000 * 5 + 61000, Scenario::Apnea},
                      AtCase{"breathing:60,hold:15", 60000, Scenario::Hold},
                      AtCase{"breathing:60,hold:15", 75000, Scenario::Breathing},
                      // A bare name holds for ever; what follows it is never reached.
                      AtCase{"off:10,moving,apnea:5", 9999, Scenario::Off},
                      AtCase{"off:10,moving,apnea:5", 10000, Scenario::Moving},
                      AtCase{"off:10,moving,apnea:5", 10000000, Scenario::Moving}));

SimCommandLine parse(const std::vector<const char*>& args) {
  QStringList list{QStringLiteral("kelvaro-belt-sim")};
  for (const char* a : args) list << QString::fromLatin1(a);
  return SimCommandLine::parse(list);
}

TEST(SimCommandLine, DefaultsAreOneBeltAtTwentyHertz) {
  const SimCommandLine line = parse({});
  EXPECT_TRUE(line.error.isEmpty());
  EXPECT_EQ(line.options.belts, 1);
  EXPECT_EQ(line.options.otherAdvertisers, 3);
  EXPECT_EQ(line.options.rateHz, 20.0);
  EXPECT_FALSE(line.options.flood);
  EXPECT_EQ(line.options.timeline.toString().toStdString(),
            "breathing:60,shallow:30,apnea:20,moving:30");
  EXPECT_TRUE(line.linkPath.isEmpty());
}

TEST(SimCommandLine, EveryOptionReachesItsField) {
  const SimCommandLine line = parse({"--scenario",
                                     "apnea:5,off",
                                     "--rate=flood",
                                     "--belts",
                                     "3",
                                     "--others=0",
                                     "--seed",
                                     "42",
                                     "--link",
                                     "/tmp/dongle",
                                     "--drop-every",
                                     "100",
                                     "--garble-every=200",
                                     "--no-answer",
                                     "6/3,0x04/5",
                                     "--no-answer=3/0",
                                     "--delay",
                                     "6/2:250",
                                     "--link-loss",
                                     "2.5",
                                     "--unplug",
                                     "10",
                                     "--replug",
                                     "1",
                                     "--late-status=900",
                                     "-v"});
  ASSERT_TRUE(line.error.isEmpty()) << line.error.toStdString();
  const SimOptions& o = line.options;
  EXPECT_EQ(o.timeline.toString().toStdString(), "apnea:5,off");
  EXPECT_TRUE(o.flood);
  EXPECT_EQ(o.belts, 3);
  EXPECT_EQ(o.otherAdvertisers, 0);
  EXPECT_EQ(o.seed, 42u);
  EXPECT_EQ(line.linkPath.toStdString(), "/tmp/dongle");
  EXPECT_EQ(o.faults.dropEvery, 100u);
  EXPECT_EQ(o.faults.garbleEvery, 200u);
  ASSERT_EQ(o.faults.noAnswer.size(), 3u);
  EXPECT_TRUE((o.faults.noAnswer[0] == SimCommandKey{6, 3}));
  EXPECT_TRUE((o.faults.noAnswer[1] == SimCommandKey{4, 5}));
  EXPECT_TRUE((o.faults.noAnswer[2] == SimCommandKey{3, 0}));
  EXPECT_EQ(o.faults.delayMs, 250u);
  ASSERT_TRUE(o.faults.delayOnly);
  EXPECT_TRUE((*o.faults.delayOnly == SimCommandKey{6, 2}));
  EXPECT_EQ(o.faults.linkLossAfterMs, 2500u);
  EXPECT_EQ(o.faults.unplugAfterMs, 10000u);
  EXPECT_EQ(o.faults.replugAfterMs, 1000u);
  EXPECT_EQ(o.faults.lateStatusMs, 900u);
  EXPECT_TRUE(line.verbose);
}

TEST(SimCommandLine, RateInHertz) {
  const SimCommandLine line = parse({"--rate", "12.5"});
  ASSERT_TRUE(line.error.isEmpty());
  EXPECT_EQ(line.options.rateHz, 12.5);
  EXPECT_FALSE(line.options.flood);
}

class BadCommandLine : public ::testing::TestWithParam<std::vector<const char*>> {};

TEST_P(BadCommandLine, IsRefusedWithAReason) {
  QStringList list{QStringLiteral("kelvaro-belt-sim")};
  for (const char* a : GetParam()) list << QString::fromLatin1(a);
  const SimCommandLine line = SimCommandLine::parse(list);
  EXPECT_FALSE(line.error.isEmpty()) << list.join(QLatin1Char(' ')).toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    SimCommandLine, BadCommandLine,
    ::testing::Values(
        std::vector<const char*>{"--frobnicate"}, std::vector<const char*>{"--rate"},
        std::vector<const char*>{"--rate", "0"}, std::vector<const char*>{"--rate", "461"},
        std::vector<const char*>{"--rate", "fast"}, std::vector<const char*>{"--belts", "17"},
        std::vector<const char*>{"--belts", "-1"},
        std::vector<const char*>{"--scenario", "dancing"}, std::vector<const char*>{"--seed", "x"},
        std::vector<const char*>{"--drop-every", "1"}, std::vector<const char*>{"--no-answer", "6"},
        std::vector<const char*>{"--no-answer", "6/300"}, std::vector<const char*>{"--delay", "0"},
        std::vector<const char*>{"--delay", "6/2:"}, std::vector<const char*>{"--link-loss", "0"},
        std::vector<const char*>{"--replug", "2"}, std::vector<const char*>{"--link="},
        std::vector<const char*>{"--late-status", "0"},
        std::vector<const char*>{"--late-status", "soon"},
        std::vector<const char*>{"--replay=", "--speed", "2"},
        std::vector<const char*>{"--replay", "a.capture", "--speed", "0.05"},
        std::vector<const char*>{"--replay", "a.capture", "--speed", "101"},
        std::vector<const char*>{"--replay", "a.capture", "--speed", "fast"},
        std::vector<const char*>{"--speed", "2"}, std::vector<const char*>{"--loop"},
        std::vector<const char*>{"--max-connections", "0"},
        std::vector<const char*>{"--max-connections", "9"},
        std::vector<const char*>{"--link-loss", "2@"},
        std::vector<const char*>{"--link-loss", "2@8"},
        std::vector<const char*>{"--link-loss", "2@1,x"},
        std::vector<const char*>{"--link-loss", "2@3"},
        std::vector<const char*>{"--max-connections", "2", "--link-loss", "1@2"},
        std::vector<const char*>{"--belt-scenario", "breathing"},
        std::vector<const char*>{"--belt-scenario", "=breathing"},
        std::vector<const char*>{"--belt-scenario", "0=dancing"},
        std::vector<const char*>{"--belt-scenario", "1=apnea"},
        std::vector<const char*>{"--belts", "2", "--belt-scenario", "2=apnea"}));

TEST(SimCommandLine, ConnectionsLinkLossesAndBeltTimelines) {
  const SimCommandLine line = parse(
      {"--max-connections", "4", "--link-loss", "2@1,0.5", "--link-loss=3@3", "--belt-scenario",
       "1=apnea:5,off", "--belts=2", "--belt-scenario=0=moving", "--link-loss", "4@1"});
  ASSERT_TRUE(line.error.isEmpty()) << line.error.toStdString();
  const SimOptions& o = line.options;
  EXPECT_EQ(o.maxConnections, 4);
  // A bare time is connection 0's, as it always was.
  EXPECT_EQ(o.faults.linkLossAfterMs, 500u);
  const std::uint32_t expected[] = {500, 4000, 0, 3000};
  for (int handle = 0; handle < 4; ++handle) {
    EXPECT_EQ(o.faults.linkLossAfterMsOn(handle), expected[handle]) << handle;
  }
  ASSERT_EQ(o.beltTimelines.size(), 2u);
  EXPECT_EQ(o.beltTimelines[0].belt, 1);
  EXPECT_EQ(o.beltTimelines[0].timeline.toString().toStdString(), "apnea:5,off");
  EXPECT_EQ(o.beltTimelines[1].belt, 0);
  EXPECT_EQ(o.beltTimelines[1].timeline.toString().toStdString(), "moving");
  EXPECT_EQ(parse({}).options.maxConnections, 3);
}

TEST(SimCommandLine, AReplayTakesItsFileSpeedAndLoop) {
  const struct {
    std::vector<const char*> args;
    double speed;
    bool flood;
    bool loop;
  } cases[] = {
      {{"--replay", "belt.capture"}, 1.0, false, false},
      {{"--replay=belt.capture", "--speed=10"}, 10.0, false, false},
      {{"--replay", "belt.capture", "--speed", "0.1", "--loop"}, 0.1, false, true},
      {{"--loop", "--speed", "100", "--replay", "belt.capture"}, 100.0, false, true},
      {{"--replay", "belt.capture", "--speed", "Flood"}, 1.0, true, false},
  };
  for (const auto& c : cases) {
    const SimCommandLine line = parse(c.args);
    ASSERT_TRUE(line.error.isEmpty()) << line.error.toStdString();
    EXPECT_EQ(line.replayPath, QStringLiteral("belt.capture"));
    EXPECT_EQ(line.options.playback.pace.speed, c.speed);
    EXPECT_EQ(line.options.playback.pace.flood, c.flood);
    EXPECT_EQ(line.options.playback.pace.loop, c.loop);
  }
  QString error;
  PlaybackPace pace;
  EXPECT_FALSE(parsePlaybackSpeed(QStringLiteral("0"), &pace, &error));
  EXPECT_EQ(error, QStringLiteral("bad speed \"0\": 0.1 to 100 times the captured pace, or flood"));
}

TEST(SimCommandLine, HelpAndTheUnknownScenarioErrorNameEveryScenario) {
  const QString help = SimCommandLine::helpText();
  QString error;
  EXPECT_FALSE(ScenarioTimeline::parse(QStringLiteral("dancing"), &error));
  for (Scenario s : {Scenario::Breathing, Scenario::Shallow, Scenario::Apnea, Scenario::Hold,
                     Scenario::Moving, Scenario::Off}) {
    const QString name = scenarioName(s);
    ASSERT_FALSE(name.isEmpty());
    EXPECT_EQ(scenarioFromName(name), s) << name.toStdString();
    EXPECT_TRUE(help.contains(name)) << name.toStdString();
    EXPECT_TRUE(error.contains(name)) << name.toStdString();
  }
}

TEST(SimCommandLine, HelpNamesEveryOption) {
  EXPECT_TRUE(parse({"--help"}).showHelp);
  const QString help = SimCommandLine::helpText();
  for (const char* option :
       {"--scenario",     "--rate",       "--belts",        "--others",      "--seed",
        "--link ",        "--drop-every", "--garble-every", "--no-answer",   "--delay",
        "--link-loss",    "--unplug",     "--replug",       "--late-status", "--replay",
        "--speed",        "--loop",       "--verbose",      "--help",        "--max-connections",
        "--belt-scenario"}) {
    EXPECT_TRUE(help.contains(QLatin1String(option))) << option;
  }
}

}  // namespace
}  // namespace kelvaro
