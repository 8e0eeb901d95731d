#include "app/LinkPanel.h"

#include <QLabel>
#include <QStatusBar>

#include "app/BreathingPanel.h"
#include "app/LiveGraphPage.h"
#include "app/MainWindow.h"
#include "link/ConnectionProcedure.h"
#include "monitor/MonitorCore.h"

namespace kelvaro {

LinkPanel::LinkPanel(TForm1& form, MonitorCore& core, ConnectionProcedure& connection,
                     const TickSource& ticks, QObject* parent)
    : QObject(parent),
      form_(form),
      core_(core),
      connection_(connection),
      guard_(ticks, core.console(), *this) {
  statusLabel_ = new QLabel(&form);
  statusLabel_->setObjectName(QStringLiteral("LabelLink"));
  form.statusBar()->addPermanentWidget(statusLabel_);
  statusLabel_->hide();
  core.dispatcher().setDisconnectedHandler(
      [this](std::uint16_t reason) { guard_.disconnectedEvent(reason); });
  timer_.setInterval(kTickMs);
  connect(&timer_, &QTimer::timeout, this, [this] { guard_.tick(); });
  timer_.start();
}

LinkPanel::~LinkPanel() { core_.dispatcher().setDisconnectedHandler(nullptr); }

QString LinkPanel::lostText(const QString& deviceId) {
  return QStringLiteral("Belt %1 out of reach \u2014 reconnecting\u2026").arg(deviceId);
}

void LinkPanel::showLost(const QString& text) {
  auto* label = form_.TabSheetGraf->LabelLinkLost;
  label->setText(text);
  label->setVisible(!text.isEmpty());
  statusLabel_->setText(text);
  statusLabel_->setVisible(!text.isEmpty());
}

void LinkPanel::connected(const QString& deviceId) {
  guard_.connected(deviceId);
  showLost(QString());
}

void LinkPanel::userDisconnected() {
  guard_.userDisconnected();
  showLost(QString());
}

void LinkPanel::linkLost(const QString& deviceId, const QString& /*reason*/) {
  core_.graph().breakLine();
  form_.breathingPanel()->noBelt();
  showLost(lostText(deviceId));
}

void LinkPanel::linkBack(const QString& /*deviceId*/) { showLost(QString()); }

bool LinkPanel::reconnect(const QString& deviceId) {
  bool made = false;
  form_.guarded([&] { made = connection_.reconnect(deviceId); });
  return made;
}

}  // namespace kelvaro
