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
  const bool simulated = SimSerialTransport::handles(name);
  const bool sameKind =
      active_ && (qobject_cast<SimSerialTransport*>(active_.get()) != nullptr) == simulated;
  if (!sameKind) {
    if (simulated) {
      adopt(std::make_unique<SimSerialTransport>(clock_));
    } else {
      adopt(std::make_unique<QtSerialTransport>());
    }
  }
  const bool opened = active_->open(name, settings);
  error_ = opened ? QString() : active_->errorString();
  return opened;
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
