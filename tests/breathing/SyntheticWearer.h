#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <vector>

#include "breathing/BreathDetector.h"

// A wearer made of sines, with every breath known: breaths of given lengths and depths from a
// resting level, held pauses, a drifting baseline, noise and bursts of shaking; and a feed that
// samples it at a rate of its own, with jitter, losses, gaps and spikes.
namespace kelvaro::synthetic {

constexpr double kPi = 3.141592653589793;

struct Shake {
  double from = 0, to = 0;  // seconds
  double grams = 0;         // amplitude
  double hz = 2.0;
};

// Breathing stops within a breath and the chest stays where it was: at `phase` of the breath (0 its
// start at the trough, 0.5 its peak, 1 its end), for `seconds`; then the breath goes on from there.
struct Hold {
  double phase = 0.5;
  double seconds = 20;
};

struct Wearer {
  double seconds = 300;
  std::function<double(int)> breathSeconds = [](int) { return 4.0; };
  std::function<double(int)> depth = [](int) { return 30.0; };  // grams, trough to peak
  std::map<int, double> pauseAfter;  // breath number -> seconds held after breathing it out
  std::map<int, Hold> holds;         // breath number -> held within it
  double base = 500;
  double driftPerMinute = 0;  // grams
  double wander = 0;          // grams of a slow swing of the baseline (70 s)
  double noise = 0.3;         // grams, standard deviation
  std::vector<Shake> shakes;

  // Start and length of every breath that begins within the run.
  void build() {
    starts.clear();
    lengths.clear();
    double t = 0;
    for (int k = 0; t < seconds; ++k) {
      starts.push_back(t);
      lengths.push_back(breathSeconds(k));
      t += lengths.back() + held(int(k));
      const auto pause = pauseAfter.find(k);
      if (pause != pauseAfter.end()) t += pause->second;
    }
  }
  // The force without noise at time t (seconds).
  double force(double t) const {
    double f = base + driftPerMinute * t / 60.0 + wander * std::sin(2 * kPi * t / 70.0);
    for (std::size_t k = 0; k < starts.size(); ++k) {
      if (t >= starts[k] && t < starts[k] + lengths[k] + held(int(k))) {
        double into = t - starts[k];
        const auto hold = holds.find(int(k));
        if (hold != holds.end()) {
          const double from = hold->second.phase * lengths[k];
          if (into > from) into = std::max(from, into - hold->second.seconds);
        }
        const double phase = into / lengths[k];
        f += depth(int(k)) * 0.5 * (1.0 - std::cos(2 * kPi * phase));
        break;
      }
    }
    for (const Shake& s : shakes) {
      if (t >= s.from && t < s.to) f += s.grams * std::sin(2 * kPi * s.hz * (t - s.from));
    }
    return f;
  }
  // When each breath peaks, up to `until` seconds: a breath held at its peak peaked where the hold
  // began, one held before it peaks after the hold.
  std::vector<double> peaks(double until) const {
    std::vector<double> out;
    for (std::size_t k = 0; k < starts.size(); ++k) {
      double peak = starts[k] + 0.5 * lengths[k];
      const auto hold = holds.find(int(k));
      if (hold != holds.end() && hold->second.phase < 0.5) peak += hold->second.seconds;
      if (peak < until) out.push_back(peak);
    }
    return out;
  }
  // Seconds breath k is held within itself.
  double held(int k) const {
    const auto hold = holds.find(k);
    return hold == holds.end() ? 0.0 : hold->second.seconds;
  }

  std::vector<double> starts, lengths;
};

struct Feed {
  double intervalMs = 50;
  double jitterMs = 0;              // uniform, either way
  double lossShare = 0;             // samples lost at random
  double gapFrom = -1, gapTo = -1;  // seconds without any sample
  int spikeEvery = 0;               // every Nth sample is replaced by a wild value
  std::uint32_t startTick = 1000;
  std::optional<double> restartAt;  // seconds: a jump of the zero, announced to the detector
  double jumpGrams = 0;
  std::uint32_t seed = 1;
};

// What the detector did with a feed, sample by sample.
struct Played {
  std::vector<std::uint32_t> ticks;       // of every sample fed
  std::vector<BreathUpdate> updates;      // one per sample
  std::vector<double> peaks;              // seconds since the start, of every breath found
  std::vector<std::size_t> breathSample;  // the sample that confirmed each of them
  std::vector<double> apneaBegan;         // seconds
  std::vector<double> apneaEnded;
  bool marksPointAtTheirSamples = true;  // peakSamplesAgo and peakTickMs agree with the ticks
};

inline Played feed(const Wearer& w, const Feed& f, BreathDetector& detector) {
  std::mt19937 random(f.seed);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::normal_distribution<double> gauss(0.0, 1.0);
  Played run;
  bool jumped = false;
  for (int i = 0;; ++i) {
    const double t = (i * f.intervalMs + f.jitterMs * (2 * unit(random) - 1)) / 1000.0;
    if (t >= w.seconds) break;
    if (t < 0 || unit(random) < f.lossShare || (t >= f.gapFrom && t < f.gapTo)) continue;
    double force = w.force(t) + w.noise * gauss(random);
    if (f.spikeEvery > 0 && i % f.spikeEvery == 0) force += (i % 2 == 0 ? 3000.0 : -3000.0);
    if (f.restartAt && t >= *f.restartAt) {
      force += f.jumpGrams;
      if (!jumped) detector.restartSignal();
      jumped = true;
    }
    // Jitter never turns the order round: a late sample shares its predecessor's millisecond.
    auto tick = f.startTick + static_cast<std::uint32_t>(std::lround(t * 1000.0));
    if (!run.ticks.empty() && std::int32_t(tick - run.ticks.back()) < 0) tick = run.ticks.back();
    run.ticks.push_back(tick);
    const BreathUpdate u = detector.addSample(force, tick);
    run.updates.push_back(u);
    const double seconds = double(tick - f.startTick) / 1000.0;
    if (u.breath) {
      const std::size_t n = run.ticks.size() - 1;
      if (u.peakSamplesAgo > n || run.ticks[n - u.peakSamplesAgo] != u.peakTickMs) {
        run.marksPointAtTheirSamples = false;
      }
      run.peaks.push_back(double(u.peakTickMs - f.startTick) / 1000.0);
      run.breathSample.push_back(n);
    }
    if (u.apneaBegan) run.apneaBegan.push_back(seconds);
    if (u.apneaEnded) run.apneaEnded.push_back(seconds);
  }
  return run;
}

// Pairs every peak found with the nearest true one within `tolerance` seconds; returns how many
// found peaks have no true peak of their own.
inline int unmatched(const std::vector<double>& found, const std::vector<double>& truth,
                     double tolerance) {
  std::vector<bool> taken(truth.size(), false);
  int without = 0;
  for (double p : found) {
    int best = -1;
    for (std::size_t k = 0; k < truth.size(); ++k) {
      if (taken[k] || std::fabs(truth[k] - p) > tolerance) continue;
      if (best < 0 || std::fabs(truth[k] - p) < std::fabs(truth[std::size_t(best)] - p)) {
        best = int(k);
      }
    }
    if (best < 0) {
      ++without;
    } else {
      taken[std::size_t(best)] = true;
    }
  }
  return without;
}

}  // namespace kelvaro::synthetic
