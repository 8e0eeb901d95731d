#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <functional>

#include "edf/EdfWriter.h"
#include "measure/Recorder.h"
#include "monitor/MeasurementConsumer.h"

namespace kelvaro {

class AppendFile;
class ConsoleLog;
class MonitorCore;
class TickSource;
class WallClock;

// The EDF+ recording as a consumer of the road: every decoded notification of the belt into a
// BDF+ file (EdfWriter), with the run's events in its annotation signals, each at its time:
//   "Recording start", "Recording stop", "Marker" / "Marker: <text>", "Apnea" (with its
//   duration), "Activity alarm", "Session start <user>", "Session stop <user>", "Zero force 1",
//   "Zero force 2", "Link lost: <reason>", "Link back", "Dongle gone", "Dongle back".
// A lost link, the user's Disconnect and a dongle gone end a stretch of samples (the file becomes
// BDF+D, the records after the gap at their true time); none of them closes the file.
//
// Several belts: the file has a set of signals for the first belt and for every further belt
// connected when it is created (EdfWriter). A further belt's events carry its tag, the one of its
// labels: "Apnea Anna", "Activity alarm Anna", "Zero force 1 Anna", "Link lost Anna: <reason>",
// "Link back Anna", "Disconnected Anna"; the first belt's are as above, the run's (markers, the
// dongle) are noted once. A belt connected later is not in the file: "Belt <name> connected (not
// recorded)", once for each of its connections, and its samples are not taken; a recorded belt
// that connects again (the same DeviceId) goes on in its own signals.
//
// Like the CSV recorder, a start is a request acted on with the next plotted sample (so that the
// forces have been zeroed), and an existing file is refused. A stop closes the file at once: a
// recording ended while the belt is out of reach would otherwise wait for it. The status goes to
// the same RecorderView.
class EdfRecorder final : public MeasurementConsumer {
 public:
  // The recording's file name extension: the belt's forces need the 24 bits of BDF+ (see
  // EdfSignals.h), so its EDF+ recordings are BDF+ files.
  static inline const QString kExtension = QStringLiteral(".bdf");

  // The calibration of belt `belt` (0: the first), none when the core has no such belt.
  using BeltCalibration = std::function<const Calibration*(int belt)>;
  // The calibrations of `core`'s belts, which must outlive the recorder.
  static BeltCalibration calibrationsOf(const MonitorCore& core);

  // Everything passed in must outlive the recorder. `ticks` is the core's clock; `calibration`
  // gives the core's belts' calibrations, read when a file is created.
  EdfRecorder(AppendFile& reservation, const WallClock& clock, const TickSource& ticks,
              BeltCalibration calibration, ConsoleLog& console);
  ~EdfRecorder() override;

  void setView(RecorderView* view) { view_ = view; }
  // The header's user, belt and program, asked when a file is created.
  void setIdentity(std::function<edf::RecordingIdentity()> identity) {
    identity_ = std::move(identity);
  }

  // "Start Log": "./<name>.bdf", the name from the view, with the next plotted sample.
  void startLogClicked();
  // A recording into `path` exactly, with the next plotted sample.
  void startRecording(const QString& path);
  // "EndLog": the file is closed now; a start not yet acted on is called off.
  void endLogClicked();
  // The program ends: an open file is closed, without a word to the view.
  void finish();

  RecorderState state() const { return state_; }
  const QString& path() const { return path_; }
  const edf::EdfWriter& writer() const { return writer_; }

  void samplePlotted(const PlottedSample& sample) override;
  void notificationDecoded(const DecodedNotification& notification) override;
  void linkChanged(const LinkChange& change) override;
  void eventNoted(const MonitorEvent& event) override;
  void beltNamed(int belt, const QString& name) override;

 private:
  // What the recorder knows of a belt slot of the core (belt 0 is the first belt).
  struct Belt {
    bool connected = false;  // from its Connected to its Disconnected
    QString deviceId;
    QString name;  // as the core named it; empty while not named
    int set = -1;  // its set of signals in the open file; -1: none
    bool notedUnrecorded = false;
  };
  // A further belt's set of signals in the open file.
  struct Set {
    QString deviceId;
    QString tag;    // of its labels, in its events
    int slot = -1;  // the belt whose samples it takes; -1: none now
  };

  // The belt's name, or while it has none the last four digits of its DeviceId, as the core's.
  QString nameOf(int belt) const;
  void furtherLinkChanged(int slot, const LinkChange& change);
  // A further belt connected while a file is open: into its signals if it is in the file.
  void furtherBeltConnected(int slot);
  // The text of a further belt's event: the first belt's with the belt's tag.
  QString ofBelt(const QString& text, int set) const;

  void create(std::uint32_t tick);
  void note(std::uint32_t tick, std::int64_t durationMs, const QString& text);
  // Closes the file: "Recording stop" at `tick`, then what the writer says.
  void close(std::uint32_t tick, bool tellView);
  void fail(const char* what, const QString& reason);

  edf::EdfWriter writer_;
  const WallClock& clock_;
  const TickSource& ticks_;
  BeltCalibration calibration_;
  ConsoleLog& console_;
  RecorderView* view_ = nullptr;
  std::function<edf::RecordingIdentity()> identity_;
  RecorderState state_ = RecorderState::Idle;
  QString requestedPath_;  // empty: from the view's name
  QString path_;
  std::array<Belt, edf::kMaxBelts> belts_{};
  std::array<Set, edf::kMaxBelts> sets_{};  // [0]: the first belt's, unused
  std::uint32_t firstTick_ = 0;
  bool sampleWritten_ = false;
};

}  // namespace kelvaro
