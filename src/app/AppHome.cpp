#include "app/AppHome.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace kelvaro {
namespace {

bool canCreateFilesIn(const QString& dir) {
  // QFileInfo::isWritable ignores ACLs and read-only mounts; trying is the only honest test.
  QTemporaryFile probe(QDir(dir).filePath(QStringLiteral(".kelvaro-write-test-XXXXXX")));
  return probe.open();
}

}  // namespace

QString AppHome::resolve(const QString& requested, const QString& executableDir) {
  if (!requested.isEmpty()) {
    QDir().mkpath(requested);
    return QFileInfo(requested).absoluteFilePath();
  }
  if (canCreateFilesIn(executableDir)) return QFileInfo(executableDir).absoluteFilePath();
  QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (config.isEmpty()) config = QDir::homePath() + QStringLiteral("/.config");
  const QString home = config + QStringLiteral("/kelvaro-monitor");
  QDir().mkpath(home);
  return home;
}

}  // namespace kelvaro
