// The Scratch client against a local stand-in of Scratch: what it sends, what the console says,
// and that neither a slow connect nor a peer that stops reading holds the event loop up.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <iostream>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "base/ConsoleLog.h"
#include "base/EventPump.h"
#include "base/TickSource.h"
#include "scratch/ScratchClient.h"
#include "support/ScratchPeer.h"

namespace kelvaro {
namespace {

using testing::LoopLatency;
using testing::ScratchPeer;

const QString kWait = QStringLiteral("Cekejte");
const QString kConnected = QStringLiteral("Pripojeno");
const QString kFailed = QStringLiteral("*** Chyba pripojeni *********");
const QString kDisconnect = QStringLiteral("*** TCP disconnect *********");
const QString kOff = QStringLiteral("Odpojeno");

const std::string kExample =
    "sensor-update \"force\" 0012.3 \"force2\" 0000.0 \"GX\"00100 \"GY\"-00005 \"GZ\"04000";

// The link test's clock: every pass of its wait moves 250 ms of virtual time on, while the real
// event loop handles what arrived in the meantime.
class SteppingPump final : public EventPump {
 public:
  explicit SteppingPump(ManualTickSource& ticks) : ticks_(ticks) {}
  void processPending() override { real_.processPending(); }
  void waitForEvents(std::uint32_t maxMs) override {
    real_.waitForEvents(std::min<std::uint32_t>(maxMs, 20));
    ticks_.advance(250);
    ++passes;
  }
  int passes = 0;

 private:
  ManualTickSource& ticks_;
  QtEventPump real_;
};

class ScratchClientTest : public ::testing::Test {
 protected:
  void makeClient(std::uint16_t port) {
    client = std::make_unique<ScratchClient>(console, ticks, pump, port);
  }
  bool waitConnected(ScratchPeer& peer) {
    return QTest::qWaitFor([&] { return client->isConnected() && peer.connections() > 0; }, 5000);
  }
  // A client connected to peer, with an empty console.
  bool connectedTo(ScratchPeer& peer) {
    makeClient(peer.port());
    client->connectTo(QStringLiteral("127.0.0.1"));
    const bool connected = waitConnected(peer);
    console.clear();
    return connected;
  }
  bool waitSettled() {
    return QTest::qWaitFor([&] { return !client->isConnecting(); }, 15000);
  }
  QStringList lines() const { return console.lines(); }
  std::string consoleText() const { return console.lines().join('\n').toStdString(); }

  ConsoleLog console;
  ManualTickSource ticks{1000};
  SteppingPump pump{ticks};
  std::unique_ptr<ScratchClient> client;
};

TEST_F(ScratchClientTest, NothingGoesOutWhileDisconnected) {
  ScratchPeer peer;
  makeClient(peer.port());
  client->sendSensorUpdate(100, -5, 4000, 12.34, 0.0);
  QTest::qWait(50);
  EXPECT_EQ(peer.connections(), 0);
  EXPECT_TRUE(lines().isEmpty());
}

TEST_F(ScratchClientTest, ConnectsSendsFramesAndConfirmsTheSameHost) {
  ScratchPeer peer;
  makeClient(peer.port());
  client->connectTo(QStringLiteral("127.0.0.1"));
  EXPECT_EQ(lines(), QStringList{kWait}) << "the answer comes when the attempt ends";
  EXPECT_TRUE(client->isConnecting());
  ASSERT_TRUE(waitConnected(peer)) << consoleText();
  EXPECT_EQ(lines(), (QStringList{kWait, kConnected}));

  client->sendSensorUpdate(100, -5, 4000, 12.34, 0.0);
  client->sendSensorUpdate(111, 222, 333, 55000, 1.0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return peer.frames().size() == 2; }, 5000));
  int leftover = -1;
  const auto frames = peer.frames(&leftover);
  EXPECT_EQ(leftover, 0);
  EXPECT_EQ(peer.received().size(), 79 + 79);
  EXPECT_EQ(peer.received().left(4), QByteArray("\x00\x00\x00\x4B", 4));
  EXPECT_EQ(frames[0], kExample);
  EXPECT_EQ(
      frames[1],
      "sensor-update \"force\" 55000.0 \"force2\" 0001.0 \"GX\"00111 \"GY\"00222 \"GZ\"00333");

  client->connectTo(QStringLiteral("127.0.0.1"));
  EXPECT_EQ(lines(), (QStringList{kWait, kConnected, kWait, kConnected}));
  QTest::qWait(20);
  EXPECT_EQ(peer.connections(), 1) << "the same host keeps its connection";
}

TEST_F(ScratchClientTest, HostsAreResolvedAsAddressesOrNames) {
  struct Case {
    QString host;
    bool anyAddress;  // the peer listens on every address
    bool connects;
  };
  const Case cases[] = {
      {QStringLiteral("127.0.0.1"), false, true},
      {QStringLiteral("localhost"), false, true},
      {QString(), true, true},  // 0.0.0.0, which is this machine
      {QStringLiteral("127.0.0.1x"), false, false},
      {QStringLiteral("1::2"), false, false},
      {QStringLiteral("999.1.1.1"), false, false},
      {QStringLiteral("no-such-host.invalid"), false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.host.toStdString());
    console.clear();
    ScratchPeer peer(c.anyAddress);
    makeClient(peer.port());
    client->setConnectGiveUpMs(5000);
    client->connectTo(c.host);
    ASSERT_TRUE(waitSettled());
    EXPECT_EQ(lines(), (QStringList{kWait, c.connects ? kConnected : kFailed}));
    EXPECT_EQ(client->isConnected(), c.connects);
  }
}

TEST_F(ScratchClientTest, ARefusedConnectionFails) {
  makeClient(testing::closedPort());
  client->connectTo(QStringLiteral("127.0.0.1"));
  ASSERT_TRUE(waitSettled());
  EXPECT_EQ(lines(), (QStringList{kWait, kFailed}));
  EXPECT_FALSE(client->isConnected());
  client->sendSensorUpdate(1, 2, 3, 4, 5);
  client->disconnectFromPeer();
  EXPECT_EQ(lines(), (QStringList{kWait, kFailed, kOff}));
}

TEST_F(ScratchClientTest, DisconnectSaysWhatItEnded) {
  ScratchPeer peer;
  makeClient(peer.port());
  client->disconnectFromPeer();
  EXPECT_EQ(lines(), QStringList{kOff}) << "not connected: only the last line";

  console.clear();
  client->connectTo(QStringLiteral("127.0.0.1"));
  ASSERT_TRUE(waitConnected(peer));
  client->disconnectFromPeer();
  EXPECT_EQ(lines(), (QStringList{kWait, kConnected, kDisconnect, kOff}));
  EXPECT_FALSE(client->isConnected());
  EXPECT_TRUE(QTest::qWaitFor([&] { return peer.hangUps() == 1; }, 5000));
  client->sendSensorUpdate(1, 2, 3, 4, 5);
  QTest::qWait(20);
  EXPECT_TRUE(peer.received().isEmpty());
}

TEST_F(ScratchClientTest, AnotherHostClosesTheConnectionFirst) {
  ScratchPeer peer;
  ASSERT_TRUE(connectedTo(peer));
  client->connectTo(QStringLiteral("localhost"));
  EXPECT_EQ(lines(), (QStringList{kWait, kDisconnect}));
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return peer.connections() == 2 && client->isConnected(); }, 5000));
  EXPECT_EQ(lines(), (QStringList{kWait, kDisconnect, kConnected}));
}

TEST_F(ScratchClientTest, LinkTestNeedsAConnection) {
  makeClient(testing::closedPort());
  client->testLink();
  EXPECT_EQ(lines(), QStringList{QStringLiteral("*** neni connect *********")});
}

TEST_F(ScratchClientTest, LinkTestShowsTheAnswer) {
  ScratchPeer peer;
  peer.answerWith(QByteArray("\x00\x00\x00\x02hi", 6));
  ASSERT_TRUE(connectedTo(peer));
  client->testLink();
  EXPECT_EQ(lines(),
            (QStringList{QStringLiteral("Data=\"#00 #00 #00 #02 hi\""), QStringLiteral("OK ")}));
  EXPECT_EQ(peer.received(), QByteArray(4, '\0')) << "the empty frame";
  EXPECT_FALSE(client->isTesting());
}

TEST_F(ScratchClientTest, LinkTestGivesUpOnASilentPeerAfterThreeSeconds) {
  ScratchPeer peer;
  ASSERT_TRUE(connectedTo(peer));
  const std::uint32_t start = ticks.tick();
  // A second press while the first test waits is not a second test.
  bool testingMeanwhile = false;
  QTimer::singleShot(0, [&] {
    testingMeanwhile = client->isTesting();
    client->testLink();
  });
  client->testLink();
  EXPECT_TRUE(testingMeanwhile);
  EXPECT_EQ(lines(), QStringList{QStringLiteral("*** Chyba *********")});
  EXPECT_GE(ticks.tick() - start, 3000u);
  EXPECT_LE(ticks.tick() - start, 3250u);
  EXPECT_TRUE(client->isConnected()) << "a silent peer is still connected";
}

TEST_F(ScratchClientTest, LinkTestAnswerFromAPeerThatHangsUpIsAnError) {
  ScratchPeer peer;
  ASSERT_TRUE(connectedTo(peer));
  QTimer::singleShot(0, [&] { peer.hangUp(); });
  client->testLink();
  EXPECT_EQ(lines(), (QStringList{QStringLiteral("Scratch: connection closed by the peer"),
                                  QStringLiteral("*** Chyba *********")}));
}

TEST_F(ScratchClientTest, APeerThatGoesAwayIsNoticed) {
  for (const bool reset : {false, true}) {
    SCOPED_TRACE(reset ? "reset" : "closed");
    console.clear();
    ScratchPeer peer;
    makeClient(peer.port());
    client->connectTo(QStringLiteral("127.0.0.1"));
    ASSERT_TRUE(waitConnected(peer));
    reset ? peer.reset() : peer.hangUp();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !client->isConnected(); }, 5000));
    ASSERT_EQ(lines().size(), 3) << consoleText();
    EXPECT_TRUE(lines()[2].startsWith(QStringLiteral("Scratch: connection "))) << consoleText();
    client->sendSensorUpdate(1, 2, 3, 4, 5);

    // Connecting works again.
    client->connectTo(QStringLiteral("127.0.0.1"));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return peer.connections() == 2 && client->isConnected(); }, 5000));
    EXPECT_EQ(lines().mid(3), (QStringList{kWait, kConnected}));
  }
}

TEST_F(ScratchClientTest, AConnectThatNeverEndsLeavesTheLoopTurningAndGivesUp) {
  testing::SilentListener listener;
  makeClient(listener.port());
  client->setConnectGiveUpMs(1500);
  LoopLatency latency;
  QElapsedTimer clock;
  clock.start();
  client->connectTo(QStringLiteral("127.0.0.1"));
  EXPECT_TRUE(client->isConnecting());
  ASSERT_TRUE(waitSettled());
  EXPECT_GE(clock.elapsed(), 1400) << "it was still trying";
  EXPECT_EQ(lines(), (QStringList{kWait, kFailed}));
  EXPECT_LT(latency.worstMs(), 100);
}

TEST_F(ScratchClientTest, APeerThatStopsReadingCostsFramesNotTheLoop) {
  ScratchPeer peer(false, 4096);
  ASSERT_TRUE(connectedTo(peer));
  peer.setReading(false);

  // Ten times the wire's flood: 5 notifications a millisecond, for 10 s.
  LoopLatency latency;
  int sent = 0;
  std::uint64_t mostDropped = 0;
  qint64 mostUnsent = 0;
  QTimer flood;
  QObject::connect(&flood, &QTimer::timeout, [&] {
    for (int i = 0; i < 5; ++i) {
      client->sendSensorUpdate(sent % 1000, -sent % 1000, 1, sent * 0.5, 2.0);
      ++sent;
    }
    mostDropped = std::max(mostDropped, client->droppedFrames());
    mostUnsent = std::max(mostUnsent, client->unsentBytes());
  });
  flood.setTimerType(Qt::PreciseTimer);
  flood.start(1);
  QEventLoop loop;
  QTimer::singleShot(10000, &loop, &QEventLoop::quit);
  loop.exec();
  flood.stop();
  EXPECT_LT(latency.worstMs(), 100);
  EXPECT_GT(mostDropped, 0u) << "the peer was not reading; " << sent << " offered";
  EXPECT_LE(mostUnsent, ScratchClient::kMaxUnsentBytes + 128) << "memory stays bounded";

  // Frames dropped so far: those the console reported (each burst once sending went on again)
  // and those of the burst still running.
  const auto dropped = [&] {
    std::uint64_t total = client->droppedFrames();
    for (const QString& line : console.lines()) {
      if (line.endsWith(QStringLiteral(" frames dropped, peer not reading"))) {
        total += line.section(QLatin1Char(' '), 1, 1).toULongLong();
      }
    }
    return total;
  };
  peer.setReading(true);
  const auto allArrived = [&](int offered) {
    return peer.frameCount() == static_cast<std::size_t>(offered) - dropped();
  };
  ASSERT_TRUE(QTest::qWaitFor([&] { return allArrived(sent); }, 30000));
  const std::uint64_t lastBurst = client->droppedFrames();
  ASSERT_GT(lastBurst, 0u) << "the peer stopped reading at the end";
  client->sendSensorUpdate(100, -5, 4000, 12.34, 0.0);
  EXPECT_EQ(console.last(),
            QStringLiteral("Scratch: %1 frames dropped, peer not reading").arg(lastBurst));
  ASSERT_TRUE(QTest::qWaitFor([&] { return allArrived(sent + 1); }, 5000));
  int leftover = -1;
  const auto frames = peer.frames(&leftover);
  EXPECT_EQ(leftover, 0) << "only whole frames were dropped";
  EXPECT_EQ(frames.back(), kExample);
  for (const std::string& message : frames) ASSERT_EQ(message.rfind("sensor-update ", 0), 0u);
  std::cout << "[ measured ] " << sent << " frames offered, " << dropped() << " dropped in "
            << console.lines().filter(QStringLiteral(" dropped")).size() << " bursts, at most "
            << mostUnsent << " bytes waiting, event loop " << latency.worstMs() << " ms at worst"
            << std::endl;
}

TEST_F(ScratchClientTest, DropsAreReportedWhenTheConnectionEnds) {
  ScratchPeer peer(false, 4096);
  ASSERT_TRUE(connectedTo(peer));
  peer.setReading(false);
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        for (int i = 0; i < 200; ++i) client->sendSensorUpdate(1, 2, 3, 4, 5);
        return client->droppedFrames() > 0;
      },
      10000));
  const std::uint64_t dropped = client->droppedFrames();
  ASSERT_GT(dropped, 0u);
  console.clear();
  client->disconnectFromPeer();
  EXPECT_EQ(
      lines(),
      (QStringList{QStringLiteral("Scratch: %1 frames dropped, peer not reading").arg(dropped),
                   kDisconnect, kOff}));
}

TEST_F(ScratchClientTest, AnOpenConnectionClosesQuietlyAtExit) {
  ScratchPeer peer;
  ASSERT_TRUE(connectedTo(peer));
  client.reset();
  EXPECT_TRUE(lines().isEmpty());
  EXPECT_TRUE(QTest::qWaitFor([&] { return peer.hangUps() == 1; }, 5000));
}

}  // namespace
}  // namespace kelvaro
