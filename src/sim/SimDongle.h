#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "link/BgapiProtocol.h"
#include "sim/BeltModel.h"
#include "sim/BeltPlayback.h"
#include "sim/SimOptions.h"
#include "sim/SimRandom.h"

namespace kelvaro {

// A BLED112-class dongle with the belts and other advertisers around it, as pure logic: bytes
// from the host go in with receive(), time moves only through advanceTo(), and the bytes that
// have crossed the 115200-baud wire by then come out of the output buffer.
//
// Behaviour beyond the commands the monitor sends, chosen to match the dongle's firmware:
// - an unknown command, a command with a payload that does not fit it, or a packet that is not
//   a Bluetooth Smart command gets no response but a protocol-error event (0/6) with reason
//   0x0184 (unknown) or 0x0180 (malformed);
// - a command left incomplete for 1 s is dropped with a protocol-error event, reason 0x0185;
// - hello, address get and get info are answered; everything else the monitor never sends is
//   treated as unknown.
//
// Like a BLED112 it holds several connections at once (SimOptions::maxConnections, the number
// system_get_connections answers): connect direct while connected to other belts makes a new
// connection with the lowest free handle (0, 1, 2, ...), which its connection-status event, its
// notifications, its procedure-completed and disconnected events carry and its commands name. A
// connect with every handle in use is refused with 0x0209 (connection limit exceeded); one to a
// belt already in a connection, or while another connect is under way, with 0x0181 (wrong state).
// The connection with handle 0 draws its timings from the same stream as a dongle of one
// connection, so the first belt's bytes and times do not depend on the others.
//
// With a playback in the options its one belt is a recorded belt: it has the captured address
// and, once notifications are switched on, streams the captured notifications with their captured
// spacing (BeltPlayback), loses its link where the capture did and stays out of reach as long,
// and at the end of the recording goes out of reach for good (unless the playback loops). The
// commands are answered as always.
class SimDongle {
 public:
  enum class Link { Idle, Connecting, Connected, Disconnecting };

  struct Counters {
    std::uint64_t commands = 0;
    std::uint64_t notifications = 0;
    std::uint64_t scanResponses = 0;
    std::uint64_t bytesSent = 0;     // bytes that crossed the wire, dropped ones included
    std::uint64_t bytesDropped = 0;  // by the drop fault
    std::uint64_t bytesGarbled = 0;  // by the garble fault
    std::uint64_t packetsLost = 0;   // the dongle's transmit buffer was full
    std::uint64_t outputLost = 0;    // the host did not read: its buffer was full
    std::uint64_t protocolErrors = 0;
  };

  static constexpr std::uint32_t kBaud = 115200;
  static constexpr std::uint32_t kReenumerationMs = 1000;
  static constexpr std::uint32_t kConnectMs = 200;

  explicit SimDongle(const SimOptions& options);

  // The first call sets the origin; ticks are the program's wrapping 32-bit milliseconds.
  void advanceTo(std::uint32_t tick);
  // Bytes from the host, arriving at the time of the last advanceTo().
  void receive(const char* data, std::size_t size);
  void receive(const QByteArray& bytes) { receive(bytes.constData(), std::size_t(bytes.size())); }

  // Bytes that have reached the host's side of the wire and are waiting to be read.
  qint64 outputSize() const { return output_.size(); }
  const char* outputData() const { return output_.constData(); }
  void consumeOutput(qint64 count);
  qint64 readOutput(char* data, qint64 maxSize);
  QByteArray takeOutput();
  void discardOutput() { output_.resize(0); }

  // Milliseconds from the last advanceTo() until more happens (rounded up; 0 when something is
  // due now; a large number when nothing is scheduled).
  std::uint32_t msUntilNextActivity() const;

  // On the USB bus: false while the dongle re-enumerates after a reset and while unplugged.
  bool present() const { return !unplugged_ && !enumerating_; }
  bool unplugged() const { return unplugged_; }
  void unplug();
  void replug();
  // The belt's link on connection `handle` drops (supervision time-out), as if it went out of
  // range.
  void loseLink(int handle = 0);
  void setTimeline(const ScenarioTimeline& timeline) { options_.timeline = timeline; }
  // Receives a line for every command handled and every change of state.
  void setTrace(std::function<void(const QString&)> trace) { trace_ = std::move(trace); }

  const SimOptions& options() const { return options_; }
  const std::vector<BeltModel>& belts() const { return belts_; }
  // The belt's address as the monitor shows it: 12 hex digits, most significant byte first.
  QString beltDeviceId(int index) const;
  int maxConnections() const { return int(connections_.size()); }
  // The state of connection `handle` (out of range: Idle); link() is the first connection's.
  Link link(int handle = 0) const;
  // The belt (index into belts()) connection `handle` is made or being made to; -1 for none.
  int connectionBelt(int handle) const;
  bool scanning() const { return scanning_; }
  // The belt on connection `handle` has its notifications on.
  bool streaming(int handle = 0) const;
  const Counters& counters() const { return counters_; }
  // The belt is a recorded one, and how far its playback has got.
  bool playing() const { return playback_.has_value(); }
  std::optional<PlaybackProgress> playbackProgress() const;
  // The belt is out of reach: no advertising, no connection to it.
  bool beltAway() const { return beltAway_; }
  std::uint64_t elapsedMs() const { return nowNs_ / 1000000; }

 private:
  using Address = BeltModel::Address;
  struct Advertiser {
    Address address{};
    std::uint8_t addressType = 0;
    std::uint8_t packetType = 0;
    int rssiMean = -70;
    std::uint32_t intervalMs = 200;
    std::array<std::uint8_t, 31> data{};
    std::uint8_t dataSize = 0;
    int belt = -1;  // index into belts_, or -1
    std::uint64_t nextAt = 0;
  };
  struct Deadline {
    bool armed = false;
    std::uint64_t at = 0;
    void set(std::uint64_t when) {
      armed = true;
      at = when;
    }
  };
  struct Held {
    std::uint64_t at;
    std::vector<std::uint8_t> bytes;
  };
  // One connection handle of the chip and what goes on on it.
  struct Connection {
    Link link = Link::Idle;
    int belt = -1;  // index into belts_, or -1 (an address nobody answers to)
    Address peer{};
    std::uint8_t peerType = 0;
    std::uint16_t interval = 60, supervision = 100, latency = 0;
    Deadline status, disconnected, linkLoss, procedure, notify;
    std::uint16_t procedureHandle = 0;
    std::vector<std::uint8_t> procedureData;
    bool flooding = false;
    std::uint32_t linkLossAfterMs = 0;  // the fault, for this handle
    SimRandom random;                   // the air's jitter on this connection
    std::uint64_t intervalNs() const { return std::uint64_t{interval} * 1250000; }
  };
  class Packet;

  void runUntil(std::uint64_t targetNs);
  std::uint64_t floodDueNs() const;
  void releaseWire(std::uint64_t untilNs);
  void send(const Packet& packet);

  void completeCommand();
  void execute(const std::uint8_t* bytes, std::size_t size);
  void protocolError(std::uint16_t reason);
  void powerDown();
  void startScanning();
  void emitScanResponse(Advertiser& advertiser);
  void completeProcedure(std::size_t handle);
  void sendNotification(std::size_t handle);
  void establishLink(std::size_t handle);
  void dropLink(std::size_t handle, std::uint16_t reason);
  void stopStream(Connection& c);
  void playRecorded(std::size_t handle);
  // The flooding connection whose notification goes out next (they take turns); -1 for none.
  int floodingTurn() const;
  bool streaming(const Connection& c) const;
  // The connection to belt `belt` (made or being made), or -1.
  int connectionTo(int belt) const;
  // The connection being initiated, or -1.
  int connecting() const;
  // The random stream of connection `handle`'s timings.
  SimRandom& air(std::size_t handle);
  const ScenarioTimeline& timelineOf(int belt) const;
  // The belt goes out of reach for awayNs (RecordedBelt::kForever: for good).
  void goAway(std::uint64_t awayNs);
  void comeBack();
  void trace(const QString& line) const {
    if (trace_) trace_(line);
  }

  SimOptions options_;
  std::vector<BeltModel> belts_;
  std::vector<Advertiser> advertisers_;
  Address ownAddress_{};
  SimRandom random_;
  SimRandom faultRandom_;
  std::function<void(const QString&)> trace_;

  // Time.
  bool started_ = false;
  std::uint32_t lastTick_ = 0;
  std::uint64_t nowNs_ = 0;

  // The wire: bytes waiting to be sent and the moment the last one finished.
  std::vector<std::uint8_t> pending_;
  std::size_t pendingHead_ = 0;
  std::uint64_t wireNs_ = 0;
  QByteArray output_;

  // Receiving commands.
  std::array<std::uint8_t, bgapi::kHeaderSize + bgapi::kMaxAnnouncedPayload> rx_{};
  std::size_t rxCount_ = 0;
  std::size_t rxExpected_ = 0;
  Deadline rxTimeout_;
  std::deque<Held> held_;

  // State of the chip.
  bool unplugged_ = false;
  bool enumerating_ = false;
  bool booting_ = false;
  Deadline present_, boot_, unplugAt_, replugAt_;
  bool scanning_ = false;
  std::vector<Connection> connections_;  // indexed by handle
  std::size_t floodTurn_ = 0;            // the handle to look at first for the next flood packet
  // The timeline each belt plays: an index into options_.beltTimelines, or -1 for the run's.
  std::vector<int> beltTimeline_;
  BeltModel::Value value_{};
  std::optional<BeltPlayback> playback_;
  bool beltAway_ = false;
  Deadline backInReach_;

  Counters counters_;
};

}  // namespace kelvaro
