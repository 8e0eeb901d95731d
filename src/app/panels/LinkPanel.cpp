#include "app/panels/LinkPanel.h"

#include <QLabel>
#include <QStatusBar>

#include "link/ConnectionProcedure.h"
#include "link/DonglePort.h"
#include "link/PortSelection.h"
#include "monitor/MonitorCore.h"
#include "platform/PortCatalog.h"
#include "platform/SerialTransport.h"

namespace kelvaro {

LinkPanel::LinkPanel(Parts parts, QObject* parent)
    : QObject(parent),
      parts_(std::move(parts)),
      core_(parts_.core),
      connection_(parts_.connection),
      keeper_(
          parts_.port, core_.commands(), core_.link(), core_.console(),
          DongleKeeper::Hooks{[this] { return donglePort(); },
                              [this](const QString& name) { return openDongle(name); },
                              [this](bool) { showStatus(); }, [this] { core_.retryLinkSoon(); }}) {
  statusLabel_ = new QLabel(&parts_.statusBar);
  statusLabel_->setObjectName(QStringLiteral("LabelLink"));
  parts_.statusBar.addPermanentWidget(statusLabel_);
  statusLabel_->hide();
  core_.setReconnect([this](const QString& deviceId) { return reconnect(deviceId); });
  core_.addConsumer(*this);
  connect(&parts_.port, &SerialTransport::connectionLost, this, [this](const QString& reason) {
    // A reset takes the port away on purpose and brings it back itself.
    if (parts_.startedUp() && !connection_.busy()) {
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
  parts_.linkLostLabel.setText(text);
  parts_.linkLostLabel.setVisible(!text.isEmpty());
  showStatus();
}

void LinkPanel::showStatus() {
  const QString text = keeper_.gone() ? kDongleGoneText : lostText_;
  statusLabel_->setText(text);
  statusLabel_->setVisible(!text.isEmpty());
  // The last readings stay on screen; they must not pass for current ones.
  if (!text.isEmpty()) parts_.showNotCurrent(text);
}

QString LinkPanel::donglePort() const {
  const PortSelection* selection = parts_.portSelection();
  if (selection == nullptr) return QString();
  const PortCatalog* catalog = parts_.catalog;
  if (parts_.autoComPort() && !selection->portForced() && catalog != nullptr) {
    for (const SerialPortRecord& r : catalog->presentPorts()) {
      if (isDongleUsbDevice(r)) return r.portName;
    }
  }
  return selection->config().port;
}

bool LinkPanel::openDongle(const QString& name) {
  const PortSelection* selection = parts_.portSelection();
  return selection != nullptr && parts_.port.open(name, selection->config().settings);
}

void LinkPanel::linkChanged(const LinkChange& change) {
  showLost(change.event == LinkEvent::Lost ? lostText(change.deviceId) : QString());
}

bool LinkPanel::reconnect(const QString& deviceId) {
  // Without the dongle no attempt can get anywhere; it is waited for first.
  if (keeper_.gone() || !parts_.port.isOpen()) return false;
  bool made = false;
  parts_.guarded([&] { made = connection_.reconnect(deviceId); });
  return made;
}

}  // namespace kelvaro
