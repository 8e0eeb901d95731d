#include "sim/SimDongle.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "sim/SimDongleInternal.h"

namespace kelvaro {

using namespace bgapi;
using namespace simdongle;

namespace {

// Ten bits a byte (start, eight data, stop) at 115200 baud.
constexpr std::uint64_t kByteNs = (10ULL * 1000000000ULL + SimDongle::kBaud / 2) / SimDongle::kBaud;
constexpr qint64 kHostBuffer = 1 << 20;  // what the host side keeps when nobody reads
constexpr std::uint64_t kBootAfterReplugNs = 100 * kMs;

}  // namespace

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
    Scan,
    BackInReach
  };
  for (;;) {
    Kind kind = Kind::None;
    std::uint64_t at = targetNs + 1;
    std::size_t which = 0;
    const auto consider = [&](const Deadline& d, Kind k, std::size_t w = 0) {
      if (d.armed && d.at < at) {
        at = d.at;
        kind = k;
        which = w;
      }
    };
    const std::size_t handles = connections_.size();
    consider(present_, Kind::Present);
    consider(boot_, Kind::Boot);
    consider(unplugAt_, Kind::Unplug);
    consider(replugAt_, Kind::Replug);
    consider(rxTimeout_, Kind::RxTimeout);
    if (!held_.empty() && held_.front().at < at) {
      at = held_.front().at;
      kind = Kind::Held;
    }
    for (std::size_t h = 0; h < handles; ++h) consider(connections_[h].status, Kind::Status, h);
    for (std::size_t h = 0; h < handles; ++h) {
      consider(connections_[h].procedure, Kind::Procedure, h);
    }
    for (std::size_t h = 0; h < handles; ++h) {
      consider(connections_[h].disconnected, Kind::Disconnected, h);
    }
    for (std::size_t h = 0; h < handles; ++h) {
      consider(connections_[h].linkLoss, Kind::LinkLoss, h);
    }
    consider(backInReach_, Kind::BackInReach);
    if (const int turn = floodingTurn(); turn >= 0) {
      const std::uint64_t due = floodDueNs();
      if (due < at) {
        at = due;
        kind = Kind::Notify;
        which = std::size_t(turn);
      }
    }
    for (std::size_t h = 0; h < handles; ++h) {
      const Connection& c = connections_[h];
      if (c.flooding) continue;  // their turns are taken above
      if (playback_ && c.notify.armed) {
        // A recording is never sent faster than the wire carries.
        const std::uint64_t due = std::max(c.notify.at, floodDueNs());
        if (due < at) {
          at = due;
          kind = Kind::Notify;
          which = h;
        }
      } else {
        consider(c.notify, Kind::Notify, h);
      }
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
        connections_[which].status.armed = false;
        establishLink(which);
        break;
      case Kind::Procedure:
        connections_[which].procedure.armed = false;
        completeProcedure(which);
        break;
      case Kind::Disconnected:
        connections_[which].disconnected.armed = false;
        dropLink(which, kLocalHostTerminated);
        break;
      case Kind::LinkLoss:
        connections_[which].linkLoss.armed = false;
        loseLink(int(which));
        break;
      case Kind::Notify:
        sendNotification(which);
        break;
      case Kind::Scan:
        emitScanResponse(advertisers_[which]);
        break;
      case Kind::BackInReach:
        backInReach_.armed = false;
        comeBack();
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
  for (const Connection& c : connections_) {
    consider(c.status);
    consider(c.procedure);
    consider(c.disconnected);
    consider(c.linkLoss);
  }
  consider(backInReach_);
  if (!held_.empty()) next = std::min(next, held_.front().at);
  if (floodingTurn() >= 0) next = std::min(next, floodDueNs());
  for (const Connection& c : connections_) {
    if (c.flooding) continue;
    if (playback_ && c.notify.armed) {
      next = std::min(next, std::max(c.notify.at, floodDueNs()));
    } else if (streaming(c)) {
      consider(c.notify);
    }
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
// --- the chip's state ---------------------------------------------------------------------

void SimDongle::powerDown() {
  for (Connection& c : connections_) {
    if (c.link != Link::Idle && c.belt >= 0) belts_[std::size_t(c.belt)].linkClosed();
    c.link = Link::Idle;
    c.belt = -1;
    for (Deadline* d : {&c.status, &c.disconnected, &c.linkLoss, &c.procedure, &c.notify}) {
      d->armed = false;
    }
    c.flooding = false;
  }
  scanning_ = false;
  for (Deadline* d : {&rxTimeout_, &present_, &boot_}) d->armed = false;
  if (playback_) playback_->pause(nowNs_);
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
  // A belt in a connection does not advertise, nor does one out of reach.
  if (a.belt >= 0 && connectionTo(a.belt) >= 0) return;
  if (a.belt >= 0 && beltAway_) return;
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

void SimDongle::establishLink(std::size_t handle) {
  Connection& c = connections_[handle];
  c.link = Link::Connected;
  trace(handle == 0
            ? QStringLiteral("connected to %1").arg(DeviceId(c.peer))
            : QStringLiteral("connected to %1 on connection %2").arg(DeviceId(c.peer)).arg(handle));
  if (c.linkLossAfterMs) c.linkLoss.set(nowNs_ + std::uint64_t{c.linkLossAfterMs} * kMs);
  send(Packet(kEvent, kClassConnection, kEvtConnectionStatus)
           .u8(static_cast<std::uint8_t>(handle))
           .u8(kFlagsConnectedAndCompleted)
           .bytes(c.peer.data(), 6)
           .u8(c.peerType)
           .u16(c.interval)
           .u16(c.supervision)
           .u16(c.latency)
           .u8(0xFF));  // no bonding
}

void SimDongle::completeProcedure(std::size_t handle) {
  Connection& c = connections_[handle];
  BeltModel& belt = belts_[std::size_t(c.belt)];
  const bool wasNotifying = belt.notifying();
  const std::uint16_t code =
      belt.write(c.procedureHandle, c.procedureData.data(), c.procedureData.size());
  trace(QStringLiteral("write to 0x%1 completed -> %2")
            .arg(c.procedureHandle, 4, 16, QLatin1Char('0'))
            .arg(code, 4, 16, QLatin1Char('0')));
  send(Packet(kEvent, kClassAttributeClient, kEvtProcedureCompleted)
           .u8(static_cast<std::uint8_t>(handle))
           .u16(code)
           .u16(c.procedureHandle));
  if (belt.notifying() && !wasNotifying && playback_) {
    trace(QStringLiteral("notifications on: the recording plays %1")
              .arg(playbackSpeedText(playback_->pace())));
    c.flooding = playback_->pace().flood;
    playback_->resume(nowNs_);
    if (!c.flooding) c.notify.set(playback_->dueNs());
  } else if (belt.notifying() && !wasNotifying) {
    trace(options_.flood ? QStringLiteral("notifications on, as fast as the wire carries")
                         : QStringLiteral("notifications on, %1 a second").arg(options_.rateHz));
    c.flooding = options_.flood;
    if (!c.flooding) {
      c.notify.set(nowNs_ + static_cast<std::uint64_t>(std::llround(1e9 / options_.rateHz)));
    }
  } else if (!belt.notifying() && wasNotifying) {
    trace(QStringLiteral("notifications off"));
    stopStream(c);
  }
}

int SimDongle::floodingTurn() const {
  const std::size_t handles = connections_.size();
  for (std::size_t k = 0; k < handles; ++k) {
    const std::size_t h = (floodTurn_ + k) % handles;
    if (connections_[h].flooding && streaming(connections_[h])) return int(h);
  }
  return -1;
}

void SimDongle::sendNotification(std::size_t handle) {
  Connection& c = connections_[handle];
  if (c.flooding) floodTurn_ = (handle + 1) % connections_.size();
  if (playback_) {
    playRecorded(handle);
    return;
  }
  if (!c.flooding) {
    c.notify.at += static_cast<std::uint64_t>(std::llround(1e9 / options_.rateHz));
  }
  belts_[std::size_t(c.belt)].nextValue(timelineOf(c.belt), value_);
  ++counters_.notifications;
  send(Packet(kEvent, kClassAttributeClient, kEvtAttributeValue)
           .u8(static_cast<std::uint8_t>(handle))
           .u16(BeltModel::kMeasurementHandle)
           .u8(kValueTypeNotify)
           .u8(BeltModel::kValueSize)
           .bytes(value_.data(), value_.size()));
}

void SimDongle::playRecorded(std::size_t handle) {
  Connection& c = connections_[handle];
  const BeltPlayback::Taken taken = playback_->take();
  switch (taken.step) {
    case BeltPlayback::Step::Notification:
      ++counters_.notifications;
      send(Packet(kEvent, kClassAttributeClient, kEvtAttributeValue)
               .u8(static_cast<std::uint8_t>(handle))
               .bytes(playback_->belt().data(*taken.event), taken.event->size));
      break;
    case BeltPlayback::Step::LinkLoss: {
      std::uint64_t away = playback_->paced(taken.event->awayUs);
      // A loop comes round to the start again, whose belt was in reach.
      if (away == RecordedBelt::kForever && playback_->pace().loop) away = 0;
      trace(QStringLiteral("the recorded link loss, reason %1")
                .arg(taken.event->reason, 4, 16, QLatin1Char('0')));
      goAway(away);
      dropLink(handle, taken.event->reason);
      return;
    }
    case BeltPlayback::Step::End:
      if (playback_->finished()) {
        trace(QStringLiteral("the recording is over: the belt goes out of reach"));
        goAway(RecordedBelt::kForever);
        dropLink(handle, kSupervisionTimeout);
        return;
      }
      trace(QStringLiteral("the recording plays again from its start"));
      break;
  }
  if (!c.flooding) c.notify.set(playback_->dueNs());
}

void SimDongle::goAway(std::uint64_t awayNs) {
  beltAway_ = true;
  backInReach_.armed = false;
  if (awayNs != RecordedBelt::kForever) backInReach_.set(nowNs_ + awayNs);
}

void SimDongle::comeBack() {
  beltAway_ = false;
  trace(QStringLiteral("the belt is in reach again"));
  // A dongle still initiating a connection to it makes it now.
  if (const int h = connecting(); h >= 0) {
    Connection& c = connections_[std::size_t(h)];
    if (c.belt >= 0 && !c.status.armed) c.status.set(nowNs_ + kConnectMs * kMs);
  }
}

void SimDongle::stopStream(Connection& c) {
  c.notify.armed = false;
  c.flooding = false;
  if (playback_) playback_->pause(nowNs_);
  if (c.belt >= 0) belts_[std::size_t(c.belt)].linkClosed();
}

void SimDongle::dropLink(std::size_t handle, std::uint16_t reason) {
  Connection& c = connections_[handle];
  stopStream(c);
  c.procedure.armed = false;
  c.linkLoss.armed = false;
  c.disconnected.armed = false;
  c.link = Link::Idle;
  c.belt = -1;
  trace(handle == 0 ? QStringLiteral("disconnected, reason %1").arg(reason, 4, 16, QLatin1Char('0'))
                    : QStringLiteral("connection %1 disconnected, reason %2")
                          .arg(handle)
                          .arg(reason, 4, 16, QLatin1Char('0')));
  send(Packet(kEvent, kClassConnection, kEvtDisconnected)
           .u8(static_cast<std::uint8_t>(handle))
           .u16(reason));
}

void SimDongle::loseLink(int handle) {
  if (handle < 0 || handle >= int(connections_.size())) return;
  const Link state = connections_[std::size_t(handle)].link;
  if (state != Link::Connected && state != Link::Disconnecting) return;
  dropLink(std::size_t(handle), kSupervisionTimeout);
}

}  // namespace kelvaro
