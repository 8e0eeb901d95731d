#include <gtest/gtest.h>

#include "base/ConsoleLog.h"
#include "base/Errors.h"
#include "base/TickSource.h"
#include "link/FramerTestSupport.h"
#include "link/RxFramer.h"
#include "link/SerialReceiver.h"
#include "support/FakeSerialTransport.h"

namespace kelvaro {
namespace {

using testing::fromBytes;
using testing::hexBytes;
using testing::RecordingSink;

QByteArray toByteArray(const std::vector<std::uint8_t>& bytes) {
  return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<int>(bytes.size()));
}

class ReceiveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(port.open(QStringLiteral("SIM"), SerialSettings{}));
    QObject::connect(&port, &SerialTransport::readyRead, [this] { readSerialBytes(port, framer); });
  }

  testing::FakeSerialTransport port;
  ManualTickSource ticks{42};
  ConsoleLog console;
  RecordingSink sink;
  RxFramer framer{ticks, console, sink};
};

TEST_F(ReceiveTest, DispatchesTwoPacketsOfOneReceiveEventInOrder) {
  port.injectHex("00 02 06 02 00 00 80 03 03 04 00 13 02");

  ASSERT_EQ(sink.packets.size(), 2u);
  EXPECT_EQ(sink.packets[0], fromBytes(hexBytes("00 02 06 02 00 00")));
  EXPECT_EQ(sink.packets[1], fromBytes(hexBytes("80 03 03 04 00 13 02")));
}

TEST_F(ReceiveTest, PacketSplitOverReceiveEventsIsAssembled) {
  port.injectHex("80 15 04");
  port.injectHex("05 00 1B 00 01 10 00 01 02 01 E8 03 E8 03");
  EXPECT_TRUE(sink.packets.empty());
  port.injectHex("00 00 00 00 00 04 A0 0F");
  ASSERT_EQ(sink.packets.size(), 1u);
  EXPECT_EQ(sink.packets[0].payload.size(), 21u);
}

TEST_F(ReceiveTest, Reads1500WaitingBytesAs1024Then476InOrder) {
  const testing::RecordedStream stream = testing::notificationStream(60);  // 60 x 25 bytes
  ASSERT_EQ(stream.bytes.size(), 1500u);
  port.inject(toByteArray(stream.bytes));

  EXPECT_EQ(port.readRequests, (QList<qint64>{1024, 476}));
  EXPECT_EQ(port.bytesAvailable(), 0);
  EXPECT_EQ(sink.packets, stream.packets);
}

TEST_F(ReceiveTest, FailingConsumerDoesNotStopTheRestOfTheEvent) {
  int calls = 0;
  sink.during = [&calls](const BgapiPacket&) {
    if (++calls == 1) throw Error("cannot write the record");
  };
  EXPECT_THROW(port.injectHex("00 02 06 02 00 00 00 02 06 04 00 00"), Error);

  ASSERT_EQ(sink.packets.size(), 2u);
  EXPECT_EQ(sink.packets[1], fromBytes(hexBytes("00 02 06 04 00 00")));
  EXPECT_EQ(framer.rxState(), rxstate::kMessageType);
}

TEST_F(ReceiveTest, NothingWaitingReadsNothing) {
  readSerialBytes(port, framer);
  EXPECT_TRUE(port.readRequests.isEmpty());
  EXPECT_TRUE(sink.packets.empty());
}

}  // namespace
}  // namespace kelvaro
