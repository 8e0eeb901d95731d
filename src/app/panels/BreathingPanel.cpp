#include "app/panels/BreathingPanel.h"

#include <QAccessible>
#include <QLabel>
#include <QPalette>
#include <QSpinBox>

#include "app/pages/ActivityMonitorPage.h"
#include "app/pages/LiveGraphPage.h"
#include "base/Formats.h"
#include "monitor/MonitorCore.h"
#include "widgets/ReadoutLabel.h"

namespace kelvaro {

BreathingPanel::BreathingPanel(MonitorCore& core, LiveGraphPage& graph,
                               ActivityMonitorPage& activity, QLabel& banner, QObject* parent)
    : QObject(parent), core_(core), graph_(graph), activity_(activity), banner_(banner) {
  shownRate_ = graph.breathingRateReadout->text();
  banner.hide();
  core.breathing().setApneaLimitSeconds(activity.apneaSpin->value());
  connect(activity.apneaSpin, qOverload<int>(&QSpinBox::valueChanged), this,
          [this](int seconds) { core_.breathing().setApneaLimitSeconds(seconds); });
  core.addConsumer(*this);
}

BreathingPanel::~BreathingPanel() { core_.removeConsumer(*this); }

QLabel* BreathingPanel::makeBanner() {
  auto* banner = new QLabel;
  banner->setObjectName(QStringLiteral("LabelApneaBanner"));
  banner->setAlignment(Qt::AlignCenter);
  banner->setAutoFillBackground(true);
  QPalette palette = banner->palette();
  palette.setColor(QPalette::Window, QColor(0xC0, 0x10, 0x10));
  palette.setColor(QPalette::WindowText, Qt::white);
  banner->setPalette(palette);
  QFont font = banner->font();
  font.setPointSizeF(font.pointSizeF() * 1.6);
  font.setBold(true);
  banner->setFont(font);
  banner->setMargin(8);
  banner->hide();
  return banner;
}

QString BreathingPanel::rateText(std::optional<double> rate) {
  return rate ? fmt::formatFloat(QStringLiteral("0.0"), *rate) : QStringLiteral("---");
}

QString BreathingPanel::bannerText(std::uint32_t msSinceBreath) {
  return QStringLiteral("No breath for %1 s").arg(msSinceBreath / 1000);
}

void BreathingPanel::notificationDecoded(const DecodedNotification& notification) {
  // The first belt's only.
  if (notification.belt > 0) return;
  showRate(notification.breath.ratePerMinute);
  showBanner(notification.breath.apnea, notification.breath.msSinceBreath);
}

void BreathingPanel::linkChanged(const LinkChange& change) {
  // The first belt's only.
  if (change.belt > 0) return;
  if (change.event != LinkEvent::Lost && change.event != LinkEvent::Disconnected) return;
  showRate(std::nullopt);
  showBanner(false, 0);
}

void BreathingPanel::showRate(std::optional<double> rate) {
  const QString text = rateText(rate);
  if (text == shownRate_) return;
  shownRate_ = text;
  graph_.breathingRateReadout->setReading(text);
  activity_.breathingRateReadout->setText(text);
}

void BreathingPanel::showBanner(bool apnea, std::uint32_t msSinceBreath) {
  if (!apnea) {
    if (bannerShown_) banner_.hide();
    bannerShown_ = false;
    return;
  }
  const std::uint32_t seconds = msSinceBreath / 1000;
  if (bannerShown_ && seconds == shownSeconds_) return;
  shownSeconds_ = seconds;
  banner_.setText(bannerText(msSinceBreath));
  if (!bannerShown_) {
    bannerShown_ = true;
    banner_.show();
    // A screen reader says it at once, whatever has the focus.
    QAccessibleEvent alert(&banner_, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
  }
}

}  // namespace kelvaro
