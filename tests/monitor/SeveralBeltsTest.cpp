// Several belts through one core: each notification goes down the road of the belt whose
// connection it came on, and nothing of one belt shows in another's measurement, read-outs,
// chart, recording, keys or link.
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/EventPump.h"
#include "base/TickSource.h"
#include "link/Dispatcher.h"
#include "monitor/MonitorCore.h"
#include "support/FakeSerialTransport.h"
#include "support/NotificationPackets.h"

namespace kelvaro {
namespace {

using testing::FakeSerialTransport;

class BeltDisplay final : public MonitorDisplay {
 public:
  void showReadings(const NotificationOutcome&, const MeasurementState& state) override {
    shownForce1.push_back(state.force1Grams);
  }
  void samplePlotted(int) override { ++firstPlotted; }
  void beltPlotted(int belt, int slot) override {
    beltPlots.push_back(std::to_string(belt) + "@" + std::to_string(slot));
  }
  std::vector<double> shownForce1;
  int firstPlotted = 0;
  std::vector<std::string> beltPlots;
};

// What the consumers hear, with the belt each call is about.
class BeltLog final : public MeasurementConsumer {
 public:
  void notificationDecoded(const DecodedNotification& n) override {
    lines.push_back("decoded " + std::to_string(n.belt) + " " +
                    std::to_string(static_cast<int>(n.state.force1Grams)));
  }
  void linkChanged(const LinkChange& change) override {
    static const char* const kEvents[] = {"connected", "lost", "back", "disconnected"};
    lines.push_back(std::string(kEvents[static_cast<int>(change.event)]) + " " +
                    std::to_string(change.belt) + " " + change.deviceId.toStdString());
  }
  void beltNamed(int belt, const QString& name) override {
    lines.push_back("named " + std::to_string(belt) + " " + name.toStdString());
  }
  std::vector<std::string> lines;
};

class CountingKeySink final : public KeySink {
 public:
  void keyDown(int key) override { downs.push_back(key); }
  void keyUp(int) override {}
  std::vector<int> downs;
};

const QString kFirst = QStringLiteral("000780008D83");
const QString kSecond = QStringLiteral("000780001A2B");

class SeveralBeltsTest : public ::testing::Test {
 protected:
  SeveralBeltsTest() : core(ticks, pump, port, scanView, display) {
    core.graph().createPoints();
    core.addConsumer(log);
    core.linkConnected(kFirst);
  }
  ~SeveralBeltsTest() override { core.removeConsumer(log); }

  // A notification on `connection` whose force 1 reads raw1 (raw force 2: 500).
  void notify(std::uint8_t connection, int raw1) {
    testing::RawValues raw;
    raw.force1 = static_cast<std::uint16_t>(raw1);
    raw.force2 = 500;
    const auto packet = testing::notificationPacket(raw, connection);
    core.feed(packet.data(), packet.size());
  }
  // Both belts long past their zeroing: every notification is plotted.
  void pastTheZeroing() {
    for (int belt = 0; belt < MonitorCore::kMaxBelts; ++belt) {
      if (core.hasBelt(belt)) core.belt(belt).measurement.notificationCount = 20;
    }
  }

  ManualTickSource ticks{1000};
  NoEventLoop pump;
  FakeSerialTransport port;
  NullScanView scanView;
  BeltDisplay display;
  BeltLog log;
  MonitorCore core;
};

TEST_F(SeveralBeltsTest, EachNotificationGoesToTheBeltOfItsConnection) {
  const int second = core.attachBelt(kSecond, 1);
  ASSERT_EQ(second, 1);
  EXPECT_EQ(core.beltCount(), 2);
  EXPECT_EQ(core.beltOnHandle(1), 1);
  pastTheZeroing();
  log.lines.clear();

  notify(0, 1000);
  notify(1, 3000);
  notify(2, 5000);  // no belt on connection 2: dropped

  EXPECT_EQ(core.belt(0).measurement.rawForce1, 1000);
  EXPECT_EQ(core.belt(1).measurement.rawForce1, 3000);
  EXPECT_EQ(core.belt(0).measurement.notificationCount, 21);
  EXPECT_EQ(core.belt(1).measurement.notificationCount, 21);
  // The consumers hear each belt's own values, told by their belt.
  const auto grams = [&](int belt) {
    return std::to_string(static_cast<int>(core.belt(belt).measurement.force1Grams));
  };
  EXPECT_NE(grams(0), grams(1));
  const std::vector<std::string> expected = {"decoded 0 " + grams(0), "decoded 1 " + grams(1)};
  EXPECT_EQ(log.lines, expected);
  // The read-outs show the first belt; the second draws its own chart line.
  EXPECT_EQ(display.shownForce1.size(), 1u);
  EXPECT_EQ(display.firstPlotted, 1);
  ASSERT_EQ(display.beltPlots.size(), 1u);
  EXPECT_EQ(core.belt(0).graph.graphSlot(), core.belt(1).graph.graphSlot());
  EXPECT_TRUE(core.belt(1).graph.hasPoints()) << "its line has points as the first belt's has";
}

TEST_F(SeveralBeltsTest, TheShownBeltIsTheOneTheReadoutsFollow) {
  core.attachBelt(kSecond, 1);
  pastTheZeroing();
  core.setShownBelt(1);
  notify(0, 1000);
  notify(1, 3000);
  ASSERT_EQ(display.shownForce1.size(), 1u);
  EXPECT_DOUBLE_EQ(display.shownForce1[0], core.belt(1).measurement.force1Grams);
  // A slot without a belt shows the first.
  core.setShownBelt(3);
  EXPECT_EQ(core.shownBelt(), 0);
}

TEST_F(SeveralBeltsTest, ABeltIsNamedBeforeItIsToldConnected) {
  log.lines.clear();
  core.setBeltNames(
      [](const QString& id) { return id == kSecond ? QStringLiteral("Anna") : QString(); });
  core.attachBelt(kSecond, 1);
  core.attachBelt(QStringLiteral("0007800000FF"), 2);
  const std::vector<std::string> expected = {"named 1 Anna", "connected 1 000780001A2B",
                                             "named 2 00FF", "connected 2 0007800000FF"};
  EXPECT_EQ(log.lines, expected);
  EXPECT_EQ(core.belt(0).name, QStringLiteral("8D83"));
}

TEST_F(SeveralBeltsTest, ADetachedBeltsConnectionIsDroppedAndItsSlotFree) {
  core.attachBelt(kSecond, 1);
  pastTheZeroing();
  log.lines.clear();
  core.detachBelt(1);
  EXPECT_FALSE(core.hasBelt(1));
  EXPECT_EQ(core.beltOnHandle(1), -1);
  notify(1, 3000);
  const std::vector<std::string> expected = {"disconnected 1 000780001A2B"};
  EXPECT_EQ(log.lines, expected);
  // The first belt cannot be detached.
  core.detachBelt(0);
  EXPECT_TRUE(core.hasBelt(0));
}

TEST_F(SeveralBeltsTest, SlotsRunOutAtFourBeltsAndConnectionZeroIsTheFirstBelts) {
  EXPECT_EQ(core.attachBelt(kSecond, 0), -1);
  EXPECT_EQ(core.attachBelt(QStringLiteral("000000000001"), 1), 1);
  EXPECT_EQ(core.attachBelt(QStringLiteral("000000000002"), 2), 2);
  EXPECT_EQ(core.attachBelt(QStringLiteral("000000000003"), 3), 3);
  EXPECT_EQ(core.attachBelt(QStringLiteral("000000000004"), 4), -1);
  EXPECT_EQ(core.beltCount(), MonitorCore::kMaxBelts);
}

TEST_F(SeveralBeltsTest, ABeltBackOnAnotherConnectionKeepsItsSlotAndCalibration) {
  core.attachBelt(kSecond, 1);
  core.belt(1).calibration.ofs1 = 123;
  EXPECT_EQ(core.attachBelt(kSecond, 2), 1);
  EXPECT_EQ(core.belt(1).calibration.ofs1, 123);
  EXPECT_EQ(core.beltOnHandle(2), 1);
  EXPECT_EQ(core.beltOnHandle(1), -1);
}

TEST_F(SeveralBeltsTest, EachBeltPressesItsOwnKey) {
  core.attachBelt(kSecond, 1);
  pastTheZeroing();
  CountingKeySink sink;
  KeyActivationValues first;
  first.forceThreshold = 50;
  first.forceKey = 39;
  KeyActivationValues second = first;
  second.forceKey = 37;
  core.keys().setSink(&sink);
  core.keys().applyValues(first);
  core.keys().setActive(true);
  core.belt(1).keys.setSink(&sink);
  core.belt(1).keys.applyValues(second);
  core.belt(1).keys.setActive(true);

  // Zero both belts at a low force, then only the second belt breathes in.
  notify(0, 0);
  notify(1, 0);
  core.zeroForce(ForceChannel::One);
  core.zeroForce(ForceChannel::One, 1);
  sink.downs.clear();
  notify(0, 0);
  notify(1, 4000);
  EXPECT_EQ(sink.downs, std::vector<int>{37});
  core.keys().setSink(nullptr);
  core.belt(1).keys.setSink(nullptr);
}

TEST_F(SeveralBeltsTest, EachBeltRecordsItsOwnRows) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  core.attachBelt(kSecond, 1);
  pastTheZeroing();
  const QString firstPath = dir.filePath(QStringLiteral("run.csv"));
  const QString secondPath = dir.filePath(QStringLiteral("run_1A2B.csv"));
  core.recorder().startRecording(firstPath);
  core.belt(1).recorder.startRecording(secondPath);
  notify(0, 1000);
  notify(1, 3000);
  notify(1, 3000);
  core.recorder().finish();
  core.belt(1).recorder.finish();

  QFile first(firstPath);
  QFile second(secondPath);
  ASSERT_TRUE(first.open(QIODevice::ReadOnly));
  ASSERT_TRUE(second.open(QIODevice::ReadOnly));
  const QList<QByteArray> firstRows = first.readAll().split('\n');
  const QList<QByteArray> secondRows = second.readAll().split('\n');
  // A row per plotted sample of its own belt, and the last line empty.
  EXPECT_EQ(firstRows.size(), 2);
  EXPECT_EQ(secondRows.size(), 3);
  EXPECT_NE(firstRows[0], secondRows[0]);
  EXPECT_EQ(secondRows[0], secondRows[1]);
}

TEST_F(SeveralBeltsTest, AFurtherBeltsLostLinkIsItsOwn) {
  core.attachBelt(kSecond, 1);
  std::vector<int> attempts;
  core.setBeltReconnect([&](int belt, const QString&) {
    attempts.push_back(belt);
    return false;
  });
  pastTheZeroing();
  log.lines.clear();
  // The dongle says the second belt's connection is gone; the first streams on.
  core.beltDisconnectedEvent(1, 0x0208);
  EXPECT_EQ(core.belt(1).guard.state(), LinkGuard::State::Lost);
  EXPECT_EQ(core.linkGuard().state(), LinkGuard::State::Connected);
  ASSERT_FALSE(log.lines.empty());
  EXPECT_EQ(log.lines.front(), "lost 1 000780001A2B");
  // Its guard asks for the second belt when an attempt is due.
  ticks.advance(LinkGuard::kBackOffMs[0]);
  notify(0, 1000);
  core.checkLink();
  EXPECT_EQ(attempts, std::vector<int>{1});
  EXPECT_EQ(core.linkGuard().state(), LinkGuard::State::Connected);
  // Back on another connection: the guard says so, not a second "connected".
  log.lines.clear();
  core.setBeltReconnect(
      [&](int belt, const QString& id) { return core.attachBelt(id, 2) == belt; });
  ticks.advance(LinkGuard::kBackOffMs[1]);
  notify(0, 1000);
  core.checkLink();
  EXPECT_EQ(core.belt(1).guard.state(), LinkGuard::State::Connected);
  EXPECT_EQ(core.beltOnHandle(2), 1);
  EXPECT_EQ(std::count(log.lines.begin(), log.lines.end(), "connected 1 000780001A2B"), 0);
  EXPECT_EQ(std::count(log.lines.begin(), log.lines.end(), "back 1 000780001A2B"), 1);
}

}  // namespace
}  // namespace kelvaro
