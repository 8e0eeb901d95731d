#include "sim/SimDongle.h"

#include <algorithm>
#include <cstring>

#include "sim/SimDongleInternal.h"

namespace kelvaro {

using namespace bgapi;
using namespace simdongle;

namespace {

constexpr std::uint64_t kCommandTimeoutNs = 1000 * kMs;

constexpr std::array<const char*, 8> kOtherNames{"Phone", "Watch",  "Headset", "Scale",
                                                 "Lamp",  "Thermo", "Tag",     "Speaker"};

std::uint16_t get16(const std::uint8_t* at) {
  return static_cast<std::uint16_t>(at[0] | (at[1] << 8));
}

}  // namespace

SimDongle::SimDongle(const SimOptions& options)
    : options_(options),
      random_(SimRandom::derive(options.seed, 1)),
      faultRandom_(SimRandom::derive(options.seed, 2)) {
  SimRandom setup(SimRandom::derive(options.seed, 3));
  ownAddress_ = {static_cast<std::uint8_t>(setup.next()),
                 static_cast<std::uint8_t>(setup.next()),
                 static_cast<std::uint8_t>(setup.next()),
                 0x80,
                 0x07,
                 0x00};
  const RecordedBelt* recorded = options.playback.belt.get();
  const int belts = recorded ? 1 : std::clamp(options.belts, 0, SimOptions::kMaxBelts);
  const int others = std::clamp(options.otherAdvertisers, 0, SimOptions::kMaxOthers);
  belts_.reserve(std::size_t(belts));
  for (int i = 0; i < belts; ++i) {
    belts_.emplace_back(options.seed, i);
    if (recorded) belts_.back().takeIdentity(recorded->address(), recorded->rssi());
    Advertiser a;
    a.address = belts_.back().address();
    if (recorded) a.addressType = recorded->addressType();
    a.rssiMean = belts_.back().rssiMean();
    a.intervalMs = static_cast<std::uint32_t>(setup.between(100, 300));
    // Flags (general discoverable, no BR/EDR) and the complete local name.
    const std::uint8_t data[] = {2, 0x01, 0x06, 8, 0x09, 'K', 'E', 'L', 'V', 'A', 'R', 'O'};
    std::memcpy(a.data.data(), data, sizeof data);
    a.dataSize = sizeof data;
    a.belt = i;
    advertisers_.push_back(a);
  }
  for (int i = 0; i < others; ++i) {
    Advertiser a;
    for (auto& byte : a.address) byte = static_cast<std::uint8_t>(setup.next());
    a.address[5] |= 0xC0;  // a static random address
    a.addressType = 1;
    constexpr std::uint8_t kTypes[] = {0, 2, 4};  // connectable, non-connectable, scan response
    a.packetType = kTypes[setup.between(0, 2)];
    a.rssiMean = static_cast<int>(setup.between(-92, -62));
    a.intervalMs = static_cast<std::uint32_t>(setup.between(100, 300));
    const char* name = kOtherNames[std::size_t(setup.between(0, kOtherNames.size() - 1))];
    const auto length = static_cast<std::uint8_t>(std::strlen(name));
    std::uint8_t* d = a.data.data();
    d[0] = 2;
    d[1] = 0x01;
    d[2] = 0x1A;
    d[3] = static_cast<std::uint8_t>(length + 1);
    d[4] = 0x09;
    std::memcpy(d + 5, name, length);
    a.dataSize = static_cast<std::uint8_t>(5 + length);
    advertisers_.push_back(a);
  }
  if (recorded) playback_.emplace(options.playback.belt, options.playback.pace);
  connections_.resize(
      std::size_t(std::clamp(options.maxConnections, 1, SimOptions::kMaxConnections)));
  for (std::size_t h = 0; h < connections_.size(); ++h) {
    Connection& c = connections_[h];
    c.procedureData.reserve(255);
    c.linkLossAfterMs = options.faults.linkLossAfterMsOn(int(h));
    // Connection 0 uses the dongle's own stream, as a dongle of one connection does.
    c.random = SimRandom(SimRandom::derive(options.seed, 100 + h));
  }
  beltTimeline_.assign(belts_.size(), -1);
  for (std::size_t i = 0; i < options.beltTimelines.size(); ++i) {
    const int belt = options.beltTimelines[i].belt;
    if (belt >= 0 && belt < int(belts_.size()) && !recorded) {
      beltTimeline_[std::size_t(belt)] = int(i);
    }
  }
  pending_.reserve(kTransmitBuffer);
  output_.reserve(64 * 1024);
}

QString SimDongle::beltDeviceId(int index) const {
  return DeviceId(belts_.at(std::size_t(index)).address());
}

std::optional<PlaybackProgress> SimDongle::playbackProgress() const {
  if (!playback_) return std::nullopt;
  return playback_->progress();
}

SimDongle::Link SimDongle::link(int handle) const {
  if (handle < 0 || handle >= int(connections_.size())) return Link::Idle;
  return connections_[std::size_t(handle)].link;
}

int SimDongle::connectionBelt(int handle) const {
  if (handle < 0 || handle >= int(connections_.size())) return -1;
  const Connection& c = connections_[std::size_t(handle)];
  return c.link == Link::Idle ? -1 : c.belt;
}

bool SimDongle::streaming(int handle) const {
  if (handle < 0 || handle >= int(connections_.size())) return false;
  return streaming(connections_[std::size_t(handle)]);
}

bool SimDongle::streaming(const Connection& c) const {
  return c.link == Link::Connected && c.belt >= 0 && belts_[std::size_t(c.belt)].notifying();
}

int SimDongle::connectionTo(int belt) const {
  if (belt < 0) return -1;
  for (std::size_t h = 0; h < connections_.size(); ++h) {
    if (connections_[h].link != Link::Idle && connections_[h].belt == belt) return int(h);
  }
  return -1;
}

int SimDongle::connecting() const {
  for (std::size_t h = 0; h < connections_.size(); ++h) {
    if (connections_[h].link == Link::Connecting) return int(h);
  }
  return -1;
}

SimRandom& SimDongle::air(std::size_t handle) {
  return handle == 0 ? random_ : connections_[handle].random;
}

const ScenarioTimeline& SimDongle::timelineOf(int belt) const {
  const int own = beltTimeline_[std::size_t(belt)];
  return own < 0 ? options_.timeline : options_.beltTimelines[std::size_t(own)].timeline;
}

// --- commands -----------------------------------------------------------------------------

void SimDongle::receive(const char* data, std::size_t size) {
  if (!present()) return;  // nobody there to hear it
  for (std::size_t i = 0; i < size; ++i) {
    rx_[rxCount_++] = static_cast<std::uint8_t>(data[i]);
    if (rxCount_ == kHeaderSize) {
      rxExpected_ = kHeaderSize + (std::size_t(rx_[0] & kLengthHighBits) << 8 | rx_[1]);
    }
    if (rxCount_ >= kHeaderSize && rxCount_ == rxExpected_) {
      completeCommand();
      rxCount_ = 0;
    }
  }
  rxTimeout_.armed = false;
  if (rxCount_ > 0) rxTimeout_.set(nowNs_ + kCommandTimeoutNs);
}

void SimDongle::completeCommand() {
  if (booting_) return;  // the firmware is not running yet
  ++counters_.commands;
  const SimCommandKey key{rx_[2], rx_[3]};
  const SimFaults& f = options_.faults;
  if (std::find(f.noAnswer.begin(), f.noAnswer.end(), key) != f.noAnswer.end()) {
    trace(QStringLiteral("%1/%2 lost (no-answer fault)").arg(key.classId).arg(key.commandId));
    return;
  }
  if (f.delayMs && (!f.delayOnly || *f.delayOnly == key)) {
    held_.push_back(
        {nowNs_ + f.delayMs * kMs,
         std::vector<std::uint8_t>(rx_.begin(), rx_.begin() + std::ptrdiff_t(rxCount_))});
    return;
  }
  execute(rx_.data(), rxCount_);
}

void SimDongle::protocolError(std::uint16_t reason) {
  ++counters_.protocolErrors;
  trace(QStringLiteral("protocol error %1").arg(reason, 4, 16, QLatin1Char('0')));
  send(Packet(kEvent, kClassSystem, kEvtProtocolError).u16(reason));
}

void SimDongle::execute(const std::uint8_t* bytes, std::size_t size) {
  if (booting_ || !present()) return;
  const std::uint8_t classId = bytes[2];
  const std::uint8_t id = bytes[3];
  const std::uint8_t* p = bytes + 4;
  const std::size_t n = size - 4;
  // Bit 7 marks events and bits 6-3 the technology: only Bluetooth Smart commands are taken.
  if ((bytes[0] & 0xF8) != 0) {
    protocolError(kCommandNotRecognized);
    return;
  }
  const auto fits = [&](std::size_t expected) {
    if (n == expected) return true;
    protocolError(kInvalidParameter);
    return false;
  };
  const auto result = [this](std::uint8_t c, std::uint8_t i, std::uint16_t code, const char* what) {
    trace(QStringLiteral("%1/%2 %3 -> %4")
              .arg(c)
              .arg(i)
              .arg(QLatin1String(what))
              .arg(code, 4, 16, QLatin1Char('0')));
  };

  if (classId == kClassSystem && id == kReset) {
    if (!fits(1)) return;
    trace(QStringLiteral("0/0 reset: the dongle restarts and re-enumerates"));
    powerDown();
    enumerating_ = true;
    booting_ = true;
    present_.set(nowNs_ + kReenumerationMs * kMs);
    boot_.set(nowNs_ + kReenumerationMs * kMs);
  } else if (classId == kClassSystem && id == kHello) {
    if (!fits(0)) return;
    trace(QStringLiteral("0/1 hello"));
    send(Packet(kCommand, kClassSystem, kHello));
  } else if (classId == kClassSystem && id == kAddressGet) {
    if (!fits(0)) return;
    send(Packet(kCommand, kClassSystem, kAddressGet).bytes(ownAddress_.data(), 6));
  } else if (classId == kClassSystem && id == kGetConnections) {
    if (!fits(0)) return;
    trace(QStringLiteral("0/6 get connections -> %1").arg(connections_.size()));
    send(Packet(kCommand, kClassSystem, kGetConnections)
             .u8(static_cast<std::uint8_t>(connections_.size())));
  } else if (classId == kClassSystem && id == kGetInfo) {
    if (!fits(0)) return;
    send(Packet(kCommand, kClassSystem, kGetInfo).bytes(kVersionInfo.data(), kVersionInfo.size()));
  } else if (classId == kClassGap && id == kDiscover) {
    if (!fits(1)) return;
    std::uint16_t code = 0;
    if (p[0] > 2) {
      code = kInvalidParameter;
    } else if (scanning_ || connecting() >= 0) {
      code = kWrongState;
    } else {
      startScanning();
    }
    result(classId, id, code, "discover");
    send(Packet(kCommand, kClassGap, kDiscover).u16(code));
  } else if (classId == kClassGap && id == kEndProcedure) {
    if (!fits(0)) return;
    std::uint16_t code = 0;
    if (scanning_) {
      scanning_ = false;
    } else if (const int h = connecting(); h >= 0) {
      Connection& c = connections_[std::size_t(h)];
      c.link = Link::Idle;
      c.status.armed = false;
      c.belt = -1;
    } else {
      code = kWrongState;
    }
    result(classId, id, code, "end procedure");
    send(Packet(kCommand, kClassGap, kEndProcedure).u16(code));
  } else if (classId == kClassGap && id == kConnectDirect) {
    if (!fits(15)) return;
    const std::uint16_t minInterval = get16(p + 7), maxInterval = get16(p + 9);
    const std::uint16_t timeout = get16(p + 11), latency = get16(p + 13);
    std::uint16_t code = 0;
    Address peer{};
    std::copy(p, p + 6, peer.begin());
    int belt = -1;
    for (std::size_t i = 0; i < belts_.size(); ++i) {
      if (belts_[i].address() == peer) belt = int(i);
    }
    std::size_t handle = 0;
    while (handle < connections_.size() && connections_[handle].link != Link::Idle) ++handle;
    if (minInterval < 6 || maxInterval > 3200 || minInterval > maxInterval || timeout < 10 ||
        timeout > 3200 || latency > 500) {
      code = kInvalidParameter;
    } else if (connecting() >= 0 || connectionTo(belt) >= 0) {
      // One connection is initiated at a time, and a belt takes one connection.
      code = kWrongState;
    } else if (handle == connections_.size()) {
      code = kConnectionLimitExceeded;
    } else {
      // The dongle leaves scanning to initiate the connection.
      scanning_ = false;
      Connection& c = connections_[handle];
      c.link = Link::Connecting;
      c.peer = peer;
      c.peerType = p[6];
      c.interval = minInterval;
      c.supervision = timeout;
      c.latency = latency;
      c.belt = belt;
      // Only a belt in range answers; any other address leaves the dongle initiating until the
      // host ends the procedure.
      if (belt >= 0 && !beltAway_) {
        const std::uint32_t late = options_.faults.lateStatusMs;
        const auto ms =
            late ? std::uint64_t{late} : std::uint64_t(kConnectMs + air(handle).between(-30, 30));
        c.status.set(nowNs_ + ms * kMs);
      }
    }
    result(classId, id, code, "connect direct");
    send(Packet(kCommand, kClassGap, kConnectDirect)
             .u16(code)
             .u8(static_cast<std::uint8_t>(code == 0 ? handle : 0)));
  } else if (classId == kClassConnection && id == kDisconnect) {
    if (!fits(1)) return;
    std::uint16_t code = 0;
    if (link(p[0]) != Link::Connected) {
      code = kNotConnected;
    } else {
      Connection& c = connections_[p[0]];
      c.link = Link::Disconnecting;
      stopStream(c);
      c.procedure.armed = false;
      c.linkLoss.armed = false;
      c.disconnected.set(nowNs_ + c.intervalNs() + std::uint64_t(air(p[0]).between(1, 10)) * kMs);
    }
    result(classId, id, code, "disconnect");
    send(Packet(kCommand, kClassConnection, kDisconnect).u8(p[0]).u16(code));
  } else if (classId == kClassAttributeClient && id == kAttributeWrite) {
    if (n < 4 || !fits(4 + std::size_t(p[3]))) {
      if (n < 4) protocolError(kInvalidParameter);
      return;
    }
    std::uint16_t code = 0;
    if (link(p[0]) != Link::Connected) {
      code = kNotConnected;
    } else if (connections_[p[0]].procedure.armed) {
      code = kWrongState;
    } else {
      Connection& c = connections_[p[0]];
      c.procedureHandle = get16(p + 1);
      c.procedureData.assign(p + 4, p + 4 + p[3]);
      // The write request goes out at the next connection event, the answer comes back soon
      // after.
      c.procedure.set(nowNs_ + c.intervalNs() +
                      std::uint64_t(air(p[0]).between(0, c.interval / 2)) * kMs);
    }
    result(classId, id, code, "attribute write");
    send(Packet(kCommand, kClassAttributeClient, kAttributeWrite).u8(p[0]).u16(code));
  } else {
    trace(QStringLiteral("%1/%2 not recognised").arg(classId).arg(id));
    protocolError(kCommandNotRecognized);
  }
}

}  // namespace kelvaro
