// The recorded belt: a capture of a run on the simulated dongle read back as a belt, and the
// dongle that plays it: the same notifications, byte for byte, with their spacing, the lost link
// where the capture had it, the pace, the loop and the end.
#include <QFile>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "capture/CaptureFormat.h"
#include "capture/CaptureReader.h"
#include "link/BgapiProtocol.h"
#include "sim/BeltPlayback.h"
#include "sim/RecordedBelt.h"
#include "sim/SimDongle.h"
#include "sim/SimTestSupport.h"

namespace kelvaro {
namespace {

using capture::Direction;
using simtest::Frame;
using simtest::hex;

struct TimedFrame {
  std::uint32_t ms;
  Frame frame;
};

// A host on a millisecond clock that talks to a dongle as the monitor does, keeps every frame
// with the time it arrived, and can write what passed into a capture.
class Host {
 public:
  explicit Host(const SimOptions& options) : dongle(options) { dongle.advanceTo(now); }

  void send(const char* command) { send(hex(command)); }
  void send(const QByteArray& bytes) {
    dongle.receive(bytes);
    record(Direction::Sent, bytes);
  }
  void run(std::uint32_t ms) {
    for (; ms > 0; --ms) {
      ++now;
      dongle.advanceTo(now);
      const QByteArray out = dongle.takeOutput();
      if (out.isEmpty()) continue;
      record(Direction::Received, out);
      splitter.feed(out);
      for (Frame& f : splitter.frames) frames.push_back({now - start, f});
      splitter.frames.clear();
    }
  }
  // Connect direct, Set1 and Set2 as the connection procedure sends them.
  void connect(const QString& deviceId) {
    send(simtest::connectCommand(deviceId));
    run(300);
    send(simtest::kSet1);
    run(200);
    send(simtest::kSet2);
  }
  // What the host received of one kind, from frame `from` on.
  std::vector<TimedFrame> received(int classId, int id, std::size_t from = 0) const {
    std::vector<TimedFrame> out;
    for (std::size_t i = from; i < frames.size(); ++i) {
      if (frames[i].frame.is(true, classId, id)) out.push_back(frames[i]);
    }
    return out;
  }
  Capture capture() const {
    CaptureHeader header;
    header.program = QStringLiteral("test/1");
    header.start = QDateTime(QDate(2025, 1, 1), QTime(12, 0), Qt::UTC);
    const std::string all = captureHeaderLine(header).toStdString() + lines;
    return parseCapture(all.data(), all.size());
  }

  SimDongle dongle;
  const std::uint32_t start = 5000;
  std::uint32_t now = start;
  simtest::FrameSplitter splitter;
  std::vector<TimedFrame> frames;

 private:
  void record(Direction direction, const QByteArray& bytes) {
    appendCaptureRecord(lines, std::uint64_t(now - start) * 1000, direction, bytes.constData(),
                        std::size_t(bytes.size()));
  }
  std::string lines;
};

QByteArray valueOf(const Frame& f) { return f.payload.mid(1); }

// A run of the simulated belt: a discover, a connection that the belt loses after a second
// (supervision time-out), the reconnect as the monitor makes it, then the user's Disconnect.
class RecordedBeltTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SimOptions options;
    options.faults.linkLossAfterMs = 1000;
    Host original(options);
    belt = original.dongle.beltDeviceId(0);
    original.send(simtest::kDiscover);
    original.run(600);
    original.connect(belt);
    original.run(1500);  // the link is lost meanwhile
    lossAt = original.received(3, 4).at(0).ms;
    original.send(simtest::kDisconnect);
    original.send(simtest::kEndProcedure);
    original.run(400);
    original.connect(belt);
    original.run(450);  // the stream ends before the fault would drop the link again
    original.send(simtest::kDisconnect);
    original.run(100);
    for (const TimedFrame& f : original.received(4, 5)) {
      (f.ms < lossAt ? before : after).push_back(valueOf(f.frame));
    }
    reconnectedAt = original.received(3, 0).at(1).ms;
    capture = original.capture();
    ASSERT_FALSE(capture.damage);
  }

  static SimOptions playing(const Capture& capture, PlaybackPace pace = {}) {
    SimOptions options;
    options.playback.belt = std::make_shared<RecordedBelt>(RecordedBelt::fromCapture(capture));
    options.playback.pace = pace;
    return options;
  }

  QString belt;
  std::uint32_t lossAt = 0, reconnectedAt = 0;
  std::vector<QByteArray> before, after;  // the notifications' values around the loss
  Capture capture;
};

TEST_F(RecordedBeltTest, TheCaptureHoldsTheBeltItsNotificationsAndItsLostLink) {
  const RecordedBelt recorded = RecordedBelt::fromCapture(capture);
  ASSERT_TRUE(recorded.heard());
  EXPECT_EQ(DeviceId(recorded.address()), belt);
  ASSERT_GE(before.size(), 8u);
  ASSERT_GE(after.size(), 6u);
  EXPECT_EQ(recorded.notifications(), before.size() + after.size());
  const auto& events = recorded.events();
  ASSERT_EQ(events.size(), before.size() + after.size() + 1);
  const RecordedBelt::Event& loss = events[before.size()];
  ASSERT_EQ(loss.kind, RecordedBelt::Event::Kind::LinkLoss) << "one loss, the asked-for end none";
  EXPECT_EQ(loss.reason, bgapi::kSupervisionTimeout);
  EXPECT_NEAR(double(loss.awayUs), double(reconnectedAt - lossAt) * 1000, 1000);
  // The belt's clock: 50 ms between notifications; the first one after the reconnect comes as
  // soon after its stream began as the first one did, not after the time the reconnect took.
  for (std::size_t i = 1; i < events.size(); ++i) {
    if (i == before.size() + 1) {
      EXPECT_LT(events[i].afterUs, 100000u) << i;
    } else if (i != before.size()) {
      EXPECT_NEAR(double(events[i].afterUs), 50000, 1500) << i;
    }
  }
  EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(recorded.data(events[0])),
                       qsizetype(events[0].size)),
            before[0]);
  EXPECT_NEAR(double(recorded.durationUs()), double(before.size() + after.size()) * 50000, 120000);
}

TEST_F(RecordedBeltTest, ThePlayedBeltSendsWhatWasCapturedWithItsSpacingAndLosesItsLinkThere) {
  Host replay(playing(capture));
  EXPECT_EQ(replay.dongle.beltDeviceId(0), belt);
  replay.send(simtest::kDiscover);
  replay.run(600);
  QByteArray address = QByteArray::fromHex(belt.toLatin1());
  std::reverse(address.begin(), address.end());
  bool heard = false;
  for (const TimedFrame& f : replay.received(6, 0)) heard |= f.frame.payload.mid(2, 6) == address;
  EXPECT_TRUE(heard) << "the recorded belt advertises";
  replay.send(simtest::kEndProcedure);
  replay.connect(belt);
  replay.run(1500);
  const auto values = replay.received(4, 5);
  const auto lost = replay.received(3, 4);
  ASSERT_EQ(lost.size(), 1u);
  EXPECT_EQ(lost[0].frame.u16(1), bgapi::kSupervisionTimeout);
  ASSERT_EQ(values.size(), before.size());
  for (std::size_t i = 0; i < values.size(); ++i) {
    EXPECT_EQ(valueOf(values[i].frame), before[i]) << i;
    if (i > 0) {
      EXPECT_NEAR(double(values[i].ms - values[i - 1].ms), 50, 2) << i;
    }
  }
  EXPECT_NEAR(double(lost[0].ms - values.back().ms), 0, 52);

  // Out of reach as long as in the capture: a connect meanwhile waits, then is made.
  const std::size_t mark = replay.frames.size();
  replay.send(simtest::kDisconnect);
  replay.send(simtest::kEndProcedure);
  replay.send(simtest::connectCommand(belt));
  replay.run(5000);
  const auto status = replay.received(3, 0, mark);
  ASSERT_EQ(status.size(), 1u);
  EXPECT_NEAR(double(status[0].ms - lost[0].ms), double(reconnectedAt - lossAt),
              SimDongle::kConnectMs + 40);
  replay.send(simtest::kSet1);
  replay.run(200);
  replay.send(simtest::kSet2);
  replay.run(3000);
  const auto rest = replay.received(4, 5, mark);
  ASSERT_EQ(rest.size(), after.size());
  for (std::size_t i = 0; i < rest.size(); ++i) EXPECT_EQ(valueOf(rest[i].frame), after[i]) << i;

  // The end: the belt goes out of reach for good.
  const auto end = replay.received(3, 4, mark);
  ASSERT_EQ(end.size(), 1u);
  EXPECT_EQ(end[0].frame.u16(1), bgapi::kSupervisionTimeout);
  EXPECT_TRUE(replay.dongle.playbackProgress()->finished);
  EXPECT_TRUE(replay.dongle.beltAway());
  const std::size_t afterEnd = replay.frames.size();
  replay.send(simtest::kDiscover);
  replay.send(simtest::connectCommand(belt));
  replay.run(3000);
  EXPECT_TRUE(replay.received(3, 0, afterEnd).empty()) << "no connection to a belt out of reach";
}

TEST_F(RecordedBeltTest, ThePaceDividesTheSpacingAndFloodSendsAsFastAsTheWireCarries) {
  const struct {
    const char* what;
    PlaybackPace pace;
    double spacingMs;
  } cases[] = {
      {"ten times as fast", {10.0, false, false}, 5.0},
      {"half as fast", {0.5, false, false}, 100.0},
      {"a flood: 25 bytes at 115200 baud", {1.0, true, false}, 2.17},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Host replay(playing(capture, c.pace));
    replay.connect(belt);
    replay.run(static_cast<std::uint32_t>(c.spacingMs * double(before.size()) + 400));
    const auto values = replay.received(4, 5);
    ASSERT_EQ(values.size(), before.size());
    const double spacing = double(values.back().ms - values.front().ms) / double(values.size() - 1);
    EXPECT_NEAR(spacing, c.spacingMs, c.spacingMs * 0.05 + 0.1);
    EXPECT_EQ(valueOf(values.back().frame), before.back());
    EXPECT_EQ(replay.dongle.counters().packetsLost, 0u);
  }
}

TEST_F(RecordedBeltTest, ALoopPlaysTheRecordingAgainInsteadOfEnding) {
  // Only the stream after the reconnect: no lost link in it.
  Host original{SimOptions()};
  original.connect(belt);
  original.run(600);
  const Capture plain = original.capture();
  const std::size_t captured = original.received(4, 5).size();
  ASSERT_GE(captured, 8u);

  Host replay(playing(plain, {1.0, false, true}));
  replay.connect(belt);
  replay.run(static_cast<std::uint32_t>(captured * 50 * 2 + 200));
  const auto values = replay.received(4, 5);
  ASSERT_GE(values.size(), captured * 2);
  for (std::size_t i = 0; i < captured; ++i) {
    EXPECT_EQ(valueOf(values[i + captured].frame), valueOf(values[i].frame)) << i;
  }
  EXPECT_TRUE(replay.received(3, 4).empty());
  EXPECT_FALSE(replay.dongle.playbackProgress()->finished);
}

TEST(RecordedBeltFileTest, AFileThatCannotBePlayedSaysWhyAndADamagedOnePlaysWhatCameBefore) {
  QTemporaryDir dir;
  const auto write = [&dir](const char* name, const QByteArray& content) {
    QFile f(dir.filePath(QString::fromLatin1(name)));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content);
    return f.fileName();
  };
  const QByteArray header =
      "kelvaro-capture 1 program=kelvaro-monitor/3.24 start=2025-03-01T14:02:11.250Z\n";
  // A connection status of belt 000780008D83, and one notification.
  const QByteArray status = "100 < 80 10 03 00 00 05 83 8d 00 80 07 00 00 3c 00 64 00 00 00 ff\n";
  const QByteArray value =
      "200 < 80 15 04 05 00 19 00 01 10 00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e 0f\n";

  const QString missing = dir.filePath(QStringLiteral("missing.capture"));
  RecordedBeltFile file = loadRecordedBelt(missing);
  EXPECT_FALSE(file.belt);
  EXPECT_TRUE(file.error.startsWith(missing + QStringLiteral(": "))) << file.error.toStdString();

  const QString other = write("other.capture", "time;force\n");
  file = loadRecordedBelt(other);
  EXPECT_FALSE(file.belt);
  EXPECT_EQ(file.error, other + QStringLiteral(":1: not a capture: the first line does not begin "
                                               "with \"kelvaro-capture\""));

  const QString empty = write("scan.capture", header + "5 > 00 01 06 02 01\n");
  file = loadRecordedBelt(empty);
  EXPECT_FALSE(file.belt);
  EXPECT_EQ(file.error,
            empty + QStringLiteral(": no belt in the capture (no connection to one was made)"));

  const QString early = write("early.capture", header + "5 > 00 zz\n" + status);
  file = loadRecordedBelt(early);
  EXPECT_FALSE(file.belt);
  EXPECT_TRUE(file.error.startsWith(early + QStringLiteral(":2: bad hex \"zz\"")))
      << file.error.toStdString();

  const QString damaged = write("damaged.capture", header + status + value + "150 < 00\n" + value);
  file = loadRecordedBelt(damaged);
  ASSERT_TRUE(file.belt);
  EXPECT_EQ(file.damage, damaged + QStringLiteral(":4: time goes backwards: 150 after 200 "
                                                  "microseconds"));
  EXPECT_EQ(DeviceId(file.belt->address()), QStringLiteral("000780008D83"));
  EXPECT_EQ(file.belt->notifications(), 1u);
}

}  // namespace
}  // namespace kelvaro
