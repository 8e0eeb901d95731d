#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <algorithm>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "base/ConsoleLog.h"
#include "link/Dispatcher.h"
#include "link/LinkState.h"
#include "link/ScanList.h"
#include "support/NotificationPackets.h"

namespace kelvaro {
namespace {

using Bytes = std::vector<std::uint8_t>;

using bgapi::kEvent;
using bgapi::kResponse;

struct RecordingScanView : ScanView {
  QString deviceIdText;
  int rowCount = 1;
  std::map<int, std::pair<QString, QString>> rows;
  int enableCalls = 0;
  bool buttonsEnabled = false;
  int calls = 0;

  void setDeviceIdText(const QString& deviceId) override {
    ++calls;
    deviceIdText = deviceId;
  }
  void setRowCount(int count) override {
    ++calls;
    rowCount = count;
  }
  void setRow(int row, const QString& deviceId, const QString& signal) override {
    ++calls;
    rows[row] = {deviceId, signal};
  }
  void setConnectButtonsEnabled(bool enabled) override {
    ++calls;
    ++enableCalls;
    buttonsEnabled = enabled;
  }
};

struct RecordingMeasurementSink : MeasurementSink {
  std::vector<const BgapiPacket*> received;
  std::vector<int> lengths;
  void handleMeasurementNotification(const BgapiPacket& packet) override {
    received.push_back(&packet);
    lengths.push_back(packet.length);
  }
};

// Shorthand for the tables of flags below.
constexpr LinkAnswer N = LinkAnswer::None;
constexpr LinkAnswer G = LinkAnswer::Good;
constexpr LinkAnswer B = LinkAnswer::Bad;

bool operator==(const LinkState& a, const LinkState& b) {
  return a.connectResult == b.connectResult && a.connectionStatus == b.connectionStatus &&
         a.set1Result == b.set1Result && a.set2Result == b.set2Result &&
         a.discoverAnswered == b.discoverAnswered;
}

class DispatcherTest : public ::testing::Test {
 protected:
  // Writes a packet over the one receive buffer, as the framer does: bytes past the new length
  // keep whatever the previous packets left there.
  void feed(std::uint8_t type, std::uint8_t classId, std::uint8_t id, const Bytes& payload) {
    buffer_.messageType = type;
    buffer_.length = static_cast<std::uint8_t>(payload.size());
    buffer_.classId = classId;
    buffer_.commandId = id;
    std::copy(payload.begin(), payload.end(), buffer_.payload.begin());
    dispatcher_.dispatchPacket(buffer_);
  }

  // A scan response from the address written most significant byte first, as the grid shows it.
  void scan(std::uint8_t signal, const Bytes& msbFirst) {
    Bytes payload{signal, 0x00};
    payload.insert(payload.end(), msbFirst.rbegin(), msbFirst.rend());
    payload.insert(payload.end(), {0x00, 0xFF, 0x03, 0x02, 0x01, 0x06});
    feed(kEvent, 6, 0, payload);
  }

  static Bytes addressOf(int n) {
    return {
        0x00, 0x07, 0x80, 0x00, static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)};
  }

  BgapiPacket buffer_;
  LinkState link_;
  ScanList scanList_;
  ConsoleLog console_;
  RecordingScanView view_;
  RecordingMeasurementSink measurements_;
  Dispatcher dispatcher_{link_, scanList_, console_, view_, measurements_};
};

TEST(ScanListStore, FindsOnlyOnAllSixBytes) {
  ScanList list;
  const DeviceAddress a{1, 2, 3, 4, 5, 6};
  EXPECT_EQ(list.find(a), -1);
  EXPECT_EQ(list.add(a), 0);
  EXPECT_EQ(list.add({1, 2, 3, 4, 5, 7}), 1);
  EXPECT_EQ(list.find({1, 2, 3, 4, 5, 7}), 1);
  EXPECT_EQ(list.find({0, 2, 3, 4, 5, 6}), -1);
  EXPECT_EQ(list.find(a), 0);
  EXPECT_EQ(list.ScanCount(), 2);
  list.clear();
  EXPECT_EQ(list.ScanCount(), 0);
  EXPECT_EQ(list.find(a), -1);
}

TEST_F(DispatcherTest, FirstScanResponseListsDeviceAndEnablesConnectButtons) {
  scan(0xC4, {0x00, 0x07, 0x80, 0x0A, 0x1B, 0x2C});
  EXPECT_EQ(console_.lines(), QStringList{"E60 ScanResp Rssi=-60 Sender=00:07:80:0A:1B:2C"});
  EXPECT_EQ(view_.deviceIdText, "0007800A1B2C");
  EXPECT_EQ(view_.rowCount, 2);
  ASSERT_EQ(view_.rows.count(1), 1u);
  EXPECT_EQ(view_.rows[1], std::make_pair(QString("0007800A1B2C"), QString("-60")));
  EXPECT_TRUE(view_.buttonsEnabled);
  EXPECT_EQ(scanList_.ScanCount(), 1);
  EXPECT_EQ(scanList_.entry(0), (DeviceAddress{0x2C, 0x1B, 0x0A, 0x80, 0x07, 0x00}));
}

TEST_F(DispatcherTest, KnownDeviceOnlyRefreshesItsSignal) {
  scan(0xC4, {0x00, 0x07, 0x80, 0x0A, 0x1B, 0x2C});
  scan(0xB0, {0x00, 0x07, 0x80, 0x0A, 0x1B, 0x2C});
  EXPECT_EQ(scanList_.ScanCount(), 1);
  EXPECT_EQ(view_.rowCount, 2);
  EXPECT_EQ(view_.rows.size(), 1u);
  EXPECT_EQ(view_.rows[1], std::make_pair(QString("0007800A1B2C"), QString("-80")));
  EXPECT_EQ(view_.enableCalls, 1);
  EXPECT_EQ(console_.last(), "E60 ScanResp Rssi=-80 Sender=00:07:80:0A:1B:2C");
}

TEST_F(DispatcherTest, NewDeviceAppendsRowAndFirstKeepsItsPlace) {
  scan(0xB0, {0x00, 0x07, 0x80, 0x0A, 0x1B, 0x2C});
  scan(0xE2, {0x00, 0x07, 0x80, 0x0A, 0x1B, 0x2D});  // stronger, still second
  EXPECT_EQ(scanList_.ScanCount(), 2);
  EXPECT_EQ(view_.rowCount, 3);
  EXPECT_EQ(view_.rows[1], std::make_pair(QString("0007800A1B2C"), QString("-80")));
  EXPECT_EQ(view_.rows[2], std::make_pair(QString("0007800A1B2D"), QString("-30")));
  EXPECT_EQ(view_.deviceIdText, "0007800A1B2D");
  EXPECT_EQ(view_.enableCalls, 1);
}

TEST_F(DispatcherTest, ButtonsAreEnabledAgainAfterTheListWasEmptied) {
  scan(0xC4, {0x00, 0x07, 0x80, 0x0A, 0x1B, 0x2C});
  scanList_.clear();
  view_.rowCount = 1;
  view_.buttonsEnabled = false;
  scan(0xC4, {0x00, 0x07, 0x80, 0x0A, 0x1B, 0x2C});
  EXPECT_TRUE(view_.buttonsEnabled);
  EXPECT_EQ(view_.rowCount, 2);
  EXPECT_EQ(view_.enableCalls, 2);
}

TEST_F(DispatcherTest, SignalIsSignedDecimal) {
  const std::pair<std::uint8_t, const char*> cases[] = {
      {0x00, "0"}, {0x7F, "127"}, {0x80, "-128"}, {0xFF, "-1"}, {0xC4, "-60"}};
  for (const auto& [signal, text] : cases) {
    SCOPED_TRACE(text);
    scan(signal, {0x00, 0x07, 0x80, 0x0A, 0x1B, 0x2C});
    EXPECT_EQ(view_.rows[1].second, text);
    EXPECT_EQ(console_.last(), QString("E60 ScanResp Rssi=%1 Sender=00:07:80:0A:1B:2C").arg(text));
  }
}

TEST_F(DispatcherTest, ListHolds101DevicesAndReportsOverflowOncePerFullList) {
  for (int n = 0; n < ScanList::kCapacity; ++n) scan(0xC4, addressOf(n));
  EXPECT_EQ(scanList_.ScanCount(), 101);
  EXPECT_EQ(view_.rowCount, 102);
  EXPECT_EQ(view_.rows[101].first, "000780000064");
  console_.clear();

  scan(0xC4, addressOf(101));
  EXPECT_EQ(scanList_.ScanCount(), 101);
  EXPECT_EQ(view_.rowCount, 102);
  EXPECT_EQ(view_.rows.size(), 101u);
  EXPECT_EQ(view_.deviceIdText, "000780000065");
  EXPECT_EQ(console_.lines(), (QStringList{"E60 ScanResp Rssi=-60 Sender=00:07:80:00:00:65",
                                           "ScanList full: 101 devices, 000780000065 not listed"}));

  scan(0xC4, addressOf(101));
  scan(0xC4, addressOf(102));
  EXPECT_EQ(console_.count(), 4) << console_.lines().join('\n').toStdString();
  EXPECT_TRUE(console_.last().startsWith("E60 "));

  // A listed device keeps refreshing its row while the list is full.
  scan(0xB0, addressOf(100));
  EXPECT_EQ(view_.rows[101], std::make_pair(QString("000780000064"), QString("-80")));

  scanList_.clear();
  for (int n = 0; n < ScanList::kCapacity; ++n) scan(0xC4, addressOf(n));
  console_.clear();
  scan(0xC4, addressOf(102));
  EXPECT_EQ(console_.last(), "ScanList full: 101 devices, 000780000066 not listed");
}

struct FlagCase {
  const char* name;
  std::uint8_t type, classId, id;
  Bytes payload;
  LinkState before;
  LinkState after;
  const char* line;
};

TEST_F(DispatcherTest, AnswersSetLinkFlagsAndTrace) {
  const LinkState none;
  const LinkState allBad{B, B, B, B, N};
  const FlagCase cases[] = {
      {"status flags 07",
       kEvent,
       3,
       0,
       {0x00, 0x07, 0x2C, 0x1B, 0x0A, 0x80, 0x07, 0x00, 0x00},
       none,
       {N, B, N, N, N},
       "E30 Conn status  Handle=00 Flags=07"},
      {"status flags 05",
       kEvent,
       3,
       0,
       {0x00, 0x05, 0x2C, 0x1B, 0x0A, 0x80, 0x07, 0x00, 0x00},
       none,
       {N, G, N, N, N},
       "E30 Conn status  Handle=00 Flags=05"},
      {"completed handle 1C",
       kEvent,
       4,
       1,
       {0x00, 0x00, 0x00, 0x1C, 0x00},
       none,
       {N, N, G, B, N},
       "E41 Proc completed  Handle=00 Res=0000 Char Handle=1C"},
      {"completed handle 1A",
       kEvent,
       4,
       1,
       {0x00, 0x00, 0x00, 0x1A, 0x00},
       none,
       {N, N, B, G, N},
       "E41 Proc completed  Handle=00 Res=0000 Char Handle=1A"},
      {"completed handle 11C compares low byte",
       kEvent,
       4,
       1,
       {0x00, 0x00, 0x00, 0x1C, 0x01},
       none,
       {N, N, G, B, N},
       "E41 Proc completed  Handle=00 Res=0000 Char Handle=1C"},
      {"completed other handle",
       kEvent,
       4,
       1,
       {0x01, 0x00, 0x00, 0x30, 0x00},
       none,
       {N, N, B, B, N},
       "E41 Proc completed  Handle=01 Res=0000 Char Handle=30"},
      {"completed with error",
       kEvent,
       4,
       1,
       {0x00, 0x86, 0x01, 0x1C, 0x00},
       none,
       none,
       "E41 Proc completed  Handle=00 Res=8601 Char Handle=1C"},
      {"error keeps earlier results",
       kEvent,
       4,
       1,
       {0x00, 0x00, 0x01, 0x1A, 0x00},
       allBad,
       allBad,
       "E41 Proc completed  Handle=00 Res=0001 Char Handle=1A"},
      {"connect accepted",
       kResponse,
       6,
       3,
       {0x00, 0x00, 0x00},
       none,
       {G, N, N, N, N},
       "63 RepConnDir=0000  00"},
      {"connect refused",
       kResponse,
       6,
       3,
       {0x81, 0x01, 0x00},
       none,
       {B, N, N, N, N},
       "63 RepConnDir=8101  00"},
      {"connect high result byte",
       kResponse,
       6,
       3,
       {0x00, 0x02, 0x05},
       none,
       {B, N, N, N, N},
       "63 RepConnDir=0002  05"},
      {"discover ok", kResponse, 6, 2, {0x00, 0x00}, none, {N, N, N, N, G}, "62 RepDisc=0000"},
      {"discover failed still answered",
       kResponse,
       6,
       2,
       {0x81, 0x01},
       none,
       {N, N, N, N, G},
       "62 RepDisc=8101"},
      {"response type bits beside bit 7 ignored",
       0x08,
       6,
       2,
       {0x00, 0x00},
       none,
       {N, N, N, N, G},
       "62 RepDisc=0000"},
      {"end procedure", kResponse, 6, 4, {0x81, 0x01}, allBad, allBad, "64 StopGAP=8101"},
      {"attribute write",
       kResponse,
       4,
       5,
       {0x00, 0x00, 0x00},
       none,
       none,
       "45 repwrite L=3 0000  00"},
      {"attribute write longer",
       kResponse,
       4,
       5,
       {0x01, 0x81, 0x01, 0x77},
       none,
       none,
       "45 repwrite L=4 0181  01"},
      {"disconnected event",
       kEvent,
       3,
       4,
       {0x00, 0x13, 0x02},
       allBad,
       allBad,
       "HD=80 CID=3 CMD=4 L=3  00 13 02"},
      {"hello response", kResponse, 0, 1, {}, none, none, "HD=00 CID=0 CMD=1 L=0 "},
      {"status as a response is not the event",
       kResponse,
       3,
       0,
       {0x00, 0x05},
       none,
       none,
       "HD=00 CID=3 CMD=0 L=2  00 05"},
      {"connect direct as an event is not the response",
       kEvent,
       6,
       3,
       {0x00, 0x00, 0x00},
       none,
       none,
       "HD=80 CID=6 CMD=3 L=3  00 00 00"},
      {"unknown event keeps all type bits",
       0x88,
       0xC8,
       0xFF,
       {0xAB},
       none,
       none,
       "HD=88 CID=200 CMD=255 L=1  AB"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    link_ = c.before;
    console_.clear();
    feed(c.type, c.classId, c.id, c.payload);
    EXPECT_TRUE(link_ == c.after);
    EXPECT_EQ(console_.lines(), QStringList{c.line});
  }
  EXPECT_EQ(view_.calls, 0);
  EXPECT_TRUE(measurements_.received.empty());
}

TEST_F(DispatcherTest, BootEventGetsGenericTrace) {
  feed(kEvent, 0, 0, {0x01, 0x00, 0x03, 0x00, 0x00, 0x00, 0x6B, 0x00, 0x03, 0x00, 0x03, 0x01});
  EXPECT_EQ(console_.lines(),
            QStringList{"HD=80 CID=0 CMD=0 L=12  01 00 03 00 00 00 6B 00 03 00 03 01"});
}

TEST_F(DispatcherTest, GenericTraceOfLongestPacket) {
  Bytes payload(255);
  for (int i = 0; i < 255; ++i) payload[i] = static_cast<std::uint8_t>(i);
  feed(kEvent, 9, 9, payload);
  const QString line = console_.last();
  EXPECT_TRUE(line.startsWith("HD=80 CID=9 CMD=9 L=255  00 01 02"));
  EXPECT_TRUE(line.endsWith(" FD FE"));
  EXPECT_EQ(line.size(), QString("HD=80 CID=9 CMD=9 L=255 ").size() + 3 * 255);
}

TEST_F(DispatcherTest, AttributeValueEventGoesToMeasurementsWithoutTrace) {
  const testing::SensorValue value = testing::sensorValue({});
  feed(kEvent, 4, 5, testing::attributeValuePayload(value.data(), value.size(), 0, 0x0025));
  feed(0xC0, 4, 5, {0x00, 0x25, 0x00, 0x01, 0x02, 0xAA, 0xBB});  // short values: the sink decides
  feed(kEvent, 4, 5, {});
  EXPECT_EQ(console_.count(), 0);
  ASSERT_EQ(measurements_.received.size(), 3u);
  EXPECT_EQ(measurements_.received[0], &buffer_);  // read in place, not copied
  EXPECT_EQ(measurements_.lengths, (std::vector<int>{21, 7, 0}));
  EXPECT_TRUE(link_ == LinkState{});
  EXPECT_EQ(view_.calls, 0);
}

struct ShortCase {
  const char* name;
  std::uint8_t type, classId, id;
  Bytes full;  // a valid payload, left in the buffer by an earlier long packet
  int cut;     // the short packet keeps only this many bytes of it
  const char* line;
};

TEST_F(DispatcherTest, ShortPacketsAreNotDecodedFromStaleBytes) {
  const ShortCase cases[] = {
      {"status", kEvent, 3, 0, {0x00, 0x05}, 1, "HD=80 CID=3 CMD=0 L=1  00"},
      {"completed",
       kEvent,
       4,
       1,
       {0x00, 0x00, 0x00, 0x1C, 0x00},
       3,
       "HD=80 CID=4 CMD=1 L=3  00 00 00"},
      {"scan response",
       kEvent,
       6,
       0,
       {0xC4, 0x00, 0x2C, 0x1B, 0x0A, 0x80, 0x07, 0x00, 0x00},
       7,
       "HD=80 CID=6 CMD=0 L=7  C4 00 2C 1B 0A 80 07"},
      {"connect direct", kResponse, 6, 3, {0x00, 0x00, 0x00}, 2, "HD=00 CID=6 CMD=3 L=2  00 00"},
      {"end procedure", kResponse, 6, 4, {0x00, 0x00}, 1, "HD=00 CID=6 CMD=4 L=1  00"},
      {"discover", kResponse, 6, 2, {0x00, 0x00}, 0, "HD=00 CID=6 CMD=2 L=0 "},
      {"attribute write", kResponse, 4, 5, {0x00, 0x00, 0x00}, 2, "HD=00 CID=4 CMD=5 L=2  00 00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes filler = c.full;
    filler.resize(40, 0x00);
    feed(kEvent, 0x7E, 0x7E, filler);  // unknown packet: only fills the buffer
    link_ = LinkState{};
    console_.clear();
    feed(c.type, c.classId, c.id, Bytes(c.full.begin(), c.full.begin() + c.cut));
    EXPECT_EQ(console_.lines(), QStringList{c.line});
    EXPECT_TRUE(link_ == LinkState{});
  }
  EXPECT_EQ(scanList_.ScanCount(), 0);
  EXPECT_EQ(view_.calls, 0);
  EXPECT_TRUE(measurements_.received.empty());
}

}  // namespace
}  // namespace kelvaro
