#pragma once

#include <QString>
#include <cstdint>
#include <string>

#include "measure/MeasurementState.h"

namespace kelvaro {

class AppendFile;

enum class RecorderState : std::int32_t {
  Idle = 0,            // no file open
  StartRequested = 1,  // the file is created with the next plotted sample
  Recording = 2,       // each plotted sample appends a row
  StopRequested = 3,   // the file is closed with the next plotted sample
};

// What the recorder shows: the status label and the two buttons of "Scientific Tools".
class RecorderView {
 public:
  virtual ~RecorderView() = default;
  // The file name as typed, without folder and extension.
  virtual QString fileNameText() const = 0;
  // The start was refused: "Soubor existuje" on red; "Start Log" stays usable.
  virtual void showFileExists() = 0;
  // The file was created: "OK" on the normal background; "Start Log" unusable.
  virtual void showRecording() = 0;
  // The first row is in the file: "EndLog" usable.
  virtual void showFirstRow() = 0;
  // The file was closed: "Stop"; "Start Log" usable, "EndLog" not.
  virtual void showStopped() = 0;
  // An input/output error ended the recording (message names the file and the reason);
  // "Start Log" usable, "EndLog" not.
  virtual void showFailure(const QString& message) = 0;
};

// The measurement recorder: the plotted samples into "./<name>.csv", one row each. The buttons
// only place a request; RecordSample acts on it with the next plotted sample, in three checks
// in this order, so one sample can create the file and write its first row:
//   1. StartRequested: create the file (refused when it exists) -> Recording or Idle;
//   2. Recording: append the row;
//   3. StopRequested: close the file (no row) -> Idle.
// Every row is handed to the system as it is written, and the file is flushed and synced when
// it closes. An input/output error is reported once; the recorder closes what it can and goes
// back to Idle.
class Recorder {
 public:
  explicit Recorder(AppendFile& file) : file_(&file) { row_.reserve(96); }

  // Where the status goes; nowhere while null. Must outlive the recorder or be set back.
  void setView(RecorderView* view) { view_ = view; }
  // Where the rows go from the next start on.
  void setFile(AppendFile& file) { file_ = &file; }

  void startLogClicked() {
    requestedPath_.clear();
    state_ = RecorderState::StartRequested;
  }
  // A recording into `path` exactly (the command line's), acted on like "Start Log".
  void startRecording(const QString& path) {
    requestedPath_ = path;
    state_ = RecorderState::StartRequested;
  }
  void endLogClicked() { state_ = RecorderState::StopRequested; }
  // Once for every plotted sample, after it was plotted and the write position advanced.
  void RecordSample(const MeasurementState& m);
  // The program ends: an open file is closed (flushed and synced) without a word.
  void finish();

  RecorderState state() const { return state_; }
  // The file of the recording running or last started.
  const QString& path() const { return path_; }

  // The row of one sample: eight fields joined by ";" and CR LF.
  static void formatRow(std::string& out, const MeasurementState& m);

 private:
  void fail(const char* what, const QString& reason);

  AppendFile* file_;
  RecorderView* view_ = nullptr;
  RecorderState state_ = RecorderState::Idle;
  bool rowWritten_ = false;
  QString path_;
  QString requestedPath_;  // empty: from the view's name
  std::string row_;
};

}  // namespace kelvaro
