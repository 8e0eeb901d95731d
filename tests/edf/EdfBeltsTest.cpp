// The EDF+ recording of several belts: a set of signals per belt, each with its own belt's values
// only, per-belt events named, belts that come later or go meanwhile.
#include <QTemporaryDir>
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/EventPump.h"
#include "base/TickSource.h"
#include "base/WallClock.h"
#include "edf/EdfReadBack.h"
#include "edf/EdfRecorder.h"
#include "edf/EdfSignals.h"
#include "monitor/MonitorCore.h"
#include "platform/AppendFile.h"
#include "support/FakeSerialTransport.h"
#include "support/NotificationPackets.h"

namespace kelvaro {
namespace {

using testing::RawValues;

// Every decoded notification's values, per belt.
class BeltSpy final : public MeasurementConsumer {
 public:
  void notificationDecoded(const DecodedNotification& n) override {
    if (n.belt >= 0 && n.belt < MonitorCore::kMaxBelts) {
      states[static_cast<std::size_t>(n.belt)].push_back(n.state);
    }
  }
  std::array<std::vector<MeasurementState>, MonitorCore::kMaxBelts> states;
};

// The first belt's accelerations count up from 0, a further belt's from 5000 times its handle:
// each belt's values tell where they came from. Still: forces at their zero, so that every block
// of activity is below the alarm's level.
constexpr int kHandleBase = 5000;

RawValues beltValues(int handle, int i, bool still) {
  RawValues r;
  r.force1 = static_cast<std::uint16_t>(still         ? 1000
                                        : handle == 0 ? 2000 + 10 * i
                                                      : 30000 - 10 * i);
  r.force2 = static_cast<std::uint16_t>(still ? 1000 : handle == 0 ? 1500 : 40000 + i);
  r.ax = static_cast<std::int16_t>(kHandleBase * handle + i);
  r.ay = static_cast<std::int16_t>(handle == 0 ? -i : -20000 - i);
  r.az = static_cast<std::int16_t>(256 + handle);
  r.selector = i % 2 == 0 ? 1 : 2;
  r.aux = static_cast<std::uint16_t>(i % 2 == 0 ? 3700 + handle * 100 : 2100 + handle * 300);
  return r;
}

const std::vector<std::string> kFirstLabels = {"Force 1", "Force 2", "Accel X",    "Accel Y",
                                               "Accel Z", "Battery", "Temperature"};

std::vector<std::string> furtherLabels(const std::string& tag) {
  return {"Force1 " + tag, "Force2 " + tag, "AccelX " + tag, "AccelY " + tag,
          "AccelZ " + tag, "Batt " + tag,   "Temp " + tag};
}

class EdfBeltsTest : public ::testing::Test {
 protected:
  EdfBeltsTest()
      : core(ticks, pump, port, scanView, display),
        recorder(reservation, wall, ticks, EdfRecorder::calibrationsOf(core), core.console()) {
    core.graph().createPoints();
    core.addConsumer(recorder);
    core.addConsumer(spy);
    // Past the zeroing: every notification is plotted.
    core.measurement().notificationCount = 20;
  }

  QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }

  // A further belt on connection `handle`, past its zeroing; named when `name` is given.
  int attach(const char* deviceId, std::uint8_t handle, const char* name = nullptr) {
    const int belt = core.attachBelt(QString::fromLatin1(deviceId), handle);
    if (belt > 0) {
      core.belt(belt).measurement.notificationCount = 20;
      if (name) core.setBeltName(belt, QString::fromUtf8(name));
    }
    return belt;
  }

  void receive(std::uint8_t handle) {
    const int i = sent[handle]++;
    const auto packet =
        testing::notificationPacket(testing::sensorValue(beltValues(handle, i, still)), handle);
    core.feed(packet.data(), packet.size());
  }
  // `count` periods of 50 ms, in each a notification of every belt of `handles` in that order,
  // the link looked at as the core's timer does.
  void stream(int count, std::vector<std::uint8_t> handles) {
    for (int i = 0; i < count; ++i) {
      ticks.advance(50);
      for (const std::uint8_t h : handles) receive(h);
      if (ticks.tick() % MonitorCore::kLinkCheckMs == 0) core.checkLink();
    }
  }

  std::vector<std::string> texts(const testing::RawBdf& raw) const {
    std::vector<std::string> t;
    for (const auto& a : raw.annotations) t.push_back(a.text);
    return t;
  }

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
  BeltSpy spy;
  std::array<int, 256> sent{};
  bool still = false;
};

// The order the two belts' notifications interleave in: the first belt's first or the further
// belt's first in each period.
class TwoBeltsTest : public EdfBeltsTest, public ::testing::WithParamInterface<bool> {};

TEST_P(TwoBeltsTest, EachSetOfSignalsHoldsItsOwnBeltsValuesOnly) {
  const bool firstBeltFirst = GetParam();
  core.calibration().k1 = 0.5;
  ASSERT_EQ(attach("000780001A2B", 1, "Anna"), 1);
  core.belt(1).calibration.k1 = 2.0;
  core.belt(1).calibration.k2 = 0.25;
  const std::vector<std::uint8_t> order =
      firstBeltFirst ? std::vector<std::uint8_t>{0, 1} : std::vector<std::uint8_t>{1, 0};
  stream(3, order);
  recorder.startRecording(path("two.bdf"));
  for (auto& s : spy.states) s.clear();
  // The first belt's sample starts the file; from then on the belts take turns in `order`.
  stream(1, {0, 1});
  stream(59, order);
  recorder.endLogClicked();

  const auto file = testing::readWithEdflib(path("two.bdf"));
  ASSERT_EQ(file.filetype, EDFLIB_FILETYPE_BDFPLUS);
  EXPECT_EQ(file.records, 3);
  ASSERT_EQ(file.signalList.size(), 14u);
  std::vector<std::string> labels;
  for (const auto& s : file.signalList) labels.push_back(s.label);
  std::vector<std::string> expected = kFirstLabels;
  for (const auto& l : furtherLabels("Anna")) expected.push_back(l);
  EXPECT_EQ(labels, expected);
  for (std::size_t s = 0; s < 7; ++s) {
    EXPECT_EQ(file.signalList[s + 7].unit, file.signalList[s].unit) << labels[s];
  }

  // The first belt's signals: its samples exactly as with one belt.
  const auto& first = spy.states[0];
  ASSERT_EQ(file.signalList[0].physical.size(), 60u);
  for (std::size_t i = 0; i < 60; ++i) {
    EXPECT_NEAR(file.signalList[0].physical[i], first[i].force1Grams, 0.5) << i;
    EXPECT_NEAR(file.signalList[2].physical[i], first[i].accelX, 1e-6) << i;
    EXPECT_NEAR(file.signalList[3].physical[i], first[i].accelY, 1e-6) << i;
  }
  // The further belt's: its own samples in their order, each where it came or one sample later
  // (the record written before its belt's sample of the same period came).
  const auto& further = spy.states[1];
  ASSERT_EQ(further.size(), 60u);
  ASSERT_EQ(file.signalList[9].physical.size(), 60u);
  const auto raw = testing::readBdfBytes(path("two.bdf"));
  ASSERT_EQ(raw.digital.size(), 14u);
  for (std::size_t i = 0; i < 60; ++i) {
    const double ax = file.signalList[9].physical[i];
    ASSERT_GE(ax, further[0].accelX) << "sample " << i << " is not the further belt's";
    const auto k = static_cast<std::size_t>(ax - further[0].accelX);
    EXPECT_TRUE(k == i || k + 1 == i) << "sample " << i << " is the belt's " << k;
    ASSERT_LT(k, further.size());
    EXPECT_NEAR(file.signalList[10].physical[i], further[k].accelY, 1e-6) << i;
    EXPECT_NEAR(file.signalList[7].physical[i], further[k].force1Grams, 2.0) << i;
    // Its forces in the range of its own slope.
    EXPECT_NEAR(raw.digital[7][i] * edf::forceRange(2.0) / edf::kForceDigitalMax,
                further[k].force1Grams, 2.0)
        << i;
    EXPECT_NEAR(file.signalList[8].physical[i], further[k].force2Grams, 0.25) << i;
    EXPECT_NEAR(file.signalList[12].physical[i], further[k].batteryMillivolts / 1000.0, 1e-6);
    EXPECT_NEAR(file.signalList[13].physical[i], further[k].temperatureCentidegrees / 100.0, 1e-6);
  }
  // The record written before the further belt's sample of its period came lacks one.
  const QString repeated = QStringLiteral("Recording %1, belt Anna: repeated samples 1, left out 0")
                               .arg(path("two.bdf"));
  EXPECT_EQ(core.console().lines().contains(repeated), firstBeltFirst)
      << core.console().lines().join(QLatin1Char('\n')).toStdString();
}

INSTANTIATE_TEST_SUITE_P(Order, TwoBeltsTest, ::testing::Bool());

TEST_F(EdfBeltsTest, AFurtherBeltsEventsCarryItsNameAndTheRunsAreNotedOnce) {
  core.setBeltReconnect([](int, const QString&) { return false; });
  ASSERT_EQ(attach("000780001A2B", 1, "Anna"), 1);
  core.belt(1).activity.settings().alarmLevel = 50;
  still = true;
  stream(1, {0, 1});
  recorder.startRecording(path("events.bdf"));
  stream(40, {0, 1});
  core.noteEvent(MonitorEventKind::Marker, QStringLiteral("coughed"));
  core.zeroForce(ForceChannel::One, 1);
  core.zeroForce(ForceChannel::Two);
  stream(170, {0, 1});
  // The further belt goes silent: lost after 3 s, while the first belt streams on.
  stream(70, {0});
  ASSERT_EQ(core.belt(1).guard.state(), LinkGuard::State::Lost);
  // Its reconnect made: back, on the same connection.
  ASSERT_EQ(attach("000780001A2B", 1), 1);
  stream(40, {0, 1});
  recorder.endLogClicked();

  const auto raw = testing::readBdfBytes(path("events.bdf"));
  ASSERT_TRUE(raw.valid);
  EXPECT_EQ(raw.reserved, "BDF+C") << "the first belt streamed throughout";
  const auto t = texts(raw);
  const auto count = [&t](const std::string& text) { return std::count(t.begin(), t.end(), text); };
  EXPECT_EQ(count("Recording start"), 1);
  EXPECT_EQ(count("Marker: coughed"), 1);
  EXPECT_EQ(count("Zero force 1 Anna"), 1);
  EXPECT_EQ(count("Zero force 2"), 1) << "the first belt's, as with one belt";
  EXPECT_EQ(count("Activity alarm Anna"), 1) << "a block of 200 plotted samples of belt Anna";
  EXPECT_EQ(count("Link lost Anna: no notification for 3 s"), 1);
  EXPECT_EQ(count("Link back Anna"), 1);
  EXPECT_EQ(count("Recording stop"), 1);
  EXPECT_EQ(count("Zero force 1"), 0);
  EXPECT_EQ(count("Link lost: no notification for 3 s"), 0);
  EXPECT_EQ(std::count_if(t.begin(), t.end(),
                          [](const std::string& s) { return s.find("connected") != s.npos; }),
            0)
      << "a reconnect of a belt in the file is no new belt";
}

TEST_F(EdfBeltsTest, ABeltConnectedAfterTheFileWasCreatedIsNotedOnceAndNotRecorded) {
  recorder.startRecording(path("later.bdf"));
  stream(30, {0});
  // Named after it connected: the core's default name, its DeviceId's last four digits, is what
  // the note gives.
  ASSERT_EQ(attach("00078000ab12", 1), 1);
  stream(30, {0, 1});
  stream(70, {0});  // lost
  ASSERT_EQ(attach("00078000ab12", 1), 1);
  stream(30, {0, 1});
  core.detachBelt(1);
  ASSERT_EQ(attach("000780003C4D", 2, "Bea"), 1) << "another belt, in the same slot";
  stream(30, {0, 2});
  recorder.endLogClicked();

  const auto raw = testing::readBdfBytes(path("later.bdf"));
  ASSERT_TRUE(raw.valid);
  EXPECT_EQ(raw.labels, kFirstLabels) << "the first belt's signals only";
  for (const std::int32_t ax : raw.digital[2]) {
    ASSERT_LT(ax, kHandleBase) << "no further belt's sample";
  }
  EXPECT_EQ(texts(raw),
            (std::vector<std::string>{"Recording start", "Belt AB12 connected (not recorded)",
                                      "Belt 3C4D connected (not recorded)", "Recording stop"}))
      << "Bea was named after the core told its link connected";
}

TEST_F(EdfBeltsTest, ABeltThatGoesKeepsItsSignalsRepeatingItsLastValuesAndGoesOnWhenBack) {
  ASSERT_EQ(attach("000780001A2B", 1, "Anna"), 1);
  ASSERT_EQ(attach("000780005E6F", 2, "Bea"), 2);
  stream(1, {0, 1, 2});
  recorder.startRecording(path("gone.bdf"));
  stream(1, {0, 1, 2});
  stream(29, {1, 2, 0});  // the first belt's last: every record takes each belt's 20
  core.detachBelt(1);
  stream(30, {2, 0});
  // Anna again, on another connection and in another slot; Bea's slot taken meanwhile by Cleo.
  core.detachBelt(2);
  ASSERT_EQ(attach("000780007A8B", 3, "Cleo"), 1);
  ASSERT_EQ(attach("000780001A2B", 4, "Anna"), 2);
  stream(40, {3, 4, 0});
  recorder.endLogClicked();

  const auto raw = testing::readBdfBytes(path("gone.bdf"));
  ASSERT_TRUE(raw.valid);
  ASSERT_EQ(raw.records, 5);
  std::vector<std::string> expected = kFirstLabels;
  for (const auto& l : furtherLabels("Anna")) expected.push_back(l);
  for (const auto& l : furtherLabels("Bea")) expected.push_back(l);
  EXPECT_EQ(raw.labels, expected);
  const std::vector<std::int32_t>& anna = raw.digital[9];
  const std::vector<std::int32_t>& bea = raw.digital[16];
  ASSERT_EQ(anna.size(), 100u);
  for (int i = 0; i < 100; ++i) {
    const auto at = static_cast<std::size_t>(i);
    // Anna: 30 samples (after the one before the start), then her last held until she is back
    // on connection 4 for the last 40.
    const std::int32_t annaWanted = i < 30   ? kHandleBase + 1 + i
                                    : i < 60 ? kHandleBase + 30
                                             : 4 * kHandleBase + i - 60;
    EXPECT_EQ(anna[at], annaWanted) << "Anna's sample " << i;
    // Bea: her 60 samples, then her last held; none of Cleo's.
    const std::int32_t beaWanted = 2 * kHandleBase + (i < 60 ? 1 + i : 60);
    EXPECT_EQ(bea[at], beaWanted) << "Bea's sample " << i;
  }
  const auto t = texts(raw);
  EXPECT_EQ(std::count(t.begin(), t.end(), "Disconnected Anna"), 1);
  EXPECT_EQ(std::count(t.begin(), t.end(), "Disconnected Bea"), 1);
  EXPECT_EQ(std::count(t.begin(), t.end(), "Belt Cleo connected (not recorded)"), 0)
      << "named after the connection: the note has the default name";
  EXPECT_EQ(std::count(t.begin(), t.end(), "Belt 7A8B connected (not recorded)"), 1);
  EXPECT_NE(std::find(core.console().lines().begin(), core.console().lines().end(),
                      QStringLiteral("Recording %1, belt Bea: repeated samples 40, left out 0")
                          .arg(path("gone.bdf"))),
            core.console().lines().end())
      << core.console().lines().join(QLatin1Char('\n')).toStdString();
}

TEST_F(EdfBeltsTest, AGapOfTheFirstBeltIsAGapOfEveryBelt) {
  core.setReconnect([](const QString&) { return true; });
  core.linkConnected(QStringLiteral("000780008D83"));
  ASSERT_EQ(attach("000780001A2B", 1, "Anna"), 1);
  stream(1, {1, 0});
  recorder.startRecording(path("gap.bdf"));
  stream(1, {0, 1});
  stream(39, {1, 0});
  stream(90, {1});  // the first belt silent: lost after 3 s, mended at the attempt 1 s later
  ASSERT_EQ(core.linkGuard().state(), LinkGuard::State::Connected);
  const int annaAfterGap = sent[1];
  stream(1, {0, 1});
  stream(39, {1, 0});
  recorder.endLogClicked();

  const auto raw = testing::readBdfBytes(path("gap.bdf"));
  ASSERT_TRUE(raw.valid);
  EXPECT_EQ(raw.reserved, "BDF+D");
  ASSERT_EQ(raw.records, 4);
  ASSERT_EQ(raw.digital[9].size(), 80u);
  for (std::size_t i = 0; i < 40; ++i) {
    EXPECT_EQ(raw.digital[9][i], kHandleBase + 1 + static_cast<std::int32_t>(i)) << i;
    EXPECT_EQ(raw.digital[9][40 + i], kHandleBase + annaAfterGap + static_cast<std::int32_t>(i))
        << "after the gap, Anna's samples of the same time: " << i;
  }
}

TEST_F(EdfBeltsTest, LabelsStayUniqueWhenNamesCollideOrRunLong) {
  ASSERT_EQ(attach("000780001A2B", 1, "Anna"), 1);
  ASSERT_EQ(attach("000780005E6F", 2, "Anna"), 2);
  ASSERT_EQ(attach("000780007A8B", 3, "Maximiliána Nováková"), 3);
  recorder.startRecording(path("names.bdf"));
  stream(20, {0, 1, 2, 3});
  core.zeroForce(ForceChannel::One, 2);
  stream(20, {0, 1, 2, 3});
  recorder.endLogClicked();

  const auto file = testing::readWithEdflib(path("names.bdf"));
  ASSERT_EQ(file.filetype, EDFLIB_FILETYPE_BDFPLUS);
  std::vector<std::string> labels;
  for (const auto& s : file.signalList) labels.push_back(s.label);
  std::vector<std::string> expected = kFirstLabels;
  for (const char* tag : {"Anna", "Anna#3", "Maximilia"}) {
    for (const auto& l : furtherLabels(tag)) expected.push_back(l);
  }
  EXPECT_EQ(labels, expected);
  std::vector<std::string> t;
  for (const auto& a : file.annotations) t.push_back(a.text);
  EXPECT_NE(std::find(t.begin(), t.end(), "Zero force 1 Anna#3"), t.end())
      << "the event names the belt as its labels do";
}

struct TagCase {
  const char* name;
  int beltNumber;
  std::vector<QByteArray> taken;
  const char* tag;
};

class BeltTagTest : public ::testing::TestWithParam<TagCase> {};

TEST_P(BeltTagTest, TheTagFitsTheLabelAndIsUnlikeTheOthers) {
  const TagCase& c = GetParam();
  const QByteArray tag = edf::beltTag(QString::fromUtf8(c.name), c.beltNumber, c.taken.data(),
                                      static_cast<int>(c.taken.size()));
  EXPECT_EQ(tag.toStdString(), c.tag);
  for (int s = 0; s < edf::kSignalCount; ++s) {
    const QByteArray label = edf::beltLabel(s, tag);
    EXPECT_LE(label.size(), edf::kLabelChars) << label.toStdString();
    EXPECT_TRUE(label.endsWith(' ' + tag)) << label.toStdString();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Names, BeltTagTest,
    ::testing::Values(TagCase{"Anna", 2, {}, "Anna"}, TagCase{"1A2B", 3, {"Anna"}, "1A2B"},
                      TagCase{"Anna", 3, {"Anna"}, "Anna#3"},
                      TagCase{"Anna", 4, {"Anna", "Anna#4"}, "Anna##4"},
                      TagCase{"Žofie Dvořáková", 2, {}, "Zofie_Dvo"},
                      TagCase{"Maximiliana", 4, {"Maximilia"}, "Maximil#4"},
                      TagCase{"", 2, {}, "Belt2"}, TagCase{"", 3, {"Belt3"}, "Belt3#"},
                      TagCase{"Belt2", 3, {"Belt2"}, "Belt2#3"}, TagCase{"\t\n", 2, {}, "__"}));

}  // namespace
}  // namespace kelvaro
