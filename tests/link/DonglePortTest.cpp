#include "link/DonglePort.h"

#include <gtest/gtest.h>

#include "base/ConsoleLog.h"

namespace kelvaro {
namespace {

TEST(DonglePortTest, ComNumberFromFriendlyName) {
  const struct {
    const char* name;
    std::optional<int> number;
  } cases[] = {
      {"Bluegiga Bluetooth Low Energy (COM7)", 7},
      {"Bluegiga Bluetooth Low Energy (COM12)", 12},
      {"Bluegiga Bluetooth Low Energy (COM123)", 12},
      {"Bluegiga Bluetooth Low Energy (COM0)", 0},
      {"Bluegiga Bluetooth Low Energy(COM9)", 9},
      {"USB Serial Device (COM3)", std::nullopt},
      {"bluegiga bluetooth low energy (COM7)", std::nullopt},
      {"Bluegiga Bluetooth Low Energy", std::nullopt},
      // Cut off after "(COM": nothing is read past the end of the text.
      {"Bluegiga Bluetooth Low Energy (COM", std::nullopt},
      {"Bluegiga Bluetooth Low Energy (COM4", 4},
      {"Bluegiga Bluetooth Low Energy (COMx)", std::nullopt},
      {"Bluegiga Bluetooth Low Energy (COM5x)", 5},
      // "(COM" counts only from the 29th character on, and the first one decides.
      {"123456789012345678901234567(COM5) Bluegiga Bluetooth Low Energy", std::nullopt},
      {"1234567890123456789012345678(COM5) Bluegiga Bluetooth Low Energy", 5},
      {"(COM3) Bluegiga Bluetooth Low Energy (COM7)", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(dongleComNumber(QString::fromLatin1(c.name)), c.number) << c.name;
  }
}

SerialPortRecord windowsPort(const char* friendly, const char* description, const char* location) {
  SerialPortRecord port;
  port.friendlyName = QString::fromLatin1(friendly);
  port.description = QString::fromLatin1(description);
  port.location = QString::fromLatin1(location);
  return port;
}

SerialPortRecord usbPort(const char* path, quint16 vid, quint16 pid, bool hasVidPid = true) {
  SerialPortRecord port;
  port.portName = QString::fromLatin1(path);
  port.friendlyName =
      QStringLiteral("Low Energy Dongle (") + port.portName.section(u'/', -1) + u')';
  port.description = QStringLiteral("Low Energy Dongle");
  port.manufacturer = QStringLiteral("Bluegiga");
  port.location = QStringLiteral("usb 1-2:1.0");
  port.vendorId = vid;
  port.productId = pid;
  port.hasVidPid = hasVidPid;
  return port;
}

TEST(DonglePortTest, TracesEveryPortAndFindsTheDongleByFriendlyName) {
  FixedPortCatalog catalog({windowsPort("USB Serial Device (COM3)", "USB Serial Device", ""),
                            windowsPort("Bluegiga Bluetooth Low Energy (COM7)",
                                        "Bluegiga Bluetooth Low Energy", "Port_#0002.Hub_#0003")});
  ConsoleLog console;
  EXPECT_EQ(FindDonglePort(catalog, console), QStringLiteral("COM7"));
  const QStringList expected{
      "Friendly Name - USB Serial Device (COM3)",
      "Description   - USB Serial Device",
      "----------------------------",
      "Friendly Name - Bluegiga Bluetooth Low Energy (COM7)",
      "FIND !!!!!!!!! COM 7",
      "Description   - Bluegiga Bluetooth Low Energy",
      "Location      - Port_#0002.Hub_#0003",
      "----------------------------",
  };
  EXPECT_EQ(console.lines(), expected);
}

TEST(DonglePortTest, FindsTheDongleByUsbIdAndOpensItsDevicePath) {
  FixedPortCatalog catalog(
      {usbPort("/dev/ttyUSB0", 0x0403, 0x6001), usbPort("/dev/ttyACM0", 0x2458, 0x0001)});
  ConsoleLog console;
  EXPECT_EQ(FindDonglePort(catalog, console), QStringLiteral("/dev/ttyACM0"));
  const QStringList expected{
      "Friendly Name - Low Energy Dongle (ttyUSB0)",
      "Description   - Low Energy Dongle",
      "Location      - usb 1-2:1.0",
      "----------------------------",
      "Friendly Name - Low Energy Dongle (ttyACM0)",
      "FIND !!!!!!!!! /dev/ttyACM0",
      "Description   - Low Energy Dongle",
      "Location      - usb 1-2:1.0",
      "----------------------------",
  };
  EXPECT_EQ(console.lines(), expected);
}

TEST(DonglePortTest, WhichPortIsFound) {
  const struct {
    const char* label;
    QList<SerialPortRecord> ports;
    const char* found;
  } cases[] = {
      {"no ports", {}, ""},
      {"only other devices", {windowsPort("USB Serial Device (COM3)", "", "")}, ""},
      {"an id without VID:PID", {usbPort("/dev/ttyACM0", 0x2458, 0x0001, false)}, ""},
      {"another product of the vendor", {usbPort("/dev/ttyACM0", 0x2458, 0x0002)}, ""},
      {"last friendly-name match wins",
       {windowsPort("Bluegiga Bluetooth Low Energy (COM7)", "", ""),
        windowsPort("Bluegiga Bluetooth Low Energy (COM12)", "", "")},
       "COM12"},
      {"last USB match wins",
       {usbPort("/dev/ttyACM1", 0x2458, 0x0001), usbPort("/dev/ttyACM0", 0x2458, 0x0001)},
       "/dev/ttyACM0"},
      {"a later non-match keeps the find",
       {usbPort("/dev/ttyACM0", 0x2458, 0x0001), windowsPort("USB Serial Device (COM3)", "", "")},
       "/dev/ttyACM0"},
  };
  for (const auto& c : cases) {
    ConsoleLog console;
    EXPECT_EQ(FindDonglePort(FixedPortCatalog(c.ports), console), QString::fromLatin1(c.found))
        << c.label;
    EXPECT_EQ(console.lines().count(QStringLiteral("----------------------------")), c.ports.size())
        << c.label;
  }
}

}  // namespace
}  // namespace kelvaro
