#include "sim/Scenario.h"

#include <QStringList>
#include <array>
#include <utility>

namespace kelvaro {

namespace {

constexpr std::array<std::pair<Scenario, const char*>, 6> kNames{{
    {Scenario::Breathing, "breathing"},
    {Scenario::Shallow, "shallow"},
    {Scenario::Apnea, "apnea"},
    {Scenario::Hold, "hold"},
    {Scenario::Moving, "moving"},
    {Scenario::Off, "off"},
}};

// Longer than any sensible session, short enough that milliseconds stay far from overflow.
constexpr std::uint32_t kMaxStepSeconds = 7 * 24 * 3600;

}  // namespace

QString scenarioName(Scenario scenario) {
  for (const auto& [value, name] : kNames) {
    if (value == scenario) return QString::fromLatin1(name);
  }
  return QString();
}

std::optional<Scenario> scenarioFromName(const QString& name) {
  for (const auto& [value, text] : kNames) {
    if (name.compare(QLatin1String(text), Qt::CaseInsensitive) == 0) return value;
  }
  return std::nullopt;
}

ScenarioTimeline ScenarioTimeline::standard() {
  return *parse(QStringLiteral("breathing:60,shallow:30,apnea:20,moving:30"));
}

std::optional<ScenarioTimeline> ScenarioTimeline::parse(const QString& text, QString* error) {
  const auto fail = [error](const QString& why) -> std::optional<ScenarioTimeline> {
    if (error) *error = why;
    return std::nullopt;
  };
  const QString trimmed = text.trimmed();
  if (trimmed.isEmpty()) return fail(QStringLiteral("empty scenario"));
  ScenarioTimeline timeline;
  timeline.steps_.clear();
  for (const QString& part : trimmed.split(QLatin1Char(','))) {
    const QStringList fields = part.trimmed().split(QLatin1Char(':'));
    if (fields.size() > 2) return fail(QStringLiteral("bad scenario step \"%1\"").arg(part));
    // "name" or "name@R"; only breathing takes a pace.
    const QStringList named = fields.at(0).trimmed().split(QLatin1Char('@'));
    const auto scenario = scenarioFromName(named.at(0).trimmed());
    if (!scenario || named.size() > 2) {
      return fail(
          QStringLiteral("unknown scenario \"%1\" (breathing, shallow, apnea, hold, moving, off)")
              .arg(fields.at(0).trimmed()));
    }
    Step step{*scenario, 0, 0};
    if (named.size() == 2) {
      bool ok = false;
      const QString paceText = named.at(1).trimmed();
      const double pace = paceText.toDouble(&ok);
      if (*scenario != Scenario::Breathing) {
        return fail(QStringLiteral("a pace is for breathing only, not \"%1\"").arg(part.trimmed()));
      }
      if (!ok || !(pace >= kMinPacePerMinute && pace <= kMaxPacePerMinute)) {
        return fail(QStringLiteral("bad pace in \"%1\": breaths a minute, %2 to %3")
                        .arg(part.trimmed())
                        .arg(kMinPacePerMinute)
                        .arg(kMaxPacePerMinute));
      }
      step.pacePerMinute = pace;
    }
    if (fields.size() == 2) {
      bool ok = false;
      const uint seconds = fields.at(1).trimmed().toUInt(&ok);
      if (!ok || seconds == 0 || seconds > kMaxStepSeconds) {
        return fail(QStringLiteral("bad duration in \"%1\": whole seconds, 1 to %2")
                        .arg(part.trimmed())
                        .arg(kMaxStepSeconds));
      }
      step.seconds = seconds;
    }
    timeline.steps_.push_back(step);
  }
  return timeline;
}

const ScenarioTimeline::Step& ScenarioTimeline::stepAt(std::uint64_t ms) const {
  std::uint64_t cycle = 0;
  bool repeats = true;
  for (const Step& step : steps_) {
    if (step.seconds == 0) {
      repeats = false;
      break;
    }
    cycle += std::uint64_t{step.seconds} * 1000;
  }
  // Timed steps before a for-ever step are played once; a timeline of timed steps repeats.
  std::uint64_t t = repeats ? ms % cycle : ms;
  for (const Step& step : steps_) {
    if (step.seconds == 0) return step;
    const std::uint64_t length = std::uint64_t{step.seconds} * 1000;
    if (t < length) return step;
    t -= length;
  }
  return steps_.back();
}

QString ScenarioTimeline::toString() const {
  QStringList parts;
  for (const Step& step : steps_) {
    QString name = scenarioName(step.scenario);
    if (step.pacePerMinute > 0) name += QLatin1Char('@') + QString::number(step.pacePerMinute);
    parts << (step.seconds == 0 ? name : QStringLiteral("%1:%2").arg(name).arg(step.seconds));
  }
  return parts.join(QLatin1Char(','));
}

}  // namespace kelvaro
