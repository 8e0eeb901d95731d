#pragma once

#include <cmath>
#include <cstdint>

namespace kelvaro {

// SplitMix64: small, fast and the same on every platform, so a seed replays the same belt.
class SimRandom {
 public:
  explicit SimRandom(std::uint64_t seed = 0) : state_(seed) {}

  std::uint64_t next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
  }

  // Uniform in [0, 1).
  double uniform() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }
  double uniform(double low, double high) { return low + (high - low) * uniform(); }
  // Uniform integer in [low, high].
  std::int64_t between(std::int64_t low, std::int64_t high) {
    const auto span = static_cast<std::uint64_t>(high - low) + 1;
    return low + static_cast<std::int64_t>(next() % span);
  }
  // Standard normal deviate (Box-Muller; one value per call keeps the stream simple).
  double gauss() {
    const double u1 = 1.0 - uniform();  // (0, 1], so the logarithm stays finite
    const double u2 = uniform();
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
  }
  // A seed for an independent stream, derived from this one's seed and a label.
  static std::uint64_t derive(std::uint64_t seed, std::uint64_t label) {
    SimRandom r(seed ^ (label * 0xD1B54A32D192ED03ULL));
    r.next();
    return r.next();
  }

 private:
  std::uint64_t state_;
};

}  // namespace kelvaro
