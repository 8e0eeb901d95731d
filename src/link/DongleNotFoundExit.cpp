#include "link/DongleNotFoundExit.h"

#include <QString>
#include <utility>

#include "base/ConsoleLog.h"
#include "base/Errors.h"
#include "base/SettingsFile.h"

namespace kelvaro {

DongleNotFoundExit::DongleNotFoundExit(SettingsFile& settings, ConsoleLog& console,
                                       ShowDialog showDialog, EndProcess endProcess)
    : settings_(settings),
      console_(console),
      showDialog_(std::move(showDialog)),
      endProcess_(std::move(endProcess)) {}

void DongleNotFoundExit::run(int exitCode) {
  showDialog_();
  try {
    settings_.writeBool(QStringLiteral("GLOBAL"), QStringLiteral("AutoComPort"), false);
  } catch (const Error& error) {
    // A run without a dongle ends all the same; the next start simply tries discovery again.
    console_.append(QString::fromStdString(error.what()));
  }
  endProcess_(exitCode);
}

}  // namespace kelvaro
