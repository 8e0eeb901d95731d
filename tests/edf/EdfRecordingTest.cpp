// The EDF+ recording on the core's road, read back by EDFlib's reader and, where EDFlib refuses
// a discontinuous file, from the file's bytes.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/EventPump.h"
#include "base/TickSource.h"
#include "base/WallClock.h"
#include "edf/EdfReadBack.h"
#include "edf/EdfRecorder.h"
#include "link/Dispatcher.h"
#include "monitor/MonitorCore.h"
#include "platform/AppendFile.h"
#include "support/FakeSerialTransport.h"
#include "support/NotificationPackets.h"

namespace kelvaro {
namespace {

using testing::RawValues;

// What the recorder shows, as a list of calls.
class RecordingView final : public RecorderView {
 public:
  QString fileNameText() const override { return name; }
  void showFileExists() override { calls.push_back("exists"); }
  void showRecording() override { calls.push_back("recording"); }
  void showFirstRow() override { calls.push_back("first sample"); }
  void showStopped() override { calls.push_back("stopped"); }
  void showFailure(const QString& message) override {
    calls.push_back("failure " + message.toStdString());
  }
  QString name = QStringLiteral("File Name");
  std::vector<std::string> calls;
};

// The decoded values of every notification the recording takes, in order, and when the core
// told of each event and change of the link.
class SampleSpy final : public MeasurementConsumer {
 public:
  void notificationDecoded(const DecodedNotification& n) override { states.push_back(n.state); }
  void eventNoted(const MonitorEvent& e) override { events.emplace_back(e.kind, e.tick); }
  void linkChanged(const LinkChange& c) override { links.emplace_back(c.event, ticks.tick()); }
  explicit SampleSpy(const TickSource& clock) : ticks(clock) {}
  std::uint32_t eventTick(MonitorEventKind kind) const {
    for (const auto& [k, t] : events) {
      if (k == kind) return t;
    }
    return 0;
  }
  std::uint32_t linkTick(LinkEvent event) const {
    for (const auto& [e, t] : links) {
      if (e == event) return t;
    }
    return 0;
  }
  const TickSource& ticks;
  std::vector<MeasurementState> states;
  std::vector<std::pair<MonitorEventKind, std::uint32_t>> events;
  std::vector<std::pair<LinkEvent, std::uint32_t>> links;
};

// A belt whose every field moves: forces over most of their span, accelerations both ways,
// battery and temperature taking turns (and held in between).
RawValues movingBelt(int i) {
  RawValues r;
  r.force1 = static_cast<std::uint16_t>((1000 + i * 977) % 65536);
  r.force2 = static_cast<std::uint16_t>((64000 - i * 1231) % 65536);
  r.ax = static_cast<std::int16_t>((i * 2311) % 65536 - 32768);
  r.ay = static_cast<std::int16_t>(-i * 17);
  r.az = static_cast<std::int16_t>(256 + i);
  r.selector = i % 2 == 0 ? 1 : 2;
  r.aux = static_cast<std::uint16_t>(i % 2 == 0 ? 3600 + i * 13 : 2500 + i * 997);
  return r;
}

RawValues stillBelt(int) { return RawValues{}; }

class EdfRecordingTest : public ::testing::Test {
 protected:
  EdfRecordingTest()
      : core(ticks, pump, port, scanView, display),
        recorder(reservation, wall, ticks, EdfRecorder::calibrationsOf(core), core.console()),
        spy(ticks) {
    core.graph().createPoints();
    core.addConsumer(recorder);
    core.addConsumer(spy);
    recorder.setView(&view);
    recorder.setIdentity([] {
      return edf::RecordingIdentity{QStringLiteral("Jan Novak"), QStringLiteral("000780008D83"),
                                    QStringLiteral("KELVARO monitor 3.24")};
    });
    // Past the zeroing: every notification is plotted.
    core.measurement().notificationCount = 20;
  }

  QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }

  void receive(const RawValues& raw) {
    const auto packet = testing::notificationPacket(testing::sensorValue(raw));
    core.feed(packet.data(), packet.size());
  }
  // `count` notifications 50 ms apart, the link looked at as the core's timer does; silent:
  // the time passes without any.
  void stream(int count, bool silent = false, RawValues (*values)(int) = movingBelt) {
    for (int i = 0; i < count; ++i) {
      ticks.advance(50);
      if (!silent) receive(values(sent++));
      if (ticks.tick() % MonitorCore::kLinkCheckMs == 0) core.checkLink();
    }
  }
  // Seconds since the first sample the recording took.
  double since(std::uint32_t tick) const { return (tick - firstTick) / 1000.0; }

  QTemporaryDir dir;
  ManualTickSource ticks{100000};
  ManualWallClock wall{QDateTime(QDate(2025, 3, 10), QTime(22, 15, 30, 250))};
  NoEventLoop pump;
  testing::FakeSerialTransport port;
  NullScanView scanView;
  NullMonitorDisplay display;
  MonitorCore core;
  PosixAppendFile reservation;
  EdfRecorder recorder;
  SampleSpy spy;
  RecordingView view;
  std::uint32_t firstTick = 0;
  int sent = 0;
};

const std::vector<std::string> kLabels = {"Force 1", "Force 2", "Accel X",    "Accel Y",
                                          "Accel Z", "Battery", "Temperature"};
const std::vector<std::string> kUnits = {"g", "g", "", "", "", "V", "degC"};

TEST_F(EdfRecordingTest, EveryNotificationGoesIntoABdfPlusFileThatEdflibReads) {
  core.calibration().k1 = 0.5;
  core.calibration().k2 = 1.25;
  stream(5);
  recorder.startRecording(path("night.bdf"));
  spy.states.clear();
  stream(50);
  ticks.advance(200);
  recorder.endLogClicked();
  EXPECT_EQ(view.calls, (std::vector<std::string>{"recording", "first sample", "stopped"}));

  const auto file = testing::readWithEdflib(path("night.bdf"));
  ASSERT_EQ(file.filetype, EDFLIB_FILETYPE_BDFPLUS);
  EXPECT_EQ(file.records, 2) << "50 samples: two whole seconds; the rest is no record";
  EXPECT_EQ(file.recordDuration, EDFLIB_TIME_DIMENSION);
  EXPECT_EQ(file.patient, "Jan Novak");
  const auto raw = testing::readBdfBytes(path("night.bdf"));
  EXPECT_EQ(raw.patientField, "X X X Jan_Novak");
  EXPECT_EQ(raw.recordingField, "Startdate 10-MAR-2025 X X 000780008D83 KELVARO monitor 3.24");
  EXPECT_EQ(file.equipment, "000780008D83");
  EXPECT_EQ(file.recordingAdditional, "KELVARO monitor 3.24");
  EXPECT_EQ(
      std::vector<int>({file.year, file.month, file.day, file.hour, file.minute, file.second}),
      std::vector<int>({2025, 3, 10, 22, 15, 30}));
  EXPECT_EQ(file.subsecond, 2500000) << "the first sample's millisecond";
  ASSERT_EQ(file.signalList.size(), 7u);
  const double counts[] = {0.5, 1.25, 1, 1, 1, 0.001, 0.01};
  for (std::size_t s = 0; s < 7; ++s) {
    const auto& signal = file.signalList[s];
    EXPECT_EQ(signal.label, kLabels[s]);
    EXPECT_EQ(signal.unit, kUnits[s]);
    EXPECT_EQ(signal.samplesPerRecord, 20);
    ASSERT_EQ(signal.physical.size(), 40u);
    for (std::size_t i = 0; i < 40; ++i) {
      const MeasurementState& m = spy.states[i];
      const double decoded[] = {m.force1Grams,
                                m.force2Grams,
                                double(m.accelX),
                                double(m.accelY),
                                double(m.accelZ),
                                m.batteryMillivolts / 1000.0,
                                m.temperatureCentidegrees / 100.0};
      // Within one count; the integer signals exactly.
      const double tolerance = s < 2 ? counts[s] : 1e-9 + counts[s] * 1e-6;
      EXPECT_NEAR(signal.physical[i], decoded[s], tolerance) << signal.label << " sample " << i;
    }
  }
  ASSERT_EQ(file.annotations.size(), 2u);
  EXPECT_EQ(file.annotations[0].text, "Recording start");
  EXPECT_NEAR(file.annotations[0].onsetSeconds, 0.0, 1e-4);
  EXPECT_EQ(file.annotations[1].text, "Recording stop");
  EXPECT_NEAR(file.annotations[1].onsetSeconds, 49 * 0.05 + 0.2, 1e-4);
}

TEST_F(EdfRecordingTest, TheRunsEventsAreAnnotatedAtTheirTimes) {
  core.activity().settings().alarmLevel = 50;  // every block of a still belt is below it
  stream(1, false, stillBelt);
  recorder.startRecording(path("events.bdf"));
  firstTick = ticks.tick() + 50;
  stream(60, false, stillBelt);
  core.noteEvent(MonitorEventKind::Marker);
  const std::uint32_t marker = ticks.tick();
  stream(7, false, stillBelt);
  core.noteEvent(MonitorEventKind::Marker, QStringLiteral("coughed"));
  const std::uint32_t coughed = ticks.tick();
  stream(13, false, stillBelt);
  core.noteEvent(MonitorEventKind::SessionStart, QStringLiteral("Jan Novak"));
  const std::uint32_t sessionStart = ticks.tick();
  stream(20, false, stillBelt);
  EXPECT_EQ(core.zeroForce(ForceChannel::One), 1000) << "the latest raw reading";
  const std::uint32_t zero1 = ticks.tick();
  stream(3, false, stillBelt);
  core.zeroForce(ForceChannel::Two);
  const std::uint32_t zero2 = ticks.tick();
  stream(17, false, stillBelt);
  core.noteEvent(MonitorEventKind::DongleGone);
  const std::uint32_t gone = ticks.tick();
  stream(20, true);
  core.noteEvent(MonitorEventKind::DongleBack);
  const std::uint32_t back = ticks.tick();
  stream(100, false, stillBelt);
  core.noteEvent(MonitorEventKind::SessionStop, QStringLiteral("Jan Novak"));
  const std::uint32_t sessionStop = ticks.tick();
  recorder.endLogClicked();

  // The dongle's absence is a gap: the file is BDF+D, which EDFlib's reader refuses, having found
  // nothing else wrong with it.
  EXPECT_EQ(testing::readWithEdflib(path("events.bdf")).filetype, EDFLIB_FILE_IS_DISCONTINUOUS);
  const auto raw = testing::readBdfBytes(path("events.bdf"));
  ASSERT_TRUE(raw.valid);
  std::vector<std::pair<std::string, double>> events;
  for (const auto& a : raw.annotations) events.emplace_back(a.text, a.onsetSeconds - 0.25);
  const auto at = [&](const std::string& text) {
    for (const auto& [t, onset] : events) {
      if (t == text) return onset;
    }
    ADD_FAILURE() << "no \"" << text << "\"";
    return -1.0;
  };
  EXPECT_NEAR(at("Recording start"), 0.0, 1e-3);
  EXPECT_NEAR(at("Marker"), since(marker), 1e-3);
  EXPECT_NEAR(at("Marker: coughed"), since(coughed), 1e-3);
  EXPECT_NEAR(at("Session start Jan Novak"), since(sessionStart), 1e-3);
  EXPECT_NEAR(at("Zero force 1"), since(zero1), 1e-3);
  EXPECT_NEAR(at("Zero force 2"), since(zero2), 1e-3);
  EXPECT_NEAR(at("Dongle gone"), since(gone), 1e-3);
  EXPECT_NEAR(at("Dongle back"), since(back), 1e-3);
  EXPECT_NEAR(at("Session stop Jan Novak"), since(sessionStop), 1e-3);
  EXPECT_NEAR(at("Recording stop"), since(sessionStop), 1e-3);
  // A block of 200 plotted samples of the still belt ended below the alarm level.
  ASSERT_NE(spy.eventTick(MonitorEventKind::ActivityAlarm), 0u);
  EXPECT_NEAR(at("Activity alarm"), since(spy.eventTick(MonitorEventKind::ActivityAlarm)), 1e-3);
}

TEST_F(EdfRecordingTest, ALostLinkLeavesAGapAndTheRecordsAfterItStartAtTheirTrueTime) {
  core.setReconnect([](const QString&) { return true; });
  core.linkConnected(QStringLiteral("000780008D83"));
  stream(1);
  recorder.startRecording(path("gap.bdf"));
  firstTick = ticks.tick() + 50;
  stream(110);  // 5.5 s: five whole records, half of one that is not written
  const std::uint32_t lastBefore = ticks.tick();
  stream(90, true);  // silent: lost after 3 s, mended at the attempt 1 s later
  ASSERT_EQ(core.linkGuard().state(), LinkGuard::State::Connected);
  spy.states.clear();
  stream(60);
  recorder.endLogClicked();

  EXPECT_EQ(testing::readWithEdflib(path("gap.bdf")).filetype, EDFLIB_FILE_IS_DISCONTINUOUS);
  const auto raw = testing::readBdfBytes(path("gap.bdf"));
  ASSERT_TRUE(raw.valid);
  EXPECT_EQ(raw.reserved, "BDF+D");
  ASSERT_EQ(raw.records, 8);
  const double firstAfter = since(lastBefore) + 90 * 0.05 + 0.05;
  const std::vector<double> expected = {0, 1, 2, 3, 4, firstAfter, firstAfter + 1, firstAfter + 2};
  ASSERT_EQ(raw.recordOnsets.size(), expected.size());
  for (std::size_t r = 0; r < expected.size(); ++r) {
    EXPECT_NEAR(raw.recordOnsets[r] - 0.25, expected[r], 1e-6) << "record " << r;
  }
  // The records after the gap hold the samples after it, from the first one on: none made up.
  for (std::size_t i = 0; i < 60; ++i) {
    EXPECT_EQ(raw.digital[2][100 + i], spy.states[i].accelX) << "sample " << i;
  }
  std::vector<std::string> texts;
  for (const auto& a : raw.annotations) texts.push_back(a.text);
  EXPECT_EQ(texts,
            (std::vector<std::string>{"Recording start", "Link lost: no notification for 3 s",
                                      "Link back", "Recording stop"}));
  EXPECT_NEAR(raw.annotations[1].onsetSeconds - 0.25, since(spy.linkTick(LinkEvent::Lost)), 1e-3);
  EXPECT_NEAR(raw.annotations[2].onsetSeconds - 0.25, since(spy.linkTick(LinkEvent::Back)), 1e-3);
}

TEST_F(EdfRecordingTest, AnExistingNameIsRefusedAndSoIsASecondStartOnTheSameName) {
  ASSERT_TRUE(QDir::setCurrent(dir.path()));
  view.name = QStringLiteral("taken");
  QFile taken(path("taken.bdf"));
  ASSERT_TRUE(taken.open(QIODevice::WriteOnly));
  taken.write("someone's");
  taken.close();

  recorder.startLogClicked();
  stream(30);
  EXPECT_EQ(view.calls, (std::vector<std::string>{"exists"}));
  EXPECT_EQ(recorder.state(), RecorderState::Idle);
  ASSERT_TRUE(taken.open(QIODevice::ReadOnly));
  EXPECT_EQ(taken.readAll(), QByteArray("someone's"));
  taken.close();

  view.name = QStringLiteral("first");
  view.calls.clear();
  recorder.startLogClicked();
  stream(30);
  recorder.endLogClicked();
  EXPECT_EQ(recorder.path(), QStringLiteral("./first.bdf"));
  const QByteArray written = [&] {
    QFile f(path("first.bdf"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }();
  ASSERT_FALSE(written.isEmpty());

  recorder.startLogClicked();
  stream(30);
  EXPECT_EQ(view.calls,
            (std::vector<std::string>{"recording", "first sample", "stopped", "exists"}));
  QFile again(path("first.bdf"));
  ASSERT_TRUE(again.open(QIODevice::ReadOnly));
  EXPECT_EQ(again.readAll(), written) << "the first recording is left as it was";
}

TEST_F(EdfRecordingTest, ARecordingOfLessThanASecondLeavesNoFile) {
  recorder.startRecording(path("short.bdf"));
  stream(19);
  recorder.endLogClicked();
  EXPECT_FALSE(QFile::exists(path("short.bdf")));
  EXPECT_EQ(core.console().lines().back(),
            QStringLiteral("Recording %1: not a whole second of samples, no file kept")
                .arg(path("short.bdf")));
}

TEST_F(EdfRecordingTest, FourEventsASecondAllFindRoom) {
  recorder.startRecording(path("busy.bdf"));
  stream(1);
  // Recording start, ten markers within three seconds, recording stop: twelve events in three
  // records of four annotation signals.
  for (int i = 0; i < 10; ++i) {
    core.noteEvent(MonitorEventKind::Marker, QString::number(i));
    stream(5);
  }
  stream(9);
  recorder.endLogClicked();
  const auto file = testing::readWithEdflib(path("busy.bdf"));
  ASSERT_EQ(file.filetype, EDFLIB_FILETYPE_BDFPLUS);
  EXPECT_EQ(file.records, 3);
  EXPECT_EQ(file.annotations.size(), 12u);
  EXPECT_EQ(file.annotations[10].text, "Marker: 9");
}

TEST_F(EdfRecordingTest, ALongTextIsCutWhereACharacterEnds) {
  recorder.startRecording(path("text.bdf"));
  stream(1);
  core.noteEvent(MonitorEventKind::Marker,
                 QString::fromUtf8("příliš žluťoučký kůň úpěl ďábelské ódy"));
  stream(20);
  recorder.endLogClicked();
  const auto file = testing::readWithEdflib(path("text.bdf"));
  ASSERT_GE(file.annotations.size(), 2u);
  const QByteArray text = QByteArray::fromStdString(file.annotations[1].text);
  EXPECT_LE(text.size(), 40);
  EXPECT_TRUE(QString::fromUtf8(text).toUtf8() == text) << "valid UTF-8";
  EXPECT_TRUE(text.startsWith(QByteArray("Marker: ") + QString::fromUtf8("příliš").toUtf8()));
}

}  // namespace
}  // namespace kelvaro
