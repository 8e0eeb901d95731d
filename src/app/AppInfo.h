#pragma once

#include <QString>

namespace kelvaro {

// What the program calls itself, in the About box and on the command line.
struct AppInfo {
  static QString productName() { return QStringLiteral("KELVARO monitor"); }
  static QString versionNumber() { return QStringLiteral("3.24"); }
  static QString versionText() { return QStringLiteral("Version 3.24   2018"); }
};

}  // namespace kelvaro
