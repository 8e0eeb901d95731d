#pragma once

#include <QObject>
#include <QString>
#include <array>
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
    LinkKeeper::Parts keeper;  // what the link keeper it runs uses
    QStatusBar& statusBar;     // where "LabelLink" goes
    QLabel& linkLostLabel;     // the band above the live chart
    // The read-outs shown as not current, with the reason in words.
    std::function<void(const QString& why)> showNotCurrent;
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
  void showLost(int belt, const QString& text);
  void showStatus();

  Parts parts_;
  MonitorCore& core_;
  LinkKeeper link_;
  // Each belt's line while it is out of reach, and all of them.
  std::array<QString, kMaxBelts> lost_;
  QString lostText_;
  QLabel* statusLabel_ = nullptr;
};

}  // namespace kelvaro
