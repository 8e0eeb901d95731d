#include "platform/PortCatalog.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSerialPortInfo>

namespace kelvaro {

QString usbLocationFromSysfsPath(const QString& canonicalDevicePath) {
  // A USB interface directory is named bus-port[.port...]:configuration.interface.
  static const QRegularExpression kUsbInterface(
      QStringLiteral("^\\d+-\\d+(\\.\\d+)*:\\d+\\.\\d+$"));
  const QString last = canonicalDevicePath.section(u'/', -1);
  return kUsbInterface.match(last).hasMatch() ? QStringLiteral("usb ") + last : QString();
}

QString friendlyPortName(const QString& description, const QString& shortName) {
  const QString text = description.trimmed();
  return text.isEmpty() ? shortName : text + QStringLiteral(" (") + shortName + u')';
}

QList<SerialPortRecord> QtPortCatalog::presentPorts() const {
  QList<SerialPortRecord> ports;
  const QList<QSerialPortInfo> infos = QSerialPortInfo::availablePorts();
  ports.reserve(infos.size());
  for (const QSerialPortInfo& info : infos) {
    SerialPortRecord record;
    record.portName = info.systemLocation();
    record.description = info.description();
    record.friendlyName = friendlyPortName(info.description(), info.portName());
    record.manufacturer = info.manufacturer();
    const QString devicePath =
        QFileInfo(QStringLiteral("/sys/class/tty/") + info.portName() + QStringLiteral("/device"))
            .canonicalFilePath();
    record.location = usbLocationFromSysfsPath(devicePath);
    record.hasVidPid = info.hasVendorIdentifier() && info.hasProductIdentifier();
    if (record.hasVidPid) {
      record.vendorId = info.vendorIdentifier();
      record.productId = info.productIdentifier();
    }
    ports.append(record);
  }
  return ports;
}

}  // namespace kelvaro
