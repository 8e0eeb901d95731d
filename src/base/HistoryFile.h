#pragma once

#include <QByteArray>
#include <QString>

// The program's history files (the activity sessions, the breathing guide's exercises): lines
// appended one at a time, read back line by line whatever the line ends.
namespace kelvaro::history {

// Appends a whole line to path, creating its folder (the home's Data/, in a home that exists) and
// the file when missing, and syncs it to the disk before returning. Throws Error ("Unable to create
// the folder …", "Unable to open … for appending: …", "Unable to write to …") with absolute paths.
void appendLine(const QString& path, const QByteArray& line);

// Where the line that starts at `begin` ends (before its CR, LF or CR LF) and where the next one
// starts.
struct LineBounds {
  qsizetype end = 0;
  qsizetype next = 0;
};
LineBounds lineAt(const QByteArray& content, qsizetype begin);

}  // namespace kelvaro::history
