#pragma once

#include <QString>
#include <QStringView>
#include <QtGlobal>
#include <optional>

#include "platform/PortCatalog.h"

namespace kelvaro {

class ConsoleLog;

// The USB identity of a BLED112-class dongle: a CDC-ACM device of Bluegiga.
inline constexpr quint16 kDongleVendorId = 0x2458;
inline constexpr quint16 kDongleProductId = 0x0001;

// The dongle's COM number in a Windows-style friendly name such as
// "Bluegiga Bluetooth Low Energy (COM7)". The name must contain "Bluegiga Bluetooth Low Energy"
// and its first "(COM" must lie after that text (past the 28th character); one or two digits are
// read after it, so "(COM123)" gives 12. A "(COM" that ends the text or is not followed by a
// digit names no port, and a second character that is not a digit ends the number.
std::optional<int> dongleComNumber(QStringView friendlyName);

// True for the dongle's own USB vendor and product id.
bool isDongleUsbDevice(const SerialPortRecord& port);

// Lists every present port on the console, a block of lines per port, and returns the name to
// open the dongle by: "COM" and the number for a friendly-name match, the device path for a
// VID:PID match. When several ports match, the last one listed wins. Empty when none matches.
QString FindDonglePort(const PortCatalog& catalog, ConsoleLog& console);

}  // namespace kelvaro
