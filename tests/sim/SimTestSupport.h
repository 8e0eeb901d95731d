#pragma once

#include <QByteArray>
#include <cmath>
#include <cstdint>
#include <vector>

#include "sim/SimDongle.h"

// Test-side tools written independently of the simulator: they read the dongle's bytes the way
// a BGAPI host does and compute the force activity as the monitor defines it.
namespace kelvaro::simtest {

struct Frame {
  std::uint8_t type = 0;
  std::uint8_t classId = 0;
  std::uint8_t id = 0;
  QByteArray payload;

  bool isEvent() const { return (type & 0x80) != 0; }
  bool is(bool event, int c, int i) const { return isEvent() == event && classId == c && id == i; }
  int u8(int at) const { return static_cast<std::uint8_t>(payload.at(at)); }
  int u16(int at) const { return u8(at) | (u8(at + 1) << 8); }
  QByteArray bytes() const {
    QByteArray all;
    all.append(char(type)).append(char(payload.size())).append(char(classId)).append(char(id));
    return all + payload;
  }
};

// Cuts a byte stream into BGAPI packets (4-byte header, one length byte).
class FrameSplitter {
 public:
  void feed(const QByteArray& bytes) {
    buffer_ += bytes;
    while (buffer_.size() >= 4) {
      const int length = static_cast<std::uint8_t>(buffer_.at(1));
      if (buffer_.size() < 4 + length) break;
      Frame f;
      f.type = static_cast<std::uint8_t>(buffer_.at(0));
      f.classId = static_cast<std::uint8_t>(buffer_.at(2));
      f.id = static_cast<std::uint8_t>(buffer_.at(3));
      f.payload = buffer_.mid(4, length);
      frames.push_back(f);
      buffer_.remove(0, 4 + length);
    }
  }
  int leftover() const { return int(buffer_.size()); }
  std::vector<Frame> frames;

 private:
  QByteArray buffer_;
};

// The sixteen value bytes of a measurement notification.
struct BeltSample {
  int tag = 0, selector = 0;
  int raw1 = 0, raw2 = 0;
  int ax = 0, ay = 0, az = 0;
  int aux = 0;

  static BeltSample fromValue(const QByteArray& v) {
    const auto u = [&v](int at) { return static_cast<std::uint8_t>(v.at(at)); };
    const auto u16 = [&u](int at) { return u(at) | (u(at + 1) << 8); };
    const auto s16 = [&u16](int at) {
      return static_cast<int>(static_cast<std::int16_t>(u16(at)));
    };
    BeltSample s;
    s.tag = u(2);
    s.selector = u(3);
    s.raw1 = u16(4);
    s.raw2 = u16(6);
    s.ax = s16(8);
    s.ay = s16(10);
    s.az = s16(12);
    s.aux = u16(14);
    return s;
  }
  double gravity() const { return std::sqrt(double(ax) * ax + double(ay) * ay + double(az) * az); }
};

// The monitor's force activity with its default calibration: the offset is taken from the tenth
// notification (which also fills the 200-sample ring with 0 g), samples are taken from the
// twelfth on, grams are (raw - offset) * 0.5, and each block of 200 gives the mean absolute
// deviation of its samples from the running mean of the ring before each sample.
class ActivityMeter {
 public:
  void addNotification(int raw1) {
    ++count_;
    if (count_ == 10) {
      offset_ = raw1;
      ring_.assign(200, 0.0);
      sum_ = 0.0;
      position_ = 0;
      deviation_ = 0.0;
    }
    if (count_ <= 11) return;
    const double grams = (raw1 - offset_) * 0.5;
    const double mean = sum_ / 200.0;
    sum_ += grams - ring_[position_];
    ring_[position_] = grams;
    ++position_;
    deviation_ += std::fabs(mean - grams);
    if (position_ == 200) {
      blocks.push_back(deviation_ / 200.0);
      deviation_ = 0.0;
      position_ = 0;
    }
  }
  std::vector<double> blocks;

 private:
  int count_ = 0;
  int offset_ = 0;
  std::vector<double> ring_;
  double sum_ = 0.0;
  std::size_t position_ = 0;
  double deviation_ = 0.0;
};

// The monitor's commands, byte for byte.
inline QByteArray hex(const char* text) { return QByteArray::fromHex(QByteArray(text)); }
inline const char* const kDiscover = "00 01 06 02 01";
inline const char* const kSet1 = "00 05 04 05 00 1C 00 01 80";
inline const char* const kSet2 = "00 06 04 05 00 1A 00 02 01 00";
inline const char* const kReset = "00 01 00 00 00";
inline const char* const kDisconnect = "00 01 03 00 00";
inline const char* const kEndProcedure = "00 00 06 04";
inline QByteArray connectCommand(const QString& deviceId) {
  QByteArray address = QByteArray::fromHex(deviceId.toLatin1());
  std::reverse(address.begin(), address.end());
  return hex("00 0F 06 03") + address + hex("00 3C 00 4C 00 64 00 00 00");
}

// Drives a dongle on a fake millisecond clock and collects every frame it sends.
class Bench {
 public:
  explicit Bench(const SimOptions& options, std::uint32_t start = 1000)
      : dongle(options), now(start) {
    dongle.advanceTo(now);
  }
  void send(const QByteArray& bytes) { dongle.receive(bytes); }
  // Moves the clock in steps of at most `step` ms, collecting output as it goes.
  void run(std::uint32_t ms, std::uint32_t step = 10) {
    while (ms > 0) {
      const std::uint32_t d = std::min(ms, step);
      now += d;
      ms -= d;
      dongle.advanceTo(now);
      splitter.feed(dongle.takeOutput());
    }
  }
  std::vector<Frame> take() {
    std::vector<Frame> out;
    out.swap(splitter.frames);
    return out;
  }
  // Connects to belt `index` the way the monitor does and switches notifications on.
  void connectAndStream(int index = 0) {
    send(connectCommand(dongle.beltDeviceId(index)));
    run(400);
    send(hex(kSet1));
    run(300);
    send(hex(kSet2));
    run(300);
  }

  SimDongle dongle;
  std::uint32_t now;
  FrameSplitter splitter;
};

}  // namespace kelvaro::simtest
