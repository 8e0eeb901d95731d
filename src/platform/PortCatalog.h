#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>
#include <utility>

namespace kelvaro {

// One serial port the system reports as present, with what it says about the device behind it.
struct SerialPortRecord {
  QString portName;      // what the port is opened by: a device path here (/dev/ttyACM0)
  QString friendlyName;  // a one-line name for people, e.g. "Low Energy Dongle (ttyACM0)"
  QString description;   // the device's own product text; may be empty
  QString manufacturer;  // may be empty
  QString location;      // where it is plugged in (the USB path, "usb 1-2:1.0"); may be empty
  quint16 vendorId = 0;
  quint16 productId = 0;
  bool hasVidPid = false;  // only USB devices have a vendor and product id
};

// The serial ports present right now. Listing never fails: a system that cannot say gives none.
class PortCatalog {
 public:
  virtual ~PortCatalog() = default;
  virtual QList<SerialPortRecord> presentPorts() const = 0;
};

// The system's ports through QSerialPortInfo, with the USB path read from sysfs.
class QtPortCatalog final : public PortCatalog {
 public:
  QList<SerialPortRecord> presentPorts() const override;
};

// A fixed list: the simulator's ports, a test's script, or nothing at all.
class FixedPortCatalog final : public PortCatalog {
 public:
  FixedPortCatalog() = default;
  explicit FixedPortCatalog(QList<SerialPortRecord> ports) : ports_(std::move(ports)) {}
  void setPorts(QList<SerialPortRecord> ports) { ports_ = std::move(ports); }
  QList<SerialPortRecord> presentPorts() const override { return ports_; }

 private:
  QList<SerialPortRecord> ports_;
};

// The USB location of a tty's device from the canonical sysfs path of its "device" link, e.g.
// ".../usb1/1-2/1-2:1.0" -> "usb 1-2:1.0"; empty for a device that is not a USB interface.
QString usbLocationFromSysfsPath(const QString& canonicalDevicePath);

// "desc (ttyACM0)" in the manner of a device list; just the short name when there is no
// description.
QString friendlyPortName(const QString& description, const QString& shortName);

}  // namespace kelvaro
