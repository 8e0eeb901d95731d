#include "app/panels/LinkPanel.h"

#include <QLabel>
#include <QStatusBar>

#include "app/MainWindow.h"
#include "app/WindowViews.h"
#include "app/pages/LiveGraphPage.h"
#include "link/ConnectionProcedure.h"
#include "link/DonglePort.h"
#include "link/DongleWatchdog.h"
#include "link/PortSelection.h"
#include "monitor/MonitorCore.h"
#include "platform/PortCatalog.h"
#include "platform/SerialTransport.h"

namespace kelvaro {

LinkPanel::LinkPanel(MainWindow& form, MonitorCore& core, ConnectionProcedure& connection,
                     QObject* parent)
    : QObject(parent),
      form_(form),
      core_(core),
      connection_(connection),
      keeper_(
          *form.environment().port, core.commands(), core.link(), core.console(),
          DongleKeeper::Hooks{[this] { return donglePort(); },
                              [this](const QString& name) { return openDongle(name); },
                              [this](bool) { showStatus(); }, [this] { core_.retryLinkSoon(); }}) {
  statusLabel_ = new QLabel(&form);
  statusLabel_->setObjectName(QStringLiteral("LabelLink"));
  form.statusBar()->addPermanentWidget(statusLabel_);
  statusLabel_->hide();
  core.setReconnect([this](const QString& deviceId) { return reconnect(deviceId); });
  core.addConsumer(*this);
  connect(form.environment().port, &SerialTransport::connectionLost, this,
          [this](const QString& reason) {
            // A reset takes the port away on purpose and brings it back itself.
            if (form_.watchdog() && form_.watchdog()->startedUp() && !connection_.busy()) {
              keeper_.lost(reason);
            }
          });
}

LinkPanel::~LinkPanel() {
  core_.removeConsumer(*this);
  core_.setReconnect(nullptr);
}

QString LinkPanel::lostText(const QString& deviceId) {
  return QStringLiteral("Belt %1 out of reach \u2014 reconnecting\u2026").arg(deviceId);
}

void LinkPanel::showLost(const QString& text) {
  lostText_ = text;
  auto* label = form_.liveGraphPage->linkLostLabel;
  label->setText(text);
  label->setVisible(!text.isEmpty());
  showStatus();
}

void LinkPanel::showStatus() {
  const QString text = keeper_.gone() ? kDongleGoneText : lostText_;
  statusLabel_->setText(text);
  statusLabel_->setVisible(!text.isEmpty());
  // The last readings stay on screen; they must not pass for current ones.
  if (!text.isEmpty()) form_.readouts().showNotCurrent(text);
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

void LinkPanel::linkChanged(const LinkChange& change) {
  showLost(change.event == LinkEvent::Lost ? lostText(change.deviceId) : QString());
}

bool LinkPanel::reconnect(const QString& deviceId) {
  // Without the dongle no attempt can get anywhere; it is waited for first.
  if (keeper_.gone() || !form_.environment().port->isOpen()) return false;
  bool made = false;
  form_.guarded([&] { made = connection_.reconnect(deviceId); });
  return made;
}

}  // namespace kelvaro
