#include "app/shell/PortRouter.h"

#include "base/Errors.h"
#include "platform/QtSerialTransport.h"
#include "sim/SimSerialTransport.h"

namespace kelvaro {

PortRouter::PortRouter(const TickSource& clock, QObject* parent)
    : SerialTransport(parent), clock_(clock) {}

PortRouter::~PortRouter() = default;

bool PortRouter::open(const QString& name, const SerialSettings& settings) {
  if (active_) active_->close();
  const Kind kind = SimSerialTransport::handlesReplay(name) ? Kind::Replay
                    : SimSerialTransport::handles(name)     ? Kind::Simulated
                                                            : Kind::Serial;
  // The same dongle stays while the name's kind does, as a USB device stays through a reset.
  if (!active_ || kind != kind_ || (kind == Kind::Replay && newPlayback_)) {
    switch (kind) {
      case Kind::Replay: {
        SimOptions options;
        options.playback = playback_;
        adopt(std::make_unique<SimSerialTransport>(clock_, options));
        newPlayback_ = false;
        break;
      }
      case Kind::Simulated:
        adopt(std::make_unique<SimSerialTransport>(clock_, simOptions_));
        break;
      case Kind::Serial:
        adopt(std::make_unique<QtSerialTransport>());
        break;
    }
    kind_ = kind;
  }
  const bool opened = active_->open(name, settings);
  error_ = opened ? QString() : active_->errorString();
  return opened;
}

void PortRouter::setPlayback(const SimPlayback& playback) {
  playback_ = playback;
  newPlayback_ = true;
}

std::optional<PlaybackProgress> PortRouter::playbackProgress() const {
  if (kind_ != Kind::Replay || !active_ || !active_->isOpen()) return std::nullopt;
  return static_cast<SimSerialTransport*>(active_.get())->dongle().playbackProgress();
}

void PortRouter::adopt(std::unique_ptr<SerialTransport> transport) {
  active_ = std::move(transport);
  connect(active_.get(), &SerialTransport::readyRead, this, &SerialTransport::readyRead);
  connect(active_.get(), &SerialTransport::connectionLost, this, &SerialTransport::connectionLost);
}

void PortRouter::close() {
  if (active_) active_->close();
}

bool PortRouter::isOpen() const { return active_ && active_->isOpen(); }

QString PortRouter::portName() const { return active_ ? active_->portName() : QString(); }

QString PortRouter::errorString() const { return active_ ? active_->errorString() : error_; }

void PortRouter::write(const QByteArray& bytes) {
  if (!active_) throw Error("Cannot write to the dongle: no port is open");
  active_->write(bytes);
}

qint64 PortRouter::bytesAvailable() const { return active_ ? active_->bytesAvailable() : 0; }

qint64 PortRouter::read(char* data, qint64 maxSize) {
  return active_ ? active_->read(data, maxSize) : 0;
}

}  // namespace kelvaro
