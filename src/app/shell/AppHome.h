#pragma once

#include <QString>

namespace kelvaro {

// Where Darev.ini, ComPort.ini and Data/ live: the folder given by --home; else the executable's
// folder when it is writable and the program is not installed (the portable layout); else the
// per-user configuration folder.
struct AppHome {
  static QString resolve(const QString& requested, const QString& executableDir);
};

}  // namespace kelvaro
