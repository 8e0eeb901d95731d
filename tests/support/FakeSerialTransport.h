#pragma once

#include <QByteArray>
#include <QList>
#include <functional>

#include "platform/SerialTransport.h"

namespace kelvaro::testing {

// A scripted serial port: the test injects received bytes and reads back what was written.
// onWrite lets a test answer commands the way a dongle would.
class FakeSerialTransport : public SerialTransport {
  Q_OBJECT

 public:
  using SerialTransport::SerialTransport;

  bool open(const QString& name, const SerialSettings& settings) override;
  void close() override;
  bool isOpen() const override { return open_; }
  QString portName() const override { return name_; }
  QString errorString() const override { return error_; }
  void write(const QByteArray& bytes) override;
  qint64 bytesAvailable() const override { return rx_.size() - readPos_; }
  qint64 read(char* data, qint64 maxSize) override;

  // Test side.
  // Appends bytes to the receive queue; emits readyRead() at once when notify is true.
  void inject(const QByteArray& bytes, bool notify = true);
  void injectHex(const char* hex, bool notify = true);
  void loseConnection(const QString& reason);

  QList<QByteArray> writes;    // every write, in order
  QList<qint64> readRequests;  // maxSize of every read() call
  SerialSettings lastSettings;
  int openCount = 0;
  bool failOpen = false;    // open() returns false
  bool failWrites = false;  // write() throws kelvaro::Error
  std::function<void(const QByteArray&)> onWrite;

 private:
  bool open_ = false;
  QString name_;
  QString error_;
  QByteArray rx_;
  qint64 readPos_ = 0;
};

}  // namespace kelvaro::testing
