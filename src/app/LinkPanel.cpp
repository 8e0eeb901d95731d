#include "app/LinkPanel.h"

#include <QLabel>
#include <QStatusBar>
#include <algorithm>
#include <optional>

#include "app/BreathingPanel.h"
#include "app/LiveGraphPage.h"
#include "app/MainWindow.h"
#include "link/ConnectionProcedure.h"
#include "link/DonglePort.h"
#include "link/DongleWatchdog.h"
#include "link/PortSelection.h"
#include "monitor/MonitorCore.h"
#include "platform/PortCatalog.h"
#include "platform/SerialTransport.h"

namespace kelvaro {

LinkPanel::LinkPanel(TForm1& form, MonitorCore& core, ConnectionProcedure& connection,
                     const TickSource& ticks, QObject* parent)
    : QObject(parent),
      form_(form),
      core_(core),
      connection_(connection),
      guard_(ticks, core.console(), *this),
      keeper_(*form.environment().port, core.commands(), core.link(), core.console(),
              DongleKeeper::Hooks{[this] { return donglePort(); },
                                  [this](const QString& name) { return openDongle(name); },
                                  [this](bool) { showStatus(); },
                                  [this] {
                                    guard_.retrySoon();
                                    scheduleGuard();
                                  }}) {
  statusLabel_ = new QLabel(&form);
  statusLabel_->setObjectName(QStringLiteral("LabelLink"));
  form.statusBar()->addPermanentWidget(statusLabel_);
  statusLabel_->hide();
  core.dispatcher().setDisconnectedHandler([this](std::uint16_t reason) {
    guard_.disconnectedEvent(reason);
    scheduleGuard();
  });
  connect(form.environment().port, &SerialTransport::connectionLost, this,
          [this](const QString& reason) {
            // A reset takes the port away on purpose and brings it back itself.
            if (form_.watchdog() && form_.watchdog()->startedUp() && !connection_.busy()) {
              keeper_.lost(reason);
            }
          });
  timer_.setSingleShot(true);
  connect(&timer_, &QTimer::timeout, this, [this] {
    guard_.tick();
    scheduleGuard();
  });
}

LinkPanel::~LinkPanel() { core_.dispatcher().setDisconnectedHandler(nullptr); }

QString LinkPanel::lostText(const QString& deviceId) {
  return QStringLiteral("Belt %1 out of reach \u2014 reconnecting\u2026").arg(deviceId);
}

void LinkPanel::showLost(const QString& text) {
  lostText_ = text;
  auto* label = form_.TabSheetGraf->LabelLinkLost;
  label->setText(text);
  label->setVisible(!text.isEmpty());
  showStatus();
}

void LinkPanel::showStatus() {
  const QString text = keeper_.gone() ? kDongleGoneText : lostText_;
  statusLabel_->setText(text);
  statusLabel_->setVisible(!text.isEmpty());
}

void LinkPanel::scheduleGuard() {
  // Notifications move the end of a silence on without touching the timer: a look that comes
  // before it only sets the timer again.
  const std::optional<std::uint32_t> due = guard_.msUntilDue();
  if (!due) {
    timer_.stop();
    return;
  }
  timer_.start(static_cast<int>(std::max<std::uint32_t>(*due, kTickMs)));
}

QString LinkPanel::donglePort() const {
  const PortSelection* selection = form_.portSelection();
  if (selection == nullptr) return QString();
  const PortCatalog* catalog = form_.environment().catalog;
  if (form_.autoComPort() && !selection->portForced() && catalog != nullptr) {
    for (const SerialPortRecord& r : catalog->presentPorts()) {
      if (isDongleUsbDevice(r)) return r.portName;
    }
  }
  return selection->config().port;
}

bool LinkPanel::openDongle(const QString& name) {
  const PortSelection* selection = form_.portSelection();
  return selection != nullptr && form_.environment().port->open(name, selection->config().settings);
}

void LinkPanel::connected(const QString& deviceId) {
  guard_.connected(deviceId);
  scheduleGuard();
  showLost(QString());
}

void LinkPanel::userDisconnected() {
  guard_.userDisconnected();
  scheduleGuard();
  showLost(QString());
}

void LinkPanel::linkLost(const QString& deviceId, const QString& /*reason*/) {
  core_.graph().breakLine();
  form_.breathingPanel()->noBelt();
  showLost(lostText(deviceId));
}

void LinkPanel::linkBack(const QString& /*deviceId*/) { showLost(QString()); }

bool LinkPanel::reconnect(const QString& deviceId) {
  // Without the dongle no attempt can get anywhere; it is waited for first.
  if (keeper_.gone() || !form_.environment().port->isOpen()) return false;
  bool made = false;
  form_.guarded([&] { made = connection_.reconnect(deviceId); });
  return made;
}

}  // namespace kelvaro
