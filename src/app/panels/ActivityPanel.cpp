#include "app/panels/ActivityPanel.h"

#include "app/panels/LastBelt.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

#include "activity/ActivitySession.h"
#include "app/pages/ActivityMonitorPage.h"
#include "app/pages/LiveGraphPage.h"
#include "app/panels/UsersPanel.h"
#include "base/WallClock.h"
#include "monitor/MonitorCore.h"
#include "platform/SoundPlayer.h"
#include "widgets/ReadoutLabel.h"

namespace kelvaro {

ActivityPanel::ActivityPanel(Parts parts, QObject* parent)
    : QObject(parent), parts_(std::move(parts)), ducker_(parts_.volume) {
  auto& page = parts_.page;
  auto& settings = parts_.core.activity().settings();
  settings.alarmLevel = page.alarmLevelSlider->value();
  settings.sound = page.soundAlarmCheck->isChecked();
  settings.mute = page.muteAlarmCheck->isChecked();
  connect(page.alarmLevelSlider, &QSlider::valueChanged, this,
          [this](int level) { parts_.core.activity().settings().alarmLevel = level; });
  connect(page.soundAlarmCheck, &QCheckBox::toggled, this,
          [this](bool on) { parts_.core.activity().settings().sound = on; });
  connect(page.muteAlarmCheck, &QCheckBox::toggled, this,
          [this](bool on) { parts_.core.activity().settings().mute = on; });

  parts_.volumeRestoreTimer.setSingleShot(true);
  parts_.volumeRestoreTimer.setInterval(VolumeDucker::kRestoreDelayMs);
  connect(&parts_.volumeRestoreTimer, &QTimer::timeout, this, [this] { ducker_.restore(); });

  setSessionButtons(false);
  parts_.core.activity().setSessionControl(this);
  parts_.core.activity().setAlarm(this);
}

bool ActivityPanel::sessionOpen() const { return sessionOpen_; }

void ActivityPanel::startSession() {
  const QDateTime now = parts_.clock.now();
  parts_.page.restartActivityChart(now);
  // The next notification zeroes the forces again and primes the activity computation.
  parts_.core.restartZeroing();
  parts_.core.activity().clearTexts();
  const ActivityTexts& texts = parts_.core.activity().texts();
  parts_.page.beltActivityReadout->setText(texts.forceActivity);
  parts_.page.sessionActivityReadout->setText(texts.forceAverage);
  sessionStart_ = now;
  setSessionButtons(true);
  parts_.core.noteEvent(MonitorEventKind::SessionStart, parts_.users.users().selectedName());
}

void ActivityPanel::stopSession() {
  const ActivityTexts& texts = parts_.core.activity().texts();
  ActivitySession session;
  session.start = sessionStart_;
  session.stop = parts_.clock.now();
  session.beltId = parts_.lastBelt.id();
  session.user = parts_.users.users().selectedName();
  session.motionActivity = texts.motionActivity;
  session.forceActivity = texts.forceActivity;
  session.motionAverage = texts.motionAverage;
  session.forceAverage = texts.forceAverage;
  appendSession(parts_.homeDir, session);
  setSessionButtons(false);
  parts_.core.noteEvent(MonitorEventKind::SessionStop, session.user);
}

void ActivityPanel::soundAlarm() { parts_.sound.play(kAlarmSound); }

void ActivityPanel::muteAlarm() {
  // A second alarm while the volume is down neither lowers it again nor moves the restore.
  if (ducker_.lower()) parts_.volumeRestoreTimer.start();
}

void ActivityPanel::showBlock(const ActivityBlock& block) {
  parts_.page.beltActivityReadout->setText(block.texts.forceActivity);
  parts_.page.sessionActivityReadout->setText(block.texts.forceAverage);
  parts_.graph.currentActivityReadout->setReading(block.texts.forceActivity);
  parts_.graph.averageActivityReadout->setReading(block.texts.forceAverage);
  parts_.page.addActivityPoints(parts_.clock.now(), block.forceChartValue, block.motionChartValue);
}

void ActivityPanel::setThresholds(double start, double stop) {
  auto& settings = parts_.core.activity().settings();
  settings.startThreshold = start;
  settings.stopThreshold = stop;
}

void ActivityPanel::finish() {
  parts_.volumeRestoreTimer.stop();
  ducker_.restoreNow();
  if (sessionOpen()) stopSession();
}

void ActivityPanel::setSessionButtons(bool open) {
  sessionOpen_ = open;
  parts_.page.sessionStopButton->setEnabled(open);
  parts_.page.sessionStartButton->setEnabled(!open);
}

}  // namespace kelvaro
