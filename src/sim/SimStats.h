#pragma once

#include <QString>
#include <QStringList>

namespace kelvaro {

class SimDongle;

// The line kelvaro-belt-sim --stats prints once a second: "stats t=S notifications=N wire=B
// dropped=B lost=B txlost=P waiting=B breaths=N rate=R". The counters are the dongle's; breaths
// and rate are the truth of the belt that has streamed the most (the wearer's breaths so far and
// breaths a minute with one decimal, or "none" while the belt knows no rate).
QString simStatsLine(const SimDongle& dongle);
// While more than one connection is open, a line for each that follows the stats line:
// "connection H belt DEVICEID samples=N breaths=N rate=R", the belt's samples sent so far and its
// truth as above; with one connection or none, no lines (the stats line tells it all).
QStringList simConnectionStatsLines(const SimDongle& dongle);

}  // namespace kelvaro
