#pragma once

#include <QSerialPort>

#include "platform/SerialTransport.h"

namespace kelvaro {

// The dongle's serial port through QSerialPort. DTR and RTS are held inactive, as the dongle
// expects; a read or resource error (the device unplugged, the pseudo-terminal's other side gone)
// closes the port and is reported once through connectionLost().
class QtSerialTransport final : public SerialTransport {
  Q_OBJECT

 public:
  explicit QtSerialTransport(QObject* parent = nullptr);
  ~QtSerialTransport() override;

  bool open(const QString& name, const SerialSettings& settings) override;
  void close() override;
  bool isOpen() const override;
  QString portName() const override { return name_; }
  QString errorString() const override { return error_; }
  void write(const QByteArray& bytes) override;
  qint64 bytesAvailable() const override;
  qint64 read(char* data, qint64 maxSize) override;

 private:
  bool applySettings(const SerialSettings& settings);
  void holdControlLinesInactive(bool rtsCts);
  void onErrorOccurred(QSerialPort::SerialPortError error);

  QSerialPort* port_;  // child of this object
  QString name_;
  QString error_;
};

}  // namespace kelvaro
