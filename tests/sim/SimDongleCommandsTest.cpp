#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "SimTestSupport.h"

namespace kelvaro {
namespace {

using simtest::Bench;
using simtest::Frame;
using simtest::hex;

SimOptions quietWorld() {
  SimOptions options;
  options.seed = 7;
  options.belts = 2;
  options.otherAdvertisers = 3;
  return options;
}

QByteArray firstAnswer(Bench& bench) {
  for (const Frame& f : bench.take()) {
    // Scan responses come and go in the background; answers are what the test is after.
    if (!f.is(true, 6, 0)) return f.bytes();
  }
  return QByteArray();
}

enum class Before { Idle, Scanning, Connecting, Connected, ConnectingNowhere };

void prepare(Bench& bench, Before state) {
  switch (state) {
    case Before::Idle:
      break;
    case Before::Scanning:
      bench.send(hex(simtest::kDiscover));
      break;
    case Before::Connecting:
      bench.send(simtest::connectCommand(bench.dongle.beltDeviceId(0)));
      break;
    case Before::ConnectingNowhere:
      bench.send(simtest::connectCommand(QStringLiteral("0007800A1B2C")));
      break;
    case Before::Connected:
      bench.send(simtest::connectCommand(bench.dongle.beltDeviceId(0)));
      bench.run(400);
      break;
  }
  bench.run(20);
  bench.take();
}

struct AnswerCase {
  const char* name;
  Before before;
  const char* command;  // hex; "BELT" stands for the connect command to belt 0
  const char* answer;   // the first packet that is not a scan response
};

void PrintTo(const AnswerCase& c, std::ostream* os) { *os << c.name; }

class CommandAnswers : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(CommandAnswers, AnswerByteForByte) {
  const AnswerCase& c = GetParam();
  Bench bench(quietWorld());
  prepare(bench, c.before);
  bench.send(QByteArray(c.command) == "BELT" ? simtest::connectCommand(bench.dongle.beltDeviceId(0))
                                             : hex(c.command));
  bench.run(30);
  EXPECT_EQ(firstAnswer(bench).toHex(' '), hex(c.answer).toHex(' ')) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Dongle, CommandAnswers,
    ::testing::Values(
        AnswerCase{"hello", Before::Idle, "00 00 00 01", "00 00 00 01"},
        AnswerCase{"discover", Before::Idle, simtest::kDiscover, "00 02 06 02 00 00"},
        AnswerCase{"discover while scanning", Before::Scanning, simtest::kDiscover,
                   "00 02 06 02 81 01"},
        AnswerCase{"discover while connecting", Before::Connecting, simtest::kDiscover,
                   "00 02 06 02 81 01"},
        AnswerCase{"discover while connected", Before::Connected, simtest::kDiscover,
                   "00 02 06 02 00 00"},
        AnswerCase{"discover with mode 3", Before::Idle, "00 01 06 02 03", "00 02 06 02 80 01"},
        AnswerCase{"end procedure while scanning", Before::Scanning, simtest::kEndProcedure,
                   "00 02 06 04 00 00"},
        AnswerCase{"end procedure cancels a connect", Before::ConnectingNowhere,
                   simtest::kEndProcedure, "00 02 06 04 00 00"},
        AnswerCase{"end procedure with nothing to end", Before::Idle, simtest::kEndProcedure,
                   "00 02 06 04 81 01"},
        AnswerCase{"connect", Before::Idle, "BELT", "00 03 06 03 00 00 00"},
        AnswerCase{"connect while scanning", Before::Scanning, "BELT", "00 03 06 03 00 00 00"},
        AnswerCase{"connect while connecting", Before::Connecting, "BELT", "00 03 06 03 81 01 00"},
        AnswerCase{"connect while connected", Before::Connected, "BELT", "00 03 06 03 81 01 00"},
        AnswerCase{"connect with interval min above max", Before::Idle,
                   "00 0F 06 03 01 02 03 04 05 06 00 4C 00 3C 00 64 00 00 00",
                   "00 03 06 03 80 01 00"},
        AnswerCase{"set1 while not connected", Before::Idle, simtest::kSet1,
                   "00 03 04 05 00 86 01"},
        AnswerCase{"set1 while the link is coming up", Before::Connecting, simtest::kSet1,
                   "00 03 04 05 00 86 01"},
        AnswerCase{"set1 when connected", Before::Connected, simtest::kSet1,
                   "00 03 04 05 00 00 00"},
        AnswerCase{"set2 when connected", Before::Connected, simtest::kSet2,
                   "00 03 04 05 00 00 00"},
        AnswerCase{"write on connection 1", Before::Connected, "00 05 04 05 01 1C 00 01 80",
                   "00 03 04 05 01 86 01"},
        AnswerCase{"disconnect when connected", Before::Connected, simtest::kDisconnect,
                   "00 03 03 00 00 00 00"},
        AnswerCase{"disconnect when not connected", Before::Idle, simtest::kDisconnect,
                   "00 03 03 00 00 86 01"},
        AnswerCase{"disconnect while the link is coming up", Before::Connecting,
                   simtest::kDisconnect, "00 03 03 00 00 86 01"},
        AnswerCase{"unknown command", Before::Idle, "00 00 07 09", "80 02 00 06 84 01"},
        AnswerCase{"discover without its mode", Before::Idle, "00 00 06 02", "80 02 00 06 80 01"},
        AnswerCase{"write whose value is shorter than announced", Before::Connected,
                   "00 05 04 05 00 1C 00 02 80", "80 02 00 06 80 01"},
        AnswerCase{"an event sent as a command", Before::Idle, "80 00 00 01", "80 02 00 06 84 01"}),
    [](const ::testing::TestParamInfo<AnswerCase>& info) {
      std::string name = info.param.name;
      for (char& ch : name) {
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
      }
      return name;
    });

// Returns the time (ms after `from`) of the first frame matching `match`, or -1.
template <typename Match>
int timeOfFirst(Bench& bench, std::uint32_t within, Match match, Frame* found = nullptr) {
  const std::uint32_t from = bench.now;
  while (bench.now - from < within) {
    bench.run(1, 1);
    for (const Frame& f : bench.take()) {
      if (match(f)) {
        if (found) *found = f;
        return int(bench.now - from);
      }
    }
  }
  return -1;
}

TEST(SimDongle, DiscoveryHearsEveryBeltAndOtherAdvertisersWithAJitteringSignal) {
  Bench bench(quietWorld());
  bench.send(hex(simtest::kDiscover));
  bench.run(3000);
  std::map<QByteArray, std::vector<int>> heard;  // address (as on the wire) -> signal values
  for (const Frame& f : bench.take()) {
    if (!f.is(true, 6, 0)) continue;
    ASSERT_GE(f.payload.size(), 11);
    EXPECT_EQ(f.u8(9), 0xFF) << "bond";
    EXPECT_EQ(f.u8(10), f.payload.size() - 11) << "advertising data length";
    heard[f.payload.mid(2, 6)].push_back(static_cast<std::int8_t>(f.u8(0)));
  }
  ASSERT_EQ(heard.size(), 5u);
  for (int i = 0; i < 2; ++i) {
    QByteArray address = QByteArray::fromHex(bench.dongle.beltDeviceId(i).toLatin1());
    std::reverse(address.begin(), address.end());
    ASSERT_TRUE(heard.count(address)) << i;
    EXPECT_TRUE(bench.dongle.beltDeviceId(i).startsWith(QLatin1String("000780")));
  }
  for (const auto& [address, rssi] : heard) {
    // Every 100 to 310 ms.
    EXPECT_GE(rssi.size(), 9u) << address.toHex().constData();
    EXPECT_LE(rssi.size(), 30u) << address.toHex().constData();
    const auto [low, high] = std::minmax_element(rssi.begin(), rssi.end());
    EXPECT_LT(*low, *high) << "the signal jitters";
    EXPECT_LE(*high - *low, 25);
    EXPECT_GE(*low, -100);
    EXPECT_LE(*high, -25);
  }
  bench.send(hex(simtest::kEndProcedure));
  bench.run(20);
  bench.take();
  bench.run(1000);
  EXPECT_TRUE(bench.take().empty());
}

TEST(SimDongle, ConnectionStatusFollowsAboutTwoHundredMillisecondsLater) {
  Bench bench(quietWorld());
  const QString id = bench.dongle.beltDeviceId(1);
  bench.send(simtest::connectCommand(id));
  Frame status;
  const int at = timeOfFirst(
      bench, 1000, [](const Frame& f) { return f.is(true, 3, 0); }, &status);
  EXPECT_GE(at, 160);
  EXPECT_LE(at, 240);
  QByteArray address = QByteArray::fromHex(id.toLatin1());
  std::reverse(address.begin(), address.end());
  EXPECT_EQ(status.bytes().toHex(' '),
            (hex("80 10 03 00 00 05") + address + hex("00 3C 00 64 00 00 00 FF")).toHex(' '));
  EXPECT_EQ(bench.dongle.link(), SimDongle::Link::Connected);
}

// A disconnect is refused while the link comes up; only ending the procedure stops it.
TEST(SimDongle, EndProcedureCallsOffAConnectToABeltInRange) {
  for (const bool endIt : {false, true}) {
    SCOPED_TRACE(endIt ? "disconnect, end procedure" : "disconnect only");
    Bench bench(quietWorld());
    bench.send(simtest::connectCommand(bench.dongle.beltDeviceId(0)));
    bench.run(50);
    bench.send(hex(simtest::kDisconnect));
    if (endIt) bench.send(hex(simtest::kEndProcedure));
    bench.run(1000);
    bool status = false;
    for (const Frame& f : bench.take()) status = status || f.is(true, 3, 0);
    EXPECT_EQ(status, !endIt);
    EXPECT_EQ(bench.dongle.link(), endIt ? SimDongle::Link::Idle : SimDongle::Link::Connected);
  }
}

TEST(SimDongle, ConnectToAnAddressNobodyHasNeverCompletes) {
  Bench bench(quietWorld());
  bench.send(simtest::connectCommand(QStringLiteral("0007800A1B2C")));
  bench.run(3000);
  for (const Frame& f : bench.take()) EXPECT_FALSE(f.is(true, 3, 0));
  EXPECT_EQ(bench.dongle.link(), SimDongle::Link::Connecting);
}

TEST(SimDongle, WriteCompletesAfterAboutOneConnectionInterval) {
  Bench bench(quietWorld());
  prepare(bench, Before::Connected);
  bench.send(hex(simtest::kSet1));
  Frame done;
  const int at = timeOfFirst(
      bench, 1000, [](const Frame& f) { return f.is(true, 4, 1); }, &done);
  // Interval 60 x 1.25 ms = 75 ms, plus up to half an interval.
  EXPECT_GE(at, 75);
  EXPECT_LE(at, 115);
  EXPECT_EQ(done.bytes().toHex(' '), hex("80 05 04 01 00 00 00 1C 00").toHex(' '));
}

TEST(SimDongle, SecondWriteWhileTheFirstIsPendingIsInTheWrongState) {
  Bench bench(quietWorld());
  prepare(bench, Before::Connected);
  bench.send(hex(simtest::kSet1));
  bench.run(5);
  bench.take();
  bench.send(hex(simtest::kSet2));
  bench.run(5);
  EXPECT_EQ(firstAnswer(bench).toHex(' '), hex("00 03 04 05 00 81 01").toHex(' '));
}

struct WriteCase {
  const char* command;
  const char* completed;
};

void PrintTo(const WriteCase& c, std::ostream* os) { *os << c.command; }

class BeltWrites : public ::testing::TestWithParam<WriteCase> {};

TEST_P(BeltWrites, ProcedureCompletesWithTheBeltsResult) {
  Bench bench(quietWorld());
  prepare(bench, Before::Connected);
  bench.send(hex(GetParam().command));
  bench.run(200);
  QByteArray completed;
  for (const Frame& f : bench.take()) {
    if (f.is(true, 4, 1)) completed = f.bytes();
  }
  EXPECT_EQ(completed.toHex(' '), hex(GetParam().completed).toHex(' '));
}

INSTANTIATE_TEST_SUITE_P(
    Dongle, BeltWrites,
    ::testing::Values(WriteCase{simtest::kSet1, "80 05 04 01 00 00 00 1C 00"},
                      WriteCase{simtest::kSet2, "80 05 04 01 00 00 00 1A 00"},
                      // The measurement value itself is not writable.
                      WriteCase{"00 05 04 05 00 19 00 01 00", "80 05 04 01 00 03 04 19 00"},
                      // Beyond the belt's last attribute.
                      WriteCase{"00 05 04 05 00 40 00 01 00", "80 05 04 01 00 01 04 40 00"},
                      // The configuration takes two bytes.
                      WriteCase{"00 05 04 05 00 1A 00 01 01", "80 05 04 01 00 0D 04 1A 00"}));

TEST(SimDongle, ProgramsConnectProcedureEndsInAStream) {
  Bench bench(quietWorld());
  bench.send(hex(simtest::kDiscover));
  bench.run(500);
  bench.take();
  // Phase 1 and 2: connect, then Set1 at once while the link is still coming up.
  bench.send(simtest::connectCommand(bench.dongle.beltDeviceId(0)));
  bench.run(10);
  bench.send(hex(simtest::kSet1));
  bench.run(400);
  std::vector<QByteArray> answers;
  for (const Frame& f : bench.take()) {
    if (!f.is(true, 6, 0)) answers.push_back(f.bytes().left(7));
  }
  ASSERT_EQ(answers.size(), 3u);
  EXPECT_EQ(answers[0].toHex(' '), hex("00 03 06 03 00 00 00").toHex(' '));
  EXPECT_EQ(answers[1].toHex(' '), hex("00 03 04 05 00 86 01").toHex(' '));
  EXPECT_EQ(answers[2].left(6).toHex(' '), hex("80 10 03 00 00 05").toHex(' '));
  // Phase 3 and 4.
  bench.send(hex(simtest::kSet1));
  bench.run(200);
  bench.send(hex(simtest::kSet2));
  bench.run(200);
  bench.take();
  EXPECT_TRUE(bench.dongle.streaming());
  EXPECT_FALSE(bench.dongle.scanning());
  bench.run(1000);
  int notifications = 0;
  for (const Frame& f : bench.take()) {
    if (!f.is(true, 4, 5)) continue;
    ++notifications;
    EXPECT_EQ(f.bytes().left(9).toHex(' '), hex("80 15 04 05 00 19 00 01 10").toHex(' '));
  }
  EXPECT_EQ(notifications, 20);
}

TEST(SimDongle, NotificationsStopWhenSwitchedOff) {
  Bench bench(quietWorld());
  bench.connectAndStream();
  bench.send(hex("00 06 04 05 00 1A 00 02 00 00"));
  bench.run(200);
  bench.take();
  bench.run(1000);
  EXPECT_TRUE(bench.take().empty());
  EXPECT_FALSE(bench.dongle.streaming());
}

TEST(SimDongle, DisconnectAnswersThenReportsTheLinkClosed) {
  Bench bench(quietWorld());
  bench.connectAndStream();
  bench.take();
  bench.send(hex(simtest::kDisconnect));
  Frame closed;
  const int at = timeOfFirst(
      bench, 1000, [](const Frame& f) { return f.is(true, 3, 4); }, &closed);
  EXPECT_GT(at, 0);
  EXPECT_LE(at, 100);
  EXPECT_EQ(closed.bytes().toHex(' '), hex("80 03 03 04 00 16 02").toHex(' '));
  bench.run(500);
  for (const Frame& f : bench.take()) EXPECT_FALSE(f.is(true, 4, 5));
  EXPECT_EQ(bench.dongle.link(), SimDongle::Link::Idle);
}

TEST(SimDongle, ResetGivesNoAnswerAndBootsAboutASecondLater) {
  Bench bench(quietWorld());
  bench.connectAndStream();
  bench.send(hex(simtest::kDiscover));
  bench.run(20);
  bench.take();
  bench.send(hex(simtest::kReset));
  bench.run(1);
  EXPECT_FALSE(bench.dongle.present());
  bench.run(900);
  EXPECT_TRUE(bench.take().empty());
  // Commands before the boot go nowhere.
  bench.send(hex("00 00 00 01"));
  Frame boot;
  const int at = timeOfFirst(
      bench, 1000, [](const Frame&) { return true; }, &boot);
  EXPECT_GE(at, 95);
  EXPECT_LE(at, 110);
  EXPECT_TRUE(boot.is(true, 0, 0));
  EXPECT_EQ(boot.payload.size(), 12);
  EXPECT_TRUE(bench.dongle.present());
  EXPECT_EQ(bench.dongle.link(), SimDongle::Link::Idle);
  EXPECT_FALSE(bench.dongle.scanning());
  bench.send(hex("00 00 00 01"));
  bench.run(10);
  EXPECT_EQ(firstAnswer(bench).toHex(' '), hex("00 00 00 01").toHex(' '));
}

TEST(SimDongle, IncompleteCommandIsDroppedAfterOneSecond) {
  Bench bench(quietWorld());
  bench.send(hex("00 01 06"));
  bench.run(990);
  EXPECT_TRUE(bench.take().empty());
  bench.run(20);
  EXPECT_EQ(firstAnswer(bench).toHex(' '), hex("80 02 00 06 85 01").toHex(' '));
  bench.send(hex(simtest::kDiscover));
  bench.run(5);
  EXPECT_EQ(firstAnswer(bench).toHex(' '), hex("00 02 06 02 00 00").toHex(' '));
}

TEST(SimDongle, CommandSplitAcrossReadsIsUnderstood) {
  Bench bench(quietWorld());
  const QByteArray discover = hex(simtest::kDiscover);
  for (char byte : discover) {
    bench.send(QByteArray(1, byte));
    bench.run(3);
  }
  EXPECT_EQ(firstAnswer(bench).toHex(' '), hex("00 02 06 02 00 00").toHex(' '));
}

TEST(SimDongle, AnswerTakesTheWiresTime) {
  SimDongle dongle(quietWorld());
  dongle.advanceTo(500);
  dongle.receive(hex("00 00 00 01"));
  // Four bytes at 115200 baud need about 0.35 ms: not there at once, there a millisecond later.
  dongle.advanceTo(500);
  EXPECT_EQ(dongle.outputSize(), 0);
  EXPECT_EQ(dongle.msUntilNextActivity(), 1u);
  dongle.advanceTo(501);
  EXPECT_EQ(dongle.takeOutput().toHex(' '), hex("00 00 00 01").toHex(' '));
}

}  // namespace
}  // namespace kelvaro
