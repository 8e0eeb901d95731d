#include "platform/QtSerialTransport.h"

#include "base/Errors.h"

namespace kelvaro {

namespace {

QSerialPort::Parity toQt(SerialSettings::Parity parity) {
  switch (parity) {
    case SerialSettings::Parity::Odd:
      return QSerialPort::OddParity;
    case SerialSettings::Parity::Even:
      return QSerialPort::EvenParity;
    case SerialSettings::Parity::Mark:
      return QSerialPort::MarkParity;
    case SerialSettings::Parity::Space:
      return QSerialPort::SpaceParity;
    case SerialSettings::Parity::None:
      break;
  }
  return QSerialPort::NoParity;
}

QSerialPort::StopBits toQt(SerialSettings::StopBits stopBits) {
  switch (stopBits) {
    case SerialSettings::StopBits::OneAndHalf:
      return QSerialPort::OneAndHalfStop;
    case SerialSettings::StopBits::Two:
      return QSerialPort::TwoStop;
    case SerialSettings::StopBits::One:
      break;
  }
  return QSerialPort::OneStop;
}

// QSerialPort knows one flow-control mode at a time; when both flags are set the hardware
// handshake wins, because it is the one that keeps bytes from being lost.
QSerialPort::FlowControl flowControl(const SerialSettings& settings) {
  if (settings.rtsCtsHandshake) return QSerialPort::HardwareControl;
  if (settings.xonXoff) return QSerialPort::SoftwareControl;
  return QSerialPort::NoFlowControl;
}

}  // namespace

QtSerialTransport::QtSerialTransport(QObject* parent)
    : SerialTransport(parent), port_(new QSerialPort(this)) {
  connect(port_, &QSerialPort::readyRead, this, &SerialTransport::readyRead);
  connect(port_, &QSerialPort::errorOccurred, this, &QtSerialTransport::onErrorOccurred);
}

QtSerialTransport::~QtSerialTransport() {
  // Closing here, before the child port goes, keeps its error signal from reaching a half
  // destroyed transport.
  disconnect(port_, nullptr, this, nullptr);
  port_->close();
}

bool QtSerialTransport::open(const QString& name, const SerialSettings& settings) {
  close();
  name_ = name;
  error_.clear();
  // QSerialPort takes either a bare name (looked up under /dev) or a full device path.
  port_->setPortName(name);
  if (!applySettings(settings)) return false;
  if (!port_->open(QIODevice::ReadWrite)) {
    error_ = port_->errorString();
    return false;
  }
  holdControlLinesInactive(settings.rtsCtsHandshake);
  port_->clearError();
  return true;
}

bool QtSerialTransport::applySettings(const SerialSettings& settings) {
  if (settings.dataBits < QSerialPort::Data5 || settings.dataBits > QSerialPort::Data8) {
    error_ = QStringLiteral("Unsupported number of data bits: %1").arg(settings.dataBits);
    return false;
  }
  // Set before open(), these are only stored; open() applies them and fails if the device
  // refuses one.
  port_->setBaudRate(settings.baudRate);
  port_->setDataBits(static_cast<QSerialPort::DataBits>(settings.dataBits));
  port_->setParity(toQt(settings.parity));
  port_->setStopBits(toQt(settings.stopBits));
  port_->setFlowControl(flowControl(settings));
  return true;
}

void QtSerialTransport::holdControlLinesInactive(bool rtsCts) {
  // A pseudo-terminal has no modem lines: these calls then fail with UnsupportedOperationError,
  // which is harmless and ignored.
  port_->setDataTerminalReady(false);
  // Under hardware handshake the driver owns RTS.
  if (!rtsCts) port_->setRequestToSend(false);
}

void QtSerialTransport::close() {
  if (port_->isOpen()) port_->close();
}

bool QtSerialTransport::isOpen() const { return port_->isOpen(); }

void QtSerialTransport::write(const QByteArray& bytes) {
  const auto fail = [this](const QString& why) {
    return Error(QStringLiteral("Cannot write to %1: %2").arg(name_, why).toStdString());
  };
  if (!port_->isOpen()) throw fail(QStringLiteral("the port is not open"));
  port_->clearError();
  if (port_->write(bytes) != bytes.size()) throw fail(port_->errorString());
  // QSerialPort only queues the bytes; handing them to the device now keeps the command order
  // with respect to later waits and reads exactly as written.
  port_->flush();
  const QSerialPort::SerialPortError error = port_->error();
  if (error == QSerialPort::WriteError || error == QSerialPort::ResourceError) {
    throw fail(error_.isEmpty() ? port_->errorString() : error_);
  }
  if (!port_->isOpen()) throw fail(error_);
}

qint64 QtSerialTransport::bytesAvailable() const {
  return port_->isOpen() ? port_->bytesAvailable() : 0;
}

qint64 QtSerialTransport::read(char* data, qint64 maxSize) {
  if (!port_->isOpen() || maxSize <= 0) return 0;
  const qint64 n = port_->read(data, maxSize);
  return n < 0 ? 0 : n;
}

void QtSerialTransport::onErrorOccurred(QSerialPort::SerialPortError error) {
  if (error != QSerialPort::ReadError && error != QSerialPort::ResourceError) return;
  // A vanished device keeps reporting ReadError in a tight loop until the port is closed, so
  // close at the first one and tell the owner exactly once.
  if (!port_->isOpen()) return;
  error_ = port_->errorString();
  port_->close();
  emit connectionLost(QStringLiteral("%1: %2").arg(name_, error_));
}

}  // namespace kelvaro
