// The breath marks of the live chart against the simulator's truth: the belt's bytes through the
// core's road as the program reads them, the marks read from the live graph's model (what the
// chart draws) until the sweep writes over them, with the test's clock running as fast as it can.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "breathing/BreathTestSupport.h"
#include "monitor/MonitorCore.h"
#include "support/CoreOnSimWire.h"

namespace kelvaro {
namespace {

using livegraph::kLastPoint;
using livegraph::kPointCount;

constexpr std::uint32_t kMinute = 60 * 1000;
constexpr std::uint32_t kNear = 1000;  // a mark this close to a true peak is that breath's

// The simulated belt played through a core whose display is the test: it notes when each slot's
// sample arrived and, just before the sweep writes a slot again, whether the slot was marked.
// Times are milliseconds since the recording started.
class ChartedBelt final : private MonitorDisplay, public testing::CoreOnSimWire {
 public:
  explicit ChartedBelt(const SimOptions& options) : CoreOnSimWire(options, this) {
    core().graph().createPoints();
    connect();
  }

  // The end of the recording: the marks still on the sweep were shown too.
  void finish() {
    for (int slot = 0; slot <= kLastPoint; ++slot) {
      if (plottedAt_[std::size_t(slot)] && core().graph().breathMarked(slot)) {
        shown.push_back(*plottedAt_[std::size_t(slot)]);
      }
    }
    std::sort(shown.begin(), shown.end());
    std::sort(emitted.begin(), emitted.end());
  }
  std::uint32_t now() const { return elapsed(ticks().tick()); }

  std::vector<std::uint32_t> truePeaks;  // when the belt sampled a breath's peak
  std::vector<std::uint32_t> counted;    // when the detector says each counted breath peaked
  std::vector<std::uint32_t> emitted;    // when the sample under each mark the core set arrived
  std::vector<std::uint32_t> shown;      // ... under each mark the chart held to the end
  std::optional<std::uint32_t> firstPlotted;

 private:
  static std::uint32_t elapsed(std::uint32_t tick) { return tick - breathtest::kStartTick; }

  void stepped() override {
    const BeltModel& belt = dongle().belts()[0];
    if (belt.breaths() != trueBreaths_) {
      trueBreaths_ = belt.breaths();
      truePeaks.push_back(now());
    }
  }

  void showReadings(const NotificationOutcome& out, const MeasurementState&) override {
    if (!out.gated) return;
    // The slot about to be written: what it held, mark and all, has been shown until now.
    const int slot = core().graph().graphSlot();
    if (plottedAt_[std::size_t(slot)] && core().graph().breathMarked(slot)) {
      shown.push_back(*plottedAt_[std::size_t(slot)]);
    }
  }
  void samplePlotted(int slot) override {
    plottedAt_[std::size_t(slot)] = now();
    if (!firstPlotted) firstPlotted = now();
  }
  void breathing(const BreathUpdate& update) override {
    if (update.breath) counted.push_back(elapsed(update.peakTickMs));
  }
  void breathMarked(int slot) override {
    ASSERT_TRUE(plottedAt_[std::size_t(slot)].has_value()) << "slot " << slot;
    emitted.push_back(*plottedAt_[std::size_t(slot)]);
  }

  std::array<std::optional<std::uint32_t>, kPointCount> plottedAt_{};
  std::uint64_t trueBreaths_ = 0;
};

// True peaks and marks paired one to one, nearest first, each pair within kNear.
struct Pairing {
  std::vector<bool> peakMarked;
  std::vector<std::optional<std::size_t>> markOf;  // the true peak each mark is near
  std::vector<std::int64_t> offsets;               // mark - peak of each pair
};

std::int64_t apart(std::uint32_t a, std::uint32_t b) { return std::int64_t(a) - std::int64_t(b); }

Pairing pair(const std::vector<std::uint32_t>& peaks, const std::vector<std::uint32_t>& marks) {
  Pairing p;
  p.peakMarked.assign(peaks.size(), false);
  p.markOf.assign(marks.size(), std::nullopt);
  for (std::size_t k = 0; k < peaks.size(); ++k) {
    std::optional<std::size_t> best;
    for (std::size_t i = 0; i < marks.size(); ++i) {
      if (p.markOf[i] || std::abs(apart(marks[i], peaks[k])) > kNear) continue;
      if (!best || std::abs(apart(marks[i], peaks[k])) < std::abs(apart(marks[*best], peaks[k]))) {
        best = i;
      }
    }
    if (!best) continue;
    p.markOf[*best] = k;
    p.peakMarked[k] = true;
    p.offsets.push_back(apart(marks[*best], peaks[k]));
  }
  return p;
}

struct MarkCase {
  const char* name;
  const char* timeline;
  std::uint64_t seed;
};

void PrintTo(const MarkCase& c, std::ostream* os) { *os << c.name << "_seed" << c.seed; }

std::vector<MarkCase> markCases() {
  std::vector<MarkCase> all;
  for (const auto& [name, timeline] :
       {std::pair{"breathing", "breathing"}, std::pair{"moving", "moving"},
        std::pair{"hold", "breathing:60,hold:15"}, std::pair{"apnea", "breathing:60,apnea:15"}}) {
    for (std::uint64_t seed : {1, 2, 3}) all.push_back({name, timeline, seed});
  }
  return all;
}

class TenMinutesCharted : public ::testing::TestWithParam<MarkCase> {};

// Every true peak has a mark within a second of it, every mark a true peak, and every counted
// breath its mark where its peak was plotted, kept until the sweep writes that slot again.
TEST_P(TenMinutesCharted, EveryBreathIsMarkedAtItsPeak) {
  const MarkCase& c = GetParam();
  ChartedBelt belt(breathtest::world(c.timeline, c.seed));
  // Ten minutes, and the seconds it takes to see the breaths at their end (a hold's ends then).
  constexpr std::uint32_t kMs = 10 * kMinute;
  belt.run(kMs + 3000);
  belt.finish();
  ASSERT_TRUE(belt.firstPlotted.has_value());

  // What the core marked is what the chart held, and it is every counted breath's peak.
  EXPECT_EQ(belt.shown, belt.emitted);
  std::vector<std::uint32_t> countedOnTheSweep;
  for (const std::uint32_t peak : belt.counted) {
    if (peak >= *belt.firstPlotted) countedOnTheSweep.push_back(peak);
  }
  EXPECT_EQ(belt.emitted, countedOnTheSweep);

  // Against the truth, over the ten minutes once the chart runs; paired over the whole recording,
  // so that a peak just before the end may have its mark just after it.
  const std::uint32_t end = belt.now() - 3000;
  const Pairing p = pair(belt.truePeaks, belt.shown);
  const auto inWindow = [&](std::uint32_t t) { return t >= *belt.firstPlotted && t <= end; };
  std::size_t peaks = 0, marks = 0, near = 0;
  for (std::size_t k = 0; k < belt.truePeaks.size(); ++k) {
    if (!inWindow(belt.truePeaks[k])) continue;
    ++peaks;
    if (!p.peakMarked[k]) ADD_FAILURE() << "no mark near the peak at " << belt.truePeaks[k];
  }
  for (std::size_t i = 0; i < belt.shown.size(); ++i) {
    const std::optional<std::size_t> peak = p.markOf[i];
    if (!inWindow(belt.shown[i]) && !(peak && inWindow(belt.truePeaks[*peak]))) continue;
    ++marks;
    near += peak.has_value();
    if (!peak) ADD_FAILURE() << "no true peak near the mark at " << belt.shown[i];
  }
  std::int64_t farthest = 0;
  for (const std::int64_t o : p.offsets) farthest = std::max(farthest, std::abs(o));
  RecordProperty("trueBreaths", std::to_string(peaks));
  RecordProperty("marks", std::to_string(marks));
  RecordProperty("marksNearATruePeak", std::to_string(near));
  RecordProperty("marksWithoutABreath", std::to_string(marks - near));
  RecordProperty("farthestMs", std::to_string(farthest));
  std::printf(
      "marks %s seed %llu: true breaths %zu, marks %zu, within 1 s of a true peak %zu, "
      "without a true breath %zu; farthest %lld ms\n",
      c.name, static_cast<unsigned long long>(c.seed), peaks, marks, near, marks - near,
      static_cast<long long>(farthest));
  EXPECT_GT(peaks, 100u);
}

INSTANTIATE_TEST_SUITE_P(Sim, TenMinutesCharted, ::testing::ValuesIn(markCases()),
                         [](const ::testing::TestParamInfo<MarkCase>& info) {
                           return std::string(info.param.name) + "_seed" +
                                  std::to_string(info.param.seed);
                         });

}  // namespace
}  // namespace kelvaro
