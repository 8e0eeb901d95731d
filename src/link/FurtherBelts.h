#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "link/BeltConnection.h"

namespace kelvaro {

class CommandSender;
class ConsoleLog;
class TickSource;
class Waiter;

// The belts connected beside the first one, each on the dongle connection it was given: one
// BeltConnection each. The owner adds, disconnects and reconnects them, keeps tick() going at
// msUntilDue(), and hears of them through the callbacks; the dispatcher hands on the dongle's
// answers for them (isFurtherHandle(), awaits...()).
//
// Connection 0 is the first belt's (its procedure names it in every command), and the dongle gives
// the lowest free connection to the next connect, so a further belt is only connected while the
// first belt is (setFirstBeltConnected). The first belt's procedure and a further belt's never
// connect at the same time: add() is refused while firstBusy() says the first belt's procedure
// runs, and busy() tells the owner to refuse the first belt's connect meanwhile.
class FurtherBelts {
 public:
  // The first belt included.
  static constexpr int kMaxBelts = 4;
  static inline const QString kMaxBeltsText =
      QStringLiteral("Up to %1 belts can be connected at once").arg(kMaxBelts);
  // %1: the connections the dongle holds.
  static inline const QString kAllInUseText =
      QStringLiteral("The dongle holds %1 connections, all in use: disconnect a belt first");
  static inline const QString kBusyText =
      QStringLiteral("Busy connecting a belt: wait until the connection is made");
  static inline const QString kFirstBeltFirstText =
      QStringLiteral("Connect the first belt before further belts");

  // Everything passed in must outlive this object.
  FurtherBelts(CommandSender& commands, const TickSource& ticks, ConsoleLog& console);
  ~FurtherBelts();
  FurtherBelts(const FurtherBelts&) = delete;
  FurtherBelts& operator=(const FurtherBelts&) = delete;

  // Starts adding the belt whose DeviceId begins deviceId. False at once, with onRefused, when the
  // text is no device ID, the belt is connected already (here or as the first belt), kMaxBelts are
  // connected, the dongle's connections are known to be all in use, or a connect is under way.
  // Otherwise the dongle is asked how many connections it holds (once: the answer is kept), then
  // the belt is connected: onStreaming when it streams, onRefused when the dongle's connections
  // are all in use after all or the dongle refuses, or a phase fails or times out.
  bool add(const QString& deviceId);
  // One attempt to connect the belt again after its link was lost, waiting (the pumping wait,
  // clicks and packets handled meanwhile) until it streams or fails; true when it streams (on the
  // connection the dongle gives now, which may be another: onStreaming tells it). Refusals and
  // failures are not passed to onRefused (the caller tries again later): lastFailure() has them.
  bool reconnect(const QString& deviceId, Waiter& waiter);
  // Ends the connection on `handle` (or the attempt that holds it); the belt is forgotten at once.
  void disconnect(int handle);
  // Ends every further belt's connection and any attempt under way.
  void disconnectAll();
  // The dongle was reset or replaced: every further belt and the number of its connections are
  // forgotten, without a command.
  void forget();

  // What the owner tells.
  // The first belt is connected (to deviceId, which is then not added again), or not.
  void setFirstBeltConnected(bool connected, const QString& deviceId = QString());
  void setFirstBusy(std::function<bool()> firstBusy) { firstBusy_ = std::move(firstBusy); }

  // A belt streams on `handle`.
  std::function<void(const QString& deviceId, int handle)> onStreaming;
  // add() was refused, or the belt it started was not connected, with the message.
  std::function<void(const QString& deviceId, const QString& message)> onRefused;
  // A streaming belt's link was lost: the dongle's disconnected event for it, with its reason
  // code. The belt is forgotten.
  std::function<void(const QString& deviceId, int handle, std::uint16_t reason)> onDisconnected;

  // An add or reconnect is under way.
  bool busy() const;
  // The streaming further belts: (deviceId, handle) in the order they were added.
  std::vector<std::pair<QString, int>> streaming() const;
  // The connection deviceId streams on; none when it does not.
  std::optional<int> handleOf(const QString& deviceId) const;
  // The dongle's connections, once it has said.
  std::optional<int> capacity() const { return capacity_; }
  const QString& lastFailure() const { return lastFailure_; }

  // For the dispatcher: the dongle's events on `handle` are a further belt's (streaming, being
  // added, or being disconnected), and the responses a further belt awaits.
  bool isFurtherHandle(std::uint8_t handle) const;
  bool awaitsConnectDirectResponse() const;
  bool awaitsGetConnectionsResponse() const;
  void connectDirectResponse(std::uint16_t result, std::uint8_t handle);
  void getConnectionsResponse(std::uint8_t maxConnections);
  void connectionStatus(std::uint8_t handle, std::uint8_t flags);
  void procedureCompleted(std::uint8_t handle, std::uint16_t result, std::uint8_t attribute);
  void disconnected(std::uint8_t handle, std::uint16_t reason);

  // Ends the phases whose time is up; due at msUntilDue() (the soonest of the machines).
  void tick();
  std::optional<std::uint32_t> msUntilDue() const;

 private:
  using Machine = std::unique_ptr<BeltConnection>;

  // Why deviceId may not be added now; empty when it may.
  QString refusal(const QString& deviceId) const;
  // Starts the machine: asking the capacity when it is unknown, else connecting.
  bool start(const QString& deviceId, bool reconnecting);
  // Connects the machine that asked, or refuses it when the dongle's connections are all in use.
  void capacityKnown(BeltConnection& machine);
  int connectionsInUse() const;
  BeltConnection* adding() const;
  BeltConnection* byHandle(std::uint8_t handle) const;
  // Runs an input on a machine, then passes on its report and forgets finished machines, even
  // when the input throws.
  template <typename Input>
  void drive(Input input);
  void settle();

  CommandSender& commands_;
  const TickSource& ticks_;
  ConsoleLog& console_;
  std::vector<Machine> machines_;
  std::optional<int> capacity_;
  bool firstConnected_ = false;
  QString firstDeviceId_;
  std::function<bool()> firstBusy_;
  QString lastFailure_;
  // The machine of the reconnect under way and how it ended.
  const BeltConnection* reconnecting_ = nullptr;
  std::optional<bool> reconnectOutcome_;
};

}  // namespace kelvaro
