#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

#include <vector>

#include "sim/SimOptions.h"

namespace kelvaro {

// What the user asked for on the command line.
struct CommandLine {
  // The exit code of a command line that could not be understood.
  static constexpr int kUsageExitCode = 1;
  static constexpr int kMaxSimSpeed = 1000;

  bool simulate = false;
  QString scenario;              // empty: the simulator's default timeline; else a valid one
  QString home;                  // empty: beside the executable, or the per-user folder
  QString capture;               // a new file to capture the dongle's bytes into; empty: none
  QString replay;                // a capture whose recorded belt is the dongle; empty: none
  PlaybackPace pace;             // how a recorded belt plays (--replay, "Play capture...")
  bool startLog = false;         // "Start Log" pressed at start
  QString connect;               // a belt to connect to once the scan hears it ("last": EditLastID)
  QString keyInjector;           // "uinput", "xtest" or "none"; empty: the first that works
  bool consoleToStderr = false;  // every console line also on standard error
  QString record;                // a recording from the first plotted sample: .csv or .bdf
  QString repair;                // a cut recording to repair, then exit
  bool headless = false;         // no window: the core, the link keeper and the recorders
  std::uint64_t durationMs = 0;  // --headless ends after this long (0: when told to)
  int simBelts = 1;              // belts the simulated dongle hears (--sim-belts)
  std::vector<SimOptions::BeltTimeline> simBeltTimelines;  // --sim-belt-scenario, each belt's own
  int simSpeed = 1;  // the simulated belt and the program's clock this many times fast
  bool showVersion = false;
  bool showHelp = false;
  QString error;  // non-empty when the arguments could not be understood

  static CommandLine parse(const QStringList& arguments);
  // "100s", "10m", "8h": milliseconds; none for anything else (no number, no unit, zero).
  static std::optional<std::uint64_t> parseDuration(const QString& text);
  static QString helpText();
};

}  // namespace kelvaro
