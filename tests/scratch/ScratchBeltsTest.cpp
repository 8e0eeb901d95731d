// Several belts through the core's road to the Scratch link: each belt's notifications reach
// Scratch under its own sensor names, and one belt's values never under another's.
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/ConsoleLog.h"
#include "base/EventPump.h"
#include "base/TickSource.h"
#include "link/Dispatcher.h"
#include "monitor/MonitorCore.h"
#include "monitor/MonitorDisplay.h"
#include "scratch/ScratchClient.h"
#include "support/FakeSerialTransport.h"
#include "support/NotificationPackets.h"
#include "support/ScratchPeer.h"

namespace kelvaro {
namespace {

using testing::RawValues;
using testing::ScratchPeer;

const QString kSecondId = QStringLiteral("000780001A2B");
const QString kThirdId = QStringLiteral("00078000C3D4");

// The accelerations tell the belts apart: they go out as the belt sends them.
RawValues beltValues(std::int16_t ax) {
  RawValues r;
  r.ax = ax;
  r.ay = static_cast<std::int16_t>(-ax);
  r.az = 256;
  return r;
}

std::string accelerations(const char* suffix, int ax) {
  const auto pad = [](int v) {
    std::string digits = std::to_string(v < 0 ? -v : v);
    return (v < 0 ? "-" : "") + std::string(5 - digits.size(), '0') + digits;
  };
  const std::string s = suffix;
  return "\"GX" + s + "\"" + pad(ax) + " \"GY" + s + "\"" + pad(-ax) + " \"GZ" + s + "\"" +
         pad(256);
}

class ScratchBeltsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    core.addConsumer(client);
    client.connectTo(QStringLiteral("127.0.0.1"));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return client.isConnected() && peer.connections() == 1; }, 5000));
  }
  void notify(std::int16_t ax, std::uint8_t connection) {
    const std::vector<std::uint8_t> packet =
        testing::notificationPacket(beltValues(ax), connection);
    core.feed(packet.data(), packet.size());
  }
  std::vector<std::string> waitFrames(std::size_t count) {
    (void)QTest::qWaitFor([&] { return peer.frames().size() >= count; }, 5000);
    return peer.frames();
  }

  ScratchPeer peer;
  ManualTickSource ticks{1000};
  NoEventLoop pump;
  testing::FakeSerialTransport port;
  NullScanView scanView;
  NullMonitorDisplay display;
  MonitorCore core{ticks, pump, port, scanView, display};
  ConsoleLog console;
  QtEventPump linkPump;
  ScratchClient client{console, ticks, linkPump, peer.port()};
};

TEST_F(ScratchBeltsTest, EachBeltGoesOutUnderItsOwnNamesAndTheFirstBeltsStayAsTheyWere) {
  ASSERT_EQ(core.attachBelt(kSecondId, 1), 1);
  core.setBeltName(1, QStringLiteral("Anna"));
  // A name for the first belt changes nothing of its frames.
  core.setBeltName(0, QStringLiteral("Zed"));
  notify(100, 0);
  notify(-2000, 1);
  notify(101, 0);
  notify(-2001, 1);
  const auto frames = waitFrames(4);
  ASSERT_EQ(frames.size(), 4u);
  const std::string first = "sensor-update \"force\" 0000.0 \"force2\" -0250.0 ";
  const std::string anna = "sensor-update \"force Anna\" 0000.0 \"force2 Anna\" -0250.0 ";
  EXPECT_EQ(frames[0], first + accelerations("", 100));
  EXPECT_EQ(frames[1], anna + accelerations(" Anna", -2000));
  EXPECT_EQ(frames[2], first + accelerations("", 101));
  EXPECT_EQ(frames[3], anna + accelerations(" Anna", -2001));
  EXPECT_EQ(peer.received().size(),
            static_cast<qsizetype>(4 * 4 + 2 * frames[0].size() + 2 * frames[1].size()))
      << "each frame's length says its own message";
}

TEST_F(ScratchBeltsTest, ARenamedBeltSendsItsNewNamesFromThenOn) {
  ASSERT_EQ(core.attachBelt(kSecondId, 1), 1);
  core.setBeltName(1, QStringLiteral("Anna"));
  notify(5, 1);
  core.setBeltName(1, QStringLiteral("Ben \"B\""));
  notify(6, 1);
  const auto frames = waitFrames(2);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_NE(frames[0].find(accelerations(" Anna", 5)), std::string::npos) << frames[0];
  // A quote in a name is doubled, as Scratch reads a quote inside a quoted name.
  EXPECT_EQ(frames[1],
            "sensor-update \"force Ben \"\"B\"\"\" 0000.0 \"force2 Ben \"\"B\"\"\" -0250.0 " +
                accelerations(" Ben \"\"B\"\"", 6));
}

TEST_F(ScratchBeltsTest, ABeltNotYetNamedIsCalledByItsDeviceIdAndAFreedSlotNamedAfresh) {
  // The core's name for it, by default, is the last four digits of its DeviceId.
  ASSERT_EQ(core.attachBelt(kSecondId, 1), 1);
  notify(7, 1);
  core.setBeltName(1, QStringLiteral("Anna"));
  core.detachBelt(1);
  // The next belt in the slot is another belt: not "Anna".
  ASSERT_EQ(core.attachBelt(kThirdId, 2), 1);
  notify(8, 2);
  notify(9, 1);  // the connection the slot had before: nobody's now
  const auto frames = waitFrames(2);
  QTest::qWait(50);
  ASSERT_EQ(peer.frames().size(), 2u);
  EXPECT_NE(frames[0].find("\"force 1A2B\" "), std::string::npos) << frames[0];
  EXPECT_NE(frames[0].find(accelerations(" 1A2B", 7)), std::string::npos) << frames[0];
  EXPECT_NE(frames[1].find(accelerations(" C3D4", 8)), std::string::npos) << frames[1];
}

TEST(SensorNamesTest, NamesAreQuotedAsScratchReadsThem) {
  const struct {
    QString belt;
    const char* force1;  // as it goes out
  } cases[] = {
      {QStringLiteral("Anna"), "\"force Anna\""},
      {QStringLiteral("A\"B"), "\"force A\"\"B\""},
      {QStringLiteral("\"\""), "\"force \"\"\"\"\""},
      {QStringLiteral("line\nbreak\t"), "\"force line break \""},
      {QString::fromUtf8("\xC5\xA0\xC3\xA1rka"), "\"force \xC5\xA0\xC3\xA1rka\""},  // Šárka, UTF-8
  };
  for (const auto& c : cases) {
    const SensorNames names(c.belt);
    EXPECT_EQ(names.quoted(SensorNames::Force1), c.force1) << c.belt.toStdString();
    const std::string inner = std::string(c.force1).substr(6);  // after "force
    EXPECT_EQ(names.quoted(SensorNames::AccelZ), "\"GZ" + inner) << c.belt.toStdString();
  }
  const SensorNames first;
  EXPECT_EQ(first.quoted(SensorNames::Force2), "\"force2\"");
  EXPECT_EQ(first.quoted(SensorNames::AccelX), "\"GX\"");
}

TEST(SensorNamesTest, AFrameUnderLongNamesNeedsNoNewRoomOnceReserved) {
  const SensorNames names(QString(60, QLatin1Char('x')));
  SensorUpdateFrame frame;
  frame.reserveFor(names);
  frame.build(names, -32768, -32768, -32768, -9999999.9, -9999999.9);
  const char* const buffer = frame.data();
  for (int i = 0; i < 100; ++i) {
    frame.build(names, i, -i, i * 300, i * 1.5, -i * 2.5);
    frame.build(i, -i, i, i * 1.5, -i * 2.5);  // the first belt's, between
  }
  EXPECT_EQ(frame.data(), buffer) << "the buffer was never replaced";
  EXPECT_EQ(frame.message().substr(0, 22), "sensor-update \"force\" ");
}

}  // namespace
}  // namespace kelvaro
