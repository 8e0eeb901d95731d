#include "app/ScratchPanel.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "app/SpecSettingPage.h"

namespace kelvaro {

ScratchPanel::ScratchPanel(ui::SpecSettingPage& page, ConsoleLog& console, const TickSource& ticks,
                           EventPump& pump, std::uint16_t port, QObject* parent)
    : QObject(parent), page_(page), client_(console, ticks, pump, port) {
  connect(page.Button13, &QPushButton::clicked, this,
          [this] { client_.connectTo(page_.EditIP->text()); });
  connect(page.Button14, &QPushButton::clicked, this, [this] { client_.disconnectFromPeer(); });
  connect(page.Button15, &QPushButton::clicked, this,
          [this] { client_.sendSensorUpdate(111, 222, 333, page_.SpinEdit1->value(), 1.0); });
  connect(page.Button16, &QPushButton::clicked, this, [this] { client_.testLink(); });
  connect(&client_, &ScratchClient::stateChanged, this, &ScratchPanel::showState);
}

void ScratchPanel::showState() {
  page_.Button13->setEnabled(!client_.isConnecting());
  page_.Button16->setEnabled(!client_.isTesting());
}

}  // namespace kelvaro
