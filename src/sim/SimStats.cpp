#include "sim/SimStats.h"

#include "sim/SimDongle.h"

namespace kelvaro {

QString simStatsLine(const SimDongle& dongle) {
  const SimDongle::Counters& c = dongle.counters();
  const BeltModel* belt = nullptr;
  for (const BeltModel& b : dongle.belts()) {
    if (belt == nullptr || b.samples() > belt->samples()) belt = &b;
  }
  const auto rate = belt != nullptr ? belt->breathingRate() : std::nullopt;
  return QStringLiteral(
             "stats t=%1 notifications=%2 wire=%3 dropped=%4 lost=%5 txlost=%6 waiting=%7 "
             "breaths=%8 rate=%9")
      .arg(double(dongle.elapsedMs()) / 1000.0, 0, 'f', 3)
      .arg(c.notifications)
      .arg(c.bytesSent)
      .arg(c.bytesDropped)
      .arg(c.outputLost)
      .arg(c.packetsLost)
      .arg(dongle.outputSize())
      .arg(belt != nullptr ? belt->breaths() : 0)
      .arg(rate ? QString::number(*rate, 'f', 1) : QStringLiteral("none"));
}

}  // namespace kelvaro
