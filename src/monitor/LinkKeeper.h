#pragma once

#include <QObject>
#include <QString>
#include <functional>

#include "link/DongleKeeper.h"

namespace kelvaro {

class ConnectionProcedure;
class MonitorCore;
class PortCatalog;
class PortSelection;
class SerialTransport;

// The link kept up whether or not anyone watches: a lost link is mended through the connection
// procedure (its "Connect Last" path to the same belt, as the core's guard asks), and a dongle
// pulled out after the start-up is waited for, opened again when it is back (the configured port,
// or in automatic mode whatever port carries its USB identity now) and the belt then connected
// again. "Dongle gone" and "Dongle back" go to the core's consumers as events. The window shows
// the state; the headless recorder runs it alone.
class LinkKeeper final : public QObject {
  Q_OBJECT

 public:
  // The few things the keeper uses; all must outlive it.
  struct Parts {
    MonitorCore& core;
    ConnectionProcedure& connection;
    SerialTransport& port;       // the dongle's port
    const PortCatalog* catalog;  // the system's ports; none in some tests
    // The port selection once the start-up has made it (null before), whether the port is
    // chosen automatically, and whether the start-up is over (a reset's lost port is no loss).
    std::function<const PortSelection*()> portSelection;
    std::function<bool()> autoComPort;
    std::function<bool()> startedUp;
    // Runs an attempt with the owner's error report around it.
    std::function<void(const std::function<void()>& action)> guarded;
  };

  // Mends the core's lost links from now on; the core must outlive the keeper.
  explicit LinkKeeper(Parts parts, QObject* parent = nullptr);
  ~LinkKeeper() override;

  // Ticked every second by the dongle watchdog.
  DongleKeeper& dongle() { return dongle_; }
  bool dongleGone() const { return dongle_.gone(); }
  // Called when the dongle goes or comes back, after the event went to the consumers.
  void setDongleShown(std::function<void(bool gone)> shown) { shown_ = std::move(shown); }

 private:
  bool reconnect(const QString& deviceId);
  void dongleChanged(bool gone);
  // The port to try for the dongle: in automatic mode the one with its USB identity, if any;
  // otherwise the configured one.
  QString donglePort() const;
  bool openDongle(const QString& name);

  Parts parts_;
  DongleKeeper dongle_;
  std::function<void(bool gone)> shown_;
};

}  // namespace kelvaro
