// The pieces under the EDF+ recording: the signals' ranges, the header read back, and the repair
// of a recording its program never closed.
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <cstdint>

#include <gtest/gtest.h>

#include "base/EventPump.h"
#include "base/TickSource.h"
#include "base/WallClock.h"
#include "edf/EdfLayout.h"
#include "edf/EdfReadBack.h"
#include "edf/EdfRecorder.h"
#include "edf/EdfRepair.h"
#include "edf/EdfSignals.h"
#include "link/Dispatcher.h"
#include "monitor/MonitorCore.h"
#include "platform/AppendFile.h"
#include "support/FakeSerialTransport.h"
#include "support/NotificationPackets.h"

namespace kelvaro {
namespace {

// The header holds a number in 8 characters; the reader computes with what it holds.
std::string headerText(double value) { return QByteArray::number(value, 'g', 12).toStdString(); }

struct RangeCase {
  double slope;
};

class ForceRange : public ::testing::TestWithParam<double> {};

TEST_P(ForceRange, HoldsEveryReadingOfTheBeltAtLessThanACountAndFitsTheHeader) {
  const double k = GetParam();
  const double range = edf::forceRange(k);
  EXPECT_LE(headerText(-range).size(), 8u) << headerText(-range);
  if (k == 0.0) return;
  // A zero anywhere in the belt's span, and a slope up to seven times higher, stay inside.
  EXPECT_GE(range, 65535.0 * 7.0 * std::fabs(k));
  EXPECT_LE(range / edf::kForceDigitalMax, std::fabs(k) / 8.0) << "a step is a fraction of a count";
}

INSTANTIATE_TEST_SUITE_P(Slopes, ForceRange,
                         ::testing::Values(0.5, 1.25, 20.0, 0.001, 0.123456, -0.5, -1.0, 0.0));

TEST(EdfSignals, IntegerSignalsAreStoredAsTheyCome) {
  MeasurementState m;
  m.accelX = -32768;
  m.accelY = 32767;
  m.accelZ = 256;
  m.batteryMillivolts = 4200;
  m.temperatureCentidegrees = 65535;
  m.force1Grams = 1e12;  // beyond any range: the limit
  const auto headers = edf::signalHeaders(Calibration{});
  EXPECT_EQ(edf::digitalValue(headers, edf::kAccelX, m), -32768);
  EXPECT_EQ(edf::digitalValue(headers, edf::kAccelY, m), 32767);
  EXPECT_EQ(edf::digitalValue(headers, edf::kBattery, m), 4200);
  EXPECT_DOUBLE_EQ(edf::physicalValue(headers[edf::kBattery], 4200), 4.2);
  EXPECT_EQ(edf::digitalValue(headers, edf::kTemperature, m), 65535);
  EXPECT_NEAR(edf::physicalValue(headers[edf::kTemperature], 2537), 25.37, 1e-9);
  EXPECT_EQ(edf::digitalValue(headers, edf::kForce1, m), edf::kForceDigitalMax);
}

TEST(EdfLayout, RefusesWhatIsNoHeader) {
  EXPECT_FALSE(edf::parseLayout(QByteArray()));
  EXPECT_FALSE(edf::parseLayout(QByteArray(256, ' ')));
  QByteArray header = QByteArray("0       ").leftJustified(512, ' ');
  header.replace(184, 8, "512     ");
  header.replace(236, 8, "-1      ");
  header.replace(252, 4, "1   ");
  header.replace(256 + 216, 8, "20      ");
  QString why;
  const auto layout = edf::parseLayout(header, &why);
  ASSERT_TRUE(layout) << why.toStdString();
  EXPECT_FALSE(layout->bdf);
  EXPECT_EQ(layout->recordBytes, 40);
  EXPECT_EQ(layout->records, -1);
  EXPECT_EQ(layout->annotationOffset, -1);
  for (const auto& [at, bad] :
       {std::pair{184, "511     "}, std::pair{236, "many    "}, std::pair{252, "0   "},
        std::pair{256 + 216, "0       "}, std::pair{256 + 216, "x       "}}) {
    QByteArray broken = header;
    broken.replace(at, static_cast<int>(std::strlen(bad)), bad);
    EXPECT_FALSE(edf::parseLayout(broken)) << at << " " << bad;
  }
  EXPECT_FALSE(edf::parseLayout(header.left(300))) << "cut short";
}

TEST(EdfLayout, ARecordsTimeListIsRewrittenAndItsEventsKept) {
  QByteArray list(
      "+3.25\x14\x14\x00+3.5\x15"
      "2\x14"
      "Apnea\x14\x00",
      22);
  list.append(QByteArray(114 - list.size(), '\0'));
  const auto retimed = edf::retimedAnnotations(list, 36125000000LL + 2500000);
  ASSERT_TRUE(retimed);
  EXPECT_EQ(retimed->size(), 114);
  EXPECT_EQ(retimed->left(27), QByteArray("+3612.75\x14\x14\x00+3.5\x15"
                                          "2\x14"
                                          "Apnea\x14\x00\x00\x00",
                                          27));
  EXPECT_FALSE(edf::retimedAnnotations(QByteArray(114, '\0'), 0)) << "no time list";
  EXPECT_FALSE(edf::retimedAnnotations(list.left(23), 36125000000LL)) << "no room";
  char out[8];
  EXPECT_TRUE(edf::writeTimeKeeping(10000000, out, sizeof out));
  EXPECT_EQ(QByteArray(out, 8), QByteArray("+1\x14\x14\0\0\0\0", 8));
  EXPECT_FALSE(edf::writeTimeKeeping(123456789, out, sizeof out));
}

// A recording on the core, its file copied while it is written: what a killed program leaves.
class CutRecordingTest : public ::testing::Test {
 protected:
  CutRecordingTest()
      : core(ticks, pump, port, scanView, display),
        recorder(reservation, wall, ticks, EdfRecorder::calibrationsOf(core), core.console()) {
    core.graph().createPoints();
    core.addConsumer(recorder);
    core.measurement().notificationCount = 20;
  }
  QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
  void stream(int count, bool silent = false) {
    for (int i = 0; i < count; ++i) {
      ticks.advance(50);
      testing::RawValues raw;
      raw.ax = static_cast<std::int16_t>(sent++);
      const auto packet = testing::notificationPacket(testing::sensorValue(raw));
      if (!silent) core.feed(packet.data(), packet.size());
    }
  }
  // The recording's bytes as they are now, and `extra` bytes of a record cut short.
  void copyCut(const QString& to, int extra) {
    QFile from(recorder.path());
    ASSERT_TRUE(from.open(QIODevice::ReadOnly));
    QFile cut(to);
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(from.readAll());
    cut.write(QByteArray(extra, '\x5A'));
  }

  QTemporaryDir dir;
  ManualTickSource ticks{5000};
  ManualWallClock wall{QDateTime(QDate(2025, 3, 10), QTime(23, 0, 0))};
  NoEventLoop pump;
  testing::FakeSerialTransport port;
  NullScanView scanView;
  NullMonitorDisplay display;
  MonitorCore core;
  PosixAppendFile reservation;
  EdfRecorder recorder;
  int sent = 0;
};

TEST_F(CutRecordingTest, EveryWholeRecordOfACutFileIsKeptAndEdflibOpensIt) {
  recorder.startRecording(path("night.bdf"));
  stream(101);
  copyCut(path("cut.bdf"), 300);
  EXPECT_EQ(testing::readWithEdflib(path("cut.bdf")).filetype, EDFLIB_FILE_CONTAINS_FORMAT_ERRORS)
      << "its record count is -1";

  const auto outcome = edf::repairRecording(path("cut.bdf"));
  EXPECT_EQ(outcome.result, edf::RepairOutcome::Result::kRepaired);
  EXPECT_EQ(outcome.message, QStringLiteral("Repaired %1: 5 whole data records kept, a record cut "
                                            "short removed")
                                 .arg(path("cut.bdf")));
  const auto file = testing::readWithEdflib(path("cut.bdf"));
  ASSERT_EQ(file.filetype, EDFLIB_FILETYPE_BDFPLUS);
  EXPECT_EQ(file.records, 5);
  ASSERT_EQ(file.signalList[2].physical.size(), 100u);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(file.signalList[2].physical[i], i) << i;

  EXPECT_EQ(edf::repairRecording(path("cut.bdf")).result, edf::RepairOutcome::Result::kNotNeeded);
  EXPECT_EQ(edf::repairRecording(path("night.bdf")).result, edf::RepairOutcome::Result::kBusy)
      << "the recording still being written is left alone";
  recorder.endLogClicked();
  EXPECT_EQ(edf::repairRecording(path("night.bdf")).result, edf::RepairOutcome::Result::kNotNeeded);
}

TEST_F(CutRecordingTest, ACutFileAfterAGapKeepsItsRecordsTimes) {
  core.setReconnect([](const QString&) { return true; });
  core.linkConnected(QStringLiteral("000780008D83"));
  recorder.startRecording(path("night.bdf"));
  stream(60);
  for (int i = 0; i < 90; ++i) {
    stream(1, true);
    if (ticks.tick() % MonitorCore::kLinkCheckMs == 0) core.checkLink();
  }
  stream(45);
  copyCut(path("cut.bdf"), 0);
  EXPECT_EQ(edf::repairRecording(path("cut.bdf")).result, edf::RepairOutcome::Result::kRepaired);
  const auto raw = testing::readBdfBytes(path("cut.bdf"));
  ASSERT_EQ(raw.records, 5);
  EXPECT_EQ(raw.reserved, "BDF+D");
  ASSERT_EQ(raw.recordOnsets.size(), 5u);
  EXPECT_DOUBLE_EQ(raw.recordOnsets[2], 2.0);
  EXPECT_NEAR(raw.recordOnsets[3], 3.0 + 4.5, 1e-6) << "after the 4.5 s without the belt";
  EXPECT_NEAR(raw.recordOnsets[4], 4.0 + 4.5, 1e-6);
  EXPECT_EQ(testing::readWithEdflib(path("cut.bdf")).filetype, EDFLIB_FILE_IS_DISCONTINUOUS)
      << "EDFlib finds nothing wrong with it but its gap";
}

TEST_F(CutRecordingTest, AFolderIsSweptForWhatNeedsRepairAndTheRestIsLeftInSilence) {
  recorder.startRecording(path("night.bdf"));
  stream(45);
  copyCut(path("cut.bdf"), 10);
  QFile empty(path("empty.bdf"));
  ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
  empty.close();
  QFile other(path("notes.edf"));
  ASSERT_TRUE(other.open(QIODevice::WriteOnly));
  other.write("not a recording");
  other.close();
  const QStringList lines = edf::repairRecordingsIn(dir.path());
  EXPECT_EQ(lines, QStringList{QStringLiteral("Repaired %1: 2 whole data records kept, a record "
                                              "cut short removed")
                                   .arg(path("cut.bdf"))})
      << "the recording being written, an empty file and a stranger are left alone";
  recorder.endLogClicked();
  EXPECT_TRUE(edf::repairRecordingsIn(dir.path()).isEmpty());
}

TEST_F(CutRecordingTest, AFileCutBeforeItsFirstRecordIsLeftAsItIs) {
  recorder.startRecording(path("night.bdf"));
  stream(25);
  QFile from(recorder.path());
  ASSERT_TRUE(from.open(QIODevice::ReadOnly));
  const QByteArray bytes = from.readAll();
  QFile cut(path("cut.bdf"));
  ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
  cut.write(bytes.left(3072 + 400));  // the header and most of the first record
  cut.close();
  const auto outcome = edf::repairRecording(path("cut.bdf"));
  EXPECT_EQ(outcome.result, edf::RepairOutcome::Result::kNothingWhole);
  QFile after(path("cut.bdf"));
  ASSERT_TRUE(after.open(QIODevice::ReadOnly));
  EXPECT_EQ(after.size(), 3072 + 400);
}

}  // namespace
}  // namespace kelvaro
