#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace kelvaro {

// What the simulated wearer is doing. Apnea: breathing stops at the end of breathing out; hold: the
// breath is held after breathing in.
enum class Scenario { Breathing, Shallow, Apnea, Hold, Moving, Off };

QString scenarioName(Scenario scenario);
std::optional<Scenario> scenarioFromName(const QString& name);

// The slowest and fastest pace a wearer can be told ("breathing@R", breaths a minute).
constexpr double kMinPacePerMinute = 2.0;
constexpr double kMaxPacePerMinute = 40.0;

// Scenarios one after the other, e.g. "breathing:60,shallow:30,apnea:20,moving:30" (name:seconds).
// A timeline of timed steps repeats; a step given by its bare name lasts for ever, so the steps
// after it are never reached. Time is the belt's sample clock (see BeltModel). "breathing@R" is
// breathing kept to a pace of R breaths a minute, as a wearer following a pacer does (R from 2
// to 40, e.g. "breathing@6:120" or "breathing@6.5").
class ScenarioTimeline {
 public:
  struct Step {
    Scenario scenario = Scenario::Breathing;
    std::uint32_t seconds = 0;  // 0: for ever
    double pacePerMinute = 0;   // breathing@R: R; 0: the scenario's own wandering pace
  };

  ScenarioTimeline() : steps_{{Scenario::Breathing, 0}} {}
  explicit ScenarioTimeline(Scenario always) : steps_{{always, 0}} {}

  // The timeline a plain "SIM" or kelvaro-belt-sim without --scenario plays.
  static ScenarioTimeline standard();
  // Returns nothing and sets error when the text is not a timeline.
  static std::optional<ScenarioTimeline> parse(const QString& text, QString* error = nullptr);

  Scenario at(std::uint64_t ms) const { return stepAt(ms).scenario; }
  // The step playing at `ms`, with its pace.
  const Step& stepAt(std::uint64_t ms) const;
  QString toString() const;
  const std::vector<Step>& steps() const { return steps_; }

 private:
  std::vector<Step> steps_;
};

}  // namespace kelvaro
