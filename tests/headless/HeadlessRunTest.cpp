// The unattended recorder in one process: the headless composition on the in-process simulated
// dongle, its clock run fast, into an EDF+ recording read back afterwards; and what its status
// line says and where it writes it.
//
// These recordings are of the simulator's scenarios and faults; the same checks belong on a
// replayed capture of a real belt (an apnea and a lost link) once replays exist.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/EventPump.h"
#include "base/TickSource.h"
#include "base/WallClock.h"
#include "edf/EdfReadBack.h"
#include "headless/HeadlessRun.h"
#include "monitor/MonitorCore.h"
#include "platform/PortCatalog.h"
#include "sim/SimSerialTransport.h"

namespace kelvaro {
namespace {

struct Fault {
  const char* name;
  const char* timeline;
  std::uint32_t linkLossAfterMs;
  std::uint32_t unplugAfterMs;
  std::uint32_t replugAfterMs;
  std::vector<std::string> gapEvents;  // what the file says about the gap, in order
};

void PrintTo(const Fault& f, std::ostream* os) { *os << f.name; }

class HeadlessRecording : public ::testing::TestWithParam<Fault> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder.isValid());
    previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(folder.path()));
  }
  void TearDown() override { QDir::setCurrent(previous); }

  QTemporaryDir folder;
  QString previous;
};

// The simulated belt's wearer breathes, pauses, and breathes again, while its link or its dongle
// fails once: the recording has the apnea with its duration, the gap with the records after it at
// their true time, and the failure's events; the run ends by itself after its duration.
TEST_P(HeadlessRecording, AnApneaAndAFailureOfTheLinkAreInTheRecordingAtTheirTimes) {
  const Fault& fault = GetParam();
  FastTickSource ticks(40);
  QtEventPump pump;
  SimOptions options;
  options.timeline = *ScenarioTimeline::parse(QString::fromLatin1(fault.timeline));
  options.faults.linkLossAfterMs = fault.linkLossAfterMs;
  options.faults.unplugAfterMs = fault.unplugAfterMs;
  options.faults.replugAfterMs = fault.replugAfterMs;
  SimSerialTransport port(ticks, options);
  FixedPortCatalog catalog;
  ManualWallClock wall(QDateTime(QDate(2025, 3, 10), QTime(23, 30, 0)));
  HeadlessEnvironment env;
  env.ticks = &ticks;
  env.pump = &pump;
  env.port = &port;
  env.catalog = &catalog;
  env.clock = &wall;
  int exits = 0;
  env.endProcess = [&exits](int) { ++exits; };
  HeadlessOptions run;
  run.homeDir = folder.path();
  run.forcedPort = QStringLiteral("SIM");
  run.connect = port.dongle().beltDeviceId(0);
  run.record = QStringLiteral("night.bdf");
  run.durationMs = 80000;
  run.program = QStringLiteral("KELVARO monitor 3.24");

  HeadlessRun recorder(env, run);
  int finished = -1;
  QObject::connect(&recorder, &HeadlessRun::finished, [&finished](int code) { finished = code; });
  ASSERT_TRUE(recorder.start());
  QElapsedTimer real;
  real.start();
  while (finished < 0 && real.elapsed() < 20000) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  }
  ASSERT_EQ(finished, 0) << "ended by its duration";
  EXPECT_EQ(exits, 0);
  const QStringList& console = recorder.core().console().lines();

  EXPECT_EQ(testing::readWithEdflib(folder.filePath(QStringLiteral("night.bdf"))).filetype,
            EDFLIB_FILE_IS_DISCONTINUOUS);
  const auto raw = testing::readBdfBytes(folder.filePath(QStringLiteral("night.bdf")));
  ASSERT_TRUE(raw.valid);
  EXPECT_EQ(raw.reserved, "BDF+D");
  // Records a second apart, except once: the gap, after which they start at their true time.
  int gaps = 0;
  double gap = 0.0;
  for (std::size_t r = 1; r < raw.recordOnsets.size(); ++r) {
    const double step = raw.recordOnsets[r] - raw.recordOnsets[r - 1];
    EXPECT_GE(step, 1.0 - 1e-6);
    if (step > 1.0 + 1e-6) {
      ++gaps;
      gap = step;
    }
  }
  EXPECT_EQ(gaps, 1);
  EXPECT_GT(gap, 1.5) << "the reconnection takes its time";
  EXPECT_LE(raw.records, 80 - static_cast<long long>(gap) + 1);
  EXPECT_GE(raw.records, 80 - static_cast<long long>(gap) - 3);

  std::vector<std::string> texts;
  double apnea = -1.0;
  for (const auto& a : raw.annotations) {
    texts.push_back(a.text);
    if (a.text == "Apnea") {
      apnea = a.durationSeconds;
      // The breathing stopped 15 s into the belt's timeline, a little before the first sample.
      EXPECT_NEAR(a.onsetSeconds - raw.recordOnsets[0], 13.0, 3.0);
    }
  }
  EXPECT_EQ(texts.front(), "Recording start");
  EXPECT_EQ(texts.back(), "Recording stop");
  // The scenario's pause of 20 s, from the last breath's peak before it to the first breath seen
  // after it: up to a breath longer on either side.
  EXPECT_GT(apnea, 20.0);
  EXPECT_LT(apnea, 29.0);
  std::vector<std::string> gapEvents;
  for (const auto& t : texts) {
    if (t.rfind("Link", 0) == 0 || t.rfind("Dongle", 0) == 0) gapEvents.push_back(t);
  }
  EXPECT_EQ(gapEvents, fault.gapEvents) << console.join(QLatin1Char('\n')).toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Faults, HeadlessRecording,
    ::testing::Values(Fault{"LinkLost",
                            "breathing:15,apnea:20,breathing",
                            50000,
                            0,
                            0,
                            {"Link lost: supervision time-out (0x0208)", "Link back"}},
                      Fault{"DongleGone",
                            "breathing:15,apnea:20,breathing",
                            0,
                            50000,
                            4000,
                            {"Dongle gone", "Link lost: no notification for 3 s", "Dongle back",
                             "Link back"}}),
    [](const ::testing::TestParamInfo<Fault>& info) { return std::string(info.param.name); });

TEST(HeadlessStatus, SaysTheTimeTheNotificationsTheRateTheApneasAndTheLink) {
  HeadlessStatus status;
  EXPECT_EQ(status.line(0),
            QStringLiteral("00:00:00  notifications 0  breaths/min ---  apneas 0  link waiting for "
                           "the belt"));
  MeasurementState m;
  NotificationOutcome out;
  BreathUpdate breath;
  breath.ratePerMinute = 14.96;
  status.notificationDecoded(DecodedNotification{m, out, breath, 0, 0});
  const QString id = QStringLiteral("000780008D83");
  status.linkChanged(LinkChange{LinkEvent::Connected, id, QString()});
  status.eventNoted(MonitorEvent{MonitorEventKind::Apnea, QString(), 0, 12000});
  EXPECT_EQ(
      status.line(8 * 3600000 + 61000),
      QStringLiteral("08:01:01  notifications 1  breaths/min 15.0  apneas 1  link connected"));
  status.linkChanged(LinkChange{LinkEvent::Lost, id, QStringLiteral("why")});
  EXPECT_TRUE(status.line(0).endsWith(QStringLiteral("link lost, reconnecting")));
  status.eventNoted(MonitorEvent{MonitorEventKind::DongleGone, QString(), 0, 0});
  EXPECT_TRUE(status.line(0).endsWith(QStringLiteral("link dongle gone")));
  status.eventNoted(MonitorEvent{MonitorEventKind::DongleBack, QString(), 0, 0});
  EXPECT_TRUE(status.line(0).endsWith(QStringLiteral("link lost, reconnecting")));
}

QByteArray written(std::FILE* f) {
  std::fflush(f);
  std::rewind(f);
  QByteArray all;
  char buffer[256];
  while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, f))
    all.append(buffer, qsizetype(n));
  return all;
}

TEST(HeadlessOutput, OnATerminalTheStatusIsRewrittenInPlaceAndConsoleLinesGoAboveIt) {
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  HeadlessOutput out(f, true);
  out.status(QStringLiteral("one"));
  out.status(QStringLiteral("two"));
  out.consoleLine(QStringLiteral("Link lost"));
  out.finish();
  EXPECT_EQ(written(f), QByteArray("\r\x1b[Kone\r\x1b[Ktwo\r\x1b[KLink lost\ntwo\n"));
  std::fclose(f);
}

TEST(HeadlessOutput, ElsewhereEveryStatusIsAPlainLine) {
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  HeadlessOutput out(f, false);
  out.status(QStringLiteral("one"));
  out.consoleLine(QStringLiteral("Link lost"));
  out.status(QStringLiteral("two"));
  out.finish();
  EXPECT_EQ(written(f), QByteArray("one\nLink lost\ntwo\n"));
  std::fclose(f);
}

TEST(FastTickSource, RunsFastButNeverLeaps) {
  FastTickSource clock(1000);
  EXPECT_EQ(clock.speed(), 1000);
  const std::uint32_t start = clock.tick();
  QElapsedTimer real;
  real.start();
  while (real.elapsed() < 20) {
  }
  const std::uint32_t next = clock.tick();
  EXPECT_LE(next - start, FastTickSource::kMaxStepMs) << "a held-up reader sees no leap";
  std::uint32_t last = next;
  for (int i = 0; i < 200; ++i) last = clock.tick();
  EXPECT_GE(last - start, 20000u) << "and the clock catches up";
  EXPECT_EQ(realWaitMs(clock, 50), 1);
  EXPECT_EQ(realWaitMs(clock, 5000), 5);
}

}  // namespace
}  // namespace kelvaro
