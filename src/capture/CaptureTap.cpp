#include "capture/CaptureTap.h"

namespace kelvaro {

CaptureTap::CaptureTap(SerialTransport& port, CaptureWriter& writer, QObject* parent)
    : SerialTransport(parent), port_(port), writer_(writer) {
  connect(&port_, &SerialTransport::readyRead, this, &SerialTransport::readyRead);
  connect(&port_, &SerialTransport::connectionLost, this, &SerialTransport::connectionLost);
}

void CaptureTap::write(const QByteArray& bytes) {
  port_.write(bytes);
  writer_.record(capture::Direction::Sent, bytes.constData(), std::size_t(bytes.size()));
}

qint64 CaptureTap::read(char* data, qint64 maxSize) {
  const qint64 n = port_.read(data, maxSize);
  if (n > 0) writer_.record(capture::Direction::Received, data, std::size_t(n));
  return n;
}

}  // namespace kelvaro
