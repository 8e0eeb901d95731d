#include "sim/RecordedBelt.h"

#include <QFileInfo>
#include <algorithm>
#include <optional>
#include <utility>

#include "capture/CaptureReader.h"
#include "link/BgapiProtocol.h"

namespace kelvaro {
namespace {

using namespace bgapi;

// A partial packet older than this was cut off (a reset, a port closed meanwhile), as the
// dongle's own receiver forgets a command left incomplete.
constexpr std::uint64_t kStaleUs = 1000000;
constexpr std::uint8_t kFlagConnected = 0x01;

// The packets of one direction of the stream, however the reads split them. A byte that cannot
// begin a packet (another technology than Bluetooth LE) is passed over until one can.
class PacketSplitter {
 public:
  template <class OnPacket>
  void feed(std::uint64_t micros, const std::uint8_t* data, std::size_t size, OnPacket&& onPacket) {
    if (!buffer_.empty() && micros - lastMicros_ > kStaleUs) buffer_.clear();
    lastMicros_ = micros;
    buffer_.insert(buffer_.end(), data, data + size);
    std::size_t at = 0;
    while (at < buffer_.size()) {
      if ((buffer_[at] & 0x78) != 0) {
        ++at;
        continue;
      }
      if (buffer_.size() - at < kHeaderSize) break;
      const std::size_t length = std::size_t(buffer_[at] & kLengthHighBits) << 8 | buffer_[at + 1];
      if (buffer_.size() - at < kHeaderSize + length) break;
      onPacket(&buffer_[at], length);
      at += kHeaderSize + length;
    }
    buffer_.erase(buffer_.begin(), buffer_.begin() + std::ptrdiff_t(at));
  }

 private:
  std::vector<std::uint8_t> buffer_;
  std::uint64_t lastMicros_ = 0;
};

DeviceAddress addressAt(const std::uint8_t* at) {
  DeviceAddress address;
  std::copy(at, at + address.size(), address.begin());
  return address;
}

}  // namespace

// Follows the capture's link to the belt and keeps the belt's streaming clock.
class RecordedBelt::Reader {
 public:
  explicit Reader(RecordedBelt& belt) : belt_(belt) {}

  void sent(std::uint64_t t, const std::uint8_t* packet) {
    const std::uint8_t classId = packet[2], id = packet[3];
    if (classId == kClassConnection && id == kDisconnect) {
      // The program ended the link itself: a silence before this counts, the time after not.
      asked_ = true;
      stop(t);
    } else if (classId == kClassSystem && id == kReset) {
      asked_ = true;
      stop(t);
      connected_ = false;
    }
  }

  void received(std::uint64_t t, const std::uint8_t* packet, std::size_t length) {
    if ((packet[0] & kEventBit) == 0) return;  // a response
    const std::uint8_t classId = packet[2], id = packet[3];
    const std::uint8_t* p = packet + kHeaderSize;
    if (classId == kClassGap && id == kEvtScanResponse && length >= 9) {
      seen_.emplace_back(addressAt(p + 2), static_cast<std::int8_t>(p[0]));
    } else if (classId == kClassConnection && id == kEvtConnectionStatus && length >= 9) {
      if ((p[1] & kFlagConnected) == 0) return;
      const DeviceAddress address = addressAt(p + 2);
      if (!belt_.heard_) {
        belt_.heard_ = true;
        belt_.address_ = address;
        belt_.addressType_ = p[8];
      }
      // A status that only tells new parameters of a running link changes nothing.
      if (address != belt_.address_ || connected_) return;
      connected_ = true;
      asked_ = false;
      startCandidate_ = t;
      if (away_) {
        belt_.events_[*away_].awayUs = t - awaySince_;
        away_.reset();
      }
    } else if (classId == kClassAttributeClient && id == kEvtProcedureCompleted) {
      // The write that switched notifications on: the stream starts here.
      if (connected_ && !streaming_) startCandidate_ = t;
    } else if (classId == kClassAttributeClient && id == kEvtAttributeValue && length >= 5 &&
               length <= 0xFF) {
      if (!connected_) return;
      if (!streaming_) {
        streaming_ = true;
        streamStart_ = std::min(startCandidate_, t);
      }
      Event& e = add(Event::Kind::Notification, t);
      e.offset = belt_.bytes_.size();
      e.size = length - 1;
      belt_.bytes_.insert(belt_.bytes_.end(), p + 1, p + length);
      ++belt_.notifications_;
    } else if (classId == kClassConnection && id == kEvtDisconnected && length >= 3) {
      if (!connected_) return;
      if (!asked_) {
        Event& e = add(Event::Kind::LinkLoss, t);
        e.reason = static_cast<std::uint16_t>(p[1] | p[2] << 8);
        e.awayUs = kForever;
        away_ = belt_.events_.size() - 1;
        awaySince_ = t;
      }
      stop(t);
      connected_ = false;
    } else if (classId == kClassSystem && id == kEvtBoot) {
      stop(t);
      connected_ = false;
    }
  }

  void end(std::uint64_t t) {
    belt_.durationUs_ = clock(t);
    belt_.endAfterUs_ = belt_.durationUs_ - lastEvent_;
    for (auto it = seen_.rbegin(); it != seen_.rend(); ++it) {
      if (it->first == belt_.address_) {
        belt_.rssi_ = it->second;
        break;
      }
    }
  }

 private:
  // The belt's streaming time at capture time t.
  std::uint64_t clock(std::uint64_t t) const {
    return streamed_ + (streaming_ && t > streamStart_ ? t - streamStart_ : 0);
  }
  void stop(std::uint64_t t) {
    if (!streaming_) return;
    streamed_ = clock(t);
    streaming_ = false;
  }
  Event& add(Event::Kind kind, std::uint64_t t) {
    const std::uint64_t now = clock(t);
    Event e;
    e.kind = kind;
    e.afterUs = now - lastEvent_;
    lastEvent_ = now;
    belt_.events_.push_back(e);
    return belt_.events_.back();
  }

  RecordedBelt& belt_;
  bool connected_ = false;  // to the belt
  bool asked_ = false;      // the program ended the link (disconnect, reset)
  bool streaming_ = false;
  std::uint64_t startCandidate_ = 0;
  std::uint64_t streamStart_ = 0;
  std::uint64_t streamed_ = 0;  // streaming time before the current stream
  std::uint64_t lastEvent_ = 0;
  std::optional<std::size_t> away_;  // the lost link whose belt has not been reached again
  std::uint64_t awaySince_ = 0;
  std::vector<std::pair<DeviceAddress, int>> seen_;  // scan responses: address, signal
};

RecordedBelt RecordedBelt::fromCapture(const Capture& capture) {
  RecordedBelt belt;
  Reader reader(belt);
  PacketSplitter fromDongle, toDongle;
  std::uint64_t last = 0;
  for (const CaptureRecord& record : capture.records) {
    last = record.micros;
    const std::uint64_t t = record.micros;
    if (record.direction == capture::Direction::Received) {
      fromDongle.feed(t, capture.data(record), record.size,
                      [&](const std::uint8_t* packet, std::size_t length) {
                        reader.received(t, packet, length);
                      });
    } else {
      toDongle.feed(t, capture.data(record), record.size,
                    [&](const std::uint8_t* packet, std::size_t) { reader.sent(t, packet); });
    }
  }
  reader.end(last);
  return belt;
}

RecordedBeltFile loadRecordedBelt(const QString& path) {
  RecordedBeltFile file;
  QString error;
  const std::optional<Capture> capture = readCaptureFile(path, &error);
  if (!capture) {
    file.error = error;
    return file;
  }
  if (capture->damage) file.damage = captureDamageText(path, *capture->damage);
  if (!capture->header) {
    file.error = file.damage;
    return file;
  }
  auto belt = std::make_shared<RecordedBelt>(RecordedBelt::fromCapture(*capture));
  if (!belt->heard()) {
    file.error =
        file.damage.isEmpty()
            ? QStringLiteral("%1: no belt in the capture (no connection to one was made)").arg(path)
            : file.damage + QStringLiteral(" (no belt was connected before it)");
    return file;
  }
  file.belt = std::move(belt);
  return file;
}

}  // namespace kelvaro
