#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include "link/DongleKeeper.h"
#include "link/LinkGuard.h"

class QLabel;

namespace kelvaro {

class ConnectionProcedure;
class MonitorCore;
class TickSource;
class TForm1;

// A lost link in the window: the guard that notices it and has it mended, and what the person
// sees meanwhile: a console line with the reason, "Belt <id> out of reach — reconnecting…" in
// the status bar and above the live chart, a break in the chart's line where the data stopped,
// and the breathing read-outs cleared (a silence is no apnea). The attempts are the connection
// procedure's "Connect Last" path to the same belt; "Disconnect" ends them. A dongle pulled out
// after the start-up is waited for ("Dongle gone" in the status bar), opened again when it is
// back, and the belt then connected again.
class LinkPanel final : public QObject, public LinkGuardActions {
  Q_OBJECT

 public:
  // The guard is looked at no more often than this, and only when it has something to notice.
  static constexpr int kTickMs = 250;

  LinkPanel(TForm1& form, MonitorCore& core, ConnectionProcedure& connection,
            const TickSource& ticks, QObject* parent = nullptr);
  ~LinkPanel() override;

  LinkGuard& guard() { return guard_; }
  // The timer that has the guard look at the link.
  QTimer& guardTimer() { return timer_; }
  // Brings the dongle back when it goes away after the start-up.
  DongleKeeper& keeper() { return keeper_; }
  static inline const QString kDongleGoneText =
      QStringLiteral("Dongle gone \u2014 waiting for it to come back\u2026");
  // A connect of the user's made the connection to deviceId: it is watched from now on.
  void connected(const QString& deviceId);
  // The user's Disconnect: nothing is watched or tried any more.
  void userDisconnected();
  // "Belt 000780008D83 out of reach — reconnecting…"
  static QString lostText(const QString& deviceId);

  void linkLost(const QString& deviceId, const QString& reason) override;
  void linkBack(const QString& deviceId) override;
  bool reconnect(const QString& deviceId) override;

 private:
  void showLost(const QString& text);
  // Sets the guard's timer for its next due time (or stops it when nothing is watched).
  void scheduleGuard();
  void showStatus();
  // The port to try for the dongle: in automatic mode the one with its USB identity, if any;
  // otherwise the configured one.
  QString donglePort() const;
  bool openDongle(const QString& name);

  TForm1& form_;
  MonitorCore& core_;
  ConnectionProcedure& connection_;
  LinkGuard guard_;
  DongleKeeper keeper_;
  QString lostText_;
  QTimer timer_;
  QLabel* statusLabel_ = nullptr;
};

}  // namespace kelvaro
