#pragma once

#include <QString>
#include <array>
#include <cstdint>

#include "link/BgapiProtocol.h"

namespace kelvaro {

class ConsoleLog;
class SerialTransport;
struct LinkState;

// The BGAPI command packets this program sends, byte for byte (header, then payload with
// multi-byte numbers little-endian). The first belt's commands always name connection 0: the handle
// the dongle reports is not used for it. Further belts' commands name the handle their connection
// got (the connection byte, first in the payload, is filled in).
namespace bgapicmd {
// A command packet: the header (its length byte counted here), then the payload.
template <std::size_t N>
constexpr std::array<std::uint8_t, bgapi::kHeaderSize + N> command(
    std::uint8_t classId, std::uint8_t id, const std::uint8_t (&payload)[N]) {
  static_assert(N <= 0xFF, "a command's payload length fits the length byte");
  std::array<std::uint8_t, bgapi::kHeaderSize + N> packet{
      bgapi::kCommand, static_cast<std::uint8_t>(N), classId, id};
  for (std::size_t i = 0; i < N; ++i) packet[bgapi::kHeaderSize + i] = payload[i];
  return packet;
}
constexpr std::array<std::uint8_t, bgapi::kHeaderSize> command(std::uint8_t classId,
                                                               std::uint8_t id) {
  return {bgapi::kCommand, 0x00, classId, id};
}

// GAP discover, generic discovery.
constexpr auto kGapDiscover =
    command(bgapi::kClassGap, bgapi::kDiscover, {bgapi::kDiscoverGeneric});
// Attribute write on connection 0, handle 28 (1C 00), one value byte 80.
constexpr auto kWriteHandle28 =
    command(bgapi::kClassAttributeClient, bgapi::kAttributeWrite, {0x00, 0x1C, 0x00, 0x01, 0x80});
// Attribute write on connection 0, handle 26 (1A 00), value 01 00: notifications on.
constexpr auto kEnableNotifications = command(bgapi::kClassAttributeClient, bgapi::kAttributeWrite,
                                              {0x00, 0x1A, 0x00, 0x02, 0x01, 0x00});
// GAP connect direct: address (6 bytes, least significant first, filled in), public address
// type, connection interval 60..76 (75..95 ms), supervision time-out 100 (1 s), slave latency 0.
constexpr auto kConnectDirect = command(
    bgapi::kClassGap, bgapi::kConnectDirect,
    {0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x3C, 0x00, 0x4C, 0x00, 0x64, 0x00, 0x00, 0x00});
constexpr std::size_t kConnectDirectAddressOffset = bgapi::kHeaderSize;
// System reset to normal start (not the firmware-update loader).
constexpr auto kSystemReset = command(bgapi::kClassSystem, bgapi::kReset, {bgapi::kBootNormal});
// Connection disconnect, connection 0.
constexpr auto kDisconnect = command(bgapi::kClassConnection, bgapi::kDisconnect, {0x00});
// GAP end procedure (stops discovery).
constexpr auto kGapEndProcedure = command(bgapi::kClassGap, bgapi::kEndProcedure);
// System get connections: how many connections the dongle holds.
constexpr auto kGetConnections = command(bgapi::kClassSystem, bgapi::kGetConnections);
// Where the attribute writes and the disconnect name their connection.
constexpr std::size_t kConnectionOffset = bgapi::kHeaderSize;
}  // namespace bgapicmd

// Writes one command packet per call, in a single write, then appends its trace line. A failing
// write throws kelvaro::Error out of the call and leaves no trace line. Nothing is queued or
// retried: whoever needs the answer watches LinkState.
class CommandSender {
 public:
  CommandSender(SerialTransport& port, ConsoleLog& console, LinkState& link);

  // "StartGapDiscover" (startDiscoveryClicked): clears discoverAnswered, then writes. "Write1".
  void sendDiscover();
  // Attribute write to handle 28. "Write2".
  void sendSet1();
  // Notifications on (handle 26). "Write3".
  void sendSet2();
  // Connects to the belt whose DeviceId (12 hexadecimal digits, most significant byte first)
  // begins deviceId. Another text sends nothing and says "ConnectDirect: bad device ID". "Write4".
  void sendConnectDirect(const QString& deviceId);
  // System reset to normal start. "Write5".
  void sendReset();
  // Disconnects connection 0. "Write6".
  void sendDisconnect();
  // Stops discovery (stopDiscoveryClicked). "Write7".
  void sendEndProcedure();

  // A further belt's commands, on connection `handle`: the same bytes with the handle in place of
  // connection 0, traced as above with the handle appended ("Write2 H=01").
  void sendSet1(std::uint8_t handle);
  void sendSet2(std::uint8_t handle);
  void sendDisconnect(std::uint8_t handle);
  // Asks how many connections the dongle holds. "Write8".
  void sendGetConnections();

 private:
  template <std::size_t N>
  void send(const std::array<std::uint8_t, N>& bytes, const char* trace);
  template <std::size_t N>
  void sendOn(std::uint8_t handle, std::array<std::uint8_t, N> bytes, const char* trace);

  SerialTransport& port_;
  ConsoleLog& console_;
  LinkState& link_;
};

}  // namespace kelvaro
