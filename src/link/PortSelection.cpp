#include "link/PortSelection.h"

#include <utility>

#include "base/Errors.h"
#include "link/CommandSender.h"
#include "link/DongleNotFoundExit.h"
#include "link/DonglePort.h"
#include "platform/SerialTransport.h"

namespace kelvaro {

PortSelection::PortSelection(const PortCatalog* catalog, SerialTransport& port, ConsoleLog& console,
                             CommandSender& commands, DongleNotFoundExit& dongleNotFound,
                             QString comPortIniPath, QString forcedPort)
    : catalog_(catalog),
      port_(port),
      console_(console),
      commands_(commands),
      dongleNotFound_(dongleNotFound),
      comPortIniPath_(std::move(comPortIniPath)),
      forcedPort_(std::move(forcedPort)) {}

bool PortSelection::selectAtStart(bool autoComPort) {
  found_.clear();
  const bool discover = autoComPort && !portForced();
  if (discover && catalog_ != nullptr) found_ = FindDonglePort(*catalog_, console_);
  // The file is read in automatic mode too: it still gives the line settings.
  loadComPortIni(comPortIniPath_, config_);
  if (portForced()) {
    config_.port = forcedPort_;
  } else if (discover) {
    config_.port = found_.isEmpty() ? kNotFoundPort : found_;
  }

  if (config_.port == kNotFoundPort) {
    dongleNotFound_.run(DongleNotFoundExit::kNothingFound);
    return false;
  }
  if (!port_.open(config_.port, config_.settings)) {
    dongleNotFound_.run(DongleNotFoundExit::kOpenFailed);
    return false;
  }
  commands_.sendDiscover();
  return true;
}

void PortSelection::applyConfig(const ComPortConfig& config) {
  const bool reopen = port_.isOpen() && config != config_;
  config_ = config;
  if (!reopen) return;
  port_.close();
  if (!port_.open(config_.port, config_.settings)) {
    throw Error(
        QStringLiteral("Cannot open %1: %2").arg(config_.port, port_.errorString()).toStdString());
  }
}

void PortSelection::storeConfig(const ComPortConfig& config) const {
  if (portForced()) return;
  saveComPortIni(comPortIniPath_, config);
}

}  // namespace kelvaro
