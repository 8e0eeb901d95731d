#include "link/FurtherBelts.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <functional>
#include <tuple>
#include <utility>
#include <vector>

#include "base/ConsoleLog.h"
#include "base/TickSource.h"
#include "link/CommandSender.h"
#include "link/Dispatcher.h"
#include "link/LinkState.h"
#include "link/ScanList.h"
#include "support/FakeSerialTransport.h"

// The further belts behind the dispatcher, on a scripted wire: the test plays the dongle.
namespace kelvaro {
namespace {

using Bytes = std::vector<std::uint8_t>;

const QString kFirst = QStringLiteral("0007800A0000");
const QString kA = QStringLiteral("0007800A1B2C");
const QString kB = QStringLiteral("0007800A1B2D");
const QString kC = QStringLiteral("0007800A1B2E");
const QString kD = QStringLiteral("0007800A1B2F");
const QByteArray kGetConnections = "00 00 00 06";
const QByteArray kEndProcedure = "00 00 06 04";

QByteArray connectCommand(const QString& id) {
  QByteArray bytes = "00 0F 06 03";
  for (int i = 10; i >= 0; i -= 2) bytes += ' ' + id.mid(i, 2).toLatin1();
  return bytes + " 00 3C 00 4C 00 64 00 00 00";
}

bool operator==(const LinkState& a, const LinkState& b) {
  return a.connectResult == b.connectResult && a.connectionStatus == b.connectionStatus &&
         a.set1Result == b.set1Result && a.set2Result == b.set2Result &&
         a.discoverAnswered == b.discoverAnswered;
}

struct NoMeasurements : MeasurementSink {
  void handleMeasurementNotification(const BgapiPacket&) override {}
};

// A dispatcher and its collaborators, with or without further belts behind it.
struct Wire {
  explicit Wire(bool withFurtherBelts) {
    EXPECT_TRUE(port.open(QStringLiteral("/dev/ttyACM0"), {}));
    if (withFurtherBelts) dispatcher.setFurtherBelts(&belts);
    dispatcher.setDisconnectedHandler(
        [this](std::uint16_t reason) { firstDisconnected.push_back(reason); });
    belts.onStreaming = [this](const QString& id, int h) { streamed.emplace_back(id, h); };
    belts.onRefused = [this](const QString& id, const QString& why) {
      refused.emplace_back(id, why);
    };
    belts.onDisconnected = [this](const QString& id, int h, std::uint16_t reason) {
      lost.emplace_back(id, h, reason);
    };
  }

  void feed(std::uint8_t type, std::uint8_t classId, std::uint8_t id, const Bytes& payload) {
    packet.messageType = type;
    packet.length = static_cast<std::uint8_t>(payload.size());
    packet.classId = classId;
    packet.commandId = id;
    std::copy(payload.begin(), payload.end(), packet.payload.begin());
    dispatcher.dispatchPacket(packet);
  }
  void getConnections(std::uint8_t n) { feed(bgapi::kResponse, 0, 6, {n}); }
  void connectResponse(std::uint16_t result, std::uint8_t h) {
    feed(bgapi::kResponse, 6, 3,
         {static_cast<std::uint8_t>(result), static_cast<std::uint8_t>(result >> 8), h});
  }
  void status(std::uint8_t h, std::uint8_t flags) {
    feed(bgapi::kEvent, 3, 0,
         {h, flags, 0x2C, 0x1B, 0x0A, 0x80, 0x07, 0x00, 0x00, 0x3C, 0x00, 0x64, 0x00, 0x00, 0x00,
          0xFF});
  }
  void completed(std::uint8_t h, std::uint16_t result, std::uint8_t attribute) {
    feed(bgapi::kEvent, 4, 1,
         {h, static_cast<std::uint8_t>(result), static_cast<std::uint8_t>(result >> 8), attribute,
          0x00});
  }
  void disconnected(std::uint8_t h, std::uint16_t reason) {
    feed(bgapi::kEvent, 3, 4,
         {h, static_cast<std::uint8_t>(reason), static_cast<std::uint8_t>(reason >> 8)});
  }
  // Adds the belt and plays the dongle's answers up to its notifications on, on handle h.
  void stream(const QString& id, std::uint8_t h, std::uint8_t capacity = 4) {
    ASSERT_TRUE(belts.add(id)) << (refused.empty() ? "" : refused.back().second.toStdString());
    if (lastWrite() == kGetConnections) getConnections(capacity);
    ASSERT_EQ(lastWrite(), connectCommand(id));
    connectResponse(0, h);
    status(h, 0x05);
    completed(h, 0, 28);
    completed(h, 0, 26);
    ASSERT_FALSE(streamed.empty());
    ASSERT_EQ(streamed.back(), std::make_pair(id, int(h)));
  }
  QByteArray lastWrite() const {
    return port.writes.isEmpty() ? QByteArray() : port.writes.last().toHex(' ').toUpper();
  }
  QList<QByteArray> writes() const {
    QList<QByteArray> all;
    for (const QByteArray& w : port.writes) all.append(w.toHex(' ').toUpper());
    return all;
  }

  testing::FakeSerialTransport port;
  ConsoleLog console;
  LinkState link;
  ScanList scanList;
  NullScanView view;
  NoMeasurements measurements;
  Dispatcher dispatcher{link, scanList, console, view, measurements};
  CommandSender commands{port, console, link};
  ManualTickSource clock{5000};
  FurtherBelts belts{commands, clock, console};
  BgapiPacket packet;
  std::vector<std::uint16_t> firstDisconnected;
  std::vector<std::pair<QString, int>> streamed;
  std::vector<std::pair<QString, QString>> refused;
  std::vector<std::tuple<QString, int, std::uint16_t>> lost;
};

TEST(FurtherBelts, AsksTheCapacityOnceThenConnectsOnTheGivenHandles) {
  Wire w(true);
  w.belts.setFirstBeltConnected(true, kFirst);
  ASSERT_TRUE(w.belts.add(kA));
  EXPECT_TRUE(w.belts.busy());
  EXPECT_EQ(w.writes(), QList<QByteArray>{kGetConnections});
  EXPECT_EQ(w.console.last(), QStringLiteral("Write8"));
  w.getConnections(4);
  EXPECT_EQ(w.belts.capacity(), 4);
  EXPECT_EQ(w.console.lines().mid(1, 2), (QStringList{"HD=00 CID=0 CMD=6 L=1  04", "Write4"}))
      << "the answer is traced before the connect it leads to";
  EXPECT_EQ(w.lastWrite(), connectCommand(kA));
  w.connectResponse(0, 1);
  w.status(1, 0x05);
  w.completed(1, 0, 28);
  w.completed(1, 0, 26);
  EXPECT_FALSE(w.belts.busy());
  EXPECT_EQ(w.streamed, (std::vector<std::pair<QString, int>>{{kA, 1}}));
  EXPECT_EQ(w.writes().mid(2),
            (QList<QByteArray>{"00 05 04 05 01 1C 00 01 80", "00 06 04 05 01 1A 00 02 01 00"}));

  const int before = w.port.writes.size();
  ASSERT_TRUE(w.belts.add(kB.toLower()));
  EXPECT_EQ(w.port.writes.size(), before + 1);
  EXPECT_EQ(w.lastWrite(), connectCommand(kB)) << "the capacity is known now";
  w.connectResponse(0, 2);
  w.status(2, 0x05);
  w.completed(2, 0, 28);
  w.completed(2, 0, 26);
  EXPECT_EQ(w.belts.streaming(), (std::vector<std::pair<QString, int>>{{kA, 1}, {kB, 2}}));
  EXPECT_EQ(w.belts.handleOf(kB.toLower()), 2);
  EXPECT_TRUE(w.refused.empty());
  EXPECT_TRUE(w.link == LinkState{}) << "the first belt's flags are untouched";
}

TEST(FurtherBelts, RefusesAtOnceWithTheReason) {
  const struct {
    const char* name;
    std::function<void(Wire&)> setUp;
    QString deviceId;
    QString message;
  } cases[] = {
      {"no device id", [](Wire& w) { w.belts.setFirstBeltConnected(true, kFirst); },
       QStringLiteral("0007800A1B2"),
       QStringLiteral("\"0007800A1B2\" is no belt device ID (12 hexadecimal digits)")},
      {"first belt not connected", [](Wire&) {}, kA, FurtherBelts::kFirstBeltFirstText},
      {"the first belt", [](Wire& w) { w.belts.setFirstBeltConnected(true, kA.toLower()); }, kA,
       QStringLiteral("Belt 0007800A1B2C is already connected")},
      {"a further belt",
       [](Wire& w) {
         w.belts.setFirstBeltConnected(true, kFirst);
         w.stream(kA, 1);
       },
       kA.toLower(), QStringLiteral("Belt 0007800A1B2C is already connected")},
      {"first belt's procedure busy",
       [](Wire& w) {
         w.belts.setFirstBeltConnected(true, kFirst);
         w.belts.setFirstBusy([] { return true; });
       },
       kA, FurtherBelts::kBusyText},
      {"another add under way",
       [](Wire& w) {
         w.belts.setFirstBeltConnected(true, kFirst);
         w.belts.add(kB);
       },
       kA, FurtherBelts::kBusyText},
      {"four belts",
       [](Wire& w) {
         w.belts.setFirstBeltConnected(true, kFirst);
         w.stream(kA, 1, 8);
         w.stream(kB, 2);
         w.stream(kC, 3);
       },
       kD, QStringLiteral("Up to 4 belts can be connected at once")},
      {"all connections in use",
       [](Wire& w) {
         w.belts.setFirstBeltConnected(true, kFirst);
         w.stream(kA, 1, 3);
         w.stream(kB, 2);
       },
       kC, QStringLiteral("The dongle holds 3 connections, all in use: disconnect a belt first")},
      {"a belt being disconnected",
       [](Wire& w) {
         w.belts.setFirstBeltConnected(true, kFirst);
         w.stream(kA, 1);
         w.belts.disconnect(1);
       },
       kA, QStringLiteral("Belt 0007800A1B2C is still being disconnected: try again in a moment")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Wire w(true);
    c.setUp(w);
    w.refused.clear();
    const QList<QByteArray> before = w.writes();
    EXPECT_FALSE(w.belts.add(c.deviceId));
    ASSERT_EQ(w.refused.size(), 1u);
    EXPECT_EQ(w.refused[0], std::make_pair(c.deviceId, c.message));
    EXPECT_EQ(w.belts.lastFailure(), c.message);
    EXPECT_EQ(w.writes(), before) << "nothing is sent";
  }
}

TEST(FurtherBelts, CapacityLearnedFullRefusesWithoutAConnect) {
  Wire w(true);
  w.belts.setFirstBeltConnected(true, kFirst);
  ASSERT_TRUE(w.belts.add(kA));
  w.getConnections(1);
  const QString message =
      QStringLiteral("The dongle holds 1 connections, all in use: disconnect a belt first");
  EXPECT_EQ(w.refused, (std::vector<std::pair<QString, QString>>{{kA, message}}));
  EXPECT_EQ(w.writes(), QList<QByteArray>{kGetConnections});
  EXPECT_FALSE(w.belts.busy());
  EXPECT_FALSE(w.belts.add(kB));
  EXPECT_EQ(w.refused.back().second, message);
}

TEST(FurtherBelts, TheDonglesRefusalIsPassedOnAndItsProcedureEnded) {
  Wire w(true);
  w.belts.setFirstBeltConnected(true, kFirst);
  w.stream(kA, 1, 8);
  w.connectResponse(0, 0);  // nobody awaits it: the first belt's flag
  EXPECT_EQ(w.link.connectResult, LinkAnswer::Good);
  w.link = LinkState{};
  ASSERT_TRUE(w.belts.add(kB));
  w.connectResponse(0x0209, 0);
  EXPECT_TRUE(w.link == LinkState{}) << "the response was the further belt's";
  EXPECT_EQ(w.refused,
            (std::vector<std::pair<QString, QString>>{
                {kB, QStringLiteral(
                         "The dongle refused another connection (connection limit exceeded)")}}));
  EXPECT_EQ(w.lastWrite(), kEndProcedure);
  EXPECT_EQ(w.console.lines().mid(w.console.count() - 3),
            (QStringList{"63 RepConnDir=0902  00", "Connect Faze1 ERR ID=0007800A1B2D", "Write7"}));
  EXPECT_FALSE(w.belts.busy());
  EXPECT_EQ(w.belts.streaming().size(), 1u);
}

// The same packets through a dispatcher without further belts and one with a further belt on
// handle 1: the same trace lines; handle 1's events reach neither LinkState nor the first belt's
// disconnected handler, handle 0's and a stranger handle's reach both as always.
TEST(FurtherBelts, EventsGoByConnectionHandle) {
  Wire plain(false);
  Wire w(true);
  w.belts.setFirstBeltConnected(true, kFirst);
  w.stream(kA, 1);
  w.console.clear();
  const auto play = [](Wire& x, std::uint8_t h) {
    x.status(h, 0x05);
    x.completed(h, 0, 28);
    x.completed(h, 0, 26);
    x.status(h, 0x01);
    x.disconnected(h, 0x0208);
  };

  play(plain, 1);
  play(w, 1);
  EXPECT_EQ(w.console.lines(), plain.console.lines());
  EXPECT_TRUE(w.link == LinkState{});
  EXPECT_TRUE(w.firstDisconnected.empty());
  EXPECT_EQ(w.lost, (std::vector<std::tuple<QString, int, std::uint16_t>>{{kA, 1, 0x0208}}));
  EXPECT_FALSE(w.belts.isFurtherHandle(1)) << "a lost belt is forgotten";
  EXPECT_FALSE(plain.link == LinkState{});

  for (const std::uint8_t h : {0, 1, 2}) {
    SCOPED_TRACE(h);
    Wire fresh(true);
    plain.link = LinkState{};
    plain.firstDisconnected.clear();
    play(plain, h);
    fresh.belts.setFirstBeltConnected(true, kFirst);
    play(fresh, h);
    EXPECT_TRUE(fresh.link == plain.link);
    EXPECT_EQ(fresh.firstDisconnected, plain.firstDisconnected);
    EXPECT_EQ(fresh.firstDisconnected, std::vector<std::uint16_t>{0x0208});
  }
}

TEST(FurtherBelts, AGetConnectionsAnswerNobodyAskedIsOnlyTraced) {
  Wire w(true);
  w.getConnections(3);
  EXPECT_EQ(w.console.lines(), QStringList{"HD=00 CID=0 CMD=6 L=1  03"});
  EXPECT_EQ(w.belts.capacity(), std::nullopt);
  w.feed(bgapi::kResponse, 0, 6, {});
  EXPECT_EQ(w.console.last(), QStringLiteral("HD=00 CID=0 CMD=6 L=0 "));
}

TEST(FurtherBelts, DisconnectForgetsTheBeltAndItsEndReachesNobody) {
  Wire w(true);
  w.belts.setFirstBeltConnected(true, kFirst);
  w.stream(kA, 1);
  w.stream(kB, 2);
  w.belts.disconnect(1);
  EXPECT_EQ(w.lastWrite(), QByteArray("00 01 03 00 01"));
  EXPECT_EQ(w.belts.streaming(), (std::vector<std::pair<QString, int>>{{kB, 2}}));
  EXPECT_TRUE(w.belts.isFurtherHandle(1)) << "held until the dongle has ended it";
  w.disconnected(1, 0x0216);
  EXPECT_FALSE(w.belts.isFurtherHandle(1));
  EXPECT_TRUE(w.firstDisconnected.empty());
  EXPECT_TRUE(w.lost.empty());
  w.belts.disconnect(7);  // no belt there: nothing sent
  EXPECT_EQ(w.lastWrite(), QByteArray("00 01 03 00 01"));

  w.stream(kA, 1);
  w.belts.disconnectAll();
  EXPECT_EQ(w.writes().mid(w.port.writes.size() - 2),
            (QList<QByteArray>{"00 01 03 00 02", "00 01 03 00 01"}));
  EXPECT_TRUE(w.belts.streaming().empty());
}

TEST(FurtherBelts, APhasesTimeOutComesThroughTick) {
  Wire w(true);
  w.belts.setFirstBeltConnected(true, kFirst);
  EXPECT_EQ(w.belts.msUntilDue(), std::nullopt);
  ASSERT_TRUE(w.belts.add(kA));
  w.getConnections(4);
  w.connectResponse(0, 1);
  w.clock.advance(2000);
  EXPECT_EQ(w.belts.msUntilDue(), 1000u);
  w.clock.advance(1000);
  w.belts.tick();
  EXPECT_EQ(w.refused,
            (std::vector<std::pair<QString, QString>>{
                {kA, QStringLiteral("Belt 0007800A1B2C was not connected: no answer within 3 s "
                                    "while waiting for the link")}}));
  EXPECT_EQ(w.writes().mid(w.port.writes.size() - 2),
            (QList<QByteArray>{kEndProcedure, "00 01 03 00 01"}));
  EXPECT_FALSE(w.belts.busy());
  EXPECT_TRUE(w.belts.isFurtherHandle(1)) << "until the dongle has ended it";

  // The next attempt gets that handle again: the dongle had ended it without an event.
  ASSERT_TRUE(w.belts.add(kA));
  w.connectResponse(0, 1);
  w.status(1, 0x05);
  w.completed(1, 0, 28);
  w.completed(1, 0, 26);
  EXPECT_EQ(w.belts.streaming(), (std::vector<std::pair<QString, int>>{{kA, 1}}));
}

TEST(FurtherBelts, AnOwnerMayAddAgainFromTheRefusal) {
  Wire w(true);
  w.belts.setFirstBeltConnected(true, kFirst);
  w.belts.onRefused = [&w](const QString& id, const QString&) {
    if (id == kA) w.belts.add(kB);
  };
  ASSERT_TRUE(w.belts.add(kA));
  w.getConnections(4);
  w.connectResponse(0x0181, 0);
  EXPECT_TRUE(w.belts.busy());
  EXPECT_EQ(w.lastWrite(), connectCommand(kB));
}

TEST(FurtherBelts, ForgetDropsEverythingWithoutACommand) {
  Wire w(true);
  w.belts.setFirstBeltConnected(true, kFirst);
  w.stream(kA, 1);
  const int before = w.port.writes.size();
  w.belts.forget();
  EXPECT_EQ(w.port.writes.size(), before);
  EXPECT_TRUE(w.belts.streaming().empty());
  EXPECT_EQ(w.belts.capacity(), std::nullopt);
  w.disconnected(1, 0x0208);
  EXPECT_EQ(w.firstDisconnected, std::vector<std::uint16_t>{0x0208});
}

}  // namespace
}  // namespace kelvaro
