#include "base/HistoryFile.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>

#include "base/Errors.h"

namespace kelvaro::history {
namespace {

QString absolute(const QString& path) { return QFileInfo(path).absoluteFilePath(); }

}  // namespace

void appendLine(const QString& path, const QByteArray& line) {
  const QString folder = QFileInfo(path).path();
  // Only the last folder is made: a home that is not there is an error, not a new tree.
  if (!QFileInfo(folder).isDir() && !QDir().mkdir(folder)) {
    throw Error(
        QStringLiteral("Unable to create the folder %1").arg(absolute(folder)).toStdString());
  }
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
    throw Error(QStringLiteral("Unable to open %1 for appending: %2")
                    .arg(absolute(path), file.errorString())
                    .toStdString());
  }
  bool written = file.write(line) == line.size() && file.flush();
  // On the disk before the caller says it is kept (EINVAL: a file system that cannot sync).
  if (written && ::fsync(file.handle()) != 0 && errno != EINVAL) written = false;
  file.close();
  if (!written || file.error() != QFileDevice::NoError) {
    throw Error(QStringLiteral("Unable to write to %1").arg(absolute(path)).toStdString());
  }
}

LineBounds lineAt(const QByteArray& content, qsizetype begin) {
  const qsizetype size = content.size();
  qsizetype end = begin;
  while (end < size && content[end] != '\r' && content[end] != '\n') ++end;
  qsizetype next = end;
  if (next < size) {
    ++next;
    if (content[end] == '\r' && next < size && content[next] == '\n') ++next;
  }
  return {end, next};
}

}  // namespace kelvaro::history
