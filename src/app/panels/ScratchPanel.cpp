#include "app/panels/ScratchPanel.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "app/pages/SpecSettingPage.h"

namespace kelvaro {

ScratchPanel::ScratchPanel(SpecSettingPage& page, ConsoleLog& console, const TickSource& ticks,
                           EventPump& pump, std::uint16_t port, QObject* parent)
    : QObject(parent), page_(page), client_(console, ticks, pump, port) {
  connect(page.tcpConnectButton, &QPushButton::clicked, this,
          [this] { client_.connectTo(page_.scratchIpEdit->text()); });
  connect(page.tcpDisconnectButton, &QPushButton::clicked, this,
          [this] { client_.disconnectFromPeer(); });
  connect(page.sendForceButton, &QPushButton::clicked, this,
          [this] { client_.sendSensorUpdate(111, 222, 333, page_.forceToSendSpin->value(), 1.0); });
  connect(page.testLinkButton, &QPushButton::clicked, this, [this] { client_.testLink(); });
  connect(&client_, &ScratchClient::stateChanged, this, &ScratchPanel::showState);
}

void ScratchPanel::showState() {
  page_.tcpConnectButton->setEnabled(!client_.isConnecting());
  page_.testLinkButton->setEnabled(!client_.isTesting());
}

}  // namespace kelvaro
