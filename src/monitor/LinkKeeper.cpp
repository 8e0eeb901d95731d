#include "monitor/LinkKeeper.h"

#include "link/ConnectionProcedure.h"
#include "link/DonglePort.h"
#include "link/PortSelection.h"
#include "monitor/MonitorCore.h"
#include "platform/PortCatalog.h"
#include "platform/SerialTransport.h"

namespace kelvaro {

LinkKeeper::LinkKeeper(Parts parts, QObject* parent)
    : QObject(parent),
      parts_(std::move(parts)),
      dongle_(parts_.port, parts_.core.commands(), parts_.core.link(), parts_.core.console(),
              DongleKeeper::Hooks{[this] { return donglePort(); },
                                  [this](const QString& name) { return openDongle(name); },
                                  [this](bool gone) { dongleChanged(gone); },
                                  [this] { parts_.core.retryLinkSoon(); }}) {
  parts_.core.setReconnect([this](const QString& deviceId) { return reconnect(deviceId); });
  connect(&parts_.port, &SerialTransport::connectionLost, this, [this](const QString& reason) {
    // A reset takes the port away on purpose and brings it back itself.
    if (parts_.startedUp() && !parts_.connection.busy()) dongle_.lost(reason);
  });
}

LinkKeeper::~LinkKeeper() { parts_.core.setReconnect(nullptr); }

void LinkKeeper::dongleChanged(bool gone) {
  parts_.core.noteEvent(gone ? MonitorEventKind::DongleGone : MonitorEventKind::DongleBack);
  if (shown_) shown_(gone);
}

QString LinkKeeper::donglePort() const {
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

bool LinkKeeper::openDongle(const QString& name) {
  const PortSelection* selection = parts_.portSelection();
  return selection != nullptr && parts_.port.open(name, selection->config().settings);
}

bool LinkKeeper::reconnect(const QString& deviceId) {
  // Without the dongle no attempt can get anywhere; it is waited for first.
  if (dongle_.gone() || !parts_.port.isOpen()) return false;
  bool made = false;
  if (parts_.guarded) {
    parts_.guarded([&] { made = parts_.connection.reconnect(deviceId); });
  } else {
    made = parts_.connection.reconnect(deviceId);
  }
  return made;
}

}  // namespace kelvaro
