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
  connect(activity.apneaSpin, qOverload<int>(&QSpinBox::valueChanged), this, [this](int seconds) {
    for (int belt = 0; belt < MonitorCore::kMaxBelts; ++belt) {
      if (core_.hasBelt(belt)) core_.belt(belt).breath.setApneaLimitSeconds(seconds);
    }
  });
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
  const int belt = notification.belt;
  if (belt < 0 || belt >= MonitorCore::kMaxBelts) return;
  // The rate is the shown belt's; a held breath of any belt is said.
  if (belt == core_.shownBelt()) showRate(notification.breath.ratePerMinute);
  apneaMs_[static_cast<std::size_t>(belt)] =
      notification.breath.apnea ? std::optional<std::uint32_t>(notification.breath.msSinceBreath)
                                : std::nullopt;
  showApnea();
}

void BreathingPanel::linkChanged(const LinkChange& change) {
  const int belt = change.belt;
  if (belt < 0 || belt >= MonitorCore::kMaxBelts) return;
  // A further belt's detector holds breath as long as the first belt's does.
  if (change.event == LinkEvent::Connected && belt > 0 && core_.hasBelt(belt)) {
    core_.belt(belt).breath.setApneaLimitSeconds(activity_.apneaSpin->value());
  }
  if (change.event != LinkEvent::Lost && change.event != LinkEvent::Disconnected) return;
  if (belt == core_.shownBelt()) showRate(std::nullopt);
  apneaMs_[static_cast<std::size_t>(belt)].reset();
  showApnea();
}

void BreathingPanel::showApnea() {
  // The belt that has held its breath longest, named when there are several belts.
  int longest = -1;
  for (int belt = 0; belt < MonitorCore::kMaxBelts; ++belt) {
    const auto& ms = apneaMs_[static_cast<std::size_t>(belt)];
    if (ms && (longest < 0 || *ms > *apneaMs_[static_cast<std::size_t>(longest)])) longest = belt;
  }
  if (longest < 0) {
    showBanner(false, 0, QString());
    return;
  }
  const QString who =
      core_.beltCount() > 1 && core_.hasBelt(longest) ? core_.belt(longest).name : QString();
  showBanner(true, *apneaMs_[static_cast<std::size_t>(longest)], who);
}

void BreathingPanel::showRate(std::optional<double> rate) {
  const QString text = rateText(rate);
  if (text == shownRate_) return;
  shownRate_ = text;
  graph_.breathingRateReadout->setReading(text);
  activity_.breathingRateReadout->setText(text);
}

void BreathingPanel::showBanner(bool apnea, std::uint32_t msSinceBreath, const QString& who) {
  if (!apnea) {
    if (bannerShown_) banner_.hide();
    bannerShown_ = false;
    return;
  }
  const std::uint32_t seconds = msSinceBreath / 1000;
  if (bannerShown_ && seconds == shownSeconds_ && who == shownWho_) return;
  shownSeconds_ = seconds;
  shownWho_ = who;
  banner_.setText(who.isEmpty() ? bannerText(msSinceBreath)
                                : bannerText(msSinceBreath) + QStringLiteral(" \u2014 ") + who);
  if (!bannerShown_) {
    bannerShown_ = true;
    banner_.show();
    // A screen reader says it at once, whatever has the focus.
    QAccessibleEvent alert(&banner_, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
  }
}

}  // namespace kelvaro
