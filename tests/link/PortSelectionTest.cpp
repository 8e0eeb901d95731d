#include "link/PortSelection.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <optional>

#include <gtest/gtest.h>

#include "base/ConsoleLog.h"
#include "base/Errors.h"
#include "base/SettingsFile.h"
#include "link/CommandSender.h"
#include "link/DongleKeeper.h"
#include "link/DongleNotFoundExit.h"
#include "link/DongleWatchdog.h"
#include "link/LinkState.h"
#include "platform/PortCatalog.h"
#include "support/FakeSerialTransport.h"

namespace kelvaro {
namespace {

const QByteArray kDiscover = QByteArray::fromHex("0001060201");

SerialPortRecord friendlyPort(const char* name) {
  SerialPortRecord port;
  port.friendlyName = QString::fromLatin1(name);
  return port;
}

SerialPortRecord dongleOnUsb(const char* path) {
  SerialPortRecord port;
  port.portName = QString::fromLatin1(path);
  port.friendlyName = QStringLiteral("Low Energy Dongle (ttyACM0)");
  port.vendorId = 0x2458;
  port.productId = 0x0001;
  port.hasVidPid = true;
  return port;
}

// One start of the program: its files in a temporary home, a scripted port, and a
// dongle-not-found exit that records instead of ending the process.
class PortSelectionTest : public ::testing::Test {
 protected:
  PortSelectionTest()
      : settings_(dir_.filePath(QStringLiteral("Darev.ini"))),
        commands_(port_, console_, link_),
        notFound_(
            settings_, console_,
            [this] {
              events_.append(QStringLiteral("dialog"));
              autoComPortWhenDialogShown_ = readAutoComPort();
            },
            [this](int code) {
              events_.append(QStringLiteral("exit %1").arg(code));
              autoComPortAtExit_ = readAutoComPort();
            }) {}

  QString comPortIni() const { return dir_.filePath(QStringLiteral("ComPort.ini")); }

  void writeComPortIni(const QByteArray& text) {
    QFile file(comPortIni());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
  }

  std::optional<bool> readAutoComPort() const {
    const int value =
        settings_.readInteger(QStringLiteral("GLOBAL"), QStringLiteral("AutoComPort"), -1);
    if (value < 0) return std::nullopt;
    return value != 0;
  }

  PortSelection makeSelection(const PortCatalog* catalog, QString forcedPort = QString()) {
    return PortSelection(catalog, port_, console_, commands_, notFound_, comPortIni(),
                         std::move(forcedPort));
  }

  QTemporaryDir dir_;
  SettingsFile settings_;
  ConsoleLog console_;
  LinkState link_;
  testing::FakeSerialTransport port_;
  CommandSender commands_;
  DongleNotFoundExit notFound_;
  QStringList events_;
  std::optional<bool> autoComPortWhenDialogShown_;
  std::optional<bool> autoComPortAtExit_;
};

TEST_F(PortSelectionTest, AutomaticModeOpensTheDongleFoundAndSendsTheDiscover) {
  const struct {
    const char* label;
    SerialPortRecord dongle;
    const char* opened;
  } cases[] = {
      {"friendly name", friendlyPort("Bluegiga Bluetooth Low Energy (COM7)"), "COM7"},
      {"USB id", dongleOnUsb("/dev/ttyACM0"), "/dev/ttyACM0"},
  };
  for (const auto& c : cases) {
    FixedPortCatalog catalog({friendlyPort("USB Serial Device (COM3)"), c.dongle});
    // The file's port is overridden by the discovery, its line settings are not.
    writeComPortIni("[ComPort1]\nPort=COM9\nBaudRate=57600\n");
    link_.discoverAnswered = LinkAnswer::Good;
    port_.writes.clear();
    PortSelection selection = makeSelection(&catalog);

    EXPECT_TRUE(selection.selectAtStart(true)) << c.label;
    EXPECT_EQ(port_.portName(), QString::fromLatin1(c.opened)) << c.label;
    EXPECT_EQ(port_.lastSettings.baudRate, 57600) << c.label;
    EXPECT_EQ(port_.writes, QList<QByteArray>{kDiscover}) << c.label;
    EXPECT_EQ(link_.discoverAnswered, LinkAnswer::None) << c.label;
    EXPECT_TRUE(events_.isEmpty()) << c.label;
    port_.close();
  }
  EXPECT_TRUE(console_.lines().contains(QStringLiteral("FIND !!!!!!!!! COM 7")));
  EXPECT_TRUE(console_.lines().contains(QStringLiteral("FIND !!!!!!!!! /dev/ttyACM0")));
}

TEST_F(PortSelectionTest, ManualModeWithoutFileOpensCom3WithDesignSettings) {
  FixedPortCatalog catalog({friendlyPort("Bluegiga Bluetooth Low Energy (COM7)")});
  PortSelection selection = makeSelection(&catalog);
  EXPECT_TRUE(selection.selectAtStart(false));
  EXPECT_EQ(port_.portName(), QStringLiteral("COM3"));
  const SerialSettings design;
  EXPECT_EQ(port_.lastSettings.baudRate, design.baudRate);
  EXPECT_EQ(port_.lastSettings.dataBits, design.dataBits);
  EXPECT_EQ(port_.lastSettings.parity, design.parity);
  EXPECT_EQ(port_.lastSettings.stopBits, design.stopBits);
  EXPECT_FALSE(port_.lastSettings.rtsCtsHandshake || port_.lastSettings.xonXoff);
  // No discovery in manual mode: the console has the discover command's trace only.
  EXPECT_EQ(console_.lines(), QStringList{QStringLiteral("Write1")});
  EXPECT_TRUE(selection.foundPort().isEmpty());
}

TEST_F(PortSelectionTest, MissingDongleEndsTheRunAfterTheDialogWithAutoComPortOff) {
  const FixedPortCatalog noDongle({friendlyPort("USB Serial Device (COM3)")});
  const struct {
    const char* label;
    const PortCatalog* catalog;
    bool automatic;
    const char* comPortIni;
    bool failOpen;
    int exitCode;
    int opens;
  } cases[] = {
      {"nothing found", &noDongle, true, "", false, 4, 0},
      {"no port list at all", nullptr, true, "", false, 4, 0},
      {"file names COM255", &noDongle, false, "[ComPort1]\nPort=COM255\n", false, 4, 0},
      {"port does not open", &noDongle, false, "[ComPort1]\nPort=/dev/ttyACM7\n", true, 2, 1},
      {"found port does not open", nullptr, true, "", true, 4, 0},
  };
  for (const auto& c : cases) {
    QFile::remove(settings_.path());
    settings_.writeBool(QStringLiteral("GLOBAL"), QStringLiteral("AutoComPort"), true);
    writeComPortIni(c.comPortIni);
    events_.clear();
    console_.clear();
    port_.openCount = 0;
    port_.failOpen = c.failOpen;
    PortSelection selection = makeSelection(c.catalog);

    EXPECT_FALSE(selection.selectAtStart(c.automatic)) << c.label;
    EXPECT_EQ(events_,
              QStringList({QStringLiteral("dialog"), QStringLiteral("exit %1").arg(c.exitCode)}))
        << c.label;
    EXPECT_EQ(autoComPortWhenDialogShown_, true) << c.label;
    EXPECT_EQ(autoComPortAtExit_, false) << c.label;
    EXPECT_EQ(port_.openCount, c.opens) << c.label;
    EXPECT_TRUE(port_.writes.isEmpty()) << c.label;
    if (!c.automatic) {
      EXPECT_TRUE(console_.lines().isEmpty()) << c.label;
    }
  }
}

TEST_F(PortSelectionTest, NoDongleInAutomaticModeStillListsTheOtherPorts) {
  FixedPortCatalog catalog({friendlyPort("USB Serial Device (COM3)")});
  EXPECT_FALSE(makeSelection(&catalog).selectAtStart(true));
  EXPECT_EQ(console_.lines(),
            QStringList({QStringLiteral("Friendly Name - USB Serial Device (COM3)"),
                         QStringLiteral("----------------------------")}));
}

TEST_F(PortSelectionTest, ForcedPortWinsAndIsNeverStored) {
  FixedPortCatalog catalog;
  PortSelection selection = makeSelection(&catalog, QStringLiteral("SIM"));
  EXPECT_TRUE(selection.selectAtStart(true));
  EXPECT_EQ(port_.portName(), QStringLiteral("SIM"));
  EXPECT_EQ(port_.writes, QList<QByteArray>{kDiscover});
  selection.storeConfig(selection.config());
  EXPECT_FALSE(QFile::exists(comPortIni()));
}

TEST_F(PortSelectionTest, FailingDiscoverWriteLeavesTheWatchdogToEndTheRun) {
  FixedPortCatalog catalog;
  port_.failWrites = true;
  link_.discoverAnswered = LinkAnswer::Good;
  PortSelection selection = makeSelection(&catalog);
  EXPECT_THROW(selection.selectAtStart(false), Error);
  EXPECT_EQ(link_.discoverAnswered, LinkAnswer::None);
}

TEST_F(PortSelectionTest, AppliedSettingsReopenAnOpenPortOnly) {
  FixedPortCatalog catalog;
  PortSelection selection = makeSelection(&catalog);
  ASSERT_TRUE(selection.selectAtStart(false));
  ASSERT_EQ(port_.openCount, 1);

  selection.applyConfig(selection.config());
  EXPECT_EQ(port_.openCount, 1) << "unchanged settings do not reopen";

  ComPortConfig next = selection.config();
  next.port = QStringLiteral("/dev/ttyACM1");
  next.settings.baudRate = 9600;
  selection.applyConfig(next);
  EXPECT_EQ(port_.openCount, 2);
  EXPECT_EQ(port_.portName(), QStringLiteral("/dev/ttyACM1"));
  EXPECT_EQ(port_.lastSettings.baudRate, 9600);

  next.port = QStringLiteral("/dev/ttyACM2");
  port_.failOpen = true;
  EXPECT_THROW(selection.applyConfig(next), Error);
  EXPECT_FALSE(port_.isOpen());
  EXPECT_EQ(selection.config().port, QStringLiteral("/dev/ttyACM2"));

  next.port = QStringLiteral("/dev/ttyACM3");
  selection.applyConfig(next);
  EXPECT_EQ(port_.openCount, 3) << "a closed port only keeps the settings";
  EXPECT_EQ(selection.config().port, QStringLiteral("/dev/ttyACM3"));
}

TEST_F(PortSelectionTest, StoredConfigIsReadAtTheNextStart) {
  FixedPortCatalog catalog;
  ComPortConfig config;
  config.port = QStringLiteral("/dev/ttyACM0");
  config.settings.baudRate = 38400;
  makeSelection(&catalog).storeConfig(config);
  PortSelection next = makeSelection(&catalog);
  ASSERT_TRUE(next.selectAtStart(false));
  EXPECT_EQ(port_.portName(), QStringLiteral("/dev/ttyACM0"));
  EXPECT_EQ(port_.lastSettings.baudRate, 38400);
}

TEST_F(PortSelectionTest, ExitWithUnwritableSettingsStillEnds) {
  SettingsFile unwritable(dir_.filePath(QStringLiteral("missing/Darev.ini")));
  QList<int> codes;
  DongleNotFoundExit exit(
      unwritable, console_, [] {}, [&](int code) { codes.append(code); });
  exit.run(4);
  EXPECT_EQ(codes, QList<int>{4});
  EXPECT_TRUE(console_.last().startsWith(QStringLiteral("Unable to write to ")))
      << console_.last().toStdString();
}

TEST_F(PortSelectionTest, WatchdogEndsTheRunOnlyWithoutAnAnswer) {
  QTimer timer3;
  timer3.start(1000);
  DongleWatchdog watchdog(timer3, link_, notFound_);

  link_.discoverAnswered = LinkAnswer::Good;
  watchdog.tick();
  EXPECT_TRUE(timer3.isActive());
  EXPECT_TRUE(events_.isEmpty());

  link_.discoverAnswered = LinkAnswer::None;
  watchdog.tick();
  EXPECT_FALSE(timer3.isActive());
  EXPECT_EQ(events_, QStringList({QStringLiteral("dialog"), QStringLiteral("exit 3")}));
  EXPECT_EQ(autoComPortAtExit_, false);
}

// With a keeper, a dongle that stops answering after the start-up is brought back: the port is
// closed, opened again once the dongle is there, and a discover's answer ends it.
TEST_F(PortSelectionTest, AfterTheStartUpAKeeperBringsTheDongleBack) {
  QTimer timer3;
  timer3.start(1000);
  DongleWatchdog watchdog(timer3, link_, notFound_);
  QStringList shown;
  int opens = 0;
  bool present = false;
  int backs = 0;
  DongleKeeper keeper(port_, commands_, link_, console_,
                      {[] { return QStringLiteral("/dev/ttyACM0"); },
                       [&](const QString& name) {
                         ++opens;
                         port_.failOpen = !present;
                         return port_.open(name, SerialSettings());
                       },
                       [&](bool gone) { shown << (gone ? "gone" : "back"); }, [&] { ++backs; }});
  watchdog.setKeeper(&keeper);
  ASSERT_TRUE(port_.open(QStringLiteral("/dev/ttyACM0"), SerialSettings()));
  link_.discoverAnswered = LinkAnswer::Good;
  watchdog.tick();
  EXPECT_TRUE(watchdog.startedUp());

  link_.discoverAnswered = LinkAnswer::None;  // a discover went unanswered
  watchdog.tick();
  EXPECT_TRUE(timer3.isActive());
  EXPECT_TRUE(events_.isEmpty()) << "no dialog, no exit";
  EXPECT_TRUE(keeper.gone());
  EXPECT_FALSE(port_.isOpen());
  EXPECT_EQ(console_.last(),
            QStringLiteral("Dongle gone: no answer to the discover — waiting for it to come back"));

  for (int i = 0; i < 3; ++i) watchdog.tick();
  EXPECT_EQ(opens, 3);
  EXPECT_FALSE(port_.isOpen());

  present = true;
  port_.writes.clear();
  watchdog.tick();
  EXPECT_TRUE(port_.isOpen());
  EXPECT_EQ(port_.writes, QList<QByteArray>{kDiscover});
  link_.discoverAnswered = LinkAnswer::Good;
  watchdog.tick();
  EXPECT_FALSE(keeper.gone());
  EXPECT_EQ(console_.last(), QStringLiteral("Dongle back on /dev/ttyACM0"));
  EXPECT_EQ(shown, (QStringList{"gone", "back"}));
  EXPECT_EQ(backs, 1);
  EXPECT_TRUE(events_.isEmpty());
}

}  // namespace
}  // namespace kelvaro
