#include <QCoreApplication>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "base/ConsoleLog.h"
#include "link/CommandSender.h"
#include "link/ConnectionProcedure.h"
#include "link/Dispatcher.h"
#include "link/FurtherBelts.h"
#include "link/LinkState.h"
#include "link/RxFramer.h"
#include "link/ScanList.h"
#include "link/SerialReceiver.h"
#include "link/Stopwatch.h"
#include "sim/SimPump.h"
#include "sim/SimSerialTransport.h"

// Further belts on the simulated dongle's other connections, beside the first belt that the
// connection procedure connects as it always has.
namespace kelvaro {
namespace {

using simtest::SimPump;

class QuietView final : public ConnectionView {
 public:
  void setButtonEnabled(Button, bool) override {}
  QString selectedDeviceId() const override { return {}; }
  QString lastBeltIdText() const override { return {}; }
  void setLastBeltIdText(const QString&) override {}
  QString macText() const override { return {}; }
  void setMacText(const QString&) override {}
  void showLiveGraphPage() override {}
  void showConnectionPage() override {}
  void showWarning(const QString& text) override { warnings.append(text); }
  void setBusy(const QString&) override {}
  void resetGraphSlot() override {}
  void clearLiveGraph() override {}
  QStringList warnings;
};

// Counts the notifications of each connection (the handle is their first payload byte).
class PerHandle final : public MeasurementSink {
 public:
  void handleMeasurementNotification(const BgapiPacket& packet) override {
    if (packet.length >= 1 && packet.payload[0] < counts.size()) ++counts[packet.payload[0]];
  }
  std::array<int, 8> counts{};
};

bool untouched(const LinkState& s) {
  return s.connectResult == LinkAnswer::None && s.connectionStatus == LinkAnswer::None &&
         s.set1Result == LinkAnswer::None && s.set2Result == LinkAnswer::None &&
         s.discoverAnswered == LinkAnswer::None;
}

SimOptions world(int maxConnections, int belts) {
  SimOptions o;
  o.seed = 11;
  o.belts = belts;
  o.otherAdvertisers = 2;
  o.maxConnections = maxConnections;
  return o;
}

class Rig {
 public:
  Rig(const SimOptions& options, bool withFurtherBelts) : port{clock, options} {
    port.setAutoPump(false);
    QObject::connect(&port, &SerialTransport::readyRead, [this] { readSerialBytes(port, framer); });
    EXPECT_TRUE(port.open(QStringLiteral("SIM"), SerialSettings{}));
    dispatcher.setDisconnectedHandler(
        [this](std::uint16_t reason) { firstDisconnected.push_back(reason); });
    if (withFurtherBelts) {
      dispatcher.setFurtherBelts(&belts);
      belts.setFirstBusy([this] { return procedure.busy(); });
      pump.onWake = [this] { belts.tick(); };
    }
    belts.onStreaming = [this](const QString& id, int h) { streamed.emplace_back(id, h); };
    belts.onRefused = [this](const QString& id, const QString& why) {
      refused.emplace_back(id, why);
    };
    belts.onDisconnected = [this](const QString& id, int h, std::uint16_t reason) {
      lost.emplace_back(id, h, reason);
    };
  }

  QString id(int belt) { return port.dongle().beltDeviceId(belt); }
  SimDongle& dongle() { return port.dongle(); }

  void connectFirst() {
    ASSERT_TRUE(procedure.connectToBelt(id(0))) << console.lines().join('\n').toStdString();
    belts.setFirstBeltConnected(true, id(0));
  }
  // Waits (at most 5 s) until the belt streams or is refused; returns its handle, or -1.
  int addAndWait(int belt) {
    const std::size_t streams = streamed.size(), refusals = refused.size();
    if (!belts.add(id(belt))) return -1;
    for (int i = 0; i < 500 && streamed.size() == streams && refused.size() == refusals; ++i) {
      waiter.waitMs(10);
    }
    return streamed.size() > streams ? streamed.back().second : -1;
  }
  // The notifications of each handle during the next ms.
  std::array<int, 8> countDuring(std::uint16_t ms) {
    const std::array<int, 8> before = sink.counts;
    waiter.waitMs(ms);
    std::array<int, 8> during{};
    for (std::size_t h = 0; h < during.size(); ++h) during[h] = sink.counts[h] - before[h];
    return during;
  }
  int count(const QString& line) const { return console.lines().count(line); }

  ManualTickSource clock{20000};
  Stopwatch stopwatch{clock};
  SimSerialTransport port;
  SimPump pump{clock, port};
  Waiter waiter{stopwatch, pump};
  ConsoleLog console;
  LinkState link;
  ScanList scanList;
  NullScanView scanView;
  QuietView view;
  PerHandle sink;
  Dispatcher dispatcher{link, scanList, console, scanView, sink};
  RxFramer framer{clock, console, dispatcher};
  CommandSender commands{port, console, link};
  ConnectionProcedure procedure{
      commands,
      link,
      scanList,
      scanView,
      view,
      port,
      [this] { return port.open(QStringLiteral("SIM"), SerialSettings{}); },
      waiter,
      stopwatch,
      console};
  FurtherBelts belts{commands, clock, console};
  std::vector<std::uint16_t> firstDisconnected;
  std::vector<std::pair<QString, int>> streamed;
  std::vector<std::pair<QString, QString>> refused;
  std::vector<std::tuple<QString, int, std::uint16_t>> lost;
};

TEST(FurtherBeltsSim, TheFirstBeltConnectsExactlyAsWithOneBelt) {
  Rig alone(world(3, 3), false);
  Rig beside(world(3, 3), true);
  alone.connectFirst();
  beside.connectFirst();
  EXPECT_EQ(beside.console.lines(), alone.console.lines());
  EXPECT_EQ(beside.clock.tick(), alone.clock.tick());
  EXPECT_EQ(beside.count(QStringLiteral("**** Set2 OK")), 1);
  EXPECT_EQ(beside.countDuring(1000), alone.countDuring(1000));
}

struct CapacityCase {
  const char* name;
  int maxConnections;
  int belts;
  std::vector<int> handles;  // the further belts', in the order added
  QString refusal;           // of the next one
};

void PrintTo(const CapacityCase& c, std::ostream* os) { *os << c.name; }

class FurtherBeltsCapacity : public ::testing::TestWithParam<CapacityCase> {};

TEST_P(FurtherBeltsCapacity, BeltsStreamOnTheirHandlesUntilTheLimit) {
  const CapacityCase& c = GetParam();
  Rig rig(world(c.maxConnections, c.belts), true);
  rig.connectFirst();
  rig.link = LinkState{};
  int belt = 1;
  for (const int handle : c.handles) {
    EXPECT_EQ(rig.addAndWait(belt), handle) << belt;
    EXPECT_EQ(rig.count(QStringLiteral("**** Set2 OK H=0%1").arg(handle)), 1);
    ++belt;
  }
  EXPECT_FALSE(rig.belts.add(rig.id(belt)));
  ASSERT_FALSE(rig.refused.empty());
  EXPECT_EQ(rig.refused.back(), std::make_pair(rig.id(belt), c.refusal));
  EXPECT_EQ(rig.refused.size(), 1u);
  EXPECT_EQ(rig.belts.capacity(), c.maxConnections);

  const std::array<int, 8> during = rig.countDuring(2000);
  for (int h = 0; h <= int(c.handles.size()); ++h) {
    EXPECT_NEAR(during[std::size_t(h)], 40, 2) << "handle " << h;
  }
  EXPECT_EQ(during[c.handles.size() + 1], 0);
  EXPECT_EQ(rig.count(QStringLiteral("**** Set2 OK")), 1);
  EXPECT_TRUE(untouched(rig.link)) << "the further belts' answers are not the first belt's";
  EXPECT_TRUE(rig.firstDisconnected.empty());
  EXPECT_TRUE(rig.view.warnings.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    FurtherBeltsSim, FurtherBeltsCapacity,
    ::testing::Values(
        CapacityCase{
            "ThreeConnections",
            3,
            4,
            {1, 2},
            QStringLiteral("The dongle holds 3 connections, all in use: disconnect a belt first")},
        CapacityCase{"EightConnections",
                     8,
                     5,
                     {1, 2, 3},
                     QStringLiteral("Up to 4 belts can be connected at once")}),
    [](const ::testing::TestParamInfo<CapacityCase>& info) {
      return std::string(info.param.name);
    });

// Told that the dongle was reset when it was not, the owner believes a connection free that the
// dongle holds: the dongle's own refusal says so, and the belts connected stream on.
TEST(FurtherBeltsSim, TheDonglesOwnRefusalWhenToldWrong) {
  Rig rig(world(2, 3), true);
  rig.connectFirst();
  ASSERT_EQ(rig.addAndWait(1), 1);
  rig.belts.forget();
  EXPECT_EQ(rig.addAndWait(2), -1);
  ASSERT_EQ(rig.refused.size(), 1u);
  EXPECT_EQ(rig.refused[0],
            std::make_pair(rig.id(2), QStringLiteral("The dongle refused another connection "
                                                     "(connection limit exceeded)")));
  EXPECT_EQ(rig.count(QStringLiteral("63 RepConnDir=0902  00")), 1);
  const std::array<int, 8> during = rig.countDuring(1000);
  EXPECT_NEAR(during[0], 20, 2);
  EXPECT_NEAR(during[1], 20, 2);
  EXPECT_EQ(rig.dongle().connectionBelt(2), -1);
}

TEST(FurtherBeltsSim, DisconnectingOneLeavesTheOthersStreaming) {
  Rig rig(world(3, 3), true);
  rig.connectFirst();
  ASSERT_EQ(rig.addAndWait(1), 1);
  ASSERT_EQ(rig.addAndWait(2), 2);
  rig.belts.disconnect(1);
  rig.countDuring(200);
  EXPECT_EQ(rig.dongle().link(1), SimDongle::Link::Idle);
  EXPECT_FALSE(rig.belts.isFurtherHandle(1)) << "its disconnected event has come";
  const std::array<int, 8> during = rig.countDuring(2000);
  EXPECT_EQ(during[1], 0);
  EXPECT_NEAR(during[0], 40, 2);
  EXPECT_NEAR(during[2], 40, 2);
  EXPECT_TRUE(rig.firstDisconnected.empty()) << "not the first belt's";
  EXPECT_TRUE(rig.lost.empty()) << "a disconnect asked for is no lost link";
  EXPECT_EQ(rig.belts.streaming(), (std::vector<std::pair<QString, int>>{{rig.id(2), 2}}));
  EXPECT_EQ(rig.dongle().link(0), SimDongle::Link::Connected);
}

TEST(FurtherBeltsSim, ALostLinkIsReportedAndAReconnectBringsTheBeltBackOnAFreeHandle) {
  Rig rig(world(3, 3), true);
  rig.connectFirst();
  ASSERT_EQ(rig.addAndWait(1), 1);
  ASSERT_EQ(rig.addAndWait(2), 2);
  rig.belts.disconnect(1);
  rig.countDuring(200);

  rig.dongle().loseLink(2);
  for (int i = 0; i < 300 && rig.lost.empty(); ++i) rig.waiter.waitMs(10);
  ASSERT_EQ(rig.lost.size(), 1u);
  EXPECT_EQ(rig.lost[0], std::make_tuple(rig.id(2), 2, std::uint16_t{0x0208}));
  EXPECT_TRUE(rig.firstDisconnected.empty());
  EXPECT_TRUE(rig.belts.streaming().empty());

  const std::uint32_t begin = rig.clock.tick();
  EXPECT_TRUE(rig.belts.reconnect(rig.id(2), rig.waiter)) << rig.belts.lastFailure().toStdString();
  EXPECT_LT(rig.clock.tick() - begin, 1500u);
  EXPECT_EQ(rig.belts.handleOf(rig.id(2)), 1) << "the lowest free connection";
  EXPECT_EQ(rig.streamed.back(), std::make_pair(rig.id(2), 1));
  const std::array<int, 8> during = rig.countDuring(1000);
  EXPECT_NEAR(during[0], 20, 2);
  EXPECT_NEAR(during[1], 20, 2);
  EXPECT_EQ(during[2], 0);
  EXPECT_TRUE(rig.refused.empty()) << "a reconnect's outcome is its return value";

  // A reconnect of a streaming belt is refused at once.
  EXPECT_FALSE(rig.belts.reconnect(rig.id(2), rig.waiter));
  EXPECT_EQ(rig.belts.lastFailure(), QStringLiteral("Belt %1 is already connected").arg(rig.id(2)));
}

}  // namespace
}  // namespace kelvaro
