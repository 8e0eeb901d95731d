#pragma once

#include <cstdint>

namespace kelvaro {

namespace guide {
// The pace in breaths a minute, in steps of half a breath.
constexpr double kMinPace = 3.0;
constexpr double kMaxPace = 12.0;
constexpr double kPaceStep = 0.5;
constexpr double kDefaultPace = 6.0;
// The share of breathing in, in percent of the time spent breathing (the holds left out).
constexpr int kMinInShare = 30;
constexpr int kMaxInShare = 60;
constexpr int kDefaultInShare = 40;
// The holds after breathing in and after breathing out, in seconds (steps of half a second).
constexpr double kMaxHoldSeconds = 5.0;
constexpr double kHoldStep = 0.5;
// The length of an exercise in minutes.
constexpr int kMinMinutes = 1;
constexpr int kMaxMinutes = 30;
constexpr int kDefaultMinutes = 5;
}  // namespace guide

// What the person sets for an exercise.
struct GuideSettings {
  double pacePerMinute = guide::kDefaultPace;
  int inSharePercent = guide::kDefaultInShare;
  double holdInSeconds = 0.0;
  double holdOutSeconds = 0.0;
  int minutes = guide::kDefaultMinutes;

  // Every value brought into its range (the pace and the holds to their steps); a value that is
  // not a number takes its default.
  GuideSettings clamped() const;
  bool operator==(const GuideSettings& other) const;
};

// The guide's phases, in the order of one breath.
enum class GuidePhase { In, HoldIn, Out, HoldOut };

// Where the guide is at one moment of an exercise.
struct GuideMoment {
  GuidePhase phase = GuidePhase::In;
  std::uint64_t cycle = 0;        // breaths of the guide before this one
  std::uint32_t phaseMs = 0;      // the length of this phase
  std::uint32_t intoPhaseMs = 0;  // how far into it
  // The target: 0 at the end of breathing out, 1 at the end of breathing in, a half cosine between.
  double level = 0.0;
  bool finished = false;  // past the exercise's length (the rest of the fields as at its end)
};

// The pacer: one breath of the guide every 60 / pace seconds, from the start of the exercise:
// breathing in, a hold, breathing out, a hold. The breathing in and out share what the holds
// leave of the breath by the share of breathing in; holds that would take more than half of a
// breath are shortened, both by the same factor, to half of it. Pure: the time is given, in
// milliseconds since the exercise started.
class GuidePacer {
 public:
  explicit GuidePacer(const GuideSettings& settings = GuideSettings());

  const GuideSettings& settings() const { return settings_; }
  std::uint32_t cycleMs() const { return cycleMs_; }
  std::uint32_t inMs() const { return inMs_; }
  std::uint32_t holdInMs() const { return holdInMs_; }
  std::uint32_t outMs() const { return outMs_; }
  std::uint32_t holdOutMs() const { return holdOutMs_; }
  std::uint64_t lengthMs() const { return lengthMs_; }

  GuideMoment at(std::uint64_t ms) const;
  // The first phase change after `ms` (phases of no length are skipped); the exercise's end when
  // none comes before it.
  std::uint64_t nextChangeAfter(std::uint64_t ms) const;
  // The end of breathing in of the guide's breath `cycle`: where the chest is at its highest.
  std::uint64_t peakMs(std::uint64_t cycle) const { return cycle * cycleMs_ + inMs_; }

 private:
  GuideSettings settings_;
  std::uint32_t cycleMs_ = 0, inMs_ = 0, holdInMs_ = 0, outMs_ = 0, holdOutMs_ = 0;
  std::uint64_t lengthMs_ = 0;
};

}  // namespace kelvaro
