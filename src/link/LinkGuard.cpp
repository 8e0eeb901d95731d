#include "link/LinkGuard.h"

#include <algorithm>
#include <iterator>

#include "base/ConsoleLog.h"
#include "base/TickSource.h"

namespace kelvaro {

namespace {

// Differences of the wrapping millisecond tick, read as signed.
std::int32_t since(std::uint32_t from, std::uint32_t now) {
  return static_cast<std::int32_t>(now - from);
}

}  // namespace

LinkGuard::LinkGuard(const TickSource& ticks, ConsoleLog& console, LinkGuardActions& actions)
    : ticks_(ticks), console_(console), actions_(actions) {}

QString LinkGuard::reasonText(std::uint16_t reason) {
  const char* words = nullptr;
  switch (reason) {
    case 0x0208:
      words = "supervision time-out";
      break;
    case 0x0213:
      words = "ended by the belt";
      break;
    case 0x0216:
      words = "ended by the dongle";
      break;
    case 0x0222:
      words = "the belt stopped answering";
      break;
    case 0x023E:
      words = "the connection could not be set up";
      break;
    default:
      words = "disconnected";
      break;
  }
  return QStringLiteral("%1 (0x%2)")
      .arg(QLatin1String(words),
           QString::number(reason, 16).rightJustified(4, QLatin1Char('0')).toUpper());
}

void LinkGuard::connected(const QString& deviceId) {
  const bool back = state_ == State::Lost || state_ == State::Reconnecting;
  deviceId_ = deviceId;
  state_ = State::Connected;
  lastHeard_ = ticks_.tick();
  attempts_ = 0;
  if (back) {
    console_.append(QStringLiteral("Link back: %1").arg(deviceId));
    actions_.linkBack(deviceId);
  }
}

void LinkGuard::userDisconnected() { state_ = State::Idle; }

void LinkGuard::notification() {
  if (state_ == State::Connected) lastHeard_ = ticks_.tick();
}

void LinkGuard::disconnectedEvent(std::uint16_t reason) {
  if (state_ == State::Connected) lose(reasonText(reason));
}

void LinkGuard::tick() {
  const std::uint32_t now = ticks_.tick();
  if (state_ == State::Connected &&
      since(lastHeard_, now) >= static_cast<std::int32_t>(kSilenceMs)) {
    lose(QStringLiteral("no notification for %1 s").arg(kSilenceMs / 1000));
    return;
  }
  if (state_ == State::Lost && since(nextAttemptAt_, now) >= 0) attempt();
}

void LinkGuard::retrySoon() {
  if (state_ == State::Lost) nextAttemptAt_ = ticks_.tick();
}

std::uint32_t LinkGuard::nextAttemptInMs() const {
  if (state_ != State::Lost) return 0;
  const std::int32_t left = -since(nextAttemptAt_, ticks_.tick());
  return left > 0 ? static_cast<std::uint32_t>(left) : 0;
}

std::optional<std::uint32_t> LinkGuard::msUntilDue() const {
  std::int32_t left = 0;
  if (state_ == State::Connected) {
    left = static_cast<std::int32_t>(kSilenceMs) - since(lastHeard_, ticks_.tick());
  } else if (state_ == State::Lost) {
    left = -since(nextAttemptAt_, ticks_.tick());
  } else {
    return std::nullopt;
  }
  return static_cast<std::uint32_t>(std::max(left, 0));
}

void LinkGuard::lose(const QString& reason) {
  state_ = State::Lost;
  lostAt_ = ticks_.tick();
  attempts_ = 0;
  nextAttemptAt_ = lostAt_ + kBackOffMs[0];
  console_.append(QStringLiteral("Link lost: %1").arg(reason));
  actions_.linkLost(deviceId_, reason);
}

void LinkGuard::attempt() {
  state_ = State::Reconnecting;
  ++attempts_;
  const QString deviceId = deviceId_;
  const bool made = actions_.reconnect(deviceId);
  // A Disconnect (or a connect of the user's own) may have come while the attempt waited.
  if (state_ != State::Reconnecting) return;
  if (made) {
    connected(deviceId);
    return;
  }
  state_ = State::Lost;
  const auto step =
      std::min<std::size_t>(static_cast<std::size_t>(attempts_), std::size(kBackOffMs) - 1);
  nextAttemptAt_ = ticks_.tick() + kBackOffMs[step];
}

}  // namespace kelvaro
