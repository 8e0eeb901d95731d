#pragma once

// Shared by the two halves of SimDongle (its commands and its timed events); not part of its
// interface.

#include <QString>
#include <array>
#include <cstdint>
#include <cstring>

#include "link/DeviceAddress.h"
#include "sim/SimDongle.h"

namespace kelvaro::simdongle {

constexpr std::uint64_t kMs = 1000000;
constexpr std::size_t kTransmitBuffer = 4096;  // the dongle's own buffer towards the host

// Firmware 1.3.2 build 122, link layer 3, protocol 1, hardware 1: a typical BLED112.
constexpr std::array<std::uint8_t, 12> kVersionInfo{1, 0, 3, 0, 2, 0, 122, 0, 3, 0, 1, 1};

}  // namespace kelvaro::simdongle

namespace kelvaro {

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
    bytes_[1] = static_cast<std::uint8_t>(size_ - bgapi::kHeaderSize);
    return bytes_.data();
  }
  std::size_t size() const { return size_; }

 private:
  std::array<std::uint8_t, bgapi::kHeaderSize + 0xFF> bytes_{};
  std::size_t size_ = bgapi::kHeaderSize;
};

}  // namespace kelvaro
