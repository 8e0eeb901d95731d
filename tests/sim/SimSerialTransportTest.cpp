#include <gtest/gtest.h>

#include <QSignalSpy>

#include "SimTestSupport.h"
#include "base/Errors.h"
#include "sim/SimSerialTransport.h"

namespace kelvaro {
namespace {

using simtest::FrameSplitter;
using simtest::hex;

class SimTransportTest : public ::testing::Test {
 protected:
  SimTransportTest() : clock(5000), port(clock, options()) { port.setAutoPump(false); }

  static SimOptions options() {
    SimOptions o;
    o.seed = 3;
    o.faults.unplugAfterMs = 60000;
    o.faults.replugAfterMs = 2000;
    return o;
  }
  // Advances the fake clock a millisecond at a time, pumping like the timer would.
  QByteArray advance(std::uint32_t ms) {
    QByteArray got;
    for (std::uint32_t i = 0; i < ms; ++i) {
      clock.advance(1);
      port.pump();
      QByteArray chunk(int(port.bytesAvailable()), '\0');
      chunk.resize(int(port.read(chunk.data(), chunk.size())));
      got += chunk;
    }
    return got;
  }

  ManualTickSource clock;
  SimSerialTransport port;
};

struct NameCase {
  const char* name;
  bool handled;
};

void PrintTo(const NameCase& c, std::ostream* os) { *os << '"' << c.name << '"'; }

class SimPortNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(SimPortNames, OnlySimNamesAreServed) {
  EXPECT_EQ(SimSerialTransport::handles(QString::fromLatin1(GetParam().name)), GetParam().handled)
      << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(SimTransport, SimPortNames,
                         ::testing::Values(NameCase{"SIM", true}, NameCase{"sim", true},
                                           NameCase{"SIM:apnea", true},
                                           NameCase{"SIM:breathing:60,apnea:20", true},
                                           NameCase{"SIMULATOR", false}, NameCase{"COM3", false},
                                           NameCase{"/dev/ttyACM0", false}, NameCase{"", false}));

TEST_F(SimTransportTest, ScenarioInThePortNameIsPlayed) {
  ASSERT_TRUE(port.open(QStringLiteral("SIM:apnea:10,off"), SerialSettings()));
  EXPECT_TRUE(port.isOpen());
  EXPECT_EQ(port.portName().toStdString(), "SIM:apnea:10,off");
  EXPECT_EQ(port.dongle().options().timeline.toString().toStdString(), "apnea:10,off");
}

TEST_F(SimTransportTest, BadNamesDoNotOpen) {
  EXPECT_FALSE(port.open(QStringLiteral("SIM:dancing"), SerialSettings()));
  EXPECT_TRUE(port.errorString().contains(QLatin1String("dancing")));
  EXPECT_FALSE(port.open(QStringLiteral("COM3"), SerialSettings()));
  EXPECT_FALSE(port.isOpen());
}

TEST_F(SimTransportTest, WriteOnAClosedPortThrows) {
  EXPECT_THROW(port.write(hex(simtest::kDiscover)), Error);
}

TEST_F(SimTransportTest, AnswersArriveWithReadyRead) {
  ASSERT_TRUE(port.open(QStringLiteral("SIM"), SerialSettings()));
  QSignalSpy ready(&port, &SerialTransport::readyRead);
  port.write(hex(simtest::kDiscover));
  EXPECT_EQ(port.bytesAvailable(), 0) << "the wire takes its time";
  const QByteArray got = advance(2);
  EXPECT_GE(ready.count(), 1);
  EXPECT_EQ(got.toHex(' '), hex("00 02 06 02 00 00").toHex(' '));
}

TEST_F(SimTransportTest, WholeConnectionThroughTheTransport) {
  ASSERT_TRUE(port.open(QStringLiteral("SIM:breathing"), SerialSettings()));
  FrameSplitter splitter;
  port.write(simtest::connectCommand(port.dongle().beltDeviceId(0)));
  splitter.feed(advance(400));
  port.write(hex(simtest::kSet1));
  splitter.feed(advance(200));
  port.write(hex(simtest::kSet2));
  splitter.feed(advance(200));
  ASSERT_TRUE(port.dongle().streaming());
  splitter.frames.clear();
  splitter.feed(advance(1000));
  int notifications = 0;
  for (const auto& f : splitter.frames) notifications += f.is(true, 4, 5) ? 1 : 0;
  EXPECT_EQ(notifications, 20);
}

TEST_F(SimTransportTest, ResetKeepsThePortOpenAndTheBootEventArrives) {
  ASSERT_TRUE(port.open(QStringLiteral("SIM"), SerialSettings()));
  port.write(hex(simtest::kReset));
  FrameSplitter splitter;
  splitter.feed(advance(1100));
  EXPECT_TRUE(port.isOpen());
  ASSERT_EQ(splitter.frames.size(), 1u);
  EXPECT_TRUE(splitter.frames[0].is(true, 0, 0));
}

TEST_F(SimTransportTest, WhatComesWhileClosedIsLost) {
  ASSERT_TRUE(port.open(QStringLiteral("SIM"), SerialSettings()));
  port.write(hex(simtest::kDiscover));
  port.close();
  clock.advance(1000);
  port.pump();
  ASSERT_TRUE(port.open(QStringLiteral("SIM"), SerialSettings()));
  EXPECT_EQ(port.bytesAvailable(), 0);
  // The dongle kept scanning meanwhile.
  FrameSplitter splitter;
  splitter.feed(advance(500));
  ASSERT_FALSE(splitter.frames.empty());
  EXPECT_TRUE(splitter.frames[0].is(true, 6, 0));
}

TEST_F(SimTransportTest, UnplugClosesThePortOnceAndReplugLetsItOpenAgain) {
  ASSERT_TRUE(port.open(QStringLiteral("SIM"), SerialSettings()));
  QSignalSpy lost(&port, &SerialTransport::connectionLost);
  // The dongle was created at 5000 ms and is pulled out a minute later.
  clock.advance(60000 - 1);
  port.pump();
  EXPECT_EQ(lost.count(), 0);
  advance(2);
  ASSERT_EQ(lost.count(), 1);
  EXPECT_TRUE(lost.at(0).at(0).toString().contains(QLatin1String("unplugged")));
  EXPECT_FALSE(port.isOpen());
  EXPECT_THROW(port.write(hex(simtest::kDiscover)), Error);
  advance(100);
  EXPECT_EQ(lost.count(), 1);
  EXPECT_FALSE(port.open(QStringLiteral("SIM"), SerialSettings()));
  clock.advance(2000);
  EXPECT_TRUE(port.open(QStringLiteral("SIM"), SerialSettings()));
}

TEST(SimTransportTimer, PumpsByItselfOnTheEventLoop) {
  const SteadyTickSource clock;
  SimSerialTransport port(clock);
  ASSERT_TRUE(port.open(QStringLiteral("SIM"), SerialSettings()));
  QSignalSpy ready(&port, &SerialTransport::readyRead);
  port.write(hex("00 00 00 01"));
  ASSERT_TRUE(ready.wait(1000));
  QByteArray got(16, '\0');
  got.resize(int(port.read(got.data(), got.size())));
  EXPECT_EQ(got.toHex(' '), hex("00 00 00 01").toHex(' '));
}

}  // namespace
}  // namespace kelvaro
