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
//
// Several belts: one set of the seven signals per belt, the first belt's first (labelled as with
// one belt), each further belt's after it with its tag in the labels. The first belt's samples
// make the records and their times, as above. A further belt's samples, which come interleaved
// with the first belt's at about the same rate, wait in a small buffer of its own; when the first
// belt's record is whole, the record takes up to 20 of them in their order, and where the belt
// sent fewer (its link lost, or the two clocks a sample apart) its last value is repeated for the
// rest ("padded", counted). What the record did not take starts the next one; beyond
// kCarrySamples of them a further sample is left out (counted), so that a belt whose clock runs
// faster stays within a few samples of the first belt's time. A gap of the first belt drops what
// the further belts had waiting with its own unfinished record: the file has no time there.
class EdfWriter {
 public:
  // Samples later than their place in the stretch by this much start a stretch of their own.
  static constexpr std::uint32_t kLateMs = 1000;
  // EDFlib places one event per annotation signal and record; four a second make room for a
  // person's markers in quick succession as well as the program's own events.
  static constexpr int kAnnotationSignals = 4;
  // EDFlib keeps this much of an event's text (bytes of UTF-8).
  static constexpr int kMaxEventTextBytes = 40;

  // A further belt's samples the next record may carry beyond its 20.
  static constexpr int kCarrySamples = 2;

  enum class Opened { kYes, kExists, kFailed };

  // One belt's set of signals: the slopes that choose its force ranges, and for a further belt
  // the tag of its labels (see beltTag() in EdfSignals.h; the first belt's is not used).
  struct BeltSignals {
    Calibration calibration;
    QByteArray tag;
  };

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
  // The same with a set of signals for each of `belts` (1..kMaxBelts; the first is the first
  // belt's, the rest are the further belts 1.. of addBeltSample()).
  Opened open(const QString& path, const RecordingIdentity& identity, const QDateTime& start,
              const std::vector<BeltSignals>& belts, QString* reason);
  bool isOpen() const { return handle_ >= 0; }
  const QString& path() const { return path_; }

  // One sample of the belt, `atMs` after the first one. False with the reason when EDFlib could
  // not write a record.
  bool addSample(const MeasurementState& state, std::uint32_t atMs, QString* reason);
  // One sample of further belt `belt` (1..belts()-1), for the record the first belt's samples
  // fill; none is taken while the first belt's data has stopped (there is no record then).
  void addBeltSample(int belt, const MeasurementState& state);
  // The first belt's data stopped: what there is of the current record is dropped and the next
  // sample starts a stretch.
  void breakStretch();
  // An event at `atMs` after the first sample; durationMs < 0: none. Its text is cut to
  // kMaxEventTextBytes at a character's end.
  void annotate(std::uint32_t atMs, std::int64_t durationMs, const QString& text);
  // Closes the file: the events and the record count written, the file marked discontinuous when
  // it is, synced. A recording without a whole record leaves no file (removed = true). False with
  // the reason on an error; the file is closed either way.
  bool close(QString* reason, bool* removed = nullptr);

  int belts() const { return belts_; }
  // A further belt's samples repeated for want of one, and those left out for want of room.
  std::int64_t paddedSamples(int belt) const;
  std::int64_t leftOutSamples(int belt) const;

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

  // A further belt's samples on the way into the records.
  struct Waiting {
    std::array<std::array<int, kSignalCount>, kSamplesPerRecord + kCarrySamples> samples{};
    int count = 0;
    std::array<int, kSignalCount> last{};  // the last one a record took (0 before any)
    std::int64_t padded = 0;
    std::int64_t leftOut = 0;
  };

  bool writeRecord(QString* reason);
  // The further belts' signals of the record about to be written.
  void fillFurtherBelts();
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
  int belts_ = 1;
  std::array<std::array<SignalHeader, kSignalCount>, kMaxBelts> headers_{};
  std::array<std::array<QByteArray, kSignalCount>, kMaxBelts> labels_;  // the further belts'
  std::array<Waiting, kMaxBelts> waiting_{};                            // [0] unused
  std::array<int, kMaxBelts * kSignalCount * kSamplesPerRecord> record_{};
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
