#pragma once

#include <QString>
#include <cstdint>
#include <cstdio>
#include <optional>

#include "monitor/MeasurementConsumer.h"

namespace kelvaro {

// What the headless recorder's status line says, counted from the core's road: the run's time,
// the notifications, the breathing rate, the apneas so far and the link's state.
class HeadlessStatus final : public MeasurementConsumer {
 public:
  void notificationDecoded(const DecodedNotification& notification) override;
  void linkChanged(const LinkChange& change) override;
  void eventNoted(const MonitorEvent& event) override;

  // "00:10:00  notifications 12000  breaths/min 15.2  apneas 1  link connected"
  QString line(std::uint64_t elapsedMs) const;

  std::uint64_t notifications() const { return notifications_; }
  int apneas() const { return apneas_; }

 private:
  std::uint64_t notifications_ = 0;
  std::optional<double> rate_;
  int apneas_ = 0;
  QString link_ = QStringLiteral("waiting for the belt");
  bool dongleGone_ = false;
};

// Standard error of the headless recorder: the console's lines, and the status line. On a
// terminal the status is one line rewritten in place (a console line clears it, goes above it,
// and the status is drawn again); elsewhere (a log file, a pipe) each status is a plain line.
class HeadlessOutput {
 public:
  HeadlessOutput(std::FILE* out, bool terminal) : out_(out), terminal_(terminal) {}
  bool terminal() const { return terminal_; }
  void consoleLine(const QString& line);
  void status(const QString& line);
  // The end of the run: a status drawn in place gets its line end.
  void finish();

 private:
  std::FILE* out_;
  bool terminal_;
  QByteArray shown_;  // the status on the terminal's last line, if any
};

}  // namespace kelvaro
