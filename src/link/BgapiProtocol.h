#pragma once

#include <cstddef>
#include <cstdint>

namespace kelvaro {

// The numbers of the dongle's BGAPI protocol that this program and the simulated dongle use, for
// both ends of the wire. A message is a 4-byte header (message type, length, class, id) and the
// payload, multi-byte numbers little-endian. A response has the class and id of the command it
// answers.
namespace bgapi {

constexpr std::size_t kHeaderSize = 4;

// Message types: bit 7 tells an event from a command or response; bits 6..3 are the technology
// (0, Bluetooth LE) and bits 2..0 the high bits of the payload length.
constexpr std::uint8_t kCommand = 0x00;
constexpr std::uint8_t kResponse = 0x00;
constexpr std::uint8_t kEvent = 0x80;
constexpr std::uint8_t kEventBit = 0x80;
constexpr std::uint8_t kLengthHighBits = 0x07;
// The longest payload a header can announce: the length byte with the three high bits above it.
constexpr std::size_t kMaxAnnouncedPayload = std::size_t{kLengthHighBits} << 8 | 0xFF;

// Classes.
constexpr std::uint8_t kClassSystem = 0;
constexpr std::uint8_t kClassConnection = 3;
constexpr std::uint8_t kClassAttributeClient = 4;
constexpr std::uint8_t kClassGap = 6;

// System commands and events.
constexpr std::uint8_t kReset = 0;
constexpr std::uint8_t kHello = 1;
constexpr std::uint8_t kAddressGet = 2;
constexpr std::uint8_t kGetConnections = 6;  // answers how many connections the dongle holds
constexpr std::uint8_t kGetInfo = 8;
constexpr std::uint8_t kEvtBoot = 0;
constexpr std::uint8_t kEvtProtocolError = 6;

// Connection commands and events.
constexpr std::uint8_t kDisconnect = 0;
constexpr std::uint8_t kEvtConnectionStatus = 0;
constexpr std::uint8_t kEvtDisconnected = 4;

// Attribute client commands and events.
constexpr std::uint8_t kAttributeWrite = 5;
constexpr std::uint8_t kEvtProcedureCompleted = 1;
constexpr std::uint8_t kEvtAttributeValue = 5;

// GAP commands and events.
constexpr std::uint8_t kDiscover = 2;
constexpr std::uint8_t kConnectDirect = 3;
constexpr std::uint8_t kEndProcedure = 4;
constexpr std::uint8_t kEvtScanResponse = 0;

// Field values.
constexpr std::uint8_t kDiscoverGeneric = 1;                // discover mode
constexpr std::uint8_t kBootNormal = 0;                     // system reset: not the update loader
constexpr std::uint8_t kValueTypeNotify = 1;                // attribute value type
constexpr std::uint8_t kFlagsConnectedAndCompleted = 0x05;  // connection status flags

// Results.
constexpr std::uint16_t kInvalidParameter = 0x0180;
constexpr std::uint16_t kWrongState = 0x0181;
constexpr std::uint16_t kCommandNotRecognized = 0x0184;
constexpr std::uint16_t kTimeout = 0x0185;
constexpr std::uint16_t kNotConnected = 0x0186;
// Connect direct with every connection handle in use (the Bluetooth controller's error 0x09).
constexpr std::uint16_t kConnectionLimitExceeded = 0x0209;

// Disconnect reasons.
constexpr std::uint16_t kSupervisionTimeout = 0x0208;
constexpr std::uint16_t kLocalHostTerminated = 0x0216;

}  // namespace bgapi
}  // namespace kelvaro
