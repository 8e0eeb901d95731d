#include "platform/PortCatalog.h"

#include <QSerialPortInfo>

#include <gtest/gtest.h>

namespace kelvaro {
namespace {

TEST(PortCatalogTest, UsbLocationComesFromTheInterfaceDirectory) {
  const struct {
    const char* path;
    const char* location;
  } cases[] = {
      {"/sys/devices/pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0", "usb 1-2:1.0"},
      {"/sys/devices/pci0000:00/0000:00:14.0/usb3/3-1/3-1.4/3-1.4.2/3-1.4.2:1.2",
       "usb 3-1.4.2:1.2"},
      {"/sys/devices/platform/serial8250", ""},
      {"/sys/devices/pci0000:00/0000:00:14.0/usb1/1-2", ""},
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(usbLocationFromSysfsPath(QString::fromLatin1(c.path)),
              QString::fromLatin1(c.location))
        << c.path;
  }
}

TEST(PortCatalogTest, FriendlyNameNamesTheDeviceAndThePort) {
  EXPECT_EQ(friendlyPortName(QStringLiteral("Low Energy Dongle"), QStringLiteral("ttyACM0")),
            QStringLiteral("Low Energy Dongle (ttyACM0)"));
  EXPECT_EQ(friendlyPortName(QStringLiteral("  "), QStringLiteral("ttyS0")),
            QStringLiteral("ttyS0"));
}

TEST(PortCatalogTest, SystemCatalogListsEveryPortByItsDevicePath) {
  const QList<SerialPortRecord> ports = QtPortCatalog().presentPorts();
  EXPECT_EQ(ports.size(), QSerialPortInfo::availablePorts().size());
  for (const SerialPortRecord& port : ports) {
    EXPECT_TRUE(port.portName.startsWith(QStringLiteral("/dev/"))) << port.portName.toStdString();
    EXPECT_FALSE(port.friendlyName.isEmpty());
  }
}

}  // namespace
}  // namespace kelvaro
