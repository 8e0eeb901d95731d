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

namespace {

QString rateText(const BeltModel& belt) {
  const auto rate = belt.breathingRate();
  return rate ? QString::number(*rate, 'f', 1) : QStringLiteral("none");
}

}  // namespace

QStringList simConnectionStatsLines(const SimDongle& dongle) {
  QStringList lines;
  for (int handle = 0; handle < dongle.maxConnections(); ++handle) {
    const int index = dongle.connectionBelt(handle);
    if (index < 0 || dongle.link(handle) != SimDongle::Link::Connected) continue;
    const BeltModel& belt = dongle.belts()[std::size_t(index)];
    lines << QStringLiteral("connection %1 belt %2 samples=%3 breaths=%4 rate=%5")
                 .arg(handle)
                 .arg(dongle.beltDeviceId(index))
                 .arg(belt.samples())
                 .arg(belt.breaths())
                 .arg(rateText(belt));
  }
  if (lines.size() < 2) lines.clear();
  return lines;
}

}  // namespace kelvaro
