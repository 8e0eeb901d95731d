#include <QCoreApplication>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include <gtest/gtest.h>

#include "base/ConsoleLog.h"
#include "link/CommandSender.h"
#include "link/ConnectionProcedure.h"
#include "link/Dispatcher.h"
#include "link/LinkState.h"
#include "link/RxFramer.h"
#include "link/ScanList.h"
#include "link/SerialReceiver.h"
#include "link/Stopwatch.h"
#include "measure/MeasurementDecoder.h"
#include "sim/SimPump.h"
#include "sim/SimSerialTransport.h"

namespace kelvaro {
namespace {

using simtest::SimPump;

class SimWindow final : public ConnectionView, public ScanView {
 public:
  void setButtonEnabled(Button, bool) override {}
  QString selectedDeviceId() const override {
    for (const auto& [row, id] : rows) {
      if (id == wanted) return id;
    }
    return rows.empty() ? QString() : rows.begin()->second;
  }
  QString lastBeltIdText() const override { return editLastID; }
  void setLastBeltIdText(const QString& text) override { editLastID = text; }
  QString macText() const override { return editMac; }
  void setMacText(const QString& text) override { editMac = text; }
  void showLiveGraphPage() override { page = QStringLiteral("Live Graph"); }
  void showConnectionPage() override { page = QStringLiteral("Connection"); }
  void showWarning(const QString& text) override { warnings.append(text); }
  void setBusy(const QString&) override {}
  void resetGraphSlot() override {}
  void clearLiveGraph() override {}
  // As the window's core does: the belt is gone, the next connection counts afresh.
  void connectionEnded() override {
    if (measurement) measurement->notificationCount = 0;
  }
  MeasurementState* measurement = nullptr;

  void setDeviceIdText(const QString& deviceId) override { editMac = deviceId; }
  void setRowCount(int count) override {
    rowCount = count;
    rows.erase(rows.lower_bound(count), rows.end());
  }
  void setRow(int row, const QString& deviceId, const QString&) override { rows[row] = deviceId; }
  void setConnectButtonsEnabled(bool) override {}

  QString wanted;  // the row the user clicks, by its Device ID
  std::map<int, QString> rows;
  int rowCount = 1;
  QString editLastID, editMac, page = QStringLiteral("Connection");
  QStringList warnings;
};

// The decoder of the belt's notifications, counting the automatic zeroings.
class Decoder final : public MeasurementSink {
 public:
  Decoder(MeasurementState& state, ConsoleLog& console) : state_(state), console_(console) {}
  void handleMeasurementNotification(const BgapiPacket& packet) override {
    const NotificationOutcome outcome = kelvaro::handleMeasurementNotification(
        packet.payload.data(), packet.length, state_, calibration_, {}, console_);
    if (outcome.decoded) ++decoded;
    if (outcome.zeroed) ++zeroings;
  }
  int decoded = 0;
  int zeroings = 0;

 private:
  MeasurementState& state_;
  Calibration calibration_;
  ConsoleLog& console_;
};

// The monitor's link on the simulated dongle, driven on the simulator's clock.
class SimRig {
 public:
  explicit SimRig(const SimOptions& options) : port{clock, options} {
    port.setAutoPump(false);
    window.measurement = &measurement;
    QObject::connect(&port, &SerialTransport::readyRead, [this] { readSerialBytes(port, framer); });
    EXPECT_TRUE(port.open(QStringLiteral("SIM"), SerialSettings{}));
  }

  static SimOptions options() {
    SimOptions o;
    o.seed = 11;
    return o;
  }
  // Scans until the belt has a row, and clicks that row.
  void scanForTheBelt() {
    commands.sendDiscover();
    window.wanted = port.dongle().beltDeviceId(0);
    for (int i = 0; i < 50 && window.selectedDeviceId() != window.wanted; ++i) waiter.waitMs(100);
    ASSERT_EQ(window.selectedDeviceId(), window.wanted);
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
  SimWindow window;
  MeasurementState measurement;
  Decoder decoder{measurement, console};
  Dispatcher dispatcher{link, scanList, console, window, decoder};
  RxFramer framer{clock, console, dispatcher};
  CommandSender commands{port, console, link};
  ConnectionProcedure procedure{
      commands,
      link,
      scanList,
      window,
      window,
      port,
      [this] { return port.open(QStringLiteral("SIM"), SerialSettings{}); },
      waiter,
      stopwatch,
      console};
};

class ConnectionProcedureSimTest : public ::testing::Test, public SimRig {
 protected:
  ConnectionProcedureSimTest() : SimRig(options()) {}
};

TEST_F(ConnectionProcedureSimTest, ConnectDisconnectAndConnectAgainZeroesTheForcesEachTime) {
  scanForTheBelt();

  procedure.connectSelectedClicked();

  EXPECT_TRUE(window.warnings.isEmpty()) << console.lines().join('\n').toStdString();
  EXPECT_EQ(window.page, QStringLiteral("Live Graph"));
  EXPECT_EQ(window.editLastID, window.wanted);
  EXPECT_EQ(count(QStringLiteral("**** Set2 OK")), 1);
  EXPECT_EQ(port.dongle().link(), SimDongle::Link::Connected);
  waiter.waitMs(2000);
  EXPECT_GT(decoder.decoded, 20);
  EXPECT_EQ(decoder.zeroings, 1);

  procedure.disconnectClicked();
  EXPECT_EQ(measurement.notificationCount, 0u);
  EXPECT_EQ(window.page, QStringLiteral("Connection"));
  waiter.waitMs(500);
  EXPECT_EQ(port.dongle().link(), SimDongle::Link::Idle);
  const int before = decoder.decoded;

  scanForTheBelt();
  procedure.connectLastClicked();
  EXPECT_EQ(window.page, QStringLiteral("Live Graph"));
  waiter.waitMs(2000);
  EXPECT_GT(decoder.decoded, before + 20);
  // The count started again at 0, so the tenth notification of the new connection zeroed again.
  EXPECT_EQ(decoder.zeroings, 2);
  EXPECT_TRUE(window.warnings.isEmpty());
}

TEST_F(ConnectionProcedureSimTest, ConnectionResetRestartsTheDongleAndTheScan) {
  scanForTheBelt();
  procedure.connectSelectedClicked();
  ASSERT_EQ(port.dongle().link(), SimDongle::Link::Connected);
  const std::uint32_t begin = clock.tick();

  procedure.connectionResetClicked();

  EXPECT_GE(clock.tick() - begin, 6000u);
  EXPECT_LT(clock.tick() - begin, 6100u);
  EXPECT_TRUE(port.isOpen());
  EXPECT_EQ(port.dongle().link(), SimDongle::Link::Idle);
  EXPECT_EQ(count(QStringLiteral("*** Hotovo ***")), 1);
  // The boot event of the restarted dongle arrived while the port was open.
  EXPECT_EQ(console.lines().filter(QStringLiteral("HD=80 CID=0 CMD=0 L=12")).size(), 1);
  EXPECT_EQ(console.last(), QStringLiteral("Write1"));
  // The new scan finds the belt again, and it connects.
  scanForTheBelt();
  procedure.connectSelectedClicked();
  EXPECT_EQ(count(QStringLiteral("**** Set2 OK")), 2);
  EXPECT_TRUE(window.warnings.isEmpty());
}

TEST_F(ConnectionProcedureSimTest, AnAddressNoBeltAnswersTimesOutInPhaseOne) {
  window.editLastID = QStringLiteral("0000DEADBEEF");

  procedure.connectLastClicked();

  EXPECT_EQ(count(QStringLiteral("**** Connect send OK")), 1);
  EXPECT_EQ(count(QStringLiteral("Connect Timeout")), 1);
  EXPECT_EQ(window.warnings, QStringList{ConnectionProcedure::kConnectFailedText});
  EXPECT_EQ(window.page, QStringLiteral("Connection"));
}

struct DisconnectCase {
  const char* what;
  std::function<void(SimOptions&)> faults;
  // Disconnect is clicked this long after this console line first appears; with no line, once
  // the connect has returned.
  QString after;
  std::uint32_t delayMs;
  QString notReached;    // the console line of the phase the Disconnect stopped
  QStringList commands;  // what the dongle did with each command, in order, from the connect on
};

// A connection made after the user's Disconnect would be left open with nobody watching it: the
// dongle refuses a disconnect while it is still connecting, so that is ended first.
TEST(ConnectionProcedureSimDisconnect, LeavesNoConnectionInTheDongle) {
  const QString connectOk = QStringLiteral("6/3 connect direct -> 0000");
  const QString endOk = QStringLiteral("6/4 end procedure -> 0000");
  const QString disconnectRefused = QStringLiteral("3/0 disconnect -> 0186");
  const QString disconnectOk = QStringLiteral("3/0 disconnect -> 0000");
  const QString writeRefused = QStringLiteral("4/5 attribute write -> 0186");
  const QString writeOk = QStringLiteral("4/5 attribute write -> 0000");
  const QString discoverOk = QStringLiteral("6/2 discover -> 0000");
  const std::vector<DisconnectCase> cases = {
      {"phase 1, the dongle answering late",
       [](SimOptions& o) { o.faults.delayMs = 500; },
       QStringLiteral("Write4"),
       100,
       QStringLiteral("**** Connect send OK"),
       {connectOk, endOk, disconnectRefused, discoverOk}},
      {"phase 2, the connection made late",
       [](SimOptions& o) { o.faults.lateStatusMs = 1500; },
       QStringLiteral("**** Connect send OK"),
       300,
       QStringLiteral("**** Connect faze2 OK"),
       {connectOk, writeRefused, endOk, disconnectRefused, discoverOk}},
      {"phase 3, the connection made",
       [](SimOptions&) {},
       QStringLiteral("**** Connect faze2 OK"),
       0,
       QStringLiteral("**** Set1 OK"),
       {connectOk, writeRefused, writeOk, disconnectOk, discoverOk}},
      {"after the connect",
       [](SimOptions&) {},
       QString(),
       0,
       QString(),
       {connectOk, writeRefused, writeOk, writeOk, disconnectOk, discoverOk}},
  };
  const QRegularExpression command(QStringLiteral("^\\d+/\\d+ "));
  for (const DisconnectCase& c : cases) {
    SCOPED_TRACE(c.what);
    SimOptions options = SimRig::options();
    c.faults(options);
    SimRig rig(options);
    rig.scanForTheBelt();
    QStringList commands;
    rig.port.dongle().setTrace([&](const QString& line) {
      if (command.match(line).hasMatch()) commands.append(line);
    });
    std::optional<std::uint32_t> seenAt;
    bool clicked = false;
    rig.pump.onWake = [&] {
      if (clicked || c.after.isEmpty() || !rig.console.lines().contains(c.after)) return;
      if (!seenAt) seenAt = rig.clock.tick();
      if (rig.clock.tick() - *seenAt < c.delayMs) return;
      clicked = true;
      rig.procedure.disconnectClicked();
    };

    rig.procedure.connectSelectedClicked();
    if (c.after.isEmpty()) {
      ASSERT_EQ(rig.port.dongle().link(), SimDongle::Link::Connected);
      rig.procedure.disconnectClicked();
    } else {
      ASSERT_TRUE(clicked);
      EXPECT_EQ(rig.count(c.notReached), 0);
    }
    // Long enough for anything the dongle still had under way.
    rig.waiter.waitMs(3000);

    EXPECT_EQ(commands.join('\n').toStdString(), c.commands.join('\n').toStdString());
    EXPECT_EQ(rig.port.dongle().link(), SimDongle::Link::Idle);
    EXPECT_TRUE(rig.port.dongle().scanning());
    EXPECT_EQ(rig.window.page, QStringLiteral("Connection"));
    EXPECT_TRUE(rig.window.warnings.isEmpty());
    EXPECT_FALSE(rig.procedure.busy());
  }
}

}  // namespace
}  // namespace kelvaro
