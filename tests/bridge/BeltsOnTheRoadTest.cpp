// Two simulated belts through the core's road to an editor's WebSocket: every message says its
// belt, and carries that belt's values as the road decoded them, never the other belt's.
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <QWebSocket>
#include <array>
#include <cmath>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "base/ConsoleLog.h"
#include "breathing/BreathTestSupport.h"
#include "bridge/BeltBridge.h"
#include "monitor/MonitorCore.h"
#include "support/CoreOnSimWire.h"

namespace kelvaro {
namespace {

const QString kEditor = QStringLiteral("https://turbowarp.org");

struct Decoded {
  double force1, force2;
  int accelX, accelY, accelZ;
  bool apnea;
  double activity;
};

// What the road handed its consumers for each belt, registered just before the bridge.
class RoadRecord final : public MeasurementConsumer {
 public:
  explicit RoadRecord(const MonitorCore& core) : core_(core) {}
  void notificationDecoded(const DecodedNotification& n) override {
    const MeasurementState& m = n.state;
    decoded[static_cast<std::size_t>(n.belt)].push_back(
        {m.force1Grams, m.force2Grams, m.accelX, m.accelY, m.accelZ, n.breath.apnea,
         core_.belt(n.belt).activity.forceActivity()});
  }
  std::array<std::vector<Decoded>, MonitorCore::kMaxBelts> decoded;

 private:
  const MonitorCore& core_;
};

class TwoBelts final : public testing::CoreOnSimWire {
 public:
  TwoBelts() : CoreOnSimWire(options()), record(core()), bridge(console, core()) {
    core().graph().createPoints();
    core().addConsumer(record);
    core().addConsumer(bridge);
    connect();
    core().linkConnected(dongle().beltDeviceId(0));
    connectFurther(1, 1);
    second = core().attachBelt(dongle().beltDeviceId(1), 1);
    core().setBeltName(second, QStringLiteral("Anna"));
  }

  ConsoleLog console;
  RoadRecord record;
  BeltBridge bridge;
  int second = -1;

 private:
  static SimOptions options() {
    SimOptions o = breathtest::world("breathing", 11);
    o.belts = 2;
    return o;
  }
};

struct Editor {
  explicit Editor(std::uint16_t port) : socket(kEditor) {
    QObject::connect(&socket, &QWebSocket::textMessageReceived, [this](const QString& text) {
      messages.push_back(QJsonDocument::fromJson(text.toUtf8()).object());
    });
    socket.open(QUrl(QStringLiteral("ws://localhost:%1/belt").arg(port)));
  }
  QWebSocket socket;
  std::vector<QJsonObject> messages;
};

TEST(BeltsOnTheRoad, EachBeltsMessagesCarryItsOwnValuesAndName) {
  TwoBelts belts;
  ASSERT_EQ(belts.second, 1);
  ASSERT_TRUE(belts.bridge.start(0, OriginList::parse(kEditor)));
  Editor editor(belts.bridge.port());
  ASSERT_TRUE(QTest::qWaitFor([&] { return editor.messages.size() >= 2; }, 5000));
  // What every belt is doing, before the next notification says it.
  ASSERT_EQ(editor.messages.size(), 2u);
  const QString firstName = belts.dongle().beltDeviceId(0).right(4);
  EXPECT_EQ(editor.messages[0].value("belt").toInt(-1), 0);
  EXPECT_EQ(editor.messages[0].value("name").toString(), firstName);
  EXPECT_EQ(editor.messages[1].value("belt").toInt(-1), 1);
  EXPECT_EQ(editor.messages[1].value("name").toString(), QStringLiteral("Anna"));
  EXPECT_TRUE(editor.messages[1].value("connected").toBool());

  const std::size_t offset = editor.messages.size();
  std::array<std::size_t, 2> before{belts.record.decoded[0].size(), belts.record.decoded[1].size()};
  // 20 s of both belts, 50 ms at a time, each step's messages received before the next.
  for (int step = 0; step < 400; ++step) {
    belts.run(50);
    const std::size_t expected = offset + belts.record.decoded[0].size() - before[0] +
                                 belts.record.decoded[1].size() - before[1];
    ASSERT_TRUE(QTest::qWaitFor([&] { return editor.messages.size() >= expected; }, 5000)) << step;
  }

  std::array<std::size_t, 2> seen{0, 0};
  int differentForces = 0;
  for (std::size_t i = offset; i < editor.messages.size(); ++i) {
    const QJsonObject& m = editor.messages[i];
    const int b = m.value("belt").toInt(-1);
    ASSERT_TRUE(b == 0 || b == 1) << i;
    EXPECT_EQ(m.value("name").toString(), b == 0 ? firstName : QStringLiteral("Anna"));
    const auto slot = static_cast<std::size_t>(b);
    const std::size_t k = before[slot] + seen[slot]++;
    ASSERT_LT(k, belts.record.decoded[slot].size());
    const Decoded& d = belts.record.decoded[slot][k];
    EXPECT_EQ(m.value("n").toInteger(), qint64(k + 1)) << "each belt counts its own";
    EXPECT_NEAR(m.value("force").toDouble(), d.force1, 0.05 + 1e-9);
    EXPECT_NEAR(m.value("force2").toDouble(), d.force2, 0.05 + 1e-9);
    EXPECT_EQ(m.value("GX").toInt(), d.accelX);
    EXPECT_EQ(m.value("GY").toInt(), d.accelY);
    EXPECT_EQ(m.value("GZ").toInt(), d.accelZ);
    EXPECT_EQ(m.value("apnea").toBool(), d.apnea);
    EXPECT_NEAR(m.value("activity").toDouble(), d.activity, 0.005 + 1e-9);
    // The other belt's latest value at the same moment is another.
    const auto other = 1 - slot;
    if (before[other] + seen[other] > 0) {
      const Decoded& o = belts.record.decoded[other][before[other] + seen[other] - 1];
      if (std::fabs(o.force1 - d.force1) > 0.05) ++differentForces;
    }
  }
  EXPECT_EQ(seen[0], belts.record.decoded[0].size() - before[0]) << "one per notification";
  EXPECT_EQ(seen[1], belts.record.decoded[1].size() - before[1]) << "one per notification";
  EXPECT_GT(seen[1], 300u);
  EXPECT_GT(differentForces, static_cast<int>(seen[0] + seen[1]) / 2)
      << "the two belts breathe apart";
}

TEST(BeltsOnTheRoad, ARenameAndADetachedBeltAreToldAtOnce) {
  TwoBelts belts;
  ASSERT_EQ(belts.second, 1);
  ASSERT_TRUE(belts.bridge.start(0, OriginList::parse(kEditor)));
  Editor editor(belts.bridge.port());
  ASSERT_TRUE(QTest::qWaitFor([&] { return editor.messages.size() >= 2; }, 5000));
  belts.run(200);
  ASSERT_TRUE(QTest::qWaitFor([&] { return editor.messages.size() >= 6; }, 5000));

  const std::size_t renamed = editor.messages.size();
  belts.core().setBeltName(1, QStringLiteral("Ben \"B\"\\"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return editor.messages.size() > renamed; }, 5000));
  EXPECT_EQ(editor.messages[renamed].value("belt").toInt(-1), 1);
  EXPECT_EQ(editor.messages[renamed].value("name").toString(), QStringLiteral("Ben \"B\"\\"));

  const std::size_t detached = editor.messages.size();
  belts.core().detachBelt(1);
  ASSERT_TRUE(QTest::qWaitFor([&] { return editor.messages.size() > detached; }, 5000));
  const QJsonObject& gone = editor.messages[detached];
  EXPECT_EQ(gone.value("belt").toInt(-1), 1);
  EXPECT_FALSE(gone.value("connected").toBool());
  EXPECT_TRUE(gone.value("phase").isNull());

  // Its notifications are nobody's now; the first belt goes on, and a new editor hears of it only.
  belts.run(200);
  Editor later(belts.bridge.port());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !later.messages.empty(); }, 5000));
  QTest::qWait(50);
  ASSERT_EQ(later.messages.size(), 1u);
  EXPECT_EQ(later.messages[0].value("belt").toInt(-1), 0);
  for (std::size_t i = detached + 1; i < editor.messages.size(); ++i) {
    EXPECT_EQ(editor.messages[i].value("belt").toInt(-1), 0) << i;
  }
}

}  // namespace
}  // namespace kelvaro
