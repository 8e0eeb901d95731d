#pragma once

#include <QString>

#include "link/ComPortSettings.h"

namespace kelvaro {

class CommandSender;
class ConsoleLog;
class DongleNotFoundExit;
class PortCatalog;
class SerialTransport;

// Chooses the dongle's port at start, opens it and starts a discovery; owns the port's
// configuration ("ComPort1") for the rest of the run.
//
// A forced port (the simulator's "SIM") is used whatever ComPort.ini and automatic discovery
// say, and is never written into ComPort.ini.
class PortSelection {
 public:
  // The port name that stands for "no dongle found".
  static inline const QString kNotFoundPort = QStringLiteral("COM255");

  // catalog may be null: the system cannot list its ports, and discovery is skipped.
  PortSelection(const PortCatalog* catalog, SerialTransport& port, ConsoleLog& console,
                CommandSender& commands, DongleNotFoundExit& dongleNotFound, QString comPortIniPath,
                QString forcedPort = QString());

  // The start-up sequence: discovery in automatic mode, ComPort.ini, the port name, the open
  // and the first discover command. Returns true with the port open and the discover sent;
  // false when the dongle-not-found exit has run (exit 4: the name is "COM255", that is nothing
  // found in automatic mode or the file names it; exit 2: the port does not open). Setting the
  // check box, hiding "Set Com" and the pages are the window's part. A failing discover write
  // throws kelvaro::Error; the watchdog then ends the run.
  bool selectAtStart(bool autoComPort);

  const ComPortConfig& config() const { return config_; }
  // What the automatic discovery found: empty when nothing, or when it did not run.
  const QString& foundPort() const { return found_; }
  bool portForced() const { return !forcedPort_.isEmpty(); }

  // Takes new settings at once: an open port is reopened with them (under a new name if the name
  // changed); a closed one keeps them for the next open. A port that does not reopen throws
  // kelvaro::Error and stays closed.
  void applyConfig(const ComPortConfig& config);

  // Writes config into ComPort.ini, unless the port is forced. Throws kelvaro::Error when the
  // file cannot be written.
  void storeConfig(const ComPortConfig& config) const;

 private:
  const PortCatalog* catalog_;
  SerialTransport& port_;
  ConsoleLog& console_;
  CommandSender& commands_;
  DongleNotFoundExit& dongleNotFound_;
  QString comPortIniPath_;
  QString forcedPort_;
  ComPortConfig config_;
  QString found_;
};

}  // namespace kelvaro
