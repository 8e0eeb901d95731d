// The live graph's cost per plotted sample: writing the sample, and painting the strips of one
// screen frame into the window's backing store on the offscreen platform. At 20 samples/s every
// sample gets a frame of its own; at 460 samples/s (the wire's limit) about eight samples share
// one 60 Hz frame. The share of one core is the time per sample times the sample rate.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QCoreApplication>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>

#include "measure/LiveGraphModel.h"
#include "support/AllocationCount.h"
#include "widgets/LiveChart.h"

namespace {

using kelvaro::LiveChart;
using kelvaro::livegraph::Axis;
using kelvaro::livegraph::LiveGraphModel;

// A breathing force (about 15 breaths a minute at 20 samples/s), a smaller second force and an
// accelerometer with gravity on z and a little motion.
struct Breathing {
  int i = 0;
  double f1 = 0, f2 = 0, ax = 0, ay = 0, az = 0;
  void next() {
    const double t = 2 * M_PI * i / 80.0;
    f1 = 180 + 120 * std::sin(t) + 8 * std::sin(i * 1.7);
    f2 = 60 + 30 * std::sin(t + 0.6);
    ax = 16 + 3 * std::sin(i * 0.9);
    ay = -16 + 3 * std::cos(i * 1.3);
    az = 256 + 4 * std::sin(i * 0.5);
    ++i;
  }
};

// The chart as the program shows it: 1050 x 600, five series shown, fixed ranges.
void prepare(LiveChart& chart) {
  chart.resize(1050, 600);
  chart.createPoints();
  for (int s : {0, 1, 2, 3, 6}) chart.setSeriesVisible(s, true);
  chart.setAxisMaximum(Axis::Left, 400);
  chart.setAxisMaximum(Axis::Right, 300);
  chart.setAxisMinimum(Axis::Right, -50);
  Breathing b;
  for (int n = 0; n < 501; ++n) {
    b.next();
    chart.plotSample(b.f1, b.f2, b.ax, b.ay, b.az);
    chart.advanceSlot();
    chart.wrapSlot();
  }
}

// The same signal computed ahead, so that the model's cases time the model and not std::sin. Its
// length is no multiple of 501, so every sweep overwrites different values.
struct Sample {
  double f1, f2, ax, ay, az;
};
constexpr std::size_t kTableLength = 2000;
const std::array<Sample, kTableLength>& breathingTable() {
  static const std::array<Sample, kTableLength> table = [] {
    std::array<Sample, kTableLength> t{};
    Breathing b;
    for (Sample& s : t) {
      b.next();
      s = {b.f1, b.f2, b.ax, b.ay, b.az};
    }
    return t;
  }();
  return table;
}

// A force that only sinks (a belt slowly loosening): every overwritten point is the sweep's
// maximum, the worst case for keeping the automatic range current.
const std::array<Sample, kTableLength>& sinkingTable() {
  static const std::array<Sample, kTableLength> table = [] {
    std::array<Sample, kTableLength> t{};
    for (std::size_t i = 0; i < t.size(); ++i) {
      const double f = 10000.0 - static_cast<double>(i);
      t[i] = {f, f / 2, 16, -16, 256 - static_cast<double>(i) / 100};
    }
    return t;
  }();
  return table;
}

void settle(LiveChart& chart) {
  chart.flushRepaint();
  QCoreApplication::processEvents();
}

// The model alone, as the chart drives it: plot, advance, wrap, then both ranges are read.
// Arguments: which axes are automatic (1 left, 2 right, 3 both) and the signal (0 breathing,
// 1 sinking).
void BM_ModelPlot(benchmark::State& state) {
  const auto automatic = state.range(0);
  const auto& table = state.range(1) == 0 ? breathingTable() : sinkingTable();
  LiveGraphModel model;
  model.createPoints();
  model.setAutomatic(Axis::Left, (automatic & 1) != 0);
  model.setAutomatic(Axis::Right, (automatic & 2) != 0);
  std::size_t i = 0;
  long samples = 0;
  const long before = allocationCount();
  for (auto _ : state) {
    const Sample& s = table[i];
    if (++i == table.size()) i = 0;
    model.plotSample(s.f1, s.f2, s.ax, s.ay, s.az);
    model.advanceSlot();
    model.wrapSlot();
    benchmark::DoNotOptimize(model.range(Axis::Left));
    benchmark::DoNotOptimize(model.range(Axis::Right));
    ++samples;
  }
  state.counters["allocs/sample"] = static_cast<double>(allocationCount() - before) / samples;
}
BENCHMARK(BM_ModelPlot)->ArgNames({"automatic", "sinking"})->ArgsProduct({{1, 3}, {0, 1}});

// Plotting alone (no painting): the model write and the strip bookkeeping of the chart.
void BM_ChartPlot(benchmark::State& state) {
  LiveChart chart;
  prepare(chart);
  chart.show();
  settle(chart);
  Breathing b;
  long samples = 0;
  long during = 0;
  for (auto _ : state) {
    const long before = allocationCount();
    b.next();
    chart.plotSample(b.f1, b.f2, b.ax, b.ay, b.az);
    chart.advanceSlot();
    chart.wrapSlot();
    during += allocationCount() - before;
    if (++samples % 8 == 0) {
      state.PauseTiming();
      settle(chart);
      state.ResumeTiming();
    }
  }
  state.counters["allocs/sample"] = static_cast<double>(during) / samples;
}
BENCHMARK(BM_ChartPlot);

// One sample with its share of a frame's strip paint. Argument: samples per frame.
void BM_SampleWithStripPaint(benchmark::State& state) {
  const int perFrame = static_cast<int>(state.range(0));
  LiveChart chart;
  prepare(chart);
  chart.show();
  settle(chart);
  Breathing b;
  long samples = 0;
  const long before = allocationCount();
  for (auto _ : state) {
    b.next();
    chart.plotSample(b.f1, b.f2, b.ax, b.ay, b.az);
    chart.advanceSlot();
    chart.wrapSlot();
    if (++samples % perFrame == 0) settle(chart);
  }
  state.counters["allocs/sample"] = static_cast<double>(allocationCount() - before) / samples;
}
BENCHMARK(BM_SampleWithStripPaint)->Arg(1)->ArgName("samples_per_frame");
BENCHMARK(BM_SampleWithStripPaint)->Arg(8)->ArgName("samples_per_frame");

// A range change: the whole chart, background picture included.
void BM_FullRepaint(benchmark::State& state) {
  LiveChart chart;
  prepare(chart);
  chart.show();
  settle(chart);
  int flip = 0;
  for (auto _ : state) {
    chart.setAxisMaximum(Axis::Left, 400 + (++flip % 2));
    settle(chart);
  }
}
BENCHMARK(BM_FullRepaint);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
