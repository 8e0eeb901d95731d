#include "link/FurtherBelts.h"

#include <algorithm>

#include "base/ScopeExit.h"
#include "link/DeviceAddress.h"
#include "link/Stopwatch.h"

namespace kelvaro {

namespace {

using State = BeltConnection::State;
using Outcome = BeltConnection::Outcome;

// The DeviceId a text names (12 upper-case digits); the text itself when it names none.
QString canonical(const QString& text) {
  const auto address = parseDeviceId(text);
  return address ? DeviceId(*address) : text;
}

}  // namespace

FurtherBelts::FurtherBelts(CommandSender& commands, const TickSource& ticks, ConsoleLog& console)
    : commands_(commands), ticks_(ticks), console_(console) {}

FurtherBelts::~FurtherBelts() = default;

template <typename Input>
void FurtherBelts::drive(Input input) {
  try {
    input();
  } catch (...) {
    settle();
    throw;
  }
  settle();
}

void FurtherBelts::setFirstBeltConnected(bool connected, const QString& deviceId) {
  firstConnected_ = connected;
  firstDeviceId_ = connected ? canonical(deviceId) : QString();
}

BeltConnection* FurtherBelts::adding() const {
  for (const Machine& m : machines_) {
    if (m->adding()) return m.get();
  }
  return nullptr;
}

BeltConnection* FurtherBelts::byHandle(std::uint8_t handle) const {
  for (const Machine& m : machines_) {
    if (m->handle() == handle) return m.get();
  }
  return nullptr;
}

bool FurtherBelts::busy() const { return adding() != nullptr; }

int FurtherBelts::connectionsInUse() const {
  // A belt being disconnected may still hold its connection.
  return (firstConnected_ ? 1 : 0) + static_cast<int>(machines_.size());
}

std::vector<std::pair<QString, int>> FurtherBelts::streaming() const {
  std::vector<std::pair<QString, int>> belts;
  for (const Machine& m : machines_) {
    if (m->state() == State::Streaming) belts.emplace_back(m->deviceId(), *m->handle());
  }
  return belts;
}

std::optional<int> FurtherBelts::handleOf(const QString& deviceId) const {
  const QString id = canonical(deviceId);
  for (const Machine& m : machines_) {
    if (m->state() == State::Streaming && m->deviceId() == id) return *m->handle();
  }
  return std::nullopt;
}

QString FurtherBelts::refusal(const QString& deviceId) const {
  if (!parseDeviceId(deviceId)) {
    return QStringLiteral("\"%1\" is no belt device ID (12 hexadecimal digits)").arg(deviceId);
  }
  if (busy() || (firstBusy_ && firstBusy_())) return kBusyText;
  const QString id = canonical(deviceId);
  if ((firstConnected_ && firstDeviceId_ == id) || handleOf(id)) {
    return QStringLiteral("Belt %1 is already connected").arg(id);
  }
  // A failed attempt's leftovers may be ended while the belt is tried again.
  for (const Machine& m : machines_) {
    if (m->deviceId() == id && !m->endingFailure()) {
      return QStringLiteral("Belt %1 is still being disconnected: try again in a moment").arg(id);
    }
  }
  if ((firstConnected_ ? 1 : 0) + static_cast<int>(streaming().size()) >= kMaxBelts) {
    return kMaxBeltsText;
  }
  if (!firstConnected_) return kFirstBeltFirstText;
  if (capacity_ && connectionsInUse() >= *capacity_) return kAllInUseText.arg(*capacity_);
  return QString();
}

bool FurtherBelts::add(const QString& deviceId) {
  const QString why = refusal(deviceId);
  if (!why.isEmpty()) {
    lastFailure_ = why;
    if (onRefused) onRefused(deviceId, why);
    return false;
  }
  return start(canonical(deviceId), false);
}

bool FurtherBelts::start(const QString& deviceId, bool reconnecting) {
  machines_.push_back(std::make_unique<BeltConnection>(commands_, ticks_, console_));
  BeltConnection* machine = machines_.back().get();
  if (reconnecting) reconnecting_ = machine;
  drive([&] {
    if (capacity_) {
      machine->connect(deviceId);
    } else {
      machine->askCapacity(deviceId);
    }
  });
  return adding() == machine;
}

bool FurtherBelts::reconnect(const QString& deviceId, Waiter& waiter) {
  const QString why = refusal(deviceId);
  if (!why.isEmpty()) {
    lastFailure_ = why;
    return false;
  }
  reconnectOutcome_.reset();
  ScopeExit done([this] { reconnecting_ = nullptr; });
  start(canonical(deviceId), true);
  while (!reconnectOutcome_) {
    waiter.waitMs(ConnectionProcedure::kPollMs);
    tick();
  }
  return *reconnectOutcome_;
}

void FurtherBelts::disconnect(int handle) {
  if (handle < 0 || handle > 0xFF) return;
  BeltConnection* machine = byHandle(static_cast<std::uint8_t>(handle));
  if (machine) drive([machine] { machine->disconnect(); });
}

void FurtherBelts::disconnectAll() {
  try {
    for (const Machine& m : machines_) m->disconnect();
  } catch (...) {
    settle();
    throw;
  }
  settle();
}

void FurtherBelts::forget() {
  machines_.clear();
  capacity_.reset();
  if (reconnecting_ && !reconnectOutcome_) reconnectOutcome_ = false;
}

bool FurtherBelts::isFurtherHandle(std::uint8_t handle) const {
  return byHandle(handle) != nullptr;
}

bool FurtherBelts::awaitsConnectDirectResponse() const {
  const BeltConnection* machine = adding();
  return machine && machine->awaitsConnectResponse();
}

bool FurtherBelts::awaitsGetConnectionsResponse() const {
  const BeltConnection* machine = adding();
  return machine && machine->state() == State::AskingCapacity;
}

void FurtherBelts::getConnectionsResponse(std::uint8_t maxConnections) {
  capacity_ = maxConnections;
  BeltConnection* machine = adding();
  if (!machine || machine->state() != State::AskingCapacity) return;
  drive([&] { capacityKnown(*machine); });
}

void FurtherBelts::capacityKnown(BeltConnection& machine) {
  // The asking machine is counted among the connections in use.
  if (connectionsInUse() > *capacity_) {
    machine.refuse(kAllInUseText.arg(*capacity_));
    return;
  }
  machine.connect(machine.deviceId());
}

void FurtherBelts::connectDirectResponse(std::uint16_t result, std::uint8_t handle) {
  BeltConnection* machine = adding();
  if (!machine || !machine->awaitsConnectResponse()) return;
  if (result == 0) {
    // The dongle gives only a free connection: one still held here for a belt being disconnected
    // has ended without its event.
    machines_.erase(std::remove_if(machines_.begin(), machines_.end(),
                                   [&](const Machine& m) {
                                     return m.get() != machine && m->handle() == handle;
                                   }),
                    machines_.end());
  }
  drive([&] { machine->connectDirectResponse(result, handle); });
}

void FurtherBelts::connectionStatus(std::uint8_t handle, std::uint8_t flags) {
  BeltConnection* machine = byHandle(handle);
  if (machine) drive([&] { machine->connectionStatus(flags); });
}

void FurtherBelts::procedureCompleted(std::uint8_t handle, std::uint16_t result,
                                      std::uint8_t attribute) {
  BeltConnection* machine = byHandle(handle);
  if (machine) drive([&] { machine->procedureCompleted(result, attribute); });
}

void FurtherBelts::disconnected(std::uint8_t handle, std::uint16_t reason) {
  BeltConnection* machine = byHandle(handle);
  if (machine) drive([&] { machine->disconnected(reason); });
}

void FurtherBelts::tick() {
  try {
    for (const Machine& m : machines_) m->tick();
  } catch (...) {
    settle();
    throw;
  }
  settle();
}

std::optional<std::uint32_t> FurtherBelts::msUntilDue() const {
  std::optional<std::uint32_t> due;
  for (const Machine& m : machines_) {
    const std::optional<std::uint32_t> next = m->msUntilDue();
    if (next && (!due || *next < *due)) due = next;
  }
  return due;
}

void FurtherBelts::settle() {
  struct Note {
    Outcome outcome;
    QString deviceId;
    int handle;
    QString message;
    std::uint16_t reason;
    bool reconnect;
  };
  std::vector<Note> notes;
  for (const Machine& m : machines_) {
    const bool reconnect = m.get() == reconnecting_;
    if (const std::optional<Outcome> report = m->takeReport()) {
      notes.push_back(
          {*report, m->deviceId(), m->lastHandle(), m->failure(), m->lostReason(), reconnect});
      if (*report == Outcome::Failed) lastFailure_ = m->failure();
    }
    // A reconnect ends when its machine streams, fails, or is called off.
    if (reconnect && !reconnectOutcome_ && !m->adding()) {
      reconnectOutcome_ = m->state() == State::Streaming;
    }
  }
  machines_.erase(std::remove_if(machines_.begin(), machines_.end(),
                                 [](const Machine& m) {
                                   return m->state() == State::Idle || m->state() == State::Failed;
                                 }),
                  machines_.end());
  if (reconnecting_ && !reconnectOutcome_ && !adding()) reconnectOutcome_ = false;
  // Last, because an owner may add or disconnect a belt from inside a callback.
  for (const Note& n : notes) {
    switch (n.outcome) {
      case Outcome::Streaming:
        if (onStreaming) onStreaming(n.deviceId, n.handle);
        break;
      case Outcome::Failed:
        if (!n.reconnect && onRefused) onRefused(n.deviceId, n.message);
        break;
      case Outcome::Lost:
        if (onDisconnected) onDisconnected(n.deviceId, n.handle, n.reason);
        break;
      case Outcome::Disconnected:
        break;
    }
  }
}

}  // namespace kelvaro
