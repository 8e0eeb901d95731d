#include "activity/ActivityMonitor.h"

#include <cmath>
#include <cstddef>

namespace kelvaro {

namespace {

constexpr double kLength = ActivityMonitor::kWindowLength;
const QString kNoValue = QStringLiteral("---");

}  // namespace

ActivityMonitor::ActivityMonitor(ActivitySessionControl& sessions, ActivityAlarm& alarm,
                                 const ActivitySettings& settings)
    : ActivityMonitor(settings) {
  sessions_ = &sessions;
  alarm_ = &alarm;
}

ActivityMonitor::ActivityMonitor(const ActivitySettings& settings)
    : settings_(settings), picture_(QStringLiteral("#0.00")) {}

void ActivityMonitor::setSessionControl(ActivitySessionControl* sessions) {
  sessions_ = sessions != nullptr ? sessions : &noSessions_;
}

void ActivityMonitor::setAlarm(ActivityAlarm* alarm) {
  alarm_ = alarm != nullptr ? alarm : &noAlarm_;
}

void ActivityMonitor::PrimeActivity(double force, double accelX) {
  position_ = 0;
  forceWindow_.fill(force);
  motionWindow_.fill(accelX);
  forceSum_ = kLength * force;
  motionSum_ = kLength * accelX;
  forceDeviation_ = 0.0;
  motionDeviation_ = 0.0;
  forceTotal_ = 0.0;
  motionTotal_ = 0.0;
  blockCount_ = 0;
}

std::optional<ActivityBlock> ActivityMonitor::AddActivitySample(double force, double accelX) {
  // The deviation is taken from the mean of the 200 samples before this one.
  const double meanForce = forceSum_ / kLength;
  const double meanMotion = motionSum_ / kLength;
  const auto slot = static_cast<std::size_t>(position_);
  forceSum_ = forceSum_ - forceWindow_[slot] + force;
  forceWindow_[slot] = force;
  motionSum_ = motionSum_ - motionWindow_[slot] + accelX;
  motionWindow_[slot] = accelX;
  ++position_;
  forceDeviation_ += std::fabs(meanForce - force);
  motionDeviation_ += std::fabs(meanMotion - accelX);
  if (position_ < kWindowLength) {
    return std::nullopt;
  }
  return endBlock();
}

void ActivityMonitor::clearTexts() {
  texts_.forceActivity = kNoValue;
  texts_.motionActivity = kNoValue;
  texts_.forceAverage = kNoValue;
  texts_.motionAverage = kNoValue;
}

ActivityBlock ActivityMonitor::endBlock() {
  ActivityBlock block;
  position_ = 0;
  forceActivity_ = forceDeviation_ / kLength;
  motionActivity_ = motionDeviation_ / kLength;

  // The rule runs before the texts change, so a session it stops records the previous block's
  // texts, and the "---" of a session it starts is overwritten by this block's texts at once.
  applySessionRule(block);

  texts_.forceActivity = picture_.format(forceActivity_);
  forceDeviation_ = 0.0;
  texts_.motionActivity = picture_.format(motionActivity_);
  motionDeviation_ = 0.0;

  forceTotal_ += forceActivity_;
  motionTotal_ += motionActivity_;
  ++blockCount_;
  block.forceAverage = forceTotal_ / blockCount_;
  block.motionAverage = motionTotal_ / blockCount_;
  texts_.forceAverage = picture_.format(block.forceAverage);
  texts_.motionAverage = picture_.format(block.motionAverage);

  raiseAlarm(block);

  block.forceActivity = forceActivity_;
  block.motionActivity = motionActivity_;
  block.blockCount = blockCount_;
  block.texts = texts_;
  block.forceChartValue = forceActivity_;
  block.motionChartValue = motionActivity_;
  return block;
}

void ActivityMonitor::applySessionRule(ActivityBlock& block) {
  if (!sessions_->sessionOpen()) {
    if (forceActivity_ > settings_.startThreshold) {
      if (++autoSessionCount_ > 1) {
        autoSessionCount_ = 0;
        block.sessionStarted = true;
        sessions_->startSession();
      }
    } else {
      autoSessionCount_ = 0;
    }
  }
  // Asked again: a session the start rule has just opened is already subject to the stop rule.
  if (sessions_->sessionOpen()) {
    if (forceActivity_ >= settings_.stopThreshold) {
      autoSessionCount_ = 0;
    } else if (++autoSessionCount_ > 1) {
      autoSessionCount_ = 0;
      block.sessionStopped = true;
      sessions_->stopSession();
    }
  }
}

void ActivityMonitor::raiseAlarm(ActivityBlock& block) {
  // Only a block strictly below the level alarms: a level of 0 never does, as no activity is
  // negative.
  if (!(static_cast<double>(settings_.alarmLevel) > forceActivity_)) {
    return;
  }
  block.alarms.belowLevel = true;
  // The sound goes first, so that it starts before the volume drops.
  if (settings_.sound) {
    block.alarms.sound = true;
    alarm_->soundAlarm();
  }
  if (settings_.mute) {
    block.alarms.mute = true;
    alarm_->muteAlarm();
  }
}

}  // namespace kelvaro
