#include "activity/ActivitySession.h"

#include <QDir>
#include <QFileInfo>
#include <QTimeZone>

#include "base/Formats.h"
#include "base/HistoryFile.h"

namespace kelvaro {

namespace {

// The record stores local wall-clock times, so the duration is their wall-clock difference: a
// session over a daylight-saving change is as long as the clocks on the wall say.
qint64 wallClockMilliseconds(const QDateTime& start, const QDateTime& stop) {
  const QDateTime from(start.date(), start.time(), QTimeZone::utc());
  const QDateTime to(stop.date(), stop.time(), QTimeZone::utc());
  return from.msecsTo(to);
}

// An entry of `dir` whose name equals `name` apart from letter case; the exact name wins.
QString findEntry(const QDir& dir, const QString& name, QDir::Filters filters) {
  if (QFileInfo(dir.filePath(name)).exists()) return name;
  const QStringList entries = dir.entryList(filters | QDir::NoDotAndDotDot | QDir::Hidden);
  for (const QString& entry : entries) {
    if (entry.compare(name, Qt::CaseInsensitive) == 0) return entry;
  }
  return {};
}

}  // namespace

QString sessionLine(const ActivitySession& session) {
  const QChar sep = QLatin1Char(';');
  QString line = fmt::formatDateTimeLong(session.start);
  line += sep;
  line += session.beltId;
  line += sep;
  line += session.user;
  line += sep;
  line += fmt::formatTimeOfDay(wallClockMilliseconds(session.start, session.stop));
  line += sep;
  line += session.motionActivity;
  line += sep;
  line += session.forceActivity;
  line += sep;
  line += session.motionAverage;
  line += sep;
  line += session.forceAverage;
  line += sep;
  return line;
}

QByteArray sessionLineBytes(const ActivitySession& session) {
  return sessionLine(session).toUtf8() + QByteArrayLiteral("\r\n");
}

QString historyFilePath(const QString& home) {
  const QDir homeDir(home);
  QString folder = findEntry(homeDir, QString::fromLatin1(kHistoryFolderName), QDir::Dirs);
  if (folder.isEmpty()) folder = QString::fromLatin1(kHistoryFolderName);
  const QDir dataDir(homeDir.filePath(folder));
  QString file = findEntry(dataDir, QString::fromLatin1(kHistoryFileName), QDir::Files);
  if (file.isEmpty()) file = QString::fromLatin1(kHistoryFileName);
  return dataDir.filePath(file);
}

void appendSession(const QString& home, const ActivitySession& session) {
  history::appendLine(historyFilePath(home), sessionLineBytes(session));
}

}  // namespace kelvaro
