#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

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
// procedure's "Connect Last" path to the same belt; "Disconnect" ends them.
class LinkPanel final : public QObject, public LinkGuardActions {
  Q_OBJECT

 public:
  static constexpr int kTickMs = 250;

  LinkPanel(TForm1& form, MonitorCore& core, ConnectionProcedure& connection,
            const TickSource& ticks, QObject* parent = nullptr);
  ~LinkPanel() override;

  LinkGuard& guard() { return guard_; }
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

  TForm1& form_;
  MonitorCore& core_;
  ConnectionProcedure& connection_;
  LinkGuard guard_;
  QTimer timer_;
  QLabel* statusLabel_ = nullptr;
};

}  // namespace kelvaro
