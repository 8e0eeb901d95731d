#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "guide/GuidePacer.h"

namespace kelvaro {

// "Following": how well the breathing follows the guide over the last 30 s, 0 to 100 %.
//
// It is the share of the last 30 s spent in breaths that went with the guide. A breath (from one
// peak of the chest to the next, as the breath detector finds them) goes with the guide when it
// is as long as the guide's breath (fully within 5 %, not at all beyond 20 %) and its peak keeps
// the person's usual delay behind the guide's end of breathing in (the mean delay of the last 30 s:
// fully within 5 % of a breath, not at all beyond 25 %), so a steady delay costs nothing and a
// drifting one does; only a usual delay of more than 30 % of a breath costs as well (none is left
// at half a breath: breathing in when the guide breathes out). A breath not yet taken 20 % (and a
// second and a half for the detector) after the guide's breath would have ended counts as not
// followed from its start, so an apnea or a skipped breath drops the score within a breath.
//
// Pure logic on a time given in milliseconds since the exercise started: fed the breaths'
// peaks and asked at any time. Constant work per call, nothing allocated.
class FollowingScore {
 public:
  static constexpr std::int64_t kWindowMs = 30000;
  // The ramps of the breath's judgement, as shares of the guide's breath.
  static constexpr double kLengthFull = 0.05, kLengthNone = 0.20;
  static constexpr double kSteadyFull = 0.05, kSteadyNone = 0.25;
  static constexpr double kDelayFull = 0.30, kDelayNone = 0.50;
  // A breath confirmed by the detector about this long after it peaked still counts in time.
  static constexpr std::int64_t kConfirmMs = 1500;
  // A breath that goes with the guide at least this much counts towards the longest stretch.
  static constexpr double kFollowedShare = 0.5;

  explicit FollowingScore(const GuidePacer& pacer = GuidePacer());

  // A new exercise (or the breathing forgotten): nothing known.
  void reset();
  // A breath of the wearer peaked at `peakMs` since the start. A peak no later than the last one
  // is ignored.
  void breath(std::int64_t peakMs);
  // The score at `nowMs`, in percent; none until a breath has been judged or has been missing.
  std::optional<double> scoreAt(std::int64_t nowMs) const;

  // How the last breath was judged (0 to 1), and its delay behind the guide in milliseconds (a
  // negative one is ahead of it); none before the first.
  std::optional<double> lastBreathShare() const;
  std::optional<std::int64_t> lastDelayMs() const;
  // The longest run of breaths in a row that went with the guide at least kFollowedShare, from
  // the peak before the first to the last one's peak, in milliseconds.
  std::int64_t longestFollowedMs() const { return longestMs_; }
  // Breaths since the reset, and the mean rate over them (from the first peak to the last).
  std::uint64_t breaths() const { return total_; }
  std::optional<double> meanRatePerMinute() const;

 private:
  struct Breath {
    std::int64_t startMs = 0;  // the peak before it (the exercise's start for the first)
    std::int64_t peakMs = 0;
    double share = 0.0;        // how much it went with the guide
    bool judged = false;       // false: the first breath, whose start is no peak
    std::int64_t delayMs = 0;  // behind the nearest end of breathing in of the guide
  };
  // A breath at least every 1.5 s for 30 s and some: more than any breathing keeps.
  static constexpr std::size_t kKept = 32;

  std::int64_t delayOf(std::int64_t peakMs) const;
  // The circular mean of the delays of the breaths that peaked since `fromMs`, and of `delayMs`.
  double steadyDelayMs(std::int64_t fromMs, std::int64_t delayMs) const;
  std::int64_t limitMs() const;
  const Breath& kept(std::size_t back) const;  // 0: the latest

  GuidePacer pacer_;
  std::int64_t cycleMs_ = 0;
  std::array<Breath, kKept> ring_{};
  std::size_t next_ = 0, count_ = 0;
  std::uint64_t total_ = 0;
  std::int64_t firstPeakMs_ = 0, lastPeakMs_ = 0;
  std::int64_t runStartMs_ = 0, longestMs_ = 0;
  bool inRun_ = false;
};

}  // namespace kelvaro
