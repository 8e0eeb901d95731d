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

void LinkPanel::showLost(int belt, const QString& text) {
  lost_[static_cast<std::size_t>(belt)] = text;
  // Each belt out of reach on a line of its own, the first belt's first.
  lostText_.clear();
  for (const QString& line : lost_) {
    if (line.isEmpty()) continue;
    if (!lostText_.isEmpty()) lostText_ += QLatin1Char('\n');
    lostText_ += line;
  }
  parts_.linkLostLabel.setText(lostText_);
  parts_.linkLostLabel.setVisible(!lostText_.isEmpty());
  showStatus();
}

void LinkPanel::showStatus() {
  const bool gone = link_.dongleGone();
  const QString text = gone ? kDongleGoneText : lostText_;
  statusLabel_->setText(text);
  statusLabel_->setVisible(!text.isEmpty());
  // The last readings stay on screen; they must not pass for current ones.
  const QString& shown = lost_[static_cast<std::size_t>(core_.shownBelt())];
  if (gone || !shown.isEmpty()) parts_.showNotCurrent(gone ? kDongleGoneText : shown);
}

void LinkPanel::linkChanged(const LinkChange& change) {
  if (change.belt < 0 || change.belt >= MonitorCore::kMaxBelts) return;
  showLost(change.belt, change.event == LinkEvent::Lost ? lostText(change.deviceId) : QString());
}

}  // namespace kelvaro
