#include "app/panels/GuidePanel.h"

#include <QCheckBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <algorithm>
#include <cmath>

#include "app/pages/BreathingGuidePage.h"
#include "base/ConsoleLog.h"
#include "base/Errors.h"
#include "base/Formats.h"
#include "base/TickSource.h"
#include "base/WallClock.h"
#include "monitor/MonitorCore.h"
#include "platform/SoundPlayer.h"
#include "widgets/GuideWave.h"

namespace kelvaro {

namespace {

constexpr double kWaveStepMs = 100.0;

QString rate(std::optional<double> value) {
  return value ? fmt::formatFloat(QStringLiteral("0.0"), *value) : QStringLiteral("---");
}

QString minutesAndSeconds(std::int64_t ms) {
  const std::int64_t s = std::max<std::int64_t>(ms, 0) / 1000;
  return QStringLiteral("%1:%2")
      .arg(s / 60, 2, 10, QLatin1Char('0'))
      .arg(s % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace

GuidePanel::GuidePanel(Parts parts, QObject* parent) : QObject(parent), parts_(std::move(parts)) {
  frameTimer_.setInterval(kFrameMs);
  connect(&frameTimer_, &QTimer::timeout, this, [this] { showFrame(); });
  connect(parts_.page.startButton, &QPushButton::clicked, this, [this] { startClicked(); });
  connect(parts_.page.stopButton, &QPushButton::clicked, this, [this] { stopClicked(); });
  connect(parts_.page.paceSpin, &QDoubleSpinBox::valueChanged, this, [this](double pace) {
    if (!running()) parts_.page.targetReadout->setText(rate(pace));
  });
  parts_.page.targetReadout->setText(rate(parts_.page.paceSpin->value()));
  // The list follows the selected user whenever the page comes into view.
  parts_.page.installEventFilter(this);
  parts_.core.addConsumer(listener_);
}

bool GuidePanel::eventFilter(QObject* watched, QEvent* event) {
  if (watched == &parts_.page && event->type() == QEvent::Show) showHistory();
  return QObject::eventFilter(watched, event);
}

GuidePanel::~GuidePanel() { parts_.core.removeConsumer(listener_); }

GuideSettings GuidePanel::fieldSettings() const {
  GuideSettings s;
  s.pacePerMinute = parts_.page.paceSpin->value();
  s.inSharePercent = parts_.page.inShareSpin->value();
  s.holdInSeconds = parts_.page.holdInSpin->value();
  s.holdOutSeconds = parts_.page.holdOutSpin->value();
  s.minutes = parts_.page.lengthSpin->value();
  return s.clamped();
}

void GuidePanel::setFieldsEnabled(bool enabled) {
  auto& page = parts_.page;
  for (QWidget* w :
       std::initializer_list<QWidget*>{page.paceSpin, page.inShareSpin, page.holdInSpin,
                                       page.holdOutSpin, page.lengthSpin, page.startButton}) {
    w->setEnabled(enabled);
  }
  page.stopButton->setEnabled(!enabled);
}

void GuidePanel::startClicked() {
  if (running()) return;
  const GuideSettings settings = fieldSettings();
  listener_.start(settings, parts_.ticks.tick());
  startedAt_ = parts_.clock.now();
  shownPhase_.reset();
  setFieldsEnabled(false);
  parts_.page.summaryLabel->clear();
  parts_.page.targetReadout->setText(rate(settings.pacePerMinute));
  showFrame();
  frameTimer_.start();
}

QString GuidePanel::findCueSound(const QString& executableDir, const QString& homeDir) {
  const QString name = QStringLiteral("breath-cue.wav");
  const QString installed =
      QDir(executableDir).filePath(QStringLiteral("../share/kelvaro-monitor/") + name);
  for (const QString& path :
       {installed, QDir(executableDir).filePath(name), QDir(homeDir).filePath(name)}) {
    if (QFileInfo(path).isFile()) return QFileInfo(path).absoluteFilePath();
  }
  return installed;
}

QString GuidePanel::phaseText(GuidePhase phase) {
  switch (phase) {
    case GuidePhase::In:
      return QStringLiteral("Breathe in");
    case GuidePhase::Out:
      return QStringLiteral("Breathe out");
    case GuidePhase::HoldIn:
    case GuidePhase::HoldOut:
      break;
  }
  return QStringLiteral("Hold");
}

void GuidePanel::showPhase(const GuideMoment& moment) {
  if (shownPhase_ == moment.phase && shownCycle_ == moment.cycle) return;
  shownPhase_ = moment.phase;
  shownCycle_ = moment.cycle;
  // The label's text is its accessible name: a screen reader hears it once, at the change.
  parts_.page.phaseLabel->setText(phaseText(moment.phase));
  if (parts_.page.soundCheck->isChecked()) parts_.sound.play(parts_.cueSound);
}

void GuidePanel::showWave(std::int64_t nowMs) {
  const GuidePacer& pacer = listener_.pacer();
  QVector<QPointF> target;
  const double from = std::max(0.0, double(nowMs) - (GuideWave::kSpanMs - GuideWave::kAheadMs));
  const double to = std::min(double(pacer.lengthMs()), double(nowMs) + GuideWave::kAheadMs);
  for (double t = from; t <= to; t += kWaveStepMs) {
    target.append({t, pacer.at(std::uint64_t(t)).level});
  }
  // The live force, scaled to the person's own range over the time kept.
  QVector<QPointF> live;
  const std::size_t n = listener_.forceCount();
  if (n > 1) {
    double low = listener_.force(0).grams, high = low;
    for (std::size_t i = 1; i < n; ++i) {
      low = std::min(low, listener_.force(i).grams);
      high = std::max(high, listener_.force(i).grams);
    }
    const double range = std::max(high - low, 1.0);
    for (std::size_t i = 0; i < n; ++i) {
      const auto& p = listener_.force(i);
      if (double(p.ms) < from) continue;
      live.append({double(p.ms), (p.grams - low) / range});
    }
  }
  parts_.page.wave->setCurves(std::move(target), std::move(live), double(nowMs));
}

void GuidePanel::showFrame() {
  if (!running()) return;
  const std::int64_t now = listener_.msSinceStart(parts_.ticks.tick());
  const GuidePacer& pacer = listener_.pacer();
  if (now >= std::int64_t(pacer.lengthMs())) {
    finish();
    return;
  }
  const GuideMoment moment = pacer.at(std::uint64_t(std::max<std::int64_t>(now, 0)));
  showPhase(moment);
  parts_.page.shape->setLevel(moment.level);
  showWave(now);
  auto& page = parts_.page;
  const auto following = listener_.following();
  page.followingReadout->setText(following ? QStringLiteral("%1 %").arg(std::lround(*following))
                                           : QStringLiteral("---"));
  page.rateReadout->setText(rate(listener_.linkDown() ? std::nullopt : listener_.ratePerMinute()));
  page.timeLabel->setText(
      QStringLiteral("%1 of %2").arg(minutesAndSeconds(now), minutesAndSeconds(pacer.lengthMs())));
}

QString GuidePanel::summaryText(const GuideExercise& e) {
  return QStringLiteral(
             "Exercise of %1 at %2 breaths/min: mean %3 breaths/min, Following %4, longest "
             "stretch followed %5")
      .arg(minutesAndSeconds(e.durationMs), rate(e.pacePerMinute), rate(e.meanRatePerMinute),
           e.scorePercent ? QStringLiteral("%1 %").arg(*e.scorePercent) : QStringLiteral("---"),
           minutesAndSeconds(e.longestFollowedMs));
}

void GuidePanel::finish() {
  if (!running()) return;
  frameTimer_.stop();
  const std::int64_t now = listener_.msSinceStart(parts_.ticks.tick());
  listener_.stop();
  setFieldsEnabled(true);
  auto& page = parts_.page;
  page.phaseLabel->clear();
  page.shape->setLevel(0.0);

  GuideExercise e;
  e.start = startedAt_;
  e.user = parts_.userName();
  e.durationMs =
      std::clamp<std::int64_t>(now, 0, std::int64_t(listener_.pacer().lengthMs())) / 1000 * 1000;
  e.pacePerMinute = listener_.pacer().settings().pacePerMinute;
  e.meanRatePerMinute = listener_.score().meanRatePerMinute();
  if (const auto mean = listener_.meanFollowing()) e.scorePercent = int(std::lround(*mean));
  e.longestFollowedMs = listener_.score().longestFollowedMs() / 1000 * 1000;
  QString kept;
  try {
    appendGuideExercise(parts_.homeDir, e);
    kept = QStringLiteral("; kept for %1").arg(e.user);
  } catch (const Error& error) {
    parts_.reportError(QString::fromUtf8(error.what()));
    kept = QStringLiteral("; not kept");
  }
  page.summaryLabel->setText(summaryText(e) + kept);
  showHistory();
}

void GuidePanel::showHistory() {
  const QString user = parts_.userName();
  const GuideHistory history = readGuideHistory(parts_.homeDir, user);
  for (const GuideHistoryFault& fault : history.faults) parts_.console.append(fault.message);
  auto& page = parts_.page;
  page.historyLabel->setText(QStringLiteral("Exercises of %1").arg(user));
  QTableWidget& table = *page.historyTable;
  const auto& list = history.exercises;
  table.setRowCount(int(list.size()));
  for (std::size_t i = 0; i < list.size(); ++i) {
    const std::size_t at = list.size() - 1 - i;  // the latest first
    const GuideExercise& e = list[at];
    QString score =
        e.scorePercent ? QStringLiteral("%1 %").arg(*e.scorePercent) : QStringLiteral("---");
    if (const auto change = scoreChange(list, at)) {
      score += *change > 0   ? QStringLiteral(" (+%1)").arg(*change)
               : *change < 0 ? QStringLiteral(" (%1)").arg(*change)
                             : QStringLiteral(" (±0)");
    }
    const QString cells[] = {fmt::formatDateTimeShort(e.start), rate(e.pacePerMinute),
                             rate(e.meanRatePerMinute), score,
                             minutesAndSeconds(e.longestFollowedMs)};
    for (int c = 0; c < 5; ++c) table.setItem(int(i), c, new QTableWidgetItem(cells[c]));
  }
  QString trend;
  if (const auto slope = scoreTrend(list)) {
    trend = QStringLiteral("Score trend: %1 points an exercise")
                .arg((*slope >= 0 ? QStringLiteral("+") : QString()) +
                     fmt::formatFloat(QStringLiteral("0.0"), *slope));
  }
  if (!history.faults.empty()) {
    trend += (trend.isEmpty() ? QString() : QStringLiteral("; ")) +
             QStringLiteral("%1 damaged line(s) skipped: %2")
                 .arg(history.faults.size())
                 .arg(history.faults.front().message);
  }
  page.trendLabel->setText(trend);
}

}  // namespace kelvaro
