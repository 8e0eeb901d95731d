#include "measure/Recorder.h"

#include "base/Formats.h"
#include "platform/AppendFile.h"

namespace kelvaro {

void Recorder::formatRow(std::string& out, const MeasurementState& m) {
  fmt::appendHexByte(out, m.sampleTag);
  out += ';';
  fmt::appendFixed(out, m.force1Grams, 7, 1);
  out += ';';
  fmt::appendFixed(out, m.force2Grams, 7, 1);
  out += ';';
  fmt::appendInt(out, m.accelX, 5);
  out += ';';
  fmt::appendInt(out, m.accelY, 5);
  out += ';';
  fmt::appendInt(out, m.accelZ, 5);
  out += ';';
  fmt::appendInt(out, m.batteryMillivolts, 4);
  out += ';';
  fmt::appendFixed(out, m.temperatureCentidegrees / 100.0, 6, 2);
  out += "\r\n";
}

void Recorder::RecordSample(const MeasurementState& m) {
  if (state_ == RecorderState::StartRequested) {
    // A start over a running recording ends that one first, so that no file is left open.
    if (file_->isOpen()) finish();
    path_ = !requestedPath_.isEmpty()
                ? requestedPath_
                : QStringLiteral("./") + (view_ ? view_->fileNameText() : QString()) +
                      QStringLiteral(".csv");
    QString reason;
    switch (file_->create(path_, &reason)) {
      case AppendFile::Created::kExists:
        state_ = RecorderState::Idle;
        if (view_) view_->showFileExists();
        break;
      case AppendFile::Created::kYes:
        state_ = RecorderState::Recording;
        rowWritten_ = false;
        if (view_) view_->showRecording();
        break;
      case AppendFile::Created::kFailed:
        fail("Cannot create file", reason);
        return;
    }
  }
  if (state_ == RecorderState::Recording) {
    row_.clear();
    formatRow(row_, m);
    QString reason;
    if (!file_->append(row_.data(), row_.size(), &reason)) {
      fail("Cannot write to file", reason);
      return;
    }
    if (!rowWritten_) {
      rowWritten_ = true;
      if (view_) view_->showFirstRow();
    }
  }
  if (state_ == RecorderState::StopRequested) {
    QString reason;
    const bool closed = file_->close(&reason);
    state_ = RecorderState::Idle;
    if (!closed) {
      fail("Cannot close file", reason);
      return;
    }
    if (view_) view_->showStopped();
  }
}

void Recorder::fail(const char* what, const QString& reason) {
  // Whatever can still be closed is, and the next start begins afresh.
  file_->close(nullptr);
  state_ = RecorderState::Idle;
  if (view_) {
    view_->showFailure(QStringLiteral("%1 \"%2\". %3").arg(QLatin1String(what), path_, reason));
  }
}

void Recorder::finish() {
  file_->close(nullptr);
  state_ = RecorderState::Idle;
}

}  // namespace kelvaro
