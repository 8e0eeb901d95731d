#include "sim/SimDongle.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kelvaro {

using namespace simbgapi;

namespace {

// Ten bits a byte (start, eight data, stop) at 115200 baud.
constexpr std::uint64_t kByteNs = (10ULL * 1000000000ULL + SimDongle::kBaud / 2) / SimDongle::kBaud;
constexpr std::uint64_t kMs = 1000000;
constexpr std::size_t kTransmitBuffer = 4096;  // the dongle's own buffer towards the host
constexpr qint64 kHostBuffer = 1 << 20;        // what the host side keeps when nobody reads
constexpr std::uint64_t kCommandTimeoutNs = 1000 * kMs;
constexpr std::uint64_t kBootAfterReplugNs = 100 * kMs;

// Firmware 1.3.2 build 122, link layer 3, protocol 1, hardware 1: a typical BLED112.
constexpr std::array<std::uint8_t, 12> kVersionInfo{1, 0, 3, 0, 2, 0, 122, 0, 3, 0, 1, 1};

constexpr std::array<const char*, 8> kOtherNames{"Phone", "Watch",  "Headset", "Scale",
                                                 "Lamp",  "Thermo", "Tag",     "Speaker"};

std::uint16_t get16(const std::uint8_t* at) {
  return static_cast<std::uint16_t>(at[0] | (at[1] << 8));
}

QString hexAddress(const BeltModel::Address& a) {
  QString text;
  for (int i = 5; i >= 0; --i) text += QStringLiteral("%1").arg(a[i], 2, 16, QLatin1Char('0'));
  return text.toUpper();
}

}  // namespace

// One outgoing BGAPI packet, built on the stack.
class SimDongle::Packet {
 public:
  Packet(std::uint8_t type, std::uint8_t classId, std::uint8_t id) {
    bytes_[0] = type;
    bytes_[2] = classId;
    bytes_[3] = id;
  }
  Packet& u8(std::uint8_t value) {
    bytes_[size_++] = value;
    return *this;
  }
  Packet& u16(std::uint16_t value) {
    u8(static_cast<std::uint8_t>(value & 0xFF));
    return u8(static_cast<std::uint8_t>(value >> 8));
  }
  Packet& bytes(const std::uint8_t* data, std::size_t count) {
    std::memcpy(&bytes_[size_], data, count);
    size_ += count;
    return *this;
  }
  // Finished packet: the length byte is filled in here.
  const std::uint8_t* data() {
    bytes_[1] = static_cast<std::uint8_t>(size_ - 4);
    return bytes_.data();
  }
  std::size_t size() const { return size_; }

 private:
  std::array<std::uint8_t, 4 + 255> bytes_{};
  std::size_t size_ = 4;
};

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
  const int belts = std::clamp(options.belts, 0, SimOptions::kMaxBelts);
  const int others = std::clamp(options.otherAdvertisers, 0, SimOptions::kMaxOthers);
  belts_.reserve(std::size_t(belts));
  for (int i = 0; i < belts; ++i) {
    belts_.emplace_back(options.seed, i);
    Advertiser a;
    a.address = belts_.back().address();
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
  pending_.reserve(kTransmitBuffer);
  output_.reserve(64 * 1024);
  procedureData_.reserve(255);
}

QString SimDongle::beltDeviceId(int index) const {
  return hexAddress(belts_.at(std::size_t(index)).address());
}

bool SimDongle::streaming() const {
  return link_ == Link::Connected && peerBelt_ >= 0 && belts_[std::size_t(peerBelt_)].notifying();
}

// --- time ---------------------------------------------------------------------------------

void SimDongle::advanceTo(std::uint32_t tick) {
  if (!started_) {
    started_ = true;
    lastTick_ = tick;
    if (options_.faults.unplugAfterMs) unplugAt_.set(nowNs_ + options_.faults.unplugAfterMs * kMs);
    return;
  }
  const std::uint32_t delta = tick - lastTick_;  // wraps like the program's tick count
  lastTick_ = tick;
  runUntil(nowNs_ + std::uint64_t{delta} * kMs);
}

std::uint64_t SimDongle::floodDueNs() const {
  // The next notification goes out the moment the wire has nothing left to send.
  const std::size_t waiting = pending_.size() - pendingHead_;
  return waiting ? wireNs_ + waiting * kByteNs : std::max(wireNs_, nowNs_);
}

void SimDongle::runUntil(std::uint64_t targetNs) {
  enum class Kind {
    None,
    Present,
    Boot,
    Unplug,
    Replug,
    RxTimeout,
    Held,
    Status,
    Procedure,
    Disconnected,
    LinkLoss,
    Notify,
    Scan
  };
  for (;;) {
    Kind kind = Kind::None;
    std::uint64_t at = targetNs + 1;
    std::size_t which = 0;
    const auto consider = [&](const Deadline& d, Kind k) {
      if (d.armed && d.at < at) {
        at = d.at;
        kind = k;
      }
    };
    consider(present_, Kind::Present);
    consider(boot_, Kind::Boot);
    consider(unplugAt_, Kind::Unplug);
    consider(replugAt_, Kind::Replug);
    consider(rxTimeout_, Kind::RxTimeout);
    if (!held_.empty() && held_.front().at < at) {
      at = held_.front().at;
      kind = Kind::Held;
    }
    consider(status_, Kind::Status);
    consider(procedure_, Kind::Procedure);
    consider(disconnected_, Kind::Disconnected);
    consider(linkLoss_, Kind::LinkLoss);
    if (flooding_ && streaming()) {
      const std::uint64_t due = floodDueNs();
      if (due < at) {
        at = due;
        kind = Kind::Notify;
      }
    } else {
      consider(notify_, Kind::Notify);
    }
    if (scanning_) {
      for (std::size_t i = 0; i < advertisers_.size(); ++i) {
        const Advertiser& a = advertisers_[i];
        if (a.nextAt < at) {
          at = a.nextAt;
          kind = Kind::Scan;
          which = i;
        }
      }
    }
    if (kind == Kind::None) break;

    releaseWire(at);
    nowNs_ = std::max(nowNs_, at);
    switch (kind) {
      case Kind::Present:
        present_.armed = false;
        enumerating_ = false;
        trace(QStringLiteral("back on the bus"));
        break;
      case Kind::Boot:
        boot_.armed = false;
        booting_ = false;
        trace(QStringLiteral("boot"));
        send(
            Packet(kEvent, kClassSystem, kEvtBoot).bytes(kVersionInfo.data(), kVersionInfo.size()));
        break;
      case Kind::Unplug:
        unplugAt_.armed = false;
        unplug();
        if (options_.faults.replugAfterMs) {
          replugAt_.set(nowNs_ + options_.faults.replugAfterMs * kMs);
        }
        break;
      case Kind::Replug:
        replugAt_.armed = false;
        replug();
        break;
      case Kind::RxTimeout:
        rxTimeout_.armed = false;
        rxCount_ = 0;
        protocolError(kTimeout);
        break;
      case Kind::Held: {
        const Held held = std::move(held_.front());
        held_.pop_front();
        execute(held.bytes.data(), held.bytes.size());
        break;
      }
      case Kind::Status:
        status_.armed = false;
        establishLink();
        break;
      case Kind::Procedure:
        procedure_.armed = false;
        completeProcedure();
        break;
      case Kind::Disconnected:
        disconnected_.armed = false;
        dropLink(kLocalHostTerminated);
        break;
      case Kind::LinkLoss:
        linkLoss_.armed = false;
        loseLink();
        break;
      case Kind::Notify:
        sendNotification();
        break;
      case Kind::Scan:
        emitScanResponse(advertisers_[which]);
        break;
      case Kind::None:
        break;
    }
  }
  releaseWire(targetNs);
  nowNs_ = std::max(nowNs_, targetNs);
}

std::uint32_t SimDongle::msUntilNextActivity() const {
  std::uint64_t next = UINT64_MAX;
  const auto consider = [&next](const Deadline& d) {
    if (d.armed) next = std::min(next, d.at);
  };
  consider(present_);
  consider(boot_);
  consider(unplugAt_);
  consider(replugAt_);
  consider(rxTimeout_);
  consider(status_);
  consider(procedure_);
  consider(disconnected_);
  consider(linkLoss_);
  if (!held_.empty()) next = std::min(next, held_.front().at);
  if (flooding_ && streaming()) {
    next = std::min(next, floodDueNs());
  } else if (streaming()) {
    consider(notify_);
  }
  if (scanning_) {
    for (const Advertiser& a : advertisers_) next = std::min(next, a.nextAt);
  }
  if (pending_.size() > pendingHead_) next = std::min(next, wireNs_ + kByteNs);
  if (next == UINT64_MAX) return UINT32_MAX;
  if (next <= nowNs_) return 0;
  return static_cast<std::uint32_t>(
      std::min<std::uint64_t>((next - nowNs_ + kMs - 1) / kMs, UINT32_MAX - 1));
}

// --- the wire -----------------------------------------------------------------------------

void SimDongle::send(const Packet& packet) {
  Packet copy = packet;
  const std::uint8_t* bytes = copy.data();
  const std::size_t size = copy.size();
  if (pending_.size() == pendingHead_) {
    // An idle wire starts with this packet now.
    pending_.clear();
    pendingHead_ = 0;
    wireNs_ = std::max(wireNs_, nowNs_);
  }
  if (pending_.size() - pendingHead_ + size > kTransmitBuffer) {
    ++counters_.packetsLost;
    return;
  }
  if (pending_.size() + size > pending_.capacity()) {
    pending_.erase(pending_.begin(), pending_.begin() + std::ptrdiff_t(pendingHead_));
    pendingHead_ = 0;
  }
  pending_.insert(pending_.end(), bytes, bytes + size);
}

void SimDongle::releaseWire(std::uint64_t untilNs) {
  const SimFaults& f = options_.faults;
  while (pendingHead_ < pending_.size() && wireNs_ + kByteNs <= untilNs) {
    std::uint8_t byte = pending_[pendingHead_++];
    wireNs_ += kByteNs;
    const std::uint64_t n = ++counters_.bytesSent;
    if (f.dropEvery && n % f.dropEvery == 0) {
      ++counters_.bytesDropped;
      continue;
    }
    if (f.garbleEvery && n % f.garbleEvery == 0) {
      byte =
          static_cast<std::uint8_t>(byte ^ static_cast<std::uint8_t>(faultRandom_.between(1, 255)));
      ++counters_.bytesGarbled;
    }
    if (output_.size() >= kHostBuffer) {
      ++counters_.outputLost;
      continue;
    }
    output_.append(static_cast<char>(byte));
  }
  if (pendingHead_ == pending_.size()) {
    pending_.clear();
    pendingHead_ = 0;
  }
}

void SimDongle::consumeOutput(qint64 count) {
  output_.remove(0, static_cast<qsizetype>(std::clamp<qint64>(count, 0, output_.size())));
}

qint64 SimDongle::readOutput(char* data, qint64 maxSize) {
  const qint64 n = std::clamp<qint64>(maxSize, 0, output_.size());
  std::memcpy(data, output_.constData(), std::size_t(n));
  consumeOutput(n);
  return n;
}

QByteArray SimDongle::takeOutput() {
  QByteArray bytes(output_.constData(), output_.size());
  discardOutput();
  return bytes;
}

// --- commands -----------------------------------------------------------------------------

void SimDongle::receive(const char* data, std::size_t size) {
  if (!present()) return;  // nobody there to hear it
  for (std::size_t i = 0; i < size; ++i) {
    rx_[rxCount_++] = static_cast<std::uint8_t>(data[i]);
    if (rxCount_ == 4) rxExpected_ = 4 + (std::size_t(rx_[0] & 0x07) << 8 | rx_[1]);
    if (rxCount_ >= 4 && rxCount_ == rxExpected_) {
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
  } else if (classId == kClassSystem && id == kGetInfo) {
    if (!fits(0)) return;
    send(Packet(kCommand, kClassSystem, kGetInfo).bytes(kVersionInfo.data(), kVersionInfo.size()));
  } else if (classId == kClassGap && id == kDiscover) {
    if (!fits(1)) return;
    std::uint16_t code = 0;
    if (p[0] > 2) {
      code = kInvalidParameter;
    } else if (scanning_ || link_ == Link::Connecting) {
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
    } else if (link_ == Link::Connecting) {
      link_ = Link::Idle;
      status_.armed = false;
      peerBelt_ = -1;
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
    if (minInterval < 6 || maxInterval > 3200 || minInterval > maxInterval || timeout < 10 ||
        timeout > 3200 || latency > 500) {
      code = kInvalidParameter;
    } else if (link_ != Link::Idle) {
      code = kWrongState;
    } else {
      // The dongle leaves scanning to initiate the connection.
      scanning_ = false;
      link_ = Link::Connecting;
      std::copy(p, p + 6, peer_.begin());
      peerType_ = p[6];
      connInterval_ = minInterval;
      supervision_ = timeout;
      latency_ = latency;
      peerBelt_ = -1;
      for (std::size_t i = 0; i < belts_.size(); ++i) {
        if (belts_[i].address() == peer_) peerBelt_ = int(i);
      }
      // Only a belt in range answers; any other address leaves the dongle initiating until the
      // host ends the procedure.
      if (peerBelt_ >= 0) status_.set(nowNs_ + (kConnectMs + random_.between(-30, 30)) * kMs);
    }
    result(classId, id, code, "connect direct");
    send(Packet(kCommand, kClassGap, kConnectDirect).u16(code).u8(0));
  } else if (classId == kClassConnection && id == kDisconnect) {
    if (!fits(1)) return;
    std::uint16_t code = 0;
    if (p[0] != 0 || link_ != Link::Connected) {
      code = kNotConnected;
    } else {
      link_ = Link::Disconnecting;
      stopStream();
      procedure_.armed = false;
      linkLoss_.armed = false;
      disconnected_.set(nowNs_ + intervalNs() + std::uint64_t(random_.between(1, 10)) * kMs);
    }
    result(classId, id, code, "disconnect");
    send(Packet(kCommand, kClassConnection, kDisconnect).u8(p[0]).u16(code));
  } else if (classId == kClassAttClient && id == kAttributeWrite) {
    if (n < 4 || !fits(4 + std::size_t(p[3]))) {
      if (n < 4) protocolError(kInvalidParameter);
      return;
    }
    std::uint16_t code = 0;
    if (p[0] != 0 || link_ != Link::Connected) {
      code = kNotConnected;
    } else if (procedure_.armed) {
      code = kWrongState;
    } else {
      procedureHandle_ = get16(p + 1);
      procedureData_.assign(p + 4, p + 4 + p[3]);
      // The write request goes out at the next connection event, the answer comes back soon
      // after.
      procedure_.set(nowNs_ + intervalNs() +
                     std::uint64_t(random_.between(0, connInterval_ / 2)) * kMs);
    }
    result(classId, id, code, "attribute write");
    send(Packet(kCommand, kClassAttClient, kAttributeWrite).u8(p[0]).u16(code));
  } else {
    trace(QStringLiteral("%1/%2 not recognised").arg(classId).arg(id));
    protocolError(kCommandNotRecognized);
  }
}

// --- the chip's state ---------------------------------------------------------------------

void SimDongle::powerDown() {
  if (peerBelt_ >= 0) belts_[std::size_t(peerBelt_)].linkClosed();
  link_ = Link::Idle;
  peerBelt_ = -1;
  scanning_ = false;
  for (Deadline* d : {&status_, &disconnected_, &linkLoss_, &procedure_, &notify_, &rxTimeout_,
                      &present_, &boot_}) {
    d->armed = false;
  }
  flooding_ = false;
  held_.clear();
  rxCount_ = 0;
  // Whatever had not left the chip is gone with it.
  pending_.clear();
  pendingHead_ = 0;
}

void SimDongle::unplug() {
  if (unplugged_) return;
  trace(QStringLiteral("unplugged"));
  powerDown();
  unplugged_ = true;
  enumerating_ = false;
  booting_ = true;
}

void SimDongle::replug() {
  if (!unplugged_) return;
  trace(QStringLiteral("plugged in"));
  unplugged_ = false;
  boot_.set(nowNs_ + kBootAfterReplugNs);
}

void SimDongle::startScanning() {
  scanning_ = true;
  for (Advertiser& a : advertisers_) {
    a.nextAt = nowNs_ + std::uint64_t(random_.between(5, a.intervalMs)) * kMs;
  }
}

void SimDongle::emitScanResponse(Advertiser& a) {
  // Advertising events come every interval plus the 0-10 ms random delay the air adds.
  a.nextAt += (a.intervalMs + std::uint64_t(random_.between(0, 10))) * kMs;
  // A belt in a connection does not advertise.
  if (a.belt >= 0 && a.belt == peerBelt_ && link_ != Link::Idle) return;
  const long rssi = std::clamp(std::lround(a.rssiMean + 2.5 * random_.gauss()), -100L, -20L);
  ++counters_.scanResponses;
  send(Packet(kEvent, kClassGap, kEvtScanResponse)
           .u8(static_cast<std::uint8_t>(static_cast<std::int8_t>(rssi)))
           .u8(a.packetType)
           .bytes(a.address.data(), 6)
           .u8(a.addressType)
           .u8(0xFF)  // not bonded
           .u8(a.dataSize)
           .bytes(a.data.data(), a.dataSize));
}

void SimDongle::establishLink() {
  link_ = Link::Connected;
  trace(QStringLiteral("connected to %1").arg(hexAddress(peer_)));
  if (options_.faults.linkLossAfterMs) {
    linkLoss_.set(nowNs_ + options_.faults.linkLossAfterMs * kMs);
  }
  send(Packet(kEvent, kClassConnection, kEvtStatus)
           .u8(0)
           .u8(kConnectedAndCompleted)
           .bytes(peer_.data(), 6)
           .u8(peerType_)
           .u16(connInterval_)
           .u16(supervision_)
           .u16(latency_)
           .u8(0xFF));  // no bonding
}

void SimDongle::completeProcedure() {
  BeltModel& belt = belts_[std::size_t(peerBelt_)];
  const bool wasNotifying = belt.notifying();
  const std::uint16_t code =
      belt.write(procedureHandle_, procedureData_.data(), procedureData_.size());
  trace(QStringLiteral("write to 0x%1 completed -> %2")
            .arg(procedureHandle_, 4, 16, QLatin1Char('0'))
            .arg(code, 4, 16, QLatin1Char('0')));
  send(Packet(kEvent, kClassAttClient, kEvtProcedureCompleted)
           .u8(0)
           .u16(code)
           .u16(procedureHandle_));
  if (belt.notifying() && !wasNotifying) {
    trace(options_.flood ? QStringLiteral("notifications on, as fast as the wire carries")
                         : QStringLiteral("notifications on, %1 a second").arg(options_.rateHz));
    flooding_ = options_.flood;
    if (!flooding_) {
      notify_.set(nowNs_ + static_cast<std::uint64_t>(std::llround(1e9 / options_.rateHz)));
    }
  } else if (!belt.notifying() && wasNotifying) {
    trace(QStringLiteral("notifications off"));
    stopStream();
  }
}

void SimDongle::sendNotification() {
  if (!flooding_) {
    notify_.at += static_cast<std::uint64_t>(std::llround(1e9 / options_.rateHz));
  }
  belts_[std::size_t(peerBelt_)].nextValue(options_.timeline, value_);
  ++counters_.notifications;
  send(Packet(kEvent, kClassAttClient, kEvtAttributeValue)
           .u8(0)
           .u16(BeltModel::kMeasurementHandle)
           .u8(kValueTypeNotify)
           .u8(BeltModel::kValueSize)
           .bytes(value_.data(), value_.size()));
}

void SimDongle::stopStream() {
  notify_.armed = false;
  flooding_ = false;
  if (peerBelt_ >= 0) belts_[std::size_t(peerBelt_)].linkClosed();
}

void SimDongle::dropLink(std::uint16_t reason) {
  stopStream();
  procedure_.armed = false;
  linkLoss_.armed = false;
  disconnected_.armed = false;
  link_ = Link::Idle;
  peerBelt_ = -1;
  trace(QStringLiteral("disconnected, reason %1").arg(reason, 4, 16, QLatin1Char('0')));
  send(Packet(kEvent, kClassConnection, kEvtDisconnected).u8(0).u16(reason));
}

void SimDongle::loseLink() {
  if (link_ != Link::Connected && link_ != Link::Disconnecting) return;
  dropLink(kSupervisionTimeout);
}

}  // namespace kelvaro
