#include "sim/BeltPlayback.h"

#include <cmath>

namespace kelvaro {

QString playbackSpeedText(const PlaybackPace& pace) {
  if (pace.flood) return QStringLiteral("\u00D7flood");
  return QStringLiteral("\u00D7") + QString::number(pace.speed, 'g', 6);
}

BeltPlayback::BeltPlayback(std::shared_ptr<const RecordedBelt> belt, const PlaybackPace& pace)
    : belt_(std::move(belt)), pace_(pace) {
  remainingNs_ = paced(nextAfterUs());
}

std::uint64_t BeltPlayback::paced(std::uint64_t us) const {
  if (us == RecordedBelt::kForever) return us;
  if (pace_.flood) return 0;
  return static_cast<std::uint64_t>(std::llround(double(us) * 1000.0 / pace_.speed));
}

std::uint64_t BeltPlayback::nextAfterUs() const {
  const auto& events = belt_->events();
  return next_ < events.size() ? events[next_].afterUs : belt_->endAfterUs();
}

void BeltPlayback::resume(std::uint64_t nowNs) {
  if (streaming_ || finished_) return;
  streaming_ = true;
  dueNs_ = nowNs + remainingNs_;
}

void BeltPlayback::pause(std::uint64_t nowNs) {
  if (!streaming_) return;
  streaming_ = false;
  remainingNs_ = dueNs_ > nowNs ? dueNs_ - nowNs : 0;
}

BeltPlayback::Taken BeltPlayback::take() {
  Taken taken;
  if (finished_) return taken;
  const auto& events = belt_->events();
  positionUs_ += nextAfterUs();
  if (next_ < events.size()) {
    taken.event = &events[next_++];
    if (taken.event->kind == RecordedBelt::Event::Kind::Notification) {
      taken.step = Step::Notification;
      ++notifications_;
    } else {
      taken.step = Step::LinkLoss;
      // The capture ended while the belt was out of reach: the recording is over with it.
      if (taken.event->awayUs == RecordedBelt::kForever && next_ == events.size() && !pace_.loop) {
        finished_ = true;
      }
    }
  } else if (pace_.loop) {
    taken.step = Step::End;
    next_ = 0;
    positionUs_ = 0;
  } else {
    taken.step = Step::End;
    finished_ = true;
  }
  if (!finished_) dueNs_ += paced(nextAfterUs());
  return taken;
}

PlaybackProgress BeltPlayback::progress() const {
  PlaybackProgress p;
  p.positionUs = finished_ ? belt_->durationUs() : positionUs_;
  p.durationUs = belt_->durationUs();
  p.notifications = notifications_;
  p.finished = finished_;
  return p;
}

}  // namespace kelvaro
