#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "sim/Scenario.h"

namespace kelvaro {

class RecordedBelt;

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
  std::uint32_t linkLossAfterMs = 0;  // the link on connection 0 drops this long after it is made
  // ... and on other connections, by handle (a later entry for a handle replaces an earlier one).
  struct LinkLossOn {
    int handle = 0;
    std::uint32_t afterMs = 0;
  };
  std::vector<LinkLossOn> linkLossOn;
  std::uint32_t unplugAfterMs = 0;  // the dongle is pulled out this long after start
  std::uint32_t replugAfterMs = 0;  // ... and comes back this long after that
  // The connection to a belt is made (the connection-status event) this long after connect
  // direct, instead of about SimDongle::kConnectMs.
  std::uint32_t lateStatusMs = 0;

  // The link-loss time for connection `handle` (0: none).
  std::uint32_t linkLossAfterMsOn(int handle) const;
};

// How a recorded belt is played: its spacing divided by the speed, or as fast as the wire
// carries (flood); at its end the belt goes out of reach, unless the playback loops.
struct PlaybackPace {
  static constexpr double kMinSpeed = 0.1;
  static constexpr double kMaxSpeed = 100.0;
  double speed = 1.0;
  bool flood = false;
  bool loop = false;
};

// A recorded belt in place of the modelled ones (none when belt is null).
struct SimPlayback {
  std::shared_ptr<const RecordedBelt> belt;
  PlaybackPace pace;
};

// Everything that makes one simulated world: the belts, their signals, the rate and the faults.
// With a playback, its one belt is the recorded belt and plays what was captured; the scenario
// and the rate are not used.
struct SimOptions {
  static constexpr double kMaxRateHz = 460.0;  // 25-byte notifications at 115200 baud
  static constexpr int kMaxBelts = 16;
  static constexpr int kMaxOthers = 16;
  static constexpr int kMaxConnections = 8;  // what BLED112 firmware can be built for

  // A belt (by its index, 0 for the first) that plays a timeline of its own.
  struct BeltTimeline {
    int belt = 0;
    ScenarioTimeline timeline;
  };

  std::uint64_t seed = 1;
  int belts = 1;
  int otherAdvertisers = 3;
  int maxConnections = 3;  // connections the dongle holds at once, 1 to kMaxConnections
  ScenarioTimeline timeline = ScenarioTimeline::standard();  // every belt's, unless ...
  std::vector<BeltTimeline> beltTimelines;                   // ... it has its own here
  double rateHz = 20.0;
  bool flood = false;  // as many notifications as the wire carries; rateHz is then unused
  SimFaults faults;
  SimPlayback playback;
};

// "flood" or a rate in Hz above 0 and up to the wire's limit.
bool parseSimRate(const QString& text, SimOptions* options, QString* error);
// "flood" or a speed from 0.1 to 100 ("10", "0.5"); the pace's loop is left as it is.
bool parsePlaybackSpeed(const QString& text, PlaybackPace* pace, QString* error);
// "6/3" (decimal or 0x-prefixed numbers).
std::optional<SimCommandKey> parseSimCommandKey(const QString& text);

// The command line of kelvaro-belt-sim.
struct SimCommandLine {
  SimOptions options;
  QString linkPath;
  QString replayPath;  // --replay: the capture to play (its belt goes into options.playback)
  bool verbose = false;
  bool showHelp = false;
  QString error;  // non-empty when the arguments could not be understood

  // arguments[0] is the program name.
  static SimCommandLine parse(const QStringList& arguments);
  static QString helpText();
};

}  // namespace kelvaro
