#include "support/FakeSerialTransport.h"

#include <cstring>

#include "base/Errors.h"

namespace kelvaro::testing {

bool FakeSerialTransport::open(const QString& name, const SerialSettings& settings) {
  ++openCount;
  name_ = name;
  lastSettings = settings;
  if (failOpen) {
    error_ = QStringLiteral("No such file or directory");
    return false;
  }
  error_.clear();
  open_ = true;
  return true;
}

void FakeSerialTransport::close() { open_ = false; }

void FakeSerialTransport::write(const QByteArray& bytes) {
  if (!open_) throw Error("Cannot write to " + name_.toStdString() + ": the port is not open");
  if (failWrites) throw Error("Cannot write to " + name_.toStdString() + ": write failed");
  writes.append(bytes);
  if (onWrite) onWrite(bytes);
}

qint64 FakeSerialTransport::read(char* data, qint64 maxSize) {
  readRequests.append(maxSize);
  const qint64 n = std::min(maxSize, bytesAvailable());
  if (n > 0) std::memcpy(data, rx_.constData() + readPos_, static_cast<size_t>(n));
  readPos_ += n;
  if (readPos_ == rx_.size()) {
    rx_.clear();
    readPos_ = 0;
  }
  return n;
}

void FakeSerialTransport::inject(const QByteArray& bytes, bool notify) {
  rx_.append(bytes);
  if (notify) emit readyRead();
}

void FakeSerialTransport::injectHex(const char* hex, bool notify) {
  inject(QByteArray::fromHex(QByteArray(hex).replace(' ', "")), notify);
}

void FakeSerialTransport::loseConnection(const QString& reason) {
  open_ = false;
  emit connectionLost(reason);
}

}  // namespace kelvaro::testing
