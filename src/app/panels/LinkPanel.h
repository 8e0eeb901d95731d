#pragma once

#include <QObject>
#include <QString>

#include "link/DongleKeeper.h"
#include "monitor/MeasurementConsumer.h"

class QLabel;

namespace kelvaro {

class ConnectionProcedure;
class MonitorCore;
class MainWindow;

// A lost link in the window. The core's link guard notices it and has it mended through the
// connection procedure; this panel shows what the person sees meanwhile:  "Belt <id> out of reach —
// reconnecting…" in the status bar and above the live chart, a break in the chart's line where the
// data stopped, (the guard's console line gives the reason). The attempts are the connection
// procedure's "Connect Last" path to the same belt; "Disconnect" ends them. A dongle pulled out
// after the start-up is waited for ("Dongle gone" in the status bar), opened again when it is
// back, and the belt then connected again.
class LinkPanel final : public QObject, public MeasurementConsumer {
  Q_OBJECT

 public:
  // Registers with the core, which must outlive it.
  LinkPanel(MainWindow& form, MonitorCore& core, ConnectionProcedure& connection,
            QObject* parent = nullptr);
  ~LinkPanel() override;

  // Brings the dongle back when it goes away after the start-up.
  DongleKeeper& keeper() { return keeper_; }
  static inline const QString kDongleGoneText =
      QStringLiteral("Dongle gone \u2014 waiting for it to come back\u2026");
  // "Belt 000780008D83 out of reach — reconnecting…"
  static QString lostText(const QString& deviceId);

  void linkChanged(const LinkChange& change) override;

 private:
  bool reconnect(const QString& deviceId);
  void showLost(const QString& text);
  void showStatus();
  // The port to try for the dongle: in automatic mode the one with its USB identity, if any;
  // otherwise the configured one.
  QString donglePort() const;
  bool openDongle(const QString& name);

  MainWindow& form_;
  MonitorCore& core_;
  ConnectionProcedure& connection_;
  DongleKeeper keeper_;
  QString lostText_;
  QLabel* statusLabel_ = nullptr;
};

}  // namespace kelvaro
