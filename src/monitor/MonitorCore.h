#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "activity/ActivityMonitor.h"
#include "base/ConsoleLog.h"
#include "breathing/BreathDetector.h"
#include "link/CommandSender.h"
#include "link/Dispatcher.h"
#include "link/LinkState.h"
#include "link/RxFramer.h"
#include "link/ScanList.h"
#include "link/Stopwatch.h"
#include "measure/LiveGraphModel.h"
#include "measure/MeasurementState.h"
#include "measure/Recorder.h"
#include "monitor/MonitorDisplay.h"
#include "platform/AppendFile.h"
#include "scratch/SensorUpdate.h"

namespace kelvaro {

class SerialTransport;
class TickSource;

// The headless core of the monitor: the state that lives for the whole run (the framer, the link
// flags, the scan list, the decoded measurement, the calibration, the live graph's model with its
// write position, the stopwatch) and the road of one measurement, from the port's bytes to the
// last consumer. It knows no widget: the window, a test, a benchmark or a replay creates it with
// a transport, a clock and a display, and sets its switches.
class MonitorCore final : private MeasurementSink {
 public:
  // Everything passed in must outlive the core.
  MonitorCore(TickSource& ticks, EventPump& pump, SerialTransport& port, ScanView& scanView,
              MonitorDisplay& display);
  MonitorCore(const MonitorCore&) = delete;
  MonitorCore& operator=(const MonitorCore&) = delete;

  // The port's receive event: every waiting byte through the framer, packets dispatched as
  // they complete.
  void receive();
  // Bytes from any other source (a replay, a benchmark), fed as if they had been received.
  void feed(const std::uint8_t* bytes, std::size_t count);

  MonitorSwitches& switches() { return switches_; }

  // Where the activity computation's automatic session rule and alarm go; without them no
  // session is ever open and no alarm sounds. They must outlive the core or be set back to null.
  void setSessionControl(ActivitySessionControl* sessions) { hooks_.sessions = sessions; }
  void setActivityAlarm(ActivityAlarm* alarm) { hooks_.alarm = alarm; }
  ActivityMonitor& activity() { return activity_; }
  // The breath detector; reset by the window when no belt is connected. Its apnea sounds the
  // activity alarm's outputs, as they are ticked.
  BreathDetector& breathing() { return breath_; }
  // Where the key triggers' presses and releases go; nowhere while null.
  void setKeySink(KeySink* sink) { keySink_.sink = sink; }
  // The key triggers; the window gives them their working copies and switches them on and off.
  KeyTriggers& keys() { return keys_; }
  // Where every notification's values go last (the Scratch link); nowhere while null.
  void setScratchSink(SensorUpdateSink* sink) { scratch_ = sink; }

  ConsoleLog& console() { return console_; }
  LinkState& link() { return link_; }
  ScanList& scanList() { return scanList_; }
  MeasurementState& measurement() { return measurement_; }
  const MeasurementState& measurement() const { return measurement_; }
  Calibration& calibration() { return calibration_; }
  // The measurement recorder; its file is the real one unless a test or a benchmark sets another.
  Recorder& recorder() { return recorder_; }
  livegraph::LiveGraphModel& graph() { return graph_; }
  const livegraph::LiveGraphModel& graph() const { return graph_; }
  CommandSender& commands() { return commands_; }
  Dispatcher& dispatcher() { return dispatcher_; }
  RxFramer& framer() { return framer_; }
  tTimer& stopwatch() { return stopwatch_; }
  Waiter& waiter() { return waiter_; }

 private:
  void handleMeasurementNotification(const BgapiPacket& packet) override;
  // The breathing step: the detector fed with every decoded notification, a peak marked where it
  // was plotted, an apnea's alarm.
  void detectBreath(const NotificationOutcome& out, int plottedSlot);

  struct KeySinkHook final : KeySink {
    KeySink* sink = nullptr;
    void keyDown(int key) override {
      if (sink) sink->keyDown(key);
    }
    void keyUp(int key) override {
      if (sink) sink->keyUp(key);
    }
  };

  // The activity computation's way out, to whatever the window (or nobody) has attached.
  struct ActivityHooks final : ActivitySessionControl, ActivityAlarm {
    ActivitySessionControl* sessions = nullptr;
    ActivityAlarm* alarm = nullptr;
    bool sessionOpen() const override { return sessions != nullptr && sessions->sessionOpen(); }
    void startSession() override {
      if (sessions) sessions->startSession();
    }
    void stopSession() override {
      if (sessions) sessions->stopSession();
    }
    void soundAlarm() override {
      if (alarm) alarm->soundAlarm();
    }
    void muteAlarm() override {
      if (alarm) alarm->muteAlarm();
    }
  };

  SerialTransport& port_;
  MonitorDisplay& display_;
  MonitorSwitches switches_;
  ConsoleLog console_;
  tTimer stopwatch_;
  Waiter waiter_;
  LinkState link_;
  ScanList scanList_;
  MeasurementState measurement_;
  Calibration calibration_;
  livegraph::LiveGraphModel graph_;
  PosixAppendFile recordFile_;
  Recorder recorder_{recordFile_};
  ActivityHooks hooks_;
  ActivityMonitor activity_;
  BreathDetector breath_;
  // The notifications numbered as they come (from 1), and the one each slot of the sweep shows,
  // so that a breath confirmed later (a held one when it is breathed out) finds the slot of its
  // peak for as long as the sweep shows it, and none once the slot has been written again.
  std::uint64_t notifications_ = 0;
  std::array<std::uint64_t, livegraph::kPointCount> slotShows_{};
  KeySinkHook keySink_;
  SensorUpdateSink* scratch_ = nullptr;
  KeyTriggers keys_;
  CommandSender commands_;
  Dispatcher dispatcher_;
  RxFramer framer_;
};

}  // namespace kelvaro
