#pragma once

#include "activity/ActivityMonitor.h"
#include "breathing/BreathDetector.h"
#include "keys/KeyTriggers.h"
#include "measure/MeasurementDecoder.h"
#include "measure/MeasurementState.h"

namespace kelvaro {

// What the road of one measurement reads from the window's controls. The window keeps it
// current; a test or a headless front end sets it directly.
struct MonitorSwitches {
  bool log = false;     // "Log": trace every notification
  bool freeze = false;  // "Graph Freeze": the graph and what follows it stand still
};

// What the road of one measurement shows. The window implements it (and decides how often its
// read-outs repaint); tests record the calls. Called on the thread that feeds the port's bytes,
// in the road's order, for every notification of the shown belt (MonitorCore::setShownBelt; the
// first by default); the chart and the activity page are the first belt's, and the further
// belts' chart lines are told with beltPlotted.
class MonitorDisplay {
 public:
  virtual ~MonitorDisplay() = default;

  // A notification was decoded: the battery or temperature reading, the force bar and the
  // forces in `state` are new.
  virtual void showReadings(const NotificationOutcome& outcome, const MeasurementState& state) = 0;
  // The live graph's points at `slot` were overwritten with the first belt's newest sample.
  virtual void samplePlotted(int slot) = 0;
  // Further belt `belt`'s graph took its newest sample at `slot` (its chart line).
  virtual void beltPlotted(int /*belt*/, int /*slot*/) {}
  // The key indicators' colour for this notification (green: the force is above the threshold).
  virtual void keyIndicator(KeyIndicator /*indicator*/) {}
  // A block of 200 charted samples ended: its activity values, texts and chart points.
  virtual void activityBlock(const ActivityBlock& /*block*/) {}
  // The breathing after this notification: rate, breaths, apnea (for every decoded one).
  virtual void breathing(const BreathUpdate& /*update*/) {}
  // A breath peaked at the sample plotted at slot; the model marks it already.
  virtual void breathMarked(int /*slot*/) {}
};

// A display that shows nothing: for benchmarks and replays that only want the numbers.
class NullMonitorDisplay final : public MonitorDisplay {
 public:
  void showReadings(const NotificationOutcome&, const MeasurementState&) override {}
  void samplePlotted(int) override {}
};

}  // namespace kelvaro
