#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace kelvaro {

// The history file lives in this folder of the program's home, one line per finished session.
inline constexpr char kHistoryFolderName[] = "Data";
inline constexpr char kHistoryFileName[] = "usr_act.csv";

// One finished activity session: one line of usr_act.csv. The value texts are taken as the
// activity monitor shows them at the stop ("#0.00", or "---" before the first block).
struct ActivitySession {
  QDateTime start;
  QDateTime stop;
  QString beltId;  // the "Last ID" text
  QString user;
  QString motionActivity;
  QString forceActivity;
  QString motionAverage;
  QString forceAverage;
};

// The session's line without its line end:
//   "HH:MM:SS DD.MM.YYYY;belt;user;HH:MM:SS;motion;force;motion avg;force avg;"
// The duration is the wall-clock difference of the two local times with whole days dropped, so
// 25 hours read 01:00:00. Texts are written as they are: a ";" in a name shifts the fields when
// the line is read back, a space does not.
QString sessionLine(const ActivitySession& session);

// The bytes appended to the history file: the line in UTF-8 followed by CR LF.
QByteArray sessionLineBytes(const ActivitySession& session);

// The history file of a home folder. A "data" folder or a "USR_ACT.CSV" file that came over from
// a case-insensitive file system is the same file; otherwise the names above are used.
QString historyFilePath(const QString& home);

// Appends the session's line to the history file of `home`, creating the folder (one level) and
// the file when they are missing. Throws kelvaro::Error naming the path when the folder cannot be
// created or the file cannot be opened or written; nothing is kept open either way, so the caller
// can keep the session open and try again.
void appendSession(const QString& home, const ActivitySession& session);

}  // namespace kelvaro
