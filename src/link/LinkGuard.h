#pragma once

#include <QString>
#include <cstdint>
#include <optional>

namespace kelvaro {

class ConsoleLog;
class TickSource;

// What the guard has done to a link: shown by the window, carried out by the connection
// procedure.
class LinkGuardActions {
 public:
  virtual ~LinkGuardActions() = default;
  // The link to deviceId is lost (reason in words); it stays so until linkBack() or linkDropped().
  virtual void linkLost(const QString& deviceId, const QString& reason) = 0;
  // The belt streams again.
  virtual void linkBack(const QString& deviceId) = 0;
  // One attempt to connect to deviceId again (the "Connect Last" path); true when it connected.
  // It pumps the event loop while it waits.
  virtual bool reconnect(const QString& deviceId) = 0;
};

// Watches a made connection and mends it: while connected, a disconnected event or no
// notification for kSilenceMs means the link is lost. The guard then tries to connect to the
// same belt again after 1, 2, 4 and 8 s, then every 10 s, until an attempt succeeds or the user
// disconnects. Driven by the window: connected() after a connect, notification() for every
// measurement, disconnectedEvent() from the dongle, tick() a few times a second.
class LinkGuard {
 public:
  enum class State { Idle, Connected, Lost, Reconnecting };
  static constexpr std::uint32_t kSilenceMs = 3000;
  static constexpr std::uint32_t kBackOffMs[] = {1000, 2000, 4000, 8000, 10000};

  LinkGuard(const TickSource& ticks, ConsoleLog& console, LinkGuardActions& actions);

  // A connection to deviceId was made (by the user or by the guard).
  void connected(const QString& deviceId);
  // "Disconnect": nothing is watched or tried any more; an attempt under way ends with it.
  void userDisconnected();
  void notification();
  // The same, with the tick the caller has read already (the road reads it once).
  void notificationAt(std::uint32_t tick) {
    if (state_ == State::Connected) lastHeard_ = tick;
  }
  // The dongle's disconnected event, with its reason code.
  void disconnectedEvent(std::uint16_t reason);
  // Notices a silence, and starts an attempt when one is due.
  void tick();
  // What stood in the way is gone (the dongle is back): the next attempt at the next tick.
  void retrySoon();

  State state() const { return state_; }
  const QString& deviceId() const { return deviceId_; }
  // Attempts since the link was lost.
  int attempts() const { return attempts_; }
  // Milliseconds until the next attempt (0 when one is due or none is waiting).
  std::uint32_t nextAttemptInMs() const;
  // Milliseconds until tick() has something to notice (0 when it has now): the end of the
  // silence that loses a connected link, or the next attempt for a lost one; none while idle or
  // during an attempt. The window looks at the guard then rather than a few times a second.
  std::optional<std::uint32_t> msUntilDue() const;

  // The reason of a disconnected event in words, e.g. "supervision time-out (0x0208)".
  static QString reasonText(std::uint16_t reason);

 private:
  void lose(const QString& reason);
  void attempt();

  const TickSource& ticks_;
  ConsoleLog& console_;
  LinkGuardActions& actions_;
  State state_ = State::Idle;
  QString deviceId_;
  std::uint32_t lastHeard_ = 0;
  std::uint32_t lostAt_ = 0;
  std::uint32_t nextAttemptAt_ = 0;
  int attempts_ = 0;
};

}  // namespace kelvaro
