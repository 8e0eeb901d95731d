#include "app/panels/LinkPanel.h"

#include <QLabel>
#include <QStatusBar>

#include "monitor/MonitorCore.h"

namespace kelvaro {

LinkPanel::LinkPanel(Parts parts, QObject* parent)
    : QObject(parent), parts_(std::move(parts)), core_(parts_.keeper.core), link_(parts_.keeper) {
  statusLabel_ = new QLabel(&parts_.statusBar);
  statusLabel_->setObjectName(QStringLiteral("LabelLink"));
  parts_.statusBar.addPermanentWidget(statusLabel_);
  statusLabel_->hide();
  link_.setDongleShown([this](bool) { showStatus(); });
  core_.addConsumer(*this);
}

LinkPanel::~LinkPanel() { core_.removeConsumer(*this); }

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
  const QString text = link_.dongleGone() ? kDongleGoneText : lostText_;
  statusLabel_->setText(text);
  statusLabel_->setVisible(!text.isEmpty());
  // The last readings stay on screen; they must not pass for current ones.
  if (!text.isEmpty()) parts_.showNotCurrent(text);
}

void LinkPanel::linkChanged(const LinkChange& change) {
  // The first belt's only.
  if (change.belt > 0) return;
  showLost(change.event == LinkEvent::Lost ? lostText(change.deviceId) : QString());
}

}  // namespace kelvaro
