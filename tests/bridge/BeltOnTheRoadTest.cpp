// The simulated belt through the core's road to an editor's WebSocket: what the editor reads is
// what the road decoded, notification by notification, breaths and all.
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <QWebSocket>
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "base/ConsoleLog.h"
#include "breathing/BreathTestSupport.h"
#include "bridge/BeltBridge.h"
#include "monitor/MonitorCore.h"
#include "support/CoreOnSimWire.h"

namespace kelvaro {
namespace {

// What the road handed its consumers, registered just before the bridge.
struct Decoded {
  double force1, force2;
  int accelX, accelY, accelZ;
  std::optional<double> rate;
  bool inhaling, apnea;
  double activity;
};

class RoadRecord final : public MeasurementConsumer {
 public:
  explicit RoadRecord(const ActivityMonitor& activity) : activity_(activity) {}
  void notificationDecoded(const DecodedNotification& n) override {
    const MeasurementState& m = n.state;
    decoded.push_back({m.force1Grams, m.force2Grams, m.accelX, m.accelY, m.accelZ,
                       n.breath.ratePerMinute, n.breath.inhaling, n.breath.apnea,
                       activity_.forceActivity()});
  }
  std::vector<Decoded> decoded;

 private:
  const ActivityMonitor& activity_;
};

class BeltOnTheRoad final : public testing::CoreOnSimWire {
 public:
  explicit BeltOnTheRoad(const SimOptions& options)
      : CoreOnSimWire(options), record(core().activity()), bridge(console, core().activity()) {
    core().graph().createPoints();
    core().addConsumer(record);
    core().addConsumer(bridge);
    connect();
  }

 private:
 public:
  ConsoleLog console;
  RoadRecord record;
  BeltBridge bridge;
};

TEST(BeltOnTheRoad, AnEditorReadsTheSimulatedBeltAsTheRoadDecodedIt) {
  BeltOnTheRoad belt(breathtest::world("breathing", 7));
  ASSERT_TRUE(belt.bridge.start(0, OriginList::parse(QStringLiteral("https://turbowarp.org"))));
  QWebSocket editor(QStringLiteral("https://turbowarp.org"));
  std::vector<QJsonObject> messages;
  QObject::connect(&editor, &QWebSocket::textMessageReceived, [&](const QString& text) {
    messages.push_back(QJsonDocument::fromJson(text.toUtf8()).object());
  });
  editor.open(QUrl(QStringLiteral("ws://localhost:%1/belt").arg(belt.bridge.port())));
  ASSERT_TRUE(QTest::qWaitFor([&] { return belt.bridge.editorCount() == 1; }, 5000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !messages.empty(); }, 5000));
  belt.core().linkConnected(QStringLiteral("000780008D83"));
  // The greeting, and the connection if the greeting did not say it yet.
  QTest::qWait(100);
  const std::size_t offset = messages.size();
  ASSERT_TRUE(messages.back().value("connected").toBool()) << "the connection, told at once";
  const std::size_t before = belt.record.decoded.size();

  // 40 s of the belt, 50 ms at a time, each step's messages received before the next.
  for (int step = 0; step < 800; ++step) {
    belt.run(50);
    const std::size_t expected = offset + belt.record.decoded.size() - before;
    ASSERT_TRUE(QTest::qWaitFor([&] { return messages.size() >= expected; }, 5000)) << step;
  }
  ASSERT_GT(belt.record.decoded.size(), before + 700);
  EXPECT_EQ(messages.size(), offset + belt.record.decoded.size() - before)
      << "one per notification";

  int inhales = 0, exhales = 0, rated = 0;
  QString lastPhase;
  for (std::size_t i = 0; i + offset < messages.size(); ++i) {
    const QJsonObject& m = messages[i + offset];
    const Decoded& d = belt.record.decoded[before + i];
    ASSERT_EQ(m.value("n").toInteger(), qint64(before + i + 1));
    EXPECT_NEAR(m.value("force").toDouble(), d.force1, 0.05 + 1e-9);
    EXPECT_NEAR(m.value("force2").toDouble(), d.force2, 0.05 + 1e-9);
    EXPECT_EQ(m.value("GX").toInt(), d.accelX);
    EXPECT_EQ(m.value("GY").toInt(), d.accelY);
    EXPECT_EQ(m.value("GZ").toInt(), d.accelZ);
    EXPECT_EQ(m.value("apnea").toBool(), d.apnea);
    EXPECT_NEAR(m.value("activity").toDouble(), d.activity, 0.005 + 1e-9);
    EXPECT_TRUE(m.value("connected").toBool());
    if (d.rate) {
      ++rated;
      EXPECT_NEAR(m.value("breathsPerMinute").toDouble(), *d.rate, 0.05 + 1e-9);
    } else {
      EXPECT_TRUE(m.value("breathsPerMinute").isNull());
    }
    const QString phase = m.value("phase").toString();
    if (d.inhaling) {
      EXPECT_EQ(phase, QStringLiteral("in"));
    }
    if (phase != lastPhase) {
      if (phase == QStringLiteral("in")) ++inhales;
      if (phase == QStringLiteral("out")) ++exhales;
      lastPhase = phase;
    }
  }
  // About 15 breaths a minute for 40 s.
  EXPECT_GE(inhales, 6);
  EXPECT_GE(exhales, 6);
  EXPECT_GT(rated, 100) << "the rate, once a few breaths were seen";
  EXPECT_GT(messages.back().value("activity").toDouble(), 0.0) << "a block of activity ended";
}

}  // namespace
}  // namespace kelvaro
