#pragma once

#include "capture/CaptureWriter.h"
#include "platform/SerialTransport.h"

namespace kelvaro {

// The dongle's port with a capture on it: every byte read from the port and every write to it
// goes to the writer as it passes, while the writer is capturing; otherwise the tap only passes
// everything through. Whatever is behind it (a serial port, the simulator, a recorded belt) is
// captured the same way.
class CaptureTap final : public SerialTransport {
  Q_OBJECT

 public:
  // Both must outlive the tap.
  CaptureTap(SerialTransport& port, CaptureWriter& writer, QObject* parent = nullptr);

  bool open(const QString& name, const SerialSettings& settings) override {
    return port_.open(name, settings);
  }
  void close() override { port_.close(); }
  bool isOpen() const override { return port_.isOpen(); }
  QString portName() const override { return port_.portName(); }
  QString errorString() const override { return port_.errorString(); }
  // Captured once the port has taken the bytes: a write that throws sent nothing.
  void write(const QByteArray& bytes) override;
  qint64 bytesAvailable() const override { return port_.bytesAvailable(); }
  qint64 read(char* data, qint64 maxSize) override;

  SerialTransport& port() { return port_; }
  CaptureWriter& writer() { return writer_; }

 private:
  SerialTransport& port_;
  CaptureWriter& writer_;
};

}  // namespace kelvaro
