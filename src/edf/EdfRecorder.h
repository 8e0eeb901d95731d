#pragma once

#include <QString>
#include <cstdint>
#include <functional>

#include "edf/EdfWriter.h"
#include "measure/Recorder.h"
#include "monitor/MeasurementConsumer.h"

namespace kelvaro {

class AppendFile;
class ConsoleLog;
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
// Like the CSV recorder, a start is a request acted on with the next plotted sample (so that the
// forces have been zeroed), and an existing file is refused. A stop closes the file at once: a
// recording ended while the belt is out of reach would otherwise wait for it. The status goes to
// the same RecorderView.
class EdfRecorder final : public MeasurementConsumer {
 public:
  // The recording's file name extension: the belt's forces need the 24 bits of BDF+ (see
  // EdfSignals.h), so its EDF+ recordings are BDF+ files.
  static inline const QString kExtension = QStringLiteral(".bdf");

  // Everything passed in must outlive the recorder. `ticks` is the core's clock; `calibration`
  // the core's, read when a file is created.
  EdfRecorder(AppendFile& reservation, const WallClock& clock, const TickSource& ticks,
              const Calibration& calibration, ConsoleLog& console);
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

 private:
  void create(std::uint32_t tick);
  void note(std::uint32_t tick, std::int64_t durationMs, const QString& text);
  // Closes the file: "Recording stop" at `tick`, then what the writer says.
  void close(std::uint32_t tick, bool tellView);
  void fail(const char* what, const QString& reason);

  edf::EdfWriter writer_;
  const WallClock& clock_;
  const TickSource& ticks_;
  const Calibration& calibration_;
  ConsoleLog& console_;
  RecorderView* view_ = nullptr;
  std::function<edf::RecordingIdentity()> identity_;
  RecorderState state_ = RecorderState::Idle;
  QString requestedPath_;  // empty: from the view's name
  QString path_;
  std::uint32_t firstTick_ = 0;
  bool sampleWritten_ = false;
};

}  // namespace kelvaro
