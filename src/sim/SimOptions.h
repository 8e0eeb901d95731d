#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

#include "sim/Scenario.h"

namespace kelvaro {

// A BGAPI command by class and id, as the faults name them ("6/3").
struct SimCommandKey {
  std::uint8_t classId = 0;
  std::uint8_t commandId = 0;
  bool operator==(const SimCommandKey& other) const {
    return classId == other.classId && commandId == other.commandId;
  }
};

// Faults on purpose. Zero means "off" everywhere.
struct SimFaults {
  std::uint32_t dropEvery = 0;    // one byte of every N sent to the host is lost
  std::uint32_t garbleEvery = 0;  // one byte of every N sent to the host is corrupted
  // Commands that get lost on the way in: no answer and no effect.
  std::vector<SimCommandKey> noAnswer;
  // Commands are handled this late (responses and the events that follow them).
  std::uint32_t delayMs = 0;
  std::optional<SimCommandKey> delayOnly;  // empty: every command is late
  std::uint32_t linkLossAfterMs = 0;       // the belt's link drops this long after each connection
  std::uint32_t unplugAfterMs = 0;         // the dongle is pulled out this long after start
  std::uint32_t replugAfterMs = 0;         // ... and comes back this long after that
  // The connection to a belt is made (the connection-status event) this long after connect
  // direct, instead of about SimDongle::kConnectMs.
  std::uint32_t lateStatusMs = 0;
};

// Everything that makes one simulated world: the belts, their signals, the rate and the faults.
struct SimOptions {
  static constexpr double kMaxRateHz = 460.0;  // 25-byte notifications at 115200 baud
  static constexpr int kMaxBelts = 16;
  static constexpr int kMaxOthers = 16;

  std::uint64_t seed = 1;
  int belts = 1;
  int otherAdvertisers = 3;
  ScenarioTimeline timeline = ScenarioTimeline::standard();
  double rateHz = 20.0;
  bool flood = false;  // as many notifications as the wire carries; rateHz is then unused
  SimFaults faults;
};

// "flood" or a rate in Hz above 0 and up to the wire's limit.
bool parseSimRate(const QString& text, SimOptions* options, QString* error);
// "6/3" (decimal or 0x-prefixed numbers).
std::optional<SimCommandKey> parseSimCommandKey(const QString& text);

// The command line of kelvaro-belt-sim.
struct SimCommandLine {
  SimOptions options;
  QString linkPath;
  bool verbose = false;
  bool showHelp = false;
  QString error;  // non-empty when the arguments could not be understood

  // arguments[0] is the program name.
  static SimCommandLine parse(const QStringList& arguments);
  static QString helpText();
};

}  // namespace kelvaro
