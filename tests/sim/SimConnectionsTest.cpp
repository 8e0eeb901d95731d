#include <gtest/gtest.h>

#include <QRegularExpression>
#include <map>

#include "SimTestSupport.h"
#include "sim/SimStats.h"

// Several belts on one simulated dongle: a connection handle each, their notifications
// interleaved on the one wire.
namespace kelvaro {
namespace {

using simtest::Bench;
using simtest::Frame;
using simtest::hex;

SimOptions world(int belts = 2, int maxConnections = 3) {
  SimOptions options;
  options.seed = 11;
  options.belts = belts;
  options.otherAdvertisers = 2;
  options.maxConnections = maxConnections;
  options.timeline = ScenarioTimeline(Scenario::Breathing);
  return options;
}

// The monitor's commands, on connection `handle`.
QByteArray set1(int handle) {
  return hex("00 05 04 05") + QByteArray(1, char(handle)) + hex("1C 00 01 80");
}
QByteArray set2(int handle) {
  return hex("00 06 04 05") + QByteArray(1, char(handle)) + hex("1A 00 02 01 00");
}
QByteArray disconnect(int handle) { return hex("00 01 03 00") + QByteArray(1, char(handle)); }

QByteArray wireAddress(const QString& deviceId) {
  QByteArray address = QByteArray::fromHex(deviceId.toLatin1());
  std::reverse(address.begin(), address.end());
  return address;
}

// What is not a scan response or a notification among `frames`.
std::vector<Frame> answersIn(const std::vector<Frame>& frames) {
  std::vector<Frame> answers;
  for (const Frame& f : frames) {
    if (!f.is(true, 6, 0) && !f.is(true, 4, 5)) answers.push_back(f);
  }
  return answers;
}

// Connects to `belt`, which should get `handle`, and switches its notifications on; returns the
// frames the dongle sent meanwhile.
std::vector<Frame> connectAndStreamAll(Bench& bench, int belt, int handle) {
  bench.send(simtest::connectCommand(bench.dongle.beltDeviceId(belt)));
  bench.run(400);
  bench.send(set1(handle));
  bench.run(300);
  bench.send(set2(handle));
  bench.run(300);
  return bench.take();
}

// The same, returning the answers only.
std::vector<Frame> connectAndStream(Bench& bench, int belt, int handle) {
  return answersIn(connectAndStreamAll(bench, belt, handle));
}

// The handles of the notifications among `frames`, in wire order.
std::vector<int> notificationHandles(const std::vector<Frame>& frames) {
  std::vector<int> handles;
  for (const Frame& f : frames) {
    if (f.is(true, 4, 5)) handles.push_back(f.u8(0));
  }
  return handles;
}

int count(const std::vector<int>& handles, int handle) {
  return int(std::count(handles.begin(), handles.end(), handle));
}

TEST(SimConnections, SecondBeltGetsHandleOneAndBothStreamInterleaved) {
  Bench bench(world());
  connectAndStream(bench, 0, 0);
  const QString second = bench.dongle.beltDeviceId(1);
  const std::vector<Frame> answers = connectAndStream(bench, 1, 1);
  ASSERT_EQ(answers.size(), 6u);
  EXPECT_EQ(answers[0].bytes().toHex(' '), hex("00 03 06 03 00 00 01").toHex(' '));
  EXPECT_EQ(
      answers[1].bytes().toHex(' '),
      (hex("80 10 03 00 01 05") + wireAddress(second) + hex("00 3C 00 64 00 00 00 FF")).toHex(' '));
  EXPECT_EQ(answers[2].bytes().toHex(' '), hex("00 03 04 05 01 00 00").toHex(' '));
  EXPECT_EQ(answers[3].bytes().toHex(' '), hex("80 05 04 01 01 00 00 1C 00").toHex(' '));
  EXPECT_EQ(answers[4].bytes().toHex(' '), hex("00 03 04 05 01 00 00").toHex(' '));
  EXPECT_EQ(answers[5].bytes().toHex(' '), hex("80 05 04 01 01 00 00 1A 00").toHex(' '));
  EXPECT_EQ(bench.dongle.link(0), SimDongle::Link::Connected);
  EXPECT_EQ(bench.dongle.link(1), SimDongle::Link::Connected);
  EXPECT_EQ(bench.dongle.connectionBelt(0), 0);
  EXPECT_EQ(bench.dongle.connectionBelt(1), 1);

  bench.run(2000);
  const std::vector<Frame> frames = bench.take();
  const std::vector<int> handles = notificationHandles(frames);
  EXPECT_NEAR(count(handles, 0), 40, 1);
  EXPECT_NEAR(count(handles, 1), 40, 1);
  int changes = 0;
  for (std::size_t i = 1; i < handles.size(); ++i) changes += handles[i] != handles[i - 1];
  EXPECT_GE(changes, 70) << "the two streams take turns on the wire";
  for (const Frame& f : frames) {
    if (!f.is(true, 4, 5)) continue;
    EXPECT_EQ(f.bytes().mid(5, 4).toHex(' '), hex("19 00 01 10").toHex(' '));
  }
}

// The first belt sends the same values whether or not a second belt streams beside it, and the
// second belt's wearer breathes in a signal of its own.
TEST(SimConnections, EachBeltStreamsItsOwnSignal) {
  const auto stream = [](bool withSecond) {
    Bench bench(world());
    std::vector<Frame> frames = connectAndStreamAll(bench, 0, 0);
    if (withSecond) {
      const std::vector<Frame> more = connectAndStreamAll(bench, 1, 1);
      frames.insert(frames.end(), more.begin(), more.end());
    } else {
      bench.run(1000);
    }
    std::map<int, std::vector<QByteArray>> values;
    for (const Frame& f : frames) {
      if (f.is(true, 4, 5)) values[f.u8(0)].push_back(f.payload.mid(5));
    }
    bench.run(3000);
    for (const Frame& f : bench.take()) {
      if (f.is(true, 4, 5)) values[f.u8(0)].push_back(f.payload.mid(5));
    }
    return values;
  };
  auto alone = stream(false);
  auto together = stream(true);
  ASSERT_GE(together[0].size(), 60u);
  ASSERT_GE(together[1].size(), 60u);
  const std::size_t common = std::min(alone[0].size(), together[0].size()) - 1;
  EXPECT_EQ(std::vector<QByteArray>(together[0].begin(), together[0].begin() + common),
            std::vector<QByteArray>(alone[0].begin(), alone[0].begin() + common));
  int same = 0;
  for (std::size_t i = 0; i < together[1].size(); ++i) same += together[1][i] == together[0][i];
  EXPECT_EQ(same, 0);
}

struct LimitCase {
  int maxConnections;
};

void PrintTo(const LimitCase& c, std::ostream* os) { *os << "max " << c.maxConnections; }

class ConnectionLimit : public ::testing::TestWithParam<LimitCase> {};

TEST_P(ConnectionLimit, ConnectBeyondTheMaximumIsRefused) {
  const int max = GetParam().maxConnections;
  Bench bench(world(max + 1, max));
  bench.send(hex("00 00 00 06"));
  bench.run(10);
  ASSERT_EQ(bench.take().at(0).bytes().toHex(' '),
            (hex("00 01 00 06") + QByteArray(1, char(max))).toHex(' '));
  for (int handle = 0; handle < max; ++handle) {
    const std::vector<Frame> answers = connectAndStream(bench, handle, handle);
    ASSERT_FALSE(answers.empty());
    EXPECT_EQ(answers[0].bytes().toHex(' '),
              (hex("00 03 06 03 00 00") + QByteArray(1, char(handle))).toHex(' '));
  }
  bench.send(hex(simtest::kDiscover));
  bench.run(20);
  bench.take();
  bench.send(simtest::connectCommand(bench.dongle.beltDeviceId(max)));
  bench.run(600);
  const std::vector<Frame> frames = bench.take();
  std::vector<QByteArray> answers;
  for (const Frame& f : frames) {
    if (!f.is(true, 6, 0) && !f.is(true, 4, 5)) answers.push_back(f.bytes());
  }
  ASSERT_EQ(answers.size(), 1u) << "no connection comes of it";
  EXPECT_EQ(answers[0].toHex(' '), hex("00 03 06 03 09 02 00").toHex(' '));
  EXPECT_TRUE(bench.dongle.scanning()) << "a refused connect leaves the scan going";
  EXPECT_EQ(bench.dongle.connectionBelt(max), -1);
  // The refused belt still advertises; the connected ones go on streaming.
  const QByteArray refused = wireAddress(bench.dongle.beltDeviceId(max));
  bool heard = false;
  for (const Frame& f : frames)
    heard = heard || (f.is(true, 6, 0) && f.payload.mid(2, 6) == refused);
  EXPECT_TRUE(heard);
  const std::vector<int> handles = notificationHandles(frames);
  for (int handle = 0; handle < max; ++handle) {
    EXPECT_NEAR(count(handles, handle), 12, 1) << handle;
  }
}

INSTANTIATE_TEST_SUITE_P(SimConnections, ConnectionLimit,
                         ::testing::Values(LimitCase{1}, LimitCase{3}, LimitCase{8}));

// One belt leaves, by the host's disconnect or by a lost link; the other streams on without a
// gap, and the one that left comes back on the handle it had.
struct LeaveCase {
  const char* name;
  int leaving;
  bool lostLink;
};

void PrintTo(const LeaveCase& c, std::ostream* os) { *os << c.name; }

class OneBeltLeaves : public ::testing::TestWithParam<LeaveCase> {};

TEST_P(OneBeltLeaves, TheOtherStreamsOn) {
  const LeaveCase& c = GetParam();
  const int staying = 1 - c.leaving;
  SimOptions options = world();
  // Belt 0's connection is made about 0.2 s after the start, belt 1's about 1.2 s: both links
  // are lost 4.5 s after the start, in the middle of the 3 s looked at.
  if (c.lostLink && c.leaving == 0) options.faults.linkLossAfterMs = 4300;
  if (c.lostLink && c.leaving == 1) options.faults.linkLossOn.push_back({1, 3300});
  Bench bench(options);
  connectAndStream(bench, 0, 0);
  connectAndStream(bench, 1, 1);
  if (!c.lostLink) bench.send(disconnect(c.leaving));
  int lastAt[2] = {-1, -1}, longestGap = 0, leftAt = -1;
  for (int ms = 1; ms <= 3000; ++ms) {
    bench.run(1, 1);
    for (const Frame& f : bench.take()) {
      if (f.is(false, 3, 0)) {
        EXPECT_EQ(f.bytes().toHex(' '),
                  (hex("00 03 03 00") + QByteArray(1, char(c.leaving)) + hex("00 00")).toHex(' '));
      }
      if (f.is(true, 3, 4)) {
        leftAt = ms;
        EXPECT_EQ(f.bytes().toHex(' '), (hex("80 03 03 04") + QByteArray(1, char(c.leaving)) +
                                         hex(c.lostLink ? "08 02" : "16 02"))
                                            .toHex(' '));
      }
      if (!f.is(true, 4, 5)) continue;
      const int handle = f.u8(0);
      ASSERT_LE(handle, 1);
      if (handle == staying && lastAt[handle] >= 0) {
        longestGap = std::max(longestGap, ms - lastAt[handle]);
      }
      lastAt[handle] = ms;
    }
  }
  ASSERT_GT(leftAt, 0);
  if (c.lostLink) {
    EXPECT_NEAR(leftAt, 2500, 100);
  }
  EXPECT_LT(lastAt[c.leaving], leftAt) << "nothing more from the belt that left";
  EXPECT_GT(lastAt[staying], 2940);
  EXPECT_LE(longestGap, 51);
  EXPECT_EQ(bench.dongle.link(c.leaving), SimDongle::Link::Idle);
  EXPECT_EQ(bench.dongle.link(staying), SimDongle::Link::Connected);
  EXPECT_TRUE(bench.dongle.streaming(staying));

  const std::vector<Frame> answers = connectAndStream(bench, c.leaving, c.leaving);
  ASSERT_FALSE(answers.empty());
  EXPECT_EQ(answers[0].bytes().toHex(' '),
            (hex("00 03 06 03 00 00") + QByteArray(1, char(c.leaving))).toHex(' '));
  EXPECT_TRUE(bench.dongle.streaming(0));
  EXPECT_TRUE(bench.dongle.streaming(1));
}

INSTANTIATE_TEST_SUITE_P(
    SimConnections, OneBeltLeaves,
    ::testing::Values(LeaveCase{"disconnect0", 0, false}, LeaveCase{"disconnect1", 1, false},
                      LeaveCase{"linkloss0", 0, true}, LeaveCase{"linkloss1", 1, true}),
    [](const ::testing::TestParamInfo<LeaveCase>& info) { return std::string(info.param.name); });

// Connect direct is refused in the wrong state while another connect is under way and for a
// belt that already has a connection; commands on a handle that is not connected are refused.
TEST(SimConnections, CommandsOnTheWrongHandleOrState) {
  Bench bench(world(3));
  connectAndStream(bench, 0, 0);
  const struct {
    const char* name;
    QByteArray command;
    const char* answer;
  } cases[] = {
      {"the connected belt again", simtest::connectCommand(bench.dongle.beltDeviceId(0)),
       "00 03 06 03 81 01 00"},
      {"set1 on a free handle", set1(1), "00 03 04 05 01 86 01"},
      {"disconnect a free handle", disconnect(2), "00 03 03 00 02 86 01"},
      {"disconnect beyond the handles", disconnect(3), "00 03 03 00 03 86 01"},
  };
  for (const auto& c : cases) {
    bench.send(c.command);
    bench.run(20);
    QByteArray answer;
    for (const Frame& f : bench.take()) {
      if (answer.isEmpty() && !f.is(true, 6, 0) && !f.is(true, 4, 5)) answer = f.bytes();
    }
    EXPECT_EQ(answer.toHex(' '), hex(c.answer).toHex(' ')) << c.name;
  }
  // While belt 1's connection comes up, a connect to belt 2 must wait.
  bench.send(simtest::connectCommand(bench.dongle.beltDeviceId(1)));
  bench.run(5);
  bench.send(simtest::connectCommand(bench.dongle.beltDeviceId(2)));
  bench.run(5);
  std::vector<QByteArray> answers;
  for (const Frame& f : bench.take()) {
    if (!f.is(true, 6, 0) && !f.is(true, 4, 5)) answers.push_back(f.bytes());
  }
  ASSERT_EQ(answers.size(), 2u);
  EXPECT_EQ(answers[0].toHex(' '), hex("00 03 06 03 00 00 01").toHex(' '));
  EXPECT_EQ(answers[1].toHex(' '), hex("00 03 06 03 81 01 00").toHex(' '));
  EXPECT_EQ(bench.dongle.link(1), SimDongle::Link::Connecting);
  EXPECT_EQ(bench.dongle.link(2), SimDongle::Link::Idle);
}

// At flood pace the streaming belts take turns: neither starves the other.
TEST(SimConnections, FloodingBeltsShareTheWire) {
  SimOptions options = world();
  options.flood = true;
  Bench bench(options);
  connectAndStream(bench, 0, 0);
  connectAndStream(bench, 1, 1);
  bench.run(1000);
  const std::vector<int> handles = notificationHandles(bench.take());
  EXPECT_GE(count(handles, 0), 200);
  EXPECT_LE(std::abs(count(handles, 0) - count(handles, 1)), 1);
}

// A belt with a timeline of its own: the second wearer holds their breath while the first
// breathes.
TEST(SimConnections, ABeltPlaysItsOwnTimeline) {
  SimOptions options = world();
  options.beltTimelines.push_back({1, ScenarioTimeline(Scenario::Apnea)});
  Bench bench(options);
  connectAndStream(bench, 0, 0);
  connectAndStream(bench, 1, 1);
  bench.run(30000, 50);
  EXPECT_GE(bench.dongle.belts()[0].breaths(), 5u);
  EXPECT_LE(bench.dongle.belts()[1].breaths(), 1u);
}

TEST(SimConnections, StatsGiveALineForEachConnectionOnlyWhenThereAreSeveral) {
  Bench bench(world());
  connectAndStream(bench, 0, 0);
  EXPECT_TRUE(simConnectionStatsLines(bench.dongle).isEmpty());
  connectAndStream(bench, 1, 1);
  const QStringList lines = simConnectionStatsLines(bench.dongle);
  ASSERT_EQ(lines.size(), 2);
  for (int handle = 0; handle < 2; ++handle) {
    const QRegularExpression pattern(
        QStringLiteral(
            "^connection %1 belt %2 samples=([0-9]+) breaths=[0-9]+ rate=([0-9]+\\.[0-9]|none)$")
            .arg(handle)
            .arg(bench.dongle.beltDeviceId(handle)));
    const QRegularExpressionMatch match = pattern.match(lines.at(handle));
    ASSERT_TRUE(match.hasMatch()) << lines.at(handle).toStdString();
    EXPECT_EQ(match.captured(1).toULongLong(), bench.dongle.belts()[std::size_t(handle)].samples());
  }
}

}  // namespace
}  // namespace kelvaro
