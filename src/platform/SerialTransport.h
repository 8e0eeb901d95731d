#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

namespace kelvaro {

// Line settings of the dongle's port. The design values are what the dongle speaks.
struct SerialSettings {
  enum class Parity { None, Odd, Even, Mark, Space };
  enum class StopBits { One, OneAndHalf, Two };

  qint32 baudRate = 115200;
  int dataBits = 8;
  Parity parity = Parity::None;
  StopBits stopBits = StopBits::One;
  // Flow control flags; "None" is all off, "Hardware" is rts+cts, "Software" is xonXoff.
  bool rtsCtsHandshake = false;
  bool xonXoff = false;
};

// A byte pipe to the dongle: a real serial port, the in-process simulator, a recorded stream or a
// test's script. Everything happens on the GUI thread: readyRead() is emitted from the event loop
// whenever bytes are waiting, and write() returns when the bytes are handed to the device.
class SerialTransport : public QObject {
  Q_OBJECT

 public:
  explicit SerialTransport(QObject* parent = nullptr) : QObject(parent) {}
  ~SerialTransport() override = default;

  // Opens the port given by name (a device path such as /dev/ttyACM0, or a name such as "SIM").
  // Returns false and leaves errorString() set when the port cannot be opened.
  virtual bool open(const QString& name, const SerialSettings& settings) = 0;
  virtual void close() = 0;
  virtual bool isOpen() const = 0;
  virtual QString portName() const = 0;
  virtual QString errorString() const = 0;

  // Writes all bytes in one piece; throws kelvaro::Error when the port is closed or the write
  // fails, with a text that says which port and why.
  virtual void write(const QByteArray& bytes) = 0;

  virtual qint64 bytesAvailable() const = 0;
  // Reads up to maxSize waiting bytes into data; returns how many were read (0 when none).
  virtual qint64 read(char* data, qint64 maxSize) = 0;

 signals:
  void readyRead();
  // The device went away or failed while open (unplugged, read error); the port is closed.
  void connectionLost(const QString& reason);
};

// A port with nothing behind it, for a core fed by hand (a replay, a benchmark, a fuzzer): it is
// always open, writes go nowhere and there is never anything to read.
class NullSerialTransport final : public SerialTransport {
 public:
  using SerialTransport::SerialTransport;
  bool open(const QString&, const SerialSettings&) override { return true; }
  void close() override {}
  bool isOpen() const override { return true; }
  QString portName() const override { return QStringLiteral("none"); }
  QString errorString() const override { return {}; }
  void write(const QByteArray&) override {}
  qint64 bytesAvailable() const override { return 0; }
  qint64 read(char*, qint64) override { return 0; }
};

}  // namespace kelvaro
