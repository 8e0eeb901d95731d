// The breath detector alone, on the simulated belt's force 1 as the program decodes it: the default
// timeline (breathing, shallow, apnea, moving) at the belt's 20 a second. Reports samples a
// second and heap allocations per sample (there must be none); one case follows the notification
// times of 20 a second, one of a flood, where every sample is 2 ms after the last.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "base/ConsoleLog.h"
#include "breathing/BreathDetector.h"
#include "measure/MeasurementDecoder.h"
#include "measure/MeasurementState.h"
#include "sim/BeltModel.h"
#include "sim/Scenario.h"
#include "support/AllocationCount.h"

namespace {

using namespace kelvaro;

// Samples in the recording: 20 minutes of the belt, the default timeline eight times over.
constexpr int kRecorded = 20 * 60 * 20;

std::vector<double> recordedForce() {
  BeltModel belt(1, 0);
  const ScenarioTimeline timeline = ScenarioTimeline::standard();
  MeasurementState state;
  Calibration calibration;
  ConsoleLog console;
  BeltModel::Value value{};
  std::vector<double> force;
  force.reserve(kRecorded);
  for (int i = 0; i < kRecorded; ++i) {
    belt.nextValue(timeline, value);
    handleMeasurementValue(value.data(), value.size(), state, calibration, {}, console);
    force.push_back(state.force1Grams);
  }
  return force;
}

void runDetector(benchmark::State& state, std::uint32_t stepMs) {
  static const std::vector<double> force = recordedForce();
  BreathDetector detector;
  std::uint32_t tick = 0xFFFF0000u;  // the tick wraps during the run
  std::uint64_t breaths = 0;
  long samples = 0;
  long allocations = 0;
  for (auto _ : state) {
    const long before = allocationCount();
    for (const double f : force) {
      tick += stepMs;
      const BreathUpdate u = detector.addSample(f, tick);
      breaths += u.breath ? 1 : 0;
    }
    allocations += allocationCount() - before;
    samples += kRecorded;
  }
  benchmark::DoNotOptimize(breaths);
  state.SetItemsProcessed(samples);
  state.counters["allocs_per_sample"] = double(allocations) / double(samples);
  state.counters["breaths_per_pass"] = double(breaths) / double(state.iterations());
  state.counters["ns_per_sample"] = benchmark::Counter(
      double(samples), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_BreathDetectorAt20PerSecond(benchmark::State& state) {
  runDetector(state, BeltModel::kSampleMs);
}
void BM_BreathDetectorFlooded(benchmark::State& state) { runDetector(state, 2); }

BENCHMARK(BM_BreathDetectorAt20PerSecond)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BreathDetectorFlooded)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
