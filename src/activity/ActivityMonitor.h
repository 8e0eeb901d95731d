#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <optional>

#include "base/Formats.h"

namespace kelvaro {

// The activity session as the automatic rule sees it: the enabled state of "Session Start" and
// "Session Stop", and their click handlers. The window (later the session code) implements it.
class ActivitySessionControl {
 public:
  virtual ~ActivitySessionControl() = default;
  // True while a session runs, that is "Session Stop" enabled and "Session Start" disabled.
  virtual bool sessionOpen() const = 0;
  // Exactly what a press of "Session Start" does (sessionStartClicked).
  virtual void startSession() = 0;
  // Exactly what a press of "Session Stop" does (sessionStopClicked).
  virtual void stopSession() = 0;
};

// Where a block's alarm goes. Called at most once each per block, the sound first.
class ActivityAlarm {
 public:
  virtual ~ActivityAlarm() = default;
  // Start "./SoundAct.wav" without waiting for it.
  virtual void soundAlarm() = 0;
  // Lower the master volume for a while; how far and for how long is the volume's business.
  virtual void muteAlarm() = 0;
};

// An alarm that goes nowhere: for benchmarks and replays.
class NullActivityAlarm final : public ActivityAlarm {
 public:
  void soundAlarm() override {}
  void muteAlarm() override {}
};

// No session control: no session is ever open, and none is started.
class NullActivitySessions final : public ActivitySessionControl {
 public:
  bool sessionOpen() const override { return false; }
  void startSession() override {}
  void stopSession() override {}
};

// What the monitor reads from the "Activity Monitor" page and the settings file. The window keeps
// it current; it is read at every block end.
struct ActivitySettings {
  int alarmLevel = 10;           // TrackBarAct, 0..50: a block below it raises the alarm
  bool sound = false;            // "Sound alarm"
  bool mute = false;             // "Sound Mute Alarm"
  double startThreshold = 4.15;  // ActStart
  double stopThreshold = 0.6;    // ActStop
};

// The four value texts: "#0.00" after a block, "---" after a session start, empty before either.
// The session record takes them as they stand.
struct ActivityTexts {
  QString forceActivity;
  QString motionActivity;
  QString forceAverage;
  QString motionAverage;
};

// Which alarms a block raised.
struct ActivityAlarms {
  bool belowLevel = false;  // its force activity was below the alarm level, whatever follows it
  bool sound = false;
  bool mute = false;
};

// Everything a completed block gives its display.
struct ActivityBlock {
  double forceActivity = 0.0;
  double motionActivity = 0.0;
  double forceAverage = 0.0;  // mean of the block results since the last priming
  double motionAverage = 0.0;
  int blockCount = 0;  // blocks since the last priming, this one included
  // The texts after this block; "Current Belt Activity" shows forceActivity and "Avg Session
  // Activity" forceAverage, on both pages.
  ActivityTexts texts;
  // The y values of the new "Force Activity" and "Motion Activity" chart points; the caller
  // stamps both with its current local date-time, as the core reads no clock.
  double forceChartValue = 0.0;
  double motionChartValue = 0.0;
  ActivityAlarms alarms;
  bool sessionStarted = false;  // the automatic rule pressed "Session Start" in this block
  bool sessionStopped = false;  // the automatic rule pressed "Session Stop" in this block
};

// The activity level: the mean absolute deviation of each block of 200 charted samples from the
// running 200-sample mean, for the force of channel 1 and the X acceleration side by side, with
// the automatic session rule and the alarm decision at every block end.
//
// Per sample the work is constant and nothing is allocated: both ring sums are kept
// incrementally, and texts are formatted (the only allocation) once per block. While "Graph
// Freeze" is on the caller simply feeds nothing, so no block ends and no alarm is raised.
class ActivityMonitor {
 public:
  static constexpr int kWindowLength = 200;  // also the block length: a block ends at the wrap

  // Both collaborators must outlive the monitor; they may call back into it (a session start
  // clears the texts) but must not feed samples from inside a call.
  ActivityMonitor(ActivitySessionControl& sessions, ActivityAlarm& alarm,
                  const ActivitySettings& settings = {});
  // Without a session control and an alarm until they are attached.
  explicit ActivityMonitor(const ActivitySettings& settings = {});

  // Where the automatic session rule and the alarm go from now on; null: nowhere (no session is
  // open, no alarm sounds). They must outlive the monitor or be set back to null.
  void setSessionControl(ActivitySessionControl* sessions);
  void setAlarm(ActivityAlarm* alarm);
  // The alarm's outputs, for whoever else raises the same alarm (an apnea).
  ActivityAlarm& alarm() { return *alarm_; }
  ActivityMonitor(const ActivityMonitor&) = delete;
  ActivityMonitor& operator=(const ActivityMonitor&) = delete;

  // At the zeroing: fills both rings with the given values and restarts the averages. A block in
  // progress is discarded; the automatic session counter, the last results and the texts stay.
  void PrimeActivity(double force, double accelX);

  // One charted sample: the calibrated force of channel 1 in grams and the raw X acceleration.
  // Returns the block's results when this sample completes a block of 200.
  std::optional<ActivityBlock> AddActivitySample(double force, double accelX);

  // What a session start does to the texts: all four become "---".
  void clearTexts();

  ActivitySettings& settings() { return settings_; }
  const ActivitySettings& settings() const { return settings_; }

  double forceActivity() const { return forceActivity_; }
  double motionActivity() const { return motionActivity_; }
  const ActivityTexts& texts() const { return texts_; }
  int autoSessionCount() const { return autoSessionCount_; }
  int blockCount() const { return blockCount_; }
  // Samples already in the current block, 0..199.
  int position() const { return position_; }

 private:
  ActivityBlock endBlock();
  // The automatic rule; one counter serves start and stop.
  void applySessionRule(ActivityBlock& block);
  void raiseAlarm(ActivityBlock& block);

  NullActivitySessions noSessions_;
  NullActivityAlarm noAlarm_;
  ActivitySessionControl* sessions_ = &noSessions_;
  ActivityAlarm* alarm_ = &noAlarm_;
  ActivitySettings settings_;
  fmt::Picture picture_;

  std::array<double, kWindowLength> forceWindow_{};
  std::array<double, kWindowLength> motionWindow_{};
  int position_ = 0;
  double forceSum_ = 0.0;
  double motionSum_ = 0.0;
  double forceDeviation_ = 0.0;
  double motionDeviation_ = 0.0;
  double forceActivity_ = 0.0;
  double motionActivity_ = 0.0;
  double forceTotal_ = 0.0;
  double motionTotal_ = 0.0;
  std::int32_t blockCount_ = 0;
  std::int32_t autoSessionCount_ = 0;
  ActivityTexts texts_;
};

}  // namespace kelvaro
