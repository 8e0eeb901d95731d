// Feeds arbitrary bytes as the content of a history file through the reader. The first byte
// gives the length (0..7) of the selected user's name, taken from the bytes after it; the rest is
// the file. The checks hold for any file: every line reaches the console, a fault ends the read
// without totals, and every point and total is within what a line can hold.
#include <QByteArray>
#include <QString>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "activity/ActivityHistory.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t nameLength = std::min<std::size_t>(data[0] & 0x07, size - 1);
  const QString user = QString::fromUtf8(reinterpret_cast<const char*>(data + 1),
                                         static_cast<qsizetype>(nameLength));
  const QByteArray content(reinterpret_cast<const char*>(data + 1 + nameLength),
                           static_cast<qsizetype>(size - 1 - nameLength));

  int lines = 0;
  const kelvaro::HistoryReport report = kelvaro::parseHistory(
      content, user,
      [&lines](const QString& line) {
        if (line.contains(QLatin1Char('\r')) || line.contains(QLatin1Char('\n'))) std::abort();
        ++lines;
      },
      QStringLiteral("usr_act.csv"));

  if (report.fault.has_value() == report.totals.has_value()) std::abort();
  if (report.fault) {
    if (report.fault->lineNumber != lines) std::abort();
    if (static_cast<int>(report.points.size()) >= lines) std::abort();
  } else {
    if (report.totals->count != lines) std::abort();
    if (static_cast<int>(report.points.size()) > lines) std::abort();
    const std::int64_t durationMs = report.totals->durationMs;
    if (durationMs < 0 || (lines == 0 && durationMs != 0)) std::abort();
    if (lines > 0 && durationMs >= lines * 86400000LL) std::abort();
    if (lines == 0 && report.totals->averageText != QStringLiteral("0.00")) std::abort();
  }
  for (std::size_t i = 0; i < report.points.size(); ++i) {
    const kelvaro::HistoryPoint& point = report.points[i];
    if (point.x != static_cast<int>(i)) std::abort();
    if (point.label.size() != 14) std::abort();  // "HH:MM DD.MM.YY"
    if (!(point.minutes >= 0 && point.minutes < 24 * 60)) std::abort();
    if (!std::isfinite(point.forceAverage) || !std::isfinite(point.motionAverage)) std::abort();
  }

  kelvaro::HistoryPaging paging;
  paging.setPointCount(static_cast<int>(report.points.size()));
  for (int i = 0; i < 3; ++i) paging.right();
  if (paging.firstIndex() > paging.endIndex()) std::abort();
  if (paging.endIndex() > static_cast<int>(report.points.size())) std::abort();
  return 0;
}
