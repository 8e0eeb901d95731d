#include "link/DonglePort.h"

#include "base/ConsoleLog.h"

namespace kelvaro {
namespace {

constexpr QStringView kDongleName = u"Bluegiga Bluetooth Low Energy";
constexpr QStringView kComOpening = u"(COM";
// "(COM" counts only after the dongle's name; positions here start at 0.
constexpr qsizetype kMinComOpening = 28;

std::optional<int> asciiDigit(QStringView text, qsizetype at) {
  if (at >= text.size()) return std::nullopt;
  const char16_t c = text[at].unicode();
  if (c < u'0' || c > u'9') return std::nullopt;
  return static_cast<int>(c - u'0');
}

}  // namespace

std::optional<int> dongleComNumber(QStringView friendlyName) {
  if (!friendlyName.contains(kDongleName)) return std::nullopt;
  const qsizetype opening = friendlyName.indexOf(kComOpening);
  if (opening < kMinComOpening) return std::nullopt;
  const qsizetype first = opening + kComOpening.size();
  const std::optional<int> high = asciiDigit(friendlyName, first);
  if (!high) return std::nullopt;
  const std::optional<int> low = asciiDigit(friendlyName, first + 1);
  return low ? *high * 10 + *low : *high;
}

bool isDongleUsbDevice(const SerialPortRecord& port) {
  return port.hasVidPid && port.vendorId == kDongleVendorId && port.productId == kDongleProductId;
}

QString FindDonglePort(const PortCatalog& catalog, ConsoleLog& console) {
  QString found;
  for (const SerialPortRecord& port : catalog.presentPorts()) {
    if (!port.friendlyName.isEmpty()) {
      console.append(QStringLiteral("Friendly Name - ") + port.friendlyName);
      if (const std::optional<int> number = dongleComNumber(port.friendlyName)) {
        found = QStringLiteral("COM") + QString::number(*number);
        console.append(QStringLiteral("FIND !!!!!!!!! COM ") + QString::number(*number));
      }
    }
    // Here the device list has no COM numbers; the dongle is known by its USB id instead.
    if (isDongleUsbDevice(port)) {
      found = port.portName;
      console.append(QStringLiteral("FIND !!!!!!!!! ") + port.portName);
    }
    if (!port.description.isEmpty()) {
      console.append(QStringLiteral("Description   - ") + port.description);
    }
    if (!port.location.isEmpty()) {
      console.append(QStringLiteral("Location      - ") + port.location);
    }
    console.append(QStringLiteral("----------------------------"));
  }
  return found;
}

}  // namespace kelvaro
