#include "headless/HeadlessStatus.h"

#include "base/Formats.h"

namespace kelvaro {

void HeadlessStatus::notificationDecoded(const DecodedNotification& notification) {
  // The first belt's only.
  if (notification.belt > 0) return;
  ++notifications_;
  rate_ = notification.breath.ratePerMinute;
}

void HeadlessStatus::linkChanged(const LinkChange& change) {
  // The first belt's only.
  if (change.belt > 0) return;
  switch (change.event) {
    case LinkEvent::Connected:
    case LinkEvent::Back:
      link_ = QStringLiteral("connected");
      break;
    case LinkEvent::Lost:
      link_ = QStringLiteral("lost, reconnecting");
      break;
    case LinkEvent::Disconnected:
      link_ = QStringLiteral("disconnected");
      break;
  }
}

void HeadlessStatus::eventNoted(const MonitorEvent& event) {
  // The first belt's only.
  if (event.belt > 0) return;
  if (event.kind == MonitorEventKind::Apnea) ++apneas_;
  if (event.kind == MonitorEventKind::DongleGone) dongleGone_ = true;
  if (event.kind == MonitorEventKind::DongleBack) dongleGone_ = false;
}

QString HeadlessStatus::line(std::uint64_t elapsedMs) const {
  const std::uint64_t seconds = elapsedMs / 1000;
  const QString elapsed = QStringLiteral("%1:%2:%3")
                              .arg(seconds / 3600, 2, 10, QLatin1Char('0'))
                              .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
                              .arg(seconds % 60, 2, 10, QLatin1Char('0'));
  return QStringLiteral("%1  notifications %2  breaths/min %3  apneas %4  link %5")
      .arg(elapsed)
      .arg(notifications_)
      .arg(rate_ ? fmt::formatFloat("0.0", *rate_) : QStringLiteral("---"))
      .arg(apneas_)
      .arg(dongleGone_ ? QStringLiteral("dongle gone") : link_);
}

void HeadlessOutput::consoleLine(const QString& line) {
  const QByteArray text = line.toLocal8Bit();
  if (terminal_ && !shown_.isEmpty()) {
    // The console line takes the status's place; the status comes back below it.
    std::fprintf(out_, "\r\x1b[K%s\n%s", text.constData(), shown_.constData());
  } else {
    std::fprintf(out_, "%s\n", text.constData());
  }
  std::fflush(out_);
}

void HeadlessOutput::status(const QString& line) {
  if (terminal_) {
    shown_ = line.toLocal8Bit();
    std::fprintf(out_, "\r\x1b[K%s", shown_.constData());
  } else {
    std::fprintf(out_, "%s\n", line.toLocal8Bit().constData());
  }
  std::fflush(out_);
}

void HeadlessOutput::finish() {
  if (terminal_ && !shown_.isEmpty()) {
    std::fprintf(out_, "\n");
    shown_.clear();
    std::fflush(out_);
  }
}

}  // namespace kelvaro
