// The dongle link through the main window: port selection at start with its exit codes, the
// watchdog, the dispatch of the dongle's packets into the scan list, the decoding of the belt's
// notifications into the window's read-outs, and clicks during a connect.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTest>
#include <optional>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "DialogTestSupport.h"
#include "MainWindowTestSupport.h"
#include "app/dialogs/DongleNotFoundDialog.h"
#include "base/Errors.h"
#include "base/SettingsFile.h"
#include "link/ConnectionProcedure.h"
#include "widgets/NumberEdit.h"

namespace kelvaro {
namespace {

using testing::bytes;
using testing::find;
using testing::kDiscoverAnswer;
using testing::kDiscoverCommand;
using testing::notification;
using testing::scanResponse;
using testing::WindowHarness;

std::string joined(const QStringList& lines) {
  return lines.join(QStringLiteral("\n")).toStdString();
}

const QStringList kOnlyAutoComPortOff = {QStringLiteral("[GLOBAL]"),
                                         QStringLiteral("AutoComPort=0")};

// ---------------------------------------------------------------------------------------------
// Port selection at start.

struct PortCase {
  const char* name;
  const char* darev;       // nullptr: no Darev.ini
  const char* comPortIni;  // nullptr: no ComPort.ini
  QList<SerialPortRecord> ports;
  bool failOpen;
  int exitCode;            // 0: the start-up succeeds
  const char* openedPort;  // the port opened when it succeeds
};

void PrintTo(const PortCase& c, std::ostream* os) { *os << c.name; }

class MainWindowPortSelectionTest : public ::testing::TestWithParam<PortCase> {};

TEST_P(MainWindowPortSelectionTest, EndsTheRunOrOpensThePortAndDiscovers) {
  const PortCase& c = GetParam();
  WindowHarness h;
  if (c.darev) h.writeDarev(QByteArray(c.darev));
  if (c.comPortIni) h.writeFile(h.comPortPath(), QByteArray(c.comPortIni));
  h.catalog.setPorts(c.ports);
  h.port.failOpen = c.failOpen;

  h.create();
  // The watchdog runs from the moment the window exists.
  EXPECT_TRUE(h.window->dongleWatchdogTimer.isActive());
  EXPECT_EQ(h.window->dongleWatchdogTimer.interval(), 1000);
  const bool started = h.window->startUp();

  if (c.exitCode != 0) {
    EXPECT_FALSE(started);
    EXPECT_EQ(h.dialogs, 1);
    EXPECT_EQ(h.exitCodes, QList<int>{c.exitCode});
    EXPECT_TRUE(h.port.writes.isEmpty());
    EXPECT_FALSE(h.window->dongleWatchdogTimer.isActive());
    EXPECT_EQ(h.port.openCount, c.exitCode == 2 ? 1 : 0);
    // Only AutoComPort is written, and closing the window after such a stop writes nothing more.
    EXPECT_EQ(joined(h.darevLines().value_or(QStringList())), joined(kOnlyAutoComPortOff));
    h.window->close();
    EXPECT_EQ(joined(h.darevLines().value_or(QStringList())), joined(kOnlyAutoComPortOff));
    return;
  }
  EXPECT_TRUE(started);
  EXPECT_EQ(h.dialogs, 0);
  EXPECT_TRUE(h.exitCodes.isEmpty());
  EXPECT_TRUE(h.port.isOpen());
  EXPECT_EQ(h.port.portName(), QString::fromLatin1(c.openedPort));
  EXPECT_EQ(h.port.lastSettings.baudRate, 115200);
  EXPECT_EQ(h.port.writes, QList<QByteArray>{kDiscoverCommand});
  EXPECT_EQ(h.window->core().console().last(), QStringLiteral("Write1"));
  EXPECT_EQ(h.window->core().link().discoverAnswered, LinkAnswer::None);
  EXPECT_EQ(h.grid()->rowCount(), 0);
  EXPECT_EQ(h.window->pages().tabs->currentWidget(), h.window->pages().connection);
  EXPECT_TRUE(h.tabShown(h.window->pages().connection));
  EXPECT_FALSE(h.tabShown(h.window->pages().liveGraph));
}

const PortCase kPortCases[] = {
    {"NoPortsInAutomaticMode", nullptr, nullptr, {}, false, 4, nullptr},
    {"OnlyAnotherDeviceInAutomaticMode",
     nullptr,
     nullptr,
     {testing::otherPortRecord(QStringLiteral("USB Serial Device (COM3)"))},
     false,
     4,
     nullptr},
    {"ManualModeWithCOM255",
     "[GLOBAL]\nAutoComPort=0\n",
     "[ComPort1]\nPort=COM255\n",
     {testing::dongleRecord()},
     false,
     4,
     nullptr},
    {"PortDoesNotOpen", nullptr, nullptr, {testing::dongleRecord()}, true, 2, nullptr},
    {"ManualModePortDoesNotOpen",
     "[GLOBAL]\nAutoComPort=0\n",
     "[ComPort1]\nPort=/dev/ttyUSB7\n",
     {},
     true,
     2,
     nullptr},
    {"AutomaticModeFindsTheDongleByItsUsbId",
     nullptr,
     nullptr,
     {testing::otherPortRecord(QStringLiteral("USB Serial Device (ttyUSB0)")),
      testing::dongleRecord()},
     false,
     0,
     "/dev/ttyACM0"},
    {"AutomaticModeFindsTheDongleByItsFriendlyName",
     nullptr,
     nullptr,
     {testing::otherPortRecord(QStringLiteral("Bluegiga Bluetooth Low Energy (COM7)"))},
     false,
     0,
     "COM7"},
    // Automatic discovery overrides the port named in the file.
    {"AutomaticModeIgnoresThePortOfTheFile",
     nullptr,
     "[ComPort1]\nPort=COM255\n",
     {testing::dongleRecord()},
     false,
     0,
     "/dev/ttyACM0"},
    {"ManualModeWithoutComPortIniOpensCOM3",
     "[GLOBAL]\nAutoComPort=0\n",
     nullptr,
     {},
     false,
     0,
     "COM3"},
    {"ManualModeOpensThePortOfTheFile",
     "[GLOBAL]\nAutoComPort=0\n",
     "[ComPort1]\nPort=/dev/ttyUSB7\nBaudRate=115200\n",
     {},
     false,
     0,
     "/dev/ttyUSB7"},
};

INSTANTIATE_TEST_SUITE_P(Start, MainWindowPortSelectionTest, ::testing::ValuesIn(kPortCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MainWindowStartTest, AutomaticModeStillTakesTheLineSettingsOfComPortIni) {
  WindowHarness h;
  h.writeFile(h.comPortPath(), "[ComPort1]\nPort=COM9\nBaudRate=57600\nParity=even\n");

  ASSERT_TRUE(h.start());

  EXPECT_EQ(h.port.portName(), QStringLiteral("/dev/ttyACM0"));
  EXPECT_EQ(h.port.lastSettings.baudRate, 57600);
  EXPECT_EQ(h.port.lastSettings.parity, SerialSettings::Parity::Even);
}

TEST(MainWindowStartTest, WithoutADongleTheDialogComesFirstThenTheSettingThenTheExit) {
  WindowHarness h;
  h.catalog.setPorts({testing::otherPortRecord(QStringLiteral("USB Serial Device (COM3)"))});
  std::optional<QStringList> atDialog{QStringList{QStringLiteral("not asked")}};
  std::optional<QStringList> atExit;
  h.onDialog = [&] { atDialog = h.darevLines(); };
  h.onExit = [&](int) { atExit = h.darevLines(); };

  EXPECT_FALSE(h.start());

  EXPECT_FALSE(atDialog.has_value()) << "the setting was written before the dialog closed";
  EXPECT_EQ(joined(atExit.value_or(QStringList())), joined(kOnlyAutoComPortOff));
  // The other ports were listed on the console by the discovery.
  EXPECT_TRUE(h.window->core().console().lines().contains(
      QStringLiteral("Friendly Name - USB Serial Device (COM3)")));
}

TEST(MainWindowStartTest, TheWindowsOwnDialogIsShownUntilTheUserClosesIt) {
  WindowHarness h;
  h.realDialog = true;
  h.catalog.setPorts({});
  bool shown = false;
  kelvaro::testing::onNextModal<TErrorDlg>([&](TErrorDlg* dialog) {
    shown = true;
    EXPECT_TRUE(h.exitCodes.isEmpty());
    dialog->okButton->click();
  });

  h.create();
  // Only the start-up dialog is closed here; a watchdog tick meanwhile would open a second one.
  h.window->dongleWatchdogTimer.setInterval(60000);
  EXPECT_FALSE(h.window->startUp());

  EXPECT_TRUE(shown);
  EXPECT_EQ(h.exitCodes, QList<int>{4});
  EXPECT_EQ(joined(h.darevLines().value_or(QStringList())), joined(kOnlyAutoComPortOff));
}

TEST(MainWindowStartTest, ADialogLeftOpenPastATickOfTimer3EndsTheRunWithExitCode3) {
  WindowHarness h;
  h.catalog.setPorts({});
  // The watchdog's tick arrives while the start-up dialog is still open.
  h.onDialog = [&] {
    if (h.dialogs == 1) h.tickDongleWatchdog();
  };

  EXPECT_FALSE(h.start());

  EXPECT_EQ(h.dialogs, 2);
  ASSERT_FALSE(h.exitCodes.isEmpty());
  EXPECT_EQ(h.exitCodes.first(), 3);
}

// ---------------------------------------------------------------------------------------------
// The watchdog, dongleWatchdogTimer.

TEST(MainWindowWatchdogTest, NoAnswerToTheDiscoverBeforeTheTickEndsTheRunWithExitCode3) {
  WindowHarness h;
  ASSERT_TRUE(h.start());

  h.tickDongleWatchdog();

  EXPECT_EQ(h.dialogs, 1);
  EXPECT_EQ(h.exitCodes, QList<int>{3});
  EXPECT_FALSE(h.window->dongleWatchdogTimer.isActive());
  EXPECT_EQ(joined(h.darevLines().value_or(QStringList())), joined(kOnlyAutoComPortOff));
  // The stop skips the write-back.
  h.window->close();
  EXPECT_EQ(joined(h.darevLines().value_or(QStringList())), joined(kOnlyAutoComPortOff));
}

TEST(MainWindowWatchdogTest, TheRealTimerFiresTheWatchdog) {
  WindowHarness h;
  ASSERT_TRUE(h.start());
  h.window->dongleWatchdogTimer.setInterval(5);

  EXPECT_TRUE(QTest::qWaitFor([&] { return !h.exitCodes.isEmpty(); }, 2000));
  EXPECT_EQ(h.exitCodes, QList<int>{3});
}

TEST(MainWindowWatchdogTest, AnyAnswerToTheDiscoverKeepsTheRunGoing) {
  for (const char* answer : {"00 02 06 02 00 00", "00 02 06 02 81 01"}) {
    SCOPED_TRACE(answer);
    WindowHarness h;
    ASSERT_TRUE(h.start());
    h.port.inject(bytes(answer));

    h.tickDongleWatchdog();
    h.tickDongleWatchdog();

    EXPECT_TRUE(h.exitCodes.isEmpty());
    EXPECT_EQ(h.dialogs, 0);
    EXPECT_TRUE(h.window->dongleWatchdogTimer.isActive());
  }
}

TEST(MainWindowWatchdogTest, ADiscoverThatCannotBeWrittenLeavesTheWatchdogToEndTheRun) {
  WindowHarness h;
  h.port.failWrites = true;
  h.create();

  // The error ends the start-up; the program's error report shows it.
  EXPECT_THROW(h.window->startUp(), Error);
  EXPECT_EQ(h.window->core().link().discoverAnswered, LinkAnswer::None);
  h.tickDongleWatchdog();

  EXPECT_EQ(h.exitCodes, QList<int>{3});
}

TEST(MainWindowWatchdogTest, ClosingAfterAFailedStartUpStillWritesTheSettingsBack) {
  WindowHarness h;
  h.writeDarev("[GLOBAL]\nTrackBarAct=33\n");
  h.port.failWrites = true;
  h.create();
  EXPECT_THROW(h.window->startUp(), Error);

  h.window->close();

  const auto lines = h.darevLines();
  ASSERT_TRUE(lines.has_value());
  EXPECT_TRUE(lines->contains(QStringLiteral("TrackBarAct=33")));
  EXPECT_TRUE(lines->contains(QStringLiteral("[SetGraf]"))) << "the whole write-back ran";
}

// ---------------------------------------------------------------------------------------------
// Dispatch and the scan list.

TEST(MainWindowScanListTest, ScanResponsesFillTheGridEditMacAndEnableTheConnectButtons) {
  WindowHarness h;
  h.startAnswered();
  MainWindow& w = *h.window;
  auto& connect = find<QPushButton>(w, "ButtonConnect");
  auto& connectLast = find<QPushButton>(w, "ButtonLastIDt2");
  auto* grid = h.grid();
  EXPECT_EQ(grid->horizontalHeaderItem(2)->text(), QStringLiteral("Device ID"));
  EXPECT_EQ(grid->horizontalHeaderItem(3)->text(), QStringLiteral("Signal [dB]"));
  EXPECT_FALSE(connect.isEnabled());
  EXPECT_FALSE(connectLast.isEnabled());
  const auto cell = [grid](int row, int column) {
    const auto* item = grid->item(row, column);
    return item ? item->text() : QStringLiteral("<empty>");
  };

  h.port.inject(scanResponse(0xC4, "0007800A1B2C"));

  EXPECT_EQ(w.core().console().last(),
            QStringLiteral("E60 ScanResp Rssi=-60 Sender=00:07:80:0A:1B:2C"));
  EXPECT_EQ(find<QLineEdit>(w, "EditMac").text(), QStringLiteral("0007800A1B2C"));
  ASSERT_EQ(grid->rowCount(), 1);
  EXPECT_EQ(cell(0, 2), QStringLiteral("0007800A1B2C"));
  EXPECT_EQ(cell(0, 3), QStringLiteral("-60"));
  EXPECT_TRUE(connect.isEnabled());
  EXPECT_TRUE(connectLast.isEnabled());
  // The last ID stays what the settings gave.
  EXPECT_EQ(find<QLineEdit>(w, "EditLastID").text(), QStringLiteral("012345678901"));

  // The same belt again: only its signal changes.
  h.port.inject(scanResponse(0xB0, "0007800A1B2C"));
  ASSERT_EQ(grid->rowCount(), 1);
  EXPECT_EQ(w.core().scanList().ScanCount(), 1);
  EXPECT_EQ(cell(0, 2), QStringLiteral("0007800A1B2C"));
  EXPECT_EQ(cell(0, 3), QStringLiteral("-80"));

  // A stronger device is appended below; rows are never sorted.
  h.port.inject(scanResponse(0xD8, "00078011AA55"));
  ASSERT_EQ(grid->rowCount(), 2);
  EXPECT_EQ(w.core().scanList().ScanCount(), 2);
  EXPECT_EQ(cell(0, 2), QStringLiteral("0007800A1B2C"));
  EXPECT_EQ(cell(0, 3), QStringLiteral("-80"));
  EXPECT_EQ(cell(1, 2), QStringLiteral("00078011AA55"));
  EXPECT_EQ(cell(1, 3), QStringLiteral("-40"));
  EXPECT_EQ(find<QLineEdit>(w, "EditMac").text(), QStringLiteral("00078011AA55"));
  EXPECT_EQ(w.core().console().lines().filter(QStringLiteral("E60 ScanResp")).size(), 3);

  // The settings remember the belt heard last.
  w.close();
  EXPECT_EQ(SettingsFile(h.darevPath())
                .readString(QStringLiteral("GLOBAL"), QStringLiteral("MAC"), QString()),
            QStringLiteral("00078011AA55"));
}

TEST(MainWindowScanListTest, AResponseSplitAcrossTwoReadsGivesOneRow) {
  WindowHarness h;
  h.startAnswered();
  const QByteArray packet = scanResponse(0xC4, "0007800A1B2C");

  h.port.inject(packet.left(6));
  EXPECT_EQ(h.grid()->rowCount(), 0);
  h.port.inject(packet.mid(6));

  ASSERT_EQ(h.grid()->rowCount(), 1);
  EXPECT_EQ(h.grid()->item(0, 2)->text(), QStringLiteral("0007800A1B2C"));
}

// Packets other than scan responses: their trace line and the flag they set.
struct DispatchCase {
  const char* name;
  const char* packet;
  const char* line;
  LinkAnswer LinkState::*flag;  // nullptr: none changes
  LinkAnswer value;
};

void PrintTo(const DispatchCase& c, std::ostream* os) { *os << c.name; }

class MainWindowDispatchTest : public ::testing::TestWithParam<DispatchCase> {};

TEST_P(MainWindowDispatchTest, TracesThePacketAndSetsItsFlag) {
  const DispatchCase& c = GetParam();
  WindowHarness h;
  ASSERT_TRUE(h.start());
  const LinkState before = h.window->core().link();

  h.port.inject(bytes(c.packet));

  EXPECT_EQ(h.window->core().console().last(), QString::fromLatin1(c.line));
  const LinkState& after = h.window->core().link();
  for (auto field :
       {&LinkState::connectResult, &LinkState::connectionStatus, &LinkState::set1Result,
        &LinkState::set2Result, &LinkState::discoverAnswered}) {
    EXPECT_EQ(after.*field, field == c.flag ? c.value : before.*field);
  }
  EXPECT_EQ(h.grid()->rowCount(), 0);
}

const DispatchCase kDispatchCases[] = {
    {"DiscoverAnswer", "00 02 06 02 00 00", "62 RepDisc=0000", &LinkState::discoverAnswered,
     LinkAnswer::Good},
    {"LinkUp", "80 10 03 00 00 05 2C 1B 0A 80 07 00 00 3C 00 64 00 00 00 FF",
     "E30 Conn status  Handle=00 Flags=05", &LinkState::connectionStatus, LinkAnswer::Good},
    {"ConnectRefused", "00 03 06 03 81 01 00", "63 RepConnDir=8101  00", &LinkState::connectResult,
     LinkAnswer::Bad},
    {"Disconnected", "80 03 03 04 00 13 02", "HD=80 CID=3 CMD=4 L=3  00 13 02", nullptr,
     LinkAnswer::None},
    {"HelloAnswer", "00 00 00 01", "HD=00 CID=0 CMD=1 L=0 ", nullptr, LinkAnswer::None},
};

INSTANTIATE_TEST_SUITE_P(Packets, MainWindowDispatchTest, ::testing::ValuesIn(kDispatchCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// Decoding of the belt's notifications.

// Raw forces 1000 and 500, accelerations 16, -16, 256, battery 3962 mV.
const QByteArray kValue = bytes("00 00 7F 01 E8 03 F4 01 10 00 F0 FF 00 01 7A 0F");

QByteArray valueWithForces(int raw1, int raw2) {
  QByteArray v = kValue;
  v[4] = char(raw1 & 0xFF);
  v[5] = char(raw1 >> 8);
  v[6] = char(raw2 & 0xFF);
  v[7] = char(raw2 >> 8);
  return v;
}

TEST(MainWindowDecodingTest, ANotificationIsShownOnTheReadOuts) {
  WindowHarness h;
  h.startAnswered();
  MainWindow& w = *h.window;
  const QString temperatureBefore = find<QLineEdit>(w, "EditTemp").text();

  h.port.inject(notification(kValue));

  EXPECT_EQ(w.core().measurement().notificationCount, 1u);
  EXPECT_EQ(find<QLabel>(w, "LabelF1").text(), QStringLiteral("000"));
  EXPECT_EQ(find<QLabel>(w, "LabelF2").text(), QStringLiteral("-250"));
  EXPECT_EQ(find<QLineEdit>(w, "EditNap").text(), QStringLiteral("UN=3.962 V"));
  EXPECT_EQ(find<QProgressBar>(w, "Gauge1").value(), 52);
  EXPECT_EQ(find<QProgressBar>(w, "ProgressBar1").value(), 0);
  EXPECT_EQ(find<QLineEdit>(w, "EditTemp").text(), temperatureBefore);
  // Notifications leave no trace line unless "Log" is checked.
  EXPECT_EQ(w.core().console().last(), QStringLiteral("62 RepDisc=0000"));
}

TEST(MainWindowDecodingTest, LogTracesEveryNotificationAndFreezeHoldsNoReadOut) {
  WindowHarness h;
  h.startAnswered();
  MainWindow& w = *h.window;
  find<QCheckBox>(w, "CheckBoxLog").setChecked(true);
  find<QCheckBox>(w, "CheckBoxFreeze").setChecked(true);

  h.port.inject(notification(valueWithForces(1250, 500)));

  EXPECT_EQ(w.core().console().last(),
            QStringLiteral("E45 EvtVal=16 = 00 00 7F 01 E2 04 F4 01 10 00 F0 FF 00 01 7A 0F "));
  EXPECT_EQ(find<QLabel>(w, "LabelF1").text(), QStringLiteral("125"));
  EXPECT_EQ(find<QProgressBar>(w, "ProgressBar1").value(), 125);
  EXPECT_EQ(find<QLineEdit>(w, "EditNap").text(), QStringLiteral("UN=3.962 V"));
}

TEST(MainWindowDecodingTest, TheForceBarFollowsForce1WithinItsRange) {
  WindowHarness h;
  h.startAnswered();
  MainWindow& w = *h.window;
  struct Step {
    int raw1;
    const char* label;
    int bar;
  };
  for (const Step& s : {Step{1250, "125", 125}, Step{1600, "300", 250}, Step{900, "-050", 0},
                        Step{1025, "013", 12}}) {
    SCOPED_TRACE(s.raw1);
    h.port.inject(notification(valueWithForces(s.raw1, 500)));
    EXPECT_EQ(find<QLabel>(w, "LabelF1").text(), QString::fromLatin1(s.label));
    EXPECT_EQ(find<QProgressBar>(w, "ProgressBar1").value(), s.bar);
  }
}

TEST(MainWindowDecodingTest, TheTenthNotificationZeroesTheForcesAndTheOffsetsAreStoredAtClose) {
  WindowHarness h;
  h.startAnswered();
  MainWindow& w = *h.window;
  for (int i = 0; i < 9; ++i) h.port.inject(notification(kValue));
  EXPECT_EQ(find<QLabel>(w, "LabelF2").text(), QStringLiteral("-250"));

  h.port.inject(notification(valueWithForces(1200, 800)));

  EXPECT_EQ(w.core().measurement().notificationCount, 10u);
  EXPECT_EQ(w.core().measurement().force1Grams, 0.0);
  EXPECT_EQ(w.core().measurement().force2Grams, 0.0);
  EXPECT_EQ(find<QLabel>(w, "LabelF1").text(), QStringLiteral("000"));
  EXPECT_EQ(find<QLabel>(w, "LabelF2").text(), QStringLiteral("000"));
  EXPECT_EQ(w.core().calibration().ofs1, 1200);
  EXPECT_EQ(w.core().calibration().ofs2, 800);
  // The offset fields go on showing their old numbers.
  EXPECT_EQ(find<QSpinBox>(w, "SpinEditOfs1").value(), 1000);
  EXPECT_EQ(find<QSpinBox>(w, "SpinEditOfs2").value(), 1000);

  h.port.inject(notification(valueWithForces(1250, 800)));
  EXPECT_EQ(find<QLabel>(w, "LabelF1").text(), QStringLiteral("025"));

  w.close();
  const SettingsFile file(h.darevPath());
  EXPECT_EQ(file.readInteger(QStringLiteral("GLOBAL"), QStringLiteral("Ofs1"), 0), 1200);
  EXPECT_EQ(file.readInteger(QStringLiteral("GLOBAL"), QStringLiteral("Ofs2"), 0), 800);
}

TEST(MainWindowDecodingTest, ZeroForceButtonsTakeTheLatestRawReading) {
  WindowHarness h;
  h.startAnswered();
  MainWindow& w = *h.window;
  h.port.inject(notification(valueWithForces(1100, 700)));
  EXPECT_EQ(find<QLabel>(w, "LabelF1").text(), QStringLiteral("050"));

  find<QPushButton>(w, "Button19").click();
  find<QPushButton>(w, "ButtonZero2").click();

  EXPECT_EQ(find<QSpinBox>(w, "SpinEditOfs1").value(), 1100);
  EXPECT_EQ(find<QSpinBox>(w, "SpinEditOfs2").value(), 700);
  EXPECT_EQ(w.core().calibration().ofs1, 1100);
  EXPECT_EQ(w.core().calibration().ofs2, 700);
  h.port.inject(notification(valueWithForces(1100, 700)));
  EXPECT_EQ(find<QLabel>(w, "LabelF1").text(), QStringLiteral("000"));
  EXPECT_EQ(find<QLabel>(w, "LabelF2").text(), QStringLiteral("000"));
}

TEST(MainWindowDecodingTest, AnOffsetTypedInTheFieldIsUsedAtOnce) {
  WindowHarness h;
  h.startAnswered();
  MainWindow& w = *h.window;

  find<QSpinBox>(w, "SpinEditOfs1").setValue(900);
  h.port.inject(notification(kValue));

  EXPECT_EQ(w.core().calibration().ofs1, 900);
  EXPECT_EQ(find<QLabel>(w, "LabelF1").text(), QStringLiteral("050"));
}

TEST(MainWindowDecodingTest, AConfirmedSlopeEntryChangesTheSlopeAndIsStoredAtClose) {
  WindowHarness h;
  h.startAnswered();
  MainWindow& w = *h.window;
  auto& k1 = find<NumberEdit>(w, "NEditK1");

  k1.selectAll();
  QTest::keyClicks(&k1, QStringLiteral("750"));
  EXPECT_EQ(w.core().calibration().k1, 0.5) << "taken before the entry was confirmed";
  QTest::keyClick(&k1, Qt::Key_Return);

  EXPECT_EQ(w.core().calibration().k1, 0.75);
  h.port.inject(notification(valueWithForces(1100, 500)));
  EXPECT_EQ(find<QLabel>(w, "LabelF1").text(), QStringLiteral("075"));
  w.close();
  EXPECT_EQ(SettingsFile(h.darevPath())
                .readString(QStringLiteral("GLOBAL"), QStringLiteral("K1"), QString()),
            QStringLiteral("0.75"));
}

}  // namespace
}  // namespace kelvaro

namespace kelvaro {
namespace {

// At the wire's full rate the read-outs show the newest values once per display frame instead
// of for every notification; the notification in between is decoded all the same.
TEST(MainWindowDecodingTest, ReadOutsShowTheNewestValueOncePerFrame) {
  WindowHarness h;
  h.displayFrameMs = 40;
  h.startAnswered();
  MainWindow& w = *h.window;

  h.port.inject(notification(valueWithForces(1250, 800)));
  EXPECT_EQ(find<QLabel>(w, "LabelF1").text(), QStringLiteral("125"));

  h.port.inject(notification(valueWithForces(1300, 800)));
  h.port.inject(notification(valueWithForces(1350, 800)));
  EXPECT_EQ(w.core().measurement().notificationCount, 3u);
  EXPECT_EQ(find<QLabel>(w, "LabelF1").text(), QStringLiteral("125")) << "held for this frame";

  h.ticks.advance(40);
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return find<QLabel>(w, "LabelF1").text() == QStringLiteral("175"); }, 2000));
}

}  // namespace
}  // namespace kelvaro

namespace kelvaro {
namespace {

// A failing serial write inside a button's action ends that action and reaches the error report;
// it never travels up through the button's signal, and the window goes on.
TEST(MainWindowErrorReportTest, AFailingWriteInAConnectGoesToTheErrorReport) {
  WindowHarness h;
  h.startAnswered();
  h.port.inject(scanResponse(0xC4, "0007800A1B2C"));
  MainWindow& w = *h.window;
  auto& connect = find<QPushButton>(w, "ButtonConnect");
  ASSERT_TRUE(connect.isEnabled());

  h.port.failWrites = true;
  connect.click();

  ASSERT_EQ(h.reports.size(), 1);
  EXPECT_TRUE(h.reports.first().startsWith(QStringLiteral("Cannot write to")))
      << h.reports.first().toStdString();
  EXPECT_TRUE(connect.isEnabled()) << "the button it disabled is enabled again";
}

}  // namespace
}  // namespace kelvaro

namespace kelvaro {
namespace {

using testing::bytes;
using testing::find;
using testing::scanResponse;
using testing::WindowHarness;

// The dongle's side of a connect that succeeds. Its answers come after the command's write has
// returned, as a real dongle's do, so they are queued for the next pass of the event loop.
void answerConnects(WindowHarness& h, std::function<void(const QByteArray&)> alsoOnWrite) {
  h.port.onWrite = [&h, alsoOnWrite, linkReported = false](const QByteArray& cmd) mutable {
    if (alsoOnWrite) alsoOnWrite(cmd);
    if (cmd.size() < 7) return;
    QList<QByteArray> answers;
    const int classId = std::uint8_t(cmd[2]);
    const int id = std::uint8_t(cmd[3]);
    if (classId == 6 && id == 3) {
      answers << bytes("00 03 06 03 00 00 00");
    } else if (classId == 4 && id == 5) {
      // The first attribute write goes out while the link is being set up.
      if (!linkReported) {
        linkReported = true;
        answers << bytes("80 10 03 00 00 05 2C 1B 0A 80 07 00 00 3C 00 64 00 00 00 FF");
      }
      answers << bytes("00 03 04 05 00 00 00")
              << bytes("80 05 04 01 00 00 00") + cmd.mid(5, 2);  // completed, for its handle
    }
    for (const QByteArray& answer : answers) {
      QMetaObject::invokeMethod(
          &h.port, [&h, answer] { h.port.inject(answer); }, Qt::QueuedConnection);
    }
  };
}

TEST(MainWindowConnectionTest, DisconnectWhileTheLinkSettlesGoesBackAndARefusedClickIsSaid) {
  WindowHarness h;
  h.startAnswered();
  MainWindow& w = *h.window;
  // Shown, so that the status bar really shows or hides its widgets.
  w.show();
  auto& connect = find<QPushButton>(w, "ButtonConnect");
  auto& connectLast = find<QPushButton>(w, "ButtonLastIDt2");
  auto& disconnect = find<QPushButton>(w, "Button20");
  auto& busyLabel = find<QLabel>(w, "LabelBusy");

  // "Connect Last" is pressed while the link is being set up.
  QString messageAfterRefusal;
  bool busyLabelCoversIt = true;
  answerConnects(h, [&, pressed = false](const QByteArray& cmd) mutable {
    if (pressed || cmd != bytes("00 05 04 05 00 1C 00 01 80")) return;
    pressed = true;
    QMetaObject::invokeMethod(
        &connectLast,
        [&] {
          connectLast.click();
          messageAfterRefusal = w.statusBar()->currentMessage();
          busyLabelCoversIt = busyLabel.isVisible();
        },
        Qt::QueuedConnection);
  });
  // "Disconnect" is pressed as soon as the graph appears.
  std::optional<std::uint32_t> graphAt;
  QObject::connect(w.pages().tabs, &QTabWidget::currentChanged, &w, [&] {
    if (graphAt || w.pages().tabs->currentWidget() != w.pages().liveGraph) return;
    graphAt = h.ticks.tick();
    QMetaObject::invokeMethod(
        &disconnect, [&] { disconnect.click(); }, Qt::QueuedConnection);
  });
  h.port.inject(scanResponse(0xC4, "0007800A1B2C"));
  ASSERT_TRUE(connect.isEnabled());

  connect.click();

  EXPECT_EQ(messageAfterRefusal, ConnectionProcedure::kBusyConnectingText);
  EXPECT_FALSE(busyLabelCoversIt);
  EXPECT_TRUE(w.statusBar()->isVisible());
  ASSERT_TRUE(graphAt.has_value());
  // Back on "Connection" well before the 1200 ms the link was to settle.
  EXPECT_LE(h.ticks.tick() - *graphAt, 20u);
  EXPECT_EQ(w.pages().tabs->currentWidget(), w.pages().connection);
  EXPECT_TRUE(h.tabShown(w.pages().connection));
  EXPECT_FALSE(h.tabShown(w.pages().liveGraph));
  const QStringList lines = w.core().console().lines();
  EXPECT_EQ(lines.count(QStringLiteral("Write4")), 1) << "the refused click started nothing";
  EXPECT_GT(lines.indexOf(QStringLiteral("Write6")), lines.indexOf(QStringLiteral("**** Set2 OK")));
  EXPECT_EQ(lines.last(), QStringLiteral("Write1"));
  EXPECT_EQ(w.core().measurement().notificationCount, 0u);
  EXPECT_EQ(h.grid()->rowCount(), 0);
  EXPECT_FALSE(connect.isEnabled());
  EXPECT_FALSE(connectLast.isEnabled());
  EXPECT_TRUE(busyLabel.text().isEmpty());
  EXPECT_TRUE(h.reports.isEmpty());
}

}  // namespace
}  // namespace kelvaro
