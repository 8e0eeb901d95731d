#include <gtest/gtest.h>

#include "SimTestSupport.h"

namespace kelvaro {
namespace {

using simtest::Bench;
using simtest::Frame;
using simtest::hex;

SimOptions world() {
  SimOptions options;
  options.seed = 5;
  options.timeline = ScenarioTimeline(Scenario::Breathing);
  return options;
}

// The raw bytes the dongle sends for one session: discovery, connection, two seconds of stream.
QByteArray session(const SimOptions& options) {
  SimDongle dongle(options);
  std::uint32_t now = 100;
  QByteArray all;
  const auto run = [&](std::uint32_t ms) {
    for (std::uint32_t i = 0; i < ms; ++i) {
      dongle.advanceTo(++now);
      all += dongle.takeOutput();
    }
  };
  dongle.advanceTo(now);
  dongle.receive(hex(simtest::kDiscover));
  run(1000);
  dongle.receive(simtest::connectCommand(dongle.beltDeviceId(0)));
  run(400);
  dongle.receive(hex(simtest::kSet1));
  run(200);
  dongle.receive(hex(simtest::kSet2));
  run(2000);
  return all;
}

TEST(SimFaults, DropLosesEveryNthByteAndNothingElse) {
  const QByteArray clean = session(world());
  SimOptions faulty = world();
  faulty.faults.dropEvery = 97;
  const QByteArray dropped = session(faulty);
  QByteArray expected;
  for (int i = 0; i < clean.size(); ++i) {
    if ((i + 1) % 97 != 0) expected.append(clean.at(i));
  }
  ASSERT_GT(clean.size(), 1000);
  EXPECT_EQ(dropped, expected);
}

TEST(SimFaults, GarbleChangesEveryNthByteAndNothingElse) {
  const QByteArray clean = session(world());
  SimOptions faulty = world();
  faulty.faults.garbleEvery = 50;
  const QByteArray garbled = session(faulty);
  ASSERT_EQ(garbled.size(), clean.size());
  int changed = 0;
  for (int i = 0; i < clean.size(); ++i) {
    const bool hit = (i + 1) % 50 == 0;
    EXPECT_EQ(garbled.at(i) != clean.at(i), hit) << i;
    changed += hit ? 1 : 0;
  }
  EXPECT_EQ(changed, clean.size() / 50);
}

TEST(SimFaults, CommandWithoutAnswerIsLostEntirely) {
  SimOptions options = world();
  options.faults.noAnswer = {*parseSimCommandKey(QStringLiteral("6/3"))};
  Bench bench(options);
  bench.send(simtest::connectCommand(bench.dongle.beltDeviceId(0)));
  bench.run(1000);
  EXPECT_TRUE(bench.take().empty());
  EXPECT_EQ(bench.dongle.link(), SimDongle::Link::Idle);
  bench.send(hex("00 00 00 01"));
  bench.run(5);
  const auto frames = bench.take();
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_EQ(frames[0].bytes().toHex(' '), hex("00 00 00 01").toHex(' '));
}

TEST(SimFaults, LateStatusMakesTheConnectionThatLate) {
  SimOptions options = world();
  options.faults.lateStatusMs = 1500;
  Bench bench(options);
  bench.send(simtest::connectCommand(bench.dongle.beltDeviceId(0)));
  int statusAt = -1;
  for (int ms = 1; ms <= 3000 && statusAt < 0; ++ms) {
    bench.run(1, 1);
    for (const Frame& f : bench.take()) {
      if (f.is(true, 3, 0)) statusAt = ms;
    }
  }
  // The event's 27 bytes take about 2.3 ms on the wire.
  EXPECT_GE(statusAt, 1500);
  EXPECT_LE(statusAt, 1504);
  EXPECT_EQ(bench.dongle.link(), SimDongle::Link::Connected);
}

struct DelayCase {
  const char* fault;    // as on the command line
  const char* command;  // sent at time 0
  int answerAfterMs;    // when the first byte of the answer may arrive at the earliest
};

void PrintTo(const DelayCase& c, std::ostream* os) {
  *os << "--delay " << c.fault << ", " << c.command;
}

class DelayedAnswer : public ::testing::TestWithParam<DelayCase> {};

TEST_P(DelayedAnswer, AnswerComesLate) {
  const SimCommandLine line =
      SimCommandLine::parse({QStringLiteral("kelvaro-belt-sim"), QStringLiteral("--delay"),
                             QString::fromLatin1(GetParam().fault)});
  ASSERT_TRUE(line.error.isEmpty()) << line.error.toStdString();
  SimOptions options = world();
  options.faults = line.options.faults;
  Bench bench(options);
  bench.send(hex(GetParam().command));
  int at = -1;
  for (int ms = 1; ms <= 2000 && at < 0; ++ms) {
    bench.run(1, 1);
    for (const Frame& f : bench.take()) {
      if (!f.is(true, 6, 0) && at < 0) at = ms;
    }
  }
  EXPECT_GE(at, GetParam().answerAfterMs);
  EXPECT_LE(at, GetParam().answerAfterMs + 1);
}

INSTANTIATE_TEST_SUITE_P(SimFaults, DelayedAnswer,
                         ::testing::Values(DelayCase{"300", "00 00 00 01", 300},
                                           DelayCase{"6/2:500", simtest::kDiscover, 500},
                                           // Only discover is late: hello is answered at once.
                                           DelayCase{"6/2:500", "00 00 00 01", 0}));

TEST(SimFaults, LinkLossEndsTheStreamWithASupervisionTimeout) {
  SimOptions options = world();
  options.faults.linkLossAfterMs = 2000;
  Bench bench(options);
  bench.send(simtest::connectCommand(bench.dongle.beltDeviceId(0)));
  int statusAt = -1, lossAt = -1, lastNotificationAt = -1;
  for (int ms = 1; ms <= 3000; ++ms) {
    bench.run(1, 1);
    if (ms == 300) bench.send(hex(simtest::kSet2));
    for (const Frame& f : bench.take()) {
      if (f.is(true, 3, 0)) statusAt = ms;
      if (f.is(true, 4, 5)) lastNotificationAt = ms;
      if (f.is(true, 3, 4)) {
        lossAt = ms;
        EXPECT_EQ(f.bytes().toHex(' '), hex("80 03 03 04 00 08 02").toHex(' '));
      }
    }
  }
  ASSERT_GT(statusAt, 0);
  EXPECT_NEAR(lossAt - statusAt, 2000, 1);
  EXPECT_GT(lastNotificationAt, lossAt - 60) << "the stream ran until the loss";
  EXPECT_LT(lastNotificationAt, lossAt);
  EXPECT_FALSE(bench.dongle.streaming());
  EXPECT_EQ(bench.dongle.link(), SimDongle::Link::Idle);
  // The belt can be reached again.
  bench.connectAndStream();
  EXPECT_TRUE(bench.dongle.streaming());
}

TEST(SimFaults, UnplugTakesTheDongleAwayAndReplugBootsItAgain) {
  SimOptions options = world();
  options.faults.unplugAfterMs = 3000;
  options.faults.replugAfterMs = 2000;
  Bench bench(options);
  bench.connectAndStream();
  bench.run(3000 - (bench.now - 1000) - 1);
  EXPECT_TRUE(bench.dongle.present());
  bench.run(2);
  EXPECT_FALSE(bench.dongle.present());
  EXPECT_TRUE(bench.dongle.unplugged());
  bench.take();
  bench.send(hex("00 00 00 01"));
  bench.run(1990);
  EXPECT_TRUE(bench.take().empty()) << "nothing comes from a pulled-out dongle";
  bench.run(20);
  EXPECT_TRUE(bench.dongle.present());
  bench.run(200);
  const auto frames = bench.take();
  ASSERT_EQ(frames.size(), 1u);
  EXPECT_TRUE(frames[0].is(true, 0, 0)) << "boot";
  EXPECT_EQ(bench.dongle.link(), SimDongle::Link::Idle);
}

}  // namespace
}  // namespace kelvaro
