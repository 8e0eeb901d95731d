#include "sim/SimSerialTransport.h"

#include <algorithm>

#include "base/Errors.h"

namespace kelvaro {

namespace {

const QLatin1String kPrefix("SIM");
// The timer wakes at least this often, so that the dongle's own clock never falls far behind.
constexpr std::uint32_t kMaxSleepMs = 50;

}  // namespace

SimSerialTransport::SimSerialTransport(const TickSource& clock, const SimOptions& options,
                                       QObject* parent)
    : SerialTransport(parent), clock_(clock), dongle_(options), timer_(new QTimer(this)) {
  timer_->setSingleShot(true);
  timer_->setTimerType(Qt::PreciseTimer);
  connect(timer_, &QTimer::timeout, this, &SimSerialTransport::pump);
  dongle_.advanceTo(clock_.tick());
}

SimSerialTransport::~SimSerialTransport() = default;

bool SimSerialTransport::handles(const QString& portName) {
  return portName.compare(kPrefix, Qt::CaseInsensitive) == 0 ||
         portName.startsWith(kPrefix + QLatin1Char(':'), Qt::CaseInsensitive);
}

bool SimSerialTransport::handlesReplay(const QString& portName) {
  return portName.compare(kReplayPort, Qt::CaseInsensitive) == 0;
}

bool SimSerialTransport::open(const QString& name, const SerialSettings& /*settings*/) {
  close();
  name_ = name;
  error_.clear();
  const bool replay = handlesReplay(name);
  if (replay != dongle_.playing() || (!replay && !handles(name))) {
    error_ =
        dongle_.playing()
            ? QStringLiteral("%1 is not the recorded belt's port (use REPLAY)").arg(name)
        : replay
            ? QStringLiteral("%1: there is no capture to play").arg(name)
            : QStringLiteral("%1 is not a simulated port (use SIM or SIM:<scenario>)").arg(name);
    return false;
  }
  dongle_.advanceTo(clock_.tick());
  if (dongle_.unplugged()) {
    error_ = QStringLiteral("%1: no such device (the simulated dongle is unplugged)").arg(name);
    return false;
  }
  const QString scenario = replay ? QString() : name.mid(kPrefix.size() + 1);
  if (!scenario.isEmpty()) {
    QString why;
    const auto timeline = ScenarioTimeline::parse(scenario, &why);
    if (!timeline) {
      error_ = QStringLiteral("%1: %2").arg(name, why);
      return false;
    }
    dongle_.setTimeline(*timeline);
  }
  // Bytes that arrived while nobody had the port open are gone, as with a real device.
  dongle_.discardOutput();
  open_ = true;
  schedule();
  return true;
}

void SimSerialTransport::close() {
  open_ = false;
  timer_->stop();
}

void SimSerialTransport::write(const QByteArray& bytes) {
  if (!open_) {
    throw Error(QStringLiteral("Cannot write to %1: the port is not open")
                    .arg(name_.isEmpty() ? QString(kPrefix) : name_)
                    .toStdString());
  }
  dongle_.advanceTo(clock_.tick());
  dongle_.receive(bytes);
  schedule();
}

qint64 SimSerialTransport::bytesAvailable() const { return open_ ? dongle_.outputSize() : 0; }

qint64 SimSerialTransport::read(char* data, qint64 maxSize) {
  if (!open_) return 0;
  return dongle_.readOutput(data, maxSize);
}

void SimSerialTransport::pump() {
  dongle_.advanceTo(clock_.tick());
  if (!open_) {
    dongle_.discardOutput();
    return;
  }
  if (dongle_.unplugged()) {
    open_ = false;
    timer_->stop();
    dongle_.discardOutput();
    error_ = QStringLiteral("the simulated dongle was unplugged");
    emit connectionLost(QStringLiteral("%1: %2").arg(name_, error_));
    return;
  }
  schedule();
  if (dongle_.outputSize() > 0) emit readyRead();
}

void SimSerialTransport::setAutoPump(bool on) {
  autoPump_ = on;
  if (!on) timer_->stop();
  schedule();
}

void SimSerialTransport::schedule() {
  if (!open_ || !autoPump_) return;
  const std::uint32_t wait =
      std::clamp<std::uint32_t>(dongle_.msUntilNextActivity(), 1, kMaxSleepMs);
  // The dongle lives on the clock's time; a clock run fast wakes it as often in its own time.
  timer_->start(realWaitMs(clock_, wait));
}

}  // namespace kelvaro
