// Feeds arbitrary bytes as the content of the breathing guide's exercises file through its
// reader. The first byte gives the length (0..7) of the selected user's name, taken from the bytes
// after it; the rest is the file. The checks hold for any file: damaged lines are numbered in
// order and named with the file, every exercise read is the selected user's and within what a
// line can hold, and its line written again reads back as the same line.
#include <QByteArray>
#include <QString>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "guide/GuideHistory.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t nameLength = std::min<std::size_t>(data[0] & 0x07, size - 1);
  const QString user = QString::fromUtf8(reinterpret_cast<const char*>(data + 1),
                                         static_cast<qsizetype>(nameLength));
  const QByteArray content(reinterpret_cast<const char*>(data + 1 + nameLength),
                           static_cast<qsizetype>(size - 1 - nameLength));
  const QString file = QStringLiteral("usr_guide.csv");
  const kelvaro::GuideHistory history = kelvaro::parseGuideHistory(content, user, file);

  int lastFault = 0;
  for (const kelvaro::GuideHistoryFault& fault : history.faults) {
    if (fault.lineNumber <= lastFault) std::abort();
    lastFault = fault.lineNumber;
    if (!fault.message.startsWith(file + QStringLiteral(", line "))) std::abort();
  }
  for (const kelvaro::GuideExercise& e : history.exercises) {
    if (e.user != user) std::abort();
    if (e.durationMs < 0 || e.durationMs >= 86400000) std::abort();
    if (e.longestFollowedMs < 0 || e.longestFollowedMs >= 86400000) std::abort();
    if (!(std::isfinite(e.pacePerMinute) && e.pacePerMinute > 0)) std::abort();
    if (e.scorePercent && (*e.scorePercent < 0 || *e.scorePercent > 100)) std::abort();
    if (!e.start.isValid()) std::abort();
    // A user's name with a ";" would be written with a "," and is no longer this user.
    if (user.contains(QLatin1Char(';'))) continue;
    const QByteArray again = kelvaro::guideLineBytes(e);
    const kelvaro::GuideHistory back = kelvaro::parseGuideHistory(again, user, file);
    if (!back.faults.empty() || back.exercises.size() != 1) std::abort();
    if (kelvaro::guideLine(back.exercises[0]) != kelvaro::guideLine(e)) std::abort();
  }
  kelvaro::scoreTrend(history.exercises);
  for (std::size_t i = 0; i < history.exercises.size(); ++i) {
    kelvaro::scoreChange(history.exercises, i);
  }
  return 0;
}
