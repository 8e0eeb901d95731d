// The road of one measurement without painting: a recorded stream of the simulated belt's
// notifications goes through the framer, the dispatcher and the decoder to every consumer on the
// road and the live graph's model, in the headless core. Two cases: the road as at start (every
// optional consumer off) and with every optional consumer the program has switched on (the key
// triggers, an open session with its alarms, a CSV recording, an EDF+ recording into the null
// device, the breathing guide listening to an exercise, the Scratch 3 bridge with no editor, a
// connected Scratch link); and the same with two belts whose notifications interleave, each with
// its own recording, key and alarm.
#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include <cstdint>
#include <vector>

#include "base/EventPump.h"
#include "base/TickSource.h"
#include "base/WallClock.h"
#include "bridge/BeltBridge.h"
#include "edf/EdfRecorder.h"
#include "guide/GuideListener.h"
#include "link/Dispatcher.h"
#include "monitor/MonitorCore.h"
#include "platform/AppendFile.h"
#include "platform/SerialTransport.h"
#include "scratch/SensorUpdate.h"
#include "sim/BeltModel.h"
#include "sim/Scenario.h"
#include "support/AllocationCount.h"
#include "support/NotificationPackets.h"

namespace {

using namespace kelvaro;

// Notifications in the recording: 200 s of the belt, the default timeline's first steps.
constexpr int kRecorded = 4000;

// The simulated belt's notifications as they come off the wire: attribute-value events of the
// measurement handle, one after the other.
// With two belts, the second belt's notifications (connection 1) come between the first's.
std::vector<std::uint8_t> recordedStream(int belts) {
  BeltModel first(1, 0);
  BeltModel second(2, 1);
  const ScenarioTimeline timeline = ScenarioTimeline::standard();
  std::vector<std::uint8_t> stream;
  stream.reserve(std::size_t(kRecorded) * std::size_t(belts) * 25);
  BeltModel::Value value{};
  for (int i = 0; i < kRecorded; ++i) {
    for (int belt = 0; belt < belts; ++belt) {
      (belt == 0 ? first : second).nextValue(timeline, value);
      const std::vector<std::uint8_t> packet = kelvaro::testing::notificationPacket(
          value.data(), value.size(), static_cast<std::uint8_t>(belt));
      stream.insert(stream.end(), packet.begin(), packet.end());
    }
  }
  return stream;
}

// A session that stays open, and alarms that go nowhere: the activity step then runs its
// session rule and raises its alarms at every block.
class OpenSession final : public ActivitySessionControl {
 public:
  bool sessionOpen() const override { return true; }
  void startSession() override {}
  void stopSession() override {}
};

// A Scratch link that is connected to nothing: every frame is built as for the socket, then
// dropped.
class NullScratchLink final : public MeasurementConsumer {
 public:
  void notificationDecoded(const DecodedNotification& n) override {
    const MeasurementState& m = n.state;
    frame_.build(m.accelX, m.accelY, m.accelZ, m.force1Grams, m.force2Grams);
    bytes += frame_.size();
  }
  std::size_t bytes = 0;

 private:
  SensorUpdateFrame frame_;
};

constexpr std::size_t kNotificationBytes = 25;

void runRoad(benchmark::State& state, bool everyConsumer, int belts = 1) {
  const std::vector<std::uint8_t> stream = recordedStream(belts);
  ManualTickSource ticks(1000);
  NoEventLoop pump;
  NullSerialTransport port;
  NullScanView scanView;
  NullMonitorDisplay display;
  MonitorCore core(ticks, pump, port, scanView, display);
  core.graph().createPoints();
  core.measurement().notificationCount = 100;  // past the zeroing: every notification is plotted
  OpenSession session;
  NullActivityAlarm alarm;
  NullScratchLink scratch;
  BeltBridge bridge(core.console(), core);
  NullAppendFile recordFile;
  // The EDF+ file is EDFlib's own; the null device takes its records.
  NullAppendFile edfReservation;
  SystemWallClock wall;
  EdfRecorder edf(edfReservation, wall, ticks, EdfRecorder::calibrationsOf(core), core.console());
  GuideListener guide;
  // A second belt on connection 1, with its own recording and key, attached once every consumer
  // is there to hear it.
  NullAppendFile secondFile;
  const auto attachSecond = [&] {
    core.attachBelt(QStringLiteral("000780001A2B"), 1);
    core.belt(1).measurement.notificationCount = 100;
  };
  if (belts > 1 && !everyConsumer) attachSecond();
  if (everyConsumer) {
    core.recorder().setFile(recordFile);
    core.recorder().startLogClicked();
    edf.startRecording(QStringLiteral("/dev/null"));
    core.addConsumer(edf);
    GuideSettings exercise;
    exercise.minutes = 30;
    guide.start(exercise, ticks.tick());
    core.addConsumer(guide);
    core.addConsumer(bridge);
    core.addConsumer(scratch);
    core.keys().setActive(true);
    core.activity().setSessionControl(&session);
    core.activity().setAlarm(&alarm);
    core.activity().settings().alarmLevel = 50;
    core.activity().settings().sound = true;
    core.activity().settings().mute = true;
  }
  if (everyConsumer && belts > 1) {
    attachSecond();
    core.belt(1).recorder.setFile(secondFile);
    core.belt(1).recorder.startLogClicked();
    core.belt(1).keys.setActive(true);
    core.belt(1).activity.setAlarm(&alarm);
    core.belt(1).activity.settings().alarmLevel = 50;
  }
  // One pass first, so that nothing allocated once (a first console line) is counted.
  core.feed(stream.data(), stream.size());

  long notifications = 0;
  for (auto _ : state) {
    core.feed(stream.data(), stream.size());
    notifications += kRecorded * belts;
  }

  // Allocations, notification by notification (untimed): a block end formats its four texts,
  // every other notification must allocate nothing.
  long blockEnds = 0;
  long atBlockEnds = 0;
  long elsewhere = 0;
  for (std::size_t at = 0; at < stream.size(); at += kNotificationBytes) {
    const long before = allocationCount();
    core.feed(stream.data() + at, kNotificationBytes);
    const long allocated = allocationCount() - before;
    const int belt = static_cast<int>((at / kNotificationBytes) % std::size_t(belts));
    if (core.belt(belt).activity.position() == 0) {
      ++blockEnds;
      atBlockEnds += allocated;
    } else {
      elsewhere += allocated;
    }
  }
  benchmark::DoNotOptimize(core.graph().graphSlot());
  state.SetItemsProcessed(notifications);
  benchmark::DoNotOptimize(scratch.bytes);
  if (everyConsumer && recordFile.bytes() == 0) state.SkipWithError("nothing was recorded");
  if (everyConsumer && guide.forceCount() == 0) state.SkipWithError("the guide heard nothing");
  if (everyConsumer && edf.writer().records() == 0) state.SkipWithError("no EDF+ record");
  if (everyConsumer && belts > 1 && secondFile.bytes() == 0) {
    state.SkipWithError("the second belt recorded nothing");
  }
  if (everyConsumer && belts > 1 && edf.writer().belts() < 2) {
    state.SkipWithError("the EDF+ file lacks the second belt");
  }
  state.counters["edf_records"] = double(edf.writer().records());
  core.removeConsumer(guide);
  core.removeConsumer(edf);
  core.removeConsumer(scratch);
  state.counters["allocs_per_notification"] =
      double(elsewhere) / double(kRecorded * belts - blockEnds);
  state.counters["allocs_per_block_end"] =
      blockEnds > 0 ? double(atBlockEnds) / double(blockEnds) : 0.0;
  state.counters["ns_per_notification"] = benchmark::Counter(
      double(notifications), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_RoadAsAtStart(benchmark::State& state) { runRoad(state, false); }
void BM_RoadEveryConsumer(benchmark::State& state) { runRoad(state, true); }
void BM_RoadTwoBeltsEveryConsumer(benchmark::State& state) { runRoad(state, true, 2); }

BENCHMARK(BM_RoadAsAtStart)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RoadEveryConsumer)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RoadTwoBeltsEveryConsumer)->Unit(benchmark::kMillisecond);

}  // namespace

// The core's timers need an application object, as in the program.
int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
