#pragma once

#include <QString>
#include <cstdint>

#include "breathing/BreathDetector.h"
#include "measure/MeasurementDecoder.h"
#include "measure/MeasurementState.h"

namespace kelvaro {

// The belt a call is about: its slot in the core (0: the first belt, 1.. the further belts), or
// every belt for what concerns the whole run (a marker, the dongle).
inline constexpr int kEveryBelt = -1;
// Belts at once, the first included: calls are about belts 0 to kMaxBelts - 1.
inline constexpr int kMaxBelts = 4;

// One plotted sample: the values the live graph took at `slot`, as the recorder wrote them.
struct PlottedSample {
  const MeasurementState& state;
  int slot;
  std::uint32_t tick;  // the core's millisecond clock when it was decoded
  int belt = 0;
};

// One decoded notification after every step of the core: decoded, shown, keys, plotted (or
// not), wrapped, its breath detected.
struct DecodedNotification {
  const MeasurementState& state;
  const NotificationOutcome& outcome;
  const BreathUpdate& breath;
  int plottedSlot;  // -1: not plotted (graph frozen, or still zeroing)
  std::uint32_t tick;
  int belt = 0;
};

// What happened to the link to a belt. Connected: a connection was made (by the user or by a
// reconnect); Lost: it went silent or the dongle reported it gone, and is being mended; Back: it
// streams again; Disconnected: the user ended it, nothing is mended.
enum class LinkEvent { Connected, Lost, Back, Disconnected };

struct LinkChange {
  LinkEvent event;
  const QString& deviceId;
  const QString& reason;  // Lost: in words, e.g. "supervision time-out (0x0208)"; else empty
  int belt = 0;
};

// Something that happened during the run that a recording notes with its time: a person's
// marker, an apnea that is over, a block's activity alarm, a session opened or closed, a force
// zeroed, the dongle gone or back.
enum class MonitorEventKind {
  Marker,
  Apnea,
  ActivityAlarm,
  SessionStart,
  SessionStop,
  ZeroForce1,
  ZeroForce2,
  DongleGone,
  DongleBack,
};

struct MonitorEvent {
  MonitorEventKind kind;
  // Marker: the person's text (may be empty); SessionStart, SessionStop: the user; else empty.
  const QString& text;
  // The core's millisecond clock when it happened; an apnea began when the last breath before
  // it peaked.
  std::uint32_t tick;
  std::uint32_t durationMs;  // Apnea: until breathing was seen again; else 0
  // Apnea, ActivityAlarm, ZeroForce1/2: the belt; SessionStart/Stop: the first belt (the
  // sessions are the first belt's); Marker, DongleGone, DongleBack: kEveryBelt.
  int belt = kEveryBelt;
};

// An output of the road of one measurement: a recorder, a link to another program, a view. It is
// registered with the core in road order and called on the core's thread, in registration order,
// at its two places on the road, for every change of the link and for every event of the run. A
// consumer must not block and should allocate nothing per call.
class MeasurementConsumer {
 public:
  virtual ~MeasurementConsumer() = default;
  // Only while the graph runs and the forces have been zeroed, after the graph, the activity
  // computation and the measurement recorder took the sample.
  virtual void samplePlotted(const PlottedSample& /*sample*/) {}
  // Every decoded notification, last on the road.
  virtual void notificationDecoded(const DecodedNotification& /*notification*/) {}
  virtual void linkChanged(const LinkChange& /*change*/) {}
  virtual void eventNoted(const MonitorEvent& /*event*/) {}
  // A belt got its short name or another one (the first belt's is told too). Before it streams:
  // a further belt is named before the core tells its link connected.
  virtual void beltNamed(int /*belt*/, const QString& /*name*/) {}
};

}  // namespace kelvaro
