#include "link/BeltConnection.h"

#include <algorithm>

#include "base/ConsoleLog.h"
#include "base/Formats.h"
#include "base/TickSource.h"
#include "link/CommandSender.h"
#include "link/LinkGuard.h"

namespace kelvaro {

namespace {

using State = BeltConnection::State;

constexpr std::uint8_t kSet1Attribute = 28;
constexpr std::uint8_t kSet2Attribute = 26;
// Connection 0 is the first belt's: its procedure names it in every command.
constexpr std::uint8_t kFirstBeltHandle = 0;

// Differences of the wrapping millisecond tick, read as signed.
std::int32_t since(std::uint32_t from, std::uint32_t now) {
  return static_cast<std::int32_t>(now - from);
}

QString hex16(std::uint16_t value) {
  return QStringLiteral("0x") +
         QString::number(value, 16).rightJustified(4, QLatin1Char('0')).toUpper();
}

// The first belt's trace lines of a phase, and the phase in a failure's words.
struct Lines {
  const char* ok;
  const char* error;
  const char* timeout;
  const char* what;
};

constexpr Lines kConnectingLines{"**** Connect send OK", "Connect Faze1 ERR",
                                 "Connect Faze1 Timeout", "connecting"};
constexpr Lines kLinkingLines{"**** Connect faze2 OK", "Connect ERR", "Connect Timeout",
                              "waiting for the link"};
constexpr Lines kSettingUpLines{"**** Set1 OK", "Set1 ERR", "Set1 Timeout", "setting it up (Set1)"};
constexpr Lines kEnablingLines{"**** Set2 OK", "Set2 ERR", "Set2 Timeout",
                               "switching its notifications on (Set2)"};
constexpr Lines kAskingLines{nullptr, nullptr, "Get connections Timeout",
                             "asking the dongle for its connections"};

const Lines* linesOf(State state) {
  switch (state) {
    case State::AskingCapacity:
      return &kAskingLines;
    case State::Connecting:
      return &kConnectingLines;
    case State::Linking:
      return &kLinkingLines;
    case State::SettingUp:
      return &kSettingUpLines;
    case State::Enabling:
      return &kEnablingLines;
    default:
      return nullptr;
  }
}

}  // namespace

BeltConnection::BeltConnection(CommandSender& commands, const TickSource& ticks,
                               ConsoleLog& console)
    : commands_(commands), ticks_(ticks), console_(console) {}

bool BeltConnection::adding() const {
  return state_ == State::AskingCapacity || state_ == State::Connecting ||
         state_ == State::Linking || state_ == State::SettingUp || state_ == State::Enabling;
}

QString BeltConnection::notConnected(const QString& why) const {
  return QStringLiteral("Belt %1 was not connected: %2").arg(deviceId_, why);
}

QString BeltConnection::lineTail() const {
  return handle_ ? QStringLiteral(" H=") + fmt::hexByte(*handle_)
                 : QStringLiteral(" ID=") + deviceId_;
}

void BeltConnection::enter(State state) {
  state_ = state;
  deadline_ = ticks_.tick() + kPhaseMs;
}

void BeltConnection::settle(State state) {
  state_ = state;
  if (handle_) lastHandle_ = *handle_;
  handle_.reset();
}

std::optional<BeltConnection::Outcome> BeltConnection::takeReport() {
  std::optional<Outcome> report = report_;
  report_.reset();
  return report;
}

void BeltConnection::writeFailed() {
  const bool wasAdding = adding();
  failure_ = notConnected(QStringLiteral("the write to the dongle failed"));
  failing_ = false;
  settle(wasAdding ? State::Failed : State::Idle);
  if (wasAdding) report_ = Outcome::Failed;
}

void BeltConnection::askCapacity(const QString& deviceId) {
  if (state_ != State::Idle) return;
  deviceId_ = deviceId;
  commands_.sendGetConnections();
  enter(State::AskingCapacity);
}

void BeltConnection::connect(const QString& deviceId) {
  if (state_ != State::Idle && state_ != State::AskingCapacity) return;
  deviceId_ = deviceId;
  try {
    commands_.sendConnectDirect(deviceId);
  } catch (...) {
    if (state_ == State::AskingCapacity) writeFailed();
    throw;
  }
  enter(State::Connecting);
}

void BeltConnection::refuse(const QString& message) {
  if (state_ != State::AskingCapacity) return;
  failure_ = message;
  settle(State::Failed);
  report_ = Outcome::Failed;
}

void BeltConnection::disconnect() {
  const State was = state_;
  failing_ = false;
  try {
    switch (was) {
      case State::AskingCapacity:
        settle(State::Idle);
        return;
      case State::Connecting:
        commands_.sendEndProcedure();
        settle(State::Idle);
        return;
      case State::Linking:
        commands_.sendEndProcedure();
        commands_.sendDisconnect(*handle_);
        break;
      case State::SettingUp:
      case State::Enabling:
      case State::Streaming:
        commands_.sendDisconnect(*handle_);
        break;
      case State::Idle:
      case State::Disconnecting:
      case State::Failed:
        return;
    }
  } catch (...) {
    settle(State::Idle);
    throw;
  }
  enter(State::Disconnecting);
}

void BeltConnection::endLeftovers(bool endConnecting) {
  // A dongle still making the connection rejects the disconnect and goes on connecting, so its
  // procedure is ended first; a connection made meanwhile is then ended by the disconnect.
  if (endConnecting) commands_.sendEndProcedure();
  if (!handle_) {
    settle(State::Failed);
    return;
  }
  commands_.sendDisconnect(*handle_);
  failing_ = true;
  enter(State::Disconnecting);
}

void BeltConnection::fail(const char* line, const QString& message) {
  const bool endConnecting = state_ == State::Connecting || state_ == State::Linking;
  if (line) console_.append(QString::fromLatin1(line) + lineTail());
  failure_ = message;
  report_ = Outcome::Failed;
  if (state_ == State::AskingCapacity) {
    settle(State::Failed);
    return;
  }
  try {
    endLeftovers(endConnecting);
  } catch (...) {
    settle(State::Failed);
    throw;
  }
}

void BeltConnection::phaseOk() {
  console_.append(QString::fromLatin1(linesOf(state_)->ok) + lineTail());
}

void BeltConnection::connectDirectResponse(std::uint16_t result, std::uint8_t handle) {
  if (state_ != State::Connecting) return;
  if (result != 0) {
    fail(
        kConnectingLines.error,
        result == bgapi::kConnectionLimitExceeded
            ? QStringLiteral("The dongle refused another connection (connection limit exceeded)")
            : notConnected(QStringLiteral("error while connecting: result %1").arg(hex16(result))));
    return;
  }
  handle_ = handle;
  lastHandle_ = handle;
  phaseOk();
  if (handle == kFirstBeltHandle) {
    state_ = State::Linking;
    fail(nullptr,
         notConnected(QStringLiteral("the dongle gave it connection 0, the first belt's")));
    return;
  }
  enter(State::Linking);
}

void BeltConnection::connectionStatus(std::uint8_t flags) {
  if (state_ != State::Linking) return;
  if (flags != bgapi::kFlagsConnectedAndCompleted) {
    fail(kLinkingLines.error,
         notConnected(QStringLiteral("error while waiting for the link: flags 0x%1")
                          .arg(fmt::hexByte(flags))));
    return;
  }
  phaseOk();
  try {
    commands_.sendSet1(*handle_);
  } catch (...) {
    writeFailed();
    throw;
  }
  enter(State::SettingUp);
}

void BeltConnection::procedureCompleted(std::uint16_t result, std::uint8_t attribute) {
  if (state_ != State::SettingUp && state_ != State::Enabling) return;
  const bool settingUp = state_ == State::SettingUp;
  const Lines& lines = settingUp ? kSettingUpLines : kEnablingLines;
  const std::uint8_t wanted = settingUp ? kSet1Attribute : kSet2Attribute;
  if (result != 0 || attribute != wanted) {
    const QString detail = result != 0
                               ? QStringLiteral("result %1").arg(hex16(result))
                               : QStringLiteral("attribute %1 confirmed instead").arg(attribute);
    fail(lines.error,
         notConnected(QStringLiteral("error while %1: %2").arg(QLatin1String(lines.what), detail)));
    return;
  }
  phaseOk();
  if (!settingUp) {
    state_ = State::Streaming;
    report_ = Outcome::Streaming;
    return;
  }
  try {
    commands_.sendSet2(*handle_);
  } catch (...) {
    writeFailed();
    throw;
  }
  enter(State::Enabling);
}

void BeltConnection::disconnected(std::uint16_t reason) {
  switch (state_) {
    case State::Streaming:
      lostReason_ = reason;
      settle(State::Idle);
      report_ = Outcome::Lost;
      return;
    case State::Linking:
    case State::SettingUp:
    case State::Enabling: {
      const Lines& lines = *linesOf(state_);
      console_.append(QString::fromLatin1(lines.error) + lineTail());
      failure_ = notConnected(QStringLiteral("the link was lost while %1: %2")
                                  .arg(QLatin1String(lines.what), LinkGuard::reasonText(reason)));
      report_ = Outcome::Failed;
      // The connection is gone; there is nothing left to end.
      settle(State::Failed);
      return;
    }
    case State::Disconnecting:
      settle(failing_ ? State::Failed : State::Idle);
      if (!failing_) report_ = Outcome::Disconnected;
      return;
    default:
      return;
  }
}

void BeltConnection::tick() {
  const std::optional<std::uint32_t> due = msUntilDue();
  if (!due || *due > 0) return;
  if (state_ == State::Disconnecting) {
    console_.append(QStringLiteral("Disconnect Timeout") + lineTail());
    settle(failing_ ? State::Failed : State::Idle);
    if (!failing_) report_ = Outcome::Disconnected;
    return;
  }
  const Lines& lines = *linesOf(state_);
  fail(lines.timeout, notConnected(QStringLiteral("no answer within %1 s while %2")
                                       .arg(kPhaseMs / 1000)
                                       .arg(QLatin1String(lines.what))));
}

std::optional<std::uint32_t> BeltConnection::msUntilDue() const {
  if (!adding() && state_ != State::Disconnecting) return std::nullopt;
  const std::int32_t left = -since(deadline_, ticks_.tick());
  return static_cast<std::uint32_t>(std::max(left, 0));
}

}  // namespace kelvaro
