#include "link/RxFramer.h"

#include <QString>
#include <array>
#include <cstddef>

#include "base/ConsoleLog.h"
#include "base/TickSource.h"

namespace kelvaro {

namespace {

using namespace bgapi;

// The message-type bytes this dongle sends: bit 7 tells event from response, the technology
// bits are 0 for Bluetooth LE and the high length bits are 0 because no message reaches 256 bytes.
static_assert((kResponse & kLengthHighBits) == 0 && (kEvent & kLengthHighBits) == 0);
// Every payload length a header taken here can announce fits the receive buffer.
static_assert(kPayloadCapacity >= 0xFF);

// Payload lengths a message can have; min > max marks a class/id pair that does not exist.
struct LengthRange {
  std::uint8_t min;
  std::uint8_t max;
};
constexpr LengthRange kNoSuchMessage{1, 0};
constexpr LengthRange kAnyLength{0, 255};
constexpr LengthRange exactly(std::uint8_t n) { return {n, n}; }
// A message ending in a byte array: the fixed fields, the array's length byte, then its bytes.
constexpr LengthRange fixedThenArray(std::uint8_t fixedPart) {
  return {static_cast<std::uint8_t>(fixedPart + 1), 255};
}

constexpr std::size_t kClassCount = 10;  // BGAPI classes 0 (system) .. 9 (firmware update)
constexpr std::size_t kIdCount = 8;
using MessageTable = std::array<std::array<LengthRange, kIdCount>, kClassCount>;

constexpr MessageTable noMessages() {
  MessageTable table{};
  for (auto& row : table) {
    for (auto& entry : row) entry = kNoSuchMessage;
  }
  return table;
}

// Every event of the dongle's Bluetooth LE stack with its payload length. Whatever the program
// does with it, a real event passes here, so the generic trace still shows unknown ones. A
// catalogue of the whole stack, by number: most of these events are named nowhere else.
constexpr MessageTable kEvents = [] {
  MessageTable t = noMessages();
  t[0][0] = exactly(12);         // system boot
  t[0][1] = fixedThenArray(0);   // system debug
  t[0][2] = exactly(2);          // endpoint watermark rx
  t[0][3] = exactly(2);          // endpoint watermark tx
  t[0][4] = exactly(4);          // script failure
  t[0][5] = exactly(0);          // no license key
  t[0][6] = exactly(2);          // protocol error
  t[0][7] = exactly(1);          // usb enumerated
  t[1][0] = fixedThenArray(2);   // persistent store key
  t[2][0] = fixedThenArray(6);   // local attribute value written
  t[2][1] = exactly(6);          // user read request
  t[2][2] = exactly(3);          // attribute status
  t[3][0] = exactly(16);         // connection status
  t[3][1] = exactly(6);          // version indication
  t[3][2] = fixedThenArray(1);   // feature indication
  t[3][3] = fixedThenArray(1);   // raw rx
  t[3][4] = exactly(3);          // disconnected
  t[4][0] = exactly(3);          // indicated
  t[4][1] = exactly(5);          // procedure completed
  t[4][2] = fixedThenArray(5);   // group found
  t[4][3] = fixedThenArray(6);   // attribute found
  t[4][4] = fixedThenArray(3);   // find information found
  t[4][5] = fixedThenArray(4);   // attribute value (the belt's notifications)
  t[4][6] = fixedThenArray(1);   // read multiple response
  t[5][0] = fixedThenArray(2);   // smp data
  t[5][1] = exactly(3);          // bonding fail
  t[5][2] = exactly(5);          // passkey display
  t[5][3] = exactly(1);          // passkey request
  t[5][4] = exactly(4);          // bond status
  t[6][0] = fixedThenArray(10);  // scan response
  t[6][1] = exactly(2);          // mode changed
  t[7][0] = exactly(7);          // io port status
  t[7][1] = exactly(1);          // soft timer
  t[7][2] = exactly(3);          // adc result
  t[7][3] = kAnyLength;          // later firmware's hardware events: layout not relied on
  t[7][4] = kAnyLength;
  t[9][0] = exactly(4);  // firmware-update boot
  return t;
}();

constexpr bool listed(const MessageTable& table, std::uint8_t classId, std::uint8_t id) {
  return table[classId][id].min <= table[classId][id].max;
}
// The events named in BgapiProtocol.h are in the catalogue at their numbers.
static_assert(listed(kEvents, kClassSystem, kEvtBoot) &&
              listed(kEvents, kClassSystem, kEvtProtocolError) &&
              listed(kEvents, kClassConnection, kEvtConnectionStatus) &&
              listed(kEvents, kClassConnection, kEvtDisconnected) &&
              listed(kEvents, kClassAttributeClient, kEvtProcedureCompleted) &&
              listed(kEvents, kClassAttributeClient, kEvtAttributeValue) &&
              listed(kEvents, kClassGap, kEvtScanResponse));

// A response answers a command, and these are the only commands anyone sends this dongle: the
// program's seven (system reset has no response), the hello of a liveness check and the further
// belts' question for the number of connections.
constexpr MessageTable kResponses = [] {
  MessageTable t = noMessages();
  t[kClassSystem][kHello] = exactly(0);
  t[kClassSystem][kGetConnections] = exactly(1);           // maxconn
  t[kClassConnection][kDisconnect] = exactly(3);           // connection, result
  t[kClassAttributeClient][kAttributeWrite] = exactly(3);  // connection, result
  t[kClassGap][kDiscover] = exactly(2);                    // result
  t[kClassGap][kConnectDirect] = exactly(3);               // result, connection
  t[kClassGap][kEndProcedure] = exactly(2);                // result
  return t;
}();

// The header checks, all about what the dongle cannot send: the message type is 0x00 or 0x80
// (checked byte by byte in state 0), the class/id pair exists for that type in the tables above,
// and the length byte lies in that message's range.
bool isPossibleHeader(const BgapiPacket& p) {
  if (p.classId >= kClassCount || p.commandId >= kIdCount) return false;
  const MessageTable& table = p.isEvent() ? kEvents : kResponses;
  const LengthRange range = table[p.classId][p.commandId];
  return p.length >= range.min && p.length <= range.max;
}

}  // namespace

RxFramer::RxFramer(TickSource& ticks, ConsoleLog& console, PacketSink& sink)
    : ticks_(ticks), console_(console), sink_(sink) {}

void RxFramer::FeedRxByte(std::uint8_t b) {
  const std::uint32_t now = ticks_.tick();
  const std::uint32_t elapsed = now - lastByteTick_;  // unsigned: the tick wrap is harmless
  lastByteTick_ = now;
  // Fed from inside a dispatch: the buffer is being read, so the byte cannot be taken.
  if (RxState == rxstate::kDispatching) return;

  if (elapsed > kInterByteTimeoutMs) {
    if (RxState != rxstate::kMessageType) {
      console_.append(QStringLiteral("Timeout"));
      ++timeouts_;
    }
    RxState = rxstate::kMessageType;
  }

  if (RxState == rxstate::kPayload) {
    packet_.payload[static_cast<std::size_t>(payloadIndex_)] = b;
    ++payloadIndex_;
    if (payloadIndex_ == packet_.length) dispatch();
    return;
  }
  takeHeaderByte(b);
}

void RxFramer::takeHeaderByte(std::uint8_t b) {
  // Bytes waiting to be examined. A rejected header returns its last three bytes here; that
  // happens only at its fourth byte, so held header bytes plus waiting ones never exceed four.
  std::array<std::uint8_t, bgapi::kHeaderSize> waiting{b};
  std::size_t next = 0;
  std::size_t count = 1;

  while (next < count) {
    const std::uint8_t x = waiting[next++];
    switch (RxState) {
      case rxstate::kMessageType:
        if (x != kResponse && x != kEvent) {
          ++droppedBytes_;
          ++droppedSinceDispatch_;
          break;
        }
        packet_.messageType = x;
        RxState = rxstate::kLength;
        break;
      case rxstate::kLength:
        packet_.length = x;
        RxState = rxstate::kClassId;
        break;
      case rxstate::kClassId:
        packet_.classId = x;
        RxState = rxstate::kCommandId;
        break;
      default:  // rxstate::kCommandId
        packet_.commandId = x;
        payloadIndex_ = 0;
        if (!isPossibleHeader(packet_)) {
          // The message type was no packet start; one of the bytes after it may be.
          ++droppedBytes_;
          ++droppedSinceDispatch_;
          RxState = rxstate::kMessageType;
          waiting = {packet_.length, packet_.classId, packet_.commandId};
          next = 0;
          count = 3;
        } else if (packet_.length == 0) {
          dispatch();
        } else {
          RxState = rxstate::kPayload;
        }
        break;
    }
  }
}

void RxFramer::dispatch() {
  if (droppedSinceDispatch_ > 0) {
    console_.append(QStringLiteral("Resync: %1 bytes dropped")
                        .arg(static_cast<qulonglong>(droppedSinceDispatch_)));
    droppedSinceDispatch_ = 0;
  }
  RxState = rxstate::kDispatching;
  // Reception goes on after a failing consumer: the framer is back at state 0 either way.
  struct BackToMessageType {
    std::uint8_t& state;
    ~BackToMessageType() { state = rxstate::kMessageType; }
  } backToMessageType{RxState};
  sink_.dispatchPacket(packet_);
}

}  // namespace kelvaro
