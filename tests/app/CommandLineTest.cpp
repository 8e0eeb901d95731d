#include <gtest/gtest.h>

#include "app/shell/CommandLine.h"
#include "sim/Scenario.h"
#include "sim/SimOptions.h"

namespace kelvaro {
namespace {

struct Case {
  QStringList args;
  bool simulate;
  QString scenario;
  QString home;
  QString connect;
  bool version;
  bool help;
  bool error;
};

TEST(CommandLine, ParsesOptions) {
  const Case cases[] = {
      {{"k"}, false, "", "", "", false, false, false},
      {{"k", "--simulate"}, true, "", "", "", false, false, false},
      {{"k", "--simulate=apnea:20"}, true, "apnea:20", "", "", false, false, false},
      {{"k", "--home", "/tmp/x"}, false, "", "/tmp/x", "", false, false, false},
      {{"k", "--home=/tmp/y", "--version"}, false, "", "/tmp/y", "", true, false, false},
      {{"k", "--connect"}, false, "", "", "last", false, false, false},
      {{"k", "--connect=0007800A1B2C"}, false, "", "", "0007800A1B2C", false, false, false},
      {{"k", "--help"}, false, "", "", "", false, true, false},
      {{"k", "--home"}, false, "", "", "", false, false, true},
      {{"k", "--frobnicate"}, false, "", "", "", false, false, true},
      {{"k", "-platform", "offscreen", "--simulate"}, true, "", "", "", false, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.join(' ').toStdString());
    const auto parsed = CommandLine::parse(c.args);
    EXPECT_EQ(parsed.simulate, c.simulate);
    EXPECT_EQ(parsed.scenario, c.scenario);
    EXPECT_EQ(parsed.home, c.home);
    EXPECT_EQ(parsed.connect, c.connect);
    EXPECT_EQ(parsed.showVersion, c.version);
    EXPECT_EQ(parsed.showHelp, c.help);
    EXPECT_EQ(!parsed.error.isEmpty(), c.error);
  }
}

TEST(CommandLine, RecordingRepairAndTheHeadlessRecordersOptions) {
  const auto parse = [](QStringList args) {
    args.prepend(QStringLiteral("k"));
    return CommandLine::parse(args);
  };
  EXPECT_EQ(parse({"--record=night.bdf"}).record, QStringLiteral("night.bdf"));
  EXPECT_EQ(parse({"--record=/tmp/a b.CSV"}).record, QStringLiteral("/tmp/a b.CSV"));
  EXPECT_EQ(parse({"--record=x.edf"}).error,
            QStringLiteral("--record=x.edf: the belt's forces need 24-bit samples, so its EDF+ "
                           "recordings are BDF+ files: name it x.bdf"));
  EXPECT_FALSE(parse({"--record=x.txt"}).error.isEmpty());
  EXPECT_FALSE(parse({"--record="}).error.isEmpty());
  EXPECT_EQ(parse({"--repair=cut.bdf"}).repair, QStringLiteral("cut.bdf"));
  EXPECT_FALSE(parse({"--repair="}).error.isEmpty());

  const auto headless = parse({"--headless", "--simulate", "--duration=10m", "--sim-speed=60"});
  EXPECT_TRUE(headless.error.isEmpty()) << headless.error.toStdString();
  EXPECT_TRUE(headless.headless);
  EXPECT_EQ(headless.durationMs, 600000u);
  EXPECT_EQ(headless.simSpeed, 60);
  EXPECT_FALSE(parse({"--duration=10m"}).error.isEmpty()) << "only without a window";
  EXPECT_FALSE(parse({"--headless", "--sim-speed=5"}).error.isEmpty()) << "only simulated";
  EXPECT_FALSE(parse({"--headless", "--simulate", "--sim-speed=0"}).error.isEmpty());
  EXPECT_FALSE(parse({"--headless", "--simulate", "--sim-speed=fast"}).error.isEmpty());
}

TEST(CommandLine, ADurationIsANumberWithItsUnit) {
  const struct {
    const char* text;
    std::uint64_t ms;  // 0: refused
  } cases[] = {
      {"100s", 100000}, {"10m", 600000}, {"8h", 28800000}, {"1s", 1000}, {"168h", 604800000},
      {"169h", 0},      {"0s", 0},       {"10", 0},        {"m", 0},     {"-5m", 0},
      {"1.5h", 0},      {"10 m", 0},     {"10M", 0},       {"", 0},      {"99999999999999s", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const auto ms = CommandLine::parseDuration(QString::fromLatin1(c.text));
    EXPECT_EQ(ms.value_or(0), c.ms);
  }
}

// The monitor and kelvaro-belt-sim take the same timelines and refuse the same ones, in the same
// words, before any window or simulated dongle is made.
TEST(CommandLine, TheSimulatedScenarioIsCheckedAsTheSimulatorChecksIt) {
  const struct {
    const char* scenario;
    const char* error;  // empty: accepted
  } cases[] = {
      {"breathing:60,apnea:20", ""},
      {"hold", ""},
      {"Moving:5, off", ""},
      {"bogus:10", "unknown scenario \"bogus\" (breathing, shallow, apnea, hold, moving, off)"},
      {"breathing:60,bogus",
       "unknown scenario \"bogus\" (breathing, shallow, apnea, hold, moving, off)"},
      {"apnea:0", "bad duration in \"apnea:0\": whole seconds, 1 to 604800"},
      {"apnea:20:5", "bad scenario step \"apnea:20:5\""},
      {" ", "empty scenario"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.scenario);
    const QString scenario = QString::fromLatin1(c.scenario);
    const auto parsed = CommandLine::parse(
        {QStringLiteral("k"), QStringLiteral("--simulate=") + scenario, QStringLiteral("--help")});
    EXPECT_EQ(parsed.error, QString::fromLatin1(c.error));
    // A refused command line stops at the scenario: nothing after it is taken.
    EXPECT_EQ(parsed.showHelp, parsed.error.isEmpty());
    const auto simulator = SimCommandLine::parse(
        {QStringLiteral("kelvaro-belt-sim"), QStringLiteral("--scenario"), scenario});
    EXPECT_EQ(simulator.error.isEmpty(), parsed.error.isEmpty());
    if (!parsed.error.isEmpty()) {
      EXPECT_EQ(simulator.error, QStringLiteral("--scenario: ") + parsed.error);
    } else {
      EXPECT_TRUE(parsed.simulate);
      EXPECT_EQ(parsed.scenario, scenario);
    }
  }
  // What a script sees of a refused command line, the program's own run aside.
  EXPECT_EQ(CommandLine::kUsageExitCode, 1);
  // "--simulate=" with nothing after it plays the simulator's default timeline, as before.
  const auto bare = CommandLine::parse({QStringLiteral("k"), QStringLiteral("--simulate=")});
  EXPECT_TRUE(bare.error.isEmpty());
  EXPECT_TRUE(bare.simulate);
  EXPECT_TRUE(bare.scenario.isEmpty());
}

TEST(CommandLine, TheSimulatedDongleMayHearSeveralBeltsEachWithItsScenario) {
  const auto several = CommandLine::parse(
      {QStringLiteral("k"), QStringLiteral("--simulate=breathing@6"),
       QStringLiteral("--sim-belts=2"), QStringLiteral("--sim-belt-scenario=1=breathing@15")});
  ASSERT_TRUE(several.error.isEmpty()) << several.error.toStdString();
  EXPECT_EQ(several.simBelts, 2);
  ASSERT_EQ(several.simBeltTimelines.size(), 1u);
  EXPECT_EQ(several.simBeltTimelines[0].belt, 1);
  const struct {
    QStringList args;
    const char* error;
  } refused[] = {
      {{"--sim-belts=2"}, "--sim-belts and --sim-belt-scenario need --simulate"},
      {{"--simulate", "--sim-belts=0"}, "--sim-belts takes a whole number from 1 to 16"},
      {{"--simulate", "--sim-belts=17"}, "--sim-belts takes a whole number from 1 to 16"},
      {{"--simulate", "--sim-belt-scenario=1=breathing@15"},
       "--sim-belt-scenario: belt 1, but there are 1 belts (from 0)"},
      {{"--simulate", "--sim-belt-scenario=breathing"},
       "--sim-belt-scenario takes BELT=SCENARIO, BELT from 0"},
      {{"--simulate", "--sim-belts=2", "--sim-belt-scenario=1=bogus"},
       "--sim-belt-scenario takes BELT=SCENARIO, BELT from 0: unknown scenario \"bogus\" "
       "(breathing, shallow, apnea, hold, moving, off)"},
  };
  for (const auto& c : refused) {
    SCOPED_TRACE(c.args.join(QLatin1Char(' ')).toStdString());
    EXPECT_EQ(CommandLine::parse(QStringList{QStringLiteral("k")} + c.args).error,
              QString::fromLatin1(c.error));
  }
}

TEST(CommandLine, TheKeyInjectorIsOneOfThree) {
  const struct {
    const char* arg;
    const char* injector;
    bool error;
  } cases[] = {{"--key-injector=uinput", "uinput", false},
               {"--key-injector=xtest", "xtest", false},
               {"--key-injector=none", "none", false},
               {"--key-injector=wayland", "", true},
               {"--key-injector=", "", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arg);
    const auto parsed = CommandLine::parse({QStringLiteral("k"), QString::fromLatin1(c.arg)});
    EXPECT_EQ(!parsed.error.isEmpty(), c.error);
    if (!c.error) {
      EXPECT_EQ(parsed.keyInjector, QString::fromLatin1(c.injector));
    }
  }
  EXPECT_TRUE(CommandLine::parse({QStringLiteral("k")}).keyInjector.isEmpty());
  EXPECT_TRUE(CommandLine::helpText().contains(QStringLiteral("--key-injector=")));
}

TEST(CommandLine, TheConsoleCanBeCopiedToStandardError) {
  EXPECT_TRUE(CommandLine::parse({QStringLiteral("k"), QStringLiteral("--console-to-stderr")})
                  .consoleToStderr);
  EXPECT_FALSE(CommandLine::parse({QStringLiteral("k")}).consoleToStderr);
  EXPECT_TRUE(CommandLine::helpText().contains(QStringLiteral("--console-to-stderr")));
}

TEST(CommandLine, ACaptureNamesItsFile) {
  const struct {
    QStringList args;
    const char* capture;
    bool error;
  } cases[] = {
      {{"k", "--capture=/tmp/belt.capture"}, "/tmp/belt.capture", false},
      {{"k", "--capture", "belt.capture", "--simulate"}, "belt.capture", false},
      {{"k", "--capture="}, "", true},
      {{"k", "--capture"}, "", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.join(' ').toStdString());
    const auto parsed = CommandLine::parse(c.args);
    EXPECT_EQ(!parsed.error.isEmpty(), c.error);
    EXPECT_EQ(parsed.capture, QString::fromLatin1(c.capture));
  }
  EXPECT_TRUE(CommandLine::helpText().contains(QStringLiteral("--capture=FILE")));
}

TEST(CommandLine, AReplayTakesItsCaptureItsSpeedAndItsLoop) {
  const struct {
    QStringList args;
    const char* replay;
    double speed;
    bool flood;
    bool loop;
    const char* error;  // empty: accepted
  } cases[] = {
      {{"k", "--replay=belt.capture"}, "belt.capture", 1.0, false, false, ""},
      {{"k", "--replay", "belt.capture", "--speed=10"}, "belt.capture", 10.0, false, false, ""},
      {{"k", "--replay=b.capture", "--speed=flood", "--loop"}, "b.capture", 1.0, true, true, ""},
      // For "Play capture…" without --replay.
      {{"k", "--speed=0.5", "--loop"}, "", 0.5, false, true, ""},
      {{"k", "--replay="}, "", 1.0, false, false, "--replay needs a capture file"},
      {{"k", "--replay"}, "", 1.0, false, false, "--replay needs a capture file"},
      {{"k", "--speed=1000"},
       "",
       1.0,
       false,
       false,
       "--speed: bad speed \"1000\": 0.1 to 100 times the captured pace, or flood"},
      {{"k", "--replay=b.capture", "--simulate"},
       "b.capture",
       1.0,
       false,
       false,
       "--simulate and --replay are two different dongles: give one"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.join(' ').toStdString());
    const auto parsed = CommandLine::parse(c.args);
    EXPECT_EQ(parsed.error, QString::fromUtf8(c.error));
    if (!parsed.error.isEmpty()) continue;
    EXPECT_EQ(parsed.replay, QString::fromLatin1(c.replay));
    EXPECT_EQ(parsed.pace.speed, c.speed);
    EXPECT_EQ(parsed.pace.flood, c.flood);
    EXPECT_EQ(parsed.pace.loop, c.loop);
  }
  EXPECT_TRUE(CommandLine::parse({QStringLiteral("k"), QStringLiteral("--start-log")}).startLog);
  EXPECT_FALSE(CommandLine::parse({QStringLiteral("k")}).startLog);
  for (const char* option : {"--replay=FILE", "--speed=X", "--loop", "--start-log"}) {
    EXPECT_TRUE(CommandLine::helpText().contains(QLatin1String(option))) << option;
  }
}

}  // namespace
}  // namespace kelvaro
