#include "link/RxFramer.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <algorithm>
#include <iostream>
#include <numeric>

#include "base/ConsoleLog.h"
#include "base/Errors.h"
#include "base/TickSource.h"
#include "link/FramerTestSupport.h"

namespace kelvaro {
namespace {

using testing::fromBytes;
using testing::hexBytes;
using testing::Received;
using testing::RecordingSink;

class FramerTest : public ::testing::Test {
 protected:
  void feed(const std::vector<std::uint8_t>& bytes) {
    for (const std::uint8_t b : bytes) framer.FeedRxByte(b);
  }
  void feed(const char* hex) { feed(hexBytes(hex)); }

  ManualTickSource ticks{100000};
  ConsoleLog console;
  RecordingSink sink;
  RxFramer framer{ticks, console, sink};
};

TEST_F(FramerTest, DispatchesResponseFedWithoutGaps) {
  feed("00 02 06 02 00 00");

  ASSERT_EQ(sink.packets.size(), 1u);
  EXPECT_EQ(sink.packets[0], fromBytes(hexBytes("00 02 06 02 00 00")));
  EXPECT_EQ(framer.rxState(), rxstate::kMessageType);
  EXPECT_TRUE(console.lines().isEmpty());
}

TEST_F(FramerTest, AssemblesPacketInPlaceAndCountsPayload) {
  feed("80 05 04 01 00 00");
  EXPECT_EQ(framer.rxState(), rxstate::kPayload);
  EXPECT_EQ(framer.payloadIndex(), 2);
  EXPECT_EQ(framer.packet().classId, 4);
  EXPECT_EQ(framer.packet().length, 5);
  EXPECT_EQ(framer.lastByteTick(), 100000u);
  feed("00 1C 00");
  ASSERT_EQ(sink.packets.size(), 1u);
  EXPECT_EQ(sink.packets[0], fromBytes(hexBytes("80 05 04 01 00 00 00 1C 00")));
}

TEST_F(FramerTest, GapInsidePacketLogsTimeoutAndDropsPartialPacket) {
  feed("00 02 06");
  ticks.advance(600);
  feed("02 00 00");

  EXPECT_EQ(console.lines(), QStringList{"Timeout"});
  EXPECT_TRUE(sink.packets.empty());
  EXPECT_EQ(framer.timeouts(), 1u);
  // 02 cannot start a packet and is dropped; 00 00 are the type and length of the next one.
  EXPECT_EQ(framer.droppedBytes(), 1u);
  EXPECT_EQ(framer.rxState(), rxstate::kClassId);

  feed("00 01");
  ASSERT_EQ(sink.packets.size(), 1u);
  EXPECT_EQ(sink.packets[0], fromBytes(hexBytes("00 00 00 01")));
  EXPECT_EQ(console.lines(), (QStringList{"Timeout", "Resync: 1 bytes dropped"}));
}

struct GapCase {
  std::uint32_t start;
  std::uint32_t gap;
  bool timesOut;
};

class FramerGapTest : public FramerTest, public ::testing::WithParamInterface<GapCase> {};

TEST_P(FramerGapTest, TimesOutOnlyAfterMoreThan550Ms) {
  const GapCase c = GetParam();
  ticks.set(c.start);
  feed("00 02 06");
  ticks.advance(c.gap);
  feed("02 00 00");

  if (c.timesOut) {
    EXPECT_EQ(console.lines(), QStringList{"Timeout"});
    EXPECT_TRUE(sink.packets.empty());
  } else {
    EXPECT_TRUE(console.lines().isEmpty());
    ASSERT_EQ(sink.packets.size(), 1u);
    EXPECT_EQ(sink.packets[0], fromBytes(hexBytes("00 02 06 02 00 00")));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Boundaries, FramerGapTest,
    ::testing::Values(GapCase{1000, 550, false}, GapCase{1000, 551, true},
                      GapCase{0x80000000u - 200, 550, false},  // above 2^31 after the gap
                      GapCase{0x80000000u - 200, 551, true}, GapCase{0xF0000000u, 550, false},
                      GapCase{0xF0000000u, 551, true},
                      GapCase{0xFFFFFF00u, 550, false},  // across the wrap at 2^32
                      GapCase{0xFFFFFF00u, 551, true}, GapCase{0xFFFFFFFFu, 1, false},
                      GapCase{0xFFFFFFFFu, 0x80000000u, true}));

TEST_F(FramerTest, GapBetweenPacketsLogsNothing) {
  feed("00 02 06 02 00 00");
  ticks.advance(60000);
  feed("00 02 06 02 01 00");

  EXPECT_TRUE(console.lines().isEmpty());
  EXPECT_EQ(sink.packets.size(), 2u);
  EXPECT_EQ(framer.timeouts(), 0u);
}

TEST_F(FramerTest, ZeroLengthPacketIsDispatchedAtItsFourthByte) {
  feed("00 00 00");
  EXPECT_TRUE(sink.packets.empty());
  feed("01");
  ASSERT_EQ(sink.packets.size(), 1u);
  EXPECT_EQ(sink.packets[0], fromBytes(hexBytes("00 00 00 01")));
  EXPECT_EQ(framer.rxState(), rxstate::kMessageType);

  feed("00 02 06 02 00 00");
  ASSERT_EQ(sink.packets.size(), 2u);
  EXPECT_EQ(sink.packets[1], fromBytes(hexBytes("00 02 06 02 00 00")));
}

TEST_F(FramerTest, IgnoresBytesFedDuringDispatch) {
  int dispatches = 0;
  sink.during = [&](const BgapiPacket& p) {
    ++dispatches;
    EXPECT_EQ(framer.rxState(), rxstate::kDispatching);
    ticks.advance(1000);  // even after a long pause the packet being read stays untouched
    for (const std::uint8_t b : hexBytes("00 02 06 02 00 00")) framer.FeedRxByte(b);
    EXPECT_EQ(p.classId, 6);
    EXPECT_EQ(p.commandId, 2);
  };
  feed("00 02 06 02 00 00");

  EXPECT_EQ(dispatches, 1);
  EXPECT_EQ(framer.rxState(), rxstate::kMessageType);
  EXPECT_EQ(framer.droppedBytes(), 0u);
  EXPECT_TRUE(console.lines().isEmpty());
  sink.during = nullptr;
  feed("00 00 00 01");
  EXPECT_EQ(sink.packets.size(), 2u);
}

TEST_F(FramerTest, FailingConsumerLeavesFramerAtStateZero) {
  sink.during = [](const BgapiPacket&) { throw Error("disk full"); };
  EXPECT_THROW(feed("00 02 06 02 00 00"), Error);
  EXPECT_EQ(framer.rxState(), rxstate::kMessageType);

  sink.during = nullptr;
  feed("00 00 00 01");
  ASSERT_EQ(sink.packets.size(), 2u);
  EXPECT_EQ(sink.packets[1], fromBytes(hexBytes("00 00 00 01")));
}

TEST_F(FramerTest, DropsBytesThatCannotStartPacketAndReportsResyncOnce) {
  feed("15 04 05 1B 01 10");
  EXPECT_TRUE(sink.packets.empty());
  EXPECT_EQ(framer.droppedBytes(), 6u);
  EXPECT_TRUE(console.lines().isEmpty());  // nothing is said until the framer locks again

  feed("00 02 06 02 00 00");
  feed("00 02 06 04 00 00");
  ASSERT_EQ(sink.packets.size(), 2u);
  EXPECT_EQ(console.lines(), QStringList{"Resync: 6 bytes dropped"});
  EXPECT_EQ(framer.droppedBytes(), 6u);

  feed("7F");
  feed("00 00 00 01");
  EXPECT_EQ(console.lines(), (QStringList{"Resync: 6 bytes dropped", "Resync: 1 bytes dropped"}));
  EXPECT_EQ(framer.droppedBytes(), 7u);
}

struct HeaderCase {
  const char* header;
  bool possible;
  const char* why;
};

class FramerHeaderTest : public FramerTest, public ::testing::WithParamInterface<HeaderCase> {};

// The header is followed by its payload of 0x11 bytes (never a message type) and four more, so a
// rejected header leaves nothing held and every byte is counted as dropped.
TEST_P(FramerHeaderTest, DispatchesOnlyHeadersTheDongleCanSend) {
  const HeaderCase c = GetParam();
  std::vector<std::uint8_t> bytes = hexBytes(c.header);
  bytes.insert(bytes.end(), bytes[1], 0x11);
  const std::vector<std::uint8_t> packet = bytes;
  if (!c.possible) bytes.insert(bytes.end(), 4, 0x11);
  feed(bytes);

  if (c.possible) {
    ASSERT_EQ(sink.packets.size(), 1u) << c.why;
    EXPECT_EQ(sink.packets[0], fromBytes(packet)) << c.why;
    EXPECT_EQ(framer.droppedBytes(), 0u) << c.why;
  } else {
    EXPECT_TRUE(sink.packets.empty()) << c.why;
    EXPECT_EQ(framer.droppedBytes(), bytes.size()) << c.why;
    EXPECT_EQ(framer.rxState(), rxstate::kMessageType) << c.why;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Table, FramerHeaderTest,
    ::testing::Values(
        HeaderCase{"80 10 03 00", true, "connection status"},
        HeaderCase{"80 05 04 01", true, "procedure completed"},
        HeaderCase{"80 0B 06 00", true, "scan response without advertising data"},
        HeaderCase{"80 2A 06 00", true, "scan response with advertising data"},
        HeaderCase{"80 05 04 05", true, "attribute value, empty value"},
        HeaderCase{"80 FF 04 05", true, "attribute value, longest"},
        HeaderCase{"80 03 03 04", true, "disconnected, unknown to the dispatcher"},
        HeaderCase{"80 0C 00 00", true, "boot"},
        HeaderCase{"80 00 00 05", true, "no license key, an event without payload"},
        HeaderCase{"80 02 06 01", true, "GAP mode changed, unknown to the dispatcher"},
        HeaderCase{"80 04 09 00", true, "firmware-update boot"},
        HeaderCase{"00 03 06 03", true, "connect direct response"},
        HeaderCase{"00 02 06 04", true, "end procedure response"},
        HeaderCase{"00 02 06 02", true, "discover response"},
        HeaderCase{"00 03 04 05", true, "attribute write response"},
        HeaderCase{"00 00 00 01", true, "hello response"},
        HeaderCase{"00 03 03 00", true, "disconnect response"},
        HeaderCase{"00 01 00 06", true, "get connections response"},
        HeaderCase{"00 02 00 06", false, "get connections response one byte long"},
        HeaderCase{"08 02 06 02", false, "technology bits of another radio"},
        HeaderCase{"81 02 06 01", false, "length above 255"},
        HeaderCase{"00 1B 00 01", false, "hello response with a payload"},
        HeaderCase{"00 02 06 05", false, "response to a command never sent"},
        HeaderCase{"00 01 00 00", false, "system reset has no response"},
        HeaderCase{"80 04 04 05", false, "attribute value too short for its value length"},
        HeaderCase{"80 0F 03 00", false, "connection status one byte short"},
        HeaderCase{"80 11 03 00", false, "connection status one byte long"},
        HeaderCase{"80 10 0A 00", false, "class beyond BGAPI"},
        HeaderCase{"80 01 08 00", false, "the test class has no events"},
        HeaderCase{"80 03 04 08", false, "event id beyond its class"}));

TEST_F(FramerTest, RejectedHeaderIsReexaminedFromItsSecondByte) {
  // 80 00 is no event here (class 0x80 does not exist), but the 00 after it starts the hello
  // response: only the first byte may be lost.
  feed("80 00 00 00 01");
  ASSERT_EQ(sink.packets.size(), 1u);
  EXPECT_EQ(sink.packets[0], fromBytes(hexBytes("00 00 00 01")));
  EXPECT_EQ(framer.droppedBytes(), 1u);
  EXPECT_EQ(console.lines(), QStringList{"Resync: 1 bytes dropped"});
}

// How many packets of the stream, counted from the damaged one, are lost or garbled before the
// framer dispatches the original packets again up to the end; -1 when packets before the damage
// went wrong.
int packetsUntilInStep(const std::vector<Received>& original, const std::vector<Received>& got,
                       std::size_t damaged) {
  if (got.size() < damaged ||
      !std::equal(original.begin(), original.begin() + damaged, got.begin())) {
    return -1;
  }
  std::size_t matched = 0;
  while (matched < got.size() - damaged && matched < original.size() - damaged &&
         got[got.size() - 1 - matched] == original[original.size() - 1 - matched]) {
    ++matched;
  }
  return static_cast<int>(original.size() - matched - damaged);
}

struct Distribution {
  double mean = 0;
  int p99 = 0;
  int worst = 0;
  std::size_t runs = 0;
};

Distribution distribution(std::vector<int> counts) {
  Distribution d;
  d.runs = counts.size();
  std::sort(counts.begin(), counts.end());
  d.mean = std::accumulate(counts.begin(), counts.end(), 0.0) / static_cast<double>(counts.size());
  d.p99 = counts[(counts.size() * 99 + 99) / 100 - 1];
  d.worst = counts.back();
  return d;
}

// Damages a recorded notification stream once at every byte position, by the given edit, and
// measures how fast the framer is back in step.
template <typename Edit>
Distribution measureResync(const testing::RecordedStream& stream, std::size_t damagedPackets,
                           std::size_t packetSize, Edit edit) {
  std::vector<int> counts;
  for (std::size_t pos = 0; pos < damagedPackets * packetSize; ++pos) {
    std::vector<std::uint8_t> bytes = stream.bytes;
    edit(bytes, pos);
    ManualTickSource ticks(5000);
    ConsoleLog console;
    RecordingSink sink;
    RxFramer framer(ticks, console, sink);
    for (const std::uint8_t b : bytes) framer.FeedRxByte(b);
    const int n = packetsUntilInStep(stream.packets, sink.packets, pos / packetSize);
    EXPECT_GE(n, 0) << "packets before the damage changed, position " << pos;
    counts.push_back(n);
  }
  return distribution(counts);
}

class FramerResyncTest : public ::testing::Test {
 protected:
  static constexpr std::size_t kPackets = 200;
  static constexpr std::size_t kDamaged = 180;  // leaves 20 packets to show the framer in step
  static constexpr std::size_t kPacketSize = 25;
  testing::RecordedStream stream = testing::notificationStream(kPackets);
};

TEST_F(FramerResyncTest, StreamHasValueBytesThatLookLikeMessageTypes) {
  std::size_t zeros = 0;
  std::size_t eighties = 0;
  for (const Received& p : stream.packets) {
    zeros += static_cast<std::size_t>(std::count(p.payload.begin() + 5, p.payload.end(), 0x00));
    eighties += static_cast<std::size_t>(std::count(p.payload.begin() + 5, p.payload.end(), 0x80));
  }
  EXPECT_GE(zeros, 100u);
  EXPECT_GE(eighties, 10u);
}

TEST_F(FramerResyncTest, BackInStepWithinThreePacketsAfterLostByte) {
  const Distribution d = measureResync(
      stream, kDamaged, kPacketSize,
      [](std::vector<std::uint8_t>& bytes, std::size_t pos) { bytes.erase(bytes.begin() + pos); });
  std::cout << "lost byte at " << d.runs << " positions: packets until in step mean " << d.mean
            << ", 99th percentile " << d.p99 << ", worst " << d.worst << "\n";
  RecordProperty("mean", std::to_string(d.mean));
  RecordProperty("p99", d.p99);
  RecordProperty("worst", d.worst);
  EXPECT_LE(d.p99, 3);
}

TEST_F(FramerResyncTest, BackInStepWithinThreePacketsAfterSurplusByte) {
  const Distribution d = measureResync(stream, kDamaged, kPacketSize,
                                       [](std::vector<std::uint8_t>& bytes, std::size_t pos) {
                                         bytes.insert(bytes.begin() + pos, bytes[pos]);
                                       });
  std::cout << "doubled byte at " << d.runs << " positions: packets until in step mean " << d.mean
            << ", 99th percentile " << d.p99 << ", worst " << d.worst << "\n";
  EXPECT_LE(d.p99, 3);
}

}  // namespace
}  // namespace kelvaro
