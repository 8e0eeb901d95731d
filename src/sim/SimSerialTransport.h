#pragma once

#include <QTimer>
#include <memory>

#include "base/TickSource.h"
#include "platform/SerialTransport.h"
#include "sim/SimDongle.h"
#include "sim/SimOptions.h"

namespace kelvaro {

// The simulated dongle as a serial port inside the program: port "SIM" plays the options'
// timeline, "SIM:<timeline>" (for example SIM:breathing:60,apnea:20) another one, and "REPLAY"
// the recorded belt of the options' playback. A timer on the
// GUI thread moves the dongle along the clock and raises readyRead() when bytes have arrived;
// tests with a ManualTickSource advance the clock and call pump() themselves.
//
// Like a USB dongle, the simulated one keeps running while the port is closed (what it sends
// then is lost), survives a reset with the port open (the boot event arrives about a second
// later) and, when unplugged by the fault, closes the port and reports connectionLost().
class SimSerialTransport final : public SerialTransport {
  Q_OBJECT

 public:
  SimSerialTransport(const TickSource& clock, const SimOptions& options = SimOptions(),
                     QObject* parent = nullptr);
  ~SimSerialTransport() override;

  // True for the names this transport serves ("SIM", "SIM:..."; any case).
  static bool handles(const QString& portName);
  // "REPLAY" (any case): the recorded belt of the options' playback, which must have one.
  static inline const QString kReplayPort = QStringLiteral("REPLAY");
  static bool handlesReplay(const QString& portName);

  // The line settings are accepted and ignored: a USB dongle runs at its own speed.
  bool open(const QString& name, const SerialSettings& settings) override;
  void close() override;
  bool isOpen() const override { return open_; }
  QString portName() const override { return name_; }
  QString errorString() const override { return error_; }
  void write(const QByteArray& bytes) override;
  qint64 bytesAvailable() const override;
  qint64 read(char* data, qint64 maxSize) override;

  // Brings the dongle up to the clock's time; emits readyRead() when bytes are waiting.
  void pump();
  // Stops (false) or restarts the timer that calls pump() on its own.
  void setAutoPump(bool on);
  SimDongle& dongle() { return dongle_; }

 private:
  void schedule();

  const TickSource& clock_;
  SimDongle dongle_;
  QTimer* timer_;  // child of this object
  bool open_ = false;
  bool autoPump_ = true;
  QString name_;
  QString error_;
};

}  // namespace kelvaro
