#include "edf/EdfRecorder.h"

#include <algorithm>

#include "base/ConsoleLog.h"
#include "base/TickSource.h"
#include "base/WallClock.h"

namespace kelvaro {

namespace {

QString eventText(const MonitorEvent& event) {
  switch (event.kind) {
    case MonitorEventKind::Marker:
      return event.text.isEmpty() ? QStringLiteral("Marker")
                                  : QStringLiteral("Marker: ") + event.text;
    case MonitorEventKind::Apnea:
      return QStringLiteral("Apnea");
    case MonitorEventKind::ActivityAlarm:
      return QStringLiteral("Activity alarm");
    case MonitorEventKind::SessionStart:
      return QStringLiteral("Session start ") + event.text;
    case MonitorEventKind::SessionStop:
      return QStringLiteral("Session stop ") + event.text;
    case MonitorEventKind::ZeroForce1:
      return QStringLiteral("Zero force 1");
    case MonitorEventKind::ZeroForce2:
      return QStringLiteral("Zero force 2");
    case MonitorEventKind::DongleGone:
      return QStringLiteral("Dongle gone");
    case MonitorEventKind::DongleBack:
      return QStringLiteral("Dongle back");
  }
  return QString();
}

}  // namespace

EdfRecorder::EdfRecorder(AppendFile& reservation, const WallClock& clock, const TickSource& ticks,
                         const Calibration& calibration, ConsoleLog& console)
    : writer_(reservation),
      clock_(clock),
      ticks_(ticks),
      calibration_(calibration),
      console_(console) {}

EdfRecorder::~EdfRecorder() { finish(); }

void EdfRecorder::startLogClicked() {
  requestedPath_.clear();
  state_ = RecorderState::StartRequested;
}

void EdfRecorder::startRecording(const QString& path) {
  requestedPath_ = path;
  state_ = RecorderState::StartRequested;
}

void EdfRecorder::endLogClicked() {
  if (state_ == RecorderState::StartRequested) {
    state_ = RecorderState::Idle;
    return;
  }
  if (writer_.isOpen()) close(ticks_.tick(), true);
}

void EdfRecorder::finish() {
  if (state_ == RecorderState::StartRequested) state_ = RecorderState::Idle;
  if (writer_.isOpen()) close(ticks_.tick(), false);
}

void EdfRecorder::samplePlotted(const PlottedSample& sample) {
  // The first belt's only.
  if (sample.belt > 0) return;
  if (state_ == RecorderState::StartRequested) create(sample.tick);
}

void EdfRecorder::create(std::uint32_t tick) {
  // A start over a running recording ends that one first.
  if (writer_.isOpen()) close(tick, false);
  path_ = !requestedPath_.isEmpty()
              ? requestedPath_
              : QStringLiteral("./") + (view_ ? view_->fileNameText() : QString()) + kExtension;
  const edf::RecordingIdentity identity = identity_ ? identity_() : edf::RecordingIdentity{};
  QString reason;
  switch (writer_.open(path_, identity, clock_.now(), calibration_, &reason)) {
    case edf::EdfWriter::Opened::kExists:
      state_ = RecorderState::Idle;
      if (view_) view_->showFileExists();
      return;
    case edf::EdfWriter::Opened::kFailed:
      state_ = RecorderState::Idle;
      fail("Cannot create file", reason);
      return;
    case edf::EdfWriter::Opened::kYes:
      break;
  }
  state_ = RecorderState::Recording;
  firstTick_ = tick;
  sampleWritten_ = false;
  note(tick, -1, QStringLiteral("Recording start"));
  console_.append(QStringLiteral("Recording %1 (BDF+)").arg(path_));
  if (view_) view_->showRecording();
}

void EdfRecorder::notificationDecoded(const DecodedNotification& notification) {
  // The first belt's only.
  if (notification.belt > 0) return;
  if (state_ != RecorderState::Recording) return;
  QString reason;
  if (!writer_.addSample(notification.state, notification.tick - firstTick_, &reason)) {
    fail("Cannot write to file", reason);
    return;
  }
  if (!sampleWritten_) {
    sampleWritten_ = true;
    if (view_) view_->showFirstRow();
  }
}

void EdfRecorder::linkChanged(const LinkChange& change) {
  // The first belt's only.
  if (change.belt > 0) return;
  if (state_ != RecorderState::Recording) return;
  const std::uint32_t now = ticks_.tick();
  switch (change.event) {
    case LinkEvent::Lost:
      writer_.breakStretch();
      note(now, -1, QStringLiteral("Link lost: ") + change.reason);
      break;
    case LinkEvent::Back:
      note(now, -1, QStringLiteral("Link back"));
      break;
    case LinkEvent::Disconnected:
      writer_.breakStretch();
      break;
    case LinkEvent::Connected:
      break;
  }
}

void EdfRecorder::eventNoted(const MonitorEvent& event) {
  // The first belt's only.
  if (event.belt > 0) return;
  if (state_ != RecorderState::Recording) return;
  if (event.kind == MonitorEventKind::DongleGone) writer_.breakStretch();
  note(event.tick, event.kind == MonitorEventKind::Apnea ? std::int64_t(event.durationMs) : -1,
       eventText(event));
}

void EdfRecorder::note(std::uint32_t tick, std::int64_t durationMs, const QString& text) {
  // An event that began before the recording (an apnea under way) is noted from its start on.
  std::int64_t at = static_cast<std::int32_t>(tick - firstTick_);
  if (at < 0) {
    if (durationMs >= 0) durationMs = std::max<std::int64_t>(0, durationMs + at);
    at = 0;
  }
  writer_.annotate(static_cast<std::uint32_t>(at), durationMs, text);
}

void EdfRecorder::close(std::uint32_t tick, bool tellView) {
  note(tick, -1, QStringLiteral("Recording stop"));
  const int beyond = writer_.eventsBeyondRoom();
  const std::int64_t records = writer_.records();
  QString reason;
  bool removed = false;
  const bool closed = writer_.close(&reason, &removed);
  state_ = RecorderState::Idle;
  if (!closed) {
    if (tellView) {
      fail("Cannot close file", reason);
    } else {
      console_.append(QStringLiteral("Cannot close file \"%1\". %2").arg(path_, reason));
    }
    return;
  }
  if (removed) {
    console_.append(
        QStringLiteral("Recording %1: not a whole second of samples, no file kept").arg(path_));
  } else {
    console_.append(QStringLiteral("Recording %1 closed: %2 s").arg(path_).arg(records));
    if (beyond > 0) {
      console_.append(QStringLiteral("Recording %1: %2 events did not fit into the file")
                          .arg(path_)
                          .arg(beyond));
    }
  }
  if (tellView && view_) view_->showStopped();
}

void EdfRecorder::fail(const char* what, const QString& reason) {
  if (writer_.isOpen()) writer_.close(nullptr);
  state_ = RecorderState::Idle;
  if (view_) {
    view_->showFailure(QStringLiteral("%1 \"%2\". %3").arg(QLatin1String(what), path_, reason));
  }
}

}  // namespace kelvaro
