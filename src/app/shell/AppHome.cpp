#include "app/shell/AppHome.h"

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

// An installed program (its bin/ folder beside share/kelvaro-monitor) keeps a home per user, also
// when its folder is writable: for root, or in a prefix the user owns such as ~/.local.
bool isInstalled(const QString& executableDir) {
  return QFileInfo(QDir(executableDir).filePath(QStringLiteral("../share/kelvaro-monitor")))
      .isDir();
}

}  // namespace

QString AppHome::resolve(const QString& requested, const QString& executableDir) {
  if (!requested.isEmpty()) {
    QDir().mkpath(requested);
    return QFileInfo(requested).absoluteFilePath();
  }
  if (!isInstalled(executableDir) && canCreateFilesIn(executableDir)) {
    return QFileInfo(executableDir).absoluteFilePath();
  }
  QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (config.isEmpty()) config = QDir::homePath() + QStringLiteral("/.config");
  const QString home = config + QStringLiteral("/kelvaro-monitor");
  QDir().mkpath(home);
  return home;
}

}  // namespace kelvaro
