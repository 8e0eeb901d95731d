#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <array>
#include <cstdint>
#include <vector>

#include "edf/EdfSignals.h"
#include "measure/MeasurementState.h"
#include "platform/LockedFile.h"

namespace kelvaro {

class AppendFile;

namespace edf {

// Who and what a recording is of: the header's patient and recording fields.
struct RecordingIdentity {
  QString user;      // the patient field is "X X X <user>", blanks as "_"
  QString deviceId;  // the belt, named in the recording field
  QString program;   // the program and its version, likewise
};

// One BDF+ recording of the belt, written through EDFlib: the seven signals of EdfSignals.h,
// one-second data records of 20 samples each, the events in annotation signals. Every whole
// record is handed to the system as it is complete, so a cut file keeps them (and is repaired by
// EdfRepair); a record that is not whole when the data stops is not written, for a record holds
// no made-up samples.
//
// Time: a stretch of samples starts at the true time of its first sample, after it one sample
// every 50 ms (the belt's clock). A gap (the link lost, the dongle gone, or data that comes late
// by more than kLateMs) ends a stretch; the next one starts at its own time. A file with more
// than one stretch is BDF+D: its header says so and every record's time-keeping list gives its
// start, mended as each record is written (so that a cut file keeps its times too) and again
// after EDFlib has added the events at the close. EDFlib writes BDF+C only; that mending is the
// one thing done to the file besides it. The events themselves are EDFlib's until the close: a
// file cut before it has none.
class EdfWriter {
 public:
  // Samples later than their place in the stretch by this much start a stretch of their own.
  static constexpr std::uint32_t kLateMs = 1000;
  // EDFlib places one event per annotation signal and record; four a second make room for a
  // person's markers in quick succession as well as the program's own events.
  static constexpr int kAnnotationSignals = 4;
  // EDFlib keeps this much of an event's text (bytes of UTF-8).
  static constexpr int kMaxEventTextBytes = 40;

  enum class Opened { kYes, kExists, kFailed };

  // `reservation` creates the file first (O_EXCL: an existing one is refused) and is closed
  // again before EDFlib opens it; it must outlive the writer.
  explicit EdfWriter(AppendFile& reservation);
  ~EdfWriter();
  EdfWriter(const EdfWriter&) = delete;
  EdfWriter& operator=(const EdfWriter&) = delete;

  // Creates path, refused when it exists. `start` is the wall-clock time of the first sample
  // (to the millisecond); the calibration's slopes choose the force ranges.
  Opened open(const QString& path, const RecordingIdentity& identity, const QDateTime& start,
              const Calibration& calibration, QString* reason);
  bool isOpen() const { return handle_ >= 0; }
  const QString& path() const { return path_; }

  // One sample of the belt, `atMs` after the first one. False with the reason when EDFlib could
  // not write a record.
  bool addSample(const MeasurementState& state, std::uint32_t atMs, QString* reason);
  // The data stopped: what there is of the current record is dropped and the next sample starts
  // a stretch.
  void breakStretch();
  // An event at `atMs` after the first sample; durationMs < 0: none. Its text is cut to
  // kMaxEventTextBytes at a character's end.
  void annotate(std::uint32_t atMs, std::int64_t durationMs, const QString& text);
  // Closes the file: the events and the record count written, the file marked discontinuous when
  // it is, synced. A recording without a whole record leaves no file (removed = true). False with
  // the reason on an error; the file is closed either way.
  bool close(QString* reason, bool* removed = nullptr);

  std::int64_t records() const { return records_; }
  int events() const { return events_; }
  int stretches() const { return static_cast<int>(stretches_.size()); }
  // Events that did not fit into the annotation signals of the records written so far.
  int eventsBeyondRoom() const;

 private:
  struct Stretch {
    std::int64_t firstRecord;
    std::uint32_t onsetMs;  // after the first sample
  };

  bool writeRecord(QString* reason);
  // The record just written starts a stretch after the first, or continues one: its time list
  // made to say when it starts (the header marked discontinuous the first time).
  bool retimeWrittenRecord(QString* reason);
  // After the close: every record of a later stretch given its time again, its events kept.
  bool retimeAfterClose(QString* reason);
  bool readLayout(QString* reason);
  std::int64_t recordOnsetMs(std::size_t stretch, std::int64_t record) const;
  void abandon();

  AppendFile& reservation_;
  LockedFile lock_;
  int handle_ = -1;
  QString path_;
  std::int64_t subsecond_ = 0;  // of the start, in 100 ns units
  std::array<SignalHeader, kSignalCount> headers_{};
  std::array<int, kSignalCount * kSamplesPerRecord> record_{};
  QByteArray timeList_;  // a record's first annotation signal, as it is written
  int filled_ = 0;
  std::uint32_t recordOnsetMs_ = 0;  // of the record being filled
  bool inStretch_ = false;
  std::uint32_t stretchOnsetMs_ = 0;
  std::int64_t stretchSamples_ = 0;
  std::int64_t records_ = 0;
  std::uint32_t nextFreeMs_ = 0;  // the end of the last record written
  int events_ = 0;
  std::vector<Stretch> stretches_;
  // Where the records' time lists are, read from the header EDFlib wrote (at the first gap).
  std::int64_t headerBytes_ = 0;
  std::int64_t recordBytes_ = 0;
  std::int64_t annotationOffset_ = -1;
  std::int64_t annotationBytes_ = 0;
  bool markedDiscontinuous_ = false;
};

}  // namespace edf
}  // namespace kelvaro
