#include <gtest/gtest.h>

#include "app/CommandLine.h"

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

}  // namespace
}  // namespace kelvaro
