#include "edf/EdfWriter.h"

#include <QFile>
#include <algorithm>

#include <edflib.h>

#include "edf/EdfLayout.h"
#include "platform/AppendFile.h"

namespace kelvaro::edf {

namespace {

constexpr std::int64_t kTimeUnitsPerMs = 10000;     // EDFlib's header times: 100 ns
constexpr std::int64_t kAnnotationUnitsPerMs = 10;  // its annotation times: 100 us

QString edflibError(int code) {
  switch (code) {
    case EDFLIB_MALLOC_ERROR:
      return QStringLiteral("out of memory");
    case EDFLIB_NO_SUCH_FILE_OR_DIRECTORY:
      return QStringLiteral("the file cannot be opened for writing");
    case EDFLIB_MAXFILES_REACHED:
      return QStringLiteral("too many files open");
    case EDFLIB_FILE_ALREADY_OPENED:
      return QStringLiteral("the file is being written already");
    default:
      return QStringLiteral("EDFlib error %1").arg(code);
  }
}

// At most `bytes` bytes of UTF-8, cut at the end of a character.
QByteArray utf8Within(const QString& text, int bytes) {
  QByteArray utf8 = text.toUtf8();
  if (utf8.size() <= bytes) return utf8;
  int end = bytes;
  // Back to the first byte of the character that does not fit.
  while (end > 0 && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) --end;
  utf8.truncate(end);
  return utf8;
}

}  // namespace

EdfWriter::EdfWriter(AppendFile& reservation) : reservation_(reservation) {
  stretches_.reserve(16);
}

EdfWriter::~EdfWriter() {
  if (isOpen()) close(nullptr);
}

EdfWriter::Opened EdfWriter::open(const QString& path, const RecordingIdentity& identity,
                                  const QDateTime& start, const Calibration& calibration,
                                  QString* reason) {
  return open(path, identity, start, std::vector<BeltSignals>{BeltSignals{calibration, {}}},
              reason);
}

EdfWriter::Opened EdfWriter::open(const QString& path, const RecordingIdentity& identity,
                                  const QDateTime& start, const std::vector<BeltSignals>& belts,
                                  QString* reason) {
  if (isOpen()) close(nullptr);
  if (belts.empty() || belts.size() > static_cast<std::size_t>(kMaxBelts)) {
    if (reason) *reason = QStringLiteral("a recording is of 1 to %1 belts").arg(kMaxBelts);
    return Opened::kFailed;
  }
  switch (reservation_.create(path, reason)) {
    case AppendFile::Created::kExists:
      return Opened::kExists;
    case AppendFile::Created::kFailed:
      return Opened::kFailed;
    case AppendFile::Created::kYes:
      break;
  }
  reservation_.close(nullptr);

  const QByteArray name = QFile::encodeName(path);
  const int signalTotal = static_cast<int>(belts.size()) * kSignalCount;
  const int handle = edfopen_file_writeonly(name.constData(), EDFLIB_FILETYPE_BDFPLUS, signalTotal);
  if (handle < 0) {
    if (reason) *reason = edflibError(handle);
    QFile::remove(path);
    return Opened::kFailed;
  }
  handle_ = handle;
  path_ = path;
  // Held from now on: a repair of cut recordings leaves a file alone while it is written.
  lock_.open(path, nullptr);

  belts_ = static_cast<int>(belts.size());
  headers_[0] = signalHeaders(belts[0].calibration);
  for (std::size_t b = 1; b < belts.size(); ++b) {
    for (int s = 0; s < kSignalCount; ++s) {
      labels_[b][static_cast<std::size_t>(s)] = beltLabel(s, belts[b].tag);
    }
    headers_[b] = signalHeaders(belts[b].calibration, labels_[b]);
  }
  bool ok = true;
  for (int i = 0; i < signalTotal; ++i) {
    const SignalHeader& s = headers_[static_cast<std::size_t>(i / kSignalCount)]
                                    [static_cast<std::size_t>(i % kSignalCount)];
    ok = ok && edf_set_samplefrequency(handle, i, kSamplesPerRecord) == 0 &&
         edf_set_physical_maximum(handle, i, s.physicalMax) == 0 &&
         edf_set_physical_minimum(handle, i, s.physicalMin) == 0 &&
         edf_set_digital_maximum(handle, i, s.digitalMax) == 0 &&
         edf_set_digital_minimum(handle, i, s.digitalMin) == 0 &&
         edf_set_label(handle, i, s.label) == 0 &&
         edf_set_physical_dimension(handle, i, s.unit) == 0;
  }
  const QDate date = start.date();
  const QTime time = start.time();
  subsecond_ = std::int64_t(time.msec()) * kTimeUnitsPerMs;
  const QByteArray user = identity.user.toLatin1();
  const QByteArray belt = identity.deviceId.toLatin1();
  const QByteArray program = identity.program.toLatin1();
  ok = ok && edf_set_number_of_annotation_signals(handle, kAnnotationSignals) == 0 &&
       edf_set_startdatetime(handle, date.year(), date.month(), date.day(), time.hour(),
                             time.minute(), time.second()) == 0 &&
       edf_set_subsecond_starttime(handle, static_cast<int>(subsecond_)) == 0 &&
       edf_set_patientname(handle, user.constData()) == 0 &&
       edf_set_equipment(handle, belt.constData()) == 0 &&
       edf_set_recording_additional(handle, program.constData()) == 0;
  if (!ok) {
    if (reason) *reason = QStringLiteral("EDFlib refused the recording's header");
    abandon();
    return Opened::kFailed;
  }
  filled_ = 0;
  for (Waiting& w : waiting_) w = Waiting{};
  inStretch_ = false;
  stretchSamples_ = 0;
  records_ = 0;
  nextFreeMs_ = 0;
  events_ = 0;
  stretches_.clear();
  annotationOffset_ = -1;
  markedDiscontinuous_ = false;
  return Opened::kYes;
}

bool EdfWriter::addSample(const MeasurementState& state, std::uint32_t atMs, QString* reason) {
  if (!isOpen()) return true;
  if (inStretch_) {
    const std::int64_t expected = std::int64_t(stretchOnsetMs_) + stretchSamples_ * kSampleMs;
    if (std::int64_t(atMs) > expected + kLateMs) breakStretch();
  }
  if (!inStretch_) {
    // At its own time, but never before the end of the record written last.
    stretchOnsetMs_ = std::max(atMs, nextFreeMs_);
    stretchSamples_ = 0;
    filled_ = 0;
    inStretch_ = true;
  }
  if (filled_ == 0) {
    recordOnsetMs_ = static_cast<std::uint32_t>(stretchOnsetMs_ + stretchSamples_ * kSampleMs);
  }
  for (int s = 0; s < kSignalCount; ++s) {
    record_[static_cast<std::size_t>(s * kSamplesPerRecord + filled_)] =
        digitalValue(headers_[0], s, state);
  }
  ++filled_;
  ++stretchSamples_;
  return filled_ < kSamplesPerRecord || writeRecord(reason);
}

void EdfWriter::addBeltSample(int belt, const MeasurementState& state) {
  if (!isOpen() || !inStretch_ || belt < 1 || belt >= belts_) return;
  Waiting& w = waiting_[static_cast<std::size_t>(belt)];
  if (w.count == static_cast<int>(w.samples.size())) {
    ++w.leftOut;
    return;
  }
  const auto& headers = headers_[static_cast<std::size_t>(belt)];
  auto& sample = w.samples[static_cast<std::size_t>(w.count++)];
  for (int s = 0; s < kSignalCount; ++s) {
    sample[static_cast<std::size_t>(s)] = digitalValue(headers, s, state);
  }
}

void EdfWriter::fillFurtherBelts() {
  for (int b = 1; b < belts_; ++b) {
    Waiting& w = waiting_[static_cast<std::size_t>(b)];
    const int taken = std::min(w.count, kSamplesPerRecord);
    for (int i = 0; i < kSamplesPerRecord; ++i) {
      if (i < taken) w.last = w.samples[static_cast<std::size_t>(i)];
      for (int s = 0; s < kSignalCount; ++s) {
        const int signal = b * kSignalCount + s;
        record_[static_cast<std::size_t>(signal * kSamplesPerRecord + i)] =
            w.last[static_cast<std::size_t>(s)];
      }
    }
    w.padded += kSamplesPerRecord - taken;
    // What the record did not take waits for the next one.
    std::copy(w.samples.begin() + taken, w.samples.begin() + w.count, w.samples.begin());
    w.count -= taken;
  }
}

std::int64_t EdfWriter::paddedSamples(int belt) const {
  return belt >= 1 && belt < belts_ ? waiting_[static_cast<std::size_t>(belt)].padded : 0;
}

std::int64_t EdfWriter::leftOutSamples(int belt) const {
  return belt >= 1 && belt < belts_ ? waiting_[static_cast<std::size_t>(belt)].leftOut : 0;
}

bool EdfWriter::writeRecord(QString* reason) {
  filled_ = 0;
  fillFurtherBelts();
  // A record that does not follow the last one starts a stretch in the file.
  if (stretches_.empty() || recordOnsetMs_ != nextFreeMs_) {
    stretches_.push_back(Stretch{records_, recordOnsetMs_});
  }
  if (edf_blockwrite_digital_samples(handle_, record_.data()) != 0) {
    if (reason) *reason = QStringLiteral("a data record could not be written");
    return false;
  }
  ++records_;
  nextFreeMs_ = recordOnsetMs_ + kRecordMs;
  return stretches_.size() < 2 || retimeWrittenRecord(reason);
}

bool EdfWriter::readLayout(QString* reason) {
  if (annotationOffset_ >= 0) return true;
  const QByteArray fixed = lock_.readAt(0, EdfLayout::kFixedHeaderBytes);
  const auto size = headerSize(fixed);
  QString why;
  const auto layout = size ? parseLayout(lock_.readAt(0, *size), &why) : std::nullopt;
  if (!layout || layout->annotationOffset < 0) {
    if (reason) *reason = QStringLiteral("EDFlib wrote a header that cannot be read back: ") + why;
    return false;
  }
  headerBytes_ = layout->headerBytes;
  recordBytes_ = layout->recordBytes;
  annotationOffset_ = layout->annotationOffset;
  annotationBytes_ = layout->annotationBytes;
  timeList_ = QByteArray(static_cast<qsizetype>(annotationBytes_), '\0');
  return true;
}

std::int64_t EdfWriter::recordOnsetMs(std::size_t stretch, std::int64_t record) const {
  return std::int64_t(stretches_[stretch].onsetMs) +
         (record - stretches_[stretch].firstRecord) * kRecordMs;
}

bool EdfWriter::retimeWrittenRecord(QString* reason) {
  // A device (a benchmark's null file) keeps nothing to mend.
  if (!lock_.isOpen() || lock_.size() <= 0) return true;
  if (!readLayout(reason)) return false;
  if (!markedDiscontinuous_) {
    if (!lock_.writeAt(EdfLayout::kReservedOffset, QByteArrayLiteral("BDF+D"), reason)) {
      return false;
    }
    markedDiscontinuous_ = true;
  }
  // While the file is written, a record's first annotation signal holds its time list alone.
  const std::int64_t record = records_ - 1;
  const std::int64_t onset =
      subsecond_ + recordOnsetMs(stretches_.size() - 1, record) * kTimeUnitsPerMs;
  if (!writeTimeKeeping(onset, timeList_.data(), static_cast<std::size_t>(timeList_.size()))) {
    if (reason) *reason = QStringLiteral("a record's time list does not have room");
    return false;
  }
  return lock_.writeAt(headerBytes_ + record * recordBytes_ + annotationOffset_, timeList_, reason);
}

void EdfWriter::breakStretch() {
  inStretch_ = false;
  filled_ = 0;
  // The further belts' samples of the record dropped go with it.
  for (Waiting& w : waiting_) w.count = 0;
}

void EdfWriter::annotate(std::uint32_t atMs, std::int64_t durationMs, const QString& text) {
  if (!isOpen()) return;
  const QByteArray utf8 = utf8Within(text, kMaxEventTextBytes);
  const long long duration = durationMs < 0 ? -1LL : durationMs * kAnnotationUnitsPerMs;
  if (edfwrite_annotation_utf8(handle_, std::int64_t(atMs) * kAnnotationUnitsPerMs, duration,
                               utf8.constData()) == 0) {
    ++events_;
  }
}

int EdfWriter::eventsBeyondRoom() const {
  const std::int64_t room = records_ * kAnnotationSignals;
  return events_ > room ? static_cast<int>(events_ - room) : 0;
}

void EdfWriter::abandon() {
  edfclose_file(handle_);
  handle_ = -1;
  lock_.close();
  QFile::remove(path_);
}

bool EdfWriter::close(QString* reason, bool* removed) {
  if (removed) *removed = false;
  if (!isOpen()) return true;
  if (records_ == 0) {
    // EDFlib would write the events into records without samples; nothing is better.
    abandon();
    if (removed) *removed = true;
    return true;
  }
  const int closed = edfclose_file(handle_);
  handle_ = -1;
  bool ok = closed == 0;
  if (!ok && reason) *reason = QStringLiteral("the file could not be closed");
  if (ok && stretches_.size() > 1) ok = retimeAfterClose(reason);
  if (!lock_.sync(ok ? reason : nullptr)) ok = false;
  lock_.close();
  return ok;
}

bool EdfWriter::retimeAfterClose(QString* reason) {
  if (!lock_.isOpen() || lock_.size() <= 0) return true;
  if (!readLayout(reason)) return false;
  // EDFlib wrote the events into the records' first annotation signals with the times it counts
  // itself; the records of the first stretch keep those.
  for (std::size_t s = 1; s < stretches_.size(); ++s) {
    const std::int64_t end = s + 1 < stretches_.size() ? stretches_[s + 1].firstRecord : records_;
    for (std::int64_t r = stretches_[s].firstRecord; r < end; ++r) {
      const std::int64_t at = headerBytes_ + r * recordBytes_ + annotationOffset_;
      const auto retimed = retimedAnnotations(lock_.readAt(at, annotationBytes_),
                                              subsecond_ + recordOnsetMs(s, r) * kTimeUnitsPerMs);
      if (!retimed) {
        if (reason) *reason = QStringLiteral("a record's time list does not have room");
        return false;
      }
      if (!lock_.writeAt(at, *retimed, reason)) return false;
    }
  }
  return true;
}

}  // namespace kelvaro::edf
