#pragma once

#include <QString>
#include <cstdint>
#include <optional>

#include "link/ConnectionProcedure.h"

namespace kelvaro {

class CommandSender;
class ConsoleLog;
class TickSource;

// One further belt's connection on the dongle, as an explicit state machine: the dongle's answers
// (handed on by the dispatcher through FurtherBelts) and the time (tick()) move it on; nothing
// waits. The phases are the first belt's, each with its time-out, and trace the same lines with
// the connection handle appended ("**** Connect send OK H=01"); before the dongle has given a
// handle, a failing line names the device instead ("Connect Faze1 Timeout ID=0007800A1B2C").
//
//   Idle -> AskingCapacity -> Connecting -> Linking -> SettingUp -> Enabling -> Streaming
//
// A failure ends what the attempt left in the dongle, as the first belt's procedure does: the
// dongle's connect procedure while it may still be connecting, and the connection the dongle gave.
// The handle stays claimed (Disconnecting) until the dongle's disconnected event for it or the
// time-out, so that its events never reach the first belt; then Failed. A streaming belt's lost
// link (the disconnected event) and the end of a disconnect asked for leave it Idle.
class BeltConnection {
 public:
  enum class State {
    Idle,
    AskingCapacity,  // system_get_connections sent; the owner answers with connect() or refuse()
    Connecting,      // connect direct sent; its response carries the result and the handle
    Linking,         // awaiting the connection-status event: connected and completed
    SettingUp,       // Set1 written on the handle; awaiting its procedure-completed (attribute 28)
    Enabling,        // Set2 written on the handle; awaiting its procedure-completed (attribute 26)
    Streaming,
    Disconnecting,  // a disconnect sent; awaiting the disconnected event
    Failed,
  };

  // What the owner hears of, once, through takeReport().
  enum class Outcome {
    Streaming,     // the belt streams on handle()
    Failed,        // failure() says why; reported when the failure happens
    Lost,          // a streaming belt's link was lost: lostReason()
    Disconnected,  // a disconnect asked for has ended (or timed out)
  };

  // The first belt's time-out, for every phase.
  static constexpr std::uint32_t kPhaseMs =
      std::uint32_t{ConnectionProcedure::kMaxPolls} * ConnectionProcedure::kPollMs;

  // Everything passed in must outlive this object.
  BeltConnection(CommandSender& commands, const TickSource& ticks, ConsoleLog& console);

  // Idle -> AskingCapacity.
  void askCapacity(const QString& deviceId);
  // Idle or AskingCapacity -> Connecting. deviceId must be a device ID (parseDeviceId).
  void connect(const QString& deviceId);
  // AskingCapacity -> Failed: the owner will not connect; nothing was left in the dongle.
  void refuse(const QString& message);
  // Ends the connection, or calls the attempt off (no Failed report for it): Disconnecting while
  // there is a connection to end, Idle otherwise.
  void disconnect();

  // The dongle's answers. The owner hands on the ones for this machine: the connect-direct
  // response while awaitsConnectResponse(), the events that name its handle().
  void connectDirectResponse(std::uint16_t result, std::uint8_t handle);
  void connectionStatus(std::uint8_t flags);
  // Only the low byte of the attribute handle is compared, as for the first belt.
  void procedureCompleted(std::uint16_t result, std::uint8_t attribute);
  void disconnected(std::uint16_t reason);

  // Ends the phase whose time is up.
  void tick();
  // Milliseconds until tick() has something to do (0: now); none while nothing is awaited.
  std::optional<std::uint32_t> msUntilDue() const;

  State state() const { return state_; }
  // Under way: asking, connecting, setting up (not streaming, not disconnecting).
  bool adding() const;
  bool awaitsConnectResponse() const { return state_ == State::Connecting; }
  // The dongle's connection for this belt: from the connect-direct response until the machine is
  // Idle or Failed.
  std::optional<std::uint8_t> handle() const { return handle_; }
  // The handle it had last, kept after it is released (for the report of a lost link).
  std::uint8_t lastHandle() const { return lastHandle_; }
  const QString& deviceId() const { return deviceId_; }
  const QString& failure() const { return failure_; }
  // Disconnecting what a failed attempt left, not a connection the owner asked to end.
  bool endingFailure() const { return state_ == State::Disconnecting && failing_; }
  std::uint16_t lostReason() const { return lostReason_; }
  // What happened since the last call, if anything the owner must hear of.
  std::optional<Outcome> takeReport();

 private:
  void enter(State state);
  void phaseOk();
  // A phase's error or time-out: its trace line (if any), the failure, then the leftovers ended.
  void fail(const char* line, const QString& message);
  // "Belt <id> was not connected: <why>".
  QString notConnected(const QString& why) const;
  void endLeftovers(bool endConnecting);
  void settle(State state);
  QString lineTail() const;
  // The write failed: no further command, the port is broken. Rethrown by the caller.
  void writeFailed();

  CommandSender& commands_;
  const TickSource& ticks_;
  ConsoleLog& console_;
  State state_ = State::Idle;
  QString deviceId_;
  std::optional<std::uint8_t> handle_;
  std::uint8_t lastHandle_ = 0;
  std::uint32_t deadline_ = 0;
  QString failure_;
  std::uint16_t lostReason_ = 0;
  // Disconnecting because the attempt failed, not because a disconnect was asked for.
  bool failing_ = false;
  std::optional<Outcome> report_;
};

}  // namespace kelvaro
