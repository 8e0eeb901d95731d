// Feeds arbitrary bytes as the command line of kelvaro-belt-sim (arguments separated by NUL
// bytes) through its parser. The checks hold for any command line: it is understood or refused
// with a reason, what is understood is within the documented ranges, and a dongle built from it
// answers a second belt's connect and streams without fault.
#include <QByteArray>
#include <QList>
#include <QStringList>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "sim/SimDongle.h"
#include "sim/SimOptions.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  QStringList arguments{QStringLiteral("kelvaro-belt-sim")};
  for (const QByteArray& part : bytes.split('\0')) arguments << QString::fromUtf8(part);
  const kelvaro::SimCommandLine line = kelvaro::SimCommandLine::parse(arguments);
  if (!line.error.isEmpty()) return 0;
  const kelvaro::SimOptions& o = line.options;
  if (o.maxConnections < 1 || o.maxConnections > kelvaro::SimOptions::kMaxConnections) std::abort();
  if (o.belts < 0 || o.belts > kelvaro::SimOptions::kMaxBelts) std::abort();
  for (const auto& loss : o.faults.linkLossOn) {
    if (loss.handle < 1 || loss.handle >= o.maxConnections || loss.afterMs == 0) std::abort();
  }
  for (const auto& own : o.beltTimelines) {
    if (own.belt < 0 || own.belt >= o.belts) std::abort();
  }
  if (!line.replayPath.isEmpty()) return 0;  // the capture file is not read here
  kelvaro::SimDongle dongle(o);
  std::uint32_t now = 0;
  dongle.advanceTo(now);
  for (int belt = 0; belt < std::min(o.belts, 2); ++belt) {
    QByteArray connect = QByteArray::fromHex("000F0603");
    const auto& address = dongle.belts()[std::size_t(belt)].address();
    connect.append(reinterpret_cast<const char*>(address.data()), 6);
    connect.append(QByteArray::fromHex("003C004C0064000000"));
    dongle.receive(connect);
    for (int ms = 0; ms < 500; ms += 10) dongle.advanceTo(now += 10);
    // Notifications on, on the handle the belt got.
    QByteArray set2 = QByteArray::fromHex("00060405001A00020100");
    set2[4] = char(belt == 0 ? 0 : 1);
    dongle.receive(set2);
    for (int ms = 0; ms < 500; ms += 10) dongle.advanceTo(now += 10);
    dongle.discardOutput();
  }
  return 0;
}
