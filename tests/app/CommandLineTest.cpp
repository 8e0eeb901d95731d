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

}  // namespace
}  // namespace kelvaro
