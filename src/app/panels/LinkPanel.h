#pragma once

#include <QObject>
#include <QString>
#include <functional>

#include "link/DongleKeeper.h"
#include "monitor/LinkKeeper.h"
#include "monitor/MeasurementConsumer.h"

class QLabel;
class QStatusBar;

namespace kelvaro {

class ConnectionProcedure;
class MonitorCore;
class PortCatalog;
class PortSelection;
class SerialTransport;

// A lost link in the window. The core's link guard notices it and the link keeper (monitor/) mends
// it through the connection procedure; this panel shows what the person sees meanwhile:  "Belt <id>
// out of reach — reconnecting…" in the status bar and above the live chart, a break in the chart's
// line where the data stopped, (the guard's console line gives the reason). The attempts are the
// connection procedure's "Connect Last" path to the same belt; "Disconnect" ends them. A dongle
// pulled out after the start-up is waited for ("Dongle gone" in the status bar), opened again when
// it is back, and the belt then connected again.
class LinkPanel final : public QObject, public MeasurementConsumer {
  Q_OBJECT

 public:
  // The few things the panel uses; all must outlive it.
  struct Parts {
    MonitorCore& core;
    ConnectionProcedure& connection;
    SerialTransport& port;       // the dongle's port
    const PortCatalog* catalog;  // the system's ports; none in some tests
    QStatusBar& statusBar;       // where "LabelLink" goes
    QLabel& linkLostLabel;       // the band above the live chart
    // The port selection once the start-up has made it (null before), whether the port is
    // chosen automatically, and whether the start-up is over (a reset's lost port is no loss).
    std::function<const PortSelection*()> portSelection;
    std::function<bool()> autoComPort;
    std::function<bool()> startedUp;
    // The read-outs shown as not current, with the reason in words.
    std::function<void(const QString& why)> showNotCurrent;
    // Runs an action with the window's error report around it.
    std::function<void(const std::function<void()>& action)> guarded;
  };

  // Registers with the core, which must outlive it.
  explicit LinkPanel(Parts parts, QObject* parent = nullptr);
  ~LinkPanel() override;

  // Brings the dongle back when it goes away after the start-up.
  DongleKeeper& keeper() { return link_.dongle(); }
  static inline const QString kDongleGoneText =
      QStringLiteral("Dongle gone \u2014 waiting for it to come back\u2026");
  // "Belt 000780008D83 out of reach — reconnecting…"
  static QString lostText(const QString& deviceId);

  void linkChanged(const LinkChange& change) override;

 private:
  void showLost(const QString& text);
  void showStatus();

  Parts parts_;
  MonitorCore& core_;
  LinkKeeper link_;
  QString lostText_;
  QLabel* statusLabel_ = nullptr;
};

}  // namespace kelvaro
