#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "sim/SimOptions.h"

namespace kelvaro {

// What the user asked for on the command line.
struct CommandLine {
  // The exit code of a command line that could not be understood.
  static constexpr int kUsageExitCode = 1;

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
  bool showVersion = false;
  bool showHelp = false;
  QString error;  // non-empty when the arguments could not be understood

  static CommandLine parse(const QStringList& arguments);
  static QString helpText();
};

}  // namespace kelvaro
