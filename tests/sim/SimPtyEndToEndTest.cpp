#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <iostream>
#include <memory>

#include "SimTestSupport.h"
#include "platform/QtSerialTransport.h"
#include "sim/SimPtyPort.h"

namespace kelvaro {
namespace {

using simtest::Frame;
using simtest::FrameSplitter;
using simtest::hex;

// The simulator on a real pseudo-terminal, reached through the program's own serial transport.
class PtyEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    link = dir.filePath(QStringLiteral("dongle"));
    QObject::connect(&port, &SerialTransport::readyRead, [this] {
      QByteArray chunk(int(port.bytesAvailable()), '\0');
      chunk.resize(int(port.read(chunk.data(), chunk.size())));
      splitter.feed(chunk);
    });
  }

  void start(const SimOptions& options) {
    sim = std::make_unique<SimPtyPort>(clock, options, link);
    QString error;
    ASSERT_TRUE(sim->start(&error)) << error.toStdString();
    ASSERT_TRUE(port.open(link, SerialSettings())) << port.errorString().toStdString();
  }

  template <typename Match>
  bool waitFor(Match match, int ms) {
    return QTest::qWaitFor(
        [&] {
          for (const Frame& f : splitter.frames) {
            if (match(f)) return true;
          }
          return false;
        },
        ms);
  }

  void connectAndSwitchOn() {
    port.write(simtest::connectCommand(sim->dongle().beltDeviceId(0)));
    ASSERT_TRUE(waitFor([](const Frame& f) { return f.is(true, 3, 0); }, 1000));
    port.write(hex(simtest::kSet1));
    ASSERT_TRUE(waitFor([](const Frame& f) { return f.is(true, 4, 1) && f.u16(3) == 0x1C; }, 1000));
    port.write(hex(simtest::kSet2));
    ASSERT_TRUE(waitFor([](const Frame& f) { return f.is(true, 4, 1) && f.u16(3) == 0x1A; }, 1000));
  }

  // Notifications a second, measured over `ms` of real time.
  double measureRate(int ms) {
    QTest::qWait(200);
    splitter.frames.clear();
    QElapsedTimer timer;
    timer.start();
    QTest::qWait(ms);
    const double seconds = double(timer.elapsed()) / 1000.0;
    int n = 0;
    for (const Frame& f : splitter.frames) n += f.is(true, 4, 5) ? 1 : 0;
    return n / seconds;
  }

  QTemporaryDir dir;
  QString link;
  SteadyTickSource clock;
  std::unique_ptr<SimPtyPort> sim;
  QtSerialTransport port;
  FrameSplitter splitter;
};

TEST_F(PtyEndToEnd, DiscoverConnectAndStreamAtTheSetRate) {
  SimOptions options;
  options.seed = 9;
  options.otherAdvertisers = 2;
  start(options);
  EXPECT_EQ(QFileInfo(link).symLinkTarget(), sim->devicePath());
  EXPECT_TRUE(sim->devicePath().startsWith(QLatin1String("/dev/pts/")));

  port.write(hex(simtest::kDiscover));
  ASSERT_TRUE(waitFor([](const Frame& f) { return f.is(false, 6, 2); }, 1000));
  QByteArray belt = QByteArray::fromHex(sim->dongle().beltDeviceId(0).toLatin1());
  std::reverse(belt.begin(), belt.end());
  ASSERT_TRUE(waitFor(
      [&belt](const Frame& f) { return f.is(true, 6, 0) && f.payload.mid(2, 6) == belt; }, 1000));

  connectAndSwitchOn();
  const double rate = measureRate(1000);
  EXPECT_GE(rate, 16.0);
  EXPECT_LE(rate, 24.0);
  EXPECT_LT(splitter.leftover(), 25) << "the stream stays in step with its packets";
}

TEST_F(PtyEndToEnd, FloodReachesTheWiresRate) {
  SimOptions options;
  options.flood = true;
  options.otherAdvertisers = 0;
  start(options);
  connectAndSwitchOn();
  const double rate = measureRate(1500);
  std::cout << "[ measured ] flood through the pseudo-terminal: " << rate
            << " notifications/s (wire limit 460.8)" << std::endl;
  RecordProperty("notifications_per_second", std::to_string(rate));
  // Room for a loaded machine; an idle one measures the wire's 460.
  EXPECT_GE(rate, 380.0);
  EXPECT_LE(rate, 470.0);
}

TEST_F(PtyEndToEnd, ResetTakesTheDeviceAwayAndTheLinkFollowsTheNewOne) {
  start(SimOptions());
  const QString first = sim->devicePath();
  QSignalSpy lost(&port, &SerialTransport::connectionLost);
  QSignalSpy gone(sim.get(), &SimPtyPort::deviceGone);
  QSignalSpy appeared(sim.get(), &SimPtyPort::deviceAppeared);
  port.write(hex(simtest::kReset));
  ASSERT_TRUE(lost.wait(1000)) << "the program's port sees the device vanish";
  EXPECT_FALSE(port.isOpen());
  EXPECT_EQ(gone.count(), 1);
  EXPECT_FALSE(QFileInfo(link).isSymLink()) << "no device, no link";

  ASSERT_TRUE(appeared.wait(2000));
  const QString second = appeared.at(0).at(0).toString();
  EXPECT_EQ(second, sim->devicePath());
  EXPECT_EQ(QFileInfo(link).symLinkTarget(), second);
  EXPECT_FALSE(first.isEmpty());

  splitter.frames.clear();
  ASSERT_TRUE(port.open(link, SerialSettings())) << port.errorString().toStdString();
  port.write(hex("00 00 00 01"));
  ASSERT_TRUE(waitFor([](const Frame& f) { return f.is(false, 0, 1); }, 1000));
  // The boot event came out before anyone had the new device open; it waited for the reader.
  ASSERT_FALSE(splitter.frames.empty());
  EXPECT_TRUE(splitter.frames.front().is(true, 0, 0));
  EXPECT_EQ(splitter.frames.front().payload.size(), 12);
}

TEST_F(PtyEndToEnd, LinkIsRemovedWhenTheSimulatorStops) {
  start(SimOptions());
  ASSERT_TRUE(QFileInfo(link).isSymLink());
  port.close();
  sim.reset();
  EXPECT_FALSE(QFileInfo(link).isSymLink());
  EXPECT_FALSE(QFileInfo::exists(link));
}

TEST_F(PtyEndToEnd, ARegularFileIsNeverReplacedByTheLink) {
  QFile file(link);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("keep me");
  file.close();
  SimPtyPort refused(clock, SimOptions(), link);
  QString error;
  EXPECT_FALSE(refused.start(&error));
  EXPECT_TRUE(error.contains(link));
  EXPECT_FALSE(QFileInfo(link).isSymLink());
}

}  // namespace
}  // namespace kelvaro
