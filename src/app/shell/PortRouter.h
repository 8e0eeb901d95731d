#pragma once

#include <memory>
#include <optional>

#include "platform/SerialTransport.h"
#include "sim/BeltPlayback.h"
#include "sim/SimOptions.h"

namespace kelvaro {

class TickSource;

// ComPort1 as the window sees it: one transport that opens the simulated dongle for the names
// "SIM" and "SIM:<timeline>", the recorded belt of the playback set last for "REPLAY", and a real
// serial port for anything else. Closing and reopening under another name switches between them.
class PortRouter final : public SerialTransport {
  Q_OBJECT

 public:
  explicit PortRouter(const TickSource& clock, QObject* parent = nullptr);
  ~PortRouter() override;

  bool open(const QString& name, const SerialSettings& settings) override;
  void close() override;
  bool isOpen() const override;
  QString portName() const override;
  QString errorString() const override;
  void write(const QByteArray& bytes) override;
  qint64 bytesAvailable() const override;
  qint64 read(char* data, qint64 maxSize) override;

  // The recorded belt that "REPLAY" opens from the next open on: a new playback from its start.
  void setPlayback(const SimPlayback& playback);
  // The simulated dongle's belts and connections, from its next open on ("SIM").
  void setSimOptions(const SimOptions& options) { simOptions_ = options; }
  // How far the recorded belt has got while "REPLAY" is open; nothing otherwise.
  std::optional<PlaybackProgress> playbackProgress() const;

 private:
  enum class Kind { Serial, Simulated, Replay };
  void adopt(std::unique_ptr<SerialTransport> transport);

  const TickSource& clock_;
  std::unique_ptr<SerialTransport> active_;
  Kind kind_ = Kind::Serial;
  SimPlayback playback_;
  SimOptions simOptions_;
  bool newPlayback_ = false;
  QString error_;
};

}  // namespace kelvaro
