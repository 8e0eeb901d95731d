#include "edf/EdfRecorder.h"

#include <algorithm>

#include "base/ConsoleLog.h"
#include "base/TickSource.h"
#include "base/WallClock.h"
#include "monitor/MonitorCore.h"

namespace kelvaro {

static_assert(edf::kMaxBelts == kMaxBelts, "a set of signals for every belt the core holds");

static_assert(edf::kMaxBelts == MonitorCore::kMaxBelts, "a set of signals for every belt");

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
                         BeltCalibration calibration, ConsoleLog& console)
    : writer_(reservation),
      clock_(clock),
      ticks_(ticks),
      calibration_(std::move(calibration)),
      console_(console) {}

EdfRecorder::~EdfRecorder() { finish(); }

EdfRecorder::BeltCalibration EdfRecorder::calibrationsOf(const MonitorCore& core) {
  return [&core](int belt) { return core.hasBelt(belt) ? &core.belt(belt).calibration : nullptr; };
}

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
  // The first belt's zeroed forces start a recording; the further belts' are in it as they come.
  if (sample.belt != 0) return;
  if (state_ == RecorderState::StartRequested) create(sample.tick);
}

QString EdfRecorder::nameOf(int belt) const {
  const Belt& b = belts_[static_cast<std::size_t>(belt)];
  return !b.name.isEmpty() ? b.name : b.deviceId.right(4).toUpper();
}

QString EdfRecorder::ofBelt(const QString& text, int set) const {
  return text + QLatin1Char(' ') + sets_[static_cast<std::size_t>(set)].tag;
}

void EdfRecorder::create(std::uint32_t tick) {
  // A start over a running recording ends that one first.
  if (writer_.isOpen()) close(tick, false);
  path_ = !requestedPath_.isEmpty()
              ? requestedPath_
              : QStringLiteral("./") + (view_ ? view_->fileNameText() : QString()) + kExtension;
  const edf::RecordingIdentity identity = identity_ ? identity_() : edf::RecordingIdentity{};
  // The first belt's signals, then those of every further belt connected now, in slot order.
  std::vector<edf::EdfWriter::BeltSignals> sets;
  const Calibration* first = calibration_ ? calibration_(0) : nullptr;
  sets.push_back({first ? *first : Calibration{}, {}});
  std::array<QByteArray, edf::kMaxBelts> tags;
  for (int b = 0; b < edf::kMaxBelts; ++b) {
    Belt& belt = belts_[static_cast<std::size_t>(b)];
    belt.set = b == 0 ? 0 : -1;
    belt.notedUnrecorded = false;
    const Calibration* calibration =
        b > 0 && belt.connected && calibration_ ? calibration_(b) : nullptr;
    if (!calibration) continue;
    const int set = static_cast<int>(sets.size());
    tags[static_cast<std::size_t>(set)] = edf::beltTag(nameOf(b), b + 1, tags.data() + 1, set - 1);
    sets.push_back({*calibration, tags[static_cast<std::size_t>(set)]});
    sets_[static_cast<std::size_t>(set)] =
        Set{belt.deviceId, QString::fromLatin1(tags[static_cast<std::size_t>(set)]), b};
    belt.set = set;
  }
  QString reason;
  switch (writer_.open(path_, identity, clock_.now(), sets, &reason)) {
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
  if (state_ != RecorderState::Recording) return;
  if (notification.belt != 0) {
    if (notification.belt < 0 || notification.belt >= edf::kMaxBelts) return;
    const int set = belts_[static_cast<std::size_t>(notification.belt)].set;
    if (set > 0) writer_.addBeltSample(set, notification.state);
    return;
  }
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
  if (change.belt < 0 || change.belt >= edf::kMaxBelts) return;
  Belt& belt = belts_[static_cast<std::size_t>(change.belt)];
  if (change.event == LinkEvent::Connected) belt.connected = true;
  if (change.event == LinkEvent::Disconnected) belt.connected = false;
  if (change.belt > 0) {
    furtherLinkChanged(change.belt, change);
    return;
  }
  if (change.event == LinkEvent::Connected) belt.deviceId = change.deviceId;
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

void EdfRecorder::furtherLinkChanged(int slot, const LinkChange& change) {
  Belt& belt = belts_[static_cast<std::size_t>(slot)];
  if (change.event == LinkEvent::Connected) {
    belt.deviceId = change.deviceId;
    if (state_ == RecorderState::Recording) furtherBeltConnected(slot);
    return;
  }
  if (change.event == LinkEvent::Disconnected) {
    // Whatever connects to the slot next is another belt, or another connection of this one.
    belt.name.clear();
    belt.notedUnrecorded = false;
  }
  if (state_ != RecorderState::Recording || belt.set <= 0) return;
  // The records repeat the belt's last values while it sends none (EdfWriter).
  const std::uint32_t now = ticks_.tick();
  switch (change.event) {
    case LinkEvent::Lost:
      note(now, -1,
           QStringLiteral("Link lost ") + sets_[static_cast<std::size_t>(belt.set)].tag +
               QStringLiteral(": ") + change.reason);
      break;
    case LinkEvent::Back:
      note(now, -1, ofBelt(QStringLiteral("Link back"), belt.set));
      break;
    case LinkEvent::Disconnected:
      // Its signals stay, repeating its last values; the slot may take another belt now.
      note(now, -1, ofBelt(QStringLiteral("Disconnected"), belt.set));
      sets_[static_cast<std::size_t>(belt.set)].slot = -1;
      belt.set = -1;
      break;
    case LinkEvent::Connected:
      break;
  }
}

void EdfRecorder::furtherBeltConnected(int slot) {
  Belt& belt = belts_[static_cast<std::size_t>(slot)];
  if (belt.set > 0) return;  // a reconnect after a lost link: it goes on
  const QString& deviceId = belt.deviceId;
  // A belt of the file that was disconnected goes on in its own signals.
  for (int set = 1; set < writer_.belts() && !deviceId.isEmpty(); ++set) {
    Set& s = sets_[static_cast<std::size_t>(set)];
    if (s.slot < 0 && s.deviceId == deviceId) {
      s.slot = slot;
      belt.set = set;
      return;
    }
  }
  if (belt.notedUnrecorded) return;
  belt.notedUnrecorded = true;
  const QString name = nameOf(slot);
  note(ticks_.tick(), -1,
       QStringLiteral("Belt %1 connected (not recorded)")
           .arg(name.isEmpty() ? QString::number(slot + 1) : name));
}

void EdfRecorder::eventNoted(const MonitorEvent& event) {
  if (state_ != RecorderState::Recording) return;
  const std::int64_t duration =
      event.kind == MonitorEventKind::Apnea ? std::int64_t(event.durationMs) : -1;
  if (event.belt > 0) {
    // A further belt's: noted with its tag when it is in the file.
    if (event.belt >= edf::kMaxBelts) return;
    const int set = belts_[static_cast<std::size_t>(event.belt)].set;
    if (set > 0) note(event.tick, duration, ofBelt(eventText(event), set));
    return;
  }
  if (event.kind == MonitorEventKind::DongleGone) writer_.breakStretch();
  note(event.tick, duration, eventText(event));
}

void EdfRecorder::beltNamed(int belt, const QString& name) {
  if (belt < 0 || belt >= edf::kMaxBelts) return;
  // The labels of an open file keep the name they were made with.
  belts_[static_cast<std::size_t>(belt)].name = name;
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
    for (int set = 1; set < writer_.belts(); ++set) {
      const std::int64_t padded = writer_.paddedSamples(set);
      const std::int64_t leftOut = writer_.leftOutSamples(set);
      if (padded == 0 && leftOut == 0) continue;
      console_.append(QStringLiteral("Recording %1, belt %2: repeated samples %3, left out %4")
                          .arg(path_, sets_[static_cast<std::size_t>(set)].tag)
                          .arg(padded)
                          .arg(leftOut));
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
