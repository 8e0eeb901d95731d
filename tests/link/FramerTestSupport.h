#pragma once

#include <QByteArray>
#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include "link/BgapiPacket.h"
#include "support/NotificationPackets.h"

namespace kelvaro::testing {

// A packet as the framer dispatched it, copied out of the receive buffer.
struct Received {
  std::uint8_t messageType = 0;
  std::uint8_t classId = 0;
  std::uint8_t commandId = 0;
  std::vector<std::uint8_t> payload;

  bool operator==(const Received& o) const {
    return messageType == o.messageType && classId == o.classId && commandId == o.commandId &&
           payload == o.payload;
  }
  bool operator!=(const Received& o) const { return !(*this == o); }
};

inline Received fromBytes(const std::vector<std::uint8_t>& bytes) {
  Received r;
  r.messageType = bytes.at(0);
  r.classId = bytes.at(2);
  r.commandId = bytes.at(3);
  r.payload.assign(bytes.begin() + 4, bytes.end());
  return r;
}

class RecordingSink : public PacketSink {
 public:
  void dispatchPacket(const BgapiPacket& p) override {
    Received r;
    r.messageType = p.messageType;
    r.classId = p.classId;
    r.commandId = p.commandId;
    r.payload.assign(p.payload.begin(), p.payload.begin() + p.length);
    packets.push_back(std::move(r));
    if (during) during(p);
  }

  std::vector<Received> packets;
  std::function<void(const BgapiPacket&)> during;  // runs inside the dispatch
};

inline std::vector<std::uint8_t> hexBytes(const char* hex) {
  const QByteArray raw = QByteArray::fromHex(QByteArray(hex).replace(' ', ""));
  return {raw.begin(), raw.end()};
}

// Plausible sensor values for notification i: a sample counter, the auxiliary selector
// alternating battery and temperature, breathing on force 1 (an 80-sample cycle at 20 Hz), a
// quieter force 2, accelerations around 0 and 1 g with noise and motion bursts. Counters and
// near-zero accelerations put many 0x00 and 0x80 bytes into the values.
inline SensorValue beltValue(int i, std::mt19937& rng) {
  auto noise = [&rng](int amplitude) {
    return static_cast<int>(rng() % static_cast<unsigned>(2 * amplitude + 1)) - amplitude;
  };
  const double phase = 2.0 * 3.14159265358979 * i / 80.0;
  const bool burst = (i / 40) % 5 == 3;
  const int force1 = 1000 + static_cast<int>(350 * std::sin(phase)) + noise(8);
  const int force2 = 1000 + static_cast<int>(60 * std::sin(phase / 3)) + noise(4);
  const int ax = noise(burst ? 2000 : 150);
  const int ay = noise(burst ? 1500 : 100);
  const int az = 1000 + noise(burst ? 1800 : 50);
  const bool battery = i % 2 == 0;
  const int aux = battery ? 4100 - i / 20 : 3100 + noise(40);
  RawValues r;
  r.status = i % 4 == 3 ? 0x00 : 0x80;  // sensor ready
  r.sequence = static_cast<std::uint8_t>(i & 0xFF);
  r.tag = static_cast<std::uint8_t>(i & 0xFF);
  r.selector = battery ? 1 : 2;
  r.force1 = static_cast<std::uint16_t>(force1);
  r.force2 = static_cast<std::uint16_t>(force2);
  r.ax = static_cast<std::int16_t>(ax);
  r.ay = static_cast<std::int16_t>(ay);
  r.az = static_cast<std::int16_t>(az);
  r.aux = static_cast<std::uint16_t>(aux);
  return sensorValue(r);
}

// count notification packets, concatenated, with their packets.
struct RecordedStream {
  std::vector<std::uint8_t> bytes;
  std::vector<Received> packets;
};

inline RecordedStream notificationStream(int count, unsigned seed = 2024) {
  std::mt19937 rng(seed);
  RecordedStream s;
  for (int i = 0; i < count; ++i) {
    const auto packet = notificationPacket(beltValue(i, rng));
    s.bytes.insert(s.bytes.end(), packet.begin(), packet.end());
    s.packets.push_back(fromBytes(packet));
  }
  return s;
}

}  // namespace kelvaro::testing
