#pragma once

#include <QObject>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

#include "breathing/BreathDetector.h"
#include "monitor/MeasurementConsumer.h"

class QLabel;

namespace kelvaro {

class MonitorCore;

class ActivityMonitorPage;
class LiveGraphPage;

// The breathing in the window: the rate on "Live Graph" and "Activity Monitor", the apnea limit
// field (SpinEditApnea, 5..60 s) and the banner above the pages that says how long no breath has
// come ("No breath for 12 s") until breathing resumes. The apnea's sound and lowered volume are
// the activity alarm's, as ticked on "Activity Monitor"; the core raises them. A consumer of the
// core's road: it registers itself and must not outlive the core.
class BreathingPanel final : public QObject, public MeasurementConsumer {
  Q_OBJECT

 public:
  BreathingPanel(MonitorCore& core, LiveGraphPage& graph, ActivityMonitorPage& activity,
                 QLabel& banner, QObject* parent = nullptr);
  ~BreathingPanel() override;

  // After every decoded notification; only what changed is shown again.
  void notificationDecoded(const DecodedNotification& notification) override;
  // A lost or ended link: the rate is unknown, no banner (the core's detector starts afresh).
  void linkChanged(const LinkChange& change) override;

  // The banner, hidden: white on red, large, across the window.
  static QLabel* makeBanner();
  // "15.2", or "---" while the rate is unknown.
  static QString rateText(std::optional<double> rate);
  // "No breath for 12 s"; with several belts the banner names the one that holds its breath
  // longest ("No breath for 12 s — Anna").
  static QString bannerText(std::uint32_t msSinceBreath);

 private:
  void showRate(std::optional<double> rate);
  void showBanner(bool apnea, std::uint32_t msSinceBreath, const QString& who);
  void showApnea();

  MonitorCore& core_;
  LiveGraphPage& graph_;
  ActivityMonitorPage& activity_;
  QLabel& banner_;
  QString shownRate_;
  bool bannerShown_ = false;
  std::uint32_t shownSeconds_ = 0;
  QString shownWho_;
  // Each belt's breath held for so long, while it is.
  std::array<std::optional<std::uint32_t>, kMaxBelts> apneaMs_{};
};

}  // namespace kelvaro
